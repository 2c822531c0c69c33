#include "platform/media/AVAudioRecorder.h"

#include "platform/media/AVAudioSession.h"
#include "platform/media/MediaErrors.h"
#include "platform/media/SampleSource.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Url.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace platform {

namespace {

    constexpr std::size_t kCaptureChunkFrames = 1024;
    // How often the input is taken while nobody asks: a failing input is
    // noticed within this time.
    constexpr double kCaptureInterval = 0.25;

    std::string pathFromUrl(const std::string& url)
    {
        if (url.rfind("file:", 0) == 0) {
            if (auto parsed = Url::parse(url); parsed && parsed->isFileUrl())
                return parsed->path();
        }
        return url;
    }

    float toDb(double level)
    {
        if (level <= 0)
            return kMeterSilenceDb;
        return static_cast<float>(std::clamp(20.0 * std::log10(level / 32768.0), double(kMeterSilenceDb), 0.0));
    }

    // A setting counts when it has the expected kind; otherwise the default holds.
    bool formatFromSettings(const Dictionary& settings, WavFormat& format, Error* error)
    {
        auto number = [&](const char* key, double fallback) {
            const Value& value = settings.get(key);
            return value.isNumber() ? value.doubleValue() : fallback;
        };
        auto flag = [&](const char* key) {
            const Value& value = settings.get(key);
            return (value.isBool() || value.isNumber()) && value.boolValue();
        };
        double formatId = number(AVFormatIDKey, kAudioFormatLinearPCM);
        double rate = number(AVSampleRateKey, 8000);
        double channels = number(AVNumberOfChannelsKey, 1);
        double bits = number(AVLinearPCMBitDepthKey, 16);
        if (formatId != kAudioFormatLinearPCM || flag(AVLinearPCMIsFloatKey) || flag(AVLinearPCMIsBigEndianKey)) {
            setError(error, mediaError(kMediaErrorUnsupportedDataFormat, "only little-endian integer PCM is recorded"));
            return false;
        }
        if (!(rate >= 1000 && rate <= 192000) || (channels != 1 && channels != 2) || (bits != 8 && bits != 16)) {
            setError(error, mediaError(kMediaErrorUnsupportedDataFormat, "unsupported rate, channels or bit depth"));
            return false;
        }
        format.formatTag = kWavFormatPcm;
        format.sampleRate = static_cast<std::uint32_t>(std::lround(rate));
        format.channels = static_cast<std::uint16_t>(channels);
        format.bitsPerSample = static_cast<std::uint16_t>(bits);
        return true;
    }

} // namespace

std::shared_ptr<AVAudioRecorder> AVAudioRecorder::create(
    const std::string& url, const Dictionary& settings, Error* error)
{
    WavFormat format;
    std::string path = pathFromUrl(url);
    if (path.empty()) {
        setError(error, mediaError(kMediaErrorParameter, "no file to record into"));
        return nullptr;
    }
    if (!formatFromSettings(settings, format, error))
        return nullptr;
    std::shared_ptr<AVAudioRecorder> recorder(new AVAudioRecorder());
    recorder->path_ = std::move(path);
    recorder->settings_ = settings;
    recorder->format_ = format;
    recorder->average_.assign(format.channels, kMeterSilenceDb);
    recorder->peak_.assign(format.channels, kMeterSilenceDb);
    std::weak_ptr<AVAudioRecorder> weak = recorder;
    recorder->interruptionObserver_ = NotificationCenter::defaultCenter().addObserver(
        AVAudioSessionInterruptionNotification, {}, [weak](const Notification& note) {
            if (auto self = weak.lock())
                self->interruption(note);
        });
    return recorder;
}

AVAudioRecorder::~AVAudioRecorder()
{
    cancelLimit();
    cancelCaptureTimer();
}

bool AVAudioRecorder::prepareToRecord()
{
    if (recording_ || prepared_)
        return true;
    if (!AVAudioSession::sharedInstance().isInputAvailable())
        return false;
    if (!writer_.open(path_, format_))
        return false;
    prepared_ = true;
    framesCaptured_ = 0;
    recordedBefore_ = 0;
    limit_ = -1;
    setMeteringEnabled(meteringEnabled_);
    return true;
}

