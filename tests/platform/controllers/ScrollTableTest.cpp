#include "tests/platform/controllers/ControllerTestSupport.h"

#include "platform/os/Log.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableView.h"

namespace {

class ScrollJournal : public UIScrollViewDelegate {
public:
    void scrollViewWillBeginDragging(UIScrollView*) override { calls.push_back("willBeginDragging"); }
    void scrollViewDidScroll(UIScrollView* s) override
    {
        calls.push_back("didScroll");
        offsets.push_back(s->contentOffset().y);
    }
    void scrollViewDidEndDragging(UIScrollView*, bool decelerate) override
    {
        calls.push_back(decelerate ? "didEndDragging(decelerate)" : "didEndDragging");
    }
    void scrollViewWillBeginDecelerating(UIScrollView*) override { calls.push_back("willBeginDecelerating"); }
    void scrollViewDidEndDecelerating(UIScrollView*) override { calls.push_back("didEndDecelerating"); }
    std::shared_ptr<UIView> viewForZoomingInScrollView(UIScrollView*) override { return zoomView; }
    std::vector<std::string> calls;
    std::vector<double> offsets;
    std::shared_ptr<UIView> zoomView;
};

using ScrollViewTest = UIKitFixture;

TEST_F(ScrollViewTest, DragsCallTheDelegateInOrderWithAndWithoutDeceleration)
{
    auto scroll = std::make_shared<UIScrollView>(platform::Rect(0, 0, 320, 400));
    scroll->setContentSize(platform::Size(320, 1000));
    auto journal = std::make_shared<ScrollJournal>();
    scroll->setDelegate(journal);
    int observed = 0;
    scroll->addContentOffsetObserver([&](UIScrollView*) { ++observed; });

    scroll->drag(0, -100, 2, false);
    EXPECT_EQ(journal->calls,
        (std::vector<std::string> { "willBeginDragging", "didScroll", "didScroll", "didEndDragging" }));
    EXPECT_EQ(journal->offsets, (std::vector<double> { 50, 100 }));
    EXPECT_EQ(observed, 2);
    EXPECT_FALSE(scroll->isDragging());

    journal->calls.clear();
    scroll->drag(0, -50, 1, true);
    EXPECT_EQ(journal->calls, (std::vector<std::string> { "willBeginDragging", "didScroll",
                                  "didEndDragging(decelerate)", "willBeginDecelerating" }));
    EXPECT_TRUE(scroll->isDecelerating());
    advance(UIScrollView::kDecelerationDuration);
    EXPECT_EQ(journal->calls.back(), "didEndDecelerating");
    EXPECT_FALSE(scroll->isDecelerating());
}

TEST_F(ScrollViewTest, PullingPastTheTopBouncesBackUnlessBouncingIsOff)
{
    auto scroll = std::make_shared<UIScrollView>(platform::Rect(0, 0, 320, 400));
    scroll->setContentSize(platform::Size(320, 1000));
    auto journal = std::make_shared<ScrollJournal>();
    scroll->setDelegate(journal);
    scroll->drag(0, 70); // pull down past the top, as pull-to-refresh does
    EXPECT_EQ(scroll->contentOffset().y, -70);
    // Out of range: the release always settles, even when not flung.
    EXPECT_EQ(journal->calls.back(), "willBeginDecelerating");
    advance(1);
    EXPECT_EQ(scroll->contentOffset().y, 0);

    scroll->setBounces(false);
    scroll->drag(0, 70);
    EXPECT_EQ(scroll->contentOffset().y, 0);
    scroll->drag(0, -5000);
    EXPECT_EQ(scroll->contentOffset().y, 600);
}

TEST_F(ScrollViewTest, PagingSettlesOnAPageBoundary)
{
    auto scroll = std::make_shared<UIScrollView>(platform::Rect(0, 0, 320, 480));
    scroll->setContentSize(platform::Size(320 * 4, 480));
    scroll->setPagingEnabled(true);
    scroll->drag(-200, 0); // more than half a page to the left
    advance(1);
    EXPECT_EQ(scroll->contentOffset().x, 320);
    scroll->drag(-100, 0); // less than half: back to the same page
    advance(1);
    EXPECT_EQ(scroll->contentOffset().x, 320);
    scroll->drag(-5000, 0);
    advance(1);
    EXPECT_EQ(scroll->contentOffset().x, 960) << "never past the last page";
}

TEST_F(ScrollViewTest, ZoomStaysWithinItsLimitsAndZoomToRectFillsTheBounds)
{
    auto scroll = std::make_shared<UIScrollView>(platform::Rect(0, 0, 320, 480));
    auto journal = std::make_shared<ScrollJournal>();
    journal->zoomView = std::make_shared<UIView>(platform::Rect(0, 0, 320, 480));
    scroll->addSubview(journal->zoomView);
    scroll->setDelegate(journal);
    scroll->setMinimumZoomScale(1);
    scroll->setMaximumZoomScale(3);
    scroll->setZoomScale(5);
    EXPECT_EQ(scroll->zoomScale(), 3);
    EXPECT_EQ(scroll->contentSize(), platform::Size(960, 1440));
    scroll->setZoomScale(0.2);
    EXPECT_EQ(scroll->zoomScale(), 1);

    scroll->zoomToRect(platform::Rect(100, 100, 160, 240), false);
    EXPECT_EQ(scroll->zoomScale(), 2);
    EXPECT_EQ(scroll->contentOffset(), platform::Point(200, 200));

    // Without a view to zoom nothing zooms.
    journal->zoomView.reset();
    scroll->setZoomScale(3);
    EXPECT_EQ(scroll->zoomScale(), 2);
}

TEST_F(ScrollViewTest, AnimatedInsetIsRecordedAndOffsetAnimationEndsOnTheClock)
{
    auto scroll = std::make_shared<UIScrollView>(platform::Rect(0, 0, 320, 400));
    scroll->setContentSize(platform::Size(320, 1000));
    UIView::animateWithDuration(0.3, [&] { scroll->setContentInset(platform::EdgeInsets(60, 0, 0, 0)); });
    ASSERT_NE(platform::AnimationLog::last(), nullptr);
    EXPECT_TRUE(platform::AnimationLog::last()->changed("contentInset"));
    EXPECT_EQ(scroll->contentInset().top, 60);
    EXPECT_EQ(scroll->minimumContentOffset().y, -60);

    struct EndJournal : UIScrollViewDelegate {
        int ended = 0;
        void scrollViewDidEndScrollingAnimation(UIScrollView*) override { ++ended; }
    };
    auto d = std::make_shared<EndJournal>();
    scroll->setDelegate(d);
    scroll->setContentOffset(platform::Point(0, 300), true);
    EXPECT_EQ(scroll->contentOffset().y, 300);
    EXPECT_EQ(d->ended, 0);
    advance(UIScrollView::kAnimationDuration);
    EXPECT_EQ(d->ended, 1);
}

TEST_F(ScrollViewTest, ObserversHearTheReleaseAtOnceAndStopWhenRemoved)
{
    auto scroll = std::make_shared<UIScrollView>(platform::Rect(0, 0, 320, 400));
    scroll->setContentSize(platform::Size(320, 1000));
    std::vector<std::string> heard;
    auto offsetId = scroll->addContentOffsetObserver([&](UIScrollView* s) {
        heard.push_back("offset " + std::to_string(static_cast<int>(s->contentOffset().y)));
    });
    std::vector<bool> draggingAtRelease;
    auto releaseId = scroll->addDragEndObserver([&](UIScrollView* s) {
        heard.push_back("release");
        draggingAtRelease.push_back(s->isDragging());
    });
    // One observer removing another while both are being told: the removed one is not called.
    UIScrollView::ObserverId second = 0;
    scroll->addContentSizeObserver([&](UIScrollView* s) { s->removeObserver(second); });
    int secondCalls = 0;
    second = scroll->addContentSizeObserver([&](UIScrollView*) { ++secondCalls; });

    scroll->drag(0, 80);
    // The release comes before the settling motion, which waits for the clock.
    EXPECT_EQ(heard, (std::vector<std::string> { "offset -80", "release" }));
    EXPECT_EQ(draggingAtRelease, (std::vector<bool> { false }));
    advance(1);
    EXPECT_EQ(heard.back(), "offset 0");

    scroll->setContentSize(platform::Size(320, 1200));
    EXPECT_EQ(secondCalls, 0);

    heard.clear();
    scroll->removeObserver(offsetId);
    scroll->removeObserver(releaseId);
    scroll->drag(0, -50);
    EXPECT_TRUE(heard.empty());
}

// ---- Tables ------------------------------------------------------------------

class Contacts : public UITableViewDataSource, public UITableViewDelegate {
public:
    std::vector<std::vector<std::string>> sections { { "Ann", "Bob" }, { "Cai", "Dan", "Eve" }, {} };
    std::vector<std::string> selected;
    int cellsMade = 0;
    std::optional<double> headerHeight;

