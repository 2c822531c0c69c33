#include "foundation/codec/Base64.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace foundation {

namespace {

    constexpr char kPad = '=';
    constexpr std::uint8_t kInvalid = 0xFF;

    using DecodeTable = std::array<std::uint8_t, 256>;

    DecodeTable makeDecodeTable(const char* charset)
    {
        DecodeTable table;
        table.fill(kInvalid);
        for (std::uint8_t value = 0; value < 64; ++value)
            table[static_cast<unsigned char>(charset[value])] = value;
        return table;
    }

    const DecodeTable& decodeTableFor(const char* charset, DecodeTable& scratch)
    {
        static const DecodeTable standard = makeDecodeTable(Base64::kStandardCharset);
        static const DecodeTable webSafe = makeDecodeTable(Base64::kWebSafeCharset);
        if (!std::strncmp(charset, Base64::kStandardCharset, 64))
            return standard;
        if (!std::strncmp(charset, Base64::kWebSafeCharset, 64))
            return webSafe;
        scratch = makeDecodeTable(charset);
        return scratch;
    }

    // Line breaks and blanks may stand anywhere in encoded text, including the
    // Latin-1 no-break space (160) and 255 that some mail programs leave behind.
    bool isSpace(unsigned char ch) { return (ch >= 9 && ch <= 13) || ch == 32 || ch == 160 || ch == 255; }

    bool isAscii(std::string_view text)
    {
        for (unsigned char ch : text) {
            if (ch > 127)
                return false;
        }
        return true;
    }

    std::optional<std::string> toString(std::optional<platform::Bytes> bytes)
    {
        if (!bytes)
            return std::nullopt;
        return std::string(bytes->begin(), bytes->end());
    }

} // namespace

std::size_t Base64::calcEncodedLength(std::size_t srcLen, bool padded)
{
    std::size_t length = (srcLen * 8 + 5) / 6;
    if (padded)
        length = (length + 3) / 4 * 4;
    return length;
}

std::size_t Base64::guessDecodedLength(std::size_t srcLen) { return (srcLen + 3) / 4 * 3; }

std::size_t Base64::baseEncode(
    const char* srcBytes, std::size_t srcLen, char* destBytes, std::size_t destLen, const char* charset, bool padded)
{
    if (!srcLen || !srcBytes || !destBytes || !charset)
        return 0;
    if (destLen < calcEncodedLength(srcLen, padded))
        return 0;

    const auto* src = reinterpret_cast<const unsigned char*>(srcBytes);
    char* out = destBytes;
    std::size_t i = 0;
    for (; i + 3 <= srcLen; i += 3) {
        std::uint32_t group = (src[i] << 16) | (src[i + 1] << 8) | src[i + 2];
        *out++ = charset[(group >> 18) & 0x3F];
        *out++ = charset[(group >> 12) & 0x3F];
        *out++ = charset[(group >> 6) & 0x3F];
        *out++ = charset[group & 0x3F];
    }
    const std::size_t rest = srcLen - i;
    if (rest == 1) {
        std::uint32_t group = src[i] << 16;
        *out++ = charset[(group >> 18) & 0x3F];
        *out++ = charset[(group >> 12) & 0x3F];
        if (padded) {
            *out++ = kPad;
            *out++ = kPad;
        }
    } else if (rest == 2) {
        std::uint32_t group = (src[i] << 16) | (src[i + 1] << 8);
        *out++ = charset[(group >> 18) & 0x3F];
        *out++ = charset[(group >> 12) & 0x3F];
        *out++ = charset[(group >> 6) & 0x3F];
        if (padded)
            *out++ = kPad;
    }
    return static_cast<std::size_t>(out - destBytes);
}

