#include "core/store/ContactsFactory.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace core {

namespace {

    // Numbers that tell which step failed in "line %i,%i#%s\n".
    enum StepLine : int {
        kLineDrop = 301,
        kLineCreate = 302,
        kLineDeleteContacts = 303,
        kLineDeleteGroups = 304,
        kLineDeleteGroupContacts = 305,
        kLineContactPrepare = 306,
        kLineContactStep = 307,
        kLineRecount = 308,
        kLineOrphans = 309,
        kLineGroupPrepare = 310,
        kLineGroupStep = 311,
        kLineGroupsSelect = 312,
        kLineContactsSelect = 313,
        kLineSearch = 314,
        kLineContactSelect = 315,
        kLineBookBegin = 316,
        kLineBookCommit = 317,
        kLineBookRollback = 318,
        kLineStage = 319,
        kLineCopy = 320,
        kLineSwap = 321,
        kLineDropReplaced = 322,
        kLineIndex = 323,
    };

    constexpr const char* kDropContacts = "DROP TABLE IF EXISTS `tb_contact`;";
    constexpr const char* kDropGroups = "DROP TABLE IF EXISTS `tb_contact_group`;";
    constexpr const char* kDeleteContacts = "DELETE FROM `tb_contact` WHERE `account_uid`=?;";
    constexpr const char* kDeleteGroups = "DELETE FROM `tb_contact_group` WHERE `account_uid`=?;";

    constexpr const char* kCreateContacts
        = "CREATE TABLE IF NOT EXISTS `tb_contact` (    `uid` integer NOT NULL,    `group_uid` text(10,0) NOT NULL,    "
          "`account_uid` integer NOT NULL,    `name` text(10,0) NOT NULL,    `first_c` text(1,0) NOT NULL,    "
          "`pinyin` text(32,0) NOT NULL,    `remarks` text(20,0),    `thumb_avatar` text(128,0) NOT NULL,    "
          "`avatar` text(128,0) NOT NULL,    `phone` text(20,0),    `type` integer NOT NULL,    `is_customer` "
          "integer DEFAULT 0 NOT NULL,    `ctd_url` text(128,0) DEFAULT NULL,    "
          "PRIMARY KEY(`uid`,`group_uid`,`account_uid`)    );";

    constexpr const char* kCreateGroups
        = "CREATE TABLE IF NOT EXISTS `tb_contact_group` (    `uid` text(10,0) NOT NULL,    `account_uid` integer NOT "
          "NULL,    `name` text(10,0) NOT NULL,    `type` integer NOT NULL,    `total_count` integer NOT NULL DEFAULT "
          "0,    PRIMARY KEY(`uid`,`account_uid`)    );";

    // The account's people by group, as the contacts screen reads them when
    // it is made: the table's key begins with the person, so each group read
    // went over the whole table. An index keeps its name when its table is
    // renamed, so a book written beside the stored one indexes its table under
    // whichever of the two names the stored one does not use.
    constexpr const char* kByGroupIndexes[] = { "tb_contact_by_group", "tb_contact_by_group_next" };

    // Every group's count is what is stored under it, whichever of the two
    // writes of a download came first (see recountGroups).
    constexpr const char* kClearGroupCounts = "UPDATE `tb_contact_group` SET `total_count`=0 WHERE `account_uid`=?;";

    // The group is joined on the account too: two accounts of one phone may
    // well be given the same group id.
    constexpr const char* kContactColumns
        = "SELECT c.`uid`,c.`group_uid`,g.`name` AS `group_name`,c.`name`,c.`first_c`,c.`pinyin`,c.`remarks`,"
          "c.`thumb_avatar`,c.`avatar`,c.`phone`,c.`ctd_url`,c.`type`,c.`is_customer`     "
          "FROM `tb_contact` AS c INNER JOIN `tb_contact_group` AS g "
          "ON c.`group_uid`=g.`uid` AND c.`account_uid`=g.`account_uid` ";

    std::optional<std::string> textOrNull(const std::string& text)
    {
        if (text.empty())
            return std::nullopt;
        return text;
    }

