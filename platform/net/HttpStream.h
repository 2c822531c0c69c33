#pragma once

#include "platform/net/HttpMessage.h"
#include "platform/net/InputStream.h"
#include "platform/os/Error.h"
#include "platform/os/RunLoop.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// TLS settings of a stream. The default validates the chain against the
// system roots and checks the host name.
struct TlsSettings {
    enum class IdentityFormat { Pem, Pkcs12 };

    // "Validation off" is all four of these relaxed together (see validationOff()).
    // The chain check and the root/expiry allowances cannot be split apart
    // with our TLS library: relaxing any of the first three turns the
    // certificate check off as a whole; verifyPeerName alone turns the
    // host-name check off.
    bool validatesCertificateChain = true;
    bool allowsExpiredCertificates = false;
    bool allowsAnyRoot = false;
    bool verifyPeerName = true;

    // A client identity: a PEM file holding certificate, chain and key (or a
    // separate key file), or a PKCS#12 file; the password unlocks the key.
    std::string clientIdentityFile;
    IdentityFormat clientIdentityFormat = IdentityFormat::Pem;
    std::string clientKeyFile;
    std::string clientIdentityPassword;

    // Trust these roots (a PEM file) instead of the system's. Empty: the
    // system roots. Tests point this at their own certificate authority.
    std::string trustedRootsFile;

    static TlsSettings validationOff()
    {
        TlsSettings settings;
        settings.validatesCertificateChain = false;
        settings.allowsExpiredCertificates = true;
        settings.allowsAnyRoot = true;
        settings.verifyPeerName = false;
        return settings;
    }
    bool validatesCertificate() const
    {
        return validatesCertificateChain && !allowsExpiredCertificates && !allowsAnyRoot;
    }
};

// A proxy on the stream. Http: requests in absolute form to the proxy (for
// http URLs). Https: a CONNECT tunnel through an HTTP proxy (for https URLs;
// the proxy itself is spoken to in plain HTTP, as the phone does). Socks:
// SOCKS5, the proxy resolves the host name. A refused CONNECT (a 407, say) is
// handed back as the stream's response, with an empty body.
struct ProxySettings {
    enum class Type { None, Http, Https, Socks };
    Type type = Type::None;
    std::string host;
    int port = 0;
};

// The platform's HTTP read stream: sends one request and hands back the
// response head and the de-framed (not decompressed) body, over libcurl's
// multi interface driven from the run loop the stream is scheduled on.
//
// Threads: every call is made on the thread of the run loop the stream is
// scheduled on (or, before it is first scheduled, on any one thread). Events
// are delivered on that loop, in the mode given, never from inside read() or
// any other call. Destroying a stream on another thread hands its clean-up to
// the loop it is scheduled on.
//
// What goes on the wire: the request line and header fields of the message in
// their order, plus the Host header (unless the message has one) and the body
// framing the body needs (Content-Length when the message has none and the
// size is known, else chunked). Nothing else is added: no Accept, no Expect,
// no Content-Type, no User-Agent. Redirects, authentication, cookies and
// content decoding are left to the caller; the URL's user and password are
// never sent.
//
// Body framing of the response (Content-Length, chunked, read to close; no
// body for HEAD, 1xx, 204 and 304) is done here. 1xx interim responses are
// skipped. A Content-Length that is not plain decimal digits, or two that
// disagree, fail the stream with -1017 instead of guessing the body's end.
//
// Persistent connections: a stream opened with setAttemptPersistentConnection
// (true) and a connection id reuses the idle connection that the previous
// stream with the same id left open. The connection stays open (idle) while
// any stream of that id is alive and not closed; closing or destroying the
// last one closes it. So, as the engine does, open the new stream of a record
// before closing the previous one. When a reused connection turns out dead
// before any response byte, the stream fails with -1005 (connectionWasReused()
// is then true) rather than silently sending the request again.
//
// Errors: see NetErrors.h for the table.
class HttpStream final {
public:
    // Event bits, with the phone's values.
    enum Event : std::uint32_t {
        kEventNone = 0,
        kEventOpenCompleted = 1,
        kEventHasBytesAvailable = 2,
        kEventErrorOccurred = 8,
        kEventEndEncountered = 16,
    };
    // The phone's stream status values.
    enum class Status {
        NotOpen = 0,
        Opening = 1,
        Open = 2,
        Reading = 3,
        Writing = 4,
        AtEnd = 5,
        Closed = 6,
        Error = 7
    };

