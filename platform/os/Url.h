#pragma once

#include "platform/os/TextEncoding.h"

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// An absolute or relative URL reference, parsed by RFC 3986. Parsing refuses
// texts with characters that are not allowed in a URL (spaces, non-ASCII,
// control characters, quotes, "<>\\^`{|}"), a bad percent escape, brackets
// anywhere but around an IPv6 host (which must be a valid address), a host
// that starts with a dot or holds an empty label ("a..b"), a second
// "#" or "@", a port that is not a number up to 65535, and a relative
// reference whose first segment holds a colon.
class Url final {
public:
    static std::optional<Url> parse(std::string_view text);
    // Resolves a reference against a base (RFC 3986 section 5.2, strict: a
    // reference with a scheme stands alone); the result is absolute. nullopt
    // when the reference does not parse or the base is not absolute.
    static std::optional<Url> parse(std::string_view text, const Url& base);
    // A "file://" URL for a local path (escaping what needs it).
    static Url fileUrl(std::string_view path);

    // The whole text, normalised only as resolution requires.
    const std::string& absoluteString() const { return text_; }

    bool isAbsolute() const { return !scheme_.empty(); }
    bool isFileUrl() const;
    // Components. Scheme and host as written (compare case-insensitively);
    // user, password and path are percent-decoded; query and fragment raw.
    const std::string& scheme() const { return scheme_; }
    const std::string& host() const { return host_; } // IPv6 literals without brackets
    std::optional<int> port() const { return port_; }
    std::string user() const;
    std::string password() const;
    // Whether the user info holds a ":" (a password, possibly empty).
    bool hasPassword() const;
    std::string path() const;
    const std::string& rawPath() const { return path_; }
    std::optional<std::string> query() const { return query_; }
    std::optional<std::string> fragment() const { return fragment_; }
    bool hasAuthority() const { return hasAuthority_; }
    // Path plus "?query" as sent in a request line ("/" when the path is empty).
    std::string requestTarget() const;
    // scheme://host[:port] (the port only when given; IPv6 hosts in brackets).
    std::string origin() const;
    // The authority as written: [user[:password]@]host[:port].
    const std::string& authority() const { return authority_; }

    bool operator==(const Url& other) const { return text_ == other.text_; }

private:
    std::string text_;
    std::string scheme_;
    bool hasAuthority_ = false;
    std::string authority_;
    std::string userInfo_;
    std::string host_;
    std::optional<int> port_;
    std::string path_;
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

// Escapes the characters that may not appear in a URL (spaces, controls,
// non-ASCII bytes, '"', '<', '>', '\\', '^', '`', '{', '|', '}') as %XX with
// upper-case hex, keeping reserved characters such as "&", "=", "?", "/", "+"
// and existing '%'. Characters in alsoEscape are escaped too.
// A '%' that does not start a valid escape is escaped as "%25", so the
// result always parses.
std::string escapeUrlIllegalCharacters(std::string_view text, std::string_view alsoEscape = {});
// The same for text sent in another encoding: each character that is escaped
// becomes the %XX of every byte of its form in that encoding (UTF-16 forms
// without a byte order mark, big-endian). nullopt when the text is not valid
// UTF-8 or holds a character the encoding cannot represent.
std::optional<std::string> escapeUrlIllegalCharacters(
    std::string_view text, std::string_view alsoEscape, StringEncoding encoding);
// The characters a URL-encoded form forces to be escaped besides the illegal
// ones: with them only letters, digits, "-", "_" and "." stay as they are.
inline constexpr std::string_view kFormForcedEscapes = ":/?#[]@!$ &'()*+,;=\"<>%{}|\\^~`";
// Escapes everything except the RFC 3986 unreserved characters, for one
// query name or value (space → "%20", "+" → "%2B", "&" → "%26", "=" → "%3D").
std::string encodeQueryComponent(std::string_view text);
// Decodes %XX sequences; nullopt on a malformed escape.
std::optional<std::string> percentDecode(std::string_view text);

} // namespace platform
