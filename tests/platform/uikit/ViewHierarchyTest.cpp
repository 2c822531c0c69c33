#include "UIKitTestSupport.h"

#include "platform/os/ClassRegistry.h"
#include "platform/os/Log.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIKitRegistration.h"
#include "platform/uikit/UILabel.h"

#include <cmath>
#include <limits>

using platform::Rect;
using platform::Size;

namespace {

std::shared_ptr<UIView> tagged(int tag, Rect frame = Rect(0, 0, 10, 10))
{
    auto view = std::make_shared<UIView>(frame);
    view->setTag(tag);
    return view;
}

std::vector<int> tagsOf(const std::shared_ptr<UIView>& parent)
{
    std::vector<int> tags;
    for (auto& subview : parent->subviews())
        tags.push_back(subview->tag());
    return tags;
}

// Records the move hooks in the order they run.
class HookView final : public UIView {
public:
    explicit HookView(std::vector<std::string>* log)
        : log_(log)
    {
    }
    void willMoveToSuperview(UIView* s) override
    {
        log_->push_back(s ? "willMoveToSuperview" : "willMoveToNoSuperview");
    }
    void didMoveToSuperview() override { log_->push_back(superview() ? "didMoveToSuperview" : "didMoveToNoSuperview"); }
    void willMoveToWindow(UIWindow* w) override { log_->push_back(w ? "willMoveToWindow" : "willMoveToNoWindow"); }
    void didMoveToWindow() override { log_->push_back(window() ? "didMoveToWindow" : "didMoveToNoWindow"); }
    void didAddSubview(UIView*) override { log_->push_back("didAddSubview"); }
    void layoutSubviews() override { ++layouts; }
    int layouts = 0;

private:
    std::vector<std::string>* log_;
};

} // namespace

TEST_F(UIKitTest, SubviewOrderOperationsKeepTheExpectedOrder)
{
    auto parent = std::make_shared<UIView>(Rect(0, 0, 100, 100));
    auto a = tagged(1), b = tagged(2), c = tagged(3), d = tagged(4), e = tagged(5);
    parent->addSubview(a);
    parent->addSubview(b);
    parent->addSubview(c);
    EXPECT_EQ(tagsOf(parent), (std::vector<int> { 1, 2, 3 }));

    parent->insertSubview(d, 0);
    EXPECT_EQ(tagsOf(parent), (std::vector<int> { 4, 1, 2, 3 }));
    parent->insertSubview(e, 99); // past the end appends
    EXPECT_EQ(tagsOf(parent), (std::vector<int> { 4, 1, 2, 3, 5 }));

    parent->exchangeSubviewAtIndex(0, 4);
    EXPECT_EQ(tagsOf(parent), (std::vector<int> { 5, 1, 2, 3, 4 }));
    parent->exchangeSubviewAtIndex(1, 17); // out of range: nothing happens
    EXPECT_EQ(tagsOf(parent), (std::vector<int> { 5, 1, 2, 3, 4 }));

    parent->sendSubviewToBack(c);
    EXPECT_EQ(tagsOf(parent), (std::vector<int> { 3, 5, 1, 2, 4 }));
    parent->bringSubviewToFront(c);
    EXPECT_EQ(tagsOf(parent), (std::vector<int> { 5, 1, 2, 4, 3 }));

    parent->insertSubviewAbove(a, c); // a moves above c (to the end)
    EXPECT_EQ(tagsOf(parent), (std::vector<int> { 5, 2, 4, 3, 1 }));
    parent->insertSubviewBelow(e, b); // e moves just below b
    EXPECT_EQ(tagsOf(parent), (std::vector<int> { 5, 2, 4, 3, 1 }));
    parent->insertSubviewBelow(a, e);
    EXPECT_EQ(tagsOf(parent), (std::vector<int> { 1, 5, 2, 4, 3 }));

    // Adding again moves to the front; the superview is set once.
    parent->addSubview(a);
    EXPECT_EQ(tagsOf(parent), (std::vector<int> { 5, 2, 4, 3, 1 }));
    EXPECT_EQ(a->superview(), parent);

    b->removeFromSuperview();
    EXPECT_EQ(tagsOf(parent), (std::vector<int> { 5, 4, 3, 1 }));
    EXPECT_EQ(b->superview(), nullptr);
    b->removeFromSuperview(); // twice is harmless
}

