#include "platform/uikit/UIWebView.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/Text.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIScrollView.h"

#include <algorithm>
#include <cctype>
#include <regex>

using platform::Url;

namespace platform {

namespace {
    std::shared_ptr<WebPageLoader>& sharedLoader()
    {
        static std::shared_ptr<WebPageLoader> loader;
        return loader;
    }
} // namespace

std::shared_ptr<WebPageLoader> WebPageLoader::shared() { return sharedLoader(); }
void WebPageLoader::setShared(std::shared_ptr<WebPageLoader> loader) { sharedLoader() = std::move(loader); }

} // namespace platform

namespace {

std::string lowered(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return result;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

std::string trimmed(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && isSpace(text[begin]))
        ++begin;
    while (end > begin && isSpace(text[end - 1]))
        --end;
    return std::string(text.substr(begin, end - begin));
}

// Runs of HTML white space become one space; the ends are trimmed. A
// no-break space is not white space here, as in a browser's title.
std::string collapseWhiteSpace(std::string_view text)
{
    std::string result;
    bool pendingSpace = false;
    for (char c : text) {
        if (isSpace(c)) {
            pendingSpace = !result.empty();
            continue;
        }
        if (pendingSpace)
            result += ' ';
        pendingSpace = false;
        result += c;
    }
    return result;
}

void appendUtf8(std::string& out, unsigned long code)
{
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// The content between the first <tag ...> and the following </tag>, tag
// names without regard to case; nullopt when the element is missing.
struct ElementRange {
    std::size_t openStart = 0;
    std::size_t contentStart = 0;
    std::size_t contentEnd = 0;
    std::size_t closeEnd = 0;
};
std::optional<ElementRange> findElement(const std::string& lowerHTML, const std::string& tag, std::size_t from = 0)
{
    std::string open = "<" + tag;
    std::size_t at = from;
    while ((at = lowerHTML.find(open, at)) != std::string::npos) {
        char next = at + open.size() < lowerHTML.size() ? lowerHTML[at + open.size()] : '\0';
        if (next == '>' || next == '/' || isSpace(next))
            break;
        at += open.size();
    }
    if (at == std::string::npos)
        return std::nullopt;
    auto contentStart = lowerHTML.find('>', at);
    if (contentStart == std::string::npos)
        return std::nullopt;
    ++contentStart;
    ElementRange range;
    range.openStart = at;
    range.contentStart = contentStart;
    auto close = lowerHTML.find("</" + tag, contentStart);
    if (close == std::string::npos) {
        range.contentEnd = range.closeEnd = lowerHTML.size();
        return range;
    }
    range.contentEnd = close;
    auto closeEnd = lowerHTML.find('>', close);
    range.closeEnd = closeEnd == std::string::npos ? lowerHTML.size() : closeEnd + 1;
    return range;
}

// Drops every element of the tag with its content (scripts, styles).
std::string withoutElements(std::string html, const std::string& tag)
{
    while (true) {
        auto lower = lowered(html);
        auto range = findElement(lower, tag);
        if (!range)
            return html;
        html.erase(range->openStart, range->closeEnd - range->openStart);
    }
}

platform::Error loadError(const char* domain, long code, const std::string& description, const std::string& url)
{
    platform::Dictionary info;
    info.set("NSLocalizedDescription", platform::Value(description));
    if (!url.empty())
        info.set("NSErrorFailingURLStringKey", platform::Value(url));
    return platform::Error(domain, code, std::move(info));
}

// Loads of file: URLs finish like any other load: on a later turn of the loop.
class FileLoad final : public platform::WebPageLoad {
public:
    void cancel() override { cancelled = true; }
    bool cancelled = false;
};

} // namespace

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

UIWebView::~UIWebView()
{
    if (pendingLoad_)
        pendingLoad_->cancel();
}

void UIWebView::setUp()
{
    setBackgroundColor(platform::Color::whiteColor());
    setOpaque(true);
    auto b = bounds();
    scrollView_ = std::make_shared<UIScrollView>(platform::Rect(0, 0, b.width(), b.height()));
    scrollView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    scrollView_->setBackgroundColor(platform::Color::clearColor());
    addSubview(scrollView_);
}

// ---- Loading -------------------------------------------------------------------

void UIWebView::loadRequest(const NSURLRequest& request)
{
    Navigation navigation { HistoryEntry { request, std::nullopt, std::nullopt }, UIWebViewNavigationTypeOther, -1 };
    startNavigation(std::move(navigation));
}

void UIWebView::loadHTMLString(const std::string& html, const std::optional<platform::Url>& baseURL)
{
    auto address = baseURL ? *baseURL : Url::parse("about:blank").value_or(Url::fileUrl("/"));
    Navigation navigation { HistoryEntry { NSURLRequest(address), html, baseURL }, UIWebViewNavigationTypeOther, -1 };
    startNavigation(std::move(navigation));
}

void UIWebView::stopLoading()
{
    // Navigations still waiting for the delegate's answer go too.
    ++stopCount_;
    ++generation_;
    if (pendingLoad_) {
        pendingLoad_->cancel();
        pendingLoad_.reset();
    }
    loading_ = false;
}

void UIWebView::reload()
{
    if (historyIndex_ >= 0) {
        startNavigation(
            Navigation { history_[std::size_t(historyIndex_)], UIWebViewNavigationTypeReload, historyIndex_ });
        return;
    }
    // A page that never loaded (it failed) is tried again.
    if (request_)
        startNavigation(
            Navigation { HistoryEntry { *request_, std::nullopt, std::nullopt }, UIWebViewNavigationTypeReload, -1 });
}

void UIWebView::goBack()
{
    if (!canGoBack())
        return;
    long target = historyIndex_ - 1;
    startNavigation(Navigation { history_[std::size_t(target)], UIWebViewNavigationTypeBackForward, target });
}

void UIWebView::goForward()
{
    if (!canGoForward())
        return;
    long target = historyIndex_ + 1;
    startNavigation(Navigation { history_[std::size_t(target)], UIWebViewNavigationTypeBackForward, target });
}

void UIWebView::startNavigation(Navigation navigation)
{
    // The delegate is asked on the next turn of the loop, like everything a
    // load reports, so no callback ever arrives inside the caller's call.
    std::weak_ptr<UIResponder> weakSelf = weak_from_this();
    auto stopMark = stopCount_;
    platform::postToMain([weakSelf, stopMark, navigation = std::move(navigation)]() mutable {
        auto self = std::static_pointer_cast<UIWebView>(weakSelf.lock());
        if (self)
            self->askAndLoad(stopMark, std::move(navigation));
    });
}

void UIWebView::askAndLoad(std::uint64_t stopMark, Navigation navigation)
{
    // Dropped when stopLoading ran since it was asked for.
    if (stopMark != stopCount_)
        return;
    navigation.entry.request.mainDocumentURL = navigation.entry.request.URL;
    if (auto delegate = delegate_.lock()) {
        if (!delegate->webViewShouldStartLoadWithRequest(this, navigation.entry.request, navigation.type))
            return;
        if (stopMark != stopCount_)
            return; // the delegate stopped loading while deciding
    }

    auto current = ++generation_;
    if (pendingLoad_) {
        pendingLoad_->cancel();
        pendingLoad_.reset();
    }
    loading_ = true;
    request_ = navigation.entry.request;
    if (auto delegate = delegate_.lock()) {
        delegate->webViewDidStartLoad(this);
        if (current != generation_)
            return;
    }

    fetch(current, std::move(navigation));
}

void UIWebView::fetch(std::uint64_t current, Navigation navigation)
{
    std::weak_ptr<UIResponder> weakSelf = weak_from_this();
    auto deliver = [weakSelf, current, navigation](platform::WebPageResponse response) {
        auto self = std::static_pointer_cast<UIWebView>(weakSelf.lock());
        if (self)
            self->fetchFinished(current, navigation, std::move(response));
    };

    const auto& url = navigation.entry.request.URL;
    if (navigation.entry.html) {
        platform::WebPageResponse response;
        response.finalURL = url;
        response.text = *navigation.entry.html;
        platform::postToMain([deliver, response = std::move(response)]() mutable { deliver(std::move(response)); });
        return;
    }

    auto scheme = lowered(url.scheme());
    if (scheme == "file" || scheme == "about") {
        auto load = std::make_shared<FileLoad>();
        pendingLoad_ = load;
        platform::WebPageResponse response;
        response.finalURL = url;
        if (scheme == "file") {
            platform::Error error;
            auto text = platform::FileUtil::readText(url.path(), &error);
            if (text)
                response.text = std::move(*text);
            else
                response.error = loadError(UIWebViewErrorDomain, UIWebViewErrorFileDoesNotExist,
                    "The requested URL was not found on this server.", url.absoluteString());
        }
        platform::postToMain([deliver, load, response = std::move(response)]() mutable {
            if (!load->cancelled)
                deliver(std::move(response));
        });
        return;
    }

    if (scheme == "http" || scheme == "https") {
        if (auto loader = platform::WebPageLoader::shared()) {
            pendingLoad_ = loader->loadPage(navigation.entry.request, deliver);
            return;
        }
        platform::log("UIWebView: no page loader installed for %s", url.absoluteString().c_str());
        platform::WebPageResponse response;
        response.error = loadError(UIWebViewErrorDomain, UIWebViewErrorCannotConnectToHost,
            "Could not connect to the server.", url.absoluteString());
        platform::postToMain([deliver, response = std::move(response)]() mutable { deliver(std::move(response)); });
        return;
    }

    platform::WebPageResponse response;
    response.error
        = loadError(UIWebViewErrorDomain, UIWebViewErrorUnsupportedURL, "unsupported URL", url.absoluteString());
    platform::postToMain([deliver, response = std::move(response)]() mutable { deliver(std::move(response)); });
}

void UIWebView::fetchFinished(std::uint64_t generation, Navigation navigation, platform::WebPageResponse response)
{
    if (generation != generation_)
        return;
    pendingLoad_.reset();
    if (response.error) {
        failLoad(generation, *response.error);
        return;
    }
    // A server redirect is a navigation of its own: the delegate may refuse
    // it, which ends the load as interrupted; allowed, the same load goes on.
    if (response.redirectURL && !navigation.entry.html) {
        NSURLRequest redirected(*response.redirectURL);
        if (navigation.entry.request.HTTPMethod == "POST" && response.statusCode != 307 && response.statusCode != 308)
            redirected.HTTPMethod = "GET";
        else {
            redirected.HTTPMethod = navigation.entry.request.HTTPMethod;
            redirected.HTTPBody = navigation.entry.request.HTTPBody;
        }
        if (++navigation.redirects > kMaximumRedirects) {
            failLoad(generation,
                loadError(UIWebViewErrorDomain, UIWebViewErrorHTTPTooManyRedirects, "too many HTTP redirects",
                    redirected.URL.absoluteString()));
            return;
        }
        if (auto delegate = delegate_.lock()) {
            bool allowed = delegate->webViewShouldStartLoadWithRequest(this, redirected, UIWebViewNavigationTypeOther);
            if (generation != generation_)
                return;
            if (!allowed) {
                failLoad(generation,
                    loadError(UIWebViewFrameLoadErrorDomain, UIWebViewErrorFrameLoadInterrupted,
                        "Frame load interrupted", redirected.URL.absoluteString()));
                return;
            }
        }
        navigation.entry.request = redirected;
        request_ = redirected;
        fetch(generation, std::move(navigation));
        return;
    }
    statusCode_ = navigation.entry.html ? 0 : response.statusCode;
    finishLoad(navigation, std::move(response.text));
}

void UIWebView::finishLoad(const Navigation& navigation, std::string text)
{
    html_ = std::move(text);
    baseURL_ = navigation.entry.html ? navigation.entry.baseURL : std::optional<Url>(navigation.entry.request.URL);
    if (navigation.historyTarget >= 0 && navigation.historyTarget < long(history_.size())) {
        historyIndex_ = navigation.historyTarget;
    } else {
        history_.erase(history_.begin() + (historyIndex_ + 1), history_.end());
        history_.push_back(navigation.entry);
        historyIndex_ = long(history_.size()) - 1;
    }
    loading_ = false;
    setNeedsDisplay();
    if (auto delegate = delegate_.lock())
        delegate->webViewDidFinishLoad(this);
}

void UIWebView::failLoad(std::uint64_t generation, platform::Error error)
{
    if (generation != generation_)
        return;
    loading_ = false;
    if (auto delegate = delegate_.lock())
        delegate->webViewDidFailLoadWithError(this, error);
}

// ---- Scripts and navigation by the page ------------------------------------------

std::optional<Url> UIWebView::documentURL() const
{
    if (historyIndex_ >= 0)
        return baseURL_;
    if (request_)
        return request_->URL;
    return std::nullopt;
}

bool UIWebView::navigateToReference(const std::string& reference, UIWebViewNavigationType type)
{
    std::optional<Url> target;
    auto base = documentURL();
    if (base && base->isAbsolute())
        target = Url::parse(reference, *base);
    else if (auto url = Url::parse(reference); url && url->isAbsolute())
        target = url;
    if (!target)
        return false;
    startNavigation(Navigation { HistoryEntry { NSURLRequest(*target), std::nullopt, std::nullopt }, type, -1 });
    return true;
}

bool UIWebView::simulateLinkClick(const std::string& href)
{
    return navigateToReference(href, UIWebViewNavigationTypeLinkClicked);
}

bool UIWebView::simulateFormSubmission(
    const std::string& action, const std::vector<std::pair<std::string, std::string>>& fields)
{
    auto escape = [](const std::string& text) {
        static const char* hex = "0123456789ABCDEF";
        std::string out;
        for (unsigned char c : text) {
            if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
                out += char(c);
            } else if (c == ' ') {
                out += '+';
            } else {
                out += '%';
                out += hex[c >> 4];
                out += hex[c & 15];
            }
        }
        return out;
    };
    std::string query;
    for (const auto& [name, value] : fields) {
        if (!query.empty())
            query += '&';
        query += escape(name) + "=" + escape(value);
    }
    std::string reference = action;
    if (auto hash = reference.find('#'); hash != std::string::npos)
        reference.erase(hash);
    if (auto question = reference.find('?'); question != std::string::npos)
        reference.erase(question);
    reference += "?" + query;
    return navigateToReference(reference, UIWebViewNavigationTypeFormSubmitted);
}

