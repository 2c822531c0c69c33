// The desktop keyboard as the phone's keyboard, the back swipe, and where
// the phone's screen sits in a window of any size.
#include "platform/host/KeyboardInput.h"
#include "platform/host/ScreenFit.h"
#include "platform/host/TouchTranslator.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UISwipeGestureRecognizer.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/platform/host/HostTestSupport.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"

#include <gtest/gtest.h>

using platform::Point;
using platform::host::KeyboardInput;

namespace {

// Counts the should-change questions, and refuses digits.
class CountingDelegate final : public UITextFieldDelegate {
public:
    bool textFieldShouldChangeCharacters(UITextField*, NSRange, const std::string& replacement) override
    {
        ++questions;
        return replacement.empty() || !(replacement[0] >= '0' && replacement[0] <= '9');
    }
    int questions = 0;
};

struct KeyboardSession {
    testsupport::AppHarness harness { [] {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        return options;
    }() };
    std::shared_ptr<sample::SampleAppDelegate> app = std::make_shared<sample::SampleAppDelegate>();
    std::shared_ptr<UITextField> field;
    std::shared_ptr<CountingDelegate> delegate = std::make_shared<CountingDelegate>();

    KeyboardSession()
    {
        EXPECT_TRUE(harness.start(app));
        app->root()->selectTab(1);
        field = std::make_shared<UITextField>(platform::Rect(20, 200, 280, 36));
        field->setDelegate(delegate);
        app->root()->tabs()[1]->view()->addSubview(field);
        harness.window()->layoutIfNeeded();
    }
};

} // namespace

TEST(KeyboardInput, TypesLikeTheHeadlessDriverAndEditsAtTheCaret)
{
    int headlessQuestions = 0;
    std::string headlessText;
    {
        KeyboardSession s;
        EXPECT_FALSE(s.harness.type(s.field, "ab1c你好"));
        headlessText = s.field->text();
        headlessQuestions = s.delegate->questions;
    }
    KeyboardSession s;
    KeyboardInput keys;
    // Nothing focused: typing goes nowhere and changes nothing.
    EXPECT_FALSE(keys.typeText("zz"));
    EXPECT_FALSE(keys.backspace());
    EXPECT_FALSE(keys.returnKey());
    EXPECT_EQ(keys.caret(), -1);
    EXPECT_EQ(s.field->text(), "");

    ASSERT_TRUE(testsupport::tap(s.field));
    EXPECT_TRUE(platform::Keyboard::isVisible());
    EXPECT_FALSE(keys.typeText("ab1c你好")); // the digit is refused, the rest goes in
    EXPECT_EQ(s.field->text(), headlessText);
    EXPECT_EQ(s.field->text(), "abc你好");
    EXPECT_EQ(s.delegate->questions, headlessQuestions);

    // Two characters left, then typing and deleting happen there.
    EXPECT_TRUE(keys.arrow(KeyboardInput::Arrow::Left));
    EXPECT_TRUE(keys.arrow(KeyboardInput::Arrow::Left));
    EXPECT_EQ(keys.caret(), 3);
    EXPECT_TRUE(keys.typeText("X"));
    EXPECT_EQ(s.field->text(), "abcX你好");
    EXPECT_TRUE(keys.backspace());
    EXPECT_TRUE(keys.backspace());
    EXPECT_EQ(s.field->text(), "ab你好");
    EXPECT_TRUE(keys.arrow(KeyboardInput::Arrow::Home));
    EXPECT_FALSE(keys.backspace()); // nothing before the start
    EXPECT_FALSE(keys.arrow(KeyboardInput::Arrow::Left));
    EXPECT_TRUE(keys.typeText(">"));
    EXPECT_EQ(s.field->text(), ">ab你好");
    EXPECT_TRUE(keys.arrow(KeyboardInput::Arrow::End));
    EXPECT_FALSE(keys.arrow(KeyboardInput::Arrow::Right));
    EXPECT_TRUE(keys.backspace());
    EXPECT_EQ(s.field->text(), ">ab你");

    // Text set from code puts the caret back at the end.
    s.field->setText("new");
    EXPECT_EQ(keys.caret(), 3);
    EXPECT_TRUE(keys.typeText("!"));
    EXPECT_EQ(s.field->text(), "new!");
}

