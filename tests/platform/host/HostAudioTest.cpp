// Sound through SDL's file-backed audio driver: what a player plays lands in
// the output file, and a recorder records what the input file holds.
#include "platform/host/HostAudio.h"
#include "platform/media/AVAudioPlayer.h"
#include "platform/media/AVAudioRecorder.h"
#include "platform/media/AVAudioSession.h"
#include "platform/media/SampleSource.h"
#include "platform/media/SoundOutput.h"
#include "platform/media/WavFile.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace {

// Speech-like noise that never sits at zero, so that where the sound starts
// and ends in a file is unambiguous.
std::vector<std::int16_t> noise(std::size_t count, int peak, std::uint32_t seed)
{
    std::vector<std::int16_t> samples(count);
    for (auto& s : samples) {
        seed = seed * 1664525u + 1013904223u;
        int v = int((seed >> 8) % std::uint32_t(2 * peak)) - peak;
        s = std::int16_t(v == 0 ? 1 : v);
    }
    samples.back() = std::int16_t(peak); // the clip's level, exactly
    return samples;
}

std::vector<std::int16_t> readRaw(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::copy_n(bytes.data(), samples.size() * 2, reinterpret_cast<char*>(samples.data()));
    return samples;
}

// Where the given samples start inside the stream, or npos.
std::size_t find(const std::vector<std::int16_t>& stream, const std::vector<std::int16_t>& what)
{
    auto it = std::search(stream.begin(), stream.end(), what.begin(), what.end());
    return it == stream.end() ? std::string::npos : std::size_t(it - stream.begin());
}

class DiskAudio : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::RunLoop::setMainThread();
        platform::RunLoop::main().setClock(nullptr); // sound runs on the real clock
        dir_ = testsupport::makeTempDir("orb-host-audio");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (dir_ + "/out.raw").c_str(), 1);
        // The driver reads its input from the file named by SDL_DISKAUDIOFILEIN.
        setenv("SDL_DISKAUDIOFILEIN", (dir_ + "/in.raw").c_str(), 1);
        // The file driver sleeps a whole buffer's time per buffer and so runs
        // a little behind the clock (more so on a busy machine), which a sound
        // card does not; 20 ms per 32 ms buffer keeps it ahead, as a real one is.
        setenv("SDL_DISKAUDIODELAY", "20", 1);
    }
    void TearDown() override
    {
        audio_.stop();
        unsetenv("SDL_AUDIODRIVER");
        unsetenv("SDL_DISKAUDIOFILE");
        unsetenv("SDL_DISKAUDIOFILEIN");
        unsetenv("SDL_DISKAUDIODELAY");
        platform::FileUtil::remove(dir_);
    }

    std::string dir_;
    platform::host::HostAudio audio_;
};

} // namespace

TEST_F(DiskAudio, APlayedClipReachesTheOutputWithItsLengthAndLevel)
{
    // Half a second at 8000 Hz, peaking at -6 dBFS.
    auto clip = noise(4000, 16384, 7);
    platform::WavWriter writer;
    ASSERT_TRUE(writer.open(dir_ + "/clip.wav", platform::WavFormat {}));
    ASSERT_TRUE(writer.write(clip.data(), clip.size()));
    ASSERT_TRUE(writer.close());
    ASSERT_TRUE(testsupport::writeTextFile(dir_ + "/in.raw", ""));

    std::string reason;
    ASSERT_TRUE(audio_.start(&reason)) << reason;
    ASSERT_TRUE(audio_.hasOutput());
    ASSERT_TRUE(platform::SoundOutput::current());

    auto player = platform::AVAudioPlayer::create(dir_ + "/clip.wav");
    ASSERT_TRUE(player);
    ASSERT_TRUE(player->play());
    auto& loop = platform::RunLoop::main();
    ASSERT_TRUE(loop.runUntil([&] { return !player->isPlaying(); }, 10));
    // The device runs a little behind the clock: let its buffers drain, then close it.
    loop.runUntil([] { return false; }, 0.3);
    audio_.stop();
    EXPECT_FALSE(platform::SoundOutput::current());

    auto out = readRaw(dir_ + "/out.raw");
    auto at = find(out, clip);
    ASSERT_NE(at, std::string::npos) << "the clip's samples are not in the output (" << out.size() << " samples)";
    // Only the clip sounded: silence before and after it.
    auto first = std::find_if(out.begin(), out.end(), [](std::int16_t s) { return s != 0; }) - out.begin();
    auto last = out.rend() - std::find_if(out.rbegin(), out.rend(), [](std::int16_t s) { return s != 0; });
    EXPECT_EQ(std::size_t(first), at);
    EXPECT_EQ(std::size_t(last - first), clip.size()); // the clip's length, 0.5 s
    EXPECT_EQ(*std::max_element(out.begin(), out.end()), 16384); // and its level
}

