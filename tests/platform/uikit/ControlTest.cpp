#include "UIKitTestSupport.h"

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIPageControl.h"
#include "platform/uikit/UITapGestureRecognizer.h"

using platform::Color;
using platform::Point;
using platform::Rect;

namespace {

// A screen-like target that logs the events it receives.
class EventLog final {
public:
    void down(UIControl*) { events.push_back("down"); }
    void upInside(UIButton* sender) { events.push_back(sender ? "upInside" : "upInside(no button)"); }
    void upOutside() { events.push_back("upOutside"); }
    void cancel() { events.push_back("cancel"); }
    void changed(UIControl*) { events.push_back("changed"); }
    std::vector<std::string> events;
};

std::shared_ptr<UIImage> solidImage(int w, int h, Color color, double scale = 1)
{
    return std::make_shared<UIImage>(platform::Image(w, h, scale, color));
}

} // namespace

class ControlEvents : public UIKitTest {
protected:
    void SetUp() override
    {
        UIKitTest::SetUp();
        button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setFrame(Rect(100, 100, 100, 40));
        window->addSubview(button);
        log = std::make_shared<EventLog>();
        button->addTarget(log, &EventLog::down, UIControlEventTouchDown);
        button->addTarget(log, &EventLog::upInside, UIControlEventTouchUpInside);
        button->addTarget(log, &EventLog::upOutside, UIControlEventTouchUpOutside);
        button->addTarget(log, &EventLog::cancel, UIControlEventTouchCancel);
    }
    std::shared_ptr<UIButton> button;
    std::shared_ptr<EventLog> log;
};

TEST_F(ControlEvents, TapSendsDownThenUpInsideAndHighlightsMeanwhile)
{
    bool highlightedAtDown = false;
    button->addAction([&](UIControl* c) { highlightedAtDown = c->isHighlighted(); }, UIControlEventTouchDown);
    EXPECT_TRUE(testsupport::tap(button));
    EXPECT_EQ(log->events, (std::vector<std::string> { "down", "upInside" }));
    EXPECT_TRUE(highlightedAtDown);
    EXPECT_FALSE(button->isHighlighted());
}

TEST_F(ControlEvents, LiftingOffOutsideSendsUpOutside)
{
    EXPECT_TRUE(testsupport::dragOut(button, Point(10, 400)));
    EXPECT_EQ(log->events, (std::vector<std::string> { "down", "upOutside" }));
    EXPECT_FALSE(button->isHighlighted());
}

TEST_F(ControlEvents, DraggingReportsEnterAndExit)
{
    std::vector<unsigned> drags;
    button->addAction([&](UIControl*) { drags.push_back(UIControlEventTouchDragExit); }, UIControlEventTouchDragExit);
    button->addAction([&](UIControl*) { drags.push_back(UIControlEventTouchDragEnter); }, UIControlEventTouchDragEnter);
    window->beginTouches({ Point(150, 120) });
    window->moveTouches({ Point(300, 300) });
    EXPECT_FALSE(button->isHighlighted());
    window->moveTouches({ Point(150, 121) });
    EXPECT_TRUE(button->isHighlighted());
    window->endTouches();
    EXPECT_EQ(drags, (std::vector<unsigned> { UIControlEventTouchDragExit, UIControlEventTouchDragEnter }));
    EXPECT_EQ(log->events.back(), "upInside");
}

TEST_F(ControlEvents, CancelledTouchesSendCancel)
{
    window->beginTouches({ Point(150, 120) });
    window->cancelTouches();
    EXPECT_EQ(log->events, (std::vector<std::string> { "down", "cancel" }));
    // A recogniser on the button itself that recognises cancels the button's touch.
    log->events.clear();
    int taps = 0;
    auto recognizer = std::make_shared<UITapGestureRecognizer>();
    recognizer->addAction([&](UIGestureRecognizer*) { ++taps; });
    button->addGestureRecognizer(recognizer);
    testsupport::tap(button);
    EXPECT_EQ(taps, 1);
    EXPECT_EQ(log->events, (std::vector<std::string> { "down", "cancel" }));
}

