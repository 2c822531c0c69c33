// The first web page of a screen as a person sees it in the window: the
// screen a tile pushes shows with its loading view in the first frame after
// the tap, before the web engine starts (which holds the main loop a long
// while on the first page); the engine starts after that frame; and a screen
// that leaves before that frame never starts it and hears nothing. The
// harness draws frames as the window host does (drawFrames). The engine
// draws on the program's X server (see WebScreensTest.cpp).
#include "app/main/ORBViewController.h"
#include "app/navigation/NavigationViewController.h"
#include "app/web/ORBWebViewController.h"
#include "platform/uikit/ScreenFrames.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/WebEngine.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/grid/GridView.h"

#include <gtest/gtest.h>

#include <optional>

using namespace testsupport;

namespace {

// What the first frame after the push showed, and the state when it was drawn.
struct FirstFrame {
    platform::Image image;
    bool engineStarted = true;
    bool spinnerShown = false;
    std::uint64_t number = 0;
    platform::Rect spinner; // in screen points
};

class FirstWebPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(startClient(harness));
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        auto main = mainScreen();
        ASSERT_TRUE(main);
        ASSERT_TRUE(harness.tap(main->tabBtns()[std::size_t(ORBViewController::kGridTab)]));
        settle(harness);
        navigation = main->viewControllers()[std::size_t(ORBViewController::kGridTab)];
        grid = std::dynamic_pointer_cast<NavigationViewController>(navigation->viewControllers().front());
        ASSERT_TRUE(grid);
    }
    void TearDown() override { harness.stop(); }

    std::shared_ptr<UIView> tile(const std::string& title)
    {
        auto tiles = std::dynamic_pointer_cast<GridView>(findViewByOutlet(grid->view(), "gridView"));
        if (!tiles)
            return nullptr;
        for (std::size_t i = 0; i < grid->gridItems().size() && i < tiles->itemViews().size(); ++i)
            if (grid->gridItems()[i]->title().value_or("") == title)
                return tiles->itemViews()[i];
        return nullptr;
    }

    // Whether the frame shows the spinner's spokes in its square: the
    // square holds pixels far darker than the white page around them.
    static bool spokesDrawn(const platform::Image& frame, const platform::Rect& square)
    {
        int dark = 0;
        for (int y = int(square.minY() * 2); y < int(square.maxY() * 2); ++y)
            for (int x = int(square.minX() * 2); x < int(square.maxX() * 2); ++x) {
                auto p = frame.pixelAt(x, y);
                dark += int(p[0]) + int(p[1]) + int(p[2]) < 3 * 200;
            }
        return dark >= 20;
    }

    // Watches the frames for the first one with a screen other than the
    // grid on top of the grid's tab.
    void watchForTheFirstFrameOfAPushedScreen()
    {
        harness.setFrameWatcher([this](const platform::Image& image) {
            auto top = navigation->topViewController();
            if (first || top == grid)
                return;
            FirstFrame seen;
            seen.image = image;
            seen.number = harness.framesDrawn();
            auto webViews = findViewsByClass(top->view(), "UIWebView");
            auto web = webViews.empty() ? nullptr : std::dynamic_pointer_cast<UIWebView>(webViews.front());
            seen.engineStarted = !web || web->engineStarted();
            for (const auto& spinner : findViewsByClass(top->view(), "UIActivityIndicatorView")) {
                if (!isShownOnScreen(spinner))
                    continue;
                auto origin = spinner->convertPointToView(platform::Point(0, 0), nullptr);
                seen.spinner
                    = platform::Rect(origin.x, origin.y, spinner->bounds().width(), spinner->bounds().height());
                seen.spinnerShown = true;
            }
            first = seen;
        });
    }

    AppHarness harness { [] {
        AppHarnessOptions options;
        options.drawFrames = true;
        return options;
    }() };
    std::shared_ptr<UINavigationController> navigation;
    std::shared_ptr<NavigationViewController> grid;
    std::optional<FirstFrame> first;
};

