#include "foundation/http/HTTPRequest.h"

#include "foundation/http/ConnectionPool.h"
#include "foundation/http/DataCompressor.h"
#include "foundation/http/DataDecompressor.h"
#include "foundation/http/DownloadPlacement.h"
#include "foundation/http/HTTPResponseRules.h"
#include "foundation/http/RequestInputStream.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/net/NetErrors.h"
#include "platform/os/AppPaths.h"
#include "platform/os/Bundle.h"
#include "platform/os/DateFormat.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/MimeTypes.h"
#include "platform/os/StringUtil.h"
#include "platform/os/SystemInfo.h"
#include "platform/os/Uuid.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <iterator>
#include <limits>
#include <span>
#include <thread>
#include <typeinfo>
#include <unistd.h>

namespace foundation {

// Lock order: a request's own lock, then the progress lock; a request's lock
// before its download cache's lock; a HEAD request's lock before the lock of
// the request it measures. The connection pool's, bandwidth meter's,
// activity-indicator, session-cookie and settings locks are leaves: nothing
// else is taken while one is held.

namespace {

using platform::Bytes;
using platform::Error;

constexpr std::size_t kPostBodyReadPiece = 262144;
constexpr double kStatusInterval = 0.25;
constexpr double kNetworkPollBeforeSleeping = 0.0001;
constexpr std::size_t kLargestRead = 262144;
// Reads into the response data take whatever the stream holds.
constexpr std::size_t kLargestDirectRead = std::numeric_limits<std::size_t>::max();
// The announced length is reserved up front up to this much; a server that
// claims more than it sends costs no more memory than this.
constexpr unsigned long long kLargestReserve = 64ULL * 1024 * 1024;
// A body kept in memory past this much takes room up to the ceiling at once.
constexpr std::size_t kWholeRoomAfter = 1024 * 1024;
// What a compressed body is expected to inflate to, times its announced
// length: text and JSON inflate to four times or more. A body that inflates
// to more grows as it comes (by doubling).
constexpr unsigned long long kExpectedInflation = 4;
// The most the stream buffers for a large body before holding the transfer back.
constexpr unsigned long long kLargestReceiveBuffer = 4ULL * 1024 * 1024;
// Request bodies up to this size are handed to the stream whole.
constexpr std::size_t kBodyWithMessageLimit = 65536;

// The piece of a body being read: what is read goes on (copied, inflated or
// written) before the next read, so each loop's thread keeps one buffer for
// all its requests instead of each request making (and clearing) its own.
std::uint8_t* readBuffer()
{
    thread_local std::unique_ptr<std::uint8_t[]> buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kLargestRead);
    return buffer.get();
}

// Where a compressed piece is inflated when only checked or written to a
// file: one per thread, kept for the next piece and the next request.
platform::Bytes& inflateScratch()
{
    thread_local platform::Bytes scratch;
    return scratch;
}

// A piece that inflated to far more than usual (a run of zeros) does not keep
// its memory for the life of the thread.
void releaseLargeInflateScratch()
{
    constexpr std::size_t kLargestKeptScratch = 4 * 1024 * 1024;
    platform::Bytes& scratch = inflateScratch();
    if (scratch.capacity() > kLargestKeptScratch)
        platform::Bytes().swap(scratch);
}

double steadyNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Engine {
    // Network thread.
    std::once_flag threadOnce;
    std::thread thread;
    std::atomic<platform::RunLoop*> loop { nullptr };
    std::atomic<bool> shuttingDown { false };

    std::recursive_mutex progressLock;

    std::recursive_mutex sessionCookiesLock;
    std::optional<std::vector<platform::HttpCookie>> sessionCookies;

    std::mutex settingsLock;
    bool userAgentBuilt = false;
    std::optional<std::string> defaultUserAgent;
    std::string trustedRootsFile;

    std::atomic<double> defaultTimeOutSeconds { 10.0 };
};

// Made once and never destroyed: the network thread may still be running
// while the process exits.
Engine& engine()
{
    static Engine* instance = new Engine;
    return *instance;
}

platform::RunLoop& networkLoop()
{
    Engine& e = engine();
    std::call_once(e.threadOnce, [&e] {
        auto ready = std::make_shared<std::promise<platform::RunLoop*>>();
        auto future = ready->get_future();
        e.thread = std::thread([ready, &e] {
            platform::RunLoop& loop = platform::RunLoop::current();
            // A server on the same machine or network answers within this
            // long, and an owner's next request often follows its answer.
            loop.setPollBeforeSleeping(kNetworkPollBeforeSleeping);
            ready->set_value(&loop);
            // Once shut down, what other threads still post (a request
            // cancelled by an exit handler) waits unrun in a loop that stays.
            platform::RunLoop::keepCurrentAfterThreadEnds();
            // A stop only ends one pass; the thread serves requests for the
            // life of the process.
            while (!e.shuttingDown.load())
                loop.run();
        });
        e.loop.store(future.get());
    });
    return *e.loop.load();
}

std::string temporaryPath()
{
    return platform::FileUtil::joinPath(platform::AppPaths::temporaryDirectory(), platform::globallyUniqueString());
}

// One piece of file work on the file queue.
class FileWork final : public platform::Operation {
public:
    explicit FileWork(std::function<void()> work)
        : work_(std::move(work))
    {
    }
    void main() override { work_(); }

private:
    std::function<void()> work_;
};

void runOnFileQueue(std::function<void()> work)
{
    HTTPRequest::fileQueue().addOperation(std::make_shared<FileWork>(std::move(work)));
}

platform::Error unhandledExceptionError(const std::exception& exception)
{
    platform::Dictionary info;
    info.set(platform::kLocalizedDescriptionKey, platform::Value(std::string(typeid(exception).name())));
    info.set(platform::kLocalizedFailureReasonKey, platform::Value(std::string(exception.what())));
    info.set(platform::kUnderlyingErrorKey,
        platform::Value(std::make_shared<platform::Error>(HTTPRequestErrorDomain, UnhandledExceptionError)));
    return platform::Error(HTTPRequestErrorDomain, UnhandledExceptionError, std::move(info));
}

bool isIdempotentMethod(const std::string& method)
{
    return method == "GET" || method == "HEAD" || method == "PUT" || method == "DELETE" || method == "OPTIONS"
        || method == "TRACE";
}

bool sameOrigin(const platform::Url& a, const platform::Url& b)
{
    return platform::equalsIgnoringAsciiCase(a.scheme(), b.scheme())
        && platform::equalsIgnoringAsciiCase(a.host(), b.host()) && a.port().value_or(0) == b.port().value_or(0);
}

const Error& sharedError(int code)
{
    // Made once and never destroyed: the network thread may still fail a
    // request while the process exits and runs static destructors.
    struct Errors {
        Error timedOut = makeHTTPRequestError(RequestTimedOutErrorType, "The request timed out");
        Error authentication = makeHTTPRequestError(AuthenticationErrorType, "Authentication needed");
        Error cancelled = makeHTTPRequestError(RequestCancelledErrorType, "The request was cancelled");
        Error badRequest = makeHTTPRequestError(UnableToCreateRequestErrorType, "Unable to create request (bad url?)");
        Error redirects = makeHTTPRequestError(
            TooMuchRedirectionErrorType, "The request failed because it redirected too many times");
    };
    static const Errors* const errors = new Errors;
    switch (code) {
    case RequestTimedOutErrorType:
        return errors->timedOut;
    case AuthenticationErrorType:
        return errors->authentication;
    case RequestCancelledErrorType:
        return errors->cancelled;
    case TooMuchRedirectionErrorType:
        return errors->redirects;
    default:
        return errors->badRequest;
    }
}

std::optional<std::string> dictionaryString(const platform::Dictionary& dictionary, std::string_view key)
{
    if (auto value = dictionary.find(key))
        if (auto text = value->asString())
            return *text;
    return std::nullopt;
}

} // namespace

namespace {
ConnectionPool& connectionPool() { return ConnectionPool::shared(); }
} // namespace

// MARK: - Creation

HTTPRequest::HTTPRequest(platform::Url url)
    : url_(std::move(url))
    , downloadCache_(defaultCache())
{
    settings_.options.timeOutSeconds = engine().defaultTimeOutSeconds.load();
}

std::shared_ptr<HTTPRequest> HTTPRequest::requestWithURL(const platform::Url& url)
{
    return std::shared_ptr<HTTPRequest>(new HTTPRequest(url));
}

std::shared_ptr<HTTPRequest> HTTPRequest::requestWithURL(
    const platform::Url& url, std::shared_ptr<CacheDelegate> usingCache, int andCachePolicy)
{
    auto request = requestWithURL(url);
    request->setDownloadCache(std::move(usingCache));
    request->setCachePolicy(andCachePolicy);
    return request;
}

HTTPRequest::~HTTPRequest()
{
    // Streams and the timer live on the loop they were scheduled on; their
    // clean-up is handed there. Blocks go to the main loop to die.
    if (transfer_.statusTimer) {
        auto timer = std::move(transfer_.statusTimer);
        requestLoop().post([timer] { timer->invalidate(); }, platform::kCommonRunLoopModes);
    }
    if (transfer_.readStream && !connectionCanBeReused_) {
        auto stream = std::move(transfer_.readStream);
        requestLoop().post([stream] { stream->close(); }, platform::kCommonRunLoopModes);
    }
    if (!complete_) {
        if (settings_.temporaryFileDownloadPath && !settings_.options.allowResumeForFileDownloads)
            ::unlink(settings_.temporaryFileDownloadPath->c_str());
        if (temporaryUncompressedDataDownloadPath_)
            ::unlink(temporaryUncompressedDataDownloadPath_->c_str());
    }
    if (didCreateTemporaryPostDataFile_ && settings_.postBodyFilePath)
        ::unlink(settings_.postBodyFilePath->c_str());
    if (compressedPostBodyFilePath_)
        ::unlink(compressedPostBodyFilePath_->c_str());
    releaseBlocksOnMainThread();
}

std::shared_ptr<HTTPRequest> HTTPRequest::copyWithZone() const
{
    auto copy = std::shared_ptr<HTTPRequest>(new HTTPRequest(url()));
    copySettingsTo(*copy);
    return copy;
}

void HTTPRequest::copySettingsTo(HTTPRequest& copy) const
{
    std::scoped_lock lock(cancelledLock_, copy.cancelledLock_);
    copy.settings_ = settings_;
    copy.deferredError_ = deferredError_;
    // The copy builds its own body and headers: a length, cookies or resume range derived from this
    // request's body would not match what the copy sends.
    if (haveBuiltPostBody_)
        copy.settings_.requestHeaders.erase("Content-Length");
    if (haveBuiltRequestHeaders_) {
        copy.settings_.requestHeaders.erase("Cookie");
        copy.settings_.requestHeaders.erase("Range");
    }
    if (settings_.postBodyFilePath && didCreateTemporaryPostDataFile_) {
        // This request deletes its own body file when it is done; the copy
        // gets a file of its own.
        copy.settings_.postBodyFilePath.reset();
        std::string path = temporaryPath();
        Error error;
        if (platform::FileUtil::copy(*settings_.postBodyFilePath, path, &error)) {
            copy.settings_.postBodyFilePath = path;
            copy.didCreateTemporaryPostDataFile_ = true;
        } else {
            copy.deferredError_ = makeHTTPRequestError(FileManagementError,
                platform::format(
                    "Failed to move file from '%s' to '%s'", settings_.postBodyFilePath->c_str(), path.c_str()),
                &error);
        }
    }
}

// MARK: - Accessors

