// The movie screen in a real desktop window on an X server the test starts
// (Xvfb), looked at from outside (ImageMagick's import) and clicked through
// synthetic X input (xdotool): while it is up the window is turned to
// landscape, the picture turned with it so that the screen reads upright, and
// a click lands on what is shown under it. Without Xvfb or the tools the test
// reports itself skipped.
#include "content/player/ORBMoviePlayerController.h"
#include "platform/host/DesktopHost.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <cstdint>
#include <optional>

using platform::host::DesktopHost;
using platform::host::ScreenTurn;

namespace {

// Beside the other movie screen pictures (under the test's build folder).
constexpr const char* kRenderDirectory = "renders/content";

class PlayerWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (auto why = testsupport::startWindowTestDisplay(xvfb_); !why.empty())
            ORB_SKIP_WITHOUT_TOOL(why);
        scratch_ = testsupport::makeTempDir("orb-player-window");
        harness_ = std::make_unique<testsupport::AppHarness>();
        ASSERT_TRUE(harness_->start(app_));
        platform::host::HostOptions options;
        options.title = "Player";
        options.actualSize = true;
        options.sound = false;
        options.screenshotDirectory = scratch_;
        host_ = std::make_unique<DesktopHost>(options);
        std::string reason;
        ASSERT_TRUE(host_->open(&reason)) << reason;
        wid_ = std::to_string(host_->nativeWindowId());
        ASSERT_TRUE(loop().runUntil([&] { return host_->presentedFrames() > 0; }, 10));
    }

    void TearDown() override
    {
        host_.reset();
        harness_.reset();
        xvfb_.stop();
        if (!scratch_.empty())
            platform::FileUtil::remove(scratch_);
    }

    platform::RunLoop& loop() { return platform::RunLoop::main(); }

    // What the window shows once it holds still, as a person sees it: two
    // looks in a row show the same pixels, and the window was given no frame
    // from the start of the first to the end of the second, so what it shows
    // is the renderer's last frame. Nothing when a look fails, or when the
    // picture never holds still.
    std::optional<platform::Image> look(const std::string& name)
    {
        auto path = platform::FileUtil::joinPath(scratch_, name);
        std::optional<platform::Image> previous;
        std::uint64_t shownBeforePrevious = 0;
        for (int attempt = 0; attempt < 40; ++attempt) {
            const std::uint64_t shownBefore = host_->presentedFrames();
            if (testsupport::runWhileLooping({ "import", "-window", wid_, path }) != 0)
                return std::nullopt;
            auto seen = platform::Image::fromFile(path);
            if (!seen)
                return std::nullopt;
            if (previous && *seen == *previous && host_->presentedFrames() == shownBeforePrevious)
                return seen;
            previous = std::move(seen);
            shownBeforePrevious = shownBefore;
        }
        return std::nullopt;
    }

    // Where the window shows a point of the phone's screen.
    platform::Point shownAt(testsupport::ScreenSpot spot)
    {
        return platform::host::screenToWindow(
            host_->viewport(), UIScreen::mainScreen()->bounds().size, platform::Point(spot.x, spot.y), host_->turn());
    }

    int clickAt(platform::Point windowPoint) { return testsupport::clickInWindow(wid_, windowPoint.x, windowPoint.y); }

    testsupport::XvfbDisplay xvfb_;
    std::string scratch_;
    std::shared_ptr<sample::SampleAppDelegate> app_ = std::make_shared<sample::SampleAppDelegate>();
    std::unique_ptr<testsupport::AppHarness> harness_;
    std::unique_ptr<DesktopHost> host_;
    std::string wid_;
};

// The share of a grid over the window's picture where it shows the phone's
// frame as the window's turn maps it (colours within a small tolerance).
double agreement(const platform::Image& seen, const platform::Image& frame, const platform::host::Viewport& v,
    ScreenTurn turn)
{
    auto screen = UIScreen::mainScreen()->bounds().size;
    int same = 0;
    int total = 0;
    for (int row = 1; row < 20; ++row) {
        for (int column = 1; column < 20; ++column) {
            platform::Point p(v.x + v.width * column / 20, v.y + v.height * row / 20);
            auto onScreen = platform::host::windowToScreen(v, screen, p, false, turn);
            if (!onScreen || p.x >= seen.pixelWidth() || p.y >= seen.pixelHeight())
                continue;
            auto a = seen.pixelAt(int(p.x), int(p.y));
            double scale = frame.pixelWidth() / screen.width;
            // The window's picture is the frame scaled down: a sample on an
            // edge of the video may take its colour from a neighbouring pixel.
            int fx = int(onScreen->x * scale);
            int fy = int(onScreen->y * scale);
            bool near = false;
            for (int dy = -2; dy <= 2 && !near; ++dy) {
                for (int dx = -2; dx <= 2 && !near; ++dx) {
                    int x = std::clamp(fx + dx, 0, frame.pixelWidth() - 1);
                    int y = std::clamp(fy + dy, 0, frame.pixelHeight() - 1);
                    auto b = frame.pixelAt(x, y);
                    bool all = true;
                    for (std::size_t i = 0; i < 3; ++i)
                        all = all && std::abs(int(a[i]) - int(b[i])) <= 24;
                    near = all;
                }
            }
            same += near;
            ++total;
        }
    }
    return total ? double(same) / total : 0;
}

} // namespace

