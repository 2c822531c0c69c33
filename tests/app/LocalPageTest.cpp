// Local pages on the browser engine: a page read from the resources, the
// account script in place of its placeholder (however the name is written),
// its references resolved against the resources folder, the paths the page
// navigates to handed to the screen (frames never), the second level and
// the back button, the activity indicator, reloads on a notification, and
// the web view's height on the small screen. The pages are written to a
// resources folder of the test's own.
#include "app/main/ORBViewController.h"
#include "app/web/LocalPageViewController.h"
#include "core/session/MyAccountInfo.h"
#include "platform/os/Bundle.h"
#include "platform/os/FileUtil.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/app/SignedInScreen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>

using namespace testsupport;

namespace {

constexpr const char* kProbePage = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>probe</title>
<link rel="stylesheet" href="html/shared/probe.css">
<ios_initUserInfo/>
<script src="html/shared/probe.js"></script>
</head><body>
<div id="level">first</div>
<a id="second" href="/common/gotoSecondView">details</a>
<iframe id="frame" src="about:blank"></iframe>
<ios_initUserInfo/>
</body></html>
)";

constexpr const char* kProbeScript = R"(window.sharedScriptLoaded = true;
function goBackToFirstView() { document.getElementById('level').textContent = 'first'; }
document.addEventListener('DOMContentLoaded', function () {
    document.getElementById('second').addEventListener('click', function () {
        document.getElementById('level').textContent = 'second';
    });
});
)";

// The probe's layout: the web view filling the screen, as the tool pages have it.
constexpr const char* kProbeLayout = R"([
    { "class": "UIView", "outlet": "view", "frame": [0, 0, 320, 504], "autoresizingMask": 18,
      "subviews": [ { "class": "UIWebView", "outlet": "webView", "frame": [0, 0, 320, 504], "autoresizingMask": 2 } ] }
]
)";

// Layouts of the test's own, found before the shipped ones while it lives.
class ProbeLayout {
public:
    ProbeLayout()
    {
        platform::FileUtil::createDirectory(folder_.path() + "/layouts");
        platform::FileUtil::write(folder_ / "layouts/ProbePage.json", std::string_view(kProbeLayout));
        platform::LayoutLoader::addOverrideDirectory(folder_.path() + "/layouts");
    }
    ~ProbeLayout() { platform::LayoutLoader::clearOverrideDirectories(); }
    ProbeLayout(const ProbeLayout&) = delete;
    ProbeLayout& operator=(const ProbeLayout&) = delete;

private:
    TempDir folder_ { "orb-probe-layout" };
};

// A screen over the mechanism that answers a few paths and notes what it saw.
class ProbePage final : public LocalPageViewController {
public:
    ProbePage(bool accountScript, bool shortOnSmallScreen, std::string folder = "probe")
        : LocalPageViewController("ProbePage", std::move(folder), "index",
              PageOptions { accountScript, shortOnSmallScreen })
    {
    }

    bool bridgePathRequested(const std::string& path, const NSURLRequest& request) override
    {
        askedPaths.push_back(request.URL.path());
        if (request.URL == localpage::baseAddress())
            ++pageLoadsAsked;
        if (path == kReturnPath) {
            closeScreen();
            return true;
        }
        if (path == "/common/gotoSecondView") {
            enterSecondLevel();
            return true;
        }
        if (auto photo = localpage::bridgeArgument(request, "/browseBigPhoto/url:")) {
            photos.push_back(*photo);
            return true;
        }
        if (auto rest = localpage::bridgeArgument(request, "/studentComment/")) {
            students.push_back(*rest);
            return true;
        }
        return false;
    }
    void secondLevelDidChange(bool isSubView) override { levelChanges.push_back(isSubView); }
    void webViewDidStartLoad(UIWebView* webView) override
    {
        LocalPageViewController::webViewDidStartLoad(webView);
        indicatorShownOnStart = UIApplication::sharedApplication().isNetworkActivityIndicatorVisible();
    }
    void pageDidFail(const platform::Error&) override
    {
        ++failures;
        showLoadFailed();
    }
    void reloadOnNotification(const std::string& name) { reloadOn(name); }

    std::vector<std::string> askedPaths;
    std::vector<std::string> photos;
    std::vector<std::string> students;
    std::vector<bool> levelChanges;
    int pageLoadsAsked = 0;
    int failures = 0;
    bool indicatorShownOnStart = false;
};

