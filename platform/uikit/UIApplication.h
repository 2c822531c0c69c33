#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class UIApplication;
class UIWindow;

enum UIRemoteNotificationType : unsigned {
    UIRemoteNotificationTypeNone = 0,
    UIRemoteNotificationTypeBadge = 1 << 0,
    UIRemoteNotificationTypeSound = 1 << 1,
    UIRemoteNotificationTypeAlert = 1 << 2,
};

enum UIApplicationState {
    UIApplicationStateActive = 0,
    UIApplicationStateInactive = 1,
    UIApplicationStateBackground = 2,
};

enum UIStatusBarStyle {
    UIStatusBarStyleDefault = 0,
    UIStatusBarStyleLightContent = 1,
};

inline constexpr const char* UIApplicationDidBecomeActiveNotification = "UIApplicationDidBecomeActiveNotification";
inline constexpr const char* UIApplicationWillResignActiveNotification = "UIApplicationWillResignActiveNotification";
inline constexpr const char* UIApplicationDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* UIApplicationWillEnterForegroundNotification = "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* UIApplicationWillTerminateNotification = "UIApplicationWillTerminateNotification";
inline constexpr const char* UIApplicationDidFinishLaunchingNotification = "UIApplicationDidFinishLaunchingNotification";
inline constexpr const char* UIApplicationDidReceiveMemoryWarningNotification
    = "UIApplicationDidReceiveMemoryWarningNotification";
// Posted after the status bar's orientation changed; the user info holds the
// orientation before under UIApplicationStatusBarOrientationUserInfoKey.
inline constexpr const char* UIApplicationDidChangeStatusBarOrientationNotification
    = "UIApplicationDidChangeStatusBarOrientationNotification";
inline constexpr const char* UIApplicationStatusBarOrientationUserInfoKey
    = "UIApplicationStatusBarOrientationUserInfoKey";

// The application object's delegate: the program's start-up and life cycle.
class UIApplicationDelegate {
public:
    virtual ~UIApplicationDelegate() = default;
    virtual bool didFinishLaunchingWithOptions(UIApplication*, const platform::Dictionary& /*options*/) { return true; }
    virtual void didRegisterForRemoteNotificationsWithDeviceToken(UIApplication*, const platform::Bytes&) { }
    virtual void didFailToRegisterForRemoteNotificationsWithError(UIApplication*, const platform::Error&) { }
    virtual void didReceiveRemoteNotification(UIApplication*, const platform::Dictionary& /*userInfo*/) { }
    virtual void applicationDidBecomeActive(UIApplication*) { }
    virtual void applicationWillResignActive(UIApplication*) { }
    virtual void applicationDidEnterBackground(UIApplication*) { }
    virtual void applicationWillEnterForeground(UIApplication*) { }
    virtual void applicationWillTerminate(UIApplication*) { }
    virtual void applicationDidReceiveMemoryWarning(UIApplication*) { }
    // The application's main window (the delegate's window property).
    virtual std::shared_ptr<UIWindow> window() const { return nullptr; }
};

// The process's application object. The life cycle is driven by whoever
// stands for the phone: the harness in tests, the host program otherwise.
// The delegate is kept alive by the application, as the phone does.
class UIApplication final {
public:
    static UIApplication& sharedApplication();

    std::shared_ptr<UIApplicationDelegate> delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<UIApplicationDelegate> delegate) { delegate_ = std::move(delegate); }
    UIApplicationState applicationState() const { return state_; }
    std::shared_ptr<UIWindow> keyWindow() const;
    std::vector<std::shared_ptr<UIWindow>> windows() const;

    // ---- Life cycle (driven from outside) -----------------------------------
    // didFinishLaunchingWithOptions, then active. Returns the delegate's answer.
    bool launch(const platform::Dictionary& options = {});
    void resignActive();
    void enterBackground(); // resigns active first when needed
    void enterForeground(); // then becomes active
    void becomeActive();
    void terminate();
    void receiveMemoryWarning();

    // ---- Badge, URLs ----------------------------------------------------------
    long applicationIconBadgeNumber() const { return badge_; }
    void setApplicationIconBadgeNumber(long number) { badge_ = number < 0 ? 0 : number; }
    // Every URL asked to open is recorded; it opens when its scheme is openable.
    bool openURL(const std::string& url);
    bool canOpenURL(const std::string& url) const;
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    void setOpenableSchemes(std::set<std::string> schemes) { openableSchemes_ = std::move(schemes); }
    const std::set<std::string>& openableSchemes() const { return openableSchemes_; }

    // ---- Push registration ------------------------------------------------------
    void registerForRemoteNotificationTypes(unsigned types);
    unsigned requestedRemoteNotificationTypes() const { return requestedTypes_; }
    bool isRegistrationPending() const { return registrationPending_; }
    unsigned long registrationRequestCount() const { return registrationRequests_; }
    // The answers the phone would give (the harness calls these).
    void answerRemoteRegistration(const platform::Bytes& deviceToken);
    void failRemoteRegistration(const platform::Error& error);
    void deliverRemoteNotification(const platform::Dictionary& userInfo);
    void cancelAllLocalNotifications() { ++cancelledLocalNotifications_; }
    unsigned long cancelledLocalNotificationCount() const { return cancelledLocalNotifications_; }

    // ---- Status bar and indicators ----------------------------------------------
    double statusBarHeight() const { return statusBarHidden_ ? 0 : 20; }
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool hidden, bool animated = false);
    UIStatusBarStyle statusBarStyle() const { return statusBarStyle_; }
    void setStatusBarStyle(UIStatusBarStyle style, bool animated = false);
    // The interface orientation in effect, as the status bar shows it (a
    // UIInterfaceOrientation value: 1 portrait, 2 upside down, 3 landscape
    // right, 4 landscape left). The program runs in portrait; presenting a
    // controller that prefers another orientation turns it, and dismissing
    // that controller turns it back. The view layer keeps drawing the phone's
    // portrait screen either way (a landscape screen draws itself turned); a
    // host that shows the screen on a desktop turns its picture by this.
    // A change posts UIApplicationDidChangeStatusBarOrientationNotification;
    // a value that is no orientation is ignored.
    long statusBarOrientation() const { return statusBarOrientation_; }
    void setStatusBarOrientation(long orientation, bool animated = false);
    static bool isValidInterfaceOrientation(long orientation) { return orientation >= 1 && orientation <= 4; }
    bool isNetworkActivityIndicatorVisible() const { return networkIndicator_; }
    void setNetworkActivityIndicatorVisible(bool visible) { networkIndicator_ = visible; }
    // Background tasks have nothing to keep alive here; ids only.
    unsigned long beginBackgroundTask(std::function<void()> expiration = {});
    void endBackgroundTask(unsigned long identifier);

    // Test support: back to a new application's state.
    void reset();

private:
    UIApplication();
    void post(const char* name);

    std::shared_ptr<UIApplicationDelegate> delegate_;
    UIApplicationState state_ = UIApplicationStateInactive;
    long badge_ = 0;
    std::vector<std::string> openedURLs_;
    std::set<std::string> openableSchemes_;
    unsigned requestedTypes_ = 0;
    bool registrationPending_ = false;
    unsigned long registrationRequests_ = 0;
    unsigned long cancelledLocalNotifications_ = 0;
    bool statusBarHidden_ = false;
    UIStatusBarStyle statusBarStyle_ = UIStatusBarStyleDefault;
    bool networkIndicator_ = false;
    long statusBarOrientation_ = 1;
    unsigned long nextBackgroundTask_ = 1;
};
