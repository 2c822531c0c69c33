#include "content/portal/WeiClassViewController.h"

#include "content/lessons/APIRequest.h"
#include "platform/os/Log.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/ORBHelper.h"

namespace content {

namespace {
    constexpr const char* kTitle = "云端讲堂";
    constexpr const char* kLoadingText = "正在加载...";
}

WeiClassViewController::WeiClassViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle(kTitle);
}

void WeiClassViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("webView", webView_);
}

void WeiClassViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    setTitle(kTitle);
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &WeiClassViewController::btnGoBackAction));
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(true, false);
    keepAtVisibleBottom(webView_);
    // The screen is the delegate before the first load, so its start shows.
    webView_->setDelegate(weakSelf<WeiClassViewController>());
    if (auto request = NSURLRequest::requestWithURL(APIRequest::portalHomeAddress())) {
        webView_->loadRequest(*request);
        // A spinner over the page from the screen's first frame, the bar and
        // its back button left free; the load itself starts a moment later
        // (on the first page, once the web engine is up), with its overlay.
        loading_.show(webView_);
    } else
        platform::log("portal home address \"%s\" is no address\n", APIRequest::portalHomeAddress().c_str());
}

void WeiClassViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
    webView_->setDelegate(weakSelf<WeiClassViewController>());
}

void WeiClassViewController::viewDidDisappear(bool animated)
{
    BaseViewController::viewDidDisappear(animated);
    webView_->stopLoading();
    webView_->setDelegate({});
    ORBHelper::hideProgressHud();
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

void WeiClassViewController::willMoveToParentViewController(UIViewController* parent)
{
    BaseViewController::willMoveToParentViewController(parent);
    // Popped: the page stops at once and hears nothing more, even while the
    // screen slides away, so a first load still waiting for the window's
    // next frame never starts the web engine for a screen that has gone.
    if (!parent && webView_) {
        webView_->stopLoading();
        webView_->setDelegate({});
    }
}

void WeiClassViewController::btnGoBackAction(UIControl*) { popViewController(); }

void WeiClassViewController::webViewDidStartLoad(UIWebView*)
{
    loading_.hide();
    ORBHelper::showProgressHud(kLoadingText, true, false);
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(true);
}

void WeiClassViewController::webViewDidFinishLoad(UIWebView*)
{
    loading_.hide();
    ORBHelper::hideProgressHud();
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

void WeiClassViewController::webViewDidFailLoadWithError(UIWebView*, const platform::Error&)
{
    loading_.hide();
    ORBHelper::hideProgressHud();
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

} // namespace content
