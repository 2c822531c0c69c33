#include "tests/support/TestHttpServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace {

    using Clock = std::chrono::steady_clock;

    // Room for the longest authentication answers a client may send (an NTLM
    // message with fields near their 64 KB limit, written in base64).
    constexpr std::size_t kMaxHeadBytes = 256 * 1024;
    constexpr double kIdleConnectionSeconds = 30;

    std::string lower(std::string_view text)
    {
        std::string out(text);
        std::transform(out.begin(), out.end(), out.begin(),
            [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
        return out;
    }

    std::string_view trim(std::string_view text)
    {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
            text.remove_suffix(1);
        return text;
    }

    std::string reasonFor(int status)
    {
        switch (status) {
        case 100:
            return "Continue";
        case 200:
            return "OK";
        case 201:
            return "Created";
        case 204:
            return "No Content";
        case 206:
            return "Partial Content";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 303:
            return "See Other";
        case 304:
            return "Not Modified";
        case 307:
            return "Temporary Redirect";
        case 400:
            return "Bad Request";
        case 401:
            return "Unauthorized";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 407:
            return "Proxy Authentication Required";
        case 416:
            return "Range Not Satisfiable";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
        }
    }

    bool hasHeader(const std::vector<std::pair<std::string, std::string>>& headers, std::string_view name)
    {
        std::string wanted = lower(name);
        return std::any_of(headers.begin(), headers.end(), [&](const auto& h) { return lower(h.first) == wanted; });
    }

    double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

} // namespace

std::optional<std::string> TestRequest::header(std::string_view name) const
{
    std::string wanted = lower(name);
    for (const auto& [key, value] : headers) {
        if (lower(key) == wanted)
            return value;
    }
    return std::nullopt;
}

std::vector<std::string> TestRequest::headerValues(std::string_view name) const
{
    std::string wanted = lower(name);
    std::vector<std::string> values;
    for (const auto& [key, value] : headers) {
        if (lower(key) == wanted)
            values.push_back(value);
    }
    return values;
}

struct TestHttpServer::ConnectionState {
    std::mutex mutex; // guards fd against stop() on another thread
    int fd = -1;
    std::uint64_t id = 0;
    std::string peer;
    std::string input; // received, not yet parsed
    bool keepAlive = true;
    bool closed = false;
};

class TestHttpServer::Connection final : public TestConnection {
public:
    Connection(TestHttpServer& server, std::shared_ptr<ConnectionState> state)
        : server_(server)
        , state_(std::move(state))
    {
    }

    std::uint64_t id() const override { return state_->id; }

    bool send(std::string_view bytes) override
    {
        int fd = currentFd();
        if (fd < 0)
            return false;
        while (!bytes.empty()) {
            ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    bool sendSlowly(std::string_view bytes, std::size_t pieceSize, double pauseSeconds) override
    {
        pieceSize = std::max<std::size_t>(pieceSize, 1);
        while (!bytes.empty()) {
            std::size_t n = std::min(pieceSize, bytes.size());
            if (!send(bytes.substr(0, n)))
                return false;
            bytes.remove_prefix(n);
            if (!bytes.empty() && !sleep(pauseSeconds))
                return false;
        }
        return true;
    }

    bool respond(const TestResponse& response) override
    {
        std::string out = response.version + " " + std::to_string(response.status) + " "
            + (response.reason.empty() ? reasonFor(response.status) : response.reason) + "\r\n";
        for (const auto& [name, value] : response.headers)
            out += name + ": " + value + "\r\n";
        std::string body;
        switch (response.framing) {
        case TestResponse::Framing::ContentLength:
            if (!hasHeader(response.headers, "Content-Length"))
                out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
            body = response.body;
            break;
        case TestResponse::Framing::Chunked: {
            if (!hasHeader(response.headers, "Transfer-Encoding"))
                out += "Transfer-Encoding: chunked\r\n";
            std::size_t offset = 0;
            std::size_t index = 0;
            while (offset < response.body.size()) {
                std::size_t size = response.chunkSizes.empty()
                    ? response.body.size()
                    : std::max<std::size_t>(response.chunkSizes[index++ % response.chunkSizes.size()], 1);
                size = std::min(size, response.body.size() - offset);
                char hex[32];
                std::snprintf(hex, sizeof hex, "%zx", size);
                body += std::string(hex) + "\r\n" + response.body.substr(offset, size) + "\r\n";
                offset += size;
            }
            body += "0\r\n\r\n";
            break;
        }
        case TestResponse::Framing::ReadToClose:
        case TestResponse::Framing::None:
            body = response.body;
            break;
        }
        out += "\r\n";
        out += body;
        bool ok = send(out);
        if (!response.keepAlive || response.framing == TestResponse::Framing::ReadToClose)
            close();
        return ok;
    }

    bool sendHead(
        int status, const std::vector<std::pair<std::string, std::string>>& headers, std::string_view reason) override
    {
        std::string out = "HTTP/1.1 " + std::to_string(status) + " "
            + (reason.empty() ? reasonFor(status) : std::string(reason)) + "\r\n";
        for (const auto& [name, value] : headers)
            out += name + ": " + value + "\r\n";
        out += "\r\n";
        return send(out);
    }

    std::string receive(std::size_t maxBytes, double timeoutSeconds) override
    {
        if (state_->input.empty())
            server_.fill(*state_, 1, timeoutSeconds);
        std::size_t n = std::min(maxBytes, state_->input.size());
        std::string out = state_->input.substr(0, n);
        state_->input.erase(0, n);
        return out;
    }

    bool sleep(double seconds) override
    {
        std::unique_lock lock(server_.mutex_);
        return !server_.changed_.wait_for(
            lock, std::chrono::duration<double>(seconds), [&] { return server_.stopping_.load(); });
    }

    void stall(double maxSeconds) override
    {
        auto start = Clock::now();
        while (!server_.stopping_ && secondsSince(start) < maxSeconds) {
            int fd = currentFd();
            if (fd < 0)
                return;
            pollfd p { fd, POLLIN, 0 };
            if (::poll(&p, 1, 50) <= 0)
                continue;
            char scratch[4096];
            ssize_t n = ::recv(fd, scratch, sizeof scratch, 0);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                return; // the peer went away
        }
    }

    void close() override
    {
        std::lock_guard lock(state_->mutex);
        if (state_->fd < 0)
            return;
        // FIN first, then drop whatever the peer still sends: closing with
        // unread bytes would turn the FIN into a reset.
        ::shutdown(state_->fd, SHUT_WR);
        char scratch[4096];
        while (::recv(state_->fd, scratch, sizeof scratch, MSG_DONTWAIT) > 0) { }
        ::close(state_->fd);
        state_->fd = -1;
        state_->closed = true;
    }

    void reset() override
    {
        std::lock_guard lock(state_->mutex);
        if (state_->fd < 0)
            return;
        linger option { 1, 0 };
        ::setsockopt(state_->fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
        ::close(state_->fd);
        state_->fd = -1;
        state_->closed = true;
    }

    void setKeepAlive(bool keepAlive) override { state_->keepAlive = keepAlive; }

private:
    int currentFd()
    {
        std::lock_guard lock(state_->mutex);
        return state_->fd;
    }

    TestHttpServer& server_;
    std::shared_ptr<ConnectionState> state_;
};

TestHttpServer::TestHttpServer() = default;

TestHttpServer::~TestHttpServer() { stop(); }

bool TestHttpServer::start(std::string* error)
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) {
        if (error)
            *error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd_, 128) != 0
        || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (error)
            *error = std::string("bind/listen: ") + std::strerror(errno);
        ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    port_ = ntohs(address.sin_port);
    stopping_ = false;
    acceptThread_ = std::thread([this] { acceptLoop(); });
    return true;
}

void TestHttpServer::stop()
{
    if (listenFd_ < 0 && !acceptThread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (acceptThread_.joinable())
        acceptThread_.join();
    if (listenFd_ >= 0)
        ::close(listenFd_);
    listenFd_ = -1;
    std::vector<std::shared_ptr<ConnectionState>> connections;
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        connections = connections_;
        threads.swap(threads_);
    }
    for (auto& state : connections) {
        std::lock_guard lock(state->mutex);
        if (state->fd >= 0)
            ::shutdown(state->fd, SHUT_RDWR); // wakes a serving thread blocked in recv or send
    }
    for (auto& thread : threads)
        thread.join();
    std::lock_guard lock(mutex_);
    connections_.clear();
}

std::string TestHttpServer::baseUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

std::string TestHttpServer::url(std::string_view pathAndQuery) const { return baseUrl() + std::string(pathAndQuery); }

void TestHttpServer::on(std::string path, TestHandler handler, RouteOptions options)
{
    std::lock_guard lock(mutex_);
    routes_[path] = Route { std::move(handler), options, false };
}

void TestHttpServer::onPrefix(std::string prefix, TestHandler handler, RouteOptions options)
{
    std::lock_guard lock(mutex_);
    routes_["\x01" + prefix] = Route { std::move(handler), options, true };
}

std::optional<TestHttpServer::Route> TestHttpServer::findRoute(const std::string& path) const
{
    std::lock_guard lock(mutex_);
    auto exact = routes_.find(path);
    if (exact != routes_.end())
        return exact->second;
    std::optional<Route> best;
    std::size_t bestLength = 0;
    for (const auto& [key, route] : routes_) {
        if (!route.prefix)
            continue;
        std::string prefix = key.substr(1);
        if (path.compare(0, prefix.size(), prefix) == 0 && prefix.size() >= bestLength) {
            best = route;
            bestLength = prefix.size();
        }
    }
    return best;
}

std::vector<TestRequest> TestHttpServer::requests() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

std::optional<TestRequest> TestHttpServer::lastRequest() const
{
    std::lock_guard lock(mutex_);
    if (log_.empty())
        return std::nullopt;
    return log_.back();
}

bool TestHttpServer::waitForRequests(std::size_t count, double timeoutSeconds) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::duration<double>(timeoutSeconds), [&] { return log_.size() >= count; });
}

