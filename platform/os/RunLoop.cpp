#include "platform/os/RunLoop.h"

#include "platform/os/Log.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>
#include <unordered_map>

#include <fcntl.h>
#include <linux/kcmp.h>
#include <sched.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform {

namespace {

    double realNow()
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
    }

    class SteadyClock final : public Clock {
    public:
        double now() const override { return realNow(); }
    };

    bool modeMatches(const std::string& itemMode, std::string_view runningMode)
    {
        return itemMode == kCommonRunLoopModes || itemMode == runningMode;
    }

    // A callout must never take the loop down with it: the phone logs and carries on too.
    template <class F> void callSafely(const char* what, F&& f)
    {
        try {
            f();
        } catch (const std::exception& e) {
            log("RunLoop: %s threw: %s\n", what, e.what());
        } catch (...) {
            log("RunLoop: %s threw a non-standard exception\n", what);
        }
    }

    // Which file a descriptor names: its number alone does not say, since a
    // closed number comes back for the next file opened, on any thread. The
    // device and inode tell most files apart, but not every eventfd, timerfd
    // and epoll descriptor (GLib's wake-ups and the loops' own among them):
    // they are all on one anonymous inode. Those are told apart by epoll
    // itself (see namesWatchedFile).
    struct FileId {
        dev_t device = 0;
        ino_t inode = 0;
        bool open = false;
        bool operator==(const FileId&) const = default;
    };

    // Asked of the kernel directly: by now the number may name another
    // thread's file, which is only compared here, never used, and which the
    // thread checker would take for a use of that file without its order.
    FileId fileOf(int fd)
    {
        struct statx status { };
        if (syscall(SYS_statx, fd, "", AT_EMPTY_PATH, STATX_INO, &status) != 0)
            return {};
        return { makedev(status.stx_dev_major, status.stx_dev_minor), status.stx_ino, true };
    }

    // Whether the file the number names now is the one epoll watches under
    // that number: 1 yes, 0 no (the watched file was closed, which took it
    // out of epoll, or the number names another), -1 when the kernel does
    // not compare files (a kernel without the comparison, or a filter on
    // system calls), and the inode is all there is to go by.
    int comparedWithWatched(int epfd, int fd)
    {
        kcmp_epoll_slot slot { std::uint32_t(epfd), std::uint32_t(fd), 0 };
        const pid_t self = getpid();
        const long order = syscall(SYS_kcmp, self, self, KCMP_EPOLL_TFD, fd, &slot);
        if (order >= 0)
            return order == 0 ? 1 : 0;
        // Nothing watched under the number any more, or nothing open there.
        return errno == ENOENT || errno == EBADF ? 0 : -1;
    }

    // Whether the kernel compares an open file with one epoll watches: asked
    // once, of a file watched and one not.
    bool epollComparesFiles()
    {
        static const bool compares = [] {
            const int epfd = epoll_create1(EPOLL_CLOEXEC);
            const int watched = eventfd(0, EFD_CLOEXEC);
            const int other = eventfd(0, EFD_CLOEXEC);
            bool works = false;
            if (epfd >= 0 && watched >= 0 && other >= 0) {
                epoll_event ev {};
                ev.events = EPOLLIN;
                ev.data.fd = watched;
                works = epoll_ctl(epfd, EPOLL_CTL_ADD, watched, &ev) == 0 && comparedWithWatched(epfd, watched) == 1
                    && dup2(other, watched) == watched && comparedWithWatched(epfd, watched) == 0;
            }
            for (int fd : { epfd, watched, other })
                if (fd >= 0)
                    close(fd);
            if (!works)
                log("RunLoop: the kernel does not compare open files; eventfds are told apart by their inode\n");
            return works;
        }();
        return compares;
    }

    // Waits longer than this are split; the loop simply goes round again.
    constexpr double kLongestWait = 3600;
    // How long a loop with a polling hold looks for work before it sleeps.
    constexpr double kHeldPoll = 0.0001;
    // runUntil looks at its predicate at least this often, because what it waits
    // for may change on another thread without anything being posted here.
    constexpr double kPredicatePoll = 0.005;

} // namespace

std::shared_ptr<Clock> Clock::steady()
{
    static const std::shared_ptr<Clock> clock = std::make_shared<SteadyClock>();
    return clock;
}

struct ManualClock::State {
    std::atomic<double> seconds { 0 };
};

ManualClock::ManualClock(double start)
    : state_(std::make_shared<State>())
{
    state_->seconds.store(start);
}

double ManualClock::now() const { return state_->seconds.load(); }

void ManualClock::set(double seconds) { state_->seconds.store(seconds); }

