#include "platform/os/Bundle.h"
#include "platform/os/FileUtil.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/ScreenFrames.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/WebEngine.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <strings.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using Journal = std::vector<std::string>;

// Writes every delegate call into a journal; refuses the addresses it is told to.
class RecordingWebDelegate : public UIWebViewDelegate {
public:
    bool webViewShouldStartLoadWithRequest(
        UIWebView*, const NSURLRequest& request, UIWebViewNavigationType type) override
    {
        journal.push_back("should " + std::to_string(int(type)) + " " + request.URL.path());
        asked.push_back(request);
        for (const auto& path : refusedPaths)
            if (request.URL.path() == path)
                return false;
        return true;
    }
    void webViewDidStartLoad(UIWebView* webView) override
    {
        journal.push_back("start");
        loadingAtStart = webView->isLoading();
    }
    void webViewDidFinishLoad(UIWebView*) override { journal.push_back("finish"); }
    void webViewDidFailLoadWithError(UIWebView*, const platform::Error& error) override
    {
        journal.push_back("fail " + std::to_string(error.code()));
        lastError = error;
    }

    bool ended() const
    {
        return !journal.empty() && (journal.back() == "finish" || journal.back().rfind("fail", 0) == 0);
    }

    Journal journal;
    std::vector<NSURLRequest> asked;
    std::vector<std::string> refusedPaths;
    bool loadingAtStart = false;
    platform::Error lastError;
};

class WebViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::RunLoop::setMainThread();
        loop = &platform::RunLoop::main();
        loop->discardPendingWork();
        loop->setClock(clock);
        testsupport::resetUIKitState();
        std::string error;
        ASSERT_TRUE(server.start(&error)) << error;
        webView = std::make_shared<UIWebView>(platform::Rect(0, 0, 320, 400));
        webView->setDelegate(delegate);
    }

    void TearDown() override
    {
        webView.reset();
        server.stop();
        testsupport::resetUIKitState();
        loop->discardPendingWork();
        loop->setClock(nullptr);
    }

    bool waitForEnd(double seconds = 10)
    {
        bool ended = loop->runUntil([this] { return delegate->ended(); }, seconds);
        if (!ended)
            for (const auto& entry : delegate->journal)
                ADD_FAILURE() << "journal: " << entry;
        return ended;
    }

    // Waits for the journal to hold this many entries; then lets the engine
    // run a little longer, so that anything it would wrongly add shows.
    bool waitForJournal(std::size_t entries, double seconds = 10)
    {
        bool reached = loop->runUntil([&] { return delegate->journal.size() >= entries; }, seconds);
        loop->runUntil([] { return false; }, 0.3);
        return reached;
    }

    static std::string page(const std::string& title, const std::string& body)
    {
        return "<html><head><title>" + title + "</title></head><body>" + body + "</body></html>";
    }

    std::size_t requestsFor(const std::string& path) const
    {
        std::size_t count = 0;
        for (const auto& request : server.requests())
            count += request.path == path;
        return count;
    }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(0);
    platform::RunLoop* loop = nullptr;
    testsupport::TestHttpServer server;
    std::shared_ptr<RecordingWebDelegate> delegate = std::make_shared<RecordingWebDelegate>();
    std::shared_ptr<UIWebView> webView;
};

TEST_F(WebViewTest, URLLoadAsksStartsAndFinishesOnLaterTurnsAndAnswersTheTitle)
{
    server.on("/news",
        testsupport::TestHttpServer::text(
            200, page("  Tom &amp; Jerry\n &#x4E2D;&#25991; ", "<p>Hello</p>"), "text/html; charset=utf-8"));
    webView->loadRequest(*NSURLRequest::requestWithURL(server.url("/news")));
    EXPECT_TRUE(delegate->journal.empty()) << "nothing is reported inside loadRequest";
    EXPECT_FALSE(webView->isLoading());

    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal, (Journal { "should 5 /news", "start", "finish" }));
    EXPECT_TRUE(delegate->loadingAtStart);
    EXPECT_FALSE(webView->isLoading());
    EXPECT_EQ(delegate->asked.front().mainDocumentURL.absoluteString(), server.url("/news"));
    EXPECT_EQ(webView->stringByEvaluatingJavaScriptFromString("document.title"), "Tom & Jerry 中文");
    EXPECT_EQ(webView->documentText(), "Hello");
    EXPECT_EQ(webView->lastStatusCode(), 200);
    ASSERT_TRUE(webView->request());
    EXPECT_EQ(webView->request()->URL.absoluteString(), server.url("/news"));
    EXPECT_EQ(requestsFor("/news"), 1u);
}

