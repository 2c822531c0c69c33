#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace foundation {

// What a ZipArchiver tells its owner while it extracts. Both calls are optional.
class ZipArchiverDelegate {
public:
    virtual ~ZipArchiverDelegate() = default;
    // A failure during extraction, as one of the fixed texts "Failed",
    // "Error occurs", "Error occurs while getting file info" or
    // "Failed to reading zip file".
    virtual void ErrorMessage(const std::string& msg) { (void)msg; }
    // Asked before an existing file is replaced when overwriting is off;
    // answering false keeps the file. Without an answer files are replaced.
    virtual bool OverWriteOperation(const std::string& file)
    {
        (void)file;
        return true;
    }
};

// Extracts a whole zip archive into a folder, and builds archives from single
// files. Entries whose names would land outside the destination folder are
// refused, and a failed entry makes the extraction report failure.
class ZipArchiver final {
public:
    ZipArchiver() = default;
    // Closes an archive being built or one still open for reading.
    ~ZipArchiver();
    ZipArchiver(const ZipArchiver&) = delete;
    ZipArchiver& operator=(const ZipArchiver&) = delete;

    // Reading.
    bool UnzipOpenFile(const std::string& zipFile);
    bool UnzipOpenFile(const std::string& zipFile, const std::string& password);
    bool UnzipFileTo(const std::string& path, bool overWrite);
    bool UnzipCloseFile();

    // Building.
    bool CreateZipFile2(const std::string& zipFile);
    bool CreateZipFile2(const std::string& zipFile, const std::string& password);
    bool addFileToZip(const std::string& file, const std::string& newname);
    bool CloseZipFile2();

    std::shared_ptr<ZipArchiverDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<ZipArchiverDelegate> delegate) { delegate_ = std::move(delegate); }

    // Midnight of 1 January 1980 in local time, the earliest date a zip entry holds.
    static platform::Date Date1980();

private:
    void OutputErrorMessage(const std::string& msg);
    bool OverWrite(const std::string& file);

    void* zipFile_ = nullptr; // the minizip handle of the archive being built
    void* unzFile_ = nullptr; // the minizip handle of the archive being read
    std::string password_;
    std::weak_ptr<ZipArchiverDelegate> delegate_;
};

} // namespace foundation
