#pragma once

#include "foundation/http/CacheDelegate.h"
#include "foundation/http/FileDescriptor.h"
#include "foundation/http/HTTPRequestDelegate.h"
#include "foundation/http/HTTPRequestError.h"
#include "foundation/http/RequestSettings.h"
#include "foundation/http/SessionCredentialsStore.h"
#include "platform/net/HttpCookie.h"
#include "platform/net/HttpMessage.h"
#include "platform/net/HttpStream.h"
#include "platform/os/Error.h"
#include "platform/os/OperationQueue.h"
#include "platform/os/RunLoop.h"
#include "platform/os/TextEncoding.h"
#include "platform/os/Timer.h"
#include "platform/os/Url.h"
#include "platform/os/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace platform {
class HttpAuthentication;
struct URLCredential;
}

namespace foundation {

struct ConnectionRecord;
class DataDecompressor;
struct DownloadPlacement;
class PacScriptFetch;
class RequestInputStream;

// The run-loop mode a synchronous request runs its nested loop in.
inline constexpr const char* HTTPRequestRunLoopMode = "HTTPRequestRunLoopMode";

// One HTTP exchange: URL, method, headers, cookies and body going out; status,
// headers, cookies and body coming back; progress, time-outs, redirects and
// the callbacks through which it reports. An operation: startAsynchronous
// puts it on the shared queue, and all its network work then runs on the
// engine's one network thread. Every callback to the owner runs on the main
// loop: delegate first, then block, then queue.
//
// Always made through requestWithURL (it lives in a shared_ptr). Accessors
// may be called from any thread; they take the request's lock.
class HTTPRequest : public platform::Operation {
public:
    using Block = std::function<void()>;
    using HeadersBlock = std::function<void(const platform::Dictionary& headers)>;
    using DataBlock = std::function<void(const platform::Bytes& data)>;
    using ProgressBlock = std::function<void(unsigned long long size, unsigned long long total)>;
    using SizeBlock = std::function<void(long long size)>;

    using ClientCertificateIdentity = foundation::ClientCertificateIdentity;

    static std::shared_ptr<HTTPRequest> requestWithURL(const platform::Url& url);
    // A request answered from (and stored in) the given cache; policy 0 takes
    // the cache's default policy when the request starts.
    static std::shared_ptr<HTTPRequest> requestWithURL(const platform::Url& url,
        std::shared_ptr<CacheDelegate> usingCache, int andCachePolicy = CacheUseDefaultPolicy);
    ~HTTPRequest() override;

    // A new request for the same URL carrying the owner's settings, body and
    // headers, with fresh state and no blocks.
    virtual std::shared_ptr<HTTPRequest> copyWithZone() const;

    // Running.
    void startAsynchronous();
    void startSynchronous();
    void start() override;
    bool isConcurrent() const override { return true; }
    void cancel() override;
    // For owners that go away: nothing of theirs is called afterwards.
    void clearDelegatesAndCancel();

    // Request description.
    platform::Url url() const;
    void setURL(const platform::Url& url);
    std::optional<platform::Url> originalURL() const;
    std::optional<platform::Url> redirectURL() const;
    std::string requestMethod() const;
    void setRequestMethod(const std::string& method);
    platform::Dictionary requestHeaders() const;
    void setRequestHeaders(platform::Dictionary headers);
    void addRequestHeader(const std::string& header, const std::string& value);
    std::vector<platform::HttpCookie> requestCookies() const;
    void setRequestCookies(std::vector<platform::HttpCookie> cookies);
    bool useCookiePersistence() const;
    void setUseCookiePersistence(bool use);
    bool useHTTPVersionOne() const;
    void setUseHTTPVersionOne(bool use);
    std::optional<std::string> userAgent() const;
    void setUserAgent(std::optional<std::string> userAgent);
    bool allowCompressedResponse() const;
    void setAllowCompressedResponse(bool allow);
    bool shouldWaitToInflateCompressedResponses() const;
    void setShouldWaitToInflateCompressedResponses(bool wait);
    bool shouldCompressRequestBody() const;
    void setShouldCompressRequestBody(bool compress);
    bool validatesSecureCertificate() const;
    void setValidatesSecureCertificate(bool validates);
    std::optional<ClientCertificateIdentity> clientCertificateIdentity() const;
    void setClientCertificateIdentity(std::optional<ClientCertificateIdentity> identity);
    double timeOutSeconds() const;
    void setTimeOutSeconds(double seconds);
    int numberOfTimesToRetryOnTimeout() const;
    void setNumberOfTimesToRetryOnTimeout(int times);
    int retryCount() const;
    bool shouldRedirect() const;
    void setShouldRedirect(bool redirect);
    bool shouldUseRFC2616RedirectBehaviour() const;
    void setShouldUseRFC2616RedirectBehaviour(bool use);
    bool needsRedirect() const;
    int redirectCount() const;
    bool shouldAttemptPersistentConnection() const;
    void setShouldAttemptPersistentConnection(bool attempt);
    double persistentConnectionTimeoutSeconds() const;
    void setPersistentConnectionTimeoutSeconds(double seconds);
    bool connectionCanBeReused() const;
    // The "id" of the connection record this request used; 0 when none.
    std::int64_t connectionID() const;
    unsigned requestID() const;
    std::string runLoopMode() const;
    bool isSynchronous() const;
    platform::Dictionary userInfo() const;
    void setUserInfo(platform::Dictionary userInfo);
    int tag() const;
    void setTag(int tag);

