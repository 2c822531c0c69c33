#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIControl.h"

// A row of dots. A tap on the right half of the control moves to the next page,
// on the left half to the previous one, and sends ValueChanged when the page
// changed. Setting currentPage from code sends nothing.
class UIPageControl : public UIControl {
public:
    using UIControl::UIControl;
    ORB_CLASS_NAME(UIPageControl)

    long numberOfPages() const { return numberOfPages_; }
    void setNumberOfPages(long pages);
    // Kept within 0 … numberOfPages − 1.
    long currentPage() const { return currentPage_; }
    void setCurrentPage(long page);
    bool hidesForSinglePage() const { return hidesForSinglePage_; }
    void setHidesForSinglePage(bool hides) { hidesForSinglePage_ = hides; }
    platform::Color pageIndicatorTintColor() const { return pageTint_; }
    void setPageIndicatorTintColor(const platform::Color& color) { pageTint_ = color; }
    platform::Color currentPageIndicatorTintColor() const { return currentTint_; }
    void setCurrentPageIndicatorTintColor(const platform::Color& color) { currentTint_ = color; }

    // 7-point dots 16 points apart, 37 points high.
    static platform::Size sizeForNumberOfPages(long pages);
    platform::Size sizeThatFits(platform::Size size) const override;
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

protected:
    void endTrackingWithTouch(UITouch* touch, UIEvent* event) override;

private:
    long numberOfPages_ = 0;
    long currentPage_ = 0;
    bool hidesForSinglePage_ = false;
    platform::Color pageTint_ = platform::Color::fromWhite(1, 0.3);
    platform::Color currentTint_ = platform::Color::whiteColor();
};
