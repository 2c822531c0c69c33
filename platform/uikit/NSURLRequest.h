#pragma once

#include "platform/os/Url.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

// What a web view is asked to load: the address, the address of the page
// it belongs to (the same for every top-level navigation), and for form
// submissions the method and body.
struct NSURLRequest {
    platform::Url URL;
    platform::Url mainDocumentURL;
    std::string HTTPMethod = "GET";
    std::string HTTPBody;
    double timeoutInterval = 60;

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
