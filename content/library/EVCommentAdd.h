#pragma once

#include "content/library/EVModels.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIControl.h"
#include "ui/Lifetime.h"

#include <memory>

class SStarView;
class UIButton;
class UITextView;

namespace content {

class EVCommentAdd;

class EVCommentAddDelegate {
public:
    virtual ~EVCommentAddDelegate() = default;
    virtual void commentAddDidSubmit(EVCommentAdd* panel, const std::shared_ptr<EVCommentInfo>& comment) = 0;
};

// The comment panel: a dimmed cover over the whole window with a board that
// rides on the keyboard, holding the text and a rating of one to five stars
// (three at first). A tap on the dimmed part or "取消" puts the keyboard away
// and the panel goes with it; the text and rating stay for the next time.
class EVCommentAdd final : public UIControl, public platform::LayoutBindable, public UIAlertViewDelegate {
public:
    ORB_CLASS_NAME(EVCommentAdd)

    static constexpr unsigned kMostStars = 5;
    static constexpr unsigned kFewestStars = 1;
    static constexpr unsigned kFirstStars = 3;
    static constexpr double kKeyboardDuration = 0.25;

    static std::shared_ptr<EVCommentAdd> viewWithDelegate(std::weak_ptr<EVCommentAddDelegate> delegate);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

    void show();
    // Empties the text once the comment it held has been posted.
    void clearText();

    void btnCancelTouchUpInside(UIControl* sender);
    void btnSubmitTouchUpInside(UIControl* sender);
    void panelTouchUpInside(UIControl* sender);
    void keyboardWillShow(const platform::Notification& notification);
    void keyboardWillHide(const platform::Notification& notification);
    // The refusal of an empty text was read: typing goes on.
    void alertViewClickedButton(UIAlertView*, long buttonIndex) override;

    const std::shared_ptr<UIView>& boardView() const { return boardView_; }
    const std::shared_ptr<UITextView>& txtContent() const { return txtContent_; }
    const std::shared_ptr<SStarView>& starView() const { return starView_; }

private:
    void resign();

    std::weak_ptr<EVCommentAddDelegate> delegate_;
    // While the refusal shows, the keyboard steps aside but the panel stays.
    bool refusing_ = false;
    std::shared_ptr<UIView> boardView_;
    std::shared_ptr<UITextView> txtContent_;
    std::shared_ptr<SStarView> starView_;
    std::shared_ptr<UIButton> btnCancel_;
    std::shared_ptr<UIButton> btnSubmit_;
    Lifetime lifetime_;
};

} // namespace content
