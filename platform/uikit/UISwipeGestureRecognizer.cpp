#include "platform/uikit/UISwipeGestureRecognizer.h"

#include <cmath>

void UISwipeGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent* event)
{
    UIGestureRecognizer::touchesBegan(touches, event);
    if (state() != UIGestureRecognizerStatePossible)
        return;
    if (int(touches.size()) != touchesRequired_) {
        fail();
        return;
    }
    start_ = locationInView(nullptr);
}

bool UISwipeGestureRecognizer::check()
{
    auto p = locationInView(nullptr);
    double dx = p.x - start_.x;
    double dy = p.y - start_.y;
    auto along = [&](double main, double cross, bool positive) {
        double travel = positive ? main : -main;
        return travel >= kMinimumDistance && std::fabs(cross) <= travel / 2;
    };
    return ((direction_ & UISwipeGestureRecognizerDirectionRight) && along(dx, dy, true))
        || ((direction_ & UISwipeGestureRecognizerDirectionLeft) && along(dx, dy, false))
        || ((direction_ & UISwipeGestureRecognizerDirectionDown) && along(dy, dx, true))
        || ((direction_ & UISwipeGestureRecognizerDirectionUp) && along(dy, dx, false));
}

void UISwipeGestureRecognizer::touchesMoved(const UITouchSet& touches, UIEvent* event)
{
    UIGestureRecognizer::touchesMoved(touches, event);
    if (state() == UIGestureRecognizerStatePossible && check())
        setState(UIGestureRecognizerStateRecognized);
}

void UISwipeGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent* event)
{
    UIGestureRecognizer::touchesEnded(touches, event);
    if (state() != UIGestureRecognizerStatePossible)
        return;
    if (check())
        setState(UIGestureRecognizerStateRecognized);
    else
        fail();
}
