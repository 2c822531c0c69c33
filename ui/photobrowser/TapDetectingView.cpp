#include "ui/photobrowser/TapDetectingView.h"

namespace {

    // Both tap-detecting views: hand the first touch to the view's handler for its
    // tap count (1, 2 or 3), then pass the touch end on up the responder chain.
    template <class View> void dispatchTapsAndForward(View& view, const UITouchSet& touches, UIEvent* event)
    {
        if (!touches.empty() && touches.front()) {
            auto* touch = touches.front().get();
            switch (touch->tapCount()) {
            case 1:
                view.handleSingleTap(touch);
                break;
            case 2:
                view.handleDoubleTap(touch);
                break;
            case 3:
                view.handleTripleTap(touch);
                break;
            default:
                break;
            }
        }
        if (auto next = view.nextResponder())
            next->touchesEnded(touches, event);
    }

} // namespace

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
    dispatchTapsAndForward(*this, touches, event);
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
    dispatchTapsAndForward(*this, touches, event);
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
