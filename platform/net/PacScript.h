#pragma once

#include "platform/net/ProxySettings.h"
#include "platform/os/Error.h"
#include "platform/os/Url.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Proxy auto-configuration scripts: JavaScript with a FindProxyForURL(url,
// host) function, run in Duktape with the customary helpers (isPlainHostName,
// dnsDomainIs, localHostOrDomainIs, isResolvable, isInNet, dnsResolve,
// myIpAddress, dnsDomainLevels, shExpMatch, weekdayRange, dateRange,
// timeRange).
//
// A script comes from the network and may be broken or hostile, so it runs in
// a child process: one that loops forever is killed when the time is up, and
// one that crashes the interpreter takes nothing else with it.
class PacScript final {
public:
    // The ordered proxies the script names for the URL. nullopt, with the
    // reason in *error, when the script is empty, does not compile, has no
    // FindProxyForURL, throws, answers something that names no proxy, or runs
    // out of time. An https URL is handed to the script without its path and
    // query, as browsers do, so that a script cannot see them.
    static std::optional<std::vector<ProxyEntry>> proxiesForURL(
        const std::string& script, const Url& url, Error* error = nullptr, double timeoutSeconds = 5);

    // Runs the script and then the expression; answers the expression's value
    // as text. For trying the helpers.
    static std::optional<std::string> evaluate(
        const std::string& script, const std::string& expression, Error* error = nullptr, double timeoutSeconds = 5);

    // "PROXY host:port; SOCKS host:port; DIRECT" as entries; unknown or
    // malformed parts are skipped. nullopt when nothing usable is left.
    static std::optional<std::vector<ProxyEntry>> parseResult(std::string_view result);
};

inline constexpr const char* kPacScriptErrorDomain = "PacScriptErrorDomain";

} // namespace platform