struct RunLoop::Impl {
    struct Posted {
        Task task;
        std::string mode;
        std::uint64_t serial;
    };
    struct TimerEntry {
        std::shared_ptr<Task> task;
        double due;
        double repeat;
        std::string mode;
    };
    struct Source {
        int fd;
        std::uint32_t events;
        std::shared_ptr<std::function<void(std::uint32_t)>> callback;
        std::string mode;
        FileId file; // what the descriptor named when the source was added
        std::uint64_t generation = 0; // the FdState's when the source was added
    };
    struct FdState {
        std::vector<SourceId> sources;
        bool pollable = true; // regular files cannot be watched by epoll: they are always ready
        bool inEpoll = false;
        std::uint32_t registered = 0;
        FileId file; // the file epoll watches under this number
        // Counts the files watched under this number: a source added for an
        // earlier one outlived it.
        std::uint64_t generation = 0;
    };

    std::thread::id owner = std::this_thread::get_id();
    int epfd = -1;
    int wakefd = -1;
    std::shared_ptr<Clock> clock = Clock::steady();
    double pollBeforeSleeping = 0;
    std::atomic<int> pollingHolds { 0 };

    // Shared with posting threads.
    std::mutex postMutex;
    std::deque<Posted> posted;
    std::uint64_t nextSerial = 1;
    bool stopRequested = false;
    bool wakePending = false;

    // Owner thread only.
    std::map<TimerId, TimerEntry> timers;
    std::set<std::tuple<double, TimerId>> timerOrder; // (due, id): id breaks ties in scheduling order
    TimerId nextTimer = 1;
    std::map<SourceId, Source> sources;
    std::unordered_map<int, FdState> fds;
    SourceId nextSource = 1;
    std::uint64_t nextGeneration = 1;
    std::string epollMode;
    bool epollDirty = true;
    std::map<ObserverId, std::shared_ptr<Task>> beforeWaiting;
    ObserverId nextObserver = 1;
    std::uint64_t callouts = 0;
    std::uint64_t quietCallouts = 0;
    // The callout running now, by its number (0 between callouts), and the
    // last one that said it was quiet.
    std::uint64_t runningCallout = 0;
    std::uint64_t quietMarkedAt = 0;

    // Runs one task, timer or source callback as a counted callout.
    template <class F> void callout(const char* what, F&& f)
    {
        std::uint64_t outer = runningCallout;
        runningCallout = ++callouts;
        callSafely(what, std::forward<F>(f));
        runningCallout = outer;
    }

    Impl()
    {
        epfd = epoll_create1(EPOLL_CLOEXEC);
        wakefd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (epfd < 0 || wakefd < 0) {
            log("RunLoop: cannot create epoll or eventfd: %s\n", std::strerror(errno));
            return;
        }
        epoll_event ev {};
        ev.events = EPOLLIN;
        ev.data.fd = wakefd;
        if (epoll_ctl(epfd, EPOLL_CTL_ADD, wakefd, &ev) < 0)
            log("RunLoop: cannot watch the wake-up descriptor: %s\n", std::strerror(errno));
    }

    ~Impl()
    {
        if (epfd >= 0)
            close(epfd);
        if (wakefd >= 0)
            close(wakefd);
    }

    // Called with postMutex held: the poster must be done with the loop before
    // the loop can see the task, since that task may end the loop's thread and
    // with it the loop. One write per sleep is enough.
    void wakeLocked()
    {
        if (wakefd < 0 || wakePending)
            return;
        wakePending = true;
        std::uint64_t one = 1;
        // A full counter (EAGAIN) still leaves the descriptor readable, which is all we need.
        [[maybe_unused]] auto n = write(wakefd, &one, sizeof one);
    }

    void drainWake()
    {
        std::lock_guard lock(postMutex);
        wakePending = false;
        // One read takes the whole count and leaves the counter at zero.
        std::uint64_t value;
        [[maybe_unused]] auto n = read(wakefd, &value, sizeof value);
    }

    bool consumeStop()
    {
        std::lock_guard lock(postMutex);
        if (!stopRequested)
            return false;
        stopRequested = false;
        return true;
    }

    bool hasPostedWork(std::string_view mode)
    {
        std::lock_guard lock(postMutex);
        return std::any_of(posted.begin(), posted.end(), [&](const Posted& p) { return modeMatches(p.mode, mode); });
    }

    // Takes the oldest task of the mode that was posted before the pass began.
    bool takePosted(std::string_view mode, std::uint64_t limit, Task& out)
    {
        std::lock_guard lock(postMutex);
        for (auto it = posted.begin(); it != posted.end() && it->serial <= limit; ++it) {
            if (modeMatches(it->mode, mode)) {
                out = std::move(it->task);
                posted.erase(it);
                return true;
            }
        }
        return false;
    }

    void scheduleTimer(TimerId id, TimerEntry entry)
    {
        timerOrder.emplace(entry.due, id);
        timers.emplace(id, std::move(entry));
    }