    // Credentials sent before any challenge (Basic only for now).
    std::optional<std::string> username() const;
    void setUsername(std::optional<std::string> username);
    std::optional<std::string> password() const;
    void setPassword(std::optional<std::string> password);
    std::optional<std::string> authenticationScheme() const;
    void setAuthenticationScheme(std::optional<std::string> scheme);
    bool shouldPresentCredentialsBeforeChallenge() const;
    void setShouldPresentCredentialsBeforeChallenge(bool present);
    void addBasicAuthenticationHeaderWithUsername(const std::string& username, const std::string& andPassword);

    // Authentication after a challenge (HTTPRequestAuth.cpp); the session
    // entries live in SessionCredentialsStore.
    using Credentials = HTTPCredentials;
    using SessionCredentials = foundation::SessionCredentials;
    std::optional<std::string> domain() const;
    void setDomain(std::optional<std::string> domain);
    std::optional<std::string> proxyUsername() const;
    void setProxyUsername(std::optional<std::string> username);
    std::optional<std::string> proxyPassword() const;
    void setProxyPassword(std::optional<std::string> password);
    std::optional<std::string> proxyDomain() const;
    void setProxyDomain(std::optional<std::string> domain);
    std::optional<std::string> authenticationRealm() const;
    std::optional<std::string> proxyAuthenticationRealm() const;
    std::optional<std::string> proxyAuthenticationScheme() const;
    // The objects answering the server's and the proxy's challenges; held
    // while the request runs and let go when it finishes or changes address.
    std::shared_ptr<platform::HttpAuthentication> requestAuthentication() const;
    std::shared_ptr<platform::HttpAuthentication> proxyAuthentication() const;
    Credentials requestCredentials() const;
    Credentials proxyCredentials() const;
    int authenticationRetryCount() const;
    int proxyAuthenticationRetryCount() const;
    // 0 none, 1 the server asked, 2 the proxy asked.
    int authenticationNeeded() const;
    bool useKeychainPersistence() const;
    void setUseKeychainPersistence(bool use);
    bool useSessionPersistence() const;
    void setUseSessionPersistence(bool use);
    bool shouldPresentAuthenticationDialog() const;
    void setShouldPresentAuthenticationDialog(bool present);
    bool shouldPresentProxyAuthenticationDialog() const;
    void setShouldPresentProxyAuthenticationDialog(bool present);
    void setAuthenticationNeededBlock(Block block);
    void setProxyAuthenticationNeededBlock(Block block);
    // The answers of whoever was asked for credentials (any thread).
    void retryUsingSuppliedCredentials();
    void cancelAuthentication();
    static std::vector<SessionCredentials> sessionCredentialsStore();
    static std::vector<SessionCredentials> sessionProxyCredentialsStore();
    static void storeAuthenticationCredentialsInSessionStore(SessionCredentials entry);
    static void storeProxyAuthenticationCredentialsInSessionStore(SessionCredentials entry);
    static void removeAuthenticationCredentialsFromSessionStore(const Credentials& credentials);
    static void removeProxyAuthenticationCredentialsFromSessionStore(const Credentials& credentials);
    static void saveCredentials(const platform::URLCredential& credentials, const std::string& forHost, int port,
        const std::string& protocol, const std::optional<std::string>& realm);
    static void saveCredentialsForProxy(const platform::URLCredential& credentials, const std::string& forProxy,
        int port, const std::optional<std::string>& realm);
    static std::optional<platform::URLCredential> savedCredentialsForHost(
        const std::string& host, int port, const std::string& protocol, const std::optional<std::string>& realm);
    static std::optional<platform::URLCredential> savedCredentialsForProxy(
        const std::string& proxy, int port, const std::string& protocol, const std::optional<std::string>& realm);
    static void removeCredentialsForHost(
        const std::string& host, int port, const std::string& protocol, const std::optional<std::string>& realm);
    static void removeCredentialsForProxy(const std::string& proxy, int port, const std::optional<std::string>& realm);

