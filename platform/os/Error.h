#pragma once

#include "platform/os/Value.h"

#include <string>

namespace platform {

// Well-known keys of an error's user info.
inline constexpr const char* kLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* kLocalizedFailureReasonKey = "NSLocalizedFailureReason";
inline constexpr const char* kUnderlyingErrorKey = "NSUnderlyingError";

// Domains used across the platform layer.
inline constexpr const char* kPosixErrorDomain = "NSPOSIXErrorDomain";
inline constexpr const char* kCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* kOSStatusErrorDomain = "NSOSStatusErrorDomain";

// A failure reported to a caller: a domain, a code and a dictionary of
// details. Libraries hand these back; nothing is thrown across a library.
class Error final : public Object {
public:
    Error() = default;
    Error(std::string domain, long code, Dictionary userInfo = {});
    // Shorthand for an error whose user info holds only a description.
    static Error withDescription(std::string domain, long code, std::string description);

    const std::string& domain() const { return domain_; }
    long code() const { return code_; }
    const Dictionary& userInfo() const { return userInfo_; }
    Dictionary& userInfo() { return userInfo_; }

    // The user info's description, or a generic text naming domain and code.
    std::string localizedDescription() const;
    // The underlying error stored in the user info, if any.
    std::shared_ptr<Error> underlyingError() const;

    std::string className() const override { return "Error"; }
    std::string description() const override;

    bool operator==(const Error& other) const
    {
        return domain_ == other.domain_ && code_ == other.code_ && userInfo_ == other.userInfo_;
    }

private:
    std::string domain_;
    long code_ = 0;
    Dictionary userInfo_;
};

// Stores err into *out when out is given; convenient for optional out-parameters.
inline void setError(Error* out, Error err)
{
    if (out)
        *out = std::move(err);
}

} // namespace platform
