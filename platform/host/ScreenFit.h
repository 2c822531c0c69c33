#pragma once

#include "platform/graphics/Geometry.h"

#include <optional>

namespace platform::host {

// Where the phone's screen image sits inside the desktop window, in the
// window's own units (pixels for drawing, window coordinates for the mouse).
struct Viewport {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const Viewport&) const = default;
};

// The window's first size for a screen image of imageWidth × imageHeight
// pixels: the image's own size when actualSize is asked or when it fits the
// display's usable height, else scaled down to that height (aspect kept).
// A display height that is unknown (0 or less) keeps the image's size.
Size initialWindowSize(double imageWidth, double imageHeight, double displayHeight, bool actualSize);

// The largest rectangle of the image's aspect that fits the window, centred
// (a resized window letterboxes the phone instead of stretching it). An empty
// window or image gives an empty viewport.
Viewport fitViewport(double imageWidth, double imageHeight, double windowWidth, double windowHeight);

// A window position to screen points. Outside the viewport it is nullopt,
// unless clamp is asked (a finger already down stays on the glass at its edge).
std::optional<Point> windowToScreen(const Viewport& viewport, Size screenPoints, Point windowPosition, bool clamp);

} // namespace platform::host
