#include "tests/support/app/AppHarness.h"
#include "core/session/ORBEndpoints.h"
#include "platform/net/Reachability.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/support/app/sample/SampleApp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using testsupport::AppHarness;

class AppHarnessTest : public ::testing::Test {
protected:
    std::shared_ptr<sample::SampleAppDelegate> delegate = std::make_shared<sample::SampleAppDelegate>();
};

TEST_F(AppHarnessTest, TheSampleApplicationStartsAndIsDrivenByTaps)
{
    AppHarness harness;
    ASSERT_TRUE(harness.start(delegate));
    auto& application = UIApplication::sharedApplication();
    EXPECT_EQ(application.applicationState(), UIApplicationStateActive);
    EXPECT_EQ(harness.window(), delegate->window());
    EXPECT_TRUE(harness.window()->isKeyWindow());
    EXPECT_EQ(harness.rootViewController(), delegate->root());

    // The first tab: a navigation stack holding the lessons table.
    auto stack = harness.navigationStack();
    ASSERT_EQ(stack.size(), 1u);
    auto list = std::dynamic_pointer_cast<sample::LessonListController>(stack.front());
    ASSERT_TRUE(list);
    EXPECT_EQ(harness.topScreen(), list);
    EXPECT_TRUE(list->isVisible());
    ASSERT_TRUE(harness.viewByText("Mathematics"));
    EXPECT_EQ(harness.viewsByClass("UITableViewCell").size(), sample::LessonListController::lessons().size());

    // A row tapped pushes the lesson; the push ends on the manual clock.
    ASSERT_TRUE(harness.selectRow(list->tableView(), 0, 1));
    harness.advance(UINavigationController::kTransitionDuration);
    stack = harness.navigationStack();
    ASSERT_EQ(stack.size(), 2u);
    auto lesson = std::dynamic_pointer_cast<sample::LessonController>(harness.topScreen());
    ASSERT_TRUE(lesson);
    EXPECT_EQ(lesson->lesson(), "Mathematics");
    EXPECT_TRUE(lesson->isVisible());
    EXPECT_FALSE(list->isVisible());
    EXPECT_FALSE(list->tableView()->indexPathForSelectedRow()) << "the list deselects the row it pushed from";

    // The alert, answered.
    ASSERT_TRUE(harness.tapButton("Ask the teacher"));
    auto alert = harness.currentAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "Send a question about Mathematics?");
    ASSERT_TRUE(harness.tapAlertButton("Send"));
    EXPECT_FALSE(harness.currentAlert());
    EXPECT_EQ(lesson->statusLabel()->text(), "Question sent");
    EXPECT_EQ(harness.userDefaults()->integerForKey(sample::kQuestionsSentKey), 1);

    // The second tab hides the stack; the first comes back as it was.
    ASSERT_TRUE(harness.tapButton("Settings"));
    EXPECT_EQ(delegate->root()->selectedIndex(), 1);
    EXPECT_TRUE(harness.navigationStack().empty());
    auto settings = std::dynamic_pointer_cast<sample::SettingsController>(harness.topScreen());
    ASSERT_TRUE(settings);
    EXPECT_TRUE(settings->isVisible());
    EXPECT_FALSE(lesson->isVisible());
    ASSERT_TRUE(harness.tapButton("Sign out"));
    ASSERT_TRUE(harness.tapAlertButton(0l));
    EXPECT_FALSE(settings->signedOut());
    ASSERT_TRUE(harness.tapButton("Lessons"));
    EXPECT_EQ(harness.topScreen(), lesson);
    EXPECT_TRUE(lesson->isVisible());
    EXPECT_EQ(harness.navigationStack().size(), 2u);

    harness.stop();
    EXPECT_TRUE(delegate->terminated());
}

