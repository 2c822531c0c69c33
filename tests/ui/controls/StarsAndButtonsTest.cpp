#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/UIClasses.h"
#include "ui/controls/RotateButton.h"
#include "ui/controls/SStarView.h"
#include "ui/controls/ScaleButton.h"
#include "ui/controls/ScaleRotateButton.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using platform::Point;
using platform::Rect;

namespace {

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        harness = std::make_unique<testsupport::AppHarness>(options);
        ASSERT_TRUE(harness->start(std::make_shared<sample::SampleAppDelegate>()));
        ui::registerUIClasses();
        host = std::make_shared<UIView>(Rect(0, 0, 320, 480));
        host->setBackgroundColor(UIColor::whiteColor());
        harness->window()->addSubview(host);
    }

    // The number of value-changed events the control sends from now on.
    std::shared_ptr<int> countValueChanges(UIControl& control)
    {
        auto count = std::make_shared<int>(0);
        control.addAction([count](UIControl*) { ++*count; }, UIControlEventValueChanged);
        return count;
    }

    std::unique_ptr<testsupport::AppHarness> harness;
    std::shared_ptr<UIView> host;
};

TEST_F(ControlsTest, AStarRowHasOneSquareCellPerStar)
{
    auto stars = std::make_shared<SStarView>(Rect(10, 100, 100, 20));
    EXPECT_EQ(stars->maxStar(), 5u);
    EXPECT_DOUBLE_EQ(stars->lineWidth(), 1.0);
    EXPECT_TRUE(stars->subviews().empty()); // laid out once it has a superview
    host->addSubview(stars);
    ASSERT_EQ(stars->subviews().size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(stars->subviews()[i]->frame(), Rect(20 * i, 0, 20, 20));

    // A layout file gives the frame after making the control: the frame decides.
    auto loaded = platform::LayoutLoader::loadFromText(
        R"([{"class": "SStarView", "frame": [0, 0, 150, 30]}])", nullptr, "stars");
    ASSERT_EQ(loaded.size(), 1u);
    auto fromLayout = std::dynamic_pointer_cast<SStarView>(loaded[0]);
    ASSERT_TRUE(fromLayout);
    EXPECT_EQ(fromLayout->maxStar(), 5u);
    EXPECT_DOUBLE_EQ(fromLayout->lineWidth(), 1.5);
}

TEST_F(ControlsTest, TouchingAndDraggingSetTheCount)
{
    auto stars = std::make_shared<SStarView>(Rect(10, 100, 100, 20));
    host->addSubview(stars);
    auto changes = countValueChanges(*stars);
    testsupport::tapAtPoint(Point(10 + 45, 110));
    EXPECT_EQ(stars->starCount(), 3u);
    EXPECT_EQ(*changes, 1);
    testsupport::tapAtPoint(Point(10 + 50, 110));
    EXPECT_EQ(stars->starCount(), 3u);
    EXPECT_EQ(*changes, 1);
    testsupport::tapAtPoint(Point(10 + 1, 110));
    EXPECT_EQ(stars->starCount(), 1u);
    for (int i = 0; i < 5; ++i) {
        auto star = std::static_pointer_cast<UIImageView>(stars->subviews()[i]);
        EXPECT_EQ(star->image(), i < 1 ? stars->imgSelected() : stars->imgUnSelected());
    }

    // Dragging past the left edge gives 0, raised to the minimum.
    stars->setMinStar(1);
    auto window = harness->window();
    window->beginTouches({ Point(10 + 95, 110) });
    EXPECT_EQ(stars->starCount(), 5u);
    window->moveTouches({ Point(-40, 110) });
    window->endTouches();
    EXPECT_EQ(stars->starCount(), 1u);
    // Past the right edge: at most every star.
    window->beginTouches({ Point(10 + 60, 110) });
    window->moveTouches({ Point(300, 110) });
    window->endTouches();
    EXPECT_EQ(stars->starCount(), 5u);

    // The setter does not cap: all five are drawn selected.
    stars->setStarCount(7);
    EXPECT_EQ(stars->starCount(), 7u);
    for (const auto& star : stars->subviews())
        EXPECT_EQ(std::static_pointer_cast<UIImageView>(star)->image(), stars->imgSelected());
}

TEST_F(ControlsTest, StarColoursAndAZeroHeightRow)
{
    auto stars = std::make_shared<SStarView>(Rect(0, 0, 100, 20));
    host->addSubview(stars);
    auto golden = stars->selectColor();
    auto before = stars->imgSelected();
    stars->setSelectColor(std::nullopt);
    EXPECT_EQ(stars->selectColor(), golden);
    EXPECT_EQ(stars->imgSelected(), before);
    stars->setSelectColor(UIColor::redColor());
    EXPECT_NE(stars->imgSelected(), before);

    // The picture: 20 points tall, 21.03 wide (the star's proportions; the
    // bitmap rounds up to 43 pixels at scale 2), filled in its middle and
    // empty in its top corners.
    auto picture = stars->createImgWithHeight(20, UIColor::redColor());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->CGImage().pixelWidth(), 43);
    EXPECT_DOUBLE_EQ(picture->size().height, 20);
    const auto& pixels = picture->CGImage();
    auto middle = pixels.pixelAt(pixels.pixelWidth() / 2, pixels.pixelHeight() / 2);
    EXPECT_GT(middle[0], 200);
    EXPECT_LT(middle[1], 60);
    EXPECT_EQ(pixels.pixelAt(1, 1)[3], 0);

    // No height: no stars, and touches count nothing rather than dividing by zero.
    auto flat = std::make_shared<SStarView>(Rect(0, 200, 100, 0));
    host->addSubview(flat);
    auto changes = countValueChanges(*flat);
    EXPECT_EQ(flat->maxStar(), 0u);
    EXPECT_TRUE(flat->subviews().empty());
    EXPECT_FALSE(flat->createImgWithHeight(0, UIColor::redColor()));
    auto made = std::make_shared<SStarView>();
    EXPECT_EQ(made->maxStar(), 0u);
    flat->setFrame(Rect(0, 200, 100, 0));
    harness->window()->beginTouches({ Point(50, 200) });
    harness->window()->endTouches();
    EXPECT_EQ(flat->starCount(), 0u);
    EXPECT_EQ(*changes, 0);
}

