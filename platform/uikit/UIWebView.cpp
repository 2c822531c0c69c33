#include "platform/uikit/UIWebView.h"

#include "platform/graphics/Context.h"
#include "platform/os/Bundle.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/ScreenFrames.h"
#include "platform/uikit/TextInputSupport.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIToolbar.h"
#include "platform/uikit/UITouch.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

using platform::Url;

namespace {

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

platform::Error loadError(const char* domain, long code, const std::string& description, const std::string& url)
{
    platform::Dictionary info;
    info.set("NSLocalizedDescription", platform::Value(description));
    if (!url.empty())
        info.set("NSErrorFailingURLStringKey", platform::Value(url));
    return platform::Error(domain, code, std::move(info));
}

std::string trimmedEnd(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.pop_back();
    return text;
}

// Whether a file address lies inside the application's resources folder.
bool isResourceFile(const Url& url)
{
    auto bundle = platform::Bundle::main();
    if (!bundle)
        return false;
    char root[PATH_MAX];
    char file[PATH_MAX];
    auto rootPath = bundle->resourcePath();
    if (rootPath.empty() || !realpath(rootPath.c_str(), root) || !realpath(url.path().c_str(), file))
        return false;
    std::string r = root, f = file;
    return f.size() > r.size() && f.compare(0, r.size(), r) == 0 && f[r.size()] == '/'
        && platform::FileUtil::isRegularFile(f);
}

} // namespace

// The options of a page's open drop-down, as its picker's one wheel shows them.
class WebOptionList final : public UIPickerViewDataSource, public UIPickerViewDelegate {
public:
    explicit WebOptionList(std::vector<platform::WebOption> options)
        : options(std::move(options))
    {
    }
    long numberOfComponentsInPickerView(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long) override { return long(options.size()); }
    std::string titleForRow(UIPickerView*, long row, long) override
    {
        return row >= 0 && row < long(options.size()) ? options[std::size_t(row)].label : std::string();
    }

    std::vector<platform::WebOption> options;
};

// The web view's scroll view moves the page, and taps on it reach the page.
class UIWebViewScrollView final : public UIScrollView {
public:
    UIWebViewScrollView(UIWebView& owner, const platform::Rect& frame)
        : UIScrollView(frame)
        , owner_(owner)
    {
    }
    void contentOffsetDidChange() override { owner_.scrollPageTo(contentOffset()); }
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override
    {
        moved_ = false;
        UIScrollView::touchesBegan(touches, event);
    }
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override
    {
        moved_ = true;
        UIScrollView::touchesMoved(touches, event);
    }
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override
    {
        UIScrollView::touchesEnded(touches, event);
        if (!moved_ && touches.size() == 1 && !isDragging())
            owner_.tapPage(touches.front()->locationInView(&owner_));
    }

private:
    UIWebView& owner_;
    bool moved_ = false;
};

UIWebView::UIWebView()
    : UIView()
{
    setUp();
}

UIWebView::UIWebView(const platform::Rect& frame)
    : UIView(frame)
{
    setUp();
}

UIWebView::~UIWebView() = default;

void UIWebView::setUp()
{
    setBackgroundColor(platform::Color::whiteColor());
    setOpaque(true);
    auto b = bounds();
    scrollView_ = std::make_shared<UIWebViewScrollView>(*this, platform::Rect(0, 0, b.width(), b.height()));
    scrollView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    scrollView_->setBackgroundColor(platform::Color::clearColor());
    addSubview(scrollView_);
}

bool UIWebView::ensureEngine()
{
    if (engine_)
        return true;
    platform::Error error;
    auto b = bounds();
    engine_ = platform::WebEngineView::create(*this, platform::Size(std::max(1.0, b.width()), std::max(1.0, b.height())),
        UIScreen::mainScreen()->scale(), &error);
    if (!engine_) {
        engineError_ = error;
        platform::log("UIWebView: %s\n", error.localizedDescription().c_str());
        return false;
    }
    return true;
}

// ---- Loading -------------------------------------------------------------------

