// The chat send pipeline against the stand-in server: uploads before sends,
// the addresses the send carries, what is stored and announced, failures of
// every step, four messages in flight together, and parties that went away.
#include "messaging/send/MessageLoader.h"
#include "foundation/http/NetworkQueue.h"
#include "platform/os/FileUtil.h"
#include "server/StandinServer.h"
#include "tests/messaging/send/SendHarness.h"

#include <algorithm>
#include <set>

using namespace sendtest;
using core::MessageInfo;
using server::ScriptedReply;

namespace {

class SendPipeline : public SendTest {
protected:
    void SetUp() override
    {
        SendTest::SetUp();
        loader = MessageLoader::create();
    }
    void TearDown() override
    {
        loader.reset();
        SendTest::TearDown();
    }

    // Runs the loop until every message sent has been reported.
    bool settle(const std::shared_ptr<MessageLoader>& which)
    {
        return harness().runUntil([&] { return which->pendingCount() == 0; }, 30);
    }
    bool settle() { return settle(loader); }

    std::vector<server::LoggedRequest> sends() const { return standin().requests().withCommand("30104"); }

    std::shared_ptr<MessageInfo> stored(const std::string& uid)
    {
        for (const auto& message : storedConversation()) {
            if (message->uid == uid)
                return message;
        }
        return nullptr;
    }

    std::size_t succeeded() const { return posted(MessageLoaderDidSendSucceededNotification).size(); }
    std::size_t failed() const { return posted(MessageLoaderDidSendFailedNotification).size(); }

    std::shared_ptr<MessageLoader> loader;
};

TEST_F(SendPipeline, APhotoMessageUploadsThePhotoThenSendsItsAddressesAndIsStored)
{
    auto message = photoMessage("看这张");
    platform::Bytes jpeg = fileBytes(message->photosInfo.front()->path);
    ASSERT_FALSE(jpeg.empty());

    // The screens use the shared loader.
    MessageLoader::send(message);
    ASSERT_TRUE(settle(MessageLoader::shareLoader()));

    auto log = requests();
    ASSERT_EQ(log.size(), 2u) << "one upload, one send";
    EXPECT_EQ(log[0].route, "upload/msgpic/2001/1");
    const server::MultipartPart* file = log[0].part("file");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->content, std::string(jpeg.begin(), jpeg.end()));

    const auto& photo = *message->photosInfo.front();
    EXPECT_TRUE(photo.url.starts_with(filesAddress("msgpic"))) << photo.url;
    EXPECT_FALSE(photo.thumbUrl.empty());
    EXPECT_EQ(log[1].command, "30104");
    EXPECT_EQ(log[1].bodyValue("linkManId").intValue(), kParentUid);
    EXPECT_EQ(log[1].bodyValue("linkManType").intValue(), kParentType);
    EXPECT_EQ(log[1].bodyValue("content").stringValue(), "看这张");
    const platform::Value& images = log[1].bodyValue("images");
    ASSERT_TRUE(images.isArray());
    ASSERT_EQ(images.asArray()->size(), 1u);
    EXPECT_EQ(images[0]["original"].stringValue(), photo.url);
    EXPECT_EQ(images[0]["thumb"].stringValue(), photo.thumbUrl);
    EXPECT_TRUE(log[1].bodyValue("audios").isNull());

    EXPECT_TRUE(message->uid.starts_with("M")) << message->uid;
    EXPECT_FALSE(message->isSending);
    auto row = stored(message->uid);
    ASSERT_TRUE(row) << "stored under the server's id";
    EXPECT_TRUE(row->to);
    ASSERT_EQ(row->photosInfo.size(), 1u);
    EXPECT_EQ(row->photosInfo.front()->url, photo.url);
    EXPECT_EQ(row->photosInfo.front()->thumbUrl, photo.thumbUrl);

    auto announced = posted(MessageLoaderDidSendSucceededNotification);
    ASSERT_EQ(announced.size(), 1u);
    EXPECT_EQ(announced.front(), message);
    EXPECT_EQ(failed(), 0u);
}

