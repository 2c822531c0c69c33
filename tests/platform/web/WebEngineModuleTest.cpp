// The engine is a module opened on the first page: a program with the view
// layer maps none of the engine's libraries until then, and a machine
// without the module gets a failed load, not a crash. A program of its own,
// each case checked in a forked copy of it (the engine, once open, stays for
// the life of the process); the engine starts its own virtual display.
#include "platform/os/Error.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIWebView.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string mappedFiles()
{
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str();
}

bool mapped(const std::string& library) { return mappedFiles().find(library) != std::string::npos; }

class EndDelegate : public UIWebViewDelegate {
public:
    void webViewDidFinishLoad(UIWebView*) override { ended = "finish"; }
    void webViewDidFailLoadWithError(UIWebView*, const platform::Error& error) override
    {
        ended = "fail";
        description = error.localizedDescription();
    }
    std::string ended;
    std::string description;
};

// Loads a small page in a new web view and answers how it ended.
std::shared_ptr<EndDelegate> loadAPage()
{
    platform::RunLoop::setMainThread();
    auto& loop = platform::RunLoop::main();
    auto delegate = std::make_shared<EndDelegate>();
    auto webView = std::make_shared<UIWebView>(platform::Rect(0, 0, 200, 200));
    webView->setDelegate(delegate);
    webView->loadHTMLString("<title>t</title><p>page</p>", std::nullopt);
    loop.runUntil([&] { return !delegate->ended.empty(); }, 20);
    return delegate;
}

// Exit codes say which check failed; stderr says why.
int failWith(int code, const std::string& why)
{
    std::fprintf(stderr, "%s\n", why.c_str());
    std::fflush(stderr);
    return code;
}

int engineMappedOnlyOnceAPageLoads()
{
    if (mapped("libwebkit2gtk") || mapped("orb_webengine") || mapped("libgtk-3"))
        return failWith(1, "the engine is mapped before any page");
    // A web view alone opens nothing either.
    auto unused = std::make_shared<UIWebView>(platform::Rect(0, 0, 100, 100));
    if (mapped("libwebkit2gtk"))
        return failWith(2, "a web view without a page mapped the engine");
    auto delegate = loadAPage();
    if (delegate->ended != "finish")
        return failWith(3, "the page did not load: " + delegate->ended + " " + delegate->description);
    if (!mapped("libwebkit2gtk") || !mapped("orb_webengine"))
        return failWith(4, "the page loaded without the engine's module");
    return 0;
}

int missingModuleFailsTheLoad(const char* module, const std::string& expected)
{
    setenv("ORB_WEBENGINE_MODULE", module, 1);
    auto delegate = loadAPage();
    if (delegate->ended != "fail")
        return failWith(1, "the load did not fail: " + delegate->ended);
    if (delegate->description.find(expected) == std::string::npos)
        return failWith(2, "unclear failure: " + delegate->description);
    if (mapped("libwebkit2gtk"))
        return failWith(3, "the engine's libraries were mapped anyway");
    return 0;
}

// Runs the check in a child copy of this process; its exit code (0 when
// every check held). The parent itself never opens the engine.
int inChild(const std::function<int()>& check)
{
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0)
        std::_Exit(check());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(WebEngineModuleTest, TheEngineIsMappedOnlyWhenTheFirstPageLoads)
{
    EXPECT_EQ(inChild(engineMappedOnlyOnceAPageLoads), 0);
    EXPECT_FALSE(mapped("libwebkit2gtk"));
}

TEST(WebEngineModuleTest, AMissingOrForeignModuleFailsTheLoadClearly)
{
    EXPECT_EQ(inChild([] { return missingModuleFailsTheLoad("/nonexistent/orb_webengine.so", "could not be loaded"); }), 0);
    // A library that is not the engine's module.
    EXPECT_EQ(inChild([] { return missingModuleFailsTheLoad("libz.so.1", "does not belong"); }), 0);
}

} // namespace
