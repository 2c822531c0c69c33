#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/os/Value.h"

#include <functional>
#include <memory>
#include <string>

class UITextField;
class UIView;

namespace platform {
struct Notification;
}

namespace teaching {

// What the sending screens take for "now": the device clock, or what a test
// hands them.
using DateSource = std::function<platform::Date()>;

// The framed look of the sending forms: a thin light-grey border with round
// corners around each field and text area.
void applyBoxLook(UIView& view);
// The framed look plus an always-shown empty left view that keeps the text
// off the border.
void applyFieldLook(UITextField& field, double paddingWidth);

// A day as the forms show and send it: "yyyy-MM-dd" in the device's zone.
std::string dayText(platform::Date date);
// Whether `date` falls on the same calendar day as `now` or later, in the
// device's zone: a completion day of today is allowed all day long.
bool isTodayOrLater(platform::Date date, platform::Date now);

// While the keyboard shows, the content goes up at most to this, and the text
// area keeps this gap to the keyboard.
inline constexpr double kRaisedContentY = -35;
inline constexpr double kTextViewKeyboardGap = 65;
// Where the forms' content and text area go while the keyboard shows (the
// content raised, the text area ending above the keyboard) or hides (their
// places in the layout), and how long the move takes. The content's
// superview starts at the top of the screen's view, right under the
// navigation bar: the content rises no further than keeps the text area's
// top there, for raised to its full height the text's first line would lie
// under the bar and what is typed would not be seen.
struct KeyboardLift {
    platform::Rect content;
    platform::Rect text;
    double duration = 0;
};
KeyboardLift keyboardLift(const platform::Notification& notification, bool showing, platform::Rect content,
    platform::Rect text, double viewHeight);

} // namespace teaching
