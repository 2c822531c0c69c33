// The loopback server is what every HTTP test trusts for "what went on the
// wire"; these cases check it with plain sockets, independent of our stream.
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using testsupport::TestConnection;
using testsupport::TestHttpServer;
using testsupport::TestRequest;
using testsupport::TestResponse;

namespace {

int connectTo(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    timeval limit { 2, 0 };
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return fd;
}

void sendAll(int fd, const std::string& text)
{
    ASSERT_EQ(::send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

// Reads until the peer closes (or 2 s pass); errno of a failed read in *error.
std::string readAll(int fd, int* error = nullptr)
{
    std::string out;
    char buffer[4096];
    while (true) {
        ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            out.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && error)
            *error = errno;
        return out;
    }
}

TEST(TestHttpServerTest, ChunkedRepliesUseTheGivenSizesAndBodiesAreDecoded)
{
    TestHttpServer server;
    ASSERT_TRUE(server.start());
    TestResponse response;
    response.body = "abcdefghij";
    response.framing = TestResponse::Framing::Chunked;
    response.chunkSizes = { 1, 3 };
    response.headers = { { "X-A", "1" } };
    server.on("/c", TestHttpServer::reply(response));

    int fd = connectTo(server.port());
    sendAll(fd,
        "POST /c?x=1 HTTP/1.1\r\nHost: here\r\nX-Two: a\r\nX-Two: b\r\nTransfer-Encoding: chunked\r\n"
        "Connection: close\r\n\r\n5\r\nhello\r\n1;ext=1\r\n!\r\n0\r\nTrailer: t\r\n\r\n");
    EXPECT_EQ(readAll(fd),
        "HTTP/1.1 200 OK\r\nX-A: 1\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n3\r\nbcd\r\n"
        "1\r\ne\r\n3\r\nfgh\r\n1\r\ni\r\n1\r\nj\r\n0\r\n\r\n");
    ::close(fd);

    auto seen = server.lastRequest();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->method, "POST");
    EXPECT_EQ(seen->target, "/c?x=1");
    EXPECT_EQ(seen->path, "/c");
    EXPECT_TRUE(seen->chunked);
    EXPECT_EQ(seen->body, "hello!");
    EXPECT_EQ(seen->headerValues("x-two"), (std::vector<std::string> { "a", "b" }));
    EXPECT_EQ(seen->headers.front().first, "Host");
}

TEST(TestHttpServerTest, ConnectionsAreNumberedAndKeptAlive)
{
    TestHttpServer server;
    ASSERT_TRUE(server.start());
    server.on("/k", TestHttpServer::text(200, "ok"));
    server.onPrefix("/files/", TestHttpServer::text(200, "file"));

    int first = connectTo(server.port());
    sendAll(first,
        "GET /k HTTP/1.1\r\nHost: h\r\n\r\nGET /files/a/b HTTP/1.1\r\nHost: h\r\n\r\n"
        "GET /nothing HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
    std::string replies = readAll(first);
    ::close(first);
    EXPECT_NE(replies.find("\r\n\r\nok"), std::string::npos);
    EXPECT_NE(replies.find("\r\n\r\nfile"), std::string::npos);
    EXPECT_NE(replies.find("HTTP/1.1 404 Not Found"), std::string::npos);

    int second = connectTo(server.port());
    sendAll(second, "GET /k HTTP/1.0\r\n\r\n");
    readAll(second);
    ::close(second);

    ASSERT_TRUE(server.waitForRequests(4, 2));
    auto log = server.requests();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].connectionId, 1u);
    EXPECT_EQ(log[2].connectionId, 1u);
    EXPECT_EQ(log[2].indexOnConnection, 2);
    EXPECT_EQ(log[3].connectionId, 2u);
    EXPECT_EQ(server.connectionCount(), 2u);
    EXPECT_TRUE(server.waitForClosedConnections(2, 2));
}

TEST(TestHttpServerTest, RoutesCanReadTheBodyThemselves)
{
    TestHttpServer server;
    ASSERT_TRUE(server.start());
    std::string firstPart;
    server.on("/sink",
        [&](const TestRequest& request, TestConnection& connection) {
            EXPECT_TRUE(request.body.empty());
            firstPart = connection.receive(4, 2);
            connection.respond(TestResponse::make(413, "enough"));
            connection.setKeepAlive(false);
        },
        { false });
    int fd = connectTo(server.port());
    sendAll(fd, "POST /sink HTTP/1.1\r\nHost: h\r\nContent-Length: 10\r\n\r\n0123456789");
    std::string reply = readAll(fd);
    ::close(fd);
    EXPECT_EQ(reply.substr(0, 12), "HTTP/1.1 413");
    EXPECT_EQ(firstPart, "0123");
}

TEST(TestHttpServerTest, ResetIsSeenAsResetAndStopIsBounded)
{
    TestHttpServer server;
    ASSERT_TRUE(server.start());
    server.on("/reset", [](const TestRequest&, TestConnection& connection) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial");
        connection.sleep(0.05);
        connection.reset();
    });
    server.on("/forever", [](const TestRequest&, TestConnection& connection) {
        connection.sleep(60);
        connection.stall(60);
    });
    int fd = connectTo(server.port());
    sendAll(fd, "GET /reset HTTP/1.1\r\nHost: h\r\n\r\n");
    int error = 0;
    std::string got = readAll(fd, &error);
    ::close(fd);
    EXPECT_NE(got.find("partial"), std::string::npos);
    EXPECT_EQ(error, ECONNRESET);

    int stuck = connectTo(server.port());
    sendAll(stuck, "GET /forever HTTP/1.1\r\nHost: h\r\n\r\n");
    ASSERT_TRUE(server.waitForRequests(2, 2));
    auto start = std::chrono::steady_clock::now();
    server.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20)) << "the handler would hold it 60 s";
    ::close(stuck);
}

} // namespace
