#pragma once

#include "core/model/MessageInfo.h"
#include "messaging/chat/MessageBaseCell.h"

#include <memory>
#include <string_view>

class UITableView;

// The conversation table's rows, in one place for the chat and whatever else
// lists messages as bubbles: which bubble class shows a message, how tall its
// row is, and the cell for it (reused where the table has one) showing it.
struct ChatRows {
    static std::string_view cellClassName(const core::MessageInfo& message);
    static double height(const core::MessageInfo& message);
    // Never nullptr: a plain cell when the bubble's layout cannot be loaded.
    static std::shared_ptr<UITableViewCell> cell(
        UITableView& table, const std::shared_ptr<core::MessageInfo>& message, std::weak_ptr<MessageBaseCellDelegate> delegate);
};
