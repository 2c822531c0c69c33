#pragma once

#include "platform/os/Error.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Where a recorder's sound comes from: there is no microphone, so recordings
// are made from generated or given samples.
class SampleSource {
public:
    virtual ~SampleSource() = default;
    // Fills frames × channels interleaved samples taken at sampleRate. False
    // when the input failed (the recorder then stops with an error); a source
    // with nothing more to give fills silence, as a quiet microphone would.
    virtual bool read(std::int16_t* out, std::size_t frames, int channels, int sampleRate) = 0;
};

// A sine tone of one frequency and level, the same in every channel, with a
// continuous phase across reads.
class ToneSampleSource final : public SampleSource {
public:
    // peakDbfs: the tone's peak level relative to full scale (0 is full scale).
    explicit ToneSampleSource(double frequencyHz = 440, double peakDbfs = -12);
    bool read(std::int16_t* out, std::size_t frames, int channels, int sampleRate) override;

    void setLevel(double peakDbfs);
    double frequency() const { return frequency_; }
    double amplitude() const { return amplitude_; }

private:
    double frequency_;
    double amplitude_;
    double phase_ = 0; // in cycles, kept within [0, 1)
};

// Given samples, taken in order. Samples with fewer channels than asked are
// copied into every channel; with more, the channels are averaged.
class BufferSampleSource final : public SampleSource {
public:
    enum class AtEnd { Silence, Loop, Fail };

    explicit BufferSampleSource(std::vector<std::int16_t> samples, int channels = 1, AtEnd atEnd = AtEnd::Silence);
    // A WAV file's samples, taken as they are (no rate conversion); nullptr with the error.
    static std::shared_ptr<BufferSampleSource> fromWavFile(
        const std::string& path, AtEnd atEnd = AtEnd::Silence, Error* error = nullptr);

    bool read(std::int16_t* out, std::size_t frames, int channels, int sampleRate) override;
    // Frames handed out so far.
    std::size_t position() const { return position_; }

private:
    std::vector<std::int16_t> samples_;
    int channels_;
    AtEnd atEnd_;
    std::size_t position_ = 0;
};

// The device's sound input: the source a recorder uses unless it was given
// its own. Tests and the demo replace it; the default is a steady tone.
class AudioInput final {
public:
    AudioInput() = delete;
    static std::shared_ptr<SampleSource> source();
    // nullptr restores the default tone.
    static void setSource(std::shared_ptr<SampleSource> source);
};

} // namespace platform
