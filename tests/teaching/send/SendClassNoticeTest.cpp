// A teacher's class notice against the stand-in server on the manual clock:
// the class list's states in the receiver field, every check of the send in
// order, the text arriving as typed whatever it holds, one send at a time,
// the two notifications 1.5 s apart and the notice stored for the pages.
#include "teaching/send/SendFormLook.h"
#include "teaching/send/SendClassNoticeViewController.h"

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIDatePicker.h"
#include "teaching/send/AssigningHomeworkViewController.h"
#include "teaching/send/SendOnlineServiceViewController.h"
#include "platform/uikit/UILabel.h"
#include "server/ReplyGate.h"
#include "server/TeachingSends.h"
#include "tests/teaching/send/SendScreenTest.h"

using server::ScriptedReply;
using namespace testsupport;

namespace {

constexpr const char* kClassListRoute = "webapp/base/tea/class_list";
constexpr const char* kNoticeRoute = "webapp/notice/add";

class SendClassNoticeTest : public SendScreenTest {
protected:
    std::shared_ptr<SendClassNoticeViewController> openNotice()
    {
        auto screen = open(std::make_shared<SendClassNoticeViewController>(clock()), 0);
        EXPECT_TRUE(waitForRoute(kClassListRoute, 1));
        harness().loop().runUntilIdle();
        return screen;
    }
    // Picks a day for one of the hidden date fields as the day wheel would.
    void pickDay(SendClassNoticeViewController& screen, const char* outlet, platform::Date day)
    {
        ASSERT_TRUE(field(outlet)->becomeFirstResponder());
        screen.datePicker()->spinToDate(day);
        screen.selectedReceiver();
        harness().loop().runUntilIdle();
    }
};

TEST_F(SendClassNoticeTest, ANoticeGoesThroughEveryCheckAndArrivesAsTyped)
{
    signIn();
    auto gate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kClassListRoute, ScriptedReply::normal().heldBy(gate));
    auto screen = open(std::make_shared<SendClassNoticeViewController>(clock()), 0);
    // The request's start reaches the screen on the loop, after the server has it.
    ASSERT_TRUE(harness().runUntil([&] {
        return gate->arrived() == 1 && field("edReceiver")->text() == SendClassNoticeViewController::kLoadingClasses;
    }));
    EXPECT_EQ(screen->title(), "发布公告");
    EXPECT_FALSE(field("edReceiver")->isEnabled());
    gate->open();
    ASSERT_TRUE(harness().runUntil([&] {
        return field("edReceiver")->isEnabled() && field("edReceiver")->text() != SendClassNoticeViewController::kLoadingClasses;
    }));
    EXPECT_EQ(field("edReceiver")->text(), "三年级(1)班");
    // Both days are today and their row is out of sight; the class row took its place.
    EXPECT_EQ(field("edBeginTime")->text(), "2026-12-07");
    EXPECT_EQ(field("edDeadTime")->text(), "2026-12-07");
    EXPECT_EQ(harness().viewByOutlet("dateView")->alpha(), 0);
    EXPECT_EQ(harness().viewByOutlet("classView")->frame().origin.y, harness().viewByOutlet("dateView")->frame().origin.y);

    // The second class, chosen on the wheel.
    tapOn(field("edReceiver"));
    ASSERT_TRUE(field("edReceiver")->isFirstResponder());
    auto wheel = std::dynamic_pointer_cast<UIPickerView>(field("edReceiver")->inputView());
    ASSERT_NE(wheel, nullptr) << "the classes come on a wheel in the keyboard's place";
    ASSERT_TRUE(spinPicker(wheel, 1));
    EXPECT_EQ(field("edReceiver")->text(), "三年级(2)班");
    screen->selectedReceiver();
    EXPECT_FALSE(field("edReceiver")->isFirstResponder());

    // Every check, in order, each stopping the send.
    EXPECT_EQ(overlayAfterTapping("发布"), SendClassNoticeViewController::kNeedTitle);
    letOverlayGo();
    ASSERT_TRUE(harness().type(field("edTitle"), "期末考试=安排&通知"));
    pickDay(*screen, "edDeadTime", localTime(6, 9, 0));
    EXPECT_EQ(field("edDeadTime")->text(), "2026-12-06");
    ASSERT_TRUE(harness().tapButton("发布"));
    EXPECT_EQ(alertText(), "警告|开始日期不能大于结束日期|ok");
    ASSERT_TRUE(harness().tapAlertButton("ok"));
    pickDay(*screen, "edBeginTime", localTime(6, 9, 0));
    ASSERT_TRUE(harness().tapButton("发布"));
    EXPECT_EQ(alertText(), "警告|结束日期不能小于今天|ok");
    ASSERT_TRUE(harness().tapAlertButton("ok"));
    pickDay(*screen, "edBeginTime", localTime(7, 8, 0));
    pickDay(*screen, "edDeadTime", localTime(9, 8, 0));
    EXPECT_EQ(overlayAfterTapping("发布"), SendClassNoticeViewController::kNeedContent);
    letOverlayGo();
    EXPECT_TRUE(routed(kNoticeRoute, false).empty());

