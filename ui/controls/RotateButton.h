#pragma once

#include "platform/os/ClassRegistry.h"
#include "ui/controls/AnimatedButton.h"

// A button whose picture turns almost half a turn (179°) while pressed and
// back when released, over 0.5 s. Set up from its layout as every
// LayerAnimatedButton.
class RotateButton : public LayerAnimatedButton {
public:
    // 179 degrees: a full half turn would have no direction to turn in.
    static constexpr double kPressedAngle = 3.1241393;
    static constexpr double kDuration = 0.5;

    using LayerAnimatedButton::LayerAnimatedButton;
    ORB_CLASS_NAME(RotateButton)

protected:
    void animateToState(int state) override;
};
