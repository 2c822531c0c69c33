#include "app/AppClasses.h"

#include "app/about/AboutViewController.h"
#include "app/about/IntrodutionViewController.h"
#include "app/about/VersionHistoryViewController.h"
#include "app/account/ChangePasswordViewController.h"
#include "app/account/ForgetPwdViewController.h"
#include "app/feedback/FeedbackViewController.h"
#include "app/login/AccountCell.h"
#include "app/login/AccountsViewController.h"
#include "app/login/LoginViewController.h"
#include "app/main/ORBViewController.h"
#include "app/main/WarmPrompt.h"
#include "app/navigation/NavigationViewController.h"
#include "app/settings/SettingViewController.h"
#include "app/web/CarrierPageViewController.h"
#include "app/web/ORBWebViewController.h"
#include "libModule/TabViewController/MainBtn.h"
#include "platform/uikit/UIKitRegistration.h"
#include "ui/UIClasses.h"

namespace app {

void registerAppClasses()
{
    platform::registerUIKitClasses();
    ui::registerUIClasses();
    auto& registry = platform::ClassRegistry::shared();
    registry.registerClass<ORBViewController>();
    registry.registerClass<NavigationViewController>();
    registry.registerClass<LoginViewController>();
    registry.registerClass<AccountsViewController>();
    registry.registerClass<IntrodutionViewController>();
    registry.registerClass<AboutViewController>();
    registry.registerClass<VersionHistoryViewController>();
    registry.registerClass<SettingViewController>();
    registry.registerClass<ChangePasswordViewController>();
    registry.registerClass<ForgetPwdViewController>();
    registry.registerClass<FeedbackViewController>();
    registry.registerClass<ORBWebViewController>();
    registry.registerClass<PigeonViewController>();
    registry.registerClass<ParleyViewController>();
    registry.registerClass<EmailNimbusViewController>();
    registry.registerClass<MainBtn>();
    registry.registerClass<WarmPrompt>();
    BaseCell::registerCellClass<AccountCell>();
}

} // namespace app
