#include "platform/net/HttpStream.h"

#include "platform/net/NetErrors.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <curl/curl.h>
#include <mutex>
#include <openssl/x509_vfy.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

    constexpr std::size_t kDefaultReceiveBufferLimit = 256 * 1024;
    // Bodies up to this size are given to curl in memory, to go out with the head.
    constexpr std::size_t kBodyWithHeadLimit = 64 * 1024;

    void ensureCurlInitialised()
    {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    }

    // The connection cache of one engine connection record. Every stream opened
    // with the record's id holds it; the idle connection it keeps lives as long
    // as one of them does.
    struct ConnectionShare {
        CURLSH* share = nullptr;
        std::mutex locks[CURL_LOCK_DATA_LAST];
        // Easy handles of the record's finished transfers, reset and kept for
        // its next ones: a request on a kept connection makes no handle of its own.
        std::mutex idleLock;
        std::vector<CURL*> idle;

        ConnectionShare()
        {
            share = curl_share_init();
            if (!share)
                return;
            curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
            curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &ConnectionShare::lock);
            curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &ConnectionShare::unlock);
            curl_share_setopt(share, CURLSHOPT_USERDATA, this);
        }
        ~ConnectionShare()
        {
            // The handles first: a share still used by one cannot be cleaned up.
            for (CURL* easy : idle)
                curl_easy_cleanup(easy);
            if (share)
                curl_share_cleanup(share);
        }
        ConnectionShare(const ConnectionShare&) = delete;
        ConnectionShare& operator=(const ConnectionShare&) = delete;

        CURL* takeIdle()
        {
            std::lock_guard lock(idleLock);
            if (idle.empty())
                return nullptr;
            CURL* easy = idle.back();
            idle.pop_back();
            return easy;
        }

        // The handle is out of its multi; its options go, the share stays.
        void keepIdle(CURL* easy)
        {
            curl_easy_reset(easy);
            std::lock_guard lock(idleLock);
            if (idle.size() < 4) {
                idle.push_back(easy);
                return;
            }
            curl_easy_cleanup(easy);
        }

        static void lock(CURL*, curl_lock_data data, curl_lock_access, void* user)
        {
            static_cast<ConnectionShare*>(user)->locks[data].lock();
        }
        static void unlock(CURL*, curl_lock_data data, void* user)
        {
            static_cast<ConnectionShare*>(user)->locks[data].unlock();
        }
    };

    std::shared_ptr<ConnectionShare> shareForConnectionId(std::int64_t id)
    {
        // Made once and never destroyed: the engine's network thread may still
        // open a stream while the process exits and runs static destructors.
        struct Registry {
            std::mutex mutex;
            std::unordered_map<std::int64_t, std::weak_ptr<ConnectionShare>> shares;
        };
        static Registry* const instance = new Registry;
        auto& registry = instance->shares;
        std::lock_guard lock(instance->mutex);
        for (auto it = registry.begin(); it != registry.end();) {
            if (it->second.expired())
                it = registry.erase(it);
            else
                ++it;
        }
        if (auto existing = registry[id].lock())
            return existing;
        auto created = std::make_shared<ConnectionShare>();
        if (!created->share)
            return nullptr;
        registry[id] = created;
        return created;
    }

    bool isAllDigits(std::string_view text)
    {
        return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    }

    std::string_view trim(std::string_view text)
    {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        return text;
    }

    // Strict Content-Length: decimal digits only; a list of equal values (RFC 9112
    // section 6.3) is one value. nullopt for anything else, which frames nothing safely.
    std::optional<std::uint64_t> strictContentLength(const std::vector<std::string>& values)
    {
        std::optional<std::uint64_t> result;
        for (const auto& value : values) {
            std::string_view rest = value;
            while (true) {
                auto comma = rest.find(',');
                std::string_view item = trim(rest.substr(0, comma));
                if (!isAllDigits(item) || item.size() > 19)
                    return std::nullopt;
                std::uint64_t number = std::stoull(std::string(item));
                if (result && *result != number)
                    return std::nullopt;
                result = number;
                if (comma == std::string_view::npos)
                    break;
                rest.remove_prefix(comma + 1);
            }
        }
        return result;
    }

    std::string lowerAscii(std::string text)
    {
        std::transform(text.begin(), text.end(), text.begin(),
            [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
        return text;
    }

    Error makeError(const char* domain, long code, const std::string& description, CURLcode curlCode)
    {
        Dictionary info;
        info.set(kLocalizedDescriptionKey, Value(description));
        info.set(kCurlCodeKey, Value(static_cast<std::int64_t>(curlCode)));
        return Error(domain, code, std::move(info));
    }

} // namespace

// Drives every stream of one run loop and mode: one curl multi handle, one
// timer descriptor and the socket watches curl asks for. Streams come and go
// on it; curl's DNS cache lives in the multi handle and so serves them all,
// while each engine connection record keeps its own connection cache (the
// stream's share), so no connection crosses from one record to another.
// Used only on its loop's thread; it lives while a stream holds it.
class LoopDriver final : public std::enable_shared_from_this<LoopDriver> {
public:
    LoopDriver(RunLoop& loop, std::string mode);
    ~LoopDriver();
    LoopDriver(const LoopDriver&) = delete;
    LoopDriver& operator=(const LoopDriver&) = delete;

    // The driver of the loop and mode, made when none is alive.
    static std::shared_ptr<LoopDriver> forLoop(RunLoop& loop, const std::string& mode);

    bool isFor(const RunLoop& other, const std::string& otherMode) const
    {
        return &loop_ == &other && mode_ == otherMode;
    }
    RunLoop& loop() const { return loop_; }
    bool add(CURL* easy);
    void remove(CURL* easy);
    // Lets curl look at its transfers soon (a stream resumed or unpaused).
    void kick() { postTimeoutAction(); }
    // A stream with something new to tell its client; told once curl returns.
    void noteTouched(HttpStream::Impl* stream);
    // The stream lets go of the driver: nothing is told to it any more.
    void forget(HttpStream::Impl* stream);
    // Tells each touched stream's client now.
    void flushTouched();

private:
    static int socketCallback(CURL*, curl_socket_t fd, int what, void* user, void*);
    static int timerCallback(CURLM*, long timeoutMs, void* user);
    void onSocket(curl_socket_t fd, int what);
    void armTimer(long timeoutMs);
    void postTimeoutAction();
    void onSocketReady(curl_socket_t fd, std::uint32_t fired);
    void onTimer();
    void act(curl_socket_t fd, int mask);

    RunLoop& loop_;
    std::string mode_;
    CURLM* multi_ = nullptr;
    struct SocketWatch {
        std::uint32_t events = 0;
        RunLoop::SourceId source = 0;
    };
    std::unordered_map<curl_socket_t, SocketWatch> sockets_;
    int timerFd_ = -1;
    bool timerArmed_ = false;
    bool timeoutActionPosted_ = false;
    RunLoop::SourceId timerSource_ = 0;
    std::vector<HttpStream::Impl*> touched_;
};

struct HttpStream::Impl : std::enable_shared_from_this<Impl> {
    explicit Impl(HttpMessage message)
        : request(std::move(message))
    {
    }

    // Set up before open().
    HttpMessage request;
    std::shared_ptr<InputStream> body;
    TlsSettings tls;
    ProxySettings proxy;
    bool persistent = false;
    std::int64_t connectionId = 0;
    std::size_t bufferLimit = kDefaultReceiveBufferLimit;
    std::uint32_t clientMask = 0;
    Client client;
    std::atomic<HttpStream*> owner { nullptr };

    // The loop that hears the events; null while unscheduled.
    RunLoop* loop = nullptr;
    std::string mode;
    std::uint64_t generation = 0; // bumped on every unschedule, so stale posts do nothing
    // The driver the transfer runs on, from its first scheduling after open()
    // until it is released. While unscheduled the transfer stays on it,
    // paused. Its loop is also read by a destructor on another thread.
    std::shared_ptr<LoopDriver> driver;
    std::atomic<RunLoop*> driverLoop { nullptr };
    bool heldByUnschedule = false;
    bool touched = false;

    // curl.
    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    curl_slist* proxyHeaderList = nullptr;
    std::shared_ptr<ConnectionShare> share;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    bool inMulti = false;
    bool recvPaused = false;
    std::string curlUrl;

    // Request body accounting (loop thread).
    std::optional<std::uint64_t> bodyExpected;
    std::uint64_t bodySent = 0;
    bool bodyFailed = false;
    bool bodyShort = false;
    std::optional<Error> bodyError;

    // Connection facts (loop thread, read under the mutex by accessors).
    int socketsOpened = 0;
    bool requestSent = false;
    bool deadReusedConnection = false;
    bool badResponse = false;
    bool tunnelPhase = false; // the next head is the proxy's answer to CONNECT
    bool tunnelRefused = false; // that answer was not 2xx and is our response

    // State shared with accessors on other threads.
    mutable std::mutex mutex;
    Status status = Status::NotOpen;
    std::optional<Error> error;
    bool transferDone = false;
    bool closed = false;
    Bytes buffer;
    std::size_t readOffset = 0;
    std::optional<HttpMessage> head; // the head being received or received
    bool headComplete = false;
    bool reused = false;
    bool responseBytes = false;
    std::atomic<std::uint64_t> bytesWritten { 0 };

    // Event delivery (loop thread).
    bool deliveryPosted = false;
    bool newDataSinceSignal = false;
    bool clientReadSinceSignal = false;
    bool finalEventDelivered = false;

    ~Impl() { releaseCurl(); }

    std::size_t buffered() const { return buffer.size() - readOffset; }

    // ---- curl callbacks (loop thread, inside curl calls) ----

    static size_t headerCallback(char* data, size_t size, size_t count, void* user)
    {
        auto* self = static_cast<Impl*>(user);
        size_t length = size * count;
        return self->onHeaderLine(std::string_view(data, length)) ? length : 0;
    }

    bool onHeaderLine(std::string_view line)
    {
        std::lock_guard lock(mutex);
        if (!tunnelPhase)
            responseBytes = true; // the proxy's answer to CONNECT is not the response
        if (headComplete)
            return true; // trailers after a chunked body: nothing of ours
        std::string_view bare = line;
        while (!bare.empty() && (bare.back() == '\n' || bare.back() == '\r'))
            bare.remove_suffix(1);
        if (!head) {
            auto parsed = HttpMessage::parseStatusLine(bare);
            if (!parsed) {
                badResponse = true;
                return false;
            }
            head = std::move(*parsed);
            return true;
        }
        if (!bare.empty()) {
            // A malformed field line (a name with spaces, a NUL) is dropped on
            // its own (curl itself refuses lines without a colon); the framing
            // fields are checked once the head is in.
            head->appendHeaderLine(bare);
            return true;
        }
        // The blank line ends a head.
        int code = head->statusCode();
        if (tunnelPhase) {
            tunnelPhase = false;
            if (code / 100 == 2) {
                head.reset();
                return true;
            }
            // The proxy refused the tunnel: that answer is our response.
            tunnelRefused = true;
            responseBytes = true;
        } else if (code / 100 == 1 && code != 101) {
            head.reset(); // interim response: wait for the real one
            return true;
        }
        auto lengths = head->headers().values("Content-Length");
        if (!lengths.empty() && !strictContentLength(lengths)) {
            badResponse = true;
            return false;
        }
        head->setHeaderComplete(true);
        headComplete = true;
        return true;
    }

    static size_t writeCallback(char* data, size_t size, size_t count, void* user)
    {
        auto* self = static_cast<Impl*>(user);
        size_t length = size * count;
        {
            std::lock_guard lock(self->mutex);
            self->responseBytes = true;
            if (self->buffered() >= self->bufferLimit) {
                // Full: curl keeps this piece and stops reading the socket until
                // the reader makes room (read() unpauses).
                self->recvPaused = true;
                return CURL_WRITEFUNC_PAUSE;
            }
            if (self->readOffset > 0 && self->readOffset >= self->buffer.size() / 2) {
                self->buffer.erase(self->buffer.begin(), self->buffer.begin() + static_cast<long>(self->readOffset));
                self->readOffset = 0;
            }
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(data); // same type: copied as one block
            self->buffer.insert(self->buffer.end(), bytes, bytes + length);
            self->newDataSinceSignal = true;
        }
        self->touch();
        return length;
    }

    static size_t readCallback(char* data, size_t size, size_t count, void* user)
    {
        return static_cast<Impl*>(user)->onReadBody(reinterpret_cast<std::uint8_t*>(data), size * count);
    }

    size_t onReadBody(std::uint8_t* data, size_t max)
    {
        if (!body)
            return 0;
        if (bodyExpected) {
            std::uint64_t left = *bodyExpected - bodySent;
            if (left == 0)
                return 0;
            max = static_cast<size_t>(std::min<std::uint64_t>(max, left));
        }
        long n = body->read(data, max);
        if (n > 0) {
            size_t count = std::min(static_cast<size_t>(n), max);
            bodySent += count;
            return count;
        }
        if (n == 0) {
            if (bodyExpected && bodySent < *bodyExpected) {
                bodyShort = true;
                return CURL_READFUNC_ABORT;
            }
            return 0;
        }
        bodyFailed = true;
        bodyError = body->streamError();
        return CURL_READFUNC_ABORT;
    }

    static int progressCallback(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded)
    {
        auto* self = static_cast<Impl*>(user);
        self->noteBytesWritten(uploaded);
        return 0;
    }

    // curl's upload count includes chunk framing; ours counts body bytes
    // only. The smaller one is what has really gone out of the body.
    void noteBytesWritten(curl_off_t uploaded)
    {
        if (uploaded > 0)
            bytesWritten.store(std::min(static_cast<std::uint64_t>(uploaded), bodySent));
    }

    static curl_socket_t openSocketCallback(void* user, curlsocktype, struct curl_sockaddr* address)
    {
        auto* self = static_cast<Impl*>(user);
        {
            std::lock_guard lock(self->mutex);
            if (self->requestSent && self->reused && !self->responseBytes) {
                // The kept connection died under the request and curl wants to
                // send it again on a new one. The engine decides about retries
                // (and must never send a POST twice), so report the loss instead.
                self->deadReusedConnection = true;
                return CURL_SOCKET_BAD;
            }
        }
        ++self->socketsOpened;
        return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    }

    static int prereqCallback(void* user, char*, char*, int, int)
    {
        auto* self = static_cast<Impl*>(user);
        std::lock_guard lock(self->mutex);
        self->requestSent = true;
        self->reused = self->socketsOpened == 0;
        return CURL_PREREQFUNC_OK;
    }

    // A callback brought something the client should hear about.
    void touch()
    {
        if (driver)
            driver->noteTouched(this);
    }

    void finishTransfer(CURLcode result)
    {
        curl_off_t uploaded = 0;
        if (curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &uploaded) == CURLE_OK)
            noteBytesWritten(uploaded);
        std::optional<Error> failure;
        {
            std::lock_guard lock(mutex);
            if (!(tunnelRefused && headComplete) && (result != CURLE_OK || !headComplete))
                failure = mapError(result);
        }
        // Hands an idle connection back to the record's cache while the easy
        // handle lives on for the accessors.
        if (driver)
            driver->remove(easy);
        inMulti = false;
        {
            std::lock_guard lock(mutex);
            transferDone = true;
            error = failure;
            updateStatusLocked();
        }
        touch();
    }

    void updateStatusLocked()
    {
        if (closed)
            status = Status::Closed;
        else if (!transferDone)
            status = Status::Open;
        else if (buffered() > 0)
            status = Status::Open;
        else
            status = error ? Status::Error : Status::AtEnd;
    }

    // Caller holds the mutex.
    Error mapError(CURLcode result)
    {
        std::string text = errorBuffer[0] ? std::string(errorBuffer) : std::string(curl_easy_strerror(result));
        if (deadReusedConnection)
            return makeError(kCFNetworkErrorDomain, kCFNetworkErrorNetworkConnectionLost,
                "The kept-alive connection was closed before a response arrived", result);
        if (badResponse)
            return makeError(
                kCFNetworkErrorDomain, kCFNetworkErrorCannotParseResponse, "The response head is malformed", result);
        if (bodyFailed) {
            if (bodyError)
                return *bodyError;
            return makeError(kPosixErrorDomain, kPhoneEIO, "The request body could not be read", result);
        }
        if (bodyShort)
            return makeError(
                kPosixErrorDomain, kPhoneEIO, "The request body ended before its announced length", result);
        long osError = 0;
        curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
        switch (result) {
        case CURLE_OK:
            // Finished without a complete head (cannot normally happen).
            return makeError(kCFNetworkErrorDomain, kCFNetworkErrorNetworkConnectionLost,
                "The connection ended without a response", result);
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return makeError(kCFNetworkErrorDomain, kCFNetworkErrorCannotFindHost, text, result);
        case CURLE_COULDNT_CONNECT:
            switch (osError) {
            case ECONNREFUSED:
                return makeError(kPosixErrorDomain, kPhoneECONNREFUSED, text, result);
            case ETIMEDOUT:
                return makeError(kPosixErrorDomain, kPhoneETIMEDOUT, text, result);
            case ENETUNREACH:
                return makeError(kPosixErrorDomain, kPhoneENETUNREACH, text, result);
            case EHOSTUNREACH:
                return makeError(kPosixErrorDomain, kPhoneEHOSTUNREACH, text, result);
            default:
                return makeError(kCFNetworkErrorDomain, kCFNetworkErrorCannotConnectToHost, text, result);
            }
        case CURLE_OPERATION_TIMEDOUT:
            return makeError(kCFNetworkErrorDomain, kCFNetworkErrorTimedOut, text, result);
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
            return makeError(kCFNetworkErrorDomain, kCFNetworkErrorNetworkConnectionLost, text, result);
        case CURLE_SEND_ERROR:
            if (osError == EPIPE)
                return makeError(kPosixErrorDomain, kPhoneEPIPE, text, result);
            if (!responseBytes)
                return makeError(kCFNetworkErrorDomain, kCFNetworkErrorNetworkConnectionLost, text, result);
            return makeError(kPosixErrorDomain, kPhoneECONNRESET, text, result);
        case CURLE_RECV_ERROR:
            if (!responseBytes)
                return makeError(kCFNetworkErrorDomain, kCFNetworkErrorNetworkConnectionLost, text, result);
            // No socket error behind it: curl refused what it read (bad chunk framing).
            if (osError == 0)
                return makeError(kCFNetworkErrorDomain, kCFNetworkErrorCannotParseResponse, text, result);
            return makeError(kPosixErrorDomain, kPhoneECONNRESET, text, result);
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_BAD_CONTENT_ENCODING:
        case CURLE_RANGE_ERROR:
            return makeError(kCFNetworkErrorDomain, kCFNetworkErrorCannotParseResponse, text, result);
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR: {
            long verify = X509_V_OK;
            curl_easy_getinfo(easy, CURLINFO_SSL_VERIFYRESULT, &verify);
            if (result == CURLE_SSL_CONNECT_ERROR && verify == X509_V_OK)
                return makeError(kOSStatusErrorDomain, kSSLProtocolError, text, result);
            switch (verify) {
            case X509_V_ERR_CERT_HAS_EXPIRED:
                return makeError(kOSStatusErrorDomain, kSSLCertExpired, text, result);
            case X509_V_ERR_CERT_NOT_YET_VALID:
                return makeError(kOSStatusErrorDomain, kSSLCertNotYetValid, text, result);
            case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
            case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
            case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
            case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
            case X509_V_ERR_CERT_UNTRUSTED:
                return makeError(kOSStatusErrorDomain, kSSLNoRootCert, text, result);
            default:
                // X509_V_OK here means the chain was fine and the host name was not.
                return makeError(kOSStatusErrorDomain, kSSLXCertChainInvalid, text, result);
            }
        }
        case CURLE_SSL_CERTPROBLEM:
            return makeError(kOSStatusErrorDomain, kSSLBadCert, text, result);
        case CURLE_SSL_CIPHER:
            return makeError(kOSStatusErrorDomain, kSSLNegotiationError, text, result);
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return makeError(kOSStatusErrorDomain, kSSLXCertChainInvalid, text, result);
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_ENGINE_INITFAILED:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_USE_SSL_FAILED:
            return makeError(kOSStatusErrorDomain, kSSLProtocolError, text, result);
        case CURLE_OUT_OF_MEMORY:
            return makeError(kPosixErrorDomain, ENOMEM, text, result);
        default:
            return makeError(kCFNetworkErrorDomain, kCFNetworkErrorUnknown, text, result);
        }
    }

    // ---- events ----

    void scheduleDelivery()
    {
        if (!loop || deliveryPosted || closed)
            return;
        deliveryPosted = true;
        std::weak_ptr<Impl> weak = weak_from_this();
        std::uint64_t gen = generation;
        loop->post(
            [weak, gen] {
                if (auto self = weak.lock())
                    self->deliver(gen);
            },
            mode);
    }

    void deliver(std::uint64_t gen)
    {
        if (gen != generation)
            return; // unscheduled since; re-scheduling posts afresh
        deliveryPosted = false;
        HttpStream* wrapper = owner.load();
        if (!loop || closed || !wrapper)
            return;
        auto keepAlive = shared_from_this();
        Event event = kEventNone;
        {
            std::lock_guard lock(mutex);
            if (buffered() > 0 && (newDataSinceSignal || clientReadSinceSignal)) {
                event = kEventHasBytesAvailable;
                newDataSinceSignal = false;
                clientReadSinceSignal = false;
            } else if (buffered() == 0 && transferDone && !finalEventDelivered) {
                finalEventDelivered = true;
                event = error ? kEventErrorOccurred : kEventEndEncountered;
            }
        }
        if (event == kEventNone)
            return;
        if ((clientMask & event) && client) {
            Client call = client; // the client may replace itself during the call
            call(*wrapper, event);
        }
        if (closed || gen != generation)
            return;
        bool again = false;
        {
            std::lock_guard lock(mutex);
            // Keep signalling while the reader drains what is buffered, and
            // signal the end once it has.
            again = (buffered() > 0 && clientReadSinceSignal)
                || (buffered() == 0 && transferDone && !finalEventDelivered);
        }
        if (again)
            scheduleDelivery();
    }

    // ---- set-up and tear-down ----

    bool configure()
    {
        ensureCurlInitialised();
        // Connection reuse: one connection cache per engine record.
        if (persistent && connectionId != 0) {
            share = shareForConnectionId(connectionId);
            if (!share)
                return false;
            easy = share->takeIdle();
        }
        if (!easy)
            easy = curl_easy_init();
        if (!easy)
            return false;

        const Url& url = request.requestUrl();
        std::string scheme = lowerAscii(url.scheme());
        std::string host = url.host();
        if (host.find(':') != std::string::npos)
            host = "[" + host + "]";
        // Never the URL's user and password: authentication is the engine's.
        curlUrl = scheme + "://" + host;
        if (url.port())
            curlUrl += ":" + std::to_string(*url.port());
        curlUrl += url.requestTarget();

        bool ok = true;
        auto set = [&](CURLoption option, auto value) {
            if (curl_easy_setopt(easy, option, value) != CURLE_OK)
                ok = false;
        };
        set(CURLOPT_URL, curlUrl.c_str());
        set(CURLOPT_PRIVATE, this);
        set(CURLOPT_ERRORBUFFER, errorBuffer);
        set(CURLOPT_NOSIGNAL, 1L);
        set(CURLOPT_QUICK_EXIT, 1L); // never wait for a resolver thread on cancel
        set(CURLOPT_PROTOCOLS_STR, "http,https");
        set(CURLOPT_FOLLOWLOCATION, 0L);
        set(CURLOPT_HTTP_CONTENT_DECODING, 0L);
        set(CURLOPT_HTTP_TRANSFER_DECODING, 1L);
        set(CURLOPT_PATH_AS_IS, 1L);
        set(CURLOPT_BUFFERSIZE, 64L * 1024);
        set(CURLOPT_HTTP_VERSION,
            request.version() == kHttpVersion1_0 ? static_cast<long>(CURL_HTTP_VERSION_1_0)
                                                 : static_cast<long>(CURL_HTTP_VERSION_1_1));
        set(CURLOPT_HEADERFUNCTION, &Impl::headerCallback);
        set(CURLOPT_HEADERDATA, this);
        set(CURLOPT_WRITEFUNCTION, &Impl::writeCallback);
        set(CURLOPT_WRITEDATA, this);
        set(CURLOPT_OPENSOCKETFUNCTION, &Impl::openSocketCallback);
        set(CURLOPT_OPENSOCKETDATA, this);
        set(CURLOPT_PREREQFUNCTION, &Impl::prereqCallback);
        set(CURLOPT_PREREQDATA, this);
        set(CURLOPT_XFERINFOFUNCTION, &Impl::progressCallback);
        set(CURLOPT_XFERINFODATA, this);
        set(CURLOPT_NOPROGRESS, 0L);

        // Proxies: only the ones given; the environment's are the engine's business.
        set(CURLOPT_NOPROXY, "");
        if (proxy.type == ProxySettings::Type::None || proxy.host.empty() || proxy.port <= 0) {
            set(CURLOPT_PROXY, "");
        } else {
            std::string proxyHost = proxy.host.find(':') != std::string::npos ? "[" + proxy.host + "]" : proxy.host;
            std::string proxyUrl = (proxy.type == ProxySettings::Type::Socks ? "socks5h://" : "http://") + proxyHost
                + ":" + std::to_string(proxy.port);
            set(CURLOPT_PROXY, proxyUrl.c_str());
            set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 0L);
            if (proxy.type != ProxySettings::Type::Socks && scheme == "https") {
                set(CURLOPT_HTTPPROXYTUNNEL, 1L);
                tunnelPhase = true;
            }
        }

        // TLS.
        if (scheme == "https") {
            set(CURLOPT_SSL_VERIFYPEER, tls.validatesCertificate() ? 1L : 0L);
            set(CURLOPT_SSL_VERIFYHOST, tls.validatesCertificate() && tls.verifyPeerName ? 2L : 0L);
            if (!tls.trustedRootsFile.empty())
                set(CURLOPT_CAINFO, tls.trustedRootsFile.c_str());
            if (!tls.clientIdentityFile.empty()) {
                set(CURLOPT_SSLCERT, tls.clientIdentityFile.c_str());
                set(CURLOPT_SSLCERTTYPE,
                    tls.clientIdentityFormat == TlsSettings::IdentityFormat::Pkcs12 ? "P12" : "PEM");
                if (!tls.clientKeyFile.empty())
                    set(CURLOPT_SSLKEY, tls.clientKeyFile.c_str());
                if (!tls.clientIdentityPassword.empty())
                    set(CURLOPT_KEYPASSWD, tls.clientIdentityPassword.c_str());
            }
        }

        if (share) {
            set(CURLOPT_SHARE, share->share);
            set(CURLOPT_FORBID_REUSE, 0L);
        } else {
            set(CURLOPT_FORBID_REUSE, 1L);
        }

        // Method and body.
        const std::string& method = request.requestMethod();
        // The message's own body, when it is small, goes to curl whole: curl
        // then sends it in the same write as the head, instead of a second
        // write (and a second wake-up of the server) once the head is out.
        bool bodyInHead = false;
        if (!body && !request.body().empty()) {
            if (request.body().size() <= kBodyWithHeadLimit)
                bodyInHead = true;
            else
                body = std::make_shared<DataInputStream>(request.body());
        }
        auto lengths = request.headers().values("Content-Length");
        if (!lengths.empty()) {
            bodyExpected = strictContentLength(lengths);
            if (!bodyExpected)
                return false; // a malformed length of our own would frame the body wrongly
        } else if (!request.body().empty()) {
            bodyExpected = request.body().size();
        }
        if (bodyInHead && bodyExpected != request.body().size()) {
            // A Content-Length of our own that disagrees with the body: read
            // it as a stream, which fails the request rather than framing it wrongly.
            bodyInHead = false;
            body = std::make_shared<DataInputStream>(request.body());
        }
        if (method == "HEAD") {
            set(CURLOPT_NOBODY, 1L);
            body.reset();
        } else if (bodyInHead) {
            set(CURLOPT_POST, 1L);
            set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body().size()));
            set(CURLOPT_POSTFIELDS, request.body().data()); // the message lives as long as the easy handle
            bodySent = request.body().size(); // handed over whole; curl's upload count says how much went out
            if (method != "POST")
                set(CURLOPT_CUSTOMREQUEST, method.c_str());
        } else if (body) {
            set(CURLOPT_POST, 1L);
            set(CURLOPT_READFUNCTION, &Impl::readCallback);
            set(CURLOPT_READDATA, this);
            set(CURLOPT_POSTFIELDSIZE_LARGE, bodyExpected ? static_cast<curl_off_t>(*bodyExpected) : curl_off_t(-1));
            if (method != "POST")
                set(CURLOPT_CUSTOMREQUEST, method.c_str());
        } else {
            set(CURLOPT_HTTPGET, 1L);
            if (method != "GET")
                set(CURLOPT_CUSTOMREQUEST, method.c_str());
        }

        // Header fields: the message's in order; curl's own defaults removed.
        // Through a tunnel the proxy's credentials go on the CONNECT request
        // only, never to the origin server inside it.
        const HttpHeaders& headers = request.headers();
        set(CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
        for (const auto& field : headers.fields()) {
            std::string line = field.value.empty() ? field.name + ";" : field.name + ": " + field.value;
            if (tunnelPhase && lowerAscii(field.name) == "proxy-authorization")
                proxyHeaderList = curl_slist_append(proxyHeaderList, line.c_str());
            else
                headerList = curl_slist_append(headerList, line.c_str());
        }
        for (const char* unwanted : { "Accept", "Expect", "Content-Type", "Proxy-Connection" }) {
            if (!headers.contains(unwanted))
                headerList = curl_slist_append(headerList, (std::string(unwanted) + ":").c_str());
        }
        if (proxyHeaderList)
            set(CURLOPT_PROXYHEADER, proxyHeaderList);
        set(CURLOPT_HTTPHEADER, headerList);
        return ok;
    }

    void unschedule()
    {
        if (!loop)
            return;
        // The transfer stays on its driver, paused: neither sending nor
        // reading goes on, and the connection is left as it is.
        if (inMulti && easy) {
            curl_easy_pause(easy, CURLPAUSE_ALL);
            heldByUnschedule = true;
        }
        loop = nullptr;
        ++generation;
        deliveryPosted = false;
    }

    // False when the transfer already runs on another loop or mode.
    bool schedule(RunLoop& target, std::string targetMode)
    {
        if (driver && !driver->isFor(target, targetMode))
            return false;
        loop = &target;
        mode = std::move(targetMode);
        if (inMulti) {
            if (heldByUnschedule && easy) {
                heldByUnschedule = false;
                // A full buffer pauses reading again from the write callback.
                curl_easy_pause(easy, CURLPAUSE_CONT);
            }
            // Let curl catch up with whatever happened while it was not driven.
            driver->kick();
        } else if (easy && !transferDone) {
            attachToDriver();
        }
        {
            std::lock_guard lock(mutex);
            // Tell the client again about bytes it has not read yet.
            if (buffered() > 0)
                newDataSinceSignal = true;
        }
        scheduleDelivery();
        return true;
    }

    // Hands the opened transfer to the driver of the loop it is scheduled on.
    bool attachToDriver()
    {
        if (!driver) {
            driver = LoopDriver::forLoop(*loop, mode);
            driverLoop = &driver->loop();
        }
        if (!driver->add(easy))
            return false;
        inMulti = true;
        return true;
    }

    void releaseCurl()
    {
        // Only a handle whose transfer ran to its end unpaused is handed on.
        bool reusable = share && transferDone && !heldByUnschedule && !recvPaused;
        if (easy && driver && inMulti)
            driver->remove(easy);
        if (driver)
            driver->forget(this);
        inMulti = false;
        heldByUnschedule = false;
        if (easy && reusable)
            share->keepIdle(easy);
        else if (easy)
            curl_easy_cleanup(easy);
        easy = nullptr;
        if (headerList)
            curl_slist_free_all(headerList);
        headerList = nullptr;
        if (proxyHeaderList)
            curl_slist_free_all(proxyHeaderList);
        proxyHeaderList = nullptr;
        share.reset(); // after the easy handle that used it
        driver.reset();
        driverLoop = nullptr;
    }

    // Hands up to maxLength buffered bytes to take(source, offset, count),
    // then does what every read does: status, unpausing, the end event.
    template <typename Take> long readWith(std::size_t maxLength, Take take)
    {
        bool unpause = false;
        long result = 0;
        {
            std::lock_guard lock(mutex);
            std::size_t count = std::min(maxLength, buffered());
            if (count > 0) {
                take(buffer, readOffset, count);
                readOffset += count;
                if (readOffset >= buffer.size()) {
                    buffer.clear();
                    readOffset = 0;
                }
                clientReadSinceSignal = true;
                result = static_cast<long>(count);
            } else if (transferDone && error) {
                result = -1;
            }
            // While unscheduled reading stays paused; scheduling resumes it.
            if (recvPaused && loop && buffered() <= bufferLimit / 2) {
                recvPaused = false;
                unpause = true;
            }
            updateStatusLocked();
        }
        // Outside the lock: unpausing hands curl's held-back piece to the write callback at once.
        if (unpause && easy) {
            curl_easy_pause(easy, CURLPAUSE_CONT);
            if (driver)
                driver->flushTouched();
        }
        if (!deliveryPosted && transferDone)
            scheduleDelivery();
        return result;
    }

    void closeNow()
    {
        if (closed)
            return;
        unschedule();
        {
            std::lock_guard lock(mutex);
            closed = true;
            status = Status::Closed;
        }
        releaseCurl();
        client = nullptr;
    }
};

