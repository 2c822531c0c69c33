#include "tests/platform/media/MediaTestSupport.h"

#include "foundation/voice/VoiceFileConverter.h"
#include "platform/media/AVAudioPlayer.h"
#include "platform/media/AVAudioRecorder.h"
#include "platform/media/MediaErrors.h"

#include <cerrno>
#include <cstring>

using namespace platform;
using media_test::MediaTest;
using media_test::runCommand;

namespace {

class PlayingDelegate final : public AVAudioPlayerDelegate {
public:
    explicit PlayingDelegate(RunLoop& loop)
        : loop_(loop)
    {
    }
    void audioPlayerDidFinishPlaying(AVAudioPlayer&, bool successfully) override
    {
        calls.push_back(successfully ? "finished" : "finished-unsuccessfully");
        at.push_back(loop_.now());
    }
    void audioPlayerDecodeErrorDidOccur(AVAudioPlayer&, const Error& error) override
    {
        calls.push_back("decode-error");
        at.push_back(loop_.now());
        lastError = error;
    }
    void audioPlayerBeginInterruption(AVAudioPlayer&) override { calls.push_back("begin-interruption"); }
    void audioPlayerEndInterruption(AVAudioPlayer&, unsigned) override { calls.push_back("end-interruption"); }

    std::vector<std::string> calls;
    std::vector<double> at;
    Error lastError;

private:
    RunLoop& loop_;
};

class Player : public MediaTest {
protected:
    std::shared_ptr<AVAudioPlayer> open(const std::string& file)
    {
        Error error;
        auto player = AVAudioPlayer::create(file, &error);
        EXPECT_TRUE(player) << error.description();
        if (player)
            player->setDelegate(delegate);
        return player;
    }
    std::shared_ptr<PlayingDelegate> delegate = std::make_shared<PlayingDelegate>(RunLoop::main());
};

} // namespace

TEST_F(Player, FinishesAfterTheClipsDurationAndNotBefore)
{
    auto player = open(writeWav("clip.wav", std::vector<std::int16_t>(12000, 300)));
    EXPECT_DOUBLE_EQ(player->duration(), 1.5);
    double start = loop->now();
    ASSERT_TRUE(player->play());
    loop->advance(1.49);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_NEAR(player->currentTime(), 1.49, 1e-9);
    EXPECT_TRUE(delegate->calls.empty());
    loop->advance(0.02);
    EXPECT_FALSE(player->isPlaying());
    ASSERT_EQ(delegate->calls, std::vector<std::string> { "finished" });
    EXPECT_NEAR(delegate->at[0] - start, 1.5, 1e-9);
    EXPECT_EQ(player->currentTime(), 0);
    loop->advance(10);
    EXPECT_EQ(delegate->calls.size(), 1u);
}

TEST_F(Player, PauseHoldsThePositionAndLoopsRepeatTheClip)
{
    auto player = open(writeWav("loop.wav", std::vector<std::int16_t>(8000, 300)));
    ASSERT_TRUE(player->play());
    loop->advance(0.4);
    player->pause();
    loop->advance(5);
    EXPECT_NEAR(player->currentTime(), 0.4, 1e-9);
    EXPECT_TRUE(delegate->calls.empty());
    player->setCurrentTime(0.9);
    ASSERT_TRUE(player->play());
    loop->advance(0.11);
    ASSERT_EQ(delegate->calls.size(), 1u) << "resumed at 0.9 of a 1 s clip";

    delegate->calls.clear();
    delegate->at.clear();
    player->setNumberOfLoops(2);
    double start = loop->now();
    ASSERT_TRUE(player->play());
    loop->advance(2.9);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_NEAR(player->currentTime(), 0.9, 1e-9);
    loop->advance(0.2);
    ASSERT_EQ(delegate->calls, std::vector<std::string> { "finished" });
    EXPECT_NEAR(delegate->at[0] - start, 3.0, 1e-9);

    delegate->calls.clear();
    player->setNumberOfLoops(-1);
    ASSERT_TRUE(player->play());
    loop->advance(100);
    EXPECT_TRUE(player->isPlaying());
    player->stop();
    loop->advance(100);
    EXPECT_TRUE(delegate->calls.empty()) << "stopping is not finishing";
}

