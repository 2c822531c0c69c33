#include "core/store/MessageFactory.h"
#include "tests/core/util/CoreTestSupport.h"

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"

#include <gtest/gtest.h>

using namespace core;
using coretest::sqliteTool;
using coretest::toolInt;

namespace {

// 2026-03-01 08:00:00 in Shanghai.
constexpr double kMorning = 1772323200;

std::shared_ptr<ContactInfo> partner(int uid, std::string name = {})
{
    auto c = std::make_shared<ContactInfo>();
    c->uid = uid;
    c->name = name.empty() ? "家长" + std::to_string(uid) : name;
    c->thumbAvatar = "http://h/t" + std::to_string(uid) + ".jpg";
    c->avatar = "http://h/a" + std::to_string(uid) + ".jpg";
    c->type = 2;
    return c;
}

std::shared_ptr<MessageInfo> message(
    std::string uid, std::shared_ptr<ContactInfo> contact, int minute, std::string content = "hello", bool sent = false)
{
    auto m = std::make_shared<MessageInfo>();
    m->uid = std::move(uid);
    m->contact = std::move(contact);
    m->content = std::move(content);
    m->to = sent;
    m->time = platform::Date::fromSeconds(kMorning + minute * 60);
    m->createTime = m->time;
    return m;
}

std::shared_ptr<MessageInfo> groupRecord(std::string uid, int minute, int unread, int read, int smsFailed, int smsOk)
{
    auto m = message(std::move(uid), nullptr, minute, "明天春游", true);
    m->group = true;
    m->msgUnReadCount = unread;
    m->msgReadCount = read;
    m->smsUnSuccessCount = smsFailed;
    m->smsSuccessCount = smsOk;
    return m;
}

std::vector<std::string> uids(const MessageList& list)
{
    std::vector<std::string> out;
    for (const auto& m : list)
        out.push_back(m->uid);
    return out;
}

class MessageStore : public ::testing::Test {
protected:
    MessageStore() { coretest::signIn(100); }
    ~MessageStore() override { coretest::signOut(); }

    std::string db() const { return home.documents() + "/_cache.db"; }
    std::string tool(const std::string& sql) const { return sqliteTool(db(), sql); }

