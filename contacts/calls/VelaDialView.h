#pragma once

#include "platform/uikit/UIView.h"

#include <memory>
#include <string>
#include <vector>

class UIButton;
class UIControl;
class UITextField;
class VelaDialView;

class VelaDialViewDelegate {
public:
    virtual ~VelaDialViewDelegate() = default;
    // The dial key was tapped with a number.
    virtual void onDialView(VelaDialView& dialView, const std::string& makePhoneCall) = 0;
};

// The telephone keypad of the call-number screen: a number field built from
// key taps only, twelve keys, and a bar with the fold, dial and delete keys.
// One pad serves the whole process and keeps its number and fold state. It
// does not keep its delegate alive: a screen that has gone is never called.
class VelaDialView final : public UIView {
public:
    ORB_CLASS_NAME(VelaDialView)

    static constexpr double kWidth = 320;
    static constexpr double kHeight = 289;
    static constexpr double kKeyAreaHeight = 240;
    static constexpr double kBarHeight = 49;
    static constexpr double kFieldHeight = 44;
    static constexpr double kKeyHeight = 49;
    static constexpr double kBottomGap = 10;
    static constexpr double kFoldDuration = 0.3;
    static constexpr int kStarTag = 10;
    static constexpr int kHashTag = 11;
    static constexpr int kDialTag = 111;
    static constexpr int kFoldTag = 333;
    static constexpr int kDeleteTag = 444;

    static std::shared_ptr<VelaDialView> sharedVelaDialView();
    VelaDialView();

    void showInView(const std::shared_ptr<UIView>& view);
    void setDelegate(std::weak_ptr<VelaDialViewDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<VelaDialViewDelegate> delegate() const { return delegate_.lock(); }

    void onKeyPressed(UIControl* sender);
    void onButtonOnOffPressed(UIControl* sender);
    void handleCall(const std::string& number);

    bool mIsLayOn() const { return isLayOn_; }
    std::string number() const;
    std::shared_ptr<UITextField> txtNumber() const { return txtNumber_; }
    // The key with the tag (0-9, 10, 11, 111, 333, 444), or nullptr.
    std::shared_ptr<UIButton> keyWithTag(int tag) const;
    std::shared_ptr<UIView> numberView() const { return numberView_; }
    std::shared_ptr<UIView> controlView() const { return controlView_; }

private:
    std::shared_ptr<VelaDialView> self() { return std::static_pointer_cast<VelaDialView>(shared_from_this()); }
    void build();
    std::shared_ptr<UIButton> addKey(const std::shared_ptr<UIView>& parent, const platform::Rect& frame, int tag,
        const std::string& title, const std::string& image, bool fold);

    bool built_ = false;
    bool isLayOn_ = false;
    std::weak_ptr<VelaDialViewDelegate> delegate_;
    std::shared_ptr<UIView> numberView_;
    std::shared_ptr<UIView> controlView_;
    std::shared_ptr<UITextField> txtNumber_;
    std::vector<std::shared_ptr<UIButton>> keys_;
};
