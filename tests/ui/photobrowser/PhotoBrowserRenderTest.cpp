// The browser as a person sees it, written to PNG under the test's build
// folder: a photo with its bars and caption, and a page zoomed in.
#include "ui/photobrowser/PhotoBrowser.h"

#include "platform/uikit/UIToolbar.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "tests/ui/images/ImageTestSupport.h"

#include <gtest/gtest.h>

namespace {

class PhotoSource final : public ui::PhotoBrowserDelegate {
public:
    unsigned numberOfPhotosInPhotoBrowser(ui::PhotoBrowser*) override { return unsigned(photos.size()); }
    std::shared_ptr<ui::BrowserPhotoProtocol> photoBrowserPhotoAtIndex(ui::PhotoBrowser*, unsigned index) override
    {
        return photos.at(index);
    }
    std::vector<std::shared_ptr<ui::BrowserPhoto>> photos;
};

class PhotoBrowserRenderTest : public imagetest::ImageToolkitTest { };

} // namespace

TEST_F(PhotoBrowserRenderTest, BrowserWithBarsAndCaptionThenZoomedIn)
{
    auto source = std::make_shared<PhotoSource>();
    for (auto name : { "photo-640x480.jpg", "photo-800x1200.jpg", "photo-1000x200.png" })
        source->photos.push_back(ui::BrowserPhoto::photoWithURL(photoURL(name)));
    source->photos[1]->setCaption("Sports day: the relay team after the last lap");
    auto browser = ui::PhotoBrowser::initWithDelegate(source);
    browser->setInitialPageIndex(1);
    auto navigation = std::make_shared<UINavigationController>(browser);
    app_->home()->presentViewController(navigation, false);
    harness_.loop().runUntilIdle();
    ASSERT_TRUE(waitFor([&] { return source->photos[1]->underlyingImage() != nullptr; }));
    harness_.loop().runUntilIdle();
    auto page = browser->visiblePages().at(0);
    ASSERT_FALSE(page->photoImageView()->isHidden());
    EXPECT_EQ(browser->title(), "2 of 3");
    ASSERT_TRUE(page->captionView());

    auto withBars = harness_.render("photobrowser-bars-caption.png");
    ASSERT_FALSE(withBars.empty());
    auto shot = platform::Image::fromFile(withBars);
    ASSERT_TRUE(shot);
    // Scale 2: the toolbar strip at the bottom is dark translucent, the photo's sky above is light.
    auto toolbar = shot->colorAt(320, 2 * (568 - 20));
    EXPECT_LT(toolbar.red + toolbar.green + toolbar.blue, 1.2);
    auto sky = shot->colorAt(320, 2 * 160);
    EXPECT_GT(sky.red + sky.green + sky.blue, 1.5);

    ASSERT_TRUE(testsupport::tap(page->photoImageView(), 2));
    harness_.advance(1.0);
    EXPECT_EQ(page->zoomScale(), page->maximumZoomScale());
    auto zoomed = harness_.render("photobrowser-zoomed.png");
    ASSERT_FALSE(zoomed.empty());
    EXPECT_TRUE(platform::Image::fromFile(zoomed));
}
