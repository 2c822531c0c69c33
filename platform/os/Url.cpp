#include "platform/os/Url.h"

#include "platform/os/StringUtil.h"

#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>

namespace platform {

namespace {

    bool isAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
    bool isDigit(char c) { return c >= '0' && c <= '9'; }
    bool isHexDigit(char c) { return hexDigitValue(static_cast<unsigned char>(c)) >= 0; }

    bool isUnreserved(char c) { return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~'; }
    bool isSubDelim(char c)
    {
        switch (c) {
        case '!':
        case '$':
        case '&':
        case '\'':
        case '(':
        case ')':
        case '*':
        case '+':
        case ',':
        case ';':
        case '=':
            return true;
        default:
            return false;
        }
    }
    bool isGenDelim(char c)
    {
        switch (c) {
        case ':':
        case '/':
        case '?':
        case '#':
        case '[':
        case ']':
        case '@':
            return true;
        default:
            return false;
        }
    }
    // Characters that may appear in a URL as they are.
    bool isUrlCharacter(char c) { return isUnreserved(c) || isSubDelim(c) || isGenDelim(c); }
    bool isPchar(char c) { return isUnreserved(c) || isSubDelim(c) || c == ':' || c == '@'; }

    bool isValidEscapeAt(std::string_view text, std::size_t pos)
    {
        return pos < text.size() && text.size() - pos >= 3 && isHexDigit(text[pos + 1]) && isHexDigit(text[pos + 2]);
    }

    // Every character allowed by `allowed`, or a valid %XX escape.
    template <typename Pred> bool consistsOf(std::string_view text, Pred allowed)
    {
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '%') {
                if (!isValidEscapeAt(text, i))
                    return false;
                i += 2;
            } else if (!allowed(text[i])) {
                return false;
            }
        }
        return true;
    }

    bool isValidScheme(std::string_view s)
    {
        if (s.empty() || !isAlpha(s[0]))
            return false;
        for (char c : s) {
            if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
                return false;
        }
        return true;
    }

    // The inside of "[...]": an IPv6 address with an optional zone ("%25" and the
    // zone name, RFC 6874) or an IPvFuture literal.
    bool isValidIpLiteral(std::string_view inside)
    {
        if (!inside.empty() && (inside[0] == 'v' || inside[0] == 'V')) {
            std::size_t dot = inside.find('.');
            if (dot == std::string_view::npos || dot < 2 || dot + 1 >= inside.size())
                return false;
            for (std::size_t i = 1; i < dot; ++i) {
                if (!isHexDigit(inside[i]))
                    return false;
            }
            for (char c : inside.substr(dot + 1)) {
                if (!isUnreserved(c) && !isSubDelim(c) && c != ':')
                    return false;
            }
            return true;
        }
        std::string_view address = inside;
        std::size_t zone = inside.find("%25");
        if (zone != std::string_view::npos) {
            address = inside.substr(0, zone);
            std::string_view zoneId = inside.substr(zone + 3);
            if (zoneId.empty() || !consistsOf(zoneId, isUnreserved))
                return false;
        }
        if (address.size() >= INET6_ADDRSTRLEN)
            return false;
        std::string copy(address);
        in6_addr parsed;
        return inet_pton(AF_INET6, copy.c_str(), &parsed) == 1;
    }

    // RFC 3986 section 5.2.4.
    std::string removeDotSegments(std::string_view input)
    {
        std::string output;
        while (!input.empty()) {
            if (input.starts_with("../")) {
                input.remove_prefix(3);
            } else if (input.starts_with("./")) {
                input.remove_prefix(2);
            } else if (input.starts_with("/./")) {
                input.remove_prefix(2);
            } else if (input == "/.") {
                input = "/";
            } else if (input.starts_with("/../") || input == "/..") {
                if (input == "/..")
                    input = "/";
                else
                    input.remove_prefix(3);
                std::size_t last = output.rfind('/');
                output.erase(last == std::string::npos ? 0 : last);
            } else if (input == "." || input == "..") {
                input = {};
            } else {
                std::size_t start = input[0] == '/' ? 1 : 0;
                std::size_t next = input.find('/', start);
                if (next == std::string_view::npos)
                    next = input.size();
                output.append(input.substr(0, next));
                input.remove_prefix(next);
            }
        }
        return output;
    }

    void appendEscaped(std::string& out, unsigned char b)
    {
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += '%';
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }

} // namespace

