#pragma once

#include "platform/os/Url.h"
#include "platform/os/Value.h"

#include <functional>
#include <memory>
#include <string>

namespace foundation {

class HTTPRequest;
using HTTPRequestPtr = std::shared_ptr<HTTPRequest>;

// What a request tells its owner. Every method is optional: a member left
// empty is a method the delegate does not implement, and the request then
// skips it (and, where it matters, behaves as if nobody listened).
class HTTPRequestDelegate {
public:
    virtual ~HTTPRequestDelegate() = default;

    std::function<void(const HTTPRequestPtr& request)> requestStarted;
    std::function<void(const HTTPRequestPtr& request, const platform::Dictionary& headers)>
        requestDidReceiveResponseHeaders;
    std::function<void(const HTTPRequestPtr& request, const platform::Url& newURL)> requestWillRedirectToURL;
    std::function<void(const HTTPRequestPtr& request)> requestFinished;
    std::function<void(const HTTPRequestPtr& request)> requestFailed;
    std::function<void(const HTTPRequestPtr& request, const platform::Bytes& data)> requestDidReceiveData;
    std::function<void(const HTTPRequestPtr& request)> requestRedirected;
    // Asked for credentials: fill in the request's user name and password
    // (or the proxy pair) and call retryUsingSuppliedCredentials, or call
    // cancelAuthentication.
    std::function<void(const HTTPRequestPtr& request)> authenticationNeededForRequest;
    std::function<void(const HTTPRequestPtr& request)> proxyAuthenticationNeededForRequest;

    // Who answers a request for server (or proxy) credentials: one of the two
    // members above, or empty when nobody here can. A delegate that relays to
    // another (a network queue to its own delegate) answers with that one's.
    virtual std::function<void(const HTTPRequestPtr& request)> credentialsHandler(bool forProxy)
    {
        return forProxy ? proxyAuthenticationNeededForRequest : authenticationNeededForRequest;
    }
};

// Receives upload or download progress. Amounts are signed: a negative one
// takes back bytes reported before (a retried upload).
class ProgressDelegate {
public:
    virtual ~ProgressDelegate() = default;

    std::function<void(float progress)> setProgress;
    std::function<void(const HTTPRequestPtr& request, long long bytes)> requestDidSendBytes;
    std::function<void(const HTTPRequestPtr& request, long long bytes)> requestDidReceiveBytes;
    std::function<void(const HTTPRequestPtr& request, long long newLength)> requestIncrementUploadSizeBy;
    std::function<void(const HTTPRequestPtr& request, long long newLength)> requestIncrementDownloadSizeBy;
};

// A choice of delegate method made per request, standing where a selector
// stands: either one of HTTPRequestDelegate's optional members, or a method
// of the delegate's own class. A delegate "responds" to it when the member is
// set, or when the delegate is of that class.
template <class... Args> class DelegateSelector {
public:
    using Handler = std::function<void(Args...)>;

    DelegateSelector() = default;
    // The selector naming one of the delegate's optional members.
    DelegateSelector(Handler HTTPRequestDelegate::*member)
        : resolve_([member](HTTPRequestDelegate& delegate) -> Handler { return delegate.*member; })
    {
    }
    // The selector naming a method of the delegate's class D.
    template <class D> static DelegateSelector method(void (D::*function)(Args...))
    {
        DelegateSelector selector;
        selector.resolve_ = [function](HTTPRequestDelegate& delegate) -> Handler {
            auto* target = dynamic_cast<D*>(&delegate);
            if (!target)
                return {};
            return [target, function](Args... args) { (target->*function)(args...); };
        };
        return selector;
    }

    explicit operator bool() const { return static_cast<bool>(resolve_); }
    bool respondsTo(HTTPRequestDelegate& delegate) const { return resolve_ && static_cast<bool>(resolve_(delegate)); }
    // Calls the method when the delegate responds to it; answers whether it did.
    bool perform(HTTPRequestDelegate& delegate, Args... args) const
    {
        if (!resolve_)
            return false;
        Handler handler = resolve_(delegate);
        if (!handler)
            return false;
        handler(args...);
        return true;
    }

private:
    std::function<Handler(HTTPRequestDelegate&)> resolve_;
};

using RequestSelector = DelegateSelector<const HTTPRequestPtr&>;
using HeadersSelector = DelegateSelector<const HTTPRequestPtr&, const platform::Dictionary&>;
using RedirectSelector = DelegateSelector<const HTTPRequestPtr&, const platform::Url&>;
using DataSelector = DelegateSelector<const HTTPRequestPtr&, const platform::Bytes&>;

} // namespace foundation
