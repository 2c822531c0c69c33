#include "core/store/ContactsFactory.h"
#include "tests/core/util/CoreTestSupport.h"

#include "platform/os/Log.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace core;
using coretest::sqliteTool;
using coretest::toolInt;

namespace {

std::shared_ptr<ContactInfo> person(int uid, std::string name, std::string phone = {}, int type = 1)
{
    auto c = std::make_shared<ContactInfo>();
    c->uid = uid;
    c->name = std::move(name);
    c->phone = std::move(phone);
    c->type = type;
    c->thumbAvatar = "http://h/t" + std::to_string(uid) + ".jpg";
    c->avatar = "http://h/a" + std::to_string(uid) + ".jpg";
    c->isCustomer = true;
    return c;
}

std::shared_ptr<GroupInfo> group(std::string uid, std::string name, int type = 1)
{
    auto g = std::make_shared<GroupInfo>();
    g->uid = std::move(uid);
    g->name = std::move(name);
    g->type = type;
    return g;
}

std::vector<std::string> names(const ContactList& list)
{
    std::vector<std::string> out;
    for (const auto& c : list)
        out.push_back(c->name);
    return out;
}

std::vector<std::string> groupSummary(const GroupList& list)
{
    std::vector<std::string> out;
    for (const auto& g : list)
        out.push_back(g->uid + ":" + g->name + ":" + std::to_string(g->totalCount));
    std::sort(out.begin(), out.end());
    return out;
}

class ContactsStore : public ::testing::Test {
protected:
    ContactsStore() { coretest::signIn(100); }
    ~ContactsStore() override { coretest::signOut(); }

    std::string db() const { return home.documents() + "/_cache.db"; }
    std::string tool(const std::string& sql) const { return sqliteTool(db(), sql); }

