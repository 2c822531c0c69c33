// Messaging's pictures: the level meter of the voice-recording overlay, a
// microphone with four levels of sound waves beside it (drawn white, for the
// overlay's dark panel); the chat's bubbles (light on the left for what others
// send, the app's teal on the right for one's own) and the loudspeakers of the
// voice bubbles, still and in the two frames of their playing animation.
#include "tools/imagegen/ImageCatalog.h"

#include <numbers>
#include <string>

using platform::Color;
using platform::Context;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

constexpr double kPi = std::numbers::pi;

const Color kLit = Color::whiteColor();
const Color kDim = Color(1, 1, 1, 0.22);
const Color kAccent = Color::fromRGB255(44, 196, 176);

void drawMicrophone(Context& c, Point centre)
{
    // The capsule, its cradle and the stand.
    c.setFillColor(kLit);
    c.beginPath();
    c.addRoundedRect(Rect(centre.x - 9, centre.y - 26, 18, 34), 9);
    c.fillPath();
    c.setFillColor(kAccent);
    for (int i = 0; i < 3; ++i)
        c.fillRect(Rect(centre.x - 5, centre.y - 17 + i * 6, 10, 2));
    c.setStrokeColor(kLit);
    c.setLineWidth(3);
    c.setLineCap(platform::LineCap::Round);
    c.beginPath();
    c.addArc(Point(centre.x, centre.y - 2), 15, 0, kPi, true);
    c.strokePath();
    c.beginPath();
    c.moveTo(Point(centre.x, centre.y + 13));
    c.lineTo(Point(centre.x, centre.y + 22));
    c.moveTo(Point(centre.x - 9, centre.y + 23));
    c.lineTo(Point(centre.x + 9, centre.y + 23));
    c.strokePath();
}

// Level n lights the n innermost of three waves.
void drawLevel(Context& c, Size s, int level)
{
    Point mic(s.width * 0.38, s.height * 0.5);
    drawMicrophone(c, mic);
    c.setLineWidth(3.5);
    c.setLineCap(platform::LineCap::Round);
    for (int wave = 0; wave < 3; ++wave) {
        c.setStrokeColor(wave < level ? kLit : kDim);
        double radius = 18 + wave * 8;
        c.beginPath();
        c.addArc(Point(mic.x + 4, mic.y - 6), radius, -kPi * 0.22, kPi * 0.22, true);
        c.strokePath();
    }
}

platform::Size kMeterSize(88, 88);

imagegen::ImageEntry meter(int level)
{
    std::string name = "message_sound_level_0" + std::to_string(level);
    return { name, kMeterSize, [level](Context& c, Size s) { drawLevel(c, s, level); } };
}

// ---- Chat bubbles -----------------------------------------------------------------
// A rounded body with a small tail beside the avatar, near the top. The cells
// stretch one column left of the body's right corners and one row under the
// tail, so the tail and the corners keep their shape at any size.
const Size kBubbleSize(44, 40);
constexpr double kTail = 7;
constexpr double kBubbleRadius = 9;
const Color kLeftFill = Color::whiteColor();
const Color kLeftEdge = Color::fromRGB255(214, 219, 225);
const Color kRightFill = Color::fromRGB255(34, 168, 152);
const Color kRightEdge = Color::fromRGB255(27, 146, 132);

void drawBubble(Context& c, Size s, bool mirrored)
{
    // Drawn as a left bubble; the right one is its mirror image.
    if (mirrored) {
        c.translate(s.width, 0);
        c.scaleBy(-1, 1);
    }
    // One outline, body and tail together, so no seam shows between them.
    const double left = kTail + 0.5;
    const double top = 0.5;
    const double right = s.width - 0.5;
    const double bottom = s.height - 0.5;
    const double r = kBubbleRadius;
    c.beginPath();
    c.moveTo(Point(left + r, top));
    c.addArcToPoint(Point(right, top), Point(right, top + r), r);
    c.addArcToPoint(Point(right, bottom), Point(right - r, bottom), r);
    c.addArcToPoint(Point(left, bottom), Point(left, bottom - r), r);
    c.lineTo(Point(left, 21));
    c.lineTo(Point(0.8, 16));
    c.lineTo(Point(left, 11));
    c.addArcToPoint(Point(left, top), Point(left + r, top), r);
    c.closePath();
    c.setFillColor(mirrored ? kRightFill : kLeftFill);
    c.setStrokeColor(mirrored ? kRightEdge : kLeftEdge);
    c.setLineWidth(1);
    c.fillAndStrokePath();
}

// ---- Loudspeakers -------------------------------------------------------------------
// A speaker dot and up to three arcs opening away from the avatar: grey for
// the light bubble, white for the coloured one.
void drawSpeaker(Context& c, Size s, bool right, int arcs)
{
    if (right) {
        c.translate(s.width, 0);
        c.scaleBy(-1, 1);
    }
    const Color ink = right ? Color::whiteColor() : Color::fromRGB255(92, 102, 114);
    Point centre(5, s.height / 2);
    c.setFillColor(ink);
    c.fillEllipseInRect(Rect(centre.x - 1.5, centre.y - 2.5, 5, 5));
    c.setStrokeColor(ink);
    c.setLineWidth(2);
    c.setLineCap(platform::LineCap::Round);
    for (int arc = 0; arc < arcs; ++arc) {
        c.beginPath();
        c.addArc(centre, 4.5 + arc * 3.8, -kPi * 0.25, kPi * 0.25, true);
        c.strokePath();
    }
}

const Size kSpeakerSize(20, 20);

imagegen::ImageEntry speaker(bool right, int frame)
{
    std::string name = std::string("message_sound_cell_") + (right ? "right" : "left") + "_icon";
    if (frame > 0)
        name += "_0" + std::to_string(frame);
    int arcs = frame == 0 ? 3 : frame;
    return { name, kSpeakerSize, [right, arcs](Context& c, Size s) { drawSpeaker(c, s, right, arcs); } };
}

const imagegen::ImageGroup kMessagingImages({ meter(0), meter(1), meter(2), meter(3),
    { "message_bubble_left", kBubbleSize, [](Context& c, Size s) { drawBubble(c, s, false); } },
    { "message_bubble_right", kBubbleSize, [](Context& c, Size s) { drawBubble(c, s, true); } }, speaker(false, 0),
    speaker(false, 1), speaker(false, 2), speaker(true, 0), speaker(true, 1), speaker(true, 2) });

} // namespace
