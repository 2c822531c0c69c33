#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Error.h"
#include "platform/uikit/NSURLRequest.h"
#include "platform/uikit/UIKeyInputTarget.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/WebEngine.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class UIPickerView;
class UIScrollView;
class UIToolbar;
class UIWebView;
class WebOptionList;

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

// A web page on the browser engine (see WebEngine.h): one engine view per web
// view, made on the first load, drawn into this view's layer. Pages come
// from HTML strings (file:// bases inside the application's resources are
// served from there), from http and https, and from the resources folder;
// anything else fails without asking the delegate.
//
// Every top-level navigation (initial loads, link clicks, form submissions,
// addresses set by scripts, history moves, reloads, redirects) first asks the
// delegate, with the main document's address, so a navigation inside a frame
// is told apart by an address that differs from the main document's. What a
// load reports reaches the delegate from the main loop, never from inside the
// call that started it: should-start, then did-start, then did-finish or
// did-fail. A newer navigation or stopLoading silences the one before it.
// The engine's page behind a view is made by its first load, and while a
// window draws the screen (ScreenFrames) only after the window's next frame:
// making it holds the main loop, on the first page for a long while.
class UIWebView : public UIView, public UIKeyInputTarget, private platform::WebEngineClient {
public:
    UIWebView();
    explicit UIWebView(const platform::Rect& frame);
    ~UIWebView() override;

    ORB_CLASS_NAME(UIWebView)

    std::shared_ptr<UIWebViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIWebViewDelegate> delegate) { delegate_ = std::move(delegate); }

    // ---- Loading -----------------------------------------------------------
    void loadRequest(const NSURLRequest& request);
    // The base resolves the page's relative references; without one the
    // page's address is "about:blank".
    void loadHTMLString(const std::string& html, const std::optional<platform::Url>& baseURL);
    void stopLoading();
    // Reloads the page; a page whose request ignored the caches does so again.
    void reload();
    bool canGoBack() const;
    bool canGoForward() const;
    void goBack();
    void goForward();
    // The request of the page shown (or being loaded); nullopt before the first load.
    const std::optional<NSURLRequest>& request() const { return request_; }
    bool isLoading() const { return loading_; }
    bool scalesPageToFit() const { return scalesPageToFit_; }
    void setScalesPageToFit(bool scales) { scalesPageToFit_ = scales; }
    const std::shared_ptr<UIScrollView>& scrollView() const { return scrollView_; }

    // ---- The engine's caches (shared by every web view) -------------------------
    // Forgets what the engine's memory and disk caches hold for the
    // address's host (for every site when it has none), as a page's owner
    // empties the URL cache on leaving it. Waits for the engine a few
    // seconds at most; false when it did not finish. Before the first page
    // no engine runs and nothing is cached.
    static bool removeCachedResponsesForSite(const platform::Url& address);
    // The same for every site.
    static bool removeAllCachedResponses();
    // How many times that was asked for in this process.
    static unsigned long cachePurgeCount();

    // ---- Scripts -------------------------------------------------------------
    // Runs the script in the page and answers its result as text (strings,
    // numbers, booleans); "" for other results, for a script that throws, and
    // before any page is loaded. Waits for the engine, at most a few seconds.
    std::string stringByEvaluatingJavaScriptFromString(const std::string& script);
    const std::vector<std::string>& evaluatedScripts() const { return scripts_; }

    // ---- What the page holds -------------------------------------------------
    const std::optional<platform::Url>& baseURL() const { return baseURL_; }
    std::string documentTitle() const;
    // The text of the body as a reader sees it.
    std::string documentText() const;
    // The status of the last page fetched over http; 0 for other pages.
    int lastStatusCode() const { return statusCode_; }
    // Whether the engine's page behind this view has been made: it is, on a
    // turn after the first load was asked for, once the window has shown the
    // screen (see ScreenFrames).
    bool engineStarted() const { return engine_ != nullptr; }
    // Why the engine could not start, when it could not.
    const std::optional<platform::Error>& engineError() const { return engineError_; }

    // ---- What a person does on the page ------------------------------------
    // A click on a link to href (resolved against the page's address); false
    // when href does not resolve or no page is shown, and nothing happens.
    bool simulateLinkClick(const std::string& href);
    // A form sent with GET: the fields become the action's query.
    bool simulateFormSubmission(
        const std::string& action, const std::vector<std::pair<std::string, std::string>>& fields);
    // A tap on the page at a point of this view. A tap on a field of the
    // page makes the web view first responder (the keyboard's text goes to
    // that field); a tap elsewhere on the page gives the focus up.
    void tapPage(const platform::Point& point);
    // Text from the keyboard or an input method, into the page's focused field.
    void insertText(const std::string& text) override;
    void deleteBackward() override;
    // The Return key, as the page's field receives it (a form is sent by it).
    void pressReturnKey() override;
    // The arrows, Home and End move the caret in the page's field.
    void pressCaretKey(const std::string& keyName) override;

    bool canBecomeFirstResponder() const override { return pageFieldFocused_; }

    // A drop-down of the page (a <select>) opens as the phone's picker in the
    // keyboard's place, under a bar of 取消 and 完成: 完成 gives the page the
    // option the wheel stands on, 取消 (or the focus going elsewhere) keeps
    // its choice. The keyboard area holds them while the drop-down is open.
    bool wantsKeyboard() const override { return optionMenuOpen_; }
    double keyboardHeight() const override;
    std::shared_ptr<UIView> inputView() const override;
    std::shared_ptr<UIView> inputAccessoryView() const override;
    bool isShowingOptionMenu() const { return optionMenuOpen_; }
    const std::shared_ptr<UIPickerView>& optionPicker() const { return optionPicker_; }
    // What the bar's buttons do.
    void chooseShownOption();
    void cancelOptionMenu();

    // Waits for the engine to paint the page as it is now (tests, screenshots);
    // false when no picture came in time.
    bool updateDrawing(double timeoutSeconds = 5);

    void drawRect(platform::Context& context, const platform::Rect& rect) override;

