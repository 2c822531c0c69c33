#pragma once

#include "app/base/BaseViewController.h"
#include "foundation/http/HTTPRequestDelegate.h"
#include "platform/uikit/UIWebView.h"
#include "ui/ORBHelper.h"

#include <memory>
#include <optional>
#include <string>

class UIControl;

// A web page inside the application, for an address its creator gives:
// a loading view while it loads, an error view when it fails, the page's
// own title, and (chosen by a navigation type) two page addresses that the
// screen answers itself.
class ORBWebViewController final : public BaseViewController,
                                   public UIWebViewDelegate,
                                   public foundation::HTTPRequestDelegate {
public:
    ORB_CLASS_NAME(ORBWebViewController)

    // Navigation types with an interception rule.
    static constexpr int kNavTypeCtd = 2;
    static constexpr int kNavTypeAskLeave = 26;
    static constexpr const char* kCtdOpenPath = "/ctd/ctdOpen";
    static constexpr const char* kAskLeaveBackPath = "/mobile/askleave/back";
    static constexpr double kPanelHeight = 300;

    ORBWebViewController();
    explicit ORBWebViewController(std::string nibName);

    // Set by the creator before the view loads.
    const std::optional<platform::Url>& loadUrl() const { return loadUrl_; }
    void setLoadUrl(std::optional<platform::Url> url) { loadUrl_ = std::move(url); }
    int navType() const { return navType_; }
    void setNavType(int type) { navType_ = type; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void willMoveToParentViewController(UIViewController* parent) override;

    bool webViewShouldStartLoadWithRequest(UIWebView*, const NSURLRequest&, UIWebViewNavigationType) override;
    void webViewDidStartLoad(UIWebView*) override;
    void webViewDidFinishLoad(UIWebView*) override;
    void webViewDidFailLoadWithError(UIWebView*, const platform::Error&) override;

    void openCTDSuccess(const foundation::HTTPRequestPtr& request);
    void requestFail(const foundation::HTTPRequestPtr& request);
    void backAction(UIControl* sender);

private:
    void showLoadingView();
    void removePanels();

    std::shared_ptr<UIView> loadingView_;
    std::shared_ptr<UIView> errorView_;
    platform::Rect viewRect_;
    std::optional<NSURLRequest> request_;
    std::optional<platform::Url> loadUrl_;
    int navType_ = 0;
    std::shared_ptr<UIWebView> webView_;
    // The opening request is cancelled with the screen, unheard: its overlay goes too.
    ProgressHudHold openingHud_;
};
