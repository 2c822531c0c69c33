// Start-up and push: the launch sequence, the device token, the new-version
// push alert held back until the main screen has appeared, the badge.
#include "app/about/IntrodutionViewController.h"
#include "app/main/ORBViewController.h"
#include "app/startup/ORBAppDelegate.h"
#include "core/session/MyAccountInfo.h"
#include "platform/media/AVAudioSession.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/services/RemoteNotifications.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/ClientApp.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

platform::Dictionary payload(std::initializer_list<std::pair<const char*, platform::Value>> entries)
{
    platform::Dictionary d;
    for (const auto& [key, value] : entries)
        d.set(key, value);
    return d;
}

platform::Dictionary newVersionPush(const std::string& url = "http://127.0.0.1/download/orb-2.0")
{
    return payload({ { "version", "2.0" }, { "desc", "修复了已知问题" }, { "url", url } });
}

} // namespace

TEST(Startup, LaunchPreparesTheWindowAndPushButTouchesNoDataOrServer)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    auto& application = UIApplication::sharedApplication();

    EXPECT_EQ(platform::AVAudioSession::sharedInstance().category(), platform::AVAudioSessionCategoryPlayback);
    EXPECT_TRUE(platform::AVAudioSession::sharedInstance().isActive());
    EXPECT_EQ(application.requestedRemoteNotificationTypes(), 7u);
    EXPECT_EQ(platform::RemoteNotifications::shared().registrations(), std::vector<int> { 7 });
    EXPECT_EQ(application.applicationIconBadgeNumber(), 0);
    EXPECT_GE(application.cancelledLocalNotificationCount(), 1u);

    auto window = harness.window();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->layer()->cornerRadius(), 5.0);
    EXPECT_TRUE(window->clipsToBounds());
    EXPECT_EQ(harness.rootViewController(), std::static_pointer_cast<UIViewController>(mainScreen()));
    EXPECT_EQ(mainScreen()->nibName(), "ORBViewController");

    // Nothing at launch reaches the server or the database: the server's log
    // holds only a request sent after the launch and answered.
    ASSERT_TRUE(harness.roundTrip());
    auto seen = harness.serverRequests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].route, "round-trip");
    EXPECT_FALSE(platform::FileUtil::exists(platform::FileUtil::joinPath(platform::AppPaths::documentsDirectory(), "_cache.db")));
    // The first start shows the introduction, nothing else.
    EXPECT_TRUE(std::dynamic_pointer_cast<IntrodutionViewController>(harness.presentedScreen()));
}

TEST(Startup, DeviceTokenIsCleanedKeptAndAnnounced)
{
    struct Row {
        std::string description;
        std::string cleaned;
    };
    const Row rows[] = {
        { "<0123abcd 4567ef89>", "0123abcd4567ef89" },
        { "<0123abcd>", "0123abcd" },
        { "<>", "" },
        { "<<ab cd>>", "abcd" },
    };
    for (const auto& row : rows)
        EXPECT_EQ(ORBAppDelegate::cleanedToken(row.description), row.cleaned) << row.description;
    EXPECT_EQ(ORBAppDelegate::tokenDescription({ 0x01, 0x23, 0xab, 0xcd, 0x45, 0x67, 0xef, 0x89 }), "<0123abcd 4567ef89>");

    AppHarnessOptions options;
    options.pushToken = platform::Bytes { 0x01, 0x23, 0xab, 0xcd, 0x45, 0x67, 0xef, 0x89 };
    AppHarness harness(options);
    ASSERT_TRUE(startClient(harness));
    EXPECT_EQ(core::MyAccountInfo::deviceToken(), std::optional<std::string>("0123abcd4567ef89"));
    EXPECT_EQ(harness.notifications().count(kApplicationRegistRemoteFinishedNotification), 1u);
}

TEST(Startup, FailedRegistrationStillAnnouncesAndKeepsNoToken)
{
    AppHarness harness; // no push service: registration fails
    ASSERT_TRUE(startClient(harness));
    EXPECT_EQ(harness.notifications().count(kApplicationRegistRemoteFinishedNotification), 1u);
    EXPECT_FALSE(core::MyAccountInfo::deviceToken().has_value());
    EXPECT_TRUE(ORBAppDelegate::remoteRegistrationFinished());
}

TEST(Startup, LaunchPushIsShownOnceAfterTheFirstAppearance)
{
    AppHarness harness;
    platform::Dictionary options;
    options.set(UIApplicationLaunchOptionsRemoteNotificationKey, newVersionPush());
    ASSERT_TRUE(startClient(harness, options));
    // The main screen appeared during the launch: the held notice shows now.
    auto alert = harness.currentAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "发现新版本2.0");
    EXPECT_EQ(alert->message(), "修复了已知问题");
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "暂不更新");
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "立即更新");
    EXPECT_FALSE(clientDelegate()->notification());
    ASSERT_TRUE(harness.tapAlertButton("暂不更新"));
    EXPECT_TRUE(harness.openedURLs().empty());

    // Closing the introduction makes the main screen appear again: no second alert.
    ASSERT_TRUE(passIntroduction(harness));
    EXPECT_FALSE(harness.currentAlert());
}

TEST(Startup, PushWhileRunningOpensOnlyWebAddresses)
{
    struct Row {
        platform::Dictionary push;
        bool alert;
        std::vector<std::string> opened;
    };
    const Row rows[] = {
        { newVersionPush("https://example.org/orb.ipa"), true, { "https://example.org/orb.ipa" } },
        // A push must not dial or launch another application.
        { newVersionPush("tel:10086"), true, {} },
        { newVersionPush("tarnApp:open"), true, {} },
        // Without an address (or of the wrong kind) there is nothing to offer.
        { payload({ { "version", "2.0" }, { "desc", "d" } }), false, {} },
        { payload({ { "version", 2 }, { "desc", "d" }, { "url", "http://x/" } }), false, {} },
    };
    for (const auto& row : rows) {
        AppHarness harness;
        ASSERT_TRUE(startClient(harness));
        UIApplication::sharedApplication().setApplicationIconBadgeNumber(5);
        ASSERT_TRUE(harness.deliverPush(row.push));
        EXPECT_EQ(UIApplication::sharedApplication().applicationIconBadgeNumber(), 0);
        EXPECT_FALSE(clientDelegate()->notification());
        auto alert = harness.currentAlert();
        EXPECT_EQ(bool(alert), row.alert);
        if (alert) {
            ASSERT_TRUE(harness.tapAlertButton("立即更新"));
        }
        EXPECT_EQ(harness.openedURLs(), row.opened);
    }
}

TEST(Startup, TwoVersionAlertsEachOpenTheirOwnAddress)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(harness.deliverPush(newVersionPush("https://example.org/old.ipa")));
    ASSERT_TRUE(harness.deliverPush(newVersionPush("https://example.org/new.ipa")));
    // The newer alert is on top; the older one waits beneath it.
    ASSERT_TRUE(harness.tapAlertButton("立即更新"));
    ASSERT_TRUE(harness.currentAlert());
    ASSERT_TRUE(harness.tapAlertButton("立即更新"));
    EXPECT_EQ(harness.openedURLs(),
        (std::vector<std::string> { "https://example.org/new.ipa", "https://example.org/old.ipa" }));
}

TEST(Startup, ReturningToTheForegroundClearsTheBadge)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    auto& application = UIApplication::sharedApplication();
    application.setApplicationIconBadgeNumber(3);
    application.enterBackground();
    harness.advance(0.1);
    application.enterForeground();
    EXPECT_EQ(application.applicationIconBadgeNumber(), 0);
}
