#pragma once

#include <functional>
#include <memory>
#include <vector>

class UIView;
class UIWindow;

namespace platform {

// The views shown above every application window (alerts, action sheets), in
// the order shown, each in a window of its own at the alert level. The stack
// keeps them alive while they are shown, as the phone keeps a shown alert
// alive after its creator let go of it.
class ModalStack final {
public:
    ModalStack() = delete;

    // Shows the view in a new alert-level window covering the screen. The
    // keyboard goes away first (its first responder resigns, overruled if it
    // refuses), so nothing is drawn over the modal.
    static void push(const std::shared_ptr<UIView>& view);
    static void remove(const UIView* view);
    static bool contains(const UIView* view);
    // Topmost first is the last element.
    static std::vector<std::shared_ptr<UIView>> views();
    static std::shared_ptr<UIView> top();
    static std::shared_ptr<UIWindow> windowOf(const UIView* view);
    // Takes everything away without telling anyone (tests between cases).
    static void clear();

    // ---- A menu over a screen --------------------------------------------
    // A small menu a screen shows over its own views (a drop-down under the
    // title, a bar button's list) is no modal and takes no window, yet back
    // closes it first, as it closes an alert by its cancel button, and the
    // screen stays. One at a time: a menu shown replaces the one before. The
    // menu is held weakly; `close` is how its screen puts it away.
    static void showMenu(const std::shared_ptr<UIView>& menu, std::function<void()> close);
    // The screen put the menu away itself.
    static void menuClosed(const UIView* menu);
    // Closes the menu while it shows on the screen; returns whether it did.
    static bool closeMenu();
};

} // namespace platform
