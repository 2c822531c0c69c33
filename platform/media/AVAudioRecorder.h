#pragma once

#include "platform/media/WavFile.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Value.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class SampleSource;
class AVAudioRecorder;

// Keys of a recorder's settings.
inline constexpr const char* AVFormatIDKey = "AVFormatIDKey";
inline constexpr const char* AVSampleRateKey = "AVSampleRateKey";
inline constexpr const char* AVNumberOfChannelsKey = "AVNumberOfChannelsKey";
inline constexpr const char* AVLinearPCMBitDepthKey = "AVLinearPCMBitDepthKey";
inline constexpr const char* AVLinearPCMIsBigEndianKey = "AVLinearPCMIsBigEndianKey";
inline constexpr const char* AVLinearPCMIsFloatKey = "AVLinearPCMIsFloatKey";
inline constexpr const char* AVEncoderAudioQualityKey = "AVEncoderAudioQualityKey";
inline constexpr std::uint32_t kAudioFormatLinearPCM = 0x6C70636D; // lpcm

// The level a meter reads for silence, in dB relative to full scale.
inline constexpr float kMeterSilenceDb = -160.0f;

class AVAudioRecorderDelegate {
public:
    virtual ~AVAudioRecorderDelegate() = default;
    virtual void audioRecorderDidFinishRecording(AVAudioRecorder&, bool /*successfully*/) { }
    virtual void audioRecorderEncodeErrorDidOccur(AVAudioRecorder&, const Error&) { }
    virtual void audioRecorderBeginInterruption(AVAudioRecorder&) { }
    virtual void audioRecorderEndInterruption(AVAudioRecorder&, unsigned /*options*/) { }
};

// Records linear PCM into a WAV file. There is no microphone: while
// recording, the recorder takes as many frames from its sample source as the
// main loop's clock says have passed (so a manual clock makes recordings of
// exact lengths), writing them in quarter-second buffers as time passes and
// whenever it is asked for its time or meters. Main thread only.
class AVAudioRecorder final : public Object, public std::enable_shared_from_this<AVAudioRecorder> {
public:
    // url: a path or a "file://" URL. Settings missing from the dictionary
    // take 8000 Hz, one channel, 16 bits. Only little-endian integer linear
    // PCM of 8 or 16 bits in one or two channels is recorded; anything else
    // gives nullptr with the error.
    static std::shared_ptr<AVAudioRecorder> create(
        const std::string& url, const Dictionary& settings, Error* error = nullptr);
    ~AVAudioRecorder() override;

    const std::string& url() const { return path_; }
    const Dictionary& settings() const { return settings_; }
    const WavFormat& format() const { return format_; }

    void setDelegate(std::weak_ptr<AVAudioRecorderDelegate> delegate) { delegate_ = std::move(delegate); }
    // Replaces the device input for this recorder only.
    void setSampleSource(std::shared_ptr<SampleSource> source) { source_ = std::move(source); }

    // Creates (or truncates) the file. False when the device has no sound
    // input or the file cannot be created.
    bool prepareToRecord();
    // Starts or resumes; prepares first when needed. False unless the session's
    // category allows recording.
    bool record();
    // Records until this much more time has been recorded, then stops by itself.
    bool recordForDuration(double seconds);
    void pause();
    // Ends the file; the delegate hears that recording finished on the main loop.
    void stop();
    // Removes the file; refused while recording.
    bool deleteRecording();

    bool isRecording() const { return recording_; }
    // Seconds recorded into the current file; 0 once stopped.
    double currentTime() const;

    bool isMeteringEnabled() const { return meteringEnabled_; }
    void setMeteringEnabled(bool enabled);
    // Measures what was recorded since the previous update.
    void updateMeters();
    // dB relative to full scale, from kMeterSilenceDb to 0. A channel the
    // recorder does not have, or disabled metering, reads silence.
    float averagePowerForChannel(int channel) const;
    float peakPowerForChannel(int channel) const;

    std::string className() const override { return "AVAudioRecorder"; }

private:
    AVAudioRecorder() = default;
    double recordedSeconds() const;
    // Takes from the source every frame due by now.
    void capture();
    void fail(const Error& error);
    void finish(bool successfully, const Error* error);
    void scheduleLimit();
    void cancelLimit();
    void startCaptureTimer();
    void cancelCaptureTimer();
    void interruption(const Notification& note);

    std::string path_;
    Dictionary settings_;
    WavFormat format_;
    std::weak_ptr<AVAudioRecorderDelegate> delegate_;
    std::shared_ptr<SampleSource> source_;
    std::shared_ptr<SampleSource> activeSource_;
    WavWriter writer_;
    bool prepared_ = false;
    bool recording_ = false;
    bool interrupted_ = false;
    double segmentStart_ = 0;
    double recordedBefore_ = 0; // seconds recorded before the current run
    double limit_ = -1; // total seconds at which recordForDuration stops; negative: none
    std::uint64_t framesCaptured_ = 0;
    RunLoop::TimerId limitTimer_ = 0;
    RunLoop::TimerId captureTimer_ = 0;
    ObserverToken interruptionObserver_;

    bool meteringEnabled_ = false;
    std::vector<double> meterSumSquares_;
    std::vector<int> meterPeak_;
    std::uint64_t meterFrames_ = 0;
    std::vector<float> average_;
    std::vector<float> peak_;
};

} // namespace platform