    void unscheduleTimer(TimerId id)
    {
        auto it = timers.find(id);
        if (it == timers.end())
            return;
        timerOrder.erase({ it->second.due, id });
        // The entry's task may be running right now; the firing code holds its own reference.
        timers.erase(it);
    }

    // The earliest timer of the mode, if any.
    const std::tuple<double, TimerId>* nextTimerIn(std::string_view mode) const
    {
        for (const auto& key : timerOrder) {
            if (modeMatches(timers.at(std::get<1>(key)).mode, mode))
                return &key;
        }
        return nullptr;
    }

    bool hasReadySource(std::string_view mode) const
    {
        for (const auto& [id, src] : sources) {
            if (!fds.at(src.fd).pollable && modeMatches(src.mode, mode) && (src.events & (kReadable | kWritable)))
                return true;
        }
        return false;
    }

    // Keeps epoll watching exactly the descriptors that have a source in the
    // running mode; a descriptor with none is taken out, or a hung-up pipe of
    // another mode would wake every wait.
    void syncEpoll(std::string_view mode)
    {
        if (!epollDirty && epollMode == mode)
            return;
        epollMode = std::string(mode);
        epollDirty = false;
        for (auto& [fd, state] : fds) {
            if (!state.pollable)
                continue;
            std::uint32_t wanted = 0;
            for (SourceId id : state.sources) {
                const auto& src = sources.at(id);
                if (modeMatches(src.mode, mode))
                    wanted |= src.events;
            }
            wanted &= (EPOLLIN | EPOLLOUT | EPOLLPRI | EPOLLRDHUP);
            bool want = wanted != 0;
            if (!want) {
                if (state.inEpoll) {
                    epoll_ctl(epfd, EPOLL_CTL_DEL, fd, nullptr);
                    state.inEpoll = false;
                }
                continue;
            }
            if (state.inEpoll && state.registered == wanted)
                continue;
            epoll_event ev {};
            ev.events = wanted;
            ev.data.fd = fd;
            int rc = -1;
            if (state.inEpoll)
                rc = epoll_ctl(epfd, EPOLL_CTL_MOD, fd, &ev);
            // The descriptor may have been closed and its number reused behind our back.
            if (rc < 0)
                rc = epoll_ctl(epfd, EPOLL_CTL_ADD, fd, &ev);
            if (rc < 0 && errno == EEXIST)
                rc = epoll_ctl(epfd, EPOLL_CTL_MOD, fd, &ev);
            if (rc < 0) {
                log("RunLoop: cannot watch descriptor %d: %s\n", fd, std::strerror(errno));
                state.inEpoll = false;
                continue;
            }
            state.inEpoll = true;
            state.registered = wanted;
        }
    }

    // Whether the number still names the file watched under it. While epoll
    // watches it, epoll is asked (it tells eventfds apart); otherwise, or
    // where the kernel does not say, the inode.
    bool namesWatchedFile(int fd, const FdState& state) const
    {
        if (state.inEpoll && state.pollable && epollComparesFiles()) {
            const int compared = comparedWithWatched(epfd, fd);
            if (compared >= 0)
                return compared == 1;
        }
        return fileOf(fd) == state.file;
    }

    enum class PassOutcome { Idle, Handled, Stopped };