    const std::string content = "请带好文具 & 准考证?\n考场=3楼#301, 1+1=2, 100%完成";
    auto contentView = testsupport::findViewByOutlet(screen->view(), "contentView");
    ASSERT_NE(contentView, nullptr);
    const auto restingContent = contentView->frame();
    const auto restingText = textArea("tvContent")->frame();
    ASSERT_TRUE(testsupport::type(textArea("tvContent"), content));
    EXPECT_TRUE(harness().viewByOutlet("holdTextLbl")->isHidden());
    // Writing the text, the content area goes up, the text view's top just
    // below the navigation bar, and the text view ends above the keyboard and its bar.
    EXPECT_LT(contentView->frame().origin.y, restingContent.origin.y);
    EXPECT_EQ(textArea("tvContent")->superview()->convertRectToView(textArea("tvContent")->frame(), screen->view().get()).minY(), 0);
    EXPECT_EQ(textArea("tvContent")->frame().height(),
        screen->view()->frame().height() - platform::Keyboard::frame().height() - teaching::kTextViewKeyboardGap);
    screen->selectedReceiver();
    EXPECT_EQ(contentView->frame(), restingContent);
    EXPECT_EQ(textArea("tvContent")->frame(), restingText);

    // The answer is held: the overlay says it is sending, and a second press sends nothing.
    auto sendGate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kNoticeRoute, ScriptedReply::normal().heldBy(sendGate));
    ASSERT_TRUE(harness().tapButton("发布"));
    ASSERT_TRUE(harness().runUntil([&] { return sendGate->arrived() == 1; }));
    EXPECT_TRUE(harness().runUntil([&] { return harness().overlayText() == SendClassNoticeViewController::kStartedText; }));
    EXPECT_TRUE(screen->isLoading());
    // The overlay takes the touches; the action itself must not send again either.
    EXPECT_FALSE(harness().tapButton("发布"));
    screen->btnSendAction(nullptr);
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(routed(kNoticeRoute, false).size(), 1u);
    sendGate->open();
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == SendClassNoticeViewController::kSentText; }));

    // The class circle hears of it at once; the list page as the screen closes.
    EXPECT_EQ(harness().notifications().count("kSendWeiboSuccess"), 1u);
    EXPECT_EQ(harness().notifications().count("kSendClassNoticeSuccessed"), 0u);
    // Sent again while closing: nothing more goes out.
    screen->btnSendAction(nullptr);
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(routed(kNoticeRoute, false).size(), 1u);
    harness().advance(SendClassNoticeViewController::kCloseDelay - 0.1);
    EXPECT_EQ(harness().notifications().count("kSendClassNoticeSuccessed"), 0u);
    EXPECT_EQ(harness().topScreen(), screen);
    harness().advance(0.2);
    settle(harness());
    EXPECT_EQ(harness().notifications().count("kSendClassNoticeSuccessed"), 1u);
    EXPECT_NE(harness().topScreen(), screen);

    // Every value arrived whole, each under its own key, in the order the server expects.
    auto sent = routed(kNoticeRoute).front();
    EXPECT_EQ(queryKeys(sent), (std::vector<std::string> { "schoolId", "teacherId", "startDate", "endDate", "title",
                                   "content", "classId", "areaAbb" }));
    EXPECT_EQ(sent.queryValue("title"), "期末考试=安排&通知");
    EXPECT_EQ(sent.queryValue("content"), content);
    EXPECT_EQ(sent.queryValue("startDate"), "2026-12-07");
    EXPECT_EQ(sent.queryValue("endDate"), "2026-12-09");
    EXPECT_EQ(sent.queryValue("classId"), "102");
    EXPECT_EQ(sent.queryValue("teacherId"), "2001");

    // Stored where a page lists the class's notices.
    auto data = storedData();
    ASSERT_NE(data, nullptr);
    auto stored = server::teachingsends::classNotices(*data, 102);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]["title"].stringValue(), "期末考试=安排&通知");
    EXPECT_EQ(stored[0]["content"].stringValue(), content);
    EXPECT_EQ(stored[0]["endDate"].stringValue(), "2026-12-09");
    EXPECT_TRUE(server::teachingsends::classNotices(*data, 101).empty());
}

TEST_F(SendClassNoticeTest, WithoutAClassListNothingGoesOutAndAFailedSendKeepsTheText)
{
    signIn();
    // A failed list: the status text stays in the disabled field, and is no receiver.
    harness().server()->script().forRoute(kClassListRoute, ScriptedReply::http500Json());
    auto screen = openNotice();
    ASSERT_TRUE(harness().runUntil([&] { return field("edReceiver")->text() == SendClassNoticeViewController::kClassesFailed; }));
    EXPECT_FALSE(field("edReceiver")->isEnabled());
    // The other fields still edit.
    ASSERT_TRUE(harness().type(field("edTitle"), "家长会"));
    // The title's keys go with Return: they have no bar of their own.
    ASSERT_TRUE(harness().returnKey(field("edTitle")));
    ASSERT_TRUE(testsupport::type(textArea("tvContent"), "周五下午三点"));
    screen->selectedReceiver();
    EXPECT_EQ(overlayAfterTapping("发布"), SendClassNoticeViewController::kNeedReceiver);
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(routed(kNoticeRoute, false).empty());
    harness().render("teaching-send-notice-no-class.png");
}

