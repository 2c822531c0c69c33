#include "platform/net/HttpCookieStorage.h"
#include "platform/os/Bundle.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/UIWindow.h"
#include "platform/uikit/WebEngine.h"
#include "tests/support/EngineDisplay.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <map>
#include <sstream>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

namespace {

[[maybe_unused]] auto* const kDisplay = testsupport::addEngineDisplay();

class PageDelegate : public UIWebViewDelegate {
public:
    bool webViewShouldStartLoadWithRequest(UIWebView*, const NSURLRequest& request, UIWebViewNavigationType type) override
    {
        asked.push_back(request);
        types.push_back(type);
        return request.URL.path().rfind("/Main/", 0) != 0;
    }
    void webViewDidStartLoad(UIWebView*) override { journal.push_back("start"); }
    void webViewDidFinishLoad(UIWebView*) override { journal.push_back("finish"); }
    void webViewDidFailLoadWithError(UIWebView*, const platform::Error& error) override
    {
        journal.push_back("fail " + std::to_string(error.code()));
    }
    std::vector<NSURLRequest> asked;
    std::vector<UIWebViewNavigationType> types;
    std::vector<std::string> journal;
};

class WebPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::RunLoop::setMainThread();
        loop = &platform::RunLoop::main();
        loop->discardPendingWork();
        testsupport::resetUIKitState();
        ASSERT_FALSE(resources.path().empty());
        previousBundle = platform::Bundle::main();
        platform::Bundle::setMain(std::make_shared<platform::Bundle>(platform::Bundle::defaultInfo(), resources.path()));
        window = std::make_shared<UIWindow>();
        window->makeKeyAndVisible();
        webView = std::make_shared<UIWebView>(platform::Rect(0, 0, 320, 480));
        window->addSubview(webView);
        webView->setDelegate(delegate);
    }
    void TearDown() override
    {
        webView.reset();
        window.reset();
        platform::Bundle::setMain(previousBundle);
        testsupport::resetUIKitState();
        loop->discardPendingWork();
    }

    bool loadResource(const std::string& name, const std::string& html)
    {
        auto path = resources / name;
        platform::FileUtil::createDirectory(path.substr(0, path.rfind('/')));
        if (!platform::FileUtil::write(path, html))
            return false;
        delegate->journal.clear();
        webView->loadHTMLString(html, platform::Url::fileUrl(path));
        return loop->runUntil([this] { return !delegate->journal.empty() && delegate->journal.back() != "start"; }, 10)
            && delegate->journal.back() == "finish";
    }

    std::string script(const std::string& text) { return webView->stringByEvaluatingJavaScriptFromString(text); }

    platform::RunLoop* loop = nullptr;
    testsupport::TempDir resources { "orb-web-resources" };
    std::shared_ptr<const platform::Bundle> previousBundle;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIWebView> webView;
    std::shared_ptr<PageDelegate> delegate = std::make_shared<PageDelegate>();
};

