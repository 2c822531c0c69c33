// The click-to-dial home against the stand-in's history: the first page and
// the service check on opening, the prompt on the window that a late page
// does not take down, paging to the end, a failed load-more asked again,
// history rows and the dial pad opening the call screen, the call just made
// listed on coming back, a check answered after the first page taking its
// own overlay down, a row reused without the last call's role or state, and a
// failed check closing it.
#include "contacts/calls/CNumberViewController.h"
#include "contacts/calls/CallNumberViewController.h"
#include "contacts/calls/HistoryNumberCell.h"
#include "contacts/calls/VelaDialView.h"
#include "contacts/warn/WarnView.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextField.h"
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

constexpr const char* kHistory = ORBEndpoints::Cmd::kCtdHistory;
constexpr const char* kCheck = ORBEndpoints::Cmd::kCtdCheck;
constexpr const char* kDial = ORBEndpoints::Cmd::kCtdDial;

class CallNumberHome : public SignedInScreenTest {
protected:
    void SetUp() override
    {
        SignedInScreenTest::SetUp();
        signIn();
        ASSERT_TRUE(harness().runUntil(bookIdle));
        settle(harness(), 2.0);
    }

    std::shared_ptr<CNumberViewController> openHome()
    {
        auto screen = std::make_shared<CNumberViewController>();
        open(screen, ORBViewController::kGridTab);
        return screen;
    }
    std::shared_ptr<RefreshTableView> historyTable()
    {
        return std::dynamic_pointer_cast<RefreshTableView>(harness().viewByOutlet("historyTableView"));
    }
    std::shared_ptr<WarnView> warning()
    {
        auto views = harness().viewsByClass("WarnView");
        return views.empty() ? nullptr : std::dynamic_pointer_cast<WarnView>(views.back());
    }
    int pageSent(std::size_t index)
    {
        auto sent = requests(kHistory);
        return index < sent.size() && sent[index].json ? (*sent[index].json)["page"].intValue() : -1;
    }
    void pressKeys(const std::vector<int>& tags)
    {
        auto pad = VelaDialView::sharedVelaDialView();
        for (int tag : tags)
            ASSERT_TRUE(harness().tap(pad->keyWithTag(tag))) << tag;
    }
};

} // namespace

TEST_F(CallNumberHome, OpensWithThePromptOnTheWindowThatALatePageLeavesUp)
{
    auto gate = holdNext(kHistory);
    auto screen = openHome();
    ASSERT_TRUE(waitForAnswer(kCheck));
    ASSERT_TRUE(harness().runUntil([&] { return warning() != nullptr; }));
    EXPECT_EQ(warning()->prompContent()->text(), "点击拨号将由平台回拨您的手机，接通后再呼叫对方，通话免费。");
    gate->open();
    ASSERT_TRUE(waitForAnswer(kHistory));
    ASSERT_TRUE(harness().runUntil([&] { return screen->historyData().size() == 10; }));
    settle(harness(), 0.5);
    ASSERT_TRUE(warning()) << "the page's own overlay went, not the prompt";
    EXPECT_EQ(pageSent(0), 1);
    EXPECT_EQ(historyTable()->pageCount(), 2);
    // Staying, with the tick: the screen stays and the prompt is silenced.
    ASSERT_TRUE(harness().tap(warning()->promptBtn()));
    ASSERT_TRUE(harness().tapButton("确定"));
    settle(harness());
    EXPECT_EQ(harness().topScreen(), screen);
    EXPECT_TRUE(platform::UserDefaults::standard()->boolForKey(CNumberViewController::kCallNumberKey));
    EXPECT_FALSE(warning());
    EXPECT_FALSE(harness().render("contacts-history-dialpad.png").empty());

    // Opened again: no prompt, the warning text still kept for the call screen.
    harness().visibleNavigationController()->popViewControllerAnimated(false);
    settle(harness());
    auto again = openHome();
    ASSERT_TRUE(waitForAnswer(kCheck, 2));
    ASSERT_TRUE(harness().runUntil([&] { return !again->strWarn().empty(); }));
    settle(harness(), 0.5);
    EXPECT_FALSE(warning());
}

