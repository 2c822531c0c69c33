#include "messaging/chat/MessagePhotoRightCell.h"

#include "platform/uikit/UIControl.h"

void MessagePhotoRightCell::awakeFromNib()
{
    MessagePhotoLeftCell::awakeFromNib();
    if (auto wrapper = wrapperView())
        rightMargin_ = static_cast<float>(bounds().width() - wrapper->frame().minX() - wrapper->frame().width());
}

double MessagePhotoRightCell::computeHeight(const core::MessageInfo& message)
{
    return computeHeightOn<MessagePhotoRightCell>(message);
}
