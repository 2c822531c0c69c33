#include "platform/graphics/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using platform::AffineTransform;
using platform::EdgeInsets;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = 3.14159265358979323846;

void expectPointNear(Point actual, Point expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
}

} // namespace

TEST(GeometryTest, EdgesOfNegativeSizedRectsAreStandardized)
{
    Rect r(10, 20, -4, -6);
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_EQ(r.minY(), 14);
    EXPECT_EQ(r.maxY(), 20);
    EXPECT_EQ(r.midX(), 8);
    EXPECT_EQ(r.midY(), 17);
    EXPECT_EQ(r.width(), 4);
    EXPECT_EQ(r.height(), 6);
    EXPECT_EQ(r.standardized(), Rect(6, 14, 4, 6));
}

TEST(GeometryTest, IntersectionAndUnion)
{
    Rect a(0, 0, 100, 50);
    Rect b(60, 30, 100, 100);
    EXPECT_EQ(a.intersection(b), Rect(60, 30, 40, 20));
    EXPECT_EQ(a.unionWith(b), Rect(0, 0, 160, 130));
    EXPECT_TRUE(a.intersects(b));

    // Apart: null; touching: the zero-width shared edge.
    EXPECT_TRUE(a.intersection(Rect(200, 0, 10, 10)).isNull());
    EXPECT_FALSE(a.intersects(Rect(200, 0, 10, 10)));
    Rect edge = a.intersection(Rect(100, 10, 10, 10));
    EXPECT_FALSE(edge.isNull());
    EXPECT_TRUE(edge.isEmpty());
    EXPECT_EQ(edge, Rect(100, 10, 0, 10));

    // Null is nothing to a union; an empty rect still contributes its origin.
    EXPECT_EQ(Rect::null().unionWith(a), a);
    EXPECT_EQ(a.unionWith(Rect::null()), a);
    EXPECT_EQ(a.unionWith(Rect(200, 200, 0, 0)), Rect(0, 0, 200, 200));
}

TEST(GeometryTest, ContainsIsHalfOpenForPoints)
{
    Rect r(10, 10, 20, 20);
    EXPECT_TRUE(r.contains(Point(10, 10)));
    EXPECT_TRUE(r.contains(Point(29.999, 29.999)));
    EXPECT_FALSE(r.contains(Point(30, 15)));
    EXPECT_FALSE(r.contains(Point(15, 30)));
    EXPECT_FALSE(r.contains(Point(kNaN, 15)));

    EXPECT_TRUE(r.contains(Rect(10, 10, 20, 20)));
    EXPECT_TRUE(r.contains(Rect(12, 12, 2, 2)));
    EXPECT_FALSE(r.contains(Rect(12, 12, 20, 2)));
    EXPECT_FALSE(r.contains(Rect::null()));
    EXPECT_FALSE(Rect::null().contains(Point(0, 0)));
}

TEST(GeometryTest, InsetOffsetAndIntegral)
{
    Rect r(0, 0, 100, 40);
    EXPECT_EQ(r.insetBy(10, 5), Rect(10, 5, 80, 30));
    EXPECT_EQ(r.insetBy(-2, -2), Rect(-2, -2, 104, 44));
    EXPECT_TRUE(r.insetBy(60, 0).isNull()) << "an inset past the middle leaves nothing";
    EXPECT_EQ(r.inset(EdgeInsets(1, 2, 3, 4)), Rect(2, 1, 94, 36));
    EXPECT_EQ(r.offsetBy(5, -5), Rect(5, -5, 100, 40));

    EXPECT_EQ(Rect(0.5, 1.2, 10.1, 3.3).integral(), Rect(0, 1, 11, 4));
    EXPECT_EQ(Rect(-0.5, -1.5, 1, 1).integral(), Rect(-1, -2, 2, 2));
    EXPECT_TRUE(Rect::null().integral().isNull());
}

TEST(GeometryTest, NanRectsAreNullEverywhere)
{
    Rect bad(kNaN, 0, 10, 10);
    EXPECT_TRUE(bad.isNull());
    EXPECT_TRUE(bad.isEmpty());
    EXPECT_EQ(bad.width(), 0);
    EXPECT_EQ(bad.minX(), 0);
    EXPECT_TRUE(bad.intersection(Rect(0, 0, 5, 5)).isNull());
    EXPECT_EQ(bad.unionWith(Rect(0, 0, 5, 5)), Rect(0, 0, 5, 5));
    EXPECT_TRUE(bad.offsetBy(1, 1).isNull());
    EXPECT_TRUE(Rect(0, 0, std::numeric_limits<double>::infinity(), 1).isNull());
    EXPECT_TRUE(AffineTransform::makeScale(2, 2).apply(bad).isNull());
}

