#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace server {

// Holds scripted replies until a test opens it: the request has arrived and
// is logged, but its answer leaves only after open() (or when the server
// stops). Lets a screen test look at what the client shows while it waits
// without racing the server. Shared between the test and the server's
// workers; every member is safe from any thread.
class ReplyGate final {
public:
    ReplyGate() = default;
    ReplyGate(const ReplyGate&) = delete;
    ReplyGate& operator=(const ReplyGate&) = delete;

    // Lets every held and every later reply through.
    void open();
    bool isOpen() const;
    // How many requests have reached the gate so far (held or let through).
    std::size_t arrived() const;
    // Blocks the calling worker until the gate opens or `stopping` is set
    // (whoever sets it calls wake() afterwards).
    void pass(const std::atomic<bool>& stopping);
    // Wakes the held workers so they look at their stop flag again.
    void wake();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    std::size_t arrived_ = 0;
};

} // namespace server
