#pragma once

#include "app/base/BaseViewController.h"
#include "platform/os/Url.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIWebView.h"

#include <memory>
#include <optional>

class UIControl;

namespace content {

// The growth assistant: the platform names the page of one fixed sale model,
// and the screen shows it. A refused request is told in an alert whose
// button closes the screen.
class GrowthAssistantViewController final : public BaseViewController,
                                            public UIWebViewDelegate,
                                            public UIAlertViewDelegate {
public:
    ORB_CLASS_NAME(GrowthAssistantViewController)

    static constexpr int kJumpRequest = 43;
    // Beyond 32 signed bits: it goes out as a 64-bit number.
    static constexpr long long kSaleModalId = 3622090001LL;

    GrowthAssistantViewController();

    const std::optional<platform::Url>& url() const { return url_; }
    // Stores the address and loads it.
    void setUrl(std::optional<platform::Url> url);
    const std::shared_ptr<UIWebView>& webView() const { return webView_; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    void btnGoBackAction(UIControl* sender);
    void alertViewClickedButton(UIAlertView*, long buttonIndex) override;
    void webViewDidStartLoad(UIWebView*) override;
    void webViewDidFinishLoad(UIWebView*) override;
    void webViewDidFailLoadWithError(UIWebView*, const platform::Error&) override;

private:
    void jumpArrived(const platform::Value& reply);

    std::optional<platform::Url> url_;
    std::shared_ptr<UIWebView> webView_;
};

} // namespace content
