#include "foundation/http/HTTPRequestError.h"

#include <cstring>
#include <memory>

namespace foundation {

platform::Error makeHTTPRequestError(int code, std::string description, const platform::Error* underlying)
{
    platform::Dictionary info;
    info.set(platform::kLocalizedDescriptionKey, platform::Value(std::move(description)));
    if (underlying)
        info.set(platform::kUnderlyingErrorKey, platform::Value(std::make_shared<platform::Error>(*underlying)));
    return platform::Error(HTTPRequestErrorDomain, code, std::move(info));
}

platform::Error makeTooLargeError()
{
    return makeHTTPRequestError(ResponseTooLargeError, "The response body is larger than the most it may come to");
}

bool isTooLargeError(const platform::Error& error)
{
    return error.domain() == HTTPRequestErrorDomain && error.code() == ResponseTooLargeError;
}

platform::Error posixError(int errnoValue)
{
    return platform::Error::withDescription(platform::kPosixErrorDomain, errnoValue, std::strerror(errnoValue));
}

} // namespace foundation
