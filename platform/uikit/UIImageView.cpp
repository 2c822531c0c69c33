#include "platform/uikit/UIImageView.h"

#include "platform/os/RunLoop.h"
#include "platform/os/Timer.h"
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

UIImageView::~UIImageView()
{
    if (animationTimer_)
        animationTimer_->invalidate();
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
    if (animating_ && !animationImages_.empty())
        return animationImages_[frame_ % animationImages_.size()];
    if (highlighted_ && highlightedImage_)
        return highlightedImage_;
    return image_;
}

void UIImageView::startAnimating()
{
    // Without frames there is nothing to play, as on the phone.
    if (animationImages_.empty())
        return;
    if (animationTimer_)
        animationTimer_->invalidate();
    animating_ = true;
    frame_ = 0;
    framesShown_ = 0;
    const double frames = static_cast<double>(animationImages_.size());
    // The phone's default: thirty frames a second.
    const double duration = animationDuration_ > 0 ? animationDuration_ : frames / 30;
    std::weak_ptr<UIView> weak = sharedView();
    animationTimer_ = platform::Timer::scheduled(
        duration / frames, true,
        [weak](platform::Timer&) {
            if (auto view = std::static_pointer_cast<UIImageView>(weak.lock()))
                view->showNextFrame();
        },
        platform::RunLoop::main(), platform::kCommonRunLoopModes);
    setNeedsDisplay();
}

void UIImageView::stopAnimating()
{
    if (animationTimer_) {
        animationTimer_->invalidate();
        animationTimer_.reset();
    }
    if (animating_) {
        animating_ = false;
        frame_ = 0;
        setNeedsDisplay();
    }
}

void UIImageView::showNextFrame()
{
    const long frames = static_cast<long>(animationImages_.size());
    ++framesShown_;
    if (frames == 0 || (animationRepeatCount_ > 0 && framesShown_ >= animationRepeatCount_ * frames)) {
        stopAnimating();
        return;
    }
    frame_ = static_cast<std::size_t>(framesShown_ % frames);
    setNeedsDisplay();
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
