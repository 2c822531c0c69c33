#include "foundation/http/HTTPRequest.h"

#include "foundation/http/HTTPRequestLock.h"
#include "platform/net/PacScript.h"
#include "platform/net/ProxySettings.h"
#include "platform/os/StringUtil.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::size_t kPACReadPiece = 16384;
constexpr double kPACReadInterval = 0.01;

// Guards the read-modify-write of the shared queue's width.
std::mutex& queueWidthLock()
{
    static std::mutex* lock = new std::mutex;
    return *lock;
}

void changeSharedQueueWidth(int by)
{
    std::lock_guard<std::mutex> lock(queueWidthLock());
    auto& queue = HTTPRequest::sharedQueue();
    queue.setMaxConcurrentOperationCount(std::max(1, queue.maxConcurrentOperationCount() + by));
}

} // namespace

// MARK: - Accessors

std::optional<std::string> HTTPRequest::proxyHost() const { return locked(proxyHost_); }
void HTTPRequest::setProxyHost(std::optional<std::string> host) { setLocked(proxyHost_, std::move(host)); }
int HTTPRequest::proxyPort() const { return locked(proxyPort_); }
void HTTPRequest::setProxyPort(int port) { setLocked(proxyPort_, port); }
std::optional<std::string> HTTPRequest::proxyType() const { return locked(proxyType_); }
void HTTPRequest::setProxyType(std::optional<std::string> type) { setLocked(proxyType_, std::move(type)); }
std::optional<platform::Url> HTTPRequest::PACurl() const { return locked(PACurl_); }
void HTTPRequest::setPACurl(std::optional<platform::Url> url) { setLocked(PACurl_, std::move(url)); }
bool HTTPRequest::isPACFileRequest() const { return locked(isPACFileRequest_); }

// MARK: - Choosing the proxy

bool HTTPRequest::configureProxies()
{
    if (isPACFileRequest_ || proxyHost_ || proxyPort_ != 0)
        return true;
    if (PACurl_) {
        fetchPACFile();
        return false;
    }
    auto settings = platform::SystemProxySettings::copy();
    auto list = settings ? settings->proxiesForURL(url_) : std::nullopt;
    if (!list) {
        destroyReadStream();
        failWithError(makeHTTPRequestError(
            InternalErrorWhileBuildingRequestType, "Unable to obtain information on proxy servers needed for request"));
        return false;
    }
    if (list->empty())
        return true;
    const platform::ProxyEntry& first = list->front();
    if (first.type == platform::ProxyEntry::Type::AutoConfigurationURL) {
        PACurl_ = first.autoConfigurationURL;
        fetchPACFile();
        return false;
    }
    if (first.type != platform::ProxyEntry::Type::None) {
        proxyHost_ = first.host;
        proxyPort_ = first.port;
        proxyType_ = platform::proxyTypeName(first.type);
    }
    return true;
}

void HTTPRequest::applyProxyToStream(platform::HttpStream& stream)
{
    if (!proxyHost_ || proxyHost_->empty() || proxyPort_ == 0)
        return;
    std::string type = proxyType_.value_or(platform::kProxyTypeHTTP);
    platform::ProxySettings proxy;
    proxy.host = *proxyHost_;
    proxy.port = proxyPort_;
    if (type == platform::kProxyTypeSOCKS)
        proxy.type = platform::ProxySettings::Type::Socks;
    else if (platform::asciiToLower(url_.scheme()) == "https")
        proxy.type = platform::ProxySettings::Type::Https;
    else
        proxy.type = platform::ProxySettings::Type::Http;
    stream.setProxy(std::move(proxy));
}

// MARK: - Fetching the script

