#include "foundation/zip/ZipArchiver.h"

#include "foundation/zip/ZipCrypto.h"
#include "platform/os/Log.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iconv.h>
#include <iterator>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include <unzip.h>
#include <zip.h>

namespace foundation {

namespace fs = std::filesystem;

namespace {

    constexpr const char* kFailed = "Failed";
    constexpr const char* kErrorOccurs = "Error occurs";
    constexpr const char* kErrorGettingFileInfo = "Error occurs while getting file info";
    constexpr const char* kFailedReading = "Failed to reading zip file";

    constexpr unsigned long kUtf8NameFlag = 1u << 11; // general purpose bit 11: the name is UTF-8
    constexpr std::size_t kChunk = 4096;

    unzFile toUnz(void* handle) { return static_cast<unzFile>(handle); }

    zipFile toZip(void* handle) { return static_cast<zipFile>(handle); }

    bool isValidUtf8(const std::string& text)
    {
        std::size_t i = 0;
        while (i < text.size()) {
            const auto lead = static_cast<unsigned char>(text[i]);
            std::size_t length = lead < 0x80 ? 1
                : (lead & 0xE0) == 0xC0      ? 2
                : (lead & 0xF0) == 0xE0      ? 3
                : (lead & 0xF8) == 0xF0      ? 4
                                             : 0;
            if (!length || i + length > text.size() || (length == 2 && lead < 0xC2))
                return false;
            for (std::size_t k = 1; k < length; ++k) {
                if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                    return false;
            }
            i += length;
        }
        return true;
    }

    // Entry names are UTF-8 when the entry says so; otherwise the zip format's
    // default is code page 437, though many tools write UTF-8 without the flag.
    std::string decodeEntryName(const std::string& raw, unsigned long flags)
    {
        if ((flags & kUtf8NameFlag) || isValidUtf8(raw))
            return raw;
        iconv_t cd = iconv_open("UTF-8", "CP437");
        if (cd == reinterpret_cast<iconv_t>(-1))
            return raw;
        std::string out(raw.size() * 3, '\0');
        char* in = const_cast<char*>(raw.data());
        char* outPtr = out.data();
        std::size_t inLeft = raw.size();
        std::size_t outLeft = out.size();
        const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        iconv_close(cd);
        if (rc == static_cast<std::size_t>(-1))
            return raw;
        out.resize(out.size() - outLeft);
        return out;
    }

