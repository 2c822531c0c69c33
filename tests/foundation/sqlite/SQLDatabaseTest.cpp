#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLDateFormatter.h"
#include "foundation/sqlite/SQLResultSet.h"
#include "foundation/sqlite/SQLStatement.h"
#include "platform/os/Log.h"
#include "tests/foundation/sqlite/SQLTestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sqlite3.h>
#include <stdexcept>

using foundation::SQLDatabase;
using foundation::SQLDateFormatter;

using platform::Value;
using sqltest::hexOf;
using sqltest::ieeeHexOf;
using sqltest::sqliteTool;

namespace {

class SQLDatabaseTest : public sqltest::SQLiteTest { };

// A record whose description is what gets stored for it.
class Badge final : public platform::Object {
public:
    std::string description() const override { return "<Badge gold>"; }
};

// A record whose description asks the connection for its last row id, as a
// careless model might while it is being bound.
class Nosy final : public platform::Object {
public:
    explicit Nosy(std::shared_ptr<SQLDatabase> db)
        : db_(std::move(db))
    {
    }
    std::string description() const override
    {
        seen = db_->lastInsertRowId();
        return "nosy";
    }
    mutable long long seen = -1;

private:
    std::shared_ptr<SQLDatabase> db_;
};

TEST_F(SQLDatabaseTest, PathsChooseFileMemoryOrTemporaryDatabase)
{
    auto file = SQLDatabase::databaseWithPath(path());
    EXPECT_EQ(file->sqliteHandle(), nullptr);
    ASSERT_TRUE(file->open());
    sqlite3* handle = file->sqliteHandle();
    EXPECT_TRUE(file->open()) << "opening an open connection is a no-op";
    EXPECT_EQ(file->sqliteHandle(), handle);
    ASSERT_TRUE(file->executeUpdate("create table t (x)"));
    EXPECT_TRUE(std::filesystem::exists(path()));

    // Without a path each connection has its own private database.
    auto memoryA = SQLDatabase::databaseWithPath();
    auto memoryB = SQLDatabase::databaseWithPath();
    ASSERT_TRUE(memoryA->open());
    ASSERT_TRUE(memoryB->open());
    ASSERT_TRUE(memoryA->executeUpdate("create table only_in_a (x)"));
    EXPECT_TRUE(memoryA->tableExists("only_in_a"));
    EXPECT_FALSE(memoryB->tableExists("only_in_a"));
    EXPECT_EQ(sqlite3_db_filename(memoryA->sqliteHandle(), "main"), std::string());

    auto temporary = SQLDatabase::databaseWithPath(std::string());
    ASSERT_TRUE(temporary->open());
    EXPECT_TRUE(temporary->executeUpdate("create table t (x)"));
    EXPECT_TRUE(temporary->executeUpdate("insert into t values (1)"));
    EXPECT_EQ(temporary->intForQuery("select count(*) from t"), 1);

    EXPECT_TRUE(file->close());
    EXPECT_EQ(file->sqliteHandle(), nullptr);
    EXPECT_TRUE(file->close()) << "closing a closed connection succeeds";
}

TEST_F(SQLDatabaseTest, OpenFlagsAreHonoured)
{
    auto db = SQLDatabase::databaseWithPath(path());
    platform::LogCapture log;
    EXPECT_FALSE(db->openWithFlags(SQLITE_OPEN_READWRITE)) << "without the create flag a missing file stays missing";
    EXPECT_EQ(log.lines(), (std::vector<std::string> { "error opening!: 14" }));
    EXPECT_FALSE(std::filesystem::exists(path()));

    ASSERT_EQ(sqliteTool(path(), "create table t (x); insert into t values (1);"), "");
    ASSERT_TRUE(db->openWithFlags(SQLITE_OPEN_READONLY));
    EXPECT_EQ(db->intForQuery("select x from t"), 1);
    platform::Error error;
    EXPECT_FALSE(db->update("insert into t values (2)", &error));
    EXPECT_EQ(error.code(), SQLITE_READONLY);
    // Opening again with other flags replaces the connection instead of leaking it.
    ASSERT_TRUE(db->openWithFlags(SQLITE_OPEN_READWRITE));
    EXPECT_TRUE(db->executeUpdate("insert into t values (2)"));
    EXPECT_EQ(sqltest::toolCount(path(), "t"), 2);
}

TEST_F(SQLDatabaseTest, ClosedOrUnopenableConnectionRefusesWork)
{
    platform::LogCapture log;
    auto missing = SQLDatabase::databaseWithPath(path("no/such/folder/x.db"));
    EXPECT_FALSE(missing->open());
    EXPECT_EQ(missing->sqliteHandle(), nullptr);
    EXPECT_TRUE(log.contains("error opening!: 14"));

    log.clear();
    auto closed = SQLDatabase::databaseWithPath(path());
    EXPECT_EQ(closed->executeQuery("select 1"), nullptr);
    platform::Error error;
    EXPECT_FALSE(closed->update("create table t (x)", &error));
    EXPECT_FALSE(error.localizedDescription().empty());
    EXPECT_EQ(closed->lastInsertRowId(), 0);
    EXPECT_FALSE(closed->goodConnection());
    std::string expected = "The SQLDatabase " + closed->description() + " is not open.";
    EXPECT_EQ(log.lines(), (std::vector<std::string> { expected, expected }));
}

TEST_F(SQLDatabaseTest, EveryValueKindIsStoredAsTheSqliteToolReadsIt)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table v (k text primary key, c)"));
    const std::string chinese = "张三：家长会通知 😀 \"quoted\" 'single'";
    const platform::Bytes blob { 0x00, 0x01, 0x00, 0xff, 0x7f, 0x00 };
    const double third = 1.0 / 3.0;
    struct Row {
        const char* key;
        Value value;
    };
    const Row rows[] = {
        { "null", Value() },
        { "true", Value(true) },
        { "false", Value(false) },
        { "int", Value(-42) },
        { "max", Value(std::numeric_limits<long long>::max()) },
        { "min", Value(std::numeric_limits<long long>::min()) },
        { "umax", Value(std::numeric_limits<unsigned long long>::max()) },
        { "float", Value(1.5f) },
        { "third", Value(third) },
        { "huge", Value(-1e300) },
        { "decimal", Value::decimal("12345678901234567890.5") },
        { "text", Value(chinese) },
        { "empty_text", Value(std::string()) },
        { "blob", Value(blob) },
        { "empty_blob", Value(platform::Bytes {}) },
        { "object", Value(std::make_shared<Badge>()) },
        { "date", Value(platform::Date::fromSeconds(1700000000.25)) },
    };
    for (const Row& row : rows)
        ASSERT_TRUE(db->executeUpdate("insert into v values (?, ?)", { row.key, row.value })) << row.key;
    ASSERT_TRUE(db->close());

