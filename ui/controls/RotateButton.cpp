#include "ui/controls/RotateButton.h"

void RotateButton::animateToState(int state)
{
    if (state == kPressed)
        animateLayerTransform(CATransform3D::makeRotation(kPressedAngle, 0, 0, 1), kDuration);
    else
        animateLayerTransform(CATransform3D::identity(), kDuration);
}
