#include "ui/controls/AvatarBrowser.h"

#include "platform/os/Log.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UIWindow.h"
#include "ui/images/RemoteImageView.h"

namespace {

// Where the avatar sat on screen when it was opened.
platform::Rect& startRect()
{
    static platform::Rect rect;
    return rect;
}

} // namespace

void AvatarBrowser::showImage(
    const std::shared_ptr<UIImageView>& avatarImageView, const std::optional<platform::Url>& newUrl)
{
    auto window = UIWindow::keyWindow();
    if (!avatarImageView || !window) {
        platform::log("AvatarBrowser: nothing to show or no window to show it in\n");
        return;
    }
    platform::Rect screen = UIScreen::mainScreen()->bounds();
    auto container = std::make_shared<UIView>(screen);
    auto background = std::make_shared<UIView>(screen);
    background->setBackgroundColor(UIColor::blackColor());
    background->setTag(kBackgroundTag);
    background->setAlpha(0);

    startRect() = avatarImageView->convertRectToView(avatarImageView->bounds(), window.get());
    auto imageView = std::make_shared<RemoteImageView>(startRect());
    imageView->setTag(kImageTag);
    imageView->setShowActivityIndicator(true);
    imageView->setContentMode(UIViewContentModeScaleAspectFit);
    imageView->setImage(avatarImageView->image());
    if (newUrl)
        imageView->setImageURL(newUrl);

    container->addSubview(background);
    container->addSubview(imageView);
    window->addSubview(container);
    auto tap = std::make_shared<UITapGestureRecognizer>();
    tap->addAction([](UIGestureRecognizer* recognizer) { hideImage(recognizer); });
    container->addGestureRecognizer(tap);

    UIView::animateWithDuration(kDuration, [imageView, background, screen] {
        imageView->setFrame(platform::Rect(0, 0, screen.size.width, screen.size.height));
        background->setAlpha(1.0);
    });
}

void AvatarBrowser::hideImage(UIGestureRecognizer* tap)
{
    auto container = tap ? tap->view() : nullptr;
    if (!container)
        return;
    auto background = container->viewWithTag(kBackgroundTag);
    auto imageView = container->viewWithTag(kImageTag);
    platform::Rect back = startRect();
    UIView::animateWithDuration(
        kDuration,
        [imageView, background, back] {
            if (imageView)
                imageView->setFrame(back);
            if (background)
                background->setAlpha(0);
        },
        [container](bool) { container->removeFromSuperview(); });
}
