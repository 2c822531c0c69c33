#include "tests/support/app/AppHarness.h"

#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/OperationQueue.h"
#include "platform/os/UserDefaults.h"
#include "platform/services/RemoteNotifications.h"
#include "platform/services/UrlOpener.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/ScreenFrames.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIKitRegistration.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/app/TestWatchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

using foundation::HTTPRequest;

#if defined(__SANITIZE_THREAD__)
#define ORB_THREAD_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORB_THREAD_CHECKER 1
#endif
#endif

#ifdef ORB_THREAD_CHECKER
// The screens' programs may open web pages, and the browser engine's GLib
// takes reader-writer locks in its own uninstrumented code, which the thread
// checker's lock-order detector follows only in part: it stops the program
// on its own internal check when GIO registers its schemes. Races are still
// checked here; lock order is checked in the programs of the layers that own
// the locks (the HTTP engine, storage, the run loop), which open no pages.
extern "C" const char* __tsan_default_options() { return "detect_deadlocks=0"; }
#endif

namespace testsupport {

NotificationRecorder::NotificationRecorder()
{
    token_ = platform::NotificationCenter::defaultCenter().addObserver(
        "", platform::Value(), [this](const platform::Notification& n) { posted_.push_back(n); });
}

std::vector<std::string> NotificationRecorder::names() const
{
    std::vector<std::string> result;
    for (const auto& n : posted_)
        result.push_back(n.name);
    return result;
}

std::size_t NotificationRecorder::count(const std::string& name) const
{
    return std::size_t(
        std::count_if(posted_.begin(), posted_.end(), [&](const platform::Notification& n) { return n.name == name; }));
}

namespace {

    // The view layer's process-wide state back to a new process's.
    void resetViewLayer()
    {
        UIViewController::resetWindowRoots();
        resetUIKitState();
        UINavigationBar::resetAppearance();
        UIApplication::sharedApplication().reset();
        platform::LayoutLoader::clearOverrideDirectories();
        platform::UrlOpener::shared().resetForTesting();
        platform::RemoteNotifications::shared().resetForTesting();
        // The session lives in memory: a new process starts signed out.
        core::MyAccountInfo::setInstance(nullptr);
        core::MyAccountInfo::setDeviceToken(std::nullopt);
    }

    std::string repositoryResources()
    {
        return testsupport::sourcePath("resources");
    }

    void collect(const std::shared_ptr<UIView>& root, const std::function<bool(const std::shared_ptr<UIView>&)>& match,
        std::vector<std::shared_ptr<UIView>>& out)
    {
        if (!root)
            return;
        if (match(root))
            out.push_back(root);
        for (const auto& subview : root->subviews())
            collect(subview, match, out);
    }

    // A request a screen started at the end of a test (a picture for a
    // cell, say) may still be running on the network thread when the
    // program exits, and the exit handlers destroy what it uses; so may an
    // address book read on the background pool or a picture written by the
    // image cache's queue. They end after the last test, before the exit
    // handlers, as the client's own exit ends them.
    class NetworkThreadEnd final : public ::testing::Environment {
    public:
        void TearDown() override
        {
            HTTPRequest::shutdownNetworkThread();
            platform::drainBackgroundWork();
        }
    };

