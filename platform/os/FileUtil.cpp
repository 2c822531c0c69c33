#include "platform/os/FileUtil.h"

#include <algorithm>
#include <cstdlib>
#include <climits>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

    // The first failure of a multi-step operation: enough to build the error.
    struct Failure {
        int code = 0;
        const char* operation = "";
        std::string path;

        bool set(int c, const char* op, std::string p)
        {
            code = c;
            operation = op;
            path = std::move(p);
            return false;
        }
    };

    bool report(Error* error, const Failure& f)
    {
        setError(error, FileUtil::posixError(f.code, f.operation, f.path));
        return false;
    }

    bool report(Error* error, int code, const char* operation, const std::string& path)
    {
        setError(error, FileUtil::posixError(code, operation, path));
        return false;
    }

    std::string parentOf(const std::string& path)
    {
        auto slash = path.find_last_of('/');
        if (slash == std::string::npos)
            return ".";
        if (slash == 0)
            return "/";
        return path.substr(0, slash);
    }

    std::string baseNameOf(const std::string& path)
    {
        std::string trimmed = path;
        while (trimmed.size() > 1 && trimmed.back() == '/')
            trimmed.pop_back();
        auto slash = trimmed.find_last_of('/');
        return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    }

    bool writeAll(int fd, const std::uint8_t* data, std::size_t size, int& code)
    {
        // write(2) may take less than asked (signals, quotas, pipes): go on until
        // everything is written or the kernel reports why it cannot.
        while (size > 0) {
            ssize_t n = ::write(fd, data, size);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                code = errno;
                return false;
            }
            if (n == 0) {
                code = EIO;
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    void syncDirectory(const std::string& dir)
    {
        // Makes the rename itself durable. Some file systems refuse fsync on a
        // folder; the data is already safe then, so the answer is ignored.
        int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }

    // A name beside `path` that nothing uses yet, for building an item before it
    // is renamed into place.
    std::string temporarySibling(const std::string& path)
    {
        static std::atomic<unsigned> counter { 0 };
        std::string dir = parentOf(path);
        std::string base = baseNameOf(path);
        for (int attempt = 0; attempt < 1000; ++attempt) {
            std::string candidate = FileUtil::joinPath(
                dir, "." + base + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)));
            struct stat st;
            if (::lstat(candidate.c_str(), &st) != 0 && errno == ENOENT)
                return candidate;
        }
        return FileUtil::joinPath(dir, "." + base + ".part");
    }

    // rename(2) without replacing an existing destination. File systems that do
    // not know the no-replace flag get a check followed by a plain rename.
    int renameNoReplace(const std::string& from, const std::string& to)
    {
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
            return 0;
        int code = errno;
        if (code != EINVAL && code != ENOSYS)
            return code;
        struct stat st;
        if (::lstat(to.c_str(), &st) == 0)
            return EEXIST;
        if (::rename(from.c_str(), to.c_str()) == 0)
            return 0;
        return errno;
    }

    void setTimes(int fd, const struct stat& st)
    {
        struct timespec times[2] = { st.st_atim, st.st_mtim };
        ::futimens(fd, times);
    }

    bool copyFile(const std::string& from, const std::string& to, const struct stat& st, Failure& failure)
    {
        int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            return failure.set(errno, "open", from);
        int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (out < 0) {
            int code = errno;
            ::close(in);
            return failure.set(code, "create", to);
        }
        std::vector<std::uint8_t> buffer(256 * 1024);
        bool ok = true;
        for (;;) {
            ssize_t n = ::read(in, buffer.data(), buffer.size());
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                ok = failure.set(errno, "read", from);
                break;
            }
            if (n == 0)
                break;
            int code = 0;
            if (!writeAll(out, buffer.data(), static_cast<std::size_t>(n), code)) {
                ok = failure.set(code, "write", to);
                break;
            }
        }
        if (ok) {
            ::fchmod(out, st.st_mode & 07777);
            setTimes(out, st);
            // A move removes the source right after: the copy must be on disk first.
            if (::fsync(out) != 0)
                ok = failure.set(errno, "fsync", to);
        }
        if (::close(out) != 0 && ok)
            ok = failure.set(errno, "close", to);
        ::close(in);
        return ok;
    }

    bool copyItem(const std::string& from, const std::string& to, Failure& failure)
    {
        struct stat st;
        if (::lstat(from.c_str(), &st) != 0)
            return failure.set(errno, "stat", from);
        if (S_ISLNK(st.st_mode)) {
            std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
            ssize_t n = ::readlink(from.c_str(), target.data(), target.size());
            if (n < 0)
                return failure.set(errno, "readlink", from);
            target.resize(static_cast<std::size_t>(n));
            if (::symlink(target.c_str(), to.c_str()) != 0)
                return failure.set(errno, "symlink", to);
            return true;
        }
        if (S_ISREG(st.st_mode))
            return copyFile(from, to, st, failure);
        if (!S_ISDIR(st.st_mode))
            return failure.set(ENOTSUP, "copy", from);

        if (::mkdir(to.c_str(), 0700) != 0)
            return failure.set(errno, "mkdir", to);
        Error listError;
        auto names = FileUtil::list(from, &listError);
        if (!names)
            return failure.set(static_cast<int>(listError.code()), "list", from);
        for (const auto& name : *names) {
            if (!copyItem(FileUtil::joinPath(from, name), FileUtil::joinPath(to, name), failure))
                return false;
        }
        ::chmod(to.c_str(), st.st_mode & 07777);
        struct timespec times[2] = { st.st_atim, st.st_mtim };
        ::utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW);
        return true;
    }

    bool removeItem(const std::string& path, Failure& failure)
    {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0)
            return failure.set(errno, "stat", path);
        if (!S_ISDIR(st.st_mode)) {
            if (::unlink(path.c_str()) != 0)
                return failure.set(errno, "unlink", path);
            return true;
        }
        DIR* dir = ::opendir(path.c_str());
        if (!dir)
            return failure.set(errno, "opendir", path);
        std::vector<std::string> names;
        while (struct dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
        for (const auto& name : names) {
            if (!removeItem(FileUtil::joinPath(path, name), failure))
                return false;
        }
        if (::rmdir(path.c_str()) != 0)
            return failure.set(errno, "rmdir", path);
        return true;
    }

    // Copies into a temporary sibling of `to`, then renames it into place, so the
    // destination appears whole or not at all.
    bool copyIntoPlace(const std::string& from, const std::string& to, Failure& failure)
    {
        std::string temp = temporarySibling(to);
        if (!copyItem(from, temp, failure)) {
            Failure ignored;
            removeItem(temp, ignored);
            return false;
        }
        if (int code = renameNoReplace(temp, to)) {
            Failure ignored;
            removeItem(temp, ignored);
            return failure.set(code, "rename", to);
        }
        syncDirectory(parentOf(to));
        return true;
    }

} // namespace

