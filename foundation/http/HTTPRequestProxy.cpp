#include "foundation/http/HTTPRequest.h"

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

std::optional<std::string> HTTPRequest::proxyHost() const { return locked(settings_.proxyHost); }
void HTTPRequest::setProxyHost(std::optional<std::string> host) { setLocked(settings_.proxyHost, std::move(host)); }
int HTTPRequest::proxyPort() const { return locked(settings_.proxyPort); }
void HTTPRequest::setProxyPort(int port) { setLocked(settings_.proxyPort, port); }
std::optional<std::string> HTTPRequest::proxyType() const { return locked(settings_.proxyType); }
void HTTPRequest::setProxyType(std::optional<std::string> type) { setLocked(settings_.proxyType, std::move(type)); }
std::optional<platform::Url> HTTPRequest::PACurl() const { return locked(settings_.PACurl); }
void HTTPRequest::setPACurl(std::optional<platform::Url> url) { setLocked(settings_.PACurl, std::move(url)); }
bool HTTPRequest::isPACFileRequest() const { return locked(isPACFileRequest_); }

// MARK: - Choosing the proxy

bool HTTPRequest::configureProxies()
{
    if (isPACFileRequest_ || settings_.proxyHost || settings_.proxyPort != 0)
        return true;
    if (settings_.PACurl) {
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
        settings_.PACurl = first.autoConfigurationURL;
        fetchPACFile();
        return false;
    }
    if (first.type != platform::ProxyEntry::Type::None) {
        settings_.proxyHost = first.host;
        settings_.proxyPort = first.port;
        settings_.proxyType = platform::proxyTypeName(first.type);
    }
    return true;
}

void HTTPRequest::applyProxyToStream(platform::HttpStream& stream)
{
    if (!settings_.proxyHost || settings_.proxyHost->empty() || settings_.proxyPort == 0)
        return;
    std::string type = settings_.proxyType.value_or(platform::kProxyTypeHTTP);
    platform::ProxySettings proxy;
    proxy.host = *settings_.proxyHost;
    proxy.port = settings_.proxyPort;
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
    platform::Url pac = *settings_.PACurl;
    if (pac.isFileUrl()) {
        transfer_.PACFileReadFd = FileDescriptor::open(pac.path(), O_RDONLY | O_NONBLOCK);
        if (!transfer_.PACFileReadFd) {
            startRequest();
            return;
        }
        transfer_.PACFileData.clear();
        std::weak_ptr<HTTPRequest> weak = self();
        transfer_.PACReadTimer = platform::Timer::scheduled(
            kPACReadInterval, true,
            [weak](platform::Timer&) {
                if (auto request = weak.lock())
                    request->readPACFileChunk();
            },
            requestLoop(), runLoopMode_);
        // A file that takes longer than the time-out (a pipe nobody writes
        // to) is given up, and the request goes without it.
        transfer_.PACTimeoutTimer = platform::Timer::scheduled(
            transfer_.options.timeOutSeconds, false,
            [weak](platform::Timer&) {
                if (auto request = weak.lock()) {
                    Guard lock(request->cancelledLock_);
                    if (request->transfer_.PACFileReadFd)
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
    fetch->settings_.options.timeOutSeconds = transfer_.options.timeOutSeconds;
    if (isSynchronous_) {
        fetch->startSynchronous();
        if (!fetch->error())
            runPACScript(fetch->responseString());
        startRequest();
        return;
    }

    transfer_.PACFileRequest = fetch;
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
    transfer_.PACFileDelegate = delegate;
    fetch->setDelegate(delegate);
    // The fetch must not wait behind the requests it holds up.
    changeSharedQueueWidth(1);
    transfer_.PACFetchWidenedQueue = true;
    fetch->startAsynchronous();
}

void HTTPRequest::readPACFileChunk()
{
    Guard lock(cancelledLock_);
    if (!transfer_.PACFileReadFd)
        return;
    std::uint8_t buffer[kPACReadPiece];
    for (int piece = 0; piece < 64; ++piece) {
        ssize_t n = transfer_.PACFileReadFd.read(buffer, sizeof buffer);
        if (n > 0) {
            transfer_.PACFileData.insert(transfer_.PACFileData.end(), buffer, buffer + n);
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
    if (transfer_.PACReadTimer)
        transfer_.PACReadTimer->invalidate();
    if (transfer_.PACTimeoutTimer)
        transfer_.PACTimeoutTimer->invalidate();
    transfer_.PACReadTimer.reset();
    transfer_.PACTimeoutTimer.reset();
    transfer_.PACFileReadFd.close();
    if (success) {
        auto text = platform::decodeText(transfer_.PACFileData, platform::kUTF8StringEncoding);
        if (!text)
            text = platform::decodeText(transfer_.PACFileData, platform::kISOLatin1StringEncoding);
        runPACScript(text);
    }
    transfer_.PACFileData.clear();
    if (!cancelled_ && !error_)
        startRequest();
}

void HTTPRequest::finishedDownloadingPACFile(const std::shared_ptr<HTTPRequest>& fetch)
{
    Guard lock(cancelledLock_);
    // A fetch dropped by a cancel has given its width back already.
    if (!fetch || fetch != transfer_.PACFileRequest)
        return;
    if (!fetch->error())
        runPACScript(fetch->responseString());
    if (transfer_.PACFetchWidenedQueue) {
        transfer_.PACFetchWidenedQueue = false;
        changeSharedQueueWidth(-1);
    }
    transfer_.PACFileRequest.reset();
    transfer_.PACFileDelegate.reset();
    if (!cancelled_ && !error_)
        startRequest();
}

void HTTPRequest::stopPACFetch()
{
    if (transfer_.PACFileRequest) {
        auto fetch = std::move(transfer_.PACFileRequest);
        transfer_.PACFileRequest.reset();
        transfer_.PACFileDelegate.reset();
        fetch->clearDelegatesAndCancel();
    }
    // Whatever ends the fetch, the queue gets its width back once.
    if (transfer_.PACFetchWidenedQueue) {
        transfer_.PACFetchWidenedQueue = false;
        changeSharedQueueWidth(-1);
    }
    if (transfer_.PACFileReadFd) {
        if (transfer_.PACReadTimer)
            transfer_.PACReadTimer->invalidate();
        if (transfer_.PACTimeoutTimer)
            transfer_.PACTimeoutTimer->invalidate();
        transfer_.PACReadTimer.reset();
        transfer_.PACTimeoutTimer.reset();
        transfer_.PACFileReadFd.close();
        transfer_.PACFileData.clear();
    }
}

void HTTPRequest::runPACScript(const std::optional<std::string>& script)
{
    if (!script)
        return;
    platform::Error error;
    double limit = std::clamp(transfer_.options.timeOutSeconds, 1.0, 10.0);
    auto entries = platform::PacScript::proxiesForURL(*script, url_, &error, limit);
    // A script that fails or names nothing is ignored: the request goes direct.
    if (!entries || entries->empty())
        return;
    const platform::ProxyEntry& first = entries->front();
    if (first.type == platform::ProxyEntry::Type::None)
        return;
    settings_.proxyHost = first.host;
    settings_.proxyPort = first.port;
    settings_.proxyType = platform::proxyTypeName(first.type);
}
