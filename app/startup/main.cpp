// orb-client: the phone client as a program. It starts the application the
// way the phone would (the delegate, the window, the main loop). On a desktop
// it shows the phone's screen in a window (platform/host): the mouse is the
// finger, the keyboard the phone's keyboard, and closing the window ends the
// application as the phone ends it. Headless, --tour signs in through the
// login screen, walks the five tabs and writes a picture of each screen.
#include "app/AppClasses.h"
#include "app/account/ProfileClasses.h"
#include "app/about/AboutViewController.h"
#include "app/about/IntrodutionViewController.h"
#include "app/login/LoginViewController.h"
#include "app/main/ORBViewController.h"
#include "app/startup/ORBAppDelegate.h"
#include "content/ContentClasses.h"
#include "core/network/ORBReplyParser.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "foundation/http/HTTPRequest.h"
#include "contacts/ContactsClasses.h"
#include "messaging/MessagingClasses.h"
#include "messaging/box/MessagePolls.h"
#include "messaging/send/MessageLoader.h"
#include "messaging/send/UnsavedMessages.h"
#include "messaging/send/UnsentMessages.h"
#include "circle/CircleClasses.h"
#include "platform/host/DesktopHost.h"
#include "platform/os/AllocatorBounds.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/OperationQueue.h"
#include "platform/os/RunLoop.h"
#include "platform/os/UserDefaults.h"
#include "platform/services/UrlOpener.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/ModalStack.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIWindow.h"
#include "teaching/TeachingClasses.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

using foundation::HTTPRequest;

namespace {

const char* kUsage = "usage: orb-client [--small-screen] [--actual-size] [--screenshots DIR] [--silent] [--gl]\n"
                     "                  [--verbose]\n"
                     "       orb-client --tour DIR [--small-screen] [--account ACCOUNT --password PASSWORD] [--verbose]\n"
                     "\n"
                     "Starts the client (home from ORB_HOME, server from ORB_SERVER_BASE) in a window at\n"
                     "phone size, fitted to the display's height (--actual-size: one screen pixel per\n"
                     "window pixel). F12 writes a PNG of the screen into the --screenshots folder (default:\n"
                     "the working directory); --silent leaves the sound device alone; --gl shows the frames\n"
                     "through the desktop's GL renderer. Closing the window (or an interrupt, termination or\n"
                     "hang-up signal) ends the client, after at most two seconds for messages still on their\n"
                     "way. Without a display it says so and exits with status 2.\n"
                     "--small-screen runs the 3.5-inch phone (320 x 480 points) instead of the 4-inch one\n"
                     "(320 x 568), in the window and on the tour alike.\n"
                     "--tour DIR runs headless instead: signs in through the login screen (the demo teacher\n"
                     "unless --account and --password are given), visits every tab and writes a PNG of each\n"
                     "screen into DIR.\n";

// An interrupt, a termination request or a hang-up closes the window, so the
// application ends the way closing it by hand ends it. The handler only
// writes into a pipe the main loop watches: nothing else is safe there.
int signalPipe[2] = { -1, -1 };

volatile std::sig_atomic_t endingSignal = 0;

constexpr int kEndingSignals[] = { SIGINT, SIGTERM, SIGHUP };

void onSignal(int signal)
{
    int saved = errno;
    endingSignal = signal;
    char byte = 1;
    [[maybe_unused]] auto written = write(signalPipe[1], &byte, 1);
    errno = saved;
}

std::shared_ptr<UIViewController> topOf(const std::shared_ptr<UIViewController>& root)
{
    auto top = root;
    while (top && top->presentedViewController())
        top = top->presentedViewController();
    if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(top))
        return navigation->topViewController();
    return top;
}

// Pumps the main loop on its own clock until the condition holds.
bool waitFor(const std::function<bool()>& condition, double seconds)
{
    return platform::RunLoop::main().runUntil(condition, seconds);
}

bool render(const std::string& directory, const std::string& name, std::vector<std::string>& written)
{
    // Let pending animations and transitions finish before the picture.
    platform::RunLoop::main().runUntil([] { return false; }, 0.6);
    if (auto window = UIWindow::keyWindow())
        window->layoutIfNeeded();
    std::string path = platform::FileUtil::joinPath(directory, name);
    if (!UIWindow::renderScreenToPNG(path))
        return false;
    written.push_back(path);
    return true;
}

