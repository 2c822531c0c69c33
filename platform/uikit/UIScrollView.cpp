#include "platform/uikit/UIScrollView.h"

#include "platform/os/RunLoop.h"

#include <algorithm>
#include <cmath>

UIScrollView::UIScrollView() { setClipsToBounds(true); }

UIScrollView::UIScrollView(const platform::Rect& frame)
    : UIView(frame)
{
    setClipsToBounds(true);
}

platform::Point UIScrollView::minimumContentOffset() const
{
    return platform::Point(-contentInset_.left, -contentInset_.top);
}

platform::Point UIScrollView::maximumContentOffset() const
{
    auto size = bounds().size;
    double maxX = std::max(contentSize_.width + contentInset_.right - size.width, -contentInset_.left);
    double maxY = std::max(contentSize_.height + contentInset_.bottom - size.height, -contentInset_.top);
    return platform::Point(maxX, maxY);
}

platform::Point UIScrollView::clamped(platform::Point offset) const
{
    auto low = minimumContentOffset();
    auto high = maximumContentOffset();
    return platform::Point(std::clamp(offset.x, low.x, high.x), std::clamp(offset.y, low.y, high.y));
}

UIScrollView::ObserverId UIScrollView::addObserver(std::vector<ObserverEntry>& list, Observer observer)
{
    if (!observer)
        return 0;
    list.push_back({ ++lastObserverId_, std::move(observer) });
    return lastObserverId_;
}

void UIScrollView::removeObserver(ObserverId id)
{
    for (auto* list : { &offsetObservers_, &sizeObservers_, &frameObservers_, &dragEndObservers_ })
        std::erase_if(*list, [id](const ObserverEntry& entry) { return entry.id == id; });
}

void UIScrollView::notifyObservers(const std::vector<ObserverEntry>& list)
{
    // A copy: observers may add or remove observers. Each is looked up again
    // before its call so that one removed meanwhile is not called.
    auto observers = list;
    for (auto& entry : observers) {
        auto sameId = [&](const ObserverEntry& e) { return e.id == entry.id; };
        if (std::any_of(list.begin(), list.end(), sameId))
            entry.observer(this);
    }
}

void UIScrollView::notifyScroll()
{
    contentOffsetDidChange();
    if (auto d = delegate())
        d->scrollViewDidScroll(this);
    notifyObservers(offsetObservers_);
}

void UIScrollView::setBounds(const platform::Rect& newBounds)
{
    auto old = bounds();
    UIView::setBounds(newBounds);
    if (bounds().origin != old.origin)
        notifyScroll();
}

void UIScrollView::setFrame(const platform::Rect& frame)
{
    auto old = this->frame();
    UIView::setFrame(frame);
    if (this->frame() != old)
        notifyObservers(frameObservers_);
}

void UIScrollView::setContentOffset(platform::Point offset)
{
    if (!std::isfinite(offset.x) || !std::isfinite(offset.y))
        return;
    auto b = bounds();
    if (b.origin == offset)
        return;
    b.origin = offset;
    setBounds(b);
}

void UIScrollView::setContentOffset(platform::Point offset, bool animated)
{
    if (!animated) {
        setContentOffset(offset);
        return;
    }
    // The offset is final at once; the end of the scroll animation comes on the clock.
    UIView::animateWithDuration(kAnimationDuration, [&] { setContentOffset(offset); });
    std::weak_ptr<UIResponder> weakSelf = weak_from_this();
    platform::dispatchAfter(kAnimationDuration, [weakSelf] {
        auto self = std::static_pointer_cast<UIScrollView>(weakSelf.lock());
        if (!self)
            return;
        if (auto d = self->delegate())
            d->scrollViewDidEndScrollingAnimation(self.get());
    });
}

void UIScrollView::setContentSize(platform::Size size)
{
    if (!std::isfinite(size.width) || !std::isfinite(size.height))
        return;
    if (size == contentSize_)
        return;
    contentSize_ = size;
    notifyObservers(sizeObservers_);
}

void UIScrollView::setContentInset(const platform::EdgeInsets& inset)
{
    contentInset_ = inset;
    noteAnimatableChange("contentInset");
}

void UIScrollView::beginDrag()
{
    if (!scrollEnabled_ || dragging_)
        return;
    dragging_ = true;
    decelerating_ = false;
    if (auto d = delegate())
        d->scrollViewWillBeginDragging(this);
}

void UIScrollView::moveDrag(double dx, double dy)
{
    if (!dragging_)
        return;
    auto offset = contentOffset();
    offset.x -= dx;
    offset.y -= dy;
    // Without bouncing the content never leaves its range; with it, the
    // finger may pull past the edges (the pull-to-refresh screens read that).
    bool vertical = contentSize_.height > bounds().size.height || alwaysBounceVertical_;
    if (!bounces_ || (!vertical && dy != 0))
        offset = clamped(offset);
    setContentOffset(offset);
}

