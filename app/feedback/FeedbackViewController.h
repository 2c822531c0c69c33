#pragma once

#include "app/base/BaseViewController.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"

#include <memory>

class UIControl;
class UILabel;

// "意见反馈": the user's comments on the application, sent to the platform.
class FeedbackViewController final : public BaseViewController,
                                     public UITextViewDelegate,
                                     public UITextFieldDelegate {
public:
    ORB_CLASS_NAME(FeedbackViewController)

    static constexpr int kFeedbackRequest = 44;

    FeedbackViewController();
    explicit FeedbackViewController(std::string nibName);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;

    void textViewDidChange(UITextView* textView) override;
    // Return in the contact field puts the keyboard away.
    bool textFieldShouldReturn(UITextField* field) override;
    void textFieldDidBeginEditing(UITextField* field) override;
    void textFieldDidEndEditing(UITextField* field) override;
    void btnCommitTouchUpInside(UIControl* sender);
    void btnGoBackAction(UIControl* sender);

private:
    void leave();
    // While the keys are up the contact field and 提交 below it stand above
    // them (on the small screen they would cover both): the text box gives up
    // the height it takes and the field and the button move up as much, the
    // text keeping its place under the bar. All go back with the keyboard,
    // which Return in the contact field or a tap outside the fields puts away.
    void fitAboveKeyboard();
    void keyboardChanged(const platform::Notification& notification);

    std::shared_ptr<UIView> TFLinkman_;
    std::shared_ptr<UITextView> advice_;
    // A contact field of the layout; what it holds is not sent.
    std::shared_ptr<UITextField> linkman_;
    std::shared_ptr<UILabel> placeHolder_;
    std::shared_ptr<UIView> btnCommit_;
    // Where the form's pieces stand with the keyboard down.
    platform::Rect adviceBoxAtRest_;
    platform::Rect adviceAtRest_;
    platform::Rect linkmanBoxAtRest_;
    platform::Rect commitAtRest_;
    double shrunk_ = 0;
};
