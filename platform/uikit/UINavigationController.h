#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <vector>

class UINavigationBar;
class UINavigationController;

class UINavigationControllerDelegate {
public:
    virtual ~UINavigationControllerDelegate() = default;
    virtual void willShowViewController(UINavigationController*, UIViewController*, bool /*animated*/) { }
    virtual void didShowViewController(UINavigationController*, UIViewController*, bool /*animated*/) { }
};

// A stack of screens under a navigation bar. The top screen's view fills the
// content area (below the bar, or under it when the bar is translucent and
// the screen extends its layout to the top edge). The root cannot be popped.
// Appearance calls reach the screens only while the navigation controller
// itself is on screen; a push or pop while a transition still waits for the
// clock completes that transition first.
class UINavigationController : public UIViewController {
public:
    UINavigationController();
    explicit UINavigationController(std::shared_ptr<UIViewController> rootViewController);
    ~UINavigationController() override;
    ORB_CLASS_NAME(UINavigationController)

    static constexpr double kTransitionDuration = 0.35;
    static constexpr double kHideShowBarDuration = 0.2;

    const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return stack_; }
    void setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers, bool animated = false);
    std::shared_ptr<UIViewController> topViewController() const;
    // The top screen, or what it (or this controller) presents.
    std::shared_ptr<UIViewController> visibleViewController() const;

    // A controller already in a stack or held by another parent is refused (logged).
    void pushViewController(const std::shared_ptr<UIViewController>& controller, bool animated);
    // nullptr when only the root is left.
    std::shared_ptr<UIViewController> popViewControllerAnimated(bool animated);
    // The popped screens, top last; empty when the controller is not in the stack.
    std::vector<std::shared_ptr<UIViewController>> popToViewController(
        const std::shared_ptr<UIViewController>& controller, bool animated);
    std::vector<std::shared_ptr<UIViewController>> popToRootViewControllerAnimated(bool animated);

    const std::shared_ptr<UINavigationBar>& navigationBar();
    bool isNavigationBarHidden() const { return barHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);

    void setDelegate(std::weak_ptr<UINavigationControllerDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UINavigationControllerDelegate> delegate() const { return delegate_.lock(); }

    void loadView() override;
    // The content area the top screen's view fills.
    platform::Rect contentFrameFor(const UIViewController* controller);

protected:
    std::vector<std::shared_ptr<UIViewController>> childrenForAppearanceForwarding() const override;

private:
    void transition(const std::shared_ptr<UIViewController>& from, const std::shared_ptr<UIViewController>& to,
        bool animated, const char* name);
    void installView(const std::shared_ptr<UIViewController>& controller);
    void layoutContent();
    bool onScreen() const;
    // The root given to the constructor joins as a child once this controller is shared.
    void adoptChildren();

    std::vector<std::shared_ptr<UIViewController>> stack_;
    std::shared_ptr<UINavigationBar> bar_;
    bool barHidden_ = false;
    std::weak_ptr<UINavigationControllerDelegate> delegate_;
};
