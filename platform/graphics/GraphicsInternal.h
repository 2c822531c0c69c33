#pragma once

// Shared between the .cpp files of this library only; not part of its
// interface. The drawing backend is named through forward declarations so that
// its headers stay inside the .cpp files.

#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"

#include <cstddef>
#include <vector>

struct _cairo;
struct _cairo_surface;

namespace platform {

struct Context::Impl {
    struct State {
        Color fill = Color::blackColor();
        Color stroke = Color::blackColor();
        double alpha = 1.0;
        double lineWidth = 1.0;
        Interpolation interpolation = Interpolation::Default;
        BlendMode blend = BlendMode::Normal;
    };

    _cairo_surface* surface = nullptr;
    _cairo* cr = nullptr;
    Size size;
    double scale = 1.0;
    int pixelWidth = 0;
    int pixelHeight = 0;
    State state;
    std::vector<State> saved;

    ~Impl();
};

namespace graphics_internal {

    // A new premultiplied ARGB32 surface holding the image's pixels (nullptr for a
    // null image or when the backend refuses). The caller destroys it.
    _cairo_surface* surfaceFromImage(const Image& image);
    // The surface's pixels as a straight-alpha image with the given scale.
    Image imageFromSurface(_cairo_surface* surface, double scale);
    // A new transparent ARGB32 surface; nullptr when the size is refused.
    _cairo_surface* createSurface(int pixelWidth, int pixelHeight);
    void destroySurface(_cairo_surface* surface);

    // Draws `image` with its top-left at (0, 0) stretched to width × height in the
    // current user space of `cr`, honouring the sampling quality and an alpha.
    void paintImage(_cairo* cr, const Image& image, double width, double height, Interpolation quality, double alpha);
    // The same for a surface of pixelWidth × pixelHeight pixels already in the drawing form.
    void paintSurface(_cairo* cr, _cairo_surface* source, int pixelWidth, int pixelHeight, double width,
        double height, Interpolation quality, double alpha);

    // A decoded size within Image's limits: both sides positive and at most
    // kMaxDimension, and at most kMaxPixels pixels.
    inline bool acceptablePixelSize(unsigned long w, unsigned long h)
    {
        return w > 0 && h > 0 && w <= static_cast<unsigned long>(Image::kMaxDimension)
            && h <= static_cast<unsigned long>(Image::kMaxDimension) && w * h <= Image::kMaxPixels;
    }

    // The decoding limits of Image.h, for whole files and for the bytes of a
    // picture received so far alike: the pixel budget, and no more pixels than
    // inputBytes can hold at pixelsPerByte (a bound of the format).
    inline bool decodable(unsigned long w, unsigned long h, std::size_t inputBytes, double pixelsPerByte)
    {
        if (!acceptablePixelSize(w, h))
            return false;
        const std::size_t pixels = static_cast<std::size_t>(w) * h;
        if (pixels > Image::kMaxDecodePixels)
            return false;
        return pixels <= Image::kSmallDecodePixels || static_cast<double>(pixels) <= inputBytes * pixelsPerByte;
    }

} // namespace graphics_internal

} // namespace platform
