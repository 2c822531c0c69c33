#include "platform/os/DateFormat.h"
#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"
#include "ui/tables/InfiniteScrollingView.h"
#include "ui/tables/PullToRefreshView.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class ScrollingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        harness = std::make_unique<testsupport::AppHarness>(options);
        ASSERT_TRUE(harness->start(std::make_shared<sample::SampleAppDelegate>()));
        scroll = std::make_shared<UIScrollView>(platform::Rect(0, 0, 320, 400));
        scroll->setContentSize(platform::Size(320, 1000));
        harness->window()->addSubview(scroll);
    }
    void TearDown() override
    {
        scroll.reset();
        harness.reset();
    }

    // The last recorded animation that changed the scroll view's inset.
    const platform::AnimationRecord* lastInsetAnimation() const
    {
        const auto& records = platform::AnimationLog::records();
        for (auto it = records.rbegin(); it != records.rend(); ++it)
            if (it->changedObject(scroll.get(), "contentInset"))
                return &*it;
        return nullptr;
    }

    std::unique_ptr<testsupport::AppHarness> harness;
    std::shared_ptr<UIScrollView> scroll;
    int runs = 0;
};

using PullToRefreshTest = ScrollingTest;

TEST_F(PullToRefreshTest, TheHeaderTriggersBeyondItsHeightPlusTheTopInset)
{
    struct Row {
        double topInset;
        double pull; // beyond the resting offset
        bool refreshes;
    };
    for (Row row : { Row { 0, 50, false }, Row { 0, 60, false }, Row { 0, 61, true }, Row { 64, 60, false },
             Row { 64, 61, true } }) {
        SCOPED_TRACE(testing::Message() << "inset " << row.topInset << " pull " << row.pull);
        auto list = std::make_shared<UIScrollView>(platform::Rect(0, 0, 320, 400));
        list->setContentSize(platform::Size(320, 1000));
        list->setContentInset(platform::EdgeInsets(row.topInset, 0, 0, 0));
        list->setContentOffset(platform::Point(0, -row.topInset));
        harness->window()->addSubview(list);
        int refreshes = 0;
        addPullToRefreshWithActionHandler(*list, [&] { ++refreshes; });
        auto header = pullToRefreshView(*list);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->frame(), platform::Rect(0, -60, 320, 60));

        list->beginDrag();
        list->moveDrag(0, row.pull);
        EXPECT_EQ(header->state(), row.refreshes ? PullToRefreshView::Triggered : PullToRefreshView::Stopped);
        header->layoutIfNeeded();
        EXPECT_EQ(header->titleLabel()->text(), row.refreshes ? "松开即可刷新..." : "下拉刷新...");
        list->endDrag(false);
        harness->advance(1);
        EXPECT_EQ(refreshes, row.refreshes ? 1 : 0);
        if (row.refreshes) {
            header->layoutIfNeeded();
            EXPECT_EQ(header->state(), PullToRefreshView::Loading);
            EXPECT_EQ(header->titleLabel()->text(), "正在加载...");
            EXPECT_TRUE(header->activityIndicatorView()->isAnimating());
            // Open by the header's height beyond the original inset, and the list rests there.
            EXPECT_EQ(list->contentInset().top, row.topInset + 60);
            EXPECT_EQ(list->contentOffset().y, -(row.topInset + 60));
        } else {
            EXPECT_EQ(list->contentInset().top, row.topInset);
        }
        list->removeFromSuperview();
    }
}

TEST_F(PullToRefreshTest, AtTheBottomTheHeaderTriggersPastTheEndAndStaysInView)
{
    addPullToRefreshWithActionHandler(*scroll, [this] { ++runs; }, PullToRefreshView::Bottom);
    auto header = pullToRefreshView(*scroll);
    EXPECT_EQ(header->frame(), platform::Rect(0, 1000, 320, 60));
    // The line: 600 (the end of the content in view) + the header's 60.
    scroll->beginDrag();
    scroll->moveDrag(0, -660);
    EXPECT_EQ(header->state(), PullToRefreshView::Stopped);
    scroll->moveDrag(0, -10);
    EXPECT_EQ(header->state(), PullToRefreshView::Triggered);
    scroll->endDrag(false);
    EXPECT_EQ(runs, 1);
    harness->advance(1);
    EXPECT_EQ(scroll->contentInset().bottom, 60);
    EXPECT_EQ(scroll->contentOffset().y, 660);
    header->stopAnimating();
    EXPECT_EQ(scroll->contentInset().bottom, 0);
}

