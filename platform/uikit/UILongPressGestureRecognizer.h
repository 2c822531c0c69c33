#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIGestureRecognizer.h"

// Begins once the fingers have stayed down for minimumPressDuration seconds of
// the main loop's clock without moving more than allowableMovement points;
// then reports Changed on every move and Ended on lift-off. Each of those
// state changes sends the actions.
class UILongPressGestureRecognizer : public UIGestureRecognizer {
public:
    ~UILongPressGestureRecognizer() override;
    ORB_CLASS_NAME(UILongPressGestureRecognizer)

    double minimumPressDuration() const { return minimumPressDuration_; }
    void setMinimumPressDuration(double seconds);
    double allowableMovement() const { return allowableMovement_; }
    void setAllowableMovement(double points) { allowableMovement_ = points; }
    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int touches) { touchesRequired_ = touches < 1 ? 1 : touches; }

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;
    void reset() override;

protected:
    bool isDiscrete() const override { return false; }

private:
    void stopTimer();

    double minimumPressDuration_ = 0.5;
    double allowableMovement_ = 10;
    int touchesRequired_ = 1;
    platform::Point start_;
    platform::RunLoop::TimerId timer_ = 0;
};
