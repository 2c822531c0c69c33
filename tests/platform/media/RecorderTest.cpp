#include "tests/platform/media/MediaTestSupport.h"

#include "foundation/voice/VoiceFileConverter.h"
#include "platform/media/AVAudioRecorder.h"
#include "platform/media/MediaErrors.h"

#include <cmath>

using namespace platform;
using media_test::MediaTest;
using media_test::runCommand;
using media_test::soxStat;

namespace {

// Remembers every call, in order, as short texts.
class RecordingDelegate final : public AVAudioRecorderDelegate {
public:
    void audioRecorderDidFinishRecording(AVAudioRecorder&, bool successfully) override
    {
        calls.push_back(successfully ? "finished" : "finished-unsuccessfully");
    }
    void audioRecorderEncodeErrorDidOccur(AVAudioRecorder&, const Error& error) override
    {
        calls.push_back("error");
        lastError = error;
    }
    void audioRecorderBeginInterruption(AVAudioRecorder&) override { calls.push_back("begin-interruption"); }
    void audioRecorderEndInterruption(AVAudioRecorder&, unsigned options) override
    {
        calls.push_back("end-interruption " + std::to_string(options));
    }
    std::vector<std::string> calls;
    Error lastError;
};

// The settings the voice recorder of the chat screens uses.
Dictionary voiceSettings(int channels)
{
    return {
        { AVSampleRateKey, 8000.0 },
        { AVFormatIDKey, static_cast<unsigned>(kAudioFormatLinearPCM) },
        { AVLinearPCMBitDepthKey, 16 },
        { AVNumberOfChannelsKey, channels },
        { AVLinearPCMIsBigEndianKey, false },
        { AVLinearPCMIsFloatKey, false },
        { AVEncoderAudioQualityKey, 64 },
    };
}

class Recorder : public MediaTest {
protected:
    void SetUp() override
    {
        MediaTest::SetUp();
        ASSERT_TRUE(AVAudioSession::sharedInstance().setCategory(AVAudioSessionCategoryRecord));
    }

    std::shared_ptr<AVAudioRecorder> makeRecorder(const std::string& name, int channels = 1)
    {
        Error error;
        auto recorder = AVAudioRecorder::create(path(name), voiceSettings(channels), &error);
        EXPECT_TRUE(recorder) << error.description();
        if (recorder)
            recorder->setDelegate(delegate);
        return recorder;
    }

    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
};

int zeroCrossings(const std::vector<std::int16_t>& samples)
{
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i)
        crossings += (samples[i - 1] < 0) != (samples[i] < 0);
    return crossings;
}

} // namespace

TEST_F(Recorder, ToneRecordingHasTheClockLengthAndTheToneLevelByTheToolsAndBySamples)
{
    AudioInput::setSource(std::make_shared<ToneSampleSource>(1000, -6));
    auto recorder = makeRecorder("tone.wav");
    ASSERT_TRUE(recorder->prepareToRecord());
    ASSERT_TRUE(recorder->record());
    loop->advance(2.5);
    EXPECT_NEAR(recorder->currentTime(), 2.5, 1e-9);
    recorder->stop();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->currentTime(), 0);
    EXPECT_TRUE(delegate->calls.empty()) << "the delegate hears it on the main loop, not inside stop()";
    loop->runUntilIdle();
    EXPECT_EQ(delegate->calls, std::vector<std::string> { "finished" });

    std::string file = path("tone.wav");
    EXPECT_EQ(FileUtil::fileSize(file).value_or(0), kCanonicalWavHeaderBytes + 2.5 * 8000 * 2);
    std::string quoted = "'" + file + "'";
    EXPECT_EQ(runCommand("soxi -r " + quoted), "8000\n");
    EXPECT_EQ(runCommand("soxi -c " + quoted), "1\n");
    EXPECT_EQ(runCommand("soxi -b " + quoted), "16\n");
    EXPECT_EQ(runCommand("soxi -s " + quoted), "20000\n");
    std::string stat = runCommand("sox " + quoted + " -n stat");
    double peak = std::pow(10.0, -6.0 / 20.0);
    EXPECT_NEAR(soxStat(stat, "Maximum amplitude"), peak, 0.01) << stat;
    EXPECT_NEAR(soxStat(stat, "RMS     amplitude"), peak / std::sqrt(2.0), 0.01) << stat;
    EXPECT_NEAR(soxStat(stat, "Rough   frequency"), 1000, 50) << stat; // sox only estimates it

    WavInfo info;
    auto samples = readWavSamples(file, &info);
    ASSERT_TRUE(samples);
    EXPECT_EQ(samples->size(), 20000u);
    EXPECT_FALSE(info.truncated());
    // 1000 Hz for 2.5 s crosses zero twice a cycle.
    EXPECT_NEAR(zeroCrossings(*samples), 5000, 10);
}

