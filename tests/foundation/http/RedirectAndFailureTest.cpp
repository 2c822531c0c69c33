#include "foundation/http/HTTPRequest.h"
#include "platform/net/HttpCookieStorage.h"
#include "tests/foundation/http/HttpTestHarness.h"
#include "tests/foundation/http/TestUtil.h"
#include "tests/support/TestHttpServer.h"

#include <chrono>
#include <gtest/gtest.h>

using foundation::ConnectionFailureErrorType;
using foundation::HTTPRequest;
using foundation::HTTPRequestPtr;
using foundation::ProgressDelegate;
using foundation::RequestCancelledErrorType;
using foundation::RequestTimedOutErrorType;
using foundation::TooMuchRedirectionErrorType;

using namespace http_test;
using testsupport::TestConnection;
using testsupport::TestHttpServer;
using testsupport::TestRequest;
using testsupport::TestResponse;

namespace {

class RedirectAndFailureTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        server.on("/target", TestHttpServer::echo());
    }
    std::shared_ptr<HTTPRequest> request(const std::string& path)
    {
        return HTTPRequest::requestWithURL(*platform::Url::parse(server.url(path)));
    }
    void redirect(const std::string& path, int status, const std::string& location)
    {
        TestResponse r;
        r.status = status;
        r.headers = { { "Location", location } };
        r.body = "redirect page";
        server.on(path, TestHttpServer::reply(r));
    }
    static double secondsSince(std::chrono::steady_clock::time_point start)
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    TestHttpServer server;
};

} // namespace

TEST_F(RedirectAndFailureTest, RedirectStatusesAndMethods)
{
    for (int status : { 301, 302, 303, 307 }) {
        for (bool rfc2616 : { false, true }) {
            redirect("/from", status, "/target");
            auto post = request("/from");
            post->setPostBody(toBytes("payload"));
            post->addRequestHeader("X-Custom", "gone-or-kept");
            post->setShouldUseRFC2616RedirectBehaviour(rfc2616);
            auto recorder = std::make_shared<RecordingDelegate>();
            recorder->requestDidReceiveData = [&](const HTTPRequestPtr&, const platform::Bytes& data) {
                recorder->receivedData.insert(recorder->receivedData.end(), data.begin(), data.end());
            };
            post->setDelegate(recorder);
            ASSERT_TRUE(runRequest(post));
            ASSERT_FALSE(post->error()) << post->error()->description();
            auto seen = server.lastRequest();
            EXPECT_EQ(seen->path, "/target");
            bool keepsMethod = status == 307 || (rfc2616 && status != 303);
            EXPECT_EQ(seen->method, keepsMethod ? "POST" : "GET") << status << " " << rfc2616;
            EXPECT_EQ(seen->body, keepsMethod ? "payload" : "") << status;
            EXPECT_EQ(seen->header("X-Custom").has_value(), keepsMethod) << status;
            // Only the final answer reaches the data receiver.
            EXPECT_EQ(toString(recorder->receivedData).find("redirect page"), std::string::npos);
            EXPECT_EQ(post->redirectCount(), 1);
            EXPECT_EQ(post->originalURL()->absoluteString(), server.url("/from"));
            EXPECT_EQ(recorder->redirects.size(), 1u);
        }
    }
    redirect("/other", 300, "/target");
    auto notFollowed = request("/other");
    ASSERT_TRUE(runRequest(notFollowed));
    EXPECT_EQ(notFollowed->responseStatusCode(), 300);
    redirect("/ftp", 302, "ftp://127.0.0.1/file");
    auto ftp = request("/ftp");
    ASSERT_TRUE(runRequest(ftp));
    EXPECT_EQ(ftp->responseStatusCode(), 302);
    EXPECT_EQ(bodyText(ftp), "redirect page");
}

TEST_F(RedirectAndFailureTest, FiveRedirectsAreFollowedAndTheSixthFails)
{
    for (int i = 0; i < 6; ++i)
        redirect("/hop" + std::to_string(i), 302, "hop" + std::to_string(i + 1));
    server.on("/hop6", TestHttpServer::text(200, "arrived"));
    auto five = request("/hop1");
    ASSERT_TRUE(runRequest(five));
    ASSERT_FALSE(five->error());
    EXPECT_EQ(bodyText(five), "arrived");
    EXPECT_EQ(five->redirectCount(), 5);

    auto six = request("/hop0");
    auto recorder = std::make_shared<RecordingDelegate>();
    six->setDelegate(recorder);
    ASSERT_TRUE(runRequest(six));
    ASSERT_TRUE(six->error());
    EXPECT_EQ(six->error()->code(), TooMuchRedirectionErrorType);
    EXPECT_EQ(six->error()->localizedDescription(), "The request failed because it redirected too many times");
    EXPECT_EQ(std::count(recorder->events.begin(), recorder->events.end(), "finished"), 0);
    EXPECT_EQ(recorder->events.back(), "failed");
}

