#pragma once

#include "core/model/ContactInfo.h"
#include "core/model/PhotoInfo.h"
#include "core/model/SoundInfo.h"

#include "platform/os/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace core {

// One home-school message, incoming or outgoing, one-to-one or a group send.
// The attachments exist twice: as JSON text (`photos`, `sounds`; what the
// message store keeps) and as objects (`photosInfo`, `soundsInfo`); the four
// update operations convert between the two forms.
struct MessageInfo final : platform::Object {
    // The local read states.
    static constexpr int kStateNew = 0;
    static constexpr int kStateUnread = 1;
    static constexpr int kStateRead = 2;

    std::string uid; // the server's message id ("msgId")
    std::string content;
    std::string photos; // JSON text of the photo list; empty for none
    std::vector<std::shared_ptr<PhotoInfo>> photosInfo;
    std::string sounds; // JSON text of the voice list; empty for none
    std::vector<std::shared_ptr<SoundInfo>> soundsInfo;
    bool group = false; // a group send
    std::shared_ptr<ContactInfo> contact; // the other party; none for a group send
    bool to = false; // sent by this user
    int msgUnReadCount = 0; // group send: receivers who have not read it
    int msgReadCount = 0; // group send: receivers who have read it
    int smsUnSuccessCount = 0; // group send: SMS copies that failed
    int smsSuccessCount = 0; // group send: SMS copies delivered
    int state = kStateNew; // local read state
    int remoteState = 0; // the state last confirmed to the server
    std::optional<platform::Date> time; // the message time
    std::optional<platform::Date> createTime; // when this client made or received it
    bool isSending = false;
    // In memory only: one's own message whose last send failed; the chat
    // shows it marked and offers it again.
    bool sendFailed = false;
    int templateId = 0;

    // One item of a message reply; null for anything but a dictionary. The
    // contact is read from the same dictionary; each other key is taken only
    // when its value has the expected kind. The object lists are not filled.
    static std::shared_ptr<MessageInfo> messageWithObj(const platform::Value& obj);
    // The incoming messages of a poll reply's item list, received now. Items
    // that are not dictionaries or have no text "msgId" are skipped (a message
    // without an id can be neither stored apart nor reported read), and a
    // value that is not a list gives none.
    static std::vector<std::shared_ptr<MessageInfo>> messagesWithItems(const platform::Value& items);

    // Text form → objects. Text that is not a JSON list leaves the objects as
    // they were; elements that are not dictionaries are skipped.
    void updatePhotosInfo();
    void updateSoundsInfo();
    // Objects → text form. Each member present is written; an empty list
    // gives an empty text, not "[]".
    void updatePhotos();
    void updateSounds();

    // The lists as the send commands carry them ("original"/"thumb" and
    // "url"/"seconds" objects).
    platform::Array photosValue() const;
    platform::Array soundsValue() const;

    std::string className() const override { return "MessageInfo"; }
};

} // namespace core