TEST_F(WebPageTest, APageOfTheResourcesCallsNativeCodeThroughPseudoPathsAndFramesAreToldApart)
{
    ASSERT_TRUE(platform::FileUtil::createDirectory(resources / "tools"));
    ASSERT_TRUE(platform::FileUtil::write(resources / "tools/account.js", "var global = { name: '李老师', id: 42 };"));
    ASSERT_TRUE(platform::FileUtil::write(resources / "tools/frame.html",
        "<html><body><a id='go' href='second.html'>next</a></body></html>"));
    ASSERT_TRUE(platform::FileUtil::write(resources / "tools/second.html", "<html><body>second</body></html>"));
    ASSERT_TRUE(loadResource("tools/index.html",
        "<html><head><meta charset='utf-8'><title>工具</title><script src='account.js'></script></head><body>"
        "<p id='who'></p><iframe name='inner' src='frame.html'></iframe>"
        "<script>document.getElementById('who').textContent = global.name;"
        "function back() { document.location = '/Main/return?id=' + global.id; }</script></body></html>"));
    EXPECT_EQ(webView->documentText(), "李老师") << "the relative script came from the resources";
    auto page = platform::Url::fileUrl(resources / "tools/index.html");
    auto frame = platform::Url::fileUrl(resources / "tools/frame.html");
    ASSERT_EQ(delegate->asked.size(), 2u);
    EXPECT_EQ(delegate->asked[0].URL.absoluteString(), page.absoluteString());
    EXPECT_EQ(delegate->asked[0].mainDocumentURL.absoluteString(), page.absoluteString());
    // The frame's own page is asked for as part of the page.
    EXPECT_EQ(delegate->asked[1].URL.absoluteString(), frame.absoluteString());
    EXPECT_EQ(delegate->asked[1].mainDocumentURL.absoluteString(), page.absoluteString());

    // The page's script navigates to a pseudo-path: the delegate sees the file
    // address it expects, as the main document's, and refuses; the page stays.
    delegate->asked.clear();
    delegate->journal.clear();
    script("back()");
    ASSERT_TRUE(loop->runUntil([this] { return !delegate->asked.empty(); }, 10));
    loop->runUntil([] { return false; }, 0.3);
    EXPECT_EQ(delegate->asked.front().URL.absoluteString(), "file:///Main/return?id=42");
    EXPECT_EQ(delegate->asked.front().mainDocumentURL.absoluteString(), "file:///Main/return?id=42");
    EXPECT_TRUE(delegate->journal.empty());
    EXPECT_EQ(webView->documentTitle(), "工具");

    // A link followed inside the frame is a frame navigation: its main
    // document stays the page.
    delegate->asked.clear();
    script("frames[0].document.getElementById('go').click()");
    ASSERT_TRUE(loop->runUntil([this] { return !delegate->asked.empty(); }, 10));
    EXPECT_EQ(delegate->asked.front().URL.absoluteString(),
        platform::Url::fileUrl(resources / "tools/second.html").absoluteString());
    EXPECT_EQ(delegate->asked.front().mainDocumentURL.absoluteString(), page.absoluteString());
    EXPECT_EQ(delegate->types.back(), UIWebViewNavigationTypeLinkClicked);
    EXPECT_EQ(webView->documentTitle(), "工具");

    // The page itself going to the frame's address is a top-level navigation.
    loop->runUntil([] { return false; }, 0.3);
    delegate->asked.clear();
    script("location.href = 'frame.html?top'");
    ASSERT_TRUE(loop->runUntil([this] { return !delegate->asked.empty(); }, 10));
    EXPECT_EQ(delegate->asked.front().URL.absoluteString(), frame.absoluteString() + "?top");
    EXPECT_EQ(delegate->asked.front().mainDocumentURL.absoluteString(), frame.absoluteString() + "?top");
}

