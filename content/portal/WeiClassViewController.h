#pragma once

#include "app/base/BaseViewController.h"
#include "app/web/PageLoadingIndicator.h"
#include "platform/uikit/UIWebView.h"

#include <memory>

class UIControl;

namespace content {

// "云端讲堂": the video-lesson portal's own web site in a web view. Links
// load in the same view; a load in progress shows the app-wide overlay
// and the network indicator, and a failed one leaves the screen usable.
class WeiClassViewController final : public BaseViewController, public UIWebViewDelegate {
public:
    ORB_CLASS_NAME(WeiClassViewController)

    WeiClassViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void willMoveToParentViewController(UIViewController* parent) override;
    void btnGoBackAction(UIControl* sender);

    void webViewDidStartLoad(UIWebView*) override;
    void webViewDidFinishLoad(UIWebView*) override;
    void webViewDidFailLoadWithError(UIWebView*, const platform::Error&) override;

private:
    std::shared_ptr<UIWebView> webView_;
    // Over the page from the screen's first frame until its load starts.
    PageLoadingIndicator loading_;
};

} // namespace content
