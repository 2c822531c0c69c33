#include "platform/net/HttpStream.h"
#include "platform/net/NetErrors.h"
#include "tests/support/NginxServer.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

using namespace platform;
using testsupport::NginxServer;
using testsupport::TestCertificates;

namespace {

constexpr double kWait = 2.0;

// Runs one request on the current loop and keeps what came back.
struct Outcome {
    bool ended = false;
    std::optional<Error> error;
    std::optional<HttpMessage> head;
    std::string body;
    std::shared_ptr<HttpStream> stream; // kept open, so that its connection can be reused
};

Outcome fetch(const std::string& url, const TlsSettings& tls, std::int64_t connectionId = 0,
    std::vector<std::pair<std::string, std::string>> headers = {})
{
    Outcome outcome;
    auto parsed = Url::parse(url);
    EXPECT_TRUE(parsed) << url;
    auto message = HttpMessage::createRequest("GET", parsed.value_or(Url()));
    EXPECT_TRUE(message);
    if (!message)
        return outcome;
    for (const auto& [name, value] : headers)
        message->setHeaderFieldValue(name, value);
    auto stream = HttpStream::createForHTTPRequest(*message);
    stream->setTlsSettings(tls);
    if (connectionId) {
        stream->setAttemptPersistentConnection(true);
        stream->setConnectionId(connectionId);
    }
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
    stream->setClient(0, nullptr);
    outcome.stream = stream;
    return outcome;
}

class HttpStreamTlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!NginxServer::available())
            return;
        std::string error;
        certificates = TestCertificates::generate(&error).release();
        ASSERT_TRUE(certificates) << error;
        auto serve = [&](const std::string& certificate, const std::string& key, const std::string& clientCa = {}) {
            NginxServer::Options options;
            options.certificateFile = certificate;
            options.keyFile = key;
            options.clientCaFile = clientCa;
            options.gzip = true;
            options.extraServerConfig = "    add_header X-Connection $connection always;\n";
            auto server = NginxServer::start(options, &error);
            EXPECT_TRUE(server) << error;
            if (server)
                server->writeFile("hello.txt", std::string(4000, 'h'));
            return server.release();
        };
        valid = serve(certificates->validCertificate(), certificates->validKey());
        expired = serve(certificates->expiredCertificate(), certificates->expiredKey());
        wrongHost = serve(certificates->wrongHostCertificate(), certificates->wrongHostKey());
        selfSigned = serve(certificates->selfSignedCertificate(), certificates->selfSignedKey());
        clientAuth = serve(certificates->validCertificate(), certificates->validKey(), certificates->caCertificate());
    }

    static void TearDownTestSuite()
    {
        for (NginxServer** server : { &valid, &expired, &wrongHost, &selfSigned, &clientAuth }) {
            delete *server;
            *server = nullptr;
        }
        delete certificates;
        certificates = nullptr;
    }

    void SetUp() override
    {
        if (!NginxServer::available())
            ORB_SKIP_WITHOUT_TOOL("nginx is not installed (scripts/setup installs it)");
        ASSERT_TRUE(valid && expired && wrongHost && selfSigned && clientAuth);
    }

    static TlsSettings trustingOurAuthority()
    {
        TlsSettings tls;
        tls.trustedRootsFile = certificates->caCertificate();
        return tls;
    }

    static inline TestCertificates* certificates = nullptr;
    static inline NginxServer* valid = nullptr;
    static inline NginxServer* expired = nullptr;
    static inline NginxServer* wrongHost = nullptr;
    static inline NginxServer* selfSigned = nullptr;
    static inline NginxServer* clientAuth = nullptr;
};

TEST_F(HttpStreamTlsTest, TrustedCertificateIsAccepted)
{
    auto outcome = fetch(valid->baseUrl() + "/hello.txt", trustingOurAuthority());
    ASSERT_TRUE(outcome.ended) << (outcome.error ? outcome.error->description() : "");
    EXPECT_EQ(outcome.head->statusCode(), 200);
    EXPECT_EQ(outcome.body, std::string(4000, 'h'));
    // "localhost" is in the certificate too.
    auto byName = fetch("https://localhost:" + std::to_string(valid->port()) + "/hello.txt", trustingOurAuthority());
    EXPECT_TRUE(byName.ended) << (byName.error ? byName.error->description() : "");
}

TEST_F(HttpStreamTlsTest, EachBadCertificateIsRefusedWithItsCode)
{
    struct Case {
        const char* what;
        NginxServer* server;
        TlsSettings tls;
        long code;
    };
    const Case cases[] = {
        { "expired", expired, trustingOurAuthority(), kSSLCertExpired },
        { "wrong host", wrongHost, trustingOurAuthority(), kSSLXCertChainInvalid },
        { "self-signed", selfSigned, trustingOurAuthority(), kSSLNoRootCert },
        { "unknown authority (system roots only)", valid, TlsSettings {}, kSSLNoRootCert },
    };
    for (const auto& c : cases) {
        auto outcome = fetch(c.server->baseUrl() + "/hello.txt", c.tls);
        EXPECT_FALSE(outcome.ended) << c.what;
        ASSERT_TRUE(outcome.error) << c.what;
        EXPECT_EQ(outcome.error->domain(), kOSStatusErrorDomain) << c.what;
        EXPECT_EQ(outcome.error->code(), c.code) << c.what << ": " << outcome.error->description();
        EXPECT_TRUE(isTlsError(*outcome.error)) << c.what;
        EXPECT_TRUE(outcome.body.empty()) << c.what;
    }
}

