#include "core/store/MessageFactory.h"

#include "platform/os/Log.h"

#include <sqlite3.h>

#include <algorithm>

namespace core {

namespace {

    // Numbers that tell which step failed in "line %i,%i#%s\n".
    enum StepLine : int {
        kLineUpdatePrepare = 201,
        kLineInsertPrepare = 202,
        kLineContactPrepare = 203,
        kLineUpdateStep = 204,
        kLineInsertStep = 205,
        kLineContactStep = 206,
        kLineBadge = 207,
        kLineBegin = 208,
        kLineCommit = 209,
        kLineLastContacts = 210,
        kLineLastMessage = 211,
        kLineLastGroups = 212,
        kLineHistory = 213,
        kLineMarkRead = 214,
        kLineShowAgain = 215,
        kLineChangedSelect = 216,
        kLineGroupCountsPrepare = 217,
        kLineRemoteStatePrepare = 218,
        kLineStateStep = 219,
        kLineDeleteGroupPrepare = 220,
        kLineHidePrepare = 221,
        kLineRemoveStep = 222,
        kLineBadgeSum = 223,
    };

    constexpr const char* kCreateContactTable
        = "CREATE TABLE IF NOT EXISTS `tb_message_contact` (                `uid` integer NOT NULL,                "
          "`account_uid` integer NOT NULL,                `name` text(10,0) NOT NULL,                `remarks` "
          "text(20,0),                `thumb_avatar` text(128,0) NOT NULL,                `avatar` text(128,0) NOT "
          "NULL,                `phone` text(20,0),                `type` integer NOT NULL,                `talking` "
          "integer NOT NULL DEFAULT 1,                `badge` integer NOT NULL DEFAULT 0,                `last_time` "
          "text(19,0),                PRIMARY KEY(`uid`,`account_uid`)                );";

    constexpr const char* kCreateMessageTable
        = "CREATE TABLE IF NOT EXISTS `tb_message` (                `uid` text(10,0) NOT NULL,                "
          "`group` integer NOT NULL,                `content` text DEFAULT NULL,                `photos` "
          "text(1024,0) DEFAULT NULL,                `sounds` text(128,0) DEFAULT NULL,                "
          "`account_uid` integer NOT NULL,                `target_uid` integer NOT NULL,                `to` "
          "integer NOT NULL,                `msg_unread_count` integer NOT NULL DEFAULT 0,                "
          "`msg_read_count` integer NOT NULL DEFAULT 0,                `sms_unsuccess_count` integer NOT NULL "
          "DEFAULT 0,                `sms_success_count` integer NOT NULL DEFAULT 0,                `state` "
          "integer NOT NULL DEFAULT 1,                `remote_state` integer NOT NULL DEFAULT 0,                "
          "`time` text(19,0) NOT NULL,                `create_time` text(19,0) NOT NULL,                PRIMARY "
          "KEY(`uid`,`account_uid`,`to`)                );";

    // The conversation list asks for the newest message of every partner; the
    // table's key does not start with the partner, so without this each of
    // those questions would read the whole table.
    constexpr const char* kCreatePartnerIndex = "CREATE INDEX IF NOT EXISTS `idx_message_partner_time` ON `tb_message` "
                                                "(`account_uid`, `target_uid`, `time`);";

    // A state of 0 means "not known": a re-delivered poll item carries 0 and
    // must not undo what the chat screen or the state report recorded.
    constexpr const char* kUpdateMessage
        = "UPDATE `tb_message` SET `content`=?1,`photos`=?2,`sounds`=?3,`msg_unread_count`=?4,`msg_read_count`=?5,"
          "`sms_unsuccess_count`=?6,`sms_success_count`=?7,"
          "`state`=CASE WHEN ?8=0 THEN `state` ELSE ?8 END,"
          "`remote_state`=CASE WHEN ?9=0 THEN `remote_state` ELSE ?9 END,"
          "`time`=?10 WHERE `uid`=?11 AND `account_uid`=?12 AND `to`=?13;";

    constexpr const char* kInsertMessage
        = "REPLACE INTO `tb_message`(`uid`,`group`,`content`,`photos`,`sounds`,`account_uid`,`target_uid`,`to`,"
          "`msg_unread_count`,`msg_read_count`,`sms_unsuccess_count`,`sms_success_count`,`state`,`remote_state`,"
          "`time`,`create_time`) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?);";

