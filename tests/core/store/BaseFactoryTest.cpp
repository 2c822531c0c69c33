#include "core/store/BaseFactory.h"
#include "tests/core/store/ProbeStore.h"
#include "tests/core/util/CoreTestSupport.h"

#include "platform/os/Log.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

using coretest::ProbeStore;
using coretest::sqliteTool;
using coretest::toolInt;

namespace {

class BaseStore : public ::testing::Test {
protected:
    std::string db() const { return home.documents() + "/_cache.db"; }

    coretest::TempHome home;
};

TEST_F(BaseStore, FirstStartCreatesTheInfoTableAndTheVersionKey)
{
    EXPECT_EQ(core::BaseFactory::dataFilePath(), db());
    platform::LogCapture log;
    ProbeStore store;
    EXPECT_TRUE(store.atVersion());
    EXPECT_FALSE(store.isOpened());
    // Nothing failed on the way: the UPDATE found no row and the INSERT ran.
    EXPECT_FALSE(log.contains("line "));
    EXPECT_EQ(sqliteTool(db(), "SELECT key, value FROM tb_info;"), "probe_version|1.0\n");
    EXPECT_EQ(sqliteTool(db(), ".schema tb_info"),
        "CREATE TABLE `tb_info` (            `key` text(32,0) NOT NULL,            `value` text(32,0) NOT NULL,    "
        "        PRIMARY KEY(`key`)            );\n");
    EXPECT_EQ(sqliteTool(db(), ".tables"), "tb_info        tb_probe       tb_probe_note\n");

    // Made again at the same version, the store keeps its rows: no CREATE or DROP runs.
    ASSERT_TRUE(store.addNames({ "a", "b" }));
    ProbeStore again;
    EXPECT_TRUE(again.atVersion());
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_probe;"), 2);
}

TEST_F(BaseStore, AVersionChangeRecreatesOnlyThatStoresTables)
{
    {
        ProbeStore store("1.0");
        ASSERT_TRUE(store.addNames({ "kept?" }));
    }
    sqliteTool(db(),
        "CREATE TABLE tb_other (x text); INSERT INTO tb_other VALUES ('stays'); "
        "INSERT INTO tb_info VALUES ('other_version', '3.1');");

    ProbeStore upgraded("2.0", { ProbeStore::kCreateProbe, ProbeStore::kCreateProbeNote }, { "1.0" });
    EXPECT_TRUE(upgraded.atVersion());
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_probe;"), 0);
    EXPECT_EQ(sqliteTool(db(), "SELECT value FROM tb_info WHERE key='probe_version';"), "2.0\n");
    EXPECT_EQ(sqliteTool(db(), "SELECT x FROM tb_other;"), "stays\n");
    EXPECT_EQ(sqliteTool(db(), "SELECT value FROM tb_info WHERE key='other_version';"), "3.1\n");
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_info;"), 2);

    // A version the store never kept its tables at, over tables that hold
    // nothing, has them made anew too (those over rows are damage, and
    // drop nothing).
    sqliteTool(db(), "UPDATE tb_info SET value='1.9' WHERE key='probe_version';");
    ProbeStore again("2.0");
    EXPECT_TRUE(again.atVersion());
    EXPECT_EQ(sqliteTool(db(), "SELECT value FROM tb_info WHERE key='probe_version';"), "2.0\n");
}

TEST_F(BaseStore, AFailedCreateLeavesTheKeySoTheNextStoreRetries)
{
    {
        platform::LogCapture log;
        ProbeStore broken("1.0", { ProbeStore::kCreateProbe, "CREATE TABLE `tb_probe_note` (" });
        EXPECT_FALSE(broken.atVersion());
        // The failing step's number, SQLite's code and message, and a line end.
        bool found = false;
        for (const auto& line : log.lines())
            found = found || (line.rfind("line 108,1#", 0) == 0 && line.back() == '\n');
        EXPECT_TRUE(found);
    }
    EXPECT_EQ(sqliteTool(db(), "SELECT count(*) FROM tb_info WHERE key='probe_version';"), "0\n");
    ProbeStore fixed("1.0");
    EXPECT_TRUE(fixed.atVersion());
    EXPECT_EQ(sqliteTool(db(), "SELECT value FROM tb_info WHERE key='probe_version';"), "1.0\n");
    EXPECT_EQ(sqliteTool(db(), ".tables tb_probe_note"), "tb_probe_note\n");
}

TEST_F(BaseStore, SetInfoUpdatesInPlaceAndBindsItsTexts)
{
    ProbeStore store;
    ASSERT_TRUE(store.open());
    EXPECT_FALSE(store.getInfo("missing"));
    store.setInfo("theme", "light");
    store.setInfo("theme", "dark");
    EXPECT_EQ(store.getInfo("theme"), "dark");
    // Quotes and SQL in texts are stored as they are.
    store.setInfo("it's", "x'); DROP TABLE tb_info; --");
    EXPECT_EQ(store.getInfo("it's"), "x'); DROP TABLE tb_info; --");
    ASSERT_TRUE(store.close());

    EXPECT_EQ(sqliteTool(db(), "SELECT count(*), value FROM tb_info WHERE key='theme';"), "1|dark\n");
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_info;"), 3);
}

TEST_F(BaseStore, CloseWithAnUnfinalizedStatementKeepsTheConnection)
{
    ProbeStore store;
    ASSERT_TRUE(store.open());
    core::StoreStatement pending = store.pendingStatement();
    ASSERT_TRUE(pending);
    EXPECT_FALSE(store.close());
    EXPECT_TRUE(store.isOpened());
    // The handle is still good: opening again answers it, and it still works.
    EXPECT_TRUE(store.open());
    EXPECT_EQ(store.getInfo(ProbeStore::kVersionKey), "1.0");
    pending.finalize();
    EXPECT_TRUE(store.close());
    EXPECT_FALSE(store.isOpened());
    EXPECT_TRUE(store.close());
}

TEST_F(BaseStore, ABatchThatFailsHalfWayLeavesNothing)
{
    ProbeStore store;
    platform::LogCapture log;
    EXPECT_FALSE(store.addNames({ "first", "second", std::nullopt, "fourth" }));
    EXPECT_TRUE(log.contains("line 902,19#NOT NULL constraint failed: tb_probe.name\n"));
    EXPECT_FALSE(store.isOpened());
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_probe;"), 0);
    EXPECT_EQ(sqliteTool(db(), "PRAGMA integrity_check;"), "ok\n");

    // The connection is left usable: the next batch commits whole.
    EXPECT_TRUE(store.addNames({ "first", "second", "第三" }));
    EXPECT_EQ(sqliteTool(db(), "SELECT name FROM tb_probe ORDER BY id;"), "first\nsecond\n第三\n");
}

TEST_F(BaseStore, ABatchWaitsForAWriterThatHoldsTheFileBriefly)
{
    ProbeStore store;
    // The sqlite3 tool takes the write lock, says so through a marker file,
    // and keeps the lock for a moment before it commits (waiting, as the
    // stores do, for a reader of the file at that instant).
    std::string marker = home.path() + "/locked";
    std::string script = home.path() + "/hold.sh";
    std::ofstream(script) << "(printf \"BEGIN IMMEDIATE;\\nINSERT INTO tb_probe(name) VALUES ('tool');\\n.shell touch "
                          << marker << "\\n\"; sleep 0.5; printf \"COMMIT;\\n\") | sqlite3 -batch -cmd '.timeout 60000' '"
                          << db() << "'\n";
    std::system(("sh " + coretest::shellQuoted(script) + " &").c_str());
    for (int i = 0; i < 6000 && !std::filesystem::exists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(std::filesystem::exists(marker));

    // The batch waits for the lock instead of failing at once.
    EXPECT_TRUE(store.addNames({ "store" }));
    EXPECT_EQ(sqliteTool(db(), "SELECT name FROM tb_probe ORDER BY id;"), "tool\nstore\n");
}

TEST_F(BaseStore, AFileThatCannotBeOpenedGivesEmptyResults)
{
    // The home's Documents folder is a plain file, so the database cannot be made there.
    std::filesystem::create_directories(home.path());
    std::ofstream(home.path() + "/Documents") << "not a folder";
    ProbeStore store;
    EXPECT_FALSE(store.atVersion());
    EXPECT_FALSE(store.open());
    EXPECT_FALSE(store.isOpened());
    EXPECT_FALSE(store.vacuum());
    EXPECT_FALSE(store.addNames({ "x" }));
    EXPECT_TRUE(store.close());
}

} // namespace
