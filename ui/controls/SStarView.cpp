#include "ui/controls/SStarView.h"

#include "platform/graphics/Context.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITouch.h"

#include <algorithm>
#include <cmath>
#include <numbers>

using platform::Point;
using platform::Rect;

namespace {

// The regular star's proportions: its height from the top point to the lower
// points is 0.9045 of the outer diameter, its width 0.9511 of it.
constexpr double kHeightPerDiameter = 0.90450853;
constexpr double kWidthPerDiameter = 0.95105654;
constexpr double kCos36 = 0.809017;
constexpr double kSin36 = 0.58778524;
// The inner points pushed out a little: a plumper star reads better small.
constexpr double kInnerWidening = 1.3;
constexpr double kLineWidthPerHeight = 1.0 / 20;

} // namespace

SStarView::SStarView()
    : SStarView(Rect())
{
    awaitingFrame_ = true;
}

SStarView::SStarView(const Rect& frame)
    : UIControl(frame)
{
    secondPart();
}

void SStarView::secondPart()
{
    Rect f = frame();
    double w = f.size.width;
    double h = f.size.height;
    // No height means no cells: no stars rather than a division by zero.
    if (h > 0 && w > 0)
        maxStar_ = static_cast<unsigned>(std::min(std::trunc(w / h), static_cast<double>(kMostStars)));
    else
        maxStar_ = 0;
    lineWidth_ = h * kLineWidthPerHeight;
    starCount_ = 0;
    minStar_ = 0;
    refresh();
}

void SStarView::setMaxStar(unsigned maxStar)
{
    maxStar_ = std::min(maxStar, kMostStars);
    refresh();
}

void SStarView::setMinStar(unsigned minStar)
{
    minStar_ = minStar;
    if (starCount_ < minStar_)
        starCount_ = minStar_;
    refresh();
}

void SStarView::setStarCount(unsigned count)
{
    unsigned value = std::max(count, minStar_);
    if (value == starCount_)
        return;
    starCount_ = value;
    refresh();
    sendActionsForControlEvents(UIControlEventValueChanged);
}

void SStarView::setLineWidth(double width)
{
    if (!std::isfinite(width))
        return;
    lineWidth_ = width;
    dropPictures();
    refresh();
}

void SStarView::setBorderColor(std::optional<UIColor> color)
{
    if (!color)
        return;
    borderColor_ = *color;
    dropPictures();
    refresh();
}

void SStarView::setSelectColor(std::optional<UIColor> color)
{
    if (!color)
        return;
    selectColor_ = *color;
    dropPictures();
    refresh();
}

void SStarView::setUnSelectColor(std::optional<UIColor> color)
{
    if (!color)
        return;
    unSelectColor_ = *color;
    dropPictures();
    refresh();
}

void SStarView::setFrame(const Rect& frame)
{
    UIControl::setFrame(frame);
    if (awaitingFrame_ && frame.size.height > 0) {
        // Made without a frame, the control had no size to derive its star
        // count and line width from: take them from the first frame unless the
        // screen set them meanwhile. The count and minimum it was given stay.
        awaitingFrame_ = false;
        const unsigned count = starCount_;
        const unsigned minimum = minStar_;
        const unsigned maxStar = maxStar_;
        const double lineWidth = lineWidth_;
        secondPart();
        if (maxStar != 0)
            maxStar_ = maxStar;
        if (lineWidth != 0)
            lineWidth_ = lineWidth;
        minStar_ = minimum;
        starCount_ = count;
    }
    dropPictures();
    refresh();
}

void SStarView::didMoveToSuperview()
{
    UIControl::didMoveToSuperview();
    refresh();
}

void SStarView::dropPictures()
{
    imgSelected_.reset();
    imgUnSelected_.reset();
}

std::shared_ptr<UIImage> SStarView::imgSelected()
{
    if (!imgSelected_)
        imgSelected_ = createImgWithHeight(bounds().size.height, selectColor_);
    return imgSelected_;
}

std::shared_ptr<UIImage> SStarView::imgUnSelected()
{
    if (!imgUnSelected_)
        imgUnSelected_ = createImgWithHeight(bounds().size.height, unSelectColor_);
    return imgUnSelected_;
}

std::shared_ptr<UIImage> SStarView::createImgWithHeight(double height, const UIColor& color) const
{
    if (!(height > 0) || !std::isfinite(height))
        return nullptr;
    constexpr double pi = std::numbers::pi;
    double r = height / kHeightPerDiameter / 2;
    double w = 2 * r * kWidthPerDiameter;
    double ri = r * (kCos36 - kSin36 * std::tan(pi / 5)) * kInnerWidening;
    auto context = platform::Context::createBitmap({ w, height }, UIScreen::mainScreen()->scale());
    if (!context)
        return nullptr;
    context->beginPath();
    for (int k = 0; k <= 10; ++k) {
        double angle = pi / 2 + k * pi / 5;
        double radius = k % 2 == 0 ? r : ri;
        Point p(w / 2 + radius * std::cos(angle), r - radius * std::sin(angle));
        if (k == 0)
            context->moveTo(p);
        else
            context->lineTo(p);
    }
    context->closePath();
    context->setFillColor(color);
    if (lineWidth_ > 0) {
        context->setStrokeColor(borderColor_);
        context->setLineWidth(lineWidth_);
        context->setLineJoin(platform::LineJoin::Round);
        context->fillAndStrokePath();
    } else
        context->fillPath();
    return UIImage::imageWithCGImage(context->makeImage(), context->scale());
}

void SStarView::refresh()
{
    if (!superview())
        return;
    for (auto& subview : std::vector<std::shared_ptr<UIView>>(subviews()))
        subview->removeFromSuperview();
    if (maxStar_ == 0)
        return;
    Rect b = bounds();
    double step = std::trunc(b.size.width / maxStar_);
    double side = std::trunc(b.size.height);
    double x = std::floor((step - side) / 2);
    for (unsigned i = 0; i < maxStar_; ++i) {
        auto star = std::make_shared<UIImageView>(Rect(x, 0, side, side));
        star->setContentMode(UIViewContentModeCenter);
        star->setImage(i < starCount_ ? imgSelected() : imgUnSelected());
        addSubview(star);
        x += step;
    }
}

void SStarView::rateAt(const UITouchSet& touches)
{
    // Without stars there is nothing to rate (and no cell width to divide by).
    if (touches.empty() || maxStar_ == 0)
        return;
    double cell = bounds().size.width / maxStar_;
    if (!(cell > 0))
        return;
    double x = touches.front()->locationInView(this).x;
    double count = std::trunc(x / cell + 1);
    count = std::clamp(count, 0.0, static_cast<double>(maxStar_));
    setStarCount(static_cast<unsigned>(count));
}

void SStarView::touchesBegan(const UITouchSet& touches, UIEvent*) { rateAt(touches); }

void SStarView::touchesMoved(const UITouchSet& touches, UIEvent*) { rateAt(touches); }
