#include "platform/net/HttpAuthentication.h"

#include "platform/os/StringUtil.h"

#include <chrono>
#include <cstring>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

namespace platform {

namespace {

    bool isTokenChar(char c)
    {
        if (static_cast<unsigned char>(c) <= 32 || static_cast<unsigned char>(c) >= 127)
            return false;
        return !std::strchr("\"(),/:;<=>?@[\\]{}", c);
    }

    bool isToken68Char(char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || std::strchr("-._~+/", c);
    }

    void skipSpace(std::string_view text, std::size_t& pos)
    {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
    }

    std::string readToken(std::string_view text, std::size_t& pos)
    {
        std::size_t start = pos;
        while (pos < text.size() && isTokenChar(text[pos]))
            ++pos;
        return std::string(text.substr(start, pos - start));
    }

    // A quoted-string with its backslash escapes undone; pos starts on the quote.
    std::optional<std::string> readQuoted(std::string_view text, std::size_t& pos)
    {
        std::string value;
        ++pos;
        while (pos < text.size()) {
            char c = text[pos++];
            if (c == '"')
                return value;
            if (c == '\\' && pos < text.size())
                c = text[pos++];
            value += c;
        }
        return std::nullopt;
    }

    void parseOneField(std::string_view text, std::vector<AuthChallenge>& out)
    {
        std::size_t pos = 0;
        while (pos < text.size()) {
            while (pos < text.size() && (text[pos] == ',' || text[pos] == ' ' || text[pos] == '\t'))
                ++pos;
            std::string scheme = readToken(text, pos);
            if (scheme.empty()) {
                // Not a challenge: skip to the next list element.
                while (pos < text.size() && text[pos] != ',')
                    ++pos;
                continue;
            }
            AuthChallenge challenge;
            challenge.scheme = scheme;
            skipSpace(text, pos);

            // A token68 (a run of its characters and '=' padding up to the end or a comma).
            std::size_t probe = pos;
            while (probe < text.size() && isToken68Char(text[probe]))
                ++probe;
            std::size_t padded = probe;
            while (padded < text.size() && text[padded] == '=')
                ++padded;
            std::size_t after = padded;
            skipSpace(text, after);
            if (probe > pos && (after == text.size() || text[after] == ',')) {
                challenge.token68 = std::string(text.substr(pos, padded - pos));
                pos = after;
                out.push_back(std::move(challenge));
                continue;
            }

            // auth-params until a list element that is not one.
            while (pos < text.size()) {
                std::size_t elementStart = pos;
                while (pos < text.size() && (text[pos] == ',' || text[pos] == ' ' || text[pos] == '\t'))
                    ++pos;
                std::size_t nameStart = pos;
                std::string name = readToken(text, pos);
                skipSpace(text, pos);
                if (name.empty() || pos >= text.size() || text[pos] != '=') {
                    // The next challenge starts here (or garbage, which the outer loop skips).
                    pos = name.empty() ? elementStart : nameStart;
                    if (name.empty() && pos < text.size() && text[pos] != ',')
                        while (pos < text.size() && text[pos] != ',')
                            ++pos;
                    break;
                }
                ++pos;
                skipSpace(text, pos);
                std::string value;
                if (pos < text.size() && text[pos] == '"') {
                    auto quoted = readQuoted(text, pos);
                    if (!quoted) {
                        pos = text.size();
                        break;
                    }
                    value = *quoted;
                } else {
                    value = readToken(text, pos);
                }
                challenge.params.emplace_back(asciiToLower(name), value);
                skipSpace(text, pos);
            }
            out.push_back(std::move(challenge));
        }
    }

    std::string hexOf(const std::uint8_t* data, std::size_t size)
    {
        static const char digits[] = "0123456789abcdef";
        std::string out;
        out.reserve(size * 2);
        for (std::size_t i = 0; i < size; ++i) {
            out += digits[data[i] >> 4];
            out += digits[data[i] & 15];
        }
        return out;
    }

    const EVP_MD* digestAlgorithm(const std::string& name)
    {
        std::string lower = asciiToLower(name);
        if (lower.ends_with("-sess"))
            lower.resize(lower.size() - 5);
        if (lower.empty() || lower == "md5")
            return EVP_md5();
        if (lower == "sha-256")
            return EVP_sha256();
        if (lower == "sha-512-256")
            return EVP_sha512_256();
        return nullptr;
    }

