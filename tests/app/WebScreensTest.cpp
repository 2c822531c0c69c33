// The web page screens on the browser engine, under an X server of the
// test's own: the general screen's loading, title and error views and the
// click-to-dial page it answers itself; the carrier's three pages with the
// network activity indicator, and their height on the small screen.
#include "app/about/VersionHistoryViewController.h"
#include "app/main/ORBViewController.h"
#include "app/web/CarrierAddresses.h"
#include "app/web/CarrierPageViewController.h"
#include "app/web/ORBWebViewController.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/WebEngine.h"
#include "server/StandinServer.h"
#include "tests/support/EngineDisplay.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/XvfbDisplay.h"
#include "server/ReplyGate.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <map>

using namespace testsupport;

namespace {

[[maybe_unused]] auto* const kDisplay = testsupport::addEngineDisplay();

// An address of a server that has gone away: a load there fails.
std::string goneServer()
{
    TestHttpServer gone;
    if (!gone.start())
        return "http://127.0.0.1:9/";
    auto address = gone.url("/");
    gone.stop();
    return address;
}

class WebScreens : public SignedInScreenTest {
protected:
    void SetUp() override
    {
        SignedInScreenTest::SetUp();
        CarrierAddresses::setBase(harness().serverBase() + "carrier/");
    }
    void TearDown() override
    {
        CarrierAddresses::setBase(std::nullopt);
        SignedInScreenTest::TearDown();
    }
    std::shared_ptr<ORBWebViewController> openPage(const std::string& address, int navType = 0)
    {
        auto screen = std::make_shared<ORBWebViewController>();
        screen->setLoadUrl(platform::Url::parse(address));
        screen->setNavType(navType);
        return open(screen, ORBViewController::kSettingsTab);
    }
    std::shared_ptr<UIWebView> webView() { return std::dynamic_pointer_cast<UIWebView>(harness().viewByOutlet("webView")); }
    static std::shared_ptr<UIWebView> pageView(const std::shared_ptr<UIViewController>& screen)
    {
        return std::dynamic_pointer_cast<UIWebView>(findViewByOutlet(screen->view(), "webView"));
    }
    bool waitForTitle(const std::shared_ptr<UIViewController>& screen, const std::string& title)
    {
        return harness().runUntil([&] { return screen->title() == title; });
    }
    // How often the stand-in has served the page.
    std::size_t pageFetches(const std::string& path)
    {
        std::size_t count = 0;
        for (const auto& request : harness().serverRequests())
            count += request.path == path;
        return count;
    }
    // A person's tap on the page's element, at its centre; false when the
    // page has no such element.
    static bool tapInPage(UIWebView& view, const std::string& selector)
    {
        std::string box = view.stringByEvaluatingJavaScriptFromString(
            "(function(){var e=document.querySelector('" + selector
            + "');if(!e)return '';e.scrollIntoView({block:'center'});"
              "var r=e.getBoundingClientRect();return (r.left+r.width/2)+','+(r.top+r.height/2);})()");
        auto comma = box.find(',');
        if (comma == std::string::npos)
            return false;
        view.tapPage(platform::Point(std::stod(box.substr(0, comma)), std::stod(box.substr(comma + 1))));
        return true;
    }
    std::vector<server::LoggedRequest> ctdOpenings()
    {
        std::vector<server::LoggedRequest> found;
        for (const auto& request : harness().serverRequests())
            if (request.route == "web/ctd/butCtd")
                found.push_back(request);
        return found;
    }
};

} // namespace

