#include "ui/controls/EmptyCell.h"

#include <cmath>

void EmptyCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("wrapperView", wrapperView_);
}

void EmptyCell::awakeFromNib()
{
    UIView::awakeFromNib();
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
