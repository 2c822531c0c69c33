// The message box as a signed-in person meets it, against the stand-in
// server on the manual clock: the list from the store, the tick and the poll
// every 20 ticks, what a poll stores and announces, the state report, the tab
// badge and unReadCount, pull-down, delete, the empty state, and a box whose
// account is no longer signed in.
#include "messaging/box/MessageBoxViewController.h"
#include "tests/messaging/box/BoxTestSupport.h"

#include "app/login/AccountsViewController.h"
#include "app/main/ORBViewController.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "core/store/MessageFactory.h"
#include "foundation/http/HTTPRequest.h"
#include "messaging/box/MessageEmptyCell.h"
#include "messaging/box/MessageGroupCell.h"
#include "messaging/box/MessageSingleCell.h"
#include "messaging/chat/MessageViewController.h"
#include "messaging/send/UnsavedMessages.h"
#include "platform/os/DateFormat.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextField.h"
#include "ui/ORBHelper.h"
#include "server/StandinServer.h"
#include "tests/support/LoopAndMemoryWatch.h"
#include "tests/core/util/CoreTestSupport.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/app/SignedInScreen.h"

#include <gtest/gtest.h>

#include <time.h>

#include <filesystem>

using core::MessageInfo;
using server::ScriptedReply;
using namespace testsupport;

namespace {

class MessageBoxTest : public SignedInScreenTest {
protected:
    void signIn(const char* account = kDemoTeacher, const char* password = kDemoTeacherPassword, long row = 0)
    {
        SignedInScreenTest::signIn(account, password, row);
        ASSERT_TRUE(box());
        waitIdle();
    }

    static std::shared_ptr<MessageBoxViewController> box() { return boxtest::box(); }

    // Lets the replies of what the box has sent arrive.
    void waitIdle()
    {
        ASSERT_TRUE(harness.runUntil(boxtest::boxIdle, 20));
    }

    std::size_t count(const char* command) const { return harness.server()->requests().withCommand(command).size(); }

    // Advances to the tick that sends the next poll (not past it).
    void advanceToNextPoll()
    {
        harness.advance(MessageBoxViewController::kPollTicks - box()->ticks());
        ASSERT_EQ(box()->ticks(), 0);
    }

    // The parent of two switches to the second child through the role button.
    void switchToSecondChild() { switchToChild(1); }

    // The parent of two switches to the child of the chooser's row.
    void switchToChild(long childRow)
    {
        mainScreen()->roleToggle();
        harness.advance(1);
        auto chooser = std::dynamic_pointer_cast<AccountsViewController>(harness.topScreen());
        ASSERT_TRUE(chooser);
        auto accounts
            = std::dynamic_pointer_cast<UITableView>(testsupport::findViewByOutlet(chooser->view(), "tableView"));
        ASSERT_TRUE(accounts);
        ASSERT_TRUE(harness.selectRow(accounts, 0, childRow));
        harness.advance(0.2);
    }

    // The next poll, answered with one message from contact 9, held at the
    // server once it is there; nullptr when it does not come.
    std::shared_ptr<server::ReplyGate> holdNextPoll(const std::string& id, const std::string& text);

    // Leaves the tab and comes back: the box reads its list again.
    void revisit()
    {
        mainScreen()->switchToView(ORBViewController::kCircleTab);
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        harness.loop().runUntilIdle();
    }

    std::shared_ptr<UITableViewCell> row(long index, long section = MessageBoxViewController::kListSection)
    {
        auto table = boxtest::table(box());
        table->layoutIfNeeded();
        auto path = NSIndexPath::indexPathForRow(index, section);
        if (auto cell = table->cellForRowAtIndexPath(path))
            return cell;
        // Below the feature notices: scrolled up into sight, as a person does.
        table->scrollToRowAtIndexPath(path, UITableViewScrollPositionNone, false);
        table->layoutIfNeeded();
        return table->cellForRowAtIndexPath(path);
    }

    std::shared_ptr<MessageSingleCell> conversationOf(int contactUid)
    {
        const auto& list = box()->listData();
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i]->contact && list[i]->contact->uid == contactUid && !list[i]->group)
                return std::dynamic_pointer_cast<MessageSingleCell>(row(long(i)));
        }
        return nullptr;
    }

    int tabBadge() const
    {
        auto button = mainScreen()->badgeBtn();
        return button ? button->badgeNum() : -1;
    }

    AppHarness& harness = SignedInScreenTest::harness();
};

std::string item(const std::string& id, int from, const std::string& text, double agoSeconds)
{
    return R"({"msgId":")" + id + R"(","content":")" + text + R"(","isGroupSend":0,"dateTime":")"
        + platform::DateFormatter("yyyy-MM-dd HH:mm:ss").stringFromDate(platform::Date::now().addingSeconds(-agoSeconds))
        + R"(","linkManId":)" + std::to_string(from) + R"(,"linkManName":"王芳","thumbAvatar":"","orgUserPic":"",)"
        + R"("linkManType":2})";
}

std::shared_ptr<server::ReplyGate> MessageBoxTest::holdNextPoll(const std::string& id, const std::string& text)
{
    auto gate = std::make_shared<server::ReplyGate>();
    harness.server()->script().forCommand(
        "20101", ScriptedReply::custom(200, R"({"resultState":1,"items":[)" + item(id, 9, text, 5) + "]}").heldBy(gate));
    harness.advance(MessageBoxViewController::kPollTicks - box()->ticks());
    harness.advance(1);
    return harness.runUntil([&] { return gate->arrived() == 1; }) ? gate : nullptr;
}

