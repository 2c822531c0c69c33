// libFuzzer target: a store file's pages read from their bytes, whatever
// they hold. The input is the whole file; its table list is read, and every
// tree it names (and every page of a small file as a tree's top) is walked
// twice: with every field of each record, and with its first few only.
// Besides no crash, no sanitizer report and no hang, each walk must keep
// what the reader promises: it counts the rows it hands over; a value is
// never longer than the file; a record read whole reads the same with its
// first fields only, so the walk of a few fields reads every row the walk of
// all fields read, with the same first fields; and of a file SQLite finds
// whole, every table reads as SQLite's cursor reads it, rowid by rowid, and
// the walk meets no damage. A failure aborts.
#include "core/store/StorePages.h"
#include "tests/fuzz/FuzzSupport.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace {

// The fields a walk of a few fields reads of each record.
constexpr std::size_t kFewFields = 3;
// Every page is walked as a tree's top as well in a file of at most this
// many pages.
constexpr std::uint32_t kEveryPageUpTo = 64;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "store_pages_fuzz: %s\n", what);
    std::abort();
}

void check(bool ok, const char* what)
{
    if (!ok)
        fail(what);
}

std::size_t bytesOf(const core::StorePages::Value& value)
{
    if (const auto* text = std::get_if<core::StorePages::Text>(&value))
        return text->bytes.size();
    if (const auto* blob = std::get_if<core::StorePages::Blob>(&value))
        return blob->bytes.size();
    return 0;
}

bool sameValue(const core::StorePages::Value& a, const core::StorePages::Value& b)
{
    if (a.index() != b.index())
        return false;
    if (const auto* real = std::get_if<double>(&a)) {
        // A NaN's bits are read as they are: compared as bits.
        const double other = std::get<double>(b);
        return std::memcmp(real, &other, sizeof other) == 0;
    }
    if (const auto* integer = std::get_if<std::int64_t>(&a))
        return *integer == std::get<std::int64_t>(b);
    if (const auto* text = std::get_if<core::StorePages::Text>(&a))
        return text->bytes == std::get<core::StorePages::Text>(b).bytes;
    if (const auto* blob = std::get_if<core::StorePages::Blob>(&a))
        return blob->bytes == std::get<core::StorePages::Blob>(b).bytes;
    return true; // NULL
}

struct Walked {
    core::StorePages::Walk walk;
    std::vector<core::StorePages::Row> rows;
};

Walked walkOf(const core::StorePages& file, std::uint32_t root, std::size_t fields, std::uint64_t fileBytes)
{
    Walked walked;
    walked.walk = file.rows(
        root,
        [&](core::StorePages::Row& row) {
            if (fields > 0) {
                check(row.values.size() <= fields, "a record read with more fields than asked for");
                check(!row.longer || row.values.size() == fields, "a record said longer than it reads");
            } else {
                check(!row.longer, "a record read whole said longer");
            }
            for (const auto& value : row.values) {
                check(bytesOf(value) <= fileBytes, "a value longer than the file");
                if (const auto* text = std::get_if<core::StorePages::Text>(&value))
                    check(file.utf8(*text).size() <= text->bytes.size(), "a text longer as UTF-8 than as read");
            }
            walked.rows.push_back(row);
            return true;
        },
        fields);
    check(walked.walk.rows == static_cast<long long>(walked.rows.size()), "a walk counts other rows than it hands over");
    return walked;
}

// Every row the walk of all fields read is among those the walk of a few
// fields read, in the same order, with the same first fields.
void checkFewFieldsReadAsMuch(const Walked& all, const Walked& few)
{
    std::size_t at = 0;
    for (const auto& row : all.rows) {
        auto same = [&](const core::StorePages::Row& other) {
            if (other.rowid != row.rowid)
                return false;
            const std::size_t first = std::min(row.values.size(), kFewFields);
            if (other.values.size() != first || other.longer != (row.values.size() > kFewFields))
                return false;
            for (std::size_t i = 0; i < first; ++i) {
                if (!sameValue(other.values[i], row.values[i]))
                    return false;
            }
            return true;
        };
        while (at < few.rows.size() && !same(few.rows[at]))
            ++at;
        check(at < few.rows.size(), "a record read whole does not read with its first fields only");
        ++at;
    }
}

// The rowids of a table as SQLite's cursor reads them, in its order; false
// when the table does not read.
bool sqliteRowids(sqlite3* handle, const std::string& table, std::vector<std::int64_t>& rowids)
{
    std::string quoted = "\"";
    for (char c : table)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    quoted += '"';
    sqlite3_stmt* read = nullptr;
    if (sqlite3_prepare_v2(handle, ("SELECT _rowid_ FROM " + quoted + " NOT INDEXED;").c_str(), -1, &read, nullptr)
        != SQLITE_OK) {
        sqlite3_finalize(read);
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(read)) == SQLITE_ROW)
        rowids.push_back(sqlite3_column_int64(read, 0));
    sqlite3_finalize(read);
    return rc == SQLITE_DONE;
}

