#include "foundation/http/ConnectionPool.h"

#include <algorithm>

namespace foundation {

ConnectionPool& ConnectionPool::shared()
{
    // Never destroyed: the network thread may still use it while the process exits.
    static auto* pool = new ConnectionPool;
    return *pool;
}

std::vector<std::shared_ptr<platform::HttpStream>> ConnectionPool::expireIdle(double now)
{
    std::vector<std::shared_ptr<platform::HttpStream>> closing;
    std::lock_guard<std::mutex> lock(lock_);
    std::erase_if(records_, [&](const Record& record) {
        if (record->request || (record->expires && *record->expires > now))
            return false;
        if (record->stream)
            closing.push_back(record->stream);
        return true;
    });
    return closing;
}

ConnectionPool::Record ConnectionPool::attach(
    Record current, const std::string& host, const std::string& scheme, int port, unsigned request, double now)
{
    std::lock_guard<std::mutex> lock(lock_);
    auto matches = [&](const ConnectionRecord& record) {
        return record.host == host && record.scheme == scheme && record.port == port;
    };
    if (current) {
        bool expired = current->expires && *current->expires <= now;
        if (!matches(*current) || expired || current->request) {
            if (expired)
                std::erase(records_, current);
            current.reset();
        }
    }
    if (!current) {
        // The last idle match in the pool wins.
        for (auto& record : records_)
            if (!record->request && matches(*record))
                current = record;
    }
    if (!current) {
        current = std::make_shared<ConnectionRecord>(++nextConnectionNumber_);
        current->host = host;
        current->port = port;
        current->scheme = scheme;
        records_.push_back(current);
    }
    current->request = request;
    current->expires.reset();
    return current;
}

std::shared_ptr<platform::HttpStream> ConnectionPool::replaceStream(
    const Record& record, std::shared_ptr<platform::HttpStream> stream)
{
    std::lock_guard<std::mutex> lock(lock_);
    std::swap(record->stream, stream);
    return stream;
}

void ConnectionPool::release(const Record& record, std::optional<double> keepUntil)
{
    std::lock_guard<std::mutex> lock(lock_);
    record->request.reset();
    record->expires = keepUntil;
    if (!keepUntil)
        std::erase(records_, record);
}

void ConnectionPool::keepUntil(const Record& record, double until)
{
    std::lock_guard<std::mutex> lock(lock_);
    record->expires = until;
}

std::vector<std::shared_ptr<platform::HttpStream>> ConnectionPool::removeAll()
{
    std::vector<std::shared_ptr<platform::HttpStream>> streams;
    std::lock_guard<std::mutex> lock(lock_);
    for (auto& record : records_)
        if (record->stream)
            streams.push_back(record->stream);
    records_.clear();
    return streams;
}

std::size_t ConnectionPool::count() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return records_.size();
}

unsigned ConnectionPool::nextRequestNumber()
{
    std::lock_guard<std::mutex> lock(lock_);
    return ++nextRequestNumber_;
}

int ConnectionPool::streamScheduled()
{
    std::lock_guard<std::mutex> lock(lock_);
    return ++scheduledStreams_;
}

int ConnectionPool::streamUnscheduled()
{
    std::lock_guard<std::mutex> lock(lock_);
    return --scheduledStreams_;
}

bool ConnectionPool::hasScheduledStreams() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return scheduledStreams_ > 0;
}

} // namespace foundation