    auto tool = [&](const std::string& key, const std::string& expression) {
        return sqliteTool(path(), "select " + expression + " from v where k = '" + key + "';");
    };
    EXPECT_EQ(tool("null", "typeof(c)"), "null\n");
    EXPECT_EQ(tool("true", "typeof(c) || ' ' || c"), "integer 1\n");
    EXPECT_EQ(tool("false", "typeof(c) || ' ' || c"), "integer 0\n");
    EXPECT_EQ(tool("int", "c"), "-42\n");
    EXPECT_EQ(tool("max", "c"), "9223372036854775807\n");
    EXPECT_EQ(tool("min", "c"), "-9223372036854775808\n");
    // The same 64 bits; the wrapper's unsigned reader gives the value back.
    EXPECT_EQ(tool("umax", "typeof(c) || ' ' || c"), "integer -1\n");
    EXPECT_EQ(tool("float", "typeof(c) || ' ' || hex(ieee754_to_blob(c))"), "real " + ieeeHexOf(1.5) + "\n");
    EXPECT_EQ(tool("third", "hex(ieee754_to_blob(c))"), ieeeHexOf(third) + "\n");
    EXPECT_EQ(tool("huge", "hex(ieee754_to_blob(c))"), ieeeHexOf(-1e300) + "\n");
    EXPECT_EQ(tool("decimal", "typeof(c) || ' ' || c"), "text 12345678901234567890.5\n");
    EXPECT_EQ(tool("text", "typeof(c) || ' ' || hex(c)"), "text " + hexOf(chinese) + "\n");
    EXPECT_EQ(tool("empty_text", "typeof(c) || ' ' || length(c)"), "text 0\n");
    EXPECT_EQ(tool("blob", "typeof(c) || ' ' || hex(c)"), "blob " + hexOf(blob.data(), blob.size()) + "\n");
    EXPECT_EQ(tool("empty_blob", "typeof(c) || ' ' || length(c)"), "blob 0\n");
    EXPECT_EQ(tool("object", "c"), "<Badge gold>\n");
    EXPECT_EQ(tool("date", "typeof(c) || ' ' || hex(ieee754_to_blob(c))"), "real " + ieeeHexOf(1700000000.25) + "\n");

