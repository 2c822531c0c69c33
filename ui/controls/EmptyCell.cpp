#include "ui/controls/EmptyCell.h"

#include <cmath>

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

void EmptyCell::awakeFromNib()
{
    UIView::awakeFromNib();
    if (auto self = sharedView())
        wrapperView_ = subviewWithOutlet(self, "wrapperView");
}

void EmptyCell::layoutSubviews()
{
    BaseCell::layoutSubviews();
    auto wrapper = wrapperView_.lock();
    if (!wrapper)
        return;
    platform::Rect f = wrapper->frame();
    f.origin.y = std::floor((frame().size.height - f.size.height) / 2);
    wrapper->setFrame(f);
}