    // A name may only describe a place inside the destination folder: no absolute
    // path, no drive letter, no ".." step, no embedded zero byte.
    bool isSafeRelativeName(const std::string& name)
    {
        if (name.empty() || name.find('\0') != std::string::npos)
            return false;
        if (name[0] == '/')
            return false;
        if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))
            return false;
        std::size_t start = 0;
        while (start <= name.size()) {
            std::size_t end = name.find('/', start);
            if (end == std::string::npos)
                end = name.size();
            if (name.compare(start, end - start, "..") == 0)
                return false;
            start = end + 1;
        }
        return true;
    }

    bool isInside(const fs::path& candidate, const fs::path& root)
    {
        std::error_code ec;
        const fs::path resolved = fs::weakly_canonical(candidate, ec);
        if (ec)
            return false;
        auto rootIt = root.begin();
        auto it = resolved.begin();
        for (; rootIt != root.end(); ++rootIt, ++it) {
            if (rootIt->empty())
                continue; // a trailing separator of the root
            if (it == resolved.end() || *it != *rootIt)
                return false;
        }
        return true;
    }

    // Writes go to a hidden file next to the destination and are renamed over it
    // only when the whole entry came out right: a failed or wrongly decrypted
    // entry never leaves a damaged file, nor destroys the one it would replace.
    class PartFile final {
    public:
        explicit PartFile(const fs::path& destination)
            : destination_(destination)
        {
            static std::atomic<unsigned> counter { 0 };
            for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
                std::string name = ".";
                name += destination.filename().string();
                name += ".part-";
                name += std::to_string(getpid());
                name += '-';
                name += std::to_string(counter++);
                path_ = destination.parent_path() / name;
                fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
                if (fd_ < 0 && errno != EEXIST)
                    break;
            }
        }
        ~PartFile()
        {
            if (fd_ >= 0)
                ::close(fd_);
            if (!committed_) {
                std::error_code ignored;
                fs::remove(path_, ignored);
            }
        }
        PartFile(const PartFile&) = delete;
        PartFile& operator=(const PartFile&) = delete;

        bool isOpen() const { return fd_ >= 0; }

        bool write(const char* data, std::size_t size)
        {
            while (size) {
                const ssize_t n = ::write(fd_, data, size);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n <= 0)
                    return false;
                data += n;
                size -= static_cast<std::size_t>(n);
            }
            return true;
        }

        bool commit()
        {
            const int fd = fd_;
            fd_ = -1;
            if (::close(fd) != 0)
                return false;
            if (::rename(path_.c_str(), destination_.c_str()) != 0)
                return false;
            committed_ = true;
            return true;
        }

    private:
        fs::path destination_;
        fs::path path_;
        int fd_ = -1;
        bool committed_ = false;
    };

    // Reads one entry's data. Plain entries go through minizip's own reader,
    // which inflates and checks the CRC when the entry is closed; encrypted ones
    // are read raw and decrypted, inflated and checked here.
    class EntryReader final {
    public:
        explicit EntryReader(unzFile archive)
            : archive_(archive)
        {
        }
        ~EntryReader()
        {
            if (inflating_)
                inflateEnd(&stream_);
        }
        EntryReader(const EntryReader&) = delete;
        EntryReader& operator=(const EntryReader&) = delete;

        int openPlain() { return unzOpenCurrentFile(archive_); }

        // Opens an encrypted entry. A wrong password is not an open failure: the
        // entry's data then reads as an error, as damaged data does.
        int openEncrypted(const std::string& password, const unz_file_info64& info)
        {
            int method = 0;
            int level = 0;
            const int ret = unzOpenCurrentFile2(archive_, &method, &level, 1);
            if (ret != UNZ_OK)
                return ret;
            raw_ = true;
            method_ = method;
            expectedCrc_ = static_cast<std::uint32_t>(info.crc);
            crypto_ = std::make_unique<ZipCrypto>(password);
            unsigned char header[ZipCrypto::kHeaderSize];
            // With a data descriptor the CRC is not known when the header is
            // written, and the check byte is the high byte of the entry's time.
            const auto expected = static_cast<unsigned char>((info.flag & 8) ? (info.dosDate >> 8) : (info.crc >> 24));
            if (unzReadCurrentFile(archive_, header, sizeof header) != static_cast<int>(sizeof header)
                || !crypto_->checkHeader(header, expected)) {
                broken_ = true;
                return UNZ_OK;
            }
            if (method_ == Z_DEFLATED) {
                stream_ = {};
                inflating_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK;
                broken_ = !inflating_;
            } else if (method_ != 0) {
                broken_ = true; // only stored and deflated entries are read
            }
            return UNZ_OK;
        }

        // Like unzReadCurrentFile: bytes read, 0 at the end, negative on error.
        int read(char* out, unsigned size)
        {
            if (!raw_)
                return unzReadCurrentFile(archive_, out, size);
            if (broken_)
                return -1;
            if (method_ == 0) {
                const int n = unzReadCurrentFile(archive_, out, size);
                if (n < 0)
                    return n;
                if (n == 0)
                    return crc_ == expectedCrc_ ? 0 : -1;
                crypto_->decrypt(reinterpret_cast<unsigned char*>(out), static_cast<std::size_t>(n));
                crc_ = static_cast<std::uint32_t>(
                    crc32(crc_, reinterpret_cast<const Bytef*>(out), static_cast<uInt>(n)));
                return n;
            }
            // Each pass either feeds more input, produces output or ends.
            for (;;) {
                if (streamEnded_)
                    return crc_ == expectedCrc_ ? 0 : -1;
                if (stream_.avail_in == 0 && !inputEnded_) {
                    const int n = unzReadCurrentFile(archive_, input_, sizeof input_);
                    if (n < 0)
                        return n;
                    if (n == 0) {
                        inputEnded_ = true;
                    } else {
                        crypto_->decrypt(input_, static_cast<std::size_t>(n));
                        stream_.next_in = input_;
                        stream_.avail_in = static_cast<uInt>(n);
                    }
                }
                stream_.next_out = reinterpret_cast<Bytef*>(out);
                stream_.avail_out = size;
                const int ret = inflate(&stream_, Z_NO_FLUSH);
                const unsigned produced = size - stream_.avail_out;
                if (ret == Z_STREAM_END)
                    streamEnded_ = true;
                else if (ret != Z_OK && ret != Z_BUF_ERROR)
                    return -1;
                if (produced) {
                    crc_ = static_cast<std::uint32_t>(crc32(crc_, reinterpret_cast<const Bytef*>(out), produced));
                    return static_cast<int>(produced);
                }
                if (inputEnded_ && !streamEnded_ && stream_.avail_in == 0)
                    return -1; // the compressed data stops short
            }
        }

        int close() { return unzCloseCurrentFile(archive_); }

    private:
        unzFile archive_;
        bool raw_ = false;
        bool broken_ = false;
        int method_ = 0;
        std::unique_ptr<ZipCrypto> crypto_;
        z_stream stream_ {};
        bool inflating_ = false;
        bool inputEnded_ = false;
        bool streamEnded_ = false;
        unsigned char input_[kChunk];
        std::uint32_t crc_ = 0;
        std::uint32_t expectedCrc_ = 0;
    };

    // minizip cannot open an archive without entries (its search for the end
    // record skips the first byte of the file), yet such archives are valid.
    bool isEmptyArchive(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        unsigned char record[22];
        if (!in.read(reinterpret_cast<char*>(record), sizeof record))
            return false;
        in.seekg(0, std::ios::end);
        const auto size = static_cast<std::uint64_t>(in.tellg());
        const unsigned entries = record[10] | (record[11] << 8);
        const unsigned commentLength = record[20] | (record[21] << 8);
        return record[0] == 'P' && record[1] == 'K' && record[2] == 5 && record[3] == 6 && entries == 0
            && size == sizeof record + commentLength;
    }

    void setModificationTime(const fs::path& file, const tm_unz& date)
    {
        std::tm local {};
        local.tm_sec = static_cast<int>(date.tm_sec);
        local.tm_min = static_cast<int>(date.tm_min);
        local.tm_hour = static_cast<int>(date.tm_hour);
        local.tm_mday = static_cast<int>(date.tm_mday);
        local.tm_mon = static_cast<int>(date.tm_mon);
        local.tm_year = static_cast<int>(date.tm_year) - 1900;
        local.tm_isdst = -1;
        const std::time_t when = std::mktime(&local);
        if (when == static_cast<std::time_t>(-1))
            return;
        const struct timespec times[2] = { { 0, UTIME_OMIT }, { when, 0 } };
        utimensat(AT_FDCWD, file.c_str(), times, 0);
    }

} // namespace