    // And the cursor reads the same values back.
    auto reader = openDatabase();
    EXPECT_EQ(reader->stringForQuery("select c from v where k = 'text'"), chinese);
    EXPECT_EQ(reader->dataForQuery("select c from v where k = 'blob'"), blob);
    EXPECT_EQ(reader->dataForQuery("select c from v where k = 'empty_blob'"), platform::Bytes {});
    EXPECT_EQ(reader->dataForQuery("select c from v where k = 'null'"), std::nullopt);
    auto rs = reader->executeQuery("select c from v where k = ?", { "umax" });
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->unsignedLongLongIntForColumnIndex(0), std::numeric_limits<unsigned long long>::max());
    rs->close();
    EXPECT_EQ(reader->doubleForQuery("select c from v where k = 'third'"), third);
    EXPECT_EQ(reader->dateForQuery("select c from v where k = 'date'"), platform::Date::fromSeconds(1700000000.25));
}

TEST_F(SQLDatabaseTest, RowsWrittenByTheSqliteToolReadBackExactly)
{
    const std::string name = "李四·Zoë";
    ASSERT_EQ(sqliteTool(path(),
                  "create table t (id integer, name text, data blob, score real);"
                  "insert into t values (9007199254740993, '"
                      + name + "', x'00FF0000AB', 0.1);"),
        "");
    auto db = openDatabase();
    auto rs = db->executeQuery("select * from t");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->longLongIntForColumn("id"), 9007199254740993LL);
    EXPECT_EQ(rs->stringForColumn("name"), name);
    EXPECT_EQ(rs->dataForColumn("data"), (platform::Bytes { 0x00, 0xff, 0x00, 0x00, 0xab }));
    EXPECT_EQ(rs->doubleForColumn("score"), 0.1);
    EXPECT_FALSE(rs->next());
}

