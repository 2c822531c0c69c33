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
    imgAvatar_->layer()->setCornerRadius(kAvatarCornerRadius);
    imgAvatar_->setClipsToBounds(true);
}

void AccountCell::setAccount(std::shared_ptr<core::AccountInfo> account)
{
    account_ = std::move(account);
    if (!account_)
        return;
    lblName_->setText(account_->name);
    lblType_->setText(roleText(account_->type));
    lblSchool_->setText(account_->schoolName);
    auto url = account_->thumbAvatar.empty() ? std::nullopt : platform::Url::parse(account_->thumbAvatar);
    setImageURL(imgAvatar_, url);

    double nameWidth = platform::measureText(account_->name, lblName_->font()).width;
    auto frame = subLabelView_->frame();
    frame.size.width = std::min(lblType_->frame().width() + nameWidth, kMaxNameBoxWidth);
    subLabelView_->setFrame(frame);
    // The name takes what the role leaves; the role follows it.
    auto nameFrame = lblName_->frame();
    nameFrame.size.width = std::max(0.0, frame.width() - lblType_->frame().width());
    lblName_->setFrame(nameFrame);
    auto typeFrame = lblType_->frame();
    typeFrame.origin.x = nameFrame.maxX();
    lblType_->setFrame(typeFrame);

    auto current = core::MyAccountInfo::currentAccount();
    imgChecked_->setHidden(!(current && current->uid == account_->uid && current->type == account_->type));
}