class LocalPages : public SignedInScreenTest {
protected:
    void SetUp() override
    {
        SignedInScreenTest::SetUp();
        ASSERT_FALSE(resources_.path().empty());
        write("html/probe/index.html", kProbePage);
        write("html/shared/probe.js", kProbeScript);
        write("html/shared/probe.css", "body { background-color: rgb(1, 2, 3); }\n");
        write("html/plain/index.html", "<!DOCTYPE html><html><body><ios_initUserInfo/><p>plain</p></body></html>");
        write("html/plain/other.html", "<!DOCTYPE html><html><head><title>other</title></head><body>other</body></html>");
        write("html/broken/index.html", std::string("<html><body>\xff\xfe broken</body></html>"));
        platform::Bundle::setMain(std::make_shared<platform::Bundle>(platform::Bundle::defaultInfo(), resources_.path()));
        layout_.emplace();
    }
    void TearDown() override
    {
        layout_.reset();
        platform::Bundle::setMain(nullptr);
        SignedInScreenTest::TearDown();
    }
    void write(const std::string& relative, const std::string& text)
    {
        std::string path = resources_ / relative;
        platform::FileUtil::createDirectory(path.substr(0, path.rfind('/')));
        ASSERT_TRUE(platform::FileUtil::write(path, text)) << path;
    }
    std::shared_ptr<ProbePage> openProbe(bool accountScript = true, const std::string& folder = "probe")
    {
        auto screen = open(std::make_shared<ProbePage>(accountScript, true, folder), ORBViewController::kGridTab);
        EXPECT_TRUE(waitLoaded(*screen));
        return screen;
    }
    static bool harnessLoaded(ProbePage& screen)
    {
        auto web = screen.webView();
        return web && web->request() && !web->isLoading();
    }
    bool waitLoaded(ProbePage& screen)
    {
        return harness().runUntil([&] { return harnessLoaded(screen); });
    }
    std::string script(ProbePage& screen, const std::string& text)
    {
        return screen.webView()->stringByEvaluatingJavaScriptFromString(text);
    }

    TempDir resources_ { "orb-local-pages" };
    std::optional<ProbeLayout> layout_; // after the harness has started
};

} // namespace

TEST_F(LocalPages, PageGetsTheAccountScriptAndItsSharedFilesFromTheResources)
{
    signIn();
    // A name that would end the script's string, or the script element, if it were pasted in.
    auto account = core::MyAccountInfo::currentAccount();
    ASSERT_NE(account, nullptr);
    account->name = "O'Neil \"老师\" </script><script>window.hacked=1</script> \\";
    auto screen = open(std::make_shared<ProbePage>(true, true), ORBViewController::kGridTab);
    ASSERT_TRUE(waitLoaded(*screen));

    EXPECT_EQ(script(*screen, "global.userName"), account->name);
    EXPECT_EQ(script(*screen, "typeof window.hacked"), "undefined");
    EXPECT_EQ(script(*screen, "global.ctx"), harness().serverBase() + "mobile2/");
    EXPECT_EQ(script(*screen, "String(global.userId)"), std::to_string(account->uid));
    EXPECT_EQ(script(*screen, "String(global.accountType) + String(global.userType)"), "11");
    EXPECT_EQ(script(*screen, "global.areaAbb + '/' + global.device"), "gz/ios");
    // Both placeholders were replaced; none is left in the page.
    EXPECT_EQ(script(*screen, "String(document.getElementsByTagName('ios_initUserInfo').length)"), "0");
    EXPECT_EQ(script(*screen, "String(document.scripts.length)"), "3");
    // "html/shared/..." resolved against the resources folder, not the page's own.
    EXPECT_EQ(script(*screen, "String(window.sharedScriptLoaded)"), "true");
    EXPECT_EQ(script(*screen, "getComputedStyle(document.body).backgroundColor"), "rgb(1, 2, 3)");
    EXPECT_EQ(screen->webView()->baseURL()->absoluteString(), localpage::baseAddress().absoluteString());
    EXPECT_EQ(screen->pageLoadsAsked, 1);

    // A page loaded as read keeps its placeholder and has no account.
    harness().visibleNavigationController()->popViewControllerAnimated(false);
    settle(harness());
    auto plain = open(std::make_shared<ProbePage>(false, true, "plain"), ORBViewController::kGridTab);
    ASSERT_TRUE(waitLoaded(*plain));
    EXPECT_EQ(script(*plain, "typeof global"), "undefined");
    EXPECT_EQ(script(*plain, "String(document.getElementsByTagName('ios_initUserInfo').length)"), "1");
    EXPECT_EQ(plain->webView()->documentText(), "plain");
}

