#pragma once

#include "platform/uikit/UIImage.h"

#include <memory>

namespace UIImageRotate {

// The picture turned about its centre by the angle (degrees, positive
// clockwise), on a canvas of its own size in points, doubled on a scale-2
// screen; the bitmap has scale 1. The canvas is not enlarged, so a non-square
// picture turned by 90° loses its corners. nullptr for no picture.
std::shared_ptr<UIImage> rotate(const std::shared_ptr<UIImage>& image, double degrees);

} // namespace UIImageRotate
