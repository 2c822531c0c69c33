#include "foundation/http/DataCompressor.h"
#include "foundation/http/HTTPRequest.h"
#include "foundation/http/NetworkReachability.h"
#include "platform/net/Reachability.h"
#include "platform/os/NotificationCenter.h"
#include "tests/foundation/http/HttpTestHarness.h"
#include "tests/foundation/http/TestUtil.h"
#include "tests/support/TestHttpServer.h"

#include <chrono>
#include <gtest/gtest.h>

using foundation::DataCompressor;
using foundation::HTTPRequest;
using foundation::kNetworkReachabilityChangedNotification;

using namespace http_test;
using testsupport::TestConnection;
using testsupport::TestHttpServer;
using testsupport::TestRequest;
using testsupport::TestResponse;

namespace {

// Every case starts with a fresh meter and leaves throttling off.
class ThrottleTest : public ::testing::Test {
protected:
    void SetUp() override { HTTPRequest::setBandwidthClock(nullptr); }
    void TearDown() override
    {
        HTTPRequest::setShouldThrottleBandwidthForWWAN(false);
        HTTPRequest::setMaxBandwidthPerSecond(0);
        HTTPRequest::setBandwidthClock(nullptr);
        platform::Reachability::setProvider(nullptr);
    }
};

class ThrottledTransferTest : public ThrottleTest {
protected:
    void SetUp() override
    {
        ThrottleTest::SetUp();
        ASSERT_TRUE(server.start());
        server.on("/sink", [](const TestRequest& request, TestConnection& connection) {
            connection.respond(TestResponse::make(200, std::to_string(request.body.size())));
        });
    }
    std::shared_ptr<HTTPRequest> request(const std::string& path)
    {
        auto request = HTTPRequest::requestWithURL(*platform::Url::parse(server.url(path)));
        request->setTimeOutSeconds(5);
        return request;
    }
    static double secondsSince(std::chrono::steady_clock::time_point start)
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    // Rate of a transfer of `bytes` that took `seconds`: the first second's
    // allowance goes at once, the rest at the permitted pace.
    static double paceOf(std::size_t bytes, double seconds, double limit)
    {
        return (static_cast<double>(bytes) - limit) / seconds;
    }
    TestHttpServer server;
};

} // namespace

TEST_F(ThrottleTest, MeterPausesForTheOveruseOfASecond)
{
    auto clock = std::make_shared<platform::ManualClock>(100);
    HTTPRequest::setBandwidthClock(clock);
    HTTPRequest::setMaxBandwidthPerSecond(10000);
    EXPECT_TRUE(HTTPRequest::isBandwidthThrottled());

    HTTPRequest::measureBandwidthUsage(); // opens the window 100..101
    HTTPRequest::incrementBandwidthUsedInLastSecond(25000);
    clock->set(100.5);
    HTTPRequest::measureBandwidthUsage();
    ASSERT_TRUE(HTTPRequest::throttleWakeUpTime());
    // 15,000 bytes too many at 10,000 a second: 1.5 s after the window's end.
    EXPECT_DOUBLE_EQ(*HTTPRequest::throttleWakeUpTime(), 102.5);

    // Within the allowance no pause is decided.
    HTTPRequest::setBandwidthClock(clock);
    HTTPRequest::measureBandwidthUsage();
    HTTPRequest::incrementBandwidthUsedInLastSecond(9000);
    HTTPRequest::measureBandwidthUsage();
    EXPECT_FALSE(HTTPRequest::throttleWakeUpTime());
}

