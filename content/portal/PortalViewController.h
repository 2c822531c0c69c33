#pragma once

#include "app/base/BaseViewController.h"
#include "content/lessons/APIRequest.h"
#include "foundation/http/HTTPRequestDelegate.h"
#include "ui/overlay/ProgressOverlay.h"

#include <memory>
#include <string>

class UITableView;

namespace content {

// What the portal's screens share: each lesson-service request is held in a
// slot whose new request cancels the one held before; the screen is the
// request's delegate and hears of it only while it is the one held; a
// progress overlay of its own shows the texts.
class PortalViewController : public BaseViewController, public foundation::HTTPRequestDelegate {
public:
    static constexpr double kHintSeconds = 1.4;

    using BaseViewController::BaseViewController;
    void viewDidLoad() override;

    const std::shared_ptr<ProgressOverlay>& hud() const { return hud_; }

protected:
    // Cancels what the slot holds, then holds and starts the new request
    // (none only cancels).
    void hold(std::shared_ptr<APIRequest>& slot, std::shared_ptr<APIRequest> request);
    // The slot's request has answered: it is let go.
    void release(std::shared_ptr<APIRequest>& slot);

    virtual void apiRequestStarted(APIRequest&) { }
    virtual void apiRequestFinished(APIRequest& request) = 0;
    virtual void apiRequestFailed(APIRequest& request) = 0;

    // The overlay in text-only mode, hidden after the delay.
    void showHint(const std::string& text, double seconds = kHintSeconds);
    // The layouts are drawn for the 4-inch screen: on either screen the
    // main view ends at the foot of the screen (keepAtVisibleBottom).
    void fitToScreen(const std::shared_ptr<UIView>& main);

private:
    void delivered(const foundation::HTTPRequestPtr& request, int what);

    std::shared_ptr<ProgressOverlay> hud_;
};

} // namespace content