void UIWebView::startLoad(std::uint64_t stopMark, std::function<void()> load)
{
    // Nothing happens inside the caller's call: the engine is asked on a
    // later turn of the loop, unless stopLoading ran meanwhile or the view
    // has gone.
    std::weak_ptr<UIResponder> weakSelf = weak_from_this();
    auto begin = [weakSelf, stopMark, load = std::move(load)] {
        auto self = std::static_pointer_cast<UIWebView>(weakSelf.lock());
        if (!self || stopMark != self->stopCount_)
            return;
        if (!self->ensureEngine()) {
            self->failNow(*self->engineError_);
            return;
        }
        self->engine_->syncCookies();
        load();
    };
    if (engine_) {
        platform::postToMain(std::move(begin));
        return;
    }
    // Making the engine's page holds the main loop a long while (on the
    // first page the engine's libraries, its display connection and its
    // processes start): it waits until the window shows what led here, a
    // screen just pushed with its loading view, rather than freezing the
    // screen the person tapped on.
    platform::ScreenFrames::afterNextFrame(std::move(begin));
}

void UIWebView::failNow(const platform::Error& error)
{
    loading_ = false;
    awaitingStart_ = false;
    if (auto delegate = delegate_.lock())
        delegate->webViewDidFailLoadWithError(this, error);
}

void UIWebView::loadRequest(const NSURLRequest& request)
{
    std::weak_ptr<UIResponder> weakSelf = weak_from_this();
    auto scheme = lowered(request.URL.scheme());
    if (scheme == "file" && !isResourceFile(request.URL)) {
        // Pages may only come from the resources folder: anything else is as
        // good as missing, and the delegate is never asked.
        auto error = loadError(UIWebViewErrorDomain, UIWebViewErrorFileDoesNotExist,
            "The requested URL was not found on this server.", request.URL.absoluteString());
        platform::postToMain([weakSelf, stopMark = stopCount_, error] {
            auto self = std::static_pointer_cast<UIWebView>(weakSelf.lock());
            if (self && stopMark == self->stopCount_)
                self->failNow(error);
        });
        return;
    }
    if (scheme != "http" && scheme != "https" && scheme != "file") {
        auto error = loadError(
            UIWebViewErrorDomain, UIWebViewErrorUnsupportedURL, "unsupported URL", request.URL.absoluteString());
        platform::postToMain([weakSelf, stopMark = stopCount_, error] {
            auto self = std::static_pointer_cast<UIWebView>(weakSelf.lock());
            if (self && stopMark == self->stopCount_)
                self->failNow(error);
        });
        return;
    }
    startLoad(stopCount_, [this, request] {
        pendingBaseURL_ = std::nullopt;
        cachePolicy_ = request.cachePolicy;
        engine_->loadURL(request.URL, request.HTTPMethod, request.HTTPBody,
            request.cachePolicy == NSURLRequestReloadIgnoringLocalCacheData);
    });
}

void UIWebView::loadHTMLString(const std::string& html, const std::optional<platform::Url>& baseURL)
{
    startLoad(stopCount_, [this, html, baseURL] {
        pendingBaseURL_ = baseURL;
        cachePolicy_ = NSURLRequestUseProtocolCachePolicy;
        engine_->loadHTML(html, baseURL);
    });
}

void UIWebView::stopLoading()
{
    ++stopCount_;
    awaitingStart_ = false;
    loading_ = false;
    if (engine_)
        engine_->stop();
}

void UIWebView::reload()
{
    if (!engine_)
        return;
    startLoad(stopCount_, [this] { engine_->reload(cachePolicy_ == NSURLRequestReloadIgnoringLocalCacheData); });
}

bool UIWebView::canGoBack() const { return engine_ && engine_->canGoBack(); }
bool UIWebView::canGoForward() const { return engine_ && engine_->canGoForward(); }

void UIWebView::goBack()
{
    if (canGoBack())
        startLoad(stopCount_, [this] { engine_->goBack(); });
}

void UIWebView::goForward()
{
    if (canGoForward())
        startLoad(stopCount_, [this] { engine_->goForward(); });
}

// ---- The engine's caches ------------------------------------------------------------

namespace {
unsigned long cachePurges = 0;
}

bool UIWebView::removeCachedResponsesForSite(const platform::Url& address)
{
    ++cachePurges;
    return platform::removeWebEngineCachedResources(lowered(address.host()));
}