    // Proxies (HTTPRequestProxy.cpp).
    std::optional<std::string> proxyHost() const;
    void setProxyHost(std::optional<std::string> host);
    int proxyPort() const;
    void setProxyPort(int port);
    std::optional<std::string> proxyType() const;
    void setProxyType(std::optional<std::string> type);
    std::optional<platform::Url> PACurl() const;
    void setPACurl(std::optional<platform::Url> url);
    bool isPACFileRequest() const;

    // Request body.
    platform::Bytes postBody() const;
    void setPostBody(platform::Bytes body);
    void appendPostData(const platform::Bytes& data);
    void appendPostDataFromFile(const std::string& file);
    void setupPostBody();
    bool shouldStreamPostDataFromDisk() const;
    void setShouldStreamPostDataFromDisk(bool stream);
    std::optional<std::string> postBodyFilePath() const;
    void setPostBodyFilePath(std::optional<std::string> path);
    std::optional<std::string> compressedPostBodyFilePath() const;
    bool didCreateTemporaryPostDataFile() const;
    unsigned long long postLength() const;
    bool haveBuiltPostBody() const;
    bool haveBuiltRequestHeaders() const;
    unsigned long long uploadBufferSize() const;

    // Response.
    // Header fields by name, repeated fields joined with ", ".
    platform::Dictionary responseHeaders() const;
    // A response header looked up without regard to case.
    std::optional<std::string> responseHeader(const std::string& name) const;
    std::vector<platform::HttpCookie> responseCookies() const;
    int responseStatusCode() const;
    std::string responseStatusMessage() const;
    platform::Bytes rawResponseData() const;
    unsigned long long contentLength() const;
    unsigned long long partialDownloadSize() const;
    unsigned long long totalBytesRead() const;
    unsigned long long totalBytesSent() const;
    platform::StringEncoding defaultResponseEncoding() const;
    void setDefaultResponseEncoding(platform::StringEncoding encoding);
    platform::StringEncoding responseEncoding() const;
    std::optional<std::string> downloadDestinationPath() const;
    void setDownloadDestinationPath(std::optional<std::string> path);
    std::optional<std::string> temporaryFileDownloadPath() const;
    void setTemporaryFileDownloadPath(std::optional<std::string> path);
    std::optional<std::string> temporaryUncompressedDataDownloadPath() const;
    bool allowResumeForFileDownloads() const;
    void setAllowResumeForFileDownloads(bool allow);
    // The most a download to a file may come to, both as it arrives and
    // inflated: one announced or read past it fails the request with
    // ResponseTooLargeError as soon as it passes, and leaves no file. For an
    // owner that knows what the file can be (a voice clip); unset, a file
    // download has no ceiling.
    std::optional<unsigned long long> largestFileDownload() const;
    void setLargestFileDownload(std::optional<unsigned long long> bytes);
    bool downloadComplete() const;
    // The body, inflated when it came compressed. Empty when the body was
    // handed to a data callback.
    // A body kept in memory that comes to more than kLargestInflatedBody
    // (inflated, or plain as it came) fails the request with
    // ResponseTooLargeError as soon as it passes that, whichever way it is
    // inflated: a small reply that inflates without end, or an endless plain
    // one, must not take the process's memory. Downloads to a file have no
    // such ceiling. A compressed body is inflated once, on the request's own
    // loop as it arrives (a step at a time, so that other requests are
    // served between the steps), and is kept: reading it costs a copy. A
    // body that could not be inflated (broken, cut short or too large)
    // answers nothing here. A body kept compressed (inflation deferred) is
    // still taken whole as it came (rawResponseData), for an owner that
    // wants the bytes as they were sent.
    std::optional<platform::Bytes> responseData() const;
    static constexpr std::size_t kLargestInflatedBody = std::size_t { 64 } * 1024 * 1024;
    // The body as text in the response's encoding; nullopt when it is not valid there.
    std::optional<std::string> responseString() const;
    // The body and its text, read once: responseData() and responseString()
    // each take a copy of the body, which for a reply of megabytes read on
    // the main loop is a copy too many. A body of more than largestBody bytes
    // is not read as text (its text is nullopt): a reader that refuses it
    // for its length is spared that copy.
    struct ResponseBody {
        std::optional<platform::Bytes> data;
        std::optional<std::string> text;
    };
    ResponseBody responseBodyAndText(std::size_t largestBody = SIZE_MAX) const;
    bool isResponseCompressed() const;

