#include "platform/media/ProximitySensor.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "tests/support/ProcessUtil.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/os/UserDefaults.h"
#include "platform/services/MailComposer.h"
#include "platform/services/RemoteNotifications.h"
#include "platform/services/SavedPhotosAlbum.h"
#include "platform/services/SmsComposer.h"
#include "platform/services/UIDevice.h"
#include "platform/services/UrlOpener.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <regex>
#include <unistd.h>

using namespace platform;

namespace {

// Main loop with a manual clock, fresh shared services and a temporary home.
class Services : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop = &RunLoop::main();
        ASSERT_TRUE(loop->isCurrent());
        loop->discardPendingWork();
        loop->setClock(std::make_shared<ManualClock>(10));
        RemoteNotifications::shared().resetForTesting();
        UrlOpener::shared().resetForTesting();
        UIDevice::currentDevice().resetForTesting();
        ProximitySensor::shared().resetForTesting();
        SmsComposer::setCanSendText(true);
        MailComposer::setCanSendMail(false);
        home = makeHome();
        AppPaths::setHome(home);
    }
    void TearDown() override
    {
        loop->discardPendingWork();
        loop->setClock(nullptr);
        AppPaths::resetHome();
        for (const std::string& folder : homes)
            FileUtil::remove(folder);
    }
    std::string makeHome()
    {
        std::string folder = testsupport::makeTempDir("orb-services");
        EXPECT_FALSE(folder.empty());
        homes.push_back(folder);
        return folder;
    }

    RunLoop* loop = nullptr;
    std::string home;
    std::vector<std::string> homes;
};

std::string commandOutput(const char* command)
{
    std::string output = testsupport::runCommand(command).output;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

struct Answers {
    std::vector<Bytes> tokens;
    std::vector<Error> errors;
    RemoteNotifications::TokenHandler onToken()
    {
        return [this](const Bytes& token) { tokens.push_back(token); };
    }
    RemoteNotifications::ErrorHandler onError()
    {
        return [this](const Error& error) { errors.push_back(error); };
    }
};

} // namespace

TEST_F(Services, PushRegistrationIsAnsweredOnTheMainLoopWithTheConfiguredTokenOrError)
{
    RemoteNotifications& push = RemoteNotifications::shared();
    Answers answers;
    // Nothing configured: this machine has no push service.
    push.registerForRemoteNotificationTypes(7, answers.onToken(), answers.onError());
    EXPECT_TRUE(answers.errors.empty()) << "never inside the call";
    loop->runUntilIdle();
    ASSERT_EQ(answers.errors.size(), 1u);
    EXPECT_EQ(answers.errors[0], RemoteNotifications::noPushServiceError());
    EXPECT_EQ(push.enabledRemoteNotificationTypes(), 0);

    Bytes token = { 0x0f, 0xa1, 0x00, 0xff, 0x10, 0x20, 0x30, 0x40 };
    push.answerWithToken(token);
    push.registerForRemoteNotificationTypes(
        RemoteNotificationTypeBadge | RemoteNotificationTypeSound | RemoteNotificationTypeAlert, answers.onToken(),
        answers.onError());
    loop->runUntilIdle();
    ASSERT_EQ(answers.tokens, std::vector<Bytes> { token });
    EXPECT_EQ(push.enabledRemoteNotificationTypes(), 7);

    // Held: the answer waits for the harness, and is the one configured when asked.
    push.setHoldAnswers(true);
    push.registerForRemoteNotificationTypes(7, answers.onToken(), answers.onError());
    push.answerWithError(Error::withDescription("push", 5, "offline"));
    loop->advance(60);
    EXPECT_EQ(push.pendingRegistrations(), 1u);
    EXPECT_EQ(answers.errors.size(), 1u);
    EXPECT_TRUE(push.deliverPendingAnswer());
    EXPECT_FALSE(push.deliverPendingAnswer());
    loop->runUntilIdle();
    ASSERT_EQ(answers.errors.size(), 2u);
    EXPECT_EQ(answers.errors[1].code(), 5);
    EXPECT_EQ(push.registrations(), (std::vector<int> { 7, 7, 7 }));
}

