#include "platform/graphics/Context.h"

#include "GraphicsTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using graphics_test::describe;
using graphics_test::isNear;
using graphics_test::pixelAtPoint;
using platform::Color;
using platform::Context;
using platform::FillRule;
using platform::GradientStop;
using platform::Image;
using platform::Path;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

using Pixel = std::array<std::uint8_t, 4>;
constexpr double kPi = 3.14159265358979323846;
constexpr Pixel kClear { 0, 0, 0, 0 };
constexpr Pixel kRed { 255, 0, 0, 255 };
constexpr Pixel kBlue { 0, 0, 255, 255 };
constexpr Pixel kWhite { 255, 255, 255, 255 };

::testing::AssertionResult pixelIs(const Image& image, double x, double y, Pixel expected, int tolerance = 2)
{
    Pixel actual = pixelAtPoint(image, x, y);
    if (isNear(actual, expected, tolerance))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "at (" << x << ", " << y << "): " << describe(actual) << ", expected "
                                         << describe(expected);
}

// A five-pointed star drawn as one stroke through every second point: the
// centre pentagon is wound twice.
Path pentagram(Point centre, double radius)
{
    Path path;
    for (int i = 0; i < 5; ++i) {
        double angle = -kPi / 2 + i * 4 * kPi / 5;
        Point p(centre.x + radius * std::cos(angle), centre.y + radius * std::sin(angle));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    path.closeSubpath();
    return path;
}

} // namespace

TEST(ContextTest, BitmapSizeScaleAndBadSizes)
{
    auto context = Context::createBitmap(Size(100.5, 60), 2.0);
    ASSERT_TRUE(context);
    EXPECT_EQ(context->pixelWidth(), 201);
    EXPECT_EQ(context->pixelHeight(), 120);
    Image image = context->makeImage();
    EXPECT_EQ(image.scale(), 2.0);
    EXPECT_EQ(image.pixelAt(100, 100), kClear) << "a new bitmap is transparent";

    EXPECT_FALSE(Context::createBitmap(Size(0, 10)));
    EXPECT_FALSE(Context::createBitmap(Size(-5, 10)));
    EXPECT_FALSE(Context::createBitmap(Size(std::numeric_limits<double>::quiet_NaN(), 10)));
    EXPECT_FALSE(Context::createBitmap(Size(100000, 100000)));
    auto unscaled = Context::createBitmap(Size(10, 10), std::numeric_limits<double>::quiet_NaN());
    ASSERT_TRUE(unscaled);
    EXPECT_EQ(unscaled->scale(), 1.0);
}

TEST(ContextTest, RoundedRectangleWithBorderAndClipping)
{
    auto c = Context::createBitmap(Size(100, 60), 2.0);
    ASSERT_TRUE(c);
    Rect box(10, 10, 80, 40);
    c->addRoundedRect(box, 10);
    c->clip();
    c->setFillColor(Color::redColor());
    c->paint();
    c->setStrokeColor(Color::blueColor());
    c->setLineWidth(4);
    c->addRoundedRect(box, 10);
    c->strokePath();
    Image image = c->makeImage();

    EXPECT_TRUE(pixelIs(image, 50, 30, kRed)) << "inside";
    EXPECT_TRUE(pixelIs(image, 50, 10.5, kBlue)) << "the border's inner half";
    EXPECT_TRUE(pixelIs(image, 50, 9, kClear)) << "the border's outer half is clipped away";
    EXPECT_TRUE(pixelIs(image, 5, 5, kClear)) << "outside the clip";
    EXPECT_TRUE(pixelIs(image, 11, 11, kClear)) << "the cut-off corner";
    EXPECT_TRUE(pixelIs(image, 88.5, 30, kBlue)) << "right border";
    EXPECT_TRUE(pixelIs(image, 20, 20, kRed)) << "inside the corner's arc";
}

