#include "platform/host/FrameRenderer.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/GraphicsInternal.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"
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

bool FrameRenderer::draw(const PixelRect* region) const
{
    auto screen = UIScreen::mainScreen()->bounds();
    // One drawing surface for every frame, painted over each time: a new one
    // would be allocated and cleared for nothing.
    if (!context_ || context_->size() != screen.size) {
        context_ = Context::createBitmap(screen.size, scale_);
        if (!context_)
            return false;
        // A part cannot be drawn over a drawing that is not there.
        region = nullptr;
    }
    auto& context = context_;
    context->save();
    PixelRect rendered { 0, 0, context->pixelWidth(), context->pixelHeight() };
    if (region) {
        // Whole pixels, so that every pixel inside is drawn exactly as a
        // drawing of the whole screen draws it, and none outside is touched.
        rendered = *region;
        context->clipToRect(Rect(region->x / scale_, region->y / scale_, region->width / scale_,
            region->height / scale_));
    }
    // What no window covers is the phone's black glass.
    context->setFillColor(Color::blackColor());
    context->fillRect(screen);
    for (auto& window : UIWindow::visibleWindows()) {
        window->layoutIfNeeded();
        renderView(*window, *context);
    }
    context->restore();
    ++renders_;
    lastRendered_ = rendered;
    return true;
}

namespace {

    // Adds to `area` (screen points) what the view and its subtree asked to
    // draw again, placing each view as renderView places it; `whole` when one
    // asked to be drawn whole.
    void collectRequested(UIView& view, AffineTransform placed, double inheritedAlpha, Rect& area, bool& whole)
    {
        if (view.isHidden())
            return;
        double alpha = inheritedAlpha * view.alpha();
        if (alpha <= 0)
            return;
        Rect bounds = view.bounds();
        auto center = view.center();
        placed = placed.translated(center.x, center.y);
        auto t = view.transform();
        if (!t.isIdentity())
            placed = t.concat(placed);
        placed = placed.translated(-bounds.width() / 2, -bounds.height() / 2)
                     .translated(-bounds.origin.x, -bounds.origin.y);
        if (view.needsDisplay()) {
            Rect asked = view.needsDisplayRect();
            // The whole view may paint past its bounds (a shadow, a border).
            if (asked.isNull() || asked == bounds) {
                whole = true;
                return;
            }
            Rect onScreen = placed.apply(asked);
            area = area.isNull() ? onScreen : area.unionWith(onScreen);
        }
        for (auto& subview : std::vector<std::shared_ptr<UIView>>(view.subviews())) {
            collectRequested(*subview, placed, alpha, area, whole);
            if (whole)
                return;
        }
    }

} // namespace

std::optional<PixelRect> FrameRenderer::requestedRect() const
{
    auto screen = UIScreen::mainScreen()->bounds();
    int width = int(std::ceil(screen.size.width * scale_));
    int height = int(std::ceil(screen.size.height * scale_));
    PixelRect all { 0, 0, width, height };
    Rect area = Rect::null();
    bool whole = false;
    for (auto& window : UIWindow::visibleWindows()) {
        window->layoutIfNeeded();
        collectRequested(*window, AffineTransform::identity(), 1.0, area, whole);
        if (whole)
            return all;
    }
    if (area.isNull() || area.isEmpty())
        return std::nullopt;
    double left = std::floor(area.minX() * scale_) - 1;
    double top = std::floor(area.minY() * scale_) - 1;
    double right = std::ceil(area.maxX() * scale_) + 1;
    double bottom = std::ceil(area.maxY() * scale_) + 1;
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(right) || !std::isfinite(bottom))
        return all;
    int x0 = int(std::clamp(left, 0.0, double(width)));
    int y0 = int(std::clamp(top, 0.0, double(height)));
    int x1 = int(std::clamp(right, 0.0, double(width)));
    int y1 = int(std::clamp(bottom, 0.0, double(height)));
    if (x1 <= x0 || y1 <= y0)
        return std::nullopt;
    return PixelRect { x0, y0, x1 - x0, y1 - y0 };
}

std::optional<Image> FrameRenderer::renderScreen() const
{
    if (!draw())
        return std::nullopt;
    return context_->makeImage();
}

bool FrameRenderer::redraw() { return redrawIn(nullptr); }

bool FrameRenderer::redrawRequested()
{
    auto asked = requestedRect();
    if (!asked)
        return false;
    // Only over a kept frame of the screen's size; otherwise all of it.
    bool kept = context_ && !frame_.isNull() && frame_.pixelWidth() == context_->pixelWidth()
        && frame_.pixelHeight() == context_->pixelHeight()
        && words_.size() == std::size_t(frame_.pixelWidth()) * std::size_t(frame_.pixelHeight())
        && context_->size() == UIScreen::mainScreen()->bounds().size;
    return redrawIn(kept ? &*asked : nullptr);
}

bool FrameRenderer::redrawFor(RedrawNeed need)
{
    switch (need) {
    case RedrawNeed::None:
        return false;
    case RedrawNeed::Requested:
        return redrawRequested();
    case RedrawNeed::Whole:
        break;
    }
    return redraw();
}

bool FrameRenderer::redrawIn(const PixelRect* region)
{
    ++redraws_;
    if (!draw(region))
        return false;
    region = region && lastRendered_ == *region ? region : nullptr;
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

    PixelRect changed;
    if (frame_.pixelWidth() != width || frame_.pixelHeight() != height
        || words_.size() != std::size_t(width) * std::size_t(height)) {
        frame_ = Image(width, height, scale_);
        if (frame_.isNull())
            return false;
        words_.assign(std::size_t(width) * std::size_t(height), 0);
        changed = { 0, 0, width, height };
    } else {
        // Only what was drawn can have changed. The rows that changed first,
        // then how far into them from either side.
        PixelRect area = region ? *region : PixelRect { 0, 0, width, height };
        int end = area.y + area.height;
        std::size_t areaBytes = std::size_t(area.width) * 4;
        auto same = [&](int y) { return std::memcmp(row(y) + area.x, kept(y) + area.x, areaBytes) == 0; };
        int top = area.y;
        while (top < end && same(top))
            ++top;
        if (top == end)
            return false;
        int bottom = end - 1;
        while (bottom > top && same(bottom))
            --bottom;
        int left = area.x + area.width;
        int right = area.x - 1;
        for (int y = top; y <= bottom; ++y) {
            const std::uint32_t* now = row(y);
            const std::uint32_t* before = kept(y);
            int x = area.x;
            while (x < left && now[x] == before[x])
                ++x;
            left = std::min(left, x);
            int r = area.x + area.width - 1;
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