Error FileUtil::posixError(int code, std::string_view operation, std::string_view path)
{
    char buffer[256];
    const char* reason = ::strerror_r(code, buffer, sizeof buffer);
    Dictionary info;
    info.set(kLocalizedDescriptionKey,
        Value(std::string(operation) + " \"" + std::string(path) + "\": " + (reason ? reason : "unknown error")));
    info.set(kFilePathErrorKey, Value(std::string(path)));
    return Error(kPosixErrorDomain, code, std::move(info));
}

std::string FileUtil::joinPath(std::string_view base, std::string_view component)
{
    if (base.empty())
        return std::string(component);
    if (component.empty())
        return std::string(base);
    std::string out(base);
    if (out.back() != '/')
        out += '/';
    while (!component.empty() && component.front() == '/')
        component.remove_prefix(1);
    out += component;
    return out;
}

bool FileUtil::exists(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

bool FileUtil::isDirectory(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileUtil::isRegularFile(const std::string& path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FileUtil::createDirectory(const std::string& path, Error* error, unsigned permissions)
{
    if (path.empty())
        return report(error, ENOENT, "mkdir", path);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            return true;
        return report(error, ENOTDIR, "mkdir", path);
    }
    // Walk down from the top, creating what is missing; a folder created by
    // someone else in the meantime is fine.
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        std::string prefix = path.substr(0, pos);
        if (prefix.empty() || prefix == "/")
            continue;
        if (::mkdir(prefix.c_str(), static_cast<mode_t>(permissions)) == 0)
            continue;
        int code = errno;
        if (code == EEXIST) {
            if (::stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                continue;
            return report(error, ENOTDIR, "mkdir", prefix);
        }
        // A read-only parent that already holds the folder answers EACCES or EROFS.
        if (::stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            continue;
        return report(error, code, "mkdir", prefix);
    }
    return true;
}

bool FileUtil::remove(const std::string& path, Error* error)
{
    Failure failure;
    if (path.empty())
        return report(error, ENOENT, "remove", path);
    if (!removeItem(path, failure))
        return report(error, failure);
    return true;
}

bool FileUtil::move(const std::string& from, const std::string& to, Error* error)
{
    struct stat st;
    if (::lstat(from.c_str(), &st) != 0)
        return report(error, errno, "move", from);
    if (::lstat(to.c_str(), &st) == 0)
        return report(error, EEXIST, "move", to);
    int code = renameNoReplace(from, to);
    if (code == 0)
        return true;
    if (code != EXDEV)
        return report(error, code, "move", to);

    // rename(2) cannot cross file systems (for example the temporary folder on
    // tmpfs and the home on disk): copy, then remove the source.
    Failure failure;
    if (!copyIntoPlace(from, to, failure))
        return report(error, failure);
    if (!removeItem(from, failure))
        return report(error, failure);
    return true;
}

bool FileUtil::copy(const std::string& from, const std::string& to, Error* error)
{
    struct stat st;
    if (::lstat(from.c_str(), &st) != 0)
        return report(error, errno, "copy", from);
    if (::lstat(to.c_str(), &st) == 0)
        return report(error, EEXIST, "copy", to);
    Failure failure;
    if (!copyIntoPlace(from, to, failure))
        return report(error, failure);
    return true;
}

std::optional<std::vector<std::string>> FileUtil::list(const std::string& path, Error* error)
{
    DIR* dir = ::opendir(path.c_str());
    if (!dir) {
        report(error, errno, "list", path);
        return std::nullopt;
    }
    std::vector<std::string> names;
    errno = 0;
    while (struct dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    int code = errno;
    ::closedir(dir);
    if (code != 0) {
        report(error, code, "list", path);
        return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<Bytes> FileUtil::read(const std::string& path, Error* error)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        report(error, errno, "open", path);
        return std::nullopt;
    }
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        report(error, EISDIR, "read", path);
        return std::nullopt;
    }
    Bytes out;
    // The size is only a hint: files under /proc report 0, and a file may grow.
    if (st.st_size > 0)
        out.reserve(static_cast<std::size_t>(st.st_size));
    std::uint8_t chunk[64 * 1024];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int code = errno;
            ::close(fd);
            report(error, code, "read", path);
            return std::nullopt;
        }
        if (n == 0)
            break;
        out.insert(out.end(), chunk, chunk + n);
    }
    ::close(fd);
    return out;
}

std::optional<std::string> FileUtil::readText(const std::string& path, Error* error)
{
    auto bytes = read(path, error);
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

bool FileUtil::write(const std::string& path, const Bytes& data, WriteMode mode, Error* error, unsigned permissions)
{
    return writeBytes(path, data.data(), data.size(), mode, error, permissions);
}

bool FileUtil::write(const std::string& path, std::string_view data, WriteMode mode, Error* error, unsigned permissions)
{
    return writeBytes(path, reinterpret_cast<const std::uint8_t*>(data.data()), data.size(), mode, error, permissions);
}

bool FileUtil::writeBytes(const std::string& path, const std::uint8_t* data, std::size_t size, WriteMode mode,
    Error* error, unsigned permissions)
{
    if (path.empty())
        return report(error, ENOENT, "write", path);
    if (mode == WriteMode::Plain) {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, static_cast<mode_t>(permissions));
        if (fd < 0)
            return report(error, errno, "open", path);
        int code = 0;
        bool ok = writeAll(fd, data, size, code);
        if (::close(fd) != 0 && ok) {
            ok = false;
            code = errno;
        }
        return ok ? true : report(error, code, "write", path);
    }

    std::string dir = parentOf(path);
    std::string temp = FileUtil::joinPath(dir, "." + baseNameOf(path) + ".XXXXXX");
    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return report(error, errno, "create", temp);
    int code = 0;
    const char* operation = "write";
    bool ok = writeAll(fd, data, size, code);
    if (ok && ::fchmod(fd, static_cast<mode_t>(permissions)) != 0) {
        ok = false;
        code = errno;
        operation = "chmod";
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        code = errno;
        operation = "fsync";
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        code = errno;
        operation = "close";
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        code = errno;
        operation = "rename";
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return report(error, code, operation, path);
    }
    syncDirectory(dir);
    return true;
}

std::optional<std::uint64_t> FileUtil::fileSize(const std::string& path, Error* error)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        report(error, errno, "stat", path);
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<Date> FileUtil::modificationDate(const std::string& path, Error* error)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        report(error, errno, "stat", path);
        return std::nullopt;
    }
    return Date { static_cast<double>(st.st_mtim.tv_sec) + static_cast<double>(st.st_mtim.tv_nsec) / 1e9 };
}

