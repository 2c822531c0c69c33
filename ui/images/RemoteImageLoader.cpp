#include "ui/images/RemoteImageLoader.h"

#include "foundation/http/HTTPRequest.h"
#include "platform/os/Bundle.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIApplication.h"

#include <algorithm>

using foundation::CacheAnswerWhenStored;
using foundation::HTTPRequest;

namespace {

    // One image decodes at a time across every connection.
    std::mutex& decodeLock()
    {
        static std::mutex mutex;
        return mutex;
    }

    // The part of a file URL's path inside the application's resources, if it is inside them.
    std::optional<std::string> bundleResourceName(const platform::Url& url)
    {
        if (!url.isFileUrl())
            return std::nullopt;
        auto resources = platform::Bundle::main()->resourcePath();
        auto path = url.path();
        if (resources.empty() || path.size() <= resources.size() + 1 || path.compare(0, resources.size(), resources) != 0
            || path[resources.size()] != '/')
            return std::nullopt;
        auto name = path.substr(resources.size() + 1);
        // The named-image lookup reads the resources' images folder.
        if (name.rfind("images/", 0) == 0)
            name = name.substr(7);
        return name;
    }

    bool sameURL(const std::optional<platform::Url>& a, const platform::Value& b)
    {
        if (!a)
            return b.isNull();
        return b.isString() && b.stringValue() == a->absoluteString();
    }

    bool sameURL(const std::optional<platform::Url>& a, const std::optional<platform::Url>& b)
    {
        return a.has_value() == b.has_value() && (!a || *a == *b);
    }

} // namespace

// ---- RemoteImageCache

RemoteImageCache::RemoteImageCache()
{
    memoryWarning_ = platform::NotificationCenter::defaultCenter().addObserver(
        UIApplicationDidReceiveMemoryWarningNotification, {}, [this](const platform::Notification&) {
            removeAllObjects();
        });
}

std::shared_ptr<UIImage> RemoteImageCache::objectForKey(const platform::Url& url) const
{
    std::lock_guard lock(mutex_);
    auto it = images_.find(url.absoluteString());
    return it == images_.end() ? nullptr : it->second;
}

void RemoteImageCache::setObject(const std::shared_ptr<UIImage>& image, const platform::Url& url)
{
    if (!image)
        return;
    std::lock_guard lock(mutex_);
    images_[url.absoluteString()] = image;
}

void RemoteImageCache::removeObjectForKey(const platform::Url& url)
{
    std::lock_guard lock(mutex_);
    images_.erase(url.absoluteString());
}

void RemoteImageCache::removeAllObjects()
{
    std::lock_guard lock(mutex_);
    images_.clear();
}

std::size_t RemoteImageCache::count() const
{
    std::lock_guard lock(mutex_);
    return images_.size();
}

// ---- RemoteImageConnection

RemoteImageConnection::RemoteImageConnection(std::optional<platform::Url> url, std::shared_ptr<RemoteImageCache> cache,
    std::shared_ptr<platform::Object> target, RemoteImageSuccess success, RemoteImageFailure failure)
    : URL_(std::move(url))
    , cache_(std::move(cache))
    , target_(std::move(target))
    , success_(std::move(success))
    , failure_(std::move(failure))
{
}

RemoteImageConnection::~RemoteImageConnection()
{
    if (connection_)
        connection_->clearDelegatesAndCancel();
}

std::shared_ptr<UIImage> RemoteImageConnection::cachedImage() const
{
    if (!URL_)
        return nullptr;
    if (auto name = bundleResourceName(*URL_))
        return UIImage::imageNamed(*name);
    return cache_ ? cache_->objectForKey(*URL_) : nullptr;
}

void RemoteImageConnection::start()
{
    if (loading_ && !cancelled_)
        return;
    loading_ = true;
    cancelled_ = false;
    if (!URL_) {
        cacheImage(nullptr);
        return;
    }
    if (auto image = cachedImage()) {
        platform::postToMain([self = shared_from_this(), image] { self->cacheImage(image); });
        return;
    }
    auto request = HTTPRequest::requestWithURL(*URL_);
    // Stored data first, the network only when there is none.
    request->setCachePolicy(CacheAnswerWhenStored);
    request->setTimeOutSeconds(RemoteImageLoader::sharedLoader()->loadingTimeout());
    std::weak_ptr<RemoteImageConnection> weak = weak_from_this();
    request->setCompletionBlock([weak] {
        if (auto self = weak.lock())
            self->didFinishLoading();
    });
    request->setFailedBlock([weak] {
        if (auto self = weak.lock())
            self->didFail();
    });
    connection_ = request;
    data_.clear();
    request->startAsynchronous();
}

