#include "platform/host/HostAudio.h"

#include "platform/media/SampleSource.h"
#include "platform/media/SoundOutput.h"
#include "platform/media/WavFile.h"
#include "platform/os/Log.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <dlfcn.h>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

namespace platform::host {

namespace {

    constexpr int kRate = HostAudio::kSampleRate;
    // Samples per device buffer: 32 ms, short enough that a tap's click is not late.
    constexpr Uint16 kBufferFrames = 256;

    double steadySeconds()
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }

    // The clip as the device takes it: one channel at the device's rate.
    std::vector<std::int16_t> toDeviceFormat(
        const std::vector<std::int16_t>& interleaved, const WavFormat& format, std::uint64_t fromFrame)
    {
        std::vector<std::int16_t> mono;
        int channels = std::max<int>(1, format.channels);
        std::size_t frames = interleaved.size() / std::size_t(channels);
        if (fromFrame >= frames)
            return mono;
        mono.reserve(frames - fromFrame);
        for (std::size_t f = fromFrame; f < frames; ++f) {
            long sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += interleaved[f * std::size_t(channels) + std::size_t(c)];
            mono.push_back(static_cast<std::int16_t>(sum / channels));
        }
        if (format.sampleRate == 0 || format.sampleRate == std::uint32_t(kRate))
            return mono;
        // Linear interpolation is enough for speech clips of another rate.
        double step = double(format.sampleRate) / kRate;
        std::size_t outFrames = std::size_t(double(mono.size()) / step);
        std::vector<std::int16_t> out(outFrames);
        for (std::size_t i = 0; i < outFrames; ++i) {
            double at = double(i) * step;
            auto left = std::size_t(at);
            auto right = std::min(left + 1, mono.size() - 1);
            double t = at - double(left);
            out[i] = static_cast<std::int16_t>(std::lround(mono[left] * (1 - t) + mono[right] * t));
        }
        return out;
    }

    SDL_AudioDeviceID openDevice(bool capture, SDL_AudioCallback callback, void* userdata, std::string* reason)
    {
        SDL_AudioSpec want {};
        want.freq = kRate;
        want.format = AUDIO_S16SYS;
        want.channels = 1;
        want.samples = kBufferFrames;
        want.callback = callback;
        want.userdata = userdata;
        SDL_AudioSpec have {};
        // No changes allowed: SDL converts when the device wants another format.
        SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, capture ? 1 : 0, &want, &have, 0);
        if (device == 0 && reason)
            *reason = SDL_GetError();
        return device;
    }

    // The sound library SDL talks to reports every card and plugin it fails
    // to find straight to stderr: a dozen lines on a machine without sound,
    // for an absence that is no failure here. Its reports go to our log
    // instead, beside the reason the host logs for staying silent.
    void alsaReport(const char* file, int line, const char* function, int err, const char* format, ...)
    {
        char text[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        if (err)
            log("ALSA: %s (error %d; %s:%d %s)\n", text, err, file ? file : "", line, function ? function : "");
        else
            log("ALSA: %s (%s:%d %s)\n", text, file ? file : "", line, function ? function : "");
    }

    void routeAlsaReports()
    {
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        static bool routed = false;
        if (routed)
            return;
        routed = true;
        // The library SDL loads by name when it opens ALSA: the same copy, kept
        // loaded for good so that the handler stays installed.
        void* library = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return;
        auto setHandler = reinterpret_cast<int (*)(Handler)>(dlsym(library, "snd_lib_error_set_handler"));
        if (setHandler)
            setHandler(&alsaReport);
    }

} // namespace

