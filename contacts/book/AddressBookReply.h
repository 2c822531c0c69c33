#pragma once

#include "contacts/book/AddressBookImport.h"
#include "core/network/ORBRequestTable.h"
#include "platform/os/TextEncoding.h"
#include "platform/os/Value.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

namespace contacts {

// What the reply to the address-book request comes to once read: a book
// ready to be stored, the platform's word that it has none for the account,
// or a failure with the text to show.
struct AddressBookReply {
    enum class Outcome { Book, NoBook, Failed };
    Outcome outcome = Outcome::Failed;
    std::optional<AddressBook> book;
    std::string message;
};

// The most an address book may come to once inflated. A large school's book
// is a few megabytes; a reply that inflates past this is refused whole, and
// is not inflated any further than the limit.
inline constexpr std::size_t kMaxInflatedAddressBookBytes = core::kLargestAddressBookReply;
inline constexpr const char* kAddressBookTooLargeText = "通讯录数据过大，无法加载";

// Inflates a zlib or gzip stream (the header is recognised) to at most
// `limit` bytes. Nothing when the stream is corrupt, ends early, or would
// come to more than the limit (then *tooLarge is set). Empty input comes back
// empty. Bytes after the end of the stream are not part of it.
std::optional<platform::Bytes> inflateAddressBook(
    const platform::Bytes& body, std::size_t limit, bool* tooLarge = nullptr);

// Reads the reply body whole: a JSON envelope (a refusal with its message,
// or success without a book), a book the transfer already inflated, or the
// compressed book, inflated within the limit, parsed and imported. The body
// is text in `encoding` where it is JSON. Pure work on its arguments: any
// thread.
AddressBookReply readAddressBookReply(const platform::Bytes& body, platform::StringEncoding encoding,
    std::size_t limit = kMaxInflatedAddressBookBytes);

// The address-book request (type 54, "combine/address") on its way and back.
// The reply is read, inflated, parsed and imported on a background worker,
// so that the window keeps turning however large it is; every block runs on
// the main thread. Called on the main thread.
struct AddressBookDownload {
    // The transfer has started.
    std::function<void()> started;
    // The reply is in and is being read off the main thread.
    std::function<void()> arrived;
    // What the reply came to, or the transfer's failure.
    std::function<void(AddressBookReply)> finished;
    // Limit on the inflated book.
    std::size_t limit = kMaxInflatedAddressBookBytes;
};
void downloadAddressBook(AddressBookDownload download);

} // namespace contacts