    std::string hashHex(const EVP_MD* md, std::string_view text)
    {
        unsigned char out[EVP_MAX_MD_SIZE];
        unsigned length = 0;
        if (!EVP_Digest(text.data(), text.size(), out, &length, md, nullptr))
            return {};
        return hexOf(out, length);
    }

    std::string base64(const Bytes& data)
    {
        std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
        int n
            = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data.data(), static_cast<int>(data.size()));
        out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return out;
    }

    std::optional<Bytes> unbase64(std::string_view text)
    {
        if (text.empty() || text.size() % 4)
            return std::nullopt;
        Bytes out(text.size() / 4 * 3);
        int n = EVP_DecodeBlock(
            out.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        if (n < 0)
            return std::nullopt;
        std::size_t size = static_cast<std::size_t>(n);
        // EVP_DecodeBlock counts the padding as zero bytes.
        if (text.ends_with("=="))
            size -= 2;
        else if (text.ends_with("="))
            size -= 1;
        out.resize(size);
        return out;
    }

    std::string quoted(std::string_view value)
    {
        std::string out = "\"";
        for (char c : value) {
            if (c == '"' || c == '\\')
                out += '\\';
            out += c;
        }
        return out + "\"";
    }

    std::string randomHex(std::size_t bytes)
    {
        std::vector<std::uint8_t> buffer(bytes);
        if (RAND_bytes(buffer.data(), static_cast<int>(buffer.size())) != 1) {
            auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
            for (std::size_t i = 0; i < buffer.size(); ++i)
                buffer[i] = static_cast<std::uint8_t>(now >> (8 * (i % 8)));
        }
        return hexOf(buffer.data(), buffer.size());
    }

    std::optional<std::string> credential(const Dictionary& credentials, const char* key)
    {
        if (auto value = credentials.find(key))
            if (auto text = value->asString())
                return *text;
        return std::nullopt;
    }

    bool offersQopAuth(const AuthChallenge& challenge)
    {
        auto qop = challenge.param("qop");
        if (!qop)
            return true; // RFC 2069 compatibility: no qop at all
        for (auto& option : split(*qop, ","))
            if (asciiToLower(trimWhitespaceAndNewlines(option)) == "auth")
                return true;
        return false;
    }

} // namespace

std::optional<std::string> AuthChallenge::param(std::string_view name) const
{
    for (auto& [key, value] : params)
        if (key == name)
            return value;
    return std::nullopt;
}

std::vector<AuthChallenge> parseAuthChallenges(const std::vector<std::string>& fieldValues)
{
    std::vector<AuthChallenge> out;
    for (auto& value : fieldValues)
        parseOneField(value, out);
    return out;
}

// MARK: - The object

std::shared_ptr<HttpAuthentication> HttpAuthentication::createFromResponse(const HttpMessage& response)
{
    return createFromResponse(response.statusCode(), response.headers());
}

std::shared_ptr<HttpAuthentication> HttpAuthentication::createFromResponse(int statusCode, const HttpHeaders& headers)
{
    bool proxy = statusCode == 407;
    if (statusCode != 401 && !proxy)
        return nullptr;
    auto challenges = parseAuthChallenges(headers.values(proxy ? "Proxy-Authenticate" : "WWW-Authenticate"));

    // The strongest scheme we can answer wins: Digest (SHA-256 before MD5),
    // then NTLM, then Basic.
    const AuthChallenge* best = nullptr;
    int bestRank = 0;
    Scheme bestScheme = Scheme::Basic;
    for (auto& challenge : challenges) {
        int rank = 0;
        Scheme scheme = Scheme::Basic;
        if (equalsIgnoringAsciiCase(challenge.scheme, "Digest")) {
            auto algorithm = challenge.param("algorithm").value_or("MD5");
            if (!challenge.param("nonce") || !digestAlgorithm(algorithm) || !offersQopAuth(challenge))
                continue;
            scheme = Scheme::Digest;
            rank = asciiToLower(algorithm).starts_with("md5") ? 3 : 4;
        } else if (equalsIgnoringAsciiCase(challenge.scheme, "NTLM")) {
            scheme = Scheme::Ntlm;
            rank = 2;
        } else if (equalsIgnoringAsciiCase(challenge.scheme, "Basic")) {
            rank = 1;
        }
        if (rank > bestRank) {
            best = &challenge;
            bestRank = rank;
            bestScheme = scheme;
        }
    }
    if (!best)
        return nullptr;
    auto object = std::shared_ptr<HttpAuthentication>(new HttpAuthentication(bestScheme, proxy, *best));
    if (bestScheme == Scheme::Ntlm && !best->token68.empty()) {
        // A server that skips the first round: take its challenge as is.
        auto decoded = unbase64(best->token68);
        if (!decoded || !ntlm::parseChallengeMessage(*decoded))
            return nullptr;
        object->ntlmChallenge_ = *decoded;
        object->ntlmStage_ = NtlmStage::ChallengeReceived;
    }
    return object;
}

HttpAuthentication::HttpAuthentication(Scheme scheme, bool forProxy, AuthChallenge challenge)
    : scheme_(scheme)
    , forProxy_(forProxy)
    , challenge_(std::move(challenge))
{
}

void HttpAuthentication::updateFromResponse(int statusCode, const HttpHeaders& headers)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_)
        return;
    auto refuse = [this] {
        valid_ = false;
        invalidReason_ = kStreamErrorHTTPAuthenticationBadPassword;
    };
    if ((statusCode == 407) != forProxy_ || (statusCode != 401 && statusCode != 407))
        return;
    auto challenges = parseAuthChallenges(headers.values(forProxy_ ? "Proxy-Authenticate" : "WWW-Authenticate"));
    const AuthChallenge* same = nullptr;
    for (auto& challenge : challenges)
        if (equalsIgnoringAsciiCase(challenge.scheme, challenge_.scheme)) {
            same = &challenge;
            break;
        }
    if (!same) {
        // The server no longer offers this scheme at all.
        valid_ = false;
        invalidReason_ = kStreamErrorHTTPAuthenticationTypeUnsupported;
        return;
    }

    switch (scheme_) {
    case Scheme::Basic:
        if (applied_)
            refuse();
        break;
    case Scheme::Digest: {
        bool stale = equalsIgnoringAsciiCase(same->param("stale").value_or(""), "true");
        if (applied_ && !(stale && !staleRetried_)) {
            refuse();
            break;
        }
        // Only a stale nonce in answer to credentials counts as the one retry;
        // a repeat of the first challenge before anything was sent does not.
        staleRetried_ = applied_ && stale;
        challenge_ = *same;
        applied_ = false;
        nonceCount_ = 0;
        break;
    }
    case Scheme::Ntlm:
        if (ntlmStage_ == NtlmStage::NegotiateSent && !same->token68.empty()) {
            auto decoded = unbase64(same->token68);
            if (decoded && ntlm::parseChallengeMessage(*decoded)) {
                ntlmChallenge_ = *decoded;
                ntlmStage_ = NtlmStage::ChallengeReceived;
                break;
            }
        }
        if (ntlmStage_ != NtlmStage::Initial)
            refuse();
        break;
    }
}