    std::shared_ptr<ContactInfo> contactFromRow(const StoreStatement& row)
    {
        auto contact = std::make_shared<ContactInfo>();
        contact->uid = row.columnInt(0);
        contact->groupUid = row.columnText(1).value_or(std::string());
        contact->groupName = row.columnText(2).value_or(std::string());
        contact->name = row.columnText(3).value_or(std::string());
        contact->firstC = row.columnText(4).value_or(std::string());
        contact->pinyin = row.columnText(5).value_or(std::string());
        contact->remarks = row.columnText(6).value_or(std::string());
        contact->thumbAvatar = row.columnText(7).value_or(std::string());
        contact->avatar = row.columnText(8).value_or(std::string());
        contact->phone = row.columnText(9).value_or(std::string());
        contact->ctdUrl = row.columnText(10).value_or(std::string());
        contact->type = row.columnInt(11);
        contact->isCustomer = row.columnInt(12) == 1;
        return contact;
    }

    void replaceAll(std::string& text, std::string_view from, std::string_view to)
    {
        for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
            text.replace(at, from.size(), to);
    }

    constexpr const char* kInsertContact
        = "REPLACE INTO `tb_contact`(`uid`,`group_uid`,`account_uid`,`name`,`first_c`,`pinyin`,`remarks`,"
          "`thumb_avatar`,`avatar`,`phone`,`type`,`is_customer`,`ctd_url`) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?);";

    // The group a contact is stored under: its own, or the list's.
    const std::string& groupOf(const ContactInfo& contact, const std::string& listGroup)
    {
        return contact.groupUid.empty() ? listGroup : contact.groupUid;
    }

    bool bindContact(StoreStatement& insert, const ContactInfo& contact, const std::string& groupUid, int account)
    {
        ContactInfo spelled;
        spelled.name = contact.name;
        if (contact.pinyin.empty() || contact.firstC.empty())
            spelled.updatePinyin();
        return insert.bindInt(1, contact.uid) && insert.bindText(2, groupOf(contact, groupUid))
            && insert.bindInt(3, account) && insert.bindText(4, contact.name)
            && insert.bindText(5, contact.firstC.empty() ? spelled.firstC : contact.firstC)
            && insert.bindText(6, contact.pinyin.empty() ? spelled.pinyin : contact.pinyin)
            && insert.bindText(7, textOrNull(contact.remarks)) && insert.bindText(8, contact.thumbAvatar)
            && insert.bindText(9, contact.avatar) && insert.bindText(10, textOrNull(contact.phone))
            && insert.bindInt(11, contact.type) && insert.bindInt(12, contact.isCustomer ? 1 : 0)
            && insert.bindText(13, textOrNull(contact.ctdUrl));
    }

    // A book is written beside the tables it replaces, under these names,
    // and takes their place at once; the replaced ones are then dropped.
    constexpr const char* kContacts = "tb_contact";
    constexpr const char* kGroups = "tb_contact_group";
    constexpr const char* kStagedContacts = "tb_contact_next";
    constexpr const char* kStagedGroups = "tb_contact_group_next";
    constexpr const char* kReplacedContacts = "tb_contact_old";
    constexpr const char* kReplacedGroups = "tb_contact_group_old";

    // A store that keeps the file longer than this after it was let in is
    // waited for as any other (the busy timeout).
    constexpr auto kLongestGiveWay = std::chrono::milliseconds(100);
    // Rows a copy or a deletion reads or removes with one statement.
    constexpr int kRowsPerStatement = 128;

    using Clock = std::chrono::steady_clock;

    // The staged and replaced tables have one name each: one book at a time,
    // and the stores' other writes of the tables wait for it.
    std::mutex& bookWrites()
    {
        static std::mutex writes;
        return writes;
    }

    // The book's own waits for the file: each millisecond, as the other
    // stores' (the busy timeout's growing sleeps overslept the store it let
    // in by up to tens of milliseconds, a message every frame), but without
    // saying it waits, which would make it give way to itself.
    int retryEachMillisecond(void*, int retries)
    {
        thread_local Clock::time_point since;
        const auto now = Clock::now();
        if (retries == 0)
            since = now;
        if (now - since >= std::chrono::milliseconds(BaseFactory::kBusyTimeoutMilliseconds))
            return 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return 1;
    }

    std::string quoted(std::string_view table) { return "`" + std::string(table) + "`"; }

