#include "platform/uikit/UIGestureRecognizer.h"

#include "platform/uikit/UITouch.h"
#include "platform/uikit/UIView.h"

UIGestureRecognizer::~UIGestureRecognizer() = default;

void UIGestureRecognizer::setEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    if (!enabled) {
        if (isActive())
            setState(UIGestureRecognizerStateCancelled);
        else if (state_ == UIGestureRecognizerStatePossible)
            state_ = UIGestureRecognizerStateFailed;
    }
}

platform::Point UIGestureRecognizer::locationInView(const UIView* view) const
{
    platform::Point p = lastCentroidInWindow_;
    if (!view)
        return p;
    return view->convertPointFromView(p, nullptr);
}

void UIGestureRecognizer::rememberTouches(const UITouchSet& touches)
{
    if (touches.empty())
        return;
    touches_ = touches;
    double x = 0;
    double y = 0;
    for (auto& touch : touches) {
        auto p = touch->windowLocation();
        x += p.x;
        y += p.y;
    }
    lastCentroidInWindow_ = platform::Point(x / double(touches.size()), y / double(touches.size()));
}

void UIGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent*) { rememberTouches(touches); }
void UIGestureRecognizer::touchesMoved(const UITouchSet& touches, UIEvent*) { rememberTouches(touches); }
void UIGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent*) { rememberTouches(touches); }

void UIGestureRecognizer::touchesCancelled(const UITouchSet&, UIEvent*)
{
    if (isActive())
        setState(UIGestureRecognizerStateCancelled);
    else if (state_ == UIGestureRecognizerStatePossible)
        setState(UIGestureRecognizerStateFailed);
}

void UIGestureRecognizer::reset()
{
    state_ = UIGestureRecognizerStatePossible;
    touches_.clear();
}

bool UIGestureRecognizer::isFinished() const
{
    return state_ == UIGestureRecognizerStateEnded || state_ == UIGestureRecognizerStateCancelled
        || state_ == UIGestureRecognizerStateFailed;
}

bool UIGestureRecognizer::canRecognizeSimultaneouslyWith(UIGestureRecognizer* other)
{
    if (auto d = delegate(); d && d->gestureRecognizerShouldRecognizeSimultaneously(this, other))
        return true;
    if (auto d = other->delegate(); d && d->gestureRecognizerShouldRecognizeSimultaneously(other, this))
        return true;
    return false;
}

void UIGestureRecognizer::setState(UIGestureRecognizerState state)
{
    if (state == state_ && state != UIGestureRecognizerStateChanged)
        return;
    auto self = weak_from_this().lock(); // an action may drop the last reference
    bool starting = state_ == UIGestureRecognizerStatePossible
        && (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateEnded);
    if (starting) {
        if (!enabled_) {
            state_ = UIGestureRecognizerStateFailed;
            return;
        }
        if (auto d = delegate(); d && !d->gestureRecognizerShouldBegin(this)) {
            state_ = UIGestureRecognizerStateFailed;
            return;
        }
    }
    state_ = state;
    if (starting && recognitionObserver_)
        recognitionObserver_(this);
    if (state_ != state)
        return; // the observer changed our fate
    switch (state) {
    case UIGestureRecognizerStateBegan:
    case UIGestureRecognizerStateChanged:
    case UIGestureRecognizerStateEnded:
    case UIGestureRecognizerStateCancelled:
        targets_.send(this, 1);
        break;
    default:
        break;
    }
}