TEST_F(CallNumberHome, PagesToTheEndAndAFailedLoadMoreIsAskedAgain)
{
    platform::UserDefaults::standard()->setBool(true, CNumberViewController::kCallNumberKey);
    auto screen = openHome();
    auto table = historyTable();
    ASSERT_TRUE(harness().runUntil([&] { return screen->historyData().size() == 10; }));
    // The second page fails: the rows stay and the same page is asked for next.
    harness().server()->script().forCommand(kHistory, ScriptedReply::connectionReset());
    screen->refreshTableViewFooterDidTriggerLoadMore(table.get());
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "请求数据失败，请重试"; }));
    EXPECT_EQ(screen->historyData().size(), 10u);
    EXPECT_EQ(table->curPage(), 1);
    screen->refreshTableViewFooterDidTriggerLoadMore(table.get());
    ASSERT_TRUE(harness().runUntil([&] { return screen->historyData().size() == 18; }));
    EXPECT_EQ(pageSent(1), 2);
    EXPECT_EQ(pageSent(2), 2);
    EXPECT_EQ(table->pageCount(), 3);
    screen->refreshTableViewFooterDidTriggerLoadMore(table.get());
    ASSERT_TRUE(waitForAnswer(kHistory, 4));
    ASSERT_TRUE(harness().runUntil([&] { return table->pageCount() == 0; }));
    EXPECT_EQ(screen->historyData().size(), 18u);
    // Pulling down starts again from the first page.
    screen->refreshTableViewHeaderDidTriggerRefresh(table.get());
    ASSERT_TRUE(waitForAnswer(kHistory, 5));
    ASSERT_TRUE(harness().runUntil([&] { return screen->historyData().size() == 10; }));
    EXPECT_EQ(pageSent(4), 1);
}

TEST_F(CallNumberHome, ARowAndTheDialPadOpenTheCallScreen)
{
    platform::UserDefaults::standard()->setBool(true, CNumberViewController::kCallNumberKey);
    auto screen = openHome();
    auto table = historyTable();
    ASSERT_TRUE(harness().runUntil([&] { return screen->historyData().size() == 10; }));
    screen->refreshTableViewFooterDidTriggerLoadMore(table.get());
    ASSERT_TRUE(harness().runUntil([&] { return screen->historyData().size() == 18; }));
    // The call to the number outside the book whose id needs more than 24 bits.
    long row = -1;
    for (std::size_t i = 0; i < screen->historyData().size(); ++i) {
        if (screen->historyData()[i]->callerPhone == "02088880002")
            row = static_cast<long>(i);
    }
    ASSERT_GE(row, 0);
    auto cell = visibleCell<HistoryNumberCell>(*table, row);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->lblName()->text(), "学校门卫");
    EXPECT_EQ(testsupport::findOutlet<UILabel>(cell, "lblRemarks")->text(), "未知");
    EXPECT_EQ(testsupport::findOutlet<UILabel>(cell, "lblUseminute")->text(), "2分钟");
    settle(harness(), 0.5);
    ASSERT_TRUE(harness().selectRow(table, 0, row));
    settle(harness());
    auto call = std::dynamic_pointer_cast<CallNumberViewController>(harness().topScreen());
    ASSERT_TRUE(call);
    ASSERT_TRUE(waitForAnswer(kDial));
    EXPECT_EQ((*requests(kDial)[0].json)["linkId"].longLongValue(), 16777219);
    EXPECT_EQ((*requests(kDial)[0].json)["type"].intValue(), 3);
    ASSERT_TRUE(harness().runUntil([&] { return call->isCalling(); }));
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnCallContact")));
    ASSERT_TRUE(harness().runUntil([&] { return !call->isCalling(); }));
    harness().visibleNavigationController()->popViewControllerAnimated(false);
    settle(harness());
    // Coming back loads the first page again; its overlay goes with the answer.
    ASSERT_TRUE(waitForAnswer(kHistory, 3));
    ASSERT_TRUE(harness().runUntil([&] { return screen->historyData().size() == 10; }));
    ASSERT_TRUE(harness().waitForServerQuiet());
    settle(harness());
    ASSERT_TRUE(harness().runUntilOverlayGone());

    // The pad: keys in any order, delete, an empty dial doing nothing, fold emptying.
    auto pad = VelaDialView::sharedVelaDialView();
    EXPECT_EQ(pad->superview(), screen->view());
    pad->txtNumber()->setText("");
    pressKeys({ VelaDialView::kDialTag, VelaDialView::kDeleteTag });
    EXPECT_EQ(pad->number(), "");
    EXPECT_EQ(harness().topScreen(), screen);
    pressKeys({ 1, 3, 8, VelaDialView::kStarTag, VelaDialView::kHashTag, 0, VelaDialView::kDeleteTag });
    EXPECT_EQ(pad->number(), "138*#");
    pressKeys({ VelaDialView::kFoldTag });
    EXPECT_TRUE(pad->mIsLayOn());
    EXPECT_EQ(pad->number(), "");
    pressKeys({ VelaDialView::kFoldTag });
    EXPECT_FALSE(pad->mIsLayOn());
    pressKeys({ 0, 2, 0, 8, 8, 8, 8, 0, 0, 0, 9, VelaDialView::kDialTag });
    settle(harness());
    EXPECT_EQ(pad->number(), "02088880009") << "the number stays after dialling";
    call = std::dynamic_pointer_cast<CallNumberViewController>(harness().topScreen());
    ASSERT_TRUE(call);
    ASSERT_TRUE(waitForAnswer(kDial, 2));
    const auto dialled = *requests(kDial)[1].json;
    EXPECT_EQ(dialled["linkId"].longLongValue(), 0);
    EXPECT_EQ(dialled["type"].intValue(), 3);
    EXPECT_EQ(dialled["phone"].stringValue(), "02088880009");
}

