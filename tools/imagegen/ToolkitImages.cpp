// The UI toolkit's pictures: the grey logo of the empty-state error view, the
// empty list's picture and the emoji faces a post text shows inline.
#include "tools/imagegen/ImageCatalog.h"

#include <cmath>
#include <numbers>

using platform::Color;
using platform::Context;
using platform::GradientStop;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

constexpr double kPi = std::numbers::pi;

Color rgb(int r, int g, int b, double a = 1.0) { return Color::fromRGB255(r, g, b, a); }

// ---- Grey logo: a speech bubble holding a small schoolhouse.

void drawGrayLogo(Context& c, Size s)
{
    const Color bubble = rgb(200, 200, 204);
    const Color shade = rgb(178, 178, 184);
    double w = s.width;
    double h = s.height;
    Rect body(2, 2, w - 4, h * 0.78);
    // Tail at the lower left, so the bubble reads as "a message".
    c.beginPath();
    c.moveTo(Point(w * 0.26, body.maxY() - 1));
    c.lineTo(Point(w * 0.20, h - 2));
    c.lineTo(Point(w * 0.42, body.maxY() - 1));
    c.closePath();
    c.setFillColor(bubble);
    c.fillPath();
    c.save();
    c.beginPath();
    c.addRoundedRect(body, 12);
    c.clip();
    c.drawLinearGradient({ { 0, rgb(212, 212, 216) }, { 1, shade } }, Point(0, body.minY()), Point(0, body.maxY()));
    c.restore();

    // The schoolhouse: roof, walls, a door and a flag.
    double cx = w / 2;
    double baseY = body.maxY() - body.size.height * 0.18;
    double houseW = body.size.width * 0.46;
    double wallH = body.size.height * 0.30;
    double roofH = body.size.height * 0.22;
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.moveTo(Point(cx - houseW / 2 - 3, baseY - wallH));
    c.lineTo(Point(cx, baseY - wallH - roofH));
    c.lineTo(Point(cx + houseW / 2 + 3, baseY - wallH));
    c.closePath();
    c.fillPath();
    c.fillRect(Rect(cx - houseW / 2, baseY - wallH, houseW, wallH));
    c.setFillColor(shade);
    double doorW = houseW * 0.24;
    c.beginPath();
    c.addRoundedRect(Rect(cx - doorW / 2, baseY - wallH * 0.62, doorW, wallH * 0.62), doorW / 2.5);
    c.fillPath();
    // Two windows beside the door.
    double winSide = houseW * 0.16;
    c.fillRect(Rect(cx - houseW * 0.36, baseY - wallH * 0.72, winSide, winSide));
    c.fillRect(Rect(cx + houseW * 0.36 - winSide, baseY - wallH * 0.72, winSide, winSide));
    // Flag pole and pennant on the roof's tip.
    c.setStrokeColor(Color::whiteColor());
    c.setLineWidth(1.5);
    c.beginPath();
    double tipY = baseY - wallH - roofH;
    c.moveTo(Point(cx, tipY));
    c.lineTo(Point(cx, tipY - roofH * 0.7));
    c.strokePath();
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.moveTo(Point(cx, tipY - roofH * 0.7));
    c.lineTo(Point(cx + houseW * 0.26, tipY - roofH * 0.52));
    c.lineTo(Point(cx, tipY - roofH * 0.34));
    c.closePath();
    c.fillPath();
}

// ---- Empty list: a light tray with a sheet of paper in it.

