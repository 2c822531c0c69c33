// The stores over a database file damaged between two runs, in the ways a
// phone's file gets damaged: a page zeroed, a page named twice, a record or
// the text of a table changed, the file cut short, its header overwritten;
// in a folder that may be read but not written, and on a disk with no room
// to grow. Whatever still reads is never dropped: it is copied into a fresh
// store of the client's own tables that takes writes again, and the damaged
// file is kept beside it whole. Damage met while the client runs is handled
// the same way.
#include "core/store/ContactsFactory.h"
#include "core/store/DamagedStoreFile.h"
#include "core/store/MessageFactory.h"
#include "core/store/MessageTemplateFactory.h"
#include "core/store/ORBDBHelper.h"
#include "core/store/SettingFactory.h"
#include "foundation/sqlite/SQLDatabase.h"
#include "tests/core/util/CoreTestSupport.h"
#include "tests/support/FileFaults.h"

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

using namespace core;
using coretest::sqliteTool;
using coretest::toolInt;
using platform::FileUtil;

namespace {

// Enough for the history to take more than one page.
constexpr int kMessages = 126;
constexpr int kContacts = 300;
// The address book less the rows of its damaged pages.
constexpr int kContactsLeft = -2;
// The history less the rows of its damaged pages.
constexpr int kMessagesLeft = -3;
// As much as reads of a file cut short.
constexpr int kSomeRead = -4;
constexpr int kPartner = 7;
// A message and a person as the tool prints them: the values of the columns
// that tell one from another, and what a person reads.
constexpr const char* kMessageRow = "uid||'|'||`group`||'|'||ifnull(content,'-')||'|'||target_uid||'|'||`to`||'|'||time";
constexpr const char* kPersonRow = "name||'|'||uid||'|'||group_uid||'|'||type||'|'||ifnull(phone,'-')||'|'||avatar";
constexpr int kNewPartner = 8;
// A conversation as the tool prints it.
constexpr const char* kConversationRow = "uid||'|'||account_uid||'|'||name||'|'||type||'|'||avatar";
// A group of the book.
constexpr const char* kGroupRow = "uid||'|'||account_uid||'|'||name||'|'||type";

std::shared_ptr<ContactInfo> partner(int uid)
{
    auto c = std::make_shared<ContactInfo>();
    c->uid = uid;
    c->name = "家长" + std::to_string(uid);
    c->thumbAvatar = "http://h/t.jpg";
    c->avatar = "http://h/a.jpg";
    c->type = 2;
    return c;
}

std::shared_ptr<MessageInfo> message(const std::string& uid, int from, int minute)
{
    auto m = std::make_shared<MessageInfo>();
    m->uid = uid;
    m->contact = partner(from);
    m->content = "消息 " + uid;
    m->time = platform::Date::fromSeconds(1772323200 + minute * 60);
    m->createTime = m->time;
    return m;
}

// How the file is damaged after the stores wrote it.
enum class Damage {
    MessageChildNamedTwice, // a message page named in place of the next, nothing else damaged
    MessageChildNamedForward, // the first message page's place names the last one
    MessageChildNamesABookPage, // the first message page's place names a page of the address book
    TwoContactPagesZeroed, // two pages of address-book rows, with one between that reads
    EntryTypeFlipped, // a bit of the message table's type in the table list: `table` becomes `tabld`
    EntryNameFlipped, // a bit of the address book's name there: `tb_contact` becomes `tb_contacu`
    EntryCreateFlipped, // a bit of the messages' text there: `CREATE` becomes `CRDATE`
    EntryNamedAsTheBook, // the messages' entry there named `tb_contact`, the table it belongs to still `tb_message`
    IndexColumnRenamed, // a bit of an index's column in the table list: `time` becomes `tile`
    MessageGroupRenamed, // `group` becomes `groux`
    MessageCheckOfItsOwn, // a CHECK the client never wrote refuses messages from partner 8
    UniqueIndexOfItsOwn, // a partial UNIQUE index the client never made
    TriggerOfItsOwn, // a trigger that deletes each message written
    ViewOfItsOwn, // a view the client never made
    MessagePagesChainedDeep, // the first message page reached through interior pages each naming the next three times
    ContactChildNamedTwiceAlone, // the same in the address book
    MessageColumnRenamed, // one byte of the message table's text: `content` becomes `contenx`
    MessageColumnNamedRowid, // a column of the message table named "rowid"
    CheckCallsNoFunction, // a group table whose text checks its rows with a function SQLite lacks
    ContactFlagNull, // a person's `is_customer` read as NULL, beside the message pages zeroed
    MessageFieldSizesWrap, // a message's record names two fields of 2^63 - 7 bytes, whose sum wraps
    BookChildNamesAMessagePage, // the book's first page's place names the messages' first page
    ConversationsRootNamesABookPage, // one byte of the table list: the conversations' top page is a book page
    InfoAndConversationRootsExchanged, // the top pages of `tb_info` and of the conversations exchanged
    MessageCellCountBitFlipped, // one bit of a message page's count of cells, past what the page can hold
    ContactCellCountLowered, // one bit of a book page's count of cells taken off: its last people are read by no one
    BookAndSettingsRootsExchanged, // the top pages of the book and of the settings exchanged
    BookEntryNamesAnother, // a bit of the book's name and of its table's there: `tb_contact` becomes `tb_contacu` twice
    ContactRowidTwice, // a person's rowid made that of the next person on the page
    VersionPageZeroed, // the page of `tb_info`, the schema versions
    MessagePagesZeroed, // the first pages of both message tables
    ContactPageZeroed, // a page of address-book rows amid the others
    EveryTablePageZeroed, // the first page of every table but `tb_info`
    // And the first pages of both message tables, which VACUUM reads first:
    VersionAndMessagePagesZeroed, // the page of `tb_info` too
    VersionTableMissing, // a file that has no `tb_info`
    ContactChildNamedTwice, // an address-book page named in place of the next
    ContactPageNamesItself, // the address book's top page names itself in place of a page
    SchemaEntryGoesOn, // a table's entry in `sqlite_master` goes on with statements of its own
    Truncated, // cut to half its length
    HeaderOverwritten, // its first 100 bytes
    HeaderOverwrittenWithJournal, // and a journal (not to be played back) beside it
    WriteCutShort, // a process ended halfway through rewriting every message: its journal is hot
    WriteVersionFlipped, // a bit of the header's write version: the library will only read the file
    // The table list, and what the start's rewrite makes again of it:
    InfoCreateCaseFlipped, // the case bit of a letter of `tb_info`'s text: `CREATE` becomes `CrEATE`
    IndexCreateCaseFlipped, // the same in the messages' index: `CREATE` becomes `cREATE`
    FirstPageTypeFlipped, // a bit of page 1's type byte: the table list's leaf (0x0d) says interior (0x05)
    InteriorFirstPageTypeFlipped, // the same where the templates' tables make the list an interior page over two
    GroupsRootIsTheListsPage, // the book's groups' entry names page 1, the table list's, as their top
    FirstPageRightChildFlipped, // a bit of page 1's right child, past the file's end, the list over two pages
    PageSizeFlipped, // a bit of the header's page size
    // What the start's rewrite and the stores' versions make of a table list
    // and of versions that the library reads without complaint:
    InfoEntryTypeCaseFlipped, // the case bit of `tb_info`'s entry's type: `table` becomes `Table`
    GroupsEntryTypeCaseFlipped, // the same for the book's groups
    VersionKeyFlippedInItsIndex, // a bit of the key in `tb_info`'s index: `message_version` becomes `message_versioo`
    VersionValueFlipped, // a bit of the message version's value: `1.0.3` becomes `1.0.\xb3`
    VersionValueFlippedBesideAZeroedPage, // the same, in a file with a page of the book zeroed
};

// Where the file is: a folder that takes no writes, a disk with no room, or
// a file (and its journal) that takes none where the folder does.
enum class Folder { Writable, ReadOnly, Full, ReadOnlyFile };

// What a run of the client saw through its stores: counts read (-1 when the
// read failed) and what it logged.
struct ClientRun {
    int history = -1;
    int contacts = -1;
    int arrivedLater = -1;
    std::string log;
};

int countOf(const auto& list) { return list ? static_cast<int>(list->size()) : -1; }

// Stores made as the client makes them when it starts and when a chat is
// opened: the history and the address book are read, a message that has just
// arrived is stored, and the stores made after that read it back.
ClientRun runClient()
{
    // A new run judges the file again.
    DamagedStoreFile::forgetJudgedFiles();
    ClientRun run;
    platform::LogCapture log;
    {
        MessageFactory messages;
        ContactsFactory contacts;
        run.history = countOf(messages.getMessageWithContact(*partner(kPartner)));
        run.contacts = countOf(contacts.getContactsWithGroup("g1"));
        messages.setMessage({ message("new", kNewPartner, 60) });
    }
    {
        MessageFactory later;
        ContactsFactory laterContacts;
        run.arrivedLater = countOf(later.getMessageWithContact(*partner(kNewPartner)));
    }
    for (const auto& line : log.lines())
        run.log += line;
    return run;
}

std::string serialized(const ClientRun& run)
{
    return std::to_string(run.history) + " " + std::to_string(run.contacts) + " " + std::to_string(run.arrivedLater)
        + "\n" + run.log;
}

ClientRun parsed(const std::string& text)
{
    ClientRun run;
    std::istringstream in(text);
    in >> run.history >> run.contacts >> run.arrivedLater;
    in.ignore(1);
    run.log.assign(std::istreambuf_iterator<char>(in), {});
    return run;
}

class DamagedStore : public ::testing::Test {
protected:
    DamagedStore() { coretest::signIn(100); }
    ~DamagedStore() override { coretest::signOut(); }