TEST_F(WebViewTest, HTMLStringWithABaseResolvesLinksAndTheDelegateCanRefuseThem)
{
    // The local tool pages call native code by navigating to pseudo-paths.
    auto base = platform::Url::parse("file:///bundle/homework/");
    webView->loadHTMLString(page("作业", "<a href='/Main/return'>back</a>"), base);
    EXPECT_TRUE(delegate->journal.empty()) << "nothing is reported inside loadHTMLString";
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal, (Journal { "should 5 /bundle/homework/", "start", "finish" }));
    EXPECT_EQ(webView->documentTitle(), "作业");
    ASSERT_TRUE(webView->baseURL());
    EXPECT_EQ(webView->baseURL()->absoluteString(), "file:///bundle/homework/");

    delegate->journal.clear();
    delegate->refusedPaths = { "/Main/return" };
    EXPECT_TRUE(webView->simulateLinkClick("/Main/return"));
    ASSERT_TRUE(waitForJournal(1));
    EXPECT_EQ(delegate->journal, (Journal { "should 0 /Main/return" }));
    EXPECT_EQ(delegate->asked.back().URL.absoluteString(), "file:///Main/return");
    EXPECT_FALSE(webView->isLoading());
    EXPECT_EQ(webView->documentTitle(), "作业") << "the refused navigation left the page alone";
    EXPECT_FALSE(webView->canGoBack());
}

TEST_F(WebViewTest, ARefusedNavigationNeverReachesTheServer)
{
    server.on("/secret", testsupport::TestHttpServer::text(200, page("Secret", ""), "text/html"));
    server.on("/open", testsupport::TestHttpServer::text(200, page("Open", ""), "text/html"));
    delegate->refusedPaths = { "/secret" };
    webView->loadRequest(*NSURLRequest::requestWithURL(server.url("/secret")));
    ASSERT_TRUE(waitForJournal(1));
    EXPECT_EQ(delegate->journal, (Journal { "should 5 /secret" }));
    EXPECT_FALSE(webView->isLoading());
    EXPECT_FALSE(webView->request());

    // A later allowed load proves the server was there to be asked.
    webView->loadRequest(*NSURLRequest::requestWithURL(server.url("/open")));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(webView->documentTitle(), "Open");
    EXPECT_EQ(requestsFor("/secret"), 0u);
    EXPECT_EQ(requestsFor("/open"), 1u);
}

TEST_F(WebViewTest, RedirectsAskTheDelegateAndARefusedOneInterruptsTheLoad)
{
    server.on("/old",
        testsupport::TestHttpServer::reply(testsupport::TestResponse::make(302, "", { { "Location", "/new" } })));
    server.on("/new", testsupport::TestHttpServer::text(200, page("New home", ""), "text/html"));
    webView->loadRequest(*NSURLRequest::requestWithURL(server.url("/old")));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal, (Journal { "should 5 /old", "start", "should 5 /new", "finish" }));
    EXPECT_EQ(webView->request()->URL.absoluteString(), server.url("/new"));
    EXPECT_EQ(webView->documentTitle(), "New home");

    delegate->journal.clear();
    server.clearLog();
    delegate->refusedPaths = { "/new" };
    webView->loadRequest(*NSURLRequest::requestWithURL(server.url("/old")));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal, (Journal { "should 5 /old", "start", "should 5 /new", "fail 102" }));
    EXPECT_EQ(delegate->lastError.domain(), UIWebViewFrameLoadErrorDomain);
    EXPECT_EQ(requestsFor("/new"), 0u);
    EXPECT_EQ(webView->documentTitle(), "New home") << "the page shown before stays";
}

