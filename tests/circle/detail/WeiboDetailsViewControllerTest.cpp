// A post's detail screen: its comments, a new comment of this post (and
// only this post) at the top, praise, and deletion by its author alone.
#include "circle/detail/WeiboDetailsCommentCell.h"
#include "circle/detail/WeiboDetailsCommentTableCell.h"
#include "circle/detail/WeiboDetailsContentCell.h"
#include "circle/detail/WeiboDetailsViewController.h"
#include "circle/feed/CircleTargets.h"
#include "circle/feed/WeiboCell.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "tests/circle/CircleTestSupport.h"
#include "app/main/ORBViewController.h"
#include "foundation/sqlite/SQLDatabase.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"
#include "ui/tables/InfiniteScrollingView.h"
#include "ui/tables/PullToRefreshView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace circletest;
using circle::WeiboDetailsViewController;
using Cmd = core::ORBEndpoints::Cmd;

namespace {

class DetailTest : public CircleScreenTest {
protected:
    // Taps the feed's row of the post and waits for its comments.
    std::shared_ptr<WeiboDetailsViewController> openFromFeed(long long weiboId)
    {
        auto feed = openFeed();
        if (!feed)
            return nullptr;
        auto table = feed->tableView();
        for (long row = 0; row < table->numberOfRowsInSection(0); ++row) {
            auto cell = visibleCell<circle::WeiboCell>(*table, row);
            if (cell && cell->data()->weiboId == weiboId) {
                std::size_t before = routeCount("webapp/jxq/comment");
                // Selected as a touch on the row's text would (its middle may be a picture).
                table->userSelectRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0));
                testsupport::settle(harness());
                auto detail = std::dynamic_pointer_cast<WeiboDetailsViewController>(harness().topScreen());
                if (!detail || !waitForRoute("webapp/jxq/comment", before + 1))
                    return nullptr;
                if (!harness().runUntilOverlayGone())
                    return nullptr;
                return detail;
            }
        }
        return nullptr;
    }

    std::shared_ptr<circle::WeiboDetailsCommentTableCell> comments(const WeiboDetailsViewController& detail)
    {
        return visibleCell<circle::WeiboDetailsCommentTableCell>(*detail.tableView(), 1);
    }

    // A new post (the newest, the feed's first row) with that many comments.
    long long postWithComments(int count)
    {
        long long weiboId = addPost({ 2001, 101, "评论很多的动态", 0, 0 });
        if (!weiboId)
            return 0;
        auto db = foundation::SQLDatabase::databaseWithPath(harness().server()->dataFilePath());
        if (!db->open())
            return 0;
        for (int i = 1; i <= count; ++i) {
            if (!db->executeUpdate("INSERT INTO weibo_comment (weibo_id, sender_id, comment, date_time) "
                                   "VALUES (?, 2001, ?, datetime('now', 'localtime'))",
                    platform::Array { weiboId, "第" + std::to_string(i) + "条评论" }))
                return 0;
        }
        db->close();
        return weiboId;
    }

    // A finger dragging the post and its comments up to their end and a
    // little past it, then lifting, as a person asks for more; the list then
    // settles back.
    void scrollToEnd(const WeiboDetailsViewController& detail)
    {
        auto table = detail.tableView();
        table->layoutIfNeeded();
        double end = std::max(0.0, table->contentSize().height - table->bounds().height());
        harness().drag(table, -(end - table->contentOffset().y + 80), 8);
        harness().advance(1);
    }
    // A finger pulling the list down past its top and lifting.
    void pullDown(const WeiboDetailsViewController& detail)
    {
        auto table = detail.tableView();
        harness().drag(table, table->contentOffset().y + 90, 8);
    }
    unsigned footerState(const WeiboDetailsViewController& detail) const
    {
        return infiniteScrollingView(*detail.tableView())->state();
    }
    unsigned headerState(const WeiboDetailsViewController& detail) const
    {
        return pullToRefreshView(*detail.tableView())->state();
    }
    std::size_t asked() const { return routeCount(kCommentRoute); }
    std::string lastPage() const { return routeQuery(kCommentRoute, asked() - 1, "page"); }
    // The comments shown, in order, as "第n条评论" numbers.
    std::vector<int> shown(const WeiboDetailsViewController& detail) const
    {
        std::vector<int> numbers;
        for (const auto& c : detail.listData())
            numbers.push_back(std::atoi(c->content.substr(std::string("第").size()).c_str()));
        return numbers;
    }
    static std::vector<int> oneTo(int n)
    {
        std::vector<int> numbers;
        for (int i = 1; i <= n; ++i)
            numbers.push_back(i);
        return numbers;
    }

    static constexpr const char* kCommentRoute = "webapp/jxq/comment";

    void postComment(long long weiboId, const std::string& text)
    {
        platform::Dictionary info;
        info.set("weiboId", weiboId);
        info.set("comment", text);
        platform::NotificationCenter::defaultCenter().post(circle::kSendWeiboCommentSuccess, {}, std::move(info));
    }
};

