#include "tests/messaging/voice/VoiceHarness.h"

#include "foundation/http/FormDataRequest.h"
#include "foundation/json/JsonParser.h"
#include "foundation/voice/WavAmrFile.h"
#include "platform/media/AVAudioPlayer.h"
#include "platform/media/AVAudioSession.h"
#include "platform/media/ProximitySensor.h"
#include "platform/media/SampleSource.h"
#include "platform/os/FileUtil.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/support/GzipBomb.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

using foundation::FormDataRequest;

using core::SoundInfo;
using platform::AVAudioSession;
using platform::FileUtil;
using platform::ProximitySensor;
using voicetest::BubbleRecorder;

namespace {

class MessageAudioPlayerTest : public voicetest::VoiceTest {
protected:
    std::shared_ptr<SoundInfo> clip(const std::string& path)
    {
        auto sound = std::make_shared<SoundInfo>();
        sound->url = pullAddress(path);
        sound->seconds = 2;
        return sound;
    }
    bool waitFor(const BubbleRecorder& bubble, const std::string& event)
    {
        return harness().runUntil([&] { return bubble.count(event) > 0; });
    }
    std::size_t downloads(const std::string& route) { return harness().server()->requests().withRoute(route).size(); }
    // Lets every request the server has taken be answered and delivered.
    void settleDownloads()
    {
        auto& log = harness().server()->requests();
        log.waitForCount(log.all().size(), std::chrono::seconds(5), true);
        harness().runUntil([] { return MessageAudioPlayer::shareInstance()->requestCount() == 0; });
        EXPECT_TRUE(harness().waitForServerQuiet());
    }
    // Records a clip through the overlay, as the writing screens do.
    std::shared_ptr<SoundInfo> record(double seconds)
    {
        platform::AudioInput::setSource(std::make_shared<platform::ToneSampleSource>(440, -12));
        auto owner = std::make_shared<voicetest::RecordingOwner>();
        auto view = MessageRecordView::viewWithDelegate(owner);
        UIWindow::keyWindow()->addSubview(view);
        harness().advance(5);
        view->startRecord();
        harness().advance(seconds);
        view->stopRecord();
        view->removeFromSuperview();
        return owner->finished.empty() ? nullptr : owner->finished[0];
    }
};

TEST_F(MessageAudioPlayerTest, DownloadsConvertsAndPlaysOnceThenReplaysFromTheFolder)
{
    auto sound = clip("static/audio/clip-a.amr");
    auto bubble = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(sound, bubble);
    EXPECT_EQ(bubble->events, std::vector<std::string>({ "loading" }));
    // One flat, bounded name per address in the temporary folder.
    std::filesystem::path amr(sound->amrPath);
    std::string folder = temporaryFolder();
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    EXPECT_EQ(amr.parent_path().string(), folder);
    EXPECT_EQ(amr.filename().string().size(), 32u + 4u);
    EXPECT_EQ(sound->wavPath, sound->amrPath + "_");

    ASSERT_TRUE(waitFor(*bubble, "playing"));
    EXPECT_EQ(bubble->events, std::vector<std::string>({ "loading", "loaded", "playing" }));
    EXPECT_EQ(downloads("static/audio/clip-a.amr"), 1u);
    auto amrBytes = voicetest::readBytes(sound->amrPath);
    ASSERT_GE(amrBytes.size(), 6u);
    EXPECT_EQ(std::string(amrBytes.begin(), amrBytes.begin() + 6), "#!AMR\n");
    EXPECT_EQ(voicetest::soxi("-r", sound->wavPath), "8000");
    EXPECT_EQ(voicetest::soxi("-D", sound->wavPath), "2.000000");
    EXPECT_TRUE(MessageAudioPlayer::isPlaying());
    EXPECT_TRUE(ProximitySensor::shared().isMonitoringEnabled());
    EXPECT_EQ(AVAudioSession::sharedInstance().category(), platform::AVAudioSessionCategoryPlayback);
    EXPECT_EQ(AVAudioSession::sharedInstance().currentRoute(), platform::AudioOutputRoute::Speaker);

    harness().advance(1.9);
    EXPECT_EQ(bubble->count("finished"), 0u);
    harness().advance(0.2);
    EXPECT_EQ(bubble->count("finished"), 1u);
    EXPECT_FALSE(MessageAudioPlayer::isPlaying());
    EXPECT_EQ(MessageAudioPlayer::shareInstance()->sound(), nullptr);
    EXPECT_FALSE(ProximitySensor::shared().isMonitoringEnabled());
    EXPECT_EQ(MessageAudioPlayer::shareInstance()->requestCount(), 0u);

    // Another bubble showing the same address plays at once, from the folder.
    auto again = clip("static/audio/clip-a.amr");
    auto other = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(again, other);
    EXPECT_EQ(other->events, std::vector<std::string>({ "playing" }));
    EXPECT_EQ(downloads("static/audio/clip-a.amr"), 1u);
}

TEST_F(MessageAudioPlayerTest, ASecondTapStopsAndAnotherClipSilencesTheFirstAtOnce)
{
    auto a = clip("static/audio/clip-a.amr");
    auto first = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(a, first);
    ASSERT_TRUE(waitFor(*first, "playing"));
    MessageAudioPlayer::play(a, first);
    EXPECT_EQ(first->count("finished", a), 1u);
    EXPECT_FALSE(MessageAudioPlayer::isPlaying());
    EXPECT_TRUE(platform::AVAudioPlayer::playingPlayers().empty());

    MessageAudioPlayer::play(a, first);
    EXPECT_TRUE(MessageAudioPlayer::isPlaying());
    auto b = clip("static/audio/clip-b.amr");
    auto second = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(b, second);
    // The first bubble is told, and its clip no longer sounds while the next one loads.
    EXPECT_EQ(first->count("finished", a), 2u);
    EXPECT_TRUE(platform::AVAudioPlayer::playingPlayers().empty());
    EXPECT_EQ(second->events, std::vector<std::string>({ "loading" }));
    ASSERT_TRUE(waitFor(*second, "playing"));
    ASSERT_EQ(platform::AVAudioPlayer::playingPlayers().size(), 1u);
    EXPECT_EQ(platform::AVAudioPlayer::playingPlayers()[0]->url(), b->wavPath);
    EXPECT_EQ(first->count("playing"), 2u);

    // A bubble that cannot hear "finished" restarts its clip on a second tap.
    auto mute = std::make_shared<BubbleRecorder>(false);
    MessageAudioPlayer::play(a, mute);
    MessageAudioPlayer::play(a, mute);
    EXPECT_EQ(mute->count("playing"), 2u);
    EXPECT_TRUE(MessageAudioPlayer::isPlaying());
}

TEST_F(MessageAudioPlayerTest, HoldingThePhoneToTheEarMovesTheSoundToTheEarpiece)
{
    auto sound = clip("static/audio/clip-a.amr");
    auto bubble = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(sound, bubble);
    ASSERT_TRUE(waitFor(*bubble, "playing"));
    auto& session = AVAudioSession::sharedInstance();
    EXPECT_EQ(session.currentRoute(), platform::AudioOutputRoute::Speaker);
    ProximitySensor::shared().setObjectNear(true);
    EXPECT_EQ(session.category(), platform::AVAudioSessionCategoryPlayAndRecord);
    EXPECT_EQ(session.currentRoute(), platform::AudioOutputRoute::Receiver);
    ProximitySensor::shared().setObjectNear(false);
    EXPECT_EQ(session.category(), platform::AVAudioSessionCategoryPlayback);
    EXPECT_EQ(session.currentRoute(), platform::AudioOutputRoute::Speaker);

    // Already at the ear when the clip starts: it starts on the speaker and
    // moves once the sensor is watched.
    ProximitySensor::shared().setObjectNear(true);
    harness().advance(2.1);
    ASSERT_EQ(bubble->count("finished"), 1u);
    EXPECT_EQ(session.category(), platform::AVAudioSessionCategoryPlayback);
    MessageAudioPlayer::play(sound, bubble);
    EXPECT_TRUE(MessageAudioPlayer::isPlaying());
    EXPECT_EQ(session.currentRoute(), platform::AudioOutputRoute::Receiver);
}

TEST_F(MessageAudioPlayerTest, CancelAllDuringADownloadConvertsAndPlaysNothing)
{
    harness().server()->script().forRoute("static/audio/clip-slow.amr", server::ScriptedReply::normal().delayed(0.5));
    auto sound = clip("static/audio/clip-slow.amr");
    auto bubble = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(sound, bubble);
    ASSERT_EQ(MessageAudioPlayer::shareInstance()->requestCount(), 1u);
    MessageAudioPlayer::cancelAll();
    EXPECT_GE(bubble->count("finished"), 1u);
    EXPECT_EQ(MessageAudioPlayer::shareInstance()->requestCount(), 0u);
    EXPECT_EQ(MessageAudioPlayer::shareInstance()->delegate(), nullptr);
    settleDownloads();
    EXPECT_EQ(bubble->count("playing"), 0u);
    EXPECT_EQ(bubble->count("loaded"), 0u);
    EXPECT_FALSE(FileUtil::exists(sound->wavPath));
    EXPECT_FALSE(MessageAudioPlayer::isPlaying());
}

TEST_F(MessageAudioPlayerTest, AnErrorPageOrABodyThatIsNotAmrIsNeverPlayed)
{
    // 404: a failed download; the clip stays current until tapped again.
    auto missing = clip("static/audio/clip.wav");
    auto bubble = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(missing, bubble);
    ASSERT_TRUE(waitFor(*bubble, "loaded"));
    settleDownloads();
    EXPECT_EQ(bubble->count("playing"), 0u);
    EXPECT_FALSE(FileUtil::exists(missing->amrPath));
    EXPECT_FALSE(FileUtil::exists(missing->wavPath));
    EXPECT_EQ(MessageAudioPlayer::shareInstance()->sound(), missing);
    MessageAudioPlayer::play(missing, bubble);
    EXPECT_EQ(bubble->count("finished"), 1u);
    EXPECT_EQ(MessageAudioPlayer::shareInstance()->sound(), nullptr);

    // 200 with a picture: the conversion fails and the clip ends at once.
    auto picture = clip("static/photos/photo-8x8.png");
    auto other = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(picture, other);
    ASSERT_TRUE(waitFor(*other, "finished"));
    EXPECT_EQ(other->events, std::vector<std::string>({ "loading", "loaded", "finished" }));
    EXPECT_FALSE(FileUtil::exists(picture->amrPath));
    EXPECT_FALSE(FileUtil::exists(picture->wavPath));
    EXPECT_FALSE(MessageAudioPlayer::isPlaying());
    EXPECT_EQ(MessageAudioPlayer::shareInstance()->sound(), nullptr);
}

TEST_F(MessageAudioPlayerTest, ADownloadEndingAfterAnotherClipStartedIsNotPlayed)
{
    auto recorded = record(2.5);
    ASSERT_TRUE(recorded);
    harness().server()->script().forRoute("static/audio/clip-slow.amr", server::ScriptedReply::normal().delayed(0.5));
    auto slow = clip("static/audio/clip-slow.amr");
    auto first = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(slow, first);
    auto second = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(recorded, second);
    EXPECT_EQ(second->events, std::vector<std::string>({ "playing" }));
    EXPECT_EQ(first->events, std::vector<std::string>({ "loading", "finished" }));
    settleDownloads();
    // Neither bubble hears of the late download, and the clip sounding goes on.
    EXPECT_EQ(first->events, std::vector<std::string>({ "loading", "finished" }));
    EXPECT_EQ(second->events, std::vector<std::string>({ "playing" }));
    ASSERT_EQ(platform::AVAudioPlayer::playingPlayers().size(), 1u);
    EXPECT_EQ(platform::AVAudioPlayer::playingPlayers()[0]->url(), recorded->wavPath);
    EXPECT_FALSE(FileUtil::exists(slow->wavPath));
    // The recording plays from its own files, for as long as it was held.
    EXPECT_DOUBLE_EQ(MessageAudioPlayer::shareInstance()->player()->duration(), 2.5);
    EXPECT_EQ(downloads("static/audio/clip-slow.amr"), 1u);
}

TEST_F(MessageAudioPlayerTest, CacheNamesNeitherCollideNorGrowWithTheAddress)
{
    auto colon = MessageAudioPlayer::amrPathForURL("http://127.0.0.1:80/a:b");
    auto slash = MessageAudioPlayer::amrPathForURL("http://127.0.0.1:80/a/b");
    auto backslash = MessageAudioPlayer::amrPathForURL("http://127.0.0.1:80/a\\b");
    EXPECT_NE(colon, slash);
    EXPECT_NE(slash, backslash);
    auto longName = MessageAudioPlayer::amrPathForURL("http://127.0.0.1/" + std::string(600, 'x') + ".amr");
    EXPECT_EQ(std::filesystem::path(longName).filename().string().size(), 36u);
    EXPECT_EQ(MessageAudioPlayer::amrPathForURL(""), "");
}

TEST_F(MessageAudioPlayerTest, ARecordedClipSurvivesTheRoundTripThroughTheServer)
{
    auto recorded = record(2.5);
    ASSERT_TRUE(recorded);
    auto bubble = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(recorded, bubble);
    EXPECT_EQ(bubble->events, std::vector<std::string>({ "playing" }));
    harness().advance(2.6);
    EXPECT_EQ(bubble->count("finished"), 1u);

    // Sent as a chat upload does it, then heard on the other side by address.
    auto upload = FormDataRequest::requestWithURL(*platform::Url::parse(pullAddress("upload/audio/2001/1")));
    upload->addFile(recorded->amrPath, "file");
    upload->startSynchronous();
    ASSERT_EQ(upload->responseStatusCode(), 200);
    foundation::JsonParser parser;
    auto reply = parser.objectWithString(std::string_view(upload->responseString().value_or("")));
    auto heard = std::make_shared<SoundInfo>();
    heard->url = reply["audio"].stringValue();
    ASSERT_EQ(heard->url.rfind(harness().serverBase(), 0), 0u) << heard->url;
    auto listener = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(heard, listener);
    ASSERT_TRUE(waitFor(*listener, "playing"));
    EXPECT_EQ(voicetest::readBytes(heard->amrPath), voicetest::readBytes(recorded->amrPath));
    EXPECT_EQ(voicetest::soxi("-D", heard->wavPath), "2.500000");
    EXPECT_GT(voicetest::soxRmsAmplitude(heard->wavPath), 0.1);
}

TEST_F(MessageAudioPlayerTest, ABrokenCachedWavEndsTheClipAndIsFetchedAgain)
{
    auto sound = clip("static/audio/clip-c.amr");
    std::string amr = MessageAudioPlayer::amrPathForURL(sound->url);
    ASSERT_TRUE(FileUtil::write(MessageAudioPlayer::wavPathForAMRPath(amr), std::string_view("not a wav file")));
    auto bubble = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(sound, bubble);
    EXPECT_EQ(bubble->events, std::vector<std::string>({ "finished" }));
    EXPECT_FALSE(MessageAudioPlayer::isPlaying());
    EXPECT_FALSE(FileUtil::exists(sound->wavPath));
    MessageAudioPlayer::play(sound, bubble);
    ASSERT_TRUE(waitFor(*bubble, "playing"));
    EXPECT_EQ(downloads("static/audio/clip-c.amr"), 1u);
}

// A clip of one-byte frames ("no data") would be hours of samples, and
// seconds of the window's time to convert: it is cut to the longest voice
// message and converted off the main loop. A clip compressed on the way
// that inflates past what a voice message can be is refused as it arrives.
// A clip stopped while it converts (its screen closing, then gone) is
// neither played nor reported.
TEST_F(MessageAudioPlayerTest, AClipIsHeldToWhatAVoiceMessageCanBeAndConvertedOffTheMainLoop)
{
    const std::string head = "#!AMR\n";
    // 150,000 frames, 50 minutes: within what such a file can weigh.
    const std::string emptyFrames = head + std::string(150000, '\x7C');
    ASSERT_LT(emptyFrames.size(), foundation::kLongestClipFileBytes);
    auto& script = harness().server()->script();
    script.forRoute("static/audio/empty-frames.amr", server::ScriptedReply::custom(200, emptyFrames, "audio/amr"));
    script.forRoute("static/audio/closing.amr", server::ScriptedReply::custom(200, emptyFrames, "audio/amr"));
    script.forRoute("static/audio/inflating.amr",
        server::ScriptedReply::custom(200, testsupport::gzipOfRepeats(std::size_t { 1 } << 20, '\x7C', head),
            "audio/amr", { { "Content-Encoding", "gzip" } }));

    // The most CPU time the main thread spends between two turns of its
    // loop: a task that posts itself again at each turn.
    struct Turns {
        double last = 0;
        double longest = 0;
        bool watching = true;
        static double cpu()
        {
            timespec t {};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
            return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
        }
        static void next(const std::shared_ptr<Turns>& turns)
        {
            platform::postToMain([turns] {
                if (!turns->watching)
                    return;
                const double now = cpu();
                turns->longest = std::max(turns->longest, now - turns->last);
                turns->last = now;
                next(turns);
            });
        }
    };
    auto turns = std::make_shared<Turns>();
    turns->last = Turns::cpu();
    Turns::next(turns);
    auto sound = clip("static/audio/empty-frames.amr");
    auto bubble = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(sound, bubble);
    ASSERT_TRUE(waitFor(*bubble, "playing"));
    turns->watching = false;
    EXPECT_EQ(bubble->events, std::vector<std::string>({ "loading", "loaded", "playing" }));
    EXPECT_EQ(std::filesystem::file_size(sound->wavPath), 48 + foundation::kLongestClipFrames * 320);
    EXPECT_DOUBLE_EQ(MessageAudioPlayer::shareInstance()->player()->duration(), foundation::kLongestClipSeconds + 1);
    EXPECT_LT(turns->longest, 0.25) << "seconds of the main thread's CPU in one turn";

    auto inflating = clip("static/audio/inflating.amr");
    auto other = std::make_shared<BubbleRecorder>();
    MessageAudioPlayer::play(inflating, other);
    ASSERT_TRUE(waitFor(*other, "loaded"));
    settleDownloads();
    EXPECT_EQ(other->events, std::vector<std::string>({ "loading", "loaded" }));
    EXPECT_FALSE(FileUtil::exists(inflating->amrPath));
    EXPECT_FALSE(FileUtil::exists(inflating->wavPath));
    EXPECT_EQ(MessageAudioPlayer::shareInstance()->conversionCount(), 0u);

    // What the conversion ends with comes back on the main loop, after the
    // turn that heard the download end.
    auto closing = clip("static/audio/closing.amr");
    auto gone = std::make_shared<BubbleRecorder>();
    std::weak_ptr<BubbleRecorder> held = gone;
    MessageAudioPlayer::play(closing, gone);
    ASSERT_TRUE(waitFor(*gone, "loaded"));
    ASSERT_EQ(MessageAudioPlayer::shareInstance()->conversionCount(), 1u);
    MessageAudioPlayer::cancelAll();
    gone.reset();
    EXPECT_TRUE(held.expired());
    ASSERT_TRUE(harness().runUntil([] { return MessageAudioPlayer::shareInstance()->conversionCount() == 0; }));
    EXPECT_FALSE(MessageAudioPlayer::isPlaying());
    EXPECT_EQ(MessageAudioPlayer::shareInstance()->sound(), nullptr);
    EXPECT_TRUE(platform::AVAudioPlayer::playingPlayers().empty());
}

} // namespace