TEST_F(ControlEvents, TargetsAreHeldWeaklyAndCanBeRemoved)
{
    log.reset(); // the only owner: the button must not call it any more
    EXPECT_EQ(button->numberOfActions(UIControlEventTouchUpInside), 0u);
    EXPECT_TRUE(testsupport::tap(button)); // no crash, nothing called

    auto other = std::make_shared<EventLog>();
    button->addTarget(other, &EventLog::upInside, UIControlEventTouchUpInside, "upInside:");
    button->addTarget(other, &EventLog::upInside, UIControlEventTouchUpInside, "upInside:"); // once only
    testsupport::tap(button);
    EXPECT_EQ(other->events, std::vector<std::string> { "upInside" });
    EXPECT_EQ(button->actionSelectors(UIControlEventTouchUpInside), std::vector<std::string> { "upInside:" });
    button->removeTarget(other.get(), UIControlEventTouchUpInside);
    testsupport::tap(button);
    EXPECT_EQ(other->events.size(), 1u);
}

TEST_F(ControlEvents, AnActionMayRemoveItsControlFromTheScreen)
{
    button->addAction([&](UIControl* c) { c->removeFromSuperview(); }, UIControlEventTouchUpInside);
    auto weak = std::weak_ptr<UIButton>(button);
    button.reset(); // only the window holds it now
    ASSERT_FALSE(weak.expired());
    EXPECT_NE(testsupport::tapAtPoint(Point(150, 120)), nullptr);
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(log->events, (std::vector<std::string> { "down", "upInside" }));
}

TEST_F(UIKitTest, PageControlTapsStepAndSendValueChanged)
{
    auto pages = std::make_shared<UIPageControl>(Rect(0, 400, 320, 37));
    pages->setNumberOfPages(3);
    window->addSubview(pages);
    int changes = 0;
    pages->addAction([&](UIControl*) { ++changes; }, UIControlEventValueChanged);
    testsupport::tapAtPoint(Point(300, 410)); // right half
    EXPECT_EQ(pages->currentPage(), 1);
    testsupport::tapAtPoint(Point(300, 410));
    testsupport::tapAtPoint(Point(300, 410)); // already on the last page: no change
    EXPECT_EQ(pages->currentPage(), 2);
    EXPECT_EQ(changes, 2);
    testsupport::tapAtPoint(Point(10, 410));
    EXPECT_EQ(pages->currentPage(), 1);
    EXPECT_EQ(changes, 3);
    pages->setCurrentPage(17); // from code: clamped, no event
    EXPECT_EQ(pages->currentPage(), 2);
    EXPECT_EQ(changes, 3);
    pages->setNumberOfPages(1);
    EXPECT_EQ(pages->currentPage(), 0);
    EXPECT_EQ(UIPageControl::sizeForNumberOfPages(3).width, 3 * 16 - 9);
}

