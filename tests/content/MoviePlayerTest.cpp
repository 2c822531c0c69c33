#include "platform/media/MoviePlayer.h"
#include "platform/os/AllocatorBounds.h"
#include "platform/os/RunLoop.h"
#include "server/LessonService.h"
#include "tests/content/LessonServiceFixture.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/ThreadHeap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace lessontest {
namespace {

    using platform::MoviePlayer;

    std::string mp4Address() { return LessonServiceTest::standin().baseUrl() + "mobile2/pull/lessons/media/clip.mp4"; }
    std::string hlsAddress()
    {
        return LessonServiceTest::standin().baseUrl() + "mobile2/pull/lessons/media/hls/index.m3u8";
    }

    bool waitFor(const std::function<bool()>& condition, double seconds = 20)
    {
        return platform::RunLoop::main().runUntil(condition, seconds);
    }

    constexpr int kFramesPerSecond = 30;

    // A frame of the clip by its number as ffmpeg decodes it on its own, at
    // 640 × 360. ffmpeg starts at the first frame at or after the time it is
    // given: half a frame before the frame's own time names it whatever the
    // rounding (frame 32's time to the millisecond, 1.067, named frame 33).
    platform::Image referenceFrame(const testsupport::TempDir& dir, int frame)
    {
        char command[512];
        std::string out = dir / ("ref-" + std::to_string(frame) + ".png");
        const double seconds = std::max(frame - 0.5, 0.0) / kFramesPerSecond;
        std::snprintf(command, sizeof command, "ffmpeg -v error -y -ss %.4f -i '%s/clip.mp4' -frames:v 1 '%s'", seconds,
            server::lessonMediaDirectory().c_str(), out.c_str());
        auto result = testsupport::runCommand(command);
        EXPECT_EQ(result.status, 0) << command;
        return platform::Image::fromFile(out).value_or(platform::Image {});
    }

    // Mean difference per channel over the frame counter's box in the middle of the picture.
    double counterDifference(const platform::Image& a, const platform::Image& b)
    {
        if (a.pixelWidth() != b.pixelWidth() || a.pixelHeight() != b.pixelHeight() || a.isNull())
            return 255;
        double sum = 0;
        int count = 0;
        for (int y = 110; y < 220; ++y) {
            for (int x = 200; x < 440; ++x) {
                auto p = a.pixelAt(x, y);
                auto q = b.pixelAt(x, y);
                for (int c = 0; c < 3; ++c)
                    sum += std::abs(int(p[c]) - int(q[c]));
                count += 3;
            }
        }
        return sum / count;
    }

    std::string renderPath(const char* name)
    {
        std::string dir = testsupport::buildPath(ORB_RENDER_DIR);
        std::filesystem::create_directories(dir);
        return dir + "/" + name;
    }

    class MoviePlayback : public LessonServiceTest {
    protected:
        std::shared_ptr<MoviePlayer> makePlayer()
        {
            platform::Error error;
            auto player = MoviePlayer::create({ "null" }, &error);
            EXPECT_TRUE(player) << error.localizedDescription();
            return player;
        }

