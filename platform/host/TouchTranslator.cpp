#include "platform/host/TouchTranslator.h"

#include "platform/uikit/PickerWheels.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <cmath>

namespace platform::host {

namespace {

    bool scrollsAlong(const UIScrollView& scrollView, bool vertical)
    {
        if (!scrollView.isScrollEnabled() || !scrollView.isUserInteractionEnabled())
            return false;
        auto content = scrollView.contentSize();
        auto bounds = scrollView.bounds().size;
        auto inset = scrollView.contentInset();
        // The phone's tables always bounce vertically, however short (pulling
        // a short list down is how a person refreshes it).
        if (vertical)
            return content.height + inset.top + inset.bottom > bounds.height || scrollView.alwaysBounceVertical()
                || dynamic_cast<const UITableView*>(&scrollView) != nullptr;
        return content.width + inset.left + inset.right > bounds.width;
    }

    RunLoop& mainLoop() { return RunLoop::main(); }

} // namespace

std::shared_ptr<UIScrollView> scrollViewAlong(const std::shared_ptr<UIView>& view, bool vertical)
{
    // Bounded by the depth of the tree.
    for (auto v = view; v; v = v->superview()) {
        if (auto scrollView = std::dynamic_pointer_cast<UIScrollView>(v);
            scrollView && scrollsAlong(*scrollView, vertical))
            return scrollView;
    }
    return nullptr;
}

TouchTranslator::~TouchTranslator()
{
    if (wheelTimer_ && mainLoop().isCurrent())
        mainLoop().cancelTimer(wheelTimer_);
}

Point TouchTranslator::windowPoint(Point screenPoint) const
{
    auto window = window_.lock();
    if (!window)
        return screenPoint;
    auto f = window->frame();
    return window->convertPointFromView(Point(screenPoint.x - f.origin.x, screenPoint.y - f.origin.y), nullptr);
}

bool TouchTranslator::press(Point screenPoint)
{
    if (pressed_)
        cancel();
    endWheelDrag();
    pressed_ = true;
    start_ = last_ = screenPoint;
    samples_.clear();
    samples_.push_back({ mainLoop().now(), screenPoint });
    dragged_.reset();
    hit_.reset();
    auto window = UIWindow::windowForTouchAtPoint(screenPoint);
    window_ = window;
    if (!window)
        return false;
    auto hit = window->beginTouches({ windowPoint(screenPoint) });
    hit_ = hit;
    return hit != nullptr;
}

void TouchTranslator::handOff(const std::shared_ptr<UIScrollView>& scrollView, Point screenPoint)
{
    if (auto window = window_.lock(); window && window->hasActiveTouches())
        window->cancelTouches();
    dragsX_ = scrollsAlong(*scrollView, false);
    dragsY_ = scrollsAlong(*scrollView, true);
    dragged_ = scrollView;
    scrollView->beginDrag();
    // The content catches up with the pointer at once, so it stays under it.
    scrollView->moveDrag(dragsX_ ? screenPoint.x - start_.x : 0, dragsY_ ? screenPoint.y - start_.y : 0);
}

void TouchTranslator::move(Point screenPoint)
{
    if (!pressed_)
        return;
    Point previous = last_;
    last_ = screenPoint;
    double now = mainLoop().now();
    samples_.push_back({ now, screenPoint });
    while (samples_.size() > 2 && samples_[1].time < now - kVelocityWindow)
        samples_.pop_front();

    if (auto scrollView = dragged_.lock()) {
        scrollView->moveDrag(dragsX_ ? screenPoint.x - previous.x : 0, dragsY_ ? screenPoint.y - previous.y : 0);
        return;
    }
    auto window = window_.lock();
    if (!window)
        return;
    double dx = screenPoint.x - start_.x;
    double dy = screenPoint.y - start_.y;
    if (window->hasActiveTouches() && std::hypot(dx, dy) > kSlop) {
        bool vertical = std::fabs(dy) >= std::fabs(dx);
        if (auto scrollView = scrollViewAlong(hit_.lock(), vertical)) {
            handOff(scrollView, screenPoint);
            return;
        }
    }
    if (window->hasActiveTouches())
        window->moveTouches({ windowPoint(screenPoint) });
}

void TouchTranslator::release(Point screenPoint)
{
    if (!pressed_)
        return;
    if (screenPoint.x != last_.x || screenPoint.y != last_.y)
        move(screenPoint);
    pressed_ = false;
    if (auto scrollView = dragged_.lock()) {
        dragged_.reset();
        // The speed over the last moment of the stroke: a pointer that stopped
        // before lifting leaves the content where it is.
        double now = mainLoop().now();
        double speed = 0;
        for (const auto& sample : samples_) {
            if (sample.time >= now - kVelocityWindow && now - sample.time > 0) {
                double dx = dragsX_ ? screenPoint.x - sample.point.x : 0;
                double dy = dragsY_ ? screenPoint.y - sample.point.y : 0;
                speed = std::hypot(dx, dy) / std::max(now - sample.time, 1e-3);
                break;
            }
        }
        samples_.clear();
        scrollView->endDrag(speed >= kFlickSpeed);
        return;
    }
    samples_.clear();
    if (auto window = window_.lock(); window && window->hasActiveTouches())
        window->endTouches();
}

void TouchTranslator::cancel()
{
    if (!pressed_)
        return;
    pressed_ = false;
    samples_.clear();
    if (auto scrollView = dragged_.lock()) {
        dragged_.reset();
        scrollView->endDrag(false);
        return;
    }
    if (auto window = window_.lock(); window && window->hasActiveTouches())
        window->cancelTouches();
}

void TouchTranslator::endWheelDrag()
{
    if (wheelTimer_) {
        mainLoop().cancelTimer(wheelTimer_);
        wheelTimer_ = 0;
    }
    if (auto scrollView = wheelView_.lock())
        scrollView->endDrag(false);
    wheelView_.reset();
}

bool TouchTranslator::wheel(Point screenPoint, double dx, double dy)
{
    if (pressed_ || !std::isfinite(dx) || !std::isfinite(dy) || (dx == 0 && dy == 0))
        return false;
    auto window = UIWindow::windowForTouchAtPoint(screenPoint);
    if (!window)
        return false;
    auto f = window->frame();
    auto hit = window->hitTest(
        window->convertPointFromView(Point(screenPoint.x - f.origin.x, screenPoint.y - f.origin.y), nullptr), nullptr);
    bool vertical = std::fabs(dy) >= std::fabs(dx);
    // A picker's wheel under the pointer turns a row a notch (away from the
    // person: back to earlier rows, as a list scrolls).
    for (auto view = hit; vertical && view; view = view->superview()) {
        if (auto* wheels = dynamic_cast<PickerWheels*>(view.get())) {
            long rows = dy > 0 ? -std::max(1L, std::lround(dy)) : std::max(1L, std::lround(-dy));
            auto screenOrigin = Point(screenPoint.x - f.origin.x, screenPoint.y - f.origin.y);
            auto point = view->convertPointFromView(window->convertPointFromView(screenOrigin, nullptr), window.get());
            wheels->turnWheelAt(point, std::clamp(rows, -10L, 10L));
            return true;
        }
    }
    auto scrollView = scrollViewAlong(hit, vertical);
    if (!scrollView)
        return false;
    if (wheelView_.lock() != scrollView)
        endWheelDrag();
    // Within the content's range: the wheel never pulls past an edge.
    auto offset = scrollView->contentOffset();
    auto lowest = scrollView->minimumContentOffset();
    auto highest = scrollView->maximumContentOffset();
    double moveX = vertical ? 0 : dx * kWheelStep;
    double moveY = vertical ? dy * kWheelStep : 0;
    double targetX = std::clamp(offset.x - moveX, lowest.x, std::max(lowest.x, highest.x));
    double targetY = std::clamp(offset.y - moveY, lowest.y, std::max(lowest.y, highest.y));
    if (!scrollView->isDragging()) {
        scrollView->beginDrag();
        wheelView_ = scrollView;
    }
    scrollView->moveDrag(offset.x - targetX, offset.y - targetY);
    if (wheelTimer_)
        mainLoop().cancelTimer(wheelTimer_);
    wheelTimer_ = mainLoop().addTimer(kWheelSettle, 0, [this] {
        wheelTimer_ = 0;
        endWheelDrag();
    });
    return true;
}

} // namespace platform::host
