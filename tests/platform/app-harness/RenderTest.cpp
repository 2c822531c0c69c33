#include "platform/graphics/Image.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// Drawing goes through Pango and fontconfig, whose own threads the thread
// checker cannot follow, so the rendered screens are tested apart from the
// threaded tests.
namespace {

int darkPixelsIn(const platform::Image& image, int top, int bottom)
{
    int dark = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.pixelWidth(); ++x)
            dark += image.pixelAt(x, y)[0] < 128;
    return dark;
}

TEST(RenderTest, AWebViewDrawsItsPage)
{
    platform::RunLoop::setMainThread();
    auto& loop = platform::RunLoop::main();
    loop.discardPendingWork();
    testsupport::resetUIKitState();
    auto window = std::make_shared<UIWindow>();
    window->makeKeyAndVisible();
    auto webView = std::make_shared<UIWebView>(platform::Rect(0, 0, 320, 400));
    window->addSubview(webView);
    auto blank = webView->renderToImage(1);
    ASSERT_TRUE(blank);
    // The engine draws the body (a browser shows no title in the page).
    webView->loadHTMLString("<html><head><title>A heading</title></head><body style='margin:8px'>"
                            "<div style='font:bold 17px sans-serif;height:26px'>A heading</div>"
                            "<div style='font:14px sans-serif'>Some words of text on the page.</div></body></html>",
        std::nullopt);
    ASSERT_TRUE(loop.runUntil([&] { return webView->request() && !webView->isLoading(); }, 10));
    ASSERT_TRUE(webView->updateDrawing());
    auto drawn = webView->renderToImage(1);
    ASSERT_TRUE(drawn);
    // The heading's band and the text's have dark pixels now; the blank page had none.
    EXPECT_EQ(darkPixelsIn(*blank, 0, 60), 0);
    EXPECT_GT(darkPixelsIn(*drawn, 8, 30), 0);
    EXPECT_GT(darkPixelsIn(*drawn, 34, 60), 0);
    EXPECT_EQ(darkPixelsIn(*drawn, 200, 400), 0);
    webView.reset();
    testsupport::resetUIKitState();
}

TEST(RenderTest, TheSampleApplicationRendersEachScreen)
{
    auto delegate = std::make_shared<sample::SampleAppDelegate>();
    testsupport::AppHarnessOptions options;
    options.startServer = false;
    testsupport::AppHarness harness(options);
    ASSERT_TRUE(harness.start(delegate));

    auto lessons = harness.render("sample-lessons.png");
    ASSERT_FALSE(lessons.empty());
    auto image = platform::Image::fromFile(lessons);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 640);
    EXPECT_EQ(image->pixelHeight(), 1136);
    // The first row sits below the navigation bar (64 points), not under it.
    EXPECT_GT(darkPixelsIn(*image, 2 * 64 + 10, 2 * 108 - 10), 0);

    auto list = std::dynamic_pointer_cast<sample::LessonListController>(harness.topScreen());
    ASSERT_TRUE(list);
    ASSERT_TRUE(harness.selectRow(list->tableView(), 0, 1));
    harness.advance(UINavigationController::kTransitionDuration);
    ASSERT_TRUE(harness.tapButton("Ask the teacher"));
    auto alert = harness.render("sample-alert.png");
    ASSERT_FALSE(alert.empty());
    image = platform::Image::fromFile(alert);
    ASSERT_TRUE(image);
    // The screen behind an alert is dimmed; the alert's box stays light.
    EXPECT_LT(image->colorAt(20, 900).red, 0.8);
    EXPECT_GT(image->colorAt(320, 600).red, 0.9);
    ASSERT_TRUE(harness.tapAlertButton("Cancel"));

    ASSERT_TRUE(harness.tapButton("Settings"));
    auto settings = harness.render("sample-settings.png");
    ASSERT_FALSE(settings.empty());
    image = platform::Image::fromFile(settings);
    ASSERT_TRUE(image);
    // The settings background above, the tab bar's grey below, the red button between.
    auto background = image->colorAt(20, 600);
    EXPECT_NEAR(background.red, 236 / 255.0, 0.02);
    EXPECT_NEAR(background.blue, 246 / 255.0, 0.02);
    EXPECT_NEAR(image->colorAt(10, 1136 - 40).red, 245 / 255.0, 0.02);
    auto button = image->colorAt(130, 250);
    EXPECT_GT(button.red, 0.7);
    EXPECT_LT(button.green, 0.35);
}

} // namespace