TEST_F(WebViewTest, ScriptsAreRecordedAndAddressAssignmentsNavigate)
{
    server.on("/next", testsupport::TestHttpServer::text(200, page("Next", "<p>two</p>"), "text/html"));
    webView->loadHTMLString(page("First", "<p>one</p><script>var a = '<b>';</script>"),
        platform::Url::parse(server.url("/start/index.html")));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(webView->documentText(), "one");

    EXPECT_EQ(webView->stringByEvaluatingJavaScriptFromString("goBackToFirstView()"), "");
    EXPECT_EQ(webView->stringByEvaluatingJavaScriptFromString(" document.title ; "), "First");
    EXPECT_EQ(webView->stringByEvaluatingJavaScriptFromString("document.body.innerHTML='';"), "");
    EXPECT_EQ(webView->documentText(), "");
    EXPECT_EQ(webView->documentTitle(), "First") << "blanking the body keeps the head";

    delegate->journal.clear();
    // An assignment's value is the script's result, as in any browser.
    EXPECT_EQ(webView->stringByEvaluatingJavaScriptFromString("window.location.href='../next';"), "../next");
    EXPECT_TRUE(delegate->journal.empty()) << "the navigation starts on a later turn";
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal, (Journal { "should 5 /next", "start", "finish" }));
    EXPECT_EQ(webView->documentText(), "two");
    EXPECT_EQ(webView->evaluatedScripts(),
        (std::vector<std::string> { "goBackToFirstView()", " document.title ; ", "document.body.innerHTML='';",
            "window.location.href='../next';" }));

    // Other spellings of the same thing, all refused here so nothing loads.
    // (A newer navigation replaces one still waiting for its answer, as in
    // any browser, so each is answered before the next.)
    delegate->journal.clear();
    delegate->refusedPaths = { "/a", "/b", "/c" };
    webView->stringByEvaluatingJavaScriptFromString("location.href = \"/a\"");
    ASSERT_TRUE(waitForJournal(1));
    webView->stringByEvaluatingJavaScriptFromString("document.location='/b'");
    ASSERT_TRUE(waitForJournal(2));
    webView->stringByEvaluatingJavaScriptFromString("window.location.replace('/c')");
    ASSERT_TRUE(waitForJournal(3));
    webView->stringByEvaluatingJavaScriptFromString("alert('location.href=/d')");
    waitForJournal(4, 0.5);
    EXPECT_EQ(delegate->journal, (Journal { "should 5 /a", "should 5 /b", "should 5 /c" }));
}

TEST_F(WebViewTest, APostedLoadAsksTheDelegateOnceAndSendsItsBody)
{
    server.on("/submit", testsupport::TestHttpServer::text(200, page("Posted", "<p>ok</p>"), "text/html"));
    auto request = *NSURLRequest::requestWithURL(server.url("/submit"));
    request.HTTPMethod = "POST";
    request.HTTPBody = "name=%E6%9D%8E+Ming&grade=3";
    webView->loadRequest(request);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal, (Journal { "should 5 /submit", "start", "finish" }));
    ASSERT_EQ(delegate->asked.size(), 1u);
    EXPECT_EQ(delegate->asked.front().HTTPMethod, "POST");
    EXPECT_EQ(webView->documentTitle(), "Posted");
    ASSERT_EQ(requestsFor("/submit"), 1u);
    for (const auto& sent : server.requests())
        if (sent.path == "/submit") {
            EXPECT_EQ(sent.method, "POST");
            EXPECT_EQ(sent.body, "name=%E6%9D%8E+Ming&grade=3");
        }

    // Refused, nothing is sent and nothing starts.
    delegate->journal.clear();
    delegate->refusedPaths = { "/submit" };
    webView->loadRequest(request);
    ASSERT_TRUE(waitForJournal(1));
    EXPECT_EQ(delegate->journal, (Journal { "should 5 /submit" }));
    EXPECT_EQ(requestsFor("/submit"), 1u);
}

TEST_F(WebViewTest, StopLoadingSilencesAPendingLoad)
{
    // Asked for and stopped before the delegate was even asked.
    webView->loadHTMLString(page("Never", ""), std::nullopt);
    webView->stopLoading();
    loop->runUntil([] { return false; }, 0.3);
    EXPECT_TRUE(delegate->journal.empty());
    EXPECT_EQ(webView->documentTitle(), "");

    // Stopped while the server is still answering.
    server.on(
        "/slow", [](const testsupport::TestRequest&, testsupport::TestConnection& connection) { connection.stall(5); });
    webView->loadRequest(*NSURLRequest::requestWithURL(server.url("/slow")));
    ASSERT_TRUE(loop->runUntil([this] { return delegate->journal.size() >= 2; }, 10));
    EXPECT_EQ(delegate->journal, (Journal { "should 5 /slow", "start" }));
    ASSERT_TRUE(server.waitForRequests(1, 5));
    webView->stopLoading();
    EXPECT_FALSE(webView->isLoading());
    // The cancelled request closes its connection; whatever it reports is dropped.
    EXPECT_TRUE(server.waitForClosedConnections(1, 5));
    loop->runUntil([] { return false; }, 0.3);
    EXPECT_EQ(delegate->journal, (Journal { "should 5 /slow", "start" }));
}