    long numberOfSectionsInTableView(UITableView*) override { return static_cast<long>(sections.size()); }
    long numberOfRowsInSection(UITableView*, long s) override { return static_cast<long>(sections[s].size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& p) override
    {
        auto cell = table->dequeueReusableCellWithIdentifier("Contact");
        if (!cell) {
            cell = std::make_shared<UITableViewCell>(UITableViewCellStyleSubtitle, "Contact");
            ++cellsMade;
        }
        cell->textLabel()->setText(sections[p.section][p.row]);
        return cell;
    }
    std::optional<std::string> titleForHeaderInSection(UITableView*, long s) override
    {
        return s == 2 ? std::nullopt : std::optional<std::string>(std::string(1, static_cast<char>('A' + 2 * s)));
    }
    std::vector<std::string> indexTitles { "A", "C", "#" };
    std::vector<std::string> sectionIndexTitlesForTableView(UITableView*) override { return indexTitles; }
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath& p) override
    {
        return p.section == 1 ? std::optional<double>(60) : std::nullopt;
    }
    std::optional<double> heightForHeaderInSection(UITableView*, long) override { return headerHeight; }
    std::optional<NSIndexPath> willSelectRowAtIndexPath(UITableView*, const NSIndexPath& p) override
    {
        if (sections[p.section][p.row] == "Bob")
            return std::nullopt; // Bob cannot be chosen
        return p;
    }
    void didSelectRowAtIndexPath(UITableView*, const NSIndexPath& p) override
    {
        selected.push_back("select " + sections[p.section][p.row]);
    }
    void didDeselectRowAtIndexPath(UITableView*, const NSIndexPath& p) override
    {
        selected.push_back("deselect " + sections[p.section][p.row]);
    }
    bool supportsEditingCommits() const override { return true; }
    bool canEditRowAtIndexPath(UITableView*, const NSIndexPath& p) override { return p.section == 1; }
    void commitEditingStyle(UITableView* table, UITableViewCellEditingStyle style, const NSIndexPath& p) override
    {
        if (style != UITableViewCellEditingStyleDelete)
            return;
        sections[p.section].erase(sections[p.section].begin() + p.row);
        table->deleteRowsAtIndexPaths({ p }, UITableViewRowAnimationFade);
    }
};

class TableTest : public UIKitFixture {
protected:
    void SetUp() override
    {
        UIKitFixture::SetUp();
        table = std::make_shared<UITableView>(platform::Rect(0, 0, 320, 200));
        table->setDataSource(contacts);
        table->setDelegate(contacts);
        window->addSubview(table);
    }
    std::shared_ptr<Contacts> contacts = std::make_shared<Contacts>();
    std::shared_ptr<UITableView> table;
};

TEST_F(TableTest, SectionsRowsAndHeightsComeFromTheDataSourceAndDelegate)
{
    table->reloadData();
    EXPECT_EQ(table->numberOfSections(), 3);
    EXPECT_EQ(table->numberOfRowsInSection(1), 3);
    // Header A (22), Ann, Bob (44 each), header C, Cai, Dan, Eve (60 each); no header for the untitled section.
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 1 }), platform::Rect(0, 66, 320, 44));
    EXPECT_EQ(table->rectForRowAtIndexPath({ 1, 0 }), platform::Rect(0, 132, 320, 60));
    EXPECT_EQ(table->contentSize().height, 22 + 88 + 22 + 180);
    EXPECT_EQ(table->rectForHeaderInSection(2).size.height, 0);
    EXPECT_EQ(table->rectForRowAtIndexPath({ 2, 0 }), platform::Rect());
    auto header = std::dynamic_pointer_cast<UILabel>(table->headerViewForSection(1));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->text(), "C");
    EXPECT_EQ(table->indexPathForRowAtPoint(platform::Point(10, 140)), (NSIndexPath { 1, 0 }));
    EXPECT_EQ(table->indexPathForRowAtPoint(platform::Point(10, 115)), std::nullopt) << "on a header";

    contacts->headerHeight = 30;
    table->reloadData();
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 0 }).origin.y, 30);
    EXPECT_EQ(table->rectForHeaderInSection(2).size.height, 30) << "an explicit height counts without a title";
}