std::uint64_t TestHttpServer::connectionCount() const
{
    std::lock_guard lock(mutex_);
    return nextConnectionId_ - 1;
}

std::uint64_t TestHttpServer::closedConnectionCount() const
{
    std::lock_guard lock(mutex_);
    return closedConnections_;
}

bool TestHttpServer::waitForClosedConnections(std::uint64_t count, double timeoutSeconds) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(
        lock, std::chrono::duration<double>(timeoutSeconds), [&] { return closedConnections_ >= count; });
}

void TestHttpServer::clearLog()
{
    std::lock_guard lock(mutex_);
    log_.clear();
}

void TestHttpServer::record(const TestRequest& request)
{
    {
        std::lock_guard lock(mutex_);
        log_.push_back(request);
    }
    changed_.notify_all();
}

void TestHttpServer::acceptLoop()
{
    while (!stopping_) {
        pollfd p { listenFd_, POLLIN, 0 };
        if (::poll(&p, 1, 50) <= 0)
            continue;
        sockaddr_in peer {};
        socklen_t length = sizeof peer;
        int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        timeval sendLimit { 5, 0 }; // a peer that stops reading cannot hold a handler forever
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
        auto state = std::make_shared<ConnectionState>();
        state->fd = fd;
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
        state->peer = std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(fd);
            break;
        }
        state->id = nextConnectionId_++;
        connections_.push_back(state);
        threads_.emplace_back([this, state] { serve(state); });
    }
}

