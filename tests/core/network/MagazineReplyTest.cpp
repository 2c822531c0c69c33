// The magazine list and issue replies keep the magazine store and the
// per-account magazine settings up to date; the file is read back with the
// sqlite3 program.
#include "core/store/MagazineAd.h"
#include "platform/os/PropertyList.h"
#include "core/store/MagazineInfo.h"
#include "core/util/ORBHelper.h"
#include "platform/os/PlatformJson.h"
#include "tests/core/network/DispatcherFixture.h"

using namespace dispatchertest;
using core::ORBHelper;
using platform::Array;
using platform::Dictionary;
using platform::Value;
using server::ScriptedReply;

namespace {

Dictionary issue(int postId, int status, const std::string& name, int readNumber = 0)
{
    return { { "name", name }, { "postId", postId }, { "category", "家庭教育" }, { "coverOriginal", "http://c/o.png" },
        { "coverThumb", "http://c/t.png" }, { "postNumber", postId }, { "postDate", "2024-05-01" },
        { "status", status }, { "readNumber", readNumber } };
}

ScriptedReply listReply(Array items, Value updateTime = "2024-05-06 10:00:00", Value readItems = {}, Value adItems = {})
{
    Dictionary reply { { "resultState", 1 }, { "resultMsg", "" }, { "items", std::move(items) } };
    if (!updateTime.isNull())
        reply.set("updateTime", std::move(updateTime));
    if (!readItems.isNull())
        reply.set("readItems", std::move(readItems));
    if (!adItems.isNull())
        reply.set("adItems", std::move(adItems));
    return ScriptedReply::custom(200, platform::PlatformJson::write(Value(std::move(reply))).value_or(""));
}

std::vector<std::shared_ptr<core::MagazineInfo>> magazinesIn(const Outcome& outcome)
{
    std::vector<std::shared_ptr<core::MagazineInfo>> list;
    EXPECT_TRUE(outcome.success && outcome.success->isArray()) << outcome.failure.value_or("not a list");
    if (outcome.success && outcome.success->isArray()) {
        for (const Value& element : *outcome.success->asArray()) {
            auto magazine = element.objectAs<core::MagazineInfo>();
            EXPECT_TRUE(magazine);
            if (magazine)
                list.push_back(magazine);
        }
    }
    return list;
}

class MagazineReplies : public DispatcherTest {
protected:
    Outcome list(ScriptedReply reply)
    {
        standin().script().forCommand("50001", reply);
        return post(21, Dictionary { { "updateTime", "" } });
    }
    // "postId|status|readNumber" rows of the signed-in teacher, by post id.
    std::string storedIssues()
    {
        return sqlite("SELECT n_post_id || '|' || n_status || '|' || n_read_number FROM tb_magazines "
                      "WHERE n_user_id = 2001 ORDER BY n_post_id;");
    }
};

TEST_F(MagazineReplies, TheListFillsTheStoreAndTheSettingsWithoutDuplicates)
{
    signIn();
    Outcome first = post(21, Dictionary { { "updateTime", "" } });
    auto magazines = magazinesIn(first);
    ASSERT_FALSE(magazines.empty());
    EXPECT_EQ(sqlite("SELECT COUNT(*) FROM tb_magazines;"), std::to_string(magazines.size()));
    for (std::size_t i = 1; i < magazines.size(); ++i)
        EXPECT_GT(magazines[i - 1]->_id, magazines[i]->_id) << "newest row first";
    EXPECT_EQ(sqlite("SELECT DISTINCT n_account_type || '/' || n_user_id FROM tb_magazines;"), "1/2001");

    Value updateTime = ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime);
    ASSERT_TRUE(updateTime.isString());
    EXPECT_FALSE(updateTime.asString()->empty());
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineHasAds), Value(true));
    Value archive = ORBHelper::userDefaultForKey(ORBHelper::kMagazineAds);
    ASSERT_TRUE(archive.isData());
    auto ads = core::MagazineAd::unarchiveList(*archive.asData());
    ASSERT_TRUE(ads && !ads->empty());
    EXPECT_FALSE(ads->front()->adImage.empty());
    EXPECT_FALSE(ads->front()->adUrl.empty());

    // Listing again, as the list screen does on every visit, keeps one row per issue.
    for (int again = 0; again < 2; ++again)
        EXPECT_EQ(magazinesIn(post(21, Dictionary { { "updateTime", "" } })).size(), magazines.size());
    EXPECT_EQ(sqlite("SELECT COUNT(*) FROM tb_magazines;"), std::to_string(magazines.size()));
    EXPECT_EQ(sqlite("SELECT COUNT(*) - COUNT(DISTINCT n_post_id) FROM tb_magazines;"), "0");
}

