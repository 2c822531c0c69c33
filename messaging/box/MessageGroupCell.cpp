#include "messaging/box/MessageGroupCell.h"

#include "messaging/box/MessageSingleCell.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

#include <string>

namespace {

std::string pair(int first, int second) { return std::to_string(first) + "/" + std::to_string(second); }

} // namespace

void MessageGroupCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("iconImage", iconImage_);
    bindings.outlet("iconSound", iconSound_);
    bindings.outlet("lblTime", lblTime_);
    bindings.outlet("lblContent", lblContent_);
    bindings.outlet("lblSmsSend", lblSmsSend_);
    bindings.outlet("lblMsgSend", lblMsgSend_);
}

void MessageGroupCell::awakeFromNib()
{
    UIView::awakeFromNib();
    iconSoundFrame_ = iconSound_->frame();
    setBackgroundColor(platform::Color::whiteColor());
    setBackgroundView(std::make_shared<UIImageView>(UIImage::imageNamed("message_group_cell_bg.png")));
    setSelectedBackgroundView(std::make_shared<UIImageView>(UIImage::imageNamed("public_cel_selected_bg.png")));
}

void MessageGroupCell::setMessage(std::shared_ptr<core::MessageInfo> message)
{
    message_ = std::move(message);
    if (!message_)
        return;
    const bool hasPhotos = !message_->photosInfo.empty();
    const bool hasSounds = !message_->soundsInfo.empty();
    iconImage_->setHidden(!hasPhotos);
    iconSound_->setHidden(!hasSounds);
    // Alone, the voice icon takes the first place.
    if (hasSounds)
        iconSound_->setFrame(hasPhotos ? iconSoundFrame_ : iconImage_->frame());
    lblContent_->setText(message_->content);
    lblSmsSend_->setText(pair(message_->smsUnSuccessCount, message_->smsSuccessCount));
    lblMsgSend_->setText(pair(message_->msgUnReadCount, message_->msgReadCount));
    lblTime_->setText(
        message_->time ? MessageSingleCell::timeText(*message_->time, platform::Date::now()) : std::string());
}
