#include "ui/photobrowser/PhotoBrowser.h"

#include "platform/os/FileUtil.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UIToolbar.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "tests/ui/photobrowser/PhotoBrowserTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using photobrowsertest::picture;

namespace {

class PhotoBrowserTest : public photobrowsertest::PhotoBrowserFixture { };

} // namespace

TEST_F(PhotoBrowserTest, TitleArrowsAndToolbarFollowTheNumberOfPhotos)
{
    struct Row {
        int photos;
        std::optional<unsigned> initialIndex;
        unsigned expectedIndex;
        std::string title;
        bool toolbar;
    };
    const Row rows[] = {
        { 1, std::nullopt, 0, "", false },
        { 1, 1, 0, "", false }, // past the end: the last photo
        { 5, 7, 4, "5/5", true },
        { 5, 2, 2, "3/5", true },
        { 0, 3, 0, "", false }, // no photos: no pages, index 0
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.photos);
        source_ = std::make_shared<photobrowsertest::PhotoSource>();
        makeImagePhotos(row.photos);
        auto browser = presentBrowser(row.initialIndex);
        EXPECT_EQ(browser->currentPageIndex(), row.expectedIndex);
        EXPECT_EQ(browser->title(), row.title);
        EXPECT_EQ(browser->toolbar()->superview() != nullptr, row.toolbar);
        EXPECT_EQ(browser->visiblePages().size(), row.photos ? 1u : 0u);
        if (row.photos) {
            EXPECT_EQ(browser->visiblePages()[0]->tag(), 1000 + int(row.expectedIndex));
            EXPECT_EQ(browser->previousButton()->isEnabled(), row.expectedIndex > 0);
            EXPECT_EQ(browser->nextButton()->isEnabled(), int(row.expectedIndex) < row.photos - 1);
        }
        if (row.toolbar) {
            auto& items = browser->toolbar()->items();
            EXPECT_NE(std::find(items.begin(), items.end(), browser->previousButton()), items.end());
            EXPECT_EQ(browser->toolbar()->frame(), platform::Rect(0, 568 - 44, 320, 44));
        }
        app_->home()->dismissViewControllerAnimated(false);
        harness_.loop().runUntilIdle();
    }
}

TEST_F(PhotoBrowserTest, DoneWhenShownModallyAndABackItemWhenPushed)
{
    makeImagePhotos(2);
    auto modal = presentBrowser();
    auto done = modal->navigationItem()->rightBarButtonItem();
    ASSERT_TRUE(done);
    EXPECT_EQ(done->title(), "完成");
    EXPECT_TRUE(done->sendAction());
    harness_.advance(1.0);
    EXPECT_FALSE(app_->home()->presentedViewController());

    auto pushed = PhotoBrowser::initWithDelegate(source_);
    app_->navigation()->pushViewController(pushed, false);
    harness_.loop().runUntilIdle();
    EXPECT_FALSE(pushed->navigationItem()->rightBarButtonItem());
    auto back = app_->home()->navigationItem()->backBarButtonItem();
    ASSERT_TRUE(back);
    EXPECT_EQ(back->title(), "Album");
    app_->navigation()->popViewControllerAnimated(false);
    harness_.loop().runUntilIdle();
    EXPECT_FALSE(app_->home()->navigationItem()->backBarButtonItem()); // its own (none) again
}

TEST_F(PhotoBrowserTest, PagingFromThreeToFourKeepsOnlyTheNeighboursLoaded)
{
    makeFilePhotos(7);
    auto browser = presentBrowser(0);
    for (unsigned index : { 1u, 2u }) {
        browser->jumpToPageAtIndex(index);
        ASSERT_TRUE(waitFor([&] { return loaded(int(index) - 1) && loaded(int(index)) && loaded(int(index) + 1); }));
    }
    ASSERT_TRUE(loaded(1) && loaded(2) && loaded(3));
    EXPECT_EQ(browser->title(), "3/7");

    browser->gotoNextPage(); // photo 4
    EXPECT_EQ(browser->currentPageIndex(), 3u);
    EXPECT_EQ(browser->title(), "4/7");
    EXPECT_FALSE(loaded(0));
    EXPECT_FALSE(loaded(1));
    EXPECT_FALSE(browser->isPhotoSlotFilled(0));
    EXPECT_FALSE(browser->isPhotoSlotFilled(1));
    EXPECT_TRUE(loaded(2));
    EXPECT_TRUE(loaded(3));
    ASSERT_TRUE(waitFor([&] { return loaded(4); }));
    settle();
    for (int i = 5; i < 7; ++i)
        EXPECT_FALSE(loaded(i)) << i;
}