    void endNetworkThreadWithTheTests()
    {
        static std::once_flag once;
        std::call_once(once, [] { ::testing::AddGlobalTestEnvironment(new NetworkThreadEnd); });
    }

} // namespace

AppHarness::AppHarness(AppHarnessOptions options)
    : options_(std::move(options))
{
    installTestWatchdog();
    endNetworkThreadWithTheTests();
}

AppHarness::~AppHarness() { stop(); }

bool AppHarness::start(std::shared_ptr<UIApplicationDelegate> delegate, const platform::Dictionary& launchOptions)
{
    if (running_)
        stop();
    platform::RunLoop::setMainThread();
    auto& mainLoop = platform::RunLoop::main();
    if (!mainLoop.isCurrent()) {
        platform::log("AppHarness: start it on the main thread");
        return false;
    }
    mainLoop.discardPendingWork();
    clock_ = std::make_shared<platform::ManualClock>(0);
    mainLoop.setClock(clock_);
    resetViewLayer();
    environmentUp_ = true;

    if (!options_.home.empty()) {
        home_ = options_.home;
    } else {
        std::string pattern = "/tmp/orb-app-XXXXXX";
        if (!mkdtemp(pattern.data())) {
            platform::log("AppHarness: no temporary home");
            tearDown();
            return false;
        }
        home_ = pattern;
    }
    platform::AppPaths::setHome(home_);
    platform::AppPaths::createAll();
    platform::AppPaths::setResourcesDirectory(
        options_.resourcesDirectory.empty() ? repositoryResources() : options_.resourcesDirectory);
    UIScreen::setKind(options_.screen);

    previousReachability_ = platform::Reachability::provider();
    reachability_ = std::make_shared<platform::FixedReachabilityProvider>(options_.reachability);
    platform::Reachability::setProvider(reachability_);

    previousServerBase_ = core::ORBEndpoints::serverBase();
    if (options_.startServer) {
        server::ServerOptions serverOptions;
        serverOptions.dataDirectory = platform::FileUtil::joinPath(home_, "standin");
        serverOptions.workerThreads = 4;
        server_ = std::make_unique<server::StandinServer>(serverOptions);
        platform::Error error;
        if (!server_->start(&error)) {
            platform::log("AppHarness: the stand-in server did not start: %s", error.localizedDescription().c_str());
            tearDown();
            return false;
        }
        core::ORBEndpoints::setServerBase(server_->baseUrl());
    }
    platform::registerUIKitClasses();
    notifications_ = std::make_unique<NotificationRecorder>();
    auto& push = platform::RemoteNotifications::shared();
    if (options_.pushToken)
        push.answerWithToken(*options_.pushToken);
    push.setHoldAnswers(options_.holdPushRegistration);

    if (options_.drawFrames) {
        framesDrawn_ = 0;
        frameObserver_ = mainLoop.addBeforeWaitingObserver([this] { drawFrame(); });
        platform::ScreenFrames::setPresenting(true);
    }

    auto& application = UIApplication::sharedApplication();
    application.setDelegate(std::move(delegate));
    running_ = true;
    bool launched = application.launch(launchOptions);
    mainLoop.runUntilIdle();
    return launched;
}

void AppHarness::stop()
{
    if (running_) {
        UIApplication::sharedApplication().terminate();
        running_ = false;
    }
    tearDown();
}

void AppHarness::tearDown()
{
    if (!environmentUp_)
        return;
    environmentUp_ = false;
    auto& mainLoop = platform::RunLoop::main();
    if (frameObserver_) {
        mainLoop.removeBeforeWaitingObserver(frameObserver_);
        frameObserver_ = 0;
        // What waited for a frame is posted, and dropped with the rest below.
        platform::ScreenFrames::setPresenting(false);
    }
    resetViewLayer();
    mainLoop.discardPendingWork();
    notifications_.reset();
    if (server_) {
        server_->stop();
        server_.reset();
    }
    if (!previousServerBase_.empty())
        core::ORBEndpoints::setServerBase(previousServerBase_);
    platform::Reachability::setProvider(previousReachability_);
    reachability_.reset();
    // Writes the settings out before their folder goes away.
    platform::UserDefaults::standard()->synchronize();
    platform::AppPaths::resetHome();
    platform::AppPaths::resetResourcesDirectory();
    if (!home_.empty() && options_.home.empty())
        platform::FileUtil::remove(home_);
    home_.clear();
    mainLoop.discardPendingWork();
    mainLoop.setClock(nullptr);
    clock_.reset();
}

void AppHarness::drawFrame()
{
    if (auto w = window())
        w->layoutIfNeeded();
    // Nothing to draw (no window yet) is what the glass shows too.
    if (auto frame = UIWindow::renderScreen()) {
        ++framesDrawn_;
        if (frameWatcher_)
            frameWatcher_(*frame);
    }
    platform::ScreenFrames::frameShown();
}

std::string AppHarness::serverBase() const { return server_ ? server_->baseUrl() : core::ORBEndpoints::serverBase(); }

void AppHarness::setReachability(std::optional<platform::ReachabilityFlags> flags)
{
    if (reachability_)
        reachability_->setFlags(flags);
}

bool AppHarness::answerPushRegistration()
{
    bool answered = platform::RemoteNotifications::shared().deliverPendingAnswer();
    loop().runUntilIdle();
    return answered;
}

bool AppHarness::deliverPush(const platform::Dictionary& payload)
{
    bool delivered = platform::RemoteNotifications::shared().deliverRemoteNotification(payload);
    loop().runUntilIdle();
    return delivered;
}

// ---- Drivers ---------------------------------------------------------------------

bool AppHarness::signIn(const std::string& account, const std::string& password, double realTimeoutSeconds)
{
    auto accountField = std::dynamic_pointer_cast<UITextField>(viewByOutlet("txtAccount"));
    auto passwordField = std::dynamic_pointer_cast<UITextField>(viewByOutlet("txtPassword"));
    auto loginButton = viewByOutlet("btnLogin");
    auto loginScreen = topScreen();
    if (!accountField || !passwordField || !loginButton || !loginScreen)
        return false;
    accountField->setText("");
    passwordField->setText("");
    if (!type(accountField, account) || !type(passwordField, password) || !tap(loginButton))
        return false;
    // Done when the login screen is no longer what the person sees, or it
    // says something (an overlay text other than the waiting one, an alert).
    return runUntil(
        [&] {
            std::string text = overlayText();
            return topScreen() != loginScreen || core::MyAccountInfo::currentAccount() || currentAlert()
                || (!text.empty() && text != "登录中");
        },
        realTimeoutSeconds);
}

bool AppHarness::tap(const std::shared_ptr<UIView>& view)
{
    bool landed = testsupport::tap(view);
    loop().runUntilIdle();
    return landed;
}

bool AppHarness::tapButton(const std::string& title)
{
    auto windows = UIWindow::visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if (testsupport::tapButton(*it, title)) {
            loop().runUntilIdle();
            return true;
        }
    }
    return false;
}

