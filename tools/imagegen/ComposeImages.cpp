// The group-send composer's pictures: the receiver picker's checkboxes (empty
// box, ticked, all ticked, cannot be ticked), its buttons, search glass and
// list foot; the composer's bars and buttons; the templates list's row
// background, "use" button and arrow.
#include "tools/imagegen/ImageCatalog.h"

#include <numbers>

using platform::Color;
using platform::Context;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

constexpr double kPi = std::numbers::pi;
const Color kTeal = Color::fromRGB255(26, 158, 143);
const Color kGreen = Color::fromRGB255(126, 195, 16);
const Color kOrange = Color::fromRGB255(251, 131, 9);
const Color kGrey = Color::fromRGB255(190, 196, 202);
const Color kLine = Color::fromRGB255(201, 208, 214);

void tick(Context& c, Size s, const Color& ink)
{
    c.setStrokeColor(ink);
    c.setLineWidth(2.6);
    c.setLineCap(platform::LineCap::Round);
    c.setLineJoin(platform::LineJoin::Round);
    c.beginPath();
    c.moveTo(Point(s.width * 0.25, s.height * 0.52));
    c.lineTo(Point(s.width * 0.43, s.height * 0.70));
    c.lineTo(Point(s.width * 0.76, s.height * 0.32));
    c.strokePath();
}

void box(Context& c, Size s, const Color& fill, const Color& edge)
{
    c.setFillColor(fill);
    c.beginPath();
    c.addRoundedRect(Rect(1, 1, s.width - 2, s.height - 2), 4);
    c.fillPath();
    c.setStrokeColor(edge);
    c.setLineWidth(1.2);
    c.beginPath();
    c.addRoundedRect(Rect(1.5, 1.5, s.width - 3, s.height - 3), 4);
    c.strokePath();
}

void drawCheckBoxBg(Context& c, Size s) { box(c, s, Color::whiteColor(), kLine); }

void drawSelected(Context& c, Size s)
{
    box(c, s, kGreen, kGreen);
    tick(c, s, Color::whiteColor());
}

void drawSelectedAll(Context& c, Size s)
{
    box(c, s, kOrange, kOrange);
    tick(c, s, Color::whiteColor());
}

// Someone who cannot receive: a grey box with a bar through it.
void drawSelectNull(Context& c, Size s)
{
    box(c, s, Color::fromRGB255(236, 238, 240), kGrey);
    c.setStrokeColor(kGrey);
    c.setLineWidth(2.4);
    c.setLineCap(platform::LineCap::Round);
    c.beginPath();
    c.moveTo(Point(s.width * 0.28, s.height / 2));
    c.lineTo(Point(s.width * 0.72, s.height / 2));
    c.strokePath();
}

void drawListFooter(Context& c, Size s)
{
    c.setFillColor(Color::fromRGB255(242, 244, 246));
    c.fillRect(Rect(0, 0, s.width, s.height));
    c.setFillColor(kLine);
    c.fillRect(Rect(0, 0, s.width, 1));
}

void drawButton(Context& c, Size s, const Color& fill)
{
    c.setFillColor(fill);
    c.beginPath();
    c.addRoundedRect(Rect(0, 0, s.width, s.height), 5);
    c.fillPath();
}

// The composer's row opening the picker: a person with a plus.
void drawReceiverIcon(Context& c, Size s)
{
    c.setFillColor(kTeal);
    c.fillEllipseInRect(Rect(5, 3, 9, 9));
    c.beginPath();
    c.addArc(Point(9.5, 20), 7.5, kPi, 0, false);
    c.closePath();
    c.fillPath();
    c.setStrokeColor(kTeal);
    c.setLineWidth(2);
    c.beginPath();
    c.moveTo(Point(s.width - 7, 6));
    c.lineTo(Point(s.width - 7, 14));
    c.moveTo(Point(s.width - 11, 10));
    c.lineTo(Point(s.width - 3, 10));
    c.strokePath();
}

// The template button: a page with lines.
void drawTemplateIcon(Context& c, Size s)
{
    c.setStrokeColor(kTeal);
    c.setLineWidth(1.6);
    c.beginPath();
    c.addRoundedRect(Rect(5, 3, s.width - 10, s.height - 6), 2);
    c.strokePath();
    c.beginPath();
    for (double y : { 8.5, 12.5, 16.5 }) {
        c.moveTo(Point(8.5, y));
        c.lineTo(Point(s.width - 8.5, y));
    }
    c.strokePath();
}

void drawTemplateItemBg(Context& c, Size s)
{
    c.setFillColor(Color::fromRGB255(108, 165, 16));
    c.fillRect(Rect(0, 0, s.width, s.height));
}

// "用" in a rounded bar: the expanded template row's use mark.
void drawUse(Context& c, Size s)
{
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.addRoundedRect(Rect(4, s.height / 2 - 13, s.width - 8, 26), 13);
    c.fillPath();
    tick(c, Size(s.width, s.height), Color::fromRGB255(108, 165, 16));
}

void drawArrow(Context& c, Size s)
{
    c.setStrokeColor(Color::fromRGB255(160, 166, 172));
    c.setLineWidth(2);
    c.setLineCap(platform::LineCap::Round);
    c.beginPath();
    c.moveTo(Point(s.width * 0.3, s.height * 0.2));
    c.lineTo(Point(s.width * 0.7, s.height * 0.5));
    c.lineTo(Point(s.width * 0.3, s.height * 0.8));
    c.strokePath();
}

const imagegen::ImageGroup kComposeImages({
    { "contacts_checkbox_bg", Size(24, 24), drawCheckBoxBg },
    { "contacts_checkbox_select", Size(24, 24), drawSelected },
    { "contacts_checkbox_select_all", Size(24, 24), drawSelectedAll },
    { "contacts_checkbox_select_null", Size(24, 24), drawSelectNull },
    { "contacts_select_list_footer", Size(320, 12), drawListFooter },
    { "contacts_select_btn_bg", Size(92, 34), [](Context& c, Size s) { drawButton(c, s, kTeal); } },
    { "message_send_receiver_icon", Size(28, 26), drawReceiverIcon },
    { "message_send_template_icon", Size(26, 26), drawTemplateIcon },
    { "message_send_btn_bg", Size(60, 30), [](Context& c, Size s) { drawButton(c, s, kTeal); } },
    { "message_cell_item_bg", Size(320, 70), drawTemplateItemBg },
    { "message_cell_use_n", Size(44, 44), drawUse },
    { "message_cell_arrow_icon", Size(12, 18), drawArrow },
});

} // namespace