    constexpr const char* kReplaceConversation
        = "REPLACE INTO `tb_message_contact`(        `uid`,`account_uid`,`name`,        "
          "`remarks`,`thumb_avatar`,`avatar`,`phone`,`type`,`talking`,`last_time`)        "
          "VALUES(?,?,?,?,?,?,?,?,?,?);";

    constexpr const char* kRecountBadges
        = "UPDATE `tb_message_contact` SET `badge`=(SELECT COUNT(*) FROM `tb_message` AS m "
          "WHERE m.`account_uid`=`tb_message_contact`.`account_uid` AND m.`state`=1 AND m.`to`=0 "
          "AND m.`target_uid`=`tb_message_contact`.`uid`) WHERE `account_uid`=?;";

    constexpr const char* kSelectConversations
        = "SELECT `uid`,`name`,`remarks`,`thumb_avatar`,`avatar`,`phone`,`type`,`badge`     "
          "FROM `tb_message_contact` WHERE `account_uid`=? AND `talking`=1 ORDER BY `last_time` DESC;";

    constexpr const char* kSelectNewest
        = "SELECT `uid`,`group`,`content`,`photos`,`sounds`,`to`,`state`,`remote_state`,`time`,`create_time`     "
          "FROM `tb_message` WHERE `account_uid`=? AND `target_uid`=? ORDER BY `time` DESC LIMIT 1;";

    constexpr const char* kSelectGroupRecords
        = "SELECT `uid`,`group`,`content`,`photos`,`sounds`,`to`,`state`,`remote_state`,`msg_unread_count`,"
          "`msg_read_count`,`sms_unsuccess_count`,`sms_success_count`,`time`,`create_time`     "
          "FROM `tb_message` WHERE `group`=1 AND `to`=1 AND `account_uid`=? ORDER BY `time` DESC;";

    constexpr const char* kSelectHistory
        = "SELECT `uid`,`group`,`content`,`photos`,`sounds`,`to`,`state`,`remote_state`,`msg_unread_count`,"
          "`msg_read_count`,`sms_unsuccess_count`,`sms_success_count`,`time`,`create_time`         "
          "FROM `tb_message` WHERE `account_uid`=? AND `target_uid`=? ORDER BY `time`;";

    std::optional<std::string> textOrNull(const std::string& text)
    {
        if (text.empty())
            return std::nullopt;
        return text;
    }

    // The columns every message query starts with: uid, group, content,
    // photos, sounds, to.
    std::shared_ptr<MessageInfo> messageFromHead(const StoreStatement& row)
    {
        auto message = std::make_shared<MessageInfo>();
        message->uid = row.columnText(0).value_or(std::string());
        message->group = row.columnInt(1) == 1;
        message->content = row.columnText(2).value_or(std::string());
        message->photos = row.columnText(3).value_or(std::string());
        message->sounds = row.columnText(4).value_or(std::string());
        message->to = row.columnInt(5) == 1;
        return message;
    }

    // uid, group, content, photos, sounds, to, state, remote_state, msg_unread_count,
    // msg_read_count, sms_unsuccess_count, sms_success_count, time, create_time.
    std::shared_ptr<MessageInfo> fullMessage(const StoreStatement& row)
    {
        auto message = messageFromHead(row);
        message->state = row.columnInt(6);
        message->remoteState = row.columnInt(7);
        message->msgUnReadCount = row.columnInt(8);
        message->msgReadCount = row.columnInt(9);
        message->smsUnSuccessCount = row.columnInt(10);
        message->smsSuccessCount = row.columnInt(11);
        message->time = BaseFactory::timeFromText(row.columnText(12));
        message->createTime = BaseFactory::timeFromText(row.columnText(13));
        return message;
    }

    // uid, group, content, photos, sounds, to, state, remote_state, time, create_time.
    std::shared_ptr<MessageInfo> shortMessage(const StoreStatement& row)
    {
        auto message = messageFromHead(row);
        message->state = row.columnInt(6);
        message->remoteState = row.columnInt(7);
        message->time = BaseFactory::timeFromText(row.columnText(8));
        message->createTime = BaseFactory::timeFromText(row.columnText(9));
        return message;
    }

