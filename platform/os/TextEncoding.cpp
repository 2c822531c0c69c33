#include "platform/os/TextEncoding.h"

#include "platform/os/StringUtil.h"

#include <cerrno>
#include <iconv.h>

namespace platform {

namespace {

    struct EncodingInfo {
        StringEncoding encoding;
        const char* preferredName;
        // glibc iconv names; null where our own code converts. Servers that say
        // "gb2312" often send GBK, so GB 2312 is read as GBK (its superset) and
        // written strictly as EUC-CN.
        const char* iconvDecode;
        const char* iconvEncode;
    };

    constexpr EncodingInfo kEncodings[] = {
        { kASCIIStringEncoding, "us-ascii", nullptr, nullptr },
        { kUTF8StringEncoding, "utf-8", nullptr, nullptr },
        { kISOLatin1StringEncoding, "iso-8859-1", nullptr, nullptr },
        { kShiftJISStringEncoding, "shift_jis", "SHIFT_JIS", "SHIFT_JIS" },
        { kISOLatin2StringEncoding, "iso-8859-2", "ISO-8859-2", "ISO-8859-2" },
        { kUTF16StringEncoding, "utf-16", nullptr, nullptr },
        { kWindowsCP1251StringEncoding, "windows-1251", "CP1251", "CP1251" },
        { kWindowsCP1252StringEncoding, "windows-1252", "CP1252", "CP1252" },
        { kWindowsCP1250StringEncoding, "windows-1250", "CP1250", "CP1250" },
        { kUTF16BigEndianStringEncoding, "utf-16be", nullptr, nullptr },
        { kUTF16LittleEndianStringEncoding, "utf-16le", nullptr, nullptr },
        { kGBKStringEncoding, "gbk", "GBK", "GBK" },
        { kGB18030StringEncoding, "gb18030", "GB18030", "GB18030" },
        { kGB2312StringEncoding, "gb2312", "GBK", "EUC-CN" },
        { kBig5StringEncoding, "big5", "BIG5", "BIG5" },
    };

    struct Alias {
        const char* name;
        StringEncoding encoding;
    };

    constexpr Alias kAliases[] = {
        { "us-ascii", kASCIIStringEncoding },
        { "ascii", kASCIIStringEncoding },
        { "ansi_x3.4-1968", kASCIIStringEncoding },
        { "iso646-us", kASCIIStringEncoding },
        { "csascii", kASCIIStringEncoding },
        { "utf-8", kUTF8StringEncoding },
        { "utf8", kUTF8StringEncoding },
        { "unicode-1-1-utf-8", kUTF8StringEncoding },
        { "iso-8859-1", kISOLatin1StringEncoding },
        { "iso8859-1", kISOLatin1StringEncoding },
        { "iso_8859-1", kISOLatin1StringEncoding },
        { "iso_8859-1:1987", kISOLatin1StringEncoding },
        { "latin1", kISOLatin1StringEncoding },
        { "l1", kISOLatin1StringEncoding },
        { "cp819", kISOLatin1StringEncoding },
        { "ibm819", kISOLatin1StringEncoding },
        { "iso-ir-100", kISOLatin1StringEncoding },
        { "csisolatin1", kISOLatin1StringEncoding },
        { "shift_jis", kShiftJISStringEncoding },
        { "shift-jis", kShiftJISStringEncoding },
        { "sjis", kShiftJISStringEncoding },
        { "x-sjis", kShiftJISStringEncoding },
        { "ms_kanji", kShiftJISStringEncoding },
        { "csshiftjis", kShiftJISStringEncoding },
        { "iso-8859-2", kISOLatin2StringEncoding },
        { "iso8859-2", kISOLatin2StringEncoding },
        { "iso_8859-2", kISOLatin2StringEncoding },
        { "latin2", kISOLatin2StringEncoding },
        { "l2", kISOLatin2StringEncoding },
        { "utf-16", kUTF16StringEncoding },
        { "utf16", kUTF16StringEncoding },
        { "utf-16be", kUTF16BigEndianStringEncoding },
        { "utf-16le", kUTF16LittleEndianStringEncoding },
        { "windows-1251", kWindowsCP1251StringEncoding },
        { "cp1251", kWindowsCP1251StringEncoding },
        { "x-cp1251", kWindowsCP1251StringEncoding },
        { "windows-1252", kWindowsCP1252StringEncoding },
        { "cp1252", kWindowsCP1252StringEncoding },
        { "x-cp1252", kWindowsCP1252StringEncoding },
        { "windows-1250", kWindowsCP1250StringEncoding },
        { "cp1250", kWindowsCP1250StringEncoding },
        { "x-cp1250", kWindowsCP1250StringEncoding },
        { "gbk", kGBKStringEncoding },
        { "x-gbk", kGBKStringEncoding },
        { "cp936", kGBKStringEncoding },
        { "ms936", kGBKStringEncoding },
        { "windows-936", kGBKStringEncoding },
        { "gb18030", kGB18030StringEncoding },
        { "gb2312", kGB2312StringEncoding },
        { "gb_2312-80", kGB2312StringEncoding },
        { "csgb2312", kGB2312StringEncoding },
        { "euc-cn", kGB2312StringEncoding },
        { "x-euc-cn", kGB2312StringEncoding },
        { "chinese", kGB2312StringEncoding },
        { "big5", kBig5StringEncoding },
        { "csbig5", kBig5StringEncoding },
        { "cn-big5", kBig5StringEncoding },
        { "x-x-big5", kBig5StringEncoding },
    };