    std::string createByGroupIndex(const char* name, const char* table)
    {
        return "CREATE INDEX IF NOT EXISTS " + quoted(name) + " ON " + quoted(table) + "(`account_uid`,`group_uid`);";
    }

    // A table's create statement for another name.
    std::string createdAs(const char* create, const char* table, const char* name)
    {
        std::string sql = create;
        replaceAll(sql, quoted(table), quoted(name));
        return sql;
    }

    struct ValueFree {
        void operator()(sqlite3_value* value) const { sqlite3_value_free(value); }
    };
    using KeptValue = std::unique_ptr<sqlite3_value, ValueFree>;

} // namespace

// A long write on the store's open connection, held in one transaction for
// as long as no other store of the process waits for the file: once one does,
// what is written is committed, the waiting store let in, and the next
// transaction begun. Each commit syncs the disk a few times: committed on a
// clock as well, a book written with nobody waiting took twice as long as in
// one transaction.
class ContactsFactory::ShortTransactions {
public:
    explicit ShortTransactions(ContactsFactory& store)
        : store_(store)
    {
    }
    ~ShortTransactions() { rollBack(); }
    ShortTransactions(const ShortTransactions&) = delete;
    ShortTransactions& operator=(const ShortTransactions&) = delete;

    bool begin()
    {
        if (!store_.exec("BEGIN IMMEDIATE;", kLineBookBegin))
            return false;
        open_ = true;
        return true;
    }
    // Between two steps of the write, with no statement of it running.
    bool pause()
    {
        if (!BaseFactory::isFileWaitedFor())
            return true;
        if (!commit())
            return false;
        giveWay();
        return begin();
    }
    bool commit()
    {
        open_ = false;
        if (store_.exec("COMMIT;", kLineBookCommit))
            return true;
        if (sqlite3_get_autocommit(store_.database()) == 0)
            store_.exec("ROLLBACK;", kLineBookRollback);
        return false;
    }
    void rollBack()
    {
        if (open_ && sqlite3_get_autocommit(store_.database()) == 0)
            store_.exec("ROLLBACK;", kLineBookRollback);
        open_ = false;
    }

private:
    // A waiting store tries each millisecond: it has the file well before it
    // stops saying it waits.
    static void giveWay()
    {
        const auto until = Clock::now() + kLongestGiveWay;
        while (BaseFactory::isFileWaitedFor() && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    ContactsFactory& store_;
    bool open_ = false;
};

ContactsFactory::ContactsFactory()
{
    checkVersion(schema(), { kDropContacts, kDropGroups });
    // A store kept from before the index gets it here, once.
    if (open()) {
        indexByGroup(kContacts);
        close();
    }
}

StoreSchema ContactsFactory::schema()
{
    return { kVersionKey, kVersion, { { kContacts, kCreateContacts }, { kGroups, kCreateGroups } },
        { createByGroupIndex(kByGroupIndexes[0], kContacts) } };
}

bool ContactsFactory::indexByGroup(const char* table)
{
    bool taken[2] = { false, false };
    {
        StoreStatement find = prepare(
            "SELECT `name`,`tbl_name` FROM `sqlite_master` WHERE `type`='index' AND `name` IN (?,?);", kLineIndex);
        if (!find || !find.bindText(1, std::string(kByGroupIndexes[0]))
            || !find.bindText(2, std::string(kByGroupIndexes[1])))
            return false;
        int rc = SQLITE_DONE;
        while ((rc = find.step()) == SQLITE_ROW) {
            if (find.columnText(1) == table)
                return true;
            taken[find.columnText(0) == kByGroupIndexes[0] ? 0 : 1] = true;
        }
        if (rc != SQLITE_DONE) {
            printError(kLineIndex);
            return false;
        }
    }
    const char* name = !taken[0] ? kByGroupIndexes[0] : !taken[1] ? kByGroupIndexes[1] : nullptr;
    return name && exec(createByGroupIndex(name, table), kLineIndex);
}

bool ContactsFactory::runForAccount(const char* sql, int line, int account)
{
    StoreStatement statement = prepare(sql, line);
    if (!statement || !statement.bindInt(1, account) || !statement.run()) {
        printError(line);
        return false;
    }
    return true;
}

bool ContactsFactory::initContactsDB()
{
    if (!open())
        return false;
    bool ok = true;
    for (const char* sql : { kDropContacts, kDropGroups })
        ok = exec(sql, kLineDrop) && ok;
    for (const char* sql : { kCreateContacts, kCreateGroups })
        ok = exec(sql, kLineCreate) && ok;
    ok = ok && indexByGroup(kContacts);
    if (ok)
        setInfo(kVersionKey, kVersion);
    ok = ok && getInfo(kVersionKey) == kVersion;
    close();
    return ok;
}

bool ContactsFactory::deleteCurrentAccountContacts()
{
    const int account = currentAccountUid();
    std::lock_guard book(bookWrites());
    return writeInTransaction([&] {
        return runForAccount(kDeleteContacts, kLineDeleteContacts, account)
            && runForAccount(kDeleteGroups, kLineDeleteGroups, account);
    });
}

bool ContactsFactory::setContacts(const ContactList& contacts, const std::string& groupUid)
{
    const int account = currentAccountUid();
    std::lock_guard book(bookWrites());
    return writeInTransaction([&] { return writeContacts(contacts, groupUid, account); });
}

bool ContactsFactory::writeContacts(const ContactList& contacts, const std::string& groupUid, int account)
{
    StoreStatement clear
        = prepare("DELETE FROM `tb_contact` WHERE `group_uid`=? AND `account_uid`=?;", kLineDeleteGroupContacts);
    if (!clear || !clear.bindText(1, groupUid) || !clear.bindInt(2, account) || !clear.run()) {
        printError(kLineDeleteGroupContacts);
        return false;
    }
    clear.finalize();
    return insertContacts(contacts, groupUid, account) && recountGroups(account);
}

bool ContactsFactory::insertContacts(const ContactList& contacts, const std::string& groupUid, int account)
{
    StoreStatement insert = prepare(kInsertContact, kLineContactPrepare);
    if (!insert)
        return false;
    for (const auto& contact : contacts) {
        if (!contact)
            continue;
        if (!bindContact(insert, *contact, groupUid, account) || !insert.run()) {
            printError(kLineContactStep);
            return false;
        }
        insert.reset();
    }
    return true;
}

bool ContactsFactory::recountGroups(int account)
{
    // One pass over the contacts, counted by group: a count per group read
    // with a query of its own would go over every contact for each group.
    std::vector<std::pair<std::string, int>> counts;
    {
        StoreStatement select = prepare(
            "SELECT `group_uid`,COUNT(*) FROM `tb_contact` WHERE `account_uid`=? GROUP BY `group_uid`;", kLineRecount);
        if (!select || !select.bindInt(1, account))
            return false;
        int status = 0;
        while ((status = select.step()) == SQLITE_ROW)
            counts.emplace_back(select.columnText(0).value_or(std::string()), select.columnInt(1));
        if (status != SQLITE_DONE) {
            printError(kLineRecount);
            return false;
        }
    }
    if (!runForAccount(kClearGroupCounts, kLineRecount, account))
        return false;
    StoreStatement update
        = prepare("UPDATE `tb_contact_group` SET `total_count`=? WHERE `uid`=? AND `account_uid`=?;", kLineRecount);
    if (!update)
        return false;
    for (const auto& [group, count] : counts) {
        if (!update.bindInt(1, count) || !update.bindText(2, group) || !update.bindInt(3, account) || !update.run()) {
            printError(kLineRecount);
            return false;
        }
        update.reset();
    }
    return true;
}

bool ContactsFactory::setGroups(const GroupList& groups)
{
    const int account = currentAccountUid();
    std::lock_guard book(bookWrites());
    return writeInTransaction([&] { return writeGroups(groups, account); });
}

bool ContactsFactory::setAddressBook(const GroupList& groups, const std::vector<ContactList>& contactsPerGroup)
{
    const bool stored = writeAddressBook(currentAccountUid(), groups, contactsPerGroup);
    dropReplacedBook();
    return stored;
}

bool ContactsFactory::storeAddressBook(
    int account, const GroupList& groups, const std::vector<ContactList>& contactsPerGroup)
{
    // The tables are there: the store the screen made checked them.
    ContactsFactory writer { KeepFile {} };
    return writer.writeAddressBook(account, groups, contactsPerGroup);
}

void ContactsFactory::dropReplacedBook()
{
    std::lock_guard book(bookWrites());
    ContactsFactory tidy { KeepFile {} };
    if (!tidy.open())
        return;
    // Its own waits for the file give way to no one.
    sqlite3_busy_handler(tidy.database(), &retryEachMillisecond, nullptr);
    {
        ShortTransactions write(tidy);
        if (tidy.dropInShortTransactions(write, kReplacedContacts))
            tidy.dropInShortTransactions(write, kReplacedGroups);
    }
    tidy.close();
}

bool ContactsFactory::writeAddressBook(
    int account, const GroupList& groups, const std::vector<ContactList>& contactsPerGroup)
{
    if (groups.size() != contactsPerGroup.size())
        return false;
    std::lock_guard book(bookWrites());
    if (!open())
        return false;
    sqlite3_busy_handler(database(), &retryEachMillisecond, nullptr);
    bool stored = false;
    {
        ShortTransactions write(*this);
        // What a write cut short left comes first: the staged tables take
        // these names.
        stored = dropLeftTables(write) && stageAddressBook(write, account, groups, contactsPerGroup)
            && swapInStagedBook(write);
        if (!stored) {
            write.rollBack();
            if (dropInShortTransactions(write, kStagedContacts))
                dropInShortTransactions(write, kStagedGroups);
        }
    }
    close();
    return stored;
}

bool ContactsFactory::dropLeftTables(ShortTransactions& write)
{
    for (const char* table : { kStagedContacts, kStagedGroups, kReplacedContacts, kReplacedGroups }) {
        if (!dropInShortTransactions(write, table))
            return false;
    }
    return true;
}

bool ContactsFactory::stageAddressBook(
    ShortTransactions& write, int account, const GroupList& groups, const std::vector<ContactList>& contactsPerGroup)
{
    if (!write.begin())
        return false;
    // Indexed from the start and kept up row by row: made over the whole
    // table at the end, the index would be one long statement that a waiting
    // store waits for.
    if (!exec(createdAs(kCreateContacts, kContacts, kStagedContacts), kLineStage)
        || !exec(createdAs(kCreateGroups, kGroups, kStagedGroups), kLineStage) || !indexByGroup(kStagedContacts))
        return false;
    // The other accounts' books go over as they are.
    if (!copyOtherAccounts(write, kContacts, kStagedContacts, "`uid`,`group_uid`,`account_uid`", 3, account)
        || !copyOtherAccounts(write, kGroups, kStagedGroups, "`uid`,`account_uid`", 2, account))
        return false;
    // The account's: each group's list (a group listed twice keeps its later
    // list), without the people of a group the book does not list.
    std::map<std::string, std::size_t> lastListed;
    std::unordered_set<std::string_view> listed;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (groups[i]) {
            lastListed[groups[i]->uid] = i;
            listed.insert(groups[i]->uid);
        }
    }
    // Each person once per group, as the table's key counts them.
    std::vector<std::pair<std::string_view, int>> stored;
    {
        std::string sql = kInsertContact;
        replaceAll(sql, quoted(kContacts), quoted(kStagedContacts));
        StoreStatement insert = prepare(sql, kLineContactPrepare);
        if (!insert)
            return false;
        for (std::size_t i = 0; i < groups.size(); ++i) {
            if (!groups[i] || lastListed[groups[i]->uid] != i)
                continue;
            for (const auto& contact : contactsPerGroup[i]) {
                if (!contact)
                    continue;
                const std::string& group = groupOf(*contact, groups[i]->uid);
                if (!listed.count(group))
                    continue;
                if (!bindContact(insert, *contact, groups[i]->uid, account) || !insert.run()) {
                    printError(kLineContactStep);
                    return false;
                }
                insert.reset();
                stored.emplace_back(group, contact->uid);
                if (!write.pause())
                    return false;
            }
        }
    }
    // Counted with the file let go: half a million people take a while to sort.
    if (!write.commit())
        return false;
    std::sort(stored.begin(), stored.end());
    stored.erase(std::unique(stored.begin(), stored.end()), stored.end());
    std::unordered_map<std::string_view, int> counts;
    for (const auto& entry : stored)
        ++counts[entry.first];
    if (!write.begin())
        return false;
    std::string sql = "INSERT OR REPLACE INTO `tb_contact_group`(`uid`,`account_uid`,`name`,`type`,`total_count`) "
                      "VALUES(?,?,?,?,?);";
    replaceAll(sql, quoted(kGroups), quoted(kStagedGroups));
    StoreStatement insert = prepare(sql, kLineGroupPrepare);
    if (!insert)
        return false;
    // A group listed twice is stored once, with the later entry.
    for (const auto& group : groups) {
        if (!group)
            continue;
        const auto count = counts.find(group->uid);
        if (!insert.bindText(1, group->uid) || !insert.bindInt(2, account) || !insert.bindText(3, group->name)
            || !insert.bindInt(4, group->type) || !insert.bindInt(5, count == counts.end() ? 0 : count->second)
            || !insert.run()) {
            printError(kLineGroupStep);
            return false;
        }
        insert.reset();
        if (!write.pause())
            return false;
    }
    return write.commit();
}

bool ContactsFactory::copyOtherAccounts(
    ShortTransactions& write, const char* table, const char* staged, const char* key, int keyColumns, int account)
{
    // In the key's order, a few rows a statement, each statement going on
    // after the last key the one before read: no statement is left running
    // while the file is let go, and nothing is read twice.
    const std::string from = " FROM " + quoted(table);
    const std::string order = std::string(" ORDER BY ") + key + " LIMIT " + std::to_string(kRowsPerStatement) + ";";
    std::string after = std::string(" WHERE (") + key + ") > (?";
    for (int i = 1; i < keyColumns; ++i)
        after += ",?";
    after += ")";
    StoreStatement first = prepare(std::string("SELECT ") + key + ",*" + from + order, kLineCopy);
    StoreStatement next = prepare(std::string("SELECT ") + key + ",*" + from + after + order, kLineCopy);
    if (!first || !next)
        return false;
    const int columns = sqlite3_column_count(first.handle()) - keyColumns;
    std::string sql = "INSERT INTO " + quoted(staged) + " VALUES(?";
    for (int i = 1; i < columns; ++i)
        sql += ",?";
    sql += ");";
    StoreStatement insert = prepare(sql, kLineCopy);
    if (!insert)
        return false;
    // The account is the key's last column.
    const int accountColumn = keyColumns - 1;
    std::vector<KeptValue> last;
    for (;;) {
        StoreStatement& select = last.empty() ? first : next;
        for (int i = 0; i < keyColumns && !last.empty(); ++i) {
            if (sqlite3_bind_value(select.handle(), i + 1, last[std::size_t(i)].get()) != SQLITE_OK)
                return false;
        }
        int rows = 0;
        int rc = SQLITE_DONE;
        while ((rc = select.step()) == SQLITE_ROW) {
            if (++rows == kRowsPerStatement) {
                last.clear();
                for (int i = 0; i < keyColumns; ++i)
                    last.emplace_back(sqlite3_value_dup(sqlite3_column_value(select.handle(), i)));
                if (std::any_of(last.begin(), last.end(), [](const KeptValue& value) { return !value; }))
                    return false;
            }
            if (sqlite3_column_type(select.handle(), accountColumn) == SQLITE_INTEGER
                && sqlite3_column_int(select.handle(), accountColumn) == account)
                continue;
            for (int i = 0; i < columns; ++i)
                sqlite3_bind_value(insert.handle(), i + 1, sqlite3_column_value(select.handle(), keyColumns + i));
            if (!insert.run()) {
                printError(kLineCopy);
                return false;
            }
            insert.reset();
        }
        if (rc != SQLITE_DONE) {
            printError(kLineCopy);
            return false;
        }
        select.reset();
        if (rows < kRowsPerStatement)
            return true;
        if (!write.pause())
            return false;
    }
}

bool ContactsFactory::swapInStagedBook(ShortTransactions& write)
{
    if (!write.begin())
        return false;
    const std::pair<const char*, const char*> renames[] = { { kContacts, kReplacedContacts },
        { kStagedContacts, kContacts }, { kGroups, kReplacedGroups }, { kStagedGroups, kGroups } };
    for (const auto& [from, to] : renames) {
        if (!exec("ALTER TABLE " + quoted(from) + " RENAME TO " + quoted(to) + ";", kLineSwap))
            return false;
    }
    return write.commit();
}

bool ContactsFactory::dropInShortTransactions(ShortTransactions& write, const char* table)
{
    bool exists = false;
    {
        StoreStatement find
            = prepare("SELECT 1 FROM `sqlite_master` WHERE `type`='table' AND `name`=?;", kLineDropReplaced);
        if (!find || !find.bindText(1, std::string(table)))
            return false;
        const int rc = find.step();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
            printError(kLineDropReplaced);
            return false;
        }
        exists = rc == SQLITE_ROW;
    }
    if (!exists)
        return true;
    // Dropped whole, a large table held the file for a third of a second.
    if (!write.begin())
        return false;
    StoreStatement remove = prepare("DELETE FROM " + quoted(table) + " WHERE rowid IN (SELECT rowid FROM "
            + quoted(table) + " LIMIT " + std::to_string(kRowsPerStatement) + ");",
        kLineDropReplaced);
    if (!remove)
        return false;
    for (;;) {
        if (!remove.run()) {
            printError(kLineDropReplaced);
            return false;
        }
        const bool more = changes() > 0;
        remove.reset();
        if (!more)
            break;
        if (!write.pause())
            return false;
    }
    remove.finalize();
    return exec("DROP TABLE " + quoted(table) + ";", kLineDropReplaced) && write.commit();
}

