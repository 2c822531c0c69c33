// What the client holds and spends in a desktop window: orb-client on an X
// server of the benchmark's own (Xvfb), started at its login screen (a home
// past the introduction, nobody signed in), signed in as the demo teacher as
// a person does it (clicks into the fields, the credentials typed on the
// keyboard with xdotool, a click on the login button), then a chat opened
// and the keyboard panel up. Its resident memory (VmRSS) and proportional
// set size (Pss, /proc/PID/smaps_rollup: shared pages split among the
// processes that map them) once it has settled, and its CPU time (utime +
// stime from /proc/PID/stat) over ten seconds in which nothing happens, as a
// share of a core. Then, in the same process, a video of the library played
// and closed ten times as a person does it (back from the chat, the function
// grid, 教学视频, the first video, its play button; "完成" on the player, which
// turns the window to landscape while it shows): resident memory, PSS and
// threads (a) on the video's detail before the first play, (b) after the
// first play and close, (c) after the tenth. The first play opens the
// decoder module and the libraries it brings, which stay mapped, so the
// growth that says whether a play leaves memory behind is the one from (b)
// to (c); the one from (a) to (c) is beside it. The machine's load average
// at the start and the end. Run once with the frames put straight into the
// window's pixels (the default) and once through the GL renderer (--gl), to
// set them side by side.
#include "app/login/LoginViewController.h"
#include "app/main/ORBViewController.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/UserDefaults.h"
#include "server/StandinServer.h"
#include "bench/support/ClientServer.h"
#include "bench/support/ProcessFigures.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/ClientWindow.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

// The client program, where the build puts it (app/), relative to the build folder.
constexpr const char* kClientProgram = "app/orb-client";

// The login screen as the harness draws it, and where a person clicks on it:
// the account field (keyboard down), then the password field and the login
// button where they are once the keyboard is up (the panel moves above it).
struct LoginScreen {
    platform::Image screen { 1, 1 };
    testsupport::ScreenSpot account;
    testsupport::ScreenSpot password;
    testsupport::ScreenSpot loginButton;
};

// Makes `home` a home whose client starts at the login screen (the
// introduction passed, nobody signed in; the warm prompt after signing in
// ticked away earlier, as a returning person has it) and learns the login
// screen from the client in the harness.
bool prepareLoginHome(const std::string& home, const std::string& scratch, LoginScreen& login)
{
    testsupport::AppHarnessOptions options;
    options.home = home;
    options.renderDirectory = scratch + "/learnt-login";
    testsupport::AppHarness harness(options);
    if (!testsupport::startClient(harness) || !testsupport::passIntroduction(harness))
        return false;
    testsupport::settle(harness);
    auto screen = testsupport::loginScreen(harness);
    if (!screen || !screen->txtAccount() || !screen->txtPassword())
        return false;
    auto shot = harness.render("login.png");
    auto image = shot.empty() ? std::nullopt : platform::Image::fromFile(shot);
    if (!image)
        return false;
    login.screen = *image;
    login.account = testsupport::screenCentreOf(screen->txtAccount());
    if (!harness.tap(screen->txtAccount()))
        return false;
    testsupport::settle(harness);
    if (!harness.tap(screen->txtPassword()))
        return false;
    testsupport::settle(harness);
    login.password = testsupport::screenCentreOf(screen->txtPassword());
    auto button = testsupport::findViewByOutlet(screen->view(), "btnLogin");
    if (!button)
        return false;
    login.loginButton = testsupport::screenCentreOf(button);
    // What the fields hold is not saved: the harness stops with them unsaved.
    platform::UserDefaults::standard()->setBool(true, kNotWarmPromptKey);
    return true;
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

// Memory and threads of the client at one moment.
struct Figures {
    double resident = 0;
    double proportional = 0;
    int threads = 0;
    ResidentParts parts;
};

// Waits until the client has settled after what it just did: no more
// threads than `threads` (the decoder's have ended; 0: any number), then
// its resident memory still over half a second; the figures then, or after
// the timeout the last ones read.
Figures settledFigures(pid_t pid, int threads, double seconds = 15)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    auto poll = [] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); };
    while (threads > 0 && benchsupport::threadCount(pid) > threads && std::chrono::steady_clock::now() < deadline)
        poll();
    double last = benchsupport::residentMegabytes(pid);
    auto steadySince = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < deadline
        && std::chrono::steady_clock::now() - steadySince < std::chrono::milliseconds(500)) {
        poll();
        double now = benchsupport::residentMegabytes(pid);
        if (std::fabs(now - last) > 0.05) {
            last = now;
            steadySince = std::chrono::steady_clock::now();
        }
    }
    return { benchsupport::residentMegabytes(pid), benchsupport::proportionalMegabytes(pid),
        benchsupport::threadCount(pid), residentParts(pid) };
}