TEST_F(SendPipeline, AVoiceMessageUploadsTheClipThenSendsItsAddressAndLength)
{
    auto message = voiceMessage("", 3);
    platform::Bytes amr = fileBytes(message->soundsInfo.front()->amrPath);
    loader->sendMessage(message);
    ASSERT_TRUE(settle());

    auto log = requests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].route, "upload/audio/2001/1");
    ASSERT_TRUE(log[0].part("file"));
    EXPECT_EQ(log[0].part("file")->content, std::string(amr.begin(), amr.end()));
    EXPECT_EQ(log[1].command, "30104");
    const auto& sound = *message->soundsInfo.front();
    EXPECT_TRUE(sound.url.starts_with(filesAddress("audio"))) << sound.url;
    const platform::Value& audios = log[1].bodyValue("audios");
    ASSERT_TRUE(audios.isArray());
    ASSERT_EQ(audios.asArray()->size(), 1u);
    EXPECT_EQ(audios[0]["url"].stringValue(), sound.url);
    EXPECT_EQ(audios[0]["seconds"].intValue(), 3);
    EXPECT_TRUE(log[1].bodyValue("images").isNull());
    EXPECT_TRUE(log[1].bodyValue("content").isNull()) << "no text, no \"content\"";

    auto row = stored(message->uid);
    ASSERT_TRUE(row);
    ASSERT_EQ(row->soundsInfo.size(), 1u);
    EXPECT_EQ(row->soundsInfo.front()->url, sound.url);
    EXPECT_EQ(row->soundsInfo.front()->seconds, 3);
    EXPECT_EQ(succeeded(), 1u);
    EXPECT_EQ(failed(), 0u);
}

TEST_F(SendPipeline, AMessageWithAPhotoAndAClipUploadsOnlyThePhotoAndTextNeedsOneRequest)
{
    auto both = photoMessage("两个附件");
    both->soundsInfo = voiceMessage("", 2)->soundsInfo;
    loader->sendMessage(both);
    ASSERT_TRUE(settle());
    EXPECT_EQ(requestsUnder("upload/audio"), 0u);
    EXPECT_EQ(requestsUnder("upload/msgpic"), 1u);
    ASSERT_EQ(sends().size(), 1u);
    EXPECT_TRUE(sends().front().bodyValue("audios").isNull()) << "the clip never uploaded is not sent";

    standin().requests().clear();
    auto text = ownMessage("只有文字");
    loader->sendMessage(text);
    ASSERT_TRUE(settle());
    ASSERT_EQ(requests().size(), 1u);
    EXPECT_EQ(requests().front().command, "30104");
    EXPECT_EQ(succeeded(), 2u);
}