// MARK: - LoopDriver

LoopDriver::LoopDriver(RunLoop& loop, std::string mode)
    : loop_(loop)
    , mode_(std::move(mode))
{
    ensureCurlInitialised();
    multi_ = curl_multi_init();
    if (!multi_)
        return;
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &LoopDriver::socketCallback);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &LoopDriver::timerCallback);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timerFd_ >= 0) {
        // The driver outlives none of its sources: the destructor removes them.
        timerSource_ = loop_.addSource(
            timerFd_, RunLoop::kReadable, [this](std::uint32_t) { onTimer(); }, mode_);
    }
}

LoopDriver::~LoopDriver()
{
    for (auto& entry : sockets_) {
        if (entry.second.source)
            loop_.removeSource(entry.second.source);
    }
    sockets_.clear();
    if (timerSource_)
        loop_.removeSource(timerSource_);
    if (timerFd_ >= 0)
        ::close(timerFd_);
    if (multi_) {
        // Nothing of ours is called back while curl tears down.
        curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, nullptr);
        curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, nullptr);
        curl_multi_cleanup(multi_);
    }
}

std::shared_ptr<LoopDriver> LoopDriver::forLoop(RunLoop& loop, const std::string& mode)
{
    // A loop belongs to one thread, and so do its drivers.
    thread_local std::vector<std::weak_ptr<LoopDriver>> drivers;
    std::shared_ptr<LoopDriver> found;
    for (auto it = drivers.begin(); it != drivers.end();) {
        auto driver = it->lock();
        if (!driver) {
            it = drivers.erase(it);
            continue;
        }
        if (driver->isFor(loop, mode))
            found = driver;
        ++it;
    }
    if (found)
        return found;
    auto created = std::make_shared<LoopDriver>(loop, mode);
    drivers.push_back(created);
    return created;
}

