// The teaching tools' pictures: the whole-class tile of the student chooser,
// the five rank medals of comments, the outlined button of a student's
// comment history and the highlight behind the timetable's chosen day.
#include "tools/imagegen/ImageCatalog.h"

#include <cmath>
#include <numbers>
#include <string>

using platform::Color;
using platform::Context;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

constexpr double kPi = std::numbers::pi;
const Color kTeal = Color::fromRGB255(26, 158, 143);
const Color kGreen = Color::fromRGB255(139, 216, 59);

// A person: head and shoulders, centred on x, standing on `base`.
void drawPerson(Context& c, double x, double base, double headRadius, const Color& colour)
{
    c.setFillColor(colour);
    c.fillEllipseInRect(Rect(x - headRadius, base - headRadius * 4.4, headRadius * 2, headRadius * 2));
    c.beginPath();
    c.addArc(Point(x, base), headRadius * 1.9, kPi, 0, false);
    c.closePath();
    c.fillPath();
}

void drawWholeClass(Context& c, Size s)
{
    c.setFillColor(Color::fromRGB255(222, 241, 238));
    c.beginPath();
    c.addRoundedRect(Rect(0, 0, s.width, s.height), 6);
    c.fillPath();
    const double base = s.height * 0.8;
    drawPerson(c, s.width * 0.28, base, s.width * 0.075, Color::fromRGB255(120, 196, 186));
    drawPerson(c, s.width * 0.72, base, s.width * 0.075, Color::fromRGB255(120, 196, 186));
    drawPerson(c, s.width * 0.5, base + 2, s.width * 0.095, kTeal);
}

void drawStar(Context& c, Point centre, double outer, double inner)
{
    c.beginPath();
    for (int i = 0; i < 10; ++i) {
        const double radius = i % 2 ? inner : outer;
        const double angle = -kPi / 2 + i * kPi / 5;
        const Point p(centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle));
        if (i == 0)
            c.moveTo(p);
        else
            c.lineTo(p);
    }
    c.closePath();
    c.fillPath();
}

// A medal whose colour warms with the rank, a star, and one dot per point.
void drawRank(Context& c, Size s, int rank)
{
    static const Color kColours[] = { Color::fromRGB255(158, 167, 178), Color::fromRGB255(92, 170, 220),
        Color::fromRGB255(60, 180, 140), Color::fromRGB255(245, 166, 35), Color::fromRGB255(232, 90, 60) };
    c.setFillColor(kColours[rank - 1]);
    c.fillEllipseInRect(Rect(1, 1, s.width - 2, s.height - 2));
    c.setFillColor(Color::whiteColor());
    drawStar(c, Point(s.width / 2, s.height * 0.42), s.width * 0.27, s.width * 0.11);
    const double dot = 2.6;
    const double gap = 1.6;
    const double row = rank * dot + (rank - 1) * gap;
    for (int i = 0; i < rank; ++i)
        c.fillEllipseInRect(Rect(s.width / 2 - row / 2 + i * (dot + gap), s.height * 0.72, dot, dot));
}

void drawHistoryButton(Context& c, Size s)
{
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.addRoundedRect(Rect(0.5, 0.5, s.width - 1, s.height - 1), 4);
    c.fillPath();
    c.setStrokeColor(kGreen);
    c.setLineWidth(1);
    c.beginPath();
    c.addRoundedRect(Rect(0.5, 0.5, s.width - 1, s.height - 1), 4);
    c.strokePath();
}

void drawSelectedDay(Context& c, Size s)
{
    c.setFillColor(Color::fromRGB255(154, 207, 113));
    c.beginPath();
    c.addRoundedRect(Rect(2, 4, s.width - 4, s.height - 8), 6);
    c.fillPath();
}

std::vector<imagegen::ImageEntry> entries()
{
    std::vector<imagegen::ImageEntry> all {
        { "comment_all_students", Size(70, 70), drawWholeClass },
        { "ctd_button_n", Size(80, 26), drawHistoryButton },
        { "schedule_selected_day_bg", Size(44, 40), drawSelectedDay },
    };
    for (int rank = 1; rank <= 5; ++rank)
        all.push_back({ "comment_icon_" + std::to_string(rank), Size(34, 34),
            [rank](Context& c, Size s) { drawRank(c, s, rank); } });
    return all;
}

const imagegen::ImageGroup kTeachingImages(entries());

} // namespace
