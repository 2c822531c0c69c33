#pragma once

#include "platform/graphics/Image.h"

#include <cstddef>
#include <memory>

struct _cairo_surface;

namespace platform {

// An image in the drawing surface's own form (premultiplied words), converted
// once to be drawn many times. Drawing a plain Image converts every pixel on
// each call, which costs more than the drawing itself for the icons and
// backgrounds a screen paints again on each frame.
class PreparedImage final {
public:
    // nullptr for a null image or a size the drawing backend refuses.
    static std::shared_ptr<const PreparedImage> make(const Image& image);
    ~PreparedImage();
    PreparedImage(const PreparedImage&) = delete;
    PreparedImage& operator=(const PreparedImage&) = delete;

    int pixelWidth() const { return width_; }
    int pixelHeight() const { return height_; }
    // What it holds, in bytes.
    std::size_t byteSize() const { return std::size_t(width_) * std::size_t(height_) * 4; }
    _cairo_surface* surface() const { return surface_; }

private:
    PreparedImage(_cairo_surface* surface, int width, int height);

    _cairo_surface* surface_;
    int width_;
    int height_;
};

} // namespace platform
