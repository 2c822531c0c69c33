#include "platform/uikit/UILabel.h"

#include "platform/graphics/Context.h"

#include <cmath>

using platform::Rect;
using platform::Size;

platform::TextAlignment toTextAlignment(NSTextAlignment alignment)
{
    switch (alignment) {
    case NSTextAlignmentCenter:
        return platform::TextAlignment::Center;
    case NSTextAlignmentRight:
        return platform::TextAlignment::Right;
    default:
        return platform::TextAlignment::Left;
    }
}

platform::LineBreakMode toLineBreakMode(NSLineBreakMode mode)
{
    switch (mode) {
    case NSLineBreakByCharWrapping:
        return platform::LineBreakMode::CharWrap;
    case NSLineBreakByClipping:
        return platform::LineBreakMode::Clip;
    case NSLineBreakByTruncatingHead:
        return platform::LineBreakMode::TruncateHead;
    case NSLineBreakByTruncatingTail:
        return platform::LineBreakMode::TruncateTail;
    case NSLineBreakByTruncatingMiddle:
        return platform::LineBreakMode::TruncateMiddle;
    default:
        return platform::LineBreakMode::WordWrap;
    }
}

UILabel::UILabel() { setUserInteractionEnabled(false); }

UILabel::UILabel(const Rect& frame)
    : UIView(frame)
{
    setUserInteractionEnabled(false);
}

void UILabel::setText(std::string text)
{
    text_ = std::move(text);
    setNeedsDisplay();
}

void UILabel::setFont(const UIFont& font)
{
    font_ = font;
    setNeedsDisplay();
}

void UILabel::setTextColor(const UIColor& color)
{
    textColor_ = color;
    setNeedsDisplay();
}

void UILabel::setHighlightedTextColor(const UIColor& color)
{
    highlightedTextColor_ = color;
    setNeedsDisplay();
}

void UILabel::setHighlighted(bool highlighted)
{
    highlighted_ = highlighted;
    setNeedsDisplay();
}

void UILabel::setEnabled(bool enabled)
{
    enabled_ = enabled;
    setNeedsDisplay();
}

void UILabel::setTextAlignment(NSTextAlignment alignment)
{
    alignment_ = alignment;
    setNeedsDisplay();
}

void UILabel::setNumberOfLines(int lines)
{
    numberOfLines_ = lines < 0 ? 0 : lines;
    setNeedsDisplay();
}

void UILabel::setLineBreakMode(NSLineBreakMode mode)
{
    lineBreakMode_ = mode;
    setNeedsDisplay();
}

void UILabel::setShadowColor(const UIColor& color)
{
    shadowColor_ = color;
    setNeedsDisplay();
}

void UILabel::setShadowOffset(Size offset)
{
    shadowOffset_ = offset;
    setNeedsDisplay();
}

Size UILabel::sizeThatFits(Size size) const
{
    if (text_.empty())
        return Size();
    double width = platform::kUnlimitedTextExtent;
    if (numberOfLines_ != 1 && std::isfinite(size.width) && size.width > 0)
        width = size.width;
    return platform::measureText(
        text_, font_, Size(width, platform::kUnlimitedTextExtent), toLineBreakMode(lineBreakMode_), numberOfLines_);
}

Rect UILabel::textRectForBounds(const Rect& bounds, int numberOfLines) const
{
    auto layout = platform::layoutText(text_, font_, Size(bounds.width(), bounds.height()),
        toLineBreakMode(lineBreakMode_), numberOfLines, toTextAlignment(alignment_));
    double height = std::min(layout.size.height, bounds.height());
    return Rect(bounds.minX(), bounds.minY() + (bounds.height() - height) / 2, bounds.width(), height);
}

platform::TextLayout UILabel::currentLayout() const
{
    auto b = bounds();
    return platform::layoutText(text_, font_, Size(b.width(), b.height()), toLineBreakMode(lineBreakMode_),
        numberOfLines_, toTextAlignment(alignment_));
}

void UILabel::drawRect(platform::Context& context, const Rect&)
{
    drawTextInRect(context, textRectForBounds(bounds(), numberOfLines_));
}

void UILabel::drawTextInRect(platform::Context& context, const Rect& rect)
{
    if (text_.empty() || rect.isEmpty())
        return;
    auto b = bounds();
    auto layout = platform::layoutText(text_, font_, Size(b.width(), b.height()), toLineBreakMode(lineBreakMode_),
        numberOfLines_, toTextAlignment(alignment_));
    auto color = highlighted_ ? highlightedTextColor_ : textColor_;
    if (!enabled_)
        color = color.withAlpha(color.alpha * 0.5);
    if (!shadowColor_.isClear()) {
        platform::drawTextLayout(context, layout,
            platform::Point(rect.minX() + shadowOffset_.width, rect.minY() + shadowOffset_.height), shadowColor_);
    }
    platform::drawTextLayout(context, layout, rect.origin, color);
}
