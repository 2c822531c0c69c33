#include "platform/uikit/UITextView.h"

#include "platform/graphics/Context.h"
#include "platform/os/StringUtil.h"
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
    caret_ = platform::utf16Length(text_);
    if (editing_)
        scrollToCaret();
    if (blink_.isRunning())
        blink_.restart();
    setNeedsDisplay();
}

void UITextView::setCaretLocation(std::size_t utf16Location)
{
    caret_ = platform::textinput::caretBoundary(text_, utf16Location);
    if (editing_)
        scrollToCaret();
    if (blink_.isRunning())
        blink_.restart();
    setNeedsDisplay();
}

platform::TextLayout UITextView::textLayout() const
{
    double width = std::max(bounds().width() - 2 * kLinePadding, 0.0);
    return platform::layoutText(text_, font_, Size(width, platform::kUnlimitedTextExtent),
        platform::LineBreakMode::WordWrap, 0, toTextAlignment(alignment_));
}

platform::Point UITextView::caretPoint() const
{
    auto layout = textLayout();
    std::size_t at = platform::textinput::byteOffsetOf(text_, caret_);
    // The last line starting at or before the caret: a caret where a line
    // wraps belongs to the line it starts.
    const platform::TextLine* line = nullptr;
    for (const auto& candidate : layout.lines) {
        if (candidate.sourceBegin <= at)
            line = &candidate;
    }
    if (!line)
        return platform::Point(0, 0);
    std::size_t from = std::min(line->sourceBegin, at);
    double x = line->origin.x + font_.widthOf(std::string_view(text_).substr(from, at - from));
    return platform::Point(std::min(x, layout.boxWidth), line->origin.y);
}

Rect UITextView::caretRect() const
{
    auto point = caretPoint();
    double width = std::max(bounds().width() - 2 * kLinePadding, 0.0);
    double x = std::min(point.x, std::max(width - platform::textinput::kCaretWidth, 0.0));
    auto b = bounds();
    return Rect(b.minX() + kLinePadding + x, b.minY() + kVerticalInset + point.y - contentOffset_.y,
        platform::textinput::kCaretWidth, font_.lineHeight());
}

void UITextView::scrollToCaret()
{
    double top = caretPoint().y;
    double bottom = top + font_.lineHeight() + 2 * kVerticalInset;
    double height = bounds().height();
    double y = contentOffset_.y;
    if (bottom - y > height)
        y = bottom - height;
    if (top < y)
        y = top;
    double most = std::max(contentSize().height - height, 0.0);
    setContentOffset(platform::Point(contentOffset_.x, std::clamp(y, 0.0, std::max(most, top))));
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
    if (!std::isfinite(offset.x) || !std::isfinite(offset.y) || offset == contentOffset_)
        return;
    contentOffset_ = offset;
    setNeedsDisplay();
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
    caret_ = platform::utf16Length(text_);
    scrollToCaret();
    blink_.start(*this, [this] { return caretRect(); });
    setNeedsDisplay();
    platform::textinput::tellDelegate(delegate(), &UITextViewDelegate::textViewDidBeginEditing, this);
    platform::textinput::postNotification(UITextViewTextDidBeginEditingNotification, self);
}

void UITextView::didResignFirstResponder()
{
    auto self = sharedView();
    editing_ = false;
    blink_.stop();
    setNeedsDisplay();
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
        [&] {
            caret_ = platform::textinput::caretBoundary(
                text_, range.location + platform::utf16Length(replacement));
            scrollToCaret();
            blink_.restart();
            platform::textinput::tellDelegate(delegate(), &UITextViewDelegate::textViewDidChange, this);
        },
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
    if (editing_ && blink_.isShown()) {
        auto caret = caretRect().intersection(bounds());
        if (!caret.isNull()) {
            context.setFillColor(platform::textinput::kCaretColor);
            context.fillRect(caret);
        }
    }
    if (text_.empty())
        return;
    auto b = bounds();
    // The origin on its own: a rectangle of unlimited height is no rectangle
    // (its origin reads as infinite), and nothing would be drawn.
    platform::Point origin(b.minX() + kLinePadding, b.minY() + kVerticalInset - contentOffset_.y);
    double width = std::max(b.width() - 2 * kLinePadding, 0.0);
    auto layout = platform::layoutText(text_, font_, Size(width, platform::kUnlimitedTextExtent),
        platform::LineBreakMode::WordWrap, 0, toTextAlignment(alignment_));
    // The caret is placed by the model: the glyphs keep to it.
    layout.spreadToWidth = true;
    context.save();
    context.clipToRect(b);
    platform::drawTextLayout(context, layout, origin, textColor_);
    context.restore();
}