void drawEmptyList(Context& c, Size s)
{
    double w = s.width;
    double h = s.height;
    const Color line = rgb(196, 201, 208);
    const Color paper = rgb(250, 251, 252);
    const Color tray = rgb(226, 230, 235);
    // The sheet, sticking out of the tray.
    Rect sheet(w * 0.24, h * 0.06, w * 0.52, h * 0.62);
    c.beginPath();
    c.addRoundedRect(sheet, 4);
    c.setFillColor(paper);
    c.setStrokeColor(line);
    c.setLineWidth(1.5);
    c.fillAndStrokePath();
    c.setStrokeColor(rgb(214, 218, 224));
    c.setLineWidth(2);
    c.setLineCap(platform::LineCap::Round);
    for (int i = 0; i < 3; ++i) {
        double y = sheet.minY() + 9 + i * 8;
        double len = sheet.size.width * (i == 2 ? 0.45 : 0.7);
        c.beginPath();
        c.moveTo(Point(sheet.minX() + 8, y));
        c.lineTo(Point(sheet.minX() + 8 + len, y));
        c.strokePath();
    }
    // The tray: a trapezoid front with a notch where things drop in.
    double top = h * 0.50;
    double bottom = h - 3;
    c.beginPath();
    c.moveTo(Point(3, top));
    c.lineTo(Point(w * 0.32, top));
    c.lineTo(Point(w * 0.38, top + (bottom - top) * 0.30));
    c.lineTo(Point(w * 0.62, top + (bottom - top) * 0.30));
    c.lineTo(Point(w * 0.68, top));
    c.lineTo(Point(w - 3, top));
    c.lineTo(Point(w - 3, bottom - 6));
    c.addArcToPoint(Point(w - 3, bottom), Point(w - 9, bottom), 6);
    c.lineTo(Point(9, bottom));
    c.addArcToPoint(Point(3, bottom), Point(3, bottom - 6), 6);
    c.closePath();
    c.setFillColor(tray);
    c.setStrokeColor(line);
    c.setLineWidth(1.5);
    c.setLineJoin(platform::LineJoin::Round);
    c.fillAndStrokePath();
}

// ---- Emoji faces, drawn on a 24-point square.

void face(Context& c, Size s)
{
    Rect disc = Rect(0, 0, s.width, s.height).insetBy(1, 1);
    c.save();
    c.beginPath();
    c.addEllipseInRect(disc);
    c.clip();
    c.drawRadialGradient({ { 0, rgb(255, 228, 92) }, { 1, rgb(246, 182, 18) } }, Point(s.width * 0.42, s.height * 0.36),
        0, Point(s.width / 2, s.height / 2), s.width * 0.62, platform::GradientDrawsAfterEnd);
    c.restore();
    c.setStrokeColor(rgb(214, 146, 10));
    c.setLineWidth(0.8);
    c.strokeEllipseInRect(disc);
}

const Color kFeature = rgb(92, 52, 18);

void eyes(Context& c, Size s)
{
    c.setFillColor(kFeature);
    c.fillEllipseInRect(Rect(s.width * 0.30, s.height * 0.32, s.width * 0.11, s.height * 0.16));
    c.fillEllipseInRect(Rect(s.width * 0.59, s.height * 0.32, s.width * 0.11, s.height * 0.16));
}

void drawSmile(Context& c, Size s)
{
    face(c, s);
    eyes(c, s);
    c.setStrokeColor(kFeature);
    c.setLineWidth(1.6);
    c.setLineCap(platform::LineCap::Round);
    c.beginPath();
    c.addArc(Point(s.width / 2, s.height * 0.52), s.width * 0.24, kPi * 0.18, kPi * 0.82, true);
    c.strokePath();
}

void drawLaugh(Context& c, Size s)
{
    face(c, s);
    // Eyes squeezed shut with joy.
    c.setStrokeColor(kFeature);
    c.setLineWidth(1.5);
    c.setLineCap(platform::LineCap::Round);
    for (double x : { 0.35, 0.65 }) {
        c.beginPath();
        c.addArc(Point(s.width * x, s.height * 0.42), s.width * 0.08, kPi * 1.1, kPi * 1.9, true);
        c.strokePath();
    }
    // An open mouth with a tongue.
    c.save();
    c.beginPath();
    c.moveTo(Point(s.width * 0.26, s.height * 0.56));
    c.addArc(Point(s.width / 2, s.height * 0.56), s.width * 0.24, kPi, 0, false);
    c.closePath();
    c.setFillColor(rgb(120, 40, 20));
    c.fillPath();
    c.beginPath();
    c.moveTo(Point(s.width * 0.26, s.height * 0.56));
    c.addArc(Point(s.width / 2, s.height * 0.56), s.width * 0.24, kPi, 0, false);
    c.closePath();
    c.clip();
    c.setFillColor(rgb(238, 96, 96));
    c.fillEllipseInRect(Rect(s.width * 0.36, s.height * 0.68, s.width * 0.28, s.height * 0.2));
    c.restore();
}

