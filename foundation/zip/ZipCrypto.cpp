#include "foundation/zip/ZipCrypto.h"

#include <random>
#include <zlib.h>

namespace foundation {

namespace {

    std::uint32_t crcStep(std::uint32_t crc, unsigned char byte)
    {
        static const z_crc_t* table = get_crc_table();
        return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    }

} // namespace

ZipCrypto::ZipCrypto(std::string_view password)
    : keys_ { 0x12345678u, 0x23456789u, 0x34567890u }
{
    for (char ch : password)
        updateKeys(static_cast<unsigned char>(ch));
}

void ZipCrypto::updateKeys(unsigned char plain)
{
    keys_[0] = crcStep(keys_[0], plain);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = crcStep(keys_[2], static_cast<unsigned char>(keys_[1] >> 24));
}

unsigned char ZipCrypto::streamByte() const
{
    const std::uint32_t temp = (keys_[2] | 2) & 0xFFFF;
    return static_cast<unsigned char>((temp * (temp ^ 1)) >> 8);
}

void ZipCrypto::decrypt(unsigned char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        data[i] = static_cast<unsigned char>(data[i] ^ streamByte());
        updateKeys(data[i]);
    }
}

void ZipCrypto::encrypt(unsigned char* data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char plain = data[i];
        data[i] = static_cast<unsigned char>(plain ^ streamByte());
        updateKeys(plain);
    }
}

void ZipCrypto::makeHeader(unsigned char header[kHeaderSize], std::uint32_t crc)
{
    std::random_device random;
    for (std::size_t i = 0; i + 1 < kHeaderSize; ++i)
        header[i] = static_cast<unsigned char>(random() & 0xFF);
    header[kHeaderSize - 1] = static_cast<unsigned char>(crc >> 24);
    encrypt(header, kHeaderSize);
}

bool ZipCrypto::checkHeader(unsigned char header[kHeaderSize], unsigned char expected)
{
    decrypt(header, kHeaderSize);
    return header[kHeaderSize - 1] == expected;
}

} // namespace foundation