std::shared_ptr<MessageInfo> groupRecord(const std::string& uid, double agoSeconds)
{
    auto record = std::make_shared<MessageInfo>();
    record->uid = uid;
    record->group = true;
    record->to = true;
    record->content = "明天上午九点春游，请准备好水和午餐。";
    record->photos = R"([{"original":"http://127.0.0.1/a.jpg","thumb":"http://127.0.0.1/a_t.jpg"}])";
    record->sounds = R"([{"url":"http://127.0.0.1/a.amr","seconds":4}])";
    record->msgUnReadCount = 12;
    record->msgReadCount = 30;
    record->smsUnSuccessCount = 1;
    record->smsSuccessCount = 41;
    record->state = MessageInfo::kStateRead;
    record->time = platform::Date::now().addingSeconds(-agoSeconds);
    return record;
}

// `count` unread messages from one contact, the newest `agoSeconds` ago.
core::MessageList unreadFrom(int uid, const std::string& name, int count, double agoSeconds, const std::string& text)
{
    auto contact = std::make_shared<core::ContactInfo>();
    contact->uid = uid;
    contact->name = name;
    contact->type = 2;
    core::MessageList list;
    for (int i = 0; i < count; ++i) {
        auto message = std::make_shared<MessageInfo>();
        message->uid = "U" + std::to_string(uid) + "-" + std::to_string(i);
        message->contact = contact;
        message->content = text;
        message->state = MessageInfo::kStateUnread;
        message->time = platform::Date::now().addingSeconds(-agoSeconds - (count - i));
        list.push_back(std::move(message));
    }
    return list;
}

TEST_F(MessageBoxTest, PollsEveryTwentyTicksAndAHeldReplyHoldsTheNext)
{
    signIn();
    // The sign-in's first poll brought the demo teacher's two waiting messages.
    EXPECT_EQ(count("20101"), 1u);
    ASSERT_EQ(box()->listData().size(), 2u);
    EXPECT_EQ(tabBadge(), 2);

    advanceToNextPoll();
    EXPECT_EQ(count("20101"), 1u) << "not before the 20th tick";
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(count("20101"), 2u);
    harness.advance(MessageBoxViewController::kPollTicks - 1);
    EXPECT_EQ(count("20101"), 2u);
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(count("20101"), 3u);

    // A reply held past the 20 ticks: no second poll while it is out, and the
    // first tick after it lands polls.
    harness.server()->script().forCommand("20101", ScriptedReply::normal().delayed(1.5));
    advanceToNextPoll();
    harness.advance(1);
    ASSERT_TRUE(box()->isPolling());
    harness.advance(25);
    EXPECT_EQ(box()->ticks(), 0);
    waitIdle();
    EXPECT_EQ(count("20101"), 4u);
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(count("20101"), 5u);

    // Pull-down: the next tick polls; during a poll it starts none and the
    // header closes when the poll ends.
    harness.advance(3);
    harness.drag(boxtest::table(box()), 90);
    EXPECT_TRUE(boxtest::table(box())->isReloading());
    harness.server()->script().forCommand("20101", ScriptedReply::normal().delayed(1.0));
    harness.advance(1);
    EXPECT_EQ(box()->ticks(), 1);
    harness.drag(boxtest::table(box()), 90);
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(count("20101"), 6u);
    EXPECT_FALSE(boxtest::table(box())->isReloading());
}

TEST_F(MessageBoxTest, TicksThatOnlyCountTellTheWindowNothingChanged)
{
    signIn();
    const char* navigation = core::ORBEndpoints::Cmd::kNavigationMessages;
    // The navigation rows tick from the tab's first appearance on.
    mainScreen()->switchToView(ORBViewController::kMessageTab);
    ASSERT_TRUE(harness.runUntil([&] { return count(navigation) >= 1; }, 20));
    advanceToNextPoll();
    waitIdle();
    auto& loop = harness.loop();
    auto messagePolls = count("20101");
    auto navigations = count(navigation);
    // Watched, the activity indicator's hide after each request may change
    // the screen: only the ticks are counted quiet.
    foundation::HTTPRequest::setNetworkActivityIndicatorObserver([](bool) {});
    auto quiet = loop.quietCalloutCount();
    // Two ticks a second (the poll's and the navigation rows'), every one
    // quiet, those that send a request too: the window is drawn for the
    // answers only.
    constexpr int kSeconds = 3 * MessageBoxViewController::kNavPollTicks + 1;
    for (int second = 0; second < kSeconds; ++second) {
        harness.advance(1);
        waitIdle();
    }
    EXPECT_EQ(count("20101") - messagePolls, 10u) << "the first tick, and every twentieth after it";
    EXPECT_GE(count(navigation) - navigations, 3u);
    EXPECT_EQ(loop.quietCalloutCount() - quiet, 2u * kSeconds);
    foundation::HTTPRequest::setNetworkActivityIndicatorObserver(nullptr);
}

