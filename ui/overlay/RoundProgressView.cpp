#include "ui/overlay/RoundProgressView.h"

#include "platform/graphics/Context.h"

#include <cmath>
#include <numbers>

using platform::Color;
using platform::Point;
using platform::Rect;

RoundProgressView::RoundProgressView()
    : RoundProgressView(Rect(0, 0, kDefaultSide, kDefaultSide))
{
}

RoundProgressView::RoundProgressView(const Rect& frame)
    : UIView(frame)
{
    setBackgroundColor(Color::clearColor());
    setOpaque(false);
}

void RoundProgressView::setProgress(double progress)
{
    // A NaN would draw nothing sensible; keep the last good value.
    if (std::isnan(progress))
        return;
    progress_ = progress;
    setNeedsDisplay();
}

void RoundProgressView::setAnnular(bool annular)
{
    annular_ = annular;
    setNeedsDisplay();
}

void RoundProgressView::drawRect(platform::Context& context, const Rect&)
{
    constexpr double pi = std::numbers::pi;
    Rect all = bounds();
    double width = all.size.width;
    double start = -pi / 2;
    double sweep = progress_ * 2 * pi;
    if (annular_) {
        constexpr double lineWidth = 5.0;
        context.save();
        context.setLineWidth(lineWidth);
        context.setLineCap(platform::LineCap::Round);
        Point centre(all.size.width / 2, all.size.height / 2);
        double radius = (width - lineWidth) / 2;
        context.beginPath();
        context.addArc(centre, radius, start, 3 * pi / 2, true);
        context.setStrokeColor(Color(1, 1, 1, 0.1));
        context.strokePath();
        context.beginPath();
        context.addArc(centre, radius, start, start + sweep, true);
        context.setStrokeColor(Color::whiteColor());
        context.strokePath();
        context.restore();
        return;
    }
    Rect circle = all.insetBy(2.0, 2.0);
    context.save();
    context.setFillColor(Color(1, 1, 1, 0.1));
    context.fillEllipseInRect(circle);
    context.setStrokeColor(Color::whiteColor());
    context.setLineWidth(2.0);
    context.strokeEllipseInRect(circle);
    if (sweep > 0) {
        Point centre(all.size.width / 2, all.size.height / 2);
        double radius = (width - 4) / 2;
        context.beginPath();
        context.moveTo(centre);
        context.addArc(centre, radius, start, start + sweep, true);
        context.closePath();
        context.setFillColor(Color::whiteColor());
        context.fillPath();
    }
    context.restore();
}
