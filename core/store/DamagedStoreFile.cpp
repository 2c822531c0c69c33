#include "core/store/DamagedStoreFile.h"

#include "core/store/BaseFactory.h"
#include "core/store/ContactsFactory.h"
#include "core/store/MessageFactory.h"
#include "core/store/MessageTemplateFactory.h"
#include "core/store/ORBDBHelper.h"
#include "core/store/SettingFactory.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace core {

namespace {

    std::string quotedName(const std::string& name)
    {
        std::string quoted = "\"";
        for (char c : name)
            quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
        return quoted + '"';
    }

    bool sameName(const std::string& a, const std::string& b) { return sqlite3_stricmp(a.c_str(), b.c_str()) == 0; }

    // A connection that goes with its scope; closed once its statements are.
    struct Connection {
        sqlite3* handle = nullptr;
        Connection() = default;
        Connection(const Connection&) = delete;
        Connection& operator=(const Connection&) = delete;
        ~Connection() { close(); }
        bool open(const std::string& path, int flags)
        {
            close();
            if (sqlite3_open_v2(path.c_str(), &handle, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
                return false;
            // The stores' own wait, so that a long write lets this one in.
            sqlite3_busy_handler(handle, &BaseFactory::waitForFile, nullptr);
            return true;
        }
        void close()
        {
            sqlite3_close_v2(handle);
            handle = nullptr;
        }
        bool exec(const std::string& sql)
        {
            return sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
        }
        StoreStatement prepare(const std::string& sql) const { return StoreStatement::on(handle, sql); }
        std::string error() const { return handle ? sqlite3_errmsg(handle) : "out of memory"; }
    };

    // What every store of the client makes in the file when it is new.
    const std::vector<StoreSchema>& clientSchemas()
    {
        static const std::vector<StoreSchema> schemas = { BaseFactory::schema(), MessageFactory::schema(),
            ContactsFactory::schema(), MessageTemplateFactory::schema(), SettingFactory::schema(),
            ORBDBHelper::schema() };
        return schemas;
    }

    // A column as SQLite reads it from a table's making.
    struct Column {
        std::string name;
        std::string type;
        int notNull = 0;
        std::optional<std::string> defaultValue;
        int key = 0;
        bool operator==(const Column&) const = default;
    };

    // The columns of a table of the connection, in their order; nothing when
    // the table is not there, and false when they do not read.
    bool columnsOf(const Connection& connection, const std::string& table, std::vector<Column>& columns)
    {
        columns.clear();
        StoreStatement read = connection.prepare(
            "SELECT `name`,`type`,`notnull`,`dflt_value`,`pk` FROM pragma_table_xinfo(?1) WHERE `hidden`=0;");
        if (!read || !read.bindText(1, table))
            return false;
        int rc;
        while ((rc = read.step()) == SQLITE_ROW)
            columns.push_back({ read.columnText(0).value_or(""), read.columnText(1).value_or(""), read.columnInt(2),
                read.columnText(3), read.columnInt(4) });
        return rc == SQLITE_DONE;
    }

    // The client's tables as its own statements make them, by name.
    const std::map<std::string, std::vector<Column>>& clientColumns()
    {
        static const std::map<std::string, std::vector<Column>> tables = [] {
            std::map<std::string, std::vector<Column>> made;
            Connection scratch;
            if (!scratch.open(":memory:", SQLITE_OPEN_READWRITE))
                return made;
            for (const auto& schema : clientSchemas()) {
                for (const auto& table : schema.tables) {
                    std::vector<Column> columns;
                    if (scratch.exec(table.create) && columnsOf(scratch, table.name, columns))
                        made[table.name] = std::move(columns);
                }
            }
            return made;
        }();
        return tables;
    }

    bool isClientTable(const std::string& name)
    {
        const auto& tables = clientColumns();
        return std::any_of(tables.begin(), tables.end(), [&](const auto& table) { return sameName(table.first, name); });
    }

    // Failures that say nothing of the file's bytes: it could not be read
    // now, and is judged again at the next store made.
    bool isPassing(int result)
    {
        switch (result & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
        case SQLITE_NOMEM:
        case SQLITE_IOERR:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_INTERRUPT:
            return true;
        default:
            return false;
        }
    }

    // Failures of a write into the fresh file that no other row would
    // escape: it has no room, or takes no writes.
    bool isWriteFailure(int result)
    {
        switch (result & 0xff) {
        case SQLITE_FULL:
        case SQLITE_IOERR:
        case SQLITE_READONLY:
        case SQLITE_CANTOPEN:
        case SQLITE_NOMEM:
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
        case SQLITE_PERM:
        case SQLITE_CORRUPT:
        case SQLITE_NOTADB:
            return true;
        default:
            return false;
        }
    }

    struct Verdict {
        enum Kind { Whole, Damaged, Unjudged } kind = Whole;
        std::string why;
    };

    // Opens the file to read it as it is. A journal left hot by a run that
    // ended halfway through a write is played back first, as SQLite does for
    // any connection: it belongs to the file.
    int openToRead(Connection& connection, const std::string& path, const std::string& probe)
    {
        if (!connection.open(path, SQLITE_OPEN_READONLY))
            return SQLITE_CANTOPEN;
        int rc = connection.prepare(probe).step();
        if ((rc & 0xff) == SQLITE_READONLY) {
            if (!connection.open(path, SQLITE_OPEN_READWRITE))
                return SQLITE_CANTOPEN;
            rc = connection.prepare(probe).step();
        }
        return rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
    }

    Verdict judgeFile(const std::string& path)
    {
        if (!platform::FileUtil::exists(path))
            return {};
        Connection file;
        const int opened = openToRead(file, path, "SELECT count(*) FROM `sqlite_master`;");
        auto failed = [&](int rc) {
            const std::string why = rc == SQLITE_CANTOPEN ? sqlite3_errstr(rc) : file.error();
            return Verdict { isPassing(rc) ? Verdict::Unjudged : Verdict::Damaged, why };
        };
        if (opened != SQLITE_OK)
            return failed(opened);
        // SQLite's structure check: every page named once, in order, and
        // readable; every record within its page and of its table's shape.
        // It stops at the first fault: past a fault in the structure, its
        // reading of the rows would follow pages named many times as often
        // as they are named.
        {
            StoreStatement check = file.prepare("PRAGMA quick_check(1);");
            if (!check)
                return failed(sqlite3_errcode(file.handle));
            int rc;
            std::string first;
            while ((rc = check.step()) == SQLITE_ROW) {
                if (first.empty())
                    first = check.columnText(0).value_or("");
            }
            if (rc != SQLITE_DONE)
                return failed(rc);
            if (first != "ok") {
                std::replace(first.begin(), first.end(), '\n', ' ');
                return { Verdict::Damaged, first };
            }
        }
        // The stores make no trigger and no view: one would run with every
        // write, or over tables it was not made for.
        {
            StoreStatement other
                = file.prepare("SELECT `type`,`name` FROM `sqlite_master` WHERE `type` IN ('trigger','view');");
            const int rc = other ? other.step() : sqlite3_errcode(file.handle);
            if (rc == SQLITE_ROW)
                return { Verdict::Damaged,
                    "its " + other.columnText(0).value_or("") + " " + other.columnText(1).value_or("")
                        + " is not the client's" };
            if (rc != SQLITE_DONE)
                return failed(rc);
        }
        // The tables of the client's that the file has, at the version the
        // client keeps them, are the ones its statements make: a table whose
        // text was changed refuses what the stores write into it.
        std::map<std::string, std::string> versions;
        {
            // A file without the table has no versions: it does not prepare.
            StoreStatement read = file.prepare("SELECT `key`,`value` FROM `tb_info`;");
            int rc = SQLITE_DONE;
            while (read && (rc = read.step()) == SQLITE_ROW)
                versions[read.columnText(0).value_or("")] = read.columnText(1).value_or("");
            if (read && rc != SQLITE_DONE)
                return failed(rc);
        }
        for (const auto& schema : clientSchemas()) {
            if (!schema.versionKey.empty()) {
                const auto stored = versions.find(schema.versionKey);
                if (stored == versions.end() || stored->second != schema.version)
                    continue; // the store makes its tables anew
            }
            for (const auto& table : schema.tables) {
                std::vector<Column> columns;
                if (!columnsOf(file, table.name, columns))
                    return failed(sqlite3_errcode(file.handle));
                const auto own = clientColumns().find(table.name);
                if (!columns.empty() && own != clientColumns().end() && columns != own->second)
                    return { Verdict::Damaged, "its table " + table.name + " is not the one the client makes" };
            }
        }
        return {};
    }

    // Rowids in an unsigned order of their own, so that the search past a
    // damaged page can step and halve without overflowing at either end.
    std::uint64_t orderOf(sqlite3_int64 rowid) { return static_cast<std::uint64_t>(rowid) ^ (std::uint64_t(1) << 63); }
    sqlite3_int64 rowidAt(std::uint64_t order) { return static_cast<sqlite3_int64>(order ^ (std::uint64_t(1) << 63)); }

    // The rows of one of the client's tables that still read, copied into
    // the same table of the fresh file, for the columns both have. Rows are
    // read in rising rowid order only: where a page does not read, or a row
    // comes that is not above the last one read (a page named twice, or
    // naming a page above it), the stretch ends and the copy goes on from
    // the first rowid past it that reads, found by seeking further and
    // further and then narrowing down. So a damaged page loses its own rows
    // only, and the time grows with the file, not with its damage. A row the
    // fresh table refuses is passed over.
    class TableCopy {
    public:
        TableCopy(sqlite3* from, sqlite3* to, std::string table, std::vector<std::string> columns,
            std::string rowid, long long mostRows)
            : from_(from)
            , to_(to)
            , table_(std::move(table))
            , columns_(std::move(columns))
            , rowid_(std::move(rowid))
            , mostRows_(mostRows)
        {
        }

        // False only when the fresh file refuses a write for want of room
        // or of writes (`writeError` says which).
        bool run()
        {
            std::string names;
            std::string values;
            for (std::size_t i = 0; i < columns_.size(); ++i) {
                names += (i ? "," : "") + quotedName(columns_[i]);
                values += i ? ",?" : "?";
            }
            insert_ = StoreStatement::on(to_, "INSERT INTO " + quotedName(table_) + "(" + names + ") VALUES(" + values + ");");
            if (!insert_) {
                writeError_ = sqlite3_errmsg(to_);
                return false;
            }
            if (!rowid_.empty()) {
                select_ = StoreStatement::on(from_,
                    "SELECT " + rowid_ + "," + names + " FROM " + quotedName(table_) + " NOT INDEXED WHERE " + rowid_
                        + ">=?1 ORDER BY " + rowid_ + ";");
            }
            if (!select_) {
                // A table without rowids is read in one pass, as far as it reads.
                select_ = StoreStatement::on(from_, "SELECT " + names + " FROM " + quotedName(table_) + ";");
                if (!select_) {
                    ++unreadStretches_;
                    return true;
                }
                const int rc = copyRows(0);
                if (rc == kWriteFailed)
                    return false;
                if (rc != SQLITE_DONE)
                    ++unreadStretches_;
                return true;
            }
            std::uint64_t first = 0;
            for (;;) {
                const long long before = copied_ + refused_;
                sqlite3_bind_int64(select_.handle(), 1, rowidAt(first));
                const int rc = copyRows(1);
                if (rc == SQLITE_DONE)
                    return true;
                if (rc == kWriteFailed)
                    return false;
                if (rc == kRowsEnough) {
                    ++unreadStretches_;
                    return true;
                }
                if (read_ && orderOf(last_) == UINT64_MAX)
                    return true;
                std::uint64_t failing = read_ && orderOf(last_) >= first ? orderOf(last_) + 1 : first;
                if (rc == kWentBack && copied_ + refused_ > before) {
                    // The rows after the last one read come again further on.
                    ++readAgain_;
                    first = failing;
                    continue;
                }
                // The rows past the last one read do not read from here.
                ++unreadStretches_;
                std::uint64_t step = 1;
                std::uint64_t reading = failing;
                for (;;) {
                    reading = UINT64_MAX - failing < step ? UINT64_MAX : failing + step;
                    if (seekReads(reading))
                        break;
                    if (reading == UINT64_MAX)
                        return true; // nothing further on reads
                    failing = reading;
                    step *= 2;
                }
                while (reading - failing > 1) {
                    const std::uint64_t middle = failing + (reading - failing) / 2;
                    (seekReads(middle) ? reading : failing) = middle;
                }
                first = reading;
            }
        }

        long long copied() const { return copied_; }
        long long refused() const { return refused_; }
        long long unreadStretches() const { return unreadStretches_; }
        long long readAgain() const { return readAgain_; }
        const std::string& refusal() const { return refusal_; }
        const std::string& writeError() const { return writeError_; }

    private:
        static constexpr int kWentBack = -1;
        static constexpr int kWriteFailed = -2;
        static constexpr int kRowsEnough = -3;

        // Steps the select from where it is bound, copying each row; the
        // select is reset (its binding kept) when this returns.
        int copyRows(int skip)
        {
            sqlite3_stmt* select = select_.handle();
            sqlite3_stmt* insert = insert_.handle();
            int rc;
            while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
                if (++rowsRead_ > mostRows_) {
                    rc = kRowsEnough;
                    break;
                }
                if (skip) {
                    const sqlite3_int64 rowid = sqlite3_column_int64(select, 0);
                    if (read_ && orderOf(rowid) <= orderOf(last_)) {
                        rc = kWentBack;
                        break;
                    }
                    last_ = rowid;
                    read_ = true;
                }
                for (std::size_t i = 0; i < columns_.size(); ++i)
                    sqlite3_bind_value(insert, static_cast<int>(i) + 1, sqlite3_column_value(select, static_cast<int>(i) + skip));
                const int written = sqlite3_step(insert);
                if (written != SQLITE_DONE && isWriteFailure(written)) {
                    writeError_ = sqlite3_errmsg(to_);
                    sqlite3_reset(insert);
                    rc = kWriteFailed;
                    break;
                }
                if (written != SQLITE_DONE) {
                    // NOT NULL, a type, a key given twice, a value too big:
                    // the row alone is passed over.
                    if (refusal_.empty())
                        refusal_ = sqlite3_errmsg(to_);
                    ++refused_;
                } else {
                    ++copied_;
                }
                sqlite3_reset(insert);
            }
            sqlite3_reset(select);
            return rc;
        }

        // Whether the rows from `order` on begin with one that reads, in its
        // place.
        bool seekReads(std::uint64_t order)
        {
            sqlite3_stmt* select = select_.handle();
            sqlite3_bind_int64(select, 1, rowidAt(order));
            const int rc = sqlite3_step(select);
            const bool reads = rc == SQLITE_DONE
                || (rc == SQLITE_ROW && orderOf(sqlite3_column_int64(select, 0)) >= order
                    && (!read_ || orderOf(sqlite3_column_int64(select, 0)) > orderOf(last_)));
            sqlite3_reset(select);
            return reads;
        }

        sqlite3* from_;
        sqlite3* to_;
        std::string table_;
        std::vector<std::string> columns_;
        std::string rowid_;
        long long mostRows_;
        StoreStatement select_;
        StoreStatement insert_;
        sqlite3_int64 last_ = 0;
        bool read_ = false;
        long long rowsRead_ = 0;
        long long copied_ = 0;
        long long refused_ = 0;
        long long unreadStretches_ = 0;
        long long readAgain_ = 0;
        std::string refusal_;
        std::string writeError_;
    };

