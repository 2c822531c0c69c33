#pragma once

#include "contacts/book/ContactsViewController.h"
#include "server/ReplyScript.h"

#include <cstddef>
#include <memory>
#include <string>

class UITableView;

namespace testsupport {
class AppHarness;
}

namespace contactstest {

// The address book at the root of the fourth tab, once the main screen is up.
std::shared_ptr<ContactsViewController> book();

// No download of the tab's book is running.
bool bookIdle();

// An address-book reply as the platform sends it: the JSON text compressed
// (gzip), as a plain octet stream.
server::ScriptedReply compressedBook(const std::string& json);

// The text head + `padding` blanks + tail, compressed as zlib (or gzip) a
// piece at a time: a large inflated size without the memory to match.
std::string compressedWithPadding(const std::string& head, std::size_t padding, const std::string& tail, bool gzip);
// The same with `bytes` of `unit` repeated in the middle (cut where the bytes end).
std::string compressedWithRepeats(
    const std::string& head, const std::string& unit, std::size_t bytes, const std::string& tail, bool gzip);

// The user-defaults record of the account's book ("has_load", "refresh_time").
platform::Dictionary bookRecord(testsupport::AppHarness& harness, int accountUid);

// Moves the main loop's manual clock by this much without running the
// timers in between (a week of one-second ticks would be 600,000 polls).
void jumpClock(double seconds);

// The texts of the table's rows in a section (each row's name label).
std::string rowName(UITableView& table, long section, long row);

} // namespace contactstest
