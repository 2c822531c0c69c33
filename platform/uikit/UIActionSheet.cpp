#include "platform/uikit/UIActionSheet.h"

#include "platform/uikit/CALayer.h"
#include "platform/uikit/ModalStack.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"

#include <algorithm>

using platform::Color;
using platform::Rect;
using platform::Size;

UIActionSheet::UIActionSheet() { setBackgroundColor(Color::fromWhite(0, 0.4)); }

UIActionSheet::UIActionSheet(std::string title, std::weak_ptr<UIActionSheetDelegate> delegate,
    std::optional<std::string> cancelButtonTitle, std::optional<std::string> destructiveButtonTitle,
    std::vector<std::string> otherButtonTitles)
    : title_(std::move(title))
    , delegate_(std::move(delegate))
{
    setBackgroundColor(Color::fromWhite(0, 0.4));
    if (destructiveButtonTitle) {
        destructiveIndex_ = 0;
        buttonTitles_.push_back(std::move(*destructiveButtonTitle));
    }
    for (auto& other : otherButtonTitles)
        buttonTitles_.push_back(std::move(other));
    if (cancelButtonTitle) {
        cancelIndex_ = long(buttonTitles_.size());
        buttonTitles_.push_back(std::move(*cancelButtonTitle));
    }
}

long UIActionSheet::addButtonWithTitle(std::string title)
{
    buttonTitles_.push_back(std::move(title));
    if (visible_)
        buildViews();
    return long(buttonTitles_.size()) - 1;
}

std::string UIActionSheet::buttonTitleAtIndex(long index) const
{
    if (index < 0 || index >= long(buttonTitles_.size()))
        return {};
    return buttonTitles_[std::size_t(index)];
}

void UIActionSheet::setCancelButtonIndex(long index)
{
    cancelIndex_ = index >= 0 && index < long(buttonTitles_.size()) ? index : -1;
}

void UIActionSheet::setDestructiveButtonIndex(long index)
{
    destructiveIndex_ = index >= 0 && index < long(buttonTitles_.size()) ? index : -1;
}

long UIActionSheet::firstOtherButtonIndex() const
{
    for (long i = 0; i < long(buttonTitles_.size()); ++i) {
        if (i != cancelIndex_ && i != destructiveIndex_)
            return i;
    }
    return -1;
}

long UIActionSheet::indexOfButtonWithTitle(const std::string& title) const
{
    auto it = std::find(buttonTitles_.begin(), buttonTitles_.end(), title);
    return it == buttonTitles_.end() ? -1 : long(it - buttonTitles_.begin());
}

void UIActionSheet::buildViews()
{
    if (panel_)
        panel_->removeFromSuperview();
    panel_ = std::make_shared<UIView>();
    addSubview(panel_);
    titleLabel_ = std::make_shared<UILabel>();
    titleLabel_->setFont(UIFont::systemFont(13));
    titleLabel_->setTextColor(Color::grayColor());
    titleLabel_->setTextAlignment(NSTextAlignmentCenter);
    titleLabel_->setNumberOfLines(0);
    titleLabel_->setText(title_);
    titleLabel_->setBackgroundColor(Color::fromWhite(0.97));
    panel_->addSubview(titleLabel_);
    buttons_.clear();
    std::weak_ptr<UIActionSheet> weak = std::static_pointer_cast<UIActionSheet>(sharedView());
    for (long i = 0; i < long(buttonTitles_.size()); ++i) {
        auto button = UIButton::buttonWithType(UIButtonTypeSystem);
        button->setTitle(buttonTitles_[std::size_t(i)], UIControlStateNormal);
        button->titleLabel()->setFont(i == cancelIndex_ ? UIFont::boldSystemFont(20) : UIFont::systemFont(20));
        if (i == destructiveIndex_)
            button->setTitleColor(Color(1, 0.23, 0.19), UIControlStateNormal);
        button->setBackgroundColor(Color::fromWhite(0.97));
        button->setTag(i);
        button->addAction(
            [weak, i](UIControl*) {
                if (auto sheet = weak.lock())
                    sheet->clickButtonAtIndex(i);
            },
            UIControlEventTouchUpInside);
        panel_->addSubview(button);
        buttons_.push_back(button);
    }
    setNeedsLayout();
}

void UIActionSheet::layoutSubviews()
{
    if (!panel_)
        return;
    auto b = bounds();
    constexpr double margin = 8;
    constexpr double buttonHeight = 44;
    double width = b.width() - 2 * margin;
    double y = 0;
    if (!title_.empty()) {
        Size size
            = platform::measureText(title_, titleLabel_->font(), Size(width - 32, platform::kUnlimitedTextExtent));
        titleLabel_->setFrame(Rect(0, 0, width, size.height + 28));
        titleLabel_->setHidden(false);
        y = size.height + 28.5;
    } else
        titleLabel_->setHidden(true);
    for (long i = 0; i < long(buttons_.size()); ++i) {
        if (i == cancelIndex_)
            continue;
        buttons_[std::size_t(i)]->setFrame(Rect(0, y, width, buttonHeight));
        y += buttonHeight + 0.5;
    }
    if (cancelIndex_ >= 0 && cancelIndex_ < long(buttons_.size())) {
        y += margin;
        buttons_[std::size_t(cancelIndex_)]->setFrame(Rect(0, y, width, buttonHeight));
        y += buttonHeight;
    }
    panel_->setFrame(Rect(margin, b.height() - margin - y, width, y));
}

void UIActionSheet::showInView(const std::shared_ptr<UIView>& view)
{
    if (visible_)
        return;
    auto self = std::static_pointer_cast<UIActionSheet>(sharedView());
    shownIn_ = view;
    buildViews();
    if (auto d = delegate())
        d->willPresentActionSheet(this);
    platform::ModalStack::push(self);
    visible_ = true;
    layoutIfNeeded();
    if (auto d = delegate())
        d->didPresentActionSheet(this);
}

void UIActionSheet::dismissWithClickedButtonIndex(long index, bool)
{
    if (!visible_)
        return;
    auto self = sharedView();
    if (auto d = delegate())
        d->actionSheetWillDismiss(this, index);
    platform::ModalStack::remove(this);
    visible_ = false;
    if (auto d = delegate())
        d->actionSheetDidDismiss(this, index);
}

bool UIActionSheet::clickButtonAtIndex(long index)
{
    if (!visible_ || index < 0 || index >= long(buttonTitles_.size()))
        return false;
    auto self = sharedView();
    if (auto d = delegate())
        d->actionSheetClickedButton(this, index);
    dismissWithClickedButtonIndex(index, true);
    return true;
}

std::shared_ptr<UIActionSheet> UIActionSheet::currentSheet()
{
    auto views = platform::ModalStack::views();
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        if (auto sheet = std::dynamic_pointer_cast<UIActionSheet>(*it))
            return sheet;
    }
    return nullptr;
}