TEST_F(LocalPages, MissingOrBrokenPagesShowAnEmptyPageSilently)
{
    signIn();
    for (const char* folder : { "nowhere", "broken" }) {
        SCOPED_TRACE(folder);
        auto screen = open(std::make_shared<ProbePage>(true, true, folder), ORBViewController::kGridTab);
        ASSERT_TRUE(waitLoaded(*screen));
        EXPECT_EQ(screen->webView()->documentText(), "");
        EXPECT_EQ(screen->failures, 0);
        EXPECT_EQ(harness().overlayText(), "");
        harness().visibleNavigationController()->popViewControllerAnimated(false);
        settle(harness());
    }
    EXPECT_FALSE(localpage::pageText("broken", "index").has_value());
    EXPECT_FALSE(localpage::pageText("../html/probe", "index").has_value());
    EXPECT_TRUE(localpage::pageText("probe", "index").has_value());
}

TEST_F(LocalPages, PathsReachTheScreenDecodedAndOthersLoad)
{
    signIn();
    auto screen = openProbe();
    ASSERT_NE(screen, nullptr);

    // An image address keeps its query; escapes are decoded.
    ASSERT_TRUE(screen->webView()->simulateLinkClick("/browseBigPhoto/url:http://127.0.0.1:9/files/p%20q.jpg?w=640&h=480"));
    ASSERT_TRUE(harness().runUntil([&] { return screen->photos.size() == 1; }));
    EXPECT_EQ(screen->photos[0], "http://127.0.0.1:9/files/p q.jpg?w=640&h=480");
    ASSERT_TRUE(screen->webView()->simulateLinkClick("/studentComment/%E5%BC%A0%E5%B0%8F%E6%98%8E%7Cpic%7C7%7C1"));
    ASSERT_TRUE(harness().runUntil([&] { return screen->students.size() == 1; }));
    EXPECT_EQ(screen->students[0], "张小明|pic|7|1");
    // The page's own "|", unescaped, arrives the same.
    script(*screen, "location.href = '/studentComment/' + encodeURIComponent('王子涵') + '|pic|8|1'");
    ASSERT_TRUE(harness().runUntil([&] { return screen->students.size() == 2; }));
    EXPECT_EQ(screen->students[1], "王子涵|pic|8|1");
    // The answered paths were cancelled: the page is the same document.
    EXPECT_EQ(script(*screen, "String(window.sharedScriptLoaded)"), "true");

    // A navigation inside a frame is asked about, but never counts as the page's call.
    script(*screen, "document.getElementById('frame').src = '/Main/return'");
    ASSERT_TRUE(harness().runUntil([&] {
        return std::count(screen->askedPaths.begin(), screen->askedPaths.end(), "/Main/return") == 1;
    }));
    settle(harness());
    EXPECT_EQ(harness().topScreen(), screen);

    // A path the screen does not answer loads as a page.
    ASSERT_TRUE(screen->webView()->simulateLinkClick("html/plain/other.html"));
    ASSERT_TRUE(harness().runUntil([&] { return !screen->webView()->isLoading() && screen->webView()->documentTitle() == "other"; }));
    EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
    EXPECT_TRUE(screen->indicatorShownOnStart);

    // The page's own return closes the screen.
    ASSERT_TRUE(screen->webView()->simulateLinkClick("/Main/return"));
    ASSERT_TRUE(harness().runUntil([&] { return harness().topScreen() != screen; }));
    settle(harness());
    EXPECT_EQ(harness().navigationStack().size(), 1u);
}

// A page that writes an address escaped as one part, as the album and
// homework pages do: whatever the address holds, it arrives as written.
TEST_F(LocalPages, AnEscapedAddressArrivesExactlyAsThePageHadIt)
{
    signIn();
    auto screen = openProbe();
    ASSERT_NE(screen, nullptr);
    const std::vector<std::string> addresses = {
        "http://127.0.0.1:9/files/春游 1.jpg",
        "http://127.0.0.1:9/files/a%23b.jpg",
        "http://127.0.0.1:9/files/a%3Fb.jpg?w=640&h=480",
        "http://127.0.0.1:9/files/100%25.jpg",
        "http://127.0.0.1:9/files%2Fa.jpg",
        "http://127.0.0.1:9/../127.0.0.2:9/a/./b/../c.jpg",
        "http://127.0.0.1:9/a#b",
    };
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        SCOPED_TRACE(addresses[i]);
        script(*screen, "location.href = '/browseBigPhoto/url:' + encodeURIComponent('" + addresses[i] + "')");
        ASSERT_TRUE(harness().runUntil([&] { return screen->photos.size() == i + 1; }));
        EXPECT_EQ(screen->photos[i], addresses[i]);
    }
    EXPECT_EQ(script(*screen, "String(window.sharedScriptLoaded)"), "true");
}

