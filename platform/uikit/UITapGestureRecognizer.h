#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIGestureRecognizer.h"

// Recognises when a touch lifts with the required tap count (the window counts
// a touch as the next tap when it comes down within 0.35 s and 45 points of
// the previous lift-off), made with the required number of fingers, without
// moving more than kAllowableMovement points. A touch with a higher tap count
// fails it: on a double tap a single-tap recogniser fires for the first tap
// only, and a double-tap recogniser for the second.
class UITapGestureRecognizer : public UIGestureRecognizer {
public:
    static constexpr double kAllowableMovement = 10;

    ORB_CLASS_NAME(UITapGestureRecognizer)

    int numberOfTapsRequired() const { return tapsRequired_; }
    void setNumberOfTapsRequired(int taps) { tapsRequired_ = taps < 1 ? 1 : taps; }
    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int touches) { touchesRequired_ = touches < 1 ? 1 : touches; }

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    bool isAwaitingFurtherTouches() const override;

private:
    int tapsRequired_ = 1;
    int touchesRequired_ = 1;
    int currentTapCount_ = 0;
    platform::Point start_;
};
