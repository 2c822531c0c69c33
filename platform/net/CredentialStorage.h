#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr const char* kURLAuthenticationMethodDefault = "NSURLAuthenticationMethodDefault";
inline constexpr const char* kURLProtectionSpaceHTTPProxy = "HTTP";

// Where credentials apply: a server {host, port, protocol, realm, method} or
// a proxy {host, port, proxy type, realm}. Host and protocol compare without
// regard to case; an absent realm is a realm of its own.
struct URLProtectionSpace {
    std::string host;
    int port = 0;
    std::string protocol; // "http", "https"; empty for a proxy
    std::optional<std::string> realm;
    std::string authenticationMethod = kURLAuthenticationMethodDefault;
    std::string proxyType; // kURLProtectionSpaceHTTPProxy for a proxy space, else empty

    static URLProtectionSpace server(
        std::string host, int port, std::string protocol, std::optional<std::string> realm);
    static URLProtectionSpace proxy(std::string host, int port, std::optional<std::string> realm);
    bool isProxy() const { return !proxyType.empty(); }
    bool operator==(const URLProtectionSpace& other) const;
};

struct URLCredential {
    enum class Persistence { None = 0, ForSession = 1, Permanent = 2 };
    std::string user;
    std::string password;
    Persistence persistence = Persistence::Permanent;

    static URLCredential credentialWithUser(std::string user, std::string password, Persistence persistence)
    {
        return URLCredential { std::move(user), std::move(password), persistence };
    }
    bool operator==(const URLCredential&) const = default;
};

// The credential store: one default credential per protection space.
// Permanent credentials are written to the store's file after each change
// (atomically, mode 0600) and read back when a store is made on it.
//
// The file is plain text: the passwords in it are NOT encrypted. Its only
// protection is the file mode and the app home's folder permissions.
//
// Thread-safe.
class URLCredentialStorage final {
public:
    // The application's store, Library/Preferences/Credentials.txt of the app home.
    static URLCredentialStorage& shared();

    // A store on that file; an empty path keeps everything in memory.
    explicit URLCredentialStorage(std::string filePath);
    URLCredentialStorage(const URLCredentialStorage&) = delete;
    URLCredentialStorage& operator=(const URLCredentialStorage&) = delete;

    const std::string& filePath() const { return filePath_; }

    void setDefaultCredential(const URLCredential& credential, const URLProtectionSpace& space);
    std::optional<URLCredential> defaultCredentialForProtectionSpace(const URLProtectionSpace& space) const;
    // Removes the credential when it is the one stored for the space.
    void removeCredential(const URLCredential& credential, const URLProtectionSpace& space);
    std::size_t count() const;

private:
    struct Entry {
        URLProtectionSpace space;
        URLCredential credential;
    };
    void load();
    void saveLocked() const;

    std::string filePath_;
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

} // namespace platform
