#include "messaging/chat/MessageSoundRightCell.h"

#include "platform/uikit/UIControl.h"

void MessageSoundRightCell::awakeFromNib()
{
    // Before the shared part, which lays the bubble out with it.
    if (auto wrapper = wrapperView())
        wrapperX_ = static_cast<float>(wrapper->frame().maxX());
    MessageSoundLeftCell::awakeFromNib();
}
