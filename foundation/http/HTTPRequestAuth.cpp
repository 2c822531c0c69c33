#include "foundation/http/HTTPRequest.h"

#include "foundation/http/AuthenticationDialog.h"
#include "platform/net/CredentialStorage.h"
#include "platform/net/HttpAuthentication.h"
#include "platform/os/StringUtil.h"

// Lock order: a request's own lock, then the session store's asking lock,
// then the store's own lock.

namespace {

using platform::Error;
using Credentials = HTTPRequest::Credentials;
using SessionCredentials = HTTPRequest::SessionCredentials;

// However the server answers, a request stops applying credentials after this
// many attempts: a server that keeps challenging cannot hold it forever.
constexpr int kMaximumCredentialAttempts = 8;

Credentials makeCredentials(
    const std::string& user, const std::string& password, const std::optional<std::string>& domain)
{
    auto dictionary = std::make_shared<platform::Dictionary>();
    dictionary->set(platform::kHTTPAuthenticationUsername, platform::Value(user));
    dictionary->set(platform::kHTTPAuthenticationPassword, platform::Value(password));
    if (domain)
        dictionary->set(platform::kHTTPAuthenticationAccountDomain, platform::Value(*domain));
    return dictionary;
}

bool isNTLM(const std::optional<std::string>& scheme)
{
    return scheme && platform::equalsIgnoringAsciiCase(*scheme, platform::kHTTPAuthenticationSchemeNTLM);
}

// "DOMAIN\user" split at its one backslash.
std::optional<std::pair<std::string, std::string>> splitDomainUser(const std::string& user)
{
    auto parts = platform::split(user, "\\");
    if (parts.size() != 2)
        return std::nullopt;
    return std::make_pair(parts[0], parts[1]);
}

Error authenticationError() { return makeHTTPRequestError(AuthenticationErrorType, "Authentication needed"); }

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

void HTTPRequest::saveCredentialsToKeychain(const Credentials& credentials)
{
    auto user = credentialsField(credentials, platform::kHTTPAuthenticationUsername);
    auto password = credentialsField(credentials, platform::kHTTPAuthenticationPassword);
    if (!user || !password)
        return;
    saveCredentials(
        platform::URLCredential::credentialWithUser(*user, *password, platform::URLCredential::Persistence::Permanent),
        url_.host(), url_.port().value_or(0), url_.scheme(), authenticationRealm_);
}

void HTTPRequest::saveProxyCredentialsToKeychain(const Credentials& credentials)
{
    auto user = credentialsField(credentials, platform::kHTTPAuthenticationUsername);
    auto password = credentialsField(credentials, platform::kHTTPAuthenticationPassword);
    if (!user || !password || !settings_.proxyHost)
        return;
    saveCredentialsForProxy(
        platform::URLCredential::credentialWithUser(*user, *password, platform::URLCredential::Persistence::Permanent),
        *settings_.proxyHost, settings_.proxyPort, proxyAuthenticationRealm_);
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
        entry.credentials = makeCredentials(*settings_.username, *settings_.password, std::nullopt);
        entry.url = url_;
        entry.authenticationScheme = platform::kHTTPAuthenticationSchemeBasic;
        storeAuthenticationCredentialsInSessionStore(std::move(entry));
    }
}

// MARK: - Server or proxy

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

    Credentials findCredentials() const
    {
        return forProxy ? request.findProxyCredentials() : request.findCredentials();
    }

    const char* applyFailureText() const
    {
        return forProxy ? "Failed to apply proxy credentials to request" : "Failed to apply credentials to request";
    }

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

// MARK: - Applying

bool HTTPRequest::AuthenticationChallenge::apply(const Credentials& applied) const
{
    ++retryCount;
    if (!applied || !authentication || !request.transfer_.message)
        return false;
    if (!authentication->applyCredentialDictionary(*request.transfer_.message, *applied)) {
        removeFromSessionStore(applied);
        return false;
    }
    // NTLM's handshake must stay on one connection, whatever the method.
    if (authentication->requiresConnectionPinning())
        request.settings_.shouldAttemptPersistentConnection = true;
    if (request.settings_.useKeychainPersistence) {
        if (forProxy)
            request.saveProxyCredentialsToKeychain(applied);
        else
            request.saveCredentialsToKeychain(applied);
    }
    if (request.settings_.useSessionPersistence)
        storeInSession(applied);
    credentials = applied;
    return true;
}

void HTTPRequest::AuthenticationChallenge::storeInSession(const Credentials& applied) const
{
    // Server entries are found again by URL and realm, proxy entries by the proxy's host and port.
    if (forProxy && !request.settings_.proxyHost)
        return;
    SessionCredentials entry;
    entry.authentication = authentication;
    entry.credentials = applied;
    entry.authenticationScheme = scheme;
    if (forProxy) {
        entry.host = *request.settings_.proxyHost;
        entry.port = request.settings_.proxyPort;
        storeProxyAuthenticationCredentialsInSessionStore(std::move(entry));
    } else {
        entry.url = request.url_;
        entry.authenticationRealm = realm;
        storeAuthenticationCredentialsInSessionStore(std::move(entry));
    }
}

