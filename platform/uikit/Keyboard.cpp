#include "platform/uikit/Keyboard.h"

#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIScreen.h"

#include <cmath>

namespace platform {

namespace {

    struct KeyboardState {
        bool visible = false;
        Rect frame;
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
        if (s.visible && s.frame == end)
            return;
        Rect begin = s.visible ? s.frame : Rect(0, screen.height(), screen.width(), height);
        s.visible = true;
        s.frame = end;
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

void Keyboard::reset() { state() = KeyboardState {}; }

} // namespace platform