// The plays and the figures around them.
struct PlayFigures {
    Figures beforeFirst;
    Figures afterFirst;
    Figures afterTenth;
    int played = 0;
};

constexpr int kPlays = 10;

// From the chat to the library video's detail, then the video played until
// its picture moves and closed, ten times. An empty string when it went
// through, else where it stopped.
std::string playTenTimes(testsupport::ClientWindowProcess& client, const testsupport::SignedInScreens& learnt,
    const testsupport::LessonVideoScreens& video, PlayFigures& figures)
{
    if (!client.clickAt(video.chatBack))
        return "no click on the chat's back button";
    bool there = false;
    for (int attempt = 0; !there && attempt < 10; ++attempt)
        there = client.clickAt(learnt.tabButtons[std::size_t(video.gridTab)])
            && client.waitForScreen(learnt.tabScreens[std::size_t(video.gridTab)], 6);
    if (!there)
        return "the function grid did not show";
    if (!client.clickAt(video.libraryTile) || !client.waitForScreen(video.libraryHome))
        return "the video library did not show";
    auto detailShows
        = [&] { return client.waitForBand(video.videoDetail, 0, video.videoDetailBandBottom).has_value(); };
    if (!client.clickAt(video.firstVideo) || !detailShows())
        return "the video's detail did not show";
    figures.beforeFirst = settledFigures(client.pid(), 0);
    for (int play = 1; play <= kPlays; ++play) {
        if (!client.clickAt(video.playButton) || !client.waitForMovingPicture())
            return "play " + std::to_string(play) + ": no moving picture";
        if (!client.clickAt(video.done) || !detailShows())
            return "play " + std::to_string(play) + ": the detail did not come back";
        figures.played = play;
        if (play == 1)
            figures.afterFirst = settledFigures(client.pid(), figures.beforeFirst.threads);
    }
    figures.afterTenth = settledFigures(client.pid(), figures.beforeFirst.threads);
    return {};
}