TEST_F(SendPipeline, AFailedOrAddresslessUploadIsReportedAndNothingIsSentOrStored)
{
    struct Case {
        const char* name;
        bool photo;
        std::function<void()> script;
    };
    std::vector<Case> cases {
        { "server error page", true,
            [&] { standin().script().forRoute("upload/msgpic", ScriptedReply::http500Html()); } },
        { "photo reply without thumb", true,
            [&] {
                standin().script().forRoute("upload/msgpic",
                    ScriptedReply::custom(200, R"({"resultState":1,"original":"http://127.0.0.1/x.jpg"})"));
            } },
        { "clip reply without address", false,
            [&] { standin().script().forRoute("upload/audio", ScriptedReply::custom(200, R"({"resultState":1})")); } },
        { "connection dropped", false,
            [&] { standin().script().forRoute("upload/audio", ScriptedReply::connectionReset()); } },
    };
    std::size_t expectedFailures = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.script();
        auto message = c.photo ? photoMessage("照片") : voiceMessage("", 4);
        loader->sendMessage(message);
        ASSERT_TRUE(settle());
        ++expectedFailures;
        auto reported = posted(MessageLoaderDidSendFailedNotification);
        ASSERT_EQ(reported.size(), expectedFailures) << "the bubble must not stay sending";
        EXPECT_EQ(reported.back(), message);
        EXPECT_TRUE(message->uid.empty());
    }
    EXPECT_TRUE(sends().empty());
    EXPECT_EQ(succeeded(), 0u);
    EXPECT_TRUE(storedConversation().empty());

    // A photo whose file is gone never leaves the phone and still fails.
    std::size_t before = requests().size();
    auto lost = photoMessage("丢失");
    platform::FileUtil::remove(lost->photosInfo.front()->path);
    loader->sendMessage(lost);
    ASSERT_TRUE(settle());
    EXPECT_EQ(requests().size(), before);
    ASSERT_EQ(failed(), expectedFailures + 1);
    EXPECT_EQ(posted(MessageLoaderDidSendFailedNotification).back(), lost);
}

TEST_F(SendPipeline, TheSendReplyDecidesByItsMessageIdAlone)
{
    standin().script().forCommand("30104", ScriptedReply::errorEnvelope("联系人不存在"));
    standin().script().forCommand("30104", ScriptedReply::custom(200, R"({"resultState":1,"msgId":""})"));
    standin().script().forCommand("30104", ScriptedReply::connectionReset());
    // Longer than an answer to a send can be: refused unread, id and all.
    std::string tooLong = R"({"resultState":1,"msgId":"M778","note":")";
    tooLong += std::string((300 << 10) - tooLong.size(), 'x') + "\"}";
    standin().script().forCommand("30104", ScriptedReply::custom(200, tooLong));
    standin().script().forCommand("30104", ScriptedReply::custom(200, R"({"resultState":0,"msgId":"M777"})"));
    std::vector<std::shared_ptr<MessageInfo>> messages;
    for (const char* text : { "拒绝", "空编号", "断开", "过长", "照收" }) {
        messages.push_back(ownMessage(text));
        loader->sendMessage(messages.back());
        ASSERT_TRUE(settle());
    }
    auto reported = posted(MessageLoaderDidSendFailedNotification);
    ASSERT_EQ(reported.size(), 4u);
    for (std::size_t i = 0; i < reported.size(); ++i)
        EXPECT_EQ(reported[i], messages[i]);
    auto announced = posted(MessageLoaderDidSendSucceededNotification);
    ASSERT_EQ(announced.size(), 1u);
    EXPECT_EQ(announced[0], messages[4]);
    auto conversation = storedConversation();
    ASSERT_EQ(conversation.size(), 1u) << "only the accepted message is stored";
    EXPECT_EQ(conversation[0]->uid, "M777");
    EXPECT_EQ(conversation[0]->content, "照收");
}

TEST_F(SendPipeline, FourMessagesAreInFlightTogetherAndAFifthWaitsForASlot)
{
    standin().script().forCommand("30104", ScriptedReply::normal().delayed(2), 4);
    std::vector<std::shared_ptr<MessageInfo>> messages;
    for (int i = 0; i < 5; ++i) {
        messages.push_back(ownMessage("第" + std::to_string(i + 1) + "条"));
        loader->sendMessage(messages.back());
    }
    ASSERT_TRUE(harness().runUntil([&] { return sends().size() >= 4; }, 30));
    auto first = sends();
    EXPECT_EQ(first.size(), 4u) << "the fifth must wait for a free slot";
    for (const auto& request : first)
        EXPECT_FALSE(request.answered) << "all four were sent before any answer came";

    ASSERT_TRUE(harness().runUntil([&] { return sends().size() == 5; }, 30));
    auto all = sends();
    bool slotFreed = std::any_of(all.begin(), all.begin() + 4, [](const auto& r) { return r.answered; });
    EXPECT_TRUE(slotFreed) << "the fifth started only once one of the four had its answer";

    ASSERT_TRUE(settle());
    EXPECT_EQ(succeeded(), 5u);
    std::set<std::string> ids;
    for (const auto& message : messages)
        ids.insert(message->uid);
    EXPECT_EQ(ids.size(), 5u);
    EXPECT_EQ(storedConversation().size(), 5u);
}