TEST_F(SQLDatabaseTest, BindCountMustMatchThePlaceholders)
{
    auto db = openDatabase();
    db->setShouldCacheStatements(true);
    ASSERT_TRUE(db->executeUpdate("create table t (a, b)"));
    platform::LogCapture log;

    const std::string insert = "insert into t values (?, ?)";
    platform::Error error;
    EXPECT_FALSE(db->executeUpdate(insert, nullptr, platform::Array { 1 }, nullptr));
    EXPECT_EQ(log.lines(),
        (std::vector<std::string> { "Error: the bind count (1) is not correct for the # of variables in the query (2) "
                                    "(insert into t values (?, ?)) (executeUpdate)" }));
    EXPECT_EQ(sqltest::toolCount(path(), "t"), 0);

    // Surplus arguments are ignored.
    EXPECT_TRUE(db->executeUpdate(insert, platform::Array { 1, 2, 3 }));
    // The cached statement survived the failed bind and is used again.
    EXPECT_TRUE(db->executeUpdate(insert, { 4, 5 }));
    EXPECT_EQ(sqliteTool(path(), "select a, b from t order by a;"), "1|2\n4|5\n");

    log.clear();
    EXPECT_EQ(db->executeQuery("select * from t where a = ? and b = ?", { 1 }), nullptr);
    EXPECT_EQ(log.lines(),
        (std::vector<std::string> { "Error: the bind count is not correct for the # of variables (executeQuery)" }));
}

TEST_F(SQLDatabaseTest, NamedParametersBindByKey)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (a, b)"));
    platform::LogCapture log;
    platform::Dictionary arguments { { "b", "two" }, { "a", 1 }, { "stray", 3 } };
    EXPECT_TRUE(db->executeUpdate("insert into t values (:a, :b)", arguments));
    EXPECT_EQ(log.lines(), (std::vector<std::string> { "Could not find index for stray" }));
    EXPECT_EQ(sqliteTool(path(), "select a, b from t;"), "1|two\n");

    EXPECT_FALSE(db->executeUpdate("insert into t values (:a, :b)", platform::Dictionary { { "a", 1 } }));
    auto rs = db->executeQuery("select b from t where a = :a", platform::Dictionary { { "a", 1 } });
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->stringForColumnIndex(0), "two");
}

TEST_F(SQLDatabaseTest, UpdateFailuresAreLoggedAndReported)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (id integer primary key, name text not null)"));
    platform::LogCapture log;

    EXPECT_FALSE(db->executeUpdate("select 1"));
    EXPECT_EQ(log.lines(),
        (std::vector<std::string> {
            "Unknown error calling sqlite3_step (100: another row available) eu", "DB Query: select 1" }));

    log.clear();
    platform::Error error;
    EXPECT_FALSE(db->update("insert into t (name) values (?)", &error, { Value() }));
    EXPECT_EQ(error.domain(), "SQLDatabase");
    EXPECT_EQ(error.code(), SQLITE_CONSTRAINT);
    EXPECT_EQ(error.localizedDescription(), "NOT NULL constraint failed: t.name");
    ASSERT_FALSE(log.lines().empty());
    EXPECT_EQ(log.lines()[0], "Unknown error calling sqlite3_step (19: NOT NULL constraint failed: t.name) eu");

    // Preparation errors are logged only when asked, but always reported.
    log.clear();
    EXPECT_FALSE(db->update("insert into nope values (1)", &error));
    EXPECT_EQ(error.code(), SQLITE_ERROR);
    EXPECT_EQ(error.localizedDescription(), "no such table: nope");
    EXPECT_TRUE(db->hadError());
    EXPECT_EQ(db->lastErrorCode(), SQLITE_ERROR);
    EXPECT_EQ(db->lastError().localizedDescription(), "no such table: nope");
    EXPECT_TRUE(log.lines().empty());
    db->setLogsErrors(true);
    EXPECT_EQ(db->executeQuery("select * from nope"), nullptr);
    EXPECT_EQ(log.lines(),
        (std::vector<std::string> {
            "DB Error: 1 \"no such table: nope\"", "DB Query: select * from nope", "DB Path: " + path() }));

    EXPECT_TRUE(db->executeUpdate("insert into t (name) values ('ok')"));
    EXPECT_FALSE(db->hadError());
    EXPECT_EQ(db->lastInsertRowId(), 1);
    EXPECT_EQ(db->changes(), 1);
}

