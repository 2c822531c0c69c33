#include "app/startup/SafeUrl.h"

#include "platform/os/Url.h"

#include <algorithm>
#include <cctype>

bool isWebAddress(const std::string& address)
{
    auto url = platform::Url::parse(address);
    if (!url)
        return false;
    std::string scheme = url->scheme();
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return (scheme == "http" || scheme == "https") && !url->host().empty();
}
