#include "foundation/sqlite/SQLResultSet.h"
#include "foundation/sqlite/SQLDatabase.h"
#include "platform/os/Log.h"
#include "tests/foundation/sqlite/SQLTestSupport.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>

using foundation::SQLDatabase;
using foundation::SQLResultSet;

using platform::Value;

namespace {

class SQLResultSetTest : public sqltest::SQLiteTest {
protected:
    void SetUp() override
    {
        SQLiteTest::SetUp();
        // Filled by the sqlite3 tool, so that reading does not depend on the
        // wrapper's own writing.
        ASSERT_EQ(sqltest::sqliteTool(path(),
                      "create table contact (id integer primary key, Name text, age integer, score real, photo blob, "
                      "note text);"
                      "insert into contact values (1, '王小明', 12, 97.5, x'89504E470D0A', '12abc');"
                      "insert into contact values (2, NULL, NULL, NULL, NULL, NULL);"
                      "create table grp (id integer primary key, name text);"
                      "insert into grp values (1, '三年二班');"),
            "");
        db = openDatabase();
    }

    std::shared_ptr<SQLResultSet> row(int id)
    {
        auto rs = db->executeQuery("select * from contact where id = ?", { id });
        EXPECT_TRUE(rs && rs->next());
        return rs;
    }

    std::shared_ptr<SQLDatabase> db;
};

TEST_F(SQLResultSetTest, ColumnsByIndexAndByNameInAnyCase)
{
    auto rs = row(1);
    EXPECT_EQ(rs->columnCount(), 6);
    EXPECT_EQ(rs->columnNameForIndex(1), "Name");
    EXPECT_EQ(rs->columnNameForIndex(6), std::nullopt);
    EXPECT_EQ(rs->columnIndexForName("NAME"), 1);
    EXPECT_EQ(rs->stringForColumn("name"), "王小明");
    EXPECT_EQ(rs->stringForColumn("nAmE"), rs->stringForColumnIndex(1));
    EXPECT_EQ(rs->intForColumn("AGE"), 12);
    EXPECT_EQ(rs->doubleForColumn("Score"), 97.5);
    EXPECT_EQ(rs->dataForColumn("photo"), (platform::Bytes { 0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a }));
    auto noCopy = rs->dataNoCopyForColumn("photo");
    ASSERT_TRUE(noCopy);
    EXPECT_EQ(platform::Bytes(noCopy->begin(), noCopy->end()), *rs->dataForColumnIndex(4));
    EXPECT_STREQ(rs->UTF8StringForColumnName("name"), "王小明");
    EXPECT_EQ(rs->columnNameToIndexMap().keys(),
        (std::vector<std::string> { "id", "name", "age", "score", "photo", "note" }));
}

TEST_F(SQLResultSetTest, UnknownColumnNamesWarnAndReadAsEmpty)
{
    auto rs = row(1);
    platform::LogCapture log;
    EXPECT_EQ(rs->stringForColumn("NickName"), std::nullopt);
    EXPECT_EQ(log.lines(), (std::vector<std::string> { "Warning: I could not find the column named 'nickname'." }));
    EXPECT_EQ(rs->intForColumn("nickname"), 0);
    EXPECT_EQ(rs->longLongIntForColumn("nickname"), 0);
    EXPECT_FALSE(rs->boolForColumn("nickname"));
    EXPECT_EQ(rs->doubleForColumn("nickname"), 0.0);
    EXPECT_EQ(rs->dataForColumn("nickname"), std::nullopt);
    EXPECT_EQ(rs->dateForColumn("nickname"), std::nullopt);
    EXPECT_EQ(rs->UTF8StringForColumnName("nickname"), nullptr);
    EXPECT_TRUE(rs->columnIsNull("nickname"));
    EXPECT_TRUE(rs->objectForColumnName("nickname").isNull());
    EXPECT_EQ(log.lines().size(), 10u);

    EXPECT_EQ(rs->stringForColumnIndex(-1), std::nullopt);
    EXPECT_EQ(rs->intForColumnIndex(99), 0);
}

TEST_F(SQLResultSetTest, TypedReadersOnNullAndOnOtherKinds)
{
    auto empty = row(2);
    EXPECT_EQ(empty->stringForColumn("name"), std::nullopt);
    EXPECT_EQ(empty->intForColumn("age"), 0);
    EXPECT_EQ(empty->longForColumn("age"), 0);
    EXPECT_EQ(empty->doubleForColumn("score"), 0.0);
    EXPECT_EQ(empty->dataForColumn("photo"), std::nullopt);
    EXPECT_EQ(empty->dataNoCopyForColumn("photo"), std::nullopt);
    EXPECT_EQ(empty->dateForColumn("score"), std::nullopt);
    EXPECT_TRUE(empty->columnIsNull("name"));
    EXPECT_FALSE(empty->columnIsNull("id"));
    EXPECT_TRUE(empty->objectForColumnName("photo").isNull());

    auto full = row(1);
    EXPECT_EQ(full->intForColumn("note"), 12) << "a text reads its leading number";
    EXPECT_EQ(full->intForColumn("score"), 97) << "a real is truncated";
    EXPECT_EQ(full->stringForColumn("age"), "12");
    EXPECT_EQ(full->stringForColumn("score"), "97.5");
    EXPECT_EQ(full->dateForColumn("age"), platform::Date::fromSeconds(12));
    const std::string name = "王小明";
    EXPECT_EQ(full->dataForColumn("name"), platform::Bytes(name.begin(), name.end()));
}

TEST_F(SQLResultSetTest, EmptyValuesAreNotNull)
{
    auto rs = db->executeQuery("select x'', '', null");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->stringForColumnIndex(0), "");
    EXPECT_EQ(rs->dataForColumnIndex(0), platform::Bytes {});
    EXPECT_FALSE(rs->columnIndexIsNull(0));
    EXPECT_EQ(rs->stringForColumnIndex(1), "");
    EXPECT_EQ(rs->dataForColumnIndex(1), platform::Bytes {});
    EXPECT_EQ(rs->stringForColumnIndex(2), std::nullopt);
    EXPECT_EQ(rs->dataForColumnIndex(2), std::nullopt);
}

