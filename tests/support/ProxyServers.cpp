#include "tests/support/ProxyServers.h"

#include "tests/support/ProcessUtil.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

bool TinyproxyServer::available() { return ::access("/usr/bin/tinyproxy", X_OK) == 0; }

std::unique_ptr<TinyproxyServer> TinyproxyServer::start(const Options& options, std::string* error)
{
    std::unique_ptr<TinyproxyServer> server(new TinyproxyServer());
    server->dir_ = makeTempDir("orb-tinyproxy");
    if (server->dir_.empty()) {
        if (error)
            *error = "cannot make a temporary folder";
        return nullptr;
    }
    const std::string& d = server->dir_;
    std::string userLines;
    if (::geteuid() == 0) {
        // As root tinyproxy would switch to an unprivileged user who cannot write our folder.
        passwd* user = ::getpwuid(::geteuid());
        group* grp = ::getgrgid(::getegid());
        if (user && grp)
            userLines = std::string("User ") + user->pw_name + "\nGroup " + grp->gr_name + "\n";
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        server->port_ = freeLoopbackPort();
        std::ostringstream conf;
        conf << userLines << "Port " << server->port_ << "\n"
             << "Listen 127.0.0.1\n"
             << "Timeout 10\n"
             << "LogFile \"" << d << "/tinyproxy.log\"\n"
             << "LogLevel Info\n"
             << "PidFile \"" << d << "/tinyproxy.pid\"\n"
             << "MaxClients 32\n"
             << "Allow 127.0.0.1\n";
        if (!options.basicAuthUser.empty())
            conf << "BasicAuth " << options.basicAuthUser << " " << options.basicAuthPassword << "\n";
        if (!writeTextFile(d + "/tinyproxy.conf", conf.str())) {
            if (error)
                *error = "cannot write the tinyproxy configuration";
            return nullptr;
        }
        server->pid_ = spawnProcess({ "/usr/bin/tinyproxy", "-d", "-c", d + "/tinyproxy.conf" }, d + "/stderr.log");
        if (server->pid_ < 0) {
            if (error)
                *error = "cannot start tinyproxy";
            return nullptr;
        }
        if (waitUntilListening(server->port_, server->pid_, 5))
            return server;
        stopProcess(server->pid_);
        server->pid_ = -1;
        if (error)
            *error = "tinyproxy did not start: " + readTextFile(d + "/stderr.log") + readTextFile(d + "/tinyproxy.log");
    }
    return nullptr;
}

TinyproxyServer::~TinyproxyServer()
{
    stopProcess(pid_);
    std::error_code ignored;
    if (!dir_.empty())
        std::filesystem::remove_all(dir_, ignored);
}

std::string TinyproxyServer::log() const { return readTextFile(dir_ + "/tinyproxy.log"); }

namespace {

