// The class-circle feed as a signed-in person meets it against the stand-in
// server: kinds and pages, a late page dropped, praise and the counts kept
// in step through the notifications, the compose menu by role.
#include "circle/feed/CircleTargets.h"
#include "circle/feed/HomeSchoolCircleViewController.h"
#include "circle/feed/WeiboCell.h"
#include "app/main/ORBViewController.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "server/StandinServer.h"
#include "tests/circle/CircleTestSupport.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/LoopFigures.h"
#include "tests/support/app/ScreenFoot.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/tables/InfiniteScrollingView.h"
#include "ui/tables/PullToRefreshView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <set>

using namespace circletest;
using circle::HomeSchoolCircleViewController;
using circle::WeiboCell;

namespace {

class FeedTest : public CircleScreenTest {
protected:
    long rows(const HomeSchoolCircleViewController& feed) const { return feed.tableView()->numberOfRowsInSection(0); }

    std::shared_ptr<core::WeiboData> post(const HomeSchoolCircleViewController& feed, long row)
    {
        auto cell = visibleCell<WeiboCell>(*feed.tableView(), row);
        return cell ? cell->data() : nullptr;
    }

    // Adds posts until the school has `total`; answers the newest id.
    long long fillTo(int added)
    {
        long long last = 0;
        for (int i = 0; i < added; ++i)
            last = addPost({ 2001, 101, "第" + std::to_string(i + 1) + "条新动态", 0, 0 });
        return last;
    }

    // Feed requests sent for that kind and page.
    std::size_t sent(int kind, int page) const
    {
        std::size_t n = 0;
        for (const auto& r : harness().server()->requests().withRoute(kFeedRoute))
            n += r.queryValue("weiboType") == std::to_string(kind) && r.queryValue("page") == std::to_string(page);
        return n;
    }
    bool answeredAll() const
    {
        for (const auto& r : harness().server()->requests().withRoute(kFeedRoute)) {
            if (!r.answered)
                return false;
        }
        return true;
    }

    // A finger dragging the list up to its end and a little past it, then
    // lifting, as a person asks for more; the list then settles back.
    void scrollToEnd(const HomeSchoolCircleViewController& feed)
    {
        auto table = feed.tableView();
        table->layoutIfNeeded();
        double end = std::max(0.0, table->contentSize().height - table->bounds().height());
        harness().drag(table, -(end - table->contentOffset().y + 80), 8);
        harness().advance(1);
    }
    // A finger pulling the list down past its top and lifting.
    void pullDown(const HomeSchoolCircleViewController& feed)
    {
        auto table = feed.tableView();
        harness().drag(table, table->contentOffset().y + 90, 8);
    }
    unsigned footerState(const HomeSchoolCircleViewController& feed) const
    {
        return infiniteScrollingView(*feed.tableView())->state();
    }
    unsigned headerState(const HomeSchoolCircleViewController& feed) const
    {
        return pullToRefreshView(*feed.tableView())->state();
    }
    // The page asked for by the last feed request.
    std::string lastPage() const { return routeQuery(kFeedRoute, routeCount(kFeedRoute) - 1, "page"); }

    void post(const char* name, long long weiboId)
    {
        platform::Dictionary info;
        info.set("weiboId", weiboId);
        platform::NotificationCenter::defaultCenter().post(name, {}, std::move(info));
    }
};

TEST_F(FeedTest, PagesOfTenAppendUntilAnEmptyPageTurnsLoadMoreOff)
{
    long long newest = fillTo(15); // 6 demo posts + 15 = 21
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->title(), "全部动态");
    EXPECT_EQ(rows(*feed), 10);
    EXPECT_EQ(post(*feed, 0)->weiboId, newest);
    EXPECT_EQ(routeQuery(kFeedRoute, 0, "weiboType"), "1");
    EXPECT_EQ(routeQuery(kFeedRoute, 0, "page"), "1");
    EXPECT_EQ(routeQuery(kFeedRoute, 0, "pageSize"), "10");
    EXPECT_EQ(testsupport::mainScreen()->badgeBtnHomeSchool()->badgeNum(), 0);

