#include "foundation/http/SessionCredentialsStore.h"

#include "platform/net/HttpAuthentication.h"
#include "platform/os/StringUtil.h"

namespace foundation {

namespace {

void eraseEntry(std::vector<SessionCredentials>& entries, const HTTPCredentials& credentials)
{
    for (auto it = entries.begin(); it != entries.end(); ++it)
        if (it->credentials == credentials) {
            entries.erase(it);
            return;
        }
}

} // namespace

std::optional<std::string> credentialsField(const HTTPCredentials& credentials, const char* key)
{
    if (!credentials)
        return std::nullopt;
    if (auto value = credentials->find(key))
        if (auto text = value->asString())
            return *text;
    return std::nullopt;
}

SessionCredentialsStore& SessionCredentialsStore::shared()
{
    // Never destroyed: the network thread may still use it while the process exits.
    static auto* store = new SessionCredentialsStore;
    return *store;
}

std::vector<SessionCredentials> SessionCredentialsStore::serverEntries() const
{
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return serverEntries_;
}

std::vector<SessionCredentials> SessionCredentialsStore::proxyEntries() const
{
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return proxyEntries_;
}

void SessionCredentialsStore::storeServerEntry(SessionCredentials entry)
{
    std::lock_guard<std::recursive_mutex> lock(lock_);
    eraseEntry(serverEntries_, entry.credentials);
    serverEntries_.push_back(std::move(entry));
}

void SessionCredentialsStore::storeProxyEntry(SessionCredentials entry)
{
    std::lock_guard<std::recursive_mutex> lock(lock_);
    eraseEntry(proxyEntries_, entry.credentials);
    proxyEntries_.push_back(std::move(entry));
}

void SessionCredentialsStore::removeServerEntry(const HTTPCredentials& credentials)
{
    std::lock_guard<std::recursive_mutex> lock(lock_);
    eraseEntry(serverEntries_, credentials);
}

void SessionCredentialsStore::removeProxyEntry(const HTTPCredentials& credentials)
{
    std::lock_guard<std::recursive_mutex> lock(lock_);
    eraseEntry(proxyEntries_, credentials);
}

void SessionCredentialsStore::clearServerEntries()
{
    std::lock_guard<std::recursive_mutex> lock(lock_);
    serverEntries_.clear();
}

std::optional<SessionCredentials> SessionCredentialsStore::findServerEntry(const platform::Url& url,
    const std::optional<std::string>& realm, const std::optional<std::string>& user,
    const std::optional<std::string>& password) const
{
    std::lock_guard<std::recursive_mutex> lock(lock_);
    std::optional<SessionCredentials> candidate;
    for (auto& entry : serverEntries_) {
        if (!entry.url)
            continue;
        bool exact = *entry.url == url;
        if (!exact) {
            if (candidate)
                continue;
            bool samePort = entry.url->port() == url.port();
            if (!platform::equalsIgnoringAsciiCase(entry.url->host(), url.host()) || !samePort
                || !platform::equalsIgnoringAsciiCase(entry.url->scheme(), url.scheme()))
                continue;
        }
        if (realm && entry.authenticationRealm && *realm != *entry.authenticationRealm)
            continue;
        if (user && password
            && (credentialsField(entry.credentials, platform::kHTTPAuthenticationUsername) != user
                || credentialsField(entry.credentials, platform::kHTTPAuthenticationPassword) != password))
            continue;
        if (exact)
            return entry;
        candidate = entry;
    }
    return candidate;
}

std::optional<SessionCredentials> SessionCredentialsStore::findProxyEntry(const std::string& host, int port) const
{
    std::lock_guard<std::recursive_mutex> lock(lock_);
    for (auto& entry : proxyEntries_)
        if (entry.host == host && entry.port == port)
            return entry;
    return std::nullopt;
}

} // namespace foundation
