#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Error.h"
#include "platform/uikit/NSURLRequest.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/WebPageLoader.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class UIScrollView;
class UIWebView;

enum UIWebViewNavigationType {
    UIWebViewNavigationTypeLinkClicked = 0,
    UIWebViewNavigationTypeFormSubmitted = 1,
    UIWebViewNavigationTypeBackForward = 2,
    UIWebViewNavigationTypeReload = 3,
    UIWebViewNavigationTypeFormResubmitted = 4,
    UIWebViewNavigationTypeOther = 5,
};

// Every method is optional: a web view without a delegate (or whose delegate
// has gone away) loads everything and tells no one.
class UIWebViewDelegate {
public:
    virtual ~UIWebViewDelegate() = default;
    virtual bool webViewShouldStartLoadWithRequest(UIWebView*, const NSURLRequest&, UIWebViewNavigationType)
    {
        return true;
    }
    virtual void webViewDidStartLoad(UIWebView*) { }
    virtual void webViewDidFinishLoad(UIWebView*) { }
    virtual void webViewDidFailLoadWithError(UIWebView*, const platform::Error&) { }
};

// Error domain and codes of failed loads, the phone's URL-loading numbers.
inline constexpr const char* UIWebViewErrorDomain = "NSURLErrorDomain";
inline constexpr long UIWebViewErrorUnsupportedURL = -1002;
inline constexpr long UIWebViewErrorFileDoesNotExist = -1100;
inline constexpr long UIWebViewErrorCannotConnectToHost = -1004;
inline constexpr long UIWebViewErrorHTTPTooManyRedirects = -1007;
// A redirect the delegate refused ends the load with this code.
inline constexpr const char* UIWebViewFrameLoadErrorDomain = "WebKitErrorDomain";
inline constexpr long UIWebViewErrorFrameLoadInterrupted = 102;

// A web page shown without a browser engine. Pages come from HTML strings,
// from files, or over http through the installed platform::WebPageLoader.
// There is no script engine: the view answers "document.title" from the
// page's <title>, understands the few scripts that change the page's address
// or blank its body, and records every script it is asked to evaluate.
//
// Every navigation (initial loads, link clicks, form submissions, addresses
// set by scripts, history moves, reloads, refused-or-not redirects) first asks
// the delegate. Everything a load reports reaches the delegate from the main
// loop, never from inside the call that started it: should-start, then
// did-start, then did-finish or did-fail. A newer navigation or stopLoading
// silences the one before it.
class UIWebView : public UIView {
public:
    UIWebView();
    explicit UIWebView(const platform::Rect& frame);
    ~UIWebView() override;

    ORB_CLASS_NAME(UIWebView)

    std::shared_ptr<UIWebViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIWebViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // ---- Loading -----------------------------------------------------------
    void loadRequest(const NSURLRequest& request);
    // The base resolves the page's relative links; without one they stay
    // unresolvable ("about:blank" is the page's address).
    void loadHTMLString(const std::string& html, const std::optional<platform::Url>& baseURL);
    void stopLoading();
    void reload();
    bool canGoBack() const { return historyIndex_ > 0; }
    bool canGoForward() const { return historyIndex_ >= 0 && historyIndex_ + 1 < long(history_.size()); }
    void goBack();
    void goForward();
    // The request of the page shown (or being loaded); nullopt before the first load.
    const std::optional<NSURLRequest>& request() const { return request_; }
    bool isLoading() const { return loading_; }
    bool scalesPageToFit() const { return scalesPageToFit_; }
    void setScalesPageToFit(bool scales) { scalesPageToFit_ = scales; }
    const std::shared_ptr<UIScrollView>& scrollView() const { return scrollView_; }

    // ---- Scripts -------------------------------------------------------------
    // "document.title" answers the page's title; "document.body.innerHTML='';"
    // blanks the body; an assignment of the page's address navigates (asking the
    // delegate as usual). Everything else answers "".
    std::string stringByEvaluatingJavaScriptFromString(const std::string& script);
    const std::vector<std::string>& evaluatedScripts() const { return scripts_; }

    // ---- What the page holds (tests and the renderer) ----------------------
    const std::string& html() const { return html_; }
    const std::optional<platform::Url>& baseURL() const { return baseURL_; }
    // The page's title with entities decoded and white space collapsed.
    std::string documentTitle() const;
    // The text of the body as a reader would see it (tags and scripts dropped).
    std::string documentText() const;
    // The status of the last page fetched over http; 0 for other pages.
    int lastStatusCode() const { return statusCode_; }

    // ---- What a person does on the page ------------------------------------
    // A click on a link to href (resolved against the page's address); false
    // when href does not resolve, in which case nothing happens.
    bool simulateLinkClick(const std::string& href);
    // A form sent with GET: the fields become the action's query.
    bool simulateFormSubmission(
        const std::string& action, const std::vector<std::pair<std::string, std::string>>& fields);

    void drawRect(platform::Context& context, const platform::Rect& rect) override;

    // Helpers exposed for the loader and tests: the title of a page's markup,
    // and markup with the five named entities and numeric references decoded.
    static std::string titleOfHTML(const std::string& html);
    static std::string decodeEntities(const std::string& text);

private:
    struct HistoryEntry {
        NSURLRequest request;
        std::optional<std::string> html; // pages given as strings
        std::optional<platform::Url> baseURL;
    };
    struct Navigation {
        HistoryEntry entry;
        UIWebViewNavigationType type = UIWebViewNavigationTypeOther;
        long historyTarget = -1; // back, forward and reload move to this entry
        int redirects = 0;
    };
    static constexpr int kMaximumRedirects = 16;
    void setUp();
    void startNavigation(Navigation navigation);
    void askAndLoad(std::uint64_t stopMark, Navigation navigation);
    void fetch(std::uint64_t generation, Navigation navigation);
    void fetchFinished(std::uint64_t generation, Navigation navigation, platform::WebPageResponse response);
    void finishLoad(const Navigation& navigation, std::string text);
    void failLoad(std::uint64_t generation, platform::Error error);
    std::optional<platform::Url> documentURL() const;
    bool navigateToReference(const std::string& reference, UIWebViewNavigationType type);

    std::weak_ptr<UIWebViewDelegate> delegate_;
    std::shared_ptr<UIScrollView> scrollView_;
    std::optional<NSURLRequest> request_;
    std::string html_;
    std::optional<platform::Url> baseURL_;
    int statusCode_ = 0;
    bool loading_ = false;
    bool scalesPageToFit_ = false;
    std::uint64_t generation_ = 0; // the load that may still report
    std::uint64_t stopCount_ = 0; // navigations asked for before a stop never start
    std::shared_ptr<platform::WebPageLoad> pendingLoad_;
    std::vector<HistoryEntry> history_;
    long historyIndex_ = -1;
    std::vector<std::string> scripts_;
};