bool LoopDriver::add(CURL* easy)
{
    if (!multi_ || curl_multi_add_handle(multi_, easy) != CURLM_OK)
        return false;
    return true;
}

void LoopDriver::remove(CURL* easy)
{
    if (multi_)
        curl_multi_remove_handle(multi_, easy);
}

void LoopDriver::forget(HttpStream::Impl* stream)
{
    if (!stream->touched)
        return;
    stream->touched = false;
    touched_.erase(std::remove(touched_.begin(), touched_.end(), stream), touched_.end());
}

void LoopDriver::noteTouched(HttpStream::Impl* stream)
{
    if (stream->touched)
        return;
    stream->touched = true;
    touched_.push_back(stream);
}

void LoopDriver::flushTouched()
{
    // No client runs from here (deliveries are posted), so no stream goes
    // away while the list is walked.
    auto streams = std::move(touched_);
    touched_.clear();
    for (HttpStream::Impl* stream : streams) {
        stream->touched = false;
        stream->scheduleDelivery();
    }
}

int LoopDriver::socketCallback(CURL*, curl_socket_t fd, int what, void* user, void*)
{
    static_cast<LoopDriver*>(user)->onSocket(fd, what);
    return 0;
}

void LoopDriver::onSocket(curl_socket_t fd, int what)
{
    if (what == CURL_POLL_REMOVE) {
        auto it = sockets_.find(fd);
        if (it != sockets_.end()) {
            if (it->second.source)
                loop_.removeSource(it->second.source);
            sockets_.erase(it);
        }
        return;
    }
    std::uint32_t events = 0;
    if (what == CURL_POLL_IN || what == CURL_POLL_INOUT)
        events |= RunLoop::kReadable;
    if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT)
        events |= RunLoop::kWritable;
    auto& watch = sockets_[fd];
    watch.events = events;
    if (watch.source) {
        loop_.updateSource(watch.source, events);
        return;
    }
    watch.source = loop_.addSource(
        fd, events, [this, fd](std::uint32_t fired) { onSocketReady(fd, fired); }, mode_);
}

