#include "ui/tables/RefreshTableView.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"
#include "ui/UIClasses.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// A paged list screen: counts the pulls it hears and answers rows.
class PagedScreen : public RefreshTableViewDelegate, public UITableViewDataSource {
public:
    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView* table) override
    {
        ++refreshes;
        table->setCurPage(1);
        return true;
    }
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView* table) override
    {
        ++loadMores;
        table->setCurPage(table->curPage() + 1);
        return true;
    }
    long numberOfRowsInSection(UITableView*, long) override { return rows; }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override
    {
        return std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "row");
    }
    int refreshes = 0;
    int loadMores = 0;
    long rows = 20;
};

// Only the texts: no load of its own.
class TextsOnlyScreen : public RefreshTableViewDelegate {
public:
    std::optional<std::string> refreshTableViewLocalizedString(RefreshTableView*, const std::string& key) override
    {
        if (key == "Pull down to refresh")
            return "往下拉就能刷新";
        return std::nullopt;
    }
};

class RefreshTableViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        harness = std::make_unique<testsupport::AppHarness>(options);
        ASSERT_TRUE(harness->start(std::make_shared<sample::SampleAppDelegate>()));
        // 20 rows of 44 points: 880 points of content in a 400-point table.
        table = RefreshTableView::make(platform::Rect(0, 0, 320, 400));
        screen = std::make_shared<PagedScreen>();
        table->setDataSource(screen);
        table->setRefreshDelegate(screen);
        harness->window()->addSubview(table);
        table->reloadData();
    }
    void TearDown() override
    {
        table.reset();
        harness.reset();
    }

    // A first page arrived: curPage 1 of `pages`.
    void firstPageLoaded(int pages)
    {
        table->setCurPage(1);
        table->setPageCount(pages);
        table->doneLoadingTableViewData();
    }

    std::string status() const { return table->headerView()->statusLabel()->text(); }
    std::string footerStatus() const { return table->footerView()->statusLabel()->text(); }

    std::unique_ptr<testsupport::AppHarness> harness;
    std::shared_ptr<RefreshTableView> table;
    std::shared_ptr<PagedScreen> screen;
};

TEST_F(RefreshTableViewTest, ANewTableWaitsForItsFirstPageWithTheFooterHidden)
{
    EXPECT_EQ(table->curPage(), 0);
    EXPECT_EQ(table->pageSize(), 12);
    EXPECT_EQ(table->pageCount(), 0);
    EXPECT_EQ(table->total(), 0);
    EXPECT_FALSE(table->hasLoad());
    EXPECT_TRUE(table->footerView()->isHidden());
    EXPECT_EQ(table->headerView()->state(), RefreshTableHeaderView::Normal);
    EXPECT_EQ(status(), "下拉刷新");
    // "上次更新:yyyy-MM-dd HH:mm:ss", also kept in the settings.
    auto updated = table->headerView()->lastUpdatedLabel()->text();
    const std::size_t prefix = std::string("上次更新:").size();
    ASSERT_EQ(updated.size(), prefix + 19) << updated;
    EXPECT_EQ(updated.rfind("上次更新:", 0), 0U);
    EXPECT_EQ(updated[prefix + 4], '-');
    EXPECT_EQ(updated[prefix + 13], ':');
    EXPECT_EQ(harness->userDefaults()->stringForKey(RefreshTableHeaderView::kLastRefreshDefaultsKey), updated);
    // The header sits a whole table's height above the first row.
    EXPECT_EQ(table->headerView()->frame(), platform::Rect(0, -400, 320, 400));
}

