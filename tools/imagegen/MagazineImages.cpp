// The e-magazine's pictures: the reader's first-use tips laid over the cover,
// the turned-up page corner, the "new" ribbon of an unopened issue and the
// small eye beside an issue's read count.
#include "tools/imagegen/ImageCatalog.h"

#include "platform/graphics/Text.h"

#include <numbers>

using platform::Color;
using platform::Context;
using platform::Font;
using platform::LineBreakMode;
using platform::Point;
using platform::Rect;
using platform::Size;
using platform::TextAlignment;

namespace {

constexpr double kPi = std::numbers::pi;
const Color kGreen = Color::fromRGB255(110, 154, 46);
const Color kOrange = Color::fromRGB255(232, 120, 60);

void centred(Context& c, const std::string& text, const Font& font, double y, double width, const Color& colour)
{
    platform::drawText(c, text, font, Rect(0, y, width, font.lineHeight() + 2), colour, LineBreakMode::Clip,
        TextAlignment::Center, 1);
}

// A finger's round tip with rings, where a tap lands.
void drawTouch(Context& c, Point at)
{
    c.setStrokeColor(Color(1, 1, 1, 0.5));
    c.setLineWidth(2);
    c.strokeEllipseInRect(Rect(at.x - 26, at.y - 26, 52, 52));
    c.setStrokeColor(Color(1, 1, 1, 0.8));
    c.strokeEllipseInRect(Rect(at.x - 17, at.y - 17, 34, 34));
    c.setFillColor(Color::whiteColor());
    c.fillEllipseInRect(Rect(at.x - 9, at.y - 9, 18, 18));
}

// A horizontal arrow from one point to the other.
void drawArrow(Context& c, Point from, Point to)
{
    c.setStrokeColor(Color::whiteColor());
    c.setLineWidth(3);
    c.setLineCap(platform::LineCap::Round);
    c.beginPath();
    c.moveTo(from);
    c.lineTo(to);
    double dir = to.x > from.x ? 1 : -1;
    c.moveTo(Point(to.x - dir * 10, to.y - 8));
    c.lineTo(to);
    c.lineTo(Point(to.x - dir * 10, to.y + 8));
    c.strokePath();
}

void drawTips(Context& c, Size s)
{
    c.setFillColor(Color(0, 0, 0, 0.68));
    c.fillRect(Rect(0, 0, s.width, s.height));
    centred(c, "阅读小贴士", Font::boldSystemFont(26), 64, s.width, Color::whiteColor());
    centred(c, "轻松翻阅成长期刊", Font::systemFont(14), 100, s.width, Color(1, 1, 1, 0.8));

    drawTouch(c, Point(s.width / 2, 178));
    centred(c, "点击封面，打开目录", Font::systemFont(16), 216, s.width, Color::whiteColor());

    drawArrow(c, Point(210, 278), Point(110, 278));
    centred(c, "向左滑动：下一页", Font::systemFont(16), 296, s.width, Color::whiteColor());
    drawArrow(c, Point(110, 348), Point(210, 348));
    centred(c, "向右滑动：上一页或返回", Font::systemFont(16), 366, s.width, Color::whiteColor());

    // The corner down right, with a pointer to it.
    centred(c, "点击右下角的翻页角也可以翻页", Font::systemFont(14), 430, s.width, Color(1, 1, 1, 0.9));
    c.setStrokeColor(Color(1, 1, 1, 0.85));
    c.setLineWidth(2);
    c.setLineDash(0, { 5, 4 });
    c.beginPath();
    c.moveTo(Point(s.width / 2 + 60, 456));
    c.quadCurveTo(Point(s.width - 40, 460), Point(s.width - 30, s.height - 56));
    c.strokePath();
    c.setLineDash(0, {});

    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.addRoundedRect(Rect(s.width / 2 - 70, s.height - 44, 140, 30), 15);
    c.fillPath();
    centred(c, "我知道了", Font::boldSystemFont(15), s.height - 38, s.width, kGreen);
}

void drawCurl(Context& c, Size s)
{
    // A dog-ear: the corner folded back along a diagonal, showing the dark
    // underside where it was and the paper's back turned up over the page.
    double w = s.width, h = s.height, k = 0.18;
    c.setFillColor(Color(0, 0, 0, 0.45));
    c.beginPath();
    c.moveTo(Point(w * k, h));
    c.lineTo(Point(w, h * k));
    c.lineTo(Point(w, h));
    c.closePath();
    c.fillPath();
    // The flap's shadow, a little down and right of it.
    c.setFillColor(Color(0, 0, 0, 0.18));
    c.beginPath();
    c.moveTo(Point(w * k + 2, h));
    c.lineTo(Point(w, h * k + 2));
    c.lineTo(Point(w * k + 3, h * k + 3));
    c.closePath();
    c.fillPath();
    c.save();
    c.beginPath();
    c.moveTo(Point(w * k, h));
    c.lineTo(Point(w, h * k));
    c.lineTo(Point(w * k, h * k));
    c.closePath();
    c.clip();
    c.drawLinearGradient({ { 0, Color::fromRGB255(255, 252, 240) }, { 1, Color::fromRGB255(226, 214, 186) } },
        Point(w * k, h * k), Point(w * 0.6, h * 0.6));
    c.restore();
    c.setStrokeColor(Color::fromRGB255(200, 184, 146));
    c.setLineWidth(1);
    c.beginPath();
    c.moveTo(Point(w * k, h));
    c.lineTo(Point(w * k, h * k));
    c.lineTo(Point(w, h * k));
    c.strokePath();
    c.setFillColor(kOrange);
    c.fillEllipseInRect(Rect(w * 0.32, h * 0.32, 7, 7));
}

void drawNew(Context& c, Size s)
{
    // A round red seal reading 新.
    c.setFillColor(Color::fromRGB255(226, 64, 52));
    c.fillEllipseInRect(Rect(1, 1, s.width - 2, s.height - 2));
    c.setStrokeColor(Color::whiteColor());
    c.setLineWidth(1.5);
    c.strokeEllipseInRect(Rect(2.5, 2.5, s.width - 5, s.height - 5));
    Font font = Font::boldSystemFont(s.height * 0.5);
    platform::drawText(c, "新", font, Rect(0, (s.height - font.lineHeight()) / 2, s.width, font.lineHeight()),
        Color::whiteColor(), LineBreakMode::Clip, TextAlignment::Center, 1);
}

void drawEye(Context& c, Size s)
{
    c.setStrokeColor(Color::fromRGB255(138, 146, 132));
    c.setLineWidth(1.3);
    c.beginPath();
    c.moveTo(Point(1, s.height / 2));
    c.quadCurveTo(Point(s.width / 2, -1), Point(s.width - 1, s.height / 2));
    c.quadCurveTo(Point(s.width / 2, s.height + 1), Point(1, s.height / 2));
    c.strokePath();
    c.setFillColor(Color::fromRGB255(138, 146, 132));
    c.beginPath();
    c.addArc(Point(s.width / 2, s.height / 2), 2.6, 0, 2 * kPi, false);
    c.fillPath();
}

const imagegen::ImageGroup magazineImages({
    { "show_use_tips", { 320, 548 }, drawTips },
    { "magazine_curl_page", { 48, 48 }, drawCurl },
    { "magazine_new_icon", { 28, 28 }, drawNew },
    { "magazine_read_icon", { 14, 14 }, drawEye },
});

} // namespace
