#pragma once

#include "app/startup/NotificationInfo.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"

#include <map>
#include <memory>
#include <string>

class ORBViewController;
class UIWindow;

inline constexpr const char* kApplicationRegistRemoteFinishedNotification
    = "ApplicationRegistRemoteFinishedNotification";
inline constexpr const char* UIApplicationLaunchOptionsRemoteNotificationKey
    = "UIApplicationLaunchOptionsRemoteNotificationKey";

// The application delegate: prepares audio and push, makes the window with
// the main screen, keeps the push device token, and turns a push that
// announces a new version into an alert, held back until the main screen has
// first appeared. Launch opens no database, sends no request, starts no timer.
class ORBAppDelegate final : public UIApplicationDelegate,
                             public UIAlertViewDelegate,
                             public std::enable_shared_from_this<ORBAppDelegate> {
public:
    static constexpr unsigned kRemoteNotificationTypes = 7; // badge, sound, alert
    static constexpr double kWindowCornerRadius = 5.0;

    bool didFinishLaunchingWithOptions(UIApplication*, const platform::Dictionary& options) override;
    void didRegisterForRemoteNotificationsWithDeviceToken(UIApplication*, const platform::Bytes& token) override;
    void didFailToRegisterForRemoteNotificationsWithError(UIApplication*, const platform::Error& error) override;
    void didReceiveRemoteNotification(UIApplication*, const platform::Dictionary& userInfo) override;
    void applicationDidEnterBackground(UIApplication*) override;
    void applicationWillEnterForeground(UIApplication*) override;
    void alertViewClickedButton(UIAlertView*, long buttonIndex) override;

    // YES each time the main screen comes into view, NO when a push arrives.
    void handleNotication(bool appeared);

    std::shared_ptr<UIWindow> window() const override { return window_; }
    std::shared_ptr<ORBViewController> viewController() const { return viewController_; }
    std::shared_ptr<NotificationInfo> notification() const { return notification_; }
    const std::string& url() const { return url_; }
    bool hasShowView() const { return hasShowView_; }

    // The device token as the phone describes it ("<0123abcd 4567ef89>")
    // and as the server wants it ("0123abcd4567ef89").
    static std::string tokenDescription(const platform::Bytes& token);
    static std::string cleanedToken(const std::string& description);

    // Whether push registration has answered (either way) in this process:
    // a login screen made after the answer still knows it may sign in by itself.
    static bool remoteRegistrationFinished();
    static void resetRemoteRegistrationFinished();

private:
    void registrationFinished();

    bool hasShowView_ = false;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<ORBViewController> viewController_;
    std::shared_ptr<NotificationInfo> notification_;
    std::string url_;
    // The address each version alert on screen offers, by alert.
    std::map<const UIAlertView*, std::string> alertURLs_;
};