    // One turn of the loop in a mode: the tasks posted before the turn began, the
    // timers due now, then a wait of at most maxWait real seconds (negative: no
    // limit but the timers) for descriptors and posts.
    PassOutcome pass(std::string_view mode, double maxWait, bool stopAfterOne)
    {
        Impl& impl = *this;
        bool handled = false;

        std::uint64_t limit;
        {
            std::lock_guard lock(impl.postMutex);
            limit = impl.nextSerial - 1;
        }
        Task task;
        while (impl.takePosted(mode, limit, task)) {
            impl.callout("a posted task", task);
            task = nullptr;
            handled = true;
            if (impl.consumeStop())
                return Impl::PassOutcome::Stopped;
            if (stopAfterOne)
                return Impl::PassOutcome::Handled;
        }

        // Timers due now. Those made during this turn wait for the next one, so a
        // timer that schedules another at zero delay cannot hold the loop here.
        const double passNow = impl.clock->now();
        const TimerId idLimit = impl.nextTimer;
        for (;;) {
            TimerId chosen = 0;
            for (const auto& [due, id] : impl.timerOrder) {
                if (due > passNow)
                    break;
                if (id < idLimit && modeMatches(impl.timers.at(id).mode, mode)) {
                    chosen = id;
                    break;
                }
            }
            if (!chosen)
                break;
            auto& entry = impl.timers.at(chosen);
            auto fn = entry.task;
            impl.timerOrder.erase({ entry.due, chosen });
            if (entry.repeat > 0) {
                // Re-arm from the previous fire date; fires missed while the loop was
                // busy are skipped, not bunched up.
                double next = entry.due + entry.repeat;
                if (next <= passNow)
                    next += std::ceil((passNow - next) / entry.repeat) * entry.repeat;
                if (next <= passNow)
                    next += entry.repeat;
                entry.due = next;
                impl.timerOrder.emplace(next, chosen);
            } else {
                impl.timers.erase(chosen);
            }
            impl.callout("a timer", *fn);
            handled = true;
            if (impl.consumeStop())
                return Impl::PassOutcome::Stopped;
            if (stopAfterOne)
                return Impl::PassOutcome::Handled;
        }

        if (!impl.beforeWaiting.empty()) {
            std::vector<std::shared_ptr<Task>> observers;
            for (const auto& [id, observer] : impl.beforeWaiting)
                observers.push_back(observer);
            for (const auto& observer : observers)
                callSafely("a before-waiting observer", *observer);
            if (impl.consumeStop())
                return Impl::PassOutcome::Stopped;
        }

        // How long may we sleep?
        double wait = maxWait;
        auto shorten = [&](double w) { wait = wait < 0 ? w : std::min(wait, w); };
        if (impl.hasPostedWork(mode) || impl.hasReadySource(mode))
            shorten(0);
        if (auto* next = impl.nextTimerIn(mode)) {
            double now = impl.clock->now();
            if (std::get<0>(*next) <= now)
                shorten(0);
            else if (!impl.clock->isManual())
                shorten(std::get<0>(*next) - now);
        }
        if (wait < 0 || wait > kLongestWait)
            wait = kLongestWait;
        int timeoutMs = static_cast<int>(std::ceil(std::max(0.0, wait) * 1000));

        impl.syncEpoll(mode);
        epoll_event events[64];
        int n = 0;
        double pollFor = handled ? impl.pollBeforeSleeping : 0;
        if (impl.pollingHolds.load(std::memory_order_relaxed) > 0)
            pollFor = std::max(pollFor, kHeldPoll);
        if (timeoutMs > 0 && pollFor > 0 && impl.epfd >= 0) {
            // Real time, whatever the loop's clock: this only decides when to sleep.
            const auto until
                = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::min(pollFor, wait));
            // Yielding between looks lets a thread that is ready on this CPU
            // (often the one that will hand the work over) run first; the CPU
            // stays awake meanwhile, which is what spares the wake-up.
            while ((n = epoll_wait(impl.epfd, events, 64, 0)) == 0 && std::chrono::steady_clock::now() < until)
                sched_yield();
        }
        if (n == 0)
            n = impl.epfd >= 0 ? epoll_wait(impl.epfd, events, 64, timeoutMs) : 0;
        if (n < 0 && errno != EINTR)
            log("RunLoop: epoll_wait failed: %s\n", std::strerror(errno));

        std::vector<std::pair<int, std::uint32_t>> ready;
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            const std::uint32_t bits = events[i].events;
            if (fd == impl.wakefd)
                impl.drainWake();
            else
                ready.emplace_back(fd, bits);
        }
        // Descriptors epoll cannot watch (regular files) are always ready.
        for (const auto& [fd, state] : impl.fds) {
            if (!state.pollable)
                ready.emplace_back(fd, kReadable | kWritable);
        }

        for (const auto& [fd, bits] : ready) {
            auto fit = impl.fds.find(fd);
            if (fit == impl.fds.end())
                continue;
            const std::vector<SourceId> ids = fit->second.sources;
            for (SourceId id : ids) {
                // An earlier callback may have removed this source.
                auto sit = impl.sources.find(id);
                if (sit == impl.sources.end() || !modeMatches(sit->second.mode, mode))
                    continue;
                std::uint32_t fired = bits & (sit->second.events | kError | kHangup);
                if (!fired)
                    continue;
                auto cb = sit->second.callback;
                impl.callout("a descriptor source", [&] { (*cb)(fired); });
                handled = true;
                if (impl.consumeStop())
                    return Impl::PassOutcome::Stopped;
                if (stopAfterOne)
                    return Impl::PassOutcome::Handled;
            }
        }
        // A stop from another thread arrives with nothing else to run.
        if (impl.consumeStop())
            return Impl::PassOutcome::Stopped;
        return handled ? Impl::PassOutcome::Handled : Impl::PassOutcome::Idle;
    }
};

namespace {

    // The thread that started the process. Read once during static
    // initialisation, which runs on that thread.
    std::thread::id initialThread()
    {
        static const std::thread::id id = std::this_thread::get_id();
        return id;
    }
    [[maybe_unused]] const std::thread::id gInitialThreadAtStartup = initialThread();

    std::mutex gMainMutex;
    std::atomic<bool> gMainClaimed { false };
    std::thread::id gMainThread; // written once under gMainMutex before gMainClaimed is set
    RunLoop* gMainLoop = nullptr; // never destroyed: other threads may post to it while the process exits
    thread_local RunLoop* tCurrent = nullptr;
    thread_local std::unique_ptr<RunLoop> tOwned;