TEST_F(MessageBoxTest, NewMessagesAreStoredThenAnnouncedThenReportedOnce)
{
    signIn();
    core::MessageFactory store;
    ASSERT_TRUE(store.setMessage({ groupRecord("G9", 3600) }));
    const std::size_t reportsBefore = count("20105");

    // What each announcement finds in the store when it is posted.
    std::vector<std::size_t> storedAtPost;
    std::vector<std::string> announced;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        "new_message_7", platform::Value(), [&](const platform::Notification& n) {
            EXPECT_TRUE(n.object.isNull());
            auto message = n.userInfo.get("message").objectAs<MessageInfo>();
            ASSERT_TRUE(message);
            announced.push_back(message->uid);
            storedAtPost.push_back(core::MessageFactory().getMessageStateChanged().value_or(core::MessageList {}).size());
        });
    // The second item has no time, the fourth no sender: neither is stored
    // nor stops the others.
    std::string body = R"({"resultState":1,"items":[)" + item("a1", 7, "第一条", 30) + ","
        + R"({"msgId":"bad","content":"x","linkManId":7,"linkManName":"王芳","thumbAvatar":"","orgUserPic":"","linkManType":2},)"
        + item("a2", 7, "第二条", 20) + R"(,{"msgId":"nobody","content":"y","dateTime":"2026-01-01 08:00:00"},)"
        + item("a3", 7, "第三条", 10)
        + R"(],"groupsendstat":[{"msgId":"G9","msgReadCount":2,"msgUnReadCount":3,"smsSuccessCount":4,"smsUnSuccessCount":1}]})";
    harness.server()->script().forCommand("20101", ScriptedReply::custom(200, body));
    harness.server()->script().forCommand("20105", ScriptedReply::errorEnvelope("忙"));
    advanceToNextPoll();
    harness.advance(1);
    waitIdle();

    EXPECT_EQ(announced, (std::vector<std::string> { "a1", "a2", "a3" }));
    EXPECT_EQ(storedAtPost, (std::vector<std::size_t> { 3, 3, 3 })) << "all three stored before the first announcement";
    auto cell = conversationOf(7);
    ASSERT_TRUE(cell);
    EXPECT_EQ(boxtest::text(cell, "lblBadge"), "3");
    EXPECT_EQ(boxtest::text(cell, "lblContent"), "第三条");
    EXPECT_EQ(tabBadge(), 5) << "3 new and the 2 demo messages, the group record counts nothing";
    EXPECT_EQ(core::MyAccountInfo::currentAccount()->unReadCount, 5);
    auto record = std::find_if(box()->listData().begin(), box()->listData().end(), [](auto& m) { return m->group; });
    ASSERT_NE(record, box()->listData().end());
    EXPECT_EQ((*record)->msgReadCount, 2);
    EXPECT_EQ((*record)->smsUnSuccessCount, 1);

    // The report the server refused is sent again after the next poll, then no more.
    auto reports = harness.server()->requests().withCommand("20105");
    ASSERT_EQ(reports.size(), reportsBefore + 1);
    const platform::Value& hasSend = reports.back().bodyValue("hasSend");
    ASSERT_EQ(hasSend.count(), 3u);
    EXPECT_EQ(hasSend[0].stringValue(), "a1");
    EXPECT_EQ(reports.back().bodyValue("hasRead").count(), 0u);
    advanceToNextPoll();
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(count("20105"), reportsBefore + 2);
    EXPECT_EQ(harness.server()->requests().withCommand("20105").back().bodyValue("hasSend").count(), 3u);
    advanceToNextPoll();
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(count("20105"), reportsBefore + 2) << "nothing left to report";
}

TEST_F(MessageBoxTest, APollReplyStartingWithAByteOrderMarkStillDeliversItsMessages)
{
    // Every reply is read past a leading UTF-8 byte-order mark, the poll's as
    // well: its messages are stored, shown and reported like any others.
    signIn();
    const std::size_t reportsBefore = count("20105");
    std::vector<std::string> announced;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        "new_message_7", platform::Value(), [&](const platform::Notification& n) {
            if (auto message = n.userInfo.get("message").objectAs<MessageInfo>())
                announced.push_back(message->uid);
        });
    const std::string body = R"({"resultState":1,"items":[)" + item("bom1", 7, "带标记的回复", 5) + "]}";
    harness.server()->script().forCommand("20101", ScriptedReply::custom(200, "\xEF\xBB\xBF" + body));
    advanceToNextPoll();
    harness.advance(1);
    waitIdle();

    EXPECT_EQ(announced, (std::vector<std::string> { "bom1" }));
    auto cell = conversationOf(7);
    ASSERT_TRUE(cell);
    EXPECT_EQ(boxtest::text(cell, "lblContent"), "带标记的回复");
    auto reports = harness.server()->requests().withCommand("20105");
    ASSERT_EQ(reports.size(), reportsBefore + 1);
    ASSERT_EQ(reports.back().bodyValue("hasSend").count(), 1u);
    EXPECT_EQ(reports.back().bodyValue("hasSend")[0].stringValue(), "bom1");
}

