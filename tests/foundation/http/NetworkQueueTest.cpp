#include "foundation/http/NetworkQueue.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/Log.h"
#include "tests/foundation/http/HttpTestHarness.h"
#include "tests/foundation/http/TestUtil.h"
#include "tests/support/TestHttpServer.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>

using foundation::AuthenticationErrorType;
using foundation::ConnectionFailureErrorType;
using foundation::HTTPRequest;
using foundation::HTTPRequestDelegate;
using foundation::HTTPRequestPtr;
using foundation::NetworkQueue;
using foundation::OperationQueueWidening;
using foundation::ProgressDelegate;
using foundation::QueueSelector;
using foundation::RedirectSelector;
using foundation::RequestCancelledErrorType;
using foundation::RequestSelector;

using namespace http_test;
using testsupport::TestConnection;
using testsupport::TestHttpServer;
using testsupport::TestRequest;
using testsupport::TestResponse;

namespace {

// The owner of a queue: counts what the queue relays.
class QueueOwner : public HTTPRequestDelegate {
public:
    void didFinish(const HTTPRequestPtr& request) { finished.push_back(request); }
    void didFail(const HTTPRequestPtr& request) { failed.push_back(request); }
    void didStart(const HTTPRequestPtr&) { ++started; }
    void queueDone(const std::shared_ptr<NetworkQueue>& queue)
    {
        ++queueFinishedCount;
        countAtQueueFinish = queue->requestsCount();
    }
    void watch(NetworkQueue& queue)
    {
        queue.setRequestDidFinishSelector(RequestSelector::method(&QueueOwner::didFinish));
        queue.setRequestDidFailSelector(RequestSelector::method(&QueueOwner::didFail));
        queue.setRequestDidStartSelector(RequestSelector::method(&QueueOwner::didStart));
        queue.setQueueDidFinishSelector(QueueSelector::method(&QueueOwner::queueDone));
    }
    std::vector<HTTPRequestPtr> finished;
    std::vector<HTTPRequestPtr> failed;
    int started = 0;
    int queueFinishedCount = 0;
    int countAtQueueFinish = -1;
};

class Indicator : public ProgressDelegate {
public:
    Indicator()
    {
        setProgress = [this](float progress) { values.push_back(progress); };
    }
    std::vector<float> values;
};

class NetworkQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        // Counts how many requests the server is serving at once.
        server.on("/slow", [this](const TestRequest&, TestConnection& connection) {
            int now = ++concurrent;
            int seen = maxConcurrent.load();
            while (now > seen && !maxConcurrent.compare_exchange_weak(seen, now)) { }
            connection.sleep(slowSeconds.load());
            --concurrent;
            connection.respond(TestResponse::make(200, "slow"));
        });
        server.on("/fail", [](const TestRequest&, TestConnection& connection) {
            connection.sleep(0.1);
            connection.reset();
        });
        for (auto [path, size] : { std::pair<std::string, std::size_t> { "/blob1", 10000 }, { "/blob2", 5000 } }) {
            std::string body(size, 'x');
            server.on(path, [body](const TestRequest& request, TestConnection& connection) {
                TestResponse response = TestResponse::make(200, request.method == "HEAD" ? "" : body);
                if (request.method == "HEAD") {
                    response.headers = { { "Content-Length", std::to_string(body.size()) } };
                    response.framing = TestResponse::Framing::None;
                }
                connection.respond(response);
            });
        }
        owner = std::make_shared<QueueOwner>();
        queue = NetworkQueue::queue();
        queue->setDelegate(owner);
        owner->watch(*queue);
    }
    std::shared_ptr<HTTPRequest> request(const std::string& path)
    {
        auto request = HTTPRequest::requestWithURL(*platform::Url::parse(server.url(path)));
        request->setTimeOutSeconds(5);
        return request;
    }
    bool waitForQueue(double seconds = 10)
    {
        return platform::RunLoop::main().runUntil([this] { return owner->queueFinishedCount > 0; }, seconds);
    }

    TestHttpServer server;
    std::atomic<int> concurrent { 0 };
    std::atomic<int> maxConcurrent { 0 };
    std::atomic<double> slowSeconds { 0.4 };
    std::shared_ptr<QueueOwner> owner;
    std::shared_ptr<NetworkQueue> queue;
};

} // namespace

