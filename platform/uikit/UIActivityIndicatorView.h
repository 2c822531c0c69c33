#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIView.h"

enum UIActivityIndicatorViewStyle {
    UIActivityIndicatorViewStyleWhiteLarge = 0,
    UIActivityIndicatorViewStyleWhite = 1,
    UIActivityIndicatorViewStyleGray = 2,
};

// A spinner: 37 points square in the large white style, 20 otherwise. Hidden
// while stopped when hidesWhenStopped (the default), so a new one is hidden.
class UIActivityIndicatorView : public UIView {
public:
    explicit UIActivityIndicatorView(UIActivityIndicatorViewStyle style = UIActivityIndicatorViewStyleWhite);
    ORB_CLASS_NAME(UIActivityIndicatorView)

    static double sideForStyle(UIActivityIndicatorViewStyle style);

    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);
    platform::Color color() const { return color_; }
    void setColor(const platform::Color& color) { color_ = color; }
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }

    platform::Size sizeThatFits(platform::Size size) const override;
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

private:
    UIActivityIndicatorViewStyle style_;
    platform::Color color_;
    bool hidesWhenStopped_ = true;
    bool animating_ = false;
};