TEST(ContextTest, AlphaBlending)
{
    auto c = Context::createBitmap(Size(40, 10), 1.0);
    ASSERT_TRUE(c);
    c->setFillColor(Color::whiteColor());
    c->fillRect(Rect(0, 0, 40, 10));
    c->setFillColor(Color::redColor().withAlpha(0.5));
    c->fillRect(Rect(0, 0, 10, 10));
    c->save();
    c->setAlpha(0.5);
    c->setFillColor(Color::blueColor().withAlpha(0.5));
    c->fillRect(Rect(10, 0, 10, 10)); // 0.25 in all
    c->restore();
    EXPECT_EQ(c->alpha(), 1.0) << "restore brings the alpha back";
    c->setFillColor(Color::blueColor());
    c->fillRect(Rect(20, 0, 10, 10));
    c->setBlendMode(platform::BlendMode::Copy);
    c->setFillColor(Color::redColor().withAlpha(0.5));
    c->fillRect(Rect(30, 0, 10, 10));
    Image image = c->makeImage();
    EXPECT_TRUE(pixelIs(image, 5, 5, { 255, 128, 128, 255 }));
    EXPECT_TRUE(pixelIs(image, 15, 5, { 191, 191, 255, 255 }));
    EXPECT_TRUE(pixelIs(image, 25, 5, kBlue));
    EXPECT_TRUE(pixelIs(image, 35, 5, { 255, 0, 0, 128 })) << "copy replaces, alpha included";
}

TEST(ContextTest, RadialGradientFromCentreToEdge)
{
    // The overlay's dim: clear in the middle, black at 0.75 at the edge and beyond.
    std::vector<GradientStop> stops { { 0, Color(0, 0, 0, 0) }, { 1, Color(0, 0, 0, 0.75) } };
    for (unsigned options : { 0u, unsigned(platform::GradientDrawsAfterEnd) }) {
        auto c = Context::createBitmap(Size(100, 100), 2.0);
        ASSERT_TRUE(c);
        c->drawRadialGradient(stops, Point(50, 50), 0, Point(50, 50), 40, options);
        Image image = c->makeImage();
        EXPECT_LE(pixelAtPoint(image, 50, 50)[3], 3) << "centre";
        EXPECT_NEAR(pixelAtPoint(image, 70, 50)[3], 0.5 * 0.75 * 255, 6) << "half way";
        EXPECT_NEAR(pixelAtPoint(image, 89.5, 50)[3], 0.75 * 255, 6) << "edge";
        if (options)
            EXPECT_NEAR(pixelAtPoint(image, 2, 2)[3], 0.75 * 255, 3) << "extended after the end";
        else
            EXPECT_EQ(pixelAtPoint(image, 2, 2)[3], 0) << "nothing beyond the end";
    }
}

TEST(ContextTest, LinearGradientAndItsExtent)
{
    std::vector<GradientStop> stops { { 1, Color::blueColor() }, { 0, Color::redColor() } }; // sorted by location
    auto c = Context::createBitmap(Size(100, 10), 1.0);
    ASSERT_TRUE(c);
    c->drawLinearGradient(stops, Point(20, 0), Point(80, 0), platform::GradientDrawsBeforeStart);
    Image image = c->makeImage();
    EXPECT_TRUE(pixelIs(image, 50, 5, { 128, 0, 128, 255 }, 4));
    EXPECT_TRUE(pixelIs(image, 5, 5, kRed)) << "extended before the start";
    EXPECT_TRUE(pixelIs(image, 95, 5, kClear)) << "not after the end";
    EXPECT_TRUE(pixelIs(image, 21, 5, { 251, 0, 4, 255 }, 5));
}

