#include "messaging/chat/MessageSendingCell.h"

#include "platform/uikit/CALayer.h"

namespace {

// The dots in layout order: every view named "points", depth first.
void collectPoints(const std::shared_ptr<UIView>& root, std::vector<std::shared_ptr<UIView>>& into)
{
    for (const auto& subview : root->subviews()) {
        if (subview->outletName() == "points")
            into.push_back(subview);
        collectPoints(subview, into);
    }
}

} // namespace

MessageSendingCell::~MessageSendingCell()
{
    if (timer_)
        timer_->invalidate();
}

void MessageSendingCell::awakeFromNib()
{
    MessageBaseCell::awakeFromNib();
    points_.clear();
    if (auto self = sharedView())
        collectPoints(self, points_);
    for (const auto& point : points_) {
        point->layer()->setCornerRadius(point->frame().width() / 2);
        point->setAlpha(0);
    }
    i_ = 0;
    if (timer_)
        timer_->invalidate();
    // The timer holds the cell weakly: a row the table lets go stops ticking.
    std::weak_ptr<MessageSendingCell> weakSelf = std::static_pointer_cast<MessageSendingCell>(sharedView());
    timer_ = platform::Timer::scheduled(kTickSeconds, true, [weakSelf](platform::Timer& timer) {
        if (auto self = weakSelf.lock())
            self->handleTimer();
        else
            timer.invalidate();
    });
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
