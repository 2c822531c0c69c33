#include "ui/images/WebImageManager.h"

#include <algorithm>

std::shared_ptr<WebImageManager> WebImageManager::sharedManager()
{
    static std::shared_ptr<WebImageManager> manager(new WebImageManager());
    return manager;
}

void WebImageManager::reset()
{
    for (auto& [url, downloader] : std::exchange(downloaderForURL_, {}))
        downloader->cancel();
    downloadEntries_.clear();
    cacheEntries_.clear();
    failedURLs_.clear();
    setCacheKeyFilter({});
}

void WebImageManager::setCacheKeyFilter(CacheKeyFilter filter)
{
    std::lock_guard lock(filterMutex_);
    cacheKeyFilter_ = std::move(filter);
}

std::string WebImageManager::cacheKeyForURL(const platform::Url& url) const
{
    CacheKeyFilter filter;
    {
        std::lock_guard lock(filterMutex_);
        filter = cacheKeyFilter_;
    }
    return filter ? filter(url) : url.absoluteString();
}

bool WebImageManager::isFailedURL(const platform::Url& url) const
{
    return std::find(failedURLs_.begin(), failedURLs_.end(), url.absoluteString()) != failedURLs_.end();
}

std::shared_ptr<UIImage> WebImageManager::imageWithURL(const platform::Url& url)
{
    return WebImageCache::sharedImageCache()->imageFromKey(cacheKeyForURL(url));
}

void WebImageManager::downloadWithURLString(
    const std::string& url, const std::shared_ptr<WebImageManagerDelegate>& delegate, int options, platform::Value userInfo)
{
    downloadWithURL(platform::Url::parse(url), delegate, options, std::move(userInfo));
}

void WebImageManager::downloadWithURL(const std::optional<platform::Url>& url,
    const std::shared_ptr<WebImageManagerDelegate>& delegate, int options, platform::Value userInfo)
{
    downloadWithURL(url, delegate, options, std::move(userInfo), {}, {});
}

void WebImageManager::downloadWithURL(const std::optional<platform::Url>& url,
    const std::shared_ptr<WebImageManagerDelegate>& delegate, int options, platform::Value userInfo,
    WebImageSuccessBlock success, WebImageFailureBlock failure)
{
    if (!url || !delegate)
        return;
    auto record = std::make_shared<WebImageRequest>();
    record->delegate = delegate;
    record->url = *url;
    record->options = options;
    record->userInfo = std::move(userInfo);
    record->success = std::move(success);
    record->failure = std::move(failure);
    request(std::move(record));
}

void WebImageManager::request(std::shared_ptr<WebImageRequest> record)
{
    if (!(record->options & WebImageRetryFailed) && isFailedURL(record->url))
        return;
    cacheEntries_.push_back({ record->delegate, record->url });
    auto key = cacheKeyForURL(record->url);
    WebImageCache::sharedImageCache()->queryDiskCacheForKey(key, shared_from_this(), platform::Value(record));
}

std::optional<std::size_t> WebImageManager::cacheEntryIndex(const WebImageRequest& record) const
{
    for (std::size_t i = 0; i < cacheEntries_.size(); ++i) {
        if (cacheEntries_[i].delegate == record.delegate && cacheEntries_[i].url == record.url)
            return i;
    }
    return std::nullopt;
}

void WebImageManager::imageCacheDidFindImage(
    WebImageCache*, const std::shared_ptr<UIImage>& image, const std::string&, const platform::Value& userInfo)
{
    auto record = userInfo.objectAs<WebImageRequest>();
    if (!record)
        return;
    auto index = cacheEntryIndex(*record);
    if (!index)
        return; // cancelled meanwhile
    cacheEntries_.erase(cacheEntries_.begin() + static_cast<long>(*index));
    auto& d = record->delegate;
    d->webImageManagerDidFinishWithImage(this, image);
    d->webImageManagerDidFinishWithImage(this, image, record->url);
    d->webImageManagerDidFinishWithImage(this, image, record->url, record->userInfo);
    if (record->success)
        record->success(image);
}

void WebImageManager::imageCacheDidNotFindImageForKey(
    WebImageCache*, const std::optional<std::string>&, const platform::Value& userInfo)
{
    auto record = userInfo.objectAs<WebImageRequest>();
    if (!record)
        return;
    auto index = cacheEntryIndex(*record);
    if (!index)
        return;
    cacheEntries_.erase(cacheEntries_.begin() + static_cast<long>(*index));
    bool lowPriority = record->options & WebImageLowPriority;
    auto& slot = downloaderForURL_[record->url.absoluteString()];
    std::shared_ptr<WebImageDownloader> downloader = slot;
    if (!downloader) {
        downloader = std::make_shared<WebImageDownloader>();
        downloader->setUrl(record->url);
        downloader->setDelegate(weak_from_this());
        downloader->setUserInfo(platform::Value(record));
        downloader->setLowPriority(lowPriority);
        downloader->setProgressive(record->options & WebImageProgressiveDownload);
        slot = downloader;
        downloadEntries_.push_back({ nextEntryId_++, record, record->delegate, downloader });
        downloader->start();
        return;
    }
    downloader->setLowPriority(lowPriority);
    if ((record->options & WebImageProgressiveDownload) && !downloader->progressive())
        downloader->setProgressive(true);
    downloadEntries_.push_back({ nextEntryId_++, record, record->delegate, downloader });
}

