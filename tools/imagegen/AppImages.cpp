// The application shell's pictures: the bars and tab buttons of the main
// screen, the login screen's fields and buttons, the warm prompt, the account
// chooser's marks, the function grid's background and icons, the feature
// backgrounds behind those icons, the app icon and the introduction pages.
#include "tools/imagegen/ImageCatalog.h"

#include "platform/graphics/Text.h"

#include <cmath>
#include <functional>
#include <numbers>

using platform::Color;
using platform::Context;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

constexpr double kPi = std::numbers::pi;

Color rgb(int r, int g, int b, double a = 1.0) { return Color::fromRGB255(r, g, b, a); }

const Color kTeal = rgb(26, 158, 143);
const Color kTealDark = rgb(17, 122, 110);
const Color kTealLight = rgb(44, 196, 176);
const Color kIconGrey = rgb(164, 174, 186);
const Color kWhite = Color::whiteColor();

void roundRect(Context& c, const Rect& r, double radius)
{
    c.beginPath();
    c.addRoundedRect(r, radius);
}

void vertical(Context& c, const Rect& r, Color top, Color bottom)
{
    c.drawLinearGradient({ { 0, top }, { 1, bottom } }, Point(0, r.minY()), Point(0, r.maxY()));
}

void line(Context& c, Point a, Point b)
{
    c.beginPath();
    c.moveTo(a);
    c.lineTo(b);
    c.strokePath();
}

void strokeStyle(Context& c, Color color, double width)
{
    c.setStrokeColor(color);
    c.setLineWidth(width);
    c.setLineCap(platform::LineCap::Round);
    c.setLineJoin(platform::LineJoin::Round);
}

// ---- Bars -------------------------------------------------------------------------

void drawTopBar(Context& c, Size s)
{
    vertical(c, Rect(0, 0, s.width, s.height), rgb(32, 170, 154), kTealDark);
    c.setFillColor(rgb(12, 100, 90));
    c.fillRect(Rect(0, s.height - 1, s.width, 1));
}

void drawStatusBar(Context& c, Size s) { vertical(c, Rect(0, 0, s.width, s.height), rgb(30, 166, 151), rgb(28, 162, 147)); }

void drawBottomBar(Context& c, Size s)
{
    vertical(c, Rect(0, 0, s.width, s.height), rgb(48, 58, 70), rgb(36, 44, 54));
    c.setFillColor(rgb(70, 82, 96));
    c.fillRect(Rect(0, 0, s.width, 1));
}

void drawTabButton(Context& c, Size s)
{
    vertical(c, Rect(0, 0, s.width, s.height), rgb(48, 58, 70), rgb(36, 44, 54));
    c.setFillColor(rgb(70, 82, 96));
    c.fillRect(Rect(0, 0, s.width, 1));
}

void drawTabButtonSelected(Context& c, Size s)
{
    vertical(c, Rect(0, 0, s.width, s.height), rgb(30, 37, 46), rgb(26, 32, 40));
    c.setFillColor(kTealLight);
    c.fillRect(Rect(8, 0, s.width - 16, 3));
}

// ---- Tab icons (26 x 26): messages, contacts, settings, grid, circle ----------

void chatIcon(Context& c, Size, Color color)
{
    strokeStyle(c, color, 2);
    c.beginPath();
    c.addRoundedRect(Rect(3, 4, 20, 14), 4);
    c.strokePath();
    c.setFillColor(color);
    c.beginPath();
    c.moveTo(Point(8, 17));
    c.lineTo(Point(7, 23));
    c.lineTo(Point(13, 17));
    c.closePath();
    c.fillPath();
    for (int i = 0; i < 3; ++i)
        c.fillEllipseInRect(Rect(8 + i * 4.5 - 1.4, 11 - 1.4, 2.8, 2.8));
}

void contactsIcon(Context& c, Size, Color color)
{
    strokeStyle(c, color, 2);
    c.beginPath();
    c.addRoundedRect(Rect(5, 3, 17, 20), 3);
    c.strokePath();
    c.setFillColor(color);
    c.fillRect(Rect(3, 7, 3, 2));
    c.fillRect(Rect(3, 12, 3, 2));
    c.fillRect(Rect(3, 17, 3, 2));
    c.fillEllipseInRect(Rect(11, 7, 6, 6));
    c.beginPath();
    c.moveTo(Point(9, 19));
    c.curveTo(Point(9, 14), Point(19, 14), Point(19, 19));
    c.closePath();
    c.fillPath();
}

void gearIcon(Context& c, Size, Color color)
{
    c.setFillColor(color);
    Point centre(13, 13);
    c.beginPath();
    for (int i = 0; i < 16; ++i) {
        double a = i * kPi / 8;
        double r = i % 2 == 0 ? 10.5 : 8;
        double a1 = a - kPi / 16 * 0.6;
        double a2 = a + kPi / 16 * 0.6;
        Point p1(centre.x + r * std::cos(a1), centre.y + r * std::sin(a1));
        Point p2(centre.x + r * std::cos(a2), centre.y + r * std::sin(a2));
        if (i == 0)
            c.moveTo(p1);
        else
            c.lineTo(p1);
        c.lineTo(p2);
    }
    c.closePath();
    c.addEllipseInRect(Rect(9, 9, 8, 8));
    c.fillPath(platform::FillRule::EvenOdd);
}

void gridIcon(Context& c, Size, Color color)
{
    c.setFillColor(color);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 2; ++col) {
            roundRect(c, Rect(3 + col * 11, 3 + row * 11, 9, 9), 2.5);
            c.fillPath();
        }
}

