#include "platform/graphics/Geometry.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

    constexpr double kInfinity = std::numeric_limits<double>::infinity();

    bool finite(double v) { return std::isfinite(v); }

    bool finiteRect(const Rect& r)
    {
        return finite(r.origin.x) && finite(r.origin.y) && finite(r.size.width) && finite(r.size.height);
    }

} // namespace

bool Rect::operator==(const Rect& other) const
{
    if (isNull() || other.isNull())
        return isNull() && other.isNull();
    return origin == other.origin && size == other.size;
}

Rect Rect::null() { return Rect(kInfinity, kInfinity, 0, 0); }

Rect Rect::fromPoints(Point a, Point b)
{
    Rect r(std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(a.x - b.x), std::fabs(a.y - b.y));
    return finiteRect(r) ? r : null();
}

bool Rect::isNull() const { return !finiteRect(*this); }

bool Rect::isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

Rect Rect::standardized() const
{
    if (isNull())
        return null();
    Rect r = *this;
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

double Rect::minX() const { return isNull() ? 0 : standardized().origin.x; }
double Rect::minY() const { return isNull() ? 0 : standardized().origin.y; }
double Rect::width() const { return isNull() ? 0 : std::fabs(size.width); }
double Rect::height() const { return isNull() ? 0 : std::fabs(size.height); }
double Rect::maxX() const { return minX() + width(); }
double Rect::maxY() const { return minY() + height(); }
double Rect::midX() const { return minX() + width() / 2; }
double Rect::midY() const { return minY() + height() / 2; }

Rect Rect::intersection(const Rect& other) const
{
    if (isNull() || other.isNull())
        return null();
    double x0 = std::max(minX(), other.minX());
    double y0 = std::max(minY(), other.minY());
    double x1 = std::min(maxX(), other.maxX());
    double y1 = std::min(maxY(), other.maxY());
    if (x1 < x0 || y1 < y0)
        return null();
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

Rect Rect::unionWith(const Rect& other) const
{
    if (isNull())
        return other.standardized();
    if (other.isNull())
        return standardized();
    double x0 = std::min(minX(), other.minX());
    double y0 = std::min(minY(), other.minY());
    double x1 = std::max(maxX(), other.maxX());
    double y1 = std::max(maxY(), other.maxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

Rect Rect::insetBy(double dx, double dy) const { return inset(EdgeInsets(dy, dx, dy, dx)); }

Rect Rect::inset(const EdgeInsets& insets) const
{
    if (isNull())
        return null();
    Rect s = standardized();
    Rect r(s.origin.x + insets.left, s.origin.y + insets.top, s.size.width - insets.left - insets.right,
        s.size.height - insets.top - insets.bottom);
    if (!finiteRect(r) || r.size.width < 0 || r.size.height < 0)
        return null();
    return r;
}

Rect Rect::offsetBy(double dx, double dy) const
{
    if (isNull())
        return null();
    Rect r(origin.x + dx, origin.y + dy, size.width, size.height);
    return finiteRect(r) ? r : null();
}

bool Rect::contains(Point p) const
{
    if (isNull() || !finite(p.x) || !finite(p.y))
        return false;
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect& other) const
{
    if (isNull() || other.isNull())
        return false;
    return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() && other.maxY() <= maxY();
}

Rect Rect::integral() const
{
    if (isNull())
        return null();
    double x0 = std::floor(minX());
    double y0 = std::floor(minY());
    double x1 = std::ceil(maxX());
    double y1 = std::ceil(maxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

AffineTransform AffineTransform::makeTranslation(double tx, double ty) { return { 1, 0, 0, 1, tx, ty }; }

AffineTransform AffineTransform::makeScale(double sx, double sy) { return { sx, 0, 0, sy, 0, 0 }; }

AffineTransform AffineTransform::makeRotation(double radians)
{
    double c = std::cos(radians);
    double s = std::sin(radians);
    // Exact values for the quarter turns keep rotated layouts on whole points.
    auto snap = [](double v) { return std::fabs(v) < 1e-15 ? 0.0 : v; };
    return { snap(c), snap(s), snap(-s), snap(c), 0, 0 };
}

AffineTransform AffineTransform::concat(const AffineTransform& t) const
{
    return {
        a * t.a + b * t.c,
        a * t.b + b * t.d,
        c * t.a + d * t.c,
        c * t.b + d * t.d,
        tx * t.a + ty * t.c + t.tx,
        tx * t.b + ty * t.d + t.ty,
    };
}

AffineTransform AffineTransform::translated(double x, double y) const { return makeTranslation(x, y).concat(*this); }

AffineTransform AffineTransform::scaled(double sx, double sy) const { return makeScale(sx, sy).concat(*this); }

AffineTransform AffineTransform::rotated(double radians) const { return makeRotation(radians).concat(*this); }

bool AffineTransform::isInvertible() const
{
    double det = a * d - b * c;
    return std::isfinite(det) && det != 0 && finite(tx) && finite(ty);
}

AffineTransform AffineTransform::inverted() const
{
    if (!isInvertible())
        return *this;
    double det = a * d - b * c;
    AffineTransform inv(d / det, -b / det, -c / det, a / det, 0, 0);
    inv.tx = -(tx * inv.a + ty * inv.c);
    inv.ty = -(tx * inv.b + ty * inv.d);
    return inv;
}

Point AffineTransform::apply(Point p) const { return { a * p.x + c * p.y + tx, b * p.x + d * p.y + ty }; }

Size AffineTransform::apply(Size s) const { return { a * s.width + c * s.height, b * s.width + d * s.height }; }

Rect AffineTransform::apply(const Rect& r) const
{
    if (r.isNull())
        return Rect::null();
    Point corners[4] = {
        apply(Point(r.minX(), r.minY())),
        apply(Point(r.maxX(), r.minY())),
        apply(Point(r.minX(), r.maxY())),
        apply(Point(r.maxX(), r.maxY())),
    };
    double x0 = corners[0].x, x1 = corners[0].x, y0 = corners[0].y, y1 = corners[0].y;
    for (const Point& p : corners) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    Rect out(x0, y0, x1 - x0, y1 - y0);
    return out.isNull() ? Rect::null() : out;
}

double roundHalfAwayFromZero(double v) { return std::isnan(v) ? 0 : std::round(v); }

double truncateTowardZero(double v) { return std::isnan(v) ? 0 : std::trunc(v); }

double centredOffsetFloor(double outer, double inner)
{
    double v = std::floor((outer - inner) / 2);
    return std::isnan(v) ? 0 : v;
}

double centredOffsetRound(double outer, double inner) { return roundHalfAwayFromZero((outer - inner) / 2); }

double ceilPoints(double v)
{
    if (!(v > 0))
        return 0;
    if (std::isinf(v))
        return v;
    return std::ceil(v - 1e-9 * std::max(1.0, v));
}

Size ceilSize(Size s) { return { ceilPoints(s.width), ceilPoints(s.height) }; }

} // namespace platform
