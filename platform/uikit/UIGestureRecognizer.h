#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/graphics/Geometry.h"
#include "platform/os/Value.h"
#include "platform/uikit/TargetAction.h"
#include "platform/uikit/UIResponder.h"

#include <functional>
#include <memory>
#include <string>

class UIGestureRecognizer;
class UIView;

enum UIGestureRecognizerState {
    UIGestureRecognizerStatePossible = 0,
    UIGestureRecognizerStateBegan = 1,
    UIGestureRecognizerStateChanged = 2,
    UIGestureRecognizerStateEnded = 3,
    UIGestureRecognizerStateCancelled = 4,
    UIGestureRecognizerStateFailed = 5,
    UIGestureRecognizerStateRecognized = UIGestureRecognizerStateEnded,
};

// Optional questions a recogniser asks; the defaults are the answers a
// recogniser gets without a delegate.
class UIGestureRecognizerDelegate {
public:
    virtual ~UIGestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(UIGestureRecognizer*) { return true; }
    virtual bool gestureRecognizerShouldReceiveTouch(UIGestureRecognizer*, UITouch*) { return true; }
    virtual bool gestureRecognizerShouldRecognizeSimultaneously(UIGestureRecognizer*, UIGestureRecognizer*)
    {
        return false;
    }
};

// Turns the touches on its view (and the view's subviews) into a gesture and
// sends its actions. Touches reach recognisers before the view; when a
// recogniser recognises and cancelsTouchesInView is on, the view's touches are
// cancelled. When one recogniser recognises, the others watching the same
// touches fail unless a delegate lets them recognise together.
class UIGestureRecognizer : public platform::Object, public std::enable_shared_from_this<UIGestureRecognizer> {
public:
    UIGestureRecognizer() = default;
    ~UIGestureRecognizer() override;
    ORB_CLASS_NAME(UIGestureRecognizer)

    // Targets are held weakly; the action receives the recogniser.
    template <class Owner, class T> void addTarget(const std::shared_ptr<Owner>& target, void (T::*action)())
    {
        targets_.add(target, target.get(), platform::bindAction<UIGestureRecognizer>(target, action), {}, 1);
    }
    template <class Owner, class T, class Arg>
    void addTarget(const std::shared_ptr<Owner>& target, void (T::*action)(Arg*), std::string selector = {})
    {
        targets_.add(
            target, target.get(), platform::bindAction<UIGestureRecognizer>(target, action), std::move(selector), 1);
    }
    void addAction(std::function<void(UIGestureRecognizer*)> action)
    {
        targets_.add({}, nullptr, std::move(action), {}, 1);
    }
    void removeTarget(const void* target) { targets_.remove(target, {}, 1); }

    UIGestureRecognizerState state() const { return state_; }
    std::shared_ptr<UIView> view() const { return view_.lock(); }
    bool isEnabled() const { return enabled_; }
    // Turning a recogniser off while it recognises cancels it.
    void setEnabled(bool enabled);
    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool cancels) { cancelsTouchesInView_ = cancels; }
    bool delaysTouchesBegan() const { return delaysTouchesBegan_; }
    void setDelaysTouchesBegan(bool delays) { delaysTouchesBegan_ = delays; }
    std::shared_ptr<UIGestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIGestureRecognizerDelegate> delegate) { delegate_ = std::move(delegate); }

    // The centroid of the touches last seen, in the view's coordinates.
    platform::Point locationInView(const UIView* view) const;
    std::size_t numberOfTouches() const { return touches_.size(); }

    // ---- Delivery (the window calls these) --------------------------------
    virtual void touchesBegan(const UITouchSet& touches, UIEvent* event);
    virtual void touchesMoved(const UITouchSet& touches, UIEvent* event);
    virtual void touchesEnded(const UITouchSet& touches, UIEvent* event);
    virtual void touchesCancelled(const UITouchSet& touches, UIEvent* event);
    // Back to Possible after a touch sequence ended in a final state.
    virtual void reset();
    bool isFinished() const;
    bool isActive() const
    {
        return state_ == UIGestureRecognizerStateBegan || state_ == UIGestureRecognizerStateChanged;
    }
    // Called when the recogniser begins or recognises, so the window can fail
    // the other recognisers and cancel the view's touches.
    void setRecognitionObserver(std::function<void(UIGestureRecognizer*)> observer)
    {
        recognitionObserver_ = std::move(observer);
    }
    bool canRecognizeSimultaneouslyWith(UIGestureRecognizer* other);
    // A recogniser that needs more touch sequences (the first tap of a double
    // tap) is not failed when another one recognises meanwhile.
    virtual bool isAwaitingFurtherTouches() const { return false; }
    void fail() { setState(UIGestureRecognizerStateFailed); }
    void attachToView(std::weak_ptr<UIView> view) { view_ = std::move(view); }

protected:
    // Moves to a new state: leaving Possible asks the delegate first (a refusal
    // fails the recogniser); Began, Changed, Ended and Cancelled send the actions.
    void setState(UIGestureRecognizerState state);
    void rememberTouches(const UITouchSet& touches);
    virtual bool isDiscrete() const { return true; }

private:
    platform::TargetActionList<UIGestureRecognizer> targets_;
    UIGestureRecognizerState state_ = UIGestureRecognizerStatePossible;
    std::weak_ptr<UIView> view_;
    std::weak_ptr<UIGestureRecognizerDelegate> delegate_;
    std::function<void(UIGestureRecognizer*)> recognitionObserver_;
    std::vector<std::shared_ptr<UITouch>> touches_;
    platform::Point lastCentroidInWindow_;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
    bool delaysTouchesBegan_ = false;
};