std::string UIWebView::stringByEvaluatingJavaScriptFromString(const std::string& script)
{
    scripts_.push_back(script);
    auto text = trimmed(script);
    while (!text.empty() && (text.back() == ';' || isSpace(text.back())))
        text.pop_back();

    if (text == "document.title")
        return documentTitle();

    static const std::regex blankBody(R"(^document\.body\.innerHTML\s*=\s*(''|"")$)");
    if (std::regex_match(text, blankBody)) {
        auto lower = lowered(html_);
        if (auto body = findElement(lower, "body"))
            html_.erase(body->contentStart, body->contentEnd - body->contentStart);
        else
            html_.clear();
        setNeedsDisplay();
        return "";
    }

    // The scripts by which pages change their own address.
    static const std::regex assignment(
        R"(^(?:window\.|self\.|top\.)?(?:document\.)?location(?:\.href)?\s*=\s*(['"])(.*)\1$)");
    static const std::regex call(
        R"(^(?:window\.|self\.|top\.)?(?:document\.)?location\.(?:assign|replace)\(\s*(['"])(.*)\1\s*\)$)");
    std::smatch match;
    if (std::regex_match(text, match, assignment) || std::regex_match(text, match, call))
        navigateToReference(match[2].str(), UIWebViewNavigationTypeOther);
    return "";
}