void circleIcon(Context& c, Size, Color color)
{
    strokeStyle(c, color, 2);
    c.strokeEllipseInRect(Rect(3, 3, 20, 20));
    c.setFillColor(color);
    c.fillEllipseInRect(Rect(10, 7, 6, 6));
    c.beginPath();
    c.moveTo(Point(7.5, 19));
    c.curveTo(Point(8, 13.5), Point(18, 13.5), Point(18.5, 19));
    c.closePath();
    c.fillPath();
}

using IconDraw = void (*)(Context&, Size, Color);

imagegen::ImageEntry tabIcon(const char* name, IconDraw draw, Color color)
{
    return { name, { 26, 26 }, [draw, color](Context& c, Size s) { draw(c, s, color); } };
}

// ---- Check boxes, fields, buttons ---------------------------------------------------

void drawCheckboxBg(Context& c, Size s)
{
    roundRect(c, Rect(1, 1, s.width - 2, s.height - 2), 4);
    c.setFillColor(kWhite);
    c.setStrokeColor(rgb(150, 170, 140));
    c.setLineWidth(1.2);
    c.fillAndStrokePath();
}

void drawCheckboxFg(Context& c, Size s)
{
    roundRect(c, Rect(1, 1, s.width - 2, s.height - 2), 4);
    c.setFillColor(kTeal);
    c.fillPath();
    strokeStyle(c, kWhite, 2.4);
    c.beginPath();
    c.moveTo(Point(s.width * 0.24, s.height * 0.52));
    c.lineTo(Point(s.width * 0.43, s.height * 0.70));
    c.lineTo(Point(s.width * 0.77, s.height * 0.32));
    c.strokePath();
}

void drawInputBg(Context& c, Size s)
{
    roundRect(c, Rect(0.5, 0.5, s.width - 1, s.height - 1), 6);
    c.setFillColor(kWhite);
    c.setStrokeColor(rgb(190, 208, 172));
    c.setLineWidth(1);
    c.fillAndStrokePath();
    c.setFillColor(rgb(224, 232, 216));
    c.fillRect(Rect(10, s.height / 2, s.width - 20, 1));
}

void drawUserIcon(Context& c, Size)
{
    c.setFillColor(rgb(140, 160, 130));
    c.fillEllipseInRect(Rect(6, 2, 8, 8));
    c.beginPath();
    c.moveTo(Point(2, 18));
    c.curveTo(Point(2, 10), Point(18, 10), Point(18, 18));
    c.closePath();
    c.fillPath();
}

void drawLockIcon(Context& c, Size)
{
    strokeStyle(c, rgb(140, 160, 130), 2);
    c.beginPath();
    c.addArc(Point(10, 8), 4.5, kPi, 0, true);
    c.strokePath();
    c.setFillColor(rgb(140, 160, 130));
    roundRect(c, Rect(3, 8, 14, 11), 2.5);
    c.fillPath();
    c.setFillColor(kWhite);
    c.fillEllipseInRect(Rect(8.5, 11.5, 3, 3));
}

void drawLoginButton(Context& c, Size s)
{
    c.save();
    roundRect(c, Rect(0, 0, s.width, s.height), 6);
    c.clip();
    vertical(c, Rect(0, 0, s.width, s.height), rgb(40, 178, 161), kTealDark);
    c.restore();
    c.setFillColor(rgb(255, 255, 255, 0.18));
    c.fillRect(Rect(6, 1, s.width - 12, 1));
}

void drawTimePwdBg(Context& c, Size s)
{
    roundRect(c, Rect(0.5, 0.5, s.width - 1, s.height - 1), s.height / 2 - 0.5);
    c.setFillColor(rgb(232, 247, 244));
    c.setStrokeColor(kTeal);
    c.setLineWidth(1);
    c.fillAndStrokePath();
}

void drawLoginHeader(Context& c, Size s)
{
    vertical(c, Rect(0, 0, s.width, s.height), rgb(34, 172, 156), rgb(22, 140, 127));
    // Soft light circles, and a gentle wave at the foot that meets the green page.
    c.setFillColor(rgb(255, 255, 255, 0.07));
    c.fillEllipseInRect(Rect(-60, -80, 220, 220));
    c.fillEllipseInRect(Rect(200, 20, 180, 180));
    c.setFillColor(rgb(221, 243, 176));
    c.beginPath();
    c.moveTo(Point(0, s.height - 18));
    c.curveTo(Point(s.width * 0.3, s.height - 2), Point(s.width * 0.7, s.height - 34), Point(s.width, s.height - 14));
    c.lineTo(Point(s.width, s.height));
    c.lineTo(Point(0, s.height));
    c.closePath();
    c.fillPath();
}

// The app's emblem: a speech bubble holding a schoolhouse, white on teal.
void emblem(Context& c, const Rect& r, Color ink)
{
    double w = r.width();
    double h = r.height();
    Rect body(r.minX() + w * 0.14, r.minY() + h * 0.16, w * 0.72, h * 0.54);
    c.setFillColor(ink);
    roundRect(c, body, w * 0.12);
    c.fillPath();
    c.beginPath();
    c.moveTo(Point(body.minX() + w * 0.16, body.maxY() - 1));
    c.lineTo(Point(body.minX() + w * 0.10, body.maxY() + h * 0.16));
    c.lineTo(Point(body.minX() + w * 0.34, body.maxY() - 1));
    c.closePath();
    c.fillPath();
    double cx = body.midX();
    double base = body.maxY() - body.height() * 0.16;
    double houseW = body.width() * 0.46;
    double wall = body.height() * 0.30;
    double roof = body.height() * 0.24;
    c.setFillColor(kTeal);
    c.beginPath();
    c.moveTo(Point(cx - houseW / 2 - w * 0.04, base - wall));
    c.lineTo(Point(cx, base - wall - roof));
    c.lineTo(Point(cx + houseW / 2 + w * 0.04, base - wall));
    c.closePath();
    c.fillPath();
    c.fillRect(Rect(cx - houseW / 2, base - wall, houseW, wall));
    c.setFillColor(ink);
    c.fillRect(Rect(cx - houseW * 0.12, base - wall * 0.62, houseW * 0.24, wall * 0.62));
}

