// What reading a reply costs besides its text, in one run beside the way it
// was read before: bytes of memory per byte of JSON (retained once parsed,
// and at the peak while parsing) for lists of numbers, texts and objects; the
// dispatcher's read of a screen's reply of tiny values; the address book at
// the ceiling (481,000 people) read whole or as it is parsed, and stored on
// the main loop or off it, with the loop's longest pause. The machine's load
// is reported beside every figure: the pauses depend on it.
#include "bench/support/FailOnError.h"
#include "bench/replies/CeilingBook.h"
#include "bench/support/ProcessFigures.h"
#include "contacts/book/AddressBookImport.h"
#include "core/network/ORBReplyParser.h"
#include "core/store/BaseFactory.h"
#include "core/store/ContactsFactory.h"
#include "core/store/DamagedStoreFile.h"
#include "core/store/MessageFactory.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/RunLoop.h"
#include "tests/support/ProcessUtil.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using benchsupport::bookAtTheCeiling;

std::size_t allocatedBytes() { return mallinfo2().uordblks + mallinfo2().hblkhd; }

std::size_t residentBytes()
{
    return std::size_t(benchsupport::procField("/proc/self/status", "VmRSS")) * 1024;
}

std::size_t peakBytes() { return std::size_t(benchsupport::procField("/proc/self/status", "VmHWM")) * 1024; }

