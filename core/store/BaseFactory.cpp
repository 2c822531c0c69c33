#include "core/store/BaseFactory.h"

#include "core/session/MyAccountInfo.h"
#include "core/util/ORBHelper.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"

#include <sqlite3.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <initializer_list>
#include <string_view>
#include <thread>
#include <utility>

namespace core {

namespace {

    // Numbers that tell which step failed in "line %i,%i#%s\n".
    enum StepLine : int {
        kLineCreateInfo = 101,
        kLineGetInfoPrepare = 102,
        kLineSetInfoUpdatePrepare = 103,
        kLineSetInfoUpdateStep = 104,
        kLineSetInfoInsertPrepare = 105,
        kLineSetInfoInsertStep = 106,
        kLineVersionDrop = 107,
        kLineVersionCreate = 108,
        kLineBegin = 109,
        kLineCommit = 110,
        kLineRollback = 111,
        kLineGetInfoStep = 112,
    };

    constexpr const char* kCreateInfoTable = "CREATE TABLE IF NOT EXISTS `tb_info` ("
                                             "            `key` text(32,0) NOT NULL,"
                                             "            `value` text(32,0) NOT NULL,"
                                             "            PRIMARY KEY(`key`)            );";

    // What SQLite says of a file whose bytes are not what it wrote: not a
    // database at all, or a database with pages it cannot make sense of.
    bool isDamage(int result)
    {
        const int primary = result & 0xff;
        return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
    }

    // A statement of a connection that is not a store's own; empty when it
    // cannot be prepared.
    StoreStatement prepareOn(sqlite3* handle, const std::string& sql)
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(handle, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(statement);
            return {};
        }
        return StoreStatement(handle, statement);
    }

    std::string quotedName(const std::string& name)
    {
        std::string quoted = "\"";
        for (char c : name)
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        return quoted + '"';
    }

    // Whether anything a person would miss can still be read from the file:
    // its list of tables, and then a row of any table but the version keys'
    // (which hold nothing of the person's). Read through a connection of its
    // own that writes nothing.
    bool holdsReadableRows(const std::string& path)
    {
        sqlite3* handle = nullptr;
        if (sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
            sqlite3_close(handle);
            return false;
        }
        sqlite3_busy_timeout(handle, BaseFactory::kBusyTimeoutMilliseconds);
        std::vector<std::string> tables;
        bool readable = false;
        {
            StoreStatement list = prepareOn(handle,
                "SELECT `name` FROM `sqlite_master` WHERE `type`='table' AND `name`<>'tb_info' "
                "AND `name` NOT LIKE 'sqlite\\_%' ESCAPE '\\';");
            int rc = SQLITE_ERROR;
            while (list && (rc = list.step()) == SQLITE_ROW) {
                if (auto name = list.columnText(0))
                    tables.push_back(*name);
            }
            for (std::size_t i = 0; rc == SQLITE_DONE && !readable && i < tables.size(); ++i) {
                // The table's own rows: an index of it would hold only its keys.
                readable = prepareOn(handle, "SELECT * FROM " + quotedName(tables[i]) + " NOT INDEXED LIMIT 1;").next();
            }
        }
        sqlite3_close(handle);
        return readable;
    }

