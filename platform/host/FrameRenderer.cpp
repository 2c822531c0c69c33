#include "platform/host/FrameRenderer.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/GraphicsInternal.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "platform/uikit/ViewRenderer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::host {

namespace {

    // Straight colour from the drawing surface's premultiplied word, as images are kept.
    void storeStraight(std::uint32_t v, std::uint8_t* dst)
    {
        std::uint32_t a = v >> 24;
        if (a == 255) {
            dst[0] = std::uint8_t(v >> 16);
            dst[1] = std::uint8_t(v >> 8);
            dst[2] = std::uint8_t(v);
            dst[3] = 255;
            return;
        }
        if (a == 0) {
            dst[0] = dst[1] = dst[2] = dst[3] = 0;
            return;
        }
        auto un = [a](std::uint32_t c) { return std::uint8_t(std::min<std::uint32_t>(255, (c * 255 + a / 2) / a)); };
        dst[0] = un((v >> 16) & 0xFF);
        dst[1] = un((v >> 8) & 0xFF);
        dst[2] = un(v & 0xFF);
        dst[3] = std::uint8_t(a);
    }

} // namespace

FrameRenderer::FrameRenderer(double scale)
    : scale_(std::isfinite(scale) && scale > 0 ? scale : 2)
{
}

FrameRenderer::~FrameRenderer() = default;

bool FrameRenderer::draw() const
{
    auto screen = UIScreen::mainScreen()->bounds();
    // One drawing surface for every frame, painted over whole each time: a
    // new one would be allocated and cleared for nothing.
    if (!context_ || context_->size() != screen.size) {
        context_ = Context::createBitmap(screen.size, scale_);
        if (!context_)
            return false;
    }
    auto& context = context_;
    context->save();
    // What no window covers is the phone's black glass.
    context->setFillColor(Color::blackColor());
    context->fillRect(screen);
    for (auto& window : UIWindow::visibleWindows()) {
        window->layoutIfNeeded();
        renderView(*window, *context);
    }
    context->restore();
    return true;
}

std::optional<Image> FrameRenderer::renderScreen() const
{
    if (!draw())
        return std::nullopt;
    return context_->makeImage();
}

bool FrameRenderer::redraw()
{
    ++redraws_;
    if (!draw())
        return false;
    // The drawing surface's own words, read where they are: a copy of the
    // whole picture per frame costs more than the drawing of a quiet screen.
    auto* surface = context_->impl().surface;
    cairo_surface_flush(surface);
    int stride = cairo_image_surface_get_stride(surface);
    const std::uint8_t* base = cairo_image_surface_get_data(surface);
    int width = context_->pixelWidth();
    int height = context_->pixelHeight();
    if (!base || width <= 0 || height <= 0)
        return false;
    auto row = [&](int y) { return reinterpret_cast<const std::uint32_t*>(base + std::size_t(y) * std::size_t(stride)); };
    auto kept = [&](int y) { return words_.data() + std::size_t(y) * std::size_t(width); };
    std::size_t rowBytes = std::size_t(width) * 4;

    PixelRect changed;
    if (frame_.pixelWidth() != width || frame_.pixelHeight() != height
        || words_.size() != std::size_t(width) * std::size_t(height)) {
        frame_ = Image(width, height, scale_);
        if (frame_.isNull())
            return false;
        words_.assign(std::size_t(width) * std::size_t(height), 0);
        changed = { 0, 0, width, height };
    } else {
        // The rows that changed first, then how far into them from either side.
        int top = 0;
        while (top < height && std::memcmp(row(top), kept(top), rowBytes) == 0)
            ++top;
        if (top == height)
            return false;
        int bottom = height - 1;
        while (bottom > top && std::memcmp(row(bottom), kept(bottom), rowBytes) == 0)
            --bottom;
        int left = width;
        int right = -1;
        for (int y = top; y <= bottom; ++y) {
            const std::uint32_t* now = row(y);
            const std::uint32_t* before = kept(y);
            int x = 0;
            while (x < left && now[x] == before[x])
                ++x;
            left = std::min(left, x);
            int r = width - 1;
            while (r > right && now[r] == before[r])
                --r;
            right = std::max(right, r);
        }
        if (right < left)
            return false;
        changed = { left, top, right - left + 1, bottom - top + 1 };
    }

    auto& pixels = frame_.mutablePixels();
    for (int y = changed.y; y < changed.y + changed.height; ++y) {
        const std::uint32_t* source = row(y) + changed.x;
        std::uint32_t* words = kept(y) + changed.x;
        std::uint8_t* straight = pixels.data() + (std::size_t(y) * std::size_t(width) + std::size_t(changed.x)) * 4;
        for (int x = 0; x < changed.width; ++x, straight += 4) {
            words[x] = source[x];
            storeStraight(source[x], straight);
        }
    }
    changedRect_ = changed;
    ++changed_;
    return true;
}

} // namespace platform::host