TEST_F(PullToRefreshTest, DraggingBackBeforeReleasingDoesNotRefresh)
{
    addPullToRefreshWithActionHandler(*scroll, [this] { ++runs; });
    auto header = pullToRefreshView(*scroll);
    scroll->beginDrag();
    scroll->moveDrag(0, 80);
    EXPECT_EQ(header->state(), PullToRefreshView::Triggered);
    scroll->moveDrag(0, -40);
    EXPECT_EQ(header->state(), PullToRefreshView::Stopped);
    scroll->endDrag(false);
    harness->advance(1);
    header->layoutIfNeeded();
    EXPECT_EQ(header->titleLabel()->text(), "下拉刷新...");
    EXPECT_EQ(runs, 0);
}

TEST_F(PullToRefreshTest, TheHeaderSpeaksChineseInEveryStateAndOnItsDateLine)
{
    addPullToRefreshWithActionHandler(*scroll, [this] { ++runs; });
    auto header = pullToRefreshView(*scroll);
    header->layoutIfNeeded();
    EXPECT_EQ(header->titleLabel()->text(), "下拉刷新...");
    scroll->beginDrag();
    scroll->moveDrag(0, 80);
    header->layoutIfNeeded();
    EXPECT_EQ(header->titleLabel()->text(), "松开即可刷新...");
    scroll->endDrag(false);
    header->layoutIfNeeded();
    EXPECT_EQ(header->titleLabel()->text(), "正在加载...");
    EXPECT_EQ(runs, 1);

    // The date line: without a date, and with one in the fixed short form.
    header->setLastUpdatedDate(std::nullopt);
    EXPECT_EQ(header->subtitleLabel()->text(), "上次更新: 无");
    auto when = platform::Date::now();
    header->setLastUpdatedDate(when);
    EXPECT_EQ(header->subtitleLabel()->text(), "上次更新: " + platform::DateFormatter("yy/M/d HH:mm").stringFromDate(when));
    EXPECT_FALSE(harness->render("pull-to-refresh-loading.png").empty());
}

TEST_F(PullToRefreshTest, StopAnimatingGivesTheInsetBackWithoutMovingTheList)
{
    addPullToRefreshWithActionHandler(*scroll, [this] { ++runs; });
    auto header = pullToRefreshView(*scroll);

    // Started from code at rest: the list scrolls to show the header; the action does not run.
    header->startAnimating();
    EXPECT_EQ(header->state(), PullToRefreshView::Loading);
    EXPECT_EQ(scroll->contentOffset().y, -60);
    EXPECT_FALSE(header->wasTriggeredByUser());
    EXPECT_EQ(runs, 0);

    header->stopAnimating();
    EXPECT_EQ(scroll->contentInset().top, 0);
    ASSERT_TRUE(lastInsetAnimation());
    EXPECT_DOUBLE_EQ(lastInsetAnimation()->duration, 0.3);
    EXPECT_EQ(scroll->contentOffset().y, -60);
    EXPECT_TRUE(header->wasTriggeredByUser());

    // Stopping again changes nothing.
    auto count = platform::AnimationLog::count();
    header->stopAnimating();
    EXPECT_EQ(platform::AnimationLog::count(), count);

    // The scroll view's trigger goes through triggered: the action runs once.
    triggerPullToRefresh(*scroll);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(header->state(), PullToRefreshView::Loading);
}

TEST_F(PullToRefreshTest, PerStateTextsAndASecondAddThatChangesNothing)
{
    addPullToRefreshWithActionHandler(*scroll, [this] { ++runs; });
    addPullToRefreshWithActionHandler(*scroll, [this] { runs += 100; });
    auto header = pullToRefreshView(*scroll);
    header->setTitle("刷新", PullToRefreshView::kAllStates);
    EXPECT_EQ(header->titles(), (std::vector<std::string> { "刷新", "刷新", "刷新" }));
    header->setTitle(std::nullopt, PullToRefreshView::Triggered);
    EXPECT_EQ(header->titles()[1], "");
    header->setSubtitle("上次更新", PullToRefreshView::Stopped);
    header->layoutIfNeeded();
    // Title above subtitle, the block centred in the 60-point header.
    auto title = header->titleLabel()->frame();
    auto subtitle = header->subtitleLabel()->frame();
    EXPECT_NEAR(subtitle.origin.y, title.maxY(), 1);
    EXPECT_NEAR(title.origin.y + (title.height() + subtitle.height()) / 2, 30, 1);

    triggerPullToRefresh(*scroll);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(scroll->subviews().size(), 1U);
}

