// The sample application in a real window on an X server the test starts
// (Xvfb), driven by synthetic X input (xdotool) and looked at from outside
// (ImageMagick's import). Without Xvfb these report themselves skipped.
#include "platform/host/DesktopHost.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIKitRegistration.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/platform/host/HostTestSupport.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <unistd.h>

using platform::host::DesktopHost;
using platform::host::HostOptions;

namespace {

std::string px(double points) { return std::to_string(long(std::lround(points * 2))); }

std::array<std::uint8_t, 4> colourAt(const platform::Image& image, double x, double y)
{
    return image.pixelAt(int(std::lround(x * 2)), int(std::lround(y * 2)));
}

testing::AssertionResult sameColour(std::array<std::uint8_t, 4> seen, platform::Color expected)
{
    auto want = expected.toRGBA8();
    for (int i = 0; i < 3; ++i) {
        if (std::abs(int(seen[std::size_t(i)]) - int(want[std::size_t(i)])) > 2)
            return testing::AssertionFailure()
                << "saw " << int(seen[0]) << "," << int(seen[1]) << "," << int(seen[2]) << " wanted " << int(want[0])
                << "," << int(want[1]) << "," << int(want[2]);
    }
    return testing::AssertionSuccess();
}

class HostWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The window's own choice of how frames reach it is under test: none
        // is forced from the environment.
        if (auto why = testsupport::startWindowTestDisplay(xvfb_); !why.empty())
            ORB_SKIP_WITHOUT_TOOL(why);
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        harness_ = std::make_unique<testsupport::AppHarness>(options);
        ASSERT_TRUE(harness_->start(app_));
    }

    void TearDown() override
    {
        host_.reset();
        harness_.reset();
        xvfb_.stop();
        for (const auto& dir : scratch_)
            platform::FileUtil::remove(dir);
    }

    void openWindow()
    {
        HostOptions options;
        options.title = "Sample lessons";
        options.actualSize = true;
        options.sound = false;
        options.screenshotDirectory = scratch("orb-host-shots");
        host_ = std::make_unique<DesktopHost>(options);
        std::string reason;
        ASSERT_TRUE(host_->open(&reason)) << reason;
        ASSERT_NE(host_->nativeWindowId(), 0u);
        wid_ = std::to_string(host_->nativeWindowId());
        ASSERT_TRUE(loop().runUntil([&] { return host_->presentedFrames() > 0; }, 10));
        ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "windowfocus", "--sync", wid_ }), 0);
    }

    platform::RunLoop& loop() { return platform::RunLoop::main(); }
    std::string scratch(const char* prefix) { return scratch_.emplace_back(testsupport::makeTempDir(prefix)); }

    // xdotool commands aimed at the window, positions in points.
    int xdo(std::vector<std::string> args)
    {
        args.insert(args.begin(), "xdotool");
        return hosttest::runWhileLooping(args);
    }
    int clickAt(double x, double y) { return xdo({ "mousemove", "--window", wid_, px(x), px(y), "click", "1" }); }

    std::optional<platform::Image> screenshot()
    {
        // What is shown right now, taken from the X server as a person would see it.
        loop().runUntil([] { return false; }, 0.2);
        auto path = platform::FileUtil::joinPath(scratch("orb-host-import"), "window.png");
        if (hosttest::runWhileLooping({ "import", "-window", wid_, path }) != 0)
            return std::nullopt;
        return platform::Image::fromFile(path);
    }

    hosttest::XvfbDisplay xvfb_;
    std::shared_ptr<sample::SampleAppDelegate> app_ = std::make_shared<sample::SampleAppDelegate>();
    std::unique_ptr<testsupport::AppHarness> harness_;
    std::unique_ptr<DesktopHost> host_;
    std::string wid_;
    std::vector<std::string> scratch_;
};

} // namespace

