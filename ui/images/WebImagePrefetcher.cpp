#include "ui/images/WebImagePrefetcher.h"

#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"

std::shared_ptr<WebImagePrefetcher> WebImagePrefetcher::sharedImagePrefetcher()
{
    static auto prefetcher = std::make_shared<WebImagePrefetcher>();
    return prefetcher;
}

void WebImagePrefetcher::prefetchURLs(std::vector<std::string> urls)
{
    cancelPrefetching();
    startedTime_ = platform::RunLoop::main().now();
    prefetchURLs_ = std::move(urls);
    for (std::size_t i = 0; i < maxConcurrentDownloads_ && requestedCount_ < prefetchURLs_.size(); ++i)
        startPrefetchingAtIndex(i);
}

void WebImagePrefetcher::startPrefetchingAtIndex(std::size_t index)
{
    if (index >= prefetchURLs_.size())
        return;
    ++requestedCount_;
    auto url = platform::Url::parse(prefetchURLs_[index]);
    if (!url || !url->isAbsolute()) {
        // Nothing to ask for: counted as a skipped address so the list still ends.
        platform::postToMain([weak = weak_from_this()] {
            if (auto self = weak.lock())
                self->webImageManagerDidFailWithError(WebImageManager::sharedManager().get(), std::nullopt);
        });
        return;
    }
    WebImageManager::sharedManager()->downloadWithURL(url, shared_from_this(), options_);
}

void WebImagePrefetcher::finishedOne()
{
    if (prefetchURLs_.size() > requestedCount_)
        startPrefetchingAtIndex(requestedCount_);
    else if (finishedCount_ == requestedCount_)
        platform::log("Finished prefetching (%d successful, %d skipped, timeElasped %.2f)",
            static_cast<int>(prefetchURLs_.size() - skippedCount_), static_cast<int>(skippedCount_),
            platform::RunLoop::main().now() - startedTime_);
}

void WebImagePrefetcher::webImageManagerDidFinishWithImage(WebImageManager*, const std::shared_ptr<UIImage>&)
{
    ++finishedCount_;
    platform::log("Prefetched %d out of %d", static_cast<int>(finishedCount_), static_cast<int>(prefetchURLs_.size()));
    finishedOne();
}

void WebImagePrefetcher::webImageManagerDidFailWithError(WebImageManager*, const std::optional<platform::Error>&)
{
    ++finishedCount_;
    platform::log(
        "Prefetched %d out of %d (Failed)", static_cast<int>(finishedCount_), static_cast<int>(prefetchURLs_.size()));
    ++skippedCount_;
    finishedOne();
}

void WebImagePrefetcher::cancelPrefetching()
{
    prefetchURLs_.clear();
    skippedCount_ = 0;
    requestedCount_ = 0;
    finishedCount_ = 0;
    WebImageManager::sharedManager()->cancelForDelegate(this);
}