TEST_F(PhotoBrowserTest, PagesAreReusedWithoutTraceAndAtMostTwoAreKept)
{
    makeImagePhotos(6);
    for (auto& photo : source_->photos)
        photo->setCaption("caption");
    auto browser = presentBrowser(0);
    auto pager = browser->pagingScrollView();
    double w = pager->bounds().size.width;
    ASSERT_EQ(w, 340);
    std::set<ZoomingScrollView*> seen;
    for (double position : { 0.5, 2.5, 4.5, 1.5, 3.5, 5.0, 0.0 }) {
        pager->setContentOffset(platform::Point(w * position, 0));
        EXPECT_LE(browser->recycledPageCount(), 2u);
        for (auto& page : browser->visiblePages()) {
            seen.insert(page.get());
            unsigned index = unsigned(page->tag() - 1000);
            EXPECT_EQ(page->photo(), source_->photos[index]);
            EXPECT_EQ(page->photoImageView()->image(), source_->photos[index]->underlyingImage());
            ASSERT_TRUE(page->captionView());
            EXPECT_EQ(page->captionView()->photo(), source_->photos[index]);
            EXPECT_EQ(page->frame().origin.x, w * index + 10);
        }
    }
    EXPECT_LE(seen.size(), 4u); // two shown and two kept at most, reused since
    EXPECT_EQ(browser->currentPageIndex(), 0u);
}

TEST_F(PhotoBrowserTest, SingleTapTogglesTheBarsLaterAndADoubleTapZoomsInstead)
{
    makeImagePhotos(2);
    source_->photos[0] = BrowserPhoto::photoWithImage(picture(640, 960));
    auto browser = presentBrowser(0);
    auto page = browser->visiblePages().at(0);
    EXPECT_FALSE(browser->areControlsHidden());
    // On their own the bars go 5 s after opening.
    harness_.advance(4.9);
    EXPECT_FALSE(browser->areControlsHidden());
    harness_.advance(0.2);
    EXPECT_TRUE(browser->areControlsHidden());

    ASSERT_TRUE(testsupport::tap(page->photoImageView()));
    harness_.advance(0.19);
    EXPECT_TRUE(browser->areControlsHidden());
    harness_.advance(0.02);
    EXPECT_FALSE(browser->areControlsHidden()); // shown again 0.2 s after the tap

    harness_.advance(1.0);
    double before = page->zoomScale();
    ASSERT_TRUE(testsupport::tap(page->photoImageView(), 2));
    harness_.advance(0.5);
    EXPECT_FALSE(browser->areControlsHidden()); // the pending toggle was dropped
    EXPECT_EQ(page->zoomScale(), page->maximumZoomScale());
    EXPECT_NE(page->zoomScale(), before);

    // Dragging the pager hides the bars at once.
    harness_.drag(browser->pagingScrollView(), 0, 1);
    EXPECT_TRUE(browser->areControlsHidden());
}

TEST_F(PhotoBrowserTest, ZoomLimitsFitLargePhotosAndNeverEnlargeSmallOnes)
{
    struct Row {
        int width, height;
        double minimum;
        platform::Point origin;
    };
    const Row rows[] = {
        { 100, 80, 1.0, { 110, 200 } }, // small: not enlarged, centred
        { 640, 960, 0.5, { 0, 0 } }, // fits exactly at half size
        { 1000, 200, 0.32, { 0, 208 } }, // wide: centred vertically
    };
    auto browser = PhotoBrowser::initWithPhotos({});
    for (auto& row : rows) {
        SCOPED_TRACE(row.width);
        auto page = ZoomingScrollView::create(browser);
        page->setFrame(platform::Rect(0, 0, 320, 480));
        page->setPhoto(BrowserPhoto::photoWithImage(picture(row.width, row.height)));
        page->layoutIfNeeded();
        EXPECT_NEAR(page->minimumZoomScale(), row.minimum, 1e-9);
        EXPECT_EQ(page->maximumZoomScale(), 1.0); // 2 / the screen's scale of 2
        EXPECT_NEAR(page->zoomScale(), row.minimum, 1e-9);
        auto frame = page->photoImageView()->frame();
        EXPECT_NEAR(frame.origin.x, row.origin.x, 1e-6);
        EXPECT_NEAR(frame.origin.y, row.origin.y, 1e-6);
        EXPECT_NEAR(frame.size.width, row.width * row.minimum, 1e-6);
    }

    // Double taps go to the largest zoom at the point and back.
    auto page = ZoomingScrollView::create(browser);
    page->setFrame(platform::Rect(0, 0, 320, 480));
    page->setPhoto(BrowserPhoto::photoWithImage(picture(640, 960)));
    page->handleDoubleTap(platform::Point(320, 480));
    EXPECT_EQ(page->zoomScale(), 1.0);
    EXPECT_NEAR(page->contentOffset().x, 160.5, 1e-6); // centred on the tapped point
    EXPECT_NEAR(page->contentOffset().y, 240.5, 1e-6);
    page->handleDoubleTap(platform::Point(10, 10));
    EXPECT_EQ(page->zoomScale(), 0.5);

    // A recycled page shows nothing of its photo or caption.
    auto caption = std::make_shared<CaptionView>(nullptr);
    page->addSubview(caption);
    page->setCaptionView(caption);
    page->prepareForReuse();
    EXPECT_FALSE(page->photo());
    EXPECT_FALSE(caption->superview());
    page->setPhoto(nullptr);
    EXPECT_FALSE(page->photoImageView()->image());
}