TEST_F(WebScreens, PageShowsLoadingThenItsOwnTitle)
{
    signIn();
    auto screen = openPage(harness().serverBase() + "carrier/pigeon/");
    ASSERT_TRUE(harness().runUntil([&] { return screen->title() == "加载中..." || screen->title() == "鸽笺"; }));
    if (screen->title() == "加载中...") {
        EXPECT_NE(harness().viewByText("正在努力加载中..."), nullptr);
    }
    ASSERT_TRUE(waitForTitle(screen, "鸽笺"));
    EXPECT_EQ(harness().viewByText("正在努力加载中..."), nullptr);
    EXPECT_EQ(webView()->documentTitle(), "鸽笺");
    EXPECT_FALSE(harness().render("app-web-page.png").empty());

    // A link to a page without a title: its own loading view again, then the screen's own title.
    ASSERT_TRUE(webView()->simulateLinkClick(harness().serverBase() + "carrier/untitled"));
    ASSERT_TRUE(waitForTitle(screen, "网页展示"));
    EXPECT_EQ(harness().viewsByClass("UIActivityIndicatorView").size(), 0u);

    // Back empties the page and leaves.
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    settle(harness());
    EXPECT_NE(harness().topScreen(), screen);
    EXPECT_EQ(harness().navigationStack().size(), 1u);
}

TEST_F(WebScreens, AFailedLoadShowsTheErrorViewAndANewLoadClearsIt)
{
    signIn();
    auto screen = openPage(goneServer());
    ASSERT_TRUE(waitForTitle(screen, "加载失败")) << screen->title() << " " << webView()->isLoading();
    EXPECT_NE(harness().viewByText("加载出错，请重新再试"), nullptr);
    EXPECT_EQ(harness().viewByText("正在努力加载中..."), nullptr);
    EXPECT_FALSE(harness().render("app-web-page-failed.png").empty());

    webView()->loadRequest(*NSURLRequest::requestWithURL(harness().serverBase() + "carrier/nimbus/"));
    ASSERT_TRUE(waitForTitle(screen, "Nimbus邮箱"));
    EXPECT_EQ(harness().viewByText("加载出错，请重新再试"), nullptr);
}

TEST_F(WebScreens, ClickToDialPageOpensTheServiceAndEveryAnswerEndsTheOverlay)
{
    signIn();
    // Without its navigation type the page's link is an ordinary page.
    auto plain = openPage(harness().serverBase() + "carrier/ctd");
    ASSERT_TRUE(waitForTitle(plain, "开通点击拨号"));
    ASSERT_TRUE(webView()->simulateLinkClick("/ctd/ctdOpen"));
    // The stand-in has no such page: its answer has no title.
    ASSERT_TRUE(waitForTitle(plain, "网页展示"));
    EXPECT_TRUE(ctdOpenings().empty());
    harness().visibleNavigationController()->popViewControllerAnimated(false);
    settle(harness());

    auto screen = openPage(harness().serverBase() + "carrier/ctd", ORBWebViewController::kNavTypeCtd);
    ASSERT_TRUE(waitForTitle(screen, "开通点击拨号"));
    ASSERT_TRUE(webView()->simulateLinkClick("/ctd/ctdOpen"));
    ASSERT_TRUE(harness().runUntil([&] { return !ctdOpenings().empty(); }));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "业务开通成功"; }));
    auto opening = ctdOpenings()[0];
    EXPECT_EQ(opening.queryValue("areaAbb").value_or(""), "gz");
    EXPECT_EQ(opening.queryValue("accountType").value_or(""), "1");
    EXPECT_EQ(opening.queryValue("userId").value_or(""), "2001");
    // The page itself was never left: it loads again after the opening.
    ASSERT_TRUE(harness().runUntil([&] {
        return pageFetches("/carrier/ctd") == 3 && !webView()->isLoading() && screen->title() == "开通点击拨号";
    })) << screen->title();
    harness().advance(2);
    EXPECT_EQ(harness().overlayText(), "");

    // An answer that is no object, and no answer at all: the overlay still ends.
    struct Case {
        server::ScriptedReply reply;
        const char* shown;
    };
    for (const Case& c : { Case { server::ScriptedReply::custom(200, "<html>busy</html>", "text/html"), "数据错误" },
             Case { server::ScriptedReply::connectionReset(), "服务连接出错，请重试" } }) {
        SCOPED_TRACE(c.shown);
        std::size_t before = ctdOpenings().size();
        harness().server()->script().forRoute("web/ctd/butCtd", c.reply);
        ASSERT_TRUE(harness().runUntil([&] { return !webView()->isLoading() && screen->title() == "开通点击拨号"; }))
            << screen->title();
        ASSERT_TRUE(webView()->simulateLinkClick("/ctd/ctdOpen"));
        ASSERT_TRUE(harness().runUntil([&] { return ctdOpenings().size() == before + 1; }));
        ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == c.shown; }));
        harness().advance(2);
        EXPECT_EQ(harness().overlayText(), "");
    }
}