TEST_F(TableTest, OnlyVisibleRowsHaveCellsAndScrolledOutCellsAreReused)
{
    table->reloadData();
    // 200 points show header A, Ann, Bob, header C, Cai and the top of Dan.
    EXPECT_EQ(table->indexPathsForVisibleRows(),
        (std::vector<NSIndexPath> { { 0, 0 }, { 0, 1 }, { 1, 0 }, { 1, 1 } }));
    EXPECT_EQ(table->cellForRowAtIndexPath({ 1, 2 }), nullptr);
    auto ann = table->cellForRowAtIndexPath({ 0, 0 });
    auto bob = table->cellForRowAtIndexPath({ 0, 1 });
    ASSERT_TRUE(ann && bob);
    EXPECT_EQ(ann->textLabel()->text(), "Ann");
    EXPECT_EQ(contacts->cellsMade, 4);

    table->setContentOffset(platform::Point(0, 132));
    auto eve = table->cellForRowAtIndexPath({ 1, 2 });
    ASSERT_TRUE(eve);
    EXPECT_EQ(eve->textLabel()->text(), "Eve");
    EXPECT_EQ(ann->superview(), nullptr);
    EXPECT_TRUE(eve == ann || eve == bob) << "the row coming in gets a cell that left";
    EXPECT_EQ(contacts->cellsMade, 4);
    EXPECT_EQ(table->visibleCells().size(), 3u);
}

