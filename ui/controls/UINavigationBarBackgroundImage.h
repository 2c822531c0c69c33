#pragma once

#include "platform/uikit/UIImage.h"

#include <memory>

class UINavigationBar;

// The application's navigation bar background, for the screens that give
// bars they did not make (the image picker's, the composers') the app's look.
namespace UINavigationBarBackgroundImage {

// Keeps one application-wide background picture (the latest given).
void setBgImage(std::shared_ptr<UIImage> image);
std::shared_ptr<UIImage> bgImage();

// Gives the bar the picture as its background for the default metrics;
// nothing for no picture.
void setBgImage(UINavigationBar& bar, const std::shared_ptr<UIImage>& image);

} // namespace UINavigationBarBackgroundImage