TEST_F(Services, PushPayloadsReachTheApplicationOnlyThroughItsHandler)
{
    RemoteNotifications& push = RemoteNotifications::shared();
    Dictionary payload { { "aps", Dictionary { { "alert", "新消息" }, { "badge", 3 } } }, { "type", 2 } };
    EXPECT_FALSE(push.deliverRemoteNotification(payload));
    std::vector<Dictionary> received;
    push.setPayloadHandler([&](const Dictionary& p) { received.push_back(p); });
    EXPECT_TRUE(push.deliverRemoteNotification(payload));
    EXPECT_TRUE(received.empty());
    loop->runUntilIdle();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0], payload);
    EXPECT_EQ(received[0].get("aps")["badge"].intValue(), 3);
}

TEST_F(Services, UrlOpenerAnswersBySchemeAndRecordsWhatItOpened)
{
    UrlOpener& opener = UrlOpener::shared();
    std::vector<std::string> handed;
    opener.setOpenHandler([&](const std::string& url) { handed.push_back(url); });
    EXPECT_TRUE(opener.canOpenURL("tel:13800138000"));
    EXPECT_TRUE(opener.openURL("tel:13800138000"));
    EXPECT_TRUE(opener.openURL("SMS:13800138000")) << "schemes compare without case";
    EXPECT_FALSE(opener.openURL("tarnApp:open")) << "no application takes this scheme";
    EXPECT_FALSE(opener.openURL("tel:138 0013 8000")) << "a space makes no URL";
    EXPECT_FALSE(opener.openURL("13800138000")) << "no scheme";

    opener.setCanOpenScheme("TEL", false);
    EXPECT_FALSE(opener.canOpenURL("tel:10086"));
    EXPECT_FALSE(opener.openURL("tel:10086"));
    EXPECT_TRUE(opener.canOpenURL("telprompt://10086"));
    opener.setCanOpenScheme("tarnapp", true);
    EXPECT_TRUE(opener.openURL("tarnApp:open"));

    std::vector<std::string> opened = { "tel:13800138000", "SMS:13800138000", "tarnApp:open" };
    EXPECT_EQ(opener.openedURLs(), opened);
    EXPECT_EQ(handed, opened);
    EXPECT_EQ(opener.queriedURLs().size(), 10u);
}

namespace {
class SmsDelegate final : public SmsComposerDelegate {
public:
    void messageComposeDidFinish(SmsComposer& composer, MessageComposeResult result) override
    {
        results.emplace_back(&composer, result);
    }
    std::vector<std::pair<SmsComposer*, MessageComposeResult>> results;
};

class MailDelegate final : public MailComposerDelegate {
public:
    void mailComposeDidFinish(MailComposer&, MailComposeResult result, const Error* error) override
    {
        results.push_back(result);
        errors.push_back(error ? error->localizedDescription() : "");
    }
    std::vector<MailComposeResult> results;
    std::vector<std::string> errors;
};
}

TEST_F(Services, TextComposerRecordsItsContentAndReportsOneResult)
{
    SmsComposer::setCanSendText(false);
    EXPECT_FALSE(SmsComposer::create());
    SmsComposer::setCanSendText(true);
    auto composer = SmsComposer::create();
    ASSERT_TRUE(composer);
    auto delegate = std::make_shared<SmsDelegate>();
    composer->setDelegate(delegate);
    composer->setRecipients({ "13800138000" });
    composer->setBody("明天家长会");
    EXPECT_EQ(composer->recipients(), std::vector<std::string> { "13800138000" });

    EXPECT_TRUE(composer->finish(MessageComposeResult::Sent));
    EXPECT_FALSE(composer->finish(MessageComposeResult::Failed));
    EXPECT_TRUE(delegate->results.empty());
    loop->runUntilIdle();
    ASSERT_EQ(delegate->results.size(), 1u);
    EXPECT_EQ(delegate->results[0].first, composer.get());
    EXPECT_EQ(delegate->results[0].second, MessageComposeResult::Sent);

    // The composer does not keep its delegate alive.
    auto other = SmsComposer::create();
    auto gone = std::make_shared<SmsDelegate>();
    other->setDelegate(gone);
    std::weak_ptr<SmsDelegate> watch = gone;
    gone.reset();
    EXPECT_TRUE(other->finish(MessageComposeResult::Cancelled));
    loop->runUntilIdle();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(other->result(), MessageComposeResult::Cancelled);
}