    void claimMainThread(std::thread::id id)
    {
        if (gMainClaimed.load(std::memory_order_acquire))
            return;
        gMainThread = id;
        gMainClaimed.store(true, std::memory_order_release);
    }

} // namespace

RunLoop::RunLoop()
    : impl_(std::make_unique<Impl>())
{
}

RunLoop::~RunLoop()
{
    // Pending work is dropped unrun. Move it out first so that whatever the
    // captured state does when destroyed happens outside our lock.
    std::deque<Impl::Posted> dropped;
    {
        std::lock_guard lock(impl_->postMutex);
        dropped.swap(impl_->posted);
    }
    dropped.clear();
    auto timers = std::move(impl_->timers);
    impl_->timers.clear();
    impl_->timerOrder.clear();
    timers.clear();
    impl_->sources.clear();
}

RunLoop& RunLoop::current()
{
    if (tCurrent)
        return *tCurrent;
    const auto self = std::this_thread::get_id();
    {
        std::lock_guard lock(gMainMutex);
        if (self == initialThread())
            claimMainThread(self);
        if (gMainClaimed.load(std::memory_order_relaxed) && gMainThread == self) {
            if (!gMainLoop)
                gMainLoop = new RunLoop(); // owned by this thread from the start
            tCurrent = gMainLoop;
            return *tCurrent;
        }
    }
    tOwned.reset(new RunLoop());
    tCurrent = tOwned.get();
    return *tCurrent;
}

void RunLoop::keepCurrentAfterThreadEnds()
{
    current();
    // The thread's own loop (never the main loop, which nobody destroys).
    static_cast<void>(tOwned.release());
}

RunLoop& RunLoop::main()
{
    std::lock_guard lock(gMainMutex);
    // Asked from a worker before anyone chose: the main thread is the one
    // that started the process, never the worker that happened to ask first.
    claimMainThread(initialThread());
    if (!gMainLoop) {
        gMainLoop = new RunLoop();
        gMainLoop->impl_->owner = gMainThread;
    }
    return *gMainLoop;
}

void RunLoop::setMainThread()
{
    const auto self = std::this_thread::get_id();
    std::lock_guard lock(gMainMutex);
    if (gMainClaimed.load(std::memory_order_relaxed)) {
        if (gMainThread != self)
            log("RunLoop: setMainThread ignored, another thread is already the main thread\n");
        return;
    }
    claimMainThread(self);
    // A loop this thread already uses becomes the main loop (and lives on).
    if (tCurrent)
        gMainLoop = tOwned.release();
}

bool RunLoop::isMainThread()
{
    return gMainClaimed.load(std::memory_order_acquire) && gMainThread == std::this_thread::get_id();
}

bool RunLoop::isCurrent() const { return impl_->owner == std::this_thread::get_id(); }

void RunLoop::post(Task task, std::string mode)
{
    if (!task)
        return;
    // The loop's own thread is awake and looks for posted work before it
    // sleeps again, so only another thread has to wake it. The engine posts
    // to its own loop several times a request; each wake-up saved is a write,
    // a return from epoll and two reads.
    const bool fromOwnThread = isCurrent();
    {
        std::lock_guard lock(impl_->postMutex);
        impl_->posted.push_back({ std::move(task), std::move(mode), impl_->nextSerial++ });
        if (!fromOwnThread)
            impl_->wakeLocked();
    }
}

RunLoop::TimerId RunLoop::addTimer(double delaySeconds, double repeatSeconds, Task task, std::string mode)
{
    if (!task)
        return 0;
    if (!std::isfinite(delaySeconds) || delaySeconds < 0)
        delaySeconds = std::isnan(delaySeconds) || delaySeconds < 0 ? 0 : std::numeric_limits<double>::max() / 4;
    // A repeat of zero would fire forever without letting anything else run; the
    // platform clamps tiny intervals the same way.
    double repeat = 0;
    if (std::isfinite(repeatSeconds) && repeatSeconds > 0)
        repeat = std::max(repeatSeconds, 0.0001);
    TimerId id = impl_->nextTimer++;
    impl_->scheduleTimer(
        id, { std::make_shared<Task>(std::move(task)), impl_->clock->now() + delaySeconds, repeat, std::move(mode) });
    return id;
}

void RunLoop::cancelTimer(TimerId id) { impl_->unscheduleTimer(id); }

bool RunLoop::hasTimer(TimerId id) const { return impl_->timers.count(id) != 0; }