TEST_F(Recorder, StereoVoiceClipConvertsToAmrFrameByFrame)
{
    // The chat screens record two channels and hand the file to the AMR converter.
    AudioInput::setSource(std::make_shared<ToneSampleSource>(440, -10));
    auto recorder = makeRecorder("voice.wav", 2);
    ASSERT_TRUE(recorder->record());
    loop->advance(2.0);
    recorder->stop();
    std::string wav = path("voice.wav");
    EXPECT_EQ(runCommand("soxi -c '" + wav + "'"), "2\n");
    EXPECT_EQ(runCommand("soxi -D '" + wav + "'"), "2.000000\n");
    std::string amr = path("voice.amr");
    ASSERT_EQ(foundation::VoiceFileConverter::wavToAmr(wav, amr, 2, 16), 0);
    // 2 s of 20 ms frames, each 32 bytes at 12.2 kbit/s, after the 6-byte magic.
    EXPECT_EQ(FileUtil::fileSize(amr).value_or(0), 6u + 100u * 32u);
}

TEST_F(Recorder, MetersFollowTheInputLevelSinceTheLastUpdate)
{
    auto tone = std::make_shared<ToneSampleSource>(500, -20);
    auto recorder = makeRecorder("meter.wav");
    recorder->setSampleSource(tone);
    recorder->setMeteringEnabled(true);
    ASSERT_TRUE(recorder->record());
    loop->advance(1.0);
    recorder->updateMeters();
    // A sine's average (RMS) power is 3 dB under its peak.
    EXPECT_NEAR(recorder->peakPowerForChannel(0), -20, 0.1);
    EXPECT_NEAR(recorder->averagePowerForChannel(0), -23.01, 0.1);

    tone->setLevel(-45);
    loop->advance(1.0);
    recorder->updateMeters();
    EXPECT_NEAR(recorder->peakPowerForChannel(0), -45, 0.1);
    EXPECT_NEAR(recorder->averagePowerForChannel(0), -48.01, 0.1);

    // No time passed: the reading stays.
    recorder->updateMeters();
    EXPECT_NEAR(recorder->averagePowerForChannel(0), -48.01, 0.1);
    EXPECT_EQ(recorder->averagePowerForChannel(1), kMeterSilenceDb) << "a channel the recording does not have";

    recorder->setSampleSource(std::make_shared<BufferSampleSource>(std::vector<std::int16_t> {}));
    recorder->pause();
    ASSERT_TRUE(recorder->record());
    loop->advance(0.5);
    recorder->updateMeters();
    EXPECT_EQ(recorder->averagePowerForChannel(0), kMeterSilenceDb);
    EXPECT_EQ(recorder->peakPowerForChannel(0), kMeterSilenceDb);

    recorder->setMeteringEnabled(false);
    tone->setLevel(-3);
    recorder->setSampleSource(tone);
    loop->advance(0.5);
    recorder->updateMeters();
    EXPECT_EQ(recorder->averagePowerForChannel(0), kMeterSilenceDb) << "metering is off";
    recorder->stop();
}

TEST_F(Recorder, PausedTimeIsNotRecordedAndTimedRecordingStopsByItself)
{
    auto recorder = makeRecorder("paused.wav");
    ASSERT_TRUE(recorder->record());
    loop->advance(1.0);
    recorder->pause();
    EXPECT_FALSE(recorder->isRecording());
    loop->advance(5.0);
    EXPECT_NEAR(recorder->currentTime(), 1.0, 1e-9);
    ASSERT_TRUE(recorder->record());
    loop->advance(0.5);
    EXPECT_NEAR(recorder->currentTime(), 1.5, 1e-9);
    recorder->stop();
    loop->runUntilIdle();
    EXPECT_EQ(readWavSamples(path("paused.wav"))->size(), 12000u);

    delegate->calls.clear();
    auto timed = makeRecorder("timed.wav");
    ASSERT_TRUE(timed->recordForDuration(3.0));
    loop->advance(2.9);
    EXPECT_TRUE(timed->isRecording());
    EXPECT_TRUE(delegate->calls.empty());
    loop->advance(0.2);
    EXPECT_FALSE(timed->isRecording());
    EXPECT_EQ(delegate->calls, std::vector<std::string> { "finished" });
    EXPECT_EQ(readWavSamples(path("timed.wav"))->size(), 24000u) << "exactly the asked duration";
}