TEST_F(HostWindow, TapsPushScreensAndTheScreenshotShowsThem)
{
    openWindow();
    std::string name;
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "getwindowname", wid_ }, &name), 0);
    EXPECT_EQ(name, "Sample lessons\n");

    auto navigation = app_->root()->lessonsNavigation();
    auto list = std::dynamic_pointer_cast<sample::LessonListController>(navigation->viewControllers().front());
    auto row = hosttest::screenCentreOf(list->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0)));
    ASSERT_EQ(clickAt(row.x, row.y), 0);
    ASSERT_TRUE(loop().runUntil([&] { return navigation->viewControllers().size() == 2; }, 5));
    auto lesson = std::dynamic_pointer_cast<sample::LessonController>(navigation->topViewController());
    ASSERT_TRUE(lesson);
    EXPECT_EQ(lesson->lesson(), "Mathematics");

    auto shot = screenshot();
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->pixelWidth(), 640);
    EXPECT_EQ(shot->pixelHeight(), 1136);
    // Away from text: the lesson page, the tab bar, the left of the button.
    EXPECT_TRUE(sameColour(colourAt(*shot, 10, 400), platform::Color::fromRGB255(250, 248, 240)));
    EXPECT_TRUE(sameColour(colourAt(*shot, 5, 560), platform::Color::fromRGB255(245, 245, 245)));
    EXPECT_TRUE(sameColour(colourAt(*shot, 70, 276), platform::Color::fromRGB255(34, 139, 94)));
    // And what the window shows is what the renderer drew.
    for (auto [x, y] : { std::pair { 10.0, 400.0 }, { 5.0, 560.0 }, { 70.0, 276.0 }, { 300.0, 40.0 } }) {
        auto drawn = colourAt(host_->renderer().frame(), x, y);
        EXPECT_TRUE(sameColour(colourAt(*shot, x, y), platform::Color::fromRGBA8(drawn[0], drawn[1], drawn[2], 255)))
            << "at " << x << "," << y;
    }

    // Escape is the back swipe.
    ASSERT_EQ(xdo({ "key", "Escape" }), 0);
    ASSERT_TRUE(loop().runUntil([&] { return navigation->viewControllers().size() == 1; }, 5));

    // F12 writes the screen.
    ASSERT_EQ(xdo({ "key", "F12" }), 0);
    auto folder = host_->options().screenshotDirectory;
    ASSERT_TRUE(loop().runUntil(
        [&] {
            auto files = platform::FileUtil::list(folder);
            return files && !files->empty();
        },
        5));
}

TEST_F(HostWindow, DragsScrollATableAndClicksSelectItsRows)
{
    openWindow();
    auto list = std::make_shared<hosttest::LongListController>();
    app_->root()->lessonsNavigation()->pushViewController(list, false);
    auto table = list->tableView();
    ASSERT_TRUE(loop().runUntil([&] { return table->window() != nullptr; }, 5));
    table->layoutIfNeeded();
    auto start = hosttest::screenCentreOf(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(6, 0)));

    // A quick stroke up by 160 points: the content follows it and coasts.
    std::vector<std::string> stroke { "mousemove", "--window", wid_, px(start.x), px(start.y), "mousedown", "1" };
    for (int i = 1; i <= 4; ++i) {
        for (auto arg : { std::string("mousemove"), std::string("--window"), wid_, px(start.x), px(start.y - 40 * i) })
            stroke.push_back(arg);
    }
    for (auto arg : { "mouseup", "1" })
        stroke.push_back(arg);
    ASSERT_EQ(xdo(stroke), 0);
    ASSERT_TRUE(loop().runUntil([&] { return !table->isDragging() && table->contentOffset().y > 0; }, 5));
    EXPECT_NEAR(table->contentOffset().y, 160, 1);
    EXPECT_TRUE(list->selectedRows.empty());
    EXPECT_EQ(list->events.front(), "willBeginDragging");

    // A click selects the row under it, wherever the content now is.
    ASSERT_TRUE(loop().runUntil([&] { return !table->isDecelerating(); }, 5));
    table->layoutIfNeeded();
    auto rowNine = hosttest::screenCentreOf(table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(9, 0)));
    ASSERT_EQ(clickAt(rowNine.x, rowNine.y), 0);
    ASSERT_TRUE(loop().runUntil([&] { return !list->selectedRows.empty(); }, 5));
    EXPECT_EQ(list->selectedRows, (std::vector<long> { 9 }));

    // Two wheel notches down scroll by two steps.
    double before = table->contentOffset().y;
    ASSERT_EQ(xdo({ "mousemove", "--window", wid_, px(160), px(300), "click", "5", "click", "5" }), 0);
    ASSERT_TRUE(loop().runUntil([&] { return table->contentOffset().y >= before + 80 - 0.5; }, 5));
    EXPECT_NEAR(table->contentOffset().y, before + 80, 0.5);
}

