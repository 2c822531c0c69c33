#pragma once

#include "app/base/BaseViewController.h"
#include "platform/uikit/UIWebView.h"

#include <memory>

class ProgressOverlay;
class UIControl;

// "更新历史": the server's history page for the installed version.
class VersionHistoryViewController final : public BaseViewController, public UIWebViewDelegate {
public:
    ORB_CLASS_NAME(VersionHistoryViewController)

    static constexpr double kFailureHideDelay = 1.6;

    VersionHistoryViewController();
    explicit VersionHistoryViewController(std::string nibName);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void webViewDidFinishLoad(UIWebView*) override;
    void webViewDidFailLoadWithError(UIWebView*, const platform::Error&) override;
    void btnBackTouchUpInside(UIControl* sender);

    // The page of a version: "…mobile2/pull/f/version/<version with "." as "_">".
    static std::string historyAddress(const std::string& serverBase, const std::string& version);

private:
    std::shared_ptr<ProgressOverlay> hud_;
    std::shared_ptr<UIWebView> webView_;
};
