#pragma once

#include "platform/media/MoviePlayer.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIView.h"

#include <memory>

namespace content {

// Shows the player's frames fitted into its bounds on black, asking the player
// for frames of exactly the fitted size in pixels, so nothing scales twice.
class MoviePlayerView final : public UIView {
public:
    ORB_CLASS_NAME(MoviePlayerView)
    using UIView::UIView;

    void setPlayer(std::shared_ptr<platform::MoviePlayer> player);
    void layoutSubviews() override;
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

    // The rectangle the picture takes, in the view's points (16:9 until the
    // player says otherwise).
    platform::Rect pictureRect() const;

private:
    std::shared_ptr<platform::MoviePlayer> player_;
};

// The play and pause control: a triangle while paused, two bars while playing.
class MoviePlayButton final : public UIControl {
public:
    ORB_CLASS_NAME(MoviePlayButton)
    using UIControl::UIControl;

    bool showsPause() const { return showsPause_; }
    void setShowsPause(bool pause);
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

private:
    bool showsPause_ = false;
};

// The time line: played part, the rest, and a knob at the position.
class MovieProgressView final : public UIView {
public:
    ORB_CLASS_NAME(MovieProgressView)
    using UIView::UIView;

    double fraction() const { return fraction_; }
    void setFraction(double fraction);
    // The fraction of the line at a point of the view.
    double fractionAt(platform::Point point) const;
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

    static constexpr double kInset = 8;

private:
    double fraction_ = 0;
};

} // namespace content
