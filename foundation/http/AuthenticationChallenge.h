#pragma once

#include "foundation/http/HTTPRequest.h"
#include "platform/net/HttpAuthentication.h"

namespace foundation {

// A 401 from the server and a 407 from the proxy are answered the same way: only the request's members, session
// store, delegate callback and dialog flag differ. This picks them for one side so the flow is written once.
struct HTTPRequest::AuthenticationChallenge {
    AuthenticationChallenge(HTTPRequest& request, bool forProxy)
        : request(request)
        , forProxy(forProxy)
        , authentication(forProxy ? request.proxyAuthentication_ : request.requestAuthentication_)
        , credentials(forProxy ? request.proxyCredentials_ : request.requestCredentials_)
        , scheme(forProxy ? request.proxyAuthenticationScheme_ : request.settings_.authenticationScheme)
        , realm(forProxy ? request.proxyAuthenticationRealm_ : request.authenticationRealm_)
        , retryCount(forProxy ? request.proxyAuthenticationRetryCount_ : request.authenticationRetryCount_)
        , neededBlock(forProxy ? request.proxyAuthenticationNeededBlock_ : request.authenticationNeededBlock_)
    {
    }

    void removeFromSessionStore(const Credentials& removed) const
    {
        if (forProxy)
            removeProxyAuthenticationCredentialsFromSessionStore(removed);
        else
            removeAuthenticationCredentialsFromSessionStore(removed);
    }

    std::optional<SessionCredentials> findSessionCredentials() const
    {
        return forProxy ? request.findSessionProxyAuthenticationCredentials()
                        : request.findSessionAuthenticationCredentials();
    }

    // From the address, the owner's settings (or those of the request a HEAD
    // request measures) and the keychain; null when there are none.
    Credentials findCredentials() const;
    Credentials findServerCredentials() const;
    Credentials findProxyCredentials() const;
    void saveToKeychain(const Credentials& saved) const;

    const char* applyFailureText() const
    {
        return forProxy ? "Failed to apply proxy credentials to request" : "Failed to apply credentials to request";
    }

    // Why credentials could not be applied: the common text, or the
    // scheme's own reason when it has one (an answer too long to write).
    platform::Error applyFailure() const;

    static Credentials makeCredentials(
        const std::string& user, const std::string& password, const std::optional<std::string>& domain);
    static Credentials withAccountDomain(std::string user, const std::string& password,
        const platform::HttpAuthentication* authentication, const std::optional<std::string>& setDomain,
        const std::string& fallbackDomain);
    static platform::Error authenticationError();

    bool apply(const Credentials&) const;
    void storeInSession(const Credentials&) const;
    bool willAskDelegate() const;
    void askDelegate() const;
    bool showDialog() const;
    void attemptToApplyCredentialsAndResume() const;

    HTTPRequest& request;
    const bool forProxy;
    std::shared_ptr<platform::HttpAuthentication>& authentication;
    Credentials& credentials;
    std::optional<std::string>& scheme;
    std::optional<std::string>& realm;
    int& retryCount;
    Block& neededBlock;
};

} // namespace foundation
