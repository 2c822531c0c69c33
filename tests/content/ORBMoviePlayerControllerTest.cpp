#include "content/player/ORBMoviePlayerController.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "ui/overlay/ProgressOverlay.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/SignedInScreen.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using content::ORBMoviePlayerController;
using platform::MoviePlayer;

class MovieScreenTest : public testsupport::SignedInScreenTest {
protected:
    std::shared_ptr<ORBMoviePlayerController> present(const std::string& path)
    {
        auto player = std::make_shared<ORBMoviePlayerController>(harness().serverBase() + path);
        harness().rootViewController()->presentViewController(player, true);
        testsupport::settle(harness());
        return player;
    }
};

TEST_F(MovieScreenTest, PlaysFullScreenTurnedToLandscapeWithItsControlsAndClosesWithDone)
{
    signIn();
    auto screen = present("mobile2/pull/lessons/media/clip.mp4");
    EXPECT_EQ(harness().presentedScreen(), screen);
    EXPECT_FALSE(screen->shouldAutorotate());
    EXPECT_EQ(screen->preferredInterfaceOrientationForPresentation(), UIInterfaceOrientationLandscapeRight);
    EXPECT_EQ(
        screen->supportedInterfaceOrientations() & content::orientationMask(UIInterfaceOrientationPortraitUpsideDown),
        0u);
    EXPECT_NE(
        screen->supportedInterfaceOrientations() & content::orientationMask(UIInterfaceOrientationLandscapeRight), 0u);

    auto player = screen->moviePlayer();
    ASSERT_TRUE(player);
    ASSERT_TRUE(harness().runUntil([&] { return player->position() >= 2.0 && player->framesDrawn() > 0; }));
    // The picture fills the landscape screen's width at the screen's scale.
    EXPECT_EQ(player->frameWidth(), 1136);
    EXPECT_EQ(player->frameHeight(), 639);

    auto buttons = harness().viewsByClass("MoviePlayButton");
    ASSERT_EQ(buttons.size(), 1u);
    ASSERT_TRUE(harness().tap(buttons[0]));
    ASSERT_TRUE(harness().runUntil([&] { return player->state() == MoviePlayer::State::Paused; }));
    harness().runUntil([] { return false; }, 0.3);
    EXPECT_TRUE(harness().viewByText("00:15"));
    std::string png = harness().render("content-movie-player.png");
    ASSERT_FALSE(png.empty());
    // The frame reached the window: the middle of the picture is not the black around it.
    auto drawn = platform::Image::fromFile(png);
    ASSERT_TRUE(drawn);
    auto centre = drawn->pixelAt(drawn->pixelWidth() / 2, drawn->pixelHeight() / 2);
    EXPECT_GT(int(centre[0]) + centre[1] + centre[2], 60);

    // A seek to 10 s while paused: the frame there is drawn into the view and
    // the time line's knob stands at two thirds.
    auto line = harness().viewsByClass("MovieProgressView");
    ASSERT_EQ(line.size(), 1u);
    std::uint64_t drawnBefore = player->framesDrawn();
    screen->moviePlayer()->seek(10.0);
    ASSERT_TRUE(harness().runUntil(
        [&] { return std::abs(player->position() - 10.0) < 0.02 && player->framesDrawn() > drawnBefore; }));
    harness().runUntil([] { return false; }, 0.3);
    EXPECT_TRUE(harness().viewByText("00:10"));
    EXPECT_NEAR(std::dynamic_pointer_cast<content::MovieProgressView>(line[0])->fraction(), 10.0 / 15.0, 0.01);
    EXPECT_FALSE(harness().render("content-movie-player-10s.png").empty());

    ASSERT_TRUE(harness().tapButton("完成"));
    testsupport::settle(harness());
    EXPECT_EQ(harness().presentedScreen(), nullptr);
    EXPECT_EQ(player->state(), MoviePlayer::State::Idle);
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
