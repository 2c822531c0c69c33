// Inserting and reading back an address book of 10,000 contacts, through the
// SQLite wrapper and through SQLite's C interface directly, in the same run.
// At the end the wrapper's time is printed as a multiple of the raw time.
#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLResultSet.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <sqlite3.h>
#include <string>
#include <unistd.h>
#include <vector>

using foundation::SQLDatabase;

namespace {

constexpr int kContacts = 10000;

struct Contact {
    long long id = 0;
    int groupId = 0;
    std::string name;
    std::string pinyin;
    std::string phone;
    std::string remarks;
    std::string avatarUrl;
};

const std::vector<Contact>& contacts()
{
    static const std::vector<Contact> list = [] {
        const char* surnames[][2] = { { "王", "WANG" }, { "李", "LI" }, { "张", "ZHANG" }, { "刘", "LIU" },
            { "陈", "CHEN" }, { "杨", "YANG" }, { "赵", "ZHAO" }, { "黄", "HUANG" } };
        const char* given[][2] = { { "小明", "XIAOMING" }, { "丽", "LI" }, { "建国", "JIANGUO" }, { "芳", "FANG" },
            { "子涵", "ZIHAN" }, { "浩然", "HAORAN" } };
        std::vector<Contact> out;
        out.reserve(kContacts);
        for (int i = 0; i < kContacts; ++i) {
            const auto& s = surnames[i % 8];
            const auto& g = given[(i / 8) % 6];
            Contact c;
            c.id = 100000 + i;
            c.groupId = i % 40;
            c.name = std::string(s[0]) + g[0];
            c.pinyin = std::string(s[1]) + g[1];
            char phone[16];
            std::snprintf(phone, sizeof phone, "138%08d", i * 7919 % 100000000);
            c.phone = phone;
            c.remarks = i % 3 ? "三年二班 家长" : "";
            c.avatarUrl = "http://127.0.0.1:8090/upload/userpic/" + std::to_string(c.id) + "/thumb.jpg";
            out.push_back(std::move(c));
        }
        return out;
    }();
    return list;
}

const char* const kCreate = "create table contact (id integer primary key, group_id integer, name text, pinyin text, "
                            "phone text, remarks text, avatar_url text)";
const char* const kInsert = "insert into contact (id, group_id, name, pinyin, phone, remarks, avatar_url) "
                            "values (?, ?, ?, ?, ?, ?, ?)";
const char* const kSelect = "select id, group_id, name, pinyin, phone, remarks, avatar_url from contact";

std::string databasePath(const char* name)
{
    static const std::string folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "orb-bench-storage-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return folder + "/" + name;
}

void freshFile(const std::string& path)
{
    std::filesystem::remove(path);
    std::filesystem::remove(path + "-journal");
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void insertWithWrapper(const std::string& path)
{
    auto db = SQLDatabase::databaseWithPath(path);
    db->open();
    db->setShouldCacheStatements(true);
    db->beginTransaction();
    for (const Contact& c : contacts()) {
        if (!db->executeUpdate(kInsert, { c.id, c.groupId, c.name, c.pinyin, c.phone, c.remarks, c.avatarUrl }))
            std::abort();
    }
    db->commit();
    db->close();
}

void insertRaw(const std::string& path)
{
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "begin exclusive transaction", nullptr, nullptr, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, kInsert, -1, &statement, nullptr);
    for (const Contact& c : contacts()) {
        sqlite3_bind_int64(statement, 1, c.id);
        sqlite3_bind_int(statement, 2, c.groupId);
        sqlite3_bind_text(statement, 3, c.name.data(), static_cast<int>(c.name.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, 4, c.pinyin.data(), static_cast<int>(c.pinyin.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, 5, c.phone.data(), static_cast<int>(c.phone.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, 6, c.remarks.data(), static_cast<int>(c.remarks.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, 7, c.avatarUrl.data(), static_cast<int>(c.avatarUrl.size()), SQLITE_STATIC);
        if (sqlite3_step(statement) != SQLITE_DONE)
            std::abort();
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    sqlite3_exec(db, "commit transaction", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

void BM_InsertWrapper(benchmark::State& state)
{
    const std::string path = databasePath("wrapper.db");
    for (auto _ : state) {
        state.PauseTiming();
        freshFile(path);
        state.ResumeTiming();
        insertWithWrapper(path);
    }
    state.SetItemsProcessed(state.iterations() * kContacts);
}

void BM_InsertRaw(benchmark::State& state)
{
    const std::string path = databasePath("raw.db");
    for (auto _ : state) {
        state.PauseTiming();
        freshFile(path);
        state.ResumeTiming();
        insertRaw(path);
    }
    state.SetItemsProcessed(state.iterations() * kContacts);
}

const std::string& filledFile()
{
    static const std::string path = [] {
        std::string p = databasePath("read.db");
        freshFile(p);
        insertRaw(p);
        return p;
    }();
    return path;
}

void BM_ReadWrapperByName(benchmark::State& state)
{
    auto db = SQLDatabase::databaseWithPath(filledFile());
    db->open();
    db->setShouldCacheStatements(true);
    for (auto _ : state) {
        std::vector<Contact> out;
        out.reserve(kContacts);
        auto rs = db->executeQuery(kSelect);
        while (rs->next()) {
            Contact c;
            c.id = rs->longLongIntForColumn("id");
            c.groupId = rs->intForColumn("group_id");
            c.name = rs->stringForColumn("name").value_or("");
            c.pinyin = rs->stringForColumn("pinyin").value_or("");
            c.phone = rs->stringForColumn("phone").value_or("");
            c.remarks = rs->stringForColumn("remarks").value_or("");
            c.avatarUrl = rs->stringForColumn("avatar_url").value_or("");
            out.push_back(std::move(c));
        }
        if (out.size() != static_cast<std::size_t>(kContacts))
            std::abort();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kContacts);
}

void BM_ReadWrapperByIndex(benchmark::State& state)
{
    auto db = SQLDatabase::databaseWithPath(filledFile());
    db->open();
    db->setShouldCacheStatements(true);
    for (auto _ : state) {
        std::vector<Contact> out;
        out.reserve(kContacts);
        auto rs = db->executeQuery(kSelect);
        while (rs->next()) {
            Contact c;
            c.id = rs->longLongIntForColumnIndex(0);
            c.groupId = rs->intForColumnIndex(1);
            c.name = rs->stringForColumnIndex(2).value_or("");
            c.pinyin = rs->stringForColumnIndex(3).value_or("");
            c.phone = rs->stringForColumnIndex(4).value_or("");
            c.remarks = rs->stringForColumnIndex(5).value_or("");
            c.avatarUrl = rs->stringForColumnIndex(6).value_or("");
            out.push_back(std::move(c));
        }
        if (out.size() != static_cast<std::size_t>(kContacts))
            std::abort();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kContacts);
}

std::string textColumn(sqlite3_stmt* statement, int column)
{
    const unsigned char* text = sqlite3_column_text(statement, column);
    int length = sqlite3_column_bytes(statement, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length)) : std::string();
}

void BM_ReadRaw(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open(filledFile().c_str(), &db);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, kSelect, -1, &statement, nullptr);
    for (auto _ : state) {
        std::vector<Contact> out;
        out.reserve(kContacts);
        while (sqlite3_step(statement) == SQLITE_ROW) {
            Contact c;
            c.id = sqlite3_column_int64(statement, 0);
            c.groupId = sqlite3_column_int(statement, 1);
            c.name = textColumn(statement, 2);
            c.pinyin = textColumn(statement, 3);
            c.phone = textColumn(statement, 4);
            c.remarks = textColumn(statement, 5);
            c.avatarUrl = textColumn(statement, 6);
            out.push_back(std::move(c));
        }
        sqlite3_reset(statement);
        if (out.size() != static_cast<std::size_t>(kContacts))
            std::abort();
        benchmark::DoNotOptimize(out.data());
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * kContacts);
}

// The wrapper and raw code timed alternately within each iteration, so that
// other load on the machine weighs on both alike. The counter "ratio" is the
// wrapper's time over the raw time.
double secondsOf(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_InsertInterleaved(benchmark::State& state)
{
    const std::string wrapperPath = databasePath("pair-wrapper.db");
    const std::string rawPath = databasePath("pair-raw.db");
    double wrapper = 0, raw = 0;
    for (auto _ : state) {
        freshFile(wrapperPath);
        freshFile(rawPath);
        raw += secondsOf([&] { insertRaw(rawPath); });
        wrapper += secondsOf([&] { insertWithWrapper(wrapperPath); });
    }
    state.counters["ratio"] = wrapper / raw;
}

void readRawOnce(sqlite3_stmt* statement, std::vector<Contact>& out)
{
    while (sqlite3_step(statement) == SQLITE_ROW) {
        Contact c;
        c.id = sqlite3_column_int64(statement, 0);
        c.groupId = sqlite3_column_int(statement, 1);
        c.name = textColumn(statement, 2);
        c.pinyin = textColumn(statement, 3);
        c.phone = textColumn(statement, 4);
        c.remarks = textColumn(statement, 5);
        c.avatarUrl = textColumn(statement, 6);
        out.push_back(std::move(c));
    }
    sqlite3_reset(statement);
}

void readWrapperOnce(SQLDatabase& db, std::vector<Contact>& out)
{
    auto rs = db.executeQuery(kSelect);
    while (rs->next()) {
        Contact c;
        c.id = rs->longLongIntForColumn("id");
        c.groupId = rs->intForColumn("group_id");
        c.name = rs->stringForColumn("name").value_or("");
        c.pinyin = rs->stringForColumn("pinyin").value_or("");
        c.phone = rs->stringForColumn("phone").value_or("");
        c.remarks = rs->stringForColumn("remarks").value_or("");
        c.avatarUrl = rs->stringForColumn("avatar_url").value_or("");
        out.push_back(std::move(c));
    }
}

void BM_ReadInterleaved(benchmark::State& state)
{
    auto db = SQLDatabase::databaseWithPath(filledFile());
    db->open();
    db->setShouldCacheStatements(true);
    sqlite3* rawDb = nullptr;
    sqlite3_open(filledFile().c_str(), &rawDb);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(rawDb, kSelect, -1, &statement, nullptr);
    double wrapper = 0, raw = 0;
    for (auto _ : state) {
        std::vector<Contact> a, b;
        a.reserve(kContacts);
        b.reserve(kContacts);
        raw += secondsOf([&] { readRawOnce(statement, a); });
        wrapper += secondsOf([&] { readWrapperOnce(*db, b); });
        if (a.size() != b.size() || b.size() != static_cast<std::size_t>(kContacts))
            std::abort();
    }
    sqlite3_finalize(statement);
    sqlite3_close(rawDb);
    state.counters["ratio"] = wrapper / raw;
}

BENCHMARK(BM_InsertWrapper)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_InsertRaw)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_ReadWrapperByName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWrapperByIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertInterleaved)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadInterleaved)->Unit(benchmark::kMillisecond)->MinTime(1.0);

// Prints the usual table, then each wrapper figure as a multiple of the raw one.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        // With repetitions the median stands for the benchmark; otherwise the one run.
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                perIteration_[name] = run.GetAdjustedRealTime();
                fromMedian_[name] = true;
                if (auto it = run.counters.find("ratio"); it != run.counters.end())
                    interleaved_[name] = it->second.value;
            } else if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !fromMedian_[name]) {
                perIteration_[name] = run.GetAdjustedRealTime();
                if (auto it = run.counters.find("ratio"); it != run.counters.end())
                    interleaved_[name] = it->second.value;
            }
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        auto ratio = [&](const char* wrapper, const char* raw) {
            if (perIteration_.count(wrapper) && perIteration_.count(raw) && perIteration_[raw] > 0)
                std::printf("%-24s / %-14s = %.2fx\n", wrapper, raw, perIteration_[wrapper] / perIteration_[raw]);
        };
        std::printf("\nwrapper time as a multiple of raw sqlite3 time:\n");
        ratio("BM_InsertWrapper", "BM_InsertRaw");
        ratio("BM_ReadWrapperByName", "BM_ReadRaw");
        ratio("BM_ReadWrapperByIndex", "BM_ReadRaw");
        for (const auto& [name, value] : interleaved_)
            std::printf("%-41s = %.2fx (timed alternately)\n", name.c_str(), value);
    }

private:
    std::map<std::string, double> perIteration_;
    std::map<std::string, bool> fromMedian_;
    std::map<std::string, double> interleaved_;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(databasePath("x")).parent_path(), ignored);
    return 0;
}
