#include "platform/uikit/UIActivityIndicatorView.h"

#include "platform/graphics/Context.h"

#include <cmath>

double UIActivityIndicatorView::sideForStyle(UIActivityIndicatorViewStyle style)
{
    return style == UIActivityIndicatorViewStyleWhiteLarge ? 37 : 20;
}

UIActivityIndicatorView::UIActivityIndicatorView(UIActivityIndicatorViewStyle style)
    : UIView(platform::Rect(0, 0, sideForStyle(style), sideForStyle(style)))
    , style_(style)
    , color_(style == UIActivityIndicatorViewStyleGray ? platform::Color::grayColor() : platform::Color::whiteColor())
{
    setUserInteractionEnabled(false);
    setHidden(true);
}

void UIActivityIndicatorView::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style)
{
    style_ = style;
    color_ = style == UIActivityIndicatorViewStyleGray ? platform::Color::grayColor() : platform::Color::whiteColor();
    auto c = center();
    double side = sideForStyle(style);
    setBounds(platform::Rect(0, 0, side, side));
    setCenter(c);
}

void UIActivityIndicatorView::setHidesWhenStopped(bool hides)
{
    hidesWhenStopped_ = hides;
    if (!animating_)
        setHidden(hides);
}

void UIActivityIndicatorView::startAnimating()
{
    animating_ = true;
    setHidden(false);
}

void UIActivityIndicatorView::stopAnimating()
{
    animating_ = false;
    if (hidesWhenStopped_)
        setHidden(true);
}

platform::Size UIActivityIndicatorView::sizeThatFits(platform::Size) const
{
    double side = sideForStyle(style_);
    return platform::Size(side, side);
}

void UIActivityIndicatorView::drawRect(platform::Context& context, const platform::Rect&)
{
    // Twelve spokes fading round the circle, as a still frame of the spinner.
    auto b = bounds();
    double radius = std::min(b.width(), b.height()) / 2;
    if (!(radius > 0))
        return;
    auto c = platform::Point(b.midX(), b.midY());
    context.setLineWidth(radius * 0.16);
    context.setLineCap(platform::LineCap::Round);
    for (int i = 0; i < 12; ++i) {
        double angle = i * 3.14159265358979323846 / 6;
        context.setStrokeColor(color_.withAlpha(color_.alpha * (0.25 + 0.75 * i / 11.0)));
        context.beginPath();
        context.moveTo(platform::Point(c.x + std::cos(angle) * radius * 0.45, c.y + std::sin(angle) * radius * 0.45));
        context.lineTo(platform::Point(c.x + std::cos(angle) * radius * 0.9, c.y + std::sin(angle) * radius * 0.9));
        context.strokePath();
    }
}
