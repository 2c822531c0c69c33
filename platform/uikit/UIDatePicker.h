#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Value.h"
#include "platform/uikit/PickerWheels.h"
#include "platform/uikit/UIControl.h"

#include <optional>

enum UIDatePickerMode {
    UIDatePickerModeTime = 0,
    UIDatePickerModeDate = 1,
    UIDatePickerModeDateAndTime = 2,
    UIDatePickerModeCountDownTimer = 3,
};

// A date wheel. The date stays within the minimum and maximum when they are
// set. Setting the date from code sends nothing; a user's spin (a finger's,
// once it lifts; each notch of the mouse wheel; spinToDate) sends ValueChanged.
class UIDatePicker : public UIControl, public PickerWheels {
public:
    UIDatePicker();
    explicit UIDatePicker(const platform::Rect& frame);
    ORB_CLASS_NAME(UIDatePicker)

    UIDatePickerMode datePickerMode() const { return mode_; }
    void setDatePickerMode(UIDatePickerMode mode) { mode_ = mode; }
    platform::Date date() const { return date_; }
    void setDate(platform::Date date, bool animated = false);
    std::optional<platform::Date> minimumDate() const { return minimum_; }
    void setMinimumDate(std::optional<platform::Date> date);
    std::optional<platform::Date> maximumDate() const { return maximum_; }
    void setMaximumDate(std::optional<platform::Date> date);
    int minuteInterval() const { return minuteInterval_; }
    void setMinuteInterval(int minutes)
    {
        minuteInterval_ = minutes >= 1 && minutes <= 30 && 60 % minutes == 0 ? minutes : 1;
    }

    void spinToDate(platform::Date date);
    bool turnWheelAt(platform::Point point, long rows) override;

    // The wheels of the mode (year, month and day for dates; hours and
    // minutes for times), the chosen value in the middle band.
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

private:
    platform::Date clamp(platform::Date date) const;
    // Turns the wheel under the point by rows without telling anyone; true
    // when the date changed.
    bool turn(platform::Point point, long rows);

    PickerWheelDrag drag_;
    platform::Date dragStartDate_;
    bool dragging_ = false;

    UIDatePickerMode mode_ = UIDatePickerModeDateAndTime;
    platform::Date date_;
    std::optional<platform::Date> minimum_;
    std::optional<platform::Date> maximum_;
    int minuteInterval_ = 1;
};
