#include "foundation/http/DownloadCache.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/DateFormat.h"
#include "tests/foundation/http/HttpTestHarness.h"
#include "tests/foundation/http/TestUtil.h"
#include "tests/support/TestHttpServer.h"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>

using foundation::CacheAnswerAlways;
using foundation::CacheAnswerWhenConfirmed;
using foundation::CacheAnswerWhenCurrent;
using foundation::CacheAnswerWhenStored;
using foundation::CacheFallBackOnFailure;
using foundation::CacheNeverRead;
using foundation::CacheNeverStore;
using foundation::CacheStorageForSession;
using foundation::CacheStoragePermanently;
using foundation::CacheUseDefaultPolicy;
using foundation::ConnectionFailureErrorType;
using foundation::DownloadCache;
using foundation::HTTPRequest;

using namespace http_test;
using testsupport::TestConnection;
using testsupport::TestHttpServer;
using testsupport::TestRequest;
using testsupport::TestResponse;

namespace {

const char* kLastModified = "Mon, 01 Jan 2024 10:00:00 GMT";

class DownloadCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        cache = std::make_shared<DownloadCache>();
        ASSERT_TRUE(cache->setStoragePath(folder.file("cache")));
        // A resource with both validators; the server confirms them with a 304.
        server.onPrefix("/doc", [this](const TestRequest& request, TestConnection& connection) {
            ++hits;
            bool matches = request.header("If-None-Match") == std::optional<std::string>("\"v1\"")
                || request.header("If-Modified-Since") == std::optional<std::string>(kLastModified);
            if (matches && !ignoreValidators) {
                TestResponse notModified;
                notModified.status = 304;
                notModified.framing = TestResponse::Framing::None;
                notModified.headers = { { "Cache-Control", cacheControl } };
                connection.respond(notModified);
                return;
            }
            connection.respond(TestResponse::make(200, body,
                { { "Etag", "\"v1\"" }, { "Last-Modified", kLastModified }, { "Cache-Control", cacheControl },
                    { "Content-Type", "text/plain; charset=utf-8" } }));
        });
    }
    std::shared_ptr<HTTPRequest> get(const std::string& path, int policy = CacheUseDefaultPolicy)
    {
        auto url = *platform::Url::parse(server.url(path));
        // Made the way owners of cached requests make them: with the cache,
        // and with a policy when they want another than the cache's own.
        auto request = policy == CacheUseDefaultPolicy ? HTTPRequest::requestWithURL(url, cache)
                                                       : HTTPRequest::requestWithURL(url, cache, policy);
        request->setTimeOutSeconds(3);
        return request;
    }
    std::shared_ptr<HTTPRequest> fetch(const std::string& path, int policy = CacheUseDefaultPolicy)
    {
        auto request = get(path, policy);
        EXPECT_TRUE(runRequest(request, 8));
        return request;
    }
    bool stored(const std::string& path)
    {
        return cache->cachedResponseHeadersForURL(*platform::Url::parse(server.url(path))).has_value();
    }

    TempDir folder;
    TestHttpServer server;
    std::shared_ptr<DownloadCache> cache;
    std::atomic<int> hits { 0 };
    std::string cacheControl = "max-age=60";
    std::string body = "stored body";
    bool ignoreValidators = false;
};

} // namespace

TEST_F(DownloadCacheTest, CurrentResponsesComeFromTheCacheAndStaleOnesAreRevalidated)
{
    auto first = fetch("/doc");
    EXPECT_FALSE(first->didUseCachedResponse());
    EXPECT_EQ(hits.load(), 1);
    ASSERT_TRUE(stored("/doc"));

    auto second = fetch("/doc");
    EXPECT_EQ(hits.load(), 1) << "a current response went to the network";
    EXPECT_TRUE(second->didUseCachedResponse());
    EXPECT_EQ(second->responseStatusCode(), 200);
    EXPECT_EQ(bodyText(second), "stored body");
    EXPECT_EQ(second->responseEncoding(), platform::kUTF8StringEncoding);

    // Stale: asked again with both validators, and the 304 answered from the cache.
    cacheControl = "no-transform";
    cache->removeCachedDataForURL(*platform::Url::parse(server.url("/doc")));
    fetch("/doc");
    body = "changed on the server";
    auto revalidated = fetch("/doc");
    EXPECT_EQ(hits.load(), 3);
    auto seen = server.lastRequest();
    EXPECT_EQ(seen->header("If-None-Match"), std::optional<std::string>("\"v1\""));
    EXPECT_EQ(seen->header("If-Modified-Since"), std::optional<std::string>(kLastModified));
    EXPECT_TRUE(revalidated->didUseCachedResponse());
    EXPECT_EQ(revalidated->responseStatusCode(), 200);
    EXPECT_EQ(bodyText(revalidated), "stored body");
    EXPECT_FALSE(revalidated->error());
}