std::string HttpAuthentication::method() const
{
    switch (scheme_) {
    case Scheme::Basic:
        return kHTTPAuthenticationSchemeBasic;
    case Scheme::Digest:
        return kHTTPAuthenticationSchemeDigest;
    case Scheme::Ntlm:
        return kHTTPAuthenticationSchemeNTLM;
    }
    return {};
}

std::optional<std::string> HttpAuthentication::realm() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return challenge_.param("realm");
}

bool HttpAuthentication::requiresAccountDomain() const { return scheme_ == Scheme::Ntlm; }
bool HttpAuthentication::requiresUserNameAndPassword() const { return true; }
bool HttpAuthentication::requiresConnectionPinning() const { return scheme_ == Scheme::Ntlm; }
bool HttpAuthentication::sendsPasswordInClear() const { return scheme_ == Scheme::Basic; }

bool HttpAuthentication::isValid(Error* reason) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_ && reason)
        *reason = Error(kStreamErrorDomainHTTP, invalidReason_);
    return valid_;
}

void HttpAuthentication::setClientNonceForTesting(std::string cnonce)
{
    std::lock_guard<std::mutex> lock(mutex_);
    testCnonce_ = std::move(cnonce);
}

void HttpAuthentication::setNtlmClientDataForTesting(
    std::array<std::uint8_t, 8> clientChallenge, std::uint64_t timestamp)
{
    std::lock_guard<std::mutex> lock(mutex_);
    testClientChallenge_ = clientChallenge;
    testTimestamp_ = timestamp;
}