    // A connection that goes with its scope; closed once its statements are.
    struct Connection {
        sqlite3* handle = nullptr;
        Connection() = default;
        Connection(const Connection&) = delete;
        Connection& operator=(const Connection&) = delete;
        ~Connection() { sqlite3_close_v2(handle); }
        bool open(const std::string& path, int flags)
        {
            if (sqlite3_open_v2(path.c_str(), &handle, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
                return false;
            sqlite3_busy_timeout(handle, BaseFactory::kBusyTimeoutMilliseconds);
            return true;
        }
        bool exec(const std::string& sql)
        {
            return sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        }
        std::string error() const { return handle ? sqlite3_errmsg(handle) : "out of memory"; }
    };

    // Rowids in an unsigned order of their own, so that the search past a
    // damaged page can step and halve without overflowing at either end.
    std::uint64_t orderOf(sqlite3_int64 rowid) { return static_cast<std::uint64_t>(rowid) ^ (std::uint64_t(1) << 63); }
    sqlite3_int64 rowidAt(std::uint64_t order) { return static_cast<sqlite3_int64>(order ^ (std::uint64_t(1) << 63)); }

    // The rows of one table that still read, copied into the same table of
    // the fresh file in the order of their rowids. Where a page does not
    // read, the copy goes on from the first rowid after it that does, found
    // by seeking further and further past it and then narrowing down, so
    // that a damaged page loses its own rows only.
    class TableCopy {
    public:
        TableCopy(sqlite3* from, sqlite3* to, const std::string& table)
            : from_(from)
            , to_(to)
            , table_(table)
        {
        }

        // SQLITE_DONE when everything that reads is copied; otherwise the
        // error that stopped it (a write into the fresh file, or a read that
        // is not damage). `damaged` tells whether pages were passed over.
        int run(bool& damaged)
        {
            damaged = false;
            select_
                = prepareOn(from_, "SELECT rowid, * FROM " + quotedName(table_) + " WHERE rowid >= ?1 ORDER BY rowid;");
            if (!select_) {
                // A table without rowids is read in one pass, as far as it reads.
                select_ = prepareOn(from_, "SELECT * FROM " + quotedName(table_) + ";");
                if (!select_ || !prepareInsert(0))
                    return SQLITE_ERROR;
                const int rc = copyRows(0);
                damaged = isDamage(rc);
                return damaged ? SQLITE_DONE : rc;
            }
            if (!prepareInsert(1))
                return SQLITE_ERROR;
            std::uint64_t first = 0;
            for (;;) {
                read_ = false;
                sqlite3_bind_int64(select_.handle(), 1, rowidAt(first));
                const int rc = copyRows(1);
                if (!isDamage(rc))
                    return rc;
                damaged = true;
                // The rows after the last one read do not read from here. A
                // page named twice gives rows again below it: the search
                // starts no lower than where this pass did, so that it only
                // ever goes on.
                std::uint64_t failing = first;
                if (read_ && orderOf(last_) >= first) {
                    if (orderOf(last_) == UINT64_MAX)
                        return SQLITE_DONE;
                    failing = orderOf(last_) + 1;
                }
                std::uint64_t step = 1;
                std::uint64_t reading = failing;
                for (;;) {
                    reading = UINT64_MAX - failing < step ? UINT64_MAX : failing + step;
                    if (seekReads(reading))
                        break;
                    if (reading == UINT64_MAX)
                        return SQLITE_DONE; // nothing further on reads
                    failing = reading;
                    step *= 2;
                }
                while (reading - failing > 1) {
                    const std::uint64_t middle = failing + (reading - failing) / 2;
                    (seekReads(middle) ? reading : failing) = middle;
                }
                if (reading <= first)
                    return SQLITE_DONE;
                first = reading;
            }
        }

        long long copied() const { return copied_; }
        long long passedOver() const { return passedOver_; }
        std::string writeError() const { return writeError_; }

    private:
        bool prepareInsert(int skip)
        {
            sqlite3_stmt* select = select_.handle();
            columns_ = sqlite3_column_count(select) - skip;
            if (columns_ <= 0)
                return false;
            std::string names;
            std::string values;
            for (int i = 0; i < columns_; ++i) {
                names += (i ? "," : "") + quotedName(sqlite3_column_name(select, i + skip));
                values += i ? ",?" : "?";
            }
            insert_ = prepareOn(to_, "INSERT INTO " + quotedName(table_) + "(" + names + ") VALUES(" + values + ");");
            if (!insert_)
                writeError_ = sqlite3_errmsg(to_);
            return bool(insert_);
        }

        // Steps the select from where it is bound, copying each row; the
        // select is reset (its binding kept) when this returns.
        int copyRows(int skip)
        {
            sqlite3_stmt* select = select_.handle();
            int rc;
            while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
                sqlite3_stmt* insert = insert_.handle();
                for (int i = 0; i < columns_; ++i)
                    sqlite3_bind_value(insert, i + 1, sqlite3_column_value(select, i + skip));
                const int written = sqlite3_step(insert);
                const int refusal = sqlite3_extended_errcode(to_);
                sqlite3_reset(insert);
                if (skip) {
                    const sqlite3_int64 rowid = sqlite3_column_int64(select, 0);
                    if (!read_ || orderOf(rowid) > orderOf(last_))
                        last_ = rowid;
                    read_ = true;
                }
                if (written != SQLITE_DONE && refusal != SQLITE_CONSTRAINT_UNIQUE
                    && refusal != SQLITE_CONSTRAINT_PRIMARYKEY) {
                    writeError_ = sqlite3_errmsg(to_);
                    rc = written == SQLITE_ROW ? SQLITE_ERROR : written;
                    // Not damage of the file read: the copy stops.
                    if (isDamage(rc))
                        rc = SQLITE_IOERR;
                    break;
                }
                // A row the fresh table already holds under its key: a page
                // named twice by a stale one above it gives its rows twice.
                ++(written == SQLITE_DONE ? copied_ : passedOver_);
            }
            sqlite3_reset(select);
            return rc;
        }

        bool seekReads(std::uint64_t order)
        {
            sqlite3_stmt* select = select_.handle();
            sqlite3_bind_int64(select, 1, rowidAt(order));
            const int rc = sqlite3_step(select);
            sqlite3_reset(select);
            return rc == SQLITE_ROW || rc == SQLITE_DONE;
        }

        sqlite3* from_;
        sqlite3* to_;
        std::string table_;
        StoreStatement select_;
        StoreStatement insert_;
        int columns_ = 0;
        sqlite3_int64 last_ = 0;
        bool read_ = false;
        long long copied_ = 0;
        long long passedOver_ = 0;
        std::string writeError_;
    };

