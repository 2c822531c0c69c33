#include "platform/net/HttpStream.h"
#include "tests/support/NginxServer.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/ProxyServers.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

using namespace platform;
using testsupport::NginxServer;
using testsupport::TestCertificates;
using testsupport::TestHttpServer;
using testsupport::TestSocksServer;
using testsupport::TinyproxyServer;

namespace {

constexpr double kWait = 2.0;

struct Outcome {
    bool ended = false;
    std::optional<Error> error;
    std::optional<HttpMessage> head;
    std::string body;
};

Outcome fetch(const std::string& url, const ProxySettings& proxy, const TlsSettings& tls = {},
    std::vector<std::pair<std::string, std::string>> headers = {})
{
    Outcome outcome;
    auto message = HttpMessage::createRequest("GET", Url::parse(url).value_or(Url()));
    EXPECT_TRUE(message) << url;
    if (!message)
        return outcome;
    for (const auto& [name, value] : headers)
        message->setHeaderFieldValue(name, value);
    auto stream = HttpStream::createForHTTPRequest(*message);
    stream->setProxy(proxy);
    stream->setTlsSettings(tls);
    bool done = false;
    stream->setClient(
        HttpStream::kEventHasBytesAvailable | HttpStream::kEventErrorOccurred | HttpStream::kEventEndEncountered,
        [&](HttpStream& s, HttpStream::Event event) {
            if (event == HttpStream::kEventHasBytesAvailable) {
                std::uint8_t buffer[16384];
                long n = s.read(buffer, sizeof buffer);
                if (n > 0)
                    outcome.body.append(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(n));
                return;
            }
            outcome.ended = event == HttpStream::kEventEndEncountered;
            outcome.error = s.error();
            outcome.head = s.responseHeader();
            done = true;
        });
    stream->scheduleInRunLoop(RunLoop::current());
    EXPECT_TRUE(stream->open());
    EXPECT_TRUE(RunLoop::current().runUntil([&] { return done; }, kWait)) << url;
    return outcome;
}

ProxySettings proxyAt(ProxySettings::Type type, int port) { return ProxySettings { type, "127.0.0.1", port }; }

class HttpStreamProxyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!TinyproxyServer::available() || !NginxServer::available())
            return;
        std::string error;
        certificates = TestCertificates::generate(&error).release();
        ASSERT_TRUE(certificates) << error;
        NginxServer::Options options;
        options.certificateFile = certificates->validCertificate();
        options.keyFile = certificates->validKey();
        // Shows whether proxy credentials leaked through the tunnel to the origin.
        options.extraServerConfig = "    add_header X-Seen-Proxy-Auth \"[$http_proxy_authorization]\" always;\n";
        origin = NginxServer::start(options, &error).release();
        ASSERT_TRUE(origin) << error;
        origin->writeFile("index.txt", "origin says hi");
        open = TinyproxyServer::start({}, &error).release();
        ASSERT_TRUE(open) << error;
        guarded = TinyproxyServer::start({ "orb", "s3cret" }, &error).release();
        ASSERT_TRUE(guarded) << error;
    }

    static void TearDownTestSuite()
    {
        delete open;
        delete guarded;
        delete origin;
        delete certificates;
        open = guarded = nullptr;
        origin = nullptr;
        certificates = nullptr;
    }

    void SetUp() override
    {
        if (!TinyproxyServer::available() || !NginxServer::available())
            ORB_SKIP_WITHOUT_TOOL("tinyproxy or nginx is not installed (scripts/setup installs them)");
        ASSERT_TRUE(open && guarded && origin);
        std::string error;
        ASSERT_TRUE(server.start(&error)) << error;
        tls.trustedRootsFile = certificates->caCertificate();
    }

    static inline TestCertificates* certificates = nullptr;
    static inline NginxServer* origin = nullptr;
    static inline TinyproxyServer* open = nullptr;
    static inline TinyproxyServer* guarded = nullptr;
    TestHttpServer server;
    TlsSettings tls;
};

