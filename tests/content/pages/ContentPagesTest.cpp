// The growth assistant's page, the hot activities with their pages and the
// portal site's rows, on the browser engine under an X server of the test's
// own.
#include "app/web/ORBWebViewController.h"
#include "content/pages/GrowthAssistantViewController.h"
#include "content/pages/HotActivityViewController.h"
#include "content/portal/WeiClassViewController.h"
#include "platform/os/ClassRegistry.h"
#include "core/session/ORBEndpoints.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/WebEngine.h"
#include "server/ReplyGate.h"
#include "server/StandinServer.h"
#include "tests/support/EngineDisplay.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

namespace {

using namespace content;
using Cmd = core::ORBEndpoints::Cmd;
using testsupport::settle;

[[maybe_unused]] auto* const kDisplay = testsupport::addEngineDisplay();

constexpr int kTab = 0;

class PagesTest : public testsupport::SignedInScreenTest {
protected:
    std::shared_ptr<UIWebView> webView() const
    {
        return std::dynamic_pointer_cast<UIWebView>(harness().viewByOutlet("webView"));
    }
    bool indicatorOff()
    {
        return harness().runUntil([] { return !UIApplication::sharedApplication().isNetworkActivityIndicatorVisible(); });
    }
    static server::ScriptedReply jumpTo(const std::string& address)
    {
        return server::ScriptedReply::custom(200, R"({"resultState":1,"resultMsg":"","jumpUrl":")" + address + "\"}");
    }
};

TEST_F(PagesTest, TheGrowthAssistantShowsThePageThePlatformNames)
{
    signIn();
    auto gate = holdNext(Cmd::kGrowthAssistant);
    auto screen = std::make_shared<GrowthAssistantViewController>();
    // The grid's title; the screen sets none of its own.
    screen->setTitle("成长帮手");
    open(screen, kTab);
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "请求数据中"; }));
    gate->open();
    ASSERT_TRUE(waitForAnswer(Cmd::kGrowthAssistant));
    // The sale model's id goes out as the 64-bit number, not cut and not as text.
    auto asked = requests(Cmd::kGrowthAssistant);
    ASSERT_EQ(asked.size(), 1u);
    ASSERT_TRUE(asked[0].json);
    const auto& id = (*asked[0].json)["saleModalId"];
    EXPECT_TRUE(id.isInteger());
    EXPECT_EQ(id.longLongValue(), 3622090001LL);

    ASSERT_TRUE(harness().runUntil([&] { return webView()->documentTitle() == "成长助手"; }));
    ASSERT_TRUE(screen->url());
    EXPECT_EQ(screen->url()->absoluteString(), harness().serverBase() + "mobile2/pull/html/growth.html?saleModalId=3622090001");
    EXPECT_TRUE(harness().overlayText().empty());
    EXPECT_TRUE(indicatorOff());
    settle(harness());
    harness().render("content-growth-assistant.png");

    // Leaving stops the page and lets go of it.
    screen->popViewController();
    settle(harness());
    EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
}

TEST_F(PagesTest, LeavingTheGrowthAssistantWhileItsPageLoadsStopsIt)
{
    signIn();
    auto page = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute("html/growth.html", server::ScriptedReply::normal().heldBy(page));
    auto screen = open(std::make_shared<GrowthAssistantViewController>(), kTab);
    auto web = webView();
    ASSERT_TRUE(web);
    // The engine's start reaches the loop a turn after the request reaches the server.
    ASSERT_TRUE(harness().runUntil([&] {
        return page->arrived() == 1 && web->isLoading()
            && UIApplication::sharedApplication().isNetworkActivityIndicatorVisible();
    }));
    screen->popViewController();
    settle(harness());
    EXPECT_FALSE(web->isLoading());
    EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
    page->open();
}

TEST_F(PagesTest, TheGrowthAssistantLoadsOnlyWebAddresses)
{
    signIn();
    for (const char* address : { "javascript:alert(document.cookie)", "file:///etc/passwd", "" }) {
        harness().server()->script().forCommand(Cmd::kGrowthAssistant, jumpTo(address));
        std::size_t before = requests(Cmd::kGrowthAssistant).size();
        auto screen = open(std::make_shared<GrowthAssistantViewController>(), kTab);
        ASSERT_TRUE(waitForAnswer(Cmd::kGrowthAssistant, before + 1));
        ASSERT_TRUE(harness().runUntilOverlayGone()) << address;
        settle(harness());
        EXPECT_FALSE(screen->url()) << address;
        EXPECT_FALSE(webView()->isLoading()) << address;
        EXPECT_EQ(webView()->documentTitle(), "") << address;
        EXPECT_FALSE(harness().currentAlert()) << address;
        screen->popViewController();
        settle(harness());
    }
}

