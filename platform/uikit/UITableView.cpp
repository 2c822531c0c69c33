#include "platform/uikit/UITableView.h"

#include "platform/os/Log.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITouch.h"

#include <algorithm>
#include <cmath>
#include <utility>

UITableView::UITableView()
    : UITableView(platform::Rect(0, 0, 320, 480))
{
}

UITableView::UITableView(const platform::Rect& frame, UITableViewStyle style)
    : UIScrollView(frame)
    , style_(style)
{
    setAlwaysBounceVertical(true);
    setBackgroundColor(
        style == UITableViewStyleGrouped ? platform::Color::fromWhite(0.94) : platform::Color::whiteColor());
}

void UITableView::setDelegate(std::weak_ptr<UITableViewDelegate> delegate)
{
    tableDelegate_ = delegate;
    UIScrollView::setDelegate(std::weak_ptr<UIScrollViewDelegate>(delegate.lock()));
}

void UITableView::setTableHeaderView(std::shared_ptr<UIView> view)
{
    if (tableHeaderView_)
        tableHeaderView_->removeFromSuperview();
    tableHeaderView_ = std::move(view);
    if (tableHeaderView_)
        addSubview(tableHeaderView_);
    if (loaded_)
        computeGeometry();
}

void UITableView::setTableFooterView(std::shared_ptr<UIView> view)
{
    if (tableFooterView_)
        tableFooterView_->removeFromSuperview();
    tableFooterView_ = std::move(view);
    if (tableFooterView_)
        addSubview(tableFooterView_);
    if (loaded_)
        computeGeometry();
}

long UITableView::numberOfRowsInSection(long section) const
{
    if (section < 0 || section >= numberOfSections())
        return 0;
    return static_cast<long>(sections_[static_cast<std::size_t>(section)].rowHeights.size());
}

bool UITableView::validPath(const NSIndexPath& p) const
{
    return p.section >= 0 && p.section < numberOfSections() && p.row >= 0 && p.row < numberOfRowsInSection(p.section);
}

void UITableView::computeGeometry()
{
    auto source = dataSource();
    auto delegate = tableDelegate();
    for (auto& section : sections_) {
        if (section.headerView)
            section.headerView->removeFromSuperview();
        if (section.footerView)
            section.footerView->removeFromSuperview();
    }
    sections_.clear();
    double y = 0;
    if (tableHeaderView_) {
        auto f = tableHeaderView_->frame();
        tableHeaderView_->setFrame(platform::Rect(0, 0, bounds().size.width, f.size.height));
        y = f.size.height;
    }
    long count = source ? std::clamp(source->numberOfSectionsInTableView(this), 0L, 100000L) : 0;
    for (long s = 0; s < count; ++s) {
        Section section;
        section.headerTop = y;
        auto title = source->titleForHeaderInSection(this, s);
        section.headerView = delegate ? delegate->viewForHeaderInSection(this, s) : nullptr;
        if (!section.headerView && title) {
            auto label = std::make_shared<UILabel>();
            label->setText(*title);
            label->setFont(platform::Font::boldSystemFont(15));
            label->setBackgroundColor(platform::Color::fromWhite(0.94));
            section.headerView = label;
        }
        std::optional<double> headerHeight = delegate ? delegate->heightForHeaderInSection(this, s) : std::nullopt;
        section.headerHeight = headerHeight.value_or(
            section.headerView ? sectionHeaderHeight_ : (style_ == UITableViewStyleGrouped ? 10.0 : 0.0));
        y += section.headerHeight;
        long rows = std::clamp(source->numberOfRowsInSection(this, s), 0L, 1000000L);
        for (long r = 0; r < rows; ++r) {
            std::optional<double> height = delegate ? delegate->heightForRowAtIndexPath(this, { s, r }) : std::nullopt;
            double h = std::max(0.0, height.value_or(rowHeight_));
            section.rowTops.push_back(y);
            section.rowHeights.push_back(h);
            y += h;
        }
        section.footerTop = y;
        auto footerTitle = source->titleForFooterInSection(this, s);
        section.footerView = delegate ? delegate->viewForFooterInSection(this, s) : nullptr;
        if (!section.footerView && footerTitle) {
            auto label = std::make_shared<UILabel>();
            label->setText(*footerTitle);
            label->setFont(platform::Font::systemFont(13));
            section.footerView = label;
        }
        std::optional<double> footerHeight = delegate ? delegate->heightForFooterInSection(this, s) : std::nullopt;
        section.footerHeight = footerHeight.value_or(
            section.footerView ? sectionFooterHeight_ : (style_ == UITableViewStyleGrouped ? 10.0 : 0.0));
        y += section.footerHeight;
        if (section.headerView) {
            section.headerView->setFrame(
                platform::Rect(0, section.headerTop, bounds().size.width, section.headerHeight));
            addSubview(section.headerView);
        }
        if (section.footerView) {
            section.footerView->setFrame(
                platform::Rect(0, section.footerTop, bounds().size.width, section.footerHeight));
            addSubview(section.footerView);
        }
        sections_.push_back(std::move(section));
    }
    if (tableFooterView_) {
        auto f = tableFooterView_->frame();
        tableFooterView_->setFrame(platform::Rect(0, y, bounds().size.width, f.size.height));
        y += f.size.height;
    }
    setContentSize(platform::Size(bounds().size.width, y));
}

