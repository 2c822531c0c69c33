#include "platform/uikit/UIDatePicker.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/Text.h"
#include "platform/os/DateFormat.h"

#include <cmath>
#include <string>
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

void UIDatePicker::drawRect(platform::Context& context, const platform::Rect&)
{
    // One wheel per field, each showing the chosen value in the middle band
    // with its neighbours above and below, as the picker of numbers does.
    auto b = bounds();
    const double rowHeight = 36;
    const double middle = b.midY() - rowHeight / 2;
    context.setFillColor(platform::Color::whiteColor());
    context.fillRect(b);
    context.setFillColor(platform::Color::fromWhite(0.9));
    context.fillRect(platform::Rect(b.minX(), middle, b.width(), rowHeight));
    auto parts = platform::dateComponents(date_);
    auto two = [](int n) { return (n < 10 ? "0" : "") + std::to_string(n); };
    struct Wheel {
        int value;
        int first;
        int last;
        std::string suffix;
        bool padded;
    };
    std::vector<Wheel> wheels;
    if (mode_ == UIDatePickerModeTime || mode_ == UIDatePickerModeCountDownTimer) {
        wheels = { { parts.hour, 0, 23, "", true }, { parts.minute, 0, 59, "", true } };
    } else {
        wheels = { { parts.year, parts.year - 2, parts.year + 2, "年", false }, { parts.month, 1, 12, "月", false },
            { parts.day, 1, platform::daysInMonth(parts.year, parts.month), "日", false } };
        if (mode_ == UIDatePickerModeDateAndTime) {
            wheels.push_back({ parts.hour, 0, 23, "", true });
            wheels.push_back({ parts.minute, 0, 59, "", true });
        }
    }
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