TEST_F(ControlsTest, AStarRowMadeWithoutAFrameKeepsWhatItWasGivenWhenItGetsOne)
{
    auto stars = std::make_shared<SStarView>();
    auto changes = countValueChanges(*stars);
    stars->setMinStar(1);
    stars->setStarCount(3);
    EXPECT_EQ(*changes, 1);
    stars->setFrame(Rect(0, 0, 100, 20));
    host->addSubview(stars);
    // The first frame gives the row its cells and line width; the count and
    // minimum the screen set stay, and nothing changed the value.
    EXPECT_EQ(stars->maxStar(), 5u);
    EXPECT_DOUBLE_EQ(stars->lineWidth(), 1.0);
    EXPECT_EQ(stars->starCount(), 3u);
    EXPECT_EQ(stars->minStar(), 1u);
    EXPECT_EQ(*changes, 1);
    // A later frame only redraws.
    stars->setFrame(Rect(0, 0, 60, 20));
    EXPECT_EQ(stars->maxStar(), 5u);
    EXPECT_EQ(stars->starCount(), 3u);
    // A screen that chose its own cell count before the frame keeps it.
    auto three = std::make_shared<SStarView>();
    three->setMaxStar(3);
    three->setFrame(Rect(0, 40, 100, 20));
    EXPECT_EQ(three->maxStar(), 3u);
}

