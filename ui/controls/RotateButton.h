#pragma once

#include "platform/os/ClassRegistry.h"
#include "ui/controls/AnimatedButton.h"

// A button whose picture turns almost half a turn (179°) while pressed and
// back when released, over 0.5 s. It is placed by layout files and sets
// itself up when its layout is complete: the picture moves into a layer of its
// own, which is what turns, and every later picture goes there too.
class RotateButton : public AnimatedButton {
public:
    // 179 degrees: a full half turn would have no direction to turn in.
    static constexpr double kPressedAngle = 3.1241393;
    static constexpr double kDuration = 0.5;

    using AnimatedButton::AnimatedButton;
    ORB_CLASS_NAME(RotateButton)

    const std::shared_ptr<UIView>& arrow() const { return arrow_; }
    void setArrow(std::shared_ptr<UIView> arrow) { arrow_ = std::move(arrow); }

    // Whatever the state, the picture goes to the turning layer; the button's
    // own images stay empty.
    void setImage(std::shared_ptr<UIImage> image, unsigned state);

    void awakeFromNib() override;

protected:
    void animateToState(int state) override;
    std::shared_ptr<UIView> indicatorView() const override { return arrow_; }

private:
    std::shared_ptr<UIView> arrow_;
};