TEST_F(PhotoBrowserTest, PhotosLoadAndAnnounceEveryEndAndIgnoreLoadsTheyNoLongerWant)
{
    std::vector<std::shared_ptr<platform::Object>> ended;
    auto token = platform::NotificationCenter::defaultCenter().addObserver(
        PHOTO_LOADING_DID_END_NOTIFICATION, {}, [&](const platform::Notification& n) {
            ended.push_back(n.object.asObject());
        });

    // Given an image: loaded for good, and a load ends at once.
    auto given = BrowserPhoto::photoWithImage(picture(5, 5));
    given->loadUnderlyingImageAndNotify();
    ASSERT_EQ(ended.size(), 1u);
    given->unloadUnderlyingImage();
    EXPECT_TRUE(given->underlyingImage());

    // A file that is not there ends the load with no image.
    auto nowhere = BrowserPhoto::photoWithFilePath(harness_.home() + "/none.png");
    nowhere->loadUnderlyingImageAndNotify();
    ASSERT_TRUE(waitFor([&] { return ended.size() == 2; }));
    EXPECT_EQ(ended[1], nowhere);
    EXPECT_FALSE(nowhere->underlyingImage());

    // From an address: dropped when unloaded, then answered by the cache.
    auto remote = BrowserPhoto::photoWithURL(photoURL("photo-48x36.jpg"));
    remote->loadUnderlyingImageAndNotify();
    ASSERT_TRUE(waitFor([&] { return ended.size() == 3; }));
    ASSERT_TRUE(remote->underlyingImage());
    remote->unloadUnderlyingImage();
    EXPECT_FALSE(remote->underlyingImage());
    remote->loadUnderlyingImageAndNotify();
    ASSERT_TRUE(waitFor([&] { return ended.size() == 4; }));
    EXPECT_TRUE(remote->underlyingImage());
    EXPECT_EQ(transfersOf("photo-48x36.jpg"), 1u);

    // Unloaded while its file is being read: the late result is dropped.
    makeFilePhotos(1);
    auto late = source_->photos[0];
    late->loadUnderlyingImageAndNotify();
    late->unloadUnderlyingImage();
    settle();
    WebImageDecoder::sharedImageDecoder().waitUntilIdle();
    settle();
    EXPECT_FALSE(late->underlyingImage());
    EXPECT_EQ(ended.size(), 4u);
    EXPECT_FALSE(late->isLoading());
}

TEST_F(PhotoBrowserTest, CaptionsKeepAtLeastOneLineAndStopAtThree)
{
    auto line = UIFont::systemFont(17).leading();
    auto none = std::make_shared<CaptionView>(BrowserPhoto::photoWithImage(picture(2, 2)));
    EXPECT_EQ(none->label()->text(), " ");
    EXPECT_NEAR(none->sizeThatFits(platform::Size(320, 0)).height, std::ceil(line) + 20, 1e-9);
    EXPECT_EQ(none->frame(), platform::Rect(0, 0, 320, 44));
    EXPECT_EQ(none->backgroundColor(), platform::Color::fromWhite(0, 0.6));

    auto photo = BrowserPhoto::photoWithImage(picture(2, 2));
    photo->setCaption(std::string(400, 'w') + " end");
    auto longCaption = std::make_shared<CaptionView>(photo);
    EXPECT_NEAR(longCaption->sizeThatFits(platform::Size(320, 0)).height, std::ceil(line * 3) + 20, 1e-9);
}