void UITableView::enqueue(const std::shared_ptr<UITableViewCell>& cell)
{
    cell->removeFromSuperview();
    cell->setSelected(false);
    if (!cell->reuseIdentifier().empty())
        reusePool_[cell->reuseIdentifier()].push_back(cell);
}

void UITableView::updateVisibleCells()
{
    auto source = dataSource();
    auto visibleRect = bounds();
    std::map<NSIndexPath, std::shared_ptr<UITableViewCell>> keep;
    std::vector<NSIndexPath> wanted;
    for (long s = 0; s < numberOfSections(); ++s) {
        const auto& section = sections_[static_cast<std::size_t>(s)];
        for (std::size_t r = 0; r < section.rowHeights.size(); ++r) {
            platform::Rect rect(0, section.rowTops[r], visibleRect.size.width, section.rowHeights[r]);
            if (rect.size.height > 0 && rect.maxY() > visibleRect.origin.y && rect.origin.y < visibleRect.maxY())
                wanted.push_back({ s, static_cast<long>(r) });
        }
    }
    for (auto& [path, cell] : visible_) {
        if (std::find(wanted.begin(), wanted.end(), path) != wanted.end())
            keep[path] = cell;
        else
            enqueue(cell);
    }
    visible_ = std::move(keep);
    if (!source)
        return;
    auto delegate = tableDelegate();
    for (auto& path : wanted) {
        auto found = visible_.find(path);
        if (found == visible_.end()) {
            auto cell = source->cellForRowAtIndexPath(this, path);
            if (!cell) {
                // The phone fails hard here; an empty row keeps the table usable.
                platform::log("UITableView: no cell for row %ld in section %ld\n", path.row, path.section);
                cell = std::make_shared<UITableViewCell>();
            }
            // A cell taken from the pool leaves it for good.
            if (auto pool = reusePool_.find(cell->reuseIdentifier()); pool != reusePool_.end())
                std::erase(pool->second, cell);
            cell->setFrame(rectForRowAtIndexPath(path));
            cell->setSelected(selected_ && *selected_ == path);
            cell->setEditing(editing_);
            if (delegate)
                delegate->willDisplayCell(this, cell.get(), path);
            insertSubview(cell, 0);
            visible_[path] = cell;
        } else
            found->second->setFrame(rectForRowAtIndexPath(path));
    }
}

void UITableView::reloadData()
{
    loaded_ = true;
    for (auto& [path, cell] : visible_)
        enqueue(cell);
    visible_.clear();
    computeGeometry();
    if (selected_ && !validPath(*selected_))
        selected_.reset();
    updateVisibleCells();
    updateSectionIndex(true);
}

