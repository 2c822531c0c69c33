#pragma once

#include "platform/uikit/UIScrollView.h"

#include <memory>
#include <vector>

// What the pull-to-refresh header and the infinite-scrolling footer share in
// following the scroll view they sit in: the scroll view, held weakly; the
// observers added on it, removed by stopObserving and when the view leaves
// its superview; and the animated change of its content inset.
class ScrollViewFollowingView : public UIView {
public:
    using UIView::UIView;

    static constexpr double kInsetAnimationDuration = 0.3;

    std::shared_ptr<UIScrollView> scrollView() const { return scrollView_.lock(); }
    void setScrollView(std::weak_ptr<UIScrollView> scrollView) { scrollView_ = std::move(scrollView); }
    bool isObserving() const { return isObserving_; }
    void stopObserving();

    void willMoveToSuperview(UIView* newSuperview) override;

protected:
    // Animated over kInsetAnimationDuration, letting touches through; nothing
    // without a scroll view.
    void setScrollViewContentInset(const platform::EdgeInsets& insets);

    bool isObserving_ = false;
    std::vector<UIScrollView::ObserverId> observers_;

private:
    std::weak_ptr<UIScrollView> scrollView_;
};

// The View among the scroll view's subviews that follows that scroll view, or nullptr.
template <class View> std::shared_ptr<View> followingViewOf(const UIScrollView& scrollView)
{
    for (const auto& subview : scrollView.subviews())
        if (auto view = std::dynamic_pointer_cast<View>(subview))
            if (view->scrollView().get() == &scrollView)
                return view;
    return nullptr;
}
