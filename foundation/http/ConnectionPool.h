#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {
class HttpStream;
}

namespace foundation {

// One kept-alive connection as the engine sees it. Its stream holds the open
// connection between requests; a new request on the record opens its own
// stream with the record's id, and the connection passes to it. Every field
// but the id is read and written under the pool's lock.
struct ConnectionRecord {
    explicit ConnectionRecord(std::int64_t number)
        : id(number)
    {
    }
    const std::int64_t id;
    std::string host;
    int port = 0;
    std::string scheme;
    // The request now using the connection; none while idle.
    std::optional<unsigned> request;
    std::shared_ptr<platform::HttpStream> stream;
    // When an idle record is dropped (on the steady clock).
    std::optional<double> expires;
};

// The pool of kept-alive connection records every request draws from, the
// numbering of records and requests, and the count of streams scheduled on a
// loop (the network being in use). One pool serves every request (shared());
// its lock is taken inside a request's lock and nothing is taken inside it.
class ConnectionPool final {
public:
    using Record = std::shared_ptr<ConnectionRecord>;

    static ConnectionPool& shared();

    // Takes the idle records whose time is up (or that have none) out of the
    // pool, and answers their streams for closing.
    std::vector<std::shared_ptr<platform::HttpStream>> expireIdle(double now);
    // A record for a request to host, scheme and port: `current` again when it
    // is for the same place, has not expired and is idle (an expired one also
    // leaves the pool); else the last idle match in the pool; else a new
    // record. The record is marked as used by `request`.
    Record attach(
        Record current, const std::string& host, const std::string& scheme, int port, unsigned request, double now);
    // Makes `stream` the record's stream; answers the one it held before.
    std::shared_ptr<platform::HttpStream> replaceStream(
        const Record& record, std::shared_ptr<platform::HttpStream> stream);
    // The request lets go of its record: idle from now on, kept until
    // `keepUntil` when given, else taken out of the pool.
    void release(const Record& record, std::optional<double> keepUntil);
    // The record stays as it is, kept until then once idle.
    void keepUntil(const Record& record, double until);
    // Takes every record out of the pool and answers their streams.
    std::vector<std::shared_ptr<platform::HttpStream>> removeAll();
    std::size_t count() const;

    // The next request number (1 first).
    unsigned nextRequestNumber();

    // A stream was scheduled on (taken off) a loop; answers how many are
    // scheduled now.
    int streamScheduled();
    int streamUnscheduled();
    bool hasScheduledStreams() const;

private:
    mutable std::mutex lock_;
    std::vector<Record> records_;
    std::int64_t nextConnectionNumber_ = 0;
    unsigned nextRequestNumber_ = 0;
    int scheduledStreams_ = 0;
};

} // namespace foundation
