// What the stores keep of real replies: a poll's messages and the whole
// address book, fetched from the stand-in server and read back from the
// database file (also with the sqlite3 tool).
#include "core/model/ContactInfo.h"
#include "core/model/GroupInfo.h"
#include "core/model/MessageInfo.h"
#include "core/network/builders/ORBRivuContrl.h"
#include "core/store/ContactsFactory.h"
#include "core/store/MessageFactory.h"
#include "platform/os/PlatformJson.h"
#include "tests/core/network/BuilderSupport.h"

#include <map>

using namespace dispatchertest;
using namespace core;
using platform::Value;

namespace {

using LiveStores = BuilderTest;

TEST_F(LiveStores, APollsMessagesAreStoredAndReadBackWithTheirConversations)
{
    // The server is the program's: an earlier test may have taken the demo
    // teacher's waiting messages already, so two more wait for this poll.
    ASSERT_FALSE(standin().deliverMessage(2001, 3001, "明天带水彩笔").empty());
    ASSERT_FALSE(standin().deliverMessage(2001, 2002, "下午的教研会改到三点").empty());
    signIn();
    BuilderOutcome poll
        = run([](auto& d) { return ORBRivuContrl::messageNewWithDelegate(d.self(), d.success(), d.fail()); });
    ASSERT_EQ(poll.finished, 1);
    auto reply = platform::PlatformJson::read(poll.request->responseString().value_or(""));
    ASSERT_TRUE(reply && (*reply)["items"].isArray());
    auto messages = MessageInfo::messagesWithItems((*reply)["items"]);
    ASSERT_GE(messages.size(), 2u) << "the demo teacher has waiting messages";
    ASSERT_EQ(messages.size(), (*reply)["items"].count());
    std::map<std::string, std::string> sent; // msgId -> text
    for (const auto& message : messages)
        sent[message->uid] = message->content;
    // The first one has been opened on arrival; the others wait.
    messages.front()->state = MessageInfo::kStateRead;
    for (std::size_t i = 1; i < messages.size(); ++i)
        messages[i]->state = MessageInfo::kStateUnread;

    MessageFactory store;
    ASSERT_TRUE(store.setMessage(messages));

    EXPECT_EQ(sqlite("SELECT COUNT(*) FROM tb_message;"), std::to_string(messages.size()));
    for (const auto& [uid, text] : sent)
        EXPECT_EQ(sqlite("SELECT content FROM tb_message WHERE uid='" + uid + "';"), text) << uid;
    EXPECT_EQ(sqlite("SELECT state FROM tb_message WHERE uid='" + messages.front()->uid + "';"), "2");

    // Each sender has a conversation whose last message is one of the poll's.
    auto conversations = store.getMessageLast();
    ASSERT_TRUE(conversations);
    ASSERT_FALSE(conversations->empty());
    for (const auto& last : *conversations)
        EXPECT_TRUE(sent.count(last->uid)) << last->uid;

    // The same poll delivered again (the read report was lost) keeps the
    // read state and adds no rows.
    auto again = MessageInfo::messagesWithItems((*reply)["items"]);
    ASSERT_TRUE(store.setMessage(again));
    EXPECT_EQ(sqlite("SELECT COUNT(*) FROM tb_message;"), std::to_string(messages.size()));
    EXPECT_EQ(sqlite("SELECT state FROM tb_message WHERE uid='" + messages.front()->uid + "';"), "2");
    EXPECT_EQ(store.getBadgeSum(), static_cast<int>(messages.size()) - 1);
}

TEST_F(LiveStores, TheDownloadedAddressBookGivesEachGroupTheCountOfItsStoredContacts)
{
    signIn();
    Outcome outcome = post(54);
    ASSERT_TRUE(outcome.success) << outcome.failure.value_or("");
    ASSERT_TRUE(outcome.success->isArray());

    ContactsFactory store;
    ASSERT_TRUE(store.initContactsDB());
    auto groups = GroupInfo::groupsWithItems(*outcome.success);
    ASSERT_EQ(groups.size(), outcome.success->count());
    std::map<std::string, std::size_t> expected;
    std::size_t everyone = 0;
    for (const Value& entry : *outcome.success->asArray()) {
        const std::string groupId = entry["groupId"].stringValue();
        auto contacts = ContactInfo::contactsWithItems(entry["items"], groupId);
        expected[groupId] = contacts.size();
        everyone += contacts.size();
        ASSERT_TRUE(store.setContacts(contacts, groupId)) << groupId;
    }
    ASSERT_GT(everyone, 0u);
    ASSERT_TRUE(store.setGroups(groups));

    auto stored = store.getGroups();
    ASSERT_TRUE(stored);
    ASSERT_EQ(stored->size(), expected.size());
    for (const auto& group : *stored) {
        EXPECT_EQ(group->totalCount, static_cast<int>(expected[group->uid])) << group->name;
        EXPECT_EQ(sqlite("SELECT total_count FROM tb_contact_group WHERE uid='" + group->uid + "';"),
            std::to_string(expected[group->uid]));
    }
    EXPECT_EQ(sqlite("SELECT COUNT(*) FROM tb_contact;"), std::to_string(everyone));

    // Downloading again replaces rather than adds.
    for (const Value& entry : *outcome.success->asArray()) {
        const std::string groupId = entry["groupId"].stringValue();
        ASSERT_TRUE(store.setContacts(ContactInfo::contactsWithItems(entry["items"], groupId), groupId));
    }
    ASSERT_TRUE(store.setGroups(groups));
    EXPECT_EQ(sqlite("SELECT COUNT(*) FROM tb_contact;"), std::to_string(everyone));
}

} // namespace