std::optional<Url> Url::parse(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (!isValidEscapeAt(text, i))
                return std::nullopt;
        } else if (!isUrlCharacter(c)) {
            return std::nullopt;
        }
    }

    Url url;
    url.text_ = std::string(text);
    std::string_view rest = text;

    std::size_t special = rest.find_first_of(":/?#");
    if (special != std::string_view::npos && rest[special] == ':') {
        // A colon before any "/", "?" or "#" ends a scheme; a relative
        // reference may not have one in its first segment.
        std::string_view scheme = rest.substr(0, special);
        if (!isValidScheme(scheme))
            return std::nullopt;
        url.scheme_ = std::string(scheme);
        rest.remove_prefix(special + 1);
    }

    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        std::size_t end = rest.find_first_of("/?#");
        if (end == std::string_view::npos)
            end = rest.size();
        std::string_view authority = rest.substr(0, end);
        rest.remove_prefix(end);
        url.hasAuthority_ = true;
        url.authority_ = std::string(authority);

        std::string_view hostPort = authority;
        std::size_t at = authority.find('@');
        if (at != std::string_view::npos) {
            std::string_view userInfo = authority.substr(0, at);
            hostPort = authority.substr(at + 1);
            if (!consistsOf(userInfo, [](char c) { return isUnreserved(c) || isSubDelim(c) || c == ':'; }))
                return std::nullopt;
            url.userInfo_ = std::string(userInfo);
        }
        std::string_view portText;
        bool hasPortColon = false;
        if (hostPort.starts_with("[")) {
            std::size_t close = hostPort.find(']');
            if (close == std::string_view::npos || !isValidIpLiteral(hostPort.substr(1, close - 1)))
                return std::nullopt;
            url.host_ = std::string(hostPort.substr(1, close - 1));
            std::string_view after = hostPort.substr(close + 1);
            if (!after.empty()) {
                if (after[0] != ':')
                    return std::nullopt;
                hasPortColon = true;
                portText = after.substr(1);
            }
        } else {
            std::size_t colon = hostPort.find(':');
            std::string_view host = hostPort.substr(0, colon);
            if (!consistsOf(host, [](char c) { return isUnreserved(c) || isSubDelim(c); }))
                return std::nullopt;
            // A name never starts with a dot nor holds an empty label: ".example.com"
            // would pass for a domain (a cookie's leading dot) where it is a host.
            if (host.starts_with(".") || host.find("..") != std::string_view::npos)
                return std::nullopt;
            url.host_ = std::string(host);
            if (colon != std::string_view::npos) {
                hasPortColon = true;
                portText = hostPort.substr(colon + 1);
            }
        }
        if (hasPortColon && !portText.empty()) {
            if (portText.size() > 5)
                return std::nullopt;
            int port = 0;
            for (char c : portText) {
                if (!isDigit(c))
                    return std::nullopt;
                port = port * 10 + (c - '0');
            }
            if (port > 65535)
                return std::nullopt;
            url.port_ = port;
        }
    }

    std::size_t pathEnd = rest.find_first_of("?#");
    if (pathEnd == std::string_view::npos)
        pathEnd = rest.size();
    std::string_view path = rest.substr(0, pathEnd);
    rest.remove_prefix(pathEnd);
    if (!consistsOf(path, [](char c) { return isPchar(c) || c == '/'; }))
        return std::nullopt;
    url.path_ = std::string(path);

    auto isQueryChar = [](char c) { return isPchar(c) || c == '/' || c == '?'; };
    if (rest.starts_with("?")) {
        std::size_t end = rest.find('#');
        if (end == std::string_view::npos)
            end = rest.size();
        std::string_view query = rest.substr(1, end - 1);
        if (!consistsOf(query, isQueryChar))
            return std::nullopt;
        url.query_ = std::string(query);
        rest.remove_prefix(end);
    }
    if (rest.starts_with("#")) {
        std::string_view fragment = rest.substr(1);
        if (!consistsOf(fragment, isQueryChar))
            return std::nullopt;
        url.fragment_ = std::string(fragment);
    }
    return url;
}

std::optional<Url> Url::parse(std::string_view text, const Url& base)
{
    std::optional<Url> reference = parse(text);
    if (!reference || !base.isAbsolute())
        return std::nullopt;
    const Url& r = *reference;

    // RFC 3986 section 5.2.2, strict: a reference with a scheme is used as it is.
    Url t;
    auto takeAuthority = [&t](const Url& from) {
        t.hasAuthority_ = from.hasAuthority_;
        t.authority_ = from.authority_;
        t.userInfo_ = from.userInfo_;
        t.host_ = from.host_;
        t.port_ = from.port_;
    };
    if (!r.scheme_.empty()) {
        t.scheme_ = r.scheme_;
        takeAuthority(r);
        t.path_ = removeDotSegments(r.path_);
        t.query_ = r.query_;
    } else {
        if (r.hasAuthority_) {
            takeAuthority(r);
            t.path_ = removeDotSegments(r.path_);
            t.query_ = r.query_;
        } else {
            if (r.path_.empty()) {
                t.path_ = base.path_;
                t.query_ = r.query_ ? r.query_ : base.query_;
            } else {
                if (r.path_.starts_with("/")) {
                    t.path_ = removeDotSegments(r.path_);
                } else {
                    // Merge (section 5.2.3).
                    std::string merged;
                    if (base.hasAuthority_ && base.path_.empty()) {
                        merged = "/" + r.path_;
                    } else {
                        std::size_t slash = base.path_.rfind('/');
                        merged = slash == std::string::npos ? r.path_ : base.path_.substr(0, slash + 1) + r.path_;
                    }
                    t.path_ = removeDotSegments(merged);
                }
                t.query_ = r.query_;
            }
            takeAuthority(base);
        }
        t.scheme_ = base.scheme_;
    }
    t.fragment_ = r.fragment_;

    // Recomposition (section 5.3). A path that would read as an authority
    // gets a "/." in front, as section 5.3 and the dot-segment rules allow.
    std::string out = t.scheme_ + ":";
    if (t.hasAuthority_)
        out += "//" + t.authority_;
    else if (t.path_.starts_with("//"))
        t.path_.insert(0, "/.");
    out += t.path_;
    if (t.query_)
        out += "?" + *t.query_;
    if (t.fragment_)
        out += "#" + *t.fragment_;
    t.text_ = std::move(out);
    return t;
}

