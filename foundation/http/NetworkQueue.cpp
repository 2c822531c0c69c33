#include "foundation/http/NetworkQueue.h"

#include "foundation/http/HTTPRequest.h"
#include "platform/os/Log.h"

namespace foundation {

namespace {

// Priority of the HEAD requests that measure a download before it starts:
// above every named priority, so each runs before the request waiting for it.
constexpr int kHEADRequestPriority = 10;

// Changing a queue's width is a read and a write; slots taken and given back
// from different threads must not lose one another's change.
std::mutex& widthLock()
{
    static std::mutex* lock = new std::mutex;
    return *lock;
}

} // namespace

std::shared_ptr<NetworkQueue> NetworkQueue::queue() { return std::shared_ptr<NetworkQueue>(new NetworkQueue); }

NetworkQueue::NetworkQueue()
{
    setMaxConcurrentOperationCount(4);
    setSuspended(true);
    // The request asks these members whether its queue listens. Redirect
    // confirmation stays unanswered until a delegate is there to confirm.
    requestStarted = [this](const HTTPRequestPtr& request) { relayStarted(request); };
    requestDidReceiveResponseHeaders = [this](const HTTPRequestPtr& request, const platform::Dictionary& headers) {
        relayHeaders(request, headers);
    };
    requestFinished = [this](const HTTPRequestPtr& request) { relayFinished(request); };
    requestFailed = [this](const HTTPRequestPtr& request) { relayFailed(request); };
    requestDidReceiveBytes = [this](const HTTPRequestPtr&, long long bytes) {
        auto done = addClamped(bytesDownloadedSoFar_, bytes);
        showProgress(downloadProgressDelegate(), done, totalBytesToDownload_.load());
    };
    requestDidSendBytes = [this](const HTTPRequestPtr&, long long bytes) {
        auto done = addClamped(bytesUploadedSoFar_, bytes);
        showProgress(uploadProgressDelegate(), done, totalBytesToUpload_.load());
    };
    requestIncrementDownloadSizeBy
        = [this](const HTTPRequestPtr&, long long length) { addClamped(totalBytesToDownload_, length); };
    requestIncrementUploadSizeBy
        = [this](const HTTPRequestPtr&, long long length) { addClamped(totalBytesToUpload_, length); };
}

NetworkQueue::~NetworkQueue()
{
    // Late events of requests still listed (HEAD requests, requests whose
    // owner cleared them) must not reach a queue that is gone.
    for (auto& op : operations())
        if (auto request = std::dynamic_pointer_cast<HTTPRequest>(op); request && request->queue().get() == this)
            request->setQueue(nullptr);
}

std::shared_ptr<NetworkQueue> NetworkQueue::copyWithZone() const
{
    auto copy = queue();
    std::scoped_lock lock(mutex_, copy->mutex_);
    copy->delegate_ = delegate_;
    copy->requestDidStartSelector_ = requestDidStartSelector_;
    copy->requestDidReceiveResponseHeadersSelector_ = requestDidReceiveResponseHeadersSelector_;
    copy->requestWillRedirectSelector_ = requestWillRedirectSelector_;
    copy->requestDidFinishSelector_ = requestDidFinishSelector_;
    copy->requestDidFailSelector_ = requestDidFailSelector_;
    copy->queueDidFinishSelector_ = queueDidFinishSelector_;
    copy->uploadProgressDelegate_ = uploadProgressDelegate_;
    copy->downloadProgressDelegate_ = downloadProgressDelegate_;
    copy->userInfo_ = userInfo_;
    copy->shouldCancelAllRequestsOnFailure_.store(shouldCancelAllRequestsOnFailure_.load());
    copy->showAccurateProgress_.store(showAccurateProgress_.load());
    if (requestWillRedirectToURL)
        copy->requestWillRedirectToURL = [raw = copy.get()](const HTTPRequestPtr& request, const platform::Url& url) {
            raw->relayRedirect(request, url);
        };
    return copy;
}

void NetworkQueue::go() { setSuspended(false); }

void NetworkQueue::addOperation(const std::shared_ptr<platform::Operation>& op)
{
    auto request = std::dynamic_pointer_cast<HTTPRequest>(op);
    // Logged and dropped instead of raised: nothing throws across libraries.
    if (!request) {
        platform::log("AttemptToAddInvalidRequest: Attempted to add an object that was not an HTTPRequest to a "
                      "NetworkQueue\n");
        return;
    }
    ++requestsCount_;
    // The queue is in place before anything can fail, so that a request that
    // fails while its body is built still reports to the queue and is counted
    // off.
    request->setQueue(shared_from_this());
    bool accurate = showAccurateProgress_.load();
    if (accurate) {
        request->buildPostBody();
        if (request->requestMethod() == "GET" && isSuspended()) {
            // The size of the download is asked for first, so that the
            // indicator knows the whole before any byte arrives.
            auto head = request->HEADRequest();
            addHEADOperation(head);
            request->addDependency(head);
            if (request->shouldResetDownloadProgress()) {
                resetProgress(downloadProgressDelegate());
                request->setShouldResetDownloadProgress(false);
            }
        }
        addClamped(totalBytesToUpload_, static_cast<long long>(request->postLength()));
    } else {
        addClamped(totalBytesToDownload_, 1);
        addClamped(totalBytesToUpload_, 1);
    }
    if (request->shouldResetUploadProgress()) {
        resetProgress(uploadProgressDelegate());
        request->setShouldResetUploadProgress(false);
    }
    request->setShowAccurateProgress(accurate);
    platform::OperationQueue::addOperation(request);
}

void NetworkQueue::addHEADOperation(const std::shared_ptr<HTTPRequest>& request)
{
    request->setRequestMethod("HEAD");
    request->setQueuePriority(kHEADRequestPriority);
    request->setShowAccurateProgress(true);
    request->setQueue(shared_from_this());
    platform::OperationQueue::addOperation(request);
}

void NetworkQueue::cancelAllOperations()
{
    bytesUploadedSoFar_.store(0);
    totalBytesToUpload_.store(0);
    bytesDownloadedSoFar_.store(0);
    totalBytesToDownload_.store(0);
    platform::OperationQueue::cancelAllOperations();
}

void NetworkQueue::reset()
{
    cancelAllOperations();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        delegate_.reset();
        uploadProgressDelegate_.reset();
        downloadProgressDelegate_.reset();
        requestDidStartSelector_ = {};
        requestDidReceiveResponseHeadersSelector_ = {};
        requestDidFinishSelector_ = {};
        requestDidFailSelector_ = {};
        queueDidFinishSelector_ = {};
    }
    setSuspended(true);
}

