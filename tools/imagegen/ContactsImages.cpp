// The address book's and the calls' pictures: the row buttons (call for a
// teacher in teal, for others in orange, message), the placeholder face,
// the group tab backgrounds, the search and refresh marks.
#include "tools/imagegen/ImageCatalog.h"

#include <cmath>
#include <numbers>

using platform::Color;
using platform::Context;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

constexpr double kPi = std::numbers::pi;
const Color kTeal = Color::fromRGB255(26, 158, 143);
const Color kOrange = Color::fromRGB255(240, 140, 50);
const Color kGrey = Color::fromRGB255(154, 161, 170);

// A handset, centred in the box, in white.
void drawHandset(Context& c, Rect box)
{
    const double w = box.width();
    const double x = box.minX();
    const double y = box.minY();
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.moveTo(Point(x + w * 0.18, y + w * 0.22));
    c.lineTo(Point(x + w * 0.36, y + w * 0.12));
    c.lineTo(Point(x + w * 0.46, y + w * 0.34));
    c.lineTo(Point(x + w * 0.36, y + w * 0.42));
    c.quadCurveTo(Point(x + w * 0.46, y + w * 0.58), Point(x + w * 0.58, y + w * 0.64));
    c.lineTo(Point(x + w * 0.66, y + w * 0.54));
    c.lineTo(Point(x + w * 0.88, y + w * 0.64));
    c.lineTo(Point(x + w * 0.78, y + w * 0.82));
    c.quadCurveTo(Point(x + w * 0.12, y + w * 0.78), Point(x + w * 0.18, y + w * 0.22));
    c.closePath();
    c.fillPath();
}

void drawCallButton(Context& c, Size s, const Color& colour)
{
    c.setFillColor(colour);
    c.fillEllipseInRect(Rect(4, 4, s.width - 8, s.height - 8));
    drawHandset(c, Rect(11, 11, s.width - 22, s.height - 22));
}

void drawMessageButton(Context& c, Size s)
{
    c.setFillColor(kTeal);
    c.fillEllipseInRect(Rect(4, 4, s.width - 8, s.height - 8));
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.addRoundedRect(Rect(11, 12, s.width - 22, s.height - 27), 3);
    c.fillPath();
    c.beginPath();
    c.moveTo(Point(16, s.height - 16));
    c.lineTo(Point(15, s.height - 11));
    c.lineTo(Point(21, s.height - 16));
    c.closePath();
    c.fillPath();
    c.setFillColor(kTeal);
    for (int i = 0; i < 3; ++i)
        c.fillEllipseInRect(Rect(14.5 + i * 4.5, 16.5, 2.4, 2.4));
}

void drawTabBackground(Context& c, Size s, const Color& fill)
{
    c.setFillColor(fill);
    c.fillRect(Rect(0, 0, s.width, s.height));
}

void drawSearchMark(Context& c, Size s)
{
    c.setStrokeColor(kGrey);
    c.setLineWidth(1.8);
    c.beginPath();
    c.addEllipseInRect(Rect(1.5, 1.5, s.width * 0.6, s.height * 0.6));
    c.strokePath();
    c.setLineCap(platform::LineCap::Round);
    c.beginPath();
    c.moveTo(Point(s.width * 0.62, s.height * 0.62));
    c.lineTo(Point(s.width - 2, s.height - 2));
    c.strokePath();
}

