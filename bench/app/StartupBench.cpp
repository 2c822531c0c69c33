// What a person waits for when the client starts, and what it holds once
// signed in: from launch to the first drawn login screen, and the resident
// memory after signing in as the demo teacher through the screens. Headless,
// against the in-process stand-in server, on the harness's manual clock (so
// the figures are the work done, not the animations' waits).
#include "tests/support/app/ClientApp.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// Resident set size of this process in megabytes, from /proc.
double residentMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

std::string benchFolder(const char* name)
{
    auto folder = std::filesystem::temp_directory_path() / (std::string(name) + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder.string();
}

// A home that has been started once and passed the introduction, so each
// start goes straight to the login screen, as every run after the first does.
std::string homeAfterFirstRun()
{
    static const std::string home = [] {
        std::string folder = benchFolder("orb-bench-home");
        testsupport::AppHarnessOptions options;
        options.home = folder;
        options.renderDirectory = benchFolder("orb-bench-renders");
        testsupport::AppHarness harness(options);
        if (!testsupport::startClient(harness) || !testsupport::passIntroduction(harness))
            return std::string();
        return folder;
    }();
    return home;
}

void BM_LaunchToFirstDrawnLoginScreen(benchmark::State& state)
{
    const std::string home = homeAfterFirstRun();
    if (home.empty()) {
        state.SkipWithError("the client did not reach its login screen");
        return;
    }
    const std::string renders = benchFolder("orb-bench-renders");
    for (auto _ : state) {
        state.PauseTiming(); // the stand-in server and the harness are not the client
        testsupport::AppHarnessOptions options;
        options.home = home;
        options.renderDirectory = renders;
        auto owned = std::make_unique<testsupport::AppHarness>(options);
        auto& harness = *owned;
        state.ResumeTiming();

        if (!testsupport::startClient(harness)
            || !harness.runUntil([&] { return testsupport::loginScreen(harness) != nullptr; }, 10)) {
            state.SkipWithError("no login screen");
            break;
        }
        benchmark::DoNotOptimize(harness.render("bench-login.png"));

        state.PauseTiming();
        owned.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LaunchToFirstDrawnLoginScreen)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_SignInThroughTheScreens(benchmark::State& state)
{
    double resident = 0;
    for (auto _ : state) {
        state.PauseTiming();
        testsupport::AppHarnessOptions options;
        options.renderDirectory = benchFolder("orb-bench-renders");
        auto owned = std::make_unique<testsupport::AppHarness>(options);
        auto& harness = *owned;
        state.ResumeTiming();

        if (!testsupport::startClient(harness)
            || !testsupport::signInThroughScreens(
                harness, testsupport::kDemoTeacher, testsupport::kDemoTeacherPassword)) {
            state.SkipWithError("the demo teacher could not sign in");
            break;
        }
        benchmark::DoNotOptimize(harness.render("bench-signed-in.png"));

        state.PauseTiming();
        resident = residentMegabytes();
        owned.reset();
        state.ResumeTiming();
    }
    // The whole process: the client, the harness and the in-process server.
    state.counters["resident_MB"] = resident;
}
BENCHMARK(BM_SignInThroughTheScreens)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
BENCHMARK_MAIN();