void HTTPRequest::fetchPACFile()
{
    platform::Url pac = *PACurl_;
    if (pac.isFileUrl()) {
        PACFileReadFd_ = FileDescriptor::open(pac.path(), O_RDONLY | O_NONBLOCK);
        if (!PACFileReadFd_) {
            startRequest();
            return;
        }
        PACFileData_.clear();
        std::weak_ptr<HTTPRequest> weak = self();
        PACReadTimer_ = platform::Timer::scheduled(
            kPACReadInterval, true,
            [weak](platform::Timer&) {
                if (auto request = weak.lock())
                    request->readPACFileChunk();
            },
            requestLoop(), runLoopMode_);
        // A file that takes longer than the time-out (a pipe nobody writes
        // to) is given up, and the request goes without it.
        PACTimeoutTimer_ = platform::Timer::scheduled(
            timeOutSeconds_, false,
            [weak](platform::Timer&) {
                if (auto request = weak.lock()) {
                    std::lock_guard<std::recursive_mutex> lock(request->cancelledLock_);
                    if (request->PACFileReadFd_)
                        request->finishPACFileRead(false);
                }
            },
            requestLoop(), runLoopMode_);
        readPACFileChunk();
        return;
    }

    std::string scheme = platform::asciiToLower(pac.scheme());
    if (scheme != "http" && scheme != "https") {
        startRequest();
        return;
    }
    auto fetch = HTTPRequest::requestWithURL(pac);
    fetch->isPACFileRequest_ = true;
    fetch->timeOutSeconds_ = timeOutSeconds_;
    if (isSynchronous_) {
        fetch->startSynchronous();
        if (!fetch->error())
            runPACScript(fetch->responseString());
        startRequest();
        return;
    }

    PACFileRequest_ = fetch;
    fetch->setQueuePriority(platform::Operation::High);
    auto delegate = std::make_shared<HTTPRequestDelegate>();
    std::weak_ptr<HTTPRequest> weak = self();
    auto finished = [weak](const HTTPRequestPtr& done) {
        if (auto request = weak.lock())
            request->requestLoop().post(
                [request, done] { request->finishedDownloadingPACFile(done); }, platform::kCommonRunLoopModes);
    };
    delegate->requestFinished = finished;
    delegate->requestFailed = finished;
    PACFileDelegate_ = delegate;
    fetch->setDelegate(delegate);
    // The fetch must not wait behind the requests it holds up.
    changeSharedQueueWidth(1);
    PACFetchWidenedQueue_ = true;
    fetch->startAsynchronous();
}

void HTTPRequest::readPACFileChunk()
{
    HTTP_LOCKED;
    if (!PACFileReadFd_)
        return;
    std::uint8_t buffer[kPACReadPiece];
    for (int piece = 0; piece < 64; ++piece) {
        ssize_t n = PACFileReadFd_.read(buffer, sizeof buffer);
        if (n > 0) {
            PACFileData_.insert(PACFileData_.end(), buffer, buffer + n);
            continue;
        }
        if (n < 0 && errno == EAGAIN)
            return;
        finishPACFileRead(n == 0);
        return;
    }
}

void HTTPRequest::finishPACFileRead(bool success)
{
    if (PACReadTimer_)
        PACReadTimer_->invalidate();
    if (PACTimeoutTimer_)
        PACTimeoutTimer_->invalidate();
    PACReadTimer_.reset();
    PACTimeoutTimer_.reset();
    PACFileReadFd_.close();
    if (success) {
        auto text = platform::decodeText(PACFileData_, platform::kUTF8StringEncoding);
        if (!text)
            text = platform::decodeText(PACFileData_, platform::kISOLatin1StringEncoding);
        runPACScript(text);
    }
    PACFileData_.clear();
    if (!cancelled_ && !error_)
        startRequest();
}

void HTTPRequest::finishedDownloadingPACFile(const std::shared_ptr<HTTPRequest>& fetch)
{
    HTTP_LOCKED;
    // A fetch dropped by a cancel has given its width back already.
    if (!fetch || fetch != PACFileRequest_)
        return;
    if (!fetch->error())
        runPACScript(fetch->responseString());
    if (PACFetchWidenedQueue_) {
        PACFetchWidenedQueue_ = false;
        changeSharedQueueWidth(-1);
    }
    PACFileRequest_.reset();
    PACFileDelegate_.reset();
    if (!cancelled_ && !error_)
        startRequest();
}

void HTTPRequest::stopPACFetch()
{
    if (PACFileRequest_) {
        auto fetch = std::move(PACFileRequest_);
        PACFileRequest_.reset();
        PACFileDelegate_.reset();
        fetch->clearDelegatesAndCancel();
    }
    // Whatever ends the fetch, the queue gets its width back once.
    if (PACFetchWidenedQueue_) {
        PACFetchWidenedQueue_ = false;
        changeSharedQueueWidth(-1);
    }
    if (PACFileReadFd_) {
        if (PACReadTimer_)
            PACReadTimer_->invalidate();
        if (PACTimeoutTimer_)
            PACTimeoutTimer_->invalidate();
        PACReadTimer_.reset();
        PACTimeoutTimer_.reset();
        PACFileReadFd_.close();
        PACFileData_.clear();
    }
}

void HTTPRequest::runPACScript(const std::optional<std::string>& script)
{
    if (!script)
        return;
    platform::Error error;
    double limit = std::clamp(timeOutSeconds_, 1.0, 10.0);
    auto entries = platform::PacScript::proxiesForURL(*script, url_, &error, limit);
    // A script that fails or names nothing is ignored: the request goes direct.
    if (!entries || entries->empty())
        return;
    const platform::ProxyEntry& first = entries->front();
    if (first.type == platform::ProxyEntry::Type::None)
        return;
    proxyHost_ = first.host;
    proxyPort_ = first.port;
    proxyType_ = platform::proxyTypeName(first.type);
}