namespace {

// The toolbar's items by kind: "fixed32", "flex", "previous", "next", "action".
std::vector<std::string> itemKinds(const std::shared_ptr<PhotoBrowser>& browser)
{
    std::vector<std::string> kinds;
    for (auto& item : browser->toolbar()->items()) {
        if (item == browser->previousButton())
            kinds.push_back("previous");
        else if (item == browser->nextButton())
            kinds.push_back("next");
        else if (item == browser->actionButton())
            kinds.push_back("action");
        else if (item->isFlexibleSpace())
            kinds.push_back("flex");
        else if (item->systemItem() == UIBarButtonSystemItemFixedSpace)
            kinds.push_back("fixed" + std::to_string(int(item->width())));
        else
            kinds.push_back("other");
    }
    return kinds;
}

} // namespace

TEST_F(PhotoBrowserTest, TheActionButtonBringsTheToolbarAndSitsRightOfTheArrows)
{
    using Kinds = std::vector<std::string>;
    struct Row {
        int photos;
        bool action;
        bool toolbar;
        Kinds kinds;
    };
    const Row rows[] = {
        { 1, false, false, { "flex", "flex", "flex" } },
        { 1, true, true, { "fixed32", "flex", "flex", "flex", "action" } },
        { 5, false, true, { "flex", "previous", "flex", "next", "flex" } },
        { 5, true, true, { "fixed32", "flex", "previous", "flex", "next", "flex", "action" } },
    };
    for (auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.photos) + (row.action ? " with action" : ""));
        source_ = std::make_shared<photobrowsertest::PhotoSource>();
        makeImagePhotos(row.photos);
        auto browser = presentBrowser(0, row.action);
        EXPECT_EQ(browser->displayActionButton(), row.action);
        EXPECT_EQ(browser->toolbar()->superview() != nullptr, row.toolbar);
        EXPECT_EQ(itemKinds(browser), row.kinds);
        if (row.action) {
            // A person's tap on the item opens the sheet.
            ASSERT_TRUE(testsupport::tap(browser->actionButton()->itemView()));
            ASSERT_TRUE(testsupport::currentSheet());
            EXPECT_EQ(testsupport::currentSheet(), browser->actionsSheet());
            testsupport::tapSheetButton("取消");
        }
        app_->home()->dismissViewControllerAnimated(false);
        harness_.loop().runUntilIdle();
    }

    // Turned on once showing, the bars are laid out again; off again, they go.
    source_ = std::make_shared<photobrowsertest::PhotoSource>();
    makeImagePhotos(1);
    auto browser = presentBrowser(0);
    EXPECT_FALSE(PhotoBrowser::initWithPhotos({})->displayActionButton()); // off unless asked for
    browser->setDisplayActionButton(true);
    EXPECT_TRUE(browser->toolbar()->superview());
    EXPECT_EQ(itemKinds(browser).back(), "action");
    EXPECT_EQ(browser->visiblePages().size(), 1u);
    browser->setDisplayActionButton(false);
    EXPECT_FALSE(browser->toolbar()->superview());
}

// A browser closed with its bars' hiding and a tap's toggle still pending,
// while photos go on loading and memory runs short: none of it reaches the
// browser, whose timers and observations went with it.
TEST_F(PhotoBrowserTest, ABrowserThatHasGoneIsNotCalledBack)
{
    makeImagePhotos(2);
    auto calloutsIn = [&](double seconds) {
        const auto before = harness_.loop().calloutCount();
        harness_.advance(seconds);
        return harness_.loop().calloutCount() - before;
    };
    harness_.advance(10.0); // what starting up left pending, out of the way
    const auto baseline = calloutsIn(6.0);

    auto browser = presentBrowser(0);
    EXPECT_FALSE(browser->areControlsHidden()); // hidden in five seconds
    ASSERT_TRUE(testsupport::tap(browser->visiblePages().at(0)->photoImageView())); // a toggle in 0.2 s
    std::weak_ptr<PhotoBrowser> weak = browser;
    app_->home()->dismissViewControllerAnimated(false);
    harness_.loop().runUntilIdle();
    browser.reset();
    ASSERT_TRUE(weak.expired());
    harness_.loop().runUntilIdle(); // what the views posted for drawing

    platform::NotificationCenter::defaultCenter().post(
        PHOTO_LOADING_DID_END_NOTIFICATION, platform::Value(), platform::Dictionary {});
    platform::NotificationCenter::defaultCenter().post(UIApplicationDidReceiveMemoryWarningNotification);
    EXPECT_EQ(calloutsIn(6.0), baseline) << "a timer of the gone browser still fired";

    // One still open hides its bars on time.
    auto open = presentBrowser(0);
    EXPECT_FALSE(open->areControlsHidden());
    harness_.advance(PhotoBrowser::kHideControlsDelay + 0.1);
    EXPECT_TRUE(open->areControlsHidden());
}