TEST_F(UIKitTest, MovingAViewToAnotherParentTakesItOutOfTheFirst)
{
    auto first = tagged(1), second = tagged(2), child = tagged(3);
    first->addSubview(child);
    second->addSubview(child);
    EXPECT_TRUE(first->subviews().empty());
    EXPECT_EQ(child->superview(), second);
}

TEST_F(UIKitTest, CyclesAreRefused)
{
    auto a = tagged(1), b = tagged(2), c = tagged(3);
    a->addSubview(b);
    b->addSubview(c);
    c->addSubview(a); // a is an ancestor of c
    a->addSubview(a);
    EXPECT_EQ(a->superview(), nullptr);
    EXPECT_EQ(tagsOf(c), std::vector<int> {});
    EXPECT_EQ(tagsOf(a), std::vector<int> { 2 });
}

TEST_F(UIKitTest, ViewWithTagSearchesDepthFirstIncludingItself)
{
    auto root = tagged(100);
    auto branch = tagged(1);
    auto deep = tagged(9999);
    auto later = tagged(9999);
    root->addSubview(branch);
    branch->addSubview(deep);
    root->addSubview(later);
    EXPECT_EQ(root->viewWithTag(100), root);
    EXPECT_EQ(root->viewWithTag(9999), deep); // the first branch is searched before later siblings
    EXPECT_EQ(root->viewWithTag(12345), nullptr);
    EXPECT_EQ(testsupport::findViewByTag(root, 1), branch);
}

TEST_F(UIKitTest, MoveHooksRunInOrderAndWindowHooksReachTheWholeSubtree)
{
    std::vector<std::string> log;
    std::vector<std::string> childLog;
    auto view = std::make_shared<HookView>(&log);
    auto child = std::make_shared<HookView>(&childLog);
    view->addSubview(child);
    log.clear();
    childLog.clear();

    window->addSubview(view);
    EXPECT_EQ(log,
        (std::vector<std::string> {
            "willMoveToSuperview", "willMoveToWindow", "didMoveToSuperview", "didMoveToWindow" }));
    EXPECT_EQ(childLog, (std::vector<std::string> { "willMoveToWindow", "didMoveToWindow" }));

    log.clear();
    view->removeFromSuperview();
    EXPECT_EQ(log,
        (std::vector<std::string> {
            "willMoveToNoSuperview", "willMoveToNoWindow", "didMoveToNoSuperview", "didMoveToNoWindow" }));
}

TEST_F(UIKitTest, AutoresizingFollowsTheMaskOnEachAxis)
{
    struct Case {
        unsigned mask;
        Rect expected;
    };
    // Parent 100 × 100 → 200 × 150; child at (10, 20) 30 × 40, so right margin 60, bottom 40.
    const Case cases[] = {
        { UIViewAutoresizingNone, Rect(10, 20, 30, 40) },
        { UIViewAutoresizingFlexibleLeftMargin, Rect(110, 20, 30, 40) },
        { UIViewAutoresizingFlexibleRightMargin, Rect(10, 20, 30, 40) },
        { UIViewAutoresizingFlexibleWidth, Rect(10, 20, 130, 40) },
        { UIViewAutoresizingFlexibleTopMargin, Rect(10, 70, 30, 40) },
        { UIViewAutoresizingFlexibleHeight, Rect(10, 20, 30, 90) },
        { UIViewAutoresizingFlexibleBottomMargin, Rect(10, 20, 30, 40) },
        { UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight, Rect(10, 20, 130, 90) },
        // Two flexible parts share in proportion to their lengths: left 10 and width 30 → 25 and 75.
        { UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleWidth, Rect(35, 20, 105, 40) },
        // All three: 10 + 30 + 60 share 100 → +10, +30, +60.
        { UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleWidth
                | UIViewAutoresizingFlexibleRightMargin,
            Rect(20, 20, 60, 40) },
        // Both margins (the overlay's mask): the view keeps its size and its relative place.
        { UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin
                | UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin,
            Rect(10 + 100.0 * 10 / 70, 20 + 50.0 * 20 / 60, 30, 40) },
    };
    for (auto& c : cases) {
        auto parent = std::make_shared<UIView>(Rect(0, 0, 100, 100));
        auto child = std::make_shared<UIView>(Rect(10, 20, 30, 40));
        child->setAutoresizingMask(c.mask);
        parent->addSubview(child);
        parent->setFrame(Rect(0, 0, 200, 150));
        auto f = child->frame();
        EXPECT_NEAR(f.origin.x, c.expected.origin.x, 1e-9) << "mask " << c.mask;
        EXPECT_NEAR(f.origin.y, c.expected.origin.y, 1e-9) << "mask " << c.mask;
        EXPECT_NEAR(f.size.width, c.expected.size.width, 1e-9) << "mask " << c.mask;
        EXPECT_NEAR(f.size.height, c.expected.size.height, 1e-9) << "mask " << c.mask;
    }
}

