#pragma once

#include "platform/os/Error.h"

#include <string>

namespace foundation {

// Every failure of the HTTP engine carries this domain.
inline constexpr const char* HTTPRequestErrorDomain = "HTTPRequestErrorDomain";

enum HTTPRequestErrorType : int {
    ConnectionFailureErrorType = 1,
    RequestTimedOutErrorType = 2,
    AuthenticationErrorType = 3,
    RequestCancelledErrorType = 4,
    UnableToCreateRequestErrorType = 5,
    InternalErrorWhileBuildingRequestType = 6,
    InternalErrorWhileApplyingCredentialsType = 7,
    FileManagementError = 8,
    TooMuchRedirectionErrorType = 9,
    UnhandledExceptionError = 10,
    CompressionError = 11,
    // A body larger than the most it may come to: kept in memory, or
    // inflated under a limit.
    ResponseTooLargeError = 12,
};

// An engine error with its description and, when given, the error beneath it.
platform::Error makeHTTPRequestError(int code, std::string description, const platform::Error* underlying = nullptr);

// The error of a body past its limit, and the test for it.
platform::Error makeTooLargeError();
bool isTooLargeError(const platform::Error& error);

// A POSIX error for errno, used as the underlying error of file failures.
platform::Error posixError(int errnoValue);

} // namespace foundation