TEST_F(DownloadCacheTest, MaxAgeWinsOverExpires)
{
    server.on("/both",
        TestHttpServer::reply(TestResponse::make(
            200, "x", { { "Cache-Control", "public, max-age=60" }, { "Expires", "Thu, 01 Jan 2015 00:00:00 GMT" } })));
    server.on("/expires",
        TestHttpServer::reply(
            TestResponse::make(200, "x", { { "Cache-Control", "public" }, { "Expires", "sometime next year" } })));
    server.on("/expires-ok",
        TestHttpServer::reply(TestResponse::make(
            200, "x", { { "Cache-Control", "public" }, { "Expires", "Thu, 01 Jan 2037 00:00:00 GMT" } })));
    auto both = fetch("/both");
    double now = platform::Date::now().seconds;
    auto expiry = HTTPRequest::expiryDateForRequest(*both, 0);
    ASSERT_TRUE(expiry);
    EXPECT_NEAR(expiry->seconds, now + 60, 2);
    auto given = HTTPRequest::expiryDateForRequest(*both, 30);
    ASSERT_TRUE(given);
    EXPECT_NEAR(given->seconds, now + 30, 2);

    auto fallback = fetch("/expires-ok");
    auto date = HTTPRequest::expiryDateForRequest(*fallback, 0);
    ASSERT_TRUE(date);
    EXPECT_EQ(date->seconds, platform::parseHttpDate("Thu, 01 Jan 2037 00:00:00 GMT")->seconds);
    EXPECT_FALSE(HTTPRequest::expiryDateForRequest(*fetch("/expires"), 0)) << "an unreadable date is no expiry";

    // The stored expiry follows the same rule: the response with max-age is current.
    int before = server.requests().size();
    fetch("/both");
    EXPECT_EQ(static_cast<int>(server.requests().size()), before);
}

TEST_F(DownloadCacheTest, EachPolicy)
{
    fetch("/doc");
    ASSERT_EQ(hits.load(), 1);

    // Never read: the network even though a current copy is stored.
    auto neverRead = fetch("/doc", CacheNeverRead);
    EXPECT_EQ(hits.load(), 2);
    EXPECT_FALSE(neverRead->didUseCachedResponse());

    // Never store.
    fetch("/doc/unstored", CacheNeverStore | CacheAnswerWhenCurrent);
    EXPECT_FALSE(stored("/doc/unstored"));

    // Answer when stored: even a stale copy, without asking.
    cacheControl = "no-transform";
    fetch("/doc/stale");
    int before = hits.load();
    auto whenStored = fetch("/doc/stale", CacheAnswerWhenStored);
    EXPECT_EQ(hits.load(), before);
    EXPECT_TRUE(whenStored->didUseCachedResponse());

    // Answer when confirmed: always asked, answered from the cache on a 304.
    auto confirmed = fetch("/doc/stale", CacheAnswerWhenConfirmed);
    EXPECT_EQ(hits.load(), before + 1);
    EXPECT_TRUE(confirmed->didUseCachedResponse());
    EXPECT_EQ(bodyText(confirmed), "stored body");

    // Answer always, with nothing stored: the network answers rather than an empty success.
    auto always = fetch("/doc/nothing", CacheAnswerAlways);
    EXPECT_FALSE(always->error());
    EXPECT_FALSE(always->didUseCachedResponse());
    EXPECT_EQ(bodyText(always), "stored body");
    EXPECT_EQ(always->responseStatusCode(), 200);

    // Fall back on failure: the server is gone, the stale stored copy answers.
    fetch("/doc/fallback");
    server.on("/doc/fallback", [](const TestRequest&, TestConnection& connection) { connection.reset(); });
    auto fallback = fetch("/doc/fallback", CacheAnswerWhenCurrent | CacheFallBackOnFailure);
    EXPECT_FALSE(fallback->error());
    EXPECT_TRUE(fallback->didUseCachedResponse());
    EXPECT_EQ(bodyText(fallback), "stored body");
    auto noFallback = fetch("/doc/fallback", CacheAnswerWhenCurrent);
    ASSERT_TRUE(noFallback->error());
    EXPECT_EQ(noFallback->error()->code(), ConnectionFailureErrorType);

    // Only GET requests use the cache.
    auto post = get("/doc", CacheAnswerWhenStored);
    post->setPostBody(toBytes("form"));
    before = hits.load();
    ASSERT_TRUE(runRequest(post));
    EXPECT_EQ(hits.load(), before + 1);
    EXPECT_FALSE(post->didUseCachedResponse());
}