TEST_F(TableTest, SelectionAsksWillSelectDeselectsThePreviousRowAndCanBeRefused)
{
    table->reloadData();
    table->userSelectRowAtIndexPath({ 0, 0 });
    table->userSelectRowAtIndexPath({ 0, 1 }); // Bob: refused
    EXPECT_EQ(table->indexPathForSelectedRow(), (NSIndexPath { 0, 0 }));
    table->userSelectRowAtIndexPath({ 1, 0 });
    EXPECT_EQ(contacts->selected, (std::vector<std::string> { "select Ann", "deselect Ann", "select Cai" }));
    EXPECT_TRUE(table->cellForRowAtIndexPath({ 1, 0 })->isSelected());
    EXPECT_FALSE(table->cellForRowAtIndexPath({ 0, 0 })->isSelected());
    table->deselectRowAtIndexPath({ 1, 0 }, true);
    EXPECT_EQ(table->indexPathForSelectedRow(), std::nullopt);

    // A touch at a row's place selects that row (the point in content coordinates).
    auto path = table->indexPathForRowAtPoint(platform::Point(160, 30));
    ASSERT_TRUE(path);
    table->userSelectRowAtIndexPath(*path);
    EXPECT_EQ(contacts->selected.back(), "select Ann");
}

TEST_F(TableTest, IndexTitlesScrollToTheirSection)
{
    table->reloadData();
    EXPECT_EQ(table->sectionIndexTitles(), (std::vector<std::string> { "A", "C", "#" }));
    table->tapSectionIndexTitle(1);
    EXPECT_EQ(table->contentOffset().y, 110);
    table->tapSectionIndexTitle(7);
    EXPECT_EQ(table->contentOffset().y, 110);
    table->tapSectionIndexTitle(2); // the last section: as far as the content goes
    EXPECT_EQ(table->contentOffset().y, 112);
    table->tapSectionIndexTitle(0);
    EXPECT_EQ(table->contentOffset().y, 0);
}

