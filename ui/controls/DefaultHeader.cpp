#include "ui/controls/DefaultHeader.h"

#include "ui/tables/BaseCell.h"

void DefaultHeader::setTitle(std::string title)
{
    title_ = std::move(title);
    if (auto label = lblTitle_.lock())
        label->setText(title_);
}

void DefaultHeader::awakeFromNib()
{
    UIView::awakeFromNib();
    if (auto self = sharedView())
        lblTitle_ = BaseCell::outletNamed<UILabel>(self, "lblTitle");
    // A title the layout gave came before the label was known.
    if (auto label = lblTitle_.lock(); label && !title_.empty())
        label->setText(title_);
}