TEST_F(AppHarnessTest, TheEnvironmentIsFreshAndPutBackAfterwards)
{
    auto baseBefore = core::ORBEndpoints::serverBase();
    std::string home;
    {
        testsupport::AppHarnessOptions options;
        options.screen = UIScreen::Kind::ThreePointFiveInch;
        options.reachability = 0;
        AppHarness harness(options);
        ASSERT_TRUE(harness.start(delegate));
        home = harness.home();
        EXPECT_EQ(platform::AppPaths::home(), home);
        EXPECT_TRUE(platform::FileUtil::isDirectory(platform::AppPaths::documentsDirectory()));
        EXPECT_EQ(harness.window()->bounds().height(), 480);
        EXPECT_EQ(harness.userDefaults()->integerForKey(sample::kQuestionsSentKey), 0);

        // The launch was announced, and the injected reachability answers.
        EXPECT_EQ(harness.notifications().count(UIApplicationDidFinishLaunchingNotification), 1u);
        EXPECT_EQ(harness.notifications().count(UIApplicationDidBecomeActiveNotification), 1u);
        auto reachability = platform::Reachability::createWithName("example.org");
        EXPECT_EQ(reachability->getFlags().value_or(99), 0u);
        harness.setReachability(platform::kReachabilityFlagReachable);
        EXPECT_EQ(reachability->getFlags().value_or(0), platform::kReachabilityFlagReachable);

        // The client talks to the stand-in server, and web views load through the engine.
        ASSERT_TRUE(harness.server());
        EXPECT_EQ(core::ORBEndpoints::serverBase(), harness.serverBase());
        auto web = std::make_shared<UIWebView>(platform::Rect(0, 0, 320, 300));
        web->loadRequest(
            *NSURLRequest::requestWithURL(core::ORBEndpoints::pullAddress("html/growth.html?saleModalId=7")));
        ASSERT_TRUE(harness.runUntil([&] { return web->request() && !web->isLoading(); }));
        EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.title"), "成长助手");
        EXPECT_NE(web->documentText().find("成长套餐 7"), std::string::npos);
        auto requests = harness.serverRequests();
        ASSERT_FALSE(requests.empty());
        EXPECT_EQ(requests.back().queryValue("saleModalId").value_or(""), "7");

        UIApplication::sharedApplication().openURL("tel:10086");
        EXPECT_EQ(harness.openedURLs(), (std::vector<std::string> { "tel:10086" }));
        harness.userDefaults()->setInteger(5, sample::kQuestionsSentKey);
    }
    EXPECT_FALSE(platform::FileUtil::exists(home)) << "the temporary home goes with the harness";
    EXPECT_EQ(core::ORBEndpoints::serverBase(), baseBefore);
    EXPECT_FALSE(UIWindow::keyWindow());

    // A second start is a new phone: nothing carried over.
    AppHarness again;
    ASSERT_TRUE(again.start(std::make_shared<sample::SampleAppDelegate>()));
    EXPECT_NE(again.home(), home);
    EXPECT_EQ(again.userDefaults()->integerForKey(sample::kQuestionsSentKey), 0);
    EXPECT_EQ(again.window()->bounds().height(), 568);
    EXPECT_TRUE(again.openedURLs().empty());
}

TEST_F(AppHarnessTest, DragsAndSwipesReachTheScreens)
{
    AppHarness harness;
    ASSERT_TRUE(harness.start(delegate));
    auto list = std::dynamic_pointer_cast<sample::LessonListController>(harness.topScreen());
    ASSERT_TRUE(list);
    auto table = list->tableView();
    // Six rows of 44 fit the screen: pulling down bounces back, pushing up too.
    harness.drag(table, -120);
    EXPECT_FALSE(table->isDragging());
    EXPECT_TRUE(table->isDecelerating());
    EXPECT_EQ(table->contentOffset().y, 120);
    harness.advance(UIScrollView::kDecelerationDuration);
    EXPECT_FALSE(table->isDecelerating());
    EXPECT_EQ(table->contentOffset().y, table->maximumContentOffset().y);
    EXPECT_TRUE(harness.swipeRight(table));
    EXPECT_EQ(harness.navigationStack().size(), 1u);
    EXPECT_FALSE(harness.tapButton("No such button"));
}

} // namespace
