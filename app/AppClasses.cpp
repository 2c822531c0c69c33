#include "app/AppClasses.h"

#include "app/about/AboutViewController.h"
#include "app/about/IntrodutionViewController.h"
#include "app/about/VersionHistoryViewController.h"
#include "app/account/ChangePasswordViewController.h"
#include "app/account/ForgetPwdViewController.h"
#include "app/base/MissingScreenViewController.h"
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

    // Screens of the other parts of the program, by the names the tabs, the
    // function grid, the navigation table and the login screen open them by.
    MissingScreenViewController::registerMissing({
        { "SchoolNoticeViewController", "学校公告" },
        { "CommentStudentViewController", "点评学生" },
        { "HomeWorkListViewController", "作业" },
        { "AttendanceQueryViewController", "考勤查询" },
        { "OnlineServiceViewController", "在线客服" },
        { "ClassNoticeListViewController", "班级公告" },
        { "QuestionnaireSurveyViewController", "问卷调查" },
        { "EVViewController", "教学视频" },
        { "GrowthAssistantViewController", "成长帮手" },
        { "HotActivityViewController", "热门活动" },
        { "UserInfoViewController", "我的资料" },
    });
}

} // namespace app
