#include "ui/photobrowser/PhotoBrowser.h"

#include "platform/os/Bundle.h"
#include "platform/os/Log.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIToolbar.h"
#include "ui/images/WebImageCache.h"

#include <algorithm>
#include <cmath>

namespace {

    constexpr const char* kArrowLeft = "PhotoBrowser.bundle/images/UIBarButtonItemArrowLeft.png";
    constexpr const char* kArrowRight = "PhotoBrowser.bundle/images/UIBarButtonItemArrowRight.png";
    constexpr const char* kActionGlyph = "PhotoBrowser.bundle/images/UIBarButtonItemAction.png";

    // The browser's root view: the controller lays its pages out whenever the
    // view lays out (the phone calls viewWillLayoutSubviews there).
    class PhotoBrowserView final : public UIView {
    public:
        explicit PhotoBrowserView(std::weak_ptr<PhotoBrowser> browser)
            : browser_(std::move(browser))
        {
        }
        void layoutSubviews() override
        {
            UIView::layoutSubviews();
            if (auto browser = browser_.lock())
                browser->viewWillLayoutSubviews();
        }

    private:
        std::weak_ptr<PhotoBrowser> browser_;
    };

    // Page indexes are computed signed: a scroll position left of the first
    // page must not wrap around to a huge unsigned index.
    long clampIndex(double value, long count) { return std::clamp(static_cast<long>(std::floor(value)), 0L, count - 1); }

} // namespace

PhotoBrowser::PhotoBrowser()
{
    setWantsFullScreenLayout(true);
    setHidesBottomBarWhenPushed(true);
}

std::shared_ptr<PhotoBrowser> PhotoBrowser::initWithDelegate(const std::shared_ptr<PhotoBrowserDelegate>& delegate)
{
    auto browser = std::make_shared<PhotoBrowser>();
    browser->delegate_ = delegate;
    browser->lifetime_.observe(browser, PHOTO_LOADING_DID_END_NOTIFICATION, &PhotoBrowser::handlePhotoLoadingDidEnd);
    browser->lifetime_.observe(
        browser, UIApplicationDidReceiveMemoryWarningNotification, &PhotoBrowser::handleMemoryWarning);
    return browser;
}

std::shared_ptr<PhotoBrowser> PhotoBrowser::initWithPhotos(std::vector<std::shared_ptr<BrowserPhotoProtocol>> photos)
{
    auto browser = initWithDelegate(nullptr);
    browser->depreciatedPhotoData_ = std::move(photos);
    return browser;
}

std::shared_ptr<PhotoBrowser> PhotoBrowser::self() { return std::static_pointer_cast<PhotoBrowser>(shared_from_this()); }

std::weak_ptr<PhotoBrowser> PhotoBrowser::weakSelf() { return self(); }

void PhotoBrowser::handleMemoryWarning(const platform::Notification&) { didReceiveMemoryWarning(); }

PhotoBrowser::~PhotoBrowser()
{
    // Timers and observations end with lifetime_. A sheet left open would
    // outlive the browser on screen; its delegate (this browser) can no
    // longer be reached, so it just goes.
    if (actionsSheet_)
        actionsSheet_->dismissWithClickedButtonIndex(actionsSheet_->cancelButtonIndex(), false);
    releaseAllUnderlyingPhotos();
    WebImageCache::sharedImageCache()->clearMemory();
}

// ---- Data

unsigned PhotoBrowser::numberOfPhotos()
{
    if (!photoCount_) {
        if (auto delegate = delegate_.lock())
            photoCount_ = delegate->numberOfPhotosInPhotoBrowser(this);
        else
            photoCount_ = static_cast<unsigned>(depreciatedPhotoData_.size());
    }
    return *photoCount_;
}

std::shared_ptr<BrowserPhotoProtocol> PhotoBrowser::photoAtIndex(unsigned index)
{
    if (index >= photos_.size())
        return nullptr;
    if (photos_[index])
        return photos_[index];
    std::shared_ptr<BrowserPhotoProtocol> photo;
    if (auto delegate = delegate_.lock())
        photo = delegate->photoBrowserPhotoAtIndex(this, index);
    else if (index < depreciatedPhotoData_.size())
        photo = depreciatedPhotoData_[index];
    if (photo)
        photos_[index] = photo;
    return photo;
}

