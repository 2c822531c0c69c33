#include "ui/controls/ScaleButton.h"

ScaleButton::ScaleButton() { initSecondPart(); }

ScaleButton::ScaleButton(const platform::Rect& frame)
    : AnimatedButton(frame)
{
    initSecondPart();
}

void ScaleButton::initSecondPart()
{
    scaleSize_ = kDefaultScaleSize;
    registerTouchEvents();
}

void ScaleButton::animateToState(int state)
{
    auto transform = state == kPressed ? platform::AffineTransform::makeScale(scaleSize_, scaleSize_)
                                       : platform::AffineTransform::identity();
    UIView::beginAnimations();
    setTransform(transform);
    UIView::commitAnimations();
}