// The CPU time the main thread has spent: the box reads each answer in one
// turn of the main loop, so what a poll costs it bounds the loop's longest
// turn during the poll.
double mainThreadSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// The poll comes every 20 s with nothing done by the person: an answer
// longer than its kind can be is dropped unread, as the dispatcher drops
// one, whatever it holds and whatever it would cost. The last is a few
// kilobytes of gzip the transfer inflates to megabytes of tiny values.
TEST_F(MessageBoxTest, AnswersPastWhatTheirKindCanBeAreDroppedUnread)
{
    signIn();
    std::vector<std::string> announced;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        "new_message_7", platform::Value(), [&](const platform::Notification& n) {
            if (auto message = n.userInfo.get("message").objectAs<MessageInfo>())
                announced.push_back(message->uid);
        });
    auto padded = [](std::string head, std::size_t bytes) {
        head += R"(,"note":")";
        return head + std::string(bytes - head.size() - 2, 'x') + "\"}";
    };
    auto zeros = [](std::size_t bytes) {
        std::string text = R"({"resultState":1,"items":[0)";
        text.reserve(bytes);
        while (text.size() + 4 < bytes)
            text += ",0";
        return text + "]}";
    };
    // Sent gzipped, as the stand-in sends whatever the client accepts so:
    // some 16 KB on the wire.
    const std::string bomb
        = zeros(testsupport::kUnderThreadSanitizer ? std::size_t { 4 } << 20 : std::size_t { 16 } << 20);
    const std::string longPoll = padded(R"({"resultState":1,"items":[)" + item("long1", 7, "过长", 5) + "]", 300 << 10);
    const std::string longReport = padded(R"({"resultState":1,"resultMsg":"")", 300 << 10);
    struct Case {
        const char* name;
        ScriptedReply poll;
        std::optional<ScriptedReply> report; // the answer to the report the poll leads to
        std::vector<std::string> announced; // by the poll
        bool reportedAgain; // the next poll's report names the polled message again
    };
    const Case cases[] = {
        { "a message in a poll of 300 KB", ScriptedReply::custom(200, longPoll), std::nullopt, {}, false },
        { "a report answered with 300 KB",
            ScriptedReply::custom(200, R"({"resultState":1,"items":[)" + item("r1", 7, "报告", 5) + "]}"),
            ScriptedReply::custom(200, longReport), { "r1" }, true },
        { "a poll inflated by the transfer to megabytes of zeros", ScriptedReply::custom(200, bomb), std::nullopt, {},
            false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        announced.clear();
        harness.server()->script().forCommand("20101", c.poll);
        if (c.report)
            harness.server()->script().forCommand("20105", *c.report);
        const std::size_t reports = count("20105");
        advanceToNextPoll();
        const double before = testsupport::residentMegabytes();
        testsupport::resetPeakResident();
        const double busyBefore = mainThreadSeconds();
        harness.advance(1);
        waitIdle();
        const double busy = mainThreadSeconds() - busyBefore;
        EXPECT_EQ(announced, c.announced);
        // Generous bounds (a sanitizer build keeps freed memory a while and
        // runs several times slower): read whole, the zeros alone took
        // hundreds of megabytes and held the loop for seconds.
        if (!testsupport::kUnderThreadSanitizer) {
            EXPECT_LT(testsupport::peakResidentMegabytes() - before, 256) << "megabytes";
        }
        EXPECT_LT(busy, testsupport::kUnderThreadSanitizer ? 5.0 : 1.0) << "seconds of the main thread";

        // The next poll, answered with nothing new: a report the box took as
        // answered is not sent again.
        harness.server()->script().forCommand("20101", ScriptedReply::custom(200, R"({"resultState":1,"items":[]})"));
        advanceToNextPoll();
        harness.advance(1);
        waitIdle();
        const auto sent = harness.server()->requests().withCommand("20105");
        const bool again = sent.size() > reports + 1 && sent.back().bodyValue("hasSend").count() == 1
            && sent.back().bodyValue("hasSend")[0].stringValue() == "r1";
        EXPECT_EQ(again, c.reportedAgain);
    }
}

TEST_F(MessageBoxTest, NoSecondStateReportWhileOneIsOut)
{
    signIn();
    const std::size_t before = count("20105");
    harness.server()->script().forCommand(
        "20101", ScriptedReply::custom(200, R"({"resultState":1,"items":[)" + item("b1", 8, "你好", 5) + "]}"));
    harness.server()->script().forCommand("20105", ScriptedReply::normal().delayed(1.5));
    advanceToNextPoll();
    harness.advance(1);
    ASSERT_TRUE(harness.runUntil([&] { return count("20105") == before + 1; }, 5));
    ASSERT_TRUE(box()->isReportingState());

    // The next poll ends while the report is still out: it starts none.
    advanceToNextPoll();
    harness.advance(1);
    ASSERT_TRUE(harness.runUntil([&] { return !box()->isPolling(); }, 5));
    EXPECT_EQ(count("20105"), before + 1);
    waitIdle();
    advanceToNextPoll();
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(count("20105"), before + 1) << "the held report was accepted";
}

TEST_F(MessageBoxTest, EveryPollReplyRepublishesTheUnreadTotalNoNewsIncluded)
{
    signIn();
    ASSERT_EQ(tabBadge(), 2) << "the demo teacher's two waiting messages";
    // Read elsewhere (as a chat reads them) while the box stays on screen.
    core::MessageFactory store;
    for (const auto& message : box()->listData()) {
        if (message->contact && !message->group) {
            ASSERT_TRUE(store.getMessageWithContact(*message->contact));
        }
    }
    harness.server()->script().forCommand("20101", ScriptedReply::custom(200, R"({"resultState":1,"items":[]})"));
    advanceToNextPoll();
    harness.advance(1);
    ASSERT_TRUE(waitForAnswer(core::ORBEndpoints::Cmd::kNewMessages, 2));
    waitIdle();
    EXPECT_EQ(tabBadge(), 0) << "a reply with no news still republishes the total";
    EXPECT_EQ(core::MyAccountInfo::currentAccount()->unReadCount, 0);
}