    const EncodingInfo* infoFor(StringEncoding encoding)
    {
        for (const EncodingInfo& info : kEncodings) {
            if (info.encoding == encoding)
                return &info;
        }
        return nullptr;
    }

    // Converts the whole input or nothing: an invalid or incomplete sequence, a
    // character the target cannot hold, or an irreversible substitution fails.
    std::optional<std::string> convertWithIconv(const char* from, const char* to, std::string_view input)
    {
        iconv_t cd = iconv_open(to, from);
        if (cd == reinterpret_cast<iconv_t>(-1))
            return std::nullopt;
        std::string out;
        out.resize(input.size() * 2 + 16);
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        std::size_t used = 0;
        bool ok = true;
        bool flushing = false;
        while (true) {
            char* outPtr = out.data() + used;
            std::size_t outLeft = out.size() - used;
            std::size_t result = flushing ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                                          : iconv(cd, &in, &inLeft, &outPtr, &outLeft);
            used = out.size() - outLeft;
            if (result == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG) {
                    out.resize(out.size() * 2);
                    continue;
                }
                ok = false; // EILSEQ or EINVAL
                break;
            }
            if (result > 0) {
                ok = false; // a lossy substitution was made
                break;
            }
            if (flushing)
                break;
            flushing = true; // write any closing shift sequence
        }
        iconv_close(cd);
        if (!ok)
            return std::nullopt;
        out.resize(used);
        return out;
    }

    std::optional<std::string> decodeUtf16(std::string_view bytes, bool bigEndian, bool honourMark)
    {
        if (bytes.size() % 2)
            return std::nullopt;
        std::size_t start = 0;
        if (honourMark && bytes.size() >= 2) {
            auto b0 = static_cast<unsigned char>(bytes[0]), b1 = static_cast<unsigned char>(bytes[1]);
            if (b0 == 0xFE && b1 == 0xFF) {
                bigEndian = true;
                start = 2;
            } else if (b0 == 0xFF && b1 == 0xFE) {
                bigEndian = false;
                start = 2;
            }
        }
        std::u16string units;
        units.reserve((bytes.size() - start) / 2);
        for (std::size_t i = start; i + 1 < bytes.size(); i += 2) {
            auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
            auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
            units += static_cast<char16_t>((hi << 8) | lo);
        }
        return fromUtf16(units);
    }

    std::string encodeUtf16(const std::u16string& units, bool bigEndian, bool withMark)
    {
        std::string out;
        out.reserve(units.size() * 2 + 2);
        auto put = [&](char16_t u) {
            char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
            out += bigEndian ? hi : lo;
            out += bigEndian ? lo : hi;
        };
        if (withMark)
            put(0xFEFF);
        for (char16_t u : units)
            put(u);
        return out;
    }