int LoopDriver::timerCallback(CURLM*, long timeoutMs, void* user)
{
    static_cast<LoopDriver*>(user)->armTimer(timeoutMs);
    return 0;
}

void LoopDriver::armTimer(long timeoutMs)
{
    if (timeoutMs == 0) {
        // "Now" happens on every transfer start: a posted task does it
        // without programming a kernel timer, which costs far more (a trip
        // out of the virtual machine on many hosts). A timer still armed from
        // before may fire once more for nothing, which curl ignores.
        postTimeoutAction();
        return;
    }
    if (timerFd_ < 0 || (timeoutMs < 0 && !timerArmed_))
        return;
    itimerspec when {};
    if (timeoutMs > 0) {
        when.it_value.tv_sec = timeoutMs / 1000;
        when.it_value.tv_nsec = (timeoutMs % 1000) * 1000000L;
    }
    timerArmed_ = timeoutMs > 0;
    timerfd_settime(timerFd_, 0, &when, nullptr);
}

void LoopDriver::postTimeoutAction()
{
    if (timeoutActionPosted_)
        return;
    timeoutActionPosted_ = true;
    std::weak_ptr<LoopDriver> weak = weak_from_this();
    loop_.post(
        [weak] {
            if (auto self = weak.lock()) {
                self->timeoutActionPosted_ = false;
                self->act(CURL_SOCKET_TIMEOUT, 0);
            }
        },
        mode_);
}