bool ContactsFactory::writeGroups(const GroupList& groups, int account)
{
    std::vector<std::string> kept;
    for (const auto& group : groups) {
        if (group)
            kept.push_back(group->uid);
    }
    {
        if (!runForAccount(kDeleteGroups, kLineDeleteGroups, account))
            return false;
        std::string orphans = "DELETE FROM `tb_contact` WHERE `account_uid`=?";
        if (!kept.empty()) {
            orphans += " AND `group_uid` NOT IN (";
            for (std::size_t i = 0; i < kept.size(); ++i)
                orphans += i == 0 ? "?" : ",?";
            orphans += ")";
        }
        orphans += ";";
        StoreStatement removeOrphans = prepare(orphans, kLineOrphans);
        if (!removeOrphans || !removeOrphans.bindInt(1, account))
            return false;
        for (std::size_t i = 0; i < kept.size(); ++i)
            removeOrphans.bindText(static_cast<int>(i) + 2, kept[i]);
        if (!removeOrphans.run()) {
            printError(kLineOrphans);
            return false;
        }
        // A group listed twice is stored once, with the later entry.
        StoreStatement insert
            = prepare("INSERT OR REPLACE INTO `tb_contact_group`(`uid`,`account_uid`,`name`,`type`) VALUES(?,?,?,?);",
                kLineGroupPrepare);
        if (!insert)
            return false;
        for (const auto& group : groups) {
            if (!group)
                continue;
            insert.bindText(1, group->uid);
            insert.bindInt(2, account);
            insert.bindText(3, group->name);
            insert.bindInt(4, group->type);
            if (!insert.run()) {
                printError(kLineGroupStep);
                return false;
            }
            insert.reset();
        }
        return recountGroups(account);
    }
}

