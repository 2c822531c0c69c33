#pragma once

#include "platform/graphics/Image.h"
#include "platform/net/Reachability.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Value.h"
#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/UIScreen.h"
#include "server/RequestLog.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIAlertView;
class UIApplicationDelegate;
class UINavigationController;
class UIScrollView;
class UITableView;
class UITextField;
class UIView;
class UIViewController;
class UIWindow;

namespace platform {
class UserDefaults;
}
namespace server {
class StandinServer;
}

namespace testsupport {

// Every notification posted on the default centre while the recorder lives.
class NotificationRecorder final {
public:
    NotificationRecorder();
    const std::vector<platform::Notification>& posted() const { return posted_; }
    std::vector<std::string> names() const;
    std::size_t count(const std::string& name) const;
    void clear() { posted_.clear(); }

private:
    std::vector<platform::Notification> posted_;
    platform::ObserverToken token_;
};

struct AppHarnessOptions {
    UIScreen::Kind screen = UIScreen::Kind::FourInch;
    // What reachability answers for every target; nullopt: "cannot tell".
    std::optional<platform::ReachabilityFlags> reachability
        = platform::kReachabilityFlagReachable | platform::kReachabilityFlagIsDirect;
    // An in-process stand-in server on an ephemeral port, made the client's server base.
    bool startServer = true;
    // Empty: the repository's resources/ folder.
    std::string resourcesDirectory;
    // Where render() writes; empty: "renders" under the working directory
    // (the test executable's build folder).
    std::string renderDirectory;
    // An existing home folder, kept when the harness stops (a second start
    // on it is the program's next run); empty: a fresh temporary home,
    // removed at the end.
    std::string home;
    // How push registration answers: with this device token, or (nullopt)
    // with the error of a machine without a push service.
    std::optional<platform::Bytes> pushToken;
    // Registrations wait for answerPushRegistration() instead of being
    // answered on the next turn of the loop.
    bool holdPushRegistration = false;
    // Draws frames as the window host does: before the loop waits, on every
    // turn, the screen is drawn and the view layer told that the glass shows
    // it (ScreenFrames), so work that waits for a frame waits for these.
    // Each frame goes to the frame watcher. Costs a drawing of the screen a
    // turn: for the tests of what a frame shows.
    bool drawFrames = false;
};

// Runs an application in-process the way the phone would, for screen tests:
// a fresh temporary home, the resources folder, the main loop on a manual
// clock, the chosen screen, injected reachability, a stand-in server and the
// web page loader. One harness at a time (the view layer is process-wide);
// the destructor puts every process-wide piece back.
class AppHarness final {
public:
    explicit AppHarness(AppHarnessOptions options = {});
    ~AppHarness();
    AppHarness(const AppHarness&) = delete;
    AppHarness& operator=(const AppHarness&) = delete;

    // Sets the environment up, hands the delegate to the application and
    // launches it, then runs what the launch posted. Returns the delegate's
    // answer; false also when the environment could not be set up.
    bool start(std::shared_ptr<UIApplicationDelegate> delegate, const platform::Dictionary& launchOptions = {});
    // Terminates the application and tears the environment down (the destructor does it too).
    void stop();
    bool isRunning() const { return running_; }

    // ---- Environment --------------------------------------------------------
    const std::string& home() const { return home_; }
    server::StandinServer* server() const { return server_.get(); }
    std::string serverBase() const;
    platform::RunLoop& loop() const { return platform::RunLoop::main(); }
    void setReachability(std::optional<platform::ReachabilityFlags> flags);
    // Answers the oldest held push registration (see holdPushRegistration);
    // false when none waits.
    bool answerPushRegistration();
    // A push arriving while the application runs.
    bool deliverPush(const platform::Dictionary& payload);