TEST_F(SendPipeline, OneMessageFailingDoesNotTakeTheOthersInFlightWithIt)
{
    ASSERT_FALSE(loader->chatQueue()->shouldCancelAllRequestsOnFailure());
    // Whichever arrives first is dropped at once, while the rest wait for their answers.
    standin().script().forCommand("30104", ScriptedReply::connectionReset());
    standin().script().forCommand("30104", ScriptedReply::normal().delayed(1), 3);
    std::vector<std::shared_ptr<MessageInfo>> messages;
    for (int i = 0; i < 4; ++i) {
        messages.push_back(ownMessage("同时" + std::to_string(i)));
        loader->sendMessage(messages[i]);
    }
    ASSERT_TRUE(settle());
    auto reported = posted(MessageLoaderDidSendFailedNotification);
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(succeeded(), 3u);
    EXPECT_TRUE(reported[0]->uid.empty());
    auto conversation = storedConversation();
    EXPECT_EQ(conversation.size(), 3u);
    for (const auto& row : conversation)
        EXPECT_NE(row->content, reported[0]->content);
}

TEST_F(SendPipeline, OnlyOwnMessagesAreSentAndEachOnlyOnceAtATime)
{
    auto received = ownMessage("别人的");
    received->to = false;
    loader->sendMessage(received);
    loader->sendMessage(nullptr);
    EXPECT_EQ(loader->pendingCount(), 0u);

    auto message = ownMessage("点了两次");
    loader->sendMessage(message);
    loader->sendMessage(message);
    ASSERT_TRUE(settle());
    EXPECT_EQ(sends().size(), 1u);
    EXPECT_EQ(succeeded(), 1u);
    EXPECT_EQ(failed(), 0u);
}

TEST_F(SendPipeline, AGoneObserverOrAGoneLoaderHearsAndSaysNothing)
{
    int heard = 0;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        MessageLoaderDidSendSucceededNotification, {}, [&](const platform::Notification&) { ++heard; });
    standin().script().forCommand("30104", ScriptedReply::normal().delayed(0.5));
    loader->sendMessage(ownMessage("屏幕已关"));
    token.reset(); // the chat screen closed while its message travels
    ASSERT_TRUE(settle());
    EXPECT_EQ(succeeded(), 1u);
    EXPECT_EQ(heard, 0);

    // A loader that goes away cancels what it has in flight and reports none of it.
    standin().script().forCommand("30104", ScriptedReply::normal().delayed(1));
    loader->sendMessage(ownMessage("没人等"));
    ASSERT_TRUE(harness().runUntil([&] { return sends().size() == 2; }, 30));
    loader.reset();
    ASSERT_TRUE(standin().requests().waitForCount(2, std::chrono::seconds(30), true));
    ASSERT_TRUE(harness().waitForServerQuiet());
    EXPECT_EQ(succeeded(), 1u);
    EXPECT_EQ(failed(), 0u);
}

// The server has taken the message: it is stored under the account it was
// sent from, never in the list of the account signed in by then.
TEST_F(SendPipeline, AReplyArrivingAfterAnAccountSwitchIsStoredUnderTheAccountItWasSentFrom)
{
    standin().script().forCommand("30104", ScriptedReply::normal().delayed(1));
    auto message = ownMessage("切换前");
    loader->sendMessage(message);
    ASSERT_TRUE(harness().runUntil([&] { return sends().size() == 1; }, 30));
    becomeAccount(2002, 1);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(storedConversation().empty()) << "the other teacher's list";
    ASSERT_EQ(succeeded(), 1u);
    EXPECT_EQ(posted(MessageLoaderDidSendSucceededNotification).front(), message);
    EXPECT_EQ(failed(), 0u);
    becomeAccount(kTeacherUid, kTeacherType);
    auto stored = storedConversation();
    ASSERT_EQ(stored.size(), 1u) << "the sender's list";
    EXPECT_EQ(stored.front()->content, "切换前");
    EXPECT_FALSE(stored.front()->uid.empty());
}

} // namespace