std::optional<GroupList> ContactsFactory::getGroups() { return readGroups(std::nullopt); }

std::optional<GroupList> ContactsFactory::getGroups(int type) { return readGroups(type); }

std::optional<GroupList> ContactsFactory::readGroups(const std::optional<int>& type)
{
    const int account = currentAccountUid();
    std::string sql = "SELECT `uid`,`name`,`type`,`total_count` FROM `tb_contact_group` WHERE `account_uid`=?";
    sql += type ? " AND `type`=?;" : ";";
    return readList<GroupList>(
        sql, kLineGroupsSelect,
        [&](StoreStatement& select) { return select.bindInt(1, account) && (!type || select.bindInt(2, *type)); },
        [](GroupList& list, const StoreStatement& row) {
            auto group = std::make_shared<GroupInfo>();
            group->uid = row.columnText(0).value_or(std::string());
            group->name = row.columnText(1).value_or(std::string());
            group->type = row.columnInt(2);
            group->totalCount = row.columnInt(3);
            list.push_back(std::move(group));
        });
}

std::optional<ContactList> ContactsFactory::getContactsWithGroup(const std::string& groupUid)
{
    return readContactsWithGroup(groupUid, std::nullopt);
}

std::optional<ContactList> ContactsFactory::getContactsWithGroup(const std::string& groupUid, int type)
{
    return readContactsWithGroup(groupUid, type);
}