TEST_F(SQLResultSetTest, NamesAskedInChangingOrderKeepFindingTheirColumns)
{
    auto rs = db->executeQuery("select id, Name, age, note from contact order by id");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->intForColumn("id"), 1);
    EXPECT_EQ(rs->stringForColumn("Name"), "王小明");
    EXPECT_EQ(rs->intForColumn("age"), 12);
    EXPECT_EQ(rs->stringForColumn("note"), "12abc");
    ASSERT_TRUE(rs->next());
    platform::LogCapture log;
    EXPECT_EQ(rs->stringForColumn("note"), std::nullopt);
    EXPECT_EQ(rs->intForColumn("ID"), 2);
    EXPECT_EQ(rs->intForColumn("missing"), 0);
    EXPECT_EQ(rs->intForColumn("missing"), 0);
    EXPECT_EQ(rs->intForColumn("id"), 2);
    EXPECT_EQ(rs->columnIndexForName("name"), 1);
    EXPECT_EQ(rs->columnIndexForName("Name"), 1);
    EXPECT_EQ(rs->columnIndexForName("AGE"), 2);
    EXPECT_EQ(log.lines().size(), 2u) << "an unknown name warns every time it is asked for";
}

TEST_F(SQLResultSetTest, ObjectsKeepTheColumnsStorageKind)
{
    auto full = row(1);
    EXPECT_EQ(full->objectForColumnIndex(0).kind(), Value::Kind::Int);
    EXPECT_EQ(full->objectForColumnIndex(0), Value(1));
    EXPECT_EQ(full->objectForColumnName("score").kind(), Value::Kind::Double);
    EXPECT_EQ((*full)["photo"].kind(), Value::Kind::Data);
    EXPECT_EQ((*full)[1], Value("王小明"));
    EXPECT_EQ(row(2)->objectForColumnName("age").kind(), Value::Kind::Null);
}

