#include "ui/controls/ORBCopyableLabel.h"

#include "platform/uikit/UILongPressGestureRecognizer.h"
#include "platform/uikit/UIMenuController.h"
#include "platform/uikit/UIPasteboard.h"

namespace {

constexpr char kCopySelector[] = "copy:";

} // namespace

ORBCopyableLabel::ORBCopyableLabel() { attachTapHandler(); }

ORBCopyableLabel::ORBCopyableLabel(const platform::Rect& frame)
    : UILabel(frame)
{
    attachTapHandler();
}

void ORBCopyableLabel::awakeFromNib()
{
    UILabel::awakeFromNib();
    attachTapHandler();
}

void ORBCopyableLabel::attachTapHandler()
{
    setUserInteractionEnabled(true);
    // Made in code and loaded from a layout alike: one recogniser is enough.
    if (attached_)
        return;
    attached_ = true;
    auto recognizer = std::make_shared<UILongPressGestureRecognizer>();
    std::weak_ptr<int> alive = alive_;
    recognizer->addAction([this, alive](UIGestureRecognizer* sender) {
        if (alive.lock())
            handleLongPress(dynamic_cast<UILongPressGestureRecognizer*>(sender));
    });
    addGestureRecognizer(recognizer);
}

void ORBCopyableLabel::didMoveToSuperview()
{
    UILabel::didMoveToSuperview();
    // A recogniser added while the label was being made could not learn its
    // view yet (the label had no owner then).
    if (auto self = sharedView()) {
        for (const auto& recognizer : gestureRecognizers()) {
            if (!recognizer->view())
                recognizer->attachToView(self);
        }
    }
}

void ORBCopyableLabel::handleLongPress(UILongPressGestureRecognizer*)
{
    becomeFirstResponder();
    auto& menu = UIMenuController::sharedMenuController();
    menu.setMenuItems({ { kCopyTitle, kCopySelector } });
    auto host = superview();
    menu.setTargetRect(frame(), host);
    menu.setMenuVisible(true, true);
}

bool ORBCopyableLabel::canPerformAction(std::string_view selector) const { return selector == kCopySelector; }

bool ORBCopyableLabel::performAction(std::string_view selector)
{
    if (selector != kCopySelector)
        return false;
    copy();
    return true;
}

void ORBCopyableLabel::copy() { UIPasteboard::generalPasteboard().setString(text()); }
