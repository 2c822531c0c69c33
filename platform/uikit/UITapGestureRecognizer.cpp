#include "platform/uikit/UITapGestureRecognizer.h"

#include "platform/uikit/UITouch.h"

#include <algorithm>
#include <cmath>

namespace {

int tapCountOf(const UITouchSet& touches)
{
    int count = 0;
    for (auto& touch : touches)
        count = std::max(count, touch->tapCount());
    return count;
}

} // namespace

void UITapGestureRecognizer::touchesBegan(const UITouchSet& touches, UIEvent* event)
{
    UIGestureRecognizer::touchesBegan(touches, event);
    if (state() != UIGestureRecognizerStatePossible)
        return;
    currentTapCount_ = tapCountOf(touches);
    if (int(touches.size()) > touchesRequired_ || currentTapCount_ > tapsRequired_) {
        fail();
        return;
    }
    start_ = locationInView(nullptr);
}

void UITapGestureRecognizer::touchesMoved(const UITouchSet& touches, UIEvent* event)
{
    UIGestureRecognizer::touchesMoved(touches, event);
    if (state() != UIGestureRecognizerStatePossible)
        return;
    auto p = locationInView(nullptr);
    if (std::hypot(p.x - start_.x, p.y - start_.y) > kAllowableMovement)
        fail();
}

void UITapGestureRecognizer::touchesEnded(const UITouchSet& touches, UIEvent* event)
{
    UIGestureRecognizer::touchesEnded(touches, event);
    if (state() != UIGestureRecognizerStatePossible)
        return;
    if (int(touches.size()) != touchesRequired_) {
        fail();
        return;
    }
    if (currentTapCount_ == tapsRequired_)
        setState(UIGestureRecognizerStateRecognized);
    // Fewer taps so far: wait for the next touch sequence.
}

bool UITapGestureRecognizer::isAwaitingFurtherTouches() const
{
    return state() == UIGestureRecognizerStatePossible && currentTapCount_ < tapsRequired_;
}