bool AVAudioRecorder::record()
{
    if (recording_)
        return true;
    AVAudioSession& session = AVAudioSession::sharedInstance();
    if (!session.allowsRecording() || !session.isInputAvailable() || session.isInterrupted())
        return false;
    if (!prepared_ && !prepareToRecord())
        return false;
    activeSource_ = source_ ? source_ : AudioInput::source();
    segmentStart_ = RunLoop::main().now();
    recording_ = true;
    interrupted_ = false;
    scheduleLimit();
    startCaptureTimer();
    return true;
}

bool AVAudioRecorder::recordForDuration(double seconds)
{
    if (!(seconds > 0) || (!prepared_ && !prepareToRecord()))
        return false;
    double previousLimit = limit_;
    limit_ = recordedSeconds() + seconds;
    if (recording_) {
        scheduleLimit();
        return true;
    }
    if (!record()) {
        limit_ = previousLimit;
        return false;
    }
    return true;
}

void AVAudioRecorder::pause()
{
    if (!recording_)
        return;
    capture();
    if (!recording_) // the input failed while catching up
        return;
    recordedBefore_ = recordedSeconds();
    recording_ = false;
    cancelLimit();
    cancelCaptureTimer();
}

void AVAudioRecorder::stop()
{
    if (!prepared_)
        return;
    capture();
    if (!prepared_)
        return;
    recording_ = false;
    cancelLimit();
    cancelCaptureTimer();
    Error error;
    bool closed = writer_.close(&error);
    prepared_ = false;
    recordedBefore_ = 0;
    limit_ = -1;
    activeSource_.reset();
    finish(closed, closed ? nullptr : &error);
}

bool AVAudioRecorder::deleteRecording()
{
    if (recording_)
        return false;
    if (prepared_) {
        writer_.close();
        prepared_ = false;
        recordedBefore_ = 0;
        limit_ = -1;
    }
    return FileUtil::remove(path_);
}

double AVAudioRecorder::recordedSeconds() const
{
    double seconds = recordedBefore_;
    if (recording_)
        seconds += std::max(0.0, RunLoop::main().now() - segmentStart_);
    return limit_ >= 0 ? std::min(seconds, limit_) : seconds;
}

double AVAudioRecorder::currentTime() const { return prepared_ ? recordedSeconds() : 0; }

void AVAudioRecorder::capture()
{
    if (!recording_)
        return;
    // The small allowance keeps 0.1 s steps of the clock from losing a frame to rounding.
    auto target = static_cast<std::uint64_t>(std::floor(recordedSeconds() * format_.sampleRate + 1e-6));
    std::vector<std::int16_t> buffer;
    while (framesCaptured_ < target) {
        std::size_t frames
            = static_cast<std::size_t>(std::min<std::uint64_t>(kCaptureChunkFrames, target - framesCaptured_));
        buffer.assign(frames * format_.channels, 0);
        if (!activeSource_->read(buffer.data(), frames, format_.channels, static_cast<int>(format_.sampleRate))) {
            fail(mediaError(kMediaErrorInputFailed, "the sound input failed"));
            return;
        }
        Error error;
        if (!writer_.write(buffer.data(), frames, &error)) {
            fail(error);
            return;
        }
        if (meteringEnabled_) {
            for (std::size_t i = 0; i < frames; ++i) {
                for (int c = 0; c < format_.channels; ++c) {
                    int sample = buffer[i * format_.channels + c];
                    meterSumSquares_[c] += double(sample) * sample;
                    meterPeak_[c] = std::max(meterPeak_[c], std::abs(sample));
                }
            }
            meterFrames_ += frames;
        }
        framesCaptured_ += frames;
    }
}

