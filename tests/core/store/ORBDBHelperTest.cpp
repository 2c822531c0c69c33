#include "core/store/ORBDBHelper.h"
#include "core/store/MagazineAd.h"
#include "tests/core/store/MagazineStoreSupport.h"
#include "tests/core/store/ProbeStore.h"
#include "tests/core/util/CoreTestSupport.h"

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"

#include <gtest/gtest.h>

#include <fstream>

using core::MagazineChapterInfo;
using core::MagazineDirectoryInfo;
using core::MagazineInfo;
using core::ORBDBHelper;
using coretest::issue;
using coretest::sqliteTool;
using coretest::toolInt;
using platform::Value;

namespace {

class MagazineStore : public ::testing::Test {
protected:
    void SetUp() override { coretest::signIn(1001, 1, { 2002 }); }
    void TearDown() override { coretest::signOut(); }

    std::string db() const { return home.documents() + "/_cache.db"; }
    static ORBDBHelper& store() { return *ORBDBHelper::sharedORBDBHelper(); }

    static std::vector<std::shared_ptr<MagazineInfo>> issues()
    {
        std::vector<std::shared_ptr<MagazineInfo>> list;
        for (const auto& v : store().allDBDatas(ORBDBHelper::kMagazines)) {
            auto m = v.objectAs<MagazineInfo>();
            EXPECT_TRUE(m);
            if (m)
                list.push_back(m);
        }
        return list;
    }

    int insertIssue(int postId, const std::string& name, int status = 2)
    {
        return store().insertOrUpdateWithType(
            ORBDBHelper::kMagazines, ORBDBHelper::kInsert, issue(postId, name, status));
    }

    // Directories and chapters inserted one by one, as the issue reply arrives.
    void insertContentsOneByOne(int magazineRowId, int directories, int chapters)
    {
        for (auto& entry : coretest::contents(directories, chapters)) {
            auto directory = std::make_shared<MagazineDirectoryInfo>(entry.directory);
            directory->magazineId = magazineRowId;
            int directoryRowId
                = store().insertOrUpdateWithType(ORBDBHelper::kMagazineDirectories, ORBDBHelper::kInsert, directory);
            ASSERT_GE(directoryRowId, 1);
            for (auto& chapter : entry.chapters) {
                auto c = std::make_shared<MagazineChapterInfo>(chapter);
                c->directoryId = directoryRowId;
                ASSERT_EQ(store().insertOrUpdateWithType(ORBDBHelper::kMagazineChapters, ORBDBHelper::kInsert, c), 1);
            }
        }
    }

