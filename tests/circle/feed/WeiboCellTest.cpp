// A feed row laid out: the height rule, the grid positions, the browser
// opened at the tapped picture, the comment button's width, and renders of
// rows with 0, 1, 3 and 6 pictures.
#include "app/main/ORBViewController.h"
#include "circle/detail/WeiboDetailsContentCell.h"
#include "circle/detail/WeiboDetailsViewController.h"
#include "circle/feed/HomeSchoolCircleViewController.h"
#include "core/session/MyAccountInfo.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"
#include "circle/feed/WeiboCell.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationController.h"
#include "tests/circle/CircleTestSupport.h"
#include "ui/images/RemoteImageView.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <gtest/gtest.h>

using namespace circletest;
using circle::WeiboCell;
using circle::WeiboContentCell;

namespace {

std::shared_ptr<core::WeiboData> postWith(std::size_t images, std::string content = "春游")
{
    auto data = std::make_shared<core::WeiboData>();
    data->weiboId = 7;
    data->content = std::move(content);
    for (std::size_t i = 0; i < images; ++i) {
        auto image = std::make_shared<core::WeiboImage>();
        image->original = "http://127.0.0.1:1/o" + std::to_string(i) + ".png";
        image->thumb = "http://127.0.0.1:1/t" + std::to_string(i) + ".png";
        data->images.push_back(image);
    }
    return data;
}

class WeiboCellTest : public CircleScreenTest {
protected:
    // Waits until the rows' pictures have arrived, then lets them fade in.
    void waitForPictures(UITableView& table, std::initializer_list<long> rows)
    {
        std::vector<std::shared_ptr<UIImageView>> views;
        for (long row : rows) {
            auto cell = visibleCell<WeiboCell>(table, row);
            ASSERT_TRUE(cell);
            views.push_back(testsupport::findOutlet<UIImageView>(cell, "imvBigContentImage"));
            for (const auto& slot : cell->imvSmallContentImages())
                views.push_back(slot);
        }
        EXPECT_TRUE(until([&] {
            for (const auto& view : views) {
                if (imageURL(*view))
                    return false;
            }
            return true;
        }));
        testsupport::settle(harness(), 1);
    }
};

TEST_F(WeiboCellTest, RowHeightIsTheTextPlusThePartForItsPictures)
{
    auto text = [](const core::WeiboData& d, int lines) {
        return WeiboContentCell::textView(d, lines)->frame().height();
    };
    const std::pair<std::size_t, double> rule[] = { { 0, 91 }, { 1, 236 }, { 2, 170 }, { 3, 170 }, { 4, 236 }, { 6, 236 },
        { 8, 236 } };
    for (auto [images, extra] : rule) {
        auto data = postWith(images);
        EXPECT_EQ(WeiboCell::heifhtForWeiboData(*data), text(*data, 6) + extra) << images << " pictures";
    }
    // Six lines at most in the feed; the text is long enough for more.
    std::string longText(600, 'a');
    auto data = postWith(0, longText);
    EXPECT_LT(WeiboCell::heifhtForWeiboData(*data), text(*data, WeiboContentCell::kAllLines) + 91);
    EXPECT_GT(text(*data, 6), 0);
}

TEST_F(WeiboCellTest, PicturesFillTheGridAndATapOpensTheBrowserAtThatPicture)
{
    signIn();
    auto cell = BaseCell::cell<WeiboCell>();
    ASSERT_TRUE(cell);
    ASSERT_EQ(cell->imvSmallContentImages().size(), 6u);

    cell->configWithWeiboData(postWith(3));
    EXPECT_TRUE(testsupport::findOutlet<UIImageView>(cell, "imvBigContentImage")->isHidden());
    EXPECT_FALSE(testsupport::findOutlet<UIView>(cell, "smallContentImageContainer")->isHidden());
    for (int slot = 0; slot < 6; ++slot)
        EXPECT_EQ(cell->imvSmallContentImages()[std::size_t(slot)]->isHidden(), slot < 3) << "slot " << slot;

    cell->configWithWeiboData(postWith(2));
    for (int slot = 0; slot < 6; ++slot)
        EXPECT_EQ(cell->imvSmallContentImages()[std::size_t(slot)]->isHidden(), slot != 3 && slot != 4) << slot;

    cell->configWithWeiboData(postWith(8));
    for (int slot = 0; slot < 6; ++slot)
        EXPECT_FALSE(cell->imvSmallContentImages()[std::size_t(slot)]->isHidden()) << slot;
    EXPECT_EQ(cell->numberOfPhotosInPhotoBrowser(nullptr), 8u);

    cell->configWithWeiboData(postWith(1));
    EXPECT_FALSE(testsupport::findOutlet<UIImageView>(cell, "imvBigContentImage")->isHidden());
    EXPECT_TRUE(testsupport::findOutlet<UIView>(cell, "smallContentImageContainer")->isHidden());

    // Three pictures sit in positions 3 to 5: the first of them is picture 0.
    cell->configWithWeiboData(postWith(3));
    auto slot = cell->imvSmallContentImages()[3];
    ASSERT_EQ(slot->gestureRecognizers().size(), 1u);
    cell->onTapImage(slot->gestureRecognizers().front().get());
    testsupport::settle(harness());
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(harness().presentedScreen());
    ASSERT_TRUE(navigation);
    auto browser = std::dynamic_pointer_cast<PhotoBrowser>(navigation->viewControllers().front());
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->currentPageIndex(), 0u);
    EXPECT_EQ(browser->numberOfPhotos(), 3u);

