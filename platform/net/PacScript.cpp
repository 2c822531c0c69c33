#include "platform/net/PacScript.h"

#include "platform/os/StringUtil.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <duktape.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

    // The customary helpers that need no access to the system, in JavaScript.
    const char kHelpers[] = R"JS(
function isPlainHostName(host) { return String(host).indexOf('.') < 0; }
function dnsDomainIs(host, domain) {
    host = String(host).toLowerCase(); domain = String(domain).toLowerCase();
    return host.length >= domain.length && host.substring(host.length - domain.length) === domain;
}
function localHostOrDomainIs(host, hostdom) {
    host = String(host).toLowerCase(); hostdom = String(hostdom).toLowerCase();
    return host === hostdom || (host.indexOf('.') < 0 && hostdom.lastIndexOf(host + '.', 0) === 0);
}
function isResolvable(host) { return dnsResolve(host) !== null; }
function __addr(ip) {
    var p = String(ip).split('.');
    if (p.length !== 4) return null;
    return (((p[0] & 255) << 24) | ((p[1] & 255) << 16) | ((p[2] & 255) << 8) | (p[3] & 255)) >>> 0;
}
function isInNet(host, pattern, mask) {
    var ip = /^\d+\.\d+\.\d+\.\d+$/.test(host) ? host : dnsResolve(host);
    if (ip === null) return false;
    var a = __addr(ip), p = __addr(pattern), m = __addr(mask);
    if (a === null || p === null || m === null) return false;
    return ((a & m) >>> 0) === ((p & m) >>> 0);
}
function dnsDomainLevels(host) { return String(host).split('.').length - 1; }
function shExpMatch(str, shexp) {
    var re = String(shexp).replace(/[.+^${}()|[\]\\\/]/g, '\\$&').replace(/\*/g, '.*').replace(/\?/g, '.');
    return new RegExp('^' + re + '$').test(String(str));
}
function __gmt(args) {
    return args.length > 0 && String(args[args.length - 1]).toUpperCase() === 'GMT';
}
function __args(args) {
    var out = Array.prototype.slice.call(args);
    if (__gmt(out)) out.pop();
    return out;
}
function __inRange(value, low, high) {
    return low <= high ? (value >= low && value <= high) : (value >= low || value <= high);
}
function weekdayRange() {
    var days = ['SUN', 'MON', 'TUE', 'WED', 'THU', 'FRI', 'SAT'];
    var gmt = __gmt(arguments), a = __args(arguments), now = new Date();
    var today = gmt ? now.getUTCDay() : now.getDay();
    var first = days.indexOf(String(a[0]).toUpperCase());
    if (first < 0) return false;
    if (a.length < 2) return today === first;
    var last = days.indexOf(String(a[1]).toUpperCase());
    if (last < 0) return false;
    return __inRange(today, first, last);
}
function dateRange() {
    var months = ['JAN', 'FEB', 'MAR', 'APR', 'MAY', 'JUN', 'JUL', 'AUG', 'SEP', 'OCT', 'NOV', 'DEC'];
    var gmt = __gmt(arguments), a = __args(arguments), now = new Date();
    var current = { d: gmt ? now.getUTCDate() : now.getDate(), m: gmt ? now.getUTCMonth() : now.getMonth(),
                    y: gmt ? now.getUTCFullYear() : now.getFullYear() };
    function octets(values) {
        var s = {};
        for (var i = 0; i < values.length; i++) {
            var v = values[i], month = months.indexOf(String(v).toUpperCase());
            if (month >= 0) s.m = month;
            else if (typeof v === 'number' && v > 31) s.y = v;
            else if (typeof v === 'number') s.d = v;
            else return null;
        }
        return s;
    }
    function key(s, of) {
        var k = 0;
        if (s.y !== undefined) k += of.y * 372;
        if (s.m !== undefined) k += of.m * 31;
        if (s.d !== undefined) k += of.d;
        return k;
    }
    if (a.length === 1) {
        var one = octets(a);
        return one !== null && key(one, one) === key(one, current);
    }
    if (a.length !== 2 && a.length !== 4 && a.length !== 6) return false;
    var half = a.length / 2, from = octets(a.slice(0, half)), to = octets(a.slice(half));
    if (from === null || to === null) return false;
    return __inRange(key(from, current), key(from, from), key(from, to));
}
function timeRange() {
    var gmt = __gmt(arguments), a = __args(arguments), now = new Date();
    var h = gmt ? now.getUTCHours() : now.getHours(), m = gmt ? now.getUTCMinutes() : now.getMinutes();
    var s = gmt ? now.getUTCSeconds() : now.getSeconds(), t = h * 3600 + m * 60 + s;
    if (a.length === 1) return h === a[0];
    if (a.length === 2) return a[0] <= a[1] ? (h >= a[0] && h < a[1]) : (h >= a[0] || h < a[1]);
    if (a.length === 4) return __inRange(t, a[0] * 3600 + a[1] * 60, a[2] * 3600 + a[3] * 60 + 59);
    if (a.length === 6) return __inRange(t, a[0] * 3600 + a[1] * 60 + a[2], a[3] * 3600 + a[4] * 60 + a[5]);
    return false;
}
function alert() { }
)JS";

    std::optional<std::string> resolveIPv4(const char* host)
    {
        addrinfo hints {};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        if (getaddrinfo(host, nullptr, &hints, &result) != 0 || !result)
            return std::nullopt;
        char text[INET_ADDRSTRLEN] = {};
        auto* address = reinterpret_cast<sockaddr_in*>(result->ai_addr);
        inet_ntop(AF_INET, &address->sin_addr, text, sizeof text);
        freeaddrinfo(result);
        return std::string(text);
    }

    duk_ret_t nativeDnsResolve(duk_context* ctx)
    {
        auto address = resolveIPv4(duk_safe_to_string(ctx, 0));
        if (address)
            duk_push_string(ctx, address->c_str());
        else
            duk_push_null(ctx);
        return 1;
    }

    duk_ret_t nativeMyIpAddress(duk_context* ctx)
    {
        std::string found = "127.0.0.1";
        ifaddrs* list = nullptr;
        if (getifaddrs(&list) == 0) {
            for (ifaddrs* item = list; item; item = item->ifa_next) {
                if (!item->ifa_addr || item->ifa_addr->sa_family != AF_INET || (item->ifa_flags & IFF_LOOPBACK)
                    || !(item->ifa_flags & IFF_UP))
                    continue;
                char text[INET_ADDRSTRLEN] = {};
                inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(item->ifa_addr)->sin_addr, text, sizeof text);
                found = text;
                break;
            }
            freeifaddrs(list);
        }
        duk_push_string(ctx, found.c_str());
        return 1;
    }

    void fatalHandler(void*, const char*) { _exit(3); }

    bool writeAll(int fd, const std::string& data)
    {
        std::size_t done = 0;
        while (done < data.size()) {
            ssize_t n = ::write(fd, data.data() + done, data.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    // In the child: "+" and the value, or "-" and the reason.
    std::string runInChild(const std::string& script, const std::string& expression, const std::string& url,
        const std::string& host, bool callFindProxy)
    {
        duk_context* ctx = duk_create_heap(nullptr, nullptr, nullptr, nullptr, fatalHandler);
        if (!ctx)
            return "-cannot create the interpreter";
        duk_push_c_function(ctx, nativeDnsResolve, 1);
        duk_put_global_string(ctx, "dnsResolve");
        duk_push_c_function(ctx, nativeMyIpAddress, 0);
        duk_put_global_string(ctx, "myIpAddress");
        if (duk_peval_lstring(ctx, kHelpers, sizeof kHelpers - 1) != 0)
            return std::string("-helpers: ") + duk_safe_to_string(ctx, -1);
        duk_pop(ctx);
        if (duk_peval_lstring(ctx, script.data(), script.size()) != 0)
            return std::string("-script: ") + duk_safe_to_string(ctx, -1);
        duk_pop(ctx);

        if (callFindProxy) {
            duk_get_global_string(ctx, "FindProxyForURL");
            if (!duk_is_function(ctx, -1))
                return "-the script defines no FindProxyForURL";
            duk_push_lstring(ctx, url.data(), url.size());
            duk_push_lstring(ctx, host.data(), host.size());
            if (duk_pcall(ctx, 2) != 0)
                return std::string("-FindProxyForURL: ") + duk_safe_to_string(ctx, -1);
            if (!duk_is_string(ctx, -1))
                return "-FindProxyForURL answered no text";
        } else if (duk_peval_lstring(ctx, expression.data(), expression.size()) != 0) {
            return std::string("-expression: ") + duk_safe_to_string(ctx, -1);
        }
        std::string value = std::string("+") + duk_safe_to_string(ctx, -1);
        duk_destroy_heap(ctx);
        return value;
    }

    std::optional<std::string> runIsolated(const std::string& script, const std::string& expression,
        const std::string& url, const std::string& host, bool callFindProxy, double timeoutSeconds, Error* error)
    {
        auto fail = [error](const std::string& reason) -> std::optional<std::string> {
            if (error) {
                Dictionary info;
                info.set(kLocalizedDescriptionKey, Value(reason));
                *error = Error(kPacScriptErrorDomain, 1, std::move(info));
            }
            return std::nullopt;
        };
        if (trimWhitespaceAndNewlines(script).empty())
            return fail("The proxy script is empty");

        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return fail("Cannot run the proxy script");
        pid_t child = ::fork();
        if (child < 0) {
            ::close(fds[0]);
            ::close(fds[1]);
            return fail("Cannot run the proxy script");
        }
        if (child == 0) {
            ::close(fds[0]);
            writeAll(fds[1], runInChild(script, expression, url, host, callFindProxy));
            _exit(0);
        }
        ::close(fds[1]);

        std::string output;
        bool timedOut = false;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
        for (;;) {
            auto left
                = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                timedOut = true;
                break;
            }
            pollfd entry { fds[0], POLLIN, 0 };
            int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0) {
                timedOut = ready == 0;
                break;
            }
            char buffer[4096];
            ssize_t n = ::read(fds[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            output.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fds[0]);
        if (timedOut)
            ::kill(child, SIGKILL);
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }

        if (timedOut)
            return fail("The proxy script did not finish in time");
        if (output.empty() || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return fail("The proxy script stopped the interpreter");
        if (output[0] != '+')
            return fail(output.substr(1));
        return output.substr(1);
    }

} // namespace

std::optional<std::vector<ProxyEntry>> PacScript::proxiesForURL(
    const std::string& script, const Url& url, Error* error, double timeoutSeconds)
{
    std::string text = url.absoluteString();
    if (equalsIgnoringAsciiCase(url.scheme(), "https")) {
        text = asciiToLower(url.scheme()) + "://" + url.authority() + "/";
        if (auto at = url.authority().rfind('@'); at != std::string::npos)
            text = asciiToLower(url.scheme()) + "://" + url.authority().substr(at + 1) + "/";
    }
    auto value = runIsolated(script, {}, text, url.host(), true, timeoutSeconds, error);
    if (!value)
        return std::nullopt;
    auto entries = parseResult(*value);
    if (!entries && error) {
        Dictionary info;
        info.set(kLocalizedDescriptionKey, Value("The proxy script named no usable proxy: " + *value));
        *error = Error(kPacScriptErrorDomain, 2, std::move(info));
    }
    return entries;
}

std::optional<std::string> PacScript::evaluate(
    const std::string& script, const std::string& expression, Error* error, double timeoutSeconds)
{
    return runIsolated(script, expression, {}, {}, false, timeoutSeconds, error);
}

std::optional<std::vector<ProxyEntry>> PacScript::parseResult(std::string_view result)
{
    std::vector<ProxyEntry> entries;
    for (auto& rawPart : split(result, ";")) {
        std::string part = trimWhitespaceAndNewlines(rawPart);
        if (part.empty())
            continue;
        auto space = part.find_first_of(" \t");
        std::string kind = asciiToLower(part.substr(0, space));
        std::string target = space == std::string::npos ? "" : trimWhitespaceAndNewlines(part.substr(space));
        if (kind == "direct") {
            entries.push_back(ProxyEntry {});
            continue;
        }
        ProxyEntry entry;
        int defaultPort = 80;
        if (kind == "proxy" || kind == "http") {
            entry.type = ProxyEntry::Type::HTTP;
        } else if (kind == "socks" || kind == "socks5" || kind == "socks4") {
            entry.type = ProxyEntry::Type::SOCKS;
            defaultPort = 1080;
        } else {
            // HTTPS (TLS to the proxy itself) and anything else: not something we can use.
            continue;
        }
        if (target.empty())
            continue;
        auto colon = target.rfind(':');
        entry.host = target;
        entry.port = defaultPort;
        if (colon != std::string::npos && target.find(']') == std::string::npos) {
            entry.host = target.substr(0, colon);
            std::string digits = target.substr(colon + 1);
            if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
                continue;
            entry.port = std::atoi(digits.c_str());
        }
        if (entry.host.empty() || entry.port <= 0 || entry.port > 65535)
            continue;
        entries.push_back(entry);
    }
    if (entries.empty())
        return std::nullopt;
    return entries;
}

} // namespace platform