TEST_F(DetailTest, CommentsOfThisPostOnlyJoinItsListAtTheTop)
{
    signIn();
    auto detail = openFromFeed(2); // the demo teacher's spring outing, two comments
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->title(), "话题正文");
    ASSERT_TRUE(until([&] { return detail->listData().size() == 2; }));
    auto table = comments(*detail);
    ASSERT_TRUE(table);
    EXPECT_TRUE(testsupport::findOutlet<UILabel>(table, "lblEmptyTips")->isHidden());
    EXPECT_EQ(table->tableView()->numberOfRowsInSection(0), 2);
    double expected = 0;
    for (const auto& c : detail->listData())
        expected += circle::WeiboDetailsCommentCell::heightForWeiboCommentData(*c);
    EXPECT_EQ(detail->tableView()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0)).height(), expected);

    postComment(3, "别的帖子的评论");
    EXPECT_EQ(detail->listData().size(), 2u);
    int before = detail->weiboData()->commentNum;
    postComment(2, "孩子们都晒黑了");
    ASSERT_EQ(detail->listData().size(), 3u);
    EXPECT_EQ(detail->listData()[0]->content, "孩子们都晒黑了");
    EXPECT_EQ(detail->listData()[0]->dataTime, "刚刚");
    EXPECT_EQ(detail->listData()[0]->senderName, "李建国");
    EXPECT_EQ(detail->listData()[0]->senderType, 1);
    // The feed beneath raised the shared post's count.
    EXPECT_EQ(detail->weiboData()->commentNum, before + 1);
    auto first = visibleCell<circle::WeiboDetailsCommentCell>(*comments(*detail)->tableView(), 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->lblContent()->text(), "孩子们都晒黑了");
    EXPECT_EQ(first->lblTime()->text(), "刚刚");
    testsupport::settle(harness(), 1);
    harness().render("circle-detail-comments.png");
}

// The comments' load-more a person makes: the post dragged up to the end of
// its comments by a finger and let go asks for the next page, each time.
TEST_F(DetailTest, AFingerScrollToTheEndAsksForTheNextCommentPageEachTime)
{
    long long weiboId = postWithComments(25);
    ASSERT_TRUE(weiboId);
    signIn();
    auto detail = openFromFeed(weiboId);
    ASSERT_TRUE(detail);
    ASSERT_EQ(detail->listData().size(), 10u);

    scrollToEnd(*detail);
    ASSERT_TRUE(until([&] { return detail->listData().size() == 20; }));
    EXPECT_EQ(lastPage(), "2");
    EXPECT_EQ(footerState(*detail), InfiniteScrollingView::Stopped);
    scrollToEnd(*detail);
    ASSERT_TRUE(until([&] { return detail->listData().size() == 25; }));
    EXPECT_EQ(lastPage(), "3");
    EXPECT_EQ(shown(*detail), oneTo(25));
    EXPECT_EQ(footerState(*detail), InfiniteScrollingView::Stopped);
    EXPECT_EQ(asked(), 3u);
}

