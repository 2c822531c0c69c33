#pragma once

#include <string>
#include <string_view>

namespace foundation {

// The MD5 digest of a text's UTF-8 bytes, as 32 lower-case hexadecimal digits.
// The text counts up to its first zero byte, as a C string would; the request
// signing of the lesson service relies on exactly that input.
std::string md5(std::string_view text);

} // namespace foundation
