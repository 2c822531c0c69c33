// Runs the same loopback work through HTTPRequest and through libcurl alone:
// 1,000 small JSON POSTs over one kept connection, and a 50 MB download sent
// plain and gzip-compressed by nginx. Compare the pairs of timings: both the
// wall time and the CPU time of the client process (all of its threads).
// Each side does its work once untimed before its timed runs (warmed: its
// connection open, its threads started, its code paged in), and libcurl reads
// with the engine's buffer size, so that neither side's figure holds a
// first-run or buffer cost the other does not pay.
//
// The gzip download goes through the engine twice: inflated as it comes, and on
// the default path every screen's reply takes (the body kept compressed as
// it came, and read as the app reads a reply: in the completion, on the main
// loop, as data and as text), with the longest turn of the main loop and the
// peak memory beside the time.
//
// The process sets the allocator's bounds first, as the client does (see
// platform/os/AllocatorBounds.h): without them the allocator's own raising
// of its bounds makes each large body's cost depend on the ones before it.
//
// Then what hostile gzip bodies (zeros inflating to hundreds of megabytes
// and more) cost on each path: the peak resident memory on top of what the
// process held before, the longest the main loop and the network thread went
// without a turn, and the machine's load beside them.
//
// Where the machine has CPUs to spare, nginx runs on CPUs of its own, as a
// server would on a machine of its own: sharing a CPU with the client turns
// each request into a cheap hand-over between two processes on one CPU,
// which favours whichever client happens to land on nginx's CPU and makes
// the pair of timings swing from run to run.

#include "bench/support/ProcessFigures.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/AllocatorBounds.h"
#include "platform/os/AppPaths.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Value.h"
#include "tests/support/GzipBomb.h"
#include "tests/support/LoopAndMemoryWatch.h"
#include "tests/support/NginxServer.h"
#include "tests/support/TestHttpServer.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <sched.h>
#include <set>
#include <unistd.h>
#include <memory>
#include <random>
#include <string>

using foundation::HTTPRequest;

namespace {

constexpr int kPosts = 1000;
constexpr std::size_t kDownloadSize = 50 * 1024 * 1024;
// The engine's transfers read in pieces of this size (platform/net/HttpStream.cpp).
constexpr long kReceiveBuffer = 64 * 1024;
const std::string kJson = "{\"cmd\":\"10001\",\"userId\":12345,\"token\":\"abcdef0123456789\",\"page\":1}";

std::unique_ptr<testsupport::NginxServer> server;

bool startServer()
{
    testsupport::NginxServer::Options options;
    options.gzip = true;
    options.keepaliveRequests = 100000;
    options.extraServerConfig = "location = /command { default_type application/json; return 200 '{\"result\":0}'; }";
    std::string error;
    server = testsupport::NginxServer::start(options, &error);
    if (!server) {
        std::fprintf(stderr, "nginx: %s\n", error.c_str());
        return false;
    }
    // Text that compresses about as well as the address book replies do.
    std::mt19937 random(1);
    std::string text;
    text.reserve(kDownloadSize);
    while (text.size() < kDownloadSize)
        text += "{\"id\":" + std::to_string(random() % 100000) + ",\"name\":\"student" + std::to_string(random() % 997)
            + "\",\"class\":" + std::to_string(random() % 40) + "},\n";
    text.resize(kDownloadSize);
    return server->writeFile("big.bin", text) && server->writeFile("big.json", text);
}

// The processes descending from this one (nginx's master and workers).
std::set<pid_t> descendants()
{
    std::set<pid_t> found { getpid() };
    for (bool grew = true; grew;) {
        grew = false;
        DIR* proc = opendir("/proc");
        if (!proc)
            break;
        while (dirent* entry = readdir(proc)) {
            pid_t pid = std::atoi(entry->d_name);
            if (pid <= 0 || found.count(pid))
                continue;
            std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
            std::string line;
            std::getline(stat, line);
            auto close = line.rfind(')');
            if (close == std::string::npos)
                continue;
            char state = 0;
            pid_t parent = 0;
            if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &parent) == 2 && found.count(parent)) {
                found.insert(pid);
                grew = true;
            }
        }
        closedir(proc);
    }
    found.erase(getpid());
    return found;
}

