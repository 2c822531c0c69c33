// Answering a server's or a proxy's challenge: finding, applying, keeping
// and asking for credentials, written once for both sides.
#include "foundation/http/AuthenticationChallenge.h"

#include "foundation/http/AuthenticationDialog.h"
#include "platform/net/CredentialStorage.h"
#include "platform/os/StringUtil.h"

namespace foundation {

// Lock order: a request's own lock, then the session store's asking lock,
// then the store's own lock.

namespace {

using platform::Error;
using Credentials = HTTPRequest::Credentials;
using SessionCredentials = HTTPRequest::SessionCredentials;

// However the server answers, a request stops applying credentials after this
// many attempts: a server that keeps challenging cannot hold it forever.
constexpr int kMaximumCredentialAttempts = 8;


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

SessionCredentialsStore& sessionStore() { return SessionCredentialsStore::shared(); }

} // namespace

Credentials HTTPRequest::AuthenticationChallenge::makeCredentials(
    const std::string& user, const std::string& password, const std::optional<std::string>& domain)
{
    auto dictionary = std::make_shared<platform::Dictionary>();
    dictionary->set(platform::kHTTPAuthenticationUsername, platform::Value(user));
    dictionary->set(platform::kHTTPAuthenticationPassword, platform::Value(password));
    if (domain)
        dictionary->set(platform::kHTTPAuthenticationAccountDomain, platform::Value(*domain));
    return dictionary;
}

Credentials HTTPRequest::AuthenticationChallenge::withAccountDomain(std::string user, const std::string& password,
    const platform::HttpAuthentication* authentication, const std::optional<std::string>& setDomain,
    const std::string& fallbackDomain)
{
    // A scheme that needs an account domain takes the one set, else the
    // "DOMAIN\user" form of the name, else the fallback.
    std::optional<std::string> domain;
    if (authentication && authentication->requiresAccountDomain()) {
        if (setDomain && !setDomain->empty()) {
            domain = setDomain;
        } else if (auto split = splitDomainUser(user)) {
            domain = split->first;
            user = split->second;
        } else {
            domain = fallbackDomain;
        }
    }
    return makeCredentials(user, password, domain);
}

Error HTTPRequest::AuthenticationChallenge::authenticationError()
{
    return makeHTTPRequestError(AuthenticationErrorType, "Authentication needed");
}

platform::Error HTTPRequest::AuthenticationChallenge::applyFailure() const
{
    Error reason;
    if (authentication && !authentication->isValid(&reason) && reason.domain() == platform::kStreamErrorDomainHTTP
        && reason.code() == platform::kStreamErrorHTTPAuthenticationFieldTooLong)
        return makeHTTPRequestError(InternalErrorWhileApplyingCredentialsType,
            std::string(applyFailureText())
                + ": the user name, domain or server's target information is too long for an NTLM message",
            &reason);
    return makeHTTPRequestError(InternalErrorWhileApplyingCredentialsType, applyFailureText());
}

// MARK: - Finding

Credentials HTTPRequest::AuthenticationChallenge::findServerCredentials() const
{
    std::optional<std::string> user, password;
    if (!request.url_.user().empty() && request.url_.hasPassword()) {
        user = request.url_.user();
        password = request.url_.password();
    }
    if (!user || !password) {
        if (request.mainRequest_ && request.mainRequest_->username() && request.mainRequest_->password()) {
            user = request.mainRequest_->username();
            password = request.mainRequest_->password();
        } else if (request.settings_.username && request.settings_.password) {
            user = request.settings_.username;
            password = request.settings_.password;
        }
    }
    if ((!user || !password) && request.settings_.useKeychainPersistence) {
        if (auto saved
            = savedCredentialsForHost(request.url_.host(), request.url_.port().value_or(0), request.url_.scheme(), request.authenticationRealm_)) {
            user = saved->user;
            password = saved->password;
        }
    }
    if (!user || !password)
        return nullptr;
    return withAccountDomain(*user, *password, request.requestAuthentication_.get(), request.settings_.domain, "");
}

Credentials HTTPRequest::AuthenticationChallenge::findProxyCredentials() const
{
    std::optional<std::string> user, password;
    if (request.mainRequest_ && request.mainRequest_->proxyUsername() && request.mainRequest_->proxyPassword()) {
        user = request.mainRequest_->proxyUsername();
        password = request.mainRequest_->proxyPassword();
    } else if (request.settings_.proxyUsername && request.settings_.proxyPassword) {
        user = request.settings_.proxyUsername;
        password = request.settings_.proxyPassword;
    }
    if ((!user || !password) && isNTLM(request.proxyAuthenticationScheme_)) {
        user = request.settings_.username;
        password = request.settings_.password;
    }
    if ((!user || !password) && request.settings_.proxyHost) {
        if (auto saved
            = savedCredentialsForProxy(*request.settings_.proxyHost, request.settings_.proxyPort, "", request.proxyAuthenticationRealm_)) {
            user = saved->user;
            password = saved->password;
        }
    }
    if (!user || !password)
        return nullptr;
    return withAccountDomain(*user, *password, request.proxyAuthentication_.get(), request.settings_.proxyDomain,
        request.settings_.domain.value_or(""));
}

Credentials HTTPRequest::AuthenticationChallenge::findCredentials() const
{
    return forProxy ? findProxyCredentials() : findServerCredentials();
}

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
    if (request.settings_.useKeychainPersistence)
        saveToKeychain(applied);
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

void HTTPRequest::AuthenticationChallenge::saveToKeychain(const Credentials& saved) const
{
    auto user = credentialsField(saved, platform::kHTTPAuthenticationUsername);
    auto password = credentialsField(saved, platform::kHTTPAuthenticationPassword);
    if (!user || !password || (forProxy && !request.settings_.proxyHost))
        return;
    auto credential
        = platform::URLCredential::credentialWithUser(*user, *password, platform::URLCredential::Persistence::Permanent);
    if (forProxy)
        saveCredentialsForProxy(credential, *request.settings_.proxyHost, request.settings_.proxyPort, realm);
    else
        saveCredentials(credential, request.url_.host(), request.url_.port().value_or(0), request.url_.scheme(), realm);
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
    platform::postToMain([asked, proxy = forProxy] { AuthenticationChallenge(*asked, proxy).askDelegate(); });
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

// MARK: - The challenge

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
            request.failWithError(applyFailure());
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
        request.failWithError(applyFailure());
}

} // namespace foundation