TEST_F(PullToRefreshTest, AHiddenHeaderStopsFollowingTheList)
{
    scroll->setContentInset(platform::EdgeInsets(20, 0, 0, 0));
    addPullToRefreshWithActionHandler(*scroll, [this] { ++runs; });
    auto header = pullToRefreshView(*scroll);
    setShowsPullToRefresh(*scroll, false);
    EXPECT_FALSE(showsPullToRefresh(*scroll));
    EXPECT_FALSE(header->isObserving());
    scroll->drag(0, 200);
    harness->advance(1);
    EXPECT_EQ(header->state(), PullToRefreshView::Stopped);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(scroll->contentInset().top, 20);

    setShowsPullToRefresh(*scroll, true);
    EXPECT_TRUE(header->isObserving());
    scroll->drag(0, 200);
    harness->advance(1);
    EXPECT_EQ(runs, 1);

    // Taken off the list, it lets go of it; the list scrolls on without it.
    header->removeFromSuperview();
    EXPECT_FALSE(header->isObserving());
    EXPECT_FALSE(pullToRefreshView(*scroll));
    scroll->drag(0, 200);
    harness->advance(1);
    EXPECT_EQ(runs, 1);
}

using InfiniteScrollingTest = ScrollingTest;

TEST_F(InfiniteScrollingTest, AShortListLoadsOnceWhenDraggedUpPastItsTop)
{
    // Shorter than the list, so the threshold is negative; lists bounce even so.
    scroll->setContentSize(platform::Size(320, 300));
    scroll->setAlwaysBounceVertical(true);
    addInfiniteScrollingWithActionHandler(*scroll, [this] { ++runs; });
    auto footer = infiniteScrollingView(*scroll);
    ASSERT_TRUE(footer);
    EXPECT_EQ(footer->frame(), platform::Rect(0, 300, 320, 60));
    EXPECT_EQ(scroll->contentInset().bottom, 60);

    scroll->beginDrag();
    scroll->moveDrag(0, 30); // pulled down: never a load
    EXPECT_EQ(footer->state(), InfiniteScrollingView::Stopped);
    scroll->moveDrag(0, -40);
    EXPECT_EQ(footer->state(), InfiniteScrollingView::Triggered);
    scroll->endDrag(false);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(footer->state(), InfiniteScrollingView::Loading);
    EXPECT_TRUE(footer->activityIndicatorView()->isAnimating());

    // While loading, the list settling and further drags change nothing.
    harness->advance(1);
    scroll->drag(0, -100);
    harness->advance(1);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(footer->state(), InfiniteScrollingView::Loading);

    footer->stopAnimating();
    EXPECT_FALSE(footer->activityIndicatorView()->isAnimating());
    scroll->drag(0, -100);
    EXPECT_EQ(runs, 2);
}

TEST_F(InfiniteScrollingTest, DraggingBackOrADisabledFooterLoadsNothing)
{
    addInfiniteScrollingWithActionHandler(*scroll, [this] { ++runs; });
    auto footer = infiniteScrollingView(*scroll);
    scroll->beginDrag();
    scroll->moveDrag(0, -700); // past the end (1000 - 400)
    EXPECT_EQ(footer->state(), InfiniteScrollingView::Triggered);
    scroll->moveDrag(0, 200);
    EXPECT_EQ(footer->state(), InfiniteScrollingView::Stopped);
    scroll->endDrag(false);
    EXPECT_EQ(runs, 0);

    footer->setEnabled(false);
    scroll->setContentOffset(platform::Point(0, 0));
    scroll->drag(0, -700);
    EXPECT_EQ(footer->state(), InfiniteScrollingView::Stopped);
    EXPECT_EQ(runs, 0);
}

TEST_F(InfiniteScrollingTest, HidingGivesTheBottomInsetBackAndShowingWidensItAgain)
{
    scroll->setContentInset(platform::EdgeInsets(0, 0, 15, 0));
    addInfiniteScrollingWithActionHandler(*scroll, [this] { ++runs; });
    EXPECT_EQ(scroll->contentInset().bottom, 75);
    setShowsInfiniteScrolling(*scroll, false);
    EXPECT_FALSE(showsInfiniteScrolling(*scroll));
    EXPECT_EQ(scroll->contentInset().bottom, 15);
    ASSERT_TRUE(lastInsetAnimation());
    EXPECT_DOUBLE_EQ(lastInsetAnimation()->duration, 0.3);
    scroll->drag(0, -700);
    EXPECT_EQ(runs, 0);
    setShowsInfiniteScrolling(*scroll, true);
    EXPECT_EQ(scroll->contentInset().bottom, 75);
    // The footer follows the content's end.
    scroll->setContentSize(platform::Size(320, 1200));
    EXPECT_EQ(infiniteScrollingView(*scroll)->frame().origin.y, 1200);
}

} // namespace
