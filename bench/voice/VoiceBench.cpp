// Converts a 60-second recording to AMR and back, and has sox do the same in
// the same run; the summary line gives our time against sox's, wall and CPU.
// Sox runs as two processes (under a shell), so its CPU time is what the
// children used (user + system, from getrusage(RUSAGE_CHILDREN) once they are
// waited for); ours is this process's (user + system, RUSAGE_SELF). Sox's
// figure holds what it costs to start its two processes (the shell, the
// programs and their format libraries loaded, the files opened), which ours,
// in-process, does not pay: the same two commands on no samples measure it
// apart, and the summary sets ours against sox's codec work without it.
#include "foundation/voice/VoiceFileConverter.h"
#include "platform/os/Log.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <sys/resource.h>

using namespace foundation;

namespace {

std::filesystem::path folder;

std::string file(const std::string& name) { return (folder / name).string(); }

// User + system seconds of this process, or of its children waited for so far.
double cpuSeconds(int who)
{
    rusage usage {};
    if (getrusage(who, &usage) != 0)
        return 0;
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU milliseconds per iteration, as a counter.
benchmark::Counter cpuMillisecondsPerIteration(double seconds)
{
    return benchmark::Counter(seconds * 1000.0, benchmark::Counter::kAvgIterations);
}

void BM_OursWavToAmrToWav(benchmark::State& state)
{
    const double before = cpuSeconds(RUSAGE_SELF);
    for (auto _ : state) {
        if (VoiceFileConverter::wavToAmr(file("rec.wav"), file("ours.amr"), 2, 16) != 0
            || !VoiceFileConverter::amrToWav(file("ours.amr"), file("ours.wav"))) {
            state.SkipWithError("conversion failed");
            break;
        }
    }
    state.counters["cpu_ms"] = cpuMillisecondsPerIteration(cpuSeconds(RUSAGE_SELF) - before);
}
BENCHMARK(BM_OursWavToAmrToWav)->Unit(benchmark::kMillisecond)->UseRealTime();

// A hostile clip for playback: the AMR magic, then one-byte frames ("no
// data"), each 320 bytes of samples once decoded. Kilobytes as the argument:
// the largest a voice download may be, and the megabyte a server could send
// before downloads had a ceiling. The WAV's megabytes beside the time.
void BM_OursEmptyFramesToWav(benchmark::State& state)
{
    std::string clip = "#!AMR\n";
    clip.append(std::size_t(state.range(0)) << 10, '\x7C');
    if (FILE* out = std::fopen(file("empty.amr").c_str(), "wb")) {
        std::fwrite(clip.data(), 1, clip.size(), out);
        std::fclose(out);
    }
    const double before = cpuSeconds(RUSAGE_SELF);
    for (auto _ : state) {
        if (!VoiceFileConverter::amrToWav(file("empty.amr"), file("empty.wav"))) {
            state.SkipWithError("conversion failed");
            break;
        }
    }
    state.counters["cpu_ms"] = cpuMillisecondsPerIteration(cpuSeconds(RUSAGE_SELF) - before);
    state.counters["wav_MB"] = double(std::filesystem::file_size(file("empty.wav"))) / (1 << 20);
}
BENCHMARK(BM_OursEmptyFramesToWav)->Arg(189)->Arg(1024)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Sox's two commands, converting the whole recording, or (`trim 0 0`) no sample of it.
std::string soxCommand(bool samples)
{
    const std::string prefix = samples ? "sox" : "start";
    const std::string trim = samples ? "" : " trim 0 0";
    return "sox -V1 '" + file("rec.wav") + "' -c 1 -t amr-nb -C 7 '" + file(prefix + ".amr") + "'" + trim
        + " && sox -V1 -t amr-nb '" + file(prefix + ".amr") + "' -b 16 '" + file(prefix + ".wav") + "'" + trim;
}

void BM_SoxWavToAmrToWav(benchmark::State& state, bool samples)
{
    const std::string command = soxCommand(samples);
    const double before = cpuSeconds(RUSAGE_CHILDREN);
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("sox failed");
            break;
        }
    }
    state.counters["cpu_ms"] = cpuMillisecondsPerIteration(cpuSeconds(RUSAGE_CHILDREN) - before);
}
BENCHMARK_CAPTURE(BM_SoxWavToAmrToWav, whole, true)->Unit(benchmark::kMillisecond)->UseRealTime();
// The two processes started and ended on no samples.
BENCHMARK_CAPTURE(BM_SoxWavToAmrToWav, starts, false)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints the usual table and remembers each benchmark's time for the ratio.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
            if (auto cpu = run.counters.find("cpu_ms"); cpu != run.counters.end())
                cpuTimes[run.benchmark_name()] = cpu->second.value;
        }
    }
    std::map<std::string, double> times;
    std::map<std::string, double> cpuTimes; // milliseconds per iteration
};

} // namespace

int main(int argc, char** argv)
{
    char pattern[] = "/tmp/orb-voice-bench-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    folder = pattern;
    // The recorder's format: 8000 Hz, 2 channels, 16 bits; speech-like sweeps.
    const std::string make = "sox -n -r 8000 -c 2 -b 16 -e signed-integer '" + file("rec.wav")
        + "' synth 60 sine 200-1200 sine 300-900 tremolo 3 50";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "sox could not make the recording\n");
        return 1;
    }
    platform::setLogSink([](std::string_view) {});

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // Ours against sox's whole commands, then against them less their starts.
    auto summary = [](const std::map<std::string, double>& figures, const char* what) {
        const auto ours = figures.find("BM_OursWavToAmrToWav/real_time");
        const auto sox = figures.find("BM_SoxWavToAmrToWav/whole/real_time");
        const auto starts = figures.find("BM_SoxWavToAmrToWav/starts/real_time");
        if (ours == figures.end() || sox == figures.end() || sox->second <= 0)
            return;
        std::printf("60 s recording, WAV->AMR->WAV, %s: ours %.1f ms, sox (both processes) %.1f ms, ours/sox = %.2f\n",
            what, ours->second, sox->second, ours->second / sox->second);
        if (starts != figures.end() && sox->second > starts->second)
            std::printf("  sox's two process starts %.1f ms apart: sox's codec work %.1f ms, ours/sox = %.2f\n",
                starts->second, sox->second - starts->second, ours->second / (sox->second - starts->second));
    };
    summary(reporter.times, "wall");
    summary(reporter.cpuTimes, "CPU (user+system)");
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
