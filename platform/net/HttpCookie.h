#pragma once

#include "platform/net/HttpMessage.h"
#include "platform/os/Url.h"
#include "platform/os/Value.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One cookie (an RFC 6265 subset). Identity is {domain, path, name}.
//
// domain is lower case. A cookie set with a Domain attribute keeps it with a
// leading dot (".example.com"), is not host-only and goes to that domain and
// its subdomains; a cookie without one holds the request host
// ("www.example.com"), is host-only and goes to that host only. Host-only is
// a flag of its own, not read from the dot: a host-only cookie goes to the host
// its domain names exactly, and no host starts with a dot (Url refuses one).
class HttpCookie final {
public:
    std::string name;
    std::string value;
    std::string domain;
    std::string path = "/";
    // Absent for a session-only cookie.
    std::optional<Date> expiresDate;
    bool secure = false;
    bool httpOnly = false;
    // A cookie made by hand is host-only unless this is cleared; its domain's
    // leading dot, if any, is then ignored when matching.
    bool hostOnly = true;

    bool isSessionOnly() const { return !expiresDate.has_value(); }
    bool isHostOnly() const { return hostOnly; }
    bool isExpired(Date now) const { return expiresDate && *expiresDate <= now; }
    bool hasSameIdentity(const HttpCookie& other) const
    {
        return domain == other.domain && path == other.path && name == other.name;
    }

    // Whether this cookie goes with a request to the URL at that time
    // (domain, path, secure and expiry rules of RFC 6265 section 5.4).
    bool matchesUrl(const Url& url, Date now) const;

    // The cookies of every Set-Cookie field (each kept apart) of a response
    // to the URL, with RFC 6265 section 5.2/5.3 parsing and defaults:
    // Domain (leading dot ignored; refused when the host is not inside it),
    // Path (default: the request path up to its last "/"), Expires (RFC 1123,
    // RFC 850 and asctime dates, per the section 5.1.1 algorithm), Max-Age
    // (wins over Expires; zero or less means already expired), Secure,
    // HttpOnly. Malformed fields are skipped.
    static std::vector<HttpCookie> cookiesWithResponseHeaderFields(const HttpHeaders& headers, const Url& url);
    // The same for one Set-Cookie value; nullopt when it makes no cookie.
    static std::optional<HttpCookie> parseSetCookie(
        std::string_view setCookieValue, const Url& url, Date now = Date::now());
    // RFC 6265 section 5.1.1 date parsing; nullopt for no date.
    static std::optional<Date> parseCookieDate(std::string_view text);

    // RFC 6265 section 5.1.3 domain matching (host and domain in lower case).
    static bool domainMatches(std::string_view host, std::string_view domain);
    // A domain cookie's domain without its leading dot.
    static std::string_view domainWithoutDot(std::string_view domain);
    // RFC 6265 section 5.1.4 path matching.
    static bool pathMatches(std::string_view requestPath, std::string_view cookiePath);
    // RFC 6265 section 5.1.4 default path of a request URL.
    static std::string defaultPath(const Url& url);

    bool operator==(const HttpCookie&) const = default;
};

} // namespace platform
