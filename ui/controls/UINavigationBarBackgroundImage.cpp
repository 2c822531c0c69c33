#include "ui/controls/UINavigationBarBackgroundImage.h"

#include "platform/uikit/UINavigationBar.h"

namespace UINavigationBarBackgroundImage {

namespace {

    std::shared_ptr<UIImage>& applicationImage()
    {
        static std::shared_ptr<UIImage> image;
        return image;
    }

} // namespace

void setBgImage(std::shared_ptr<UIImage> image) { applicationImage() = std::move(image); }

std::shared_ptr<UIImage> bgImage() { return applicationImage(); }

void setBgImage(UINavigationBar& bar, const std::shared_ptr<UIImage>& image)
{
    // Our bars take background pictures themselves, so the older fallback (an
    // image view kept behind the bar's items) is never needed.
    if (!image)
        return;
    bar.setBackgroundImage(image, UIBarMetricsDefault);
}

} // namespace UINavigationBarBackgroundImage
