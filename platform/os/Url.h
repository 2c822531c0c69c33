#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// An absolute or relative URL reference, parsed by RFC 3986. Parsing refuses
// texts with characters that are not allowed in a URL (spaces, non-ASCII,
// control characters, unbalanced brackets, a bad percent escape).
class Url final {
public:
    static std::optional<Url> parse(std::string_view text);
    // Resolves a reference against a base (RFC 3986 section 5.2); the result is absolute.
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
    std::string path() const;
    const std::string& rawPath() const { return path_; }
    std::optional<std::string> query() const { return query_; }
    std::optional<std::string> fragment() const { return fragment_; }
    bool hasAuthority() const { return hasAuthority_; }
    // Path plus "?query" as sent in a request line ("/" when the path is empty).
    std::string requestTarget() const;
    // scheme://host[:port] (the port only when given).
    std::string origin() const;

    bool operator==(const Url& other) const { return text_ == other.text_; }

private:
    std::string text_;
    std::string scheme_;
    bool hasAuthority_ = false;
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
std::string escapeUrlIllegalCharacters(std::string_view text, std::string_view alsoEscape = {});
// Escapes everything except the RFC 3986 unreserved characters, for one
// query name or value (space → "%20", "+" → "%2B", "&" → "%26", "=" → "%3D").
std::string encodeQueryComponent(std::string_view text);
// Decodes %XX sequences; nullopt on a malformed escape.
std::optional<std::string> percentDecode(std::string_view text);

} // namespace platform
