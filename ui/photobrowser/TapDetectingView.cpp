#include "ui/photobrowser/TapDetectingView.h"

namespace ui {

// ---- TapDetectingImageView

TapDetectingImageView::TapDetectingImageView() { setUserInteractionEnabled(true); }

TapDetectingImageView::TapDetectingImageView(const platform::Rect& frame)
    : UIImageView(frame)
{
    setUserInteractionEnabled(true);
}

TapDetectingImageView::TapDetectingImageView(std::shared_ptr<UIImage> image, std::shared_ptr<UIImage> highlightedImage)
    : UIImageView(std::move(image), std::move(highlightedImage))
{
    setUserInteractionEnabled(true);
}

void TapDetectingImageView::touchesEnded(const UITouchSet& touches, UIEvent* event)
{
    if (!touches.empty() && touches.front()) {
        auto* touch = touches.front().get();
        switch (touch->tapCount()) {
        case 1:
            handleSingleTap(touch);
            break;
        case 2:
            handleDoubleTap(touch);
            break;
        case 3:
            handleTripleTap(touch);
            break;
        default:
            break;
        }
    }
    if (auto next = nextResponder())
        next->touchesEnded(touches, event);
}

void TapDetectingImageView::handleSingleTap(UITouch* touch)
{
    if (auto d = tapDelegate())
        d->imageViewSingleTapDetected(this, touch);
}

void TapDetectingImageView::handleDoubleTap(UITouch* touch)
{
    if (auto d = tapDelegate())
        d->imageViewDoubleTapDetected(this, touch);
}

void TapDetectingImageView::handleTripleTap(UITouch* touch)
{
    if (auto d = tapDelegate())
        d->imageViewTripleTapDetected(this, touch);
}

// ---- TapDetectingView

TapDetectingView::TapDetectingView() { setUserInteractionEnabled(true); }

TapDetectingView::TapDetectingView(const platform::Rect& frame)
    : UIView(frame)
{
    setUserInteractionEnabled(true);
}

void TapDetectingView::touchesEnded(const UITouchSet& touches, UIEvent* event)
{
    if (!touches.empty() && touches.front()) {
        auto* touch = touches.front().get();
        switch (touch->tapCount()) {
        case 1:
            handleSingleTap(touch);
            break;
        case 2:
            handleDoubleTap(touch);
            break;
        case 3:
            handleTripleTap(touch);
            break;
        default:
            break;
        }
    }
    if (auto next = nextResponder())
        next->touchesEnded(touches, event);
}

void TapDetectingView::handleSingleTap(UITouch* touch)
{
    if (auto d = tapDelegate())
        d->viewSingleTapDetected(this, touch);
}

void TapDetectingView::handleDoubleTap(UITouch* touch)
{
    if (auto d = tapDelegate())
        d->viewDoubleTapDetected(this, touch);
}

void TapDetectingView::handleTripleTap(UITouch* touch)
{
    if (auto d = tapDelegate())
        d->viewTripleTapDetected(this, touch);
}

} // namespace ui
