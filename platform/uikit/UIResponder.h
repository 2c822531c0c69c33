#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Value.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class UITouch;
class UIEvent;
class UIView;

using UITouchSet = std::vector<std::shared_ptr<UITouch>>;

// An object in the responder chain: views, windows and (later) view
// controllers. Everything here runs on the main thread.
//
// There is one first responder for the process (the phone's key window owns
// it; we have one screen). A responder that is destroyed stops being first
// responder without being asked.
class UIResponder : public platform::Object, public std::enable_shared_from_this<UIResponder> {
public:
    UIResponder() = default;
    ~UIResponder() override;
    UIResponder(const UIResponder&) = delete;
    UIResponder& operator=(const UIResponder&) = delete;

    ORB_CLASS_NAME(UIResponder)

    // The next responder up the chain, or nullptr at its end.
    virtual std::shared_ptr<UIResponder> nextResponder() const { return nullptr; }

    virtual bool canBecomeFirstResponder() const { return false; }
    // Asks the current first responder to resign first; false when it refuses
    // or when this responder cannot become first responder now.
    virtual bool becomeFirstResponder();
    virtual bool canResignFirstResponder() { return true; }
    // True also when the responder was not first responder.
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;
    static std::shared_ptr<UIResponder> currentFirstResponder();
    // Makes the current first responder resign even if it refuses
    // (endEditing with force, tests resetting between cases).
    static void forceResignCurrentFirstResponder();

    // Whether a keyboard (or an input view) comes up while this responder is
    // first responder, and how tall it is.
    virtual bool wantsKeyboard() const { return false; }
    virtual double keyboardHeight() const;
    // Shown in place of the keyboard (a picker) and on top of it (a bar of
    // buttons) while this responder is first responder; none by default.
    virtual std::shared_ptr<UIView> inputView() const { return nullptr; }
    virtual std::shared_ptr<UIView> inputAccessoryView() const { return nullptr; }

    // Raw touches. The default passes them on to the next responder.
    virtual void touchesBegan(const UITouchSet& touches, UIEvent* event);
    virtual void touchesMoved(const UITouchSet& touches, UIEvent* event);
    virtual void touchesEnded(const UITouchSet& touches, UIEvent* event);
    virtual void touchesCancelled(const UITouchSet& touches, UIEvent* event);

    // Edit-menu actions by selector name ("copy:", "paste:", ...). The menu
    // asks the chain from the first responder: the first responder that can
    // perform the action performs it.
    virtual bool canPerformAction(std::string_view selector) const;
    // Returns whether the action was performed.
    virtual bool performAction(std::string_view selector);

protected:
    // Called after the responder became or stopped being first responder
    // (text inputs call their delegates here).
    virtual void didBecomeFirstResponder() { }
    virtual void didResignFirstResponder() { }
    // Whether the responder may become first responder at this moment (views
    // must be in a window).
    virtual bool canBecomeFirstResponderNow() const { return true; }
};