// The engine's processes under this one (through bubblewrap when sandboxed).
std::vector<pid_t> webProcesses()
{
    std::map<pid_t, pid_t> parents;
    std::map<pid_t, std::string> names;
    DIR* proc = opendir("/proc");
    if (!proc)
        return {};
    while (auto* entry = readdir(proc)) {
        pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0)
            continue;
        // Read without exceptions: a process may end between the listing and the read.
        std::string text = testsupport::readTextFile("/proc/" + std::to_string(pid) + "/stat");
        auto open = text.find('(');
        auto close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::istringstream rest(text.substr(close + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        parents[pid] = parent;
        names[pid] = text.substr(open + 1, close - open - 1);
    }
    closedir(proc);
    std::vector<pid_t> out;
    for (const auto& [pid, name] : names) {
        if (name != "WebKitWebProces") // the kernel keeps 15 characters of the name
            continue;
        pid_t up = pid;
        for (int depth = 0; depth < 8 && up > 1; ++depth) {
            up = parents.count(up) ? parents[up] : 0;
            if (up == getpid()) {
                out.push_back(pid);
                break;
            }
        }
    }
    return out;
}

std::string pidNamespace(pid_t pid)
{
    char target[256] = {};
    auto n = readlink(("/proc/" + std::to_string(pid) + "/ns/pid").c_str(), target, sizeof target - 1);
    return n > 0 ? std::string(target, std::size_t(n)) : "";
}

TEST_F(WebPageTest, PagesRunInTheEnginesSandboxWhereTheMachineAllowsIt)
{
    if (!testsupport::haveTool("bwrap"))
        ORB_SKIP_WITHOUT_TOOL("bubblewrap is not installed (scripts/setup installs it)");
    // Installed, it may still find no namespaces to make (a container): by design.
    if (testsupport::runCommand("bwrap --unshare-all --ro-bind / / --proc /proc --dev /dev true 2>/dev/null").status != 0)
        GTEST_SKIP() << "skipped, bubblewrap cannot make namespaces here (pages then run without the sandbox)";
    ASSERT_TRUE(loadResource("sandboxed.html", "<html><body>inside</body></html>"));
    auto processes = webProcesses();
    ASSERT_FALSE(processes.empty()) << "no web process of ours";
    for (pid_t pid : processes) {
        auto theirs = pidNamespace(pid);
        ASSERT_FALSE(theirs.empty());
        EXPECT_NE(theirs, pidNamespace(getpid())) << "the web process shares our process namespace";
    }
}

TEST_F(WebPageTest, ScriptsAnswerTheirValuesAsText)
{
    ASSERT_TRUE(loadResource("values.html",
        "<html><head><title>Values</title></head><body><script>function twice(x) { return x * 2; }"
        "var items = [1, 2, 3];</script></body></html>"));
    EXPECT_EQ(script("document.title"), "Values");
    EXPECT_EQ(script("6 * 7"), "42");
    EXPECT_EQ(script("twice(21) + 0.5"), "42.5");
    EXPECT_EQ(script("items.length > 2"), "true");
    EXPECT_EQ(script("items"), "") << "objects answer nothing";
    EXPECT_EQ(script("noSuchFunction()"), "") << "a script that throws answers nothing";
    EXPECT_EQ(script("'still ' + 'alive'"), "still alive");
}

TEST_F(WebPageTest, AnyTextSurvivesAsAScriptStringLiteralInAScriptAndInAPage)
{
    const std::vector<std::string> texts = { "plain", "it's \"quoted\" \\ back\\slash", "line\nbreak\r\n\ttab",
        "</script><script>document.title='broken'</script>", "<!-- <script>", "sep\xE2\x80\xA8" "ara\xE2\x80\xA9tors",
        "control\x01character", "李老师 & 学生 \xF0\x9F\x98\x80" };
    std::string page = "<html><head><title>kept</title></head><body><script>var texts = [";
    for (const auto& text : texts)
        page += platform::scriptStringLiteral(text) + ",";
    page += "];</script></body></html>";
    ASSERT_TRUE(loadResource("literals.html", page));
    EXPECT_EQ(script("document.title"), "kept") << "no text ended the script element";
    EXPECT_EQ(script("texts.length"), std::to_string(texts.size()));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        // Through the page's own element and through a script run directly.
        EXPECT_EQ(script("texts[" + std::to_string(i) + "]"), texts[i]) << i;
        EXPECT_EQ(script(platform::scriptStringLiteral(texts[i])), texts[i]) << i;
    }
}

