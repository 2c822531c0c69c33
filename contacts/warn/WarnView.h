#pragma once

#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIView.h"

#include <memory>

class UIButton;
class UIControl;
class UILabel;
class UIScrollView;

class WarnViewDelegate {
public:
    virtual ~WarnViewDelegate() = default;
    // notNext: the do-not-remind tick is set; buttonIndex: the tag of the
    // button that closed the prompt (kConfirmTag confirms).
    virtual void closeWarningViewWithNotNext(bool notNext, long buttonIndex) = 0;
};

// The content of the warning shown before a call, an SMS or the call screen:
// the message and, in the confirmation variant, a do-not-remind tick. It only
// reports how it was closed; the screen that showed it decides.
class WarnView final : public UIView, public platform::LayoutBindable {
public:
    ORB_CLASS_NAME(WarnView)

    // The two top-level objects of the layout.
    static constexpr int kConfirmVariant = 0;
    static constexpr int kNoticeVariant = 1;
    static constexpr long kConfirmTag = 10;
    static constexpr long kCloseTag = 11;
    static constexpr double kCornerRadius = 10.0;

    WarnView() = default;
    // The variant's view from the layout, or nullptr for another index.
    static std::shared_ptr<WarnView> make(int variant);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;

    void notShowNextTime(UIControl* sender);
    void closePromptAction(UIControl* sender);

    int variant() const { return variant_; }
    void setMessage(const std::string& text);
    // Lays the prompt out for its message: the message wraps and the prompt
    // grows (the buttons move down with it) until the whole text shows, but
    // never past maxHeight; a message longer than that scrolls inside the
    // prompt. A message that fits the layout's box keeps the layout's size.
    void fitMessage(double maxHeight);
    // The scrolling box of a message too long for the room given, if any.
    std::shared_ptr<UIScrollView> messageScroller() const { return messageScroller_; }
    std::shared_ptr<WarnViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<WarnViewDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UILabel> prompContent() const { return prompContent_; }
    std::shared_ptr<UIButton> promptBtn() const { return promptBtn_; }

private:
    int variant_ = kConfirmVariant;
    std::weak_ptr<WarnViewDelegate> delegate_;
    std::shared_ptr<UILabel> prompContent_;
    // The confirmation variant's tick and its caption; the notice has none.
    std::shared_ptr<UIButton> promptBtn_;
    std::shared_ptr<UIButton> btnCheck_;
    std::shared_ptr<UIButton> btnUncheck_;
    std::shared_ptr<UILabel> lblCheck_;
    std::shared_ptr<UIScrollView> messageScroller_;
};