TEST_F(ThrottleTest, UploadReadsTakeAQuarterThenWhatIsLeft)
{
    auto clock = std::make_shared<platform::ManualClock>(10);
    HTTPRequest::setBandwidthClock(clock);
    HTTPRequest::setMaxBandwidthPerSecond(10000);
    HTTPRequest::measureBandwidthUsage();
    EXPECT_EQ(HTTPRequest::maxUploadReadLength(), 2500u);
    HTTPRequest::incrementBandwidthUsedInLastSecond(7500);
    EXPECT_EQ(HTTPRequest::maxUploadReadLength(), 2500u);
    EXPECT_FALSE(HTTPRequest::throttleWakeUpTime());
    HTTPRequest::incrementBandwidthUsedInLastSecond(1000);
    EXPECT_EQ(HTTPRequest::maxUploadReadLength(), 1500u);
    HTTPRequest::incrementBandwidthUsedInLastSecond(2000);
    EXPECT_EQ(HTTPRequest::maxUploadReadLength(), 0u);
    // Nothing left: streams wait for the window's end.
    ASSERT_TRUE(HTTPRequest::throttleWakeUpTime());
    EXPECT_DOUBLE_EQ(*HTTPRequest::throttleWakeUpTime(), 11.0);
}

TEST_F(ThrottleTest, AverageCoversTheLastFiveSeconds)
{
    auto clock = std::make_shared<platform::ManualClock>(0);
    HTTPRequest::setBandwidthClock(clock);
    HTTPRequest::measureBandwidthUsage();
    for (unsigned long bytes : { 1000ul, 2000ul, 3000ul, 4000ul, 5000ul, 6000ul }) {
        HTTPRequest::incrementBandwidthUsedInLastSecond(bytes);
        clock->set(clock->now() + 1.0);
        HTTPRequest::measureBandwidthUsage();
    }
    EXPECT_EQ(HTTPRequest::averageBandwidthUsedPerSecond(), (2000u + 3000 + 4000 + 5000 + 6000) / 5);
    // Two idle seconds drop two old windows; an idle window empties the record.
    HTTPRequest::incrementBandwidthUsedInLastSecond(1000);
    clock->set(clock->now() + 3.0);
    HTTPRequest::measureBandwidthUsage();
    EXPECT_EQ(HTTPRequest::averageBandwidthUsedPerSecond(), (5000u + 6000 + 1000) / 3);
    clock->set(clock->now() + 1.0);
    HTTPRequest::measureBandwidthUsage();
    EXPECT_EQ(HTTPRequest::averageBandwidthUsedPerSecond(), 0u);
}

TEST_F(ThrottleTest, MobileOnlyThrottlingFollowsTheRoute)
{
    auto provider = std::make_shared<platform::FixedReachabilityProvider>(platform::kReachabilityFlagReachable);
    platform::Reachability::setProvider(provider);
    HTTPRequest::setShouldThrottleBandwidthForWWAN(true);
    EXPECT_EQ(HTTPRequest::maxBandwidthPerSecond(), 14800u);
    EXPECT_FALSE(HTTPRequest::isBandwidthThrottled()) << "Wi-Fi is not throttled";

    provider->setFlags(platform::kReachabilityFlagReachable | platform::kReachabilityFlagIsWWAN);
    platform::NotificationCenter::defaultCenter().post(kNetworkReachabilityChangedNotification);
    EXPECT_TRUE(HTTPRequest::isBandwidthThrottled());

    provider->setFlags(platform::kReachabilityFlagReachable);
    platform::NotificationCenter::defaultCenter().post(kNetworkReachabilityChangedNotification);
    EXPECT_FALSE(HTTPRequest::isBandwidthThrottled());

    provider->setFlags(platform::kReachabilityFlagReachable | platform::kReachabilityFlagIsWWAN);
    HTTPRequest::reachabilityChanged();
    EXPECT_TRUE(HTTPRequest::isBandwidthThrottled());
    HTTPRequest::setShouldThrottleBandwidthForWWAN(false);
    EXPECT_FALSE(HTTPRequest::isBandwidthThrottled());
    EXPECT_EQ(HTTPRequest::maxBandwidthPerSecond(), 0u);
    // No longer watching: a change of route changes nothing.
    platform::NotificationCenter::defaultCenter().post(kNetworkReachabilityChangedNotification);
    EXPECT_FALSE(HTTPRequest::isBandwidthThrottled());
}