bool HttpAuthentication::applyCredentialDictionary(HttpMessage& request, const Dictionary& credentials)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!valid_ || !request.isRequest())
        return false;
    auto value = authorizationLocked(request, credentials);
    if (!value)
        return false;
    if (!request.setHeaderFieldValue(forProxy_ ? "Proxy-Authorization" : "Authorization", *value))
        return false;
    applied_ = true;
    return true;
}

std::optional<std::string> HttpAuthentication::authorizationLocked(
    const HttpMessage& request, const Dictionary& credentials)
{
    auto user = credential(credentials, kHTTPAuthenticationUsername);
    auto password = credential(credentials, kHTTPAuthenticationPassword);
    if (!user || !password)
        return std::nullopt;

    switch (scheme_) {
    case Scheme::Basic: {
        std::string pair = *user + ":" + *password;
        return "Basic " + base64(Bytes(pair.begin(), pair.end()));
    }
    case Scheme::Digest: {
        std::string algorithm = challenge_.param("algorithm").value_or("MD5");
        const EVP_MD* md = digestAlgorithm(algorithm);
        if (!md)
            return std::nullopt;
        std::string realm = challenge_.param("realm").value_or("");
        std::string nonce = challenge_.param("nonce").value_or("");
        std::string uri = request.requestUrl().requestTarget();
        bool qop = challenge_.param("qop").has_value();
        std::string cnonce = testCnonce_.empty() ? randomHex(16) : testCnonce_;
        char nc[9];
        std::snprintf(nc, sizeof nc, "%08x", ++nonceCount_);

        std::string ha1 = hashHex(md, *user + ":" + realm + ":" + *password);
        if (asciiToLower(algorithm).ends_with("-sess"))
            ha1 = hashHex(md, ha1 + ":" + nonce + ":" + cnonce);
        std::string ha2 = hashHex(md, request.requestMethod() + ":" + uri);
        std::string response = qop ? hashHex(md, ha1 + ":" + nonce + ":" + nc + ":" + cnonce + ":auth:" + ha2)
                                   : hashHex(md, ha1 + ":" + nonce + ":" + ha2);

        std::string out = "Digest username=" + quoted(*user) + ", realm=" + quoted(realm) + ", uri=" + quoted(uri);
        if (challenge_.param("algorithm"))
            out += ", algorithm=" + algorithm;
        out += ", nonce=" + quoted(nonce);
        if (qop)
            out += ", nc=" + std::string(nc) + ", cnonce=" + quoted(cnonce) + ", qop=auth";
        out += ", response=" + quoted(response);
        if (auto opaque = challenge_.param("opaque"))
            out += ", opaque=" + quoted(*opaque);
        return out;
    }
    case Scheme::Ntlm: {
        if (ntlmStage_ == NtlmStage::Initial) {
            ntlmStage_ = NtlmStage::NegotiateSent;
            return "NTLM " + base64(ntlm::negotiateMessage());
        }
        if (ntlmStage_ != NtlmStage::ChallengeReceived)
            return std::nullopt;
        auto challenge = ntlm::parseChallengeMessage(ntlmChallenge_);
        if (!challenge)
            return std::nullopt;
        std::string domain = credential(credentials, kHTTPAuthenticationAccountDomain).value_or("");
        std::array<std::uint8_t, 8> clientChallenge {};
        if (testClientChallenge_)
            clientChallenge = *testClientChallenge_;
        else if (RAND_bytes(clientChallenge.data(), 8) != 1)
            return std::nullopt;
        // Windows file time: tenths of microseconds since 1601.
        std::uint64_t timestamp = testTimestamp_
            ? *testTimestamp_
            : static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                  std::chrono::system_clock::now().time_since_epoch())
                                             .count())
                    * 10
                + 116444736000000000ULL;
        auto responses = ntlm::computeResponses(*challenge, *user, *password, domain, clientChallenge, timestamp);
        auto message = ntlm::authenticateMessage(*challenge, *user, domain, "", responses);
        if (!message) {
            // Nothing these credentials or this challenge could still become.
            valid_ = false;
            invalidReason_ = kStreamErrorHTTPAuthenticationFieldTooLong;
            return std::nullopt;
        }
        ntlmStage_ = NtlmStage::AuthenticateSent;
        return "NTLM " + base64(*message);
    }
    }
    return std::nullopt;
}

// MARK: - MD4

namespace {

