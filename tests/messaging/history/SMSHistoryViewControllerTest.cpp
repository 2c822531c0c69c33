// The SMS history against the stand-in server's demo teacher (45 received
// SMS, 5 sent): pages up to the last and no further, a pull-down that brings
// new SMS on top however the answer repeats itself, searches that replace
// each other, keys sent as they were typed, and the two lists.
#include "messaging/history/SMSHistoryViewController.h"

#include "core/session/MyAccountInfo.h"
#include "messaging/history/SMSHistoryCell.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIWindow.h"
#include "server/ReplyGate.h"
#include "server/StandinServer.h"
#include "tests/support/app/SignedInScreen.h"
#include "ui/controls/StatusBarBacking.h"
#include "ui/tables/RefreshTableView.h"

#include <gtest/gtest.h>

#include <optional>

using namespace testsupport;
using server::ScriptedReply;

namespace {

constexpr const char* kHistory = "webapp/messagehis/list";

std::string item(const std::string& id, const std::string& name, const std::string& text)
{
    return R"({"msgId":")" + id + R"(","senderId":3001,"senderName":")" + name + R"(","dateTime":"2026-12-07 08:00:00","content":")"
        + text + R"("})";
}

class SMSHistoryTest : public SignedInScreenTest {
protected:
    void SetUp() override
    {
        SignedInScreenTest::SetUp();
        signIn();
    }

    std::shared_ptr<SMSHistoryViewController> openHistory()
    {
        auto screen = std::make_shared<SMSHistoryViewController>();
        // As the function grid titles the screens it opens.
        screen->setTitle("短信历史");
        open(screen, 0);
        answered(1);
        return screen;
    }

    std::vector<server::LoggedRequest> asked() const { return harness().server()->requests().withRoute(kHistory); }
    std::size_t answeredCount() const
    {
        auto all = asked();
        return std::size_t(std::count_if(all.begin(), all.end(), [](const auto& r) { return r.answered; }));
    }
    // The server has answered `count` history requests and the list has taken the last.
    void answered(std::size_t count)
    {
        ASSERT_TRUE(harness().runUntil([&] { return answeredCount() >= count; }));
        ASSERT_TRUE(harness().runUntil([&] { return !table()->isReloading(); }));
    }

    std::shared_ptr<RefreshTableView> table() const
    {
        return std::dynamic_pointer_cast<RefreshTableView>(harness().viewByOutlet("tableview"));
    }
    std::shared_ptr<UITableView> searchTable() const
    {
        return std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("searchTableView"));
    }
    std::shared_ptr<UITextField> field() const
    {
        return std::dynamic_pointer_cast<UITextField>(harness().viewByOutlet("txtSearcher"));
    }
    long rows(UITableView& list) const { return list.numberOfRowsInSection(0); }
    std::string text(UITableView& list, long row, const char* outlet)
    {
        auto cell = visibleCell<SMSHistoryCell>(list, row);
        if (!cell)
            return "<no cell>";
        for (const auto& view : cell->contentView()->subviews()) {
            if (view->outletName() == outlet)
                return std::dynamic_pointer_cast<UILabel>(view)->text();
        }
        for (const auto& view : cell->subviews()) {
            if (view->outletName() == outlet)
                return std::dynamic_pointer_cast<UILabel>(view)->text();
        }
        return "<no label>";
    }
    void pullDown()
    {
        auto list = table();
        list->setContentOffset({ 0, 0 });
        harness().drag(list, 90);
    }
    void pullUp()
    {
        auto list = table();
        list->setContentOffset({ 0, std::max(0.0, list->contentSize().height - list->frame().height()) });
        harness().drag(list, -90);
    }
};

