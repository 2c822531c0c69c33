#include "tests/support/ProcessUtil.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <linux/capability.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

std::string makeTempDir(const char* prefix)
{
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!::mkdtemp(buffer.data()))
        return {};
    return std::string(buffer.data());
}

TempDir::TempDir(const char* prefix)
    : path_(makeTempDir(prefix))
{
}

TempDir::~TempDir()
{
    if (path_.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

CommandResult runCommand(const std::string& shellCommand)
{
    CommandResult result;
    FILE* pipe = ::popen(shellCommand.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    const int rc = ::pclose(pipe);
    result.status = rc != -1 && WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return result;
}

bool haveTool(const std::string& name)
{
    return runCommand("command -v " + shellQuoted(name) + " >/dev/null 2>&1").status == 0;
}

std::string shellQuoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

pid_t spawnProcess(const std::vector<std::string>& args, const std::string& logPath, int passedFd)
{
    if (args.empty())
        return -1;
    // Everything the child needs is made before the fork: between fork and
    // exec only async-signal-safe calls.
    std::vector<char*> argv;
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const char* log = logPath.c_str();
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid != 0)
        return pid < 0 ? -1 : pid;
    // The child goes with the thread that started it, however that ends (a
    // watchdog's exit, a crash, a kill from the test runner): no server or
    // client is left running on the machine.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent)
        ::_exit(127);
    // The signals that ask a program to end reach it as from a terminal,
    // whatever the test runner ignores or blocks (a run under nohup, say).
    struct sigaction byDefault { };
    byDefault.sa_handler = SIG_DFL;
    sigset_t ending;
    sigemptyset(&ending);
    for (int signal : { SIGINT, SIGTERM, SIGHUP }) {
        ::sigaction(signal, &byDefault, nullptr);
        sigaddset(&ending, signal);
    }
    ::sigprocmask(SIG_UNBLOCK, &ending, nullptr);
    int in = ::open("/dev/null", O_RDONLY);
    int out = ::open(log, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (in < 0 || out < 0 || ::dup2(in, STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0
        || ::dup2(out, STDERR_FILENO) < 0)
        ::_exit(127);
    if (passedFd >= 0) {
        // dup2 clears close-on-exec; a descriptor that is 3 already keeps its flag.
        if (passedFd == 3 ? ::fcntl(3, F_SETFD, 0) < 0 : ::dup2(passedFd, 3) < 0)
            ::_exit(127);
    }
    for (int fd : { in, out })
        if (fd > 2 && !(passedFd >= 0 && fd == 3))
            ::close(fd);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
}

int waitForProcess(pid_t pid, double timeoutSeconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (true) {
        int status = 0;
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        if (done < 0)
            return -1;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool runProcess(const std::vector<std::string>& args, const std::string& logPath, std::string* error)
{
    pid_t pid = spawnProcess(args, logPath);
    int status = pid < 0 ? -1 : waitForProcess(pid, 30);
    if (status == 0)
        return true;
    if (error) {
        *error = (args.empty() ? std::string() : args[0]) + " " + (args.size() > 1 ? args[1] : "") + " failed ("
            + std::to_string(status) + "): " + readTextFile(logPath);
    }
    return false;
}

void stopProcess(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    waitForProcess(pid, 5);
}

int freeLoopbackPort()
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool canConnectToLoopback(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

bool waitUntilListening(int port, pid_t pid, double timeoutSeconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (canConnectToLoopback(port))
            return true;
        // Peek without reaping: the caller still stops (and reaps) the child.
        siginfo_t info {};
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

namespace {

    // Raises or lowers the calling thread's effective power to write past
    // file modes; the permitted set keeps it, so it can be raised again.
    bool setDacOverride(bool effective)
    {
        __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
        __user_cap_data_struct data[2] {};
        if (::syscall(SYS_capget, &header, data) != 0)
            return false;
        if (effective)
            data[0].effective |= 1u << CAP_DAC_OVERRIDE;
        else
            data[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        return ::syscall(SYS_capset, &header, data) == 0;
    }

} // namespace

WriteProtection::WriteProtection(std::vector<std::string> paths)
{
    holds_ = true;
    for (const auto& path : paths) {
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || ::chmod(path.c_str(), info.st_mode & 07555) != 0) {
            holds_ = false;
            continue;
        }
        modes_.emplace_back(path, info.st_mode & 07777);
    }
    if (::geteuid() == 0) {
        loweredOverride_ = setDacOverride(false);
        holds_ = holds_ && loweredOverride_;
    }
}

WriteProtection::~WriteProtection()
{
    if (loweredOverride_)
        setDacOverride(true);
    for (auto it = modes_.rbegin(); it != modes_.rend(); ++it)
        ::chmod(it->first.c_str(), it->second);
}

std::string readTextFile(const std::string& path)
{
    std::string text;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, std::size_t(n));
    }
    ::close(fd);
    return text;
}

bool writeTextFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

} // namespace testsupport
