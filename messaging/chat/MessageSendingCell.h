#pragma once

#include "messaging/chat/MessageBaseCell.h"
#include "platform/os/Timer.h"
#include "ui/Lifetime.h"

#include <memory>
#include <vector>

// The row of a message still on its way: one's own bubble with a row of dots
// whose bright one walks along while the message is being sent.
class MessageSendingCell final : public MessageBaseCell {
public:
    ORB_CLASS_NAME(MessageSendingCell)

    static constexpr double kTickSeconds = 0.25;

    MessageSendingCell() = default;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    // One step of the animation.
    void handleTimer();

    const std::shared_ptr<platform::Timer>& timer() const { return timer_; }
    int i() const { return i_; }
    const std::vector<std::shared_ptr<UIView>>& points() const { return points_; }

private:
    Lifetime lifetime_;
    std::shared_ptr<platform::Timer> timer_;
    int i_ = 0;
    std::vector<std::shared_ptr<UIView>> points_;
};
