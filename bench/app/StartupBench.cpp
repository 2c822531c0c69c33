// What a person waits for when the client starts, and what it holds once
// signed in. The launch: the real program (orb-client) started as a new
// process in a window of an X server of the benchmark's own (Xvfb), against
// a stand-in server, timed from the spawn to the line the client prints
// (ORB_REPORT_FIRST_FRAME) once its window has shown a frame with the login
// screen on top; the first start of the run is reported apart (first_ms) from
// the later ones, whose files the system then has in its cache. The sign-in:
// headless in the application harness, against the in-process stand-in
// server, on the harness's manual clock (so the figure is the work done, not
// the animations' waits), with the resident memory after signing in as the
// demo teacher through the screens.
#include "bench/support/BenchFolders.h"
#include "platform/os/Log.h"
#include "server/StandinServer.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/app/ClientApp.h"

#include <benchmark/benchmark.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

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

// Under /tmp, removed when the program ends (bench/support/BenchFolders.h).
std::string benchFolder(const char* name)
{
    return benchsupport::benchFolder(name);
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

// The client program, where the build puts it, relative to the build folder.
constexpr const char* kClientProgram = "app/orb-client";
constexpr const char* kFirstFrameLine = "orb-client: first frame of the login screen shown";

// A started client whose output comes through a pipe.
struct ClientProcess {
    pid_t pid = -1;
    int output = -1;

    ~ClientProcess()
    {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            for (int i = 0; i < 500; ++i) { // up to 5 s for a clean end
                if (::waitpid(pid, nullptr, WNOHANG) == pid) {
                    pid = -1;
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (pid > 0) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        }
        if (output >= 0)
            ::close(output);
    }
};

// Starts the program with its standard output (and errors) into a pipe; the
// environment is this process's, which holds DISPLAY and the ORB_ settings.
bool spawnClient(const std::vector<std::string>& args, ClientProcess& client)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (failed != 0) {
        ::close(fds[0]);
        return false;
    }
    client.pid = pid;
    client.output = fds[0];
    return true;
}

// Reads the client's output until the line comes (true), it ends, or the time is up.
bool waitForLine(int fd, const std::string& wanted, double seconds, std::string& seen)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (true) {
        if (seen.find(wanted) != std::string::npos)
            return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd entry { fd, POLLIN, 0 };
        int ready = ::poll(&entry, 1, int(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[4096];
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            return false; // the client ended
        seen.append(buffer, std::size_t(got));
    }
}

void BM_LaunchToFirstDrawnLoginScreen(benchmark::State& state)
{
    const std::string home = homeAfterFirstRun();
    if (home.empty()) {
        state.SkipWithError("the client did not reach its login screen");
        return;
    }
    const std::string program = testsupport::buildPath(kClientProgram);
    if (::access(program.c_str(), X_OK) != 0) {
        state.SkipWithError(("no client program at " + program).c_str());
        return;
    }
    testsupport::XvfbDisplay display;
    std::string reason;
    if (!display.start(&reason)) {
        state.SkipWithError(("no X server: " + reason).c_str());
        return;
    }
    server::ServerOptions serverOptions;
    serverOptions.dataDirectory = benchFolder("orb-bench-server");
    server::StandinServer server(serverOptions);
    platform::Error error;
    if (!server.start(&error)) {
        state.SkipWithError("the stand-in server did not start");
        return;
    }
    setenv("ORB_HOME", home.c_str(), 1);
    setenv("ORB_SERVER_BASE", server.baseUrl().c_str(), 1);
    setenv("ORB_RESOURCES", testsupport::sourcePath("resources").c_str(), 1);
    setenv("ORB_REPORT_FIRST_FRAME", "1", 1);
    const std::vector<std::string> args { program, "--actual-size", "--silent" };
    bool haveFirst = false;
    double first = 0;
    double laterTotal = 0;
    int laterCount = 0;
    for (auto _ : state) {
        ClientProcess client;
        std::string output;
        auto begun = std::chrono::steady_clock::now();
        if (!spawnClient(args, client)) {
            state.SkipWithError("the client program did not start");
            break;
        }
        bool shown = waitForLine(client.output, kFirstFrameLine, 60, output);
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        if (!shown) {
            state.SkipWithError(("no first frame of the login screen: " + output).c_str());
            break;
        }
        state.SetIterationTime(took);
        if (!haveFirst) {
            haveFirst = true;
            first = took;
        } else {
            laterTotal += took;
            ++laterCount;
        }
        // The client ends (SIGTERM, waited for) as `client` goes: not timed.
    }
    unsetenv("ORB_HOME");
    unsetenv("ORB_SERVER_BASE");
    unsetenv("ORB_RESOURCES");
    unsetenv("ORB_REPORT_FIRST_FRAME");
    state.counters["first_ms"] = first * 1000.0;
    state.counters["later_mean_ms"] = laterCount ? laterTotal / laterCount * 1000.0 : 0;
}
BENCHMARK(BM_LaunchToFirstDrawnLoginScreen)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

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