        // Plays the address for a second, pauses, seeks to 10 s, then lets it run to its end.
        void playsDrawsSeeksAndEnds(const std::string& address, const char* renderName)
        {
            testsupport::TempDir dir("orb-movie");
            auto player = makePlayer();
            ASSERT_TRUE(player);
            int frameReports = 0;
            player->onFrame = [&] { ++frameReports; };
            player->load(address);
            EXPECT_EQ(player->state(), MoviePlayer::State::Loading);
            ASSERT_TRUE(waitFor([&] { return player->position() >= 1.0 && player->framesDrawn() > 0; }))
                << "position " << player->position();
            player->pause();
            ASSERT_TRUE(waitFor([&] { return player->isPaused() && player->state() == MoviePlayer::State::Paused; }));
            EXPECT_NEAR(player->duration(), 15.0, 0.1);
            EXPECT_GT(frameReports, 0);

            // Paused, the picture and the position hold.
            platform::RunLoop::main().runUntil([] { return false; }, 0.3);
            double held = player->position();
            std::uint64_t drawn = player->framesDrawn();
            platform::RunLoop::main().runUntil([] { return false; }, 0.5);
            EXPECT_EQ(player->position(), held);
            EXPECT_EQ(player->framesDrawn(), drawn);
            platform::Image first = player->frameImage();
            ASSERT_EQ(first.pixelWidth(), 640);
            ASSERT_EQ(first.pixelHeight(), 360);
            EXPECT_TRUE(first.isOpaque());
            // The frame shown is the one its position names: the last to start
            // by then. A stream's timeline may start a fraction of a frame
            // before the file's (the HLS rendition's sound starts 0.023 s
            // before its picture), its frames a little after their time in
            // the file; a busy machine may pause it frames after the second.
            const int named = int(std::floor(held * kFramesPerSecond + 1e-3));
            double differences[3];
            for (int i = 0; i < 3; ++i)
                differences[i] = counterDifference(first, referenceFrame(dir, std::max(named - 1 + i, 0)));
            EXPECT_LT(differences[1], 6.0) << "at " << held << ", frame " << named << [&] {
                // Which frame near it is shown instead.
                std::string near = "; frames and differences:";
                for (int n = std::max(named - 3, 0); n <= named + 3; ++n)
                    near += " " + std::to_string(n) + ":"
                        + std::to_string(counterDifference(first, referenceFrame(dir, n)));
                return near;
            }();
            if (named > 0) {
                EXPECT_LT(differences[1], differences[0]) << "at " << held << ", frame " << named;
            }
            EXPECT_LT(differences[1], differences[2]) << "at " << held << ", frame " << named;

            // An exact seek while paused draws the frame at 10 s (frame 300).
            player->seek(10.0);
            ASSERT_TRUE(waitFor([&] {
                return std::abs(player->position() - 10.0) < 0.02 && player->framesDrawn() > drawn;
            })) << "position "
                << player->position();
            // The frames drawn on the way may come first, the later the
            // busier the machine: the seek ends on the frame at 10 s.
            const platform::Image tenSeconds = referenceFrame(dir, 10 * kFramesPerSecond);
            platform::Image atTen;
            double difference = 255;
            EXPECT_TRUE(waitFor([&] {
                atTen = player->frameImage();
                difference = counterDifference(atTen, tenSeconds);
                return difference < 6.0;
            })) << "difference from the frame at 10 s "
                << difference << " at " << player->position() << [&] {
                       // Which frame near it is shown instead.
                       std::string near = "; frames and differences:";
                       for (int n = 294; n <= 306; ++n)
                           near += " " + std::to_string(n) + ":"
                               + std::to_string(counterDifference(atTen, referenceFrame(dir, n)));
                       return near;
                   }();
            EXPECT_GT(
                counterDifference(atTen, referenceFrame(dir, 10 * kFramesPerSecond + kFramesPerSecond / 2)), 12.0);
            EXPECT_TRUE(atTen.writePNG(renderPath(renderName)));

            // To the end.
            player->seek(14.0);
            player->play();
            ASSERT_TRUE(waitFor([&] { return player->state() == MoviePlayer::State::Ended; }))
                << "state " << int(player->state()) << " position " << player->position();
            EXPECT_FALSE(player->error());
        }
    };

    TEST_F(MoviePlayback, AServedMp4PlaysDrawsSeeksExactlyAndEnds)
    {
        playsDrawsSeeksAndEnds(mp4Address(), "movie-mp4-10s.png");
    }

    TEST_F(MoviePlayback, AnHlsRenditionPlaysDrawsSeeksExactlyAndEnds)
    {
        playsDrawsSeeksAndEnds(hlsAddress(), "movie-hls-10s.png");
    }

