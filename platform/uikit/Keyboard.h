#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/os/Value.h"

#include <memory>
#include <optional>

class UIWindow;

// The notifications the phone posts around its keyboard, with their user-info keys.
inline constexpr const char* UIKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* UIKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline constexpr const char* UIKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline constexpr const char* UIKeyboardDidHideNotification = "UIKeyboardDidHideNotification";
inline constexpr const char* UIKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr const char* UIKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline constexpr const char* UIKeyboardAnimationDurationUserInfoKey = "UIKeyboardAnimationDurationUserInfoKey";
inline constexpr const char* UIKeyboardAnimationCurveUserInfoKey = "UIKeyboardAnimationCurveUserInfoKey";

namespace platform {

// Rectangles travel in notification user info as dictionaries
// {"x", "y", "width", "height"}; these convert both ways.
Value valueWithRect(const Rect& rect);
// nullopt unless the value is a dictionary with four finite numbers.
std::optional<Rect> rectFromValue(const Value& value);

// The software keyboard: 216 points high at the bottom of the screen, shown in
// 0.25 s. It comes up while the first responder wants it (a text field or text
// view) and goes away when none does. Showing posts will-show then did-show,
// hiding will-hide then did-hide, on the default notification centre, with the
// begin and end frames (screen coordinates), the duration 0.25 and the curve 7.
// The notifications are posted at once: headless, the slide takes no time.
//
// The keyboard area is a window of its own, as on the phone: shown over the
// window of the responder being typed into (below alerts over it), filling the
// keyboard's frame with the panel's colour and holding the responder's input
// view (a picker in place of the keys) under its accessory view (a bar of
// buttons). So the picker's wheels and the bar's buttons take touches like any
// view, and nothing under the keyboard does.
class Keyboard final {
public:
    Keyboard() = delete;

    static constexpr double kHeight = 216;
    static constexpr double kAnimationDuration = 0.25;
    static constexpr int kAnimationCurve = 7;
    // A plain panel where the phone's keys would be, with a darker top edge.
    static constexpr Color kPanelColor = Color::fromRGB255(206, 210, 217);
    static constexpr Color kEdgeColor = Color::fromRGB255(160, 164, 171);

    static bool isVisible();
    // The frame on screen while visible (the last one while hidden).
    static Rect frame();

    // Shows, resizes or hides the keyboard to match the current first responder.
    static void updateForFirstResponder();
    // Settles the keyboard on the main loop's next turn: a first responder that
    // was destroyed cannot resign, so the keyboard is checked again afterwards.
    static void settleLater();
    // Hides without asking anyone (tests resetting between cases: no notification).
    static void reset();

    // The keyboard area's window while the keyboard is up; nullptr otherwise.
    static std::shared_ptr<UIWindow> window();
};

} // namespace platform
