#include "ui/controls/DefaultHeader.h"

void DefaultHeader::setTitle(std::string title)
{
    title_ = std::move(title);
    if (auto label = lblTitle_.lock())
        label->setText(title_);
}

void DefaultHeader::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("lblTitle", lblTitle_);
}

void DefaultHeader::awakeFromNib()
{
    UIView::awakeFromNib();
    // A title the layout gave came before the label was known.
    if (auto label = lblTitle_.lock(); label && !title_.empty())
        label->setText(title_);
}