void UITableView::layoutSubviews()
{
    UIScrollView::layoutSubviews();
    if (!loaded_)
        reloadData();
    else {
        updateVisibleCells();
        updateSectionIndex(false);
    }
}

void UITableView::contentOffsetDidChange()
{
    if (loaded_) {
        updateVisibleCells();
        updateSectionIndex(false);
    }
}

// The index asks the data source for its titles when the data is reloaded,
// and follows the visible part of the content at every scroll, so it sits
// at the right edge of what is on screen, above the rows and headers.
void UITableView::updateSectionIndex(bool reloadTitles)
{
    if (reloadTitles) {
        auto titles = sectionIndexTitles();
        if (titles.empty()) {
            if (indexView_)
                indexView_->removeFromSuperview();
            indexView_.reset();
            return;
        }
        if (!indexView_)
            indexView_ = std::make_shared<UITableViewIndex>(this);
        indexView_->setTitles(titles);
    }
    if (!indexView_)
        return;
    auto visible = bounds();
    indexView_->setFrame(platform::Rect(visible.maxX() - UITableViewIndex::kWidth, visible.minY(),
        UITableViewIndex::kWidth, visible.size.height));
    if (indexView_->superview().get() != this)
        addSubview(indexView_);
    else if (subviews().empty() || subviews().back() != indexView_)
        bringSubviewToFront(indexView_);
    indexView_->layoutIfNeeded();
}

// ---- Section index view

UITableViewIndex::UITableViewIndex(UITableView* table)
    : UIView(platform::Rect(0, 0, kWidth, 0))
    , table_(table)
{
    setBackgroundColor(platform::Color::clearColor());
}

void UITableViewIndex::setTitles(const std::vector<std::string>& titles)
{
    if (titles == titles_)
        return;
    titles_ = titles;
    for (auto& label : labels_)
        label->removeFromSuperview();
    labels_.clear();
    for (const auto& title : titles_) {
        auto label = std::make_shared<UILabel>();
        label->setText(title);
        label->setFont(platform::Font::boldSystemFont(11));
        label->setTextColor(platform::Color(0.30, 0.36, 0.44, 1));
        label->setTextAlignment(NSTextAlignmentCenter);
        label->setBackgroundColor(platform::Color::clearColor());
        label->setUserInteractionEnabled(false);
        addSubview(label);
        labels_.push_back(std::move(label));
    }
    setNeedsLayout();
}

double UITableViewIndex::titleHeight() const
{
    // Titles share the height when there are more than fit; a title keeps
    // at least a few points so a long index stays a line of letters.
    if (titles_.empty())
        return kTitleHeight;
    double fit = (bounds().size.height - 8) / static_cast<double>(titles_.size());
    return std::clamp(fit, 4.0, kTitleHeight);
}

platform::Rect UITableViewIndex::rectForTitle(long index) const
{
    if (index < 0 || index >= static_cast<long>(titles_.size()))
        return {};
    double h = titleHeight();
    double top = (bounds().size.height - h * static_cast<double>(titles_.size())) / 2;
    return platform::Rect(0, top + h * static_cast<double>(index), bounds().size.width, h);
}

long UITableViewIndex::titleIndexAtPoint(platform::Point point) const
{
    if (titles_.empty() || point.x < 0 || point.x > bounds().size.width)
        return -1;
    double h = titleHeight();
    double top = (bounds().size.height - h * static_cast<double>(titles_.size())) / 2;
    double offset = point.y - top;
    if (offset < 0 || offset >= h * static_cast<double>(titles_.size()))
        return -1;
    return static_cast<long>(offset / h);
}

void UITableViewIndex::layoutSubviews()
{
    UIView::layoutSubviews();
    for (std::size_t i = 0; i < labels_.size(); ++i)
        labels_[i]->setFrame(rectForTitle(static_cast<long>(i)));
}