// Mixes every playing voice into the device's stream. The device runs from
// the start and plays silence while no voice sounds.
class SdlSoundOutput final : public SoundOutput {
public:
    bool open(std::string* reason)
    {
        device_ = openDevice(false, &SdlSoundOutput::callback, this, reason);
        if (device_ == 0)
            return false;
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    void close()
    {
        if (device_ != 0)
            SDL_CloseAudioDevice(device_);
        device_ = 0;
        std::lock_guard lock(mutex_);
        voices_.clear();
    }

    ~SdlSoundOutput() override { close(); }

    void play(const void* voice, const std::string& path, const WavFormat& format, std::uint64_t fromFrame,
        float volume) override
    {
        WavInfo info;
        Error error;
        auto samples = readWavSamples(path, &info, &error);
        if (!samples) {
            log("HostAudio: cannot play %s: %s\n", path.c_str(), error.localizedDescription().c_str());
            stop(voice);
            return;
        }
        (void)format;
        auto mono = toDeviceFormat(*samples, info.format, fromFrame);
        std::lock_guard lock(mutex_);
        voices_[voice] = Voice { std::move(mono), 0, std::clamp(volume, 0.0f, 1.0f) };
    }

    void stop(const void* voice) override
    {
        std::lock_guard lock(mutex_);
        voices_.erase(voice);
    }

    void setVolume(const void* voice, float volume) override
    {
        std::lock_guard lock(mutex_);
        if (auto it = voices_.find(voice); it != voices_.end())
            it->second.volume = std::clamp(volume, 0.0f, 1.0f);
    }

private:
    struct Voice {
        std::vector<std::int16_t> samples;
        std::size_t position = 0;
        float volume = 1;
    };

    static void callback(void* userdata, Uint8* stream, int length)
    {
        static_cast<SdlSoundOutput*>(userdata)->mix(reinterpret_cast<std::int16_t*>(stream), std::size_t(length) / 2);
    }

    void mix(std::int16_t* out, std::size_t frames)
    {
        mixBuffer_.assign(frames, 0);
        {
            std::lock_guard lock(mutex_);
            for (auto it = voices_.begin(); it != voices_.end();) {
                auto& voice = it->second;
                std::size_t n = std::min(frames, voice.samples.size() - voice.position);
                for (std::size_t i = 0; i < n; ++i) {
                    std::int32_t s = voice.samples[voice.position + i];
                    mixBuffer_[i] += voice.volume >= 1.0f ? s : std::int32_t(std::lround(s * voice.volume));
                }
                voice.position += n;
                if (voice.position >= voice.samples.size())
                    it = voices_.erase(it);
                else
                    ++it;
            }
        }
        for (std::size_t i = 0; i < frames; ++i)
            out[i] = static_cast<std::int16_t>(std::clamp<std::int32_t>(mixBuffer_[i], -32768, 32767));
    }

    SDL_AudioDeviceID device_ = 0;
    std::mutex mutex_;
    std::map<const void*, Voice> voices_;
    std::vector<std::int32_t> mixBuffer_; // audio thread only
};

// The capture device as a recorder's sample source. It opens on the first
// read (a recording starting), so nothing listens before anyone records.
// Recorders take samples by their clock in bursts, the device delivers them
// in its own buffers a little later: a run starts with a tenth of a second
// of silence, so that the device's buffering shows as silence before the
// sound rather than as gaps inside it. A device slower than the clock would
// still leave short gaps after a long while.
class SdlCaptureSource final : public SampleSource {
public:
    // A read after this long without one starts a new run (older sound is dropped).
    static constexpr double kStaleSeconds = 1.0;
    static constexpr std::size_t kCushionFrames = kRate / 10;
    static constexpr std::size_t kMaxBufferedFrames = kRate * 4;

    ~SdlCaptureSource() override { close(); }

    bool probe(std::string* reason)
    {
        // Whether a capture device exists at all; it is opened for real on the first read.
        if (SDL_GetNumAudioDevices(1) > 0)
            return true;
        // Some drivers (the file-backed one) list no device but still open the default.
        SDL_AudioDeviceID device = openDevice(true, &SdlCaptureSource::callback, this, reason);
        if (device == 0)
            return false;
        SDL_CloseAudioDevice(device);
        return true;
    }

    void close()
    {
        if (device_ != 0)
            SDL_CloseAudioDevice(device_);
        device_ = 0;
        failed_ = false;
        std::lock_guard lock(mutex_);
        buffer_.clear();
    }

