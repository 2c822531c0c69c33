#include "messaging/chat/MessagePhotoLeftCell.h"

#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImageView.h"
#include "ui/images/WebCacheViews.h"

void MessagePhotoLeftCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    MessageBaseCell::declareLayoutBindings(bindings);
    bindings.outlet("photoView", photoView_);
}

void MessagePhotoLeftCell::awakeFromNib()
{
    MessageBaseCell::awakeFromNib();
    auto view = photoView_.lock();
    auto wrapper = wrapperView();
    if (!view || !wrapper)
        return;
    maxSize_ = view->frame().size;
    maxRatio_ = maxSize_.width > 0 ? static_cast<float>(maxSize_.height / maxSize_.width) : 0;
    xMargin_ = static_cast<float>(wrapper->frame().width() - view->frame().width());
    yMargin_ = static_cast<float>(bounds().height() - view->frame().height());
}

double MessagePhotoLeftCell::bubbleX(double) const
{
    auto wrapper = wrapperView();
    return wrapper ? wrapper->frame().minX() : 0;
}

void MessagePhotoLeftCell::setMessage(std::shared_ptr<core::MessageInfo> message)
{
    if (!message)
        return;
    MessageBaseCell::setMessage(message);
    auto view = photoView_.lock();
    // A reused row drops the previous message's picture and its load first, so
    // neither the old photo nor its late answer reaches this message.
    if (view)
        ui::cancelCurrentImageLoad(view);
    photo_ = message->photosInfo.empty() ? nullptr : message->photosInfo.front();
    if (!photo_) {
        if (view)
            view->setImage(nullptr);
        return;
    }
    std::shared_ptr<UIImage> thumb;
    if (!photo_->thumbImage.isNull())
        thumb = UIImage::imageWithCGImage(photo_->thumbImage, photo_->thumbImage.scale());
    if (view)
        view->setImage(thumb);

    if (photo_->width > 0)
        setWrapperWidth(photo_->width + xMargin_, bubbleX(photo_->width + xMargin_));
    else
        setWrapperWidth(maxSize_.width + xMargin_, bubbleX(maxSize_.width + xMargin_));

    // Without a size (or with a size but no picture kept) the thumbnail is
    // fetched; the answer is applied only while this row still shows that photo.
    if ((photo_->width <= 0 || !thumb) && view && !photo_->thumbUrl.empty()) {
        std::weak_ptr<MessagePhotoLeftCell> weakSelf = std::static_pointer_cast<MessagePhotoLeftCell>(sharedView());
        std::weak_ptr<core::PhotoInfo> requested = photo_;
        ui::setImageWithURL(view, platform::Url::parse(photo_->thumbUrl), thumb, 0,
            [weakSelf, requested](const std::shared_ptr<UIImage>&) {
                auto self = weakSelf.lock();
                if (self && self->photo_ && self->photo_ == requested.lock())
                    self->updatePhotoSize();
            },
            {});
    }
}

void MessagePhotoLeftCell::updatePhotoSize()
{
    auto view = photoView_.lock();
    auto image = view ? view->image() : nullptr;
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