TEST(KeyboardInput, ReturnGoesThroughTheFieldAndBreaksLinesInATextView)
{
    KeyboardSession s;
    KeyboardInput keys;
    int returns = 0;
    ASSERT_TRUE(testsupport::tap(s.field));
    struct Listener {
        int* count;
        void done() { ++*count; }
    };
    auto listener = std::make_shared<Listener>(Listener { &returns });
    s.field->addTarget(listener, &Listener::done, UIControlEventEditingDidEndOnExit);
    EXPECT_TRUE(keys.returnKey());
    EXPECT_EQ(returns, 1);
    EXPECT_FALSE(s.field->isFirstResponder()); // someone listens for the exit event, so it resigns
    EXPECT_FALSE(platform::Keyboard::isVisible());

    auto textView = std::make_shared<UITextView>(platform::Rect(20, 260, 280, 100));
    s.app->root()->tabs()[1]->view()->addSubview(textView);
    ASSERT_TRUE(testsupport::tap(textView));
    EXPECT_TRUE(keys.typeText("one"));
    EXPECT_TRUE(keys.returnKey());
    EXPECT_TRUE(keys.typeText("two"));
    EXPECT_EQ(textView->text(), "one\ntwo");
}

TEST(BackSwipe, PopsTheVisibleNavigationOrLetsTheScreensRecogniserTakeIt)
{
    testsupport::AppHarnessOptions options;
    options.startServer = false;
    testsupport::AppHarness harness(options);
    auto app = std::make_shared<sample::SampleAppDelegate>();
    ASSERT_TRUE(harness.start(app));
    auto navigation = app->root()->lessonsNavigation();
    // At the root there is nothing to go back to.
    EXPECT_FALSE(platform::host::performBackSwipe());
    EXPECT_EQ(navigation->viewControllers().size(), 1u);
    EXPECT_EQ(platform::host::visibleNavigationController(), navigation);

    auto list = std::dynamic_pointer_cast<sample::LessonListController>(navigation->viewControllers().front());
    ASSERT_TRUE(harness.selectRow(list->tableView(), 0, 1));
    ASSERT_EQ(navigation->viewControllers().size(), 2u);
    EXPECT_TRUE(platform::host::performBackSwipe());
    harness.advance(1);
    EXPECT_EQ(navigation->viewControllers().size(), 1u);

    // A screen with its own right swipe takes the stroke; no second pop follows.
    ASSERT_TRUE(harness.selectRow(list->tableView(), 0, 2));
    auto lesson = navigation->topViewController();
    int swipes = 0;
    auto swipe = std::make_shared<UISwipeGestureRecognizer>();
    swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
    swipe->addAction([&](UIGestureRecognizer*) {
        ++swipes;
        navigation->popViewControllerAnimated(false);
    });
    lesson->view()->addGestureRecognizer(swipe);
    EXPECT_TRUE(platform::host::performBackSwipe());
    EXPECT_EQ(swipes, 1);
    EXPECT_EQ(navigation->viewControllers().size(), 1u);
}

TEST(ScreenFit, WindowSizeFollowsTheDisplayUnlessActualSizeIsAsked)
{
    using platform::host::initialWindowSize;
    EXPECT_EQ(initialWindowSize(640, 1136, 2000, false), platform::Size(640, 1136));
    EXPECT_EQ(initialWindowSize(640, 1136, 1040, false), platform::Size(585, 1040));
    EXPECT_EQ(initialWindowSize(640, 1136, 1040, true), platform::Size(640, 1136));
    EXPECT_EQ(initialWindowSize(640, 1136, 0, false), platform::Size(640, 1136));
    EXPECT_EQ(initialWindowSize(0, 1136, 1040, false), platform::Size(0, 0));
}