// Left while the service is being opened: the opening is dropped with the
// screen, and its overlay goes with it.
TEST_F(WebScreens, LeavingWhileTheServiceOpensTakesItsOverlayAlong)
{
    signIn();
    auto screen = openPage(harness().serverBase() + "carrier/ctd", ORBWebViewController::kNavTypeCtd);
    ASSERT_TRUE(waitForTitle(screen, "开通点击拨号"));
    auto gate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute("web/ctd/butCtd", server::ScriptedReply::normal().heldBy(gate));
    ASSERT_TRUE(webView()->simulateLinkClick("/ctd/ctdOpen"));
    ASSERT_TRUE(harness().runUntil([&] { return gate->arrived() == 1; }));
    EXPECT_EQ(harness().overlayText(), "正在开通CTD业务");

    std::weak_ptr<ORBWebViewController> gone = screen;
    screen.reset();
    harness().visibleNavigationController()->popViewControllerAnimated(false);
    settle(harness());
    EXPECT_TRUE(harness().runUntil([&] { return gone.expired(); }));
    EXPECT_EQ(harness().overlayText(), "");

    gate->open();
    ASSERT_TRUE(harness().waitForServerQuiet());
    ASSERT_TRUE(harness().roundTrip());
    harness().advance(2);
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().navigationStack().size(), 1u);
}

TEST_F(WebScreens, AskLeavePageGoesBackByItsOwnAddress)
{
    signIn();
    auto screen = openPage(harness().serverBase() + "carrier/pigeon/", ORBWebViewController::kNavTypeAskLeave);
    ASSERT_TRUE(waitForTitle(screen, "鸽笺"));
    ASSERT_EQ(harness().topScreen(), screen);
    ASSERT_TRUE(webView()->simulateLinkClick("/mobile/askleave/back"));
    ASSERT_TRUE(harness().runUntil([&] { return harness().topScreen() != screen; }));
    settle(harness());
    EXPECT_EQ(harness().navigationStack().size(), 1u);
}

