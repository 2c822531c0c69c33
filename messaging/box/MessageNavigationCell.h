#pragma once

#include "app/navigation/NavigationInfo.h"
#include "core/model/NavMessageInfo.h"
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

    MessageNavigationCell() = default;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setNavInfo(std::shared_ptr<core::NavMessageInfo> navInfo);
    const std::shared_ptr<core::NavMessageInfo>& navInfo() const { return navInfo_; }
    const std::shared_ptr<NavigationInfo>& currentNavInfo() const { return currentNavInfo_; }
    // Makes the feature's screen and hands it to the delegate.
    void didSelectedCell();

    std::shared_ptr<MessageNavigationCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<MessageNavigationCellDelegate> delegate) { delegate_ = std::move(delegate); }

    std::shared_ptr<UILabel> lblName() const { return lblName_.lock(); }
    std::shared_ptr<UILabel> lblContent() const { return lblContent_.lock(); }
    std::shared_ptr<UILabel> lblTime() const { return lblTime_.lock(); }
    std::shared_ptr<UIImageView> imgAvatar() const { return imgAvatar_.lock(); }

private:
    std::shared_ptr<NavigationInfo> currentNavInfo_;
    std::weak_ptr<MessageNavigationCellDelegate> delegate_;
    std::shared_ptr<core::NavMessageInfo> navInfo_;
    bool tapAdded_ = false;
    std::weak_ptr<UILabel> lblName_;
    std::weak_ptr<UILabel> lblContent_;
    std::weak_ptr<UILabel> lblTime_;
    std::weak_ptr<UIImageView> imgAvatar_;
};