void drawAboutIcon(Context& c, Size s)
{
    c.save();
    roundRect(c, Rect(2, 2, s.width - 4, s.height - 4), s.width * 0.22);
    c.clip();
    vertical(c, Rect(0, 0, s.width, s.height), rgb(46, 190, 172), kTealDark);
    c.restore();
    roundRect(c, Rect(2, 2, s.width - 4, s.height - 4), s.width * 0.22);
    c.setStrokeColor(rgb(255, 255, 255, 0.5));
    c.setLineWidth(1.5);
    c.strokePath();
    emblem(c, Rect(0, 0, s.width, s.height), kWhite);
}

// ---- Warm prompt, chooser, navigation ---------------------------------------------

void drawPromptHeader(Context& c, Size s) { vertical(c, Rect(0, 0, s.width, s.height), rgb(36, 176, 160), kTeal); }

void drawPromptClose(Context& c, Size s)
{
    strokeStyle(c, kWhite, 2);
    double m = s.width * 0.34;
    line(c, Point(m, m), Point(s.width - m, s.height - m));
    line(c, Point(s.width - m, m), Point(m, s.height - m));
}

void drawPromptButton(Context& c, Size s)
{
    c.save();
    roundRect(c, Rect(0, 0, s.width, s.height), 5);
    c.clip();
    vertical(c, Rect(0, 0, s.width, s.height), rgb(40, 178, 161), kTeal);
    c.restore();
}

void drawDownArrow(Context& c, Size s)
{
    c.setFillColor(kWhite);
    c.beginPath();
    c.moveTo(Point(0, 0));
    c.lineTo(Point(s.width, 0));
    c.lineTo(Point(s.width / 2, s.height));
    c.closePath();
    c.fillPath();
}

void drawBackButton(Context& c, Size s)
{
    strokeStyle(c, kWhite, 2.5);
    c.beginPath();
    c.moveTo(Point(s.width * 0.56, s.height * 0.30));
    c.lineTo(Point(s.width * 0.36, s.height * 0.50));
    c.lineTo(Point(s.width * 0.56, s.height * 0.70));
    c.strokePath();
}

void drawDefaultAvatar(Context& c, Size s)
{
    c.setFillColor(rgb(208, 214, 222));
    c.fillRect(Rect(0, 0, s.width, s.height));
    c.setFillColor(kWhite);
    c.fillEllipseInRect(Rect(s.width * 0.32, s.height * 0.16, s.width * 0.36, s.height * 0.36));
    c.beginPath();
    c.moveTo(Point(s.width * 0.12, s.height));
    c.curveTo(Point(s.width * 0.14, s.height * 0.52), Point(s.width * 0.86, s.height * 0.52), Point(s.width * 0.88, s.height));
    c.closePath();
    c.fillPath();
}

void drawChecked(Context& c, Size s)
{
    c.setFillColor(kTeal);
    c.fillEllipseInRect(Rect(1, 1, s.width - 2, s.height - 2));
    strokeStyle(c, kWhite, 2.4);
    c.beginPath();
    c.moveTo(Point(s.width * 0.27, s.height * 0.52));
    c.lineTo(Point(s.width * 0.44, s.height * 0.68));
    c.lineTo(Point(s.width * 0.74, s.height * 0.35));
    c.strokePath();
}

void drawNavBackground(Context& c, Size s)
{
    vertical(c, Rect(0, 0, s.width, s.height), rgb(24, 58, 74), rgb(18, 92, 96));
    // Large, faint rings of light: depth behind the tiles without noise.
    c.setFillColor(rgb(255, 255, 255, 0.05));
    c.fillEllipseInRect(Rect(-120, -60, 320, 320));
    c.fillEllipseInRect(Rect(150, 250, 300, 300));
    c.setFillColor(rgb(255, 255, 255, 0.035));
    c.fillEllipseInRect(Rect(40, 380, 200, 200));
    c.setStrokeColor(rgb(255, 255, 255, 0.06));
    c.setLineWidth(1);
    c.strokeEllipseInRect(Rect(180, -40, 200, 200));
}

// ---- Grid icons (46 x 46, white) -----------------------------------------------------

void iconAttendance(Context& c, Size)
{
    strokeStyle(c, kWhite, 3);
    c.strokeEllipseInRect(Rect(7, 7, 32, 32));
    line(c, Point(23, 13), Point(23, 23));
    line(c, Point(23, 23), Point(30, 27));
}

void iconNotice(Context& c, Size)
{
    c.setFillColor(kWhite);
    c.beginPath();
    c.moveTo(Point(8, 18));
    c.lineTo(Point(16, 18));
    c.lineTo(Point(32, 9));
    c.lineTo(Point(32, 37));
    c.lineTo(Point(16, 28));
    c.lineTo(Point(8, 28));
    c.closePath();
    c.fillPath();
    c.fillRect(Rect(12, 28, 5, 9));
    strokeStyle(c, kWhite, 2.5);
    c.beginPath();
    c.addArc(Point(33, 23), 7, -kPi / 3, kPi / 3, false);
    c.strokePath();
}