TEST_F(SMSHistoryTest, PagesOfTheReceivedListUpToTheLastAndNoFurther)
{
    auto screen = openHistory();
    auto first = asked().front();
    const auto account = core::MyAccountInfo::currentAccount();
    EXPECT_EQ(first.queryValue("key"), "");
    EXPECT_EQ(first.queryValue("type"), "2");
    EXPECT_EQ(first.queryValue("page"), "1");
    EXPECT_EQ(first.queryValue("pageSize"), "15");
    EXPECT_EQ(first.queryValue("userId"), std::to_string(account->uid));
    EXPECT_EQ(first.queryValue("teacherId"), std::to_string(account->uid));
    auto list = table();
    EXPECT_EQ(rows(*list), 15);
    EXPECT_EQ(list->total(), 45);
    EXPECT_EQ(list->pageCount(), 3) << "45 SMS are three pages of 15";
    EXPECT_FALSE(list->footerView()->isHidden());
    EXPECT_EQ(text(*list, 0, "labSenderName"), "张伟");
    EXPECT_EQ(text(*list, 0, "labContent"), "孩子今天的作业已经检查过了，请老师放心。");
    EXPECT_EQ(visibleCell<SMSHistoryCell>(*list, 0)->backgroundColor(), platform::Color::fromWhite(235.0 / 255.0, 1.0));
    EXPECT_EQ(visibleCell<SMSHistoryCell>(*list, 1)->backgroundColor(), platform::Color::fromWhite(243.0 / 255.0, 1.0));
    EXPECT_FALSE(harness().render("sms-history-received.png").empty());

    pullUp();
    answered(2);
    EXPECT_EQ(asked().back().queryValue("page"), "2");
    EXPECT_EQ(rows(*list), 30);
    pullUp();
    answered(3);
    EXPECT_EQ(asked().back().queryValue("page"), "3");
    EXPECT_EQ(rows(*list), 45);
    EXPECT_EQ(list->pageCount(), 1) << "all 45 listed";
    EXPECT_TRUE(list->footerView()->isHidden());
    pullUp();
    harness().advance(1);
    EXPECT_EQ(asked().size(), 3u) << "no fourth page asked for";
}

TEST_F(SMSHistoryTest, APullDownPutsNewSMSOnTopHoweverTheAnswerRepeatsItself)
{
    openHistory();
    auto list = table();
    ASSERT_EQ(rows(*list), 15);
    const std::string firstKnown = text(*list, 0, "labContent");
    // The answer repeats a known SMS before the new ones and one new one twice.
    harness().server()->script().forRoute(kHistory,
        ScriptedReply::custom(200,
            R"({"resultState":1,"total":47,"items":[)" + item("S7201", "张伟", "孩子今天的作业已经检查过了，请老师放心。") + ","
                + item("S9001", "王芳", "新短信一") + "," + item("S9001", "王芳", "新短信一") + "," + item("S9002", "刘建华", "新短信二")
                + "," + item("S7202", "王芳", "请问明天的手工课需要带什么材料？") + "]}"));
    harness().drag(list, 90);
    answered(2);
    EXPECT_EQ(asked().back().queryValue("page"), "1");
    ASSERT_EQ(rows(*list), 17) << "two new, the repeats skipped";
    EXPECT_EQ(text(*list, 0, "labContent"), "新短信一");
    EXPECT_EQ(text(*list, 1, "labContent"), "新短信二");
    EXPECT_EQ(text(*list, 2, "labContent"), firstKnown);

    // An answer longer than a page can be is refused unread: nothing is added
    // and the header closes.
    harness().server()->script().forRoute(kHistory,
        ScriptedReply::custom(200,
            R"({"resultState":1,"total":48,"items":[)" + item("S9003", "王芳", "过长") + R"(],"note":")"
                + std::string(std::size_t { 5 } << 20, 'x') + "\"}"));
    harness().advance(1);
    harness().drag(list, 90);
    answered(3);
    ASSERT_TRUE(harness().runUntil([&] { return !list->isReloading(); }));
    EXPECT_EQ(rows(*list), 17);
    EXPECT_EQ(text(*list, 0, "labContent"), "新短信一");

    // The sent list's first answer repeats one id into an empty list.
    harness().server()->script().forRoute(kHistory,
        ScriptedReply::custom(200,
            R"({"resultState":1,"total":2,"items":[)" + item("S8001", "李建国", "甲") + "," + item("S8001", "李建国", "甲") + ","
                + item("S8002", "李建国", "乙") + "]}"));
    ASSERT_TRUE(harness().tap(std::dynamic_pointer_cast<UIControl>(harness().viewByOutlet("btnSend"))));
    answered(4);
    EXPECT_EQ(asked().back().queryValue("type"), "1");
    ASSERT_EQ(rows(*list), 2);
    EXPECT_EQ(text(*list, 0, "labContent"), "甲");
    EXPECT_EQ(text(*list, 1, "labContent"), "乙");
}