TEST_F(MessageBoxTest, BadgesDeleteAndTheEmptyList)
{
    // Nothing waits on the server for this run.
    harness.server()->script().forCommand("20101", ScriptedReply::custom(200, R"({"resultState":1,"items":[]})"), 3);
    signIn();
    ASSERT_TRUE(box()->listData().empty());
    EXPECT_TRUE(std::dynamic_pointer_cast<MessageEmptyCell>(row(0)));
    EXPECT_EQ(boxtest::table(box())->numberOfRowsInSection(MessageBoxViewController::kListSection), 1);
    EXPECT_EQ(boxtest::table(box())->backgroundColor(), platform::Color::fromWhite(220.0 / 255.0, 1.0));
    EXPECT_EQ(tabBadge(), 0);
    mainScreen()->switchToView(ORBViewController::kMessageTab);
    harness.advance(0.5);
    EXPECT_FALSE(harness.render("message-box-empty.png").empty());

    core::MessageFactory store;
    ASSERT_TRUE(store.setMessage(unreadFrom(11, "李明家长", 100, 60, "好的，谢谢老师")));
    ASSERT_TRUE(store.setMessage(unreadFrom(12, "陈静家长", 7, 120, "明天孩子请假一天")));
    ASSERT_TRUE(store.setMessage({ groupRecord("G9", 300) }));
    revisit();
    ASSERT_EQ(box()->listData().size(), 3u);
    EXPECT_EQ(tabBadge(), 107);

    struct Row {
        int contact;
        const char* text;
    };
    const double layoutBadgeWidth
        = boxtest::outlet(BaseCell::cell<MessageSingleCell>(), "badgeView")->frame().width();
    for (const Row& expected : { Row { 11, "99+" }, Row { 12, "7" } }) {
        SCOPED_TRACE(expected.text);
        auto cell = conversationOf(expected.contact);
        ASSERT_TRUE(cell);
        auto badge = boxtest::outlet(cell, "badgeView");
        ASSERT_TRUE(badge);
        EXPECT_FALSE(badge->isHidden());
        EXPECT_EQ(boxtest::text(cell, "lblBadge"), expected.text);
        EXPECT_GE(badge->frame().width(), layoutBadgeWidth) << "no narrower than the layout's badge";
        EXPECT_DOUBLE_EQ(badge->frame().maxX(), 70) << "grows to the left";
    }
    auto group = std::dynamic_pointer_cast<MessageGroupCell>(row(2));
    ASSERT_TRUE(group);
    EXPECT_EQ(boxtest::text(group, "lblSmsSend"), "1/41");
    EXPECT_EQ(boxtest::text(group, "lblMsgSend"), "12/30");
    EXPECT_FALSE(boxtest::outlet(group, "iconImage")->isHidden());
    EXPECT_FALSE(boxtest::outlet(group, "iconSound")->isHidden());

    // Hiding a conversation takes its unread messages off the tab at once.
    ASSERT_TRUE(boxtest::table(box())->commitDeleteForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 1)));
    EXPECT_EQ(box()->listData().size(), 2u);
    EXPECT_EQ(tabBadge(), 7);
    // The group record is deleted for good, then the last row leaves the empty cell.
    ASSERT_TRUE(boxtest::table(box())->commitDeleteForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 1)));
    ASSERT_TRUE(boxtest::table(box())->commitDeleteForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 1)));
    EXPECT_TRUE(box()->listData().empty());
    EXPECT_EQ(tabBadge(), 0);
    EXPECT_TRUE(std::dynamic_pointer_cast<MessageEmptyCell>(row(0)));
    EXPECT_EQ(store.getMessageLast().value_or(core::MessageList {}).size(), 0u);
    // A hidden conversation keeps its history (opening it shows it again).
    auto contact = std::make_shared<core::ContactInfo>();
    contact->uid = 11;
    EXPECT_EQ(store.getMessageWithContact(*contact).value_or(core::MessageList {}).size(), 100u);
    EXPECT_FALSE(boxtest::table(box())->commitDeleteForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 1)))
        << "the empty row is no message";
}

TEST_F(MessageBoxTest, RowsOpenTheirScreensByName)
{
    signIn();
    core::MessageFactory store;
    ASSERT_TRUE(store.setMessage({ groupRecord("G9", 30) }));
    revisit();
    EXPECT_TRUE(box()->rightItem()) << "a teacher composes";
    ASSERT_EQ(box()->listData().size(), 3u);
    ASSERT_TRUE(box()->listData().front()->group);
    auto navigation = box()->navigationController();
    ASSERT_TRUE(harness.selectRow(boxtest::table(box()), 1, 0));
    harness.advance(0.5);
    EXPECT_EQ(navigation->topViewController()->className(), "GroupMessageViewController");
    navigation->popViewControllerAnimated(false);
    ASSERT_TRUE(harness.selectRow(boxtest::table(box()), 1, 1));
    harness.advance(0.5);
    EXPECT_EQ(navigation->topViewController()->className(), "MessageViewController");
}