void RemoteImageConnection::didFinishLoading()
{
    auto request = std::exchange(connection_, nullptr);
    if (!request)
        return;
    auto data = request->responseData().value_or(platform::Bytes {});
    data_.clear();
    processDataInBackground(std::move(data));
}

void RemoteImageConnection::didFail()
{
    auto request = std::exchange(connection_, nullptr);
    if (!request)
        return;
    data_.clear();
    loadFailedWithError(request->error().value_or(platform::Error("NSURLErrorDomain", -1)));
}

void RemoteImageConnection::processDataInBackground(platform::Bytes data)
{
    // The connection (and with it the target, often a view) moves on to the
    // main thread in every case: it must never be let go of on this one.
    platform::dispatchAsync([self = shared_from_this(), data = std::move(data)]() mutable {
        std::lock_guard lock(decodeLock());
        if (self->cancelled_) {
            platform::postToMain([self = std::move(self)] { self->cacheImage(nullptr); });
            return;
        }
        auto image = UIImage::imageWithData(data);
        if (image) {
            platform::postToMain([self = std::move(self), image] { self->cacheImage(image); });
            return;
        }
        auto error = platform::Error::withDescription(RemoteImageLoaderErrorDomain, 0, "Invalid image data");
        platform::postToMain([self = std::move(self), error] { self->loadFailedWithError(error); });
    });
}

void RemoteImageConnection::cacheImage(const std::shared_ptr<UIImage>& image)
{
    if (cancelled_) {
        loading_ = false;
        cancelled_ = false;
        return;
    }
    if (image && URL_ && cache_ && !bundleResourceName(*URL_))
        cache_->setObject(image, *URL_);
    platform::Dictionary info;
    if (image && URL_) {
        info.set("image", platform::Value(std::static_pointer_cast<platform::Object>(image)));
        info.set("URL", URL_->absoluteString());
    }
    if (cache_)
        info.set("cache", platform::Value(std::static_pointer_cast<platform::Object>(cache_)));
    loading_ = false;
    // The target rides along as the object; a connection is kept alive by the queue meanwhile.
    auto keep = shared_from_this();
    platform::NotificationCenter::defaultCenter().post(RemoteImageLoadDidFinish, platform::Value(target_), std::move(info));
}

void RemoteImageConnection::loadFailedWithError(const platform::Error& error)
{
    loading_ = false;
    cancelled_ = false;
    platform::Dictionary info;
    if (URL_)
        info.set("URL", URL_->absoluteString());
    info.set("error", platform::Value(std::static_pointer_cast<platform::Object>(std::make_shared<platform::Error>(error))));
    auto keep = shared_from_this();
    platform::NotificationCenter::defaultCenter().post(RemoteImageLoadDidFail, platform::Value(target_), std::move(info));
}

void RemoteImageConnection::cancel()
{
    cancelled_ = true;
    if (auto request = std::exchange(connection_, nullptr))
        request->clearDelegatesAndCancel();
    data_.clear();
}

// ---- RemoteImageLoader

// The shared loader and cache live as long as the process, never destroyed
// at exit: views held by other statics (a cell class's cached prototype) are
// destroyed later and still ask the loader to drop their requests.
std::shared_ptr<RemoteImageLoader> RemoteImageLoader::sharedLoader()
{
    static const auto* loader = new std::shared_ptr<RemoteImageLoader>(create());
    return *loader;
}

std::shared_ptr<RemoteImageCache> RemoteImageLoader::defaultCache()
{
    static const auto* cache = new std::shared_ptr<RemoteImageCache>(std::make_shared<RemoteImageCache>());
    return *cache;
}

