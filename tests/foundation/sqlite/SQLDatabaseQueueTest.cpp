#include "foundation/sqlite/SQLDatabaseQueue.h"
#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLResultSet.h"
#include "platform/os/Log.h"
#include "tests/foundation/sqlite/SQLTestSupport.h"

#include <gtest/gtest.h>

#include <set>
#include <sqlite3.h>
#include <thread>

using foundation::SQLDatabase;
using foundation::SQLDatabaseQueue;
using foundation::SQLResultSet;

namespace {

using DB = std::shared_ptr<SQLDatabase>;

class SQLDatabaseQueueTest : public sqltest::SQLiteTest { };

TEST_F(SQLDatabaseQueueTest, QueueOnAnUnopenablePathIsNotMade)
{
    platform::LogCapture log;
    const std::string bad = path("missing/folder/x.db");
    EXPECT_EQ(SQLDatabaseQueue::databaseQueueWithPath(bad), nullptr);
    EXPECT_TRUE(log.contains("Could not create database queue for path " + bad));
}

TEST_F(SQLDatabaseQueueTest, ClosedQueueReopensOnNextUse)
{
    auto queue = SQLDatabaseQueue::databaseQueueWithPath(path());
    ASSERT_TRUE(queue);
    EXPECT_EQ(queue->path(), path());
    queue->inDatabase([](const DB& db) {
        ASSERT_TRUE(db);
        EXPECT_TRUE(db->executeUpdate("create table t (x)"));
        EXPECT_TRUE(db->executeUpdate("insert into t values (1)"));
    });
    queue->close();
    DB seen;
    queue->inDatabase([&](const DB& db) {
        seen = db;
        ASSERT_TRUE(db);
        EXPECT_EQ(db->intForQuery("select x from t"), 1);
    });
    EXPECT_TRUE(seen && seen->sqliteHandle());

    // If the file vanishes behind the queue's back and cannot be made again,
    // the block gets nothing.
    queue->close();
    std::filesystem::remove_all(dir_.path());
    platform::LogCapture log;
    bool called = false;
    queue->inDatabase([&](const DB& db) {
        called = true;
        EXPECT_EQ(db, nullptr);
    });
    EXPECT_TRUE(called);
    EXPECT_TRUE(log.contains("SQLDatabaseQueue could not reopen database for path " + path()));
}

TEST_F(SQLDatabaseQueueTest, TransactionsCommitOrRollBackAsTheBlockAsks)
{
    auto queue = SQLDatabaseQueue::databaseQueueWithPath(path());
    ASSERT_TRUE(queue);
    queue->inDatabase([](const DB& db) { db->executeUpdate("create table t (x text not null)"); });

    EXPECT_TRUE(queue->inTransaction([](const DB& db, bool*) {
        EXPECT_TRUE(db->inTransaction());
        db->executeUpdate("insert into t values ('kept')");
    }));
    EXPECT_TRUE(queue->inDeferredTransaction([](const DB& db, bool* rollback) {
        EXPECT_TRUE(db->executeUpdate("insert into t values ('dropped')"));
        // A failed statement half-way through a batch: the caller rolls back.
        if (!db->executeUpdate("insert into t values (null)"))
            *rollback = true;
    }));
    auto error = queue->inSavePoint([](const DB& db, bool* rollback) {
        db->executeUpdate("insert into t values ('undone')");
        *rollback = true;
    });
    EXPECT_FALSE(error.has_value());
    EXPECT_FALSE(queue->inSavePoint([](const DB& db, bool*) { db->executeUpdate("insert into t values ('saved')"); }));
    EXPECT_EQ(sqltest::sqliteTool(path(), "select group_concat(x) from t;"), "kept,saved\n");
    queue->inDatabase([](const DB& db) { EXPECT_NE(sqlite3_get_autocommit(db->sqliteHandle()), 0); });
}

TEST_F(SQLDatabaseQueueTest, BlockCallingItsOwnQueueIsRefusedInsteadOfHanging)
{
    auto queue = SQLDatabaseQueue::databaseQueueWithPath(path());
    ASSERT_TRUE(queue);
    platform::LogCapture log;
    bool innerRan = false;
    queue->inDatabase([&](const DB&) { queue->inDatabase([&](const DB&) { innerRan = true; }); });
    EXPECT_FALSE(innerRan);
    EXPECT_TRUE(log.contains("a block tried to use the queue that is running it; refused"));
    EXPECT_TRUE(queue->inSavePoint([&](const DB&, bool*) {
        EXPECT_TRUE(queue->inSavePoint([](const DB&, bool*) {}).has_value());
    }) == std::nullopt);
}

TEST_F(SQLDatabaseQueueTest, CursorLeftOpenIsReported)
{
    auto queue = SQLDatabaseQueue::databaseQueueWithPath(path());
    ASSERT_TRUE(queue);
    std::shared_ptr<SQLResultSet> kept;
    platform::LogCapture log;
    queue->inDatabase([&](const DB& db) { kept = db->executeQuery("select 1"); });
    EXPECT_EQ(log.lines(),
        (std::vector<std::string> {
            "Warning: there is at least one open result set around after performing [SQLDatabaseQueue inDatabase:]" }));
    kept.reset();
    log.clear();
    queue->inDatabase([&](const DB& db) {
        auto rs = db->executeQuery("select 1");
        while (rs->next()) { }
    });
    EXPECT_TRUE(log.lines().empty());
}

TEST_F(SQLDatabaseQueueTest, ManyThreadsShareOneConnectionInTurn)
{
    auto queue = SQLDatabaseQueue::databaseQueueWithPath(path());
    ASSERT_TRUE(queue);
    queue->inDatabase([](const DB& db) {
        db->setShouldCacheStatements(true);
        db->executeUpdate("create table t (id integer primary key, worker integer, n integer)");
    });
    constexpr int kThreads = 4;
    constexpr int kRows = 50;
    std::vector<std::vector<long long>> ids(kThreads);
    std::vector<std::thread> threads;
    for (int w = 0; w < kThreads; ++w) {
        threads.emplace_back([&, w] {
            for (int n = 0; n < kRows; ++n) {
                if (n % 10 == 0) {
                    queue->inTransaction([&](const DB& db, bool*) {
                        db->executeUpdate("insert into t (worker, n) values (?, ?)", { w, n });
                        ids[w].push_back(db->lastInsertRowId());
                    });
                } else {
                    queue->inDatabase([&](const DB& db) {
                        db->executeUpdate("insert into t (worker, n) values (?, ?)", { w, n });
                        ids[w].push_back(db->lastInsertRowId());
                        auto rs = db->executeQuery("select worker, n from t where id = ?", { ids[w].back() });
                        ASSERT_TRUE(rs && rs->next());
                        EXPECT_EQ(rs->intForColumn("worker"), w);
                        EXPECT_EQ(rs->intForColumn("n"), n);
                        rs->close();
                    });
                }
            }
        });
    }
    for (auto& t : threads)
        t.join();
    std::set<long long> all;
    for (const auto& list : ids) {
        EXPECT_EQ(list.size(), static_cast<std::size_t>(kRows));
        all.insert(list.begin(), list.end());
    }
    EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kRows)) << "every insert saw its own row id";
    EXPECT_EQ(sqltest::toolCount(path(), "t"), kThreads * kRows);
}

} // namespace
