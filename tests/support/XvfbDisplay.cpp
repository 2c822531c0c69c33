#include "tests/support/XvfbDisplay.h"

#include "platform/os/FileUtil.h"
#include "platform/os/RunLoop.h"
#include "tests/support/ProcessUtil.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

bool toolInstalled(const std::string& tool)
{
    // Where the tests start it from: the PATH.
    return haveTool(tool);
}

std::string startWindowTestDisplay(XvfbDisplay& display)
{
    std::string reason;
    if (!display.start(&reason))
        return "no X server for the window: " + reason;
    for (const char* tool : { "xdotool", "import" })
        if (!toolInstalled(tool))
            return std::string(tool) + " is not installed (scripts/setup installs it)";
    return {};
}

XvfbDisplay::~XvfbDisplay() { stop(); }

bool XvfbDisplay::start(std::string* reason)
{
    std::string found;
    for (const char* dir : { "/usr/bin", "/usr/local/bin", "/bin" }) {
        std::string candidate = std::string(dir) + "/Xvfb";
        if (access(candidate.c_str(), X_OK) == 0)
            found = candidate;
    }
    if (found.empty()) {
        *reason = "Xvfb is not installed (scripts/setup installs the xvfb package)";
        return false;
    }
    directory_ = makeTempDir("orb-xvfb");
    // Xvfb picks the display number itself (-displayfd): it takes the first
    // one whose lock file it can create, so test programs starting together
    // never pick the same number, and it writes the number to the pipe once
    // it listens.
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        *reason = "no pipe for Xvfb";
        return false;
    }
    std::string log = directory_ + "/xvfb.log";
    // -noreset: an X server resets when its last client leaves, and a client
    // connecting meanwhile (the next program a test starts right after the
    // last one ended) is refused or cut off.
    pid_ = spawnProcess(
        { found, "-displayfd", "3", "-screen", "0", "800x1200x24", "-nolisten", "tcp", "-noreset" }, log, fds[1]);
    close(fds[1]);
    if (pid_ < 0) {
        close(fds[0]);
        *reason = "Xvfb could not be started";
        return false;
    }
    // Bounded: ten seconds for the number; the pipe ends early when Xvfb
    // exits.
    std::string number;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (number.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd entry { fds[0], POLLIN, 0 };
        if (poll(&entry, 1, int(left.count())) <= 0)
            break;
        char buffer[32];
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        number.append(buffer, std::size_t(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        stopProcess(pid_);
        pid_ = -1;
        *reason = "Xvfb did not come up: " + readTextFile(log);
        return false;
    }
    number.erase(number.find('\n'));
    std::string display = ":" + number;
    if (const char* previous = std::getenv("DISPLAY")) {
        hadDisplay_ = true;
        previousDisplay_ = previous;
    }
    setenv("DISPLAY", display.c_str(), 1);
    name_ = display;
    return true;
}

void XvfbDisplay::stop()
{
    if (pid_ > 0) {
        stopProcess(pid_);
        pid_ = -1;
    }
    if (!directory_.empty()) {
        platform::FileUtil::remove(directory_);
        directory_.clear();
    }
    if (!name_.empty()) {
        if (hadDisplay_)
            setenv("DISPLAY", previousDisplay_.c_str(), 1);
        else
            unsetenv("DISPLAY");
        name_.clear();
    }
}

int runWhileLooping(const std::vector<std::string>& args, std::string* output)
{
    std::string directory = makeTempDir("orb-tool");
    std::string log = directory + "/out.log";
    pid_t pid = spawnProcess(args, log);
    if (pid < 0)
        return -1;
    int exitStatus = -1;
    bool done = platform::RunLoop::main().runUntil(
        [&] {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) != pid)
                return false;
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            return true;
        },
        20);
    if (!done) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (output)
        *output = readTextFile(log);
    platform::FileUtil::remove(directory);
    return exitStatus;
}

int clickInWindow(const std::string& windowId, double x, double y)
{
    return runWhileLooping({ "xdotool", "mousemove", "--window", windowId, std::to_string(std::lround(x)),
        std::to_string(std::lround(y)), "click", "1" });
}

} // namespace testsupport
