#include "messaging/box/MessageEmptyCell.h"

#include "platform/uikit/UILabel.h"

void MessageEmptyCell::awakeFromNib()
{
    EmptyCell::awakeFromNib();
    if (auto self = sharedView())
        lblMessage_ = outletNamed<UILabel>(self, "lblMessage");
    setSelectionStyle(UITableViewCellSelectionStyleNone);
}
