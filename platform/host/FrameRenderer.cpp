#include "platform/host/FrameRenderer.h"

#include "platform/graphics/Context.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "platform/uikit/ViewRenderer.h"

#include <cmath>

namespace platform::host {

FrameRenderer::FrameRenderer(double scale)
    : scale_(std::isfinite(scale) && scale > 0 ? scale : 2)
{
}

FrameRenderer::~FrameRenderer() = default;

std::optional<Image> FrameRenderer::renderScreen() const
{
    auto screen = UIScreen::mainScreen()->bounds();
    // One drawing surface for every frame, painted over whole each time: a
    // new one would be allocated and cleared for nothing.
    if (!context_ || context_->size() != screen.size) {
        context_ = Context::createBitmap(screen.size, scale_);
        if (!context_)
            return std::nullopt;
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
    if (Keyboard::isVisible()) {
        auto panel = Keyboard::frame();
        context->setFillColor(kKeyboardPanelColor);
        context->fillRect(panel);
        context->setFillColor(kKeyboardEdgeColor);
        context->fillRect(Rect(panel.origin.x, panel.origin.y, panel.size.width, 0.5));
    }
    context->restore();
    return context->makeImage();
}

bool FrameRenderer::redraw()
{
    ++redraws_;
    auto image = renderScreen();
    if (!image)
        return false;
    bool changed = image->pixelWidth() != frame_.pixelWidth() || image->pixelHeight() != frame_.pixelHeight()
        || image->pixels() != frame_.pixels();
    if (changed) {
        frame_ = std::move(*image);
        ++changed_;
    }
    return changed;
}

} // namespace platform::host