void UIScrollView::settlePaging()
{
    auto size = bounds().size;
    auto offset = clamped(contentOffset());
    if (size.width > 0)
        offset.x = std::round(offset.x / size.width) * size.width;
    if (size.height > 0 && contentSize_.height > size.height)
        offset.y = std::round(offset.y / size.height) * size.height;
    setContentOffset(clamped(offset));
}

void UIScrollView::endDrag(bool decelerate)
{
    if (!dragging_)
        return;
    dragging_ = false;
    // Paging and an offset past the edges always bring a settling motion.
    auto offset = contentOffset();
    bool outOfRange = clamped(offset) != offset;
    bool willDecelerate = decelerate || pagingEnabled_ || outOfRange;
    dragDidEnd(willDecelerate);
    notifyObservers(dragEndObservers_);
    if (auto d = delegate())
        d->scrollViewDidEndDragging(this, willDecelerate);
    if (!willDecelerate)
        return;
    decelerating_ = true;
    if (auto d = delegate())
        d->scrollViewWillBeginDecelerating(this);
    std::weak_ptr<UIResponder> weakSelf = weak_from_this();
    platform::dispatchAfter(kDecelerationDuration, [weakSelf] {
        auto self = std::static_pointer_cast<UIScrollView>(weakSelf.lock());
        if (!self || !self->decelerating_)
            return;
        if (self->pagingEnabled_)
            self->settlePaging();
        else
            self->setContentOffset(self->clamped(self->contentOffset()));
        self->decelerating_ = false;
        if (auto d = self->delegate())
            d->scrollViewDidEndDecelerating(self.get());
    });
}

void UIScrollView::drag(double dx, double dy, int steps, bool decelerate)
{
    steps = std::clamp(steps, 1, 1000);
    beginDrag();
    for (int i = 0; i < steps; ++i)
        moveDrag(dx / steps, dy / steps);
    endDrag(decelerate);
}

void UIScrollView::setZoomScale(double scale, bool animated)
{
    if (!std::isfinite(scale))
        return;
    scale = std::clamp(scale, minimumZoomScale_, std::max(minimumZoomScale_, maximumZoomScale_));
    auto d = delegate();
    auto zoomView = d ? d->viewForZoomingInScrollView(this) : nullptr;
    if (!zoomView)
        return;
    if (scale == zoomScale_)
        return;
    d->scrollViewWillBeginZooming(this, zoomView.get());
    auto apply = [&] {
        zoomScale_ = scale;
        zoomView->setTransform(platform::AffineTransform::makeScale(scale, scale));
        // The zoomed view's top-left corner stays at the content's origin.
        auto size = zoomView->bounds().size;
        zoomView->setCenter(platform::Point(size.width * scale / 2, size.height * scale / 2));
        setContentSize(platform::Size(size.width * scale, size.height * scale));
    };
    if (animated)
        UIView::animateWithDuration(kAnimationDuration, apply);
    else
        apply();
    setContentOffset(clamped(contentOffset()));
    d->scrollViewDidZoom(this);
    d->scrollViewDidEndZooming(this, zoomView.get(), zoomScale_);
}

void UIScrollView::zoomToRect(const platform::Rect& rect, bool animated)
{
    if (rect.size.width <= 0 || rect.size.height <= 0)
        return;
    auto size = bounds().size;
    double scale = std::min(size.width / rect.size.width, size.height / rect.size.height);
    setZoomScale(scale, animated);
    // Centre the rectangle as far as the content allows.
    double cx = (rect.origin.x + rect.size.width / 2) * zoomScale_ - size.width / 2;
    double cy = (rect.origin.y + rect.size.height / 2) * zoomScale_ - size.height / 2;
    setContentOffset(clamped(platform::Point(cx, cy)));
}

void UIScrollView::scrollRectToVisible(const platform::Rect& rect, bool animated)
{
    auto visible = bounds();
    auto offset = visible.origin;
    if (rect.origin.y < visible.origin.y)
        offset.y = rect.origin.y;
    else if (rect.maxY() > visible.maxY())
        offset.y = rect.maxY() - visible.size.height;
    if (rect.origin.x < visible.origin.x)
        offset.x = rect.origin.x;
    else if (rect.origin.x + rect.size.width > visible.origin.x + visible.size.width)
        offset.x = rect.origin.x + rect.size.width - visible.size.width;
    setContentOffset(clamped(offset), animated);
}
