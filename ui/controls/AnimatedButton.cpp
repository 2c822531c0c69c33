#include "ui/controls/AnimatedButton.h"

#include "platform/uikit/CAAnimation.h"
#include "platform/uikit/UIScreen.h"

namespace {

// The phone's implicit layer animation when nothing sets a duration.
constexpr double kDefaultLayerDuration = 0.25;

} // namespace

void AnimatedButton::setState(int state)
{
    if (state == state_)
        return;
    state_ = state;
    animateToState(state);
}

void AnimatedButton::touchUpInside()
{
    setState(kReleased);
    auto indicator = indicatorView();
    if (!indicator)
        return;
    platform::Point target(center().x, indicator->center().y);
    UIView::beginAnimations();
    indicator->setCenter(target);
    UIView::commitAnimations();
}

void AnimatedButton::registerTouchEvents()
{
    if (eventsRegistered_)
        return;
    eventsRegistered_ = true;
    // The actions belong to the button itself, so they never outlive it.
    addAction([this](UIControl*) { touchDown(); }, UIControlEventTouchDown);
    addAction([this](UIControl*) { touchUpInside(); }, UIControlEventTouchUpInside);
    addAction([this](UIControl*) { touchUpOutside(); }, UIControlEventTouchUpOutside);
    addAction([this](UIControl*) { touchCancel(); }, UIControlEventTouchCancel);
}

void AnimatedButton::createAnimatedLayer()
{
    layoutIfNeeded();
    auto imageView = this->imageView();
    anilayer_ = std::make_shared<CALayer>();
    anilayer_->setFrame(imageView->frame());
    anilayer_->setContentsGravity(kCAGravityResizeAspect);
    anilayer_->setContents(imageView->image());
    anilayer_->setContentsScale(UIScreen::mainScreen()->scale());
    layer()->addSublayer(anilayer_);
    UIButton::setImage(nullptr, UIControlStateNormal);
}

void AnimatedButton::showImageInLayer(const std::shared_ptr<UIImage>& image)
{
    UIButton::setImage(nullptr, UIControlStateNormal);
    if (image && anilayer_)
        anilayer_->setContents(image);
}

void AnimatedButton::animateLayerTransform(const CATransform3D& transform, double duration)
{
    if (!anilayer_)
        return;
    auto animation = std::make_shared<CABasicAnimation>("transform");
    animation->setDuration(duration > 0 ? duration : kDefaultLayerDuration);
    anilayer_->addAnimation(animation, "transform");
    anilayer_->setTransform(transform);
}

void LayerAnimatedButton::awakeFromNib()
{
    AnimatedButton::awakeFromNib();
    registerTouchEvents();
    createAnimatedLayer();
}

void LayerAnimatedButton::setImage(std::shared_ptr<UIImage> image, unsigned) { showImageInLayer(image); }
