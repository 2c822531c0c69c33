#pragma once

namespace platform {

// The punctuation rule of the text layout's line breaker (Text.h), for views
// that place text a character at a time: no line starts with a character of
// the first kind (closing punctuation, small kana, the ellipsis), none ends
// with one of the second (opening punctuation).
bool mayNotStartLine(char32_t codePoint);
bool mayNotEndLine(char32_t codePoint);

} // namespace platform
