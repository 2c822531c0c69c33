#pragma once

#include "platform/os/Error.h"
#include "platform/os/Url.h"
#include "platform/uikit/NSURLRequest.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// A page as a loader fetched it: the text decoded with the page's character
// set, the status and content type, or the error that stopped it. Loaders do
// not follow redirects themselves: they answer where the server sends the
// page (redirectURL, resolved), and the web view asks its delegate before
// going there.
struct WebPageResponse {
    std::optional<Url> finalURL;
    std::optional<Url> redirectURL;
    int statusCode = 0;
    std::string mimeType;
    std::string text;
    std::optional<Error> error;
};

// A fetch under way; cancel() means its completion never runs.
class WebPageLoad {
public:
    virtual ~WebPageLoad() = default;
    virtual void cancel() = 0;
};

// How web views fetch http and https pages. The view layer cannot reach the
// HTTP engine itself (it sits below it), so the application, or the test
// harness, installs a loader built on the engine. The completion runs on the
// main loop, once, unless the load was cancelled first.
class WebPageLoader {
public:
    using Completion = std::function<void(WebPageResponse)>;
    virtual ~WebPageLoader() = default;
    virtual std::shared_ptr<WebPageLoad> loadPage(const NSURLRequest& request, Completion completion) = 0;

    // The loader every web view uses; nullptr when none is installed (http
    // loads then fail with an error instead of hanging).
    static std::shared_ptr<WebPageLoader> shared();
    static void setShared(std::shared_ptr<WebPageLoader> loader);
};

} // namespace platform