    // An empty address shows the grey placeholder.
    auto data = postWith(2);
    data->images[1]->original.clear();
    cell->configWithWeiboData(data);
    EXPECT_TRUE(cell->photoBrowserPhotoAtIndex(nullptr, 1));
}

TEST_F(WeiboCellTest, TheCommentButtonWidensToTheLeftOfItsRightEdge)
{
    signIn();
    auto cell = BaseCell::cell<WeiboCell>();
    ASSERT_TRUE(cell);
    auto data = postWith(0);
    data->commentNum = 3;
    cell->configWithWeiboData(data);
    EXPECT_EQ(testsupport::findOutlet<UIButton>(cell, "btnComment")->frame().width(), 54);
    EXPECT_EQ(testsupport::findOutlet<UIButton>(cell, "btnComment")->frame().maxX(), 308);
    data->commentNum = 123456789;
    cell->configWithWeiboData(data);
    EXPECT_GT(testsupport::findOutlet<UIButton>(cell, "btnComment")->frame().width(), 54);
    EXPECT_EQ(testsupport::findOutlet<UIButton>(cell, "btnComment")->frame().maxX(), 308);
}

TEST_F(WeiboCellTest, RendersTheFeedWithNoneOneThreeAndSixPictures)
{
    addPost({ 2001, 101, "班级图书角新到了一批绘本和科普，欢迎同学们课间来借阅。", 6, 3 });
    addPost({ 2002, 102, "今天的数学课上同学们分组完成了测量活动。", 3, 2 });
    addPost({ 3001, 101, "周末和孩子一起去了科技馆。", 1, 1 });
    addPost({ 2004, 0, "下周一升旗仪式请同学们穿好校服。", 0, 0 });
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    auto table = feed->tableView();
    EXPECT_EQ(visibleCell<WeiboCell>(*table, 0)->data()->images.size(), 0u);
    EXPECT_EQ(visibleCell<WeiboCell>(*table, 1)->data()->images.size(), 1u);
    waitForPictures(*table, { 0, 1 });
    EXPECT_FALSE(harness().render("circle-feed-0-1-photos.png").empty());
    EXPECT_EQ(visibleCell<WeiboCell>(*table, 3)->data()->images.size(), 6u);
    EXPECT_EQ(visibleCell<WeiboCell>(*table, 2)->data()->images.size(), 3u);
    waitForPictures(*table, { 2, 3 });
    EXPECT_FALSE(harness().render("circle-feed-3-6-photos.png").empty());
}