    // ---- Drivers -----------------------------------------------------------------
    bool tap(const std::shared_ptr<UIView>& view);
    // The first visible button with that title, in the key window or a modal window.
    bool tapButton(const std::string& title);
    bool type(const std::shared_ptr<UITextField>& field, const std::string& text);
    bool returnKey(const std::shared_ptr<UITextField>& field);
    bool tapAlertButton(const std::string& title);
    bool tapAlertButton(long index);
    // Brings the row into view and taps it through the window, as a finger would.
    bool selectRow(const std::shared_ptr<UITableView>& table, long section, long row);
    bool swipe(const std::shared_ptr<UIView>& view, SwipeDirection direction);
    bool swipeRight(const std::shared_ptr<UIView>& view) { return swipe(view, SwipeDirection::Right); }
    bool longPress(const std::shared_ptr<UIView>& view, double seconds = 0.6);
    // Signs in through the login screen on top as a person would: types into
    // the fields with the outlets "txtAccount" and "txtPassword", taps the
    // button "btnLogin" and waits for the reply to be handled (the login
    // screen gone, an account chooser, an alert or an overlay message).
    // False when there is no login screen or nothing came of it.
    bool signIn(const std::string& account, const std::string& password, double realTimeoutSeconds = kDefaultWait);
    // A finger dragging the content by dy (positive pulls down), in steps, then lifting.
    void drag(const std::shared_ptr<UIScrollView>& scrollView, double dy, int steps = 4, bool decelerate = false);
    // Moves the manual clock, firing what falls due, then runs what was posted.
    void advance(double seconds);
    // Pumps the loop (network completions arrive in real time) until the
    // predicate holds; bounded by realTimeoutSeconds.
    bool runUntil(const std::function<bool()>& predicate, double realTimeoutSeconds = kDefaultWait);
    // Pumps the loop until the stand-in server has answered `count` requests
    // with this command in all (the reply has left the server; what the
    // client does with it is the test's next wait).
    bool runUntilAnswered(const std::string& command, std::size_t count = 1, double realTimeoutSeconds = kDefaultWait);
    // Sends one request of its own to the stand-in server and pumps the loop
    // until its answer has reached the main thread: what the client sent
    // before, and answers the server gave before, have had their turn. The
    // ground for a check that something did not happen. The request shows in
    // the server's log under the route "round-trip".
    bool roundTrip(double realTimeoutSeconds = kDefaultWait);
    // Waits until the stand-in server has answered every request it has
    // taken (none may be held behind a gate), between two round trips: the
    // answers have reached the client and had their turn.
    bool waitForServerQuiet(double realTimeoutSeconds = kDefaultWait);
    // Waits until no overlay with a text covers the windows. A request puts
    // its loading overlay up when it starts on the network thread, which
    // reaches the main loop a moment later: a round trip first, so that an
    // overlay of a request already sent has had its turn and, seen gone, is
    // gone for good.
    bool runUntilOverlayGone(double realTimeoutSeconds = kDefaultWait);
    // How many requests with this command the server has answered so far.
    std::size_t answeredCount(const std::string& command) const;

    // Waits cost time only when a test fails, so they are long enough for a
    // loaded machine.
    static constexpr double kDefaultWait = 30;

    // ---- Queries -------------------------------------------------------------------
    std::shared_ptr<UIWindow> window() const;
    std::shared_ptr<UIViewController> rootViewController() const;
    // The controller shown modally on top, or nullptr.
    std::shared_ptr<UIViewController> presentedScreen() const;
    // The navigation controller the person sees: inside what is presented
    // on top, else under the root, following the children shown on screen.
    std::shared_ptr<UINavigationController> visibleNavigationController() const;
    std::vector<std::shared_ptr<UIViewController>> navigationStack() const;
    // The innermost controller the person sees.
    std::shared_ptr<UIViewController> topScreen() const;
    std::shared_ptr<UIAlertView> currentAlert() const;
    // Searches the visible windows, topmost first.
    std::vector<std::shared_ptr<UIView>> viewsByClass(const std::string& className) const;
    std::shared_ptr<UIView> viewByOutlet(const std::string& outlet) const;
    std::shared_ptr<UIView> viewByTag(int tag) const;
    std::shared_ptr<UIView> viewByText(const std::string& text) const;
    // The main line of the topmost progress overlay the person sees (the
    // window's utility overlay or a screen's own), "" when none shows.
    std::string overlayText() const;
    std::shared_ptr<platform::UserDefaults> userDefaults() const;
    const NotificationRecorder& notifications() const { return *notifications_; }
    const std::vector<platform::AnimationRecord>& animations() const;
    std::vector<std::string> openedURLs() const;
    std::vector<server::LoggedRequest> serverRequests() const;

    // ---- Frames (drawFrames) -----------------------------------------------------
    // Called with each frame as it is drawn, before the view layer hears of it.
    using FrameWatcher = std::function<void(const platform::Image& frame)>;
    void setFrameWatcher(FrameWatcher watcher) { frameWatcher_ = std::move(watcher); }
    std::uint64_t framesDrawn() const { return framesDrawn_; }

    // Draws the screen (every visible window) into <render directory>/name;
    // returns the file's path, "" when nothing could be written.
    std::string render(const std::string& name) const;

private:
    void tearDown();
    void drawFrame();

    AppHarnessOptions options_;
    bool running_ = false;
    bool environmentUp_ = false;
    std::string home_;
    std::shared_ptr<platform::ManualClock> clock_;
    std::unique_ptr<server::StandinServer> server_;
    std::string previousServerBase_;
    std::shared_ptr<platform::ReachabilityProvider> previousReachability_;
    std::shared_ptr<platform::FixedReachabilityProvider> reachability_;
    std::unique_ptr<NotificationRecorder> notifications_;
    platform::RunLoop::ObserverId frameObserver_ = 0;
    FrameWatcher frameWatcher_;
    std::uint64_t framesDrawn_ = 0;
};

} // namespace testsupport
