#pragma once

// What the image and photo-browser tests share: the application in-process
// (temporary home, manual clock, stand-in server serving the demo photos), a
// window whose root is a navigation controller, and the toolkit's process-wide
// state put back between cases.

#include "platform/os/Url.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "server/RequestLog.h"
#include "tests/support/app/AppHarness.h"
#include "ui/images/RemoteImageLoader.h"
#include "ui/images/WebImageCache.h"
#include "ui/images/WebImageDecoder.h"
#include "ui/images/WebImageManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace imagetest {

class TestApp final : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication*, const platform::Dictionary&) override
    {
        window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        home_ = std::make_shared<UIViewController>();
        home_->setTitle("Album");
        navigation_ = std::make_shared<UINavigationController>(home_);
        window_->setRootViewController(navigation_);
        window_->makeKeyAndVisible();
        return true;
    }
    std::shared_ptr<UIWindow> window() const override { return window_; }
    const std::shared_ptr<UINavigationController>& navigation() const { return navigation_; }
    const std::shared_ptr<UIViewController>& home() const { return home_; }

private:
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UINavigationController> navigation_;
    std::shared_ptr<UIViewController> home_;
};

class ImageToolkitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app_ = std::make_shared<TestApp>();
        ASSERT_TRUE(harness_.start(app_));
        resetToolkit();
    }

    void TearDown() override
    {
        resetToolkit();
        harness_.stop();
        WebImageCache::setFreeMemoryProvider({});
    }

    static void resetToolkit()
    {
        WebImageManager::sharedManager()->reset();
        RemoteImageLoader::sharedLoader()->reset();
        RemoteImageLoader::defaultCache()->removeAllObjects();
        WebImageDecoder::sharedImageDecoder().waitUntilIdle();
        WebImageCache::resetSharedImageCache();
        platform::RunLoop::main().runUntilIdle();
    }

    platform::Url photoURL(const std::string& name) const
    {
        return *platform::Url::parse(harness_.serverBase() + "mobile2/pull/static/photos/" + name);
    }

    // Requests the server received for that photo (path only, query ignored).
    std::size_t transfersOf(const std::string& name) const
    {
        auto requests = harness_.serverRequests();
        return static_cast<std::size_t>(std::count_if(requests.begin(), requests.end(),
            [&](const server::LoggedRequest& r) { return r.path == "/mobile2/pull/static/photos/" + name; }));
    }

    // Network answers and decodes arrive in real time; loose bounds for loaded sanitizer runs.
    bool waitFor(const std::function<bool()>& predicate, double seconds = 30)
    {
        return harness_.runUntil(predicate, seconds);
    }

    // Lets whatever is in flight arrive (for checks that something did NOT
    // happen): every request answered and the answers delivered, then decoded.
    void settle()
    {
        EXPECT_TRUE(harness_.waitForServerQuiet());
        WebImageDecoder::sharedImageDecoder().waitUntilIdle();
        platform::RunLoop::main().runUntilIdle();
    }

    testsupport::AppHarness harness_;
    std::shared_ptr<TestApp> app_;
};

} // namespace imagetest