TEST_F(NetworkQueueTest, HoldsEverythingUntilGoThenRunsFourAtATime)
{
    std::vector<std::shared_ptr<HTTPRequest>> requests;
    for (int i = 0; i < 6; ++i) {
        requests.push_back(request("/slow"));
        queue->addOperation(requests.back());
    }
    EXPECT_EQ(queue->requestsCount(), 6);
    pumpMainLoop(0.3);
    EXPECT_EQ(server.requests().size(), 0u) << "a request started before go";
    EXPECT_EQ(owner->started, 0);

    queue->go();
    ASSERT_TRUE(waitForQueue());
    EXPECT_EQ(maxConcurrent.load(), 4);
    EXPECT_EQ(server.requests().size(), 6u);
    EXPECT_EQ(owner->finished.size(), 6u);
    EXPECT_EQ(owner->started, 6);
    EXPECT_EQ(owner->queueFinishedCount, 1);
    EXPECT_EQ(owner->countAtQueueFinish, 0);
    for (auto& r : requests) {
        EXPECT_EQ(r->queue().get(), queue.get());
        EXPECT_EQ(bodyText(r), "slow");
    }
    // Requests added after go start as slots free up, and the finish comes again.
    queue->addOperation(request("/slow"));
    ASSERT_TRUE(platform::RunLoop::main().runUntil([this] { return owner->queueFinishedCount == 2; }, 10));
    EXPECT_EQ(owner->finished.size(), 7u);
}

TEST_F(NetworkQueueTest, FirstFailureCancelsTheRestUnlessSwitchedOff)
{
    // The others would take 30 s to their end; the server's stop cuts them short.
    slowSeconds = 30;
    auto failing = request("/fail");
    std::vector<std::shared_ptr<HTTPRequest>> others { request("/slow"), request("/slow"), request("/slow") };
    queue->addOperation(failing);
    for (auto& r : others)
        queue->addOperation(r);
    auto started = std::chrono::steady_clock::now();
    queue->go();
    ASSERT_TRUE(waitForQueue());
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(elapsed, 20.0) << "the others ran to their end";
    ASSERT_EQ(owner->failed.size(), 4u);
    EXPECT_EQ(owner->failed.front(), failing);
    EXPECT_EQ(failing->error()->code(), ConnectionFailureErrorType);
    for (auto& r : others) {
        ASSERT_TRUE(r->error());
        EXPECT_EQ(r->error()->code(), RequestCancelledErrorType);
    }
    EXPECT_TRUE(owner->finished.empty());
    pumpMainLoop(0.2);
    EXPECT_EQ(owner->queueFinishedCount, 1);

    // Switched off: the failure stays alone.
    slowSeconds = 0.3;
    auto second = std::make_shared<QueueOwner>();
    auto tolerant = NetworkQueue::queue();
    tolerant->setDelegate(second);
    second->watch(*tolerant);
    tolerant->setShouldCancelAllRequestsOnFailure(false);
    tolerant->addOperation(request("/fail"));
    for (int i = 0; i < 3; ++i)
        tolerant->addOperation(request("/slow"));
    tolerant->go();
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return second->queueFinishedCount > 0; }, 10));
    EXPECT_EQ(second->failed.size(), 1u);
    EXPECT_EQ(second->finished.size(), 3u);
    pumpMainLoop(0.2);
    EXPECT_EQ(second->queueFinishedCount, 1);
}