TEST_F(UIKitTest, ButtonValuesPerStateFallBackToNormal)
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(Rect(0, 0, 120, 44));
    window->addSubview(button);
    auto normalImage = solidImage(20, 20, Color::redColor());
    auto selectedImage = solidImage(20, 20, Color::blueColor());
    button->setTitle("发送", UIControlStateNormal);
    button->setTitle("已选", UIControlStateSelected);
    button->setTitleColor(Color::blackColor(), UIControlStateNormal);
    button->setTitleColor(Color::grayColor(), UIControlStateHighlighted);
    button->setImage(normalImage, UIControlStateNormal);
    button->setImage(selectedImage, UIControlStateSelected);

    EXPECT_EQ(button->currentTitle(), "发送");
    EXPECT_EQ(button->currentImage(), normalImage);
    button->setHighlighted(true);
    EXPECT_EQ(button->currentTitle(), "发送"); // no highlighted title: the normal one
    EXPECT_EQ(button->currentTitleColor(), Color::grayColor());
    EXPECT_TRUE(button->isImageAdjusted()); // darkened: no image of its own for the state
    button->setHighlighted(false);
    button->setSelected(true);
    EXPECT_EQ(button->currentTitle(), "已选");
    EXPECT_EQ(button->currentImage(), selectedImage);
    EXPECT_EQ(button->currentTitleColor(), Color::blackColor());
    EXPECT_EQ(button->titleLabel()->text(), "已选"); // the label follows the state at once
    button->setSelected(false);
    button->setEnabled(false);
    EXPECT_EQ(button->state(), unsigned(UIControlStateDisabled));
    EXPECT_EQ(button->currentTitle(), "发送");
    button->setTitle(std::nullopt, UIControlStateNormal);
    EXPECT_EQ(button->currentTitle(), "");
    EXPECT_EQ(button->titleForState(UIControlStateSelected), std::optional<std::string>("已选"));

    // Without any colour: a custom button's titles are white, a system button's follow the tint.
    auto plain = UIButton::buttonWithType(UIButtonTypeCustom);
    EXPECT_EQ(plain->titleColorForState(UIControlStateNormal), Color::whiteColor());
    auto system = UIButton::buttonWithType(UIButtonTypeSystem);
    system->setTintColor(Color::greenColor());
    EXPECT_EQ(system->titleColorForState(UIControlStateNormal), Color::greenColor());
}

TEST_F(UIKitTest, ButtonLaysOutImageThenTitleCentredWithInsets)
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(Rect(0, 0, 200, 50));
    window->addSubview(button);
    button->setImage(solidImage(40, 40, Color::redColor(), 2), UIControlStateNormal); // 20 × 20 points
    button->setTitle("OK", UIControlStateNormal);
    button->titleLabel()->setFont(UIFont::systemFont(10)); // "OK": 6.5 + 6.5 → 13, 12 high
    button->layoutIfNeeded();
    // Group width 20 + 13 = 33, centred in 200: starts at 83.5.
    EXPECT_EQ(button->imageView()->frame(), Rect(83.5, 15, 20, 20));
    EXPECT_EQ(button->titleLabel()->frame(), Rect(103.5, 19, 13, 12));

    button->setTitleEdgeInsets(platform::EdgeInsets(0, -20, 0, 20)); // title moved left by 20
    button->setContentEdgeInsets(platform::EdgeInsets(0, 0, 0, 100)); // content in the left half
    button->layoutIfNeeded();
    EXPECT_EQ(button->imageView()->frame(), Rect(33.5, 15, 20, 20));
    EXPECT_EQ(button->titleLabel()->frame(), Rect(33.5, 19, 13, 12));

    button->setContentEdgeInsets(platform::EdgeInsets(5, 6, 7, 8));
    EXPECT_EQ(button->sizeThatFits(platform::Size()), platform::Size(20 + 13 + 14, 20 + 12));
}

TEST_F(UIKitTest, TapRecognisersOfAncestorsDoNotTakeTapsFromButtons)
{
    auto container = std::make_shared<UIView>(Rect(0, 0, 320, 300));
    window->addSubview(container);
    int containerTaps = 0;
    auto recognizer = std::make_shared<UITapGestureRecognizer>();
    recognizer->addAction([&](UIGestureRecognizer*) { ++containerTaps; });
    container->addGestureRecognizer(recognizer);
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(Rect(10, 10, 100, 40));
    container->addSubview(button);
    int clicks = 0;
    button->addAction([&](UIControl*) { ++clicks; }, UIControlEventTouchUpInside);

    testsupport::tap(button);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(containerTaps, 0);
    testsupport::tap(container);
    EXPECT_EQ(containerTaps, 1);
}
