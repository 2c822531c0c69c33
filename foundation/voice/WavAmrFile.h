#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace foundation {

// File routines behind VoiceFileConverter: 8000 Hz PCM WAV files and AMR-NB
// files in the single-channel storage format ("#!AMR\n" then frames). Both
// conversions stream one 20 ms frame at a time.

inline constexpr int kPcmFrameSamples = 160; // 20 ms at 8000 Hz
inline constexpr int kAmrMaxFrameBytes = 32; // a 12.2 kbit/s frame with its header byte
inline constexpr int kWavHeaderBytes = 48;
inline constexpr char kAmrMagic[] = "#!AMR\n";
inline constexpr std::size_t kAmrMagicBytes = 6;
// The longest voice message: the recorder stops there. A clip read for
// playback is cut a second past it (the recorder's tick may run late),
// whatever its file holds: a frame of one byte gives 320 bytes of samples
// and a slice of the decoder's time, so a file of a megabyte could
// otherwise take hours of samples and seconds of work.
inline constexpr int kLongestClipSeconds = 120;
inline constexpr std::size_t kLongestClipFrames = std::size_t(kLongestClipSeconds + 1) * (8000 / kPcmFrameSamples);
// The largest AMR file such a clip can be: every frame of the highest mode.
inline constexpr std::size_t kLongestClipFileBytes = kAmrMagicBytes + kLongestClipFrames * kAmrMaxFrameBytes;

// Total size of a stored AMR frame, header byte included, from the frame type
// in bits 3 to 6 of its header byte; 0 for the types a file cannot hold.
int amrFrameSize(unsigned char header);

// What a WAV file's format chunk says (all zero when it has none).
struct WavFormat {
    int formatTag = 0; // 1 for PCM; WAVE_FORMAT_EXTENSIBLE reads as its sub-format's tag
    int channels = 0;
    std::uint32_t sampleRate = 0;
    int blockAlign = 0;
    int bits = 0;
};

// Positions the file at its first sample: checks the RIFF/WAVE header, then
// walks the chunks by their declared sizes (and pad bytes) until "data".
// False when the file ends first. dataSize receives the data chunk's size,
// format what the last format chunk before it says.
bool wavReadHeader(std::FILE* file, std::uint32_t* dataSize = nullptr, WavFormat* format = nullptr);

// Whether the samples are what the converter reads as asked: PCM at 8000 Hz,
// with the channel count (1, or 2 for the recorder's own stereo files) and the
// sample width (16, or 8 bits) the caller gives. A 44.1 kHz, a float or a
// 24-bit file, or one whose channels or width differ from the call's, would
// otherwise convert "successfully" into AMR of the wrong length or noise.
bool wavFormatIsReadable(const WavFormat& format, int channels, int bits);

// Reads one frame of 160 mono samples from interleaved samples of the given
// channel count (1 or 2) and width (8 or 16 bits). The result is the number of
// items read (bytes for 8 bits, samples for 16), or 0 when a whole frame was
// not there or the format is not supported. When remaining is given, reading
// stays inside that many bytes and counts them down.
int wavReadFrame(
    std::int16_t frame[kPcmFrameSamples], std::FILE* file, int channels, int bits, std::uint32_t* remaining = nullptr);

// Converts a WAV file into a 12.2 kbit/s AMR file; the number of frames
// written, 0 when the file's format is not readable as asked (see above).
// The destination is replaced only by a conversion that gives frames; on 0 a
// file already there is left as it was.
std::size_t wavToAmrFile(const char* wavPath, const char* amrPath, int channels, int bits);

// Writes the 48-byte header of a mono 16-bit 8000 Hz file of that many frames.
bool wavWriteHeader(std::FILE* file, std::uint32_t frames);

// Read one whole AMR frame (header byte first) into frame; non-zero when a
// whole frame of a valid type was read. Each frame carries its own type, so
// files that change mode, or hold comfort-noise and no-data frames, read right.
int amrReadFirstFrame(std::FILE* file, unsigned char frame[kAmrMaxFrameBytes], int* frameSize, unsigned char* header);
int amrReadFrame(std::FILE* file, unsigned char frame[kAmrMaxFrameBytes], int* frameSize, unsigned char* header);

// Converts an AMR file into a mono 16-bit WAV file of at most longestFrames
// frames (the rest of a longer file is not read); the number of frames
// written, 0 on failure (which leaves a file already at the destination as it was).
std::size_t amrToWavFile(const char* amrPath, const char* wavPath, std::size_t longestFrames = kLongestClipFrames);

} // namespace foundation
