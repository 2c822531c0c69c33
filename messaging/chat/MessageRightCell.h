#pragma once

#include "messaging/chat/MessageLeftCell.h"

// A text bubble of one's own: sized like the left one, but it grows to the
// left so that its right edge stays beside the avatar.
class MessageRightCell final : public MessageLeftCell {
public:
    ORB_CLASS_NAME(MessageRightCell)

    MessageRightCell() = default;

    void awakeFromNib() override;
    static platform::Size computeSize(const core::MessageInfo& message);

protected:
    double bubbleX(double width) const override { return rightEdge_ - width; }

private:
    // The bubble's right edge in the layout.
    double rightEdge_ = 0;
};