    triggerInfiniteScrolling(*feed->tableView());
    ASSERT_TRUE(until([&] { return rows(*feed) == 20; }));
    EXPECT_EQ(routeQuery(kFeedRoute, 1, "page"), "2");
    triggerInfiniteScrolling(*feed->tableView());
    ASSERT_TRUE(until([&] { return rows(*feed) == 21; }));
    EXPECT_TRUE(showsInfiniteScrolling(*feed->tableView()));
    triggerInfiniteScrolling(*feed->tableView());
    ASSERT_TRUE(until([&] { return harness().overlayText() == "没有更多数据了"; }));
    EXPECT_EQ(routeQuery(kFeedRoute, 3, "page"), "4");
    EXPECT_EQ(rows(*feed), 21);
    EXPECT_FALSE(showsInfiniteScrolling(*feed->tableView()));
    std::set<long long> ids;
    for (long r = 0; r < rows(*feed); ++r)
        ids.insert(post(*feed, r)->weiboId);
    EXPECT_EQ(ids.size(), 21u);

    // Pulled down: page 1 again, the later pages dropped.
    triggerPullToRefresh(*feed->tableView());
    ASSERT_TRUE(until([&] { return rows(*feed) == 10; }));
    EXPECT_EQ(routeQuery(kFeedRoute, 4, "page"), "1");
    EXPECT_TRUE(showsInfiniteScrolling(*feed->tableView()));
}

TEST_F(FeedTest, ALatePageOfAnEarlierRefreshOrKindIsDropped)
{
    long long newest = fillTo(15);
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);

    // Page 2 is held at the server while the list is pulled down and reloaded.
    auto gate = holdRoute(kFeedRoute);
    triggerInfiniteScrolling(*feed->tableView());
    ASSERT_TRUE(until([&] { return gate->arrived() == 1; }));
    triggerPullToRefresh(*feed->tableView());
    ASSERT_TRUE(waitForRoute(kFeedRoute, 2)); // the first page and the reload
    // The reload handled: its header stops.
    ASSERT_TRUE(until([&] { return pullToRefreshView(*feed->tableView())->state() == PullToRefreshView::Stopped; }));
    gate->open();
    ASSERT_TRUE(waitForRoute(kFeedRoute, 3));
    // The late page neither replaced the reloaded first page nor joined it:
    // the next page asked for is 2, and the list reads newest first.
    triggerInfiniteScrolling(*feed->tableView());
    ASSERT_TRUE(until([&] { return rows(*feed) == 20; }));
    EXPECT_EQ(routeQuery(kFeedRoute, 3, "page"), "2");
    EXPECT_EQ(post(*feed, 0)->weiboId, newest);
    std::set<long long> ids;
    for (long r = 0; r < rows(*feed); ++r)
        ids.insert(post(*feed, r)->weiboId);
    EXPECT_EQ(ids.size(), 20u);

    // The teachers' kind chosen while the first page of all posts is held:
    // that page, arriving last, does not land under the new title.
    addPost({ 3001, 101, "家长的新动态", 0, 0 });
    auto held = holdRoute(kFeedRoute);
    triggerPullToRefresh(*feed->tableView());
    ASSERT_TRUE(until([&] { return held->arrived() == 1; }));
    platform::Dictionary entry;
    entry.set("title", "教师动态");
    entry.set("index", 2);
    feed->openListIndex(platform::Value(entry));
    EXPECT_EQ(feed->title(), "教师动态");
    ASSERT_TRUE(until([&] { return rows(*feed) == 10 && post(*feed, 0)->senderType == 1; }));
    held->open();
    ASSERT_TRUE(until([&] { return answeredAll(); }));
    triggerInfiniteScrolling(*feed->tableView());
    ASSERT_TRUE(until([&] { return rows(*feed) > 10; }));
    EXPECT_EQ(sent(2, 2), 1u);
    for (long r = 0; r < rows(*feed); ++r)
        EXPECT_EQ(post(*feed, r)->senderType, 1) << "row " << r;
}

// The load-more a person makes: the list dragged up to its end by a finger
// and let go asks for the next page, each time.
TEST_F(FeedTest, AFingerScrollToTheEndAsksForTheNextPageEachTime)
{
    fillTo(25); // 31 posts
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    ASSERT_EQ(rows(*feed), 10);

    scrollToEnd(*feed);
    ASSERT_TRUE(until([&] { return rows(*feed) == 20; }));
    EXPECT_EQ(sent(1, 2), 1u);
    EXPECT_EQ(footerState(*feed), InfiniteScrollingView::Stopped);
    scrollToEnd(*feed);
    ASSERT_TRUE(until([&] { return rows(*feed) == 30; }));
    EXPECT_EQ(sent(1, 3), 1u);
    EXPECT_EQ(footerState(*feed), InfiniteScrollingView::Stopped);
    EXPECT_EQ(routeCount(kFeedRoute), 3u);
}