TEST_F(ThrottledTransferTest, DownloadKeepsToTheLimit)
{
    const std::size_t size = 30000;
    server.on("/big", TestHttpServer::text(200, std::string(size, 'd')));
    HTTPRequest::setMaxBandwidthPerSecond(10000);
    auto download = request("/big");
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(runRequest(download, 10));
    double elapsed = secondsSince(start);
    ASSERT_FALSE(download->error()) << download->error()->description();
    EXPECT_EQ(bodyText(download).size(), size);
    double pace = paceOf(size, elapsed, 10000);
    // Not faster than the limit; slower only by what a loaded machine under the
    // sanitizers adds (the meter's pauses are pinned on the manual clock above).
    EXPECT_GT(pace, 2000) << elapsed << " s";
    EXPECT_LT(pace, 13000) << elapsed << " s";

    // Unthrottled, the same download is not held back.
    HTTPRequest::setMaxBandwidthPerSecond(0);
    auto free = request("/big");
    start = std::chrono::steady_clock::now();
    ASSERT_TRUE(runRequest(free, 10));
    // Throttled, these bytes take at least 1.5 s (the pace bound above).
    EXPECT_LT(secondsSince(start), 1.5);
}

TEST_F(ThrottledTransferTest, UploadKeepsToTheLimit)
{
    const std::size_t size = 30000;
    HTTPRequest::setMaxBandwidthPerSecond(10000);
    auto upload = request("/sink");
    upload->setPostBody(sampleBytes(size));
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(runRequest(upload, 10));
    double elapsed = secondsSince(start);
    ASSERT_FALSE(upload->error()) << upload->error()->description();
    EXPECT_EQ(bodyText(upload), std::to_string(size));
    double pace = paceOf(size, elapsed, 10000);
    // Not faster than the limit; slower only by what a loaded machine under the
    // sanitizers adds (the meter's pauses are pinned on the manual clock above).
    EXPECT_GT(pace, 2000) << elapsed << " s";
    EXPECT_LT(pace, 13000) << elapsed << " s";
}

TEST_F(ThrottledTransferTest, RequestsStartedDuringAPauseWaitForItsEnd)
{
    server.on("/small", TestHttpServer::text(200, "small"));
    auto clock = std::make_shared<platform::ManualClock>(100);
    HTTPRequest::setBandwidthClock(clock);
    HTTPRequest::setMaxBandwidthPerSecond(10000);
    HTTPRequest::measureBandwidthUsage();
    HTTPRequest::incrementBandwidthUsedInLastSecond(25000);
    clock->set(100.5);
    HTTPRequest::measureBandwidthUsage();
    ASSERT_EQ(HTTPRequest::throttleWakeUpTime(), std::optional<double>(102.5));

    auto paused = request("/small");
    bool started = false;
    paused->setStartedBlock([&started] { started = true; });
    paused->startAsynchronous();
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&started] { return started; }, 5));
    // Several status ticks pass while the meter's clock stands inside the pause.
    pumpMainLoop(0.8);
    EXPECT_EQ(server.requests().size(), 0u) << "the stream went out during the pause";
    EXPECT_FALSE(paused->complete());
    EXPECT_FALSE(HTTPRequest::isNetworkInUse());

    clock->set(103);
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&paused] { return paused->complete(); }, 5));
    pumpMainLoop(0.1);
    ASSERT_FALSE(paused->error()) << paused->error()->description();
    EXPECT_EQ(bodyText(paused), "small");
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST_F(ThrottledTransferTest, ByteByByteReadsFinish)
{
    // A small limit makes most reads one byte long: a compressed body inflated
    // as it arrives, and a streamed upload, both still complete intact.
    platform::Bytes plain = sampleBytes(20000, 3);
    auto gzip = DataCompressor::compressData(plain, nullptr);
    ASSERT_TRUE(gzip);
    TestResponse compressed;
    compressed.headers = { { "Content-Encoding", "gzip" } };
    compressed.body = toString(*gzip);
    server.on("/gzip", TestHttpServer::reply(compressed));
    HTTPRequest::setMaxBandwidthPerSecond(static_cast<unsigned long>(gzip->size() * 2 / 3));

    auto download = request("/gzip");
    download->setShouldWaitToInflateCompressedResponses(false);
    ASSERT_TRUE(runRequest(download, 8));
    ASSERT_FALSE(download->error()) << download->error()->description();
    EXPECT_EQ(download->responseData(), plain);

    HTTPRequest::setBandwidthClock(nullptr);
    HTTPRequest::setMaxBandwidthPerSecond(800);
    auto upload = request("/sink");
    upload->setPostBody(sampleBytes(1000, 5));
    ASSERT_TRUE(runRequest(upload, 8));
    ASSERT_FALSE(upload->error()) << upload->error()->description();
    EXPECT_EQ(bodyText(upload), "1000");
}

