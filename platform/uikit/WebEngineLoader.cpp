#include "platform/uikit/WebEngineModule.h"

#include "platform/graphics/Image.h"
#include "platform/net/HttpCookieStorage.h"
#include "platform/os/AppPaths.h"
#include "platform/os/Bundle.h"
#include "platform/os/FileUtil.h"
#include "platform/os/LoadedModule.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

// The browser engine is opened here, on the first page, from the module the
// build makes beside the view layer: a program that never shows a page
// never maps the engine's libraries (tens of megabytes resident).

#ifndef ORB_WEBENGINE_MODULE_PATH
#define ORB_WEBENGINE_MODULE_PATH ""
#endif

namespace platform {

namespace {

    constexpr const char* kModuleFile = "orb_webengine.so";

    bool belongsToThisProgram(const WebEngineModuleTable& table)
    {
        return table.version == kWebEngineModuleVersion && table.create && table.displayInUse
            && table.removeCachedResources;
    }

    // The module, where it may be: named by ORB_WEBENGINE_MODULE, beside the
    // program, or where this build put it.
    LoadedModule<WebEngineModuleTable>& engineModule()
    {
        static LoadedModule<WebEngineModuleTable> module(
            "the web engine",
            [] { return FileUtil::moduleCandidates("ORB_WEBENGINE_MODULE", kModuleFile, ORB_WEBENGINE_MODULE_PATH); },
            kWebEngineModuleEntry, belongsToThisProgram);
        return module;
    }

    // A private X server for the engine's windows, started before the
    // module is opened so that the two overlap; its display number is read
    // once the module is open. Its parent dying takes it down too, so a
    // crashed test leaves nothing behind.
    struct StartingDisplay {
        pid_t pid = -1;
        int fd = -1; // Xvfb writes the display number here when it is ready
    };

    std::optional<StartingDisplay> beginPrivateDisplay(std::string* reason)
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) {
            *reason = std::string("pipe: ") + std::strerror(errno);
            return std::nullopt;
        }
        pid_t pid = fork();
        if (pid < 0) {
            *reason = std::string("fork: ") + std::strerror(errno);
            close(fds[0]);
            close(fds[1]);
            return std::nullopt;
        }
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            int keep = dup(fds[1]); // without O_CLOEXEC, for Xvfb to write to
            std::string fdText = std::to_string(keep);
            int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, 0);
                dup2(null, 1);
                dup2(null, 2);
            }
            const char* argv[] = { "Xvfb", "-displayfd", fdText.c_str(), "-screen", "0", "1280x1024x24", "-nolisten",
                "tcp", "-noreset", nullptr };
            execvp("Xvfb", const_cast<char* const*>(argv));
            _exit(127);
        }
        close(fds[1]);
        return StartingDisplay { pid, fds[0] };
    }

    // The display's name once Xvfb says it is ready (at most ten seconds).
    std::optional<std::string> finishPrivateDisplay(const StartingDisplay& starting, std::string* reason)
    {
        std::string number;
        pollfd p { starting.fd, POLLIN, 0 };
        for (int waited = 0; waited < 100; ++waited) {
            if (poll(&p, 1, 100) <= 0)
                continue;
            char c;
            auto n = read(starting.fd, &c, 1);
            if (n <= 0 || c == '\n')
                break;
            number += c;
        }
        close(starting.fd);
        if (number.empty()) {
            kill(starting.pid, SIGTERM);
            waitpid(starting.pid, nullptr, 0);
            *reason = "the virtual display (Xvfb) did not start";
            return std::nullopt;
        }
        return ":" + number;
    }

    void stopPrivateDisplay(const StartingDisplay& starting)
    {
        close(starting.fd);
        kill(starting.pid, SIGTERM);
        waitpid(starting.pid, nullptr, 0);
    }

    std::string lower(std::string text)
    {
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        return text;
    }

    std::uint64_t viewsMade = 0; // main thread only, as the views are

} // namespace

WebEngineView::~WebEngineView() = default;