    std::string_view trimName(std::string_view name)
    {
        auto isTrimmed = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
        while (!name.empty() && isTrimmed(name.front()))
            name.remove_prefix(1);
        while (!name.empty() && isTrimmed(name.back()))
            name.remove_suffix(1);
        return name;
    }

} // namespace

bool isSupportedEncoding(StringEncoding encoding) { return infoFor(encoding) != nullptr; }

std::optional<StringEncoding> encodingForIanaName(std::string_view name)
{
    std::string lower = asciiToLower(trimName(name));
    for (const Alias& alias : kAliases) {
        if (lower == alias.name)
            return alias.encoding;
    }
    return std::nullopt;
}

std::optional<std::string> ianaNameForEncoding(StringEncoding encoding)
{
    if (const EncodingInfo* info = infoFor(encoding))
        return std::string(info->preferredName);
    return std::nullopt;
}

std::optional<std::string> decodeText(std::string_view bytes, StringEncoding encoding)
{
    const EncodingInfo* info = infoFor(encoding);
    if (!info)
        return std::nullopt;
    switch (encoding) {
    case kASCIIStringEncoding:
        for (char c : bytes) {
            if (static_cast<unsigned char>(c) > 0x7F)
                return std::nullopt;
        }
        return std::string(bytes);
    case kUTF8StringEncoding:
        if (!isValidUtf8(bytes))
            return std::nullopt;
        return std::string(bytes);
    case kISOLatin1StringEncoding: {
        std::string out;
        out.reserve(bytes.size());
        for (char c : bytes) {
            auto b = static_cast<unsigned char>(c);
            if (b < 0x80) {
                out += c;
            } else {
                out += static_cast<char>(0xC0 | (b >> 6));
                out += static_cast<char>(0x80 | (b & 0x3F));
            }
        }
        return out;
    }
    case kUTF16StringEncoding:
        return decodeUtf16(bytes, true, true);
    case kUTF16BigEndianStringEncoding:
        return decodeUtf16(bytes, true, false);
    case kUTF16LittleEndianStringEncoding:
        return decodeUtf16(bytes, false, false);
    default:
        break;
    }
    std::optional<std::string> text = convertWithIconv(info->iconvDecode, "UTF-8", bytes);
    // iconv's own output is UTF-8, but make sure nothing odd slips through to callers.
    if (text && !isValidUtf8(*text))
        return std::nullopt;
    return text;
}

std::optional<std::string> decodeText(const Bytes& bytes, StringEncoding encoding)
{
    return decodeText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), encoding);
}

std::optional<std::string> encodeTextToString(std::string_view text, StringEncoding encoding)
{
    const EncodingInfo* info = infoFor(encoding);
    if (!info || !isValidUtf8(text))
        return std::nullopt;
    switch (encoding) {
    case kASCIIStringEncoding:
        for (char c : text) {
            if (static_cast<unsigned char>(c) > 0x7F)
                return std::nullopt;
        }
        return std::string(text);
    case kUTF8StringEncoding:
        return std::string(text);
    case kISOLatin1StringEncoding: {
        std::string out;
        out.reserve(text.size());
        for (char32_t cp : codePoints(text)) {
            if (cp > 0xFF)
                return std::nullopt;
            out += static_cast<char>(cp);
        }
        return out;
    }
    case kUTF16StringEncoding:
    case kUTF16BigEndianStringEncoding:
    case kUTF16LittleEndianStringEncoding: {
        std::optional<std::u16string> units = toUtf16(text);
        if (!units)
            return std::nullopt;
        if (encoding == kUTF16StringEncoding)
            return encodeUtf16(*units, false, true);
        return encodeUtf16(*units, encoding == kUTF16BigEndianStringEncoding, false);
    }
    default:
        break;
    }
    return convertWithIconv("UTF-8", info->iconvEncode, text);
}

std::optional<Bytes> encodeText(std::string_view text, StringEncoding encoding)
{
    std::optional<std::string> bytes = encodeTextToString(text, encoding);
    if (!bytes)
        return std::nullopt;
    return Bytes(bytes->begin(), bytes->end());
}

std::string lossyAscii(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char32_t cp : codePoints(text))
        out += cp < 0x80 ? static_cast<char>(cp) : '?';
    return out;
}

} // namespace platform