TEST_F(SQLDatabaseTest, CachedStatementIsReusedButNeverUnderAnOpenCursor)
{
    auto db = openDatabase();
    db->setShouldCacheStatements(true);
    ASSERT_TRUE(db->executeUpdate("create table t (x)"));
    for (int i = 1; i <= 3; ++i)
        ASSERT_TRUE(db->executeUpdate("insert into t values (?)", { i }));
    auto insert = db->cachedStatementForQuery("insert into t values (?)");
    ASSERT_TRUE(insert);
    EXPECT_EQ(insert->useCount(), 3);

    const std::string select = "select x from t order by x";
    auto first = db->executeQuery(select);
    ASSERT_TRUE(first);
    sqlite3_stmt* handle = first->statement()->statement();
    first->close();
    auto second = db->executeQuery(select);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->statement()->statement(), handle);
    EXPECT_EQ(db->cachedStatementForQuery(select)->useCount(), 2);
    EXPECT_NE(
        db->cachedStatementForQuery(select)->description().find("2 hit(s) for query " + select), std::string::npos);

    // A nested loop over the same query must not rewind the outer cursor.
    std::vector<int> outerRows;
    int innerRows = 0;
    while (second->next()) {
        outerRows.push_back(second->intForColumnIndex(0));
        auto inner = db->executeQuery(select);
        ASSERT_TRUE(inner);
        while (inner->next())
            ++innerRows;
    }
    EXPECT_EQ(outerRows, (std::vector<int> { 1, 2, 3 }));
    EXPECT_EQ(innerRows, 9);

    db->setShouldCacheStatements(false);
    EXPECT_EQ(db->cachedStatements(), nullptr);
    EXPECT_EQ(db->intForQuery("select count(*) from t"), 3);
}

TEST_F(SQLDatabaseTest, CloseFinishesCursorsAndLeakedStatements)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (x)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
    db->setShouldCacheStatements(true);
    auto rs = db->executeQuery("select x from t");
    ASSERT_TRUE(rs);
    auto heldStatement = rs->statement();
    EXPECT_TRUE(db->hasOpenResultSets());

    // A statement prepared on the raw handle and never finalized.
    sqlite3_stmt* leaked = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db->sqliteHandle(), "select 2", -1, &leaked, nullptr), SQLITE_OK);

    platform::LogCapture log;
    EXPECT_TRUE(db->close());
    EXPECT_EQ(db->sqliteHandle(), nullptr);
    EXPECT_FALSE(db->hasOpenResultSets());
    EXPECT_EQ(rs->parentDB(), nullptr);
    EXPECT_EQ(heldStatement->statement(), nullptr) << "a statement someone still holds is finalized with the handle";
    EXPECT_EQ(log.lines(), (std::vector<std::string> { "Closing leaked statement" }));

    log.clear();
    EXPECT_FALSE(rs->next());
    EXPECT_EQ(log.lines(),
        (std::vector<std::string> { "Error calling sqlite3_step (21: bad parameter or other API misuse) rs" }));
}

TEST_F(SQLDatabaseTest, RolledBackTransactionLeavesNothingOfAFailedBatch)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (id integer primary key, name text not null)"));
    ASSERT_TRUE(db->beginTransaction());
    EXPECT_TRUE(db->inTransaction());
    EXPECT_TRUE(db->executeUpdate("insert into t (name) values (?)", { "a" }));
    EXPECT_TRUE(db->executeUpdate("insert into t (name) values (?)", { "b" }));
    EXPECT_FALSE(db->executeUpdate("insert into t (name) values (?)", { Value() }));
    EXPECT_TRUE(db->rollback());
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(sqltest::toolCount(path(), "t"), 0);

    ASSERT_TRUE(db->beginDeferredTransaction());
    EXPECT_TRUE(db->executeUpdate("insert into t (name) values (?)", { "kept" }));
    EXPECT_TRUE(db->commit());
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(sqliteTool(path(), "select name from t;"), "kept\n");

    // A rollback with nothing to roll back fails and says so.
    EXPECT_FALSE(db->rollback());
}

