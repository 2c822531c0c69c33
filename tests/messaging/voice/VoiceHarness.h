#pragma once

#include "messaging/voice/MessageAudioPlayer.h"
#include "messaging/voice/MessageRecordView.h"
#include "platform/uikit/UIApplication.h"
#include "tests/support/app/AppHarness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class UIViewController;

namespace voicetest {

// A screen to lay the overlay over: what the writing screens look like
// behind it is theirs to draw.
class VoiceTestAppDelegate final : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication*, const platform::Dictionary&) override;
    std::shared_ptr<UIWindow> window() const override { return window_; }

private:
    std::shared_ptr<UIWindow> window_;
};

// Each case: the harness on the manual clock with the stand-in server, a home
// whose path holds "wav" (so file names are shown to change only their
// extension), the sound devices as the phone has them at launch.
class VoiceTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    testsupport::AppHarness& harness() { return *harness_; }
    std::string temporaryFolder() const;
    // The stand-in server's address of a path under "mobile2/pull/".
    std::string pullAddress(const std::string& path) const;

private:
    std::string home_;
    std::unique_ptr<testsupport::AppHarness> harness_;
};

// Everything the record view told its owner.
class RecordingOwner final : public MessageRecordViewDelegate {
public:
    void messageRecordViewRecordFinished(MessageRecordView&, const std::shared_ptr<core::SoundInfo>& sound) override
    {
        finished.push_back(sound);
    }
    void messageRecordViewRecordFailed(MessageRecordView&, const platform::Error& error) override
    {
        failed.push_back(error);
    }
    std::vector<std::shared_ptr<core::SoundInfo>> finished;
    std::vector<platform::Error> failed;
};

// Everything the player told one bubble, in order ("loading", "loaded",
// "playing", "finished").
class BubbleRecorder final : public MessageAudioPlayerDelegate {
public:
    explicit BubbleRecorder(bool answersFinished = true);
    std::vector<std::string> events;
    std::vector<std::shared_ptr<core::SoundInfo>> sounds;
    std::size_t count(const std::string& event) const;
    // Events about that clip only (the player also says "finished" of no clip
    // when it lets a bubble go).
    std::size_t count(const std::string& event, const std::shared_ptr<core::SoundInfo>& sound) const;
};

// soxi's answer for one field ("-r", "-c", "-b", "-s", "-t", "-D"), trimmed.
std::string soxi(const std::string& flag, const std::string& file);
// The RMS amplitude sox measures (0 to 1), or -1 when it cannot.
double soxRmsAmplitude(const std::string& file);
std::vector<unsigned char> readBytes(const std::string& path);

} // namespace voicetest
