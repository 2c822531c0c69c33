#include "tests/messaging/voice/VoiceHarness.h"

#include "messaging/MessagingClasses.h"
#include "platform/media/AVAudioSession.h"
#include "platform/media/ProximitySensor.h"
#include "platform/media/SampleSource.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace voicetest {

bool VoiceTestAppDelegate::didFinishLaunchingWithOptions(UIApplication*, const platform::Dictionary&)
{
    window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
    window_->setBackgroundColor(platform::Color::fromRGB255(235, 237, 240));
    auto root = std::make_shared<UIViewController>();
    window_->setRootViewController(root);
    root->view()->setBackgroundColor(platform::Color::fromRGB255(235, 237, 240));
    window_->makeKeyAndVisible();
    return true;
}

void VoiceTest::SetUp()
{
    std::string pattern = "/tmp/orb-wavhome-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    home_ = pattern;
    testsupport::AppHarnessOptions options;
    options.home = home_;
    harness_ = std::make_unique<testsupport::AppHarness>(options);
    platform::AVAudioSession::sharedInstance().resetForTesting();
    platform::ProximitySensor::shared().resetForTesting();
    platform::AudioInput::setSource(nullptr);
    messaging::registerMessagingClasses();
    ASSERT_TRUE(harness_->start(std::make_shared<VoiceTestAppDelegate>()));
}

void VoiceTest::TearDown()
{
    // The player lives as long as the process: nothing of one case may reach the next.
    MessageAudioPlayer::cancelAll();
    harness_.reset();
    platform::AudioInput::setSource(nullptr);
    platform::ProximitySensor::shared().resetForTesting();
    platform::AVAudioSession::sharedInstance().resetForTesting();
    if (!home_.empty())
        platform::FileUtil::remove(home_);
}

std::string VoiceTest::temporaryFolder() const { return platform::AppPaths::temporaryDirectory(); }

std::string VoiceTest::pullAddress(const std::string& path) const
{
    return harness_->serverBase() + "mobile2/pull/" + path;
}

BubbleRecorder::BubbleRecorder(bool answersFinished)
{
    auto record = [this](const char* event) {
        return [this, event](MessageAudioPlayer&, const std::shared_ptr<core::SoundInfo>& sound) {
            events.push_back(event);
            sounds.push_back(sound);
        };
    };
    messageAudioPlayerLoadingSound = record("loading");
    messageAudioPlayerLoadSoundFinished = record("loaded");
    messageAudioPlayerPlayingSound = record("playing");
    if (answersFinished)
        messageAudioPlayerPlaySoundFinished = record("finished");
}

std::size_t BubbleRecorder::count(const std::string& event) const
{
    return static_cast<std::size_t>(std::count(events.begin(), events.end(), event));
}

std::size_t BubbleRecorder::count(const std::string& event, const std::shared_ptr<core::SoundInfo>& sound) const
{
    std::size_t n = 0;
    for (std::size_t i = 0; i < events.size(); ++i)
        n += events[i] == event && sounds[i] == sound;
    return n;
}

namespace {

    std::string capture(const std::string& command)
    {
        std::string out;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return out;
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
        while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
            out.pop_back();
        return out;
    }

} // namespace

std::string soxi(const std::string& flag, const std::string& file)
{
    return capture("soxi " + flag + " '" + file + "' 2>/dev/null");
}

double soxRmsAmplitude(const std::string& file)
{
    // "stat" reports on standard error.
    std::string report = capture("sox '" + file + "' -n stat 2>&1");
    auto at = report.find("RMS     amplitude:");
    if (at == std::string::npos)
        return -1;
    return std::atof(report.c_str() + at + std::string("RMS     amplitude:").size());
}

std::vector<unsigned char> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace voicetest