// MARK: - Settings

std::weak_ptr<HTTPRequestDelegate> NetworkQueue::delegate() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return delegate_;
}

void NetworkQueue::setDelegate(std::weak_ptr<HTTPRequestDelegate> delegate)
{
    std::lock_guard<std::mutex> lock(mutex_);
    delegate_ = std::move(delegate);
}

void NetworkQueue::setRequestDidStartSelector(RequestSelector selector)
{
    std::lock_guard<std::mutex> lock(mutex_);
    requestDidStartSelector_ = std::move(selector);
}

void NetworkQueue::setRequestDidReceiveResponseHeadersSelector(HeadersSelector selector)
{
    std::lock_guard<std::mutex> lock(mutex_);
    requestDidReceiveResponseHeadersSelector_ = std::move(selector);
}

void NetworkQueue::setRequestWillRedirectSelector(RedirectSelector selector)
{
    std::lock_guard<std::mutex> lock(mutex_);
    bool listens = static_cast<bool>(selector);
    requestWillRedirectSelector_ = std::move(selector);
    // Requests ask their queue to confirm a redirect only while a selector is
    // set. Set it before adding requests: running requests read this member.
    if (listens)
        requestWillRedirectToURL
            = [this](const HTTPRequestPtr& request, const platform::Url& url) { relayRedirect(request, url); };
    else
        requestWillRedirectToURL = nullptr;
}

void NetworkQueue::setRequestDidFinishSelector(RequestSelector selector)
{
    std::lock_guard<std::mutex> lock(mutex_);
    requestDidFinishSelector_ = std::move(selector);
}

void NetworkQueue::setRequestDidFailSelector(RequestSelector selector)
{
    std::lock_guard<std::mutex> lock(mutex_);
    requestDidFailSelector_ = std::move(selector);
}

void NetworkQueue::setQueueDidFinishSelector(QueueSelector selector)
{
    std::lock_guard<std::mutex> lock(mutex_);
    queueDidFinishSelector_ = std::move(selector);
}

std::weak_ptr<ProgressDelegate> NetworkQueue::uploadProgressDelegate() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return uploadProgressDelegate_;
}

void NetworkQueue::setUploadProgressDelegate(std::weak_ptr<ProgressDelegate> delegate)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        uploadProgressDelegate_ = delegate;
    }
    resetProgress(delegate);
}