    // Progress.
    std::weak_ptr<ProgressDelegate> uploadProgressDelegate() const;
    void setUploadProgressDelegate(std::weak_ptr<ProgressDelegate> delegate);
    std::weak_ptr<ProgressDelegate> downloadProgressDelegate() const;
    void setDownloadProgressDelegate(std::weak_ptr<ProgressDelegate> delegate);
    bool showAccurateProgress() const;
    void setShowAccurateProgress(bool accurate);
    bool shouldResetUploadProgress() const;
    void setShouldResetUploadProgress(bool reset);
    bool shouldResetDownloadProgress() const;
    void setShouldResetDownloadProgress(bool reset);

    // Callbacks.
    std::weak_ptr<HTTPRequestDelegate> delegate() const;
    void setDelegate(std::weak_ptr<HTTPRequestDelegate> delegate);
    // The owning queue: kept alive by the request; also a progress delegate
    // when it derives from ProgressDelegate.
    std::shared_ptr<HTTPRequestDelegate> queue() const;
    void setQueue(std::shared_ptr<HTTPRequestDelegate> queue);
    void setDidStartSelector(RequestSelector selector);
    void setDidReceiveResponseHeadersSelector(HeadersSelector selector);
    void setWillRedirectSelector(RedirectSelector selector);
    void setDidFinishSelector(RequestSelector selector);
    void setDidFailSelector(RequestSelector selector);
    void setDidReceiveDataSelector(DataSelector selector);
    void setStartedBlock(Block block);
    void setHeadersReceivedBlock(HeadersBlock block);
    void setCompletionBlock(Block block);
    void setFailedBlock(Block block);
    void setBytesReceivedBlock(ProgressBlock block);
    void setBytesSentBlock(ProgressBlock block);
    void setDownloadSizeIncrementedBlock(SizeBlock block);
    void setUploadSizeIncrementedBlock(SizeBlock block);
    void setDataReceivedBlock(DataBlock block);
    void setRequestRedirectedBlock(Block block);
    // The answer to requestWillRedirectToURL: go on to this URL.
    void redirectToURL(const platform::Url& newURL);

    // State.
    bool inProgress() const;
    bool complete() const;
    bool isCancelled() const;
    std::optional<platform::Error> error() const;
    bool willRetryRequest() const;

    // Queues and HEAD requests (NetworkQueue.cpp). A HEAD request made for
    // another request measures it: its size goes to that request, it reports
    // nothing of its own, and its failure is that request's failure.
    std::shared_ptr<HTTPRequest> HEADRequest() const;
    std::shared_ptr<HTTPRequest> mainRequest() const;

    // Download cache (HTTPRequestCache.cpp). Only GET requests use it.
    std::shared_ptr<CacheDelegate> downloadCache() const;
    void setDownloadCache(std::shared_ptr<CacheDelegate> cache);
    int cachePolicy() const;
    void setCachePolicy(int policy);
    int cacheStoragePolicy() const;
    void setCacheStoragePolicy(int policy);
    double secondsToCache() const;
    void setSecondsToCache(double seconds);
    bool didUseCachedResponse() const;
    static std::shared_ptr<CacheDelegate> defaultCache();
    static void setDefaultCache(std::shared_ptr<CacheDelegate> cache);
    // When a response stops being current: maxAge seconds from now when not
    // 0, else the response's max-age, else its Expires date; nullopt for none.
    static std::optional<platform::Date> expiryDateForRequest(const HTTPRequest& request, double maxAge);

