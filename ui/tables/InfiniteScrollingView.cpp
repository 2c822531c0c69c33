#include "ui/tables/InfiniteScrollingView.h"

#include <algorithm>
#include <cmath>

InfiniteScrollingView::InfiniteScrollingView()
    : InfiniteScrollingView(platform::Rect())
{
}

InfiniteScrollingView::InfiniteScrollingView(const platform::Rect& frame)
    : ScrollViewFollowingView(frame)
{
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    viewForState_ = { nullptr, nullptr, nullptr };
    activityIndicatorView_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhite);
    activityIndicatorView_->setHidesWhenStopped(true);
    activityIndicatorView_->setActivityIndicatorViewStyle(UIActivityIndicatorViewStyleGray);
    addSubview(activityIndicatorView_);
}

InfiniteScrollingView::~InfiniteScrollingView() { stopObserving(); }

void InfiniteScrollingView::triggerRefresh()
{
    setState(Triggered);
    setState(Loading);
}

UIActivityIndicatorViewStyle InfiniteScrollingView::activityIndicatorViewStyle() const
{
    return activityIndicatorView_->activityIndicatorViewStyle();
}

void InfiniteScrollingView::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style)
{
    activityIndicatorView_->setActivityIndicatorViewStyle(style);
}

void InfiniteScrollingView::setCustomView(std::shared_ptr<UIView> view, unsigned state)
{
    if (state == kAllStates)
        std::fill(viewForState_.begin(), viewForState_.end(), view);
    else if (state < viewForState_.size())
        viewForState_[state] = std::move(view);
}

void InfiniteScrollingView::setState(unsigned state)
{
    if (state == state_)
        return;
    unsigned previous = state_;
    state_ = state;
    for (const auto& view : viewForState_)
        if (view)
            view->removeFromSuperview();
    auto centre = [this](UIView& view) {
        auto size = view.frame().size;
        view.setFrame(platform::Rect(std::round((bounds().width() - size.width) / 2),
            std::round((bounds().height() - size.height) / 2), size.width, size.height));
    };
    std::shared_ptr<UIView> custom = state < viewForState_.size() ? viewForState_[state] : nullptr;
    if (custom) {
        addSubview(custom);
        centre(*custom);
    } else {
        centre(*activityIndicatorView_);
        if (state == Loading)
            activityIndicatorView_->startAnimating();
        else if (state == Stopped)
            activityIndicatorView_->stopAnimating();
    }
    if (previous == Triggered && state == Loading && handler_ && enabled_) {
        auto action = handler_;
        action();
    }
}

void InfiniteScrollingView::layoutSubviews()
{
    UIView::layoutSubviews();
    activityIndicatorView_->setCenter(platform::Point(bounds().width() / 2, bounds().height() / 2));
}

void InfiniteScrollingView::startObserving()
{
    auto scroll = scrollView();
    if (!scroll || isObserving_)
        return;
    std::weak_ptr<InfiniteScrollingView> weakSelf = std::static_pointer_cast<InfiniteScrollingView>(sharedView());
    auto onScroll = [weakSelf](UIScrollView* s) {
        if (auto self = weakSelf.lock())
            self->scrollViewDidScroll(s->contentOffset());
    };
    observers_.push_back(scroll->addContentOffsetObserver(onScroll));
    // The release, which on the phone the bounce's first offset change reports.
    observers_.push_back(scroll->addDragEndObserver(onScroll));
    observers_.push_back(scroll->addContentSizeObserver([weakSelf](UIScrollView* s) {
        if (auto self = weakSelf.lock()) {
            self->layoutSubviews();
            self->setFrame(platform::Rect(0, s->contentSize().height, self->bounds().width(), kHeight));
        }
    }));
    isObserving_ = true;
}

void InfiniteScrollingView::scrollViewDidScroll(platform::Point contentOffset)
{
    auto scroll = scrollView();
    if (!scroll || state_ == Loading || !enabled_)
        return;
    double threshold = scroll->contentSize().height - scroll->bounds().height();
    double y = contentOffset.y;
    bool dragging = scroll->isDragging();
    if (!dragging && state_ == Triggered)
        setState(Loading);
    else if (y > 0 && y > threshold && state_ == Stopped && dragging)
        setState(Triggered);
    else if (y < threshold && state_ != Stopped)
        setState(Stopped);
}

void InfiniteScrollingView::setScrollViewContentInsetForInfiniteScrolling()
{
    if (auto scroll = scrollView()) {
        auto inset = scroll->contentInset();
        inset.bottom = originalBottomInset_ + kHeight;
        setScrollViewContentInset(inset);
    }
}

void InfiniteScrollingView::resetScrollViewContentInset()
{
    if (auto scroll = scrollView()) {
        auto inset = scroll->contentInset();
        inset.bottom = originalBottomInset_;
        setScrollViewContentInset(inset);
    }
}

// ---- The scroll view's side ----------------------------------------------------------

std::shared_ptr<InfiniteScrollingView> infiniteScrollingView(const UIScrollView& scrollView)
{
    return followingViewOf<InfiniteScrollingView>(scrollView);
}

void addInfiniteScrollingWithActionHandler(UIScrollView& scrollView, std::function<void()> actionHandler)
{
    if (infiniteScrollingView(scrollView))
        return;
    auto footer = std::make_shared<InfiniteScrollingView>(platform::Rect(
        0, scrollView.contentSize().height, scrollView.bounds().width(), InfiniteScrollingView::kHeight));
    footer->setInfiniteScrollingHandler(std::move(actionHandler));
    footer->setScrollView(std::static_pointer_cast<UIScrollView>(scrollView.sharedView()));
    scrollView.addSubview(footer);
    footer->setOriginalBottomInset(scrollView.contentInset().bottom);
    setShowsInfiniteScrolling(scrollView, true);
}

void triggerInfiniteScrolling(UIScrollView& scrollView)
{
    if (auto footer = infiniteScrollingView(scrollView)) {
        footer->setState(InfiniteScrollingView::Triggered);
        footer->startAnimating();
    }
}

bool showsInfiniteScrolling(const UIScrollView& scrollView)
{
    auto footer = infiniteScrollingView(scrollView);
    return footer && !footer->isHidden();
}

void setShowsInfiniteScrolling(UIScrollView& scrollView, bool shows)
{
    auto footer = infiniteScrollingView(scrollView);
    if (!footer)
        return;
    footer->setHidden(!shows);
    if (shows) {
        if (!footer->isObserving()) {
            footer->startObserving();
            footer->setScrollViewContentInsetForInfiniteScrolling();
            footer->setNeedsLayout();
            footer->setFrame(platform::Rect(
                0, scrollView.contentSize().height, footer->bounds().width(), InfiniteScrollingView::kHeight));
        }
    } else if (footer->isObserving()) {
        footer->stopObserving();
        footer->resetScrollViewContentInset();
    }
}
