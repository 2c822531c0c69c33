#include "platform/services/UrlOpener.h"

#include "platform/os/Url.h"

#include <algorithm>
#include <cctype>

namespace platform {

namespace {
    std::string lowercase(std::string text)
    {
        std::transform(
            text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    }
}

UrlOpener& UrlOpener::shared()
{
    static UrlOpener opener;
    return opener;
}

UrlOpener::UrlOpener() { resetForTesting(); }

void UrlOpener::resetForTesting()
{
    schemes_.clear();
    for (const char* scheme : { "http", "https", "tel", "telprompt", "sms", "mailto" })
        schemes_[scheme] = true;
    handler_ = nullptr;
    clearHistory();
}

void UrlOpener::clearHistory()
{
    opened_.clear();
    queried_.clear();
}

void UrlOpener::setCanOpenScheme(std::string scheme, bool canOpen) { schemes_[lowercase(std::move(scheme))] = canOpen; }

bool UrlOpener::answer(std::string_view text) const
{
    auto url = Url::parse(text);
    if (!url || !url->isAbsolute())
        return false;
    auto found = schemes_.find(lowercase(url->scheme()));
    return found != schemes_.end() && found->second;
}

bool UrlOpener::canOpenURL(std::string_view url)
{
    queried_.emplace_back(url);
    return answer(url);
}

bool UrlOpener::openURL(std::string_view url)
{
    queried_.emplace_back(url);
    if (!answer(url))
        return false;
    opened_.emplace_back(url);
    if (handler_)
        handler_(std::string(url));
    return true;
}

} // namespace platform
