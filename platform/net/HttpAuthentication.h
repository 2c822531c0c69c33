#pragma once

#include "platform/net/HttpMessage.h"
#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Scheme names as the phone's authentication object reports them.
inline constexpr const char* kHTTPAuthenticationSchemeBasic = "Basic";
inline constexpr const char* kHTTPAuthenticationSchemeDigest = "Digest";
inline constexpr const char* kHTTPAuthenticationSchemeNTLM = "NTLM";
inline constexpr const char* kHTTPAuthenticationSchemeNegotiate = "Negotiate";

// Keys of a credentials dictionary.
inline constexpr const char* kHTTPAuthenticationUsername = "kCFHTTPAuthenticationUsername";
inline constexpr const char* kHTTPAuthenticationPassword = "kCFHTTPAuthenticationPassword";
inline constexpr const char* kHTTPAuthenticationAccountDomain = "kCFHTTPAuthenticationAccountDomain";

// Why an authentication object went invalid.
inline constexpr const char* kStreamErrorDomainHTTP = "kCFStreamErrorDomainHTTP";
inline constexpr int kStreamErrorHTTPAuthenticationTypeUnsupported = -1000;
inline constexpr int kStreamErrorHTTPAuthenticationBadUserName = -1001;
inline constexpr int kStreamErrorHTTPAuthenticationBadPassword = -1002;
// Ours: an answer the scheme's message cannot hold (NTLM's fields carry
// 16-bit lengths), refused instead of sent with a length that wrapped.
inline constexpr int kStreamErrorHTTPAuthenticationFieldTooLong = -1099;

// One challenge of a WWW-Authenticate or Proxy-Authenticate field.
struct AuthChallenge {
    std::string scheme; // as sent
    std::string token68; // "NTLM TlRMTV..." carries its token here
    std::vector<std::pair<std::string, std::string>> params; // names lower-cased, values unquoted

    std::optional<std::string> param(std::string_view name) const;
};

// Every challenge in the field values, in order. Malformed parts are skipped.
std::vector<AuthChallenge> parseAuthChallenges(const std::vector<std::string>& fieldValues);

// The authentication object made from a 401 or 407 response: it knows the
// scheme the server asked for, its parameters, and how to turn a credentials
// dictionary into an Authorization (or Proxy-Authorization) field.
//
// Schemes: Basic (RFC 7617), Digest (RFC 7616: MD5, MD5-sess, SHA-256,
// SHA-256-sess; qop "auth" or none) and NTLMv2 (the three-message handshake
// of MS-NLMP). Negotiate, Kerberos and anything else give no object.
//
// Validity: once credentials were applied, a further challenge of the server
// means they were refused, and the object turns invalid with
// kStreamErrorHTTPAuthenticationBadPassword. Exceptions: a Digest challenge
// with stale=true (one retry with the new nonce), and NTLM's second message,
// which is the expected answer to the first.
//
// Thread-safe: remembered objects are shared between requests.
class HttpAuthentication final {
public:
    // nullptr when the response carries no challenge we can answer.
    static std::shared_ptr<HttpAuthentication> createFromResponse(const HttpMessage& response);
    static std::shared_ptr<HttpAuthentication> createFromResponse(int statusCode, const HttpHeaders& headers);

    // Feeds the next challenge the server (or proxy) sent after credentials
    // made from this object went out; updates validity.
    void updateFromResponse(int statusCode, const HttpHeaders& headers);

    std::string method() const;
    std::optional<std::string> realm() const;
    bool requiresAccountDomain() const;
    bool requiresUserNameAndPassword() const;
    // NTLM answers on the connection that carried the challenge.
    bool requiresConnectionPinning() const;
    bool forProxy() const { return forProxy_; }
    // Whether the credentials cross the wire readable (Basic).
    bool sendsPasswordInClear() const;
    bool isValid(Error* reason = nullptr) const;

    // Adds the Authorization (server) or Proxy-Authorization (proxy) field for
    // the credentials to the request. False (and the request unchanged) when
    // the dictionary lacks a user name or password, or the object is invalid.
    bool applyCredentialDictionary(HttpMessage& request, const Dictionary& credentials);

    // Tests only: the client nonce of Digest, or the client challenge (8
    // bytes) and timestamp of NTLM, instead of random ones and the clock.
    void setClientNonceForTesting(std::string cnonce);
    void setNtlmClientDataForTesting(std::array<std::uint8_t, 8> clientChallenge, std::uint64_t timestamp);

private:
    enum class Scheme { Basic, Digest, Ntlm };
    enum class NtlmStage { Initial, NegotiateSent, ChallengeReceived, AuthenticateSent };

    HttpAuthentication(Scheme scheme, bool forProxy, AuthChallenge challenge);
    std::optional<std::string> authorizationLocked(const HttpMessage& request, const Dictionary& credentials);

    const Scheme scheme_;
    const bool forProxy_;
    mutable std::mutex mutex_;
    AuthChallenge challenge_;
    bool applied_ = false;
    bool valid_ = true;
    int invalidReason_ = 0;
    bool staleRetried_ = false;
    unsigned nonceCount_ = 0;
    std::string testCnonce_;
    NtlmStage ntlmStage_ = NtlmStage::Initial;
    Bytes ntlmChallenge_;
    std::optional<std::array<std::uint8_t, 8>> testClientChallenge_;
    std::optional<std::uint64_t> testTimestamp_;
};

// MD4 (RFC 1320), which NTLM needs and which OpenSSL 3 no longer offers by default.
std::array<std::uint8_t, 16> md4Digest(const std::uint8_t* data, std::size_t size);

// The pieces of NTLMv2 (MS-NLMP), open for the published test vectors.
namespace ntlm {

    inline constexpr std::uint32_t kNegotiateUnicode = 0x00000001;
    inline constexpr std::uint32_t kRequestTarget = 0x00000004;
    inline constexpr std::uint32_t kNegotiateNtlm = 0x00000200;
    inline constexpr std::uint32_t kNegotiateAlwaysSign = 0x00008000;
    inline constexpr std::uint32_t kNegotiateExtendedSessionSecurity = 0x00080000;
    inline constexpr std::uint32_t kNegotiateTargetInfo = 0x00800000;

    struct ChallengeMessage {
        std::uint32_t flags = 0;
        std::array<std::uint8_t, 8> serverChallenge {};
        Bytes targetName;
        Bytes targetInfo;
    };

    struct Responses {
        Bytes lmChallengeResponse; // LMv2
        Bytes ntChallengeResponse; // NTProofStr followed by the client blob
        std::array<std::uint8_t, 16> sessionBaseKey {};
    };

    Bytes utf16le(std::string_view utf8);
    std::array<std::uint8_t, 16> ntowfv2(std::string_view password, std::string_view user, std::string_view domain);
    Bytes negotiateMessage();
    std::optional<ChallengeMessage> parseChallengeMessage(const Bytes& message);
    Responses computeResponses(const ChallengeMessage& challenge, std::string_view user, std::string_view password,
        std::string_view domain, const std::array<std::uint8_t, 8>& clientChallenge, std::uint64_t timestamp);
    // The longest field a message can carry: its lengths are written in 16 bits.
    inline constexpr std::size_t kLongestField = 0xFFFF;
    // Nothing when a field (the user name, the domain, the NT response that
    // carries the server's target information) is longer than kLongestField.
    std::optional<Bytes> authenticateMessage(const ChallengeMessage& challenge, std::string_view user,
        std::string_view domain, std::string_view workstation, const Responses& responses);

} // namespace ntlm

} // namespace platform
