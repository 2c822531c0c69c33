#pragma once

#include "platform/os/Error.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace foundation {

class SQLDatabase;

// Runs every job on one connection, one job at a time, whichever
// thread asks. Each call runs synchronously on the calling thread while it
// holds the queue.
//
// A block must not call back into the queue that runs it: such a call is
// refused (and logged) rather than waiting on itself forever.
class SQLDatabaseQueue final {
    struct Token { };

public:
    using DatabaseBlock = std::function<void(const std::shared_ptr<SQLDatabase>& db)>;
    using TransactionBlock = std::function<void(const std::shared_ptr<SQLDatabase>& db, bool* rollback)>;

    // Nothing when the database cannot be opened.
    static std::shared_ptr<SQLDatabaseQueue> databaseQueueWithPath(std::optional<std::string> path);
    SQLDatabaseQueue(Token, std::optional<std::string> path, std::shared_ptr<SQLDatabase> db);
    ~SQLDatabaseQueue();
    SQLDatabaseQueue(const SQLDatabaseQueue&) = delete;
    SQLDatabaseQueue& operator=(const SQLDatabaseQueue&) = delete;

    const std::optional<std::string>& path() const { return path_; }

    // Closes the connection; the next call opens it again.
    void close();
    // The block gets the connection, or nothing when it could not be reopened.
    void inDatabase(const DatabaseBlock& block);
    // Runs the block inside an exclusive (or deferred) transaction that is
    // committed unless the block sets *rollback. The block is not run when the
    // transaction cannot begin, so its work never lands outside one. True when
    // the transaction began and ended as the block asked.
    bool inTransaction(const TransactionBlock& block) { return beginTransaction(false, block); }
    bool inDeferredTransaction(const TransactionBlock& block) { return beginTransaction(true, block); }
    bool beginTransaction(bool useDeferred, const TransactionBlock& withBlock);
    // Runs the block inside a savepoint; answers the failing step's error.
    std::optional<platform::Error> inSavePoint(const TransactionBlock& block);

private:
    bool runSerially(const std::function<void()>& work);
    std::shared_ptr<SQLDatabase> database();

    const std::optional<std::string> path_;
    std::mutex queue_;
    std::atomic<std::thread::id> runningThread_ {};
    std::shared_ptr<SQLDatabase> db_;
};

} // namespace foundation
