#include "foundation/http/PacScriptFetch.h"

#include "foundation/http/HTTPRequest.h"
#include "platform/os/StringUtil.h"
#include "platform/os/TextEncoding.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <mutex>

namespace foundation {

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

bool isWebAddress(const platform::Url& url)
{
    std::string scheme = platform::asciiToLower(url.scheme());
    return scheme == "http" || scheme == "https";
}

} // namespace

// The fetch is the engine's own: its answer is not a page, and a proxy it
// would need for itself is not looked up again.
std::shared_ptr<HTTPRequest> PacScriptFetch::scriptRequest(const platform::Url& url, double timeOutSeconds)
{
    auto fetch = HTTPRequest::requestWithURL(url);
    fetch->isPACFileRequest_ = true;
    fetch->setTimeOutSeconds(timeOutSeconds);
    return fetch;
}

PacScriptFetch::PacScriptFetch(platform::RunLoop& loop, std::string mode, Done done)
    : loop_(loop)
    , mode_(std::move(mode))
    , done_(std::move(done))
{
}

PacScriptFetch::~PacScriptFetch() { stop(); }

std::shared_ptr<PacScriptFetch> PacScriptFetch::start(
    const platform::Url& url, double timeOutSeconds, platform::RunLoop& loop, std::string mode, Done done)
{
    if (!url.isFileUrl() && !isWebAddress(url))
        return nullptr;
    std::shared_ptr<PacScriptFetch> fetch(new PacScriptFetch(loop, std::move(mode), std::move(done)));
    if (!url.isFileUrl())
        fetch->startFetching(url, timeOutSeconds);
    else if (!fetch->startReading(url.path(), timeOutSeconds))
        return nullptr;
    return fetch;
}

std::optional<std::string> PacScriptFetch::fetchSynchronously(const platform::Url& url, double timeOutSeconds)
{
    auto fetch = scriptRequest(url, timeOutSeconds);
    fetch->startSynchronous();
    return fetch->error() ? std::nullopt : fetch->responseString();
}

void PacScriptFetch::stop()
{
    done_ = nullptr;
    if (request_) {
        auto fetch = std::move(request_);
        request_.reset();
        delegate_.reset();
        fetch->clearDelegatesAndCancel();
    }
    // Whatever ends the fetch, the queue gets its width back once.
    if (widenedQueue_) {
        widenedQueue_ = false;
        changeSharedQueueWidth(-1);
    }
    stopReading();
}

// MARK: - A file

bool PacScriptFetch::startReading(const std::string& path, double timeOutSeconds)
{
    fd_ = FileDescriptor::open(path, O_RDONLY | O_NONBLOCK);
    if (!fd_)
        return false;
    std::weak_ptr<PacScriptFetch> weak = weak_from_this();
    readTimer_ = platform::Timer::scheduled(
        kPACReadInterval, true,
        [weak](platform::Timer&) {
            if (auto self = weak.lock())
                self->readChunk();
        },
        loop_, mode_);
    // A file that takes longer than the time-out (a pipe nobody writes to) is
    // given up, and the request goes without it.
    timeoutTimer_ = platform::Timer::scheduled(
        timeOutSeconds, false,
        [weak](platform::Timer&) {
            if (auto self = weak.lock()) {
                self->stopReading();
                self->finish(std::nullopt);
            }
        },
        loop_, mode_);
    readChunk();
    return true;
}

void PacScriptFetch::readChunk()
{
    if (!fd_)
        return;
    std::uint8_t buffer[kPACReadPiece];
    for (int piece = 0; piece < 64; ++piece) {
        ssize_t n = fd_.read(buffer, sizeof buffer);
        if (n > 0) {
            data_.insert(data_.end(), buffer, buffer + n);
            continue;
        }
        if (n < 0 && errno == EAGAIN)
            return;
        std::optional<std::string> text;
        if (n == 0) {
            text = platform::decodeText(data_, platform::kUTF8StringEncoding);
            if (!text)
                text = platform::decodeText(data_, platform::kISOLatin1StringEncoding);
        }
        stopReading();
        finish(text);
        return;
    }
}

void PacScriptFetch::stopReading()
{
    if (readTimer_)
        readTimer_->invalidate();
    if (timeoutTimer_)
        timeoutTimer_->invalidate();
    readTimer_.reset();
    timeoutTimer_.reset();
    fd_.close();
    data_.clear();
}

// MARK: - An address

void PacScriptFetch::startFetching(const platform::Url& url, double timeOutSeconds)
{
    request_ = scriptRequest(url, timeOutSeconds);
    request_->setQueuePriority(platform::Operation::High);
    delegate_ = std::make_shared<HTTPRequestDelegate>();
    std::weak_ptr<PacScriptFetch> weak = weak_from_this();
    auto finished = [weak](const HTTPRequestPtr& done) {
        if (auto self = weak.lock())
            self->loop_.post(
                [weak, done] {
                    if (auto again = weak.lock())
                        again->finishFetch(done);
                },
                platform::kCommonRunLoopModes);
    };
    delegate_->requestFinished = finished;
    delegate_->requestFailed = finished;
    request_->setDelegate(delegate_);
    changeSharedQueueWidth(1);
    widenedQueue_ = true;
    request_->startAsynchronous();
}

void PacScriptFetch::finishFetch(const std::shared_ptr<HTTPRequest>& fetch)
{
    // A fetch dropped by a stop has given its width back already.
    if (!fetch || fetch != request_)
        return;
    std::optional<std::string> script = fetch->error() ? std::nullopt : fetch->responseString();
    if (widenedQueue_) {
        widenedQueue_ = false;
        changeSharedQueueWidth(-1);
    }
    request_.reset();
    delegate_.reset();
    finish(script);
}

void PacScriptFetch::finish(const std::optional<std::string>& script)
{
    Done done = std::move(done_);
    done_ = nullptr;
    if (done)
        done(script);
}

} // namespace foundation