    std::uint32_t rotl(std::uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

    void md4Block(std::uint32_t state[4], const std::uint8_t* block)
    {
        std::uint32_t x[16];
        for (int i = 0; i < 16; ++i)
            x[i] = static_cast<std::uint32_t>(block[i * 4]) | static_cast<std::uint32_t>(block[i * 4 + 1]) << 8
                | static_cast<std::uint32_t>(block[i * 4 + 2]) << 16
                | static_cast<std::uint32_t>(block[i * 4 + 3]) << 24;
        std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        auto f = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) | (~x & z); };
        auto g = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) { return (x & y) | (x & z) | (y & z); };
        auto h = [](std::uint32_t x, std::uint32_t y, std::uint32_t z) { return x ^ y ^ z; };

        static const int s1[4] = { 3, 7, 11, 19 };
        for (int i = 0; i < 16; i += 4) {
            a = rotl(a + f(b, c, d) + x[i], s1[0]);
            d = rotl(d + f(a, b, c) + x[i + 1], s1[1]);
            c = rotl(c + f(d, a, b) + x[i + 2], s1[2]);
            b = rotl(b + f(c, d, a) + x[i + 3], s1[3]);
        }
        static const int s2[4] = { 3, 5, 9, 13 };
        for (int i = 0; i < 4; ++i) {
            a = rotl(a + g(b, c, d) + x[i] + 0x5A827999u, s2[0]);
            d = rotl(d + g(a, b, c) + x[i + 4] + 0x5A827999u, s2[1]);
            c = rotl(c + g(d, a, b) + x[i + 8] + 0x5A827999u, s2[2]);
            b = rotl(b + g(c, d, a) + x[i + 12] + 0x5A827999u, s2[3]);
        }
        static const int s3[4] = { 3, 9, 11, 15 };
        static const int order[4] = { 0, 2, 1, 3 };
        for (int j = 0; j < 4; ++j) {
            int i = order[j];
            a = rotl(a + h(b, c, d) + x[i] + 0x6ED9EBA1u, s3[0]);
            d = rotl(d + h(a, b, c) + x[i + 8] + 0x6ED9EBA1u, s3[1]);
            c = rotl(c + h(d, a, b) + x[i + 4] + 0x6ED9EBA1u, s3[2]);
            b = rotl(b + h(c, d, a) + x[i + 12] + 0x6ED9EBA1u, s3[3]);
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
    }

} // namespace

