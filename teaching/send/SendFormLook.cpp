#include "teaching/send/SendFormLook.h"

#include "core/util/ORBHelper.h"
#include "platform/os/DateFormat.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIView.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace teaching {

namespace {

    constexpr double kBorderWidth = 1.0;
    constexpr double kBorderWhite = 205.0 / 255.0;
    constexpr double kBorderAlpha = 0.8;
    constexpr double kCornerRadius = 4.0;
    constexpr double kPaddingHeight = 20;
    constexpr int kDayFormat = 1;

} // namespace

void applyBoxLook(UIView& view)
{
    auto layer = view.layer();
    layer->setBorderWidth(kBorderWidth);
    layer->setBorderColor(platform::Color::fromWhite(kBorderWhite, kBorderAlpha));
    layer->setCornerRadius(kCornerRadius);
}

void applyFieldLook(UITextField& field, double paddingWidth)
{
    applyBoxLook(field);
    field.setLeftView(std::make_shared<UIView>(platform::Rect(0, 0, paddingWidth, kPaddingHeight)));
    field.setLeftViewMode(UITextFieldViewModeAlways);
}

std::string dayText(platform::Date date) { return core::ORBHelper::stringFromDate(date, kDayFormat); }

bool isTodayOrLater(platform::Date date, platform::Date now)
{
    auto day = platform::dateComponents(date);
    auto today = platform::dateComponents(now);
    return std::tie(day.year, day.month, day.day) >= std::tie(today.year, today.month, today.day);
}

KeyboardLift keyboardLift(const platform::Notification& notification, bool showing, platform::Rect content,
    platform::Rect text, double viewHeight)
{
    double duration = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey).doubleValue();
    KeyboardLift lift { content, text, std::isfinite(duration) && duration > 0 ? duration : 0 };
    if (showing) {
        auto end = platform::rectFromValue(notification.userInfo.get(UIKeyboardFrameEndUserInfoKey));
        double keyboard = std::floor(end ? end->height() : platform::Keyboard::kHeight);
        lift.content.origin.y = std::max(kRaisedContentY, -text.origin.y);
        lift.text.size.height = viewHeight - keyboard - kTextViewKeyboardGap;
    }
    return lift;
}

} // namespace teaching