TEST_F(RefreshTableViewTest, APullDownRefreshesFrom65PointsOn)
{
    struct Row {
        double pull;
        bool refreshes;
    };
    for (Row row : { Row { 65, true }, Row { 64.9, false }, Row { 90, true }, Row { 30, false } }) {
        SCOPED_TRACE(row.pull);
        auto before = screen->refreshes;
        table->beginDrag();
        table->moveDrag(0, row.pull);
        EXPECT_EQ(status(), row.pull > 65 ? "松开即可刷新" : "下拉刷新");
        table->endDrag(false);
        EXPECT_EQ(screen->refreshes - before, row.refreshes ? 1 : 0);
        if (row.refreshes) {
            EXPECT_TRUE(table->hasLoad());
            EXPECT_TRUE(table->isReloading());
            EXPECT_EQ(table->curPage(), 1);
            EXPECT_EQ(status(), "正在加载...");
            EXPECT_TRUE(table->headerView()->activityView()->isAnimating());
            EXPECT_EQ(table->contentInset().top, 60);
            // The band stays open while the list settles back.
            harness->advance(1);
            EXPECT_EQ(table->contentOffset().y, -60);
            table->setPageCount(2);
            table->doneLoadingTableViewData();
            EXPECT_EQ(status(), "下拉刷新");
            EXPECT_EQ(table->contentInset().top, 0);
            EXPECT_FALSE(table->isReloading());
        }
        harness->advance(1);
        table->setContentOffset(platform::Point(0, 0));
    }
}

// When the load has ended the band closes and the list is back at rest:
// offset 0, the header above the visible rows, whether the list had settled
// inside the band or was still there. A list the finger holds stays under
// the finger and settles when let go. A load-more that brought no rows puts
// the list back at its end.
TEST_F(RefreshTableViewTest, AFinishedLoadPutsTheListBackAtRest)
{
    table->drag(0, 90);
    ASSERT_TRUE(table->isReloading());
    harness->advance(1);
    ASSERT_EQ(table->contentOffset().y, -60);
    table->doneLoadingTableViewData();
    harness->advance(1);
    EXPECT_EQ(status(), "下拉刷新");
    EXPECT_EQ(table->contentInset().top, 0);
    EXPECT_EQ(table->contentOffset().y, 0);
    EXPECT_LE(table->headerView()->frame().maxY(), table->bounds().minY());
    harness->advance(10);
    EXPECT_EQ(table->contentOffset().y, 0);

    // Ended at once, before the list settled back from the pull.
    table->drag(0, 90);
    ASSERT_TRUE(table->isReloading());
    table->doneLoadingTableViewData();
    EXPECT_EQ(table->contentOffset().y, 0);
    harness->advance(1);
    EXPECT_EQ(table->contentOffset().y, 0);
    EXPECT_EQ(table->contentInset().top, 0);

    // The finger holds the list when the load ends.
    table->drag(0, 90);
    harness->advance(1);
    table->beginDrag();
    table->moveDrag(0, 2);
    table->doneLoadingTableViewData();
    EXPECT_EQ(table->contentOffset().y, -62) << "under the finger";
    table->endDrag(false);
    harness->advance(1);
    EXPECT_EQ(table->contentOffset().y, 0);

    // A load-more with nothing more to show.
    firstPageLoaded(3);
    table->setContentOffset(platform::Point(0, 0));
    table->drag(0, -543);
    ASSERT_EQ(screen->loadMores, 1);
    harness->advance(1);
    ASSERT_EQ(table->contentOffset().y, 542);
    table->doneLoadingTableViewData();
    harness->advance(1);
    EXPECT_EQ(table->contentInset().bottom, 0);
    EXPECT_EQ(table->contentOffset().y, 480) << "the last rows at the bottom edge";
}

TEST_F(RefreshTableViewTest, DraggingBackAboveTheLineBeforeReleasingDoesNotRefresh)
{
    table->beginDrag();
    table->moveDrag(0, 80);
    EXPECT_EQ(table->headerView()->state(), RefreshTableHeaderView::Pulling);
    table->moveDrag(0, -40);
    EXPECT_EQ(table->headerView()->state(), RefreshTableHeaderView::Normal);
    EXPECT_EQ(status(), "下拉刷新");
    table->endDrag(false);
    EXPECT_EQ(screen->refreshes, 0);
    EXPECT_FALSE(table->hasLoad());
}