    // Whether `text` begins with these words, in any case, each ending where
    // a name could not go on.
    bool beginsWithWords(const std::string& text, std::initializer_list<std::string_view> words)
    {
        std::size_t at = 0;
        for (std::string_view word : words) {
            while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
                ++at;
            if (text.size() - at < word.size() || strncasecmp(text.c_str() + at, word.data(), word.size()) != 0)
                return false;
            at += word.size();
            const unsigned char next = at < text.size() ? static_cast<unsigned char>(text[at]) : ' ';
            if (std::isalnum(next) || next == '_' || next == '$' || next >= 0x80)
                return false;
        }
        return true;
    }

    // An entry of a file's `sqlite_master`.
    struct SchemaEntry {
        std::string type;
        std::string name;
        std::string table;
        std::string sql;
    };

    // Whether the text of an entry says what the entry is: the making of a
    // table, or of an index. SQLite compiles only the first statement of an
    // entry when it reads the file, so a file opens normally whatever comes
    // after it: that is checked once the text is prepared.
    bool makesItsKind(const SchemaEntry& entry)
    {
        if (entry.type == "table")
            return beginsWithWords(entry.sql, { "CREATE", "TABLE" });
        if (entry.type == "index")
            return beginsWithWords(entry.sql, { "CREATE", "INDEX" })
                || beginsWithWords(entry.sql, { "CREATE", "UNIQUE", "INDEX" });
        return false;
    }

    // What takes a damaged file's place.
    enum class Copy {
        Made, // what reads of it
        VersionsLost, // an empty store: its versions do not read
        Failed, // nothing: the file stays where it is
    };

