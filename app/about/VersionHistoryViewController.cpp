#include "app/about/VersionHistoryViewController.h"

#include "core/session/ORBEndpoints.h"
#include "platform/os/Bundle.h"
#include "platform/os/Log.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/controls/UIWebViewHelper.h"
#include "ui/overlay/ProgressOverlay.h"

#include <algorithm>

VersionHistoryViewController::VersionHistoryViewController()
    : VersionHistoryViewController(std::string(kClassName))
{
}

VersionHistoryViewController::VersionHistoryViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
{
    setTitle("更新历史");
}

void VersionHistoryViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("webView", webView_);
    // A back button of the page itself; this layout has none (the bar goes back).
    bindings.optionalAction("btnBackTouchUpInside:", &VersionHistoryViewController::btnBackTouchUpInside);
}

std::string VersionHistoryViewController::historyAddress(const std::string& serverBase, const std::string& version)
{
    std::string underscored = version;
    std::replace(underscored.begin(), underscored.end(), '.', '_');
    return serverBase + "mobile2/pull/" + "f/version" + "/" + underscored;
}

void VersionHistoryViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    hud_ = std::make_shared<ProgressOverlay>(view()->bounds());
    hud_->setAnimationType(ProgressOverlayAnimationZoom);
    view()->addSubview(hud_);
    UIWebViewHelper::setBackgroundTransparent(*webView_);
    UIWebViewHelper::setShadowHidden(*webView_, true);
    webView_->setDelegate(self<VersionHistoryViewController>());
    hud_->setMode(ProgressOverlayModeSpinner);
    hud_->setLabelText("载入中");
    hud_->show(true);
    std::string address = historyAddress(
        core::ORBEndpoints::serverBase(), platform::Bundle::main()->buildVersion().value_or(""));
    platform::log("url:%s\n", address.c_str());
    if (auto request = NSURLRequest::requestWithURL(address))
        webView_->loadRequest(*request);
}

void VersionHistoryViewController::webViewDidFinishLoad(UIWebView*) { hud_->hide(true); }

void VersionHistoryViewController::webViewDidFailLoadWithError(UIWebView*, const platform::Error&)
{
    hud_->setMode(ProgressOverlayModeText);
    hud_->setLabelText("载入失败");
    hud_->hide(true, kFailureHideDelay);
}

void VersionHistoryViewController::btnBackTouchUpInside(UIControl*)
{
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}
