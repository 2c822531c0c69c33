#include "platform/net/ProxySettings.h"

#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/StringUtil.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>

namespace platform {

namespace {

    std::mutex& sourceLock()
    {
        static std::mutex* lock = new std::mutex;
        return *lock;
    }

    std::function<std::optional<SystemProxySettings>()>& testSource()
    {
        static auto* source = new std::function<std::optional<SystemProxySettings>()>;
        return *source;
    }

    std::optional<std::string> nonEmpty(std::optional<std::string> value)
    {
        if (value && trimWhitespaceAndNewlines(*value).empty())
            return std::nullopt;
        return value;
    }

    // The settings file as last read. Every request asks for the proxy
    // settings; looking at the file at most once a second, and reading it
    // again only when it changed, keeps that off the disk. An edit shows
    // within a second.
    struct SettingsFileCache {
        std::mutex lock;
        std::string path;
        bool valid = false;
        std::chrono::steady_clock::time_point checkedAt;
        bool exists = false;
        struct stat identity {};
        SettingsFileContents contents;
    };

    SettingsFileCache& settingsFileCache()
    {
        static auto* cache = new SettingsFileCache;
        return *cache;
    }

    bool sameFile(const struct stat& a, const struct stat& b)
    {
        return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size
            && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec
            && a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
    }

