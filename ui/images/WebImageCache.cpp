#include "ui/images/WebImageCache.h"

#include "platform/crypto/Md5.h"
#include "platform/graphics/Context.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIApplication.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

    std::mutex& sharedMutex()
    {
        static std::mutex mutex;
        return mutex;
    }

    std::shared_ptr<WebImageCache>& sharedSlot()
    {
        static std::shared_ptr<WebImageCache> cache;
        return cache;
    }

    std::mutex& providerMutex()
    {
        static std::mutex mutex;
        return mutex;
    }

    WebImageCache::FreeMemoryProvider& provider()
    {
        static WebImageCache::FreeMemoryProvider value;
        return value;
    }

    std::optional<std::uint64_t> readMemInfo()
    {
        std::ifstream in("/proc/meminfo");
        if (!in)
            return std::nullopt;
        std::optional<std::uint64_t> available, free;
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string name;
            std::uint64_t kilobytes = 0;
            if (!(fields >> name >> kilobytes))
                continue;
            if (name == "MemAvailable:")
                available = kilobytes * 1024;
            else if (name == "MemFree:")
                free = kilobytes * 1024;
        }
        return available ? available : free;
    }

    class QueryOperation final : public platform::Operation {
    public:
        QueryOperation(std::shared_ptr<WebImageCache> cache, std::string key,
            std::shared_ptr<WebImageCacheDelegate> delegate, platform::Value userInfo)
            : cache_(std::move(cache))
            , key_(std::move(key))
            , delegate_(std::move(delegate))
            , userInfo_(std::move(userInfo))
        {
        }

        void main() override
        {
            std::shared_ptr<UIImage> image;
            if (auto data = platform::FileUtil::read(cache_->cachePathForKey(key_))) {
                if (auto made = UIImage::imageWithData(*data)) {
                    made = imageWithScaleForKey(made, key_);
                    auto decoded = decodedImageWithImage(made);
                    image = decoded ? decoded : made;
                }
            }
            // The answer, and the memory insert of a hit, happen on the main thread.
            // Everything the operation holds moves into the answer, so the last
            // reference to the cache is never dropped on its own queue's thread.
            platform::postToMain([cache = std::move(cache_), key = std::move(key_), delegate = std::move(delegate_),
                                     userInfo = std::move(userInfo_), image] {
                if (image) {
                    cache->storeImage(image, key, false);
                    delegate->imageCacheDidFindImage(cache.get(), image, key, userInfo);
                } else
                    delegate->imageCacheDidNotFindImageForKey(cache.get(), key, userInfo);
            });
        }

    private:
        std::shared_ptr<WebImageCache> cache_;
        std::string key_;
        std::shared_ptr<WebImageCacheDelegate> delegate_;
        platform::Value userInfo_;
    };

} // namespace

// One queued disk write. Those that carry the downloaded bytes survive a
// memory clear; those without bytes read the image back from memory.
class WebImageCache::WriteOperation final : public platform::Operation {
public:
    WriteOperation(std::weak_ptr<WebImageCache> cache, std::string key, std::optional<platform::Bytes> data)
        : cache_(std::move(cache))
        , key_(std::move(key))
        , data_(std::move(data))
    {
    }

    bool carriesData() const { return data_.has_value(); }

    void main() override
    {
        auto cache = cache_.lock();
        if (!cache || isCancelled())
            return;
        auto path = cache->cachePathForKey(key_);
        if (data_) {
            platform::FileUtil::write(path, *data_, platform::FileUtil::WriteMode::Atomic);
            return;
        }
        if (auto image = cache->imageFromKey(key_, true)) {
            if (auto jpeg = UIImageJPEGRepresentation(image, 1.0))
                platform::FileUtil::write(path, *jpeg, platform::FileUtil::WriteMode::Atomic);
        }
    }

private:
    std::weak_ptr<WebImageCache> cache_;
    std::string key_;
    std::optional<platform::Bytes> data_;
};

std::shared_ptr<WebImageCache> WebImageCache::sharedImageCache()
{
    std::lock_guard lock(sharedMutex());
    auto& slot = sharedSlot();
    if (!slot)
        slot = create();
    return slot;
}

void WebImageCache::resetSharedImageCache()
{
    std::shared_ptr<WebImageCache> old;
    {
        std::lock_guard lock(sharedMutex());
        old = std::exchange(sharedSlot(), nullptr);
    }
    if (old)
        old->waitForDiskQueues();
}

