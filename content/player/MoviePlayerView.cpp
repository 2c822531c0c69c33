#include "content/player/MoviePlayerView.h"

#include "platform/graphics/Context.h"
#include "platform/uikit/UIScreen.h"

#include <algorithm>
#include <cmath>

namespace content {

using platform::Color;
using platform::Rect;

void MoviePlayerView::setPlayer(std::shared_ptr<platform::MoviePlayer> player)
{
    player_ = std::move(player);
    setNeedsLayout();
    setNeedsDisplay();
}

Rect MoviePlayerView::pictureRect() const
{
    Rect box = bounds();
    double aspect = 16.0 / 9.0;
    if (box.width() <= 0 || box.height() <= 0)
        return box;
    double width = box.width();
    double height = width / aspect;
    if (height > box.height()) {
        height = box.height();
        width = height * aspect;
    }
    return Rect(std::round((box.width() - width) / 2), std::round((box.height() - height) / 2), width, height);
}

void MoviePlayerView::layoutSubviews()
{
    UIView::layoutSubviews();
    if (!player_)
        return;
    Rect picture = pictureRect();
    double scale = UIScreen::mainScreen()->scale();
    player_->setFrameSize(static_cast<int>(std::lround(picture.width() * scale)),
        static_cast<int>(std::lround(picture.height() * scale)));
}

void MoviePlayerView::drawRect(platform::Context& context, const Rect&)
{
    context.setFillColor(Color::blackColor());
    context.fillRect(bounds());
    if (!player_ || !player_->frameData())
        return;
    context.drawOpaquePixels(
        player_->frameData(), player_->frameWidth(), player_->frameHeight(), player_->frameStride(), pictureRect());
}

void MoviePlayButton::setShowsPause(bool pause)
{
    if (pause == showsPause_)
        return;
    showsPause_ = pause;
    setNeedsDisplay();
}

void MoviePlayButton::drawRect(platform::Context& context, const Rect&)
{
    Rect box = bounds();
    double side = std::min(box.width(), box.height()) * 0.5;
    double x = (box.width() - side) / 2;
    double y = (box.height() - side) / 2;
    context.setFillColor(isHighlighted() ? Color(0.8, 0.8, 0.8, 1) : Color::whiteColor());
    if (showsPause_) {
        context.fillRect(Rect(x + side * 0.1, y, side * 0.3, side));
        context.fillRect(Rect(x + side * 0.6, y, side * 0.3, side));
        return;
    }
    context.beginPath();
    context.moveTo({ x + side * 0.1, y });
    context.lineTo({ x + side, y + side / 2 });
    context.lineTo({ x + side * 0.1, y + side });
    context.closePath();
    context.fillPath();
}

void MovieProgressView::setFraction(double fraction)
{
    if (!std::isfinite(fraction))
        fraction = 0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    if (fraction == fraction_)
        return;
    fraction_ = fraction;
    setNeedsDisplay();
}

double MovieProgressView::fractionAt(platform::Point point) const
{
    double width = bounds().width() - 2 * kInset;
    if (width <= 0)
        return 0;
    return std::clamp((point.x - kInset) / width, 0.0, 1.0);
}

void MovieProgressView::drawRect(platform::Context& context, const Rect&)
{
    Rect box = bounds();
    double width = box.width() - 2 * kInset;
    double middle = box.height() / 2;
    double played = width * fraction_;
    context.setFillColor(Color(1, 1, 1, 0.35));
    context.fillRect(Rect(kInset, middle - 1.5, width, 3));
    context.setFillColor(Color::fromRGBA8(0x7f, 0xc4, 0x10, 0xff));
    context.fillRect(Rect(kInset, middle - 1.5, played, 3));
    context.setFillColor(Color::whiteColor());
    context.fillEllipseInRect(Rect(kInset + played - 7, middle - 7, 14, 14));
}

} // namespace content
