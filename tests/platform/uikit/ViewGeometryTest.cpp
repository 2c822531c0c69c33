#include "UIKitTestSupport.h"

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"

#include <cmath>

using platform::AffineTransform;
using platform::Point;
using platform::Rect;

namespace {

void expectPoint(Point actual, Point expected)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-9);
    EXPECT_NEAR(actual.y, expected.y, 1e-9);
}

} // namespace

TEST_F(UIKitTest, FrameFollowsCenterBoundsAndTransform)
{
    auto view = std::make_shared<UIView>(Rect(10, 20, 100, 50));
    EXPECT_EQ(view->center(), Point(60, 45));
    EXPECT_EQ(view->bounds(), Rect(0, 0, 100, 50));
    view->setTransform(AffineTransform::makeScale(2, 2));
    EXPECT_EQ(view->frame(), Rect(-40, -5, 200, 100)); // scaled about the centre (60, 45)
    EXPECT_EQ(view->bounds(), Rect(0, 0, 100, 50));
    view->setTransform(AffineTransform::makeRotation(platform::degreesToRadians(90)));
    auto f = view->frame();
    EXPECT_NEAR(f.width(), 50, 1e-9);
    EXPECT_NEAR(f.height(), 100, 1e-9);
    EXPECT_NEAR(f.midX(), 60, 1e-9);
}

TEST_F(UIKitTest, PointsConvertThroughScaledRotatedAndScrolledParents)
{
    auto outer = std::make_shared<UIView>(Rect(100, 100, 100, 100));
    auto inner = std::make_shared<UIView>(Rect(10, 10, 40, 40));
    window->addSubview(outer);
    outer->addSubview(inner);

    expectPoint(inner->convertPointToView(Point(0, 0), nullptr), Point(110, 110));
    expectPoint(inner->convertPointToView(Point(5, 5), outer.get()), Point(15, 15));

    // The outer view doubles in size about its centre (150, 150).
    outer->setTransform(AffineTransform::makeScale(2, 2));
    expectPoint(inner->convertPointToView(Point(0, 0), nullptr), Point(150 + 2 * (10 - 50), 150 + 2 * (10 - 50)));
    // A quarter turn clockwise (y grows downwards): outer's (100, 50) is 50 right of its centre → 50 below.
    outer->setTransform(AffineTransform::makeRotation(platform::degreesToRadians(90)));
    expectPoint(outer->convertPointToView(Point(100, 50), nullptr), Point(150, 200));
    // And back again.
    expectPoint(outer->convertPointFromView(Point(150, 200), nullptr), Point(100, 50));
    // Round trips through both views hold for any point.
    for (Point p : { Point(0, 0), Point(3.5, 17), Point(-20, 44) }) {
        expectPoint(inner->convertPointFromView(inner->convertPointToView(p, nullptr), nullptr), p);
        expectPoint(inner->convertPointFromView(inner->convertPointToView(p, outer.get()), outer.get()), p);
        expectPoint(outer->convertPointFromView(p, inner.get()), inner->convertPointToView(p, outer.get()));
    }

    // A bounds origin scrolls the content: inner's (0, 0) moves up by 30.
    outer->setTransform(AffineTransform::identity());
    outer->setBounds(Rect(0, 30, 100, 100));
    expectPoint(inner->convertPointToView(Point(0, 0), nullptr), Point(110, 80));
}

TEST_F(UIKitTest, RectsConvertToTheBoundingBoxOfTheirCorners)
{
    auto outer = std::make_shared<UIView>(Rect(0, 0, 100, 100));
    auto inner = std::make_shared<UIView>(Rect(20, 30, 10, 10));
    outer->addSubview(inner);
    window->addSubview(outer);
    EXPECT_EQ(inner->convertRectToView(Rect(0, 0, 10, 10), nullptr), Rect(20, 30, 10, 10));
    outer->setTransform(AffineTransform::makeRotation(platform::degreesToRadians(90)));
    auto r = inner->convertRectToView(inner->bounds(), nullptr);
    // (20..30, 30..40) relative to the centre (50, 50) is (-30..-20, -20..-10); turned: x = -y, y = x.
    EXPECT_NEAR(r.minX(), 60, 1e-9);
    EXPECT_NEAR(r.maxX(), 70, 1e-9);
    EXPECT_NEAR(r.minY(), 20, 1e-9);
    EXPECT_NEAR(r.maxY(), 30, 1e-9);
    EXPECT_TRUE(inner->convertRectToView(Rect(NAN, 0, 1, 1), nullptr).isNull());
}

