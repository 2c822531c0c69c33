#include "foundation/http/AuthenticationDialog.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/net/ProxySettings.h"
#include "tests/foundation/http/HttpTestHarness.h"
#include "tests/foundation/http/TestUtil.h"
#include "tests/support/NginxServer.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/ProxyServers.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <map>

using foundation::AuthenticationDialog;
using foundation::AuthenticationErrorType;
using foundation::HTTPRequest;
using foundation::InternalErrorWhileBuildingRequestType;
using foundation::RequestCancelledErrorType;
using foundation::ScriptedAuthenticationPresenter;

using namespace http_test;
using testsupport::TestHttpServer;
using testsupport::TinyproxyServer;

bool waitUntilAllAsk(const std::vector<std::shared_ptr<HTTPRequest>>& requests, int kind);

namespace {

// The system settings the engine sees, as if from the environment.
void useEnvironment(std::map<std::string, std::string> values, std::string settingsFile = {})
{
    platform::SystemProxySettings::setSourceForTesting([values, settingsFile] {
        return platform::SystemProxySettings::fromSources(
            [values](const char* name) -> std::optional<std::string> {
                auto found = values.find(name);
                if (found == values.end())
                    return std::nullopt;
                return found->second;
            },
            settingsFile);
    });
}

class ProxyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        server.onPrefix("/", TestHttpServer::text(200, "origin"));
        useEnvironment({});
        HTTPRequest::clearSession();
        for (auto& entry : HTTPRequest::sessionProxyCredentialsStore())
            HTTPRequest::removeProxyAuthenticationCredentialsFromSessionStore(entry.credentials);
    }
    void TearDown() override
    {
        platform::SystemProxySettings::setSourceForTesting(nullptr);
        AuthenticationDialog::setPresenter(nullptr);
        server.stop();
    }
    std::shared_ptr<HTTPRequest> request(const std::string& path)
    {
        return HTTPRequest::requestWithURL(*platform::Url::parse(server.url(path)));
    }
    std::unique_ptr<TinyproxyServer> startTinyproxy(TinyproxyServer::Options options = {})
    {
        std::string error;
        auto proxy = TinyproxyServer::start(options, &error);
        EXPECT_TRUE(proxy) << error;
        return proxy;
    }
    TestHttpServer server;
};

} // namespace

