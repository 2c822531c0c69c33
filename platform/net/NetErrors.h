#pragma once

#include "platform/os/Error.h"

namespace platform {

// The engine tests stream errors against the phone's own numbers, so the
// stream reports failures in the phone's domains and numbering, not Linux's
// errno values. One table, used by HttpStream (see HttpStream.cpp for the
// exact source of each row):
//
//   what happened                                          domain                      code
//   -----------------------------------------------------  --------------------------  -----
//   a reused idle connection died before any response      kCFNetworkErrorDomain       -1005
//     byte (closed, reset or curl wanting a new socket)
//   connection closed or reset before any response byte    kCFNetworkErrorDomain       -1005
//   server closed the connection before the body ended     kCFNetworkErrorDomain       -1005
//     (truncated Content-Length or chunked body)
//   writing the request hit a broken pipe                  kPosixErrorDomain           32 (EPIPE)
//   connection reset after response bytes arrived          kPosixErrorDomain           54 (ECONNRESET)
//   connection refused                                     kPosixErrorDomain           61 (ECONNREFUSED)
//   connect timed out in the kernel                        kPosixErrorDomain           60 (ETIMEDOUT)
//   network / host unreachable                             kPosixErrorDomain           51 / 65
//   other connect failure                                  kCFNetworkErrorDomain       -1004
//   host name (or proxy name) not resolvable               kCFNetworkErrorDomain       -1003
//   malformed response (bad status line, a field line      kCFNetworkErrorDomain       -1017
//     without a colon, bad or conflicting Content-Length,
//     bad chunk framing)
//   curl's own operation time-out (not used by default)    kCFNetworkErrorDomain       -1001
//   the request body stream failed or ended early          kPosixErrorDomain           5 (EIO),
//                                                          or the body stream's own error
//   TLS: certificate expired                               kOSStatusErrorDomain        -9814
//   TLS: certificate not yet valid                         kOSStatusErrorDomain        -9815
//   TLS: unknown root, self-signed certificate             kOSStatusErrorDomain        -9813
//   TLS: host name mismatch, other chain problem           kOSStatusErrorDomain        -9807
//   TLS: our client identity file unusable                 kOSStatusErrorDomain        -9808
//   TLS: no common cipher                                  kOSStatusErrorDomain        -9801
//   TLS: handshake or other TLS failure                    kOSStatusErrorDomain        -9800
//   anything else                                          kCFNetworkErrorDomain       -998
//
// Every error also carries the underlying curl result under kCurlCodeKey and
// curl's message as its localized description, for logs.

inline constexpr const char* kCFNetworkErrorDomain = "kCFErrorDomainCFNetwork";
inline constexpr const char* kCurlCodeKey = "CurlCode";

// The phone's POSIX numbers (they differ from Linux's).
inline constexpr long kPhoneEIO = 5;
inline constexpr long kPhoneEPIPE = 32;
inline constexpr long kPhoneENETUNREACH = 51;
inline constexpr long kPhoneECONNRESET = 54;
inline constexpr long kPhoneENOTCONN = 57;
inline constexpr long kPhoneETIMEDOUT = 60;
inline constexpr long kPhoneECONNREFUSED = 61;
inline constexpr long kPhoneEHOSTUNREACH = 65;

// CFNetwork codes.
inline constexpr long kCFNetworkErrorUnknown = -998;
inline constexpr long kCFNetworkErrorTimedOut = -1001;
inline constexpr long kCFNetworkErrorCannotFindHost = -1003;
inline constexpr long kCFNetworkErrorCannotConnectToHost = -1004;
inline constexpr long kCFNetworkErrorNetworkConnectionLost = -1005;
inline constexpr long kCFNetworkErrorCannotParseResponse = -1017;

// TLS codes (OSStatus).
inline constexpr long kSSLProtocolError = -9800;
inline constexpr long kSSLNegotiationError = -9801;
inline constexpr long kSSLXCertChainInvalid = -9807;
inline constexpr long kSSLBadCert = -9808;
inline constexpr long kSSLNoRootCert = -9813;
inline constexpr long kSSLCertExpired = -9814;
inline constexpr long kSSLCertNotYetValid = -9815;

// True for the three "connection lost" errors the engine retries once on a
// fresh connection: POSIX 57, POSIX 32 and CFNetwork -1005.
bool isConnectionLostError(const Error& error);
// True for OSStatus codes -9818 ... -9800.
bool isTlsError(const Error& error);

} // namespace platform
