#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/os/RunLoop.h"

#include <deque>
#include <memory>
#include <utility>

class UIScrollView;
class UIView;
class UIWindow;

namespace platform::host {

// Turns a pointer (one mouse button, positions in screen points) into what
// a finger does on the phone, through the same entry points the headless
// drivers use. A press starts a touch sequence in the topmost window there
// (hit-tested), moves and a release continue and end it, so taps, double
// taps (the window counts them), long presses (the recogniser's timer on the
// main loop) and swipes behave as under a finger.
//
// Scroll views here do not follow raw touches; the phone's pan behaves as
// follows, and so does this: once the pointer has travelled past the slop
// along an axis that a scroll view under the press can scroll, that scroll
// view takes the stroke: the content's touches are cancelled (no row is
// selected) and the pointer drags it (beginDrag / moveDrag / endDrag), ending
// with deceleration when it was still moving fast at the release. A stroke
// across that axis stays a touch sequence, so horizontal swipes on a table
// still reach the swipe recognisers.
//
// The wheel scrolls the innermost scroll view under the pointer that scrolls
// along the wheel's axis, as a short drag that never leaves the content's
// range; the drag ends a moment after the last notch.
class TouchTranslator final {
public:
    // Travel (points) before a stroke becomes a scroll view drag: the table's own tap slop.
    static constexpr double kSlop = 10;
    // Points per wheel notch.
    static constexpr double kWheelStep = 40;
    // Quiet time after the last notch that ends a wheel drag.
    static constexpr double kWheelSettle = 0.15;
    // Release speed (points per second) from which a drag decelerates, measured over kVelocityWindow.
    static constexpr double kFlickSpeed = 150;
    static constexpr double kVelocityWindow = 0.1;

    TouchTranslator() = default;
    ~TouchTranslator();
    TouchTranslator(const TouchTranslator&) = delete;
    TouchTranslator& operator=(const TouchTranslator&) = delete;

    // Returns whether the press landed on something that takes touches.
    bool press(Point screenPoint);
    void move(Point screenPoint);
    void release(Point screenPoint);
    // The pointer left for good (the window lost the mouse or closed):
    // touches are cancelled, a drag ends where it is.
    void cancel();
    // dx, dy in notches (fractions allowed); positive dy shows what is above.
    // Returns whether a scroll view took it.
    bool wheel(Point screenPoint, double dx, double dy);

    bool isPressed() const { return pressed_; }
    // The scroll view the pointer is dragging now, if a stroke was handed to one.
    std::shared_ptr<UIScrollView> draggedScrollView() const { return dragged_.lock(); }

private:
    struct Sample {
        double time;
        Point point;
    };
    void endWheelDrag();
    void handOff(const std::shared_ptr<UIScrollView>& scrollView, Point screenPoint);
    Point windowPoint(Point screenPoint) const;

    bool pressed_ = false;
    Point start_;
    Point last_;
    std::weak_ptr<UIWindow> window_;
    std::weak_ptr<UIView> hit_;
    std::weak_ptr<UIScrollView> dragged_;
    bool dragsX_ = false;
    bool dragsY_ = false;
    std::deque<Sample> samples_;

    std::weak_ptr<UIScrollView> wheelView_;
    RunLoop::TimerId wheelTimer_ = 0;
};

// The innermost scroll view at or above the view that can scroll along the
// axis (content larger than the bounds, or bouncing allowed vertically), or nullptr.
std::shared_ptr<UIScrollView> scrollViewAlong(const std::shared_ptr<UIView>& view, bool vertical);

} // namespace platform::host