// The darkest pixel inside a rectangle of the table's visible part (0 black, 1 white).
double darkestIn(UITableView& table, const platform::Rect& rect)
{
    auto image = table.renderToImage(1);
    if (!image)
        return -1;
    double darkest = 1;
    for (int y = int(rect.minY()); y < int(rect.maxY()); ++y) {
        for (int x = int(rect.minX()); x < int(rect.maxX()); ++x) {
            auto pixel = image->colorAt(x, y);
            darkest = std::min(darkest, (pixel.red + pixel.green + pixel.blue) / 3);
        }
    }
    return darkest;
}

TEST_F(TableTest, TheIndexIsDrawnAtTheRightEdgeOverTheRowsAndStaysThereWhileScrolling)
{
    table->reloadData();
    auto index = table->sectionIndexView();
    ASSERT_TRUE(index);
    EXPECT_EQ(index->titles(), (std::vector<std::string> { "A", "C", "#" }));
    EXPECT_EQ(index->frame(), platform::Rect(320 - UITableViewIndex::kWidth, 0, UITableViewIndex::kWidth, 200));
    EXPECT_EQ(table->subviews().back(), index) << "above rows and headers";
    // Three titles centred in the height, one under another.
    EXPECT_EQ(index->rectForTitle(0).minY(), 100 - 1.5 * UITableViewIndex::kTitleHeight);
    EXPECT_EQ(index->rectForTitle(1).minY(), index->rectForTitle(0).maxY());
    EXPECT_EQ(index->titleIndexAtPoint(platform::Point(8, 100)), 1);
    EXPECT_EQ(index->titleIndexAtPoint(platform::Point(8, 10)), -1);

    // The letters are in the picture, over the right edge of the rows.
    auto letter = index->rectForTitle(1).offsetBy(index->frame().minX(), 0);
    EXPECT_LT(darkestIn(*table, letter), 0.6);

    // Scrolled, the strip follows the visible part and the rows pass under it.
    table->setContentOffset(platform::Point(0, 100));
    EXPECT_EQ(index->frame(), platform::Rect(320 - UITableViewIndex::kWidth, 100, UITableViewIndex::kWidth, 200));
    EXPECT_EQ(table->subviews().back(), index);
    EXPECT_LT(darkestIn(*table, letter), 0.6);

    // Titles change with the data; none, and the strip goes.
    contacts->indexTitles = { "A", "B", "C", "D" };
    table->reloadData();
    EXPECT_EQ(table->sectionIndexView(), index);
    EXPECT_EQ(index->titles().size(), 4u);
    contacts->indexTitles.clear();
    table->reloadData();
    EXPECT_EQ(table->sectionIndexView(), nullptr);
    EXPECT_EQ(index->superview(), nullptr);
    EXPECT_GT(darkestIn(*table, letter.offsetBy(0, -100).intersection(platform::Rect(0, 0, 320, 200))), 0.9)
        << "nothing drawn where the strip was";
}

