#include "bench/support/BenchFolders.h"
#include "platform/os/Bundle.h"
#include "platform/os/FileUtil.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/UIWindow.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

class CountingDelegate : public UIWebViewDelegate {
public:
    void webViewDidFinishLoad(UIWebView*) override { ++finished; }
    void webViewDidFailLoadWithError(UIWebView*, const platform::Error&) override { ++failed; }
    int finished = 0;
    int failed = 0;
};

// One web view on a page of the resources with a style sheet, an image and
// a script, shared by the benchmarks in the order they are registered.
struct Fixture {
    Fixture()
    {
        platform::RunLoop::setMainThread();
        auto red = platform::Image(64, 64, 1, platform::Color(0.9, 0.1, 0.1, 1)).encodePNG();
        platform::FileUtil::write(folder / "style.css",
            "body{margin:0;font:16px sans-serif;background:#f4f4f4} h1{color:#2060c0} "
            "#box{width:200px;height:80px;background:#30a030} img{width:64px;height:64px}");
        platform::FileUtil::write(folder / "photo.png", std::string(red->begin(), red->end()));
        platform::FileUtil::write(folder / "app.js",
            "function paint(colour) { document.getElementById('box').style.background = colour; }");
        page = folder / "page.html";
        platform::FileUtil::write(page,
            "<html><head><meta charset='utf-8'><link rel='stylesheet' href='style.css'><script src='app.js'></script>"
            "</head><body><h1>班级相册 Album</h1><img src='photo.png'><div id='box'></div>"
            "<p>家校互动的页面: styles, an image and a script.</p></body></html>");
        platform::Bundle::setMain(std::make_shared<platform::Bundle>(platform::Bundle::defaultInfo(), folder.string()));
        window = std::make_shared<UIWindow>();
        webView = std::make_shared<UIWebView>(platform::Rect(0, 0, 320, 568));
        window->addSubview(webView);
        webView->setDelegate(delegate);
    }

    bool load()
    {
        int before = delegate->finished + delegate->failed;
        webView->loadRequest(NSURLRequest(platform::Url::fileUrl(page)));
        bool ended = platform::RunLoop::main().runUntil(
            [&] { return delegate->finished + delegate->failed > before; }, 30);
        return ended && delegate->failed == 0 && webView->updateDrawing();
    }

    // Removed as the program ends, though the fixture itself is never destroyed (BenchFolders.h).
    std::filesystem::path folder { benchsupport::benchFolder("orb-web-bench") };
    std::string page;
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<UIWebView> webView;
    std::shared_ptr<CountingDelegate> delegate = std::make_shared<CountingDelegate>();
};

Fixture& fixture()
{
    static Fixture* instance = new Fixture();
    return *instance;
}

// Resident kilobytes of a process, from /proc.
long residentKilobytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

// The engine's processes are our children (web and network processes).
long engineResidentKilobytes()
{
    long total = 0;
    DIR* proc = opendir("/proc");
    if (!proc)
        return 0;
    while (auto* entry = readdir(proc)) {
        pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0)
            continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        auto close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(text.substr(close + 2));
        char state;
        pid_t parent = 0;
        rest >> state >> parent;
        std::string name = text.substr(text.find('(') + 1, close - text.find('(') - 1);
        if (parent == getpid() && name.rfind("WebKit", 0) == 0)
            total += residentKilobytes(pid);
    }
    closedir(proc);
    return total;
}

// The first page of the process: the engine starts (display, web and
// network processes) and draws the page.
void BM_FirstPage(benchmark::State& state)
{
    for (auto _ : state) {
        auto& f = fixture();
        if (!f.load())
            state.SkipWithError("the page did not load");
    }
}
BENCHMARK(BM_FirstPage)->Iterations(1)->Unit(benchmark::kMillisecond);

// The same page again, the engine warm.
void BM_WarmPage(benchmark::State& state)
{
    auto& f = fixture();
    for (auto _ : state) {
        if (!f.load())
            state.SkipWithError("the page did not load");
    }
}
BENCHMARK(BM_WarmPage)->Unit(benchmark::kMillisecond);

// A script changes the page; the new pixels reach the view's layer: timed
// from the script to the moment the view is told which part of it changed
// (its pixels already taken from the engine). Each change is then checked in
// a picture of the view, untimed.
void BM_RedrawAfterScript(benchmark::State& state)
{
    auto& f = fixture();
    f.load();
    const char* colours[] = { "#c03030", "#3030c0" };
    int turn = 0;
    auto& loop = platform::RunLoop::main();
    for (auto _ : state) {
        const char* colour = colours[turn++ % 2];
        int wanted = turn % 2 ? 0xc0 : 0x30;
        auto boxDrawn = [&] {
            auto image = f.webView->renderToImage(1);
            // The box sits under the heading and the image.
            return image && std::abs(int(image->pixelAt(100, 150)[0]) - wanted) < 16;
        };
        f.webView->clearNeedsDisplay();
        f.webView->stringByEvaluatingJavaScriptFromString(std::string("paint('") + colour + "')");
        bool told = loop.runUntil([&] { return f.webView->needsDisplay(); }, 5);
        state.PauseTiming();
        bool drawn = told && boxDrawn();
        state.ResumeTiming();
        // A first repaint that was not yet the box: the rest follows.
        if (told && !drawn)
            drawn = loop.runUntil(boxDrawn, 5);
        if (!drawn)
            state.SkipWithError("the change was not drawn");
    }
}
BENCHMARK(BM_RedrawAfterScript)->Unit(benchmark::kMillisecond);

void BM_ResidentMemory(benchmark::State& state)
{
    fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(residentKilobytes(getpid()));
    state.counters["ours_MB"] = double(residentKilobytes(getpid())) / 1024;
    state.counters["engine_MB"] = double(engineResidentKilobytes()) / 1024;
}
BENCHMARK(BM_ResidentMemory)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
