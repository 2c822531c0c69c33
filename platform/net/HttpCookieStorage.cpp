#include "platform/net/HttpCookieStorage.h"

#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace platform {

namespace {

    // One cookie a line: name, value, domain, path, expiry, secure, httpOnly,
    // hostOnly, tab-separated. Lines written before the hostOnly column have
    // seven fields; such a cookie is host-only when its domain has no leading
    // dot, which is how it was told then.
    constexpr const char* kFileHeader = "# cookies v1";

    // A host-only cookie names a host, and no host starts with a dot.
    bool namesNoHost(const HttpCookie& cookie) { return cookie.hostOnly && cookie.domain.front() == '.'; }

    std::string lower(std::string_view text)
    {
        std::string out(text);
        std::transform(out.begin(), out.end(), out.begin(),
            [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
        return out;
    }

    // One field of a line: tab, line breaks and '%' escaped so that no cookie
    // text can split a record.
    std::string escapeField(std::string_view text)
    {
        std::string out;
        for (char c : text) {
            switch (c) {
            case '%':
                out += "%25";
                break;
            case '\t':
                out += "%09";
                break;
            case '\n':
                out += "%0A";
                break;
            case '\r':
                out += "%0D";
                break;
            default:
                out += c;
            }
        }
        return out;
    }

    std::optional<std::string> unescapeField(std::string_view text)
    {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != '%') {
                out += text[i];
                continue;
            }
            if (i + 2 >= text.size())
                return std::nullopt;
            std::string hex(text.substr(i + 1, 2));
            char* end = nullptr;
            long value = std::strtol(hex.c_str(), &end, 16);
            if (end != hex.c_str() + 2)
                return std::nullopt;
            out += static_cast<char>(value);
            i += 2;
        }
        return out;
    }

    std::vector<std::string_view> splitTabs(std::string_view line)
    {
        std::vector<std::string_view> parts;
        while (true) {
            auto tab = line.find('\t');
            parts.push_back(line.substr(0, tab));
            if (tab == std::string_view::npos)
                break;
            line.remove_prefix(tab + 1);
        }
        return parts;
    }

} // namespace

HttpCookieStorage& HttpCookieStorage::shared()
{
    // Never destroyed: other static objects may still set cookies while the process ends.
    static HttpCookieStorage* storage
        = new HttpCookieStorage(FileUtil::joinPath(AppPaths::preferencesDirectory(), "Cookies.txt"));
    return *storage;
}

HttpCookieStorage::HttpCookieStorage(std::string filePath)
    : filePath_(std::move(filePath))
{
    load();
}

void HttpCookieStorage::setClockForTesting(std::function<Date()> now)
{
    std::lock_guard lock(mutex_);
    clock_ = std::move(now);
}

std::vector<HttpCookie> HttpCookieStorage::cookies() const
{
    std::lock_guard lock(mutex_);
    Date current = clock_ ? clock_() : Date::now();
    std::vector<HttpCookie> result;
    for (const auto& entry : entries_) {
        if (!entry.cookie.isExpired(current))
            result.push_back(entry.cookie);
    }
    return result;
}

std::vector<HttpCookie> HttpCookieStorage::cookiesForURL(const Url& url) const
{
    std::lock_guard lock(mutex_);
    Date current = clock_ ? clock_() : Date::now();
    std::vector<const Entry*> matching;
    for (const auto& entry : entries_) {
        if (entry.cookie.matchesUrl(url, current))
            matching.push_back(&entry);
    }
    std::stable_sort(matching.begin(), matching.end(), [](const Entry* a, const Entry* b) {
        if (a->cookie.path.size() != b->cookie.path.size())
            return a->cookie.path.size() > b->cookie.path.size();
        return a->creationIndex < b->creationIndex;
    });
    std::vector<HttpCookie> result;
    result.reserve(matching.size());
    for (const Entry* entry : matching)
        result.push_back(entry->cookie);
    return result;
}

void HttpCookieStorage::setCookieLocked(const HttpCookie& cookie, Date current, bool& changedPersistent)
{
    auto existing = std::find_if(
        entries_.begin(), entries_.end(), [&](const Entry& e) { return e.cookie.hasSameIdentity(cookie); });
    if (cookie.isExpired(current)) {
        if (existing != entries_.end()) {
            changedPersistent = changedPersistent || !existing->cookie.isSessionOnly();
            entries_.erase(existing);
        }
        return;
    }
    changedPersistent = changedPersistent || !cookie.isSessionOnly();
    if (existing != entries_.end()) {
        changedPersistent = changedPersistent || !existing->cookie.isSessionOnly();
        existing->cookie = cookie;
        return;
    }
    entries_.push_back({ cookie, nextCreationIndex_++ });
}

void HttpCookieStorage::dropExpiredLocked(Date current)
{
    entries_.erase(
        std::remove_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.cookie.isExpired(current); }),
        entries_.end());
}

void HttpCookieStorage::setCookie(const HttpCookie& cookie)
{
    std::lock_guard lock(mutex_);
    Date current = clock_ ? clock_() : Date::now();
    bool changed = false;
    HttpCookie normalised = cookie;
    normalised.domain = lower(normalised.domain);
    if (normalised.name.empty() || normalised.domain.empty() || normalised.domain == "." || namesNoHost(normalised))
        return;
    if (normalised.path.empty() || normalised.path.front() != '/')
        normalised.path = "/";
    dropExpiredLocked(current);
    setCookieLocked(normalised, current, changed);
    if (changed)
        saveLocked();
}

