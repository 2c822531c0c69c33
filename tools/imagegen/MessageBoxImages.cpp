// The message box's pictures: the row backgrounds (white with a hairline
// under the text column), the pressed-row shade, the group-send badge and
// its photo and voice marks, and the compose button of the title bar.
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
const Color kLine = Color::fromRGB255(227, 231, 235);

// A row: its fill and a one-point line along the bottom from the text column on.
void drawRow(Context& c, Size s, const Color& fill, double lineStart)
{
    c.setFillColor(fill);
    c.fillRect(Rect(0, 0, s.width, s.height));
    c.setFillColor(kLine);
    c.fillRect(Rect(lineStart, s.height - 1, s.width - lineStart, 1));
}

void drawPhotoMark(Context& c, Size s)
{
    c.setStrokeColor(kTeal);
    c.setLineWidth(1.4);
    c.beginPath();
    c.addRoundedRect(Rect(1.5, 3, s.width - 3, s.height - 6), 1.5);
    c.strokePath();
    c.setFillColor(kTeal);
    c.beginPath();
    c.moveTo(Point(3, s.height - 4.5));
    c.lineTo(Point(7, s.height - 9));
    c.lineTo(Point(10, s.height - 6));
    c.lineTo(Point(12, s.height - 8));
    c.lineTo(Point(s.width - 3, s.height - 4.5));
    c.closePath();
    c.fillPath();
    c.fillEllipseInRect(Rect(s.width - 6.5, 5, 2.6, 2.6));
}

void drawSoundMark(Context& c, Size s)
{
    const double mid = s.height / 2;
    c.setFillColor(kTeal);
    c.beginPath();
    c.moveTo(Point(2, mid - 2.5));
    c.lineTo(Point(5, mid - 2.5));
    c.lineTo(Point(8.5, mid - 6));
    c.lineTo(Point(8.5, mid + 6));
    c.lineTo(Point(5, mid + 2.5));
    c.lineTo(Point(2, mid + 2.5));
    c.closePath();
    c.fillPath();
    c.setStrokeColor(kTeal);
    c.setLineWidth(1.3);
    c.setLineCap(platform::LineCap::Round);
    for (int wave = 0; wave < 2; ++wave) {
        c.beginPath();
        c.addArc(Point(8.5, mid), 3 + wave * 3, -kPi * 0.28, kPi * 0.28, true);
        c.strokePath();
    }
}

// The group-send row's picture: a megaphone on the app's teal.
void drawGroupAvatar(Context& c, Size s)
{
    c.setFillColor(kTeal);
    c.fillRect(Rect(0, 0, s.width, s.height));
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.moveTo(Point(13, 21));
    c.lineTo(Point(20, 21));
    c.lineTo(Point(33, 13));
    c.lineTo(Point(33, 37));
    c.lineTo(Point(20, 29));
    c.lineTo(Point(13, 29));
    c.closePath();
    c.fillPath();
    c.fillRect(Rect(17, 29, 4, 8));
    c.setStrokeColor(Color::whiteColor());
    c.setLineWidth(2.2);
    c.setLineCap(platform::LineCap::Round);
    for (int wave = 0; wave < 2; ++wave) {
        c.beginPath();
        c.addArc(Point(33, 25), 5 + wave * 4.5, -kPi * 0.3, kPi * 0.3, true);
        c.strokePath();
    }
}

// A pencil over a line, white for the teal title bar.
void drawCompose(Context& c, Size s)
{
    c.setStrokeColor(Color::whiteColor());
    c.setFillColor(Color::whiteColor());
    c.setLineWidth(2);
    c.setLineCap(platform::LineCap::Round);
    c.setLineJoin(platform::LineJoin::Round);
    const double x = s.width / 2, y = s.height / 2;
    c.beginPath();
    c.moveTo(Point(x - 8, y + 8));
    c.lineTo(Point(x - 7, y + 3));
    c.lineTo(Point(x + 4, y - 8));
    c.lineTo(Point(x + 8, y - 4));
    c.lineTo(Point(x - 3, y + 7));
    c.closePath();
    c.strokePath();
    c.beginPath();
    c.moveTo(Point(x + 1, y - 5));
    c.lineTo(Point(x + 5, y - 1));
    c.strokePath();
    c.beginPath();
    c.moveTo(Point(x - 1, y + 10));
    c.lineTo(Point(x + 9, y + 10));
    c.strokePath();
}

const imagegen::ImageGroup kMessageBoxImages({
    { "message_single_cell_bg", Size(320, 72), [](Context& c, Size s) { drawRow(c, s, Color::whiteColor(), 74); } },
    { "message_group_cell_bg", Size(320, 84),
        [](Context& c, Size s) { drawRow(c, s, Color::fromRGB255(250, 252, 251), 74); } },
    { "public_cel_selected_bg", Size(320, 72),
        [](Context& c, Size s) { drawRow(c, s, Color::fromRGB255(232, 236, 240), 0); } },
    { "message_group_photo_icon", Size(16, 16), drawPhotoMark },
    { "message_group_sound_icon", Size(16, 16), drawSoundMark },
    { "message_group_avatar", Size(50, 50), drawGroupAvatar },
    { "message_box_compose_btn", Size(44, 44), drawCompose },
});

} // namespace
