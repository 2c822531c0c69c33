#include "messaging/MessagingClasses.h"

#include "messaging/voice/MessageRecordView.h"
#include "platform/os/ClassRegistry.h"

namespace messaging {

void registerMessagingClasses()
{
    auto& registry = platform::ClassRegistry::shared();
    registry.registerClass<MessageRecordView>();
}

} // namespace messaging