bool UIWebView::removeAllCachedResponses()
{
    ++cachePurges;
    return platform::removeWebEngineCachedResources("");
}

unsigned long UIWebView::cachePurgeCount() { return cachePurges; }

// ---- What the engine reports ---------------------------------------------------------

void UIWebView::engineDecideNavigation(const platform::WebNavigation& navigation, std::function<void(bool)> decide)
{
    NSURLRequest request(navigation.url);
    request.mainDocumentURL = navigation.mainDocumentURL;
    request.HTTPMethod = navigation.method;
    auto stopMark = stopCount_;
    bool allowed = true;
    if (auto delegate = delegate_.lock())
        allowed = delegate->webViewShouldStartLoadWithRequest(
            this, request, static_cast<UIWebViewNavigationType>(navigation.type));
    if (stopMark != stopCount_)
        allowed = false; // the delegate stopped loading while deciding
    if (navigation.mainFrame) {
        if (navigation.redirect && loading_) {
            if (allowed) {
                request_ = request;
            } else {
                // A refused redirect ends the load as interrupted.
                decide(false);
                if (engine_)
                    engine_->stop();
                failNow(loadError(UIWebViewFrameLoadErrorDomain, UIWebViewErrorFrameLoadInterrupted,
                    "Frame load interrupted", request.URL.absoluteString()));
                return;
            }
        } else if (allowed) {
            allowedRequest_ = request;
            awaitingStart_ = true;
        }
    }
    decide(allowed);
}

void UIWebView::engineDidStart()
{
    if (!awaitingStart_)
        return;
    awaitingStart_ = false;
    loading_ = true;
    request_ = allowedRequest_;
    if (auto delegate = delegate_.lock())
        delegate->webViewDidStartLoad(this);
}

void UIWebView::engineDidFinish()
{
    if (!loading_)
        return;
    loading_ = false;
    statusCode_ = engine_ ? engine_->statusCode() : 0;
    if (request_ && lowered(request_->URL.scheme()) != "about")
        baseURL_ = pendingBaseURL_ ? pendingBaseURL_ : std::optional<Url>(request_->URL);
    pendingBaseURL_ = std::nullopt;
    pageDidLayOut();
    setNeedsDisplay();
    if (auto delegate = delegate_.lock())
        delegate->webViewDidFinishLoad(this);
}

void UIWebView::engineDidFail(const platform::Error& error)
{
    // Cancelled loads are the ones a newer navigation or stopLoading replaced.
    if (error.code() == -999 && error.domain() == UIWebViewErrorDomain)
        return;
    bool refusedScheme = error.code() == UIWebViewErrorUnsupportedURL && error.domain() == UIWebViewErrorDomain;
    if (!loading_ && !refusedScheme)
        return;
    failNow(error);
}

void UIWebView::engineDidDraw(const platform::Rect& changed) { setNeedsDisplayInRect(changed); }

// ---- Scripts, the page's text and a person's input ---------------------------------

std::string UIWebView::evaluate(const std::string& script) const
{
    if (!engine_)
        return "";
    return engine_->evaluate(script).value_or("");
}

std::string UIWebView::stringByEvaluatingJavaScriptFromString(const std::string& script)
{
    scripts_.push_back(script);
    return evaluate(script);
}

std::string UIWebView::documentTitle() const { return evaluate("document.title"); }

std::string UIWebView::documentText() const
{
    return trimmedEnd(evaluate("document.body ? document.body.innerText : ''"));
}

std::optional<Url> UIWebView::documentURL() const
{
    if (baseURL_)
        return baseURL_;
    if (engine_)
        return engine_->currentURL();
    return std::nullopt;
}

std::optional<Url> UIWebView::resolve(const std::string& reference) const
{
    auto base = documentURL();
    std::optional<Url> target;
    if (base && base->isAbsolute())
        target = Url::parse(reference, *base);
    else if (auto url = Url::parse(reference); url && url->isAbsolute())
        target = url;
    if (!target || !target->isAbsolute())
        return std::nullopt;
    return platform::webEngineAddress(*target);
}