bool AppHarness::type(const std::shared_ptr<UITextField>& field, const std::string& text)
{
    bool typed = testsupport::type(field, text);
    loop().runUntilIdle();
    return typed;
}

bool AppHarness::returnKey(const std::shared_ptr<UITextField>& field)
{
    bool handled = testsupport::returnKey(field);
    loop().runUntilIdle();
    return handled;
}

bool AppHarness::tapAlertButton(const std::string& title)
{
    bool pressed = testsupport::tapAlertButton(title);
    loop().runUntilIdle();
    return pressed;
}

bool AppHarness::tapAlertButton(long index)
{
    bool pressed = testsupport::tapAlertButton(index);
    loop().runUntilIdle();
    return pressed;
}

bool AppHarness::selectRow(const std::shared_ptr<UITableView>& table, long section, long row)
{
    if (!table || section < 0 || row < 0 || section >= table->numberOfSections()
        || row >= table->numberOfRowsInSection(section))
        return false;
    auto path = NSIndexPath::indexPathForRow(row, section);
    table->scrollToRowAtIndexPath(path, UITableViewScrollPositionNone, false);
    table->layoutIfNeeded();
    auto cell = table->cellForRowAtIndexPath(path);
    return cell && tap(cell);
}

bool AppHarness::swipe(const std::shared_ptr<UIView>& view, SwipeDirection direction)
{
    bool landed = testsupport::swipe(view, direction);
    loop().runUntilIdle();
    return landed;
}

bool AppHarness::longPress(const std::shared_ptr<UIView>& view, double seconds)
{
    return testsupport::longPress(view, seconds);
}

void AppHarness::drag(const std::shared_ptr<UIScrollView>& scrollView, double dy, int steps, bool decelerate)
{
    if (!scrollView)
        return;
    scrollView->drag(0, dy, std::max(1, steps), decelerate);
    loop().runUntilIdle();
}

