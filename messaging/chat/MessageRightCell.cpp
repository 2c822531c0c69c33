#include "messaging/chat/MessageRightCell.h"

#include "platform/uikit/UIControl.h"

void MessageRightCell::awakeFromNib()
{
    MessageLeftCell::awakeFromNib();
    if (auto wrapper = wrapperView())
        rightEdge_ = wrapper->frame().maxX();
}

platform::Size MessageRightCell::computeSize(const core::MessageInfo& message)
{
    auto prototype = BaseCell::demo<MessageRightCell>();
    return prototype ? prototype->sizeForMessage(message) : platform::Size {};
}
