#include "contacts/book/ContactsOneCell.h"

#include "platform/os/Url.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "ui/images/RemoteImageLoader.h"
#include "ui/images/RemoteImageView.h"

namespace contacts {

void showAvatar(const std::shared_ptr<UIImageView>& avatar, const std::string& address)
{
    // A reused row must not show, or later receive, another contact's face.
    showImageURL(avatar, address.empty() ? std::nullopt : platform::Url::parse(address),
        UIImage::imageNamed("jxq_default_photo"));
}

} // namespace contacts

void ContactsOneCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("imgAvatar", imgAvatar_);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblRemarks", lblRemarks_);
    bindings.outlet("lblPhone", lblPhone_);
    bindings.outlet("lineView", lineView_);
    bindings.outlet("btnCall", btnCall_);
    bindings.outlet("btnSms", btnSms_);
    bindings.outlet("btnAvatar", btnAvatar_);
    bindings.action("btnCallTouchUpInside:", &ContactsOneCell::btnCallTouchUpInside);
    bindings.action("btnSmsTouchUpInside:", &ContactsOneCell::btnSmsTouchUpInside);
    bindings.action("btnAvatarTouchUpInside:", &ContactsOneCell::btnAvatarTouchUpInside);
}

void ContactsOneCell::awakeFromNib()
{
    UIView::awakeFromNib();
    setSelectedBackgroundView(std::make_shared<UIImageView>(UIImage::imageNamed("public_cel_selected_bg.png")));
    imgAvatar_->layer()->setCornerRadius(kAvatarCornerRadius);
    imgAvatar_->setClipsToBounds(true);
    auto frame = lblRemarks_->frame();
    lblRemarks_->setFrame(platform::Rect(frame.minX(), frame.minY() + kRemarksDrop, frame.width(), frame.height()));
    lblPhone_->setHidden(true);
    btnSms_->setImage(UIImage::imageNamed("public_btn_callsms.png"), UIControlStateNormal);
    setIsTeacher(true);
}

void ContactsOneCell::setIsTeacher(bool isTeacher)
{
    btnCall_->setImage(
        UIImage::imageNamed(isTeacher ? "public_btn_callphone.png" : "public_btn_callphone_parent"), UIControlStateNormal);
}

void ContactsOneCell::setContact(std::shared_ptr<core::ContactInfo> contact)
{
    contact_ = std::move(contact);
    if (!contact_)
        return;
    contacts::showAvatar(imgAvatar_, contact_->thumbAvatar);
    const bool noPhone = contact_->phone.empty();
    btnCall_->setHidden(noPhone);
    btnSms_->setHidden(noPhone);
    lblName_->setText(contact_->name);
    lblRemarks_->setText(contact_->remarks);
    lblPhone_->setText(contact_->phone);
}

void ContactsOneCell::btnCallTouchUpInside(UIControl*)
{
    if (auto delegate = delegate_.lock(); delegate && contact_)
        delegate->contactsCellDidClickAvatar(contact_, ContactsCellDelegate::kCallTypeCall);
}

void ContactsOneCell::btnSmsTouchUpInside(UIControl*)
{
    if (auto delegate = delegate_.lock(); delegate && contact_)
        delegate->contactsCellDidClickAvatar(contact_, ContactsCellDelegate::kCallTypeMessage);
}

void ContactsOneCell::btnAvatarTouchUpInside(UIControl*)
{
    if (auto delegate = delegate_.lock(); delegate && contact_)
        delegate->contactsCellDidClickAvatar(contact_);
}