TEST_F(WebViewTest, BackForwardAndReloadWalkTheHistoryWithTheirNavigationTypes)
{
    server.on("/b", testsupport::TestHttpServer::text(200, page("B", ""), "text/html"));
    server.on("/a/", testsupport::TestHttpServer::text(200, page("A", ""), "text/html"));
    webView->loadRequest(*NSURLRequest::requestWithURL(server.url("/a/")));
    ASSERT_TRUE(waitForEnd());
    EXPECT_FALSE(webView->canGoBack());
    delegate->journal.clear();
    webView->simulateLinkClick("/b");
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal, (Journal { "should 0 /b", "start", "finish" }));
    EXPECT_EQ(webView->documentTitle(), "B");
    loop->runUntil([this] { return webView->canGoBack(); }, 2);
    EXPECT_TRUE(webView->canGoBack());
    EXPECT_FALSE(webView->canGoForward());

    delegate->journal.clear();
    webView->goBack();
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal, (Journal { "should 2 /a/", "start", "finish" }));
    EXPECT_EQ(webView->documentTitle(), "A");
    EXPECT_FALSE(webView->canGoBack());
    EXPECT_TRUE(webView->canGoForward());

    delegate->journal.clear();
    webView->goForward();
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal, (Journal { "should 2 /b", "start", "finish" }));
    EXPECT_EQ(requestsFor("/b"), 2u);

    delegate->journal.clear();
    webView->reload();
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal, (Journal { "should 3 /b", "start", "finish" }));
    EXPECT_EQ(requestsFor("/b"), 3u);
    EXPECT_TRUE(webView->canGoBack()) << "a reload does not add to the history";
    delegate->journal.clear();
    webView->goBack();
    ASSERT_TRUE(waitForEnd());
    EXPECT_FALSE(webView->canGoBack());

    // A new navigation from the middle drops the forward entries.
    delegate->journal.clear();
    webView->simulateFormSubmission("/b?old=1", { { "name", "王 小" }, { "q", "a&b" } });
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal, (Journal { "should 1 /b", "start", "finish" }));
    ASSERT_TRUE(server.lastRequest());
    EXPECT_EQ(server.lastRequest()->target, "/b?name=%E7%8E%8B+%E5%B0%8F&q=a%26b");
    EXPECT_EQ(delegate->asked.back().URL.query().value_or(""), "name=%E7%8E%8B+%E5%B0%8F&q=a%26b");
    EXPECT_FALSE(webView->canGoForward());
}

TEST_F(WebViewTest, FailuresReportTheirErrors)
{
    // A server that has gone away.
    testsupport::TestHttpServer gone;
    ASSERT_TRUE(gone.start());
    auto address = gone.url("/x");
    gone.stop();
    webView->loadRequest(*NSURLRequest::requestWithURL(address));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal.size(), 3u);
    EXPECT_EQ(delegate->journal.back().rfind("fail", 0), 0u);
    EXPECT_FALSE(webView->isLoading());

    // Schemes nothing here can load, and files that are not there.
    delegate->journal.clear();
    webView->loadRequest(*NSURLRequest::requestWithURL("tel:10086"));
    ASSERT_TRUE(waitForJournal(1));
    EXPECT_EQ(delegate->journal.size(), 1u) << "the delegate is not asked about a refused scheme";
    EXPECT_EQ(delegate->journal.back(), "fail " + std::to_string(UIWebViewErrorUnsupportedURL));
    webView->loadRequest(*NSURLRequest::requestWithURL("file:///nonexistent/orb/page.html"));
    ASSERT_TRUE(waitForJournal(2));
    EXPECT_EQ(delegate->journal.back(), "fail " + std::to_string(UIWebViewErrorFileDoesNotExist));

    // Files outside the resources folder are as good as missing; so are
    // scripts and inline data given as addresses.
    webView->loadRequest(*NSURLRequest::requestWithURL("file:///etc/passwd"));
    ASSERT_TRUE(waitForJournal(3));
    EXPECT_EQ(delegate->journal.back(), "fail " + std::to_string(UIWebViewErrorFileDoesNotExist));
    for (const char* address : { "ftp://127.0.0.1/x.html", "data:text/plain,hello" }) {
        auto before = delegate->journal.size();
        auto url = platform::Url::parse(address);
        ASSERT_TRUE(url) << address;
        webView->loadRequest(NSURLRequest(*url));
        ASSERT_TRUE(waitForJournal(before + 1)) << address;
        EXPECT_EQ(delegate->journal.back(), "fail " + std::to_string(UIWebViewErrorUnsupportedURL)) << address;
    }
    EXPECT_EQ(delegate->asked.size(), 1u) << "only the http load asked the delegate";
}