TEST_F(RefreshTableViewTest, LoadTopDataWithoutALoadingScreenEndsByItselfAfterAFifthOfASecond)
{
    auto texts = std::make_shared<TextsOnlyScreen>();
    table->setRefreshDelegate(texts);
    table->loadTopData();
    EXPECT_EQ(status(), "正在加载...");
    EXPECT_TRUE(table->hasLoad());
    harness->advance(0.19);
    EXPECT_EQ(status(), "正在加载...");
    harness->advance(0.01);
    // The screen's own text for the key.
    EXPECT_EQ(status(), "往下拉就能刷新");
    EXPECT_FALSE(table->isReloading());
}

TEST_F(RefreshTableViewTest, LoadTopDataAsksALoadingScreenOnce)
{
    table->loadTopData();
    EXPECT_EQ(screen->refreshes, 1);
    EXPECT_EQ(status(), "正在加载...");
    harness->advance(1);
    // The screen's reply is what ends it, not the clock.
    EXPECT_EQ(status(), "正在加载...");
    firstPageLoaded(3);
    EXPECT_EQ(status(), "下拉刷新");
}

TEST_F(RefreshTableViewTest, TheFooterOffersTheNextPageOnlyWhileThereIsOne)
{
    struct Row {
        int curPage;
        int pageCount;
        bool shown;
    };
    for (Row row :
        { Row { 1, 2, true }, Row { 2, 2, false }, Row { 1, 1, false }, Row { 3, 9, true }, Row { 1, 0, false } }) {
        SCOPED_TRACE(testing::Message() << row.curPage << "/" << row.pageCount);
        // Set by the screen after its own first request: no pull was outstanding.
        table->setCurPage(row.curPage);
        table->setPageCount(row.pageCount);
        table->doneLoadingTableViewData();
        EXPECT_EQ(!table->footerView()->isHidden(), row.shown);
        if (row.shown) {
            EXPECT_EQ(footerStatus(), "上拉加载更多");
        }
    }
}

TEST_F(RefreshTableViewTest, TheListsOwnWordsAreChinese)
{
    firstPageLoaded(2);
    // Held past the refresh line: the header asks to be let go, with the time of the last update under it.
    table->beginDrag();
    table->moveDrag(0, 90);
    EXPECT_EQ(status(), "松开即可刷新");
    EXPECT_EQ(table->headerView()->lastUpdatedLabel()->text().rfind("上次更新:", 0), 0U);
    EXPECT_FALSE(harness->render("refresh-table-release.png").empty());
    table->endDrag(false);
    EXPECT_EQ(status(), "正在加载...");
    table->doneLoadingTableViewData();
    harness->advance(1);
    EXPECT_EQ(status(), "下拉刷新");

    // At the end of the first page the footer offers the next.
    table->setContentOffset(platform::Point(0, 480));
    EXPECT_FALSE(table->footerView()->isHidden());
    EXPECT_EQ(footerStatus(), "上拉加载更多");
    EXPECT_FALSE(harness->render("refresh-table-load-more.png").empty());
}