std::shared_ptr<CaptionView> PhotoBrowser::captionViewForPhotoAtIndex(unsigned index)
{
    std::shared_ptr<CaptionView> captionView;
    std::optional<std::shared_ptr<CaptionView>> answered;
    if (auto delegate = delegate_.lock())
        answered = delegate->photoBrowserCaptionViewForPhotoAtIndex(this, index);
    if (answered)
        captionView = *answered;
    else if (auto photo = photoAtIndex(index); photo && photo->caption())
        captionView = std::make_shared<CaptionView>(photo);
    if (captionView)
        captionView->setAlpha(areControlsHidden() ? 0 : 1);
    return captionView;
}

std::shared_ptr<UIImage> PhotoBrowser::imageForPhoto(const std::shared_ptr<BrowserPhotoProtocol>& photo)
{
    if (!photo)
        return nullptr;
    if (auto image = photo->underlyingImage())
        return image;
    photo->loadUnderlyingImageAndNotify();
    return nullptr;
}

void PhotoBrowser::releaseAllUnderlyingPhotos()
{
    for (auto& photo : photos_) {
        if (photo)
            photo->unloadUnderlyingImage();
    }
}

void PhotoBrowser::reloadData()
{
    photoCount_.reset();
    unsigned count = numberOfPhotos();
    releaseAllUnderlyingPhotos();
    photos_.assign(count, nullptr);
    if (currentPageIndex_ >= count)
        currentPageIndex_ = count == 0 ? 0 : count - 1;
    performLayout();
    view()->setNeedsLayout();
}

void PhotoBrowser::setDisplayActionButton(bool display)
{
    if (display == displayActionButton_)
        return;
    displayActionButton_ = display;
    if (isViewLoaded() && pagingScrollView_)
        performLayout();
}

void PhotoBrowser::setInitialPageIndex(unsigned index)
{
    unsigned count = numberOfPhotos();
    // No photos means no pages and index 0 (count − 1 would wrap around).
    if (count == 0)
        index = 0;
    else if (index >= count)
        index = count - 1;
    currentPageIndex_ = index;
    if (isViewLoaded()) {
        jumpToPageAtIndex(index);
        if (!viewIsActive_)
            tilePages();
    }
}

// ---- View

void PhotoBrowser::loadView()
{
    auto root = std::make_shared<PhotoBrowserView>(self());
    root->setFrame(UIScreen::mainScreen()->bounds());
    setView(root);
}

void PhotoBrowser::viewDidLoad()
{
    auto& root = view();
    root->setBackgroundColor(platform::Color::blackColor());

    pagingScrollView_ = std::make_shared<UIScrollView>(frameForPagingScrollView());
    pagingScrollView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    pagingScrollView_->setPagingEnabled(true);
    pagingScrollView_->setDelegate(std::static_pointer_cast<UIScrollViewDelegate>(self()));
    pagingScrollView_->setShowsHorizontalScrollIndicator(false);
    pagingScrollView_->setShowsVerticalScrollIndicator(false);
    pagingScrollView_->setBackgroundColor(platform::Color::blackColor());
    pagingScrollView_->setContentSize(contentSizeForPagingScrollView());
    root->addSubview(pagingScrollView_);

    toolbar_ = std::make_shared<UIToolbar>(frameForToolbarAtOrientation(interfaceOrientation()));
    toolbar_->setBarTintColor(std::nullopt);
    toolbar_->setBackgroundImage(nullptr);
    toolbar_->setBarStyle(UIBarStyleBlackTranslucent);
    toolbar_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin);

    auto me = self();
    previousButton_ = UIBarButtonItem::itemWithImage(UIImage::imageNamed(kArrowLeft));
    previousButton_->setTarget(me, &PhotoBrowser::gotoPreviousPage, "gotoPreviousPage");
    nextButton_ = UIBarButtonItem::itemWithImage(UIImage::imageNamed(kArrowRight));
    nextButton_->setTarget(me, &PhotoBrowser::gotoNextPage, "gotoNextPage");
    actionButton_ = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemAction);
    // Our bars draw no pictogram for system items; the glyph makes it a button one can see and touch.
    actionButton_->setImage(UIImage::imageNamed(kActionGlyph));
    actionButton_->setTarget(me, &PhotoBrowser::actionButtonPressed, "actionButtonPressed:");
    reloadData();
}

