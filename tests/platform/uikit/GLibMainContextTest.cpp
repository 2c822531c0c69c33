// The bridge that turns GLib's main context from the main run loop, with
// GLib's own descriptor sources in place of the browser engine's.
#include "platform/uikit/GLibMainContext.h"
#include "platform/os/RunLoop.h"

#include <gtest/gtest.h>

#include <glib-unix.h>
#include <glib.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using platform::RunLoop;

namespace {

// Whether the thread sleeps in the run loop's wait, with time left on it.
bool asleepInTheLoopsWait(pid_t thread)
{
    std::ifstream file("/proc/self/task/" + std::to_string(thread) + "/syscall");
    long number = -1;
    std::string fd, events, count, timeout;
    if (!(file >> number >> fd >> events >> count >> timeout))
        return false;
#ifdef SYS_epoll_wait
    bool waiting = number == SYS_epoll_wait || number == SYS_epoll_pwait;
#else
    bool waiting = number == SYS_epoll_pwait;
#endif
    return waiting && timeout != "0x0";
}

gboolean countRead(gint fd, GIOCondition, gpointer calls)
{
    char c;
    if (read(fd, &c, 1) == 1)
        ++*static_cast<int*>(calls);
    return G_SOURCE_CONTINUE;
}

// GLib closes its descriptors itself, and the next one it opens may take
// the same number: the run loop must then wait on the new file, so that
// what arrives on it while the loop sleeps wakes it.
TEST(GLibBridge, ADescriptorWhoseNumberGLibReusedWakesTheSleepingLoop)
{
    RunLoop& loop = RunLoop::main();
    ASSERT_TRUE(loop.isCurrent());
    platform::glib::attachToMainLoop();
    int old[2];
    int fresh[2];
    ASSERT_EQ(pipe(old), 0);
    ASSERT_EQ(pipe(fresh), 0);
    int ignored = 0;
    guint first = g_unix_fd_add(old[0], G_IO_IN, countRead, &ignored);
    loop.runUntilIdle();

    // Between two turns of the loop: the source goes with its descriptor,
    // and a new source comes on another file under the same number.
    const int number = old[0];
    g_source_remove(first);
    close(old[0]);
    close(old[1]);
    ASSERT_EQ(dup2(fresh[0], number), number);
    close(fresh[0]);
    int calls = 0;
    guint second = g_unix_fd_add(number, G_IO_IN, countRead, &calls);
    loop.runUntilIdle();
    ASSERT_EQ(calls, 0);

    // A byte arrives once the loop sleeps.
    const pid_t mainThread = pid_t(syscall(SYS_gettid));
    std::atomic<bool> written { false };
    std::thread writer([&] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!asleepInTheLoopsWait(mainThread) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        written = write(fresh[1], "x", 1) == 1;
    });
    auto result = loop.runMode(platform::kDefaultRunLoopMode, 3, true);
    writer.join();
    ASSERT_TRUE(written.load());
    EXPECT_EQ(result, RunLoop::RunResult::HandledSource) << "the loop slept through the new file's data";
    EXPECT_EQ(calls, 1);

    g_source_remove(second);
    loop.runUntilIdle();
    close(number);
    close(fresh[1]);
}

} // namespace