TEST_F(DownloadCacheTest, CachedRedirectIsFollowed)
{
    TestResponse moved;
    moved.status = 301;
    moved.headers = { { "Location", "/doc/target" }, { "Cache-Control", "max-age=60" } };
    moved.body = "moved";
    server.on("/old", TestHttpServer::reply(moved));
    auto first = fetch("/old");
    EXPECT_EQ(bodyText(first), "stored body");
    ASSERT_TRUE(stored("/old"));
    std::size_t before = server.requests().size();

    auto second = get("/old");
    auto recorder = std::make_shared<RecordingDelegate>();
    second->setDelegate(recorder);
    ASSERT_TRUE(runRequest(second));
    EXPECT_EQ(server.requests().size(), before) << "the redirect or its target came from the network";
    EXPECT_EQ(second->url().absoluteString(), server.url("/doc/target"));
    EXPECT_EQ(second->redirectCount(), 1);
    EXPECT_EQ(bodyText(second), "stored body");
    EXPECT_EQ(recorder->redirects.size(), 1u);
    EXPECT_EQ(std::count(recorder->events.begin(), recorder->events.end(), "finished"), 1);
}

TEST_F(DownloadCacheTest, ClearingByStoragePolicy)
{
    fetch("/doc/session");
    auto permanent = get("/doc/permanent");
    permanent->setCacheStoragePolicy(CacheStoragePermanently);
    ASSERT_TRUE(runRequest(permanent));
    ASSERT_TRUE(stored("/doc/session"));
    ASSERT_TRUE(stored("/doc/permanent"));
    EXPECT_TRUE(fileExists(folder.file("cache/PermanentStore/"
        + *DownloadCache::keyForURL(*platform::Url::parse(server.url("/doc/permanent"))) + ".cachedheaders")));

    cache->clearCachedResponsesForStoragePolicy(CacheStorageForSession);
    EXPECT_FALSE(stored("/doc/session"));
    EXPECT_TRUE(stored("/doc/permanent"));
    // Setting the folder again empties the session store only.
    fetch("/doc/session");
    ASSERT_TRUE(cache->setStoragePath(folder.file("cache")));
    EXPECT_FALSE(stored("/doc/session"));
    EXPECT_TRUE(stored("/doc/permanent"));
    cache->clearCachedResponsesForStoragePolicy(CacheStoragePermanently);
    EXPECT_FALSE(stored("/doc/permanent"));

    // A file where a store folder belongs is refused with its reason.
    auto blocked = std::make_shared<DownloadCache>();
    std::string root = folder.file("blocked");
    ASSERT_EQ(::mkdir(root.c_str(), 0755), 0);
    writeFile(root + "/SessionStore", toBytes("not a folder"));
    platform::Error error;
    EXPECT_FALSE(blocked->setStoragePath(root, &error));
    EXPECT_NE(error.localizedDescription().find("because a file already exists"), std::string::npos);
    EXPECT_EQ(error.userInfo().find("ExceptionName")->stringValue(), "FileExistsAtCachePath");
    EXPECT_FALSE(blocked->storagePath());
}

