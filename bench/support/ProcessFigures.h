#pragma once

// Figures of a running process and of the machine that the benchmarks which
// start the client program report beside their own.

#include "tests/support/ProcessUtil.h"

#include <ctime>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/types.h>
#include <unistd.h>

namespace benchsupport {

// The machine's load average over the last minute.
inline double loadAverage()
{
    std::istringstream fields(testsupport::readTextFile("/proc/loadavg"));
    double one = 0;
    fields >> one;
    return one;
}

// A field of a /proc file of lines "Name: value ..." (status, smaps_rollup):
// its first number, 0 when the field or the file is not there.
inline double procField(const std::string& path, const std::string& name)
{
    std::ifstream file(path);
    std::string line;
    const std::string key = name + ":";
    while (std::getline(file, line))
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(key.size()));
    return 0;
}

// Resident memory (VmRSS) in megabytes.
inline double residentMegabytes(pid_t pid)
{
    return procField("/proc/" + std::to_string(pid) + "/status", "VmRSS") / 1024.0;
}

// Proportional set size in megabytes: shared pages split among the
// processes that map them (/proc/PID/smaps_rollup).
inline double proportionalMegabytes(pid_t pid)
{
    return procField("/proc/" + std::to_string(pid) + "/smaps_rollup", "Pss") / 1024.0;
}

// The threads of the process.
inline int threadCount(pid_t pid) { return int(procField("/proc/" + std::to_string(pid) + "/status", "Threads")); }

// User and system time of the process so far, in seconds.
inline double cpuSeconds(pid_t pid)
{
    std::string text = testsupport::readTextFile("/proc/" + std::to_string(pid) + "/stat");
    auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    long long utime = 0;
    long long stime = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14)
            utime = std::stoll(field);
        if (index == 15)
            stime = std::stoll(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// Time the process has spent on a CPU so far, in seconds, to the nanosecond:
// its own CPU-time clock (clock_getcpuclockid), which counts every thread it
// has run, those that have ended too (the time of a thread that ended is not
// in any of /proc/PID/task, which list the live ones only). The clock ticks
// of cpuSeconds, which count ended threads as well, are 10 ms each: too
// coarse for a process that is meant to spend a few milliseconds a second.
inline double runSeconds(pid_t pid)
{
    clockid_t clock {};
    timespec now {};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &now) != 0)
        return 0;
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

} // namespace benchsupport