    coretest::TempHome home;
    coretest::ScopedTimeZone zone { "Asia/Shanghai" };
};

TEST_F(MessageStore, MessagesAreStoredPerAccountAndReadBack)
{
    MessageFactory store;
    EXPECT_EQ(tool("SELECT value FROM tb_info WHERE key='message_version';"), "1.0.3\n");
    EXPECT_EQ(tool(".schema tb_message_contact"),
        "CREATE TABLE `tb_message_contact` (                `uid` integer NOT NULL,                `account_uid` "
        "integer NOT NULL,                `name` text(10,0) NOT NULL,                `remarks` text(20,0),           "
        "     `thumb_avatar` text(128,0) NOT NULL,                `avatar` text(128,0) NOT NULL,                "
        "`phone` text(20,0),                `type` integer NOT NULL,                `talking` integer NOT NULL "
        "DEFAULT 1,                `badge` integer NOT NULL DEFAULT 0,                `last_time` text(19,0),      "
        "          PRIMARY KEY(`uid`,`account_uid`)                );\n");

    // Texts that would break a statement built by formatting are only ever bound.
    const std::string tricky = "it's \"quoted\" & a=b #1; DROP TABLE tb_message; -- 开会 😀";
    auto teacher = partner(7, "王'老师");
    auto first = message("a1", teacher, 0, tricky);
    first->photos = R"([{"original":"http://h/o.jpg","thumb":"http://h/t.jpg"}])";
    first->sounds = R"([{"url":"http://h/v.amr","seconds":4}])";
    ASSERT_TRUE(store.setMessage({ first, message("a2", teacher, 5, "第二条"), message("b1", partner(8), 3),
        message("s1", teacher, 6, "我发的", true) }));

    EXPECT_EQ(tool("SELECT content FROM tb_message WHERE uid='a1';"), tricky + "\n");
    EXPECT_EQ(
        tool("SELECT uid, account_uid, target_uid, \"to\", state, time, create_time FROM tb_message ORDER BY uid;"),
        "a1|100|7|0|1|2026-03-01 08:00:00|2026-03-01 08:00:00\n"
        "a2|100|7|0|1|2026-03-01 08:05:00|2026-03-01 08:05:00\n"
        "b1|100|8|0|1|2026-03-01 08:03:00|2026-03-01 08:03:00\n"
        "s1|100|7|1|1|2026-03-01 08:06:00|2026-03-01 08:06:00\n");
    EXPECT_EQ(tool("SELECT uid, name, talking, badge, last_time FROM tb_message_contact ORDER BY uid;"),
        "7|王'老师|1|2|2026-03-01 08:06:00\n8|家长8|1|1|2026-03-01 08:03:00\n");

    // The conversation list: the newest message per partner, newest first,
    // with the partner's unread count.
    auto last = store.getMessageLast();
    ASSERT_TRUE(last);
    EXPECT_EQ(uids(*last), (std::vector<std::string> { "s1", "b1" }));
    EXPECT_EQ((*last)[0]->contact->name, "王'老师");
    EXPECT_EQ((*last)[0]->contact->badge, 2);
    EXPECT_TRUE((*last)[0]->to);
    EXPECT_FALSE(store.isOpened());

    // One conversation, oldest first, attachments rebuilt as objects.
    auto history = store.getMessageWithContact(*teacher);
    ASSERT_TRUE(history);
    EXPECT_EQ(uids(*history), (std::vector<std::string> { "a1", "a2", "s1" }));
    EXPECT_EQ((*history)[0]->content, tricky);
    ASSERT_EQ((*history)[0]->photosInfo.size(), 1u);
    EXPECT_EQ((*history)[0]->photosInfo[0]->thumbUrl, "http://h/t.jpg");
    ASSERT_EQ((*history)[0]->soundsInfo.size(), 1u);
    EXPECT_EQ((*history)[0]->soundsInfo[0]->seconds, 4);
    EXPECT_EQ((*history)[0]->contact->uid, 7);
    // Opening it read it, and storing a listed message again keeps it read.
    EXPECT_EQ(tool("SELECT uid, state FROM tb_message WHERE target_uid=7 AND \"to\"=0 ORDER BY uid;"), "a1|2\na2|2\n");
    ASSERT_TRUE(store.setMessage({ (*history)[1] }));
    EXPECT_EQ(tool("SELECT state FROM tb_message WHERE uid='a2';"), "2\n");
    EXPECT_EQ(toolInt(db(), "SELECT badge FROM tb_message_contact WHERE uid=7;"), 0);

    // Another account on the same phone sees and changes none of it.
    coretest::signIn(200);
    MessageFactory other;
    EXPECT_TRUE(other.getMessageLast()->empty());
    EXPECT_TRUE(other.getMessageWithContact(*teacher)->empty());
    ASSERT_TRUE(other.setMessage({ message("a1", partner(7), 9, "same id, other account") }));
    EXPECT_EQ(uids(*other.getMessageLast()), (std::vector<std::string> { "a1" }));
    coretest::signIn(100);
    EXPECT_EQ(uids(*store.getMessageLast()), (std::vector<std::string> { "s1", "b1" }));
    EXPECT_EQ(tool("SELECT content FROM tb_message WHERE uid='a1' AND account_uid=100;"), tricky + "\n");
}

TEST_F(MessageStore, AMessageKeepsTheReadStateItsCallerGaveAndARedeliveryKeepsTheStoredOne)
{
    MessageFactory store;
    auto teacher = partner(7);
    // The open chat stores a message it shows at once as read.
    auto shown = message("r1", teacher, 0);
    shown->state = MessageInfo::kStateRead;
    ASSERT_TRUE(store.setMessage({ shown, message("u1", teacher, 1) }));
    EXPECT_EQ(tool("SELECT uid, state, remote_state FROM tb_message ORDER BY uid;"), "r1|2|0\nu1|1|0\n");
    EXPECT_EQ(store.getBadgeSum(), 1);

    // The server confirms both states.
    auto pending = store.getMessageStateChanged();
    ASSERT_TRUE(pending);
    ASSERT_EQ(pending->size(), 2u);
    ASSERT_TRUE(store.setMessageStateChanged(*pending));
    EXPECT_TRUE(store.getMessageStateChanged()->empty());
    EXPECT_EQ(tool("SELECT uid, state, remote_state FROM tb_message ORDER BY uid;"), "r1|2|2\nu1|1|1\n");

    // The next poll delivers both again (same msgId, state not known): the
    // stored states and confirmations stay, the text is updated.
    auto again = message("r1", teacher, 0, "hello, again");
    ASSERT_TRUE(store.setMessage({ again, message("u1", teacher, 1) }));
    EXPECT_EQ(tool("SELECT uid, content, state, remote_state FROM tb_message ORDER BY uid;"),
        "r1|hello, again|2|2\nu1|hello|1|1\n");
    EXPECT_TRUE(store.getMessageStateChanged()->empty());
    EXPECT_EQ(store.getBadgeSum(), 1);

    // A caller that does give a state is heeded on update too.
    auto readNow = message("u1", teacher, 1);
    readNow->state = MessageInfo::kStateRead;
    ASSERT_TRUE(store.setMessage({ readNow }));
    EXPECT_EQ(store.getBadgeSum(), 0);
    EXPECT_EQ(uids(*store.getMessageStateChanged()), (std::vector<std::string> { "u1" }));
}

TEST_F(MessageStore, TheBadgeSumFollowsUnreadHiddenAndReturningConversations)
{
    MessageFactory store;
    auto a = partner(7);
    auto b = partner(8);
    ASSERT_TRUE(store.setMessage(
        { message("a1", a, 0), message("a2", a, 1), message("b1", b, 2), message("a3", a, 3, "mine", true) }));
    auto list = store.getMessageLast();
    ASSERT_TRUE(list);
    EXPECT_EQ(MessageFactory::badgeSum(*list), 3);
    EXPECT_EQ(store.getBadgeSum(), 3) << "sent messages are never unread";

    // Hiding a conversation takes it off the list and out of the sum; its
    // history stays.
    ASSERT_TRUE(store.removeMessageLast({ (*list)[1] }));
    EXPECT_EQ(uids(*store.getMessageLast()), (std::vector<std::string> { "a3" }));
    EXPECT_EQ(store.getBadgeSum(), 2);
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_message WHERE target_uid=8;"), 1);

    // Its next message brings it back with the unread count recounted.
    ASSERT_TRUE(store.setMessage({ message("b2", b, 4) }));
    EXPECT_EQ(uids(*store.getMessageLast()), (std::vector<std::string> { "b2", "a3" }));
    EXPECT_EQ(store.getBadgeSum(), 4);
    store.getMessageWithContact(*a);
    EXPECT_EQ(store.getBadgeSum(), 2);
    EXPECT_FALSE(store.removeMessageLast({})) << "an empty list is refused";
}

TEST_F(MessageStore, AGroupSendRecordKeepsItsCountsAndInterleavesByTime)
{
    MessageFactory store;
    ASSERT_TRUE(store.setMessage(
        { message("a1", partner(7), 0), groupRecord("g1", 5, 30, 12, 2, 40), message("b1", partner(8), 10) }));
    EXPECT_EQ(tool("SELECT uid, \"group\", target_uid, \"to\", msg_unread_count, msg_read_count, sms_unsuccess_count, "
                   "sms_success_count FROM tb_message WHERE uid='g1';"),
        "g1|1|0|1|30|12|2|40\n");
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_message_contact;"), 2) << "a group send has no conversation row";

    auto list = store.getMessageLast();
    ASSERT_TRUE(list);
    EXPECT_EQ(uids(*list), (std::vector<std::string> { "b1", "g1", "a1" }));
    const MessageInfo& record = *(*list)[1];
    EXPECT_TRUE(record.group);
    EXPECT_TRUE(record.to);
    EXPECT_FALSE(record.contact);
    EXPECT_EQ(record.msgUnReadCount, 30);
    EXPECT_EQ(record.msgReadCount, 12);
    EXPECT_EQ(record.smsUnSuccessCount, 2);
    EXPECT_EQ(record.smsSuccessCount, 40);
    EXPECT_EQ(MessageFactory::badgeSum(*list), 2) << "group records add nothing to the badge";

    // The group-send state screen stores the counts it received.
    auto status = groupRecord("g1", 5, 10, 32, 1, 41);
    ASSERT_TRUE(store.setMessageStateChanged({ status }));
    EXPECT_EQ(tool("SELECT msg_unread_count, msg_read_count, sms_unsuccess_count, sms_success_count FROM tb_message "
                   "WHERE uid='g1';"),
        "10|32|1|41\n");

    // Deleting the record removes it, and nothing else.
    ASSERT_TRUE(store.removeMessageLast({ (*list)[1] }));
    EXPECT_EQ(uids(*store.getMessageLast()), (std::vector<std::string> { "b1", "a1" }));
    EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_message;"), 2);
}

TEST_F(MessageStore, AGroupMessageReceivedMakesItsSenderAConversation)
{
    // A parent with no earlier conversation receives the teacher's note to
    // the whole class.
    MessageFactory store;
    auto note = message("n1", partner(9, "李老师"), 3, "明天春游");
    note->group = true;
    ASSERT_TRUE(store.setMessage({ note, groupRecord("g1", 5, 1, 0, 0, 0) }));
    EXPECT_EQ(tool("SELECT uid, name, badge FROM tb_message_contact;"), "9|李老师|1\n");
    auto list = store.getMessageLast();
    ASSERT_TRUE(list);
    EXPECT_EQ(uids(*list), (std::vector<std::string> { "g1", "n1" }));
    EXPECT_EQ(store.getBadgeSum(), 1);
    auto history = store.getMessageWithContact(*partner(9));
    ASSERT_TRUE(history);
    EXPECT_EQ(uids(*history), (std::vector<std::string> { "n1" }));
}

TEST_F(MessageStore, AFailedBatchLeavesTheStoreAsItWas)
{
    MessageFactory store;
    ASSERT_TRUE(store.setMessage({ message("a1", partner(7), 0), message("b1", partner(8), 1) }));
    const std::string before = tool(".dump");

    // A row the file refuses, after rows that would insert, update and
    // change conversation rows.
    tool("CREATE TRIGGER refuse BEFORE INSERT ON tb_message WHEN NEW.uid='bad' BEGIN SELECT RAISE(ABORT, 'refused'); "
         "END;");
    const std::string withTrigger = tool(".dump");
    {
        platform::LogCapture log;
        auto changed = message("a1", partner(7, "新名字"), 0, "changed");
        changed->state = MessageInfo::kStateRead;
        EXPECT_FALSE(store.setMessage({ message("c1", partner(9), 2), changed, message("bad", partner(7), 3) }));
        EXPECT_TRUE(log.contains("refused")) << "the failure is logged with SQLite's message";
    }
    EXPECT_EQ(tool(".dump"), withTrigger);
    tool("DROP TRIGGER refuse;");
    EXPECT_EQ(tool(".dump"), before);
    EXPECT_EQ(store.getBadgeSum(), 2);
}

TEST_F(MessageStore, MessagesWithIncompleteOrMissingPartnersAreKept)
{
    MessageFactory store;
    // A partner whose texts are missing gets empty texts, not a failed batch.
    auto nameless = std::make_shared<ContactInfo>();
    nameless->uid = 9;
    // A poll item without contact keys has no partner at all.
    auto noPartner = MessageInfo::messageWithObj(platform::Dictionary { { "msgId", "n1" }, { "content", "孤儿" } });
    ASSERT_TRUE(noPartner);
    ASSERT_FALSE(noPartner->contact);
    // One without an id cannot be told apart from others without one: skipped.
    ASSERT_TRUE(store.setMessage({ message("m1", nameless, 0, ""), noPartner, message("", partner(7), 2, "no id"),
        message("m2", partner(7), 1) }));
    EXPECT_EQ(tool("SELECT uid, name, thumb_avatar, avatar, remarks IS NULL FROM tb_message_contact ORDER BY uid;"),
        "7|家长7|http://h/t7.jpg|http://h/a7.jpg|1\n9||||1\n");
    EXPECT_EQ(tool("SELECT uid, target_uid, content, time != '' FROM tb_message ORDER BY uid;"),
        "m1|9||1\nm2|7|hello|1\nn1|0|孤儿|1\n");
    EXPECT_EQ(uids(*store.getMessageLast()), (std::vector<std::string> { "m2", "m1" }));
    // Its unread state is still reported.
    EXPECT_EQ(store.getMessageStateChanged()->size(), 3u);
}

TEST_F(MessageStore, AFileThatCannotBeOpenedGivesEmptyResults)
{
    ASSERT_TRUE(platform::FileUtil::createDirectory(db()));
    platform::LogCapture log;
    MessageFactory store;
    EXPECT_FALSE(store.getMessageLast());
    EXPECT_FALSE(store.getMessageWithContact(*partner(7)));
    EXPECT_FALSE(store.getMessageStateChanged());
    EXPECT_FALSE(store.setMessage({ message("a1", partner(7), 0) }));
    EXPECT_FALSE(store.setMessageStateChanged({ message("a1", partner(7), 0) }));
    EXPECT_EQ(store.getBadgeSum(), 0);
}

} // namespace
