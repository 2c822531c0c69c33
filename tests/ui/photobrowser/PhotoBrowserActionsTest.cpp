// The browser's action button as a person uses it: the sheet, saving to the
// album, copying, mailing, and the overlay that reports each.
#include "platform/services/MailComposer.h"
#include "platform/services/SavedPhotosAlbum.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UIPasteboard.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "tests/ui/photobrowser/PhotoBrowserTestSupport.h"
#include "ui/overlay/ProgressOverlay.h"
#include "ui/photobrowser/MailComposeViewController.h"

#include <gtest/gtest.h>

using platform::MailComposer;
using platform::MailComposeResult;
using platform::SavedPhotosAlbum;

namespace {

class PhotoBrowserActionsTest : public photobrowsertest::PhotoBrowserFixture {
protected:
    void TearDown() override
    {
        MailComposer::setCanSendMail(false);
        PhotoBrowserFixture::TearDown();
    }

    // One photo of 64 × 48 points at scale 2 (so its pixel size differs), shown with the action button.
    std::shared_ptr<PhotoBrowser> presentWithPhoto()
    {
        auto image = UIImage::imageWithCGImage(platform::Image(128, 96, 2.0, platform::Color::greenColor()), 2.0);
        source_->photos.push_back(BrowserPhoto::photoWithImage(image));
        auto browser = presentBrowser(0, true);
        browser_ = browser;
        return browser;
    }

    bool navigationBarTouchable() const
    {
        return browser_.lock()->navigationController()->navigationBar()->isUserInteractionEnabled();
    }

    std::vector<std::string> sheetTitles() const
    {
        std::vector<std::string> titles;
        if (auto sheet = testsupport::currentSheet()) {
            for (long i = 0; i < sheet->numberOfButtons(); ++i)
                titles.push_back(sheet->buttonTitleAtIndex(i));
        }
        return titles;
    }

    // Opens the sheet with the action item and presses one of its buttons, as a finger would.
    void choose(const std::string& title)
    {
        auto browser = browser_.lock();
        ASSERT_TRUE(browser->actionButton()->sendAction());
        auto sheet = testsupport::currentSheet();
        ASSERT_TRUE(sheet);
        ASSERT_TRUE(testsupport::tapButton(sheet, title)) << title;
    }

    std::shared_ptr<MailComposeViewController> presentedComposer() const
    {
        return std::dynamic_pointer_cast<MailComposeViewController>(
            browser_.lock()->navigationController()->presentedViewController());
    }

    std::weak_ptr<PhotoBrowser> browser_;
};

} // namespace

TEST_F(PhotoBrowserActionsTest, TheSheetOffersEmailOnlyWithAMailAccountAndKeepsTheBarsWhileOpen)
{
    auto browser = presentWithPhoto();
    ASSERT_TRUE(browser->actionButton()->sendAction());
    EXPECT_EQ(sheetTitles(), (std::vector<std::string> { "保存", "复制", "取消" }));
    auto sheet = browser->actionsSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->actionSheetStyle(), UIActionSheetStyleBlackTranslucent);
    EXPECT_EQ(sheet->shownInView(), browser->view());
    harness_.advance(20);
    EXPECT_FALSE(browser->areControlsHidden()) << "the bars stay while the sheet is open";

    // Cancel is the third button here: it must not be read as "邮件".
    ASSERT_TRUE(testsupport::tapButton(sheet, "取消"));
    EXPECT_FALSE(browser->actionsSheet());
    EXPECT_FALSE(testsupport::currentSheet());
    EXPECT_EQ(harness_.overlayText(), "");
    EXPECT_FALSE(presentedComposer());
    harness_.advance(4.9);
    EXPECT_FALSE(browser->areControlsHidden());
    harness_.advance(0.2);
    EXPECT_TRUE(browser->areControlsHidden()) << "the hide timer runs again after the sheet";

    MailComposer::setCanSendMail(true);
    browser->toggleControls();
    ASSERT_TRUE(browser->actionButton()->sendAction());
    EXPECT_EQ(sheetTitles(), (std::vector<std::string> { "保存", "复制", "邮件", "取消" }));

    // A second press of the action item closes the open sheet as cancelled.
    ASSERT_TRUE(browser->actionButton()->sendAction());
    EXPECT_FALSE(browser->actionsSheet());
    EXPECT_FALSE(testsupport::currentSheet());
    EXPECT_EQ(harness_.overlayText(), "");
    harness_.advance(5.1);
    EXPECT_TRUE(browser->areControlsHidden());
}