std::unique_ptr<WebEngineView> WebEngineView::create(WebEngineClient& client, Size points, double scale, Error* error)
{
    std::string reason;
    std::optional<StartingDisplay> starting;
    if (!engineModule().opened() && webEngineDisplaySetting().empty()) {
        starting = beginPrivateDisplay(&reason);
        if (!starting)
            reason = "no display for the web engine: " + reason;
    }
    const auto* table = reason.empty() ? engineModule().open(&reason) : nullptr;
    if (table && starting) {
        std::string why;
        if (auto display = finishPrivateDisplay(*starting, &why))
            setWebEngineDisplay(*display);
        else
            reason = "no display for the web engine: " + why;
        starting.reset();
    }
    if (starting)
        stopPrivateDisplay(*starting);
    if (!table || !reason.empty()) {
        log("WebEngine: %s\n", reason.c_str());
        if (error) {
            Dictionary info;
            info.set("NSLocalizedDescription", Value(reason));
            *error = Error("NSURLErrorDomain", -1, std::move(info));
        }
        return nullptr;
    }
    auto view = table->create(client, points, scale, error);
    if (view)
        ++viewsMade;
    return view;
}

std::uint64_t webEngineViewsMade() { return viewsMade; }

std::string webEngineDisplayInUse()
{
    const auto* table = engineModule().opened();
    return table ? table->displayInUse() : std::string();
}

bool removeWebEngineCachedResources(const std::string& host)
{
    const auto* table = engineModule().opened();
    return table ? table->removeCachedResources(host) : true;
}

std::optional<Url> webEngineAddress(const Url& applicationURL)
{
    if (lower(applicationURL.scheme()) != "file")
        return applicationURL;
    auto text = applicationURL.absoluteString();
    // file:///a/b → orb-res:///a/b
    return Url::parse(std::string(kWebResourceScheme) + text.substr(4));
}

Url webApplicationAddress(const Url& engineURL)
{
    if (lower(engineURL.scheme()) != kWebResourceScheme)
        return engineURL;
    auto text = engineURL.absoluteString();
    return Url::parse("file" + text.substr(std::strlen(kWebResourceScheme))).value_or(engineURL);
}

// Never called. The module resolves what it uses of the platform layer in
// the program that opens it; naming those parts here makes every program
// with a web view link them in, even one that uses them nowhere else.
void webEngineModuleNeeds();
void webEngineModuleNeeds()
{
    Error pathError;
    [[maybe_unused]] auto caches = AppPaths::cachesDirectory(&pathError);
    [[maybe_unused]] auto temporary = AppPaths::temporaryDirectory();
    [[maybe_unused]] auto home = AppPaths::home();
    [[maybe_unused]] auto bundle = Bundle::main();
    [[maybe_unused]] bool file = FileUtil::isRegularFile(FileUtil::joinPath("a", "b"));
    auto& jar = HttpCookieStorage::shared();
    jar.setCookie(HttpCookie());
    jar.deleteCookie(HttpCookie());
    [[maybe_unused]] auto all = jar.cookies();
    [[maybe_unused]] auto date = Date::fromSeconds(0);
    Image image(1, 1, 1);
    [[maybe_unused]] auto& pixels = image.mutablePixels();
    postToMain([] { });
    RunLoop::main().addBeforeWaitingObserver([] { });
    [[maybe_unused]] auto& display = webEngineDisplaySetting();
    log("%s", "");
}

} // namespace platform

// The engine's libraries keep allocations for the life of the process, and
// JavaScriptCore releases its shared pointers through our sanitized copy of
// the standard library's code, whose type check cannot see the engine's
// uninstrumented types. Not faults of ours: the sanitizers read these lists
// (the leak list in place of the graphics library's weak default, which it
// repeats). Here rather than in the module, since the sanitizers read them
// as the program starts. The leak checker of this compiler misreads where
// the thread-local blocks of libraries opened after start lie (its scan of
// them crashes at exit): it is told not to follow those blocks, which are
// the engine's libraries' own.
extern "C" __attribute__((used)) const char* __lsan_default_options()
{
    return "intercept_tls_get_addr=0:suppressions=" ORB_WEB_SANITIZER_LISTS "/WebEngineLeaks.txt";
}
extern "C" __attribute__((used)) const char* __ubsan_default_options()
{
    return "suppressions=" ORB_WEB_SANITIZER_LISTS "/WebEngineUndefined.txt";
}