// A call made from here is in the list when the person comes back to it,
// on top, with the state the hang-up left; no pull-down needed.
TEST_F(CallNumberHome, AFinishedCallIsInTheHistoryOnComingBack)
{
    platform::UserDefaults::standard()->setBool(true, CNumberViewController::kCallNumberKey);
    auto screen = openHome();
    auto table = historyTable();
    ASSERT_TRUE(harness().runUntil([&] { return screen->historyData().size() == 10; }));
    // The service check may be answered after the page: its overlay's fade
    // starts with its answer, and only then does moving the clock end it.
    ASSERT_TRUE(harness().waitForServerQuiet());
    settle(harness());
    ASSERT_TRUE(harness().runUntilOverlayGone());
    ASSERT_NE(screen->historyData().front()->callerPhone, "02088880009");

    auto pad = VelaDialView::sharedVelaDialView();
    pad->txtNumber()->setText("");
    pressKeys({ 0, 2, 0, 8, 8, 8, 8, 0, 0, 0, 9, VelaDialView::kDialTag });
    settle(harness());
    auto call = std::dynamic_pointer_cast<CallNumberViewController>(harness().topScreen());
    ASSERT_TRUE(call);
    ASSERT_TRUE(waitForAnswer(kDial));
    ASSERT_TRUE(harness().runUntil([&] { return call->isCalling(); }));
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnCallContact")));
    ASSERT_TRUE(waitForAnswer(ORBEndpoints::Cmd::kCtdHangUp));
    ASSERT_TRUE(harness().runUntil([&] { return !call->isCalling(); }));
    const std::size_t pagesBefore = requests(kHistory).size();
    call.reset();
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    settle(harness());
    ASSERT_EQ(harness().topScreen(), screen);

    ASSERT_TRUE(waitForAnswer(kHistory, pagesBefore + 1));
    EXPECT_EQ(pageSent(pagesBefore), 1);
    ASSERT_TRUE(harness().runUntil([&] {
        return !screen->historyData().empty() && screen->historyData().front()->callerPhone == "02088880009";
    }));
    EXPECT_EQ(screen->historyData().size(), 10u);
    EXPECT_EQ(screen->historyData().front()->state, "通话成功");
    EXPECT_EQ(screen->historyData().front()->useMinute, 1);
    EXPECT_EQ(table->curPage(), 1);
    EXPECT_EQ(table->pageCount(), 2);
    ASSERT_TRUE(harness().waitForServerQuiet());
    settle(harness());
    ASSERT_TRUE(harness().runUntilOverlayGone());
    auto cell = visibleCell<HistoryNumberCell>(*table, 0);
    ASSERT_TRUE(cell);
    EXPECT_EQ(testsupport::findOutlet<UILabel>(cell, "lblPhone")->text(), "02088880009");
    EXPECT_EQ(testsupport::findOutlet<UILabel>(cell, "lblUseminute")->text(), "1分钟");
    EXPECT_EQ(pad->superview(), screen->view());
    EXPECT_FALSE(harness().render("contacts-history-after-call.png").empty());
}

