#include "app/account/ProfileClasses.h"

#include "app/account/UserInfoViewController.h"
#include "platform/os/ClassRegistry.h"

namespace app {

void registerProfileClasses() { platform::ClassRegistry::shared().registerClass<UserInfoViewController>(); }

} // namespace app