void drawRefreshMark(Context& c, Size s)
{
    const Point centre(s.width / 2, s.height / 2);
    const double radius = s.width * 0.22;
    const double start = -kPi * 0.3;
    const double end = kPi * 1.4;
    c.setStrokeColor(kTeal);
    c.setLineWidth(2.2);
    c.setLineCap(platform::LineCap::Round);
    c.beginPath();
    constexpr int kSteps = 40;
    for (int i = 0; i <= kSteps; ++i) {
        const double a = start + (end - start) * i / kSteps;
        const Point p(centre.x + radius * std::cos(a), centre.y + radius * std::sin(a));
        if (i == 0)
            c.moveTo(p);
        else
            c.lineTo(p);
    }
    c.strokePath();
    // The arrow head at the arc's open end, pointing along it.
    const Point tip(centre.x + radius * std::cos(start), centre.y + radius * std::sin(start));
    c.setFillColor(kTeal);
    c.beginPath();
    c.moveTo(Point(tip.x + 5, tip.y + 1));
    c.lineTo(Point(tip.x - 3, tip.y - 4));
    c.lineTo(Point(tip.x - 1, tip.y + 5));
    c.closePath();
    c.fillPath();
}

void drawCallBackground(Context& c, Size s, const Color& fill)
{
    c.setFillColor(fill);
    c.beginPath();
    c.addRoundedRect(Rect(0, 0, s.width, s.height), s.height / 2);
    c.fillPath();
}

// The call screen's button mark: the handset, lying down to hang up.
void drawDialMark(Context& c, Size s, bool hangUp)
{
    if (hangUp) {
        c.translate(s.width / 2, s.height / 2);
        c.rotate(kPi * 0.75);
        c.translate(-s.width / 2, -s.height / 2);
    }
    drawHandset(c, Rect(0, 0, s.width, s.height));
}

const Color kHangUpRed = Color::fromRGB255(226, 74, 64);

// A small arrow from corner to corner: out of the phone (up and right) for
// a call the teacher's side placed, into it for the other side's.
void drawCallArrow(Context& c, Size s, const Color& colour, bool outgoing)
{
    c.setStrokeColor(colour);
    c.setLineWidth(1.8);
    c.setLineCap(platform::LineCap::Round);
    const Point from = outgoing ? Point(3, s.height - 3) : Point(s.width - 3, 3);
    const Point to = outgoing ? Point(s.width - 3, 3) : Point(3, s.height - 3);
    c.beginPath();
    c.moveTo(from);
    c.lineTo(to);
    c.strokePath();
    const double d = outgoing ? -1 : 1;
    c.beginPath();
    c.moveTo(Point(to.x + d * 6, to.y));
    c.lineTo(to);
    c.lineTo(Point(to.x, to.y - d * 6));
    c.strokePath();
}

void drawMissMark(Context& c, Size s, const Color& colour)
{
    c.setStrokeColor(colour);
    c.setLineWidth(1.8);
    c.setLineCap(platform::LineCap::Round);
    c.beginPath();
    c.moveTo(Point(3, 3));
    c.lineTo(Point(s.width - 3, s.height - 3));
    c.moveTo(Point(s.width - 3, 3));
    c.lineTo(Point(3, s.height - 3));
    c.strokePath();
}

void drawBarKey(Context& c, Size s, const Color& fill)
{
    c.setFillColor(fill);
    c.fillRect(Rect(0, 0, s.width, s.height));
}

// The fold key: a chevron pointing where the keys will go.
void drawFoldKey(Context& c, Size s, bool folded)
{
    drawBarKey(c, s, Color::fromRGB255(46, 51, 58));
    c.setStrokeColor(Color::whiteColor());
    c.setLineWidth(2.4);
    c.setLineCap(platform::LineCap::Round);
    const double mid = s.width / 2;
    const double top = s.height / 2 - 4;
    const double bottom = s.height / 2 + 4;
    c.beginPath();
    c.moveTo(Point(mid - 9, folded ? bottom : top));
    c.lineTo(Point(mid, folded ? top : bottom));
    c.lineTo(Point(mid + 9, folded ? bottom : top));
    c.strokePath();
}

void drawDialKey(Context& c, Size s, const Color& fill)
{
    drawBarKey(c, s, fill);
    drawHandset(c, Rect(s.width / 2 - 13, s.height / 2 - 13, 26, 26));
}

