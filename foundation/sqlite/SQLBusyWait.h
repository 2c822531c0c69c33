#pragma once

#include <chrono>
#include <thread>

namespace foundation {

// The wait between tries of an operation that found the database busy or
// locked. It gives up after the connection's retry count (when one is set) and,
// in any case, once the time bound has passed, so a database that another
// process keeps locked never hangs the program.
class SQLBusyWait final {
public:
    SQLBusyWait(int retryLimit, double maxSeconds)
        : retryLimit_(retryLimit)
        , maxWait_(std::chrono::duration_cast<std::chrono::steady_clock::duration>(
              std::chrono::duration<double>(maxSeconds > 0 ? maxSeconds : 0)))
    {
    }

    // Called after a busy or locked answer. Waits and answers true when the
    // caller should try again, false when it should give up.
    bool waitToRetry()
    {
        if (retryLimit_ > 0 && retries_ > retryLimit_)
            return false;
        auto now = std::chrono::steady_clock::now();
        // The clock starts at the first busy answer, so the common case of a
        // free database never reads it.
        if (retries_ == 0)
            deadline_ = now + maxWait_;
        if (now >= deadline_)
            return false;
        ++retries_;
        // Short waits first, as the lock is usually released quickly; then
        // longer ones so that a long wait does not spin the processor.
        auto pause = std::chrono::microseconds(retries_ < 50 ? 20 : (retries_ < 200 ? 200 : 1000));
        if (now + pause > deadline_)
            pause = std::chrono::duration_cast<std::chrono::microseconds>(deadline_ - now);
        std::this_thread::sleep_for(pause);
        return true;
    }

private:
    int retryLimit_;
    int retries_ = 0;
    std::chrono::steady_clock::duration maxWait_;
    std::chrono::steady_clock::time_point deadline_ {};
};

} // namespace foundation
