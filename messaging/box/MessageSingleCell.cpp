#include "messaging/box/MessageSingleCell.h"

#include "core/util/DateHelper.h"
#include "platform/graphics/Text.h"
#include "platform/os/DateFormat.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "ui/images/RemoteImageLoader.h"
#include "ui/images/RemoteImageView.h"

#include <algorithm>

namespace {

constexpr const char* kDefaultAvatar = "account_default_avatar";

} // namespace

void MessageSingleCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblContent", lblContent_);
    bindings.outlet("lblTime", lblTime_);
    bindings.outlet("lblBadge", lblBadge_);
    bindings.outlet("imgAvatar", imgAvatar_);
    bindings.outlet("badgeView", badgeView_);
}

void MessageSingleCell::awakeFromNib()
{
    UIView::awakeFromNib();
    badgeMinWidth_ = badgeView_->frame().width();
    badgeRight_ = badgeView_->frame().maxX();
    badgeMargin_ = badgeMinWidth_ - lblBadge_->frame().width();
    setBackgroundColor(platform::Color::clearColor());
    setBackgroundView(std::make_shared<UIImageView>(UIImage::imageNamed("message_single_cell_bg.png")));
    setSelectedBackgroundView(std::make_shared<UIImageView>(UIImage::imageNamed("public_cel_selected_bg.png")));
    imgAvatar_->layer()->setCornerRadius(kAvatarCornerRadius);
    imgAvatar_->setClipsToBounds(true);
}

void MessageSingleCell::setMessage(std::shared_ptr<core::MessageInfo> message)
{
    message_ = std::move(message);
    if (!message_)
        return;
    const auto& contact = message_->contact;
    lblName_->setText(contact ? contact->name : std::string());
    lblContent_->setText(contentText(*message_));
    // A reused row must not show, or later receive, the previous party's face.
    const std::string address = contact ? contact->thumbAvatar : std::string();
    showImageURL(imgAvatar_, address.empty() ? std::nullopt : platform::Url::parse(address),
        UIImage::imageNamed(kDefaultAvatar));
    lblTime_->setText(message_->time ? timeText(*message_->time, platform::Date::now()) : std::string());
    setBadge(contact ? contact->badge : 0);
}

void MessageSingleCell::setBadge(int badge)
{
    if (badge < 1) {
        badgeView_->setHidden(true);
        return;
    }
    badgeView_->setHidden(false);
    lblBadge_->setText(badgeText(badge));
    double textWidth = platform::measureText(lblBadge_->text(), lblBadge_->font()).width;
    double width = std::max(badgeMinWidth_, textWidth + badgeMargin_);
    auto frame = badgeView_->frame();
    badgeView_->setFrame(platform::Rect(badgeRight_ - width, frame.minY(), width, frame.height()));
    auto labelFrame = lblBadge_->frame();
    lblBadge_->setFrame(platform::Rect((width - textWidth) / 2, labelFrame.minY(), textWidth, labelFrame.height()));
}

std::string MessageSingleCell::badgeText(int badge)
{
    if (badge < 1)
        return {};
    return badge > kMaxBadgeShown ? std::string("99+") : std::to_string(badge);
}

std::string MessageSingleCell::contentText(const core::MessageInfo& message)
{
    if (!message.content.empty())
        return message.content;
    std::string text;
    if (!message.photosInfo.empty())
        text += "[图片]";
    if (!message.soundsInfo.empty())
        text += "[声音]";
    return text;
}

std::string MessageSingleCell::timeText(platform::Date time, platform::Date now)
{
    const long long days = core::DateHelper::calendarDaysBetween(time, now);
    std::string_view pattern;
    switch (days) {
    case 0:
        pattern = "'今天' HH:mm";
        break;
    case 1:
        pattern = "'昨天' HH:mm";
        break;
    case 2:
        pattern = "'前天' HH:mm";
        break;
    default:
        pattern = "MM-dd HH:mm";
        break;
    }
    return platform::DateFormatter(pattern).stringFromDate(time);
}