void PhotoBrowser::performLayout()
{
    performingLayout_ = true;
    unsigned count = numberOfPhotos();
    for (auto& page : visiblePages_) {
        page->prepareForReuse();
        page->removeFromSuperview();
    }
    visiblePages_.clear();
    recycledPages_.clear();

    if (count > 1 || displayActionButton_)
        view()->addSubview(toolbar_);
    else
        toolbar_->removeFromSuperview();

    std::vector<std::shared_ptr<UIBarButtonItem>> items;
    auto flexible = [] { return UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace); };
    // The fixed space balances the action item on the right, so the arrows stay centred.
    if (displayActionButton_) {
        auto fixed = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemFixedSpace);
        fixed->setWidth(kActionSpaceWidth);
        items.push_back(fixed);
    }
    items.push_back(flexible());
    if (count > 1) {
        items.push_back(previousButton_);
        items.push_back(flexible());
        items.push_back(nextButton_);
    } else
        items.push_back(flexible());
    items.push_back(flexible());
    if (displayActionButton_)
        items.push_back(actionButton_);
    toolbar_->setItems(std::move(items));

    updateNavigation();
    placeNavigationItems();

    pagingScrollView_->setContentSize(contentSizeForPagingScrollView());
    pagingScrollView_->setContentOffset(contentOffsetForPageAtIndex(currentPageIndex_));
    tilePages();
    performingLayout_ = false;
}

void PhotoBrowser::viewWillLayoutSubviews()
{
    if (!pagingScrollView_ || performingLayout_)
        return;
    performingLayout_ = true;
    toolbar_->setFrame(frameForToolbarAtOrientation(interfaceOrientation()));
    unsigned indexPriorToLayout = currentPageIndex_;
    pagingScrollView_->setFrame(frameForPagingScrollView());
    pagingScrollView_->setContentSize(contentSizeForPagingScrollView());
    for (auto& page : visiblePages_) {
        unsigned index = static_cast<unsigned>(page->tag() - kPageTagBase);
        page->setFrame(frameForPageAtIndex(index));
        if (auto& caption = page->captionView())
            caption->setFrame(frameForCaptionView(caption, index));
        page->setMaxMinZoomScalesForCurrentBounds();
    }
    pagingScrollView_->setContentOffset(contentOffsetForPageAtIndex(indexPriorToLayout));
    if (numberOfPhotos() > 0)
        didStartViewingPageAtIndex(currentPageIndex_);
    currentPageIndex_ = indexPriorToLayout;
    performingLayout_ = false;
}

void PhotoBrowser::viewDidAppear(bool) { viewIsActive_ = true; }

void PhotoBrowser::didReceiveMemoryWarning()
{
    releaseAllUnderlyingPhotos();
    recycledPages_.clear();
}

// ---- Paging

void PhotoBrowser::tilePages()
{
    if (!pagingScrollView_)
        return;
    auto visibleBounds = pagingScrollView_->bounds();
    double w = visibleBounds.size.width;
    long count = numberOfPhotos();
    long first = 0, last = -1;
    if (count > 0 && w > 0) {
        first = clampIndex((visibleBounds.minX() + kPadding * 2) / w, count);
        last = clampIndex((visibleBounds.maxX() - kPadding * 2 - 1) / w, count);
    }
    for (auto it = visiblePages_.begin(); it != visiblePages_.end();) {
        long index = (*it)->tag() - kPageTagBase;
        if (index >= first && index <= last) {
            ++it;
            continue;
        }
        auto page = *it;
        it = visiblePages_.erase(it);
        page->prepareForReuse();
        page->removeFromSuperview();
        recycledPages_.push_back(page);
    }
    while (recycledPages_.size() > kMaxRecycledPages)
        recycledPages_.pop_back();

    auto me = self();
    for (long index = first; index <= last; ++index) {
        auto i = static_cast<unsigned>(index);
        if (isDisplayingPageForIndex(i))
            continue;
        auto page = dequeueRecycledPage();
        if (!page)
            page = ZoomingScrollView::create(me);
        visiblePages_.push_back(page);
        configurePage(page, i);
        pagingScrollView_->addSubview(page);
        if (auto caption = captionViewForPhotoAtIndex(i)) {
            caption->setFrame(frameForCaptionView(caption, i));
            pagingScrollView_->addSubview(caption);
            page->setCaptionView(caption);
        }
    }
}