TEST_F(SMSHistoryTest, EachLetterSearchesAgainAndTheLastSearchAloneShows)
{
    auto screen = openHistory();
    auto list = table();
    ASSERT_EQ(rows(*list), 15);
    // The first letter's search is slow; the second replaces it.
    auto slow = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kHistory,
        ScriptedReply::custom(200, R"({"resultState":1,"total":1,"items":[)" + item("S9999", "无关", "不该出现") + "]}").heldBy(slow));
    ASSERT_TRUE(harness().tap(field()));
    // The search bar sits below the status bar, over a strip of its colour.
    settle(harness());
    auto bar = harness().viewByOutlet("searchBar");
    ASSERT_NE(bar, nullptr);
    auto window = UIWindow::keyWindow();
    EXPECT_DOUBLE_EQ(bar->superview()->convertRectToView(bar->frame(), window.get()).minY(),
        UIApplication::sharedApplication().statusBarHeight());
    EXPECT_NE(StatusBarBacking::backingOf(*bar->superview()), nullptr);
    ASSERT_TRUE(harness().type(field(), "作"));
    ASSERT_TRUE(harness().runUntil([&] { return slow->arrived() == 1; }));
    ASSERT_TRUE(harness().type(field(), "业"));
    ASSERT_TRUE(harness().runUntil([&] { return answeredCount() >= 2; }));
    auto searches = asked();
    ASSERT_EQ(searches.size(), 3u);
    EXPECT_EQ(searches[1].queryValue("key"), "作");
    EXPECT_EQ(searches[2].queryValue("key"), "作业");
    EXPECT_EQ(searches[2].queryValue("page"), "1");
    EXPECT_EQ(searches[2].queryValue("pageSize"), "30");
    auto results = searchTable();
    ASSERT_TRUE(results);
    ASSERT_TRUE(harness().runUntil([&] { return rows(*results) > 0; }));
    const long found = rows(*results);
    EXPECT_EQ(found, 7) << "the demo SMS about homework";
    slow->open();
    ASSERT_TRUE(harness().runUntil([&] { return answeredCount() >= 3; }));
    harness().advance(0.5);
    EXPECT_EQ(rows(*results), found) << "the replaced search adds nothing";
    EXPECT_EQ(rows(*list), 15) << "results show in the search table only";
    EXPECT_TRUE(screen->navigationController()->isNavigationBarHidden());
    EXPECT_FALSE(harness().render("sms-history-search.png").empty());

    // A key is sent as typed, whatever it holds (each letter's search
    // replaces the last; the last one is the one answered).
    ASSERT_TRUE(harness().type(field(), "&type=1"));
    // Searches a letter replaced may still reach the server late, and in any
    // order: look for the last key's search by its key.
    auto withKey = [&](const std::string& key, std::size_t from) -> std::optional<server::LoggedRequest> {
        auto all = asked();
        for (std::size_t i = from; i < all.size(); ++i) {
            if (all[i].queryValue("key") == std::optional<std::string>(key))
                return all[i];
        }
        return std::nullopt;
    };
    ASSERT_TRUE(harness().runUntil([&] {
        auto last = withKey("作业&type=1", 0);
        return last && last->answered;
    }));
    EXPECT_EQ(withKey("作业&type=1", 0)->queryValue("type"), "2");
    ASSERT_TRUE(harness().waitForServerQuiet());
    harness().advance(0.5);
    EXPECT_EQ(rows(*results), 0);

    // Cancel ends the search; the next pull-down asks with no key.
    ASSERT_TRUE(harness().tapButton("取消"));
    harness().advance(0.5);
    EXPECT_EQ(field()->text(), "");
    EXPECT_EQ(results->alpha(), 0);
    EXPECT_FALSE(screen->navigationController()->isNavigationBarHidden());
    const std::size_t before = asked().size();
    harness().drag(list, 90);
    ASSERT_TRUE(harness().runUntil([&] {
        auto pullDown = withKey("", before);
        return pullDown && pullDown->answered;
    }));
    ASSERT_TRUE(harness().runUntil([&] { return !list->isReloading(); }));
    EXPECT_EQ(withKey("", before)->queryValue("pageSize"), "15");
}

