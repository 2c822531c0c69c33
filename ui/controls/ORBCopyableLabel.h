#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UILabel.h"

#include <memory>

class UILongPressGestureRecognizer;

// A label whose text can be copied: a long press offers the edit menu with
// the one item "复制", which puts the text on the pasteboard.
class ORBCopyableLabel : public UILabel {
public:
    static constexpr const char* kCopyTitle = "复制";

    ORBCopyableLabel();
    explicit ORBCopyableLabel(const platform::Rect& frame);
    ORB_CLASS_NAME(ORBCopyableLabel)

    void awakeFromNib() override;
    void didMoveToSuperview() override;

    bool canBecomeFirstResponder() const override { return true; }
    bool canPerformAction(std::string_view selector) const override;
    bool performAction(std::string_view selector) override;
    void copy();

    void handleLongPress(UILongPressGestureRecognizer* recognizer);

private:
    void attachTapHandler();

    // Lets the recogniser's action find out that the label has gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    bool attached_ = false;
};