    // A new store file at `fresh` with the tables, indexes and rows of the
    // damaged one at `damaged`, as far as they read. The text of the damaged
    // file's schema is never run as it is: each entry is prepared alone, and
    // made only when it is a single statement making the table or index it
    // names; a table that is not, or a trigger or a view, is left behind. The
    // schema must read whole, and the versions too: without them the stores
    // would drop the copied tables as out of date, so the fresh file is then
    // an empty store. Of the other tables, the rows of pages that do not read
    // are left behind. Written in one transaction, so a copy that fails (no
    // room, no folder to write in) leaves nothing worth keeping. Failed, with
    // the reason, when neither can be made.
    Copy copyWhatReads(const std::string& damaged, const std::string& fresh, std::string& why)
    {
        Connection from;
        if (!from.open(damaged, SQLITE_OPEN_READONLY)) {
            why = from.error();
            return Copy::Failed;
        }
        // One read over the whole copy: no writer changes the file halfway.
        if (!from.exec("BEGIN;")) {
            why = from.error();
            return Copy::Failed;
        }
        std::vector<SchemaEntry> schema;
        {
            StoreStatement list = prepareOn(from.handle, "SELECT `type`,`name`,`tbl_name`,`sql` FROM `sqlite_master`;");
            int rc = SQLITE_ERROR;
            while (list && (rc = list.step()) == SQLITE_ROW)
                schema.push_back({ list.columnText(0).value_or(""), list.columnText(1).value_or(""),
                    list.columnText(2).value_or(""), list.columnText(3).value_or("") });
            if (rc != SQLITE_DONE) {
                why = "its list of tables does not read";
                return Copy::Failed;
            }
        }
        Connection to;
        if (!to.open(fresh, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) || !to.exec("BEGIN;")) {
            why = to.error();
            return Copy::Failed;
        }
        // Written at once, so that a disk with no room keeps the file where it is.
        auto versionsLost = [&] {
            if (!to.exec("ROLLBACK;") || !to.exec(kCreateInfoTable)) {
                why = "its versions do not read, and no fresh store can be written: " + to.error();
                return Copy::Failed;
            }
            return Copy::VersionsLost;
        };
        auto holds = [&](const char* type, const std::string& name) {
            StoreStatement found
                = prepareOn(to.handle, "SELECT 1 FROM `sqlite_master` WHERE `type`=?1 AND `name`=?2 COLLATE NOCASE;");
            return found.bindText(1, std::string(type)) && found.bindText(2, name) && found.next();
        };
        // Makes an entry's table or index in the fresh file; false (with the
        // reason) only when the fresh file refuses it.
        std::vector<std::string> made;
        auto make = [&](const SchemaEntry& entry) {
            auto leftBehind = [&](const char* reason) {
                platform::log("damaged store file %s: its %s %s is left behind (%s)\n", damaged.c_str(),
                    entry.type.c_str(), entry.name.c_str(), reason);
                return true;
            };
            if (!makesItsKind(entry))
                return leftBehind("its text does not make it");
            sqlite3_stmt* raw = nullptr;
            const char* tail = nullptr;
            const int prepared
                = sqlite3_prepare_v2(to.handle, entry.sql.c_str(), static_cast<int>(entry.sql.size()), &raw, &tail);
            StoreStatement statement(to.handle, raw);
            if (prepared != SQLITE_OK || !statement) {
                why = to.error();
                return false;
            }
            for (; tail && *tail; ++tail) {
                if (*tail != ';' && !std::isspace(static_cast<unsigned char>(*tail)))
                    return leftBehind("its text goes on past the statement that makes it");
            }
            if (!to.exec("SAVEPOINT entry;") || statement.step() != SQLITE_DONE) {
                why = to.error();
                return false;
            }
            statement.finalize();
            const bool itself = holds(entry.type.c_str(), entry.name);
            if (!to.exec(itself ? "RELEASE entry;" : "ROLLBACK TO entry; RELEASE entry;")) {
                why = to.error();
                return false;
            }
            if (!itself)
                return leftBehind("its text makes another");
            made.push_back(entry.name);
            return true;
        };
        auto isMade = [&](const std::string& name) {
            return std::any_of(made.begin(), made.end(),
                [&](const std::string& table) { return sqlite3_stricmp(table.c_str(), name.c_str()) == 0; });
        };
        auto internal = [](const std::string& name) { return name.rfind("sqlite_", 0) == 0; };
        for (const auto& entry : schema) {
            if (entry.type == "table" && !internal(entry.name) && !make(entry))
                return Copy::Failed;
        }
        if (!isMade("tb_info"))
            return versionsLost();
        // The versions first: a copy without them is not worth the time.
        std::stable_partition(
            schema.begin(), schema.end(), [](const SchemaEntry& entry) { return entry.name == "tb_info"; });
        for (const auto& entry : schema) {
            if (entry.type != "table" || internal(entry.name) || !isMade(entry.name))
                continue;
            TableCopy copy(from.handle, to.handle, entry.name);
            bool lost = false;
            const int rc = copy.run(lost);
            if (rc != SQLITE_DONE) {
                why = copy.writeError().empty() ? entry.name + ": " + sqlite3_errstr(rc) : copy.writeError();
                return Copy::Failed;
            }
            if (lost && entry.name == "tb_info")
                return versionsLost();
            if (lost)
                platform::log(
                    "damaged store file %s: %lld row(s) of %s copied; those of its pages that do not read are not\n",
                    damaged.c_str(), copy.copied(), entry.name.c_str());
            if (copy.passedOver() > 0)
                platform::log("damaged store file %s: %lld row(s) of %s read twice, copied once\n", damaged.c_str(),
                    copy.passedOver(), entry.name.c_str());
        }
        // AUTOINCREMENT's counters as they were, past every id ever given
        // out; the ones SQLite made from the copied rows where they do not read.
        const bool counters = std::any_of(schema.begin(), schema.end(), [](const SchemaEntry& entry) {
            return entry.name == "sqlite_sequence";
        }) && holds("table", "sqlite_sequence");
        if (counters) {
            if (!to.exec("SAVEPOINT counters; DELETE FROM sqlite_sequence;")) {
                why = to.error();
                return Copy::Failed;
            }
            TableCopy copy(from.handle, to.handle, "sqlite_sequence");
            bool lost = false;
            const int rc = copy.run(lost);
            if (rc != SQLITE_DONE && !copy.writeError().empty()) {
                why = copy.writeError();
                return Copy::Failed;
            }
            if (!to.exec(
                    rc == SQLITE_DONE && !lost ? "RELEASE counters;" : "ROLLBACK TO counters; RELEASE counters;")) {
                why = to.error();
                return Copy::Failed;
            }
        }
        // Indexes once the rows are in. Triggers and views hold nothing of
        // the person's: the stores make none.
        for (const auto& entry : schema) {
            if (entry.type == "index" && !entry.sql.empty() && isMade(entry.table) && !make(entry))
                return Copy::Failed;
            if (entry.type == "trigger" || entry.type == "view")
                platform::log("damaged store file %s: its %s %s is left behind\n", damaged.c_str(), entry.type.c_str(),
                    entry.name.c_str());
        }
        if (!to.exec("COMMIT;")) {
            why = to.error();
            return Copy::Failed;
        }
        return Copy::Made;
    }

