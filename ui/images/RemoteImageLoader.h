#pragma once

#include "platform/os/Error.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/Url.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIImage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace foundation {
class HTTPRequest;
}

inline constexpr const char* RemoteImageLoadDidFinish = "RemoteImageLoadDidFinish";
inline constexpr const char* RemoteImageLoadDidFail = "RemoteImageLoadDidFail";
inline constexpr const char* RemoteImageTargetReleased = "RemoteImageTargetReleased";
inline constexpr const char* RemoteImageLoaderErrorDomain = "RemoteImageLoader";

// Decoded images by address, shared by every loader. Emptied on a memory warning.
class RemoteImageCache final : public platform::Object {
public:
    RemoteImageCache();
    std::string className() const override { return "RemoteImageCache"; }
    std::shared_ptr<UIImage> objectForKey(const platform::Url& url) const;
    void setObject(const std::shared_ptr<UIImage>& image, const platform::Url& url);
    void removeObjectForKey(const platform::Url& url);
    void removeAllObjects();
    std::size_t count() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<UIImage>> images_;
    platform::ObserverToken memoryWarning_;
};

// A selector with the method it names: requests are told apart by target and
// selector name, as the loader's de-duplication needs.
struct RemoteImageSuccess {
    std::string name;
    std::function<void(platform::Object& target, const std::shared_ptr<UIImage>& image,
        const std::optional<platform::Url>& url)>
        perform;
    explicit operator bool() const { return static_cast<bool>(perform); }
};
struct RemoteImageFailure {
    std::string name;
    std::function<void(platform::Object& target, const platform::Error& error, const std::optional<platform::Url>& url)>
        perform;
    explicit operator bool() const { return static_cast<bool>(perform); }
};

// One download with its decode. The target is held until the connection
// leaves the loader's queue.
class RemoteImageConnection final : public platform::Object,
                                    public std::enable_shared_from_this<RemoteImageConnection> {
public:
    RemoteImageConnection(std::optional<platform::Url> url, std::shared_ptr<RemoteImageCache> cache,
        std::shared_ptr<platform::Object> target, RemoteImageSuccess success, RemoteImageFailure failure);
    ~RemoteImageConnection() override;
    std::string className() const override { return "RemoteImageConnection"; }

    void start();
    void cancel();
    std::shared_ptr<UIImage> cachedImage() const;
    bool isInCache() const { return cachedImage() != nullptr; }

    bool isLoading() const { return loading_; }
    bool isCancelled() const { return cancelled_.load(); }
    const std::optional<platform::Url>& URL() const { return URL_; }
    const std::shared_ptr<RemoteImageCache>& cache() const { return cache_; }
    const std::shared_ptr<platform::Object>& target() const { return target_; }
    const RemoteImageSuccess& success() const { return success_; }
    const RemoteImageFailure& failure() const { return failure_; }
    const std::shared_ptr<foundation::HTTPRequest>& connection() const { return connection_; }

private:
    void didFinishLoading();
    void didFail();
    void processDataInBackground(platform::Bytes data);
    void cacheImage(const std::shared_ptr<UIImage>& image);
    void loadFailedWithError(const platform::Error& error);

    bool loading_ = false;
    std::atomic<bool> cancelled_ { false }; // read by the decoding thread
    std::shared_ptr<foundation::HTTPRequest> connection_;
    platform::Bytes data_;
    std::optional<platform::Url> URL_;
    std::shared_ptr<RemoteImageCache> cache_;
    std::shared_ptr<platform::Object> target_;
    RemoteImageSuccess success_;
    RemoteImageFailure failure_;
};

// The shared queue of image downloads and their answers, on the main thread.
// Newer requests go ahead of older waiting ones; one completion answers every
// request for its address; a target's older request with the same selector is
// dropped when a newer one completes, so an old picture never overwrites a new one.
class RemoteImageLoader final : public std::enable_shared_from_this<RemoteImageLoader> {
public:
    static std::shared_ptr<RemoteImageLoader> sharedLoader();
    static std::shared_ptr<RemoteImageCache> defaultCache();
    static std::shared_ptr<RemoteImageLoader> create();

    void loadImageWithURL(const std::optional<platform::Url>& url, std::shared_ptr<platform::Object> target,
        RemoteImageSuccess success, RemoteImageFailure failure = {});
    void loadImageWithURL(const std::optional<platform::Url>& url) { loadImageWithURL(url, nullptr, {}, {}); }

    void cancelLoadingURL(const std::optional<platform::Url>& url, const platform::Object* target, const std::string& action);
    void cancelLoadingURL(const std::optional<platform::Url>& url, const platform::Object* target);
    void cancelLoadingURL(const std::optional<platform::Url>& url);
    void cancelLoadingImagesForTarget(const platform::Object* target, const std::string& action);
    void cancelLoadingImagesForTarget(const platform::Object* target);

    std::optional<platform::Url> URLForTarget(const platform::Object* target, const std::string& action) const;
    std::optional<platform::Url> URLForTarget(const platform::Object* target) const;

    const std::shared_ptr<RemoteImageCache>& cache() const { return cache_; }
    const std::vector<std::shared_ptr<RemoteImageConnection>>& connections() const { return connections_; }
    unsigned concurrentLoads() const { return concurrentLoads_; }
    void setConcurrentLoads(unsigned loads) { concurrentLoads_ = loads; }
    double loadingTimeout() const { return loadingTimeout_; }
    void setLoadingTimeout(double seconds) { loadingTimeout_ = seconds; }

    // Tests: drops every queued connection.
    void reset();

private:
    RemoteImageLoader() = default;
    void updateQueue();
    void imageLoaded(const platform::Notification& notification);
    void imageFailed(const platform::Notification& notification);
    void targetReleased(const platform::Notification& notification);
    // Removes (after cancelling) the connections the test picks, walking from the back.
    void removeWhere(const std::function<bool(const RemoteImageConnection&)>& matches);

    // A picture found in the cache reaches its target a moment later, on the
    // main loop: the delivery on its way per target and selector, so that a
    // newer request or a cancel of the target drops it before it lands.
    using Delivery = std::pair<const platform::Object*, std::string>;
    void forgetDeliveries(const platform::Object* target, const std::string* action);

    std::shared_ptr<RemoteImageCache> cache_;
    std::vector<std::shared_ptr<RemoteImageConnection>> connections_;
    std::map<Delivery, std::uint64_t> deliveries_;
    std::uint64_t lastDelivery_ = 0;
    unsigned concurrentLoads_ = 2;
    double loadingTimeout_ = 60.0;
    std::vector<platform::ObserverToken> observers_;
};
