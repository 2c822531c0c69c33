#pragma once

#include "core/model/MessageInfo.h"
#include "platform/graphics/Geometry.h"
#include "ui/tables/BaseCell.h"

#include <memory>

class UIImageView;
class UILabel;

// One group send of this account in the message box: its text, whether it
// carried photos or a voice clip, its time, and how it fared: SMS copies
// failed/delivered and app receivers unread/read.
class MessageGroupCell final : public BaseCell {
public:
    ORB_CLASS_NAME(MessageGroupCell)

    MessageGroupCell() = default;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setMessage(std::shared_ptr<core::MessageInfo> message);
    const std::shared_ptr<core::MessageInfo>& message() const { return message_; }

    const platform::Rect& iconSoundFrame() const { return iconSoundFrame_; }
    std::shared_ptr<UIImageView> iconImage() const { return iconImage_.lock(); }
    std::shared_ptr<UIImageView> iconSound() const { return iconSound_.lock(); }
    std::shared_ptr<UILabel> lblTime() const { return lblTime_.lock(); }
    std::shared_ptr<UILabel> lblContent() const { return lblContent_.lock(); }
    std::shared_ptr<UILabel> lblSmsSend() const { return lblSmsSend_.lock(); }
    std::shared_ptr<UILabel> lblMsgSend() const { return lblMsgSend_.lock(); }

private:
    platform::Rect iconSoundFrame_;
    std::shared_ptr<core::MessageInfo> message_;
    std::weak_ptr<UIImageView> iconImage_;
    std::weak_ptr<UIImageView> iconSound_;
    std::weak_ptr<UILabel> lblTime_;
    std::weak_ptr<UILabel> lblContent_;
    std::weak_ptr<UILabel> lblSmsSend_;
    std::weak_ptr<UILabel> lblMsgSend_;
};
