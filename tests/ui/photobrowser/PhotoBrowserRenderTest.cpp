// The browser as a person sees it, written to PNG under the test's build
// folder: a photo with its bars and caption, a page zoomed in, and the action
// sheet open over a photo.
#include "ui/photobrowser/PhotoBrowser.h"

#include "platform/services/MailComposer.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIToolbar.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "tests/ui/photobrowser/PhotoBrowserTestSupport.h"

#include <gtest/gtest.h>

namespace {

using photobrowsertest::PhotoSource;

class PhotoBrowserRenderTest : public imagetest::ImageToolkitTest { };

} // namespace

TEST_F(PhotoBrowserRenderTest, BrowserWithBarsAndCaptionThenZoomedIn)
{
    auto source = std::make_shared<PhotoSource>();
    for (auto name : { "photo-640x480.jpg", "photo-800x1200.jpg", "photo-1000x200.png" })
        source->photos.push_back(BrowserPhoto::photoWithURL(photoURL(name)));
    source->photos[1]->setCaption("Sports day: the relay team after the last lap");
    auto browser = PhotoBrowser::initWithDelegate(source);
    browser->setInitialPageIndex(1);
    auto navigation = std::make_shared<UINavigationController>(browser);
    app_->home()->presentViewController(navigation, false);
    harness_.loop().runUntilIdle();
    ASSERT_TRUE(waitFor([&] { return source->photos[1]->underlyingImage() != nullptr; }));
    harness_.loop().runUntilIdle();
    auto page = browser->visiblePages().at(0);
    ASSERT_FALSE(page->photoImageView()->isHidden());
    EXPECT_EQ(browser->title(), "2/3");
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

TEST_F(PhotoBrowserRenderTest, ActionSheetOverAPhoto)
{
    platform::MailComposer::setCanSendMail(true);
    auto source = std::make_shared<PhotoSource>();
    source->photos.push_back(BrowserPhoto::photoWithURL(photoURL("photo-640x480.jpg")));
    auto browser = PhotoBrowser::initWithDelegate(source);
    browser->setDisplayActionButton(true);
    auto navigation = std::make_shared<UINavigationController>(browser);
    app_->home()->presentViewController(navigation, false);
    harness_.loop().runUntilIdle();
    ASSERT_TRUE(waitFor([&] { return source->photos[0]->underlyingImage() != nullptr; }));
    harness_.loop().runUntilIdle();
    auto bar = harness_.render("photobrowser-action-button.png");
    auto barShot = platform::Image::fromFile(bar);
    ASSERT_TRUE(barShot);
    // The action glyph is drawn at the toolbar's right end.
    auto item = browser->actionButton()->itemView();
    auto centre = item->convertPointToView(platform::Point(item->bounds().midX(), item->bounds().midY()), nullptr);
    bool glyph = false;
    for (int dx = -8; dx <= 8 && !glyph; ++dx) {
        auto c = barShot->colorAt(int(2 * centre.x) + dx, int(2 * centre.y));
        glyph = c.red + c.green + c.blue > 2.4;
    }
    EXPECT_TRUE(glyph);
    EXPECT_GT(centre.x, 280);

    ASSERT_TRUE(browser->actionButton()->sendAction());
    ASSERT_TRUE(testsupport::currentSheet());
    harness_.advance(0.5);

    auto path = harness_.render("photobrowser-action-sheet.png");
    platform::MailComposer::setCanSendMail(false);
    ASSERT_FALSE(path.empty());
    auto shot = platform::Image::fromFile(path);
    ASSERT_TRUE(shot);
    // Scale 2: the sheet's light buttons fill the bottom, the dimmed photo shows above.
    auto cancel = shot->colorAt(320, 2 * (568 - 30));
    EXPECT_GT(cancel.red + cancel.green + cancel.blue, 2.4);
    auto photo = shot->colorAt(320, 2 * 200);
    EXPECT_LT(photo.red + photo.green + photo.blue, 2.4);

    // Saved: the overlay's dark box with the check mark in the middle of the screen.
    ASSERT_TRUE(testsupport::tapButton(testsupport::currentSheet(), "保存"));
    harness_.loop().runUntilIdle();
    harness_.advance(0.5);
    auto saved = platform::Image::fromFile(harness_.render("photobrowser-saved.png"));
    ASSERT_TRUE(saved);
    auto box = saved->colorAt(2 * 160 - 2 * 50, 2 * 284);
    EXPECT_LT(box.red + box.green + box.blue, 1.0);
}