// A comment page out when the post is pulled down: come back after, it is
// dropped and the footer's spinner ends with it. Until the reload's first
// page is back a scroll to the end asks for nothing; then it asks for page 2.
TEST_F(DetailTest, ACommentPageDroppedByAPullDownLeavesTheNextFingerScrollAskingAgain)
{
    long long weiboId = postWithComments(25);
    ASSERT_TRUE(weiboId);
    signIn();
    auto detail = openFromFeed(weiboId);
    ASSERT_TRUE(detail);

    auto more = holdRoute(kCommentRoute);
    scrollToEnd(*detail);
    ASSERT_TRUE(until([&] { return more->arrived() == 1; }));
    EXPECT_EQ(lastPage(), "2");
    EXPECT_EQ(footerState(*detail), InfiniteScrollingView::Loading);

    auto first = holdRoute(kCommentRoute);
    pullDown(*detail);
    ASSERT_TRUE(until([&] { return first->arrived() == 1; }));
    EXPECT_EQ(lastPage(), "1");
    EXPECT_EQ(headerState(*detail), PullToRefreshView::Loading);

    // The late page 2 comes back and is dropped: the footer stops, while the
    // reload's first page is still out.
    more->open();
    ASSERT_TRUE(waitForRoute(kCommentRoute, 2));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(headerState(*detail), PullToRefreshView::Loading);
    ASSERT_EQ(footerState(*detail), InfiniteScrollingView::Stopped);
    EXPECT_EQ(shown(*detail), oneTo(10));
    // The reload's first page still out: a scroll to the end asks nothing.
    scrollToEnd(*detail);
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(asked(), 3u);
    EXPECT_EQ(footerState(*detail), InfiniteScrollingView::Stopped);

    first->open();
    ASSERT_TRUE(until([&] { return headerState(*detail) == PullToRefreshView::Stopped; }));
    EXPECT_EQ(shown(*detail), oneTo(10));
    scrollToEnd(*detail);
    ASSERT_TRUE(until([&] { return detail->listData().size() == 20; }));
    EXPECT_EQ(asked(), 4u);
    EXPECT_EQ(lastPage(), "2");
    EXPECT_EQ(shown(*detail), oneTo(20));
    EXPECT_EQ(footerState(*detail), InfiniteScrollingView::Stopped);
}

// A comment page out when the post is pulled down and the reload's first
// page comes back first: that page ends the footer's spinner, so a scroll to
// the end asks for page 2 again; the late page, dropped, leaves the spinner
// of that new load-more alone; and the scroll after asks for page 3.
TEST_F(DetailTest, AFirstCommentPageArrivingWhileTheFooterSpinsLeavesTheNextFingerScrollAskingAgain)
{
    long long weiboId = postWithComments(25);
    ASSERT_TRUE(weiboId);
    signIn();
    auto detail = openFromFeed(weiboId);
    ASSERT_TRUE(detail);

    auto stale = holdRoute(kCommentRoute);
    scrollToEnd(*detail);
    ASSERT_TRUE(until([&] { return stale->arrived() == 1; }));
    EXPECT_EQ(footerState(*detail), InfiniteScrollingView::Loading);

    pullDown(*detail);
    ASSERT_TRUE(waitForRoute(kCommentRoute, 2)); // the first page and the reload's
    ASSERT_TRUE(until([&] { return headerState(*detail) == PullToRefreshView::Stopped; }));
    EXPECT_EQ(shown(*detail), oneTo(10));
    ASSERT_EQ(footerState(*detail), InfiniteScrollingView::Stopped);

    auto again = holdRoute(kCommentRoute);
    scrollToEnd(*detail);
    ASSERT_TRUE(until([&] { return again->arrived() == 1; }));
    EXPECT_EQ(lastPage(), "2");
    EXPECT_EQ(footerState(*detail), InfiniteScrollingView::Loading);
    // The late page of the list before: dropped, the new load-more's spinner kept.
    stale->open();
    ASSERT_TRUE(waitForRoute(kCommentRoute, 3));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(shown(*detail), oneTo(10));
    EXPECT_EQ(footerState(*detail), InfiniteScrollingView::Loading);
    again->open();
    ASSERT_TRUE(until([&] { return detail->listData().size() == 20; }));
    EXPECT_EQ(footerState(*detail), InfiniteScrollingView::Stopped);

    scrollToEnd(*detail);
    ASSERT_TRUE(until([&] { return detail->listData().size() == 25; }));
    EXPECT_EQ(lastPage(), "3");
    EXPECT_EQ(asked(), 5u);
    EXPECT_EQ(shown(*detail), oneTo(25));
}

