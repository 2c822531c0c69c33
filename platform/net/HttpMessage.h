#pragma once

#include "platform/os/Url.h"
#include "platform/os/Value.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Header fields in the order they were set. A name may occur more than once
// (Set-Cookie above all): each occurrence is kept apart, and only lookups join
// them. Names compare without regard to case.
//
// Names must be RFC 9110 tokens and values must not contain CR, LF or NUL:
// anything else is refused (the setter answers false and changes nothing), so
// no caller can smuggle a second header or a second request onto the wire.
class HttpHeaders final {
public:
    struct Field {
        std::string name;
        std::string value;
        bool operator==(const Field&) const = default;
    };

    static bool isValidName(std::string_view name);
    static bool isValidValue(std::string_view value);

    // Replaces the value of the first field with that name (keeping its place
    // and the new spelling of the name) and drops later repeats; appends when
    // the name is new.
    bool set(std::string_view name, std::string_view value);
    // Appends another field, even when the name is present already.
    bool add(std::string_view name, std::string_view value);
    // Removes every field with that name; true when one was removed.
    bool remove(std::string_view name);
    // Continues the last field's value with a space and more text (an
    // obsolete folded line of a received head). False when there is no field.
    bool extendLastValue(std::string_view more);

    bool contains(std::string_view name) const;
    // Every value of that name joined with ", " (RFC 9110 section 5.3); nullopt when absent.
    std::optional<std::string> get(std::string_view name) const;
    // Every value of that name, kept apart, in order.
    std::vector<std::string> values(std::string_view name) const;

    const std::vector<Field>& fields() const { return fields_; }
    // One field per distinct name (the first spelling, in order of first
    // appearance) with the joined value: what the phone's header dictionary holds.
    std::vector<Field> joinedFields() const;
    std::size_t size() const { return fields_.size(); }
    bool empty() const { return fields_.empty(); }
    void clear() { fields_.clear(); }

    bool operator==(const HttpHeaders&) const = default;

private:
    std::vector<Field> fields_;
};

enum class HttpVersion { Http10, Http11 };

inline constexpr const char* kHttpVersion1_0 = "HTTP/1.0";
inline constexpr const char* kHttpVersion1_1 = "HTTP/1.1";

// An HTTP request or response head plus an optional body: what the engine
// builds for the stream and what the stream hands back once the response
// head has arrived. A plain value; copy freely.
class HttpMessage final {
public:
    // A request for an absolute http or https URL with a host. nullopt when
    // the URL is not one, or the method is not a token.
    static std::optional<HttpMessage> createRequest(
        std::string_view method, const Url& url, HttpVersion version = HttpVersion::Http11);
    // A response head; header fields are added afterwards and the head is
    // marked complete with setHeaderComplete(). The status line is built as
    // "<version> <code> <reason>".
    static HttpMessage createResponse(
        int statusCode, std::string_view reasonPhrase, std::string_view version = kHttpVersion1_1);
    // Parses a status line such as "HTTP/1.1 200 OK" (CR LF allowed at the end).
    // nullopt when it is not one: wrong protocol name, a status outside 100-999.
    static std::optional<HttpMessage> parseStatusLine(std::string_view line);

    bool isRequest() const { return isRequest_; }

    // Request side.
    const std::string& requestMethod() const { return method_; }
    const Url& requestUrl() const { return url_; }
    // The request line as sent: "<method> <target> <version>".
    std::string requestLine() const;

    // Both sides: "HTTP/1.0" or "HTTP/1.1" (a response keeps the text it came with).
    const std::string& version() const { return version_; }

    // Response side.
    int statusCode() const { return statusCode_; }
    // The whole status line without CR LF, e.g. "HTTP/1.1 404 Not Found".
    const std::string& statusLine() const { return statusLine_; }
    const std::string& reasonPhrase() const { return reason_; }
    bool isHeaderComplete() const { return headerComplete_; }
    void setHeaderComplete(bool complete) { headerComplete_ = complete; }

    // Header fields (see HttpHeaders for the refusal rules).
    const HttpHeaders& headers() const { return headers_; }
    bool setHeaderFieldValue(std::string_view name, std::string_view value) { return headers_.set(name, value); }
    bool addHeaderFieldValue(std::string_view name, std::string_view value) { return headers_.add(name, value); }
    bool removeHeaderField(std::string_view name) { return headers_.remove(name); }
    std::optional<std::string> headerFieldValue(std::string_view name) const { return headers_.get(name); }
    // Adds one "Name: value" line as received (surrounding white space of the
    // value trimmed, CR LF allowed at the end). A line starting with white
    // space continues the previous field (obsolete line folding, read as one
    // space). False for a malformed line, which changes nothing.
    bool appendHeaderLine(std::string_view line);

    // The body: for a request sent without a body stream, the bytes to send.
    const Bytes& body() const { return body_; }
    void setBody(Bytes body) { body_ = std::move(body); }

private:
    HttpMessage() = default;

    bool isRequest_ = false;
    std::string method_;
    Url url_;
    std::string version_ = kHttpVersion1_1;
    int statusCode_ = 0;
    std::string statusLine_;
    std::string reason_;
    bool headerComplete_ = false;
    HttpHeaders headers_;
    Bytes body_;
};

} // namespace platform
