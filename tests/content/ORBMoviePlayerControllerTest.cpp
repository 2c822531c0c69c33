#include "content/player/ORBMoviePlayerController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/ScreenFoot.h"
#include "tests/support/app/SignedInScreen.h"
#include "ui/overlay/ProgressOverlay.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using content::ORBMoviePlayerController;
using platform::MoviePlayer;

std::shared_ptr<ORBMoviePlayerController> present(testsupport::AppHarness& harness, const std::string& path)
{
    auto player = std::make_shared<ORBMoviePlayerController>(harness.serverBase() + path);
    harness.rootViewController()->presentViewController(player, true);
    testsupport::settle(harness);
    return player;
}

class MovieScreenTest : public testsupport::SignedInScreenTest {
protected:
    std::shared_ptr<ORBMoviePlayerController> present(const std::string& path) { return ::present(harness(), path); }
};

// On either screen the landscape screen is as long as the phone: the picture
// in its middle, both bars across it, the time line ending before the length
// and the length on the screen.
TEST(MovieScreen, PlaysFullScreenTurnedToLandscapeWithItsControlsAndClosesWithDone)
{
    struct Case {
        UIScreen::Kind screen;
        const char* name;
        double length; // the phone's length in points: the landscape screen's width
        int frameWidth; // the picture fitted into it at the screen's scale, in pixels
        int frameHeight;
    };
    const Case cases[] = {
        { UIScreen::Kind::FourInch, "4inch", 568, 1136, 639 },
        { UIScreen::Kind::ThreePointFiveInch, "3.5inch", 480, 960, 540 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::AppHarnessOptions options;
        options.screen = c.screen;
        testsupport::AppHarness harness(options);
        ASSERT_TRUE(testsupport::startClient(harness));
        ASSERT_TRUE(
            testsupport::signInThroughScreens(harness, testsupport::kDemoTeacher, testsupport::kDemoTeacherPassword));
        ASSERT_EQ(UIScreen::mainScreen()->bounds().height(), c.length);
        auto screen = present(harness, "mobile2/pull/lessons/media/clip.mp4");
        EXPECT_EQ(harness.presentedScreen(), screen);
        EXPECT_FALSE(screen->shouldAutorotate());
        EXPECT_EQ(screen->preferredInterfaceOrientationForPresentation(), UIInterfaceOrientationLandscapeRight);
        EXPECT_EQ(screen->supportedInterfaceOrientations()
                & content::orientationMask(UIInterfaceOrientationPortraitUpsideDown),
            0u);
        EXPECT_NE(
            screen->supportedInterfaceOrientations() & content::orientationMask(UIInterfaceOrientationLandscapeRight),
            0u);

        auto player = screen->moviePlayer();
        ASSERT_TRUE(player);
        ASSERT_TRUE(harness.runUntil([&] { return player->position() >= 2.0 && player->framesDrawn() > 0; }));
        // The picture fills the landscape screen's width at the screen's scale.
        EXPECT_EQ(player->frameWidth(), c.frameWidth);
        EXPECT_EQ(player->frameHeight(), c.frameHeight);

        auto buttons = harness.viewsByClass("MoviePlayButton");
        ASSERT_EQ(buttons.size(), 1u);
        ASSERT_TRUE(harness.tap(buttons[0]));
        ASSERT_TRUE(harness.runUntil([&] { return player->state() == MoviePlayer::State::Paused; }));
        harness.runUntil([] { return false; }, 0.3);
        auto length = harness.viewByText("00:15");
        ASSERT_TRUE(length);

        // The landscape screen covers the phone's screen, turned into it.
        auto pictures = harness.viewsByClass("MoviePlayerView");
        ASSERT_EQ(pictures.size(), 1u);
        auto landscape = pictures[0]->superview();
        ASSERT_TRUE(landscape);
        EXPECT_EQ(landscape->bounds().size, platform::Size(c.length, 320));
        EXPECT_TRUE(testsupport::insideScreen(*landscape));
        // The picture is in the middle of the phone's screen.
        auto picture = std::dynamic_pointer_cast<content::MoviePlayerView>(pictures[0]);
        ASSERT_TRUE(picture);
        auto pictureRect = picture->pictureRect();
        auto pictureCentre
            = picture->convertPointToView(platform::Point(pictureRect.midX(), pictureRect.midY()), nullptr);
        EXPECT_NEAR(pictureCentre.x, 160, 0.5);
        EXPECT_NEAR(pictureCentre.y, c.length / 2, 0.5);
        // Both bars across the landscape screen, the time line ending before
        // the length, and the length whole on the screen.
        auto done = harness.viewByText(content::MoviePlayerViewController::kDoneTitle);
        ASSERT_TRUE(done);
        auto topBar = done->superview();
        auto bottomBar = buttons[0]->superview();
        ASSERT_TRUE(topBar && bottomBar);
        ASSERT_EQ(topBar->superview(), landscape);
        ASSERT_EQ(bottomBar->superview(), landscape);
        EXPECT_EQ(topBar->frame(), platform::Rect(0, 0, c.length, 44));
        EXPECT_EQ(bottomBar->frame(), platform::Rect(0, 320 - 44, c.length, 44));
        auto line = harness.viewsByClass("MovieProgressView");
        ASSERT_EQ(line.size(), 1u);
        ASSERT_EQ(line[0]->superview(), bottomBar);
        ASSERT_EQ(length->superview(), bottomBar);
        EXPECT_LE(line[0]->frame().maxX(), length->frame().minX());
        EXPECT_TRUE(testsupport::insideScreen(*line[0]));
        EXPECT_TRUE(testsupport::insideScreen(*length));
        EXPECT_TRUE(testsupport::insideScreen(*topBar));
        EXPECT_TRUE(testsupport::insideScreen(*bottomBar));

        std::string png = harness.render(std::string("content-movie-player-") + c.name + ".png");
        ASSERT_FALSE(png.empty());
        // The frame reached the window: the middle of the picture is not the black around it.
        auto drawn = platform::Image::fromFile(png);
        ASSERT_TRUE(drawn);
        auto centre = drawn->pixelAt(drawn->pixelWidth() / 2, drawn->pixelHeight() / 2);
        EXPECT_GT(int(centre[0]) + centre[1] + centre[2], 60);

        // A seek to 10 s while paused: the frame there is drawn into the view and
        // the time line's knob stands at two thirds.
        std::uint64_t drawnBefore = player->framesDrawn();
        screen->moviePlayer()->seek(10.0);
        ASSERT_TRUE(harness.runUntil(
            [&] { return std::abs(player->position() - 10.0) < 0.02 && player->framesDrawn() > drawnBefore; }));
        harness.runUntil([] { return false; }, 0.3);
        EXPECT_TRUE(harness.viewByText("00:10"));
        EXPECT_NEAR(std::dynamic_pointer_cast<content::MovieProgressView>(line[0])->fraction(), 10.0 / 15.0, 0.01);
        EXPECT_FALSE(harness.render(std::string("content-movie-player-10s-") + c.name + ".png").empty());

        ASSERT_TRUE(harness.tapButton("完成"));
        testsupport::settle(harness);
        EXPECT_EQ(harness.presentedScreen(), nullptr);
        EXPECT_EQ(player->state(), MoviePlayer::State::Idle);
    }
}

TEST_F(MovieScreenTest, AMovieThatCannotBePlayedSaysSo)
{
    signIn();
    auto screen = present("mobile2/pull/lessons/media/missing.mp4");
    ASSERT_TRUE(screen->moviePlayer());
    ASSERT_TRUE(harness().runUntil([&] { return screen->moviePlayer()->state() == MoviePlayer::State::Failed; }));
    EXPECT_TRUE(harness().viewByText(ORBMoviePlayerController::kFailedText));
    harness().render("content-movie-player-failed.png");
}

TEST_F(MovieScreenTest, TurnsTheInterfaceToLandscapeWhileUpAndAnOverlayOnTheWindowTurnsWithIt)
{
    signIn();
    auto& application = UIApplication::sharedApplication();
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientationPortrait);
    auto screen = present("mobile2/pull/lessons/media/clip.mp4");
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientationLandscapeRight);
    // The phone's screen is still drawn in portrait, the landscape screen turned into it.
    EXPECT_EQ(screen->view()->bounds().size, platform::Size(320, 568));
    auto pictures = harness().viewsByClass("MoviePlayerView");
    ASSERT_EQ(pictures.size(), 1u);
    auto landscape = pictures[0]->superview();
    ASSERT_TRUE(landscape);
    // A progress overlay put over the window meanwhile is turned as the
    // landscape screen is, so it reads the same way as the movie's controls.
    auto overlay = ProgressOverlay::initWithView(harness().window());
    EXPECT_EQ(overlay->bounds().size, platform::Size(568, 320));
    auto turn = overlay->rotationTransform();
    auto screenTurn = landscape->transform();
    EXPECT_NEAR(turn.b, screenTurn.b, 1e-9);
    EXPECT_NEAR(turn.c, screenTurn.c, 1e-9);
    EXPECT_NEAR(turn.b, 1.0, 1e-9);

    ASSERT_TRUE(harness().tapButton("完成"));
    EXPECT_EQ(application.statusBarOrientation(), UIInterfaceOrientationPortrait);
    testsupport::settle(harness());
    EXPECT_EQ(harness().presentedScreen(), nullptr);
    // Once it is gone, an overlay on the window is upright again.
    EXPECT_TRUE(ProgressOverlay::initWithView(harness().window())->rotationTransform().isIdentity());
}

} // namespace
