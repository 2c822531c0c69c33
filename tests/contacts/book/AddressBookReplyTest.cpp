// The address book's reply read within bounds: inflated no further than the
// limit (a reply past it refused whole, the stored book left as it was and
// the person told), and read off the main thread, so that the window keeps
// turning while a large book is inflated, parsed and imported.
#include "contacts/book/AddressBookReply.h"
#include "core/session/ORBEndpoints.h"
#include "core/store/ContactsFactory.h"
#include "core/store/MessageFactory.h"
#include "platform/os/RunLoop.h"
#include "server/StandinServer.h"
#include "tests/contacts/ContactsTestSupport.h"
#include "tests/support/LoopAndMemoryWatch.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/app/TestWatchdog.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <time.h>

using server::ScriptedReply;
using namespace testsupport;
using namespace contactstest;

namespace {

constexpr const char* kBook = core::ORBEndpoints::Cmd::kAddressBook;
constexpr int kTeacherUid = 2001;
constexpr std::size_t kLimit = contacts::kMaxInflatedAddressBookBytes;

const std::string kSmallBook = R"([{"groupId":"COM001","groupName":"同事","groupType":1,"items":[)"
                               R"({"linkManId":7,"linkManName":"赵敏","phone":"13700000007","thumbAvatar":"",)"
                               R"("orgUserPic":"","linkManType":1,"isCustomer":false}]}])";

platform::Bytes bytesOf(const std::string& text) { return platform::Bytes(text.begin(), text.end()); }

// A school's book of classes of equal size.
std::string largeBook(int people, int groups)
{
    std::string json = "[";
    for (int g = 0; g < groups; ++g) {
        json += (g ? R"(,{"groupId":"CLS)" : R"({"groupId":"CLS)") + std::to_string(1000 + g) + R"(","groupName":"班级)"
            + std::to_string(g) + R"(","groupType":2,"items":[)";
        for (int p = g; p < people; p += groups) {
            json += (p == g ? R"({"linkManId":)" : R"(,{"linkManId":)") + std::to_string(100000 + p)
                + R"(,"linkManName":"张)" + std::to_string(p % 97) + R"(丰","phone":"137)"
                + std::to_string(10000000 + p)
                + R"(","thumbAvatar":"","orgUserPic":"","linkManType":1,"isCustomer":1})";
        }
        json += "]}";
    }
    json += "]";
    EXPECT_LT(json.size(), kLimit);
    return json;
}

// The rows of the table of replies of tiny values, read in three tests so
// that each stays within a test's time on a loaded machine.
enum class TinyValueRows {
    Swelling, // values that a whole parse would make gigabytes of
    GroupTexts, // a group's id and name, bounded in bytes
    ManyPeople, // a group's id and name copied into each of many people
};

class AddressBookReplySize : public SignedInScreenTest {
protected:
    void readTinyValueRows(TinyValueRows rows);
    std::vector<std::string> storedGroups()
    {
        std::vector<std::string> ids;
        core::ContactsFactory store;
        for (const auto& group : store.getGroups().value_or(core::GroupList {}))
            ids.push_back(group->uid + ":" + std::to_string(group->totalCount));
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    std::size_t notified(const char* name) { return harness().notifications().count(name); }
    // The stored book has all its groups and, across them, all its people.
    static void expectWholeBook(int groupCount, int peopleCount)
    {
        core::ContactsFactory store;
        auto groups = store.getGroups().value_or(core::GroupList {});
        ASSERT_EQ(groups.size(), std::size_t(groupCount));
        int people = 0;
        for (const auto& group : groups)
            people += group->totalCount;
        EXPECT_EQ(people, peopleCount);
    }
};

} // namespace

