#pragma once

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
};

} // namespace platform
