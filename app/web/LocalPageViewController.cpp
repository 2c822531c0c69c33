#include "app/web/LocalPageViewController.h"

#include "app/account/AccountScreenKit.h"
#include "core/session/MyAccountInfo.h"
#include "platform/os/Bundle.h"
#include "platform/os/FileUtil.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/overlay/ProgressOverlay.h"

namespace localpage {

platform::Url baseAddress()
{
    auto bundle = platform::Bundle::main();
    std::string folder = bundle ? bundle->resourcePath() : std::string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return platform::Url::fileUrl(folder);
}

std::optional<std::string> pageText(const std::string& folder, const std::string& name)
{
    auto bundle = platform::Bundle::main();
    if (!bundle)
        return std::nullopt;
    auto path = bundle->pathForResource(name, "html", "html/" + folder);
    if (!path)
        return std::nullopt;
    auto text = platform::FileUtil::readText(*path);
    if (!text || !platform::isValidUtf8(*text))
        return std::nullopt;
    return text;
}

std::string withAccountScript(std::string text)
{
    if (text.find(kAccountScriptPlaceholder) == std::string::npos)
        return text;
    return withScript(std::move(text), core::ORBHtml5Helper::getUserInfo());
}

std::string bridgePath(const NSURLRequest& request) { return request.mainDocumentURL.path(); }

std::optional<std::string> bridgeArgument(const NSURLRequest& request, const std::string& prefix)
{
    return callArgument(request.mainDocumentURL, prefix);
}

} // namespace localpage

LocalPageViewController::LocalPageViewController(
    std::string nibName, std::string folder, std::string name, PageOptions options)
    : BaseViewController(std::move(nibName))
    , folder_(std::move(folder))
    , name_(std::move(name))
    , options_(options)
{
}

void LocalPageViewController::setPage(std::string folder, std::string name)
{
    folder_ = std::move(folder);
    name_ = std::move(name);
}

void LocalPageViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("webView", webView_);
    bindings.optionalAction("btnGoBackAction:", &LocalPageViewController::btnGoBackAction);
}

void LocalPageViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    isSubView_ = false;
    setLeftItem(imageBarButton<LocalPageViewController>(
        "public_back_btn.png", "btnBack", &LocalPageViewController::btnGoBackAction));
    // A layout without its web view has been reported by the loader; the screen stays empty.
    if (!webView_)
        return;
    if (options_.shortOnSmallScreen)
        keepAtVisibleBottom(webView_);
    loadWebView();
    loading_.show(webView_);
}

void LocalPageViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController(); navigation && options_.showsNavigationBar)
        navigation->setNavigationBarHidden(false, animated);
    if (webView_)
        webView_->setDelegate(std::weak_ptr<UIWebViewDelegate>(weakSelf<LocalPageViewController>()));
}

void LocalPageViewController::viewDidDisappear(bool animated)
{
    BaseViewController::viewDidDisappear(animated);
    if (webView_) {
        webView_->stopLoading();
        webView_->setDelegate({});
    }
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

void LocalPageViewController::willMoveToParentViewController(UIViewController* parent)
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

void LocalPageViewController::loadWebView()
{
    if (!webView_)
        return;
    // A missing or unreadable page shows as an empty page; nothing is said.
    std::string text = localpage::pageText(folder_, name_).value_or("");
    if (options_.accountScript)
        text = localpage::withAccountScript(std::move(text));
    webView_->loadHTMLString(text, localpage::baseAddress());
}

void LocalPageViewController::btnGoBackAction(UIControl*)
{
    if (!isSubView_) {
        closeScreen();
        return;
    }
    if (webView_)
        webView_->stringByEvaluatingJavaScriptFromString(kGoBackScript);
    isSubView_ = false;
    secondLevelDidChange(false);
}

void LocalPageViewController::enterSecondLevel()
{
    isSubView_ = true;
    secondLevelDidChange(true);
}

void LocalPageViewController::closeScreen() { account::popScreen(*this); }

void LocalPageViewController::showLoadFailed()
{
    auto overlay = ProgressOverlay::showHUDAddedTo(view(), true);
    overlay->setAnimationType(ProgressOverlayAnimationZoom);
    overlay->setMode(ProgressOverlayModeText);
    overlay->setLabelText(kLoadFailedText);
    overlay->setRemoveFromSuperViewOnHide(true);
    overlay->hide(true, kLoadFailedHideDelay);
}

void LocalPageViewController::reloadOn(const std::string& notificationName)
{
    stopObserving(notificationName);
    observe(notificationName, &LocalPageViewController::reloadNotified);
}

void LocalPageViewController::reloadNotified(const platform::Notification&) { loadWebView(); }

bool LocalPageViewController::webViewShouldStartLoadWithRequest(
    UIWebView*, const NSURLRequest& request, UIWebViewNavigationType)
{
    return !bridgePathRequested(localpage::bridgePath(request), request);
}

void LocalPageViewController::webViewDidStartLoad(UIWebView*)
{
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(true);
}

void LocalPageViewController::webViewDidFinishLoad(UIWebView*)
{
    loading_.hide();
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

void LocalPageViewController::webViewDidFailLoadWithError(UIWebView*, const platform::Error& error)
{
    loading_.hide();
    UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
    pageDidFail(error);
}
