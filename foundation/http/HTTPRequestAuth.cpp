#include "foundation/http/HTTPRequest.h"

#include "foundation/http/AuthenticationDialog.h"
#include "platform/net/CredentialStorage.h"
#include "platform/net/HttpAuthentication.h"
#include "platform/os/StringUtil.h"

// Lock order: a request's own lock, then the delegate authentication lock,
// then the session credentials lock.

#define HTTP_LOCKED std::lock_guard<std::recursive_mutex> lock(cancelledLock_)

namespace {

using platform::Error;
using Credentials = HTTPRequest::Credentials;
using SessionCredentials = HTTPRequest::SessionCredentials;

// However the server answers, a request stops applying credentials after this
// many attempts: a server that keeps challenging cannot hold it forever.
constexpr int kMaximumCredentialAttempts = 8;

struct AuthState {
    std::recursive_mutex sessionLock;
    std::recursive_mutex delegateAuthenticationLock;
    std::vector<SessionCredentials> serverStore;
    std::vector<SessionCredentials> proxyStore;
};

AuthState& state()
{
    static AuthState* instance = new AuthState;
    return *instance;
}

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

std::optional<std::string> credentialField(const Credentials& credentials, const char* key)
{
    if (!credentials)
        return std::nullopt;
    if (auto value = credentials->find(key))
        if (auto text = value->asString())
            return *text;
    return std::nullopt;
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

} // namespace

// MARK: - Accessors

#define AUTH_ACCESSOR(Type, getter, setter, field)                                                                     \
    Type HTTPRequest::getter() const                                                                                   \
    {                                                                                                                  \
        HTTP_LOCKED;                                                                                                   \
        return field;                                                                                                  \
    }                                                                                                                  \
    void HTTPRequest::setter(Type value)                                                                               \
    {                                                                                                                  \
        HTTP_LOCKED;                                                                                                   \
        field = std::move(value);                                                                                      \
    }

AUTH_ACCESSOR(std::optional<std::string>, domain, setDomain, domain_)
AUTH_ACCESSOR(std::optional<std::string>, proxyUsername, setProxyUsername, proxyUsername_)
AUTH_ACCESSOR(std::optional<std::string>, proxyPassword, setProxyPassword, proxyPassword_)
AUTH_ACCESSOR(std::optional<std::string>, proxyDomain, setProxyDomain, proxyDomain_)
AUTH_ACCESSOR(bool, useKeychainPersistence, setUseKeychainPersistence, useKeychainPersistence_)
AUTH_ACCESSOR(bool, useSessionPersistence, setUseSessionPersistence, useSessionPersistence_)
AUTH_ACCESSOR(
    bool, shouldPresentAuthenticationDialog, setShouldPresentAuthenticationDialog, shouldPresentAuthenticationDialog_)
AUTH_ACCESSOR(bool, shouldPresentProxyAuthenticationDialog, setShouldPresentProxyAuthenticationDialog,
    shouldPresentProxyAuthenticationDialog_)

std::optional<std::string> HTTPRequest::authenticationRealm() const
{
    HTTP_LOCKED;
    return authenticationRealm_;
}
std::optional<std::string> HTTPRequest::proxyAuthenticationRealm() const
{
    HTTP_LOCKED;
    return proxyAuthenticationRealm_;
}
std::optional<std::string> HTTPRequest::proxyAuthenticationScheme() const
{
    HTTP_LOCKED;
    return proxyAuthenticationScheme_;
}
Credentials HTTPRequest::requestCredentials() const
{
    HTTP_LOCKED;
    return requestCredentials_;
}
Credentials HTTPRequest::proxyCredentials() const
{
    HTTP_LOCKED;
    return proxyCredentials_;
}
int HTTPRequest::authenticationRetryCount() const
{
    HTTP_LOCKED;
    return authenticationRetryCount_;
}
int HTTPRequest::proxyAuthenticationRetryCount() const
{
    HTTP_LOCKED;
    return proxyAuthenticationRetryCount_;
}
int HTTPRequest::authenticationNeeded() const
{
    HTTP_LOCKED;
    return authenticationNeeded_;
}
void HTTPRequest::setAuthenticationNeededBlock(Block block)
{
    HTTP_LOCKED;
    authenticationNeededBlock_ = std::move(block);
}
void HTTPRequest::setProxyAuthenticationNeededBlock(Block block)
{
    HTTP_LOCKED;
    proxyAuthenticationNeededBlock_ = std::move(block);
}

void HTTPRequest::copyAuthenticationAndProxySettingsTo(HTTPRequest& copy) const
{
    copy.domain_ = domain_;
    copy.proxyUsername_ = proxyUsername_;
    copy.proxyPassword_ = proxyPassword_;
    copy.proxyDomain_ = proxyDomain_;
    copy.useKeychainPersistence_ = useKeychainPersistence_;
    copy.useSessionPersistence_ = useSessionPersistence_;
    copy.shouldPresentAuthenticationDialog_ = shouldPresentAuthenticationDialog_;
    copy.shouldPresentProxyAuthenticationDialog_ = shouldPresentProxyAuthenticationDialog_;
    copy.proxyHost_ = proxyHost_;
    copy.proxyPort_ = proxyPort_;
    copy.proxyType_ = proxyType_;
    copy.PACurl_ = PACurl_;
}

// MARK: - Session store

std::vector<SessionCredentials> HTTPRequest::sessionCredentialsStore()
{
    std::lock_guard<std::recursive_mutex> lock(state().sessionLock);
    return state().serverStore;
}

std::vector<SessionCredentials> HTTPRequest::sessionProxyCredentialsStore()
{
    std::lock_guard<std::recursive_mutex> lock(state().sessionLock);
    return state().proxyStore;
}

void HTTPRequest::storeAuthenticationCredentialsInSessionStore(SessionCredentials entry)
{
    std::lock_guard<std::recursive_mutex> lock(state().sessionLock);
    removeAuthenticationCredentialsFromSessionStore(entry.credentials);
    state().serverStore.push_back(std::move(entry));
}

void HTTPRequest::storeProxyAuthenticationCredentialsInSessionStore(SessionCredentials entry)
{
    std::lock_guard<std::recursive_mutex> lock(state().sessionLock);
    removeProxyAuthenticationCredentialsFromSessionStore(entry.credentials);
    state().proxyStore.push_back(std::move(entry));
}

void HTTPRequest::removeAuthenticationCredentialsFromSessionStore(const Credentials& credentials)
{
    std::lock_guard<std::recursive_mutex> lock(state().sessionLock);
    auto& store = state().serverStore;
    for (auto it = store.begin(); it != store.end(); ++it)
        if (it->credentials == credentials) {
            store.erase(it);
            return;
        }
}

void HTTPRequest::removeProxyAuthenticationCredentialsFromSessionStore(const Credentials& credentials)
{
    std::lock_guard<std::recursive_mutex> lock(state().sessionLock);
    auto& store = state().proxyStore;
    for (auto it = store.begin(); it != store.end(); ++it)
        if (it->credentials == credentials) {
            store.erase(it);
            return;
        }
}

void HTTPRequest::clearSessionCredentials()
{
    std::lock_guard<std::recursive_mutex> lock(state().sessionLock);
    state().serverStore.clear();
}

std::optional<SessionCredentials> HTTPRequest::findSessionAuthenticationCredentials()
{
    std::lock_guard<std::recursive_mutex> lock(state().sessionLock);
    std::optional<SessionCredentials> candidate;
    for (auto& entry : state().serverStore) {
        if (!entry.url)
            continue;
        bool exact = *entry.url == url_;
        if (!exact) {
            if (candidate)
                continue;
            bool samePort = entry.url->port() == url_.port();
            if (!platform::equalsIgnoringAsciiCase(entry.url->host(), url_.host()) || !samePort
                || !platform::equalsIgnoringAsciiCase(entry.url->scheme(), url_.scheme()))
                continue;
        }
        if (authenticationRealm_ && entry.authenticationRealm && *authenticationRealm_ != *entry.authenticationRealm)
            continue;
        if (username_ && password_
            && (credentialField(entry.credentials, platform::kHTTPAuthenticationUsername) != username_
                || credentialField(entry.credentials, platform::kHTTPAuthenticationPassword) != password_))
            continue;
        if (exact)
            return entry;
        candidate = entry;
    }
    return candidate;
}

std::optional<SessionCredentials> HTTPRequest::findSessionProxyAuthenticationCredentials()
{
    std::lock_guard<std::recursive_mutex> lock(state().sessionLock);
    for (auto& entry : state().proxyStore)
        if (proxyHost_ && entry.host == *proxyHost_ && entry.port == proxyPort_)
            return entry;
    return std::nullopt;
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
    auto space = platform::URLProtectionSpace::server(host, port, protocol, realm);
    auto& storage = platform::URLCredentialStorage::shared();
    if (auto credential = storage.defaultCredentialForProtectionSpace(space))
        storage.removeCredential(*credential, space);
}

void HTTPRequest::removeCredentialsForProxy(const std::string& proxy, int port, const std::optional<std::string>& realm)
{
    auto space = platform::URLProtectionSpace::proxy(proxy, port, realm);
    auto& storage = platform::URLCredentialStorage::shared();
    if (auto credential = storage.defaultCredentialForProtectionSpace(space))
        storage.removeCredential(*credential, space);
}

void HTTPRequest::saveCredentialsToKeychain(const Credentials& credentials)
{
    auto user = credentialField(credentials, platform::kHTTPAuthenticationUsername);
    auto password = credentialField(credentials, platform::kHTTPAuthenticationPassword);
    if (!user || !password)
        return;
    saveCredentials(
        platform::URLCredential::credentialWithUser(*user, *password, platform::URLCredential::Persistence::Permanent),
        url_.host(), url_.port().value_or(0), url_.scheme(), authenticationRealm_);
}

void HTTPRequest::saveProxyCredentialsToKeychain(const Credentials& credentials)
{
    auto user = credentialField(credentials, platform::kHTTPAuthenticationUsername);
    auto password = credentialField(credentials, platform::kHTTPAuthenticationPassword);
    if (!user || !password || !proxyHost_)
        return;
    saveCredentialsForProxy(
        platform::URLCredential::credentialWithUser(*user, *password, platform::URLCredential::Persistence::Permanent),
        *proxyHost_, proxyPort_, proxyAuthenticationRealm_);
}

// MARK: - Before any challenge

void HTTPRequest::applySessionCredentialsBeforeChallenge()
{
    if (!useSessionPersistence_ || !request_)
        return;
    if (!requestHeaders_.contains("Authorization")) {
        if (auto entry = findSessionAuthenticationCredentials()) {
            if (entry->authentication) {
                if (entry->credentials
                    && entry->authentication->applyCredentialDictionary(*request_, *entry->credentials))
                    authenticationScheme_ = entry->authenticationScheme;
                else
                    removeAuthenticationCredentialsFromSessionStore(entry->credentials);
            } else {
                auto user = credentialField(entry->credentials, platform::kHTTPAuthenticationUsername);
                auto password = credentialField(entry->credentials, platform::kHTTPAuthenticationPassword);
                if (user && password)
                    addBasicAuthenticationHeaderWithUsername(*user, *password);
            }
        }
    }
    if (auto entry = findSessionProxyAuthenticationCredentials()) {
        if (!entry->authentication || !entry->credentials
            || !entry->authentication->applyCredentialDictionary(*request_, *entry->credentials))
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
    if (!authenticationNeeded_ && !requestAuthentication_ && username_ && password_ && useSessionPersistence_
        && authenticationScheme_
        && platform::equalsIgnoringAsciiCase(*authenticationScheme_, platform::kHTTPAuthenticationSchemeBasic)) {
        SessionCredentials entry;
        entry.credentials = makeCredentials(*username_, *password_, std::nullopt);
        entry.url = url_;
        entry.authenticationScheme = platform::kHTTPAuthenticationSchemeBasic;
        storeAuthenticationCredentialsInSessionStore(std::move(entry));
    }
}

// MARK: - Applying

bool HTTPRequest::applyCredentials(const Credentials& credentials)
{
    ++authenticationRetryCount_;
    if (!credentials || !requestAuthentication_ || !request_)
        return false;
    if (!requestAuthentication_->applyCredentialDictionary(*request_, *credentials)) {
        removeAuthenticationCredentialsFromSessionStore(credentials);
        return false;
    }
    // NTLM's handshake must stay on one connection, whatever the method.
    if (requestAuthentication_->requiresConnectionPinning())
        shouldAttemptPersistentConnection_ = true;
    if (useKeychainPersistence_)
        saveCredentialsToKeychain(credentials);
    if (useSessionPersistence_) {
        SessionCredentials entry;
        entry.authentication = requestAuthentication_;
        entry.credentials = credentials;
        entry.url = url_;
        entry.authenticationScheme = authenticationScheme_;
        entry.authenticationRealm = authenticationRealm_;
        storeAuthenticationCredentialsInSessionStore(std::move(entry));
    }
    requestCredentials_ = credentials;
    return true;
}

bool HTTPRequest::applyProxyCredentials(const Credentials& credentials)
{
    ++proxyAuthenticationRetryCount_;
    if (!credentials || !proxyAuthentication_ || !request_)
        return false;
    if (!proxyAuthentication_->applyCredentialDictionary(*request_, *credentials)) {
        removeProxyAuthenticationCredentialsFromSessionStore(credentials);
        return false;
    }
    if (proxyAuthentication_->requiresConnectionPinning())
        shouldAttemptPersistentConnection_ = true;
    if (useKeychainPersistence_)
        saveProxyCredentialsToKeychain(credentials);
    if (useSessionPersistence_ && proxyHost_) {
        SessionCredentials entry;
        entry.authentication = proxyAuthentication_;
        entry.credentials = credentials;
        entry.host = *proxyHost_;
        entry.port = proxyPort_;
        entry.authenticationScheme = proxyAuthenticationScheme_;
        storeProxyAuthenticationCredentialsInSessionStore(std::move(entry));
    }
    proxyCredentials_ = credentials;
    return true;
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
        } else if (username_ && password_) {
            user = username_;
            password = password_;
        }
    }
    if ((!user || !password) && useKeychainPersistence_) {
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
        if (domain_ && !domain_->empty()) {
            domain = domain_;
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
    } else if (proxyUsername_ && proxyPassword_) {
        user = proxyUsername_;
        password = proxyPassword_;
    }
    if ((!user || !password) && isNTLM(proxyAuthenticationScheme_)) {
        user = username_;
        password = password_;
    }
    if ((!user || !password) && proxyHost_) {
        if (auto saved = savedCredentialsForProxy(*proxyHost_, proxyPort_, "", proxyAuthenticationRealm_)) {
            user = saved->user;
            password = saved->password;
        }
    }
    if (!user || !password)
        return nullptr;
    std::optional<std::string> domain;
    if (proxyAuthentication_ && proxyAuthentication_->requiresAccountDomain()) {
        if (proxyDomain_ && !proxyDomain_->empty()) {
            domain = proxyDomain_;
        } else if (auto split = splitDomainUser(*user)) {
            domain = split->first;
            user = split->second;
        } else {
            domain = domain_.value_or("");
        }
    }
    return makeCredentials(*user, *password, domain);
}

// MARK: - Asking

bool HTTPRequest::willAskDelegateForCredentials()
{
    if (isSynchronous_)
        return false;
    std::shared_ptr<HTTPRequestDelegate> receiver = delegate_.lock();
    if (!receiver)
        receiver = queue_;
    if (!(receiver && receiver->authenticationNeededForRequest) && !authenticationNeededBlock_)
        return false;
    auto request = self();
    platform::postToMain([request] { request->askDelegateForCredentials(); });
    return true;
}

bool HTTPRequest::willAskDelegateForProxyCredentials()
{
    if (isSynchronous_)
        return false;
    std::shared_ptr<HTTPRequestDelegate> receiver = delegate_.lock();
    if (!receiver)
        receiver = queue_;
    if (!(receiver && receiver->proxyAuthenticationNeededForRequest) && !proxyAuthenticationNeededBlock_)
        return false;
    auto request = self();
    platform::postToMain([request] { request->askDelegateForProxyCredentials(); });
    return true;
}

void HTTPRequest::askDelegateForCredentials()
{
    std::shared_ptr<HTTPRequestDelegate> receiver;
    Block block;
    {
        HTTP_LOCKED;
        receiver = delegate_.lock();
        if (!receiver)
            receiver = queue_;
        block = authenticationNeededBlock_;
    }
    // The delegate is preferred; the block answers only when it cannot.
    if (receiver && receiver->authenticationNeededForRequest)
        receiver->authenticationNeededForRequest(self());
    else if (block)
        block();
}

void HTTPRequest::askDelegateForProxyCredentials()
{
    std::shared_ptr<HTTPRequestDelegate> receiver;
    Block block;
    {
        HTTP_LOCKED;
        receiver = delegate_.lock();
        if (!receiver)
            receiver = queue_;
        block = proxyAuthenticationNeededBlock_;
    }
    if (receiver && receiver->proxyAuthenticationNeededForRequest)
        receiver->proxyAuthenticationNeededForRequest(self());
    else if (block)
        block();
}

bool HTTPRequest::showAuthenticationDialog()
{
    if (isSynchronous_ || !shouldPresentAuthenticationDialog_)
        return false;
    auto request = self();
    platform::performOnMain([request] { AuthenticationDialog::presentAuthenticationDialogForRequest(request); });
    return true;
}

bool HTTPRequest::showProxyAuthenticationDialog()
{
    if (isSynchronous_ || !shouldPresentProxyAuthenticationDialog_)
        return false;
    auto request = self();
    platform::performOnMain([request] { AuthenticationDialog::presentAuthenticationDialogForRequest(request); });
    return true;
}

void HTTPRequest::retryUsingSuppliedCredentials()
{
    auto request = self();
    requestLoop().post(
        [request] {
            bool held;
            {
                std::lock_guard<std::recursive_mutex> lock(request->cancelledLock_);
                if (request->cancelled_ || request->error_)
                    return;
                held = request->request_.has_value();
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
    HTTP_LOCKED;
    if (complete_ && error_)
        return;
    failWithError(authenticationError());
}

// MARK: - The challenge

void HTTPRequest::attemptToApplyCredentialsAndResume()
{
    HTTP_LOCKED;
    if (error_ || cancelled_)
        return;
    if (authenticationNeeded_ == 2) {
        attemptToApplyProxyCredentialsAndResume();
        return;
    }
    auto fail = [this](int code, const char* text) {
        cancelLoad();
        failWithError(code == AuthenticationErrorType ? authenticationError() : makeHTTPRequestError(code, text));
    };
    int status = responseStatusCode_;
    platform::HttpHeaders headers = responseHeaders_.value_or(platform::HttpHeaders());

    if (!requestAuthentication_) {
        requestAuthentication_ = platform::HttpAuthentication::createFromResponse(status, headers);
        if (!requestAuthentication_) {
            fail(
                InternalErrorWhileApplyingCredentialsType, "Failed to get authentication object from response headers");
            return;
        }
        authenticationScheme_ = requestAuthentication_->method();
    } else if (requestCredentials_) {
        // The answer to credentials we sent: the object judges it.
        requestAuthentication_->updateFromResponse(status, headers);
    }
    authenticationRealm_.reset();
    if (!requestAuthentication_->requiresAccountDomain())
        authenticationRealm_ = requestAuthentication_->realm();

    Error reason;
    if (!requestAuthentication_->isValid(&reason)) {
        requestAuthentication_.reset();
        if (reason.domain() != platform::kStreamErrorDomainHTTP
            || (reason.code() != platform::kStreamErrorHTTPAuthenticationBadUserName
                && reason.code() != platform::kStreamErrorHTTPAuthenticationBadPassword)) {
            fail(AuthenticationErrorType, nullptr);
            return;
        }
        std::lock_guard<std::recursive_mutex> asking(state().delegateAuthenticationLock);
        removeAuthenticationCredentialsFromSessionStore(requestCredentials_);
        requestCredentials_.reset();
        if (error_ || cancelled_)
            return;
        cancelLoad();
        if (authenticationRetryCount_ >= kMaximumCredentialAttempts) {
            failWithError(authenticationError());
            return;
        }
        // Anything applied from here on answers the challenge with a fresh object.
        requestAuthentication_ = platform::HttpAuthentication::createFromResponse(status, headers);
        if (requestAuthentication_) {
            if (useSessionPersistence_) {
                auto entry = findSessionAuthenticationCredentials();
                if (entry && applyCredentials(entry->credentials)) {
                    startRequest();
                    return;
                }
            }
            lastActivityTime_ = -1;
            // Whoever is asked answers with retryUsingSuppliedCredentials,
            // which makes a new object from the same challenge.
            requestAuthentication_.reset();
            if (willAskDelegateForCredentials() || showAuthenticationDialog()) {
                // Waiting for an answer, not complete: a cancel must still reach it.
                complete_ = false;
                return;
            }
        }
        failWithError(authenticationError());
        return;
    }

    cancelLoad();

    if (!requestCredentials_) {
        if (!requestAuthentication_->requiresUserNameAndPassword()) {
            // Nothing we could send would change the answer: fail rather than hang.
            failWithError(authenticationError());
            return;
        }
        std::lock_guard<std::recursive_mutex> asking(state().delegateAuthenticationLock);
        if (error_ || cancelled_)
            return;
        if (useSessionPersistence_) {
            auto entry = findSessionAuthenticationCredentials();
            if (entry && applyCredentials(entry->credentials)) {
                startRequest();
                return;
            }
        }
        Credentials credentials = findCredentials();
        if (!credentials) {
            lastActivityTime_ = -1;
            if (willAskDelegateForCredentials() || showAuthenticationDialog()) {
                // The answer makes a new object from the challenge.
                requestAuthentication_.reset();
                complete_ = false;
                return;
            }
            failWithError(authenticationError());
            return;
        }
        if (applyCredentials(credentials))
            startRequest();
        else
            failWithError(makeHTTPRequestError(
                InternalErrorWhileApplyingCredentialsType, "Failed to apply credentials to request"));
        return;
    }

    // Challenged again and still valid: NTLM's second round, or a stale Digest nonce.
    bool ntlmDone = isNTLM(authenticationScheme_) && authenticationRetryCount_ >= 2;
    if (!ntlmDone && authenticationRetryCount_ < kMaximumCredentialAttempts && applyCredentials(requestCredentials_)) {
        startRequest();
        return;
    }
    if (ntlmDone || authenticationRetryCount_ >= kMaximumCredentialAttempts)
        failWithError(authenticationError());
    else
        failWithError(
            makeHTTPRequestError(InternalErrorWhileApplyingCredentialsType, "Failed to apply credentials to request"));
}

void HTTPRequest::attemptToApplyProxyCredentialsAndResume()
{
    HTTP_LOCKED;
    if (error_ || cancelled_)
        return;
    auto fail = [this](int code, const char* text) {
        cancelLoad();
        failWithError(code == AuthenticationErrorType ? authenticationError() : makeHTTPRequestError(code, text));
    };
    int status = responseStatusCode_;
    platform::HttpHeaders headers = responseHeaders_.value_or(platform::HttpHeaders());

    if (!proxyAuthentication_) {
        proxyAuthentication_ = platform::HttpAuthentication::createFromResponse(status, headers);
        if (!proxyAuthentication_) {
            fail(
                InternalErrorWhileApplyingCredentialsType, "Failed to get authentication object from response headers");
            return;
        }
        proxyAuthenticationScheme_ = proxyAuthentication_->method();
    } else if (proxyCredentials_) {
        proxyAuthentication_->updateFromResponse(status, headers);
    }
    proxyAuthenticationRealm_.reset();
    if (!proxyAuthentication_->requiresAccountDomain())
        proxyAuthenticationRealm_ = proxyAuthentication_->realm();

    Error reason;
    if (!proxyAuthentication_->isValid(&reason)) {
        proxyAuthentication_.reset();
        if (reason.domain() != platform::kStreamErrorDomainHTTP
            || (reason.code() != platform::kStreamErrorHTTPAuthenticationBadUserName
                && reason.code() != platform::kStreamErrorHTTPAuthenticationBadPassword)) {
            fail(AuthenticationErrorType, nullptr);
            return;
        }
        std::lock_guard<std::recursive_mutex> asking(state().delegateAuthenticationLock);
        removeProxyAuthenticationCredentialsFromSessionStore(proxyCredentials_);
        proxyCredentials_.reset();
        if (error_ || cancelled_)
            return;
        cancelLoad();
        if (proxyAuthenticationRetryCount_ >= kMaximumCredentialAttempts) {
            failWithError(authenticationError());
            return;
        }
        proxyAuthentication_ = platform::HttpAuthentication::createFromResponse(status, headers);
        if (proxyAuthentication_) {
            if (useSessionPersistence_) {
                auto entry = findSessionProxyAuthenticationCredentials();
                if (entry && applyProxyCredentials(entry->credentials)) {
                    startRequest();
                    return;
                }
            }
            lastActivityTime_ = -1;
            proxyAuthentication_.reset();
            // Asked once, and then the request waits for the answer.
            if (willAskDelegateForProxyCredentials() || showProxyAuthenticationDialog()) {
                complete_ = false;
                return;
            }
        }
        failWithError(authenticationError());
        return;
    }

    cancelLoad();

    if (!proxyCredentials_) {
        if (!proxyAuthentication_->requiresUserNameAndPassword()) {
            failWithError(authenticationError());
            return;
        }
        std::lock_guard<std::recursive_mutex> asking(state().delegateAuthenticationLock);
        if (error_ || cancelled_)
            return;
        if (useSessionPersistence_) {
            auto entry = findSessionProxyAuthenticationCredentials();
            if (entry && applyProxyCredentials(entry->credentials)) {
                startRequest();
                return;
            }
        }
        Credentials credentials = findProxyCredentials();
        if (!credentials) {
            lastActivityTime_ = -1;
            if (willAskDelegateForProxyCredentials() || showProxyAuthenticationDialog()) {
                proxyAuthentication_.reset();
                complete_ = false;
                return;
            }
            failWithError(authenticationError());
            return;
        }
        if (applyProxyCredentials(credentials))
            startRequest();
        else
            failWithError(makeHTTPRequestError(
                InternalErrorWhileApplyingCredentialsType, "Failed to apply proxy credentials to request"));
        return;
    }

    bool ntlmDone = isNTLM(proxyAuthenticationScheme_) && proxyAuthenticationRetryCount_ >= 2;
    if (!ntlmDone && proxyAuthenticationRetryCount_ < kMaximumCredentialAttempts
        && applyProxyCredentials(proxyCredentials_)) {
        startRequest();
        return;
    }
    if (ntlmDone || proxyAuthenticationRetryCount_ >= kMaximumCredentialAttempts)
        failWithError(authenticationError());
    else
        failWithError(makeHTTPRequestError(
            InternalErrorWhileApplyingCredentialsType, "Failed to apply proxy credentials to request"));
}
