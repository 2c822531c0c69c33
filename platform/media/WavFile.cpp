#include "platform/media/WavFile.h"

#include "platform/media/MediaErrors.h"
#include "platform/os/FileUtil.h"

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

    std::uint32_t readLe32(const unsigned char* p)
    {
        return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8)
            | (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
    }

    std::uint16_t readLe16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

    void putLe32(unsigned char* p, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<unsigned char>(value >> (8 * i));
    }

    void putLe16(unsigned char* p, std::uint16_t value)
    {
        p[0] = static_cast<unsigned char>(value);
        p[1] = static_cast<unsigned char>(value >> 8);
    }

    class InputFile final {
    public:
        explicit InputFile(const std::string& path)
            : file_(std::fopen(path.c_str(), "rb"))
        {
        }
        ~InputFile()
        {
            if (file_)
                std::fclose(file_);
        }
        InputFile(const InputFile&) = delete;
        InputFile& operator=(const InputFile&) = delete;
        std::FILE* get() const { return file_; }

    private:
        std::FILE* file_;
    };

    // A writer that never got as far as fixing its sizes leaves 0 (or the
    // all-ones "unknown"): the sound then runs to the end of the file.
    bool sizeUnknown(std::uint32_t declared) { return declared == 0 || declared == 0xFFFFFFFFu; }

    std::optional<WavInfo> readInfo(std::FILE* file, std::uint64_t fileSize, Error* error)
    {
        unsigned char riff[12];
        if (std::fread(riff, 1, sizeof riff, file) != sizeof riff || std::memcmp(riff, "RIFF", 4)
            || std::memcmp(riff + 8, "WAVE", 4)) {
            setError(error, mediaError(kMediaErrorUnsupportedFileType, "not a RIFF/WAVE file"));
            return std::nullopt;
        }
        std::uint64_t position = sizeof riff;
        bool haveFormat = false;
        WavInfo info;
        // Each chunk header advances at least 8 bytes, so this ends with the file.
        while (position + 8 <= fileSize) {
            unsigned char header[8];
            if (std::fseek(file, static_cast<long>(position), SEEK_SET) != 0
                || std::fread(header, 1, sizeof header, file) != sizeof header)
                break;
            std::uint32_t size = readLe32(header + 4);
            position += 8;
            if (!std::memcmp(header, "fmt ", 4)) {
                unsigned char body[16];
                if (size < sizeof body || std::fread(body, 1, sizeof body, file) != sizeof body) {
                    setError(error, mediaError(kMediaErrorInvalidFile, "the format chunk is too short"));
                    return std::nullopt;
                }
                info.format.formatTag = readLe16(body);
                info.format.channels = readLe16(body + 2);
                info.format.sampleRate = readLe32(body + 4);
                info.format.bitsPerSample = readLe16(body + 14);
                haveFormat = true;
            } else if (!std::memcmp(header, "data", 4)) {
                if (!haveFormat)
                    break;
                const WavFormat& f = info.format;
                bool integerPcm = f.formatTag == kWavFormatPcm || f.formatTag == kWavFormatExtensible;
                if (!integerPcm || f.channels == 0 || f.channels > 8 || f.sampleRate == 0 || f.sampleRate > 384000
                    || f.bitsPerSample < 8 || f.bitsPerSample > 32 || f.bitsPerSample % 8) {
                    setError(error, mediaError(kMediaErrorUnsupportedDataFormat, "not integer PCM"));
                    return std::nullopt;
                }
                info.dataOffset = position;
                std::uint64_t present = fileSize - position;
                info.declaredDataBytes = sizeUnknown(size) ? present : size;
                std::uint64_t available = std::min<std::uint64_t>(present, info.declaredDataBytes);
                info.availableDataBytes = available - available % f.blockAlign();
                info.declaredDataBytes -= info.declaredDataBytes % f.blockAlign();
                return info;
            }
            position += size + (size & 1u);
        }
        setError(error,
            mediaError(kMediaErrorInvalidFile, haveFormat ? "no data chunk" : "no format chunk before the data"));
        return std::nullopt;
    }

} // namespace

double WavInfo::duration() const
{
    return format.byteRate() ? static_cast<double>(declaredDataBytes) / format.byteRate() : 0;
}

double WavInfo::availableDuration() const
{
    return format.byteRate() ? static_cast<double>(availableDataBytes) / format.byteRate() : 0;
}

std::optional<WavInfo> readWavInfo(const std::string& path, Error* error)
{
    InputFile file(path);
    if (!file.get()) {
        setError(error, FileUtil::posixError(errno, "open", path));
        return std::nullopt;
    }
    auto size = FileUtil::fileSize(path, error);
    if (!size)
        return std::nullopt;
    return readInfo(file.get(), *size, error);
}

