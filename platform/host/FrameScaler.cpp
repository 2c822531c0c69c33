#include "platform/host/FrameScaler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::host {

namespace {

    std::uint32_t mix(std::uint32_t a, std::uint32_t b, std::uint32_t weight)
    {
        std::uint32_t keep = 256 - weight;
        std::uint32_t redBlue = (((a & 0xFF00FFu) * keep + (b & 0xFF00FFu) * weight) >> 8) & 0xFF00FFu;
        std::uint32_t green = (((a & 0x00FF00u) * keep + (b & 0x00FF00u) * weight) >> 8) & 0x00FF00u;
        return redBlue | green;
    }

    std::uint32_t toLayout(std::uint32_t rgb, const PixelLayout& layout)
    {
        if (layout.isFrameLayout())
            return (rgb & 0xFFFFFFu) | layout.opaqueBits;
        return ((rgb >> 16 & 0xFFu) << layout.redShift) | ((rgb >> 8 & 0xFFu) << layout.greenShift)
            | ((rgb & 0xFFu) << layout.blueShift) | layout.opaqueBits;
    }

} // namespace

void FrameScaler::prepare(Axis& axis, int from, int to)
{
    if (axis.from == from && axis.to == to && int(axis.index.size()) == to)
        return;
    axis.from = from;
    axis.to = to;
    axis.index.assign(std::size_t(to), 0);
    axis.weight.assign(std::size_t(to), 0);
    for (int d = 0; d < to; ++d) {
        // The centre of the window pixel, in frame pixels.
        double s = (d + 0.5) * double(from) / double(to) - 0.5;
        s = std::clamp(s, 0.0, double(from - 1));
        int i = std::min(int(s), from - 1);
        axis.index[std::size_t(d)] = i;
        axis.weight[std::size_t(d)] = i + 1 < from ? std::uint32_t(std::lround((s - i) * 256)) : 0;
    }
}

PixelRect turnedRect(const PixelRect& rect, int frameWidth, int frameHeight, ScreenTurn turn)
{
    switch (turn) {
    case ScreenTurn::CounterClockwise:
        return { rect.y, frameWidth - rect.x - rect.width, rect.height, rect.width };
    case ScreenTurn::Clockwise:
        return { frameHeight - rect.y - rect.height, rect.x, rect.height, rect.width };
    case ScreenTurn::Upright:
        break;
    }
    return rect;
}

namespace {

    // Where the turned picture's pixel (i, j) (column, row) is in the frame:
    // origin + i * column + j * row.
    struct Walk {
        std::ptrdiff_t origin = 0;
        std::ptrdiff_t column = 1;
        std::ptrdiff_t row = 0;
    };

    Walk walkFor(int frameWidth, int frameHeight, ScreenTurn turn)
    {
        std::ptrdiff_t w = frameWidth;
        std::ptrdiff_t h = frameHeight;
        switch (turn) {
        case ScreenTurn::CounterClockwise:
            // The frame's right column is the picture's top row.
            return { w - 1, w, -1 };
        case ScreenTurn::Clockwise:
            // The frame's left column, bottom up, is the picture's top row.
            return { (h - 1) * w, -w, 1 };
        case ScreenTurn::Upright:
            break;
        }
        return { 0, 1, w };
    }

} // namespace

void turnPixels(const std::uint32_t* in, int width, int height, ScreenTurn turn, std::uint32_t* out)
{
    if (!in || !out || width <= 0 || height <= 0)
        return;
    auto walk = walkFor(width, height, turn);
    int shownWidth = isSideways(turn) ? height : width;
    int shownHeight = isSideways(turn) ? width : height;
    for (int j = 0; j < shownHeight; ++j) {
        const std::uint32_t* source = in + walk.origin + std::ptrdiff_t(j) * walk.row;
        std::uint32_t* row = out + std::size_t(j) * std::size_t(shownWidth);
        for (int i = 0; i < shownWidth; ++i)
            row[i] = source[std::ptrdiff_t(i) * walk.column];
    }
}

