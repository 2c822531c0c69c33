#include "ui/grid/GridView.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class Entries : public GridViewDelegate {
public:
    explicit Entries(unsigned long count)
        : count(count)
    {
    }
    unsigned long gridViewNumberOfItems(GridView*) override { return count; }
    GridViewItem gridViewItemForIndex(GridView*, unsigned long index) override
    {
        return { "入口" + std::to_string(index), "public_to_right", index % 2 ? "2BA5E3" : "F5A623" };
    }
    void gridViewDidSelectItemAtIndex(GridView*, unsigned long index) override { selected.push_back(index); }
    unsigned long count;
    std::vector<unsigned long> selected;
};

class GridViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        harness = std::make_unique<testsupport::AppHarness>(options);
        ASSERT_TRUE(harness->start(std::make_shared<sample::SampleAppDelegate>()));
    }
    void TearDown() override { harness.reset(); }

    std::shared_ptr<GridView> grid(unsigned long entries, platform::Rect frame = platform::Rect(0, 0, 320, 480))
    {
        delegate = std::make_shared<Entries>(entries);
        auto view = std::make_shared<GridView>(frame);
        view->setGridDelegate(delegate);
        harness->window()->addSubview(view);
        view->layoutIfNeeded();
        return view;
    }

    std::unique_ptr<testsupport::AppHarness> harness;
    std::shared_ptr<Entries> delegate;
};

TEST_F(GridViewTest, TilesStandInThreeColumnsEvenlyInset)
{
    for (unsigned long entries : { 10UL, 11UL }) {
        SCOPED_TRACE(entries);
        auto view = grid(entries);
        const auto& tiles = view->itemViews();
        ASSERT_EQ(tiles.size(), entries);
        // Gap 5: columns at 5, 110, 215 (5 left free on either side) and rows at 5, 110, 215, 320.
        for (unsigned long i = 0; i < entries; ++i)
            EXPECT_EQ(tiles[i]->frame(), platform::Rect(5 + 105.0 * (i % 3), 5 + 105.0 * (i / 3), 100, 100)) << i;
        EXPECT_EQ(tiles[0]->frame().minX(), view->bounds().width() - tiles[2]->frame().maxX());
        EXPECT_EQ(view->totalHeight(), 425);
        view->resetGridViewSize();
        EXPECT_EQ(view->contentSize(), platform::Size(320, 475));
        view->removeFromSuperview();
    }
}

TEST_F(GridViewTest, ShortRowsSpreadAndWideViewsTakeFourColumns)
{
    auto two = grid(2);
    // Gap round(120 / 3) = 40 before, between and after the two.
    EXPECT_EQ(two->itemViews()[0]->frame(), platform::Rect(40, 5, 100, 100));
    EXPECT_EQ(two->itemViews()[1]->frame(), platform::Rect(180, 5, 100, 100));

    auto none = grid(0);
    EXPECT_TRUE(none->itemViews().empty());
    EXPECT_EQ(none->totalHeight(), 5);

    // 568 wide: gap round(168 / 5) = 34; the fifth entry opens the second row.
    auto wide = grid(5, platform::Rect(0, 0, 568, 320));
    EXPECT_EQ(wide->itemViews()[3]->frame(), platform::Rect(34 + 3 * 134, 34, 100, 100));
    EXPECT_EQ(wide->itemViews()[4]->frame(), platform::Rect(34, 34 + 134, 100, 100));

    // A turn moves the same tiles: they are not built again.
    auto first = wide->itemViews()[0];
    wide->setFrame(platform::Rect(0, 0, 320, 568));
    wide->layoutIfNeeded();
    EXPECT_EQ(wide->itemViews()[0], first);
    EXPECT_EQ(wide->itemViews()[3]->frame(), platform::Rect(5, 110, 100, 100));
}

TEST_F(GridViewTest, ATileShowsItsEntryAndReportsItsIndex)
{
    auto view = grid(11);
    auto tile = view->itemViews()[7];
    ASSERT_TRUE(tile->label());
    EXPECT_EQ(tile->label()->text(), "入口7");
    ASSERT_TRUE(tile->imageView());
    EXPECT_TRUE(tile->imageView()->image());
    auto background = tile->backgroudImage();
    ASSERT_TRUE(background);
    EXPECT_EQ(background->backgroundColor(), platform::Color::fromRGB255(0x2B, 0xA5, 0xE3, 0.9));
    EXPECT_EQ(background->layer()->cornerRadius(), 8.0);

    view->resetGridViewSize();
    view->scrollRectToVisible(tile->frame(), false);
    ASSERT_TRUE(harness->tap(tile));
    EXPECT_EQ(delegate->selected, (std::vector<unsigned long> { 7 }));

    // A grid whose delegate has gone reports nothing.
    delegate.reset();
    harness->tap(view->itemViews()[0]);
}

} // namespace