TEST_F(AddressBookReplySize, AReplyThatInflatesPastTheLimitIsRefusedAndChangesNothing)
{
    signIn();
    ASSERT_TRUE(harness().runUntil(bookIdle));
    const auto before = storedGroups();
    ASSERT_FALSE(before.empty());
    const auto recordBefore = bookRecord(harness(), kTeacherUid);
    // An empty list, valid once inflated, of a few dozen kilobytes that would
    // come to more than the limit: plain, and as a transfer's content
    // encoding (eight times the limit: each piece the transfer reads would
    // inflate to hundreds of megabytes).
    const std::string bomb = compressedWithPadding("[", kLimit, "]", false);
    const std::string gzipBomb = compressedWithPadding("[", 8 * kLimit, "]", true);
    ASSERT_LT(bomb.size(), std::size_t { 1 } << 20);
    const ScriptedReply replies[] = {
        ScriptedReply::custom(200, bomb, "application/octet-stream"),
        ScriptedReply::custom(200, gzipBomb, "application/octet-stream", { { "Content-Encoding", "gzip" } }),
    };
    std::size_t sent = 1;
    for (const auto& reply : replies) {
        harness().server()->script().forCommand(kBook, reply);
        const std::size_t failures = notified(ContactsViewController::kFailedRefreshContacts);
        ASSERT_TRUE(resetPeakResident());
        const double residentBefore = residentMegabytes();
        book()->btnRefreshTouchUpInside(nullptr);
        ++sent;
        ASSERT_TRUE(harness().runUntil(
            [&] { return notified(ContactsViewController::kFailedRefreshContacts) == failures + 1; }, 60));
        // Refused within the limit, not after inflating all of it.
        if (!testsupport::kUnderThreadSanitizer) {
            EXPECT_LT(peakResidentMegabytes() - residentBefore, 250) << "megabytes";
        }
        EXPECT_EQ(harness().overlayText(), contacts::kAddressBookTooLargeText);
        EXPECT_FALSE(book()->isRefresh());
        EXPECT_EQ(storedGroups(), before);
        EXPECT_FALSE(book()->listGroup().empty());
        EXPECT_EQ(bookRecord(harness(), kTeacherUid).get("refresh_time").stringValue(),
            recordBefore.get("refresh_time").stringValue());
        EXPECT_EQ(notified(ContactsViewController::kCompletedRefreshContacts), 1u);
    }
    EXPECT_EQ(requests(kBook).size(), sent);
}

TEST_F(AddressBookReplySize, TheWindowKeepsTurningWhileALargeBookIsRead)
{
    signIn();
    ASSERT_TRUE(harness().runUntil(bookIdle));
    // A real book with much blank space around it: large, but allowed.
    harness().server()->script().forCommand(kBook,
        ScriptedReply::custom(
            200, compressedWithPadding(kSmallBook, std::size_t { 24 } << 20, "\n", false), "application/octet-stream"));
    // A task that puts itself back on the main loop on every turn, counting
    // the turns taken while the reply is being read.
    auto turnsWhileReading = std::make_shared<std::size_t>(0);
    auto ticking = std::make_shared<bool>(true);
    auto tick = std::make_shared<std::function<void()>>();
    *tick = [turnsWhileReading, ticking, weak = std::weak_ptr<std::function<void()>>(tick)] {
        if (auto screen = book(); screen && screen->isReadingReply())
            ++*turnsWhileReading;
        if (auto again = weak.lock(); again && *ticking)
            platform::RunLoop::main().post(*again);
    };
    platform::RunLoop::main().post(*tick);
    book()->btnRefreshTouchUpInside(nullptr);
    ASSERT_TRUE(harness().runUntil(
        [&] { return harness().notifications().count(ContactsViewController::kCompletedRefreshContacts) == 2; }, 60));
    *ticking = false;
    EXPECT_GT(*turnsWhileReading, 0u);
    EXPECT_FALSE(book()->isReadingReply());
    EXPECT_EQ(storedGroups(), (std::vector<std::string> { "COM001:1" }));
    core::ContactsFactory store;
    auto zhao = store.getContactsWithGroup("COM001").value_or(core::ContactList {});
    ASSERT_EQ(zhao.size(), 1u);
    EXPECT_EQ(zhao.front()->name, "赵敏");
    EXPECT_FALSE(zhao.front()->isCustomer) << "false reads as the number 0";
}

