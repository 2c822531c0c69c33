#include "ui/grid/GridItemView.h"

std::shared_ptr<GridItemView> GridItemView::make()
{
    auto tile = std::make_shared<GridItemView>();
    auto content = std::dynamic_pointer_cast<UIView>(
        platform::LayoutLoader::firstTopLevelObject(GridItemView::kClassName, tile));
    if (content) {
        // The tile takes the layout's size first, so that the content's
        // autoresizing follows later changes of the tile instead of growing
        // from nothing.
        tile->setFrame(platform::Rect(platform::Point(0, 0), content->frame().size));
        tile->addSubview(content);
    }
    return tile;
}

void GridItemView::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("imageView", imageView_);
    bindings.outlet("label", label_);
    bindings.outlet("button", button_);
    bindings.outlet("backgroudImage", backgroudImage_);
}
