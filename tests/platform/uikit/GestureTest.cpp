#include "UIKitTestSupport.h"

#include "platform/uikit/UILabel.h"
#include "platform/uikit/UILongPressGestureRecognizer.h"
#include "platform/uikit/UIMenuController.h"
#include "platform/uikit/UIPasteboard.h"
#include "platform/uikit/UISwipeGestureRecognizer.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UITouch.h"

using platform::Point;
using platform::Rect;

namespace {

// A view that logs its raw touches and their tap counts.
class TouchView final : public UIView {
public:
    using UIView::UIView;
    void touchesBegan(const UITouchSet& touches, UIEvent*) override
    {
        log.push_back("began " + std::to_string(touches.front()->tapCount()));
    }
    void touchesMoved(const UITouchSet&, UIEvent*) override { log.push_back("moved"); }
    void touchesEnded(const UITouchSet& touches, UIEvent*) override
    {
        auto p = touches.front()->locationInView(this);
        log.push_back("ended " + std::to_string(int(p.x)) + "," + std::to_string(int(p.y)));
    }
    void touchesCancelled(const UITouchSet&, UIEvent*) override { log.push_back("cancelled"); }
    std::vector<std::string> log;
};

// A label that can be copied, as the screens build one: a long press makes it
// first responder and shows the menu with one item.
class CopyLabel final : public UILabel {
public:
    using UILabel::UILabel;
    bool canBecomeFirstResponder() const override { return true; }
    bool canPerformAction(std::string_view selector) const override { return selector == "copy:"; }
    bool performAction(std::string_view selector) override
    {
        if (selector != "copy:")
            return false;
        UIPasteboard::generalPasteboard().setString(text());
        return true;
    }
    void handleLongPress(UIGestureRecognizer*)
    {
        ++pressEvents;
        becomeFirstResponder();
        auto& menu = UIMenuController::sharedMenuController();
        menu.setMenuItems({ { "复制", "copy:" } });
        menu.setTargetRect(frame(), superview());
        menu.setMenuVisible(true, true);
    }
    int pressEvents = 0;
};

} // namespace

TEST_F(UIKitTest, RawTouchesArriveWithTapCountsAndLocalPoints)
{
    auto view = std::make_shared<TouchView>(Rect(100, 100, 50, 50));
    window->addSubview(view);
    testsupport::tap(view);
    testsupport::tap(view);
    loop->advance(0.5); // too late to count as a third tap
    testsupport::tap(view);
    EXPECT_EQ(view->log,
        (std::vector<std::string> { "began 1", "ended 25,25", "began 2", "ended 25,25", "began 1", "ended 25,25" }));
}

TEST_F(UIKitTest, DoubleTapNeedsTwoQuickTapsAndSingleTapFiresForTheFirstOnly)
{
    auto view = std::make_shared<TouchView>(Rect(0, 100, 320, 200));
    window->addSubview(view);
    int singles = 0, doubles = 0;
    auto single = std::make_shared<UITapGestureRecognizer>();
    single->addAction([&](UIGestureRecognizer*) { ++singles; });
    auto twice = std::make_shared<UITapGestureRecognizer>();
    twice->setNumberOfTapsRequired(2);
    twice->addAction([&](UIGestureRecognizer* g) {
        ++doubles;
        EXPECT_EQ(g->state(), UIGestureRecognizerStateRecognized);
    });
    view->addGestureRecognizer(single);
    view->addGestureRecognizer(twice);

    testsupport::tap(view);
    EXPECT_EQ(singles, 1);
    EXPECT_EQ(doubles, 0);
    testsupport::tap(view);
    EXPECT_EQ(singles, 1);
    EXPECT_EQ(doubles, 1);

    // Two taps too far apart in time are two single taps.
    loop->advance(1);
    testsupport::tap(view);
    loop->advance(0.36);
    testsupport::tap(view);
    EXPECT_EQ(singles, 3);
    EXPECT_EQ(doubles, 1);
    // The recognised taps cancelled the view's own touches.
    EXPECT_EQ(view->log.back(), "cancelled");
}

TEST_F(UIKitTest, LongPressNeedsItsDurationAndReportsEachStateChange)
{
    auto label = std::make_shared<CopyLabel>(Rect(10, 200, 200, 30));
    label->setText("家校通知");
    label->setUserInteractionEnabled(true);
    window->addSubview(label);
    std::vector<UIGestureRecognizerState> states;
    auto press = std::make_shared<UILongPressGestureRecognizer>();
    press->addTarget(label, &CopyLabel::handleLongPress);
    press->addAction([&](UIGestureRecognizer* g) { states.push_back(g->state()); });
    label->addGestureRecognizer(press);

    testsupport::longPress(label, 0.49); // short of the 0.5 s minimum
    EXPECT_TRUE(states.empty());
    EXPECT_FALSE(UIMenuController::sharedMenuController().isMenuVisible());

    testsupport::longPress(label, 0.5);
    EXPECT_EQ(states,
        (std::vector<UIGestureRecognizerState> { UIGestureRecognizerStateBegan, UIGestureRecognizerStateEnded }));
    EXPECT_EQ(label->pressEvents, 2);
    EXPECT_TRUE(label->isFirstResponder());
    auto& menu = UIMenuController::sharedMenuController();
    EXPECT_TRUE(menu.isMenuVisible());
    EXPECT_EQ(menu.targetRect(), label->frame());
    // The screen's own item for "copy:" stands in for the standard one: one entry per action.
    EXPECT_EQ(menu.visibleItemTitles(), std::vector<std::string> { "复制" });
    EXPECT_TRUE(testsupport::tapMenuItem("复制"));
    EXPECT_EQ(UIPasteboard::generalPasteboard().string(), std::optional<std::string>("家校通知"));
    EXPECT_FALSE(menu.isMenuVisible());
    // Without an item of its own the standard entry offers the action.
    auto items = menu.menuItems();
    menu.setMenuItems({});
    EXPECT_EQ(menu.visibleItemTitles(), std::vector<std::string> { "复制" });
    menu.setMenuItems(items);

    // Moving away before the time is up fails it.
    states.clear();
    window->beginTouches({ Point(50, 215) });
    window->moveTouches({ Point(80, 215) });
    loop->advance(1);
    window->endTouches();
    EXPECT_TRUE(states.empty());
}

