#include "platform/uikit/GLibMainContext.h"

#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"

#include <glib.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>
#include <vector>

namespace platform::glib {

namespace {

    class Driver {
    public:
        Driver()
        {
            context_ = g_main_context_default();
            if (!g_main_context_acquire(context_))
                log("GLib: the default main context belongs to another thread\n");
            timerfd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
            auto& loop = RunLoop::main();
            if (timerfd_ >= 0)
                timerSource_ = loop.addSource(timerfd_, RunLoop::kReadable, [this](std::uint32_t) {
                    std::uint64_t expirations = 0;
                    [[maybe_unused]] auto n = read(timerfd_, &expirations, sizeof expirations);
                    turnedByItself();
                });
            loop.addBeforeWaitingObserver([this] { pump(); });
            pump();
        }

        // One non-blocking turn of GLib's context per round, as many rounds as
        // have work; then the descriptors and the time-out of the last round are
        // handed to the run loop, which waits on them with everything else.
        void pump()
        {
            if (busy_)
                return;
            busy_ = true;
            gint timeout = -1;
            bool more = false;
            for (int round = 0; round < 16; ++round) {
                if (!turn(0, &timeout)) {
                    more = false;
                    break;
                }
                more = true;
            }
            watch(more ? 0 : timeout);
            busy_ = false;
        }

        bool iterateUntil(const std::function<bool()>& done, double seconds)
        {
            using Clock = std::chrono::steady_clock;
            auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
            bool wasBusy = busy_;
            busy_ = true;
            bool result = done();
            while (!result) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
                if (left <= 0)
                    break;
                gint timeout = -1;
                turn(int(std::min<long long>(left, 50)), &timeout);
                result = done();
            }
            busy_ = wasBusy;
            if (!busy_)
                watch(0);
            return result;
        }

    private:
        // A turn of GLib's own (its descriptors or its time-out woke the
        // loop) changes nothing a window shows: what the engine tells the
        // application reaches it as tasks of the main loop, which count on
        // their own. Said so, the window does not draw the screen again for
        // every message between the engine's processes while a page loads.
        void turnedByItself()
        {
            RunLoop::main().markCalloutQuiet();
            pump();
        }

        // prepare, query, poll (up to waitMs), check and dispatch. True when
        // something was dispatched.
        bool turn(int waitMs, gint* timeout)
        {
            gint priority = 0;
            g_main_context_prepare(context_, &priority);
            gint count = 0;
            while ((count = g_main_context_query(context_, priority, timeout, fds_.data(), gint(fds_.size())))
                > gint(fds_.size()))
                fds_.resize(std::size_t(count));
            int wait = waitMs;
            if (*timeout >= 0 && *timeout < wait)
                wait = *timeout;
            if (count > 0 || wait > 0)
                poll(reinterpret_cast<pollfd*>(fds_.data()), nfds_t(count), wait);
            polled_ = std::size_t(count);
            if (!g_main_context_check(context_, priority, fds_.data(), count))
                return false;
            g_main_context_dispatch(context_);
            return true;
        }

        void watch(gint timeout)
        {
            auto& loop = RunLoop::main();
            std::map<int, std::uint32_t> wanted;
            for (std::size_t i = 0; i < polled_; ++i) {
                // GLib's G_IO_* bits are poll's, which are epoll's for these.
                std::uint32_t events = 0;
                if (fds_[i].events & (G_IO_IN | G_IO_PRI))
                    events |= RunLoop::kReadable;
                if (fds_[i].events & G_IO_OUT)
                    events |= RunLoop::kWritable;
                wanted[fds_[i].fd] |= events;
            }
            for (auto it = watched_.begin(); it != watched_.end();) {
                auto found = wanted.find(it->first);
                // GLib closes its descriptors itself, sometimes before we hear
                // they are no longer wanted, and the number may come back for
                // another file (GLib's next one, or another thread's): a
                // descriptor is followed by the file it names, not its number.
                if (found == wanted.end() || loop.sourceOutlivedItsFile(it->second.first)) {
                    loop.removeSource(it->second.first);
                    it = watched_.erase(it);
                    continue;
                }
                if (found->second != it->second.second) {
                    loop.updateSource(it->second.first, found->second);
                    it->second.second = found->second;
                }
                ++it;
            }
            for (const auto& [fd, events] : wanted) {
                if (watched_.count(fd))
                    continue;
                auto id = loop.addSource(fd, events, [this](std::uint32_t) { turnedByItself(); });
                if (id)
                    watched_[fd] = { id, events };
            }
            if (timerfd_ < 0)
                return;
            itimerspec due {};
            if (timeout >= 0) {
                // A zero value would disarm the timer: one nanosecond fires at once.
                long long ns = timeout == 0 ? 1 : (long long)timeout * 1000000;
                due.it_value.tv_sec = time_t(ns / 1000000000);
                due.it_value.tv_nsec = long(ns % 1000000000);
            }
            timerfd_settime(timerfd_, 0, &due, nullptr);
        }

        GMainContext* context_ = nullptr;
        int timerfd_ = -1;
        RunLoop::SourceId timerSource_ = 0;
        std::vector<GPollFD> fds_ = std::vector<GPollFD>(16);
        std::size_t polled_ = 0;
        std::map<int, std::pair<RunLoop::SourceId, std::uint32_t>> watched_;
        bool busy_ = false;
    };

    Driver*& driver()
    {
        // Lives as long as the process: GLib's sources outlive every caller.
        static Driver* instance = nullptr;
        return instance;
    }

} // namespace

void attachToMainLoop()
{
    if (!driver())
        driver() = new Driver();
}

bool iterateUntil(const std::function<bool()>& done, double seconds)
{
    attachToMainLoop();
    return driver()->iterateUntil(done, seconds);
}

} // namespace platform::glib
