#include "messaging/chat/MessageSendingCell.h"

#include "platform/uikit/CALayer.h"

void MessageSendingCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    MessageBaseCell::declareLayoutBindings(bindings);
    // The dots in the file's order.
    points_.clear();
    bindings.outletCollection("points", points_);
}

void MessageSendingCell::awakeFromNib()
{
    MessageBaseCell::awakeFromNib();
    for (const auto& point : points_) {
        point->layer()->setCornerRadius(point->frame().width() / 2);
        point->setAlpha(0);
    }
    i_ = 0;
    lifetime_.cancel(timer_);
    // Held weakly: a row the table lets go stops ticking.
    timer_ = lifetime_.every(
        kTickSeconds, std::static_pointer_cast<MessageSendingCell>(sharedView()), &MessageSendingCell::handleTimer);
}

void MessageSendingCell::handleTimer()
{
    const int n = static_cast<int>(points_.size());
    if (n == 0)
        return; // a layout without dots has nothing to animate (and no modulo by zero)
    for (int k = 0; k < n; ++k)
        points_[k]->setAlpha(1.0 - static_cast<double>((k + i_) % n) / n);
    i_ = (i_ + 1) % n;
}
