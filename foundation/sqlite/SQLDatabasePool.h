#pragma once

#include "platform/os/Error.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace foundation {

class SQLDatabase;
class SQLDatabasePool;

// Lets the owner of a pool veto a connection before it is handed out.
class SQLDatabasePoolDelegate {
public:
    virtual ~SQLDatabasePoolDelegate() = default;
    virtual bool databasePool(SQLDatabasePool&, const std::shared_ptr<SQLDatabase>& /* shouldAddDatabaseToPool */)
    {
        return true;
    }
};

// Hands out connections on one database file, one per caller, and takes them
// back. The lists are guarded by the pool's lock; the work with a connection
// runs on the caller's thread.
class SQLDatabasePool final {
    struct Token { };

public:
    using DatabaseBlock = std::function<void(const std::shared_ptr<SQLDatabase>& db)>;
    using TransactionBlock = std::function<void(const std::shared_ptr<SQLDatabase>& db, bool* rollback)>;

    static std::shared_ptr<SQLDatabasePool> databasePoolWithPath(std::optional<std::string> path);
    SQLDatabasePool(Token, std::optional<std::string> path);
    SQLDatabasePool(const SQLDatabasePool&) = delete;
    SQLDatabasePool& operator=(const SQLDatabasePool&) = delete;

    const std::optional<std::string>& path() const { return path_; }
    std::shared_ptr<SQLDatabasePoolDelegate> delegate() const;
    void setDelegate(std::weak_ptr<SQLDatabasePoolDelegate> delegate);
    // 0 means no limit.
    unsigned maximumNumberOfDatabasesToCreate() const { return maximumNumberOfDatabasesToCreate_.load(); }
    void setMaximumNumberOfDatabasesToCreate(unsigned maximum) { maximumNumberOfDatabasesToCreate_.store(maximum); }

    std::size_t countOfCheckedInDatabases() const;
    std::size_t countOfCheckedOutDatabases() const;
    std::size_t countOfOpenDatabases() const;
    // Forgets every connection; each closes once its last user lets go.
    void releaseAllDatabases();
    void executeLocked(const std::function<void()>& block);

    // Checks a connection out: the most recently returned one, or a new one
    // while the limit allows. Nothing when the limit is reached, the database
    // cannot be opened or the delegate refuses.
    std::shared_ptr<SQLDatabase> db();
    // Takes a connection back. A connection that is already back is refused.
    bool pushDatabaseBackInPool(const std::shared_ptr<SQLDatabase>& db);

    // The block gets a checked-out connection, or nothing (see db()).
    void inDatabase(const DatabaseBlock& block);
    // As for SQLDatabaseQueue: the block runs only inside a transaction that began.
    bool inTransaction(const TransactionBlock& block) { return beginTransaction(false, block); }
    bool inDeferredTransaction(const TransactionBlock& block) { return beginTransaction(true, block); }
    bool beginTransaction(bool useDeferred, const TransactionBlock& withBlock);
    std::optional<platform::Error> inSavePoint(const TransactionBlock& block);

private:
    const std::optional<std::string> path_;
    // Recursive so that a delegate may ask the pool for its counts.
    mutable std::recursive_mutex lock_;
    std::vector<std::shared_ptr<SQLDatabase>> databaseInPool_;
    std::vector<std::shared_ptr<SQLDatabase>> databaseOutPool_;
    std::weak_ptr<SQLDatabasePoolDelegate> delegate_;
    std::atomic<unsigned> maximumNumberOfDatabasesToCreate_ { 0 };
};

} // namespace foundation
