#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIScrollView.h"
#include "ui/photobrowser/BrowserPhoto.h"
#include "ui/photobrowser/CaptionView.h"
#include "ui/photobrowser/TapDetectingView.h"

#include <memory>

class PhotoBrowser;

// One page of the photo browser: the photo fitted to the page, zoomed by pinch
// and double tap, kept centred while smaller than the page, a spinner while
// it loads; a single tap shows or hides the browser's bars 0.2 s later unless
// a second tap makes it a double tap.
class ZoomingScrollView : public UIScrollView,
                          public UIScrollViewDelegate,
                          public TapDetectingImageViewDelegate,
                          public TapDetectingViewDelegate {
public:
    static constexpr double kSingleTapDelay = 0.2;

    // Made through create(): the page is its own delegate and its tap views'.
    static std::shared_ptr<ZoomingScrollView> create(const std::shared_ptr<PhotoBrowser>& browser);
    ZoomingScrollView();
    ORB_CLASS_NAME(ZoomingScrollView)

    std::shared_ptr<PhotoBrowser> photoBrowser() const { return photoBrowser_.lock(); }
    const std::shared_ptr<BrowserPhotoProtocol>& photo() const { return photo_; }
    void setPhoto(std::shared_ptr<BrowserPhotoProtocol> photo);
    const std::shared_ptr<CaptionView>& captionView() const { return captionView_; }
    void setCaptionView(std::shared_ptr<CaptionView> view) { captionView_ = std::move(view); }

    void prepareForReuse();
    void displayImage();
    void displayImageFailure();
    void setMaxMinZoomScalesForCurrentBounds();
    void layoutSubviews() override;

    const std::shared_ptr<TapDetectingImageView>& photoImageView() const { return photoImageView_; }
    const std::shared_ptr<TapDetectingView>& tapView() const { return tapView_; }
    const std::shared_ptr<UIActivityIndicatorView>& spinner() const { return spinner_; }

    // UIScrollViewDelegate
    std::shared_ptr<UIView> viewForZoomingInScrollView(UIScrollView*) override;
    void scrollViewWillBeginDragging(UIScrollView*) override;
    void scrollViewWillBeginZooming(UIScrollView*, UIView*) override;
    void scrollViewDidZoom(UIScrollView*) override;
    void scrollViewDidEndDragging(UIScrollView*, bool willDecelerate) override;

    // Tap delegates
    void imageViewSingleTapDetected(UIImageView* view, UITouch* touch) override;
    void imageViewDoubleTapDetected(UIImageView* view, UITouch* touch) override;
    void viewSingleTapDetected(UIView* view, UITouch* touch) override;
    void viewDoubleTapDetected(UIView* view, UITouch* touch) override;

    void handleSingleTap(platform::Point point);
    void handleDoubleTap(platform::Point point);

private:
    void setMaxMinZoomScales();

    std::weak_ptr<PhotoBrowser> photoBrowser_;
    std::shared_ptr<BrowserPhotoProtocol> photo_;
    std::shared_ptr<CaptionView> captionView_;
    std::shared_ptr<TapDetectingView> tapView_;
    std::shared_ptr<TapDetectingImageView> photoImageView_;
    std::shared_ptr<UIActivityIndicatorView> spinner_;
    // Set while the page resets its own zoom: that is layout, not the person
    // zooming, and must not stop the browser's bars from hiding.
    bool resettingZoom_ = false;
};