TEST(LocalPageBridge, WhatACallCarriesIsDecodedOnce)
{
    auto argument = [](const std::string& address, const char* prefix) {
        auto url = platform::Url::parse(address);
        EXPECT_TRUE(url) << address;
        return url ? localpage::callArgument(*url, prefix) : std::nullopt;
    };
    const char* photo = "/browseBigPhoto/url:";
    // Escaped by the page: one decoding gives the address back, its own escapes kept.
    EXPECT_EQ(argument("file:///browseBigPhoto/url:http%3A%2F%2Fh%2Fa%2520b%2523c.jpg%3Fx%3D%252F", photo),
        "http://h/a%20b%23c.jpg?x=%2F");
    EXPECT_EQ(argument("file:///browseBigPhoto/url:http%3A%2F%2Fh%2Fx%2F..%2Fy.jpg", photo), "http://h/x/../y.jpg");
    // The fixed part may come escaped too.
    EXPECT_EQ(argument("file:///browseBigPhoto/url%3Ahttp%3A%2F%2Fh%2Fa.jpg", photo), "http://h/a.jpg");
    // Written as it is: its query stays with it.
    EXPECT_EQ(argument("file:///browseBigPhoto/url:http://h/p%20q.jpg?w=640&h=480", photo), "http://h/p q.jpg?w=640&h=480");
    EXPECT_EQ(argument("file:///browseBigPhoto/url:", photo), "");
    EXPECT_EQ(argument("file:///studentComment/%E5%BC%A0%7Cpic%7C7%7C1", "/studentComment/"), "张|pic|7|1");
    // Another path carries nothing.
    EXPECT_EQ(argument("file:///browseBigPhoto/url", photo), std::nullopt);
    EXPECT_EQ(argument("file:///browseBigPhotos/url:http://h/a.jpg", photo), std::nullopt);
    EXPECT_EQ(argument("file:///x/browseBigPhoto/url:http://h/a.jpg", photo), std::nullopt);
    EXPECT_EQ(argument("file:///browseBigPhoto%2Furl:http://h/a.jpg", photo), "http://h/a.jpg");
}

TEST(LocalPageBridge, PhotoAddressEscapesOnlyWhatAnAddressCannotHold)
{
    auto loaded = [](const std::string& text) {
        auto url = localpage::photoAddress(text);
        return url ? url->absoluteString() : std::string("none");
    };
    EXPECT_EQ(loaded("http://h:80/files/春游 1.jpg"), "http://h:80/files/%E6%98%A5%E6%B8%B8%201.jpg");
    // An address stays as the server wrote it: its escapes, its query and its ".." are its own.
    EXPECT_EQ(loaded("http://h/a%23b.jpg?x=%2F&y=1"), "http://h/a%23b.jpg?x=%2F&y=1");
    EXPECT_EQ(loaded("http://h/files%2Fa.jpg"), "http://h/files%2Fa.jpg");
    EXPECT_EQ(loaded("http://h/../other:8080/a.jpg"), "http://h/../other:8080/a.jpg");
    EXPECT_EQ(localpage::photoAddress("http://h/../other:8080/a.jpg")->host(), "h");
    EXPECT_EQ(loaded("http://h/100%.jpg"), "http://h/100%25.jpg");
    EXPECT_EQ(loaded("HTTPS://h/a.jpg"), "HTTPS://h/a.jpg");
    // Nothing that is not a web address with a host.
    for (const char* text : { "", "a.jpg", "/files/a.jpg", "file:///tmp/a.jpg", "ftp://h/a.jpg", "http:///a.jpg",
             "javascript:alert(1)", "not an address" })
        EXPECT_EQ(loaded(text), "none") << text;
}

TEST_F(LocalPages, BackButtonReturnsTheSecondLevelBeforeClosing)
{
    signIn();
    auto screen = openProbe();
    ASSERT_NE(screen, nullptr);
    EXPECT_FALSE(screen->isSubView());

    // The person taps the page's link: the page shows its details, the screen learns it.
    ASSERT_TRUE(screen->webView()->simulateLinkClick("/common/gotoSecondView"));
    ASSERT_TRUE(harness().runUntil([&] { return screen->isSubView(); }));
    script(*screen, "document.getElementById('level').textContent = 'second'");
    EXPECT_EQ(screen->levelChanges, std::vector<bool> { true });

    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    settle(harness());
    EXPECT_EQ(harness().topScreen(), screen);
    EXPECT_FALSE(screen->isSubView());
    EXPECT_EQ(script(*screen, "document.getElementById('level').textContent"), "first");
    const auto& scripts = screen->webView()->evaluatedScripts();
    EXPECT_EQ(std::count(scripts.begin(), scripts.end(), LocalPageViewController::kGoBackScript), 1);
    EXPECT_EQ(screen->levelChanges, (std::vector<bool> { true, false }));

    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    settle(harness());
    EXPECT_NE(harness().topScreen(), screen);
    EXPECT_EQ(harness().navigationStack().size(), 1u);
}

