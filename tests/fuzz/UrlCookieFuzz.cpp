// libFuzzer target: URLs (links in replies, redirect locations, the server
// address) and Set-Cookie header values as a response to such a URL brings
// them. Input: a URL, a NUL byte, a reference to resolve against it, a NUL
// byte, then Set-Cookie values one a line. Parsing is stable (a URL's text
// parses to the same URL), no host starts with a dot, a cookie is only kept
// for a host it may be set by, and nothing may crash.
#include "platform/net/HttpCookie.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/os/Url.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void checkUrl(const platform::Url& url)
{
    auto again = platform::Url::parse(url.absoluteString());
    if (!again || !(*again == url) || again->host() != url.host())
        std::abort();
    if (!url.host().empty() && url.host().front() == '.')
        std::abort();
    (void)url.user();
    (void)url.password();
    (void)url.path();
    (void)url.requestTarget();
    (void)url.origin();
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
    const std::string urlText = input.takeText();
    const std::string reference = input.takeText();
    const std::string cookies = input.rest();

    auto url = platform::Url::parse(urlText);
    if (!url)
        return 0;
    checkUrl(*url);
    if (auto resolved = platform::Url::parse(reference, *url)) {
        if (!resolved->isAbsolute())
            std::abort();
        checkUrl(*resolved);
    }

    platform::HttpHeaders headers;
    std::size_t start = 0;
    while (start <= cookies.size()) {
        std::size_t end = cookies.find('\n', start);
        if (end == std::string::npos)
            end = cookies.size();
        headers.add("Set-Cookie", cookies.substr(start, end - start));
        start = end + 1;
    }
    const platform::Date now = platform::Date::fromSeconds(2000000000);
    platform::HttpCookieStorage storage("");
    storage.setClockForTesting([now] { return now; });
    for (const auto& value : headers.values("Set-Cookie")) {
        auto cookie = platform::HttpCookie::parseSetCookie(value, *url, now);
        if (!cookie)
            continue;
        if (cookie->domain.empty() || (cookie->hostOnly && cookie->domain.front() == '.'))
            std::abort();
        (void)cookie->matchesUrl(*url, now);
        storage.setCookies({ *cookie }, *url);
    }
    // What the jar keeps goes back to the host that set it.
    for (const auto& kept : storage.cookies()) {
        std::string host = url->host();
        for (char& c : host)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (kept.hostOnly ? kept.domain != host
                          : !platform::HttpCookie::domainMatches(host, platform::HttpCookie::domainWithoutDot(kept.domain)))
            std::abort();
    }
    (void)storage.cookiesForURL(*url);
    return 0;
}