TEST_F(TableTest, ATouchOnAnIndexTitleScrollsItsSectionToTheTopAndASlideFollowsTheFinger)
{
    table->reloadData();
    auto index = table->sectionIndexView();
    ASSERT_TRUE(index);
    auto titleCentre = [&](long i) {
        auto rect = index->rectForTitle(i);
        return index->convertPointToView(rect.center(), nullptr);
    };
    // A tap on "C": its header at the top; on the rows nothing is selected.
    window->beginTouches({ titleCentre(1) });
    window->endTouches();
    EXPECT_EQ(table->contentOffset().y, 110);
    EXPECT_EQ(contacts->selected, std::vector<std::string> {});
    // A tap on "A" goes back up, even though the strip has moved with the content.
    window->beginTouches({ titleCentre(0) });
    window->endTouches();
    EXPECT_EQ(table->contentOffset().y, 0);
    // A slide from "A" down past the end of the strip ends on the last title.
    window->beginTouches({ titleCentre(0) });
    window->moveTouches({ titleCentre(1) });
    EXPECT_EQ(table->contentOffset().y, 110);
    window->moveTouches({ platform::Point(titleCentre(1).x, 400) });
    window->endTouches();
    EXPECT_EQ(table->contentOffset().y, 112) << "the last section, as far as the content goes";
    // On the strip above the first title a touch does nothing.
    table->setContentOffset(platform::Point(0, 50));
    window->beginTouches({ index->convertPointToView(platform::Point(8, 4), nullptr) });
    window->endTouches();
    EXPECT_EQ(table->contentOffset().y, 50);
}

TEST_F(TableTest, DeleteByEditingRemovesTheRowWhereEditingIsAllowed)
{
    table->reloadData();
    EXPECT_FALSE(table->commitDeleteForRowAtIndexPath({ 0, 0 })) << "section 0 is not editable";
    EXPECT_TRUE(table->commitDeleteForRowAtIndexPath({ 1, 1 }));
    EXPECT_EQ(table->numberOfRowsInSection(1), 2);
    ASSERT_EQ(table->rowChanges().size(), 1u);
    EXPECT_EQ(table->rowChanges()[0].indexPath, (NSIndexPath { 1, 1 }));
    EXPECT_EQ(table->rowChanges()[0].animation, UITableViewRowAnimationFade);

    // A data source that does not match the update is reloaded, not trusted.
    platform::LogCapture capture;
    table->deleteRowsAtIndexPaths({ { 1, 0 } }, UITableViewRowAnimationAutomatic);
    EXPECT_TRUE(capture.contains("expected; reloaded"));
    EXPECT_EQ(table->numberOfRowsInSection(1), 2);
}

TEST_F(TableTest, FooterViewSitsBelowTheLastSection)
{
    auto footer = std::make_shared<UIView>(platform::Rect(0, 0, 10, 50));
    table->setTableFooterView(footer);
    auto header = std::make_shared<UIView>(platform::Rect(0, 0, 10, 40));
    table->setTableHeaderView(header);
    table->reloadData();
    EXPECT_EQ(footer->frame(), platform::Rect(0, 40 + 312, 320, 50));
    EXPECT_EQ(table->contentSize().height, 40 + 312 + 50);
    EXPECT_EQ(table->rectForRowAtIndexPath({ 0, 0 }).origin.y, 40 + 22);
    table->setTableFooterView(nullptr);
    EXPECT_EQ(footer->superview(), nullptr);
    EXPECT_EQ(table->contentSize().height, 40 + 312);
}

TEST_F(TableTest, CellStylesPlaceTheirLabels)
{
    UITableViewCell plain(UITableViewCellStyleDefault, "p");
    EXPECT_EQ(plain.detailTextLabel(), nullptr);
    auto value1 = std::make_shared<UITableViewCell>(UITableViewCellStyleValue1, "v");
    value1->textLabel()->setText("Name");
    value1->detailTextLabel()->setText("Ann");
    value1->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    value1->layoutIfNeeded();
    EXPECT_LT(value1->textLabel()->frame().maxX(), value1->detailTextLabel()->frame().origin.x + 1);
    EXPECT_LT(value1->contentView()->frame().size.width, 320);
    EXPECT_EQ(value1->detailTextLabel()->textAlignment(), NSTextAlignmentRight);
}

} // namespace
