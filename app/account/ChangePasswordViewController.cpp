#include "app/account/ChangePasswordViewController.h"

#include "app/account/AccountScreenKit.h"
#include "app/main/ORBViewController.h"
#include "core/network/ORBNetworkHelper.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UITextField.h"
#include "ui/ORBHelper.h"

namespace {

constexpr const char* kRowTitles[] = { "原密码：", "新密码：", "确认新密码：" };
constexpr const char* kFieldOutlets[] = { "txtOldPwd", "txtNewPwd", "txtConfirmPwd" };

void forgetRememberedPassword()
{
    auto defaults = platform::UserDefaults::standard();
    defaults->removeObjectForKey("pwd");
    defaults->synchronize();
}

} // namespace

ChangePasswordViewController::ChangePasswordViewController() { setTitle("修改密码"); }

void ChangePasswordViewController::viewDidLoad()
{
    setTitle("修改密码");
    auto bounds = view()->bounds();
    pwdTableView_ = std::make_shared<UITableView>(platform::Rect(0, 0, bounds.width(), bounds.height()), UITableViewStyleGrouped);
    pwdTableView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    pwdTableView_->setBackgroundColor(platform::Color::fromRGB255(220, 220, 220));
    pwdTableView_->setSeparatorStyle(UITableViewCellSeparatorStyleSingleLine);
    pwdTableView_->setBackgroundView(nullptr);
    for (std::size_t i = 0; i < fields_.size(); ++i) {
        auto field = std::make_shared<UITextField>(platform::Rect(120, 5, 150, 34));
        field->setSecureTextEntry(true);
        field->setTextAlignment(NSTextAlignmentRight);
        field->setContentVerticalAlignment(UIControlContentVerticalAlignmentCenter);
        field->setTextColor(platform::Color::fromWhite(2.0 / 3.0));
        field->setOutletName(kFieldOutlets[i]);
        field->setReturnKeyType(i + 1 < fields_.size() ? UIReturnKeyNext : UIReturnKeyDone);
        fields_[i] = field;
    }
    auto self = BaseViewController::self<ChangePasswordViewController>();
    for (const auto& field : fields_)
        field->setDelegate(std::weak_ptr<UITextFieldDelegate>(self));
    pwdTableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    pwdTableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    view()->addSubview(pwdTableView_);

    auto hint = std::make_shared<UILabel>(platform::Rect(15, 150, 290, 80));
    hint->setNumberOfLines(3);
    hint->setFont(UIFont::systemFont(14));
    hint->setTextColor(platform::Color::fromRGB255(140, 140, 140));
    hint->setBackgroundColor(platform::Color::clearColor());
    hint->setText(kHint);
    view()->addSubview(hint);

    setLeftItem(imageBarButton<ChangePasswordViewController>(
        "public_back_btn.png", "btnBack", &ChangePasswordViewController::backUserInfo));
    auto submit = account::textBarButton("提交", "btnSubmit");
    submit->addTarget(self, &ChangePasswordViewController::submitPwdChange, UIControlEventTouchUpInside);
    setRightItem(submit);
    BaseViewController::viewDidLoad();
    pwdTableView_->reloadData();
}

// The old password takes the keyboard as soon as the person can type.
void ChangePasswordViewController::viewDidAppear(bool animated)
{
    BaseViewController::viewDidAppear(animated);
    fields_[0]->becomeFirstResponder();
}

std::shared_ptr<UITableViewCell> ChangePasswordViewController::cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    auto cell = table->dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell)
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, kCellIdentifier);
    cell->textLabel()->setFont(UIFont::systemFont(kRowFontSize));
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    cell->setAccessoryType(UITableViewCellAccessoryNone);
    if (path.row < 0 || path.row >= long(fields_.size()))
        return cell;
    cell->textLabel()->setText(kRowTitles[path.row]);
    // A reused cell may still hold another row's field.
    for (const auto& field : fields_) {
        if (field->superview() == cell->contentView() && field != fields_[std::size_t(path.row)])
            field->removeFromSuperview();
    }
    cell->contentView()->addSubview(fields_[std::size_t(path.row)]);
    return cell;
}

// Old password, then the new one, then its confirmation; after the last the
// keyboard goes away and the bar's "提交" is in reach.
bool ChangePasswordViewController::textFieldShouldReturn(UITextField* field)
{
    for (std::size_t i = 0; i + 1 < fields_.size(); ++i) {
        if (fields_[i].get() == field) {
            fields_[i + 1]->becomeFirstResponder();
            return true;
        }
    }
    if (field)
        field->resignFirstResponder();
    return true;
}

void ChangePasswordViewController::submitPwdChange(UIControl*)
{
    std::string oldPwd = fields_[0]->text();
    std::string newPwd = fields_[1]->text();
    std::string confirm = fields_[2]->text();
    if (oldPwd.empty() || newPwd.empty() || confirm.empty()) {
        ORBHelper::showProgressHud("密码输入不能为空", false, true);
        return;
    }
    if (newPwd != confirm) {
        ORBHelper::showProgressHud("新密码和确认新密码不匹配", false, true);
        return;
    }
    platform::Dictionary params;
    params.set("oldPwd", oldPwd);
    params.set("newPwd", newPwd);
    params.set("account", platform::UserDefaults::standard()->stringForKey("account").value_or(""));
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kChangePasswordRequest,
        platform::Value(std::move(params)),
        weakCallback<ChangePasswordViewController>(
            [](ChangePasswordViewController&) { ORBHelper::showProgressHud("正在提交，请稍候...", false, false); }),
        // The remembered password is wrong from now on, and the overlay
        // ends, even if the person has left this screen before the answer.
        weakCallbackAfter<ChangePasswordViewController>(
            [] {
                ORBHelper::showProgressHud("密码修改成功", false, true);
                forgetRememberedPassword();
            },
            [](ChangePasswordViewController& screen, const platform::Value&) {
                screen.runAfter(account::kLeaveDelay, &ChangePasswordViewController::backToLoginPage);
            }),
        [](const std::string& message) { ORBHelper::showProgressHud(message, false, true); });
}

void ChangePasswordViewController::backToLoginPage()
{
    forgetRememberedPassword();
    // The keyboard of a field here would stay up over the login screen that
    // comes next, covering its button.
    for (const auto& field : fields_)
        field->resignFirstResponder();
    if (auto main = ORBViewController::shared())
        main->logout();
}

void ChangePasswordViewController::backUserInfo(UIControl*) { account::popScreen(*this); }