void UITableViewIndex::jumpTo(const UITouchSet& touches, bool sliding)
{
    if (touches.empty())
        return;
    // A touch starts on a title; sliding along the strip past its ends (or
    // off its side) keeps the first or last title.
    auto point = touches.front()->locationInView(this);
    if (sliding && !titles_.empty()) {
        point.x = std::clamp(point.x, 0.0, bounds().size.width);
        auto first = rectForTitle(0);
        auto last = rectForTitle(static_cast<long>(titles_.size()) - 1);
        point.y = std::clamp(point.y, first.minY(), last.maxY() - 0.5);
    }
    long index = titleIndexAtPoint(point);
    if (index < 0 || index == lastJump_)
        return;
    lastJump_ = index;
    table_->tapSectionIndexTitle(index);
}

void UITableViewIndex::touchesBegan(const UITouchSet& touches, UIEvent*)
{
    lastJump_ = -1;
    jumpTo(touches, false);
}

void UITableViewIndex::touchesMoved(const UITouchSet& touches, UIEvent*) { jumpTo(touches, true); }

void UITableViewIndex::touchesEnded(const UITouchSet&, UIEvent*) { lastJump_ = -1; }

void UITableViewIndex::touchesCancelled(const UITouchSet&, UIEvent*) { lastJump_ = -1; }

std::shared_ptr<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(const std::string& identifier)
{
    auto found = reusePool_.find(identifier);
    if (found == reusePool_.end() || found->second.empty())
        return nullptr;
    auto cell = found->second.back();
    found->second.pop_back();
    cell->prepareForReuse();
    return cell;
}

std::shared_ptr<UITableViewCell> UITableView::cellForRowAtIndexPath(const NSIndexPath& indexPath) const
{
    auto found = visible_.find(indexPath);
    return found == visible_.end() ? nullptr : found->second;
}

std::vector<std::shared_ptr<UITableViewCell>> UITableView::visibleCells() const
{
    std::vector<std::shared_ptr<UITableViewCell>> cells;
    for (auto& [path, cell] : visible_)
        cells.push_back(cell);
    return cells;
}

std::vector<NSIndexPath> UITableView::indexPathsForVisibleRows() const
{
    std::vector<NSIndexPath> paths;
    for (auto& [path, cell] : visible_)
        paths.push_back(path);
    return paths;
}

std::optional<NSIndexPath> UITableView::indexPathForCell(const UITableViewCell* cell) const
{
    for (auto& [path, c] : visible_) {
        if (c.get() == cell)
            return path;
    }
    return std::nullopt;
}

std::optional<NSIndexPath> UITableView::indexPathForRowAtPoint(platform::Point point) const
{
    if (point.x < 0 || point.x >= bounds().size.width)
        return std::nullopt;
    for (long s = 0; s < numberOfSections(); ++s) {
        const auto& section = sections_[static_cast<std::size_t>(s)];
        for (std::size_t r = 0; r < section.rowHeights.size(); ++r) {
            if (point.y >= section.rowTops[r] && point.y < section.rowTops[r] + section.rowHeights[r])
                return NSIndexPath { s, static_cast<long>(r) };
        }
    }
    return std::nullopt;
}

platform::Rect UITableView::rectForRowAtIndexPath(const NSIndexPath& p) const
{
    if (!validPath(p))
        return {};
    const auto& section = sections_[static_cast<std::size_t>(p.section)];
    auto r = static_cast<std::size_t>(p.row);
    return platform::Rect(0, section.rowTops[r], bounds().size.width, section.rowHeights[r]);
}

platform::Rect UITableView::rectForHeaderInSection(long s) const
{
    if (s < 0 || s >= numberOfSections())
        return {};
    const auto& section = sections_[static_cast<std::size_t>(s)];
    return platform::Rect(0, section.headerTop, bounds().size.width, section.headerHeight);
}

platform::Rect UITableView::rectForFooterInSection(long s) const
{
    if (s < 0 || s >= numberOfSections())
        return {};
    const auto& section = sections_[static_cast<std::size_t>(s)];
    return platform::Rect(0, section.footerTop, bounds().size.width, section.footerHeight);
}

