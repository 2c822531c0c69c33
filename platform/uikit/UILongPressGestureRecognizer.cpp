#include "platform/uikit/UILongPressGestureRecognizer.h"

#include <cmath>

UILongPressGestureRecognizer::~UILongPressGestureRecognizer() { stopTimer(); }

void UILongPressGestureRecognizer::setMinimumPressDuration(double seconds)
{
    minimumPressDuration_ = std::isfinite(seconds) && seconds > 0 ? seconds : 0;
}

void UILongPressGestureRecognizer::stopTimer()
{
    if (timer_) {
        auto& loop = platform::RunLoop::main();
        if (loop.isCurrent())
            loop.cancelTimer(timer_);
        timer_ = 0;
    }
}

void UILongPressGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent* event)
{
    UIGestureRecognizer::touchesBegan(touches, event);
    if (state() != UIGestureRecognizerStatePossible)
        return;
    if (int(touches.size()) != touchesRequired_) {
        fail();
        return;
    }
    start_ = locationInView(nullptr);
    stopTimer();
    std::weak_ptr<UIGestureRecognizer> weak = weak_from_this();
    timer_ = platform::RunLoop::main().addTimer(minimumPressDuration_, 0, [weak] {
        auto self = std::static_pointer_cast<UILongPressGestureRecognizer>(weak.lock());
        if (!self)
            return;
        self->timer_ = 0;
        if (self->state() == UIGestureRecognizerStatePossible)
            self->setState(UIGestureRecognizerStateBegan);
    });
}

void UILongPressGestureRecognizer::touchesMoved(const UITouchSet& touches, UIEvent* event)
{
    UIGestureRecognizer::touchesMoved(touches, event);
    if (state() == UIGestureRecognizerStatePossible) {
        auto p = locationInView(nullptr);
        if (std::hypot(p.x - start_.x, p.y - start_.y) > allowableMovement_) {
            stopTimer();
            fail();
        }
        return;
    }
    if (isActive())
        setState(UIGestureRecognizerStateChanged);
}

void UILongPressGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent* event)
{
    UIGestureRecognizer::touchesEnded(touches, event);
    stopTimer();
    if (isActive())
        setState(UIGestureRecognizerStateEnded);
    else if (state() == UIGestureRecognizerStatePossible)
        fail();
}

void UILongPressGestureRecognizer::touchesCancelled(const UITouchSet& touches, UIEvent* event)
{
    stopTimer();
    UIGestureRecognizer::touchesCancelled(touches, event);
}

void UILongPressGestureRecognizer::reset()
{
    stopTimer();
    UIGestureRecognizer::reset();
}
