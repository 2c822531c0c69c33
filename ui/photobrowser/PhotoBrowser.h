#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Timer.h"
#include "platform/services/MailComposer.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIViewController.h"
#include "ui/Lifetime.h"
#include "ui/photobrowser/BrowserPhoto.h"
#include "ui/photobrowser/CaptionView.h"
#include "ui/photobrowser/ZoomingScrollView.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class ProgressOverlay;
class UIToolbar;

class PhotoBrowser;

class PhotoBrowserDelegate {
public:
    virtual ~PhotoBrowserDelegate() = default;
    virtual unsigned numberOfPhotosInPhotoBrowser(PhotoBrowser*) = 0;
    virtual std::shared_ptr<BrowserPhotoProtocol> photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index) = 0;
    // Optional: nullopt means "not answered" (the browser then makes a
    // caption view for a photo that has a caption); a null view means none.
    virtual std::optional<std::shared_ptr<CaptionView>> photoBrowserCaptionViewForPhotoAtIndex(PhotoBrowser*, unsigned)
    {
        return std::nullopt;
    }
};

// Photos full screen, one per page, paged sideways, with zoom, a translucent
// navigation bar titled "%i of %i", a toolbar with previous and next arrows
// (two or more photos), optional captions; the bars fade out 5 s after the
// last touch and a single tap brings them back. Only the current photo and its
// neighbours keep their images. Shown inside a navigation controller, as the
// root of a modal one ("Done") or pushed (the back item names the screen below).
// With displayActionButton the toolbar (shown then even for one photo) carries
// an action button: an action sheet saves the photo to the saved-photos album,
// copies it to the pasteboard or mails it, and a progress overlay on the
// browser's view tells how that went.
class PhotoBrowser : public UIViewController,
                     public UIScrollViewDelegate,
                     public UIActionSheetDelegate,
                     public platform::MailComposerDelegate {
public:
    static constexpr double kPadding = 10;
    static constexpr int kPageTagBase = 1000;
    static constexpr std::size_t kMaxRecycledPages = 2;
    static constexpr double kHideControlsDelay = 5.0;
    static constexpr double kFadeDuration = 0.35;
    static constexpr double kToolbarHeight = 44;
    static constexpr double kActionSpaceWidth = 32;
    static constexpr double kCompleteMessageDuration = 1.5;
    static constexpr double kOverlayMinShowTime = 1.0;
    static constexpr double kOverlayMinSide = 120;

    static std::shared_ptr<PhotoBrowser> initWithDelegate(const std::shared_ptr<PhotoBrowserDelegate>& delegate);
    static std::shared_ptr<PhotoBrowser> initWithPhotos(std::vector<std::shared_ptr<BrowserPhotoProtocol>> photos);
    PhotoBrowser();
    ~PhotoBrowser() override;
    ORB_CLASS_NAME(PhotoBrowser)

    // For callers.
    void setInitialPageIndex(unsigned index);
    void reloadData();
    bool displayActionButton() const { return displayActionButton_; }
    // Set before the browser shows; on a loaded view the bars are laid out again.
    void setDisplayActionButton(bool display);

    // For the pages.
    std::shared_ptr<UIImage> imageForPhoto(const std::shared_ptr<BrowserPhotoProtocol>& photo);
    void cancelControlHiding();
    void hideControlsAfterDelay();
    void toggleControls();
    // A call of one of the browser's methods after a delay on the main loop's
    // clock; cancelPreviousPerformRequests drops every one still pending.
    void performAfterDelay(double seconds, void (PhotoBrowser::*method)());
    void cancelPreviousPerformRequests();

    // Data.
    unsigned numberOfPhotos();
    std::shared_ptr<BrowserPhotoProtocol> photoAtIndex(unsigned index);
    std::shared_ptr<CaptionView> captionViewForPhotoAtIndex(unsigned index);
    unsigned currentPageIndex() const { return currentPageIndex_; }

    // Paging.
    void performLayout();
    void tilePages();
    bool isDisplayingPageForIndex(unsigned index) const;
    std::shared_ptr<ZoomingScrollView> pageDisplayedAtIndex(unsigned index) const;
    std::shared_ptr<ZoomingScrollView> pageDisplayingPhoto(const std::shared_ptr<BrowserPhotoProtocol>& photo) const;
    void configurePage(const std::shared_ptr<ZoomingScrollView>& page, unsigned index);
    std::shared_ptr<ZoomingScrollView> dequeueRecycledPage();
    void didStartViewingPageAtIndex(unsigned index);
    void loadAdjacentPhotosIfNecessary(const std::shared_ptr<BrowserPhotoProtocol>& photo);
    void releaseAllUnderlyingPhotos();

    // Geometry.
    platform::Rect frameForPagingScrollView() const;
    platform::Rect frameForPageAtIndex(unsigned index) const;
    platform::Size contentSizeForPagingScrollView();
    platform::Point contentOffsetForPageAtIndex(unsigned index) const;
    platform::Rect frameForToolbarAtOrientation(UIInterfaceOrientation orientation) const;
    platform::Rect frameForCaptionView(const std::shared_ptr<CaptionView>& captionView, unsigned index) const;

    // Navigation and bars.
    void updateNavigation();
    void jumpToPageAtIndex(unsigned index);
    void gotoPreviousPage();
    void gotoNextPage();
    void setControlsHidden(bool hidden, bool animated, bool permanent);
    void hideControls();
    bool areControlsHidden() const;
    void doneButtonPressed();

    // Actions (PhotoBrowserActions.cpp).
    void actionButtonPressed();
    void savePhoto();
    void copyPhoto();
    void emailPhoto();
    void showProgressHUDWithMessage(const std::string& message);
    void hideProgressHUD(bool animated);
    // An empty message only hides the overlay.
    void showProgressHUDCompleteMessage(const std::string& message);
    // Made on first use, on the browser's view.
    const std::shared_ptr<ProgressOverlay>& progressHUD();

    // What tests and screens look at.
    const std::shared_ptr<UIScrollView>& pagingScrollView() const { return pagingScrollView_; }
    const std::shared_ptr<UIToolbar>& toolbar() const { return toolbar_; }
    const std::shared_ptr<UIBarButtonItem>& previousButton() const { return previousButton_; }
    const std::shared_ptr<UIBarButtonItem>& nextButton() const { return nextButton_; }
    const std::shared_ptr<UIBarButtonItem>& actionButton() const { return actionButton_; }
    const std::shared_ptr<UIActionSheet>& actionsSheet() const { return actionsSheet_; }
    std::vector<std::shared_ptr<ZoomingScrollView>> visiblePages() const;
    std::size_t recycledPageCount() const { return recycledPages_.size(); }
    bool isPhotoSlotFilled(unsigned index) const { return index < photos_.size() && photos_[index] != nullptr; }

    // UIViewController
    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewWillLayoutSubviews() override;
    void didReceiveMemoryWarning() override;

    // UIScrollViewDelegate (the pager)
    void scrollViewDidScroll(UIScrollView*) override;
    void scrollViewWillBeginDragging(UIScrollView*) override;
    void scrollViewDidEndDecelerating(UIScrollView*) override;

    // UIActionSheetDelegate (the actions sheet)
    void actionSheetDidDismiss(UIActionSheet* sheet, long buttonIndex) override;

    // MailComposerDelegate
    void mailComposeDidFinish(platform::MailComposer& composer, platform::MailComposeResult result,
        const platform::Error* error) override;

private:
    void handlePhotoLoadingDidEnd(const platform::Notification& notification);
    void handleMemoryWarning(const platform::Notification&);
    std::shared_ptr<PhotoBrowser> self();
    std::weak_ptr<PhotoBrowser> weakSelf();
    bool isFirstInNavigationStack() const;
    // Navigation bar work (PhotoBrowserBars.cpp).
    void setNavBarAppearance(bool animated);
    void storePreviousNavBarAppearance();
    void restorePreviousNavBarAppearance(bool animated);
    void placeNavigationItems();
    void setNavigationBarHiddenAlpha(double alpha, double statusBarHeight);
    void stopNavigationBarAnimations();
    void setNavigationBarInteractionEnabled(bool enabled);
    void saveImage(const std::shared_ptr<UIImage>& image);

    std::weak_ptr<PhotoBrowserDelegate> delegate_;
    std::optional<unsigned> photoCount_; // not asked yet
    std::vector<std::shared_ptr<BrowserPhotoProtocol>> photos_; // null: not asked yet or unloaded
    std::vector<std::shared_ptr<BrowserPhotoProtocol>> depreciatedPhotoData_;
    std::shared_ptr<UIScrollView> pagingScrollView_;
    std::vector<std::shared_ptr<ZoomingScrollView>> visiblePages_;
    std::vector<std::shared_ptr<ZoomingScrollView>> recycledPages_;
    unsigned currentPageIndex_ = 0;
    std::shared_ptr<UIToolbar> toolbar_;
    std::shared_ptr<platform::Timer> controlVisibilityTimer_;
    std::shared_ptr<UIBarButtonItem> previousButton_;
    std::shared_ptr<UIBarButtonItem> nextButton_;
    std::shared_ptr<UIBarButtonItem> actionButton_;
    std::shared_ptr<UIActionSheet> actionsSheet_;
    std::shared_ptr<ProgressOverlay> progressHUD_;
    // The navigation bar's look before the browser changed it (tint, style,
    // background images, title colours), kept in PhotoBrowserBars.cpp.
    struct SavedNavBar;
    std::shared_ptr<SavedNavBar> savedNavBar_;
    int previousStatusBarStyle_ = 0;
    std::shared_ptr<UIBarButtonItem> previousViewControllerBackButton_;
    std::weak_ptr<UIViewController> previousViewController_;
    bool performingLayout_ = false;
    bool viewIsActive_ = false;
    bool displayActionButton_ = false;
    // Calls waiting on the clock (performAfterDelay and the save's turn).
    std::vector<std::shared_ptr<platform::Timer>> pendingCalls_;
    // Timers and observations hold the browser weakly and end with it.
    Lifetime lifetime_;
};