    TEST_F(MoviePlayback, FramesComeAtTheSizeAsked)
    {
        auto player = makePlayer();
        ASSERT_TRUE(player);
        player->setFrameSize(320, 180);
        player->load(mp4Address());
        ASSERT_TRUE(waitFor([&] { return player->framesDrawn() > 2; }));
        EXPECT_EQ(player->frameStride() % 64, 0u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(player->frameData()) % 64, 0u);
        platform::Image small = player->frameImage();
        EXPECT_EQ(small.pixelWidth(), 320);
        EXPECT_EQ(small.pixelHeight(), 180);
        EXPECT_TRUE(small.isOpaque());
    }

    TEST_F(MoviePlayback, AMissingMovieAndABodyThatIsNoMovieEndInAnError)
    {
        for (const char* name : { "missing.mp4", "not-a-video.mp4" }) {
            auto player = makePlayer();
            ASSERT_TRUE(player);
            player->load(standin().baseUrl() + "mobile2/pull/lessons/media/" + name);
            ASSERT_TRUE(waitFor([&] {
                return player->state() == MoviePlayer::State::Failed || player->state() == MoviePlayer::State::Ended;
            })) << name;
            EXPECT_EQ(player->state(), MoviePlayer::State::Failed) << name;
            EXPECT_TRUE(player->error()) << name;
            EXPECT_EQ(player->framesDrawn(), 0u) << name;
        }
    }

    // Whether libmpv is mapped into this process.
    bool decoderMapped()
    {
        std::ifstream maps("/proc/self/maps");
        std::string line;
        while (std::getline(maps, line)) {
            if (line.find("libmpv") != std::string::npos)
                return true;
        }
        return false;
    }

