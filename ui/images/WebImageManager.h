#pragma once

#include "platform/os/Error.h"
#include "platform/os/Url.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIImage.h"
#include "ui/images/WebImageCache.h"
#include "ui/images/WebImageDownloader.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// The option bits of a request.
enum WebImageOptions : int {
    // Ask again for an address that gave no picture before, and do not
    // remember it when it gives none again.
    WebImageRetryFailed = 1,
    // The transfer waits behind the engine's normal work.
    WebImageLowPriority = 2,
    // The picture is kept in memory only, never written to the disk cache.
    WebImageCacheMemoryOnly = 4,
    // Partial pictures are shown while the bytes arrive.
    WebImageProgressiveDownload = 8,
};

class WebImageManager;

// All optional. Each answer comes in the three forms callers know; a delegate
// overrides the one it wants (the manager calls all three, in this order).
class WebImageManagerDelegate {
public:
    virtual ~WebImageManagerDelegate() = default;
    virtual void webImageManagerDidProgressWithPartialImage(
        WebImageManager*, const std::shared_ptr<UIImage>&, const platform::Url&)
    {
    }
    virtual void webImageManagerDidProgressWithPartialImage(
        WebImageManager*, const std::shared_ptr<UIImage>&, const platform::Url&, const platform::Value& /*userInfo*/)
    {
    }
    virtual void webImageManagerDidFinishWithImage(WebImageManager*, const std::shared_ptr<UIImage>&) { }
    virtual void webImageManagerDidFinishWithImage(
        WebImageManager*, const std::shared_ptr<UIImage>&, const platform::Url&)
    {
    }
    virtual void webImageManagerDidFinishWithImage(
        WebImageManager*, const std::shared_ptr<UIImage>&, const platform::Url&, const platform::Value& /*userInfo*/)
    {
    }
    // error is nullopt when the bytes were not a picture.
    virtual void webImageManagerDidFailWithError(WebImageManager*, const std::optional<platform::Error>&) { }
    virtual void webImageManagerDidFailWithError(
        WebImageManager*, const std::optional<platform::Error>&, const platform::Url&)
    {
    }
    virtual void webImageManagerDidFailWithError(WebImageManager*, const std::optional<platform::Error>&,
        const platform::Url&, const platform::Value& /*userInfo*/)
    {
    }
};

using WebImageSuccessBlock = std::function<void(const std::shared_ptr<UIImage>&)>;
using WebImageFailureBlock = std::function<void(const std::optional<platform::Error>&)>;

// One request: who waits, for what, how.
struct WebImageRequest final : platform::Object {
    std::string className() const override { return "WebImageRequest"; }
    std::shared_ptr<WebImageManagerDelegate> delegate;
    platform::Url url;
    int options = 0;
    platform::Value userInfo; // null when the caller gave none
    WebImageSuccessBlock success;
    WebImageFailureBlock failure;
};

// Loads pictures by address for views: the cache first, then one transfer
// per address however many wait for it; decoded off the main thread, stored
// in the cache and handed to every waiting delegate. Addresses whose bytes
// were not a picture are remembered for the life of the process. Main
// thread only. Waiting delegates are held until answered or cancelled.
class WebImageManager final : public WebImageCacheDelegate,
                              public WebImageDownloaderDelegate,
                              public std::enable_shared_from_this<WebImageManager> {
public:
    static std::shared_ptr<WebImageManager> sharedManager();
    // Tests: forgets every request, transfer and failed address.
    void reset();

    void downloadWithURL(const std::optional<platform::Url>& url, const std::shared_ptr<WebImageManagerDelegate>& delegate,
        int options = 0, platform::Value userInfo = {});
    void downloadWithURL(const std::optional<platform::Url>& url, const std::shared_ptr<WebImageManagerDelegate>& delegate,
        bool retryFailed, bool lowPriority)
    {
        downloadWithURL(url, delegate, (lowPriority ? WebImageLowPriority : 0) | (retryFailed ? WebImageRetryFailed : 0));
    }
    void downloadWithURL(const std::optional<platform::Url>& url, const std::shared_ptr<WebImageManagerDelegate>& delegate,
        int options, platform::Value userInfo, WebImageSuccessBlock success, WebImageFailureBlock failure);
    // A text in place of an address.
    void downloadWithURLString(const std::string& url, const std::shared_ptr<WebImageManagerDelegate>& delegate,
        int options = 0, platform::Value userInfo = {});

    // Forgets the delegate everywhere; a transfer nobody else waits for stops.
    void cancelForDelegate(const WebImageManagerDelegate* delegate);

    // Synchronous: memory, then disk.
    std::shared_ptr<UIImage> imageWithURL(const platform::Url& url);

    using CacheKeyFilter = std::function<std::string(const platform::Url&)>;
    void setCacheKeyFilter(CacheKeyFilter filter);
    std::string cacheKeyForURL(const platform::Url& url) const;

    bool isFailedURL(const platform::Url& url) const;
    // How many addresses have a transfer running, and how many delegates wait.
    std::size_t runningDownloadCount() const { return downloaderForURL_.size(); }
    std::size_t waitingDelegateCount() const { return cacheEntries_.size() + downloadEntries_.size(); }

    // WebImageCacheDelegate
    void imageCacheDidFindImage(WebImageCache*, const std::shared_ptr<UIImage>& image, const std::string& key,
        const platform::Value& userInfo) override;
    void imageCacheDidNotFindImageForKey(
        WebImageCache*, const std::optional<std::string>& key, const platform::Value& userInfo) override;

    // WebImageDownloaderDelegate
    bool takesPartialImages() const override { return true; }
    bool takesFinishedImages() const override { return true; }
    void imageDownloaderDidUpdatePartialImage(WebImageDownloader*, const std::shared_ptr<UIImage>& image) override;
    void imageDownloaderDidFinishWithImage(WebImageDownloader*, const std::shared_ptr<UIImage>& image) override;
    void imageDownloaderDidFailWithError(WebImageDownloader*, const std::optional<platform::Error>& error) override;

private:
    WebImageManager() = default;
    struct CacheEntry {
        std::shared_ptr<WebImageManagerDelegate> delegate;
        platform::Url url;
    };
    struct DownloadEntry {
        std::uint64_t id = 0;
        std::shared_ptr<WebImageRequest> request;
        std::shared_ptr<WebImageManagerDelegate> delegate;
        std::shared_ptr<WebImageDownloader> downloader;
    };
    void request(std::shared_ptr<WebImageRequest> record);
    std::optional<std::size_t> cacheEntryIndex(const WebImageRequest& record) const;
    std::vector<std::uint64_t> entriesOf(const WebImageDownloader* downloader) const;
    std::optional<DownloadEntry> takeEntry(std::uint64_t id);
    void forgetDownloader(const WebImageDownloader* downloader);

    std::vector<DownloadEntry> downloadEntries_;
    std::vector<CacheEntry> cacheEntries_;
    std::map<std::string, std::shared_ptr<WebImageDownloader>> downloaderForURL_;
    std::vector<std::string> failedURLs_;
    mutable std::mutex filterMutex_;
    CacheKeyFilter cacheKeyFilter_;
    std::uint64_t nextEntryId_ = 1;
};
