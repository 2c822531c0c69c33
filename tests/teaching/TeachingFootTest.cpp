// Where the teaching screens end on either screen size: lists at the foot of
// the screen or on their bar, the bars at the foot, and every control at the
// bottom on the screen within reach of a finger; the text lifted for the
// keyboard comes back to where it rests on that screen.
#include "app/main/ORBViewController.h"
#include "core/model/StudentInfo.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextView.h"
#include "teaching/comment/CommentHistoryViewController.h"
#include "teaching/comment/CommentViewController.h"
#include "teaching/schedule/ScheduleViewController.h"
#include "teaching/send/AssigningHomeworkViewController.h"
#include "teaching/send/SendClassNoticeViewController.h"
#include "teaching/send/SendOnlineServiceViewController.h"
#include "teaching/students/SelectStudentViewController.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/ScreenFoot.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

bool signIn(AppHarness& harness)
{
    if (!signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword))
        return false;
    letAddressBookEnd(harness);
    return true;
}

std::shared_ptr<UIButton> buttonTitled(const std::shared_ptr<UIView>& root, const std::string& title)
{
    for (const auto& view : findViewsByClass(root, "UIButton")) {
        auto button = std::dynamic_pointer_cast<UIButton>(view);
        if (button && button->currentTitle() == title)
            return button;
    }
    return nullptr;
}

std::shared_ptr<UIButton> firstButtonIn(const std::shared_ptr<UIView>& view)
{
    for (const auto& subview : view->subviews()) {
        if (auto button = std::dynamic_pointer_cast<UIButton>(subview))
            return button;
    }
    return nullptr;
}

} // namespace

// The homework's photo row stays in its content above the bar on the short
// screen (it lay under the bar and past the foot of the screen there), and
// the text lifted for the keyboard comes back to its place on that screen.
TEST(TeachingFoot, HomeworkPhotoRowStaysAboveTheBarAndTheTextComesBackAfterTheKeyboard)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signIn(harness));
        auto screen = std::make_shared<AssigningHomeworkViewController>();
        pushOnTab(harness, screen, ORBViewController::kGridTab);
        auto bar = outletOf(screen, "bottomView");
        auto content = outletOf(screen, "contentView");
        auto text = std::dynamic_pointer_cast<UITextView>(outletOf(screen, "tvContent"));
        ASSERT_TRUE(bar && content && text);
        EXPECT_DOUBLE_EQ(screenFrameOf(*bar).maxY(), screenHeight());
        // As far above the bar as the layout draws it.
        EXPECT_DOUBLE_EQ(screenFrameOf(*bar).minY() - screenFrameOf(*content).maxY(), 8);
        auto row = outletOf(screen, "fileContainer")->superview();
        ASSERT_TRUE(row);
        EXPECT_LE(screenFrameOf(*row).maxY(), screenFrameOf(*content).maxY());
        EXPECT_LE(screenFrameOf(*text).maxY(), screenFrameOf(*row).minY());
        expectReachable(firstButtonIn(row), "the add-photo button");
        for (const auto& button : bar->subviews()) {
            if (std::dynamic_pointer_cast<UIButton>(button))
                expectReachable(button, "a button of the bar");
        }
        keepPicture(harness, "teaching-homework", tall);

        const auto restingContent = screenFrameOf(*content);
        const auto restingText = screenFrameOf(*text);
        ASSERT_TRUE(harness.tap(text));
        settle(harness, 0.5);
        ASSERT_TRUE(platform::Keyboard::isVisible());
        EXPECT_LE(screenFrameOf(*text).maxY(), platform::Keyboard::frame().minY());
        text->resignFirstResponder();
        settle(harness, 0.5);
        ASSERT_FALSE(platform::Keyboard::isVisible());
        EXPECT_EQ(screenFrameOf(*content), restingContent);
        EXPECT_EQ(screenFrameOf(*text), restingText);
        popScreen(harness);
    });
}

// 发送点评 stays on the screen under the suggestions (it lay past the foot
// of the short screen).
TEST(TeachingFoot, TheCommentButtonIsOnTheScreenUnderTheSuggestions)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signIn(harness));
        auto screen = std::make_shared<CommentViewController>();
        pushOnTab(harness, screen, ORBViewController::kGridTab);
        auto button = buttonTitled(screen->view(), "发送点评");
        auto table = outletOf(screen, "tableView");
        ASSERT_TRUE(button && table);
        expectReachable(button, "发送点评");
        // As the layout draws them: the button 6 points above the foot, the list 8 above the button.
        EXPECT_DOUBLE_EQ(screenHeight() - screenFrameOf(*button).maxY(), 6);
        EXPECT_DOUBLE_EQ(screenFrameOf(*button).minY() - screenFrameOf(*table).maxY(), 8);
        keepPicture(harness, "teaching-comment", tall);
        popScreen(harness);
    });
}

