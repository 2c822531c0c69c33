#include "core/model/ClassInfo.h"
#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/grid/GridView.h"
#include "ui/grid/ORBPickerView.h"
#include "ui/tables/InfiniteScrollingView.h"
#include "ui/tables/PullToRefreshView.h"
#include "ui/tables/RefreshTableView.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Each list view in its states, drawn to PNG under "renders" in the test's
// build folder, for a person to look at. Drawing goes through the font
// libraries, so these run apart from the threaded tests.
namespace {

const platform::Color kListBackground = platform::Color::fromRGB255(226, 231, 237);

class Lessons : public UITableViewDataSource, public RefreshTableViewDelegate, public GridViewDelegate {
public:
    long numberOfRowsInSection(UITableView*, long) override { return rows; }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath& path) override
    {
        auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "lesson");
        cell->textLabel()->setText("第" + std::to_string(path.row + 1) + "课 春天的故事");
        cell->setBackgroundColor(platform::Color::whiteColor());
        return cell;
    }
    bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*) override { return true; }
    bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*) override { return true; }

    unsigned long gridViewNumberOfItems(GridView*) override { return 11; }
    GridViewItem gridViewItemForIndex(GridView*, unsigned long index) override
    {
        static const char* titles[]
            = { "班级通知", "作业", "成绩", "课表", "考勤", "相册", "点评", "问卷", "在线客服", "微课堂", "成长助手" };
        static const char* colors[] = { "F5A623", "2BA5E3", "7ED321", "BD10E0", "50C8C6", "F0605A", "4A90E2", "E96BA8",
            "8CC152", "FF8A3D", "5C6BC0" };
        // No icon by name: the function grid's own come with its screen (a glyph stands in below).
        return { titles[index], "", colors[index] };
    }
    void gridViewDidSelectItemAtIndex(GridView*, unsigned long) override { }
    long rows = 12;
};

class TablesGalleryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        harness = std::make_unique<testsupport::AppHarness>(options);
        ASSERT_TRUE(harness->start(std::make_shared<sample::SampleAppDelegate>()));
        platform::FileUtil::createDirectory("renders");
        lessons = std::make_shared<Lessons>();
    }
    void TearDown() override { harness.reset(); }

    // Writes the view and checks that the picture is there and not blank.
    void render(const std::shared_ptr<UIView>& view, const std::string& name)
    {
        view->layoutIfNeeded();
        std::string path = "renders/" + name;
        ASSERT_TRUE(view->renderToPNG(path, 2)) << path;
        auto image = platform::Image::fromFile(path);
        ASSERT_TRUE(image) << path;
        EXPECT_EQ(image->pixelWidth(), static_cast<int>(view->bounds().width() * 2));
    }

    std::shared_ptr<RefreshTableView> pagedTable()
    {
        auto table = RefreshTableView::make(platform::Rect(0, 0, 320, 300));
        table->setBackgroundColor(kListBackground);
        table->setDataSource(lessons);
        table->setRefreshDelegate(lessons);
        harness->window()->addSubview(table);
        table->setCurPage(1);
        table->setPageCount(2);
        table->doneLoadingTableViewData();
        return table;
    }

    // Colour of a point (in points) of a rendered picture.
    static std::array<std::uint8_t, 4> pixel(const std::string& name, double x, double y)
    {
        auto image = platform::Image::fromFile("renders/" + name);
        if (!image)
            return {};
        auto p = image->pixelAt(static_cast<int>(x * 2), static_cast<int>(y * 2));
        return { p[0], p[1], p[2], p[3] };
    }

    std::unique_ptr<testsupport::AppHarness> harness;
    std::shared_ptr<Lessons> lessons;
};

TEST_F(TablesGalleryTest, PagedTableHeaderAndFooterStates)
{
    auto table = pagedTable();
    table->beginDrag();
    table->moveDrag(0, 45);
    render(table, "tables-header-pull.png");
    table->moveDrag(0, 40);
    ASSERT_EQ(table->headerView()->state(), RefreshTableHeaderView::Pulling);
    render(table, "tables-header-release.png");
    table->endDrag(false);
    harness->advance(1);
    ASSERT_EQ(table->headerView()->state(), RefreshTableHeaderView::Loading);
    render(table, "tables-header-loading.png");
    table->doneLoadingTableViewData();
    harness->advance(1);
    table->setContentOffset(platform::Point(0, 0));

    // 12 rows of 44: the last rows end at 528, 228 below the table's bottom.
    table->beginDrag();
    table->moveDrag(0, -260);
    render(table, "tables-footer-pull.png");
    table->moveDrag(0, -40);
    ASSERT_EQ(table->footerView()->state(), RefreshTableFooterView::Pulling);
    render(table, "tables-footer-release.png");
    table->endDrag(false);
    harness->advance(1);
    ASSERT_EQ(table->footerView()->state(), RefreshTableFooterView::Loading);
    render(table, "tables-footer-loading.png");
}

