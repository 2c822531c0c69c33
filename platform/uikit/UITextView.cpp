#include "platform/uikit/UITextView.h"

#include "platform/graphics/Context.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/Keyboard.h"

#include <algorithm>
#include <cmath>

using platform::Rect;
using platform::Size;

UITextView::UITextView() { setBackgroundColor(UIColor::whiteColor()); }

UITextView::UITextView(const Rect& frame)
    : UIView(frame)
{
    setBackgroundColor(UIColor::whiteColor());
}

UITextView::~UITextView()
{
    if (editing_)
        platform::Keyboard::settleLater();
}

void UITextView::setText(std::string text)
{
    text_ = std::move(text);
    setNeedsDisplay();
}

void UITextView::setFont(const UIFont& font)
{
    font_ = font;
    setNeedsDisplay();
}

void UITextView::setTextColor(const UIColor& color)
{
    textColor_ = color;
    setNeedsDisplay();
}

void UITextView::setTextAlignment(NSTextAlignment alignment)
{
    alignment_ = alignment;
    setNeedsDisplay();
}

void UITextView::setEditable(bool editable)
{
    editable_ = editable;
    if (!editable && isFirstResponder())
        resignFirstResponder();
}

Size UITextView::contentSize() const
{
    double width = bounds().width();
    double textWidth = std::max(width - 2 * kLinePadding, 0.0);
    Size text = platform::measureText(text_, font_, Size(textWidth, platform::kUnlimitedTextExtent));
    // An empty text view still holds one line.
    double height = std::max(text.height, std::ceil(font_.lineHeight()));
    return Size(width, height + 2 * kVerticalInset);
}

void UITextView::setContentOffset(platform::Point offset)
{
    if (std::isfinite(offset.x) && std::isfinite(offset.y))
        contentOffset_ = offset;
}

double UITextView::keyboardHeight() const
{
    double height = platform::Keyboard::kHeight;
    if (inputAccessoryView_)
        height += inputAccessoryView_->frame().height();
    return height;
}

bool UITextView::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!editable_ || !window())
        return false;
    if (auto d = delegate(); d && !d->textViewShouldBeginEditing(this))
        return false;
    return UIResponder::becomeFirstResponder();
}

bool UITextView::canResignFirstResponder()
{
    if (auto d = delegate(); d && !d->textViewShouldEndEditing(this))
        return false;
    return true;
}

void UITextView::didBecomeFirstResponder()
{
    auto self = sharedView();
    editing_ = true;
    if (auto d = delegate())
        d->textViewDidBeginEditing(this);
    platform::NotificationCenter::defaultCenter().post(
        UITextViewTextDidBeginEditingNotification, platform::Value(self));
}

void UITextView::didResignFirstResponder()
{
    auto self = sharedView();
    editing_ = false;
    if (auto d = delegate())
        d->textViewDidEndEditing(this);
    platform::NotificationCenter::defaultCenter().post(UITextViewTextDidEndEditingNotification, platform::Value(self));
}

bool UITextView::applyChange(NSRange range, const std::string& replacement)
{
    if (!editing_)
        return false;
    std::size_t length = platform::utf16Length(text_);
    if (range.location > length || range.length > length - range.location)
        return false;
    auto self = sharedView();
    if (auto d = delegate(); d && !d->textViewShouldChangeText(this, range, replacement))
        return false;
    length = platform::utf16Length(text_);
    std::size_t location = std::min(range.location, length);
    std::size_t count = std::min(range.length, length - location);
    text_ = platform::utf16Substring(text_, 0, location) + replacement
        + platform::utf16Substring(text_, location + count, length - location - count);
    setNeedsDisplay();
    if (auto d = delegate())
        d->textViewDidChange(this);
    platform::NotificationCenter::defaultCenter().post(UITextViewTextDidChangeNotification, platform::Value(self));
    return true;
}

bool UITextView::insertText(const std::string& text)
{
    if (text.empty())
        return false;
    return applyChange(NSRange { platform::utf16Length(text_), 0 }, text);
}

bool UITextView::deleteBackward()
{
    auto characters = platform::composedCharacters(text_);
    if (characters.empty())
        return false;
    return applyChange(NSRange { characters.back().utf16Offset, characters.back().utf16Length }, "");
}

bool UITextView::replaceCharacters(NSRange range, const std::string& replacement)
{
    return applyChange(range, replacement);
}

void UITextView::touchesEnded(const UITouchSet& touches, UIEvent* event)
{
    auto self = sharedView();
    if (editable_)
        becomeFirstResponder();
    else
        UIView::touchesEnded(touches, event);
}

void UITextView::drawRect(platform::Context& context, const Rect&)
{
    if (text_.empty())
        return;
    auto b = bounds();
    Rect area(b.minX() + kLinePadding, b.minY() + kVerticalInset - contentOffset_.y,
        std::max(b.width() - 2 * kLinePadding, 0.0), platform::kUnlimitedTextExtent);
    auto layout = platform::layoutText(text_, font_, Size(area.width(), platform::kUnlimitedTextExtent),
        platform::LineBreakMode::WordWrap, 0, toTextAlignment(alignment_));
    context.save();
    context.clipToRect(b);
    platform::drawTextLayout(context, layout, area.origin, textColor_);
    context.restore();
}