PixelRect FrameScaler::put(const std::uint32_t* frame, int frameWidth, int frameHeight, const PixelRect& frameChange,
    std::uint8_t* window, int windowPitch, int windowWidth, int windowHeight, const PixelRect& target,
    const PixelLayout& layout, ScreenTurn turn)
{
    if (!frame || !window || frameWidth <= 0 || frameHeight <= 0 || target.isEmpty() || frameChange.isEmpty())
        return {};
    // Everything below is in the turned picture's pixels; only the reads
    // from the frame walk it turned.
    int shownWidth = isSideways(turn) ? frameHeight : frameWidth;
    int shownHeight = isSideways(turn) ? frameWidth : frameHeight;
    PixelRect changed = turnedRect(frameChange, frameWidth, frameHeight, turn);
    auto walk = walkFor(frameWidth, frameHeight, turn);

    // The window pixels the change reaches: its edges mapped, widened by
    // what one frame pixel can reach through the interpolation.
    int reachX = int(std::ceil(double(target.width) / shownWidth)) + 1;
    int reachY = int(std::ceil(double(target.height) / shownHeight)) + 1;
    auto mapped = [](int v, int from, int to) { return double(v) * to / from; };
    int x0 = int(std::floor(mapped(changed.x, shownWidth, target.width))) - reachX;
    int x1 = int(std::ceil(mapped(changed.x + changed.width, shownWidth, target.width))) + reachX;
    int y0 = int(std::floor(mapped(changed.y, shownHeight, target.height))) - reachY;
    int y1 = int(std::ceil(mapped(changed.y + changed.height, shownHeight, target.height))) + reachY;
    bool oneToOne = target.width == shownWidth && target.height == shownHeight;
    if (oneToOne) {
        x0 = changed.x;
        x1 = changed.x + changed.width;
        y0 = changed.y;
        y1 = changed.y + changed.height;
    }
    // Within the target and within the window.
    x0 = std::max({ x0, 0, -target.x });
    y0 = std::max({ y0, 0, -target.y });
    x1 = std::min({ x1, target.width, windowWidth - target.x });
    y1 = std::min({ y1, target.height, windowHeight - target.y });
    if (x1 <= x0 || y1 <= y0)
        return {};

    if (oneToOne) {
        for (int y = y0; y < y1; ++y) {
            const std::uint32_t* source = frame + walk.origin + std::ptrdiff_t(y) * walk.row;
            auto* out = reinterpret_cast<std::uint32_t*>(
                window + std::size_t(y + target.y) * std::size_t(windowPitch) + std::size_t(target.x) * 4);
            for (int x = x0; x < x1; ++x)
                out[x] = toLayout(source[std::ptrdiff_t(x) * walk.column], layout);
        }
        return { x0 + target.x, y0 + target.y, x1 - x0, y1 - y0 };
    }

    prepare(columns_, shownWidth, target.width);
    prepare(rows_, shownHeight, target.height);
    for (int y = y0; y < y1; ++y) {
        int sy = rows_.index[std::size_t(y)];
        std::uint32_t wy = rows_.weight[std::size_t(y)];
        const std::uint32_t* upper = frame + walk.origin + std::ptrdiff_t(sy) * walk.row;
        const std::uint32_t* lower = wy ? upper + walk.row : upper;
        auto* out = reinterpret_cast<std::uint32_t*>(
            window + std::size_t(y + target.y) * std::size_t(windowPitch) + std::size_t(target.x) * 4);
        for (int x = x0; x < x1; ++x) {
            std::ptrdiff_t sx = std::ptrdiff_t(columns_.index[std::size_t(x)]) * walk.column;
            std::uint32_t wx = columns_.weight[std::size_t(x)];
            std::ptrdiff_t next = wx ? sx + walk.column : sx;
            std::uint32_t top = mix(upper[sx], upper[next], wx);
            std::uint32_t bottom = mix(lower[sx], lower[next], wx);
            out[x] = toLayout(mix(top, bottom, wy), layout);
        }
    }
    return { x0 + target.x, y0 + target.y, x1 - x0, y1 - y0 };
}

} // namespace platform::host