TEST(ContextTest, ArcSweepCoversOnlyItsAngle)
{
    // A quarter pie from "right" (0) to "down" (π/2), clockwise on screen.
    auto c = Context::createBitmap(Size(100, 100), 2.0);
    ASSERT_TRUE(c);
    c->setFillColor(Color::redColor());
    c->moveTo(Point(50, 50));
    c->addArc(Point(50, 50), 40, 0, kPi / 2, true);
    c->closePath();
    c->fillPath();
    Image image = c->makeImage();
    EXPECT_TRUE(pixelIs(image, 70, 70, kRed)) << "bottom right";
    EXPECT_TRUE(pixelIs(image, 70, 30, kClear)) << "top right";
    EXPECT_TRUE(pixelIs(image, 30, 70, kClear)) << "bottom left";
    EXPECT_TRUE(pixelIs(image, 30, 30, kClear)) << "top left";
    EXPECT_TRUE(pixelIs(image, 50 + 38 * std::cos(0.1), 50 + 38 * std::sin(0.1), kRed)) << "just past the start";
    EXPECT_TRUE(pixelIs(image, 50 + 38 * std::cos(-0.1), 50 + 38 * std::sin(-0.1), kClear)) << "just before it";

    // The other way round the same angles sweeps the remaining three quarters.
    auto d = Context::createBitmap(Size(100, 100), 2.0);
    d->setFillColor(Color::blueColor());
    d->moveTo(Point(50, 50));
    d->addArc(Point(50, 50), 40, 0, kPi / 2, false);
    d->closePath();
    d->fillPath();
    Image other = d->makeImage();
    EXPECT_TRUE(pixelIs(other, 70, 70, kClear));
    EXPECT_TRUE(pixelIs(other, 70, 30, kBlue));
    EXPECT_TRUE(pixelIs(other, 30, 30, kBlue));
    EXPECT_TRUE(pixelIs(other, 30, 70, kBlue));
}

TEST(ContextTest, StarPathEvenOddAgainstWinding)
{
    Path star = pentagram(Point(50, 50), 45);
    EXPECT_TRUE(star.contains(Point(50, 50), FillRule::Winding));
    EXPECT_FALSE(star.contains(Point(50, 50), FillRule::EvenOdd));
    for (FillRule rule : { FillRule::Winding, FillRule::EvenOdd }) {
        auto c = Context::createBitmap(Size(100, 100), 2.0);
        ASSERT_TRUE(c);
        c->setFillColor(Color::redColor());
        c->addPath(star);
        c->fillPath(rule);
        Image image = c->makeImage();
        EXPECT_TRUE(pixelIs(image, 50, 50, rule == FillRule::Winding ? kRed : kClear)) << "centre";
        EXPECT_TRUE(pixelIs(image, 50, 9, kRed)) << "the top point is filled under both rules";
        EXPECT_TRUE(pixelIs(image, 10, 90, kClear)) << "outside";
    }
}

TEST(ContextTest, TransformsSaveAndRestore)
{
    auto c = Context::createBitmap(Size(100, 100), 2.0);
    ASSERT_TRUE(c);
    c->save();
    c->translate(50, 50);
    c->rotate(kPi / 2);
    c->setFillColor(Color::redColor());
    // (0..30, 0..10) turned clockwise by a quarter: x' = −y, y' = x.
    c->fillRect(Rect(0, 0, 30, 10));
    platform::AffineTransform t = c->currentTransform();
    EXPECT_NEAR(t.apply(Point(10, 0)).x, 50, 1e-9);
    EXPECT_NEAR(t.apply(Point(10, 0)).y, 60, 1e-9);
    c->restore();
    c->restore(); // unbalanced: ignored
    EXPECT_TRUE(c->currentTransform().isIdentity());
    EXPECT_EQ(c->fillColor(), Color::blackColor());
    c->scaleBy(0, 1); // singular: ignored
    c->fillRect(Rect(0, 0, 5, 5));
    Image image = c->makeImage();
    EXPECT_TRUE(pixelIs(image, 45, 70, kRed));
    EXPECT_TRUE(pixelIs(image, 55, 70, kClear));
    EXPECT_TRUE(pixelIs(image, 70, 45, kClear));
    EXPECT_TRUE(pixelIs(image, 2, 2, { 0, 0, 0, 255 }));
}

TEST(ContextTest, LineCapsDashesAndWidths)
{
    auto c = Context::createBitmap(Size(100, 60), 1.0);
    ASSERT_TRUE(c);
    c->setStrokeColor(Color::redColor());
    c->setLineWidth(10);
    c->setLineCap(platform::LineCap::Round);
    c->moveTo(Point(20, 10));
    c->lineTo(Point(40, 10));
    c->strokePath();
    c->setLineCap(platform::LineCap::Butt);
    c->moveTo(Point(20, 30));
    c->lineTo(Point(40, 30));
    c->strokePath();
    c->setLineWidth(4);
    c->setLineDash(0, { 10, 10 });
    c->moveTo(Point(0, 50));
    c->lineTo(Point(100, 50));
    c->strokePath();
    c->setLineDash(0, {});
    c->setLineWidth(-3); // nothing is stroked
    c->moveTo(Point(60, 0));
    c->lineTo(Point(60, 40));
    c->strokePath();
    Image image = c->makeImage();
    EXPECT_TRUE(pixelIs(image, 43, 10, kRed)) << "round cap reaches past the end";
    EXPECT_TRUE(pixelIs(image, 43, 30, kClear)) << "butt cap stops at the end";
    EXPECT_TRUE(pixelIs(image, 5, 50, kRed)) << "dash on";
    EXPECT_TRUE(pixelIs(image, 15, 50, kClear)) << "dash off";
    EXPECT_TRUE(pixelIs(image, 25, 50, kRed));
    EXPECT_TRUE(pixelIs(image, 60, 20, kClear)) << "negative width";
    EXPECT_EQ(c->lineWidth(), 0);
}

