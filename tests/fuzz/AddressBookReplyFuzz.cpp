// libFuzzer target: the address book's reply from its bytes to the stored
// book. The first byte says how the rest reaches the reader: as it is, or
// compressed here as a zlib or a gzip stream (so that the fuzzer's changes
// reach the JSON of an inflated book). The reader holds to its limit, and a
// book it hands over is stored and read back the same: each group with the
// last of its lists, each contact once per group with its last entry.
#include "contacts/book/AddressBookReply.h"
#include "core/session/MyAccountInfo.h"
#include "core/store/ContactsFactory.h"
#include "platform/os/AppPaths.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <zlib.h>

namespace {

constexpr std::size_t kLimit = std::size_t { 1 } << 20;
constexpr int kAccountUid = 2001;

[[noreturn]] void wrong(const char* what)
{
    std::fprintf(stderr, "address_book_reply_fuzz: %s\n", what);
    std::abort();
}

platform::Bytes compressed(const std::string& text, bool gzip)
{
    z_stream z {};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, gzip ? 31 : 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        std::abort();
    platform::Bytes out(deflateBound(&z, static_cast<uLong>(text.size())));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END)
        std::abort();
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

std::string describe(const core::ContactInfo& c)
{
    return std::to_string(c.uid) + "|" + c.groupUid + "|" + c.groupName + "|" + c.name + "|" + c.firstC + "|" + c.pinyin
        + "|" + c.remarks + "|" + c.thumbAvatar + "|" + c.avatar + "|" + c.phone + "|" + c.ctdUrl + "|"
        + std::to_string(c.type) + "|" + (c.isCustomer ? "1" : "0");
}

struct StoredGroup {
    std::string name;
    int type = 0;
    std::map<int, std::string> contacts; // uid -> the contact as stored
};

// What the store must hold after the book: groups by uid with their last
// entry, each contact once per group with its last entry.
std::map<std::string, StoredGroup> expected(const contacts::AddressBook& book)
{
    std::map<std::string, StoredGroup> groups;
    for (std::size_t i = 0; i < book.groups.size(); ++i) {
        const auto& group = *book.groups[i];
        StoredGroup stored;
        stored.name = group.name;
        stored.type = group.type;
        for (const auto& contact : book.contacts[i]) {
            core::ContactInfo copy = *contact;
            copy.groupName = group.name;
            stored.contacts[contact->uid] = describe(copy);
        }
        groups[group.uid] = std::move(stored);
    }
    return groups;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    platform::AppPaths::setHome(fuzzsupport::scratch());
    platform::AppPaths::createAll();
    auto session = std::make_shared<core::MyAccountInfo>();
    auto account = std::make_shared<core::AccountInfo>();
    account->uid = kAccountUid;
    account->type = 1;
    session->setCurrent(account);
    core::MyAccountInfo::setInstance(session);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::Input input(data, size);
    const std::uint8_t how = input.takeByte() % 3;
    const std::string rest = input.rest();
    platform::Bytes body = how == 0 ? platform::Bytes(rest.begin(), rest.end()) : compressed(rest, how == 2);

    const auto reply = contacts::readAddressBookReply(body, platform::kUTF8StringEncoding, kLimit);
    // A stream that inflates past the limit is refused for its size.
    if (how != 0 && rest.size() > kLimit
        && !(reply.outcome == contacts::AddressBookReply::Outcome::Failed
            && reply.message == contacts::kAddressBookTooLargeText))
        wrong("a book past the limit was not refused");
    if (reply.outcome == contacts::AddressBookReply::Outcome::Failed && reply.message.empty())
        wrong("a failure without a text");
    if (reply.outcome != contacts::AddressBookReply::Outcome::Book)
        return 0;
    if (!reply.book || reply.book->groups.size() != reply.book->contacts.size())
        wrong("a book without its lists");

    core::ContactsFactory store;
    if (!store.setAddressBook(reply.book->groups, reply.book->contacts))
        wrong("an imported book was not stored");
    auto want = expected(*reply.book);
    auto groups = store.getGroups();
    if (!groups || groups->size() != want.size())
        wrong("the stored groups are not the book's");
    for (const auto& group : *groups) {
        auto found = want.find(group->uid);
        if (found == want.end() || found->second.name != group->name || found->second.type != group->type
            || static_cast<std::size_t>(group->totalCount) != found->second.contacts.size())
            wrong("a stored group differs from the book's");
        auto stored = store.getContactsWithGroup(group->uid);
        if (!stored || stored->size() != found->second.contacts.size())
            wrong("a group's stored contacts are not the book's");
        for (const auto& contact : *stored) {
            auto entry = found->second.contacts.find(contact->uid);
            if (entry == found->second.contacts.end() || entry->second != describe(*contact))
                wrong("a stored contact differs from the book's");
        }
    }
    return 0;
}