bool UIWebView::simulateLinkClick(const std::string& href)
{
    auto target = resolve(href);
    if (!target || !engine_)
        return false;
    evaluate("(function(){var a=document.createElement('a');a.href=" + platform::scriptStringLiteral(target->absoluteString())
        + ";(document.body||document.documentElement).appendChild(a);a.click();a.remove();})()");
    return true;
}

bool UIWebView::simulateFormSubmission(
    const std::string& action, const std::vector<std::pair<std::string, std::string>>& fields)
{
    auto target = resolve(action);
    if (!target || !engine_)
        return false;
    std::string script = "(function(){var f=document.createElement('form');f.method='get';f.acceptCharset='UTF-8';f.action="
        + platform::scriptStringLiteral(target->absoluteString()) + ";";
    for (const auto& [name, value] : fields)
        script += "var i=document.createElement('input');i.type='hidden';i.name=" + platform::scriptStringLiteral(name)
            + ";i.value=" + platform::scriptStringLiteral(value) + ";f.appendChild(i);";
    script += "(document.body||document.documentElement).appendChild(f);f.submit();})()";
    evaluate(script);
    return true;
}

void UIWebView::tapPage(const platform::Point& point)
{
    if (!engine_)
        return;
    engine_->tap(point);
    // The engine's offscreen window never holds the display's focus, so a
    // field does not take the focus from a click by itself: the field under
    // the finger is focused as the phone's would be.
    auto focused = evaluate("(function(){var e=document.elementFromPoint(" + std::to_string(point.x) + ","
        + std::to_string(point.y)
        + ");if(e&&(/^(INPUT|TEXTAREA|SELECT)$/.test(e.tagName)||e.isContentEditable)){e.focus();"
          "return document.activeElement===e;}return false;})()");
    if (focused == "true") {
        pageFieldFocused_ = true;
        if (!isFirstResponder() && !becomeFirstResponder())
            pageFieldFocused_ = false;
    } else if (isFirstResponder()) {
        resignFirstResponder();
    }
}

// ---- The page's drop-downs -----------------------------------------------------------

namespace {
// The picker and its bar, as the keyboard area holds them (the phone's sizes).
constexpr double kOptionPickerHeight = 216;
constexpr double kOptionBarHeight = 44;
} // namespace

void UIWebView::engineShowOptionMenu(const std::vector<platform::WebOption>& options)
{
    if (!engine_)
        return;
    if (options.empty() || !window()) {
        engine_->closeOptionMenu();
        return;
    }
    double width = UIScreen::mainScreen()->bounds().width();
    optionList_ = std::make_shared<WebOptionList>(options);
    optionPicker_ = std::make_shared<UIPickerView>(platform::Rect(0, 0, width, kOptionPickerHeight));
    optionPicker_->setShowsSelectionIndicator(true);
    optionPicker_->setDataSource(std::weak_ptr<UIPickerViewDataSource>(optionList_));
    optionPicker_->setDelegate(std::weak_ptr<UIPickerViewDelegate>(optionList_));
    for (std::size_t row = 0; row < options.size(); ++row) {
        if (options[row].selected)
            optionPicker_->selectRow(long(row), 0);
    }

    std::weak_ptr<UIResponder> weakSelf = weak_from_this();
    auto act = [weakSelf](void (UIWebView::*answer)()) {
        return [weakSelf, answer](UIBarButtonItem*) {
            if (auto self = std::static_pointer_cast<UIWebView>(weakSelf.lock()))
                ((*self).*answer)();
        };
    };
    optionBar_ = std::make_shared<UIToolbar>(platform::Rect(0, 0, width, kOptionBarHeight));
    optionBar_->setBarStyle(UIBarStyleBlackTranslucent);
    auto cancelItem = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemCancel);
    cancelItem->setAction(act(&UIWebView::cancelOptionMenu));
    auto doneItem = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemDone);
    doneItem->setAction(act(&UIWebView::chooseShownOption));
    optionBar_->setItems(
        { cancelItem, UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace), doneItem });

    optionMenuOpen_ = true;
    // The drop-down's field has the focus as a tapped field has it.
    pageFieldFocused_ = true;
    if (isFirstResponder())
        platform::Keyboard::updateForFirstResponder();
    else if (!becomeFirstResponder())
        cancelOptionMenu();
}