TEST_F(UIKitTest, AutoresizingShrinksNoSizeBelowZeroAndCanBeSwitchedOff)
{
    auto parent = std::make_shared<UIView>(Rect(0, 0, 100, 100));
    auto child = std::make_shared<UIView>(Rect(0, 0, 100, 100));
    child->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    parent->addSubview(child);
    parent->setFrame(Rect(0, 0, 300, 20));
    EXPECT_EQ(child->frame(), Rect(0, 0, 300, 20));
    parent->setBounds(Rect(0, 0, 0, 0));
    EXPECT_EQ(child->frame().size, Size(0, 0));

    auto still = std::make_shared<UIView>(Rect(0, 0, 50, 50));
    auto grand = std::make_shared<UIView>(Rect(0, 0, 50, 50));
    grand->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    still->setAutoresizesSubviews(false);
    still->addSubview(grand);
    still->setFrame(Rect(0, 0, 80, 80));
    EXPECT_EQ(grand->frame(), Rect(0, 0, 50, 50));
}

TEST_F(UIKitTest, BadFramesHaveDefinedResults)
{
    auto view = std::make_shared<UIView>(Rect(1, 2, 3, 4));
    double nan = std::numeric_limits<double>::quiet_NaN();
    platform::LogCapture capture;
    view->setFrame(Rect(nan, 0, 10, 10));
    view->setFrame(Rect(0, 0, std::numeric_limits<double>::infinity(), 10));
    view->setCenter(platform::Point(nan, 5));
    view->setBounds(Rect(0, 0, 10, nan));
    EXPECT_EQ(view->frame(), Rect(1, 2, 3, 4)); // kept
    // A negative size describes the same area.
    view->setFrame(Rect(50, 60, -20, -10));
    EXPECT_EQ(view->frame(), Rect(30, 50, 20, 10));
    // NaN alpha is ignored; out-of-range alpha is clamped.
    view->setAlpha(nan);
    EXPECT_EQ(view->alpha(), 1.0);
    view->setAlpha(7);
    EXPECT_EQ(view->alpha(), 1.0);
    view->setAlpha(-1);
    EXPECT_EQ(view->alpha(), 0.0);
}

TEST_F(UIKitTest, LayoutRunsOnTheNextTurnForViewsInAWindowAndOnDemandOtherwise)
{
    std::vector<std::string> log;
    auto inWindow = std::make_shared<HookView>(&log);
    window->addSubview(inWindow);
    loop->runUntilIdle();
    int before = inWindow->layouts;
    EXPECT_GE(before, 1);
    inWindow->setNeedsLayout();
    inWindow->setNeedsLayout();
    EXPECT_EQ(inWindow->layouts, before);
    loop->runUntilIdle();
    EXPECT_EQ(inWindow->layouts, before + 1); // one pass for both requests

    auto loose = std::make_shared<HookView>(&log);
    loose->setNeedsLayout();
    loop->runUntilIdle();
    EXPECT_EQ(loose->layouts, 0);
    loose->layoutIfNeeded();
    EXPECT_EQ(loose->layouts, 1);
    loose->layoutIfNeeded();
    EXPECT_EQ(loose->layouts, 1);
    // A size change asks for layout; a move does not.
    loose->setFrame(Rect(5, 5, 0, 0));
    loose->layoutIfNeeded();
    EXPECT_EQ(loose->layouts, 1);
    loose->setFrame(Rect(5, 5, 10, 10));
    loose->layoutIfNeeded();
    EXPECT_EQ(loose->layouts, 2);
}

TEST_F(UIKitTest, SizeToFitKeepsTheOriginAndUsesSizeThatFits)
{
    auto label = std::make_shared<UILabel>(Rect(7, 9, 1, 1));
    label->setFont(UIFont::systemFont(10));
    label->setText("abc");
    label->sizeToFit();
    // Three lower-case letters at 0.55 em of 10 points, one line of 12 points.
    EXPECT_EQ(label->frame(), Rect(7, 9, std::ceil(3 * 5.5), 12));
    label->setText("");
    label->sizeToFit();
    EXPECT_EQ(label->frame(), Rect(7, 9, 0, 0));
}

