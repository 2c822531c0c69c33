#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIResponder.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class UIImage;
class UINavigationController;
class UINavigationItem;
class UIView;
class UIWindow;

enum UIModalTransitionStyle {
    UIModalTransitionStyleCoverVertical = 0,
    UIModalTransitionStyleFlipHorizontal = 1,
    UIModalTransitionStyleCrossDissolve = 2,
    UIModalTransitionStylePartialCurl = 3,
};

enum UIInterfaceOrientation {
    UIInterfaceOrientationPortrait = 1,
    UIInterfaceOrientationPortraitUpsideDown = 2,
    UIInterfaceOrientationLandscapeLeft = 4,
    UIInterfaceOrientationLandscapeRight = 3,
};

// Sets of orientations: one bit per UIInterfaceOrientation value.
enum UIInterfaceOrientationMask : unsigned {
    UIInterfaceOrientationMaskPortrait = 1u << UIInterfaceOrientationPortrait,
    UIInterfaceOrientationMaskPortraitUpsideDown = 1u << UIInterfaceOrientationPortraitUpsideDown,
    UIInterfaceOrientationMaskLandscapeLeft = 1u << UIInterfaceOrientationLandscapeLeft,
    UIInterfaceOrientationMaskLandscapeRight = 1u << UIInterfaceOrientationLandscapeRight,
    UIInterfaceOrientationMaskLandscape
    = UIInterfaceOrientationMaskLandscapeLeft | UIInterfaceOrientationMaskLandscapeRight,
    UIInterfaceOrientationMaskAllButUpsideDown = UIInterfaceOrientationMaskPortrait | UIInterfaceOrientationMaskLandscape,
    UIInterfaceOrientationMaskAll
    = UIInterfaceOrientationMaskAllButUpsideDown | UIInterfaceOrientationMaskPortraitUpsideDown,
};

inline constexpr bool UIInterfaceOrientationIsLandscape(long orientation)
{
    return orientation == UIInterfaceOrientationLandscapeLeft || orientation == UIInterfaceOrientationLandscapeRight;
}

enum UIRectEdge : unsigned {
    UIRectEdgeNone = 0,
    UIRectEdgeTop = 1 << 0,
    UIRectEdgeLeft = 1 << 1,
    UIRectEdgeBottom = 1 << 2,
    UIRectEdgeRight = 1 << 3,
    UIRectEdgeAll = 0xF,
};

// What a tab shows for a controller; the program's own tab controller reads it.
class UITabBarItem final : public platform::Object {
public:
    ORB_CLASS_NAME(UITabBarItem)
    std::string title;
    std::shared_ptr<UIImage> image;
    std::shared_ptr<UIImage> selectedImage;
    std::string badgeValue;
    int tag = 0;
};

// A screen: owns a view, loaded on first use, and hears when it appears and
// disappears. Controllers are created with std::make_shared (or through the
// class registry) since navigation and presentation share them.
//
// View loading: loadView loads the layout named by the nib name, or, created
// with no name, the layout named after className() when one exists; the file's
// outlet "view" (or else its first top-level view) becomes the view, and its
// outlets and actions connect to this controller through
// declareLayoutBindings. Without a layout the view is an empty view the size
// of the screen; a nib name that names no layout also logs it.
//
// Appearance: will/did appear and disappear come in the platform's order.
// Pushing B over A: B viewDidLoad, A viewWillDisappear, B viewWillAppear,
// A viewDidDisappear, B viewDidAppear; the did-calls come after the
// transition's duration on the main loop's clock when animated, at once
// otherwise. A call in the same direction as the state already reached is
// dropped, so a screen never hears viewWillAppear twice in a row.
class UIViewController : public UIResponder, public platform::LayoutBindable {
public:
    UIViewController();
    // initWithNibName:bundle: (there is one bundle).
    explicit UIViewController(std::string nibName);
    ~UIViewController() override;

    ORB_CLASS_NAME(UIViewController)
    std::shared_ptr<UIViewController> sharedController()
    {
        return std::static_pointer_cast<UIViewController>(shared_from_this());
    }