int tour(const std::string& directory, const std::string& account, const std::string& password)
{
    auto delegate = std::dynamic_pointer_cast<ORBAppDelegate>(UIApplication::sharedApplication().delegate());
    auto root = delegate ? delegate->viewController() : nullptr;
    if (!root)
        return 1;
    if (!platform::FileUtil::createDirectory(directory) && !platform::FileUtil::isDirectory(directory)) {
        std::fprintf(stderr, "orb-client: cannot write into %s\n", directory.c_str());
        return 1;
    }
    std::vector<std::string> written;
    // The first start shows the introduction; it is closed as a person would.
    if (waitFor([&] { return std::dynamic_pointer_cast<IntrodutionViewController>(topOf(root)) != nullptr; }, 3)) {
        render(directory, "01-introduction.png", written);
        if (auto intro = std::dynamic_pointer_cast<IntrodutionViewController>(topOf(root)))
            intro->btnCloseTouchUpInside(nullptr);
    }
    if (!waitFor([&] { return std::dynamic_pointer_cast<LoginViewController>(topOf(root)) != nullptr; }, 5)) {
        std::fprintf(stderr, "orb-client: the login screen did not come up\n");
        return 1;
    }
    auto login = std::dynamic_pointer_cast<LoginViewController>(topOf(root));
    if (!login->txtAccount() || !login->txtPassword()) {
        std::fprintf(stderr, "orb-client: the login screen has no layout (resources in %s?)\n",
            platform::AppPaths::resourcesDirectory().c_str());
        return 1;
    }
    login->txtAccount()->setText(account);
    login->txtPassword()->setText(password);
    render(directory, "02-login.png", written);
    login->btnLoginTouchUpInside(nullptr);
    login.reset();
    if (!waitFor([&] { return core::MyAccountInfo::currentAccount() && !root->presentedViewController(); }, 15)) {
        std::fprintf(stderr, "orb-client: signing in as %s did not succeed\n", account.c_str());
        return 1;
    }
    render(directory, "03-warm-prompt.png", written);
    root->closePromptWithNotNext(false);
    const char* names[] = { "04-tab-messages.png", "05-tab-circle.png", "06-tab-grid.png", "07-tab-contacts.png",
        "08-tab-settings.png" };
    for (long tab = 0; tab < 5; ++tab) {
        root->switchToView(tab);
        render(directory, names[tab], written);
    }
    root->switchToView(ORBViewController::kGridTab);
    std::printf("signed in as %s (%s); %zu screens written to %s:\n", account.c_str(),
        core::MyAccountInfo::currentAccount()->name.c_str(), written.size(), directory.c_str());
    for (const auto& path : written)
        std::printf("  %s\n", path.c_str());
    return 0;
}

// Work still running in the background at the end is waited for, at most
// kBackgroundGraceSeconds, and said so, as the messages on their way are: an
// address book half stored would be lost, and the work would run on into the
// exit handlers.
constexpr double kBackgroundGraceSeconds = 2.0;

void finishBackgroundWork()
{
    if (platform::drainBackgroundWork(0))
        return;
    std::printf("orb-client: waiting for work in the background\n");
    std::fflush(stdout);
    const bool finished = platform::drainBackgroundWork(kBackgroundGraceSeconds);
    std::printf(finished ? "orb-client: the work in the background has finished\n"
                         : "orb-client: work in the background is left unfinished\n");
    std::fflush(stdout);
}

// The screens go on the main thread while everything they reach still
// exists. Left to the exit handlers, an open chat would be destroyed after
// the process's shared objects it stops on the way out (the voice player,
// the audio session).
void closeScreens()
{
    UIViewController::resetWindowRoots();
    platform::ModalStack::clear();
    // The keyboard first, so that the field losing its focus announces nothing.
    platform::Keyboard::reset();
    UIResponder::forceResignCurrentFirstResponder();
    platform::Keyboard::reset();
    UIWindow::resetAllWindows();
    UIApplication::sharedApplication().reset();
    platform::RunLoop::main().discardPendingWork();
    // The requests those screens cancelled are finished on the network
    // thread; it ends here, before the exit handlers destroy what it uses.
    HTTPRequest::shutdownNetworkThread();
    // So does the work still running on the background pool (an address
    // book being read or stored) and on the operation queues (a picture
    // being written to the cache): the statics it reads and the libraries'
    // tables it uses go with the exit handlers.
    finishBackgroundWork();
}

// Messages already on their way when the client is told to end (a signal,
// the window closed) are given a moment to reach the server and be kept in
// the sender's history: otherwise the other side receives a message its
// sender never sees again. So is a poll on its way: the server hands each
// new message out once, and its answer is all there is of them. No poll
// starts meanwhile. The main loop runs, since the replies are handled there.
// A message still unanswered after it is kept as not sent, to be offered
// again at the next start; a poll still unanswered is cancelled, and what
// the server handed out with it is lost.
constexpr double kSendGraceSeconds = 2.0;

