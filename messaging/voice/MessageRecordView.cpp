#include "messaging/voice/MessageRecordView.h"

#include "core/session/ORBEndpoints.h"
#include "foundation/voice/VoiceFileConverter.h"
#include "platform/media/AVAudioSession.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

#include <chrono>
#include <cmath>
#include <random>

using platform::FileUtil;

namespace {

constexpr long kFileNameCount = 100000;
// Channels and bits of the recording, which the AMR conversion is told too.
constexpr int kRecordChannels = 2;
constexpr int kRecordDepth = 16;

long randomNameNumber()
{
    static std::mt19937_64 engine = [] {
        unsigned long long seed;
        try {
            std::random_device device;
            seed = (static_cast<unsigned long long>(device()) << 32) ^ device();
        } catch (...) {
            seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
        }
        return std::mt19937_64(seed);
    }();
    return std::uniform_int_distribution<long>(0, kFileNameCount - 1)(engine);
}

platform::Dictionary recorderSettings()
{
    platform::Dictionary settings;
    settings.set(platform::AVSampleRateKey, 8000.0);
    settings.set(platform::AVFormatIDKey, static_cast<long long>(platform::kAudioFormatLinearPCM));
    settings.set(platform::AVLinearPCMBitDepthKey, kRecordDepth);
    settings.set(platform::AVNumberOfChannelsKey, kRecordChannels);
    settings.set(platform::AVLinearPCMIsBigEndianKey, false);
    settings.set(platform::AVLinearPCMIsFloatKey, false);
    settings.set(platform::AVEncoderAudioQualityKey, 64); // medium
    return settings;
}

// The meter's average power (dB) as the level shown.
int levelForPower(float power)
{
    if (power > -25)
        return 3;
    if (power > -35)
        return 2;
    if (power > -50)
        return 1;
    return 0;
}

} // namespace

std::shared_ptr<MessageRecordView> MessageRecordView::viewWithDelegate(
    std::weak_ptr<MessageRecordViewDelegate> delegate)
{
    auto view = std::make_shared<MessageRecordView>();
    auto content = std::dynamic_pointer_cast<UIView>(platform::LayoutLoader::lastTopLevelObject(kClassName, view));
    if (content) {
        view->setFrame(content->frame());
        view->setBackgroundColor(content->backgroundColor());
        auto subviews = content->subviews();
        for (const auto& subview : subviews)
            view->addSubview(subview);
    }
    view->awakeFromNib();
    view->setDelegate(std::move(delegate));
    view->setHidden(true);
    return view;
}

MessageRecordView::~MessageRecordView()
{
    delegate_.reset();
    if (recorder_) {
        recorder_->setDelegate({});
        recorder_->stop();
    }
}

void MessageRecordView::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("imgIcon", imgIcon_);
    bindings.outlet("lblTitle", lblTitle_);
    bindings.outlet("rectView", rectView_);
}

void MessageRecordView::awakeFromNib()
{
    if (awoken_)
        return;
    awoken_ = true;
    lock_ = false;
    level_ = 0;
    rectView_->layer()->setCornerRadius(kPanelCornerRadius);
    // Leaving the application (a call, the home button) abandons the clip.
    auto self = std::static_pointer_cast<MessageRecordView>(sharedView());
    lifetime_.observe(self, UIApplicationDidEnterBackgroundNotification, &MessageRecordView::applicationLeft);
    lifetime_.observe(self, UIApplicationWillResignActiveNotification, &MessageRecordView::applicationLeft);
}

void MessageRecordView::applicationLeft(const platform::Notification&) { cancelRecord(); }

void MessageRecordView::centrePanel(bool rounded)
{
    auto parent = superview();
    if (!parent)
        return;
    platform::Rect frame = rectView_->frame();
    double x = (parent->bounds().size.width - frame.size.width) / 2;
    double y = (parent->bounds().size.height - frame.size.height) / 2;
    if (rounded) {
        x = std::round(x);
        y = std::round(y);
    } else {
        x = std::fabs(x);
        y = std::fabs(y);
    }
    rectView_->setFrame(platform::Rect(x, y, frame.size.width, frame.size.height));
}

void MessageRecordView::didMoveToSuperview()
{
    UIView::didMoveToSuperview();
    centrePanel(false);
}

void MessageRecordView::layoutSubviews()
{
    UIView::layoutSubviews();
    centrePanel(true);
}

std::string MessageRecordView::freshWavPath()
{
    std::string folder = platform::AppPaths::temporaryDirectory();
    if (folder.empty())
        return {};
    long n = randomNameNumber();
    for (long tries = 0; tries < kFileNameCount; ++tries) {
        std::string path = FileUtil::joinPath(folder, platform::format("%05li.wav", n));
        if (!FileUtil::exists(path)) {
            platform::log("path:%s\n", path.c_str());
            return path;
        }
        n = (n + 1) % kFileNameCount;
    }
    return {};
}