std::weak_ptr<ProgressDelegate> NetworkQueue::downloadProgressDelegate() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return downloadProgressDelegate_;
}

void NetworkQueue::setDownloadProgressDelegate(std::weak_ptr<ProgressDelegate> delegate)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        downloadProgressDelegate_ = delegate;
    }
    resetProgress(delegate);
}

platform::Dictionary NetworkQueue::userInfo() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return userInfo_;
}

void NetworkQueue::setUserInfo(platform::Dictionary userInfo)
{
    std::lock_guard<std::mutex> lock(mutex_);
    userInfo_ = std::move(userInfo);
}

// MARK: - Relays (main thread)

void NetworkQueue::relayStarted(const HTTPRequestPtr& request)
{
    std::shared_ptr<HTTPRequestDelegate> delegate;
    RequestSelector selector;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        delegate = delegate_.lock();
        selector = requestDidStartSelector_;
    }
    if (delegate)
        selector.perform(*delegate, request);
}

void NetworkQueue::relayHeaders(const HTTPRequestPtr& request, const platform::Dictionary& headers)
{
    std::shared_ptr<HTTPRequestDelegate> delegate;
    HeadersSelector selector;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        delegate = delegate_.lock();
        selector = requestDidReceiveResponseHeadersSelector_;
    }
    if (delegate)
        selector.perform(*delegate, request, headers);
}

void NetworkQueue::relayRedirect(const HTTPRequestPtr& request, const platform::Url& newURL)
{
    std::shared_ptr<HTTPRequestDelegate> delegate;
    RedirectSelector selector;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        delegate = delegate_.lock();
        selector = requestWillRedirectSelector_;
    }
    // The request waits for an answer; with nobody left to give one it goes
    // on to the address it was sent to rather than hanging.
    if (!delegate || !selector.perform(*delegate, request, newURL))
        request->redirectToURL(newURL);
}

std::function<void(const HTTPRequestPtr& request)> NetworkQueue::credentialsHandler(bool forProxy)
{
    auto delegate = this->delegate().lock();
    auto handler = delegate ? delegate->credentialsHandler(forProxy) : nullptr;
    if (!handler)
        return nullptr;
    // The delegate lives at least until it has been asked.
    return [delegate, handler](const HTTPRequestPtr& request) { handler(request); };
}

void NetworkQueue::relayFinished(const HTTPRequestPtr& request) { requestDone(request, false); }

void NetworkQueue::relayFailed(const HTTPRequestPtr& request) { requestDone(request, true); }

void NetworkQueue::requestDone(const HTTPRequestPtr& request, bool failed)
{
    int remaining = --requestsCount_;
    if (remaining < 0) {
        // Only requests added here are counted; never below zero.
        requestsCount_.store(0);
        remaining = 0;
    }
    std::shared_ptr<HTTPRequestDelegate> delegate;
    RequestSelector selector;
    QueueSelector finished;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        delegate = delegate_.lock();
        selector = failed ? requestDidFailSelector_ : requestDidFinishSelector_;
        finished = queueDidFinishSelector_;
    }
    auto self = shared_from_this();
    if (delegate)
        selector.perform(*delegate, request);
    if (remaining == 0 && delegate)
        finished.perform(*delegate, self);
    if (failed && shouldCancelAllRequestsOnFailure_.load() && requestsCount_.load() > 0)
        cancelAllOperations();
}

// MARK: - Progress

unsigned long long NetworkQueue::addClamped(std::atomic<unsigned long long>& total, long long amount)
{
    unsigned long long current = total.load();
    unsigned long long next;
    do {
        if (amount >= 0)
            next = current + static_cast<unsigned long long>(amount);
        else
            next = static_cast<unsigned long long>(-amount) > current
                ? 0
                : current - static_cast<unsigned long long>(-amount);
    } while (!total.compare_exchange_weak(current, next));
    return next;
}

void NetworkQueue::showProgress(
    const std::weak_ptr<ProgressDelegate>& delegate, unsigned long long done, unsigned long long total)
{
    auto indicator = delegate.lock();
    if (!indicator || !indicator->setProgress || total == 0)
        return;
    double fraction = static_cast<double>(std::min(done, total)) / static_cast<double>(total);
    indicator->setProgress(static_cast<float>(fraction));
}

void NetworkQueue::resetProgress(const std::weak_ptr<ProgressDelegate>& delegate)
{
    auto indicator = delegate.lock();
    if (!indicator || !indicator->setProgress)
        return;
    platform::performOnMain([indicator] { indicator->setProgress(0.0f); });
}

