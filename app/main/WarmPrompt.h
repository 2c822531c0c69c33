#pragma once

#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIView.h"

#include <memory>

class UIButton;
class UIControl;
class UILabel;

class WarmPromptDelegate {
public:
    virtual ~WarmPromptDelegate() = default;
    virtual void closePromptWithNotNext(bool notNext) = 0;
};

// The notice shown after sign-in: its text, a "do not show again" box and a
// close button that reports the box to the delegate.
class WarmPrompt : public UIView, public platform::LayoutBindable {
public:
    ORB_CLASS_NAME(WarmPrompt)

    static constexpr const char* kCheckCaption = "下次使用不再提醒";

    WarmPrompt() = default;
    explicit WarmPrompt(const platform::Rect& frame)
        : UIView(frame)
    {
    }
    // A prompt from the layout "WarmPrompt", sized and connected.
    static std::shared_ptr<WarmPrompt> make();

    // The text comes from the layout.
    void setText() { }
    void notShowNextTime(UIControl* sender);
    void closePromptAction(UIControl* sender);
    void addHeight(double h);

    std::shared_ptr<WarmPromptDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<WarmPromptDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<UIButton> promptBtn() const { return promptBtn_; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;

private:
    std::shared_ptr<UIButton> promptBtn_;
    std::weak_ptr<WarmPromptDelegate> delegate_;
    std::shared_ptr<UILabel> prompContent_;
    std::shared_ptr<UIButton> btnCheck_;
    std::shared_ptr<UILabel> lblCheck_;
};
