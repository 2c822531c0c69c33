#include "foundation/sqlite/SQLDatabasePool.h"

#include "foundation/sqlite/SQLDatabase.h"
#include "platform/os/Log.h"

#include <algorithm>
#include <sqlite3.h>

namespace foundation {

namespace {

bool contains(const std::vector<std::shared_ptr<SQLDatabase>>& list, const std::shared_ptr<SQLDatabase>& db)
{
    return std::find(list.begin(), list.end(), db) != list.end();
}

void remove(std::vector<std::shared_ptr<SQLDatabase>>& list, const std::shared_ptr<SQLDatabase>& db)
{
    std::erase(list, db);
}

} // namespace

std::shared_ptr<SQLDatabasePool> SQLDatabasePool::databasePoolWithPath(std::optional<std::string> path)
{
    return std::make_shared<SQLDatabasePool>(Token {}, std::move(path));
}

SQLDatabasePool::SQLDatabasePool(Token, std::optional<std::string> path)
    : path_(std::move(path))
{
}

std::shared_ptr<SQLDatabasePoolDelegate> SQLDatabasePool::delegate() const
{
    std::lock_guard lock(lock_);
    return delegate_.lock();
}

void SQLDatabasePool::setDelegate(std::weak_ptr<SQLDatabasePoolDelegate> delegate)
{
    std::lock_guard lock(lock_);
    delegate_ = std::move(delegate);
}

std::size_t SQLDatabasePool::countOfCheckedInDatabases() const
{
    std::lock_guard lock(lock_);
    return databaseInPool_.size();
}

std::size_t SQLDatabasePool::countOfCheckedOutDatabases() const
{
    std::lock_guard lock(lock_);
    return databaseOutPool_.size();
}

std::size_t SQLDatabasePool::countOfOpenDatabases() const
{
    std::lock_guard lock(lock_);
    return databaseInPool_.size() + databaseOutPool_.size();
}

void SQLDatabasePool::releaseAllDatabases()
{
    std::lock_guard lock(lock_);
    databaseInPool_.clear();
    databaseOutPool_.clear();
}

void SQLDatabasePool::executeLocked(const std::function<void()>& block)
{
    std::lock_guard lock(lock_);
    block();
}

std::shared_ptr<SQLDatabase> SQLDatabasePool::db()
{
    std::lock_guard lock(lock_);
    std::shared_ptr<SQLDatabase> db;
    if (!databaseInPool_.empty()) {
        db = databaseInPool_.back();
        databaseInPool_.pop_back();
        databaseOutPool_.push_back(db);
    } else {
        unsigned maximum = maximumNumberOfDatabasesToCreate();
        std::size_t current = databaseInPool_.size() + databaseOutPool_.size();
        if (maximum > 0 && current >= maximum) {
            platform::log("Maximum number of databases (%ld) has already been reached!", static_cast<long>(current));
            return nullptr;
        }
        db = SQLDatabase::databaseWithPath(path_);
    }
    if (!db->open()) {
        platform::log("Could not open up the database at path %s", path_ ? path_->c_str() : "(null)");
        remove(databaseOutPool_, db);
        return nullptr;
    }
    if (auto delegate = delegate_.lock(); delegate && !delegate->databasePool(*this, db)) {
        db->close();
        remove(databaseOutPool_, db);
        return nullptr;
    }
    if (!contains(databaseOutPool_, db))
        databaseOutPool_.push_back(db);
    db->setCheckedOut(true);
    return db;
}

bool SQLDatabasePool::pushDatabaseBackInPool(const std::shared_ptr<SQLDatabase>& db)
{
    if (!db)
        return false;
    std::lock_guard lock(lock_);
    if (contains(databaseInPool_, db)) {
        // Taking it twice would let two callers share one connection.
        platform::log("Database already in pool: The SQLDatabase being put back into the pool is already present in "
                      "the pool");
        return false;
    }
    databaseInPool_.push_back(db);
    remove(databaseOutPool_, db);
    db->setCheckedOut(false);
    return true;
}

void SQLDatabasePool::inDatabase(const DatabaseBlock& block)
{
    auto db = this->db();
    block(db);
    pushDatabaseBackInPool(db);
}

bool SQLDatabasePool::beginTransaction(bool useDeferred, const TransactionBlock& withBlock)
{
    auto db = this->db();
    if (!db)
        return false;
    bool result = false;
    if (useDeferred ? db->beginDeferredTransaction() : db->beginTransaction()) {
        bool shouldRollback = false;
        withBlock(db, &shouldRollback);
        if (shouldRollback) {
            result = db->rollback();
        } else {
            result = db->commit();
            if (!result && db->inTransaction())
                db->rollback();
        }
    } else {
        platform::log("SQLDatabasePool could not begin a transaction: %s", db->lastErrorMessage().c_str());
    }
    pushDatabaseBackInPool(db);
    return result;
}

std::optional<platform::Error> SQLDatabasePool::inSavePoint(const TransactionBlock& block)
{
    static std::atomic<long> savePointCounter { 0 };
    auto db = this->db();
    if (!db)
        return platform::Error::withDescription("SQLDatabase", SQLITE_CANTOPEN, "no database could be checked out");
    std::optional<platform::Error> result;
    std::string name = platform::format("savePoint%ld", savePointCounter.fetch_add(1));
    platform::Error error;
    if (!db->startSavePointWithName(name, &error)) {
        result = error;
    } else {
        bool shouldRollback = false;
        block(db, &shouldRollback);
        if (shouldRollback && !db->rollbackToSavePointWithName(name, &error))
            result = error;
        else if (!db->releaseSavePointWithName(name, &error))
            result = error;
    }
    pushDatabaseBackInPool(db);
    return result;
}

} // namespace foundation
