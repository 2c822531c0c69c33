#pragma once

#include "core/model/ContactInfo.h"
#include "core/model/MessageInfo.h"
#include "core/store/BaseFactory.h"

#include <memory>
#include <optional>
#include <vector>

namespace core {

using MessageList = std::vector<std::shared_ptr<MessageInfo>>;

// The signed-in account's home-school messages in the local database file:
// every one-to-one message received or sent, one conversation row per partner
// for the message box, and the group-send records with their read and SMS
// counts. Every row belongs to the account signed in at the time of the call,
// so the accounts of one phone keep apart in the same file.
//
// Writes are all or nothing: a batch that fails anywhere leaves the file as
// it was and answers false.
class MessageFactory final : public BaseFactory {
public:
    static constexpr const char* kVersionKey = "message_version";
    static constexpr const char* kVersion = "1.0.3";
    static StoreSchema schema();

    // Rewrites the file and brings the message tables to the current version.
    MessageFactory();

    // Stores messages: a message already stored (same uid, account and
    // direction) is updated, any other inserted, and a one-to-one message
    // writes its partner's conversation row, which brings a hidden
    // conversation back. The read state is the caller's (0, not yet known,
    // keeps the stored state or starts unread), so a message shown at once
    // is stored read and a re-delivered one keeps its state. A message whose
    // partner is unknown is stored without a conversation row; one without an
    // id is skipped. The unread counts of the account's conversations are
    // counted again afterwards.
    bool setMessage(const MessageList& messages);
    // The same for the given account, signed in or not: messages it
    // received while the store took no writes.
    bool setMessage(const MessageList& messages, int accountUid);

    // The conversation list: the newest message of each shown conversation
    // (its contact carrying the unread count) and every group-send record,
    // newest first. Nothing when the file cannot be opened.
    std::optional<MessageList> getMessageLast();
    // One conversation, oldest first; its received messages are then marked
    // read (in the list too) and the conversation is shown again with no
    // unread count.
    std::optional<MessageList> getMessageWithContact(const ContactInfo& contact);
    // Received messages whose read state has not been confirmed to the server
    // (uid, state and remoteState set).
    std::optional<MessageList> getMessageStateChanged();
    // Records what the server accepted: the confirmed read state of received
    // messages, or the new counts of group-send records. An empty list is false.
    bool setMessageStateChanged(const MessageList& messages);
    // Takes rows off the conversation list: a group-send record is deleted, a
    // conversation is hidden with its history kept. An empty list is false.
    bool removeMessageLast(const MessageList& messages);

    // The unread total of the tab badge: the unread counts of the account's
    // shown conversations added up. 0 when the file cannot be read.
    int getBadgeSum();
    // The same total over a conversation list as getMessageLast gives it.
    static int badgeSum(const MessageList& conversations);
};

} // namespace core
