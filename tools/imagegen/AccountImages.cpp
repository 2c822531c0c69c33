// The account screens' pictures: the verification-code button of the
// forgotten-password screen in its ready (green) and waiting (grey) states.
#include "tools/imagegen/ImageCatalog.h"

using platform::Color;
using platform::Context;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

Color rgb(int r, int g, int b, double a = 1.0) { return Color::fromRGB255(r, g, b, a); }

void pill(Context& c, Size s, Color top, Color bottom, Color edge)
{
    Rect r(0.5, 0.5, s.width - 1, s.height - 1);
    c.save();
    c.beginPath();
    c.addRoundedRect(r, 5);
    c.clip();
    c.drawLinearGradient({ { 0, top }, { 1, bottom } }, Point(0, 0), Point(0, s.height));
    c.restore();
    c.beginPath();
    c.addRoundedRect(r, 5);
    c.setStrokeColor(edge);
    c.setLineWidth(1);
    c.strokePath();
}

const imagegen::ImageGroup kAccountImages({
    { "login_checknum_green", { 90, 36 },
        [](Context& c, Size s) { pill(c, s, rgb(48, 186, 160), rgb(26, 150, 130), rgb(20, 128, 110)); } },
    { "login_checknum_gray", { 90, 36 },
        [](Context& c, Size s) { pill(c, s, rgb(196, 200, 204), rgb(168, 173, 178), rgb(150, 155, 160)); } },
});

} // namespace