// A load-more out when the list is pulled down: its page, come back after,
// is dropped, and with it ends the footer's spinner. Until the reload's
// first page is back a scroll to the end asks for nothing; then it asks for
// page 2 of the reloaded list.
TEST_F(FeedTest, ALoadMoreDroppedByAPullDownLeavesTheNextFingerScrollAskingAgain)
{
    fillTo(15);
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    ASSERT_TRUE(harness().runUntilOverlayGone());

    auto more = holdRoute(kFeedRoute);
    scrollToEnd(*feed);
    ASSERT_TRUE(until([&] { return more->arrived() == 1; }));
    EXPECT_EQ(lastPage(), "2");
    EXPECT_EQ(footerState(*feed), InfiniteScrollingView::Loading);

    auto first = holdRoute(kFeedRoute);
    pullDown(*feed);
    ASSERT_TRUE(until([&] { return first->arrived() == 1; }));
    EXPECT_EQ(lastPage(), "1");
    EXPECT_EQ(headerState(*feed), PullToRefreshView::Loading);

    // The late page 2 comes back and is dropped: the footer stops, while the
    // reload's first page is still out.
    more->open();
    ASSERT_TRUE(waitForRoute(kFeedRoute, 2));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(headerState(*feed), PullToRefreshView::Loading);
    ASSERT_EQ(footerState(*feed), InfiniteScrollingView::Stopped);
    EXPECT_EQ(rows(*feed), 10);
    // The reload's first page still out: a scroll to the end asks nothing.
    scrollToEnd(*feed);
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(routeCount(kFeedRoute), 3u);
    EXPECT_EQ(footerState(*feed), InfiniteScrollingView::Stopped);

    first->open();
    ASSERT_TRUE(until([&] { return headerState(*feed) == PullToRefreshView::Stopped; }));
    EXPECT_EQ(rows(*feed), 10);
    scrollToEnd(*feed);
    ASSERT_TRUE(until([&] { return rows(*feed) == 20; }));
    EXPECT_EQ(routeCount(kFeedRoute), 4u);
    EXPECT_EQ(sent(1, 2), 2u);
    EXPECT_EQ(lastPage(), "2");
    EXPECT_EQ(footerState(*feed), InfiniteScrollingView::Stopped);
}

// A load-more out when the list is pulled down and the reload's first page
// comes back first: that page ends the footer's spinner, so a scroll to the
// end asks for page 2 of the new list; the late page, dropped, leaves the
// spinner of that new load-more alone; and the scroll after asks for page 3.
TEST_F(FeedTest, AFirstPageArrivingWhileTheFooterSpinsLeavesTheNextFingerScrollAskingAgain)
{
    fillTo(25);
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    ASSERT_TRUE(harness().runUntilOverlayGone());

    auto stale = holdRoute(kFeedRoute);
    scrollToEnd(*feed);
    ASSERT_TRUE(until([&] { return stale->arrived() == 1; }));
    EXPECT_EQ(footerState(*feed), InfiniteScrollingView::Loading);

    pullDown(*feed);
    ASSERT_TRUE(waitForRoute(kFeedRoute, 2)); // the first page and the reload's
    ASSERT_TRUE(until([&] { return headerState(*feed) == PullToRefreshView::Stopped; }));
    EXPECT_EQ(rows(*feed), 10);
    ASSERT_EQ(footerState(*feed), InfiniteScrollingView::Stopped);

    auto again = holdRoute(kFeedRoute);
    scrollToEnd(*feed);
    ASSERT_TRUE(until([&] { return again->arrived() == 1; }));
    EXPECT_EQ(sent(1, 2), 2u);
    EXPECT_EQ(footerState(*feed), InfiniteScrollingView::Loading);
    // The late page of the list before: dropped, the new load-more's spinner kept.
    stale->open();
    ASSERT_TRUE(waitForRoute(kFeedRoute, 3));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(rows(*feed), 10);
    EXPECT_EQ(footerState(*feed), InfiniteScrollingView::Loading);
    again->open();
    ASSERT_TRUE(until([&] { return rows(*feed) == 20; }));
    EXPECT_EQ(footerState(*feed), InfiniteScrollingView::Stopped);

    scrollToEnd(*feed);
    ASSERT_TRUE(until([&] { return rows(*feed) == 30; }));
    EXPECT_EQ(lastPage(), "3");
    EXPECT_EQ(routeCount(kFeedRoute), 5u);
    std::set<long long> ids;
    for (long r = 0; r < rows(*feed); ++r)
        ids.insert(post(*feed, r)->weiboId);
    EXPECT_EQ(ids.size(), 30u);
}

