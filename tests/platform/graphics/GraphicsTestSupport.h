#pragma once

// Helpers shared by the graphics tests: reading pixels in points (the
// temporary folder and the tool runner come from tests/support).

#include "platform/graphics/Image.h"
#include "platform/os/FileUtil.h"

#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace graphics_test {

using testsupport::haveTool;
using testsupport::runCommand;
using testsupport::TempDir;

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
