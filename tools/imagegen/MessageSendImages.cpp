// The voice attachment tile's loudspeaker, in the app's teal on the tile's
// light background: the two frames it alternates while its clip plays (one
// sound wave, then two); the second is also the still picture.
#include "tools/imagegen/ImageCatalog.h"

#include <numbers>
#include <string>

using platform::Color;
using platform::Context;
using platform::Point;
using platform::Size;

namespace {

constexpr double kPi = std::numbers::pi;
const Color kInk = Color::fromRGB255(26, 158, 143);
const Size kIconSize(28, 28);

void drawTileSpeaker(Context& c, Size s, int waves)
{
    const double mid = s.height / 2;
    // The box and the cone in one outline.
    c.setFillColor(kInk);
    c.beginPath();
    c.moveTo(Point(4, mid - 4));
    c.lineTo(Point(9, mid - 4));
    c.lineTo(Point(15, mid - 10));
    c.lineTo(Point(15, mid + 10));
    c.lineTo(Point(9, mid + 4));
    c.lineTo(Point(4, mid + 4));
    c.closePath();
    c.fillPath();
    c.setStrokeColor(kInk);
    c.setLineWidth(2);
    c.setLineCap(platform::LineCap::Round);
    for (int wave = 0; wave < waves; ++wave) {
        c.beginPath();
        c.addArc(Point(14, mid), 5 + wave * 4.5, -kPi * 0.3, kPi * 0.3, true);
        c.strokePath();
    }
}

imagegen::ImageEntry frame(int waves)
{
    return { "message_send_sound_icon_0" + std::to_string(waves), kIconSize,
        [waves](Context& c, Size s) { drawTileSpeaker(c, s, waves); } };
}

const imagegen::ImageGroup kMessageSendImages({ frame(1), frame(2) });

} // namespace