// A post's text becomes what its row shows once, in one pass each: long runs
// of breaks and spaces do not hold the window, neither when the page is read
// nor each time the row is measured and drawn again.
TEST_F(FeedTest, ALongPostOfBreaksIsShownWithoutHoldingTheWindow)
{
    std::string content = "开头";
    for (int i = 0; i < 40000; ++i)
        content += "<br/>";
    for (int i = 0; i < 20000; ++i)
        content += "&nbsp;";
    content += std::string(100000, '\n') + "结尾";
    const long long id = addPost({ 2001, 101, content, 0, 0 });
    signIn();
    testsupport::MainLoopGapMeter gaps;
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    auto shown = post(*feed, 0);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->weiboId, id);
    EXPECT_EQ(std::count(shown->content.begin(), shown->content.end(), '\n'), 140000);
    EXPECT_EQ(shown->content.find("&nbsp;"), std::string::npos);
    EXPECT_EQ(shown->content.substr(shown->content.size() - 6), "结尾");
    EXPECT_EQ(shown->rowText().find('\n'), std::string::npos);
    EXPECT_EQ(shown->rowText().find("开头◆◆"), 0u);
    // Measured and drawn again, as a scroll does.
    for (int i = 0; i < 3; ++i) {
        feed->tableView()->reloadData();
        feed->tableView()->layoutIfNeeded();
        harness().advance(0.1);
    }
    EXPECT_LT(gaps.longestGapSeconds(), 2.0);
}

// First pages of every wrong shape: lists that are no lists, rows of other
// kinds, nulls, texts where numbers go, counts past every range, a post
// with thousands of pictures. Each ends in rows the list can show, and a
// count at the top of its range still takes a praise and a comment.
TEST_F(FeedTest, HostileFeedRepliesEndInRowsTheListCanShow)
{
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    std::string pictures = R"({"resultState":1,"items":[{"weiboId":78,"content":"图","images":[)";
    for (int i = 0; i < 5000; ++i)
        pictures += std::string(i ? "," : "") + R"({"original":"http://127.0.0.1:1/o.png","thumb":"http://127.0.0.1:1/t.png"})";
    pictures += "]}]}";
    struct Case {
        const char* name;
        std::string body;
        long rows;
        const char* overlay; // null: not checked
        long long weiboId; // of the first row
        int commentNum;
        int praise;
        std::size_t images;
    };
    const Case cases[] = {
        { "no list", R"({"resultState":1})", 0, "暂无数据", 0, 0, 0, 0 },
        { "a null list", R"({"resultState":1,"items":null})", 0, "暂无数据", 0, 0, 0, 0 },
        { "a list that is an object", R"({"resultState":1,"items":{"weiboId":5}})", 0, "暂无数据", 0, 0, 0, 0 },
        { "an empty list", R"({"resultState":1,"items":[]})", 0, "暂无数据", 0, 0, 0, 0 },
        { "rows of every other kind", R"({"resultState":1,"items":[1,"post",null,[],true,{"weiboId":"12"}]})", 1,
            nullptr, 12, 0, 0, 0 },
        { "texts, nulls and lists where other kinds go",
            R"({"resultState":1,"items":[{"weiboId":13,"content":5,"senderName":null,"images":"x","praise":"many","commentNum":[3],"dataTime":{}}]})",
            1, nullptr, 13, 0, 0, 0 },
        { "counts past every range",
            R"({"resultState":1,"items":[{"weiboId":77,"commentNum":1e30,"praise":99999999999,"senderId":-1e300,"senderType":123456789012345678901234567890}]})",
            1, nullptr, 77, 2147483647, 2147483647, 0 },
        { "five thousand pictures", pictures, 1, nullptr, 78, 0, 0, 5000 },
        // The list before stays, with the comment and praise it took.
        { "a refusal", R"({"resultState":0,"resultMsg":"稍后再试"})", 1, "稍后再试", 78, 1, 1, 5000 },
    };
    std::size_t asked = routeCount(kFeedRoute);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        harness().server()->script().forRoute(kFeedRoute, server::ScriptedReply::custom(200, c.body));
        pullDown(*feed);
        ASSERT_TRUE(waitForRoute(kFeedRoute, ++asked));
        if (c.overlay) {
            ASSERT_TRUE(until([&] { return harness().overlayText() == c.overlay; }));
        }
        ASSERT_TRUE(until([&] {
            auto first = rows(*feed) > 0 ? post(*feed, 0) : nullptr;
            return rows(*feed) == c.rows && (c.rows == 0 || (first && first->weiboId == c.weiboId));
        }));
        harness().advance(2);
        if (c.rows == 0)
            continue;
        auto first = post(*feed, 0);
        ASSERT_TRUE(first);
        EXPECT_EQ(first->weiboId, c.weiboId);
        EXPECT_EQ(first->commentNum, c.commentNum);
        EXPECT_EQ(first->praise, c.praise);
        EXPECT_EQ(first->images.size(), c.images);
        // A count at the top of its range stays there.
        post(circle::kSendWeiboCommentSuccess, first->weiboId);
        post(circle::kPraiseWeiboSuccess, first->weiboId);
        EXPECT_EQ(first->commentNum, c.commentNum == INT_MAX ? INT_MAX : c.commentNum + 1);
        EXPECT_EQ(first->praise, c.praise == INT_MAX ? INT_MAX : c.praise + 1);
    }
}