std::uint64_t WebImageCache::freeMemory()
{
    FreeMemoryProvider installed;
    {
        std::lock_guard lock(providerMutex());
        installed = provider();
    }
    auto bytes = installed ? installed() : readMemInfo();
    if (!bytes) {
        platform::log("Failed to fetch vm statistics");
        return 0;
    }
    return *bytes;
}

void WebImageCache::setFreeMemoryProvider(FreeMemoryProvider value)
{
    std::lock_guard lock(providerMutex());
    provider() = std::move(value);
}

WebImageCache::WebImageCache()
    : cacheInQueue_(std::make_unique<platform::OperationQueue>())
    , cacheOutQueue_(std::make_unique<platform::OperationQueue>())
{
    cacheInQueue_->setMaxConcurrentOperationCount(1);
    cacheOutQueue_->setMaxConcurrentOperationCount(1);
}

std::shared_ptr<WebImageCache> WebImageCache::create()
{
    std::shared_ptr<WebImageCache> cache(new WebImageCache());
    cache->diskCachePath_ = platform::FileUtil::joinPath(platform::AppPaths::cachesDirectory(), kFolderName);
    platform::FileUtil::createDirectory(cache->diskCachePath_);
    cache->observeApplication();
    return cache;
}

WebImageCache::~WebImageCache()
{
    // The queues' destructors wait for running operations; those hold the
    // cache weakly (writes) or strongly (queries), so none runs on a dead cache.
    observers_.clear();
    cacheInQueue_.reset();
    cacheOutQueue_.reset();
}

void WebImageCache::observeApplication()
{
    std::weak_ptr<WebImageCache> weak = weak_from_this();
    auto& center = platform::NotificationCenter::defaultCenter();
    observers_.push_back(center.addObserver(UIApplicationDidReceiveMemoryWarningNotification, {},
        [weak](const platform::Notification&) {
            if (auto cache = weak.lock())
                cache->clearMemory();
        }));
    observers_.push_back(
        center.addObserver(UIApplicationWillTerminateNotification, {}, [weak](const platform::Notification&) {
            if (auto cache = weak.lock())
                cache->cleanDisk();
        }));
    // Every device here multitasks.
    observers_.push_back(
        center.addObserver(UIApplicationDidEnterBackgroundNotification, {}, [weak](const platform::Notification&) {
            if (auto cache = weak.lock())
                cache->clearMemory();
        }));
}

std::string WebImageCache::cachePathForKey(const std::string& key) const
{
    return platform::FileUtil::joinPath(diskCachePath_, platform::Md5::hex(key));
}

void WebImageCache::insertIntoMemory(const std::string& key, const std::shared_ptr<UIImage>& image)
{
    bool low = freeMemory() < kMinimumFreeMemory;
    std::lock_guard lock(memoryMutex_);
    if (low)
        memCache_.clear();
    memCache_[key] = image;
}

void WebImageCache::storeImage(const std::shared_ptr<UIImage>& image, std::optional<platform::Bytes> imageData,
    const std::string& key, bool toDisk)
{
    if (!image || key.empty())
        return;
    insertIntoMemory(key, image);
    if (toDisk)
        cacheInQueue_->addOperation(std::make_shared<WriteOperation>(weak_from_this(), key, std::move(imageData)));
}

std::shared_ptr<UIImage> WebImageCache::imageWithDataForKey(const platform::Bytes& data, const std::string& key)
{
    auto image = UIImage::imageWithData(data);
    return image ? imageWithScaleForKey(image, key) : nullptr;
}

std::shared_ptr<UIImage> WebImageCache::imageFromKey(const std::optional<std::string>& key, bool fromDisk)
{
    if (!key)
        return nullptr;
    {
        std::lock_guard lock(memoryMutex_);
        if (auto found = memCache_.find(*key); found != memCache_.end())
            return found->second;
    }
    if (!fromDisk)
        return nullptr;
    auto data = platform::FileUtil::read(cachePathForKey(*key));
    if (!data)
        return nullptr;
    auto image = imageWithDataForKey(*data, *key);
    if (image)
        insertIntoMemory(*key, image);
    return image;
}

