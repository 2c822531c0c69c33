#include "ui/controls/DefaultHeader.h"

void DefaultHeader::setTitle(std::string title)
{
    title_ = std::move(title);
    // A header made in code gets its label from the layout later (awakeFromNib).
    if (lblTitle_)
        lblTitle_->setText(title_);
}

void DefaultHeader::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("lblTitle", lblTitle_);
}

void DefaultHeader::awakeFromNib()
{
    UIView::awakeFromNib();
    // A title the layout gave came before the label was known.
    if (!title_.empty())
        lblTitle_->setText(title_);
}