TEST_F(NetworkQueueTest, AccurateProgressMeasuresDownloadsWithHeadRequestsFirst)
{
    auto download = std::make_shared<Indicator>();
    queue->setShowAccurateProgress(true);
    queue->setDownloadProgressDelegate(download);
    auto first = request("/blob1");
    auto second = request("/blob2");
    queue->addOperation(first);
    queue->addOperation(second);
    // Both HEAD requests are queued and counted apart from the owner's requests.
    EXPECT_EQ(queue->requestsCount(), 2);
    EXPECT_EQ(queue->operationCount(), 4u);
    queue->go();
    ASSERT_TRUE(waitForQueue());
    pumpMainLoop(0.1);

    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 4u);
    for (std::string path : { "/blob1", "/blob2" }) {
        auto head
            = std::find_if(seen.begin(), seen.end(), [&](auto& r) { return r.path == path && r.method == "HEAD"; });
        auto get = std::find_if(seen.begin(), seen.end(), [&](auto& r) { return r.path == path && r.method == "GET"; });
        ASSERT_NE(head, seen.end()) << path;
        ASSERT_NE(get, seen.end()) << path;
        EXPECT_LT(head - seen.begin(), get - seen.begin()) << "the size is asked for before the download";
    }
    // The sizes came from the HEAD answers and were counted once.
    EXPECT_EQ(queue->totalBytesToDownload(), 15000u);
    EXPECT_EQ(queue->bytesDownloadedSoFar(), 15000u);
    EXPECT_EQ(owner->finished.size(), 2u) << "HEAD requests report nothing of their own";
    EXPECT_EQ(owner->started, 2);
    ASSERT_FALSE(download->values.empty());
    EXPECT_FLOAT_EQ(download->values.back(), 1.0f);
    EXPECT_TRUE(std::is_sorted(download->values.begin() + 1, download->values.end()));
    EXPECT_EQ(first->contentLength(), 10000u);
    EXPECT_EQ(bodyText(second), std::string(5000, 'x'));
}

TEST_F(NetworkQueueTest, OneUnitPerRequestWithoutAccurateProgress)
{
    server.on("/send", [](const TestRequest& request, TestConnection& connection) {
        connection.respond(TestResponse::make(200, "got " + std::to_string(request.body.size())));
    });
    // Downloads alone, and sends with a body (the chat queue's kind): every
    // request reports one unit each way it goes, and both indicators end full.
    struct Row {
        const char* name;
        std::vector<std::string> paths;
        std::vector<std::string> bodies;
        unsigned long long uploadUnits;
    };
    const Row rows[] = {
        { "downloads", { "/blob1", "/blob2" }, { "", "" }, 0 },
        { "posts", { "/send", "/send" }, { "first message", "second" }, 2 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        server.clearLog();
        auto rowOwner = std::make_shared<QueueOwner>();
        auto rowQueue = NetworkQueue::queue();
        rowQueue->setDelegate(rowOwner);
        rowOwner->watch(*rowQueue);
        auto upload = std::make_shared<Indicator>();
        auto download = std::make_shared<Indicator>();
        rowQueue->setUploadProgressDelegate(upload);
        rowQueue->setDownloadProgressDelegate(download);
        for (std::size_t i = 0; i < row.paths.size(); ++i) {
            auto r = request(row.paths[i]);
            if (!row.bodies[i].empty())
                r->setPostBody(toBytes(row.bodies[i]));
            rowQueue->addOperation(r);
        }
        EXPECT_EQ(rowQueue->totalBytesToDownload(), 2u);
        rowQueue->go();
        ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return rowOwner->queueFinishedCount > 0; }, 10));
        pumpMainLoop(0.1);
        EXPECT_EQ(rowOwner->finished.size(), 2u);
        EXPECT_EQ(rowQueue->bytesDownloadedSoFar(), 2u);
        EXPECT_EQ(rowQueue->bytesUploadedSoFar(), row.uploadUnits);
        std::vector<float> units;
        for (float v : download->values)
            if (v > 0)
                units.push_back(v);
        ASSERT_EQ(units.size(), 2u);
        EXPECT_FLOAT_EQ(units[0], 0.5f);
        EXPECT_FLOAT_EQ(units[1], 1.0f);
        if (row.uploadUnits > 0) {
            ASSERT_FALSE(upload->values.empty());
            EXPECT_FLOAT_EQ(upload->values.back(), 1.0f);
        }
        EXPECT_EQ(server.requests().size(), 2u) << "no HEAD requests without accurate progress";
    }
}