void MessageRecordView::startRecord()
{
    if (lock_)
        return;
    if (active_ && recorder_ && recorder_->isRecording()) {
        platform::log("is recording\n");
        return;
    }
    // A recording the recorder gave up (an interruption) and nobody released
    // yet is lost; say so before starting over.
    if (endRecording())
        reportFailure(kErrorTooShort);
    lock_ = true;
    auto self = std::static_pointer_cast<MessageRecordView>(sharedView());
    lifetime_.cancel(unlockTimer_);
    unlockTimer_ = lifetime_.after(kLockSeconds, self, &MessageRecordView::unlock);

    // Every recording gets a file of its own: the previous clip may still be
    // uploading or shown in a bubble.
    wavPath_ = freshWavPath();
    amrPath_.clear();
    platform::Error error;
    recorder_ = wavPath_.empty() ? nullptr : platform::AVAudioRecorder::create(wavPath_, recorderSettings(), &error);
    if (!recorder_ || !recorder_->prepareToRecord()) {
        platform::log("can't prepare to record\n");
        return;
    }
    recorder_->setDelegate(self);
    recorder_->setMeteringEnabled(true);

    platform::log("start record\n");
    setHidden(false);
    platform::AVAudioSession::sharedInstance().setCategory(platform::AVAudioSessionCategoryRecord);
    if (!recorder_->record()) {
        platform::log("can't start to record\n");
        setHidden(true);
        recorder_->deleteRecording();
        return;
    }
    active_ = true;
    time_ = 0;
    setLevel(0);
    refreshView();
    setTimer(lifetime_.every(kTickSeconds, self, &MessageRecordView::handleTimer));
}

void MessageRecordView::unlock() { lock_ = false; }

void MessageRecordView::setTimer(std::shared_ptr<platform::Timer> timer)
{
    if (timer_ != timer)
        lifetime_.cancel(timer_);
    timer_ = std::move(timer);
}

void MessageRecordView::handleTimer()
{
    if (!active_)
        return;
    ++time_;
    if (time_ >= kMaxSoundLength) {
        stopRecord();
        return;
    }
    recorder_->updateMeters();
    setLevel(levelForPower(recorder_->averagePowerForChannel(0)));
    refreshView();
}

void MessageRecordView::setLevel(int level)
{
    if (level == level_)
        return;
    level_ = level < 0 ? 0 : level;
    ++levelImageChanges_;
    imgIcon_->setImage(UIImage::imageNamed(platform::format("message_sound_level_%02i.png", level_)));
}

void MessageRecordView::refreshView()
{
    lblTitle_->setText(platform::format("已录制 %i 秒", time_));
}

bool MessageRecordView::endRecording()
{
    if (!active_)
        return false;
    active_ = false;
    recorder_->stop();
    setTimer(nullptr);
    return true;
}

platform::Error MessageRecordView::recordError(long code)
{
    std::string domain = core::ORBEndpoints::serverBase();
    if (code == kErrorConversionFailed)
        return platform::Error::withDescription(domain, code, "the recording could not be converted to AMR");
    platform::Dictionary info;
    info.set(kMinSoundLengthKey, static_cast<int>(kMinSoundLength));
    return platform::Error(domain, code, std::move(info));
}

void MessageRecordView::reportFailure(long code)
{
    // Nothing of a failed recording is kept: each one has a file of its own.
    FileUtil::remove(wavPath_);
    if (!amrPath_.empty())
        FileUtil::remove(amrPath_);
    if (auto delegate = delegate_.lock())
        delegate->messageRecordViewRecordFailed(*this, recordError(code));
}

void MessageRecordView::stopRecord()
{
    setHidden(true);
    if (!active_)
        return;
    // Paused by an interruption or stopped by an error, the recorder is no
    // longer recording: the clip is lost, and the owner must hear so.
    bool interrupted = !recorder_->isRecording();
    endRecording();
    if (!delegate_.lock())
        return;
    if (interrupted || time_ < kMinSoundLength) {
        reportFailure(kErrorTooShort);
        return;
    }
    // Only the extension changes: a folder name may hold "wav" too.
    amrPath_
        = platform::hasSuffix(wavPath_, ".wav") ? wavPath_.substr(0, wavPath_.size() - 4) + ".amr" : wavPath_ + ".amr";
    int status = foundation::VoiceFileConverter::wavToAmr(wavPath_, amrPath_, kRecordChannels, kRecordDepth);
    if (status != 0) {
        platform::log("recording %s could not be converted\n", wavPath_.c_str());
        reportFailure(kErrorConversionFailed);
        return;
    }
    auto sound = std::make_shared<core::SoundInfo>();
    sound->amrPath = amrPath_;
    sound->wavPath = wavPath_;
    sound->seconds = time_;
    if (auto delegate = delegate_.lock())
        delegate->messageRecordViewRecordFinished(*this, sound);
}

void MessageRecordView::cancelRecord()
{
    setHidden(true);
    if (!endRecording())
        return;
    reportFailure(kErrorTooShort);
}

void MessageRecordView::audioRecorderDidFinishRecording(platform::AVAudioRecorder& recorder, bool)
{
    if (&recorder != recorder_.get())
        return;
    setTimer(nullptr);
    // Our own stops end the recording before the recorder reports; one that
    // is still ours here stopped by itself.
    if (active_) {
        active_ = false;
        setHidden(true);
        reportFailure(kErrorTooShort);
    }
}

void MessageRecordView::audioRecorderEndInterruption(platform::AVAudioRecorder& recorder, unsigned)
{
    if (&recorder == recorder_.get())
        setTimer(nullptr);
}
