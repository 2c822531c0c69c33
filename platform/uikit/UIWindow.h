#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIView.h"

#include <functional>
#include <memory>
#include <vector>

using UIWindowLevel = double;
inline constexpr UIWindowLevel UIWindowLevelNormal = 0;
inline constexpr UIWindowLevel UIWindowLevelStatusBar = 1000;
inline constexpr UIWindowLevel UIWindowLevelAlert = 2000;

// The root of a view tree shown on the screen. Windows start hidden, like the
// phone's; makeKeyAndVisible shows one and makes it the key window. Visible
// windows are stacked by level (alerts and action sheets above the
// application's window), and touches go to the topmost window that a hit test
// finds something in.
//
// Touches are injected one sequence at a time (the test harness and the
// interactive host do this): the hit view and the gesture recognisers of it
// and its ancestors receive the touches; a recogniser that recognises cancels
// the view's touches when it is set to.
class UIWindow : public UIView {
public:
    UIWindow();
    explicit UIWindow(const platform::Rect& frame);
    ~UIWindow() override;

    ORB_CLASS_NAME(UIWindow)
    std::shared_ptr<UIWindow> window() const override;

    static std::shared_ptr<UIWindow> keyWindow();
    bool isKeyWindow() const;
    void makeKeyWindow();
    void makeKeyAndVisible();
    UIWindowLevel windowLevel() const { return windowLevel_; }
    void setWindowLevel(UIWindowLevel level) { windowLevel_ = level; }

    // The window's hidden flag also adds it to or takes it from the screen.
    void setVisible(bool visible);
    // Visible windows, lowest level first (equal levels in the order shown).
    static std::vector<std::shared_ptr<UIWindow>> visibleWindows();
    // The topmost visible window whose hit test finds a view at the point
    // (screen coordinates), or nullptr.
    static std::shared_ptr<UIWindow> windowForTouchAtPoint(platform::Point screenPoint);

    // The controller whose view fills the window. The controller layer installs
    // a hook that runs on every change (it puts the controller's view in the
    // window and sends the appearance callbacks); without one only the slot changes.
    std::shared_ptr<UIResponder> rootViewController() const { return rootViewController_; }
    void setRootViewController(std::shared_ptr<UIResponder> controller);
    using RootViewControllerHook = std::function<void(
        UIWindow& window, const std::shared_ptr<UIResponder>& oldRoot, const std::shared_ptr<UIResponder>& newRoot)>;
    static void setRootViewControllerHook(RootViewControllerHook hook);

    // The first responder when it is in this window.
    std::shared_ptr<UIResponder> firstResponder() const;

    // ---- Touch input, in this window's coordinates -------------------------
    // Starts a sequence with one touch per point; returns the view hit (nullptr
    // when nothing interactive is there: the touches then go nowhere). A
    // sequence still running is cancelled first.
    std::shared_ptr<UIView> beginTouches(const std::vector<platform::Point>& points);
    void moveTouches(const std::vector<platform::Point>& points);
    void endTouches();
    void cancelTouches();
    bool hasActiveTouches() const;
    // Forgets the tap-count history (a new tap then counts as the first).
    static void resetTapHistory();

    // Draws every visible window, lowest first, at the screen's size.
    static std::optional<platform::Image> renderScreen(double scale = 0);
    static bool renderScreenToPNG(const std::string& path, double scale = 0);

    // Test support: hides every window and forgets the key window.
    static void resetAllWindows();

private:
    struct TouchSequence;
    void deliver(int phase);
    void finishSequence();
    void recognizerDidRecognize(UIGestureRecognizer* recognizer);

    UIWindowLevel windowLevel_ = UIWindowLevelNormal;
    std::shared_ptr<UIResponder> rootViewController_;
    std::unique_ptr<TouchSequence> sequence_;
};
