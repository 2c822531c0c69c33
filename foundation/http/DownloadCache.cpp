#include "foundation/http/DownloadCache.h"

#include "foundation/http/HTTPRequest.h"
#include "platform/crypto/Md5.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/PropertyList.h"
#include "platform/os/StringUtil.h"

#include <algorithm>

namespace foundation {

// Lock order: the request's own lock before the cache's lock. What the cache
// needs of a request is read before its own lock is taken, so a call from
// the main thread never holds the cache while waiting for a request.

namespace {

constexpr const char* kSessionStore = "SessionStore";
constexpr const char* kPermanentStore = "PermanentStore";
constexpr const char* kExpiresKey = "X-HTTPRequest-Expires";
constexpr const char* kStatusKey = "X-HTTPRequest-Response-Status-Code";

platform::Error cacheError(const std::string& name, const std::string& reason)
{
    platform::Dictionary info;
    info.set(platform::kLocalizedDescriptionKey, platform::Value(reason));
    info.set("ExceptionName", platform::Value(name));
    return platform::Error("DownloadCacheErrorDomain", 1, std::move(info));
}

std::optional<std::string> textFor(const platform::Dictionary& headers, std::string_view name)
{
    for (auto& [key, value] : headers)
        if (platform::equalsIgnoringAsciiCase(key, name))
            if (auto text = value.asString())
                return *text;
    return std::nullopt;
}

bool hasDirective(const std::optional<std::string>& value, std::string_view name)
{
    if (!value)
        return false;
    for (auto& [directive, argument] : DownloadCache::cacheControlDirectives(*value))
        if (directive == name)
            return true;
    return false;
}

// What the cache looks at in a request, read under the request's own lock.
struct RequestFacts {
    platform::Url url;
    int policy = 0;
    int storagePolicy = 0;
    int status = 0;
    bool complete = false;
    bool hasResponseHeaders = false;
    bool failed = false;
    platform::Dictionary headers;
};

RequestFacts factsOf(const HTTPRequest& request)
{
    RequestFacts facts;
    facts.url = request.url();
    facts.policy = request.cachePolicy();
    facts.storagePolicy = request.cacheStoragePolicy();
    facts.status = request.responseStatusCode();
    facts.complete = request.complete();
    facts.headers = request.responseHeaders();
    facts.hasResponseHeaders = !facts.headers.empty();
    facts.failed = request.error().has_value();
    return facts;
}

} // namespace

std::shared_ptr<DownloadCache> DownloadCache::sharedCache()
{
    static std::mutex* lock = new std::mutex;
    static auto* shared = new std::shared_ptr<DownloadCache>;
    std::lock_guard<std::mutex> guard(*lock);
    if (!*shared) {
        *shared = std::make_shared<DownloadCache>();
        platform::Error error;
        if (!(*shared)->setStoragePath(
                platform::FileUtil::joinPath(platform::AppPaths::cachesDirectory(), "HTTPRequestCache"), &error))
            platform::log("DownloadCache: %s\n", error.localizedDescription().c_str());
    }
    return *shared;
}

DownloadCache::DownloadCache() = default;

int DownloadCache::defaultCachePolicy() const
{
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    return defaultCachePolicy_;
}

void DownloadCache::setDefaultCachePolicy(int policy)
{
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    defaultCachePolicy_ = policy == CacheUseDefaultPolicy ? CacheAnswerWhenCurrent : policy;
}

std::optional<std::string> DownloadCache::storagePath() const
{
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    return storagePath_;
}

bool DownloadCache::setStoragePath(std::optional<std::string> path, platform::Error* error)
{
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    clearCachedResponsesForStoragePolicy(CacheStorageForSession, nullptr);
    storagePath_ = std::move(path);
    if (!storagePath_)
        return true;
    for (const std::string& folder : { *storagePath_, platform::FileUtil::joinPath(*storagePath_, kSessionStore),
             platform::FileUtil::joinPath(*storagePath_, kPermanentStore) }) {
        if (platform::FileUtil::exists(folder) && !platform::FileUtil::isDirectory(folder)) {
            platform::setError(error,
                cacheError("FileExistsAtCachePath",
                    platform::format("Cannot create a directory for the cache at '%s', because a file already exists",
                        folder.c_str())));
            storagePath_.reset();
            return false;
        }
        if (!platform::FileUtil::exists(folder)
            && (!platform::FileUtil::createDirectory(folder) || !platform::FileUtil::isDirectory(folder))) {
            platform::setError(error,
                cacheError("FailedToCreateCacheDirectory",
                    platform::format("Failed to create a directory for the cache at '%s'", folder.c_str())));
            storagePath_.reset();
            return false;
        }
    }
    return clearCachedResponsesForStoragePolicy(CacheStorageForSession, error);
}

int DownloadCache::effectivePolicy(const HTTPRequest& request) const
{
    int policy = request.cachePolicy();
    return policy == CacheUseDefaultPolicy ? defaultCachePolicy() : policy;
}

// MARK: - Deciding

bool DownloadCache::canUseCachedDataForRequest(HTTPRequest& request)
{
    int policy = effectivePolicy(request);
    if (policy & CacheNeverRead)
        return false;
    if (policy & CacheAnswerAlways)
        return true;
    platform::Url url = request.url();
    if (!cachedResponseHeadersForURL(url) || !pathToCachedResponseDataForURL(url))
        return false;
    if (policy & CacheAnswerWhenStored)
        return true;
    if (request.complete() && (policy & CacheFallBackOnFailure))
        return true;
    bool hasHeaders = !request.responseHeaders().empty();
    if (!(policy & CacheAnswerWhenCurrent) && !((policy & CacheAnswerWhenConfirmed) && hasHeaders))
        return false;
    return isCachedDataCurrentForRequest(request);
}

bool DownloadCache::isCachedDataCurrentForRequest(HTTPRequest& request)
{
    RequestFacts facts = factsOf(request);
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    if (!storagePath_)
        return false;
    auto stored = cachedResponseHeadersForURL(facts.url);
    if (!stored || !pathToCachedResponseDataForURL(facts.url))
        return false;
    if (facts.status == 304)
        return true;
    if (facts.hasResponseHeaders && facts.complete) {
        for (const char* validator : { "Etag", "Last-Modified" }) {
            auto mine = textFor(facts.headers, validator);
            if (!mine || mine != textFor(*stored, validator))
                return false;
        }
    }
    if (shouldRespectCacheControlHeaders()) {
        const platform::Value* expires = stored->find(kExpiresKey);
        if (!expires || !expires->isNumber() || expires->doubleValue() < platform::Date::now().seconds)
            return false;
    }
    return true;
}

std::optional<platform::Date> DownloadCache::expiryDateForRequest(HTTPRequest& request, double maxAge)
{
    return HTTPRequest::expiryDateForRequest(request, maxAge);
}

bool DownloadCache::serverAllowsResponseCachingForRequest(const HTTPRequest& request)
{
    // Directive by directive: "private, no-store" forbids keeping it as
    // surely as "no-store" alone.
    auto control = request.responseHeader("Cache-Control");
    if (hasDirective(control, "no-store") || hasDirective(control, "no-cache"))
        return false;
    return !hasDirective(request.responseHeader("Pragma"), "no-cache");
}

// MARK: - Storing

void DownloadCache::storeResponseForRequest(HTTPRequest& request, double maxAge)
{
    RequestFacts facts = factsOf(request);
    int policy = effectivePolicy(request);
    if (facts.failed || !facts.hasResponseHeaders || (policy & CacheNeverStore))
        return;
    int status = facts.status;
    if (status != 200 && status != 301 && status != 302 && status != 303 && status != 307)
        return;
    if (shouldRespectCacheControlHeaders() && !serverAllowsResponseCachingForRequest(request))
        return;

    platform::Dictionary headers = facts.headers;
    std::optional<platform::Bytes> body;
    auto download = request.downloadDestinationPath();
    if (!download) {
        body = request.responseData();
        if (!body)
            return;
    }
    if (request.isResponseCompressed()) {
        // The body is kept inflated, so it is described as such.
        for (auto it = headers.begin(); it != headers.end(); ++it) {
            if (platform::equalsIgnoringAsciiCase(it->first, "Content-Encoding")) {
                headers.erase(std::string(it->first));
                break;
            }
        }
        if (body)
            headers.set("Content-Length", platform::Value(platform::format("%zu", body->size())));
    }
    if (auto expiry = expiryDateForRequest(request, maxAge))
        headers.set(kExpiresKey, platform::Value(expiry->seconds));
    headers.set(kStatusKey, platform::Value(static_cast<long long>(status == 304 ? 200 : status)));

    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    auto folder = storeFolderForRequest(request);
    auto key = keyForURL(facts.url);
    auto dataName = dataFileName(facts.url);
    if (!folder || !key || !dataName)
        return;
    std::string dataPath = platform::FileUtil::joinPath(*folder, *dataName);
    std::string headersPath = platform::FileUtil::joinPath(*folder, *key + ".cachedheaders");
    // An entry lives in one store at a time.
    removeCachedDataForURL(facts.url);
    // The body goes first and the headers last: a headers file always has its body.
    bool written = false;
    if (body) {
        written = platform::FileUtil::write(dataPath, *body, platform::FileUtil::WriteMode::Atomic);
    } else if (*download != dataPath) {
        platform::FileUtil::remove(dataPath);
        written = platform::FileUtil::copy(*download, dataPath);
    } else {
        written = true;
    }
    if (written)
        platform::PropertyList::writeFile(headersPath, platform::Value(std::move(headers)));
}

void DownloadCache::updateExpiryForRequest(HTTPRequest& request, double maxAge)
{
    auto expiry = expiryDateForRequest(request, maxAge);
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    auto path = pathToCachedResponseHeadersForURL(request.url());
    if (!path || !expiry)
        return;
    auto stored = platform::PropertyList::readFile(*path);
    if (!stored || !stored->isDictionary())
        return;
    platform::Dictionary headers = *stored->asDictionary();
    headers.set(kExpiresKey, platform::Value(expiry->seconds));
    platform::PropertyList::writeFile(*path, platform::Value(std::move(headers)));
}

// MARK: - Looking up

std::optional<std::string> DownloadCache::keyForURL(const platform::Url& url)
{
    std::string text = url.absoluteString();
    if (!text.empty() && text.back() == '/')
        text.pop_back();
    if (text.empty())
        return std::nullopt;
    return platform::Md5::hex(std::string_view(text), platform::HexCase::Upper);
}

const std::vector<std::string>& DownloadCache::fileExtensionsToHandleAsHTML()
{
    static const std::vector<std::string> extensions { "asp", "aspx", "jsp", "php", "rb", "py", "pl", "cgi" };
    return extensions;
}

std::optional<std::string> DownloadCache::dataFileName(const platform::Url& url)
{
    auto key = keyForURL(url);
    if (!key)
        return std::nullopt;
    std::string path = url.path();
    std::string last = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    std::size_t dot = last.rfind('.');
    std::string extension = dot == std::string::npos || dot == 0 ? std::string() : last.substr(dot + 1);
    auto& html = fileExtensionsToHandleAsHTML();
    if (extension.empty() || std::find(html.begin(), html.end(), platform::asciiToLower(extension)) != html.end())
        extension = "html";
    return *key + "." + extension;
}

std::optional<std::string> DownloadCache::storeFolderForRequest(HTTPRequest& request) const
{
    if (!storagePath_)
        return std::nullopt;
    bool permanent = request.cacheStoragePolicy() != CacheStorageForSession;
    return platform::FileUtil::joinPath(*storagePath_, permanent ? kPermanentStore : kSessionStore);
}

std::optional<std::string> DownloadCache::pathToStoreCachedResponseDataForRequest(HTTPRequest& request)
{
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    auto folder = storeFolderForRequest(request);
    auto name = dataFileName(request.url());
    if (!folder || !name)
        return std::nullopt;
    return platform::FileUtil::joinPath(*folder, *name);
}

std::optional<std::string> DownloadCache::pathToStoreCachedResponseHeadersForRequest(HTTPRequest& request)
{
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    auto folder = storeFolderForRequest(request);
    auto key = keyForURL(request.url());
    if (!folder || !key)
        return std::nullopt;
    return platform::FileUtil::joinPath(*folder, *key + ".cachedheaders");
}

std::optional<std::string> DownloadCache::pathToFile(const std::string& file)
{
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    if (!storagePath_)
        return std::nullopt;
    for (const char* store : { kSessionStore, kPermanentStore }) {
        std::string path = platform::FileUtil::joinPath(platform::FileUtil::joinPath(*storagePath_, store), file);
        if (platform::FileUtil::isRegularFile(path))
            return path;
    }
    return std::nullopt;
}

std::optional<std::string> DownloadCache::pathToCachedResponseDataForURL(const platform::Url& url)
{
    auto name = dataFileName(url);
    return name ? pathToFile(*name) : std::nullopt;
}

std::optional<std::string> DownloadCache::pathToCachedResponseHeadersForURL(const platform::Url& url)
{
    auto key = keyForURL(url);
    return key ? pathToFile(*key + ".cachedheaders") : std::nullopt;
}

std::optional<platform::Dictionary> DownloadCache::cachedResponseHeadersForURL(const platform::Url& url)
{
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    auto path = pathToCachedResponseHeadersForURL(url);
    if (!path)
        return std::nullopt;
    // A damaged headers file is an entry that is not there.
    auto stored = platform::PropertyList::readFile(*path);
    if (!stored || !stored->isDictionary())
        return std::nullopt;
    return *stored->asDictionary();
}

std::optional<platform::Bytes> DownloadCache::cachedResponseDataForURL(const platform::Url& url)
{
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    auto path = pathToCachedResponseDataForURL(url);
    if (!path)
        return std::nullopt;
    return platform::FileUtil::read(*path);
}

void DownloadCache::removeCachedDataForURL(const platform::Url& url)
{
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    // Each store may hold a copy (a response that moved between policies).
    for (int round = 0; round < 2; ++round) {
        if (auto headers = pathToCachedResponseHeadersForURL(url))
            platform::FileUtil::remove(*headers);
        if (auto data = pathToCachedResponseDataForURL(url))
            platform::FileUtil::remove(*data);
    }
}

void DownloadCache::removeCachedDataForRequest(HTTPRequest& request) { removeCachedDataForURL(request.url()); }

// MARK: - Clearing

void DownloadCache::clearCachedResponsesForStoragePolicy(int storagePolicy)
{
    platform::Error error;
    if (!clearCachedResponsesForStoragePolicy(storagePolicy, &error))
        platform::log("DownloadCache: %s\n", error.localizedDescription().c_str());
}

bool DownloadCache::clearCachedResponsesForStoragePolicy(int storagePolicy, platform::Error* error)
{
    std::lock_guard<std::recursive_mutex> lock(accessLock_);
    if (!storagePath_)
        return true;
    std::string folder = platform::FileUtil::joinPath(
        *storagePath_, storagePolicy == CacheStorageForSession ? kSessionStore : kPermanentStore);
    if (!platform::FileUtil::isDirectory(folder))
        return true;
    auto entries = platform::FileUtil::list(folder);
    if (!entries) {
        platform::setError(error,
            cacheError("FailedToTraverseCacheDirectory",
                platform::format("Listing cache directory failed at path '%s'", folder.c_str())));
        return false;
    }
    for (auto& entry : *entries) {
        if (!platform::FileUtil::remove(platform::FileUtil::joinPath(folder, entry))) {
            platform::setError(error,
                cacheError("FailedToRemoveCacheFile",
                    platform::format("Failed to remove cached data at path '%s'", folder.c_str())));
            return false;
        }
    }
    return true;
}

// MARK: - Cache-Control

std::vector<std::pair<std::string, std::string>> DownloadCache::cacheControlDirectives(std::string_view value)
{
    std::vector<std::pair<std::string, std::string>> directives;
    std::size_t i = 0;
    while (i < value.size()) {
        // One directive: a token, optionally "=" and a token or a quoted text.
        while (i < value.size() && (value[i] == ',' || value[i] == ' ' || value[i] == '\t'))
            ++i;
        std::size_t start = i;
        while (i < value.size() && value[i] != ',' && value[i] != '=')
            ++i;
        std::string name
            = platform::asciiToLower(platform::trimWhitespaceAndNewlines(std::string(value.substr(start, i - start))));
        std::string argument;
        if (i < value.size() && value[i] == '=') {
            ++i;
            while (i < value.size() && (value[i] == ' ' || value[i] == '\t'))
                ++i;
            if (i < value.size() && value[i] == '"') {
                ++i;
                while (i < value.size() && value[i] != '"') {
                    if (value[i] == '\\' && i + 1 < value.size())
                        ++i;
                    argument += value[i++];
                }
                if (i < value.size())
                    ++i;
                while (i < value.size() && value[i] != ',')
                    ++i;
            } else {
                std::size_t argumentStart = i;
                while (i < value.size() && value[i] != ',')
                    ++i;
                argument
                    = platform::trimWhitespaceAndNewlines(std::string(value.substr(argumentStart, i - argumentStart)));
            }
        }
        if (!name.empty())
            directives.emplace_back(std::move(name), std::move(argument));
    }
    return directives;
}

} // namespace foundation
