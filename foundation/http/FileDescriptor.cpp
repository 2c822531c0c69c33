#include "foundation/http/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace foundation {

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : fd_(std::exchange(other.fd_, -1))
{
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileDescriptor FileDescriptor::open(const std::string& path, int flags, mode_t mode)
{
    for (;;) {
        int fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EINTR)
            return FileDescriptor(fd);
    }
}

bool FileDescriptor::writeAll(const std::uint8_t* data, std::size_t size) const
{
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd_, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

ssize_t FileDescriptor::read(std::uint8_t* buffer, std::size_t size) const
{
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool FileDescriptor::close()
{
    int fd = std::exchange(fd_, -1);
    if (fd < 0)
        return true;
    // Linux frees the descriptor even when close reports EINTR: never retry,
    // the number may already belong to someone else.
    int saved = errno;
    if (::close(fd) == 0 || errno == EINTR) {
        errno = saved;
        return true;
    }
    return false;
}

} // namespace foundation