TEST_F(Player, FilesThatCannotBePlayedAreRefusedWithTheirReason)
{
    Error error;
    EXPECT_FALSE(AVAudioPlayer::create(path("absent.wav"), &error));
    EXPECT_EQ(error.domain(), kPosixErrorDomain);
    EXPECT_EQ(error.code(), ENOENT);

    // An error page saved where the clip was expected.
    ASSERT_TRUE(FileUtil::write(path("page.wav"), std::string_view("<html><body>404 Not Found</body></html>")));
    EXPECT_FALSE(AVAudioPlayer::create(path("page.wav"), &error));
    EXPECT_EQ(error.code(), kMediaErrorUnsupportedFileType);

    std::string header = writeWav("nodata.wav", std::vector<std::int16_t>(100, 1));
    auto bytes = *FileUtil::read(header);
    bytes.resize(36); // RIFF and the format chunk only
    ASSERT_TRUE(FileUtil::write(path("nodata.wav"), bytes));
    EXPECT_FALSE(AVAudioPlayer::create(path("nodata.wav"), &error));
    EXPECT_EQ(error.code(), kMediaErrorInvalidFile);

    ASSERT_EQ(
        runCommand("sox -n -r 8000 -c 1 -e floating-point -b 32 '" + path("float.wav") + "' synth 0.1 sine 440"), "");
    EXPECT_FALSE(AVAudioPlayer::create(path("float.wav"), &error));
    EXPECT_EQ(error.code(), kMediaErrorUnsupportedDataFormat);
}

TEST_F(Player, ClipThatBreaksOffGivesADecodeErrorWhereItBreaks)
{
    std::string file = writeWav("cut.wav", std::vector<std::int16_t>(16000, 500));
    auto bytes = *FileUtil::read(file);
    bytes.resize(kCanonicalWavHeaderBytes + 4000 * 2); // the header still says 2 s
    ASSERT_TRUE(FileUtil::write(file, bytes));
    auto player = open(file);
    ASSERT_TRUE(player);
    EXPECT_DOUBLE_EQ(player->duration(), 2.0);
    double start = loop->now();
    ASSERT_TRUE(player->play());
    loop->advance(0.49);
    EXPECT_TRUE(delegate->calls.empty());
    loop->advance(3);
    ASSERT_EQ(delegate->calls, std::vector<std::string> { "decode-error" });
    EXPECT_NEAR(delegate->at[0] - start, 0.5, 1e-9);
    EXPECT_EQ(delegate->lastError.code(), kMediaErrorInvalidFile);
    EXPECT_FALSE(player->isPlaying());
}

TEST_F(Player, PlaysFilesOfOtherWritersWithTheirOwnHeaders)
{
    // sox writes its own header.
    std::string soxFile = path("sox.wav");
    ASSERT_EQ(runCommand("sox -n -r 8000 -c 1 -b 16 '" + soxFile + "' synth 0.75 sine 440"), "");
    EXPECT_DOUBLE_EQ(open(soxFile)->duration(), 0.75);

    // The voice converter writes a 48-byte header with a 20-byte format chunk.
    std::string wav = writeWav("speech.wav", std::vector<std::int16_t>(8000 * 3 / 10, 800));
    ASSERT_EQ(foundation::VoiceFileConverter::wavToAmr(wav, path("speech.amr"), 1, 16), 0);
    ASSERT_TRUE(foundation::VoiceFileConverter::amrToWav(path("speech.amr"), path("decoded.wav")));
    auto decoded = open(path("decoded.wav"));
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(decoded->duration(), 0.3, 1e-9) << "15 frames of 20 ms";
    ASSERT_TRUE(decoded->play());
    loop->advance(0.3);
    EXPECT_EQ(delegate->calls, std::vector<std::string> { "finished" });
}

TEST_F(Player, WhatIsHeardAndWhereItGoes)
{
    std::string file = writeWav("clip.wav", std::vector<std::int16_t>(8000, 300));
    auto first = open(file);
    auto second = open(file);
    ASSERT_TRUE(first->play());
    EXPECT_EQ(AVAudioPlayer::playingPlayers(), std::vector<std::shared_ptr<AVAudioPlayer>> { first });
    ASSERT_TRUE(AVAudioSession::sharedInstance().setCategory(AVAudioSessionCategoryPlayAndRecord));
    EXPECT_EQ(first->outputRoute(), AudioOutputRoute::Receiver);

    // A player let go of stops sounding and reports nothing.
    first.reset();
    EXPECT_TRUE(AVAudioPlayer::playingPlayers().empty());
    loop->advance(2);
    EXPECT_TRUE(delegate->calls.empty());

    ASSERT_TRUE(second->play());
    loop->advance(0.5);
    AVAudioSession::sharedInstance().beginInterruption();
    EXPECT_FALSE(second->isPlaying());
    EXPECT_FALSE(second->play());
    AVAudioSession::sharedInstance().endInterruption(false);
    EXPECT_EQ(delegate->calls, (std::vector<std::string> { "begin-interruption", "end-interruption" }));
    ASSERT_TRUE(second->play());
    loop->advance(0.5);
    EXPECT_EQ(delegate->calls.back(), "finished");
}