std::optional<ContactList> ContactsFactory::readContactsWithGroup(
    const std::string& groupUid, const std::optional<int>& type)
{
    const int account = currentAccountUid();
    std::string sql = kContactColumns;
    sql += "WHERE c.`account_uid`=? AND c.`group_uid`=?";
    sql += type ? " AND c.`type`=?" : "";
    sql += " GROUP BY c.`uid`;";
    return readList<ContactList>(
        sql, kLineContactsSelect,
        [&](StoreStatement& select) {
            return select.bindInt(1, account) && select.bindText(2, groupUid) && (!type || select.bindInt(3, *type));
        },
        [](ContactList& list, const StoreStatement& row) { list.push_back(contactFromRow(row)); });
}

std::string ContactsFactory::keywordPattern(const std::string& keyword)
{
    std::string text;
    for (char c : keyword) {
        if (c == '%' || c == '_' || c == '\\')
            text += '\\';
        text += c;
    }
    replaceAll(text, "\xE2\x80\x86", "%"); // U+2006, the six-per-em space
    replaceAll(text, " ", "%");
    return "%" + text + "%";
}

std::optional<ContactList> ContactsFactory::getContactsWithKeyword(const std::string& keyword)
{
    return readContactsWithKeyword(keyword, std::nullopt);
}