    coretest::TempHome home;
};

TEST_F(MagazineStore, TablesAreCreatedOnDemandWithTheirStatements)
{
    EXPECT_EQ(ORBDBHelper::databasePath(), db());
    platform::LogCapture log;
    EXPECT_EQ(insertIssue(501, "第一期"), 1);
    EXPECT_TRUE(log.contains("create table successed"));
    for (int type : { 1, 3, 4 })
        EXPECT_TRUE(store().tableExists(type));
    EXPECT_TRUE(store().tableExists(9));
    for (int type : { 1, 2, 3, 4 }) {
        auto name = ORBDBHelper::tableName(type);
        ASSERT_TRUE(name);
        // The tool prints each statement as it was run, with a closing ";".
        EXPECT_EQ(sqliteTool(db(), ".schema " + *name), *ORBDBHelper::createStatement(type) + ";\n") << type;
    }
    EXPECT_EQ(sqliteTool(db(), "PRAGMA foreign_key_list(tb_magazine_chapters);"),
        "0|0|tb_magazine_directories|n_directory_id|n_id|NO ACTION|CASCADE|NONE\n");
    EXPECT_EQ(sqliteTool(db(), "PRAGMA foreign_key_list(tb_magazine_directories);"),
        "0|0|tb_magazines|n_magazine_id|n_id|NO ACTION|CASCADE|NONE\n");
    // The magazine store keeps no version key beside the other stores' keys.
    EXPECT_EQ(sqliteTool(db(), "SELECT name FROM sqlite_master WHERE name='tb_info';"), "");
}

TEST_F(MagazineStore, IssuesReadBackWithEveryColumnNewestFirst)
{
    ASSERT_EQ(insertIssue(501, "第一期", 1), 1);
    ASSERT_EQ(insertIssue(502, "第二期", 2), 2);
    EXPECT_EQ(sqliteTool(db(), "SELECT n_post_id, n_account_type, n_user_id FROM tb_magazines ORDER BY n_id;"),
        "501|1|1001\n502|1|1001\n");

    auto list = issues();
    ASSERT_EQ(list.size(), 2u);
    auto expected = issue(502, "第二期", 2);
    const MagazineInfo& m = *list[0];
    EXPECT_EQ(m._id, 2);
    EXPECT_EQ(m.name, expected->name);
    EXPECT_EQ(m.postId, 502);
    EXPECT_EQ(m.category, expected->category);
    EXPECT_EQ(m.coverOriginal, expected->coverOriginal);
    EXPECT_EQ(m.coverThumb, expected->coverThumb);
    EXPECT_EQ(m.postNumber, expected->postNumber);
    EXPECT_EQ(m.postDate, expected->postDate);
    EXPECT_EQ(m.status, 2);
    EXPECT_EQ(m.readNumber, 5020);
    EXPECT_EQ(list[1]->_id, 1);

    // An update by row id, as the list screen marks an issue read.
    auto read = std::make_shared<MagazineInfo>(m);
    read->status = 1;
    read->readNumber = 7;
    EXPECT_EQ(store().insertOrUpdateWithType(ORBDBHelper::kMagazines, ORBDBHelper::kUpdate, read), 1);
    EXPECT_EQ(sqliteTool(db(), "SELECT n_status, n_read_number FROM tb_magazines WHERE n_id=2;"), "1|7\n");
}

TEST_F(MagazineStore, TwoAccountsShareTheFileButNotTheirIssues)
{
    int first = insertIssue(501, "教师账号的期刊");
    ASSERT_EQ(first, 1);
    insertContentsOneByOne(first, 1, 2);

    coretest::signIn(2002, 2, { 1001 });
    EXPECT_TRUE(issues().empty());
    EXPECT_TRUE(store().allChaptersWithMagazineId(first).empty());
    EXPECT_TRUE(store().allChaptersIndex(first).empty());
    EXPECT_TRUE(store().allHeadChapters(first).empty());
    // The same issue listed for the second account is a row of its own.
    int second = insertIssue(501, "家长账号的期刊");
    EXPECT_EQ(second, 2);
    ASSERT_EQ(issues().size(), 1u);
    EXPECT_EQ(issues()[0]->name, "家长账号的期刊");
    // Directories and chapters are listed without an account filter.
    EXPECT_EQ(store().allDBDatas(ORBDBHelper::kMagazineDirectories).size(), 1u);
    EXPECT_EQ(store().allDBDatas(ORBDBHelper::kMagazineChapters).size(), 2u);

    coretest::signIn(1001, 1, { 2002 });
    ASSERT_EQ(issues().size(), 1u);
    EXPECT_EQ(issues()[0]->name, "教师账号的期刊");
    EXPECT_EQ(store().allChaptersIndex(first).size(), 2u);
    EXPECT_EQ(sqliteTool(db(), "SELECT n_user_id, n_account_type, n_name FROM tb_magazines ORDER BY n_id;"),
        "1001|1|教师账号的期刊\n2002|2|家长账号的期刊\n");
}

TEST_F(MagazineStore, ListingAnIssueAgainUpdatesItInsteadOfDuplicatingIt)
{
    int row = insertIssue(501, "第一期", 2);
    ASSERT_EQ(row, 1);
    insertContentsOneByOne(row, 1, 3);
    // The list reply names the issue again, now read and renamed.
    EXPECT_EQ(insertIssue(501, "第一期（修订）", 1), row);
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_magazines;"), 1);
    EXPECT_EQ(sqliteTool(db(), "SELECT n_name, n_status FROM tb_magazines;"), "第一期（修订）|1\n");
    // The issue kept its row, so its table of contents is still there.
    EXPECT_EQ(store().allChaptersIndex(row).size(), 3u);

    // A changed issue (status 3) is replaced the way the reply parser does it:
    // each stored copy is deleted and a copy inserted per deleted one. A file
    // from before holds the issue twice; the replacement leaves one row.
    ASSERT_EQ(insertIssue(502, "第二期", 2), 2);
    sqliteTool(db(),
        "INSERT INTO tb_magazines (n_name, n_post_id, n_status, n_account_type, n_user_id) "
        "VALUES ('旧副本', 501, 2, 1, 1001);");
    auto snapshot = issues();
    ASSERT_EQ(snapshot.size(), 3u);
    int inserted = 0;
    for (const auto& stored : snapshot) {
        if (stored->postId != 501)
            continue;
        ASSERT_TRUE(store().deleteObjectWithType(ORBDBHelper::kMagazines, stored->_id));
        inserted = insertIssue(501, "第一期（新版）", stored->status == 2 ? 2 : 1);
    }
    EXPECT_GE(inserted, 3);
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_magazines WHERE n_post_id=501;"), 1);
    EXPECT_EQ(issues().size(), 2u);
    // The replaced issue took its old contents with it.
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_magazine_directories;"), 0);
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_magazine_chapters;"), 0);
}

TEST_F(MagazineStore, OperationsOutsideTheTablesWriteNothing)
{
    auto chapter = std::make_shared<MagazineChapterInfo>();
    chapter->directoryId = 1;
    EXPECT_EQ(store().insertOrUpdateWithType(ORBDBHelper::kNavigationInfos, ORBDBHelper::kInsert, chapter), 0);
    EXPECT_EQ(store().insertOrUpdateWithType(5, ORBDBHelper::kInsert, chapter), 0);
    EXPECT_EQ(store().insertOrUpdateWithType(ORBDBHelper::kMagazineChapters, 2, chapter), 0);
    // A model of another table's kind is refused.
    EXPECT_EQ(store().insertOrUpdateWithType(ORBDBHelper::kMagazines, ORBDBHelper::kInsert, chapter), 0);
    EXPECT_EQ(store().insertOrUpdateWithType(ORBDBHelper::kMagazines, ORBDBHelper::kInsert, nullptr), 0);
    // Not even the file was made.
    EXPECT_FALSE(platform::FileUtil::exists(db()));
    // A chapter answers 1, not its row id.
    EXPECT_EQ(store().insertOrUpdateWithType(ORBDBHelper::kMagazineChapters, ORBDBHelper::kInsert, chapter), 1);
    EXPECT_EQ(store().insertOrUpdateWithType(ORBDBHelper::kMagazineChapters, ORBDBHelper::kInsert, chapter), 1);
    EXPECT_EQ(toolInt(db(), "SELECT max(n_id) FROM tb_magazine_chapters;"), 2);
    EXPECT_TRUE(store().allDBDatas(ORBDBHelper::kNavigationInfos).empty());
    EXPECT_TRUE(store().allDBDatas(7).empty());
    EXPECT_FALSE(store().deleteObjectWithType(ORBDBHelper::kMagazineChapters, 1));
    EXPECT_FALSE(store().deleteObjectWithType(0, 1));
}

TEST_F(MagazineStore, ConditionsAndFieldsAreBoundAndChecked)
{
    ASSERT_EQ(insertIssue(501, "第一期", 1), 1);
    ASSERT_EQ(insertIssue(502, "O'Brien's issue", 2), 2);
    ASSERT_EQ(insertIssue(503, "第三期", 2), 3);
    using platform::Dictionary;
    auto count
        = [](const Dictionary& conditions) { return store().allDBDatas(ORBDBHelper::kMagazines, conditions).size(); };
    EXPECT_EQ(count(Dictionary { { "n_post_id=", 502 } }), 1u);
    EXPECT_EQ(count(Dictionary { { "n_status =", 2 }, { "n_post_id>", 502 } }), 1u);
    EXPECT_EQ(count(Dictionary { { "n_name=", "O'Brien's issue" } }), 1u);
    EXPECT_EQ(count(Dictionary { { "n_name like", "第%" } }), 2u);
    // Values are data, never SQL.
    EXPECT_EQ(count(Dictionary { { "n_name=", "x' or '1'='1" } }), 0u);
    // Keys that carry more than a column and a comparison are refused.
    EXPECT_EQ(count(Dictionary { { "n_post_id=501 or 1=1 --", 0 } }), 0u);
    EXPECT_EQ(count(Dictionary { { "n_post_id", 501 } }), 0u);
    EXPECT_EQ(count(Dictionary { { "n_name); drop table tb_magazines; --=", 1 } }), 0u);
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_magazines;"), 3);
    EXPECT_EQ(count(Dictionary {}), 3u);

    auto some
        = store().allDBDatas(ORBDBHelper::kMagazines, std::nullopt, std::vector<std::string> { "n_id", "n_name" });
    ASSERT_EQ(some.size(), 3u);
    auto first = some[0].objectAs<MagazineInfo>();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->_id, 3);
    EXPECT_EQ(first->name, "第三期");
    EXPECT_EQ(first->postId, 0);
    EXPECT_TRUE(
        store()
            .allDBDatas(ORBDBHelper::kMagazines, std::nullopt, std::vector<std::string> { "n_id; drop table x" })
            .empty());
}