    bool readExactly(int fd, void* buffer, std::size_t size)
    {
        auto* out = static_cast<unsigned char*>(buffer);
        while (size > 0) {
            pollfd p { fd, POLLIN, 0 };
            if (::poll(&p, 1, 2000) <= 0)
                return false;
            ssize_t n = ::recv(fd, out, size, 0);
            if (n <= 0)
                return false;
            out += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool sendAll(int fd, const void* data, std::size_t size)
    {
        auto* in = static_cast<const unsigned char*>(data);
        while (size > 0) {
            ssize_t n = ::send(fd, in, size, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            in += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool isLoopbackName(const std::string& host)
    {
        return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
    }

} // namespace

TestSocksServer::~TestSocksServer() { stop(); }

bool TestSocksServer::start(std::string* error)
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(listenFd_, 32) != 0
        || ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (error)
            *error = std::string("socks listen: ") + std::strerror(errno);
        if (listenFd_ >= 0)
            ::close(listenFd_);
        listenFd_ = -1;
        return false;
    }
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
    return true;
}

void TestSocksServer::stop()
{
    if (!acceptThread_.joinable())
        return;
    stopping_ = true;
    acceptThread_.join();
    ::close(listenFd_);
    listenFd_ = -1;
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        for (int fd : clients_)
            ::shutdown(fd, SHUT_RDWR);
        threads.swap(threads_);
    }
    for (auto& thread : threads)
        thread.join();
}

std::vector<std::string> TestSocksServer::targets() const
{
    std::lock_guard lock(mutex_);
    return targets_;
}

void TestSocksServer::acceptLoop()
{
    while (!stopping_) {
        pollfd p { listenFd_, POLLIN, 0 };
        if (::poll(&p, 1, 50) <= 0)
            continue;
        int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        std::lock_guard lock(mutex_);
        clients_.push_back(client);
        threads_.emplace_back([this, client] { serve(client); });
    }
}

void TestSocksServer::serve(int client)
{
    int upstream = -1;
    auto finish = [&] {
        if (upstream >= 0)
            ::close(upstream);
        std::lock_guard lock(mutex_);
        // Closed under the lock, so stop() never shuts down a number reused elsewhere.
        ::close(client);
        clients_.erase(std::remove(clients_.begin(), clients_.end(), client), clients_.end());
    };
    unsigned char greeting[2];
    if (!readExactly(client, greeting, 2) || greeting[0] != 5)
        return finish();
    std::vector<unsigned char> methods(greeting[1]);
    if (!readExactly(client, methods.data(), methods.size()))
        return finish();
    const unsigned char noAuth[2] = { 5, 0 };
    sendAll(client, noAuth, 2);

    unsigned char head[4];
    if (!readExactly(client, head, 4) || head[0] != 5 || head[1] != 1)
        return finish();
    std::string host;
    if (head[3] == 1) {
        unsigned char v4[4];
        if (!readExactly(client, v4, 4))
            return finish();
        char text[INET_ADDRSTRLEN];
        ::inet_ntop(AF_INET, v4, text, sizeof text);
        host = text;
    } else if (head[3] == 3) {
        unsigned char size = 0;
        if (!readExactly(client, &size, 1))
            return finish();
        host.resize(size);
        if (!readExactly(client, host.data(), size))
            return finish();
    } else if (head[3] == 4) {
        unsigned char v6[16];
        if (!readExactly(client, v6, 16))
            return finish();
        char text[INET6_ADDRSTRLEN];
        ::inet_ntop(AF_INET6, v6, text, sizeof text);
        host = text;
    } else {
        return finish();
    }
    unsigned char portBytes[2];
    if (!readExactly(client, portBytes, 2))
        return finish();
    int port = (portBytes[0] << 8) | portBytes[1];
    {
        std::lock_guard lock(mutex_);
        targets_.push_back(host + ":" + std::to_string(port));
    }

    unsigned char reply[10] = { 5, 0, 0, 1, 0, 0, 0, 0, 0, 0 };
    addrinfo hints {};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (!isLoopbackName(host)
        || ::getaddrinfo(host == "localhost" ? "127.0.0.1" : host.c_str(), std::to_string(port).c_str(), &hints, &found)
            != 0) {
        reply[1] = 2; // not allowed by the rule set
        sendAll(client, reply, sizeof reply);
        return finish();
    }
    upstream = ::socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    bool connected = upstream >= 0 && ::connect(upstream, found->ai_addr, found->ai_addrlen) == 0;
    ::freeaddrinfo(found);
    if (!connected) {
        reply[1] = 5; // connection refused
        sendAll(client, reply, sizeof reply);
        return finish();
    }
    sendAll(client, reply, sizeof reply);

    // Relay both ways until either side closes.
    char buffer[16384];
    while (!stopping_) {
        pollfd fds[2] = { { client, POLLIN, 0 }, { upstream, POLLIN, 0 } };
        if (::poll(fds, 2, 100) <= 0)
            continue;
        bool closed = false;
        for (int i = 0; i < 2 && !closed; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
            if (n <= 0 || !sendAll(fds[1 - i].fd, buffer, static_cast<std::size_t>(n)))
                closed = true;
        }
        if (closed)
            break;
    }
    finish();
}

} // namespace testsupport
