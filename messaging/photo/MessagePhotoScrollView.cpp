#include "messaging/photo/MessagePhotoScrollView.h"

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"

#include <algorithm>
#include <cmath>

MessagePhotoScrollView::MessagePhotoScrollView(const platform::Rect& frame)
    : UIScrollView(frame)
    , imageView_(std::make_shared<UIImageView>(platform::Rect(0, 0, frame.width(), frame.height())))
{
    setContentSize(frame.size);
    setShowsHorizontalScrollIndicator(false);
    setShowsVerticalScrollIndicator(false);
    setBounces(false);
    setAlwaysBounceVertical(false);
    addSubview(imageView_);
}

void MessagePhotoScrollView::setPhoto(std::shared_ptr<core::PhotoInfo> photo)
{
    photo_ = std::move(photo);
    const auto page = bounds().size;
    std::shared_ptr<UIImage> image;
    if (photo_ && !photo_->image.isNull())
        image = std::make_shared<UIImage>(photo_->image);
    const platform::Size size = image ? image->size() : platform::Size {};
    // A photo without pixels (or a page without room) has no scale to fit:
    // it stays at 1, nothing shown.
    if (size.width <= 0 || size.height <= 0 || page.width <= 0 || page.height <= 0) {
        initialZoom_ = 1.0;
        imageView_->setImage(nullptr);
        return;
    }
    const double sx = page.width / size.width;
    const double sy = page.height / size.height;
    platform::Rect frame;
    if (std::fabs(sx - sy) < kFillTolerance) {
        initialZoom_ = std::max(sx, sy);
        frame = platform::Rect(0, 0, page.width / initialZoom_, page.height / initialZoom_);
    } else {
        initialZoom_ = std::min(sx, sy);
        frame = platform::Rect(0, 0, size.width, size.height);
    }
    setZoomScale(1.0);
    imageView_->setTransform(platform::AffineTransform::identity());
    imageView_->setFrame(frame);
    setContentSize(frame.size);
    setMaximumZoomScale(kMaximumZoom);
    setMinimumZoomScale(initialZoom_);
    setZoomScale(initialZoom_);
    imageView_->setImage(image);
    imageView_->setContentMode(UIViewContentModeCenter);
    setNeedsLayout();
}

void MessagePhotoScrollView::layoutSubviews()
{
    UIScrollView::layoutSubviews();
    // Moved by its centre: the frame of a zoomed view is its scaled size.
    const auto frame = imageView_->frame();
    const double x = std::max(0.0, (bounds().width() - frame.width()) / 2);
    const double y = std::max(0.0, (bounds().height() - frame.height()) / 2);
    imageView_->setCenter(platform::Point(x + frame.width() / 2, y + frame.height() / 2));
}

void MessagePhotoScrollView::toggleZoomIntoLocation(platform::Point point)
{
    if (initialZoom_ <= 0)
        return;
    const auto size = frame().size;
    if (zoomScale() > initialZoom_)
        zoomToRect(platform::Rect(0, 0, size.width / initialZoom_, size.height / initialZoom_), true);
    else
        zoomToRect(platform::Rect(point.x, point.y, size.width / kToggleZoom, size.height / kToggleZoom), true);
}
