#include "platform/uikit/UIDatePicker.h"

#include <cmath>

UIDatePicker::UIDatePicker()
    : UIControl(platform::Rect(0, 0, 320, 216))
    , date_(platform::Date::now())
{
}

UIDatePicker::UIDatePicker(const platform::Rect& frame)
    : UIControl(frame)
    , date_(platform::Date::now())
{
}

platform::Date UIDatePicker::clamp(platform::Date date) const
{
    if (!std::isfinite(date.seconds))
        return date_;
    if (minimum_ && date < *minimum_)
        date = *minimum_;
    if (maximum_ && date > *maximum_)
        date = *maximum_;
    return date;
}

void UIDatePicker::setDate(platform::Date date, bool)
{
    date_ = clamp(date);
    setNeedsDisplay();
}

void UIDatePicker::setMinimumDate(std::optional<platform::Date> date)
{
    minimum_ = date;
    date_ = clamp(date_);
}

void UIDatePicker::setMaximumDate(std::optional<platform::Date> date)
{
    maximum_ = date;
    date_ = clamp(date_);
}

void UIDatePicker::spinToDate(platform::Date date)
{
    auto before = date_;
    date_ = clamp(date);
    setNeedsDisplay();
    if (date_ != before)
        sendActionsForControlEvents(UIControlEventValueChanged);
}
