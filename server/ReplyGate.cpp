#include "server/ReplyGate.h"

namespace server {

void ReplyGate::open()
{
    {
        std::lock_guard guard(mutex_);
        open_ = true;
    }
    changed_.notify_all();
}

bool ReplyGate::isOpen() const
{
    std::lock_guard guard(mutex_);
    return open_;
}

std::size_t ReplyGate::arrived() const
{
    std::lock_guard guard(mutex_);
    return arrived_;
}

void ReplyGate::pass(const std::atomic<bool>& stopping)
{
    std::unique_lock lock(mutex_);
    ++arrived_;
    changed_.notify_all();
    changed_.wait(lock, [&] { return open_ || stopping.load(); });
}

void ReplyGate::wake()
{
    {
        // Taken so a worker between its check and its wait sees the flag.
        std::lock_guard guard(mutex_);
    }
    changed_.notify_all();
}

} // namespace server
