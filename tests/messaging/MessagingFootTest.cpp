// Where the messaging screens end on either screen size: the box on the tab
// bar, the lists on their bars or at the foot of the screen, the bars at the
// foot with their buttons within reach of a finger; what the keyboard lifts
// comes back to where it rests on that screen.
#include "app/main/ORBViewController.h"
#include "core/model/ContactInfo.h"
#include "core/model/MessageInfo.h"
#include "messaging/chat/MessageViewController.h"
#include "messaging/compose/ContactSelectViewController.h"
#include "messaging/compose/MessageSendViewController.h"
#include "messaging/group/GroupStateViewController.h"
#include "messaging/history/SMSHistoryViewController.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "tests/messaging/box/BoxTestSupport.h"
#include "tests/messaging/compose/ComposeSupport.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/ScreenFoot.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

void expectButtonsReachable(const std::shared_ptr<UIView>& bar)
{
    int buttons = 0;
    for (const auto& view : bar->subviews()) {
        if (std::dynamic_pointer_cast<UIButton>(view) && !view->isHidden()) {
            expectReachable(view, "a button of " + bar->outletName());
            ++buttons;
        }
    }
    EXPECT_GT(buttons, 0) << bar->outletName();
}

} // namespace

TEST(MessagingFoot, ListsEndOnTheirBarsAndTheBarsAtTheFootOfEitherScreen)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        letAddressBookEnd(harness);
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        settle(harness, 2.0);
        {
            auto table = boxtest::table(boxtest::box());
            ASSERT_TRUE(table);
            auto tabBar = shownTabBarTop();
            ASSERT_TRUE(tabBar);
            EXPECT_DOUBLE_EQ(screenFrameOf(*table).maxY(), *tabBar);
            keepPicture(harness, "messaging-box", tall);
        }
        {
            auto message = std::make_shared<core::MessageInfo>();
            message->uid = "G2001";
            message->group = true;
            message->to = true;
            auto screen = std::make_shared<GroupStateViewController>();
            screen->setMessage(message);
            pushOnTab(harness, screen, ORBViewController::kMessageTab);
            EXPECT_FALSE(shownTabBarTop());
            EXPECT_DOUBLE_EQ(screenFrameOf(*outletOf(screen, "tableView")).maxY(), screenHeight());
            keepPicture(harness, "messaging-groupstate", tall);
            popScreen(harness);
        }
        {
            // The SMS history's list and its loading cover reach the foot.
            auto screen = std::make_shared<SMSHistoryViewController>();
            pushOnTab(harness, screen, ORBViewController::kMessageTab);
            EXPECT_FALSE(shownTabBarTop());
            EXPECT_DOUBLE_EQ(screenFrameOf(*outletOf(screen, "tableview")).maxY(), screenHeight());
            EXPECT_DOUBLE_EQ(screenFrameOf(*outletOf(screen, "loadingView")).maxY(), screenHeight());
            keepPicture(harness, "messaging-smshistory", tall);
            popScreen(harness);
        }
        {
            auto book = composetest::loadAddressBook();
            auto screen = std::make_shared<ContactSelectViewController>();
            screen->setListGroup(book.groups);
            screen->setListDataAll(book.contacts);
            pushOnTab(harness, screen, ORBViewController::kMessageTab);
            auto bar = outletOf(screen, "operateView");
            ASSERT_TRUE(bar);
            EXPECT_DOUBLE_EQ(screenFrameOf(*bar).maxY(), screenHeight());
            EXPECT_DOUBLE_EQ(screenFrameOf(*outletOf(screen, "contentView")).maxY(), screenFrameOf(*bar).minY());
            EXPECT_DOUBLE_EQ(screenFrameOf(*outletOf(screen, "groupTableView")).maxY(), screenFrameOf(*bar).minY());
            expectButtonsReachable(bar);
            keepPicture(harness, "messaging-contactselect", tall);
            popScreen(harness);
        }
    });
}

