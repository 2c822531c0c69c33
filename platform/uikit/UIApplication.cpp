#include "platform/uikit/UIApplication.h"

#include "platform/os/NotificationCenter.h"
#include "platform/os/Url.h"
#include "platform/uikit/UIWindow.h"

UIApplication& UIApplication::sharedApplication()
{
    static UIApplication application;
    return application;
}

UIApplication::UIApplication()
    : openableSchemes_ { "http", "https", "tel", "sms", "mailto" }
{
}

void UIApplication::reset()
{
    delegate_.reset();
    state_ = UIApplicationStateInactive;
    badge_ = 0;
    openedURLs_.clear();
    openableSchemes_ = { "http", "https", "tel", "sms", "mailto" };
    requestedTypes_ = 0;
    registrationPending_ = false;
    registrationRequests_ = 0;
    cancelledLocalNotifications_ = 0;
    statusBarHidden_ = false;
    statusBarStyle_ = UIStatusBarStyleDefault;
    networkIndicator_ = false;
    statusBarOrientation_ = 1;
}

std::shared_ptr<UIWindow> UIApplication::keyWindow() const { return UIWindow::keyWindow(); }

std::vector<std::shared_ptr<UIWindow>> UIApplication::windows() const { return UIWindow::visibleWindows(); }

void UIApplication::post(const char* name) { platform::NotificationCenter::defaultCenter().post(name); }

bool UIApplication::launch(const platform::Dictionary& options)
{
    bool answer = true;
    if (auto d = delegate_)
        answer = d->didFinishLaunchingWithOptions(this, options);
    post(UIApplicationDidFinishLaunchingNotification);
    becomeActive();
    return answer;
}

void UIApplication::becomeActive()
{
    if (state_ == UIApplicationStateActive)
        return;
    state_ = UIApplicationStateActive;
    if (auto d = delegate_)
        d->applicationDidBecomeActive(this);
    post(UIApplicationDidBecomeActiveNotification);
}

void UIApplication::resignActive()
{
    if (state_ != UIApplicationStateActive)
        return;
    state_ = UIApplicationStateInactive;
    if (auto d = delegate_)
        d->applicationWillResignActive(this);
    post(UIApplicationWillResignActiveNotification);
}

void UIApplication::enterBackground()
{
    if (state_ == UIApplicationStateBackground)
        return;
    resignActive();
    state_ = UIApplicationStateBackground;
    if (auto d = delegate_)
        d->applicationDidEnterBackground(this);
    post(UIApplicationDidEnterBackgroundNotification);
}

void UIApplication::enterForeground()
{
    if (state_ != UIApplicationStateBackground)
        return;
    state_ = UIApplicationStateInactive;
    if (auto d = delegate_)
        d->applicationWillEnterForeground(this);
    post(UIApplicationWillEnterForegroundNotification);
    becomeActive();
}

void UIApplication::terminate()
{
    if (auto d = delegate_)
        d->applicationWillTerminate(this);
    post(UIApplicationWillTerminateNotification);
}

void UIApplication::receiveMemoryWarning()
{
    if (auto d = delegate_)
        d->applicationDidReceiveMemoryWarning(this);
    post(UIApplicationDidReceiveMemoryWarningNotification);
}

bool UIApplication::canOpenURL(const std::string& url) const
{
    auto parsed = platform::Url::parse(url);
    if (!parsed || parsed->scheme().empty())
        return false;
    std::string scheme = parsed->scheme();
    for (auto& c : scheme)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return openableSchemes_.count(scheme) > 0;
}

bool UIApplication::openURL(const std::string& url)
{
    openedURLs_.push_back(url);
    return canOpenURL(url);
}

void UIApplication::registerForRemoteNotificationTypes(unsigned types)
{
    requestedTypes_ = types;
    registrationPending_ = true;
    ++registrationRequests_;
}

void UIApplication::answerRemoteRegistration(const platform::Bytes& deviceToken)
{
    registrationPending_ = false;
    if (auto d = delegate_)
        d->didRegisterForRemoteNotificationsWithDeviceToken(this, deviceToken);
}

void UIApplication::failRemoteRegistration(const platform::Error& error)
{
    registrationPending_ = false;
    if (auto d = delegate_)
        d->didFailToRegisterForRemoteNotificationsWithError(this, error);
}

void UIApplication::deliverRemoteNotification(const platform::Dictionary& userInfo)
{
    if (auto d = delegate_)
        d->didReceiveRemoteNotification(this, userInfo);
}

void UIApplication::setStatusBarHidden(bool hidden, bool) { statusBarHidden_ = hidden; }

void UIApplication::setStatusBarStyle(UIStatusBarStyle style, bool) { statusBarStyle_ = style; }

void UIApplication::setStatusBarOrientation(long orientation, bool)
{
    if (!isValidInterfaceOrientation(orientation) || orientation == statusBarOrientation_)
        return;
    long before = statusBarOrientation_;
    statusBarOrientation_ = orientation;
    platform::NotificationCenter::defaultCenter().post(UIApplicationDidChangeStatusBarOrientationNotification, {},
        platform::Dictionary { { UIApplicationStatusBarOrientationUserInfoKey, platform::Value(before) } });
}

unsigned long UIApplication::beginBackgroundTask(std::function<void()>) { return nextBackgroundTask_++; }

void UIApplication::endBackgroundTask(unsigned long) { }