void finishWhatIsOnItsWay()
{
    auto loader = MessageLoader::shareLoader();
    auto polls = MessagePolls::shared();
    polls->stopStarting();
    if (loader->pendingCount() == 0 && polls->onTheirWay() == 0)
        return;
    std::printf("orb-client: waiting for %zu message(s) and %zu poll(s) on their way\n", loader->pendingCount(),
        polls->onTheirWay());
    std::fflush(stdout);
    waitFor([&] { return loader->pendingCount() == 0 && polls->onTheirWay() == 0; }, kSendGraceSeconds);
    if (loader->pendingCount() > 0) {
        std::printf("orb-client: %zu message(s) not answered in time are kept as not sent\n", loader->pendingCount());
        std::fflush(stdout);
        loader->keepOnTheirWayAsNotSent();
    }
    if (polls->onTheirWay() > 0) {
        std::printf("orb-client: %zu poll(s) not answered in time are cancelled\n", polls->cancelOnTheirWay());
        std::fflush(stdout);
    }
}

// Messages the store refused during the run are kept in memory and written
// once it takes writes again; so are failed sends the file of unsent
// messages could not take. The last chance is here, after the sends on
// their way are answered and before the screens and their stores go: a home
// that takes writes by now (room made, its folder writable again) keeps them
// past the run.
void storeKeptMessages()
{
    if (!UnsavedMessages::shared().storeKept())
        platform::log("messages the store refused could not be written at exit\n");
    if (!UnsentMessages::shared().writeKept())
        platform::log("messages that could not be sent could not be written at exit\n");
}

int runInWindow(platform::host::HostOptions options)
{
    // The window carries the application's name as its screens show it.
    if (options.title.empty())
        options.title = AboutViewController::kApplicationTitle;
    // Left to choose, SDL falls back to an invisible offscreen window when no
    // desktop answers: a window nobody sees is no window. Only the desktop's
    // drivers are tried (the one the environment names first), unless
    // SDL_VIDEODRIVER names one.
    if (const char* chosen = std::getenv("SDL_VIDEODRIVER"); !chosen || !*chosen) {
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        const char* x11 = std::getenv("DISPLAY");
        bool onWayland = wayland && *wayland;
        bool onX11 = x11 && *x11;
        setenv("SDL_VIDEODRIVER", onWayland ? "wayland,x11" : onX11 ? "x11" : "x11,wayland", 1);
    }
    // Calls and texts go to the desktop's own application for them, or the
    // screens say they cannot be placed here.
    platform::UrlOpener::shared().useDesktopHandlers();
    platform::host::DesktopHost host(options);
    std::string reason;
    if (!host.open(&reason)) {
        std::fprintf(stderr,
            "orb-client: cannot open the window: %s\n"
            "orb-client: run it on a desktop (DISPLAY or WAYLAND_DISPLAY), or headless with --tour DIR\n",
            reason.c_str());
        return 2;
    }
    platform::RunLoop::SourceId signalSource = 0;
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        signalSource
            = platform::RunLoop::main().addSource(signalPipe[0], platform::RunLoop::kReadable, [&host](std::uint32_t) {
                  char bytes[16];
                  while (read(signalPipe[0], bytes, sizeof bytes) > 0) { }
                  host.requestClose();
              });
        // A closed terminal (SIGHUP) ends the client as an interrupt does.
        for (int ending : kEndingSignals)
            std::signal(ending, onSignal);
    }
    auto& application = UIApplication::sharedApplication();
    application.setDelegate(std::make_shared<ORBAppDelegate>());
    int status = 0;
    if (application.launch({})) {
        std::printf("orb-client: the window \"%s\" shows the client against %s; close it to end\n",
            host.title().c_str(), core::ORBEndpoints::serverBase().c_str());
        std::fflush(stdout);
        // ORB_REPORT_FIRST_FRAME set (for the launch benchmark): one line once
        // the window has shown a frame with the login screen on top. The
        // host draws in its own before-waiting observer, added earlier, so
        // this one runs after it in the same turn.
        platform::RunLoop::ObserverId firstFrameObserver = 0;
        if (const char* report = std::getenv("ORB_REPORT_FIRST_FRAME"); report && *report) {
            auto delegate = std::dynamic_pointer_cast<ORBAppDelegate>(application.delegate());
            std::weak_ptr<ORBViewController> root = delegate ? delegate->viewController() : nullptr;
            firstFrameObserver = platform::RunLoop::main().addBeforeWaitingObserver(
                [&host, root, seen = std::uint64_t(0), reported = false]() mutable {
                    std::uint64_t frames = host.presentedFrames();
                    bool drawnNow = frames != seen;
                    seen = frames;
                    if (reported || !drawnNow)
                        return;
                    if (!std::dynamic_pointer_cast<LoginViewController>(topOf(root.lock())))
                        return;
                    reported = true;
                    std::printf("orb-client: first frame of the login screen shown\n");
                    std::fflush(stdout);
                });
        }
        host.run();
        if (firstFrameObserver)
            platform::RunLoop::main().removeBeforeWaitingObserver(firstFrameObserver);
        // Why it ends, for whoever reads the log.
        if (endingSignal)
            std::printf("orb-client: ends on signal %d\n", int(endingSignal));
        else
            std::printf("orb-client: ends: %s\n", host.closeReason().empty() ? "closed" : host.closeReason().c_str());
        std::fflush(stdout);
        finishWhatIsOnItsWay();
        storeKeptMessages();
    } else {
        status = 1;
    }
    // Closing the window ends the application as the phone ends it: what it
    // saves on termination is saved before the window goes.
    application.terminate();
    platform::UserDefaults::standard()->synchronize();
    if (signalSource) {
        // A second interrupt while the client winds down ends it at once.
        for (int ending : kEndingSignals)
            std::signal(ending, SIG_DFL);
        platform::RunLoop::main().removeSource(signalSource);
        close(signalPipe[0]);
        close(signalPipe[1]);
        signalPipe[0] = signalPipe[1] = -1;
    }
    closeScreens();
    host.close();
    return status;
}