std::optional<ContactList> ContactsFactory::getContactsWithKeyword(const std::string& keyword, int type)
{
    return readContactsWithKeyword(keyword, type);
}

std::optional<ContactList> ContactsFactory::readContactsWithKeyword(
    const std::string& keyword, const std::optional<int>& type)
{
    const int account = currentAccountUid();
    std::string sql = kContactColumns;
    sql += "WHERE (c.`name` LIKE ?1 ESCAPE '\\' OR c.`remarks` LIKE ?1 ESCAPE '\\' OR c.`pinyin` LIKE ?1 ESCAPE "
           "'\\' OR c.`phone` LIKE ?1 ESCAPE '\\') AND c.`account_uid`=?2";
    sql += type ? " AND c.`type`=?3" : "";
    sql += " ORDER BY c.`pinyin`;";
    // A person sits in as many groups as the school put them in, and is
    // listed once: a row with the name, type and phone of an earlier one
    // adds nothing the person could tell apart.
    std::set<std::tuple<std::string, int, std::string>> seen;
    return readList<ContactList>(
        sql, kLineSearch,
        [&](StoreStatement& select) {
            return select.bindText(1, keywordPattern(keyword)) && select.bindInt(2, account)
                && (!type || select.bindInt(3, *type));
        },
        [&](ContactList& list, const StoreStatement& row) {
            auto contact = contactFromRow(row);
            if (seen.emplace(contact->name, contact->type, contact->phone).second)
                list.push_back(std::move(contact));
        });
}

void ContactsFactory::getContact(ContactInfo& contact)
{
    const int account = currentAccountUid();
    if (!open())
        return;
    {
        StoreStatement select = prepare("SELECT `group_uid`,`remarks`,`phone`,`ctd_url`,`type`,`is_customer`     "
                                        "FROM `tb_contact` WHERE `account_uid`=? AND `uid`=? AND `type`=?;",
            kLineContactSelect);
        if (select && select.bindInt(1, account) && select.bindInt(2, contact.uid) && select.bindInt(3, contact.type)
            && select.next()) {
            contact.groupUid = select.columnText(0).value_or(std::string());
            contact.remarks = select.columnText(1).value_or(std::string());
            contact.phone = select.columnText(2).value_or(std::string());
            contact.ctdUrl = select.columnText(3).value_or(std::string());
            contact.type = select.columnInt(4);
            contact.isCustomer = select.columnInt(5) == 1;
        }
    }
    close();
}

} // namespace core