TEST_F(MagazineStore, DeletingAnIssueCascadesToItsDirectoriesAndChapters)
{
    int doomed = insertIssue(501, "要删除的");
    int kept = insertIssue(502, "保留的");
    insertContentsOneByOne(doomed, 2, 3);
    insertContentsOneByOne(kept, 1, 2);
    ASSERT_EQ(toolInt(db(), "SELECT count(*) FROM tb_magazine_chapters;"), 8);

    EXPECT_TRUE(store().deleteObjectWithType(ORBDBHelper::kMagazines, doomed));
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_magazines;"), 1);
    EXPECT_EQ(
        sqliteTool(db(), "SELECT DISTINCT n_magazine_id FROM tb_magazine_directories;"), std::to_string(kept) + "\n");
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_magazine_chapters;"), 2);
    EXPECT_EQ(sqliteTool(db(), "PRAGMA foreign_key_check;"), "");
    EXPECT_EQ(store().allChaptersIndex(kept).size(), 2u);
}

TEST_F(MagazineStore, ReopeningAnIssueReplacesItsTableOfContents)
{
    int row = insertIssue(501, "第一期");
    EXPECT_TRUE(store().allChaptersWithMagazineId(row).empty());
    ASSERT_TRUE(store().replaceDirectoriesWithMagazineId(row, coretest::contents(1, 3)));
    ASSERT_TRUE(store().replaceDirectoriesWithMagazineId(row, coretest::contents(1, 3)));
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_magazine_directories;"), 1);
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_magazine_chapters;"), 3);

    auto groups = store().allChaptersWithMagazineId(row);
    ASSERT_EQ(groups.size(), 1u);
    auto dir = groups[0]["dir"].objectAs<MagazineDirectoryInfo>();
    ASSERT_TRUE(dir);
    EXPECT_EQ(dir->directoryName, "目录1");
    EXPECT_EQ(dir->directoryLogo, "logo1.png");
    ASSERT_EQ(groups[0]["chapters"].count(), 3u);
    auto chapter = groups[0]["chapters"][2].objectAs<MagazineChapterInfo>();
    ASSERT_TRUE(chapter);
    EXPECT_EQ(chapter->chapterId, 102);
    EXPECT_EQ(chapter->chapterTitle, "第3章");
    EXPECT_EQ(chapter->chapterDefaultImage, "head2.jpg");
    EXPECT_EQ(chapter->chapterCategory, "cat");

    // A new version of the contents: two directories of two chapters.
    ASSERT_TRUE(store().replaceDirectoriesWithMagazineId(row, coretest::contents(2, 2, 7)));
    groups = store().allChaptersWithMagazineId(row);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[1]["dir"].objectAs<MagazineDirectoryInfo>()->directoryName, "目录8");
    EXPECT_EQ(groups[1]["chapters"].count(), 2u);
    EXPECT_EQ(store().allChaptersIndex(row), (std::vector<std::string> { "700", "701", "800", "801" }));
    auto heads = store().allHeadChapters(row);
    ASSERT_EQ(heads.size(), 2u);
    EXPECT_EQ(heads[0]->chapterId, 700);
    EXPECT_EQ(heads[1]->chapterId, 800);
    EXPECT_EQ(sqliteTool(db(), "SELECT DISTINCT n_directory_id FROM tb_magazine_directories ORDER BY 1;"), "7\n8\n");
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_magazine_chapters;"), 4);
}

