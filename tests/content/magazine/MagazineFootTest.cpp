// Where the e-magazine's screens end on either screen size: the shelf, the
// reader's cover and directory at the foot of the screen, the page-turn
// corner in the screen's corner within reach of a finger, and a chapter's
// page on its toolbar, which ends at the foot.
#include "app/main/ORBViewController.h"
#include "content/magazine/MagazineContentView.h"
#include "content/magazine/MagazineItemView.h"
#include "content/magazine/MagazineListViewController.h"
#include "content/magazine/MagazineViewController.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWebView.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/ScreenFoot.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/images/RemoteImageView.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>


using namespace testsupport;
using content::MagazineItemView;
using content::MagazineListViewController;
using content::MagazineViewController;

namespace {

std::shared_ptr<MagazineItemView> firstIssueTile(const MagazineListViewController& shelf)
{
    for (const auto& subview : shelf.scrollView()->subviews()) {
        auto tile = std::dynamic_pointer_cast<MagazineItemView>(subview);
        if (tile && tile->magazineInfo() && tile->magazineInfo()->postId == 1)
            return tile;
    }
    return nullptr;
}

// The next turns of the main loop each start with a pause, as on a machine
// busy elsewhere: the engine's processes go on meanwhile.
void pauseEachTurn(int turns)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    if (turns > 1)
        platform::postToMain([turns] { pauseEachTurn(turns - 1); });
}

} // namespace