bool HTTPRequest::applyCredentials(const Credentials& credentials)
{
    return AuthenticationChallenge(*this, false).apply(credentials);
}

bool HTTPRequest::applyProxyCredentials(const Credentials& credentials)
{
    return AuthenticationChallenge(*this, true).apply(credentials);
}

// MARK: - Finding

Credentials HTTPRequest::findCredentials()
{
    std::optional<std::string> user, password;
    if (!url_.user().empty() && url_.hasPassword()) {
        user = url_.user();
        password = url_.password();
    }
    if (!user || !password) {
        if (mainRequest_ && mainRequest_->username() && mainRequest_->password()) {
            user = mainRequest_->username();
            password = mainRequest_->password();
        } else if (settings_.username && settings_.password) {
            user = settings_.username;
            password = settings_.password;
        }
    }
    if ((!user || !password) && settings_.useKeychainPersistence) {
        if (auto saved
            = savedCredentialsForHost(url_.host(), url_.port().value_or(0), url_.scheme(), authenticationRealm_)) {
            user = saved->user;
            password = saved->password;
        }
    }
    if (!user || !password)
        return nullptr;
    std::optional<std::string> domain;
    if (requestAuthentication_ && requestAuthentication_->requiresAccountDomain()) {
        if (settings_.domain && !settings_.domain->empty()) {
            domain = settings_.domain;
        } else if (auto split = splitDomainUser(*user)) {
            domain = split->first;
            user = split->second;
        } else {
            domain = std::string();
        }
    }
    return makeCredentials(*user, *password, domain);
}

Credentials HTTPRequest::findProxyCredentials()
{
    std::optional<std::string> user, password;
    if (mainRequest_ && mainRequest_->proxyUsername() && mainRequest_->proxyPassword()) {
        user = mainRequest_->proxyUsername();
        password = mainRequest_->proxyPassword();
    } else if (settings_.proxyUsername && settings_.proxyPassword) {
        user = settings_.proxyUsername;
        password = settings_.proxyPassword;
    }
    if ((!user || !password) && isNTLM(proxyAuthenticationScheme_)) {
        user = settings_.username;
        password = settings_.password;
    }
    if ((!user || !password) && settings_.proxyHost) {
        if (auto saved
            = savedCredentialsForProxy(*settings_.proxyHost, settings_.proxyPort, "", proxyAuthenticationRealm_)) {
            user = saved->user;
            password = saved->password;
        }
    }
    if (!user || !password)
        return nullptr;
    std::optional<std::string> domain;
    if (proxyAuthentication_ && proxyAuthentication_->requiresAccountDomain()) {
        if (settings_.proxyDomain && !settings_.proxyDomain->empty()) {
            domain = settings_.proxyDomain;
        } else if (auto split = splitDomainUser(*user)) {
            domain = split->first;
            user = split->second;
        } else {
            domain = settings_.domain.value_or("");
        }
    }
    return makeCredentials(*user, *password, domain);
}

// MARK: - Asking

bool HTTPRequest::AuthenticationChallenge::willAskDelegate() const
{
    if (request.isSynchronous_)
        return false;
    std::shared_ptr<HTTPRequestDelegate> receiver = request.settings_.delegate.lock();
    if (!receiver)
        receiver = request.queue_;
    if (!(receiver && receiver->credentialsHandler(forProxy)) && !neededBlock)
        return false;
    auto asked = request.self();
    if (forProxy)
        platform::postToMain([asked] { asked->askDelegateForProxyCredentials(); });
    else
        platform::postToMain([asked] { asked->askDelegateForCredentials(); });
    return true;
}

void HTTPRequest::AuthenticationChallenge::askDelegate() const
{
    std::shared_ptr<HTTPRequestDelegate> receiver;
    Block block;
    {
        std::lock_guard<std::recursive_mutex> lock(request.cancelledLock_);
        receiver = request.settings_.delegate.lock();
        if (!receiver)
            receiver = request.queue_;
        block = neededBlock;
    }
    // The delegate is preferred; the block answers only when it cannot.
    if (auto handler = receiver ? receiver->credentialsHandler(forProxy) : nullptr)
        handler(request.self());
    else if (block)
        block();
}

bool HTTPRequest::AuthenticationChallenge::showDialog() const
{
    bool present = forProxy ? request.settings_.shouldPresentProxyAuthenticationDialog
                            : request.settings_.shouldPresentAuthenticationDialog;
    if (request.isSynchronous_ || !present)
        return false;
    auto shown = request.self();
    platform::performOnMain([shown] { AuthenticationDialog::presentAuthenticationDialogForRequest(shown); });
    return true;
}

bool HTTPRequest::willAskDelegateForCredentials() { return AuthenticationChallenge(*this, false).willAskDelegate(); }

bool HTTPRequest::willAskDelegateForProxyCredentials()
{
    return AuthenticationChallenge(*this, true).willAskDelegate();
}

void HTTPRequest::askDelegateForCredentials() { AuthenticationChallenge(*this, false).askDelegate(); }

