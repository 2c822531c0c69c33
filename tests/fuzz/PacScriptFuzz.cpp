// libFuzzer target: proxy auto-configuration. The script comes from the
// network (the PAC address of the proxy settings), and so does its answer.
// Input: the first byte picks the mode; then either a script, a NUL byte and
// a URL, run in the isolated interpreter as the proxy settings run it, or an
// answer such as "PROXY host:port; DIRECT" read as the settings read one.
// Whatever the script does, the call comes back in its time with proxies
// that name a host and a port in range, or with an error; nothing may crash.
//
// No name is ever looked up here: getaddrinfo is replaced in this program so
// that a script's dnsResolve and isResolvable find only numeric addresses.
#include "platform/net/PacScript.h"
#include "platform/os/Url.h"
#include "tests/fuzz/FuzzSupport.h"

#include <arpa/inet.h>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <netdb.h>
#include <string>

extern "C" int getaddrinfo(const char* node, const char*, const addrinfo*, addrinfo** result)
{
    if (!node || !result)
        return EAI_NONAME;
    in_addr address {};
    if (::inet_pton(AF_INET, node, &address) != 1)
        return EAI_NONAME;
    auto* info = static_cast<addrinfo*>(std::calloc(1, sizeof(addrinfo) + sizeof(sockaddr_in)));
    auto* socket = reinterpret_cast<sockaddr_in*>(info + 1);
    socket->sin_family = AF_INET;
    socket->sin_addr = address;
    info->ai_family = AF_INET;
    info->ai_socktype = SOCK_STREAM;
    info->ai_addr = reinterpret_cast<sockaddr*>(socket);
    info->ai_addrlen = sizeof(sockaddr_in);
    *result = info;
    return 0;
}

extern "C" void freeaddrinfo(addrinfo* info) { std::free(info); }

namespace {

void checkEntries(const std::optional<std::vector<platform::ProxyEntry>>& entries)
{
    if (!entries)
        return;
    if (entries->empty())
        std::abort();
    for (const auto& entry : *entries) {
        if (entry.type == platform::ProxyEntry::Type::None)
            continue;
        if (entry.host.empty() || entry.port <= 0 || entry.port > 65535)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::Input input(data, size);
    const std::uint8_t mode = input.takeByte();
    if (mode & 1) {
        checkEntries(platform::PacScript::parseResult(input.rest()));
        return 0;
    }
    const std::string script = input.takeText();
    std::string urlText = input.rest();
    auto url = platform::Url::parse(urlText);
    if (!url)
        url = platform::Url::parse("http://www.example.com/path?q=1");
    platform::Error error;
    auto entries = platform::PacScript::proxiesForURL(script, *url, &error, 0.25);
    checkEntries(entries);
    if (!entries && error.localizedDescription().empty())
        std::abort();
    return 0;
}