// The client (this process, before its network thread starts) on the first
// half of the CPUs it may use, nginx on the other half.
void separateServerFromClient()
{
    cpu_set_t mine;
    if (sched_getaffinity(0, sizeof mine, &mine) != 0)
        return;
    std::vector<int> cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &mine))
            cpus.push_back(cpu);
    if (cpus.size() < 2) {
        std::fprintf(stderr, "one CPU: nginx shares it with the client\n");
        return;
    }
    cpu_set_t client, serverSet;
    CPU_ZERO(&client);
    CPU_ZERO(&serverSet);
    for (std::size_t i = 0; i < cpus.size(); ++i)
        CPU_SET(cpus[i], i < (cpus.size() + 1) / 2 ? &client : &serverSet);
    for (pid_t pid : descendants())
        sched_setaffinity(pid, sizeof serverSet, &serverSet);
    sched_setaffinity(0, sizeof client, &client);
}

// MARK: - through the engine

// The body read as the app reads a reply (core/network/ORBNetworkHelper.cpp):
// once, as data and as text; its size.
std::size_t readAsTheAppReads(const HTTPRequest& request)
{
    auto body = request.responseBodyAndText();
    benchmark::DoNotOptimize(body.text);
    return body.data ? body.data->size() : 0;
}

// onEnd runs in the completion or the failure, on the main loop.
bool runToEnd(const std::shared_ptr<HTTPRequest>& request, std::function<void(const HTTPRequest&)> onEnd = {})
{
    auto done = std::make_shared<bool>(false);
    std::weak_ptr<HTTPRequest> weak = request;
    auto end = [done, weak, onEnd] {
        if (auto ended = weak.lock(); ended && onEnd)
            onEnd(*ended);
        *done = true;
    };
    request->setCompletionBlock(end);
    request->setFailedBlock(end);
    request->startAsynchronous();
    // Return to the check after every task, as an application's loop would
    // hand control back to its screens.
    for (int pass = 0; !*done && pass < 100000; ++pass)
        platform::RunLoop::main().runMode(platform::kDefaultRunLoopMode, 1.0, true);
    return !request->error() && request->responseStatusCode() == 200;
}

// The work once untimed (warming up), then timed each iteration; false once
// it has failed (the benchmark then says why).
bool timedWarm(benchmark::State& state, const std::function<bool()>& work, const char* failure)
{
    bool ok = work();
    for (auto _ : state) {
        if (!ok || !(ok = work())) {
            state.SkipWithError(failure);
            break;
        }
    }
    return ok;
}

void EnginePosts(benchmark::State& state)
{
    auto url = *platform::Url::parse(server->baseUrl() + "/command");
    platform::Bytes body(kJson.begin(), kJson.end());
    auto posts = [&] {
        for (int i = 0; i < kPosts; ++i) {
            auto post = HTTPRequest::requestWithURL(url);
            post->setPostBody(body);
            post->setRequestMethod("POST");
            post->setShouldAttemptPersistentConnection(true);
            post->addRequestHeader("Content-Type", "application/json");
            if (!runToEnd(post))
                return false;
        }
        return true;
    };
    if (!timedWarm(state, posts, "request failed"))
        return;
    state.counters["requests/s"] = benchmark::Counter(kPosts, benchmark::Counter::kIsIterationInvariantRate);
}

void EngineDownload(benchmark::State& state, const char* path)
{
    auto url = *platform::Url::parse(server->baseUrl() + path);
    std::shared_ptr<HTTPRequest> last;
    auto download = [&] {
        last.reset(); // the previous body goes here, not inside the next download
        auto get = HTTPRequest::requestWithURL(url);
        get->setShouldWaitToInflateCompressedResponses(false);
        if (!runToEnd(get))
            return false;
        last = get;
        return true;
    };
    if (!timedWarm(state, download, "download failed"))
        return;
    // Checked outside the timing: rawResponseData() hands back a copy, which
    // the libcurl side has no counterpart for.
    if (last && last->rawResponseData().size() != kDownloadSize)
        state.SkipWithError("download incomplete");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kDownloadSize));
}

