#pragma once

#include "platform/os/Url.h"
#include "ui/images/WebImageManager.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Warms the cache for a list of addresses, a few at a time, at low priority.
class WebImagePrefetcher final : public WebImageManagerDelegate,
                                 public std::enable_shared_from_this<WebImagePrefetcher> {
public:
    static std::shared_ptr<WebImagePrefetcher> sharedImagePrefetcher();

    // Addresses as texts (a text that is not an address is skipped like a failure).
    void prefetchURLs(std::vector<std::string> urls);
    void cancelPrefetching();

    unsigned maxConcurrentDownloads() const { return maxConcurrentDownloads_; }
    void setMaxConcurrentDownloads(unsigned count) { maxConcurrentDownloads_ = count; }
    int options() const { return options_; }
    void setOptions(int options) { options_ = options; }
    const std::vector<std::string>& prefetchURLList() const { return prefetchURLs_; }
    unsigned finishedCount() const { return finishedCount_; }
    unsigned skippedCount() const { return skippedCount_; }
    unsigned requestedCount() const { return requestedCount_; }

    void webImageManagerDidFinishWithImage(WebImageManager*, const std::shared_ptr<UIImage>&) override;
    void webImageManagerDidFailWithError(WebImageManager*, const std::optional<platform::Error>&) override;

    WebImagePrefetcher() = default;

private:
    void startPrefetchingAtIndex(std::size_t index);
    void finishedOne();

    unsigned skippedCount_ = 0;
    unsigned finishedCount_ = 0;
    unsigned requestedCount_ = 0;
    double startedTime_ = 0;
    std::vector<std::string> prefetchURLs_;
    unsigned maxConcurrentDownloads_ = 3;
    int options_ = WebImageLowPriority;
};
