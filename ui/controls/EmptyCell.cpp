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
    platform::Rect f = wrapperView_->frame();
    f.origin.y = std::floor((frame().size.height - f.size.height) / 2);
    wrapperView_->setFrame(f);
}
