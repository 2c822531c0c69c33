#pragma once

#include "platform/os/Error.h"
#include "platform/os/Url.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIImage.h"
#include "ui/images/WebImageDecoder.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace foundation {
class HTTPRequest;
}

inline constexpr const char* WebImageDownloadStartNotification = "WebImageDownloadStartNotification";
inline constexpr const char* WebImageDownloadStopNotification = "WebImageDownloadStopNotification";

class WebImageDownloader;

// All optional. The two image answers are only worked for when the delegate
// says it takes them (decoding a partial picture is not free).
class WebImageDownloaderDelegate {
public:
    virtual ~WebImageDownloaderDelegate() = default;
    virtual void imageDownloaderDidFinish(WebImageDownloader*) { }
    virtual bool takesPartialImages() const { return false; }
    virtual void imageDownloaderDidUpdatePartialImage(WebImageDownloader*, const std::shared_ptr<UIImage>&) { }
    virtual bool takesFinishedImages() const { return false; }
    // image is nullptr when the bytes were not a picture.
    virtual void imageDownloaderDidFinishWithImage(WebImageDownloader*, const std::shared_ptr<UIImage>&) { }
    // error is nullopt when no connection could be made.
    virtual void imageDownloaderDidFailWithError(WebImageDownloader*, const std::optional<platform::Error>&) { }
};

// One transfer of one picture over the HTTP engine (15 s, never answered from
// the local cache). Status 400 or more fails with that code in the
// "NSURLErrorDomain"; in progressive mode partial pictures are decoded as
// the bytes arrive. Everything happens on the main thread except the decode.
class WebImageDownloader final : public WebImageDecoderDelegate,
                                 public std::enable_shared_from_this<WebImageDownloader> {
public:
    static constexpr double kTimeout = 15.0;

    // Made and started at once.
    static std::shared_ptr<WebImageDownloader> downloaderWithURL(const platform::Url& url,
        std::weak_ptr<WebImageDownloaderDelegate> delegate, platform::Value userInfo = {}, bool lowPriority = false);
    // Kept for callers that set it: the engine schedules its own transfers.
    static void setMaxConcurrentDownloads(unsigned) { }

    WebImageDownloader() = default;
    ~WebImageDownloader() override;

    void start();
    void cancel();

    const platform::Url& url() const { return url_; }
    void setUrl(platform::Url url) { url_ = std::move(url); }
    std::shared_ptr<WebImageDownloaderDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<WebImageDownloaderDelegate> delegate) { delegate_ = std::move(delegate); }
    const platform::Value& userInfo() const { return userInfo_; }
    void setUserInfo(platform::Value userInfo) { userInfo_ = std::move(userInfo); }
    bool lowPriority() const { return lowPriority_; }
    void setLowPriority(bool lowPriority) { lowPriority_ = lowPriority; }
    bool progressive() const { return progressive_; }
    void setProgressive(bool progressive) { progressive_ = progressive; }
    const std::shared_ptr<foundation::HTTPRequest>& connection() const { return connection_; }
    const platform::Bytes& imageData() const { return imageData_; }
    std::uint64_t expectedSize() const { return expectedSize_; }
    unsigned long width() const { return width_; }
    unsigned long height() const { return height_; }

    void imageDecoderDidFinishDecodingImage(
        WebImageDecoder*, const std::shared_ptr<UIImage>& image, const platform::Value& userInfo) override;

private:
    void didReceiveResponse();
    void didReceiveData(const platform::Bytes& data);
    void didFinishLoading();
    void didFail();
    void decodePartialImage();
    void stopConnection();

    platform::Url url_;
    std::weak_ptr<WebImageDownloaderDelegate> delegate_;
    std::shared_ptr<foundation::HTTPRequest> connection_;
    platform::Bytes imageData_;
    platform::Value userInfo_;
    bool lowPriority_ = false;
    std::uint64_t expectedSize_ = 0; // 64-bit: a length past 4 GiB must not wrap
    bool progressive_ = false;
    unsigned long width_ = 0;
    unsigned long height_ = 0;
    std::size_t decodedUpTo_ = 0; // bytes the last partial picture was made from
};