TEST_F(MagazineStore, AFailedReplacementKeepsThePreviousContents)
{
    int row = insertIssue(501, "第一期");
    ASSERT_TRUE(store().replaceDirectoriesWithMagazineId(row, coretest::contents(2, 3)));
    std::string before = sqliteTool(db(), "SELECT * FROM tb_magazine_directories; SELECT * FROM tb_magazine_chapters;");
    // The file refuses one chapter of the new contents half-way through.
    sqliteTool(db(),
        "CREATE TRIGGER refuse BEFORE INSERT ON tb_magazine_chapters WHEN NEW.n_chapter_id = 801 "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    EXPECT_FALSE(store().replaceDirectoriesWithMagazineId(row, coretest::contents(3, 2, 7)));
    EXPECT_EQ(sqliteTool(db(), "SELECT * FROM tb_magazine_directories; SELECT * FROM tb_magazine_chapters;"), before);

    // An issue that is not stored gets no contents.
    EXPECT_FALSE(store().replaceDirectoriesWithMagazineId(99, coretest::contents(1, 1)));
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_magazine_directories WHERE n_magazine_id=99;"), 0);
}

TEST_F(MagazineStore, MagazineStoreAndBaseStoresShareTheFile)
{
    ASSERT_EQ(insertIssue(501, "第一期"), 1);
    coretest::ProbeStore probe("1.0");
    ASSERT_TRUE(probe.addNames({ "x" }));
    // A version change of another store leaves the magazine tables alone.
    coretest::ProbeStore upgraded("2.0");
    EXPECT_EQ(issues().size(), 1u);
    EXPECT_EQ(sqliteTool(db(), "PRAGMA integrity_check;"), "ok\n");
}

TEST(MagazineAdArchive, ArchivesTheListUnderItsKeys)
{
    auto ad = std::make_shared<core::MagazineAd>();
    ad->adName = "春季招生";
    ad->adUrl = "http://example.test/ad?a=1&b=2";
    ad->adImage = "http://example.test/ad.png";
    auto encoded = ad->encodeWithCoder();
    EXPECT_EQ(encoded.keys(), (std::vector<std::string> { "name", "image", "url" }));

    auto data = core::MagazineAd::archiveList({ ad, ad });
    auto list = core::MagazineAd::unarchiveList(data);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 2u);
    EXPECT_EQ((*list)[1]->adName, "春季招生");
    EXPECT_EQ((*list)[1]->adUrl, "http://example.test/ad?a=1&b=2");
    EXPECT_EQ((*list)[1]->adImage, "http://example.test/ad.png");

    EXPECT_FALSE(core::MagazineAd::unarchiveList(platform::Bytes { 'n', 'o', 'p', 'e' }));
    EXPECT_FALSE(core::MagazineAd::initWithCoder(Value("not an archive")));
    auto partial = core::MagazineAd::initWithCoder(platform::Dictionary { { "name", 5 }, { "url", "u" } });
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->adName, "");
    EXPECT_EQ(partial->adUrl, "u");
}

