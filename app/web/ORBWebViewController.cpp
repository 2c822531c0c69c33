#include "app/web/ORBWebViewController.h"

#include "app/account/AccountScreenKit.h"
#include "core/network/builders/ORBNavControl.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/ORBHelper.h"

using foundation::HTTPRequest;
using foundation::HTTPRequestPtr;
using foundation::RequestSelector;

namespace {

// What an answer of the opening request says, when it is a JSON object.
std::optional<platform::Value> replyObject(const HTTPRequest& request)
{
    auto text = request.responseString();
    if (!text)
        return std::nullopt;
    auto parsed = platform::PlatformJson::read(*text);
    if (!parsed || !parsed->isDictionary())
        return std::nullopt;
    return parsed;
}

} // namespace

ORBWebViewController::ORBWebViewController()
    : ORBWebViewController(std::string(kClassName))
{
}

ORBWebViewController::ORBWebViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
{
}

void ORBWebViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("webView", webView_);
    // A back button of the page itself; this layout has none (the bar's goes back).
    bindings.optionalAction("backAction:", &ORBWebViewController::backAction);
}

void ORBWebViewController::viewDidLoad()
{
    platform::log("URL:%s\n", loadUrl_ ? loadUrl_->absoluteString().c_str() : "(none)");
    setLeftItem(imageBarButton<ORBWebViewController>("public_back_btn.png", "btnBack", &ORBWebViewController::backAction));
    if (loadUrl_) {
        // The page comes from its server each time: the engine's cache model
        // keeps no pages, and going back empties what it kept on the way. The
        // request itself asks nothing of the caches on the wire.
        request_ = NSURLRequest(*loadUrl_);
        webView_->loadRequest(*request_);
        // The first frame of the screen already shows the page coming, under
        // the title its creator gave: the load itself starts a moment later
        // (on the first page, once the web engine is up).
        showLoadingView();
    }
    viewRect_ = view()->frame();
    // The screen's view is sized by its container; the page of a leave
    // request fills it to the foot on either screen.
    if (navType_ == kNavTypeAskLeave)
        keepAtVisibleBottom(webView_);
    BaseViewController::viewDidLoad();
}

void ORBWebViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    webView_->setDelegate(std::weak_ptr<UIWebViewDelegate>(weakSelf<ORBWebViewController>()));
    if (navType_ != kNavTypeAskLeave) {
        if (auto navigation = navigationController())
            navigation->setNavigationBarHidden(false, true);
    }
}

void ORBWebViewController::willMoveToParentViewController(UIViewController* parent)
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

bool ORBWebViewController::webViewShouldStartLoadWithRequest(UIWebView*, const NSURLRequest& request, UIWebViewNavigationType)
{
    const std::string path = request.mainDocumentURL.path();
    if (navType_ == kNavTypeAskLeave) {
        if (path == kAskLeaveBackPath)
            account::popScreen(*this);
        return true;
    }
    if (navType_ == kNavTypeCtd && path == kCtdOpenPath) {
        platform::log("open ctd\n");
        auto opening = core::ORBNavControl::openCTDWithDelegate(weakSelf<ORBWebViewController>(),
            RequestSelector::method(&ORBWebViewController::openCTDSuccess),
            RequestSelector::method(&ORBWebViewController::requestFail));
        startRequest(opening);
        openingHud_ = ProgressHudHold(ORBHelper::showProgressHud("正在开通CTD业务", false, false));
        return false;
    }
    return true;
}

void ORBWebViewController::removePanels()
{
    if (loadingView_)
        loadingView_->removeFromSuperview();
    if (errorView_)
        errorView_->removeFromSuperview();
    loadingView_.reset();
    errorView_.reset();
}

void ORBWebViewController::showLoadingView()
{
    // Each load shows one loading view, whatever the last load left.
    removePanels();
    loadingView_ = ORBHelper::loadingView(
        platform::Rect(0, 0, view()->bounds().width(), kPanelHeight), "正在努力加载中...", true);
    view()->addSubview(loadingView_);
}

void ORBWebViewController::webViewDidStartLoad(UIWebView*)
{
    setTitle("加载中...");
    showLoadingView();
}

void ORBWebViewController::webViewDidFinishLoad(UIWebView* webView)
{
    std::string title = webView->stringByEvaluatingJavaScriptFromString("document.title");
    setTitle(title.empty() ? "网页展示" : title);
    removePanels();
}

void ORBWebViewController::webViewDidFailLoadWithError(UIWebView*, const platform::Error&)
{
    setTitle("加载失败");
    removePanels();
    errorView_ = ORBHelper::errorView(platform::Rect(0, 0, view()->bounds().width(), kPanelHeight), "加载出错，请重新再试");
    view()->addSubview(errorView_);
}

void ORBWebViewController::openCTDSuccess(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request))
        return;
    auto reply = replyObject(*request);
    // The opening overlay stays until told otherwise: every answer ends it.
    if (!reply) {
        ORBHelper::showProgressHud("数据错误", false, true);
        return;
    }
    if ((*reply)["resultState"].intValue() == 1) {
        ORBHelper::showProgressHud("业务开通成功", false, true);
        webView_->reload();
    } else {
        ORBHelper::showProgressHud((*reply)["resultMsg"].stringValue(), false, true);
    }
}

void ORBWebViewController::requestFail(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request))
        return;
    auto reply = replyObject(*request);
    ORBHelper::showProgressHud(reply ? (*reply)["resultMsg"].stringValue() : "服务连接出错，请重试", false, true);
}

void ORBWebViewController::backAction(UIControl*)
{
    webView_->setDelegate({});
    webView_->stringByEvaluatingJavaScriptFromString("document.body.innerHTML='';");
    // Whatever the engine cached on the way goes with the page.
    webView_->stopLoading();
    UIWebView::removeAllCachedResponses();
    account::popScreen(*this);
}