// ---- The page's contents -----------------------------------------------------------

std::string UIWebView::decodeEntities(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        auto semicolon = text.find(';', i + 1);
        if (semicolon == std::string::npos || semicolon - i > 12) {
            out += '&';
            continue;
        }
        std::string name = text.substr(i + 1, semicolon - i - 1);
        std::optional<unsigned long> code;
        if (name.size() > 1 && name[0] == '#') {
            bool hex = name[1] == 'x' || name[1] == 'X';
            std::string digits = name.substr(hex ? 2 : 1);
            bool valid = !digits.empty() && std::all_of(digits.begin(), digits.end(), [hex](unsigned char c) {
                return hex ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
            });
            if (valid && digits.size() <= 8)
                code = std::stoul(digits, nullptr, hex ? 16 : 10);
        } else if (name == "amp") {
            code = '&';
        } else if (name == "lt") {
            code = '<';
        } else if (name == "gt") {
            code = '>';
        } else if (name == "quot") {
            code = '"';
        } else if (name == "apos") {
            code = '\'';
        } else if (name == "nbsp") {
            code = 0xA0;
        } else if (name == "copy") {
            code = 0xA9;
        }
        if (!code) {
            out += '&';
            continue;
        }
        appendUtf8(out, *code);
        i = semicolon;
    }
    return out;
}