std::shared_ptr<UIView> UITableView::headerViewForSection(long s) const
{
    return s < 0 || s >= numberOfSections() ? nullptr : sections_[static_cast<std::size_t>(s)].headerView;
}

std::shared_ptr<UIView> UITableView::footerViewForSection(long s) const
{
    return s < 0 || s >= numberOfSections() ? nullptr : sections_[static_cast<std::size_t>(s)].footerView;
}

void UITableView::selectRowAtIndexPath(
    const std::optional<NSIndexPath>& indexPath, bool animated, UITableViewScrollPosition position)
{
    if (selected_) {
        if (auto cell = cellForRowAtIndexPath(*selected_))
            cell->setSelected(false, animated);
    }
    selected_.reset();
    if (!indexPath || !validPath(*indexPath))
        return;
    selected_ = indexPath;
    if (auto cell = cellForRowAtIndexPath(*indexPath))
        cell->setSelected(true, animated);
    if (position != UITableViewScrollPositionNone)
        scrollToRowAtIndexPath(*indexPath, position, animated);
}

void UITableView::deselectRowAtIndexPath(const NSIndexPath& indexPath, bool animated)
{
    if (auto cell = cellForRowAtIndexPath(indexPath))
        cell->setSelected(false, animated);
    if (selected_ && *selected_ == indexPath)
        selected_.reset();
}

void UITableView::userSelectRowAtIndexPath(const NSIndexPath& indexPath)
{
    if (!allowsSelection_ || !validPath(indexPath))
        return;
    auto delegate = tableDelegate();
    std::optional<NSIndexPath> target = indexPath;
    if (delegate)
        target = delegate->willSelectRowAtIndexPath(this, indexPath);
    if (!target || !validPath(*target))
        return;
    if (selected_ && *selected_ != *target) {
        auto previous = *selected_;
        deselectRowAtIndexPath(previous, false);
        if (delegate)
            delegate->didDeselectRowAtIndexPath(this, previous);
    }
    selectRowAtIndexPath(target, false);
    if (delegate)
        delegate->didSelectRowAtIndexPath(this, *target);
}

void UITableView::scrollToRowAtIndexPath(
    const NSIndexPath& indexPath, UITableViewScrollPosition position, bool animated)
{
    auto rect = rectForRowAtIndexPath(indexPath);
    if (!validPath(indexPath)) {
        // An empty section scrolls to its header.
        if (indexPath.section < 0 || indexPath.section >= numberOfSections())
            return;
        rect = rectForHeaderInSection(indexPath.section);
    }
    auto visible = bounds();
    double y = visible.origin.y;
    switch (position) {
    case UITableViewScrollPositionTop:
        y = rect.origin.y;
        break;
    case UITableViewScrollPositionMiddle:
        y = rect.origin.y + rect.size.height / 2 - visible.size.height / 2;
        break;
    case UITableViewScrollPositionBottom:
        y = rect.maxY() - visible.size.height;
        break;
    case UITableViewScrollPositionNone:
        scrollRectToVisible(rect, animated);
        return;
    }
    auto low = minimumContentOffset();
    auto high = maximumContentOffset();
    setContentOffset(platform::Point(visible.origin.x, std::clamp(y, low.y, high.y)), animated);
}

std::vector<std::string> UITableView::sectionIndexTitles() const
{
    auto source = dataSource();
    return source ? source->sectionIndexTitlesForTableView(const_cast<UITableView*>(this))
                  : std::vector<std::string> {};
}

void UITableView::tapSectionIndexTitle(long index)
{
    auto titles = sectionIndexTitles();
    auto source = dataSource();
    if (!source || index < 0 || index >= static_cast<long>(titles.size()))
        return;
    long section = source->sectionForSectionIndexTitle(this, titles[static_cast<std::size_t>(index)], index);
    if (section < 0 || section >= numberOfSections())
        return;
    // The section's header comes to the top (as far as the content allows).
    auto low = minimumContentOffset();
    auto high = maximumContentOffset();
    double y = std::clamp(rectForHeaderInSection(section).origin.y, low.y, high.y);
    setContentOffset(platform::Point(contentOffset().x, y));
}

