#include "messaging/chat/MessagePhotoLeftCell.h"

#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImageView.h"
#include "ui/Lifetime.h"
#include "ui/images/WebCacheViews.h"

void MessagePhotoLeftCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    MessageBaseCell::declareLayoutBindings(bindings);
    bindings.outlet("photoView", photoView_);
}

void MessagePhotoLeftCell::awakeFromNib()
{
    MessageBaseCell::awakeFromNib();
    maxSize_ = photoView_->frame().size;
    maxRatio_ = maxSize_.width > 0 ? static_cast<float>(maxSize_.height / maxSize_.width) : 0;
    xMargin_ = static_cast<float>(wrapperView()->frame().width() - photoView_->frame().width());
    yMargin_ = static_cast<float>(bounds().height() - photoView_->frame().height());
}

double MessagePhotoLeftCell::bubbleX(double) const { return wrapperView()->frame().minX(); }

void MessagePhotoLeftCell::setMessage(std::shared_ptr<core::MessageInfo> message)
{
    if (!message)
        return;
    MessageBaseCell::setMessage(message);
    // A reused row drops the previous message's picture and its load first, so
    // neither the old photo nor its late answer reaches this message.
    cancelCurrentImageLoad(photoView_);
    photo_ = message->photosInfo.empty() ? nullptr : message->photosInfo.front();
    if (!photo_) {
        photoView_->setImage(nullptr);
        return;
    }
    std::shared_ptr<UIImage> thumb;
    if (!photo_->thumbImage.isNull())
        thumb = UIImage::imageWithCGImage(photo_->thumbImage, photo_->thumbImage.scale());
    photoView_->setImage(thumb);

    if (photo_->width > 0)
        setWrapperWidth(photo_->width + xMargin_, bubbleX(photo_->width + xMargin_));
    else
        setWrapperWidth(maxSize_.width + xMargin_, bubbleX(maxSize_.width + xMargin_));

    // Without a size (or with a size but no picture kept) the thumbnail is
    // fetched; the answer is applied only while this row still shows that photo.
    if ((photo_->width <= 0 || !thumb) && !photo_->thumbUrl.empty()) {
        std::weak_ptr<core::PhotoInfo> requested = photo_;
        setImageWithURL(photoView_, platform::Url::parse(photo_->thumbUrl), thumb, 0,
            weakCall(std::weak_ptr<MessagePhotoLeftCell>(std::static_pointer_cast<MessagePhotoLeftCell>(sharedView())),
                [requested](MessagePhotoLeftCell& cell, const std::shared_ptr<UIImage>&) {
                    if (cell.photo_ && cell.photo_ == requested.lock())
                        cell.updatePhotoSize();
                }),
            {});
    }
}

void MessagePhotoLeftCell::updatePhotoSize()
{
    auto image = photoView_->image();
    if (!image || !photo_)
        return;
    photo_->thumbImage = image->CGImage();
    if (photo_->height > 0)
        return;
    const double imageWidth = image->size().width;
    const double imageHeight = image->size().height;
    if (imageWidth <= 0 || imageHeight <= 0)
        return; // an empty picture has no aspect to keep
    const double ratio = imageHeight / imageWidth;
    double width = 0;
    double height = 0;
    if (ratio < maxRatio_) {
        width = maxSize_.width;
        height = ratio * width;
    } else {
        height = maxSize_.height;
        width = height / ratio;
    }
    photo_->width = static_cast<float>(width);
    photo_->height = static_cast<float>(height);
    if (auto delegate = this->delegate())
        delegate->messageBaseCellUpdateSize(*this);
}

double MessagePhotoLeftCell::computeHeight(const core::MessageInfo& message)
{
    return computeHeightOn<MessagePhotoLeftCell>(message);
}
