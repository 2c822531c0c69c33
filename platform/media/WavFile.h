#pragma once

#include "platform/os/Error.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr std::uint16_t kWavFormatPcm = 1;
inline constexpr std::uint16_t kWavFormatExtensible = 0xFFFE;
// The header a writer produces: RIFF, a 16-byte "fmt " chunk, then "data".
inline constexpr std::size_t kCanonicalWavHeaderBytes = 44;

// Integer PCM as a WAV file describes it.
struct WavFormat {
    std::uint16_t formatTag = kWavFormatPcm;
    std::uint16_t channels = 1;
    std::uint32_t sampleRate = 8000;
    std::uint16_t bitsPerSample = 16;

    std::uint16_t blockAlign() const { return static_cast<std::uint16_t>(channels * ((bitsPerSample + 7) / 8)); }
    std::uint32_t byteRate() const { return sampleRate * blockAlign(); }
    bool operator==(const WavFormat&) const = default;
};

// What the header of a WAV file says and how much of its sound is really there.
struct WavInfo {
    WavFormat format;
    std::uint64_t dataOffset = 0;
    // The data chunk's size as declared, and the whole frames the file holds of it.
    std::uint64_t declaredDataBytes = 0;
    std::uint64_t availableDataBytes = 0;

    // A data chunk that claims more than the file holds: the sound breaks off.
    bool truncated() const { return availableDataBytes < declaredDataBytes; }
    std::uint64_t frameCount() const { return declaredDataBytes / format.blockAlign(); }
    double duration() const;
    double availableDuration() const;
};

// Reads and checks the header by walking the chunks (a "fmt " chunk of any of
// the usual sizes, other chunks before "data" are skipped). nullopt with the
// error for a missing file, a file that is not RIFF/WAVE, a missing "fmt " or
// "data" chunk, or a format other than integer PCM of 8 to 32 bits.
std::optional<WavInfo> readWavInfo(const std::string& path, Error* error = nullptr);

// Reads every whole frame the file holds, as 16-bit interleaved samples
// (8-bit samples are widened, wider ones keep their top 16 bits).
std::optional<std::vector<std::int16_t>> readWavSamples(
    const std::string& path, WavInfo* info = nullptr, Error* error = nullptr);

// Streams 8- or 16-bit PCM into a WAV file with the canonical header. The
// header's sizes are kept right after every write, so a file whose writer
// never finished (a crash, a full disk) still reads as what it holds.
class WavWriter final {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Creates or truncates the file and writes an empty header. Only 8 or
    // 16 bits and 1 or 2 channels are written.
    bool open(const std::string& path, const WavFormat& format, Error* error = nullptr);
    // Appends frames of interleaved 16-bit samples (narrowed for 8-bit files).
    bool write(const std::int16_t* samples, std::size_t frames, Error* error = nullptr);
    // Closes the file; false when the last writes could not be flushed.
    bool close(Error* error = nullptr);

    bool isOpen() const { return file_ != nullptr; }
    std::uint64_t framesWritten() const { return frames_; }
    const std::string& path() const { return path_; }

private:
    bool writeHeader(Error* error);

    std::FILE* file_ = nullptr;
    std::string path_;
    WavFormat format_;
    std::uint64_t frames_ = 0;
};

} // namespace platform
