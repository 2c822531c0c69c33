#pragma once

#include "core/store/MessageFactory.h"
#include "platform/os/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// One's own one-to-one messages whose send failed, kept until they are sent:
// what the person wrote exists nowhere else, neither on the server nor in the
// message store (which takes a message only once the server has it). They
// are kept in a small file of the home beside the store,
// Documents/_unsent.json, each under the account it was written as, so that
// a failed message stays in its conversation, marked, after the chat is
// left and after the client is started again, and its mark sends it then.
// Every message kept this run is also held in memory until it is sent,
// whatever becomes of the file: a home that takes no writes (read-only, full)
// still shows it for the run, and the file takes it at the next look at it
// that can write it (the next change, the next chat opened, the exit). A
// file that does not read (damaged, cut short, too large) is set aside
// beside it as it was found, "_unsent.json.corrupt-<UTC time>", and a fresh
// one started. The file is never written larger than the client reads back:
// what would take it past that stays in memory for the run. The store's
// tables are not touched. Main thread only.
class UnsentMessages final {
public:
    static constexpr const char* kFileName = "_unsent.json";
    // A file larger than this is not read: it is set aside, as one that does
    // not parse is. Thousands of messages' entries fit in it.
    static constexpr std::size_t kLargestFile = 4 << 20;

    static UnsentMessages& shared();

    // The message, written as this account, could not be sent: kept, or its
    // entry brought up to date (a send again moves its time).
    void keep(const std::shared_ptr<core::MessageInfo>& message, int accountUid);
    // The message was sent: no longer kept.
    void forget(const std::shared_ptr<core::MessageInfo>& message);
    // The kept messages to this contact of the account signed in, oldest
    // first. A message still shown or on its way again is that same object;
    // one read back from the file is marked as failed.
    core::MessageList withContact(int contactUid);
    // What this run keeps and the file of the current home does not hold yet
    // is written, when the home takes it: for the exit. False when the file
    // still misses some of it.
    bool writeKept();

    // The file of the current home.
    static std::string filePath();

    // Forgets the run: what the next start of the client in this process
    // finds is the file's alone, as a new process finds it.
    void resetForTesting();

private:
    struct Kept {
        std::string file;
        long key = 0;
        // The entry for the message: as the file holds it, or is to hold it.
        platform::Value entry;
        // Whether the file holds the entry as it is now.
        bool written = false;
        // Whether the file has held an entry of this message under its key
        // (written by this run, or read from it): until then another entry
        // there under the same key is some other message's.
        bool placed = false;
        // A message kept this run is held until it is sent; one read back
        // from the file only while something shows it.
        std::shared_ptr<core::MessageInfo> held;
        std::weak_ptr<core::MessageInfo> message;
    };
    // A message sent: its entry is taken out of the file at the next look
    // that reads it and can write it.
    struct Dropped {
        std::string file;
        long key = 0;
    };

    Kept* find(const core::MessageInfo* message, const std::string& file);
    // A key for a message kept in `file`, whose entries (as far as they were
    // read) are `entries`: the counter's next, or, once a file of an
    // earlier run took the counter to the top, the lowest key nothing
    // holds.
    long takeKey(const std::string& file, const platform::Array& entries);
    // The file's entries, as merge takes them; the keys given out from now
    // on are above theirs.
    std::optional<platform::Array> read(const std::string& file);
    void forgetDead();
    // Into `entries`: the entries `found` in the file (nothing: a file that
    // can neither be read nor set aside, and is not written over), with what
    // this run keeps in it and what it sent out of it; written when that
    // changes the file. False when the file misses some of it still.
    bool merge(const std::string& file, std::optional<platform::Array> found, platform::Array& entries);

    std::vector<Kept> kept_;
    std::vector<Dropped> dropped_;
    // The key of the next message kept: above every key given out this run
    // and every key read from a file. A key given out while the file could
    // not be read is the message's only once the file takes it: another
    // entry found there under it keeps its key, and the message takes a new
    // one. So no two messages share one, whatever became of the file
    // meanwhile (set aside, not written, not read).
    long nextKey_ = 1;
};
