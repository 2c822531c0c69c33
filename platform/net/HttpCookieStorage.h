#pragma once

#include "platform/net/HttpCookie.h"
#include "platform/os/Url.h"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The cookie jar. Thread-safe. Persistent (not session-only) cookies are
// written to the jar's file after every change, atomically (a temporary file
// renamed over the old one), and read back when a jar is made on that file.
// Expired cookies are dropped as they are met.
class HttpCookieStorage final {
public:
    // The application's jar, kept in Library/Preferences/Cookies.txt of the
    // app home (AppPaths). Made on first use.
    static HttpCookieStorage& shared();

    // A jar on that file (read now if it exists). An empty path keeps
    // everything in memory.
    explicit HttpCookieStorage(std::string filePath);
    HttpCookieStorage(const HttpCookieStorage&) = delete;
    HttpCookieStorage& operator=(const HttpCookieStorage&) = delete;

    const std::string& filePath() const { return filePath_; }

    // Every live cookie, in the order they were first stored.
    std::vector<HttpCookie> cookies() const;
    // The cookies to send to the URL: longer paths first, then older first
    // (RFC 6265 section 5.4).
    std::vector<HttpCookie> cookiesForURL(const Url& url) const;
    // Stores a cookie, replacing the one with the same identity (which keeps
    // its original creation order). A cookie already expired deletes that one instead.
    void setCookie(const HttpCookie& cookie);
    // Stores the cookies that the URL may set: each cookie's domain must match
    // the URL's host (a host-only cookie must name it exactly). With a main
    // document URL, cookies for a URL whose host is not inside the main
    // document's host are refused as third-party cookies.
    void setCookies(const std::vector<HttpCookie>& cookies, const Url& url,
        const std::optional<Url>& mainDocumentUrl = std::nullopt);
    void deleteCookie(const HttpCookie& cookie);
    void deleteAllCookies();

    // Tests move time without waiting. An empty function restores the wall clock.
    void setClockForTesting(std::function<Date()> now);

private:
    struct Entry {
        HttpCookie cookie;
        std::uint64_t creationIndex = 0;
    };

    void load();
    void saveLocked() const;
    void dropExpiredLocked(Date now);
    void setCookieLocked(const HttpCookie& cookie, Date now, bool& changedPersistent);

    std::string filePath_;
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    std::uint64_t nextCreationIndex_ = 1;
    std::function<Date()> clock_;
};

} // namespace platform