TEST(MagazineFoot, ShelfCoverDirectoryAndChapterEndAtTheFootAndTheCornerIsWithinReach)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        letAddressBookEnd(harness);
        auto shelf = std::dynamic_pointer_cast<MagazineListViewController>(
            platform::ClassRegistry::shared().create("MagazineListViewController"));
        ASSERT_TRUE(shelf);
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        harness.visibleNavigationController()->pushViewController(shelf, true);
        settle(harness);
        ASSERT_TRUE(harness.runUntil([&] { return firstIssueTile(*shelf) != nullptr; }));
        ASSERT_TRUE(harness.runUntilOverlayGone());
        EXPECT_FALSE(shownTabBarTop());
        EXPECT_DOUBLE_EQ(screenFrameOf(*shelf->scrollView()).maxY(), screenHeight());
        keepPicture(harness, "magazine-shelf", tall);

        auto tile = firstIssueTile(*shelf);
        shelf->scrollView()->scrollRectToVisible(tile->frame(), false);
        ASSERT_TRUE(harness.tap(tile));
        settle(harness);
        auto reader = std::dynamic_pointer_cast<MagazineViewController>(harness.topScreen());
        ASSERT_TRUE(reader);
        ASSERT_TRUE(harness.runUntil([&] { return reader->headView() != nullptr; }));
        ASSERT_TRUE(harness.runUntilOverlayGone());
        if (reader->useGuideImageView()) {
            ASSERT_TRUE(harness.tap(reader->useGuideImageView()));
        }
        auto cover = findOutlet<RemoteImageView>(reader->view(), "coverImageView");
        ASSERT_TRUE(cover);
        EXPECT_DOUBLE_EQ(screenFrameOf(*cover).maxY(), screenHeight());
        // The whole cover shows, from its masthead to its foot line.
        ASSERT_TRUE(harness.runUntil([&] { return cover->image() != nullptr; }));
        auto drawn = rectForContentMode(cover->contentMode(), cover->image()->size(), cover->bounds());
        EXPECT_GE(drawn.minY(), -0.01) << "the masthead is cut";
        EXPECT_LE(drawn.maxY(), cover->bounds().maxY() + 0.01) << "the foot line is cut";
        EXPECT_GE(drawn.minX(), -0.01);
        EXPECT_LE(drawn.maxX(), cover->bounds().maxX() + 0.01);
        // On the 4-inch phone, whose screen the cover is drawn for, it fills
        // the screen: no band above or below it.
        if (tall) {
            EXPECT_NEAR(drawn.minY(), 0, 0.5) << "a band above the cover";
            EXPECT_NEAR(drawn.maxY(), cover->bounds().maxY(), 0.5) << "a band below the cover";
            EXPECT_NEAR(drawn.width(), 320, 0.5);
        }
        auto corner = reader->curlPageImageView();
        EXPECT_DOUBLE_EQ(screenFrameOf(*corner).maxY(), screenHeight());
        EXPECT_DOUBLE_EQ(screenFrameOf(*corner).maxX(), 320);
        EXPECT_TRUE(insideScreen(*corner));
        EXPECT_TRUE(touchLandsOn(corner));
        harness.advance(1);
        keepPicture(harness, "magazine-cover", tall);

        ASSERT_TRUE(harness.tap(cover));
        ASSERT_EQ(reader->magazineCurrentPage(), MagazineViewController::kDirectoryPage);
        auto directory = findOutlet<UIScrollView>(reader->view(), "directoryScrollView");
        ASSERT_TRUE(directory);
        EXPECT_DOUBLE_EQ(screenFrameOf(*directory).maxY(), screenHeight());
        EXPECT_TRUE(touchLandsOn(corner));
        harness.advance(1);
        keepPicture(harness, "magazine-directory", tall);

        ASSERT_TRUE(harness.tap(corner));
        ASSERT_EQ(reader->magazineCurrentPage(), MagazineViewController::kContentPage);
        auto page = reader->magazineContentView();
        ASSERT_TRUE(page);
        ASSERT_TRUE(harness.runUntil([&] {
            auto front = page->isWebView1() ? page->webView() : page->webView2();
            return front->request() && !front->isLoading()
                && !page->viewWithTag(content::MagazineContentView::kLoadingViewTag);
        }));
        auto toolbar = page->toolbarView();
        EXPECT_DOUBLE_EQ(screenFrameOf(*toolbar).maxY(), screenHeight());
        for (const auto& web : { page->webView(), page->webView2() })
            EXPECT_DOUBLE_EQ(screenFrameOf(*web).maxY(), screenFrameOf(*toolbar).minY());
        auto list = findViewByOutlet(toolbar, "listItem");
        ASSERT_TRUE(list);
        EXPECT_TRUE(touchLandsOn(list));
        // The corner turns the pages here too, at the toolbar's free end.
        EXPECT_DOUBLE_EQ(screenFrameOf(*corner).maxY(), screenHeight());
        EXPECT_TRUE(touchLandsOn(corner));
        page->webView()->updateDrawing();
        page->webView2()->updateDrawing();
        keepPicture(harness, "magazine-chapter", tall);

        // Back to the directory and on to the next chapter, whose page comes
        // in before the screen hears that its load started (the main loop
        // busy for a moment meanwhile, as on a slower machine): once both
        // pages have loaded it, they show the chapter, not the body the
        // previous one was cleared to.
        harness.advance(1);
        ASSERT_TRUE(harness.tap(findViewByOutlet(toolbar, "backItem")));
        ASSERT_EQ(reader->magazineCurrentPage(), MagazineViewController::kDirectoryPage);
        harness.advance(1);
        auto next = reader->allChapterIndexs().at(1);
        std::shared_ptr<UIView> title;
        for (const auto& subview : directory->subviews()) {
            if (std::dynamic_pointer_cast<UIButton>(subview) && std::to_string(subview->tag()) == next)
                title = subview;
        }
        ASSERT_TRUE(title);
        ASSERT_TRUE(harness.tap(title));
        ASSERT_EQ(reader->magazineCurrentPage(), MagazineViewController::kContentPage);
        platform::postToMain([] { pauseEachTurn(15); });
        auto front = [&] { return page->isWebView1() ? page->webView() : page->webView2(); };
        ASSERT_TRUE(harness.runUntil([&] {
            for (const auto& web : { page->webView(), page->webView2() }) {
                if (!web->request() || !web->request()->URL.path().ends_with("/" + next) || web->isLoading())
                    return false;
            }
            return !page->viewWithTag(content::MagazineContentView::kLoadingViewTag);
        }));
        for (const auto& web : { page->webView(), page->webView2() })
            EXPECT_NE(web->documentText(), "") << "the chapter's page was emptied";
        EXPECT_NE(front()->documentTitle(), "");
        keepPicture(harness, "magazine-second-chapter", tall);
    });
}
