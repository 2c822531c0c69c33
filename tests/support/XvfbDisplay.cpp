#include "tests/support/XvfbDisplay.h"

#include "platform/os/FileUtil.h"
#include "platform/os/RunLoop.h"
#include "tests/support/ProcessUtil.h"

#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

bool toolInstalled(const std::string& tool)
{
    for (const char* dir : { "/usr/bin", "/usr/local/bin", "/bin" })
        if (access((std::string(dir) + "/" + tool).c_str(), X_OK) == 0)
            return true;
    return false;
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
    // A display number nobody holds: neither a lock file nor a socket.
    for (int number = 70 + int(getpid() % 200); number < 70 + 200 + 200; ++number) {
        std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        struct stat st { };
        if (stat(lock.c_str(), &st) == 0 || stat(socket.c_str(), &st) == 0)
            continue;
        std::string display = ":" + std::to_string(number);
        // -noreset: an X server resets when its last client leaves, and a
        // client connecting meanwhile (the next program a test starts right
        // after the last one ended) is refused or cut off.
        pid_ = spawnProcess({ found, display, "-screen", "0", "800x1200x24", "-nolisten", "tcp", "-noreset" },
            directory_ + "/xvfb.log");
        if (pid_ < 0) {
            *reason = "Xvfb could not be started";
            return false;
        }
        // Bounded: 100 looks, 50 ms apart.
        for (int i = 0; i < 100; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            if (stat(socket.c_str(), &st) == 0) {
                if (const char* previous = std::getenv("DISPLAY")) {
                    hadDisplay_ = true;
                    previousDisplay_ = previous;
                }
                setenv("DISPLAY", display.c_str(), 1);
                name_ = display;
                return true;
            }
            usleep(50 * 1000);
        }
        if (pid_ > 0) {
            stopProcess(pid_);
            pid_ = -1;
        }
        *reason = "Xvfb did not come up on " + display + ": " + readTextFile(directory_ + "/xvfb.log");
        return false;
    }
    *reason = "no free X display number";
    return false;
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

} // namespace testsupport