TEST_F(WebViewTest, FilePagesLoadAndAGoneDelegateIsNeverCalled)
{
    testsupport::TempDir folder("orb-web");
    ASSERT_FALSE(folder.path().empty());
    auto previousBundle = platform::Bundle::main();
    platform::Bundle::setMain(std::make_shared<platform::Bundle>(platform::Bundle::defaultInfo(), folder.path()));
    auto path = folder / "index.html";
    ASSERT_TRUE(platform::FileUtil::write(path, page("Local &lt;page&gt;", "<p>a&nbsp;b</p>")));
    webView->loadRequest(NSURLRequest(platform::Url::fileUrl(path)));
    ASSERT_TRUE(waitForEnd());
    platform::Bundle::setMain(previousBundle);
    EXPECT_EQ(webView->documentTitle(), "Local <page>");
    EXPECT_EQ(webView->documentText(), "a\u00a0b");

    // The delegate goes away mid-load: the load goes on and tells no one.
    server.on("/later", testsupport::TestHttpServer::text(200, page("Later", ""), "text/html"));
    webView->loadRequest(*NSURLRequest::requestWithURL(server.url("/later")));
    ASSERT_TRUE(loop->runUntil([this] { return webView->isLoading(); }, 10));
    delegate.reset();
    ASSERT_TRUE(loop->runUntil([this] { return !webView->isLoading(); }, 5));
    EXPECT_EQ(webView->documentTitle(), "Later");
}

TEST_F(WebViewTest, TheLoaderDecodesWithTheCharsetThePageNames)
{
    // "中文" in GBK, named by the header, then by the page itself.
    std::string gbk = "\xD6\xD0\xCE\xC4";
    server.on("/header", testsupport::TestHttpServer::text(200, page(gbk, ""), "text/html; charset=gbk"));
    server.on("/meta",
        testsupport::TestHttpServer::text(200,
            "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=GBK\"><title>" + gbk
                + "</title></head></html>",
            "text/html"));
    server.on("/latin", testsupport::TestHttpServer::text(200, page("caf\xE9", ""), "text/html"));
    for (const char* path : { "/header", "/meta" }) {
        delegate->journal.clear();
        webView->loadRequest(*NSURLRequest::requestWithURL(server.url(path)));
        ASSERT_TRUE(waitForEnd());
        EXPECT_EQ(webView->documentTitle(), "中文") << path;
    }
    delegate->journal.clear();
    webView->loadRequest(*NSURLRequest::requestWithURL(server.url("/latin")));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(webView->documentTitle(), "café") << "bytes that are not UTF-8 read as Latin-1";

    // An error status is still a page.
    delegate->journal.clear();
    webView->loadRequest(*NSURLRequest::requestWithURL(server.url("/missing")));
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal.back(), "finish");
    EXPECT_EQ(webView->lastStatusCode(), 404);
}

} // namespace

namespace {

std::string headerOf(const testsupport::TestRequest& request, const std::string& name)
{
    for (const auto& [key, value] : request.headers)
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            return value;
    return "";
}

} // namespace