void resetPeak()
{
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The peak growth of resident memory while `work` runs.
std::size_t peakGrowth(const std::function<void()>& work)
{
    resetPeak();
    const std::size_t before = residentBytes();
    work();
    const std::size_t peak = peakBytes();
    return peak > before ? peak - before : 0;
}

std::string numbers(std::size_t bytes)
{
    std::string text = "[0";
    text.reserve(bytes);
    while (text.size() + 3 < bytes)
        text += ",0";
    return text + "]";
}

std::string texts(std::size_t bytes)
{
    std::string text = R"(["张伟")";
    text.reserve(bytes);
    while (text.size() + 12 < bytes)
        text += R"(,"王芳丽")";
    return text + "]";
}

std::string objects(std::size_t bytes)
{
    std::string text = "[";
    text.reserve(bytes);
    for (int i = 0; text.size() + 60 < bytes; ++i)
        text += std::string(i ? "," : "") + R"({"classId":)" + std::to_string(i) + R"(,"className":"三年级二班"})";
    return text + "]";
}

const std::string& listOf(int kind)
{
    static const std::string lists[] = { numbers(std::size_t { 8 } << 20), texts(std::size_t { 8 } << 20),
        objects(std::size_t { 8 } << 20) };
    return lists[kind];
}

const char* const kKinds[] = { "numbers", "texts", "objects" };

// The value a list parses to: bytes of memory per byte of its JSON, kept and
// at the peak. The representation is the same before and after; what changed
// is that the dispatcher refuses a reply whose value would pass 16 per byte.
void ParsedBytesPerJsonByte(benchmark::State& state)
{
    const std::string& text = listOf(int(state.range(0)));
    std::size_t retained = 0;
    std::size_t peak = 0;
    for (auto _ : state) {
        const std::size_t before = allocatedBytes();
        std::optional<platform::Value> value;
        peak = peakGrowth([&] { value = platform::PlatformJson::read(text); });
        retained = allocatedBytes() - before;
        benchmark::DoNotOptimize(value);
    }
    state.SetLabel(kKinds[state.range(0)]);
    state.counters["retained/byte"] = double(retained) / double(text.size());
    state.counters["peak/byte"] = double(peak) / double(text.size());
}
BENCHMARK(ParsedBytesPerJsonByte)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(1);

// A screen's reply of 3 MB of zeros, as the dispatcher read it before (parsed
// whole, then described for the log) and as it reads it now (refused where
// the value passes its share).
void ScreenReplyOfZeros(benchmark::State& state)
{
    const bool now = state.range(0) == 1;
    const std::string text = R"({"resultState":1,"items":)" + numbers(std::size_t { 3 } << 20) + "}";
    std::size_t peak = 0;
    bool parsed = false;
    for (auto _ : state) {
        peak = peakGrowth([&] {
            if (now) {
                parsed = core::ORBReplyParser::parseReply(text).has_value();
                return;
            }
            auto value = platform::PlatformJson::read(text);
            parsed = value.has_value();
            std::string logged = value->description();
            benchmark::DoNotOptimize(logged);
        });
    }
    state.SetLabel(now ? "now: refused as it is read" : "before: whole, and described");
    state.counters["peak/byte"] = double(peak) / double(text.size());
    state.counters["parsed"] = parsed;
    state.counters["load"] = benchsupport::loadAverage();
}
BENCHMARK(ScreenReplyOfZeros)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->Iterations(1);

// The book at the ceiling read whole into values and then imported (before)
// or imported as it is parsed (now).
void AddressBookRead(benchmark::State& state)
{
    const bool now = state.range(0) == 1;
    const std::string& text = bookAtTheCeiling();
    std::size_t peak = 0;
    std::size_t people = 0;
    for (auto _ : state) {
        std::optional<contacts::AddressBook> book;
        peak = peakGrowth([&] {
            if (now) {
                book = contacts::importAddressBook(text, nullptr);
                return;
            }
            auto value = platform::PlatformJson::read(text);
            core::ORBReplyParser::booleansAsNumbers(*value);
            book = contacts::importAddressBook(*value);
        });
        people = 0;
        for (const auto& list : book->contacts)
            people += list.size();
    }
    state.SetLabel(now ? "now: as it is parsed" : "before: whole, then imported");
    state.counters["people"] = double(people);
    state.counters["text MB"] = double(text.size()) / 1048576.0;
    state.counters["peak/byte"] = double(peak) / double(text.size());
    state.counters["load"] = benchsupport::loadAverage();
}
BENCHMARK(AddressBookRead)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->Iterations(1);

// The book at the ceiling stored while the main loop turns: written on the
// loop (before) or on a worker with the loop taking the book up afterwards
// (now). The figure is the loop's longest pause.
void AddressBookStore(benchmark::State& state)
{
    const bool now = state.range(0) == 1;
    // Removed with the book's file when the program ends.
    static const testsupport::TempDir home("orb-bench-book");
    platform::AppPaths::setHome(home.path());
    static auto book = std::make_shared<contacts::AddressBook>(*contacts::importAddressBook(bookAtTheCeiling(), nullptr));
    core::ContactsFactory store;
    // Measured as a refresh: a book is there already.
    static const bool seeded = core::ContactsFactory::storeAddressBook(0, book->groups, book->contacts);
    benchmark::DoNotOptimize(seeded);
    double longest = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // The screen takes up the lists it is handed: each run has its own.
        auto stored = std::make_shared<contacts::AddressBook>(*book);
        state.ResumeTiming();
        bool done = false;
        auto last = Clock::now();
        longest = 0;
        auto ticking = std::make_shared<std::function<void()>>();
        *ticking = [&, weak = std::weak_ptr<std::function<void()>>(ticking)] {
            auto now = Clock::now();
            longest = std::max(longest, std::chrono::duration<double>(now - last).count());
            last = now;
            if (auto again = weak.lock(); again && !done)
                platform::RunLoop::main().post(*again);
        };
        platform::RunLoop::main().post(*ticking);
        // What the screen does with the stored book: its lists by group.
        std::map<std::string, core::ContactList> byGroup;
        auto takeUp = [&] {
            for (std::size_t i = 0; i < stored->groups.size(); ++i)
                byGroup[stored->groups[i]->uid] = std::move(stored->contacts[i]);
            benchmark::DoNotOptimize(byGroup);
            done = true;
        };
        if (now) {
            platform::dispatchAsync([&] {
                core::ContactsFactory::storeAddressBook(0, stored->groups, stored->contacts);
                platform::postToMain(takeUp);
            });
        } else {
            platform::RunLoop::main().post([&] {
                store.setAddressBook(stored->groups, stored->contacts);
                takeUp();
            });
        }
        platform::RunLoop::main().runUntil([&] { return done; }, 600);
        // The loop's last task ran to the end of the work.
        longest = std::max(longest, std::chrono::duration<double>(Clock::now() - last).count());
        // The lists live on with the screen: let go after the measure.
        state.PauseTiming();
        byGroup.clear();
        stored.reset();
        state.ResumeTiming();
    }
    state.SetLabel(now ? "now: written off the loop" : "before: written on the loop");
    state.counters["longest pause ms"] = longest * 1000;
    state.counters["load"] = benchsupport::loadAverage();
}
BENCHMARK(AddressBookStore)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->Iterations(1);

