#include "tests/support/FileFaults.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace testsupport {

std::optional<std::string> runWithFileSizeLimit(rlim_t limit, const std::function<std::string()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return std::nullopt;
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        ::close(fds[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit rl {
            limit, limit
        };
        ::setrlimit(RLIMIT_FSIZE, &rl);
        const std::string out = body();
        for (std::size_t done = 0; done < out.size();) {
            ssize_t n = ::write(fds[1], out.data() + done, out.size() - done);
            if (n <= 0)
                ::_exit(2);
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            out.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR)
            break;
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return out;
}

namespace {

    // The calling thread's capability sets (a raw system call: each thread has its own).
    bool threadCapabilities(__user_cap_data_struct (&data)[2], bool set)
    {
        __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
        return ::syscall(set ? SYS_capset : SYS_capget, &header, data) == 0;
    }

    constexpr unsigned kOverrides[] = { CAP_DAC_OVERRIDE, CAP_FOWNER };

} // namespace

PermissionsEnforced::PermissionsEnforced()
{
    __user_cap_data_struct data[2] {};
    if (!threadCapabilities(data, false))
        return;
    for (unsigned cap : kOverrides)
        data[cap / 32].effective &= ~(1u << (cap % 32));
    dropped_ = threadCapabilities(data, true);
}

PermissionsEnforced::~PermissionsEnforced()
{
    __user_cap_data_struct data[2] {};
    if (!dropped_ || !threadCapabilities(data, false))
        return;
    // What is still permitted may be taken up again.
    for (unsigned cap : kOverrides)
        data[cap / 32].effective |= data[cap / 32].permitted & (1u << (cap % 32));
    threadCapabilities(data, true);
}

} // namespace testsupport
