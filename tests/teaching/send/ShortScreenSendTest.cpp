// On the 3.5-inch screen the sending screens keep their bars and buttons on
// the screen: the notice's and the homework's bottom bars stand on the
// window's bottom edge, the online-service buttons stay above it, and the
// homework typed with the keys up stays in sight.
#include "teaching/send/AssigningHomeworkViewController.h"
#include "teaching/send/SendClassNoticeViewController.h"
#include "teaching/send/SendOnlineServiceViewController.h"

#include "app/main/ORBViewController.h"
#include "core/session/MyAccountInfo.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "tests/app/ScreenWithKeyboard.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "tests/teaching/send/SendScreenTest.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

double bottomInWindow(const std::shared_ptr<UIView>& view)
{
    auto window = UIWindow::keyWindow();
    return view->superview()->convertRectToView(view->frame(), window.get()).maxY();
}

TEST(SendScreensShortScreen, BarsAndButtonsStayOnTheScreen)
{
    AppHarnessOptions options;
    options.screen = UIScreen::Kind::ThreePointFiveInch;
    AppHarness harness(options);
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
    mainScreen()->switchToView(ORBViewController::kMessageTab);
    const double windowHeight = UIWindow::keyWindow()->frame().height();

    auto notice = std::make_shared<SendClassNoticeViewController>();
    harness.visibleNavigationController()->pushViewController(notice, true);
    settle(harness);
    auto noticeBar = findViewByOutlet(notice->view(), "bottomView");
    ASSERT_NE(noticeBar, nullptr);
    EXPECT_DOUBLE_EQ(bottomInWindow(noticeBar), windowHeight);
    EXPECT_LE(bottomInWindow(findViewByOutlet(notice->view(), "tvContent")), windowHeight - noticeBar->frame().height());

    auto homework = std::make_shared<AssigningHomeworkViewController>();
    harness.visibleNavigationController()->pushViewController(homework, true);
    settle(harness);
    auto homeworkBar = findViewByOutlet(homework->view(), "bottomView");
    ASSERT_NE(homeworkBar, nullptr);
    EXPECT_DOUBLE_EQ(bottomInWindow(homeworkBar), windowHeight);
    auto content = findViewByOutlet(homework->view(), "contentView");
    EXPECT_LE(content->frame().maxY(), homeworkBar->frame().minY());
    // The homework typed with the keys up: its line stays in sight.
    auto homeworkText = findOutlet<UITextView>(homework->view(), "tvContent");
    ASSERT_TRUE(type(homeworkText, "背诵课文第三段"));
    expectTypedLineSeen(homeworkText, *homework);
    EXPECT_FALSE(renderWithKeyboard(harness, "teaching-homework-keyboard-3.5inch.png").empty());
    homework->selectedReceiver();
    EXPECT_FALSE(platform::Keyboard::isVisible());

    auto service = std::make_shared<SendOnlineServiceViewController>();
    harness.visibleNavigationController()->pushViewController(service, true);
    settle(harness);
    auto reply = findViewByOutlet(service->view(), "needReplyView");
    ASSERT_NE(reply, nullptr);
    for (const auto& button : reply->subviews())
        EXPECT_LE(bottomInWindow(button), windowHeight);
    harness.stop();
    core::MyAccountInfo::setInstance(nullptr);
}

} // namespace
