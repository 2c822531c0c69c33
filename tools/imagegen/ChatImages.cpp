// The chat screen's input bar: its background with a hairline on top, the
// white field behind the text, the hold-to-record bar, the round mode switch
// (a sound wave for voice, a keyboard back to text), the photo button, the
// teal send button with a paper plane, and the contact button of the title bar;
// and the red mark of a message whose send failed.
#include "tools/imagegen/ImageCatalog.h"

#include <numbers>

using platform::Color;
using platform::Context;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

constexpr double kPi = std::numbers::pi;

const Color kInk = Color::fromRGB255(92, 102, 114);
const Color kRim = Color::fromRGB255(196, 202, 210);
const Color kTeal = Color::fromRGB255(34, 168, 152);

void drawBar(Context& c, Size s)
{
    c.setFillColor(Color::fromRGB255(246, 247, 249));
    c.fillRect(Rect(0, 0, s.width, s.height));
    c.setFillColor(Color::fromRGB255(208, 213, 220));
    c.fillRect(Rect(0, 0, s.width, 0.5));
}

void drawField(Context& c, Size s, Color fill)
{
    c.beginPath();
    c.addRoundedRect(Rect(0.5, 0.5, s.width - 1, s.height - 1), 6);
    c.setFillColor(fill);
    c.setStrokeColor(kRim);
    c.setLineWidth(1);
    c.fillAndStrokePath();
}

// The round frame every bar button shares.
void drawRing(Context& c, Size s)
{
    c.setStrokeColor(kInk);
    c.setLineWidth(1.5);
    c.beginPath();
    c.addEllipseInRect(Rect(5.75, 5.75, s.width - 11.5, s.height - 11.5));
    c.strokePath();
}

void drawVoiceGlyph(Context& c, Size s)
{
    drawRing(c, s);
    Point centre(s.width / 2 - 5, s.height / 2);
    c.setFillColor(kInk);
    c.fillEllipseInRect(Rect(centre.x - 1.5, centre.y - 2, 4, 4));
    c.setStrokeColor(kInk);
    c.setLineWidth(1.8);
    c.setLineCap(platform::LineCap::Round);
    for (int arc = 0; arc < 3; ++arc) {
        c.beginPath();
        c.addArc(centre, 4.5 + arc * 3.6, -kPi * 0.27, kPi * 0.27, true);
        c.strokePath();
    }
}

void drawKeyboardGlyph(Context& c, Size s)
{
    drawRing(c, s);
    Rect body(s.width / 2 - 8, s.height / 2 - 5.5, 16, 11);
    c.setStrokeColor(kInk);
    c.setLineWidth(1.3);
    c.beginPath();
    c.addRoundedRect(body, 2);
    c.strokePath();
    c.setFillColor(kInk);
    for (int row = 0; row < 2; ++row)
        for (int key = 0; key < 4; ++key)
            c.fillRect(Rect(body.minX() + 2.5 + key * 3.1, body.minY() + 2.2 + row * 2.6, 1.6, 1.4));
    c.fillRect(Rect(body.minX() + 4.5, body.minY() + 7.6, 7, 1.3));
}

void drawPhotoGlyph(Context& c, Size s)
{
    drawRing(c, s);
    Rect frame(s.width / 2 - 8, s.height / 2 - 6, 16, 12);
    c.setStrokeColor(kInk);
    c.setLineWidth(1.3);
    c.beginPath();
    c.addRoundedRect(frame, 1.5);
    c.strokePath();
    // A hill and the sun.
    c.setFillColor(kInk);
    c.beginPath();
    c.moveTo(Point(frame.minX() + 1.5, frame.maxY() - 1.5));
    c.lineTo(Point(frame.minX() + 6, frame.minY() + 5.5));
    c.lineTo(Point(frame.minX() + 9.5, frame.maxY() - 4));
    c.lineTo(Point(frame.minX() + 11.5, frame.maxY() - 5.5));
    c.lineTo(Point(frame.maxX() - 1.5, frame.maxY() - 1.5));
    c.closePath();
    c.fillPath();
    c.fillEllipseInRect(Rect(frame.maxX() - 5.5, frame.minY() + 2, 3, 3));
}

void drawSend(Context& c, Size s)
{
    c.beginPath();
    c.addRoundedRect(Rect(2, 4, s.width - 4, s.height - 8), 7);
    c.setFillColor(kTeal);
    c.fillPath();
    // A paper plane pointing right.
    double cx = s.width / 2;
    double cy = s.height / 2;
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.moveTo(Point(cx - 9, cy - 8));
    c.lineTo(Point(cx + 10, cy));
    c.lineTo(Point(cx - 9, cy + 8));
    c.lineTo(Point(cx - 5.5, cy));
    c.closePath();
    c.fillPath();
    c.setStrokeColor(kTeal);
    c.setLineWidth(1.4);
    c.beginPath();
    c.moveTo(Point(cx - 5.5, cy));
    c.lineTo(Point(cx + 3, cy));
    c.strokePath();
}

void drawContact(Context& c, Size s)
{
    // A head over rounded shoulders, white for the coloured title bar.
    const double cx = s.width / 2;
    c.setFillColor(Color::whiteColor());
    c.fillEllipseInRect(Rect(cx - 5.5, 9, 11, 11));
    c.beginPath();
    c.moveTo(Point(cx - 10, 34));
    c.lineTo(Point(cx - 10, 29));
    c.addArcToPoint(Point(cx - 10, 22), Point(cx, 22), 7);
    c.addArcToPoint(Point(cx + 10, 22), Point(cx + 10, 29), 7);
    c.lineTo(Point(cx + 10, 34));
    c.closePath();
    c.fillPath();
}

// The mark beside one's own bubble whose send failed: a red disc with a
// white exclamation mark, drawn as a bar and a dot so no font decides it.
void drawSendFailed(Context& c, Size s)
{
    c.setFillColor(Color::fromRGB255(226, 62, 52));
    c.fillEllipseInRect(Rect(1, 1, s.width - 2, s.height - 2));
    const double cx = s.width / 2;
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.addRoundedRect(Rect(cx - 1.3, s.height * 0.22, 2.6, s.height * 0.38), 1.3);
    c.fillPath();
    c.fillEllipseInRect(Rect(cx - 1.5, s.height * 0.67, 3, 3));
}

const imagegen::ImageGroup kChatImages({
    { "message_input_bar_bg", { 320, 50 }, drawBar },
    { "message_input_bg", { 190, 34 }, [](Context& c, Size s) { drawField(c, s, Color::whiteColor()); } },
    { "message_btn_record_bg", { 190, 34 }, [](Context& c, Size s) { drawField(c, s, Color::fromRGB255(236, 239, 243)); } },
    { "message_btn_sound", { 38, 38 }, drawVoiceGlyph },
    { "message_btn_text", { 38, 38 }, drawKeyboardGlyph },
    { "message_btn_photo", { 38, 38 }, drawPhotoGlyph },
    { "message_btn_send", { 40, 38 }, drawSend },
    { "message_btn_contacts", { 44, 44 }, drawContact },
    { "message_send_failed", { 20, 20 }, drawSendFailed },
});

} // namespace
