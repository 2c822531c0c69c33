#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIScrollView.h"
#include "ui/grid/GridItemView.h"

#include <memory>
#include <string>
#include <vector>

class GridView;

// What a tile shows of its entry.
struct GridViewItem {
    std::string title;
    // An image resource name.
    std::string logoImageName;
    // Six hexadecimal digits, red, green and blue ("2BA5E3").
    std::string color;
};

class GridViewDelegate {
public:
    virtual ~GridViewDelegate() = default;
    virtual unsigned long gridViewNumberOfItems(GridView*) = 0;
    virtual GridViewItem gridViewItemForIndex(GridView*, unsigned long index) = 0;
    virtual void gridViewDidSelectItemAtIndex(GridView*, unsigned long index) = 0;
};

// A vertically scrolling grid of equal tiles, one per entry of its delegate,
// in 3 columns (4 when wider than tall), reporting a tap by the tile's index.
// The gap left between tiles is also left before the first column and row
// and after the last column.
// The tiles are built by the first layout pass and only moved afterwards.
class GridView : public UIScrollView {
public:
    ORB_CLASS_NAME(GridView)

    // What the owner adds below the last row when sizing the content.
    static constexpr double kBottomMargin = 50;
    static constexpr double kTileCornerRadius = 8.0;
    static constexpr double kTileAlpha = 0.9;

    GridView() = default;
    explicit GridView(const platform::Rect& frame)
        : UIScrollView(frame)
    {
    }

    std::shared_ptr<GridViewDelegate> gridDelegate() const { return gridDelegate_.lock(); }
    void setGridDelegate(std::weak_ptr<GridViewDelegate> delegate) { gridDelegate_ = std::move(delegate); }
    unsigned long columnCountPortrait() const { return columnCountPortrait_; }
    void setColumnCountPortrait(unsigned long count) { columnCountPortrait_ = count; }
    unsigned long columnCountLandscape() const { return columnCountLandscape_; }
    void setColumnCountLandscape(unsigned long count) { columnCountLandscape_ = count; }
    platform::Size itemSize() const { return itemSize_; }
    void setItemSize(platform::Size size) { itemSize_ = size; }

    // From the top of the view to one gap below the last row; set by layout.
    double totalHeight() const { return totalHeight_; }
    const std::vector<std::shared_ptr<GridItemView>>& itemViews() const { return itemViews_; }

    void initItemViews();
    // Lets the last row scroll 50 points clear of the bottom edge. Call it
    // after the grid has been laid out.
    void resetGridViewSize();
    void itemPressed(UIButton* button);

    void layoutSubviews() override;

private:
    double totalHeight_ = 0;
    std::vector<std::shared_ptr<GridItemView>> itemViews_;
    std::weak_ptr<GridViewDelegate> gridDelegate_;
    unsigned long columnCountPortrait_ = 3;
    unsigned long columnCountLandscape_ = 4;
    platform::Size itemSize_ { 100, 100 };
};
