#include "messaging/box/MessageNavigationCell.h"

#include "messaging/box/MessageSingleCell.h"
#include "platform/graphics/Context.h"
#include "platform/os/DateFormat.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UIViewController.h"
#include "ui/controls/UIColorHelper.h"

namespace {

// The icon's own tile when its feature names no background: a rounded square
// as large as a background, in the feature's colour or, without one, a warm
// amber from the function grid's palette.
std::shared_ptr<UIImage> plainTile(const NavigationInfo& info, const UIImage& icon)
{
    const double inset = MessageNavigationCell::kIconInset;
    const platform::Size size(icon.size().width + 2 * inset, icon.size().height + 2 * inset);
    auto context = platform::Context::createBitmap(size, icon.scale());
    if (!context)
        return nullptr;
    auto color = UIColorHelper::colorWithString(info.color().value_or(""));
    context->setFillColor(color.value_or(MessageNavigationCell::kPlainTileColor));
    context->beginPath();
    context->addRoundedRect(platform::Rect(0, 0, size.width, size.height), MessageNavigationCell::kPlainTileRadius);
    context->fillPath();
    return std::make_shared<UIImage>(context->makeImage());
}

// The feature's background at its own size with its icon drawn inset.
std::shared_ptr<UIImage> compositeAvatar(const NavigationInfo& info)
{
    auto icon = UIImage::imageNamed(info.logoImageName().value_or(""));
    auto background = info.logoBgImageName().value_or("").empty()
        ? (icon ? plainTile(info, *icon) : nullptr)
        : UIImage::imageNamed(*info.logoBgImageName());
    if (!background)
        return nullptr;
    const platform::Size size = background->size();
    auto context = platform::Context::createBitmap(size, background->scale());
    if (!context)
        return background;
    context->drawImage(background->CGImage(), platform::Rect(0, 0, size.width, size.height));
    const double inset = MessageNavigationCell::kIconInset;
    if (icon && size.width > 2 * inset && size.height > 2 * inset)
        context->drawImage(
            icon->CGImage(), platform::Rect(inset, inset, size.width - 2 * inset, size.height - 2 * inset));
    return std::make_shared<UIImage>(context->makeImage());
}

} // namespace

void MessageNavigationCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblContent", lblContent_);
    bindings.outlet("lblTime", lblTime_);
    bindings.outlet("imgAvatar", imgAvatar_);
}

void MessageNavigationCell::awakeFromNib()
{
    UIView::awakeFromNib();
    setBackgroundColor(platform::Color::clearColor());
    setBackgroundView(std::make_shared<UIImageView>(UIImage::imageNamed("message_single_cell_bg.png")));
    setSelectedBackgroundView(std::make_shared<UIImageView>(UIImage::imageNamed("public_cel_selected_bg.png")));
    imgAvatar_->layer()->setCornerRadius(kAvatarCornerRadius);
    imgAvatar_->setClipsToBounds(true);
}

void MessageNavigationCell::setNavInfo(std::shared_ptr<core::NavMessageInfo> navInfo)
{
    navInfo_ = std::move(navInfo);
    if (!navInfo_)
        return;
    currentNavInfo_ = std::make_shared<NavigationInfo>(navInfo_->eventType);
    lblName_->setText(currentNavInfo_->title().value_or(""));
    imgAvatar_->setImage(compositeAvatar(*currentNavInfo_));
    if (!navInfo_->content.empty())
        lblContent_->setText(navInfo_->content);
    auto date = platform::DateFormatter("yyyy-MM-dd HH:mm:ss").dateFromString(navInfo_->dateTimeStr);
    lblTime_->setText(date ? MessageSingleCell::timeText(*date, platform::Date::now()) : std::string());
    // One recogniser for the life of the cell, however often it is reused.
    if (!tapAdded_) {
        if (auto self = std::static_pointer_cast<MessageNavigationCell>(sharedView())) {
            auto tap = std::make_shared<UITapGestureRecognizer>();
            tap->addTarget(self, &MessageNavigationCell::didSelectedCell);
            addGestureRecognizer(tap);
            tapAdded_ = true;
        }
    }
}

void MessageNavigationCell::didSelectedCell()
{
    auto delegate = delegate_.lock();
    if (!delegate || !currentNavInfo_ || !currentNavInfo_->viewController())
        return;
    if (auto screen = platform::ClassRegistry::shared().createAs<UIViewController>(*currentNavInfo_->viewController()))
        delegate->didSelectedMessageNavigation(screen);
}
