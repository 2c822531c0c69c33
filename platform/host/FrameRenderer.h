#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace platform {
class Context;
}

namespace platform::host {

// A rectangle of pixels: columns x … x + width - 1, rows y … y + height - 1.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool isEmpty() const { return width <= 0 || height <= 0; }
    bool operator==(const PixelRect&) const = default;
};

// Draws what the phone's glass shows: every visible window, lowest first, and
// the keyboard as a plain panel while it is up, at the screen's size and the
// given scale. Keeps the last frame so that a redraw that changed no pixel
// shows nothing new, and one that did tells which rectangle changed.
class FrameRenderer final {
public:
    explicit FrameRenderer(double scale = 2);
    ~FrameRenderer();
    FrameRenderer(const FrameRenderer&) = delete;
    FrameRenderer& operator=(const FrameRenderer&) = delete;

    // A fresh drawing of the screen; nullopt when it cannot be drawn.
    std::optional<Image> renderScreen() const;
    // Draws the screen and keeps it; true when its pixels differ from the
    // frame kept before (the first frame always differs). Only the changed
    // rectangle of the kept frame is brought up to date.
    bool redraw();
    const Image& frame() const { return frame_; }
    // The kept frame as opaque 0xFFRRGGBB words, a row after another
    // (frame().pixelWidth() words a row): the layout desktop windows take.
    const std::vector<std::uint32_t>& frameWords() const { return words_; }
    // Where the last redraw that changed the picture changed it, in pixels.
    const PixelRect& changedRect() const { return changedRect_; }
    double scale() const { return scale_; }
    // Redraws that changed the picture, and all redraws.
    std::uint64_t changedFrames() const { return changed_; }
    std::uint64_t redraws() const { return redraws_; }

private:
    bool draw() const;

    double scale_;
    mutable std::unique_ptr<Context> context_;
    Image frame_;
    std::vector<std::uint32_t> words_;
    PixelRect changedRect_;
    std::uint64_t changed_ = 0;
    std::uint64_t redraws_ = 0;
};

} // namespace platform::host