// A request that ignores the caches says so to every cache on the way and
// reaches the server each time, in this view or a new one, even for a page
// the server lets be kept for an hour; its reload bypasses them too. A
// request with the ordinary policy says nothing of the kind.
TEST_F(WebViewTest, ARequestIgnoringTheCachesReachesTheServerEveryTime)
{
    server.on("/kept",
        testsupport::TestHttpServer::reply(testsupport::TestResponse::make(200, page("Kept", "<p>v1</p>"),
            { { "Content-Type", "text/html" }, { "Cache-Control", "max-age=3600" },
                { "Last-Modified", "Mon, 01 Jan 2024 00:00:00 GMT" } })));
    auto fresh = *NSURLRequest::requestWithURL(server.url("/kept"));
    EXPECT_EQ(fresh.cachePolicy, NSURLRequestUseProtocolCachePolicy);
    webView->loadRequest(fresh);
    ASSERT_TRUE(waitForEnd());
    ASSERT_EQ(requestsFor("/kept"), 1u);
    EXPECT_EQ(headerOf(*server.lastRequest(), "Pragma"), "");
    EXPECT_EQ(headerOf(*server.lastRequest(), "Cache-Control"), "");

    fresh.cachePolicy = NSURLRequestReloadIgnoringLocalCacheData;
    auto other = std::make_shared<UIWebView>(platform::Rect(0, 0, 320, 400));
    for (const auto& view : { webView, other, webView }) {
        view->setDelegate(delegate);
        delegate->journal.clear();
        view->loadRequest(fresh);
        ASSERT_TRUE(waitForEnd());
        EXPECT_EQ(delegate->journal.back(), "finish");
        EXPECT_EQ(view->documentText(), "v1");
        auto last = server.lastRequest();
        ASSERT_TRUE(last);
        EXPECT_EQ(last->path, "/kept");
        EXPECT_EQ(headerOf(*last, "Cache-Control"), "no-cache, no-store");
        EXPECT_EQ(headerOf(*last, "Pragma"), "no-cache");
    }
    EXPECT_EQ(requestsFor("/kept"), 4u);

    delegate->journal.clear();
    webView->reload();
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(requestsFor("/kept"), 5u);
    EXPECT_NE(headerOf(*server.lastRequest(), "Cache-Control").find("no-cache"), std::string::npos);
    EXPECT_EQ(headerOf(*server.lastRequest(), "Pragma"), "no-cache");
}

// Emptying the caches of a site is counted, and the engine does it whether
// or not anything was kept: the page and its picture come from the server
// again afterwards.
TEST_F(WebViewTest, RemovingASitesCachedResponsesIsCountedAndThePageComesAgain)
{
    platform::Image picture(8, 8, 1.0, platform::Color::fromRGB255(10, 200, 10));
    auto png = *picture.encodePNG();
    server.on("/with-picture", testsupport::TestHttpServer::text(200, page("P", "<img src='/pic.png'>"), "text/html"));
    server.on("/pic.png",
        testsupport::TestHttpServer::reply(testsupport::TestResponse::make(200, std::string(png.begin(), png.end()),
            { { "Content-Type", "image/png" }, { "Cache-Control", "max-age=3600" } })));
    auto address = *platform::Url::parse(server.url("/with-picture"));
    auto before = UIWebView::cachePurgeCount();
    for (int round = 1; round <= 2; ++round) {
        delegate->journal.clear();
        webView->loadRequest(NSURLRequest(address));
        ASSERT_TRUE(waitForEnd());
        ASSERT_TRUE(loop->runUntil([&] { return requestsFor("/pic.png") == std::size_t(round); }, 10));
        EXPECT_TRUE(UIWebView::removeCachedResponsesForSite(address));
        EXPECT_EQ(UIWebView::cachePurgeCount(), before + unsigned(round));
    }
    EXPECT_EQ(requestsFor("/with-picture"), 2u);
    // The whole cache, for an address without a host.
    EXPECT_TRUE(UIWebView::removeCachedResponsesForSite(*platform::Url::parse("about:blank")));
    EXPECT_EQ(UIWebView::cachePurgeCount(), before + 3);
}

namespace {

// A window host drawing frames while it lives (ScreenFrames).
class DrawnFrames final {
public:
    DrawnFrames() { platform::ScreenFrames::setPresenting(true); }
    ~DrawnFrames() { platform::ScreenFrames::setPresenting(false); }
    DrawnFrames(const DrawnFrames&) = delete;
    DrawnFrames& operator=(const DrawnFrames&) = delete;
};

} // namespace