std::shared_ptr<RemoteImageLoader> RemoteImageLoader::create()
{
    std::shared_ptr<RemoteImageLoader> loader(new RemoteImageLoader());
    loader->cache_ = defaultCache();
    std::weak_ptr<RemoteImageLoader> weak = loader;
    auto& center = platform::NotificationCenter::defaultCenter();
    loader->observers_.push_back(center.addObserver(RemoteImageLoadDidFinish, {}, [weak](const platform::Notification& n) {
        if (auto self = weak.lock())
            self->imageLoaded(n);
    }));
    loader->observers_.push_back(center.addObserver(RemoteImageLoadDidFail, {}, [weak](const platform::Notification& n) {
        if (auto self = weak.lock())
            self->imageFailed(n);
    }));
    loader->observers_.push_back(center.addObserver(RemoteImageTargetReleased, {}, [weak](const platform::Notification& n) {
        if (auto self = weak.lock())
            self->targetReleased(n);
    }));
    return loader;
}

void RemoteImageLoader::reset()
{
    for (auto& connection : std::exchange(connections_, {}))
        connection->cancel();
    deliveries_.clear();
}

void RemoteImageLoader::forgetDeliveries(const platform::Object* target, const std::string* action)
{
    for (auto it = deliveries_.begin(); it != deliveries_.end();) {
        if (it->first.first == target && (!action || it->first.second == *action))
            it = deliveries_.erase(it);
        else
            ++it;
    }
}

void RemoteImageLoader::loadImageWithURL(const std::optional<platform::Url>& url, std::shared_ptr<platform::Object> target,
    RemoteImageSuccess success, RemoteImageFailure failure)
{
    if (url && cache_) {
        if (auto image = cache_->objectForKey(*url)) {
            // The target's older requests with this selector are superseded: they
            // leave the queue, so none of them can answer later with an old picture,
            // keep the target alive, or be what imageURL reports.
            if (target) {
                const auto* key = target.get();
                removeWhere([key, &success](const RemoteImageConnection& c) {
                    return c.target().get() == key && c.success().name == success.name;
                });
            }
            if (success && target) {
                // Delivered only if, by then, the target has asked for no
                // other picture with this selector and was not cancelled.
                const Delivery delivery { target.get(), success.name };
                const std::uint64_t id = ++lastDelivery_;
                deliveries_[delivery] = id;
                std::weak_ptr<RemoteImageLoader> loader = weak_from_this();
                platform::postToMain([loader, delivery, id, target, success, image] {
                    auto self = loader.lock();
                    if (!self)
                        return;
                    auto it = self->deliveries_.find(delivery);
                    if (it == self->deliveries_.end() || it->second != id)
                        return;
                    self->deliveries_.erase(it);
                    success.perform(*target, image, std::nullopt);
                });
            }
            return;
        }
    }
    if (target)
        deliveries_.erase(Delivery { target.get(), success.name });
    // A new request replaces the target's older ones for the same selector,
    // as a cache hit does: an older picture arriving first would otherwise
    // show in a reused cell (another person's face in the row) until the new
    // one came, and for good when the new one failed.
    if (target) {
        const auto* key = target.get();
        removeWhere([key, &success](const RemoteImageConnection& c) {
            return c.target().get() == key && c.success().name == success.name;
        });
    }
    auto connection = std::make_shared<RemoteImageConnection>(url, cache_, std::move(target), std::move(success), std::move(failure));
    auto waiting = std::find_if(connections_.begin(), connections_.end(), [](const auto& c) { return !c->isLoading(); });
    connections_.insert(waiting, connection);
    updateQueue();
}

void RemoteImageLoader::updateQueue()
{
    // A copy: a start without address finishes, and leaves the queue, at once.
    auto queue = connections_;
    unsigned started = 0;
    for (auto& connection : queue) {
        if (connection->isLoading())
            continue;
        if (connection->isInCache()) {
            connection->start();
            continue;
        }
        if (started < concurrentLoads_) {
            connection->start();
            ++started;
        }
    }
}

