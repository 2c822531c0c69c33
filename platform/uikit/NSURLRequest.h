#pragma once

#include "platform/os/Url.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// Whether a load may be answered from the web engine's caches.
enum NSURLRequestCachePolicy {
    // As the server's caching headers allow.
    NSURLRequestUseProtocolCachePolicy = 0,
    // From the server every time, and nothing of the reply kept in the
    // caches: the request tells the engine (and any cache on the way) so.
    NSURLRequestReloadIgnoringLocalCacheData = 1,
};

// What a web view is asked to load: the address, the address of the page
// it belongs to (the same for every top-level navigation), for form
// submissions the method and body, and whether cached replies may serve it.
struct NSURLRequest {
    platform::Url URL;
    platform::Url mainDocumentURL;
    std::string HTTPMethod = "GET";
    std::string HTTPBody;
    double timeoutInterval = 60;
    NSURLRequestCachePolicy cachePolicy = NSURLRequestUseProtocolCachePolicy;

    explicit NSURLRequest(platform::Url url)
        : URL(url)
        , mainDocumentURL(std::move(url))
    {
    }
    // nullopt when the text is not an absolute URL.
    static std::optional<NSURLRequest> requestWithURL(const std::string& text)
    {
        auto url = platform::Url::parse(text);
        if (!url || !url->isAbsolute())
            return std::nullopt;
        return NSURLRequest(*url);
    }
};