TEST_F(UIKitTest, SwipesRecogniseOnlyTheirDirections)
{
    auto view = std::make_shared<UIView>(Rect(0, 0, 320, 568));
    window->addSubview(view);
    std::vector<std::string> seen;
    auto right = std::make_shared<UISwipeGestureRecognizer>();
    right->addAction([&](UIGestureRecognizer*) { seen.push_back("right"); });
    auto upDown = std::make_shared<UISwipeGestureRecognizer>();
    upDown->setDirection(UISwipeGestureRecognizerDirectionUp | UISwipeGestureRecognizerDirectionDown);
    upDown->addAction([&](UIGestureRecognizer*) { seen.push_back("vertical"); });
    view->addGestureRecognizer(right);
    view->addGestureRecognizer(upDown);

    testsupport::swipe(view, testsupport::SwipeDirection::Right);
    testsupport::swipe(view, testsupport::SwipeDirection::Left);
    testsupport::swipe(view, testsupport::SwipeDirection::Down);
    testsupport::swipe(view, testsupport::SwipeDirection::Up);
    EXPECT_EQ(seen, (std::vector<std::string> { "right", "vertical", "vertical" }));

    // A stroke too slanted is no swipe.
    seen.clear();
    window->beginTouches({ Point(100, 100) });
    window->moveTouches({ Point(140, 140) });
    window->endTouches();
    EXPECT_TRUE(seen.empty());
}

TEST_F(UIKitTest, DelegatesAndEnabledFlagGateRecognisers)
{
    class Gate final : public UIGestureRecognizerDelegate {
    public:
        bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer*, UITouch*) override { return receive; }
        bool gestureRecognizerShouldBegin(UIGestureRecognizer*) override { return begin; }
        bool gestureRecognizerShouldRecognizeSimultaneously(UIGestureRecognizer*, UIGestureRecognizer*) override
        {
            return together;
        }
        bool receive = true, begin = true, together = false;
    };
    auto view = std::make_shared<UIView>(Rect(0, 0, 320, 568));
    window->addSubview(view);
    auto gate = std::make_shared<Gate>();
    int first = 0, second = 0;
    auto a = std::make_shared<UISwipeGestureRecognizer>();
    a->setDelegate(gate);
    a->addAction([&](UIGestureRecognizer*) { ++first; });
    auto b = std::make_shared<UISwipeGestureRecognizer>();
    b->addAction([&](UIGestureRecognizer*) { ++second; });
    view->addGestureRecognizer(a);
    view->addGestureRecognizer(b);

    testsupport::swipe(view, testsupport::SwipeDirection::Right);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 0); // the first to recognise wins
    gate->together = true;
    testsupport::swipe(view, testsupport::SwipeDirection::Right);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 1);
    gate->begin = false;
    testsupport::swipe(view, testsupport::SwipeDirection::Right);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 2);
    gate->begin = true;
    gate->receive = false;
    testsupport::swipe(view, testsupport::SwipeDirection::Right);
    EXPECT_EQ(first, 2);
    b->setEnabled(false);
    testsupport::swipe(view, testsupport::SwipeDirection::Right);
    EXPECT_EQ(second, 3);

    // A recogniser whose target went away does not call it.
    struct Target {
        void hit(UIGestureRecognizer*) { ++hits; }
        int hits = 0;
    };
    auto target = std::make_shared<Target>();
    auto tap = std::make_shared<UITapGestureRecognizer>();
    tap->addTarget(target, &Target::hit);
    view->addGestureRecognizer(tap);
    testsupport::tap(view);
    EXPECT_EQ(target->hits, 1);
    target.reset();
    testsupport::tap(view); // nothing to call; no crash
}

TEST_F(UIKitTest, RecognisersOnHiddenViewsGetNothing)
{
    auto view = std::make_shared<UIView>(Rect(0, 0, 100, 100));
    window->addSubview(view);
    int taps = 0;
    auto tap = std::make_shared<UITapGestureRecognizer>();
    tap->addAction([&](UIGestureRecognizer*) { ++taps; });
    view->addGestureRecognizer(tap);
    EXPECT_EQ(tap->view(), view);
    view->setHidden(true);
    EXPECT_FALSE(testsupport::tap(view));
    view->setHidden(false);
    view->removeGestureRecognizer(tap);
    EXPECT_EQ(tap->view(), nullptr);
    testsupport::tap(view);
    EXPECT_EQ(taps, 0);
}