void HttpCookieStorage::setCookies(
    const std::vector<HttpCookie>& cookies, const Url& url, const std::optional<Url>& mainDocumentUrl)
{
    std::string host = lower(url.host());
    if (host.empty() || host.front() == '.')
        return;
    if (mainDocumentUrl) {
        std::string mainHost = lower(mainDocumentUrl->host());
        if (!HttpCookie::domainMatches(host, mainHost))
            return;
    }
    std::lock_guard lock(mutex_);
    Date current = clock_ ? clock_() : Date::now();
    dropExpiredLocked(current);
    bool changed = false;
    for (const auto& cookie : cookies) {
        HttpCookie normalised = cookie;
        normalised.domain = lower(normalised.domain);
        if (normalised.name.empty() || normalised.domain.empty() || normalised.domain == "."
            || namesNoHost(normalised))
            continue;
        bool allowed = normalised.hostOnly ? normalised.domain == host
                                           : HttpCookie::domainMatches(host, HttpCookie::domainWithoutDot(normalised.domain));
        if (!allowed)
            continue;
        if (normalised.path.empty() || normalised.path.front() != '/')
            normalised.path = HttpCookie::defaultPath(url);
        setCookieLocked(normalised, current, changed);
    }
    if (changed)
        saveLocked();
}

void HttpCookieStorage::deleteCookie(const HttpCookie& cookie)
{
    std::lock_guard lock(mutex_);
    auto existing = std::find_if(
        entries_.begin(), entries_.end(), [&](const Entry& e) { return e.cookie.hasSameIdentity(cookie); });
    if (existing == entries_.end())
        return;
    bool persistent = !existing->cookie.isSessionOnly();
    entries_.erase(existing);
    if (persistent)
        saveLocked();
}

void HttpCookieStorage::deleteAllCookies()
{
    std::lock_guard lock(mutex_);
    entries_.clear();
    saveLocked();
}

void HttpCookieStorage::load()
{
    if (filePath_.empty() || !FileUtil::exists(filePath_))
        return;
    Error error;
    auto text = FileUtil::readText(filePath_, &error);
    if (!text) {
        log("HttpCookieStorage: cannot read %s: %s\n", filePath_.c_str(), error.localizedDescription().c_str());
        return;
    }
    Date current = Date::now();
    std::string_view rest = *text;
    bool first = true;
    while (!rest.empty()) {
        auto newline = rest.find('\n');
        std::string_view line = rest.substr(0, newline);
        rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
        if (first) {
            first = false;
            if (line != kFileHeader) {
                log("HttpCookieStorage: %s is not a cookie file; ignored\n", filePath_.c_str());
                return;
            }
            continue;
        }
        auto parts = splitTabs(line);
        if (parts.size() != 7 && parts.size() != 8)
            continue;
        auto name = unescapeField(parts[0]);
        auto value = unescapeField(parts[1]);
        auto domain = unescapeField(parts[2]);
        auto path = unescapeField(parts[3]);
        if (!name || !value || !domain || !path || name->empty() || domain->empty())
            continue;
        char* end = nullptr;
        std::string expiresText(parts[4]);
        double expires = std::strtod(expiresText.c_str(), &end);
        if (expiresText.empty() || end != expiresText.c_str() + expiresText.size())
            continue;
        HttpCookie cookie;
        cookie.name = *name;
        cookie.value = *value;
        cookie.domain = lower(*domain);
        cookie.path = path->empty() ? "/" : *path;
        cookie.expiresDate = Date::fromSeconds(expires);
        cookie.secure = parts[5] == "1";
        cookie.httpOnly = parts[6] == "1";
        cookie.hostOnly = parts.size() == 8 ? parts[7] == "1" : cookie.domain.front() != '.';
        if (cookie.isExpired(current) || namesNoHost(cookie))
            continue;
        bool unused = false;
        setCookieLocked(cookie, current, unused);
    }
}

void HttpCookieStorage::saveLocked() const
{
    if (filePath_.empty())
        return;
    std::string text = std::string(kFileHeader) + "\n";
    for (const auto& entry : entries_) {
        const HttpCookie& c = entry.cookie;
        if (c.isSessionOnly())
            continue;
        char expires[64];
        std::snprintf(expires, sizeof expires, "%.3f", c.expiresDate->seconds);
        text += escapeField(c.name) + "\t" + escapeField(c.value) + "\t" + escapeField(c.domain) + "\t"
            + escapeField(c.path) + "\t" + expires + "\t" + (c.secure ? "1" : "0") + "\t" + (c.httpOnly ? "1" : "0")
            + "\t" + (c.hostOnly ? "1" : "0") + "\n";
    }
    auto slash = filePath_.rfind('/');
    if (slash != std::string::npos && slash > 0)
        FileUtil::createDirectory(filePath_.substr(0, slash));
    Error error;
    // Cookies may carry session tokens: readable by the owner only.
    if (!FileUtil::write(filePath_, std::string_view(text), FileUtil::WriteMode::Atomic, &error, 0600))
        log("HttpCookieStorage: cannot save %s: %s\n", filePath_.c_str(), error.localizedDescription().c_str());
}

} // namespace platform
