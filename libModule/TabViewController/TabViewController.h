#pragma once

#include "platform/os/RunLoop.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <string>
#include <vector>

class UIControl;
class UIImage;
class UINavigationController;
class UIView;

// A tab bar container of the program's own: one navigation controller per
// tab, a content view showing the selected one, a bottom bar of button
// controls, a top bar, a cursor under the selected button and an optional
// splash picture. The newest instance is the shared one, which screens
// anywhere reach to switch tabs or hide the bars.
class TabViewController : public UIViewController {
public:
    ORB_CLASS_NAME(TabViewController)

    static constexpr double kSplashDelay = 1.0;
    static constexpr double kSplashFadeDuration = 1.6;

    TabViewController();
    explicit TabViewController(std::string nibName);
    ~TabViewController() override;

    // The newest tab controller still alive, or nullptr.
    static std::shared_ptr<TabViewController> shareInstance();

    // Builds one tab per class name: each screen is made by name with its own
    // layout and wrapped in a navigation controller with the bar background.
    // A name that makes no screen is shown as an empty screen (logged), so the
    // tabs always match the buttons.
    void setViewControllers(const std::vector<std::string>& classNames, std::shared_ptr<UIImage> navibarImage);
    void setNavibarImage(const std::shared_ptr<UIImage>& image);
    // Wires the buttons and shows the current button's tab, once the view is
    // loaded and the tabs are given, whichever comes last.
    void initVCs();
    virtual void switchToView(long index);

    // Moves the bars out of sight (or back); the shared instance's for the
    // class-level call.
    void setTabbarHidden(bool hidden, bool animated);
    static void setSharedTabbarHidden(bool hidden, bool animated);

    // For subclasses: draw a button selected or not.
    virtual void btnTabStateChanged(UIControl* button, bool selected);
    void btnTabTouchUpInside(UIControl* button);
    void hideSplashView();
    void removeSplashView();

    void viewDidLoad() override;
    void declareLayoutBindings(platform::LayoutBindings& bindings) override;

    long curIndex() const { return curIndex_; }
    bool isInitVCs() const { return isInitVCs_; }
    std::shared_ptr<UIControl> currentBtn() const { return currentBtn_; }
    void setCurrentBtn(std::shared_ptr<UIControl> button) { currentBtn_ = std::move(button); }
    std::shared_ptr<UIView> contentView() const { return contentView_; }
    std::shared_ptr<UIView> cursorView() const { return cursorView_; }
    std::shared_ptr<UIView> tabBarView() const { return tabBarView_; }
    std::shared_ptr<UIView> topBarView() const { return topBarView_; }
    const std::vector<std::shared_ptr<UIControl>>& tabBtns() const { return tabBtns_; }
    void setTabBtns(std::vector<std::shared_ptr<UIControl>> buttons) { tabBtns_ = std::move(buttons); }
    std::shared_ptr<UIView> splashView() const { return splashView_; }
    bool isShowSplashView() const { return isShowSplashView_; }
    void setIsShowSplashView(bool show) { isShowSplashView_ = show; }
    bool cursorAnimating() const { return cursorAnimating_; }
    void setCursorAnimating(bool animating) { cursorAnimating_ = animating; }
    const std::vector<std::shared_ptr<UINavigationController>>& viewControllers() const { return viewControllers_; }
    double orgTopBarY() const { return orgTopBarY_; }

protected:
    std::vector<std::shared_ptr<UIViewController>> childrenForAppearanceForwarding() const override;

private:
    void setUp();

    long curIndex_ = -1;
    bool isInitVCs_ = false;
    double orgTopBarY_ = 0;
    std::shared_ptr<UIControl> currentBtn_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UIView> cursorView_;
    std::shared_ptr<UIView> tabBarView_;
    std::shared_ptr<UIView> topBarView_;
    std::vector<std::shared_ptr<UIControl>> tabBtns_;
    std::shared_ptr<UIView> splashView_;
    bool isShowSplashView_ = true;
    bool cursorAnimating_ = true;
    std::vector<std::shared_ptr<UINavigationController>> viewControllers_;
    platform::DelayedCall splashCall_;
};