    using Client = std::function<void(HttpStream& stream, Event event)>;

    // A stream that sends the message's own body (if any).
    static std::shared_ptr<HttpStream> createForHTTPRequest(const HttpMessage& request);
    // A stream that pulls the body from bodyStream. The body's length is taken
    // from the message's Content-Length field when it has one (the stream
    // then fails if the body stream ends early); otherwise the body is sent
    // chunked.
    static std::shared_ptr<HttpStream> createForStreamedHTTPRequest(
        const HttpMessage& request, std::shared_ptr<InputStream> bodyStream);

    ~HttpStream();
    HttpStream(const HttpStream&) = delete;
    HttpStream& operator=(const HttpStream&) = delete;

    // Settings; they take effect at open().
    void setTlsSettings(TlsSettings settings);
    void setProxy(ProxySettings proxy);
    void setAttemptPersistentConnection(bool attempt);
    // The engine's connection record number ("HTTPStreamID"); 0 means none.
    void setConnectionId(std::int64_t id);
    std::int64_t connectionId() const;
    // Response bytes buffered before the transfer is held back (default 256 KiB).
    void setReceiveBufferLimit(std::size_t bytes);

    // The client gets the events in the mask. An empty client (or mask 0)
    // removes it. Answers true.
    bool setClient(std::uint32_t eventMask, Client client);

    // Events and network progress happen only while the stream is scheduled
    // on a loop. Unscheduling holds both back without touching the
    // connection; scheduling again resumes where it stopped. One loop at a
    // time: scheduling on a second loop answers false.
    bool scheduleInRunLoop(RunLoop& loop, std::string mode = kDefaultRunLoopMode);
    void unscheduleFromRunLoop(RunLoop& loop, const std::string& mode = kDefaultRunLoopMode);
    bool isScheduled() const;

    // Starts the request (DNS, connect, TLS, sending happen asynchronously
    // once scheduled). False when the stream cannot start (already opened, or
    // curl refused the settings); error() then says why.
    bool open();
    // Stops the transfer and lets go of the connection. No event follows.
    void close();
    Status status() const;
    std::optional<Error> error() const;

    // Body bytes ready to read now.
    bool hasBytesAvailable() const;
    // Copies up to maxLength body bytes: > 0 bytes copied; 0 when nothing is
    // buffered (at the end, or nothing arrived yet: status() and the events
    // tell which); < 0 once the stream has failed and its buffer is empty.
    long read(std::uint8_t* buffer, std::size_t maxLength);
    // As read(), but appends to destination. Saves the caller's own buffer
    // and its copy; when destination is empty and everything buffered is
    // wanted, the bytes change hands without being copied at all.
    long readAppending(Bytes& destination, std::size_t maxLength);

    // The response head: nullopt before the status line arrived; afterwards
    // the head so far, isHeaderComplete() once every field is in.
    std::optional<HttpMessage> responseHeader() const;
    // Request body bytes handed to the connection so far.
    std::uint64_t requestBytesWritten() const;
    // Whether this request went out on a connection kept from an earlier stream.
    bool connectionWasReused() const;
    // Whether any byte of the response (head or body) has arrived.
    bool hasReceivedResponseBytes() const;

    struct Impl;

private:
    explicit HttpStream(std::shared_ptr<Impl> impl);
    std::shared_ptr<Impl> impl_;
};

} // namespace platform
