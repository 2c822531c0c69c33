#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIActionSheet;
class UIButton;
class UILabel;

enum UIActionSheetStyle {
    UIActionSheetStyleAutomatic = -1,
    UIActionSheetStyleDefault = 0,
    UIActionSheetStyleBlackTranslucent = 1,
    UIActionSheetStyleBlackOpaque = 2,
};

// Optional: a sheet without a delegate just goes away when a button is pressed.
class UIActionSheetDelegate {
public:
    virtual ~UIActionSheetDelegate() = default;
    virtual void actionSheetClickedButton(UIActionSheet*, long /*buttonIndex*/) { }
    virtual void willPresentActionSheet(UIActionSheet*) { }
    virtual void didPresentActionSheet(UIActionSheet*) { }
    virtual void actionSheetWillDismiss(UIActionSheet*, long /*buttonIndex*/) { }
    virtual void actionSheetDidDismiss(UIActionSheet*, long /*buttonIndex*/) { }
    virtual void actionSheetCancel(UIActionSheet*) { }
};

// A list of choices rising from the bottom of the screen. Button indexes: the
// destructive button given at creation is 0, the other buttons follow, the
// cancel button is last; buttons added later come after those. Pressing a
// button tells the delegate (clicked), then dismisses (will, then did dismiss).
class UIActionSheet : public UIView {
public:
    UIActionSheet();
    UIActionSheet(std::string title, std::weak_ptr<UIActionSheetDelegate> delegate,
        std::optional<std::string> cancelButtonTitle, std::optional<std::string> destructiveButtonTitle,
        std::vector<std::string> otherButtonTitles = {});
    ORB_CLASS_NAME(UIActionSheet)

    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    std::shared_ptr<UIActionSheetDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIActionSheetDelegate> delegate) { delegate_ = std::move(delegate); }
    UIActionSheetStyle actionSheetStyle() const { return style_; }
    void setActionSheetStyle(UIActionSheetStyle style) { style_ = style; }

    long addButtonWithTitle(std::string title);
    std::string buttonTitleAtIndex(long index) const;
    long numberOfButtons() const { return long(buttonTitles_.size()); }
    long cancelButtonIndex() const { return cancelIndex_; }
    void setCancelButtonIndex(long index);
    long destructiveButtonIndex() const { return destructiveIndex_; }
    void setDestructiveButtonIndex(long index);
    long firstOtherButtonIndex() const;
    long indexOfButtonWithTitle(const std::string& title) const;

    // Where it was shown from is remembered; the sheet itself covers the screen.
    void showInView(const std::shared_ptr<UIView>& view);
    void showFromTabBar(const std::shared_ptr<UIView>& tabBar) { showInView(tabBar); }
    void showFromToolbar(const std::shared_ptr<UIView>& toolbar) { showInView(toolbar); }
    std::shared_ptr<UIView> shownInView() const { return shownIn_.lock(); }
    bool isVisible() const { return visible_; }
    void dismissWithClickedButtonIndex(long index, bool animated);
    bool clickButtonAtIndex(long index);

    // The topmost sheet shown, or nullptr.
    static std::shared_ptr<UIActionSheet> currentSheet();

    void layoutSubviews() override;

private:
    void buildViews();

    std::string title_;
    std::weak_ptr<UIActionSheetDelegate> delegate_;
    std::vector<std::string> buttonTitles_;
    long cancelIndex_ = -1;
    long destructiveIndex_ = -1;
    UIActionSheetStyle style_ = UIActionSheetStyleAutomatic;
    std::weak_ptr<UIView> shownIn_;
    std::shared_ptr<UIView> panel_;
    std::shared_ptr<UILabel> titleLabel_;
    std::vector<std::shared_ptr<UIButton>> buttons_;
    bool visible_ = false;
};