TEST_F(HttpStreamTlsTest, ValidationOffAcceptsThemAll)
{
    for (NginxServer* server : { expired, wrongHost, selfSigned, valid }) {
        auto outcome = fetch(server->baseUrl() + "/hello.txt", TlsSettings::validationOff());
        ASSERT_TRUE(outcome.ended) << server->baseUrl() << " " << (outcome.error ? outcome.error->description() : "");
        EXPECT_EQ(outcome.body.size(), 4000u);
    }
    // Only the host-name check off: a trusted chain for another name passes,
    // an untrusted one still does not.
    TlsSettings anyName = trustingOurAuthority();
    anyName.verifyPeerName = false;
    EXPECT_TRUE(fetch(wrongHost->baseUrl() + "/hello.txt", anyName).ended);
    auto untrusted = fetch(selfSigned->baseUrl() + "/hello.txt", anyName);
    ASSERT_TRUE(untrusted.error);
    EXPECT_EQ(untrusted.error->code(), kSSLNoRootCert);
}

TEST_F(HttpStreamTlsTest, ClientIdentityFromPemOrPkcs12)
{
    // Without one nginx answers with its own 400 page.
    auto anonymous = fetch(clientAuth->baseUrl() + "/hello.txt", trustingOurAuthority());
    ASSERT_TRUE(anonymous.ended);
    EXPECT_EQ(anonymous.head->statusCode(), 400);

    TlsSettings pem = trustingOurAuthority();
    pem.clientIdentityFile = certificates->clientIdentityPem();
    auto withPem = fetch(clientAuth->baseUrl() + "/hello.txt", pem);
    ASSERT_TRUE(withPem.ended) << (withPem.error ? withPem.error->description() : "");
    EXPECT_EQ(withPem.head->statusCode(), 200);

    TlsSettings p12 = trustingOurAuthority();
    p12.clientIdentityFile = certificates->clientIdentityP12();
    p12.clientIdentityFormat = TlsSettings::IdentityFormat::Pkcs12;
    p12.clientIdentityPassword = "secret";
    auto withP12 = fetch(clientAuth->baseUrl() + "/hello.txt", p12);
    ASSERT_TRUE(withP12.ended) << (withP12.error ? withP12.error->description() : "");
    EXPECT_EQ(withP12.head->statusCode(), 200);

    p12.clientIdentityPassword = "wrong";
    auto badPassword = fetch(clientAuth->baseUrl() + "/hello.txt", p12);
    ASSERT_TRUE(badPassword.error);
    EXPECT_EQ(badPassword.error->domain(), kOSStatusErrorDomain);
    EXPECT_EQ(badPassword.error->code(), kSSLBadCert);
}

TEST_F(HttpStreamTlsTest, KeptAliveTlsConnectionIsReusedByRecord)
{
    auto first = fetch(valid->baseUrl() + "/hello.txt", trustingOurAuthority(), 31);
    auto second = fetch(valid->baseUrl() + "/hello.txt", trustingOurAuthority(), 31);
    ASSERT_TRUE(first.ended && second.ended);
    EXPECT_TRUE(second.stream->connectionWasReused());
    EXPECT_EQ(first.head->headerFieldValue("X-Connection"), second.head->headerFieldValue("X-Connection"));

    // Once every stream of the record is gone, so is its connection.
    first.stream.reset();
    second.stream.reset();
    auto third = fetch(valid->baseUrl() + "/hello.txt", trustingOurAuthority(), 31);
    ASSERT_TRUE(third.ended);
    EXPECT_FALSE(third.stream->connectionWasReused());
    EXPECT_NE(third.head->headerFieldValue("X-Connection"), first.head->headerFieldValue("X-Connection"));
}

TEST_F(HttpStreamTlsTest, GzipBodiesArriveCompressed)
{
    auto outcome = fetch(valid->baseUrl() + "/hello.txt", trustingOurAuthority(), 0, { { "Accept-Encoding", "gzip" } });
    ASSERT_TRUE(outcome.ended);
    EXPECT_EQ(outcome.head->headerFieldValue("Content-Encoding"), "gzip");
    ASSERT_GE(outcome.body.size(), 2u);
    // Still gzip: decoding is the engine's job.
    EXPECT_EQ(static_cast<unsigned char>(outcome.body[0]), 0x1f);
    EXPECT_EQ(static_cast<unsigned char>(outcome.body[1]), 0x8b);
    EXPECT_LT(outcome.body.size(), 4000u);
}

} // namespace