    // Bandwidth meter and throttle (HTTPRequestThrottle.cpp, over the shared
    // BandwidthMeter). The meter counts body bytes read and sent in one-second
    // windows; with a maximum set, streams are paused until the overuse of a
    // window has been paid back.
    void performThrottling();
    static bool isBandwidthThrottled();
    static unsigned long maxBandwidthPerSecond();
    static void setMaxBandwidthPerSecond(unsigned long bytes);
    static void recordBandwidthUsage();
    static void measureBandwidthUsage();
    static unsigned long maxUploadReadLength();
    // Until when throttled streams stay paused, on the meter's clock.
    static std::optional<double> throttleWakeUpTime();
    // Throttling only while the internet route is a mobile one.
    static void setShouldThrottleBandwidthForWWAN(bool throttle);
    static void throttleBandwidthForWWANUsingLimit(unsigned long limit);
    static bool isNetworkReachableViaWWAN();
    static void reachabilityChanged();
    // The meter's clock (the steady clock unless a test gives another); also
    // starts the meter afresh.
    static void setBandwidthClock(std::shared_ptr<platform::Clock> clock);

    // Network activity indicator. There is no status bar here: the state is
    // kept and handed to an observer on the main thread.
    static bool shouldUpdateNetworkActivityIndicator();
    static void setShouldUpdateNetworkActivityIndicator(bool update);
    static bool isNetworkActivityIndicatorVisible();
    static void setNetworkActivityIndicatorObserver(std::function<void(bool visible)> observer);
    static void showNetworkActivityIndicator();
    static void hideNetworkActivityIndicator();
    static void hideNetworkActivityIndicatorAfterDelay();
    static void hideNetworkActivityIndicatorIfNeeeded();

    // Engine-wide settings and helpers.
    static platform::OperationQueue& sharedQueue();
    // The loop of the network thread every asynchronous request runs on.
    static platform::RunLoop& threadForRequest(const HTTPRequest& request);
    // Where body files are compressed and finished downloads are moved,
    // copied or inflated into place: file work that would otherwise hold up
    // every request on the network thread. Asynchronous requests only; a
    // synchronous one does its file work on its caller's thread.
    static platform::OperationQueue& fileQueue();
    static double defaultTimeOutSeconds();
    static void setDefaultTimeOutSeconds(double seconds);
    static std::optional<std::string> defaultUserAgentString();
    static void setDefaultUserAgentString(std::optional<std::string> userAgent);
    static std::vector<platform::HttpCookie> sessionCookies();
    static void setSessionCookies(std::vector<platform::HttpCookie> cookies);
    static void addSessionCookie(const platform::HttpCookie& cookie);
    static void clearSession();
    static void expirePersistentConnections();
    // Connection records in the shared ConnectionPool (busy and idle).
    static std::size_t persistentConnectionCount();
    static bool isNetworkInUse();
    static void incrementBandwidthUsedInLastSecond(unsigned long bytes);
    static unsigned long averageBandwidthUsedPerSecond();
    // Certificate authorities trusted for https instead of the system's (a
    // PEM file); empty restores the system roots. For private deployments and
    // test rigs.
    static void setTrustedRootCertificatesFile(std::string path);

    static std::optional<std::string> mimeTypeForFileAtPath(const std::string& path);
    // Splits a Content-Type value into its MIME type and, when its charset
    // names a known encoding, that encoding.
    static void parseMimeType(std::string* mimeType, platform::StringEncoding* andResponseEncoding,
        const std::optional<std::string>& fromContentType);
    static std::optional<platform::Date> dateFromRFC1123String(const std::string& string);
    static std::string base64forData(const platform::Bytes& data);
    static bool removeFileAtPath(const std::string& path, platform::Error* error);

    // At the end of the program, before the exit handlers destroy what
    // requests use: closes the pooled connections, stops and joins the
    // network thread. A request cancelled before the call ends in its queue
    // first. No request runs afterwards; what is still posted to the
    // thread's loop then stays there unrun.
    static void shutdownNetworkThread();

protected:
    explicit HTTPRequest(platform::Url url);

    // Fixes the body, its length, the method and "Content-Length". Runs once.
    virtual void buildPostBody();
    // Gives a fresh copy this request's settings (used by subclasses).
    void copySettingsTo(HTTPRequest& copy) const;
    // Fails the request through the one failure path (reports at most once).
    void failWithError(const std::optional<platform::Error>& error);
    // A failure found before the request runs (a missing upload file): kept
    // and reported through the failure callbacks once the request starts.
    void recordDeferredError(platform::Error error);
    bool hasDeferredError() const;
    // Forgets a body built from form fields, so that it is written anew.
    void discardBuiltBody();

