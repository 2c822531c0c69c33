// The stores over a database file damaged between two runs, in the ways a
// phone's file gets damaged: a page zeroed, the file cut short, its header
// overwritten; in a folder that may be read but not written, and on a disk
// with no room to grow. Whatever still reads is never dropped: it is copied
// into a fresh file that takes writes again, and the damaged file is kept
// beside it whole (beside an empty one when nothing of it reads, or its
// versions do not).
#include "core/store/ContactsFactory.h"
#include "core/store/MessageFactory.h"
#include "tests/core/util/CoreTestSupport.h"
#include "tests/support/FileFaults.h"

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

using namespace core;
using coretest::sqliteTool;
using coretest::toolInt;
using platform::FileUtil;

namespace {

constexpr int kMessages = 7;
constexpr int kContacts = 300;
// The address book less the rows of the page zeroed in it.
constexpr int kContactsLeft = -2;
constexpr int kPartner = 7;
constexpr int kNewPartner = 8;

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
};

enum class Folder { Writable, ReadOnly, Full };

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
        for (int i = 0; i < kMessages; ++i)
            list.push_back(message("m" + std::to_string(i), kPartner, i));
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
            people.push_back(c);
        }
        ASSERT_TRUE(contacts.setAddressBook({ group }, { people }));
        // A table of the magazines' kind, whose ids are never given out
        // twice: its counter has passed the last row, removed since.
        sqliteTool(db(),
            "CREATE TABLE tb_issues (n_id integer NOT NULL PRIMARY KEY AUTOINCREMENT, title text);"
            "INSERT INTO tb_issues (title) VALUES ('一'), ('二'), ('三'); DELETE FROM tb_issues WHERE n_id = 3;");
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
    void renameChild(int page, int cell, int child)
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
        lostContacts
            = toolInt(db(), "SELECT ncell FROM dbstat WHERE pagetype='leaf' AND pageno=" + std::to_string(named) + ";");
        ASSERT_GT(lostContacts, 0);
        const char pointer[] = { char(child >> 24), char(child >> 16), char(child >> 8), char(child) };
        file.seekp(std::streamoff(page - 1) * size + at(12 + 2 * cell, 2));
        file.write(pointer, 4);
        ASSERT_TRUE(file.good());
    }

    void zeroRootPages(const std::string& where)
    {
        std::istringstream pages(sqliteTool(db(), "SELECT rootpage FROM sqlite_master WHERE " + where + ";"));
        int count = 0;
        for (int page; pages >> page; ++count)
            zeroPage(page);
        ASSERT_GT(count, 0);
    }

    void damage(Damage kind)
    {
        switch (kind) {
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
            lostContacts = toolInt(db(), "SELECT ncell " + middle);
            ASSERT_GT(lostContacts, 0);
            return zeroPage(toolInt(db(), "SELECT pageno " + middle));
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
            renameChild(root, 1, kind == Damage::ContactChildNamedTwice ? first : root);
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
            ASSERT_EQ(::truncate(db().c_str(), static_cast<off_t>(*FileUtil::fileSize(db()) / 2)), 0);
            return;
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

    coretest::TempHome home;
    int lostContacts = 0;
};

TEST_F(DamagedStore, NothingThatStillReadsIsDroppedAndAnUnreadableFileIsKeptAside)
{
    enum class Outcome {
        Copied, // what reads is copied into a fresh file, and the file kept whole beside it
        MovedAside, // the file is kept whole beside a fresh one
        LeftAsItIs, // it could be moved nowhere: not a byte of it changes
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
    };
    const char* kept = "kept in place, since what still reads cannot be copied into a fresh one (";
    const char* copied = "what still reads is copied into a fresh one; moved aside to ";
    const char* moved = "moved aside to ";
    const char* noVersions = "its versions do not read, so no copy of it would be kept; moved aside to ";
    const Case cases[] = {
        // Without the versions no copy can be trusted, and a file kept as it
        // is refuses new messages for good once a message page goes too: an
        // empty store takes its place, where one can be written.
        { "version page zeroed", Damage::VersionPageZeroed, Folder::Writable, Outcome::MovedAside, 0, 0, 1,
            noVersions },
        { "version page zeroed, read-only folder", Damage::VersionPageZeroed, Folder::ReadOnly, Outcome::LeftAsItIs,
            kMessages, kContacts, 0, kept },
        { "version page zeroed, full disk", Damage::VersionPageZeroed, Folder::Full, Outcome::LeftAsItIs, kMessages,
            kContacts, 0, "the version contacts_version cannot be read" },
        { "version and message pages zeroed", Damage::VersionAndMessagePagesZeroed, Folder::Writable,
            Outcome::MovedAside, 0, 0, 1, noVersions },
        // Nothing is written into the file before it is judged.
        { "versions missing, message pages zeroed", Damage::VersionTableMissing, Folder::Writable, Outcome::MovedAside,
            0, 0, 1, noVersions },
        // The history is unreadable, the address book is not: the book is
        // copied into a fresh file, which takes the messages arriving later.
        { "message pages zeroed", Damage::MessagePagesZeroed, Folder::Writable, Outcome::Copied, 0, kContacts, 1,
            copied },
        // No fresh file can be written: the file stays as it is until one can.
        { "message pages zeroed, read-only folder", Damage::MessagePagesZeroed, Folder::ReadOnly, Outcome::LeftAsItIs,
            -1, kContacts, 0, "(unable to open database file)" },
        { "message pages zeroed, full disk", Damage::MessagePagesZeroed, Folder::Full, Outcome::LeftAsItIs, -1,
            kContacts, 0, kept },
        // A page amid the address book: the rows on both sides of it are copied.
        { "address-book page zeroed", Damage::ContactPageZeroed, Folder::Writable, Outcome::Copied, kMessages,
            kContactsLeft, 1, "row(s) of tb_contact copied" },
        // A page named twice gives its rows twice: copied once, and the copy
        // goes on past the page no longer named.
        { "address-book page named twice", Damage::ContactChildNamedTwice, Folder::Writable, Outcome::Copied, 0,
            kContactsLeft, 1, "row(s) of tb_contact read twice, copied once" },
        { "address-book page names itself", Damage::ContactPageNamesItself, Folder::Writable, Outcome::Copied, 0,
            kContactsLeft, 1, "row(s) of tb_contact read twice, copied once" },
        // The file's own text makes no more than the table it names, or nothing.
        { "a table's entry goes on", Damage::SchemaEntryGoesOn, Folder::Writable, Outcome::Copied, 0, kContacts, 1,
            "its table tb_planted is left behind" },
        // Nothing of the person's reads any more, or SQLite reads nothing at all.
        { "every table's page zeroed", Damage::EveryTablePageZeroed, Folder::Writable, Outcome::MovedAside, 0, 0, 1,
            moved },
        { "truncated", Damage::Truncated, Folder::Writable, Outcome::MovedAside, 0, 0, 1,
            "(database disk image is malformed): moved aside to " },
        { "header overwritten", Damage::HeaderOverwritten, Folder::Writable, Outcome::MovedAside, 0, 0, 1,
            "(file is not a database): moved aside to " },
        { "header overwritten, journal beside", Damage::HeaderOverwrittenWithJournal, Folder::Writable,
            Outcome::MovedAside, 0, 0, 1, moved },
        // Set aside all the same; the fresh file waits for room.
        { "header overwritten, full disk", Damage::HeaderOverwritten, Folder::Full, Outcome::MovedAside, -1, -1, -1,
            moved },
        { "truncated, read-only folder", Damage::Truncated, Folder::ReadOnly, Outcome::LeftAsItIs, -1, -1, -1,
            "cannot be moved aside to " },
        { "header overwritten, read-only folder", Damage::HeaderOverwritten, Folder::ReadOnly, Outcome::LeftAsItIs, -1,
            -1, -1, "cannot be moved aside to " },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FileUtil::remove(home.documents());
        ASSERT_TRUE(FileUtil::createDirectory(home.documents()));
        fill();
        ASSERT_EQ(toolInt(db(), "SELECT count(*) FROM tb_message;"), kMessages);
        damage(c.damage);
        const auto damaged = FileUtil::read(db());
        ASSERT_TRUE(damaged);

        const int contacts = c.contacts == kContactsLeft ? kContacts - lostContacts : c.contacts;
        const ClientRun run = runIn(c.folder);
        EXPECT_EQ(run.history, c.history);
        EXPECT_EQ(run.contacts, contacts);
        EXPECT_EQ(run.arrivedLater, c.arrivedLater);
        EXPECT_NE(run.log.find(c.logged), std::string::npos) << run.log;

        const auto aside = setAside();
        // No half-made copy is left behind.
        EXPECT_FALSE(FileUtil::exists(db() + ".fresh"));
        EXPECT_FALSE(FileUtil::exists(planted()));
        switch (c.outcome) {
        case Outcome::Copied:
            if (aside.size() != 1) {
                ADD_FAILURE() << aside.size() << " files set aside";
                break;
            }
            // Every table, the versions, every row that read (on both sides
            // of a page that did not), and the message that arrived in the run.
            EXPECT_EQ(sqliteTool(db(), "SELECT name FROM sqlite_master ORDER BY name;"),
                sqliteTool(home.documents() + "/" + aside.at(0),
                    "SELECT name FROM sqlite_master WHERE name<>'tb_planted' ORDER BY name;"));
            EXPECT_EQ(sqliteTool(db(), "SELECT key, value FROM tb_info ORDER BY key;"),
                "contacts_version|1.2.0\nmessage_version|1.0.3\n");
            EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_contact;"), contacts);
            EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_message;"), c.history + 1);
            EXPECT_EQ(toolInt(db(), "SELECT count(*) FROM tb_message WHERE uid='new';"), 1);
            EXPECT_EQ(sqliteTool(db(), "SELECT n_id, title FROM tb_issues;"), "1|一\n2|二\n");
            EXPECT_EQ(sqliteTool(db(), "SELECT name, seq FROM sqlite_sequence;"), "tb_issues|3\n");
            EXPECT_EQ(sqliteTool(db(), "PRAGMA integrity_check;"), "ok\n");
            [[fallthrough]];
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
        // file that could not be moved aside or copied is then.
        const bool bookCopied = c.outcome == Outcome::Copied || c.damage == Damage::MessagePagesZeroed;
        const ClientRun again = runClient();
        EXPECT_EQ(again.contacts, c.outcome == Outcome::Copied ? contacts : bookCopied ? kContacts : 0);
        EXPECT_EQ(again.arrivedLater, 1) << "the store takes messages again";
        EXPECT_EQ(setAside().size(), 1u);
        // The fresh file is a store at the current versions.
        EXPECT_EQ(sqliteTool(db(), "SELECT key, value FROM tb_info ORDER BY key;"),
            "contacts_version|1.2.0\nmessage_version|1.0.3\n");
    }
}

} // namespace
