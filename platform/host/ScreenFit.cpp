#include "platform/host/ScreenFit.h"

#include <algorithm>
#include <cmath>

namespace platform::host {

namespace {

    bool usable(double v) { return std::isfinite(v) && v > 0; }

} // namespace

Size initialWindowSize(double imageWidth, double imageHeight, double displayHeight, bool actualSize)
{
    if (!usable(imageWidth) || !usable(imageHeight))
        return Size(0, 0);
    if (actualSize || !usable(displayHeight) || imageHeight <= displayHeight)
        return Size(imageWidth, imageHeight);
    double factor = displayHeight / imageHeight;
    return Size(std::max(1.0, std::floor(imageWidth * factor)), std::max(1.0, std::floor(displayHeight)));
}

Viewport fitViewport(double imageWidth, double imageHeight, double windowWidth, double windowHeight)
{
    if (!usable(imageWidth) || !usable(imageHeight) || !usable(windowWidth) || !usable(windowHeight))
        return {};
    double factor = std::min(windowWidth / imageWidth, windowHeight / imageHeight);
    Viewport v;
    v.width = imageWidth * factor;
    v.height = imageHeight * factor;
    v.x = (windowWidth - v.width) / 2;
    v.y = (windowHeight - v.height) / 2;
    return v;
}

std::optional<Point> windowToScreen(const Viewport& viewport, Size screenPoints, Point windowPosition, bool clamp)
{
    if (!usable(viewport.width) || !usable(viewport.height) || !std::isfinite(windowPosition.x)
        || !std::isfinite(windowPosition.y))
        return std::nullopt;
    double u = (windowPosition.x - viewport.x) / viewport.width;
    double v = (windowPosition.y - viewport.y) / viewport.height;
    if (u < 0 || u > 1 || v < 0 || v > 1) {
        if (!clamp)
            return std::nullopt;
        u = std::clamp(u, 0.0, 1.0);
        v = std::clamp(v, 0.0, 1.0);
    }
    return Point(u * screenPoints.width, v * screenPoints.height);
}

} // namespace platform::host
