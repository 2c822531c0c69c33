#pragma once

#include "platform/os/Url.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// One answer to "how do I reach this URL": directly, through an HTTP proxy
// (absolute-form requests, or CONNECT for https), through SOCKS, or "ask the
// proxy auto-configuration script at this URL".
struct ProxyEntry {
    enum class Type { None, HTTP, HTTPS, SOCKS, AutoConfigurationURL };
    Type type = Type::None;
    std::string host;
    int port = 0;
    std::optional<Url> autoConfigurationURL;

    bool operator==(const ProxyEntry&) const = default;
};

// The proxy type names requests carry.
inline constexpr const char* kProxyTypeNone = "kCFProxyTypeNone";
inline constexpr const char* kProxyTypeHTTP = "kCFProxyTypeHTTP";
inline constexpr const char* kProxyTypeHTTPS = "kCFProxyTypeHTTPS";
inline constexpr const char* kProxyTypeSOCKS = "kCFProxyTypeSOCKS";
inline constexpr const char* kProxyTypeAutoConfigurationURL = "kCFProxyTypeAutoConfigurationURL";
const char* proxyTypeName(ProxyEntry::Type type);

// The system's proxy settings on Linux: the conventional environment
// variables http_proxy, https_proxy, all_proxy and no_proxy (lower case
// first, then upper case), overridden by an optional settings file with lines
// "key=value" for the same keys plus pac_url. The file is
// Library/Preferences/ProxySettings.conf of the app home, or the file named by
// ORB_PROXY_SETTINGS. Automatic discovery (WPAD) is not done. copy() looks
// at the file at most once a second and reads it again only when it changed,
// so an edit takes effect within a second.
struct SystemProxySettings {
    std::optional<std::string> httpProxy;
    std::optional<std::string> httpsProxy;
    std::optional<std::string> allProxy;
    std::optional<std::string> noProxy;
    std::optional<std::string> pacURL;

    using Environment = std::function<std::optional<std::string>(const char* name)>;

    // The current settings; nullopt when they cannot be read (a settings file
    // that exists but cannot be read or holds a line that is not key=value).
    static std::optional<SystemProxySettings> copy();
    static std::optional<SystemProxySettings> fromSources(const Environment& environment, const std::string& filePath);
    // The same from the file's text already read (nullopt: there is no file).
    static std::optional<SystemProxySettings> fromEnvironmentAndText(
        const Environment& environment, const std::optional<std::string>& fileText);
    // Tests replace the source of copy(); an empty function restores it.
    static void setSourceForTesting(std::function<std::optional<SystemProxySettings>()> source);

    // The ordered proxies for the URL. nullopt when a proxy setting that
    // applies cannot be understood.
    std::optional<std::vector<ProxyEntry>> proxiesForURL(const Url& url) const;
};

// The settings file as copy() sees it: text is nullopt when there is no
// file; readable is false when one exists but could not be read.
struct SettingsFileContents {
    std::optional<std::string> text;
    bool readable = true;
};
SettingsFileContents cachedSettingsFile(const std::string& path);
// Makes the next cachedSettingsFile() look at the disk again (for tests that
// rewrite the file within the same second).
void forgetCachedSettingsFile();

// Whether the host is exempt from proxying under a no_proxy value: "*",
// names matched as domain suffixes (a leading dot optional), IP addresses,
// and IPv4 CIDR blocks.
bool hostMatchesNoProxy(const std::string& host, const std::string& noProxy);

// "[scheme://][user:password@]host[:port][/]" as a proxy entry for a URL of
// the given scheme; nullopt when malformed.
std::optional<ProxyEntry> parseProxySetting(const std::string& setting, const std::string& urlScheme);

} // namespace platform