// The default path: the body kept compressed as it came, and read as the app
// reads a reply, inside the timing. Also, as the worst of the timed runs: the
// most CPU time the main loop's thread spent in one turn (the read is one),
// and the peak resident memory above what the process held before the run.
void EngineDownloadKeptCompressed(benchmark::State& state, const char* path)
{
    auto url = *platform::Url::parse(server->baseUrl() + path);
    std::shared_ptr<HTTPRequest> last;
    std::size_t size = 0;
    double mainBusy = 0;
    double peak = 0;
    bool measuring = false;
    auto download = [&] {
        last.reset();
        double before = 0;
        if (measuring) {
            testsupport::resetPeakResident();
            before = testsupport::residentMegabytes();
        }
        auto get = HTTPRequest::requestWithURL(url);
        bool ok = false;
        {
            testsupport::LoopGapWatch onMain(platform::RunLoop::main());
            ok = runToEnd(get, [&size](const HTTPRequest& request) { size = readAsTheAppReads(request); });
            if (measuring) {
                // A few more turns, untimed, so that the watch sees the loop
                // come back from the turn that read the body.
                state.PauseTiming();
                platform::RunLoop::main().runUntil([] { return false; }, 0.02);
                mainBusy = std::max(mainBusy, onMain.longestBusyGap());
                state.ResumeTiming();
            }
        }
        if (measuring)
            peak = std::max(peak, testsupport::peakResidentMegabytes() - before);
        last = get;
        return ok;
    };
    if (!download())
        return state.SkipWithError("download failed");
    measuring = true;
    for (auto _ : state) {
        if (!download())
            return state.SkipWithError("download failed");
    }
    if (size != kDownloadSize)
        state.SkipWithError("download incomplete");
    state.counters["main_busy_ms"] = mainBusy * 1000;
    state.counters["peak_MB"] = peak;
    state.counters["load"] = benchsupport::loadAverage();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kDownloadSize));
}

// MARK: - through libcurl alone

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// A downloaded body kept the way the engine keeps its response data: room
// for the announced length is made up front (in huge pages, as the engine's
// platform::reserveBytes asks for them), and a body of unknown length grows
// by doubling through the same call. Neither side gets a buffer the other
// does not.
struct Download {
    CURL* curl = nullptr;
    platform::Bytes body;
};

std::size_t collectDownload(char* data, std::size_t size, std::size_t count, void* user)
{
    auto* download = static_cast<Download*>(user);
    platform::Bytes& body = download->body;
    const std::size_t n = size * count;
    if (body.empty() && body.capacity() == 0) {
        curl_off_t length = -1;
        // The announced length of what arrives: for a compressed reply (sent
        // in chunks by nginx) there is none, as there is none for the engine.
        if (curl_easy_getinfo(download->curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length > 0)
            platform::reserveBytes(body, static_cast<std::size_t>(length));
    }
    if (body.capacity() - body.size() < n)
        platform::reserveBytes(body, std::max(body.capacity() * 2, body.size() + n));
    body.insert(body.end(), data, data + n);
    return n;
}

void CurlPosts(benchmark::State& state)
{
    CURL* curl = curl_easy_init();
    std::string url = server->baseUrl() + "/command";
    std::string reply;
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, kJson.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(kJson.size()));
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    auto posts = [&] {
        for (int i = 0; i < kPosts; ++i) {
            reply.clear();
            if (curl_easy_perform(curl) != CURLE_OK)
                return false;
        }
        return true;
    };
    timedWarm(state, posts, "curl failed");
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    state.counters["requests/s"] = benchmark::Counter(kPosts, benchmark::Counter::kIsIterationInvariantRate);
}

void CurlDownload(benchmark::State& state, const char* path)
{
    CURL* curl = curl_easy_init();
    std::string url = server->baseUrl() + path;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    // libcurl inflates a gzip reply itself, as the engine does.
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "gzip");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collectDownload);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, kReceiveBuffer);
    platform::Bytes last;
    auto fetch = [&] {
        // Each download in a body of its own, as each request keeps its
        // response (the previous one is let go here, as on the engine's side):
        // a buffer reused across downloads would skip faulting in 50 MB of
        // fresh memory, which any client keeping its responses pays.
        last = platform::Bytes();
        Download download;
        download.curl = curl;
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &download);
        if (curl_easy_perform(curl) != CURLE_OK || download.body.size() != kDownloadSize)
            return false;
        last = std::move(download.body);
        return true;
    };
    timedWarm(state, fetch, "curl download failed");
    curl_easy_cleanup(curl);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kDownloadSize));
}

// MARK: - hostile gzip bodies

// A loopback server of the process's own, serving bombs of zeros.
std::unique_ptr<testsupport::TestHttpServer> bombServer;

bool startBombServer()
{
    bombServer = std::make_unique<testsupport::TestHttpServer>();
    if (!bombServer->start())
        return false;
    for (std::size_t megabytes : { 256, 1024 }) {
        testsupport::TestResponse bomb;
        bomb.body = testsupport::gzipOfRepeats(megabytes << 20);
        bomb.headers = { { "Content-Encoding", "gzip" }, { "Content-Type", "application/json" } };
        std::fprintf(stderr, "bomb of %zu MB inflated: %zu bytes on the wire\n", megabytes, bomb.body.size());
        bombServer->on("/bomb" + std::to_string(megabytes), testsupport::TestHttpServer::reply(bomb));
    }
    return true;
}

