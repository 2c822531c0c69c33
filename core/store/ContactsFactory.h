#pragma once

#include "core/model/ContactInfo.h"
#include "core/model/GroupInfo.h"
#include "core/store/BaseFactory.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace core {

using ContactList = std::vector<std::shared_ptr<ContactInfo>>;
using GroupList = std::vector<std::shared_ptr<GroupInfo>>;

// The signed-in account's school address book in the local database file:
// its groups and one row per person and group. Every row belongs to the
// account signed in at the time of the call. Writes are all or nothing.
class ContactsFactory final : public BaseFactory {
public:
    static constexpr const char* kVersionKey = "contacts_version";
    static constexpr const char* kVersion = "1.2.0";
    static StoreSchema schema();

    // The store's record of an account's book, in `tb_info`: the count of
    // groups it was stored with, which the contacts screen compares with
    // what it reads. A copy of a damaged file that left people behind writes
    // it as incomplete, which no count is, so that the book is fetched again.
    static constexpr const char* kBookRecordKeyPrefix = "contacts_book_groups_";
    static constexpr const char* kBookRecordIncomplete = "incomplete";
    static std::string bookRecordKey(int account) { return kBookRecordKeyPrefix + std::to_string(account); }

    // Rewrites the file and brings the contact tables to the current version.
    ContactsFactory();

    // Drops and re-creates both tables; the version key is written only when
    // all four statements succeeded.
    bool initContactsDB();

    // Every contact and group of the account.
    bool deleteCurrentAccountContacts();
    // Replaces the account's contacts of one group and stores the group's new
    // count. A contact without a group of its own is stored under this one,
    // and one without pinyin gets it from its name.
    bool setContacts(const ContactList& contacts, const std::string& groupUid);
    // Replaces the account's groups, deletes its contacts that belong to none
    // of them, and counts each group's stored contacts, so the order of the
    // two writes of a download does not matter.
    bool setGroups(const GroupList& groups);
    // A whole download: each group's contacts (parallel to `groups`), then
    // the groups. It replaces the account's book at once: nothing changes
    // unless every write succeeded, so a failure part-way leaves the previous
    // book whole, and a reader sees either book, never a part of one.
    bool setAddressBook(const GroupList& groups, const std::vector<ContactList>& contactsPerGroup);
    // The same for the account given, on any thread: half a million people
    // take seconds to write, so the address book screen writes them off the
    // main thread. The write has a connection of its own and holds the file
    // only until another store waits for it: the new book is written beside
    // the tables in as few transactions as the stores waiting meanwhile make
    // it, each committed to let a waiting store in before the next, and then
    // takes their place in one short transaction.
    // The tables it replaced are left to dropReplacedBook (or to the next
    // book's write). One book is written at a time.
    static bool storeAddressBook(
        int account, const GroupList& groups, const std::vector<ContactList>& contactsPerGroup);
    // Empties and drops the tables a book replaced, in short transactions as
    // above; nothing when there are none.
    static void dropReplacedBook();

    // Nothing when the file cannot be opened or the query fails.
    std::optional<GroupList> getGroups();
    std::optional<GroupList> getGroups(int type);
    std::optional<ContactList> getContactsWithGroup(const std::string& groupUid);
    std::optional<ContactList> getContactsWithGroup(const std::string& groupUid, int type);
    // Contacts whose name, remarks, pinyin or phone hold the text; a blank in
    // the text stands for anything, so "zhang san" finds ZHANGXIAOSAN. In
    // pinyin order; a row with the name, type and phone of an earlier one is
    // left out (one person in several groups); no match is an empty list.
    std::optional<ContactList> getContactsWithKeyword(const std::string& keyword);
    std::optional<ContactList> getContactsWithKeyword(const std::string& keyword, int type);
    // Fills the contact from its stored row (matched on uid and type); leaves
    // it as it is when there is none.
    void getContact(ContactInfo& contact);

    // The LIKE pattern of a search text ("\" escapes the wildcards typed).
    static std::string keywordPattern(const std::string& keyword);

private:
    explicit ContactsFactory(KeepFile keep)
        : BaseFactory(keep)
    {
    }
    bool writeAddressBook(int account, const GroupList& groups, const std::vector<ContactList>& contactsPerGroup);

    // The book's write in short transactions (see storeAddressBook).
    class ShortTransactions;
    bool stageAddressBook(ShortTransactions& write, int account, const GroupList& groups,
        const std::vector<ContactList>& contactsPerGroup);
    // The rows of the other accounts, copied as they are; the key is the
    // table's primary key, the account its last column.
    bool copyOtherAccounts(
        ShortTransactions& write, const char* table, const char* staged, const char* key, int keyColumns, int account);
    bool swapInStagedBook(ShortTransactions& write);
    // Empties the table a few rows at a time and drops it, when it exists.
    bool dropInShortTransactions(ShortTransactions& write, const char* table);
    bool dropLeftTables(ShortTransactions& write);

    // The statements of the two writes, run inside a transaction already open.
    bool writeContacts(const ContactList& contacts, const std::string& groupUid, int account);
    bool writeGroups(const GroupList& groups, int account);
    // The adding part of writeContacts, without clearing the group first.
    bool insertContacts(const ContactList& contacts, const std::string& groupUid, int account);
    // Each of the account's groups gets the count of its stored contacts.
    bool recountGroups(int account);

    // Gives the table the index of the account's people by group, when it
    // has none, under a name no other table's index takes.
    bool indexByGroup(const char* table);

    // Inside a write: runs a statement whose one parameter is the account;
    // logs with `line` and answers false on failure.
    bool runForAccount(const char* sql, int line, int account);

    std::optional<GroupList> readGroups(const std::optional<int>& type);
    std::optional<ContactList> readContactsWithGroup(const std::string& groupUid, const std::optional<int>& type);
    std::optional<ContactList> readContactsWithKeyword(const std::string& keyword, const std::optional<int>& type);
};

} // namespace core
