#include "platform/graphics/Context.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

    constexpr double kPi = 3.14159265358979323846;

    bool finitePoint(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

    // The signed sweep of an arc from start to end in the asked direction, within
    // one turn. Positive sweeps turn clockwise on screen (angles grow clockwise).
    double arcSweep(double startAngle, double endAngle, bool clockwise)
    {
        double sweep = endAngle - startAngle;
        if (clockwise) {
            if (sweep >= 2 * kPi)
                return 2 * kPi;
            while (sweep < 0)
                sweep += 2 * kPi;
        } else {
            if (sweep <= -2 * kPi)
                return -2 * kPi;
            while (sweep > 0)
                sweep -= 2 * kPi;
        }
        return sweep;
    }

} // namespace

void Path::moveTo(Point p)
{
    if (!finitePoint(p))
        return;
    elements_.push_back({ Op::Move, { p, {}, {} } });
    current_ = p;
    subpathStart_ = p;
    hasCurrent_ = true;
}

void Path::lineTo(Point p)
{
    if (!finitePoint(p))
        return;
    if (!hasCurrent_) {
        moveTo(p);
        return;
    }
    elements_.push_back({ Op::Line, { p, {}, {} } });
    current_ = p;
}

void Path::curveTo(Point control1, Point control2, Point end)
{
    if (!finitePoint(control1) || !finitePoint(control2) || !finitePoint(end))
        return;
    if (!hasCurrent_)
        moveTo(control1);
    elements_.push_back({ Op::Curve, { control1, control2, end } });
    current_ = end;
}

void Path::quadCurveTo(Point control, Point end)
{
    if (!finitePoint(control) || !finitePoint(end))
        return;
    if (!hasCurrent_)
        moveTo(control);
    // The cubic with the same shape: controls two thirds of the way to the
    // quadratic control point.
    Point start = current_;
    Point c1(start.x + 2.0 / 3.0 * (control.x - start.x), start.y + 2.0 / 3.0 * (control.y - start.y));
    Point c2(end.x + 2.0 / 3.0 * (control.x - end.x), end.y + 2.0 / 3.0 * (control.y - end.y));
    curveTo(c1, c2, end);
}

void Path::addArc(Point centre, double radius, double startAngle, double endAngle, bool clockwise)
{
    if (!finitePoint(centre) || !std::isfinite(radius) || !std::isfinite(startAngle) || !std::isfinite(endAngle))
        return;
    radius = std::fabs(radius);
    Point start(centre.x + radius * std::cos(startAngle), centre.y + radius * std::sin(startAngle));
    if (hasCurrent_)
        lineTo(start);
    else
        moveTo(start);
    double sweep = arcSweep(startAngle, endAngle, clockwise);
    if (sweep == 0 || radius == 0)
        return;
    // Cubic pieces of at most a quarter turn each.
    int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (kPi / 2) - 1e-12)));
    double step = sweep / pieces;
    double k = 4.0 / 3.0 * std::tan(step / 4);
    double angle = startAngle;
    for (int i = 0; i < pieces; ++i) {
        double a0 = angle;
        double a1 = angle + step;
        Point p0(centre.x + radius * std::cos(a0), centre.y + radius * std::sin(a0));
        Point p3(centre.x + radius * std::cos(a1), centre.y + radius * std::sin(a1));
        Point c1(p0.x - k * radius * std::sin(a0), p0.y + k * radius * std::cos(a0));
        Point c2(p3.x + k * radius * std::sin(a1), p3.y - k * radius * std::cos(a1));
        curveTo(c1, c2, p3);
        angle = a1;
    }
}

void Path::addArcToPoint(Point p1, Point p2, double radius)
{
    if (!finitePoint(p1) || !finitePoint(p2) || !std::isfinite(radius))
        return;
    if (!hasCurrent_) {
        moveTo(p1);
        return;
    }
    Point p0 = current_;
    double ax = p0.x - p1.x, ay = p0.y - p1.y;
    double bx = p2.x - p1.x, by = p2.y - p1.y;
    double la = std::hypot(ax, ay), lb = std::hypot(bx, by);
    double cross = ax * by - ay * bx;
    if (radius <= 0 || la == 0 || lb == 0 || std::fabs(cross) < 1e-12 * la * lb) {
        lineTo(p1);
        return;
    }
    ax /= la;
    ay /= la;
    bx /= lb;
    by /= lb;
    // Half the angle between the two legs at p1.
    double cosTheta = std::clamp(ax * bx + ay * by, -1.0, 1.0);
    double theta = std::acos(cosTheta) / 2;
    double tangentDistance = radius / std::tan(theta);
    Point t0(p1.x + ax * tangentDistance, p1.y + ay * tangentDistance);
    Point t1(p1.x + bx * tangentDistance, p1.y + by * tangentDistance);
    // The centre lies along the bisector, radius / sin(theta) from p1.
    double mx = ax + bx, my = ay + by;
    double lm = std::hypot(mx, my);
    double centreDistance = radius / std::sin(theta);
    Point centre(p1.x + mx / lm * centreDistance, p1.y + my / lm * centreDistance);
    double start = std::atan2(t0.y - centre.y, t0.x - centre.x);
    double end = std::atan2(t1.y - centre.y, t1.x - centre.x);
    // Turning from leg a to leg b: a negative cross product (y down) turns clockwise.
    bool clockwise = cross < 0;
    addArc(centre, radius, start, end, clockwise);
}

