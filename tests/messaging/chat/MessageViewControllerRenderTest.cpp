// The chat screen drawn to renders/: a conversation of every bubble kind with
// a message still sending, the input bar in voice mode, and sends that failed.
#include "messaging/chat/MessageViewController.h"

#include "app/main/ORBViewController.h"
#include "core/session/ORBEndpoints.h"
#include "core/store/MessageFactory.h"
#include "messaging/MessagingClasses.h"
#include "messaging/voice/MessageAudioPlayer.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UINavigationController.h"
#include "server/ReplyGate.h"
#include "server/StandinServer.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

using namespace testsupport;

TEST(ChatScreenRender, AConversationOfEveryKindWhileOneSends)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    messaging::registerMessagingClasses();
    ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
    const std::string media = harness.serverBase() + "mobile2/pull/static/";

    auto contact = std::make_shared<core::ContactInfo>();
    contact->uid = 3002;
    contact->type = 2;
    contact->name = "王芳";
    contact->thumbAvatar = media + "avatar/5002.png";
    int n = 0;
    auto message = [&](bool to, const std::string& text) {
        auto m = std::make_shared<core::MessageInfo>();
        m->uid = "r" + std::to_string(++n);
        m->to = to;
        m->contact = contact;
        m->content = text;
        m->state = to ? 0 : core::MessageInfo::kStateUnread;
        m->time = platform::Date::now().addingSeconds(-600 + 60 * n);
        return m;
    };
    auto photo = [&](bool to, const std::string& file) {
        auto m = message(to, "");
        auto p = std::make_shared<core::PhotoInfo>();
        p->url = media + "photos/" + file;
        p->thumbUrl = p->url;
        m->photosInfo = { p };
        m->updatePhotos();
        return m;
    };
    auto voice = [&](bool to, int seconds) {
        auto m = message(to, "");
        auto s = std::make_shared<core::SoundInfo>();
        s->url = media + "audio/render-" + std::to_string(n) + ".amr";
        s->seconds = seconds;
        m->soundsInfo = { s };
        m->updateSounds();
        return m;
    };
    ASSERT_TRUE(core::MessageFactory().setMessage({
        message(false, "王老师您好，子涵今天的作业本忘在学校了，明天补交可以吗？"),
        message(true, "可以的，明天早读前交给课代表就好。"),
        photo(false, "photo-400x300.jpg"),
        voice(false, 6),
        photo(true, "photo-200x300.jpg"),
        voice(true, 15),
    }));

    auto chat = std::make_shared<MessageViewController>();
    chat->setContact(contact);
    mainScreen()->switchToView(ORBViewController::kMessageTab);
    harness.visibleNavigationController()->pushViewController(chat, true);
    settle(harness);
    auto field = std::dynamic_pointer_cast<UITextField>(findViewByOutlet(chat->view(), "txtMessage"));
    auto modeButton = findViewByOutlet(chat->view(), "btnVoice");
    // The next send waits at the server's gate, so its bubble is still sending when drawn.
    auto gate = std::make_shared<server::ReplyGate>();
    harness.server()->script().forCommand(core::ORBEndpoints::Cmd::kSendToOne, server::ScriptedReply::normal().heldBy(gate));
    ASSERT_TRUE(harness.type(field, "好的，谢谢王老师！"));
    ASSERT_TRUE(harness.tap(harness.viewByOutlet("btnSend")));
    // Photos and avatars arrive and the rows settle.
    ASSERT_TRUE(harness.runUntil([&] {
        return std::all_of(chat->listData().begin(), chat->listData().end(), [](const auto& m) {
            return m->photosInfo.empty() || m->to || m->photosInfo[0]->width > 0;
        });
    }));
    ASSERT_TRUE(harness.runUntil([&] {
        return !harness.server()->requests().withRoute("static/avatar/5002.png").empty() && gate->arrived() == 1;
    }));
    ASSERT_TRUE(harness.roundTrip());
    harness.advance(1.0);
    EXPECT_EQ(chat->listData().back()->isSending, true);
    chat->closeKeyboard();
    harness.advance(0.5);
    EXPECT_FALSE(harness.render("messaging-chat-screen.png").empty());

    ASSERT_TRUE(harness.tap(modeButton));
    harness.advance(0.5);
    EXPECT_FALSE(harness.render("messaging-chat-voice-mode.png").empty());
    gate->open();
    ASSERT_TRUE(harness.runUntil([&] { return !chat->listData().back()->isSending; }));

    // Back to text, typing: the bar rides the keyboard.
    ASSERT_TRUE(harness.tap(modeButton));
    ASSERT_TRUE(harness.type(field, "明天见"));
    harness.advance(0.5);
    EXPECT_FALSE(harness.render("messaging-chat-keyboard.png").empty());
    MessageAudioPlayer::cancelAll();
}