platform::Url HTTPRequest::url() const { return locked(url_); }
void HTTPRequest::setURL(const platform::Url& url)
{
    Guard lock(cancelledLock_);
    if (url == url_)
        return;
    url_ = url;
    transfer_.message.reset();
    // Authentication objects answer the challenge of the server they came
    // from; a new address starts without them.
    requestAuthentication_.reset();
    proxyAuthentication_.reset();
    redirectURL_.reset();
}
std::optional<platform::Url> HTTPRequest::originalURL() const { return locked(originalURL_); }
std::optional<platform::Url> HTTPRequest::redirectURL() const { return locked(redirectURL_); }
std::string HTTPRequest::requestMethod() const { return locked(settings_.requestMethod); }
void HTTPRequest::setRequestMethod(const std::string& method)
{
    Guard lock(cancelledLock_);
    if (method == settings_.requestMethod)
        return;
    settings_.requestMethod = method;
    // Requests that carry a body never go out on a kept connection: a body
    // must not be sent twice if that connection turns out dead.
    if (method == "POST" || method == "PUT" || !settings_.postBody.empty() || settings_.postBodyFilePath)
        settings_.shouldAttemptPersistentConnection = false;
}
platform::Dictionary HTTPRequest::requestHeaders() const { return locked(settings_.requestHeaders); }
void HTTPRequest::setRequestHeaders(platform::Dictionary headers)
{
    setLocked(settings_.requestHeaders, std::move(headers));
}
void HTTPRequest::addRequestHeader(const std::string& header, const std::string& value)
{
    Guard lock(cancelledLock_);
    settings_.requestHeaders.set(header, platform::Value(value));
}
std::vector<platform::HttpCookie> HTTPRequest::requestCookies() const { return locked(settings_.requestCookies); }
void HTTPRequest::setRequestCookies(std::vector<platform::HttpCookie> cookies)
{
    setLocked(settings_.requestCookies, std::move(cookies));
}
bool HTTPRequest::useCookiePersistence() const { return locked(settings_.options.useCookiePersistence); }
void HTTPRequest::setUseCookiePersistence(bool use) { setLocked(settings_.options.useCookiePersistence, use); }
bool HTTPRequest::useHTTPVersionOne() const { return locked(settings_.options.useHTTPVersionOne); }
void HTTPRequest::setUseHTTPVersionOne(bool use) { setLocked(settings_.options.useHTTPVersionOne, use); }
std::optional<std::string> HTTPRequest::userAgent() const { return locked(settings_.options.userAgent); }
void HTTPRequest::setUserAgent(std::optional<std::string> userAgent)
{
    setLocked(settings_.options.userAgent, std::move(userAgent));
}
bool HTTPRequest::allowCompressedResponse() const { return locked(settings_.options.allowCompressedResponse); }
void HTTPRequest::setAllowCompressedResponse(bool allow)
{
    setLocked(settings_.options.allowCompressedResponse, allow);
}
bool HTTPRequest::shouldWaitToInflateCompressedResponses() const
{
    return locked(settings_.options.shouldWaitToInflateCompressedResponses);
}
void HTTPRequest::setShouldWaitToInflateCompressedResponses(bool wait)
{
    setLocked(settings_.options.shouldWaitToInflateCompressedResponses, wait);
}
bool HTTPRequest::shouldCompressRequestBody() const { return locked(settings_.shouldCompressRequestBody); }
void HTTPRequest::setShouldCompressRequestBody(bool compress)
{
    setLocked(settings_.shouldCompressRequestBody, compress);
}
bool HTTPRequest::validatesSecureCertificate() const { return locked(settings_.options.validatesSecureCertificate); }
void HTTPRequest::setValidatesSecureCertificate(bool validates)
{
    setLocked(settings_.options.validatesSecureCertificate, validates);
}
std::optional<HTTPRequest::ClientCertificateIdentity> HTTPRequest::clientCertificateIdentity() const
{
    return locked(settings_.options.clientCertificateIdentity);
}
void HTTPRequest::setClientCertificateIdentity(std::optional<ClientCertificateIdentity> identity)
{
    setLocked(settings_.options.clientCertificateIdentity, std::move(identity));
}
double HTTPRequest::timeOutSeconds() const { return locked(settings_.options.timeOutSeconds); }
void HTTPRequest::setTimeOutSeconds(double seconds) { setLocked(settings_.options.timeOutSeconds, seconds); }
int HTTPRequest::numberOfTimesToRetryOnTimeout() const
{
    return locked(settings_.options.numberOfTimesToRetryOnTimeout);
}
void HTTPRequest::setNumberOfTimesToRetryOnTimeout(int times)
{
    setLocked(settings_.options.numberOfTimesToRetryOnTimeout, times);
}
int HTTPRequest::retryCount() const { return locked(retryCount_); }
bool HTTPRequest::shouldRedirect() const { return locked(settings_.options.shouldRedirect); }
void HTTPRequest::setShouldRedirect(bool redirect) { setLocked(settings_.options.shouldRedirect, redirect); }
bool HTTPRequest::shouldUseRFC2616RedirectBehaviour() const
{
    return locked(settings_.options.shouldUseRFC2616RedirectBehaviour);
}
void HTTPRequest::setShouldUseRFC2616RedirectBehaviour(bool use)
{
    setLocked(settings_.options.shouldUseRFC2616RedirectBehaviour, use);
}
bool HTTPRequest::needsRedirect() const { return locked(needsRedirect_); }
int HTTPRequest::redirectCount() const { return locked(redirectCount_); }
bool HTTPRequest::shouldAttemptPersistentConnection() const
{
    return locked(settings_.shouldAttemptPersistentConnection);
}
void HTTPRequest::setShouldAttemptPersistentConnection(bool attempt)
{
    setLocked(settings_.shouldAttemptPersistentConnection, attempt);
}
double HTTPRequest::persistentConnectionTimeoutSeconds() const
{
    return locked(settings_.persistentConnectionTimeoutSeconds);
}
void HTTPRequest::setPersistentConnectionTimeoutSeconds(double seconds)
{
    setLocked(settings_.persistentConnectionTimeoutSeconds, seconds);
}
bool HTTPRequest::connectionCanBeReused() const { return locked(connectionCanBeReused_); }
std::int64_t HTTPRequest::connectionID() const
{
    Guard lock(cancelledLock_);
    return transfer_.connectionInfo ? transfer_.connectionInfo->id : lastConnectionID_;
}
unsigned HTTPRequest::requestID() const { return locked(requestID_); }
std::string HTTPRequest::runLoopMode() const { return locked(runLoopMode_); }
bool HTTPRequest::isSynchronous() const { return locked(isSynchronous_); }
platform::Dictionary HTTPRequest::userInfo() const { return locked(settings_.userInfo); }
void HTTPRequest::setUserInfo(platform::Dictionary userInfo) { setLocked(settings_.userInfo, std::move(userInfo)); }
int HTTPRequest::tag() const { return locked(settings_.tag); }
void HTTPRequest::setTag(int tag) { setLocked(settings_.tag, tag); }
std::optional<std::string> HTTPRequest::username() const { return locked(settings_.username); }
void HTTPRequest::setUsername(std::optional<std::string> username)
{
    setLocked(settings_.username, std::move(username));
}
std::optional<std::string> HTTPRequest::password() const { return locked(settings_.password); }
void HTTPRequest::setPassword(std::optional<std::string> password)
{
    setLocked(settings_.password, std::move(password));
}
std::optional<std::string> HTTPRequest::authenticationScheme() const { return locked(settings_.authenticationScheme); }
void HTTPRequest::setAuthenticationScheme(std::optional<std::string> scheme)
{
    setLocked(settings_.authenticationScheme, std::move(scheme));
}
bool HTTPRequest::shouldPresentCredentialsBeforeChallenge() const
{
    return locked(settings_.shouldPresentCredentialsBeforeChallenge);
}
void HTTPRequest::setShouldPresentCredentialsBeforeChallenge(bool present)
{
    setLocked(settings_.shouldPresentCredentialsBeforeChallenge, present);
}
platform::Bytes HTTPRequest::postBody() const { return locked(settings_.postBody); }
void HTTPRequest::setPostBody(platform::Bytes body)
{
    Guard lock(cancelledLock_);
    settings_.postBody = std::move(body);
    settings_.hasPostBody = true;
}
bool HTTPRequest::shouldStreamPostDataFromDisk() const { return locked(settings_.shouldStreamPostDataFromDisk); }
void HTTPRequest::setShouldStreamPostDataFromDisk(bool stream)
{
    setLocked(settings_.shouldStreamPostDataFromDisk, stream);
}
std::optional<std::string> HTTPRequest::postBodyFilePath() const { return locked(settings_.postBodyFilePath); }
void HTTPRequest::setPostBodyFilePath(std::optional<std::string> path)
{
    setLocked(settings_.postBodyFilePath, std::move(path));
}
std::optional<std::string> HTTPRequest::compressedPostBodyFilePath() const
{
    return locked(compressedPostBodyFilePath_);
}
bool HTTPRequest::didCreateTemporaryPostDataFile() const { return locked(didCreateTemporaryPostDataFile_); }
unsigned long long HTTPRequest::postLength() const { return locked(postLength_); }
bool HTTPRequest::haveBuiltPostBody() const { return locked(haveBuiltPostBody_); }
bool HTTPRequest::haveBuiltRequestHeaders() const { return locked(haveBuiltRequestHeaders_); }
unsigned long long HTTPRequest::uploadBufferSize() const { return locked(uploadBufferSize_); }
platform::Dictionary HTTPRequest::responseHeaders() const
{
    Guard lock(cancelledLock_);
    platform::Dictionary headers;
    if (responseHeaders_)
        for (auto& field : responseHeaders_->joinedFields())
            headers.set(field.name, platform::Value(field.value));
    return headers;
}
std::optional<std::string> HTTPRequest::responseHeader(const std::string& name) const
{
    Guard lock(cancelledLock_);
    if (!responseHeaders_)
        return std::nullopt;
    return responseHeaders_->get(name);
}
std::vector<platform::HttpCookie> HTTPRequest::responseCookies() const { return locked(responseCookies_); }
int HTTPRequest::responseStatusCode() const { return locked(responseStatusCode_); }
std::string HTTPRequest::responseStatusMessage() const { return locked(responseStatusMessage_); }
platform::Bytes HTTPRequest::rawResponseData() const { return locked(rawResponseData_); }
unsigned long long HTTPRequest::contentLength() const { return locked(contentLength_); }
unsigned long long HTTPRequest::partialDownloadSize() const { return locked(partialDownloadSize_); }
unsigned long long HTTPRequest::totalBytesRead() const { return locked(totalBytesRead_); }
unsigned long long HTTPRequest::totalBytesSent() const { return locked(totalBytesSent_); }
platform::StringEncoding HTTPRequest::defaultResponseEncoding() const
{
    return locked(settings_.options.defaultResponseEncoding);
}
void HTTPRequest::setDefaultResponseEncoding(platform::StringEncoding encoding)
{
    setLocked(settings_.options.defaultResponseEncoding, encoding);
}
platform::StringEncoding HTTPRequest::responseEncoding() const { return locked(responseEncoding_); }
std::optional<std::string> HTTPRequest::downloadDestinationPath() const
{
    return locked(settings_.downloadDestinationPath);
}
void HTTPRequest::setDownloadDestinationPath(std::optional<std::string> path)
{
    setLocked(settings_.downloadDestinationPath, std::move(path));
}
std::optional<std::string> HTTPRequest::temporaryFileDownloadPath() const
{
    return locked(settings_.temporaryFileDownloadPath);
}
void HTTPRequest::setTemporaryFileDownloadPath(std::optional<std::string> path)
{
    setLocked(settings_.temporaryFileDownloadPath, std::move(path));
}
std::optional<std::string> HTTPRequest::temporaryUncompressedDataDownloadPath() const
{
    return locked(temporaryUncompressedDataDownloadPath_);
}
bool HTTPRequest::allowResumeForFileDownloads() const { return locked(settings_.options.allowResumeForFileDownloads); }
void HTTPRequest::setAllowResumeForFileDownloads(bool allow)
{
    setLocked(settings_.options.allowResumeForFileDownloads, allow);
}
std::optional<unsigned long long> HTTPRequest::largestFileDownload() const
{
    return locked(settings_.options.largestFileDownload);
}
void HTTPRequest::setLargestFileDownload(std::optional<unsigned long long> bytes)
{
    setLocked(settings_.options.largestFileDownload, bytes);
}
bool HTTPRequest::downloadComplete() const { return locked(downloadComplete_); }
std::weak_ptr<ProgressDelegate> HTTPRequest::uploadProgressDelegate() const
{
    return locked(settings_.uploadProgressDelegate);
}
void HTTPRequest::setUploadProgressDelegate(std::weak_ptr<ProgressDelegate> delegate)
{
    setLocked(settings_.uploadProgressDelegate, std::move(delegate));
}
std::weak_ptr<ProgressDelegate> HTTPRequest::downloadProgressDelegate() const
{
    return locked(settings_.downloadProgressDelegate);
}
void HTTPRequest::setDownloadProgressDelegate(std::weak_ptr<ProgressDelegate> delegate)
{
    setLocked(settings_.downloadProgressDelegate, std::move(delegate));
}
bool HTTPRequest::showAccurateProgress() const { return locked(settings_.showAccurateProgress); }
void HTTPRequest::setShowAccurateProgress(bool accurate) { setLocked(settings_.showAccurateProgress, accurate); }
bool HTTPRequest::shouldResetUploadProgress() const { return locked(settings_.options.shouldResetUploadProgress); }
void HTTPRequest::setShouldResetUploadProgress(bool reset)
{
    setLocked(settings_.options.shouldResetUploadProgress, reset);
}
bool HTTPRequest::shouldResetDownloadProgress() const { return locked(settings_.options.shouldResetDownloadProgress); }
void HTTPRequest::setShouldResetDownloadProgress(bool reset)
{
    setLocked(settings_.options.shouldResetDownloadProgress, reset);
}
std::weak_ptr<HTTPRequestDelegate> HTTPRequest::delegate() const { return locked(settings_.delegate); }
void HTTPRequest::setDelegate(std::weak_ptr<HTTPRequestDelegate> delegate)
{
    setLocked(settings_.delegate, std::move(delegate));
}
std::shared_ptr<HTTPRequestDelegate> HTTPRequest::queue() const { return locked(queue_); }
void HTTPRequest::setQueue(std::shared_ptr<HTTPRequestDelegate> queue) { setLocked(queue_, std::move(queue)); }
void HTTPRequest::setDidStartSelector(RequestSelector selector)
{
    setLocked(settings_.didStartSelector, std::move(selector));
}
void HTTPRequest::setDidReceiveResponseHeadersSelector(HeadersSelector selector)
{
    setLocked(didReceiveResponseHeadersSelector_, std::move(selector));
}
void HTTPRequest::setWillRedirectSelector(RedirectSelector selector)
{
    setLocked(willRedirectSelector_, std::move(selector));
}
void HTTPRequest::setDidFinishSelector(RequestSelector selector)
{
    setLocked(settings_.didFinishSelector, std::move(selector));
}
void HTTPRequest::setDidFailSelector(RequestSelector selector)
{
    setLocked(settings_.didFailSelector, std::move(selector));
}
void HTTPRequest::setDidReceiveDataSelector(DataSelector selector)
{
    setLocked(didReceiveDataSelector_, std::move(selector));
}
void HTTPRequest::setStartedBlock(Block block) { setLocked(startedBlock_, std::move(block)); }
void HTTPRequest::setHeadersReceivedBlock(HeadersBlock block) { setLocked(headersReceivedBlock_, std::move(block)); }
void HTTPRequest::setCompletionBlock(Block block) { setLocked(completionBlock_, std::move(block)); }
void HTTPRequest::setFailedBlock(Block block) { setLocked(failureBlock_, std::move(block)); }
void HTTPRequest::setBytesReceivedBlock(ProgressBlock block) { setLocked(bytesReceivedBlock_, std::move(block)); }
void HTTPRequest::setBytesSentBlock(ProgressBlock block) { setLocked(bytesSentBlock_, std::move(block)); }
void HTTPRequest::setDownloadSizeIncrementedBlock(SizeBlock block)
{
    setLocked(downloadSizeIncrementedBlock_, std::move(block));
}
void HTTPRequest::setUploadSizeIncrementedBlock(SizeBlock block)
{
    setLocked(uploadSizeIncrementedBlock_, std::move(block));
}
void HTTPRequest::setDataReceivedBlock(DataBlock block) { setLocked(dataReceivedBlock_, std::move(block)); }
void HTTPRequest::setRequestRedirectedBlock(Block block) { setLocked(requestRedirectedBlock_, std::move(block)); }
bool HTTPRequest::inProgress() const { return locked(inProgress_); }
bool HTTPRequest::complete() const { return locked(complete_); }
bool HTTPRequest::isCancelled() const { return locked(cancelled_); }
std::optional<platform::Error> HTTPRequest::error() const { return locked(error_); }
bool HTTPRequest::willRetryRequest() const { return locked(willRetryRequest_); }

