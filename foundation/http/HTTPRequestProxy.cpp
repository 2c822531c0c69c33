#include "foundation/http/HTTPRequest.h"

#include "foundation/http/PacScriptFetch.h"
#include "platform/net/PacScript.h"
#include "platform/net/ProxySettings.h"
#include "platform/os/StringUtil.h"

#include <algorithm>

namespace foundation {

// MARK: - Accessors

std::optional<std::string> HTTPRequest::proxyHost() const { return locked(settings_.proxyHost); }
void HTTPRequest::setProxyHost(std::optional<std::string> host) { setLocked(settings_.proxyHost, std::move(host)); }
int HTTPRequest::proxyPort() const { return locked(settings_.proxyPort); }
void HTTPRequest::setProxyPort(int port) { setLocked(settings_.proxyPort, port); }
std::optional<std::string> HTTPRequest::proxyType() const { return locked(settings_.proxyType); }
void HTTPRequest::setProxyType(std::optional<std::string> type) { setLocked(settings_.proxyType, std::move(type)); }
std::optional<platform::Url> HTTPRequest::PACurl() const { return locked(settings_.PACurl); }
void HTTPRequest::setPACurl(std::optional<platform::Url> url) { setLocked(settings_.PACurl, std::move(url)); }
bool HTTPRequest::isPACFileRequest() const { return locked(isPACFileRequest_); }

// MARK: - Choosing the proxy

bool HTTPRequest::configureProxies()
{
    if (isPACFileRequest_ || settings_.proxyHost || settings_.proxyPort != 0)
        return true;
    if (settings_.PACurl) {
        fetchPACFile();
        return false;
    }
    auto settings = platform::SystemProxySettings::copy();
    auto list = settings ? settings->proxiesForURL(url_) : std::nullopt;
    if (!list) {
        destroyReadStream();
        failWithError(makeHTTPRequestError(
            InternalErrorWhileBuildingRequestType, "Unable to obtain information on proxy servers needed for request"));
        return false;
    }
    if (list->empty())
        return true;
    const platform::ProxyEntry& first = list->front();
    if (first.type == platform::ProxyEntry::Type::AutoConfigurationURL) {
        settings_.PACurl = first.autoConfigurationURL;
        fetchPACFile();
        return false;
    }
    if (first.type != platform::ProxyEntry::Type::None) {
        settings_.proxyHost = first.host;
        settings_.proxyPort = first.port;
        settings_.proxyType = platform::proxyTypeName(first.type);
    }
    return true;
}

void HTTPRequest::applyProxyToStream(platform::HttpStream& stream)
{
    if (!settings_.proxyHost || settings_.proxyHost->empty() || settings_.proxyPort == 0)
        return;
    std::string type = settings_.proxyType.value_or(platform::kProxyTypeHTTP);
    platform::ProxySettings proxy;
    proxy.host = *settings_.proxyHost;
    proxy.port = settings_.proxyPort;
    if (type == platform::kProxyTypeSOCKS)
        proxy.type = platform::ProxySettings::Type::Socks;
    else if (platform::asciiToLower(url_.scheme()) == "https")
        proxy.type = platform::ProxySettings::Type::Https;
    else
        proxy.type = platform::ProxySettings::Type::Http;
    stream.setProxy(std::move(proxy));
}

// MARK: - Fetching the script

void HTTPRequest::fetchPACFile()
{
    platform::Url pac = *settings_.PACurl;
    if (isSynchronous_ && !pac.isFileUrl()) {
        runPACScript(PacScriptFetch::fetchSynchronously(pac, transfer_.options.timeOutSeconds));
        startRequest();
        return;
    }
    std::weak_ptr<HTTPRequest> weak = self();
    transfer_.PACFetch = PacScriptFetch::start(pac, transfer_.options.timeOutSeconds, requestLoop(), runLoopMode_,
        [weak](const std::optional<std::string>& script) {
            auto request = weak.lock();
            if (!request)
                return;
            Guard lock(request->cancelledLock_);
            request->runPACScript(script);
            if (!request->cancelled_ && !request->error_)
                request->startRequest();
        });
    if (!transfer_.PACFetch)
        startRequest();
}

void HTTPRequest::stopPACFetch()
{
    if (auto fetch = std::move(transfer_.PACFetch))
        fetch->stop();
}

void HTTPRequest::runPACScript(const std::optional<std::string>& script)
{
    if (!script)
        return;
    platform::Error error;
    double limit = std::clamp(transfer_.options.timeOutSeconds, 1.0, 10.0);
    auto entries = platform::PacScript::proxiesForURL(*script, url_, &error, limit);
    // A script that fails or names nothing is ignored: the request goes direct.
    if (!entries || entries->empty())
        return;
    const platform::ProxyEntry& first = entries->front();
    if (first.type == platform::ProxyEntry::Type::None)
        return;
    settings_.proxyHost = first.host;
    settings_.proxyPort = first.port;
    settings_.proxyType = platform::proxyTypeName(first.type);
}

} // namespace foundation
