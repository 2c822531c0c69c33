#pragma once

#include "platform/uikit/WebPageLoader.h"

#include <memory>

// Fetches web pages for web views through the HTTP engine: GET (or the
// form's method and body); a redirect is answered as its target address (the
// web view asks its delegate before following it); the text decoded with the
// character set the response names (the header first, then the page's own
// <meta> declaration, then UTF-8 when the bytes are valid UTF-8, else
// Latin-1). HTTP error statuses are pages too: only transport failures and
// undecodable bodies report an error.
class WebPageLoader final : public platform::WebPageLoader {
public:
    explicit WebPageLoader(double timeOutSeconds = 60);
    std::shared_ptr<platform::WebPageLoad> loadPage(const NSURLRequest& request, Completion completion) override;

    // The character set a <meta charset> or http-equiv Content-Type
    // declaration in the first kilobytes of the page names; "" when none.
    static std::string declaredCharset(const std::string& head);

private:
    double timeOutSeconds_;
};