// A book is read as it is parsed, each person a record at once: a reply of
// tiny values that a whole parse would have turned into gigabytes is refused
// where it goes wrong, or costs what its few records cost.
void AddressBookReplySize::readTinyValueRows(TinyValueRows rows)
{
    signIn();
    ASSERT_TRUE(harness().runUntil(bookIdle));
    // A third of the ceiling: parsed whole, that alone took some 400 MB.
    // (An eighth of that under the thread sanitizer, which reads it many
    // times slower.)
    const std::size_t size = kLimit / (testsupport::kUnderThreadSanitizer ? 24 : 3) / 2 * 2;
    const std::string person
        = R"({"linkManId":7,"linkManName":"赵敏","thumbAvatar":"","orgUserPic":"","linkManType":1},)";
    // People 1 to `count` (each stored once per group).
    auto people = [](int count) {
        std::string list;
        for (int i = 1; i <= count; ++i)
            list += R"({"linkManId":)" + std::to_string(i)
                + R"(,"linkManName":"赵敏","thumbAvatar":"","orgUserPic":"","linkManType":1},)";
        return list;
    };
    // A group's id and name of the most bytes one may have, in characters
    // of four bytes; and one of a byte more, in fewer characters.
    std::string longest;
    for (std::size_t i = 0; i < contacts::kLongestGroupTextBytes / 4; ++i)
        longest += "\U00020000";
    const std::string longestGroup = R"([{"groupId":")" + longest + R"(","groupName":")" + longest + R"(","items":[)";
    const std::string tooLong = "C" + longest;
    // Each reply is made only for the rows read: some take seconds to make.
    struct Case {
        TinyValueRows rows;
        const char* name;
        std::function<ScriptedReply()> reply;
        const char* failure; // null: stored
        std::vector<std::string> stored;
    };
    const Case cases[] = {
        { TinyValueRows::Swelling, "a list of zeros",
            [&] {
                return ScriptedReply::custom(
                    200, compressedWithRepeats("[", "0,", size, "0]", false), "application/octet-stream");
            },
            contacts::kAddressBookTooLargeText, {} },
        { TinyValueRows::Swelling, "a list of zeros as the transfer's content encoding",
            [&] {
                return ScriptedReply::custom(200, compressedWithRepeats("[", "0,", size, "0]", true),
                    "application/octet-stream", { { "Content-Encoding", "gzip" } });
            },
            contacts::kAddressBookTooLargeText, {} },
        { TinyValueRows::Swelling, "a list of zeros in a list",
            [&] {
                return ScriptedReply::custom(
                    200, compressedWithRepeats("[[", "0,", size, "0]]", false), "application/octet-stream");
            },
            contacts::kAddressBookTooLargeText, {} },
        { TinyValueRows::Swelling, "a group of zeros where its people go",
            [&] {
                return ScriptedReply::custom(200,
                    compressedWithRepeats(
                        R"([{"groupId":"COM001","groupName":"同事","items":[)", "0,", size, "0]}]", false),
                    "application/octet-stream");
            },
            nullptr, { "COM001:0" } },
        { TinyValueRows::Swelling, "one person again and again",
            [&] {
                return ScriptedReply::custom(200,
                    compressedWithRepeats(R"([{"groupId":"COM001","groupName":"同事","items":[)", person,
                        (std::size_t { 4 } << 20) / person.size() * person.size(), R"({}]}])", false),
                    "application/octet-stream");
            },
            nullptr, { "COM001:1" } },
        // Each person carries a copy of its group's id and name.
        { TinyValueRows::GroupTexts, "a group's name of 15 MiB for 2,000 people",
            [&] {
                return ScriptedReply::custom(200,
                    compressedWithRepeats(R"([{"groupId":"COM001","groupName":")", "名", std::size_t { 15 } << 20,
                        R"(","items":[)" + people(2000) + R"({}]}])", true),
                    "application/octet-stream");
            },
            contacts::kAddressBookTooLargeText, {} },
        { TinyValueRows::GroupTexts, "a group's id of 1 MiB for 100 people",
            [&] {
                return ScriptedReply::custom(200,
                    compressedWithRepeats(R"([{"groupId":")", "C", std::size_t { 1 } << 20,
                        R"(","groupName":"同事","items":[)" + people(100) + R"({}]}])", true),
                    "application/octet-stream");
            },
            contacts::kAddressBookTooLargeText, {} },
        { TinyValueRows::GroupTexts, "a group's id and name at their longest for 2 people",
            [&] {
                return ScriptedReply::custom(200,
                    compressedWithPadding(longestGroup + people(2) + R"({}]}])", 0, "", false),
                    "application/octet-stream");
            },
            nullptr, { longest + ":2" } },
        { TinyValueRows::GroupTexts, "a group's id a byte longer than the longest",
            [&] {
                return ScriptedReply::custom(200,
                    compressedWithPadding(
                        R"([{"groupId":")" + tooLong + R"(","groupName":"同事","items":[)" + people(2) + R"({}]}])", 0,
                        "", false),
                    "application/octet-stream");
            },
            contacts::kAddressBookTooLargeText, {} },
        { TinyValueRows::GroupTexts, "a group's name a byte longer than the longest",
            [&] {
                return ScriptedReply::custom(200,
                    compressedWithPadding(
                        R"([{"groupId":"COM001","groupName":")" + tooLong + R"(","items":[)" + people(2) + R"({}]}])",
                        0, "", false),
                    "application/octet-stream");
            },
            contacts::kAddressBookTooLargeText, {} },
        // Within the records' memory, but each person's row and index
        // entries carry the id: more than the store may write for a book.
        { TinyValueRows::ManyPeople, "a group's id and name at their longest for 130,000 people",
            [&] {
                return ScriptedReply::custom(200,
                    compressedWithPadding(longestGroup + people(130000) + R"({}]}])", 0, "", false),
                    "application/octet-stream");
            },
            contacts::kAddressBookTooLargeText, {} },
        { TinyValueRows::ManyPeople, "a group's id and name at their longest for 200,000 people",
            [&] {
                return ScriptedReply::custom(200,
                    compressedWithRepeats(longestGroup, person, 200000 * person.size(), R"({}]}])", false),
                    "application/octet-stream");
            },
            contacts::kAddressBookTooLargeText, {} },
        { TinyValueRows::GroupTexts, "a group's list given twice",
            [&] {
                return ScriptedReply::custom(200,
                    compressedWithPadding(R"([{"groupId":"COM001","groupName":"同事","items":[)" + people(3)
                            + R"({}],"items":[)" + person + R"({}]},{"groupId":"CLS101","items":[)" + people(2)
                            + R"({}],"items":[]}])",
                        0, "", false),
                    "application/octet-stream");
            },
            nullptr, { "CLS101:0", "COM001:1" } },
    };
    for (const auto& c : cases) {
        if (c.rows != rows)
            continue;
        SCOPED_TRACE(c.name);
        harness().server()->script().forCommand(kBook, c.reply());
        const std::size_t failures = notified(ContactsViewController::kFailedRefreshContacts);
        const std::size_t completions = notified(ContactsViewController::kCompletedRefreshContacts);
        harness().advance(0.05);
        const auto storedBefore = storedGroups();
        const double before = testsupport::residentMegabytes();
        testsupport::resetPeakResident();
        book()->btnRefreshTouchUpInside(nullptr);
        ASSERT_TRUE(harness().runUntil(
            [&] {
                return notified(ContactsViewController::kFailedRefreshContacts) > failures
                    || notified(ContactsViewController::kCompletedRefreshContacts) > completions;
            },
            120));
        // Generous: a sanitizer build keeps freed memory a while.
        if (!testsupport::kUnderThreadSanitizer) {
            EXPECT_LT(testsupport::peakResidentMegabytes() - before, 320) << "megabytes";
        }
        if (c.failure) {
            EXPECT_EQ(notified(ContactsViewController::kFailedRefreshContacts), failures + 1);
            EXPECT_EQ(harness().overlayText(), c.failure);
            EXPECT_EQ(storedGroups(), storedBefore);
        } else {
            EXPECT_EQ(notified(ContactsViewController::kCompletedRefreshContacts), completions + 1);
            EXPECT_EQ(storedGroups(), c.stored);
        }
    }
}

