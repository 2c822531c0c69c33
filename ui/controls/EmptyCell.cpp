#include "ui/controls/EmptyCell.h"

#include <cmath>

void EmptyCell::awakeFromNib()
{
    UIView::awakeFromNib();
    if (auto self = sharedView())
        wrapperView_ = subviewWithOutletNamed(self, "wrapperView");
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
