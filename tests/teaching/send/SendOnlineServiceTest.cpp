// A message to the online service against the stand-in server on the manual
// clock: the keyboard opening by itself, the empty text refused, "needs
// reply" on unless switched off, the text arriving whole whatever it holds,
// one send at a time, the page told at once and the screen closing later.
#include "teaching/send/SendOnlineServiceViewController.h"

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "server/ReplyGate.h"
#include "server/TeachingSends.h"
#include "tests/teaching/send/SendScreenTest.h"

using server::ScriptedReply;
using namespace testsupport;

namespace {

constexpr const char* kServiceRoute = "webapp/servicemsg/new";

class SendOnlineServiceTest : public SendScreenTest {
protected:
    std::shared_ptr<SendOnlineServiceViewController> openService()
    {
        auto screen = open(std::make_shared<SendOnlineServiceViewController>(), 0);
        harness().advance(SendOnlineServiceViewController::kKeyboardDelay + 0.1);
        return screen;
    }
    std::shared_ptr<UIButton> replyToggle() const
    {
        return std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet("isNeedReplyBtn"));
    }
};

TEST_F(SendOnlineServiceTest, AMessageWantingAReplyArrivesWholeAndThePageHearsAtOnce)
{
    signIn();
    auto screen = openService();
    EXPECT_EQ(screen->title(), "发送留言");
    // The keyboard came up by itself; the reply row moved up with it.
    auto text = textArea("textView");
    EXPECT_TRUE(text->isFirstResponder());
    EXPECT_LT(harness().viewByOutlet("needReplyView")->frame().maxY(), 504 - 100);
    EXPECT_TRUE(replyToggle()->isSelected());

    ASSERT_TRUE(harness().tapButton("发送"));
    EXPECT_EQ(alertText(), "警告|评论内容不能为空|确定");
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(routed(kServiceRoute, false).empty());

    const std::string message = "孩子的作业&isNeedReply=0 在哪看？#3 1+1=2 50%";
    ASSERT_TRUE(testsupport::type(text, message));
    EXPECT_TRUE(harness().viewByOutlet("holdTextLbl")->isHidden());
    harness().render("teaching-send-online-service.png");

    auto gate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kServiceRoute, ScriptedReply::normal().heldBy(gate));
    ASSERT_TRUE(harness().tapButton("发送"));
    ASSERT_TRUE(harness().runUntil([&] { return gate->arrived() == 1; }));
    EXPECT_TRUE(harness().runUntil([&] { return harness().overlayText() == SendOnlineServiceViewController::kSendingText; }));
    EXPECT_FALSE(text->isFirstResponder());
    EXPECT_FALSE(harness().tapButton("发送"));
    screen->sendAction(nullptr);
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(routed(kServiceRoute, false).size(), 1u);
    gate->open();
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "发送成功"; }));
    EXPECT_EQ(harness().notifications().count(SendOnlineServiceViewController::kSentNotification), 1u);
    EXPECT_EQ(harness().topScreen(), screen);
    harness().advance(SendOnlineServiceViewController::kCloseDelay + 0.1);
    settle(harness());
    EXPECT_NE(harness().topScreen(), screen);
    EXPECT_EQ(harness().notifications().count(SendOnlineServiceViewController::kSentNotification), 1u);

    auto sent = routed(kServiceRoute).front();
    EXPECT_EQ(queryKeys(sent), (std::vector<std::string> { "schoolId", "areaAbb", "teacherId", "content", "isNeedReply" }));
    EXPECT_EQ(sent.queryValue("content"), message);
    EXPECT_EQ(sent.queryValue("isNeedReply"), "1");

    auto data = storedData();
    ASSERT_NE(data, nullptr);
    auto stored = server::teachingsends::serviceMessages(*data, 2001);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]["content"].stringValue(), message);
    EXPECT_EQ(stored[0]["isNeedReply"].intValue(), 1);
}

TEST_F(SendOnlineServiceTest, SwitchedOffItAsksForNoReplyAndARefusalKeepsTheText)
{
    signIn();
    auto screen = openService();
    ASSERT_TRUE(harness().tap(replyToggle()));
    EXPECT_FALSE(replyToggle()->isSelected());
    ASSERT_TRUE(testsupport::type(textArea("textView"), "谢谢老师"));

    // The server says no: its words show, the text stays, the page hears nothing.
    harness().server()->script().forRoute(kServiceRoute, ScriptedReply::errorEnvelope("留言功能维护中"));
    ASSERT_TRUE(harness().tapButton("发送"));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "留言功能维护中"; }));
    EXPECT_EQ(textArea("textView")->text(), "谢谢老师");
    EXPECT_EQ(harness().notifications().count(SendOnlineServiceViewController::kSentNotification), 0u);
    harness().advance(SendOnlineServiceViewController::kCloseDelay + 0.5);
    EXPECT_EQ(harness().topScreen(), screen);

    ASSERT_TRUE(harness().tapButton("发送"));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "发送成功"; }));
    auto sent = routed(kServiceRoute);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent.back().queryValue("isNeedReply"), "0");
    EXPECT_EQ(sent.back().queryValue("content"), "谢谢老师");
    auto data = storedData();
    ASSERT_NE(data, nullptr);
    auto stored = server::teachingsends::serviceMessages(*data, 2001);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]["isNeedReply"].intValue(), 0);
}

// Left before the answer: the outcome still replaces the spinner and goes,
// the page still hears of the message, and the gone screen is not called.
TEST_F(SendOnlineServiceTest, LeavingBeforeTheAnswerLeavesNoOverlayAndThePageStillHears)
{
    signIn();
    auto screen = openService();
    ASSERT_TRUE(testsupport::type(textArea("textView"), "明天请假一天"));
    auto gate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kServiceRoute, ScriptedReply::normal().heldBy(gate));
    ASSERT_TRUE(harness().tapButton("发送"));
    ASSERT_TRUE(harness().runUntil(
        [&] { return gate->arrived() == 1 && harness().overlayText() == SendOnlineServiceViewController::kSendingText; }));

    auto below = leave(screen);

    gate->open();
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "发送成功"; }));
    EXPECT_EQ(harness().notifications().count(SendOnlineServiceViewController::kSentNotification), 1u);
    harness().advance(SendOnlineServiceViewController::kCloseDelay + 0.5);
    settle(harness());
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().topScreen(), below);
}

} // namespace
