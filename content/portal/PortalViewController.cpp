#include "content/portal/PortalViewController.h"

#include "platform/os/Log.h"

using foundation::HTTPRequestPtr;

namespace content {

namespace {
    enum { kStarted, kFinished, kFailed };
}

void PortalViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    hud_ = std::make_shared<ProgressOverlay>(view()->bounds());
    hud_->setAnimationType(ProgressOverlayAnimationZoom);
    view()->addSubview(hud_);
    requestStarted = weakCallback<PortalViewController>(
        [](PortalViewController& self, const HTTPRequestPtr& request) { self.delivered(request, kStarted); });
    requestFinished = weakCallback<PortalViewController>(
        [](PortalViewController& self, const HTTPRequestPtr& request) { self.delivered(request, kFinished); });
    requestFailed = weakCallback<PortalViewController>(
        [](PortalViewController& self, const HTTPRequestPtr& request) { self.delivered(request, kFailed); });
}

void PortalViewController::hold(std::shared_ptr<APIRequest>& slot, std::shared_ptr<APIRequest> request)
{
    if (slot) {
        slot->clearDelegatesAndCancel();
        finishRequest(slot.get());
    }
    slot = std::move(request);
    if (!slot)
        return;
    slot->setDelegate(weakSelf<PortalViewController>());
    startRequest(slot);
}

void PortalViewController::release(std::shared_ptr<APIRequest>& slot)
{
    if (slot)
        finishRequest(slot.get());
    slot.reset();
}

void PortalViewController::delivered(const HTTPRequestPtr& request, int what)
{
    if (!isCurrentRequest(request.get()))
        return;
    auto* api = dynamic_cast<APIRequest*>(request.get());
    if (!api)
        return;
    // Keep the request alive through its own callback, which lets it go.
    auto keep = request;
    switch (what) {
    case kStarted:
        apiRequestStarted(*api);
        break;
    case kFinished:
        platform::log("response:%s\n", request->responseString().value_or("").c_str());
        apiRequestFinished(*api);
        break;
    default:
        platform::log("error:%s\n", request->error() ? request->error()->localizedDescription().c_str() : "");
        apiRequestFailed(*api);
        break;
    }
}

void PortalViewController::showHint(const std::string& text, double seconds)
{
    if (!hud_)
        return;
    view()->bringSubviewToFront(hud_);
    hud_->setMode(ProgressOverlayModeText);
    hud_->setLabelText(text);
    hud_->show(true);
    hud_->hide(true, seconds);
}

void PortalViewController::fitToScreen(const std::shared_ptr<UIView>& main)
{
    // The screen's view is its container's to size; its main view ends at the foot.
    keepAtVisibleBottom(main);
}

} // namespace content
