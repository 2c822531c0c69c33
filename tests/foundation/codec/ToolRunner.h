#pragma once

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace codectest {

// Runs a shell command with the given bytes as its standard input and returns
// what it printed; the input goes through a file so that no pipe can block.
inline std::string runTool(const std::string& command, const std::string& input, int* status = nullptr)
{
    char pattern[] = "/tmp/orb-codec-XXXXXX";
    const int fd = mkstemp(pattern);
    if (fd < 0)
        return {};
    close(fd);
    {
        std::ofstream file(pattern, std::ios::binary);
        file.write(input.data(), static_cast<std::streamsize>(input.size()));
    }
    const std::string line = command + " < '" + pattern + "'";
    std::string output;
    FILE* pipe = popen(line.c_str(), "r");
    if (pipe) {
        std::array<char, 4096> buffer;
        std::size_t n;
        while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            output.append(buffer.data(), n);
        const int rc = pclose(pipe);
        if (status)
            *status = rc;
    }
    std::filesystem::remove(pattern);
    return output;
}

inline std::string trimNewline(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

} // namespace codectest
