#pragma once

#include "app/navigation/NavigationInfo.h"
#include "core/model/NavMessageInfo.h"
#include "platform/graphics/Color.h"
#include "ui/tables/BaseCell.h"

#include <memory>

class UIImageView;
class UILabel;
class UIViewController;

// What a navigation row asks of its list: to show the screen of its feature.
class MessageNavigationCellDelegate {
public:
    virtual ~MessageNavigationCellDelegate() = default;
    virtual void didSelectedMessageNavigation(const std::shared_ptr<UIViewController>& screen) = 0;
};

// A navigation message of the message box: a count of new items of one
// feature, shown with that feature's title and icon; a tap opens the
// feature's screen through the delegate.
class MessageNavigationCell final : public BaseCell {
public:
    ORB_CLASS_NAME(MessageNavigationCell)

    static constexpr double kAvatarCornerRadius = 4.0;
    // The feature icon sits this far inside its background on every side.
    static constexpr double kIconInset = 15.0;
    // The tile an icon is drawn on when its feature names no background.
    static constexpr platform::Color kPlainTileColor = platform::Color::fromRGB255(255, 153, 0);
    static constexpr double kPlainTileRadius = 12.0;

    MessageNavigationCell() = default;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setNavInfo(std::shared_ptr<core::NavMessageInfo> navInfo);
    // Makes the feature's screen and hands it to the delegate.
    void didSelectedCell();

    void setDelegate(std::weak_ptr<MessageNavigationCellDelegate> delegate) { delegate_ = std::move(delegate); }

private:
    std::shared_ptr<NavigationInfo> currentNavInfo_;
    std::weak_ptr<MessageNavigationCellDelegate> delegate_;
    std::shared_ptr<core::NavMessageInfo> navInfo_;
    bool tapAdded_ = false;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblContent_;
    std::shared_ptr<UILabel> lblTime_;
    std::shared_ptr<UIImageView> imgAvatar_;
};
