#include "app/base/TapOutsideFields.h"

#include "platform/uikit/UIControl.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UITouch.h"
#include "platform/uikit/UIView.h"

namespace {

// The tap answers for itself which touches are its own: none that lands on a
// control or a text area, or on anything inside one.
class TapOutsideFields final : public UITapGestureRecognizer, public UIGestureRecognizerDelegate {
public:
    bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer*, UITouch* touch) override
    {
        auto form = view();
        for (auto hit = touch ? touch->view() : nullptr; hit && hit != form; hit = hit->superview()) {
            if (dynamic_cast<UIControl*>(hit.get()) || dynamic_cast<UITextView*>(hit.get()))
                return false;
        }
        return true;
    }
};

} // namespace

void endEditingOnTapOutside(const std::shared_ptr<UIView>& form)
{
    if (!form)
        return;
    auto tap = std::make_shared<TapOutsideFields>();
    tap->setDelegate(std::weak_ptr<UIGestureRecognizerDelegate>(tap));
    tap->addAction([weakForm = std::weak_ptr<UIView>(form)](UIGestureRecognizer*) {
        if (auto shown = weakForm.lock())
            shown->endEditing(true);
    });
    form->addGestureRecognizer(tap);
}
