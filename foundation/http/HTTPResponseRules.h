#pragma once

// Small rules the request applies to response headers, kept apart so that
// they can be checked on their own.

#include <optional>
#include <string>
#include <string_view>

namespace foundation {

namespace http_rules {

// "Content-Length" as plain decimal digits (surrounding blanks allowed).
// Anything else, or a number past 64 bits, counts as no length at all.
std::optional<unsigned long long> parseContentLength(std::string_view text);

// Whether a response lets its connection be kept, and for how long:
// nullopt when it may not be reused, else the idle life in seconds.
// connection and keepAlive are the header values when present; version is
// the response's protocol text ("HTTP/1.0", "HTTP/1.1").
std::optional<double> keepAliveLifetime(std::string_view version, const std::optional<std::string>& connection,
    const std::optional<std::string>& keepAlive, double defaultSeconds);

// The first byte position of a "Content-Range: bytes a-b/c" value.
std::optional<unsigned long long> contentRangeStart(std::string_view text);

} // namespace http_rules

} // namespace foundation
