#include "app/login/AccountCell.h"

#include "core/session/MyAccountInfo.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "ui/images/RemoteImageView.h"

#include <algorithm>

std::string AccountCell::roleText(int accountType)
{
    switch (accountType) {
    case 1:
        return "教师";
    case 2:
        return "家长";
    default:
        return "学生";
    }
}

void AccountCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("imgAvatar", imgAvatar_);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblType", lblType_);
    bindings.outlet("lblSchool", lblSchool_);
    bindings.outlet("subLabelView", subLabelView_);
    bindings.outlet("imgChecked", imgChecked_);
}

void AccountCell::awakeFromNib()
{
    UIView::awakeFromNib();
    auto self = sharedView();
    if (!self)
        return;
    if (auto avatar = imgAvatar_.lock()) {
        avatar->layer()->setCornerRadius(kAvatarCornerRadius);
        avatar->setClipsToBounds(true);
    }
}

void AccountCell::setAccount(std::shared_ptr<core::AccountInfo> account)
{
    account_ = std::move(account);
    if (!account_)
        return;
    auto name = lblName_.lock();
    auto type = lblType_.lock();
    if (name)
        name->setText(account_->name);
    if (type)
        type->setText(roleText(account_->type));
    if (auto school = lblSchool_.lock())
        school->setText(account_->schoolName);
    if (auto avatar = imgAvatar_.lock()) {
        auto url = account_->thumbAvatar.empty() ? std::nullopt : platform::Url::parse(account_->thumbAvatar);
        ui::setImageURL(avatar, url);
    }
    if (auto box = subLabelView_.lock(); box && name && type) {
        double nameWidth = platform::measureText(account_->name, name->font()).width;
        auto frame = box->frame();
        frame.size.width = std::min(type->frame().width() + nameWidth, kMaxNameBoxWidth);
        box->setFrame(frame);
        // The name takes what the role leaves; the role follows it.
        auto nameFrame = name->frame();
        nameFrame.size.width = std::max(0.0, frame.width() - type->frame().width());
        name->setFrame(nameFrame);
        auto typeFrame = type->frame();
        typeFrame.origin.x = nameFrame.maxX();
        type->setFrame(typeFrame);
    }
    if (auto checked = imgChecked_.lock()) {
        auto current = core::MyAccountInfo::currentAccount();
        checked->setHidden(!(current && current->uid == account_->uid && current->type == account_->type));
    }
}
