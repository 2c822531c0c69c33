#include "ui/images/RemoteImageView.h"

#include "platform/uikit/CALayer.h"
#include "platform/uikit/CATransition.h"

RemoteImageSuccess setImageSelector()
{
    return { "setImage:", [](platform::Object& target, const std::shared_ptr<UIImage>& image,
                              const std::optional<platform::Url>&) {
                if (auto* view = dynamic_cast<UIImageView*>(&target))
                    setImageOfView(*view, image);
            } };
}

void setImageOfView(UIImageView& view, const std::shared_ptr<UIImage>& image)
{
    if (auto* remote = dynamic_cast<RemoteImageView*>(&view))
        remote->setImage(image);
    else
        view.setImage(image);
}

void setImageURL(const std::shared_ptr<UIImageView>& view, const std::optional<platform::Url>& url)
{
    if (!view)
        return;
    RemoteImageLoader::sharedLoader()->loadImageWithURL(url, view, setImageSelector());
}

void showImageURL(const std::shared_ptr<UIImageView>& view, const std::optional<platform::Url>& url,
    const std::shared_ptr<UIImage>& placeholder)
{
    if (!view)
        return;
    auto& loader = *RemoteImageLoader::sharedLoader();
    loader.cancelLoadingImagesForTarget(view.get(), "setImage:");
    std::shared_ptr<UIImage> cached = url && loader.cache() ? loader.cache()->objectForKey(*url) : nullptr;
    // Configured, not arrived: no fade from whatever the reused view showed.
    if (auto* remote = dynamic_cast<RemoteImageView*>(view.get()))
        remote->setImageAtOnce(cached ? cached : placeholder);
    else
        view->setImage(cached ? cached : placeholder);
    // A picture from the cache is all the loader would give, a turn later.
    if (url && !cached)
        setImageURL(view, url);
}

std::optional<platform::Url> imageURL(const UIImageView& view)
{
    return RemoteImageLoader::sharedLoader()->URLForTarget(&view, "setImage:");
}

RemoteImageView::RemoteImageView()
{
    setUp();
}

RemoteImageView::RemoteImageView(const platform::Rect& frame)
    : UIImageView(frame)
{
    setUp();
}

RemoteImageView::~RemoteImageView()
{
    // The queue holds its targets, so a view being destroyed has nothing queued
    // as a rule; a request queued by a raw owner is still taken away.
    auto& loader = *RemoteImageLoader::sharedLoader();
    if (auto url = loader.URLForTarget(this, "setImage:"))
        loader.cancelLoadingURL(url, this);
}

void RemoteImageView::setUp()
{
    showActivityIndicator_ = image() == nullptr;
    crossfadeImages_ = true;
    activityIndicatorStyle_ = UIActivityIndicatorViewStyleGray;
    crossfadeDuration_ = 0.4;
}

void RemoteImageView::setImageURL(const std::optional<platform::Url>& url)
{
    ::setImageURL(std::static_pointer_cast<UIImageView>(sharedView()), url);
    if (!showActivityIndicator_ || image() || !url)
        return;
    if (!activityView_) {
        activityView_ = std::make_shared<UIActivityIndicatorView>(activityIndicatorStyle_);
        activityView_->setHidesWhenStopped(true);
        auto b = bounds();
        activityView_->setCenter(platform::Point(b.midX(), b.midY()));
        activityView_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin
            | UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
        addSubview(activityView_);
    }
    activityView_->startAnimating();
}

void RemoteImageView::setImage(const std::shared_ptr<UIImage>& image)
{
    // None keeps the picture; the same one again changes nothing (no fade).
    if (!image || image == this->image())
        return;
    if (crossfadeImages_) {
        auto transition = std::make_shared<CATransition>();
        // The type text is kept exactly as the screens have always set it.
        transition->setType("kCATransitionFade");
        transition->setDuration(crossfadeDuration_);
        layer()->addAnimation(transition, {});
    }
    setImageAtOnce(image);
}

void RemoteImageView::setImageAtOnce(const std::shared_ptr<UIImage>& image)
{
    if (!image)
        return;
    UIImageView::setImage(image);
    if (activityView_)
        activityView_->stopAnimating();
}

void RemoteImageView::setActivityIndicatorStyle(UIActivityIndicatorViewStyle style)
{
    activityIndicatorStyle_ = style;
    if (auto spinner = std::exchange(activityView_, nullptr))
        spinner->removeFromSuperview();
}