// The service check answered after the first page: the page's overlay goes
// with the page, the check's own with the check, and none is left over the
// screen once its fade has run.
TEST_F(CallNumberHome, ACheckAnsweredAfterTheFirstPageTakesItsOwnOverlayDown)
{
    platform::UserDefaults::standard()->setBool(true, CNumberViewController::kCallNumberKey);
    auto gate = holdNext(kCheck);
    auto screen = openHome();
    ASSERT_TRUE(harness().runUntil([&] { return screen->historyData().size() == 10; }));
    settle(harness());
    EXPECT_EQ(harness().overlayText(), "正在同步...") << "the page took the check's overlay down";
    gate->open();
    ASSERT_TRUE(harness().waitForServerQuiet());
    settle(harness());
    ASSERT_TRUE(harness().runUntilOverlayGone());
    EXPECT_FALSE(warning());
    EXPECT_EQ(harness().topScreen(), screen);
}

TEST_F(CallNumberHome, ThePadKeepsNoScreenAliveAndCallsNoneThatHasGone)
{
    platform::UserDefaults::standard()->setBool(true, CNumberViewController::kCallNumberKey);
    std::weak_ptr<CNumberViewController> gone;
    {
        auto screen = openHome();
        ASSERT_TRUE(harness().runUntil([&] { return screen->historyData().size() == 10; }));
        gone = screen;
        harness().visibleNavigationController()->popViewControllerAnimated(false);
        settle(harness());
    }
    EXPECT_TRUE(gone.expired()) << "the shared pad outlives the screen, not the other way round";
    auto pad = VelaDialView::sharedVelaDialView();
    pad->txtNumber()->setText("");
    pad->handleCall("123");
    settle(harness());
    EXPECT_TRUE(requests(kDial).empty());
}

TEST_F(CallNumberHome, AFailedServiceCheckClosesTheScreen)
{
    harness().server()->script().forCommand(kCheck, ScriptedReply::errorEnvelope("服务暂停"));
    auto screen = openHome();
    ASSERT_TRUE(waitForAnswer(kCheck));
    ASSERT_TRUE(harness().runUntil([&] { return harness().topScreen() != screen; }));
    EXPECT_EQ(harness().overlayText(), "服务暂停");
}

TEST(HistoryRows, ARowShowsItsOwnCallOnly)
{
    EXPECT_EQ(HistoryNumberCell::roleText(0), "家长");
    EXPECT_EQ(HistoryNumberCell::roleText(2), "教师");
    EXPECT_EQ(HistoryNumberCell::roleText(3), "未知");
    EXPECT_EQ(HistoryNumberCell::roleText(7), "");
    EXPECT_EQ(HistoryNumberCell::stateImage("被叫忙"), "cn_call_beidong.png");
    EXPECT_EQ(HistoryNumberCell::stateImage("呼叫失败"), "cn_miss.png");
    EXPECT_EQ(HistoryNumberCell::stateImage("挂了"), "");
    auto history = core::HistoryInfo::historyWithObj(platform::PlatformJson::read(
        R"({"starttime":"2026-12-01 10:00","state":"被叫忙","callee":"","calleephone":"1","callertype":2,"useminute":3,"linkId":4294967301})")
                                                          .value_or(platform::Value()));
    ASSERT_TRUE(history);
    EXPECT_EQ(history->linkId, 4294967301LL);
    EXPECT_EQ(history->caller, "");
    EXPECT_EQ(core::HistoryInfo::historiesWithItems(platform::Value("x")).size(), 0u);
}