TEST_F(MagazineReplies, StatusesReplaceWithdrawAndAddIssues)
{
    signIn();
    list(listReply({ issue(7, 2, "第七期"), issue(8, 1, "第八期"), issue(10, 2, "第十期") }, "T1"));
    EXPECT_EQ(storedIssues(), "7|2|0\n8|1|0\n10|2|0");
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime), Value("T1"));
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineHasAds), Value(false)) << "no adItems";
    EXPECT_TRUE(ORBHelper::userDefaultForKey(ORBHelper::kMagazineAds).isNull());

    // Changed issues (3) replace the stored copy and keep its new or read mark;
    // a changed issue not stored yet is added as it comes; 0 withdraws one.
    Outcome changed = list(listReply(
        { issue(7, 3, "第七期（修订）"), issue(8, 3, "第八期（修订）"), issue(9, 3, "第九期"), issue(10, 0, "") },
        "T2"));
    EXPECT_EQ(storedIssues(), "7|2|0\n8|1|0\n9|3|0");
    EXPECT_EQ(sqlite("SELECT n_name FROM tb_magazines WHERE n_post_id = 7;"), "第七期（修订）");
    EXPECT_EQ(magazinesIn(changed).size(), 3u);
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime), Value("T2"));

    // The same issue twice in one reply, and read counts for stored and unknown issues.
    list(listReply({ issue(7, 1, "第七期"), issue(7, 1, "第七期") }, "T3",
        Array { Dictionary { { "postId", 7 }, { "readNumber", 99 } }, "junk",
            Dictionary { { "postId", "9" }, { "readNumber", "5" } },
            Dictionary { { "postId", 42 }, { "readNumber", 1 } } }));
    EXPECT_EQ(storedIssues(), "7|1|99\n8|1|0\n9|3|5");

    // An empty list changes nothing, not even the update time.
    list(listReply({}, "T4"));
    EXPECT_EQ(storedIssues(), "7|1|99\n8|1|0\n9|3|5");
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime), Value("T3"));

    // Items and lists of the wrong shape are skipped; the list was not
    // empty, so the reply's time is kept as it came.
    list(listReply({ "junk", Value(), Array { 1 } }, Value(5), Value("none"), Value(Dictionary { { "adName", "x" } })));
    EXPECT_EQ(storedIssues(), "7|1|99\n8|1|0\n9|3|5");
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime), Value(5));
}

TEST_F(MagazineReplies, TheUpdateTimeIsKeptWhateverItsKindAndClearedWhenAbsent)
{
    signIn();
    struct Row {
        Value updateTime; // null: the reply has no "updateTime"
        Value stored; // what the setting reads afterwards
    };
    for (const Row& row : std::vector<Row> { { Value("2024-05-06 10:00:00"), Value("2024-05-06 10:00:00") },
             { Value(1733212800), Value(1733212800) }, { Value(), Value("") },
             { Value("2024-05-07 08:00:00"), Value("2024-05-07 08:00:00") } }) {
        SCOPED_TRACE(row.updateTime.description());
        list(listReply({ issue(7, 1, "第七期") }, row.updateTime));
        EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime), row.stored);
    }
    // A reply whose time is the number true counts as the number 1.
    standin().script().forCommand("50001",
        ScriptedReply::custom(200, R"({"resultState":true,"items":[{"postId":7,"status":1}],"updateTime":true})"));
    ASSERT_TRUE(post(21, Dictionary { { "updateTime", "" } }).success);
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime), Value(1));
}