void UITableView::setEditing(bool editing, bool)
{
    editing_ = editing;
    for (auto& [path, cell] : visible_)
        cell->setEditing(editing);
}

bool UITableView::commitDeleteForRowAtIndexPath(const NSIndexPath& indexPath)
{
    auto source = dataSource();
    if (!source || !validPath(indexPath) || !source->supportsEditingCommits()
        || !source->canEditRowAtIndexPath(this, indexPath))
        return false;
    auto delegate = tableDelegate();
    auto style
        = delegate ? delegate->editingStyleForRowAtIndexPath(this, indexPath) : UITableViewCellEditingStyleDelete;
    if (style != UITableViewCellEditingStyleDelete)
        return false;
    source->commitEditingStyle(this, UITableViewCellEditingStyleDelete, indexPath);
    return true;
}

void UITableView::beginUpdates() { ++updateDepth_; }

void UITableView::endUpdates()
{
    if (updateDepth_ > 0 && --updateDepth_ == 0)
        reloadData();
}

void UITableView::applyRowChange(
    RowChange::Kind kind, const std::vector<NSIndexPath>& paths, UITableViewRowAnimation animation)
{
    long before = 0;
    for (long s = 0; s < numberOfSections(); ++s)
        before += numberOfRowsInSection(s);
    for (auto& path : paths)
        rowChanges_.push_back({ kind, path, animation });
    if (updateDepth_ > 0)
        return;
    long expected = before;
    if (kind == RowChange::Kind::Insert)
        expected += static_cast<long>(paths.size());
    else if (kind == RowChange::Kind::Delete)
        expected -= static_cast<long>(paths.size());
    reloadData();
    long after = 0;
    for (long s = 0; s < numberOfSections(); ++s)
        after += numberOfRowsInSection(s);
    if (after != expected)
        platform::log(
            "UITableView: the data source has %ld rows after the update, %ld expected; reloaded\n", after, expected);
}

void UITableView::insertRowsAtIndexPaths(const std::vector<NSIndexPath>& paths, UITableViewRowAnimation animation)
{
    applyRowChange(RowChange::Kind::Insert, paths, animation);
}

void UITableView::deleteRowsAtIndexPaths(const std::vector<NSIndexPath>& paths, UITableViewRowAnimation animation)
{
    if (selected_ && std::find(paths.begin(), paths.end(), *selected_) != paths.end())
        selected_.reset();
    applyRowChange(RowChange::Kind::Delete, paths, animation);
}

void UITableView::reloadRowsAtIndexPaths(const std::vector<NSIndexPath>& paths, UITableViewRowAnimation animation)
{
    applyRowChange(RowChange::Kind::Reload, paths, animation);
}

void UITableView::touchesBegan(const UITouchSet& touches, UIEvent* event)
{
    // Where the finger came down, in window coordinates: only a touch that
    // lifts near there is a tap on a row; one that travelled was a pan or a swipe.
    touchStart_ = touches.empty() ? std::nullopt : std::optional<platform::Point>(touches.front()->windowLocation());
    UIScrollView::touchesBegan(touches, event);
}

void UITableView::touchesEnded(const UITouchSet& touches, UIEvent* event)
{
    auto start = std::exchange(touchStart_, std::nullopt);
    if (touches.empty() || isDragging()) {
        UIScrollView::touchesEnded(touches, event);
        return;
    }
    auto end = touches.front()->windowLocation();
    if (start && std::hypot(end.x - start->x, end.y - start->y) > kTapSlop)
        return;
    auto point = touches.front()->locationInView(this);
    if (auto path = indexPathForRowAtPoint(point))
        userSelectRowAtIndexPath(*path);
}