TEST_F(HostWindow, TypedTextReachesTheFocusedFieldAboveTheKeyboardPanel)
{
    openWindow();
    auto settings = app_->root()->tabs()[1];
    auto tab = hosttest::screenCentreOf(app_->root()->tabButton(1));
    ASSERT_EQ(clickAt(tab.x, tab.y), 0);
    ASSERT_TRUE(loop().runUntil([&] { return app_->root()->selectedIndex() == 1; }, 5));
    auto field = std::make_shared<UITextField>(platform::Rect(20, 200, 280, 36));
    field->setBackgroundColor(platform::Color::whiteColor());
    settings->view()->addSubview(field);

    // Typing with nothing focused goes nowhere.
    ASSERT_EQ(xdo({ "type", "--delay", "30", "lost" }), 0);
    loop().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(field->text(), "");

    auto centre = hosttest::screenCentreOf(field);
    ASSERT_EQ(clickAt(centre.x, centre.y), 0);
    ASSERT_TRUE(loop().runUntil([&] { return field->isFirstResponder(); }, 5));
    EXPECT_TRUE(platform::Keyboard::isVisible());
    ASSERT_EQ(xdo({ "type", "--delay", "30", "hello" }), 0);
    ASSERT_TRUE(loop().runUntil([&] { return field->text() == "hello"; }, 5)) << field->text();
    ASSERT_EQ(xdo({ "key", "BackSpace", "Left", "Left", "x" }), 0);
    ASSERT_TRUE(loop().runUntil([&] { return field->text() == "hexll"; }, 5)) << field->text();

    // The keyboard's area is drawn as a plain panel at the bottom of the screen.
    auto shot = screenshot();
    ASSERT_TRUE(shot);
    auto keyboard = platform::Keyboard::frame();
    EXPECT_DOUBLE_EQ(keyboard.size.height, 216);
    EXPECT_TRUE(sameColour(colourAt(*shot, 10, keyboard.origin.y + 100), platform::Keyboard::kPanelColor));
    EXPECT_TRUE(sameColour(colourAt(*shot, 10, 100), platform::Color::fromRGB255(236, 240, 246)));
}

TEST_F(HostWindow, AResizedWindowKeepsThePhoneInProportionAndTouchable)
{
    openWindow();
    ASSERT_EQ(xdo({ "windowsize", wid_, "480", "568" }), 0);
    ASSERT_TRUE(loop().runUntil([&] { return std::fabs(host_->viewport().height - 568) < 0.5; }, 5));
    auto v = host_->viewport();
    EXPECT_NEAR(v.width, 320, 0.5);
    EXPECT_NEAR(v.x, 80, 0.5);
    // The settings tab's button, at half scale and 80 pixels in.
    auto tab = hosttest::screenCentreOf(app_->root()->tabButton(1));
    ASSERT_EQ(xdo({ "mousemove", "--window", wid_, std::to_string(long(80 + tab.x)), std::to_string(long(tab.y)),
                  "click", "1" }),
        0);
    ASSERT_TRUE(loop().runUntil([&] { return app_->root()->selectedIndex() == 1; }, 5));
    // A click in the black bar beside the phone touches nothing.
    ASSERT_EQ(xdo({ "mousemove", "--window", wid_, "20", std::to_string(long(tab.y)), "click", "1" }), 0);
    loop().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(app_->root()->selectedIndex(), 1);
}

TEST_F(HostWindow, AnIdleWindowSleepsAndDrawsOnlyWhatChanged)
{
    openWindow();
    auto& mainLoop = loop();
    // Let the first frames settle, then watch an idle span.
    mainLoop.runUntil([] { return false; }, 0.5);
    auto callouts = mainLoop.calloutCount();
    auto redraws = host_->renderer().redraws();
    auto presented = host_->presentedFrames();
    mainLoop.runUntil([] { return false; }, 0.5);
    EXPECT_EQ(mainLoop.calloutCount(), callouts) << "nothing should run while nothing happens";
    EXPECT_EQ(host_->renderer().redraws(), redraws);
    EXPECT_EQ(host_->presentedFrames(), presented);

    // Work that changes nothing on screen draws but shows no new frame.
    mainLoop.post([] {});
    mainLoop.runUntil([] { return false; }, 0.2);
    EXPECT_GT(host_->renderer().redraws(), redraws);
    EXPECT_EQ(host_->presentedFrames(), presented);

    // A change posted from another thread wakes the loop and is shown.
    std::thread([app = app_] { platform::postToMain([app] { app->root()->selectTab(1); }); }).join();
    ASSERT_TRUE(mainLoop.runUntil([&] { return host_->presentedFrames() > presented; }, 5));
    EXPECT_EQ(app_->root()->selectedIndex(), 1);
}

TEST_F(HostWindow, ClosingTheWindowWhileWorkIsPendingEndsTheRunCleanly)
{
    openWindow();
    bool late = false;
    auto pending = platform::dispatchAfter(30, [&] { late = true; });
    std::atomic<bool> pushed { false };
    // The close request arrives through SDL's queue from another thread, as a
    // window manager's would, while the loop sleeps.
    std::thread closer([&] {
        usleep(300 * 1000);
        SDL_Event quit {};
        quit.type = SDL_QUIT;
        pushed = SDL_PushEvent(&quit) == 1;
    });
    host_->run();
    closer.join();
    EXPECT_TRUE(pushed);
    EXPECT_TRUE(host_->closeRequested());
    EXPECT_FALSE(late);
    host_->close();
    EXPECT_FALSE(host_->isOpen());
    // Work that finishes after the window went away finds nothing to draw on.
    platform::postToMain([app = app_] { app->root()->selectTab(1); });
    loop().runUntilIdle();
    EXPECT_FALSE(host_->redrawIfNeeded(true));
    pending.cancel();
}