void WebImageCache::queryDiskCacheForKey(const std::optional<std::string>& key,
    const std::shared_ptr<WebImageCacheDelegate>& delegate, const platform::Value& userInfo)
{
    if (!delegate)
        return;
    if (!key) {
        delegate->imageCacheDidNotFindImageForKey(this, std::nullopt, userInfo);
        return;
    }
    if (auto image = imageFromKey(*key, false)) {
        delegate->imageCacheDidFindImage(this, image, *key, userInfo);
        return;
    }
    cacheOutQueue_->addOperation(std::make_shared<QueryOperation>(shared_from_this(), *key, delegate, userInfo));
}

void WebImageCache::removeImageForKey(const std::optional<std::string>& key, bool fromDisk)
{
    if (!key)
        return;
    {
        std::lock_guard lock(memoryMutex_);
        memCache_.erase(*key);
    }
    if (fromDisk)
        platform::FileUtil::remove(cachePathForKey(*key));
}

void WebImageCache::clearMemory()
{
    for (auto& operation : cacheInQueue_->operations()) {
        auto write = std::dynamic_pointer_cast<WriteOperation>(operation);
        if (write && !write->carriesData() && !write->isExecuting())
            write->cancel();
    }
    std::lock_guard lock(memoryMutex_);
    memCache_.clear();
}

void WebImageCache::clearDisk()
{
    for (auto& operation : cacheInQueue_->operations()) {
        if (!operation->isExecuting())
            operation->cancel();
    }
    platform::FileUtil::remove(diskCachePath_);
    platform::FileUtil::createDirectory(diskCachePath_);
}

void WebImageCache::cleanDisk() { cleanDiskAt(platform::Date::now()); }

void WebImageCache::cleanDiskAt(platform::Date now)
{
    auto cutoff = now.addingSeconds(-kMaxCacheAge);
    std::error_code ec;
    std::vector<std::string> expired;
    for (auto it = std::filesystem::recursive_directory_iterator(diskCachePath_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        auto path = it->path().string();
        auto modified = platform::FileUtil::modificationDate(path);
        if (modified && *modified <= cutoff)
            expired.push_back(path);
    }
    for (auto& path : expired)
        platform::FileUtil::remove(path);
}

std::uint64_t WebImageCache::getSize() const
{
    std::uint64_t total = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(diskCachePath_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code sizeError;
        if (it->is_regular_file(sizeError)) {
            auto size = it->file_size(sizeError);
            if (!sizeError)
                total += size;
        }
    }
    return total;
}

std::size_t WebImageCache::getDiskCount() const
{
    std::size_t count = 0;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(diskCachePath_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        ++count;
    return count;
}

std::uint64_t WebImageCache::getMemorySize() const
{
    std::vector<std::shared_ptr<UIImage>> images;
    {
        std::lock_guard lock(memoryMutex_);
        for (auto& [key, image] : memCache_)
            images.push_back(image);
    }
    std::uint64_t total = 0;
    for (auto& image : images) {
        if (auto jpeg = UIImageJPEGRepresentation(image, 0.0))
            total += jpeg->size();
    }
    return total;
}

std::size_t WebImageCache::getMemoryCount() const
{
    std::lock_guard lock(memoryMutex_);
    return memCache_.size();
}

void WebImageCache::waitForDiskQueues()
{
    cacheInQueue_->waitUntilAllOperationsAreFinished();
    cacheOutQueue_->waitUntilAllOperationsAreFinished();
}

std::shared_ptr<UIImage> decodedImageWithImage(const std::shared_ptr<UIImage>& image)
{
    if (!image)
        return nullptr;
    const auto& bitmap = image->CGImage();
    // A bitmap of the same pixel size, drawn through the premultiplied form the
    // renderer uses, so nothing is left to convert when it is drawn later.
    auto context = platform::Context::createBitmap(
        platform::Size(bitmap.pixelWidth(), bitmap.pixelHeight()), 1.0);
    if (!context)
        return nullptr;
    context->drawImage(bitmap, platform::Rect(0, 0, bitmap.pixelWidth(), bitmap.pixelHeight()));
    return UIImage::imageWithCGImage(context->makeImage().withScale(image->scale()), image->scale());
}

std::shared_ptr<UIImage> imageWithScaleForKey(const std::shared_ptr<UIImage>& image, std::string_view key)
{
    if (!image)
        return nullptr;
    double scale = platform::Image::scaleForCacheKey(key);
    return UIImage::imageWithCGImage(image->CGImage().withScale(scale), scale);
}