TEST_F(SQLDatabaseTest, SavepointsUndoPartOfATransaction)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (x)"));
    ASSERT_TRUE(db->beginTransaction());
    ASSERT_TRUE(db->executeUpdate("insert into t values ('a')"));
    platform::Error error;
    const std::string name = "it's mine"; // a quote must not end the name's literal
    ASSERT_TRUE(db->startSavePointWithName(name, &error));
    ASSERT_TRUE(db->executeUpdate("insert into t values ('b')"));
    ASSERT_TRUE(db->rollbackToSavePointWithName(name, &error));
    ASSERT_TRUE(db->releaseSavePointWithName(name, &error));
    EXPECT_FALSE(db->releaseSavePointWithName("never started", &error));
    EXPECT_EQ(error.localizedDescription(), "no such savepoint: never started");
    ASSERT_TRUE(db->commit());
    EXPECT_EQ(sqliteTool(path(), "select x from t;"), "a\n");

    // A savepoint block rolled back outside any transaction leaves no
    // transaction open and no lock held.
    auto result = db->inSavePoint([&](bool* rollback) {
        EXPECT_TRUE(db->executeUpdate("insert into t values ('c')"));
        *rollback = true;
    });
    EXPECT_FALSE(result.has_value());
    EXPECT_NE(sqlite3_get_autocommit(db->sqliteHandle()), 0);
    EXPECT_EQ(
        sqliteTool(path(), "insert into t values ('from tool'); select group_concat(x) from t;"), "a,from tool\n");

    result = db->inSavePoint([&](bool*) { EXPECT_TRUE(db->executeUpdate("insert into t values ('d')")); });
    EXPECT_FALSE(result.has_value());
    EXPECT_EQ(sqliteTool(path(), "select count(*) from t where x = 'd';"), "1\n");
}

TEST_F(SQLDatabaseTest, SavepointBlocksAreNumberedInOrder)
{
    auto db = openDatabase();
    db->setTraceExecution(true);
    platform::LogCapture log;
    db->inSavePoint([](bool*) {});
    db->inSavePoint([](bool*) {});
    std::vector<long> numbers;
    const std::string prefix = db->description() + " executeUpdate: savepoint 'dbSavePoint";
    for (const auto& line : log.lines()) {
        if (line.rfind(prefix, 0) == 0)
            numbers.push_back(std::stol(line.substr(prefix.size())));
    }
    ASSERT_EQ(numbers.size(), 2u);
    EXPECT_EQ(numbers[1], numbers[0] + 1);
}

TEST_F(SQLDatabaseTest, WorkStartedInsideARunningExecutionIsRefused)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (x)"));
    ASSERT_TRUE(db->executeUpdate("insert into t values (1)"));
    auto nosy = std::make_shared<Nosy>(db);
    platform::LogCapture log;
    EXPECT_TRUE(db->executeUpdate("insert into t values (?)", { Value(nosy) }));
    EXPECT_EQ(nosy->seen, 0);
    EXPECT_EQ(
        log.lines(), (std::vector<std::string> { "The SQLDatabase " + db->description() + " is currently in use." }));
    EXPECT_EQ(sqliteTool(path(), "select x from t order by rowid;"), "1\nnosy\n");
    EXPECT_EQ(db->lastInsertRowId(), 2) << "the flag is cleared after the execution";
}

TEST_F(SQLDatabaseTest, TraceLogsStatementsAndArguments)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (a, b)"));
    db->setTraceExecution(true);
    platform::LogCapture log;
    EXPECT_TRUE(db->executeUpdate("insert into t values (?, ?)", { "x", platform::Bytes { 1, 2, 3 } }));
    EXPECT_EQ(log.lines(),
        (std::vector<std::string> {
            db->description() + " executeUpdate: insert into t values (?, ?)", "obj: x", "data: 3 bytes" }));
}

