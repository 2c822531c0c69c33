#include "messaging/compose/ContactsSingleCell.h"

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

void ContactsSingleCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblRemarks", lblRemarks_);
    bindings.outlet("imgCheckBoxBg", imgCheckBoxBg_);
    bindings.outlet("imgCheckBox", imgCheckBox_);
    bindings.outlet("lblNotCustomer", lblNotCustomer_);
    bindings.outlet("lineView", lineView_);
}

void ContactsSingleCell::awakeFromNib()
{
    UIView::awakeFromNib();
    orgFrame_ = lblName_->frame();
    setSelectedBackgroundView(std::make_shared<UIImageView>(UIImage::imageNamed("public_cel_selected_bg.png")));
}

void ContactsSingleCell::setContact(std::shared_ptr<core::ContactInfo> contact)
{
    contact_ = std::move(contact);
    if (!contact_)
        return;
    lblName_->setText(contact_->name);
    lblRemarks_->setText(contact_->remarks);
    auto frame = orgFrame_;
    if (contact_->remarks.empty())
        frame.origin.y += kNameDropWithoutRemarks;
    lblName_->setFrame(frame);
    if (contact_->isCustomer) {
        imgCheckBoxBg_->setHidden(false);
        lblNotCustomer_->setHidden(true);
        imgCheckBox_->setImage(contact_->selected ? UIImage::imageNamed(kSelectedImage) : nullptr);
    } else {
        imgCheckBoxBg_->setHidden(true);
        imgCheckBox_->setImage(UIImage::imageNamed(kNotCustomerImage));
        lblNotCustomer_->setHidden(false);
        lblNotCustomer_->setText(contact_->type == 1 ? kNoVerifiedPhone : kNoService);
    }
}

void ContactsSingleCell::setLineHidden(bool hidden) { lineView_->setHidden(hidden); }
