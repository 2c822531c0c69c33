#include "platform/os/SystemInfo.h"

#include <cstdlib>
#include <sys/utsname.h>

namespace platform {

std::string SystemInfo::systemName()
{
    struct utsname u;
    if (::uname(&u) != 0)
        return "Linux";
    return u.sysname;
}

std::string SystemInfo::systemVersion()
{
    struct utsname u;
    if (::uname(&u) != 0)
        return {};
    return u.release;
}

std::string SystemInfo::model() { return "pc"; }

std::string SystemInfo::localeIdentifierFrom(const std::string& value)
{
    // language[_territory][.codeset][@modifier]: the identifier is the part
    // before the code set and modifier.
    std::string id = value.substr(0, value.find_first_of(".@"));
    if (id.empty() || id == "C" || id == "POSIX")
        return "en_US";
    return id;
}

std::string SystemInfo::localeIdentifier()
{
    for (const char* name : { "LC_ALL", "LANG" }) {
        const char* value = std::getenv(name);
        if (value && *value)
            return localeIdentifierFrom(value);
    }
    return "en_US";
}

} // namespace platform