    // What takes a damaged file's place.
    enum class Copy {
        Made, // the client's own tables, with what reads of it
        NothingRead, // the client's own tables, empty: nothing of it reads
        Failed, // nothing: the fresh file cannot be written
    };

    // A new store file at `fresh`: the client's own tables and indexes, made
    // by its own statements, and the rows of the damaged file at `damaged`
    // that still read, for the columns both have. Nothing read from the
    // damaged file is run: what it has that the client does not make is
    // left behind, with a line in the log. The versions that read are kept;
    // those that do not are written as a new store writes them. Written in
    // one transaction, so a copy that fails (no room, no folder to write in)
    // leaves nothing worth keeping. Failed, with the reason, only when the
    // fresh file cannot be written.
    Copy copyWhatReads(const std::string& damaged, const std::string& fresh, std::string& why)
    {
        Connection to;
        if (!to.open(fresh, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) || !to.exec("BEGIN;")) {
            why = to.error();
            return Copy::Failed;
        }
        for (const auto& schema : clientSchemas()) {
            for (const auto& table : schema.tables) {
                if (!to.exec(table.create)) {
                    why = to.error();
                    return Copy::Failed;
                }
            }
        }
        // Written at once, so that a disk with no room keeps the file where it is.
        if (!to.exec("SAVEPOINT rows;")) {
            why = to.error();
            return Copy::Failed;
        }

        Connection from;
        // One read over the whole copy: no writer changes the file halfway.
        const bool opened = openToRead(from, damaged, "SELECT 1;") == SQLITE_OK && from.exec("BEGIN;");
        struct Entry {
            std::string type;
            std::string name;
        };
        std::vector<Entry> entries;
        bool listed = false;
        if (opened) {
            StoreStatement list = from.prepare("SELECT `type`,`name` FROM `sqlite_master`;");
            int rc = SQLITE_ERROR;
            while (list && (rc = list.step()) == SQLITE_ROW)
                entries.push_back({ list.columnText(0).value_or(""), list.columnText(1).value_or("") });
            listed = rc == SQLITE_DONE;
        }
        const auto size = platform::FileUtil::fileSize(damaged).value_or(0);
        // A record takes at least a few bytes of a page: more rows than that
        // are the same rows read again.
        const long long mostRows = static_cast<long long>(size / 2) + 1000;
        bool anyRow = false;
        bool bookLost = false;
        auto isBook = [](const std::string& table) {
            return table == "tb_contact" || table == "tb_contact_group";
        };
        for (const auto& entry : entries) {
            // Indexes are made anew from the client's own statements.
            if (entry.name.rfind("sqlite_", 0) == 0 || entry.type == "index")
                continue;
            if (entry.type != "table" || !isClientTable(entry.name))
                platform::log("damaged store file %s: its %s %s is left behind (the client does not make it)\n",
                    damaged.c_str(), entry.type.c_str(), entry.name.c_str());
        }
        for (const auto& client : clientColumns()) {
            const std::string& table = client.first;
            const std::vector<Column>& own = client.second;
            const bool present = std::any_of(entries.begin(), entries.end(),
                [&](const Entry& entry) { return entry.type == "table" && sameName(entry.name, table); });
            if (!listed && isBook(table))
                bookLost = true;
            if (!present)
                continue;
            std::vector<Column> theirs;
            if (!columnsOf(from, table, theirs)) {
                platform::log("damaged store file %s: its table %s does not read\n", damaged.c_str(), table.c_str());
                bookLost = bookLost || isBook(table);
                continue;
            }
            std::vector<std::string> shared;
            for (const auto& column : theirs) {
                const bool ours = std::any_of(
                    own.begin(), own.end(), [&](const Column& mine) { return sameName(mine.name, column.name); });
                if (ours)
                    shared.push_back(column.name);
                else
                    platform::log("damaged store file %s: its column %s of %s is left behind (the client does not "
                                  "make it)\n",
                        damaged.c_str(), column.name.c_str(), table.c_str());
            }
            if (shared.empty())
                continue;
            // The rowid under a name no column of the file's table has taken.
            std::string rowid;
            for (const char* name : { "rowid", "_rowid_", "oid" }) {
                const bool taken = std::any_of(
                    theirs.begin(), theirs.end(), [&](const Column& column) { return sameName(column.name, name); });
                if (!taken) {
                    rowid = name;
                    break;
                }
            }
            TableCopy copy(from.handle, to.handle, table, shared, rowid, mostRows);
            if (!copy.run()) {
                why = copy.writeError();
                return Copy::Failed;
            }
            anyRow = anyRow || copy.copied() > 0;
            if (copy.unreadStretches() > 0)
                platform::log(
                    "damaged store file %s: %lld row(s) of %s copied; those of its pages that do not read are not\n",
                    damaged.c_str(), copy.copied(), table.c_str());
            if (copy.readAgain() > 0)
                platform::log("damaged store file %s: row(s) of %s read twice, copied once\n", damaged.c_str(),
                    table.c_str());
            if (copy.refused() > 0)
                platform::log("damaged store file %s: %lld row(s) of %s passed over, refused by the fresh table (%s)\n",
                    damaged.c_str(), copy.refused(), table.c_str(), copy.refusal().c_str());
            // Rows read again stand for a page named in place of another,
            // whose rows are not named any more.
            if (isBook(table) && (copy.unreadStretches() > 0 || copy.refused() > 0 || copy.readAgain() > 0))
                bookLost = true;
        }
        // AUTOINCREMENT's counters past every id ever given out, where they
        // read: never below those of the copied rows.
        const bool counters = std::any_of(entries.begin(), entries.end(),
            [](const Entry& entry) { return entry.type == "table" && entry.name == "sqlite_sequence"; });
        if (counters) {
            StoreStatement old = from.prepare("SELECT `name`,`seq` FROM `sqlite_sequence`;");
            StoreStatement raise = to.prepare("UPDATE `sqlite_sequence` SET `seq`=max(`seq`,?2) WHERE `name`=?1;");
            StoreStatement add = to.prepare(
                "INSERT INTO `sqlite_sequence`(`name`,`seq`) SELECT ?1,?2 WHERE NOT EXISTS (SELECT 1 FROM "
                "`sqlite_sequence` WHERE `name`=?1);");
            while (old && raise && add && old.next()) {
                const auto name = old.columnText(0);
                if (!name || !isClientTable(*name))
                    continue;
                for (StoreStatement* write : { &raise, &add }) {
                    sqlite3_bind_text(write->handle(), 1, name->c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_int64(write->handle(), 2, sqlite3_column_int64(old.handle(), 1));
                    const int rc = write->step();
                    write->reset();
                    if (rc != SQLITE_DONE && isWriteFailure(rc)) {
                        why = to.error();
                        return Copy::Failed;
                    }
                }
            }
        }
        from.close();
        // The versions that did not read, as a new store writes them.
        for (const auto& schema : clientSchemas()) {
            if (schema.versionKey.empty())
                continue;
            StoreStatement version
                = to.prepare("INSERT OR IGNORE INTO `tb_info`(`key`,`value`) VALUES(?1,?2);");
            if (!version.bindText(1, schema.versionKey) || !version.bindText(2, schema.version) || !version.run()) {
                why = to.error();
                return Copy::Failed;
            }
        }
        // A book that left people behind is fetched again: its record no
        // longer says it is kept.
        if (bookLost) {
            const std::string prefix = ContactsFactory::kBookRecordKeyPrefix;
            if (!to.exec("UPDATE `tb_info` SET `value`='" + std::string(ContactsFactory::kBookRecordIncomplete)
                    + "' WHERE substr(`key`,1," + std::to_string(prefix.size()) + ")='" + prefix
                    + "';INSERT OR IGNORE INTO `tb_info`(`key`,`value`) SELECT '" + prefix
                    + "'||`account_uid`,'" + ContactsFactory::kBookRecordIncomplete
                    + "' FROM (SELECT `account_uid` FROM `tb_contact_group` UNION SELECT `account_uid` FROM "
                      "`tb_contact`);")) {
                why = to.error();
                return Copy::Failed;
            }
        }
        // Indexes once the rows are in.
        for (const auto& schema : clientSchemas()) {
            for (const auto& index : schema.indexes) {
                if (!to.exec(index)) {
                    why = to.error();
                    return Copy::Failed;
                }
            }
        }
        if (!to.exec("RELEASE rows;") || !to.exec("COMMIT;")) {
            why = to.error();
            return Copy::Failed;
        }
        return anyRow ? Copy::Made : Copy::NothingRead;
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

    // The damaged file moved aside whole, with its journal, as
    // "<name>.corrupt-<time>", and a fresh store in its place holding what
    // still reads of it. False when it stays where it is: no fresh file can
    // be written (no room, a folder that takes no writes), or the file cannot
    // be moved.
    bool replaceDamagedFile(const std::string& path, const std::string& why)
    {
        const auto found = fileIdentity(path);
        if (!found)
            return true; // gone: the stores make a fresh one
        const std::string fresh = path + ".fresh";
        // Left by a run that ended halfway through a copy.
        removeWithCompanions(fresh);
        std::string failure;
        const Copy made = copyWhatReads(path, fresh, failure);
        if (made == Copy::Failed) {
            removeWithCompanions(fresh);
            platform::log("damaged store file %s (%s): kept in place, since no fresh one can be written (%s)\n",
                path.c_str(), why.c_str(), failure.c_str());
            return false;
        }
        // Nothing else of this process has the file open; another process
        // may have set it aside meanwhile.
        if (fileIdentity(path) != found) {
            removeWithCompanions(fresh);
            return true;
        }
        const std::string aside = asideName(path);
        platform::Error error;
        if (!platform::FileUtil::move(path, aside, &error)) {
            removeWithCompanions(fresh);
            platform::log("damaged store file %s (%s): cannot be moved aside to %s (%s); kept in place\n", path.c_str(),
                why.c_str(), aside.c_str(), error.description().c_str());
            return false;
        }
        // Its journal goes with it: it belongs to the damaged file, and beside
        // the fresh one SQLite would delete it.
        for (const char* companion : { "-journal", "-wal", "-shm" }) {
            if (platform::FileUtil::exists(path + companion)
                && !platform::FileUtil::move(path + companion, aside + companion, &error))
                platform::log("damaged store file %s: its %s cannot be moved aside (%s)\n", path.c_str(), companion,
                    error.description().c_str());
        }
        if (!platform::FileUtil::move(fresh, path, &error)) {
            // The rows are still in the file set aside: it goes back rather
            // than give way to an empty store.
            const std::string moveError = error.description();
            const bool back = platform::FileUtil::move(aside, path, &error);
            removeWithCompanions(fresh);
            platform::log("damaged store file %s (%s): its copy cannot take its place (%s); %s\n", path.c_str(),
                why.c_str(), moveError.c_str(), back ? "kept in place" : ("left as " + aside).c_str());
            return false;
        }
        if (made == Copy::NothingRead)
            platform::log("damaged store file %s (%s): nothing of it reads; moved aside to %s; a fresh one is made\n",
                path.c_str(), why.c_str(), aside.c_str());
        else
            platform::log("damaged store file %s (%s): what still reads is copied into a fresh one; moved aside to "
                          "%s\n",
                path.c_str(), why.c_str(), aside.c_str());
        return true;
    }

    struct FileState {
        int open = 0;
        bool judged = false;
        std::optional<std::string> damage;
    };

    std::mutex& careMutex()
    {
        static std::mutex mutex;
        return mutex;
    }

    std::map<std::string, FileState>& states()
    {
        static std::map<std::string, FileState> known;
        return known;
    }

    FileState& stateOf(const std::string& path) { return states()[path]; }

    // With the care's lock held and nothing open on the file.
    void replaceNow(const std::string& path, FileState& state)
    {
        const std::string why = *state.damage;
        state.damage.reset();
        // A file kept in place is judged again at the next store made.
        state.judged = replaceDamagedFile(path, why);
    }

} // namespace

bool DamagedStoreFile::isDamage(int result)
{
    const int primary = result & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

void DamagedStoreFile::atStoreMaking(const std::string& path, const std::function<void()>& vacuum)
{
    {
        std::lock_guard lock(careMutex());
        FileState& state = stateOf(path);
        if (!state.judged) {
            const Verdict verdict = judgeFile(path);
            state.judged = verdict.kind != Verdict::Unjudged;
            if (verdict.kind == Verdict::Damaged && !state.damage)
                state.damage = verdict.why;
        }
        if (state.damage) {
            // Nothing more is written into a damaged file.
            if (state.open == 0)
                replaceNow(path, state);
            return;
        }
    }
    vacuum();
}

void DamagedStoreFile::connectionOpened(const std::string& path)
{
    std::lock_guard lock(careMutex());
    ++stateOf(path).open;
}

void DamagedStoreFile::connectionClosed(const std::string& path)
{
    std::lock_guard lock(careMutex());
    FileState& state = stateOf(path);
    if (state.open > 0)
        --state.open;
    if (state.open == 0 && state.damage)
        replaceNow(path, state);
}

namespace {

    void noteDamage(const std::string& path, const std::string& why)
    {
        std::lock_guard lock(careMutex());
        FileState& state = stateOf(path);
        if (state.damage)
            return;
        state.damage = why;
        platform::log("damaged store file %s (%s): met by a statement; replaced once nothing has it open\n",
            path.c_str(), why.c_str());
    }

} // namespace

void DamagedStoreFile::statementFailed(const std::string& path, int result)
{
    if (isDamage(result))
        noteDamage(path, sqlite3_errstr(result));
}

void DamagedStoreFile::rewriteFailed(const std::string& path, int result, const std::string& message)
{
    if (result == SQLITE_OK || result == SQLITE_DONE || (!isDamage(result) && (isPassing(result) || isWriteFailure(result))))
        return;
    noteDamage(path, message);
}

void DamagedStoreFile::forgetJudgedFiles()
{
    std::lock_guard lock(careMutex());
    for (auto& [path, state] : states())
        state.judged = false;
}

} // namespace core
