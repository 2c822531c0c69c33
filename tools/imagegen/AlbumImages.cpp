// The class albums' pictures: the tile that adds a photo to an album.
#include "tools/imagegen/ImageCatalog.h"

using platform::Color;
using platform::Context;
using platform::Rect;
using platform::Size;

namespace {

// A dashed rounded square on a faint fill with a plus in the theme's green:
// an empty place in the row of photos.
void drawAddPhoto(Context& c, Size s)
{
    const Color green = Color::fromRGB255(26, 158, 143);
    c.setFillColor(Color::fromRGB255(246, 248, 250));
    c.beginPath();
    c.addRoundedRect(Rect(1, 1, s.width - 2, s.height - 2), 5);
    c.fillPath();
    c.setStrokeColor(Color::fromRGB255(178, 186, 196));
    c.setLineWidth(1.2);
    c.setLineDash(0, { 4, 3 });
    c.beginPath();
    c.addRoundedRect(Rect(1, 1, s.width - 2, s.height - 2), 5);
    c.strokePath();
    c.setLineDash(0, {});
    c.setFillColor(green);
    const double arm = s.width * 0.34;
    const double thick = 3;
    c.fillRect(Rect((s.width - arm) / 2, (s.height - thick) / 2, arm, thick));
    c.fillRect(Rect((s.width - thick) / 2, (s.height - arm) / 2, thick, arm));
}

const imagegen::ImageGroup albumImages({
    { "album_add_photo", Size(70, 70), drawAddPhoto },
});

} // namespace