std::array<std::uint8_t, 16> md4Digest(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t state[4] = { 0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u };
    std::size_t full = size / 64 * 64;
    for (std::size_t i = 0; i < full; i += 64)
        md4Block(state, data + i);
    std::uint8_t tail[128] = {};
    std::size_t rest = size - full;
    if (rest)
        std::memcpy(tail, data + full, rest);
    tail[rest] = 0x80;
    std::size_t tailSize = rest < 56 ? 64 : 128;
    std::uint64_t bits = static_cast<std::uint64_t>(size) * 8;
    for (int i = 0; i < 8; ++i)
        tail[tailSize - 8 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    for (std::size_t i = 0; i < tailSize; i += 64)
        md4Block(state, tail + i);
    std::array<std::uint8_t, 16> out {};
    for (int i = 0; i < 16; ++i)
        out[i] = static_cast<std::uint8_t>(state[i / 4] >> (8 * (i % 4)));
    return out;
}

// MARK: - NTLM

namespace ntlm {

    namespace {

        const std::uint8_t kSignature[8] = { 'N', 'T', 'L', 'M', 'S', 'S', 'P', 0 };

        void put16(Bytes& out, std::size_t at, std::uint16_t v)
        {
            out[at] = static_cast<std::uint8_t>(v);
            out[at + 1] = static_cast<std::uint8_t>(v >> 8);
        }

        void put32(Bytes& out, std::size_t at, std::uint32_t v)
        {
            for (int i = 0; i < 4; ++i)
                out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }

        std::uint16_t get16(const Bytes& in, std::size_t at)
        {
            return static_cast<std::uint16_t>(in[at] | in[at + 1] << 8);
        }

        std::uint32_t get32(const Bytes& in, std::size_t at)
        {
            return static_cast<std::uint32_t>(in[at]) | static_cast<std::uint32_t>(in[at + 1]) << 8
                | static_cast<std::uint32_t>(in[at + 2]) << 16 | static_cast<std::uint32_t>(in[at + 3]) << 24;
        }

        std::optional<Bytes> field(const Bytes& message, std::size_t at)
        {
            if (at + 8 > message.size())
                return std::nullopt;
            std::size_t length = get16(message, at);
            std::size_t offset = get32(message, at + 4);
            if (length == 0)
                return Bytes();
            if (offset > message.size() || length > message.size() - offset)
                return std::nullopt;
            return Bytes(
                message.begin() + static_cast<long>(offset), message.begin() + static_cast<long>(offset + length));
        }

        std::array<std::uint8_t, 16> hmacMd5(const std::uint8_t* key, std::size_t keySize, const Bytes& data)
        {
            std::array<std::uint8_t, 16> out {};
            unsigned length = 0;
            HMAC(EVP_md5(), key, static_cast<int>(keySize), data.data(), data.size(), out.data(), &length);
            return out;
        }

        // The timestamp a server puts in its target information, if any.
        std::optional<std::uint64_t> serverTimestamp(const Bytes& targetInfo)
        {
            std::size_t at = 0;
            while (at + 4 <= targetInfo.size()) {
                std::uint16_t id = get16(targetInfo, at);
                std::size_t length = get16(targetInfo, at + 2);
                if (id == 0 || at + 4 + length > targetInfo.size())
                    break;
                if (id == 7 && length == 8) {
                    std::uint64_t value = 0;
                    for (int i = 7; i >= 0; --i)
                        value = value << 8 | targetInfo[at + 4 + i];
                    return value;
                }
                at += 4 + length;
            }
            return std::nullopt;
        }

    } // namespace

    Bytes utf16le(std::string_view utf8)
    {
        Bytes out;
        std::size_t i = 0;
        while (i < utf8.size()) {
            auto c = static_cast<unsigned char>(utf8[i]);
            std::uint32_t code = c;
            int extra = 0;
            if (c >= 0xF0) {
                code = c & 0x07;
                extra = 3;
            } else if (c >= 0xE0) {
                code = c & 0x0F;
                extra = 2;
            } else if (c >= 0xC0) {
                code = c & 0x1F;
                extra = 1;
            }
            ++i;
            for (int k = 0; k < extra && i < utf8.size(); ++k, ++i)
                code = code << 6 | (static_cast<unsigned char>(utf8[i]) & 0x3F);
            if (code >= 0x10000) {
                code -= 0x10000;
                std::uint16_t high = static_cast<std::uint16_t>(0xD800 + (code >> 10));
                std::uint16_t low = static_cast<std::uint16_t>(0xDC00 + (code & 0x3FF));
                out.push_back(static_cast<std::uint8_t>(high));
                out.push_back(static_cast<std::uint8_t>(high >> 8));
                out.push_back(static_cast<std::uint8_t>(low));
                out.push_back(static_cast<std::uint8_t>(low >> 8));
            } else {
                out.push_back(static_cast<std::uint8_t>(code));
                out.push_back(static_cast<std::uint8_t>(code >> 8));
            }
        }
        return out;
    }

    std::array<std::uint8_t, 16> ntowfv2(std::string_view password, std::string_view user, std::string_view domain)
    {
        Bytes unicodePassword = utf16le(password);
        auto ntHash = md4Digest(unicodePassword.data(), unicodePassword.size());
        // Upper case of the user name; letters outside ASCII are left as they are.
        std::string upper(user);
        for (char& c : upper)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        Bytes identity = utf16le(upper + std::string(domain));
        return hmacMd5(ntHash.data(), ntHash.size(), identity);
    }

    Bytes negotiateMessage()
    {
        Bytes out(32, 0);
        std::memcpy(out.data(), kSignature, 8);
        put32(out, 8, 1);
        put32(out, 12,
            kNegotiateUnicode | 0x00000002 | kRequestTarget | kNegotiateNtlm | kNegotiateAlwaysSign
                | kNegotiateExtendedSessionSecurity);
        // Empty domain and workstation fields point at the end of the message.
        put32(out, 20, 32);
        put32(out, 28, 32);
        return out;
    }

    std::optional<ChallengeMessage> parseChallengeMessage(const Bytes& message)
    {
        if (message.size() < 32 || std::memcmp(message.data(), kSignature, 8) != 0 || get32(message, 8) != 2)
            return std::nullopt;
        ChallengeMessage challenge;
        auto name = field(message, 12);
        if (!name)
            return std::nullopt;
        challenge.targetName = *name;
        challenge.flags = get32(message, 20);
        std::memcpy(challenge.serverChallenge.data(), message.data() + 24, 8);
        if (message.size() >= 48) {
            auto info = field(message, 40);
            if (!info)
                return std::nullopt;
            challenge.targetInfo = *info;
        }
        return challenge;
    }

    Responses computeResponses(const ChallengeMessage& challenge, std::string_view user, std::string_view password,
        std::string_view domain, const std::array<std::uint8_t, 8>& clientChallenge, std::uint64_t timestamp)
    {
        auto key = ntowfv2(password, user, domain);
        auto fromServer = serverTimestamp(challenge.targetInfo);
        if (fromServer)
            timestamp = *fromServer;

        Bytes temp = { 1, 1, 0, 0, 0, 0, 0, 0 };
        for (int i = 0; i < 8; ++i)
            temp.push_back(static_cast<std::uint8_t>(timestamp >> (8 * i)));
        temp.insert(temp.end(), clientChallenge.begin(), clientChallenge.end());
        temp.insert(temp.end(), 4, 0);
        temp.insert(temp.end(), challenge.targetInfo.begin(), challenge.targetInfo.end());
        temp.insert(temp.end(), 4, 0);

        Bytes proofInput(challenge.serverChallenge.begin(), challenge.serverChallenge.end());
        proofInput.insert(proofInput.end(), temp.begin(), temp.end());
        auto proof = hmacMd5(key.data(), key.size(), proofInput);

        Responses out;
        out.ntChallengeResponse.assign(proof.begin(), proof.end());
        out.ntChallengeResponse.insert(out.ntChallengeResponse.end(), temp.begin(), temp.end());
        if (fromServer) {
            // With a server timestamp the LMv2 response is sent as zeros.
            out.lmChallengeResponse.assign(24, 0);
        } else {
            Bytes lmInput(challenge.serverChallenge.begin(), challenge.serverChallenge.end());
            lmInput.insert(lmInput.end(), clientChallenge.begin(), clientChallenge.end());
            auto lm = hmacMd5(key.data(), key.size(), lmInput);
            out.lmChallengeResponse.assign(lm.begin(), lm.end());
            out.lmChallengeResponse.insert(
                out.lmChallengeResponse.end(), clientChallenge.begin(), clientChallenge.end());
        }
        out.sessionBaseKey = hmacMd5(key.data(), key.size(), Bytes(proof.begin(), proof.end()));
        return out;
    }

    std::optional<Bytes> authenticateMessage(const ChallengeMessage& challenge, std::string_view user,
        std::string_view domain, std::string_view workstation, const Responses& responses)
    {
        Bytes domainBytes = utf16le(domain);
        Bytes userBytes = utf16le(user);
        Bytes workstationBytes = utf16le(workstation);
        // A longer field would be described by a length that wrapped: the
        // server would read another message than the one sent.
        const Bytes* fields[] = { &domainBytes, &userBytes, &workstationBytes, &responses.lmChallengeResponse,
            &responses.ntChallengeResponse };
        for (const Bytes* field : fields) {
            if (field->size() > kLongestField)
                return std::nullopt;
        }
        Bytes out(64, 0);
        std::memcpy(out.data(), kSignature, 8);
        put32(out, 8, 3);
        std::size_t offset = 64;
        auto append = [&](std::size_t fieldAt, const Bytes& data) {
            put16(out, fieldAt, static_cast<std::uint16_t>(data.size()));
            put16(out, fieldAt + 2, static_cast<std::uint16_t>(data.size()));
            put32(out, fieldAt + 4, static_cast<std::uint32_t>(offset));
            out.insert(out.end(), data.begin(), data.end());
            offset += data.size();
        };
        append(28, domainBytes);
        append(36, userBytes);
        append(44, workstationBytes);
        append(12, responses.lmChallengeResponse);
        append(20, responses.ntChallengeResponse);
        append(52, Bytes());
        std::uint32_t flags = (challenge.flags
                                  & (kNegotiateUnicode | kRequestTarget | kNegotiateNtlm | kNegotiateAlwaysSign
                                      | kNegotiateExtendedSessionSecurity | kNegotiateTargetInfo))
            | kNegotiateUnicode | kNegotiateNtlm;
        put32(out, 60, flags);
        return out;
    }

} // namespace ntlm

} // namespace platform
