#include "messaging/send/MessageSendPhoto.h"

#include "core/network/builders/ORBUploadControl.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"

using foundation::HTTPRequestDelegate;
using foundation::HTTPRequestPtr;
using foundation::ProgressDelegate;
using foundation::RequestSelector;

std::shared_ptr<MessageSendPhoto> MessageSendPhoto::photoWithDelegate(std::weak_ptr<MessageSendPhotoDelegate> delegate)
{
    auto tile = std::make_shared<MessageSendPhoto>();
    tile->loadLayout(kClassName);
    tile->setDelegate(std::move(delegate));
    return tile;
}

void MessageSendPhoto::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    MessageSendTile::declareLayoutBindings(bindings);
    bindings.outlet("imgView", imgView_);
}

void MessageSendPhoto::awakeFromNib()
{
    MessageSendTile::awakeFromNib();
    info_ = std::make_shared<core::PhotoInfo>();
    imgView_->layer()->setMinificationFilter(kCAFilterTrilinear);
}

void MessageSendPhoto::setInfo(std::shared_ptr<core::PhotoInfo> info)
{
    info_ = info ? std::move(info) : std::make_shared<core::PhotoInfo>();
}

bool MessageSendPhoto::setImage(const platform::Image& image)
{
    if (!info_->setImage(image))
        return false;
    imgView_->setImage(std::make_shared<UIImage>(info_->thumbImage));
    setTitle(std::to_string(info_->size / 1024) + "K");
    return true;
}

void MessageSendPhoto::tell(const MessageSendPhotoDelegate::Callback MessageSendPhotoDelegate::*method)
{
    auto delegate = delegate_.lock();
    if (!delegate)
        return;
    auto callback = (*delegate).*method;
    if (callback)
        callback(*this);
}

void MessageSendPhoto::upload(int photoType)
{
    if (!info_->url.empty() && !info_->thumbUrl.empty()) {
        // Sent again after another attachment failed: this one is there already.
        tell(&MessageSendPhotoDelegate::messageSendPhotoDidUpload);
        return;
    }
    auto self = std::static_pointer_cast<MessageSendPhoto>(sharedView());
    startUpload(core::ORBUploadControl::uploadPhotoType(photoType, *info_, std::weak_ptr<ProgressDelegate>(self),
        std::weak_ptr<HTTPRequestDelegate>(self), RequestSelector::method(&MessageSendPhoto::requestUploadSucceeded),
        RequestSelector::method(&MessageSendPhoto::requestUploadFailed)));
}

void MessageSendPhoto::requestUploadSucceeded(const HTTPRequestPtr& request)
{
    uploadAnswered(*request, core::ORBUploadControl::storePhotoReply(*request, *info_));
    tell(&MessageSendPhotoDelegate::messageSendPhotoDidUpload);
}

void MessageSendPhoto::requestUploadFailed(const HTTPRequestPtr& request)
{
    uploadFailed(*request);
    tell(&MessageSendPhotoDelegate::messageSendPhotoDidUpload);
}

void MessageSendPhoto::actionSheetDidDismiss(UIActionSheet*, long buttonIndex)
{
    if (buttonIndex == 0)
        tell(&MessageSendPhotoDelegate::messageSendPhotoDidRemove);
    else if (buttonIndex == 1)
        tell(&MessageSendPhotoDelegate::messageSendPhotoDidShow);
}
