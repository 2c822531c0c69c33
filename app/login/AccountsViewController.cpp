#include "app/login/AccountsViewController.h"

#include "app/login/AccountCell.h"
#include "app/main/ORBViewController.h"
#include "core/session/MyAccountInfo.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"

namespace {

std::vector<std::shared_ptr<core::AccountInfo>> sessionAccounts()
{
    auto session = core::MyAccountInfo::instance();
    if (!session || !session->accounts())
        return {};
    return *session->accounts();
}

} // namespace

AccountsViewController::AccountsViewController()
    : AccountsViewController(std::string(kClassName))
{
}

AccountsViewController::AccountsViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
{
    setTitle("选择账号");
}

void AccountsViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("tableView", tableView_);
}

void AccountsViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto back = UIButton::buttonWithType(UIButtonTypeCustom);
    back->setFrame(platform::Rect(0, 0, 44, 44));
    back->setImage(UIImage::imageNamed("public_back_btn.png"), UIControlStateNormal);
    back->setOutletName("btnBack");
    back->addTarget(self<AccountsViewController>(),
        &AccountsViewController::btnBackTouchUpInside, UIControlEventTouchUpInside);
    setLeftItem(back);
    auto self = BaseViewController::self<AccountsViewController>();
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    tableView_->reloadData();
}

void AccountsViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
    tableView_->reloadData();
}

void AccountsViewController::btnBackTouchUpInside(UIControl*)
{
    auto navigation = navigationController();
    if (navigation && navigation->viewControllers().size() > 1)
        navigation->popViewControllerAnimated(true);
    else
        dismissViewControllerAnimated(true);
}

long AccountsViewController::numberOfRowsInSection(UITableView*, long) { return long(sessionAccounts().size()); }

std::shared_ptr<UITableViewCell> AccountsViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    auto accounts = sessionAccounts();
    auto cell = std::dynamic_pointer_cast<AccountCell>(
        table->dequeueReusableCellWithIdentifier(BaseCell::identifier<AccountCell>()));
    if (!cell)
        cell = BaseCell::cell<AccountCell>();
    if (!cell)
        return std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "AccountCell");
    if (path.row >= 0 && path.row < long(accounts.size()))
        cell->setAccount(accounts[std::size_t(path.row)]);
    return cell;
}

std::optional<double> AccountsViewController::heightForRowAtIndexPath(UITableView*, const NSIndexPath&)
{
    return BaseCell::height<AccountCell>();
}

void AccountsViewController::didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    table->deselectRowAtIndexPath(path, true);
    auto session = core::MyAccountInfo::instance();
    auto accounts = sessionAccounts();
    if (!session || path.row < 0 || path.row >= long(accounts.size()))
        return;
    session->setCurrent(accounts[std::size_t(path.row)]);
    platform::NotificationCenter::defaultCenter().post(kNotificationLoginSucceeded, platform::Value(shared_from_this()));
}