    // The request's own lock; recursive. Members hold it with a Guard.
    std::recursive_mutex& cancelledLock() const { return cancelledLock_; }
    using Guard = std::lock_guard<std::recursive_mutex>;

private:
    // Plain fields that the network thread also reads are read and written
    // under the request's own lock.
    template <class T> T locked(const T& field) const
    {
        std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
        return field;
    }
    template <class T, class U> void setLocked(T& field, U&& value)
    {
        std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
        field = std::forward<U>(value);
    }
    friend class RequestInputStream;
    friend class NetworkQueue;
    friend class PacScriptFetch;

    // Throttled streams are paused now: the wake-up time lies ahead.
    static bool isThrottlePaused();
    // The read size under throttling: what is left of this second's allowance.
    static std::size_t throttledReadLength(std::size_t readSize);
    // Completes the request from its download cache; false (and nothing
    // changed) when the cache cannot answer after all.
    bool useDataFromCache();
    // Before the network: answers from the cache when it may (true: done),
    // else adds the stored validators for a conditional request.
    bool consultDownloadCache();

    std::shared_ptr<HTTPRequest> self() { return std::static_pointer_cast<HTTPRequest>(shared_from_this()); }

    // Preparation and start (network thread, under the lock).
    void main() override;
    void beginRun();
    // What main() does once the body is built: the cache, the message, its
    // headers, the proxy and the start.
    void continueMain();
    // Back on the request's loop once a body file has been compressed.
    void finishBodyCompression(const std::string& path, const std::optional<platform::Error>& failure);
    void buildRequestHeaders();
    void applyCookieHeader();
    void applyAuthorizationHeader();

    // Authentication (HTTPRequestAuth.cpp; a challenge's flow in
    // AuthenticationChallenge.cpp).
    struct AuthenticationChallenge;
    void applySessionCredentialsBeforeChallenge();
    static void clearSessionCredentials();
    void noteAuthenticationChallenge();
    void attemptToApplyCredentialsAndResume();
    std::optional<SessionCredentials> findSessionAuthenticationCredentials();
    std::optional<SessionCredentials> findSessionProxyAuthenticationCredentials();
    void failAuthentication();

    // Proxies (HTTPRequestProxy.cpp).
    bool configureProxies();
    void fetchPACFile();
    void runPACScript(const std::optional<std::string>& script);
    void stopPACFetch();
    void applyProxyToStream(platform::HttpStream& stream);
    void updatePartialDownloadSize();
    void startRequest();
    void attachToPersistentConnection();

    // Status, cancellation and failure.
    void updateStatus();
    void checkRequestStatus();
    bool shouldTimeOut();
    void cancelOnRequestThread();
    void cancelLoad();
    void markAsFinished();

    // Stream events.
    void handleNetworkEvent(platform::HttpStream::Event event);
    void handleBytesAvailable();
    void handleStreamComplete();
    void handleStreamError();
    void readResponseHeaders();
    void parseStringEncodingFromHeaders();
    bool willRedirect();
    bool willAskDelegateToConfirmRedirect();
    void performRedirect();
    bool retryUsingNewConnection();
    void writeToDownloadFile(std::span<const std::uint8_t> raw, const platform::Bytes* inflated);
    // Whether the body goes to the owner piece by piece (a data callback).
    bool handsBodyToOwner() const;
    // A body kept compressed in memory, with its inflated copy beside it.
    bool keepsCompressedBody() const;
    // Inflates a piece that has arrived, or as much of it as one step
    // allows; the rest is kept and inflated by steps posted to the request's
    // loop, and reading waits until it is done. False when reading must
    // stop: the request failed, or part of the piece waits.
    bool inflateArrived(std::span<const std::uint8_t> piece);
    // One step over the piece; *used tells how much of it was taken.
    bool inflateStep(std::span<const std::uint8_t> piece, std::size_t* used);
    // Inflates the next step of the kept rest; true once nothing waits.
    bool inflateBacklog();
    void postInflateStep();
    // Fails the request over a body it will not keep, letting the partial
    // body's memory go.
    void refuseBody(const platform::Error& error);
    // Putting a finished download at its destination, taken from the request
    // so that it can run away from the network thread.
    DownloadPlacement takeDownloadFinish();
    // The end of a response once its file, if any, is in place.
    void finishResponse(const std::optional<platform::Error>& result);
    void scheduleReadStream();
    void unscheduleReadStream();
    void destroyReadStream();
    void releaseConnectionRecord();
    void removeTemporaryDownloadFile();
    void removeTemporaryUncompressedDownloadFile();
    void removeTemporaryUploadFile();
    void removeTemporaryCompressedUploadFile();
    platform::RunLoop& requestLoop() const;

