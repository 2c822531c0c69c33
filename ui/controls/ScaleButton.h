#pragma once

#include "platform/os/ClassRegistry.h"
#include "ui/controls/AnimatedButton.h"

// A button that shrinks to scaleSize (70 % unless told otherwise) while
// pressed and grows back when released; the whole button scales, picture and
// title alike. Works made in code or from a layout.
class ScaleButton : public AnimatedButton {
public:
    static constexpr double kDefaultScaleSize = 0.7;

    ScaleButton();
    explicit ScaleButton(const platform::Rect& frame);
    ORB_CLASS_NAME(ScaleButton)

    const std::shared_ptr<UIView>& cursor() const { return cursor_; }
    void setCursor(std::shared_ptr<UIView> cursor) { cursor_ = std::move(cursor); }
    double scaleSize() const { return scaleSize_; }
    void setScaleSize(double scale) { scaleSize_ = scale; }

protected:
    void animateToState(int state) override;
    std::shared_ptr<UIView> indicatorView() const override { return cursor_; }

private:
    void initSecondPart();

    std::shared_ptr<UIView> cursor_;
    double scaleSize_ = kDefaultScaleSize;
};
