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