TEST_F(FeedTest, PraiseAndTheNotificationsKeepTheRowsInStep)
{
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    ASSERT_EQ(rows(*feed), 6);
    auto first = post(*feed, 0);
    int praise = first->praise;
    auto cell = visibleCell<WeiboCell>(*feed->tableView(), 0);
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UIButton>(cell, "btnPraise")));
    ASSERT_TRUE(waitForRoute(kPraiseRoute, 1));
    EXPECT_EQ(routeQuery(kPraiseRoute, 0, "weiboId"), std::to_string(first->weiboId));
    ASSERT_TRUE(until([&] { return first->praise == praise + 1; }));
    EXPECT_EQ(harness().notifications().count(circle::kPraiseWeiboSuccess), 1u);

    int comments = first->commentNum;
    post(circle::kSendWeiboCommentSuccess, first->weiboId);
    EXPECT_EQ(first->commentNum, comments + 1);
    EXPECT_EQ(testsupport::findOutlet<UIButton>(visibleCell<WeiboCell>(*feed->tableView(), 0), "btnComment")->currentTitle(),
        std::to_string(comments + 1));

    // A post not in the list changes nothing.
    post(circle::kSendWeiboCommentSuccess, 9999);
    post(circle::kDeleteWeiboSuccess, 9999);
    EXPECT_EQ(rows(*feed), 6);

    auto second = post(*feed, 1);
    post(circle::kDeleteWeiboSuccess, first->weiboId);
    EXPECT_EQ(rows(*feed), 5);
    EXPECT_EQ(post(*feed, 0)->weiboId, second->weiboId);

    // A new post written elsewhere: the feed reloads from page 1.
    std::size_t before = routeCount(kFeedRoute);
    addPost({ 2001, 101, "刚写的动态", 0, 0 });
    platform::NotificationCenter::defaultCenter().post(circle::kSendWeiboSuccess);
    ASSERT_TRUE(waitForRoute(kFeedRoute, before + 1));
    ASSERT_TRUE(until([&] { return rows(*feed) == 7; }));
    EXPECT_EQ(post(*feed, 0)->content, "刚写的动态");
}

