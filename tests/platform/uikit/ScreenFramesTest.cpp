// Work that waits for the window's next frame: at once without a window
// drawing frames, after the next frame while one does, and without a frame
// once it stops.
#include "platform/uikit/ScreenFrames.h"
#include "platform/os/RunLoop.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::ScreenFrames;

namespace {

class ScreenFramesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::RunLoop::setMainThread();
        loop = &platform::RunLoop::main();
        loop->discardPendingWork();
    }
    void TearDown() override
    {
        ScreenFrames::setPresenting(false);
        loop->discardPendingWork();
    }
    platform::RunLoop* loop = nullptr;
    std::vector<std::string> ran;
};

TEST_F(ScreenFramesTest, WithoutAWindowDrawingFramesTheWorkIsPostedAtOnce)
{
    ASSERT_FALSE(ScreenFrames::isPresenting());
    ScreenFrames::afterNextFrame([this] { ran.push_back("work"); });
    EXPECT_TRUE(ran.empty()) << "never inside the caller's call";
    EXPECT_EQ(ScreenFrames::waitingCount(), 0u);
    loop->runUntilIdle();
    EXPECT_EQ(ran, std::vector<std::string> { "work" });
}

TEST_F(ScreenFramesTest, WhileAWindowDrawsTheWorkWaitsForItsNextFrameInOrder)
{
    ScreenFrames::setPresenting(true);
    ScreenFrames::afterNextFrame([this] { ran.push_back("first"); });
    ScreenFrames::afterNextFrame([this] { ran.push_back("second"); });
    loop->runUntilIdle();
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(ScreenFrames::waitingCount(), 2u);

    auto shown = ScreenFrames::shownCount();
    ScreenFrames::frameShown();
    EXPECT_EQ(ScreenFrames::shownCount(), shown + 1);
    EXPECT_EQ(ScreenFrames::waitingCount(), 0u);
    EXPECT_TRUE(ran.empty()) << "posted, not run inside the frame";
    loop->runUntilIdle();
    EXPECT_EQ(ran, (std::vector<std::string> { "first", "second" }));

    // Work asked for by that work waits for the frame after.
    ScreenFrames::afterNextFrame([this] {
        ran.push_back("third");
        ScreenFrames::afterNextFrame([this] { ran.push_back("fourth"); });
    });
    ScreenFrames::frameShown();
    loop->runUntilIdle();
    EXPECT_EQ(ran.back(), "third");
    ScreenFrames::frameShown();
    loop->runUntilIdle();
    EXPECT_EQ(ran.back(), "fourth");
}

TEST_F(ScreenFramesTest, WorkWaitingWhenTheWindowStopsDrawingGoesOn)
{
    ScreenFrames::setPresenting(true);
    ScreenFrames::afterNextFrame([this] { ran.push_back("work"); });
    ScreenFrames::setPresenting(false);
    EXPECT_EQ(ScreenFrames::waitingCount(), 0u);
    loop->runUntilIdle();
    EXPECT_EQ(ran, std::vector<std::string> { "work" });
}

} // namespace
