#include "platform/uikit/UIDatePicker.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/Text.h"
#include "platform/os/DateFormat.h"
#include "platform/uikit/UITouch.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

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

namespace {

enum class Field { Year, Month, Day, Hour, Minute };

struct Wheel {
    Field field;
    int value;
    int first;
    int last;
    const char* suffix;
    bool padded;
};

// The wheels of the mode, each with its value and the values it can take.
std::vector<Wheel> wheelsOf(UIDatePickerMode mode, const platform::DateComponents& parts)
{
    std::vector<Wheel> wheels;
    if (mode == UIDatePickerModeTime || mode == UIDatePickerModeCountDownTimer)
        return { { Field::Hour, parts.hour, 0, 23, "", true }, { Field::Minute, parts.minute, 0, 59, "", true } };
    wheels = { { Field::Year, parts.year, 1, 9999, "年", false }, { Field::Month, parts.month, 1, 12, "月", false },
        { Field::Day, parts.day, 1, platform::daysInMonth(parts.year, parts.month), "日", false } };
    if (mode == UIDatePickerModeDateAndTime) {
        wheels.push_back({ Field::Hour, parts.hour, 0, 23, "", true });
        wheels.push_back({ Field::Minute, parts.minute, 0, 59, "", true });
    }
    return wheels;
}

} // namespace

bool UIDatePicker::turn(platform::Point point, long rows)
{
    auto parts = platform::dateComponents(date_);
    auto wheels = wheelsOf(mode_, parts);
    const auto& wheel = wheels[std::size_t(columnAt(bounds(), point.x, long(wheels.size())))];
    int value = int(std::clamp(long(wheel.value) + std::clamp(rows, -10000L, 10000L), long(wheel.first), long(wheel.last)));
    if (value == wheel.value)
        return false;
    switch (wheel.field) {
    case Field::Year: parts.year = value; break;
    case Field::Month: parts.month = value; break;
    case Field::Day: parts.day = value; break;
    case Field::Hour: parts.hour = value; break;
    case Field::Minute: parts.minute = value; break;
    }
    // 31 January turned to February is its last day.
    parts.day = std::min(parts.day, platform::daysInMonth(parts.year, parts.month));
    auto date = platform::dateFromComponents(parts);
    if (!date)
        return false;
    auto before = date_;
    date_ = clamp(*date);
    setNeedsDisplay();
    return date_ != before;
}

bool UIDatePicker::turnWheelAt(platform::Point point, long rows)
{
    if (!turn(point, rows))
        return false;
    sendActionsForControlEvents(UIControlEventValueChanged);
    return true;
}

void UIDatePicker::touchesBegan(const UITouchSet& touches, UIEvent*)
{
    if (touches.empty() || !isEnabled())
        return;
    auto point = touches.front()->locationInView(this);
    drag_.begin(point);
    dragStartDate_ = date_;
    dragging_ = true;
}

void UIDatePicker::touchesMoved(const UITouchSet& touches, UIEvent*)
{
    if (touches.empty() || !dragging_)
        return;
    auto point = touches.front()->locationInView(this);
    if (long rows = drag_.moveTo(point))
        turn(drag_.start(), rows);
}

void UIDatePicker::touchesEnded(const UITouchSet& touches, UIEvent*)
{
    if (!std::exchange(dragging_, false) || touches.empty())
        return;
    auto point = touches.front()->locationInView(this);
    if (long rows = drag_.moveTo(point))
        turn(drag_.start(), rows);
    if (drag_.isTap())
        turn(drag_.start(), rowsFromBand(bounds(), drag_.start().y));
    // The wheel settles: listeners hear of the date it stopped on.
    if (date_ != dragStartDate_) {
        auto self = sharedView();
        sendActionsForControlEvents(UIControlEventValueChanged);
    }
}

void UIDatePicker::touchesCancelled(const UITouchSet&, UIEvent*)
{
    if (!std::exchange(dragging_, false))
        return;
    date_ = dragStartDate_;
    setNeedsDisplay();
}

void UIDatePicker::drawRect(platform::Context& context, const platform::Rect&)
{
    // One wheel per field, each showing the chosen value in the middle band
    // with its neighbours above and below, as the picker of numbers does.
    auto b = bounds();
    const double rowHeight = kRowHeight;
    const double middle = bandTop(b);
    context.setFillColor(platform::Color::whiteColor());
    context.fillRect(b);
    context.setFillColor(platform::Color::fromWhite(0.9));
    context.fillRect(platform::Rect(b.minX(), middle, b.width(), rowHeight));
    auto parts = platform::dateComponents(date_);
    auto two = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    auto wheels = wheelsOf(mode_, parts);
    const double columnWidth = b.width() / double(wheels.size());
    auto font = platform::Font::systemFont(20);
    for (std::size_t c = 0; c < wheels.size(); ++c) {
        const auto& wheel = wheels[c];
        for (int offset = -2; offset <= 2; ++offset) {
            int value = wheel.value + offset;
            if (value < wheel.first || value > wheel.last)
                continue;
            platform::Rect cell(b.minX() + double(c) * columnWidth, middle + double(offset) * rowHeight + 6, columnWidth,
                rowHeight - 6);
            auto color = offset == 0 ? platform::Color::blackColor() : platform::Color::fromWhite(0.6);
            platform::drawText(context, (wheel.padded ? two(value) : std::to_string(value)) + wheel.suffix, font, cell,
                color, platform::LineBreakMode::TruncateTail, platform::TextAlignment::Center, 1);
        }
    }
}
