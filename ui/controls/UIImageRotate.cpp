#include "ui/controls/UIImageRotate.h"

#include "platform/graphics/Context.h"
#include "platform/uikit/UIScreen.h"

namespace UIImageRotate {

std::shared_ptr<UIImage> rotate(const std::shared_ptr<UIImage>& image, double degrees)
{
    if (!image)
        return nullptr;
    platform::Size size = image->size();
    if (UIScreen::mainScreen()->scale() == 2.0)
        size = platform::Size(size.width * 2, size.height * 2);
    auto context = platform::Context::createBitmap(size, 1.0);
    if (!context)
        return nullptr;
    double halfWidth = size.width / 2;
    double halfHeight = size.height / 2;
    context->translate(halfWidth, halfHeight);
    context->rotate(platform::degreesToRadians(degrees));
    // Our context draws pictures upright already, so the half turn and mirror
    // that the phone needs to undo its upside-down bitmap drawing are left out.
    context->drawImage(image->CGImage(), platform::Rect(-halfWidth, -halfHeight, size.width, size.height));
    return UIImage::imageWithCGImage(context->makeImage(), 1.0);
}

} // namespace UIImageRotate
