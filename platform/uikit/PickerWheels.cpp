#include "platform/uikit/PickerWheels.h"

#include <algorithm>
#include <cmath>

long PickerWheels::columnAt(const platform::Rect& bounds, double x, long count)
{
    if (count <= 0 || !(bounds.width() > 0) || !std::isfinite(x))
        return 0;
    double column = std::floor((x - bounds.minX()) / (bounds.width() / double(count)));
    return std::clamp(static_cast<long>(std::clamp(column, -1.0, double(count))), 0L, count - 1);
}

long PickerWheels::rowsFromBand(const platform::Rect& bounds, double y)
{
    if (!std::isfinite(y))
        return 0;
    double rows = std::floor((y - bandTop(bounds)) / kRowHeight);
    return static_cast<long>(std::clamp(rows, -1000.0, 1000.0));
}

void PickerWheelDrag::begin(platform::Point point)
{
    start_ = point;
    turned_ = 0;
    moved_ = false;
}

long PickerWheelDrag::moveTo(platform::Point point)
{
    double travel = start_.y - point.y;
    if (!std::isfinite(travel))
        return 0;
    if (std::fabs(travel) > PickerWheels::kTapSlop || std::fabs(point.x - start_.x) > PickerWheels::kTapSlop)
        moved_ = true;
    long rows = static_cast<long>(std::lround(std::clamp(travel / PickerWheels::kRowHeight, -1e6, 1e6)));
    long now = rows - turned_;
    turned_ = rows;
    return now;
}