// The book at the ceiling stored off the main loop, as the address book
// screen stores it (and the book it replaced dropped), with nothing else
// writing (the book's own time: it holds the file in one transaction while
// nobody waits), and while the main thread stores a message every frame, as a
// poll's answer or a send does: how long each message's write took beside it,
// against the same writes with nothing else writing (a write syncs the disk:
// its own time is the machine's), and how many failed.
void AddressBookStoreBesideMessages(benchmark::State& state)
{
    const bool writing = state.range(0) == 1;
    static const testsupport::TempDir home("orb-bench-book-messages");
    platform::AppPaths::setHome(home.path());
    static auto book = std::make_shared<contacts::AddressBook>(*contacts::importAddressBook(bookAtTheCeiling(), nullptr));
    // The screen's store made the book's tables, the message box the messages'.
    core::ContactsFactory contactsStore;
    core::MessageFactory messages;
    // Measured as a refresh: a book is there already.
    static const bool seeded = core::ContactsFactory::storeAddressBook(0, book->groups, book->contacts);
    core::ContactsFactory::dropReplacedBook();
    benchmark::DoNotOptimize(seeded);
    auto partner = std::make_shared<core::ContactInfo>();
    partner->uid = 100007;
    partner->name = "张7丰";
    partner->type = 1;
    static int sent = 0;
    int failed = 0;
    // Seconds each write took.
    auto storeOne = [&] {
        auto message = std::make_shared<core::MessageInfo>();
        message->uid = "bench-" + std::to_string(sent++);
        message->content = "明天春游";
        message->contact = partner;
        message->time = platform::Date::now();
        message->createTime = message->time;
        const auto before = Clock::now();
        failed += messages.setMessage({ message }) ? 0 : 1;
        const double took = std::chrono::duration<double>(Clock::now() - before).count();
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
        return took;
    };
    auto quantile = [](std::vector<double> times, double q) {
        if (times.empty())
            return 0.0;
        std::sort(times.begin(), times.end());
        return times[std::min(times.size() - 1, std::size_t(q * double(times.size())))];
    };
    std::vector<double> alone;
    for (int i = 0; writing && i < 200; ++i)
        alone.push_back(storeOne());
    std::vector<double> beside;
    double bookSeconds = 0;
    double droppedSeconds = 0;
    bool bookStored = false;
    for (auto _ : state) {
        state.PauseTiming();
        auto stored = std::make_shared<contacts::AddressBook>(*book);
        state.ResumeTiming();
        beside.clear();
        failed = 0;
        std::atomic<bool> done { false };
        const auto started = Clock::now();
        std::thread writer([&] {
            bookStored = core::ContactsFactory::storeAddressBook(0, stored->groups, stored->contacts);
            bookSeconds = std::chrono::duration<double>(Clock::now() - started).count();
            core::ContactsFactory::dropReplacedBook();
            droppedSeconds = std::chrono::duration<double>(Clock::now() - started).count();
            done = true;
        });
        while (writing && !done)
            beside.push_back(storeOne());
        writer.join();
        state.PauseTiming();
        stored.reset();
        state.ResumeTiming();
    }
    state.SetLabel(writing ? "a message every 16 ms" : "no message");
    if (writing) {
        state.counters["write ms median"] = quantile(beside, 0.5) * 1000;
        state.counters["write ms p99"] = quantile(beside, 0.99) * 1000;
        state.counters["write ms longest"] = quantile(beside, 1) * 1000;
        state.counters["alone ms median"] = quantile(alone, 0.5) * 1000;
        state.counters["alone ms p99"] = quantile(alone, 0.99) * 1000;
        state.counters["alone ms longest"] = quantile(alone, 1) * 1000;
        state.counters["writes"] = double(beside.size());
        state.counters["failed"] = failed;
    }
    state.counters["book stored"] = bookStored;
    state.counters["book s"] = bookSeconds;
    state.counters["with the drop s"] = droppedSeconds;
    state.counters["load"] = benchsupport::loadAverage();
}
BENCHMARK(AddressBookStoreBesideMessages)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

