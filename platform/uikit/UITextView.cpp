#include "platform/uikit/UITextView.h"

#include "platform/graphics/Context.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/TextInputSupport.h"

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
    return platform::textinput::keyboardHeight(nullptr, inputAccessoryView_.get());
}

bool UITextView::becomeFirstResponder()
{
    return platform::textinput::becomeFirstResponder(*this, editable_, [this] {
        return platform::textinput::delegateAgrees(delegate(), &UITextViewDelegate::textViewShouldBeginEditing, this);
    });
}

bool UITextView::canResignFirstResponder()
{
    return platform::textinput::delegateAgrees(delegate(), &UITextViewDelegate::textViewShouldEndEditing, this);
}

void UITextView::didBecomeFirstResponder()
{
    auto self = sharedView();
    editing_ = true;
    platform::textinput::tellDelegate(delegate(), &UITextViewDelegate::textViewDidBeginEditing, this);
    platform::textinput::postNotification(UITextViewTextDidBeginEditingNotification, self);
}

void UITextView::didResignFirstResponder()
{
    auto self = sharedView();
    editing_ = false;
    platform::textinput::tellDelegate(delegate(), &UITextViewDelegate::textViewDidEndEditing, this);
    platform::textinput::postNotification(UITextViewTextDidEndEditingNotification, self);
}

bool UITextView::applyChange(NSRange range, const std::string& replacement)
{
    return platform::textinput::applyChange(
        *this, editing_, text_, range, replacement,
        [&] {
            return platform::textinput::delegateAgrees(
                delegate(), &UITextViewDelegate::textViewShouldChangeText, this, range, replacement);
        },
        [this] { platform::textinput::tellDelegate(delegate(), &UITextViewDelegate::textViewDidChange, this); },
        UITextViewTextDidChangeNotification);
}

bool UITextView::insertText(const std::string& text)
{
    auto range = platform::textinput::insertionRange(text_, text);
    return range && applyChange(*range, text);
}

bool UITextView::deleteBackward()
{
    auto range = platform::textinput::lastCharacterRange(text_);
    return range && applyChange(*range, "");
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