void HTTPRequest::askDelegateForProxyCredentials() { AuthenticationChallenge(*this, true).askDelegate(); }

bool HTTPRequest::showAuthenticationDialog() { return AuthenticationChallenge(*this, false).showDialog(); }

bool HTTPRequest::showProxyAuthenticationDialog() { return AuthenticationChallenge(*this, true).showDialog(); }

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
    failWithError(authenticationError());
}

// MARK: - The challenge

void HTTPRequest::attemptToApplyCredentialsAndResume()
{
    Guard lock(cancelledLock_);
    if (error_ || cancelled_)
        return;
    if (authenticationNeeded_ == 2) {
        attemptToApplyProxyCredentialsAndResume();
        return;
    }
    AuthenticationChallenge(*this, false).attemptToApplyCredentialsAndResume();
}

void HTTPRequest::attemptToApplyProxyCredentialsAndResume()
{
    Guard lock(cancelledLock_);
    if (error_ || cancelled_)
        return;
    AuthenticationChallenge(*this, true).attemptToApplyCredentialsAndResume();
}

// Called with the request's lock held, neither failed nor cancelled.
void HTTPRequest::AuthenticationChallenge::attemptToApplyCredentialsAndResume() const
{
    int status = request.responseStatusCode_;
    platform::HttpHeaders headers = request.responseHeaders_.value_or(platform::HttpHeaders());

    if (!authentication) {
        authentication = platform::HttpAuthentication::createFromResponse(status, headers);
        if (!authentication) {
            request.cancelLoad();
            request.failWithError(makeHTTPRequestError(InternalErrorWhileApplyingCredentialsType,
                "Failed to get authentication object from response headers"));
            return;
        }
        scheme = authentication->method();
    } else if (credentials) {
        // The answer to credentials we sent: the object judges it.
        authentication->updateFromResponse(status, headers);
    }
    realm.reset();
    if (!authentication->requiresAccountDomain())
        realm = authentication->realm();

    Error reason;
    if (!authentication->isValid(&reason)) {
        authentication.reset();
        if (reason.domain() != platform::kStreamErrorDomainHTTP
            || (reason.code() != platform::kStreamErrorHTTPAuthenticationBadUserName
                && reason.code() != platform::kStreamErrorHTTPAuthenticationBadPassword)) {
            request.cancelLoad();
            request.failWithError(authenticationError());
            return;
        }
        std::lock_guard<std::recursive_mutex> asking(sessionStore().askingLock());
        removeFromSessionStore(credentials);
        credentials.reset();
        if (request.error_ || request.cancelled_)
            return;
        request.cancelLoad();
        if (retryCount >= kMaximumCredentialAttempts) {
            request.failWithError(authenticationError());
            return;
        }
        // Anything applied from here on answers the challenge with a fresh object.
        authentication = platform::HttpAuthentication::createFromResponse(status, headers);
        if (authentication) {
            if (request.settings_.useSessionPersistence) {
                auto entry = findSessionCredentials();
                if (entry && apply(entry->credentials)) {
                    request.startRequest();
                    return;
                }
            }
            request.transfer_.lastActivityTime = -1;
            // Whoever is asked answers with retryUsingSuppliedCredentials,
            // which makes a new object from the same challenge.
            authentication.reset();
            if (willAskDelegate() || showDialog()) {
                // Waiting for an answer, not complete: a cancel must still reach it.
                request.complete_ = false;
                return;
            }
        }
        request.failWithError(authenticationError());
        return;
    }

    request.cancelLoad();

    if (!credentials) {
        if (!authentication->requiresUserNameAndPassword()) {
            // Nothing we could send would change the answer: fail rather than hang.
            request.failWithError(authenticationError());
            return;
        }
        std::lock_guard<std::recursive_mutex> asking(sessionStore().askingLock());
        if (request.error_ || request.cancelled_)
            return;
        if (request.settings_.useSessionPersistence) {
            auto entry = findSessionCredentials();
            if (entry && apply(entry->credentials)) {
                request.startRequest();
                return;
            }
        }
        Credentials found = findCredentials();
        if (!found) {
            request.transfer_.lastActivityTime = -1;
            if (willAskDelegate() || showDialog()) {
                // The answer makes a new object from the challenge.
                authentication.reset();
                request.complete_ = false;
                return;
            }
            request.failWithError(authenticationError());
            return;
        }
        if (apply(found))
            request.startRequest();
        else
            request.failWithError(makeHTTPRequestError(InternalErrorWhileApplyingCredentialsType, applyFailureText()));
        return;
    }

    // Challenged again and still valid: NTLM's second round, or a stale Digest nonce.
    bool ntlmDone = isNTLM(scheme) && retryCount >= 2;
    if (!ntlmDone && retryCount < kMaximumCredentialAttempts && apply(credentials)) {
        request.startRequest();
        return;
    }
    if (ntlmDone || retryCount >= kMaximumCredentialAttempts)
        request.failWithError(authenticationError());
    else
        request.failWithError(makeHTTPRequestError(InternalErrorWhileApplyingCredentialsType, applyFailureText()));
}