// The magazines' statements tell the store file's care of damage too: a read
// that meets a damaged page has the file set aside, as it was, for a fresh
// store as its connection closes, and the next issue listed is kept.
TEST_F(MagazineStore, DamageMetByAMagazineReadIsHandledAsItsConnectionCloses)
{
    ASSERT_TRUE(store().tableExists(ORBDBHelper::kMagazines));
    for (int id = 1; id <= 3; ++id)
        ASSERT_GE(insertIssue(id, "第" + std::to_string(id) + "期"), 1);
    ASSERT_EQ(issues().size(), 3u);
    const int page = toolInt(db(), "SELECT rootpage FROM sqlite_master WHERE name='tb_magazines';");
    const int size = toolInt(db(), "PRAGMA page_size;");
    {
        std::fstream file(db(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(std::streamoff(page - 1) * size);
        file.write(std::string(static_cast<std::size_t>(size), '\0').data(), size);
        ASSERT_TRUE(file.good());
    }
    const auto damaged = platform::FileUtil::read(db());
    platform::LogCapture log;
    EXPECT_TRUE(issues().empty());
    ASSERT_GE(insertIssue(4, "第4期"), 1);
    const auto listed = issues();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0]->name, "第4期");
    EXPECT_EQ(sqliteTool(db(), "PRAGMA integrity_check;"), "ok\n");
    std::vector<std::string> aside;
    for (const auto& name : platform::FileUtil::list(home.documents()).value_or(std::vector<std::string> {})) {
        if (name.rfind("_cache.db.corrupt-", 0) == 0)
            aside.push_back(name);
    }
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(platform::FileUtil::read(home.documents() + "/" + aside[0]), damaged);
    std::string lines;
    for (const auto& line : log.lines())
        lines += line;
    EXPECT_NE(lines.find("met by a statement"), std::string::npos) << lines;
}

} // namespace