void HTTPRequest::recordDeferredError(platform::Error error)
{
    Guard lock(cancelledLock_);
    if (!deferredError_)
        deferredError_ = std::move(error);
}

bool HTTPRequest::hasDeferredError() const
{
    Guard lock(cancelledLock_);
    return deferredError_.has_value();
}

void HTTPRequest::discardBuiltBody()
{
    Guard lock(cancelledLock_);
    settings_.postBody.clear();
    settings_.hasPostBody = false;
    if (didCreateTemporaryPostDataFile_ && settings_.postBodyFilePath)
        ::unlink(settings_.postBodyFilePath->c_str());
    if (didCreateTemporaryPostDataFile_)
        settings_.postBodyFilePath.reset();
    didCreateTemporaryPostDataFile_ = false;
}

// MARK: - Running

platform::RunLoop& HTTPRequest::threadForRequest(const HTTPRequest&) { return networkLoop(); }

platform::RunLoop& HTTPRequest::requestLoop() const { return synchronousLoop_ ? *synchronousLoop_ : networkLoop(); }

platform::OperationQueue& HTTPRequest::sharedQueue()
{
    static platform::OperationQueue* queue = [] {
        auto* q = new platform::OperationQueue;
        q->setMaxConcurrentOperationCount(4);
        // start() only hands the request to the network thread: done on the
        // caller's thread it saves every request a worker's wake-up.
        q->setStartsConcurrentOperationsOnAddingThread(true);
        return q;
    }();
    return *queue;
}

platform::OperationQueue& HTTPRequest::fileQueue()
{
    static platform::OperationQueue* queue = [] {
        auto* q = new platform::OperationQueue;
        q->setMaxConcurrentOperationCount(2);
        return q;
    }();
    return *queue;
}

void HTTPRequest::startAsynchronous() { sharedQueue().addOperation(self()); }

void HTTPRequest::start()
{
    {
        Guard lock(cancelledLock_);
        inProgress_ = true;
        mainPolling_ = std::make_shared<platform::RunLoop::PollingHold>(platform::RunLoop::main());
    }
    markExecuting();
    auto request = self();
    networkLoop().post([request] { request->main(); }, platform::kCommonRunLoopModes);
}

void HTTPRequest::startSynchronous()
{
    platform::RunLoop& loop = platform::RunLoop::current();
    {
        Guard lock(cancelledLock_);
        isSynchronous_ = true;
        runLoopMode_ = HTTPRequestRunLoopMode;
        synchronousLoop_ = &loop;
        inProgress_ = true;
    }
    if (!isCancelled() && !complete()) {
        main();
        while (!complete())
            loop.runMode(HTTPRequestRunLoopMode, 3600, true);
    }
    Guard lock(cancelledLock_);
    inProgress_ = false;
}

void HTTPRequest::main()
{
    withReportsHeld([this] { beginRun(); });
}

void HTTPRequest::beginRun()
{
    // From here on the run goes by its own copy of the options.
    transfer_.options = settings_.options;
    try {
        if (deferredError_ && !error_) {
            failWithError(deferredError_);
            return;
        }
        if (error_) {
            complete_ = true;
            markAsFinished();
            return;
        }
        complete_ = false;

        if (!url_.isAbsolute() || url_.host().empty()) {
            failWithError(sharedError(UnableToCreateRequestErrorType));
            return;
        }

        didUseCachedResponse_ = false;
        if (!mainRequest_)
            buildPostBody();
        // A body file being compressed: finishBodyCompression() goes on.
        if (transfer_.awaitingFileWork)
            return;
        continueMain();
    } catch (const std::exception& exception) {
        failWithError(unhandledExceptionError(exception));
    }
}

void HTTPRequest::continueMain()
{
    Guard lock(cancelledLock_);
    try {
        if (deferredError_ && !error_)
            failWithError(deferredError_);
        if (error_)
            return;

        if (settings_.requestMethod != "GET")
            downloadCache_.reset();
        if (downloadCache_ && consultDownloadCache())
            return;

        transfer_.message = platform::HttpMessage::createRequest(settings_.requestMethod, url_,
            transfer_.options.useHTTPVersionOne ? platform::HttpVersion::Http10 : platform::HttpVersion::Http11);
        if (!transfer_.message) {
            failWithError(sharedError(UnableToCreateRequestErrorType));
            return;
        }

        buildRequestHeaders();
        if (error_)
            return;
        applyAuthorizationHeader();

        // Header names and values with line breaks are refused here rather
        // than sent: nothing an owner or a server put into a field may start
        // another header or request.
        for (auto& [name, value] : settings_.requestHeaders) {
            if (!transfer_.message->setHeaderFieldValue(name, value.stringValue())) {
                failWithError(sharedError(UnableToCreateRequestErrorType));
                return;
            }
        }

        if (!configureProxies())
            return;
        startRequest();
    } catch (const std::exception& exception) {
        failWithError(unhandledExceptionError(exception));
    }
}

void HTTPRequest::finishBodyCompression(const std::string& path, const std::optional<platform::Error>& failure)
{
    Guard lock(cancelledLock_);
    transfer_.awaitingFileWork = false;
    // Cancelled or failed while the file was being compressed: nothing goes on.
    if (complete_ || cancelled_ || error_) {
        removeFileAtPath(path, nullptr);
        return;
    }
    if (failure) {
        removeFileAtPath(path, nullptr);
        failWithError(failure);
        return;
    }
    compressedPostBodyFilePath_ = path;
    // The base's step on purpose: a form's own step would build its body again.
    HTTPRequest::buildPostBody();
    if (error_)
        return;
    continueMain();
}

// MARK: - Body

