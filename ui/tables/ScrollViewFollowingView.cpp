#include "ui/tables/ScrollViewFollowingView.h"

void ScrollViewFollowingView::stopObserving()
{
    if (auto scroll = scrollView())
        for (auto id : observers_)
            scroll->removeObserver(id);
    observers_.clear();
    isObserving_ = false;
}

void ScrollViewFollowingView::willMoveToSuperview(UIView* newSuperview)
{
    UIView::willMoveToSuperview(newSuperview);
    if (!newSuperview && isObserving_)
        stopObserving();
}

void ScrollViewFollowingView::setScrollViewContentInset(const platform::EdgeInsets& insets)
{
    auto scroll = scrollView();
    if (!scroll)
        return;
    UIView::animateWithDuration(kInsetAnimationDuration, 0,
        UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState,
        [&] { scroll->setContentInset(insets); });
}
