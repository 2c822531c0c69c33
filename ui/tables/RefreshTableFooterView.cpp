#include "ui/tables/RefreshTableFooterView.h"

#include "platform/os/Bundle.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScrollView.h"
#include "ui/tables/RefreshTableHeaderView.h"
#include "ui/tables/RefreshTableStatus.h"

RefreshTableFooterView::RefreshTableFooterView()
    : RefreshTableFooterView(platform::Rect())
{
}

RefreshTableFooterView::RefreshTableFooterView(const platform::Rect& frame)
    : RefreshTableFooterView(
        frame, RefreshTableHeaderView::kDefaultArrowImageName, RefreshTableHeaderView::defaultTextColor())
{
}

RefreshTableFooterView::RefreshTableFooterView(
    const platform::Rect& frame, const std::string& /*arrowImageName*/, const platform::Color& textColor)
    // Only the width counts: as the table's footer view it takes no room of
    // its own, and what it shows hangs in the band below it.
    : UIView(platform::Rect(0, 0, frame.width(), 0))
{
    setUp(textColor);
}

void RefreshTableFooterView::setUp(const platform::Color& textColor)
{
    double w = frame().width();
    setAutoresizingMask(UIViewAutoresizingNone);
    setBackgroundColor(platform::Color::clearColor());

    statusLabel_ = refresh_table::makeStatusLabel(platform::Rect(0, 15, w, 20), UIFont::boldSystemFont(13), textColor);
    addSubview(statusLabel_);

    activityView_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    activityView_->setFrame(platform::Rect(25, 15, 20, 20));
    addSubview(activityView_);

    setState(Normal);
}

std::string RefreshTableFooterView::text(const std::string& key)
{
    if (auto d = delegate())
        if (auto text = d->refreshTableFooterLocalizedString(this, key); text && !text->empty())
            return *text;
    return platform::localizedString(key);
}

bool RefreshTableFooterView::delegateIsLoading()
{
    auto d = delegate();
    return d && d->refreshTableFooterDataSourceIsLoading(this);
}

bool RefreshTableFooterView::isPastTrigger(UIScrollView* scrollView)
{
    double y = scrollView->contentOffset().y;
    return y + scrollView->frame().height() > scrollView->contentSize().height + kTriggerDistance;
}

void RefreshTableFooterView::setState(int state)
{
    switch (state) {
    case Pulling:
        statusLabel_->setText(text("Release to load more"));
        break;
    case Normal:
        statusLabel_->setText(text("Pull up to load more"));
        activityView_->stopAnimating();
        refreshLastUpdatedDate();
        break;
    case Loading:
        statusLabel_->setText(text("Loading..."));
        activityView_->startAnimating();
        break;
    default:
        break;
    }
    state_ = state;
}

void RefreshTableFooterView::refreshLastUpdatedDate()
{
    // The footer shows no date. Only a delegate that answers one makes the
    // list write its refresh time, as the header does; the footer has no text
    // to write, so the stored text is removed.
    auto d = delegate();
    if (!d || !d->refreshTableFooterDataSourceLastUpdated(this))
        return;
    if (auto defaults = platform::UserDefaults::standard()) {
        defaults->removeObjectForKey(RefreshTableHeaderView::kLastRefreshDefaultsKey);
        defaults->synchronize();
    }
}

void RefreshTableFooterView::refreshScrollViewDidScroll(UIScrollView* scrollView)
{
    if (!scrollView)
        return;
    if (state_ == Loading) {
        scrollView->setContentInset(platform::EdgeInsets(0, 0, kTriggerDistance, 0));
        return;
    }
    if (!scrollView->isDragging())
        return;
    double y = scrollView->contentOffset().y;
    double bottom = y + scrollView->frame().height();
    double line = scrollView->contentSize().height + kTriggerDistance;
    bool loading = delegateIsLoading();
    if (state_ == Pulling && bottom < line && y > 0 && !loading)
        setState(Normal);
    else if (state_ == Normal && bottom > line && !loading)
        setState(Pulling);
    if (scrollView->contentInset().bottom != 0)
        scrollView->setContentInset(platform::EdgeInsets());
}

void RefreshTableFooterView::refreshScrollViewDidEndDragging(UIScrollView* scrollView)
{
    if (!scrollView || state_ == Loading || delegateIsLoading() || !isPastTrigger(scrollView))
        return;
    // Loading is shown before the list is asked for the page: a list that
    // answers at once (from what it has) ends the load inside the call, and
    // must find the footer loading so that it can end it.
    setState(Loading);
    refresh_table::openLoadingBand(scrollView, platform::EdgeInsets(0, 0, kTriggerDistance, 0));
    if (auto d = delegate())
        d->refreshTableFooterDidTriggerRefresh(this);
}

void RefreshTableFooterView::refreshScrollViewDataSourceDidFinishedLoading(UIScrollView* scrollView)
{
    refresh_table::closeLoadingBand(scrollView);
    setState(Normal);
}