void iconSchedule(Context& c, Size)
{
    strokeStyle(c, kWhite, 3);
    c.beginPath();
    c.addRoundedRect(Rect(7, 10, 32, 28), 4);
    c.strokePath();
    line(c, Point(15, 6), Point(15, 13));
    line(c, Point(31, 6), Point(31, 13));
    c.setFillColor(kWhite);
    c.fillRect(Rect(7, 16, 32, 3));
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col)
            c.fillRect(Rect(12 + col * 9, 23 + row * 7, 5, 4));
}

void iconAlbum(Context& c, Size)
{
    strokeStyle(c, kWhite, 3);
    c.beginPath();
    c.addRoundedRect(Rect(6, 10, 34, 26), 4);
    c.strokePath();
    c.setFillColor(kWhite);
    c.fillEllipseInRect(Rect(12, 15, 7, 7));
    c.beginPath();
    c.moveTo(Point(9, 33));
    c.lineTo(Point(19, 23));
    c.lineTo(Point(25, 29));
    c.lineTo(Point(30, 24));
    c.lineTo(Point(37, 33));
    c.closePath();
    c.fillPath();
}

void iconMail(Context& c, Size)
{
    strokeStyle(c, kWhite, 3);
    c.beginPath();
    c.addRoundedRect(Rect(6, 11, 34, 24), 3);
    c.strokePath();
    c.beginPath();
    c.moveTo(Point(8, 14));
    c.lineTo(Point(23, 26));
    c.lineTo(Point(38, 14));
    c.strokePath();
}

void iconVideo(Context& c, Size)
{
    strokeStyle(c, kWhite, 3);
    c.strokeEllipseInRect(Rect(6, 6, 34, 34));
    c.setFillColor(kWhite);
    c.beginPath();
    c.moveTo(Point(19, 15));
    c.lineTo(Point(32, 23));
    c.lineTo(Point(19, 31));
    c.closePath();
    c.fillPath();
}

void iconHelper(Context& c, Size)
{
    // A heart held in an open hand: help for growing up.
    c.setFillColor(kWhite);
    c.beginPath();
    c.moveTo(Point(23, 26));
    c.curveTo(Point(12, 18), Point(14, 8), Point(23, 13));
    c.curveTo(Point(32, 8), Point(34, 18), Point(23, 26));
    c.closePath();
    c.fillPath();
    strokeStyle(c, kWhite, 3);
    c.beginPath();
    c.moveTo(Point(6, 30));
    c.curveTo(Point(14, 30), Point(16, 35), Point(24, 35));
    c.lineTo(Point(32, 35));
    c.curveTo(Point(36, 35), Point(38, 32), Point(41, 29));
    c.strokePath();
}

void iconClass(Context& c, Size)
{
    c.setFillColor(kWhite);
    c.beginPath();
    c.moveTo(Point(4, 18));
    c.lineTo(Point(23, 9));
    c.lineTo(Point(42, 18));
    c.lineTo(Point(23, 27));
    c.closePath();
    c.fillPath();
    c.beginPath();
    c.moveTo(Point(12, 23));
    c.lineTo(Point(12, 31));
    c.curveTo(Point(18, 37), Point(28, 37), Point(34, 31));
    c.lineTo(Point(34, 23));
    c.lineTo(Point(23, 29));
    c.closePath();
    c.fillPath();
    strokeStyle(c, kWhite, 2);
    line(c, Point(38, 20), Point(38, 31));
}

void iconPhone(Context& c, Size)
{
    c.setFillColor(kWhite);
    c.beginPath();
    c.moveTo(Point(12, 8));
    c.lineTo(Point(18, 8));
    c.lineTo(Point(21, 16));
    c.lineTo(Point(17, 20));
    c.curveTo(Point(19, 25), Point(22, 28), Point(27, 30));
    c.lineTo(Point(31, 26));
    c.lineTo(Point(39, 29));
    c.lineTo(Point(39, 35));
    c.curveTo(Point(39, 38), Point(36, 40), Point(33, 39));
    c.curveTo(Point(20, 37), Point(9, 26), Point(8, 13));
    c.curveTo(Point(8, 10), Point(10, 8), Point(12, 8));
    c.closePath();
    c.fillPath();
}

void iconCloud(Context& c, Size)
{
    c.setFillColor(kWhite);
    c.fillEllipseInRect(Rect(6, 20, 16, 16));
    c.fillEllipseInRect(Rect(13, 11, 20, 20));
    c.fillEllipseInRect(Rect(24, 18, 16, 16));
    c.fillRect(Rect(14, 26, 18, 10));
    c.setFillColor(rgb(0, 102, 102));
    c.beginPath();
    c.moveTo(Point(19, 27));
    c.lineTo(Point(27, 27));
    c.lineTo(Point(23, 32));
    c.closePath();
    c.fillPath();
}

void iconFlame(Context& c, Size)
{
    c.setFillColor(kWhite);
    c.beginPath();
    c.moveTo(Point(23, 5));
    c.curveTo(Point(26, 14), Point(36, 18), Point(36, 28));
    c.curveTo(Point(36, 36), Point(30, 41), Point(23, 41));
    c.curveTo(Point(16, 41), Point(10, 36), Point(10, 28));
    c.curveTo(Point(10, 21), Point(15, 18), Point(17, 13));
    c.curveTo(Point(19, 18), Point(20, 20), Point(22, 21));
    c.curveTo(Point(23, 15), Point(22, 10), Point(23, 5));
    c.closePath();
    c.fillPath();
    c.setFillColor(rgb(255, 51, 0));
    c.beginPath();
    c.moveTo(Point(23, 24));
    c.curveTo(Point(26, 29), Point(29, 31), Point(29, 34));
    c.curveTo(Point(29, 37), Point(26, 39), Point(23, 39));
    c.curveTo(Point(20, 39), Point(17, 37), Point(17, 34));
    c.curveTo(Point(17, 30), Point(21, 29), Point(23, 24));
    c.closePath();
    c.fillPath();
}

