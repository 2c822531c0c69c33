#pragma once

#include "platform/os/Error.h"

#include <cstdint>
#include <string>

namespace platform {

// Media failures are status codes in the OS status domain, four-character
// codes as the phone's audio layers report them, so a logged error reads the
// same as on the phone.
constexpr long fourCharCode(const char (&code)[5])
{
    return (static_cast<long>(static_cast<unsigned char>(code[0])) << 24)
        | (static_cast<long>(static_cast<unsigned char>(code[1])) << 16)
        | (static_cast<long>(static_cast<unsigned char>(code[2])) << 8)
        | static_cast<long>(static_cast<unsigned char>(code[3]));
}

inline constexpr long kMediaErrorParameter = -50;
inline constexpr long kMediaErrorUnsupportedFileType = fourCharCode("typ?");
inline constexpr long kMediaErrorUnsupportedDataFormat = fourCharCode("fmt?");
inline constexpr long kMediaErrorInvalidFile = fourCharCode("dta?");
inline constexpr long kMediaErrorCannotStartRecording = fourCharCode("!rec");
inline constexpr long kMediaErrorInsufficientPriority = fourCharCode("!pri");
inline constexpr long kMediaErrorInputFailed = fourCharCode("!inp");

inline Error mediaError(long code, std::string description)
{
    return Error::withDescription(kOSStatusErrorDomain, code, std::move(description));
}

} // namespace platform
