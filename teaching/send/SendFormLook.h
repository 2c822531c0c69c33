#pragma once

#include "platform/os/Value.h"

#include <functional>
#include <memory>
#include <string>

class UITextField;
class UIView;

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

} // namespace teaching