imagegen::ImageEntry gridIcon(const char* name, void (*draw)(Context&, Size))
{
    return { name, { 46, 46 }, draw };
}

// Handset with two call waves: calls placed through the school's line.
void iconCallLine(Context& c, Size)
{
    c.setFillColor(kWhite);
    c.beginPath();
    c.moveTo(Point(11, 12));
    c.lineTo(Point(16, 12));
    c.lineTo(Point(19, 19));
    c.lineTo(Point(15.5, 22.5));
    c.curveTo(Point(17.5, 27), Point(20, 29.5), Point(24.5, 31.5));
    c.lineTo(Point(28, 28));
    c.lineTo(Point(35, 31));
    c.lineTo(Point(35, 36));
    c.curveTo(Point(35, 38.5), Point(32.5, 40.5), Point(30, 39.5));
    c.curveTo(Point(18.5, 37.5), Point(8.5, 27.5), Point(7.5, 16));
    c.curveTo(Point(7.5, 13.5), Point(9, 12), Point(11, 12));
    c.closePath();
    c.fillPath();
    strokeStyle(c, kWhite, 2.5);
    c.beginPath();
    c.addArc(Point(22, 24), 7, -kPi / 2, 0, true);
    c.strokePath();
    c.beginPath();
    c.addArc(Point(22, 24), 13, -kPi / 2, 0, true);
    c.strokePath();
}

void bubbleOutline(Context& c)
{
    c.beginPath();
    c.moveTo(Point(13, 9));
    c.lineTo(Point(33, 9));
    c.curveTo(Point(37.5, 9), Point(40, 11.5), Point(40, 16));
    c.lineTo(Point(40, 27));
    c.curveTo(Point(40, 31.5), Point(37.5, 34), Point(33, 34));
    c.lineTo(Point(20, 34));
    c.lineTo(Point(12, 40));
    c.lineTo(Point(13, 34));
    c.curveTo(Point(8.5, 34), Point(6, 31.5), Point(6, 27));
    c.lineTo(Point(6, 16));
    c.curveTo(Point(6, 11.5), Point(8.5, 9), Point(13, 9));
    c.closePath();
}

// A speech bubble holding lines of text: the messages sent before.
void iconMessageHistory(Context& c, Size)
{
    strokeStyle(c, kWhite, 3);
    bubbleOutline(c);
    c.strokePath();
    strokeStyle(c, kWhite, 2.5);
    line(c, Point(13, 17), Point(33, 17));
    line(c, Point(13, 22), Point(33, 22));
    line(c, Point(13, 27), Point(25, 27));
}

// A paper plane: one message going out to many.
void iconSendMany(Context& c, Size)
{
    c.setFillColor(kWhite);
    c.beginPath();
    c.moveTo(Point(6, 22));
    c.lineTo(Point(40, 8));
    c.lineTo(Point(33, 37));
    c.lineTo(Point(23, 30));
    c.lineTo(Point(36, 13));
    c.lineTo(Point(18, 27));
    c.closePath();
    c.fillPath();
    c.beginPath();
    c.moveTo(Point(19, 29));
    c.lineTo(Point(21, 31));
    c.lineTo(Point(19, 39));
    c.closePath();
    c.fillPath();
}

// A notice board on two legs with a pin and lines of text.
void iconBulletin(Context& c, Size)
{
    strokeStyle(c, kWhite, 3);
    c.beginPath();
    c.addRoundedRect(Rect(7, 10, 32, 23), 3);
    c.strokePath();
    line(c, Point(14, 33), Point(11, 40));
    line(c, Point(32, 33), Point(35, 40));
    strokeStyle(c, kWhite, 2.5);
    line(c, Point(13, 18), Point(33, 18));
    line(c, Point(13, 23), Point(33, 23));
    line(c, Point(13, 28), Point(25, 28));
    c.setFillColor(kWhite);
    c.fillEllipseInRect(Rect(19.5, 5, 7, 7));
}

void starPath(Context& c, Point centre, double outer, double inner)
{
    for (int i = 0; i < 10; ++i) {
        double a = -kPi / 2 + i * kPi / 5;
        double r = i % 2 == 0 ? outer : inner;
        Point p(centre.x + r * std::cos(a), centre.y + r * std::sin(a));
        if (i == 0)
            c.moveTo(p);
        else
            c.lineTo(p);
    }
    c.closePath();
}

// A solid speech bubble with a star cut out of it: a remark on a pupil.
void iconRemark(Context& c, Size)
{
    c.setFillColor(kWhite);
    bubbleOutline(c);
    starPath(c, Point(23, 22), 9.5, 4);
    c.fillPath(platform::FillRule::EvenOdd);
}

