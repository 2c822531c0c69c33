#include "tests/platform/crypto/CryptoTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sys/wait.h>

namespace cryptotest {

void writeFile(const std::string& path, const platform::Bytes& bytes)
{
    testsupport::writeTextFile(path, std::string(bytes.begin(), bytes.end()));
}

platform::Bytes readFile(const std::string& path)
{
    std::string text = testsupport::readTextFile(path);
    return platform::Bytes(text.begin(), text.end());
}

std::string hexOf(const platform::Bytes& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (auto b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0f]);
    }
    return out;
}

platform::Bytes randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    platform::Bytes out(size);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(byte(gen));
    return out;
}

} // namespace cryptotest
