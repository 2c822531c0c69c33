#include "foundation/http/HTTPRequest.h"

#include "foundation/http/AuthenticationChallenge.h"
#include "platform/net/CredentialStorage.h"
#include "platform/net/HttpAuthentication.h"
#include "platform/os/StringUtil.h"

namespace foundation {

// Lock order: a request's own lock, then the session store's asking lock,
// then the store's own lock.

namespace {

using platform::Error;
using Credentials = HTTPRequest::Credentials;
using SessionCredentials = HTTPRequest::SessionCredentials;

void removeDefaultCredential(const platform::URLProtectionSpace& space)
{
    auto& storage = platform::URLCredentialStorage::shared();
    if (auto credential = storage.defaultCredentialForProtectionSpace(space))
        storage.removeCredential(*credential, space);
}

} // namespace

// MARK: - Accessors

std::optional<std::string> HTTPRequest::domain() const { return locked(settings_.domain); }
void HTTPRequest::setDomain(std::optional<std::string> value) { setLocked(settings_.domain, std::move(value)); }
std::optional<std::string> HTTPRequest::proxyUsername() const { return locked(settings_.proxyUsername); }
void HTTPRequest::setProxyUsername(std::optional<std::string> value)
{
    setLocked(settings_.proxyUsername, std::move(value));
}
std::optional<std::string> HTTPRequest::proxyPassword() const { return locked(settings_.proxyPassword); }
void HTTPRequest::setProxyPassword(std::optional<std::string> value)
{
    setLocked(settings_.proxyPassword, std::move(value));
}
std::optional<std::string> HTTPRequest::proxyDomain() const { return locked(settings_.proxyDomain); }
void HTTPRequest::setProxyDomain(std::optional<std::string> value)
{
    setLocked(settings_.proxyDomain, std::move(value));
}
bool HTTPRequest::useKeychainPersistence() const { return locked(settings_.useKeychainPersistence); }
void HTTPRequest::setUseKeychainPersistence(bool value) { setLocked(settings_.useKeychainPersistence, value); }
bool HTTPRequest::useSessionPersistence() const { return locked(settings_.useSessionPersistence); }
void HTTPRequest::setUseSessionPersistence(bool value) { setLocked(settings_.useSessionPersistence, value); }
bool HTTPRequest::shouldPresentAuthenticationDialog() const
{
    return locked(settings_.shouldPresentAuthenticationDialog);
}
void HTTPRequest::setShouldPresentAuthenticationDialog(bool value)
{
    setLocked(settings_.shouldPresentAuthenticationDialog, value);
}
bool HTTPRequest::shouldPresentProxyAuthenticationDialog() const
{
    return locked(settings_.shouldPresentProxyAuthenticationDialog);
}
void HTTPRequest::setShouldPresentProxyAuthenticationDialog(bool value)
{
    setLocked(settings_.shouldPresentProxyAuthenticationDialog, value);
}

std::optional<std::string> HTTPRequest::authenticationRealm() const { return locked(authenticationRealm_); }
std::optional<std::string> HTTPRequest::proxyAuthenticationRealm() const { return locked(proxyAuthenticationRealm_); }
std::optional<std::string> HTTPRequest::proxyAuthenticationScheme() const { return locked(proxyAuthenticationScheme_); }
std::shared_ptr<platform::HttpAuthentication> HTTPRequest::requestAuthentication() const
{
    return locked(requestAuthentication_);
}
std::shared_ptr<platform::HttpAuthentication> HTTPRequest::proxyAuthentication() const
{
    return locked(proxyAuthentication_);
}
Credentials HTTPRequest::requestCredentials() const { return locked(requestCredentials_); }
Credentials HTTPRequest::proxyCredentials() const { return locked(proxyCredentials_); }
int HTTPRequest::authenticationRetryCount() const { return locked(authenticationRetryCount_); }
int HTTPRequest::proxyAuthenticationRetryCount() const { return locked(proxyAuthenticationRetryCount_); }
int HTTPRequest::authenticationNeeded() const { return locked(authenticationNeeded_); }
void HTTPRequest::setAuthenticationNeededBlock(Block block) { setLocked(authenticationNeededBlock_, std::move(block)); }
void HTTPRequest::setProxyAuthenticationNeededBlock(Block block)
{
    setLocked(proxyAuthenticationNeededBlock_, std::move(block));
}

// MARK: - Session store

namespace {
SessionCredentialsStore& sessionStore() { return SessionCredentialsStore::shared(); }
} // namespace

std::vector<SessionCredentials> HTTPRequest::sessionCredentialsStore() { return sessionStore().serverEntries(); }
std::vector<SessionCredentials> HTTPRequest::sessionProxyCredentialsStore() { return sessionStore().proxyEntries(); }
void HTTPRequest::storeAuthenticationCredentialsInSessionStore(SessionCredentials entry)
{
    sessionStore().storeServerEntry(std::move(entry));
}
void HTTPRequest::storeProxyAuthenticationCredentialsInSessionStore(SessionCredentials entry)
{
    sessionStore().storeProxyEntry(std::move(entry));
}
void HTTPRequest::removeAuthenticationCredentialsFromSessionStore(const Credentials& credentials)
{
    sessionStore().removeServerEntry(credentials);
}
void HTTPRequest::removeProxyAuthenticationCredentialsFromSessionStore(const Credentials& credentials)
{
    sessionStore().removeProxyEntry(credentials);
}
void HTTPRequest::clearSessionCredentials() { sessionStore().clearServerEntries(); }

std::optional<SessionCredentials> HTTPRequest::findSessionAuthenticationCredentials()
{
    return sessionStore().findServerEntry(url_, authenticationRealm_, settings_.username, settings_.password);
}

std::optional<SessionCredentials> HTTPRequest::findSessionProxyAuthenticationCredentials()
{
    if (!settings_.proxyHost)
        return std::nullopt;
    return sessionStore().findProxyEntry(*settings_.proxyHost, settings_.proxyPort);
}

// MARK: - Credential storage

void HTTPRequest::saveCredentials(const platform::URLCredential& credentials, const std::string& forHost, int port,
    const std::string& protocol, const std::optional<std::string>& realm)
{
    platform::URLCredentialStorage::shared().setDefaultCredential(
        credentials, platform::URLProtectionSpace::server(forHost, port, protocol, realm));
}

void HTTPRequest::saveCredentialsForProxy(const platform::URLCredential& credentials, const std::string& forProxy,
    int port, const std::optional<std::string>& realm)
{
    platform::URLCredentialStorage::shared().setDefaultCredential(
        credentials, platform::URLProtectionSpace::proxy(forProxy, port, realm));
}

std::optional<platform::URLCredential> HTTPRequest::savedCredentialsForHost(
    const std::string& host, int port, const std::string& protocol, const std::optional<std::string>& realm)
{
    return platform::URLCredentialStorage::shared().defaultCredentialForProtectionSpace(
        platform::URLProtectionSpace::server(host, port, protocol, realm));
}

std::optional<platform::URLCredential> HTTPRequest::savedCredentialsForProxy(
    const std::string& proxy, int port, const std::string&, const std::optional<std::string>& realm)
{
    return platform::URLCredentialStorage::shared().defaultCredentialForProtectionSpace(
        platform::URLProtectionSpace::proxy(proxy, port, realm));
}

void HTTPRequest::removeCredentialsForHost(
    const std::string& host, int port, const std::string& protocol, const std::optional<std::string>& realm)
{
    removeDefaultCredential(platform::URLProtectionSpace::server(host, port, protocol, realm));
}

void HTTPRequest::removeCredentialsForProxy(const std::string& proxy, int port, const std::optional<std::string>& realm)
{
    removeDefaultCredential(platform::URLProtectionSpace::proxy(proxy, port, realm));
}

// MARK: - Before any challenge

void HTTPRequest::applySessionCredentialsBeforeChallenge()
{
    if (!settings_.useSessionPersistence || !transfer_.message)
        return;
    if (!settings_.requestHeaders.contains("Authorization")) {
        if (auto entry = findSessionAuthenticationCredentials()) {
            if (entry->authentication) {
                if (entry->credentials
                    && entry->authentication->applyCredentialDictionary(*transfer_.message, *entry->credentials))
                    settings_.authenticationScheme = entry->authenticationScheme;
                else
                    removeAuthenticationCredentialsFromSessionStore(entry->credentials);
            } else {
                auto user = credentialsField(entry->credentials, platform::kHTTPAuthenticationUsername);
                auto password = credentialsField(entry->credentials, platform::kHTTPAuthenticationPassword);
                if (user && password)
                    addBasicAuthenticationHeaderWithUsername(*user, *password);
            }
        }
    }
    if (auto entry = findSessionProxyAuthenticationCredentials()) {
        if (!entry->authentication || !entry->credentials
            || !entry->authentication->applyCredentialDictionary(*transfer_.message, *entry->credentials))
            removeProxyAuthenticationCredentialsFromSessionStore(entry->credentials);
    }
}

void HTTPRequest::noteAuthenticationChallenge()
{
    authenticationNeeded_ = 0;
    if (responseStatusCode_ == 401)
        authenticationNeeded_ = 1;
    else if (responseStatusCode_ == 407)
        authenticationNeeded_ = 2;
    // Basic credentials sent ahead of any challenge worked: keep them for the session.
    if (!authenticationNeeded_ && !requestAuthentication_ && settings_.username && settings_.password
        && settings_.useSessionPersistence && settings_.authenticationScheme
        && platform::equalsIgnoringAsciiCase(
            *settings_.authenticationScheme, platform::kHTTPAuthenticationSchemeBasic)) {
        SessionCredentials entry;
        entry.credentials = AuthenticationChallenge::makeCredentials(*settings_.username, *settings_.password, std::nullopt);
        entry.url = url_;
        entry.authenticationScheme = platform::kHTTPAuthenticationSchemeBasic;
        storeAuthenticationCredentialsInSessionStore(std::move(entry));
    }
}


void HTTPRequest::retryUsingSuppliedCredentials()
{
    auto request = self();
    requestLoop().post(
        [request] {
            bool held;
            {
                Guard lock(request->cancelledLock_);
                if (request->cancelled_ || request->error_)
                    return;
                held = request->transfer_.message.has_value();
            }
            if (held)
                request->attemptToApplyCredentialsAndResume();
            else
                request->main();
        },
        platform::kCommonRunLoopModes);
}

void HTTPRequest::cancelAuthentication()
{
    auto request = self();
    requestLoop().post([request] { request->failAuthentication(); }, platform::kCommonRunLoopModes);
}

void HTTPRequest::failAuthentication()
{
    Guard lock(cancelledLock_);
    if (complete_ && error_)
        return;
    failWithError(AuthenticationChallenge::authenticationError());
}

// MARK: - The challenge

void HTTPRequest::attemptToApplyCredentialsAndResume()
{
    Guard lock(cancelledLock_);
    if (error_ || cancelled_)
        return;
    AuthenticationChallenge(*this, authenticationNeeded_ == 2).attemptToApplyCredentialsAndResume();
}

} // namespace foundation
