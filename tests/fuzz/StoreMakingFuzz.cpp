// libFuzzer target: the store file as a run of the client finds it, whatever
// its bytes. The input is the whole file; the stores are made over it as the
// client makes them at start (the messages, then the address book), a message
// that has just arrived is stored, and stores made afterwards read it back.
// Whatever the file held, the run must end with a store that takes and keeps
// the message; a file set aside must be the input, byte for byte; the file in
// place must pass SQLite's structure check; and the stores' making must not
// take more than a few seconds of the processor. A file set aside must lose
// no row that still reads: every row SQLite's own cursor reads of each of
// the client's tables in the damaged file (read with its schema's errors
// passed over, for a bounded number of steps; each rowid as first read) is
// in the fresh store with the same values by position, but for as many rows
// as the log says the fresh table refused. A failure aborts.
#include "core/session/MyAccountInfo.h"
#include "core/store/BaseFactory.h"
#include "core/store/ContactsFactory.h"
#include "core/store/DamagedStoreFile.h"
#include "core/store/MessageFactory.h"
#include "core/store/MessageTemplateFactory.h"
#include "core/store/ORBDBHelper.h"
#include "core/store/SettingFactory.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "tests/fuzz/FuzzSupport.h"

#include <sqlite3.h>

#include "platform/os/Log.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <vector>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

namespace {

constexpr int kAccount = 100;
constexpr int kPartner = 8;
// The processor time the stores' making may take over any file.
constexpr double kMostSeconds = 5.0;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "store_making_fuzz: %s\n", what);
    std::abort();
}

void check(bool ok, const char* what)
{
    if (!ok)
        fail(what);
}

double processSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

std::string documents() { return platform::AppPaths::documentsDirectory(); }

// Whether a file was set aside in the folder.
bool setAside(const std::string& folder)
{
    for (const auto& name : platform::FileUtil::list(folder).value_or(std::vector<std::string> {})) {
        if (name.rfind("_cache.db.corrupt-", 0) == 0)
            return true;
    }
    return false;
}

std::shared_ptr<core::ContactInfo> partner()
{
    auto c = std::make_shared<core::ContactInfo>();
    c->uid = kPartner;
    c->name = "家长";
    c->thumbAvatar = "http://h/t.jpg";
    c->avatar = "http://h/a.jpg";
    c->type = 2;
    return c;
}

// The result of SQLite's structure check of the file in place.
std::string quickCheck(const std::string& path)
{
    sqlite3* handle = nullptr;
    std::string result;
    if (sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(handle, "PRAGMA quick_check;", -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
    }
    sqlite3_close(handle);
    return result;
}

// A value as the oracle compares it: its type and its text.
struct Field {
    int type = SQLITE_NULL;
    std::string text;
    double number = 0;
};

bool sameField(const Field& a, const Field& b)
{
    if (a.type == SQLITE_NULL || b.type == SQLITE_NULL)
        return a.type == b.type;
    if (a.text == b.text)
        return true;
    // A number stored under another type's affinity reads as that type.
    const bool numbers = (a.type == SQLITE_INTEGER || a.type == SQLITE_FLOAT)
        && (b.type == SQLITE_INTEGER || b.type == SQLITE_FLOAT);
    return numbers && a.number == b.number;
}

// Each rowid with the rows read under it, in the order read: a damaged tree
// may hold one rowid on several pages.
using Rows = std::map<sqlite3_int64, std::vector<std::vector<Field>>>;

// The tables the client makes.
std::vector<std::string> clientTables()
{
    std::vector<std::string> tables;
    for (const auto& schema : { core::BaseFactory::schema(), core::MessageFactory::schema(),
             core::ContactsFactory::schema(), core::MessageTemplateFactory::schema(), core::SettingFactory::schema(),
             core::ORBDBHelper::schema() }) {
        for (const auto& table : schema.tables)
            tables.push_back(table.name);
    }
    return tables;
}

// The rows of `table` that SQLite's cursor reads in the file at `path`, each
// rowid as first read, until it meets an error or has run its steps.
Rows rowsRead(const std::string& path, const std::string& table, bool writableSchema)
{
    Rows rows;
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        return rows;
    }
    if (writableSchema)
        sqlite3_exec(handle, "PRAGMA writable_schema=ON;", nullptr, nullptr, nullptr);
    // Bounded: a tree naming its pages many times is read as often as named.
    static int steps;
    steps = 0;
    sqlite3_progress_handler(handle, 1000, [](void*) { return ++steps > 20000 ? 1 : 0; }, nullptr);
    sqlite3_stmt* listed = nullptr;
    const std::string find
        = "SELECT 1 FROM sqlite_master WHERE type='table' AND name='" + table + "' AND tbl_name='" + table + "';";
    bool there = sqlite3_prepare_v2(handle, find.c_str(), -1, &listed, nullptr) == SQLITE_OK
        && sqlite3_step(listed) == SQLITE_ROW;
    sqlite3_finalize(listed);
    // SQLite knows a table by the text of its making: where the text of
    // another entry makes a table of this name, what it reads under the name
    // may be that entry's tree, and says nothing of this one's.
    if (there && writableSchema) {
        const std::string bare = "replace(replace(replace(sql,'`',''),'\"',''),'[','')";
        const std::string others = "SELECT 1 FROM sqlite_master WHERE name<>'" + table + "' AND (" + bare
            + " LIKE 'CREATE TABLE " + table + " %' OR " + bare + " LIKE 'CREATE TABLE " + table + "(%');";
        sqlite3_stmt* other = nullptr;
        if (sqlite3_prepare_v2(handle, others.c_str(), -1, &other, nullptr) != SQLITE_OK
            || sqlite3_step(other) != SQLITE_DONE)
            there = false;
        sqlite3_finalize(other);
    }
    // The rowid under a name no column of the table has taken.
    std::string rowid = "rowid";
    for (const char* name : { "rowid", "_rowid_", "oid" }) {
        sqlite3_stmt* taken = nullptr;
        const std::string ask = "SELECT 1 FROM pragma_table_xinfo('" + table + "') WHERE name='" + name + "' COLLATE NOCASE;";
        const bool free = sqlite3_prepare_v2(handle, ask.c_str(), -1, &taken, nullptr) == SQLITE_OK
            && sqlite3_step(taken) == SQLITE_DONE;
        sqlite3_finalize(taken);
        if (free) {
            rowid = name;
            break;
        }
    }
    sqlite3_stmt* read = nullptr;
    const std::string select = "SELECT " + rowid + ",* FROM \"" + table + "\" NOT INDEXED;";
    if (there && sqlite3_prepare_v2(handle, select.c_str(), -1, &read, nullptr) == SQLITE_OK) {
        for (int read_rows = 0; sqlite3_step(read) == SQLITE_ROW && read_rows < 200000; ++read_rows) {
            const sqlite3_int64 rowid = sqlite3_column_int64(read, 0);
            std::vector<Field> fields;
            for (int i = 1; i < sqlite3_column_count(read); ++i) {
                Field field;
                field.type = sqlite3_column_type(read, i);
                field.number = sqlite3_column_double(read, i);
                const auto* text = sqlite3_column_text(read, i);
                field.text.assign(text ? reinterpret_cast<const char*>(text) : "", size_t(sqlite3_column_bytes(read, i)));
                fields.push_back(std::move(field));
            }
            rows[rowid].push_back(std::move(fields));
        }
    }
    sqlite3_finalize(read);
    sqlite3_close(handle);
    return rows;
}

