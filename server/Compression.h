#pragma once

#include "server/ReplyScript.h"

#include <optional>
#include <string>
#include <string_view>

namespace server {

// Deflates data into a gzip (RFC 1952) or zlib (RFC 1950) stream. Nothing on
// a zlib failure.
std::optional<std::string> compress(std::string_view data, Compression format);

// Bytes before the first deflate block of a stream made by compress().
std::size_t compressedHeaderLength(Compression format);

} // namespace server