TEST_F(Recorder, UnsupportedSettingsAndUnusableSessionsAreRefused)
{
    struct Case {
        const char* key;
        Value value;
    };
    for (const Case& c : { Case { AVLinearPCMIsFloatKey, true }, Case { AVLinearPCMIsBigEndianKey, true },
             Case { AVLinearPCMBitDepthKey, 24 }, Case { AVNumberOfChannelsKey, 3 },
             Case { AVFormatIDKey, 0x61616320 /* aac */ }, Case { AVSampleRateKey, 0.0 } }) {
        Dictionary settings = voiceSettings(1);
        settings.set(c.key, c.value);
        Error error;
        EXPECT_FALSE(AVAudioRecorder::create(path("x.wav"), settings, &error)) << c.key;
        EXPECT_EQ(error.code(), kMediaErrorUnsupportedDataFormat) << c.key;
    }
    EXPECT_TRUE(AVAudioRecorder::create("file://" + path("url.wav"), voiceSettings(1))) << "file URLs are taken";

    // Playback only: the recorder may prepare but not record.
    ASSERT_TRUE(AVAudioSession::sharedInstance().setCategory(AVAudioSessionCategoryPlayback));
    auto recorder = makeRecorder("refused.wav");
    EXPECT_FALSE(recorder->record());
    EXPECT_FALSE(FileUtil::exists(path("refused.wav")));
    EXPECT_TRUE(recorder->prepareToRecord());
    EXPECT_TRUE(FileUtil::exists(path("refused.wav")));
    ASSERT_TRUE(recorder->deleteRecording());
    EXPECT_FALSE(FileUtil::exists(path("refused.wav")));

    auto nowhere = AVAudioRecorder::create(path("missing-folder/clip.wav"), voiceSettings(1));
    ASSERT_TRUE(nowhere);
    EXPECT_FALSE(nowhere->prepareToRecord());

    AVAudioSession::sharedInstance().setInputAvailable(false);
    EXPECT_FALSE(makeRecorder("no-input.wav")->prepareToRecord());
}

TEST_F(Recorder, FailingInputStopsTheRecordingWithAnErrorAndKeepsWhatWasRecorded)
{
    // Half a second of sound, then the input breaks down.
    std::vector<std::int16_t> samples(4000, 1000);
    auto recorder = makeRecorder("broken.wav");
    recorder->setSampleSource(std::make_shared<BufferSampleSource>(samples, 1, BufferSampleSource::AtEnd::Fail));
    ASSERT_TRUE(recorder->record());
    loop->advance(1.0);
    EXPECT_FALSE(recorder->isRecording()) << "noticed while time passes, without anyone asking";
    EXPECT_EQ(delegate->calls, (std::vector<std::string> { "error", "finished-unsuccessfully" }));
    EXPECT_EQ(delegate->lastError.code(), kMediaErrorInputFailed);
    auto recorded = readWavSamples(path("broken.wav"));
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->size(), 4000u);
}

TEST_F(Recorder, InterruptionPausesAndIsReportedToTheDelegate)
{
    auto recorder = makeRecorder("call.wav");
    ASSERT_TRUE(recorder->record());
    loop->advance(1.0);
    AVAudioSession::sharedInstance().beginInterruption();
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_FALSE(recorder->record()) << "the sound belongs to the call";
    loop->advance(3.0);
    AVAudioSession::sharedInstance().endInterruption(true);
    EXPECT_EQ(delegate->calls, (std::vector<std::string> { "begin-interruption", "end-interruption 1" }));
    ASSERT_TRUE(recorder->record());
    loop->advance(0.25);
    recorder->stop();
    EXPECT_EQ(readWavSamples(path("call.wav"))->size(), 10000u);
}
