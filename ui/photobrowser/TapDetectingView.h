#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UITouch.h"
#include "platform/uikit/UIView.h"

#include <memory>

class TapDetectingImageView;
class TapDetectingView;

// All optional.
class TapDetectingImageViewDelegate {
public:
    virtual ~TapDetectingImageViewDelegate() = default;
    virtual void imageViewSingleTapDetected(UIImageView*, UITouch*) { }
    virtual void imageViewDoubleTapDetected(UIImageView*, UITouch*) { }
    virtual void imageViewTripleTapDetected(UIImageView*, UITouch*) { }
};

class TapDetectingViewDelegate {
public:
    virtual ~TapDetectingViewDelegate() = default;
    virtual void viewSingleTapDetected(UIView*, UITouch*) { }
    virtual void viewDoubleTapDetected(UIView*, UITouch*) { }
    virtual void viewTripleTapDetected(UIView*, UITouch*) { }
};

// An image view that counts its own taps (1, 2 or 3 by the touch's tap count)
// and tells its tap delegate; the touch end still goes on up the chain.
class TapDetectingImageView : public UIImageView {
public:
    TapDetectingImageView();
    explicit TapDetectingImageView(const platform::Rect& frame);
    explicit TapDetectingImageView(std::shared_ptr<UIImage> image, std::shared_ptr<UIImage> highlightedImage = nullptr);
    ORB_CLASS_NAME(TapDetectingImageView)

    std::shared_ptr<TapDetectingImageViewDelegate> tapDelegate() const { return tapDelegate_.lock(); }
    void setTapDelegate(std::weak_ptr<TapDetectingImageViewDelegate> delegate) { tapDelegate_ = std::move(delegate); }

    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void handleSingleTap(UITouch* touch);
    void handleDoubleTap(UITouch* touch);
    void handleTripleTap(UITouch* touch);

private:
    std::weak_ptr<TapDetectingImageViewDelegate> tapDelegate_;
};

class TapDetectingView : public UIView {
public:
    TapDetectingView();
    explicit TapDetectingView(const platform::Rect& frame);
    ORB_CLASS_NAME(TapDetectingView)

    std::shared_ptr<TapDetectingViewDelegate> tapDelegate() const { return tapDelegate_.lock(); }
    void setTapDelegate(std::weak_ptr<TapDetectingViewDelegate> delegate) { tapDelegate_ = std::move(delegate); }

    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void handleSingleTap(UITouch* touch);
    void handleDoubleTap(UITouch* touch);
    void handleTripleTap(UITouch* touch);

private:
    std::weak_ptr<TapDetectingViewDelegate> tapDelegate_;
};