namespace {

// Stops the sound from an exit handler that runs after the process's other
// shared objects are gone, as a screen torn down on the way out does.
struct LateSoundStop {
    ~LateSoundStop()
    {
        MessageAudioPlayer::cancelAll();
        MessageAudioPlayer::reset();
        bool playing = MessageAudioPlayer::isPlaying();
        platform::Error error;
        bool categorySet = AVAudioSession::sharedInstance().setCategory(platform::AVAudioSessionCategoryPlayback, &error);
        ProximitySensor::shared().setMonitoringEnabled(false);
        // The verdict goes out through the exit status: gtest has finished by now.
        if (playing || !categorySet || MessageAudioPlayer::exists())
            _exit(3);
    }
};

} // namespace

// A clip's owner that stops the sound after the audio session was destroyed
// finds the session still whole and brings no player up.
TEST(MessageAudioPlayerAtExit, StoppingLateTouchesNothingDestroyed)
{
    if (std::getenv("ORB_LATE_SOUND_STOP")) {
        // Made first, so it is destroyed after everything made below.
        static LateSoundStop stop;
        AVAudioSession::sharedInstance().setCategory(platform::AVAudioSessionCategoryPlayAndRecord);
        ProximitySensor::shared().setMonitoringEnabled(true);
        EXPECT_FALSE(MessageAudioPlayer::exists());
        return;
    }
    auto log = std::filesystem::temp_directory_path() / ("orb-late-sound-" + std::to_string(::getpid()) + ".log");
    std::string command = "ORB_LATE_SOUND_STOP=1 '" + std::filesystem::read_symlink("/proc/self/exe").string()
        + "' --gtest_filter=MessageAudioPlayerAtExit.StoppingLateTouchesNothingDestroyed > '" + log.string()
        + "' 2>&1";
    int status = std::system(command.c_str());
    std::ifstream in(log);
    std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;
    EXPECT_EQ(output.find("Sanitizer"), std::string::npos) << output;
    EXPECT_NE(output.find("1 test"), std::string::npos) << output;
    std::filesystem::remove(log);
}
