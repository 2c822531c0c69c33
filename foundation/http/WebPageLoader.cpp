#include "foundation/http/WebPageLoader.h"

#include "foundation/http/HTTPRequest.h"
#include "platform/os/TextEncoding.h"

#include <algorithm>
#include <cctype>

namespace {

class HTTPPageLoad final : public platform::WebPageLoad {
public:
    explicit HTTPPageLoad(std::shared_ptr<HTTPRequest> request)
        : request_(std::move(request))
    {
    }
    ~HTTPPageLoad() override = default;
    void cancel() override
    {
        if (auto request = std::exchange(request_, nullptr))
            request->clearDelegatesAndCancel();
    }

private:
    std::shared_ptr<HTTPRequest> request_;
};

bool isValidUtf8(const platform::Bytes& bytes)
{
    return platform::decodeText(bytes, platform::kUTF8StringEncoding).has_value();
}

} // namespace

WebPageLoader::WebPageLoader(double timeOutSeconds)
    : timeOutSeconds_(timeOutSeconds)
{
}

std::string WebPageLoader::declaredCharset(const std::string& head)
{
    std::string lower = head.substr(0, 4096);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    std::size_t at = 0;
    while ((at = lower.find("<meta", at)) != std::string::npos) {
        auto end = lower.find('>', at);
        if (end == std::string::npos)
            return "";
        auto tag = lower.substr(at, end - at);
        auto charset = tag.find("charset=");
        if (charset != std::string::npos) {
            auto start = charset + 8;
            while (start < tag.size() && (tag[start] == '"' || tag[start] == '\'' || tag[start] == ' '))
                ++start;
            auto stop = start;
            while (stop < tag.size()
                && (std::isalnum(static_cast<unsigned char>(tag[stop])) || tag[stop] == '-' || tag[stop] == '_'))
                ++stop;
            if (stop > start)
                return tag.substr(start, stop - start);
        }
        at = end;
    }
    return "";
}

std::shared_ptr<platform::WebPageLoad> WebPageLoader::loadPage(const NSURLRequest& page, Completion completion)
{
    auto request = HTTPRequest::requestWithURL(page.URL);
    request->setRequestMethod(page.HTTPMethod.empty() ? "GET" : page.HTTPMethod);
    if (!page.HTTPBody.empty())
        request->setPostBody(platform::Bytes(page.HTTPBody.begin(), page.HTTPBody.end()));
    request->setTimeOutSeconds(
        page.timeoutInterval > 0 ? std::min(page.timeoutInterval, timeOutSeconds_) : timeOutSeconds_);
    request->setShouldRedirect(false);
    request->setUseCookiePersistence(true);

    // The blocks hold the request only weakly: the request keeps its blocks.
    std::weak_ptr<HTTPRequest> weakRequest = request;
    auto shared = std::make_shared<Completion>(std::move(completion));
    request->setCompletionBlock([weakRequest, shared] {
        auto request = weakRequest.lock();
        if (!request || !*shared)
            return;
        platform::WebPageResponse response;
        response.finalURL = request->url();
        response.statusCode = request->responseStatusCode();
        std::string mimeType;
        platform::StringEncoding encoding = 0;
        HTTPRequest::parseMimeType(&mimeType, &encoding, request->responseHeader("Content-Type"));
        response.mimeType = mimeType;
        int status = response.statusCode;
        if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) {
            if (auto location = request->responseHeader("Location")) {
                if (auto target = platform::Url::parse(*location, request->url())) {
                    response.redirectURL = *target;
                    auto done = std::exchange(*shared, nullptr);
                    done(std::move(response));
                    return;
                }
            }
        }
        auto body = request->responseData().value_or(platform::Bytes {});
        if (!encoding) {
            auto declared = declaredCharset(std::string(body.begin(), body.end()));
            if (auto named = declared.empty() ? std::nullopt : platform::encodingForIanaName(declared))
                encoding = *named;
            else
                encoding = isValidUtf8(body) ? platform::kUTF8StringEncoding : platform::kISOLatin1StringEncoding;
        }
        if (auto text = platform::decodeText(body, encoding)) {
            response.text = std::move(*text);
        } else {
            response.error = platform::Error::withDescription(
                "NSURLErrorDomain", -1016, "The page's text is not valid in its character set.");
        }
        auto done = std::exchange(*shared, nullptr);
        done(std::move(response));
    });
    request->setFailedBlock([weakRequest, shared] {
        auto request = weakRequest.lock();
        if (!request || !*shared)
            return;
        platform::WebPageResponse response;
        response.finalURL = request->url();
        response.statusCode = request->responseStatusCode();
        response.error = request->error().value_or(platform::Error("NSURLErrorDomain", -1));
        auto done = std::exchange(*shared, nullptr);
        done(std::move(response));
    });
    request->startAsynchronous();
    return std::make_shared<HTTPPageLoad>(request);
}