bool PhotoBrowser::isDisplayingPageForIndex(unsigned index) const { return pageDisplayedAtIndex(index) != nullptr; }

std::shared_ptr<ZoomingScrollView> PhotoBrowser::pageDisplayedAtIndex(unsigned index) const
{
    for (auto& page : visiblePages_) {
        if (page->tag() - kPageTagBase == static_cast<long>(index))
            return page;
    }
    return nullptr;
}

std::shared_ptr<ZoomingScrollView> PhotoBrowser::pageDisplayingPhoto(
    const std::shared_ptr<BrowserPhotoProtocol>& photo) const
{
    if (!photo)
        return nullptr;
    for (auto& page : visiblePages_) {
        if (page->photo() == photo)
            return page;
    }
    return nullptr;
}

void PhotoBrowser::configurePage(const std::shared_ptr<ZoomingScrollView>& page, unsigned index)
{
    page->setFrame(frameForPageAtIndex(index));
    page->setTag(kPageTagBase + static_cast<int>(index));
    page->setPhoto(photoAtIndex(index));
}

std::shared_ptr<ZoomingScrollView> PhotoBrowser::dequeueRecycledPage()
{
    if (recycledPages_.empty())
        return nullptr;
    auto page = recycledPages_.back();
    recycledPages_.pop_back();
    return page;
}

std::vector<std::shared_ptr<ZoomingScrollView>> PhotoBrowser::visiblePages() const { return visiblePages_; }

void PhotoBrowser::didStartViewingPageAtIndex(unsigned index)
{
    long current = index;
    for (long i = 0; i < static_cast<long>(photos_.size()); ++i) {
        if (!photos_[i] || (i >= current - 1 && i < current + 2))
            continue;
        photos_[i]->unloadUnderlyingImage();
        photos_[i] = nullptr;
    }
    auto photo = photoAtIndex(index);
    if (photo && photo->underlyingImage())
        loadAdjacentPhotosIfNecessary(photo);
}

void PhotoBrowser::loadAdjacentPhotosIfNecessary(const std::shared_ptr<BrowserPhotoProtocol>& photo)
{
    auto page = pageDisplayingPhoto(photo);
    if (!page)
        return;
    long pageIndex = page->tag() - kPageTagBase;
    if (pageIndex != static_cast<long>(currentPageIndex_))
        return;
    if (pageIndex > 0) {
        if (auto previous = photoAtIndex(static_cast<unsigned>(pageIndex - 1)); previous && !previous->underlyingImage())
            previous->loadUnderlyingImageAndNotify();
    }
    if (pageIndex + 1 < static_cast<long>(numberOfPhotos())) {
        if (auto next = photoAtIndex(static_cast<unsigned>(pageIndex + 1)); next && !next->underlyingImage())
            next->loadUnderlyingImageAndNotify();
    }
}

void PhotoBrowser::handlePhotoLoadingDidEnd(const platform::Notification& notification)
{
    auto photo = notification.object.objectAs<BrowserPhotoProtocol>();
    auto page = pageDisplayingPhoto(photo);
    if (!page)
        return;
    if (photo->underlyingImage()) {
        page->displayImage();
        loadAdjacentPhotosIfNecessary(photo);
    } else
        page->displayImageFailure();
}

// ---- Geometry

platform::Rect PhotoBrowser::frameForPagingScrollView() const
{
    auto frame = isViewLoaded() ? const_cast<PhotoBrowser*>(this)->view()->bounds() : UIScreen::mainScreen()->bounds();
    frame.origin.x -= kPadding;
    frame.size.width += 2 * kPadding;
    return frame;
}

