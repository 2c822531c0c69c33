#include "platform/uikit/UITouch.h"

#include "platform/uikit/UIWindow.h"

UITouch::UITouch(std::shared_ptr<UIWindow> window, std::shared_ptr<UIView> view, platform::Point windowLocation,
    int tapCount, double timestamp)
    : window_(std::move(window))
    , view_(std::move(view))
    , location_(windowLocation)
    , previous_(windowLocation)
    , tapCount_(tapCount)
    , timestamp_(timestamp)
{
}

platform::Point UITouch::toView(platform::Point windowPoint, const UIView* view) const
{
    if (!view)
        return windowPoint;
    auto window = window_.lock();
    if (!window)
        return view->convertPointFromView(windowPoint, nullptr);
    return view->convertPointFromView(windowPoint, window.get());
}

platform::Point UITouch::locationInView(const UIView* view) const { return toView(location_, view); }

platform::Point UITouch::previousLocationInView(const UIView* view) const { return toView(previous_, view); }

void UITouch::moveTo(platform::Point windowLocation, double timestamp)
{
    previous_ = location_;
    location_ = windowLocation;
    timestamp_ = timestamp;
}
