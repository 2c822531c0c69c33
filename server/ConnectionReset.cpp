#include "server/ConnectionReset.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace server {

namespace {

    // The numeric address and port of a socket address, IPv4 or IPv6.
    bool describe(const sockaddr_storage& address, std::string& host, int& port)
    {
        char text[INET6_ADDRSTRLEN] = {};
        if (address.ss_family == AF_INET) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
            inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
            port = ntohs(in->sin_port);
        } else if (address.ss_family == AF_INET6) {
            const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&address);
            inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
            port = ntohs(in6->sin6_port);
        } else {
            return false;
        }
        host = text;
        return true;
    }

    bool matches(int fd, const std::string& peerAddress, int peerPort, int localPort)
    {
        // getsockname fails on anything that is not a socket. No fstat first:
        // the other descriptors belong to other threads, and only the
        // socket calls leave them alone.
        sockaddr_storage local {}, peer {};
        socklen_t localLength = sizeof local, peerLength = sizeof peer;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0
            || getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
            return false;
        std::string localHost, peerHost;
        int localPortFound = -1, peerPortFound = -1;
        if (!describe(local, localHost, localPortFound) || !describe(peer, peerHost, peerPortFound))
            return false;
        return localPortFound == localPort && peerPortFound == peerPort && peerHost == peerAddress;
    }

} // namespace

bool resetConnection(const std::string& peerAddress, int peerPort, int localPort)
{
    DIR* folder = opendir("/proc/self/fd");
    if (!folder)
        return false;
    int found = -1;
    int own = dirfd(folder);
    while (dirent* entry = readdir(folder)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        int fd = std::atoi(entry->d_name);
        if (fd == own)
            continue;
        if (matches(fd, peerAddress, peerPort, localPort)) {
            found = fd;
            break;
        }
    }
    closedir(folder);
    if (found < 0)
        return false;

    linger abortive { 1, 0 };
    setsockopt(found, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    int placeholder = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (placeholder < 0) {
        // Without a placeholder the socket cannot be closed safely here;
        // shutting it down still ends the exchange, with FIN instead of RST.
        shutdown(found, SHUT_RDWR);
        return true;
    }
    dup2(placeholder, found);
    close(placeholder);
    return true;
}

} // namespace server
