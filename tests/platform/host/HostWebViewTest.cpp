// A web page inside the host's window: the desktop keyboard types into the
// page's field, and the engine draws on the window's own X server. Its own
// program: the engine stays on the display it first opened for the life of
// the process, so nothing else may run after that X server stops.
#include "platform/host/DesktopHost.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/ScreenFrames.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/UIWindow.h"
#include "platform/uikit/WebEngine.h"
#include "tests/platform/host/HostTestSupport.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/app/sample/SampleApp.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <dirent.h>
#include <sstream>
#include <unistd.h>

using platform::host::DesktopHost;
using platform::host::HostOptions;

namespace {

std::string px(double points) { return std::to_string(long(std::lround(points * 2))); }

// The X servers this process started (the test's own, and any other).
int xServerChildren()
{
    int count = 0;
    DIR* proc = opendir("/proc");
    if (!proc)
        return -1;
    while (auto* entry = readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        // Read without exceptions: a process may end between the listing and the read.
        std::string line = testsupport::readTextFile(std::string("/proc/") + entry->d_name + "/stat");
        if (line.empty())
            continue;
        auto open = line.find('(');
        auto close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        std::string name = line.substr(open + 1, close - open - 1);
        std::istringstream rest(line.substr(close + 2));
        std::string state;
        long parent = 0;
        rest >> state >> parent;
        if (name == "Xvfb" && state != "Z" && parent == long(getpid()))
            ++count;
    }
    closedir(proc);
    return count;
}

class FinishCounter final : public UIWebViewDelegate {
public:
    void webViewDidFinishLoad(UIWebView*) override { ++finished; }
    int finished = 0;
};

const char* kPage = "<html><body style='margin:0'>"
                    "<input style='position:absolute;left:20px;top:40px;width:200px;height:30px;font-size:16px'>"
                    "<script>window.returns=0;document.querySelector('input').addEventListener('keydown',"
                    "function(e){if(e.key==='Enter')window.returns++;});</script>"
                    "</body></html>";

} // namespace