TEST(GeometryTest, TransformBuildersApplyTheNewStepFirst)
{
    // Translate then scale: a point is scaled in the translated space.
    AffineTransform t = AffineTransform::makeTranslation(100, 0).scaled(2, 2);
    expectPointNear(t.apply(Point(1, 1)), Point(102, 2));
    // Concatenation applies the receiver first.
    AffineTransform c = AffineTransform::makeScale(2, 2).concat(AffineTransform::makeTranslation(100, 0));
    expectPointNear(c.apply(Point(1, 1)), Point(102, 2));
    AffineTransform other = AffineTransform::makeTranslation(100, 0).concat(AffineTransform::makeScale(2, 2));
    expectPointNear(other.apply(Point(1, 1)), Point(202, 2));
}

TEST(GeometryTest, PositiveRotationTurnsClockwiseOnScreen)
{
    AffineTransform r = AffineTransform::makeRotation(kPi / 2);
    // y grows downwards: the point to the right of the origin goes below it.
    EXPECT_EQ(r.apply(Point(1, 0)), Point(0, 1));
    EXPECT_EQ(r.apply(Point(0, 1)), Point(-1, 0));
    expectPointNear(
        AffineTransform::identity().rotated(platform::degreesToRadians(180)).apply(Point(3, 4)), Point(-3, -4));
}

TEST(GeometryTest, InverseUndoesTheTransform)
{
    AffineTransform t = AffineTransform::makeTranslation(12, -7).rotated(0.7).scaled(3, 0.5);
    AffineTransform inv = t.inverted();
    for (Point p : { Point(0, 0), Point(5, 9), Point(-300, 42.5) })
        expectPointNear(inv.apply(t.apply(p)), p);
    AffineTransform both = t.concat(inv);
    EXPECT_NEAR(both.a, 1, 1e-12);
    EXPECT_NEAR(both.b, 0, 1e-12);
    EXPECT_NEAR(both.tx, 0, 1e-9);

    AffineTransform singular = AffineTransform::makeScale(0, 2);
    EXPECT_FALSE(singular.isInvertible());
    EXPECT_EQ(singular.inverted(), singular) << "a singular transform is returned unchanged";
}

TEST(GeometryTest, SizesIgnoreTranslationAndRectsGetTheirBoundingBox)
{
    AffineTransform t = AffineTransform::makeTranslation(50, 50).scaled(2, 3);
    Size s = t.apply(Size(10, 10));
    EXPECT_EQ(s, Size(20, 30));
    Rect turned = AffineTransform::makeRotation(kPi / 4).apply(Rect(0, 0, 10, 10));
    EXPECT_NEAR(turned.width(), 10 * std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(turned.height(), 10 * std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(turned.midX(), 0, 1e-9);
}

TEST(GeometryTest, RoundingRules)
{
    EXPECT_EQ(platform::roundHalfAwayFromZero(2.5), 3);
    EXPECT_EQ(platform::roundHalfAwayFromZero(-2.5), -3);
    EXPECT_EQ(platform::roundHalfAwayFromZero(kNaN), 0);
    EXPECT_EQ(platform::truncateTowardZero(-3.7), -3);
    // The grid gap: (320 − 200) / 3 = 40; an odd gap rounds half away from zero.
    EXPECT_EQ(platform::roundHalfAwayFromZero((320 - 3 * 100) / 4.0), 5);
    EXPECT_EQ(platform::centredOffsetFloor(301, 100), 100) << "floor of 100.5";
    EXPECT_EQ(platform::centredOffsetRound(301, 100), 101);
    EXPECT_EQ(platform::ceilPoints(20.4), 21);
    EXPECT_EQ(platform::ceilPoints(20.0000000001), 20) << "noise below the epsilon is not a whole point";
    EXPECT_EQ(platform::ceilPoints(-3), 0);
    EXPECT_EQ(platform::ceilSize(Size(kNaN, 0.1)), Size(0, 1));
}