TEST_F(SendClassNoticeTest, AnEmptyClassListStopsEveryFieldAndARefusalIsShown)
{
    signIn();
    harness().server()->script().forRoute(
        kClassListRoute, ScriptedReply::custom(200, R"({"resultState":1,"resultMsg":"","items":[]})"));
    openNotice();
    ASSERT_TRUE(harness().runUntil([&] { return field("edReceiver")->text() == SendClassNoticeViewController::kNoClasses; }));
    EXPECT_FALSE(field("edReceiver")->isEnabled());
    tapOn(field("edTitle"));
    EXPECT_FALSE(field("edTitle")->isFirstResponder());
    EXPECT_EQ(harness().overlayText(), SendClassNoticeViewController::kWaitForClasses);
}

TEST_F(SendClassNoticeTest, ARefusedSendShowsTheServersWordsAndMaySendAgain)
{
    signIn();
    auto screen = openNotice();
    ASSERT_TRUE(harness().runUntil([&] { return field("edReceiver")->isEnabled(); }));
    ASSERT_TRUE(harness().type(field("edTitle"), "运动会"));
    // The title's keys go with Return: they have no bar of their own.
    ASSERT_TRUE(harness().returnKey(field("edTitle")));
    ASSERT_TRUE(testsupport::type(textArea("tvContent"), "周三上午"));
    screen->selectedReceiver();
    harness().render("teaching-send-notice.png");
    harness().server()->script().forRoute(kNoticeRoute, ScriptedReply::errorEnvelope("服务器繁忙"));
    ASSERT_TRUE(harness().tapButton("发布"));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "服务器繁忙"; }));
    EXPECT_FALSE(screen->isLoading());
    EXPECT_EQ(textArea("tvContent")->text(), "周三上午");
    EXPECT_EQ(harness().notifications().count("kSendWeiboSuccess"), 0u);
    letOverlayGo();
    ASSERT_TRUE(harness().tapButton("发布"));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == SendClassNoticeViewController::kSentText; }));
    EXPECT_EQ(routed(kNoticeRoute).size(), 2u);
    EXPECT_EQ(routed(kNoticeRoute).back().queryValue("classId"), "101");
}

// The list pages and the class circle's compose menu open the three screens
// by name: the real ones answer, not stand-ins.
TEST_F(SendClassNoticeTest, TheScreensAreMadeByTheirNames)
{
    auto& registry = platform::ClassRegistry::shared();
    EXPECT_NE(std::dynamic_pointer_cast<SendClassNoticeViewController>(registry.create("SendClassNoticeViewController")), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<AssigningHomeworkViewController>(registry.create("AssigningHomeworkViewController")), nullptr);
    EXPECT_NE(std::dynamic_pointer_cast<SendOnlineServiceViewController>(registry.create("SendOnlineServiceViewController")), nullptr);
}

// Left before the answer: the circle still hears of the notice, the outcome
// still replaces the spinner and goes, and the gone screen is not called.
TEST_F(SendClassNoticeTest, LeavingBeforeTheAnswerLeavesNoOverlayAndTheCircleStillHears)
{
    signIn();
    auto screen = openNotice();
    ASSERT_TRUE(harness().runUntil([&] { return field("edReceiver")->isEnabled(); }));
    ASSERT_TRUE(harness().type(field("edTitle"), "家长会"));
    // The title's keys go with Return: they have no bar of their own.
    ASSERT_TRUE(harness().returnKey(field("edTitle")));
    ASSERT_TRUE(testsupport::type(textArea("tvContent"), "周五下午"));
    screen->selectedReceiver();
    auto gate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kNoticeRoute, ScriptedReply::normal().heldBy(gate));
    ASSERT_TRUE(harness().tapButton("发布"));
    ASSERT_TRUE(harness().runUntil(
        [&] { return gate->arrived() == 1 && harness().overlayText() == SendClassNoticeViewController::kStartedText; }));

    auto below = leave(screen);

    gate->open();
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == SendClassNoticeViewController::kSentText; }));
    EXPECT_EQ(harness().notifications().count("kSendWeiboSuccess"), 1u);
    // The circle reloads on the news under its own overlay, which goes with its answer.
    harness().advance(SendClassNoticeViewController::kCloseDelay + 0.5);
    ASSERT_TRUE(harness().waitForServerQuiet());
    EXPECT_TRUE(harness().runUntil([&] { return harness().overlayText().empty(); }));
    harness().advance(2);
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().notifications().count(SendClassNoticeViewController::kSentNotification), 0u);
    EXPECT_EQ(harness().topScreen(), below);
}

} // namespace