TEST_F(UIKitTest, HitTestingSkipsHiddenTransparentAndNonInteractiveViews)
{
    auto back = std::make_shared<UIView>(Rect(0, 0, 200, 200));
    auto front = std::make_shared<UIView>(Rect(50, 50, 100, 100));
    auto child = std::make_shared<UIView>(Rect(10, 10, 20, 20));
    window->addSubview(back);
    back->addSubview(front);
    front->addSubview(child);

    EXPECT_EQ(window->hitTest(Point(65, 65), nullptr), child);
    EXPECT_EQ(window->hitTest(Point(100, 100), nullptr), front);
    EXPECT_EQ(window->hitTest(Point(10, 10), nullptr), back);

    front->setHidden(true);
    EXPECT_EQ(window->hitTest(Point(65, 65), nullptr), back);
    front->setHidden(false);

    front->setAlpha(0.009);
    EXPECT_EQ(window->hitTest(Point(65, 65), nullptr), back);
    front->setAlpha(0.01); // the limit itself still counts as visible
    EXPECT_EQ(window->hitTest(Point(65, 65), nullptr), child);

    front->setUserInteractionEnabled(false);
    EXPECT_EQ(window->hitTest(Point(65, 65), nullptr), back);
    front->setUserInteractionEnabled(true);

    // Outside the parent's bounds children are not found, even if they stick out.
    child->setFrame(Rect(90, 90, 50, 50));
    EXPECT_EQ(window->hitTest(Point(180, 180), nullptr), back);
    // Edges: the far edge belongs to the next view.
    EXPECT_EQ(window->hitTest(Point(150, 100), nullptr), back);
}

TEST_F(UIKitTest, HitTestingFollowsTransforms)
{
    auto view = std::make_shared<UIView>(Rect(100, 100, 100, 20));
    window->addSubview(view);
    EXPECT_EQ(window->hitTest(Point(150, 150), nullptr), window);
    view->setTransform(AffineTransform::makeRotation(platform::degreesToRadians(90)));
    // Turned upright around (150, 110): it now spans y 60..160 at x 140..160.
    EXPECT_EQ(window->hitTest(Point(150, 150), nullptr), view);
    EXPECT_EQ(window->hitTest(Point(110, 110), nullptr), window);
}

TEST_F(UIKitTest, TapsLandOnTheTopmostInteractiveViewOnly)
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(Rect(20, 20, 100, 44));
    int clicks = 0;
    button->addAction([&](UIControl*) { ++clicks; }, UIControlEventTouchUpInside);
    window->addSubview(button);
    EXPECT_TRUE(testsupport::tap(button));
    EXPECT_EQ(clicks, 1);

    // A label on top does not take touches: the tap still reaches the button.
    auto label = std::make_shared<UILabel>(Rect(20, 20, 100, 44));
    window->addSubview(label);
    EXPECT_TRUE(testsupport::tap(button));
    EXPECT_EQ(clicks, 2);

    // An interactive cover does.
    auto cover = std::make_shared<UIView>(Rect(0, 0, 320, 200));
    window->addSubview(cover);
    EXPECT_FALSE(testsupport::tap(button));
    EXPECT_EQ(clicks, 2);
    cover->setHidden(true);

    // A disabled button lets the touch through to what is behind it.
    button->setEnabled(false);
    EXPECT_FALSE(testsupport::tap(button));
    EXPECT_EQ(clicks, 2);

    // Off screen: not in a window.
    auto loose = UIButton::buttonWithType(UIButtonTypeCustom);
    EXPECT_FALSE(testsupport::tap(loose));
}
