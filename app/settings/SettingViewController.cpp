#include "app/settings/SettingViewController.h"

#include "app/login/VersionUpdateRule.h"
#include "app/main/ORBViewController.h"
#include "app/startup/SafeUrl.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/Log.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITableViewCell.h"

namespace {

platform::Value row(int uid, const char* name)
{
    platform::Dictionary entry;
    entry.set("uid", uid);
    entry.set("name", name);
    return platform::Value(std::move(entry));
}

} // namespace

platform::Array settingsMenuList()
{
    // The introduction row is named "功能介绍": it opens the tour of the
    // application's functions.
    platform::Array application {
        row(SettingViewController::kAbout, "关于瑞鸥"),
        row(SettingViewController::kIntroduction, "功能介绍"),
        row(SettingViewController::kCheckUpdate, "检查更新"),
        row(SettingViewController::kFeedback, "意见反馈"),
    };
    platform::Array account {
        row(SettingViewController::kProfile, "个人设置"),
        row(SettingViewController::kRoleToggle, "切换角色"),
        row(SettingViewController::kLogout, "退出登录"),
    };
    return { platform::Value(std::move(application)), platform::Value(std::move(account)) };
}

SettingViewController::SettingViewController()
    : SettingViewController(std::string(kClassName))
{
}

SettingViewController::SettingViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
    , listData_(settingsMenuList())
{
    setTitle("设置");
}

void SettingViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("tableview", tableview_);
}

void SettingViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    // The list ends on the tab bar on either screen.
    keepAtVisibleBottom(tableview_);
    // The two sections stand apart, as the layout draws them.
    tableview_->setStyle(UITableViewStyleGrouped);
    auto self = BaseViewController::self<SettingViewController>();
    tableview_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    tableview_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    tableview_->reloadData();
}

void SettingViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, false);
}

long SettingViewController::numberOfSectionsInTableView(UITableView*) { return long(listData_.size()); }

long SettingViewController::numberOfRowsInSection(UITableView*, long section)
{
    if (section < 0 || section >= long(listData_.size()))
        return 0;
    const platform::Array* rows = listData_[std::size_t(section)].asArray();
    return rows ? long(rows->size()) : 0;
}

std::shared_ptr<UITableViewCell> SettingViewController::cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    auto cell = table->dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) {
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, kCellIdentifier);
        cell->textLabel()->setFont(UIFont::systemFont(kCellFontSize));
        cell->setBackgroundColor(platform::Color::whiteColor());
    }
    std::string name;
    if (path.section >= 0 && path.section < long(listData_.size())) {
        if (const platform::Array* rows = listData_[std::size_t(path.section)].asArray();
            rows && path.row >= 0 && path.row < long(rows->size()))
            name = (*rows)[std::size_t(path.row)]["name"].stringValue();
    }
    cell->textLabel()->setText(name);
    return cell;
}

void SettingViewController::didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    table->deselectRowAtIndexPath(path, true);
    if (path.section < 0 || path.section >= long(listData_.size()))
        return;
    const platform::Array* rows = listData_[std::size_t(path.section)].asArray();
    if (!rows || path.row < 0 || path.row >= long(rows->size()))
        return;
    actOnRow((*rows)[std::size_t(path.row)]["uid"].longLongValue());
}

void SettingViewController::actOnRow(long long uid)
{
    switch (uid) {
    case kAbout:
    case kVersionHistoryFromNib:
        push(uid == kAbout ? "AboutViewController" : "VersionHistoryViewController");
        break;
    case kRoleToggle:
        if (auto main = ORBViewController::shared())
            main->roleToggle();
        break;
    case kIntroduction:
        if (auto main = ORBViewController::shared())
            main->showIntroduction();
        break;
    case kProfile:
        push("UserInfoViewController");
        break;
    case kChangePassword:
        push("ChangePasswordViewController");
        break;
    case kLogout:
        if (auto main = ORBViewController::shared())
            main->logout();
        break;
    case kCheckUpdate:
        checkUpdate();
        break;
    case kVersionHistory:
        push("VersionHistoryViewController");
        break;
    case kFeedback:
        push("FeedbackViewController");
        break;
    default:
        break;
    }
}

void SettingViewController::push(const std::string& className)
{
    auto screen = platform::ClassRegistry::shared().createAs<UIViewController>(className);
    auto navigation = navigationController();
    if (!screen || !navigation) {
        platform::log("SettingViewController: cannot open %s\n", className.c_str());
        return;
    }
    navigation->pushViewController(screen, true);
}

void SettingViewController::checkUpdate()
{
    auto stored = platform::UserDefaults::standard()->dictionaryForKey(VersionUpdateRule::kUpdateDataKey);
    auto announcement = stored ? VersionAnnouncement::fromObj(platform::Value(*stored)) : std::nullopt;
    if (!announcement) {
        auto alert = std::make_shared<UIAlertView>(
            "", "当前版本已经为最新", std::weak_ptr<UIAlertViewDelegate>(), std::string("确定"));
        alert->show();
        return;
    }
    versionCode_ = announcement->versionCode;
    versionUrl_ = announcement->versionUrl;
    std::vector<std::string> buttons { VersionUpdateRule::kUpdateNow };
    if (announcement->mustUpdate != 1)
        buttons.emplace_back("暂不更新");
    auto alert = std::make_shared<UIAlertView>(VersionUpdateRule::kTitle, announcement->versionDesc,
        std::weak_ptr<UIAlertViewDelegate>(weakSelf<SettingViewController>()), std::nullopt, buttons);
    alert->show();
}

void SettingViewController::alertViewClickedButton(UIAlertView*, long buttonIndex)
{
    if (buttonIndex != 0)
        return;
    // Only web addresses: what a login reply announced must not dial or launch other applications.
    if (isWebAddress(versionUrl_))
        UIApplication::sharedApplication().openURL(versionUrl_);
    else
        platform::log("SettingViewController: not opening \"%s\"\n", versionUrl_.c_str());
}