// The compose screen and the conversation: the bar at the foot, the content
// on it; the keyboard lifts what rides on it and, gone, leaves everything
// where it rested on this screen.
TEST(MessagingFoot, ComposeAndChatRestAtTheFootBeforeAndAfterTheKeyboard)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        letAddressBookEnd(harness);
        {
            auto screen = std::make_shared<MessageSendViewController>();
            pushOnTab(harness, screen, ORBViewController::kMessageTab);
            auto bar = outletOf(screen, "bottomView");
            auto content = outletOf(screen, "contentView");
            auto count = outletOf(screen, "charCountView");
            auto text = std::dynamic_pointer_cast<UITextView>(outletOf(screen, "txtContent"));
            ASSERT_TRUE(bar && content && count && text);
            EXPECT_DOUBLE_EQ(screenFrameOf(*bar).maxY(), screenHeight());
            EXPECT_DOUBLE_EQ(screenFrameOf(*content).maxY(), screenFrameOf(*bar).minY());
            expectReachable(outletOf(screen, "btnUseMsgTemplate"), "the template button");
            EXPECT_LE(screenFrameOf(*outletOf(screen, "btnUseMsgTemplate")).maxY(), screenFrameOf(*bar).minY());
            expectButtonsReachable(bar);
            keepPicture(harness, "messaging-compose", tall);
            const auto restingContent = screenFrameOf(*content);
            const auto restingCount = screenFrameOf(*count);
            ASSERT_TRUE(harness.tap(text));
            settle(harness, 0.5);
            ASSERT_TRUE(platform::Keyboard::isVisible());
            EXPECT_LE(screenFrameOf(*count).maxY(), platform::Keyboard::frame().minY());
            text->resignFirstResponder();
            settle(harness, 0.5);
            ASSERT_FALSE(platform::Keyboard::isVisible());
            EXPECT_EQ(screenFrameOf(*content), restingContent);
            EXPECT_EQ(screenFrameOf(*count), restingCount);
            popScreen(harness);
        }
        {
            auto contact = std::make_shared<core::ContactInfo>();
            contact->uid = 3002;
            contact->type = 2;
            contact->name = "王芳";
            auto screen = std::make_shared<MessageViewController>();
            screen->setContact(contact);
            pushOnTab(harness, screen, ORBViewController::kMessageTab);
            auto bar = outletOf(screen, "bottomView");
            auto table = outletOf(screen, "tableView");
            auto field = std::dynamic_pointer_cast<UITextField>(outletOf(screen, "txtMessage"));
            ASSERT_TRUE(bar && table && field);
            EXPECT_DOUBLE_EQ(screenFrameOf(*bar).maxY(), screenHeight());
            EXPECT_DOUBLE_EQ(screenFrameOf(*table).maxY(), screenFrameOf(*bar).minY());
            EXPECT_DOUBLE_EQ(screenFrameOf(*outletOf(screen, "contentView")).maxY(), screenHeight());
            expectButtonsReachable(bar);
            keepPicture(harness, "messaging-chat", tall);
            const auto restingBar = screenFrameOf(*bar);
            const auto restingTable = screenFrameOf(*table);
            ASSERT_TRUE(harness.tap(field));
            settle(harness, 0.5);
            ASSERT_TRUE(platform::Keyboard::isVisible());
            EXPECT_DOUBLE_EQ(screenFrameOf(*bar).maxY(), platform::Keyboard::frame().minY());
            EXPECT_DOUBLE_EQ(screenFrameOf(*table).maxY(), screenFrameOf(*bar).minY());
            field->resignFirstResponder();
            settle(harness, 0.5);
            ASSERT_FALSE(platform::Keyboard::isVisible());
            EXPECT_EQ(screenFrameOf(*bar), restingBar);
            EXPECT_EQ(screenFrameOf(*table), restingTable);
            popScreen(harness);
        }
    });
}