namespace {

// The libraries of a GL implementation mapped into this process, by name:
// the vendor libraries, the DRI driver and the LLVM it compiles shaders with,
// which only a GL context brings in. The small dispatch libraries (libGL,
// libGLX, libEGL) are link-time dependencies of the web engine's library and
// are loaded with the program whether or not anything draws with GL.
std::vector<std::string> glLibrariesLoaded()
{
    std::vector<std::string> found;
    auto maps = testsupport::readTextFile("/proc/self/maps");
    for (const char* name : { "libLLVM", "_dri.so", "libGLX_mesa", "libEGL_mesa", "libgallium" })
        if (maps.find(name) != std::string::npos)
            found.emplace_back(name);
    return found;
}

} // namespace

TEST_F(HostWindow, FramesReachTheWindowWithoutGLAndOnlyWhereTheyChanged)
{
    openWindow();
    EXPECT_FALSE(host_->usesRenderer());
    auto loaded = glLibrariesLoaded();
    EXPECT_TRUE(loaded.empty()) << "a GL stack was loaded for the window: " << loaded.front();
    loop().runUntil([] { return false; }, 0.3);

    // A small square appears: only its pixels go to the window.
    auto square = std::make_shared<UIView>(platform::Rect(100, 150, 10, 12));
    square->setBackgroundColor(platform::Color::fromRGB255(250, 120, 0));
    auto presented = host_->presentedFrames();
    UIWindow::keyWindow()->addSubview(square);
    ASSERT_TRUE(loop().runUntil([&] { return host_->presentedFrames() > presented; }, 5));
    EXPECT_EQ(host_->lastShownRect(), (platform::host::PixelRect { 200, 300, 20, 24 }));
    auto seen = screenshot();
    ASSERT_TRUE(seen);
    EXPECT_TRUE(sameColour(colourAt(*seen, 105, 156), platform::Color::fromRGB255(250, 120, 0)));
    // Beside it the window still shows the rest of the frame.
    EXPECT_TRUE(sameColour(colourAt(*seen, 95, 156), [&] {
        auto p = colourAt(host_->renderer().frame(), 95, 156);
        return platform::Color::fromRGB255(p[0], p[1], p[2]);
    }()));

    // A window of another size is painted whole, the surround included.
    presented = host_->presentedFrames();
    ASSERT_EQ(xdo({ "windowsize", "--sync", wid_, "700", "1136" }), 0);
    ASSERT_TRUE(loop().runUntil(
        [&] { return host_->presentedFrames() > presented && host_->lastShownRect().width == 700; }, 5));
    EXPECT_EQ(host_->lastShownRect(), (platform::host::PixelRect { 0, 0, 700, 1136 }));
    seen = screenshot();
    ASSERT_TRUE(seen);
    ASSERT_EQ(seen->pixelWidth(), 700);
    // The phone sits in the middle at its own size, black on either side.
    EXPECT_TRUE(sameColour(seen->pixelAt(10, 500), platform::Color::blackColor()));
    EXPECT_TRUE(sameColour(seen->pixelAt(30 + 210, 312), platform::Color::fromRGB255(250, 120, 0)));
    square->removeFromSuperview();
}

TEST(HostWithoutDisplay, OpeningFailsWithAReasonAndTheDemoExitsCleanly)
{
    const char* previous = std::getenv("DISPLAY");
    std::string saved = previous ? previous : "";
    setenv("DISPLAY", ":65000", 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    {
        DesktopHost host;
        std::string reason;
        EXPECT_FALSE(host.open(&reason));
        EXPECT_NE(reason.find("no display"), std::string::npos) << reason;
        EXPECT_FALSE(host.isOpen());
        EXPECT_FALSE(host.redrawIfNeeded(true));
        host.requestClose();
        host.run(); // returns at once: there is no window
    }
    auto dir = testsupport::makeTempDir("orb-host-demo");
    pid_t demo = testsupport::spawnProcess({ testsupport::buildPath(ORB_HOST_DEMO), "--silent" }, dir + "/demo.log");
    ASSERT_GT(demo, 0);
    EXPECT_EQ(testsupport::waitForProcess(demo, 60), 2);
    EXPECT_NE(testsupport::readTextFile(dir + "/demo.log").find("cannot open"), std::string::npos);
    platform::FileUtil::remove(dir);
    unsetenv("SDL_VIDEODRIVER");
    if (previous)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
}