// A praise in the detail shows there and in the feed's row at once, and
// neither screen sends a second one; a praise given in the feed shows in
// the detail opened afterwards.
TEST_F(DetailTest, APraiseShowsInTheDetailAndTheFeedAndIsSentOnce)
{
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    auto detail = openFromFeed(2); // the spring outing, praised five times
    ASSERT_TRUE(detail);
    int praise = detail->weiboData()->praise;
    ASSERT_EQ(praise, 5);
    auto praiseButton = [&] {
        auto cell = visibleCell<circle::WeiboDetailsContentCell>(*detail->tableView(), 0);
        return testsupport::findOutlet<UIButton>(cell, "btnPraise");
    };
    EXPECT_EQ(praiseButton()->currentTitle(), "赞 5");
    EXPECT_FALSE(praiseButton()->isSelected());
    ASSERT_TRUE(harness().tap(praiseButton()));
    ASSERT_TRUE(waitForRoute(kPraiseRoute, 1));
    EXPECT_EQ(routeQuery(kPraiseRoute, 0, "weiboId"), "2");
    ASSERT_TRUE(until([&] { return praiseButton()->currentTitle() == "已赞 6"; }));
    EXPECT_TRUE(praiseButton()->isSelected());
    EXPECT_EQ(detail->weiboData()->praise, 6);
    ASSERT_TRUE(harness().tap(praiseButton()));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(routeCount(kPraiseRoute), 1u);
    EXPECT_EQ(detail->weiboData()->praise, 6);
    testsupport::settle(harness(), 1);
    harness().render("circle-detail-praised.png");

    // Back in the feed the row shows it, and its button sends nothing either.
    EXPECT_EQ(leave(detail), feed);
    long row = -1;
    for (long r = 0; r < feed->tableView()->numberOfRowsInSection(0); ++r) {
        auto cell = visibleCell<circle::WeiboCell>(*feed->tableView(), r);
        if (cell && cell->data()->weiboId == 2)
            row = r;
    }
    ASSERT_GE(row, 0);
    auto rowButton = testsupport::findOutlet<UIButton>(visibleCell<circle::WeiboCell>(*feed->tableView(), row), "btnPraise");
    EXPECT_EQ(rowButton->currentTitle(), "已赞 6");
    EXPECT_TRUE(rowButton->isSelected());
    ASSERT_TRUE(harness().tap(rowButton));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(routeCount(kPraiseRoute), 1u);

    // Praised in the feed, then opened: the detail shows it.
    auto rowOf = [&](long long weiboId) {
        for (long r = 0; r < feed->tableView()->numberOfRowsInSection(0); ++r) {
            auto cell = visibleCell<circle::WeiboCell>(*feed->tableView(), r);
            if (cell && cell->data()->weiboId == weiboId) {
                // At the top of the list: the list's foot lies under the tab bar.
                auto path = NSIndexPath::indexPathForRow(r, 0);
                feed->tableView()->scrollToRowAtIndexPath(path, UITableViewScrollPositionTop, false);
                feed->tableView()->layoutIfNeeded();
                return std::dynamic_pointer_cast<circle::WeiboCell>(feed->tableView()->cellForRowAtIndexPath(path));
            }
        }
        return std::shared_ptr<circle::WeiboCell>();
    };
    auto fourth = rowOf(4);
    ASSERT_TRUE(fourth);
    int fourthPraise = fourth->data()->praise;
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UIButton>(fourth, "btnPraise")));
    ASSERT_TRUE(waitForRoute(kPraiseRoute, 2));
    EXPECT_EQ(routeQuery(kPraiseRoute, 1, "weiboId"), "4");
    ASSERT_TRUE(until([&] { return rowOf(4)->data()->praise == fourthPraise + 1; }));
    auto other = openFromFeed(4);
    ASSERT_TRUE(other);
    auto otherButton = testsupport::findOutlet<UIButton>(
        visibleCell<circle::WeiboDetailsContentCell>(*other->tableView(), 0), "btnPraise");
    EXPECT_EQ(otherButton->currentTitle(), "已赞 " + std::to_string(fourthPraise + 1));
    EXPECT_TRUE(otherButton->isSelected());
    ASSERT_TRUE(harness().tap(otherButton));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(routeCount(kPraiseRoute), 2u);
}