platform::Rect PhotoBrowser::frameForPageAtIndex(unsigned index) const
{
    auto bounds = pagingScrollView_ ? pagingScrollView_->bounds() : frameForPagingScrollView();
    return platform::Rect(bounds.size.width * index + kPadding, bounds.origin.y, bounds.size.width - 2 * kPadding,
        bounds.size.height);
}

platform::Size PhotoBrowser::contentSizeForPagingScrollView()
{
    auto bounds = pagingScrollView_ ? pagingScrollView_->bounds() : frameForPagingScrollView();
    return platform::Size(bounds.size.width * numberOfPhotos(), bounds.size.height);
}

platform::Point PhotoBrowser::contentOffsetForPageAtIndex(unsigned index) const
{
    auto bounds = pagingScrollView_ ? pagingScrollView_->bounds() : frameForPagingScrollView();
    return platform::Point(bounds.size.width * index, 0);
}

platform::Rect PhotoBrowser::frameForToolbarAtOrientation(UIInterfaceOrientation orientation) const
{
    double height = kToolbarHeight;
    // A phone turned sideways has a lower bar.
    if (orientation == UIInterfaceOrientationLandscapeLeft || orientation == UIInterfaceOrientationLandscapeRight)
        height = 32;
    auto bounds = isViewLoaded() ? const_cast<PhotoBrowser*>(this)->view()->bounds() : UIScreen::mainScreen()->bounds();
    return platform::Rect(0, bounds.size.height - height, bounds.size.width, height);
}

platform::Rect PhotoBrowser::frameForCaptionView(const std::shared_ptr<CaptionView>& captionView, unsigned index) const
{
    auto pageFrame = frameForPageAtIndex(index);
    captionView->setFrame(platform::Rect(0, 0, pageFrame.size.width, 44));
    auto size = captionView->sizeThatFits(platform::Size(pageFrame.size.width, 0));
    double toolbarHeight = toolbar_ && toolbar_->superview() ? toolbar_->frame().size.height : 0;
    return platform::Rect(
        pageFrame.origin.x, pageFrame.size.height - size.height - toolbarHeight, pageFrame.size.width, size.height);
}

// ---- Scrolling

void PhotoBrowser::scrollViewDidScroll(UIScrollView*)
{
    // Scrolling done by layout is not the person paging (the screen never
    // turns here, so layout is the only source).
    if (!viewIsActive_ || performingLayout_)
        return;
    tilePages();
    auto bounds = pagingScrollView_->bounds();
    long count = numberOfPhotos();
    if (count == 0 || bounds.size.width <= 0)
        return;
    auto index = static_cast<unsigned>(clampIndex(bounds.midX() / bounds.size.width, count));
    if (index != currentPageIndex_) {
        currentPageIndex_ = index;
        didStartViewingPageAtIndex(index);
    }
}

void PhotoBrowser::scrollViewWillBeginDragging(UIScrollView*) { setControlsHidden(true, true, false); }

void PhotoBrowser::scrollViewDidEndDecelerating(UIScrollView*) { updateNavigation(); }

// ---- Navigation

void PhotoBrowser::updateNavigation()
{
    unsigned count = numberOfPhotos();
    if (count > 1)
    {
        // "%i of %i" as the table words it: the page, then the count.
        std::string title = platform::localizedString("%i of %i");
        for (unsigned number : { currentPageIndex_ + 1, count }) {
            if (auto slot = title.find("%i"); slot != std::string::npos)
                title.replace(slot, 2, std::to_string(number));
        }
        setTitle(title);
    }
    else
        setTitle({});
    if (previousButton_)
        previousButton_->setEnabled(currentPageIndex_ > 0);
    if (nextButton_)
        nextButton_->setEnabled(count > 0 && currentPageIndex_ < count - 1);
}

void PhotoBrowser::jumpToPageAtIndex(unsigned index)
{
    if (index < numberOfPhotos() && pagingScrollView_) {
        auto pageFrame = frameForPageAtIndex(index);
        pagingScrollView_->setContentOffset(platform::Point(pageFrame.origin.x - kPadding, 0), false);
        updateNavigation();
    }
    hideControlsAfterDelay();
}