TEST_F(FirstWebPage, TheTappedTileShowsItsScreenAndSpinnerBeforeTheEngineStarts)
{
    auto notices = tile("班级公告");
    ASSERT_TRUE(notices);
    watchForTheFirstFrameOfAPushedScreen();
    auto made = platform::webEngineViewsMade();
    ASSERT_TRUE(harness.tap(notices));
    ASSERT_TRUE(harness.runUntil([&] { return first.has_value(); }));
    harness.setFrameWatcher({});

    // The first frame after the tap: the notices' screen, its spinner drawn,
    // and no engine yet.
    EXPECT_FALSE(first->engineStarted);
    ASSERT_TRUE(first->spinnerShown);
    EXPECT_TRUE(spokesDrawn(first->image, first->spinner));
    // For a person to look at: the frame itself, over the render of the same name.
    auto picture = harness.render("first-web-page-loading.png");
    EXPECT_TRUE(!picture.empty() && first->image.writePNG(picture));

    // The engine starts after that frame, and the page comes.
    auto page = navigation->topViewController();
    auto web = std::dynamic_pointer_cast<UIWebView>(findViewsByClass(page->view(), "UIWebView").front());
    ASSERT_TRUE(web);
    ASSERT_TRUE(harness.runUntil([&] { return web->engineStarted(); }));
    EXPECT_GT(harness.framesDrawn(), first->number);
    EXPECT_EQ(platform::webEngineViewsMade(), made + 1);
    ASSERT_TRUE(harness.runUntil([&] {
        return web->request() && !web->isLoading()
            && web->stringByEvaluatingJavaScriptFromString("document.querySelector('#notices .list') ? '1' : ''")
            == "1";
    }));
    // The page drawn, the spinner is gone.
    EXPECT_TRUE(findViewsByClass(page->view(), "UIActivityIndicatorView").empty());
}

TEST_F(FirstWebPage, AGeneralPageShowsItsLoadingViewInItsFirstFrame)
{
    auto screen = std::make_shared<ORBWebViewController>();
    screen->setLoadUrl(platform::Url::parse(harness.serverBase() + "carrier/pigeon/"));
    watchForTheFirstFrameOfAPushedScreen();
    navigation->pushViewController(screen, true);
    ASSERT_TRUE(harness.runUntil([&] { return first.has_value(); }));
    harness.setFrameWatcher({});
    EXPECT_FALSE(first->engineStarted);
    ASSERT_TRUE(first->spinnerShown);
    EXPECT_TRUE(spokesDrawn(first->image, first->spinner));
    EXPECT_TRUE(harness.viewByText("正在努力加载中..."));
    ASSERT_TRUE(harness.runUntil([&] { return screen->title() == "鸽笺"; }));
    EXPECT_FALSE(harness.viewByText("正在努力加载中..."));
}

// Pushed and popped again before the window drew a frame: the screens slide
// away (alive until their transitions end), yet their pages never start the
// engine, never reach the server, and nothing is heard of them once gone.
TEST_F(FirstWebPage, ScreensPoppedBeforeTheFrameNeverStartTheEngine)
{
    auto made = platform::webEngineViewsMade();
    auto general = std::make_shared<ORBWebViewController>();
    general->setLoadUrl(platform::Url::parse(harness.serverBase() + "carrier/pigeon/"));
    navigation->pushViewController(general, true);
    navigation->popViewControllerAnimated(true);
    std::weak_ptr<UIViewController> generalGone = general;
    general.reset();

    // The notices' tile, tapped and left at once.
    ASSERT_TRUE(testsupport::tap(tile("班级公告")));
    auto notices = navigation->topViewController();
    ASSERT_NE(notices, grid);
    navigation->popViewControllerAnimated(true);
    std::weak_ptr<UIViewController> noticesGone = notices;
    notices.reset();
    EXPECT_GT(platform::ScreenFrames::waitingCount(), 0u);

    auto frames = harness.framesDrawn();
    harness.loop().runUntilIdle();
    EXPECT_GT(harness.framesDrawn(), frames);
    EXPECT_EQ(platform::ScreenFrames::waitingCount(), 0u);
    settle(harness);
    EXPECT_TRUE(generalGone.expired());
    EXPECT_TRUE(noticesGone.expired());
    ASSERT_TRUE(harness.waitForServerQuiet());
    EXPECT_EQ(platform::webEngineViewsMade(), made);
    for (const auto& request : harness.serverRequests()) {
        EXPECT_NE(request.path, "/carrier/pigeon/");
        EXPECT_EQ(request.path.find("classnotice"), std::string::npos) << request.path;
    }
    EXPECT_EQ(navigation->topViewController(), grid);
}

} // namespace
