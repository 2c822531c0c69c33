// The photo browser's action button: save to the saved-photos album, copy to
// the pasteboard, mail, and the progress overlay that reports each.

#include "platform/os/Bundle.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "platform/services/MailComposer.h"
#include "platform/services/SavedPhotosAlbum.h"
#include "platform/services/UIDevice.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIPasteboard.h"
#include "platform/uikit/UIToolbar.h"
#include "ui/overlay/ProgressOverlay.h"
#include "ui/photobrowser/MailComposeViewController.h"
#include "ui/photobrowser/PhotoBrowser.h"

namespace {

    constexpr const char* kCheckmark = "PhotoBrowser.bundle/images/Checkmark.png";
    constexpr const char* kPasteboardPNG = "public.png";

    // A progress message: the word as the localisation table gives it, and an ellipsis.
    std::string inProgress(const char* word) { return platform::localizedString(word) + "\u2026"; }
    std::string localized(const char* key) { return platform::localizedString(key); }

} // namespace

// ---- The sheet

void PhotoBrowser::actionButtonPressed()
{
    if (actionsSheet_) {
        // A second press closes the open sheet as its Cancel would; the
        // dismissal handler forgets it and restarts the hide timer.
        auto sheet = actionsSheet_;
        sheet->dismissWithClickedButtonIndex(sheet->cancelButtonIndex(), true);
        return;
    }
    if (numberOfPhotos() == 0)
        return;
    auto photo = photoAtIndex(currentPageIndex_);
    if (!photo || !photo->underlyingImage())
        return;
    // The bars stay while the person chooses; the sheet's end starts the timer again.
    setControlsHidden(false, true, true);
    std::vector<std::string> buttons { localized("Save"), localized("Copy") };
    if (platform::MailComposer::canSendMail())
        buttons.push_back(localized("Email"));
    std::shared_ptr<UIActionSheetDelegate> sheetDelegate = self();
    actionsSheet_ = std::make_shared<UIActionSheet>(std::string(), sheetDelegate, localized("Cancel"), std::nullopt, std::move(buttons));
    actionsSheet_->setActionSheetStyle(UIActionSheetStyleBlackTranslucent);
    if (platform::UIDevice::currentDevice().userInterfaceIdiom() == platform::UIUserInterfaceIdiom::Pad && toolbar_)
        actionsSheet_->showFromToolbar(toolbar_);
    else
        actionsSheet_->showInView(view());
}

void PhotoBrowser::actionSheetDidDismiss(UIActionSheet* sheet, long buttonIndex)
{
    // Only our own open sheet; one already forgotten has been handled.
    if (!actionsSheet_ || sheet != actionsSheet_.get())
        return;
    actionsSheet_.reset();
    // Cancel is the last button: it is told apart before the choices are
    // counted, so it never reads as the third choice when "Email" is absent.
    long first = sheet->firstOtherButtonIndex();
    if (buttonIndex != sheet->cancelButtonIndex() && first >= 0) {
        auto title = sheet->buttonTitleAtIndex(buttonIndex);
        if (buttonIndex == first) {
            savePhoto();
            return;
        }
        if (buttonIndex == first + 1) {
            copyPhoto();
            return;
        }
        if (buttonIndex == first + 2 && title == localized("Email")) {
            emailPhoto();
            return;
        }
    }
    hideControlsAfterDelay();
}

// ---- Save, copy, mail

void PhotoBrowser::savePhoto()
{
    auto photo = photoAtIndex(currentPageIndex_);
    auto image = photo ? photo->underlyingImage() : nullptr;
    if (!image) {
        hideControlsAfterDelay();
        return;
    }
    showProgressHUDWithMessage(inProgress("Saving"));
    // The write waits for the next turn, so the overlay is on screen before
    // the encoding holds the main thread up. The image is taken now: the page
    // may be unloaded by then.
    std::erase_if(pendingCalls_, [](const auto& timer) { return !timer->isValid(); });
    pendingCalls_.push_back(
        lifetime_.afterCall<PhotoBrowser>(0, weakSelf(), [image](PhotoBrowser& browser) { browser.saveImage(image); }));
}

void PhotoBrowser::saveImage(const std::shared_ptr<UIImage>& image)
{
    platform::SavedPhotosAlbum::writeImage(image->CGImage(),
        weakCall(weakSelf(), [](PhotoBrowser& browser, const std::string&, const platform::Error* error) {
            if (error)
                platform::log("PhotoBrowser: saving the photo failed: %s", error->localizedDescription().c_str());
            browser.showProgressHUDCompleteMessage(localized(error ? "Failed" : "Saved"));
            browser.hideControlsAfterDelay();
        }));
}

