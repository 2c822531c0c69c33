#include "platform/uikit/UITextField.h"

#include "platform/graphics/Context.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UITouch.h"

#include <algorithm>

using platform::Rect;
using platform::Size;

UITextField::UITextField() = default;

UITextField::UITextField(const Rect& frame)
    : UIControl(frame)
{
}

UITextField::~UITextField()
{
    if (editing_)
        platform::Keyboard::settleLater();
}

void UITextField::setText(std::string text)
{
    text_ = std::move(text);
    setNeedsDisplay();
}

void UITextField::setPlaceholder(std::string placeholder)
{
    placeholder_ = std::move(placeholder);
    setNeedsDisplay();
}

void UITextField::setFont(const UIFont& font)
{
    font_ = font;
    setNeedsDisplay();
}

void UITextField::setTextColor(const UIColor& color)
{
    textColor_ = color;
    setNeedsDisplay();
}

void UITextField::setTextAlignment(NSTextAlignment alignment)
{
    alignment_ = alignment;
    setNeedsDisplay();
}

void UITextField::setBorderStyle(UITextBorderStyle style)
{
    borderStyle_ = style;
    setNeedsDisplay();
}

void UITextField::setSecureTextEntry(bool secure)
{
    secure_ = secure;
    setNeedsDisplay();
}

void UITextField::setLeftView(std::shared_ptr<UIView> view)
{
    if (leftView_)
        leftView_->removeFromSuperview();
    leftView_ = std::move(view);
    if (leftView_)
        addSubview(leftView_);
    setNeedsLayout();
}

void UITextField::setLeftViewMode(UITextFieldViewMode mode)
{
    leftViewMode_ = mode;
    setNeedsLayout();
}

void UITextField::setRightView(std::shared_ptr<UIView> view)
{
    if (rightView_)
        rightView_->removeFromSuperview();
    rightView_ = std::move(view);
    if (rightView_)
        addSubview(rightView_);
    setNeedsLayout();
}

void UITextField::setRightViewMode(UITextFieldViewMode mode)
{
    rightViewMode_ = mode;
    setNeedsLayout();
}

bool UITextField::showsView(UITextFieldViewMode mode) const
{
    switch (mode) {
    case UITextFieldViewModeAlways:
        return true;
    case UITextFieldViewModeWhileEditing:
        return editing_;
    case UITextFieldViewModeUnlessEditing:
        return !editing_;
    default:
        return false;
    }
}

double UITextField::horizontalPadding() const
{
    switch (borderStyle_) {
    case UITextBorderStyleRoundedRect:
        return 7;
    case UITextBorderStyleLine:
    case UITextBorderStyleBezel:
        return 4;
    default:
        return 0;
    }
}

Rect UITextField::textRectForBounds(const Rect& bounds) const
{
    double left = horizontalPadding();
    double right = horizontalPadding();
    if (leftView_ && showsView(leftViewMode_))
        left = std::max(left, leftView_->frame().maxX());
    if (rightView_ && showsView(rightViewMode_))
        right = std::max(right, bounds.width() - rightView_->frame().minX());
    return Rect(bounds.minX() + left, bounds.minY(), std::max(bounds.width() - left - right, 0.0), bounds.height());
}

Rect UITextField::editingRectForBounds(const Rect& bounds) const { return textRectForBounds(bounds); }

Rect UITextField::placeholderRectForBounds(const Rect& bounds) const { return textRectForBounds(bounds); }

std::string UITextField::displayedText() const
{
    if (!secure_)
        return text_;
    std::string bullets;
    for (std::size_t i = 0, n = platform::composedCharacters(text_).size(); i < n; ++i)
        bullets += "\u2022";
    return bullets;
}

double UITextField::keyboardHeight() const
{
    double height = inputView_ ? inputView_->frame().height() : platform::Keyboard::kHeight;
    if (inputAccessoryView_)
        height += inputAccessoryView_->frame().height();
    return height;
}

bool UITextField::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!isEnabled() || !window())
        return false;
    if (auto d = delegate(); d && !d->textFieldShouldBeginEditing(this))
        return false;
    return UIResponder::becomeFirstResponder();
}

bool UITextField::canResignFirstResponder()
{
    if (auto d = delegate(); d && !d->textFieldShouldEndEditing(this))
        return false;
    return true;
}

void UITextField::didBecomeFirstResponder()
{
    auto self = sharedView();
    editing_ = true;
    if (clearsOnBeginEditing_)
        text_.clear();
    setNeedsLayout();
    if (auto d = delegate())
        d->textFieldDidBeginEditing(this);
    sendActionsForControlEvents(UIControlEventEditingDidBegin);
    platform::NotificationCenter::defaultCenter().post(
        UITextFieldTextDidBeginEditingNotification, platform::Value(self));
}

