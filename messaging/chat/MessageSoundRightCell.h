#pragma once

#include "messaging/chat/MessageSoundLeftCell.h"

// A voice bubble of one's own: it widens to the left, its right edge staying
// where the layout put it.
class MessageSoundRightCell final : public MessageSoundLeftCell {
public:
    ORB_CLASS_NAME(MessageSoundRightCell)

    MessageSoundRightCell() = default;

    void awakeFromNib() override;
    float wrapperX() const { return wrapperX_; }

protected:
    double bubbleX(double width) const override { return wrapperX_ - width; }
    const char* iconImagePrefix() const override { return "message_sound_cell_right_icon"; }

private:
    // The layout bubble's right edge.
    float wrapperX_ = 0;
};