    coretest::TempHome home;
};

TEST_F(ContactsStore, TwoAccountsShareOneFileAndAGroupIdWithoutMixing)
{
    ContactsFactory store;
    EXPECT_EQ(tool("SELECT value FROM tb_info WHERE key='contacts_version';"), "1.2.0\n");
    // The live download: each group's contacts first, then the groups. The
    // totals are what is stored all the same.
    ASSERT_TRUE(store.setContacts({ person(1, "张三", "138"), person(2, "李四") }, "g1"));
    ASSERT_TRUE(store.setContacts({ person(3, "王五") }, "g2"));
    ASSERT_TRUE(store.setGroups({ group("g1", "一班"), group("g2", "教师组", 2) }));
    EXPECT_EQ(groupSummary(*store.getGroups()), (std::vector<std::string> { "g1:一班:2", "g2:教师组:1" }));
    EXPECT_EQ(groupSummary(*store.getGroups(2)), (std::vector<std::string> { "g2:教师组:1" }));

    // The second account of the same login has a group of the same id.
    coretest::signIn(200);
    ContactsFactory second;
    EXPECT_TRUE(second.getGroups()->empty());
    ASSERT_TRUE(second.setGroups({ group("g1", "二班") }));
    ASSERT_TRUE(second.setContacts({ person(1, "张三", "138"), person(4, "赵六") }, "g1"));
    EXPECT_EQ(groupSummary(*second.getGroups()), (std::vector<std::string> { "g1:二班:2" }));
    auto members = second.getContactsWithGroup("g1");
    ASSERT_TRUE(members);
    EXPECT_EQ(members->size(), 2u);
    for (const auto& c : *members)
        EXPECT_EQ(c->groupName, "二班") << c->name;

    EXPECT_EQ(tool("SELECT account_uid, uid, total_count FROM tb_contact_group ORDER BY account_uid, uid;"),
        "100|g1|2\n100|g2|1\n200|g1|2\n");
    EXPECT_EQ(tool("SELECT account_uid, count(*) FROM tb_contact GROUP BY account_uid;"), "100|3\n200|2\n");

    coretest::signIn(100);
    auto first = store.getContactsWithGroup("g1");
    ASSERT_TRUE(first);
    EXPECT_EQ(names(*first), (std::vector<std::string> { "张三", "李四" }));
    for (const auto& c : *first)
        EXPECT_EQ(c->groupName, "一班");
    // The keyword search joins on the account too: one row per person.
    auto found = store.getContactsWithKeyword("张");
    ASSERT_TRUE(found);
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ((*found)[0]->groupName, "一班");

    // A group that is no longer listed goes with its contacts, for this
    // account only.
    ASSERT_TRUE(store.setGroups({ group("g2", "教师组", 2) }));
    EXPECT_EQ(tool("SELECT account_uid, uid FROM tb_contact ORDER BY account_uid, uid;"), "100|3\n200|1\n200|4\n");
    ASSERT_TRUE(store.deleteCurrentAccountContacts());
    EXPECT_EQ(
        tool("SELECT DISTINCT account_uid FROM tb_contact UNION SELECT DISTINCT account_uid FROM tb_contact_group;"),
        "200\n");
}

TEST_F(ContactsStore, KeywordSearchMatchesSyllablesAndListsEachPersonOnce)
{
    ContactsFactory store;
    auto remarked = person(5, "O'Brien \"Bob\"");
    remarked->remarks = "数学 & 科学";
    // The same person in two groups, without a phone.
    ASSERT_TRUE(store.setContacts(
        { person(1, "张三", "13800001111"), person(2, "张小三"), person(3, "李四"), person(6, "100%_达标") }, "g1"));
    ASSERT_TRUE(store.setContacts({ person(2, "张小三"), remarked }, "g2"));
    ASSERT_TRUE(store.setGroups({ group("g1", "一班"), group("g2", "二班") }));
    // Pinyin and its first letter were made from the names.
    EXPECT_EQ(tool("SELECT DISTINCT name, pinyin, first_c FROM tb_contact WHERE uid IN (1,2) ORDER BY uid;"),
        "张三|ZHANGSAN|Z\n张小三|ZHANGXIAOSAN|Z\n");

    struct Row {
        const char* keyword;
        std::vector<std::string> names;
    };
    for (const Row& row : std::initializer_list<Row> {
             { "zhang san", { "张三", "张小三" } }, // two syllables, anything between
             { "ZHANGS", { "张三" } },
             { "zhang\xE2\x80\x86xiao", { "张小三" } }, // the six-per-em space of the keyboard
             { "小三", { "张小三" } },
             { "0000111", { "张三" } },
             { "o'b", { "O'Brien \"Bob\"" } },
             { "\"Bob\"", { "O'Brien \"Bob\"" } },
             { "& 科", { "O'Brien \"Bob\"" } },
             { "%_", { "100%_达标" } }, // typed wildcards are plain characters
             { "_", { "100%_达标" } },
             { "wangwu", {} },
             { "'; DROP TABLE tb_contact; --", {} },
         }) {
        auto found = store.getContactsWithKeyword(row.keyword);
        ASSERT_TRUE(found) << row.keyword;
        auto got = names(*found);
        EXPECT_EQ(got, row.names) << row.keyword;
    }
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_contact;"), 6);

    auto typed = store.getContactsWithKeyword("zhang", 2);
    ASSERT_TRUE(typed);
    EXPECT_TRUE(typed->empty());
    EXPECT_EQ(store.getContactsWithGroup("g1", 1)->size(), 4u);
    EXPECT_TRUE(store.getContactsWithGroup("g1", 2)->empty());
}

TEST_F(ContactsStore, GroupIdsAndTextsAreBoundAsTheyCome)
{
    ContactsFactory store;
    const std::string odd = "g'1\"; DELETE FROM tb_contact; --";
    auto full = person(9, "陈老师", "020-1234");
    full->remarks = "年级组长";
    full->ctdUrl = "http://h/dial?a=1&b=2";
    full->isCustomer = false;
    ASSERT_TRUE(store.setContacts({ full }, odd));
    ASSERT_TRUE(store.setGroups({ group(odd, "名'字") }));
    EXPECT_EQ(
        tool("SELECT group_uid, total_count FROM tb_contact AS c JOIN tb_contact_group AS g ON g.uid=c.group_uid;"),
        odd + "|1\n");

    ContactInfo lookedUp;
    lookedUp.uid = 9;
    lookedUp.type = 1;
    store.getContact(lookedUp);
    EXPECT_EQ(lookedUp.groupUid, odd);
    EXPECT_EQ(lookedUp.remarks, "年级组长");
    EXPECT_EQ(lookedUp.phone, "020-1234");
    EXPECT_EQ(lookedUp.ctdUrl, "http://h/dial?a=1&b=2");
    EXPECT_FALSE(lookedUp.isCustomer);

    ContactInfo unknown;
    unknown.uid = 9;
    unknown.type = 3;
    unknown.remarks = "kept";
    store.getContact(unknown);
    EXPECT_EQ(unknown.remarks, "kept");
}

// A download replaces the account's whole book in one write: people of
// groups no longer listed go, a group listed twice keeps its later list,
// every group counts what is stored under it, and another account's book
// stays as it was. A group's people are found through an index, in the book
// written in place of the one before as in a store kept from before it: the
// screen reads the book a group at a time, and each read went over the whole
// table.
TEST_F(ContactsStore, AWholeBookReplacesTheAccountsBookAndCountsEachGroup)
{
    auto groupReadFindsItsRows = [&] {
        return tool("EXPLAIN QUERY PLAN SELECT name FROM tb_contact WHERE account_uid=100 AND group_uid='g2';")
                   .find("(account_uid=? AND group_uid=?)")
            != std::string::npos;
    };
    ContactsFactory store;
    EXPECT_TRUE(groupReadFindsItsRows());
    ASSERT_TRUE(ContactsFactory::storeAddressBook(7, { group("g1", "一班") }, { { person(9, "周九") } }));
    ASSERT_TRUE(store.setAddressBook(
        { group("g1", "一班"), group("g2", "二班") }, { { person(1, "张三"), person(2, "李四") }, { person(3, "王五") } }));
    EXPECT_EQ(groupSummary(*store.getGroups()), (std::vector<std::string> { "g1:一班:2", "g2:二班:1" }));
    EXPECT_TRUE(groupReadFindsItsRows());
    ASSERT_TRUE(store.setAddressBook({ group("g2", "二班"), nullptr, group("g3", "三班"), group("g2", "二班") },
        { { person(3, "王五") }, { person(8, "无组") }, { person(4, "赵六") }, { person(5, "钱七"), person(6, "孙八") } }));
    EXPECT_EQ(groupSummary(*store.getGroups()), (std::vector<std::string> { "g2:二班:2", "g3:三班:1" }));
    auto second = names(*store.getContactsWithGroup("g2"));
    std::sort(second.begin(), second.end());
    EXPECT_EQ(second, (std::vector<std::string> { "孙八", "钱七" }));
    EXPECT_TRUE(store.getContactsWithGroup("g1")->empty());
    EXPECT_EQ(tool("SELECT COUNT(*) FROM tb_contact WHERE account_uid=100;"), "3\n");
    EXPECT_EQ(tool("SELECT name FROM tb_contact WHERE account_uid=7;"), "周九\n");
    EXPECT_EQ(tool("SELECT total_count FROM tb_contact_group WHERE account_uid=7;"), "1\n");
    EXPECT_TRUE(groupReadFindsItsRows());
    // A store from before the index gets it when it is made.
    std::string indexes
        = tool("SELECT name FROM sqlite_master WHERE type='index' AND tbl_name='tb_contact' AND sql NOT NULL;");
    for (std::size_t end = indexes.find('\n'); end != std::string::npos; end = indexes.find('\n')) {
        tool("DROP INDEX `" + indexes.substr(0, end) + "`;");
        indexes.erase(0, end + 1);
    }
    ASSERT_FALSE(groupReadFindsItsRows());
    ContactsFactory kept;
    EXPECT_TRUE(groupReadFindsItsRows());
    EXPECT_EQ(names(*kept.getContactsWithGroup("g3")), (std::vector<std::string> { "赵六" }));
}

TEST_F(ContactsStore, AFailedBatchLeavesTheGroupAsItWas)
{
    ContactsFactory store;
    ASSERT_TRUE(store.setGroups({ group("g1", "一班"), group("g2", "二班") }));
    ASSERT_TRUE(store.setContacts({ person(1, "张三"), person(2, "李四") }, "g1"));
    const std::string before = tool(".dump");
    tool(
        "CREATE TRIGGER refuse BEFORE INSERT ON tb_contact WHEN NEW.uid=99 BEGIN SELECT RAISE(ABORT, 'refused'); END;");
    const std::string withTrigger = tool(".dump");
    {
        platform::LogCapture log;
        // The group's contacts are deleted first and the third row fails:
        // nothing of it may stay.
        EXPECT_FALSE(store.setContacts({ person(3, "王五"), person(99, "坏") }, "g1"));
        EXPECT_EQ(tool(".dump"), withTrigger);
        // The same for the groups, which delete the account's groups first.
        tool("CREATE TRIGGER refuse_group BEFORE INSERT ON tb_contact_group WHEN NEW.uid='bad' BEGIN SELECT "
             "RAISE(ABORT, 'refused'); END;");
        const std::string withBoth = tool(".dump");
        EXPECT_FALSE(store.setGroups({ group("g1", "一班"), group("bad", "坏") }));
        EXPECT_EQ(tool(".dump"), withBoth);
        tool("DROP TRIGGER refuse_group;");
    }
    tool("DROP TRIGGER refuse;");
    EXPECT_EQ(tool(".dump"), before);
    EXPECT_EQ(names(*store.getContactsWithGroup("g1")), (std::vector<std::string> { "张三", "李四" }));
}

TEST_F(ContactsStore, TheSectionLetterIsTheWholeFirstCharacterOfThePinyin)
{
    // Names as the importer gets them: a Chinese name, accented Latin names,
    // a name that starts with an emoji, an empty one and one whose bytes are
    // not text at all.
    const std::vector<std::pair<std::string, std::string>> rows = {
        { "张三", "Z" },
        { "\xC3\x89mile", "\xC3\x89" }, // "Émile"
        { "\xC3\x96l\xC3\xA7" "er", "\xC3\x96" }, // "Ölçer"
        { "\xF0\x9F\x98\x80x", "X" }, // the converter keeps no emoji
        { "", "#" },
        { "\xC3", "#" },
    };
    ContactList contacts;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto c = person(static_cast<int>(i + 1), rows[i].first);
        c->updatePinyin();
        contacts.push_back(c);
    }
    ContactsFactory store;
    ASSERT_TRUE(store.setGroups({ group("g1", "一班") }));
    ASSERT_TRUE(store.setContacts(contacts, "g1"));

    // Read back by the sqlite3 tool: every stored letter is whole text.
    EXPECT_EQ(tool("SELECT uid, hex(first_c) FROM tb_contact ORDER BY uid;"),
        "1|5A\n2|C389\n3|C396\n4|58\n5|23\n6|23\n");
    auto members = store.getContactsWithGroup("g1");
    ASSERT_TRUE(members);
    ASSERT_EQ(members->size(), rows.size());
    for (const auto& c : *members)
        EXPECT_EQ(c->firstC, rows[static_cast<std::size_t>(c->uid - 1)].second) << c->name;
}

} // namespace