TEST_F(DiskAudio, ARecordingFromTheInputFileHoldsThatSound)
{
    auto input = noise(8000, 12000, 11); // one second
    {
        std::ofstream in(dir_ + "/in.raw", std::ios::binary);
        in.write(reinterpret_cast<const char*>(input.data()), std::streamsize(input.size() * 2));
    }
    std::string reason;
    ASSERT_TRUE(audio_.start(&reason)) << reason;
    ASSERT_TRUE(audio_.hasInput());

    ASSERT_TRUE(platform::AVAudioSession::sharedInstance().setCategory(platform::AVAudioSessionCategoryPlayAndRecord));
    auto path = dir_ + "/voice.wav";
    platform::Error error;
    auto recorder = platform::AVAudioRecorder::create(path, {}, &error);
    ASSERT_TRUE(recorder) << error.localizedDescription();
    ASSERT_TRUE(recorder->recordForDuration(2.0));
    auto& loop = platform::RunLoop::main();
    ASSERT_TRUE(loop.runUntil([&] { return !recorder->isRecording(); }, 10));
    recorder.reset();

    platform::WavInfo info;
    auto recorded = platform::readWavSamples(path, &info);
    ASSERT_TRUE(recorded);
    EXPECT_EQ(info.format.sampleRate, 8000u);
    EXPECT_EQ(info.format.channels, 1);
    EXPECT_EQ(info.format.bitsPerSample, 16);
    EXPECT_NEAR(double(recorded->size()), 16000, 8000 * 0.26); // two seconds, give or take a capture buffer
    auto at = find(*recorded, input);
    ASSERT_NE(at, std::string::npos) << "the input's sound is not in the recording, whole and in order";
    // Before it only the device's start-up silence.
    EXPECT_TRUE(std::all_of(recorded->begin(), recorded->begin() + std::ptrdiff_t(at), [](auto s) { return s == 0; }));
}

TEST(HostAudioWithoutDevice, TheTimedModelsStay)
{
    platform::RunLoop::setMainThread();
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    platform::host::HostAudio audio;
    std::string reason;
    EXPECT_FALSE(audio.start(&reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(audio.hasOutput());
    EXPECT_FALSE(audio.hasInput());
    EXPECT_FALSE(platform::SoundOutput::current());
    // The recorders' input is still the generated tone.
    EXPECT_TRUE(std::dynamic_pointer_cast<platform::ToneSampleSource>(platform::AudioInput::source()));
    unsetenv("SDL_AUDIODRIVER");
}

// Without a sound card the sound library lists every card and plugin it could
// not find. None of that reaches the terminal; our log keeps it, with the
// host's own reason.
TEST(HostAudioWithoutDevice, TheSoundLibrarysComplaintsGoToTheLogNotTheTerminal)
{
    platform::RunLoop::setMainThread();
    auto dir = testsupport::makeTempDir("orb-host-alsa");
    setenv("SDL_AUDIODRIVER", "alsa", 1);
    // Points the library at a card that no machine has, so it complains here too.
    setenv("ALSA_CARD", "OrbNoSuchCard", 1);
    std::string errPath = dir + "/stderr.txt";
    std::fflush(stderr);
    int saved = dup(2);
    int file = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(saved, 0);
    ASSERT_GE(file, 0);
    dup2(file, 2);
    bool started = false;
    std::string reason;
    std::vector<std::string> logged;
    {
        platform::LogCapture capture;
        platform::host::HostAudio audio;
        started = audio.start(&reason);
        audio.stop();
        logged = capture.lines();
    }
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close(file);
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("ALSA_CARD");
    auto terminal = testsupport::readTextFile(errPath);
    EXPECT_EQ(terminal.find("ALSA"), std::string::npos) << terminal;
    if (!started) {
        EXPECT_FALSE(reason.empty());
        bool reported = std::any_of(logged.begin(), logged.end(), [](auto& l) { return l.find("ALSA") != l.npos; });
        EXPECT_TRUE(reported) << "the library's complaints were lost, not logged";
    }
    platform::FileUtil::remove(dir);
}