// One hostile body through the engine, read as the app reads a reply (in
// the completion) whether the request succeeds or fails. Reports, as the worst of the iterations: the
// peak resident memory above what was resident before, the longest main-loop
// and network-thread gaps (waited, and worked), and the load average.
void EngineBomb(benchmark::State& state, int megabytes, bool keptCompressed)
{
    auto url = *platform::Url::parse(bombServer->url("/bomb" + std::to_string(megabytes)));
    double peak = 0, mainGap = 0, networkGap = 0, mainBusy = 0, networkBusy = 0;
    int failed = 0;
    for (auto _ : state) {
        auto get = HTTPRequest::requestWithURL(url);
        get->setShouldWaitToInflateCompressedResponses(keptCompressed);
        testsupport::resetPeakResident();
        const double before = testsupport::residentMegabytes();
        {
            testsupport::LoopGapWatch onMain(platform::RunLoop::main());
            testsupport::LoopGapWatch onNetwork(HTTPRequest::threadForRequest(*get));
            auto done = std::make_shared<bool>(false);
            std::weak_ptr<HTTPRequest> weak = get;
            auto read = [weak, done] {
                if (auto request = weak.lock())
                    benchmark::DoNotOptimize(readAsTheAppReads(*request));
                *done = true;
            };
            get->setCompletionBlock(read);
            get->setFailedBlock(read);
            get->startAsynchronous();
            platform::RunLoop::main().runUntil([done] { return *done; }, 120);
            // A few more turns, so that the watches see the loops come back.
            platform::RunLoop::main().runUntil([] { return false; }, 0.05);
            mainGap = std::max(mainGap, onMain.longestGap());
            networkGap = std::max(networkGap, onNetwork.longestGap());
            mainBusy = std::max(mainBusy, onMain.longestBusyGap());
            networkBusy = std::max(networkBusy, onNetwork.longestBusyGap());
        }
        peak = std::max(peak, testsupport::peakResidentMegabytes() - before);
        failed += get->error() ? 1 : 0;
    }
    state.counters["peak_MB"] = peak;
    state.counters["main_gap_ms"] = mainGap * 1000;
    state.counters["net_gap_ms"] = networkGap * 1000;
    // The CPU time each loop's thread spent between two of its turns: the
    // gap its own work made, apart from the machine's load.
    state.counters["main_busy_ms"] = mainBusy * 1000;
    state.counters["net_busy_ms"] = networkBusy * 1000;
    state.counters["failed"] = failed;
    state.counters["load"] = benchsupport::loadAverage();
}

// Wall time, and the CPU time of the whole client process: every thread the
// engine runs a request on counts (nginx, a process of its own, does not).
void measured(benchmark::internal::Benchmark* benchmark)
{
    benchmark->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime()->UseRealTime();
}

} // namespace

BENCHMARK(EnginePosts)->Apply(measured);
BENCHMARK(CurlPosts)->Apply(measured);
BENCHMARK_CAPTURE(EngineDownload, plain, "/big.bin")->Apply(measured);
BENCHMARK_CAPTURE(CurlDownload, plain, "/big.bin")->Apply(measured);
BENCHMARK_CAPTURE(EngineDownload, gzip, "/big.json")->Apply(measured);
BENCHMARK_CAPTURE(CurlDownload, gzip, "/big.json")->Apply(measured);
BENCHMARK_CAPTURE(EngineDownloadKeptCompressed, gzip, "/big.json")->Apply(measured);
BENCHMARK_CAPTURE(EngineBomb, kept_256MB, 256, true)->Apply(measured);
BENCHMARK_CAPTURE(EngineBomb, kept_1GB, 1024, true)->Apply(measured);
BENCHMARK_CAPTURE(EngineBomb, as_it_comes_256MB, 256, false)->Apply(measured);
BENCHMARK_CAPTURE(EngineBomb, as_it_comes_1GB, 1024, false)->Apply(measured);

int main(int argc, char** argv)
{
    // As the client program sets them first thing.
    platform::setAllocatorBounds();
    platform::RunLoop::setMainThread();
    char home[] = "/tmp/orb-bench-http-XXXXXX";
    if (::mkdtemp(home))
        platform::AppPaths::setHome(home);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    if (!startServer() || !startBombServer())
        return 1;
    separateServerFromClient();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    server.reset();
    bombServer.reset();
    HTTPRequest::shutdownNetworkThread();
    curl_global_cleanup();
    std::system((std::string("rm -rf '") + home + "'").c_str());
    return 0;
}
