#pragma once

// Shared by RefreshTableHeaderView.cpp and RefreshTableFooterView.cpp only.

#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScrollView.h"

#include <algorithm>
#include <memory>

namespace refresh_table {

// How long the loading band takes to open when a pull is released, and to
// close when the load has finished.
inline constexpr double kOpenAnimationDuration = 0.2;
inline constexpr double kFinishAnimationDuration = 0.3;

// A status line of the refresh header or footer: centred, clear, with a light
// shadow one point below, stretching with the view's width.
inline std::shared_ptr<UILabel> makeStatusLabel(
    const platform::Rect& frame, const UIFont& font, const platform::Color& color)
{
    auto label = std::make_shared<UILabel>(frame);
    label->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    label->setFont(font);
    label->setTextColor(color);
    label->setShadowColor(platform::Color::fromWhite(0.9, 1.0));
    label->setShadowOffset(platform::Size(0, 1));
    label->setBackgroundColor(platform::Color::clearColor());
    label->setTextAlignment(NSTextAlignmentCenter);
    return label;
}

// Opens the loading band: the list's content inset becomes `band`, animated.
inline void openLoadingBand(UIScrollView* scrollView, const platform::EdgeInsets& band)
{
    UIView::animateWithDuration(kOpenAnimationDuration, [&] { scrollView->setContentInset(band); });
}

// Closes the loading band (the list's content inset back to none), animated.
// A list left resting inside the band (scrolled into the header, or past the
// end into the footer) comes back to its edge with it: a narrower inset alone
// moves nothing, and the header would stay in view with the rows pushed down
// until the next touch. A list the finger holds is left where it is.
inline void closeLoadingBand(UIScrollView* scrollView)
{
    if (!scrollView)
        return;
    UIView::animateWithDuration(kFinishAnimationDuration, [&] {
        if (!scrollView->isTracking()) {
            // The range the list rests in once the band is gone. The offset
            // moves first: the views that follow the scroll may still set
            // the band of their loading state while they hear of it.
            auto offset = scrollView->contentOffset();
            double lowest = std::max(scrollView->contentSize().height - scrollView->bounds().height(), 0.0);
            platform::Point rest(offset.x, std::clamp(offset.y, 0.0, lowest));
            if (rest != offset)
                scrollView->setContentOffset(rest);
        }
        scrollView->setContentInset(platform::EdgeInsets());
    });
}

} // namespace refresh_table
