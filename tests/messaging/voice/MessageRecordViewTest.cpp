#include "tests/messaging/voice/VoiceHarness.h"

#include "platform/media/AVAudioSession.h"
#include "platform/media/SampleSource.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"

#include <gtest/gtest.h>

#include <filesystem>

using platform::FileUtil;
using voicetest::RecordingOwner;

namespace {

class MessageRecordViewTest : public voicetest::VoiceTest {
protected:
    void SetUp() override
    {
        voicetest::VoiceTest::SetUp();
        tone = std::make_shared<platform::ToneSampleSource>(440, -12);
        platform::AudioInput::setSource(tone);
        owner = std::make_shared<RecordingOwner>();
        view = MessageRecordView::viewWithDelegate(owner);
        // As the writing screens do: over everything, in the key window.
        UIWindow::keyWindow()->addSubview(view);
    }

    std::string title() const { return view->lblTitle()->text(); }

    std::shared_ptr<platform::ToneSampleSource> tone;
    std::shared_ptr<RecordingOwner> owner;
    std::shared_ptr<MessageRecordView> view;
};

TEST_F(MessageRecordViewTest, LoadsHiddenWithItsPanelCentredInTheWindow)
{
    ASSERT_TRUE(view->rectView());
    ASSERT_TRUE(view->imgIcon());
    ASSERT_TRUE(view->lblTitle());
    EXPECT_TRUE(view->isHidden());
    EXPECT_EQ(view->rectView()->layer()->cornerRadius(), 10.0);
    auto panel = view->rectView()->frame();
    auto window = UIWindow::keyWindow()->bounds();
    EXPECT_EQ(panel.origin.x, (window.size.width - panel.size.width) / 2);
    EXPECT_EQ(panel.origin.y, (window.size.height - panel.size.height) / 2);
    EXPECT_EQ(view->imgIcon()->image(), UIImage::imageNamed("message_sound_level_00.png"));
}

TEST_F(MessageRecordViewTest, HoldingThreeSecondsDeliversAnAmrClipBesideItsWav)
{
    harness().advance(5); // well past any earlier lock-out
    view->startRecord();
    EXPECT_FALSE(view->isHidden());
    EXPECT_EQ(platform::AVAudioSession::sharedInstance().category(), platform::AVAudioSessionCategoryRecord);
    EXPECT_EQ(title(), "已录制 0 秒");
    harness().render("messaging-record-start.png");
    harness().advance(1);
    EXPECT_EQ(title(), "已录制 1 秒");
    harness().advance(1);
    harness().advance(1);
    EXPECT_EQ(title(), "已录制 3 秒");
    harness().render("messaging-record-loud.png");
    harness().advance(0.4);
    view->stopRecord();

    EXPECT_TRUE(view->isHidden());
    ASSERT_TRUE(owner->failed.empty());
    ASSERT_EQ(owner->finished.size(), 1u);
    auto sound = owner->finished[0];
    EXPECT_EQ(sound->seconds, 3);
    EXPECT_TRUE(sound->url.empty());
    // "%05li.wav" in the temporary folder, the AMR under the same stem.
    std::filesystem::path wav(sound->wavPath);
    std::string folder = temporaryFolder();
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    EXPECT_EQ(wav.parent_path().string(), folder);
    ASSERT_NE(folder.find("wav"), std::string::npos);
    EXPECT_EQ(wav.filename().string().size(), 9u);
    EXPECT_EQ(wav.extension(), ".wav");
    EXPECT_EQ(sound->amrPath, (wav.parent_path() / wav.stem()).string() + ".amr");

    // What was held is what was written: 3.4 s of 8000 Hz, 2 channels, 16 bits.
    EXPECT_EQ(voicetest::soxi("-r", sound->wavPath), "8000");
    EXPECT_EQ(voicetest::soxi("-c", sound->wavPath), "2");
    EXPECT_EQ(voicetest::soxi("-b", sound->wavPath), "16");
    EXPECT_EQ(voicetest::soxi("-s", sound->wavPath), "27200");
    // 170 AMR-NB frames of 20 ms, 12.2 kbit/s (32 bytes each), after "#!AMR\n".
    auto amr = voicetest::readBytes(sound->amrPath);
    ASSERT_GE(amr.size(), 6u);
    EXPECT_EQ(std::string(amr.begin(), amr.begin() + 6), "#!AMR\n");
    EXPECT_EQ(amr.size(), 6u + 32u * 170u);
    EXPECT_EQ(voicetest::soxi("-t", sound->amrPath), "amr-nb");
    EXPECT_EQ(voicetest::soxi("-D", sound->amrPath), "3.400000");
    // The tone survives the encoding (a -15 dB RMS sine is about 0.18).
    EXPECT_GT(voicetest::soxRmsAmplitude(sound->amrPath), 0.1);
}

TEST_F(MessageRecordViewTest, LevelFollowsTheAveragePowerAndTheImageChangesOnlyWithIt)
{
    harness().advance(5);
    view->startRecord();
    int changes = view->levelImageChanges();
    // Sine peaks 3 dB above their average power.
    struct Row {
        double peakDbfs;
        int level;
    };
    for (Row row : { Row { -17, 3 }, Row { -27, 2 }, Row { -42, 1 }, Row { -70, 0 }, Row { -27, 2 } }) {
        tone->setLevel(row.peakDbfs);
        harness().advance(1);
        EXPECT_EQ(view->level(), row.level) << "peak " << row.peakDbfs;
        EXPECT_EQ(
            view->imgIcon()->image(), UIImage::imageNamed(platform::format("message_sound_level_%02i.png", row.level)));
        if (row.level == 2 && row.peakDbfs == -27 && view->time() == 2)
            harness().render("messaging-record-level2.png");
    }
    EXPECT_EQ(view->levelImageChanges(), changes + 5);
    // The same level again leaves the image alone.
    harness().advance(1);
    EXPECT_EQ(view->level(), 2);
    EXPECT_EQ(view->levelImageChanges(), changes + 5);
    view->stopRecord();
    EXPECT_EQ(owner->finished.size(), 1u);
}

TEST_F(MessageRecordViewTest, ReleaseWithinTheFirstSecondFailsAndLeavesNoFiles)
{
    harness().advance(5);
    view->startRecord();
    harness().advance(0.9);
    std::string wav = view->wavPath();
    ASSERT_TRUE(FileUtil::exists(wav));
    view->stopRecord();
    EXPECT_TRUE(owner->finished.empty());
    ASSERT_EQ(owner->failed.size(), 1u);
    const auto& error = owner->failed[0];
    EXPECT_EQ(error.code(), 1);
    EXPECT_EQ(error.domain(), harness().serverBase());
    EXPECT_EQ(error.userInfo().get("min_sound_length").intValue(), 1);
    EXPECT_TRUE(view->isHidden());
    EXPECT_FALSE(FileUtil::exists(wav));
    EXPECT_FALSE(FileUtil::exists(wav.substr(0, wav.size() - 4) + ".amr"));
    // Releasing again reports nothing more.
    view->stopRecord();
    EXPECT_EQ(owner->failed.size(), 1u);
}

TEST_F(MessageRecordViewTest, APressWithinThreeSecondsOfTheLastOneIsIgnored)
{
    harness().advance(5);
    view->startRecord();
    harness().advance(0.5);
    view->stopRecord();
    ASSERT_EQ(owner->failed.size(), 1u);
    harness().advance(2.0); // 2.5 s after the first press
    view->startRecord();
    EXPECT_TRUE(view->isHidden());
    EXPECT_TRUE(view->lock());
    harness().advance(0.6); // 3.1 s
    EXPECT_FALSE(view->lock());
    view->startRecord();
    EXPECT_FALSE(view->isHidden());
    harness().advance(1.2);
    view->stopRecord();
    EXPECT_EQ(owner->finished.size(), 1u);
}

TEST_F(MessageRecordViewTest, TheHundredAndTwentiethTickDeliversTheClipByItself)
{
    harness().advance(5);
    view->startRecord();
    for (int i = 0; i < 119; ++i)
        harness().advance(1);
    EXPECT_TRUE(owner->finished.empty());
    EXPECT_EQ(title(), "已录制 119 秒");
    harness().advance(1);
    ASSERT_EQ(owner->finished.size(), 1u);
    EXPECT_EQ(owner->finished[0]->seconds, 120);
    EXPECT_TRUE(view->isHidden());
    EXPECT_EQ(voicetest::soxi("-D", owner->finished[0]->amrPath), "120.000000");
    // The release that follows finds nothing to stop.
    view->stopRecord();
    EXPECT_EQ(owner->finished.size(), 1u);
    EXPECT_TRUE(owner->failed.empty());
}

TEST_F(MessageRecordViewTest, LeavingTheApplicationOrAnInterruptionLosesTheClip)
{
    auto& center = platform::NotificationCenter::defaultCenter();
    // Nothing is reported while idle.
    center.post(UIApplicationWillResignActiveNotification);
    EXPECT_TRUE(owner->failed.empty());

    for (const char* name :
        { UIApplicationWillResignActiveNotification, UIApplicationDidEnterBackgroundNotification }) {
        harness().advance(5);
        view->startRecord();
        harness().advance(2);
        center.post(name);
        EXPECT_TRUE(view->isHidden()) << name;
        view->stopRecord();
    }
    EXPECT_TRUE(owner->finished.empty());
    ASSERT_EQ(owner->failed.size(), 2u);
    EXPECT_EQ(owner->failed[1].code(), 1);

    // A call takes the sound: the recorder pauses by itself, and the release
    // must still report the clip lost rather than nothing at all.
    harness().advance(5);
    view->startRecord();
    harness().advance(2);
    platform::AVAudioSession::sharedInstance().beginInterruption();
    harness().advance(1);
    platform::AVAudioSession::sharedInstance().endInterruption(false);
    harness().advance(1);
    view->stopRecord();
    EXPECT_TRUE(owner->finished.empty());
    EXPECT_EQ(owner->failed.size(), 3u);

    // An input that fails stops the recorder by itself: reported at once.
    platform::AudioInput::setSource(std::make_shared<platform::BufferSampleSource>(
        std::vector<std::int16_t>(8000, 1000), 1, platform::BufferSampleSource::AtEnd::Fail));
    harness().advance(5);
    view->startRecord();
    harness().advance(1.5);
    EXPECT_EQ(owner->failed.size(), 4u);
    EXPECT_TRUE(view->isHidden());
    view->stopRecord();
    EXPECT_EQ(owner->failed.size(), 4u);
    EXPECT_TRUE(owner->finished.empty());
}

TEST_F(MessageRecordViewTest, EveryRecordingKeepsAFileOfItsOwn)
{
    harness().advance(5);
    view->startRecord();
    harness().advance(2.5);
    view->stopRecord();
    harness().advance(5);
    tone->setLevel(-30);
    view->startRecord();
    harness().advance(1.5);
    view->stopRecord();
    ASSERT_EQ(owner->finished.size(), 2u);
    auto first = owner->finished[0];
    auto second = owner->finished[1];
    EXPECT_NE(first->wavPath, second->wavPath);
    EXPECT_NE(first->amrPath, second->amrPath);
    // The first message may still be uploading or shown: its clip is untouched.
    EXPECT_EQ(voicetest::soxi("-s", first->wavPath), "20000");
    EXPECT_EQ(voicetest::readBytes(first->amrPath).size(), 6u + 32u * 125u);
    EXPECT_EQ(voicetest::soxi("-s", second->wavPath), "12000");
}

TEST_F(MessageRecordViewTest, AFailedConversionIsAFailureNotAClip)
{
    harness().advance(5);
    view->startRecord();
    harness().advance(2);
    std::string wav = view->wavPath();
    // Something already holds the AMR name and cannot be written over.
    std::string amr = wav.substr(0, wav.size() - 4) + ".amr";
    ASSERT_TRUE(FileUtil::createDirectory(amr));
    ASSERT_TRUE(FileUtil::write(FileUtil::joinPath(amr, "keep"), std::string_view("x")));
    view->stopRecord();
    EXPECT_TRUE(owner->finished.empty());
    ASSERT_EQ(owner->failed.size(), 1u);
    EXPECT_EQ(owner->failed[0].code(), MessageRecordView::kErrorConversionFailed);
    EXPECT_FALSE(FileUtil::exists(wav));
}

TEST_F(MessageRecordViewTest, AnOwnerThatLeftIsNotCalled)
{
    harness().advance(5);
    view->startRecord();
    harness().advance(2);
    std::weak_ptr<RecordingOwner> gone = owner;
    owner.reset();
    ASSERT_TRUE(gone.expired());
    view->stopRecord();
    EXPECT_TRUE(view->isHidden());
    // Nobody to hand the clip to: nothing is converted.
    std::string wav = view->wavPath();
    EXPECT_FALSE(FileUtil::exists(wav.substr(0, wav.size() - 4) + ".amr"));
}

} // namespace