void LoopDriver::onSocketReady(curl_socket_t fd, std::uint32_t fired)
{
    int mask = 0;
    if (fired & (RunLoop::kReadable | RunLoop::kHangup))
        mask |= CURL_CSELECT_IN;
    if (fired & RunLoop::kWritable)
        mask |= CURL_CSELECT_OUT;
    if (fired & RunLoop::kError)
        mask |= CURL_CSELECT_ERR;
    act(fd, mask);
}

void LoopDriver::onTimer()
{
    std::uint64_t expirations = 0;
    while (::read(timerFd_, &expirations, sizeof expirations) > 0) { }
    timerArmed_ = false;
    act(CURL_SOCKET_TIMEOUT, 0);
}

void LoopDriver::act(curl_socket_t fd, int mask)
{
    if (!multi_)
        return;
    // Finishing a transfer may let the last stream go, and with it this driver.
    auto keepAlive = shared_from_this();
    int running = 0;
    curl_multi_socket_action(multi_, fd, mask, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        HttpStream::Impl* stream = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &stream);
        if (stream)
            stream->finishTransfer(message->data.result);
    }
    flushTouched();
}

std::shared_ptr<HttpStream> HttpStream::createForHTTPRequest(const HttpMessage& request)
{
    return createForStreamedHTTPRequest(request, nullptr);
}