TEST(ContextTest, ImagesClearingAndPathsSurviveImageDrawing)
{
    graphics_test::TempDir dir;
    auto c = Context::createBitmap(Size(40, 20), 2.0);
    ASSERT_TRUE(c);
    c->setFillColor(Color::whiteColor());
    c->fillRect(Rect(0, 0, 40, 20));
    Image tile(2, 1);
    tile.setPixel(0, 0, { 255, 0, 0, 255 });
    tile.setPixel(1, 0, { 0, 0, 255, 255 });
    c->setInterpolationQuality(platform::Interpolation::None);
    c->addRect(Rect(30, 0, 10, 20)); // a path waiting to be filled
    c->drawImage(tile, Rect(0, 0, 20, 10));
    EXPECT_FALSE(c->isPathEmpty()) << "drawing an image keeps the current path";
    c->setFillColor(Color::blueColor());
    c->fillPath();
    c->clearRect(Rect(0, 15, 40, 5));
    Image image = c->makeImage();
    EXPECT_TRUE(pixelIs(image, 5, 5, kRed));
    EXPECT_TRUE(pixelIs(image, 15, 5, kBlue));
    EXPECT_TRUE(pixelIs(image, 25, 5, kWhite));
    EXPECT_TRUE(pixelIs(image, 35, 5, kBlue));
    EXPECT_TRUE(pixelIs(image, 35, 17, kClear));

    ASSERT_TRUE(c->writePNG(dir / "canvas@2x.png"));
    auto back = Image::fromFile(dir / "canvas@2x.png");
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->size(), Size(40, 20));
    EXPECT_EQ(back->pixels(), image.pixels());
}

TEST(ContextTest, ClipsArcsToPointsAndBadCoordinates)
{
    auto c = Context::createBitmap(Size(100, 100), 1.0);
    ASSERT_TRUE(c);
    c->clipToRect(Rect(10, 20, 30, 40));
    Rect clip = c->clipBoundingBox();
    EXPECT_EQ(clip, Rect(10, 20, 30, 40));
    constexpr double nan = std::numeric_limits<double>::quiet_NaN();
    c->moveTo(Point(nan, 0));
    c->lineTo(Point(0, nan));
    EXPECT_TRUE(c->isPathEmpty());
    c->setFillColor(Color::redColor());
    c->fillRect(Rect(nan, 0, 10, 10));
    c->paint();
    Image image = c->makeImage();
    EXPECT_TRUE(pixelIs(image, 20, 30, kRed));
    EXPECT_TRUE(pixelIs(image, 50, 30, kClear)) << "outside the clip";

    // A rounded corner from two tangent lines.
    Path corner;
    corner.moveTo(Point(0, 0));
    corner.addArcToPoint(Point(100, 0), Point(100, 100), 20);
    EXPECT_NEAR(corner.currentPoint().x, 100, 1e-9);
    EXPECT_NEAR(corner.currentPoint().y, 20, 1e-9);
    Rect bounds = corner.boundingBox();
    EXPECT_NEAR(bounds.maxX(), 100, 1e-9);
    EXPECT_NEAR(bounds.minX(), 0, 1e-9);
    // Collinear points give a straight line to the first point.
    Path straight;
    straight.moveTo(Point(0, 0));
    straight.addArcToPoint(Point(10, 0), Point(20, 0), 5);
    EXPECT_EQ(straight.currentPoint(), Point(10, 0));
}