TEST_F(MagazineReplies, AdvertsAreStoredAndClearedPerAccount)
{
    auto session = signIn();
    list(listReply({ issue(7, 2, "第七期") }, "T1", {},
        Array {
            Dictionary { { "adName", "夏令营" }, { "adImage", "http://a/1.png" }, { "adUrl", "http://a/1.html" } } }));
    auto ads = core::MagazineAd::unarchiveList(*ORBHelper::userDefaultForKey(ORBHelper::kMagazineAds).asData());
    ASSERT_TRUE(ads);
    ASSERT_EQ(ads->size(), 1u);
    EXPECT_EQ(ads->front()->adName, "夏令营");
    EXPECT_EQ(ads->front()->adImage, "http://a/1.png");
    EXPECT_EQ(ads->front()->adUrl, "http://a/1.html");
    EXPECT_EQ(ORBHelper::userDefaultKey(ORBHelper::kMagazineAds), "user_default_2001_6");

    list(listReply({ issue(7, 2, "第七期") }, "T2", {}, Array {}));
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineHasAds), Value(false));
    EXPECT_TRUE(ORBHelper::userDefaultForKey(ORBHelper::kMagazineAds).isNull());
}

TEST_F(MagazineReplies, ReopeningAnIssueReplacesItsTableOfContents)
{
    signIn();
    auto magazines = magazinesIn(post(21, Dictionary { { "updateTime", "" } }));
    ASSERT_FALSE(magazines.empty());
    auto newest = magazines.front();

    for (int open = 0; open < 3; ++open) {
        Outcome outcome = post(22, Dictionary { { "postId", newest->postId }, { "magazineId", newest->_id } });
        ASSERT_TRUE(outcome.success) << outcome.failure.value_or("");
        EXPECT_TRUE(outcome.success->isNull());
    }
    std::string directories = sqlite("SELECT COUNT(*) FROM tb_magazine_directories;");
    std::string chapters = sqlite("SELECT COUNT(*) FROM tb_magazine_chapters;");
    EXPECT_NE(directories, "0");
    EXPECT_NE(chapters, "0");
    EXPECT_EQ(sqlite("SELECT COUNT(*) - COUNT(DISTINCT n_directory_id) FROM tb_magazine_directories;"), "0");
    EXPECT_EQ(sqlite("SELECT COUNT(*) - COUNT(DISTINCT n_chapter_id) FROM tb_magazine_chapters;"), "0");
    EXPECT_EQ(sqlite("SELECT DISTINCT n_magazine_id FROM tb_magazine_directories;"), std::to_string(newest->_id));
    EXPECT_EQ(sqlite("PRAGMA foreign_key_check;"), "");

    // Head chapters are those the reply names, compared as numbers.
    Dictionary reply { { "resultState", 1 }, { "headChapterIds", "12, 14,x" },
        { "items",
            Array { Dictionary { { "directoryId", 1 }, { "directoryName", "卷首" }, { "directoryLogo", "l1" },
                        { "chapters",
                            Array { Dictionary { { "chapterId", 11 }, { "category", "c" }, { "title", "甲" },
                                        { "headImage", "h" } },
                                Dictionary { { "chapterId", "12" }, { "title", "乙" } } } } },
                "junk", Dictionary { { "directoryId", 2 }, { "directoryName", "正文" }, { "chapters", "none" } },
                Dictionary { { "directoryId", 3 }, { "directoryName", "专栏" },
                    { "chapters", Array { Dictionary { { "chapterId", 14 }, { "title", "丙" } }, 5 } } } } } };
    standin().script().forCommand(
        "50002", ScriptedReply::custom(200, platform::PlatformJson::write(Value(reply)).value_or("")));
    ASSERT_TRUE(post(22, Dictionary { { "postId", newest->postId }, { "magazineId", newest->_id } }).success);
    EXPECT_EQ(sqlite("SELECT n_directory_id || ':' || n_directory_name FROM tb_magazine_directories ORDER BY n_id;"),
        "1:卷首\n2:正文\n3:专栏");
    EXPECT_EQ(sqlite("SELECT n_chapter_id || ':' || n_chapter_title || ':' || n_default FROM tb_magazine_chapters "
                     "ORDER BY n_id;"),
        "11:甲:0\n12:乙:1\n14:丙:1");

    // A changed issue replaces the stored one, and its old contents go with it.
    list(listReply({ issue(newest->postId, 3, "改版") }, "T9"));
    EXPECT_EQ(sqlite("SELECT COUNT(*) FROM tb_magazine_directories;"), "0");
    EXPECT_EQ(sqlite("SELECT COUNT(*) FROM tb_magazine_chapters;"), "0");
}

