#include "platform/uikit/UIToolbar.h"

#include "platform/graphics/Context.h"
#include "platform/uikit/ViewRenderer.h"

#include <algorithm>

UIToolbar::UIToolbar()
    : UIView(platform::Rect(0, 0, 320, 44))
{
}

UIToolbar::UIToolbar(const platform::Rect& frame)
    : UIView(frame)
{
}

void UIToolbar::setItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool)
{
    for (auto& view : itemViews_) {
        if (view && view->superview().get() == this)
            view->removeFromSuperview();
    }
    itemViews_.clear();
    std::erase(items, nullptr);
    items_ = std::move(items);
    for (auto& item : items_) {
        auto view = item->itemView();
        itemViews_.push_back(view);
        if (view)
            addSubview(view);
    }
    setNeedsLayout();
}

void UIToolbar::setBarStyle(UIBarStyle style)
{
    barStyle_ = style;
    setNeedsDisplay();
}

void UIToolbar::setBarTintColor(std::optional<platform::Color> color)
{
    barTint_ = color;
    setNeedsDisplay();
}

void UIToolbar::setBackgroundImage(std::shared_ptr<UIImage> image)
{
    backgroundImage_ = std::move(image);
    setNeedsDisplay();
}

platform::Size UIToolbar::sizeThatFits(platform::Size size) const { return platform::Size(size.width, 44); }

void UIToolbar::layoutSubviews()
{
    constexpr double margin = 12;
    constexpr double gap = 10;
    auto b = bounds();
    double used = 0;
    int flexible = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        auto& item = items_[i];
        if (item->isFlexibleSpace())
            ++flexible;
        else if (item->isSpace())
            used += item->width();
        else if (auto& view = itemViews_[i])
            used += view->frame().width();
        if (i + 1 < items_.size())
            used += gap;
    }
    double free = std::max(b.width() - 2 * margin - used, 0.0);
    double share = flexible ? free / flexible : 0;
    double x = margin;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        auto& item = items_[i];
        if (item->isFlexibleSpace())
            x += share;
        else if (item->isSpace())
            x += item->width();
        else if (auto& view = itemViews_[i]) {
            auto f = view->frame();
            view->setFrame(platform::Rect(x, (b.height() - f.height()) / 2, f.width(), f.height()));
            x += f.width();
        }
        x += gap;
    }
}

void UIToolbar::drawRect(platform::Context& context, const platform::Rect&)
{
    auto b = bounds();
    if (backgroundImage_) {
        platform::drawUIImage(context, *backgroundImage_, b);
        return;
    }
    platform::Color fill = barTint_      ? *barTint_
        : barStyle_ == UIBarStyleDefault ? platform::Color::fromWhite(0.97)
                                         : platform::Color::fromWhite(0.1);
    context.setFillColor(fill);
    context.fillRect(b);
    context.setFillColor(platform::Color::fromWhite(0.7));
    context.fillRect(platform::Rect(b.minX(), b.minY(), b.width(), 0.5));
}