TEST_F(ProxyTest, EnvironmentProxyCarriesTheRequestAndNoProxyBypassesIt)
{
    if (!TinyproxyServer::available())
        ORB_SKIP_WITHOUT_TOOL("tinyproxy is not installed");
    auto proxy = startTinyproxy();
    ASSERT_TRUE(proxy);
    useEnvironment({ { "http_proxy", "http://127.0.0.1:" + std::to_string(proxy->port()) } });
    auto viaProxy = request("/through");
    ASSERT_TRUE(runRequest(viaProxy));
    ASSERT_FALSE(viaProxy->error()) << viaProxy->error()->description();
    EXPECT_EQ(bodyText(viaProxy), "origin");
    EXPECT_EQ(viaProxy->proxyHost().value_or(""), "127.0.0.1");
    EXPECT_EQ(viaProxy->proxyPort(), proxy->port());
    EXPECT_NE(proxy->log().find("/through"), std::string::npos);
    // tinyproxy adds a Via header on the way.
    EXPECT_TRUE(server.lastRequest()->header("Via"));

    useEnvironment(
        { { "http_proxy", "http://127.0.0.1:" + std::to_string(proxy->port()) }, { "no_proxy", "127.0.0.1" } });
    auto direct = request("/direct");
    ASSERT_TRUE(runRequest(direct));
    ASSERT_FALSE(direct->error());
    EXPECT_FALSE(direct->proxyHost());
    EXPECT_FALSE(server.lastRequest()->header("Via"));
    EXPECT_EQ(proxy->log().find("/direct"), std::string::npos);

    // Settings that cannot be understood: code 6, nothing sent.
    useEnvironment({ { "http_proxy", "gopher://127.0.0.1:70" } });
    server.clearLog();
    auto broken = request("/broken");
    ASSERT_TRUE(runRequest(broken));
    ASSERT_TRUE(broken->error());
    EXPECT_EQ(broken->error()->code(), InternalErrorWhileBuildingRequestType);
    EXPECT_EQ(
        broken->error()->localizedDescription(), "Unable to obtain information on proxy servers needed for request");
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(ProxyTest, ConnectTunnelToATlsServer)
{
    if (!TinyproxyServer::available() || !testsupport::NginxServer::available())
        ORB_SKIP_WITHOUT_TOOL("tinyproxy or nginx is not installed");
    std::string error;
    auto certificates = testsupport::TestCertificates::generate(&error);
    ASSERT_TRUE(certificates) << error;
    testsupport::NginxServer::Options options;
    options.certificateFile = certificates->validCertificate();
    options.keyFile = certificates->validKey();
    auto nginx = testsupport::NginxServer::start(options, &error);
    ASSERT_TRUE(nginx) << error;
    ASSERT_TRUE(nginx->writeFile("tls.txt", "over tls"));
    auto proxy = startTinyproxy();
    ASSERT_TRUE(proxy);
    HTTPRequest::setTrustedRootCertificatesFile(certificates->caCertificate());
    useEnvironment({ { "https_proxy", "127.0.0.1:" + std::to_string(proxy->port()) } });
    auto secure = HTTPRequest::requestWithURL(*platform::Url::parse(nginx->baseUrl() + "/tls.txt"));
    bool reported = runRequest(secure);
    HTTPRequest::setTrustedRootCertificatesFile("");
    ASSERT_TRUE(reported);
    ASSERT_FALSE(secure->error()) << secure->error()->description();
    EXPECT_EQ(bodyText(secure), "over tls");
    EXPECT_EQ(secure->proxyType().value_or(""), platform::kProxyTypeHTTPS);
    EXPECT_NE(proxy->log().find("CONNECT"), std::string::npos);
}

TEST_F(ProxyTest, ProxyAuthenticationThroughTheDialogMatchedByTheProxy)
{
    if (!TinyproxyServer::available())
        ORB_SKIP_WITHOUT_TOOL("tinyproxy is not installed");
    TinyproxyServer::Options options;
    options.basicAuthUser = "gate";
    options.basicAuthPassword = "keeper";
    auto proxy = startTinyproxy(options);
    ASSERT_TRUE(proxy);
    TestHttpServer second;
    ASSERT_TRUE(second.start());
    second.onPrefix("/", TestHttpServer::text(200, "second origin"));

    auto presenter = std::make_shared<ScriptedAuthenticationPresenter>();
    presenter->addAnswer({ true, "gate", "keeper", "" });
    AuthenticationDialog::setPresenter(presenter);

    // Two requests to different servers through one proxy: one dialog answers both.
    std::vector<std::shared_ptr<HTTPRequest>> requests { request("/one"),
        HTTPRequest::requestWithURL(*platform::Url::parse(second.url("/two"))) };
    auto done = std::make_shared<int>(0);
    for (auto& r : requests) {
        r->setProxyHost("127.0.0.1");
        r->setProxyPort(proxy->port());
        r->setUseSessionPersistence(false);
        r->setCompletionBlock([done] { ++*done; });
        r->setFailedBlock([done] { ++*done; });
        r->startAsynchronous();
    }
    ASSERT_TRUE(waitUntilAllAsk(requests, 2));
    ASSERT_TRUE(platform::RunLoop::main().runUntil([done] { return *done == 2; }, 15));
    for (auto& r : requests)
        ASSERT_FALSE(r->error()) << r->error()->description();
    EXPECT_EQ(bodyText(requests[0]), "origin");
    EXPECT_EQ(bodyText(requests[1]), "second origin");
    auto shown = presenter->shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].type, AuthenticationDialog::ProxyCredentials);
    EXPECT_EQ(shown[0].title, "127.0.0.1");
    EXPECT_EQ(shown[0].prompt.value_or(""), "Login to this secure proxy server.");
    EXPECT_EQ(shown[0].matchingRequests, 2u);

    // A refused proxy password with nobody to ask: code 3.
    auto refused = request("/refused");
    refused->setProxyHost("127.0.0.1");
    refused->setProxyPort(proxy->port());
    refused->setProxyUsername("gate");
    refused->setProxyPassword("wrong");
    refused->setShouldPresentProxyAuthenticationDialog(false);
    refused->setUseSessionPersistence(false);
    ASSERT_TRUE(runRequest(refused));
    ASSERT_TRUE(refused->error());
    EXPECT_EQ(refused->error()->code(), AuthenticationErrorType);
}