void PhotoBrowser::copyPhoto()
{
    auto photo = photoAtIndex(currentPageIndex_);
    auto png = UIImagePNGRepresentation(photo ? photo->underlyingImage() : nullptr);
    showProgressHUDWithMessage(inProgress("Copying"));
    // Copying cannot fail on the phone; here a photo gone or not encodable is
    // reported rather than leaving the pasteboard as it was without a word.
    if (png) {
        UIPasteboard::generalPasteboard().setData(*png, kPasteboardPNG);
        showProgressHUDCompleteMessage(localized("Copied"));
    } else
        showProgressHUDCompleteMessage(localized("Failed"));
    hideControlsAfterDelay();
}

void PhotoBrowser::emailPhoto()
{
    auto photo = photoAtIndex(currentPageIndex_);
    auto png = UIImagePNGRepresentation(photo ? photo->underlyingImage() : nullptr);
    showProgressHUDWithMessage(inProgress("Preparing"));
    // The mail account may have gone since the sheet offered "Email".
    auto composer = png ? platform::MailComposer::create() : nullptr;
    if (!composer) {
        showProgressHUDCompleteMessage(localized("Failed"));
        hideControlsAfterDelay();
        return;
    }
    std::shared_ptr<platform::MailComposerDelegate> mailDelegate = self();
    composer->setDelegate(mailDelegate);
    composer->setSubject(localized("Photo"));
    composer->addAttachmentData(std::move(*png), "png", "Photo.png");
    presentViewController(std::make_shared<MailComposeViewController>(composer), true);
    hideProgressHUD(false);
}

void PhotoBrowser::mailComposeDidFinish(
    platform::MailComposer& composer, platform::MailComposeResult result, const platform::Error*)
{
    if (result == platform::MailComposeResult::Failed) {
        auto alert = std::make_shared<UIAlertView>(
            localized("Email"), localized("Email failed to send. Please try again."), std::weak_ptr<UIAlertViewDelegate>(),
            localized("Dismiss"));
        alert->show();
    }
    // Only the composer we presented is taken down: dismissing with nothing
    // presented would take the browser itself away.
    auto context = navigationController() ? std::static_pointer_cast<UIViewController>(navigationController())
                                          : std::static_pointer_cast<UIViewController>(shared_from_this());
    auto presented = std::dynamic_pointer_cast<MailComposeViewController>(context->presentedViewController());
    if (presented && presented->composer().get() == &composer)
        dismissViewControllerAnimated(true);
    // The bars were kept for the sheet; they go again after the usual delay.
    hideControlsAfterDelay();
}

// ---- The overlay

const std::shared_ptr<ProgressOverlay>& PhotoBrowser::progressHUD()
{
    if (!progressHUD_) {
        progressHUD_ = ProgressOverlay::initWithView(view());
        progressHUD_->setMinSize(platform::Size(kOverlayMinSide, kOverlayMinSide));
        progressHUD_->setMinShowTime(kOverlayMinShowTime);
        progressHUD_->setCustomView(std::make_shared<UIImageView>(UIImage::imageNamed(kCheckmark)));
        view()->addSubview(progressHUD_);
    }
    return progressHUD_;
}

void PhotoBrowser::showProgressHUDWithMessage(const std::string& message)
{
    auto& overlay = progressHUD();
    view()->bringSubviewToFront(overlay);
    overlay->setLabelText(message);
    overlay->setMode(ProgressOverlayModeSpinner);
    overlay->show(true);
    // Leaving the browser mid-action would leave the work reporting to nothing.
    setNavigationBarInteractionEnabled(false);
}

void PhotoBrowser::hideProgressHUD(bool animated)
{
    progressHUD()->hide(animated);
    setNavigationBarInteractionEnabled(true);
}

void PhotoBrowser::showProgressHUDCompleteMessage(const std::string& message)
{
    auto& overlay = progressHUD();
    if (!message.empty()) {
        view()->bringSubviewToFront(overlay);
        if (!overlay->showStarted())
            overlay->show(true);
        overlay->setLabelText(message);
        overlay->setMode(ProgressOverlayModeCustomView);
        overlay->hide(true, kCompleteMessageDuration);
    } else
        overlay->hide(true);
    setNavigationBarInteractionEnabled(true);
}