void HTTPRequest::setupPostBody()
{
    Guard lock(cancelledLock_);
    if (settings_.shouldStreamPostDataFromDisk) {
        if (!settings_.postBodyFilePath) {
            settings_.postBodyFilePath = temporaryPath();
            didCreateTemporaryPostDataFile_ = true;
        }
        if (!transfer_.postBodyWriteFd) {
            transfer_.postBodyWriteFd
                = FileDescriptor::open(*settings_.postBodyFilePath, O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (!transfer_.postBodyWriteFd) {
                Error cause = platform::FileUtil::posixError(errno, "open", *settings_.postBodyFilePath);
                recordDeferredError(makeHTTPRequestError(FileManagementError,
                    platform::format("Failed to write to file at path '%s'", settings_.postBodyFilePath->c_str()),
                    &cause));
            }
        }
    } else {
        settings_.hasPostBody = true;
    }
}

void HTTPRequest::appendPostData(const platform::Bytes& data)
{
    Guard lock(cancelledLock_);
    setupPostBody();
    if (data.empty())
        return;
    if (settings_.shouldStreamPostDataFromDisk) {
        if (transfer_.postBodyWriteFd && !transfer_.postBodyWriteFd.writeAll(data.data(), data.size())) {
            Error cause = platform::FileUtil::posixError(errno, "write", *settings_.postBodyFilePath);
            recordDeferredError(makeHTTPRequestError(FileManagementError,
                platform::format("Failed to write to file at path '%s'", settings_.postBodyFilePath->c_str()), &cause));
        }
    } else {
        settings_.postBody.insert(settings_.postBody.end(), data.begin(), data.end());
    }
}

void HTTPRequest::appendPostDataFromFile(const std::string& file)
{
    Guard lock(cancelledLock_);
    setupPostBody();
    FileDescriptor in = FileDescriptor::open(file, O_RDONLY);
    if (!in)
        return;
    platform::Bytes piece(kPostBodyReadPiece);
    for (;;) {
        ssize_t n = in.read(piece.data(), piece.size());
        if (n < 0) {
            // A file that cannot be read to its end is not sent shortened.
            Error cause = platform::FileUtil::posixError(errno, "read", file);
            recordDeferredError(makeHTTPRequestError(
                FileManagementError, platform::format("Failed to read file at path '%s'", file.c_str()), &cause));
            break;
        }
        if (n == 0)
            break;
        appendPostData(platform::Bytes(piece.begin(), piece.begin() + n));
    }
}

void HTTPRequest::buildPostBody()
{
    Guard lock(cancelledLock_);
    if (haveBuiltPostBody_)
        return;
    if (settings_.postBodyFilePath) {
        // The body file is complete once its writer is closed.
        transfer_.postBodyWriteFd.close();
        std::string measured = *settings_.postBodyFilePath;
        if (settings_.shouldCompressRequestBody) {
            if (!compressedPostBodyFilePath_) {
                std::string path = temporaryPath();
                if (!isSynchronous_) {
                    // Compressing a large file takes long: the network
                    // thread serves other requests meanwhile.
                    transfer_.awaitingFileWork = true;
                    auto request = self();
                    platform::RunLoop* loop = &requestLoop();
                    runOnFileQueue([request, loop, source = *settings_.postBodyFilePath, path] {
                        Error error;
                        std::optional<Error> failure;
                        if (!DataCompressor::compressDataFromFile(source, path, &error))
                            failure = error;
                        loop->post([request, path, failure] { request->finishBodyCompression(path, failure); },
                            platform::kCommonRunLoopModes);
                    });
                    return;
                }
                Error error;
                if (!DataCompressor::compressDataFromFile(*settings_.postBodyFilePath, path, &error)) {
                    failWithError(error);
                    return;
                }
                compressedPostBodyFilePath_ = path;
            }
            measured = *compressedPostBodyFilePath_;
        }
        Error cause;
        auto size = platform::FileUtil::fileSize(measured, &cause);
        if (!size) {
            failWithError(makeHTTPRequestError(FileManagementError,
                platform::format("Failed to get attributes for file at path '%s'", measured.c_str()), &cause));
            return;
        }
        postLength_ = *size;
    } else if (settings_.shouldCompressRequestBody && !settings_.postBody.empty()) {
        Error error;
        auto compressed = DataCompressor::compressData(settings_.postBody, &error);
        if (!compressed) {
            failWithError(error);
            return;
        }
        compressedPostBody_ = std::move(*compressed);
        postLength_ = compressedPostBody_.size();
    } else {
        postLength_ = settings_.postBody.size();
    }
    if (postLength_ > 0) {
        // Through the setter: its rule keeps a request that now carries a
        // body off kept-alive connections, like any other POST.
        if (settings_.requestMethod == "GET" || settings_.requestMethod == "DELETE"
            || settings_.requestMethod == "HEAD")
            setRequestMethod("POST");
        settings_.requestHeaders.set("Content-Length", platform::Value(std::to_string(postLength_)));
    }
    haveBuiltPostBody_ = true;
}

// MARK: - Headers

void HTTPRequest::buildRequestHeaders()
{
    if (haveBuiltRequestHeaders_)
        return;
    haveBuiltRequestHeaders_ = true;
    if (mainRequest_) {
        // A HEAD request measures what its main request will fetch, so it
        // sends that request's headers as built: the same cookies, agent and
        // resume range. (Lock order: this request's lock, then the main's.)
        platform::Dictionary built;
        {
            HTTPRequest& owner = *mainRequest_;
            Guard ownerLock(owner.cancelledLock_);
            // The main request's headers are built now, ahead of its run,
            // from the options it has now.
            if (!owner.haveBuiltRequestHeaders_)
                owner.transfer_.options = owner.settings_.options;
            owner.buildRequestHeaders();
            built = owner.settings_.requestHeaders;
        }
        for (auto& [name, value] : built)
            settings_.requestHeaders.set(name, value);
        // It carries no body, so nothing that describes one.
        settings_.requestHeaders.erase("Content-Length");
        settings_.requestHeaders.erase("Content-Encoding");
        return;
    }
    applyCookieHeader();
    if (!settings_.requestHeaders.contains("User-Agent")) {
        std::optional<std::string> agent
            = transfer_.options.userAgent ? transfer_.options.userAgent : defaultUserAgentString();
        if (agent)
            settings_.requestHeaders.set("User-Agent", platform::Value(*agent));
    }
    if (transfer_.options.allowCompressedResponse)
        settings_.requestHeaders.set("Accept-Encoding", platform::Value("gzip"));
    if (settings_.shouldCompressRequestBody)
        settings_.requestHeaders.set("Content-Encoding", platform::Value("gzip"));
    updatePartialDownloadSize();
    if (error_)
        return;
    if (partialDownloadSize_ > 0)
        settings_.requestHeaders.set("Range", platform::Value(platform::format("bytes=%llu-", partialDownloadSize_)));
}

void HTTPRequest::applyCookieHeader()
{
    if (transfer_.options.useCookiePersistence) {
        auto stored = platform::HttpCookieStorage::shared().cookiesForURL(url_);
        settings_.requestCookies.insert(settings_.requestCookies.end(), stored.begin(), stored.end());
    }
    if (settings_.requestCookies.empty())
        return;
    std::string header;
    for (auto& cookie : settings_.requestCookies) {
        if (!header.empty())
            header += "; ";
        header += cookie.name + "=" + cookie.value;
    }
    settings_.requestHeaders.set("Cookie", platform::Value(header));
}

void HTTPRequest::applyAuthorizationHeader()
{
    if (!settings_.shouldPresentCredentialsBeforeChallenge)
        return;
    if (!settings_.requestHeaders.contains("Authorization") && settings_.username && settings_.password
        && settings_.authenticationScheme
        && platform::equalsIgnoringAsciiCase(*settings_.authenticationScheme, "Basic")) {
        addBasicAuthenticationHeaderWithUsername(*settings_.username, *settings_.password);
    }
    applySessionCredentialsBeforeChallenge();
}

void HTTPRequest::addBasicAuthenticationHeaderWithUsername(const std::string& username, const std::string& andPassword)
{
    std::string pair = username + ":" + andPassword;
    addRequestHeader("Authorization", "Basic " + base64forData(platform::Bytes(pair.begin(), pair.end())));
}

void HTTPRequest::updatePartialDownloadSize()
{
    if (!transfer_.options.allowResumeForFileDownloads || !settings_.downloadDestinationPath
        || !settings_.temporaryFileDownloadPath || !platform::FileUtil::exists(*settings_.temporaryFileDownloadPath))
        return;
    Error cause;
    auto size = platform::FileUtil::fileSize(*settings_.temporaryFileDownloadPath, &cause);
    if (!size) {
        failWithError(makeHTTPRequestError(FileManagementError,
            platform::format(
                "Failed to get attributes for file at path '%s'", settings_.temporaryFileDownloadPath->c_str()),
            &cause));
        return;
    }
    partialDownloadSize_ = *size;
}

// MARK: - Start

void HTTPRequest::startRequest()
{
    Guard lock(cancelledLock_);
    if (cancelled_)
        return;

    requestStarted();

    downloadComplete_ = false;
    complete_ = false;
    totalBytesRead_ = 0;
    transfer_.lastBytesRead = 0;
    if (redirectCount_ == 0)
        originalURL_ = url_;
    if (transfer_.lastBytesSent > 0)
        removeUploadProgressSoFar();
    transfer_.lastBytesSent = 0;
    totalBytesSent_ = 0;
    contentLength_ = 0;
    responseHeaders_.reset();
    responseStatusCode_ = 0;
    responseStatusMessage_.clear();
    connectionCanBeReused_ = false;
    transfer_.dataDecompressor.reset();
    platform::Bytes().swap(transfer_.inflateBacklog);
    transfer_.inflateBacklogUsed = 0;
    transfer_.endAwaitsInflation = false;
    responseBodyError_.reset();
    platform::Bytes().swap(inflatedResponseData_);
    if (!settings_.downloadDestinationPath)
        rawResponseData_.clear();
    transfer_.readStreamIsScheduled = false;

    auto request = self();
    std::shared_ptr<platform::HttpStream> stream;
    if (settings_.shouldStreamPostDataFromDisk && settings_.postBodyFilePath
        && platform::FileUtil::exists(*settings_.postBodyFilePath)) {
        std::string path = compressedPostBodyFilePath_ && platform::FileUtil::exists(*compressedPostBodyFilePath_)
            ? *compressedPostBodyFilePath_
            : *settings_.postBodyFilePath;
        transfer_.postBodyReadStream = RequestInputStream::inputStreamWithFileAtPath(path, request);
        if (transfer_.postBodyReadStream)
            stream
                = platform::HttpStream::createForStreamedHTTPRequest(*transfer_.message, transfer_.postBodyReadStream);
    } else if (!settings_.postBody.empty()) {
        bool compressed = settings_.shouldCompressRequestBody && !compressedPostBody_.empty();
        const Bytes& body = compressed ? compressedPostBody_ : settings_.postBody;
        if (body.size() <= kBodyWithMessageLimit && !isBandwidthThrottled()) {
            // A small body nobody needs to meter piece by piece travels inside
            // the message, so that it goes out in the same write as the head.
            platform::HttpMessage message = *transfer_.message;
            message.setBody(body);
            incrementBandwidthUsedInLastSecond(static_cast<unsigned long>(body.size()));
            stream = platform::HttpStream::createForHTTPRequest(message);
        } else {
            transfer_.postBodyReadStream = RequestInputStream::inputStreamWithData(body, request);
            stream
                = platform::HttpStream::createForStreamedHTTPRequest(*transfer_.message, transfer_.postBodyReadStream);
        }
    } else {
        stream = platform::HttpStream::createForHTTPRequest(*transfer_.message);
    }
    if (!stream) {
        failWithError(makeHTTPRequestError(InternalErrorWhileBuildingRequestType, "Unable to create read stream"));
        return;
    }
    transfer_.readStream = stream;

    if (platform::asciiToLower(url_.scheme()) == "https") {
        platform::TlsSettings tls;
        if (!transfer_.options.validatesSecureCertificate)
            tls = platform::TlsSettings::validationOff();
        if (transfer_.options.clientCertificateIdentity) {
            // An identity replaces the relaxed settings, as it always has.
            tls = platform::TlsSettings();
            tls.clientIdentityFile = transfer_.options.clientCertificateIdentity->identityFile;
            tls.clientIdentityFormat = transfer_.options.clientCertificateIdentity->format;
            tls.clientKeyFile = transfer_.options.clientCertificateIdentity->keyFile;
            tls.clientIdentityPassword = transfer_.options.clientCertificateIdentity->password;
        }
        {
            std::lock_guard<std::mutex> settings(engine().settingsLock);
            tls.trustedRootsFile = engine().trustedRootsFile;
        }
        stream->setTlsSettings(std::move(tls));
    }
    applyProxyToStream(*stream);

    std::shared_ptr<platform::HttpStream> previousStream;
    attachToPersistentConnection();
    if (transfer_.connectionInfo)
        previousStream = connectionPool().replaceStream(transfer_.connectionInfo, stream);

    // During a throttle pause the new stream waits unscheduled; the status
    // tick schedules it once the pause is over.
    if (!isThrottlePaused())
        scheduleReadStream();
    std::weak_ptr<HTTPRequest> weak = request;
    bool opened = stream->setClient(platform::HttpStream::kEventHasBytesAvailable
            | platform::HttpStream::kEventErrorOccurred | platform::HttpStream::kEventEndEncountered,
        [weak](platform::HttpStream&, platform::HttpStream::Event event) {
            if (auto strong = weak.lock())
                strong->handleNetworkEvent(event);
        });
    opened = opened && stream->open();

    // The connection passes from the old stream to the new one only once the
    // new one is open.
    if (previousStream && previousStream != stream)
        previousStream->close();

    if (!opened) {
        connectionCanBeReused_ = false;
        destroyReadStream();
        failWithError(makeHTTPRequestError(InternalErrorWhileBuildingRequestType, "Unable to start HTTP connection"));
        return;
    }

    if (transfer_.options.shouldResetUploadProgress && !mainRequest_) {
        incrementUploadSizeBy(settings_.showAccurateProgress ? static_cast<long long>(postLength_) : 1);
        sendUploadProgress(0, 0, 1);
    }
    if (transfer_.options.shouldResetDownloadProgress && partialDownloadSize_ == 0 && !mainRequest_)
        sendDownloadProgress(0, 0, 1);

    transfer_.lastActivityTime = steadyNow();
    if (transfer_.statusTimer)
        transfer_.statusTimer->invalidate();
    transfer_.statusTimer = platform::Timer::scheduled(
        kStatusInterval, true,
        [weak](platform::Timer&) {
            if (auto strong = weak.lock())
                strong->updateStatus();
        },
        requestLoop(), runLoopMode_);
}

void HTTPRequest::attachToPersistentConnection()
{
    expirePersistentConnections();
    if (url_.host().empty() || url_.scheme().empty()) {
        transfer_.connectionInfo.reset();
        settings_.shouldAttemptPersistentConnection = false;
    }
    if (!settings_.shouldAttemptPersistentConnection)
        return;
    if (requestID_ == 0)
        requestID_ = connectionPool().nextRequestNumber();
    transfer_.connectionInfo = connectionPool().attach(
        transfer_.connectionInfo, url_.host(), url_.scheme(), url_.port().value_or(0), requestID_, steadyNow());
    lastConnectionID_ = transfer_.connectionInfo->id;
    transfer_.readStream->setAttemptPersistentConnection(true);
    transfer_.readStream->setConnectionId(transfer_.connectionInfo->id);
}

// MARK: - Status, time-outs, cancellation

void HTTPRequest::updateStatus()
{
    checkRequestStatus();
    Guard lock(cancelledLock_);
    if (!inProgress_ && transfer_.statusTimer) {
        transfer_.statusTimer->invalidate();
        transfer_.statusTimer.reset();
    }
}

void HTTPRequest::checkRequestStatus()
{
    std::unique_lock<std::recursive_mutex> lock(cancelledLock_);
    if (cancelled_ || complete_)
        return;
    performThrottling();

    if (shouldTimeOut()) {
        if (retryCount_ < transfer_.options.numberOfTimesToRetryOnTimeout) {
            updatePartialDownloadSize();
            if (partialDownloadSize_ > 0 && transfer_.message)
                transfer_.message->setHeaderFieldValue("Range", platform::format("bytes=%llu-", partialDownloadSize_));
            ++retryCount_;
            unscheduleReadStream();
            // The silent connection is not trusted again.
            connectionCanBeReused_ = false;
            destroyReadStream();
            releaseConnectionRecord();
            startRequest();
            return;
        }
        failWithError(sharedError(RequestTimedOutErrorType));
        cancelLoad();
        complete_ = true;
        return;
    }

    if (transfer_.readStream) {
        if (postLength_ > 0) {
            transfer_.lastBytesSent = totalBytesSent_;
            totalBytesSent_ = transfer_.readStream->requestBytesWritten();
            // The bandwidth meter counts body bytes once, as the body stream
            // hands them over; counting them again here would halve uploads.
            if (totalBytesSent_ > transfer_.lastBytesSent)
                transfer_.lastActivityTime = steadyNow();
        }
        updateProgressIndicators();
    }
}

bool HTTPRequest::shouldTimeOut()
{
    if (!transfer_.readStream || !transfer_.readStreamIsScheduled || transfer_.lastActivityTime < 0
        || transfer_.options.timeOutSeconds <= 0)
        return false;
    double idle = steadyNow() - transfer_.lastActivityTime;
    if (idle <= transfer_.options.timeOutSeconds)
        return false;
    if (postLength_ == 0)
        return true;
    if (uploadBufferSize_ > 0 && totalBytesSent_ > uploadBufferSize_)
        return true;
    // A body that has been handed to the system but not yet taken by the
    // server gets half as long again.
    return idle > 1.5 * transfer_.options.timeOutSeconds;
}

void HTTPRequest::cancel()
{
    auto request = self();
    requestLoop().post([request] { request->cancelOnRequestThread(); }, platform::kCommonRunLoopModes);
}

void HTTPRequest::cancelOnRequestThread()
{
    Guard lock(cancelledLock_);
    if (cancelled_ || complete_)
        return;
    failWithError(sharedError(RequestCancelledErrorType));
    complete_ = true;
    cancelLoad();
    cancelled_ = true;
}

void HTTPRequest::clearDelegatesAndCancel()
{
    {
        Guard lock(cancelledLock_);
        settings_.delegate.reset();
        queue_.reset();
        settings_.downloadProgressDelegate.reset();
        settings_.uploadProgressDelegate.reset();
        releaseBlocksOnMainThread();
    }
    cancel();
}

void HTTPRequest::releaseBlocksOnMainThread()
{
    std::vector<std::function<void()>> blocks;
    auto take = [&blocks](auto& block) {
        if (block)
            blocks.emplace_back([held = std::move(block)] { (void)held; });
        block = nullptr;
    };
    take(startedBlock_);
    take(completionBlock_);
    take(failureBlock_);
    take(requestRedirectedBlock_);
    take(headersReceivedBlock_);
    take(dataReceivedBlock_);
    take(bytesReceivedBlock_);
    take(bytesSentBlock_);
    take(downloadSizeIncrementedBlock_);
    take(uploadSizeIncrementedBlock_);
    if (blocks.empty())
        return;
    // The blocks may hold the owner's objects; they are let go on the main
    // thread, where those objects live.
    auto holder = std::make_shared<std::vector<std::function<void()>>>(std::move(blocks));
    platform::performOnMain([holder]() mutable { holder.reset(); });
}

void HTTPRequest::cancelLoad()
{
    stopPACFetch();
    destroyReadStream();
    if (transfer_.postBodyReadStream) {
        transfer_.postBodyReadStream->close();
        transfer_.postBodyReadStream.reset();
    }
    platform::Bytes().swap(transfer_.inflateBacklog);
    if (!settings_.downloadDestinationPath) {
        if (!complete_) {
            rawResponseData_.clear();
            platform::Bytes().swap(inflatedResponseData_);
        }
    } else {
        transfer_.fileDownloadFd.close();
        transfer_.inflatedFileDownloadFd.close();
        if (!complete_) {
            if (!transfer_.options.allowResumeForFileDownloads)
                removeTemporaryDownloadFile();
            removeTemporaryUncompressedDownloadFile();
        }
    }
    if (!willRetryRequest_ && didCreateTemporaryPostDataFile_) {
        removeTemporaryUploadFile();
        removeTemporaryCompressedUploadFile();
        didCreateTemporaryPostDataFile_ = false;
    }
}

void HTTPRequest::failWithError(const std::optional<platform::Error>& failure)
{
    Guard lock(cancelledLock_);
    complete_ = true;
    if (failure && failure->code() != AuthenticationErrorType && failure->code() != TooMuchRedirectionErrorType) {
        if (transfer_.connectionInfo)
            connectionPool().release(transfer_.connectionInfo, std::nullopt);
        // A connection that ended in failure is not handed to anyone else.
        connectionCanBeReused_ = false;
        destroyReadStream();
        transfer_.connectionInfo.reset();
    }
    if (connectionCanBeReused_ && transfer_.connectionInfo)
        connectionPool().keepUntil(
            transfer_.connectionInfo, steadyNow() + settings_.persistentConnectionTimeoutSeconds);
    if (cancelled_ || error_)
        return;
    // A request its owner cancelled stays cancelled, whatever the cache holds.
    bool cancelling = failure && failure->code() == RequestCancelledErrorType;
    if (!cancelling && downloadCache_ && (cachePolicy_ & CacheFallBackOnFailure)
        && downloadCache_->canUseCachedDataForRequest(*this) && useDataFromCache())
        return;
    error_ = failure ? failure : std::optional<Error>(Error(HTTPRequestErrorDomain, 0));
    if (mainRequest_) {
        // The request this one measures reports the failure, once.
        mainRequest_->failWithError(error_);
    } else {
        auto request = self();
        toOwner([request] { request->reportFailure(); });
    }
    if (inProgress_)
        markAsFinished();
}

void HTTPRequest::markAsFinished()
{
    transfer_.message.reset();
    // A finished request answers no further challenge; the session store
    // keeps its own reference to what it needs.
    requestAuthentication_.reset();
    proxyAuthentication_.reset();
    // A finished HEAD request lets go of the request it measured, which
    // holds it as a dependency: neither keeps the other alive.
    mainRequest_.reset();
    bool wasFinished = finished_;
    inProgress_ = false;
    finished_ = true;
    if (transfer_.statusTimer) {
        transfer_.statusTimer->invalidate();
        transfer_.statusTimer.reset();
    }
    if (synchronousLoop_)
        synchronousLoop_->stop();
    // Dropped on the main thread once the reports before it have run.
    if (mainPolling_)
        toOwner([hold = std::move(mainPolling_)] {});
    if (wasFinished)
        return;
    // The queue learns of the end once this event is over, so that it never
    // starts the next request while this one's lock is held.
    auto request = self();
    requestLoop().post([request] { request->markFinished(); }, platform::kCommonRunLoopModes);
}

// MARK: - Stream events

void HTTPRequest::scheduleReadStream()
{
    if (!transfer_.readStream || transfer_.readStreamIsScheduled)
        return;
    connectionPool().streamScheduled();
    if (shouldUpdateNetworkActivityIndicator())
        showNetworkActivityIndicator();
    transfer_.lastActivityTime = steadyNow();
    transfer_.readStream->scheduleInRunLoop(requestLoop(), runLoopMode_);
    transfer_.readStreamIsScheduled = true;
}

void HTTPRequest::unscheduleReadStream()
{
    if (!transfer_.readStream || !transfer_.readStreamIsScheduled)
        return;
    if (connectionPool().streamUnscheduled() == 0 && shouldUpdateNetworkActivityIndicator())
        hideNetworkActivityIndicatorAfterDelay();
    transfer_.readStream->unscheduleFromRunLoop(requestLoop(), runLoopMode_);
    transfer_.readStreamIsScheduled = false;
}

void HTTPRequest::destroyReadStream()
{
    if (!transfer_.readStream)
        return;
    unscheduleReadStream();
    transfer_.readStream->setClient(0, nullptr);
    // A reusable stream stays open: it holds the idle connection for the next
    // request of the same record.
    if (!connectionCanBeReused_)
        transfer_.readStream->close();
    transfer_.readStream.reset();
}

void HTTPRequest::releaseConnectionRecord()
{
    if (transfer_.connectionInfo)
        connectionPool().release(transfer_.connectionInfo, std::nullopt);
    transfer_.connectionInfo.reset();
}

void HTTPRequest::handleNetworkEvent(platform::HttpStream::Event event)
{
    auto keepAlive = self();
    bool redirect = false;
    bool challenged = false;
    withReportsHeld([&] {
        if (complete_ || cancelled_)
            return;
        switch (event) {
        case platform::HttpStream::kEventHasBytesAvailable:
            handleBytesAvailable();
            break;
        case platform::HttpStream::kEventEndEncountered:
            handleStreamComplete();
            break;
        case platform::HttpStream::kEventErrorOccurred:
            handleStreamError();
            break;
        default:
            break;
        }
        const bool ended = downloadComplete_ && !transfer_.endAwaitsInflation && !error_;
        redirect = ended && needsRedirect_;
        challenged = ended && !needsRedirect_ && authenticationNeeded_;
    });
    if (redirect && !willAskDelegateToConfirmRedirect())
        performRedirect();
    else if (challenged)
        attemptToApplyCredentialsAndResume();
}

void HTTPRequest::handleBytesAvailable()
{
    if (!responseHeaders_)
        readResponseHeaders();
    if (complete_ || !transfer_.readStream)
        return;
    // What is left of a piece that inflates to more than a step goes first.
    if (!inflateBacklog())
        return;

    while (transfer_.readStream && (transfer_.readStreamIsScheduled || downloadComplete_)
        && transfer_.readStream->hasBytesAvailable() && !complete_) {
        bool compressed = responseHeaders_ && responseHeaders_->get("Content-Encoding")
            && responseHeaders_->get("Content-Encoding")->find("gzip") != std::string::npos;
        std::size_t readSize = 16384;
        // A compressed body is read in the largest pieces: each is inflated
        // in one go, and a body sent in chunks announces no length to size
        // the reads by.
        if (contentLength_ > 262144 || compressed)
            readSize = kLargestRead;
        else if (contentLength_ > 65536)
            readSize = 65536;
        // Under throttling a read takes what is left of this second's
        // allowance. Bytes already here when the stream ended are taken whole.
        bool throttled = !downloadComplete_ && isBandwidthThrottled();
        if (throttled) {
            readSize = throttledReadLength(readSize);
            // A throttle that began after the head takes back the larger buffer.
            transfer_.readStream->setReceiveBufferLimit(kLargestRead);
        }
        const bool toDelegate = handsBodyToOwner();
        // A body kept as it comes goes from the stream straight into the
        // response data, without the stop in the read buffer.
        bool direct = !needsRedirect_ && !compressed && !toDelegate && !settings_.downloadDestinationPath;
        long count = 0;
        if (direct) {
            // Held to the ceiling as it comes: refused as soon as it is
            // announced or read past it, and never read more than a byte
            // beyond it.
            if (contentLength_ > kLargestInflatedBody) {
                refuseBody(makeTooLargeError());
                return;
            }
            if (rawResponseData_.empty() && contentLength_ > rawResponseData_.capacity())
                platform::reserveBytes(rawResponseData_, std::size_t(std::min(contentLength_, kLargestReserve)));
            // A body of no announced length, past its first megabyte, takes
            // room up to the ceiling at once (address space, paid for as it
            // is written) rather than being moved each time it doubles.
            else if (rawResponseData_.size() >= kWholeRoomAfter && rawResponseData_.capacity() < kLargestInflatedBody)
                platform::reserveBytes(rawResponseData_, kLargestInflatedBody);
            const std::size_t left = kLargestInflatedBody - std::min(kLargestInflatedBody, rawResponseData_.size());
            if (left == 0) {
                // At the ceiling: a byte more, read aside, tells whether the
                // body goes past it.
                count = transfer_.readStream->read(readBuffer(), 1);
                if (count > 0) {
                    refuseBody(makeTooLargeError());
                    return;
                }
            } else {
                count = transfer_.readStream->readAppending(
                    rawResponseData_, std::min(throttled ? readSize : kLargestDirectRead, left));
            }
        } else {
            count = transfer_.readStream->read(readBuffer(), readSize);
        }
        if (count < 0) {
            handleStreamError();
            return;
        }
        if (count == 0)
            return;

        totalBytesRead_ += static_cast<unsigned long long>(count);
        transfer_.lastActivityTime = steadyNow();
        incrementBandwidthUsedInLastSecond(static_cast<unsigned long>(count));
        // Over the allowance the stream pauses (the loop ends with it); the
        // rest stays buffered until the status tick schedules it again.
        if (throttled)
            performThrottling();

        // The body of a response being redirected is not the owner's data.
        if (needsRedirect_ || direct)
            continue;

        std::span<const std::uint8_t> buffer(readBuffer(), static_cast<std::size_t>(count));
        if (!compressed) {
            if (toDelegate)
                passOnReceivedData(platform::Bytes(buffer.begin(), buffer.end()));
            else
                writeToDownloadFile(buffer, nullptr);
            continue;
        }
        if (!transfer_.dataDecompressor) {
            Error error;
            transfer_.dataDecompressor = DataDecompressor::decompressor(&error);
            if (!transfer_.dataDecompressor) {
                failWithError(error);
                return;
            }
        }
        // The piece as it came, where the owner takes it so.
        if (toDelegate) {
            if (transfer_.options.shouldWaitToInflateCompressedResponses)
                passOnReceivedData(platform::Bytes(buffer.begin(), buffer.end()));
        } else if (settings_.downloadDestinationPath) {
            writeToDownloadFile(buffer, nullptr);
            if (error_)
                return;
        } else if (keepsCompressedBody()) {
            if (rawResponseData_.size() + buffer.size() > kLargestInflatedBody) {
                refuseBody(makeTooLargeError());
                return;
            }
            rawResponseData_.insert(rawResponseData_.end(), buffer.begin(), buffer.end());
        }
        if (!inflateArrived(buffer))
            return;
    }
}

bool HTTPRequest::handsBodyToOwner() const
{
    auto delegate = settings_.delegate.lock();
    return (delegate && didReceiveDataSelector_.respondsTo(*delegate)) || dataReceivedBlock_;
}

bool HTTPRequest::keepsCompressedBody() const
{
    return transfer_.options.shouldWaitToInflateCompressedResponses && !settings_.downloadDestinationPath
        && isResponseCompressed();
}

void HTTPRequest::refuseBody(const platform::Error& error)
{
    responseBodyError_ = error;
    if (settings_.downloadDestinationPath) {
        // Nothing of a refused body stays on the disk, nor is resumed.
        transfer_.fileDownloadFd.close();
        transfer_.inflatedFileDownloadFd.close();
        removeTemporaryDownloadFile();
        removeTemporaryUncompressedDownloadFile();
    } else {
        platform::Bytes().swap(inflatedResponseData_);
        // A body kept compressed stays as it came; one inflated in place
        // holds only part of the body.
        if (!keepsCompressedBody() || isTooLargeError(error))
            platform::Bytes().swap(rawResponseData_);
    }
    platform::Bytes().swap(transfer_.inflateBacklog);
    failWithError(error);
}

bool HTTPRequest::inflateArrived(std::span<const std::uint8_t> piece)
{
    std::size_t used = 0;
    if (!inflateStep(piece, &used))
        return false;
    if (used == piece.size())
        return true;
    // Inflated a step at a time from here, each step a task of its own on
    // the request's loop: the loop serves other requests between them.
    transfer_.inflateBacklog.assign(piece.begin() + static_cast<std::ptrdiff_t>(used), piece.end());
    transfer_.inflateBacklogUsed = 0;
    postInflateStep();
    return false;
}

void HTTPRequest::postInflateStep()
{
    if (transfer_.inflateStepPosted)
        return;
    transfer_.inflateStepPosted = true;
    auto request = self();
    requestLoop().post(
        [request] {
            request->transfer_.inflateStepPosted = false;
            request->handleNetworkEvent(platform::HttpStream::kEventHasBytesAvailable);
            if (request->transfer_.endAwaitsInflation && request->transfer_.inflateBacklog.empty()) {
                request->transfer_.endAwaitsInflation = false;
                request->handleNetworkEvent(platform::HttpStream::kEventEndEncountered);
            }
        },
        runLoopMode_);
}

bool HTTPRequest::inflateBacklog()
{
    if (transfer_.inflateBacklog.empty())
        return true;
    // The next step is already on its way: it comes back here.
    if (transfer_.inflateStepPosted)
        return false;
    std::span<const std::uint8_t> rest(transfer_.inflateBacklog.data() + transfer_.inflateBacklogUsed,
        transfer_.inflateBacklog.size() - transfer_.inflateBacklogUsed);
    std::size_t used = 0;
    if (!inflateStep(rest, &used))
        return false;
    transfer_.lastActivityTime = steadyNow();
    transfer_.inflateBacklogUsed += used;
    if (transfer_.inflateBacklogUsed < transfer_.inflateBacklog.size()) {
        postInflateStep();
        return false;
    }
    transfer_.inflateBacklog.clear();
    transfer_.inflateBacklogUsed = 0;
    return true;
}

bool HTTPRequest::inflateStep(std::span<const std::uint8_t> piece, std::size_t* used)
{
    // Each step inflates at most this much: a few milliseconds of the loop.
    constexpr std::size_t kInflateStep = 2 * 1024 * 1024;
    Error error;
    if (!handsBodyToOwner() && !settings_.downloadDestinationPath) {
        // The body kept in memory: inflated straight onto the end of the
        // inflated body, under the ceiling, sized up front from the
        // announced (compressed) length when there is one.
        platform::Bytes& body = keepsCompressedBody() ? inflatedResponseData_ : rawResponseData_;
        if (body.capacity() == 0 && contentLength_ > 0)
            platform::reserveBytes(body, std::size_t(std::min(contentLength_ * kExpectedInflation, kLargestReserve)));
        const std::size_t limit = kLargestInflatedBody - std::min(kLargestInflatedBody, body.size());
        if (!transfer_.dataDecompressor->uncompressStep(
                piece.data(), piece.size(), used, body, &error, limit, kInflateStep)) {
            refuseBody(error);
            return false;
        }
        return true;
    }
    // A piece handed to the owner or written out is inflated into the
    // thread's scratch buffer; a body kept compressed is still inflated as
    // it comes, so that a broken or cut body fails the request instead of
    // reaching the owner as a success.
    // A file under a ceiling is held to it inflated too, whether written
    // inflated or inflated only once it is whole.
    std::size_t limit = SIZE_MAX;
    const auto& largest = transfer_.options.largestFileDownload;
    if (largest && settings_.downloadDestinationPath && !handsBodyToOwner())
        limit = std::size_t(*largest - std::min(*largest, transfer_.inflatedFileBytes));
    platform::Bytes& scratch = inflateScratch();
    scratch.clear();
    if (!transfer_.dataDecompressor->uncompressStep(
            piece.data(), piece.size(), used, scratch, &error, limit, kInflateStep)) {
        releaseLargeInflateScratch();
        if (isTooLargeError(error))
            refuseBody(error);
        else
            failWithError(error);
        return false;
    }
    transfer_.inflatedFileBytes += scratch.size();
    if (!transfer_.options.shouldWaitToInflateCompressedResponses && !scratch.empty()) {
        if (handsBodyToOwner())
            passOnReceivedData(scratch); // each piece the owner is handed is its own
        else
            writeToDownloadFile({}, &scratch);
    }
    releaseLargeInflateScratch();
    return !error_;
}

void HTTPRequest::writeToDownloadFile(std::span<const std::uint8_t> raw, const platform::Bytes* inflated)
{
    bool append = false;
    if (!transfer_.fileDownloadFd) {
        if (!settings_.temporaryFileDownloadPath) {
            settings_.temporaryFileDownloadPath = temporaryPath();
        } else if (transfer_.options.allowResumeForFileDownloads && settings_.requestHeaders.contains("Range")) {
            // Append only what continues the partial file: a 206 whose range
            // starts exactly where the file ends. Anything else starts over.
            std::optional<unsigned long long> start;
            if (auto range = responseHeaders_ ? responseHeaders_->get("Content-Range") : std::nullopt)
                start = http_rules::contentRangeStart(*range);
            if (responseStatusCode_ == 206 && start && *start == partialDownloadSize_) {
                append = true;
            } else {
                incrementDownloadSizeBy(-static_cast<long long>(partialDownloadSize_));
                partialDownloadSize_ = 0;
            }
        }
        transfer_.downloadAppends = append;
        transfer_.fileBytes = append ? partialDownloadSize_ : 0;
        transfer_.inflatedFileBytes = 0;
        transfer_.fileDownloadFd = FileDescriptor::open(
            *settings_.temporaryFileDownloadPath, O_WRONLY | O_CREAT | (append ? O_APPEND : O_TRUNC));
        if (!transfer_.fileDownloadFd) {
            Error cause = platform::FileUtil::posixError(errno, "open", *settings_.temporaryFileDownloadPath);
            failWithError(makeHTTPRequestError(FileManagementError,
                platform::format("Failed to write to file at path '%s'", settings_.temporaryFileDownloadPath->c_str()),
                &cause));
            return;
        }
    }
    // Held to the owner's ceiling as it comes: refused as soon as the length
    // announced or the bytes read pass it, before they are written.
    if (const auto& largest = transfer_.options.largestFileDownload) {
        transfer_.fileBytes += raw.size();
        if (transfer_.fileBytes > *largest || contentLength_ + partialDownloadSize_ > *largest) {
            refuseBody(makeTooLargeError());
            return;
        }
    }
    if (!transfer_.fileDownloadFd.writeAll(raw.data(), raw.size())) {
        Error cause = platform::FileUtil::posixError(errno, "write", *settings_.temporaryFileDownloadPath);
        failWithError(makeHTTPRequestError(FileManagementError,
            platform::format("Failed to write to file at path '%s'", settings_.temporaryFileDownloadPath->c_str()),
            &cause));
        return;
    }
    if (inflated) {
        if (!transfer_.inflatedFileDownloadFd) {
            if (!temporaryUncompressedDataDownloadPath_)
                temporaryUncompressedDataDownloadPath_ = temporaryPath();
            transfer_.inflatedFileDownloadFd = FileDescriptor::open(*temporaryUncompressedDataDownloadPath_,
                O_WRONLY | O_CREAT | (transfer_.downloadAppends ? O_APPEND : O_TRUNC));
        }
        if (!transfer_.inflatedFileDownloadFd
            || !transfer_.inflatedFileDownloadFd.writeAll(inflated->data(), inflated->size())) {
            Error cause = platform::FileUtil::posixError(errno, "write", *temporaryUncompressedDataDownloadPath_);
            failWithError(makeHTTPRequestError(FileManagementError,
                platform::format(
                    "Failed to write to file at path '%s'", temporaryUncompressedDataDownloadPath_->c_str()),
                &cause));
        }
    }
}

DownloadPlacement HTTPRequest::takeDownloadFinish()
{
    DownloadPlacement finish;
    finish.destination = *settings_.downloadDestinationPath;
    if (!isResponseCompressed()) {
        finish.from = *settings_.temporaryFileDownloadPath;
        settings_.temporaryFileDownloadPath.reset();
        return finish;
    }
    finish.discard = *settings_.temporaryFileDownloadPath;
    settings_.temporaryFileDownloadPath.reset();
    if (transfer_.options.shouldWaitToInflateCompressedResponses) {
        finish.step = DownloadPlacement::Step::Inflate;
        finish.from = finish.discard;
    } else if (temporaryUncompressedDataDownloadPath_) {
        finish.from = *temporaryUncompressedDataDownloadPath_;
        temporaryUncompressedDataDownloadPath_.reset();
    } else {
        finish.step = DownloadPlacement::Step::WriteEmpty;
    }
    return finish;
}

void HTTPRequest::handleStreamComplete()
{
    // The end is taken up once the body that came before it is inflated.
    if (!transfer_.inflateBacklog.empty()) {
        transfer_.endAwaitsInflation = true;
        return;
    }
    if (transfer_.statusTimer) {
        transfer_.statusTimer->invalidate();
        transfer_.statusTimer.reset();
    }
    downloadComplete_ = true;
    if (!responseHeaders_)
        readResponseHeaders();
    // Body bytes still buffered in the stream belong to this response.
    if (transfer_.readStream && transfer_.readStream->hasBytesAvailable())
        handleBytesAvailable();
    if (error_)
        return;
    if (!transfer_.inflateBacklog.empty()) {
        transfer_.endAwaitsInflation = true;
        return;
    }

    std::optional<Error> result;
    std::optional<DownloadPlacement> finish;
    {
        std::lock_guard<std::recursive_mutex> progress(engine().progressLock);
        if (transfer_.readStream) {
            transfer_.lastBytesSent = totalBytesSent_;
            totalBytesSent_ = transfer_.readStream->requestBytesWritten();
        }
        complete_ = true;
        if (contentLength_ == 0)
            contentLength_ = totalBytesRead_;
        updateProgressIndicators();

        if (transfer_.postBodyReadStream) {
            transfer_.postBodyReadStream->close();
            transfer_.postBodyReadStream.reset();
        }
        // A compressed body that stopped before its end is a failed download.
        if (transfer_.dataDecompressor && !needsRedirect_ && !transfer_.dataDecompressor->streamEnded()) {
            result = DataDecompressor::truncatedStreamError();
            responseBodyError_ = result;
            platform::Bytes().swap(inflatedResponseData_);
        }
        transfer_.dataDecompressor.reset();

        if (didCreateTemporaryPostDataFile_ && !authenticationNeeded_) {
            removeTemporaryUploadFile();
            removeTemporaryCompressedUploadFile();
            didCreateTemporaryPostDataFile_ = false;
        }

        if (settings_.temporaryFileDownloadPath) {
            transfer_.fileDownloadFd.close();
            transfer_.inflatedFileDownloadFd.close();
            if (needsRedirect_ || authenticationNeeded_) {
                // Nothing of a redirect or challenge response goes to the destination.
                if (!transfer_.options.allowResumeForFileDownloads)
                    removeTemporaryDownloadFile();
                removeTemporaryUncompressedDownloadFile();
            } else if (result) {
                if (!transfer_.options.allowResumeForFileDownloads)
                    removeTemporaryDownloadFile();
                removeTemporaryUncompressedDownloadFile();
            } else {
                finish = takeDownloadFinish();
            }
        } else if (settings_.downloadDestinationPath && !needsRedirect_ && !result && totalBytesRead_ == 0
            && !dataReceivedBlock_) {
            // An empty body still leaves an (empty) file at the destination.
            Error cause;
            if (!platform::FileUtil::write(*settings_.downloadDestinationPath, platform::Bytes(),
                    platform::FileUtil::WriteMode::Atomic, &cause))
                result = cause;
        }
    }

    if (!connectionCanBeReused_)
        unscheduleReadStream();
    if (transfer_.connectionInfo)
        connectionPool().release(transfer_.connectionInfo,
            connectionCanBeReused_ ? std::optional<double>(steadyNow() + settings_.persistentConnectionTimeoutSeconds)
                                   : std::nullopt);
    destroyReadStream();

    if (finish && !isSynchronous_) {
        // Copying across file systems or inflating a large file takes long:
        // the network thread serves other requests meanwhile.
        auto request = self();
        platform::RunLoop* loop = &requestLoop();
        runOnFileQueue([request, loop, finish = *finish] {
            auto outcome = finish.run();
            loop->post([request, outcome] { request->finishResponse(outcome); }, platform::kCommonRunLoopModes);
        });
        return;
    }
    if (finish)
        result = finish->run();
    finishResponse(result);
}

void HTTPRequest::finishResponse(const std::optional<platform::Error>& result)
{
    Guard lock(cancelledLock_);
    if (downloadCache_ && !didUseCachedResponse_ && !result && !authenticationNeeded_)
        downloadCache_->storeResponseForRequest(*this, secondsToCache_);
    // A challenge holds the request open: the credentials step follows.
    if (!needsRedirect_ && !authenticationNeeded_) {
        if (!result)
            requestFinished();
        else
            failWithError(result);
        markAsFinished();
    }
}

void HTTPRequest::handleStreamError()
{
    std::optional<Error> streamError = transfer_.readStream ? transfer_.readStream->error() : std::nullopt;
    Error underlying
        = streamError ? *streamError : Error(platform::kCFNetworkErrorDomain, platform::kCFNetworkErrorUnknown);
    if (error_) {
        cancelLoad();
        return;
    }
    // A kept connection that the server closed while idle is tried once more on a new one, only when
    // nothing of the response came back and the method may safely be repeated: a body the server may
    // have acted on is never sent twice.
    if (platform::isConnectionLostError(underlying) && transfer_.readStream
        && transfer_.readStream->connectionWasReused() && !transfer_.readStream->hasReceivedResponseBytes()
        && isIdempotentMethod(settings_.requestMethod) && retryUsingNewConnection())
        return;

    std::string reason = "A connection failure occurred";
    if (platform::isTlsError(underlying))
        reason = platform::format("%s: SSL problem (Possible causes may include a bad/expired/self-signed certificate, "
                                  "clock set to wrong date)",
            reason.c_str());
    cancelLoad();
    failWithError(makeHTTPRequestError(ConnectionFailureErrorType, reason, &underlying));
}

bool HTTPRequest::retryUsingNewConnection()
{
    if (retryCount_ != 0)
        return false;
    willRetryRequest_ = true;
    connectionCanBeReused_ = false;
    cancelLoad();
    willRetryRequest_ = false;
    releaseConnectionRecord();
    ++retryCount_;
    startRequest();
    return true;
}

void HTTPRequest::readResponseHeaders()
{
    if (!transfer_.readStream)
        return;
    auto message = transfer_.readStream->responseHeader();
    if (!message || !message->isHeaderComplete())
        return;
    responseHeaders_ = message->headers();
    responseVersion_ = message->version();
    responseStatusCode_ = message->statusCode();
    responseStatusMessage_ = message->statusLine();

    // The cache answers a response that confirms what it holds (a 304 to a conditional request);
    // nothing of this response goes further. When the cache has nothing to hand over after all, the
    // response from the network stands.
    if (downloadCache_ && downloadCache_->canUseCachedDataForRequest(*this)
        && downloadCache_->cachedResponseHeadersForURL(url_) && downloadCache_->pathToCachedResponseDataForURL(url_)) {
        downloadCache_->updateExpiryForRequest(*this, secondsToCache_);
        connectionCanBeReused_ = false;
        destroyReadStream();
        releaseConnectionRecord();
        if (useDataFromCache())
            return;
        // The entry went bad in the moment between: a failure, not an empty success.
        failWithError(makeHTTPRequestError(ConnectionFailureErrorType, "A connection failure occurred"));
        return;
    }

    noteAuthenticationChallenge();

    parseStringEncodingFromHeaders();

    responseCookies_ = platform::HttpCookie::cookiesWithResponseHeaderFields(*responseHeaders_, url_);
    if (transfer_.options.useCookiePersistence && !responseCookies_.empty()) {
        platform::HttpCookieStorage::shared().setCookies(responseCookies_, url_);
        for (auto& cookie : responseCookies_)
            addSessionCookie(cookie);
    }

    bool redirecting = willRedirect();
    if (!redirecting) {
        auto lengthText = responseHeaders_->get("Content-Length");
        auto length = lengthText ? http_rules::parseContentLength(*lengthText) : std::nullopt;
        const unsigned long long announcedLength = length.value_or(0);
        bool announce = settings_.showAccurateProgress && transfer_.options.shouldResetDownloadProgress;
        if (mainRequest_) {
            // A HEAD answer sizes the request it was made for.
            HTTPRequest& owner = *mainRequest_;
            std::lock_guard<std::recursive_mutex> ownerLock(owner.cancelledLock_);
            if (length && !(transfer_.options.allowCompressedResponse && announcedLength == 20 && announce)) {
                owner.contentLength_ = announcedLength;
                if (announce)
                    owner.incrementDownloadSizeBy(
                        static_cast<long long>(owner.contentLength_ + owner.partialDownloadSize_));
            } else if (announce) {
                // No length, or the 20 bytes of an empty gzip body: the
                // compressed size says nothing about the download to come.
                owner.settings_.showAccurateProgress = false;
                owner.incrementDownloadSizeBy(1);
            }
        } else if (length) {
            contentLength_ = announcedLength;
            if (announce)
                incrementDownloadSizeBy(static_cast<long long>(contentLength_ + partialDownloadSize_));
        } else if (announce) {
            settings_.showAccurateProgress = false;
            incrementDownloadSizeBy(1);
        }
    }

    // A large body is taken in bigger pieces: fewer stops of the transfer while the stream waits for
    // its buffer to be read. Throttled requests keep the small buffer, so that the stream does not run
    // far ahead of the allowance.
    if (!redirecting && !mainRequest_ && transfer_.readStream && contentLength_ > kLargestRead
        && !isBandwidthThrottled())
        transfer_.readStream->setReceiveBufferLimit(
            static_cast<std::size_t>(std::min(contentLength_, kLargestReceiveBuffer)));

    if (settings_.shouldAttemptPersistentConnection) {
        auto lifetime = http_rules::keepAliveLifetime(responseVersion_, responseHeaders_->get("Connection"),
            responseHeaders_->get("Keep-Alive"), settings_.persistentConnectionTimeoutSeconds);
        if (lifetime) {
            connectionCanBeReused_ = true;
            settings_.persistentConnectionTimeoutSeconds = *lifetime;
        }
    }

    if (!settings_.delegate.expired() || headersReceivedBlock_ || queue_)
        requestReceivedResponseHeaders(responseHeaders());
}

void HTTPRequest::parseStringEncodingFromHeaders()
{
    platform::StringEncoding encoding = transfer_.options.defaultResponseEncoding;
    bool found = false;
    std::string mime;
    platform::StringEncoding parsed = 0;
    parseMimeType(&mime, &parsed, responseHeaders_ ? responseHeaders_->get("Content-Type") : std::nullopt);
    if (parsed != 0) {
        encoding = parsed;
        found = true;
    }
    responseEncoding_ = found ? encoding : transfer_.options.defaultResponseEncoding;
}

bool HTTPRequest::willRedirect()
{
    if (!transfer_.options.shouldRedirect || !responseHeaders_)
        return false;
    auto location = responseHeaders_->get("Location");
    if (!location)
        return false;
    int status = responseStatusCode_;
    if (status != 301 && status != 302 && status != 303 && status != 307)
        return false;
    auto target = platform::Url::parse(*location, url_);
    // Only web addresses are followed; any other scheme leaves the redirect
    // response as the answer.
    if (!target
        || (platform::asciiToLower(target->scheme()) != "http" && platform::asciiToLower(target->scheme()) != "https")
        || target->host().empty())
        return false;

    requestRedirected();

    if (status == 303 || ((status == 301 || status == 302) && !transfer_.options.shouldUseRFC2616RedirectBehaviour)) {
        settings_.requestMethod = "GET";
        settings_.postBody.clear();
        settings_.hasPostBody = false;
        compressedPostBody_.clear();
        postLength_ = 0;
        if (settings_.postBodyFilePath && didCreateTemporaryPostDataFile_)
            removeTemporaryUploadFile();
        removeTemporaryCompressedUploadFile();
        settings_.postBodyFilePath.reset();
        settings_.shouldStreamPostDataFromDisk = false;
        auto userAgent = dictionaryString(settings_.requestHeaders, "User-Agent");
        auto accept = dictionaryString(settings_.requestHeaders, "Accept");
        settings_.requestHeaders.clear();
        if (userAgent)
            settings_.requestHeaders.set("User-Agent", platform::Value(*userAgent));
        if (accept)
            settings_.requestHeaders.set("Accept", platform::Value(*accept));
        haveBuiltRequestHeaders_ = false;
    }
    redirectURL_ = *target;
    needsRedirect_ = true;
    settings_.requestCookies.clear();
    return true;
}

bool HTTPRequest::willAskDelegateToConfirmRedirect()
{
    Guard lock(cancelledLock_);
    auto delegate = settings_.delegate.lock();
    bool delegateAsks = delegate && willRedirectSelector_.respondsTo(*delegate);
    bool queueAsks = queue_ && queue_->requestWillRedirectToURL;
    if (!delegateAsks && !queueAsks)
        return false;
    auto target = *redirectURL_;
    redirectURL_.reset();
    requestWillRedirectToURL(target);
    return true;
}

void HTTPRequest::redirectToURL(const platform::Url& newURL)
{
    {
        Guard lock(cancelledLock_);
        redirectURL_ = newURL;
    }
    auto request = self();
    requestLoop().post([request] { request->performRedirect(); }, platform::kCommonRunLoopModes);
}

void HTTPRequest::performRedirect()
{
    Guard lock(cancelledLock_);
    if (!redirectURL_ || cancelled_)
        return;
    platform::Url previous = url_;
    url_ = *redirectURL_;
    redirectURL_.reset();
    complete_ = true;
    needsRedirect_ = false;
    ++redirectCount_;
    if (!sameOrigin(previous, url_)) {
        // Credentials and cookies given for one server never travel to another.
        settings_.requestHeaders.erase("Authorization");
        settings_.requestHeaders.erase("Proxy-Authorization");
        settings_.username.reset();
        settings_.password.reset();
    }
    if (haveBuiltRequestHeaders_) {
        // Kept headers: only the cookies are looked up again, for the new address.
        settings_.requestHeaders.erase("Cookie");
        applyCookieHeader();
    }
    if (redirectCount_ < 6) {
        main();
    } else {
        failWithError(sharedError(TooMuchRedirectionErrorType));
        complete_ = true;
    }
}

// MARK: - Temporary files

namespace {

void removeAndForget(std::optional<std::string>& path)
{
    if (path) {
        HTTPRequest::removeFileAtPath(*path, nullptr);
        path.reset();
    }
}

} // namespace

void HTTPRequest::removeTemporaryDownloadFile() { removeAndForget(settings_.temporaryFileDownloadPath); }
void HTTPRequest::removeTemporaryUncompressedDownloadFile() { removeAndForget(temporaryUncompressedDataDownloadPath_); }
void HTTPRequest::removeTemporaryUploadFile() { removeAndForget(settings_.postBodyFilePath); }
void HTTPRequest::removeTemporaryCompressedUploadFile() { removeAndForget(compressedPostBodyFilePath_); }

bool HTTPRequest::removeFileAtPath(const std::string& path, platform::Error* error)
{
    if (!platform::FileUtil::exists(path))
        return true;
    Error cause;
    if (platform::FileUtil::remove(path, &cause))
        return true;
    platform::setError(error,
        makeHTTPRequestError(
            FileManagementError, platform::format("Failed to delete file at path '%s'", path.c_str()), &cause));
    return false;
}

// MARK: - Response body

bool HTTPRequest::isResponseCompressed() const
{
    Guard lock(cancelledLock_);
    if (!responseHeaders_)
        return false;
    auto encoding = responseHeaders_->get("Content-Encoding");
    return encoding && encoding->find("gzip") != std::string::npos;
}

std::optional<platform::Bytes> HTTPRequest::responseData() const
{
    Guard lock(cancelledLock_);
    if (responseBodyError_)
        return std::nullopt;
    if (keepsCompressedBody())
        return inflatedResponseData_;
    return rawResponseData_;
}

namespace {

    std::optional<std::string> textOfBody(const platform::Bytes& data, platform::StringEncoding encoding)
    {
        std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
        // A UTF-8 byte-order mark marks the encoding, it is not text: a reply
        // that starts with one reads as the same reply without it, whichever
        // reader gets the text next.
        static constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
        if (encoding == platform::kUTF8StringEncoding && bytes.starts_with(kUtf8Mark))
            bytes.remove_prefix(kUtf8Mark.size());
        return platform::decodeText(bytes, encoding);
    }

} // namespace

std::optional<std::string> HTTPRequest::responseString() const
{
    auto data = responseData();
    if (!data)
        return std::nullopt;
    return textOfBody(*data, responseEncoding());
}

HTTPRequest::ResponseBody HTTPRequest::responseBodyAndText(std::size_t largestBody) const
{
    ResponseBody body;
    body.data = responseData();
    if (body.data && body.data->size() <= largestBody)
        body.text = textOfBody(*body.data, responseEncoding());
    return body;
}

// MARK: - Main-thread reporting

void HTTPRequest::toOwner(platform::Task report)
{
    if (holdingReports_ > 0)
        heldReports_.push_back(std::move(report));
    else
        platform::performOnMain(std::move(report));
}

template <class Step> void HTTPRequest::withReportsHeld(Step step)
{
    // What a step reports goes to the main thread in one task, once the lock
    // is let go: the main thread is woken once, and does not wake only to
    // wait for the lock the step still holds.
    std::vector<platform::Task> reports;
    {
        Guard lock(cancelledLock_);
        ++holdingReports_;
        step();
        if (--holdingReports_ == 0)
            reports.swap(heldReports_);
    }
    if (reports.size() == 1)
        platform::performOnMain(std::move(reports.front()));
    else if (!reports.empty())
        platform::performOnMain([reports = std::move(reports)] {
            for (auto& report : reports)
                report();
        });
}

template <class SelectorOf, class BlockType, class QueueHandler, class... Args>
void HTTPRequest::notifyListeners(SelectorOf selectorOf, BlockType HTTPRequest::*block,
    QueueHandler HTTPRequestDelegate::*queueHandler, const Args&... args)
{
    auto request = self();
    std::shared_ptr<HTTPRequestDelegate> delegate;
    decltype(selectorOf(*this)) chosen;
    {
        Guard lock(cancelledLock_);
        delegate = settings_.delegate.lock();
        chosen = selectorOf(*this);
    }
    if (delegate)
        chosen.perform(*delegate, request, args...);
    if (block) {
        BlockType call;
        {
            Guard lock(cancelledLock_);
            call = this->*block;
        }
        if (call)
            call(args...);
    }
    if (queueHandler) {
        std::shared_ptr<HTTPRequestDelegate> queue;
        {
            Guard lock(cancelledLock_);
            queue = queue_;
        }
        if (queue && (*queue).*queueHandler)
            ((*queue).*queueHandler)(request, args...);
    }
}

void HTTPRequest::requestStarted()
{
    if (error_ || mainRequest_ || (settings_.delegate.expired() && !startedBlock_ && !queue_))
        return;
    auto request = self();
    toOwner([request] {
        request->notifyListeners([](const HTTPRequest& r) { return r.settings_.didStartSelector; },
            &HTTPRequest::startedBlock_, &HTTPRequestDelegate::requestStarted);
    });
}

void HTTPRequest::requestReceivedResponseHeaders(platform::Dictionary headers)
{
    if (error_ || mainRequest_ || (settings_.delegate.expired() && !headersReceivedBlock_ && !queue_))
        return;
    auto request = self();
    toOwner([request, headers = std::move(headers)] {
        request->notifyListeners([](const HTTPRequest& r) { return r.didReceiveResponseHeadersSelector_; },
            &HTTPRequest::headersReceivedBlock_, &HTTPRequestDelegate::requestDidReceiveResponseHeaders, headers);
    });
}

void HTTPRequest::requestWillRedirectToURL(platform::Url url)
{
    if (error_ || mainRequest_)
        return;
    auto request = self();
    toOwner([request, url = std::move(url)] {
        std::shared_ptr<HTTPRequestDelegate> delegate;
        RedirectSelector selector;
        std::shared_ptr<HTTPRequestDelegate> queue;
        {
            Guard lock(request->cancelledLock_);
            delegate = request->settings_.delegate.lock();
            selector = request->willRedirectSelector_;
        }
        if (delegate)
            selector.perform(*delegate, request, url);
        {
            Guard lock(request->cancelledLock_);
            queue = request->queue_;
        }
        if (queue && queue->requestWillRedirectToURL)
            queue->requestWillRedirectToURL(request, url);
    });
}

void HTTPRequest::requestRedirected()
{
    if (error_ || mainRequest_)
        return;
    auto request = self();
    toOwner([request] {
        std::shared_ptr<HTTPRequestDelegate> delegate;
        {
            Guard lock(request->cancelledLock_);
            delegate = request->settings_.delegate.lock();
        }
        if (delegate && delegate->requestRedirected)
            delegate->requestRedirected(request);
        Block block;
        {
            Guard lock(request->cancelledLock_);
            block = request->requestRedirectedBlock_;
        }
        if (block)
            block();
    });
}

void HTTPRequest::requestFinished()
{
    if (error_ || mainRequest_)
        return;
    auto request = self();
    toOwner([request] { request->reportFinished(); });
}

void HTTPRequest::reportFinished()
{
    notifyListeners([](const HTTPRequest& r) { return r.settings_.didFinishSelector; }, &HTTPRequest::completionBlock_,
        &HTTPRequestDelegate::requestFinished);
    releaseBlocksAfterLastReport();
}

void HTTPRequest::reportFailure()
{
    notifyListeners([](const HTTPRequest& r) { return r.settings_.didFailSelector; }, &HTTPRequest::failureBlock_,
        &HTTPRequestDelegate::requestFailed);
    releaseBlocksAfterLastReport();
}

void HTTPRequest::releaseBlocksAfterLastReport()
{
    // Nothing is reported after the end: the blocks go now, here on the main
    // thread, rather than from whichever thread lets the request go last.
    Guard lock(cancelledLock_);
    if (finished_ || complete_)
        releaseBlocksOnMainThread();
}

void HTTPRequest::passOnReceivedData(platform::Bytes data)
{
    auto request = self();
    toOwner([request, data = std::move(data)] {
        // The queue has no say in received data.
        decltype(&HTTPRequestDelegate::requestDidReceiveData) noQueueHandler = nullptr;
        request->notifyListeners([](const HTTPRequest& r) { return r.didReceiveDataSelector_; },
            &HTTPRequest::dataReceivedBlock_, noQueueHandler, data);
    });
}

// MARK: - Progress

void HTTPRequest::updateProgressIndicators()
{
    if (mainRequest_)
        return;
    // Without accurate progress each direction reports its one unit once the
    // request is complete; each keeps its own note of having done so, so that
    // the upload's unit does not stand in for the download's.
    if (settings_.showAccurateProgress || complete_) {
        updateUploadProgress();
        updateDownloadProgress();
    }
}

void HTTPRequest::updateUploadProgress()
{
    if (cancelled_ || totalBytesSent_ == 0)
        return;
    if (uploadBufferSize_ == 0 && totalBytesSent_ != postLength_) {
        // The first count that is not the whole body is what the system took
        // into its send buffer at once; it is not progress the server saw.
        uploadBufferSize_ = totalBytesSent_;
        incrementUploadSizeBy(-static_cast<long long>(uploadBufferSize_));
    }
    long long amount = 0;
    if (settings_.showAccurateProgress) {
        if (totalBytesSent_ == postLength_ || transfer_.lastBytesSent > 0)
            amount = static_cast<long long>(totalBytesSent_) - static_cast<long long>(transfer_.lastBytesSent);
    } else {
        if (transfer_.updatedUploadProgress)
            return;
        amount = 1;
        transfer_.updatedUploadProgress = true;
    }
    if (amount == 0)
        return;
    // Never below zero: the buffer estimate can exceed what is later counted.
    unsigned long long progress = totalBytesSent_ > uploadBufferSize_ ? totalBytesSent_ - uploadBufferSize_ : 0;
    unsigned long long total = postLength_ > uploadBufferSize_ ? postLength_ - uploadBufferSize_ : 0;
    sendUploadProgress(amount, progress, total);
}

void HTTPRequest::updateDownloadProgress()
{
    if (!responseHeaders_ || needsRedirect_ || (contentLength_ == 0 && !complete_))
        return;
    unsigned long long soFar = totalBytesRead_ + partialDownloadSize_;
    long long amount;
    if (settings_.showAccurateProgress && contentLength_ > 0) {
        amount = static_cast<long long>(soFar) - static_cast<long long>(transfer_.lastBytesRead);
    } else {
        if (transfer_.updatedDownloadProgress)
            return;
        amount = 1;
        transfer_.updatedDownloadProgress = true;
    }
    if (amount == 0)
        return;
    sendDownloadProgress(amount, soFar, contentLength_ + partialDownloadSize_);
    transfer_.lastBytesRead = soFar;
}

void HTTPRequest::sendUploadProgress(long long amount, unsigned long long progress, unsigned long long total)
{
    reportProgress(Direction::Upload, ProgressReport::Bytes, amount, progress, total);
}

void HTTPRequest::sendDownloadProgress(long long amount, unsigned long long progress, unsigned long long total)
{
    reportProgress(Direction::Download, ProgressReport::Bytes, amount, progress, total);
}

void HTTPRequest::incrementUploadSizeBy(long long length)
{
    reportProgress(Direction::Upload, ProgressReport::Size, length, 0, 0);
}

void HTTPRequest::incrementDownloadSizeBy(long long length)
{
    reportProgress(Direction::Download, ProgressReport::Size, length, 0, 0);
}

void HTTPRequest::reportProgress(
    Direction direction, ProgressReport report, long long amount, unsigned long long progress, unsigned long long total)
{
    const bool upload = direction == Direction::Upload;
    const bool bytes = report == ProgressReport::Bytes;
    // Who hears it: the queue (when it follows progress), the direction's
    // progress delegate, and the direction's block.
    using Handler = std::function<void(const HTTPRequestPtr&, long long)> ProgressDelegate::*;
    Handler handler = upload
        ? (bytes ? &ProgressDelegate::requestDidSendBytes : &ProgressDelegate::requestIncrementUploadSizeBy)
        : (bytes ? &ProgressDelegate::requestDidReceiveBytes : &ProgressDelegate::requestIncrementDownloadSizeBy);
    std::weak_ptr<ProgressDelegate> HTTPRequest::Settings::*delegateField
        = upload ? &Settings::uploadProgressDelegate : &Settings::downloadProgressDelegate;
    bool hasBlock = bytes ? static_cast<bool>(upload ? bytesSentBlock_ : bytesReceivedBlock_)
                          : static_cast<bool>(upload ? uploadSizeIncrementedBlock_ : downloadSizeIncrementedBlock_);
    // Nobody to tell: nothing is handed to the main loop.
    if (!queue_ && (settings_.*delegateField).expired() && !hasBlock)
        return;
    auto request = self();
    toOwner([request, upload, bytes, handler, delegateField, amount, progress, total] {
        std::shared_ptr<HTTPRequestDelegate> queue;
        std::shared_ptr<ProgressDelegate> delegate;
        {
            Guard lock(request->cancelledLock_);
            queue = request->queue_;
            delegate = (request->settings_.*delegateField).lock();
        }
        if (amount != 0 || !bytes) {
            auto progressQueue = std::dynamic_pointer_cast<ProgressDelegate>(queue);
            if (progressQueue && progressQueue.get()->*handler)
                (progressQueue.get()->*handler)(request, amount);
            if (delegate && delegate.get()->*handler)
                (delegate.get()->*handler)(request, amount);
        }
        if (bytes && delegate && delegate->setProgress && total > 0) {
            std::lock_guard<std::recursive_mutex> progressLock(engine().progressLock);
            delegate->setProgress(static_cast<float>(static_cast<double>(progress) / static_cast<double>(total)));
        }
        // Each block is read when its turn comes: one cleared meanwhile is not called.
        ProgressBlock bytesBlock;
        SizeBlock sizeBlock;
        unsigned long long blockTotal = total;
        {
            Guard lock(request->cancelledLock_);
            if (bytes)
                bytesBlock = upload ? request->bytesSentBlock_ : request->bytesReceivedBlock_;
            else
                sizeBlock = upload ? request->uploadSizeIncrementedBlock_ : request->downloadSizeIncrementedBlock_;
            if (upload)
                blockTotal = request->postLength_;
        }
        if (bytesBlock && amount != 0)
            bytesBlock(static_cast<unsigned long long>(amount), blockTotal);
        if (sizeBlock)
            sizeBlock(amount);
    });
}

void HTTPRequest::removeUploadProgressSoFar()
{
    sendUploadProgress(-static_cast<long long>(totalBytesSent_), 0, postLength_);
}

// MARK: - Engine-wide settings

double HTTPRequest::defaultTimeOutSeconds() { return engine().defaultTimeOutSeconds.load(); }
void HTTPRequest::setDefaultTimeOutSeconds(double seconds) { engine().defaultTimeOutSeconds.store(seconds); }

std::optional<std::string> HTTPRequest::defaultUserAgentString()
{
    Engine& e = engine();
    std::lock_guard<std::mutex> lock(e.settingsLock);
    if (e.userAgentBuilt)
        return e.defaultUserAgent;
    e.userAgentBuilt = true;
    auto bundle = platform::Bundle::main();
    std::optional<std::string> name = bundle->displayName() ? bundle->displayName() : bundle->name();
    if (!name || name->empty())
        return e.defaultUserAgent = std::nullopt;
    const auto& shortVersion = bundle->shortVersion();
    const auto& buildVersion = bundle->buildVersion();
    std::string version;
    if (shortVersion && buildVersion)
        version = *shortVersion == *buildVersion
            ? *shortVersion
            : platform::format("%s rv:%s", shortVersion->c_str(), buildVersion->c_str());
    else if (shortVersion)
        version = *shortVersion;
    else if (buildVersion)
        version = *buildVersion;
    e.defaultUserAgent = platform::format("%s %s (%s; %s %s; %s)", name->c_str(), version.c_str(),
        platform::SystemInfo::model().c_str(), platform::SystemInfo::systemName().c_str(),
        platform::SystemInfo::systemVersion().c_str(), platform::SystemInfo::localeIdentifier().c_str());
    return e.defaultUserAgent;
}

void HTTPRequest::setDefaultUserAgentString(std::optional<std::string> userAgent)
{
    Engine& e = engine();
    std::lock_guard<std::mutex> lock(e.settingsLock);
    e.userAgentBuilt = true;
    e.defaultUserAgent = std::move(userAgent);
}

std::vector<platform::HttpCookie> HTTPRequest::sessionCookies()
{
    Engine& e = engine();
    std::lock_guard<std::recursive_mutex> lock(e.sessionCookiesLock);
    if (!e.sessionCookies)
        e.sessionCookies.emplace();
    return *e.sessionCookies;
}

void HTTPRequest::setSessionCookies(std::vector<platform::HttpCookie> cookies)
{
    Engine& e = engine();
    std::lock_guard<std::recursive_mutex> lock(e.sessionCookiesLock);
    if (e.sessionCookies)
        for (auto& cookie : *e.sessionCookies)
            platform::HttpCookieStorage::shared().deleteCookie(cookie);
    e.sessionCookies = std::move(cookies);
}

void HTTPRequest::addSessionCookie(const platform::HttpCookie& cookie)
{
    Engine& e = engine();
    std::lock_guard<std::recursive_mutex> lock(e.sessionCookiesLock);
    if (!e.sessionCookies)
        e.sessionCookies.emplace();
    auto& list = *e.sessionCookies;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->hasSameIdentity(cookie)) {
            list.erase(it);
            break;
        }
    }
    list.push_back(cookie);
}

