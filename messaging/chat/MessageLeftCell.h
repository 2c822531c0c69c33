#pragma once

#include "messaging/chat/MessageBaseCell.h"
#include "platform/graphics/Geometry.h"

// A text bubble from the other party: the bubble grows with the text up to
// a fixed text width and never shrinks below its size in the layout.
class MessageLeftCell : public MessageBaseCell {
public:
    ORB_CLASS_NAME(MessageLeftCell)

    // Text wraps within this width.
    static constexpr double kMaxTextWidth = 220;

    MessageLeftCell() = default;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setMessage(std::shared_ptr<core::MessageInfo> message) override;

    // The row size for a message (bubble width, row height), measured on the
    // class's prototype cell; zero when the layout cannot be loaded.
    static platform::Size computeSize(const core::MessageInfo& message);
    // The same, measured on this cell.
    platform::Size sizeForMessage(const core::MessageInfo& message) const;

    float xMargin() const { return xMargin_; }
    float yMargin() const { return yMargin_; }
    float minWidth() const { return minWidth_; }
    float minHeight() const { return minHeight_; }
    const std::shared_ptr<UILabel>& lblContent() const { return lblContent_; }

protected:
    // Where the bubble of that width goes: the left one keeps its x.
    virtual double bubbleX(double width) const;

private:
    float xMargin_ = 0;
    float yMargin_ = 0;
    float minWidth_ = 0;
    float minHeight_ = 0;
    std::shared_ptr<UILabel> lblContent_;
};
