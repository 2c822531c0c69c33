// Messaging's pictures: the level meter of the voice-recording overlay, a
// microphone with four levels of sound waves beside it (drawn white, for the
// overlay's dark panel).
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

const imagegen::ImageGroup kMessagingImages({ meter(0), meter(1), meter(2), meter(3) });

} // namespace
