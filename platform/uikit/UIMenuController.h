#pragma once

#include "platform/graphics/Geometry.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class UIView;

inline constexpr const char* UIMenuControllerWillShowMenuNotification = "UIMenuControllerWillShowMenuNotification";
inline constexpr const char* UIMenuControllerDidHideMenuNotification = "UIMenuControllerDidHideMenuNotification";

// An item of the edit menu: a title and the selector sent up the responder
// chain from the first responder ("copy:", or the screen's own).
struct UIMenuItem {
    std::string title;
    std::string action;
};

// The shared edit menu (copy, paste, the screen's items) shown near a rectangle.
// Choosing an item sends its action to the first responder that can perform it.
class UIMenuController final {
public:
    static UIMenuController& sharedMenuController();

    const std::vector<UIMenuItem>& menuItems() const { return items_; }
    void setMenuItems(std::vector<UIMenuItem> items) { items_ = std::move(items); }
    void setTargetRect(const platform::Rect& rect, const std::shared_ptr<UIView>& view);
    platform::Rect targetRect() const { return targetRect_; }
    std::shared_ptr<UIView> targetView() const { return targetView_.lock(); }
    bool isMenuVisible() const { return visible_; }
    void setMenuVisible(bool visible, bool animated = false);
    void update() { }

    // A person choosing the item with that title: performs it through the
    // responder chain and hides the menu. False when the menu is hidden, no item
    // has the title, or nobody performs it.
    bool performItemWithTitle(const std::string& title);
    // Which titles are offered now: the items whose action the chain can perform.
    std::vector<std::string> visibleItemTitles() const;

    // Tests between cases.
    void reset();

private:
    UIMenuController() = default;
    std::vector<UIMenuItem> items_;
    platform::Rect targetRect_;
    std::weak_ptr<UIView> targetView_;
    bool visible_ = false;
};