TEST_F(RedirectAndFailureTest, CredentialsAndCookiesStayWithTheirHost)
{
    TestHttpServer other;
    ASSERT_TRUE(other.start());
    other.on("/landing", TestHttpServer::echo());
    platform::HttpCookie cookie;
    cookie.name = "session";
    cookie.value = "secret";
    cookie.domain = "127.0.0.1";
    platform::HttpCookieStorage::shared().setCookie(cookie);

    std::string elsewhere = "http://localhost:" + std::to_string(other.port()) + "/landing";
    for (int status : { 302, 307 }) {
        redirect("/away", status, elsewhere);
        auto get = request("/away");
        get->setUsername(std::string("teacher"));
        get->setPassword(std::string("secret"));
        get->setAuthenticationScheme(std::string("Basic"));
        get->addRequestHeader("Authorization", "Bearer token");
        ASSERT_TRUE(runRequest(get));
        ASSERT_FALSE(get->error()) << get->error()->description();
        auto first = server.lastRequest();
        EXPECT_EQ(first->header("Authorization").value_or(""), "Bearer token");
        EXPECT_EQ(first->header("Cookie").value_or(""), "session=secret");
        auto landed = other.lastRequest();
        ASSERT_TRUE(landed);
        EXPECT_FALSE(landed->header("Authorization")) << status;
        EXPECT_FALSE(landed->header("Cookie")) << status;
    }
    platform::HttpCookieStorage::shared().deleteCookie(cookie);
}

TEST_F(RedirectAndFailureTest, TimeOutsAndRetries)
{
    server.on("/stall", [](const TestRequest&, TestConnection& c) { c.stall(10); });
    auto get = request("/stall");
    get->setTimeOutSeconds(0.5);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(runRequest(get));
    double elapsed = secondsSince(start);
    ASSERT_TRUE(get->error());
    EXPECT_EQ(get->error()->code(), RequestTimedOutErrorType);
    EXPECT_EQ(get->error()->localizedDescription(), "The request timed out");
    // Fired, and not hung: the upper bound holds on a loaded machine under the sanitizers.
    EXPECT_GE(elapsed, 0.5);
    EXPECT_LT(elapsed, 20.0);

    server.clearLog();
    auto retried = request("/stall");
    retried->setTimeOutSeconds(0.5);
    retried->setNumberOfTimesToRetryOnTimeout(2);
    ASSERT_TRUE(runRequest(retried));
    EXPECT_EQ(retried->error()->code(), RequestTimedOutErrorType);
    EXPECT_EQ(retried->retryCount(), 2);
    EXPECT_TRUE(server.waitForRequests(3, 1));
    EXPECT_EQ(server.requests().size(), 3u);

    // A body the server never takes gets half as long again.
    server.on("/sink", [](const TestRequest&, TestConnection& c) { c.stall(10); }, { false });
    auto upload = request("/sink");
    upload->setPostBody(toBytes("short body"));
    upload->setTimeOutSeconds(0.5);
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(runRequest(upload));
    elapsed = secondsSince(start);
    EXPECT_EQ(upload->error()->code(), RequestTimedOutErrorType);
    EXPECT_GE(elapsed, 0.75);
    EXPECT_LT(elapsed, 20.0);
}

