#include "messaging/MessagingClasses.h"

#include "app/base/MissingScreenViewController.h"
#include "messaging/box/MessageBoxViewController.h"
#include "messaging/box/MessageEmptyCell.h"
#include "messaging/box/MessageGroupCell.h"
#include "messaging/box/MessageNavigationCell.h"
#include "messaging/box/MessageSingleCell.h"
#include "messaging/chat/MessageGroupCenterCell.h"
#include "messaging/chat/MessagePhotoRightCell.h"
#include "messaging/chat/MessageRightCell.h"
#include "messaging/chat/MessageSendingCell.h"
#include "messaging/chat/MessageSoundRightCell.h"
#include "messaging/chat/MessageViewController.h"
#include "messaging/send/MessageSendPhoto.h"
#include "messaging/send/MessageSendSound.h"
#include "messaging/voice/MessageRecordView.h"
#include "platform/os/ClassRegistry.h"

namespace messaging {

void registerMessagingClasses()
{
    auto& registry = platform::ClassRegistry::shared();
    registry.registerClass<MessageRecordView>();
    registry.registerClass<MessageSendPhoto>();
    registry.registerClass<MessageSendSound>();
    // The first tab's screen comes with its list loaded and its tick running.
    registry.registerClass(std::string(MessageBoxViewController::kClassName),
        [] { return std::static_pointer_cast<platform::Object>(MessageBoxViewController::create()); });
    BaseCell::registerCellClass<MessageSingleCell>();
    BaseCell::registerCellClass<MessageGroupCell>();
    BaseCell::registerCellClass<MessageEmptyCell>();
    BaseCell::registerCellClass<MessageNavigationCell>();
    registry.registerClass<MessageViewController>();
    BaseCell::registerCellClass<MessageBaseCell>();
    BaseCell::registerCellClass<MessageLeftCell>();
    BaseCell::registerCellClass<MessageRightCell>();
    BaseCell::registerCellClass<MessageSendingCell>();
    BaseCell::registerCellClass<MessagePhotoLeftCell>();
    BaseCell::registerCellClass<MessagePhotoRightCell>();
    BaseCell::registerCellClass<MessageSoundLeftCell>();
    BaseCell::registerCellClass<MessageSoundRightCell>();
    BaseCell::registerCellClass<MessageGroupCenterCell>();
    // Screens the message box opens by name that are not built yet: a
    // stand-in until their class registers (a real class replaces it).
    MissingScreenViewController::registerMissing({
        { "GroupMessageViewController", "查看群发消息" },
    });
}

} // namespace messaging
