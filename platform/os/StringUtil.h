#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The value of a hexadecimal digit (0-9, a-f, A-F); -1 for anything else.
constexpr int hexDigitValue(char32_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

// Text is UTF-8 in std::string throughout the program, but lengths, offsets
// and limits are counted the way the phone counts them: in UTF-16 code units.
// A character outside the Basic Multilingual Plane (most emoji) counts 2.
//
// Bytes that are not valid UTF-8 are read as U+FFFD, one per bad byte, so the
// helpers below never fail; isValidUtf8 tells whether that happened.

bool isValidUtf8(std::string_view text);

// Number of UTF-16 code units of the text.
std::size_t utf16Length(std::string_view text);

// The part of the text covering UTF-16 units [offset, offset + length),
// clamped to the text. The result is always whole characters: a boundary that
// falls between the two halves of a surrogate pair leaves that character out.
std::string utf16Substring(std::string_view text, std::size_t offset, std::size_t length);
// The first maxUnits UTF-16 units, never splitting a character.
std::string utf16Prefix(std::string_view text, std::size_t maxUnits);
// The UTF-16 unit at an index (a half of a pair for characters beyond the BMP);
// nullopt past the end.
std::optional<char16_t> utf16UnitAt(std::string_view text, std::size_t index);

// nullopt when the text is not valid UTF-8.
std::optional<std::u16string> toUtf16(std::string_view text);
// nullopt when the units hold an unpaired surrogate.
std::optional<std::string> fromUtf16(std::u16string_view units);
// Encodes one code point (nothing for surrogates or values beyond U+10FFFF).
std::string utf8FromCodePoint(char32_t codePoint);
// Decodes the text into code points (U+FFFD for each invalid byte).
std::u32string codePoints(std::string_view text);
// The text's first character (one code point, whole), or "" when the text is
// empty or does not start with a valid UTF-8 character.
std::string firstCharacter(std::string_view text);

// Case mapping by Unicode's simple per-character rules plus the special case
// "ß" → "SS" (so "straße" becomes "STRASSE"; "ÿ" becomes "Ÿ").
std::string toUpper(std::string_view text);
std::string toLower(std::string_view text);
// Only A–Z change; every other byte stays as it is (SQL names, header names).
std::string asciiToLower(std::string_view text);
std::string asciiToUpper(std::string_view text);
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// White space and line ends, including the Unicode spaces (no-break space,
// ideographic space U+3000, the U+2000 block, line and paragraph separators).
bool isWhitespaceOrNewline(char32_t codePoint);
std::string trimWhitespaceAndNewlines(std::string_view text);

// Every occurrence of `from`, left to right and not overlapping; an empty
// `from` leaves the text unchanged.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);
// The text with "<", ">", "&", '"' and "'" written as HTML entities, safe
// inside an element or a quoted attribute.
std::string htmlEscaped(std::string_view text);
// Splits at each separator: n separators give n + 1 parts (empty parts kept).
// An empty separator gives the whole text as one part.
std::vector<std::string> split(std::string_view text, std::string_view separator);
bool hasPrefix(std::string_view text, std::string_view prefix);
bool hasSuffix(std::string_view text, std::string_view suffix);

// One user-perceived character: a base character with what attaches to it
// (combining marks, variation selectors, emoji skin-tone modifiers, tag
// characters, characters joined by ZERO WIDTH JOINER, a pair of regional
// indicators, CR LF). Positions are given both in bytes and in UTF-16 units.
struct ComposedCharacter {
    std::size_t byteOffset = 0;
    std::size_t byteLength = 0;
    std::size_t utf16Offset = 0;
    std::size_t utf16Length = 0;
};
std::vector<ComposedCharacter> composedCharacters(std::string_view text);

// The text as a single-quoted script string literal, safe inside a page's
// <script> element as well as in a script run on its own: quotes,
// backslashes, control characters and the line terminators U+2028 and U+2029
// are escaped, and so are '<', '>' and '&', so that neither "</script>" nor
// "<!--" can end or change the element around it.
std::string scriptStringLiteral(std::string_view text);

} // namespace platform
