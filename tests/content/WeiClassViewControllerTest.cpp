#include "content/lessons/APIRequest.h"
#include "content/portal/GCViewController.h"
#include "content/portal/WeiClassViewController.h"
#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWebView.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/SignedInScreen.h"

#include <gtest/gtest.h>

namespace {

using content::WeiClassViewController;

class WeiClassTest : public testsupport::SignedInScreenTest {
protected:
    std::shared_ptr<WeiClassViewController> openFromGrid()
    {
        // As the function grid makes it: by name, with a plain initialiser.
        auto made = std::dynamic_pointer_cast<WeiClassViewController>(
            platform::ClassRegistry::shared().create("WeiClassViewController"));
        EXPECT_TRUE(made);
        if (made)
            open(made, 0);
        return made;
    }
    std::size_t pathCount(const std::string& path) const
    {
        std::size_t count = 0;
        for (const auto& request : harness().serverRequests())
            count += request.path == path ? 1 : 0;
        return count;
    }
    std::shared_ptr<UIWebView> webView() const
    {
        return std::dynamic_pointer_cast<UIWebView>(harness().viewByOutlet("webView"));
    }
};

TEST_F(WeiClassTest, ShowsThePortalSiteAndFollowsItsLinksInPlace)
{
    signIn();
    EXPECT_TRUE(std::dynamic_pointer_cast<content::GCViewController>(
        platform::ClassRegistry::shared().create("GCViewController")));
    auto screen = openFromGrid();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "云端讲堂");
    auto web = webView();
    ASSERT_TRUE(web);
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "正在加载..."; }));
    EXPECT_TRUE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
    ASSERT_TRUE(harness().runUntil([&] { return pathCount("/") == 1 && !web->isLoading(); }));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText().empty(); }));
    EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.title"), "云端讲堂");
    harness().runUntil([] { return false; }, 0.5);
    harness().render("portal-site.png");

    web->stringByEvaluatingJavaScriptFromString("document.querySelector('a').click()");
    ASSERT_TRUE(harness().runUntil([&] {
        return pathCount("/mobile2/pull/lessons/site/subject/s1") == 1
            && web->stringByEvaluatingJavaScriptFromString("document.title") == "数学课程";
    }));
    EXPECT_EQ(harness().topScreen(), screen);

    // Leaving stops what loads and lets the indicator go.
    screen->btnGoBackAction(nullptr);
    testsupport::settle(harness());
    EXPECT_NE(harness().topScreen(), screen);
    EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
    EXPECT_TRUE(harness().overlayText().empty());
}

TEST_F(WeiClassTest, AFailedLoadLeavesTheScreenUsableWithoutOverlayOrIndicator)
{
    signIn();
    content::APIRequest::setServiceBase("http://127.0.0.1:1/m/");
    auto screen = openFromGrid();
    ASSERT_TRUE(screen);
    auto web = webView();
    ASSERT_TRUE(web);
    ASSERT_TRUE(harness().runUntil([&] { return web->request() && !web->isLoading(); }));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText().empty(); }));
    EXPECT_FALSE(UIApplication::sharedApplication().isNetworkActivityIndicatorVisible());
    EXPECT_FALSE(harness().currentAlert());
    EXPECT_EQ(harness().topScreen(), screen);
    content::APIRequest::setServiceBase(std::nullopt);
}

} // namespace
