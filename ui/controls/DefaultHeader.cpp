#include "ui/controls/DefaultHeader.h"

namespace {

std::shared_ptr<UIView> subviewWithOutlet(const std::shared_ptr<UIView>& root, const std::string& name)
{
    for (const auto& subview : root->subviews()) {
        if (subview->outletName() == name)
            return subview;
        if (auto found = subviewWithOutlet(subview, name))
            return found;
    }
    return nullptr;
}

} // namespace

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
        lblTitle_ = std::dynamic_pointer_cast<UILabel>(subviewWithOutlet(self, "lblTitle"));
    // A title the layout gave came before the label was known.
    if (auto label = lblTitle_.lock(); label && !title_.empty())
        label->setText(title_);
}
