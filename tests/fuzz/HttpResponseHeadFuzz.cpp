// libFuzzer target: an HTTP response as the engine sees it. The input is
// everything a server sends back (status line, header fields, body); a
// loopback server in this process answers the engine's HTTP stream with it,
// and the head the stream hands back is read as the request layer reads it
// (status, fields, cookies). The same bytes are also read line by line as
// the stream's header callback reads them. Nothing may crash, and a stream
// always ends, with its end or an error, within its time.
#include "platform/net/HttpCookie.h"
#include "platform/net/HttpMessage.h"
#include "platform/net/HttpStream.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Url.h"
#include "tests/fuzz/FuzzSupport.h"

#include <arpa/inet.h>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace {

std::mutex answerMutex;
std::string answer;
int listener = -1;
int port = 0;

void serve()
{
    for (;;) {
        int connection = ::accept(listener, nullptr, nullptr);
        if (connection < 0)
            continue;
        timeval timeout { 2, 0 };
        ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        ::setsockopt(connection, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        // The request head (a GET has no body).
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        std::string reply;
        {
            std::lock_guard lock(answerMutex);
            reply = answer;
        }
        std::size_t sent = 0;
        while (sent < reply.size()) {
            ssize_t n = ::send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        ::shutdown(connection, SHUT_WR);
        // Let the engine read to the end before the socket goes.
        while (::recv(connection, buffer, sizeof buffer, 0) > 0) { }
        ::close(connection);
    }
}

void startServer()
{
    listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener, 16) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        std::abort();
    port = ntohs(address.sin_port);
    std::thread(serve).detach();
}

// The header callback's reading: the status line, then field lines up to a blank one.
void readLineByLine(const std::string& bytes)
{
    std::optional<platform::HttpMessage> head;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        std::string_view line(bytes.data() + start, (end == std::string::npos ? bytes.size() : end) - start);
        start = end == std::string::npos ? bytes.size() : end + 1;
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!head) {
            head = platform::HttpMessage::parseStatusLine(line);
            if (!head)
                return;
            continue;
        }
        if (line.empty())
            break;
        head->appendHeaderLine(line);
    }
    if (head) {
        (void)head->headers().values("Content-Length");
        (void)head->headers().joinedFields();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    platform::RunLoop::setMainThread();
    startServer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    readLineByLine(bytes);
    {
        std::lock_guard lock(answerMutex);
        answer = bytes;
    }
    auto url = platform::Url::parse("http://127.0.0.1:" + std::to_string(port) + "/reply");
    auto request = platform::HttpMessage::createRequest("GET", *url);
    if (!request)
        std::abort();
    auto stream = platform::HttpStream::createForHTTPRequest(*request);
    bool done = false;
    std::size_t received = 0;
    stream->setClient(platform::HttpStream::kEventHasBytesAvailable | platform::HttpStream::kEventErrorOccurred
            | platform::HttpStream::kEventEndEncountered,
        [&](platform::HttpStream& which, platform::HttpStream::Event event) {
            if (event == platform::HttpStream::kEventHasBytesAvailable) {
                std::uint8_t buffer[16384];
                long n = which.read(buffer, sizeof buffer);
                if (n > 0)
                    received += static_cast<std::size_t>(n);
            } else {
                done = true;
            }
        });
    auto& loop = platform::RunLoop::current();
    if (!stream->scheduleInRunLoop(loop) || !stream->open())
        std::abort();
    if (!loop.runUntil([&] { return done; }, 20))
        std::abort(); // the stream neither ended nor failed
    if (received > size)
        std::abort(); // more body than bytes were sent
    if (auto head = stream->responseHeader(); head && head->isHeaderComplete()) {
        (void)head->statusCode();
        (void)head->headers().joinedFields();
        (void)platform::HttpCookie::cookiesWithResponseHeaderFields(head->headers(), *url);
    }
    stream->close();
    return 0;
}