    // The threads of this process.
    int threadCount()
    {
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Threads:", 0) == 0)
                return std::stoi(line.substr(8));
        }
        return -1;
    }

    // Loads the clip and runs until its first frame is drawn.
    ::testing::AssertionResult playsAFrame(MoviePlayer& player, const std::string& address)
    {
        player.load(address);
        if (!waitFor([&] { return player.framesDrawn() > 0 && player.position() > 0.2; }))
            return ::testing::AssertionFailure() << "no frame; state " << int(player.state());
        return ::testing::AssertionSuccess();
    }

    // The decoder is opened by the first load: a fresh process (the test
    // program started again for this test alone) has no libmpv mapped,
    // neither at start nor with a player made, and has it once one loads.
    TEST_F(MoviePlayback, LibmpvIsMappedFromTheFirstLoadOnly)
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        std::string address = mp4Address();
        EXPECT_EXIT(
            {
                int code = 0;
                if (decoderMapped()) {
                    code = 1;
                } else if (auto player = MoviePlayer::create({ "null" }); !player) {
                    code = 2;
                } else if (decoderMapped()) {
                    code = 3;
                } else if (!playsAFrame(*player, address)) {
                    code = 4;
                } else if (!decoderMapped()) {
                    code = 5;
                }
                std::fprintf(stderr, "outcome %d\n", code);
                std::_Exit(code);
            },
            ::testing::ExitedWithCode(0), "outcome 0");
    }

    // Playing and closing leaves nothing running: after each close the
    // process has the threads it had before, the decoder's all ended. (A
    // thread that has been joined is still counted for the moment the kernel
    // takes to take it down: the count is read once it has settled.)
    TEST_F(MoviePlayback, ThreadsAreBackToWhereTheyWereAfterEveryPlayAndClose)
    {
        // The stand-in and the client's HTTP engine have started the threads
        // they serve and fetch on.
        ASSERT_EQ(fetch("mobile2/pull/lessons/media/clip.mp4").status, 200);
        const int before = threadCount();
        ASSERT_GT(before, 0);
        auto settledAtBefore = [&] {
            waitFor([&] { return threadCount() == before; }, 5);
            return threadCount();
        };
        for (int cycle = 0; cycle < 5; ++cycle) {
            auto player = makePlayer();
            ASSERT_TRUE(player);
            ASSERT_TRUE(playsAFrame(*player, mp4Address())) << "cycle " << cycle;
            EXPECT_GT(threadCount(), before) << "the decoder plays on threads of its own";
            // Closed as the movie screen closes it: stopped, still held.
            player->stop();
            EXPECT_EQ(player->state(), MoviePlayer::State::Idle);
            EXPECT_EQ(settledAtBefore(), before) << "cycle " << cycle;
        }
        // A player that is let go while it plays takes its threads with it,
        // and its descriptor: closed once its decoder has ended on the
        // thread it ends on, not while it may still wake it.
        auto descriptors = [] {
            std::size_t count = 0;
            for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
                ++count;
            return count;
        };
        const std::size_t descriptorsBefore = descriptors();
        {
            auto player = makePlayer();
            ASSERT_TRUE(player);
            ASSERT_TRUE(playsAFrame(*player, mp4Address()));
        }
        EXPECT_EQ(settledAtBefore(), before);
        MoviePlayer::waitForReleasedDecoders(10);
        EXPECT_EQ(descriptors(), descriptorsBefore);
        // A stopped player loads and plays again.
        auto player = makePlayer();
        ASSERT_TRUE(player);
        player->stop();
        ASSERT_TRUE(playsAFrame(*player, mp4Address()));
        EXPECT_GT(player->duration(), 14.0);
        player->stop();
        EXPECT_EQ(settledAtBefore(), before);
    }

    // With the allocator's bounds set as the client sets them at its start,
    // what a thread allocated in blocks below the size that is mapped on its
    // own, and freed again, goes back to the system once a movie has played
    // too (tests/platform/os/AllocatorBoundsTest.cpp checks the bounds
    // themselves in every build): each of the decoder's threads has a heap of
    // its own, which the trim after a close does not reach. In the client the
    // window's frames (blocks of several megabytes) have been freed before
    // the first movie; the test frees such a block first, in a fresh process
    // (the test program started again for this test alone) where no movie
    // has played yet. The sanitizers bring an allocator of their own.
    TEST_F(MoviePlayback, WhatAThreadFreesGoesBackToTheSystemOnceAMovieHasPlayed)
    {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        GTEST_SKIP() << "the sanitizer's allocator replaces the C library's";
#endif
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        std::string address = mp4Address();
        EXPECT_EXIT(
            {
                platform::setAllocatorBounds();
                int code = 0;
                testsupport::freeAFrame();
                const int threads = threadCount();
                auto player = MoviePlayer::create({ "null" });
                if (!player || !playsAFrame(*player, address)) {
                    code = 1;
                } else {
                    player->stop();
                    waitFor([&] { return threadCount() == threads; }, 5);
                }
                auto figures = testsupport::freeOnAThread();
                if (code == 0 && !figures.returned())
                    code = 2;
                std::fprintf(stderr, "resident %zu KB before the thread, %zu KB after\noutcome %d\n",
                    figures.before / 1024, figures.after / 1024, code);
                std::_Exit(code);
            },
            ::testing::ExitedWithCode(0), "outcome 0");
    }

    // Without the decoder module a load fails as a movie that cannot be
    // opened does, and the player is still there to be let go.
    TEST_F(MoviePlayback, WithoutTheDecoderModuleALoadFails)
    {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        testsupport::TempDir dir("orb-movie-nomodule");
        std::string address = mp4Address();
        std::string missing = dir / "orb_moviedecoder.so";
        EXPECT_EXIT(
            {
                setenv("ORB_MOVIE_DECODER_MODULE", missing.c_str(), 1);
                auto player = MoviePlayer::create({ "null" });
                int changes = 0;
                int code = 0;
                if (!player) {
                    code = 1;
                } else {
                    player->onChange = [&] { ++changes; };
                    player->load(address);
                    player->play();
                    player->seek(3);
                    if (player->state() != MoviePlayer::State::Failed)
                        code = 2;
                    else if (!player->error() || player->error()->localizedDescription().empty())
                        code = 3;
                    else if (changes == 0)
                        code = 4;
                    else if (decoderMapped())
                        code = 5;
                    player->stop();
                    player.reset();
                }
                std::fprintf(stderr, "outcome %d\n", code);
                std::_Exit(code);
            },
            ::testing::ExitedWithCode(0), "outcome 0");
    }

} // namespace
} // namespace lessontest
