#include "platform/host/ScreenFit.h"

#include <algorithm>
#include <cmath>

namespace platform::host {

namespace {

    bool usable(double v) { return std::isfinite(v) && v > 0; }

    // Screen coordinates in 0 … 1 from shown ones, and back. Shown turned
    // counter-clockwise, the screen's top right corner is the picture's top left.
    Point unturn(double u, double v, ScreenTurn turn)
    {
        switch (turn) {
        case ScreenTurn::CounterClockwise:
            return Point(1 - v, u);
        case ScreenTurn::Clockwise:
            return Point(v, 1 - u);
        case ScreenTurn::Upright:
            break;
        }
        return Point(u, v);
    }

    Point turn(double a, double b, ScreenTurn turn)
    {
        switch (turn) {
        case ScreenTurn::CounterClockwise:
            return Point(b, 1 - a);
        case ScreenTurn::Clockwise:
            return Point(1 - b, a);
        case ScreenTurn::Upright:
            break;
        }
        return Point(a, b);
    }

} // namespace

ScreenTurn screenTurnFor(long interfaceOrientation)
{
    // UIInterfaceOrientation: 3 landscape right, 4 landscape left.
    if (interfaceOrientation == 3)
        return ScreenTurn::CounterClockwise;
    if (interfaceOrientation == 4)
        return ScreenTurn::Clockwise;
    return ScreenTurn::Upright;
}

Size turnedSize(Size size, ScreenTurn turn)
{
    return isSideways(turn) ? Size(size.height, size.width) : size;
}

Size swappedWindowSize(Size window, double displayWidth, double displayHeight)
{
    double width = window.height;
    double height = window.width;
    if (!usable(width) || !usable(height))
        return Size(0, 0);
    double factor = 1;
    if (usable(displayWidth) && width > displayWidth)
        factor = displayWidth / width;
    if (usable(displayHeight) && height * factor > displayHeight)
        factor = displayHeight / height;
    if (factor >= 1)
        return Size(width, height);
    return Size(std::max(1.0, std::floor(width * factor)), std::max(1.0, std::floor(height * factor)));
}

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

std::optional<Point> windowToScreen(
    const Viewport& viewport, Size screenPoints, Point windowPosition, bool clamp, ScreenTurn screenTurn)
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
    auto p = unturn(u, v, screenTurn);
    return Point(p.x * screenPoints.width, p.y * screenPoints.height);
}

Point screenToWindow(const Viewport& viewport, Size screenPoints, Point screenPoint, ScreenTurn screenTurn)
{
    if (!usable(screenPoints.width) || !usable(screenPoints.height))
        return Point(viewport.x, viewport.y);
    auto p = turn(screenPoint.x / screenPoints.width, screenPoint.y / screenPoints.height, screenTurn);
    return Point(viewport.x + p.x * viewport.width, viewport.y + p.y * viewport.height);
}

Point windowDirectionToScreen(Point direction, ScreenTurn screenTurn)
{
    switch (screenTurn) {
    case ScreenTurn::CounterClockwise:
        return Point(-direction.y, direction.x);
    case ScreenTurn::Clockwise:
        return Point(direction.y, -direction.x);
    case ScreenTurn::Upright:
        break;
    }
    return direction;
}

} // namespace platform::host
