#pragma once

#include "platform/uikit/UIView.h"

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
    std::string className() const override { return "UIScrollView"; }

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
    using Observer = std::function<void(UIScrollView*)>;
    void addContentOffsetObserver(Observer observer) { offsetObservers_.push_back(std::move(observer)); }
    void addContentSizeObserver(Observer observer) { sizeObservers_.push_back(std::move(observer)); }
    void addFrameObserver(Observer observer) { frameObservers_.push_back(std::move(observer)); }

    void setFrame(const platform::Rect& frame) override;
    void setBounds(const platform::Rect& bounds) override;

    // The offsets the content can rest at, insets included.
    platform::Point minimumContentOffset() const;
    platform::Point maximumContentOffset() const;

protected:
    // Subclasses react to scrolling (the table loads the rows coming into view).
    virtual void contentOffsetDidChange() { }

private:
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
    std::vector<Observer> offsetObservers_;
    std::vector<Observer> sizeObservers_;
    std::vector<Observer> frameObservers_;
};