TEST_F(Services, MailComposerNeedsAnAccountAndKeepsAttachments)
{
    EXPECT_FALSE(MailComposer::canSendMail());
    EXPECT_FALSE(MailComposer::create());
    MailComposer::setCanSendMail(true);
    auto composer = MailComposer::create();
    ASSERT_TRUE(composer);
    auto delegate = std::make_shared<MailDelegate>();
    composer->setDelegate(delegate);
    composer->setSubject("Photo");
    composer->setToRecipients({ "teacher@example.com" });
    composer->setMessageBody("<p>hi</p>", true);
    composer->addAttachmentData({ 0x89, 'P', 'N', 'G' }, "png", "Photo.png");
    ASSERT_EQ(composer->attachments().size(), 1u);
    EXPECT_EQ(composer->attachments()[0].fileName, "Photo.png");
    EXPECT_EQ(composer->attachments()[0].data.size(), 4u);
    EXPECT_TRUE(composer->isBodyHTML());

    EXPECT_TRUE(composer->finish(MailComposeResult::Failed));
    loop->runUntilIdle();
    EXPECT_EQ(delegate->results, std::vector<MailComposeResult> { MailComposeResult::Failed });
    EXPECT_FALSE(delegate->errors[0].empty()) << "a failure always carries an error";

    auto sent = MailComposer::create();
    sent->setDelegate(delegate);
    sent->finish(MailComposeResult::Sent, Error::withDescription("x", 1, "ignored"));
    loop->runUntilIdle();
    EXPECT_EQ(delegate->results.back(), MailComposeResult::Sent);
    EXPECT_EQ(delegate->errors.back(), "") << "no error with a success";
}

namespace {

struct SaveResult {
    std::string path;
    std::optional<Error> error;
};

SavedPhotosAlbum::Completion recorder(std::vector<SaveResult>& results)
{
    auto* into = &results;
    return [into](const std::string& path, const Error* error) {
        into->push_back({ path, error ? std::optional<Error>(*error) : std::nullopt });
    };
}

} // namespace

TEST_F(Services, SavedPhotosAreNumberedFilesThatDecodeAndAreReportedOnTheNextTurn)
{
    std::vector<SaveResult> results;
    SavedPhotosAlbum::writeImage(Image(48, 36, 1.0, Color::orangeColor()), recorder(results));
    EXPECT_TRUE(results.empty()) << "reported on the main loop, not during the call";
    loop->runUntilIdle();
    ASSERT_EQ(results.size(), 1u);
    ASSERT_FALSE(results[0].error);
    EXPECT_EQ(results[0].path, FileUtil::joinPath(home, "Documents/SavedPhotos/IMG_0001.JPG"));
    auto photo = Image::fromFile(results[0].path);
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->pixelWidth(), 48);
    EXPECT_EQ(photo->pixelHeight(), 36);
    auto middle = photo->colorAt(24, 18);
    EXPECT_NEAR(middle.red, Color::orangeColor().red, 0.05);

    // Transparency is kept: such an image goes in as PNG.
    SavedPhotosAlbum::writeImage(Image(10, 12, 1.0, Color::clearColor()), recorder(results));
    // Numbers go on from the highest in the folder, whatever else it holds.
    loop->runUntilIdle();
    ASSERT_TRUE(FileUtil::write(FileUtil::joinPath(SavedPhotosAlbum::directory(), "IMG_0007.JPG"),
        Bytes(*Image(2, 2, 1.0, Color::blueColor()).encodeJPEG(0.5))));
    ASSERT_TRUE(FileUtil::write(FileUtil::joinPath(SavedPhotosAlbum::directory(), "notes.txt"), std::string("x")));
    SavedPhotosAlbum::writeImage(Image(3, 3, 1.0, Color::blueColor()), recorder(results));
    loop->runUntilIdle();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_TRUE(results[1].path.ends_with("IMG_0002.PNG"));
    auto clear = Image::fromFile(results[1].path);
    ASSERT_TRUE(clear);
    EXPECT_EQ(clear->pixelHeight(), 12);
    EXPECT_LT(clear->colorAt(5, 5).alpha, 0.01);
    EXPECT_TRUE(results[2].path.ends_with("IMG_0008.JPG"));
    auto album = SavedPhotosAlbum::photos();
    ASSERT_EQ(album.size(), 4u);
    EXPECT_EQ(album.front(), results[0].path);
    EXPECT_EQ(album.back(), results[2].path);
}

