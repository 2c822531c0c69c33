#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIView.h"

// The determinate indicator of the progress overlay: a pie that fills
// clockwise from 12 o'clock, or (annular) a ring drawn over a faint full circle.
class RoundProgressView : public UIView {
public:
    static constexpr double kDefaultSide = 37;

    RoundProgressView();
    explicit RoundProgressView(const platform::Rect& frame);
    ORB_CLASS_NAME(RoundProgressView)

    double progress() const { return progress_; }
    void setProgress(double progress);
    bool isAnnular() const { return annular_; }
    void setAnnular(bool annular);

    void drawRect(platform::Context& context, const platform::Rect& rect) override;

private:
    double progress_ = 0;
    bool annular_ = false;
};
