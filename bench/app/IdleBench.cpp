// What the client spends while nothing happens in its desktop window:
// orb-client on an X server of the benchmark's own (Xvfb), signed in as the
// demo teacher, left alone for thirty seconds, once in a chat with the
// keyboard panel up (its caret blinking) and once on the message list (no
// field focused, nothing moving). Its CPU time (the process's own CPU-time
// clock, to the nanosecond, and utime + stime from /proc/PID/stat, in clock
// ticks, beside it: both count the threads that ended meanwhile too) over
// that time as a share of a core, beside the machine's one-minute load
// average (/proc/loadavg) at the start and the end, since a
// busy machine stretches every figure. ORB_BENCH_CLIENT names another client
// program to measure instead of the build's own (an earlier build, to compare).
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "server/StandinServer.h"
#include "bench/support/ClientServer.h"
#include "bench/support/ProcessFigures.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/app/ClientWindow.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

// The client program, where the build puts it (app/), relative to the build folder.
constexpr const char* kClientProgram = "app/orb-client";
// How long the client is left alone while its CPU time is measured.
constexpr int kIdleSeconds = 30;

// Argument: 0 in the chat with the keyboard up, 1 on the still message list.
void BM_ClientLeftAlone(benchmark::State& state)
{
    platform::setLogSink([](std::string_view) {});
    bool still = state.range(0) != 0;
    std::string program = benchsupport::clientProgram(testsupport::buildPath(kClientProgram));
    testsupport::XvfbDisplay display;
    if (auto why = testsupport::startWindowTestDisplay(display); !why.empty()) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::string reason;
    std::string scratch = testsupport::makeTempDir("orb-idle-bench");
    testsupport::SignedInScreens learnt;
    if (!testsupport::learnSignedInScreens(scratch, learnt)) {
        state.SkipWithError("the client did not walk its steps in the harness");
        return;
    }
    benchsupport::ClientServer setting;
    if (!benchsupport::startClientServer(scratch, setting) || !testsupport::prepareSignedInHome(setting.home)
        || setting.server->deliverMessage(2001, 3001, "明天带水彩笔").empty()) {
        state.SkipWithError("no server or home for the client");
        return;
    }
    double share = 0;
    double runShare = 0;
    double loadBefore = 0;
    double loadAfter = 0;
    for (auto _ : state) {
        testsupport::ClientWindowProcess client;
        setenv("ORB_RESOURCES", testsupport::sourcePath("resources").c_str(), 1);
        bool started = client.start(program, setting.home, setting.server->baseUrl(), scratch, &reason);
        unsetenv("ORB_RESOURCES");
        bool there = started && client.waitForScreen(learnt.tabScreens[std::size_t(learnt.firstTab)]).has_value();
        for (int attempt = 0; there && attempt < 10; ++attempt) {
            there = client.clickAt(learnt.tabButtons[0]);
            if (client.waitForScreen(learnt.messageTabWithConversation, 6))
                break;
        }
        there = there && client.waitForScreen(learnt.messageTabWithConversation).has_value();
        if (!still)
            there = there && client.clickAt(learnt.firstConversation)
                && client.waitForBand(learnt.chat, 520, 568).has_value() && client.clickAt(learnt.chatField);
        if (!there) {
            state.SkipWithError(("the screen did not come up in the window: " + client.log()).c_str());
            break;
        }
        // Everything settles: the keyboard's animation, the first polls.
        std::this_thread::sleep_for(std::chrono::seconds(3));
        loadBefore = benchsupport::loadAverage();
        double before = benchsupport::cpuSeconds(client.pid());
        double runBefore = benchsupport::runSeconds(client.pid());
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(kIdleSeconds));
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        share = (benchsupport::cpuSeconds(client.pid()) - before) / wall * 100;
        runShare = (benchsupport::runSeconds(client.pid()) - runBefore) / wall * 100;
        loadAfter = benchsupport::loadAverage();
        client.signalAndWait(SIGTERM);
    }
    // The process's CPU clock, and its clock ticks (10 ms each) beside it.
    state.counters["idle_cpu_percent"] = runShare;
    state.counters["idle_cpu_percent_ticks"] = share;
    state.counters["load_before"] = loadBefore;
    state.counters["load_after"] = loadAfter;
    state.SetLabel(still ? "message list, nothing moving" : "chat, keyboard up");
    platform::FileUtil::remove(scratch);
}
BENCHMARK(BM_ClientLeftAlone)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