TEST_F(Services, SavingReportsAnErrorAndWritesNothingWhenTheAlbumCannotTakeThePhoto)
{
    std::vector<SaveResult> results;
    // A file where the album's folder should be (a mode change alone would not
    // stop the superuser the tests may run as).
    ASSERT_TRUE(FileUtil::write(SavedPhotosAlbum::directory(), std::string("in the way")));
    SavedPhotosAlbum::writeImage(Image(8, 8, 1.0, Color::redColor()), recorder(results));
    // Nothing to save is an error too, not an empty file.
    SavedPhotosAlbum::writeImage(Image(), recorder(results));
    loop->runUntilIdle();
    ASSERT_EQ(results.size(), 2u);
    for (auto& result : results) {
        EXPECT_TRUE(result.path.empty());
        ASSERT_TRUE(result.error);
        EXPECT_FALSE(result.error->localizedDescription().empty());
    }
    EXPECT_TRUE(SavedPhotosAlbum::photos().empty());
    EXPECT_TRUE(FileUtil::isRegularFile(SavedPhotosAlbum::directory()));
}

TEST_F(Services, DeviceFactsComeFromTheMachineAndThePinnedPlatformVersion)
{
    UIDevice& device = UIDevice::currentDevice();
    EXPECT_EQ(device.systemName(), commandOutput("uname -s"));
    EXPECT_EQ(device.name(), commandOutput("hostname"));
    EXPECT_EQ(device.model(), "pc");
    EXPECT_EQ(device.systemVersion(), "7.0");
    EXPECT_EQ(device.systemMajorVersion(), 7);
    device.setSystemVersion("8.1.2");
    EXPECT_EQ(device.systemMajorVersion(), 8);
    EXPECT_EQ(device.userInterfaceIdiom(), UIUserInterfaceIdiom::Phone);

    // The vendor identifier is a UUID kept in the home's user defaults.
    std::string id = device.identifierForVendor();
    EXPECT_TRUE(std::regex_match(id, std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")))
        << id;
    EXPECT_EQ(device.identifierForVendor(), id);
    UserDefaults stored(UserDefaults::standardPath());
    EXPECT_EQ(stored.stringForKey(kIdentifierForVendorDefaultsKey).value_or(""), id);
    AppPaths::setHome(makeHome());
    EXPECT_NE(device.identifierForVendor(), id) << "a new installation gets a new identifier";
}

TEST_F(Services, OrientationIsAnnouncedWhileGeneratedAndProximityIsTheSensors)
{
    UIDevice& device = UIDevice::currentDevice();
    int orientationChanges = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        UIDeviceOrientationDidChangeNotification, {}, [&](const Notification&) { ++orientationChanges; });
    device.setOrientation(UIDeviceOrientation::LandscapeRight);
    EXPECT_EQ(orientationChanges, 0);
    device.beginGeneratingDeviceOrientationNotifications();
    device.setOrientation(UIDeviceOrientation::Portrait);
    device.setOrientation(UIDeviceOrientation::Portrait);
    EXPECT_EQ(orientationChanges, 1);
    EXPECT_EQ(device.orientation(), UIDeviceOrientation::Portrait);

    ProximitySensor::shared().setObjectNear(true);
    EXPECT_FALSE(device.proximityState());
    device.setProximityMonitoringEnabled(true);
    EXPECT_TRUE(device.isProximityMonitoringEnabled());
    EXPECT_TRUE(device.proximityState());
    device.setProximityMonitoringEnabled(false);
    EXPECT_FALSE(device.proximityState());
}
