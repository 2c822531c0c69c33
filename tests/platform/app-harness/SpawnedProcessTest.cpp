// The programs tests start (servers, X servers, the client itself) go with
// the test that started them, however it ends.
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>

using namespace testsupport;

TEST(SpawnedProcess, OutputLandsInTheLogAndTheDescriptorArrivesAsThree)
{
    TempDir dir("orb-spawn");
    ASSERT_FALSE(dir.path().empty());
    int pipeFds[2];
    ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
    const std::string log = dir.path() + "/out.log";
    pid_t pid = spawnProcess({ "sh", "-c", "echo to-the-log; echo to-err >&2; echo through-three >&3" }, log, pipeFds[1]);
    ASSERT_GT(pid, 0);
    ::close(pipeFds[1]);
    EXPECT_EQ(waitForProcess(pid, 10), 0);
    char buffer[64] = {};
    ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer - 1);
    ::close(pipeFds[0]);
    EXPECT_EQ(std::string(buffer, n > 0 ? std::size_t(n) : 0), "through-three\n");
    auto text = readTextFile(log);
    EXPECT_NE(text.find("to-the-log\n"), std::string::npos) << text;
    EXPECT_NE(text.find("to-err\n"), std::string::npos) << text;
}

TEST(SpawnedProcess, AProgramNotFoundEndsWith127)
{
    TempDir dir("orb-spawn");
    pid_t pid = spawnProcess({ "orb-no-such-program-anywhere" }, dir.path() + "/out.log");
    ASSERT_GT(pid, 0);
    EXPECT_EQ(waitForProcess(pid, 10), 127);
}

TEST(SpawnedProcess, EndsWithTheThreadThatStartedIt)
{
    TempDir dir("orb-spawn");
    pid_t pid = -1;
    // A thread that starts a long sleep and ends as soon as it runs, as a
    // failing test's program ends without stopping what it started.
    std::thread([&] {
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return;
        pid = spawnProcess({ "sh", "-c", "echo up >&3; exec sleep 60" }, dir.path() + "/out.log", ready[1]);
        ::close(ready[1]);
        char c;
        if (pid > 0) {
            EXPECT_EQ(::read(ready[0], &c, 1), 1);
        }
        ::close(ready[0]);
    }).join();
    ASSERT_GT(pid, 0);
    EXPECT_EQ(waitForProcess(pid, 20), 128 + SIGKILL);
}