TEST_F(MessageBoxTest, AnAccountSwitchStopsTheOldBox)
{
    signIn(kDemoParentOfTwo, kDemoParentPassword, 0);
    EXPECT_FALSE(box()->rightItem()) << "only teachers compose";
    std::weak_ptr<MessageBoxViewController> first = box();
    const int firstUid = core::MyAccountInfo::currentAccount()->uid;
    // Kept alive past the switch, as a leak would: it must still stop.
    auto kept = box();
    // Its next poll is held; what it would bring must not reach the next account.
    harness.server()->script().forCommand("20101",
        ScriptedReply::custom(200, R"({"resultState":1,"items":[)" + item("leak1", 9, "给第一个孩子", 5) + "]}")
            .delayed(1.0));
    const std::size_t pollsBefore = count("20101");
    advanceToNextPoll();
    harness.advance(1);
    ASSERT_TRUE(kept->isPolling());
    ASSERT_TRUE(harness.runUntil([&] { return count("20101") > pollsBefore; }, 5));

    ASSERT_NO_FATAL_FAILURE(switchToSecondChild());
    const int secondUid = core::MyAccountInfo::currentAccount()->uid;
    ASSERT_NE(secondUid, firstUid);
    ASSERT_NE(box(), kept);
    harness.advance(1);
    EXPECT_FALSE(kept->isPolling()) << "its poll dropped";
    // The new box's first poll may still be out: its answer comes first, or
    // the ticks below find it busy and send nothing.
    waitIdle();

    const std::size_t pollsAtSwitch = count("20101");
    harness.advance(2 * MessageBoxViewController::kPollTicks + 1);
    waitIdle();
    // Only the new box polls, as the new account.
    auto polls = harness.server()->requests().withCommand("20101");
    ASSERT_GT(polls.size(), pollsAtSwitch);
    for (std::size_t i = pollsAtSwitch; i < polls.size(); ++i)
        EXPECT_EQ(polls[i].bodyValue("userId").intValue(), secondUid);
    EXPECT_FALSE(kept->timer()) << "the old box's tick is stopped";
    for (const auto& message : core::MessageFactory().getMessageLast().value_or(core::MessageList {}))
        EXPECT_NE(message->uid, "leak1");
    // What its poll brought is the first child's all the same.
    ASSERT_TRUE(harness.waitForServerQuiet());
    EXPECT_EQ(coretest::sqliteTool(core::BaseFactory::dataFilePath(), "SELECT account_uid FROM tb_message WHERE uid = 'leak1';"),
        std::to_string(firstUid) + "\n");
    kept.reset();
    EXPECT_TRUE(first.expired()) << "the tab bar let it go";
}

// The teacher signs out while a poll is on its way, and its answer comes
// before the box's next tick has seen the change: the box, still under the
// login screen, stores what it brings under the teacher and announces it to
// no screen.
TEST_F(MessageBoxTest, APollAnsweredAfterSigningOutIsStoredUnderItsAccountAndAnnouncedToNobody)
{
    signIn();
    const int uid = core::MyAccountInfo::currentAccount()->uid;
    std::vector<std::string> announced;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        "new_message_9", platform::Value(), [&](const platform::Notification&) { announced.push_back("9"); });
    auto pollGate = holdNextPoll("out1", "退出后才到");
    ASSERT_TRUE(pollGate);
    std::weak_ptr<MessageBoxViewController> polling = box();

    // The clock stands still from here: no tick of the box runs.
    mainScreen()->logout();
    ASSERT_TRUE(harness.runUntil([] { return !core::MyAccountInfo::instance(); }));
    ASSERT_EQ(box(), polling.lock()) << "the tab bar still holds it";
    ASSERT_TRUE(box()->isPolling());
    pollGate->open();
    ASSERT_TRUE(harness.runUntil([&] { return !polling.lock()->isPolling(); }));
    EXPECT_TRUE(announced.empty());
    EXPECT_EQ(coretest::sqliteTool(core::BaseFactory::dataFilePath(), "SELECT account_uid FROM tb_message WHERE uid = 'out1';"),
        std::to_string(uid) + "\n");
}

