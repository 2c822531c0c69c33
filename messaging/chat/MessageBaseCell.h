#pragma once

#include "core/model/MessageInfo.h"
#include "platform/graphics/Geometry.h"
#include "ui/tables/BaseCell.h"

#include <memory>
#include <string>
#include <string_view>

class MessageBaseCell;
class UIButton;
class UIControl;
class UIImageView;
class UILabel;

// What a chat bubble tells the chat screen. Every method is optional: the
// defaults do nothing, as a screen without the method would.
class MessageBaseCellDelegate {
public:
    virtual ~MessageBaseCellDelegate() = default;
    // The bubble was tapped.
    virtual void messageBaseCellDidClick(MessageBaseCell&) { }
    // A photo slot of a group-send bubble was tapped.
    virtual void messageBaseCellDidShowPhoto(MessageBaseCell&, int /*photoIndex*/) { }
    // A photo bubble learnt its photo's size: the row height must be computed again.
    virtual void messageBaseCellUpdateSize(MessageBaseCell&) { }
    // The failed mark beside one's own message whose send failed was tapped.
    virtual void messageBaseCellDidTapFailedMark(MessageBaseCell&) { }
};

// The common part of the chat's bubble rows: the sender's avatar, the send
// time and the bubble itself (a control that reports taps). Each bubble kind
// derives from it, lays itself out in the layout file named after its class
// and takes its margins from that layout when it is loaded, so the layout
// alone decides the look and the code adds only what depends on the message.
class MessageBaseCell : public BaseCell {
public:
    ORB_CLASS_NAME(MessageBaseCell)

    static constexpr double kCornerRadius = 4.0;
    // The bubble pictures ("message_bubble_left"/"_right") stretch only
    // between the tail and the corners: a wide middle, so the stretched part
    // stays smooth at its edges.
    static constexpr platform::EdgeInsets kBubbleCapInsets { 22, 17, 10, 17 };
    // The round red mark beside one's own bubble whose send failed; its
    // button is larger than the picture, for a finger.
    static constexpr const char* kFailedMarkImage = "message_send_failed";
    static constexpr const char* kFailedMarkOutlet = "btnFailed";
    static constexpr double kFailedMarkSize = 30;
    static constexpr double kFailedMarkGap = 2;

    MessageBaseCell() = default;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    // Shows a message: the avatar and the time here, the bubble in the
    // subclasses. A null message leaves the cell as it is.
    virtual void setMessage(std::shared_ptr<core::MessageInfo> message);
    const std::shared_ptr<core::MessageInfo>& message() const { return message_; }

    std::shared_ptr<MessageBaseCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<MessageBaseCellDelegate> delegate) { delegate_ = std::move(delegate); }

    const std::shared_ptr<UIControl>& wrapperView() const { return wrapperView_; }
    const std::shared_ptr<UIImageView>& imgAvatar() const { return imgAvatar_; }
    const std::shared_ptr<UILabel>& lblTime() const { return lblTime_; }
    // Shown only beside one's own message whose send failed.
    const std::shared_ptr<UIButton>& failedMark() const { return failedMark_; }
    void layoutSubviews() override;

    // The bubble's touch-up-inside action.
    void wrapperViewTouchUpInside();

    // The time label's text for a message sent at `time`, seen at `now`:
    // "今天", "昨天" or "前天" and the time of day for today and the two days
    // before (calendar days in the device's zone), the short date and time
    // otherwise, a future day included.
    static std::string timeText(platform::Date time, platform::Date now);

protected:
    // Sets the bubble's width, keeping its y and height; x as the subclass says.
    void setWrapperWidth(double width, double x);

private:
    std::shared_ptr<UIControl> wrapperView_;
    std::shared_ptr<core::MessageInfo> message_;
    std::weak_ptr<MessageBaseCellDelegate> delegate_;
    std::shared_ptr<UIImageView> imgAvatar_;
    std::shared_ptr<UILabel> lblTime_;
    std::shared_ptr<UIImageView> imgBubble_;
    std::shared_ptr<UIButton> failedMark_;
};
