#include "platform/uikit/UIImageView.h"

#include "platform/uikit/ViewRenderer.h"

UIImageView::UIImageView() { setUserInteractionEnabled(false); }

UIImageView::UIImageView(const platform::Rect& frame)
    : UIView(frame)
{
    setUserInteractionEnabled(false);
}

UIImageView::UIImageView(std::shared_ptr<UIImage> image, std::shared_ptr<UIImage> highlightedImage)
    : UIView(platform::Rect(platform::Point(), image ? image->size() : platform::Size()))
    , image_(std::move(image))
    , highlightedImage_(std::move(highlightedImage))
{
    setUserInteractionEnabled(false);
}

void UIImageView::setImage(std::shared_ptr<UIImage> image)
{
    image_ = std::move(image);
    setNeedsDisplay();
}

void UIImageView::setHighlightedImage(std::shared_ptr<UIImage> image)
{
    highlightedImage_ = std::move(image);
    setNeedsDisplay();
}

void UIImageView::setHighlighted(bool highlighted)
{
    highlighted_ = highlighted;
    setNeedsDisplay();
}

std::shared_ptr<UIImage> UIImageView::displayedImage() const
{
    if (highlighted_ && highlightedImage_)
        return highlightedImage_;
    return image_;
}

void UIImageView::startAnimating()
{
    // Without frames there is nothing to play, as on the phone.
    animating_ = !animationImages_.empty();
}

void UIImageView::setDrawsDarkened(bool darkened)
{
    darkened_ = darkened;
    setNeedsDisplay();
}

platform::Size UIImageView::sizeThatFits(platform::Size) const
{
    auto image = displayedImage();
    return image ? image->size() : platform::Size();
}

void UIImageView::drawRect(platform::Context& context, const platform::Rect&)
{
    auto image = displayedImage();
    if (!image)
        return;
    auto target = rectForContentMode(contentMode(), image->size(), bounds());
    platform::drawUIImage(context, *image, target, darkened_);
}