TEST_F(SQLDatabaseTest, FormatConversionsBecomeBoundArguments)
{
    std::string sql;
    platform::Array arguments;
    const platform::Array given { "text", Value(), 42, "c-string", 0.1, 0.1, 65, 1LL << 40, 65537, -5, 7 };
    SQLDatabase::extractSQL(
        "select %@, %@, %d, %s, %f, %g, %c, %lld, %hu, %qi, %lu, 100%%, %hx", given, sql, arguments);
    EXPECT_EQ(sql, "select ?, NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?, 100%, hx");
    ASSERT_EQ(arguments.size(), 10u);
    EXPECT_EQ(arguments[0], Value("text"));
    EXPECT_EQ(arguments[1], Value(42));
    EXPECT_EQ(arguments[2], Value("c-string"));
    EXPECT_EQ(arguments[3].doubleValue(), 0.1);
    EXPECT_EQ(arguments[4].doubleValue(), static_cast<double>(0.1f));
    EXPECT_EQ(arguments[5], Value("A"));
    EXPECT_EQ(arguments[6], Value(1LL << 40));
    EXPECT_EQ(arguments[7], Value(1u)) << "an unsigned short keeps its low 16 bits";
    EXPECT_EQ(arguments[8], Value(-5));
    EXPECT_EQ(arguments[9].kind(), Value::Kind::UInt);
    EXPECT_EQ(arguments[9].unsignedLongLongValue(), 7u);

    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (a, b, c)"));
    ASSERT_TRUE(db->executeUpdateWithFormat("insert into t values (%d, %@, %@)", { 7, "it's", Value() }));
    EXPECT_EQ(sqliteTool(path(), "select a, b, quote(c) from t;"), "7|it's|NULL\n");
    auto rs = db->executeQueryWithFormat("select b from t where a = %d", { 7 });
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->stringForColumnIndex(0), "it's");
}

TEST_F(SQLDatabaseTest, SchemaQuestions)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table tb_magazines (n_id integer primary key, N_Name text)"));
    ASSERT_TRUE(db->executeUpdate("create table \"odd'name\" (x)"));
    ASSERT_TRUE(db->executeUpdate("create index ix_name on tb_magazines (N_Name)"));

    EXPECT_TRUE(db->tableExists("TB_MAGAZINES"));
    EXPECT_FALSE(db->tableExists("tb_magazine"));
    EXPECT_FALSE(db->tableExists("x' or '1'='1"));
    EXPECT_TRUE(db->columnExists("n_name", "TB_Magazines"));
    EXPECT_TRUE(db->columnExistsInTable("tb_magazines", "N_ID"));
    EXPECT_FALSE(db->columnExists("n_missing", "tb_magazines"));
    EXPECT_TRUE(db->columnExists("x", "odd'name"));
    EXPECT_FALSE(db->hasOpenResultSets());

    auto schema = db->getSchema();
    ASSERT_TRUE(schema);
    std::vector<std::string> names;
    while (schema->next())
        names.push_back(
            schema->stringForColumn("type").value_or("") + ":" + schema->stringForColumn("name").value_or(""));
    EXPECT_EQ(names, (std::vector<std::string> { "table:odd'name", "table:tb_magazines", "index:ix_name" }));

    platform::Error error;
    EXPECT_TRUE(db->validateSQL("select n_id from tb_magazines", &error));
    EXPECT_FALSE(db->validateSQL("select n_missing from tb_magazines", &error));
    EXPECT_EQ(error.domain(), platform::kCocoaErrorDomain);
    EXPECT_EQ(error.code(), SQLITE_ERROR);
    EXPECT_EQ(error.localizedDescription(), "no such column: n_missing");
    EXPECT_TRUE(db->goodConnection());
}