    // A file of this store's and the journals SQLite may have left beside it.
    void removeWithCompanions(const std::string& path)
    {
        for (const char* companion : { "", "-journal", "-wal", "-shm" }) {
            if (platform::FileUtil::exists(path + companion))
                platform::FileUtil::remove(path + companion);
        }
    }

    // "<file>.corrupt-<UTC time>", with a number after it when a file set
    // aside in the same second already has that name.
    std::string asideName(const std::string& path)
    {
        std::time_t now = std::time(nullptr);
        std::tm utc {};
        gmtime_r(&now, &utc);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
        std::string base = path + ".corrupt-" + stamp;
        std::string name = base;
        for (int n = 2; platform::FileUtil::exists(name) && n < 1000; ++n)
            name = base + "-" + std::to_string(n);
        return name;
    }

    std::optional<std::pair<dev_t, ino_t>> fileIdentity(const std::string& path)
    {
        struct stat info { };
        if (::stat(path.c_str(), &info) != 0)
            return std::nullopt;
        return std::make_pair(info.st_dev, info.st_ino);
    }

} // namespace

// StoreStatement

StoreStatement::StoreStatement(sqlite3* database, sqlite3_stmt* statement)
    : database_(database)
    , statement_(statement)
{
}

StoreStatement::~StoreStatement() { finalize(); }

StoreStatement::StoreStatement(StoreStatement&& other) noexcept
    : database_(std::exchange(other.database_, nullptr))
    , statement_(std::exchange(other.statement_, nullptr))
{
}

StoreStatement& StoreStatement::operator=(StoreStatement&& other) noexcept
{
    if (this != &other) {
        finalize();
        database_ = std::exchange(other.database_, nullptr);
        statement_ = std::exchange(other.statement_, nullptr);
    }
    return *this;
}

bool StoreStatement::bindInt(int index, int value)
{
    return statement_ && sqlite3_bind_int(statement_, index, value) == SQLITE_OK;
}

bool StoreStatement::bindText(int index, const std::optional<std::string>& value)
{
    if (!statement_)
        return false;
    if (!value)
        return sqlite3_bind_null(statement_, index) == SQLITE_OK;
    return sqlite3_bind_text(statement_, index, value->data(), static_cast<int>(value->size()), SQLITE_TRANSIENT)
        == SQLITE_OK;
}

bool StoreStatement::bindNull(int index) { return statement_ && sqlite3_bind_null(statement_, index) == SQLITE_OK; }

int StoreStatement::step() { return statement_ ? sqlite3_step(statement_) : SQLITE_MISUSE; }

bool StoreStatement::run() { return step() == SQLITE_DONE; }

bool StoreStatement::next() { return step() == SQLITE_ROW; }

bool StoreStatement::reset()
{
    if (!statement_)
        return false;
    bool ok = sqlite3_reset(statement_) == SQLITE_OK;
    sqlite3_clear_bindings(statement_);
    return ok;
}

void StoreStatement::finalize()
{
    if (statement_)
        sqlite3_finalize(statement_);
    statement_ = nullptr;
    database_ = nullptr;
}

int StoreStatement::columnInt(int column) const { return statement_ ? sqlite3_column_int(statement_, column) : 0; }

std::optional<std::string> StoreStatement::columnText(int column) const
{
    if (!statement_ || sqlite3_column_type(statement_, column) == SQLITE_NULL)
        return std::nullopt;
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    int size = sqlite3_column_bytes(statement_, column);
    return std::string(text ? text : "", text ? static_cast<std::size_t>(size) : 0);
}

// BaseFactory

BaseFactory::BaseFactory()
{
    const int result = rewriteFile();
    if (isDamage(result))
        replaceDamagedFile(result);
}

BaseFactory::~BaseFactory()
{
    if (database_)
        close();
}

std::string BaseFactory::dataFilePath()
{
    std::string documents = platform::AppPaths::documentsDirectory();
    if (!documents.empty() && documents.back() != '/')
        documents += '/';
    return documents + kDatabaseFileName;
}

bool BaseFactory::open()
{
    if (database_)
        return true;
    if (!connect())
        return false;
    exec(kCreateInfoTable, kLineCreateInfo);
    return true;
}

bool BaseFactory::connect()
{
    if (database_)
        return true;
    sqlite3* handle = nullptr;
    int rc = sqlite3_open_v2(
        dataFilePath().c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        platform::log("line %i,%i#%s\n", kLineCreateInfo, rc, handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc));
        // SQLite hands back a handle that only holds the error.
        sqlite3_close(handle);
        return false;
    }
    database_ = handle;
    sqlite3_busy_handler(database_, &BaseFactory::waitForFile, nullptr);
    return true;
}