TEST_F(WebPageTest, TapsReachLinksAndTypedTextReachesFields)
{
    ASSERT_TRUE(platform::FileUtil::write(resources / "next.html", "<html><head><title>Next</title></head></html>"));
    ASSERT_TRUE(loadResource("input.html",
        "<html><head><meta charset='utf-8'><style>body{margin:0} a,input{display:block;height:60px;width:300px}"
        "</style></head><body><input id='name'><a href='next.html'>next</a></body></html>"));
    // A tap in the field focuses it; typed Latin and Chinese text arrive.
    webView->tapPage(platform::Point(100, 30));
    EXPECT_EQ(script("document.activeElement ? document.activeElement.id : 'none'"), "name");
    webView->insertText("Li ");
    webView->insertText("李明");
    EXPECT_EQ(script("document.getElementById('name').value"), "Li 李明");
    webView->deleteBackward();
    EXPECT_EQ(script("document.getElementById('name').value"), "Li 李");

    // A tap where the link is drawn follows it, as a link click.
    delegate->asked.clear();
    delegate->types.clear();
    delegate->journal.clear();
    ASSERT_TRUE(testsupport::tapAtPoint(platform::Point(100, 90)));
    ASSERT_TRUE(loop->runUntil([this] { return !delegate->journal.empty() && delegate->journal.back() == "finish"; }, 10));
    ASSERT_FALSE(delegate->asked.empty());
    EXPECT_EQ(delegate->asked.front().URL.absoluteString(), platform::Url::fileUrl(resources / "next.html").absoluteString());
    EXPECT_EQ(delegate->types.front(), UIWebViewNavigationTypeLinkClicked);
    EXPECT_EQ(webView->documentTitle(), "Next");
}

namespace {

// The windows shown on the engine's X server (the test's own): its pages'
// windows are offscreen, so a window there is one the engine mapped itself.
std::size_t windowsOnTheEnginesDisplay()
{
    std::string found;
    testsupport::runWhileLooping({ "xdotool", "search", "--onlyvisible", "--name", "" }, &found);
    return std::size_t(std::count(found.begin(), found.end(), '\n'));
}

// The left edge of what changed between two pictures (a glyph, not the
// shading of an edge), in pixels; -1 when nothing did.
int leftmostChange(const platform::Image& before, const platform::Image& after)
{
    int left = -1;
    for (int y = 0; y < before.pixelHeight(); ++y) {
        for (int x = 0; x < before.pixelWidth(); ++x) {
            auto a = before.pixelAt(x, y);
            auto b = after.pixelAt(x, y);
            bool changed = false;
            for (int channel = 0; channel < 3; ++channel)
                changed = changed || std::abs(int(a[channel]) - int(b[channel])) > 96;
            if (changed && (left < 0 || x < left))
                left = x;
        }
    }
    return left;
}

} // namespace

