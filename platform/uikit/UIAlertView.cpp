#include "platform/uikit/UIAlertView.h"

#include "platform/uikit/CALayer.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/ModalStack.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITextField.h"

#include <algorithm>
#include <cmath>

using platform::Color;
using platform::Rect;
using platform::Size;

UIAlertView::UIAlertView() { setBackgroundColor(Color::fromWhite(0, 0.4)); }

UIAlertView::UIAlertView(std::string title, std::string message, std::weak_ptr<UIAlertViewDelegate> delegate,
    std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles)
    : title_(std::move(title))
    , message_(std::move(message))
    , delegate_(std::move(delegate))
{
    setBackgroundColor(Color::fromWhite(0, 0.4));
    if (cancelButtonTitle) {
        buttonTitles_.push_back(std::move(*cancelButtonTitle));
        cancelIndex_ = 0;
    }
    for (auto& other : otherButtonTitles)
        buttonTitles_.push_back(std::move(other));
}

void UIAlertView::setTitle(std::string title)
{
    title_ = std::move(title);
    if (titleLabel_)
        titleLabel_->setText(title_);
    setNeedsLayout();
}

void UIAlertView::setMessage(std::string message)
{
    message_ = std::move(message);
    if (messageLabel_)
        messageLabel_->setText(message_);
    setNeedsLayout();
}

long UIAlertView::addButtonWithTitle(std::string title)
{
    buttonTitles_.push_back(std::move(title));
    if (visible_)
        buildViews();
    return long(buttonTitles_.size()) - 1;
}

std::string UIAlertView::buttonTitleAtIndex(long index) const
{
    if (index < 0 || index >= long(buttonTitles_.size()))
        return {};
    return buttonTitles_[std::size_t(index)];
}

void UIAlertView::setCancelButtonIndex(long index)
{
    cancelIndex_ = index >= 0 && index < long(buttonTitles_.size()) ? index : -1;
}

long UIAlertView::firstOtherButtonIndex() const
{
    for (long i = 0; i < long(buttonTitles_.size()); ++i) {
        if (i != cancelIndex_)
            return i;
    }
    return -1;
}

long UIAlertView::indexOfButtonWithTitle(const std::string& title) const
{
    auto it = std::find(buttonTitles_.begin(), buttonTitles_.end(), title);
    return it == buttonTitles_.end() ? -1 : long(it - buttonTitles_.begin());
}

void UIAlertView::setAlertViewStyle(UIAlertViewStyle style)
{
    style_ = style;
    textFields_.clear();
    int count = style == UIAlertViewStyleLoginAndPasswordInput ? 2 : style == UIAlertViewStyleDefault ? 0 : 1;
    for (int i = 0; i < count; ++i) {
        auto field = std::make_shared<UITextField>(Rect(0, 0, 238, 30));
        field->setBorderStyle(UITextBorderStyleLine);
        field->setFont(UIFont::systemFont(15));
        bool secure
            = style == UIAlertViewStyleSecureTextInput || (style == UIAlertViewStyleLoginAndPasswordInput && i == 1);
        field->setSecureTextEntry(secure);
        textFields_.push_back(field);
    }
    if (visible_)
        buildViews();
}

std::shared_ptr<UITextField> UIAlertView::textFieldAtIndex(long index) const
{
    if (index < 0 || index >= long(textFields_.size()))
        return nullptr;
    return textFields_[std::size_t(index)];
}

void UIAlertView::buildViews()
{
    if (box_)
        box_->removeFromSuperview();
    box_ = std::make_shared<UIView>();
    box_->setBackgroundColor(Color::fromWhite(0.97));
    box_->layer()->setCornerRadius(7);
    box_->setClipsToBounds(true);
    addSubview(box_);
    titleLabel_ = std::make_shared<UILabel>();
    titleLabel_->setFont(UIFont::boldSystemFont(17));
    titleLabel_->setTextAlignment(NSTextAlignmentCenter);
    titleLabel_->setNumberOfLines(0);
    titleLabel_->setText(title_);
    box_->addSubview(titleLabel_);
    messageLabel_ = std::make_shared<UILabel>();
    messageLabel_->setFont(UIFont::systemFont(13));
    messageLabel_->setTextAlignment(NSTextAlignmentCenter);
    messageLabel_->setNumberOfLines(0);
    messageLabel_->setText(message_);
    box_->addSubview(messageLabel_);
    for (auto& field : textFields_)
        box_->addSubview(field);
    buttons_.clear();
    std::weak_ptr<UIAlertView> weak = std::static_pointer_cast<UIAlertView>(sharedView());
    for (long i = 0; i < long(buttonTitles_.size()); ++i) {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setTitle(buttonTitles_[std::size_t(i)], UIControlStateNormal);
        button->titleLabel()->setFont(i == cancelIndex_ ? UIFont::boldSystemFont(17) : UIFont::systemFont(17));
        button->setBackgroundColor(Color::whiteColor());
        button->setTag(i);
        button->addAction(
            [weak, i](UIControl*) {
                if (auto alert = weak.lock())
                    alert->clickButtonAtIndex(i);
            },
            UIControlEventTouchUpInside);
        box_->addSubview(button);
        buttons_.push_back(button);
    }
    setNeedsLayout();
}

