#pragma once

#include "platform/host/FrameRenderer.h"
#include "platform/host/ScreenFit.h"

#include <cstdint>
#include <vector>

namespace platform::host {

// How a 32-bit pixel of the window is made from 8-bit red, green and blue:
// where each sits in the word, and the bits always set (an alpha channel).
struct PixelLayout {
    int redShift = 16;
    int greenShift = 8;
    int blueShift = 0;
    std::uint32_t opaqueBits = 0;
    bool isFrameLayout() const { return redShift == 16 && greenShift == 8 && blueShift == 0; }
};

// Where a rectangle of a frameWidth × frameHeight picture lies once the
// picture is turned (in the turned picture's pixels).
PixelRect turnedRect(const PixelRect& rect, int frameWidth, int frameHeight, ScreenTurn turn);

// Copies a width × height picture of words turned: `out` receives the turned
// picture (height × width when sideways), a row after another. The two must
// not overlap.
void turnPixels(const std::uint32_t* in, int width, int height, ScreenTurn turn, std::uint32_t* out);

// Puts the phone's frame (0x..RRGGBB words, frameWidth × frameHeight) into a
// window's pixels, turned as asked and scaled to `target` (window pixels) with
// linear interpolation as a texture would be; the turn happens in the same
// pass, so a sideways window costs no copy of its own. Only the window pixels
// that a change of `changed` (frame pixels) can reach are written; they come
// out exactly as in a copy of the whole frame, so a window kept up to date
// rectangle by rectangle never shows seams. Returns the window rectangle
// written (empty when nothing of it lies in the window).
class FrameScaler final {
public:
    PixelRect put(const std::uint32_t* frame, int frameWidth, int frameHeight, const PixelRect& changed,
        std::uint8_t* window, int windowPitch, int windowWidth, int windowHeight, const PixelRect& target,
        const PixelLayout& layout = {}, ScreenTurn turn = ScreenTurn::Upright);

private:
    // Per window column (row): the turned picture's column (row) to its left
    // (above) and the weight of the next one, in 256ths.
    struct Axis {
        int from = 0;
        int to = 0;
        std::vector<int> index;
        std::vector<std::uint32_t> weight;
    };
    static void prepare(Axis& axis, int from, int to);

    Axis columns_;
    Axis rows_;
};

} // namespace platform::host