void AVAudioRecorder::fail(const Error& error)
{
    recording_ = false;
    cancelLimit();
    cancelCaptureTimer();
    writer_.close();
    prepared_ = false;
    recordedBefore_ = 0;
    limit_ = -1;
    activeSource_.reset();
    finish(false, &error);
}

void AVAudioRecorder::finish(bool successfully, const Error* error)
{
    std::optional<Error> failure;
    if (error)
        failure = *error;
    auto self = shared_from_this();
    postToMain([self, successfully, failure] {
        auto delegate = self->delegate_.lock();
        if (!delegate)
            return;
        if (failure)
            delegate->audioRecorderEncodeErrorDidOccur(*self, *failure);
        delegate->audioRecorderDidFinishRecording(*self, successfully);
    });
}

void AVAudioRecorder::scheduleLimit()
{
    cancelLimit();
    if (limit_ < 0 || !recording_)
        return;
    std::weak_ptr<AVAudioRecorder> weak = weak_from_this();
    limitTimer_ = RunLoop::main().addTimer(std::max(0.0, limit_ - recordedSeconds()), 0, [weak] {
        if (auto self = weak.lock()) {
            self->limitTimer_ = 0;
            self->stop();
        }
    });
}

void AVAudioRecorder::cancelLimit()
{
    if (limitTimer_)
        RunLoop::main().cancelTimer(limitTimer_);
    limitTimer_ = 0;
}

void AVAudioRecorder::startCaptureTimer()
{
    cancelCaptureTimer();
    std::weak_ptr<AVAudioRecorder> weak = weak_from_this();
    captureTimer_ = RunLoop::main().addTimer(kCaptureInterval, kCaptureInterval, [weak] {
        if (auto self = weak.lock())
            self->capture();
    });
}

void AVAudioRecorder::cancelCaptureTimer()
{
    if (captureTimer_)
        RunLoop::main().cancelTimer(captureTimer_);
    captureTimer_ = 0;
}

void AVAudioRecorder::setMeteringEnabled(bool enabled)
{
    meteringEnabled_ = enabled;
    meterSumSquares_.assign(format_.channels, 0);
    meterPeak_.assign(format_.channels, 0);
    meterFrames_ = 0;
    average_.assign(format_.channels, kMeterSilenceDb);
    peak_.assign(format_.channels, kMeterSilenceDb);
}

void AVAudioRecorder::updateMeters()
{
    if (!meteringEnabled_)
        return;
    capture();
    // Nothing new since the last update: the meters keep their reading.
    if (!meterFrames_)
        return;
    for (int c = 0; c < format_.channels; ++c) {
        average_[c] = toDb(std::sqrt(meterSumSquares_[c] / double(meterFrames_)));
        peak_[c] = toDb(meterPeak_[c]);
        meterSumSquares_[c] = 0;
        meterPeak_[c] = 0;
    }
    meterFrames_ = 0;
}

float AVAudioRecorder::averagePowerForChannel(int channel) const
{
    if (!meteringEnabled_ || channel < 0 || channel >= format_.channels)
        return kMeterSilenceDb;
    return average_[channel];
}

float AVAudioRecorder::peakPowerForChannel(int channel) const
{
    if (!meteringEnabled_ || channel < 0 || channel >= format_.channels)
        return kMeterSilenceDb;
    return peak_[channel];
}

void AVAudioRecorder::interruption(const Notification& note)
{
    auto type
        = static_cast<AVAudioSessionInterruptionType>(note.userInfo.get(AVAudioSessionInterruptionTypeKey).intValue());
    auto self = shared_from_this();
    if (type == AVAudioSessionInterruptionType::Began) {
        if (!recording_)
            return;
        pause();
        interrupted_ = true;
        if (auto delegate = delegate_.lock())
            delegate->audioRecorderBeginInterruption(*this);
    } else if (interrupted_) {
        interrupted_ = false;
        unsigned options = static_cast<unsigned>(note.userInfo.get(AVAudioSessionInterruptionOptionKey).intValue());
        if (auto delegate = delegate_.lock())
            delegate->audioRecorderEndInterruption(*this, options);
    }
}

} // namespace platform