TEST_F(RedirectAndFailureTest, CancelReportsOnceAndClearingSilences)
{
    server.on("/stall", [](const TestRequest&, TestConnection& c) { c.stall(10); });
    auto get = request("/stall");
    auto recorder = std::make_shared<RecordingDelegate>();
    get->setDelegate(recorder);
    int failures = 0;
    get->setFailedBlock([&] { ++failures; });
    get->startAsynchronous();
    ASSERT_TRUE(server.waitForRequests(1, 5));
    get->cancel();
    get->cancel();
    platform::RunLoop::main().runUntil([&] { return failures > 0; }, 5);
    pumpMainLoop(0.3);
    EXPECT_EQ(failures, 1);
    ASSERT_TRUE(get->error());
    EXPECT_EQ(get->error()->code(), RequestCancelledErrorType);
    EXPECT_EQ(get->error()->localizedDescription(), "The request was cancelled");
    EXPECT_TRUE(get->isCancelled());
    EXPECT_EQ(std::count(recorder->events.begin(), recorder->events.end(), "failed"), 1);

    // Progress and start reports already queued for the main loop are dropped too.
    server.on("/slow", [](const TestRequest&, TestConnection& c) {
        c.sendHead(200, { { "Content-Length", "100000" } });
        c.sendSlowly(std::string(100000, 'x'), 1000, 0.01);
    });
    auto slow = request("/slow");
    auto silent = std::make_shared<RecordingDelegate>();
    slow->setDelegate(silent);
    int blockCalls = 0;
    slow->setBytesReceivedBlock([&](unsigned long long, unsigned long long) { ++blockCalls; });
    slow->setFailedBlock([&] { ++blockCalls; });
    slow->setCompletionBlock([&] { ++blockCalls; });
    slow->startAsynchronous();
    ASSERT_TRUE(server.waitForRequests(2, 5));
    slow->clearDelegatesAndCancel();
    pumpMainLoop(0.6);
    EXPECT_TRUE(silent->events.empty());
    EXPECT_EQ(blockCalls, 0);
}

TEST_F(RedirectAndFailureTest, KeptConnectionThatDiesIsRetriedOnceForGetOnly)
{
    // The server answers the first request of each connection and drops the
    // connection when a second one arrives on it, before any response byte.
    server.on("/flaky", [](const TestRequest& request, TestConnection& c) {
        if (request.indexOnConnection > 0) {
            c.close();
            return;
        }
        TestResponse r;
        r.body = "answer";
        c.respond(r);
    });
    auto first = request("/flaky");
    ASSERT_TRUE(runRequest(first));
    ASSERT_FALSE(first->error());

    auto second = request("/flaky");
    ASSERT_TRUE(runRequest(second));
    ASSERT_FALSE(second->error()) << second->error()->description();
    EXPECT_EQ(bodyText(second), "answer");
    EXPECT_EQ(second->retryCount(), 1);
    EXPECT_EQ(server.requests().size(), 3u);

    // A POST on a kept connection that dies the same way is not sent again.
    auto post = request("/flaky");
    post->setPostBody(toBytes("{\"cmd\":\"30001\"}"));
    // An owner that insists on the kept connection for its POST: the method
    // is set first, since setting it turns reuse off.
    post->setRequestMethod("POST");
    post->setShouldAttemptPersistentConnection(true);
    ASSERT_TRUE(runRequest(post));
    ASSERT_TRUE(post->error());
    EXPECT_EQ(post->error()->code(), ConnectionFailureErrorType);
    EXPECT_EQ(post->retryCount(), 0);
    pumpMainLoop(0.2);
    EXPECT_EQ(server.requests().size(), 4u);
}

TEST_F(RedirectAndFailureTest, ResetAfterAPostBodyIsNotSentAgain)
{
    server.on("/command", [](const TestRequest&, TestConnection& c) { c.reset(); });
    auto post = request("/command");
    post->setPostBody(toBytes("{\"cmd\":\"20001\"}"));
    post->setRequestMethod("POST");
    post->setShouldAttemptPersistentConnection(true);
    ASSERT_TRUE(runRequest(post));
    ASSERT_TRUE(post->error());
    EXPECT_EQ(post->error()->code(), ConnectionFailureErrorType);
    EXPECT_EQ(post->error()->localizedDescription(), "A connection failure occurred");
    EXPECT_TRUE(post->error()->underlyingError());
    pumpMainLoop(0.3);
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(post->retryCount(), 0);
}

TEST_F(RedirectAndFailureTest, ProgressOfAnUpload)
{
    server.on("/upload", TestHttpServer::text(200, "stored"));
    auto post = request("/upload");
    platform::Bytes body = sampleBytes(2 * 1024 * 1024, 3);
    post->setPostBody(body);
    long long announced = 0;
    post->setUploadSizeIncrementedBlock([&](long long size) { announced += size; });
    auto progress = std::make_shared<ProgressDelegate>();
    float last = -1;
    progress->setProgress = [&](float value) { last = value; };
    post->setUploadProgressDelegate(progress);
    ASSERT_TRUE(runRequest(post));
    ASSERT_FALSE(post->error());
    pumpMainLoop(0.1);
    EXPECT_EQ(post->totalBytesSent(), body.size());
    // The announced size is the body less what went straight into the send buffer.
    EXPECT_EQ(announced, static_cast<long long>(body.size() - post->uploadBufferSize()));
    EXPECT_GE(announced, 0);
    EXPECT_FLOAT_EQ(last, 1.0f);
}
