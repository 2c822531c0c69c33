// The call screen against the stand-in's click-to-dial service: a call
// placed at once and hung up with the same button, the party's link id sent
// whole and the same on start and stop, a refused start shown with the
// screen kept, and leaving during a call by the button or the swipe, which
// goes only once the hang-up has succeeded.
#include "contacts/calls/CallNumberViewController.h"
#include "core/session/ORBEndpoints.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "server/StandinServer.h"
#include "tests/contacts/ContactsTestSupport.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/SignedInScreen.h"

#include "app/main/ORBViewController.h"

#include <gtest/gtest.h>

using core::ORBEndpoints;
using server::ScriptedReply;
using namespace testsupport;
using namespace contactstest;

namespace {

constexpr const char* kDial = ORBEndpoints::Cmd::kCtdDial;
constexpr const char* kHangUp = ORBEndpoints::Cmd::kCtdHangUp;

class CallScreen : public SignedInScreenTest {
protected:
    std::shared_ptr<CallNumberViewController> call(std::shared_ptr<core::ContactInfo> contact,
        std::shared_ptr<core::HistoryInfo> history = nullptr, int type = 2)
    {
        signIn();
        EXPECT_TRUE(harness().runUntil(bookIdle));
        settle(harness(), 2.0);
        auto screen = std::make_shared<CallNumberViewController>();
        if (contact)
            screen->setContact(std::move(contact));
        if (history)
            screen->setHistory(std::move(history));
        screen->setCallType(type);
        screen->setStrWarn("点击拨号将由平台回拨您的手机");
        open(screen, ORBViewController::kContactsTab);
        return screen;
    }

    static std::shared_ptr<core::ContactInfo> chenJing()
    {
        auto contact = std::make_shared<core::ContactInfo>();
        contact->uid = 2002;
        contact->name = "陈静";
        contact->phone = "13900000002";
        contact->type = 1;
        return contact;
    }

    std::shared_ptr<UIButton> button()
    {
        return std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet("btnCallContact"));
    }
    std::string buttonTitle() { return button()->titleForState(UIControlStateNormal).value_or(""); }
    bool onTop(const std::shared_ptr<CallNumberViewController>& screen) { return harness().topScreen() == screen; }
    std::string alertText() { return harness().currentAlert() ? harness().currentAlert()->message() : std::string(); }
    long long sentLinkId(const char* command, std::size_t index)
    {
        auto sent = requests(command);
        return index < sent.size() && sent[index].json ? (*sent[index].json)["linkId"].longLongValue() : -1;
    }
};

} // namespace

TEST_F(CallScreen, ACallStartsAtOnceAndTheButtonHangsUp)
{
    auto gate = std::shared_ptr<server::ReplyGate>();
    signIn();
    ASSERT_TRUE(harness().runUntil(bookIdle));
    settle(harness(), 2.0);
    gate = holdNext(kDial);
    auto screen = std::make_shared<CallNumberViewController>();
    screen->setContact(chenJing());
    screen->setCallType(2);
    screen->setStrWarn("点击拨号将由平台回拨您的手机");
    open(screen, ORBViewController::kContactsTab);
    EXPECT_TRUE(harness().runUntil([&] { return harness().overlayText() == "请求拨号中"; }));
    EXPECT_EQ(buttonTitle(), "拨号");
    EXPECT_EQ(std::dynamic_pointer_cast<UILabel>(harness().viewByOutlet("lblWarn"))->text(),
        "温馨提示：点击拨号将由平台回拨您的手机");
    EXPECT_EQ(std::dynamic_pointer_cast<UILabel>(harness().viewByOutlet("titleContact"))->text(), "陈静");
    EXPECT_FALSE(harness().render("contacts-call-dialing.png").empty());
    gate->open();
    ASSERT_TRUE(waitForAnswer(kDial));
    ASSERT_TRUE(harness().runUntil([&] { return screen->isCalling(); }));
    EXPECT_EQ(buttonTitle(), "挂断");
    const auto started = requests(kDial);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ((*started[0].json)["linkId"].longLongValue(), 2002);
    EXPECT_EQ((*started[0].json)["type"].intValue(), 2);
    EXPECT_EQ((*started[0].json)["phone"].stringValue(), "13900000002");
    EXPECT_FALSE(harness().render("contacts-call-calling.png").empty());

    ASSERT_TRUE(harness().tap(button()));
    ASSERT_TRUE(waitForAnswer(kHangUp));
    ASSERT_TRUE(harness().runUntil([&] { return !screen->isCalling(); }));
    EXPECT_EQ(buttonTitle(), "拨号");
    EXPECT_EQ(sentLinkId(kHangUp, 0), 2002);
    EXPECT_TRUE(onTop(screen));
}

TEST_F(CallScreen, AHistoryCallSendsItsWholeLinkIdOnStartAndStop)
{
    auto history = std::make_shared<core::HistoryInfo>();
    history->caller = "刘建华";
    history->callerPhone = "13700006003";
    history->callerType = 0;
    history->linkId = 4294967301LL + 16777217LL; // beyond 2^24 and 2^32
    auto screen = call(nullptr, history, 0);
    ASSERT_TRUE(waitForAnswer(kDial));
    ASSERT_TRUE(harness().runUntil([&] { return screen->isCalling(); }));
    ASSERT_TRUE(harness().tap(button()));
    ASSERT_TRUE(waitForAnswer(kHangUp));
    ASSERT_TRUE(harness().runUntil([&] { return !screen->isCalling(); }));
    EXPECT_EQ(sentLinkId(kDial, 0), history->linkId);
    EXPECT_EQ(sentLinkId(kHangUp, 0), history->linkId);
    EXPECT_TRUE((*requests(kDial)[0].json)["linkId"].isInteger());
}