    bool read(std::int16_t* out, std::size_t frames, int channels, int sampleRate) override
    {
        if (!out || frames == 0 || channels <= 0)
            return true;
        std::fill(out, out + frames * std::size_t(channels), std::int16_t(0));
        if (failed_)
            return false;
        double now = steadySeconds();
        bool stale = now - lastRead_ > kStaleSeconds;
        lastRead_ = now;
        if (device_ == 0) {
            std::string reason;
            device_ = openDevice(true, &SdlCaptureSource::callback, this, &reason);
            if (device_ == 0) {
                log("HostAudio: the capture device did not open: %s\n", reason.c_str());
                failed_ = true;
                return false;
            }
            SDL_PauseAudioDevice(device_, 0);
            delivering_ = false;
            return true; // silence while the device starts
        }
        // Frames of the device's rate that stand for the frames asked.
        std::size_t wanted = sampleRate == kRate || sampleRate <= 0
            ? frames
            : std::max<std::size_t>(1, std::size_t(double(frames) * kRate / sampleRate));
        std::vector<std::int16_t> taken(wanted, 0);
        {
            std::lock_guard lock(mutex_);
            if (stale) {
                buffer_.clear();
                delivering_ = false;
            }
            // Until the device delivers, only silence; from its first sound on,
            // the lead-in comes first, so that the device is never behind the clock.
            if (!delivering_ && !buffer_.empty()) {
                delivering_ = true;
                leadIn_ = kCushionFrames;
            }
            if (delivering_) {
                std::size_t at = std::min(wanted, leadIn_);
                leadIn_ -= at;
                std::size_t take = std::min(wanted - at, buffer_.size());
                std::copy_n(buffer_.begin(), take, taken.begin() + std::ptrdiff_t(at));
                buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(take));
            }
        }
        for (std::size_t f = 0; f < frames; ++f) {
            std::size_t from = wanted == frames ? f : std::min(wanted - 1, f * wanted / frames);
            for (int c = 0; c < channels; ++c)
                out[f * std::size_t(channels) + std::size_t(c)] = taken[from];
        }
        return true;
    }

private:
    static void callback(void* userdata, Uint8* stream, int length)
    {
        auto* self = static_cast<SdlCaptureSource*>(userdata);
        auto* samples = reinterpret_cast<const std::int16_t*>(stream);
        std::size_t count = std::size_t(length) / 2;
        std::lock_guard lock(self->mutex_);
        self->buffer_.insert(self->buffer_.end(), samples, samples + count);
        if (self->buffer_.size() > kMaxBufferedFrames)
            self->buffer_.erase(self->buffer_.begin(),
                self->buffer_.begin() + std::ptrdiff_t(self->buffer_.size() - kMaxBufferedFrames));
    }

    SDL_AudioDeviceID device_ = 0;
    bool failed_ = false;
    bool delivering_ = false; // guarded by mutex_
    std::size_t leadIn_ = 0; // frames of silence still to give before the device's sound; guarded by mutex_
    double lastRead_ = 0;
    std::mutex mutex_;
    std::deque<std::int16_t> buffer_;
};

HostAudio::HostAudio() = default;

HostAudio::~HostAudio() { stop(); }

bool HostAudio::start(std::string* reason)
{
    if (audioUp_)
        return output_ || input_;
    routeAlsaReports();
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        if (reason)
            *reason = std::string("no sound: ") + SDL_GetError();
        return false;
    }
    audioUp_ = true;
    std::string outputReason;
    auto output = std::make_shared<SdlSoundOutput>();
    if (output->open(&outputReason)) {
        output_ = output;
        SoundOutput::setCurrent(output_);
    }
    std::string inputReason;
    auto input = std::make_shared<SdlCaptureSource>();
    if (input->probe(&inputReason)) {
        input_ = input;
        AudioInput::setSource(input_);
    }
    if (!output_ && !input_) {
        if (reason)
            *reason = "no sound device: " + outputReason;
        stop();
        return false;
    }
    return true;
}

void HostAudio::stop()
{
    if (output_) {
        if (SoundOutput::current() == output_)
            SoundOutput::setCurrent(nullptr);
        output_->close();
        output_.reset();
    }
    if (input_) {
        if (AudioInput::source() == input_)
            AudioInput::setSource(nullptr);
        input_->close();
        input_.reset();
    }
    if (audioUp_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        audioUp_ = false;
    }
}

} // namespace platform::host
