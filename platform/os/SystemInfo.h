#pragma once

#include <string>

namespace platform {

// Facts about the machine the program runs on, in the places where the phone
// answered its device and system names.
class SystemInfo final {
public:
    SystemInfo() = delete;

    // uname(2): the kernel's name ("Linux") and release ("6.1.0-18-amd64").
    static std::string systemName();
    static std::string systemVersion();
    // The device model: always "pc".
    static std::string model();
    // From LC_ALL, else LANG: "zh_CN.UTF-8" gives "zh_CN"; unset, "C" or
    // "POSIX" give "en_US".
    static std::string localeIdentifier();
    // The same rule applied to one text, for callers that hold it already.
    static std::string localeIdentifierFrom(const std::string& value);
};

} // namespace platform