void PhotoBrowser::gotoPreviousPage()
{
    if (currentPageIndex_ > 0)
        jumpToPageAtIndex(currentPageIndex_ - 1);
    else
        hideControlsAfterDelay();
}

void PhotoBrowser::gotoNextPage() { jumpToPageAtIndex(currentPageIndex_ + 1); }

// ---- Bars

void PhotoBrowser::setControlsHidden(bool hidden, bool animated, bool permanent)
{
    cancelControlHiding();
    auto& application = UIApplication::sharedApplication();
    double statusBarHeight = 0;
    if (wantsFullScreenLayout()) {
        statusBarHeight = application.statusBarHeight();
        application.setStatusBarHidden(hidden, animated);
        if (!hidden)
            statusBarHeight = application.statusBarHeight();
    }
    std::vector<std::shared_ptr<CaptionView>> captions;
    for (auto& page : visiblePages_) {
        if (page->captionView())
            captions.push_back(page->captionView());
    }
    double alpha = hidden ? 0 : 1;
    auto apply = [this, alpha, statusBarHeight, captions] {
        setNavigationBarHiddenAlpha(alpha, statusBarHeight);
        if (toolbar_)
            toolbar_->setAlpha(alpha);
        for (auto& caption : captions)
            caption->setAlpha(alpha);
    };
    if (animated)
        UIView::animateWithDuration(kFadeDuration, apply);
    else
        apply();
    if (!permanent)
        hideControlsAfterDelay();
}

void PhotoBrowser::cancelControlHiding() { lifetime_.cancel(std::exchange(controlVisibilityTimer_, nullptr)); }

void PhotoBrowser::hideControlsAfterDelay()
{
    if (areControlsHidden())
        return;
    cancelControlHiding();
    controlVisibilityTimer_ = lifetime_.after(kHideControlsDelay, weakSelf(), &PhotoBrowser::hideControls);
}

void PhotoBrowser::hideControls() { setControlsHidden(true, true, false); }

bool PhotoBrowser::areControlsHidden() const { return toolbar_ && toolbar_->alpha() == 0; }

void PhotoBrowser::toggleControls() { setControlsHidden(!areControlsHidden(), true, false); }

void PhotoBrowser::performAfterDelay(double seconds, void (PhotoBrowser::*method)())
{
    std::erase_if(pendingCalls_, [](const auto& timer) { return !timer->isValid(); });
    pendingCalls_.push_back(lifetime_.after(seconds, weakSelf(), method));
}

void PhotoBrowser::cancelPreviousPerformRequests()
{
    for (auto& timer : pendingCalls_)
        lifetime_.cancel(timer);
    pendingCalls_.clear();
}

void PhotoBrowser::doneButtonPressed() { dismissViewControllerAnimated(true); }

bool PhotoBrowser::isFirstInNavigationStack() const
{
    auto nav = navigationController();
    return nav && !nav->viewControllers().empty() && nav->viewControllers().front().get() == this;
}

// ---- Appearing and leaving

void PhotoBrowser::viewWillAppear(bool animated)
{
    auto& application = UIApplication::sharedApplication();
    previousStatusBarStyle_ = application.statusBarStyle();
    application.setStatusBarStyle(UIStatusBarStyleLightContent, animated);
    if (!viewIsActive_ && !isFirstInNavigationStack())
        storePreviousNavBarAppearance();
    setNavBarAppearance(animated);
    hideControlsAfterDelay();
}

void PhotoBrowser::viewWillDisappear(bool animated)
{
    auto nav = navigationController();
    bool popped = !nav
        || std::none_of(nav->viewControllers().begin(), nav->viewControllers().end(),
            [this](const std::shared_ptr<UIViewController>& c) { return c.get() == this; });
    if (!isFirstInNavigationStack() && popped) {
        viewIsActive_ = false;
        restorePreviousNavBarAppearance(animated);
    }
    stopNavigationBarAnimations();
    cancelPreviousPerformRequests();
    setControlsHidden(false, false, true);
    UIApplication::sharedApplication().setStatusBarStyle(static_cast<UIStatusBarStyle>(previousStatusBarStyle_), animated);
}
