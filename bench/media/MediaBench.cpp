#include "platform/media/MoviePlayer.h"
#include "platform/os/RunLoop.h"
#include "server/StandinServer.h"
#include "tests/support/ProcessUtil.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

server::StandinServer& standin()
{
    static std::string dir = testsupport::makeTempDir("orb-media-bench");
    static server::StandinServer server = [] {
        server::ServerOptions options;
        options.dataDirectory = dir;
        return server::StandinServer(options);
    }();
    static bool started = [] {
        platform::Error error;
        if (!server.start(&error))
            std::fprintf(stderr, "stand-in: %s\n", error.localizedDescription().c_str());
        return true;
    }();
    (void)started;
    return server;
}

std::string address(bool hls)
{
    return standin().baseUrl()
        + (hls ? "mobile2/pull/lessons/media/hls/index.m3u8" : "mobile2/pull/lessons/media/clip.mp4");
}

double processCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

long residentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return 0;
}

// From load to the first frame drawn into the buffer, a new player each time
// (the decoder's start included, as when a person presses play).
void firstFrame(benchmark::State& state, bool hls)
{
    platform::RunLoop::setMainThread();
    std::string url = address(hls);
    for (auto _ : state) {
        auto begun = std::chrono::steady_clock::now();
        auto player = platform::MoviePlayer::create({ "null" });
        if (!player) {
            state.SkipWithError("no player");
            return;
        }
        player->load(url);
        bool drawn = platform::RunLoop::main().runUntil([&] { return player->framesDrawn() > 0; }, 10);
        auto took = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        if (!drawn) {
            state.SkipWithError("no frame");
            return;
        }
        state.SetIterationTime(took);
    }
}

// CPU time of the whole process per second of playback (decoding, scaling to
// 640 × 360 and drawing every frame), over 5 s of the clip.
void playback(benchmark::State& state, bool hls)
{
    platform::RunLoop::setMainThread();
    std::string url = address(hls);
    for (auto _ : state) {
        long before = residentKilobytes();
        auto player = platform::MoviePlayer::create({ "null" });
        player->load(url);
        platform::RunLoop::main().runUntil([&] { return player->position() >= 1.0; }, 10);
        double cpu0 = processCpuSeconds();
        double pos0 = player->position();
        std::uint64_t frames0 = player->framesDrawn();
        platform::RunLoop::main().runUntil([&] { return player->position() >= pos0 + 5.0; }, 20);
        double played = player->position() - pos0;
        double cpu = processCpuSeconds() - cpu0;
        state.counters["cpu_per_s"] = cpu / played;
        state.counters["frames_per_s"] = double(player->framesDrawn() - frames0) / played;
        // The whole process (the stand-in server included), and what the player added to it.
        state.counters["rss_MB"] = double(residentKilobytes()) / 1024.0;
        state.counters["player_rss_MB"] = double(residentKilobytes() - before) / 1024.0;
        state.SetIterationTime(played);
    }
}

BENCHMARK_CAPTURE(firstFrame, mp4, false)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(firstFrame, hls, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(playback, mp4, false)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK_CAPTURE(playback, hls, true)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