    // ---- The view --------------------------------------------------------
    // Loads the view when needed (loadView, then viewDidLoad).
    const std::shared_ptr<UIView>& view();
    void setView(std::shared_ptr<UIView> view);
    bool isViewLoaded() const { return static_cast<bool>(view_); }
    const std::string& nibName() const { return nibName_; }
    virtual void loadView();
    virtual void viewDidLoad() { }
    virtual void viewWillAppear(bool /*animated*/) { }
    virtual void viewDidAppear(bool /*animated*/) { }
    virtual void viewWillDisappear(bool /*animated*/) { }
    virtual void viewDidDisappear(bool /*animated*/) { }
    virtual void viewWillLayoutSubviews() { }
    virtual void viewDidLayoutSubviews() { }
    virtual void didReceiveMemoryWarning() { }

    // The outlet "view" of the controller's layout.
    void declareLayoutBindings(platform::LayoutBindings& bindings) override;

    // ---- Appearance ------------------------------------------------------
    enum class AppearanceState { Disappeared, Appearing, Appeared, Disappearing };
    AppearanceState appearanceState() const { return appearance_; }
    bool isVisible() const { return appearance_ == AppearanceState::Appeared; }
    // What containers call for their children (and what a hand-made tab
    // controller calls when it swaps children in and out).
    void beginAppearanceTransition(bool isAppearing, bool animated);
    void endAppearanceTransition();

    // ---- Titles and items ------------------------------------------------
    const std::string& title() const { return title_; }
    // Also the navigation item's and the tab item's title, as on the phone.
    void setTitle(std::string title);
    const std::shared_ptr<UINavigationItem>& navigationItem();
    const std::shared_ptr<UITabBarItem>& tabBarItem();
    void setTabBarItem(std::shared_ptr<UITabBarItem> item) { tabBarItem_ = std::move(item); }
    bool hidesBottomBarWhenPushed() const { return hidesBottomBarWhenPushed_; }
    void setHidesBottomBarWhenPushed(bool hides) { hidesBottomBarWhenPushed_ = hides; }
    UIInterfaceOrientation interfaceOrientation() const { return UIInterfaceOrientationPortrait; }

    // ---- Orientation -----------------------------------------------------
    // The device never turns here, so only a presentation changes the
    // interface's orientation: presenting a controller (with a window to show
    // it in) turns the application's status-bar orientation to the
    // controller's preferred one, and dismissing it turns it back to what it
    // was. The view layer still draws the portrait screen; a screen meant for
    // landscape draws itself turned (as the movie screen does).
    virtual bool shouldAutorotate() const { return true; }
    virtual unsigned supportedInterfaceOrientations() const { return UIInterfaceOrientationMaskAllButUpsideDown; }
    // By default the orientation in effect: presenting changes nothing.
    virtual UIInterfaceOrientation preferredInterfaceOrientationForPresentation() const;
    // Recorded only: every screen lays itself out for the 7.0 look.
    bool wantsFullScreenLayout() const { return wantsFullScreenLayout_; }
    void setWantsFullScreenLayout(bool wants) { wantsFullScreenLayout_ = wants; }
    unsigned edgesForExtendedLayout() const { return edgesForExtendedLayout_; }
    void setEdgesForExtendedLayout(unsigned edges) { edgesForExtendedLayout_ = edges; }

    // ---- Containment -----------------------------------------------------
    std::shared_ptr<UIViewController> parentViewController() const { return parent_.lock(); }
    const std::vector<std::shared_ptr<UIViewController>>& childViewControllers() const { return children_; }
    // Adding a child already held by another parent moves it.
    void addChildViewController(const std::shared_ptr<UIViewController>& child);
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(UIViewController* /*parent*/) { }
    virtual void didMoveToParentViewController(UIViewController* /*parent*/) { }
    // The nearest navigation controller among this controller and its parents.
    std::shared_ptr<UINavigationController> navigationController() const;

