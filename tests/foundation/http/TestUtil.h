#pragma once

#include "platform/os/Value.h"
#include "tests/support/ProcessUtil.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <unistd.h>

namespace http_test {

using testsupport::TempDir;

inline void writeFile(const std::string& path, const platform::Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline platform::Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return platform::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool fileExists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Runs a shell command and answers its standard output and exit status.
inline std::string runCommand(const std::string& command, int* status = nullptr)
{
    auto result = testsupport::runCommand(command);
    if (status)
        *status = result.status;
    return result.output;
}

// Text-like bytes that compress moderately, from a fixed seed.
inline platform::Bytes sampleBytes(std::size_t size, unsigned seed = 7)
{
    std::mt19937 random(seed);
    static const char words[][8] = { "class", "notice", "student", "teacher", "{\"id\":", "},", "家长", "\n" };
    platform::Bytes out;
    out.reserve(size + 16);
    while (out.size() < size) {
        const char* w = words[random() % 8];
        out.insert(out.end(), w, w + std::char_traits<char>::length(w));
        out.push_back(static_cast<std::uint8_t>('0' + random() % 10));
    }
    out.resize(size);
    return out;
}

inline platform::Bytes toBytes(const std::string& s) { return platform::Bytes(s.begin(), s.end()); }
inline std::string toString(const platform::Bytes& b) { return std::string(b.begin(), b.end()); }

} // namespace http_test