TEST_F(NetworkQueueTest, HeadRequestCarriesTheMainRequestsSettingsAndBuiltHeaders)
{
    auto measured = request("/blob1");
    measured->setUseKeychainPersistence(true);
    measured->setUseSessionPersistence(false);
    measured->setUseCookiePersistence(false);
    measured->setUsername(std::string("parent"));
    measured->setPassword(std::string("pw"));
    measured->setDomain(std::string("SCHOOL"));
    measured->setProxyUsername(std::string("proxy-user"));
    measured->setProxyPassword(std::string("proxy-pw"));
    measured->setProxyDomain(std::string("PROXY"));
    measured->setProxyHost(std::string("proxy.example"));
    measured->setProxyPort(3128);
    measured->setProxyType(std::string("SOCKS"));
    measured->setShouldPresentAuthenticationDialog(true);
    measured->setShouldPresentProxyAuthenticationDialog(false);
    measured->setPACurl(platform::Url::parse("http://127.0.0.1:1/proxy.pac"));
    measured->setTimeOutSeconds(7);
    measured->setNumberOfTimesToRetryOnTimeout(2);
    auto head = measured->HEADRequest();
    EXPECT_EQ(head->requestMethod(), "HEAD");
    EXPECT_EQ(head->mainRequest(), measured);
    EXPECT_TRUE(head->useKeychainPersistence());
    EXPECT_FALSE(head->useSessionPersistence());
    EXPECT_FALSE(head->useCookiePersistence());
    EXPECT_EQ(head->username(), measured->username());
    EXPECT_EQ(head->password(), measured->password());
    EXPECT_EQ(head->domain(), measured->domain());
    EXPECT_EQ(head->proxyUsername(), measured->proxyUsername());
    EXPECT_EQ(head->proxyPassword(), measured->proxyPassword());
    EXPECT_EQ(head->proxyDomain(), measured->proxyDomain());
    EXPECT_EQ(head->proxyHost(), measured->proxyHost());
    EXPECT_EQ(head->proxyPort(), 3128);
    EXPECT_EQ(head->proxyType(), measured->proxyType());
    EXPECT_TRUE(head->shouldPresentAuthenticationDialog());
    EXPECT_FALSE(head->shouldPresentProxyAuthenticationDialog());
    EXPECT_EQ(head->PACurl(), measured->PACurl());
    EXPECT_EQ(head->timeOutSeconds(), 7);
    EXPECT_EQ(head->numberOfTimesToRetryOnTimeout(), 2);

    // A resumed download measured by the queue: the HEAD request asks for
    // what the download will ask for, from the same byte on, with the same cookies.
    TempDir dir;
    const std::string body = toString(sampleBytes(10000, 4));
    writeFile(dir.file("partial"), toBytes(body.substr(0, 4000)));
    server.on("/resume", [body](const TestRequest& request, TestConnection& connection) {
        std::size_t from = 0;
        if (auto range = request.header("Range"); range && range->rfind("bytes=", 0) == 0)
            from = std::stoul(range->substr(6));
        TestResponse response = TestResponse::make(from ? 206 : 200, request.method == "HEAD" ? "" : body.substr(from));
        response.headers = { { "Content-Length", std::to_string(body.size() - from) } };
        if (from)
            response.headers.push_back(
                { "Content-Range", "bytes " + std::to_string(from) + "-9999/" + std::to_string(body.size()) });
        if (request.method == "HEAD")
            response.framing = TestResponse::Framing::None;
        connection.respond(response);
    });
    platform::HttpCookie cookie;
    cookie.name = "sid";
    cookie.value = "resume";
    cookie.domain = "127.0.0.1";
    auto resumed = request("/resume");
    resumed->setRequestCookies({ cookie });
    resumed->setDownloadDestinationPath(dir.file("done"));
    resumed->setTemporaryFileDownloadPath(dir.file("partial"));
    resumed->setAllowResumeForFileDownloads(true);
    resumed->addRequestHeader("X-Owner", "kept");
    queue->setShowAccurateProgress(true);
    queue->addOperation(resumed);
    queue->go();
    ASSERT_TRUE(waitForQueue());
    ASSERT_FALSE(resumed->error()) << resumed->error()->description();
    EXPECT_TRUE(toString(readFile(dir.file("done"))) == body);

    auto seen = server.requests();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].method, "HEAD");
    EXPECT_EQ(seen[1].method, "GET");
    EXPECT_EQ(seen[0].header("Range").value_or("none"), "bytes=4000-");
    for (const char* name : { "Range", "Cookie", "User-Agent", "Accept-Encoding", "X-Owner" })
        EXPECT_EQ(seen[0].header(name).value_or("none"), seen[1].header(name).value_or("other")) << name;
    EXPECT_EQ(queue->totalBytesToDownload(), body.size());
}