void drawCry(Context& c, Size s)
{
    face(c, s);
    eyes(c, s);
    c.setStrokeColor(kFeature);
    c.setLineWidth(1.6);
    c.setLineCap(platform::LineCap::Round);
    c.beginPath();
    c.addArc(Point(s.width / 2, s.height * 0.86), s.width * 0.18, kPi * 1.22, kPi * 1.78, true);
    c.strokePath();
    // A tear under the left eye.
    c.setFillColor(rgb(80, 160, 240));
    c.beginPath();
    double tx = s.width * 0.33;
    double ty = s.height * 0.52;
    c.moveTo(Point(tx, ty));
    c.curveTo(Point(tx - 3.2, ty + 4), Point(tx - 2.6, ty + 7), Point(tx, ty + 7));
    c.curveTo(Point(tx + 2.6, ty + 7), Point(tx + 3.2, ty + 4), Point(tx, ty));
    c.fillPath();
}

void drawHeart(Context& c, Size s)
{
    double w = s.width;
    double h = s.height;
    c.beginPath();
    c.moveTo(Point(w / 2, h * 0.88));
    c.curveTo(Point(w * 0.12, h * 0.62), Point(w * 0.02, h * 0.36), Point(w * 0.22, h * 0.20));
    c.curveTo(Point(w * 0.36, h * 0.09), Point(w * 0.48, h * 0.18), Point(w / 2, h * 0.30));
    c.curveTo(Point(w * 0.52, h * 0.18), Point(w * 0.64, h * 0.09), Point(w * 0.78, h * 0.20));
    c.curveTo(Point(w * 0.98, h * 0.36), Point(w * 0.88, h * 0.62), Point(w / 2, h * 0.88));
    c.closePath();
    c.save();
    c.clip();
    c.drawLinearGradient({ { 0, rgb(255, 110, 120) }, { 1, rgb(214, 24, 52) } }, Point(0, h * 0.1), Point(0, h * 0.9));
    c.restore();
    // A small highlight on the left lobe.
    c.setFillColor(Color(1, 1, 1, 0.55));
    c.fillEllipseInRect(Rect(w * 0.24, h * 0.25, w * 0.14, h * 0.10));
}

void drawFlower(Context& c, Size s)
{
    double w = s.width;
    double h = s.height;
    // Stem and leaf.
    c.setStrokeColor(rgb(76, 160, 70));
    c.setLineWidth(1.8);
    c.setLineCap(platform::LineCap::Round);
    c.beginPath();
    c.moveTo(Point(w / 2, h * 0.52));
    c.lineTo(Point(w / 2, h * 0.96));
    c.strokePath();
    c.setFillColor(rgb(96, 184, 84));
    c.beginPath();
    c.moveTo(Point(w / 2, h * 0.82));
    c.curveTo(Point(w * 0.62, h * 0.68), Point(w * 0.80, h * 0.70), Point(w * 0.84, h * 0.72));
    c.curveTo(Point(w * 0.78, h * 0.84), Point(w * 0.62, h * 0.88), Point(w / 2, h * 0.82));
    c.fillPath();
    // Five petals round a yellow heart.
    Point centre(w / 2, h * 0.36);
    double petal = w * 0.17;
    for (int i = 0; i < 5; ++i) {
        double angle = -kPi / 2 + i * 2 * kPi / 5;
        Point p(centre.x + std::cos(angle) * w * 0.17, centre.y + std::sin(angle) * w * 0.17);
        c.setFillColor(rgb(244, 120, 170));
        c.fillEllipseInRect(Rect(p.x - petal, p.y - petal, petal * 2, petal * 2));
    }
    c.setFillColor(rgb(255, 214, 64));
    c.fillEllipseInRect(Rect(centre.x - w * 0.11, centre.y - w * 0.11, w * 0.22, w * 0.22));
}

imagegen::ImageGroup toolkitImages({
    { "orb_gray_logo", { 72, 60 }, drawGrayLogo },
    { "empty_list_icon", { 90, 70 }, drawEmptyList },
    { "smile", { 24, 24 }, drawSmile },
    { "laugh", { 24, 24 }, drawLaugh },
    { "cry", { 24, 24 }, drawCry },
    { "heart", { 24, 24 }, drawHeart },
    { "flower", { 24, 24 }, drawFlower },
});

} // namespace