TEST_F(PhotoBrowserActionsTest, NoSheetWithoutAPhotoImage)
{
    source_->photos.push_back(BrowserPhoto::photoWithFilePath(harness_.home() + "/missing.png"));
    auto browser = presentBrowser(0, true);
    settle();
    ASSERT_FALSE(source_->photos[0]->underlyingImage());
    ASSERT_TRUE(browser->actionButton()->sendAction());
    EXPECT_FALSE(testsupport::currentSheet());
    EXPECT_FALSE(browser->actionsSheet());

    app_->home()->dismissViewControllerAnimated(false);
    harness_.loop().runUntilIdle();
    source_->photos.clear();
    auto empty = presentBrowser(std::nullopt, true);
    EXPECT_TRUE(empty->actionButton()->sendAction());
    EXPECT_FALSE(testsupport::currentSheet());
}

TEST_F(PhotoBrowserActionsTest, SaveWritesThePhotoToTheAlbumAndSaysSoWhileTheNavigationBarWaits)
{
    auto browser = presentWithPhoto();
    choose("保存");
    EXPECT_EQ(harness_.overlayText(), "正在保存\u2026");
    EXPECT_EQ(browser->progressHUD()->mode(), ProgressOverlayModeSpinner);
    EXPECT_FALSE(navigationBarTouchable());
    EXPECT_TRUE(SavedPhotosAlbum::photos().empty()) << "written on the next turn, after the overlay shows";

    harness_.loop().runUntilIdle();
    auto saved = SavedPhotosAlbum::photos();
    ASSERT_EQ(saved.size(), 1u);
    auto photo = platform::Image::fromFile(saved[0]);
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->pixelWidth(), 128);
    EXPECT_EQ(photo->pixelHeight(), 96);
    EXPECT_EQ(harness_.overlayText(), "已保存");
    EXPECT_EQ(browser->progressHUD()->mode(), ProgressOverlayModeCustomView);
    EXPECT_TRUE(navigationBarTouchable());

    // The result stays 1.5 s, then fades; the bars go 5 s after the save.
    harness_.advance(1.4);
    EXPECT_EQ(harness_.overlayText(), "已保存");
    harness_.advance(0.5);
    EXPECT_EQ(harness_.overlayText(), "");
    harness_.advance(3.0);
    EXPECT_FALSE(browser->areControlsHidden());
    harness_.advance(0.2);
    EXPECT_TRUE(browser->areControlsHidden());
}

TEST_F(PhotoBrowserActionsTest, SaveSaysFailedWhenTheAlbumCannotWrite)
{
    auto browser = presentWithPhoto();
    ASSERT_TRUE(platform::FileUtil::write(SavedPhotosAlbum::directory(), std::string("a file in the way")));
    choose("保存");
    harness_.loop().runUntilIdle();
    EXPECT_EQ(harness_.overlayText(), "操作失败");
    EXPECT_EQ(browser->progressHUD()->mode(), ProgressOverlayModeCustomView);
    EXPECT_TRUE(navigationBarTouchable());
    EXPECT_TRUE(SavedPhotosAlbum::photos().empty());

    // The overlay is reused: the next message is not cut short by the last one's hide.
    platform::FileUtil::remove(SavedPhotosAlbum::directory());
    harness_.advance(1.0);
    choose("保存");
    harness_.loop().runUntilIdle();
    EXPECT_EQ(harness_.overlayText(), "已保存");
    harness_.advance(1.0);
    EXPECT_EQ(harness_.overlayText(), "已保存");
    EXPECT_EQ(SavedPhotosAlbum::photos().size(), 1u);
}

TEST_F(PhotoBrowserActionsTest, CopyPutsPngBytesOfThePhotoOnThePasteboard)
{
    auto browser = presentWithPhoto();
    UIPasteboard::generalPasteboard().setString("before");
    choose("复制");
    auto bytes = UIPasteboard::generalPasteboard().dataForPasteboardType("public.png");
    ASSERT_TRUE(bytes);
    auto copied = platform::Image::decode(*bytes);
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->pixelWidth(), 128);
    EXPECT_EQ(copied->pixelHeight(), 96);
    EXPECT_FALSE(UIPasteboard::generalPasteboard().string()) << "the photo replaces what was there";
    EXPECT_EQ(harness_.overlayText(), "已复制");
    EXPECT_TRUE(navigationBarTouchable());
    // Shown no shorter than its minimum, then gone.
    harness_.advance(1.2);
    EXPECT_EQ(harness_.overlayText(), "已复制");
    harness_.advance(1.0);
    EXPECT_EQ(harness_.overlayText(), "");
}