bool BaseFactory::close()
{
    if (!database_)
        return true;
    // The plain close refuses while statements are unfinalized, which keeps
    // the handle valid for them.
    if (sqlite3_close(database_) != SQLITE_OK)
        return false;
    database_ = nullptr;
    return true;
}

bool BaseFactory::vacuum() { return rewriteFile() == SQLITE_OK; }

int BaseFactory::rewriteFile()
{
    // Nothing is written into the file before it is judged: a write into a
    // damaged one may spread the damage, and one set aside must be the file
    // as it was found.
    if (!connect())
        return SQLITE_CANTOPEN;
    sqlite3_stmt* statement = nullptr;
    int result = SQLITE_OK;
    if (sqlite3_prepare_v2(database_, "VACUUM", -1, &statement, nullptr) != SQLITE_OK) {
        result = sqlite3_errcode(database_);
        platform::log("Error: failed to prepare:%s", sqlite3_errmsg(database_));
    } else if (int rc = sqlite3_step(statement); rc != SQLITE_DONE) {
        // Busy or locked counts as a failure too: the file was not rewritten.
        result = rc;
        platform::log("Error: failed to vacuum:%s", sqlite3_errmsg(database_));
    }
    sqlite3_finalize(statement);
    // A file that reads (a new one too) is a store from here on.
    if (result == SQLITE_OK)
        exec(kCreateInfoTable, kLineCreateInfo);
    close();
    return result == SQLITE_OK || result == SQLITE_DONE ? SQLITE_OK : result;
}

