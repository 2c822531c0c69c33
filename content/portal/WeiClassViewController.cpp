#include "content/portal/WeiClassViewController.h"

#include "content/lessons/APIRequest.h"
#include "platform/os/Log.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/ORBHelper.h"

namespace content {

namespace {
    constexpr const char* kTitle = "云端讲堂";
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
    if (auto request = NSURLRequest::requestWithURL(APIRequest::portalHomeAddress()))
        webView_->loadRequest(*request);
    else
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

void WeiClassViewController::btnGoBackAction(UIControl*) { popViewController(); }

void WeiClassViewController::webViewDidStartLoad(UIWebView*)
{
    ORBHelper::showProgressHud("正在加载...", true, false);
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(true);
}

void WeiClassViewController::webViewDidFinishLoad(UIWebView*)
{
    ORBHelper::hideProgressHud();
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

void WeiClassViewController::webViewDidFailLoadWithError(UIWebView*, const platform::Error&)
{
    ORBHelper::hideProgressHud();
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

} // namespace content