// A praise shows in its row at once: the count raised and the button marked
// as praised. While it is on its way and after it, further taps send
// nothing; a reload from the server keeps the mark.
TEST_F(FeedTest, APraiseShowsInTheRowAndASecondTapSendsNothing)
{
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    auto first = post(*feed, 0);
    ASSERT_TRUE(first);
    long long weiboId = first->weiboId;
    int praise = first->praise;
    ASSERT_GT(praise, 0); // the demo posts all have praise
    auto praiseButton = [&] {
        return testsupport::findOutlet<UIButton>(visibleCell<WeiboCell>(*feed->tableView(), 0), "btnPraise");
    };
    EXPECT_EQ(praiseButton()->currentTitle(), "赞 " + std::to_string(praise));
    EXPECT_FALSE(praiseButton()->isSelected());

    // Held at the server: a second tap meanwhile sends nothing.
    auto gate = holdRoute(kPraiseRoute);
    ASSERT_TRUE(harness().tap(praiseButton()));
    ASSERT_TRUE(until([&] { return gate->arrived() == 1; }));
    ASSERT_TRUE(harness().tap(praiseButton()));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(routeCount(kPraiseRoute), 1u);
    gate->open();
    ASSERT_TRUE(waitForRoute(kPraiseRoute, 1));
    ASSERT_TRUE(until([&] { return praiseButton()->currentTitle() == "已赞 " + std::to_string(praise + 1); }));
    EXPECT_TRUE(praiseButton()->isSelected());
    EXPECT_EQ(first->praise, praise + 1);
    // The wider title keeps clear of the comment button.
    auto comment = testsupport::findOutlet<UIButton>(visibleCell<WeiboCell>(*feed->tableView(), 0), "btnComment");
    EXPECT_LE(praiseButton()->frame().maxX(), comment->frame().minX());
    EXPECT_GE(praiseButton()->frame().width(), praiseButton()->sizeThatFits(platform::Size(1000, 26)).width);

    // Praised: another tap sends nothing and changes nothing.
    ASSERT_TRUE(harness().tap(praiseButton()));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(routeCount(kPraiseRoute), 1u);
    EXPECT_EQ(first->praise, praise + 1);
    EXPECT_EQ(harness().notifications().count(circle::kPraiseWeiboSuccess), 1u);

    // Reloaded: the server's count has the praise, the row keeps its mark.
    std::size_t pages = routeCount(kFeedRoute);
    triggerPullToRefresh(*feed->tableView());
    ASSERT_TRUE(waitForRoute(kFeedRoute, pages + 1));
    ASSERT_TRUE(until([&] { return post(*feed, 0) && post(*feed, 0) != first; }));
    EXPECT_EQ(post(*feed, 0)->weiboId, weiboId);
    EXPECT_EQ(post(*feed, 0)->praise, praise + 1);
    EXPECT_EQ(praiseButton()->currentTitle(), "已赞 " + std::to_string(praise + 1));
    EXPECT_TRUE(praiseButton()->isSelected());
    // Another post is still to be praised.
    auto other = testsupport::findOutlet<UIButton>(visibleCell<WeiboCell>(*feed->tableView(), 1), "btnPraise");
    EXPECT_FALSE(other->isSelected());
    EXPECT_EQ(other->currentTitle(), "赞 " + std::to_string(post(*feed, 1)->praise));
}

// A failed praise shows the server's message and changes nothing; the post
// can be praised again.
TEST_F(FeedTest, AFailedPraiseChangesNothingAndCanBeTriedAgain)
{
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    auto first = post(*feed, 0);
    ASSERT_TRUE(first);
    int praise = first->praise;
    auto praiseButton = [&] {
        return testsupport::findOutlet<UIButton>(visibleCell<WeiboCell>(*feed->tableView(), 0), "btnPraise");
    };
    harness().server()->script().forRoute(kPraiseRoute, server::ScriptedReply::errorEnvelope("点赞失败"));
    ASSERT_TRUE(harness().tap(praiseButton()));
    ASSERT_TRUE(waitForRoute(kPraiseRoute, 1));
    ASSERT_TRUE(until([&] { return harness().overlayText() == "点赞失败"; }));
    EXPECT_EQ(first->praise, praise);
    EXPECT_EQ(praiseButton()->currentTitle(), "赞 " + std::to_string(praise));
    EXPECT_FALSE(praiseButton()->isSelected());
    EXPECT_EQ(harness().notifications().count(circle::kPraiseWeiboSuccess), 0u);

    // The message gone, a second try goes out and counts.
    harness().advance(2);
    ASSERT_TRUE(harness().runUntilOverlayGone());
    ASSERT_TRUE(harness().tap(praiseButton()));
    ASSERT_TRUE(waitForRoute(kPraiseRoute, 2));
    ASSERT_TRUE(until([&] { return praiseButton()->currentTitle() == "已赞 " + std::to_string(praise + 1); }));
    EXPECT_EQ(first->praise, praise + 1);
}

