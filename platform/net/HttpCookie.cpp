#include "platform/net/HttpCookie.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>

namespace platform {

namespace {

    std::string lower(std::string_view text)
    {
        std::string out(text);
        std::transform(
            out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return out;
    }

    bool equalsIgnoringCase(std::string_view a, std::string_view b) { return lower(a) == lower(b); }

    std::string_view trimSpace(std::string_view text)
    {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        return text;
    }

    bool isDigit(char c) { return c >= '0' && c <= '9'; }

    // An IPv4 dotted quad or an IPv6 literal: never matched by domain suffix.
    bool isIpAddress(std::string_view host)
    {
        if (host.find(':') != std::string_view::npos)
            return true;
        int dots = 0;
        for (char c : host) {
            if (c == '.')
                ++dots;
            else if (!isDigit(c))
                return false;
        }
        return dots == 3;
    }

    // Days since 1970-01-01 of a proleptic Gregorian date.
    std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d)
    {
        y -= m <= 2;
        const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
    }

    bool isLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

    int daysInMonth(int year, int month)
    {
        static constexpr std::array<int, 12> days { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
        return month == 2 && isLeapYear(year) ? 29 : days[static_cast<std::size_t>(month - 1)];
    }

    bool isDateDelimiter(unsigned char c)
    {
        return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) || (c >= 0x5B && c <= 0x60)
            || (c >= 0x7B && c <= 0x7E);
    }

    // Reads 1..maxDigits digits at the start; the rest must not start with a digit.
    std::optional<int> leadingNumber(std::string_view token, std::size_t minDigits, std::size_t maxDigits)
    {
        std::size_t n = 0;
        while (n < token.size() && isDigit(token[n]))
            ++n;
        if (n < minDigits || n > maxDigits)
            return std::nullopt;
        int value = 0;
        for (std::size_t i = 0; i < n; ++i)
            value = value * 10 + (token[i] - '0');
        return value;
    }

    // hms-time: 1*2DIGIT ":" 1*2DIGIT ":" 1*2DIGIT, then no digit.
    bool parseTime(std::string_view token, int& h, int& m, int& s)
    {
        int parts[3] = { 0, 0, 0 };
        std::size_t pos = 0;
        for (int i = 0; i < 3; ++i) {
            std::size_t start = pos;
            while (pos < token.size() && isDigit(token[pos]) && pos - start < 3)
                ++pos;
            std::size_t digits = pos - start;
            if (digits < 1 || digits > 2)
                return false;
            for (std::size_t k = start; k < pos; ++k)
                parts[i] = parts[i] * 10 + (token[k] - '0');
            if (i < 2) {
                if (pos >= token.size() || token[pos] != ':')
                    return false;
                ++pos;
            }
        }
        if (pos < token.size() && isDigit(token[pos]))
            return false;
        h = parts[0];
        m = parts[1];
        s = parts[2];
        return true;
    }

} // namespace

std::optional<Date> HttpCookie::parseCookieDate(std::string_view text)
{
    static constexpr std::array<const char*, 12> months { "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep",
        "oct", "nov", "dec" };
    bool foundTime = false, foundDay = false, foundMonth = false, foundYear = false;
    int hour = 0, minute = 0, second = 0, day = 0, month = 0, year = 0;

    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isDateDelimiter(static_cast<unsigned char>(text[i])))
            ++i;
        std::size_t start = i;
        while (i < text.size() && !isDateDelimiter(static_cast<unsigned char>(text[i])))
            ++i;
        std::string_view token = text.substr(start, i - start);
        if (token.empty())
            continue;
        int h, m, s;
        if (!foundTime && parseTime(token, h, m, s)) {
            foundTime = true;
            hour = h;
            minute = m;
            second = s;
            continue;
        }
        if (!foundDay) {
            if (auto value = leadingNumber(token, 1, 2)) {
                foundDay = true;
                day = *value;
                continue;
            }
        }
        if (!foundMonth && token.size() >= 3) {
            std::string prefix = lower(token.substr(0, 3));
            auto it = std::find(months.begin(), months.end(), prefix);
            if (it != months.end()) {
                foundMonth = true;
                month = static_cast<int>(it - months.begin()) + 1;
                continue;
            }
        }
        if (!foundYear) {
            if (auto value = leadingNumber(token, 2, 4)) {
                foundYear = true;
                year = *value;
                continue;
            }
        }
    }
    if (foundYear && year >= 70 && year <= 99)
        year += 1900;
    else if (foundYear && year >= 0 && year <= 69)
        year += 2000;
    if (!foundTime || !foundDay || !foundMonth || !foundYear)
        return std::nullopt;
    if (day < 1 || day > 31 || year < 1601 || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    if (day > daysInMonth(year, month))
        return std::nullopt;
    std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return Date::fromSeconds(static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second));
}

std::string_view HttpCookie::domainWithoutDot(std::string_view domain)
{
    if (!domain.empty() && domain.front() == '.')
        domain.remove_prefix(1);
    return domain;
}

bool HttpCookie::domainMatches(std::string_view host, std::string_view domain)
{
    if (host.empty() || domain.empty())
        return false;
    if (host == domain)
        return true;
    if (host.size() <= domain.size() || isIpAddress(host))
        return false;
    return host.substr(host.size() - domain.size()) == domain && host[host.size() - domain.size() - 1] == '.';
}

