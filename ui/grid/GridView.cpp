#include "ui/grid/GridView.h"

#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIImage.h"
#include "ui/controls/UIColorHelper.h"

#include <algorithm>
#include <cmath>

void GridView::initItemViews()
{
    itemViews_.clear();
    auto delegate = gridDelegate();
    if (!delegate)
        return;
    auto self = std::static_pointer_cast<GridView>(sharedView());
    unsigned long n = delegate->gridViewNumberOfItems(this);
    for (unsigned long i = 0; i < n; ++i) {
        auto tile = GridItemView::make();
        auto entry = delegate->gridViewItemForIndex(this, i);
        tile->setFrame(platform::Rect(platform::Point(0, 0), itemSize_));
        tile->label()->setText(entry.title);
        tile->imageView()->setImage(UIImage::imageNamed(entry.logoImageName));
        tile->button()->setTag(static_cast<int>(i));
        if (self)
            tile->button()->addTarget(self, &GridView::itemPressed, UIControlEventTouchUpInside, "itemPressed:");
        auto background = tile->backgroudImage();
        background->setImage(nullptr);
        // A colour text that is no colour leaves the tile without a background.
        auto color = UIColorHelper::colorWithString(entry.color);
        background->setBackgroundColor(color ? color->withAlpha(kTileAlpha) : platform::Color::clearColor());
        background->layer()->setCornerRadius(kTileCornerRadius);
        itemViews_.push_back(tile);
        addSubview(tile);
    }
}

void GridView::layoutSubviews()
{
    UIScrollView::layoutSubviews();
    auto b = bounds();
    // No columns would divide by nothing: one column is the least a grid has.
    unsigned long cols = std::max(1UL, b.width() > b.height() ? columnCountLandscape_ : columnCountPortrait_);
    auto delegate = gridDelegate();
    unsigned long n = delegate ? delegate->gridViewNumberOfItems(this) : 0;
    if (itemViews_.empty())
        initItemViews();

    double width = b.width();
    double tw = itemSize_.width;
    double th = itemSize_.height;
    double g = std::round((width - static_cast<double>(cols) * tw) / static_cast<double>(cols + 1));
    unsigned long rows = n / cols + (n % cols ? 1 : 0);
    totalHeight_ = g + static_cast<double>(rows) * (g + th);
    double gh = g;
    // A short single row is spread across the width.
    if (rows == 1 && n < cols)
        gh = std::round((width - static_cast<double>(n) * tw) / static_cast<double>(n + 1));

    // Tiles are built once; entries the data source added later have none.
    unsigned long placed = std::min<unsigned long>(n, itemViews_.size());
    for (unsigned long i = 0; i < placed; ++i) {
        double c = static_cast<double>(i % cols);
        double r = static_cast<double>(i / cols);
        // One gap before the first column and row, as between them and after
        // the last column: the columns stand evenly inset from both edges.
        itemViews_[i]->setFrame(platform::Rect(gh + c * (gh + tw), g + r * (g + th), tw, th));
    }
}

void GridView::resetGridViewSize() { setContentSize(platform::Size(bounds().width(), totalHeight_ + kBottomMargin)); }

void GridView::itemPressed(UIButton* button)
{
    if (!button || button->tag() < 0)
        return;
    if (auto delegate = gridDelegate())
        delegate->gridViewDidSelectItemAtIndex(this, static_cast<unsigned long>(button->tag()));
}
