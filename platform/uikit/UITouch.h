#pragma once

#include "platform/graphics/Geometry.h"

#include <memory>
#include <vector>

class UIView;
class UIWindow;

enum UITouchPhase {
    UITouchPhaseBegan = 0,
    UITouchPhaseMoved = 1,
    UITouchPhaseStationary = 2,
    UITouchPhaseEnded = 3,
    UITouchPhaseCancelled = 4,
};

// One finger on the screen, from touch-down to lift-off. Positions are kept in
// the window's coordinates and converted on request.
class UITouch final {
public:
    UITouch(std::shared_ptr<UIWindow> window, std::shared_ptr<UIView> view, platform::Point windowLocation,
        int tapCount, double timestamp);

    std::shared_ptr<UIView> view() const { return view_.lock(); }
    std::shared_ptr<UIWindow> window() const { return window_.lock(); }
    UITouchPhase phase() const { return phase_; }
    // 1 for a single tap, 2 for the second tap of a double tap, ...
    int tapCount() const { return tapCount_; }
    double timestamp() const { return timestamp_; }

    // In the view's coordinates; a null view gives window coordinates.
    platform::Point locationInView(const UIView* view) const;
    platform::Point previousLocationInView(const UIView* view) const;
    platform::Point windowLocation() const { return location_; }

    // For the event delivery.
    void moveTo(platform::Point windowLocation, double timestamp);
    void setPhase(UITouchPhase phase) { phase_ = phase; }

private:
    platform::Point toView(platform::Point windowPoint, const UIView* view) const;

    std::weak_ptr<UIWindow> window_;
    std::weak_ptr<UIView> view_;
    platform::Point location_;
    platform::Point previous_;
    int tapCount_;
    double timestamp_;
    UITouchPhase phase_ = UITouchPhaseBegan;
};

// The event the touches of one delivery belong to.
class UIEvent final {
public:
    explicit UIEvent(double timestamp)
        : timestamp_(timestamp)
    {
    }
    double timestamp() const { return timestamp_; }
    const std::vector<std::shared_ptr<UITouch>>& allTouches() const { return touches_; }
    void setAllTouches(std::vector<std::shared_ptr<UITouch>> touches) { touches_ = std::move(touches); }

private:
    double timestamp_;
    std::vector<std::shared_ptr<UITouch>> touches_;
};