TEST(ScreenFit, ResizedWindowsLetterboxAndPointsMapBothWays)
{
    using platform::host::fitViewport;
    using platform::host::windowToScreen;
    platform::Size screen(320, 568);
    // Exactly the image: points are half pixels.
    auto exact = fitViewport(640, 1136, 640, 1136);
    EXPECT_EQ(exact, (platform::host::Viewport { 0, 0, 640, 1136 }));
    EXPECT_EQ(windowToScreen(exact, screen, Point(320, 1136), false), Point(160, 568));
    // A wide window: bars left and right, the phone centred at the window's height.
    auto wide = fitViewport(640, 1136, 1000, 568);
    EXPECT_DOUBLE_EQ(wide.width, 320);
    EXPECT_DOUBLE_EQ(wide.height, 568);
    EXPECT_DOUBLE_EQ(wide.x, 340);
    EXPECT_DOUBLE_EQ(wide.y, 0);
    EXPECT_EQ(windowToScreen(wide, screen, Point(340 + 10, 20), false), Point(10, 20));
    // In a bar nothing is touched, unless a finger already down is kept on the glass.
    EXPECT_FALSE(windowToScreen(wide, screen, Point(100, 20), false));
    EXPECT_EQ(windowToScreen(wide, screen, Point(100, 20), true), Point(0, 20));
    // A tall window: bars above and below.
    auto tall = fitViewport(640, 1136, 320, 1000);
    EXPECT_DOUBLE_EQ(tall.y, (1000 - 568) / 2.0);
    // Degenerate windows give nothing to touch.
    EXPECT_EQ(fitViewport(640, 1136, 0, 500), platform::host::Viewport {});
    EXPECT_FALSE(windowToScreen(fitViewport(640, 1136, 0, 500), screen, Point(1, 1), true));
    EXPECT_FALSE(windowToScreen(exact, screen, Point(std::nan(""), 1), true));
}

TEST(ScreenFit, ALandscapeInterfaceTurnsThePictureAndSwapsTheWindowAtTheSameScale)
{
    using platform::host::ScreenTurn;
    using platform::host::screenTurnFor;
    using platform::host::swappedWindowSize;
    using platform::host::turnedSize;
    // Landscape right is drawn turned clockwise into the portrait screen, so it is shown turned back.
    EXPECT_EQ(screenTurnFor(UIInterfaceOrientationLandscapeRight), ScreenTurn::CounterClockwise);
    EXPECT_EQ(screenTurnFor(UIInterfaceOrientationLandscapeLeft), ScreenTurn::Clockwise);
    EXPECT_EQ(screenTurnFor(UIInterfaceOrientationPortrait), ScreenTurn::Upright);
    EXPECT_EQ(screenTurnFor(UIInterfaceOrientationPortraitUpsideDown), ScreenTurn::Upright);
    EXPECT_EQ(screenTurnFor(0), ScreenTurn::Upright);
    EXPECT_EQ(turnedSize(platform::Size(640, 1136), ScreenTurn::Clockwise), platform::Size(1136, 640));
    EXPECT_EQ(turnedSize(platform::Size(640, 1136), ScreenTurn::Upright), platform::Size(640, 1136));

    // Sides swapped, so the phone keeps its scale, and back again.
    auto fitted = platform::host::initialWindowSize(640, 1136, 1040, false);
    auto sideways = swappedWindowSize(fitted, 1920, 1040);
    EXPECT_EQ(sideways, platform::Size(1040, 585));
    EXPECT_EQ(swappedWindowSize(sideways, 1920, 1040), fitted);
    EXPECT_EQ(swappedWindowSize(platform::Size(640, 1136), 0, 0), platform::Size(1136, 640));
    // A display too narrow for the swapped window gets it scaled down to its width.
    EXPECT_EQ(swappedWindowSize(platform::Size(640, 1136), 1000, 1040), platform::Size(1000, 563));
    EXPECT_EQ(swappedWindowSize(platform::Size(0, 1136), 1000, 1040), platform::Size(0, 0));
}

