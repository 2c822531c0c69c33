#include "platform/uikit/UIPageControl.h"

#include "platform/graphics/Context.h"
#include "platform/uikit/UITouch.h"

#include <algorithm>

void UIPageControl::setNumberOfPages(long pages)
{
    numberOfPages_ = std::max(pages, 0L);
    currentPage_ = std::clamp(currentPage_, 0L, std::max(numberOfPages_ - 1, 0L));
    setNeedsDisplay();
}

void UIPageControl::setCurrentPage(long page)
{
    currentPage_ = std::clamp(page, 0L, std::max(numberOfPages_ - 1, 0L));
    setNeedsDisplay();
}

platform::Size UIPageControl::sizeForNumberOfPages(long pages)
{
    pages = std::max(pages, 0L);
    return platform::Size(pages > 0 ? double(pages) * 16 - 9 : 0, 37);
}

platform::Size UIPageControl::sizeThatFits(platform::Size) const { return sizeForNumberOfPages(numberOfPages_); }

void UIPageControl::endTrackingWithTouch(UITouch* touch, UIEvent*)
{
    if (!touch || !isTouchInside())
        return;
    auto p = touch->locationInView(this);
    long page = p.x >= bounds().midX() ? currentPage_ + 1 : currentPage_ - 1;
    page = std::clamp(page, 0L, std::max(numberOfPages_ - 1, 0L));
    if (page == currentPage_)
        return;
    setCurrentPage(page);
    sendActionsForControlEvents(UIControlEventValueChanged);
}

void UIPageControl::drawRect(platform::Context& context, const platform::Rect&)
{
    if (numberOfPages_ <= 0 || (hidesForSinglePage_ && numberOfPages_ == 1))
        return;
    auto b = bounds();
    auto size = sizeForNumberOfPages(numberOfPages_);
    double x = b.midX() - size.width / 2;
    double y = b.midY() - 3.5;
    for (long i = 0; i < numberOfPages_ && i < 1000; ++i) {
        context.setFillColor(i == currentPage_ ? currentTint_ : pageTint_);
        context.fillEllipseInRect(platform::Rect(x + double(i) * 16, y, 7, 7));
    }
}
