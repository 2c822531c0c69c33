#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace testsupport {

// tinyproxy (the Debian HTTP proxy) on 127.0.0.1 and a free port: plain
// proxying for http URLs and CONNECT tunnels, optionally behind Basic proxy
// authentication. Its files live in a temporary folder; stopped on destruction.
class TinyproxyServer final {
public:
    struct Options {
        // Both set: every request needs Proxy-Authorization (else 407).
        std::string basicAuthUser;
        std::string basicAuthPassword;
    };

    static bool available();
    static std::unique_ptr<TinyproxyServer> start(const Options& options, std::string* error = nullptr);
    ~TinyproxyServer();

    int port() const { return port_; }
    // What tinyproxy logged so far (requests appear with their method and target).
    std::string log() const;

private:
    TinyproxyServer() = default;
    std::string dir_;
    int port_ = 0;
    pid_t pid_ = -1;
};

// A SOCKS5 proxy (no authentication, CONNECT only) on 127.0.0.1 and an
// ephemeral port, in-process. It only connects to loopback targets.
class TestSocksServer final {
public:
    TestSocksServer() = default;
    ~TestSocksServer(); // stop()
    TestSocksServer(const TestSocksServer&) = delete;
    TestSocksServer& operator=(const TestSocksServer&) = delete;

    bool start(std::string* error = nullptr);
    void stop();
    int port() const { return port_; }
    // "host:port" of every CONNECT asked for, in order (host as the client sent it).
    std::vector<std::string> targets() const;

private:
    void acceptLoop();
    void serve(int client);

    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_ { false };
    std::thread acceptThread_;
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
    std::vector<int> clients_;
    std::vector<std::thread> threads_;
};

} // namespace testsupport
