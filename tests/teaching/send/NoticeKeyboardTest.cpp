// The class notice with the keyboard up, on the 4-inch and the 3.5-inch
// screen: 取消 and 发布 stay whole above the keys and answer a tap there,
// whether the content or the title is being typed, with no second 取消 of a
// keyboard bar stacked under them and the text area in reach from the title;
// a wheel's own bar leaves them in their place; and a tap on the form outside
// its fields puts the keyboard away and the bar back in its place.
#include "teaching/send/SendClassNoticeViewController.h"

#include "app/main/ORBViewController.h"
#include "core/session/MyAccountInfo.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "tests/app/ScreenWithKeyboard.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <map>

using namespace testsupport;

namespace {

platform::Rect inWindow(const std::shared_ptr<UIView>& view)
{
    auto window = UIWindow::keyWindow();
    return view->superview()->convertRectToView(view->frame(), window.get());
}

// 取消 and 发布 of the bottom bar, by title.
std::map<std::string, std::shared_ptr<UIButton>> barButtons(const std::shared_ptr<UIView>& bar)
{
    std::map<std::string, std::shared_ptr<UIButton>> buttons;
    for (const auto& view : bar->subviews()) {
        if (auto button = std::dynamic_pointer_cast<UIButton>(view))
            buttons[button->currentTitle()] = button;
    }
    return buttons;
}

// Both buttons lie whole between the navigation bar and the keyboard, and a
// finger at their centre reaches them.
void expectButtonsAboveTheKeyboard(const std::shared_ptr<UIView>& bar)
{
    ASSERT_TRUE(platform::Keyboard::isVisible());
    auto keyboard = platform::Keyboard::frame();
    auto window = UIWindow::keyWindow();
    auto buttons = barButtons(bar);
    ASSERT_EQ(buttons.size(), 2u);
    for (const char* title : { "取消", "发布" }) {
        SCOPED_TRACE(title);
        ASSERT_EQ(buttons.count(title), 1u);
        auto button = buttons[title];
        auto onScreen = inWindow(button);
        EXPECT_LE(onScreen.maxY(), keyboard.minY()) << title << " under the keyboard";
        EXPECT_GE(onScreen.minY(), 64) << title << " under the navigation bar";
        EXPECT_EQ(window->hitTest(platform::Point(onScreen.midX(), onScreen.midY()), nullptr).get(), button.get());
    }
}

// The text view starts at the top of the screen's view, just below the
// navigation bar, and ends above the bottom bar.
void expectTextInSight(const std::shared_ptr<SendClassNoticeViewController>& notice,
    const std::shared_ptr<UITextView>& content, const std::shared_ptr<UIView>& bar)
{
    auto window = UIWindow::keyWindow();
    auto top = notice->view()->convertRectToView(notice->view()->bounds(), window.get()).minY();
    EXPECT_GE(top, 64);
    EXPECT_GE(inWindow(content).minY(), top) << "the first lines under the navigation bar";
    EXPECT_GT(inWindow(content).height(), 40);
    EXPECT_LE(inWindow(content).maxY(), inWindow(bar).minY()) << "the text under the bottom bar";
}

TEST(NoticeKeyboard, TheBarStaysAboveTheKeyboardAndATapOutsidePutsItAway)
{
    for (auto kind : { UIScreen::Kind::FourInch, UIScreen::Kind::ThreePointFiveInch }) {
        AppHarnessOptions options;
        options.screen = kind;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        const int height = int(UIScreen::mainScreen()->bounds().height());
        SCOPED_TRACE(height);

        auto notice = std::make_shared<SendClassNoticeViewController>();
        harness.visibleNavigationController()->pushViewController(notice, true);
        settle(harness);
        auto receiver = findOutlet<UITextField>(notice->view(), "edReceiver");
        ASSERT_NE(receiver, nullptr);
        ASSERT_TRUE(harness.runUntil([&] { return receiver->isEnabled(); }));
        auto bar = findViewByOutlet(notice->view(), "bottomView");
        auto content = findOutlet<UITextView>(notice->view(), "tvContent");
        auto title = findOutlet<UITextField>(notice->view(), "edTitle");
        ASSERT_NE(bar, nullptr);
        ASSERT_NE(content, nullptr);
        ASSERT_NE(title, nullptr);
        const auto barAtRest = bar->frame();
        const auto contentAtRest = content->frame();

        // Typing the content.
        ASSERT_FALSE(platform::Keyboard::isVisible());
        ASSERT_TRUE(type(content, "周五下午三点开家长会"));
        ASSERT_TRUE(content->isFirstResponder());
        {
            SCOPED_TRACE("content");
            expectButtonsAboveTheKeyboard(bar);
        }
        // The text being typed lies whole between the navigation bar and the bar.
        expectTextInSight(notice, content, bar);
        EXPECT_FALSE(renderWithKeyboard(harness, "teaching-notice-keyboard-" + std::to_string(height) + ".png").empty());

        // 发布 answers there: without a title the send stops at its first check.
        auto send = barButtons(bar)["发布"];
        auto spot = screenCentreOf(send);
        EXPECT_EQ(tapAtPoint(platform::Point(spot.x, spot.y)).get(), send.get());
        harness.loop().runUntilIdle();
        EXPECT_EQ(harness.overlayText(), SendClassNoticeViewController::kNeedTitle);
        harness.advance(2);
        ASSERT_TRUE(harness.runUntilOverlayGone());

        // A tap on the form between the text and the bar puts the keyboard
        // away; the bar and the text go back to their places.
        ASSERT_TRUE(content->isFirstResponder());
        const double gapY = (inWindow(content).maxY() + inWindow(bar).minY()) / 2;
        auto window = UIWindow::keyWindow();
        auto under = window->hitTest(platform::Point(160, gapY), nullptr);
        ASSERT_NE(under, nullptr);
        EXPECT_EQ(dynamic_cast<UIControl*>(under.get()), nullptr);
        tapAtPoint(platform::Point(160, gapY));
        harness.loop().runUntilIdle();
        EXPECT_FALSE(content->isFirstResponder());
        EXPECT_FALSE(platform::Keyboard::isVisible());
        EXPECT_EQ(bar->frame(), barAtRest);
        EXPECT_EQ(content->frame(), contentAtRest);
        EXPECT_EQ(content->text(), "周五下午三点开家长会");

        // Typing the title.
        ASSERT_TRUE(type(title, "家长会"));
        ASSERT_TRUE(title->isFirstResponder());
        {
            SCOPED_TRACE("title");
            expectButtonsAboveTheKeyboard(bar);
        }
        // The title field itself is not covered, and one 取消 shows: the
        // bar's, with no bar of the keyboard's own under it.
        EXPECT_LE(inWindow(title).maxY(), inWindow(bar).minY());
        EXPECT_EQ(findViewByText(platform::Keyboard::window(), "取消"), nullptr);
        EXPECT_FALSE(
            renderWithKeyboard(harness, "teaching-notice-keyboard-title-" + std::to_string(height) + ".png").empty());

        // From the title to the content, the keyboard staying up, on either
        // screen: a finger on the part of the text area in sight above the
        // bar, and the content rises.
        {
            auto area = inWindow(content);
            double bottom = std::min(area.maxY(), inWindow(bar).minY());
            ASSERT_GE(bottom - area.minY(), 16) << "the text area behind the bar";
            harness.advance(1); // a moment after the last tap, not a double tap
            auto hit = tapAtPoint(platform::Point(area.midX(), (area.minY() + bottom) / 2));
            ASSERT_TRUE(hit && hit->isDescendantOfView(content.get()));
        }
        harness.loop().runUntilIdle();
        ASSERT_TRUE(content->isFirstResponder());
        EXPECT_FALSE(title->isFirstResponder());
        EXPECT_EQ(title->text(), "家长会");
        EXPECT_LT(findViewByOutlet(notice->view(), "contentView")->frame().origin.y, 0);
        expectTextInSight(notice, content, bar);
        {
            SCOPED_TRACE("content again");
            expectButtonsAboveTheKeyboard(bar);
        }
        EXPECT_EQ(findViewByText(platform::Keyboard::window(), "取消"), nullptr);
        // A tap on the bar beside its buttons puts the keyboard away too.
        auto barOnScreen = inWindow(bar);
        harness.advance(1); // a moment after the last tap, not a double tap
        tapAtPoint(platform::Point(barOnScreen.midX(), barOnScreen.minY() + 4));
        harness.loop().runUntilIdle();
        EXPECT_FALSE(platform::Keyboard::isVisible());
        EXPECT_EQ(bar->frame(), barAtRest);

        // The receiver's wheel comes with its own 取消 and 完成; the form's bar
        // stays in its place under it and the receiver's field is in sight.
        harness.advance(1);
        auto receiverSpot = screenCentreOf(receiver);
        tapAtPoint(platform::Point(receiverSpot.x, receiverSpot.y));
        harness.loop().runUntilIdle();
        ASSERT_TRUE(receiver->isFirstResponder());
        ASSERT_TRUE(platform::Keyboard::isVisible());
        EXPECT_NE(findViewByText(platform::Keyboard::window(), "取消"), nullptr);
        EXPECT_EQ(bar->frame(), barAtRest);
        EXPECT_GE(inWindow(bar).minY(), platform::Keyboard::frame().minY());
        EXPECT_LE(inWindow(receiver).maxY(), platform::Keyboard::frame().minY());
        EXPECT_FALSE(renderWithKeyboard(harness, "teaching-notice-keyboard-receiver-" + std::to_string(height) + ".png")
                         .empty());
        ASSERT_TRUE(tapButton(platform::Keyboard::window(), "完成"));
        harness.loop().runUntilIdle();
        EXPECT_FALSE(platform::Keyboard::isVisible());

        harness.stop();
        core::MyAccountInfo::setInstance(nullptr);
    }
}

} // namespace