// A praised row and a praised post's detail, drawn on both screen sizes:
// the praised button's longer title stays left of the comment button.
TEST(WeiboCellPraiseRender, PraisedRowAndDetailOnBothScreens)
{
    for (auto kind : { UIScreen::Kind::FourInch, UIScreen::Kind::ThreePointFiveInch }) {
        const std::string size = kind == UIScreen::Kind::FourInch ? "4in" : "3.5in";
        SCOPED_TRACE(size);
        testsupport::AppHarnessOptions options;
        options.screen = kind;
        testsupport::AppHarness harness(options);
        ASSERT_TRUE(testsupport::startClient(harness));
        ASSERT_TRUE(testsupport::signInThroughScreens(harness, testsupport::kDemoTeacher, testsupport::kDemoTeacherPassword));
        auto main = testsupport::mainScreen();
        ASSERT_TRUE(main);
        main->switchToView(ORBViewController::kCircleTab);
        testsupport::settle(harness);
        auto feed = std::dynamic_pointer_cast<circle::HomeSchoolCircleViewController>(
            main->viewControllers().at(ORBViewController::kCircleTab)->viewControllers().front());
        ASSERT_TRUE(feed);
        auto table = feed->tableView();
        ASSERT_TRUE(harness.runUntil([&] { return table->numberOfRowsInSection(0) == 6; }));
        ASSERT_TRUE(harness.runUntilOverlayGone());
        auto row = [&](long r) {
            auto path = NSIndexPath::indexPathForRow(r, 0);
            table->scrollRectToVisible(table->rectForRowAtIndexPath(path), false);
            table->layoutIfNeeded();
            return std::dynamic_pointer_cast<WeiboCell>(table->cellForRowAtIndexPath(path));
        };
        auto praised = [&](long r) {
            auto cell = row(r);
            return cell && testsupport::findOutlet<UIButton>(cell, "btnPraise")->isSelected();
        };
        ASSERT_TRUE(harness.tap(testsupport::findOutlet<UIButton>(row(0), "btnPraise")));
        ASSERT_TRUE(harness.runUntil([&] { return praised(0); }));
        table->setContentOffset(platform::Point(0, 0), false);
        testsupport::settle(harness, 1);
        for (long r = 0; r < 2; ++r) {
            auto cell = row(r);
            auto praise = testsupport::findOutlet<UIButton>(cell, "btnPraise");
            auto comment = testsupport::findOutlet<UIButton>(cell, "btnComment");
            EXPECT_LE(praise->frame().maxX(), comment->frame().minX()) << "row " << r;
            EXPECT_GE(praise->frame().minX(), WeiboContentCell::kTextX) << "row " << r;
        }
        table->setContentOffset(platform::Point(0, 0), false);
        testsupport::settle(harness, 1);
        EXPECT_FALSE(harness.render("circle-feed-praised-" + size + ".png").empty());

        // Selected as a touch on the row's text would (its middle may be a picture).
        table->userSelectRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0));
        testsupport::settle(harness);
        auto detail = std::dynamic_pointer_cast<circle::WeiboDetailsViewController>(harness.topScreen());
        ASSERT_TRUE(detail);
        ASSERT_TRUE(harness.runUntil([&] {
            return !harness.server()->requests().withRoute("webapp/jxq/comment").empty();
        }));
        ASSERT_TRUE(harness.runUntilOverlayGone());
        testsupport::settle(harness, 1);
        auto top = std::dynamic_pointer_cast<circle::WeiboDetailsContentCell>(
            detail->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)));
        ASSERT_TRUE(top);
        EXPECT_TRUE(testsupport::findOutlet<UIButton>(top, "btnPraise")->isSelected());
        EXPECT_FALSE(harness.render("circle-detail-praised-" + size + ".png").empty());
        harness.stop();
        core::MyAccountInfo::setInstance(nullptr);
    }
}

} // namespace