RunLoop::SourceId RunLoop::addSource(
    int fd, std::uint32_t events, std::function<void(std::uint32_t)> callback, std::string mode)
{
    if (fd < 0 || !callback)
        return 0;
    FileId file = fileOf(fd);
    auto [it, inserted] = impl_->fds.try_emplace(fd);
    if (!inserted && !impl_->namesWatchedFile(fd, it->second)) {
        // The file watched under this number was closed, which took it out
        // of epoll, and the number now names another: watch that one as new.
        // The sources left on the old one are their owners' to remove.
        it->second.inEpoll = false;
        it->second.registered = 0;
        it->second.pollable = true;
        it->second.generation = impl_->nextGeneration++;
    }
    if (inserted)
        it->second.generation = impl_->nextGeneration++;
    if (inserted || !it->second.inEpoll) {
        it->second.file = file;
        // Probe once whether epoll can watch this descriptor at all. The
        // probe stays as the registration: a source is nearly always added
        // in the mode that is running, and the next sync then has nothing to
        // do (in another mode it takes the descriptor out as for any other).
        epoll_event ev {};
        ev.events = events & (EPOLLIN | EPOLLOUT | EPOLLPRI | EPOLLRDHUP);
        ev.data.fd = fd;
        if (epoll_ctl(impl_->epfd, EPOLL_CTL_ADD, fd, &ev) == 0) {
            it->second.inEpoll = true;
            it->second.registered = ev.events;
        } else if (errno == EEXIST) {
            // A stale registration of a closed descriptor whose number came back.
        } else if (errno == EPERM) {
            it->second.pollable = false;
        } else {
            log("RunLoop: cannot watch descriptor %d: %s\n", fd, std::strerror(errno));
            if (it->second.sources.empty())
                impl_->fds.erase(it);
            return 0;
        }
    }
    SourceId id = impl_->nextSource++;
    impl_->sources.emplace(id,
        Impl::Source { fd, events, std::make_shared<std::function<void(std::uint32_t)>>(std::move(callback)),
            std::move(mode), file, it->second.generation });
    it->second.sources.push_back(id);
    impl_->epollDirty = true;
    return id;
}

void RunLoop::updateSource(SourceId id, std::uint32_t events)
{
    auto it = impl_->sources.find(id);
    if (it == impl_->sources.end())
        return;
    it->second.events = events;
    impl_->epollDirty = true;
}

void RunLoop::removeSource(SourceId id)
{
    auto it = impl_->sources.find(id);
    if (it == impl_->sources.end())
        return;
    int fd = it->second.fd;
    impl_->sources.erase(it);
    auto fit = impl_->fds.find(fd);
    if (fit != impl_->fds.end()) {
        auto& list = fit->second.sources;
        list.erase(std::remove(list.begin(), list.end(), id), list.end());
        if (list.empty()) {
            // Closed, the file has left epoll by itself; its number may name
            // another file by now, which must stay where it is.
            if (fit->second.inEpoll && impl_->namesWatchedFile(fd, fit->second))
                epoll_ctl(impl_->epfd, EPOLL_CTL_DEL, fd, nullptr);
            impl_->fds.erase(fit);
        }
    }
    impl_->epollDirty = true;
}

bool RunLoop::sourceOutlivedItsFile(SourceId id) const
{
    auto it = impl_->sources.find(id);
    if (it == impl_->sources.end())
        return false;
    auto fit = impl_->fds.find(it->second.fd);
    return fit == impl_->fds.end() || fit->second.generation != it->second.generation
        || !impl_->namesWatchedFile(it->second.fd, fit->second);
}

void RunLoop::run()
{
    while (runMode(kDefaultRunLoopMode, std::numeric_limits<double>::infinity()) != RunResult::Stopped) { }
}

RunLoop::RunResult RunLoop::runMode(std::string_view mode, double seconds, bool returnAfterSourceHandled)
{
    if (!isCurrent()) {
        log("RunLoop: runMode called from a thread that does not own the loop\n");
        return RunResult::Finished;
    }
    if (std::isnan(seconds) || seconds < 0)
        seconds = 0;
    if (impl_->consumeStop())
        return RunResult::Stopped;
    const double start = impl_->clock->now();
    const double deadline = start + seconds;
    // A manual clock does not move by itself, so the time allowed is also
    // measured in real time; otherwise a nested run would never time out.
    const double realDeadline = realNow() + seconds;
    for (;;) {
        double remaining;
        if (impl_->clock->isManual())
            remaining = realDeadline - realNow();
        else
            remaining = deadline - impl_->clock->now();
        if (!std::isfinite(remaining) || remaining > kLongestWait)
            remaining = kLongestWait;
        auto outcome = impl_->pass(mode, std::max(0.0, remaining), returnAfterSourceHandled);
        if (outcome == Impl::PassOutcome::Stopped)
            return RunResult::Stopped;
        if (returnAfterSourceHandled && outcome == Impl::PassOutcome::Handled)
            return RunResult::HandledSource;
        if (impl_->clock->now() >= deadline || (impl_->clock->isManual() && realNow() >= realDeadline))
            return RunResult::TimedOut;
    }
}

void RunLoop::stop()
{
    {
        std::lock_guard lock(impl_->postMutex);
        impl_->stopRequested = true;
        impl_->wakeLocked();
    }
}