int run(int argc, char** argv)
{
    std::string tourDirectory;
    std::string account = "13800000001";
    std::string password = "teacher123";
    bool verbose = false;
    platform::host::HostOptions window;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        bool hasValue = i + 1 < argc;
        if (option == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (option == "--tour" && hasValue) {
            tourDirectory = argv[++i];
        } else if (option == "--account" && hasValue) {
            account = argv[++i];
        } else if (option == "--password" && hasValue) {
            password = argv[++i];
        } else if (option == "--small-screen") {
            UIScreen::setKind(UIScreen::Kind::ThreePointFiveInch);
        } else if (option == "--actual-size") {
            window.actualSize = true;
        } else if (option == "--screenshots" && hasValue) {
            window.screenshotDirectory = argv[++i];
        } else if (option == "--silent") {
            window.sound = false;
        } else if (option == "--gl") {
            window.accelerated = true;
        } else if (option == "--verbose") {
            verbose = true;
        } else {
            std::fputs(kUsage, stderr);
            return 64;
        }
    }
    if (!verbose)
        platform::setLogSink([](std::string_view) {});
    // A reply's description is made for the log alone.
    core::ORBReplyParser::setDescribesRepliesInLog(verbose);
    switch (platform::allocatorBoundsState()) {
    case platform::AllocatorBoundsState::Set:
        platform::log("the allocator's bounds are set\n");
        break;
    case platform::AllocatorBoundsState::Refused:
        platform::log("the allocator's bounds are not set: another allocator is in use\n");
        break;
    case platform::AllocatorBoundsState::NotAsked:
        platform::log("the allocator's bounds were never asked for\n");
        break;
    }
    platform::RunLoop::setMainThread();
    platform::AppPaths::createAll();
#ifdef ORB_DEFAULT_RESOURCES
    // Run from the build tree: the resources are the repository's.
    if (!platform::FileUtil::isDirectory(
            platform::FileUtil::joinPath(platform::AppPaths::resourcesDirectory(), "layouts")))
        platform::AppPaths::setResourcesDirectory(ORB_DEFAULT_RESOURCES);
#endif
    app::registerAppClasses();
    messaging::registerMessagingClasses();
    content::registerContentClasses();
    app::registerProfileClasses();
    contacts::registerContactsClasses();
    teaching::registerTeachingClasses();
    circle::registerCircleClasses();

    if (tourDirectory.empty())
        return runInWindow(window);

    auto& application = UIApplication::sharedApplication();
    application.setDelegate(std::make_shared<ORBAppDelegate>());
    if (!application.launch({}))
        return 1;
    int status = tour(tourDirectory, account, password);
    storeKeptMessages();
    application.terminate();
    platform::UserDefaults::standard()->synchronize();
    closeScreens();
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    // Before anything is allocated in earnest: what the movie decoder's
    // threads free goes back to the system (see AllocatorBounds.h).
    platform::setAllocatorBounds();
    int status = run(argc, argv);
    platform::UserDefaults::standard()->synchronize();
    return status;
}
