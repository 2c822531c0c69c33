#include "tests/support/app/TestWatchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <execinfo.h>
#include <mutex>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

// The sanitizer runtimes print a symbolised stack; absent without them.
extern "C" void __sanitizer_print_stack_trace() __attribute__((weak));

namespace testsupport {

namespace {

    std::atomic<bool> stackPrinted { false };

    void writeError(const char* text) { [[maybe_unused]] auto written = ::write(STDERR_FILENO, text, std::strlen(text)); }

    void printStackHere(int)
    {
        writeError("[ WATCHDOG ] main thread stack:\n");
        if (__sanitizer_print_stack_trace) {
            __sanitizer_print_stack_trace();
        } else {
            void* frames[128];
            int count = backtrace(frames, 128);
            backtrace_symbols_fd(frames, count, STDERR_FILENO);
        }
        stackPrinted = true;
    }

    // Lives until the program ends (its thread waits on it to the last).
    class Watchdog final {
    public:
        explicit Watchdog(double limitSeconds)
            : limit_(limitSeconds)
            , mainThread_(pthread_self())
        {
            struct sigaction action {};
            action.sa_handler = printStackHere;
            sigemptyset(&action.sa_mask);
            sigaction(SIGUSR2, &action, nullptr);
            // The program ends with the watchdog: it is never joined.
            std::thread([this] { watch(); }).detach();
        }

        void end()
        {
            std::lock_guard guard(mutex_);
            running_.clear();
            changed_.notify_all();
        }

        void begin(const ::testing::TestInfo& info)
        {
            std::lock_guard guard(mutex_);
            running_ = std::string(info.test_suite_name()) + "." + info.name();
            extended_ = 0;
            deadline_ = std::chrono::steady_clock::now()
                + std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(limit_));
            changed_.notify_all();
        }

        void extend(double seconds)
        {
            std::lock_guard guard(mutex_);
            if (running_.empty())
                return;
            extended_ += seconds;
            deadline_ += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(seconds));
            changed_.notify_all();
        }

    private:
        void watch()
        {
            std::unique_lock lock(mutex_);
            for (;;) {
                if (running_.empty()) {
                    changed_.wait(lock);
                    continue;
                }
                std::string watched = running_;
                auto deadline = deadline_;
                if (changed_.wait_until(lock, deadline, [&] { return running_ != watched || deadline_ != deadline; }))
                    continue;
                std::fprintf(stderr, "\n[ WATCHDOG ] %s has run for %.0f s without finishing: failed\n",
                    watched.c_str(), limit_ + extended_);
                std::fflush(stderr);
                pthread_kill(mainThread_, SIGUSR2);
                // Give the main thread a moment to print where it is.
                for (int i = 0; i < 100 && !stackPrinted; ++i)
                    changed_.wait_for(lock, std::chrono::milliseconds(50));
                std::_Exit(1);
            }
        }

        const double limit_;
        const pthread_t mainThread_;
        std::mutex mutex_;
        std::condition_variable changed_;
        std::string running_;
        std::chrono::steady_clock::time_point deadline_;
        double extended_ = 0;
    };

    // What gtest owns and deletes at exit; the watchdog stays.
    class WatchdogListener final : public ::testing::EmptyTestEventListener {
    public:
        explicit WatchdogListener(Watchdog& watchdog)
            : watchdog_(watchdog)
        {
        }
        void OnTestStart(const ::testing::TestInfo& info) override { watchdog_.begin(info); }
        void OnTestEnd(const ::testing::TestInfo&) override { watchdog_.end(); }

    private:
        Watchdog& watchdog_;
    };

    double limitFromEnvironment()
    {
        if (const char* text = std::getenv("ORB_TEST_WATCHDOG_SECONDS"); text && *text) {
            char* end = nullptr;
            double seconds = std::strtod(text, &end);
            if (end && *end == '\0' && seconds > 0)
                return seconds;
        }
        // The thread sanitizer runs the window's work several times slower:
        // the longest walks take 40 s under it alone, more beside other tests.
#if defined(__SANITIZE_THREAD__)
        return 180;
#else
        return 60;
#endif
    }

} // namespace

namespace {

    Watchdog& installedWatchdog()
    {
        static Watchdog* watchdog = nullptr;
        static std::once_flag once;
        std::call_once(once, [] {
            watchdog = new Watchdog(limitFromEnvironment());
            ::testing::UnitTest::GetInstance()->listeners().Append(new WatchdogListener(*watchdog));
            // Installed from inside a test: that test is watched from now on.
            if (const auto* current = ::testing::UnitTest::GetInstance()->current_test_info())
                watchdog->begin(*current);
        });
        return *watchdog;
    }

} // namespace

void installTestWatchdog() { installedWatchdog(); }

void extendTestWatchdog(double seconds) { installedWatchdog().extend(seconds); }

} // namespace testsupport
