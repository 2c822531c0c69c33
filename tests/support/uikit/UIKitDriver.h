#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/os/Value.h"

#include <memory>
#include <string>
#include <vector>

class UIAlertView;
class UIActionSheet;
class UIDatePicker;
class UIPickerView;
class UITextField;
class UITextView;
class UIView;

// Input simulation and view queries for tests that drive screens. Everything
// runs on the main thread; time moves only through the main loop's clock.
namespace testsupport {

// A point on the phone's screen, in points.
struct ScreenSpot {
    double x = 0;
    double y = 0;
};
// The view's centre in screen points (its window's frame included); the
// origin when the view is on no window.
ScreenSpot screenCentreOf(const std::shared_ptr<UIView>& view);

// ---- Input -------------------------------------------------------------------

// A tap at the view's centre, delivered as the screen would: to the topmost
// window there, hit-tested (hidden views, alpha below 0.01 and views without
// user interaction are passed over), through gesture recognisers, controls and
// raw touches. Returns whether the touch landed in the view or its subviews:
// false when the view is not on screen or something else is in the way (an
// alert, a view on top) — the tap then goes to whatever is there.
bool tap(const std::shared_ptr<UIView>& view, int taps = 1);
// A tap at a point of a window's coordinates (screen coordinates for a full-screen window).
std::shared_ptr<UIView> tapAtPoint(platform::Point screenPoint);
// Taps the first visible button (or bar item button) under root whose current title is the text.
bool tapButton(const std::shared_ptr<UIView>& root, const std::string& title);
// Touch-down on the view, a move to a point (window coordinates) and lift-off there.
bool dragOut(const std::shared_ptr<UIView>& view, platform::Point windowEnd);
// Taps the field to make it first responder (keyboard notifications, delegate
// calls) unless it already is, then types the text one character at a time,
// each through the delegate's should-change question. Returns whether every
// character went in.
bool type(const std::shared_ptr<UITextField>& field, const std::string& text);
bool type(const std::shared_ptr<UITextView>& textView, const std::string& text);
// The return key of the keyboard for the field.
bool returnKey(const std::shared_ptr<UITextField>& field);
// Presses a button of the topmost alert or action sheet, by title or index.
bool tapAlertButton(const std::string& title);
bool tapAlertButton(long index);
bool tapSheetButton(const std::string& title);
bool tapSheetButton(long index);
enum class SwipeDirection { Right, Left, Up, Down };
// A quick stroke of 120 points from the view's centre.
bool swipe(const std::shared_ptr<UIView>& view, SwipeDirection direction);
// Touch-down, holding for `seconds` of the main loop's clock, lift-off.
bool longPress(const std::shared_ptr<UIView>& view, double seconds = 0.6);
// A finger dragged along column `column` of `columns` equal wheels of a
// picker shown on screen, from the middle band up by `rows` row heights (down
// for negative rows). False when the touch does not land in the picker
// (not on screen, or something else is in the way).
bool turnWheel(const std::shared_ptr<UIView>& picker, long column, long columns, long rows);
// A finger turning a picker's wheel to the row (the delegate hears of it
// when the finger lifts); false when the row does not exist or the wheel
// cannot be touched.
bool spinPicker(const std::shared_ptr<UIPickerView>& picker, long row, long component = 0);
// A finger turning a date picker's wheels to the date (to the minute); false
// when a wheel cannot be touched or the date cannot be reached (outside the
// picker's minimum and maximum).
bool spinDatePicker(const std::shared_ptr<UIDatePicker>& picker, platform::Date date);
// Chooses an item of the shown edit menu.
bool tapMenuItem(const std::string& title);

// ---- Queries -----------------------------------------------------------------

// Depth first, root included, in subview order.
std::vector<std::shared_ptr<UIView>> findViewsByClass(
    const std::shared_ptr<UIView>& root, const std::string& className);
std::shared_ptr<UIView> findViewByTag(const std::shared_ptr<UIView>& root, int tag);
std::shared_ptr<UIView> findViewByOutlet(const std::shared_ptr<UIView>& root, const std::string& outletName);
// The view of that outlet under root (root included) as its class; nullptr
// when there is none or it is of another class.
template <class T> std::shared_ptr<T> findOutlet(const std::shared_ptr<UIView>& root, const std::string& outletName)
{
    return std::dynamic_pointer_cast<T>(findViewByOutlet(root, outletName));
}
// The first view whose text (label, button title, text field, text view) is the text.
std::shared_ptr<UIView> findViewByText(const std::shared_ptr<UIView>& root, const std::string& text);
// The view's own text, "" for views without one.
std::string textOf(const std::shared_ptr<UIView>& view);
// In a visible window, and neither it nor an ancestor hidden or transparent.
bool isShownOnScreen(const std::shared_ptr<UIView>& view);
std::shared_ptr<UIAlertView> currentAlert();
std::shared_ptr<UIActionSheet> currentSheet();

// Puts every process-wide piece of the view layer back as a new process has
// it: windows, alerts and sheets, first responder and keyboard (no
// notifications), animation log, edit menu, pasteboard, screen size, tap history.
void resetUIKitState();

} // namespace testsupport