TEST_F(FeedTest, ATeachersComposeButtonTogglesTheMenuAParentsOpensTheWriter)
{
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    auto write = std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet("btnWrite"));
    ASSERT_TRUE(write);
    ASSERT_TRUE(harness().tap(write));
    testsupport::settle(harness());
    auto menu = testsupport::findOutlet<UIView>(feed->view(), "dropDownView");
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->alpha(), 1.0);
    // At the top right, whole on the screen: its right edge on the screen's.
    EXPECT_EQ(menu->frame(), platform::Rect(feed->view()->bounds().width() - 100, 0, 100, 102));
    EXPECT_LE(menu->convertRectToView(menu->bounds(), nullptr).maxX(), 320);
    harness().render("circle-feed-compose-menu.png");
    // The title's list closes the menu.
    feed->showOrHideListView();
    EXPECT_EQ(menu->alpha(), 0.0);
    feed->hideListView();
    ASSERT_TRUE(harness().tap(write));
    testsupport::settle(harness());
    ASSERT_TRUE(harness().tapButton("发个人动态"));
    testsupport::settle(harness());
    EXPECT_EQ(harness().topScreen()->className(), "WriteWeiboViewController");
    EXPECT_EQ(harness().navigationStack().size(), 2u);
    EXPECT_EQ(menu->alpha(), 0.0);
}

} // namespace

// On either screen the feed ends on the tab bar: scrolled to the end, the
// last post's praise and comment buttons are above it and take their touches.
TEST(FeedFoot, TheFeedEndsOnTheTabBarAndTheLastPostsButtonsAreWithinReach)
{
    testsupport::onBothScreens([](testsupport::AppHarness& harness, bool tall) {
        ASSERT_TRUE(testsupport::signInThroughScreens(harness, testsupport::kDemoTeacher, testsupport::kDemoTeacherPassword));
        testsupport::letAddressBookEnd(harness);
        auto main = testsupport::mainScreen();
        main->switchToView(ORBViewController::kCircleTab);
        testsupport::settle(harness);
        auto navigation = main->viewControllers().at(ORBViewController::kCircleTab);
        auto feed = std::dynamic_pointer_cast<HomeSchoolCircleViewController>(navigation->viewControllers().front());
        ASSERT_TRUE(feed);
        auto table = feed->tableView();
        ASSERT_TRUE(harness.runUntil([&] { return table->numberOfRowsInSection(0) > 1; }));
        ASSERT_TRUE(harness.runUntilOverlayGone());
        auto tabBar = testsupport::shownTabBarTop();
        ASSERT_TRUE(tabBar);
        EXPECT_DOUBLE_EQ(*tabBar, testsupport::screenHeight() - 49);
        EXPECT_DOUBLE_EQ(testsupport::screenFrameOf(*table).maxY(), *tabBar);
        EXPECT_FALSE(harness.render(tall ? "circle-feed-foot-4inch.png" : "circle-feed-foot-3.5inch.png").empty());

        auto last = NSIndexPath::indexPathForRow(table->numberOfRowsInSection(0) - 1, 0);
        table->scrollRectToVisible(table->rectForRowAtIndexPath(last), false);
        table->layoutIfNeeded();
        auto cell = table->cellForRowAtIndexPath(last);
        ASSERT_TRUE(cell);
        for (const char* outlet : { "btnPraise", "btnComment" }) {
            SCOPED_TRACE(outlet);
            auto button = testsupport::findViewByOutlet(cell, outlet);
            ASSERT_TRUE(button);
            EXPECT_LE(testsupport::screenFrameOf(*button).maxY(), *tabBar + 0.01);
            EXPECT_TRUE(testsupport::insideScreen(*button));
            EXPECT_TRUE(testsupport::touchLandsOn(button));
        }
        EXPECT_FALSE(harness.render(tall ? "circle-feed-end-4inch.png" : "circle-feed-end-3.5inch.png").empty());
    });
}