TEST_F(NetworkQueueTest, ChallengesAreAnsweredByTheQueuesDelegate)
{
    server.on("/private", [](const TestRequest& request, TestConnection& connection) {
        if (request.header("Authorization")
            == std::optional<std::string>("Basic " + HTTPRequest::base64forData(toBytes("parent:answer")))) {
            connection.respond(TestResponse::make(200, "private"));
            return;
        }
        connection.respond(TestResponse::make(401, "no", { { "WWW-Authenticate", "Basic realm=\"Class\"" } }));
    });
    // The queue speaks for its delegate: it answers for credentials only when
    // the delegate does, and then the delegate's answer is used.
    for (bool answers : { true, false }) {
        SCOPED_TRACE(answers ? "delegate answers" : "delegate cannot answer");
        HTTPRequest::clearSession();
        int asked = 0;
        auto rowOwner = std::make_shared<QueueOwner>();
        if (answers)
            rowOwner->authenticationNeededForRequest = [&asked](const HTTPRequestPtr& challenged) {
                ++asked;
                EXPECT_TRUE(platform::RunLoop::isMainThread());
                challenged->setUsername(std::string("parent"));
                challenged->setPassword(std::string("answer"));
                challenged->retryUsingSuppliedCredentials();
            };
        auto rowQueue = NetworkQueue::queue();
        rowQueue->setDelegate(rowOwner);
        rowOwner->watch(*rowQueue);
        EXPECT_EQ(static_cast<bool>(rowQueue->credentialsHandler(false)), answers);
        EXPECT_FALSE(rowQueue->credentialsHandler(true)) << "nobody answers for the proxy";
        auto guarded = request("/private");
        rowQueue->addOperation(guarded);
        rowQueue->go();
        ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return rowOwner->queueFinishedCount > 0; }, 10));
        if (answers) {
            EXPECT_EQ(asked, 1);
            ASSERT_FALSE(guarded->error()) << guarded->error()->description();
            EXPECT_EQ(bodyText(guarded), "private");
            EXPECT_EQ(rowOwner->finished.size(), 1u);
        } else {
            ASSERT_TRUE(guarded->error());
            EXPECT_EQ(guarded->error()->code(), AuthenticationErrorType);
            EXPECT_EQ(rowOwner->failed.size(), 1u);
        }
    }
    HTTPRequest::clearSession();
}

TEST_F(NetworkQueueTest, ProgressNeverGoesBelowZero)
{
    auto upload = std::make_shared<Indicator>();
    queue->setUploadProgressDelegate(upload);
    queue->requestIncrementUploadSizeBy(nullptr, 100);
    queue->requestDidSendBytes(nullptr, 60);
    EXPECT_EQ(queue->bytesUploadedSoFar(), 60u);
    queue->cancelAllOperations();
    EXPECT_EQ(queue->bytesUploadedSoFar(), 0u);
    EXPECT_EQ(queue->totalBytesToUpload(), 0u);
    // A retried upload takes back what it had reported before the totals were cleared.
    queue->requestDidSendBytes(nullptr, -60);
    queue->requestIncrementUploadSizeBy(nullptr, -40);
    queue->requestDidReceiveBytes(nullptr, -5);
    EXPECT_EQ(queue->bytesUploadedSoFar(), 0u);
    EXPECT_EQ(queue->totalBytesToUpload(), 0u);
    EXPECT_EQ(queue->bytesDownloadedSoFar(), 0u);
    for (float v : upload->values) {
        EXPECT_GE(v, 0.0f);
        EXPECT_LE(v, 1.0f);
    }
}

TEST_F(NetworkQueueTest, RefusesWhatIsNotARequest)
{
    class Plain final : public platform::Operation { };
    platform::LogCapture capture;
    queue->addOperation(std::make_shared<Plain>());
    EXPECT_TRUE(capture.contains("AttemptToAddInvalidRequest"));
    EXPECT_TRUE(capture.contains("Attempted to add an object that was not an HTTPRequest to a NetworkQueue"));
    EXPECT_EQ(queue->operationCount(), 0u);
    EXPECT_EQ(queue->requestsCount(), 0);
}