    std::optional<std::uint32_t> ipv4(const std::string& text)
    {
        in_addr address {};
        if (inet_pton(AF_INET, text.c_str(), &address) != 1)
            return std::nullopt;
        return ntohl(address.s_addr);
    }

} // namespace

const char* proxyTypeName(ProxyEntry::Type type)
{
    switch (type) {
    case ProxyEntry::Type::None:
        return kProxyTypeNone;
    case ProxyEntry::Type::HTTP:
        return kProxyTypeHTTP;
    case ProxyEntry::Type::HTTPS:
        return kProxyTypeHTTPS;
    case ProxyEntry::Type::SOCKS:
        return kProxyTypeSOCKS;
    case ProxyEntry::Type::AutoConfigurationURL:
        return kProxyTypeAutoConfigurationURL;
    }
    return kProxyTypeNone;
}

SettingsFileContents cachedSettingsFile(const std::string& path)
{
    constexpr auto kRecheckInterval = std::chrono::seconds(1);
    SettingsFileCache& cache = settingsFileCache();
    std::lock_guard<std::mutex> lock(cache.lock);
    auto now = std::chrono::steady_clock::now();
    if (cache.valid && cache.path == path && now - cache.checkedAt < kRecheckInterval)
        return cache.contents;
    struct stat identity {};
    bool exists = ::stat(path.c_str(), &identity) == 0;
    bool unchanged = cache.valid && cache.path == path && cache.exists == exists
        && (!exists || sameFile(cache.identity, identity));
    cache.checkedAt = now;
    if (unchanged)
        return cache.contents;
    SettingsFileContents contents;
    if (exists) {
        contents.text = FileUtil::readText(path);
        contents.readable = contents.text.has_value();
    }
    // A file that could not be read is tried again at the next look, not kept as unreadable.
    cache.valid = contents.readable;
    cache.path = path;
    cache.exists = exists;
    cache.identity = identity;
    cache.contents = contents;
    return contents;
}

void forgetCachedSettingsFile()
{
    SettingsFileCache& cache = settingsFileCache();
    std::lock_guard<std::mutex> lock(cache.lock);
    cache.valid = false;
}

std::optional<SystemProxySettings> SystemProxySettings::copy()
{
    {
        std::lock_guard<std::mutex> lock(sourceLock());
        if (testSource())
            return testSource()();
    }
    std::string file;
    if (const char* named = std::getenv("ORB_PROXY_SETTINGS"))
        file = named;
    else
        file = FileUtil::joinPath(AppPaths::home(), "Library/Preferences/ProxySettings.conf");
    Environment environment = [](const char* name) -> std::optional<std::string> {
        if (const char* value = std::getenv(name))
            return std::string(value);
        return std::nullopt;
    };
    auto contents = cachedSettingsFile(file);
    if (!contents.readable)
        return std::nullopt;
    return fromEnvironmentAndText(environment, contents.text);
}

void SystemProxySettings::setSourceForTesting(std::function<std::optional<SystemProxySettings>()> source)
{
    std::lock_guard<std::mutex> lock(sourceLock());
    testSource() = std::move(source);
}

std::optional<SystemProxySettings> SystemProxySettings::fromSources(
    const Environment& environment, const std::string& filePath)
{
    if (filePath.empty() || !FileUtil::exists(filePath))
        return fromEnvironmentAndText(environment, std::nullopt);
    auto text = FileUtil::readText(filePath);
    if (!text)
        return std::nullopt;
    return fromEnvironmentAndText(environment, text);
}

std::optional<SystemProxySettings> SystemProxySettings::fromEnvironmentAndText(
    const Environment& environment, const std::optional<std::string>& fileText)
{
    SystemProxySettings settings;
    auto variable = [&environment](const char* lower, const char* upper) {
        auto value = nonEmpty(environment(lower));
        return value ? value : nonEmpty(environment(upper));
    };
    settings.httpProxy = variable("http_proxy", "HTTP_PROXY");
    settings.httpsProxy = variable("https_proxy", "HTTPS_PROXY");
    settings.allProxy = variable("all_proxy", "ALL_PROXY");
    settings.noProxy = variable("no_proxy", "NO_PROXY");

    if (!fileText)
        return settings;
    for (auto& rawLine : split(*fileText, "\n")) {
        std::string line = trimWhitespaceAndNewlines(rawLine);
        if (line.empty() || line[0] == '#')
            continue;
        auto equals = line.find('=');
        if (equals == std::string::npos)
            return std::nullopt;
        std::string key = asciiToLower(trimWhitespaceAndNewlines(line.substr(0, equals)));
        std::optional<std::string> value = nonEmpty(trimWhitespaceAndNewlines(line.substr(equals + 1)));
        if (key == "http_proxy")
            settings.httpProxy = value;
        else if (key == "https_proxy")
            settings.httpsProxy = value;
        else if (key == "all_proxy")
            settings.allProxy = value;
        else if (key == "no_proxy")
            settings.noProxy = value;
        else if (key == "pac_url")
            settings.pacURL = value;
    }
    return settings;
}

std::optional<std::vector<ProxyEntry>> SystemProxySettings::proxiesForURL(const Url& url) const
{
    if (pacURL) {
        auto parsed = Url::parse(*pacURL);
        if (!parsed || !parsed->isAbsolute())
            return std::nullopt;
        ProxyEntry entry;
        entry.type = ProxyEntry::Type::AutoConfigurationURL;
        entry.autoConfigurationURL = *parsed;
        return std::vector<ProxyEntry> { entry };
    }
    std::string scheme = asciiToLower(url.scheme());
    std::optional<std::string> setting;
    if (scheme == "https")
        setting = httpsProxy ? httpsProxy : allProxy;
    else if (scheme == "http")
        setting = httpProxy ? httpProxy : allProxy;
    if (!setting || (noProxy && hostMatchesNoProxy(url.host(), *noProxy)))
        return std::vector<ProxyEntry> { ProxyEntry {} };
    auto entry = parseProxySetting(*setting, scheme);
    if (!entry)
        return std::nullopt;
    return std::vector<ProxyEntry> { *entry };
}

bool hostMatchesNoProxy(const std::string& rawHost, const std::string& noProxy)
{
    std::string host = asciiToLower(rawHost);
    while (!host.empty() && host.back() == '.')
        host.pop_back();
    auto hostAddress = ipv4(host);
    std::string list = noProxy;
    for (char& c : list)
        if (c == ' ' || c == '\t')
            c = ',';
    for (auto& rawItem : split(list, ",")) {
        std::string item = asciiToLower(trimWhitespaceAndNewlines(rawItem));
        if (item.empty())
            continue;
        if (item == "*")
            return true;
        auto slash = item.find('/');
        if (slash != std::string::npos) {
            auto network = ipv4(item.substr(0, slash));
            int bits = std::atoi(item.c_str() + slash + 1);
            if (network && hostAddress && bits >= 0 && bits <= 32) {
                std::uint32_t mask = bits == 0 ? 0 : ~std::uint32_t(0) << (32 - bits);
                if ((*network & mask) == (*hostAddress & mask))
                    return true;
            }
            continue;
        }
        // "host:port" entries: the port is not considered.
        auto colon = item.rfind(':');
        if (colon != std::string::npos && item.find(':') == colon)
            item = item.substr(0, colon);
        if (item.front() == '.')
            item.erase(0, 1);
        if (host == item
            || (host.size() > item.size() && host.ends_with(item) && host[host.size() - item.size() - 1] == '.'))
            return true;
    }
    return false;
}

std::optional<ProxyEntry> parseProxySetting(const std::string& rawSetting, const std::string& urlScheme)
{
    std::string setting = trimWhitespaceAndNewlines(rawSetting);
    std::string scheme = "http";
    auto separator = setting.find("://");
    if (separator != std::string::npos) {
        scheme = asciiToLower(setting.substr(0, separator));
        setting = setting.substr(separator + 3);
    }
    auto slash = setting.find('/');
    if (slash != std::string::npos)
        setting.resize(slash);
    auto at = setting.rfind('@');
    if (at != std::string::npos)
        setting = setting.substr(at + 1);
    if (setting.empty())
        return std::nullopt;

    ProxyEntry entry;
    if (scheme == "http")
        entry.type = asciiToLower(urlScheme) == "https" ? ProxyEntry::Type::HTTPS : ProxyEntry::Type::HTTP;
    else if (scheme == "socks" || scheme == "socks5" || scheme == "socks5h")
        entry.type = ProxyEntry::Type::SOCKS;
    else
        return std::nullopt;

    std::string host = setting;
    int port = 1080;
    if (setting.front() == '[') {
        auto close = setting.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        host = setting.substr(1, close - 1);
        if (close + 1 < setting.size()) {
            if (setting[close + 1] != ':')
                return std::nullopt;
            port = -1;
            std::string digits = setting.substr(close + 2);
            if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos && digits.size() <= 5)
                port = std::atoi(digits.c_str());
        }
    } else if (auto colon = setting.rfind(':'); colon != std::string::npos) {
        host = setting.substr(0, colon);
        std::string digits = setting.substr(colon + 1);
        port = -1;
        if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos && digits.size() <= 5)
            port = std::atoi(digits.c_str());
    }
    if (host.empty() || port <= 0 || port > 65535)
        return std::nullopt;
    entry.host = host;
    entry.port = port;
    return entry;
}

} // namespace platform