void BaseFactory::replaceDamagedFile(int result)
{
    const std::string path = dataFilePath();
    const char* why = sqlite3_errstr(result);
    const auto assessed = fileIdentity(path);
    if (!assessed)
        return;
    // A file with rows that still read is copied, as far as it reads, into a
    // fresh one that takes writes to every table again: kept as it is, a
    // damaged table would refuse every new message of every run. Where its
    // versions do not read, an empty store takes its place, as where nothing
    // reads. Where neither can be written (a folder that takes no writes, no
    // room), the file stays as it is, and each store works over what it can
    // (see checkVersion).
    const std::string fresh = path + ".fresh";
    // Nothing written yet: the stores make a fresh file where none is.
    Copy made = Copy::Failed;
    if (holdsReadableRows(path)) {
        // Left by a run that ended halfway through a copy.
        removeWithCompanions(fresh);
        std::string failure;
        made = copyWhatReads(path, fresh, failure);
        if (made == Copy::Failed) {
            removeWithCompanions(fresh);
            platform::log("damaged store file %s (%s): kept in place, since what still reads cannot be copied into "
                          "a fresh one (%s)\n",
                path.c_str(), why, failure.c_str());
            return;
        }
    }
    const bool replaced = made != Copy::Failed;
    // Another store may have set it aside meanwhile and begun a fresh one,
    // which must not follow it.
    if (fileIdentity(path) != assessed) {
        removeWithCompanions(fresh);
        return;
    }
    const std::string aside = asideName(path);
    platform::Error error;
    if (!platform::FileUtil::move(path, aside, &error)) {
        if (replaced)
            removeWithCompanions(fresh);
        platform::log("damaged store file %s (%s): cannot be moved aside to %s (%s); kept in place\n", path.c_str(),
            why, aside.c_str(), error.description().c_str());
        return;
    }
    // Its journal goes with it: it belongs to the damaged file, and beside
    // the fresh one SQLite would delete it.
    for (const char* companion : { "-journal", "-wal", "-shm" }) {
        if (platform::FileUtil::exists(path + companion)
            && !platform::FileUtil::move(path + companion, aside + companion, &error))
            platform::log("damaged store file %s: its %s cannot be moved aside (%s)\n", path.c_str(), companion,
                error.description().c_str());
    }
    if (!replaced) {
        platform::log(
            "damaged store file %s (%s): moved aside to %s; a fresh one is made\n", path.c_str(), why, aside.c_str());
        return;
    }
    if (!platform::FileUtil::move(fresh, path, &error)) {
        // The rows are still in the file set aside: it goes back rather than
        // give way to an empty store.
        const std::string moveError = error.description();
        const bool back = platform::FileUtil::move(aside, path, &error);
        removeWithCompanions(fresh);
        platform::log("damaged store file %s (%s): its copy cannot take its place (%s); %s\n", path.c_str(), why,
            moveError.c_str(), back ? "kept in place" : ("left as " + aside).c_str());
        return;
    }
    if (made == Copy::VersionsLost)
        platform::log("damaged store file %s (%s): its versions do not read, so no copy of it would be kept; moved "
                      "aside to %s; a fresh one is made\n",
            path.c_str(), why, aside.c_str());
    else
        platform::log("damaged store file %s (%s): what still reads is copied into a fresh one; moved aside to %s\n",
            path.c_str(), why, aside.c_str());
}

int BaseFactory::currentAccountUid()
{
    auto account = MyAccountInfo::currentAccount();
    return account ? account->uid : 0;
}

std::string BaseFactory::timeText(platform::Date date) { return ORBHelper::stringFromDate(date, 0); }

std::optional<platform::Date> BaseFactory::timeFromText(const std::optional<std::string>& text)
{
    if (!text)
        return std::nullopt;
    return ORBHelper::dateFromString(*text, 0);
}

int BaseFactory::changes() const { return database_ ? sqlite3_changes(database_) : 0; }

void BaseFactory::printError(int line) const
{
    if (!database_)
        return;
    platform::log("line %i,%i#%s\n", line, sqlite3_errcode(database_), sqlite3_errmsg(database_));
}