void BM_ClientInTheWindowWithAChatOpen(benchmark::State& state)
{
    const double loadAtStart = benchsupport::loadAverage();
    // The harness's client talks; the figures are what matter here.
    platform::setLogSink([](std::string_view) {});
    bool gl = state.range(0) != 0;
    testsupport::XvfbDisplay display;
    if (auto why = testsupport::startWindowTestDisplay(display); !why.empty()) {
        state.SkipWithError(why.c_str());
        return;
    }
    std::string reason;
    std::string scratch = testsupport::makeTempDir("orb-window-bench");
    testsupport::SignedInScreens learnt;
    testsupport::LessonVideoScreens video;
    if (!testsupport::learnSignedInScreens(scratch, learnt, &video)) {
        platform::FileUtil::remove(scratch);
        state.SkipWithError("the client did not walk its steps in the harness");
        return;
    }
    benchsupport::ClientServer setting;
    LoginScreen login;
    if (!benchsupport::startClientServer(scratch, setting) || !prepareLoginHome(setting.home, scratch, login)
        || setting.server->deliverMessage(2001, 3001, "明天带水彩笔").empty()) {
        platform::FileUtil::remove(scratch);
        state.SkipWithError("no server or home for the client");
        return;
    }
    // Types as a person types: into the window that has the pointer (the
    // field clicked last), a key at a time.
    auto type = [](const std::string& text) {
        return testsupport::runWhileLooping({ "xdotool", "type", "--delay", "60", text }) == 0;
    };
    auto pause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(800)); };
    double resident = 0;
    double proportional = 0;
    double idleShare = 0;
    ResidentParts parts;
    PlayFigures plays;
    for (auto _ : state) {
        testsupport::ClientWindowProcess client;
        setenv("ORB_RESOURCES", testsupport::sourcePath("resources").c_str(), 1);
        // A copy of the prepared home each time: a sign-in saves the account
        // (and may keep the person signed in), which the next start must not find.
        const std::string runHome = scratch + "/home-run";
        if (!benchsupport::freshCopyOfHome(setting.home, runHome)) {
            state.SkipWithError("the home could not be copied");
            break;
        }
        bool started = client.start(testsupport::buildPath(kClientProgram), runHome, setting.server->baseUrl(), scratch, &reason,
            gl ? std::vector<std::string> { "--gl" } : std::vector<std::string> {});
        unsetenv("ORB_RESOURCES");
        bool atLogin = started && client.waitForScreen(login.screen).has_value();
        bool signedIn = atLogin && client.clickAt(login.account);
        if (signedIn) {
            pause();
            signedIn = type(testsupport::kDemoTeacher) && client.clickAt(login.password);
        }
        if (signedIn) {
            pause();
            signedIn = type(testsupport::kDemoTeacherPassword);
        }
        if (signedIn) {
            pause();
            signedIn = client.clickAt(login.loginButton);
        }
        if (!signedIn) {
            state.SkipWithError(((atLogin ? "could not sign in through the window: " : "no login screen in the window: ")
                + client.log())
                    .c_str());
            break;
        }
        bool there = client.waitForScreen(learnt.tabScreens[std::size_t(learnt.firstTab)]).has_value();
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
        resident = benchsupport::residentMegabytes(client.pid());
        proportional = benchsupport::proportionalMegabytes(client.pid());
        parts = residentParts(client.pid());
        double before = benchsupport::cpuSeconds(client.pid());
        auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        idleShare = (benchsupport::cpuSeconds(client.pid()) - before) / wall * 100;
        if (auto stopped = playTenTimes(client, learnt, video, plays); !stopped.empty()) {
            state.SkipWithError(
                ("the video did not play ten times in the window: " + stopped + ": " + client.log()).c_str());
            break;
        }
        client.signalAndWait(SIGTERM);
    }
    state.counters["resident_MB"] = resident;
    state.counters["pss_MB"] = proportional;
    state.counters["idle_cpu_percent"] = idleShare;
    state.counters["heap_MB"] = parts.heap;
    state.counters["other_anon_MB"] = parts.anonymous;
    state.counters["gl_stack_MB"] = parts.glStack;
    state.counters["files_MB"] = parts.files;
    // (a) on the detail before the first play, (b) after the first play and
    // close, (c) after the tenth; the 5 MB bound is read against b_to_c.
    auto report = [&](const std::string& name, const Figures& figures) {
        state.counters["video_" + name + "_rss_MB"] = figures.resident;
        state.counters["video_" + name + "_pss_MB"] = figures.proportional;
        state.counters["video_" + name + "_threads"] = figures.threads;
    };
    report("a_before_play", plays.beforeFirst);
    report("b_after_1st", plays.afterFirst);
    report("c_after_10th", plays.afterTenth);
    state.counters["video_plays"] = plays.played;
    state.counters["video_growth_b_to_c_rss_MB_bound_5"] = plays.afterTenth.resident - plays.afterFirst.resident;
    state.counters["video_growth_b_to_c_pss_MB"] = plays.afterTenth.proportional - plays.afterFirst.proportional;
    state.counters["video_growth_a_to_c_rss_MB"] = plays.afterTenth.resident - plays.beforeFirst.resident;
    state.counters["video_growth_a_to_c_pss_MB"] = plays.afterTenth.proportional - plays.beforeFirst.proportional;
    // Where the growth from (a) is: mapped files (the decoder's libraries
    // among them), the heap, other anonymous memory.
    state.counters["video_growth_a_to_c_files_MB"] = plays.afterTenth.parts.files - plays.beforeFirst.parts.files;
    state.counters["video_growth_a_to_c_heap_MB"] = plays.afterTenth.parts.heap - plays.beforeFirst.parts.heap;
    state.counters["video_growth_a_to_c_other_anon_MB"]
        = plays.afterTenth.parts.anonymous - plays.beforeFirst.parts.anonymous;
    state.counters["video_growth_b_to_c_heap_MB"] = plays.afterTenth.parts.heap - plays.afterFirst.parts.heap;
    state.counters["video_growth_b_to_c_other_anon_MB"]
        = plays.afterTenth.parts.anonymous - plays.afterFirst.parts.anonymous;
    state.counters["load_at_start"] = loadAtStart;
    state.counters["load_at_end"] = benchsupport::loadAverage();
    state.SetLabel(std::string(gl ? "GL renderer (--gl)" : "window pixels (default)")
        + "; video: the 5 MB bound is on b_to_c (after the 1st play to after the 10th; the 1st loads the "
          "decoder, which stays), a_to_c beside it");
    platform::FileUtil::remove(scratch);
}
BENCHMARK(BM_ClientInTheWindowWithAChatOpen)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
