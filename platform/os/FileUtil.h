#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Key of an error's user info that names the file the failure concerns.
inline constexpr const char* kFilePathErrorKey = "NSFilePath";

// File and folder operations. Every failure is reported as an Error in the
// POSIX domain whose code is the errno value, with the path in the user info.
class FileUtil final {
public:
    FileUtil() = delete;

    enum class WriteMode {
        // Truncate and write in place. A failure can leave part of the data.
        Plain,
        // Write a temporary file in the same folder, flush it to disk and rename
        // it over the target: readers see the old file or the new one, never a mix.
        Atomic,
    };

    // Follows symbolic links, like the platform's existence test.
    static bool exists(const std::string& path);
    static bool isDirectory(const std::string& path);
    static bool isRegularFile(const std::string& path);

    // Creates the folder and any missing parents. An existing folder is success;
    // an existing file in the way is an error.
    static bool createDirectory(const std::string& path, Error* error = nullptr, unsigned permissions = 0755);
    // Removes a file, a symbolic link (not its target) or a whole folder tree.
    // A missing path is an error.
    static bool remove(const std::string& path, Error* error = nullptr);
    // Moves a file or folder. Fails when the destination exists. Across file
    // systems the item is copied under a temporary name, renamed into place and
    // the source removed, so a failure never leaves a half-copied destination.
    static bool move(const std::string& from, const std::string& to, Error* error = nullptr);
    // Copies a file, symbolic link or folder tree. Fails when the destination exists.
    static bool copy(const std::string& from, const std::string& to, Error* error = nullptr);
    // Entry names of a folder (without "." and ".."), sorted bytewise.
    static std::optional<std::vector<std::string>> list(const std::string& path, Error* error = nullptr);

    static std::optional<Bytes> read(const std::string& path, Error* error = nullptr);
    static std::optional<std::string> readText(const std::string& path, Error* error = nullptr);
    static bool write(const std::string& path, const Bytes& data, WriteMode mode = WriteMode::Plain,
        Error* error = nullptr, unsigned permissions = 0644);
    static bool write(const std::string& path, std::string_view data, WriteMode mode = WriteMode::Plain,
        Error* error = nullptr, unsigned permissions = 0644);

    static std::optional<std::uint64_t> fileSize(const std::string& path, Error* error = nullptr);
    static std::optional<Date> modificationDate(const std::string& path, Error* error = nullptr);
    static bool setModificationDate(const std::string& path, Date date, Error* error = nullptr);

    // "a" + "b" gives "a/b"; no doubled separator when a ends in "/"; an empty
    // part leaves the other as it is.
    static std::string joinPath(std::string_view base, std::string_view component);

    // The folder of the running program ("" when it cannot be told).
    static std::string executableFolder();
    // Where a module loaded at run time (LoadedModule.h) may be, in the
    // order to try: the path the environment variable names (alone, when
    // set), the file beside the program (an installed client), then where the
    // build put it (when known).
    static std::vector<std::string> moduleCandidates(
        const char* environmentVariable, std::string_view fileName, std::string_view builtPath);

    // The error the operations above report: POSIX domain, errno as the code.
    static Error posixError(int code, std::string_view operation, std::string_view path);

private:
    static bool writeBytes(const std::string& path, const std::uint8_t* data, std::size_t size, WriteMode mode,
        Error* error, unsigned permissions);
};

} // namespace platform
