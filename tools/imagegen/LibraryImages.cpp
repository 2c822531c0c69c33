// The video library's and the activity list's pictures: the big play button
// over a video's cover, the small one over a list's covers, and the icon of an
// activity row (a flag on a sunny field).
#include "tools/imagegen/ImageCatalog.h"

#include "platform/graphics/Text.h"

using platform::Color;
using platform::Context;
using platform::Rect;
using platform::Size;

namespace {

void drawPlay(Context& c, Size s, double ring)
{
    // A dark translucent disc with a white ring and a white triangle.
    c.setFillColor(Color(0, 0, 0, 0.45));
    c.fillEllipseInRect(Rect(1, 1, s.width - 2, s.height - 2));
    c.setStrokeColor(Color::whiteColor());
    c.setLineWidth(ring);
    c.strokeEllipseInRect(Rect(ring, ring, s.width - 2 * ring, s.height - 2 * ring));
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.moveTo({ s.width * 0.40, s.height * 0.29 });
    c.lineTo({ s.width * 0.72, s.height * 0.50 });
    c.lineTo({ s.width * 0.40, s.height * 0.71 });
    c.closePath();
    c.fillPath();
}

void drawActivity(Context& c, Size s)
{
    c.beginPath();
    c.addRoundedRect(Rect(0, 0, s.width, s.height), 8);
    c.clip();
    c.drawLinearGradient({ { 0.0, Color::fromRGB255(255, 120, 60) }, { 1.0, Color::fromRGB255(255, 51, 0) } }, { 0, 0 },
        { 0, s.height });
    // The sun and a green hill.
    c.setFillColor(Color(1, 0.9, 0.4, 0.95));
    c.fillEllipseInRect(Rect(s.width * 0.62, s.height * 0.12, s.width * 0.24, s.height * 0.24));
    c.setFillColor(Color::fromRGB255(127, 196, 16));
    c.fillEllipseInRect(Rect(-s.width * 0.2, s.height * 0.68, s.width * 1.4, s.height * 0.7));
    // A flag on its pole.
    c.setFillColor(Color::whiteColor());
    c.fillRect(Rect(s.width * 0.3, s.height * 0.2, 2.5, s.height * 0.58));
    c.beginPath();
    c.moveTo({ s.width * 0.3 + 2.5, s.height * 0.2 });
    c.lineTo({ s.width * 0.62, s.height * 0.3 });
    c.lineTo({ s.width * 0.3 + 2.5, s.height * 0.42 });
    c.closePath();
    c.fillPath();
    platform::drawText(c, "活动", platform::Font::boldSystemFont(11), Rect(0, s.height * 0.8, s.width, 12),
        Color::whiteColor(), platform::LineBreakMode::Clip, platform::TextAlignment::Center);
}

const imagegen::ImageGroup libraryImages({
    { "ev_play_btn", { 64, 64 }, [](Context& c, Size s) { drawPlay(c, s, 2.5); } },
    { "ev_play_small", { 32, 32 }, [](Context& c, Size s) { drawPlay(c, s, 1.5); } },
    { "hot_activity_icon", { 60, 60 }, drawActivity },
});

} // namespace
