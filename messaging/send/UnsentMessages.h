#pragma once

#include "core/store/MessageFactory.h"

#include <memory>
#include <string>
#include <vector>

// One's own one-to-one messages whose send failed, kept until they are sent:
// what the person wrote exists nowhere else, neither on the server nor in the
// message store (which takes a message only once the server has it). They
// are kept in a small file of the home beside the store,
// Documents/_unsent.json, each under the account it was written as, so that
// a failed message stays in its conversation, marked, after the chat is
// left and after the client is started again, and its mark sends it then.
// The store's tables are not touched. Main thread only.
class UnsentMessages final {
public:
    static constexpr const char* kFileName = "_unsent.json";

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

    // The file of the current home.
    static std::string filePath();

private:
    struct Live {
        std::string file;
        long key = 0;
        std::weak_ptr<core::MessageInfo> message;
    };

    // The key of a message this run knows, or 0.
    long keyOf(const core::MessageInfo* message, const std::string& file);
    void forgetDead();

    std::vector<Live> live_;
};