void UITextField::didResignFirstResponder()
{
    auto self = sharedView();
    editing_ = false;
    setNeedsLayout();
    if (auto d = delegate())
        d->textFieldDidEndEditing(this);
    sendActionsForControlEvents(UIControlEventEditingDidEnd);
    platform::NotificationCenter::defaultCenter().post(UITextFieldTextDidEndEditingNotification, platform::Value(self));
}

bool UITextField::applyChange(NSRange range, const std::string& replacement)
{
    if (!editing_)
        return false;
    std::size_t length = platform::utf16Length(text_);
    if (range.location > length || range.length > length - range.location)
        return false;
    auto self = sharedView();
    if (auto d = delegate(); d && !d->textFieldShouldChangeCharacters(this, range, replacement))
        return false;
    // The delegate may have changed the text itself: take the range against what is there now.
    length = platform::utf16Length(text_);
    std::size_t location = std::min(range.location, length);
    std::size_t count = std::min(range.length, length - location);
    text_ = platform::utf16Substring(text_, 0, location) + replacement
        + platform::utf16Substring(text_, location + count, length - location - count);
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEventEditingChanged);
    platform::NotificationCenter::defaultCenter().post(UITextFieldTextDidChangeNotification, platform::Value(self));
    return true;
}

bool UITextField::insertText(const std::string& text)
{
    if (text.empty())
        return false;
    return applyChange(NSRange { platform::utf16Length(text_), 0 }, text);
}

bool UITextField::deleteBackward()
{
    auto characters = platform::composedCharacters(text_);
    if (characters.empty())
        return false;
    auto& last = characters.back();
    return applyChange(NSRange { last.utf16Offset, last.utf16Length }, "");
}

bool UITextField::replaceCharacters(NSRange range, const std::string& replacement)
{
    return applyChange(range, replacement);
}

bool UITextField::clearText()
{
    if (auto d = delegate(); d && !d->textFieldShouldClear(this))
        return false;
    if (text_.empty())
        return true;
    auto self = sharedView();
    text_.clear();
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEventEditingChanged);
    platform::NotificationCenter::defaultCenter().post(UITextFieldTextDidChangeNotification, platform::Value(self));
    return true;
}

bool UITextField::pressReturnKey()
{
    if (!editing_)
        return false;
    auto self = sharedView();
    if (auto d = delegate(); d && !d->textFieldShouldReturn(this))
        return false;
    bool listened = numberOfActions(UIControlEventEditingDidEndOnExit) > 0;
    sendActionsForControlEvents(UIControlEventEditingDidEndOnExit);
    if (listened)
        resignFirstResponder();
    return true;
}

void UITextField::touchesEnded(const UITouchSet& touches, UIEvent* event)
{
    auto self = sharedView();
    UIControl::touchesEnded(touches, event);
    if (isTouchInside() && isEnabled())
        becomeFirstResponder();
}

void UITextField::layoutSubviews()
{
    auto b = bounds();
    if (leftView_) {
        auto f = leftView_->frame();
        leftView_->setFrame(Rect(0, (b.height() - f.height()) / 2, f.width(), f.height()));
        leftView_->setHidden(!showsView(leftViewMode_));
    }
    if (rightView_) {
        auto f = rightView_->frame();
        rightView_->setFrame(Rect(b.width() - f.width(), (b.height() - f.height()) / 2, f.width(), f.height()));
        rightView_->setHidden(!showsView(rightViewMode_));
    }
}

void UITextField::drawRect(platform::Context& context, const Rect&)
{
    auto b = bounds();
    switch (borderStyle_) {
    case UITextBorderStyleRoundedRect:
        context.setFillColor(UIColor::whiteColor());
        context.beginPath();
        context.addRoundedRect(b.insetBy(0.5, 0.5), 5);
        context.fillPath();
        context.setStrokeColor(UIColor::fromWhite(0.8));
        context.setLineWidth(1);
        context.beginPath();
        context.addRoundedRect(b.insetBy(0.5, 0.5), 5);
        context.strokePath();
        break;
    case UITextBorderStyleLine:
    case UITextBorderStyleBezel:
        context.setStrokeColor(UIColor::darkGrayColor());
        context.setLineWidth(1);
        context.strokeRect(b.insetBy(0.5, 0.5));
        break;
    default:
        break;
    }
    bool showPlaceholder = text_.empty();
    std::string shown = showPlaceholder ? placeholder_ : displayedText();
    if (shown.empty())
        return;
    Rect area
        = showPlaceholder ? placeholderRectForBounds(b) : (editing_ ? editingRectForBounds(b) : textRectForBounds(b));
    auto layout = platform::layoutText(
        shown, font_, Size(area.width(), area.height()), platform::LineBreakMode::Clip, 1, toTextAlignment(alignment_));
    double y = area.minY() + (area.height() - layout.size.height) / 2;
    platform::drawTextLayout(
        context, layout, platform::Point(area.minX(), y), showPlaceholder ? UIColor::fromWhite(0.7) : textColor_);
}
