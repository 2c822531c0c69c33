#include "platform/net/HttpAuthentication.h"
#include "platform/net/CredentialStorage.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {

std::string hex(const std::uint8_t* data, std::size_t size)
{
    std::string out;
    char piece[3];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(piece, sizeof piece, "%02x", data[i]);
        out += piece;
    }
    return out;
}
template <class C> std::string hex(const C& bytes) { return hex(bytes.data(), bytes.size()); }

std::string md4Hex(const std::string& text)
{
    auto digest = md4Digest(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    return hex(digest);
}

HttpMessage challenge(int status, const std::vector<std::string>& values)
{
    auto response
        = HttpMessage::createResponse(status, status == 407 ? "Proxy Authentication Required" : "Unauthorized");
    for (auto& value : values)
        response.addHeaderFieldValue(status == 407 ? "Proxy-Authenticate" : "WWW-Authenticate", value);
    response.setHeaderComplete(true);
    return response;
}

Dictionary credentials(const std::string& user, const std::string& password, std::optional<std::string> domain = {})
{
    Dictionary dictionary;
    dictionary.set(kHTTPAuthenticationUsername, Value(user));
    dictionary.set(kHTTPAuthenticationPassword, Value(password));
    if (domain)
        dictionary.set(kHTTPAuthenticationAccountDomain, Value(*domain));
    return dictionary;
}

HttpMessage getRequest(const std::string& url) { return *HttpMessage::createRequest("GET", *Url::parse(url)); }

Bytes fromHex(const std::string& text)
{
    Bytes out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return out;
}

Bytes fromBase64(const std::string& text)
{
    // Small decoder for checking what went out.
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Bytes out;
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        auto index = alphabet.find(c);
        if (index == std::string::npos)
            break;
        buffer = buffer << 6 | static_cast<unsigned>(index);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<std::uint8_t>(buffer >> bits));
        }
    }
    return out;
}

} // namespace

