#include "platform/os/Error.h"

namespace platform {

Error::Error(std::string domain, long code, Dictionary userInfo)
    : domain_(std::move(domain))
    , code_(code)
    , userInfo_(std::move(userInfo))
{
}

Error Error::withDescription(std::string domain, long code, std::string description)
{
    Dictionary info;
    info.set(kLocalizedDescriptionKey, Value(std::move(description)));
    return Error(std::move(domain), code, std::move(info));
}

std::string Error::localizedDescription() const
{
    if (auto s = userInfo_.get(kLocalizedDescriptionKey).asString())
        return *s;
    return "The operation couldn't be completed. (" + domain_ + " error " + std::to_string(code_) + ".)";
}

std::shared_ptr<Error> Error::underlyingError() const
{
    return userInfo_.get(kUnderlyingErrorKey).objectAs<Error>();
}

std::string Error::description() const
{
    return "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + localizedDescription() + "\"";
}

} // namespace platform
