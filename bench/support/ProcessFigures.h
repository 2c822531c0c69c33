#pragma once

// Figures of a running process and of the machine that the benchmarks which
// start the client program report beside their own.

#include "tests/support/ProcessUtil.h"

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

} // namespace benchsupport
