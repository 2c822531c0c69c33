#pragma once

#include "app/base/BaseViewController.h"
#include "app/web/LocalPageBridge.h"
#include "app/web/PageLoadingIndicator.h"
#include "platform/uikit/UIWebView.h"

#include <memory>
#include <optional>
#include <string>

class UIControl;

// Pages shipped among the application's resources (html/<folder>/<name>.html):
// where they are, how they are read, and how they call native code.
namespace localpage {

// The resources folder as a file address ending in "/": the base of every
// page, so a page's relative references (the shared styles and scripts under
// html/) resolve against the resources, not against the page's own folder.
platform::Url baseAddress();

// The page's text, or nullopt when the file is missing or not UTF-8.
std::optional<std::string> pageText(const std::string& folder, const std::string& name);

// The text with every placeholder replaced by the current account's script.
std::string withAccountScript(std::string text);

// The path a navigation asks for: the main document's path, percent escapes
// decoded. A navigation inside a frame keeps the main document's address, so
// a frame never reaches native code.
std::string bridgePath(const NSURLRequest& request);

// What follows `prefix` in the main document's address, its query included,
// percent escapes decoded once (callArgument); nullopt when the path does not
// start with the prefix.
std::optional<std::string> bridgeArgument(const NSURLRequest& request, const std::string& prefix);

} // namespace localpage

// The screen of one local page: reads the page, puts the account script in
// place, loads it against the resources folder, and hands each navigation's
// path to the screen (bridgePathRequested) before the engine goes on. Keeps
// the network activity indicator while the page loads, puts it away and
// stops listening when another screen covers it, and keeps the page's
// second level: the back button first asks the page to go back to its first
// level (goBackToFirstView()), and closes the screen only at the first level.
class LocalPageViewController : public BaseViewController, public UIWebViewDelegate {
public:
    static constexpr const char* kReturnPath = "/Main/return";
    static constexpr const char* kGoBackScript = "goBackToFirstView()";
    static constexpr const char* kLoadFailedText = "数据加载失败";
    static constexpr double kLoadFailedHideDelay = 1.6;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    void willMoveToParentViewController(UIViewController* parent) override;

    // Reads the page again and loads it, with a freshly built account script.
    void loadWebView();
    void btnGoBackAction(UIControl* sender);

    bool webViewShouldStartLoadWithRequest(UIWebView*, const NSURLRequest&, UIWebViewNavigationType) override;
    void webViewDidStartLoad(UIWebView*) override;
    void webViewDidFinishLoad(UIWebView*) override;
    void webViewDidFailLoadWithError(UIWebView*, const platform::Error&) override;

    // Whether the page shows its second level.
    bool isSubView() const { return isSubView_; }
    const std::string& pageFolder() const { return folder_; }
    const std::string& pageName() const { return name_; }
    const std::shared_ptr<UIWebView>& webView() const { return webView_; }

protected:
    struct PageOptions {
        bool accountScript = true; // false: the text is loaded as read
        bool shortOnSmallScreen = true; // the page ends at the foot of the screen on either screen
        bool showsNavigationBar = true; // shown again each time the screen appears
    };
    LocalPageViewController(std::string nibName, std::string folder, std::string name, PageOptions options);
    LocalPageViewController(std::string nibName, std::string folder, std::string name)
        : LocalPageViewController(std::move(nibName), std::move(folder), std::move(name), PageOptions {})
    {
    }

    // Which page the next load reads.
    void setPage(std::string folder, std::string name);

    // A navigation's decoded path: true when the screen answered it (the load
    // is cancelled), false to let it load.
    virtual bool bridgePathRequested(const std::string& path, const NSURLRequest& request) = 0;
    // The page has gone to its second level, or come back from it.
    virtual void secondLevelDidChange(bool /*isSubView*/) { }
    // After the indicator is put away; nothing by default.
    virtual void pageDidFail(const platform::Error&) { }

    // The page reported its second level.
    void enterSecondLevel();
    // The text-only overlay on the screen's own view, "数据加载失败".
    void showLoadFailed();
    // Closes the screen (animated).
    void closeScreen();
    // Reloads the page on every notification of that name; observing again
    // replaces the earlier observation, so however often the screen asks, a
    // notification reloads the page once.
    void reloadOn(const std::string& notificationName);
    void setSubView(bool isSubView) { isSubView_ = isSubView; }

private:
    void reloadNotified(const platform::Notification&);

    std::string folder_;
    std::string name_;
    PageOptions options_;
    bool isSubView_ = false;
    std::shared_ptr<UIWebView> webView_;
    // Over the page from the screen's first frame until its first load ends.
    PageLoadingIndicator loading_;
};
