#include "foundation/http/DataDecompressor.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/os/SystemInfo.h"
#include "tests/foundation/http/HttpTestHarness.h"
#include "tests/foundation/http/TestUtil.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

using foundation::DataDecompressor;
using foundation::HTTPRequest;
using foundation::UnableToCreateRequestErrorType;

using namespace http_test;
using testsupport::TestHttpServer;

namespace {

class RequestSendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        server.onPrefix("/", TestHttpServer::text(200, "ok"));
    }
    std::shared_ptr<HTTPRequest> request(const std::string& path)
    {
        return HTTPRequest::requestWithURL(*platform::Url::parse(server.url(path)));
    }
    TestHttpServer server;
};

} // namespace

TEST_F(RequestSendTest, GetCarriesRequestLineAgentEncodingAndNoBody)
{
    auto get = request("/plain?x=1&y=%20");
    ASSERT_TRUE(runRequest(get));
    ASSERT_FALSE(get->error()) << get->error()->description();
    auto seen = server.lastRequest();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->rawHead.substr(0, seen->rawHead.find("\r\n")), "GET /plain?x=1&y=%20 HTTP/1.1");
    // The application's name, its two versions, then the machine, as the
    // platform server's logs expect them.
    std::string expectedAgent = "家校通 2.1 rv:210 (pc; " + platform::SystemInfo::systemName() + " "
        + platform::SystemInfo::systemVersion() + "; " + platform::SystemInfo::localeIdentifier() + ")";
    EXPECT_EQ(seen->header("User-Agent").value_or(""), expectedAgent);
    EXPECT_EQ(seen->header("Accept-Encoding").value_or(""), "gzip");
    EXPECT_FALSE(seen->header("Content-Length"));
    EXPECT_FALSE(seen->header("Authorization"));
    EXPECT_EQ(get->requestMethod(), "GET");

    // An owner's own agent goes out unchanged; without compression no Accept-Encoding.
    auto own = request("/plain");
    own->addRequestHeader("User-Agent", "Custom/1.0");
    own->setAllowCompressedResponse(false);
    ASSERT_TRUE(runRequest(own));
    EXPECT_EQ(server.lastRequest()->header("User-Agent").value_or(""), "Custom/1.0");
    EXPECT_FALSE(server.lastRequest()->header("Accept-Encoding"));
}

TEST_F(RequestSendTest, BodiesSetTheMethodAndLength)
{
    auto post = request("/body");
    post->setPostBody(toBytes("{\"cmd\":\"10001\"}"));
    ASSERT_TRUE(runRequest(post));
    auto seen = server.lastRequest();
    EXPECT_EQ(seen->method, "POST");
    EXPECT_EQ(seen->header("Content-Length").value_or(""), "15");
    EXPECT_EQ(seen->body, "{\"cmd\":\"10001\"}");

    auto put = request("/body");
    put->setRequestMethod("PUT");
    put->setPostBody(toBytes("x"));
    ASSERT_TRUE(runRequest(put));
    EXPECT_EQ(server.lastRequest()->method, "PUT");

    auto del = request("/body");
    del->setRequestMethod("DELETE");
    del->setPostBody(toBytes("xy"));
    ASSERT_TRUE(runRequest(del));
    EXPECT_EQ(server.lastRequest()->method, "POST");

    auto empty = request("/body");
    empty->setPostBody({});
    ASSERT_TRUE(runRequest(empty));
    EXPECT_EQ(server.lastRequest()->method, "GET");
    EXPECT_FALSE(server.lastRequest()->header("Content-Length"));
}

TEST_F(RequestSendTest, RequestsThatBuildABodyOpenTheirOwnConnection)
{
    // A body turns GET, DELETE and HEAD into POST when it is built; such a
    // request is never sent on a kept connection, where a dead connection
    // could make its body go out twice.
    for (const char* method : { "GET", "DELETE", "HEAD" }) {
        SCOPED_TRACE(method);
        auto warm = request("/keep");
        ASSERT_TRUE(runRequest(warm));
        ASSERT_FALSE(warm->error()) << warm->error()->description();
        std::uint64_t kept = server.lastRequest()->connectionId;

        auto send = request("/send");
        send->setRequestMethod(method);
        send->setPostBody(toBytes("{\"cmd\":\"20001\"}"));
        EXPECT_TRUE(send->shouldAttemptPersistentConnection()) << "nothing is decided before the body is built";
        ASSERT_TRUE(runRequest(send));
        ASSERT_FALSE(send->error()) << send->error()->description();
        auto seen = server.lastRequest();
        EXPECT_EQ(seen->method, "POST");
        EXPECT_EQ(send->requestMethod(), "POST");
        EXPECT_NE(seen->connectionId, kept);
        EXPECT_FALSE(send->shouldAttemptPersistentConnection());
    }
}

TEST_F(RequestSendTest, BodyFromFileIsSentAndItsTemporaryFileRemoved)
{
    TempDir dir;
    platform::Bytes content = sampleBytes(700000, 5);
    writeFile(dir.file("upload.bin"), content);
    auto post = request("/file");
    post->setShouldStreamPostDataFromDisk(true);
    post->appendPostData(toBytes("head:"));
    post->appendPostDataFromFile(dir.file("upload.bin"));
    auto temporary = post->postBodyFilePath();
    ASSERT_TRUE(temporary);
    ASSERT_TRUE(runRequest(post));
    ASSERT_FALSE(post->error()) << post->error()->description();
    auto seen = server.lastRequest();
    EXPECT_EQ(seen->header("Content-Length").value_or(""), std::to_string(content.size() + 5));
    EXPECT_TRUE(seen->body == "head:" + toString(content));
    EXPECT_FALSE(fileExists(*temporary));
}