TEST_F(SQLDatabaseTest, SingleValueQueriesGiveZeroWithoutARow)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (i, d, s, b)"));
    ASSERT_TRUE(
        db->executeUpdate("insert into t values (?, ?, ?, ?)", { 5000000000LL, 2.5, "text", platform::Bytes { 9 } }));
    EXPECT_EQ(db->longForQuery("select i from t"), 5000000000L);
    EXPECT_EQ(db->intForQuery("select 7 from t where i = ?", { 5000000000LL }), 7);
    EXPECT_EQ(db->doubleForQuery("select d from t"), 2.5);
    EXPECT_TRUE(db->boolForQuery("select d from t"));
    EXPECT_EQ(db->stringForQuery("select s from t"), "text");
    EXPECT_EQ(db->dataForQuery("select b from t"), platform::Bytes { 9 });

    const std::string none = "select i from t where 0";
    EXPECT_EQ(db->intForQuery(none), 0);
    EXPECT_EQ(db->longForQuery(none), 0);
    EXPECT_FALSE(db->boolForQuery(none));
    EXPECT_EQ(db->doubleForQuery(none), 0.0);
    EXPECT_EQ(db->stringForQuery(none), std::nullopt);
    EXPECT_EQ(db->dataForQuery(none), std::nullopt);
    EXPECT_EQ(db->dateForQuery(none), std::nullopt);
    EXPECT_FALSE(db->hasOpenResultSets());
}

TEST_F(SQLDatabaseTest, DatesFollowTheFormatterWhenOneIsSet)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (k, d)"));
    const auto when = platform::Date::fromSeconds(1709294645); // 2024-03-01 12:04:05 UTC
    ASSERT_TRUE(db->executeUpdate("insert into t values ('seconds', ?)", { when }));
    EXPECT_FALSE(db->hasDateFormatter());
    EXPECT_EQ(db->stringFromDate(when), std::nullopt);

    db->setDateFormat(SQLDatabase::storeableDateFormat("yyyy-MM-dd HH:mm:ss"));
    ASSERT_TRUE(db->executeUpdate("insert into t values ('text', ?)", { when }));
    EXPECT_EQ(
        sqliteTool(path(), "select typeof(d) || ' ' || d from t where k = 'text';"), "text 2024-03-01 12:04:05\n");
    EXPECT_EQ(db->dateForQuery("select d from t where k = 'text'"), when);
    EXPECT_EQ(db->stringFromDate(when), "2024-03-01 12:04:05");
    EXPECT_EQ(db->dateFromString("2024-02-29 23:59:60x"), std::nullopt);
    EXPECT_EQ(db->dateFromString("1969-12-31 23:59:59"), platform::Date::fromSeconds(-1));

    SQLDateFormatter named("EEE, dd MMM yyyy hh:mm:ss a Z");
    EXPECT_EQ(named.stringFromDate(when), "Fri, 01 Mar 2024 12:04:05 PM +0000");
    EXPECT_EQ(named.dateFromString("Fri, 01 Mar 2024 12:04:05 AM +0800"), when.addingSeconds(-12 * 3600 - 8 * 3600));
}

TEST_F(SQLDatabaseTest, RegisteredFunctionsAndRefusedKeys)
{
    auto db = openDatabase();
    db->makeFunctionNamed("twice", 1, [](sqlite3_context* context, int argc, sqlite3_value** argv) {
        if (argc != 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(context);
            return;
        }
        sqlite3_result_int64(context, 2 * sqlite3_value_int64(argv[0]));
    });
    EXPECT_EQ(db->longForQuery("select twice(?)", { 21 }), 42);
    EXPECT_TRUE(db->boolForQuery("select twice(null) is null"));
    db->makeFunctionNamed("boom", 0, [](sqlite3_context*, int, sqlite3_value**) { throw std::runtime_error("boom"); });
    EXPECT_EQ(db->executeQuery("select boom()")->next(), false);

    EXPECT_FALSE(db->setKey("secret"));
    EXPECT_FALSE(db->rekey("secret"));
}

} // namespace