std::shared_ptr<HttpStream> HttpStream::createForStreamedHTTPRequest(
    const HttpMessage& request, std::shared_ptr<InputStream> bodyStream)
{
    if (!request.isRequest())
        return nullptr;
    auto impl = std::make_shared<Impl>(request);
    impl->body = std::move(bodyStream);
    std::shared_ptr<HttpStream> stream(new HttpStream(impl));
    impl->owner = stream.get();
    return stream;
}

HttpStream::HttpStream(std::shared_ptr<Impl> impl)
    : impl_(std::move(impl))
{
}

HttpStream::~HttpStream()
{
    impl_->owner = nullptr;
    // An unscheduled transfer still sits on its driver, whose loop owns it.
    RunLoop* loop = impl_->loop ? impl_->loop : impl_->driverLoop.load();
    if (loop && !loop->isCurrent()) {
        // Sources and curl belong to that loop's thread: clean up there.
        loop->post([impl = impl_] { impl->closeNow(); }, kCommonRunLoopModes);
        return;
    }
    impl_->closeNow();
}

void HttpStream::setTlsSettings(TlsSettings settings) { impl_->tls = std::move(settings); }

void HttpStream::setProxy(ProxySettings proxy) { impl_->proxy = std::move(proxy); }

void HttpStream::setAttemptPersistentConnection(bool attempt) { impl_->persistent = attempt; }