TEST_F(RequestSendTest, CompressedBodiesInflateAtTheServer)
{
    TempDir dir;
    platform::Bytes content = sampleBytes(262144, 9);
    auto fromMemory = request("/gz");
    fromMemory->setShouldCompressRequestBody(true);
    fromMemory->setPostBody(content);
    ASSERT_TRUE(runRequest(fromMemory));
    auto seen = server.lastRequest();
    EXPECT_EQ(seen->header("Content-Encoding").value_or(""), "gzip");
    writeFile(dir.file("memory.gz"), toBytes(seen->body));
    EXPECT_TRUE(runCommand("gzip -dc '" + dir.file("memory.gz") + "'") == toString(content));

    // A file body whose size is a whole number of read pieces still ends its gzip stream.
    writeFile(dir.file("body"), content);
    auto fromFile = request("/gz");
    fromFile->setShouldCompressRequestBody(true);
    fromFile->setPostBodyFilePath(dir.file("body"));
    fromFile->setShouldStreamPostDataFromDisk(true);
    ASSERT_TRUE(runRequest(fromFile));
    ASSERT_FALSE(fromFile->error()) << fromFile->error()->description();
    seen = server.lastRequest();
    writeFile(dir.file("file.gz"), toBytes(seen->body));
    int status = 0;
    std::string inflated = runCommand("gzip -dc '" + dir.file("file.gz") + "'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(inflated == toString(content));
}

TEST_F(RequestSendTest, CookiesJoinOwnThenStoredAndBasicGoesAhead)
{
    platform::HttpCookie own;
    own.name = "own";
    own.value = "1";
    own.domain = "127.0.0.1";
    platform::HttpCookie stored;
    stored.name = "sid";
    stored.value = "abc";
    stored.domain = "127.0.0.1";
    platform::HttpCookieStorage::shared().setCookie(stored);

    auto get = request("/cookies");
    get->setRequestCookies({ own });
    get->setUsername(std::string("teacher"));
    get->setPassword(std::string("p@ss:word"));
    get->setAuthenticationScheme(std::string("Basic"));
    ASSERT_TRUE(runRequest(get));
    auto seen = server.lastRequest();
    EXPECT_EQ(seen->header("Cookie").value_or(""), "own=1; sid=abc");
    EXPECT_EQ(seen->header("Authorization").value_or(""),
        "Basic " + HTTPRequest::base64forData(toBytes("teacher:p@ss:word")));
    platform::HttpCookieStorage::shared().deleteCookie(stored);

    // Without persistence only the request's own cookies go.
    auto bare = request("/cookies");
    bare->setUseCookiePersistence(false);
    ASSERT_TRUE(runRequest(bare));
    EXPECT_FALSE(server.lastRequest()->header("Cookie"));
}

TEST_F(RequestSendTest, HeaderValuesWithLineBreaksAreRefused)
{
    auto get = request("/inject");
    get->addRequestHeader("X-Note", "a\r\nX-Injected: 1");
    ASSERT_TRUE(runRequest(get));
    ASSERT_TRUE(get->error());
    EXPECT_EQ(get->error()->code(), UnableToCreateRequestErrorType);
    EXPECT_EQ(server.requests().size(), 0u);
}

TEST_F(RequestSendTest, CopyRebuildsItsOwnBodyAndHeaders)
{
    auto original = request("/copy");
    original->setShouldCompressRequestBody(true);
    original->setPostBody(toBytes(std::string(5000, 'a')));
    original->addRequestHeader("X-Owner", "kept");
    ASSERT_TRUE(runRequest(original));
    ASSERT_FALSE(original->error());

    auto copy = original->copyWithZone();
    EXPECT_FALSE(copy->haveBuiltPostBody());
    EXPECT_EQ(copy->requestMethod(), "POST");
    ASSERT_TRUE(runRequest(copy));
    ASSERT_FALSE(copy->error()) << copy->error()->description();
    auto seen = server.lastRequest();
    EXPECT_EQ(seen->header("X-Owner").value_or(""), "kept");
    EXPECT_EQ(seen->header("Content-Encoding").value_or(""), "gzip");
    auto inflated = DataDecompressor::uncompressData(toBytes(seen->body), nullptr);
    ASSERT_TRUE(inflated);
    EXPECT_EQ(toString(*inflated), std::string(5000, 'a'));
    EXPECT_EQ(seen->header("Content-Length").value_or(""), std::to_string(seen->body.size()));
}

TEST_F(RequestSendTest, NewRequestDefaults)
{
    auto fresh = request("/");
    EXPECT_EQ(fresh->requestMethod(), "GET");
    EXPECT_EQ(fresh->persistentConnectionTimeoutSeconds(), 60.0);
    EXPECT_EQ(fresh->defaultResponseEncoding(), platform::kISOLatin1StringEncoding);
    EXPECT_TRUE(fresh->allowCompressedResponse());
    EXPECT_TRUE(fresh->validatesSecureCertificate());
    EXPECT_TRUE(fresh->useCookiePersistence());
    EXPECT_TRUE(fresh->shouldAttemptPersistentConnection());
    fresh->setRequestMethod("POST");
    EXPECT_FALSE(fresh->shouldAttemptPersistentConnection());
}
