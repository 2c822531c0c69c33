#include "platform/net/CredentialStorage.h"

#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"

#include <cstdlib>

namespace platform {

namespace {

    // Fields are tab-separated; a tab, line break or '%' inside one is escaped as %XX.
    std::string escapeField(std::string_view text)
    {
        static const char digits[] = "0123456789ABCDEF";
        std::string out;
        for (char c : text) {
            if (c == '\t' || c == '\n' || c == '\r' || c == '%') {
                out += '%';
                out += digits[static_cast<unsigned char>(c) >> 4];
                out += digits[static_cast<unsigned char>(c) & 15];
            } else {
                out += c;
            }
        }
        return out;
    }

    std::string unescapeField(std::string_view text)
    {
        std::string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '%' && i + 2 < text.size()) {
                char hex[3] = { text[i + 1], text[i + 2], 0 };
                char* end = nullptr;
                long value = std::strtol(hex, &end, 16);
                if (end == hex + 2) {
                    out += static_cast<char>(value);
                    i += 2;
                    continue;
                }
            }
            out += text[i];
        }
        return out;
    }

} // namespace

URLProtectionSpace URLProtectionSpace::server(
    std::string host, int port, std::string protocol, std::optional<std::string> realm)
{
    URLProtectionSpace space;
    space.host = std::move(host);
    space.port = port;
    space.protocol = std::move(protocol);
    space.realm = std::move(realm);
    return space;
}

URLProtectionSpace URLProtectionSpace::proxy(std::string host, int port, std::optional<std::string> realm)
{
    URLProtectionSpace space;
    space.host = std::move(host);
    space.port = port;
    space.realm = std::move(realm);
    space.proxyType = kURLProtectionSpaceHTTPProxy;
    return space;
}

bool URLProtectionSpace::operator==(const URLProtectionSpace& other) const
{
    return equalsIgnoringAsciiCase(host, other.host) && port == other.port
        && equalsIgnoringAsciiCase(protocol, other.protocol) && realm == other.realm
        && authenticationMethod == other.authenticationMethod && proxyType == other.proxyType;
}

URLCredentialStorage& URLCredentialStorage::shared()
{
    static URLCredentialStorage* storage
        = new URLCredentialStorage(FileUtil::joinPath(AppPaths::preferencesDirectory(), "Credentials.txt"));
    return *storage;
}

URLCredentialStorage::URLCredentialStorage(std::string filePath)
    : filePath_(std::move(filePath))
{
    load();
}

void URLCredentialStorage::load()
{
    if (filePath_.empty() || !FileUtil::exists(filePath_))
        return;
    auto text = FileUtil::readText(filePath_);
    if (!text)
        return;
    for (auto& line : split(*text, "\n")) {
        auto fields = split(line, "\t");
        if (fields.size() != 9)
            continue;
        Entry entry;
        entry.space.host = unescapeField(fields[0]);
        entry.space.port = std::atoi(fields[1].c_str());
        entry.space.protocol = unescapeField(fields[2]);
        if (fields[3] == "1")
            entry.space.realm = unescapeField(fields[4]);
        entry.space.authenticationMethod = unescapeField(fields[5]);
        entry.space.proxyType = unescapeField(fields[6]);
        entry.credential.user = unescapeField(fields[7]);
        entry.credential.password = unescapeField(fields[8]);
        entry.credential.persistence = URLCredential::Persistence::Permanent;
        entries_.push_back(std::move(entry));
    }
}

void URLCredentialStorage::saveLocked() const
{
    if (filePath_.empty())
        return;
    std::string text;
    for (auto& entry : entries_) {
        if (entry.credential.persistence != URLCredential::Persistence::Permanent)
            continue;
        text += escapeField(entry.space.host) + "\t" + std::to_string(entry.space.port) + "\t"
            + escapeField(entry.space.protocol) + "\t" + (entry.space.realm ? "1" : "0") + "\t"
            + escapeField(entry.space.realm.value_or("")) + "\t" + escapeField(entry.space.authenticationMethod) + "\t"
            + escapeField(entry.space.proxyType) + "\t" + escapeField(entry.credential.user) + "\t"
            + escapeField(entry.credential.password) + "\n";
    }
    std::string folder = filePath_.substr(0, filePath_.find_last_of('/'));
    if (!folder.empty() && !FileUtil::isDirectory(folder))
        FileUtil::createDirectory(folder, nullptr, 0700);
    Error error;
    if (!FileUtil::write(filePath_, std::string_view(text), FileUtil::WriteMode::Atomic, &error, 0600))
        log("credentials: cannot save %s: %s", filePath_.c_str(), error.description().c_str());
}

void URLCredentialStorage::setDefaultCredential(const URLCredential& credential, const URLProtectionSpace& space)
{
    if (credential.persistence == URLCredential::Persistence::None)
        return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(entries_, [&](const Entry& entry) { return entry.space == space; });
    entries_.push_back(Entry { space, credential });
    saveLocked();
}

std::optional<URLCredential> URLCredentialStorage::defaultCredentialForProtectionSpace(
    const URLProtectionSpace& space) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : entries_)
        if (entry.space == space)
            return entry.credential;
    return std::nullopt;
}

void URLCredentialStorage::removeCredential(const URLCredential& credential, const URLProtectionSpace& space)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto removed = std::erase_if(entries_, [&](const Entry& entry) {
        return entry.space == space && entry.credential.user == credential.user
            && entry.credential.password == credential.password;
    });
    if (removed)
        saveLocked();
}

std::size_t URLCredentialStorage::count() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

} // namespace platform