std::size_t Base64::baseDecode(const char* srcBytes, std::size_t srcLen, char* destBytes, std::size_t destLen,
    const char* charset, bool requirePadding)
{
    if (!srcLen || !srcBytes || !destBytes || !charset)
        return 0;
    DecodeTable scratch;
    const DecodeTable& table = decodeTableFor(charset, scratch);
    const auto* src = reinterpret_cast<const unsigned char*>(srcBytes);

    std::uint32_t accumulator = 0;
    int pendingBits = 0;
    int groupCount = 0; // characters read of the current 4-character group
    std::size_t written = 0;
    std::size_t i = 0;
    bool sawPadding = false;
    for (; i < srcLen; ++i) {
        const unsigned char ch = src[i];
        if (!ch)
            break;
        if (isSpace(ch))
            continue;
        if (ch == kPad) {
            sawPadding = true;
            ++i;
            break;
        }
        const std::uint8_t value = table[ch];
        if (value == kInvalid)
            return 0;
        accumulator = (accumulator << 6) | value;
        pendingBits += 6;
        groupCount = (groupCount + 1) % 4;
        if (pendingBits >= 8) {
            pendingBits -= 8;
            if (written >= destLen)
                return 0;
            destBytes[written++] = static_cast<char>((accumulator >> pendingBits) & 0xFF);
        }
    }

    if (sawPadding) {
        // A group can only be padded after two or three characters; after two
        // the second pad character must follow.
        if (groupCount < 2)
            return 0;
        if (groupCount == 2) {
            bool found = false;
            for (; i < srcLen && src[i]; ++i) {
                if (isSpace(src[i]))
                    continue;
                if (src[i] != kPad)
                    return 0;
                found = true;
                ++i;
                break;
            }
            if (!found)
                return 0;
        }
        for (; i < srcLen && src[i]; ++i) {
            if (!isSpace(src[i]))
                return 0;
        }
    } else if (requirePadding ? groupCount != 0 : groupCount == 1) {
        return 0;
    }

    // The bits that did not make a whole byte must be zero, or the text was
    // not produced by an encoder.
    if (accumulator & ((1u << pendingBits) - 1))
        return 0;
    return written;
}

std::optional<platform::Bytes> Base64::baseEncode(
    const void* bytes, std::size_t length, const char* charset, bool padded)
{
    platform::Bytes out(calcEncodedLength(length, padded));
    const std::size_t written = baseEncode(
        static_cast<const char*>(bytes), length, reinterpret_cast<char*>(out.data()), out.size(), charset, padded);
    if (!written)
        return std::nullopt;
    out.resize(written);
    return out;
}

std::optional<platform::Bytes> Base64::baseDecode(
    const void* bytes, std::size_t length, const char* charset, bool requirePadding)
{
    platform::Bytes out(guessDecodedLength(length));
    const std::size_t written = baseDecode(static_cast<const char*>(bytes), length, reinterpret_cast<char*>(out.data()),
        out.size(), charset, requirePadding);
    if (!written)
        return std::nullopt;
    out.resize(written);
    return out;
}

std::optional<platform::Bytes> Base64::encodeData(const platform::Bytes& data)
{
    return baseEncode(data.data(), data.size(), kStandardCharset, true);
}

std::optional<platform::Bytes> Base64::encodeBytes(const void* bytes, std::size_t length)
{
    return baseEncode(bytes, length, kStandardCharset, true);
}

std::optional<std::string> Base64::stringByEncodingData(const platform::Bytes& data)
{
    return toString(encodeData(data));
}

std::optional<std::string> Base64::stringByEncodingBytes(const void* bytes, std::size_t length)
{
    return toString(encodeBytes(bytes, length));
}

std::optional<platform::Bytes> Base64::decodeData(const platform::Bytes& data)
{
    return baseDecode(data.data(), data.size(), kStandardCharset, true);
}

std::optional<platform::Bytes> Base64::decodeBytes(const void* bytes, std::size_t length)
{
    return baseDecode(bytes, length, kStandardCharset, true);
}

std::optional<platform::Bytes> Base64::decodeString(std::string_view string)
{
    if (!isAscii(string))
        return std::nullopt;
    return baseDecode(string.data(), string.size(), kStandardCharset, true);
}

std::optional<platform::Bytes> Base64::webSafeEncodeData(const platform::Bytes& data, bool padded)
{
    return baseEncode(data.data(), data.size(), kWebSafeCharset, padded);
}

std::optional<platform::Bytes> Base64::webSafeEncodeBytes(const void* bytes, std::size_t length, bool padded)
{
    return baseEncode(bytes, length, kWebSafeCharset, padded);
}

std::optional<std::string> Base64::stringByWebSafeEncodingData(const platform::Bytes& data, bool padded)
{
    return toString(webSafeEncodeData(data, padded));
}

std::optional<std::string> Base64::stringByWebSafeEncodingBytes(const void* bytes, std::size_t length, bool padded)
{
    return toString(webSafeEncodeBytes(bytes, length, padded));
}

std::optional<platform::Bytes> Base64::webSafeDecodeData(const platform::Bytes& data)
{
    return baseDecode(data.data(), data.size(), kWebSafeCharset, false);
}

std::optional<platform::Bytes> Base64::webSafeDecodeBytes(const void* bytes, std::size_t length)
{
    return baseDecode(bytes, length, kWebSafeCharset, false);
}

std::optional<platform::Bytes> Base64::webSafeDecodeString(std::string_view string)
{
    if (!isAscii(string))
        return std::nullopt;
    return baseDecode(string.data(), string.size(), kWebSafeCharset, false);
}

} // namespace foundation