TEST_F(UIKitTest, EveryViewClassIsRegisteredByName)
{
    platform::registerUIKitClasses();
    for (const char* name : { "UIView", "UIButton", "UILabel", "UIImageView", "UITextField", "UITextView",
             "UIActivityIndicatorView", "UIPageControl", "UIPickerView", "UIDatePicker", "UIToolbar", "UIControl",
             "UIWindow", "UIAlertView", "UIActionSheet" }) {
        auto view = platform::ClassRegistry::shared().createAs<UIView>(name);
        ASSERT_NE(view, nullptr) << name;
        EXPECT_EQ(view->className(), name);
    }
    EXPECT_EQ(platform::ClassRegistry::shared().create("UINoSuchView"), nullptr);
}

TEST_F(UIKitTest, QueriesFindViewsByClassOutletAndText)
{
    auto root = std::make_shared<UIView>(Rect(0, 0, 320, 100));
    auto label = std::make_shared<UILabel>();
    label->setText("用户名");
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setTitle("登录", UIControlStateNormal);
    button->setOutletName("btnLogin");
    root->addSubview(label);
    root->addSubview(button);
    EXPECT_EQ(testsupport::findViewsByClass(root, "UILabel").size(), 1u);
    EXPECT_EQ(testsupport::findViewByOutlet(root, "btnLogin"), button);
    EXPECT_EQ(testsupport::findViewByText(root, "登录"), button);
    EXPECT_EQ(testsupport::findViewByText(root, "用户名"), label);
    EXPECT_EQ(testsupport::findViewByText(root, "nothing"), nullptr);
}

TEST_F(UIKitTest, WindowsTellTheControllerLayerWhenTheirRootChanges)
{
    std::vector<std::pair<platform::Object*, platform::Object*>> changes;
    UIWindow::setRootViewControllerHook(
        [&](UIWindow& w, const std::shared_ptr<UIResponder>& oldRoot, const std::shared_ptr<UIResponder>& newRoot) {
            EXPECT_EQ(&w, window.get());
            changes.push_back({ oldRoot.get(), newRoot.get() });
        });
    auto first = std::make_shared<UIResponder>();
    auto second = std::make_shared<UIResponder>();
    window->setRootViewController(first);
    window->setRootViewController(first); // the same root again: no news
    window->setRootViewController(second);
    UIWindow::setRootViewControllerHook({});
    EXPECT_EQ(window->rootViewController(), second);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0], (std::pair<platform::Object*, platform::Object*> { nullptr, first.get() }));
    EXPECT_EQ(changes[1], (std::pair<platform::Object*, platform::Object*> { first.get(), second.get() }));
}

TEST_F(UIKitTest, KeyWindowAndWindowStackFollowVisibility)
{
    EXPECT_EQ(UIWindow::keyWindow(), window);
    EXPECT_TRUE(window->isKeyWindow());
    auto overlay = std::make_shared<UIWindow>(platform::Rect(0, 0, 60, 60));
    EXPECT_TRUE(overlay->isHidden()); // new windows start hidden
    overlay->setWindowLevel(UIWindowLevelStatusBar);
    overlay->setVisible(true);
    auto top = std::make_shared<UIView>(platform::Rect(0, 0, 50, 50));
    overlay->addSubview(top);
    EXPECT_EQ(UIWindow::visibleWindows().back(), overlay);
    // A touch goes to the highest window that covers the point, else to the one below.
    EXPECT_EQ(UIWindow::windowForTouchAtPoint(platform::Point(10, 10)), overlay);
    EXPECT_EQ(UIWindow::windowForTouchAtPoint(platform::Point(100, 100)), window);
    overlay->setVisible(false);
    EXPECT_EQ(UIWindow::windowForTouchAtPoint(platform::Point(10, 10)), window);
    EXPECT_EQ(UIWindow::keyWindow(), window);
}

TEST_F(UIKitTest, AViewThatAsksForLayoutInItsOwnLayoutDoesNotSpinTheLoop)
{
    class Restless final : public UIView {
    public:
        void layoutSubviews() override
        {
            ++layouts;
            setNeedsLayout();
        }
        int layouts = 0;
    };
    auto view = std::make_shared<Restless>();
    window->addSubview(view);
    loop->advance(1);
    EXPECT_EQ(view->layouts, 1);
    view->setNeedsLayout(); // a later request is served again
    loop->advance(1);
    EXPECT_EQ(view->layouts, 2);
}
