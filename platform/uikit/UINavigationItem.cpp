#include "platform/uikit/UINavigationItem.h"

#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIView.h"

void UINavigationItem::notify()
{
    if (changed_)
        changed_();
}

void UINavigationItem::setTitle(std::string title)
{
    title_ = std::move(title);
    notify();
}

void UINavigationItem::setTitleView(std::shared_ptr<UIView> view)
{
    titleView_ = std::move(view);
    notify();
}

void UINavigationItem::setBackBarButtonItem(std::shared_ptr<UIBarButtonItem> item)
{
    backItem_ = std::move(item);
    notify();
}

void UINavigationItem::setHidesBackButton(bool hides, bool)
{
    hidesBackButton_ = hides;
    notify();
}

std::shared_ptr<UIBarButtonItem> UINavigationItem::leftBarButtonItem() const
{
    return leftItems_.empty() ? nullptr : leftItems_.front();
}

void UINavigationItem::setLeftBarButtonItem(std::shared_ptr<UIBarButtonItem> item, bool animated)
{
    std::vector<std::shared_ptr<UIBarButtonItem>> items;
    if (item)
        items.push_back(std::move(item));
    setLeftBarButtonItems(std::move(items), animated);
}

std::shared_ptr<UIBarButtonItem> UINavigationItem::rightBarButtonItem() const
{
    return rightItems_.empty() ? nullptr : rightItems_.front();
}

void UINavigationItem::setRightBarButtonItem(std::shared_ptr<UIBarButtonItem> item, bool animated)
{
    std::vector<std::shared_ptr<UIBarButtonItem>> items;
    if (item)
        items.push_back(std::move(item));
    setRightBarButtonItems(std::move(items), animated);
}

void UINavigationItem::setLeftBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool)
{
    std::erase(items, nullptr);
    leftItems_ = std::move(items);
    notify();
}

void UINavigationItem::setRightBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool)
{
    std::erase(items, nullptr);
    rightItems_ = std::move(items);
    notify();
}
