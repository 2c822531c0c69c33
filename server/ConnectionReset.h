#pragma once

#include <string>

namespace server {

// Drops an accepted connection with a TCP reset instead of a reply.
//
// The HTTP library does not hand its handlers the socket, so the socket is
// found among the process's descriptors by its two addresses (our port and
// the peer's address and port are unique to one connection). Lingering is
// switched off, so closing it sends RST, and the descriptor number is then
// taken over by /dev/null with dup2: that closes the socket in one atomic
// step, and the library's own later writes and close land on /dev/null
// instead of a number some other thread may have reused.
//
// Answers false when no such connection was found (it was closed already).
bool resetConnection(const std::string& peerAddress, int peerPort, int localPort);

} // namespace server