bool HttpCookie::pathMatches(std::string_view requestPath, std::string_view cookiePath)
{
    if (requestPath == cookiePath)
        return true;
    if (requestPath.size() < cookiePath.size() || requestPath.substr(0, cookiePath.size()) != cookiePath)
        return false;
    return (!cookiePath.empty() && cookiePath.back() == '/') || requestPath[cookiePath.size()] == '/';
}

std::string HttpCookie::defaultPath(const Url& url)
{
    const std::string& path = url.rawPath();
    if (path.empty() || path.front() != '/')
        return "/";
    auto last = path.rfind('/');
    if (last == 0)
        return "/";
    return path.substr(0, last);
}

bool HttpCookie::matchesUrl(const Url& url, Date now) const
{
    if (isExpired(now) || domain.empty())
        return false;
    std::string host = lower(url.host());
    if (hostOnly) {
        if (host != domain)
            return false;
    } else if (!domainMatches(host, domainWithoutDot(domain))) {
        return false;
    }
    std::string requestPath = url.rawPath().empty() ? "/" : url.rawPath();
    if (!pathMatches(requestPath, path))
        return false;
    if (secure && lower(url.scheme()) != "https")
        return false;
    return true;
}

std::optional<HttpCookie> HttpCookie::parseSetCookie(std::string_view setCookieValue, const Url& url, Date now)
{
    std::string host = lower(url.host());
    // A host with a leading dot is no host (Url refuses it); a cookie from it
    // would read as one for a whole domain.
    if (host.empty() || host.front() == '.')
        return std::nullopt;
    auto semicolon = setCookieValue.find(';');
    std::string_view pair = setCookieValue.substr(0, semicolon);
    std::string_view attributes
        = semicolon == std::string_view::npos ? std::string_view() : setCookieValue.substr(semicolon + 1);
    auto equals = pair.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    HttpCookie cookie;
    cookie.name = std::string(trimSpace(pair.substr(0, equals)));
    cookie.value = std::string(trimSpace(pair.substr(equals + 1)));
    if (cookie.name.empty())
        return std::nullopt;

    std::optional<Date> expires;
    std::optional<Date> maxAgeExpiry;
    std::optional<std::string> domainAttribute;
    std::optional<std::string> pathAttribute;
    while (!attributes.empty()) {
        auto next = attributes.find(';');
        std::string_view attribute = attributes.substr(0, next);
        attributes = next == std::string_view::npos ? std::string_view() : attributes.substr(next + 1);
        auto eq = attribute.find('=');
        std::string_view attrName = trimSpace(attribute.substr(0, eq));
        std::string_view attrValue
            = eq == std::string_view::npos ? std::string_view() : trimSpace(attribute.substr(eq + 1));
        if (equalsIgnoringCase(attrName, "expires")) {
            if (auto date = parseCookieDate(attrValue))
                expires = date;
        } else if (equalsIgnoringCase(attrName, "max-age")) {
            if (attrValue.empty() || !(isDigit(attrValue.front()) || attrValue.front() == '-'))
                continue;
            std::string_view digits = attrValue.front() == '-' ? attrValue.substr(1) : attrValue;
            if (digits.empty() || !std::all_of(digits.begin(), digits.end(), isDigit))
                continue;
            bool negative = attrValue.front() == '-';
            // Saturate: a huge Max-Age is simply "far in the future".
            double seconds = 0;
            for (char c : digits)
                seconds = std::min(seconds * 10 + (c - '0'), 1e12);
            if (negative || seconds <= 0)
                maxAgeExpiry = Date::fromSeconds(-1e12); // the earliest time there is
            else
                maxAgeExpiry = now.addingSeconds(seconds);
        } else if (equalsIgnoringCase(attrName, "domain")) {
            if (attrValue.empty())
                continue;
            std::string_view d = attrValue;
            if (d.front() == '.')
                d.remove_prefix(1);
            domainAttribute = lower(d);
        } else if (equalsIgnoringCase(attrName, "path")) {
            if (attrValue.empty() || attrValue.front() != '/')
                pathAttribute.reset();
            else
                pathAttribute = std::string(attrValue);
        } else if (equalsIgnoringCase(attrName, "secure")) {
            cookie.secure = true;
        } else if (equalsIgnoringCase(attrName, "httponly")) {
            cookie.httpOnly = true;
        }
    }

    cookie.expiresDate = maxAgeExpiry ? maxAgeExpiry : expires;
    if (domainAttribute && !domainAttribute->empty()) {
        // Without a public suffix list, at least refuse a bare top-level label
        // ("com") unless it is the host itself.
        bool bareLabel = domainAttribute->find('.') == std::string::npos;
        if (!domainMatches(host, *domainAttribute) || (bareLabel && host != *domainAttribute))
            return std::nullopt;
        cookie.domain = "." + *domainAttribute;
        cookie.hostOnly = false;
    } else {
        cookie.domain = host;
        cookie.hostOnly = true;
    }
    cookie.path = pathAttribute ? *pathAttribute : defaultPath(url);
    return cookie;
}

std::vector<HttpCookie> HttpCookie::cookiesWithResponseHeaderFields(const HttpHeaders& headers, const Url& url)
{
    std::vector<HttpCookie> cookies;
    Date now = Date::now();
    for (const auto& value : headers.values("Set-Cookie")) {
        if (auto cookie = parseSetCookie(value, url, now))
            cookies.push_back(std::move(*cookie));
    }
    return cookies;
}

} // namespace platform
