#include "messaging/MessagingClasses.h"

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
#include "messaging/group/GroupMessageViewController.h"
#include "messaging/group/GroupStateBottomCell.h"
#include "messaging/group/GroupStateButtonCell.h"
#include "messaging/group/GroupStateCell.h"
#include "messaging/group/GroupStateTopCell.h"
#include "messaging/group/GroupStateViewController.h"
#include "messaging/history/SMSHistoryCell.h"
#include "messaging/history/SMSHistoryViewController.h"
#include "messaging/photo/MessagePhotoViewController.h"
#include "messaging/compose/ContactSelectViewController.h"
#include "messaging/compose/ContactsGroupCell.h"
#include "messaging/compose/ContactsSingleCell.h"
#include "messaging/compose/MessageSendViewController.h"
#include "messaging/compose/MessageTemplateViewController.h"
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
    registry.registerClass<GroupMessageViewController>();
    registry.registerClass<GroupStateViewController>();
    BaseCell::registerCellClass<GroupStateTopCell>();
    BaseCell::registerCellClass<GroupStateCell>();
    BaseCell::registerCellClass<GroupStateButtonCell>();
    BaseCell::registerCellClass<GroupStateBottomCell>();
    // Nothing in the application opens the SMS history yet; it is made by
    // name when something does.
    registry.registerClass<SMSHistoryViewController>();
    BaseCell::registerCellClass<SMSHistoryCell>();
    // Nothing opens the message photo viewer either (photos open in the photo browser).
    registry.registerClass<MessagePhotoViewController>();
    registry.registerClass<ContactSelectViewController>();
    BaseCell::registerCellClass<ContactsGroupCell>();
    registry.registerClass<ContactsCountLabel>();
    BaseCell::registerCellClass<ContactsSingleCell>();
    registry.registerClass<MessageSendViewController>();
    registry.registerClass<MessageTemplateViewController>();
}

} // namespace messaging