// A file SQLite finds whole reads as SQLite reads it: each table of the
// list whose top is a table's page, every rowid in its order, with no
// damage met.
void checkWholeFileReadsAsSQLite(const std::string& path, const core::StorePages& file)
{
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        return;
    }
    // Bounded, as the reader is: a file SQLite finds whole reads at once.
    int steps = 0;
    sqlite3_progress_handler(
        handle, 1000, [](void* count) { return ++*static_cast<int*>(count) > 100000 ? 1 : 0; }, &steps);
    bool whole = false;
    sqlite3_stmt* checked = nullptr;
    if (sqlite3_prepare_v2(handle, "PRAGMA quick_check(1);", -1, &checked, nullptr) == SQLITE_OK
        && sqlite3_step(checked) == SQLITE_ROW) {
        const auto* result = sqlite3_column_text(checked, 0);
        whole = result && std::string(reinterpret_cast<const char*>(result)) == "ok";
    }
    sqlite3_finalize(checked);
    std::vector<std::pair<std::string, std::int64_t>> tables;
    sqlite3_stmt* listed = nullptr;
    if (whole
        && sqlite3_prepare_v2(handle, "SELECT name, rootpage FROM sqlite_master WHERE type='table' AND rootpage>0;",
               -1, &listed, nullptr)
            == SQLITE_OK) {
        while (sqlite3_step(listed) == SQLITE_ROW) {
            const auto* name = sqlite3_column_text(listed, 0);
            tables.emplace_back(name ? reinterpret_cast<const char*>(name) : "", sqlite3_column_int64(listed, 1));
        }
    }
    sqlite3_finalize(listed);
    for (const auto& [name, root] : tables) {
        std::vector<std::int64_t> expected;
        if (root > std::int64_t(file.pageCount()) || !file.isTablePage(std::uint32_t(root))
            || !sqliteRowids(handle, name, expected))
            continue; // a table without rowids, or one SQLite stopped reading
        std::vector<std::int64_t> read;
        const auto walk = file.rows(std::uint32_t(root), [&](core::StorePages::Row& row) {
            read.push_back(row.rowid);
            return true;
        });
        if (read != expected) {
            std::fprintf(stderr, "store_pages_fuzz: table %s at page %lld: %zu rows read, SQLite reads %zu\n",
                name.c_str(), static_cast<long long>(root), read.size(), expected.size());
            fail("a table of a whole file reads otherwise than SQLite reads it");
        }
        check(walk.pagesPassedOver == 0 && walk.cellsPassedOver == 0 && walk.pagesNamedAgain == 0,
            "a walk of a whole file's table meets damage");
    }
    sqlite3_close(handle);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = fuzzsupport::scratchFile("pages.db");
    fuzzsupport::writeFile(path, data, size);
    const auto file = core::StorePages::open(path);
    if (!file)
        return 0;
    // A record's bytes: its cell's, on one page, and those of its overflow
    // pages, each read once (the last page cut short reads as zeros after
    // the file's end).
    const std::uint64_t fileBytes = std::uint64_t(size) + 2 * 65536;
    core::StorePages::Walk listWalk;
    const auto entries = file->entries(&listWalk);
    check(listWalk.rows == static_cast<long long>(entries.size()), "the table list counts other entries than it gives");

    std::set<std::uint32_t> roots;
    for (const auto& entry : entries) {
        if (entry.rootPage > 0 && entry.rootPage <= std::int64_t(file->pageCount()))
            roots.insert(std::uint32_t(entry.rootPage));
    }
    if (file->pageCount() <= kEveryPageUpTo) {
        for (std::uint32_t page = 1; page <= file->pageCount(); ++page)
            roots.insert(page);
    }
    // A page out of the file, too.
    roots.insert(0);
    roots.insert(file->pageCount() + 1);
    for (std::uint32_t root : roots) {
        const Walked all = walkOf(*file, root, 0, fileBytes);
        const Walked few = walkOf(*file, root, kFewFields, fileBytes);
        checkFewFieldsReadAsMuch(all, few);
        if (root == 0 || root > file->pageCount()) {
            check(all.rows.empty() && all.walk.pagesPassedOver == 1, "a page out of the file reads");
            check(!file->isTablePage(root), "a page out of the file is a table's");
        }
    }
    checkWholeFileReadsAsSQLite(path, *file);
    return 0;
}
