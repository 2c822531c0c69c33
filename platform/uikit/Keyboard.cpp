#include "platform/uikit/Keyboard.h"

#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

#include <cmath>

namespace platform {

namespace {

    struct KeyboardState {
        bool visible = false;
        Rect frame;
        // The keyboard area, and what it holds of the responder's.
        std::shared_ptr<UIWindow> window;
        std::shared_ptr<UIView> edge;
        std::weak_ptr<UIView> accessory;
        std::weak_ptr<UIView> input;
    };

    KeyboardState& state()
    {
        static KeyboardState s;
        return s;
    }

    Dictionary keyboardInfo(const Rect& begin, const Rect& end)
    {
        Dictionary info;
        info.set(UIKeyboardFrameBeginUserInfoKey, valueWithRect(begin));
        info.set(UIKeyboardFrameEndUserInfoKey, valueWithRect(end));
        info.set(UIKeyboardAnimationDurationUserInfoKey, Keyboard::kAnimationDuration);
        info.set(UIKeyboardAnimationCurveUserInfoKey, Keyboard::kAnimationCurve);
        return info;
    }

    // Takes a view the keyboard area holds back out of it (unless the
    // application has put it somewhere else meanwhile).
    void release(std::weak_ptr<UIView>& held, const std::shared_ptr<UIView>& keep)
    {
        auto view = held.lock();
        held.reset();
        auto& s = state();
        if (view && view != keep && s.window && view->superview().get() == s.window.get())
            view->removeFromSuperview();
    }

    void hideWindow()
    {
        auto& s = state();
        release(s.accessory, nullptr);
        release(s.input, nullptr);
        if (s.window)
            s.window->setVisible(false);
    }

    double windowLevelFor(const std::shared_ptr<UIResponder>& responder)
    {
        // Just above the window typed into: over the application's window,
        // under an alert shown over it; over an alert that is typed into.
        auto* view = dynamic_cast<UIView*>(responder.get());
        auto window = view ? view->window() : nullptr;
        return (window ? window->windowLevel() : UIWindowLevelNormal) + 0.5;
    }

    // Puts the keyboard area's window where the keyboard is, holding the
    // responder's accessory view on top and its input view under it.
    void showWindow(const std::shared_ptr<UIResponder>& responder)
    {
        auto& s = state();
        if (!s.window) {
            s.window = std::make_shared<UIWindow>(s.frame);
            s.window->setBackgroundColor(Keyboard::kPanelColor);
            s.edge = std::make_shared<UIView>(Rect(0, 0, s.frame.width(), 0.5));
            s.edge->setBackgroundColor(Keyboard::kEdgeColor);
            s.edge->setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
            s.window->addSubview(s.edge);
        }
        s.window->setFrame(s.frame);
        s.window->setWindowLevel(windowLevelFor(responder));
        auto accessory = responder ? responder->inputAccessoryView() : nullptr;
        auto input = responder ? responder->inputView() : nullptr;
        release(s.accessory, accessory);
        release(s.input, input);
        double top = 0;
        const double width = s.frame.width();
        for (auto& [view, held] : { std::pair { accessory, &s.accessory }, std::pair { input, &s.input } }) {
            if (!view)
                continue;
            double height = view->frame().height();
            view->setFrame(Rect(0, top, width, height));
            if (view->superview().get() != s.window.get())
                s.window->addSubview(view);
            *held = view;
            top += height;
        }
        if (s.window->isHidden())
            s.window->setVisible(true);
    }

} // namespace

Value valueWithRect(const Rect& rect)
{
    Dictionary d;
    d.set("x", rect.origin.x);
    d.set("y", rect.origin.y);
    d.set("width", rect.size.width);
    d.set("height", rect.size.height);
    return Value(std::move(d));
}

std::optional<Rect> rectFromValue(const Value& value)
{
    auto* d = value.asDictionary();
    if (!d)
        return std::nullopt;
    double parts[4];
    const char* keys[4] = { "x", "y", "width", "height" };
    for (int i = 0; i < 4; ++i) {
        auto* v = d->find(keys[i]);
        if (!v || !v->isNumber())
            return std::nullopt;
        parts[i] = v->doubleValue();
        if (!std::isfinite(parts[i]))
            return std::nullopt;
    }
    return Rect(parts[0], parts[1], parts[2], parts[3]);
}

bool Keyboard::isVisible() { return state().visible; }

Rect Keyboard::frame() { return state().frame; }

void Keyboard::updateForFirstResponder()
{
    auto responder = UIResponder::currentFirstResponder();
    auto screen = UIScreen::mainScreen()->bounds();
    auto& s = state();
    if (responder && responder->wantsKeyboard()) {
        double height = responder->keyboardHeight();
        if (!std::isfinite(height) || height < 0)
            height = kHeight;
        Rect end(0, screen.height() - height, screen.width(), height);
        if (s.visible && s.frame == end) {
            // Another field of the same height: its own picker and bar.
            showWindow(responder);
            return;
        }
        Rect begin = s.visible ? s.frame : Rect(0, screen.height(), screen.width(), height);
        s.visible = true;
        s.frame = end;
        showWindow(responder);
        auto info = keyboardInfo(begin, end);
        NotificationCenter::defaultCenter().post(UIKeyboardWillShowNotification, Value(), info);
        NotificationCenter::defaultCenter().post(UIKeyboardDidShowNotification, Value(), info);
        return;
    }
    if (!s.visible)
        return;
    Rect begin = s.frame;
    Rect end(0, screen.height(), screen.width(), begin.height());
    s.visible = false;
    hideWindow();
    auto info = keyboardInfo(begin, end);
    NotificationCenter::defaultCenter().post(UIKeyboardWillHideNotification, Value(), info);
    NotificationCenter::defaultCenter().post(UIKeyboardDidHideNotification, Value(), info);
}

void Keyboard::settleLater()
{
    if (!state().visible)
        return;
    auto& loop = RunLoop::main();
    if (loop.isCurrent())
        loop.post([] { Keyboard::updateForFirstResponder(); });
}

void Keyboard::reset()
{
    hideWindow();
    state() = KeyboardState {};
}

std::shared_ptr<UIWindow> Keyboard::window()
{
    auto& s = state();
    return s.visible ? s.window : nullptr;
}

} // namespace platform