TEST(Md4, Rfc1320TestSuite)
{
    EXPECT_EQ(md4Hex(""), "31d6cfe0d16ae931b73c59d7e0c089c0");
    EXPECT_EQ(md4Hex("a"), "bde52cb31de33e46245e05fbdbd6fb24");
    EXPECT_EQ(md4Hex("abc"), "a448017aaf21d8525fc10ae87aa6729d");
    EXPECT_EQ(md4Hex("message digest"), "d9130a8164549fe818874806e1c7014b");
    EXPECT_EQ(md4Hex("abcdefghijklmnopqrstuvwxyz"), "d79e1c308aa5bbcdeea8ed63df412da9");
    EXPECT_EQ(
        md4Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"), "043f8582f241db351ce627e153e7f0e4");
    EXPECT_EQ(md4Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
        "e33b4ddc9c38f2199c3e7b164fcc0536");
}

TEST(HttpAuthenticationChallenge, ParsesSeveralChallengesQuotedValuesAndTokens)
{
    auto parsed = parseAuthChallenges({ "Negotiate, NTLM TlRMTVNTUAACAAAA==",
        R"(Digest realm="a, \"b\"", nonce=abc, qop="auth,auth-int", Basic realm="x")" });
    ASSERT_EQ(parsed.size(), 4u);
    EXPECT_EQ(parsed[0].scheme, "Negotiate");
    EXPECT_EQ(parsed[1].token68, "TlRMTVNTUAACAAAA==");
    EXPECT_EQ(parsed[2].param("realm").value_or(""), "a, \"b\"");
    EXPECT_EQ(parsed[2].param("nonce").value_or(""), "abc");
    EXPECT_EQ(parsed[2].param("qop").value_or(""), "auth,auth-int");
    EXPECT_EQ(parsed[3].scheme, "Basic");
    EXPECT_EQ(parsed[3].param("realm").value_or(""), "x");
}

TEST(HttpAuthenticationChallenge, NoObjectForNegotiateOrMissingChallenge)
{
    EXPECT_FALSE(HttpAuthentication::createFromResponse(challenge(401, { "Negotiate" })));
    EXPECT_FALSE(HttpAuthentication::createFromResponse(challenge(401, {})));
    EXPECT_FALSE(HttpAuthentication::createFromResponse(challenge(401, { "Digest realm=\"r\"" }))); // no nonce
    EXPECT_FALSE(HttpAuthentication::createFromResponse(challenge(200, { "Basic realm=\"r\"" })));
    // The strongest offered scheme is chosen, Negotiate aside.
    auto auth = HttpAuthentication::createFromResponse(
        challenge(401, { "Negotiate", "Basic realm=\"r\"", "Digest realm=\"r\", nonce=\"n\", qop=\"auth\"" }));
    ASSERT_TRUE(auth);
    EXPECT_EQ(auth->method(), kHTTPAuthenticationSchemeDigest);
}

TEST(HttpAuthenticationBasic, AppliesAndGoesInvalidWhenRefused)
{
    auto auth = HttpAuthentication::createFromResponse(challenge(401, { "Basic realm=\"School\"" }));
    ASSERT_TRUE(auth);
    EXPECT_EQ(auth->method(), "Basic");
    EXPECT_EQ(auth->realm().value_or(""), "School");
    EXPECT_FALSE(auth->requiresAccountDomain());
    EXPECT_TRUE(auth->isValid());

    auto request = getRequest("http://127.0.0.1/x");
    EXPECT_FALSE(auth->applyCredentialDictionary(request, Dictionary())); // no user name
    ASSERT_TRUE(auth->applyCredentialDictionary(request, credentials("Aladdin", "open sesame")));
    EXPECT_EQ(request.headerFieldValue("Authorization").value_or(""), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");

    // The same challenge again after credentials went out: refused.
    auth->updateFromResponse(401, challenge(401, { "Basic realm=\"School\"" }).headers());
    Error reason;
    EXPECT_FALSE(auth->isValid(&reason));
    EXPECT_EQ(reason.domain(), kStreamErrorDomainHTTP);
    EXPECT_EQ(reason.code(), kStreamErrorHTTPAuthenticationBadPassword);
    EXPECT_FALSE(auth->applyCredentialDictionary(request, credentials("a", "b")));

    // A proxy's challenge answers with Proxy-Authorization.
    auto proxy = HttpAuthentication::createFromResponse(challenge(407, { "Basic realm=\"tinyproxy\"" }));
    ASSERT_TRUE(proxy);
    auto viaProxy = getRequest("http://127.0.0.1/x");
    ASSERT_TRUE(proxy->applyCredentialDictionary(viaProxy, credentials("u", "p")));
    EXPECT_TRUE(viaProxy.headerFieldValue("Proxy-Authorization"));
    EXPECT_FALSE(viaProxy.headerFieldValue("Authorization"));
}

// RFC 7616 section 3.9.1.
TEST(HttpAuthenticationDigest, Rfc7616ExampleForSha256AndMd5)
{
    const std::string common = R"(realm="http-auth@example.org", qop="auth, auth-int", )"
                               R"(nonce="7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v", )"
                               R"(opaque="FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS")";
    auto auth = HttpAuthentication::createFromResponse(
        challenge(401, { "Digest " + common + ", algorithm=MD5", "Digest " + common + ", algorithm=SHA-256" }));
    ASSERT_TRUE(auth);
    auth->setClientNonceForTesting("f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ");
    auto request = getRequest("http://www.example.org/dir/index.html");
    ASSERT_TRUE(auth->applyCredentialDictionary(request, credentials("Mufasa", "Circle of Life")));
    std::string header = request.headerFieldValue("Authorization").value_or("");
    EXPECT_NE(header.find("algorithm=SHA-256"), std::string::npos) << header;
    EXPECT_NE(
        header.find("response=\"753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1\""), std::string::npos)
        << header;
    EXPECT_NE(header.find("uri=\"/dir/index.html\""), std::string::npos);
    EXPECT_NE(header.find("nc=00000001"), std::string::npos);
    EXPECT_NE(header.find("opaque=\"FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS\""), std::string::npos);

    auto md5 = HttpAuthentication::createFromResponse(challenge(401, { "Digest " + common + ", algorithm=MD5" }));
    ASSERT_TRUE(md5);
    md5->setClientNonceForTesting("f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ");
    auto second = getRequest("http://www.example.org/dir/index.html");
    ASSERT_TRUE(md5->applyCredentialDictionary(second, credentials("Mufasa", "Circle of Life")));
    EXPECT_NE(second.headerFieldValue("Authorization")->find("response=\"8ca523f5e9506fed4657c9700eebdbec\""),
        std::string::npos);
}

TEST(HttpAuthenticationDigest, StaleNonceAllowsOneRetryOnly)
{
    auto auth
        = HttpAuthentication::createFromResponse(challenge(401, { "Digest realm=\"r\", nonce=\"one\", qop=\"auth\"" }));
    ASSERT_TRUE(auth);
    auto request = getRequest("http://127.0.0.1/p");
    ASSERT_TRUE(auth->applyCredentialDictionary(request, credentials("u", "p")));
    auth->updateFromResponse(
        401, challenge(401, { "Digest realm=\"r\", nonce=\"two\", qop=auth, stale=true" }).headers());
    ASSERT_TRUE(auth->isValid());
    ASSERT_TRUE(auth->applyCredentialDictionary(request, credentials("u", "p")));
    std::string header = request.headerFieldValue("Authorization").value_or("");
    EXPECT_NE(header.find("nonce=\"two\""), std::string::npos);
    EXPECT_NE(header.find("nc=00000001"), std::string::npos);
    // Stale once more: a server that never accepts is not followed forever.
    auth->updateFromResponse(
        401, challenge(401, { "Digest realm=\"r\", nonce=\"three\", qop=auth, stale=true" }).headers());
    EXPECT_FALSE(auth->isValid());
}

// MS-NLMP section 4.2.4: NTLMv2 with User / Domain / Password, server challenge
// 0123456789abcdef, client challenge aa * 8, time 0.
TEST(HttpAuthenticationNtlm, MsNlmpVersion2TestVectors)
{
    EXPECT_EQ(hex(ntlm::ntowfv2("Password", "User", "Domain")), "0c868a403bfd7a93a3001ef22ef02e3f");

    ntlm::ChallengeMessage message;
    message.serverChallenge = { 0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef };
    Bytes info;
    auto avPair = [&info](std::uint16_t id, const Bytes& value) {
        info.push_back(static_cast<std::uint8_t>(id));
        info.push_back(0);
        info.push_back(static_cast<std::uint8_t>(value.size()));
        info.push_back(0);
        info.insert(info.end(), value.begin(), value.end());
    };
    avPair(2, ntlm::utf16le("Domain"));
    avPair(1, ntlm::utf16le("Server"));
    avPair(0, {});
    message.targetInfo = info;
    std::array<std::uint8_t, 8> client;
    client.fill(0xaa);
    auto responses = ntlm::computeResponses(message, "User", "Password", "Domain", client, 0);
    EXPECT_EQ(hex(responses.lmChallengeResponse), "86c35097ac9cec102554764a57cccc19aaaaaaaaaaaaaaaa");
    EXPECT_EQ(hex(responses.ntChallengeResponse.data(), 16), "68cd0ab851e51c96aabc927bebef6a1c");
    EXPECT_EQ(hex(responses.sessionBaseKey), "8de40ccadbc14a82f15cb0ad0de95ca3");
}

TEST(HttpAuthenticationNtlm, HandshakeMessagesAndThirdChallengeRefused)
{
    auto auth = HttpAuthentication::createFromResponse(challenge(401, { "NTLM" }));
    ASSERT_TRUE(auth);
    EXPECT_TRUE(auth->requiresAccountDomain());
    EXPECT_TRUE(auth->requiresConnectionPinning());
    EXPECT_FALSE(auth->realm());

    auto request = getRequest("http://127.0.0.1/ntlm");
    ASSERT_TRUE(auth->applyCredentialDictionary(request, credentials("User", "Password", "Domain")));
    Bytes type1 = fromBase64(request.headerFieldValue("Authorization")->substr(5));
    ASSERT_GE(type1.size(), 16u);
    EXPECT_EQ(std::string(type1.begin(), type1.begin() + 7), "NTLMSSP");
    EXPECT_EQ(type1[8], 1);

    // The server's challenge message (type 2) with target information.
    Bytes type2
        = fromHex("4e544c4d53535000020000000c000c003800000033828ae20123456789abcdef00000000000000002400240044000000"
                  "060070170000000f53006500720076006500720002000c0044006f006d00610069006e0001000c005300650072007600"
                  "6500720000000000");
    ASSERT_TRUE(ntlm::parseChallengeMessage(type2));
    std::string token;
    {
        static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (std::size_t i = 0; i < type2.size(); i += 3) {
            unsigned v = type2[i] << 16 | (i + 1 < type2.size() ? type2[i + 1] << 8 : 0)
                | (i + 2 < type2.size() ? type2[i + 2] : 0);
            token += alphabet[v >> 18 & 63];
            token += alphabet[v >> 12 & 63];
            token += i + 1 < type2.size() ? alphabet[v >> 6 & 63] : '=';
            token += i + 2 < type2.size() ? alphabet[v & 63] : '=';
        }
    }
    auth->updateFromResponse(401, challenge(401, { "NTLM " + token }).headers());
    ASSERT_TRUE(auth->isValid());
    std::array<std::uint8_t, 8> client;
    client.fill(0xaa);
    auth->setNtlmClientDataForTesting(client, 0);
    ASSERT_TRUE(auth->applyCredentialDictionary(request, credentials("User", "Password", "Domain")));
    Bytes type3 = fromBase64(request.headerFieldValue("Authorization")->substr(5));
    ASSERT_GT(type3.size(), 64u);
    EXPECT_EQ(type3[8], 3);
    // The NT response field carries the published NTProofStr.
    std::size_t ntOffset = type3[24] | type3[25] << 8;
    ASSERT_LE(ntOffset + 16, type3.size());
    EXPECT_EQ(hex(type3.data() + ntOffset, 16), "68cd0ab851e51c96aabc927bebef6a1c");

    // A third challenge means the server refused.
    auth->updateFromResponse(401, challenge(401, { "NTLM" }).headers());
    EXPECT_FALSE(auth->isValid());
}

TEST(URLCredentialStorage, DefaultCredentialPerSpacePersistsWithMode0600)
{
    testsupport::TempDir folder("orb-credentials");
    ASSERT_FALSE(folder.path().empty());
    std::string file = folder / "Preferences/Credentials.txt";
    auto space = URLProtectionSpace::server("127.0.0.1", 8080, "http", std::string("School"));
    auto otherRealm = URLProtectionSpace::server("127.0.0.1", 8080, "http", std::string("Office"));
    auto proxy = URLProtectionSpace::proxy("127.0.0.1", 8080, std::nullopt);
    {
        URLCredentialStorage storage(file);
        storage.setDefaultCredential(
            URLCredential::credentialWithUser("teacher", "pa\tss%w\nord", URLCredential::Persistence::Permanent),
            space);
        storage.setDefaultCredential(
            URLCredential::credentialWithUser("proxyuser", "proxypass", URLCredential::Persistence::Permanent), proxy);
        storage.setDefaultCredential(
            URLCredential::credentialWithUser("session", "only", URLCredential::Persistence::ForSession), otherRealm);
        EXPECT_EQ(storage.defaultCredentialForProtectionSpace(otherRealm)->user, "session");
    }
    struct stat info { };
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    URLCredentialStorage reread(file);
    auto found = reread.defaultCredentialForProtectionSpace(space);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->user, "teacher");
    EXPECT_EQ(found->password, "pa\tss%w\nord");
    EXPECT_FALSE(reread.defaultCredentialForProtectionSpace(otherRealm)); // session-only was not written
    EXPECT_EQ(reread.defaultCredentialForProtectionSpace(proxy)->user, "proxyuser");
    // The proxy space is not the server space on the same host and port.
    EXPECT_FALSE(reread.defaultCredentialForProtectionSpace(
        URLProtectionSpace::server("127.0.0.1", 8080, "http", std::nullopt)));

    reread.removeCredential(*found, space);
    EXPECT_FALSE(URLCredentialStorage(file).defaultCredentialForProtectionSpace(space));
}
