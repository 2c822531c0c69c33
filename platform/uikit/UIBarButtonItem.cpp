#include "platform/uikit/UIBarButtonItem.h"

#include "platform/uikit/UIButton.h"

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::itemWithTitle(std::string title, UIBarButtonItemStyle style)
{
    auto item = std::make_shared<UIBarButtonItem>();
    item->title_ = std::move(title);
    item->style_ = style;
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::itemWithImage(
    std::shared_ptr<UIImage> image, UIBarButtonItemStyle style)
{
    auto item = std::make_shared<UIBarButtonItem>();
    item->image_ = std::move(image);
    item->style_ = style;
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItem systemItem)
{
    auto item = std::make_shared<UIBarButtonItem>();
    item->systemItem_ = systemItem;
    item->title_ = titleForSystemItem(systemItem);
    if (systemItem == UIBarButtonSystemItemDone)
        item->style_ = UIBarButtonItemStyleDone;
    return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::itemWithCustomView(std::shared_ptr<UIView> view)
{
    auto item = std::make_shared<UIBarButtonItem>();
    item->customView_ = std::move(view);
    return item;
}

std::string UIBarButtonItem::titleForSystemItem(UIBarButtonSystemItem item)
{
    switch (item) {
    // Named as a phone set to Chinese names them, the client's one language.
    case UIBarButtonSystemItemDone:
        return "完成";
    case UIBarButtonSystemItemCancel:
        return "取消";
    case UIBarButtonSystemItemEdit:
        return "编辑";
    case UIBarButtonSystemItemSave:
        return "存储";
    case UIBarButtonSystemItemAdd:
        return "+";
    default:
        return {};
    }
}

bool UIBarButtonItem::isSpace() const
{
    return systemItem_ == UIBarButtonSystemItemFlexibleSpace || systemItem_ == UIBarButtonSystemItemFixedSpace;
}

bool UIBarButtonItem::sendAction()
{
    if (!enabled_ || isSpace())
        return false;
    auto self = weak_from_this().lock();
    return actions_.send(this, 1) > 0;
}

void UIBarButtonItem::setTitle(std::string title)
{
    title_ = std::move(title);
    refreshButton();
}

void UIBarButtonItem::setImage(std::shared_ptr<UIImage> image)
{
    image_ = std::move(image);
    refreshButton();
}

void UIBarButtonItem::setEnabled(bool enabled)
{
    enabled_ = enabled;
    if (button_)
        button_->setEnabled(enabled);
    else if (auto control = std::dynamic_pointer_cast<UIControl>(customView_))
        control->setEnabled(enabled);
}

void UIBarButtonItem::setCustomView(std::shared_ptr<UIView> view)
{
    customView_ = std::move(view);
    button_.reset();
}

void UIBarButtonItem::refreshButton()
{
    if (!button_)
        return;
    button_->setTitle(title_.empty() ? std::nullopt : std::optional<std::string>(title_), UIControlStateNormal);
    button_->setImage(image_, UIControlStateNormal);
    button_->setEnabled(enabled_);
    button_->titleLabel()->setFont(
        style_ == UIBarButtonItemStyleDone ? UIFont::boldSystemFont(17) : UIFont::systemFont(17));
    button_->sizeToFit();
    if (width_ > 0) {
        auto f = button_->frame();
        button_->setFrame(platform::Rect(f.origin, platform::Size(width_, f.height())));
    }
}

std::shared_ptr<UIView> UIBarButtonItem::itemView()
{
    if (customView_)
        return customView_;
    if (isSpace())
        return nullptr;
    if (!button_) {
        button_ = UIButton::buttonWithType(UIButtonTypeSystem);
        if (tint_)
            button_->setTintColor(tint_);
        std::weak_ptr<UIBarButtonItem> weak = weak_from_this();
        button_->addAction(
            [weak](UIControl*) {
                if (auto item = weak.lock())
                    item->sendAction();
            },
            UIControlEventTouchUpInside);
        refreshButton();
    }
    return button_;
}
