#include "platform/uikit/UISegmentedControl.h"

#include "platform/graphics/Context.h"
#include "platform/uikit/UITouch.h"

#include <algorithm>

using platform::Color;
using platform::Font;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

constexpr double kTitleSize = 13;
constexpr double kSegmentPadding = 12;

} // namespace

UISegmentedControl::UISegmentedControl() { setBackgroundColor(Color::clearColor()); }

UISegmentedControl::UISegmentedControl(std::vector<std::string> items)
    : UISegmentedControl()
{
    titles_ = std::move(items);
}

std::string UISegmentedControl::titleForSegmentAtIndex(long index) const
{
    return index >= 0 && index < numberOfSegments() ? titles_[std::size_t(index)] : std::string();
}

void UISegmentedControl::setTitle(const std::string& title, long index)
{
    if (index < 0 || index >= numberOfSegments())
        return;
    titles_[std::size_t(index)] = title;
    setNeedsDisplay();
}

void UISegmentedControl::insertSegmentWithTitle(const std::string& title, long index)
{
    index = std::clamp(index, 0L, numberOfSegments());
    titles_.insert(titles_.begin() + index, title);
    if (selected_ >= index)
        ++selected_;
    setNeedsDisplay();
}

void UISegmentedControl::removeAllSegments()
{
    titles_.clear();
    selected_ = UISegmentedControlNoSegment;
    setNeedsDisplay();
}

void UISegmentedControl::setSelectedSegmentIndex(long index)
{
    selected_ = index >= 0 && index < numberOfSegments() ? index : UISegmentedControlNoSegment;
    setNeedsDisplay();
}

void UISegmentedControl::setTintColor(const Color& color)
{
    tint_ = color;
    setNeedsDisplay();
}

const UISegmentedControlTitleAttributes* UISegmentedControl::titleTextAttributes(unsigned state) const
{
    auto found = attributes_.find(state);
    return found == attributes_.end() ? nullptr : &found->second;
}

void UISegmentedControl::setTitleTextAttributes(UISegmentedControlTitleAttributes attributes, unsigned state)
{
    attributes_[state] = std::move(attributes);
    setNeedsDisplay();
}

Rect UISegmentedControl::segmentRect(long index) const
{
    const Rect b = bounds();
    const double width = numberOfSegments() > 0 ? b.width() / double(numberOfSegments()) : 0;
    return Rect(b.minX() + width * double(index), b.minY(), width, b.height());
}

long UISegmentedControl::segmentAtPoint(const Point& point) const
{
    if (!bounds().contains(point))
        return -1;
    for (long i = 0; i < numberOfSegments(); ++i) {
        if (segmentRect(i).contains(point))
            return i;
    }
    return -1;
}

void UISegmentedControl::endTrackingWithTouch(UITouch* touch, UIEvent*)
{
    if (!touch || !isTouchInside())
        return;
    long index = segmentAtPoint(touch->locationInView(this));
    if (index < 0 || index == selected_)
        return;
    setSelectedSegmentIndex(index);
    sendActionsForControlEvents(UIControlEventValueChanged);
}

Size UISegmentedControl::sizeThatFits(Size) const
{
    double widest = 0;
    for (const auto& title : titles_)
        widest = std::max(widest, platform::measureText(title, Font::systemFont(kTitleSize)).width);
    return Size((widest + 2 * kSegmentPadding) * double(std::max<long>(1, numberOfSegments())), kDefaultHeight);
}

void UISegmentedControl::drawRect(platform::Context& c, const Rect&)
{
    const Rect frame = bounds().insetBy(0.5, 0.5);
    c.save();
    c.beginPath();
    c.addRoundedRect(frame, kCornerRadius);
    c.clip();
    if (selected_ >= 0) {
        c.setFillColor(tint_);
        c.fillRect(segmentRect(selected_));
    }
    c.restore();
    c.setStrokeColor(tint_);
    c.setLineWidth(1);
    c.beginPath();
    c.addRoundedRect(frame, kCornerRadius);
    c.strokePath();
    for (long i = 1; i < numberOfSegments(); ++i) {
        const double x = segmentRect(i).minX();
        c.fillRect(Rect(x - 0.5, frame.minY(), 1, frame.height()));
    }
    const bool enabled = isEnabled();
    for (long i = 0; i < numberOfSegments(); ++i) {
        const bool chosen = i == selected_;
        const auto* own = titleTextAttributes(chosen ? UIControlStateSelected : UIControlStateNormal);
        if (!own && chosen)
            own = titleTextAttributes(UIControlStateNormal);
        Font font = own && own->font ? *own->font : Font::systemFont(kTitleSize);
        Color colour = own && own->textColor ? *own->textColor : (chosen ? Color::whiteColor() : tint_);
        if (!enabled)
            colour.alpha *= 0.4;
        const Rect box = segmentRect(i);
        const Size size = platform::measureText(titles_[std::size_t(i)], font, Size(box.width(), box.height()),
            platform::LineBreakMode::TruncateTail, 1);
        const Rect text(box.minX() + (box.width() - size.width) / 2, box.minY() + (box.height() - size.height) / 2,
            size.width, size.height);
        if (own && own->shadowColor)
            platform::drawText(c, titles_[std::size_t(i)], font, text.offsetBy(own->shadowOffset.width, own->shadowOffset.height),
                *own->shadowColor, platform::LineBreakMode::TruncateTail, platform::TextAlignment::Center, 1);
        platform::drawText(c, titles_[std::size_t(i)], font, text, colour, platform::LineBreakMode::TruncateTail,
            platform::TextAlignment::Center, 1);
    }
}