TEST_F(LocalPages, CoveredScreenStopsListeningAndANotificationReloadsOnce)
{
    signIn();
    auto screen = openProbe();
    ASSERT_NE(screen, nullptr);
    auto web = screen->webView();
    EXPECT_EQ(web->delegate().get(), screen.get());

    // However often the screen asks, one observation.
    for (int i = 0; i < 3; ++i)
        screen->reloadOnNotification("kProbeSaved");
    EXPECT_EQ(screen->observationCount(), 1u);
    script(*screen, "window.marker = 1");
    int asked = screen->pageLoadsAsked;
    platform::NotificationCenter::defaultCenter().post("kProbeSaved");
    ASSERT_TRUE(harness().runUntil([&] { return harnessLoaded(*screen) && script(*screen, "typeof window.marker") == "undefined"; }));
    settle(harness());
    EXPECT_EQ(screen->pageLoadsAsked, asked + 1);

    // Covered by another screen: no delegate, no indicator.
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(true);
    auto cover = std::make_shared<ProbePage>(true, true, "plain");
    harness().visibleNavigationController()->pushViewController(cover, false);
    settle(harness());
    EXPECT_EQ(web->delegate(), nullptr);
    ASSERT_TRUE(waitLoaded(*cover));
    harness().visibleNavigationController()->popViewControllerAnimated(false);
    settle(harness());
    EXPECT_EQ(web->delegate().get(), screen.get());
    EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
}

TEST_F(LocalPages, FailedLoadPutsTheIndicatorAwayAndTheScreenSaysSo)
{
    signIn();
    auto screen = openProbe();
    ASSERT_NE(screen, nullptr);
    // An address of a scheme the engine does not load fails.
    ASSERT_TRUE(screen->webView()->simulateLinkClick("ftp://127.0.0.1/file"));
    ASSERT_TRUE(harness().runUntil([&] { return screen->failures == 1; }));
    EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
    EXPECT_EQ(harness().overlayText(), LocalPageViewController::kLoadFailedText);
    harness().advance(LocalPageViewController::kLoadFailedHideDelay + 0.5);
    EXPECT_EQ(harness().overlayText(), "");
    // The page stays.
    EXPECT_EQ(script(*screen, "String(window.sharedScriptLoaded)"), "true");
}

// Drawn for the 4-inch screen: 88 points shorter on the 3.5-inch one, unless the screen keeps its height.
TEST(LocalPageLayout, WebViewIsShorterOnTheSmallScreenUnlessKept)
{
    std::map<std::pair<UIScreen::Kind, bool>, double> heights;
    for (auto kind : { UIScreen::Kind::FourInch, UIScreen::Kind::ThreePointFiveInch }) {
        AppHarnessOptions options;
        options.screen = kind;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        ProbeLayout layout;
        mainScreen()->switchToView(ORBViewController::kGridTab);
        settle(harness);
        for (bool shorten : { true, false }) {
            auto screen = std::make_shared<ProbePage>(true, shorten, "plain");
            harness.visibleNavigationController()->pushViewController(screen, false);
            settle(harness);
            heights[{ kind, shorten }] = screen->webView()->frame().height();
            harness.visibleNavigationController()->popViewControllerAnimated(false);
            settle(harness);
        }
    }
    const double full = heights[std::make_pair(UIScreen::Kind::FourInch, true)];
    const double fullKept = heights[std::make_pair(UIScreen::Kind::FourInch, false)];
    const double small = heights[std::make_pair(UIScreen::Kind::ThreePointFiveInch, true)];
    const double smallKept = heights[std::make_pair(UIScreen::Kind::ThreePointFiveInch, false)];
    EXPECT_GT(full, 400);
    EXPECT_DOUBLE_EQ(fullKept, full);
    EXPECT_DOUBLE_EQ(small, full - BaseViewController::kShortScreenCut);
    EXPECT_DOUBLE_EQ(smallKept, full);
}