TEST_F(DetailTest, OnlyTheAuthorWithTheSameRoleCanDeleteAndTheFeedLosesTheRow)
{
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    long rowsBefore = feed->tableView()->numberOfRowsInSection(0);
    // Post 4 is the demo parent's: the teacher gets no delete button.
    auto other = openFromFeed(4);
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->rightItem());
    other->btnDoGoBack();
    testsupport::settle(harness());

    auto detail = openFromFeed(2);
    ASSERT_TRUE(detail);
    ASSERT_TRUE(detail->rightItem());
    ASSERT_TRUE(harness().tap(detail->rightItem()));
    testsupport::settle(harness());
    ASSERT_TRUE(harness().tapButton("删除当前微博"));
    testsupport::settle(harness());
    auto alert = harness().currentAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "警告");
    EXPECT_EQ(alert->message(), "这是一步不可逆的操作，\n你确定要删除当前微博吗？");
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    ASSERT_TRUE(waitForAnswer(Cmd::kDeleteWeibo));
    ASSERT_TRUE(until([&] { return harness().overlayText() == "删除成功"; }));
    EXPECT_EQ(requests(Cmd::kDeleteWeibo).front().bodyValue("weiboId"), platform::Value(2));
    EXPECT_EQ(harness().notifications().count(circle::kDeleteWeiboSuccess), 1u);
    EXPECT_EQ(feed->tableView()->numberOfRowsInSection(0), rowsBefore - 1);
    harness().advance(WeiboDetailsViewController::kCloseDelay);
    testsupport::settle(harness());
    EXPECT_EQ(harness().topScreen(), feed);
}

TEST_F(DetailTest, AnotherRoleWithTheAuthorsNumberGetsNoDeleteButton)
{
    signIn("13800000002", testsupport::kDemoParentPassword);
    auto post = std::make_shared<core::WeiboData>();
    post->weiboId = 4;
    post->senderId = 3001; // the demo parent's number, written by a teacher
    post->senderType = 1;
    post->senderName = "同号老师";
    post->content = "同一个号码的另一个角色";
    auto detail = std::make_shared<WeiboDetailsViewController>();
    detail->setWeiboData(post);
    open(detail, ORBViewController::kCircleTab);
    EXPECT_FALSE(detail->rightItem());

    auto own = std::make_shared<core::WeiboData>(*post);
    own->senderType = 2;
    auto mine = std::make_shared<WeiboDetailsViewController>();
    mine->setWeiboData(own);
    open(mine, ORBViewController::kCircleTab);
    EXPECT_TRUE(mine->rightItem());
}

// Left before either answer: the comments' spinner goes with their answer,
// a post deleted meanwhile still leaves the feed, and its overlay ends; the
// gone detail is never called.
TEST_F(DetailTest, LeavingBeforeTheAnswerLeavesNoOverlayAndTheFeedStillLosesADeletedRow)
{
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    long rowsBefore = feed->tableView()->numberOfRowsInSection(0);
    auto leaveToFeed = [&](std::shared_ptr<WeiboDetailsViewController>& detail) {
        EXPECT_EQ(leave(detail), feed);
    };

    // The comments still on their way.
    auto held = holdRoute("webapp/jxq/comment");
    feed->tableView()->userSelectRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0));
    testsupport::settle(harness());
    auto detail = std::dynamic_pointer_cast<WeiboDetailsViewController>(harness().topScreen());
    ASSERT_TRUE(detail);
    ASSERT_TRUE(until([&] { return held->arrived() == 1 && harness().overlayText() == "正在加载中"; }));
    leaveToFeed(detail);
    held->open();
    ASSERT_TRUE(waitForRoute("webapp/jxq/comment", 1));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(harness().overlayText(), "");

    // The post deleted.
    ASSERT_TRUE(harness().waitForServerQuiet());
    detail = openFromFeed(2);
    ASSERT_TRUE(detail);
    ASSERT_TRUE(harness().tap(detail->rightItem()));
    testsupport::settle(harness());
    ASSERT_TRUE(harness().tapButton("删除当前微博"));
    testsupport::settle(harness());
    auto deleting = holdNext(Cmd::kDeleteWeibo);
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    ASSERT_TRUE(until([&] { return deleting->arrived() == 1 && harness().overlayText() == "正在删除当前微博..."; }));
    leaveToFeed(detail);
    deleting->open();
    ASSERT_TRUE(waitForAnswer(Cmd::kDeleteWeibo));
    ASSERT_TRUE(until([&] { return harness().overlayText() == "删除成功"; }));
    EXPECT_EQ(harness().notifications().count(circle::kDeleteWeiboSuccess), 1u);
    EXPECT_EQ(feed->tableView()->numberOfRowsInSection(0), rowsBefore - 1);
    harness().advance(WeiboDetailsViewController::kCloseDelay + 1);
    testsupport::settle(harness());
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().topScreen(), feed);
}

} // namespace