TEST(HostWebView, TheKeyboardTypesIntoThePageOnTheWindowsOwnDisplay)
{
    hosttest::XvfbDisplay xvfb;
    std::string reason;
    if (!xvfb.start(&reason))
        ORB_SKIP_WITHOUT_TOOL("no X server for the window: " + reason);
    if (!testsupport::toolInstalled("xdotool"))
        ORB_SKIP_WITHOUT_TOOL("xdotool is not installed (scripts/setup installs it)");
    int serversBefore = xServerChildren();
    ASSERT_GE(serversBefore, 1);

    auto app = std::make_shared<sample::SampleAppDelegate>();
    testsupport::AppHarnessOptions harnessOptions;
    harnessOptions.startServer = false;
    testsupport::AppHarness harness(harnessOptions);
    ASSERT_TRUE(harness.start(app));
    HostOptions options;
    options.actualSize = true;
    options.sound = false;
    DesktopHost host(options);
    ASSERT_TRUE(host.open(&reason)) << reason;
    auto& loop = platform::RunLoop::main();
    ASSERT_TRUE(loop.runUntil([&] { return host.presentedFrames() > 0; }, 10));
    auto wid = std::to_string(host.nativeWindowId());
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "windowfocus", "--sync", wid }), 0);

    auto web = std::make_shared<UIWebView>(platform::Rect(0, 100, 320, 200));
    auto delegate = std::make_shared<FinishCounter>();
    web->setDelegate(delegate);
    // The engine starts (holding the loop a long while) only once the
    // window has shown the frame with the web view in it: the first frame
    // after the page was asked for is drawn without an engine.
    auto framesBefore = host.presentedFrames();
    std::optional<bool> engineAtFirstFrame;
    auto watch = loop.addBeforeWaitingObserver([&] {
        if (!engineAtFirstFrame && host.presentedFrames() > framesBefore)
            engineAtFirstFrame = web->engineStarted();
    });
    // As a tap would: in a turn of the loop.
    platform::postToMain([&] {
        app->root()->selectTab(1);
        app->root()->tabs()[1]->view()->addSubview(web);
        web->loadHTMLString(kPage, std::nullopt);
        EXPECT_EQ(platform::ScreenFrames::waitingCount(), 1u);
    });
    ASSERT_TRUE(loop.runUntil([&] { return delegate->finished > 0 || web->engineError(); }, 30));
    loop.removeBeforeWaitingObserver(watch);
    ASSERT_FALSE(web->engineError()) << web->engineError()->localizedDescription();
    ASSERT_TRUE(engineAtFirstFrame.has_value());
    EXPECT_FALSE(*engineAtFirstFrame);
    EXPECT_TRUE(web->engineStarted());

    // The page is drawn on the window's X server: no second one was started.
    EXPECT_EQ(platform::webEngineDisplayInUse(), xvfb.name());
    EXPECT_EQ(xServerChildren(), serversBefore);

    // Typing before the field has the focus reaches neither the page nor anything else.
    auto value = [&] { return web->stringByEvaluatingJavaScriptFromString("document.querySelector('input').value"); };
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "type", "--delay", "30", "lost" }), 0);
    loop.runUntil([] { return false; }, 0.3);
    EXPECT_EQ(value(), "");
    EXPECT_FALSE(web->isFirstResponder());

    // A click on the field (120, 55 on the page) focuses it.
    auto centre = hosttest::screenCentreOf(web);
    double x = centre.x - 160 + 120;
    double y = centre.y - 100 + 55;
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "mousemove", "--window", wid, px(x), px(y), "click", "1" }), 0);
    ASSERT_TRUE(loop.runUntil([&] { return web->isFirstResponder(); }, 5));
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.activeElement.tagName"), "INPUT");

    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "type", "--delay", "30", "hello" }), 0);
    ASSERT_TRUE(loop.runUntil([&] { return value() == "hello"; }, 5)) << value();

    // An input method commits its Chinese as one piece of text.
    SDL_Event commit {};
    commit.type = SDL_TEXTINPUT;
    std::strncpy(commit.text.text, "你好", sizeof commit.text.text - 1);
    host.handleEvent(commit);
    ASSERT_TRUE(loop.runUntil([&] { return value() == "hello你好"; }, 5)) << value();

    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "key", "BackSpace" }), 0);
    ASSERT_TRUE(loop.runUntil([&] { return value() == "hello你"; }, 5)) << value();

    // The arrows, Home and End move the page's caret: what is typed next lands there.
    // Keys travel to the page on their own queue, typed text does not: each
    // move is waited for before the text that follows it.
    auto caret = [&] {
        return web->stringByEvaluatingJavaScriptFromString("String(document.querySelector('input').selectionStart)");
    };
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "key", "Left", "Left" }), 0);
    ASSERT_TRUE(loop.runUntil([&] { return caret() == "4"; }, 5)) << caret();
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "type", "X" }), 0);
    ASSERT_TRUE(loop.runUntil([&] { return value() == "hellXo你"; }, 5)) << value();
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "key", "Home" }), 0);
    ASSERT_TRUE(loop.runUntil([&] { return caret() == "0"; }, 5)) << caret();
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "type", "S" }), 0);
    ASSERT_TRUE(loop.runUntil([&] { return value() == "ShellXo你"; }, 5)) << value();
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "key", "Right", "End" }), 0);
    ASSERT_TRUE(loop.runUntil([&] { return caret() == "8"; }, 5)) << caret();
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "type", "E" }), 0);
    ASSERT_TRUE(loop.runUntil([&] { return value() == "ShellXo你E"; }, 5)) << value();
    EXPECT_EQ(web->stringByEvaluatingJavaScriptFromString("document.querySelector('input').selectionStart"), "9");
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "key", "Return" }), 0);
    ASSERT_TRUE(loop.runUntil(
        [&] { return web->stringByEvaluatingJavaScriptFromString("String(window.returns)") == "1"; }, 5));
    EXPECT_EQ(value(), "ShellXo你E");

    // A click on the page outside the field gives the keyboard up.
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "mousemove", "--window", wid, px(x), px(y + 100), "click", "1" }),
        0);
    ASSERT_TRUE(loop.runUntil([&] { return !web->isFirstResponder(); }, 5));
    ASSERT_EQ(hosttest::runWhileLooping({ "xdotool", "type", "--delay", "30", "z" }), 0);
    loop.runUntil([] { return false; }, 0.3);
    EXPECT_EQ(value(), "ShellXo你E");

    web->removeFromSuperview();
    host.close();
}