bool RunLoop::runUntil(const std::function<bool()>& predicate, double realTimeoutSeconds)
{
    if (!isCurrent()) {
        log("RunLoop: runUntil called from a thread that does not own the loop\n");
        return predicate && predicate();
    }
    if (!predicate)
        return false;
    const double realDeadline = realNow() + (std::isnan(realTimeoutSeconds) ? 0 : realTimeoutSeconds);
    for (;;) {
        if (predicate())
            return true;
        double remaining = realDeadline - realNow();
        if (remaining <= 0)
            return predicate();
        auto outcome = impl_->pass(kDefaultRunLoopMode, std::min(remaining, kPredicatePoll), false);
        if (outcome == Impl::PassOutcome::Stopped)
            return predicate();
    }
}

void RunLoop::runUntilIdle()
{
    if (!isCurrent()) {
        log("RunLoop: runUntilIdle called from a thread that does not own the loop\n");
        return;
    }
    // Bounded so that a task that keeps re-posting itself cannot hang the caller.
    for (int turns = 0; turns < 100000; ++turns) {
        auto outcome = impl_->pass(kDefaultRunLoopMode, 0, false);
        if (outcome != Impl::PassOutcome::Handled)
            return;
    }
    log("RunLoop: runUntilIdle gave up, work keeps arriving\n");
}

RunLoop::ObserverId RunLoop::addBeforeWaitingObserver(Task observer)
{
    if (!observer)
        return 0;
    ObserverId id = impl_->nextObserver++;
    impl_->beforeWaiting.emplace(id, std::make_shared<Task>(std::move(observer)));
    return id;
}

void RunLoop::removeBeforeWaitingObserver(ObserverId id) { impl_->beforeWaiting.erase(id); }

std::uint64_t RunLoop::calloutCount() const { return impl_->callouts; }

void RunLoop::markCalloutQuiet()
{
    // Outside a callout there is nothing to let pass; a callout is counted once.
    if (impl_->runningCallout == 0 || impl_->quietMarkedAt == impl_->runningCallout)
        return;
    impl_->quietMarkedAt = impl_->runningCallout;
    ++impl_->quietCallouts;
}

std::uint64_t RunLoop::quietCalloutCount() const { return impl_->quietCallouts; }

void RunLoop::setPollBeforeSleeping(double seconds) { impl_->pollBeforeSleeping = std::max(0.0, seconds); }

RunLoop::PollingHold::PollingHold(RunLoop& loop)
    : loop_(loop)
{
    loop_.impl_->pollingHolds.fetch_add(1, std::memory_order_relaxed);
}

RunLoop::PollingHold::~PollingHold() { loop_.impl_->pollingHolds.fetch_sub(1, std::memory_order_relaxed); }

void RunLoop::setClock(std::shared_ptr<Clock> clock)
{
    if (!clock)
        clock = Clock::steady();
    // Timers keep the time they had left.
    const double oldNow = impl_->clock->now();
    const double newNow = clock->now();
    impl_->timerOrder.clear();
    for (auto& [id, entry] : impl_->timers) {
        entry.due = newNow + (entry.due - oldNow);
        impl_->timerOrder.emplace(entry.due, id);
    }
    impl_->clock = std::move(clock);
}

const std::shared_ptr<Clock>& RunLoop::clock() const { return impl_->clock; }

double RunLoop::now() const { return impl_->clock->now(); }

void RunLoop::advance(double seconds)
{
    if (!isCurrent()) {
        log("RunLoop: advance called from a thread that does not own the loop\n");
        return;
    }
    if (std::isnan(seconds) || seconds < 0)
        seconds = 0;
    auto* manual = dynamic_cast<ManualClock*>(impl_->clock.get());
    if (!manual) {
        // Real time cannot be stepped: let it pass.
        runMode(kDefaultRunLoopMode, seconds);
        return;
    }
    auto keepClock = impl_->clock; // a callback might install another clock
    const double target = manual->now() + seconds;
    auto settle = [&]() -> bool {
        for (int turns = 0; turns < 100000; ++turns) {
            auto outcome = impl_->pass(kDefaultRunLoopMode, 0, false);
            if (outcome == Impl::PassOutcome::Stopped)
                return false;
            if (outcome == Impl::PassOutcome::Idle)
                return true;
        }
        log("RunLoop: advance gave up settling, work keeps arriving\n");
        return true;
    };
    if (!settle())
        return;
    for (long steps = 0; steps < 10000000; ++steps) {
        if (impl_->clock.get() != manual)
            return;
        const auto* next = impl_->nextTimerIn(kDefaultRunLoopMode);
        if (!next || std::get<0>(*next) > target)
            break;
        if (std::get<0>(*next) > manual->now())
            manual->set(std::get<0>(*next));
        if (!settle())
            return;
    }
    if (impl_->clock.get() != manual)
        return;
    if (manual->now() < target)
        manual->set(target);
    settle();
}

