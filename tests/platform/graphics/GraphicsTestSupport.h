#pragma once

// Helpers shared by the graphics tests: a temporary folder, running the real
// tools of the machine, and reading pixels in points.

#include "platform/graphics/Image.h"
#include "platform/os/FileUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace graphics_test {

class TempDir {
public:
    TempDir()
    {
        std::string pattern = "/tmp/orb-graphics-XXXXXX";
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempDir()
    {
        if (!path_.empty())
            platform::FileUtil::remove(path_);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return platform::FileUtil::joinPath(path_, name); }

private:
    std::string path_;
};

struct ToolResult {
    int status = -1;
    std::string output;
};

// Runs a shell command and collects its standard output.
inline ToolResult runTool(const std::string& command)
{
    ToolResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    std::array<char, 4096> buffer;
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
        result.output.append(buffer.data(), n);
    result.status = ::pclose(pipe);
    return result;
}

inline bool haveTool(const std::string& name) { return runTool("command -v " + name + " >/dev/null 2>&1").status == 0; }

// The straight RGBA of the pixel under a point of an image (scale applied).
inline std::array<std::uint8_t, 4> pixelAtPoint(const platform::Image& image, double x, double y)
{
    return image.pixelAt(static_cast<int>(x * image.scale()), static_cast<int>(y * image.scale()));
}

inline bool isNear(std::array<std::uint8_t, 4> actual, std::array<std::uint8_t, 4> expected, int tolerance)
{
    for (int i = 0; i < 4; ++i) {
        if (std::abs(static_cast<int>(actual[i]) - static_cast<int>(expected[i])) > tolerance)
            return false;
    }
    return true;
}

inline std::string describe(std::array<std::uint8_t, 4> p)
{
    return "(" + std::to_string(p[0]) + ", " + std::to_string(p[1]) + ", " + std::to_string(p[2]) + ", "
        + std::to_string(p[3]) + ")";
}

} // namespace graphics_test