TEST_F(WebPageTest, APagesDropDownOpensAsThePickerInTheKeyboardAreaAndItsDatesReadYearFirst)
{
    ASSERT_TRUE(loadResource("choice.html",
        "<html><head><meta charset='utf-8'><style>body{margin:0} select,input{display:block;margin:0;"
        "height:44px;width:300px;font-size:18px}</style></head><body>"
        "<select id='c'><option value='1'>三年级(1)班</option><option value='2' selected>三年级(2)班</option>"
        "<option value='3' disabled>三年级(3)班</option><option value='4'>三年级(4)班</option></select>"
        "<input id='d' type='date' value='2026-12-08'>"
        "<script>var changes = []; document.getElementById('c').addEventListener('change',"
        "function (e) { changes.push(e.target.value); });</script></body></html>"));
    const auto windowsBefore = windowsOnTheEnginesDisplay();
    auto openDropDown = [&] {
        EXPECT_TRUE(testsupport::tapAtPoint(platform::Point(150, 22)));
        return loop->runUntil([] { return platform::Keyboard::isVisible(); }, 10);
    };

    // A tap on the drop-down brings up its options on the picker in the
    // keyboard's place, the page's choice on the wheel, under 取消 and 完成.
    ASSERT_TRUE(openDropDown()) << "no picker came up";
    EXPECT_TRUE(webView->isFirstResponder());
    EXPECT_TRUE(webView->isShowingOptionMenu());
    auto area = platform::Keyboard::window();
    ASSERT_TRUE(area);
    auto pickers = testsupport::findViewsByClass(area, "UIPickerView");
    ASSERT_EQ(pickers.size(), 1u);
    auto picker = std::static_pointer_cast<UIPickerView>(pickers.front());
    ASSERT_EQ(picker->numberOfRowsInComponent(0), 3) << "the disabled option cannot be chosen";
    EXPECT_EQ(picker->titleForRow(0, 0), "三年级(1)班");
    EXPECT_EQ(picker->titleForRow(2, 0), "三年级(4)班");
    EXPECT_EQ(picker->selectedRowInComponent(0), 1);
    EXPECT_TRUE(testsupport::findViewByText(area, "完成"));
    EXPECT_TRUE(testsupport::findViewByText(area, "取消"));
    auto screen = UIScreen::mainScreen()->bounds();
    EXPECT_DOUBLE_EQ(platform::Keyboard::frame().maxY(), screen.maxY());
    EXPECT_DOUBLE_EQ(platform::Keyboard::frame().height(), 216 + 44);
    // The engine put no menu window of its own on the display.
    loop->runUntil([] { return false; }, 0.3);
    EXPECT_EQ(windowsOnTheEnginesDisplay(), windowsBefore);

    // The wheel turned to 三年级(4)班 and 完成: the page has that choice, told as a change.
    ASSERT_TRUE(testsupport::spinPicker(picker, 2));
    ASSERT_TRUE(testsupport::tapButton(area, "完成"));
    ASSERT_TRUE(loop->runUntil([&] { return script("document.getElementById('c').value") == "4"; }, 5))
        << script("document.getElementById('c').value");
    EXPECT_EQ(script("changes.join(',')"), "4");
    EXPECT_FALSE(platform::Keyboard::isVisible());
    EXPECT_FALSE(webView->isShowingOptionMenu());

    // Opened again, turned and cancelled: the page keeps its choice.
    ASSERT_TRUE(openDropDown());
    picker = webView->optionPicker();
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);
    ASSERT_TRUE(testsupport::spinPicker(picker, 0));
    ASSERT_TRUE(testsupport::tapButton(platform::Keyboard::window(), "取消"));
    EXPECT_FALSE(platform::Keyboard::isVisible());
    loop->runUntil([] { return false; }, 0.3);
    EXPECT_EQ(script("document.getElementById('c').value"), "4");
    EXPECT_EQ(script("changes.join(',')"), "4");

    // And a tap elsewhere on the page closes an open one without a choice.
    ASSERT_TRUE(openDropDown());
    EXPECT_TRUE(testsupport::tapAtPoint(platform::Point(150, 300)));
    ASSERT_TRUE(loop->runUntil([] { return !platform::Keyboard::isVisible(); }, 5));
    EXPECT_EQ(script("document.getElementById('c').value"), "4");
    EXPECT_EQ(windowsOnTheEnginesDisplay(), windowsBefore);

    // The date field writes the year first, as the phone's Chinese does: a
    // change of the year shows left of a change of the day.
    auto field = [&](const std::string& value) {
        script("document.getElementById('d').value = '" + value + "'");
        EXPECT_TRUE(webView->updateDrawing());
        auto image = webView->renderToImage(2);
        EXPECT_TRUE(image);
        // The field's band only (44 to 88 points, two pixels a point).
        return image ? image->cropped(0, 88, 640, 88) : platform::Image(1, 1);
    };
    auto shown = field("2026-12-08");
    auto yearChanged = field("2027-12-08");
    auto dayChanged = field("2026-12-09");
    int year = leftmostChange(shown, yearChanged);
    int day = leftmostChange(shown, dayChanged);
    ASSERT_GE(year, 0);
    ASSERT_GE(day, 0);
    EXPECT_LT(year, day) << "the date reads day or month before the year";
    EXPECT_EQ(script("navigator.language"), "zh-CN");
}