TEST_F(ProxyTest, PacFileChoosesProxySocksOrDirect)
{
    if (!TinyproxyServer::available())
        ORB_SKIP_WITHOUT_TOOL("tinyproxy is not installed");
    auto proxy = startTinyproxy();
    ASSERT_TRUE(proxy);
    testsupport::TestSocksServer socks;
    ASSERT_TRUE(socks.start());
    TempDir dir;
    // Latin-1 text that is not valid UTF-8 in a comment: still evaluated.
    std::string script = "// r\xe9seau de l'\xe9"
                         "cole\nfunction FindProxyForURL(url, host) {\n"
                         "  if (shExpMatch(url, '*/via-proxy*')) return 'PROXY 127.0.0.1:"
        + std::to_string(proxy->port()) + "';\n  if (shExpMatch(url, '*/via-socks*')) return 'SOCKS 127.0.0.1:"
        + std::to_string(socks.port()) + "';\n  return 'DIRECT';\n}\n";
    writeFile(dir.file("proxy.pac"), toBytes(script));
    useEnvironment({}, "");
    writeFile(dir.file("settings.conf"), toBytes("pac_url=file://" + dir.file("proxy.pac") + "\n"));
    useEnvironment({}, dir.file("settings.conf"));

    auto viaProxy = request("/via-proxy");
    ASSERT_TRUE(runRequest(viaProxy));
    ASSERT_FALSE(viaProxy->error()) << viaProxy->error()->description();
    EXPECT_EQ(viaProxy->proxyPort(), proxy->port());
    EXPECT_NE(proxy->log().find("/via-proxy"), std::string::npos);

    auto viaSocks = request("/via-socks");
    ASSERT_TRUE(runRequest(viaSocks));
    ASSERT_FALSE(viaSocks->error()) << viaSocks->error()->description();
    EXPECT_EQ(viaSocks->proxyType().value_or(""), platform::kProxyTypeSOCKS);
    ASSERT_EQ(socks.targets().size(), 1u);

    auto direct = request("/plain");
    ASSERT_TRUE(runRequest(direct));
    ASSERT_FALSE(direct->error());
    EXPECT_FALSE(direct->proxyHost());
    EXPECT_EQ(bodyText(direct), "origin");

    // Over HTTP, asynchronously, from the request's own PACurl.
    server.on("/proxy.pac", TestHttpServer::text(200, script, "application/x-ns-proxy-autoconfig"));
    useEnvironment({});
    auto overHttp = request("/via-proxy-http");
    overHttp->setPACurl(*platform::Url::parse(server.url("/proxy.pac")));
    ASSERT_TRUE(runRequest(overHttp));
    ASSERT_FALSE(overHttp->error()) << overHttp->error()->description();
    EXPECT_EQ(overHttp->proxyPort(), proxy->port());
    EXPECT_EQ(HTTPRequest::sharedQueue().maxConcurrentOperationCount(), 4);
}

TEST_F(ProxyTest, BrokenEmptyOrUnreachablePacFilesAreIgnored)
{
    TempDir dir;
    writeFile(dir.file("broken.pac"), toBytes("function FindProxyForURL(url, host) { return "));
    writeFile(dir.file("empty.pac"), toBytes(""));
    writeFile(dir.file("loops.pac"), toBytes("function FindProxyForURL(url, host) { while (true) {} }"));
    for (std::string name : { "broken.pac", "empty.pac", "loops.pac", "missing.pac" }) {
        auto r = request("/after-" + name);
        r->setTimeOutSeconds(2);
        r->setPACurl(platform::Url::fileUrl(dir.file(name)));
        ASSERT_TRUE(runRequest(r, 15)) << name;
        ASSERT_FALSE(r->error()) << name << ": " << r->error()->description();
        EXPECT_EQ(bodyText(r), "origin") << name;
        EXPECT_FALSE(r->proxyHost()) << name;
    }
    // A scheme that is neither a file nor http(s) is not fetched.
    auto other = request("/after-ftp");
    other->setPACurl(*platform::Url::parse("ftp://127.0.0.1/proxy.pac"));
    ASSERT_TRUE(runRequest(other));
    EXPECT_FALSE(other->error());
    // A failed HTTP fetch is ignored too.
    server.on("/gone.pac", TestHttpServer::text(404, "not here"));
    auto gone = request("/after-gone");
    gone->setPACurl(*platform::Url::parse(server.url("/gone.pac")));
    ASSERT_TRUE(runRequest(gone));
    EXPECT_FALSE(gone->error());
    EXPECT_EQ(bodyText(gone), "origin");
}

TEST_F(ProxyTest, CancelledPacFetchGivesTheQueueWidthBack)
{
    server.on("/slow.pac",
        [](const testsupport::TestRequest&, testsupport::TestConnection& connection) { connection.stall(5); });
    int width = HTTPRequest::sharedQueue().maxConcurrentOperationCount();
    for (int i = 0; i < 3; ++i) {
        auto r = request("/never");
        r->setPACurl(*platform::Url::parse(server.url("/slow.pac")));
        auto failed = std::make_shared<bool>(false);
        r->setFailedBlock([failed] { *failed = true; });
        r->startAsynchronous();
        ASSERT_TRUE(server.waitForRequests(static_cast<std::size_t>(i + 1), 5));
        EXPECT_EQ(HTTPRequest::sharedQueue().maxConcurrentOperationCount(), width + 1);
        r->cancel();
        ASSERT_TRUE(platform::RunLoop::main().runUntil([failed] { return *failed; }, 5));
        EXPECT_EQ(r->error()->code(), RequestCancelledErrorType);
        EXPECT_EQ(HTTPRequest::sharedQueue().maxConcurrentOperationCount(), width);
    }
}
