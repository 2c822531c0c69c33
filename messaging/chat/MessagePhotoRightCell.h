#pragma once

#include "messaging/chat/MessagePhotoLeftCell.h"

// A photo bubble of one's own: its right edge keeps the layout's distance
// from the cell's right edge.
class MessagePhotoRightCell final : public MessagePhotoLeftCell {
public:
    ORB_CLASS_NAME(MessagePhotoRightCell)

    MessagePhotoRightCell() = default;

    void awakeFromNib() override;
    static double computeHeight(const core::MessageInfo& message);

    float rightMargin() const { return rightMargin_; }

protected:
    double bubbleX(double width) const override { return bounds().width() - width - rightMargin_; }

private:
    float rightMargin_ = 0;
};