    void fillAttachments(MessageInfo& message)
    {
        message.updatePhotosInfo();
        message.updateSoundsInfo();
    }

    bool isGroupRecord(const MessageInfo& message) { return message.group && message.to; }

} // namespace

MessageFactory::MessageFactory()
{
    checkVersion(schema(), { "DROP TABLE IF EXISTS `tb_message_contact`;", "DROP TABLE IF EXISTS `tb_message`;" });
    // The index is made for files of earlier runs too, so it is not tied to
    // the version key.
    if (open()) {
        exec(kCreatePartnerIndex, __LINE__);
        close();
    }
}

StoreSchema MessageFactory::schema()
{
    return { kVersionKey, kVersion,
        { { "tb_message_contact", kCreateContactTable }, { "tb_message", kCreateMessageTable } },
        { kCreatePartnerIndex } };
}

bool MessageFactory::setMessage(const MessageList& messages) { return setMessage(messages, currentAccountUid()); }

bool MessageFactory::setMessage(const MessageList& messages, int account)
{
    const platform::Date now = platform::Date::now();
    return writeInTransaction([&] {
        StoreStatement update = prepare(kUpdateMessage, kLineUpdatePrepare);
        StoreStatement insert = prepare(kInsertMessage, kLineInsertPrepare);
        StoreStatement conversation = prepare(kReplaceConversation, kLineContactPrepare);
        if (!update || !insert || !conversation)
            return false;
        for (const auto& message : messages) {
            if (!message)
                continue;
            if (message->uid.empty()) {
                // Without an id it would overwrite any other message without one.
                platform::log("a message without an id is not stored\n");
                continue;
            }
            const MessageInfo& m = *message;
            const platform::Date created = m.createTime.value_or(now);
            const std::string time = timeText(m.time.value_or(created));
            const std::string createTime = timeText(created);
            const int to = m.to ? 1 : 0;

            update.bindText(1, m.content);
            update.bindText(2, textOrNull(m.photos));
            update.bindText(3, textOrNull(m.sounds));
            update.bindInt(4, m.msgUnReadCount);
            update.bindInt(5, m.msgReadCount);
            update.bindInt(6, m.smsUnSuccessCount);
            update.bindInt(7, m.smsSuccessCount);
            update.bindInt(8, m.state);
            update.bindInt(9, m.remoteState);
            update.bindText(10, time);
            update.bindText(11, m.uid);
            update.bindInt(12, account);
            update.bindInt(13, to);
            if (!update.run()) {
                printError(kLineUpdateStep);
                return false;
            }
            const bool stored = changes() > 0;
            update.reset();

            if (!stored) {
                insert.bindText(1, m.uid);
                insert.bindInt(2, m.group ? 1 : 0);
                insert.bindText(3, m.content);
                insert.bindText(4, textOrNull(m.photos));
                insert.bindText(5, textOrNull(m.sounds));
                insert.bindInt(6, account);
                insert.bindInt(7, m.contact ? m.contact->uid : 0);
                insert.bindInt(8, to);
                insert.bindInt(9, m.msgUnReadCount);
                insert.bindInt(10, m.msgReadCount);
                insert.bindInt(11, m.smsUnSuccessCount);
                insert.bindInt(12, m.smsSuccessCount);
                // The caller's read state: the chat screen stores a message it
                // shows at once as read.
                insert.bindInt(13, m.state == MessageInfo::kStateNew ? MessageInfo::kStateUnread : m.state);
                insert.bindInt(14, m.remoteState);
                insert.bindText(15, time);
                insert.bindText(16, createTime);
                if (!insert.run()) {
                    printError(kLineInsertStep);
                    return false;
                }
                insert.reset();
            }

            // Whoever sends this account a message becomes a visible
            // conversation, by a group send too: a teacher's note to the whole
            // class must reach a parent's message box. Only this account's own
            // group sends stay out, kept as group records.
            if (m.contact && (!m.group || !m.to)) {
                const ContactInfo& c = *m.contact;
                conversation.bindInt(1, c.uid);
                conversation.bindInt(2, account);
                conversation.bindText(3, c.name);
                conversation.bindText(4, textOrNull(c.remarks));
                conversation.bindText(5, c.thumbAvatar);
                conversation.bindText(6, c.avatar);
                conversation.bindText(7, textOrNull(c.phone));
                conversation.bindInt(8, c.type);
                conversation.bindInt(9, 1);
                conversation.bindText(10, createTime);
                if (!conversation.run()) {
                    printError(kLineContactStep);
                    return false;
                }
                conversation.reset();
            }
        }
        StoreStatement recount = prepare(kRecountBadges, kLineBadge);
        if (!recount || !recount.bindInt(1, account) || !recount.run()) {
            printError(kLineBadge);
            return false;
        }
        return true;
    });
}

std::optional<MessageList> MessageFactory::getMessageLast()
{
    const int account = currentAccountUid();
    if (!open())
        return std::nullopt;
    // One read transaction, so the list is one consistent picture even while
    // another connection writes.
    exec("BEGIN;", kLineBegin);
    MessageList list;
    {
        StoreStatement conversations = prepare(kSelectConversations, kLineLastContacts);
        StoreStatement newest = prepare(kSelectNewest, kLineLastMessage);
        if (conversations && newest && conversations.bindInt(1, account)) {
            while (conversations.next()) {
                auto contact = std::make_shared<ContactInfo>();
                contact->uid = conversations.columnInt(0);
                contact->name = conversations.columnText(1).value_or(std::string());
                contact->remarks = conversations.columnText(2).value_or(std::string());
                contact->thumbAvatar = conversations.columnText(3).value_or(std::string());
                contact->avatar = conversations.columnText(4).value_or(std::string());
                contact->phone = conversations.columnText(5).value_or(std::string());
                contact->type = conversations.columnInt(6);
                contact->badge = conversations.columnInt(7);
                newest.bindInt(1, account);
                newest.bindInt(2, contact->uid);
                if (newest.next()) {
                    auto message = shortMessage(newest);
                    message->contact = contact;
                    fillAttachments(*message);
                    list.push_back(std::move(message));
                }
                newest.reset();
            }
        }
        StoreStatement groups = prepare(kSelectGroupRecords, kLineLastGroups);
        if (groups && groups.bindInt(1, account)) {
            while (groups.next()) {
                auto message = fullMessage(groups);
                fillAttachments(*message);
                list.push_back(std::move(message));
            }
        }
    }
    exec("COMMIT;", kLineCommit);
    close();
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a->time > b->time; });
    return list;
}

