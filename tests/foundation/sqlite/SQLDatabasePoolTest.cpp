#include "foundation/sqlite/SQLDatabasePool.h"
#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLResultSet.h"
#include "platform/os/Log.h"
#include "tests/foundation/sqlite/SQLTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

using foundation::SQLDatabase;
using foundation::SQLDatabasePool;
using foundation::SQLDatabasePoolDelegate;

namespace {

using DB = std::shared_ptr<SQLDatabase>;

class SQLDatabasePoolTest : public sqltest::SQLiteTest {
protected:
    void SetUp() override
    {
        SQLiteTest::SetUp();
        ASSERT_EQ(
            sqltest::sqliteTool(path(), "create table t (id integer primary key, worker integer, n integer);"), "");
        pool = SQLDatabasePool::databasePoolWithPath(path());
    }

    std::shared_ptr<SQLDatabasePool> pool;
};

// Refuses connections while asked to, and gives every connection it accepts a
// generous busy wait for the threaded test.
class Gatekeeper final : public SQLDatabasePoolDelegate {
public:
    bool databasePool(SQLDatabasePool& pool, const DB& db) override
    {
        asked++;
        // A delegate may ask the pool about itself while deciding.
        EXPECT_LE(pool.countOfCheckedOutDatabases(), 8u);
        db->setMaxBusyRetryTimeInterval(20);
        return !refuse;
    }
    std::atomic<bool> refuse { false };
    std::atomic<int> asked { 0 };
};

TEST_F(SQLDatabasePoolTest, ConnectionGoesBackAfterUse)
{
    EXPECT_EQ(pool->countOfOpenDatabases(), 0u) << "nothing is opened before it is needed";
    DB first;
    pool->inDatabase([&](const DB& db) {
        ASSERT_TRUE(db);
        first = db;
        EXPECT_TRUE(db->checkedOut());
        EXPECT_EQ(pool->countOfCheckedOutDatabases(), 1u);
        EXPECT_TRUE(db->executeUpdate("insert into t (worker, n) values (0, 0)"));
    });
    EXPECT_EQ(pool->countOfCheckedInDatabases(), 1u);
    EXPECT_EQ(pool->countOfCheckedOutDatabases(), 0u);
    EXPECT_FALSE(first->checkedOut());
    pool->inDatabase([&](const DB& db) { EXPECT_EQ(db, first) << "the most recently returned one is reused"; });
    EXPECT_EQ(sqltest::toolCount(path(), "t"), 1);

    pool->releaseAllDatabases();
    EXPECT_EQ(pool->countOfOpenDatabases(), 0u);
}

TEST_F(SQLDatabasePoolTest, LimitOfOneRefusesASecondCheckout)
{
    pool->setMaximumNumberOfDatabasesToCreate(1);
    platform::LogCapture log;
    bool innerCalled = false;
    pool->inDatabase([&](const DB& outer) {
        ASSERT_TRUE(outer);
        pool->inDatabase([&](const DB& inner) {
            innerCalled = true;
            EXPECT_EQ(inner, nullptr);
        });
    });
    EXPECT_TRUE(innerCalled);
    EXPECT_EQ(log.lines(), (std::vector<std::string> { "Maximum number of databases (1) has already been reached!" }));
    EXPECT_EQ(pool->countOfOpenDatabases(), 1u);
}

TEST_F(SQLDatabasePoolTest, ConnectionCannotBeReturnedTwice)
{
    auto db = pool->db();
    ASSERT_TRUE(db);
    EXPECT_TRUE(pool->pushDatabaseBackInPool(db));
    platform::LogCapture log;
    EXPECT_FALSE(pool->pushDatabaseBackInPool(db));
    EXPECT_EQ(log.lines(),
        (std::vector<std::string> { "Database already in pool: The SQLDatabase being put back into the pool is already "
                                    "present in the pool" }));
    EXPECT_EQ(pool->countOfCheckedInDatabases(), 1u);
    EXPECT_FALSE(pool->pushDatabaseBackInPool(nullptr));
}

TEST_F(SQLDatabasePoolTest, DelegateCanRefuseAConnection)
{
    auto gatekeeper = std::make_shared<Gatekeeper>();
    pool->setDelegate(gatekeeper);
    gatekeeper->refuse = true;
    EXPECT_EQ(pool->db(), nullptr);
    EXPECT_EQ(pool->countOfOpenDatabases(), 0u);
    gatekeeper->refuse = false;
    EXPECT_NE(pool->db(), nullptr);
    EXPECT_EQ(gatekeeper->asked, 2);

    gatekeeper.reset();
    EXPECT_EQ(pool->delegate(), nullptr) << "the pool does not keep its delegate alive";
    EXPECT_NE(pool->db(), nullptr);
}

TEST_F(SQLDatabasePoolTest, UnopenablePathHandsOutNothing)
{
    const std::string bad = path("missing/x.db");
    auto badPool = SQLDatabasePool::databasePoolWithPath(bad);
    platform::LogCapture log;
    bool called = false;
    badPool->inDatabase([&](const DB& db) {
        called = true;
        EXPECT_EQ(db, nullptr);
    });
    EXPECT_TRUE(called);
    EXPECT_TRUE(log.contains("Could not open up the database at path " + bad));
    EXPECT_EQ(badPool->countOfOpenDatabases(), 0u);
    EXPECT_TRUE(badPool->inSavePoint([](const DB&, bool*) {}).has_value());
}

TEST_F(SQLDatabasePoolTest, TransactionsAndSavepointsThroughThePool)
{
    EXPECT_TRUE(pool->inTransaction(
        [](const DB& db, bool*) { EXPECT_TRUE(db->executeUpdate("insert into t (worker, n) values (1, 1)")); }));
    EXPECT_TRUE(pool->inDeferredTransaction([](const DB& db, bool* rollback) {
        EXPECT_TRUE(db->executeUpdate("insert into t (worker, n) values (2, 2)"));
        *rollback = true;
    }));
    EXPECT_FALSE(pool->inSavePoint([](const DB& db, bool* rollback) {
        EXPECT_TRUE(db->executeUpdate("insert into t (worker, n) values (3, 3)"));
        *rollback = true;
    }));
    EXPECT_EQ(sqltest::sqliteTool(path(), "select group_concat(worker) from t;"), "1\n");
    EXPECT_EQ(pool->countOfCheckedOutDatabases(), 0u);
    EXPECT_EQ(pool->countOfCheckedInDatabases(), 1u);
}

TEST_F(SQLDatabasePoolTest, ThreadsEachGetTheirOwnConnection)
{
    auto gatekeeper = std::make_shared<Gatekeeper>();
    pool->setDelegate(gatekeeper);
    constexpr int kThreads = 4;
    constexpr int kRows = 30;
    std::atomic<int> failures { 0 };
    std::atomic<int> shared { 0 };
    std::mutex inUseMutex;
    std::set<SQLDatabase*> inUse;
    std::vector<std::thread> threads;
    for (int w = 0; w < kThreads; ++w) {
        threads.emplace_back([&, w] {
            for (int n = 0; n < kRows; ++n) {
                auto body = [&](const DB& db) {
                    if (!db || !db->checkedOut()) {
                        failures++;
                        return;
                    }
                    {
                        std::lock_guard lock(inUseMutex);
                        if (!inUse.insert(db.get()).second)
                            shared++;
                    }
                    if (!db->executeUpdate("insert into t (worker, n) values (?, ?)", { w, n }))
                        failures++;
                    auto rs = db->executeQuery("select count(*) from t where worker = ?", { w });
                    if (!rs || !rs->next() || rs->intForColumnIndex(0) != n + 1)
                        failures++;
                    rs.reset();
                    std::lock_guard lock(inUseMutex);
                    inUse.erase(db.get());
                };
                if (n % 3 == 0)
                    pool->inTransaction([&](const DB& db, bool*) { body(db); });
                else
                    pool->inDatabase(body);
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(shared, 0);
    EXPECT_EQ(pool->countOfCheckedOutDatabases(), 0u);
    EXPECT_LE(pool->countOfCheckedInDatabases(), static_cast<std::size_t>(kThreads));
    EXPECT_GE(pool->countOfCheckedInDatabases(), 1u);
    EXPECT_EQ(sqltest::toolCount(path(), "t"), kThreads * kRows);
}

} // namespace
