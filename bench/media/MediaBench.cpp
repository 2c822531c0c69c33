#include "bench/support/BenchFolders.h"
#include "platform/media/MoviePlayer.h"
#include "platform/os/AllocatorBounds.h"
#include "platform/os/RunLoop.h"
#include "server/StandinServer.h"
#include "tests/support/LoopAndMemoryWatch.h"
#include "tests/support/ProcessUtil.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

server::StandinServer& standin()
{
    // Removed as the program ends (BenchFolders.h).
    static std::string dir = benchsupport::benchFolder("orb-media-bench");
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

// A field of a /proc/self file in "Name: value" lines (kilobytes, or a count).
long procField(const char* file, const std::string& name)
{
    std::ifstream status(file);
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name + ":", 0) == 0)
            return std::stol(line.substr(name.size() + 1));
    }
    return 0;
}

long residentKilobytes() { return procField("/proc/self/status", "VmRSS"); }
long proportionalKilobytes() { return procField("/proc/self/smaps_rollup", "Pss"); }
long threadCount() { return procField("/proc/self/status", "Threads"); }

bool decoderMapped()
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find("libmpv") != std::string::npos)
            return true;
    }
    return false;
}

// The clip played for two seconds and closed as the movie screen closes it
// (stopped, then let go), ten times over, in a process that has played
// nothing before. Resident memory, PSS and threads before the first play,
// after the first close and after the tenth, and whether libmpv was mapped
// before the first play (it should not be) and after.
void playAndCloseTenTimes(benchmark::State& state)
{
    platform::RunLoop::setMainThread();
    std::string url = address(false);
    for (auto _ : state) {
        state.counters["mpv_mapped_before"] = decoderMapped() ? 1 : 0;
        state.counters["rss_before_MB"] = double(residentKilobytes()) / 1024.0;
        state.counters["pss_before_MB"] = double(proportionalKilobytes()) / 1024.0;
        state.counters["threads_before"] = double(threadCount());
        int playing = 0;
        double closeSeconds = 0;
        for (int round = 0; round < 10; ++round) {
            auto player = platform::MoviePlayer::create({ "null" });
            if (!player) {
                state.SkipWithError("no player");
                return;
            }
            player->load(url);
            if (!platform::RunLoop::main().runUntil([&] { return player->position() >= 2.0; }, 20)) {
                state.SkipWithError("it did not play");
                return;
            }
            playing = std::max(playing, int(threadCount()));
            auto closing = std::chrono::steady_clock::now();
            player->stop();
            player.reset();
            closeSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - closing).count();
            // The decoder ends on a thread of its own: memory is read once it has.
            platform::MoviePlayer::waitForReleasedDecoders(10);
            if (round == 0) {
                state.counters["mpv_mapped_after"] = decoderMapped() ? 1 : 0;
                state.counters["rss_first_MB"] = double(residentKilobytes()) / 1024.0;
                state.counters["pss_first_MB"] = double(proportionalKilobytes()) / 1024.0;
                state.counters["threads_first"] = double(threadCount());
            }
        }
        state.counters["threads_playing"] = double(playing);
        // How long a close holds the loop on average (milliseconds); the
        // decoder's threads end on a thread of their own.
        state.counters["close_ms"] = closeSeconds * 100.0;
        state.counters["rss_after_MB"] = double(residentKilobytes()) / 1024.0;
        state.counters["pss_after_MB"] = double(proportionalKilobytes()) / 1024.0;
        state.counters["threads_after"] = double(threadCount());
    }
}

// From load to the first frame drawn into the buffer of a new player (the
// decoder's start included, as when a person presses play). In this process
// or not: the time a new process takes to its first frame.
double timeToFirstFrame(const std::string& url)
{
    auto begun = std::chrono::steady_clock::now();
    auto player = platform::MoviePlayer::create({ "null" });
    if (!player)
        return -1;
    player->load(url);
    if (!platform::RunLoop::main().runUntil([&] { return player->framesDrawn() > 0; }, 10))
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
}

// The program started again to play one movie to its first frame and say how
// long that took (see main): the seconds, or -1.
double timeToFirstFrameInAFreshProcess(const std::string& url)
{
    auto ran = testsupport::runCommand(
        "/proc/" + std::to_string(::getpid()) + "/exe --first-frame-of " + testsupport::shellQuoted(url));
    double seconds = -1;
    auto line = ran.output.find("first frame ");
    if (ran.status != 0 || line == std::string::npos
        || std::sscanf(ran.output.c_str() + line, "first frame %lf", &seconds) != 1)
        return -1;
    return seconds;
}

// A new player each time, its time to the first frame. first_ms is what a
// person's first press of play pays and the later ones do not (the decoder's
// module and libraries loaded and their first setup), measured in a fresh
// process whatever ran before in this one; warm_mean_ms is the mean of the
// ten players here, after one made and let go untimed.
void firstFrame(benchmark::State& state, bool hls)
{
    platform::RunLoop::setMainThread();
    std::string url = address(hls);
    const double first = timeToFirstFrameInAFreshProcess(url);
    if (first < 0 || timeToFirstFrame(url) < 0) {
        state.SkipWithError("no frame");
        return;
    }
    double warmTotal = 0;
    int warmCount = 0;
    for (auto _ : state) {
        double took = timeToFirstFrame(url);
        if (took < 0) {
            state.SkipWithError("no frame");
            return;
        }
        state.SetIterationTime(took);
        warmTotal += took;
        ++warmCount;
    }
    state.counters["first_ms"] = first * 1000.0;
    state.counters["warm_mean_ms"] = warmCount ? warmTotal / warmCount * 1000.0 : 0;
}

// The process at rest: the players of earlier runs have released their
// decoders (on threads of their own), and the allocator has handed back what
// is free. Memory read before that would count a decoder still being let go
// as the process's own, and its release as the next player's saving.
void settleMemory()
{
    platform::MoviePlayer::waitForReleasedDecoders(10);
    malloc_trim(0);
}

// CPU time of the whole process per second of playback (decoding, scaling to
// 640 × 360 and drawing every frame), over 5 s of the clip. What the player
// added to the resident memory, from the process at rest: while it plays,
// at its peak, and what stays once it is let go.
void playback(benchmark::State& state, bool hls)
{
    platform::RunLoop::setMainThread();
    std::string url = address(hls);
    for (auto _ : state) {
        settleMemory();
        long before = residentKilobytes();
        testsupport::resetPeakResident();
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
        state.counters["player_peak_MB"] = testsupport::peakResidentMegabytes() - double(before) / 1024.0;
        state.SetIterationTime(played);
        player->stop();
        player.reset();
        settleMemory();
        state.counters["player_left_MB"] = double(residentKilobytes() - before) / 1024.0;
    }
}

// First: it measures a process that has not played anything yet.
BENCHMARK(playAndCloseTenTimes)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK_CAPTURE(firstFrame, mp4, false)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(firstFrame, hls, true)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK_CAPTURE(playback, mp4, false)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK_CAPTURE(playback, hls, true)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    // As the client program sets them first thing.
    platform::setAllocatorBounds();
    if (argc == 3 && std::string(argv[1]) == "--first-frame-of") {
        platform::RunLoop::setMainThread();
        double seconds = timeToFirstFrame(argv[2]);
        std::printf("first frame %.6f\n", seconds);
        return seconds < 0 ? 1 : 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
