#include "ui/images/WebImageDownloader.h"

#include "foundation/http/HTTPRequest.h"
#include "platform/graphics/ProgressiveJpeg.h"
#include "platform/os/NotificationCenter.h"
#include "ui/images/WebImageCache.h"

#include <charconv>

using foundation::CacheNeverRead;
using foundation::HTTPRequest;

namespace {

    void postStop() { platform::NotificationCenter::defaultCenter().post(WebImageDownloadStopNotification); }

} // namespace

std::shared_ptr<WebImageDownloader> WebImageDownloader::downloaderWithURL(const platform::Url& url,
    std::weak_ptr<WebImageDownloaderDelegate> delegate, platform::Value userInfo, bool lowPriority)
{
    auto downloader = std::make_shared<WebImageDownloader>();
    downloader->setUrl(url);
    downloader->setDelegate(std::move(delegate));
    downloader->setUserInfo(std::move(userInfo));
    downloader->setLowPriority(lowPriority);
    downloader->start();
    return downloader;
}

WebImageDownloader::~WebImageDownloader()
{
    if (connection_)
        connection_->clearDelegatesAndCancel();
}

void WebImageDownloader::start()
{
    auto request = HTTPRequest::requestWithURL(url_);
    if (!request || !url_.isAbsolute()) {
        if (auto d = delegate())
            d->imageDownloaderDidFailWithError(this, std::nullopt);
        return;
    }
    request->setCachePolicy(CacheNeverRead);
    request->setTimeOutSeconds(kTimeout);
    // Normal transfers go ahead of the engine's other work while lists
    // scroll; low-priority ones (prefetching) wait behind it.
    request->setQueuePriority(lowPriority_ ? platform::Operation::Low : platform::Operation::Normal);
    std::weak_ptr<WebImageDownloader> weak = weak_from_this();
    request->setHeadersReceivedBlock([weak](const platform::Dictionary&) {
        if (auto self = weak.lock())
            self->didReceiveResponse();
    });
    request->setDataReceivedBlock([weak](const platform::Bytes& data) {
        if (auto self = weak.lock())
            self->didReceiveData(data);
    });
    request->setCompletionBlock([weak] {
        if (auto self = weak.lock())
            self->didFinishLoading();
    });
    request->setFailedBlock([weak] {
        if (auto self = weak.lock())
            self->didFail();
    });
    connection_ = request;
    platform::NotificationCenter::defaultCenter().post(WebImageDownloadStartNotification);
    request->startAsynchronous();
}

void WebImageDownloader::stopConnection()
{
    if (auto request = std::exchange(connection_, nullptr))
        request->clearDelegatesAndCancel();
}

void WebImageDownloader::didReceiveResponse()
{
    if (!connection_)
        return;
    int status = connection_->responseStatusCode();
    if (status >= 400) {
        stopConnection();
        postStop();
        imageData_.clear();
        if (auto d = delegate())
            d->imageDownloaderDidFailWithError(this, platform::Error("NSURLErrorDomain", status));
        return;
    }
    expectedSize_ = 0;
    if (auto length = connection_->responseHeader("Content-Length")) {
        std::uint64_t value = 0;
        auto [end, ec] = std::from_chars(length->data(), length->data() + length->size(), value);
        if (ec == std::errc() && end == length->data() + length->size())
            expectedSize_ = value;
    }
    imageData_.clear();
    decodedUpTo_ = 0;
    // A hostile length must not make us reserve gigabytes up front.
    imageData_.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(expectedSize_, 16u << 20)));
}

void WebImageDownloader::didReceiveData(const platform::Bytes& data)
{
    if (!connection_)
        return;
    imageData_.insert(imageData_.end(), data.begin(), data.end());
    auto d = delegate();
    if (progressive_ && expectedSize_ != 0 && d && d->takesPartialImages())
        decodePartialImage();
}

void WebImageDownloader::decodePartialImage()
{
    if (width_ + height_ == 0) {
        if (auto size = platform::imagePixelSizeFromPrefix(imageData_.data(), imageData_.size())) {
            width_ = static_cast<unsigned long>(size->first);
            height_ = static_cast<unsigned long>(size->second);
        }
    }
    if (width_ + height_ == 0 || imageData_.size() >= expectedSize_)
        return;
    // A partial picture per tenth of the file rather than per network read:
    // each decode starts from the first byte, so per-read decoding of a large
    // file would cost the main thread far more than the transfer.
    if (decodedUpTo_ != 0 && imageData_.size() - decodedUpTo_ < expectedSize_ / 10)
        return;
    decodedUpTo_ = imageData_.size();
    auto partial = platform::decodePartialJPEG(imageData_.data(), imageData_.size());
    if (!partial || partial->rowsDecoded == 0)
        return;
    auto image = imageWithScaleForKey(UIImage::imageWithCGImage(partial->image), url_.absoluteString());
    if (!image)
        return;
    platform::Dictionary info;
    info.set("type", "partial");
    WebImageDecoder::sharedImageDecoder().decodeImage(image, shared_from_this(), platform::Value(std::move(info)));
}

void WebImageDownloader::didFinishLoading()
{
    connection_.reset();
    postStop();
    auto d = delegate();
    if (!d)
        return;
    d->imageDownloaderDidFinish(this);
    if (d->takesFinishedImages()) {
        auto image = UIImage::imageWithData(imageData_);
        image = image ? imageWithScaleForKey(image, url_.absoluteString()) : nullptr;
        WebImageDecoder::sharedImageDecoder().decodeImage(image, shared_from_this());
    }
}

void WebImageDownloader::didFail()
{
    std::optional<platform::Error> error;
    if (connection_)
        error = connection_->error();
    postStop();
    connection_.reset();
    imageData_.clear();
    if (auto d = delegate())
        d->imageDownloaderDidFailWithError(this, error);
}

void WebImageDownloader::cancel()
{
    if (!connection_)
        return;
    stopConnection();
    postStop();
}

void WebImageDownloader::imageDecoderDidFinishDecodingImage(
    WebImageDecoder*, const std::shared_ptr<UIImage>& image, const platform::Value& userInfo)
{
    auto d = delegate();
    if (!d)
        return;
    const auto* info = userInfo.asDictionary();
    if (info && info->get("type").stringValue() == "partial")
        d->imageDownloaderDidUpdatePartialImage(this, image);
    else
        d->imageDownloaderDidFinishWithImage(this, image);
}