TEST_F(PhotoBrowserActionsTest, EmailPresentsAComposerWithThePhotoAndAlertsWhenSendingFails)
{
    MailComposer::setCanSendMail(true);
    auto browser = presentWithPhoto();
    choose("邮件");
    EXPECT_EQ(browser->progressHUD()->labelText(), "正在准备\u2026");
    auto controller = presentedComposer();
    ASSERT_TRUE(controller);
    auto composer = controller->composer();
    EXPECT_EQ(composer->subject(), "照片");
    ASSERT_EQ(composer->attachments().size(), 1u);
    auto& attachment = composer->attachments()[0];
    EXPECT_EQ(attachment.mimeType, "png");
    EXPECT_EQ(attachment.fileName, "Photo.png");
    auto attached = platform::Image::decode(attachment.data);
    ASSERT_TRUE(attached);
    EXPECT_EQ(attached->pixelWidth(), 128);
    harness_.advance(0.5);
    // The overlay goes without animation once its minimum time is up, and the bar works again.
    EXPECT_TRUE(navigationBarTouchable());
    EXPECT_GT(browser->progressHUD()->alpha(), 0.0);
    harness_.advance(0.6);
    EXPECT_EQ(browser->progressHUD()->alpha(), 0.0);
    EXPECT_TRUE(harness_.viewByText("Photo.png")) << "the composer shows its attachment";

    composer->finish(MailComposeResult::Failed);
    harness_.loop().runUntilIdle();
    auto alert = harness_.currentAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "邮件");
    EXPECT_EQ(alert->message(), "邮件发送失败，请重试。");
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->cancelButtonIndex()), "关闭");
    harness_.advance(0.5);
    EXPECT_FALSE(presentedComposer());
    EXPECT_EQ(app_->navigation()->presentedViewController(), browser->navigationController());
    ASSERT_TRUE(harness_.tapAlertButton("关闭"));

    // Sent: no alert, the composer goes all the same.
    choose("邮件");
    harness_.advance(0.5);
    ASSERT_TRUE(presentedComposer());
    presentedComposer()->composer()->finish(MailComposeResult::Sent);
    harness_.advance(0.5);
    EXPECT_FALSE(harness_.currentAlert());
    EXPECT_FALSE(presentedComposer());
    EXPECT_EQ(app_->navigation()->presentedViewController(), browser->navigationController());
}

TEST_F(PhotoBrowserActionsTest, AComposerEndingAfterItWasTakenDownLeavesOtherScreensShown)
{
    MailComposer::setCanSendMail(true);
    auto browser = presentWithPhoto();
    choose("邮件");
    harness_.advance(0.5);
    auto composer = presentedComposer()->composer();
    browser->navigationController()->dismissViewControllerAnimated(false);
    harness_.loop().runUntilIdle();
    // Something else is presented by then: the late result must leave it, and the browser, alone.
    auto other = std::make_shared<UIViewController>();
    browser->presentViewController(other, false);
    harness_.loop().runUntilIdle();
    composer->finish(MailComposeResult::Cancelled);
    harness_.advance(1.0);
    EXPECT_EQ(browser->navigationController()->presentedViewController(), other);
    EXPECT_EQ(app_->navigation()->presentedViewController(), browser->navigationController());
    other->dismissViewControllerAnimated(false);
    harness_.loop().runUntilIdle();

    // The mail account gone between the sheet and the choice: told, nothing presented.
    ASSERT_TRUE(browser->actionButton()->sendAction());
    MailComposer::setCanSendMail(false);
    ASSERT_TRUE(testsupport::tapButton(testsupport::currentSheet(), "邮件"));
    EXPECT_FALSE(presentedComposer());
    EXPECT_EQ(harness_.overlayText(), "操作失败");
    EXPECT_TRUE(navigationBarTouchable());
}

TEST_F(PhotoBrowserActionsTest, TheOverlayIsMadeOnceOnTheBrowsersViewWithTheCheckmark)
{
    auto browser = presentWithPhoto();
    auto overlay = browser->progressHUD();
    EXPECT_EQ(overlay, browser->progressHUD());
    EXPECT_EQ(overlay->superview(), browser->view());
    EXPECT_EQ(overlay->minSize(), platform::Size(120, 120));
    EXPECT_EQ(overlay->minShowTime(), 1.0);
    auto checkmark = std::dynamic_pointer_cast<UIImageView>(overlay->customView());
    ASSERT_TRUE(checkmark);
    ASSERT_TRUE(checkmark->image());
    EXPECT_GT(checkmark->image()->size().width, 0);

    browser->showProgressHUDWithMessage("Working");
    EXPECT_FALSE(navigationBarTouchable());
    EXPECT_EQ(harness_.overlayText(), "Working");
    browser->hideProgressHUD(true);
    EXPECT_TRUE(navigationBarTouchable());
    harness_.advance(1.5);
    EXPECT_EQ(harness_.overlayText(), "");

    // A completion on a hidden overlay shows it; no message just hides.
    browser->showProgressHUDCompleteMessage("Done it");
    EXPECT_EQ(harness_.overlayText(), "Done it");
    browser->showProgressHUDCompleteMessage("");
    harness_.advance(1.5);
    EXPECT_EQ(harness_.overlayText(), "");
}