TEST_F(PlayerWindow, TurnsTheWindowToLandscapeWhileTheMovieIsUpAndBackAfter)
{
    auto portrait = look("portrait.png");
    ASSERT_TRUE(portrait);
    EXPECT_EQ(portrait->pixelWidth(), 640);
    EXPECT_EQ(portrait->pixelHeight(), 1136);
    EXPECT_EQ(host_->turn(), ScreenTurn::Upright);
    const auto uprightAt = host_->windowPosition();

    auto player = std::make_shared<content::ORBMoviePlayerController>(
        harness_->serverBase() + "mobile2/pull/lessons/media/clip.mp4");
    harness_->rootViewController()->presentViewController(player, true);
    EXPECT_EQ(UIApplication::sharedApplication().statusBarOrientation(), UIInterfaceOrientationLandscapeRight);
    ASSERT_TRUE(player->moviePlayer());
    ASSERT_TRUE(loop().runUntil(
        [&] { return player->moviePlayer()->position() >= 1.0 && player->moviePlayer()->framesDrawn() > 0; }, 30));
    // A still picture to compare with the phone's frame (look() waits until
    // the window holds still).
    player->moviePlayer()->pause();
    EXPECT_EQ(host_->turn(), ScreenTurn::CounterClockwise);

    // The window is on its side: wider than high, at the phone's landscape
    // aspect (scaled down to the 800 pixels the display is wide).
    auto landscape = look("landscape.png");
    ASSERT_TRUE(landscape);
    EXPECT_EQ(landscape->pixelWidth(), 800);
    EXPECT_NEAR(double(landscape->pixelHeight()), 800 * 640.0 / 1136, 1.0);
    auto v = host_->viewport();
    EXPECT_NEAR(v.width, landscape->pixelWidth(), 2.0);
    EXPECT_NEAR(v.height, landscape->pixelHeight(), 2.0);
    // Turned about its centre, as far as the display lets it: on the display.
    const auto sidewaysAt = host_->windowPosition();
    EXPECT_GE(sidewaysAt.x, 0);
    EXPECT_LE(sidewaysAt.x + landscape->pixelWidth(), 800);
    EXPECT_NEAR(sidewaysAt.y + landscape->pixelHeight() / 2.0, uprightAt.y + 1136 / 2.0, 1.0);
    // It shows the phone's frame turned back: the player's landscape screen upright.
    EXPECT_GE(agreement(*landscape, host_->renderer().frame(), v, host_->turn()), 0.9);
    // For a person to look at.
    platform::FileUtil::createDirectory(kRenderDirectory);
    EXPECT_TRUE(landscape->writePNG(platform::FileUtil::joinPath(kRenderDirectory, "content-movie-player-window.png")));

    // Upright: "完成" at the top left, play at the bottom left, the length at the bottom right.
    auto done = harness_->viewByText(content::MoviePlayerViewController::kDoneTitle);
    auto play = harness_->viewsByClass("MoviePlayButton");
    ASSERT_TRUE(done);
    ASSERT_EQ(play.size(), 1u);
    auto doneAt = shownAt(testsupport::screenCentreOf(done));
    auto playAt = shownAt(testsupport::screenCentreOf(play[0]));
    EXPECT_LT(doneAt.x, v.width / 4);
    EXPECT_LT(doneAt.y, v.height / 6);
    EXPECT_LT(playAt.x, v.width / 6);
    EXPECT_GT(playAt.y, v.height * 5 / 6);

    // A click where "完成" shows closes the screen, and the window turns back
    // to its portrait size.
    ASSERT_EQ(clickAt(doneAt), 0);
    ASSERT_TRUE(loop().runUntil([&] { return !harness_->rootViewController()->presentedViewController(); }, 10));
    EXPECT_EQ(UIApplication::sharedApplication().statusBarOrientation(), UIInterfaceOrientationPortrait);
    ASSERT_TRUE(loop().runUntil([&] { return host_->turn() == ScreenTurn::Upright; }, 5));
    auto back = look("back.png");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixelWidth(), 640);
    EXPECT_EQ(back->pixelHeight(), 1136);
    EXPECT_NEAR(host_->viewport().width, 640, 0.5);
    // Back where it stood, not where the wider window had to be moved.
    EXPECT_EQ(host_->windowPosition(), uprightAt);
}