std::optional<MessageList> MessageFactory::getMessageWithContact(const ContactInfo& contact)
{
    const int account = currentAccountUid();
    if (!open())
        return std::nullopt;
    std::optional<MessageList> list;
    {
        StoreStatement history = prepare(kSelectHistory, kLineHistory);
        if (history && history.bindInt(1, account) && history.bindInt(2, contact.uid)) {
            list.emplace();
            auto partner = std::make_shared<ContactInfo>(contact);
            int rc;
            while ((rc = history.step()) == SQLITE_ROW) {
                auto message = fullMessage(history);
                message->contact = partner;
                fillAttachments(*message);
                list->push_back(std::move(message));
            }
            if (rc != SQLITE_DONE) {
                printError(kLineHistory);
                list.reset();
            }
        }
    }
    // Opening the conversation reads it, whether or not the history could be listed.
    bool marked = writeInTransaction([&] {
        StoreStatement read = prepare(
            "UPDATE `tb_message` SET `state`=2 WHERE `to`=0 AND `account_uid`=? AND `target_uid`=?;", kLineMarkRead);
        if (!read || !read.bindInt(1, account) || !read.bindInt(2, contact.uid) || !read.run()) {
            printError(kLineMarkRead);
            return false;
        }
        StoreStatement show = prepare(
            "UPDATE `tb_message_contact` SET `talking`=1,`badge`=0 WHERE `account_uid`=? AND `uid`=?;", kLineShowAgain);
        if (!show || !show.bindInt(1, account) || !show.bindInt(2, contact.uid) || !show.run()) {
            printError(kLineShowAgain);
            return false;
        }
        return true;
    });
    // The list tells what is stored now, so a caller that stores one of these
    // messages again does not make it unread.
    if (marked && list) {
        for (const auto& message : *list) {
            if (!message->to)
                message->state = MessageInfo::kStateRead;
        }
    }
    close();
    return list;
}

