#pragma once

#include "core/store/MessageFactory.h"

#include <string>
#include <vector>

// The messages of this run that the message store could not take (a damaged
// or read-only store, a full disk): the server hands a polled message out
// only once, and a sent one exists nowhere else on this phone, so they are
// kept in memory for the rest of the run, per store and account, and the box
// and the chat show them beside the stored ones. The person is told once per
// store and account that messages could not be saved. Main thread only.
class UnsavedMessages final {
public:
    // Said once when the first message could not be stored.
    static constexpr const char* kNotSavedText = "消息保存失败，退出后将无法查看";

    static UnsavedMessages& shared();

    // Keeps the messages under the current store and account (each once)
    // and tells the person when this is the first time.
    void keep(const core::MessageList& messages);
    // The same under the given account of the current store, signed in or
    // not: what a poll or a send for it brought after another was chosen.
    void keep(const core::MessageList& messages, int accountUid);
    // Once the store takes writes again (a damaged file set aside for a
    // fresh one, room made on the disk), what was kept under it is written
    // there and no longer kept. Called before a store's own write, so that
    // the kept messages stand before the newer ones. False when the store
    // still refuses them.
    bool storeKeptInto(core::MessageFactory& factory);
    // The same at the exit, when no screen's store is left to write through,
    // for every account that kept messages under the current store (a
    // parent's other child, signed in earlier in the run), each under its
    // own: a store is made for it only when something is kept there.
    bool storeKept();
    // The kept messages with this contact, oldest first.
    core::MessageList withContact(int contactUid) const;
    // The contact's kept messages from them are read now.
    void markRead(int contactUid);
    // The message box's rows with the kept messages in: a conversation's row
    // shows its newest message, stored or kept, and its badge counts the
    // unread kept ones too; newest row first, as the store lists them.
    core::MessageList mergedIntoLast(core::MessageList rows) const;

    // Forgets the run, as a new process starts.
    void resetForTesting();

private:
    bool storeKeptInto(core::MessageFactory& factory, int accountUid);

    struct Kept {
        std::string store;
        int accountUid = 0;
        std::shared_ptr<core::MessageInfo> message;
    };
    struct Told {
        std::string store;
        int accountUid = 0;
    };

    std::vector<Kept> kept_;
    std::vector<Told> told_;
};
