#include "ui/controls/StatusBarBacking.h"

#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>

double StatusBarBacking::topInset(const UIView& view)
{
    auto window = view.window();
    if (!window)
        return 0;
    double statusBar = UIApplication::sharedApplication().statusBarHeight();
    double top = view.convertRectToView(view.bounds(), window.get()).minY();
    return std::clamp(statusBar - top, 0.0, statusBar);
}

std::shared_ptr<UIView> StatusBarBacking::backingOf(const UIView& view)
{
    for (const auto& subview : view.subviews()) {
        if (subview->outletName() == kOutletName)
            return subview;
    }
    return nullptr;
}

double StatusBarBacking::cover(UIView& view, const platform::Color& color)
{
    double inset = topInset(view);
    auto backing = backingOf(view);
    if (inset <= 0) {
        if (backing)
            backing->removeFromSuperview();
        return 0;
    }
    if (!backing) {
        backing = std::make_shared<UIView>();
        backing->setOutletName(kOutletName);
        backing->setUserInteractionEnabled(false);
        view.addSubview(backing);
    }
    backing->setBackgroundColor(color);
    backing->setFrame(platform::Rect(0, view.bounds().minY(), view.bounds().width(), inset));
    view.bringSubviewToFront(backing);
    return inset;
}

void StatusBarBacking::uncover(UIView& view)
{
    if (auto backing = backingOf(view))
        backing->removeFromSuperview();
}
