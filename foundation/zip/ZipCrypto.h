#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace foundation {

// The zip format's traditional password encryption (APPNOTE section 6.1).
// The system's minizip is built without it, so the archiver encrypts and
// decrypts entries itself around minizip's raw entry access.
class ZipCrypto final {
public:
    static constexpr std::size_t kHeaderSize = 12;

    explicit ZipCrypto(std::string_view password);

    void decrypt(unsigned char* data, std::size_t size);
    void encrypt(unsigned char* data, std::size_t size);

    // Fills the 12-byte header that starts an encrypted entry: random bytes and
    // a last byte a reader checks the password against (the high byte of the
    // entry's CRC), then encrypts it.
    void makeHeader(unsigned char header[kHeaderSize], std::uint32_t crc);
    // Decrypts a header and checks its last byte against the expected one.
    bool checkHeader(unsigned char header[kHeaderSize], unsigned char expected);

private:
    void updateKeys(unsigned char plain);
    unsigned char streamByte() const;

    std::uint32_t keys_[3];
};

} // namespace foundation
