#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIGestureRecognizer.h"

enum UISwipeGestureRecognizerDirection : unsigned {
    UISwipeGestureRecognizerDirectionRight = 1 << 0,
    UISwipeGestureRecognizerDirectionLeft = 1 << 1,
    UISwipeGestureRecognizerDirectionUp = 1 << 2,
    UISwipeGestureRecognizerDirectionDown = 1 << 3,
};

// Recognises a stroke of at least kMinimumDistance points in one of its
// directions that stays within half its length of that axis.
class UISwipeGestureRecognizer : public UIGestureRecognizer {
public:
    static constexpr double kMinimumDistance = 30;

    ORB_CLASS_NAME(UISwipeGestureRecognizer)

    unsigned direction() const { return direction_; }
    void setDirection(unsigned direction)
    {
        direction_ = direction ? direction : UISwipeGestureRecognizerDirectionRight;
    }
    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int touches) { touchesRequired_ = touches < 1 ? 1 : touches; }

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;

private:
    bool check();

    unsigned direction_ = UISwipeGestureRecognizerDirectionRight;
    int touchesRequired_ = 1;
    platform::Point start_;
};
