#pragma once

#include "core/store/ContactsFactory.h"
#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace contacts {

// A downloaded address book, read whole before anything is stored: the
// groups in delivery order and, parallel to them, each group's contacts.
struct AddressBook {
    core::GroupList groups;
    std::vector<core::ContactList> contacts;
};

// The longest a group's id or name may be, in bytes of its UTF-8 text. The
// platform's ids are a prefix and a few digits, its names the title of a
// class or of a staff; every person of a group carries a copy of both, and
// the store writes the id into every person's row and into each of its
// index entries, so a longer one is no group's, and the book is refused as
// too large. (Counted in characters, an id of four-byte characters came to
// four times this, and every index entry of its people took a page of the
// file of its own.)
inline constexpr std::size_t kLongestGroupTextBytes = 256;

// The most the imported records may hold in memory: each person, its texts
// and its copies of its group's id and name, and each group. A school's book
// at the ceiling of its text (480,000 people) holds some 220 MB.
inline constexpr std::size_t kLargestAddressBookRecords = std::size_t { 384 } << 20;

// The most the store may be asked to write for one book, counted as the
// bytes of the rows and index entries it writes for each person and group,
// with the share of a page each takes and the pages of a long row. The book
// at the ceiling of its text (481,000 people) counts 90 MB and fills 43 MB of
// the file (52 MB with an index by account and group); the largest the
// client takes, 32,000 people each of 2,000 bytes of text (a row to a page),
// fills 133 MB.
inline constexpr std::size_t kLargestAddressBookStore = std::size_t { 128 } << 20;

// Reads the inflated reply: an array of group objects, each with a text
// "groupId" of at least three characters and an "items" array. Anything else
// makes the whole reply unusable (nothing), so a bad group further down never
// leaves the book half replaced; so does a book whose records would hold
// more than `largestRecords`, one the store would write more than
// `largestStore` bytes for, or a group whose id or name is longer than
// kLongestGroupTextBytes. Contacts that give no record are skipped; each kept one
// carries its group's id and name, its pinyin and its section letter ("#"
// for a name that spells to nothing).
std::optional<AddressBook> importAddressBook(const platform::Value& reply,
    std::size_t largestRecords = kLargestAddressBookRecords, std::size_t largestStore = kLargestAddressBookStore);

// The same, read from the book's JSON text as it is parsed: each person
// becomes a record as soon as it is read, so the book is never held as a
// whole parsed value besides its records, and a text of another shape is
// refused where it goes wrong. A group's list given twice is the last one
// given. When the text is no JSON, *error says so; when the groups alone
// would take more than `largestOutline` bytes, or the book is refused for
// its records, what the store would write or a group's id or name, *error carries
// PlatformJson::kValueTooLargeCode. A book of the wrong shape leaves it as
// it was.
inline constexpr std::size_t kLargestAddressBookOutline = std::size_t { 16 } << 20;
std::optional<AddressBook> importAddressBook(std::string_view text, platform::Error* error,
    std::size_t largestOutline = kLargestAddressBookOutline, std::size_t largestRecords = kLargestAddressBookRecords,
    std::size_t largestStore = kLargestAddressBookStore);

// The per-account record in the user defaults, under the account uid as
// decimal text: "has_load" once a download was stored, and the time of the
// last completed download. The time is the account's own, so one account's
// download never makes another account's old copy look fresh.
class AddressBookRecord final {
public:
    static constexpr const char* kHasLoadKey = "has_load";
    static constexpr const char* kRefreshTimeKey = "refresh_time";
    // Seven days, both bounds strict.
    static constexpr double kFreshSeconds = 604800.0;

    explicit AddressBookRecord(int accountUid);

    bool hasLoad() const;
    // Fresh when the last download is less than seven days old and not in
    // the future. A stale time is removed (and the defaults written).
    bool isRefreshContact(double now);
    // After a download was stored: "has_load" and the time, written out.
    void markLoaded(double now);

    static bool isTimeValid(double refreshTime, double now);

private:
    platform::Dictionary read() const;
    void write(const platform::Dictionary& record);

    std::string key_;
};

} // namespace contacts