TEST_F(NetworkQueueTest, CopyKeepsSettingsAndResetForgetsThem)
{
    queue->setShouldCancelAllRequestsOnFailure(false);
    queue->setShowAccurateProgress(true);
    platform::Dictionary info;
    info.set("chat", platform::Value("42"));
    queue->setUserInfo(info);
    queue->go();
    auto copy = queue->copyWithZone();
    EXPECT_FALSE(copy->shouldCancelAllRequestsOnFailure());
    EXPECT_TRUE(copy->showAccurateProgress());
    EXPECT_EQ(copy->userInfo(), info);
    EXPECT_EQ(copy->delegate().lock(), owner);
    EXPECT_TRUE(copy->isSuspended());
    EXPECT_EQ(copy->requestsCount(), 0);

    // The copy relays to the same owner.
    copy->setShowAccurateProgress(false);
    copy->addOperation(request("/blob2"));
    copy->go();
    ASSERT_TRUE(waitForQueue());
    EXPECT_EQ(owner->finished.size(), 1u);

    queue->reset();
    EXPECT_TRUE(queue->isSuspended());
    EXPECT_TRUE(queue->delegate().expired());
    auto later = request("/blob2");
    queue->addOperation(later);
    queue->go();
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return later->complete(); }, 10));
    pumpMainLoop(0.1);
    EXPECT_EQ(owner->finished.size(), 1u) << "a reset queue relays to nobody";
}

TEST_F(NetworkQueueTest, RedirectConfirmationGoesToTheOwnerOrGoesOn)
{
    TestResponse moved;
    moved.status = 302;
    moved.headers = { { "Location", "/blob2" } };
    server.on("/moved", TestHttpServer::reply(moved));

    std::vector<std::string> asked;
    class Confirming : public HTTPRequestDelegate {
    public:
        std::vector<std::string>* asked = nullptr;
        void confirm(const HTTPRequestPtr& request, const platform::Url& url)
        {
            asked->push_back(url.absoluteString());
            request->redirectToURL(url);
        }
    };
    auto confirming = std::make_shared<Confirming>();
    confirming->asked = &asked;
    confirming->requestFinished = [](const HTTPRequestPtr&) {};
    queue->setDelegate(confirming);
    queue->setRequestWillRedirectSelector(RedirectSelector::method(&Confirming::confirm));
    auto moving = request("/moved");
    queue->addOperation(moving);
    queue->go();
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return moving->complete() && !moving->needsRedirect(); }, 10));
    pumpMainLoop(0.1);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], server.url("/blob2"));
    EXPECT_EQ(bodyText(moving), std::string(5000, 'x'));

    // The owner went away: the request is not left waiting for an answer.
    confirming.reset();
    auto orphan = request("/moved");
    queue->addOperation(orphan);
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&] { return orphan->complete() && !orphan->needsRedirect(); }, 10));
    pumpMainLoop(0.1);
    EXPECT_EQ(bodyText(orphan), std::string(5000, 'x'));
}

TEST(OperationQueueWideningTest, GivesTheSlotBackExactlyOnce)
{
    platform::OperationQueue queue;
    queue.setMaxConcurrentOperationCount(4);
    {
        OperationQueueWidening fetch(queue);
        EXPECT_EQ(queue.maxConcurrentOperationCount(), 5);
        OperationQueueWidening another(queue);
        EXPECT_EQ(queue.maxConcurrentOperationCount(), 6);
        // A fetch that finishes gives its slot back; its cancellation later gives nothing more.
        another.release();
        another.release();
        EXPECT_EQ(queue.maxConcurrentOperationCount(), 5);
        OperationQueueWidening moved(std::move(fetch));
        EXPECT_FALSE(fetch.isHeld());
        EXPECT_TRUE(moved.isHeld());
        EXPECT_EQ(queue.maxConcurrentOperationCount(), 5);
    }
    // A fetch dropped without finishing (cancelled) gives its slot back too.
    EXPECT_EQ(queue.maxConcurrentOperationCount(), 4);

    platform::OperationQueue unlimited;
    {
        OperationQueueWidening none(unlimited);
        EXPECT_FALSE(none.isHeld());
    }
    EXPECT_EQ(unlimited.maxConcurrentOperationCount(), platform::OperationQueue::kDefaultMaxConcurrentOperationCount);
}
