#include "foundation/http/FileDescriptor.h"
#include "tests/foundation/http/TestUtil.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using foundation::FileDescriptor;

using namespace http_test;

namespace {

bool isOpenDescriptor(int fd) { return fd >= 0 && ::fcntl(fd, F_GETFD) != -1; }

} // namespace

TEST(FileDescriptor, ClosedExactlyOnceWhoeverHoldsIt)
{
    TempDir dir;
    int raw = -1;
    {
        FileDescriptor file = FileDescriptor::open(dir.file("a"), O_WRONLY | O_CREAT | O_TRUNC);
        ASSERT_TRUE(file);
        raw = file.get();
        EXPECT_TRUE(::fcntl(raw, F_GETFD) & FD_CLOEXEC) << "descriptors never leak into child processes";
        // Handed on: the first owner no longer closes it.
        FileDescriptor taken(std::move(file));
        EXPECT_FALSE(file.isOpen());
        FileDescriptor last;
        last = std::move(taken);
        EXPECT_TRUE(isOpenDescriptor(raw));
        EXPECT_TRUE(last.close());
        EXPECT_FALSE(isOpenDescriptor(raw));
        // A second close is harmless and touches nobody else's descriptor.
        int other = ::open(dir.file("a").c_str(), O_RDONLY | O_CLOEXEC);
        EXPECT_TRUE(last.close());
        EXPECT_TRUE(isOpenDescriptor(other));
        ::close(other);
    }
    {
        FileDescriptor file = FileDescriptor::open(dir.file("a"), O_RDONLY);
        raw = file.get();
        FileDescriptor replaced = FileDescriptor::open(dir.file("a"), O_RDONLY);
        int second = replaced.get();
        replaced = std::move(file);
        EXPECT_FALSE(isOpenDescriptor(second)) << "assigning over an open descriptor closes it";
        EXPECT_TRUE(isOpenDescriptor(raw));
    }
    EXPECT_FALSE(isOpenDescriptor(raw)) << "going out of scope closes it";

    FileDescriptor missing = FileDescriptor::open(dir.file("none/x"), O_RDONLY);
    EXPECT_FALSE(missing);
    EXPECT_EQ(errno, ENOENT);
}

TEST(FileDescriptor, WritesEverythingThroughPartialWrites)
{
    // A pipe takes at most its buffer per write: the rest must follow, in order.
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    FileDescriptor reader(fds[0]);
    FileDescriptor writer(fds[1]);
    platform::Bytes sent = sampleBytes(1 << 20, 11);
    platform::Bytes received;
    std::thread drain([&] {
        std::uint8_t piece[4096];
        for (ssize_t n; (n = reader.read(piece, sizeof piece)) > 0;)
            received.insert(received.end(), piece, piece + n);
    });
    EXPECT_TRUE(writer.writeAll(sent.data(), sent.size()));
    EXPECT_TRUE(writer.close());
    drain.join();
    EXPECT_TRUE(received == sent);

    FileDescriptor closed;
    EXPECT_FALSE(closed.writeAll(sent.data(), 1));
    EXPECT_EQ(errno, EBADF);
}
