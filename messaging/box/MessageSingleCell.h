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

    // The time label of every message-box row, for a message at `time` seen
    // at `now`: "今天", "昨天", "前天" with the time of day for the calendar
    // day of now and the two before it (in the device's zone), month, day
    // and time for any other day, a future one included.
    static std::string timeText(platform::Date time, platform::Date now);
    // The text, or "[图片]" and "[声音]" for what a message without text carries.
    static std::string contentText(const core::MessageInfo& message);
    // "" below 1 (no badge), "99+" above 99, else the number.
    static std::string badgeText(int badge);


private:
    void setBadge(int badge);

    double badgeMinWidth_ = 0;
    double badgeMargin_ = 0;
    // The badge's right edge in the layout: it grows to the left of it.
    double badgeRight_ = 0;
    std::shared_ptr<core::MessageInfo> message_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblContent_;
    std::shared_ptr<UILabel> lblTime_;
    std::shared_ptr<UILabel> lblBadge_;
    std::shared_ptr<UIImageView> imgAvatar_;
    std::shared_ptr<UIView> badgeView_;
};