TEST_F(AddressBookReplySize, RepliesOfTinyValuesAreReadWithoutTheirWholeParse)
{
    // Five replies of a third of the ceiling, each made, inflated and read
    // whole: 47 s of the watchdog's minute at a load of 38 on 8 cores.
    extendTestWatchdog(60);
    readTinyValueRows(TinyValueRows::Swelling);
}

TEST_F(AddressBookReplySize, AGroupsIdAndNameAreBoundedInBytes) { readTinyValueRows(TinyValueRows::GroupTexts); }

TEST_F(AddressBookReplySize, AGroupCopiedIntoManyPeopleIsBoundedByWhatTheStoreWrites)
{
    // Two books of 130,000 and 200,000 people, each made and read whole
    // before it is refused: 55 s of the watchdog's minute at a load of 38.
    extendTestWatchdog(60);
    readTinyValueRows(TinyValueRows::ManyPeople);
}

// A large book is written off the main loop: the window keeps turning while
// it is read and stored. (The benchmark stores a book at the ceiling, half a
// million people; a sanitizer build takes too long for that here.)
TEST_F(AddressBookReplySize, ALargeBookIsStoredWithoutHoldingTheMainLoop)
{
    signIn();
    ASSERT_TRUE(harness().runUntil(bookIdle));
    constexpr int kPeople = testsupport::kUnderThreadSanitizer ? 10000 : 80000;
    constexpr int kGroups = 160;
    harness().server()->script().forCommand(kBook, contactstest::compressedBook(largeBook(kPeople, kGroups)));

    // The main loop's longest turn, as the CPU time its thread spent in it.
    MainLoopTurnWatch turns;
    book()->btnRefreshTouchUpInside(nullptr);
    ASSERT_TRUE(harness().runUntil(
        [&] { return harness().notifications().count(ContactsViewController::kCompletedRefreshContacts) == 2; }, 300));
    EXPECT_GT(turns.ticks(), 0);
    // Written on the main loop, the book held it for seconds.
    EXPECT_LT(turns.longestTurn(), 1.0) << "seconds of the main loop's CPU in one turn";
    ASSERT_NO_FATAL_FAILURE(expectWholeBook(kGroups, kPeople));
    EXPECT_EQ(book()->listGroup().size(), std::size_t(kGroups));
}

