// The message photo viewer, reached from a test (nothing in the application
// opens it): one page per photo, each at its first scale (the page filled
// when the proportions nearly agree, the whole photo otherwise), centred,
// zoomed in and back, and a photo without pixels.
#include "messaging/photo/MessagePhotoScrollView.h"
#include "messaging/photo/MessagePhotoViewController.h"

#include "app/main/ORBViewController.h"
#include "platform/graphics/Context.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/SignedInScreen.h"
#include "ui/controls/UINavigationBarBackgroundImage.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

// A photo of the size, a sky over a field with a sun, so that pages tell apart.
std::shared_ptr<core::PhotoInfo> photo(double width, double height, platform::Color sky)
{
    auto context = platform::Context::createBitmap({ width, height });
    context->setFillColor(sky);
    context->fillRect({ 0, 0, width, height });
    context->setFillColor(platform::Color::fromRGB255(96, 160, 72));
    context->fillRect({ 0, height * 0.65, width, height * 0.35 });
    context->setFillColor(platform::Color::fromRGB255(250, 214, 90));
    const double sun = std::min(width, height) * 0.18;
    context->fillEllipseInRect({ width * 0.7, height * 0.15, sun, sun });
    auto info = std::make_shared<core::PhotoInfo>();
    info->image = context->makeImage();
    return info;
}

class MessagePhotoTest : public SignedInScreenTest {
protected:
    void SetUp() override
    {
        SignedInScreenTest::SetUp();
        signIn();
    }
};

TEST_F(MessagePhotoTest, APageFitsOrFillsByTheTwoScales)
{
    struct Row {
        double width, height;
        double zoom;
        platform::Rect shown; // the photo's frame on the 320 x 480 page
    };
    for (const Row& row : { Row { 640, 960, 0.5, { 0, 0, 320, 480 } }, Row { 1000, 200, 0.32, { 0, 208, 320, 64 } },
             Row { 300, 460, 320.0 / 300, { 0, 0, 320, 480 } }, Row { 100, 100, 3.2, { 0, 80, 320, 320 } } }) {
        SCOPED_TRACE(std::to_string(row.width) + " x " + std::to_string(row.height));
        auto page = std::make_shared<MessagePhotoScrollView>(platform::Rect(0, 0, 320, 480));
        auto screen = std::make_shared<MessagePhotoViewController>();
        page->setDelegate(std::weak_ptr<UIScrollViewDelegate>(screen));
        page->setPhoto(photo(row.width, row.height, platform::Color::fromRGB255(120, 180, 230)));
        page->layoutIfNeeded();
        EXPECT_NEAR(page->initialZoom(), row.zoom, 1e-9);
        EXPECT_NEAR(page->zoomScale(), row.zoom, 1e-9);
        EXPECT_NEAR(page->minimumZoomScale(), row.zoom, 1e-9);
        EXPECT_EQ(page->maximumZoomScale(), 3.0);
        const auto frame = page->imageView()->frame();
        EXPECT_NEAR(frame.minX(), row.shown.minX(), 1e-6);
        EXPECT_NEAR(frame.minY(), row.shown.minY(), 1e-6);
        EXPECT_NEAR(frame.width(), row.shown.width(), 1e-6);
        EXPECT_NEAR(frame.height(), row.shown.height(), 1e-6);
        EXPECT_FALSE(page->bounces());
        EXPECT_FALSE(page->showsHorizontalScrollIndicator());
    }
}

TEST_F(MessagePhotoTest, APhotoWithoutPixelsShowsNothingAndBreaksNothing)
{
    auto page = std::make_shared<MessagePhotoScrollView>(platform::Rect(0, 0, 320, 480));
    auto screen = std::make_shared<MessagePhotoViewController>();
    page->setDelegate(std::weak_ptr<UIScrollViewDelegate>(screen));
    page->setPhoto(std::make_shared<core::PhotoInfo>());
    page->layoutIfNeeded();
    EXPECT_EQ(page->initialZoom(), 1.0);
    EXPECT_FALSE(page->imageView()->image());
    page->toggleZoomIntoLocation({ 10, 10 });
    harness().advance(0.5);
    EXPECT_TRUE(std::isfinite(page->zoomScale()));
}

TEST_F(MessagePhotoTest, PagesSideBySideZoomInAndBackAndTheBackButtonCloses)
{
    auto screen = std::make_shared<MessagePhotoViewController>();
    screen->setPhotos({ photo(640, 960, platform::Color::fromRGB255(120, 180, 230)),
        photo(1000, 200, platform::Color::fromRGB255(240, 170, 120)), photo(800, 600, platform::Color::fromRGB255(150, 140, 210)) });
    auto root = std::dynamic_pointer_cast<UIViewController>(UIWindow::keyWindow()->rootViewController());
    ASSERT_TRUE(root);
    // Presented as the application presents its screens: in a navigation
    // controller with the app's bar.
    auto navigation = std::make_shared<UINavigationController>(screen);
    UINavigationBarBackgroundImage::setBgImage(
        *navigation->navigationBar(), UIImage::imageNamed(ORBViewController::kTopBarImage));
    root->presentViewController(navigation, true);
    harness().advance(0.6);
    EXPECT_EQ(screen->title(), "查看图片");
    EXPECT_EQ(harness().topScreen(), screen);

    auto pager = std::dynamic_pointer_cast<UIScrollView>(harness().viewByOutlet("scrollView"));
    ASSERT_TRUE(pager);
    std::vector<std::shared_ptr<MessagePhotoScrollView>> pages;
    for (const auto& view : pager->subviews()) {
        if (auto page = std::dynamic_pointer_cast<MessagePhotoScrollView>(view))
            pages.push_back(page);
    }
    ASSERT_EQ(pages.size(), 3u);
    const double width = pager->bounds().width();
    for (std::size_t k = 0; k < pages.size(); ++k) {
        EXPECT_EQ(pages[k]->frame(), platform::Rect(double(k) * width, 0, width, pager->bounds().height()));
        EXPECT_TRUE(pages[k]->imageView()->image());
    }
    EXPECT_EQ(pager->contentSize().width, 3 * width);
    EXPECT_FALSE(harness().render("message-photo-viewer.png").empty());

    // In to 1.5 at a point, then back to the first scale.
    auto first = pages.front();
    const double start = first->zoomScale();
    first->toggleZoomIntoLocation({ 40, 60 });
    harness().advance(0.5);
    EXPECT_NEAR(first->zoomScale(), MessagePhotoScrollView::kToggleZoom, 1e-9);
    first->toggleZoomIntoLocation({ 0, 0 });
    harness().advance(0.5);
    EXPECT_NEAR(first->zoomScale(), start, 1e-9);

    // The second page shows its wide photo centred on the page.
    pager->setContentOffset({ width, 0 });
    harness().advance(0.2);
    EXPECT_FALSE(harness().render("message-photo-viewer-wide.png").empty());

    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    harness().advance(0.6);
    EXPECT_NE(harness().topScreen(), screen) << "closed";
}

} // namespace