TEST_F(SMSHistoryTest, TheSentListLoadsOnceAndEachListKeepsItsPages)
{
    openHistory();
    auto list = table();
    pullUp();
    answered(2);
    ASSERT_EQ(rows(*list), 30);
    ASSERT_TRUE(harness().tap(std::dynamic_pointer_cast<UIControl>(harness().viewByOutlet("btnSend"))));
    answered(3);
    EXPECT_EQ(asked().back().queryValue("type"), "1");
    EXPECT_EQ(asked().back().queryValue("page"), "1");
    EXPECT_EQ(rows(*list), 5);
    EXPECT_EQ(text(*list, 0, "labSenderName"), "李建国");
    ASSERT_TRUE(harness().tap(std::dynamic_pointer_cast<UIControl>(harness().viewByOutlet("btnReceiver"))));
    harness().advance(0.5);
    EXPECT_EQ(asked().size(), 3u) << "the received list is shown as it was";
    EXPECT_EQ(rows(*list), 30);
    EXPECT_EQ(list->pageCount(), 3) << "its last page still offered";
    pullUp();
    answered(4);
    EXPECT_EQ(asked().back().queryValue("page"), "3") << "not the second page again";
    EXPECT_EQ(rows(*list), 45);
}

TEST_F(SMSHistoryTest, ASentListTheServerReportsEmptySaysSo)
{
    openHistory();
    harness().server()->script().forRoute(kHistory, ScriptedReply::custom(200, R"({"resultState":1,"total":0,"items":[]})"));
    ASSERT_TRUE(harness().tap(std::dynamic_pointer_cast<UIControl>(harness().viewByOutlet("btnSend"))));
    answered(2);
    EXPECT_EQ(rows(*table()), 0);
    EXPECT_TRUE(harness().viewByText("发出的短信为空"));
    EXPECT_EQ(harness().viewByOutlet("loadingView")->alpha(), 1);
    EXPECT_TRUE(table()->footerView()->isHidden());
}

// Totals past what 32 bits hold still leave pages to ask for, and a
// total below zero leaves none: the pages are counted in 64 bits and kept
// within the page counter's range.
TEST_F(SMSHistoryTest, TotalsBeyondThirtyTwoBitsStillOfferTheNextPage)
{
    openHistory();
    auto list = table();
    ASSERT_EQ(rows(*list), 15);
    struct Case {
        const char* total;
        int pageCount;
    };
    const Case cases[] = {
        { "2147483647", 143165577 },
        { "4294967296", 286331154 },
        { "9007199254740993", 2147483647 },
        { "1e30", 2147483647 },
    };
    std::size_t requests = 1;
    int batch = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.total);
        // A pull-down answered with fifteen new SMS and the total.
        std::string items;
        for (int i = 0; i < 15; ++i)
            items += (i ? "," : "") + item("T" + std::to_string(batch) + "-" + std::to_string(i), "王芳", "第" + std::to_string(i) + "条");
        ++batch;
        harness().server()->script().forRoute(
            kHistory, ScriptedReply::custom(200, std::string(R"({"resultState":1,"total":)") + c.total + R"(,"items":[)" + items + "]}"));
        const long before = rows(*list);
        pullDown();
        answered(++requests);
        EXPECT_EQ(asked().back().queryValue("page"), "1");
        ASSERT_EQ(rows(*list), before + 15);
        EXPECT_EQ(list->pageCount(), c.pageCount);
        EXPECT_FALSE(list->footerView()->isHidden()) << "more to load";
        // Pulling up at the foot asks for page 2 (the stand-in's own answer).
        pullUp();
        answered(++requests);
        EXPECT_EQ(asked().back().queryValue("page"), "2");
        EXPECT_EQ(asked().back().queryValue("type"), "2");
    }

    // Below zero: no SMS beyond those listed, no next page.
    for (const char* total : { "-5", "-9223372036854775808", "-1e30" }) {
        SCOPED_TRACE(total);
        harness().server()->script().forRoute(
            kHistory, ScriptedReply::custom(200, std::string(R"({"resultState":1,"total":)") + total + R"(,"items":[]})"));
        pullDown();
        answered(++requests);
        EXPECT_EQ(list->pageCount(), 1);
        EXPECT_TRUE(list->footerView()->isHidden());
        pullUp();
        harness().advance(1);
        EXPECT_EQ(asked().size(), requests) << "no next page asked for";
    }
}

} // namespace
