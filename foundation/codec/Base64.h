#pragma once

#include "platform/os/Value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {

// Base64 in the standard alphabet (always padded) and in the URL-safe alphabet
// (padding chosen by the caller). Every method answers nothing on failure;
// encoding empty input is a failure too, so callers never get an empty result.
class Base64 final {
public:
    static constexpr const char* kStandardCharset = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    static constexpr const char* kWebSafeCharset = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

    // Standard alphabet, always padded; decoding requires the padding.
    static std::optional<platform::Bytes> encodeData(const platform::Bytes& data);
    static std::optional<platform::Bytes> encodeBytes(const void* bytes, std::size_t length);
    static std::optional<std::string> stringByEncodingData(const platform::Bytes& data);
    static std::optional<std::string> stringByEncodingBytes(const void* bytes, std::size_t length);
    static std::optional<platform::Bytes> decodeData(const platform::Bytes& data);
    static std::optional<platform::Bytes> decodeBytes(const void* bytes, std::size_t length);
    static std::optional<platform::Bytes> decodeString(std::string_view string);

    // URL-safe alphabet; decoding accepts text with or without padding.
    static std::optional<platform::Bytes> webSafeEncodeData(const platform::Bytes& data, bool padded);
    static std::optional<platform::Bytes> webSafeEncodeBytes(const void* bytes, std::size_t length, bool padded);
    static std::optional<std::string> stringByWebSafeEncodingData(const platform::Bytes& data, bool padded);
    static std::optional<std::string> stringByWebSafeEncodingBytes(const void* bytes, std::size_t length, bool padded);
    static std::optional<platform::Bytes> webSafeDecodeData(const platform::Bytes& data);
    static std::optional<platform::Bytes> webSafeDecodeBytes(const void* bytes, std::size_t length);
    static std::optional<platform::Bytes> webSafeDecodeString(std::string_view string);

    // Buffer-level cores over any 64-character alphabet.
    static std::optional<platform::Bytes> baseEncode(
        const void* bytes, std::size_t length, const char* charset, bool padded);
    static std::optional<platform::Bytes> baseDecode(
        const void* bytes, std::size_t length, const char* charset, bool requirePadding);

    // Raw cores: the number of bytes written to destBytes, 0 on failure. Both
    // refuse a destination smaller than the worst case for the input.
    static std::size_t baseEncode(const char* srcBytes, std::size_t srcLen, char* destBytes, std::size_t destLen,
        const char* charset, bool padded);
    static std::size_t baseDecode(const char* srcBytes, std::size_t srcLen, char* destBytes, std::size_t destLen,
        const char* charset, bool requirePadding);

    // Output sizes the encoder and decoder need for an input of the given length.
    static std::size_t calcEncodedLength(std::size_t srcLen, bool padded);
    static std::size_t guessDecodedLength(std::size_t srcLen);
};

} // namespace foundation