// An exercise book with a pencil across its corner.
void iconHomework(Context& c, Size)
{
    strokeStyle(c, kWhite, 3);
    c.beginPath();
    c.addRoundedRect(Rect(9, 6, 23, 32), 3);
    c.strokePath();
    line(c, Point(14, 7), Point(14, 37));
    strokeStyle(c, kWhite, 2.5);
    line(c, Point(19, 14), Point(27, 14));
    line(c, Point(19, 19), Point(27, 19));
    c.save();
    c.translate(32, 30);
    c.rotate(kPi / 4);
    // The pencil, drawn upright and turned: body, collar and tip.
    c.setFillColor(kWhite);
    roundRect(c, Rect(-3.5, -17, 7, 3.5), 1.5);
    c.fillPath();
    c.fillRect(Rect(-3.5, -12.5, 7, 15));
    c.beginPath();
    c.moveTo(Point(-3.5, 3.5));
    c.lineTo(Point(3.5, 3.5));
    c.lineTo(Point(0, 10));
    c.closePath();
    c.fillPath();
    c.restore();
}

// A headset: headband, ear cups and a microphone on its arm.
void iconHeadset(Context& c, Size)
{
    strokeStyle(c, kWhite, 3);
    c.beginPath();
    c.addArc(Point(23, 24), 14, kPi, 0, true);
    c.strokePath();
    c.setFillColor(kWhite);
    roundRect(c, Rect(6, 21, 8, 13), 3);
    c.fillPath();
    roundRect(c, Rect(32, 21, 8, 13), 3);
    c.fillPath();
    strokeStyle(c, kWhite, 2.5);
    c.beginPath();
    c.moveTo(Point(36, 34));
    c.curveTo(Point(36, 39), Point(32, 40), Point(27, 40));
    c.strokePath();
    roundRect(c, Rect(20, 37.5, 8, 5), 2.5);
    c.fillPath();
}

// A clipboard holding ticked lines: a questionnaire.
void iconChecklist(Context& c, Size)
{
    strokeStyle(c, kWhite, 3);
    c.beginPath();
    c.addRoundedRect(Rect(9, 8, 28, 32), 3);
    c.strokePath();
    c.setFillColor(kWhite);
    roundRect(c, Rect(16, 5, 14, 7), 2);
    c.fillPath();
    strokeStyle(c, kWhite, 2.5);
    for (int i = 0; i < 3; ++i) {
        double y = 19 + i * 7;
        c.beginPath();
        c.moveTo(Point(13.5, y));
        c.lineTo(Point(15.5, y + 2));
        c.lineTo(Point(19, y - 2));
        c.strokePath();
        line(c, Point(23, y), Point(32, y));
    }
}

// An open magazine: two pages, text on the left, a picture on the right.
void iconMagazine(Context& c, Size)
{
    strokeStyle(c, kWhite, 3);
    c.beginPath();
    c.moveTo(Point(23, 13));
    c.curveTo(Point(18, 9.5), Point(11, 9.5), Point(5, 11));
    c.lineTo(Point(5, 35));
    c.curveTo(Point(11, 33.5), Point(18, 33.5), Point(23, 37));
    c.curveTo(Point(28, 33.5), Point(35, 33.5), Point(41, 35));
    c.lineTo(Point(41, 11));
    c.curveTo(Point(35, 9.5), Point(28, 9.5), Point(23, 13));
    c.closePath();
    c.strokePath();
    line(c, Point(23, 13), Point(23, 36));
    strokeStyle(c, kWhite, 2);
    line(c, Point(9.5, 17), Point(18.5, 17.5));
    line(c, Point(9.5, 22), Point(18.5, 22.5));
    line(c, Point(9.5, 27), Point(18.5, 27.5));
    c.setFillColor(kWhite);
    roundRect(c, Rect(27.5, 15.5, 9.5, 13), 1.5);
    c.fillPath();
}

// ---- Feature backgrounds (76 x 76): the tiles behind a feature's icon -------------
//
// A rounded square in the feature's colour, from the function grid's palette,
// a little lighter at the top. The icon sits 15 points inside, at its own size.

void featureTile(Context& c, Size s, Color top, Color bottom)
{
    c.save();
    roundRect(c, Rect(0, 0, s.width, s.height), 12);
    c.clip();
    vertical(c, Rect(0, 0, s.width, s.height), top, bottom);
    c.restore();
}

imagegen::ImageEntry featureBackground(const char* name, int r, int g, int b)
{
    // The lower edge a shade darker than the feature's colour, the top a shade lighter.
    auto mix = [](int v, int towards, double t) { return int(std::lround(v + (towards - v) * t)); };
    Color top = rgb(mix(r, 255, 0.08), mix(g, 255, 0.08), mix(b, 255, 0.08));
    Color bottom = rgb(mix(r, 0, 0.06), mix(g, 0, 0.06), mix(b, 0, 0.06));
    return { name, { 76, 76 }, [top, bottom](Context& c, Size s) { featureTile(c, s, top, bottom); } };
}

// ---- Introduction pages -------------------------------------------------------------