std::vector<std::uint64_t> WebImageManager::entriesOf(const WebImageDownloader* downloader) const
{
    // From the last registered to the first, as the answers go out.
    std::vector<std::uint64_t> ids;
    for (auto it = downloadEntries_.rbegin(); it != downloadEntries_.rend(); ++it) {
        if (it->downloader.get() == downloader)
            ids.push_back(it->id);
    }
    return ids;
}

std::optional<WebImageManager::DownloadEntry> WebImageManager::takeEntry(std::uint64_t id)
{
    auto it = std::find_if(
        downloadEntries_.begin(), downloadEntries_.end(), [id](const DownloadEntry& e) { return e.id == id; });
    if (it == downloadEntries_.end())
        return std::nullopt;
    DownloadEntry entry = std::move(*it);
    downloadEntries_.erase(it);
    return entry;
}

void WebImageManager::forgetDownloader(const WebImageDownloader* downloader)
{
    auto it = downloaderForURL_.find(downloader->url().absoluteString());
    if (it != downloaderForURL_.end() && it->second.get() == downloader)
        downloaderForURL_.erase(it);
}

void WebImageManager::imageDownloaderDidUpdatePartialImage(
    WebImageDownloader* downloader, const std::shared_ptr<UIImage>& image)
{
    for (auto id : entriesOf(downloader)) {
        auto it = std::find_if(
            downloadEntries_.begin(), downloadEntries_.end(), [id](const DownloadEntry& e) { return e.id == id; });
        if (it == downloadEntries_.end())
            continue; // a delegate cancelled another's request from its answer
        auto entry = *it;
        entry.delegate->webImageManagerDidProgressWithPartialImage(this, image, downloader->url());
        entry.delegate->webImageManagerDidProgressWithPartialImage(
            this, image, downloader->url(), entry.request->userInfo);
    }
}

void WebImageManager::imageDownloaderDidFinishWithImage(
    WebImageDownloader* downloader, const std::shared_ptr<UIImage>& image)
{
    // Holds the downloader (and its bytes) while delegates answer.
    std::shared_ptr<WebImageDownloader> keep;
    if (auto it = downloaderForURL_.find(downloader->url().absoluteString());
        it != downloaderForURL_.end() && it->second.get() == downloader)
        keep = it->second;
    auto own = downloader->userInfo().objectAs<WebImageRequest>();
    int options = own ? own->options : 0;
    for (auto id : entriesOf(downloader)) {
        auto entry = takeEntry(id);
        if (!entry)
            continue;
        auto& d = entry->delegate;
        auto& url = downloader->url();
        if (image) {
            d->webImageManagerDidFinishWithImage(this, image);
            d->webImageManagerDidFinishWithImage(this, image, url);
            d->webImageManagerDidFinishWithImage(this, image, url, entry->request->userInfo);
            if (entry->request->success)
                entry->request->success(image);
        } else {
            d->webImageManagerDidFailWithError(this, std::nullopt);
            d->webImageManagerDidFailWithError(this, std::nullopt, url);
            d->webImageManagerDidFailWithError(this, std::nullopt, url, entry->request->userInfo);
            if (entry->request->failure)
                entry->request->failure(std::nullopt);
        }
    }
    if (image) {
        WebImageCache::sharedImageCache()->storeImage(image, downloader->imageData(),
            cacheKeyForURL(downloader->url()), !(options & WebImageCacheMemoryOnly));
    } else if (!(options & WebImageRetryFailed) && !isFailedURL(downloader->url()))
        failedURLs_.push_back(downloader->url().absoluteString());
    forgetDownloader(downloader);
}

void WebImageManager::imageDownloaderDidFailWithError(
    WebImageDownloader* downloader, const std::optional<platform::Error>& error)
{
    std::shared_ptr<WebImageDownloader> keep;
    if (auto it = downloaderForURL_.find(downloader->url().absoluteString());
        it != downloaderForURL_.end() && it->second.get() == downloader)
        keep = it->second;
    for (auto id : entriesOf(downloader)) {
        auto entry = takeEntry(id);
        if (!entry)
            continue;
        auto& d = entry->delegate;
        d->webImageManagerDidFailWithError(this, error);
        d->webImageManagerDidFailWithError(this, error, downloader->url());
        d->webImageManagerDidFailWithError(this, error, downloader->url(), entry->request->userInfo);
        if (entry->request->failure)
            entry->request->failure(error);
    }
    forgetDownloader(downloader);
}

void WebImageManager::cancelForDelegate(const WebImageManagerDelegate* delegate)
{
    if (!delegate)
        return;
    std::erase_if(cacheEntries_, [delegate](const CacheEntry& e) { return e.delegate.get() == delegate; });
    std::vector<std::shared_ptr<WebImageDownloader>> affected;
    for (auto it = downloadEntries_.begin(); it != downloadEntries_.end();) {
        if (it->delegate.get() == delegate) {
            affected.push_back(it->downloader);
            it = downloadEntries_.erase(it);
        } else
            ++it;
    }
    for (auto& downloader : affected) {
        bool stillWanted = std::any_of(downloadEntries_.begin(), downloadEntries_.end(),
            [&](const DownloadEntry& e) { return e.downloader == downloader; });
        if (stillWanted)
            continue;
        downloader->cancel();
        forgetDownloader(downloader.get());
    }
}