// A large book lets a store that waits for the file in while it is written:
// messages stored on the main loop meanwhile go in all along the book (before
// it takes the place of the one before it), none fails, and the book is whole
// afterwards. Counted in what is stored, not in time: the messages stored
// with the book part-written, and the book's commits for each message. Held
// in one transaction, or with no waiting store marked, the book kept every
// message back until it was stored (or for the busy timeout, and failed it);
// committing without waiting for the message to come in, it committed dozens
// of times for each.
TEST_F(AddressBookReplySize, AMessageStoredWhileALargeBookIsWrittenGoesInBetween)
{
    signIn();
    ASSERT_TRUE(harness().runUntil(bookIdle));
    const std::size_t groupsBefore = storedGroups().size();
    constexpr int kPeople = testsupport::kUnderThreadSanitizer ? 10000 : 40000;
    constexpr int kGroups = 160;
    ASSERT_NE(groupsBefore, std::size_t(kGroups));
    harness().server()->script().forCommand(kBook, contactstest::compressedBook(largeBook(kPeople, kGroups)));
    // Made first: making a store rewrites the file.
    core::MessageFactory messages;
    auto partner = std::make_shared<core::ContactInfo>();
    partner->uid = 2002;
    partner->name = "陈静";
    partner->type = 1;
    // A connection of the test's own that waits for nothing: it tells whether
    // the file is held for a write, and which book is stored.
    sqlite3* probe = nullptr;
    ASSERT_EQ(
        sqlite3_open_v2(core::BaseFactory::dataFilePath().c_str(), &probe, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> closing(probe, &sqlite3_close);
    auto heldForAWrite = [&] {
        if (sqlite3_exec(probe, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr) == SQLITE_BUSY)
            return true;
        sqlite3_exec(probe, "ROLLBACK;", nullptr, nullptr, nullptr);
        return false;
    };
    auto countOf = [&](const char* sql) {
        sqlite3_stmt* count = nullptr;
        int rows = -1;
        if (sqlite3_prepare_v2(probe, sql, -1, &count, nullptr) == SQLITE_OK && sqlite3_step(count) == SQLITE_ROW)
            rows = sqlite3_column_int(count, 0);
        sqlite3_finalize(count);
        return rows;
    };
    auto storedGroupCount = [&] { return countOf("SELECT COUNT(*) FROM tb_contact_group WHERE account_uid=2001;"); };
    // People of the book written beside the stored one so far (a row each);
    // -1 while its table is not there.
    auto peopleWritten = [&] { return countOf("SELECT IFNULL(MAX(rowid),0) FROM tb_contact_next;"); };
    int partWay = 0;
    // The file's count of the transactions committed to it (its header's
    // change counter).
    const std::string path = core::BaseFactory::dataFilePath();
    auto commitsToTheFile = [&] {
        unsigned char counter[4] = {};
        std::ifstream file(path, std::ios::binary);
        file.seekg(24);
        file.read(reinterpret_cast<char*>(counter), 4);
        return long(counter[0]) << 24 | long(counter[1]) << 16 | long(counter[2]) << 8 | long(counter[3]);
    };
    long lastCommits = -1;
    long bookCommits = 0;
    int sent = 0;
    int failed = 0;
    int inBetween = 0;
    book()->btnRefreshTouchUpInside(nullptr);
    ASSERT_TRUE(harness().runUntil(
        [&] {
            if (notified(ContactsViewController::kCompletedRefreshContacts) == 2)
                return true;
            // Another writer holds the file: the book's write is under way.
            if (!heldForAWrite())
                return false;
            auto message = std::make_shared<core::MessageInfo>();
            message->uid = "beside-" + std::to_string(sent++);
            message->content = "明天春游";
            message->contact = partner;
            message->time = platform::Date::now();
            if (!messages.setMessage({ message }))
                ++failed;
            else if (storedGroupCount() == int(groupsBefore))
                ++inBetween;
            if (const int written = peopleWritten(); written > 0 && written < kPeople)
                ++partWay;
            const long commits = commitsToTheFile();
            if (lastCommits >= 0)
                bookCommits += commits - lastCommits - 1;
            lastCommits = commits;
            return false;
        },
        300));
    EXPECT_GT(sent, 0);
    EXPECT_EQ(failed, 0);
    EXPECT_GT(inBetween, 0) << "no message was stored before the book was";
    // Let in part-way through the book, again and again.
    EXPECT_GE(partWay, 8) << "of " << sent << " messages";
    // Each let in by about one commit of the book's (each commit syncs the disk).
    EXPECT_LE(bookCommits, 4 * sent) << sent << " messages";
    ASSERT_NO_FATAL_FAILURE(expectWholeBook(kGroups, kPeople));
    EXPECT_EQ(countOf("SELECT COUNT(*) FROM tb_message WHERE uid LIKE 'beside-%';"), sent);
}

TEST(AddressBookInflate, HoldsToTheLimitInBothHeadersAndRefusesBrokenStreams)
{
    constexpr std::size_t limit = 100000;
    for (bool gzip : { false, true }) {
        SCOPED_TRACE(gzip ? "gzip" : "zlib");
        bool tooLarge = true;
        // Exactly at the limit: inflated whole.
        auto atLimit
            = contacts::inflateAddressBook(bytesOf(compressedWithPadding("[", limit - 2, "]", gzip)), limit, &tooLarge);
        ASSERT_TRUE(atLimit);
        EXPECT_EQ(atLimit->size(), limit);
        EXPECT_FALSE(tooLarge);
        // One byte more: refused, and said to be too large.
        EXPECT_FALSE(
            contacts::inflateAddressBook(bytesOf(compressedWithPadding("[", limit - 1, "]", gzip)), limit, &tooLarge));
        EXPECT_TRUE(tooLarge);
        // Cut short or corrupt: refused, not for its size.
        const std::string whole = compressedWithPadding(kSmallBook, 10, "", gzip);
        EXPECT_FALSE(contacts::inflateAddressBook(bytesOf(whole.substr(0, whole.size() / 2)), limit, &tooLarge));
        EXPECT_FALSE(tooLarge);
        std::string broken = whole;
        broken[broken.size() / 2] = static_cast<char>(broken[broken.size() / 2] ^ 0x5A);
        broken[broken.size() / 2 + 1] = static_cast<char>(broken[broken.size() / 2 + 1] ^ 0x5A);
        EXPECT_FALSE(contacts::inflateAddressBook(bytesOf(broken), limit, &tooLarge));
        EXPECT_FALSE(tooLarge);

        // The whole reply: the book, imported; past the limit, the failure that says so.
        auto read = contacts::readAddressBookReply(bytesOf(whole), platform::kUTF8StringEncoding, limit);
        ASSERT_EQ(read.outcome, contacts::AddressBookReply::Outcome::Book);
        ASSERT_EQ(read.book->contacts.size(), 1u);
        EXPECT_EQ(read.book->contacts.front().front()->pinyin, "ZHAOMIN");
        auto refused = contacts::readAddressBookReply(
            bytesOf(compressedWithPadding(kSmallBook, limit, "", gzip)), platform::kUTF8StringEncoding, limit);
        EXPECT_EQ(refused.outcome, contacts::AddressBookReply::Outcome::Failed);
        EXPECT_EQ(refused.message, contacts::kAddressBookTooLargeText);
    }
    // An envelope says what the platform says.
    auto refusal = contacts::readAddressBookReply(
        bytesOf(R"({"resultState":0,"resultMsg":"无权限"})"), platform::kUTF8StringEncoding);
    EXPECT_EQ(refusal.outcome, contacts::AddressBookReply::Outcome::Failed);
    EXPECT_EQ(refusal.message, "无权限");
    EXPECT_EQ(contacts::readAddressBookReply(bytesOf(R"({"resultState":1})"), platform::kUTF8StringEncoding).outcome,
        contacts::AddressBookReply::Outcome::NoBook);
}
