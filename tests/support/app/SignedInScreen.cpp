#include "tests/support/app/SignedInScreen.h"

#include "app/main/ORBViewController.h"
#include "core/session/MyAccountInfo.h"
#include "platform/uikit/UINavigationController.h"
#include "server/StandinServer.h"

namespace testsupport {

void SignedInScreenTest::SetUp() { ASSERT_TRUE(startClient(*harness_)); }

void SignedInScreenTest::TearDown()
{
    harness_->stop();
    core::MyAccountInfo::setInstance(nullptr);
}

void SignedInScreenTest::signIn(const char* account, const char* password, long chooserRow)
{
    ASSERT_TRUE(signInThroughScreens(*harness_, account, password, chooserRow));
    ASSERT_NE(mainScreen(), nullptr);
}

void SignedInScreenTest::pushOnTab(const std::shared_ptr<UIViewController>& screen, int tab)
{
    auto main = mainScreen();
    ASSERT_NE(main, nullptr);
    main->switchToView(tab);
    auto navigation = harness_->visibleNavigationController();
    ASSERT_NE(navigation, nullptr);
    navigation->pushViewController(screen, true);
    settle(*harness_);
}

std::shared_ptr<UITableViewCell> SignedInScreenTest::visibleRow(UITableView& table, long row, long section) const
{
    auto path = NSIndexPath::indexPathForRow(row, section);
    table.scrollRectToVisible(table.rectForRowAtIndexPath(path), false);
    table.layoutIfNeeded();
    return table.cellForRowAtIndexPath(path);
}

std::vector<server::LoggedRequest> SignedInScreenTest::requests(const char* command) const
{
    return harness_->server()->requests().withCommand(command);
}

bool SignedInScreenTest::waitForAnswer(const char* command, std::size_t count) const
{
    return harness_->runUntilAnswered(command, count);
}

std::shared_ptr<server::ReplyGate> SignedInScreenTest::holdNext(const char* command, const server::ScriptedReply& reply)
{
    auto gate = std::make_shared<server::ReplyGate>();
    harness_->server()->script().forCommand(command, reply.heldBy(gate));
    return gate;
}

void SignedInScreenTest::popTopScreen()
{
    if (auto navigation = harness_->visibleNavigationController())
        navigation->popViewControllerAnimated(true);
    settle(*harness_);
}

std::shared_ptr<UIViewController> SignedInScreenTest::topScreen() const { return harness_->topScreen(); }

} // namespace testsupport
