#include "contacts/book/ContactsTwoCell.h"

#include "contacts/book/ContactsOneCell.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

void ContactsTwoCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("imgAvatar", imgAvatar_);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblRemarks", lblRemarks_);
    bindings.outlet("lblNotCustomer", lblNotCustomer_);
    bindings.outlet("lineView", lineView_);
    bindings.outlet("btnAvatar", btnAvatar_);
    bindings.action("btnAvatarTouchUpInside:", &ContactsTwoCell::btnAvatarTouchUpInside);
}

void ContactsTwoCell::awakeFromNib()
{
    UIView::awakeFromNib();
    setSelectedBackgroundView(std::make_shared<UIImageView>(UIImage::imageNamed("public_cel_selected_bg.png")));
    imgAvatar_->layer()->setCornerRadius(kAvatarCornerRadius);
    imgAvatar_->setClipsToBounds(true);
}

std::string ContactsTwoCell::notCustomerText(const core::ContactInfo& contact)
{
    if (contact.type == 1)
        return contact.phone.empty() || !contact.isCustomer ? kUnverifiedText : "";
    return contact.isCustomer ? "" : kNotSubscribedText;
}

void ContactsTwoCell::setContact(std::shared_ptr<core::ContactInfo> contact)
{
    contact_ = std::move(contact);
    if (!contact_)
        return;
    contacts::showAvatar(imgAvatar_, contact_->thumbAvatar);
    lblName_->setText(contact_->name);
    lblRemarks_->setText(contact_->remarks);
    std::string reason = notCustomerText(*contact_);
    lblNotCustomer_->setText(reason);
    lblNotCustomer_->setHidden(reason.empty());
}

void ContactsTwoCell::btnAvatarTouchUpInside(UIControl*)
{
    if (auto delegate = delegate_.lock(); delegate && contact_)
        delegate->contactsCellDidClickAvatar(contact_);
}
