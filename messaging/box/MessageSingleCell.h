#pragma once

#include "core/model/MessageInfo.h"
#include "ui/tables/BaseCell.h"

#include <memory>
#include <string>

class UIImageView;
class UILabel;
class UIView;

// One conversation of the message box: the other party's avatar and name,
// the newest message (or what it carries), its time and the unread badge.
class MessageSingleCell final : public BaseCell {
public:
    ORB_CLASS_NAME(MessageSingleCell)

    static constexpr double kAvatarCornerRadius = 4.0;
    // Above this the badge reads "99+".
    static constexpr int kMaxBadgeShown = 99;

    MessageSingleCell() = default;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setMessage(std::shared_ptr<core::MessageInfo> message);
    const std::shared_ptr<core::MessageInfo>& message() const { return message_; }

    // The time label of every message-box row, for a message at `time` seen
    // at `now`: "今天", "昨天", "前天" with the time of day for the calendar
    // day of now and the two before it (in the device's zone), month, day
    // and time for any other day, a future one included.
    static std::string timeText(platform::Date time, platform::Date now);
    // The text, or "[图片]" and "[声音]" for what a message without text carries.
    static std::string contentText(const core::MessageInfo& message);
    // "" below 1 (no badge), "99+" above 99, else the number.
    static std::string badgeText(int badge);

    double badgeMinWidth() const { return badgeMinWidth_; }
    double badgeMargin() const { return badgeMargin_; }
    std::shared_ptr<UILabel> lblName() const { return lblName_.lock(); }
    std::shared_ptr<UILabel> lblContent() const { return lblContent_.lock(); }
    std::shared_ptr<UILabel> lblTime() const { return lblTime_.lock(); }
    std::shared_ptr<UILabel> lblBadge() const { return lblBadge_.lock(); }
    std::shared_ptr<UIImageView> imgAvatar() const { return imgAvatar_.lock(); }
    std::shared_ptr<UIView> badgeView() const { return badgeView_.lock(); }

private:
    void setBadge(int badge);

    double badgeMinWidth_ = 0;
    double badgeMargin_ = 0;
    // The badge's right edge in the layout: it grows to the left of it.
    double badgeRight_ = 0;
    std::shared_ptr<core::MessageInfo> message_;
    std::weak_ptr<UILabel> lblName_;
    std::weak_ptr<UILabel> lblContent_;
    std::weak_ptr<UILabel> lblTime_;
    std::weak_ptr<UILabel> lblBadge_;
    std::weak_ptr<UIImageView> imgAvatar_;
    std::weak_ptr<UIView> badgeView_;
};