std::shared_ptr<UIView> loadButton(const std::string& className)
{
    std::string json
        = R"([{"class": ")" + className + R"(", "frame": [100, 300, 60, 44], "image": {"normal": "smile"}}])";
    auto objects = platform::LayoutLoader::loadFromText(json, nullptr, className);
    return objects.empty() ? nullptr : std::dynamic_pointer_cast<UIView>(objects[0]);
}

TEST_F(ControlsTest, TheRotateButtonTurnsItsPictureOncePerPressAndMovesItsArrowOnTap)
{
    auto button = std::dynamic_pointer_cast<RotateButton>(loadButton("RotateButton"));
    ASSERT_TRUE(button);
    host->addSubview(button);
    auto smile = UIImage::imageNamed("smile");
    ASSERT_TRUE(smile);
    ASSERT_TRUE(button->anilayer());
    EXPECT_EQ(button->anilayer()->contents(), smile);
    EXPECT_FALSE(button->imageForState(UIControlStateNormal));

    auto arrow = std::make_shared<UIView>(Rect(0, 350, 20, 6));
    host->addSubview(arrow);
    button->setArrow(arrow);

    platform::AnimationLog::clear();
    button->sendActionsForControlEvents(UIControlEventTouchDown);
    button->sendActionsForControlEvents(UIControlEventTouchDown);
    ASSERT_EQ(platform::AnimationLog::count(), 1u);
    EXPECT_DOUBLE_EQ(platform::AnimationLog::last()->duration, RotateButton::kDuration);
    EXPECT_EQ(button->anilayer()->transform(), CATransform3D::makeRotation(3.1241393, 0, 0, 1));

    // Released outside: turned back, the arrow stays.
    testsupport::dragOut(button, Point(10, 10));
    EXPECT_TRUE(button->anilayer()->transform().isIdentity());
    EXPECT_EQ(arrow->center(), Point(10, 353));

    // A tap slides the arrow under the button's centre, keeping its height.
    ASSERT_TRUE(harness->tap(button));
    EXPECT_EQ(arrow->center(), Point(130, 353));
    EXPECT_EQ(button->buttonState(), 0);

    // A picture for any state becomes the layer's; the button keeps none.
    auto heart = UIImage::imageNamed("heart");
    button->setImage(heart, UIControlStateHighlighted);
    EXPECT_EQ(button->anilayer()->contents(), heart);
    EXPECT_FALSE(button->imageForState(UIControlStateNormal));
    EXPECT_FALSE(button->imageForState(UIControlStateHighlighted));
}

TEST_F(ControlsTest, ScalingButtonsShrinkWhilePressed)
{
    auto button = std::make_shared<ScaleButton>(Rect(20, 300, 60, 44));
    host->addSubview(button);
    button->setScaleSize(0.9);
    auto cursor = std::make_shared<UIView>(Rect(0, 350, 30, 3));
    host->addSubview(cursor);
    button->setCursor(cursor);
    harness->window()->beginTouches({ Point(50, 322) });
    EXPECT_EQ(button->transform(), platform::AffineTransform::makeScale(0.9, 0.9));
    harness->window()->endTouches();
    EXPECT_TRUE(button->transform().isIdentity());
    EXPECT_EQ(cursor->center().x, 50);

    auto flipping = std::dynamic_pointer_cast<ScaleRotateButton>(loadButton("ScaleRotateButton"));
    ASSERT_TRUE(flipping);
    host->addSubview(flipping);
    flipping->touchDown();
    auto pressed = flipping->anilayer()->transform().affine();
    EXPECT_NEAR(pressed.a, -0.7, 1e-9);
    EXPECT_NEAR(pressed.d, 0.7, 1e-9);
    platform::AnimationLog::clear();
    flipping->touchCancel();
    EXPECT_TRUE(flipping->anilayer()->transform().isIdentity());
    ASSERT_TRUE(platform::AnimationLog::last());
    EXPECT_DOUBLE_EQ(platform::AnimationLog::last()->duration, 0.5);
}

} // namespace
