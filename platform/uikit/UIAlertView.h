#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIAlertView;
class UIButton;
class UILabel;
class UITextField;

enum UIAlertViewStyle {
    UIAlertViewStyleDefault = 0,
    UIAlertViewStyleSecureTextInput = 1,
    UIAlertViewStylePlainTextInput = 2,
    UIAlertViewStyleLoginAndPasswordInput = 3,
};

// Optional: an alert without a delegate (or with a delegate that has gone away)
// just goes away when a button is pressed.
class UIAlertViewDelegate {
public:
    virtual ~UIAlertViewDelegate() = default;
    virtual void alertViewClickedButton(UIAlertView*, long /*buttonIndex*/) { }
    virtual void willPresentAlertView(UIAlertView*) { }
    virtual void didPresentAlertView(UIAlertView*) { }
    virtual void alertViewWillDismiss(UIAlertView*, long /*buttonIndex*/) { }
    virtual void alertViewDidDismiss(UIAlertView*, long /*buttonIndex*/) { }
    virtual void alertViewCancel(UIAlertView*) { }
};

// A modal message with buttons, shown above every window. Button indexes are
// the order of adding: the cancel button given at creation is 0 and the other
// buttons follow from 1. Pressing a button tells the delegate which (clicked),
// then dismisses the alert (will dismiss, then did dismiss).
class UIAlertView : public UIView {
public:
    UIAlertView();
    UIAlertView(std::string title, std::string message, std::weak_ptr<UIAlertViewDelegate> delegate,
        std::optional<std::string> cancelButtonTitle, std::vector<std::string> otherButtonTitles = {});
    ORB_CLASS_NAME(UIAlertView)

    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    const std::string& message() const { return message_; }
    void setMessage(std::string message);
    std::shared_ptr<UIAlertViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIAlertViewDelegate> delegate) { delegate_ = std::move(delegate); }

    long addButtonWithTitle(std::string title);
    // "" for an index that does not exist.
    std::string buttonTitleAtIndex(long index) const;
    long numberOfButtons() const { return long(buttonTitles_.size()); }
    // -1 when there is none.
    long cancelButtonIndex() const { return cancelIndex_; }
    void setCancelButtonIndex(long index);
    long firstOtherButtonIndex() const;
    // The index of the first button with that title, or -1.
    long indexOfButtonWithTitle(const std::string& title) const;

    UIAlertViewStyle alertViewStyle() const { return style_; }
    void setAlertViewStyle(UIAlertViewStyle style);
    // The login, password or plain field of the style; nullptr otherwise.
    std::shared_ptr<UITextField> textFieldAtIndex(long index) const;

    void show();
    bool isVisible() const { return visible_; }
    void dismissWithClickedButtonIndex(long index, bool animated);
    // A person pressing a button (the harness and the button views call this).
    bool clickButtonAtIndex(long index);

    // The topmost alert shown, or nullptr.
    static std::shared_ptr<UIAlertView> currentAlert();

    void layoutSubviews() override;

private:
    void buildViews();

    std::string title_;
    std::string message_;
    std::weak_ptr<UIAlertViewDelegate> delegate_;
    std::vector<std::string> buttonTitles_;
    long cancelIndex_ = -1;
    UIAlertViewStyle style_ = UIAlertViewStyleDefault;
    std::vector<std::shared_ptr<UITextField>> textFields_;
    std::shared_ptr<UIView> box_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UILabel> messageLabel_;
    std::vector<std::shared_ptr<UIButton>> buttons_;
    bool visible_ = false;
};
