#include "messaging/box/MessageEmptyCell.h"

#include "platform/uikit/UILabel.h"

void MessageEmptyCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    EmptyCell::declareLayoutBindings(bindings);
    bindings.outlet("lblMessage", lblMessage_);
}

void MessageEmptyCell::awakeFromNib()
{
    EmptyCell::awakeFromNib();
    setSelectionStyle(UITableViewCellSelectionStyleNone);
}