// The first store's making of a run over the ceiling book stored (a 63 MB
// file), as a chat's opening makes it: the file judged by SQLite's structure
// check, then rewritten by VACUUM; and in the same round a making later in
// the run, the file already judged (VACUUM alone, what every making cost
// before the check).
void FirstStoreMakingOverTheCeilingBook(benchmark::State& state)
{
    static const testsupport::TempDir home("orb-bench-making");
    platform::AppPaths::setHome(home.path());
    static const bool seeded = [] {
        const auto book = contacts::importAddressBook(bookAtTheCeiling(), nullptr);
        core::ContactsFactory tables;
        const bool stored = book && core::ContactsFactory::storeAddressBook(0, book->groups, book->contacts);
        core::ContactsFactory::dropReplacedBook();
        return stored;
    }();
    if (!seeded) {
        state.SkipWithError("the book could not be stored");
        return;
    }
    double judged = 0;
    double vacuumOnly = 0;
    for (auto _ : state) {
        core::DamagedStoreFile::forgetJudgedFiles();
        auto start = Clock::now();
        { core::MessageFactory first; }
        const double firstSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        start = Clock::now();
        { core::MessageFactory later; }
        const double laterSeconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(firstSeconds);
        judged += firstSeconds;
        vacuumOnly += laterSeconds;
    }
    const double rounds = static_cast<double>(state.iterations());
    state.counters["with check ms"] = judged / rounds * 1000;
    state.counters["vacuum only ms"] = vacuumOnly / rounds * 1000;
    state.counters["ratio"] = judged / vacuumOnly;
    state.counters["file MB"] = double(*platform::FileUtil::fileSize(core::BaseFactory::dataFilePath())) / (1 << 20);
    state.counters["load"] = benchsupport::loadAverage();
}
BENCHMARK(FirstStoreMakingOverTheCeilingBook)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The copy of a damaged store over the ceiling book (once, or twice over for
// two accounts: a file twice the size), one page in its middle zeroed: the
// file judged, its rows that still read copied into a fresh store from its
// pages, and the fresh store put in its place; in the same round the VACUUM
// of the same file undamaged, what every making of a store costs. The copy
// is to grow with the file, as the VACUUM does.
void DamagedStoreCopyOverTheCeilingBook(benchmark::State& state)
{
    const int accounts = static_cast<int>(state.range(0));
    const testsupport::TempDir home("orb-bench-copy");
    platform::AppPaths::setHome(home.path());
    const std::string path = core::BaseFactory::dataFilePath();
    const std::string whole = home.path() + "/whole.db";
    {
        const auto book = contacts::importAddressBook(bookAtTheCeiling(), nullptr);
        core::ContactsFactory tables;
        bool stored = bool(book);
        for (int account = 0; stored && account < accounts; ++account)
            stored = core::ContactsFactory::storeAddressBook(account, book->groups, book->contacts);
        core::ContactsFactory::dropReplacedBook();
        // The pages the replaced books left free go: the file holds the books.
        sqlite3* handle = nullptr;
        sqlite3_open(path.c_str(), &handle);
        stored = stored && sqlite3_exec(handle, "VACUUM;", nullptr, nullptr, nullptr) == SQLITE_OK;
        sqlite3_close(handle);
        if (!stored || !platform::FileUtil::copy(path, whole)) {
            state.SkipWithError("the book could not be stored");
            return;
        }
    }
    const auto size = *platform::FileUtil::fileSize(whole);
    const long pageSize = 4096;
    // The copy's lines of what it kept.
    platform::LogCapture quiet;
    double copySeconds = 0;
    double vacuumSeconds = 0;
    for (auto _ : state) {
        platform::FileUtil::remove(path);
        platform::FileUtil::copy(whole, path);
        {
            std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(std::streamoff(size / pageSize / 2) * pageSize);
            file.write(std::string(pageSize, '\0').data(), pageSize);
        }
        core::DamagedStoreFile::forgetJudgedFiles();
        auto start = Clock::now();
        core::DamagedStoreFile::atStoreMaking(path, [] { });
        const double copied = std::chrono::duration<double>(Clock::now() - start).count();
        if (platform::FileUtil::exists(path + ".fresh") || !platform::FileUtil::exists(path)) {
            state.SkipWithError("the damaged file was not replaced");
            return;
        }
        platform::FileUtil::remove(path);
        platform::FileUtil::copy(whole, path);
        sqlite3* handle = nullptr;
        sqlite3_open(path.c_str(), &handle);
        start = Clock::now();
        const int rc = sqlite3_exec(handle, "VACUUM;", nullptr, nullptr, nullptr);
        const double vacuumed = std::chrono::duration<double>(Clock::now() - start).count();
        sqlite3_close(handle);
        if (rc != SQLITE_OK) {
            state.SkipWithError("the VACUUM failed");
            return;
        }
        state.SetIterationTime(copied);
        copySeconds += copied;
        vacuumSeconds += vacuumed;
    }
    for (const auto& name : platform::FileUtil::list(home.path() + "/Documents").value_or(std::vector<std::string> {}))
        platform::FileUtil::remove(home.path() + "/Documents/" + name);
    const double rounds = static_cast<double>(state.iterations());
    state.counters["copy ms"] = copySeconds / rounds * 1000;
    state.counters["vacuum ms"] = vacuumSeconds / rounds * 1000;
    state.counters["ratio"] = copySeconds / vacuumSeconds;
    state.counters["file MB"] = double(size) / (1 << 20);
    state.counters["load"] = benchsupport::loadAverage();
}
BENCHMARK(DamagedStoreCopyOverTheCeilingBook)
    ->Arg(1)
    ->Arg(2)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

BENCHMARK_MAIN_FAILING_ON_ERROR()
