#pragma once

#include "platform/os/NotificationCenter.h"
#include "platform/os/OperationQueue.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIImage.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class WebImageCache;

// Both optional: the defaults do nothing.
class WebImageCacheDelegate {
public:
    virtual ~WebImageCacheDelegate() = default;
    virtual void imageCacheDidFindImage(WebImageCache*, const std::shared_ptr<UIImage>& /*image*/,
        const std::string& /*key*/, const platform::Value& /*userInfo*/)
    {
    }
    // key is nullopt when the query had none.
    virtual void imageCacheDidNotFindImageForKey(
        WebImageCache*, const std::optional<std::string>& /*key*/, const platform::Value& /*userInfo*/)
    {
    }
};

// Decoded images in memory and their bytes in files under Library/Caches/
// "ImageCache", one file per key named by the 32 lower-case hex digits of the
// MD5 of the key (earlier runs' files are read back by that name). Memory
// lookups are synchronous; disk lookups run on a serial queue and answer on
// the main thread. Callers use it from the main thread.
//
// The memory level is shared with the write queue (a write without bytes
// reads the image back from memory), so it sits behind a mutex.
class WebImageCache final : public std::enable_shared_from_this<WebImageCache> {
public:
    static constexpr double kMaxCacheAge = 604800; // 7 days
    static constexpr std::uint64_t kMinimumFreeMemory = 12582912; // 3 × 4 MB
    static constexpr const char* kFolderName = "ImageCache";

    static std::shared_ptr<WebImageCache> sharedImageCache();
    // Tests: the next sharedImageCache() makes a new cache under the home folder of the moment.
    static void resetSharedImageCache();

    // Free physical memory in bytes: /proc/meminfo's MemAvailable (MemFree on
    // older kernels). When it cannot be read, logs "Failed to fetch vm
    // statistics" and answers 0. Tests may install their own reading.
    static std::uint64_t freeMemory();
    using FreeMemoryProvider = std::function<std::optional<std::uint64_t>()>;
    static void setFreeMemoryProvider(FreeMemoryProvider provider);

    // Makes the folder under the Caches folder of the current home.
    static std::shared_ptr<WebImageCache> create();
    ~WebImageCache();

    void storeImage(const std::shared_ptr<UIImage>& image, const std::string& key) { storeImage(image, key, true); }
    void storeImage(const std::shared_ptr<UIImage>& image, const std::string& key, bool toDisk)
    {
        storeImage(image, std::nullopt, key, toDisk);
    }
    void storeImage(const std::shared_ptr<UIImage>& image, std::optional<platform::Bytes> imageData,
        const std::string& key, bool toDisk);

    std::shared_ptr<UIImage> imageFromKey(const std::optional<std::string>& key) { return imageFromKey(key, true); }
    std::shared_ptr<UIImage> imageFromKey(const std::optional<std::string>& key, bool fromDisk);

    void queryDiskCacheForKey(const std::optional<std::string>& key, const std::shared_ptr<WebImageCacheDelegate>& delegate,
        const platform::Value& userInfo = {});

    void removeImageForKey(const std::optional<std::string>& key) { removeImageForKey(key, true); }
    void removeImageForKey(const std::optional<std::string>& key, bool fromDisk);

    // Empties the memory level. Writes still waiting that carry downloaded
    // bytes are kept (they do not need memory); writes without bytes, which
    // would have read the image back from memory, are dropped.
    void clearMemory();
    // Drops waiting writes, removes the folder and makes it again.
    void clearDisk();
    // Removes files last modified at or before now − 7 days.
    void cleanDisk();
    void cleanDiskAt(platform::Date now);

    // Bytes of every file under the folder (64-bit: caches pass 2 GiB).
    std::uint64_t getSize() const;
    std::size_t getDiskCount() const;
    // Sum of the JPEG lengths at quality 0 of the images in memory.
    std::uint64_t getMemorySize() const;
    std::size_t getMemoryCount() const;

    const std::string& diskCachePath() const { return diskCachePath_; }
    std::string cachePathForKey(const std::string& key) const;

    // Tests: wait for the queued writes and queries to finish; hold the
    // writes back (to see what a memory clear does to writes still waiting).
    void waitForDiskQueues();
    void setWritesSuspended(bool suspended) { cacheInQueue_->setSuspended(suspended); }

private:
    WebImageCache();
    class WriteOperation;
    void insertIntoMemory(const std::string& key, const std::shared_ptr<UIImage>& image);
    void observeApplication();
    static std::shared_ptr<UIImage> imageWithDataForKey(const platform::Bytes& data, const std::string& key);

    mutable std::mutex memoryMutex_;
    std::map<std::string, std::shared_ptr<UIImage>> memCache_;
    std::string diskCachePath_;
    std::unique_ptr<platform::OperationQueue> cacheInQueue_;
    std::unique_ptr<platform::OperationQueue> cacheOutQueue_;
    std::vector<platform::ObserverToken> observers_;
};

// Forces an image's pixels through a premultiplied 32-bit bitmap, off the main
// thread, so drawing later does no decoding work. nullptr when the bitmap
// cannot be made.
std::shared_ptr<UIImage> decodedImageWithImage(const std::shared_ptr<UIImage>& image);

// The "@2x." rule on a key or address, applied to an image made from bytes.
std::shared_ptr<UIImage> imageWithScaleForKey(const std::shared_ptr<UIImage>& image, std::string_view key);