// Reads until the buffer holds at least `need` bytes, the peer closes, the
// server stops or the time runs out. False unless the bytes are there.
bool TestHttpServer::fill(ConnectionState& state, std::size_t need, double timeoutSeconds)
{
    auto start = Clock::now();
    while (state.input.size() < need) {
        if (stopping_ || secondsSince(start) > timeoutSeconds)
            return false;
        int fd;
        {
            std::lock_guard lock(state.mutex);
            fd = state.fd;
        }
        if (fd < 0)
            return false;
        pollfd p { fd, POLLIN, 0 };
        int ready = ::poll(&p, 1, 50);
        if (ready <= 0)
            continue;
        char buffer[16384];
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        state.input.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

bool TestHttpServer::readLine(ConnectionState& state, std::string& line, double timeoutSeconds)
{
    auto start = Clock::now();
    while (true) {
        auto end = state.input.find("\r\n");
        if (end != std::string::npos) {
            line = state.input.substr(0, end);
            state.input.erase(0, end + 2);
            return true;
        }
        double left = timeoutSeconds - secondsSince(start);
        if (left <= 0 || state.input.size() > kMaxHeadBytes || !fill(state, state.input.size() + 1, left))
            return false;
    }
}

void TestHttpServer::serve(std::shared_ptr<ConnectionState> state)
{
    Connection connection(*this, state);
    int index = 0;
    while (!stopping_) {
        // The head.
        std::size_t headEnd;
        auto start = Clock::now();
        while ((headEnd = state->input.find("\r\n\r\n")) == std::string::npos) {
            double left = kIdleConnectionSeconds - secondsSince(start);
            if (state->input.size() > kMaxHeadBytes || left <= 0 || !fill(*state, state->input.size() + 1, left))
                goto done;
        }
        {
            TestRequest request;
            request.rawHead = state->input.substr(0, headEnd + 4);
            state->input.erase(0, headEnd + 4);
            request.connectionId = state->id;
            request.indexOnConnection = index++;
            request.peerAddress = state->peer;

            std::string_view head = request.rawHead;
            auto lineEnd = head.find("\r\n");
            std::string_view requestLine = head.substr(0, lineEnd);
            auto firstSpace = requestLine.find(' ');
            auto lastSpace = requestLine.rfind(' ');
            if (firstSpace == std::string_view::npos || lastSpace == firstSpace) {
                connection.send("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                break;
            }
            request.method = std::string(requestLine.substr(0, firstSpace));
            request.target = std::string(requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1));
            request.version = std::string(requestLine.substr(lastSpace + 1));
            request.path = request.target.substr(0, request.target.find('?'));
            head.remove_prefix(lineEnd + 2);
            while (!head.empty()) {
                auto end = head.find("\r\n");
                std::string_view line = head.substr(0, end);
                head.remove_prefix(end == std::string_view::npos ? head.size() : end + 2);
                if (line.empty())
                    continue;
                auto colon = line.find(':');
                if (colon == std::string_view::npos)
                    continue;
                request.headers.emplace_back(
                    std::string(line.substr(0, colon)), std::string(trim(line.substr(colon + 1))));
            }

            auto route = findRoute(request.path);
            bool readBody = !route || route->options.readBody;
            if (lower(request.header("Expect").value_or("")) == "100-continue")
                connection.send("HTTP/1.1 100 Continue\r\n\r\n");
            bool chunked = lower(request.header("Transfer-Encoding").value_or("")).find("chunked") != std::string::npos;
            request.chunked = chunked;
            if (readBody && chunked) {
                while (true) {
                    std::string sizeLine;
                    if (!readLine(*state, sizeLine, kIdleConnectionSeconds))
                        goto done;
                    std::size_t size = std::strtoull(sizeLine.c_str(), nullptr, 16);
                    if (size == 0) {
                        std::string trailer;
                        do {
                            if (!readLine(*state, trailer, kIdleConnectionSeconds))
                                goto done;
                        } while (!trailer.empty());
                        break;
                    }
                    if (!fill(*state, size + 2, kIdleConnectionSeconds))
                        goto done;
                    request.body += state->input.substr(0, size);
                    state->input.erase(0, size + 2);
                }
            } else if (readBody) {
                auto lengthText = request.header("Content-Length");
                std::size_t length = lengthText ? std::strtoull(lengthText->c_str(), nullptr, 10) : 0;
                if (length > 0) {
                    if (!fill(*state, length, kIdleConnectionSeconds))
                        goto done;
                    request.body = state->input.substr(0, length);
                    state->input.erase(0, length);
                }
            }
            record(request);

            bool clientWantsClose = lower(request.header("Connection").value_or("")) == "close"
                || (request.version == "HTTP/1.0" && lower(request.header("Connection").value_or("")) != "keep-alive");
            state->keepAlive = true;
            if (route)
                route->handler(request, connection);
            else
                connection.respond(TestResponse::make(404, "not found", { { "Content-Type", "text/plain" } }));
            {
                std::lock_guard lock(state->mutex);
                if (state->fd < 0)
                    break;
            }
            if (!state->keepAlive || clientWantsClose) {
                connection.close();
                break;
            }
        }
    }
done:
    connection.close();
    {
        std::lock_guard lock(mutex_);
        ++closedConnections_;
    }
    changed_.notify_all();
}

TestHandler TestHttpServer::reply(TestResponse response)
{
    return [response](const TestRequest&, TestConnection& connection) { connection.respond(response); };
}

TestHandler TestHttpServer::text(int status, std::string body, std::string contentType)
{
    TestResponse response;
    response.status = status;
    response.headers = { { "Content-Type", contentType } };
    response.body = std::move(body);
    return reply(std::move(response));
}

TestHandler TestHttpServer::echo()
{
    return [](const TestRequest& request, TestConnection& connection) {
        TestResponse response;
        response.headers = { { "Content-Type", "text/plain" } };
        response.body = request.rawHead + request.body;
        connection.respond(response);
    };
}

} // namespace testsupport