void RunLoop::discardPendingWork()
{
    std::deque<Impl::Posted> dropped;
    {
        std::lock_guard lock(impl_->postMutex);
        dropped.swap(impl_->posted);
        impl_->stopRequested = false;
    }
    dropped.clear();
    auto timers = std::move(impl_->timers);
    impl_->timers.clear();
    impl_->timerOrder.clear();
    timers.clear();
}

void performOnMain(Task fn)
{
    if (!fn)
        return;
    RunLoop& main = RunLoop::main();
    if (main.isCurrent())
        fn();
    else
        main.post(std::move(fn));
}

void postToMain(Task fn) { RunLoop::main().post(std::move(fn)); }

struct DelayedCall::State {
    std::atomic<bool> cancelled { false };
    std::atomic<bool> done { false };
    RunLoop::TimerId timer = 0; // main thread only
};

void DelayedCall::cancel()
{
    if (!state_)
        return;
    state_->cancelled.store(true);
    // Release the timer (and what its task holds) at once when we can; from
    // another thread the flag alone keeps the call from running.
    RunLoop& main = RunLoop::main();
    if (main.isCurrent() && state_->timer) {
        main.cancelTimer(state_->timer);
        state_->timer = 0;
    }
}

bool DelayedCall::isPending() const { return state_ && !state_->cancelled.load() && !state_->done.load(); }

DelayedCall dispatchAfter(double seconds, Task fn)
{
    DelayedCall call;
    call.state_ = std::make_shared<DelayedCall::State>();
    if (!fn) {
        call.state_->done.store(true);
        return call;
    }
    auto schedule = [state = call.state_, seconds, fn = std::move(fn)]() mutable {
        if (state->cancelled.load())
            return;
        state->timer = RunLoop::main().addTimer(seconds, 0, [state, fn = std::move(fn)] {
            state->timer = 0;
            if (state->cancelled.load())
                return;
            state->done.store(true);
            fn();
        });
    };
    RunLoop& main = RunLoop::main();
    if (main.isCurrent())
        schedule();
    else
        main.post(std::move(schedule));
    return call;
}

namespace {

    // The global background queues: a few detached workers that live as long as
    // the process, so a task still running at exit never meets a destroyed pool.
    class WorkerPool {
    public:
        void submit(Task task)
        {
            {
                std::lock_guard lock(mutex_);
                queue_.push_back(std::move(task));
                ++submitted_;
                if (threads_ < wantedThreads() && idle_ == 0) {
                    ++threads_;
                    std::thread([this] { work(); }).detach();
                }
            }
            wake_.notify_one();
        }

        void drain()
        {
            if (tIsWorker) {
                log("dispatchDrain: called on a worker, which cannot wait for itself\n");
                return;
            }
            std::unique_lock lock(mutex_);
            const std::uint64_t target = submitted_;
            done_.wait(lock, [&] { return completed_ >= target; });
        }

        bool drain(double timeoutSeconds)
        {
            if (tIsWorker) {
                log("dispatchDrain: called on a worker, which cannot wait for itself\n");
                return false;
            }
            std::unique_lock lock(mutex_);
            const std::uint64_t target = submitted_;
            return done_.wait_for(lock, std::chrono::duration<double>(std::max(0.0, timeoutSeconds)),
                [&] { return completed_ >= target; });
        }

    private:
        static int wantedThreads()
        {
            unsigned hw = std::thread::hardware_concurrency();
            return static_cast<int>(std::clamp(hw, 2u, 4u));
        }

        void work()
        {
            tIsWorker = true;
            std::unique_lock lock(mutex_);
            for (;;) {
                ++idle_;
                wake_.wait(lock, [&] { return !queue_.empty(); });
                --idle_;
                Task task = std::move(queue_.front());
                queue_.pop_front();
                lock.unlock();
                callSafely("a background task", task);
                task = nullptr;
                lock.lock();
                ++completed_;
                done_.notify_all();
            }
        }

        std::mutex mutex_;
        std::condition_variable wake_;
        std::condition_variable done_;
        std::deque<Task> queue_;
        int threads_ = 0;
        int idle_ = 0;
        std::uint64_t submitted_ = 0;
        std::uint64_t completed_ = 0;
        static thread_local bool tIsWorker;
    };

    thread_local bool WorkerPool::tIsWorker = false;

    WorkerPool& workerPool()
    {
        static WorkerPool* pool = new WorkerPool();
        return *pool;
    }

} // namespace

void dispatchAsync(Task fn)
{
    if (fn)
        workerPool().submit(std::move(fn));
}

void dispatchDrain() { workerPool().drain(); }

bool dispatchDrain(double timeoutSeconds) { return workerPool().drain(timeoutSeconds); }

} // namespace platform