void HTTPRequest::clearSession()
{
    clearSessionCredentials();
    setSessionCookies({});
    if (auto cache = defaultCache())
        cache->clearCachedResponsesForStoragePolicy(CacheStorageForSession);
}

void HTTPRequest::expirePersistentConnections()
{
    auto closing = connectionPool().expireIdle(steadyNow());
    if (closing.empty())
        return;
    // Idle streams are closed on the network thread, where they were used.
    auto close = [closing] {
        for (auto& stream : closing)
            stream->close();
    };
    platform::RunLoop& loop = networkLoop();
    if (loop.isCurrent())
        close();
    else
        loop.post(close, platform::kCommonRunLoopModes);
}

std::size_t HTTPRequest::persistentConnectionCount() { return connectionPool().count(); }

bool HTTPRequest::isNetworkInUse() { return connectionPool().hasScheduledStreams(); }

void HTTPRequest::setTrustedRootCertificatesFile(std::string path)
{
    Engine& e = engine();
    std::lock_guard<std::mutex> lock(e.settingsLock);
    e.trustedRootsFile = std::move(path);
}

void HTTPRequest::shutdownNetworkThread()
{
    Engine& e = engine();
    platform::RunLoop* loop = e.loop.load();
    if (!loop || e.shuttingDown.exchange(true))
        return;
    auto closing = connectionPool().removeAll();
    loop->post(
        [loop, closing]() mutable {
            for (auto& stream : closing)
                stream->close();
            closing.clear();
            // A request cancelled just before (by a screen that went, or at
            // the end of the exit's grace) tells its queue it has finished in
            // a task of its own, posted as its cancellation ran: the loop
            // stops after that, or the queue would wait for it at exit.
            loop->post([loop] { loop->stop(); }, platform::kCommonRunLoopModes);
        },
        platform::kCommonRunLoopModes);
    if (e.thread.joinable())
        e.thread.join();
}