// A parent of two sends to the class teacher as the first child, and the
// next poll is on its way for that child too; both answers are held at the
// server until the parent has switched to the second child. The server has
// taken the message and handed the polled one out: each is stored under the
// first child, shown when the parent switches back, and never under the
// second.
TEST_F(MessageBoxTest, ASendAndAPollOnTheirWayAcrossAChildSwitchAreKeptUnderTheFirstChild)
{
    signIn(kDemoParentOfTwo, kDemoParentPassword, 0);
    const int firstUid = core::MyAccountInfo::currentAccount()->uid;
    const std::string store = core::BaseFactory::dataFilePath();
    const std::string sentText = "老师好，子涵明天请假一天";

    auto teacher = std::make_shared<core::ContactInfo>();
    teacher->uid = 2001;
    teacher->name = "李建国";
    teacher->type = 1;
    auto chat = std::make_shared<MessageViewController>();
    chat->setContact(teacher);
    harness.visibleNavigationController()->pushViewController(chat, true);
    harness.advance(0.5);
    auto sendGate = std::make_shared<server::ReplyGate>();
    harness.server()->script().forCommand(core::ORBEndpoints::Cmd::kSendToOne, ScriptedReply::normal().heldBy(sendGate));
    ASSERT_TRUE(harness.type(
        std::dynamic_pointer_cast<UITextField>(testsupport::findViewByOutlet(chat->view(), "txtMessage")), sentText));
    ASSERT_TRUE(harness.tap(harness.viewByOutlet("btnSend")));
    ASSERT_TRUE(harness.runUntil([&] { return sendGate->arrived() == 1; }));

    auto pollGate = holdNextPoll("held1", "给第一个孩子");
    ASSERT_TRUE(pollGate);
    chat.reset();

    ASSERT_NO_FATAL_FAILURE(switchToSecondChild());
    const int secondUid = core::MyAccountInfo::currentAccount()->uid;
    ASSERT_NE(secondUid, firstUid);
    sendGate->open();
    pollGate->open();
    ASSERT_TRUE(harness.waitForServerQuiet());
    waitIdle();

    EXPECT_EQ(coretest::sqliteTool(store,
                  "SELECT account_uid FROM tb_message WHERE uid = 'held1' UNION ALL "
                  "SELECT account_uid FROM tb_message WHERE content = '"
                      + sentText + "' AND uid <> '';"),
        std::to_string(firstUid) + "\n" + std::to_string(firstUid) + "\n")
        << "each once, under the first child";
    auto secondsList = core::MessageFactory().getMessageLast().value_or(core::MessageList {});
    for (const auto& message : secondsList) {
        EXPECT_NE(message->uid, "held1");
        EXPECT_NE(message->content, sentText);
    }

    // The second child's book has come, and its notice is gone from over the
    // screen (it would take the chooser's touches).
    letAddressBookEnd(harness);
    harness.advance(ORBHelper::kProgressHudHideDelay + 1);
    ASSERT_TRUE(harness.runUntilOverlayGone());
    // Back to the first child: the polled message heads its conversation in
    // the box, and the sent one is in the teacher's chat.
    ASSERT_NO_FATAL_FAILURE(switchToChild(0));
    ASSERT_EQ(core::MyAccountInfo::currentAccount()->uid, firstUid);
    waitIdle();
    auto polled = conversationOf(9);
    ASSERT_TRUE(polled) << "the polled message's conversation is not in the box";
    EXPECT_EQ(boxtest::text(polled, "lblContent"), "给第一个孩子");
    auto again = std::make_shared<MessageViewController>();
    again->setContact(teacher);
    harness.visibleNavigationController()->pushViewController(again, true);
    harness.advance(0.5);
    const auto& shown = again->listData();
    EXPECT_EQ(std::count_if(shown.begin(), shown.end(), [&](const auto& m) { return m->to && m->content == sentText; }), 1)
        << "the sent message is not in its chat";
}

// A message the store refused is kept under the account that received it:
// the exit writes it there even when another account is signed in by then,
// since the server hands each message out once.
TEST_F(MessageBoxTest, AMessageTheStoreRefusedIsWrittenUnderItsOwnAccountAtExit)
{
    signIn(kDemoParentOfTwo, kDemoParentPassword, 0);
    const int firstUid = core::MyAccountInfo::currentAccount()->uid;
    const std::string store = core::BaseFactory::dataFilePath();
    auto protection = std::make_unique<WriteProtection>(
        std::vector<std::string> { std::filesystem::path(store).parent_path().string(), store });
    ASSERT_TRUE(protection->holds());
    harness.server()->script().forCommand(
        "20101", ScriptedReply::custom(200, R"({"resultState":1,"items":[)" + item("kept1", 9, "给第一个孩子", 5) + "]}"));
    const std::size_t polls = count("20101");
    advanceToNextPoll();
    harness.advance(1);
    ASSERT_TRUE(harness.runUntil([&] { return count("20101") > polls; }, 5));
    waitIdle();
    ASSERT_TRUE(harness.runUntil([] { return !UnsavedMessages::shared().withContact(9).empty(); }, 5));

    ASSERT_NO_FATAL_FAILURE(switchToSecondChild());
    ASSERT_NE(core::MyAccountInfo::currentAccount()->uid, firstUid);
    waitIdle();

    // The home takes writes again, and the client ends.
    protection.reset();
    EXPECT_TRUE(UnsavedMessages::shared().storeKept());
    // The tool waits for the second child's book, which may be being written meanwhile.
    EXPECT_EQ(coretest::sqliteTool(store, "SELECT account_uid FROM tb_message WHERE uid = 'kept1';"),
        std::to_string(firstUid) + "\n");
}

