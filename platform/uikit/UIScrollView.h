#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIView.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class UIScrollView;

class UIScrollViewDelegate {
public:
    virtual ~UIScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(UIScrollView*) { }
    virtual void scrollViewWillBeginDragging(UIScrollView*) { }
    virtual void scrollViewDidEndDragging(UIScrollView*, bool /*willDecelerate*/) { }
    virtual void scrollViewWillBeginDecelerating(UIScrollView*) { }
    virtual void scrollViewDidEndDecelerating(UIScrollView*) { }
    virtual void scrollViewDidEndScrollingAnimation(UIScrollView*) { }
    // nullptr: the scroll view does not zoom.
    virtual std::shared_ptr<UIView> viewForZoomingInScrollView(UIScrollView*) { return nullptr; }
    virtual void scrollViewWillBeginZooming(UIScrollView*, UIView*) { }
    virtual void scrollViewDidZoom(UIScrollView*) { }
    virtual void scrollViewDidEndZooming(UIScrollView*, UIView*, double /*scale*/) { }
};

// A view whose bounds origin (the content offset) moves over a larger content.
// Dragging is simulated (drag); deceleration and animated offsets finish on
// the main loop's clock. Observers of offset, size and frame stand where the
// screens used key-value observing.
class UIScrollView : public UIView {
public:
    UIScrollView();
    explicit UIScrollView(const platform::Rect& frame);
    ORB_CLASS_NAME(UIScrollView)

    static constexpr double kAnimationDuration = 0.3;
    static constexpr double kDecelerationDuration = 0.5;

    platform::Point contentOffset() const { return bounds().origin; }
    void setContentOffset(platform::Point offset);
    void setContentOffset(platform::Point offset, bool animated);
    platform::Size contentSize() const { return contentSize_; }
    void setContentSize(platform::Size size);
    platform::EdgeInsets contentInset() const { return contentInset_; }
    // Inside an animation block the change is recorded like any other.
    void setContentInset(const platform::EdgeInsets& inset);

    bool bounces() const { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }
    bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool b) { alwaysBounceVertical_ = b; }
    bool isPagingEnabled() const { return pagingEnabled_; }
    void setPagingEnabled(bool enabled) { pagingEnabled_ = enabled; }
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
    bool showsVerticalScrollIndicator() const { return showsVertical_; }
    void setShowsVerticalScrollIndicator(bool shows) { showsVertical_ = shows; }
    bool showsHorizontalScrollIndicator() const { return showsHorizontal_; }
    void setShowsHorizontalScrollIndicator(bool shows) { showsHorizontal_ = shows; }
    bool scrollsToTop() const { return scrollsToTop_; }
    void setScrollsToTop(bool s) { scrollsToTop_ = s; }
    double decelerationRate() const { return decelerationRate_; }
    void setDecelerationRate(double rate) { decelerationRate_ = rate; }

    // Screens override isDragging to act on it, so it stays virtual.
    virtual bool isDragging() const { return dragging_; }
    bool isDecelerating() const { return decelerating_; }
    bool isTracking() const { return dragging_; }

    // ---- Simulated drags (tests and the interactive host) -------------------
    // A finger moving the content by -dy (dragging down by dy shows what is
    // above): willBeginDragging, didScroll per step, didEndDragging(decelerate);
    // with deceleration willBeginDecelerating now and didEndDecelerating after
    // kDecelerationDuration on the clock. When bounces is off the offset stays
    // within the content; with paging the offset settles on a page boundary.
    void drag(double dx, double dy, int steps = 1, bool decelerate = false);
    void beginDrag();
    void moveDrag(double dx, double dy);
    void endDrag(bool decelerate);

    // ---- Zoom ----------------------------------------------------------------
    double zoomScale() const { return zoomScale_; }
    void setZoomScale(double scale, bool animated = false);
    double minimumZoomScale() const { return minimumZoomScale_; }
    void setMinimumZoomScale(double scale) { minimumZoomScale_ = scale; }
    double maximumZoomScale() const { return maximumZoomScale_; }
    void setMaximumZoomScale(double scale) { maximumZoomScale_ = scale; }
    // Zooms so that the rectangle (in the zoomed view's coordinates) fills the bounds.
    void zoomToRect(const platform::Rect& rect, bool animated);
    bool isZooming() const { return false; }

    void scrollRectToVisible(const platform::Rect& rect, bool animated);

    void setDelegate(std::weak_ptr<UIScrollViewDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UIScrollViewDelegate> delegate() const { return delegate_.lock(); }

    // ---- Observers -------------------------------------------------------------
    // Each returns an id for removeObserver (views that stop observing when
    // they are hidden or leave the scroll view); an observer removed while the
    // observers are being told is not called after its removal.
    using Observer = std::function<void(UIScrollView*)>;
    using ObserverId = std::uint64_t;
    ObserverId addContentOffsetObserver(Observer observer)
    {
        return addObserver(offsetObservers_, std::move(observer));
    }
    ObserverId addContentSizeObserver(Observer observer) { return addObserver(sizeObservers_, std::move(observer)); }
    ObserverId addFrameObserver(Observer observer) { return addObserver(frameObservers_, std::move(observer)); }
    // The finger lifted (isDragging is false already), before any settling
    // motion: on the phone the first step of the bounce tells the offset
    // observers at once; here the settling comes later on the clock, so views
    // that follow a pull act on the release through this.
    ObserverId addDragEndObserver(Observer observer) { return addObserver(dragEndObservers_, std::move(observer)); }
    void removeObserver(ObserverId id);

    void setFrame(const platform::Rect& frame) override;
    void setBounds(const platform::Rect& bounds) override;

    // The offsets the content can rest at, insets included.
    platform::Point minimumContentOffset() const;
    platform::Point maximumContentOffset() const;

protected:
    // Subclasses react to scrolling (the table loads the rows coming into view).
    virtual void contentOffsetDidChange() { }
    // The finger has just lifted (isDragging answers false already), before
    // the delegate hears of it: subclasses that drive views of their own from
    // the end of a drag need no delegate of the screen's.
    virtual void dragDidEnd(bool /*willDecelerate*/) { }

private:
    struct ObserverEntry {
        ObserverId id = 0;
        Observer observer;
    };
    ObserverId addObserver(std::vector<ObserverEntry>& list, Observer observer);
    void notifyObservers(const std::vector<ObserverEntry>& list);
    void notifyScroll();
    platform::Point clamped(platform::Point offset) const;
    void settlePaging();

    platform::Size contentSize_;
    platform::EdgeInsets contentInset_;
    bool bounces_ = true;
    bool alwaysBounceVertical_ = false;
    bool pagingEnabled_ = false;
    bool scrollEnabled_ = true;
    bool showsVertical_ = true;
    bool showsHorizontal_ = true;
    bool scrollsToTop_ = true;
    double decelerationRate_ = 0.998;
    bool dragging_ = false;
    bool decelerating_ = false;
    double zoomScale_ = 1;
    double minimumZoomScale_ = 1;
    double maximumZoomScale_ = 1;
    std::weak_ptr<UIScrollViewDelegate> delegate_;
    std::vector<ObserverEntry> offsetObservers_;
    std::vector<ObserverEntry> sizeObservers_;
    std::vector<ObserverEntry> frameObservers_;
    std::vector<ObserverEntry> dragEndObservers_;
    ObserverId lastObserverId_ = 0;
};
