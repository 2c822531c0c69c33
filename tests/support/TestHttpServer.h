#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

// A request as the test server parsed it.
struct TestRequest {
    std::string method;
    std::string target; // as sent: path plus "?query"
    std::string path; // target without the query
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers; // in order, repeats kept apart
    std::string body; // de-chunked when sent chunked; empty when the route reads it itself
    bool chunked = false; // the body came with Transfer-Encoding: chunked
    std::uint64_t connectionId = 0; // 1, 2, ... in accept order
    int indexOnConnection = 0; // 0 for the first request on its connection
    std::string peerAddress; // "127.0.0.1:54321"

    // The first value of that header (case-insensitive), nullopt when absent.
    std::optional<std::string> header(std::string_view name) const;
    // Every value of that header, in order.
    std::vector<std::string> headerValues(std::string_view name) const;
    // The head as it came, request line and header lines with CR LF, blank line included.
    std::string rawHead;
};

// A reply described as data; TestConnection::respond writes it.
struct TestResponse {
    int status = 200;
    std::string reason; // empty: the usual phrase for the status
    std::string version = "HTTP/1.1";
    std::vector<std::pair<std::string, std::string>> headers; // sent as given, in order
    std::string body;
    enum class Framing {
        ContentLength, // adds Content-Length unless headers carry one
        Chunked, // adds Transfer-Encoding: chunked; chunkSizes cut the body
        ReadToClose, // no length; the connection is closed after the body
        None, // nothing added (HEAD, 204, 304, or hand-written framing)
    };
    Framing framing = Framing::ContentLength;
    std::vector<std::size_t> chunkSizes; // cycled over; empty: one chunk
    bool keepAlive = true; // false: close after the reply (adds no header)

    // A Content-Length framed reply.
    static TestResponse make(
        int status, std::string body, std::vector<std::pair<std::string, std::string>> headers = {})
    {
        TestResponse response;
        response.status = status;
        response.body = std::move(body);
        response.headers = std::move(headers);
        return response;
    }
};

// The server side of one connection, handed to route handlers. Every
// operation is bounded: sleeps wake early when the server stops, and writes
// to a peer that went away fail quietly.
class TestConnection {
public:
    virtual ~TestConnection() = default;

    virtual std::uint64_t id() const = 0;
    // Writes bytes as they are.
    virtual bool send(std::string_view bytes) = 0;
    // Writes bytes in pieces of pieceSize with a pause between them.
    virtual bool sendSlowly(std::string_view bytes, std::size_t pieceSize, double pauseSeconds) = 0;
    // Writes a whole reply (head, framing, body).
    virtual bool respond(const TestResponse& response) = 0;
    // Writes only the head of a reply (status line, headers, blank line);
    // no framing header is added.
    virtual bool sendHead(
        int status, const std::vector<std::pair<std::string, std::string>>& headers, std::string_view reason = {})
        = 0;
    // Reads raw bytes of the request body (routes with readBody off): up to
    // maxBytes, waiting at most timeoutSeconds. Empty at the end or time-out.
    virtual std::string receive(std::size_t maxBytes, double timeoutSeconds) = 0;
    // Sleeps; returns early (false) when the server stops.
    virtual bool sleep(double seconds) = 0;
    // Waits until the peer closes, the server stops, or maxSeconds pass.
    virtual void stall(double maxSeconds = 30) = 0;
    // Closes the connection (FIN) after the handler returns / now.
    virtual void close() = 0;
    // Closes with a reset (SO_LINGER 0): the peer sees ECONNRESET.
    virtual void reset() = 0;
    // After the handler: read the next request on this connection (default),
    // or close. respond() with keepAlive false also closes.
    virtual void setKeepAlive(bool keepAlive) = 0;
};

using TestHandler = std::function<void(const TestRequest& request, TestConnection& connection)>;

struct TestRouteOptions {
    // Off: the handler is called after the head and reads the body itself.
    bool readBody = true;
};

// An HTTP/1.1 server on 127.0.0.1 and an ephemeral port for the tests, with
// raw control over every byte of its replies. A thread accepts and one thread
// serves each connection. Routes match the request path exactly, or by the
// longest prefix for routes added with onPrefix; anything else gets 404.
class TestHttpServer final {
public:
    using RouteOptions = TestRouteOptions;

    TestHttpServer();
    ~TestHttpServer(); // stop()
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    // Binds and starts serving; false (with the reason in *error) on failure.
    bool start(std::string* error = nullptr);
    // Closes the listener and every connection and joins the threads, within
    // a few seconds whatever the handlers are doing.
    void stop();

    int port() const { return port_; }
    // "http://127.0.0.1:<port>"
    std::string baseUrl() const;
    std::string url(std::string_view pathAndQuery) const;

    void on(std::string path, TestHandler handler, RouteOptions options = {});
    void onPrefix(std::string prefix, TestHandler handler, RouteOptions options = {});

    // Every request parsed so far, in arrival order.
    std::vector<TestRequest> requests() const;
    std::optional<TestRequest> lastRequest() const;
    // Waits until at least count requests have arrived (bounded).
    bool waitForRequests(std::size_t count, double timeoutSeconds) const;
    std::uint64_t connectionCount() const;
    // Connections whose serving thread has ended (closed by either side).
    std::uint64_t closedConnectionCount() const;
    bool waitForClosedConnections(std::uint64_t count, double timeoutSeconds) const;
    void clearLog();

    // Ready-made handlers.
    static TestHandler reply(TestResponse response);
    static TestHandler text(int status, std::string body, std::string contentType = "text/plain");
    // Echoes method, target, headers and body as text, one "Name: value" per line.
    static TestHandler echo();

private:
    struct Route {
        TestHandler handler;
        RouteOptions options;
        bool prefix = false;
    };
    struct ConnectionState;
    class Connection;

    void acceptLoop();
    void serve(std::shared_ptr<ConnectionState> state);
    std::optional<Route> findRoute(const std::string& path) const;
    void record(const TestRequest& request);
    bool fill(ConnectionState& state, std::size_t need, double timeoutSeconds);
    bool readLine(ConnectionState& state, std::string& line, double timeoutSeconds);

    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_ { false };
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::map<std::string, Route> routes_;
    std::vector<TestRequest> log_;
    std::vector<std::shared_ptr<ConnectionState>> connections_;
    std::vector<std::thread> threads_;
    std::uint64_t nextConnectionId_ = 1;
    std::uint64_t closedConnections_ = 0;
};

} // namespace testsupport
