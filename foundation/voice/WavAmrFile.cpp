#include "foundation/voice/WavAmrFile.h"

#include "platform/os/Log.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <opencore-amrnb/interf_dec.h>
#include <opencore-amrnb/interf_enc.h>
#include <unistd.h>

namespace foundation {

namespace {

    // Stored frame sizes by frame type, header byte included (RFC 4867 section 5.3,
    // 3GPP TS 26.101): types 0 to 7 are the speech modes, 8 the comfort-noise
    // frame, 15 "no data". Types 9 to 14 cannot appear in an AMR-NB file.
    constexpr int kWaveFormatPcm = 1;
    constexpr int kWaveFormatExtensible = 0xFFFE;

    constexpr int kFrameSizes[16] = { 13, 14, 16, 18, 20, 21, 27, 32, 6, 0, 0, 0, 0, 0, 0, 1 };

    // The largest frame count whose sample bytes still fit the header's 32-bit sizes.
    constexpr std::size_t kMaxWavFrames = (0xFFFFFFFFu - (kWavHeaderBytes - 8)) / (kPcmFrameSamples * 2);

    std::uint32_t readLe32(const unsigned char* p)
    {
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
            | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }

    void putLe32(unsigned char* p, std::uint32_t value)
    {
        p[0] = static_cast<unsigned char>(value);
        p[1] = static_cast<unsigned char>(value >> 8);
        p[2] = static_cast<unsigned char>(value >> 16);
        p[3] = static_cast<unsigned char>(value >> 24);
    }

    void putLe16(unsigned char* p, std::uint16_t value)
    {
        p[0] = static_cast<unsigned char>(value);
        p[1] = static_cast<unsigned char>(value >> 8);
    }

    // Closes a stdio file when it goes out of scope; close() reports the result
    // for files whose buffered writes must be checked.
    class File final {
    public:
        File(const char* path, const char* mode)
            : file_(path ? std::fopen(path, mode) : nullptr)
        {
        }
        ~File() { close(); }
        File(const File&) = delete;
        File& operator=(const File&) = delete;

        std::FILE* get() const { return file_; }
        explicit operator bool() const { return file_ != nullptr; }
        bool close()
        {
            std::FILE* file = file_;
            file_ = nullptr;
            return !file || std::fclose(file) == 0;
        }

    private:
        std::FILE* file_;
    };

    // A file written beside its destination under a name of its own and
    // renamed over the destination only once it is whole: a conversion that
    // fails, or never starts, leaves what was at the destination as it was.
    class OutputFile final {
    public:
        explicit OutputFile(const char* path)
        {
            if (!path || !*path)
                return;
            static std::atomic<unsigned> serial { 0 };
            for (int attempt = 0; attempt < 8 && fd_ < 0; ++attempt) {
                temporary_ = std::string(path) + ".part-" + std::to_string(::getpid()) + "-"
                    + std::to_string(serial.fetch_add(1));
                // O_EXCL: never through a link or over another writer's file.
                fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
                if (fd_ < 0 && errno != EEXIST)
                    break;
            }
            if (fd_ < 0)
                return;
            file_ = ::fdopen(fd_, "wb");
            if (file_)
                fd_ = -1;
            destination_ = path;
        }
        ~OutputFile()
        {
            if (file_)
                std::fclose(file_);
            if (fd_ >= 0)
                ::close(fd_);
            if (!destination_.empty())
                ::unlink(temporary_.c_str());
        }
        OutputFile(const OutputFile&) = delete;
        OutputFile& operator=(const OutputFile&) = delete;

        std::FILE* get() const { return file_; }
        explicit operator bool() const { return file_ != nullptr; }

        // Closes the file and puts it in the destination's place.
        bool commit()
        {
            std::FILE* file = file_;
            file_ = nullptr;
            if (!file || std::fclose(file) != 0)
                return false;
            if (std::rename(temporary_.c_str(), destination_.c_str()) != 0)
                return false;
            destination_.clear();
            return true;
        }