TEST_F(ThrottledTransferTest, ActivityIndicatorHidesHalfASecondAfterTheLastStream)
{
    server.on("/quick", TestHttpServer::text(200, "quick"));
    server.on("/drip", [](const TestRequest&, TestConnection& connection) {
        connection.sendHead(200, { { "Content-Length", "4" } });
        connection.sleep(0.6);
        connection.send("drip");
    });
    // Earlier requests may have left a hide pending on the real clock.
    pumpMainLoop(0.6);
    platform::RunLoop::main().discardPendingWork();
    HTTPRequest::hideNetworkActivityIndicator();
    std::vector<bool> changes;
    HTTPRequest::setNetworkActivityIndicatorObserver([&changes](bool visible) { changes.push_back(visible); });
    auto clock = std::make_shared<platform::ManualClock>(0);
    platform::RunLoop::main().setClock(clock);

    ASSERT_TRUE(runRequest(request("/quick")));
    pumpMainLoop(0.1);
    EXPECT_TRUE(HTTPRequest::isNetworkActivityIndicatorVisible()) << "hidden before the delay";
    ASSERT_FALSE(changes.empty());
    EXPECT_TRUE(changes.front());
    auto quiet = platform::RunLoop::main().quietCalloutCount();
    platform::RunLoop::main().advance(0.6);
    EXPECT_EQ(platform::RunLoop::main().quietCalloutCount(), quiet) << "watched: the hide may change the screen";
    EXPECT_FALSE(HTTPRequest::isNetworkActivityIndicatorVisible());
    EXPECT_EQ(changes, (std::vector<bool> { true, false }));

    // A stream scheduled again within the half second keeps it on.
    ASSERT_TRUE(runRequest(request("/quick")));
    auto drip = request("/drip");
    bool done = false;
    drip->setCompletionBlock([&done] { done = true; });
    drip->startAsynchronous();
    ASSERT_TRUE(platform::RunLoop::main().runUntil([] { return HTTPRequest::isNetworkInUse(); }, 5));
    platform::RunLoop::main().advance(0.6);
    EXPECT_TRUE(HTTPRequest::isNetworkActivityIndicatorVisible());
    ASSERT_TRUE(platform::RunLoop::main().runUntil([&done] { return done; }, 5));
    pumpMainLoop(0.1);
    platform::RunLoop::main().advance(0.6);
    EXPECT_FALSE(HTTPRequest::isNetworkActivityIndicatorVisible());
    EXPECT_EQ(changes, (std::vector<bool> { true, false, true, false }));

    HTTPRequest::setNetworkActivityIndicatorObserver(nullptr);
    // Unwatched, the check after a request changes nothing on the screen.
    ASSERT_TRUE(runRequest(request("/quick")));
    pumpMainLoop(0.1);
    quiet = platform::RunLoop::main().quietCalloutCount();
    platform::RunLoop::main().advance(0.6);
    EXPECT_FALSE(HTTPRequest::isNetworkActivityIndicatorVisible());
    EXPECT_EQ(platform::RunLoop::main().quietCalloutCount(), quiet + 1);
    platform::RunLoop::main().setClock(platform::Clock::steady());
}