bool FileUtil::setModificationDate(const std::string& path, Date date, Error* error)
{
    if (!std::isfinite(date.seconds))
        return report(error, EINVAL, "utimensat", path);
    double whole = std::floor(date.seconds);
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(whole);
    long nanos = std::lround((date.seconds - whole) * 1e9);
    if (nanos >= 1000000000L) {
        times[1].tv_sec += 1;
        nanos -= 1000000000L;
    }
    times[1].tv_nsec = nanos;
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        return report(error, errno, "utimensat", path);
    return true;
}

std::string FileUtil::executableFolder()
{
    char path[PATH_MAX];
    auto n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "";
    std::string text(path, std::size_t(n));
    auto slash = text.rfind('/');
    return slash == std::string::npos ? "" : text.substr(0, slash);
}

std::vector<std::string> FileUtil::moduleCandidates(
    const char* environmentVariable, std::string_view fileName, std::string_view builtPath)
{
    if (const char* named = environmentVariable ? std::getenv(environmentVariable) : nullptr; named && *named)
        return { named };
    std::vector<std::string> out;
    if (auto folder = executableFolder(); !folder.empty())
        out.push_back(joinPath(folder, fileName));
    if (!builtPath.empty())
        out.emplace_back(builtPath);
    return out;
}

} // namespace platform