TEST(MessageBoxScreenSizes, TheListEndsAtTheTabBarOnBothScreens)
{
    struct Row {
        UIScreen::Kind screen;
        const char* render;
        // Nine conversations, or none: the student's box, its three
        // navigation rows over the empty list's row.
        bool conversations = true;
    };
    for (const Row& row : { Row { UIScreen::Kind::FourInch, "message-box-4inch.png" },
             Row { UIScreen::Kind::ThreePointFiveInch, "message-box-3.5inch.png" },
             Row { UIScreen::Kind::FourInch, "message-box-empty-4inch.png", false },
             Row { UIScreen::Kind::ThreePointFiveInch, "message-box-empty-3.5inch.png", false } }) {
        SCOPED_TRACE(row.render);
        AppHarnessOptions options;
        options.screen = row.screen;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        if (!row.conversations) {
            ASSERT_TRUE(signInThroughScreens(harness, "13800000006", "student123"));
            mainScreen()->switchToView(ORBViewController::kMessageTab);
            auto box = boxtest::box();
            ASSERT_TRUE(box);
            ASSERT_TRUE(
                harness.runUntil([&] { return !box->isLoadingNavigation() && !box->navigationRows().empty(); }));
            ASSERT_TRUE(box->listData().empty());
            settle(harness);
            auto table = boxtest::table(box);
            table->layoutIfNeeded();
            auto empty = std::dynamic_pointer_cast<MessageEmptyCell>(
                table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, MessageBoxViewController::kListSection)));
            ASSERT_TRUE(empty);
            ASSERT_TRUE(empty->wrapperView());
            // Its picture and both lines show whole above the tab bar, without a drag.
            auto tabBar = mainScreen()->tabBarView();
            const double tabBarTop = tabBar->convertRectToView(tabBar->bounds(), nullptr).minY();
            auto wrapper = empty->wrapperView();
            EXPECT_LE(wrapper->convertRectToView(wrapper->bounds(), nullptr).maxY(), tabBarTop);
            EXPECT_EQ(table->contentOffset().y, 0);
            EXPECT_FALSE(harness.render(row.render).empty());
            core::MyAccountInfo::setInstance(nullptr);
            continue;
        }
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        core::MessageFactory store;
        ASSERT_TRUE(store.setMessage(unreadFrom(11, "李明家长", 2, 600, "好的，谢谢老师")));
        for (int uid = 20; uid < 28; ++uid)
            ASSERT_TRUE(store.setMessage(unreadFrom(uid, "家长" + std::to_string(uid), 1, 900 + uid, "收到")));
        auto main = mainScreen();
        main->switchToView(ORBViewController::kCircleTab);
        main->switchToView(ORBViewController::kMessageTab);
        settle(harness);
        auto table = boxtest::table(boxtest::box());
        ASSERT_TRUE(table);
        const double listBottom = table->convertRectToView(table->bounds(), nullptr).maxY();
        auto tabBar = main->tabBarView();
        const double tabBarTop = tabBar->convertRectToView(tabBar->bounds(), nullptr).minY();
        EXPECT_DOUBLE_EQ(listBottom, tabBarTop);
        // Scrolled to its end, the last conversation shows whole above the tab bar.
        table->setContentOffset({ 0, std::max(0.0, table->contentSize().height - table->bounds().height()) });
        table->layoutIfNeeded();
        EXPECT_FALSE(harness.render(row.render).empty());
        core::MyAccountInfo::setInstance(nullptr);
    }
}

TEST(MessageBoxTimeText, CalendarDaysDecideTheLabel)
{
    platform::DateFormatter parse("yyyy-MM-dd HH:mm:ss");
    const platform::Date now = *parse.dateFromString("2026-03-10 00:30:00");
    struct Case {
        const char* time;
        const char* label;
    };
    for (const Case& c : { Case { "2026-03-10 00:05:00", "今天 00:05" }, Case { "2026-03-09 23:59:00", "昨天 23:59" },
             Case { "2026-03-08 08:00:00", "前天 08:00" }, Case { "2026-03-07 23:59:00", "03-07 23:59" },
             Case { "2026-03-11 09:00:00", "03-11 09:00" }, Case { "2025-03-10 09:00:00", "03-10 09:00" } }) {
        EXPECT_EQ(MessageSingleCell::timeText(*parse.dateFromString(c.time), now), c.label) << c.time;
    }
}

TEST(MessageBoxContentText, WhatAMessageWithoutTextShows)
{
    struct Case {
        std::string text;
        int photos;
        int sounds;
        const char* shown;
    };
    for (const Case& c : { Case { "在吗", 1, 1, "在吗" }, Case { "", 1, 0, "[图片]" }, Case { "", 0, 1, "[声音]" },
             Case { "", 2, 1, "[图片][声音]" }, Case { "", 0, 0, "" } }) {
        MessageInfo message;
        message.content = c.text;
        message.photosInfo.resize(std::size_t(c.photos), std::make_shared<core::PhotoInfo>());
        message.soundsInfo.resize(std::size_t(c.sounds), std::make_shared<core::SoundInfo>());
        EXPECT_EQ(MessageSingleCell::contentText(message), c.shown);
    }
}

TEST_F(MessageBoxTest, RendersConversationsAGroupSendAndBadges)
{
    signIn();
    core::MessageFactory store;
    ASSERT_TRUE(store.setMessage(unreadFrom(11, "李明家长", 120, 600, "好的，谢谢老师，我们会按时参加家长会。")));
    auto voice = unreadFrom(12, "陈静家长", 1, 86400 + 3600, "");
    voice.front()->sounds = R"([{"url":"http://127.0.0.1/v.amr","seconds":6}])";
    ASSERT_TRUE(store.setMessage(voice));
    ASSERT_TRUE(store.setMessage({ groupRecord("G9", 2 * 86400) }));
    revisit();
    harness.advance(0.5);
    EXPECT_FALSE(harness.render("message-box-conversations.png").empty());
}

} // namespace
