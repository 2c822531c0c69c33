#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace foundation {

// Owns one open file descriptor: it is closed exactly once, when the owner
// closes it or goes away, so no path through the engine (failure, cancel,
// retry, destruction) can leak it or close it twice. Moves hand it on.
class FileDescriptor final {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd)
        : fd_(fd)
    {
    }
    ~FileDescriptor() { close(); }
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // Opens the path (close-on-exec always added); not open on failure, with
    // errno telling why.
    static FileDescriptor open(const std::string& path, int flags, mode_t mode = 0644);

    bool isOpen() const { return fd_ >= 0; }
    explicit operator bool() const { return isOpen(); }
    int get() const { return fd_; }

    // Writes every byte, going on after interrupted or partial writes; false
    // (errno set) on the first real failure or when not open.
    bool writeAll(const std::uint8_t* data, std::size_t size) const;
    // One read, repeated when interrupted: > 0 bytes read, 0 at the end,
    // < 0 on failure (errno set).
    ssize_t read(std::uint8_t* buffer, std::size_t size) const;

    // Closes now. False when the system reports a failure on close (a write
    // that failed late); errno is then kept for the caller. Closing a
    // descriptor that is not open answers true.
    bool close();

private:
    int fd_ = -1;
};

} // namespace foundation
