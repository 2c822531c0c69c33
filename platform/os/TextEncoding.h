#pragma once

#include "platform/os/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// A text encoding, numbered as the platform numbers its string encodings
// (the numbers travel in settings and request fields, so they are fixed).
using StringEncoding = unsigned long;

inline constexpr StringEncoding kASCIIStringEncoding = 1;
inline constexpr StringEncoding kUTF8StringEncoding = 4;
inline constexpr StringEncoding kISOLatin1StringEncoding = 5;
inline constexpr StringEncoding kShiftJISStringEncoding = 8;
inline constexpr StringEncoding kISOLatin2StringEncoding = 9;
// UTF-16: decoding honours a byte order mark (big-endian without one);
// encoding writes a little-endian mark followed by little-endian units.
inline constexpr StringEncoding kUTF16StringEncoding = 10;
inline constexpr StringEncoding kWindowsCP1251StringEncoding = 11;
inline constexpr StringEncoding kWindowsCP1252StringEncoding = 12;
inline constexpr StringEncoding kWindowsCP1250StringEncoding = 15;
inline constexpr StringEncoding kUTF16BigEndianStringEncoding = 0x90000100;
inline constexpr StringEncoding kUTF16LittleEndianStringEncoding = 0x94000100;
// The Chinese encodings carry this platform's own numbers: GB 18030 is 1586
// (the number the pinyin converter names), GBK 1585, GB 2312 (EUC-CN) 2352,
// Big5 2563.
inline constexpr StringEncoding kGBKStringEncoding = 1585;
inline constexpr StringEncoding kGB18030StringEncoding = 1586;
inline constexpr StringEncoding kGB2312StringEncoding = 2352;
inline constexpr StringEncoding kBig5StringEncoding = 2563;

// The encodings above, and only those, are supported.
bool isSupportedEncoding(StringEncoding encoding);

// IANA charset name (as in a Content-Type "charset=" parameter; any case,
// surrounding blanks and quotes ignored; common aliases such as "latin1",
// "utf8", "cp1252", "x-gbk") → encoding. nullopt for a name we do not know.
std::optional<StringEncoding> encodingForIanaName(std::string_view name);
// The preferred IANA name in lower case ("utf-8", "iso-8859-1", "gbk",
// "gb18030", "windows-1252", "us-ascii", ...); nullopt for an unknown number.
std::optional<std::string> ianaNameForEncoding(StringEncoding encoding);

// Bytes in an encoding → UTF-8 text. nullopt when any byte sequence is not
// valid in the encoding (never a partial text) or the encoding is unknown.
std::optional<std::string> decodeText(const Bytes& bytes, StringEncoding encoding);
std::optional<std::string> decodeText(std::string_view bytes, StringEncoding encoding);
// UTF-8 text → bytes in an encoding. nullopt when the text is not valid UTF-8,
// holds a character the encoding cannot represent, or the encoding is unknown.
std::optional<Bytes> encodeText(std::string_view text, StringEncoding encoding);
// The same, as a byte string (convenient for building bodies).
std::optional<std::string> encodeTextToString(std::string_view text, StringEncoding encoding);

// ASCII with loss: every character outside ASCII becomes one "?", invalid
// UTF-8 bytes included.
std::string lossyAscii(std::string_view text);

} // namespace platform
