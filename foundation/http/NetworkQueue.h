#pragma once

#include "foundation/http/HTTPRequestDelegate.h"
#include "platform/os/OperationQueue.h"
#include "platform/os/Value.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace foundation {

class HTTPRequest;
class NetworkQueue;

using QueueSelector = DelegateSelector<const std::shared_ptr<NetworkQueue>&>;

// A queue of HTTP requests: at most four run at a time, their progress is
// added up for one pair of indicators, their events are relayed to one
// delegate, and by default the first failure cancels the rest. A new queue
// holds everything back until go().
//
// The queue is the `queue` of every request it runs, so the requests report
// to it on the main loop after their own delegate and blocks. It is made
// through queue() (it lives in a shared_ptr), and its settings are meant to be
// changed on the main thread.
class NetworkQueue : public platform::OperationQueue,
                     public HTTPRequestDelegate,
                     public ProgressDelegate,
                     public std::enable_shared_from_this<NetworkQueue> {
public:
    static std::shared_ptr<NetworkQueue> queue();
    ~NetworkQueue() override;

    // A new suspended queue with this one's delegate, selectors, progress
    // delegates, cancel setting, progress mode and a copy of its user info; no
    // requests and fresh totals.
    virtual std::shared_ptr<NetworkQueue> copyWithZone() const;

    // Lets the requests start.
    void go();
    // Takes HTTP requests only. Anything else is logged
    // ("AttemptToAddInvalidRequest") and dropped rather than raised: nothing
    // throws across libraries, and a stray operation must not bring down the
    // owner's queue.
    void addOperation(const std::shared_ptr<platform::Operation>& op) override;
    // Zeroes the progress totals, then cancels every queued and running request.
    void cancelAllOperations();
    // Cancels everything, forgets the delegate, the progress delegates and
    // every selector but the redirect one, and suspends the queue again.
    void reset();

    std::weak_ptr<HTTPRequestDelegate> delegate() const;
    void setDelegate(std::weak_ptr<HTTPRequestDelegate> delegate);
    void setRequestDidStartSelector(RequestSelector selector);
    void setRequestDidReceiveResponseHeadersSelector(HeadersSelector selector);
    void setRequestWillRedirectSelector(RedirectSelector selector);
    void setRequestDidFinishSelector(RequestSelector selector);
    void setRequestDidFailSelector(RequestSelector selector);
    void setQueueDidFinishSelector(QueueSelector selector);

    std::weak_ptr<ProgressDelegate> uploadProgressDelegate() const;
    // Also sets the new indicator back to 0.
    void setUploadProgressDelegate(std::weak_ptr<ProgressDelegate> delegate);
    std::weak_ptr<ProgressDelegate> downloadProgressDelegate() const;
    void setDownloadProgressDelegate(std::weak_ptr<ProgressDelegate> delegate);

    unsigned long long bytesUploadedSoFar() const { return bytesUploadedSoFar_.load(); }
    void setBytesUploadedSoFar(unsigned long long bytes) { bytesUploadedSoFar_.store(bytes); }
    unsigned long long totalBytesToUpload() const { return totalBytesToUpload_.load(); }
    void setTotalBytesToUpload(unsigned long long bytes) { totalBytesToUpload_.store(bytes); }
    unsigned long long bytesDownloadedSoFar() const { return bytesDownloadedSoFar_.load(); }
    void setBytesDownloadedSoFar(unsigned long long bytes) { bytesDownloadedSoFar_.store(bytes); }
    unsigned long long totalBytesToDownload() const { return totalBytesToDownload_.load(); }
    void setTotalBytesToDownload(unsigned long long bytes) { totalBytesToDownload_.store(bytes); }

    bool shouldCancelAllRequestsOnFailure() const { return shouldCancelAllRequestsOnFailure_.load(); }
    void setShouldCancelAllRequestsOnFailure(bool cancel) { shouldCancelAllRequestsOnFailure_.store(cancel); }
    // Requests added and not yet finished or failed.
    int requestsCount() const { return requestsCount_.load(); }
    bool showAccurateProgress() const { return showAccurateProgress_.load(); }
    void setShowAccurateProgress(bool accurate) { showAccurateProgress_.store(accurate); }
    platform::Dictionary userInfo() const;
    void setUserInfo(platform::Dictionary userInfo);

    // A request of this queue that meets a challenge asks the queue's
    // delegate, when that delegate answers such questions.
    std::function<void(const HTTPRequestPtr& request)> credentialsHandler(bool forProxy) override;

protected:
    NetworkQueue();

private:
    void addHEADOperation(const std::shared_ptr<HTTPRequest>& request);
    void relayStarted(const HTTPRequestPtr& request);
    void relayHeaders(const HTTPRequestPtr& request, const platform::Dictionary& headers);
    void relayRedirect(const HTTPRequestPtr& request, const platform::Url& newURL);
    void relayFinished(const HTTPRequestPtr& request);
    void relayFailed(const HTTPRequestPtr& request);
    void requestDone(const HTTPRequestPtr& request, bool failed);
    // Adds a signed amount to a total, never going below zero: a request that
    // takes back bytes after the totals were cleared must not wrap them.
    static unsigned long long addClamped(std::atomic<unsigned long long>& total, long long amount);
    static void showProgress(
        const std::weak_ptr<ProgressDelegate>& delegate, unsigned long long done, unsigned long long total);
    static void resetProgress(const std::weak_ptr<ProgressDelegate>& delegate);

    mutable std::mutex mutex_;
    std::weak_ptr<HTTPRequestDelegate> delegate_;
    RequestSelector requestDidStartSelector_;
    HeadersSelector requestDidReceiveResponseHeadersSelector_;
    RedirectSelector requestWillRedirectSelector_;
    RequestSelector requestDidFinishSelector_;
    RequestSelector requestDidFailSelector_;
    QueueSelector queueDidFinishSelector_;
    std::weak_ptr<ProgressDelegate> uploadProgressDelegate_;
    std::weak_ptr<ProgressDelegate> downloadProgressDelegate_;
    platform::Dictionary userInfo_;

    std::atomic<unsigned long long> bytesUploadedSoFar_ { 0 };
    std::atomic<unsigned long long> totalBytesToUpload_ { 0 };
    std::atomic<unsigned long long> bytesDownloadedSoFar_ { 0 };
    std::atomic<unsigned long long> totalBytesToDownload_ { 0 };
    std::atomic<bool> shouldCancelAllRequestsOnFailure_ { true };
    std::atomic<int> requestsCount_ { 0 };
    std::atomic<bool> showAccurateProgress_ { false };
};

// Widens an operation queue by one slot for as long as it lives, and gives
// the slot back exactly once: when it is released or destroyed, whichever
// comes first. A fetch that needs a slot of its own while the requests that
// wait for it hold the others (a proxy script download, say) takes one of
// these, so that however the fetch ends, finished or cancelled, the queue
// goes back to its width.
class OperationQueueWidening final {
public:
    OperationQueueWidening() = default;
    explicit OperationQueueWidening(platform::OperationQueue& queue);
    ~OperationQueueWidening() { release(); }
    OperationQueueWidening(OperationQueueWidening&& other) noexcept;
    OperationQueueWidening& operator=(OperationQueueWidening&& other) noexcept;
    OperationQueueWidening(const OperationQueueWidening&) = delete;
    OperationQueueWidening& operator=(const OperationQueueWidening&) = delete;

    void release();
    bool isHeld() const { return queue_ != nullptr; }

private:
    platform::OperationQueue* queue_ = nullptr;
};

} // namespace foundation
