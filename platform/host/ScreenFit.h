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

// How the window shows the phone's screen: upright, or turned a quarter one
// way or the other while the interface is in landscape (the phone held on its
// side). The turn names the direction the screen's picture is turned to be shown.
enum class ScreenTurn { Upright, CounterClockwise, Clockwise };

// The turn that shows an interface in this orientation (a UIInterfaceOrientation
// value) upright. A landscape-right screen is drawn turned a quarter clockwise
// into the phone's portrait screen, so the window turns it back counter-
// clockwise; landscape left the other way round. Portrait, upside down and
// anything else: upright.
ScreenTurn screenTurnFor(long interfaceOrientation);
inline bool isSideways(ScreenTurn turn) { return turn != ScreenTurn::Upright; }
// The picture's size as shown (width and height swapped when sideways).
Size turnedSize(Size size, ScreenTurn turn);

// The window's size when its picture turns between upright and sideways: the
// sides swapped, so the phone is shown at the same scale, then scaled down
// (aspect kept) where that does not fit a known display (sizes of 0 or less
// are unknown).
Size swappedWindowSize(Size window, double displayWidth, double displayHeight);

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
// The viewport is where the picture is shown, turned as `turn` says; the
// point is turned back onto the phone's screen.
std::optional<Point> windowToScreen(const Viewport& viewport, Size screenPoints, Point windowPosition, bool clamp,
    ScreenTurn turn = ScreenTurn::Upright);
// The other way: where a point of the phone's screen is shown in the window.
Point screenToWindow(
    const Viewport& viewport, Size screenPoints, Point screenPoint, ScreenTurn turn = ScreenTurn::Upright);
// A direction in the window (a wheel's, a drag's) as the same direction on
// the phone's screen under the turn.
Point windowDirectionToScreen(Point direction, ScreenTurn turn);

} // namespace platform::host
