// The video-lesson portal's pictures: the home banner, the subscription
// page's banner, the lock and free marks of a video, the row arrow, the
// search glass and the lector's empty avatar.
#include "tools/imagegen/ImageCatalog.h"

#include "platform/graphics/Text.h"

#include <numbers>

using platform::Color;
using platform::Context;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

constexpr double kPi = std::numbers::pi;
const Color kGreen = Color::fromRGB255(127, 196, 16);
const Color kDeepGreen = Color::fromRGB255(86, 134, 7);
const Color kOrange = Color::fromRGB255(240, 150, 40);

void drawBanner(Context& c, Size s, const char* title, const char* subtitle)
{
    c.drawLinearGradient({ { 0.0, Color::fromRGB255(150, 210, 60) }, { 1.0, Color::fromRGB255(70, 150, 40) } },
        { 0, 0 }, { s.width, s.height });
    // Soft hills and a sun.
    c.setFillColor(Color(1, 1, 1, 0.16));
    c.fillEllipseInRect(Rect(-40, s.height * 0.62, 220, 120));
    c.fillEllipseInRect(Rect(150, s.height * 0.7, 260, 120));
    c.setFillColor(Color(1, 0.92, 0.5, 0.9));
    c.fillEllipseInRect(Rect(s.width - 78, 16, 44, 44));
    // An open book.
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.moveTo({ 30, 40 });
    c.lineTo({ 58, 34 });
    c.lineTo({ 58, 78 });
    c.lineTo({ 30, 84 });
    c.closePath();
    c.moveTo({ 62, 34 });
    c.lineTo({ 90, 40 });
    c.lineTo({ 90, 84 });
    c.lineTo({ 62, 78 });
    c.closePath();
    c.fillPath();
    platform::drawText(
        c, title, platform::Font::boldSystemFont(22), Rect(104, s.height / 2 - 28, 200, 30), Color::whiteColor());
    platform::drawText(
        c, subtitle, platform::Font::systemFont(13), Rect(105, s.height / 2 + 6, 200, 20), Color(1, 1, 1, 0.9));
}

void drawLock(Context& c, Size s)
{
    c.setFillColor(kOrange);
    c.fillRect(Rect(4, s.height / 2 - 1, s.width - 8, s.height / 2 - 2));
    c.setStrokeColor(kOrange);
    c.setLineWidth(2);
    c.beginPath();
    c.addArc({ s.width / 2, s.height / 2 - 1 }, 5, kPi, 0, true);
    c.strokePath();
    c.setFillColor(Color::whiteColor());
    c.fillEllipseInRect(Rect(s.width / 2 - 1.5, s.height * 0.68 - 1.5, 3, 3));
}

void drawFree(Context& c, Size s)
{
    c.setFillColor(kGreen);
    c.beginPath();
    c.addRoundedRect(Rect(1, 4, s.width - 2, s.height - 8), 3);
    c.fillPath();
    platform::drawText(c, "免费", platform::Font::boldSystemFont(8), Rect(1, s.height / 2 - 5, s.width - 2, 10),
        Color::whiteColor(), platform::LineBreakMode::Clip, platform::TextAlignment::Center);
}

void drawArrow(Context& c, Size s)
{
    c.setStrokeColor(Color::fromRGB255(180, 188, 172));
    c.setLineWidth(2);
    c.beginPath();
    c.moveTo({ s.width * 0.35, 2 });
    c.lineTo({ s.width * 0.7, s.height / 2 });
    c.lineTo({ s.width * 0.35, s.height - 2 });
    c.strokePath();
}

void drawSearch(Context& c, Size s)
{
    c.setStrokeColor(Color::fromRGB255(150, 158, 142));
    c.setLineWidth(1.6);
    c.strokeEllipseInRect(Rect(s.width * 0.12, s.height * 0.12, s.width * 0.6, s.height * 0.6));
    c.beginPath();
    c.moveTo({ s.width * 0.64, s.height * 0.64 });
    c.lineTo({ s.width - 1, s.height - 1 });
    c.strokePath();
}

void drawAvatar(Context& c, Size s)
{
    c.setFillColor(Color::fromRGB255(214, 232, 190));
    c.fillEllipseInRect(Rect(0, 0, s.width, s.height));
    c.setFillColor(kDeepGreen);
    c.fillEllipseInRect(Rect(s.width * 0.34, s.height * 0.2, s.width * 0.32, s.height * 0.32));
    c.fillEllipseInRect(Rect(s.width * 0.2, s.height * 0.58, s.width * 0.6, s.height * 0.5));
}

const imagegen::ImageGroup portalImages({
    { "gc_top_banner", { 320, 120 },
        [](Context& c, Size s) { drawBanner(c, s, "成长课堂", "名师微课 · 随时随地学"); } },
    { "gc_purchasing_banner", { 320, 150 },
        [](Context& c, Size s) { drawBanner(c, s, "开通包月", "全部课件和直播回放"); } },
    { "gc_video_lock", { 22, 22 }, drawLock },
    { "gc_video_free", { 22, 22 }, drawFree },
    { "gc_arrow", { 14, 14 }, drawArrow },
    { "gc_search_icon", { 14, 14 }, drawSearch },
    { "gc_avatar_placeholder", { 44, 44 }, drawAvatar },
});

} // namespace
