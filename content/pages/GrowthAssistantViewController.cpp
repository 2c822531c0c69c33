#include "content/pages/GrowthAssistantViewController.h"

#include "content/library/LibraryKit.h"
#include "content/portal/PortalStyle.h"
#include "core/network/ORBNetworkHelper.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/ORBHelper.h"

namespace content {

GrowthAssistantViewController::GrowthAssistantViewController()
    : BaseViewController(std::string(kClassName))
{
}

void GrowthAssistantViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("webView", webView_);
}

void GrowthAssistantViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    setLeftItem(
        imageBarButton("public_back_btn.png", "btnBack", &GrowthAssistantViewController::btnGoBackAction));
    // The page loses the 3.5-inch screen's difference once, with its view.
    library::fitShortScreen(*view(), *webView_);
    ORBHelper::showProgressHud("请求数据中", true, false);
    platform::Dictionary params;
    params.set("saleModalId", kSaleModalId);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kJumpRequest,
        platform::Value(std::move(params)), [] {},
        // The overlay goes with the answer, the screen there or not.
        weakCallbackAfter<GrowthAssistantViewController>(library::hideOverlay,
            [](GrowthAssistantViewController& screen, const platform::Value& reply) { screen.jumpArrived(reply); }),
        weakCallbackAfter<GrowthAssistantViewController>(
            ORBHelper::hideProgressHud, [](GrowthAssistantViewController& screen, const std::string& message) {
                std::make_shared<UIAlertView>("请求失败", message,
                    std::weak_ptr<UIAlertViewDelegate>(screen.weakSelf<GrowthAssistantViewController>()), "确定")
                    ->show();
            }));
}

void GrowthAssistantViewController::jumpArrived(const platform::Value& reply)
{
    ORBHelper::hideProgressHud();
    // Only a web page is shown: a script or a local file named here is not
    // the platform's page, and the view stays empty as for no address.
    std::optional<std::string> jumpUrl;
    if (const auto* text = reply["jumpUrl"].asString())
        jumpUrl = *text;
    if (auto address = addressOf(jumpUrl))
        setUrl(std::move(address));
}

void GrowthAssistantViewController::setUrl(std::optional<platform::Url> url)
{
    url_ = std::move(url);
    if (!url_ || !webView_)
        return;
    if (auto request = NSURLRequest::requestWithURL(url_->absoluteString()))
        webView_->loadRequest(*request);
}

void GrowthAssistantViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, false);
    webView_->setDelegate(std::weak_ptr<UIWebViewDelegate>(weakSelf<GrowthAssistantViewController>()));
}

void GrowthAssistantViewController::viewWillDisappear(bool animated)
{
    BaseViewController::viewWillDisappear(animated);
    webView_->stopLoading();
    webView_->setDelegate({});
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

void GrowthAssistantViewController::btnGoBackAction(UIControl*) { popViewController(); }

void GrowthAssistantViewController::alertViewClickedButton(UIAlertView*, long) { popViewController(); }

void GrowthAssistantViewController::webViewDidStartLoad(UIWebView*)
{
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(true);
}

void GrowthAssistantViewController::webViewDidFinishLoad(UIWebView*)
{
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

void GrowthAssistantViewController::webViewDidFailLoadWithError(UIWebView*, const platform::Error&)
{
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

} // namespace content