// MARK: - Helpers

std::optional<std::string> HTTPRequest::mimeTypeForFileAtPath(const std::string& path)
{
    return platform::mimeTypeForFileAtPath(path);
}

void HTTPRequest::parseMimeType(std::string* mimeType, platform::StringEncoding* andResponseEncoding,
    const std::optional<std::string>& fromContentType)
{
    if (!fromContentType)
        return;
    const std::string& text = *fromContentType;
    std::size_t semicolon = text.find(';');
    if (mimeType)
        *mimeType = platform::trimWhitespaceAndNewlines(text.substr(0, semicolon));
    if (semicolon == std::string::npos)
        return;
    // Parameters: the charset name may be quoted, padded, or in any case.
    for (auto& parameter : platform::split(text.substr(semicolon + 1), ";")) {
        std::string trimmed = platform::trimWhitespaceAndNewlines(parameter);
        std::size_t equals = trimmed.find('=');
        if (equals == std::string::npos)
            continue;
        if (platform::asciiToLower(platform::trimWhitespaceAndNewlines(trimmed.substr(0, equals))) != "charset")
            continue;
        std::string name = platform::trimWhitespaceAndNewlines(trimmed.substr(equals + 1));
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
            name = platform::trimWhitespaceAndNewlines(name.substr(1, name.size() - 2));
        if (auto encoding = platform::encodingForIanaName(name); encoding && andResponseEncoding)
            *andResponseEncoding = *encoding;
        return;
    }
}

std::optional<platform::Date> HTTPRequest::dateFromRFC1123String(const std::string& string)
{
    return platform::parseHttpDate(string);
}

std::string HTTPRequest::base64forData(const platform::Bytes& data)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        unsigned v = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (i < data.size()) {
        unsigned v = data[i] << 16;
        if (i + 1 < data.size())
            v |= data[i + 1] << 8;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < data.size() ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

} // namespace foundation
