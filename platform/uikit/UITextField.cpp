#include "platform/uikit/UITextField.h"

#include "platform/graphics/Context.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/TextInputSupport.h"
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
    caret_ = platform::utf16Length(text_);
    scrollToCaret();
    if (blink_.isRunning())
        blink_.restart();
    setNeedsDisplay();
}

void UITextField::setCaretLocation(std::size_t utf16Location)
{
    caret_ = platform::textinput::caretBoundary(text_, utf16Location);
    scrollToCaret();
    if (blink_.isRunning())
        blink_.restart();
    setNeedsDisplay();
}

double UITextField::caretOffset() const
{
    std::string before = text_.substr(0, platform::textinput::byteOffsetOf(text_, caret_));
    if (secure_) {
        std::string bullets;
        for (std::size_t i = 0, n = platform::composedCharacters(before).size(); i < n; ++i)
            bullets += "\u2022";
        before = bullets;
    }
    return font_.widthOf(before);
}

void UITextField::scrollToCaret()
{
    Rect area = editingRectForBounds(bounds());
    double total = font_.widthOf(displayedText());
    if (!editing_ || total + platform::textinput::kCaretWidth <= area.width()) {
        scrollX_ = 0;
        return;
    }
    double visible = std::max(area.width() - platform::textinput::kCaretWidth, 0.0);
    double at = caretOffset();
    if (at - scrollX_ > visible)
        scrollX_ = at - visible;
    if (at < scrollX_)
        scrollX_ = at;
    scrollX_ = std::clamp(scrollX_, 0.0, std::max(total - visible, 0.0));
}

Rect UITextField::caretRect() const
{
    Rect area = editingRectForBounds(bounds());
    double total = font_.widthOf(displayedText());
    double start = -scrollX_;
    if (total + platform::textinput::kCaretWidth <= area.width()) {
        if (alignment_ == NSTextAlignmentCenter)
            start = (area.width() - total) / 2;
        else if (alignment_ == NSTextAlignmentRight)
            start = area.width() - total;
    }
    double x = area.minX() + start + caretOffset();
    x = std::clamp(x, area.minX(), std::max(area.maxX() - platform::textinput::kCaretWidth, area.minX()));
    double height = std::min(font_.lineHeight(), area.height());
    return Rect(x, area.minY() + (area.height() - height) / 2, platform::textinput::kCaretWidth, height);
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
    return platform::textinput::keyboardHeight(inputView_.get(), inputAccessoryView_.get());
}

bool UITextField::becomeFirstResponder()
{
    return platform::textinput::becomeFirstResponder(*this, isEnabled(), [this] {
        return platform::textinput::delegateAgrees(delegate(), &UITextFieldDelegate::textFieldShouldBeginEditing, this);
    });
}

bool UITextField::canResignFirstResponder()
{
    return platform::textinput::delegateAgrees(delegate(), &UITextFieldDelegate::textFieldShouldEndEditing, this);
}

void UITextField::didBecomeFirstResponder()
{
    auto self = sharedView();
    editing_ = true;
    if (clearsOnBeginEditing_)
        text_.clear();
    caret_ = platform::utf16Length(text_);
    scrollToCaret();
    blink_.start(*this, [this] { return caretRect(); });
    setNeedsDisplay();
    setNeedsLayout();
    platform::textinput::tellDelegate(delegate(), &UITextFieldDelegate::textFieldDidBeginEditing, this);
    sendActionsForControlEvents(UIControlEventEditingDidBegin);
    platform::textinput::postNotification(UITextFieldTextDidBeginEditingNotification, self);
}

void UITextField::didResignFirstResponder()
{
    auto self = sharedView();
    editing_ = false;
    blink_.stop();
    // Away from the keyboard a field shows the beginning of its text.
    scrollX_ = 0;
    setNeedsDisplay();
    setNeedsLayout();
    platform::textinput::tellDelegate(delegate(), &UITextFieldDelegate::textFieldDidEndEditing, this);
    sendActionsForControlEvents(UIControlEventEditingDidEnd);
    platform::textinput::postNotification(UITextFieldTextDidEndEditingNotification, self);
}

bool UITextField::applyChange(NSRange range, const std::string& replacement)
{
    return platform::textinput::applyChange(
        *this, editing_, text_, range, replacement,
        [&] {
            return platform::textinput::delegateAgrees(
                delegate(), &UITextFieldDelegate::textFieldShouldChangeCharacters, this, range, replacement);
        },
        [&] {
            caret_ = platform::textinput::caretBoundary(
                text_, range.location + platform::utf16Length(replacement));
            scrollToCaret();
            blink_.restart();
            sendActionsForControlEvents(UIControlEventEditingChanged);
        },
        UITextFieldTextDidChangeNotification);
}

bool UITextField::insertText(const std::string& text)
{
    auto range = platform::textinput::insertionRange(text_, text);
    return range && applyChange(*range, text);
}

bool UITextField::deleteBackward()
{
    auto range = platform::textinput::lastCharacterRange(text_);
    return range && applyChange(*range, "");
}

bool UITextField::replaceCharacters(NSRange range, const std::string& replacement)
{
    return applyChange(range, replacement);
}

bool UITextField::clearText()
{
    if (!platform::textinput::delegateAgrees(delegate(), &UITextFieldDelegate::textFieldShouldClear, this))
        return false;
    if (text_.empty())
        return true;
    auto self = sharedView();
    text_.clear();
    caret_ = 0;
    scrollToCaret();
    if (blink_.isRunning())
        blink_.restart();
    setNeedsDisplay();
    sendActionsForControlEvents(UIControlEventEditingChanged);
    platform::textinput::postNotification(UITextFieldTextDidChangeNotification, self);
    return true;
}

bool UITextField::pressReturnKey()
{
    if (!editing_)
        return false;
    auto self = sharedView();
    if (!platform::textinput::delegateAgrees(delegate(), &UITextFieldDelegate::textFieldShouldReturn, this))
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
    if (!shown.empty()) {
        Rect area = showPlaceholder ? placeholderRectForBounds(b)
                                    : (editing_ ? editingRectForBounds(b) : textRectForBounds(b));
        bool scrolled = editing_ && !showPlaceholder
            && font_.widthOf(shown) + platform::textinput::kCaretWidth > area.width();
        if (scrolled) {
            // The whole line, moved left so that the caret's part shows.
            auto layout = platform::layoutText(shown, font_,
                Size(platform::kUnlimitedTextExtent, platform::kUnlimitedTextExtent), platform::LineBreakMode::Clip, 1);
            layout.spreadToWidth = true;
            double y = area.minY() + (area.height() - layout.size.height) / 2;
            context.save();
            context.clipToRect(area);
            platform::drawTextLayout(context, layout, platform::Point(area.minX() - scrollX_, y), textColor_);
            context.restore();
        } else {
            auto layout = platform::layoutText(shown, font_, Size(area.width(), area.height()),
                platform::LineBreakMode::Clip, 1, toTextAlignment(alignment_));
            // The caret is placed by the model: the glyphs keep to it.
            layout.spreadToWidth = !showPlaceholder;
            double y = area.minY() + (area.height() - layout.size.height) / 2;
            platform::drawTextLayout(context, layout, platform::Point(area.minX(), y),
                showPlaceholder ? UIColor::fromWhite(0.7) : textColor_);
        }
    }
    if (editing_ && blink_.isShown()) {
        context.setFillColor(platform::textinput::kCaretColor);
        context.fillRect(caretRect());
    }
}
