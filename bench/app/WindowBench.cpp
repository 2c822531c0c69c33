// What the client holds and spends in a desktop window: orb-client on an X
// server of the benchmark's own (Xvfb), signed in as the demo teacher, with a
// chat open and the keyboard panel up. Its resident memory from
// /proc/PID/status once it has settled, and its CPU time (utime + stime from
// /proc/PID/stat) over ten seconds in which nothing happens, as a share of a
// core. Run once with the frames put straight into the window's pixels (the
// default) and once through the GL renderer (--gl), to set them side by side.
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "server/StandinServer.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/app/ClientWindow.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

// The client program, where the build puts it (app/), relative to the build folder.
constexpr const char* kClientProgram = "app/orb-client";

double residentMegabytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    return 0;
}

// Where the resident memory is, in megabytes, from /proc/PID/smaps: the
// heap, other anonymous memory, the GL stack's libraries (LLVM and the DRI
// driver), and the rest of what is mapped from files (code, fonts, shared memory).
struct ResidentParts {
    double heap = 0;
    double anonymous = 0;
    double glStack = 0;
    double files = 0;
};

ResidentParts residentParts(pid_t pid)
{
    ResidentParts parts;
    std::ifstream smaps("/proc/" + std::to_string(pid) + "/smaps");
    std::string line;
    std::string name;
    while (std::getline(smaps, line)) {
        std::istringstream fields(line);
        std::string first;
        fields >> first;
        if (first == "Rss:") {
            double mb = 0;
            fields >> mb;
            mb /= 1024;
            if (name == "[heap]")
                parts.heap += mb;
            else if (name.empty() || name[0] == '[')
                parts.anonymous += mb;
            else if (name.find("libLLVM") != std::string::npos || name.find("_dri.so") != std::string::npos
                || name.find("libGL") != std::string::npos)
                parts.glStack += mb;
            else
                parts.files += mb;
        } else if (first.find('-') != std::string::npos && first.back() != ':') {
            // A mapping's first line: address range, perms, offset, device, inode, then the name.
            std::string perms, offset, device, inode;
            fields >> perms >> offset >> device >> inode;
            name.clear();
            std::getline(fields, name);
            name.erase(0, name.find_first_not_of(' '));
        }
    }
    return parts;
}

// User and system time of the process so far, in seconds.
double cpuSeconds(pid_t pid)
{
    std::string text = testsupport::readTextFile("/proc/" + std::to_string(pid) + "/stat");
    auto close = text.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    long long utime = 0;
    long long stime = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index == 14)
            utime = std::stoll(field);
        if (index == 15)
            stime = std::stoll(field);
    }
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

void BM_ClientInTheWindowWithAChatOpen(benchmark::State& state)
{
    // The harness's client talks; the figures are what matter here.
    platform::setLogSink([](std::string_view) {});
    bool gl = state.range(0) != 0;
    testsupport::XvfbDisplay display;
    std::string reason;
    if (!display.start(&reason)) {
        state.SkipWithError(("no X server: " + reason).c_str());
        return;
    }
    for (const char* tool : { "xdotool", "import" }) {
        if (!testsupport::toolInstalled(tool)) {
            state.SkipWithError((std::string(tool) + " is not installed").c_str());
            return;
        }
    }
    std::string scratch = testsupport::makeTempDir("orb-window-bench");
    testsupport::SignedInScreens learnt;
    if (!testsupport::learnSignedInScreens(scratch, learnt)) {
        state.SkipWithError("the client did not walk its steps in the harness");
        return;
    }
    server::ServerOptions serverOptions;
    serverOptions.dataDirectory = scratch + "/server";
    server::StandinServer server(serverOptions);
    platform::Error error;
    std::string home = scratch + "/home";
    if (!server.start(&error) || !platform::FileUtil::createDirectory(home) || !testsupport::prepareSignedInHome(home)
        || server.deliverMessage(2001, 3001, "明天带水彩笔").empty()) {
        state.SkipWithError("no server or home for the client");
        return;
    }
    double resident = 0;
    double idleShare = 0;
    ResidentParts parts;
    for (auto _ : state) {
        testsupport::ClientWindowProcess client;
        setenv("ORB_RESOURCES", testsupport::sourcePath("resources").c_str(), 1);
        bool started = client.start(testsupport::buildPath(kClientProgram), home, server.baseUrl(), scratch, &reason,
            gl ? std::vector<std::string> { "--gl" } : std::vector<std::string> {});
        unsetenv("ORB_RESOURCES");
        bool there = started && client.waitForScreen(learnt.tabScreens[std::size_t(learnt.firstTab)]);
        for (int attempt = 0; there && attempt < 10; ++attempt) {
            there = client.clickAt(learnt.tabButtons[0]);
            if (client.waitForScreen(learnt.messageTabWithConversation, 6))
                break;
        }
        there = there && client.waitForScreen(learnt.messageTabWithConversation) && client.clickAt(learnt.firstConversation)
            && client.waitForBand(learnt.chat, 520, 568) && client.clickAt(learnt.chatField);
        if (!there) {
            state.SkipWithError(("the chat did not open in the window: " + client.log()).c_str());
            break;
        }
        // Everything settles: the keyboard's animation, the first polls.
        std::this_thread::sleep_for(std::chrono::seconds(3));
        resident = residentMegabytes(client.pid());
        parts = residentParts(client.pid());
        double before = cpuSeconds(client.pid());
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        idleShare = (cpuSeconds(client.pid()) - before) / wall * 100;
        client.signalAndWait(SIGTERM);
    }
    state.counters["resident_MB"] = resident;
    state.counters["idle_cpu_percent"] = idleShare;
    state.counters["heap_MB"] = parts.heap;
    state.counters["other_anon_MB"] = parts.anonymous;
    state.counters["gl_stack_MB"] = parts.glStack;
    state.counters["files_MB"] = parts.files;
    state.SetLabel(gl ? "GL renderer (--gl)" : "window pixels (default)");
    platform::FileUtil::remove(scratch);
}
BENCHMARK(BM_ClientInTheWindowWithAChatOpen)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