TEST_F(HttpStreamProxyTest, HttpProxyForwardsAbsoluteFormRequests)
{
    server.on("/via", TestHttpServer::echo());
    auto outcome = fetch(server.url("/via?x=1"), proxyAt(ProxySettings::Type::Http, open->port()));
    ASSERT_TRUE(outcome.ended) << (outcome.error ? outcome.error->description() : "");
    EXPECT_EQ(outcome.head->statusCode(), 200);
    auto seen = server.lastRequest();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->target, "/via?x=1");
    EXPECT_NE(seen->header("Via").value_or("").find("tinyproxy"), std::string::npos);
    EXPECT_NE(open->log().find("GET " + server.url("/via?x=1")), std::string::npos) << open->log();
}

TEST_F(HttpStreamProxyTest, HttpsGoesThroughAConnectTunnel)
{
    auto outcome = fetch(origin->baseUrl() + "/index.txt", proxyAt(ProxySettings::Type::Https, open->port()), tls);
    ASSERT_TRUE(outcome.ended) << (outcome.error ? outcome.error->description() : "");
    EXPECT_EQ(outcome.head->statusCode(), 200);
    EXPECT_EQ(outcome.body, "origin says hi");
    EXPECT_NE(open->log().find("CONNECT 127.0.0.1:" + std::to_string(origin->port())), std::string::npos)
        << open->log();
}

TEST_F(HttpStreamProxyTest, RefusedTunnelIsHandedBackAsTheResponse)
{
    auto refused = fetch(origin->baseUrl() + "/index.txt", proxyAt(ProxySettings::Type::Https, guarded->port()), tls);
    ASSERT_TRUE(refused.ended) << (refused.error ? refused.error->description() : "");
    ASSERT_TRUE(refused.head);
    EXPECT_EQ(refused.head->statusCode(), 407);
    EXPECT_NE(refused.head->headerFieldValue("Proxy-Authenticate").value_or("").find("Basic"), std::string::npos);
    EXPECT_TRUE(refused.body.empty());

    // With credentials the tunnel opens, and they go to the proxy only.
    auto admitted = fetch(origin->baseUrl() + "/index.txt", proxyAt(ProxySettings::Type::Https, guarded->port()), tls,
        { { "Proxy-Authorization", "Basic b3JiOnMzY3JldA==" } });
    ASSERT_TRUE(admitted.ended) << (admitted.error ? admitted.error->description() : "");
    EXPECT_EQ(admitted.head->statusCode(), 200);
    EXPECT_EQ(admitted.head->headerFieldValue("X-Seen-Proxy-Auth"), "[]");

    // A plain proxied request gets the 407 like any other answer.
    server.on("/plain", TestHttpServer::text(200, "no"));
    auto plain = fetch(server.url("/plain"), proxyAt(ProxySettings::Type::Http, guarded->port()));
    ASSERT_TRUE(plain.ended);
    EXPECT_EQ(plain.head->statusCode(), 407);
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(HttpStreamProxyTest, SocksProxyConnectsToTheOrigin)
{
    TestSocksServer socks;
    std::string error;
    ASSERT_TRUE(socks.start(&error)) << error;
    server.on("/s", TestHttpServer::text(200, "through socks"));
    auto outcome = fetch(server.url("/s"), proxyAt(ProxySettings::Type::Socks, socks.port()));
    ASSERT_TRUE(outcome.ended) << (outcome.error ? outcome.error->description() : "");
    EXPECT_EQ(outcome.body, "through socks");
    EXPECT_EQ(socks.targets(), std::vector<std::string> { "127.0.0.1:" + std::to_string(server.port()) });
    EXPECT_EQ(server.lastRequest()->target, "/s");

    // A proxy that is not there is a connect failure, not a hang.
    socks.stop();
    auto gone = fetch(server.url("/s"), proxyAt(ProxySettings::Type::Socks, socks.port()));
    ASSERT_TRUE(gone.error);
    EXPECT_FALSE(gone.ended);
}

} // namespace