Url Url::fileUrl(std::string_view path)
{
    std::string absolute(path);
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(absolute), error);
    if (!error)
        absolute = full.string();
    // "%", "?", "#", "[" and "]" are legal in a URL but would change its meaning inside a path.
    std::string text = "file://" + escapeUrlIllegalCharacters(absolute, "%?#[]");
    if (std::optional<Url> url = parse(text))
        return *url;
    Url url;
    url.text_ = std::move(text);
    url.scheme_ = "file";
    return url;
}

bool Url::isFileUrl() const { return equalsIgnoringAsciiCase(scheme_, "file"); }

std::string Url::user() const
{
    std::string_view info = userInfo_;
    std::string_view name = info.substr(0, info.find(':'));
    return percentDecode(name).value_or(std::string(name));
}

std::string Url::password() const
{
    std::size_t colon = userInfo_.find(':');
    if (colon == std::string::npos)
        return {};
    std::string_view secret = std::string_view(userInfo_).substr(colon + 1);
    return percentDecode(secret).value_or(std::string(secret));
}

bool Url::hasPassword() const { return userInfo_.find(':') != std::string::npos; }

std::string Url::path() const { return percentDecode(path_).value_or(path_); }

std::string Url::requestTarget() const
{
    std::string target = path_.empty() ? std::string("/") : path_;
    if (query_)
        target += "?" + *query_;
    return target;
}

std::string Url::origin() const
{
    std::string out = scheme_ + "://";
    if (host_.find(':') != std::string::npos)
        out += "[" + host_ + "]";
    else
        out += host_;
    if (port_)
        out += ":" + std::to_string(*port_);
    return out;
}

std::string escapeUrlIllegalCharacters(std::string_view text, std::string_view alsoEscape)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool forced = alsoEscape.find(c) != std::string_view::npos;
        bool keep = !forced && (c == '%' ? isValidEscapeAt(text, i) : isUrlCharacter(c));
        if (keep)
            out += c;
        else
            appendEscaped(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::optional<std::string> escapeUrlIllegalCharacters(
    std::string_view text, std::string_view alsoEscape, StringEncoding encoding)
{
    if (encoding == kUTF8StringEncoding)
        return isValidUtf8(text) ? std::optional(escapeUrlIllegalCharacters(text, alsoEscape)) : std::nullopt;
    if (!isValidUtf8(text) || !isSupportedEncoding(encoding))
        return std::nullopt;
    // UTF-16 characters are escaped without a byte order mark in front of each run.
    if (encoding == kUTF16StringEncoding)
        encoding = kUTF16BigEndianStringEncoding;

    std::string out;
    std::string pending; // characters waiting to be escaped, in UTF-8
    auto flush = [&]() -> bool {
        if (pending.empty())
            return true;
        std::optional<std::string> bytes = encodeTextToString(pending, encoding);
        if (!bytes)
            return false;
        for (char b : *bytes)
            appendEscaped(out, static_cast<unsigned char>(b));
        pending.clear();
        return true;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        auto b = static_cast<unsigned char>(c);
        bool keep = b < 0x80 && alsoEscape.find(c) == std::string_view::npos
            && (c == '%' ? isValidEscapeAt(text, i) : isUrlCharacter(c));
        if (keep) {
            if (!flush())
                return std::nullopt;
            out += c;
        } else {
            pending += c;
        }
    }
    if (!flush())
        return std::nullopt;
    return out;
}

std::string encodeQueryComponent(std::string_view text)
{
    std::string out;
    out.reserve(text.size() * 3);
    for (char c : text) {
        if (isUnreserved(c))
            out += c;
        else
            appendEscaped(out, static_cast<unsigned char>(c));
    }
    return out;
}

std::optional<std::string> percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (!isValidEscapeAt(text, i))
            return std::nullopt;
        out += static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
        i += 2;
    }
    return out;
}

} // namespace platform
