#pragma once

#include "platform/os/Value.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace platform {

using Md5Digest = std::array<std::uint8_t, 16>;

enum class HexCase { Lower, Upper };

// MD5 (RFC 1321). Used for cache file names and request signatures, never for
// secrecy. Feed data with update() and take the digest once with finish(), or
// use the one-shot helpers.
class Md5 final {
public:
    Md5();
    ~Md5();
    Md5(const Md5&) = delete;
    Md5& operator=(const Md5&) = delete;

    void update(const void* data, std::size_t size);
    void update(std::string_view text) { update(text.data(), text.size()); }
    void update(const Bytes& bytes) { update(bytes.data(), bytes.size()); }
    // The digest of everything fed so far; the object starts over afterwards.
    Md5Digest finish();

    static Md5Digest digest(const void* data, std::size_t size);
    static Md5Digest digest(const Bytes& bytes) { return digest(bytes.data(), bytes.size()); }
    static Md5Digest digest(std::string_view text) { return digest(text.data(), text.size()); }

    // 32 hex digits.
    static std::string hex(const Bytes& bytes, HexCase letters = HexCase::Lower);
    static std::string hex(std::string_view text, HexCase letters = HexCase::Lower);
    static std::string toHex(const Md5Digest& digest, HexCase letters = HexCase::Lower);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
