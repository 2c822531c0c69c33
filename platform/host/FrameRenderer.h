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

// What the screen needs after a turn of the main loop.
enum class RedrawNeed {
    // Nothing ran: nothing can have changed.
    None,
    // Only carets blinked: only what views asked to draw again changed.
    Requested,
    // Anything else ran: anything may have changed.
    Whole,
};

// Tells from the loop's callouts (less the host's own) and the carets'
// blinks what the turns since it last looked may have changed.
class TurnWatch final {
public:
    // Starts counting from these figures.
    void reset(std::uint64_t callouts, std::uint64_t blinks)
    {
        callouts_ = callouts;
        blinks_ = blinks;
    }
    RedrawNeed look(std::uint64_t callouts, std::uint64_t blinks)
    {
        auto ran = callouts - callouts_;
        auto blinked = blinks - blinks_;
        reset(callouts, blinks);
        if (ran == 0)
            return RedrawNeed::None;
        return ran == blinked ? RedrawNeed::Requested : RedrawNeed::Whole;
    }

private:
    std::uint64_t callouts_ = 0;
    std::uint64_t blinks_ = 0;
};

// Draws what the phone's glass shows: every visible window, lowest first (the
// keyboard area among them while it is up: a window of its own, the field's
// bar of buttons such as 取消 and 完成 over its picker, on the panel's colour
// where the phone's keys would be), at the screen's size and the given scale.
// Keeps the last frame so that a redraw that changed no pixel shows nothing
// new, and one that did tells which rectangle changed.
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
    // The screen's pixels that views asked to draw again (setNeedsDisplay,
    // setNeedsDisplayInRect) since they were last drawn, widened to whole
    // pixels and a pixel more for the edges' blending; the whole screen when a
    // view asked to be drawn whole; nullopt when none asked.
    std::optional<PixelRect> requestedRect() const;
    // Like redraw, but draws again only what views asked for (requestedRect)
    // over the kept drawing and compares only that: nothing at all is drawn
    // when nothing asked. For turns whose only work asked for it (a caret's
    // blink); other changes to views are seen only by redraw.
    bool redrawRequested();
    // redraw, redrawRequested, or nothing (false) as the need says.
    bool redrawFor(RedrawNeed need);
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
    // Drawings of the screen (whole or in part), and the pixels the last one
    // covered.
    std::uint64_t renders() const { return renders_; }
    const PixelRect& lastRenderedRect() const { return lastRendered_; }

private:
    // Draws the screen, or only `region` of it over the kept drawing.
    bool draw(const PixelRect* region = nullptr) const;
    bool redrawIn(const PixelRect* region);

    double scale_;
    mutable std::unique_ptr<Context> context_;
    Image frame_;
    std::vector<std::uint32_t> words_;
    PixelRect changedRect_;
    std::uint64_t changed_ = 0;
    std::uint64_t redraws_ = 0;
    mutable std::uint64_t renders_ = 0;
    mutable PixelRect lastRendered_;
};

} // namespace platform::host
