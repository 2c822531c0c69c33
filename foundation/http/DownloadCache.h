#pragma once

#include "foundation/http/CacheDelegate.h"
#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace foundation {

// The engine's on-disk response cache. Under its storage folder it keeps
// "SessionStore" (emptied whenever the folder is set and when the session is
// cleared) and "PermanentStore". Each response is a headers file (a property
// list of the received headers plus the stored status and expiry) and a body
// file, both named by the MD5 of the URL. A cache without a storage folder
// stores nothing and finds nothing. Every operation takes the cache's own
// lock, so the network thread and the main thread may share one cache.
class DownloadCache final : public CacheDelegate {
public:
    // The process-wide cache, kept in Library/Caches/HTTPRequestCache.
    static std::shared_ptr<DownloadCache> sharedCache();
    DownloadCache();

    int defaultCachePolicy() const override;
    // 0 stands for the default, CacheAnswerWhenCurrent.
    void setDefaultCachePolicy(int policy);
    std::optional<std::string> storagePath() const;
    // Creates the folders and empties both session stores (the old and the
    // new). False, with *error saying why, when a folder cannot be made:
    // "FileExistsAtCachePath" or "FailedToCreateCacheDirectory"; the cache
    // then has no storage folder.
    bool setStoragePath(std::optional<std::string> path, platform::Error* error = nullptr);
    bool shouldRespectCacheControlHeaders() const { return shouldRespectCacheControlHeaders_.load(); }
    void setShouldRespectCacheControlHeaders(bool respect) { shouldRespectCacheControlHeaders_.store(respect); }

    bool canUseCachedDataForRequest(HTTPRequest& request) override;
    bool isCachedDataCurrentForRequest(HTTPRequest& request);
    void storeResponseForRequest(HTTPRequest& request, double maxAge) override;
    void updateExpiryForRequest(HTTPRequest& request, double maxAge) override;
    std::optional<platform::Date> expiryDateForRequest(HTTPRequest& request, double maxAge);
    void removeCachedDataForRequest(HTTPRequest& request) override;
    void removeCachedDataForURL(const platform::Url& url);
    std::optional<platform::Dictionary> cachedResponseHeadersForURL(const platform::Url& url) override;
    std::optional<platform::Bytes> cachedResponseDataForURL(const platform::Url& url) override;
    std::optional<std::string> pathToCachedResponseDataForURL(const platform::Url& url) override;
    std::optional<std::string> pathToCachedResponseHeadersForURL(const platform::Url& url) override;
    std::optional<std::string> pathToStoreCachedResponseDataForRequest(HTTPRequest& request);
    std::optional<std::string> pathToStoreCachedResponseHeadersForRequest(HTTPRequest& request);
    // The file in the session store, else in the permanent store; nullopt when in neither.
    std::optional<std::string> pathToFile(const std::string& file);
    void clearCachedResponsesForStoragePolicy(int storagePolicy) override;
    // The same, telling why it failed ("FailedToTraverseCacheDirectory",
    // "FailedToRemoveCacheFile").
    bool clearCachedResponsesForStoragePolicy(int storagePolicy, platform::Error* error);

    // Whether the response's Cache-Control or Pragma forbids keeping it.
    static bool serverAllowsResponseCachingForRequest(const HTTPRequest& request);
    // MD5 of the URL (one trailing "/" dropped), 32 upper-case hex digits.
    static std::optional<std::string> keyForURL(const platform::Url& url);
    static const std::vector<std::string>& fileExtensionsToHandleAsHTML();
    // A Cache-Control (or Pragma) value split into its directives: names in
    // lower case, values unquoted; "private, no-store" is two directives.
    static std::vector<std::pair<std::string, std::string>> cacheControlDirectives(std::string_view value);

private:
    static std::optional<std::string> dataFileName(const platform::Url& url);
    std::optional<std::string> storeFolderForRequest(HTTPRequest& request) const;
    int effectivePolicy(const HTTPRequest& request) const;

    mutable std::recursive_mutex accessLock_;
    int defaultCachePolicy_ = CacheAnswerWhenCurrent;
    std::optional<std::string> storagePath_;
    std::atomic<bool> shouldRespectCacheControlHeaders_ { true };
};

} // namespace foundation