bool BaseFactory::exec(const std::string& sql, int line)
{
    if (!database_)
        return false;
    if (sqlite3_exec(database_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        printError(line);
        return false;
    }
    return true;
}

bool BaseFactory::selectRows(const std::string& sql, int line, const std::function<bool(StoreStatement&)>& bind,
    const std::function<void(const StoreStatement&)>& row)
{
    if (!open())
        return false;
    bool ok = false;
    {
        StoreStatement select = prepare(sql, line);
        if (select && bind(select)) {
            int rc;
            while ((rc = select.step()) == SQLITE_ROW)
                row(select);
            ok = rc == SQLITE_DONE;
            if (!ok)
                printError(line);
        }
    }
    close();
    return ok;
}

StoreStatement BaseFactory::prepare(const std::string& sql, int line)
{
    if (!database_)
        return {};
    StoreStatement statement = prepareOn(database_, sql);
    if (!statement)
        printError(line);
    return statement;
}

std::optional<std::string> BaseFactory::getInfo(const std::string& key) { return readInfo(key).value; }

BaseFactory::InfoRead BaseFactory::readInfo(const std::string& key)
{
    if (!database_)
        return { SQLITE_MISUSE, std::nullopt };
    StoreStatement statement = prepare("SELECT `value` FROM `tb_info` WHERE `key`=?;", kLineGetInfoPrepare);
    if (!statement)
        return { sqlite3_errcode(database_), std::nullopt };
    if (!statement.bindText(1, key))
        return { sqlite3_errcode(database_), std::nullopt };
    const int rc = statement.step();
    if (rc == SQLITE_ROW)
        return { rc, statement.columnText(0) };
    if (rc != SQLITE_DONE)
        printError(kLineGetInfoStep);
    return { rc, std::nullopt };
}

void BaseFactory::setInfo(const std::string& key, const std::string& value)
{
    {
        StoreStatement update = prepare("UPDATE `tb_info` SET `value`=? WHERE `key`=?;", kLineSetInfoUpdatePrepare);
        if (!update)
            return;
        update.bindText(1, value);
        update.bindText(2, key);
        if (update.step() != SQLITE_DONE) {
            printError(kLineSetInfoUpdateStep);
            return;
        }
        if (sqlite3_changes(database_) > 0)
            return;
    }
    StoreStatement insert = prepare("INSERT INTO `tb_info`(`key`,`value`) VALUES(?,?);", kLineSetInfoInsertPrepare);
    if (!insert)
        return;
    insert.bindText(1, key);
    insert.bindText(2, value);
    if (insert.step() != SQLITE_DONE)
        printError(kLineSetInfoInsertStep);
}

bool BaseFactory::checkVersion(const std::string& key, const std::string& version,
    const std::vector<std::string>& drops, const std::vector<std::string>& creates)
{
    if (!open())
        return false;
    const InfoRead stored = readInfo(key);
    if (stored.value == version) {
        close();
        return true;
    }
    if (stored.result != SQLITE_ROW && stored.result != SQLITE_DONE) {
        // A version that cannot be read is not a missing one: the tables may
        // hold all the person has, so none is dropped. Those missing are
        // still made, so that the store works over the rest of the file.
        platform::log("the version %s cannot be read (%s): the tables it guards are kept as they are\n", key.c_str(),
            sqlite3_errstr(stored.result));
        for (const auto& sql : creates)
            exec(sql, kLineVersionCreate);
        close();
        return false;
    }
    bool ok = true;
    // Each statement runs even after a failure, as far as it can, so that
    // every error is logged; the key records only a complete change.
    for (const auto& sql : drops)
        ok = exec(sql, kLineVersionDrop) && ok;
    for (const auto& sql : creates)
        ok = exec(sql, kLineVersionCreate) && ok;
    if (ok)
        setInfo(key, version);
    bool current = ok && getInfo(key) == version;
    close();
    return current;
}

bool BaseFactory::writeInTransaction(const std::function<bool()>& work)
{
    if (!open())
        return false;
    // IMMEDIATE takes the write lock before any read, so two writers cannot
    // each hold a read lock and wait for the other forever.
    if (!exec("BEGIN IMMEDIATE;", kLineBegin)) {
        close();
        return false;
    }
    bool ok = work();
    if (ok && !exec("COMMIT;", kLineCommit))
        ok = false;
    if (!ok && sqlite3_get_autocommit(database_) == 0)
        exec("ROLLBACK;", kLineRollback);
    close();
    return ok;
}

namespace {

    using WaitClock = std::chrono::steady_clock;

    // When a store of the process last found the file busy and was about to try again.
    std::atomic<WaitClock::rep> lastWaitForFile { 0 };
    // A waiter tries again each millisecond: one that has not for this long has the file, or gave up.
    constexpr auto kWaiterGone = std::chrono::milliseconds(4);

} // namespace

int BaseFactory::waitForFile(void*, int retries)
{
    // The first call of a lock's wait starts its clock; a thread waits for one lock at a time.
    thread_local WaitClock::time_point since;
    const auto now = WaitClock::now();
    if (retries == 0)
        since = now;
    if (now - since >= std::chrono::milliseconds(kBusyTimeoutMilliseconds))
        return 0;
    lastWaitForFile.store(now.time_since_epoch().count(), std::memory_order_relaxed);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 1;
}

bool BaseFactory::isFileWaitedFor()
{
    const WaitClock::time_point last { WaitClock::duration { lastWaitForFile.load(std::memory_order_relaxed) } };
    return WaitClock::now() - last < kWaiterGone;
}

} // namespace core
