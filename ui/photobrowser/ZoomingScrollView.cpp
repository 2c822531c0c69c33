#include "ui/photobrowser/ZoomingScrollView.h"

#include "platform/uikit/UIScreen.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <cmath>

namespace {

    // Moves a view whose transform may scale it, keeping its size: setting the
    // frame would change its bounds instead.
    void moveFrameOrigin(UIView& view, platform::Point origin)
    {
        auto frame = view.frame();
        view.setCenter(platform::Point(origin.x + frame.size.width / 2, origin.y + frame.size.height / 2));
    }

} // namespace

ZoomingScrollView::ZoomingScrollView()
{
    tapView_ = std::make_shared<TapDetectingView>(bounds());
    tapView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    tapView_->setBackgroundColor(platform::Color::blackColor());
    addSubview(tapView_);

    photoImageView_ = std::make_shared<TapDetectingImageView>(platform::Rect());
    photoImageView_->setContentMode(UIViewContentModeCenter);
    photoImageView_->setBackgroundColor(platform::Color::blackColor());
    addSubview(photoImageView_);

    spinner_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhiteLarge);
    spinner_->setHidesWhenStopped(true);
    spinner_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleTopMargin
        | UIViewAutoresizingFlexibleBottomMargin | UIViewAutoresizingFlexibleRightMargin);
    addSubview(spinner_);

    setBackgroundColor(platform::Color::blackColor());
    setShowsHorizontalScrollIndicator(false);
    setShowsVerticalScrollIndicator(false);
    setDecelerationRate(0.99); // fast
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
}

std::shared_ptr<ZoomingScrollView> ZoomingScrollView::create(const std::shared_ptr<PhotoBrowser>& browser)
{
    auto page = std::make_shared<ZoomingScrollView>();
    page->photoBrowser_ = browser;
    page->tapView_->setTapDelegate(std::static_pointer_cast<TapDetectingViewDelegate>(page));
    page->photoImageView_->setTapDelegate(std::static_pointer_cast<TapDetectingImageViewDelegate>(page));
    page->setDelegate(std::static_pointer_cast<UIScrollViewDelegate>(page));
    return page;
}

void ZoomingScrollView::setPhoto(std::shared_ptr<BrowserPhotoProtocol> photo)
{
    photoImageView_->setImage(nullptr);
    photo_ = std::move(photo);
    displayImage();
}

void ZoomingScrollView::prepareForReuse()
{
    photo_ = nullptr;
    if (auto caption = std::exchange(captionView_, nullptr))
        caption->removeFromSuperview();
}

void ZoomingScrollView::displayImage()
{
    if (!photo_ || photoImageView_->image())
        return;
    resettingZoom_ = true;
    setMaximumZoomScale(1);
    setMinimumZoomScale(1);
    setZoomScale(1);
    resettingZoom_ = false;
    setContentSize(platform::Size(0, 0));
    auto browser = photoBrowser();
    auto image = browser ? browser->imageForPhoto(photo_) : nullptr;
    if (image) {
        spinner_->stopAnimating();
        photoImageView_->setImage(image);
        photoImageView_->setHidden(false);
        auto size = image->size();
        photoImageView_->setFrame(platform::Rect(0, 0, size.width, size.height));
        setContentSize(size);
        setMaxMinZoomScalesForCurrentBounds();
    } else {
        photoImageView_->setHidden(true);
        spinner_->startAnimating();
    }
    setNeedsLayout();
}

void ZoomingScrollView::displayImageFailure() { spinner_->stopAnimating(); }

void ZoomingScrollView::setMaxMinZoomScalesForCurrentBounds()
{
    resettingZoom_ = true;
    setMaxMinZoomScales();
    resettingZoom_ = false;
}

void ZoomingScrollView::setMaxMinZoomScales()
{
    setMaximumZoomScale(1);
    setMinimumZoomScale(1);
    setZoomScale(1);
    if (!photoImageView_->image())
        return;
    auto boundsSize = bounds().size;
    auto imageSize = photoImageView_->frame().size;
    if (imageSize.width <= 0 || imageSize.height <= 0)
        return;
    double xScale = boundsSize.width / imageSize.width;
    double yScale = boundsSize.height / imageSize.height;
    double minScale = std::min(xScale, yScale);
    // A photo smaller than the page is not enlarged.
    if (xScale > 1 && yScale > 1)
        minScale = 1.0;
    double maxScale = 2.0 / UIScreen::mainScreen()->scale();
    setMaximumZoomScale(maxScale);
    setMinimumZoomScale(minScale);
    setZoomScale(minScale);
    moveFrameOrigin(*photoImageView_, platform::Point(0, 0));
    setNeedsLayout();
}

void ZoomingScrollView::layoutSubviews()
{
    tapView_->setFrame(bounds());
    if (!spinner_->isHidden()) {
        auto b = bounds();
        spinner_->setCenter(platform::Point(std::floor(b.size.width / 2), std::floor(b.size.height / 2)));
    }
    UIScrollView::layoutSubviews();
    auto boundsSize = bounds().size;
    auto frame = photoImageView_->frame();
    platform::Point origin = frame.origin;
    origin.x = frame.size.width < boundsSize.width ? std::floor((boundsSize.width - frame.size.width) / 2) : 0;
    origin.y = frame.size.height < boundsSize.height ? std::floor((boundsSize.height - frame.size.height) / 2) : 0;
    if (origin.x != frame.origin.x || origin.y != frame.origin.y)
        moveFrameOrigin(*photoImageView_, origin);
}

std::shared_ptr<UIView> ZoomingScrollView::viewForZoomingInScrollView(UIScrollView*) { return photoImageView_; }

void ZoomingScrollView::scrollViewWillBeginDragging(UIScrollView*)
{
    if (auto browser = photoBrowser())
        browser->cancelControlHiding();
}

void ZoomingScrollView::scrollViewWillBeginZooming(UIScrollView*, UIView*)
{
    if (resettingZoom_)
        return;
    if (auto browser = photoBrowser())
        browser->cancelControlHiding();
}

void ZoomingScrollView::scrollViewDidZoom(UIScrollView*) { setNeedsLayout(); }

void ZoomingScrollView::scrollViewDidEndDragging(UIScrollView*, bool)
{
    if (auto browser = photoBrowser())
        browser->hideControlsAfterDelay();
}

void ZoomingScrollView::imageViewSingleTapDetected(UIImageView* view, UITouch* touch)
{
    handleSingleTap(touch->locationInView(view));
}

void ZoomingScrollView::imageViewDoubleTapDetected(UIImageView* view, UITouch* touch)
{
    handleDoubleTap(touch->locationInView(view));
}

void ZoomingScrollView::viewSingleTapDetected(UIView* view, UITouch* touch)
{
    handleSingleTap(touch->locationInView(view));
}

void ZoomingScrollView::viewDoubleTapDetected(UIView* view, UITouch* touch)
{
    handleDoubleTap(touch->locationInView(view));
}

void ZoomingScrollView::handleSingleTap(platform::Point)
{
    if (auto browser = photoBrowser())
        browser->performAfterDelay(kSingleTapDelay, &PhotoBrowser::toggleControls);
}

void ZoomingScrollView::handleDoubleTap(platform::Point point)
{
    auto browser = photoBrowser();
    if (browser)
        browser->cancelPreviousPerformRequests();
    if (zoomScale() == maximumZoomScale())
        setZoomScale(minimumZoomScale(), true);
    else
        zoomToRect(platform::Rect(point.x, point.y, 1, 1), true);
    if (browser)
        browser->hideControlsAfterDelay();
}