TEST_F(RefreshTableViewTest, APullPast62PointsBeyondTheEndLoadsTheNextPage)
{
    firstPageLoaded(3);
    ASSERT_EQ(table->contentSize().height, 880);
    struct Row {
        double offset; // where the drag ends: the visible bottom is offset + 400
        bool loads;
    };
    for (Row row : { Row { 542, false }, Row { 543, true } }) {
        SCOPED_TRACE(row.offset);
        table->setContentOffset(platform::Point(0, 0));
        table->beginDrag();
        table->moveDrag(0, -row.offset);
        EXPECT_EQ(footerStatus(), row.loads ? "松开加载更多" : "上拉加载更多");
        table->endDrag(false);
        EXPECT_EQ(screen->loadMores, row.loads ? 1 : 0);
    }
    EXPECT_EQ(table->curPage(), 2);
    EXPECT_EQ(table->footerView()->state(), RefreshTableFooterView::Loading);
    EXPECT_EQ(footerStatus(), "正在加载...");
    EXPECT_EQ(table->contentInset().bottom, 62);

    // While the next page loads, pulling down refreshes nothing.
    table->setContentOffset(platform::Point(0, 0));
    table->drag(0, 90);
    EXPECT_EQ(screen->refreshes, 0);

    // The next page arrives: the new rows come into view.
    screen->rows = 40;
    table->setContentOffset(platform::Point(0, 480));
    table->doneLoadingTableViewData();
    EXPECT_EQ(footerStatus(), "上拉加载更多");
    EXPECT_EQ(table->contentInset().bottom, 0);
    EXPECT_FALSE(table->footerView()->isHidden());
    EXPECT_EQ(table->contentOffset().y, 542);
}

TEST_F(RefreshTableViewTest, ARefreshInProgressBlocksLoadMore)
{
    firstPageLoaded(3);
    table->loadTopData();
    ASSERT_EQ(screen->refreshes, 1);
    table->setContentOffset(platform::Point(0, 0));
    table->drag(0, -600);
    EXPECT_EQ(screen->loadMores, 0);
    EXPECT_NE(table->footerView()->state(), RefreshTableFooterView::Loading);
}

TEST_F(RefreshTableViewTest, AFooterPullWithNoFurtherPageEndsByItself)
{
    firstPageLoaded(2);
    // The screen counted the page as requested before its reply came.
    table->setCurPage(2);
    table->drag(0, -600);
    EXPECT_EQ(screen->loadMores, 0);
    EXPECT_EQ(footerStatus(), "正在加载...");
    harness->advance(RefreshTableView::kSelfEndDelay);
    EXPECT_FALSE(table->isReloading());
    EXPECT_TRUE(table->footerView()->isHidden());
    EXPECT_EQ(table->footerView()->state(), RefreshTableFooterView::Normal);
    // The pulls work again.
    table->setContentOffset(platform::Point(0, 0));
    table->drag(0, 70);
    EXPECT_EQ(screen->refreshes, 1);
}

TEST_F(RefreshTableViewTest, ATableFromALayoutFileHasItsHeaderAndFooter)
{
    ui::registerUIClasses();
    auto objects = platform::LayoutLoader::loadFromText(
        R"([{ "class": "RefreshTableView", "frame": [0, 0, 320, 500] }])", nullptr);
    ASSERT_EQ(objects.size(), 1U);
    auto loaded = std::dynamic_pointer_cast<RefreshTableView>(objects.front());
    ASSERT_TRUE(loaded);
    ASSERT_TRUE(loaded->headerView());
    ASSERT_TRUE(loaded->footerView());
    EXPECT_EQ(loaded->headerView()->frame(), platform::Rect(0, -500, 320, 500));
    EXPECT_EQ(loaded->footerView()->frame().width(), 320);
    EXPECT_EQ(loaded->tableFooterView(), loaded->footerView());
    EXPECT_EQ(loaded->pageSize(), 12);
}

TEST_F(RefreshTableViewTest, AScreenThatHasGoneIsNotCalledAndThePullEndsByItself)
{
    screen.reset();
    table->drag(0, 70);
    EXPECT_EQ(status(), "正在加载...");
    harness->advance(RefreshTableView::kSelfEndDelay);
    EXPECT_EQ(status(), "下拉刷新");

    // A table that goes away while its pull is still to end: nothing runs later.
    table->drag(0, 70);
    std::weak_ptr<RefreshTableView> weak = table;
    table->removeFromSuperview();
    table.reset();
    EXPECT_TRUE(weak.expired());
    harness->advance(1);
}

} // namespace
