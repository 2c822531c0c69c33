#include "messaging/chat/ChatRows.h"

#include "messaging/chat/MessageGroupCenterCell.h"
#include "messaging/chat/MessageLeftCell.h"
#include "messaging/chat/MessagePhotoLeftCell.h"
#include "messaging/chat/MessagePhotoRightCell.h"
#include "messaging/chat/MessageRightCell.h"
#include "messaging/chat/MessageSendingCell.h"
#include "messaging/chat/MessageSoundLeftCell.h"
#include "messaging/chat/MessageSoundRightCell.h"
#include "platform/uikit/UITableView.h"
#include "ui/tables/BaseCell.h"

std::string_view ChatRows::cellClassName(const core::MessageInfo& message)
{
    if (message.isSending)
        return MessageSendingCell::kClassName;
    if (message.group)
        return MessageGroupCenterCell::kClassName;
    if (!message.soundsInfo.empty())
        return message.to ? MessageSoundRightCell::kClassName : MessageSoundLeftCell::kClassName;
    if (!message.photosInfo.empty())
        return message.to ? MessagePhotoRightCell::kClassName : MessagePhotoLeftCell::kClassName;
    return message.to ? MessageRightCell::kClassName : MessageLeftCell::kClassName;
}

double ChatRows::height(const core::MessageInfo& message)
{
    auto name = cellClassName(message);
    if (name == MessageLeftCell::kClassName)
        return MessageLeftCell::computeSize(message).height;
    if (name == MessageRightCell::kClassName)
        return MessageRightCell::computeSize(message).height;
    if (name == MessageGroupCenterCell::kClassName)
        return MessageGroupCenterCell::computeSize(message).height;
    if (name == MessagePhotoLeftCell::kClassName)
        return MessagePhotoLeftCell::computeHeight(message);
    if (name == MessagePhotoRightCell::kClassName)
        return MessagePhotoRightCell::computeHeight(message);
    // The sending bubble and both voice bubbles have one height each.
    return BaseCell::heightNamed(name);
}

std::shared_ptr<UITableViewCell> ChatRows::cell(
    UITableView& table, const std::shared_ptr<core::MessageInfo>& message, std::weak_ptr<MessageBaseCellDelegate> delegate)
{
    auto cell = std::dynamic_pointer_cast<MessageBaseCell>(BaseCell::dequeueNamed(table, cellClassName(*message)));
    if (!cell)
        return std::make_shared<UITableViewCell>();
    cell->setDelegate(std::move(delegate));
    cell->setMessage(message);
    return cell;
}