void HttpStream::setConnectionId(std::int64_t id) { impl_->connectionId = id; }

std::int64_t HttpStream::connectionId() const { return impl_->connectionId; }

void HttpStream::setReceiveBufferLimit(std::size_t bytes)
{
    std::lock_guard lock(impl_->mutex);
    impl_->bufferLimit = std::max<std::size_t>(bytes, 1);
}

bool HttpStream::setClient(std::uint32_t eventMask, Client client)
{
    if (!client || eventMask == 0) {
        impl_->client = nullptr;
        impl_->clientMask = 0;
        return true;
    }
    impl_->client = std::move(client);
    impl_->clientMask = eventMask;
    impl_->scheduleDelivery();
    return true;
}

bool HttpStream::scheduleInRunLoop(RunLoop& loop, std::string mode)
{
    if (impl_->closed)
        return false;
    if (impl_->loop)
        return impl_->loop == &loop && impl_->mode == mode;
    return impl_->schedule(loop, std::move(mode));
}

void HttpStream::unscheduleFromRunLoop(RunLoop& loop, const std::string& mode)
{
    if (impl_->loop == &loop && impl_->mode == mode)
        impl_->unschedule();
}

bool HttpStream::isScheduled() const { return impl_->loop != nullptr; }

bool HttpStream::open()
{
    {
        std::lock_guard lock(impl_->mutex);
        if (impl_->status != Status::NotOpen)
            return false;
        impl_->status = Status::Opening;
    }
    // Not scheduled yet: the transfer goes to a driver once it is.
    if (!impl_->configure() || (impl_->loop && !impl_->attachToDriver())) {
        std::string reason = impl_->errorBuffer[0] ? impl_->errorBuffer : "The stream settings were refused";
        Error failure = makeError(kCFNetworkErrorDomain, kCFNetworkErrorUnknown, reason, CURLE_FAILED_INIT);
        impl_->releaseCurl();
        std::lock_guard lock(impl_->mutex);
        impl_->error = failure;
        impl_->status = Status::Error;
        return false;
    }
    std::lock_guard lock(impl_->mutex);
    impl_->status = Status::Open;
    return true;
}