void AppHarness::advance(double seconds) { loop().advance(seconds); }

bool AppHarness::runUntil(const std::function<bool()>& predicate, double realTimeoutSeconds)
{
    return loop().runUntil(predicate, realTimeoutSeconds);
}

bool AppHarness::runUntilAnswered(const std::string& command, std::size_t count, double realTimeoutSeconds)
{
    if (!server_)
        return false;
    return runUntil([&] { return answeredCount(command) >= count; }, realTimeoutSeconds);
}

std::size_t AppHarness::answeredCount(const std::string& command) const
{
    if (!server_)
        return 0;
    auto requests = server_->requests().withCommand(command);
    return std::size_t(std::count_if(requests.begin(), requests.end(), [](const auto& r) { return r.answered; }));
}

// ---- Queries -------------------------------------------------------------------------

std::shared_ptr<UIWindow> AppHarness::window() const
{
    if (auto delegate = UIApplication::sharedApplication().delegate())
        if (auto window = delegate->window())
            return window;
    return UIWindow::keyWindow();
}

std::shared_ptr<UIViewController> AppHarness::rootViewController() const
{
    auto w = window();
    return w ? UIViewController::rootViewControllerOf(w.get()) : nullptr;
}

std::shared_ptr<UIViewController> AppHarness::presentedScreen() const
{
    auto root = rootViewController();
    if (!root)
        return nullptr;
    std::shared_ptr<UIViewController> presented;
    // A pushed screen presents from its outermost parent, so look at every
    // controller under the root for one that presents.
    std::function<std::shared_ptr<UIViewController>(const std::shared_ptr<UIViewController>&)> find
        = [&](const std::shared_ptr<UIViewController>& controller) -> std::shared_ptr<UIViewController> {
        if (auto shown = controller->presentedViewController())
            return shown;
        for (const auto& child : controller->childViewControllers())
            if (auto shown = find(child))
                return shown;
        return nullptr;
    };
    for (auto shown = find(root); shown; shown = find(shown))
        presented = shown;
    return presented;
}

std::shared_ptr<UINavigationController> AppHarness::visibleNavigationController() const
{
    auto controller = presentedScreen();
    if (!controller)
        controller = rootViewController();
    for (int depth = 0; controller && depth < 32; ++depth) {
        if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(controller))
            return navigation;
        std::shared_ptr<UIViewController> next;
        for (const auto& child : controller->childViewControllers()) {
            if (child->isViewLoaded() && isShownOnScreen(child->view())) {
                next = child;
                break;
            }
        }
        controller = next;
    }
    return nullptr;
}

std::vector<std::shared_ptr<UIViewController>> AppHarness::navigationStack() const
{
    auto navigation = visibleNavigationController();
    return navigation ? navigation->viewControllers() : std::vector<std::shared_ptr<UIViewController>> {};
}

std::shared_ptr<UIViewController> AppHarness::topScreen() const
{
    auto controller = presentedScreen();
    if (!controller)
        controller = rootViewController();
    for (int depth = 0; controller && depth < 32; ++depth) {
        std::shared_ptr<UIViewController> next;
        if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(controller)) {
            next = navigation->topViewController();
        } else {
            for (const auto& child : controller->childViewControllers()) {
                if (child->isViewLoaded() && isShownOnScreen(child->view())) {
                    next = child;
                    break;
                }
            }
        }
        if (!next)
            return controller;
        controller = next;
    }
    return controller;
}

std::shared_ptr<UIAlertView> AppHarness::currentAlert() const { return testsupport::currentAlert(); }

std::vector<std::shared_ptr<UIView>> AppHarness::viewsByClass(const std::string& className) const
{
    std::vector<std::shared_ptr<UIView>> found;
    auto windows = UIWindow::visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        auto views = findViewsByClass(*it, className);
        found.insert(found.end(), views.begin(), views.end());
    }
    return found;
}

std::shared_ptr<UIView> AppHarness::viewByOutlet(const std::string& outlet) const
{
    auto windows = UIWindow::visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (auto view = findViewByOutlet(*it, outlet))
            return view;
    return nullptr;
}

