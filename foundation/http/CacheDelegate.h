#pragma once

#include "platform/os/Url.h"
#include "platform/os/Value.h"

#include <optional>
#include <string>

namespace foundation {

class HTTPRequest;

// Cache policy: a bit set carried by a request. 0 means "whatever the
// cache's default policy is".
enum CachePolicyBits : int {
    CacheUseDefaultPolicy = 0,
    // Never answer from the cache.
    CacheNeverRead = 1,
    // Never store the response.
    CacheNeverStore = 2,
    // Answer from the cache while the stored copy is current; otherwise ask the
    // server, sending the stored validators (the default).
    CacheAnswerWhenCurrent = 4,
    // Always ask the server with the stored validators; answer from the cache
    // when the server confirms the stored copy.
    CacheAnswerWhenConfirmed = 8,
    // Answer from the cache whenever something is stored.
    CacheAnswerWhenStored = 16,
    // Answer from the cache only, never from the network.
    CacheAnswerAlways = 32,
    // When the network fails, answer from the cache if something is stored.
    CacheFallBackOnFailure = 64,
};

// Storage policy: how long a stored response is kept.
enum CacheStoragePolicy : int {
    CacheStorageForSession = 0,
    CacheStoragePermanently = 1,
};

// What a request asks of its download cache. Called on the network thread
// with the request's lock held, and from the main thread; implementations
// take their own lock and may read the request's accessors.
class CacheDelegate {
public:
    virtual ~CacheDelegate() = default;

    virtual int defaultCachePolicy() const = 0;
    virtual bool canUseCachedDataForRequest(HTTPRequest& request) = 0;
    virtual void storeResponseForRequest(HTTPRequest& request, double maxAge) = 0;
    virtual void updateExpiryForRequest(HTTPRequest& request, double maxAge) = 0;
    virtual void removeCachedDataForRequest(HTTPRequest& request) = 0;
    virtual std::optional<platform::Dictionary> cachedResponseHeadersForURL(const platform::Url& url) = 0;
    virtual std::optional<platform::Bytes> cachedResponseDataForURL(const platform::Url& url) = 0;
    virtual std::optional<std::string> pathToCachedResponseDataForURL(const platform::Url& url) = 0;
    virtual std::optional<std::string> pathToCachedResponseHeadersForURL(const platform::Url& url) = 0;
    virtual void clearCachedResponsesForStoragePolicy(int storagePolicy) = 0;
};

} // namespace foundation