TEST_F(WebScreens, CarrierPagesLoadTheirAddressesWithTheActivityIndicator)
{
    signIn();
    auto& application = UIApplication::sharedApplication();
    struct Page {
        const char* className;
        const char* title;
        std::string address;
    };
    for (const Page& page : { Page { "PigeonViewController", "鸽笺", CarrierAddresses::pigeon() },
             Page { "ParleyViewController", "畅谈", CarrierAddresses::parley() },
             Page { "EmailNimbusViewController", "Nimbus邮箱", CarrierAddresses::nimbus() } }) {
        SCOPED_TRACE(page.className);
        EXPECT_EQ(page.address.rfind(harness().serverBase() + "carrier/", 0), 0u);
        // As the function grid makes them.
        auto screen = platform::ClassRegistry::shared().createAs<UIViewController>(page.className);
        ASSERT_NE(screen, nullptr);
        open(screen, ORBViewController::kGridTab);
        EXPECT_EQ(screen->title(), page.title);
        // This screen's own page: the screen left before may still be on its
        // way out of the window.
        auto view = pageView(screen);
        ASSERT_NE(view, nullptr);
        // Reading the title turns the engine, which may have the page before
        // the loop has heard that its load started: wait for the whole load.
        ASSERT_TRUE(harness().runUntil(
            [&] { return view->request().has_value() && !view->isLoading() && !view->documentTitle().empty(); }));
        EXPECT_EQ(view->documentTitle(), page.title);
        EXPECT_EQ(view->request()->URL.absoluteString(), page.address);
        // The finish reaches the screen on the loop's next turns.
        EXPECT_TRUE(harness().runUntil([&] { return !application.isNetworkActivityIndicatorVisible(); }));
        EXPECT_EQ(screen->title(), page.title);
        harness().visibleNavigationController()->popViewControllerAnimated(false);
        settle(harness());
    }
    // The group chat lies under the instant messaging host.
    EXPECT_EQ(CarrierAddresses::parley().rfind(CarrierAddresses::pigeon(), 0), 0u);

    // Leaving while the page loads stops it and puts the indicator away.
    auto mail = platform::ClassRegistry::shared().createAs<UIViewController>("EmailNimbusViewController");
    open(mail, ORBViewController::kGridTab);
    auto view = pageView(mail);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(harness().runUntil([&] { return application.isNetworkActivityIndicatorVisible() || !view->isLoading(); }));
    harness().visibleNavigationController()->popViewControllerAnimated(false);
    settle(harness());
    EXPECT_FALSE(view->isLoading());
    EXPECT_FALSE(application.isNetworkActivityIndicatorVisible());
    EXPECT_EQ(view->delegate(), nullptr);

    // A page that cannot be reached says so in the title.
    CarrierAddresses::setBase(goneServer());
    auto pigeon = platform::ClassRegistry::shared().createAs<UIViewController>("PigeonViewController");
    open(pigeon, ORBViewController::kGridTab);
    ASSERT_TRUE(waitForTitle(pigeon, "载入失败"));
    EXPECT_FALSE(application.isNetworkActivityIndicatorVisible());
}

// The mail page's folders open their lists in the same page, and a list
// leads back to the folders.
TEST_F(WebScreens, MailFoldersOpenTheirListsWhenTapped)
{
    signIn();
    auto mail = platform::ClassRegistry::shared().createAs<UIViewController>("EmailNimbusViewController");
    ASSERT_NE(mail, nullptr);
    open(mail, ORBViewController::kGridTab);
    auto view = pageView(mail);
    ASSERT_NE(view, nullptr);
    auto pageIs = [&](const std::string& title) {
        return harness().runUntil([&] { return !view->isLoading() && view->documentTitle() == title; });
    };
    ASSERT_TRUE(pageIs("Nimbus邮箱"));
    EXPECT_FALSE(harness().render("app-mail-folders.png").empty());

    const std::string inbox = "/carrier/nimbus/inbox/";
    ASSERT_TRUE(tapInPage(*view, "li:nth-child(1)"));
    ASSERT_TRUE(harness().runUntil([&] { return pageFetches(inbox) == 1; }));
    ASSERT_TRUE(pageIs("收件箱"));
    EXPECT_NE(view->documentText().find("家长会通知"), std::string::npos);
    // The view's request follows the engine's committed load a moment later.
    EXPECT_TRUE(harness().runUntil(
        [&] { return view->request() && view->request()->URL.absoluteString() == CarrierAddresses::nimbus() + "inbox/"; }))
        << (view->request() ? view->request()->URL.absoluteString() : std::string("no request"));
    EXPECT_EQ(harness().topScreen(), mail);
    EXPECT_TRUE(harness().runUntil([&] { return !UIApplication::sharedApplication().isNetworkActivityIndicatorVisible(); }));
    EXPECT_TRUE(view->updateDrawing());
    settle(harness(), 0.1);
    EXPECT_FALSE(harness().render("app-mail-inbox.png").empty());

    // Back to the folders, then an empty one says it is empty.
    ASSERT_TRUE(tapInPage(*view, "a.back"));
    ASSERT_TRUE(pageIs("Nimbus邮箱"));
    ASSERT_TRUE(tapInPage(*view, "li:nth-child(2)"));
    ASSERT_TRUE(pageIs("草稿箱"));
    EXPECT_NE(view->documentText().find("没有邮件"), std::string::npos);
    ASSERT_TRUE(tapInPage(*view, "a.back"));
    ASSERT_TRUE(pageIs("Nimbus邮箱"));
    ASSERT_TRUE(tapInPage(*view, "li:nth-child(3)"));
    ASSERT_TRUE(pageIs("已发送"));
    EXPECT_EQ(pageFetches("/carrier/nimbus/sent/"), 1u);
}