TEST_F(SQLResultSetTest, LaterOfTwoEquallyNamedColumnsIsReadByName)
{
    auto rs = db->executeQuery("select c.name, g.NAME from contact c join grp g on g.id = c.id");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->stringForColumn("name"), "三年二班");
    EXPECT_EQ(rs->stringForColumnIndex(0), "王小明");
    auto byLowerName = rs->resultDict();
    ASSERT_TRUE(byLowerName);
    EXPECT_EQ(byLowerName->size(), 1u);
    EXPECT_EQ(byLowerName->get("name"), Value("三年二班"));
}

TEST_F(SQLResultSetTest, WholeRowsAsDictionaries)
{
    auto rs = db->executeQuery("select id, Name, photo from contact order by id");
    ASSERT_TRUE(rs);
    platform::LogCapture log;
    EXPECT_EQ(rs->resultDictionary(), std::nullopt) << "no row is current before the first step";
    EXPECT_EQ(rs->resultDict(), std::nullopt);
    EXPECT_EQ(log.lines(),
        (std::vector<std::string> { "Warning: There seem to be no columns in this set.",
            "Warning: There seem to be no columns in this set." }));

    ASSERT_TRUE(rs->next());
    auto first = rs->resultDictionary();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->keys(), (std::vector<std::string> { "id", "Name", "photo" }));
    EXPECT_EQ(first->get("Name"), Value("王小明"));
    EXPECT_EQ(rs->resultDict()->keys(), (std::vector<std::string> { "id", "name", "photo" }));

    ASSERT_TRUE(rs->next());
    EXPECT_TRUE(rs->resultDictionary()->get("Name").isNull());
    std::map<std::string, std::string> set;
    rs->kvcMagic([&](const std::string& name, const std::string& text) { set[name] = text; });
    EXPECT_EQ(set, (std::map<std::string, std::string> { { "id", "2" } }));
}

TEST_F(SQLResultSetTest, CursorClosesItselfAtTheEnd)
{
    auto rs = db->executeQuery("select * from contact where id > 100");
    ASSERT_TRUE(rs);
    EXPECT_TRUE(db->hasOpenResultSets());
    EXPECT_FALSE(rs->next());
    EXPECT_FALSE(db->hasOpenResultSets());
    EXPECT_EQ(rs->parentDB(), nullptr);
    EXPECT_EQ(rs->statement(), nullptr);

    auto two = db->executeQuery("select id from contact order by id");
    ASSERT_TRUE(two->next());
    EXPECT_TRUE(two->hasAnotherRow());
    ASSERT_TRUE(two->next());
    EXPECT_FALSE(two->next());
    EXPECT_FALSE(two->hasAnotherRow());

    // Dropping an unfinished cursor lets the connection forget it.
    {
        auto dropped = db->executeQuery("select id from contact");
        ASSERT_TRUE(dropped->next());
    }
    EXPECT_FALSE(db->hasOpenResultSets());
    EXPECT_TRUE(db->close());
}

TEST_F(SQLResultSetTest, StepErrorsCloseTheCursor)
{
    // An arithmetic error that only shows when the row is computed.
    auto rs = db->executeQuery("select abs(?)", { Value(std::numeric_limits<long long>::min()) });
    ASSERT_TRUE(rs);
    platform::LogCapture log;
    EXPECT_FALSE(rs->next());
    EXPECT_EQ(log.lines(), (std::vector<std::string> { "Error calling sqlite3_step (1: integer overflow) rs" }));
    EXPECT_FALSE(db->hasOpenResultSets());
}

} // namespace
