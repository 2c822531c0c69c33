#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLDatabaseQueue.h"
#include "foundation/sqlite/SQLResultSet.h"
#include "platform/os/Log.h"
#include "tests/foundation/sqlite/SQLTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sqlite3.h>
#include <thread>

using foundation::SQLDatabase;
using foundation::SQLDatabaseQueue;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A second connection of our own, made with SQLite directly, that takes the
// database's exclusive lock.
class Locker final {
public:
    explicit Locker(const std::string& path)
    {
        EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK);
        EXPECT_EQ(
            sqlite3_exec(db_, "BEGIN EXCLUSIVE; INSERT INTO t VALUES (2);", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~Locker() { sqlite3_close(db_); }
    Locker(const Locker&) = delete;
    Locker& operator=(const Locker&) = delete;
    void commit() { EXPECT_EQ(sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK); }

private:
    sqlite3* db_ = nullptr;
};

// True while some other connection holds a lock that keeps readers out.
bool lockedByAnother(const std::string& path)
{
    sqlite3* probe = nullptr;
    sqlite3_open(path.c_str(), &probe);
    int rc = sqlite3_exec(probe, "select count(*) from t", nullptr, nullptr, nullptr);
    sqlite3_close(probe);
    return rc == SQLITE_BUSY;
}

class SQLBusyTest : public sqltest::SQLiteTest {
protected:
    void SetUp() override
    {
        SQLiteTest::SetUp();
        db = openDatabase();
        ASSERT_TRUE(db->executeUpdate("create table t (x)"));
        ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
    }

    std::shared_ptr<SQLDatabase> db;
};

TEST_F(SQLBusyTest, LockedDatabaseFailsWithinTheBoundAndWorksAfterRelease)
{
    db->setMaxBusyRetryTimeInterval(0.3);
    Locker locker(path());
    platform::LogCapture log;

    auto start = Clock::now();
    platform::Error error;
    EXPECT_FALSE(db->update("insert into t values (?)", &error, { 3 }));
    double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, 0.25);
    EXPECT_LT(elapsed, 20.0);
    EXPECT_EQ(error.code(), SQLITE_BUSY);
    EXPECT_EQ(error.localizedDescription(), "database is locked");
    const std::string update = "-[SQLDatabase executeUpdate:error:withArgumentsInArray:orDictionary:orVAList:]";
    std::vector<std::string> expected { update + ":918 Database busy (" + path() + ")", "Database busy",
        "Unknown error calling sqlite3_step (5: database is locked) eu", "DB Query: insert into t values (?)",
        "Unknown error finalizing or resetting statement (5: database is locked)",
        "DB Query: insert into t values (?)" };
    EXPECT_EQ(log.lines(), expected);

    log.clear();
    auto rs = db->executeQuery("select count(*) from t");
    ASSERT_TRUE(rs);
    EXPECT_FALSE(rs->next());
    EXPECT_EQ(log.lines(),
        (std::vector<std::string> { "-[SQLResultSet next]:171 Database busy (" + path() + ")", "Database busy" }));
    EXPECT_FALSE(db->hasOpenResultSets());

    EXPECT_FALSE(db->beginTransaction());
    EXPECT_FALSE(db->inTransaction());

    locker.commit();
    EXPECT_TRUE(db->executeUpdate("insert into t values (?)", { 3 }));
    EXPECT_EQ(sqltest::sqliteTool(path(), "select group_concat(x) from t;"), "1,2,3\n");
}

TEST_F(SQLBusyTest, RetryCountEndsTheWaitBeforeTheTimeBound)
{
    db->setMaxBusyRetryTimeInterval(60);
    db->setBusyRetryTimeout(3);
    Locker locker(path());
    platform::LogCapture log;
    auto start = Clock::now();
    EXPECT_FALSE(db->executeUpdate("insert into t values (3)"));
    EXPECT_LT(secondsSince(start), 30.0) << "well before the 60 s bound";
    EXPECT_TRUE(log.contains("Database busy"));
}

TEST_F(SQLBusyTest, DefaultSettingsStillGiveUp)
{
    // Left as they come, the retries would once have gone on for ever.
    EXPECT_EQ(db->busyRetryTimeout(), 0);
    Locker locker(path());
    platform::LogCapture log;
    auto start = Clock::now();
    EXPECT_FALSE(db->executeUpdate("insert into t values (3)"));
    double elapsed = secondsSince(start);
    EXPECT_GE(elapsed, SQLDatabase::kDefaultMaxBusyRetryTimeInterval * 0.9);
    EXPECT_LT(elapsed, SQLDatabase::kDefaultMaxBusyRetryTimeInterval + 18.0);
}

TEST_F(SQLBusyTest, LockHeldByTheSqliteToolInAnotherProcess)
{
    db->setMaxBusyRetryTimeInterval(0.3);
    // The tool waits for its lock (the probe below reads the file now and
    // then, and a reader's lock would otherwise refuse BEGIN EXCLUSIVE at
    // once), and stops at the first error instead of inserting on its own.
    std::string command = "sqlite3 -batch -bail " + sqltest::shellQuoted(path()) + " > /dev/null 2>&1";
    FILE* tool = popen(command.c_str(), "w");
    ASSERT_NE(tool, nullptr);
    fputs(".timeout 20000\nBEGIN EXCLUSIVE;\nINSERT INTO t VALUES (99);\n", tool);
    fflush(tool);
    bool locked = false;
    for (int i = 0; i < 500 && !locked; ++i) {
        locked = lockedByAnother(path());
        if (!locked)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(locked) << "the tool never took the lock";

    platform::LogCapture log;
    EXPECT_FALSE(db->executeUpdate("insert into t values (5)"));
    EXPECT_FALSE(db->executeQuery("select x from t")->next());

    // The tool rolls back and exits at the end of its input.
    fputs("ROLLBACK;\n", tool);
    EXPECT_EQ(pclose(tool), 0);
    EXPECT_TRUE(db->executeUpdate("insert into t values (5)"));
    EXPECT_EQ(db->stringForQuery("select group_concat(x) from t"), "1,5");
}

TEST_F(SQLBusyTest, QueueRunsNoTransactionBlockWhenTheLockCannotBeHad)
{
    auto queue = SQLDatabaseQueue::databaseQueueWithPath(path());
    ASSERT_TRUE(queue);
    queue->inDatabase([](const std::shared_ptr<SQLDatabase>& qdb) { qdb->setMaxBusyRetryTimeInterval(0.2); });
    Locker locker(path());
    platform::LogCapture log;
    bool ran = false;
    EXPECT_FALSE(queue->inTransaction([&](const std::shared_ptr<SQLDatabase>&, bool*) { ran = true; }));
    EXPECT_FALSE(ran);
    EXPECT_TRUE(log.contains("SQLDatabaseQueue could not begin a transaction: database is locked"));

    locker.commit();
    EXPECT_TRUE(queue->inTransaction([&](const std::shared_ptr<SQLDatabase>& qdb, bool*) {
        ran = true;
        EXPECT_TRUE(qdb->executeUpdate("insert into t values (4)"));
    }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(sqltest::sqliteTool(path(), "select group_concat(x) from t;"), "1,2,4\n");
}

} // namespace