    private:
        std::string temporary_;
        std::string destination_; // empty once renamed (or when nothing was created)
        std::FILE* file_ = nullptr;
        int fd_ = -1;
    };

} // namespace

int amrFrameSize(unsigned char header) { return kFrameSizes[(header >> 3) & 0x0F]; }

bool wavReadHeader(std::FILE* file, std::uint32_t* dataSize, WavFormat* format)
{
    if (format)
        *format = WavFormat {};
    if (!file)
        return false;
    unsigned char riff[12];
    if (std::fread(riff, 1, sizeof riff, file) != sizeof riff)
        return false;
    if (std::memcmp(riff, "RIFF", 4) || std::memcmp(riff + 8, "WAVE", 4))
        return false;
    // Every chunk, the format chunk included, is skipped by its declared size:
    // format chunks of 16, 18, 20 or 40 bytes all occur, and so do LIST or
    // fact chunks before the samples. Each step reads 8 more bytes of the
    // file, so the walk ends at the end of the file at the latest.
    for (;;) {
        unsigned char chunk[8];
        if (std::fread(chunk, 1, sizeof chunk, file) != sizeof chunk)
            return false;
        const std::uint32_t size = readLe32(chunk + 4);
        if (!std::memcmp(chunk, "data", 4)) {
            if (dataSize)
                *dataSize = size;
            return true;
        }
        std::uint32_t read = 0;
        if (format && !std::memcmp(chunk, "fmt ", 4) && size >= 16) {
            // The common 16 bytes, and the extensible form's sub-format tag.
            unsigned char body[26];
            read = size >= 26 ? 26 : 16;
            if (std::fread(body, 1, read, file) != read)
                return false;
            *format = WavFormat {};
            format->formatTag = body[0] | (body[1] << 8);
            format->channels = body[2] | (body[3] << 8);
            format->sampleRate = readLe32(body + 4);
            format->blockAlign = body[12] | (body[13] << 8);
            format->bits = body[14] | (body[15] << 8);
            if (format->formatTag == kWaveFormatExtensible)
                format->formatTag = read == 26 ? body[24] | (body[25] << 8) : 0;
        }
        // chunks are padded to even sizes
        const long skip = static_cast<long>(size) + (size & 1) - static_cast<long>(read);
        if (std::fseek(file, skip, SEEK_CUR))
            return false;
    }
}

bool wavFormatIsReadable(const WavFormat& format, int channels, int bits)
{
    return format.formatTag == kWaveFormatPcm && format.sampleRate == 8000 && format.channels == channels
        && format.bits == bits && (channels == 1 || channels == 2) && (bits == 8 || bits == 16)
        && format.blockAlign == channels * bits / 8;
}

int wavReadFrame(
    std::int16_t frame[kPcmFrameSamples], std::FILE* file, int channels, int bits, std::uint32_t* remaining)
{
    if (!file || (channels != 1 && channels != 2) || (bits != 8 && bits != 16))
        return 0;
    const std::size_t items = static_cast<std::size_t>(kPcmFrameSamples * channels);
    const std::size_t itemBytes = static_cast<std::size_t>(bits / 8);
    if (remaining && *remaining < items * itemBytes)
        return 0;
    unsigned char buffer[kPcmFrameSamples * 2 * 2];
    const std::size_t got = std::fread(buffer, itemBytes, items, file);
    if (remaining)
        *remaining -= static_cast<std::uint32_t>(got * itemBytes);
    if (got < items)
        return 0; // a last, incomplete frame is dropped

    if (bits == 8) {
        // 8-bit WAV samples are unsigned with 128 as silence.
        for (int i = 0; i < kPcmFrameSamples; ++i) {
            const int sample = buffer[i * channels];
            frame[i] = static_cast<std::int16_t>((sample - 128) * 256);
        }
    } else {
        for (int i = 0; i < kPcmFrameSamples; ++i) {
            const unsigned char* p = buffer + i * channels * 2;
            const int left = static_cast<std::int16_t>(p[0] | (p[1] << 8));
            if (channels == 1) {
                frame[i] = static_cast<std::int16_t>(left);
            } else {
                const int right = static_cast<std::int16_t>(p[2] | (p[3] << 8));
                frame[i] = static_cast<std::int16_t>((left + right) >> 1);
            }
        }
    }
    return static_cast<int>(got);
}

std::size_t wavToAmrFile(const char* wavPath, const char* amrPath, int channels, int bits)
{
    File wav(wavPath, "rb");
    if (!wav)
        return 0;
    // The input is checked before anything is written: the destination is
    // only replaced by a conversion that succeeds.
    std::uint32_t remaining = 0;
    WavFormat format;
    if (!wavReadHeader(wav.get(), &remaining, &format))
        return 0; // no samples
    if (!wavFormatIsReadable(format, channels, bits)) {
        platform::log("VoiceFileConverter: %s is not 8000 Hz PCM of %d channel(s) and %d bits "
                      "(format %d, %u Hz, %d channel(s), %d bits); not converted\n",
            wavPath, channels, bits, format.formatTag, static_cast<unsigned>(format.sampleRate), format.channels,
            format.bits);
        return 0;
    }
    OutputFile amr(amrPath);
    if (!amr || std::fwrite(kAmrMagic, 1, kAmrMagicBytes, amr.get()) != kAmrMagicBytes)
        return 0;

    void* encoder = Encoder_Interface_init(0);
    if (!encoder)
        return 0;
    std::size_t frames = 0;
    bool failed = false;
    std::int16_t pcm[kPcmFrameSamples];
    unsigned char encoded[64]; // one 12.2 kbit/s frame is 32 bytes; room to spare
    while (wavReadFrame(pcm, wav.get(), channels, bits, &remaining)) {
        const int bytes = Encoder_Interface_Encode(encoder, MR122, pcm, encoded, 0);
        if (bytes <= 0 || bytes > kAmrMaxFrameBytes) {
            failed = true;
            break;
        }
        if (std::fwrite(encoded, 1, static_cast<std::size_t>(bytes), amr.get()) != static_cast<std::size_t>(bytes)) {
            failed = true;
            break;
        }
        ++frames;
    }
    Encoder_Interface_exit(encoder);
    if (failed || !frames || !amr.commit())
        return 0;
    return frames;
}

bool wavWriteHeader(std::FILE* file, std::uint32_t frames)
{
    if (!file)
        return false;
    const std::uint32_t dataBytes = frames * kPcmFrameSamples * 2;
    unsigned char header[kWavHeaderBytes] = {};
    std::memcpy(header, "RIFF", 4);
    putLe32(header + 4, dataBytes + (kWavHeaderBytes - 8));
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    putLe32(header + 16, 20);
    putLe16(header + 20, 1); // PCM
    putLe16(header + 22, 1); // mono
    putLe32(header + 24, 8000);
    putLe32(header + 28, 16000);
    putLe16(header + 32, 2);
    putLe16(header + 34, 16);
    // Bytes 36 to 39 stay zero: an extension size of 0 and two zero bytes.
    std::memcpy(header + 40, "data", 4);
    putLe32(header + 44, dataBytes);
    return std::fwrite(header, 1, sizeof header, file) == sizeof header;
}

int amrReadFrame(std::FILE* file, unsigned char frame[kAmrMaxFrameBytes], int* frameSize, unsigned char* header)
{
    if (!file)
        return 0;
    const int first = std::fgetc(file);
    if (first == EOF)
        return 0;
    const auto headerByte = static_cast<unsigned char>(first);
    const int size = amrFrameSize(headerByte);
    if (!size)
        return 0; // not a frame type of this format: nothing after it can be trusted
    std::memset(frame, 0, kAmrMaxFrameBytes);
    frame[0] = headerByte;
    const auto rest = static_cast<std::size_t>(size - 1);
    if (rest && std::fread(frame + 1, 1, rest, file) != rest)
        return 0; // a truncated last frame is not decoded
    if (frameSize)
        *frameSize = size;
    if (header)
        *header = headerByte;
    return 1;
}

int amrReadFirstFrame(std::FILE* file, unsigned char frame[kAmrMaxFrameBytes], int* frameSize, unsigned char* header)
{
    return amrReadFrame(file, frame, frameSize, header);
}

std::size_t amrToWavFile(const char* amrPath, const char* wavPath, std::size_t longestFrames)
{
    File amr(amrPath, "rb");
    if (!amr)
        return 0;
    char magic[kAmrMagicBytes];
    if (std::fread(magic, 1, sizeof magic, amr.get()) != sizeof magic || std::memcmp(magic, kAmrMagic, sizeof magic))
        return 0;
    OutputFile wav(wavPath);
    if (!wav || !wavWriteHeader(wav.get(), 0))
        return 0;

    void* decoder = Decoder_Interface_init();
    if (!decoder)
        return 0;
    std::size_t frames = 0;
    bool failed = false;
    unsigned char frame[kAmrMaxFrameBytes];
    short pcm[kPcmFrameSamples];
    unsigned char out[kPcmFrameSamples * 2];
    int frameSize = 0;
    unsigned char header = 0;
    const std::size_t frameLimit = std::min(longestFrames, kMaxWavFrames);
    while (frames < frameLimit && amrReadFrame(amr.get(), frame, &frameSize, &header)) {
        std::memset(pcm, 0, sizeof pcm);
        Decoder_Interface_Decode(decoder, frame, pcm, 0);
        for (int i = 0; i < kPcmFrameSamples; ++i)
            putLe16(out + i * 2, static_cast<std::uint16_t>(pcm[i]));
        if (std::fwrite(out, 1, sizeof out, wav.get()) != sizeof out) {
            failed = true;
            break;
        }
        ++frames;
    }
    platform::log("frame = %d", static_cast<int>(frames));
    Decoder_Interface_exit(decoder);
    amr.close();
    if (failed || !frames)
        return 0;
    // The header again, now with the length.
    if (std::fseek(wav.get(), 0, SEEK_SET) != 0 || !wavWriteHeader(wav.get(), static_cast<std::uint32_t>(frames))
        || !wav.commit())
        return 0;
    return frames;
}

} // namespace foundation