// The delete key: a tag shape with a cross.
void drawDeleteKey(Context& c, Size s)
{
    drawBarKey(c, s, Color::fromRGB255(46, 51, 58));
    const double x = s.width / 2 - 14;
    const double y = s.height / 2 - 9;
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.moveTo(Point(x, y + 9));
    c.lineTo(Point(x + 9, y));
    c.lineTo(Point(x + 28, y));
    c.lineTo(Point(x + 28, y + 18));
    c.lineTo(Point(x + 9, y + 18));
    c.closePath();
    c.fillPath();
    c.setStrokeColor(Color::fromRGB255(46, 51, 58));
    c.setLineWidth(2);
    c.beginPath();
    c.moveTo(Point(x + 13, y + 5));
    c.lineTo(Point(x + 21, y + 13));
    c.moveTo(Point(x + 21, y + 5));
    c.lineTo(Point(x + 13, y + 13));
    c.strokePath();
}

const imagegen::ImageGroup kContactsImages({
    { "cn_call_zhudong", Size(16, 16), [](Context& c, Size s) { drawCallArrow(c, s, kTeal, true); } },
    { "cn_call_beidong", Size(16, 16), [](Context& c, Size s) { drawCallArrow(c, s, kOrange, false); } },
    { "cn_call_miss", Size(16, 16), [](Context& c, Size s) { drawCallArrow(c, s, kHangUpRed, false); } },
    { "cn_miss", Size(16, 16), [](Context& c, Size s) { drawMissMark(c, s, kHangUpRed); } },
    { "cn_btn_off", Size(107, 49), [](Context& c, Size s) { drawFoldKey(c, s, false); } },
    { "cn_btn_on", Size(107, 49), [](Context& c, Size s) { drawFoldKey(c, s, true); } },
    { "cn_btn_dial_normal", Size(107, 49), [](Context& c, Size s) { drawDialKey(c, s, kTeal); } },
    { "cn_btn_dial_selected", Size(107, 49),
        [](Context& c, Size s) { drawDialKey(c, s, Color::fromRGB255(18, 120, 108)); } },
    { "cn_btn_del", Size(107, 49), drawDeleteKey },
    { "num_bottom_bg", Size(4, 49), [](Context& c, Size s) { drawBarKey(c, s, Color::fromRGB255(46, 51, 58)); } },
    { "cn_dial_start", Size(24, 24), [](Context& c, Size s) { drawDialMark(c, s, false); } },
    { "cn_dial_stop", Size(24, 24), [](Context& c, Size s) { drawDialMark(c, s, true); } },
    { "contacts_detail_btn_call_bg", Size(240, 48), [](Context& c, Size s) { drawCallBackground(c, s, kTeal); } },
    { "contacts_detail_btn_call_stop_bg", Size(240, 48),
        [](Context& c, Size s) { drawCallBackground(c, s, kHangUpRed); } },
    { "contacts_detail_btn_call_stop_h_bg", Size(240, 48),
        [](Context& c, Size s) { drawCallBackground(c, s, Color::fromRGB255(180, 52, 44)); } },
    { "public_btn_callphone", Size(40, 40), [](Context& c, Size s) { drawCallButton(c, s, kTeal); } },
    { "public_btn_callphone_parent", Size(40, 40), [](Context& c, Size s) { drawCallButton(c, s, kOrange); } },
    { "public_btn_callsms", Size(40, 40), drawMessageButton },
    { "contacts_tab_select", Size(4, 36), [](Context& c, Size s) { drawTabBackground(c, s, Color::whiteColor()); } },
    { "contacts_tab_unselect", Size(4, 36),
        [](Context& c, Size s) { drawTabBackground(c, s, Color::fromRGB255(247, 248, 250)); } },
    { "contacts_search_icon", Size(16, 16), drawSearchMark },
    { "contacts_btn_refresh", Size(44, 44), drawRefreshMark },
});

} // namespace
