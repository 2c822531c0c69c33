#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Value.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class UIBarButtonItem;
class UIView;

// What a navigation bar shows while its controller is on top: a title (or a
// title view), left and right items, and the back item the next controller's
// bar shows to return here.
class UINavigationItem final : public platform::Object {
public:
    UINavigationItem() = default;
    explicit UINavigationItem(std::string title)
        : title_(std::move(title))
    {
    }
    ORB_CLASS_NAME(UINavigationItem)

    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    const std::shared_ptr<UIView>& titleView() const { return titleView_; }
    void setTitleView(std::shared_ptr<UIView> view);

    const std::shared_ptr<UIBarButtonItem>& backBarButtonItem() const { return backItem_; }
    void setBackBarButtonItem(std::shared_ptr<UIBarButtonItem> item);
    bool hidesBackButton() const { return hidesBackButton_; }
    void setHidesBackButton(bool hides, bool animated = false);

    // The first of the left (right) items.
    std::shared_ptr<UIBarButtonItem> leftBarButtonItem() const;
    void setLeftBarButtonItem(std::shared_ptr<UIBarButtonItem> item, bool animated = false);
    std::shared_ptr<UIBarButtonItem> rightBarButtonItem() const;
    void setRightBarButtonItem(std::shared_ptr<UIBarButtonItem> item, bool animated = false);
    const std::vector<std::shared_ptr<UIBarButtonItem>>& leftBarButtonItems() const { return leftItems_; }
    void setLeftBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool animated = false);
    const std::vector<std::shared_ptr<UIBarButtonItem>>& rightBarButtonItems() const { return rightItems_; }
    void setRightBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool animated = false);

    // The bar showing this item redraws when it changes.
    void setChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

private:
    void notify();

    std::string title_;
    std::shared_ptr<UIView> titleView_;
    std::shared_ptr<UIBarButtonItem> backItem_;
    bool hidesBackButton_ = false;
    std::vector<std::shared_ptr<UIBarButtonItem>> leftItems_;
    std::vector<std::shared_ptr<UIBarButtonItem>> rightItems_;
    std::function<void()> changed_;
};
