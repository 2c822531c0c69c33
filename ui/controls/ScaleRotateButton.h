#pragma once

#include "platform/os/ClassRegistry.h"
#include "ui/controls/AnimatedButton.h"

// A button whose picture shrinks to 70 % and flips over (a half turn about
// the vertical axis) while pressed. Set up like RotateButton, from its layout.
class ScaleRotateButton : public LayerAnimatedButton {
public:
    static constexpr double kPressedScale = 0.7;
    static constexpr double kReleaseDuration = 0.5;

    using LayerAnimatedButton::LayerAnimatedButton;
    ORB_CLASS_NAME(ScaleRotateButton)

protected:
    void animateToState(int state) override;
};