    // ---- Modal presentation ----------------------------------------------
    std::shared_ptr<UIViewController> presentedViewController() const { return presented_; }
    std::shared_ptr<UIViewController> presentingViewController() const;
    UIModalTransitionStyle modalTransitionStyle() const { return modalTransitionStyle_; }
    void setModalTransitionStyle(UIModalTransitionStyle style) { modalTransitionStyle_ = style; }
    // The presentation is made by the outermost parent of this controller
    // (a pushed screen presents from its navigation controller). Presenting
    // while that one already presents is refused with a log line, as is
    // presenting a controller that is already presented or held by a parent.
    // The completion runs on the main loop: after the transition when
    // animated, on the next turn otherwise.
    void presentViewController(const std::shared_ptr<UIViewController>& controller, bool animated,
        std::function<void()> completion = {});
    // Dismisses what this controller presents, or, when it presents nothing,
    // itself from its presenter; controllers presented on top go as well.
    void dismissViewControllerAnimated(bool animated, std::function<void()> completion = {});
    void presentModalViewController(const std::shared_ptr<UIViewController>& controller, bool animated)
    {
        presentViewController(controller, animated);
    }
    void dismissModalViewControllerAnimated(bool animated) { dismissViewControllerAnimated(animated); }
    static constexpr double kModalTransitionDuration = 0.4;

    // ---- Windows ---------------------------------------------------------
    // The window's root controller: its view fills the window; the old root
    // disappears (and what it presented is taken down) and the new one appears.
    // The same as window->setRootViewController(controller), which works once
    // any controller exists (the first one installs the window's hook).
    static void installWindowRootHook();
    static void setRootViewControllerOf(const std::shared_ptr<UIWindow>& window,
        std::shared_ptr<UIViewController> controller);
    static std::shared_ptr<UIViewController> rootViewControllerOf(const UIWindow* window);
    // Test support: forgets every window's root.
    static void resetWindowRoots();

    std::shared_ptr<UIResponder> nextResponder() const override;

    // Completes at once a transition still waiting for its clock (another
    // transition is about to start).
    void finishPendingTransition();

protected:
    // The children that receive this controller's appearance calls (a
    // navigation controller forwards to its top screen).
    virtual std::vector<std::shared_ptr<UIViewController>> childrenForAppearanceForwarding() const { return {}; }
    // Called as a transition starts; its completion runs later.
    void setPendingTransition(platform::DelayedCall call, std::function<void()> finish);
    // Where the view goes when the window shows this controller full screen.
    static void installFullScreen(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIWindow>& window);

private:
    void setParent(const std::shared_ptr<UIViewController>& parent) { parent_ = parent; }
    std::shared_ptr<UIViewController> presentationContext();
    std::shared_ptr<UIWindow> windowForPresentation();

    std::string nibName_;
    bool explicitNib_ = false;
    std::shared_ptr<UIView> view_;
    bool loadingView_ = false;
    std::string title_;
    std::shared_ptr<UINavigationItem> navigationItem_;
    std::shared_ptr<UITabBarItem> tabBarItem_;
    bool hidesBottomBarWhenPushed_ = false;
    bool wantsFullScreenLayout_ = false;
    unsigned edgesForExtendedLayout_ = UIRectEdgeAll;
    AppearanceState appearance_ = AppearanceState::Disappeared;
    bool appearanceAnimated_ = false;
    std::vector<std::shared_ptr<UIViewController>> appearanceChildren_;
    std::weak_ptr<UIViewController> parent_;
    std::vector<std::shared_ptr<UIViewController>> children_;
    std::shared_ptr<UIViewController> presented_;
    std::weak_ptr<UIViewController> presenting_;
    UIModalTransitionStyle modalTransitionStyle_ = UIModalTransitionStyleCoverVertical;
    // The status-bar orientation this controller's presentation replaced (0: it changed none).
    long orientationBeforePresentation_ = 0;
    platform::DelayedCall pendingCall_;
    std::function<void()> pendingFinish_;
};