std::shared_ptr<UIView> AppHarness::viewByTag(int tag) const
{
    auto windows = UIWindow::visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        if (auto view = findViewByTag(*it, tag))
            return view;
    return nullptr;
}

std::shared_ptr<UIView> AppHarness::viewByText(const std::string& text) const
{
    auto windows = UIWindow::visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        std::vector<std::shared_ptr<UIView>> found;
        collect(
            *it, [&](const std::shared_ptr<UIView>& view) { return isShownOnScreen(view) && textOf(view) == text; },
            found);
        if (!found.empty())
            return found.front();
    }
    return nullptr;
}

std::shared_ptr<platform::UserDefaults> AppHarness::userDefaults() const { return platform::UserDefaults::standard(); }

const std::vector<platform::AnimationRecord>& AppHarness::animations() const
{
    return platform::AnimationLog::records();
}

std::vector<std::string> AppHarness::openedURLs() const
{
    // The application's openURL and the URL opener service both stand for the phone.
    auto urls = UIApplication::sharedApplication().openedURLs();
    const auto& serviceURLs = platform::UrlOpener::shared().openedURLs();
    urls.insert(urls.end(), serviceURLs.begin(), serviceURLs.end());
    return urls;
}

std::vector<server::LoggedRequest> AppHarness::serverRequests() const
{
    return server_ ? server_->requests().all() : std::vector<server::LoggedRequest> {};
}

std::string AppHarness::overlayText() const
{
    // Overlays are found by class name, so the harness needs no link to the
    // toolkit; an overlay's first label is its main line. Windows come
    // topmost first, and within one the later subview is on top.
    auto windows = UIWindow::visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        auto overlays = testsupport::findViewsByClass(*it, "ProgressOverlay");
        for (auto overlay = overlays.rbegin(); overlay != overlays.rend(); ++overlay) {
            if (!testsupport::isShownOnScreen(*overlay))
                continue;
            auto labels = testsupport::findViewsByClass(*overlay, "UILabel");
            return labels.empty() ? std::string() : testsupport::textOf(labels.front());
        }
    }
    return {};
}

std::string AppHarness::render(const std::string& name) const
{
    std::string directory = options_.renderDirectory;
    if (directory.empty()) {
        char cwd[4096];
        directory = platform::FileUtil::joinPath(getcwd(cwd, sizeof cwd) ? cwd : ".", "renders");
    }
    if (!platform::FileUtil::createDirectory(directory) && !platform::FileUtil::isDirectory(directory))
        return "";
    auto path = platform::FileUtil::joinPath(directory, name);
    if (auto w = window())
        w->layoutIfNeeded();
    return UIWindow::renderScreenToPNG(path) ? path : "";
}

bool AppHarness::roundTrip(double realTimeoutSeconds)
{
    auto url = platform::Url::parse(serverBase() + "mobile2/pull/round-trip");
    if (!url)
        return false;
    auto request = HTTPRequest::requestWithURL(*url);
    auto back = std::make_shared<bool>(false);
    request->setCompletionBlock([back] { *back = true; });
    request->setFailedBlock([back] { *back = true; });
    request->startAsynchronous();
    return runUntil([back] { return *back; }, realTimeoutSeconds);
}

bool AppHarness::runUntilOverlayGone(double realTimeoutSeconds)
{
    return roundTrip(realTimeoutSeconds) && runUntil([this] { return overlayText().empty(); }, realTimeoutSeconds);
}

bool AppHarness::waitForServerQuiet(double realTimeoutSeconds)
{
    if (!server_ || !roundTrip(realTimeoutSeconds))
        return false;
    const auto& log = server_->requests();
    bool answered = runUntil(
        [&] {
            auto all = log.all();
            return std::all_of(all.begin(), all.end(), [](const server::LoggedRequest& r) { return r.answered; });
        },
        realTimeoutSeconds);
    return answered && roundTrip(realTimeoutSeconds);
}

} // namespace testsupport