TEST_F(PagesTest, ARefusedGrowthRequestIsToldAndClosesTheScreen)
{
    signIn();
    harness().server()->script().forCommand(Cmd::kGrowthAssistant, server::ScriptedReply::errorEnvelope("套餐已下线"));
    auto screen = open(std::make_shared<GrowthAssistantViewController>(), kTab);
    ASSERT_TRUE(harness().runUntil([&] {
        auto alert = harness().currentAlert();
        return alert && alert->title() == "请求失败" && alert->message() == "套餐已下线";
    }));
    EXPECT_TRUE(harness().overlayText().empty());
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    settle(harness());
    EXPECT_NE(harness().topScreen(), screen);
}

TEST_F(PagesTest, HotActivitiesListAndOpenTheirPages)
{
    signIn();
    auto gate = holdNext(Cmd::kHotActivities);
    auto screen = open(std::make_shared<HotActivityViewController>(), kTab);
    EXPECT_EQ(screen->title(), "热门活动");
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "正在加载热门活动列表..."; }));
    gate->open();
    ASSERT_TRUE(harness().runUntil([&] { return screen->hotActivities().size() == 3; }));
    settle(harness());
    EXPECT_TRUE(harness().overlayText().empty());
    auto table = testsupport::findOutlet<UITableView>(screen->view(), "activityTableView");
    ASSERT_EQ(table->numberOfRowsInSection(0), 3);
    // Newest first.
    auto first = visibleCell<HotActivityCell>(*table, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->hotActivityInfo()->title, "暑期夏令营");
    EXPECT_EQ(first->reuseIdentifier(), "Cell");
    EXPECT_TRUE(harness().viewByText("七月夏令营报名进行中，名额有限。"));
    EXPECT_TRUE(harness().viewByText("2024-05-15 10:00:00"));
    harness().render("content-hot-activities.png");

    // The row opens its page, titled by the page.
    ASSERT_TRUE(harness().selectRow(table, 0, 0));
    settle(harness());
    auto page = std::dynamic_pointer_cast<ORBWebViewController>(harness().topScreen());
    ASSERT_TRUE(page);
    ASSERT_TRUE(page->loadUrl());
    EXPECT_EQ(page->loadUrl()->absoluteString(), harness().serverBase() + "mobile2/pull/html/activity/3.html");
    ASSERT_TRUE(harness().runUntil([&] { return page->title() == "暑期夏令营"; })) << page->title();
    harness().render("content-hot-activity-page.png");
}

TEST_F(PagesTest, ActivityRowsGrowWithTheirTextAndAFailureIsShown)
{
    signIn();
    const std::string longText(60, 'x');
    harness().server()->script().forCommand(Cmd::kHotActivities,
        server::ScriptedReply::custom(200,
            R"J({"resultState":1,"resultMsg":"","items":[
                {"id":1,"title":"无内容","content":"","createTime":"2024-01-01","htmlUrl":"javascript:alert(1)"},
                {"id":2,"title":"一行","content":"短","createTime":"2024-01-02","htmlUrl":"http://127.0.0.1:9/a"},
                {"id":3,"title":"多行","content":")J"
                + longText + longText + R"J(","createTime":"2024-01-03","htmlUrl":"http://127.0.0.1:9/b"}]})J"));
    auto screen = open(std::make_shared<HotActivityViewController>(), kTab);
    ASSERT_TRUE(harness().runUntil([&] { return screen->hotActivities().size() == 3; }));
    settle(harness());
    auto table = testsupport::findOutlet<UITableView>(screen->view(), "activityTableView");
    auto height = [&](long row) { return table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0)).height(); };
    // No content: the time right under the title, 60 points in all.
    EXPECT_DOUBLE_EQ(height(0), 60);
    EXPECT_GT(height(1), 60);
    // A long text wraps and pushes the time down.
    EXPECT_GT(height(2), height(1) + 10);
    auto tall = visibleCell<HotActivityCell>(*table, 2);
    ASSERT_TRUE(tall);
    std::shared_ptr<UILabel> time;
    for (const auto& view : tall->contentView()->subviews()) {
        auto label = std::dynamic_pointer_cast<UILabel>(view);
        if (label && label->text() == "2024-01-03")
            time = label;
    }
    ASSERT_TRUE(time);
    EXPECT_DOUBLE_EQ(time->frame().minY() + 30, height(2));

    // A row whose address is no web page opens nothing.
    ASSERT_TRUE(harness().selectRow(table, 0, 0));
    settle(harness());
    EXPECT_EQ(harness().topScreen(), screen);

    // A failure shows the server's words and keeps the rows.
    harness().server()->script().forCommand(Cmd::kHotActivities, server::ScriptedReply::errorEnvelope("活动维护中"));
    screen->loadDatas();
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "活动维护中"; }));
    settle(harness());
    EXPECT_EQ(screen->hotActivities().size(), 3u);
}

