#pragma once

#include <cmath>
#include <limits>

namespace platform {

// Geometry in points, y growing downwards (the screen's convention: the origin
// is the top-left corner). Doubles throughout, as the screens compute with
// fractional points.
//
// Bad input has defined results: a rectangle with a NaN or infinite component
// is treated as the null rectangle by every operation below, and negative sizes
// are read through standardized() (the same area, positive size).

struct Point {
    double x = 0;
    double y = 0;

    constexpr Point() = default;
    constexpr Point(double x_, double y_)
        : x(x_)
        , y(y_)
    {
    }
    constexpr bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;

    constexpr Size() = default;
    constexpr Size(double w, double h)
        : width(w)
        , height(h)
    {
    }
    constexpr bool operator==(const Size&) const = default;
};

// Space kept free inside a rectangle, per edge (positive values shrink).
struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;

    constexpr EdgeInsets() = default;
    constexpr EdgeInsets(double t, double l, double b, double r)
        : top(t)
        , left(l)
        , bottom(b)
        , right(r)
    {
    }
    constexpr bool operator==(const EdgeInsets&) const = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point o, Size s)
        : origin(o)
        , size(s)
    {
    }
    constexpr Rect(double x, double y, double width, double height)
        : origin(x, y)
        , size(width, height)
    {
    }
    // Exact comparison of the stored components (two null rectangles are equal
    // even when their stored sizes differ).
    bool operator==(const Rect& other) const;

    // "No rectangle": the result of intersecting rectangles that do not meet.
    // Its origin is at infinity. Union treats it as nothing.
    static Rect null();
    // Smallest rectangle holding both points.
    static Rect fromPoints(Point a, Point b);

    // Same area with a non-negative width and height.
    Rect standardized() const;

    // Edges and centre of the standardized rectangle (0 for the null rectangle).
    double minX() const;
    double midX() const;
    double maxX() const;
    double minY() const;
    double midY() const;
    double maxY() const;
    // Absolute width and height (0 for the null rectangle).
    double width() const;
    double height() const;
    Point center() const { return { midX(), midY() }; }

    bool isNull() const;
    // Null, or no area (zero width or height).
    bool isEmpty() const;

    // The common part. Rectangles that do not meet (or a null one) give null;
    // rectangles that only touch give the zero-area rectangle along the shared edge.
    Rect intersection(const Rect& other) const;
    // Smallest rectangle holding both; a null rectangle contributes nothing, an
    // empty non-null one contributes its origin.
    Rect unionWith(const Rect& other) const;
    bool intersects(const Rect& other) const { return !intersection(other).isNull(); }

    // Moves every edge inwards by dx (left and right) and dy (top and bottom).
    // A result with negative width or height is the null rectangle.
    Rect insetBy(double dx, double dy) const;
    // Each edge moves inwards by its inset; negative width or height gives null.
    Rect inset(const EdgeInsets& insets) const;
    Rect offsetBy(double dx, double dy) const;

    // Half-open, as hit testing needs: minX <= x < maxX and minY <= y < maxY.
    bool contains(Point p) const;
    // The other rectangle lies inside, edges included. Null rectangles contain
    // nothing and are contained by nothing.
    bool contains(const Rect& other) const;

    // Smallest rectangle with whole-number edges that holds this one: origin
    // floored, far edges ceiled. Null stays null.
    Rect integral() const;
};

// The affine transform of 2-D drawing:
//   x' = a·x + c·y + tx
//   y' = b·x + d·y + ty
// Positive rotation angles (radians) turn clockwise on screen, because y grows
// downwards.
struct AffineTransform {
    double a = 1;
    double b = 0;
    double c = 0;
    double d = 1;
    double tx = 0;
    double ty = 0;

    constexpr AffineTransform() = default;
    constexpr AffineTransform(double a_, double b_, double c_, double d_, double tx_, double ty_)
        : a(a_)
        , b(b_)
        , c(c_)
        , d(d_)
        , tx(tx_)
        , ty(ty_)
    {
    }
    constexpr bool operator==(const AffineTransform&) const = default;

    static constexpr AffineTransform identity() { return {}; }
    static AffineTransform makeTranslation(double tx, double ty);
    static AffineTransform makeScale(double sx, double sy);
    static AffineTransform makeRotation(double radians);

    bool isIdentity() const { return *this == identity(); }

    // Concatenation: the result applies this transform first, then `then`.
    AffineTransform concat(const AffineTransform& then) const;
    // The usual builder operations: the new step is applied BEFORE this
    // transform (so translated(...) moves in this transform's local space).
    AffineTransform translated(double tx, double ty) const;
    AffineTransform scaled(double sx, double sy) const;
    AffineTransform rotated(double radians) const;
    // The inverse; a singular (non-invertible) or non-finite transform is
    // returned unchanged, so callers can compare with the input to detect it.
    AffineTransform inverted() const;
    bool isInvertible() const;

    Point apply(Point p) const;
    // Sizes are vectors: the translation does not apply.
    Size apply(Size s) const;
    // The bounding box of the transformed corners. Null stays null.
    Rect apply(const Rect& r) const;
};

// Rounding rules the screens use, kept in one place so that every caller
// rounds the same way.
// Round half away from zero (2.5 → 3, −2.5 → −3). NaN gives 0.
double roundHalfAwayFromZero(double v);
// Toward zero (what integer conversion of a width does). NaN gives 0.
double truncateTowardZero(double v);
// Offset that centres a length inside another, with the two rules in use:
// floor((outer − inner) / 2) and round((outer − inner) / 2).
double centredOffsetFloor(double outer, double inner);
double centredOffsetRound(double outer, double inner);
// Measured text sizes are reported whole: each dimension is raised to the next
// whole point (a tiny epsilon absorbs floating noise so that 20.000000001 stays
// 20). NaN and negative values give 0.
double ceilPoints(double v);
Size ceilSize(Size s);

// Degrees ↔ radians.
constexpr double degreesToRadians(double degrees) { return degrees * 3.14159265358979323846 / 180.0; }

} // namespace platform