// Which of a table's columns take no NULL, in their order.
std::vector<bool> notNullColumns(const std::string& path, const std::string& table)
{
    std::vector<bool> columns;
    sqlite3* handle = nullptr;
    sqlite3_stmt* read = nullptr;
    const std::string ask = "SELECT \"notnull\" FROM pragma_table_info('" + table + "');";
    if (sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK
        && sqlite3_prepare_v2(handle, ask.c_str(), -1, &read, nullptr) == SQLITE_OK) {
        while (sqlite3_step(read) == SQLITE_ROW)
            columns.push_back(sqlite3_column_int(read, 0) != 0);
    }
    sqlite3_finalize(read);
    sqlite3_close(handle);
    return columns;
}

// The rows of a table the log says the fresh table refused.
long long refusedRows(const std::vector<std::string>& log, const std::string& table)
{
    long long refused = 0;
    const std::string said = " row(s) of " + table + " passed over, refused by the fresh table";
    for (const auto& line : log) {
        const auto at = line.find(said);
        if (at == std::string::npos)
            continue;
        const auto start = line.rfind(": ", at);
        if (start != std::string::npos)
            refused += std::atoll(line.c_str() + start + 2);
    }
    return refused;
}

// The oracle: what still reads of the damaged file at `damaged` is in the
// fresh store at `fresh`.
void checkNothingThatReadsIsLost(const std::string& damaged, const std::string& fresh, const std::vector<std::string>& log)
{
    static const std::vector<std::string> tables = clientTables();
    for (const auto& table : tables) {
        const Rows before = rowsRead(damaged, table, true);
        if (before.empty())
            continue;
        const Rows after = rowsRead(fresh, table, false);
        const std::vector<bool> notNull = notNullColumns(fresh, table);
        long long lost = 0;
        for (const auto& [rowid, versions] : before) {
            const auto kept = after.find(rowid);
            if (kept == after.end()) {
                ++lost;
                continue;
            }
            // The row kept is one of those read under its rowid: the first,
            // or a later one where the fresh table refused those before it.
            const std::vector<Field>& row = kept->second.front();
            auto same = [&](const std::vector<Field>& fields) {
                // A copy that left people of the book behind marks the
                // book's record, so that the book is fetched again.
                const bool bookRecord = table == "tb_info" && !fields.empty()
                    && fields[0].text.rfind(core::ContactsFactory::kBookRecordKeyPrefix, 0) == 0 && row.size() > 1
                    && row[1].text == core::ContactsFactory::kBookRecordIncomplete;
                const std::size_t both = std::min(fields.size(), row.size());
                for (std::size_t i = bookRecord ? 2 : 0; i < both; ++i) {
                    if (!sameField(fields[i], row[i]))
                        return false;
                }
                return true;
            };
            // A row the fresh table refuses (NULL where it takes none) may
            // give way to one read under its rowid further on, past where
            // SQLite's cursor stopped.
            auto refused = [&](const std::vector<Field>& fields) {
                for (std::size_t i = 0; i < fields.size() && i < notNull.size(); ++i) {
                    if (fields[i].type == SQLITE_NULL && notNull[i])
                        return true;
                }
                return false;
            };
            if (std::none_of(versions.begin(), versions.end(), same)
                && !std::all_of(versions.begin(), versions.end(), refused)) {
                std::fprintf(stderr, "store_making_fuzz: %s rowid %lld: \"%s\" kept as \"%s\"\n", table.c_str(),
                    static_cast<long long>(rowid), versions.front().empty() ? "" : versions.front()[0].text.c_str(),
                    row.empty() ? "" : row[0].text.c_str());
                for (const auto& line : log)
                    std::fprintf(stderr, "%s", line.c_str());
                fail("a row that still reads is kept with other values");
            }
        }
        if (lost > refusedRows(log, table)) {
            for (const auto& line : log)
                std::fprintf(stderr, "%s", line.c_str());
            for (const auto& [rowid, versions] : before) {
                if (!after.count(rowid))
                    std::fprintf(stderr, "store_making_fuzz: %s rowid %lld not kept\n", table.c_str(),
                        static_cast<long long>(rowid));
            }
            std::fprintf(stderr, "store_making_fuzz: %s: %lld of %zu rows that read are not kept (%lld refused)\n",
                table.c_str(),
                lost, before.size(), refusedRows(log, table));
            fail("a row that still reads is not in the fresh store");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    platform::AppPaths::setHome(fuzzsupport::scratch());
    auto session = std::make_shared<core::MyAccountInfo>();
    auto account = std::make_shared<core::AccountInfo>();
    account->uid = kAccount;
    account->type = 1;
    session->setAccounts(std::vector<std::shared_ptr<core::AccountInfo>> { account });
    session->setCurrent(account);
    core::MyAccountInfo::setInstance(session);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string folder = documents();
    fuzzsupport::emptyFolder(folder);
    const std::string path = core::BaseFactory::dataFilePath();
    fuzzsupport::writeFile(path, data, size);
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // A new run of the client over the file.
    core::DamagedStoreFile::forgetJudgedFiles();

    const double before = processSeconds();
    // The file judged, and copied when damaged, as the first store's making
    // does; what the copy kept is read before the stores change anything
    // (a version that reads as another one drops its tables).
    {
        platform::LogCapture log;
        core::DamagedStoreFile::atStoreMaking(path, [] { });
        check(processSeconds() - before < kMostSeconds, "the file's judging and copy took too long");
        if (setAside(folder)) {
            const std::string original = fuzzsupport::scratch() + "/damaged.db";
            fuzzsupport::writeFile(original, data, size);
            checkNothingThatReadsIsLost(original, path, log.lines());
            platform::FileUtil::remove(original);
        }
    }
    // The oracle's reading is not the client's.
    const double making = processSeconds();
    {
        core::MessageFactory messages;
        core::ContactsFactory contacts;
        check(processSeconds() - making < kMostSeconds, "the stores' making took too long");
        messages.getMessageWithContact(*partner());
        contacts.getGroups();
        auto arrived = std::make_shared<core::MessageInfo>();
        arrived->uid = "arrived";
        arrived->contact = partner();
        arrived->content = "刚收到的消息";
        arrived->time = platform::Date::fromSeconds(1772323200);
        arrived->createTime = arrived->time;
        // Damage met by the write is handled as its connection closes: the
        // fresh store then takes writes. The client keeps a message its
        // store refused and writes it again at its next write (the box's and
        // the chat's tests go through that); here it is written again by hand.
        if (!messages.setMessage({ arrived }))
            check(messages.setMessage({ arrived }), "the store refuses a new message after the damage was met");
    }
    {
        core::MessageFactory later;
        auto kept = later.getMessageWithContact(*partner());
        bool found = false;
        for (const auto& message : kept.value_or(core::MessageList {}))
            found = found || (message && message->uid == "arrived" && message->content == "刚收到的消息");
        check(found, "the new message is not read back");
    }
    check(quickCheck(path) == "ok", "the file in place is damaged");
    for (const auto& name : platform::FileUtil::list(folder).value_or(std::vector<std::string> {})) {
        // Its journal, or the log and index of a file in WAL mode, go aside with it.
        auto companion = [&](const char* suffix) {
            return name.size() > std::strlen(suffix) && name.compare(name.size() - std::strlen(suffix), std::string::npos, suffix) == 0;
        };
        if (name.rfind("_cache.db.corrupt-", 0) != 0 || companion("-journal") || companion("-wal") || companion("-shm"))
            continue;
        const auto aside = platform::FileUtil::read(folder + "/" + name);
        check(aside && std::string_view(reinterpret_cast<const char*>(aside->data()), aside->size()) == input,
            "the file set aside is not the file as found");
    }
    return 0;
}