TEST_F(TablesGalleryTest, PullToRefreshAndInfiniteScrolling)
{
    auto table = std::make_shared<UITableView>(platform::Rect(0, 0, 320, 300));
    table->setBackgroundColor(kListBackground);
    table->setDataSource(lessons);
    harness->window()->addSubview(table);
    table->reloadData();
    addPullToRefreshWithActionHandler(*table, [] {});
    auto header = pullToRefreshView(*table);
    header->setLastUpdatedDate(platform::Date::fromSeconds(1764900000));
    header->setArrowColor(platform::Color::fromRGB255(52, 118, 204));

    table->beginDrag();
    table->moveDrag(0, 50);
    render(table, "pull-to-refresh-pull.png");
    table->moveDrag(0, 30);
    render(table, "pull-to-refresh-release.png");
    table->endDrag(false);
    harness->advance(1);
    ASSERT_EQ(header->state(), PullToRefreshView::Loading);
    render(table, "pull-to-refresh-loading.png");
    header->stopAnimating();

    addInfiniteScrollingWithActionHandler(*table, [] {});
    table->setContentOffset(platform::Point(0, 0));
    table->drag(0, -300);
    harness->advance(1);
    ASSERT_EQ(infiniteScrollingView(*table)->state(), InfiniteScrollingView::Loading);
    render(table, "infinite-scrolling-loading.png");
}

TEST_F(TablesGalleryTest, ThePullArrowFadesInTowardsItsHead)
{
    auto arrow = std::make_shared<PullToRefreshArrow>(platform::Rect(0, 0, 22, 48));
    arrow->setArrowColor(platform::Color::fromRGB255(200, 30, 30));
    render(arrow, "pull-to-refresh-arrow.png");
    auto top = pixel("pull-to-refresh-arrow.png", 11, 1);
    auto middle = pixel("pull-to-refresh-arrow.png", 11, 20);
    auto head = pixel("pull-to-refresh-arrow.png", 11, 42);
    auto beside = pixel("pull-to-refresh-arrow.png", 2, 20);
    // Alpha climbs from nothing at the top to full from eight tenths down.
    EXPECT_LT(top[3], 20);
    EXPECT_GT(middle[3], top[3]);
    EXPECT_LT(middle[3], head[3]);
    EXPECT_GT(head[3], 245);
    EXPECT_GT(head[0], 150);
    EXPECT_LT(head[2], 60);
    // Between and beside the bars nothing is drawn.
    EXPECT_EQ(beside[3], 0);
    EXPECT_EQ(pixel("pull-to-refresh-arrow.png", 11, 5)[3], 0);
}

TEST_F(TablesGalleryTest, GridOfElevenEntries)
{
    auto grid = std::make_shared<GridView>(platform::Rect(0, 0, 320, 480));
    grid->setBackgroundColor(platform::Color::fromRGB255(244, 244, 244));
    grid->setGridDelegate(lessons);
    harness->window()->addSubview(grid);
    grid->layoutIfNeeded();
    grid->resetGridViewSize();
    // A white glyph in each tile's icon place, as the function grid's own icons sit there.
    auto glyph = platform::Context::createBitmap(platform::Size(46, 46), 2);
    ASSERT_TRUE(glyph);
    glyph->setStrokeColor(platform::Color::whiteColor());
    glyph->setLineWidth(3);
    glyph->beginPath();
    glyph->addRoundedRect(platform::Rect(9, 6, 28, 34), 5);
    glyph->moveTo(platform::Point(16, 17));
    glyph->lineTo(platform::Point(30, 17));
    glyph->moveTo(platform::Point(16, 25));
    glyph->lineTo(platform::Point(26, 25));
    glyph->strokePath();
    auto icon = UIImage::imageWithCGImage(glyph->makeImage(), 2);
    for (const auto& tile : grid->itemViews())
        tile->imageView()->setImage(icon);
    render(grid, "grid-eleven-entries.png");
    // Inside a tile, away from its text: the entry's colour at 0.9 over the light background.
    auto p = pixel("grid-eleven-entries.png", 14, 14);
    EXPECT_NEAR(p[0], 0.9 * 0xF5 + 0.1 * 244, 3);
    EXPECT_NEAR(p[1], 0.9 * 0xA6 + 0.1 * 244, 3);
    EXPECT_NEAR(p[2], 0.9 * 0x23 + 0.1 * 244, 3);
}

TEST_F(TablesGalleryTest, PickerFieldLoadingAndOpen)
{
    // The screen as the person sees it with the picker up: the field near the
    // top, the bar of Cancel and Done over the picker at the bottom.
    auto screen = std::make_shared<UIView>(platform::Rect(0, 0, 320, 568));
    screen->setBackgroundColor(platform::Color::fromRGB255(240, 240, 240));
    harness->window()->addSubview(screen);

    auto loading = ORBPickerView::make(platform::Rect(20, 40, 280, 40));
    loading->setPickerType(ORBPickerView::AlbumPicker);
    screen->addSubview(loading);

    auto field = ORBPickerView::make(platform::Rect(20, 100, 280, 40));
    screen->addSubview(field);
    std::vector<std::shared_ptr<platform::Object>> list;
    for (int i = 1; i <= 6; ++i) {
        auto info = std::make_shared<core::ClassInfo>();
        info->className = "三年级" + std::to_string(i) + "班";
        list.push_back(info);
    }
    field->setListDatas(list);
    field->setEnabled(true);
    render(screen, "picker-field-closed.png");

    harness->tap(field);
    harness->advance(ORBPickerView::kSelectDelay);
    testsupport::spinPicker(field->currentPickerView(), 2);
    auto bar = field->inputAccessoryView();
    auto picker = field->currentPickerView();
    bar->setFrame(platform::Rect(0, 568 - 216 - 44, 320, 44));
    picker->setFrame(platform::Rect(0, 568 - 216, 320, 216));
    picker->setBackgroundColor(platform::Color::whiteColor());
    screen->addSubview(picker);
    screen->addSubview(bar);
    render(screen, "picker-field-open.png");
    picker->removeFromSuperview();
    bar->removeFromSuperview();
}

} // namespace
