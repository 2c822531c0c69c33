#include "ui/photobrowser/BrowserPhoto.h"

#include "platform/os/FileUtil.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"

std::shared_ptr<BrowserPhoto> BrowserPhoto::photoWithImage(std::shared_ptr<UIImage> image)
{
    auto photo = std::make_shared<BrowserPhoto>();
    photo->underlyingImage_ = std::move(image);
    return photo;
}

std::shared_ptr<BrowserPhoto> BrowserPhoto::photoWithFilePath(std::string path)
{
    auto photo = std::make_shared<BrowserPhoto>();
    photo->photoPath_ = std::move(path);
    return photo;
}

std::shared_ptr<BrowserPhoto> BrowserPhoto::photoWithURL(platform::Url url)
{
    auto photo = std::make_shared<BrowserPhoto>();
    photo->photoURL_ = std::move(url);
    return photo;
}

BrowserPhoto::~BrowserPhoto() { WebImageManager::sharedManager()->cancelForDelegate(this); }

void BrowserPhoto::loadUnderlyingImageAndNotify()
{
    loadingInProgress_ = true;
    std::uint64_t load = ++load_;
    if (underlyingImage_) {
        imageLoadingComplete();
        return;
    }
    if (photoPath_) {
        // The read holds the photo, so the answer always has somewhere to go.
        platform::dispatchAsync([self = shared_from_this(), path = *photoPath_, load]() mutable {
            std::shared_ptr<UIImage> image;
            if (auto data = platform::FileUtil::read(path))
                image = UIImage::imageWithData(*data);
            // The photo moves on to the main thread: it must never be let go of here.
            platform::postToMain(
                [self = std::move(self), image, load] { self->decodeLoadedImage(image, load); });
        });
        return;
    }
    if (photoURL_) {
        WebImageManager::sharedManager()->downloadWithURL(photoURL_, shared_from_this(), 0);
        return;
    }
    underlyingImage_ = nullptr;
    imageLoadingComplete();
}

void BrowserPhoto::decodeLoadedImage(const std::shared_ptr<UIImage>& image, std::uint64_t load)
{
    if (!loadingInProgress_ || load != load_)
        return;
    if (image) {
        WebImageDecoder::sharedImageDecoder().decodeImage(image, shared_from_this(), platform::Value(static_cast<unsigned long long>(load)));
        return;
    }
    underlyingImage_ = nullptr;
    imageLoadingComplete();
}

void BrowserPhoto::webImageManagerDidFinishWithImage(WebImageManager*, const std::shared_ptr<UIImage>& image)
{
    decodeLoadedImage(image, load_);
}

void BrowserPhoto::webImageManagerDidFailWithError(WebImageManager*, const std::optional<platform::Error>&)
{
    decodeLoadedImage(nullptr, load_);
}

void BrowserPhoto::imageDecoderDidFinishDecodingImage(
    WebImageDecoder*, const std::shared_ptr<UIImage>& image, const platform::Value& userInfo)
{
    if (!loadingInProgress_ || userInfo.unsignedLongLongValue() != load_)
        return;
    underlyingImage_ = image;
    imageLoadingComplete();
}

void BrowserPhoto::imageLoadingComplete()
{
    loadingInProgress_ = false;
    auto keep = shared_from_this();
    platform::NotificationCenter::defaultCenter().post(
        PHOTO_LOADING_DID_END_NOTIFICATION, platform::Value(std::static_pointer_cast<platform::Object>(keep)));
}

void BrowserPhoto::unloadUnderlyingImage()
{
    loadingInProgress_ = false;
    ++load_;
    WebImageManager::sharedManager()->cancelForDelegate(this);
    if (photoPath_ || photoURL_)
        underlyingImage_ = nullptr;
}
