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

private:
    platform::Rect iconSoundFrame_;
    std::shared_ptr<core::MessageInfo> message_;
    std::shared_ptr<UIImageView> iconImage_;
    std::shared_ptr<UIImageView> iconSound_;
    std::shared_ptr<UILabel> lblTime_;
    std::shared_ptr<UILabel> lblContent_;
    std::shared_ptr<UILabel> lblSmsSend_;
    std::shared_ptr<UILabel> lblMsgSend_;
};