std::optional<std::vector<std::int16_t>> readWavSamples(const std::string& path, WavInfo* infoOut, Error* error)
{
    auto info = readWavInfo(path, error);
    if (!info)
        return std::nullopt;
    InputFile file(path);
    if (!file.get() || std::fseek(file.get(), static_cast<long>(info->dataOffset), SEEK_SET) != 0) {
        setError(error, FileUtil::posixError(errno ? errno : EIO, "read", path));
        return std::nullopt;
    }
    std::vector<unsigned char> bytes(info->availableDataBytes);
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        setError(error, FileUtil::posixError(EIO, "read", path));
        return std::nullopt;
    }
    int width = info->format.bitsPerSample / 8;
    std::vector<std::int16_t> samples(bytes.size() / width);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const unsigned char* p = bytes.data() + i * width;
        if (width == 1)
            samples[i] = static_cast<std::int16_t>((p[0] - 128) * 256);
        else
            samples[i] = static_cast<std::int16_t>(p[width - 2] | (p[width - 1] << 8));
    }
    if (infoOut)
        *infoOut = *info;
    return samples;
}

WavWriter::~WavWriter() { close(); }

bool WavWriter::open(const std::string& path, const WavFormat& format, Error* error)
{
    close();
    if ((format.bitsPerSample != 8 && format.bitsPerSample != 16) || format.channels < 1 || format.channels > 2
        || format.sampleRate == 0 || format.formatTag != kWavFormatPcm) {
        setError(
            error, mediaError(kMediaErrorUnsupportedDataFormat, "only 8- or 16-bit mono or stereo PCM is written"));
        return false;
    }
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        setError(error, FileUtil::posixError(errno, "open", path));
        return false;
    }
    path_ = path;
    format_ = format;
    frames_ = 0;
    if (!writeHeader(error)) {
        close();
        return false;
    }
    return true;
}

bool WavWriter::writeHeader(Error* error)
{
    std::uint64_t dataBytes = frames_ * format_.blockAlign();
    unsigned char header[kCanonicalWavHeaderBytes];
    std::memcpy(header, "RIFF", 4);
    putLe32(header + 4, static_cast<std::uint32_t>(36 + dataBytes));
    std::memcpy(header + 8, "WAVEfmt ", 8);
    putLe32(header + 16, 16);
    putLe16(header + 20, format_.formatTag);
    putLe16(header + 22, format_.channels);
    putLe32(header + 24, format_.sampleRate);
    putLe32(header + 28, format_.byteRate());
    putLe16(header + 32, format_.blockAlign());
    putLe16(header + 34, format_.bitsPerSample);
    std::memcpy(header + 36, "data", 4);
    putLe32(header + 40, static_cast<std::uint32_t>(dataBytes));
    if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header, 1, sizeof header, file_) != sizeof header
        || std::fseek(file_, 0, SEEK_END) != 0) {
        setError(error, FileUtil::posixError(errno ? errno : EIO, "write", path_));
        return false;
    }
    return true;
}

bool WavWriter::write(const std::int16_t* samples, std::size_t frames, Error* error)
{
    if (!file_) {
        setError(error, FileUtil::posixError(EBADF, "write", path_));
        return false;
    }
    // The sizes must still fit the header's 32-bit fields.
    std::uint64_t limit = (0xFFFFFFFFull - 36) / format_.blockAlign();
    if (frames_ + frames > limit) {
        setError(error, FileUtil::posixError(EFBIG, "write", path_));
        return false;
    }
    std::size_t count = frames * format_.channels;
    std::vector<unsigned char> bytes(count * (format_.bitsPerSample / 8));
    for (std::size_t i = 0; i < count; ++i) {
        if (format_.bitsPerSample == 8)
            bytes[i] = static_cast<unsigned char>((samples[i] >> 8) + 128);
        else
            putLe16(bytes.data() + 2 * i, static_cast<std::uint16_t>(samples[i]));
    }
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        setError(error, FileUtil::posixError(errno ? errno : EIO, "write", path_));
        return false;
    }
    frames_ += frames;
    return writeHeader(error);
}

bool WavWriter::close(Error* error)
{
    if (!file_)
        return true;
    std::FILE* file = file_;
    file_ = nullptr;
    if (std::fclose(file) != 0) {
        setError(error, FileUtil::posixError(errno, "close", path_));
        return false;
    }
    return true;
}

} // namespace platform