// Everything written to standard error while it lives, by this process and
// by the processes it starts meanwhile (the engine's web process), kept in a
// file so that no writer ever waits on a full pipe.
class StderrCapture {
public:
    StderrCapture()
        : file_(std::tmpfile())
    {
        std::fflush(stderr);
        saved_ = dup(2);
        if (file_ && saved_ >= 0)
            dup2(fileno(file_), 2);
    }
    ~StderrCapture() { release(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Puts standard error back and answers what was written to it.
    std::string release()
    {
        if (saved_ >= 0) {
            std::fflush(stderr);
            dup2(saved_, 2);
            close(saved_);
            saved_ = -1;
        }
        if (!file_)
            return text_;
        std::rewind(file_);
        char buffer[4096];
        while (auto n = std::fread(buffer, 1, sizeof buffer, file_))
            text_.append(buffer, n);
        std::fclose(file_);
        file_ = nullptr;
        return text_;
    }

private:
    std::FILE* file_;
    int saved_ = -1;
    std::string text_;
};

// GLib's logging, as the engine's libraries call it, taken from the copy of
// GLib the engine loaded (the tests are not built against GLib's headers).
namespace glib {
    constexpr int kLevelCritical = 1 << 3; // G_LOG_LEVEL_CRITICAL
    constexpr int kLevelWarning = 1 << 4; // G_LOG_LEVEL_WARNING
    constexpr int kLevelDebug = 1 << 7; // G_LOG_LEVEL_DEBUG
    struct LogField { // GLogField
        const char* key;
        const void* value;
        long length;
    };
    template <class Function> Function function(const char* name)
    {
        void* library = dlopen("libglib-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
        if (!library)
            return nullptr;
        auto found = reinterpret_cast<Function>(dlsym(library, name));
        dlclose(library);
        return found;
    }
} // namespace glib

TEST_F(WebPageTest, WhatTheEngineAndItsToolkitReportGoesToTheLogNotToStandardError)
{
    platform::LogCapture logged;
    StderrCapture stderrText;
    // The first page starts the engine (each test case runs in a process of
    // its own) and its web process; taps and keys make up the toolkit's
    // events for the engine's offscreen window.
    ASSERT_TRUE(loadResource("quiet.html",
        "<html><head><style>body{margin:0} input{display:block;height:60px;width:300px}</style></head>"
        "<body><input id='name'></body></html>"));
    webView->tapPage(platform::Point(100, 30));
    EXPECT_EQ(script("document.activeElement ? document.activeElement.id : 'none'"), "name");
    webView->insertText("abc");
    webView->deleteBackward();
    webView->pressCaretKey("Left");
    webView->pressCaretKey("End");
    webView->pressReturnKey();
    webView->insertText("d");
    EXPECT_EQ(script("document.getElementById('name').value"), "abd");
    loop->runUntil([] { return false; }, 0.5); // what the web process says as it starts comes late

    // Reports of GLib's old and structured kinds, and text through g_printerr.
    using Log = void (*)(const char*, int, const char*, ...);
    using LogStructuredArray = void (*)(int, const glib::LogField*, std::size_t);
    using PrintErr = void (*)(const char*, ...);
    auto gLog = glib::function<Log>("g_log");
    auto gLogStructuredArray = glib::function<LogStructuredArray>("g_log_structured_array");
    auto gPrintErr = glib::function<PrintErr>("g_printerr");
    ASSERT_TRUE(gLog && gLogStructuredArray && gPrintErr) << "GLib is not loaded";
    gLog("OrbTest", glib::kLevelWarning, "an old-style warning %d", 1);
    gLog("OrbTest", glib::kLevelCritical, "an old-style critical %d", 2);
    gLog("OrbTest", glib::kLevelDebug, "a debug message nobody asked for");
    const glib::LogField fields[]
        = { { "GLIB_DOMAIN", "OrbTest", -1 }, { "MESSAGE", "a structured warning", -1 }, { "PRIORITY", "4", -1 } };
    gLogStructuredArray(glib::kLevelWarning, fields, 3);
    gPrintErr("printed to standard error %s\n", "through GLib");

    auto text = stderrText.release();
    EXPECT_EQ(text, "") << "the engine or GLib wrote to standard error";
    EXPECT_TRUE(logged.contains("OrbTest-WARNING: an old-style warning 1"));
    EXPECT_TRUE(logged.contains("OrbTest-CRITICAL: an old-style critical 2")) << "criticals keep domain and level";
    EXPECT_TRUE(logged.contains("OrbTest-WARNING: a structured warning"));
    EXPECT_TRUE(logged.contains("printed to standard error through GLib"));
    EXPECT_FALSE(logged.contains("a debug message nobody asked for")) << "debug messages stay off unless asked for";
    // The events made up for the offscreen window are whole: the toolkit
    // neither misses their device nor takes the window for an X11 one.
    EXPECT_FALSE(logged.contains("GdkDevice"));
    EXPECT_FALSE(logged.contains("invalid cast"));
    EXPECT_FALSE(logged.contains("a11y")) << "the accessibility bus is not sought";
    if (HasFailure()) {
        for (const auto& line : logged.lines())
            std::printf("logged: %s", line.c_str());
    }
}

TEST_F(WebPageTest, TheScrollViewScrollsALongPage)
{
    ASSERT_TRUE(loadResource("long.html", "<html><body style='margin:0'><div style='height:3000px'></div></body></html>"));
    EXPECT_GE(webView->scrollView()->contentSize().height, 3000);
    webView->scrollView()->setContentOffset(platform::Point(0, 1200));
    EXPECT_EQ(script("window.scrollY"), "1200");

    // What the page's own load handler adds counts, and a shorter page
    // that follows has its own size.
    ASSERT_TRUE(loadResource("grown.html",
        "<html><body style='margin:0' onload=\"var d=document.createElement('div');d.style.height='5000px';"
        "document.body.appendChild(d)\"><div style='height:100px'></div></body></html>"));
    EXPECT_GE(webView->scrollView()->contentSize().height, 5100);
    ASSERT_TRUE(
        loadResource("short.html", "<html><body style='margin:0'><div style='height:10px'></div></body></html>"));
    EXPECT_EQ(webView->scrollView()->contentSize().height, webView->bounds().height());
}

TEST_F(WebPageTest, AStyledPageIsDrawnIntoTheViewWithItsImageAndChineseText)
{
    // A 4 × 4 red PNG beside the page.
    auto red = platform::Image(4, 4, 1, platform::Color(1, 0, 0, 1)).encodePNG();
    ASSERT_TRUE(red);
    ASSERT_TRUE(platform::FileUtil::write(resources / "red.png", std::string(red->begin(), red->end())));
    ASSERT_TRUE(loadResource("styled.html",
        "<html><head><meta charset='utf-8'><style>body{margin:0;background:#2060c0;font:24px sans-serif;color:#fff}"
        "h1{margin:0;height:80px;font-size:32px} img{display:block;width:100px;height:100px}</style></head>"
        "<body><h1>班级相册</h1><img src='red.png'><p>家校互动 — a styled page</p></body></html>"));
    ASSERT_TRUE(webView->updateDrawing());
    auto image = webView->renderToImage(2);
    ASSERT_TRUE(image);
    image->encodePNG();
    auto png = image->encodePNG();
    ASSERT_TRUE(png);
    std::string out = "web-styled-page.png"; // beside the test program, to be looked at
    platform::FileUtil::write(out, std::string(png->begin(), png->end()));
    // The background colour, the image's red, and the heading's white text.
    auto background = image->pixelAt(600, 900);
    EXPECT_NEAR(background[0], 0x20, 8);
    EXPECT_NEAR(background[2], 0xc0, 8);
    auto picture = image->pixelAt(100, 260);
    EXPECT_GT(picture[0], 200);
    EXPECT_LT(picture[1], 40);
    int white = 0;
    for (int y = 0; y < 160; ++y)
        for (int x = 0; x < 400; ++x)
            white += image->pixelAt(x, y)[1] > 200;
    EXPECT_GT(white, 200) << "the Chinese heading is drawn";
}

TEST_F(WebPageTest, AScriptsChangeReachesTheViewAsTheRegionItRepainted)
{
    ASSERT_TRUE(loadResource("box.html",
        "<html><body style='margin:0;background:#fff'><div id='box' style='position:absolute;left:100px;top:200px;"
        "width:50px;height:40px;background:#30a030'></div></body></html>"));
    ASSERT_TRUE(webView->updateDrawing());
    ASSERT_TRUE(webView->renderToImage(1));
    webView->clearNeedsDisplay();
    script("document.getElementById('box').style.background = '#c03030'");
    // No request to draw: the engine's repaint alone brings the change.
    ASSERT_TRUE(loop->runUntil([this] { return webView->needsDisplay(); }, 5));
    auto changed = webView->needsDisplayRect();
    EXPECT_LE(changed.origin.x, 100);
    EXPECT_LE(changed.origin.y, 200);
    EXPECT_GE(changed.origin.x + changed.size.width, 150);
    EXPECT_GE(changed.origin.y + changed.size.height, 240);
    EXPECT_LT(changed.size.width * changed.size.height, 320.0 * 480 / 4) << "only the repainted part, not the page";
    auto image = webView->renderToImage(1);
    ASSERT_TRUE(image);
    auto inside = image->pixelAt(125, 220);
    EXPECT_NEAR(inside[0], 0xc0, 12);
    EXPECT_NEAR(inside[1], 0x30, 12);
    auto outside = image->pixelAt(20, 20);
    EXPECT_GT(outside[1], 240) << "the rest of the page is still drawn";
}

TEST_F(WebPageTest, PagesFetchWithTheApplicationsCookiesAndTheCookiesTheySetReachIt)
{
    testsupport::TestHttpServer server;
    ASSERT_TRUE(server.start());
    server.on("/classes", [](const testsupport::TestRequest& request, testsupport::TestConnection& connection) {
        bool signedIn = request.header("Cookie").value_or("").find("JSESSIONID=s3cr3t") != std::string::npos;
        connection.respond(signedIn ? testsupport::TestResponse::make(200, R"(["一班","二班"])",
                                          { { "Content-Type", "application/json; charset=utf-8" } })
                                    : testsupport::TestResponse::make(401, "", {}));
    });
    server.on("/page", testsupport::TestHttpServer::text(200,
        "<html><head><meta charset='utf-8'></head><body><ul id='list'></ul><script>"
        "document.cookie = 'seen=yes; path=/';"
        "fetch('/classes', { credentials: 'include' }).then(function (r) { return r.ok ? r.json() : ['refused']; })"
        ".then(function (names) { names.forEach(function (n) { var li = document.createElement('li');"
        "li.textContent = n; document.getElementById('list').appendChild(li); }); document.title = 'listed'; });"
        "</script></body></html>",
        "text/html; charset=utf-8"));

    auto& jar = platform::HttpCookieStorage::shared();
    auto host = platform::Url::parse(server.url("/"))->host();
    platform::HttpCookie session;
    session.name = "JSESSIONID";
    session.value = "s3cr3t";
    session.domain = host;
    jar.setCookie(session);

    webView->loadRequest(*NSURLRequest::requestWithURL(server.url("/page")));
    ASSERT_TRUE(loop->runUntil([this] { return !delegate->journal.empty() && delegate->journal.back() == "finish"; }, 10));
    ASSERT_TRUE(loop->runUntil([this] { return webView->documentTitle() == "listed"; }, 10));
    EXPECT_EQ(webView->documentText(), "一班\n二班");

    // The page's own cookie arrives in the application's jar.
    auto seen = [&] {
        for (const auto& cookie : jar.cookiesForURL(*platform::Url::parse(server.url("/"))))
            if (cookie.name == "seen" && cookie.value == "yes")
                return true;
        return false;
    };
    EXPECT_TRUE(loop->runUntil(seen, 10));
    for (const auto& cookie : jar.cookies())
        jar.deleteCookie(cookie);
}

} // namespace
