#include "ui/controls/ScaleRotateButton.h"

#include <numbers>

void ScaleRotateButton::animateToState(int state)
{
    if (state == kPressed) {
        auto pressed = CATransform3D::makeScale(kPressedScale, kPressedScale, 1.0).rotated(std::numbers::pi, 0, 1, 0);
        // Pressing uses the layer's default duration; releasing takes its time.
        animateLayerTransform(pressed, 0);
    } else
        animateLayerTransform(CATransform3D::identity(), kReleaseDuration);
}
