// What a person waits for the first web page after the client starts:
// orb-client on an X server of the benchmark's own (Xvfb), signed in by
// itself as the demo teacher, the function grid shown; a click on the tile
// 班级公告 (a page of the resources that loads the class notices from the
// stand-in server). Timed from the click to the first look at the window
// that shows the pushed screen with its loading view, and to the first that
// shows the page drawn with its notices, each as the harness draws them. The
// window is read straight from the X server every few milliseconds. Each
// run is a fresh program on a fresh copy of the signed-in home (no engine
// caches), as the first page after a start is. Beside the figures: the
// machine's one-minute load average (/proc/loadavg) at the start and the end
// of the runs, since a busy machine stretches every figure, and how long the
// click itself took to reach the X server (sent through XTest where the X
// libraries are there, else by xdotool), which the figures include. ORB_BENCH_CLIENT
// names another client program to measure instead of the build's own (an
// earlier build, to compare).
#include "bench/support/BenchFolders.h"
#include "bench/support/ClientServer.h"
#include "bench/support/ProcessFigures.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/uikit/WebEngine.h"
#include "server/StandinServer.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/app/ClientWindow.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

// The client program, where the build puts it (app/), relative to the build folder.
constexpr const char* kClientProgram = "app/orb-client";
constexpr const char* kTile = "班级公告";
// The notice page shows its list (or says there is none) once its data came.
constexpr const char* kPageReady = "document.querySelector('#notices .list, #notices .notice-state.empty') ? '1' : ''";
// How long a run may take from the click before it counts as failed.
constexpr double kLongestWait = 30;
// Between two looks at the window: often enough for a figure to the tens of
// milliseconds, rarely enough to leave the client the processor.
constexpr auto kLookEvery = std::chrono::milliseconds(8);

double seconds(std::chrono::steady_clock::duration span) { return std::chrono::duration<double>(span).count(); }

struct Figures {
    std::vector<double> loading; // click to the loading view, ms
    std::vector<double> page; // click to the drawn page, ms
    std::vector<double> click; // the click tool's own time, ms
    std::vector<double> look; // one look at the window, ms

    static double mean(const std::vector<double>& values)
    {
        double sum = 0;
        for (double v : values)
            sum += v;
        return values.empty() ? 0 : sum / double(values.size());
    }
    static double most(const std::vector<double>& values)
    {
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    }
    static double least(const std::vector<double>& values)
    {
        return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
    }
};

void BM_FirstWebPageAfterStart(benchmark::State& state)
{
    // The harness's client and the engine talk; the figures are what matter here.
    platform::setLogSink([](std::string_view) {});
    std::string program = benchsupport::clientProgram(testsupport::buildPath(kClientProgram));
    testsupport::XvfbDisplay display;
    if (auto why = testsupport::startWindowTestDisplay(display); !why.empty()) {
        state.SkipWithError(why.c_str());
        return;
    }
    // The harness's pages are drawn on the same X server as the window.
    platform::setWebEngineDisplay(display.name());
    std::string scratch = benchsupport::benchFolder("orb-bench-first-page");
    testsupport::WebTileScreens learnt;
    if (!testsupport::learnWebTileScreens(scratch, kTile, kPageReady, learnt)) {
        state.SkipWithError("the client did not open the page in the harness");
        return;
    }
    if (testsupport::screenLikeness(learnt.loading, learnt.page) >= 0.9
        || testsupport::showsSpinner(learnt.page, learnt) || !testsupport::showsSpinner(learnt.loading, learnt)) {
        state.SkipWithError("the loading view and the page cannot be told apart");
        return;
    }
    benchsupport::ClientServer setting;
    if (!benchsupport::startClientServer(scratch, setting) || !testsupport::prepareSignedInHome(setting.home)) {
        state.SkipWithError("no server or home for the client");
        return;
    }
    auto showsLoading = [&](const platform::Image& shot) {
        return testsupport::screenLikeness(shot, learnt.loading) >= 0.9 && testsupport::showsSpinner(shot, learnt);
    };
    auto showsPage = [&](const platform::Image& shot) {
        return testsupport::screenLikeness(shot, learnt.page) >= 0.9 && !testsupport::showsSpinner(shot, learnt);
    };
    Figures figures;
    double loadBefore = benchsupport::loadAverage();
    const std::string runHome = scratch + "/home-run";
    for (auto _ : state) {
        // A fresh copy of the signed-in home each time: nothing the engine
        // kept from the run before.
        if (!benchsupport::freshCopyOfHome(setting.home, runHome)) {
            state.SkipWithError("the home could not be copied");
            break;
        }
        testsupport::ClientWindowProcess client;
        setenv("ORB_RESOURCES", testsupport::sourcePath("resources").c_str(), 1);
        std::string reason;
        bool started = client.start(program, runHome, setting.server->baseUrl(), scratch, &reason);
        unsetenv("ORB_RESOURCES");
        bool there = started;
        for (int attempt = 0; there && attempt < 10; ++attempt) {
            if (client.waitForScreen(learnt.grid, 6))
                break;
            there = client.clickAt(learnt.gridTab);
        }
        there = there && client.waitForScreen(learnt.grid).has_value();
        if (!there) {
            state.SkipWithError(("the grid did not come up in the window: " + reason + client.log()).c_str());
            break;
        }
        // What the start set going settles first (the first polls, the
        // address book), as it has by the time a person taps.
        std::this_thread::sleep_for(std::chrono::seconds(3));

        auto clicked = std::chrono::steady_clock::now();
        if (!client.clickNow(learnt.tile)) {
            state.SkipWithError("the click did not reach the window");
            break;
        }
        figures.click.push_back(seconds(std::chrono::steady_clock::now() - clicked) * 1000);
        std::optional<double> loading;
        std::optional<double> page;
        while (!page && seconds(std::chrono::steady_clock::now() - clicked) < kLongestWait) {
            auto looked = std::chrono::steady_clock::now();
            auto shot = client.grab();
            figures.look.push_back(seconds(std::chrono::steady_clock::now() - looked) * 1000);
            double at = seconds(looked - clicked) * 1000;
            if (shot && shot->pixelWidth() == learnt.page.pixelWidth()) {
                if (!loading && showsLoading(*shot))
                    loading = at;
                if (showsPage(*shot))
                    page = at;
            }
            if (client.exited())
                break;
            std::this_thread::sleep_for(kLookEvery);
        }
        client.signalAndWait(SIGTERM);
        if (!page) {
            state.SkipWithError(("the page was not drawn in the window: " + client.log()).c_str());
            break;
        }
        // A loading view that came and went between two looks is not seen:
        // then it counts as shown no later than the page.
        figures.loading.push_back(loading.value_or(*page));
        figures.page.push_back(*page);
        state.SetIterationTime(*page / 1000);
    }
    double loadAfter = benchsupport::loadAverage();
    state.counters["tap_to_loading_ms"] = Figures::mean(figures.loading);
    state.counters["tap_to_loading_max_ms"] = Figures::most(figures.loading);
    state.counters["tap_to_page_ms"] = Figures::mean(figures.page);
    state.counters["tap_to_page_min_ms"] = Figures::least(figures.page);
    state.counters["tap_to_page_max_ms"] = Figures::most(figures.page);
    state.counters["click_ms"] = Figures::mean(figures.click);
    state.counters["look_ms"] = Figures::mean(figures.look);
    state.counters["load_before"] = loadBefore;
    state.counters["load_after"] = loadAfter;
    state.SetLabel(std::string("tile ") + kTile);
}
BENCHMARK(BM_FirstWebPageAfterStart)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
