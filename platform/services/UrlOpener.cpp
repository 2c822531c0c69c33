#include "platform/services/UrlOpener.h"

#include "platform/os/Url.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace platform {

namespace {
    std::string lowercase(std::string text)
    {
        std::transform(
            text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    }
}

UrlOpener& UrlOpener::shared()
{
    static UrlOpener opener;
    return opener;
}

UrlOpener::UrlOpener() { resetForTesting(); }

void UrlOpener::resetForTesting()
{
    schemes_.clear();
    for (const char* scheme : { "http", "https", "tel", "telprompt", "sms", "mailto" })
        schemes_[scheme] = true;
    handler_ = nullptr;
    clearHistory();
}

void UrlOpener::clearHistory()
{
    opened_.clear();
    queried_.clear();
}

void UrlOpener::setCanOpenScheme(std::string scheme, bool canOpen) { schemes_[lowercase(std::move(scheme))] = canOpen; }

bool UrlOpener::answer(std::string_view text) const
{
    auto url = Url::parse(text);
    if (!url || !url->isAbsolute())
        return false;
    auto found = schemes_.find(lowercase(url->scheme()));
    return found != schemes_.end() && found->second;
}

bool UrlOpener::canOpenURL(std::string_view url)
{
    queried_.emplace_back(url);
    return answer(url);
}

bool UrlOpener::openURL(std::string_view url)
{
    queried_.emplace_back(url);
    if (!answer(url))
        return false;
    opened_.emplace_back(url);
    if (handler_)
        handler_(std::string(url));
    return true;
}

std::string UrlOpener::desktopHandlerFor(const std::string& scheme)
{
    // The scheme goes into a command line: letters, digits, "+", "-", "." only.
    if (scheme.empty() || !std::all_of(scheme.begin(), scheme.end(), [](unsigned char c) {
            return std::isalnum(c) || c == '+' || c == '-' || c == '.';
        }))
        return {};
    const std::string command = "LC_ALL=C gio mime x-scheme-handler/" + lowercase(scheme) + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return {};
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    pclose(pipe);
    // "Default application for 'x-scheme-handler/tel': dialer.desktop"
    const std::string marker = "Default application for";
    auto at = output.find(marker);
    if (at == std::string::npos)
        return {};
    auto colon = output.find(": ", at);
    auto end = output.find('\n', at);
    if (colon == std::string::npos || (end != std::string::npos && colon > end))
        return {};
    std::string handler = output.substr(colon + 2, end == std::string::npos ? std::string::npos : end - colon - 2);
    while (!handler.empty() && std::isspace(static_cast<unsigned char>(handler.back())))
        handler.pop_back();
    return handler;
}

void UrlOpener::useDesktopHandlers()
{
    for (const char* scheme : { "tel", "telprompt", "sms" })
        setCanOpenScheme(scheme, !desktopHandlerFor(scheme == std::string("telprompt") ? "tel" : scheme).empty());
    setOpenHandler([](const std::string& url) {
        // The address came from data: it is one argument, never a shell word.
        std::string program = "gio";
        std::string verb = "open";
        std::string address = url;
        char* argv[] = { program.data(), verb.data(), address.data(), nullptr };
        pid_t pid = 0;
        if (posix_spawnp(&pid, "gio", nullptr, nullptr, argv, environ) == 0) {
            // Reaped aside: the desktop's application may take its time.
            std::thread([pid] {
                int status = 0;
                waitpid(pid, &status, 0);
            }).detach();
        }
    });
}

} // namespace platform