std::string UIWebView::titleOfHTML(const std::string& html)
{
    auto lower = lowered(html);
    auto title = findElement(lower, "title");
    if (!title)
        return "";
    return collapseWhiteSpace(
        decodeEntities(html.substr(title->contentStart, title->contentEnd - title->contentStart)));
}

std::string UIWebView::documentTitle() const { return titleOfHTML(html_); }

std::string UIWebView::documentText() const
{
    std::string source = html_;
    auto lower = lowered(source);
    if (auto body = findElement(lower, "body"))
        source = source.substr(body->contentStart, body->contentEnd - body->contentStart);
    else if (auto head = findElement(lower, "head"))
        source.erase(head->openStart, head->closeEnd - head->openStart);
    source = withoutElements(std::move(source), "script");
    source = withoutElements(std::move(source), "style");
    source = withoutElements(std::move(source), "title");

    // Tags go; the ones that end a block of text end a line.
    static const char* breaking[]
        = { "br", "/p", "p", "/div", "/li", "/h1", "/h2", "/h3", "/h4", "/tr", "/table", "hr" };
    std::string text;
    for (std::size_t i = 0; i < source.size(); ++i) {
        if (source[i] != '<') {
            text += source[i];
            continue;
        }
        auto close = source.find('>', i);
        if (close == std::string::npos)
            break;
        std::string tag = lowered(source.substr(i + 1, close - i - 1));
        std::size_t nameEnd = 0;
        while (nameEnd < tag.size() && !isSpace(tag[nameEnd]) && tag[nameEnd] != '>'
            && !(nameEnd > 0 && tag[nameEnd] == '/'))
            ++nameEnd;
        std::string name = tag.substr(0, nameEnd);
        if (std::find(std::begin(breaking), std::end(breaking), name) != std::end(breaking))
            text += '\n';
        i = close;
    }
    std::string result;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        auto line = collapseWhiteSpace(decodeEntities(text.substr(start, end - start)));
        if (!line.empty()) {
            if (!result.empty())
                result += '\n';
            result += line;
        }
        start = end + 1;
    }
    return result;
}

void UIWebView::drawRect(platform::Context& context, const platform::Rect&)
{
    // No engine: the title as a heading, then the text, wrapped to the width.
    auto b = bounds();
    double width = std::max(0.0, b.width() - 16);
    double y = 8;
    auto title = documentTitle();
    if (!title.empty()) {
        platform::Font font;
        font.pointSize = 17;
        font.bold = true;
        auto layout = platform::layoutText(title, font, platform::Size(width, platform::kUnlimitedTextExtent));
        platform::drawTextLayout(context, layout, platform::Point(8, y), platform::Color::blackColor());
        y += layout.size.height + 8;
    }
    auto text = documentText();
    if (!text.empty()) {
        platform::Font font;
        font.pointSize = 14;
        auto layout = platform::layoutText(text, font, platform::Size(width, std::max(0.0, b.height() - y)));
        platform::drawTextLayout(context, layout, platform::Point(8, y), platform::Color::darkGrayColor());
    }
}
