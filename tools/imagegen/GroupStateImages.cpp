// The group send's pictures: the read and unread marks, the two tab forms
// of the read states (rounded at rest, flat once the list scrolls), the
// artwork behind the selected tab, the shadow under the tabs, the wide teal
// button and the voice strip of the detail screen.
#include "tools/imagegen/ImageCatalog.h"

#include <numbers>

using platform::Color;
using platform::Context;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

const Color kTeal = Color::fromRGB255(26, 158, 143);
const Color kGreen = Color::fromRGB255(126, 195, 16);
const Color kOrange = Color::fromRGB255(247, 110, 16);
const Color kPale = Color::fromRGB255(214, 236, 232);

void drawYes(Context& c, Size s)
{
    c.setFillColor(kGreen);
    c.fillEllipseInRect(Rect(1, 1, s.width - 2, s.height - 2));
    c.setStrokeColor(Color::whiteColor());
    c.setLineWidth(2);
    c.setLineCap(platform::LineCap::Round);
    c.beginPath();
    c.moveTo(Point(s.width * 0.27, s.height * 0.52));
    c.lineTo(Point(s.width * 0.44, s.height * 0.68));
    c.lineTo(Point(s.width * 0.74, s.height * 0.34));
    c.strokePath();
}

void drawNo(Context& c, Size s)
{
    c.setFillColor(kOrange);
    c.fillEllipseInRect(Rect(1, 1, s.width - 2, s.height - 2));
    c.setStrokeColor(Color::whiteColor());
    c.setLineWidth(2);
    c.setLineCap(platform::LineCap::Round);
    const double a = s.width * 0.33, b = s.width * 0.67;
    c.beginPath();
    c.moveTo(Point(a, a));
    c.lineTo(Point(b, b));
    c.moveTo(Point(b, a));
    c.lineTo(Point(a, b));
    c.strokePath();
}

void drawRounded(Context& c, Size s, const Color& fill)
{
    c.setFillColor(fill);
    c.beginPath();
    c.addRoundedRect(Rect(0.5, 0.5, s.width - 1, s.height - 1), 6);
    c.fillPath();
}

// The flat tab: selected ones carry a teal line along the bottom.
void drawFlat(Context& c, Size s, bool selected)
{
    c.setFillColor(selected ? Color::whiteColor() : Color::fromRGB255(238, 241, 244));
    c.fillRect(Rect(0, 0, s.width, s.height));
    if (selected) {
        c.setFillColor(kTeal);
        c.fillRect(Rect(0, s.height - 3, s.width, 3));
    }
}

// Behind the rounded tabs: the band, with the selected half a little lighter.
void drawSelectedHalf(Context& c, Size s, bool left)
{
    c.setFillColor(kTeal);
    c.fillRect(Rect(0, 0, s.width, s.height));
    c.setFillColor(Color::fromRGB255(45, 176, 160));
    c.fillRect(Rect(left ? 0 : s.width / 2, 0, s.width / 2, s.height));
}

void drawShadow(Context& c, Size s)
{
    for (int i = 0; i < 4; ++i) {
        c.setFillColor(Color::fromWhite(0, 0.16 - i * 0.04));
        c.fillRect(Rect(0, i * s.height / 4, s.width, s.height / 4));
    }
}

void drawSoundStrip(Context& c, Size s)
{
    c.setFillColor(kTeal);
    c.beginPath();
    c.addRoundedRect(Rect(0, 0, s.width, s.height), s.height / 2);
    c.fillPath();
}

const imagegen::ImageGroup kGroupStateImages({
    { "message_group_state_icon_yes", Size(18, 18), drawYes },
    { "message_group_state_icon_no", Size(18, 18), drawNo },
    { "message_group_state_tab_0", Size(145, 36), [](Context& c, Size s) { drawRounded(c, s, kPale); } },
    { "message_group_state_tab_selected_0", Size(145, 36),
        [](Context& c, Size s) { drawRounded(c, s, Color::whiteColor()); } },
    { "message_group_state_tab_1", Size(160, 44), [](Context& c, Size s) { drawFlat(c, s, false); } },
    { "message_group_state_tab_selected_1", Size(160, 44), [](Context& c, Size s) { drawFlat(c, s, true); } },
    { "message_group_state_tab_sel_left", Size(320, 44), [](Context& c, Size s) { drawSelectedHalf(c, s, true); } },
    { "message_group_state_tab_sel_right", Size(320, 44), [](Context& c, Size s) { drawSelectedHalf(c, s, false); } },
    { "message_group_state_shadow", Size(320, 4), drawShadow },
    { "message_group_state_btn", Size(280, 40), [](Context& c, Size s) { drawRounded(c, s, kTeal); } },
    { "message_group_state_sound_bg", Size(150, 42), drawSoundStrip },
});

} // namespace