// MARK: - Width

OperationQueueWidening::OperationQueueWidening(platform::OperationQueue& queue)
{
    std::lock_guard<std::mutex> lock(widthLock());
    int width = queue.maxConcurrentOperationCount();
    // A queue without a limit has no slot to add, and none to give back.
    if (width < 0)
        return;
    queue.setMaxConcurrentOperationCount(width + 1);
    queue_ = &queue;
}

OperationQueueWidening::OperationQueueWidening(OperationQueueWidening&& other) noexcept
    : queue_(other.queue_)
{
    other.queue_ = nullptr;
}

OperationQueueWidening& OperationQueueWidening::operator=(OperationQueueWidening&& other) noexcept
{
    if (this != &other) {
        release();
        queue_ = other.queue_;
        other.queue_ = nullptr;
    }
    return *this;
}

void OperationQueueWidening::release()
{
    std::lock_guard<std::mutex> lock(widthLock());
    if (!queue_)
        return;
    // Never below one slot, whatever else changed the width meanwhile.
    queue_->setMaxConcurrentOperationCount(std::max(1, queue_->maxConcurrentOperationCount() - 1));
    queue_ = nullptr;
}

// MARK: - HEAD requests

std::shared_ptr<HTTPRequest> HTTPRequest::HEADRequest() const
{
    auto head = requestWithURL(url());
    auto me = std::const_pointer_cast<HTTPRequest>(std::static_pointer_cast<const HTTPRequest>(shared_from_this()));
    std::scoped_lock lock(cancelledLock_, head->cancelledLock_);
    // The headers as they stand now; the main request's built headers are
    // added when the HEAD request starts (buildRequestHeaders).
    head->settings_.requestHeaders = settings_.requestHeaders;
    head->settings_.requestHeaders.erase("Content-Length");
    head->settings_.requestHeaders.erase("Content-Encoding");
    head->settings_.requestCookies = settings_.requestCookies;
    head->settings_.options.useCookiePersistence = settings_.options.useCookiePersistence;
    head->settings_.useKeychainPersistence = settings_.useKeychainPersistence;
    head->settings_.useSessionPersistence = settings_.useSessionPersistence;
    head->settings_.options.allowCompressedResponse = settings_.options.allowCompressedResponse;
    head->settings_.username = settings_.username;
    head->settings_.password = settings_.password;
    head->settings_.domain = settings_.domain;
    head->settings_.authenticationScheme = settings_.authenticationScheme;
    head->settings_.proxyUsername = settings_.proxyUsername;
    head->settings_.proxyPassword = settings_.proxyPassword;
    head->settings_.proxyDomain = settings_.proxyDomain;
    head->settings_.proxyHost = settings_.proxyHost;
    head->settings_.proxyPort = settings_.proxyPort;
    head->settings_.proxyType = settings_.proxyType;
    head->settings_.PACurl = settings_.PACurl;
    head->settings_.shouldPresentAuthenticationDialog = settings_.shouldPresentAuthenticationDialog;
    head->settings_.shouldPresentProxyAuthenticationDialog = settings_.shouldPresentProxyAuthenticationDialog;
    head->settings_.options.timeOutSeconds = settings_.options.timeOutSeconds;
    head->settings_.options.useHTTPVersionOne = settings_.options.useHTTPVersionOne;
    head->settings_.options.validatesSecureCertificate = settings_.options.validatesSecureCertificate;
    head->settings_.options.clientCertificateIdentity = settings_.options.clientCertificateIdentity;
    head->settings_.shouldPresentCredentialsBeforeChallenge = settings_.shouldPresentCredentialsBeforeChallenge;
    head->settings_.options.numberOfTimesToRetryOnTimeout = settings_.options.numberOfTimesToRetryOnTimeout;
    head->settings_.options.shouldUseRFC2616RedirectBehaviour = settings_.options.shouldUseRFC2616RedirectBehaviour;
    head->settings_.shouldAttemptPersistentConnection = settings_.shouldAttemptPersistentConnection;
    head->settings_.persistentConnectionTimeoutSeconds = settings_.persistentConnectionTimeoutSeconds;
    head->settings_.options.userAgent = settings_.options.userAgent;
    head->settings_.requestMethod = "HEAD";
    head->mainRequest_ = std::move(me);
    return head;
}

std::shared_ptr<HTTPRequest> HTTPRequest::mainRequest() const
{
    std::lock_guard<std::recursive_mutex> lock(cancelledLock_);
    return mainRequest_;
}

} // namespace foundation
