#include "tests/platform/media/MediaTestSupport.h"

#include "platform/media/MPMoviePlayerController.h"
#include "platform/os/NotificationCenter.h"

using namespace platform;
using media_test::MediaTest;

namespace {

class MoviePlayer : public MediaTest {
protected:
    void SetUp() override
    {
        MediaTest::SetUp();
        finished = NotificationCenter::defaultCenter().addObserver(
            MPMoviePlayerPlaybackDidFinishNotification, {}, [this](const Notification& note) {
                finishes.push_back(note);
                finishTimes.push_back(loop->now());
            });
    }
    std::vector<Notification> finishes;
    std::vector<double> finishTimes;
    ObserverToken finished;
};

} // namespace

TEST_F(MoviePlayer, RecordsWhatItWasAskedAndEndsAfterTheMoviesLength)
{
    auto player = MPMoviePlayerController::create("http://127.0.0.1:8090/lesson/video1.mp4");
    player->setControlStyle(MPMovieControlStyle::Fullscreen);
    player->setFullscreen(true, true);
    player->setSimulatedDuration(90);
    double start = loop->now();
    player->play();
    EXPECT_EQ(player->playbackState(), MPMoviePlaybackState::Playing);
    EXPECT_EQ(player->actions(),
        (std::vector<std::string> {
            "controlStyle 2", "fullscreen 1", "play http://127.0.0.1:8090/lesson/video1.mp4" }));
    loop->advance(30);
    player->pause();
    loop->advance(100);
    EXPECT_NEAR(player->currentPlaybackTime(), 30, 1e-9);
    EXPECT_TRUE(finishes.empty());
    player->play();
    loop->advance(59.9);
    EXPECT_TRUE(finishes.empty());
    loop->advance(0.2);
    ASSERT_EQ(finishes.size(), 1u);
    EXPECT_NEAR(finishTimes[0] - start, 190, 1e-9);
    EXPECT_EQ(finishes[0].object.objectAs<MPMoviePlayerController>(), player);
    EXPECT_EQ(finishes[0].userInfo.get(MPMoviePlayerPlaybackDidFinishReasonUserInfoKey).intValue(),
        static_cast<int>(MPMovieFinishReason::PlaybackEnded));
    EXPECT_EQ(player->playbackState(), MPMoviePlaybackState::Stopped);
}

TEST_F(MoviePlayer, EndsWhenTheUserOrTheNetworkSaysAndNeverWithoutContent)
{
    auto empty = MPMoviePlayerController::create();
    empty->play();
    EXPECT_EQ(empty->playbackState(), MPMoviePlaybackState::Stopped);
    EXPECT_FALSE(empty->isPreparedToPlay());

    auto player = MPMoviePlayerController::create("http://127.0.0.1:8090/library/v.mp4");
    player->play();
    loop->advance(3600);
    EXPECT_TRUE(finishes.empty()) << "a movie of unknown length plays on";
    player->finishPlayback(MPMovieFinishReason::UserExited);
    ASSERT_EQ(finishes.size(), 1u);
    EXPECT_EQ(finishes[0].userInfo.get(MPMoviePlayerPlaybackDidFinishReasonUserInfoKey).intValue(), 2);

    player->play();
    player->finishPlayback(MPMovieFinishReason::PlaybackError, Error::withDescription("net", -1004, "refused"));
    ASSERT_EQ(finishes.size(), 2u);
    auto error = finishes[1].userInfo.get(MPMoviePlayerPlaybackErrorUserInfoKey).objectAs<Error>();
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -1004);

    // A new address stops the old movie: its end never comes.
    player->setSimulatedDuration(10);
    player->play();
    player->setContentURL("http://127.0.0.1:8090/library/w.mp4");
    EXPECT_EQ(player->playbackState(), MPMoviePlaybackState::Stopped);
    loop->advance(20);
    EXPECT_EQ(finishes.size(), 2u);
}