    std::string db() const { return home.documents() + "/_cache.db"; }
    // Where the text of a damaged file would make a database of its own.
    std::string planted() const { return home.documents() + "/planted.db"; }

    // The history of one partner and the address book, as the client wrote them.
    void fill()
    {
        MessageFactory messages;
        MessageList list;
        // With a photo and a voice clip each: every column a message
        // record has by position is then a value.
        for (int i = 0; i < kMessages; ++i) {
            list.push_back(message("m" + std::to_string(i), kPartner, i));
            list.back()->photos = "[{\"url\":\"http://h/p" + std::to_string(i) + ".jpg\"}]";
            list.back()->sounds = "[{\"url\":\"http://h/s" + std::to_string(i) + ".amr\"}]";
        }
        ASSERT_TRUE(messages.setMessage(list));
        ContactsFactory contacts;
        auto group = std::make_shared<GroupInfo>();
        group->uid = "g1";
        group->name = "一年级一班";
        group->type = 1;
        ContactList people;
        for (int i = 0; i < kContacts; ++i) {
            auto c = partner(1000 + i);
            c->type = 1;
            // Every column of a person is then a value.
            c->phone = "1380000" + std::to_string(1000 + i);
            people.push_back(c);
        }
        ASSERT_TRUE(contacts.setAddressBook({ group }, { people }));
        // The book's record, as the contacts screen writes it.
        sqliteTool(db(), "INSERT INTO tb_info VALUES ('" + ContactsFactory::bookRecordKey(100) + "', '1');");
        // The magazines, whose ids are never given out twice: the counter
        // has passed the last row, removed since.
        ASSERT_TRUE(ORBDBHelper::sharedORBDBHelper()->tableExists(ORBDBHelper::kMagazines));
        sqliteTool(db(),
            "INSERT INTO tb_magazines (n_name, n_post_id) VALUES ('一', 1), ('二', 2), ('三', 3);"
            "DELETE FROM tb_magazines WHERE n_id = 3;");
    }

    // Changes the text of a table's making, as a byte flipped in it would.
    void rewriteSchema(const std::string& table, const std::string& from, const std::string& to)
    {
        sqliteTool(db(),
            "PRAGMA writable_schema=ON; UPDATE sqlite_master SET sql=replace(sql, '" + from + "', '" + to
                + "') WHERE name='" + table + "';");
        ASSERT_NE(sqliteTool(db(), "SELECT sql FROM sqlite_master WHERE name='" + table + "';").find(to),
            std::string::npos);
    }

