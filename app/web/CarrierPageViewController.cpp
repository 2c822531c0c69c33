#include "app/web/CarrierPageViewController.h"

#include "app/account/AccountScreenKit.h"
#include "app/web/CarrierAddresses.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"

CarrierPageViewController::CarrierPageViewController(std::string nibName, std::string title, std::string url)
    : BaseViewController(std::move(nibName))
    , pageTitle_(std::move(title))
    , url_(std::move(url))
{
    setTitle(pageTitle_);
}

void CarrierPageViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("webView", webView_);
    // A back button of the page itself; these layouts have none (the bar's goes back).
    bindings.optionalAction("btnGoBackAction:", &CarrierPageViewController::btnGoBackAction);
}

void CarrierPageViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    setTitle(pageTitle_);
    setLeftItem(imageBarButton<CarrierPageViewController>(
        "public_back_btn.png", "btnBack", &CarrierPageViewController::btnGoBackAction));
    auto request = NSURLRequest::requestWithURL(url_);
    if (request)
        webView_->loadRequest(*request);
    keepAtVisibleBottom(webView_);
    if (request)
        loading_.show(webView_);
}

void CarrierPageViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, false);
    webView_->setDelegate(std::weak_ptr<UIWebViewDelegate>(weakSelf<CarrierPageViewController>()));
}

void CarrierPageViewController::viewDidDisappear(bool animated)
{
    BaseViewController::viewDidDisappear(animated);
    webView_->stopLoading();
    webView_->setDelegate({});
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

void CarrierPageViewController::willMoveToParentViewController(UIViewController* parent)
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

void CarrierPageViewController::webViewDidStartLoad(UIWebView*)
{
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(true);
}

void CarrierPageViewController::webViewDidFinishLoad(UIWebView*)
{
    loading_.hide();
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

void CarrierPageViewController::webViewDidFailLoadWithError(UIWebView*, const platform::Error&)
{
    loading_.hide();
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
    setTitle(kFailedTitle);
}

void CarrierPageViewController::btnGoBackAction(UIControl*) { account::popScreen(*this); }

PigeonViewController::PigeonViewController()
    : CarrierPageViewController(std::string(kClassName), "鸽笺", CarrierAddresses::pigeon())
{
}

ParleyViewController::ParleyViewController()
    : CarrierPageViewController(std::string(kClassName), "畅谈", CarrierAddresses::parley())
{
}

EmailNimbusViewController::EmailNimbusViewController()
    : CarrierPageViewController(std::string(kClassName), "Nimbus邮箱", CarrierAddresses::nimbus())
{
}