// One page: a coloured backdrop, a large illustration on a white disc and,
// under it, the feature's name and a line on what it does. The short (480
// point) pages keep the disc smaller and higher, so the words stay clear of
// the close button the last page carries 80 points above its bottom.
void introPage(Context& c, Size s, Color top, Color bottom, const std::function<void(Context&, const Rect&)>& art,
    const char* title, const char* line)
{
    vertical(c, Rect(0, 0, s.width, s.height), top, bottom);
    c.setFillColor(rgb(255, 255, 255, 0.06));
    c.fillEllipseInRect(Rect(-80, -40, 260, 260));
    c.fillEllipseInRect(Rect(180, s.height * 0.55, 240, 240));
    const bool tall = s.height >= 568;
    const double side = 200;
    const double scale = tall ? 1.0 : 0.85;
    Rect disc((s.width - side * scale) / 2, s.height * (tall ? 0.2 : 0.17), side * scale, side * scale);
    c.setFillColor(rgb(255, 255, 255, 0.16));
    c.fillEllipseInRect(disc.insetBy(-16 * scale, -16 * scale));
    c.setFillColor(kWhite);
    c.fillEllipseInRect(disc);
    // The art is drawn for a 200-point disc.
    c.save();
    c.translate(disc.minX(), disc.minY());
    c.scaleBy(scale, scale);
    art(c, Rect(0, 0, side, side));
    c.restore();

    const platform::Font titleFont = platform::Font::boldSystemFont(24);
    const platform::Font lineFont = platform::Font::systemFont(15);
    double y = disc.maxY() + (tall ? 44 : 30);
    platform::drawText(c, title, titleFont, Rect(20, y, s.width - 40, titleFont.lineHeight()), kWhite,
        platform::LineBreakMode::Clip, platform::TextAlignment::Center, 1);
    y += titleFont.lineHeight() + 12;
    platform::drawText(c, line, lineFont, Rect(20, y, s.width - 40, lineFont.lineHeight() * 2),
        rgb(255, 255, 255, 0.88), platform::LineBreakMode::WordWrap, platform::TextAlignment::Center, 2);
}

void artChat(Context& c, const Rect& d, Color accent)
{
    c.setFillColor(accent);
    roundRect(c, Rect(d.minX() + 34, d.minY() + 50, 100, 50), 14);
    c.fillPath();
    c.setFillColor(rgb(226, 232, 238));
    roundRect(c, Rect(d.minX() + 70, d.minY() + 110, 96, 44), 14);
    c.fillPath();
    c.setFillColor(kWhite);
    for (int i = 0; i < 3; ++i)
        c.fillEllipseInRect(Rect(d.minX() + 62 + i * 16, d.minY() + 70, 9, 9));
}

void artCalendar(Context& c, const Rect& d, Color accent)
{
    Rect card(d.minX() + 46, d.minY() + 46, 108, 104);
    c.setFillColor(rgb(236, 240, 244));
    roundRect(c, card, 10);
    c.fillPath();
    c.setFillColor(accent);
    c.save();
    roundRect(c, card, 10);
    c.clip();
    c.fillRect(Rect(card.minX(), card.minY(), card.width(), 28));
    c.restore();
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col) {
            c.setFillColor(row == 1 && col == 2 ? accent : rgb(200, 208, 216));
            roundRect(c, Rect(card.minX() + 12 + col * 23, card.minY() + 40 + row * 20, 15, 12), 3);
            c.fillPath();
        }
}

void artPhotos(Context& c, const Rect& d, Color accent)
{
    c.setFillColor(rgb(226, 232, 238));
    roundRect(c, Rect(d.minX() + 38, d.minY() + 56, 96, 76), 8);
    c.fillPath();
    c.setFillColor(accent);
    roundRect(c, Rect(d.minX() + 64, d.minY() + 74, 100, 78), 8);
    c.fillPath();
    c.setFillColor(kWhite);
    c.fillEllipseInRect(Rect(d.minX() + 78, d.minY() + 84, 16, 16));
    c.beginPath();
    c.moveTo(Point(d.minX() + 70, d.minY() + 146));
    c.lineTo(Point(d.minX() + 100, d.minY() + 112));
    c.lineTo(Point(d.minX() + 120, d.minY() + 132));
    c.lineTo(Point(d.minX() + 136, d.minY() + 118));
    c.lineTo(Point(d.minX() + 158, d.minY() + 146));
    c.closePath();
    c.fillPath();
}

void artGrid(Context& c, const Rect& d, Color accent)
{
    const Color tiles[] = { accent, rgb(76, 192, 138), rgb(242, 144, 71), rgb(0, 153, 204) };
    for (int i = 0; i < 4; ++i) {
        c.setFillColor(tiles[i]);
        roundRect(c, Rect(d.minX() + 52 + (i % 2) * 52, d.minY() + 52 + (i / 2) * 52, 44, 44), 9);
        c.fillPath();
    }
}

imagegen::ImageEntry introEntry(const std::string& name, double height, Color top, Color bottom,
    void (*art)(Context&, const Rect&, Color), Color accent, const char* title, const char* line)
{
    return { name, { 320, height }, [top, bottom, art, accent, title, line](Context& c, Size s) {
                introPage(
                    c, s, top, bottom, [art, accent](Context& cc, const Rect& d) { art(cc, d, accent); }, title, line);
            } };
}

void drawIntroClose(Context& c, Size s)
{
    Rect pill(16, 14, s.width - 32, s.height - 28);
    roundRect(c, pill, pill.height() / 2);
    c.setFillColor(rgb(255, 255, 255, 0.22));
    c.setStrokeColor(kWhite);
    c.setLineWidth(2);
    c.fillAndStrokePath();
}