// Sends that could not reach the server, a text and a photo, each with its
// red mark beside the bubble, under a short conversation: on both screens.
TEST(ChatScreenRender, FailedSendsOnBothScreens)
{
    for (auto [kind, name] : { std::pair { UIScreen::Kind::FourInch, "messaging-chat-failed-send.png" },
             std::pair { UIScreen::Kind::ThreePointFiveInch, "messaging-chat-failed-send-480.png" } }) {
        SCOPED_TRACE(name);
        AppHarnessOptions options;
        options.screen = kind;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        messaging::registerMessagingClasses();
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));

        auto contact = std::make_shared<core::ContactInfo>();
        contact->uid = 3002;
        contact->type = 2;
        contact->name = "王芳";
        auto received = std::make_shared<core::MessageInfo>();
        received->uid = "r1";
        received->contact = contact;
        received->content = "王老师，明天的春游几点集合？";
        received->state = core::MessageInfo::kStateUnread;
        received->time = platform::Date::now().addingSeconds(-300);
        ASSERT_TRUE(core::MessageFactory().setMessage({ received }));

        auto chat = std::make_shared<MessageViewController>();
        chat->setContact(contact);
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        harness.visibleNavigationController()->pushViewController(chat, true);
        settle(harness);
        core::ORBEndpoints::setServerBase("http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/");

        auto field = std::dynamic_pointer_cast<UITextField>(findViewByOutlet(chat->view(), "txtMessage"));
        ASSERT_TRUE(harness.type(field, "早上八点在校门口集合，记得带水。"));
        ASSERT_TRUE(harness.tap(harness.viewByOutlet("btnSend")));
        std::string picture = harness.home() + "/picked.png";
        // A sky over a meadow, so that a squeezed picture shows.
        auto canvas = platform::Context::createBitmap({ 800, 600 });
        ASSERT_NE(canvas, nullptr);
        canvas->setFillColor(platform::Color::fromRGB255(70, 150, 210));
        canvas->fillRect(platform::Rect(0, 0, 800, 600));
        canvas->setFillColor(platform::Color::fromRGB255(90, 170, 80));
        canvas->fillRect(platform::Rect(0, 400, 800, 200));
        canvas->setFillColor(platform::Color::fromRGB255(250, 210, 60));
        canvas->fillEllipseInRect(platform::Rect(560, 80, 160, 160));
        ASSERT_TRUE(canvas->makeImage().writePNG(picture));
        ASSERT_TRUE(harness.tap(harness.viewByOutlet("btnPhoto")));
        ASSERT_TRUE(harness.tapButton("从相册中选取"));
        settle(harness);
        auto picker = std::dynamic_pointer_cast<UIImagePickerController>(harness.presentedScreen());
        ASSERT_NE(picker, nullptr);
        ASSERT_TRUE(picker->pickImageAtPath(picture));
        settle(harness);
        ASSERT_TRUE(harness.runUntil([&] {
            const auto& list = chat->listData();
            return list.size() == 3 && list[1]->sendFailed && list[2]->sendFailed;
        }));
        chat->closeKeyboard();
        harness.advance(1.0);
        EXPECT_FALSE(harness.render(name).empty());
    }
}