// While a host draws frames, a web view's first load waits for the next
// frame before the engine is made (which holds the loop a long while): the
// screen that asked for the page is seen first. Loads after it do not wait.
TEST_F(WebViewTest, TheFirstLoadWaitsForTheNextFrameWhileAHostDrawsThem)
{
    DrawnFrames frames;
    auto made = platform::webEngineViewsMade();
    webView->loadHTMLString(page("Framed", "<p>after the frame</p>"), std::nullopt);
    loop->runUntilIdle();
    EXPECT_FALSE(webView->engineStarted());
    EXPECT_TRUE(delegate->journal.empty());
    EXPECT_EQ(platform::webEngineViewsMade(), made);
    EXPECT_EQ(platform::ScreenFrames::waitingCount(), 1u);

    platform::ScreenFrames::frameShown();
    EXPECT_EQ(platform::ScreenFrames::waitingCount(), 0u);
    ASSERT_TRUE(waitForEnd());
    EXPECT_TRUE(webView->engineStarted());
    EXPECT_EQ(platform::webEngineViewsMade(), made + 1);
    EXPECT_EQ(delegate->journal.back(), "finish");
    EXPECT_EQ(webView->documentTitle(), "Framed");

    delegate->journal.clear();
    webView->loadHTMLString(page("Second", "<p>no frame needed</p>"), std::nullopt);
    EXPECT_EQ(platform::ScreenFrames::waitingCount(), 0u);
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal.back(), "finish");
    EXPECT_EQ(webView->documentTitle(), "Second");
}

// A view that is gone, or whose load was stopped, by the time the frame is
// drawn never makes the engine's page, never asks the server, never tells
// its delegate anything.
TEST_F(WebViewTest, AViewGoneOrStoppedBeforeTheFrameNeverStartsTheEngine)
{
    server.on("/stopped", testsupport::TestHttpServer::text(200, page("Stopped", ""), "text/html"));
    server.on("/gone", testsupport::TestHttpServer::text(200, page("Gone", ""), "text/html"));
    DrawnFrames frames;
    auto made = platform::webEngineViewsMade();
    auto stoppedDelegate = std::make_shared<RecordingWebDelegate>();
    auto stopped = std::make_shared<UIWebView>(platform::Rect(0, 0, 320, 400));
    stopped->setDelegate(stoppedDelegate);
    stopped->loadRequest(*NSURLRequest::requestWithURL(server.url("/stopped")));
    webView->loadRequest(*NSURLRequest::requestWithURL(server.url("/gone")));
    loop->runUntilIdle();
    stopped->stopLoading();
    std::weak_ptr<UIWebView> gone = webView;
    webView.reset();
    EXPECT_TRUE(gone.expired());

    platform::ScreenFrames::frameShown();
    loop->runUntilIdle();
    EXPECT_EQ(platform::ScreenFrames::waitingCount(), 0u);
    EXPECT_FALSE(stopped->engineStarted());
    EXPECT_EQ(platform::webEngineViewsMade(), made);
    EXPECT_TRUE(delegate->journal.empty());
    EXPECT_TRUE(stoppedDelegate->journal.empty());
    EXPECT_EQ(requestsFor("/stopped"), 0u);
    EXPECT_EQ(requestsFor("/gone"), 0u);

    // A load asked for afterwards goes on with the next frame.
    stopped->loadRequest(*NSURLRequest::requestWithURL(server.url("/stopped")));
    platform::ScreenFrames::frameShown();
    ASSERT_TRUE(loop->runUntil([&] { return stoppedDelegate->ended(); }, 10));
    EXPECT_EQ(stoppedDelegate->journal.back(), "finish");
    EXPECT_EQ(requestsFor("/stopped"), 1u);
}

// Loads still waiting when the host stops drawing go on without a frame.
TEST_F(WebViewTest, LoadsWaitingWhenTheHostStopsDrawingGoOn)
{
    {
        DrawnFrames frames;
        webView->loadHTMLString(page("Closed", "<p>the window closed</p>"), std::nullopt);
        loop->runUntilIdle();
        EXPECT_FALSE(webView->engineStarted());
    }
    ASSERT_TRUE(waitForEnd());
    EXPECT_EQ(delegate->journal.back(), "finish");
}