TEST_F(CallScreen, ARefusedStartIsShownAndTheScreenStaysIdle)
{
    signIn();
    ASSERT_TRUE(harness().runUntil(bookIdle));
    settle(harness(), 2.0);
    harness().server()->script().forCommand(kDial, ScriptedReply::custom(200, R"({"resultState":1,"resultMsg":"余额不足"})"));
    auto screen = std::make_shared<CallNumberViewController>();
    screen->setContact(chenJing());
    open(screen, ORBViewController::kContactsTab);
    ASSERT_TRUE(waitForAnswer(kDial));
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    EXPECT_EQ(harness().currentAlert()->title(), "警告");
    EXPECT_EQ(alertText(), "余额不足");
    EXPECT_FALSE(screen->isCalling());
    EXPECT_EQ(buttonTitle(), "拨号");
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    // Dialling again places the call.
    ASSERT_TRUE(harness().tap(button()));
    ASSERT_TRUE(waitForAnswer(kDial, 2));
    ASSERT_TRUE(harness().runUntil([&] { return screen->isCalling(); }));
    EXPECT_TRUE(onTop(screen));

    // No number: nothing is sent.
    auto empty = std::make_shared<CallNumberViewController>();
    empty->setContact(std::make_shared<core::ContactInfo>());
    harness().visibleNavigationController()->pushViewController(empty, false);
    settle(harness());
    ASSERT_TRUE(harness().currentAlert());
    EXPECT_EQ(alertText(), "号码为空，无法拨打！");
    EXPECT_EQ(requests(kDial).size(), 2u);
}

TEST_F(CallScreen, LeavingDuringACallHangsUpFirstWhicheverWayAndStaysWhenItCannot)
{
    auto screen = call(chenJing());
    ASSERT_TRUE(waitForAnswer(kDial));
    ASSERT_TRUE(harness().runUntil([&] { return screen->isCalling(); }));

    // The swipe asks as the button does; "不是" stays.
    ASSERT_TRUE(harness().swipeRight(screen->view()));
    settle(harness(), 0.5);
    ASSERT_TRUE(harness().currentAlert());
    EXPECT_EQ(alertText(), "您正在拨打电话中，是否挂断返回？");
    EXPECT_TRUE(onTop(screen));
    ASSERT_TRUE(harness().tapAlertButton("不是"));
    settle(harness());
    EXPECT_TRUE(onTop(screen));
    EXPECT_TRUE(requests(kHangUp).empty());

    // "是的" with a hang-up the service refuses: said, and the call keeps its screen.
    harness().server()->script().forCommand(kHangUp, ScriptedReply::custom(200, R"({"resultState":1,"resultMsg":"挂断失败"})"));
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    ASSERT_TRUE(harness().tapAlertButton("是的"));
    ASSERT_TRUE(waitForAnswer(kHangUp, 1));
    ASSERT_TRUE(harness().runUntil([&] { return alertText() == "挂断失败"; }));
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    settle(harness(), 2);
    EXPECT_TRUE(onTop(screen));
    EXPECT_TRUE(screen->isCalling());

    // A hang-up that never arrives: the same.
    harness().server()->script().forCommand(kHangUp, ScriptedReply::connectionReset());
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    ASSERT_TRUE(harness().tapAlertButton("是的"));
    ASSERT_TRUE(harness().runUntil([&] { return requests(kHangUp).size() == 2 && harness().overlayText() == "服务连接出错，请重试"; }));
    settle(harness(), 2);
    EXPECT_TRUE(onTop(screen));
    EXPECT_TRUE(screen->isCalling());

    // A hang-up that succeeds: then the screen goes.
    ASSERT_TRUE(harness().swipeRight(screen->view()));
    ASSERT_TRUE(harness().tapAlertButton("是的"));
    ASSERT_TRUE(waitForAnswer(kHangUp, 3));
    ASSERT_TRUE(harness().runUntil([&] { return !onTop(screen); }));
    EXPECT_FALSE(screen->isCalling());
    EXPECT_EQ(sentLinkId(kHangUp, 2), 2002);
}

// Left while the dial is still on its way: the spinner goes with the answer,
// and the gone screen is never called (nothing asks to hang up).
TEST_F(CallScreen, LeavingBeforeTheDialIsAnsweredLeavesNoOverlay)
{
    signIn();
    ASSERT_TRUE(harness().runUntil(bookIdle));
    settle(harness(), 2.0);
    auto gate = holdNext(kDial);
    auto screen = std::make_shared<CallNumberViewController>();
    screen->setContact(chenJing());
    screen->setCallType(2);
    open(screen, ORBViewController::kContactsTab);
    ASSERT_TRUE(harness().runUntil([&] { return gate->arrived() == 1 && harness().overlayText() == "请求拨号中"; }));

    auto book = leave(screen);

    gate->open();
    ASSERT_TRUE(waitForAnswer(kDial));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(harness().overlayText(), "");
    settle(harness(), 2);
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_TRUE(requests(kHangUp).empty());
    EXPECT_EQ(harness().topScreen(), book);
}
