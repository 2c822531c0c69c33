#include "ui/UIClasses.h"

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/LayoutLoader.h"
#include "ui/controls/DefaultHeader.h"
#include "ui/controls/EmptyCell.h"
#include "ui/controls/MyTapGestureRecognizer.h"
#include "ui/controls/ORBCopyableLabel.h"
#include "ui/controls/RotateButton.h"
#include "ui/controls/SStarView.h"
#include "ui/controls/ScaleButton.h"
#include "ui/controls/ScaleRotateButton.h"
#include "ui/grid/GridItemView.h"
#include "ui/grid/GridView.h"
#include "ui/grid/ORBPickerView.h"
#include "ui/images/RemoteImageView.h"
#include "ui/overlay/ProgressOverlay.h"
#include "ui/overlay/RoundProgressView.h"
#include "ui/photobrowser/CaptionView.h"
#include "ui/photobrowser/TapDetectingView.h"
#include "ui/tables/BaseCell.h"
#include "ui/tables/InfiniteScrollingView.h"
#include "ui/tables/PullToRefreshView.h"
#include "ui/tables/RefreshTableView.h"

namespace ui {

void registerUIClasses()
{
    auto& registry = platform::ClassRegistry::shared();
    // Overlay, buttons, stars, small views.
    registry.registerClass<ProgressOverlay>();
    registry.registerClass<RoundProgressView>();
    registry.registerClass<RotateButton>();
    registry.registerClass<ScaleButton>();
    registry.registerClass<ScaleRotateButton>();
    registry.registerClass<SStarView>();
    registry.registerClass<MyTapGestureRecognizer>();
    registry.registerClass<DefaultHeader>();
    BaseCell::registerCellClass<EmptyCell>();
    registry.registerClass<ORBCopyableLabel>();
    platform::LayoutLoader::registerProperty<ScaleButton>(
        "scaleSize", [](ScaleButton& button, const platform::Value& v) {
            if (!v.isNumber())
                return false;
            button.setScaleSize(v.doubleValue());
            return true;
        });
    platform::LayoutLoader::registerProperty<DefaultHeader>(
        "title", [](DefaultHeader& header, const platform::Value& v) {
            const std::string* title = v.asString();
            if (title)
                header.setTitle(*title);
            return title != nullptr;
        });

    // Refresh tables, cells, grid, picker field.
    // A table or picker from a layout is finished like one made in code.
    registry.registerClass<RefreshTableView>();
    registry.registerClass<RefreshTableHeaderView>();
    registry.registerClass<RefreshTableFooterView>();
    registry.registerClass<PullToRefreshView>();
    registry.registerClass<PullToRefreshArrow>();
    registry.registerClass<InfiniteScrollingView>();
    BaseCell::registerCellClass<BaseCell>();
    registry.registerClass<GridView>();
    // Plain: the tile's own layout holds no tile, and make() loads it.
    registry.registerClass<GridItemView>();
    registry.registerClass(std::string(ORBPickerView::kClassName),
        [] { return std::static_pointer_cast<platform::Object>(ORBPickerView::make(platform::Rect())); });

    // Remote images and the photo browser.
    registry.registerClass<RemoteImageView>();
    registry.registerClass<CaptionView>();
    registry.registerClass<TapDetectingImageView>();
    registry.registerClass<TapDetectingView>();
}

} // namespace ui