void HttpStream::close() { impl_->closeNow(); }

HttpStream::Status HttpStream::status() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->status;
}

std::optional<Error> HttpStream::error() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->error;
}

bool HttpStream::hasBytesAvailable() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->buffered() > 0;
}

long HttpStream::read(std::uint8_t* buffer, std::size_t maxLength)
{
    return impl_->readWith(maxLength, [buffer](const Bytes& source, std::size_t offset, std::size_t count) {
        std::memcpy(buffer, source.data() + offset, count);
    });
}

long HttpStream::readAppending(Bytes& destination, std::size_t maxLength)
{
    return impl_->readWith(maxLength, [&destination](Bytes& source, std::size_t offset, std::size_t count) {
        if (destination.empty() && destination.capacity() < count && offset == 0 && count == source.size()) {
            // Nothing reserved on the other side: hand the whole buffer over
            // and let the write callback grow a new one.
            destination.swap(source);
            return;
        }
        destination.insert(destination.end(), source.begin() + static_cast<long>(offset),
            source.begin() + static_cast<long>(offset + count));
    });
}

std::optional<HttpMessage> HttpStream::responseHeader() const
{
    std::lock_guard lock(impl_->mutex);
    if (impl_->tunnelPhase)
        return std::nullopt; // the proxy's answer to CONNECT is not the response
    return impl_->head;
}

std::uint64_t HttpStream::requestBytesWritten() const { return impl_->bytesWritten.load(); }

bool HttpStream::connectionWasReused() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->reused;
}

bool HttpStream::hasReceivedResponseBytes() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->responseBytes;
}

} // namespace platform