    void zeroPage(int page)
    {
        const int size = toolInt(db(), "PRAGMA page_size;");
        ASSERT_GT(page, 0);
        std::fstream file(db(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(std::streamoff(page - 1) * size);
        file.write(std::string(static_cast<std::size_t>(size), '\0').data(), size);
        ASSERT_TRUE(file.good());
    }

    // Makes a cell of an interior page of a table name `child` in place of
    // the page it named, whose rows are then lost.
    void renameChild(const std::string& table, int page, int cell, int child)
    {
        const int size = toolInt(db(), "PRAGMA page_size;");
        std::fstream file(db(), std::ios::in | std::ios::out | std::ios::binary);
        std::string bytes(static_cast<std::size_t>(size), '\0');
        file.seekg(std::streamoff(page - 1) * size);
        file.read(bytes.data(), size);
        auto at = [&](std::size_t offset, int length) {
            unsigned value = 0;
            for (int i = 0; i < length; ++i)
                value = value << 8 | static_cast<unsigned char>(bytes.at(offset + i));
            return value;
        };
        ASSERT_EQ(at(0, 1), 0x05u) << "an interior page of a table";
        ASSERT_GT(at(3, 2), unsigned(cell));
        const unsigned named = at(at(12 + 2 * cell, 2), 4);
        loseLeaf(table, static_cast<int>(named));
        const char pointer[] = { char(child >> 24), char(child >> 16), char(child >> 8), char(child) };
        file.seekp(std::streamoff(page - 1) * size + at(12 + 2 * cell, 2));
        file.write(pointer, 4);
        ASSERT_TRUE(file.good());
    }

    // The first cell of a leaf of the messages: its payload's size made
    // 2^64 - 1 and its record's first bytes replaced by `header`, its rowid
    // as it was; its row no longer reads.
    void rewriteFirstRecord(int leaf, const std::string& header)
    {
        const int size = toolInt(db(), "PRAGMA page_size;");
        std::fstream file(db(), std::ios::in | std::ios::out | std::ios::binary);
        std::string page(static_cast<std::size_t>(size), '\0');
        file.seekg(std::streamoff(leaf - 1) * size);
        file.read(page.data(), size);
        ASSERT_EQ(page.at(0), char(0x0d)) << "a leaf of a table";
        const std::size_t cell
            = std::size_t(static_cast<unsigned char>(page.at(8))) << 8 | static_cast<unsigned char>(page.at(9));
        std::size_t at = cell;
        while (static_cast<unsigned char>(page.at(at)) & 0x80)
            ++at; // the payload's size
        const std::size_t rowidAt = ++at;
        long long rowid = 0;
        while (static_cast<unsigned char>(page.at(at)) & 0x80)
            rowid = rowid << 7 | (page.at(at++) & 0x7f);
        rowid = rowid << 7 | page.at(at++);
        const auto lost = column("tb_message", kMessageRow, "rowid=" + std::to_string(rowid));
        ASSERT_EQ(lost.size(), 1u);
        lostTexts.insert(lost.front());
        const std::string damaged = std::string(9, char(0xff)) + page.substr(rowidAt, at - rowidAt) + header;
        ASSERT_LT(cell + damaged.size(), std::size_t(size));
        file.seekp(std::streamoff(leaf - 1) * size + std::streamoff(cell));
        file.write(damaged.data(), std::streamsize(damaged.size()));
        ASSERT_TRUE(file.good());
    }

    void zeroRootPages(const std::string& where)
    {
        const int conversations = rootOf("tb_message_contact");
        const int groups = rootOf("tb_contact_group");
        std::istringstream pages(sqliteTool(db(), "SELECT rootpage FROM sqlite_master WHERE " + where + ";"));
        int count = 0;
        for (int page; pages >> page; ++count) {
            if (page == conversations)
                loseConversations();
            if (page == groups)
                loseGroups();
            zeroPage(page);
        }
        ASSERT_GT(count, 0);
    }

    int rootOf(const std::string& table)
    {
        return toolInt(db(), "SELECT rootpage FROM sqlite_master WHERE name='" + table + "';");
    }

    // The top page of `table` in its entry of the table list, on a page of
    // the list, made `page` (both within one byte).
    void setRoot(const std::string& table, int page)
    {
        ASSERT_LT(page, 128);
        const int was = rootOf(table);
        ASSERT_LT(was, 128);
        const int size = toolInt(db(), "PRAGMA page_size;");
        std::istringstream pages(sqliteTool(db(), "SELECT pageno FROM dbstat WHERE name='sqlite_schema';"));
        std::fstream file(db(), std::ios::in | std::ios::out | std::ios::binary);
        std::string list(static_cast<std::size_t>(size), '\0');
        std::size_t at = std::string::npos;
        int on = 0;
        while (at == std::string::npos && pages >> on) {
            file.seekg(std::streamoff(on - 1) * size);
            file.read(list.data(), size);
            at = list.find("table" + table + table);
        }
        ASSERT_NE(at, std::string::npos) << table;
        const std::size_t root = at + 5 + 2 * table.size();
        ASSERT_EQ(static_cast<unsigned char>(list.at(root)), unsigned(was));
        file.clear();
        file.seekp(std::streamoff(on - 1) * size + std::streamoff(root));
        const char byte = char(page);
        file.write(&byte, 1);
        ASSERT_TRUE(file.good());
    }

    void loseGroups()
    {
        const auto all = column("tb_contact_group", kGroupRow);
        lostGroups.insert(all.begin(), all.end());
    }

    void loseConversations()
    {
        const auto all = column("tb_message_contact", kConversationRow);
        lostConversations.insert(all.begin(), all.end());
    }

    // A leaf of a table as the file holds it, the file open to write it back.
    struct Leaf {
        std::fstream file;
        std::streamoff start = 0;
        std::string page;

        std::size_t byte(std::size_t offset) const { return static_cast<unsigned char>(page.at(offset)); }
        std::size_t cells() const { return byte(3) << 8 | byte(4); }
        // The rowid of the cell `cell`, and where its bytes are.
        std::pair<long long, std::string> rowidOf(std::size_t cell, std::size_t& at) const
        {
            at = byte(8 + 2 * cell) << 8 | byte(9 + 2 * cell);
            while (byte(at) & 0x80)
                ++at; // the payload's size
            ++at;
            std::size_t end = at;
            long long rowid = 0;
            while (byte(end) & 0x80)
                rowid = rowid << 7 | (byte(end++) & 0x7f);
            rowid = rowid << 7 | byte(end++);
            return std::make_pair(rowid, page.substr(at, end - at));
        }
    };

    void readLeaf(int leaf, Leaf& into)
    {
        const int size = toolInt(db(), "PRAGMA page_size;");
        into.file.open(db(), std::ios::in | std::ios::out | std::ios::binary);
        into.start = std::streamoff(leaf - 1) * size;
        into.page.assign(static_cast<std::size_t>(size), '\0');
        into.file.seekg(into.start);
        into.file.read(into.page.data(), size);
        ASSERT_EQ(into.page.at(0), char(0x0d)) << "a leaf of a table";
    }

    // The first cell of a leaf of the book takes the rowid of the second:
    // the person of the second is read under it once more, and dropped.
    void rowidOfTheNext(int leaf)
    {
        Leaf page;
        ASSERT_NO_FATAL_FAILURE(readLeaf(leaf, page));
        std::size_t first = 0;
        std::size_t second = 0;
        const auto [firstRowid, firstBytes] = page.rowidOf(0, first);
        const auto [secondRowid, secondBytes] = page.rowidOf(1, second);
        ASSERT_EQ(firstBytes.size(), secondBytes.size());
        ASSERT_EQ(secondRowid, firstRowid + 1);
        const auto lost = column("tb_contact", kPersonRow, "rowid=" + std::to_string(secondRowid));
        ASSERT_EQ(lost.size(), 1u);
        lostNames.insert(lost.front());
        page.file.seekp(page.start + std::streamoff(first));
        page.file.write(secondBytes.data(), std::streamsize(secondBytes.size()));
        ASSERT_TRUE(page.file.good());
    }

    // One bit of a leaf's count of cells flipped, to a count past what the
    // page can hold.
    void flipCellCount(int leaf)
    {
        const int size = toolInt(db(), "PRAGMA page_size;");
        std::fstream file(db(), std::ios::in | std::ios::out | std::ios::binary);
        char count[2];
        file.seekg(std::streamoff(leaf - 1) * size + 3);
        file.read(count, 2);
        const int cells = static_cast<unsigned char>(count[0]) << 8 | static_cast<unsigned char>(count[1]);
        ASSERT_LT(cells, 256);
        count[0] = char(0x04);
        ASSERT_GT(0x400 + cells, (size - 8) / 6) << "more cells than the page can hold";
        file.seekp(std::streamoff(leaf - 1) * size + 3);
        file.write(count, 2);
        ASSERT_TRUE(file.good());
    }

    // The lowest bit set of a book leaf's count of cells taken off: the page
    // still holds together, and the people of its last cells are not read.
    void lowerCellCount(int leaf)
    {
        Leaf page;
        ASSERT_NO_FATAL_FAILURE(readLeaf(leaf, page));
        const std::size_t cells = page.cells();
        const std::size_t lowered = cells & (cells - 1);
        ASSERT_GT(lowered, 0u) << "a page of no cells is refused whole";
        for (std::size_t cell = lowered; cell < cells; ++cell) {
            std::size_t at = 0;
            const long long rowid = page.rowidOf(cell, at).first;
            const auto lost = column("tb_contact", kPersonRow, "rowid=" + std::to_string(rowid));
            ASSERT_EQ(lost.size(), 1u);
            lostNames.insert(lost.front());
        }
        const char count[] = { char(lowered >> 8), char(lowered & 0xff) };
        page.file.seekp(page.start + 3);
        page.file.write(count, 2);
        ASSERT_TRUE(page.file.good());
    }

    // The first leaf of a table's interior top page named again by its next cell.
    void childNamedTwice(const std::string& table)
    {
        const int root = toolInt(db(), "SELECT rootpage FROM sqlite_master WHERE name='" + table + "';");
        const int first = toolInt(db(), "SELECT pageno FROM dbstat WHERE name='" + table + "' AND path='/000/';");
        ASSERT_GT(first, 0);
        renameChild(table, root, 1, first);
    }

    // The first cell of a table's interior top page names `child`.
    void firstChildNames(const std::string& table, int child)
    {
        const int root = toolInt(db(), "SELECT rootpage FROM sqlite_master WHERE name='" + table + "';");
        renameChild(table, root, 0, child);
    }
    int leaf(const std::string& table, const std::string& which)
    {
        const std::string leaves = "FROM dbstat WHERE name='" + table + "' AND pagetype='leaf'";
        const int count = toolInt(db(), "SELECT count(*) " + leaves + ";");
        EXPECT_GE(count, 3);
        const int at = which == "last" ? count - 1 : which == "first" ? 0 : count / 2;
        return toolInt(db(), "SELECT pageno " + leaves + " ORDER BY path LIMIT 1 OFFSET " + std::to_string(at) + ";");
    }
    // Pages added past the file's end, each an interior page of the
    // messages naming the next in both its cells and as its right child;
    // the last names the messages' first page, and the top page names the
    // first of them in its place. Every row still reads, but a reading of
    // the rows that follows what the pages name goes through the first page
    // 3^16 times (the chain within the depth SQLite's cursor goes to): only
    // SQLite's check of the structure, which stops at the first page named
    // twice, is over at once.
    void chainDeep()
    {
        constexpr int kDepth = 16;
        const int size = toolInt(db(), "PRAGMA page_size;");
        const int root = toolInt(db(), "SELECT rootpage FROM sqlite_master WHERE name='tb_message';");
        const int first = toolInt(db(), "SELECT pageno FROM dbstat WHERE name='tb_message' AND path='/000/';");
        const int pages = static_cast<int>(*FileUtil::fileSize(db()) / size);
        ASSERT_GT(first, 0);
        std::fstream file(db(), std::ios::in | std::ios::out | std::ios::binary);
        auto number = [](unsigned value) {
            return std::string { char(value >> 24), char(value >> 16), char(value >> 8), char(value) };
        };
        for (int i = 1; i <= kDepth; ++i) {
            const unsigned next = i == kDepth ? unsigned(first) : unsigned(pages + i + 1);
            std::string page(static_cast<std::size_t>(size), '\0');
            // Two cells at the page's end: the next page and a key of 1,000,000.
            const std::string cell = number(next) + std::string { char(0x80 | 61), char(0x84), char(0x40) };
            const std::size_t second = page.size() - cell.size();
            const std::size_t firstCell = second - cell.size();
            page.replace(second, cell.size(), cell);
            page.replace(firstCell, cell.size(), cell);
            const std::string header = std::string { char(0x05), 0, 0, 0, 2, char(firstCell >> 8), char(firstCell & 0xff), 0 }
                + number(next) + std::string { char(firstCell >> 8), char(firstCell & 0xff), char(second >> 8), char(second & 0xff) };
            page.replace(0, header.size(), header);
            file.seekp(std::streamoff(pages + i - 1) * size);
            file.write(page.data(), size);
        }
        // The file's size in its header, and the top page's first cell.
        file.seekp(28);
        file.write(number(unsigned(pages + kDepth)).data(), 4);
        ASSERT_TRUE(file.good());
        file.close();
        renameChild("tb_message", root, 0, pages + 1);
        // Named again by the chain: nothing of it is lost.
        lostTexts.clear();
    }

    // Flips one bit of the first `bytes` found on page 1, the table list's,
    // or on another page.
    void flipOnFirstPage(const std::string& bytes, std::size_t offset, char bit = 1, int number = 1)
    {
        const int size = toolInt(db(), "PRAGMA page_size;");
        std::fstream file(db(), std::ios::in | std::ios::out | std::ios::binary);
        std::string page(static_cast<std::size_t>(size), '\0');
        file.seekg(std::streamoff(number - 1) * size);
        file.read(page.data(), std::streamsize(page.size()));
        const std::size_t at = page.find(bytes);
        ASSERT_NE(at, std::string::npos) << bytes;
        file.clear();
        file.seekp(std::streamoff(number - 1) * size + std::streamoff(at + offset));
        const char flipped = char(page[at + offset] ^ bit);
        file.write(&flipped, 1);
        ASSERT_TRUE(file.good());
    }

    // Page 1 an interior page over two (the templates' tables made too), its
    // right child named past the file's end: the entries of that child are
    // lost, and the tables they list (the groups', the magazines') with them.
    void rightChildPastTheEnd()
    {
        {
            MessageTemplateFactory templates;
        }
        const int size = toolInt(db(), "PRAGMA page_size;");
        std::fstream file(db(), std::ios::in | std::ios::out | std::ios::binary);
        std::string first(static_cast<std::size_t>(size), '\0');
        file.read(first.data(), size);
        ASSERT_EQ(first.at(100), char(0x05)) << "the list over two pages";
        ASSERT_EQ(first.at(108), 0) << "a right child within 2^24 pages";
        const int right = static_cast<unsigned char>(first.at(110)) << 8 | static_cast<unsigned char>(first.at(111));
        std::string child(static_cast<std::size_t>(size), '\0');
        file.seekg(std::streamoff(right - 1) * size);
        file.read(child.data(), size);
        for (const std::string table : { "tb_contact_group", "tb_magazines" })
            ASSERT_NE(child.find("table" + table + table), std::string::npos) << table;
        for (const std::string table : { "tb_info", "tb_message", "tb_message_contact", "tb_contact" })
            ASSERT_EQ(child.find("table" + table + table), std::string::npos) << table;
        loseGroups();
        file.close();
        flipByte(108, 0, 0x01);
    }

    // Flips `bits` of the byte at `offset` of the file, which holds `was`.
    void flipByte(std::streamoff offset, char was, char bits)
    {
        std::fstream file(db(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekg(offset);
        char byte = 0;
        file.read(&byte, 1);
        ASSERT_EQ(byte, was) << "at " << offset;
        byte = char(byte ^ bits);
        file.seekp(offset);
        file.write(&byte, 1);
        ASSERT_TRUE(file.good());
    }

    void damage(Damage kind)
    {
        switch (kind) {
        case Damage::MessageChildNamedTwice:
            return childNamedTwice("tb_message");
        case Damage::ContactChildNamedTwiceAlone:
            return childNamedTwice("tb_contact");
        case Damage::MessageColumnRenamed:
            return rewriteSchema("tb_message", "`content`", "`contenx`");
        case Damage::MessageGroupRenamed:
            return rewriteSchema("tb_message", "`group`", "`groux`");
        case Damage::MessageChildNamedForward:
            return firstChildNames("tb_message", leaf("tb_message", "last"));
        case Damage::MessageChildNamesABookPage:
            return firstChildNames("tb_message", leaf("tb_contact", "middle"));
        case Damage::TwoContactPagesZeroed: {
            const std::string leaves = "FROM dbstat WHERE name='tb_contact' AND pagetype='leaf' ORDER BY path";
            ASSERT_GE(toolInt(db(), "SELECT count(*) FROM dbstat WHERE name='tb_contact' AND pagetype='leaf';"), 5);
            std::vector<int> pages;
            for (int at : { 1, 3 }) {
                pages.push_back(toolInt(db(), "SELECT pageno " + leaves + " LIMIT 1 OFFSET " + std::to_string(at) + ";"));
                loseLeaf("tb_contact", pages.back());
            }
            for (int page : pages)
                zeroPage(page);
            return;
        }
        case Damage::EntryTypeFlipped:
            return flipOnFirstPage("tabletb_messagetb_message", 4);
        case Damage::EntryNameFlipped:
            return flipOnFirstPage("tabletb_contacttb_contact", 14);
        case Damage::EntryNamedAsTheBook: {
            std::fstream file(db(), std::ios::in | std::ios::out | std::ios::binary);
            std::string page(static_cast<std::size_t>(toolInt(db(), "PRAGMA page_size;")), '\0');
            file.read(page.data(), std::streamsize(page.size()));
            const std::size_t at = page.find("tabletb_messagetb_message");
            ASSERT_NE(at, std::string::npos);
            file.seekp(std::streamoff(at + 5));
            file.write("tb_contact", 10);
            ASSERT_TRUE(file.good());
            return;
        }
        case Damage::EntryCreateFlipped:
            return flipOnFirstPage("CREATE TABLE `tb_message`", 2);
        case Damage::IndexColumnRenamed:
            return flipOnFirstPage("`time`)", 3);
        case Damage::MessageCheckOfItsOwn:
            return rewriteSchema("tb_message", "PRIMARY KEY", "CHECK (`target_uid` < 8), PRIMARY KEY");
        case Damage::TriggerOfItsOwn:
            sqliteTool(db(), "CREATE TRIGGER tr_own AFTER INSERT ON tb_message BEGIN DELETE FROM tb_message WHERE "
                             "rowid=NEW.rowid; END;");
            ASSERT_EQ(toolInt(db(), "SELECT count(*) FROM sqlite_master WHERE name='tr_own';"), 1);
            return;
        case Damage::ViewOfItsOwn:
            sqliteTool(db(), "CREATE VIEW v_own AS SELECT uid FROM tb_message;");
            ASSERT_EQ(toolInt(db(), "SELECT count(*) FROM sqlite_master WHERE name='v_own';"), 1);
            return;
        case Damage::MessagePagesChainedDeep:
            return chainDeep();
        case Damage::UniqueIndexOfItsOwn:
            sqliteTool(db(), "CREATE UNIQUE INDEX idx_own ON tb_message(target_uid) WHERE target_uid > 7;");
            ASSERT_EQ(toolInt(db(), "SELECT count(*) FROM sqlite_master WHERE name='idx_own';"), 1);
            return;
        case Damage::MessageColumnNamedRowid:
            return rewriteSchema("tb_message", "`photos`", "`rowid`");
        case Damage::CheckCallsNoFunction:
            return rewriteSchema("tb_contact_group", "PRIMARY KEY", "CHECK (no_such_function(`uid`)), PRIMARY KEY");
        case Damage::ContactFlagNull:
            // Its column's NOT NULL away for the write, and back.
            rewriteSchema("tb_contact", "`is_customer` integer DEFAULT 0 NOT NULL", "`is_customer` integer");
            sqliteTool(db(), "UPDATE tb_contact SET is_customer=NULL WHERE uid=1100;");
            rewriteSchema("tb_contact", "`is_customer` integer,", "`is_customer` integer DEFAULT 0 NOT NULL,");
            lostNames.insert(column("tb_contact", kPersonRow, "uid=1100").at(0));
            return damage(Damage::MessagePagesZeroed);
        case Damage::MessageFieldSizesWrap:
            return rewriteFirstRecord(leaf("tb_message", "first"), std::string(1, char(19)) + std::string(18, char(0xff)));
        case Damage::BookChildNamesAMessagePage:
            return firstChildNames("tb_contact", leaf("tb_message", "first"));
        case Damage::ConversationsRootNamesABookPage:
            loseConversations();
            return setRoot("tb_message_contact", leaf("tb_contact", "middle"));
        case Damage::InfoAndConversationRootsExchanged: {
            loseConversations();
            const int info = rootOf("tb_info");
            const int conversations = rootOf("tb_message_contact");
            setRoot("tb_info", conversations);
            return setRoot("tb_message_contact", info);
        }
        case Damage::ContactRowidTwice:
            return rowidOfTheNext(leaf("tb_contact", "middle"));
        case Damage::MessageCellCountBitFlipped: {
            const int page = leaf("tb_message", "middle");
            loseLeaf("tb_message", page);
            return flipCellCount(page);
        }
        case Damage::ContactCellCountLowered:
            return lowerCellCount(leaf("tb_contact", "middle"));
        case Damage::BookAndSettingsRootsExchanged: {
            // The settings' table, as the settings store makes it.
            ASSERT_TRUE(SettingFactory().setValue("1", "sound"));
            const auto people = column("tb_contact", kPersonRow);
            lostNames.insert(people.begin(), people.end());
            const int book = rootOf("tb_contact");
            const int settings = rootOf("tb_setting");
            setRoot("tb_setting", book);
            return setRoot("tb_contact", settings);
        }
        case Damage::BookEntryNamesAnother: {
            const auto people = column("tb_contact", kPersonRow);
            lostNames.insert(people.begin(), people.end());
            flipOnFirstPage("tabletb_contacttb_contact", 14);
            return flipOnFirstPage("tabletb_contacutb_contact", 24);
        }
        case Damage::VersionPageZeroed:
            return zeroRootPages("name='tb_info'");
        case Damage::MessagePagesZeroed:
            return zeroRootPages("name IN ('tb_message', 'tb_message_contact')");
        case Damage::ContactPageZeroed: {
            const int leaves
                = toolInt(db(), "SELECT count(*) FROM dbstat WHERE name='tb_contact' AND pagetype='leaf';");
            ASSERT_GE(leaves, 3) << "rows on both sides of the page";
            const std::string middle
                = "FROM dbstat WHERE name='tb_contact' AND pagetype='leaf' ORDER BY pageno LIMIT 1 OFFSET "
                + std::to_string(leaves / 2) + ";";
            const int page = toolInt(db(), "SELECT pageno " + middle);
            loseLeaf("tb_contact", page);
            return zeroPage(page);
        }
        case Damage::EveryTablePageZeroed:
            return zeroRootPages("type='table' AND name<>'tb_info'");
        case Damage::VersionAndMessagePagesZeroed:
            damage(Damage::VersionPageZeroed);
            return damage(Damage::MessagePagesZeroed);
        case Damage::VersionTableMissing:
            sqliteTool(db(), "DROP TABLE tb_info; VACUUM;");
            return damage(Damage::MessagePagesZeroed);
        case Damage::ContactChildNamedTwice:
        case Damage::ContactPageNamesItself: {
            const int root = toolInt(db(), "SELECT rootpage FROM sqlite_master WHERE name='tb_contact';");
            const int first = toolInt(db(), "SELECT pageno FROM dbstat WHERE name='tb_contact' AND path='/000/';");
            ASSERT_GT(first, 0);
            renameChild("tb_contact", root, 1, kind == Damage::ContactChildNamedTwice ? first : root);
            return damage(Damage::MessagePagesZeroed);
        }
        case Damage::SchemaEntryGoesOn:
            sqliteTool(db(),
                "CREATE TABLE tb_planted (a); INSERT INTO tb_planted VALUES (1); PRAGMA writable_schema=ON; "
                "UPDATE sqlite_master SET sql='CREATE TABLE tb_planted (a); ATTACH ''"
                    + planted() + "'' AS p; CREATE TABLE p.x (a);' WHERE name='tb_planted';");
            ASSERT_EQ(toolInt(db(), "SELECT count(*) FROM tb_planted;"), 1);
            return damage(Damage::MessagePagesZeroed);
        case Damage::Truncated:
            loseBeyond(static_cast<int>(*FileUtil::fileSize(db()) / 2 / toolInt(db(), "PRAGMA page_size;")));
            ASSERT_EQ(::truncate(db().c_str(), static_cast<off_t>(*FileUtil::fileSize(db()) / 2)), 0);
            return;
        case Damage::WriteCutShort: {
            // The tool changes every message in one transaction, through a
            // cache of one page, so that the changed pages reach the file
            // before the commit; then it stops itself and is killed.
            const pid_t writer = testsupport::spawnProcess({ "sqlite3", "-batch", db(),
                                                               "PRAGMA cache_size=1; BEGIN; UPDATE tb_message SET "
                                                               "content='未提交的改写' || content;",
                                                               ".shell kill -STOP $PPID" },
                home.documents() + "/writer.log");
            ASSERT_GT(writer, 0);
            int status = 0;
            ASSERT_EQ(::waitpid(writer, &status, WUNTRACED), writer);
            ASSERT_TRUE(WIFSTOPPED(status)) << testsupport::readTextFile(home.documents() + "/writer.log");
            ::kill(writer, SIGKILL);
            ASSERT_EQ(::waitpid(writer, &status, 0), writer);
            ASSERT_TRUE(FileUtil::exists(db() + "-journal"));
            return;
        }
        case Damage::WriteVersionFlipped:
            return flipByte(18, 1, 0x20);
        case Damage::InfoCreateCaseFlipped:
            return flipOnFirstPage("CREATE TABLE `tb_info`", 1, 0x20);
        case Damage::IndexCreateCaseFlipped:
            return flipOnFirstPage("CREATE INDEX `idx_message_partner_time`", 0, 0x20);
        case Damage::InteriorFirstPageTypeFlipped:
            {
                MessageTemplateFactory templates;
            }
            [[fallthrough]];
        case Damage::FirstPageTypeFlipped:
            // The table list's top: a leaf, or an interior page.
            return flipByte(100, kind == Damage::FirstPageTypeFlipped ? 0x0d : 0x05, 0x08);
        case Damage::GroupsRootIsTheListsPage:
            loseGroups();
            return setRoot("tb_contact_group", 1);
        case Damage::FirstPageRightChildFlipped:
            return rightChildPastTheEnd();
        case Damage::PageSizeFlipped:
            ASSERT_EQ(toolInt(db(), "PRAGMA page_size;"), 4096);
            return flipByte(17, 0, 0x02);
        case Damage::InfoEntryTypeCaseFlipped:
            return flipOnFirstPage("tabletb_infotb_info", 0, 0x20);
        case Damage::GroupsEntryTypeCaseFlipped:
            return flipOnFirstPage("tabletb_contact_grouptb_contact_group", 0, 0x20);
        case Damage::VersionKeyFlippedInItsIndex:
            return flipOnFirstPage("message_version", 14, 1, rootOf("sqlite_autoindex_tb_info_1"));
        case Damage::VersionValueFlippedBesideAZeroedPage:
            damage(Damage::ContactPageZeroed);
            [[fallthrough]];
        case Damage::VersionValueFlipped:
            return flipOnFirstPage("message_version1.0.3", 19, char(0x80), rootOf("tb_info"));
        case Damage::HeaderOverwrittenWithJournal:
            // A journal whose first byte is zero is one SQLite leaves alone.
            ASSERT_TRUE(FileUtil::write(db() + "-journal", std::string_view("\0left from the last run", 23)));
            [[fallthrough]];
        case Damage::HeaderOverwritten: {
            std::fstream file(db(), std::ios::in | std::ios::out | std::ios::binary);
            file.write(std::string(100, '#').data(), 100);
            ASSERT_TRUE(file.good());
            return;
        }
        }
    }

    ClientRun runIn(Folder folder)
    {
        switch (folder) {
        case Folder::Writable:
            return runClient();
        case Folder::ReadOnly: {
            ::chmod(home.documents().c_str(), 0555);
            ClientRun run;
            {
                testsupport::PermissionsEnforced enforced;
                run = runClient();
            }
            ::chmod(home.documents().c_str(), 0755);
            return run;
        }
        case Folder::ReadOnlyFile: {
            for (const char* file : { "", "-journal" })
                ::chmod((db() + file).c_str(), 0444);
            ClientRun run;
            {
                testsupport::PermissionsEnforced enforced;
                run = runClient();
            }
            for (const char* file : { "", "-journal" })
                ::chmod((db() + file).c_str(), 0644);
            return run;
        }
        case Folder::Full: {
            // Not a byte can be written: no file grows, no journal is made.
            auto out = testsupport::runWithFileSizeLimit(0, [] { return serialized(runClient()); });
            return out ? parsed(*out) : ClientRun {};
        }
        }
        return {};
    }

    // Files beside the store's whose names say they were set aside (their
    // journals aside).
    std::vector<std::string> setAside() const
    {
        std::vector<std::string> found;
        for (const auto& name : FileUtil::list(home.documents()).value_or(std::vector<std::string> {})) {
            if (name.rfind("_cache.db.corrupt-", 0) == 0 && name.find("-journal") == std::string::npos)
                found.push_back(name);
        }
        return found;
    }

    // The values of a column on a leaf of a table, read before the damage:
    // a table's leaves in their order hold its rows in rowid order.
    std::set<std::string> leafValues(const std::string& table, const std::string& column, int leaf)
    {
        std::istringstream pages(sqliteTool(db(),
            "SELECT pageno, ncell FROM dbstat WHERE name='" + table + "' AND pagetype='leaf' ORDER BY path;"));
        int before = 0;
        std::string line;
        while (std::getline(pages, line)) {
            const int page = std::atoi(line.c_str());
            const int cells = std::atoi(line.substr(line.find('|') + 1).c_str());
            if (page == leaf) {
                std::istringstream values(sqliteTool(db(),
                    "SELECT " + column + " FROM " + table + " ORDER BY rowid LIMIT " + std::to_string(cells)
                        + " OFFSET " + std::to_string(before) + ";"));
                std::set<std::string> found;
                for (std::string value; std::getline(values, value);)
                    found.insert(value);
                EXPECT_EQ(found.size(), std::size_t(cells));
                return found;
            }
            before += cells;
        }
        ADD_FAILURE() << "page " << leaf << " is no leaf of " << table;
        return {};
    }
    // The rows of a leaf that no longer read: their texts or names.
    void loseLeaf(const std::string& table, int leaf)
    {
        auto& into = table == "tb_message" ? lostTexts : lostNames;
        const auto values = leafValues(table, table == "tb_message" ? kMessageRow : kPersonRow, leaf);
        into.insert(values.begin(), values.end());
    }
    // The rows a file cut after page `last` still has: a leaf beyond it, or
    // under a top page beyond it, is lost.
    void loseBeyond(int last)
    {
        if (rootOf("tb_message_contact") > last)
            loseConversations();
        if (rootOf("tb_contact_group") > last)
            loseGroups();
        for (const std::string table : { "tb_message", "tb_contact" }) {
            const int root = toolInt(db(), "SELECT rootpage FROM sqlite_master WHERE name='" + table + "';");
            std::istringstream leaves(sqliteTool(db(),
                "SELECT pageno FROM dbstat WHERE name='" + table + "' AND pagetype='leaf' ORDER BY path;"));
            for (int leaf; leaves >> leaf;) {
                if (leaf > last || root > last)
                    loseLeaf(table, leaf);
            }
        }
    }
    // The values of an expression over a table's rows, in order.
    std::vector<std::string> column(const std::string& table, const std::string& name, const std::string& where = "1") const
    {
        std::istringstream values(
            sqliteTool(db(), "SELECT " + name + " FROM " + table + " WHERE " + where + " ORDER BY 1;"));
        std::vector<std::string> found;
        for (std::string value; std::getline(values, value);)
            found.push_back(value);
        return found;
    }

    coretest::TempHome home;
    // What of the damaged tables no longer reads: message texts, and names
    // of people.
    std::set<std::string> lostTexts;
    std::set<std::string> lostNames;
    std::set<std::string> lostConversations;
    std::set<std::string> lostGroups;
};

TEST_F(DamagedStore, NothingThatStillReadsIsDroppedAndAnUnreadableFileIsKeptAside)
{
    enum class Outcome {
        Whole, // no damage: the file is the store, nothing is set aside or copied
        Copied, // what reads is copied into a fresh store, and the file kept whole beside it
        MovedAside, // the file is kept whole beside a fresh store
        LeftAsItIs, // no fresh store can be written: not a byte of it changes
    };
    struct Case {
        const char* name;
        Damage damage;
        Folder folder;
        Outcome outcome;
        // What the run reads: the history, the address book, the new message.
        int history;
        int contacts;
        int arrivedLater;
        const char* logged;
        // The address book the next run reads, once a fresh store could be written.
        int contactsNextRun;
    };
    const char* kept = "kept in place, since no fresh one can be written (";
    const char* copied = "what still reads is copied into a fresh one; moved aside to ";
    const char* moved = "moved aside to ";
    const char* notTheClients = "(its table tb_message is not the one the client makes): what still reads is copied";
    const Case cases[] = {
        // The versions hold nothing of the person's: without them the rest
        // is copied all the same, and they are written as a new store does.
        { "version page zeroed", Damage::VersionPageZeroed, Folder::Writable, Outcome::Copied, kMessages, kContacts, 1,
            copied, kContacts },
        // No fresh store can be written: the file stays as it is until one can.
        { "version page zeroed, read-only folder", Damage::VersionPageZeroed, Folder::ReadOnly, Outcome::LeftAsItIs,
            kMessages, kContacts, 0, kept, kContacts },
        { "version page zeroed, full disk", Damage::VersionPageZeroed, Folder::Full, Outcome::LeftAsItIs, kMessages,
            kContacts, 0, kept, kContacts },
        { "version and message pages zeroed", Damage::VersionAndMessagePagesZeroed, Folder::Writable, Outcome::Copied,
            0, kContacts, 1, copied, kContacts },
        { "versions missing, message pages zeroed", Damage::VersionTableMissing, Folder::Writable, Outcome::Copied, 0,
            kContacts, 1, copied, kContacts },
        // The history is unreadable, the address book is not: the book is
        // copied into a fresh file, which takes the messages arriving later.
        { "message pages zeroed", Damage::MessagePagesZeroed, Folder::Writable, Outcome::Copied, 0, kContacts, 1, copied,
            kContacts },
        { "message pages zeroed, read-only folder", Damage::MessagePagesZeroed, Folder::ReadOnly, Outcome::LeftAsItIs,
            -1, kContacts, 0, "(unable to open database file)", kContacts },
        { "message pages zeroed, full disk", Damage::MessagePagesZeroed, Folder::Full, Outcome::LeftAsItIs, -1,
            kContacts, 0, kept, kContacts },
        // A page amid the address book: the rows on both sides of it are copied.
        { "address-book page zeroed", Damage::ContactPageZeroed, Folder::Writable, Outcome::Copied, kMessages,
            kContactsLeft, 1, "row(s) of tb_contact copied", kContactsLeft },
        { "two address-book pages zeroed, one between", Damage::TwoContactPagesZeroed, Folder::Writable,
            Outcome::Copied, kMessages, kContactsLeft, 1, "row(s) of tb_contact copied", kContactsLeft },
        // A page named in place of another: its rows are read once, and
        // the copy goes on past it. Seen by the structure check alone, which
        // a rewrite of the file would not (it passes the damage on).
        { "message page named twice", Damage::MessageChildNamedTwice, Folder::Writable, Outcome::Copied,
            kMessagesLeft, kContacts, 1, "row(s) of tb_message read twice, copied once", kContacts },
        // Named ahead of its place: every page between is read all the same.
        { "message page named forward", Damage::MessageChildNamedForward, Folder::Writable, Outcome::Copied,
            kMessagesLeft, kContacts, 1, "row(s) of tb_message read twice, copied once", kContacts },
        // A page of the address book named among the messages: the book is
        // whole, and its rows do not make messages (their fields are not a
        // message's).
        { "message page named as the book's", Damage::MessageChildNamesABookPage, Folder::Writable, Outcome::Copied,
            kMessagesLeft, kContacts, 1, "row(s) read in the pages of tb_message are another table's",
            kContacts },
        { "address-book page named twice, alone", Damage::ContactChildNamedTwiceAlone, Folder::Writable,
            Outcome::Copied, kMessages, kContactsLeft, 1, "row(s) of tb_contact read twice, copied once",
            kContactsLeft },
        { "address-book page named twice", Damage::ContactChildNamedTwice, Folder::Writable, Outcome::Copied, 0,
            kContactsLeft, 1, "row(s) of tb_contact read twice, copied once", kContactsLeft },
        { "address-book page names itself", Damage::ContactPageNamesItself, Folder::Writable, Outcome::Copied, 0,
            kContactsLeft, 1, "row(s) of tb_contact", kContactsLeft },
        // The table list read by position: one bit of an entry loses nothing.
        { "an entry's type flipped", Damage::EntryTypeFlipped, Folder::Writable, Outcome::Copied, kMessages, kContacts,
            1, "its table tb_message is read from the entry of tabld tb_message", kContacts },
        { "an entry's name flipped", Damage::EntryNameFlipped, Folder::Writable, Outcome::Copied, kMessages, kContacts,
            1, "its table tb_contact is read from the entry of table tb_contacu", kContacts },
        { "an entry named as the book's", Damage::EntryNamedAsTheBook, Folder::Writable, Outcome::Copied, kMessages,
            kContacts, 1, "its table tb_message is read from the entry of table tb_contact", kContacts },
        { "an entry's CREATE flipped", Damage::EntryCreateFlipped, Folder::Writable, Outcome::Copied, kMessages,
            kContacts, 1, copied, kContacts },
        { "an index's column renamed", Damage::IndexColumnRenamed, Folder::Writable, Outcome::Copied, kMessages,
            kContacts, 1, copied, kContacts },
        // The fresh tables are the client's own: the file's text makes nothing.
        { "a table's entry goes on", Damage::SchemaEntryGoesOn, Folder::Writable, Outcome::Copied, 0, kContacts, 1,
            "its table tb_planted is left behind", kContacts },
        // Columns by position: a name changed keeps every value.
        { "a column of the messages renamed", Damage::MessageColumnRenamed, Folder::Writable, Outcome::Copied,
            kMessages, kContacts, 1, notTheClients, kContacts },
        { "the messages' group column renamed", Damage::MessageGroupRenamed, Folder::Writable, Outcome::Copied,
            kMessages, kContacts, 1, notTheClients, kContacts },
        { "a column of the messages named rowid", Damage::MessageColumnNamedRowid, Folder::Writable, Outcome::Copied,
            kMessages, kContacts, 1, notTheClients, kContacts },
        { "a check calling a function SQLite lacks", Damage::CheckCallsNoFunction, Folder::Writable, Outcome::Copied,
            kMessages, kContacts, 1, copied, kContacts },
        // A file the client did not write refuses or drops what it writes.
        { "a check of the file's own", Damage::MessageCheckOfItsOwn, Folder::Writable, Outcome::Copied, kMessages,
            kContacts, 1, notTheClients, kContacts },
        { "a unique index of the file's own", Damage::UniqueIndexOfItsOwn, Folder::Writable, Outcome::Copied,
            kMessages, kContacts, 1, "(its index idx_own is not one the client makes)", kContacts },
        // The file's own trigger would delete each new message; its view
        // is nothing the client makes either.
        { "a trigger of the file's own", Damage::TriggerOfItsOwn, Folder::Writable, Outcome::Copied, kMessages,
            kContacts, 1, "(its trigger tr_own is not the client's)", kContacts },
        { "a view of the file's own", Damage::ViewOfItsOwn, Folder::Writable, Outcome::Copied, kMessages, kContacts, 1,
            "(its view v_own is not the client's)", kContacts },
        // Judged at once: the check stops at the first page named twice.
        { "message pages chained deep", Damage::MessagePagesChainedDeep, Folder::Writable, Outcome::Copied, kMessages,
            kContacts, 1, "row(s) of tb_message read twice, copied once", kContacts },
        // No row stops the copy: the one the fresh table refuses is passed over.
        // A record's field sizes that wrap: that message alone is lost.
        { "a message's field sizes that wrap", Damage::MessageFieldSizesWrap, Folder::Writable, Outcome::Copied,
            kMessagesLeft, kContacts, 1, "row(s) of tb_message copied; those of its pages that do not read are not",
            kContacts },
        // Rows of another table where a table's were: not taken as its
        // rows. The book that lost people is fetched again.
        { "a message page named among the book's", Damage::BookChildNamesAMessagePage, Folder::Writable,
            Outcome::Copied, kMessages, kContactsLeft, 1, "row(s) read in the pages of tb_contact are another table's",
            kContactsLeft },
        { "the conversations' top page named as a book page", Damage::ConversationsRootNamesABookPage,
            Folder::Writable, Outcome::Copied, kMessages, kContacts, 1,
            "row(s) read in the pages of tb_message_contact are another table's", kContacts },
        { "the top pages of the settings and the conversations exchanged", Damage::InfoAndConversationRootsExchanged,
            Folder::Writable, Outcome::Copied, kMessages, kContacts, 1,
            "row(s) read in the pages of tb_info are another table's", kContacts },
        // A rowid read twice in the book: the person read second is lost,
        // and the book is fetched again.
        { "a person's rowid made the next one's", Damage::ContactRowidTwice, Folder::Writable, Outcome::Copied,
            kMessages, kContactsLeft, 1, "row(s) of tb_contact read twice, copied once", kContactsLeft },
        // A page the library refuses is not read: its cells' pointers would
        // run over its cells.
        { "a message page's count of cells past what it holds", Damage::MessageCellCountBitFlipped,
            Folder::Writable, Outcome::Copied, kMessagesLeft, kContacts, 1,
            "row(s) of tb_message copied; those of its pages that do not read are not", kContacts },
        // People no tree reads any more, but the book's index lists: the
        // book is fetched again.
        { "a bit of a book page's count of cells taken off", Damage::ContactCellCountLowered, Folder::Writable,
            Outcome::Copied, kMessages, kContactsLeft, 1, "lists are not read: the book is fetched again",
            kContactsLeft },
        { "the top pages of the book and of the settings exchanged", Damage::BookAndSettingsRootsExchanged,
            Folder::Writable, Outcome::Copied, kMessages, kContactsLeft, 1,
            "row(s) read in the pages of tb_setting are another table's", kContactsLeft },
        { "the book's entry naming another table", Damage::BookEntryNamesAnother, Folder::Writable, Outcome::Copied,
            kMessages, kContactsLeft, 1, "lists are not read: the book is fetched again", kContactsLeft },
        { "a person's flag read as NULL", Damage::ContactFlagNull, Folder::Writable, Outcome::Copied, 0, kContactsLeft,
            1, "1 row(s) of tb_contact passed over, refused by the fresh table (NOT NULL constraint failed", kContactsLeft },
        // Nothing of the person's reads any more.
        { "every table's page zeroed", Damage::EveryTablePageZeroed, Folder::Writable, Outcome::MovedAside, 0, 0, 1,
            moved, 0 },
        // Its pages are read at the size at which page 1 reads as the table
        // list, in the encoding in which its entries' types read.
        { "header overwritten", Damage::HeaderOverwritten, Folder::Writable, Outcome::Copied, kMessages, kContacts, 1,
            "(file is not a database): what still reads is copied", kContacts },
        { "header overwritten, journal beside", Damage::HeaderOverwrittenWithJournal, Folder::Writable,
            Outcome::Copied, kMessages, kContacts, 1, copied, kContacts },
        { "header overwritten, full disk", Damage::HeaderOverwritten, Folder::Full, Outcome::LeftAsItIs, -1, -1, -1,
            kept, kContacts },
        { "header overwritten, read-only folder", Damage::HeaderOverwritten, Folder::ReadOnly, Outcome::LeftAsItIs, -1,
            -1, -1, kept, kContacts },
        // The pages before the cut read.
        { "truncated", Damage::Truncated, Folder::Writable, Outcome::Copied, kMessages, kContactsLeft, 1, copied,
            kContactsLeft },
        // A write cut short is played back by the library, as at any
        // opening: the file is whole, without the write.
        { "a write cut short", Damage::WriteCutShort, Folder::Writable, Outcome::Whole, kMessages, kContacts, 1, "",
            kContacts },
        // The library reads the file but will write nothing into it: every
        // later write of the client would fail.
        { "the write version flipped", Damage::WriteVersionFlipped, Folder::Writable, Outcome::Copied, kMessages,
            kContacts, 1, "(the library will only read it): what still reads is copied", kContacts },
        { "the write version flipped, read-only folder", Damage::WriteVersionFlipped, Folder::ReadOnly,
            Outcome::LeftAsItIs, kMessages, kContacts, 0, kept, kContacts },
        { "truncated, read-only folder", Damage::Truncated, Folder::ReadOnly, Outcome::LeftAsItIs, kSomeRead,
            kSomeRead, kSomeRead, kept, kContactsLeft },
        // A table's text the start's rewrite would not make again as it
        // stands: the table, and every row in it, would be left out.
        { "tb_info's CREATE case-flipped", Damage::InfoCreateCaseFlipped, Folder::Writable, Outcome::Copied,
            kMessages, kContacts, 1, "(its table tb_info's text is not made again by the rewrite", kContacts },
        { "an index's CREATE case-flipped", Damage::IndexCreateCaseFlipped, Folder::Writable, Outcome::Copied,
            kMessages, kContacts, 1, "(its index idx_message_partner_time's text is not made again by the rewrite",
            kContacts },
        // Page 1 is the table list's top whatever its type byte says: a
        // leaf or an interior page, by what its bytes hold.
        { "page 1's type byte flipped", Damage::FirstPageTypeFlipped, Folder::Writable, Outcome::Copied, kMessages,
            kContacts, 1, copied, kContacts },
        { "page 1's type byte flipped, the list over two pages", Damage::InteriorFirstPageTypeFlipped,
            Folder::Writable, Outcome::Copied, kMessages, kContacts, 1, copied, kContacts },
        // The table list's records are no table's rows, though they fit
        // the groups' five columns. The groups are lost: the book is
        // fetched again, and no person is read by group until then.
        { "the groups' top page named as page 1", Damage::GroupsRootIsTheListsPage, Folder::Writable,
            Outcome::Copied, kMessages, 0, 1, "its table tb_contact_group begins at no page of its own", 0 },
        // The list's entries on its right child are lost (the groups'), those
        // of its left are read, with their tables: the book is fetched again.
        { "page 1's right child past the file's end", Damage::FirstPageRightChildFlipped, Folder::Writable,
            Outcome::Copied, kMessages, 0, 1, copied, 0 },
        // The page size is the one at which page 1 reads as the table list.
        { "the header's page size flipped", Damage::PageSizeFlipped, Folder::Writable, Outcome::Copied, kMessages,
            kContacts, 1, "(file is not a database): what still reads is copied", kContacts },
        // An entry typed otherwise than the library writes it: the start's
        // rewrite would leave its table out, with every row.
        { "tb_info's entry typed Table", Damage::InfoEntryTypeCaseFlipped, Folder::Writable, Outcome::Copied,
            kMessages, kContacts, 1, "(its entry tb_info is typed 'Table')", kContacts },
        { "the groups' entry typed Table", Damage::GroupsEntryTypeCaseFlipped, Folder::Writable, Outcome::Copied,
            kMessages, kContacts, 1, "(its entry tb_contact_group is typed 'Table')", kContacts },
        // A version the store does not find, or finds other than any it
        // kept, over its rows: the rows are copied at the client's versions.
        { "the message version's key flipped in its index", Damage::VersionKeyFlippedInItsIndex, Folder::Writable,
            Outcome::Copied, kMessages, kContacts, 1,
            "(its version message_version does not read through the index of tb_info", kContacts },
        { "the message version's value flipped", Damage::VersionValueFlipped, Folder::Writable, Outcome::Copied,
            kMessages, kContacts, 1, "holds rows, its version message_version '1.0.", kContacts },
        { "the message version's value flipped, a book page zeroed", Damage::VersionValueFlippedBesideAZeroedPage,
            Folder::Writable, Outcome::Copied, kMessages, kContactsLeft, 1, "row(s) of tb_contact copied",
            kContactsLeft },
        // A journal that cannot be played back into a file that takes no
        // writes: the file is not judged from its half-written pages, and
        // the next run plays the journal back.
        { "a write cut short, read-only file", Damage::WriteCutShort, Folder::ReadOnlyFile, Outcome::Whole, -1, -1,
            -1, "", kContacts },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FileUtil::remove(home.documents());
        ASSERT_TRUE(FileUtil::createDirectory(home.documents()));
        fill();
        ASSERT_EQ(toolInt(db(), "SELECT count(*) FROM tb_message;"), kMessages);
        const std::vector<std::string> texts = column("tb_message", kMessageRow);
        const std::vector<std::string> names = column("tb_contact", kPersonRow);
        const std::vector<std::string> conversations = column("tb_message_contact", kConversationRow);
        const std::vector<std::string> groups = column("tb_contact_group", kGroupRow);
        const std::vector<std::string> infoKeys = column("tb_info", "key");
        ASSERT_FALSE(conversations.empty());
        lostTexts.clear();
        lostNames.clear();
        lostConversations.clear();
        lostGroups.clear();
        damage(c.damage);
        const auto damaged = FileUtil::read(db());
        ASSERT_TRUE(damaged);
        if (c.history == kMessagesLeft) {
            ASSERT_FALSE(lostTexts.empty());
        }
        if (c.contacts == kContactsLeft) {
            ASSERT_FALSE(lostNames.empty());
        }

        // What of the history and the book still reads: all but the rows
        // of the damaged pages.
        auto left = [](const std::vector<std::string>& all, const std::set<std::string>& lost) {
            std::vector<std::string> kept;
            std::copy_if(all.begin(), all.end(), std::back_inserter(kept), [&](const auto& row) { return !lost.count(row); });
            return kept;
        };
        const std::vector<std::string> textsLeft = left(texts, lostTexts);
        const std::vector<std::string> namesLeft = left(names, lostNames);
        auto expected = [&](int count, const std::vector<std::string>& kept) {
            return count == kMessagesLeft || count == kContactsLeft ? static_cast<int>(kept.size()) : count;
        };
        const int contacts = expected(c.contacts, namesLeft);
        const ClientRun run = runIn(c.folder);
        if (c.history != kSomeRead) {
            EXPECT_EQ(run.history, expected(c.history, textsLeft));
        }
        if (c.contacts != kSomeRead) {
            EXPECT_EQ(run.contacts, contacts);
        }
        if (c.arrivedLater != kSomeRead) {
            EXPECT_EQ(run.arrivedLater, c.arrivedLater);
        }
        EXPECT_NE(run.log.find(c.logged), std::string::npos) << run.log;

        const auto aside = setAside();
        // No half-made copy is left behind.
        EXPECT_FALSE(FileUtil::exists(db() + ".fresh"));
        EXPECT_FALSE(FileUtil::exists(planted()));
        switch (c.outcome) {
        case Outcome::Whole:
            EXPECT_TRUE(aside.empty());
            EXPECT_EQ(run.log.find("damaged store file"), std::string::npos) << run.log;
            EXPECT_EQ(column("tb_message", kMessageRow, "uid<>'new'"), texts);
            EXPECT_EQ(sqliteTool(db(), "PRAGMA integrity_check;"), "ok\n");
            EXPECT_FALSE(FileUtil::exists(db() + "-journal"));
            break;
        case Outcome::Copied: {
            if (aside.size() != 1) {
                ADD_FAILURE() << aside.size() << " files set aside";
                break;
            }
            // The client's own tables, every row that read (on both sides of
            // a page that did not), and the message that arrived in the run.
            const std::string tables = sqliteTool(db(), "SELECT name FROM sqlite_master ORDER BY name;");
            for (const char* table : { "tb_info", "tb_message", "tb_message_contact", "tb_contact",
                     "tb_contact_group", "tb_magazines", "tb_setting", "idx_message_partner_time" })
                EXPECT_NE(tables.find(std::string(table) + "\n"), std::string::npos) << table;
            EXPECT_EQ(tables.find("tb_planted"), std::string::npos);
            EXPECT_EQ(tables.find("idx_own"), std::string::npos);
            // Each message and each person that still read, every value in
            // its column.
            EXPECT_EQ(column("tb_message", kMessageRow, "uid<>'new'"),
                c.history == 0 ? std::vector<std::string> {} : textsLeft);
            // (People whose group was lost are kept, and read once the
            // book is fetched again.)
            EXPECT_EQ(column("tb_contact", kPersonRow),
                c.contacts == 0 && lostGroups.empty() ? std::vector<std::string> {} : namesLeft);
            // The conversations that still read, and no row of another table;
            // the versions and records of the file, and no other setting.
            EXPECT_EQ(column("tb_message_contact", kConversationRow, "uid<>" + std::to_string(kNewPartner)),
                left(conversations, lostConversations));
            for (const auto& key : column("tb_info", "key", "key NOT LIKE '%version'"))
                EXPECT_NE(std::find(infoKeys.begin(), infoKeys.end(), key), infoKeys.end()) << key;
            EXPECT_EQ(column("tb_contact_group", kGroupRow), left(groups, lostGroups));
            EXPECT_EQ(column("tb_message", "content", "uid='new'"),
                std::vector<std::string> { message("new", kNewPartner, 60)->content });
            if (c.damage != Damage::EveryTablePageZeroed && c.damage != Damage::Truncated
                && c.damage != Damage::FirstPageRightChildFlipped) {
                EXPECT_EQ(sqliteTool(db(), "SELECT n_id, n_name FROM tb_magazines;"), "1|一\n2|二\n");
                EXPECT_EQ(sqliteTool(db(), "SELECT seq FROM sqlite_sequence WHERE name='tb_magazines';"), "3\n");
            }
            EXPECT_EQ(sqliteTool(db(), "PRAGMA integrity_check;"), "ok\n");
            // A copy that left people or groups behind has the book fetched
            // again.
            const std::string record = sqliteTool(
                db(), "SELECT value FROM tb_info WHERE key='" + ContactsFactory::bookRecordKey(100) + "';");
            EXPECT_EQ(record == std::string(ContactsFactory::kBookRecordIncomplete) + "\n",
                contacts != kContacts || !lostGroups.empty())
                << record;
            [[fallthrough]];
        }
        case Outcome::MovedAside: {
            EXPECT_EQ(aside.size(), 1u);
            if (aside.size() != 1)
                break;
            // Whole, byte for byte, and with its journal.
            EXPECT_EQ(FileUtil::read(home.documents() + "/" + aside[0]), damaged);
            const bool journal = c.damage == Damage::HeaderOverwrittenWithJournal;
            EXPECT_EQ(FileUtil::readText(home.documents() + "/" + aside[0] + "-journal").has_value(), journal);
            EXPECT_FALSE(FileUtil::exists(db() + "-journal"));
            break;
        }
        case Outcome::LeftAsItIs:
            EXPECT_TRUE(aside.empty());
            EXPECT_EQ(FileUtil::read(db()), damaged);
            break;
        }

        // The next run, with room to write, keeps what the first one kept; a
        // file that could not be copied is then.
        auto held = [&] {
            return std::vector<std::vector<std::string>> { column("tb_message", kMessageRow, "uid<>'new'"),
                column("tb_contact", kPersonRow),
                column("tb_message_contact", kConversationRow, "uid<>" + std::to_string(kNewPartner)),
                column("tb_contact_group", kGroupRow) };
        };
        const auto heldAfterTheFirst = c.outcome == Outcome::LeftAsItIs ? decltype(held()) {} : held();
        const ClientRun again = runClient();
        if (c.outcome != Outcome::LeftAsItIs) {
            EXPECT_EQ(held(), heldAfterTheFirst) << "the second start keeps every message, person and group";
        }
        if (c.contactsNextRun != kSomeRead) {
            EXPECT_EQ(again.contacts, expected(c.contactsNextRun, namesLeft));
        }
        EXPECT_EQ(again.arrivedLater, 1) << "the store takes messages again";
        EXPECT_EQ(setAside().size(), c.outcome == Outcome::Whole ? 0u : 1u);
        if (c.outcome != Outcome::LeftAsItIs) {
            EXPECT_EQ(again.log.find("damaged store file"), std::string::npos) << again.log;
        }
        // The fresh file is a store at the current versions.
        if (c.outcome != Outcome::Whole) {
            EXPECT_EQ(sqliteTool(db(), "SELECT key, value FROM tb_info WHERE key LIKE '%version' ORDER BY key;"),
                "contacts_version|1.2.0\nmessage_template_version|1.2.0\nmessage_version|1.0.3\n");
        }
    }
}

// A store as the client writes it is whole: its book written again and
// again (its tables renamed into place, its index under either name), at
// the versions the client keeps.
TEST_F(DamagedStore, AStoreTheClientWroteIsNotJudgedDamaged)
{
    fill();
    for (int again = 0; again < 2; ++again) {
        ContactsFactory contacts;
        auto group = std::make_shared<GroupInfo>();
        group->uid = "g" + std::to_string(again);
        group->name = "二年级";
        group->type = 1;
        ASSERT_TRUE(contacts.setAddressBook({ group }, { { partner(2000 + again) } }));
        EXPECT_NE(sqliteTool(db(), "SELECT sql FROM sqlite_master WHERE name='tb_contact';").find("\"tb_contact\""),
            std::string::npos)
            << "renamed into place";
    }
    EXPECT_EQ(sqliteTool(db(), "SELECT name FROM sqlite_master WHERE tbl_name='tb_contact' AND sql IS NOT NULL;"),
        "tb_contact\ntb_contact_by_group_next\n");
    const ClientRun run = runClient();
    EXPECT_EQ(run.log.find("damaged store file"), std::string::npos) << run.log;
    EXPECT_TRUE(setAside().empty());
    EXPECT_EQ(run.history, kMessages);
}

// Damage met by a statement while the client runs, after the file was judged
// whole: the file is set aside as it was found and the fresh store takes
// what the damaged one refused.
TEST_F(DamagedStore, DamageMetWhileTheClientRunsIsHandledWithinTheRun)
{
    fill();
    DamagedStoreFile::forgetJudgedFiles();
    platform::LogCapture log;
    MessageFactory messages;
    ASSERT_EQ(countOf(messages.getMessageWithContact(*partner(kPartner))), kMessages);
    damage(Damage::MessagePagesZeroed);
    const auto damaged = FileUtil::read(db());
    // The magazines' connection open meanwhile: nothing is moved under it.
    auto magazines = ORBDBHelper::sharedORBDBHelper()->database();
    ASSERT_TRUE(magazines);
    // Refused by the damaged file (the client keeps what its store refuses,
    // and writes it again at its next write); the failed statement's
    // connection closes, but the magazines' is open still.
    EXPECT_FALSE(messages.setMessage({ message("refused", kNewPartner, 60) }));
    EXPECT_TRUE(setAside().empty());
    EXPECT_EQ(FileUtil::read(db()), damaged);
    // The last connection closed: the fresh store takes its place, and
    // takes messages.
    magazines->close();
    const auto aside = setAside();
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(FileUtil::read(home.documents() + "/" + aside[0]), damaged);
    EXPECT_TRUE(messages.setMessage({ message("later", kNewPartner, 61) }));
    EXPECT_EQ(countOf(messages.getMessageWithContact(*partner(kNewPartner))), 1);
    ContactsFactory contacts;
    EXPECT_EQ(countOf(contacts.getContactsWithGroup("g1")), kContacts);
    std::string lines;
    for (const auto& line : log.lines())
        lines += line;
    EXPECT_NE(lines.find("met by a statement"), std::string::npos) << lines;
    EXPECT_NE(lines.find("what still reads is copied into a fresh one"), std::string::npos) << lines;
}

} // namespace