// The portal site's subjects open in the same page when a person taps them.
TEST_F(PagesTest, APortalSubjectOpensWhenTapped)
{
    signIn();
    // As the function grid makes it: by name, with a plain initialiser.
    auto screen = std::dynamic_pointer_cast<WeiClassViewController>(
        platform::ClassRegistry::shared().create("WeiClassViewController"));
    ASSERT_TRUE(screen);
    open(screen, kTab);
    auto web = webView();
    ASSERT_TRUE(web);
    ASSERT_TRUE(harness().runUntil([&] { return !web->isLoading() && web->documentTitle() == "云端讲堂"; }));
    ASSERT_TRUE(harness().runUntilOverlayGone());
    EXPECT_TRUE(web->updateDrawing());
    settle(harness(), 0.1);
    EXPECT_FALSE(harness().render("content-portal-site.png").empty());

    const std::string subject = "/mobile2/pull/lessons/site/subject/s1";
    auto fetches = [&] {
        std::size_t count = 0;
        for (const auto& request : harness().serverRequests())
            count += request.path == subject;
        return count;
    };
    // The subject's row, as a person taps it: at its centre, through the
    // window, not on the word alone.
    std::string box = web->stringByEvaluatingJavaScriptFromString(
        "(function(){var a=document.querySelector('a[href$=\"subject/s1\"]');if(!a)return '';"
        "var e=a.closest('li');e.scrollIntoView({block:'center'});var r=e.getBoundingClientRect();"
        "return (r.left+r.width/2)+','+(r.top+r.height/2);})()");
    auto comma = box.find(',');
    ASSERT_NE(comma, std::string::npos) << box;
    auto inWindow = web->convertPointToView(
        platform::Point(std::stod(box.substr(0, comma)), std::stod(box.substr(comma + 1))), nullptr);
    ASSERT_TRUE(testsupport::tapAtPoint(inWindow));
    ASSERT_TRUE(harness().runUntil([&] { return fetches() == 1; }));
    ASSERT_TRUE(harness().runUntil([&] { return !web->isLoading() && web->documentTitle() == "数学课程"; }));
    ASSERT_TRUE(harness().runUntilOverlayGone());
    EXPECT_EQ(harness().topScreen(), screen);
    EXPECT_TRUE(web->updateDrawing());
    settle(harness(), 0.1);
    EXPECT_FALSE(harness().render("content-portal-subject.png").empty());
}

} // namespace

namespace {

// The growth assistant's page ends at the foot of either screen.
TEST(GrowthAssistantFit, ThePageEndsAtTheFootOfEitherScreen)
{
    for (auto kind : { UIScreen::Kind::FourInch, UIScreen::Kind::ThreePointFiveInch }) {
        testsupport::AppHarnessOptions options;
        options.screen = kind;
        testsupport::AppHarness harness(options);
        ASSERT_TRUE(testsupport::startClient(harness));
        ASSERT_TRUE(testsupport::signInThroughScreens(harness, testsupport::kDemoTeacher, testsupport::kDemoTeacherPassword));
        settle(harness);
        harness.visibleNavigationController()->pushViewController(std::make_shared<GrowthAssistantViewController>(), true);
        settle(harness, 2);
        auto web = harness.viewByOutlet("webView");
        ASSERT_TRUE(web);
        double end = web->superview()->convertPointToView(platform::Point(0, web->frame().maxY()), nullptr).y;
        EXPECT_NEAR(end, UIScreen::mainScreen()->bounds().height(), 0.5);
    }
}

} // namespace