ZipArchiver::~ZipArchiver()
{
    CloseZipFile2();
    // An archive left open for reading is closed too rather than leaked.
    if (unzFile_)
        unzClose(toUnz(unzFile_));
}

void ZipArchiver::OutputErrorMessage(const std::string& msg)
{
    if (auto target = delegate_.lock())
        target->ErrorMessage(msg);
}

bool ZipArchiver::OverWrite(const std::string& file)
{
    if (auto target = delegate_.lock())
        return target->OverWriteOperation(file);
    return true;
}

bool ZipArchiver::UnzipOpenFile(const std::string& zipFile)
{
    if (unzFile_) {
        unzClose(toUnz(unzFile_));
        unzFile_ = nullptr;
    }
    unzFile handle = unzOpen64(zipFile.c_str());
    if (!handle)
        return isEmptyArchive(zipFile); // open, with nothing to extract
    unz_global_info64 info;
    if (unzGetGlobalInfo64(handle, &info) != UNZ_OK) {
        unzClose(handle);
        return false;
    }
    unzFile_ = handle;
    return true;
}

bool ZipArchiver::UnzipOpenFile(const std::string& zipFile, const std::string& password)
{
    password_ = password;
    return UnzipOpenFile(zipFile);
}

bool ZipArchiver::UnzipFileTo(const std::string& path, bool overWrite)
{
    unzFile archive = toUnz(unzFile_);
    if (!archive) {
        // No archive, or one without entries: there is no first entry to go to
        // and none to open.
        OutputErrorMessage(kFailed);
        OutputErrorMessage(kErrorOccurs);
        return false;
    }
    std::error_code ec;
    fs::create_directories(path, ec);
    const fs::path root = fs::weakly_canonical(path, ec);

    int ret = unzGoToFirstFile(archive);
    if (ret != UNZ_OK)
        OutputErrorMessage(kFailed);

    bool success = true;
    // Each pass moves to the next entry of the central directory, which minizip
    // bounds by the archive's entry count.
    do {
        EntryReader reader(archive);
        unz_file_info64 peek;
        const bool known = unzGetCurrentFileInfo64(archive, &peek, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK;
        const bool encrypted = known && (peek.flag & 1);
        // The password is used for the entries that are encrypted (bit 0 of their flags).
        ret = (encrypted && !password_.empty()) ? reader.openEncrypted(password_, peek) : reader.openPlain();
        if (ret != UNZ_OK) {
            OutputErrorMessage(kErrorOccurs);
            return false;
        }

        unz_file_info64 info;
        std::vector<char> rawName(known ? peek.size_filename + 1 : 1, '\0');
        if (!known
            || unzGetCurrentFileInfo64(
                   archive, &info, rawName.data(), static_cast<uLong>(rawName.size()), nullptr, 0, nullptr, 0)
                != UNZ_OK) {
            OutputErrorMessage(kErrorGettingFileInfo);
            reader.close();
            return false;
        }
        std::string name = decodeEntryName(std::string(rawName.data(), info.size_filename), info.flag);

        const bool isFolder = !name.empty() && (name.back() == '/' || name.back() == '\\');
        for (char& ch : name) {
            if (ch == '\\')
                ch = '/';
        }
        const fs::path fullPath = fs::path(path) / name;
        const fs::path folder = isFolder ? fullPath : fullPath.parent_path();

        // The folder is checked before anything is made: weakly_canonical
        // follows the links among the folders that exist already (a link to
        // an outside folder among them included), and the rest of the name
        // holds no ".." step. Made first, the folders would appear outside
        // even though the entry is then refused.
        bool refused = !isSafeRelativeName(name) || !isInside(folder, root);
        if (!refused) {
            fs::create_directories(folder, ec);
            refused = !isInside(folder, root);
        }
        if (refused) {
            platform::log("zip entry \"%s\" would be written outside %s; skipped", name.c_str(), path.c_str());
            OutputErrorMessage(kErrorOccurs);
            success = false;
            reader.close();
            ret = unzGoToNextFile(archive);
            continue;
        }

        if (!isFolder && fs::exists(fullPath, ec) && !overWrite && !OverWrite(fullPath.string())) {
            reader.close();
            ret = unzGoToNextFile(archive);
            continue;
        }

        if (isFolder) {
            reader.close();
        } else if (encrypted && password_.empty()) {
            OutputErrorMessage(kFailedReading);
            success = false;
            reader.close();
        } else {
            PartFile out(fullPath);
            bool entryOk = out.isOpen();
            if (!entryOk) {
                platform::log("zip entry \"%s\" cannot be created in %s", name.c_str(), path.c_str());
                OutputErrorMessage(kErrorOccurs);
            }
            char buffer[kChunk];
            // Every read consumes entry data or ends the loop (0 at the end, negative on error).
            while (entryOk) {
                const int read = reader.read(buffer, kChunk);
                if (read < 0) {
                    OutputErrorMessage(kFailedReading);
                    entryOk = false;
                } else if (read == 0) {
                    break;
                } else if (!out.write(buffer, static_cast<std::size_t>(read))) {
                    platform::log("zip entry \"%s\" could not be written", name.c_str());
                    entryOk = false;
                }
            }
            // Closing checks the CRC of a plain entry, which catches damage the
            // inflater did not notice.
            if (reader.close() != UNZ_OK && entryOk) {
                OutputErrorMessage(kFailedReading);
                entryOk = false;
            }
            if (entryOk && out.commit())
                setModificationTime(fullPath, info.tmu_date);
            else
                success = false;
        }
        ret = unzGoToNextFile(archive);
    } while (ret == UNZ_OK);

    // Anything but the normal end of the list means the directory is damaged.
    if (ret != UNZ_END_OF_LIST_OF_FILE)
        success = false;
    return success;
}

bool ZipArchiver::UnzipCloseFile()
{
    password_.clear();
    if (!unzFile_)
        return true;
    const int ret = unzClose(toUnz(unzFile_));
    unzFile_ = nullptr;
    return ret == UNZ_OK;
}

bool ZipArchiver::CreateZipFile2(const std::string& zipFile)
{
    if (zipFile_) {
        zipClose(toZip(zipFile_), nullptr);
        zipFile_ = nullptr;
    }
    zipFile_ = zipOpen64(zipFile.c_str(), APPEND_STATUS_CREATE);
    return zipFile_ != nullptr;
}

bool ZipArchiver::CreateZipFile2(const std::string& zipFile, const std::string& password)
{
    password_ = password;
    return CreateZipFile2(zipFile);
}

bool ZipArchiver::addFileToZip(const std::string& file, const std::string& newname)
{
    zipFile archive = toZip(zipFile_);
    if (!archive)
        return false;

    // A file that cannot be read is not added as an empty entry.
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return false;
    std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return false;

    zip_fileinfo info {};
    struct stat status;
    mode_t permissions = 0644;
    if (::stat(file.c_str(), &status) == 0) {
        permissions = status.st_mode & 0777;
        std::tm local {};
        if (localtime_r(&status.st_mtime, &local)) {
            info.tmz_date.tm_sec = static_cast<uInt>(local.tm_sec);
            info.tmz_date.tm_min = static_cast<uInt>(local.tm_min);
            info.tmz_date.tm_hour = static_cast<uInt>(local.tm_hour);
            info.tmz_date.tm_mday = static_cast<uInt>(local.tm_mday);
            info.tmz_date.tm_mon = static_cast<uInt>(local.tm_mon);
            info.tmz_date.tm_year = static_cast<uInt>(local.tm_year + 1900);
        }
    }
    // Entries are marked as made on Unix with the file's permissions, so that
    // unzip neither translates UTF-8 names as a DOS code page nor extracts
    // files without any permission bits.
    info.external_fa = static_cast<uLong>(S_IFREG | permissions) << 16;
    constexpr uLong kMadeOnUnix = (3u << 8) | 20u;

    bool nonAscii = false;
    for (unsigned char ch : newname)
        nonAscii = nonAscii || ch >= 0x80;
    uLong flags = (nonAscii && isValidUtf8(newname)) ? kUtf8NameFlag : 0;

    const auto crc = static_cast<std::uint32_t>(crc32_z(0, data.data(), data.size()));
    const bool encrypted = !password_.empty();
    std::vector<unsigned char> payload;
    if (encrypted) {
        // Deflated here and encrypted with our own cipher, then stored raw.
        z_stream stream {};
        if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY)
            != Z_OK)
            return false;
        payload.resize(ZipCrypto::kHeaderSize + deflateBound(&stream, static_cast<uLong>(data.size())));
        stream.next_in = data.data();
        stream.avail_in = static_cast<uInt>(data.size());
        stream.next_out = payload.data() + ZipCrypto::kHeaderSize;
        stream.avail_out = static_cast<uInt>(payload.size() - ZipCrypto::kHeaderSize);
        const int ret = deflate(&stream, Z_FINISH);
        const std::size_t compressed = stream.total_out;
        deflateEnd(&stream);
        if (ret != Z_STREAM_END)
            return false;
        payload.resize(ZipCrypto::kHeaderSize + compressed);
        ZipCrypto crypto(password_);
        crypto.makeHeader(payload.data(), crc);
        crypto.encrypt(payload.data() + ZipCrypto::kHeaderSize, compressed);
        flags |= 1; // encrypted
    }

    if (zipOpenNewFileInZip4(archive, newname.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
            Z_DEFAULT_COMPRESSION, encrypted ? 1 : 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
            kMadeOnUnix, flags)
        != ZIP_OK)
        return false;

    const std::vector<unsigned char>& bytes = encrypted ? payload : data;
    bool written = true;
    std::size_t offset = 0;
    while (written && offset < bytes.size()) {
        const std::size_t piece = std::min<std::size_t>(bytes.size() - offset, 1u << 30);
        written = zipWriteInFileInZip(archive, bytes.data() + offset, static_cast<unsigned>(piece)) == ZIP_OK;
        offset += piece;
    }
    const bool closed
        = (encrypted ? zipCloseFileInZipRaw(archive, static_cast<uLong>(data.size()), crc) : zipCloseFileInZip(archive))
        == ZIP_OK;
    return written && closed;
}

bool ZipArchiver::CloseZipFile2()
{
    password_.clear();
    if (!zipFile_)
        return false;
    const int ret = zipClose(toZip(zipFile_), nullptr);
    zipFile_ = nullptr;
    return ret == ZIP_OK;
}

platform::Date ZipArchiver::Date1980()
{
    std::tm local {};
    local.tm_year = 80;
    local.tm_mon = 0;
    local.tm_mday = 1;
    local.tm_isdst = -1;
    return platform::Date::fromSeconds(static_cast<double>(std::mktime(&local)));
}

} // namespace foundation