TEST_F(MagazineReplies, EachAccountKeepsItsOwnIssuesAndSettings)
{
    auto session = signIn(kTwoChildrenLogin, kParentPassword, 0);
    ASSERT_TRUE(session);
    auto first = (*session->accounts())[0];
    auto second = (*session->accounts())[1];
    list(listReply({ issue(7, 2, "第七期") }, "A1"));
    session->setCurrent(second);
    Outcome other = list(listReply({ issue(8, 2, "第八期"), issue(9, 2, "第九期") }, "B1"));
    EXPECT_EQ(magazinesIn(other).size(), 2u);
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime), Value("B1"));
    session->setCurrent(first);
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime), Value("A1"));
    EXPECT_EQ(sqlite("SELECT n_user_id || ':' || n_post_id FROM tb_magazines ORDER BY n_post_id;"),
        std::to_string(first->uid) + ":7\n" + std::to_string(second->uid) + ":8\n" + std::to_string(second->uid)
            + ":9");
}

} // namespace

// One advertisement with a control character in its name (a property list
// cannot hold it) loses that character alone: every advertisement is still
// shown, the flag and the archive agree.
TEST_F(MagazineReplies, AnAdvertisementTextWithAControlCharacterKeepsEveryAdvertisement)
{
    signIn();
    Array ads {
        Dictionary { { "adName", "春季\x01招生" }, { "adImage", "http://a/1.png" }, { "adUrl", "http://a/1" } },
        Dictionary { { "adName", "暑期班" }, { "adImage", "http://a/2\x1F.png" }, { "adUrl", "http://a/2" } },
    };
    list(listReply({ issue(7, 2, "第七期") }, "T1", Value(), Value(std::move(ads))));
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineHasAds), Value(true));
    Value archive = ORBHelper::userDefaultForKey(ORBHelper::kMagazineAds);
    ASSERT_TRUE(archive.isData());
    auto kept = core::MagazineAd::unarchiveList(*archive.asData());
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->size(), 2u);
    EXPECT_EQ((*kept)[0]->adName, "春季招生");
    EXPECT_EQ((*kept)[0]->adUrl, "http://a/1");
    EXPECT_EQ((*kept)[1]->adName, "暑期班");
    EXPECT_EQ((*kept)[1]->adImage, "http://a/2.png");
    // What the archive can hold is written as it is.
    EXPECT_EQ(platform::PropertyList::holdableText("a\tb\nc\r\xEF\xBF\xBD\xF0\x9F\x98\x80"),
        "a\tb\nc\r\xEF\xBF\xBD\xF0\x9F\x98\x80");
    EXPECT_EQ(platform::PropertyList::holdableText("x\xFFy\xEF\xBF\xBEz\xC0\x80"), "xyz");
}
