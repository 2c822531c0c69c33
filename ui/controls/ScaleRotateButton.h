#pragma once

#include "platform/os/ClassRegistry.h"
#include "ui/controls/AnimatedButton.h"

// A button whose picture shrinks to 70 % and flips over (a half turn about
// the vertical axis) while pressed. Set up like RotateButton, from its layout.
class ScaleRotateButton : public AnimatedButton {
public:
    static constexpr double kPressedScale = 0.7;
    static constexpr double kReleaseDuration = 0.5;

    using AnimatedButton::AnimatedButton;
    ORB_CLASS_NAME(ScaleRotateButton)

    const std::shared_ptr<UIView>& arrow() const { return arrow_; }
    void setArrow(std::shared_ptr<UIView> arrow) { arrow_ = std::move(arrow); }

    void setImage(std::shared_ptr<UIImage> image, unsigned state);

    void awakeFromNib() override;

protected:
    void animateToState(int state) override;
    std::shared_ptr<UIView> indicatorView() const override { return arrow_; }

private:
    std::shared_ptr<UIView> arrow_;
};
