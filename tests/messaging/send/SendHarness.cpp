#include "tests/messaging/send/SendHarness.h"

#include "core/session/MyAccountInfo.h"
#include "core/store/MessageFactory.h"
#include "core/util/GlobalColor.h"
#include "messaging/MessagingClasses.h"
#include "messaging/voice/MessageAudioPlayer.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "server/StaticMedia.h"
#include "tests/messaging/voice/VoiceHarness.h"

namespace sendtest {

void SendTest::SetUp()
{
    harness_ = std::make_unique<testsupport::AppHarness>();
    messaging::registerMessagingClasses();
    ASSERT_TRUE(harness_->start(std::make_shared<voicetest::VoiceTestAppDelegate>()));
    core::GlobalColor::setPlist("colors");
    becomeAccount(kTeacherUid, kTeacherType);
}

void SendTest::TearDown()
{
    MessageAudioPlayer::cancelAll();
    harness_.reset();
    core::MyAccountInfo::setInstance(nullptr);
}

void SendTest::becomeAccount(int uid, int type)
{
    auto session = std::make_shared<core::MyAccountInfo>();
    auto account = std::make_shared<core::AccountInfo>();
    account->uid = uid;
    account->type = type;
    account->schoolUid = 1001;
    account->region = "gz";
    session->setAccounts(std::vector<std::shared_ptr<core::AccountInfo>> { account });
    session->setCurrent(account);
    core::MyAccountInfo::setInstance(session);
}

std::shared_ptr<core::ContactInfo> SendTest::parent()
{
    auto contact = std::make_shared<core::ContactInfo>();
    contact->uid = kParentUid;
    contact->type = kParentType;
    contact->name = "张伟";
    return contact;
}

std::shared_ptr<core::MessageInfo> SendTest::ownMessage(const std::string& text)
{
    auto message = std::make_shared<core::MessageInfo>();
    message->to = true;
    message->isSending = true;
    message->contact = parent();
    message->content = text;
    message->time = platform::Date::now();
    message->createTime = message->time;
    return message;
}

platform::Image SendTest::pickedImage()
{
    std::string png = server::pngImage("picked", 160);
    auto image = platform::Image::decode(platform::Bytes(png.begin(), png.end()));
    EXPECT_TRUE(image);
    return image.value_or(platform::Image {});
}

std::shared_ptr<core::MessageInfo> SendTest::photoMessage(const std::string& text)
{
    auto message = ownMessage(text);
    auto photo = std::make_shared<core::PhotoInfo>();
    EXPECT_TRUE(photo->setImage(pickedImage()));
    message->photosInfo.push_back(photo);
    return message;
}

std::string SendTest::writeAmr(int seconds)
{
    std::string amr = server::amrSilence(seconds);
    std::string path = platform::FileUtil::joinPath(
        platform::AppPaths::temporaryDirectory(), "clip" + std::to_string(seconds) + ".amr");
    EXPECT_TRUE(platform::FileUtil::write(
        path, platform::Bytes(amr.begin(), amr.end()), platform::FileUtil::WriteMode::Atomic));
    return path;
}

std::shared_ptr<core::MessageInfo> SendTest::voiceMessage(const std::string& text, int seconds)
{
    auto message = ownMessage(text);
    auto sound = std::make_shared<core::SoundInfo>();
    sound->amrPath = writeAmr(seconds);
    sound->seconds = seconds;
    message->soundsInfo.push_back(sound);
    return message;
}

std::vector<std::shared_ptr<core::MessageInfo>> SendTest::storedConversation()
{
    core::MessageFactory store;
    return store.getMessageWithContact(*parent()).value_or(core::MessageList {});
}

std::vector<std::shared_ptr<core::MessageInfo>> SendTest::posted(const std::string& name) const
{
    std::vector<std::shared_ptr<core::MessageInfo>> messages;
    for (const auto& notification : harness_->notifications().posted()) {
        if (notification.name == name)
            messages.push_back(notification.userInfo.get("message").objectAs<core::MessageInfo>());
    }
    return messages;
}

std::size_t SendTest::requestsUnder(const std::string& prefix) const
{
    std::size_t n = 0;
    for (const auto& request : requests())
        n += request.route.starts_with(prefix);
    return n;
}

std::string SendTest::filesAddress(const std::string& folder) const
{
    return harness_->serverBase() + "mobile2/pull/files/" + folder + "/";
}

platform::Bytes fileBytes(const std::string& path)
{
    return platform::FileUtil::read(path).value_or(platform::Bytes {});
}

} // namespace sendtest
