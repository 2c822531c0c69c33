#include "platform/uikit/UIControl.h"

#include "platform/uikit/UITouch.h"

void UIControl::sendActionsForControlEvents(unsigned events)
{
    auto self = sharedView(); // an action may remove us from the screen
    targets_.send(this, events);
}

void UIControl::setEnabled(bool enabled)
{
    if (enabled_ == enabled)
        return;
    enabled_ = enabled;
    if (!enabled) {
        highlighted_ = false;
        tracking_ = false;
    }
    stateDidChange();
}

void UIControl::setSelected(bool selected)
{
    if (selected_ == selected)
        return;
    selected_ = selected;
    stateDidChange();
}

void UIControl::setHighlighted(bool highlighted)
{
    if (highlighted_ == highlighted)
        return;
    highlighted_ = highlighted;
    stateDidChange();
}

unsigned UIControl::state() const
{
    unsigned s = UIControlStateNormal;
    if (highlighted_)
        s |= UIControlStateHighlighted;
    if (!enabled_)
        s |= UIControlStateDisabled;
    if (selected_)
        s |= UIControlStateSelected;
    return s;
}

void UIControl::setContentHorizontalAlignment(UIControlContentHorizontalAlignment a)
{
    horizontalAlignment_ = a;
    setNeedsLayout();
}

void UIControl::setContentVerticalAlignment(UIControlContentVerticalAlignment a)
{
    verticalAlignment_ = a;
    setNeedsLayout();
}

std::shared_ptr<UIView> UIControl::hitTest(platform::Point point, UIEvent* event)
{
    if (!enabled_)
        return nullptr;
    return UIView::hitTest(point, event);
}

bool UIControl::beginTrackingWithTouch(UITouch*, UIEvent*) { return true; }
bool UIControl::continueTrackingWithTouch(UITouch*, UIEvent*) { return true; }
void UIControl::endTrackingWithTouch(UITouch*, UIEvent*) { }
void UIControl::cancelTrackingWithEvent(UIEvent*) { }

void UIControl::touchesBegan(const UITouchSet& touches, UIEvent* event)
{
    if (touches.empty() || !enabled_)
        return;
    auto self = sharedView();
    auto* touch = touches.front().get();
    touchInside_ = true;
    tracking_ = beginTrackingWithTouch(touch, event);
    setHighlighted(true);
    unsigned events = UIControlEventTouchDown;
    if (touch->tapCount() > 1)
        events |= UIControlEventTouchDownRepeat;
    sendActionsForControlEvents(events);
}

void UIControl::touchesMoved(const UITouchSet& touches, UIEvent* event)
{
    if (touches.empty() || !enabled_)
        return;
    auto self = sharedView();
    auto* touch = touches.front().get();
    bool inside = pointInside(touch->locationInView(this), event);
    bool wasInside = touchInside_;
    touchInside_ = inside;
    setHighlighted(inside);
    if (tracking_)
        tracking_ = continueTrackingWithTouch(touch, event);
    unsigned events = inside ? UIControlEventTouchDragInside : UIControlEventTouchDragOutside;
    if (inside != wasInside)
        events |= inside ? UIControlEventTouchDragEnter : UIControlEventTouchDragExit;
    sendActionsForControlEvents(events);
}

void UIControl::touchesEnded(const UITouchSet& touches, UIEvent* event)
{
    if (touches.empty())
        return;
    auto self = sharedView();
    auto* touch = touches.front().get();
    bool inside = pointInside(touch->locationInView(this), event);
    touchInside_ = inside;
    if (tracking_)
        endTrackingWithTouch(touch, event);
    tracking_ = false;
    setHighlighted(false);
    if (!enabled_)
        return;
    sendActionsForControlEvents(inside ? UIControlEventTouchUpInside : UIControlEventTouchUpOutside);
}

void UIControl::touchesCancelled(const UITouchSet&, UIEvent* event)
{
    auto self = sharedView();
    if (tracking_)
        cancelTrackingWithEvent(event);
    tracking_ = false;
    touchInside_ = false;
    setHighlighted(false);
    sendActionsForControlEvents(UIControlEventTouchCancel);
}