TEST_F(DownloadCacheTest, DamagedEntriesAreAnsweredFromTheNetwork)
{
    fetch("/doc/damaged");
    auto url = *platform::Url::parse(server.url("/doc/damaged"));
    auto headersPath = cache->pathToCachedResponseHeadersForURL(url);
    auto dataPath = cache->pathToCachedResponseDataForURL(url);
    ASSERT_TRUE(headersPath && dataPath);

    writeFile(*headersPath, toBytes("<plist><dict><key>Etag</key"));
    body = "fresh body";
    int before = hits.load();
    auto garbled = fetch("/doc/damaged", CacheAnswerWhenStored);
    EXPECT_EQ(hits.load(), before + 1);
    EXPECT_FALSE(garbled->didUseCachedResponse());
    EXPECT_EQ(bodyText(garbled), "fresh body");
    EXPECT_TRUE(stored("/doc/damaged")) << "the answer replaces the damaged entry";

    // A body file gone: no conditional request that only a body could answer.
    ::unlink(cache->pathToCachedResponseDataForURL(url)->c_str());
    auto missing = fetch("/doc/damaged");
    EXPECT_FALSE(server.lastRequest()->header("If-None-Match"));
    EXPECT_EQ(missing->responseStatusCode(), 200);
    EXPECT_EQ(bodyText(missing), "fresh body");
}

TEST_F(DownloadCacheTest, CacheControlDirectivesAreReadOneByOne)
{
    for (auto [control, keep] : { std::pair<std::string, bool> { "private, no-store", false }, { "NO-STORE", false },
             { "max-age=60, no-cache", false }, { "no-store", false }, { "private, max-age=60", true },
             { "public,max-age=\"60\"", true } }) {
        cacheControl = control;
        std::string path = "/doc/" + std::to_string(std::hash<std::string>()(control));
        fetch(path);
        EXPECT_EQ(stored(path), keep) << control;
    }
    auto parsed = DownloadCache::cacheControlDirectives(" Private , max-age = \"30\",no-store");
    ASSERT_EQ(parsed.size(), 3u);
    EXPECT_EQ(parsed[0], (std::pair<std::string, std::string>("private", "")));
    EXPECT_EQ(parsed[1], (std::pair<std::string, std::string>("max-age", "30")));
    EXPECT_EQ(parsed[2], (std::pair<std::string, std::string>("no-store", "")));

    server.on("/pragma", TestHttpServer::reply(TestResponse::make(200, "p", { { "Pragma", "no-cache" } })));
    fetch("/pragma");
    EXPECT_FALSE(stored("/pragma"));
    server.on("/missing", TestHttpServer::text(404, "gone"));
    fetch("/missing");
    EXPECT_FALSE(stored("/missing")) << "only successes and redirects are kept";
}

TEST_F(DownloadCacheTest, KeysAndFileNames)
{
    auto key = DownloadCache::keyForURL(*platform::Url::parse("http://example.com/a/"));
    ASSERT_TRUE(key);
    EXPECT_EQ(key, DownloadCache::keyForURL(*platform::Url::parse("http://example.com/a")));
    std::string tool = runCommand("printf %s 'http://example.com/a' | md5sum | cut -c1-32 | tr a-f A-F");
    EXPECT_EQ(*key + "\n", tool);

    cacheControl = "max-age=60";
    for (auto [path, extension] : { std::pair<std::string, std::string> { "/doc/page.php", "html" },
             { "/doc/logo.PNG", "PNG" }, { "/doc/plain", "html" }, { "/doc/data.json", "json" } }) {
        fetch(path);
        auto data = cache->pathToCachedResponseDataForURL(*platform::Url::parse(server.url(path)));
        ASSERT_TRUE(data) << path;
        EXPECT_EQ(data->substr(data->rfind('.') + 1), extension) << path;
    }
    cache->setDefaultCachePolicy(0);
    EXPECT_EQ(cache->defaultCachePolicy(), CacheAnswerWhenCurrent);
}
