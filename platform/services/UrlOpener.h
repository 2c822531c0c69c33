#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Opens addresses in other applications (the dialler, messages, the
// browser). Nothing is opened here: each scheme is answered as configured,
// and every address opened is recorded for tests; the demo may install a
// handler that really shows web addresses. An address that does not parse
// as a URL cannot be opened. Main thread only.
class UrlOpener final {
public:
    static UrlOpener& shared();

    bool canOpenURL(std::string_view url);
    // Whether the address was handed over.
    bool openURL(std::string_view url);

    // Harness: whether a scheme (case-insensitive, without ":") can be
    // opened. By default the phone's own schemes can: http, https, tel,
    // telprompt, sms and mailto; nothing else.
    void setCanOpenScheme(std::string scheme, bool canOpen);
    void setOpenHandler(std::function<void(const std::string& url)> handler) { handler_ = std::move(handler); }
    const std::vector<std::string>& openedURLs() const { return opened_; }
    // Every address asked about, by either call.
    const std::vector<std::string>& queriedURLs() const { return queried_; }
    void clearHistory();
    void resetForTesting();

    // The desktop's default application for addresses of the scheme, as
    // GLib's gio tool names it ("dialer.desktop"); empty when there is none
    // or no gio.
    static std::string desktopHandlerFor(const std::string& scheme);
    // On a desktop: "tel:" and "sms:" addresses can be opened only when the
    // desktop has an application for them, and are handed to it ("gio open",
    // run without a shell); without one they cannot be opened, so the
    // screens say the device cannot place the call.
    void useDesktopHandlers();

private:
    UrlOpener();
    bool answer(std::string_view url) const;

    std::map<std::string, bool> schemes_;
    std::function<void(const std::string&)> handler_;
    std::vector<std::string> opened_;
    std::vector<std::string> queried_;
};

} // namespace platform
