#pragma once

#include "platform/os/Url.h"
#include "platform/os/Value.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {
class HttpAuthentication;
}

namespace foundation {

// A set of credentials (user name, password, domain). It is shared, never
// changed: session entries are matched by the identity of their dictionary.
using HTTPCredentials = std::shared_ptr<const platform::Dictionary>;

// One field of a set of credentials (platform::kHTTPAuthenticationUsername,
// ...), when it is there.
std::optional<std::string> credentialsField(const HTTPCredentials& credentials, const char* key);

// Credentials that answered a challenge, with what they answered.
struct SessionCredentials {
    std::shared_ptr<platform::HttpAuthentication> authentication;
    HTTPCredentials credentials;
    std::optional<platform::Url> url; // server entries
    std::string host; // proxy entries
    int port = 0; // proxy entries
    std::optional<std::string> authenticationScheme;
    std::optional<std::string> authenticationRealm;
};

// The credentials that worked during this session, for servers and for
// proxies, so that later requests present them before being asked. One store
// serves every request (shared()); any thread may use it.
class SessionCredentialsStore final {
public:
    static SessionCredentialsStore& shared();

    std::vector<SessionCredentials> serverEntries() const;
    std::vector<SessionCredentials> proxyEntries() const;
    // Adds the entry, in place of one holding the same credentials.
    void storeServerEntry(SessionCredentials entry);
    void storeProxyEntry(SessionCredentials entry);
    void removeServerEntry(const HTTPCredentials& credentials);
    void removeProxyEntry(const HTTPCredentials& credentials);
    void clearServerEntries();

    // The entry for a request to url: one stored for that very address wins,
    // else the first for the same scheme, host and port. A realm known on
    // both sides must agree, and so must the user name and password the
    // request carries, if it carries them.
    std::optional<SessionCredentials> findServerEntry(const platform::Url& url, const std::optional<std::string>& realm,
        const std::optional<std::string>& user, const std::optional<std::string>& password) const;
    std::optional<SessionCredentials> findProxyEntry(const std::string& host, int port) const;

    // Held while a request consults the store and asks for credentials, so
    // that requests meeting the same challenge at once ask only once. Taken
    // after a request's own lock, before the store's.
    std::recursive_mutex& askingLock() { return askingLock_; }

private:
    mutable std::recursive_mutex lock_;
    std::recursive_mutex askingLock_;
    std::vector<SessionCredentials> serverEntries_;
    std::vector<SessionCredentials> proxyEntries_;
};

} // namespace foundation
