#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/TargetAction.h"
#include "platform/uikit/UIView.h"

#include <string>
#include <vector>

enum UIControlEvents : unsigned {
    UIControlEventTouchDown = 1 << 0,
    UIControlEventTouchDownRepeat = 1 << 1,
    UIControlEventTouchDragInside = 1 << 2,
    UIControlEventTouchDragOutside = 1 << 3,
    UIControlEventTouchDragEnter = 1 << 4,
    UIControlEventTouchDragExit = 1 << 5,
    UIControlEventTouchUpInside = 1 << 6,
    UIControlEventTouchUpOutside = 1 << 7,
    UIControlEventTouchCancel = 1 << 8,
    UIControlEventValueChanged = 1 << 12,
    UIControlEventEditingDidBegin = 1 << 16,
    UIControlEventEditingChanged = 1 << 17,
    UIControlEventEditingDidEnd = 1 << 18,
    UIControlEventEditingDidEndOnExit = 1 << 19,
    UIControlEventAllTouchEvents = 0x00000FFF,
    UIControlEventAllEditingEvents = 0x000F0000,
    UIControlEventAllEvents = 0xFFFFFFFF,
};

enum UIControlState : unsigned {
    UIControlStateNormal = 0,
    UIControlStateHighlighted = 1 << 0,
    UIControlStateDisabled = 1 << 1,
    UIControlStateSelected = 1 << 2,
};

enum UIControlContentHorizontalAlignment {
    UIControlContentHorizontalAlignmentCenter = 0,
    UIControlContentHorizontalAlignmentLeft = 1,
    UIControlContentHorizontalAlignmentRight = 2,
    UIControlContentHorizontalAlignmentFill = 3,
};

enum UIControlContentVerticalAlignment {
    UIControlContentVerticalAlignmentCenter = 0,
    UIControlContentVerticalAlignmentTop = 1,
    UIControlContentVerticalAlignmentBottom = 2,
    UIControlContentVerticalAlignmentFill = 3,
};

// A view that turns touches into control events and sends them to its
// targets. Targets are held weakly (a target that has gone away is skipped);
// an action may take the sender as any class of its hierarchy:
//     button->addTarget(self, &LoginViewController::loginClicked, UIControlEventTouchUpInside);
//
// Tracking: touch-down highlights and sends TouchDown (and TouchDownRepeat for
// a repeated tap); moves send the drag events; lift-off inside the bounds
// sends TouchUpInside, outside TouchUpOutside; a cancelled touch sends
// TouchCancel. A disabled control takes no touches (they go to what is behind).
class UIControl : public UIView {
public:
    using UIView::UIView;
    ORB_CLASS_NAME(UIControl)

    template <class Owner, class T>
    void addTarget(
        const std::shared_ptr<Owner>& target, void (T::*action)(), unsigned events, std::string selector = {})
    {
        targets_.add(
            target, target.get(), platform::bindAction<UIControl>(target, action), std::move(selector), events);
    }
    template <class Owner, class T, class Arg>
    void addTarget(
        const std::shared_ptr<Owner>& target, void (T::*action)(Arg*), unsigned events, std::string selector = {})
    {
        targets_.add(
            target, target.get(), platform::bindAction<UIControl>(target, action), std::move(selector), events);
    }
    // A target and an action made by the caller (the layout loader binds this way).
    void addTargetAction(std::weak_ptr<const void> target, const void* targetKey,
        std::function<void(UIControl*)> action, unsigned events, std::string selector = {})
    {
        targets_.add(std::move(target), targetKey, std::move(action), std::move(selector), events);
    }
    // No target: the function itself is the action (called while the control lives).
    void addAction(std::function<void(UIControl*)> action, unsigned events)
    {
        targets_.add({}, nullptr, std::move(action), {}, events);
    }
    // A null target removes every target's actions for the events.
    void removeTarget(const void* target, unsigned events, const std::string& selector = {})
    {
        targets_.remove(target, selector, events);
    }
    std::size_t numberOfActions(unsigned events) const { return targets_.count(events); }
    std::vector<std::string> actionSelectors(unsigned events) const { return targets_.selectors(events); }
    void sendActionsForControlEvents(unsigned events);

    bool isEnabled() const { return enabled_; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    // Normal, or the highlighted, disabled and selected bits that apply.
    unsigned state() const;
    bool isTracking() const { return tracking_; }
    bool isTouchInside() const { return touchInside_; }

    UIControlContentHorizontalAlignment contentHorizontalAlignment() const { return horizontalAlignment_; }
    void setContentHorizontalAlignment(UIControlContentHorizontalAlignment a);
    UIControlContentVerticalAlignment contentVerticalAlignment() const { return verticalAlignment_; }
    void setContentVerticalAlignment(UIControlContentVerticalAlignment a);

    std::shared_ptr<UIView> hitTest(platform::Point point, UIEvent* event) override;
    bool handlesTapsItself() const override { return enabled_; }

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

protected:
    // Tracking hooks for subclasses (a page control acts on the lift-off point).
    virtual bool beginTrackingWithTouch(UITouch* touch, UIEvent* event);
    virtual bool continueTrackingWithTouch(UITouch* touch, UIEvent* event);
    virtual void endTrackingWithTouch(UITouch* touch, UIEvent* event);
    virtual void cancelTrackingWithEvent(UIEvent* event);
    virtual void stateDidChange() { setNeedsDisplay(); }

private:
    platform::TargetActionList<UIControl> targets_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
    bool touchInside_ = false;
    UIControlContentHorizontalAlignment horizontalAlignment_ = UIControlContentHorizontalAlignmentCenter;
    UIControlContentVerticalAlignment verticalAlignment_ = UIControlContentVerticalAlignmentCenter;
};
