#pragma once

#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"

#include <memory>

// What the three animated buttons share: they watch their own touches, keep a
// two-value state (0 released, 1 pressed) and animate only when it changes;
// a tap slides the screen's indicator view (an arrow or cursor under a row of
// buttons) below the button's centre.
class AnimatedButton : public UIButton {
public:
    using UIButton::UIButton;

    // 0 released, 1 pressed.
    int buttonState() const { return state_; }
    void setState(int state);

    void touchDown() { setState(0 + 1); }
    void touchUpInside();
    void touchUpOutside() { setState(0); }
    void touchCancel() { setState(0); }

    // The layer that shows the picture and turns (none for the scaling button).
    const std::shared_ptr<CALayer>& anilayer() const { return anilayer_; }

protected:
    static constexpr int kReleased = 0;
    static constexpr int kPressed = 1;

    // Registers touch-down, up-inside, up-outside and cancel on the button itself.
    void registerTouchEvents();
    // Moves the picture into a layer of its own (the button's image view's
    // place and picture), which the state animations turn.
    void createAnimatedLayer();
    // Every picture set afterwards goes to that layer.
    void showImageInLayer(const std::shared_ptr<UIImage>& image);
    // An implicit layer animation: the change applies at once and is recorded
    // for the duration it takes on the phone.
    void animateLayerTransform(const CATransform3D& transform, double duration);

    virtual void animateToState(int state) = 0;
    // The view that slides under the tapped button (arrow or cursor).
    virtual std::shared_ptr<UIView> indicatorView() const = 0;

    std::shared_ptr<CALayer> anilayer_;

private:
    int state_ = kReleased;
    bool eventsRegistered_ = false;
};

// The animated buttons whose picture turns in a layer of its own
// (RotateButton, ScaleRotateButton). They are placed by layout files and set
// themselves up when their layout is complete: the picture moves into the
// layer, and every later picture goes there too. An arrow slides under them.
class LayerAnimatedButton : public AnimatedButton {
public:
    using AnimatedButton::AnimatedButton;

    const std::shared_ptr<UIView>& arrow() const { return arrow_; }
    void setArrow(std::shared_ptr<UIView> arrow) { arrow_ = std::move(arrow); }

    // Whatever the state, the picture goes to the turning layer; the button's
    // own images stay empty.
    void setImage(std::shared_ptr<UIImage> image, unsigned state);

    void awakeFromNib() override;

protected:
    std::shared_ptr<UIView> indicatorView() const override { return arrow_; }

private:
    std::shared_ptr<UIView> arrow_;
};
