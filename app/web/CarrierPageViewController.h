#pragma once

#include "app/base/BaseViewController.h"
#include "app/web/PageLoadingIndicator.h"
#include "platform/uikit/UIWebView.h"

#include <memory>
#include <string>

class UIControl;

// What the carrier's three web service screens share: a fixed page in the
// web view of the screen's layout, the network activity indicator on while
// it loads, and the load stopped when the screen leaves.
class CarrierPageViewController : public BaseViewController, public UIWebViewDelegate {
public:
    static constexpr const char* kFailedTitle = "载入失败";

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void willMoveToParentViewController(UIViewController* parent) override;

    void webViewDidStartLoad(UIWebView*) override;
    void webViewDidFinishLoad(UIWebView*) override;
    void webViewDidFailLoadWithError(UIWebView*, const platform::Error&) override;
    void btnGoBackAction(UIControl* sender);

    const std::string& url() const { return url_; }

protected:
    CarrierPageViewController(std::string nibName, std::string title, std::string url);

private:
    std::string pageTitle_;
    std::string url_;
    std::shared_ptr<UIWebView> webView_;
    // Over the page from the screen's first frame until its first load ends.
    PageLoadingIndicator loading_;
};

// "鸽笺": the carrier's instant messaging.
class PigeonViewController final : public CarrierPageViewController {
public:
    ORB_CLASS_NAME(PigeonViewController)
    PigeonViewController();
};

// "畅谈": the group chat of the same service.
class ParleyViewController final : public CarrierPageViewController {
public:
    ORB_CLASS_NAME(ParleyViewController)
    ParleyViewController();
};

// "Nimbus邮箱": the carrier's mail.
class EmailNimbusViewController final : public CarrierPageViewController {
public:
    ORB_CLASS_NAME(EmailNimbusViewController)
    EmailNimbusViewController();
};
