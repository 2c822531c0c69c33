#include "foundation/http/HTTPRequest.h"
#include "platform/net/NetErrors.h"
#include "tests/foundation/http/HttpTestHarness.h"
#include "tests/support/NginxServer.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

using foundation::ConnectionFailureErrorType;
using foundation::HTTPRequest;

using namespace http_test;
using testsupport::NginxServer;
using testsupport::TestCertificates;

namespace {

class TlsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (NginxServer::available())
            certificates = TestCertificates::generate().release();
    }
    static void TearDownTestSuite()
    {
        delete certificates;
        certificates = nullptr;
        HTTPRequest::setTrustedRootCertificatesFile({});
    }
    void SetUp() override
    {
        if (!certificates)
            ORB_SKIP_WITHOUT_TOOL("nginx or openssl missing");
        HTTPRequest::setTrustedRootCertificatesFile(certificates->caCertificate());
    }
    std::unique_ptr<NginxServer> serve(const std::string& certificate, const std::string& key)
    {
        NginxServer::Options options;
        options.certificateFile = certificate;
        options.keyFile = key;
        std::string error;
        auto nginx = NginxServer::start(options, &error);
        EXPECT_TRUE(nginx) << error;
        if (nginx)
            nginx->writeFile("hello.txt", "secure hello");
        return nginx;
    }
    static TestCertificates* certificates;
};

TestCertificates* TlsTest::certificates = nullptr;

} // namespace

TEST_F(TlsTest, BadCertificatesAreRefusedWithTheirCodesAndAcceptedWithoutValidation)
{
    struct Case {
        std::string certificate;
        std::string key;
        long code;
    };
    std::vector<Case> cases = {
        { certificates->selfSignedCertificate(), certificates->selfSignedKey(), platform::kSSLNoRootCert },
        { certificates->expiredCertificate(), certificates->expiredKey(), platform::kSSLCertExpired },
        { certificates->wrongHostCertificate(), certificates->wrongHostKey(), platform::kSSLXCertChainInvalid },
    };
    for (auto& c : cases) {
        auto nginx = serve(c.certificate, c.key);
        ASSERT_TRUE(nginx);
        auto refused = HTTPRequest::requestWithURL(*platform::Url::parse(nginx->baseUrl() + "/hello.txt"));
        ASSERT_TRUE(runRequest(refused));
        ASSERT_TRUE(refused->error()) << c.certificate;
        EXPECT_EQ(refused->error()->code(), ConnectionFailureErrorType);
        EXPECT_EQ(refused->error()->localizedDescription(),
            "A connection failure occurred: SSL problem (Possible causes may include a bad/expired/self-signed "
            "certificate, clock set to wrong date)");
        auto underlying = refused->error()->underlyingError();
        ASSERT_TRUE(underlying);
        EXPECT_EQ(underlying->domain(), platform::kOSStatusErrorDomain);
        EXPECT_EQ(underlying->code(), c.code) << c.certificate;

        auto relaxed = HTTPRequest::requestWithURL(*platform::Url::parse(nginx->baseUrl() + "/hello.txt"));
        relaxed->setValidatesSecureCertificate(false);
        ASSERT_TRUE(runRequest(relaxed));
        ASSERT_FALSE(relaxed->error()) << relaxed->error()->description();
        EXPECT_EQ(bodyText(relaxed), "secure hello");
    }

    auto nginx = serve(certificates->validCertificate(), certificates->validKey());
    ASSERT_TRUE(nginx);
    auto valid = HTTPRequest::requestWithURL(*platform::Url::parse(nginx->baseUrl() + "/hello.txt"));
    ASSERT_TRUE(runRequest(valid));
    ASSERT_FALSE(valid->error()) << valid->error()->description();
    EXPECT_EQ(bodyText(valid), "secure hello");
}

TEST_F(TlsTest, NginxKeepsAndCompressesForTheEngine)
{
    NginxServer::Options options;
    options.gzip = true;
    std::string error;
    auto nginx = NginxServer::start(options, &error);
    ASSERT_TRUE(nginx) << error;
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text += "{\"id\":" + std::to_string(i) + ",\"name\":\"student\"},";
    nginx->writeFile("data.json", text);
    std::int64_t firstConnection = 0;
    for (int i = 0; i < 3; ++i) {
        auto get = HTTPRequest::requestWithURL(*platform::Url::parse(nginx->baseUrl() + "/data.json"));
        ASSERT_TRUE(runRequest(get));
        ASSERT_FALSE(get->error()) << get->error()->description();
        EXPECT_TRUE(get->isResponseCompressed());
        EXPECT_TRUE(bodyText(get) == text);
        if (i == 0)
            firstConnection = get->connectionID();
        else
            EXPECT_EQ(get->connectionID(), firstConnection);
    }
}