namespace {

testing::AssertionResult at(std::optional<Point> seen, Point expected)
{
    if (seen && std::fabs(seen->x - expected.x) < 1e-9 && std::fabs(seen->y - expected.y) < 1e-9)
        return testing::AssertionSuccess();
    if (!seen)
        return testing::AssertionFailure() << "no point";
    return testing::AssertionFailure() << "at " << seen->x << "," << seen->y;
}

} // namespace

TEST(ScreenFit, PointsAndWheelDirectionsTurnBackOntoThePhonesScreen)
{
    using platform::host::fitViewport;
    using platform::host::screenToWindow;
    using platform::host::ScreenTurn;
    using platform::host::windowDirectionToScreen;
    using platform::host::windowToScreen;
    platform::Size screen(320, 568);
    // A landscape window at the phone's pixels: 1136 × 640, the picture filling it.
    auto v = fitViewport(1136, 640, 1136, 640);
    ASSERT_EQ(v, (platform::host::Viewport { 0, 0, 1136, 640 }));

    // Turned counter-clockwise (landscape right): the window's top left is the
    // screen's top right, where the landscape screen's top left is drawn.
    EXPECT_TRUE(at(windowToScreen(v, screen, Point(0, 0), false, ScreenTurn::CounterClockwise), Point(320, 0)));
    EXPECT_TRUE(at(windowToScreen(v, screen, Point(1136, 640), false, ScreenTurn::CounterClockwise), Point(0, 568)));
    EXPECT_TRUE(at(windowToScreen(v, screen, Point(100, 40), false, ScreenTurn::CounterClockwise), Point(300, 50)));
    // Turned clockwise (landscape left): the window's top left is the screen's bottom left.
    EXPECT_TRUE(at(windowToScreen(v, screen, Point(0, 0), false, ScreenTurn::Clockwise), Point(0, 568)));
    EXPECT_TRUE(at(windowToScreen(v, screen, Point(100, 40), false, ScreenTurn::Clockwise), Point(20, 518)));
    // And back to where the window shows them, either way.
    for (auto turn : { ScreenTurn::CounterClockwise, ScreenTurn::Clockwise, ScreenTurn::Upright }) {
        auto box = turn == ScreenTurn::Upright ? fitViewport(640, 1136, 800, 1136) : fitViewport(1136, 640, 1136, 800);
        for (Point p : { Point(13, 29), Point(300, 550), Point(160, 284) }) {
            auto shown = screenToWindow(box, screen, p, turn);
            EXPECT_TRUE(at(windowToScreen(box, screen, shown, false, turn), p));
        }
    }
    // A turned letterbox is still not the glass, unless a finger is already down.
    auto letterboxed = fitViewport(1136, 640, 1136, 800);
    EXPECT_FALSE(windowToScreen(letterboxed, screen, Point(10, 20), false, ScreenTurn::Clockwise));
    EXPECT_TRUE(at(windowToScreen(letterboxed, screen, Point(0, 20), true, ScreenTurn::Clockwise), Point(0, 568)));

    // Rightwards in a counter-clockwise window is downwards on the phone's screen; the other turn undoes it.
    EXPECT_EQ(windowDirectionToScreen(Point(1, 0), ScreenTurn::CounterClockwise), Point(0, 1));
    EXPECT_EQ(windowDirectionToScreen(Point(0, 1), ScreenTurn::CounterClockwise), Point(-1, 0));
    EXPECT_EQ(windowDirectionToScreen(Point(1, 0), ScreenTurn::Clockwise), Point(0, -1));
    EXPECT_EQ(windowDirectionToScreen(Point(0, 1), ScreenTurn::Clockwise), Point(1, 0));
    EXPECT_EQ(windowDirectionToScreen(Point(2, -3), ScreenTurn::Upright), Point(2, -3));
}