void RemoteImageLoader::imageLoaded(const platform::Notification& notification)
{
    const auto& urlValue = notification.userInfo.get("URL");
    auto image = notification.userInfo.get("image").objectAs<UIImage>();
    std::size_t i = connections_.size();
    while (i > 0) {
        --i;
        if (i >= connections_.size())
            continue;
        auto connection = connections_[i];
        if (!sameURL(connection->URL(), urlValue))
            continue;
        if (connection->target()) {
            for (std::size_t j = i; j > 0;) {
                --j;
                auto& older = connections_[j];
                if (older->target() == connection->target() && older->success().name == connection->success().name) {
                    older->cancel();
                    connections_.erase(connections_.begin() + static_cast<long>(j));
                    --i;
                }
            }
        }
        connection->cancel();
        if (connection->target() && connection->success())
            connection->success().perform(*connection->target(), image, connection->URL());
        auto it = std::find(connections_.begin(), connections_.end(), connection);
        if (it != connections_.end()) {
            i = static_cast<std::size_t>(it - connections_.begin());
            connections_.erase(it);
        } else if (i > connections_.size())
            i = connections_.size();
    }
    updateQueue();
}

void RemoteImageLoader::imageFailed(const platform::Notification& notification)
{
    const auto& urlValue = notification.userInfo.get("URL");
    auto error = notification.userInfo.get("error").objectAs<platform::Error>();
    std::size_t i = connections_.size();
    while (i > 0) {
        --i;
        if (i >= connections_.size())
            continue;
        auto connection = connections_[i];
        if (!sameURL(connection->URL(), urlValue))
            continue;
        connection->cancel();
        if (connection->target() && connection->failure())
            connection->failure().perform(*connection->target(), error ? *error : platform::Error(), connection->URL());
        auto it = std::find(connections_.begin(), connections_.end(), connection);
        if (it != connections_.end()) {
            i = static_cast<std::size_t>(it - connections_.begin());
            connections_.erase(it);
        }
    }
    updateQueue();
}

void RemoteImageLoader::targetReleased(const platform::Notification& notification)
{
    auto target = notification.object.asObject();
    if (!target)
        return;
    removeWhere([&target](const RemoteImageConnection& c) { return c.target() == target; });
    updateQueue();
}

void RemoteImageLoader::removeWhere(const std::function<bool(const RemoteImageConnection&)>& matches)
{
    for (std::size_t i = connections_.size(); i > 0; --i) {
        if (i > connections_.size())
            continue;
        auto connection = connections_[i - 1];
        if (!matches(*connection))
            continue;
        connection->cancel();
        connections_.erase(connections_.begin() + static_cast<long>(i - 1));
    }
}

void RemoteImageLoader::cancelLoadingURL(
    const std::optional<platform::Url>& url, const platform::Object* target, const std::string& action)
{
    removeWhere([&](const RemoteImageConnection& c) {
        return sameURL(c.URL(), url) && c.target().get() == target && c.success().name == action;
    });
}

void RemoteImageLoader::cancelLoadingURL(const std::optional<platform::Url>& url, const platform::Object* target)
{
    removeWhere([&](const RemoteImageConnection& c) { return sameURL(c.URL(), url) && c.target().get() == target; });
}

void RemoteImageLoader::cancelLoadingURL(const std::optional<platform::Url>& url)
{
    removeWhere([&](const RemoteImageConnection& c) { return sameURL(c.URL(), url); });
}

void RemoteImageLoader::cancelLoadingImagesForTarget(const platform::Object* target, const std::string& action)
{
    forgetDeliveries(target, &action);
    // Taken out of the queue, not only stopped: a stopped request left there
    // would be started again by the next turn of the queue, or answered by
    // another target's download of its address, and give a reused row the
    // picture it was told to forget.
    removeWhere([&](const RemoteImageConnection& c) { return c.target().get() == target && c.success().name == action; });
    updateQueue();
}

void RemoteImageLoader::cancelLoadingImagesForTarget(const platform::Object* target)
{
    forgetDeliveries(target, nullptr);
    removeWhere([&](const RemoteImageConnection& c) { return c.target().get() == target; });
    updateQueue();
}

std::optional<platform::Url> RemoteImageLoader::URLForTarget(const platform::Object* target, const std::string& action) const
{
    for (auto it = connections_.rbegin(); it != connections_.rend(); ++it) {
        if ((*it)->target().get() == target && (*it)->success().name == action)
            return (*it)->URL();
    }
    return std::nullopt;
}

std::optional<platform::Url> RemoteImageLoader::URLForTarget(const platform::Object* target) const
{
    for (auto it = connections_.rbegin(); it != connections_.rend(); ++it) {
        if ((*it)->target().get() == target)
            return (*it)->URL();
    }
    return std::nullopt;
}
