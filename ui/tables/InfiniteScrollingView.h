#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIScrollView.h"
#include "ui/tables/ScrollViewFollowingView.h"

#include <functional>
#include <memory>
#include <vector>

// The 60-point footer a scroll view shows just below its content: dragged
// past the end and released, it shows a spinner and runs the screen's action,
// which loads the next page; the screen calls stopAnimating when the page has
// arrived, and hides the footer (setShowsInfiniteScrolling false) after the
// last page. Added through addInfiniteScrollingWithActionHandler.
class InfiniteScrollingView : public ScrollViewFollowingView {
public:
    ORB_CLASS_NAME(InfiniteScrollingView)

    enum State : unsigned { Stopped = 0, Triggered = 1, Loading = 2 };
    static constexpr unsigned kAllStates = 10;
    static constexpr double kHeight = 60;

    InfiniteScrollingView();
    explicit InfiniteScrollingView(const platform::Rect& frame);
    ~InfiniteScrollingView() override;

    // From stopped this shows the spinner without running the action.
    void startAnimating() { setState(Loading); }
    void stopAnimating() { setState(Stopped); }
    // Through triggered to loading: the action runs.
    void triggerRefresh();

    unsigned state() const { return state_; }
    void setState(unsigned state);
    const std::function<void()>& infiniteScrollingHandler() const { return handler_; }
    void setInfiniteScrollingHandler(std::function<void()> handler) { handler_ = std::move(handler); }
    // When off, scrolling never triggers and the action never runs.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool wasTriggeredByUser() const { return wasTriggeredByUser_; }
    void setWasTriggeredByUser(bool triggered) { wasTriggeredByUser_ = triggered; }
    double originalBottomInset() const { return originalBottomInset_; }
    void setOriginalBottomInset(double inset) { originalBottomInset_ = inset; }

    // A view shown centred in place of the spinner from the next state change
    // on (state 0 to 2, or kAllStates); nullptr for none.
    void setCustomView(std::shared_ptr<UIView> view, unsigned state);
    const std::vector<std::shared_ptr<UIView>>& viewForState() const { return viewForState_; }
    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const;
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);
    const std::shared_ptr<UIActivityIndicatorView>& activityIndicatorView() const { return activityIndicatorView_; }

    // ---- Following the scroll view -------------------------------------------------------
    void startObserving();
    void scrollViewDidScroll(platform::Point contentOffset);
    void setScrollViewContentInsetForInfiniteScrolling();
    void resetScrollViewContentInset();

    void layoutSubviews() override;

private:
    bool enabled_ = true;
    bool wasTriggeredByUser_ = false;
    std::function<void()> handler_;
    unsigned state_ = Stopped;
    std::shared_ptr<UIActivityIndicatorView> activityIndicatorView_;
    std::vector<std::shared_ptr<UIView>> viewForState_;
    double originalBottomInset_ = 0;
};

// ---- The scroll view's infinite scrolling ----------------------------------------------
// Adds the footer when the scroll view has none yet (a second call changes
// nothing, not even the action) and shows it.
void addInfiniteScrollingWithActionHandler(UIScrollView& scrollView, std::function<void()> actionHandler);
void triggerInfiniteScrolling(UIScrollView& scrollView);
std::shared_ptr<InfiniteScrollingView> infiniteScrollingView(const UIScrollView& scrollView);
bool showsInfiniteScrolling(const UIScrollView& scrollView);
// Shown: follows the scroll view and keeps 60 points open below the content.
// Hidden: stops following and gives the bottom inset back.
void setShowsInfiniteScrolling(UIScrollView& scrollView, bool shows);
