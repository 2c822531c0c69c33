#pragma once

#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

// Small file, process and socket helpers shared by the tests and by the
// fixtures that run real servers (nginx, tinyproxy) for them.
namespace testsupport {

// A fresh folder "/tmp/<prefix>-XXXXXX"; empty on failure.
std::string makeTempDir(const char* prefix);

// A fresh folder "/tmp/<prefix>-XXXXXX" for the life of the object, removed
// with everything in it; path() is empty when it could not be made.
class TempDir {
public:
    explicit TempDir(const char* prefix = "orb-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::string operator/(const std::string& name) const { return file(name); }

private:
    std::string path_;
};

// A shell command run to its end: what it wrote to standard output, and its
// exit status (-1 when it could not run or a signal ended it).
struct CommandResult {
    int status = -1;
    std::string output;
};
CommandResult runCommand(const std::string& shellCommand);
// Whether a program of this name is on PATH.
bool haveTool(const std::string& name);
// Whether a test that cannot run for want of a tool (a program or a
// package's data that scripts/setup installs, an X server) fails instead of
// skipping: the full run (scripts/test) installs them all first and sets
// ORB_REQUIRE_TOOLS=1, so there a missing one is a broken machine, and a
// skip would pass over the very cases that needed it. A skip made by design
// (what this build, the kernel or the calendar does not offer) is no missing
// tool and stays a skip.
inline bool toolsRequired()
{
    const char* value = std::getenv("ORB_REQUIRE_TOOLS");
    return value && *value && std::string_view(value) != "0";
}
// The text in single quotes for the shell, its own single quotes escaped.
std::string shellQuoted(const std::string& text);
// Starts a program (found on PATH) with stdout and stderr appended to
// logPath and stdin from /dev/null; the pid, or -1. A descriptor given as
// `passedFd` reaches the program as its descriptor 3. The program is killed
// when the thread that started it ends, so nothing outlives a test program
// that fails hard.
pid_t spawnProcess(const std::vector<std::string>& args, const std::string& logPath, int passedFd = -1);
// Waits at most timeoutSeconds for the child to end; its exit status, or -1
// after killing it.
int waitForProcess(pid_t pid, double timeoutSeconds);
// Runs a program to its end (at most 30 s); false with its output in *error.
bool runProcess(const std::vector<std::string>& args, const std::string& logPath, std::string* error);
// Asks the child to end (SIGTERM) and waits for it, killing it after 5 s.
void stopProcess(pid_t pid);

// A loopback port that was free a moment ago.
int freeLoopbackPort();
// Whether something accepts connections on 127.0.0.1:port.
bool canConnectToLoopback(int port);
// Waits until 127.0.0.1:port accepts connections, the child exits, or
// timeoutSeconds pass. True when it accepts.
bool waitUntilListening(int port, pid_t pid, double timeoutSeconds);

// Takes the write permission off files and folders for the life of the
// object, as a read-only home is for an app: the modes lose their write bits
// and, when the tests run as root, the calling thread sets aside its power
// to write past them (the other threads keep theirs). Undone on destruction.
class WriteProtection {
public:
    explicit WriteProtection(std::vector<std::string> paths);
    ~WriteProtection();
    WriteProtection(const WriteProtection&) = delete;
    WriteProtection& operator=(const WriteProtection&) = delete;

    // Whether every path was protected and the thread cannot write past it.
    bool holds() const { return holds_; }

private:
    std::vector<std::pair<std::string, unsigned>> modes_;
    bool loweredOverride_ = false;
    bool holds_ = false;
};

// The file's bytes, or what could be read of them ("" when it cannot be
// opened): never throws, also for a /proc file whose process has just gone.
std::string readTextFile(const std::string& path);
bool writeTextFile(const std::string& path, const std::string& text);

} // namespace testsupport

// Ends a test (its body or its fixture's SetUp) that cannot run for want of a
// tool: skipped with the reason, or failed with it where tools are required.
#define ORB_SKIP_WITHOUT_TOOL(why)                                                                                     \
    do {                                                                                                               \
        const std::string orbMissingTool_ = (why);                                                                     \
        if (::testsupport::toolsRequired())                                                                            \
            GTEST_FAIL() << orbMissingTool_ << " (ORB_REQUIRE_TOOLS is set: every tool must be there)";                \
        GTEST_SKIP() << orbMissingTool_;                                                                               \
    } while (false)