// The installed version's history page, drawn by the engine.
TEST_F(WebScreens, VersionHistoryShowsThePageOfTheInstalledVersion)
{
    signIn();
    auto history = open(std::make_shared<VersionHistoryViewController>(), ORBViewController::kSettingsTab);
    EXPECT_EQ(history->title(), "更新历史");
    ASSERT_TRUE(harness().runUntil([&] { return !webView()->isLoading() && !webView()->documentText().empty(); }));
    settle(harness());
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_FALSE(harness().render("app-version-history.png").empty());
}

// A web page screen takes its page from the server each time it opens: the
// engine keeps no pages and going back empties what it kept on the way. Its
// request carries no cache directives of its own to the server.
TEST_F(WebScreens, APageComesFromTheServerEachTimeAndBackLeavesNothingCached)
{
    signIn();
    auto fetches = [&] {
        std::vector<server::LoggedRequest> found;
        for (const auto& request : harness().serverRequests())
            if (request.path.find("/carrier/pigeon") != std::string::npos)
                found.push_back(request);
        return found;
    };
    const auto purges = UIWebView::cachePurgeCount();
    for (unsigned round = 1; round <= 2; ++round) {
        auto screen = openPage(harness().serverBase() + "carrier/pigeon/");
        ASSERT_TRUE(waitForTitle(screen, "鸽笺"));
        auto fetched = fetches();
        ASSERT_EQ(fetched.size(), round);
        for (const char* header : { "Cache-Control", "Pragma" })
            EXPECT_FALSE(fetched.back().header(header)) << header << " was sent";
        EXPECT_EQ(UIWebView::cachePurgeCount(), purges + round - 1) << "nothing is emptied while the page shows";
        ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
        settle(harness());
        EXPECT_NE(harness().topScreen(), screen);
        EXPECT_EQ(UIWebView::cachePurgeCount(), purges + round);
    }
}

// The layouts are drawn for the 4-inch screen: the carrier pages' web view is
// 88 points shorter on the 3.5-inch one.
TEST(CarrierPageLayout, WebViewIsShorterOnTheSmallScreen)
{
    std::map<UIScreen::Kind, double> heights;
    for (auto kind : { UIScreen::Kind::FourInch, UIScreen::Kind::ThreePointFiveInch }) {
        AppHarnessOptions options;
        options.screen = kind;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        CarrierAddresses::setBase(harness.serverBase() + "carrier/");
        mainScreen()->switchToView(ORBViewController::kGridTab);
        settle(harness);
        auto screen = std::make_shared<PigeonViewController>();
        harness.visibleNavigationController()->pushViewController(screen, true);
        settle(harness);
        auto web = harness.viewByOutlet("webView");
        ASSERT_NE(web, nullptr);
        heights[kind] = web->frame().height();
        EXPECT_LE(web->frame().maxY(), screen->view()->bounds().height() + 0.5);
        CarrierAddresses::setBase(std::nullopt);
    }
    EXPECT_DOUBLE_EQ(heights[UIScreen::Kind::ThreePointFiveInch],
        heights[UIScreen::Kind::FourInch] - BaseViewController::kShortScreenCut);
}