private:
    void setUp();
    bool ensureEngine();
    void startLoad(std::uint64_t stopMark, std::function<void()> load);
    void failNow(const platform::Error& error);
    std::optional<platform::Url> documentURL() const;
    std::optional<platform::Url> resolve(const std::string& reference) const;
    std::string evaluate(const std::string& script) const;
    void pageDidLayOut();
    void scrollPageTo(const platform::Point& offset);

    void engineDecideNavigation(const platform::WebNavigation& navigation, std::function<void(bool)> decide) override;
    void engineDidStart() override;
    void engineDidFinish() override;
    void engineDidFail(const platform::Error& error) override;
    void engineDidDraw(const platform::Rect& changed) override;
    void engineShowOptionMenu(const std::vector<platform::WebOption>& options) override;
    void engineOptionMenuClosed() override;
    void didResignFirstResponder() override;
    void endOptionMenu();

    friend class UIWebViewScrollView;
    std::weak_ptr<UIWebViewDelegate> delegate_;
    std::shared_ptr<UIScrollView> scrollView_;
    std::unique_ptr<platform::WebEngineView> engine_;
    std::optional<platform::Error> engineError_;
    std::optional<NSURLRequest> request_;
    std::optional<NSURLRequest> allowedRequest_;
    // The cache policy of the last load asked for by address.
    NSURLRequestCachePolicy cachePolicy_ = NSURLRequestUseProtocolCachePolicy;
    std::optional<platform::Url> baseURL_;
    std::optional<platform::Url> pendingBaseURL_;
    int statusCode_ = 0;
    bool loading_ = false;
    bool awaitingStart_ = false;
    bool scalesPageToFit_ = false;
    bool syncingScroll_ = false;
    bool pageFieldFocused_ = false; // a tap focused a field of the page
    std::uint64_t stopCount_ = 0; // navigations asked for before a stop never start
    std::vector<std::string> scripts_;
    // The page's open drop-down: its options on the picker, the bar above it.
    bool optionMenuOpen_ = false;
    std::shared_ptr<WebOptionList> optionList_;
    std::shared_ptr<UIPickerView> optionPicker_;
    std::shared_ptr<UIToolbar> optionBar_;
};