double UIWebView::keyboardHeight() const
{
    if (!optionMenuOpen_)
        return UIView::keyboardHeight();
    return platform::textinput::keyboardHeight(optionPicker_.get(), optionBar_.get());
}

std::shared_ptr<UIView> UIWebView::inputView() const { return optionMenuOpen_ ? optionPicker_ : nullptr; }

std::shared_ptr<UIView> UIWebView::inputAccessoryView() const { return optionMenuOpen_ ? optionBar_ : nullptr; }

void UIWebView::chooseShownOption()
{
    if (!optionMenuOpen_)
        return;
    long row = optionPicker_ ? optionPicker_->selectedRowInComponent(0) : -1;
    if (engine_ && optionList_ && row >= 0 && row < long(optionList_->options.size()))
        engine_->chooseOption(optionList_->options[std::size_t(row)].index);
    endOptionMenu();
}

void UIWebView::cancelOptionMenu()
{
    if (!optionMenuOpen_)
        return;
    if (engine_)
        engine_->closeOptionMenu();
    endOptionMenu();
}

void UIWebView::engineOptionMenuClosed()
{
    if (optionMenuOpen_)
        endOptionMenu();
}

void UIWebView::endOptionMenu()
{
    optionMenuOpen_ = false;
    // The picker goes down with the drop-down's focus.
    if (isFirstResponder())
        resignFirstResponder();
    else
        platform::Keyboard::updateForFirstResponder();
}

void UIWebView::didResignFirstResponder()
{
    // The focus went elsewhere while the drop-down was open: it closes
    // without a choice.
    if (optionMenuOpen_) {
        optionMenuOpen_ = false;
        if (engine_)
            engine_->closeOptionMenu();
    }
    UIView::didResignFirstResponder();
    if (!pageFieldFocused_)
        return;
    pageFieldFocused_ = false;
    // The keyboard went elsewhere: the page's field loses its focus with it.
    evaluate("(function(){var e=document.activeElement;if(e&&e!==document.body)e.blur();})()");
}

void UIWebView::insertText(const std::string& text)
{
    if (engine_)
        engine_->insertText(text);
}

void UIWebView::deleteBackward()
{
    if (engine_)
        engine_->pressKey("BackSpace");
}

void UIWebView::pressReturnKey()
{
    if (engine_)
        engine_->pressKey("Return");
}

void UIWebView::pressCaretKey(const std::string& keyName)
{
    if (engine_)
        engine_->pressKey(keyName);
}

// ---- Drawing and scrolling --------------------------------------------------------------

void UIWebView::pageDidLayOut()
{
    if (!engine_)
        return;
    // The page told its size as it loaded; asked for only when it did not,
    // since asking holds the main loop until the page's process answers,
    // just when the page is about to be drawn.
    double width = 0;
    double height = 0;
    if (auto told = engine_->documentSize()) {
        width = told->width;
        height = told->height;
    } else {
        auto size = evaluate("document.documentElement.scrollWidth + ',' + document.documentElement.scrollHeight");
        auto comma = size.find(',');
        if (comma == std::string::npos)
            return;
        width = std::atof(size.substr(0, comma).c_str());
        height = std::atof(size.substr(comma + 1).c_str());
    }
    syncingScroll_ = true;
    scrollView_->setContentSize(platform::Size(std::max(width, bounds().width()), std::max(height, bounds().height())));
    scrollView_->setContentOffset(platform::Point(0, 0));
    syncingScroll_ = false;
}

void UIWebView::scrollPageTo(const platform::Point& offset)
{
    if (syncingScroll_ || !engine_)
        return;
    evaluate("window.scrollTo(" + std::to_string(offset.x) + "," + std::to_string(offset.y) + ")");
}

bool UIWebView::updateDrawing(double timeoutSeconds)
{
    if (!engine_)
        return false;
    bool drawn = engine_->redraw(timeoutSeconds);
    setNeedsDisplay();
    return drawn;
}

void UIWebView::drawRect(platform::Context& context, const platform::Rect&)
{
    if (!engine_)
        return;
    const auto& pixels = engine_->pixels();
    if (pixels.isNull())
        return;
    auto b = bounds();
    context.drawImage(pixels, platform::Rect(0, 0, b.width(), b.height()));
}
