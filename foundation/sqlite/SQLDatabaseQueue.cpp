#include "foundation/sqlite/SQLDatabaseQueue.h"

#include "foundation/sqlite/SQLDatabase.h"
#include "platform/os/Log.h"

#include <sqlite3.h>

namespace foundation {

namespace {

const char* pathText(const std::optional<std::string>& path) { return path ? path->c_str() : "(null)"; }

} // namespace

std::shared_ptr<SQLDatabaseQueue> SQLDatabaseQueue::databaseQueueWithPath(std::optional<std::string> path)
{
    auto db = SQLDatabase::databaseWithPath(path);
    if (!db->open()) {
        platform::log("Could not create database queue for path %s", pathText(path));
        return nullptr;
    }
    return std::make_shared<SQLDatabaseQueue>(Token {}, std::move(path), std::move(db));
}

SQLDatabaseQueue::SQLDatabaseQueue(Token, std::optional<std::string> path, std::shared_ptr<SQLDatabase> db)
    : path_(std::move(path))
    , db_(std::move(db))
{
}

SQLDatabaseQueue::~SQLDatabaseQueue()
{
    std::lock_guard lock(queue_);
    if (db_)
        db_->close();
}

bool SQLDatabaseQueue::runSerially(const std::function<void()>& work)
{
    if (runningThread_.load() == std::this_thread::get_id()) {
        platform::log("SQLDatabaseQueue %p: a block tried to use the queue that is running it; refused", this);
        return false;
    }
    std::lock_guard lock(queue_);
    runningThread_.store(std::this_thread::get_id());
    struct Leave {
        std::atomic<std::thread::id>& running;
        ~Leave() { running.store(std::thread::id {}); }
    } leave { runningThread_ };
    work();
    return true;
}

std::shared_ptr<SQLDatabase> SQLDatabaseQueue::database()
{
    if (!db_) {
        auto db = SQLDatabase::databaseWithPath(path_);
        if (!db->open()) {
            platform::log("SQLDatabaseQueue could not reopen database for path %s", pathText(path_));
            return nullptr;
        }
        db_ = std::move(db);
    }
    return db_;
}

void SQLDatabaseQueue::close()
{
    runSerially([this] {
        if (db_)
            db_->close();
        db_.reset();
    });
}

void SQLDatabaseQueue::inDatabase(const DatabaseBlock& block)
{
    runSerially([&] {
        auto db = database();
        block(db);
        if (db && db->hasOpenResultSets())
            platform::log("Warning: there is at least one open result set around after performing [SQLDatabaseQueue "
                          "inDatabase:]");
    });
}

bool SQLDatabaseQueue::beginTransaction(bool useDeferred, const TransactionBlock& withBlock)
{
    bool result = false;
    runSerially([&] {
        auto db = database();
        if (!db)
            return;
        if (!(useDeferred ? db->beginDeferredTransaction() : db->beginTransaction())) {
            platform::log("SQLDatabaseQueue could not begin a transaction: %s", db->lastErrorMessage().c_str());
            return;
        }
        bool shouldRollback = false;
        withBlock(db, &shouldRollback);
        if (shouldRollback) {
            result = db->rollback();
        } else {
            result = db->commit();
            // A commit that cannot complete must not leave the transaction
            // open and the database locked.
            if (!result && db->inTransaction())
                db->rollback();
        }
    });
    return result;
}

std::optional<platform::Error> SQLDatabaseQueue::inSavePoint(const TransactionBlock& block)
{
    static std::atomic<long> savePointCounter { 0 };
    std::optional<platform::Error> result;
    bool ran = runSerially([&] {
        auto db = database();
        if (!db) {
            result = platform::Error::withDescription("SQLDatabase", SQLITE_CANTOPEN, "could not open the database");
            return;
        }
        std::string name = platform::format("savePoint%ld", savePointCounter.fetch_add(1));
        platform::Error error;
        if (!db->startSavePointWithName(name, &error)) {
            result = error;
            return;
        }
        bool shouldRollback = false;
        block(db, &shouldRollback);
        // Released after a roll back too, so no transaction is left open.
        if (shouldRollback && !db->rollbackToSavePointWithName(name, &error)) {
            result = error;
            return;
        }
        if (!db->releaseSavePointWithName(name, &error))
            result = error;
    });
    if (!ran)
        result = platform::Error::withDescription("SQLDatabase", SQLITE_MISUSE, "the queue is already running a block");
    return result;
}

} // namespace foundation