    // Main-thread reporting.
    void requestStarted();
    void requestReceivedResponseHeaders(platform::Dictionary headers);
    void requestWillRedirectToURL(platform::Url url);
    void requestRedirected();
    void requestFinished();
    void reportFinished();
    void reportFailure();
    void passOnReceivedData(platform::Bytes data);
    void releaseBlocksAfterLastReport();
    // A report for the main thread; held while a step runs under
    // withReportsHeld, and sent with the step's others once it is over.
    void toOwner(platform::Task report);
    template <class Step> void withReportsHeld(Step step);
    // On the main thread: the delegate through the selector, then the block,
    // then the queue through its handler member (either member may be null).
    // Each is read under the lock when its turn comes and called without it;
    // selectorOf picks the selector out of the request.
    template <class SelectorOf, class BlockType, class QueueHandler, class... Args>
    void notifyListeners(SelectorOf selectorOf, BlockType HTTPRequest::*block,
        QueueHandler HTTPRequestDelegate::*queueHandler, const Args&... args);

    // Progress.
    void updateProgressIndicators();
    void updateUploadProgress();
    void updateDownloadProgress();
    void incrementUploadSizeBy(long long length);
    void incrementDownloadSizeBy(long long length);
    void removeUploadProgressSoFar();
    void sendUploadProgress(long long amount, unsigned long long progress, unsigned long long total);
    void sendDownloadProgress(long long amount, unsigned long long progress, unsigned long long total);
    enum class Direction { Upload, Download };
    // Bytes: progress made (amount, and where it stands of the total). Size:
    // the expected size grew (or shrank) by amount.
    enum class ProgressReport { Bytes, Size };
    // Hands one report to the direction's listeners on the main thread.
    void reportProgress(Direction direction, ProgressReport report, long long amount, unsigned long long progress,
        unsigned long long total);
    void releaseBlocksOnMainThread();

    mutable std::recursive_mutex cancelledLock_;

    using Settings = RequestSettings;
    Settings settings_;

    // What one run of the request works with on its loop (the network
    // thread, or the caller's for a synchronous request): the options it goes
    // by, the message and stream, files being written, timers and progress
    // bookkeeping. Nothing outside the run's own steps touches it.
    struct Transfer {
        Settings::Options options;
        // The message as sent, and the stream carrying it.
        std::optional<platform::HttpMessage> message;
        std::shared_ptr<platform::HttpStream> readStream;
        bool readStreamIsScheduled = false;
        std::shared_ptr<ConnectionRecord> connectionInfo;
        std::shared_ptr<RequestInputStream> postBodyReadStream;
        FileDescriptor postBodyWriteFd;
        // The response body on its way in.
        std::unique_ptr<DataDecompressor> dataDecompressor;
        // The rest of a compressed piece that inflates to more than a step,
        // how much of it is inflated, and whether the next step is posted.
        platform::Bytes inflateBacklog;
        std::size_t inflateBacklogUsed = 0;
        bool inflateStepPosted = false;
        // The stream ended while a backlog waited: the end is taken up once
        // it is inflated.
        bool endAwaitsInflation = false;
        // What a download to a file has come to in this run: as it arrived,
        // and inflated (whether written so or only checked).
        unsigned long long fileBytes = 0;
        unsigned long long inflatedFileBytes = 0;
        // The download file was opened to continue a partial one.
        bool downloadAppends = false;
        FileDescriptor fileDownloadFd;
        FileDescriptor inflatedFileDownloadFd;
        // Progress and the status tick.
        unsigned long long lastBytesRead = 0;
        unsigned long long lastBytesSent = 0;
        double lastActivityTime = -1;
        std::shared_ptr<platform::Timer> statusTimer;
        // The one-unit report of each direction was made (without accurate progress).
        bool updatedUploadProgress = false;
        bool updatedDownloadProgress = false;
        // A body file is being compressed on the file queue.
        bool awaitingFileWork = false;
        // Fetching a PAC script.
        std::shared_ptr<PacScriptFetch> PACFetch;
    };
    Transfer transfer_;

