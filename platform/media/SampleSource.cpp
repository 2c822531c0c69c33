#include "platform/media/SampleSource.h"

#include "platform/media/WavFile.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numbers>

namespace platform {

ToneSampleSource::ToneSampleSource(double frequencyHz, double peakDbfs)
    : frequency_(frequencyHz)
    , amplitude_(0)
{
    setLevel(peakDbfs);
}

void ToneSampleSource::setLevel(double peakDbfs)
{
    amplitude_ = std::min(32767.0, 32768.0 * std::pow(10.0, peakDbfs / 20.0));
}

bool ToneSampleSource::read(std::int16_t* out, std::size_t frames, int channels, int sampleRate)
{
    double step = sampleRate > 0 ? frequency_ / sampleRate : 0;
    for (std::size_t i = 0; i < frames; ++i) {
        auto sample = static_cast<std::int16_t>(std::lround(amplitude_ * std::sin(2 * std::numbers::pi * phase_)));
        for (int c = 0; c < channels; ++c)
            out[i * channels + c] = sample;
        phase_ += step;
        phase_ -= std::floor(phase_);
    }
    return true;
}

BufferSampleSource::BufferSampleSource(std::vector<std::int16_t> samples, int channels, AtEnd atEnd)
    : samples_(std::move(samples))
    , channels_(std::max(1, channels))
    , atEnd_(atEnd)
{
    samples_.resize(samples_.size() - samples_.size() % channels_);
}

std::shared_ptr<BufferSampleSource> BufferSampleSource::fromWavFile(const std::string& path, AtEnd atEnd, Error* error)
{
    WavInfo info;
    auto samples = readWavSamples(path, &info, error);
    if (!samples)
        return nullptr;
    return std::make_shared<BufferSampleSource>(std::move(*samples), info.format.channels, atEnd);
}

bool BufferSampleSource::read(std::int16_t* out, std::size_t frames, int channels, int)
{
    std::size_t total = samples_.size() / channels_;
    for (std::size_t i = 0; i < frames; ++i) {
        if (position_ >= total && atEnd_ == AtEnd::Loop && total > 0)
            position_ = 0;
        if (position_ >= total) {
            if (atEnd_ == AtEnd::Fail)
                return false;
            std::fill(out + i * channels, out + frames * channels, std::int16_t { 0 });
            return true;
        }
        const std::int16_t* frame = samples_.data() + position_ * channels_;
        if (channels_ >= channels && channels_ > 1 && channels == 1) {
            long sum = 0;
            for (int c = 0; c < channels_; ++c)
                sum += frame[c];
            out[i] = static_cast<std::int16_t>(sum / channels_);
        } else {
            for (int c = 0; c < channels; ++c)
                out[i * channels + c] = frame[std::min(c, channels_ - 1)];
        }
        ++position_;
    }
    return true;
}

namespace {
    std::mutex inputMutex;
    std::shared_ptr<SampleSource>& inputSource()
    {
        static std::shared_ptr<SampleSource> source;
        return source;
    }
}

std::shared_ptr<SampleSource> AudioInput::source()
{
    std::lock_guard lock(inputMutex);
    auto& source = inputSource();
    if (!source)
        source = std::make_shared<ToneSampleSource>();
    return source;
}

void AudioInput::setSource(std::shared_ptr<SampleSource> source)
{
    std::lock_guard lock(inputMutex);
    inputSource() = std::move(source);
}

} // namespace platform
