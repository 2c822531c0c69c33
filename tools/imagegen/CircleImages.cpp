// The class circle's pictures: the avatar shown until a sender's picture
// arrives, and the marks of a post's praise and comment buttons.
#include "tools/imagegen/ImageCatalog.h"

using platform::Color;
using platform::Context;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

const Color kMark = Color::fromRGB255(122, 130, 140);

// A light grey square with a head and shoulders in white.
void drawDefaultPhoto(Context& c, Size s)
{
    c.setFillColor(Color::fromRGB255(205, 211, 218));
    c.fillRect(Rect(0, 0, s.width, s.height));
    c.setFillColor(Color::whiteColor());
    double head = s.width * 0.36;
    c.fillEllipseInRect(Rect((s.width - head) / 2, s.height * 0.18, head, head));
    double body = s.width * 0.72;
    c.fillEllipseInRect(Rect((s.width - body) / 2, s.height * 0.6, body, s.height * 0.7));
}

// A heart.
void drawPraise(Context& c, Size s)
{
    double w = s.width;
    double h = s.height;
    c.setFillColor(Color::fromRGB255(240, 98, 90));
    c.fillEllipseInRect(Rect(w * 0.06, h * 0.12, w * 0.48, w * 0.48));
    c.fillEllipseInRect(Rect(w * 0.46, h * 0.12, w * 0.48, w * 0.48));
    c.beginPath();
    c.moveTo(Point(w * 0.1, h * 0.48));
    c.lineTo(Point(w * 0.9, h * 0.48));
    c.lineTo(Point(w * 0.5, h * 0.92));
    c.closePath();
    c.fillPath();
}

// A speech bubble with three dots.
void drawComment(Context& c, Size s)
{
    double w = s.width;
    double h = s.height;
    c.setStrokeColor(kMark);
    c.setLineWidth(1.3);
    c.beginPath();
    c.addRoundedRect(Rect(1, 1.5, w - 2, h * 0.7), 2.5);
    c.strokePath();
    c.setFillColor(kMark);
    c.beginPath();
    c.moveTo(Point(w * 0.28, h * 0.7));
    c.lineTo(Point(w * 0.28, h - 0.5));
    c.lineTo(Point(w * 0.5, h * 0.7));
    c.closePath();
    c.fillPath();
    for (int i = 0; i < 3; ++i)
        c.fillEllipseInRect(Rect(w * (0.26 + 0.2 * i) - 0.9, h * 0.37 - 0.9, 1.8, 1.8));
}

// Three white dots: more actions on the post.
void drawMore(Context& c, Size s)
{
    c.setFillColor(Color::whiteColor());
    for (int i = 0; i < 3; ++i)
        c.fillEllipseInRect(Rect(s.width / 2 - 9 + 7 * i, s.height / 2 - 2, 4, 4));
}

const imagegen::ImageGroup circleImages({
    { "jxq_more_btn", Size(28, 28), drawMore },
    { "jxq_default_photo", Size(48, 48), drawDefaultPhoto },
    { "jxq_praise_icon", Size(14, 14), drawPraise },
    { "jxq_comment_icon", Size(14, 14), drawComment },
});

} // namespace