    // Request description.
    platform::Url url_;
    std::optional<platform::Url> originalURL_;
    std::optional<platform::Url> redirectURL_;
    bool haveBuiltRequestHeaders_ = false;
    int retryCount_ = 0;
    bool needsRedirect_ = false;
    int redirectCount_ = 0;
    bool connectionCanBeReused_ = false;
    std::int64_t lastConnectionID_ = 0;
    unsigned requestID_ = 0;
    std::string runLoopMode_ = platform::kDefaultRunLoopMode;
    bool isSynchronous_ = false;
    platform::RunLoop* synchronousLoop_ = nullptr;

    std::shared_ptr<platform::HttpAuthentication> requestAuthentication_;
    std::shared_ptr<platform::HttpAuthentication> proxyAuthentication_;
    Credentials requestCredentials_;
    Credentials proxyCredentials_;
    std::optional<std::string> proxyAuthenticationScheme_;
    std::optional<std::string> authenticationRealm_;
    std::optional<std::string> proxyAuthenticationRealm_;
    int authenticationRetryCount_ = 0;
    int proxyAuthenticationRetryCount_ = 0;
    int authenticationNeeded_ = 0;
    Block authenticationNeededBlock_;
    Block proxyAuthenticationNeededBlock_;

    bool isPACFileRequest_ = false;

    // Request body.
    platform::Bytes compressedPostBody_;
    std::optional<std::string> compressedPostBodyFilePath_;
    bool didCreateTemporaryPostDataFile_ = false;
    unsigned long long postLength_ = 0;
    bool haveBuiltPostBody_ = false;
    unsigned long long uploadBufferSize_ = 0;

    // Connection and response.
    std::optional<platform::HttpHeaders> responseHeaders_;
    std::string responseVersion_;
    std::vector<platform::HttpCookie> responseCookies_;
    int responseStatusCode_ = 0;
    std::string responseStatusMessage_;
    platform::Bytes rawResponseData_;
    // A body kept compressed: what it inflated to as it arrived.
    platform::Bytes inflatedResponseData_;
    // Why the body kept in memory was refused (broken, cut short, too large).
    std::optional<platform::Error> responseBodyError_;
    unsigned long long contentLength_ = 0;
    unsigned long long partialDownloadSize_ = 0;
    unsigned long long totalBytesRead_ = 0;
    platform::StringEncoding responseEncoding_ = platform::kISOLatin1StringEncoding;
    std::optional<std::string> temporaryUncompressedDataDownloadPath_;
    bool downloadComplete_ = false;

    // Progress.
    unsigned long long totalBytesSent_ = 0;

    // Callbacks.
    std::shared_ptr<HTTPRequestDelegate> queue_;
    HeadersSelector didReceiveResponseHeadersSelector_ { &HTTPRequestDelegate::requestDidReceiveResponseHeaders };
    RedirectSelector willRedirectSelector_ { &HTTPRequestDelegate::requestWillRedirectToURL };
    DataSelector didReceiveDataSelector_ { &HTTPRequestDelegate::requestDidReceiveData };
    Block startedBlock_;
    Block completionBlock_;
    Block failureBlock_;
    Block requestRedirectedBlock_;
    HeadersBlock headersReceivedBlock_;
    DataBlock dataReceivedBlock_;
    ProgressBlock bytesReceivedBlock_;
    ProgressBlock bytesSentBlock_;
    SizeBlock downloadSizeIncrementedBlock_;
    SizeBlock uploadSizeIncrementedBlock_;

    int holdingReports_ = 0;
    std::vector<platform::Task> heldReports_;
    // From an asynchronous start until the owner has had the last report:
    // the main loop looks for the answer a moment before it sleeps.
    std::shared_ptr<platform::RunLoop::PollingHold> mainPolling_;

    // State.
    bool inProgress_ = false;
    bool complete_ = false;
    bool finished_ = false;
    bool cancelled_ = false;
    std::optional<platform::Error> error_;
    std::optional<platform::Error> deferredError_;
    bool willRetryRequest_ = false;

    // Queue, cache.
    std::shared_ptr<HTTPRequest> mainRequest_;
    std::shared_ptr<CacheDelegate> downloadCache_;
    int cachePolicy_ = CacheUseDefaultPolicy;
    int cacheStoragePolicy_ = CacheStorageForSession;
    double secondsToCache_ = 0;
    bool didUseCachedResponse_ = false;
};

} // namespace foundation
