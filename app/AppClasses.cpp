#include "app/AppClasses.h"

#include "app/about/AboutViewController.h"
#include "app/about/IntrodutionViewController.h"
#include "app/about/VersionHistoryViewController.h"
#include "app/base/MissingScreenViewController.h"
#include "app/login/AccountCell.h"
#include "app/login/AccountsViewController.h"
#include "app/login/LoginViewController.h"
#include "app/main/ORBViewController.h"
#include "app/main/WarmPrompt.h"
#include "app/navigation/NavigationViewController.h"
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
    registry.registerClass<MainBtn>();
    registry.registerClass<WarmPrompt>();
    BaseCell::registerCellClass<AccountCell>();

    // Screens of the other parts of the program, by the names the tabs, the
    // function grid, the navigation table and the login screen open them by.
    MissingScreenViewController::registerMissing({
        { "HomeSchoolCircleViewController", "家校圈" },
        { "ContactsViewController", "通讯录" },
        { "SettingViewController", "设置" },
        { "MessageSendViewController", "短信群发" },
        { "CTDCallViewController", "CTD电话" },
        { "SMSHistoryViewController", "短信历史" },
        { "SchoolNoticeViewController", "学校公告" },
        { "CommentStudentViewController", "点评学生" },
        { "HomeWorkListViewController", "作业" },
        { "AttendanceQueryViewController", "考勤查询" },
        { "OnlineServiceViewController", "在线客服" },
        { "ClassNoticeListViewController", "班级公告" },
        { "ScheduleViewController", "班级课表" },
        { "AlbumListViewController", "班级相册" },
        { "QuestionnaireSurveyViewController", "问卷调查" },
        { "PigeonViewController", "鸽笺" },
        { "ParleyViewController", "畅谈" },
        { "EmailNimbusViewController", "Nimbus邮箱" },
        { "MagazineListViewController", "成长期刊" },
        { "EVViewController", "教学视频" },
        { "GrowthAssistantViewController", "成长帮手" },
        { "GCViewController", "成长课堂" },
        { "CNumberViewController", "点击拨号" },
        { "WeiClassViewController", "云端讲堂" },
        { "HotActivityViewController", "热门活动" },
        { "ForgetPwdViewController", "找回密码" },
        { "ORBWebViewController", "账号注册" },
    });
}

} // namespace app