// The screens whose cut for the short screen was right keep their places
// under the one rule: lists to the foot or their bar, bars at the foot.
TEST(TeachingFoot, ListsAndBarsEndAtTheFootOfEitherScreen)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signIn(harness));
        {
            auto screen = std::make_shared<SelectStudentViewController>();
            pushOnTab(harness, screen, ORBViewController::kGridTab);
            auto bar = outletOf(screen, "studentCountView");
            auto grid = outletOf(screen, "scrollView");
            ASSERT_TRUE(bar && grid);
            EXPECT_DOUBLE_EQ(screenFrameOf(*bar).maxY(), screenHeight());
            EXPECT_DOUBLE_EQ(screenFrameOf(*bar).minY() - screenFrameOf(*grid).maxY(), 10);
            for (const char* name : { "loadingView", "errorView" })
                EXPECT_EQ(screenFrameOf(*outletOf(screen, name)), screenFrameOf(*grid)) << name;
            expectReachable(outletOf(screen, "clearBtn"), "清空");
            // 点评 waits for a chosen student, but it is on the screen.
            EXPECT_TRUE(insideScreen(*outletOf(screen, "commentBtn")));
            keepPicture(harness, "teaching-select", tall);
            popScreen(harness);
        }
        {
            auto screen = std::make_shared<ScheduleViewController>();
            pushOnTab(harness, screen, ORBViewController::kGridTab);
            auto list = outletOf(screen, "tableview");
            ASSERT_TRUE(list);
            EXPECT_DOUBLE_EQ(screenFrameOf(*list).maxY(), screenHeight());
            keepPicture(harness, "teaching-schedule", tall);
            popScreen(harness);
        }
        {
            auto student = std::make_shared<core::StudentInfo>();
            student->studentId = 1;
            auto screen = std::make_shared<CommentHistoryViewController>();
            screen->setStudentInfo(student);
            pushOnTab(harness, screen, ORBViewController::kGridTab);
            auto list = outletOf(screen, "historyTableView");
            ASSERT_TRUE(list);
            EXPECT_DOUBLE_EQ(screenFrameOf(*list).maxY(), screenHeight());
            keepPicture(harness, "teaching-history", tall);
            popScreen(harness);
        }
        {
            auto screen = std::make_shared<SendClassNoticeViewController>();
            pushOnTab(harness, screen, ORBViewController::kGridTab);
            auto bar = outletOf(screen, "bottomView");
            auto content = outletOf(screen, "contentView");
            ASSERT_TRUE(bar && content);
            EXPECT_DOUBLE_EQ(screenFrameOf(*bar).maxY(), screenHeight());
            // The hidden day row's height and the layout's margin.
            EXPECT_DOUBLE_EQ(screenFrameOf(*bar).minY() - screenFrameOf(*content).maxY(), 56);
            for (const auto& button : bar->subviews()) {
                if (std::dynamic_pointer_cast<UIButton>(button))
                    expectReachable(button, "a button of the bar");
            }
            keepPicture(harness, "teaching-notice", tall);
            popScreen(harness);
        }
        {
            auto screen = std::make_shared<SendOnlineServiceViewController>();
            pushOnTab(harness, screen, ORBViewController::kGridTab);
            // The keyboard comes up by itself; the buttons rest at the foot once it has gone.
            ASSERT_TRUE(platform::Keyboard::isVisible());
            auto text = std::dynamic_pointer_cast<UITextView>(outletOf(screen, "textView"));
            auto reply = outletOf(screen, "needReplyView");
            ASSERT_TRUE(text && reply);
            EXPECT_LE(screenFrameOf(*reply).maxY(), platform::Keyboard::frame().minY());
            text->resignFirstResponder();
            settle(harness, 0.5);
            ASSERT_FALSE(platform::Keyboard::isVisible());
            EXPECT_DOUBLE_EQ(screenFrameOf(*reply).maxY(), screenHeight());
            EXPECT_DOUBLE_EQ(screenFrameOf(*text).maxY(), screenFrameOf(*reply).minY());
            for (const auto& button : reply->subviews()) {
                if (std::dynamic_pointer_cast<UIButton>(button))
                    expectReachable(button, "a button under the text");
            }
            keepPicture(harness, "teaching-service", tall);
            popScreen(harness);
        }
    });
}