void UIAlertView::layoutSubviews()
{
    if (!box_)
        return;
    constexpr double width = 270;
    constexpr double inner = 238;
    constexpr double buttonHeight = 44;
    double y = 20;
    Size titleSize = platform::measureText(title_, titleLabel_->font(), Size(inner, platform::kUnlimitedTextExtent));
    titleLabel_->setFrame(Rect(16, y, inner, titleSize.height));
    y += titleSize.height + (title_.empty() ? 0 : 4);
    Size messageSize
        = platform::measureText(message_, messageLabel_->font(), Size(inner, platform::kUnlimitedTextExtent));
    messageLabel_->setFrame(Rect(16, y, inner, messageSize.height));
    y += messageSize.height + 16;
    for (auto& field : textFields_) {
        field->setFrame(Rect(16, y, inner, 30));
        y += 34;
    }
    // Two buttons sit side by side; otherwise they are stacked, the cancel button last.
    if (buttons_.size() == 2) {
        buttons_[0]->setFrame(Rect(0, y + 0.5, width / 2 - 0.25, buttonHeight));
        buttons_[1]->setFrame(Rect(width / 2 + 0.25, y + 0.5, width / 2 - 0.25, buttonHeight));
        y += buttonHeight + 0.5;
    } else {
        std::vector<long> order;
        for (long i = 0; i < long(buttons_.size()); ++i) {
            if (i != cancelIndex_)
                order.push_back(i);
        }
        if (cancelIndex_ >= 0 && cancelIndex_ < long(buttons_.size()))
            order.push_back(cancelIndex_);
        for (long index : order) {
            buttons_[std::size_t(index)]->setFrame(Rect(0, y + 0.5, width, buttonHeight));
            y += buttonHeight + 0.5;
        }
    }
    auto b = bounds();
    // While one of its fields is typed into, the box stands in the middle of
    // what the keyboard leaves free, so that its buttons stay in reach.
    double free = b.height();
    auto responder = currentFirstResponder();
    bool typing = std::ranges::any_of(textFields_, [&](auto& field) { return field == responder; });
    if (typing && platform::Keyboard::isVisible())
        free = std::max(y, convertPointFromView(platform::Keyboard::frame().origin, nullptr).y);
    box_->setFrame(Rect(std::round((b.width() - width) / 2), std::max(0.0, std::round((free - y) / 2)), width, y));
}

void UIAlertView::show()
{
    if (visible_)
        return;
    auto self = std::static_pointer_cast<UIAlertView>(sharedView());
    buildViews();
    if (auto d = delegate())
        d->willPresentAlertView(this);
    platform::ModalStack::push(self);
    visible_ = true;
    layoutIfNeeded();
    if (!textFields_.empty() && textFields_.front()->becomeFirstResponder()) {
        setNeedsLayout();
        layoutIfNeeded();
    }
    if (auto d = delegate())
        d->didPresentAlertView(this);
}

void UIAlertView::dismissWithClickedButtonIndex(long index, bool)
{
    if (!visible_)
        return;
    auto self = sharedView();
    if (auto d = delegate())
        d->alertViewWillDismiss(this, index);
    endEditing(true);
    platform::ModalStack::remove(this);
    visible_ = false;
    if (auto d = delegate())
        d->alertViewDidDismiss(this, index);
}

bool UIAlertView::clickButtonAtIndex(long index)
{
    if (!visible_ || index < 0 || index >= long(buttonTitles_.size()))
        return false;
    auto self = sharedView();
    if (auto d = delegate())
        d->alertViewClickedButton(this, index);
    dismissWithClickedButtonIndex(index, true);
    return true;
}

std::shared_ptr<UIAlertView> UIAlertView::currentAlert()
{
    auto views = platform::ModalStack::views();
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        if (auto alert = std::dynamic_pointer_cast<UIAlertView>(*it))
            return alert;
    }
    return nullptr;
}