std::optional<MessageList> MessageFactory::getMessageStateChanged()
{
    const int account = currentAccountUid();
    return readList<MessageList>(
        "SELECT `uid`,`state`,`remote_state`     FROM `tb_message` WHERE `state`!=`remote_state` AND `to`=0 AND "
        "`account_uid`=?;",
        kLineChangedSelect, [&](StoreStatement& select) { return select.bindInt(1, account); },
        [](MessageList& list, const StoreStatement& row) {
            auto message = std::make_shared<MessageInfo>();
            message->uid = row.columnText(0).value_or(std::string());
            message->state = row.columnInt(1);
            message->remoteState = row.columnInt(2);
            list.push_back(std::move(message));
        });
}

bool MessageFactory::setMessageStateChanged(const MessageList& messages)
{
    if (messages.empty())
        return false;
    const int account = currentAccountUid();
    return writeInTransaction([&] {
        StoreStatement counts
            = prepare("UPDATE `tb_message` SET `msg_read_count`=?,`msg_unread_count`=?,`sms_success_count`=?,"
                      "`sms_unsuccess_count`=? WHERE `group`=1 AND `to`=1 AND `account_uid`=? AND `uid`=?;",
                kLineGroupCountsPrepare);
        StoreStatement confirmed
            = prepare("UPDATE `tb_message` SET `remote_state`=? WHERE `to`=0 AND `account_uid`=? AND `uid`=?;",
                kLineRemoteStatePrepare);
        if (!counts || !confirmed)
            return false;
        for (const auto& message : messages) {
            if (!message)
                continue;
            StoreStatement& statement = isGroupRecord(*message) ? counts : confirmed;
            if (isGroupRecord(*message)) {
                counts.bindInt(1, message->msgReadCount);
                counts.bindInt(2, message->msgUnReadCount);
                counts.bindInt(3, message->smsSuccessCount);
                counts.bindInt(4, message->smsUnSuccessCount);
                counts.bindInt(5, account);
                counts.bindText(6, message->uid);
            } else {
                confirmed.bindInt(1, message->state);
                confirmed.bindInt(2, account);
                confirmed.bindText(3, message->uid);
            }
            if (!statement.run()) {
                printError(kLineStateStep);
                return false;
            }
            statement.reset();
        }
        return true;
    });
}

bool MessageFactory::removeMessageLast(const MessageList& messages)
{
    if (messages.empty())
        return false;
    const int account = currentAccountUid();
    return writeInTransaction([&] {
        StoreStatement remove = prepare(
            "DELETE FROM `tb_message` WHERE `group`=1 AND `account_uid`=? AND `uid`=?;", kLineDeleteGroupPrepare);
        StoreStatement hide = prepare(
            "UPDATE `tb_message_contact` SET `talking`=0 WHERE `account_uid`=? AND `uid`=?;", kLineHidePrepare);
        if (!remove || !hide)
            return false;
        for (const auto& message : messages) {
            if (!message)
                continue;
            StoreStatement* statement = nullptr;
            if (message->group) {
                // Only the account's group-send record of that id; a
                // one-to-one message that happens to share the id stays.
                remove.bindInt(1, account);
                remove.bindText(2, message->uid);
                statement = &remove;
            } else if (message->contact) {
                hide.bindInt(1, account);
                hide.bindInt(2, message->contact->uid);
                statement = &hide;
            } else {
                continue;
            }
            if (!statement->run()) {
                printError(kLineRemoveStep);
                return false;
            }
            statement->reset();
        }
        return true;
    });
}

int MessageFactory::getBadgeSum()
{
    const int account = currentAccountUid();
    if (!open())
        return 0;
    int sum = 0;
    {
        StoreStatement total = prepare(
            "SELECT TOTAL(`badge`) FROM `tb_message_contact` WHERE `account_uid`=? AND `talking`=1;", kLineBadgeSum);
        if (total && total.bindInt(1, account) && total.next())
            sum = total.columnInt(0);
    }
    close();
    return sum;
}

int MessageFactory::badgeSum(const MessageList& conversations)
{
    int sum = 0;
    for (const auto& message : conversations) {
        if (message && !message->group && message->contact)
            sum += message->contact->badge;
    }
    return sum;
}

} // namespace core
