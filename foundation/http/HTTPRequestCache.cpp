// The request's side of the download cache: when a request asks its cache,
// how it completes from a stored response, and the expiry rule the cache uses.

#include "foundation/http/DownloadCache.h"
#include "foundation/http/HTTPRequest.h"
#include "foundation/http/HTTPResponseRules.h"
#include "platform/net/HttpCookie.h"
#include "platform/os/StringUtil.h"

#include <cstdlib>

namespace foundation {

namespace {

std::mutex& defaultCacheLock()
{
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::shared_ptr<CacheDelegate>& defaultCacheSlot()
{
    static auto* slot = new std::shared_ptr<CacheDelegate>;
    return *slot;
}

std::optional<std::string> headerText(const platform::Dictionary& headers, std::string_view name)
{
    for (auto& [key, value] : headers)
        if (platform::equalsIgnoringAsciiCase(key, name))
            if (auto text = value.asString())
                return *text;
    return std::nullopt;
}

} // namespace

std::shared_ptr<CacheDelegate> HTTPRequest::downloadCache() const { return locked(downloadCache_); }
void HTTPRequest::setDownloadCache(std::shared_ptr<CacheDelegate> cache)
{
    setLocked(downloadCache_, std::move(cache));
}
int HTTPRequest::cachePolicy() const { return locked(cachePolicy_); }
void HTTPRequest::setCachePolicy(int policy) { setLocked(cachePolicy_, policy); }
int HTTPRequest::cacheStoragePolicy() const { return locked(cacheStoragePolicy_); }
void HTTPRequest::setCacheStoragePolicy(int policy) { setLocked(cacheStoragePolicy_, policy); }
double HTTPRequest::secondsToCache() const { return locked(secondsToCache_); }
void HTTPRequest::setSecondsToCache(double seconds) { setLocked(secondsToCache_, seconds); }
bool HTTPRequest::didUseCachedResponse() const { return locked(didUseCachedResponse_); }

std::shared_ptr<CacheDelegate> HTTPRequest::defaultCache()
{
    std::lock_guard<std::mutex> lock(defaultCacheLock());
    return defaultCacheSlot();
}

void HTTPRequest::setDefaultCache(std::shared_ptr<CacheDelegate> cache)
{
    std::lock_guard<std::mutex> lock(defaultCacheLock());
    defaultCacheSlot() = std::move(cache);
}

std::optional<platform::Date> HTTPRequest::expiryDateForRequest(const HTTPRequest& request, double maxAge)
{
    if (maxAge == 0) {
        if (auto control = request.responseHeader("Cache-Control")) {
            for (auto& [name, value] : DownloadCache::cacheControlDirectives(*control)) {
                if (name != "max-age")
                    continue;
                char* end = nullptr;
                double seconds = std::strtod(value.c_str(), &end);
                if (end != value.c_str() && seconds > 0)
                    maxAge = seconds;
                break;
            }
        }
    }
    if (maxAge != 0)
        return platform::Date::now().addingSeconds(maxAge);
    if (auto expires = request.responseHeader("Expires"))
        return dateFromRFC1123String(*expires);
    return std::nullopt;
}

bool HTTPRequest::consultDownloadCache()
{
    if (cachePolicy_ == CacheUseDefaultPolicy)
        cachePolicy_ = downloadCache_->defaultCachePolicy();
    if (downloadCache_->canUseCachedDataForRequest(*this)) {
        if (useDataFromCache())
            return true;
        // A cache that said yes but cannot produce the response: the network
        // answers instead of an empty success.
    }
    if (cachePolicy_ & (CacheAnswerWhenCurrent | CacheAnswerWhenConfirmed)) {
        // Validators are sent only when a stored body could answer a 304;
        // otherwise the confirmation would leave the owner with nothing.
        auto headers = downloadCache_->cachedResponseHeadersForURL(url_);
        if (headers && downloadCache_->pathToCachedResponseDataForURL(url_)) {
            if (auto etag = headerText(*headers, "Etag"))
                settings_.requestHeaders.set("If-None-Match", platform::Value(*etag));
            if (auto modified = headerText(*headers, "Last-Modified"))
                settings_.requestHeaders.set("If-Modified-Since", platform::Value(*modified));
        }
    }
    return false;
}

bool HTTPRequest::useDataFromCache()
{
    Guard lock(cancelledLock_);
    if (!downloadCache_)
        return false;
    auto headers = downloadCache_->cachedResponseHeadersForURL(url_);
    auto dataPath = downloadCache_->pathToCachedResponseDataForURL(url_);
    std::optional<platform::Bytes> data;
    if (headers && dataPath && !settings_.downloadDestinationPath)
        data = downloadCache_->cachedResponseDataForURL(url_);
    const platform::Value* status = headers ? headers->find("X-HTTPRequest-Response-Status-Code") : nullptr;
    if (!headers || !dataPath || (!settings_.downloadDestinationPath && !data) || !status || !status->isNumber())
        return false;

    responseStatusCode_ = status->intValue();
    didUseCachedResponse_ = true;
    platform::HttpHeaders fields;
    for (auto& [name, value] : *headers)
        if (auto text = value.asString())
            fields.add(name, *text);
    responseHeaders_ = fields;
    // The stored body is the one to hand over; its own file serves a download.
    if (settings_.downloadDestinationPath)
        settings_.downloadDestinationPath = *dataPath;
    else
        rawResponseData_ = std::move(*data);
    auto lengthText = fields.get("Content-Length");
    auto length = lengthText ? http_rules::parseContentLength(*lengthText) : std::nullopt;
    contentLength_ = length.value_or(rawResponseData_.size());
    totalBytesRead_ = contentLength_;
    parseStringEncodingFromHeaders();
    responseCookies_ = platform::HttpCookie::cookiesWithResponseHeaderFields(fields, url_);

    if (willRedirect()) {
        downloadComplete_ = true;
        if (!willAskDelegateToConfirmRedirect())
            performRedirect();
        return true;
    }
    complete_ = true;
    downloadComplete_ = true;
    if (redirectCount_ == 0)
        originalURL_ = url_;
    updateProgressIndicators();
    requestFinished();
    markAsFinished();
    return true;
}

} // namespace foundation
