#include "app/startup/ORBAppDelegate.h"

#include "app/main/ORBViewController.h"
#include "app/startup/SafeUrl.h"
#include "core/session/MyAccountInfo.h"
#include "core/util/GlobalColor.h"
#include "foundation/http/AlertAuthenticationPresenter.h"
#include "platform/media/AVAudioSession.h"
#include "platform/os/Log.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/services/RemoteNotifications.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

using foundation::AlertAuthenticationPresenter;
using foundation::AuthenticationDialog;

namespace {

bool registrationAnswered = false;

void resetBadge(UIApplication& application)
{
    application.setApplicationIconBadgeNumber(0);
    application.cancelAllLocalNotifications();
}

} // namespace

bool ORBAppDelegate::remoteRegistrationFinished() { return registrationAnswered; }
void ORBAppDelegate::resetRemoteRegistrationFinished() { registrationAnswered = false; }

bool ORBAppDelegate::didFinishLaunchingWithOptions(UIApplication* application, const platform::Dictionary& options)
{
    auto& session = platform::AVAudioSession::sharedInstance();
    session.setCategory(platform::AVAudioSessionCategoryPlayback);
    session.setActive(true);

    hasShowView_ = false;
    registrationAnswered = false;

    application->registerForRemoteNotificationTypes(kRemoteNotificationTypes);
    auto& push = platform::RemoteNotifications::shared();
    push.setPayloadHandler(
        [](const platform::Dictionary& payload) { UIApplication::sharedApplication().deliverRemoteNotification(payload); });
    push.registerForRemoteNotificationTypes(
        int(kRemoteNotificationTypes),
        [](const platform::Bytes& token) { UIApplication::sharedApplication().answerRemoteRegistration(token); },
        [](const platform::Error& error) { UIApplication::sharedApplication().failRemoteRegistration(error); });

    resetBadge(*application);

    if (const platform::Dictionary* payload = options.get(UIApplicationLaunchOptionsRemoteNotificationKey).asDictionary())
        didReceiveRemoteNotification(application, *payload);
    else if (const auto& launchPayload = push.launchNotification())
        didReceiveRemoteNotification(application, *launchPayload);

    core::GlobalColor::setPlist("colors");
    // A server or proxy that asks for credentials asks the person, on screen.
    AuthenticationDialog::setPresenter(std::make_shared<AlertAuthenticationPresenter>());

    window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
    viewController_ = std::make_shared<ORBViewController>(std::string(ORBViewController::kClassName));
    window_->layer()->setCornerRadius(kWindowCornerRadius);
    window_->setClipsToBounds(true);
    window_->setRootViewController(viewController_);
    window_->makeKeyAndVisible();
    return true;
}

std::string ORBAppDelegate::tokenDescription(const platform::Bytes& token)
{
    static const char* digits = "0123456789abcdef";
    std::string text = "<";
    for (std::size_t i = 0; i < token.size(); ++i) {
        if (i > 0 && i % 4 == 0)
            text += ' ';
        text += digits[token[i] >> 4];
        text += digits[token[i] & 0xF];
    }
    text += '>';
    return text;
}

std::string ORBAppDelegate::cleanedToken(const std::string& description)
{
    std::size_t begin = description.find_first_not_of("<>");
    if (begin == std::string::npos)
        return {};
    std::size_t end = description.find_last_not_of("<>");
    std::string trimmed = description.substr(begin, end - begin + 1);
    std::string token;
    for (char c : trimmed) {
        if (c != ' ')
            token += c;
    }
    return token;
}

void ORBAppDelegate::didRegisterForRemoteNotificationsWithDeviceToken(UIApplication*, const platform::Bytes& token)
{
    std::string cleaned = cleanedToken(tokenDescription(token));
    platform::log("Device token is: %s\n", cleaned.c_str());
    core::MyAccountInfo::setDeviceToken(cleaned);
    registrationFinished();
}

void ORBAppDelegate::didFailToRegisterForRemoteNotificationsWithError(UIApplication*, const platform::Error&)
{
    registrationFinished();
}

void ORBAppDelegate::registrationFinished()
{
    registrationAnswered = true;
    platform::NotificationCenter::defaultCenter().post(kApplicationRegistRemoteFinishedNotification);
}

void ORBAppDelegate::didReceiveRemoteNotification(UIApplication* application, const platform::Dictionary& userInfo)
{
    notification_ = NotificationInfo::noticationWithObj(platform::Value(userInfo));
    handleNotication(false);
    resetBadge(*application);
}

void ORBAppDelegate::handleNotication(bool appeared)
{
    if (appeared)
        hasShowView_ = true;
    if (!hasShowView_)
        return;
    auto notice = std::move(notification_);
    notification_.reset();
    if (!notice || !notice->version || !notice->url)
        return;
    auto alert = std::make_shared<UIAlertView>("发现新版本" + *notice->version, notice->desc.value_or(""),
        std::weak_ptr<UIAlertViewDelegate>(shared_from_this()), std::string("暂不更新"),
        std::vector<std::string> { "立即更新" });
    alert->show();
    url_ = *notice->url;
    // Each alert opens its own address: a second notice must not change
    // where the first one's button leads.
    alertURLs_[alert.get()] = url_;
}

void ORBAppDelegate::alertViewClickedButton(UIAlertView* alertView, long buttonIndex)
{
    auto entry = alertURLs_.find(alertView);
    if (entry == alertURLs_.end())
        return;
    const std::string url = std::move(entry->second);
    alertURLs_.erase(entry);
    if (buttonIndex != 1)
        return;
    // Only web addresses: a push must not be able to dial, text or launch
    // another application.
    if (isWebAddress(url))
        UIApplication::sharedApplication().openURL(url);
    else
        platform::log("ORBAppDelegate: not opening \"%s\"\n", url.c_str());
}

void ORBAppDelegate::applicationWillEnterForeground(UIApplication* application) { resetBadge(*application); }

void ORBAppDelegate::applicationDidEnterBackground(UIApplication* application)
{
    // Nothing runs in the background; the task only ends itself cleanly.
    auto identifier = std::make_shared<unsigned long>(0);
    auto end = [identifier] {
        platform::performOnMain([identifier] {
            if (*identifier != 0) {
                UIApplication::sharedApplication().endBackgroundTask(*identifier);
                *identifier = 0;
            }
        });
    };
    *identifier = application->beginBackgroundTask(end);
    platform::dispatchAsync(end);
}
