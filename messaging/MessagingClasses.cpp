#include "messaging/MessagingClasses.h"

#include "messaging/chat/MessageGroupCenterCell.h"
#include "messaging/chat/MessagePhotoRightCell.h"
#include "messaging/chat/MessageRightCell.h"
#include "messaging/chat/MessageSendingCell.h"
#include "messaging/chat/MessageSoundRightCell.h"
#include "messaging/voice/MessageRecordView.h"
#include "platform/os/ClassRegistry.h"

namespace messaging {

void registerMessagingClasses()
{
    auto& registry = platform::ClassRegistry::shared();
    registry.registerClass<MessageRecordView>();
    BaseCell::registerCellClass<MessageBaseCell>();
    BaseCell::registerCellClass<MessageLeftCell>();
    BaseCell::registerCellClass<MessageRightCell>();
    BaseCell::registerCellClass<MessageSendingCell>();
    BaseCell::registerCellClass<MessagePhotoLeftCell>();
    BaseCell::registerCellClass<MessagePhotoRightCell>();
    BaseCell::registerCellClass<MessageSoundLeftCell>();
    BaseCell::registerCellClass<MessageSoundRightCell>();
    BaseCell::registerCellClass<MessageGroupCenterCell>();
}

} // namespace messaging
