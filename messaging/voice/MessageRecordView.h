#pragma once

#include "core/model/SoundInfo.h"
#include "foundation/voice/WavAmrFile.h"
#include "platform/media/AVAudioRecorder.h"
#include "platform/os/Error.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/Timer.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIView.h"
#include "ui/Lifetime.h"

#include <memory>
#include <string>

class MessageRecordView;
class UIImageView;
class UILabel;

class MessageRecordViewDelegate {
public:
    virtual ~MessageRecordViewDelegate() = default;
    // A clip is ready: its WAV, its AMR and its whole seconds.
    virtual void messageRecordViewRecordFinished(MessageRecordView&, const std::shared_ptr<core::SoundInfo>&) { }
    // Too short, cancelled, interrupted or not convertible: nothing to send.
    virtual void messageRecordViewRecordFailed(MessageRecordView&, const platform::Error&) { }
};

// The hold-to-record overlay of the writing screens: a rounded panel with a
// level meter and the seconds recorded. Each press records a fresh WAV file
// (8000 Hz, 16-bit, two channels) in the temporary folder; the release
// converts it to AMR-NB beside it and hands the owner the clip.
class MessageRecordView final : public UIView,
                                public platform::LayoutBindable,
                                public platform::AVAudioRecorderDelegate {
public:
    ORB_CLASS_NAME(MessageRecordView)

    static constexpr double kMinSoundLength = 1.0;
    // What a voice message can be: a player cuts a longer clip there.
    static constexpr double kMaxSoundLength = foundation::kLongestClipSeconds;
    static constexpr double kLockSeconds = 3.0;
    static constexpr double kTickSeconds = 1.0;
    static constexpr double kPanelCornerRadius = 10.0;
    // The error codes of a failed recording (the domain is the server base).
    static constexpr long kErrorTooShort = 1;
    static constexpr long kErrorConversionFailed = 2;
    static constexpr const char* kMinSoundLengthKey = "min_sound_length";

    MessageRecordView() = default;
    ~MessageRecordView() override;

    // The overlay from the layout "MessageRecordView", hidden, reporting to the delegate.
    static std::shared_ptr<MessageRecordView> viewWithDelegate(std::weak_ptr<MessageRecordViewDelegate> delegate);

    void startRecord();
    void stopRecord();
    void cancelRecord();

    void setLevel(int level);
    void refreshView();
    void handleTimer();
    void unlock();

    std::shared_ptr<MessageRecordViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<MessageRecordViewDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::shared_ptr<platform::AVAudioRecorder>& recorder() const { return recorder_; }
    int time() const { return time_; }
    bool lock() const { return lock_; }
    int level() const { return level_; }
    const std::string& wavPath() const { return wavPath_; }
    const std::string& amrPath() const { return amrPath_; }
    const std::shared_ptr<UIImageView>& imgIcon() const { return imgIcon_; }
    const std::shared_ptr<UILabel>& lblTitle() const { return lblTitle_; }
    const std::shared_ptr<UIView>& rectView() const { return rectView_; }
    // The level image was set this many times (it changes only with the level).
    int levelImageChanges() const { return levelImageChanges_; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void didMoveToSuperview() override;
    void layoutSubviews() override;

    void audioRecorderDidFinishRecording(platform::AVAudioRecorder& recorder, bool successfully) override;
    void audioRecorderEndInterruption(platform::AVAudioRecorder& recorder, unsigned options) override;

    // The error of a recording that produced nothing to send.
    static platform::Error recordError(long code);
    // A free "%05li.wav" name in the temporary folder; empty when there is none.
    static std::string freshWavPath();

private:
    // Ends the recording the view started; true when there was one.
    bool endRecording();
    void centrePanel(bool rounded);
    void reportFailure(long code);
    // Stops the seconds' tick (nullptr: none runs) and keeps this one.
    void setTimer(std::shared_ptr<platform::Timer> timer);
    // The application left the foreground: the clip is abandoned.
    void applicationLeft(const platform::Notification&);

    std::shared_ptr<platform::AVAudioRecorder> recorder_;
    int time_ = 0;
    bool lock_ = false;
    // A recording this view started and has not ended: the recorder may stop
    // by itself (an error, an interruption) and must not go unreported.
    bool active_ = false;
    bool awoken_ = false;
    std::weak_ptr<MessageRecordViewDelegate> delegate_;
    // Subviews of the overlay itself: held strongly, no cycle.
    std::shared_ptr<UIImageView> imgIcon_;
    std::shared_ptr<UILabel> lblTitle_;
    std::shared_ptr<UIView> rectView_;
    int level_ = 0;
    int levelImageChanges_ = 0;
    std::shared_ptr<platform::Timer> timer_;
    std::shared_ptr<platform::Timer> unlockTimer_;
    std::string wavPath_;
    std::string amrPath_;
    // The timers and observations above end with the view.
    Lifetime lifetime_;
};