std::vector<imagegen::ImageEntry> introductionPages()
{
    struct Page {
        const char* base;
        Color top;
        Color bottom;
        void (*art)(Context&, const Rect&, Color);
        Color accent;
        const char* title;
        const char* line;
    };
    const Page pages[] = {
        { "introduction_teacher_00", rgb(30, 170, 154), rgb(18, 118, 108), artChat, kTeal, "家校互动",
            "文字、照片、语音，随时与家长沟通" },
        { "introduction_teacher_01", rgb(242, 150, 80), rgb(214, 108, 50), artCalendar, rgb(242, 144, 71), "班级通知",
            "一次发给全班家长，谁已读一目了然" },
        { "introduction_teacher_02", rgb(60, 140, 210), rgb(36, 98, 170), artGrid, rgb(165, 74, 209), "教学工具",
            "点评、相册、课程表，一触即达" },
        { "introduction_parent_00", rgb(30, 170, 154), rgb(18, 118, 108), artChat, kTeal, "家校互动",
            "老师的消息及时收到，随时回复" },
        { "introduction_parent_01", rgb(110, 96, 200), rgb(76, 62, 160), artPhotos, rgb(0, 153, 204), "班级圈",
            "孩子在校的点滴，照片里都看得到" },
    };
    std::vector<imagegen::ImageEntry> entries;
    for (const auto& page : pages) {
        entries.push_back(
            introEntry(page.base, 480, page.top, page.bottom, page.art, page.accent, page.title, page.line));
        entries.push_back(introEntry(std::string(page.base) + "-568h", 568, page.top, page.bottom, page.art,
            page.accent, page.title, page.line));
    }
    return entries;
}

std::vector<imagegen::ImageEntry> allEntries()
{
    std::vector<imagegen::ImageEntry> entries {
        { "public_topbar_bg", { 320, 44 }, drawTopBar },
        { "public_statusbar_bg", { 320, 20 }, drawStatusBar },
        { "main_bottom_bar_bg", { 320, 49 }, drawBottomBar },
        { "main_bottom_btn_bg", { 64, 49 }, drawTabButton },
        { "main_bottom_btn_bg_s", { 64, 49 }, drawTabButtonSelected },
        tabIcon("main_btn_00", chatIcon, kIconGrey),
        tabIcon("main_btn_00_s", chatIcon, kTealLight),
        tabIcon("main_btn_01", contactsIcon, kIconGrey),
        tabIcon("main_btn_01_s", contactsIcon, kTealLight),
        tabIcon("main_btn_02", gearIcon, kIconGrey),
        tabIcon("main_btn_02_s", gearIcon, kTealLight),
        tabIcon("main_btn_04", gridIcon, kIconGrey),
        tabIcon("main_btn_04_s", gridIcon, kTealLight),
        tabIcon("main_btn_05", circleIcon, kIconGrey),
        tabIcon("main_btn_05_s", circleIcon, kTealLight),
        { "login_checkbox_bg", { 22, 22 }, drawCheckboxBg },
        { "login_checkbox_fg", { 22, 22 }, drawCheckboxFg },
        { "login_input_bg", { 280, 88 }, drawInputBg },
        { "login_user_icon", { 20, 20 }, drawUserIcon },
        { "login_lock_icon", { 20, 20 }, drawLockIcon },
        { "login_btn_bg", { 280, 44 }, drawLoginButton },
        { "login_timepwd_bg", { 86, 30 }, drawTimePwdBg },
        { "login_header_bg", { 320, 210 }, drawLoginHeader },
        { "about_icon", { 100, 100 }, drawAboutIcon },
        { "warm_prompt_header", { 240, 44 }, drawPromptHeader },
        { "warm_prompt_close", { 40, 40 }, drawPromptClose },
        { "warm_prompt_btn_bg", { 208, 34 }, drawPromptButton },
        { "message_down_icon", { 10, 7 }, drawDownArrow },
        { "public_back_btn", { 44, 44 }, drawBackButton },
        { "account_default_avatar", { 50, 50 }, drawDefaultAvatar },
        { "account_checked", { 24, 24 }, drawChecked },
        { "nav_background", { 320, 568 }, drawNavBackground },
        gridIcon("grid_item_icon_08", iconAttendance),
        gridIcon("grid_item_icon_12", iconNotice),
        gridIcon("grid_item_icon_13", iconSchedule),
        gridIcon("grid_item_icon_14", iconAlbum),
        gridIcon("grid_item_icon_18", iconMail),
        gridIcon("grid_item_icon_26", iconVideo),
        gridIcon("grid_item_icon_27", iconHelper),
        gridIcon("grid_item_icon_28", iconClass),
        gridIcon("grid_item_icon_29", iconPhone),
        gridIcon("grid_item_icon_30", iconCloud),
        gridIcon("grid_item_icon_31", iconFlame),
        gridIcon("grid_item_icon_02", iconSendMany),
        gridIcon("grid_item_icon_03", iconCallLine),
        gridIcon("grid_item_icon_04", iconMessageHistory),
        gridIcon("grid_item_icon_05", iconBulletin),
        gridIcon("grid_item_icon_06", iconRemark),
        gridIcon("grid_item_icon_07", iconHomework),
        gridIcon("grid_item_icon_09", iconHeadset),
        gridIcon("grid_item_icon_15", iconChecklist),
        gridIcon("grid_item_icon_25", iconMagazine),
        featureBackground("grid_item_bg02", 0x4C, 0xA6, 0xA6),
        featureBackground("grid_item_bg03", 0x7E, 0xBE, 0x0C),
        featureBackground("grid_item_bg04", 0x00, 0x99, 0xCC),
        featureBackground("grid_item_bg05", 0xF2, 0x90, 0x47),
        featureBackground("grid_item_bg06", 0xCC, 0x33, 0x66),
        featureBackground("grid_item_bg07", 0x4C, 0xC0, 0x8A),
        featureBackground("grid_item_bg09", 0x00, 0x66, 0x66),
        featureBackground("grid_item_bg15", 0xA5, 0x4A, 0xD1),
        { "introduction_btn_close", { 227, 72 }, drawIntroClose },
    };
    for (auto& page : introductionPages())
        entries.push_back(std::move(page));
    return entries;
}

} // namespace

static imagegen::ImageGroup appImages(allEntries());
