#include "ui/tables/RefreshTableView.h"

std::shared_ptr<RefreshTableView> RefreshTableView::make(const platform::Rect& frame, UITableViewStyle style)
{
    auto table = std::make_shared<RefreshTableView>(frame, style);
    table->initSecondPart();
    return table;
}

RefreshTableView::~RefreshTableView() { selfEnd_.cancel(); }

void RefreshTableView::awakeFromNib()
{
    UITableView::awakeFromNib();
    if (!headerView_)
        initSecondPart();
}

void RefreshTableView::initSecondPart()
{
    curPage_ = 0;
    pageSize_ = kDefaultPageSize;
    pageCount_ = 0;
    total_ = 0;
    hasLoad_ = false;
    auto self = std::static_pointer_cast<RefreshTableView>(sharedView());
    if (!headerView_) {
        // A whole table's height above the first row, out of sight until pulled into view.
        double height = bounds().height();
        headerView_ = std::make_shared<RefreshTableHeaderView>(platform::Rect(0, -height, frame().width(), height));
        if (self)
            headerView_->setDelegate(std::weak_ptr<RefreshTableHeaderDelegate>(self));
        addSubview(headerView_);
    }
    if (!footerView_) {
        footerView_ = std::make_shared<RefreshTableFooterView>(platform::Rect(0, 0, frame().width(), 0));
        if (self)
            footerView_->setDelegate(std::weak_ptr<RefreshTableFooterDelegate>(self));
        setTableFooterView(footerView_);
        footerView_->setHidden(true);
    }
    headerView_->refreshLastUpdatedDate();
}

void RefreshTableView::contentOffsetDidChange()
{
    UITableView::contentOffsetDidChange();
    if (headerView_)
        headerView_->refreshScrollViewDidScroll(this);
    if (footerTakesPart())
        footerView_->refreshScrollViewDidScroll(this);
}

bool RefreshTableView::isDragging() const
{
    bool dragging = UITableView::isDragging();
    if (!dragging) {
        // The question has a side effect by design (see the header): the
        // views it drives change the table, hence the cast.
        auto* self = const_cast<RefreshTableView*>(this);
        if (headerView_)
            headerView_->refreshScrollViewDidEndDragging(self);
        if (footerTakesPart())
            footerView_->refreshScrollViewDidEndDragging(self);
    }
    return dragging;
}

void RefreshTableView::dragDidEnd(bool /*willDecelerate*/)
{
    // The finger has lifted: the next dragging question is the end of the drag.
    (void)isDragging();
}

std::optional<platform::Date> RefreshTableView::refreshTableHeaderDataSourceLastUpdated(RefreshTableHeaderView*)
{
    return platform::Date::now();
}

std::optional<platform::Date> RefreshTableView::refreshTableFooterDataSourceLastUpdated(RefreshTableFooterView*)
{
    return platform::Date::now();
}

std::optional<std::string> RefreshTableView::refreshTableHeaderLocalizedString(
    RefreshTableHeaderView*, const std::string& key)
{
    auto d = refreshDelegate();
    return d ? d->refreshTableViewLocalizedString(this, key) : std::nullopt;
}

std::optional<std::string> RefreshTableView::refreshTableFooterLocalizedString(
    RefreshTableFooterView*, const std::string& key)
{
    auto d = refreshDelegate();
    return d ? d->refreshTableViewLocalizedString(this, key) : std::nullopt;
}

void RefreshTableView::endByItselfLater()
{
    selfEnd_.cancel();
    std::weak_ptr<RefreshTableView> weakSelf = std::static_pointer_cast<RefreshTableView>(sharedView());
    selfEnd_ = platform::dispatchAfter(kSelfEndDelay, [weakSelf] {
        if (auto self = weakSelf.lock())
            self->doneLoadingTableViewData();
    });
}

void RefreshTableView::refreshTableHeaderDidTriggerRefresh(RefreshTableHeaderView*)
{
    hasLoad_ = true;
    reloading_ = true;
    auto d = refreshDelegate();
    if (!d || !d->refreshTableViewHeaderDidTriggerRefresh(this))
        endByItselfLater();
}

void RefreshTableView::refreshTableFooterDidTriggerRefresh(RefreshTableFooterView*)
{
    hasLoad_ = true;
    reloading_ = true;
    // With no further page nothing is requested, and nothing would ever end
    // the load: the footer would stay "Loading..." and both pulls would be
    // dead. It ends by itself, as when nobody loads.
    if (pageCount_ <= curPage_) {
        endByItselfLater();
        return;
    }
    auto d = refreshDelegate();
    if (!d || !d->refreshTableViewFooterDidTriggerLoadMore(this))
        endByItselfLater();
}

void RefreshTableView::loadTopData()
{
    setContentOffset(platform::Point(contentOffset().x, -RefreshTableHeaderView::kTriggerOffset));
    if (headerView_)
        headerView_->refreshScrollViewDidEndDragging(this);
}

void RefreshTableView::doneLoadingTableViewData()
{
    selfEnd_.cancel();
    int footerState = footerView_ ? footerView_->state() : RefreshTableFooterView::Normal;
    if (reloading_) {
        reloading_ = false;
        if (headerView_)
            headerView_->refreshScrollViewDataSourceDidFinishedLoading(this);
        if (footerTakesPart())
            footerView_->refreshScrollViewDataSourceDidFinishedLoading(this);
    }
    // On every call, not only after a pull: a first page the screen loaded by
    // itself must offer the next one too.
    if (footerView_)
        footerView_->setHidden(pageCount_ <= curPage_);
    reloadData();
    if (footerState == RefreshTableFooterView::Loading) {
        // A page was added: bring its first rows into view.
        double y = contentOffset().y;
        double h = frame().height();
        if (y + h + RefreshTableFooterView::kTriggerDistance < contentSize().height)
            scrollRectToVisible(
                platform::Rect(0, y + h, frame().width(), RefreshTableFooterView::kTriggerDistance), false);
    }
}