void Path::addRect(const Rect& rect)
{
    if (rect.isNull())
        return;
    moveTo(Point(rect.minX(), rect.minY()));
    lineTo(Point(rect.maxX(), rect.minY()));
    lineTo(Point(rect.maxX(), rect.maxY()));
    lineTo(Point(rect.minX(), rect.maxY()));
    closeSubpath();
}

void Path::addRoundedRect(const Rect& rect, double cornerRadius)
{
    if (rect.isNull())
        return;
    double r = std::isfinite(cornerRadius) ? std::max(0.0, cornerRadius) : 0.0;
    r = std::min(r, std::min(rect.width(), rect.height()) / 2);
    if (r == 0) {
        addRect(rect);
        return;
    }
    double x0 = rect.minX(), y0 = rect.minY(), x1 = rect.maxX(), y1 = rect.maxY();
    moveTo(Point(x0 + r, y0));
    addArc(Point(x1 - r, y0 + r), r, -kPi / 2, 0, true);
    addArc(Point(x1 - r, y1 - r), r, 0, kPi / 2, true);
    addArc(Point(x0 + r, y1 - r), r, kPi / 2, kPi, true);
    addArc(Point(x0 + r, y0 + r), r, kPi, 3 * kPi / 2, true);
    closeSubpath();
}

void Path::addEllipseInRect(const Rect& rect)
{
    if (rect.isEmpty())
        return;
    // A unit circle scaled into the rectangle.
    Path circle;
    circle.moveTo(Point(1, 0));
    circle.addArc(Point(0, 0), 1, 0, 2 * kPi, true);
    circle.closeSubpath();
    AffineTransform t = AffineTransform::makeScale(rect.width() / 2, rect.height() / 2)
                            .concat(AffineTransform::makeTranslation(rect.midX(), rect.midY()));
    addPath(circle, t);
}

void Path::addPath(const Path& other, const AffineTransform& transform)
{
    for (const Element& e : other.elements_) {
        switch (e.op) {
        case Op::Move:
            moveTo(transform.apply(e.points[0]));
            break;
        case Op::Line:
            lineTo(transform.apply(e.points[0]));
            break;
        case Op::Curve:
            curveTo(transform.apply(e.points[0]), transform.apply(e.points[1]), transform.apply(e.points[2]));
            break;
        case Op::Close:
            closeSubpath();
            break;
        }
    }
}

void Path::closeSubpath()
{
    if (!hasCurrent_)
        return;
    elements_.push_back({ Op::Close, {} });
    current_ = subpathStart_;
}

Rect Path::boundingBox() const
{
    Rect box = Rect::null();
    for (const Element& e : elements_) {
        int count = e.op == Op::Curve ? 3 : (e.op == Op::Close ? 0 : 1);
        for (int i = 0; i < count; ++i)
            box = box.unionWith(Rect(e.points[i], Size()));
    }
    return box;
}

bool Path::contains(Point p, FillRule rule) const
{
    if (elements_.empty() || !finitePoint(p))
        return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(surface);
    for (const Element& e : elements_) {
        switch (e.op) {
        case Op::Move:
            cairo_move_to(cr, e.points[0].x, e.points[0].y);
            break;
        case Op::Line:
            cairo_line_to(cr, e.points[0].x, e.points[0].y);
            break;
        case Op::Curve:
            cairo_curve_to(
                cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x, e.points[2].y);
            break;
        case Op::Close:
            cairo_close_path(cr);
            break;
        }
    }
    cairo_set_fill_rule(cr, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    bool inside = cairo_in_fill(cr, p.x, p.y);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return inside;
}

} // namespace platform
