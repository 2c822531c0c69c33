#include "core/store/DamagedStoreFile.h"

#include "core/store/BaseFactory.h"
#include "core/store/ContactsFactory.h"
#include "core/store/StorePages.h"
#include "core/store/StoreSchemaText.h"
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
#include <set>
#include <utility>
#include <variant>
#include <vector>

namespace core {

std::string DamagedStoreFile::asideName(const std::string& path)
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

    using storeschema::clientSchemas;
    using storeschema::shapeOf;

    // A table of the client's as its statement makes it: its columns by
    // position, the one that is the rowid's other name (an INTEGER PRIMARY
    // KEY), and a name of the rowid that no column has taken.
    struct ClientTable {
        std::string name;
        std::vector<std::string> columns;
        int rowidColumn = -1;
        std::string rowid;
    };

    // The table `name` as the connection has it made; false when its columns
    // do not read.
    bool tableOf(const Connection& connection, const std::string& name, ClientTable& table)
    {
        table = ClientTable { name, {}, -1, {} };
        StoreStatement read
            = connection.prepare("SELECT `name`,`type`,`pk` FROM pragma_table_xinfo(?1) WHERE `hidden`=0;");
        if (!read || !read.bindText(1, name))
            return false;
        int keys = 0;
        int rc;
        while ((rc = read.step()) == SQLITE_ROW) {
            table.columns.push_back(read.columnText(0).value_or(""));
            if (read.columnInt(2) > 0 && keys++ == 0 && sqlite3_stricmp(read.columnText(1).value_or("").c_str(), "INTEGER") == 0)
                table.rowidColumn = static_cast<int>(table.columns.size()) - 1;
        }
        if (keys != 1)
            table.rowidColumn = -1;
        for (const char* rowid : { "rowid", "_rowid_", "oid" }) {
            if (std::none_of(table.columns.begin(), table.columns.end(),
                    [&](const std::string& column) { return sameName(column, rowid); })) {
                table.rowid = rowid;
                break;
            }
        }
        return rc == SQLITE_DONE;
    }

    // The client's tables as its own statements make them, and the shapes
    // of its tables and indexes.
    struct ClientMade {
        std::vector<ClientTable> tables;
        const std::map<std::string, std::vector<std::string>>& tableShapes = storeschema::clientShapes().tables;
        // The indexes' shapes, by the table they index.
        const std::map<std::string, std::vector<std::vector<std::string>>>& indexShapes
            = storeschema::clientShapes().indexes;
    };

    const ClientMade& clientMade()
    {
        static const ClientMade made = [] {
            ClientMade client;
            Connection scratch;
            if (!scratch.open(":memory:", SQLITE_OPEN_READWRITE))
                return client;
            for (const auto& schema : clientSchemas()) {
                for (const auto& table : schema.tables) {
                    ClientTable made;
                    if (scratch.exec(table.create) && tableOf(scratch, table.name, made))
                        client.tables.push_back(std::move(made));
                }
            }
            return client;
        }();
        return made;
    }

    const std::vector<ClientTable>& clientTables() { return clientMade().tables; }

    bool isClientTable(const std::string& name)
    {
        const auto& tables = clientTables();
        return std::any_of(tables.begin(), tables.end(), [&](const auto& table) { return sameName(table.name, name); });
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

    // The probe run on the connection: its step's result, or, when it does
    // not even prepare, the connection's (a hot journal that a read-only
    // connection may not play back is refused as the table list is read,
    // at the prepare).
    int runProbe(Connection& connection, const std::string& probe)
    {
        StoreStatement statement = connection.prepare(probe);
        return statement ? statement.step() : sqlite3_extended_errcode(connection.handle);
    }

    // Opens the file to read it as it is. A journal left hot by a run that
    // ended halfway through a write is played back first, as SQLite does for
    // any connection that may write: it belongs to the file, which is then
    // as it was before that write. SQLITE_READONLY when it could not be
    // played back (the folder takes no writes).
    int openToRead(Connection& connection, const std::string& path, const std::string& probe)
    {
        if (!connection.open(path, SQLITE_OPEN_READONLY))
            return SQLITE_CANTOPEN;
        int rc = runProbe(connection, probe);
        if ((rc & 0xff) == SQLITE_READONLY) {
            if (!connection.open(path, SQLITE_OPEN_READWRITE))
                return SQLITE_CANTOPEN;
            rc = runProbe(connection, probe);
        }
        return rc == SQLITE_ROW || rc == SQLITE_DONE ? SQLITE_OK : rc;
    }

    // Whether the library reads the file but will write nothing into it
    // (its header asks for a newer writer), where the file itself takes
    // writes: every write of the stores would fail, run after run. Taking
    // the write lock and giving it back writes nothing.
    bool onlyReadByTheLibrary(const std::string& path)
    {
        Connection file;
        if (!file.open(path, SQLITE_OPEN_READWRITE) || sqlite3_db_readonly(file.handle, "main") != 0)
            return false;
        if (!file.exec("BEGIN IMMEDIATE;"))
            return (sqlite3_errcode(file.handle) & 0xff) == SQLITE_READONLY;
        file.exec("ROLLBACK;");
        return false;
    }

    // The stores' versions by their keys, read as the table holds them;
    // nothing when each also reads so through the table's index, as the
    // stores read it. Otherwise the damage, or an empty text when a read
    // failed (the connection's error says why).
    std::optional<std::string> readVersions(Connection& file, std::map<std::string, std::string>& versions)
    {
        // A file without the table has no versions: it does not prepare.
        StoreStatement scan = file.prepare("SELECT `key`,`value` FROM `tb_info` NOT INDEXED;");
        if (!scan)
            return std::nullopt;
        int rc;
        std::set<std::string> twice;
        while ((rc = scan.step()) == SQLITE_ROW) {
            const std::string key = scan.columnText(0).value_or("");
            if (!versions.emplace(key, scan.columnText(1).value_or("")).second)
                twice.insert(key);
        }
        if (rc != SQLITE_DONE)
            return std::string();
        StoreStatement byKey = file.prepare("SELECT `value` FROM `tb_info` WHERE `key`=?1;");
        if (!byKey)
            return std::string();
        for (const auto& schema : clientSchemas()) {
            if (schema.versionKey.empty())
                continue;
            const auto stored = versions.find(schema.versionKey);
            if (!byKey.bindText(1, schema.versionKey))
                return std::string();
            rc = byKey.step();
            if (rc != SQLITE_ROW && rc != SQLITE_DONE)
                return std::string();
            const std::optional<std::string> found = rc == SQLITE_ROW ? byKey.columnText(0) : std::nullopt;
            byKey.reset();
            if (twice.count(schema.versionKey))
                return "its version " + schema.versionKey + " is kept twice";
            if ((stored == versions.end()) != !found || (found && *found != stored->second))
                return "its version " + schema.versionKey + " does not read through the index of tb_info as it "
                                                             "reads in the table";
        }
        return std::nullopt;
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
        if ((opened & 0xff) == SQLITE_READONLY)
            return { Verdict::Unjudged, file.error() };
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
        // Every entry of the table list is typed as the library writes it.
        // The library loads a table whatever its entry's type says, but the
        // start's rewrite makes again only the tables typed exactly "table":
        // one typed otherwise would be left out of the rewritten file, with
        // every row in it. The stores make no trigger and no view either:
        // one would run with every write, or over tables it was not made for.
        {
            StoreStatement entries = file.prepare("SELECT `type`,`name` FROM `sqlite_master`;");
            int rc = entries ? SQLITE_DONE : sqlite3_errcode(file.handle);
            while (entries && (rc = entries.step()) == SQLITE_ROW) {
                const std::string type = entries.columnText(0).value_or("");
                const std::string name = entries.columnText(1).value_or("");
                if (type == "trigger" || type == "view")
                    return { Verdict::Damaged, "its " + type + " " + name + " is not the client's" };
                if (type != "table" && type != "index")
                    return { Verdict::Damaged, "its entry " + name + " is typed '" + type + "'" };
            }
            if (rc != SQLITE_DONE)
                return failed(rc);
        }
        // The versions the stores read, each as they read it (through the
        // index of `tb_info`) and as the table holds it: a store that does
        // not find its version drops its tables as for a change of version,
        // so an index that tells another story than its table is damage.
        std::map<std::string, std::string> versions;
        if (const std::optional<std::string> why = readVersions(file, versions))
            return why->empty() ? failed(sqlite3_errcode(file.handle)) : Verdict { Verdict::Damaged, *why };
        // The file's tables and indexes as the library keeps their text.
        struct Made {
            std::string type;
            std::string name;
            std::string table;
            std::string sql;
        };
        std::vector<Made> made;
        {
            StoreStatement read = file.prepare(
                "SELECT `type`,`name`,`tbl_name`,`sql` FROM `sqlite_master` WHERE `sql` IS NOT NULL;");
            int rc = read ? SQLITE_DONE : sqlite3_errcode(file.handle);
            while (read && (rc = read.step()) == SQLITE_ROW)
                made.push_back({ read.columnText(0).value_or(""), read.columnText(1).value_or(""),
                    read.columnText(2).value_or(""), read.columnText(3).value_or("") });
            if (rc != SQLITE_DONE)
                return failed(rc);
        }
        // The start's rewrite makes each table and index again from its
        // text, and passes over, without an error, a text it does not run as
        // it stands: that table would be left out of the rewritten file with
        // every row in it (and an index of it makes the rewrite fail). The
        // copy reads the rows from the pages, whatever the text says.
        for (const auto& entry : made) {
            if ((entry.type == "table" || entry.type == "index") && !storeschema::madeAgainByTheRewrite(entry.sql))
                return { Verdict::Damaged,
                    "its " + entry.type + " " + entry.name + "'s text is not made again by the rewrite" };
        }
        // The tables of the client's that the file has, at the version the
        // client keeps them, are the ones its statements make: a table whose
        // text was changed refuses what the stores write into it.
        const ClientMade& client = clientMade();
        for (const auto& schema : clientSchemas()) {
            if (!schema.versionKey.empty()) {
                const auto stored = versions.find(schema.versionKey);
                const auto& earlier = schema.earlierVersions;
                if (stored != versions.end()
                    && std::find(earlier.begin(), earlier.end(), stored->second) != earlier.end())
                    continue; // the store makes its tables anew
                if (stored == versions.end() || stored->second != schema.version) {
                    // The store drops its tables and makes them anew where
                    // they hold nothing; a version missing or unknown over
                    // rows of them was not written by it.
                    const std::optional<std::string> holding = BaseFactory::tableHoldingRows(file.handle, schema);
                    if (!holding)
                        return failed(sqlite3_errcode(file.handle));
                    if (!holding->empty())
                        return { Verdict::Damaged,
                            "its table " + *holding + " holds rows, its version " + schema.versionKey + " "
                                + (stored == versions.end() ? "missing" : "'" + stored->second + "'") };
                    continue;
                }
            }
            for (const auto& table : schema.tables) {
                const auto own = client.tableShapes.find(table.name);
                const auto& indexes = client.indexShapes;
                for (const auto& entry : made) {
                    if (!sameName(entry.table, table.name))
                        continue;
                    if (entry.type == "table" && sameName(entry.name, table.name)) {
                        if (own == client.tableShapes.end() || shapeOf(entry.sql) != own->second)
                            return { Verdict::Damaged, "its table " + table.name + " is not the one the client makes" };
                    } else if (entry.type == "index") {
                        // An index of the file's own: a UNIQUE one (or one
                        // over a part of the rows) drops or refuses rows the
                        // stores write.
                        const auto ours = indexes.find(table.name);
                        const auto shape = shapeOf(entry.sql);
                        if (ours == indexes.end()
                            || std::find(ours->second.begin(), ours->second.end(), shape) == ours->second.end())
                            return { Verdict::Damaged, "its index " + entry.name + " is not one the client makes" };
                    }
                }
            }
        }
        file.close();
        if (onlyReadByTheLibrary(path))
            return { Verdict::Damaged, "the library will only read it" };
        return {};
    }

    // Where the file's table list puts the client's tables: each found by
    // its entry's name, or, where that name is damaged, by what the entry's
    // other fields still tell (the table it belongs to, and a table's page
    // at its root). Nothing of an entry's text is read.
    struct Listing {
        std::map<std::string, std::uint32_t> roots; // by the client's table
        std::uint32_t counters = 0; // AUTOINCREMENT's table
        bool whole = false; // every entry of the list read
        std::set<std::string> outOfTheFile; // listed, with a top page past the file's end or at page 1
        // The top pages of the file's indexes of each of the client's
        // tables, by the table the entry says it indexes.
        std::map<std::string, std::vector<std::uint32_t>> indexes;
    };

    Listing listTables(const StorePages& file, const std::string& damaged)
    {
        Listing listing;
        StorePages::Walk walk;
        const std::vector<StorePages::Entry> entries = file.entries(&walk);
        listing.whole = walk.pagesPassedOver == 0 && walk.cellsPassedOver == 0 && walk.pagesNamedAgain == 0;
        // Page 1 is the table list's own top, by the file format: no table
        // of the client's begins there. An entry that names it is damaged,
        // and the list's records (five fields each) would otherwise be
        // copied as the rows of a table of five columns.
        auto rootOf = [&](const StorePages::Entry& entry) {
            return entry.rootPage > 1 && entry.rootPage <= std::int64_t(file.pageCount())
                ? std::uint32_t(entry.rootPage)
                : std::uint32_t(0);
        };
        std::vector<bool> taken(entries.size(), false);
        // A table's entry names it twice: as itself and as the table it
        // belongs to.
        for (const auto& table : clientTables()) {
            for (std::size_t i = 0; i < entries.size(); ++i) {
                if (taken[i] || entries[i].type != "table" || !sameName(entries[i].name, table.name)
                    || !sameName(entries[i].table, table.name))
                    continue;
                taken[i] = true;
                if (rootOf(entries[i]))
                    listing.roots[table.name] = rootOf(entries[i]);
                else
                    listing.outOfTheFile.insert(table.name);
                break;
            }
        }
        for (const auto& table : clientTables()) {
            if (listing.roots.count(table.name) || listing.outOfTheFile.count(table.name))
                continue;
            std::optional<std::size_t> found;
            int candidates = 0;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                const StorePages::Entry& entry = entries[i];
                if (taken[i] || entry.type == "index" || entry.type == "trigger" || entry.type == "view")
                    continue;
                if (!sameName(entry.name, table.name) && !sameName(entry.table, table.name))
                    continue;
                if (!rootOf(entry) || !file.isTablePage(rootOf(entry)))
                    continue;
                found = i;
                ++candidates;
            }
            if (candidates != 1)
                continue;
            taken[*found] = true;
            listing.roots[table.name] = rootOf(entries[*found]);
            platform::log("damaged store file %s: its table %s is read from the entry of %s %s\n", damaged.c_str(),
                table.name.c_str(), entries[*found].type.c_str(), entries[*found].name.c_str());
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const StorePages::Entry& entry = entries[i];
            if (entry.type == "index") {
                for (const auto& table : clientTables()) {
                    if (sameName(entry.table, table.name) && rootOf(entry))
                        listing.indexes[table.name].push_back(rootOf(entry));
                }
            }
            if (taken[i] || entry.type == "index")
                continue;
            if (entry.type == "table" && entry.name == "sqlite_sequence") {
                listing.counters = rootOf(entry);
                continue;
            }
            if (entry.name.rfind("sqlite_", 0) != 0)
                platform::log("damaged store file %s: its %s %s is left behind (the client does not make it)\n",
                    damaged.c_str(), entry.type.c_str(), entry.name.c_str());
        }
        return listing;
    }

    void bindValue(sqlite3_stmt* statement, int index, const StorePages::Value& value, StorePages::Encoding encoding)
    {
        if (const auto* integer = std::get_if<std::int64_t>(&value)) {
            sqlite3_bind_int64(statement, index, *integer);
        } else if (const auto* real = std::get_if<double>(&value)) {
            sqlite3_bind_double(statement, index, *real);
        } else if (const auto* text = std::get_if<StorePages::Text>(&value)) {
            const unsigned char as = encoding == StorePages::Encoding::Utf16le ? SQLITE_UTF16LE
                : encoding == StorePages::Encoding::Utf16be                   ? SQLITE_UTF16BE
                                                                              : SQLITE_UTF8;
            sqlite3_bind_text64(statement, index, text->bytes.data(), text->bytes.size(), SQLITE_TRANSIENT, as);
        } else if (const auto* blob = std::get_if<StorePages::Blob>(&value)) {
            sqlite3_bind_blob64(statement, index, blob->bytes.data(), blob->bytes.size(), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_null(statement, index);
        }
    }

    // What the copy of one table did.
    struct TableCopy {
        StorePages::Walk walk;
        long long copied = 0;
        long long refused = 0; // by the fresh table: NOT NULL, a key given twice, a type
        long long readAgain = 0; // a rowid already copied
        long long foreign = 0; // records of another table's shape, read in this table's pages
        std::string refusal;
    };

    // The rows of one of the client's tables, read from its tree in the
    // damaged file and written into the fresh file's table by position,
    // each rowid once. A row the fresh table refuses is passed over. False
    // only when the fresh file refuses a write for want of room or of
    // writes (`why` then says which).
    //
    // Every record the client writes into a table has one field for each
    // of its columns: the library writes every column of a row, and the
    // client never adds a column to a table it made (a table of another
    // version is made anew). A record with more fields or fewer is another
    // table's, on a page named where one of this table's was: it is left
    // out, and this table's own rows there are lost.
    bool copyTable(const StorePages& file, std::uint32_t root, const ClientTable& table, sqlite3* to, TableCopy& copy,
        std::string& why)
    {
        std::string names = table.rowid;
        std::string values = "?";
        for (std::size_t i = 0; i < table.columns.size(); ++i) {
            if (int(i) == table.rowidColumn)
                continue; // it is the rowid
            names += "," + quotedName(table.columns[i]);
            values += ",?";
        }
        StoreStatement insert
            = StoreStatement::on(to, "INSERT INTO " + quotedName(table.name) + "(" + names + ") VALUES(" + values + ");");
        StoreStatement present
            = StoreStatement::on(to, "SELECT 1 FROM " + quotedName(table.name) + " WHERE " + table.rowid + "=?1;");
        if (!insert || !present) {
            why = sqlite3_errmsg(to);
            return false;
        }
        bool failed = false;
        copy.walk = file.rows(root, [&](StorePages::Row& row) {
            const std::size_t fields = row.values.size();
            if (row.longer || fields != table.columns.size()) {
                ++copy.foreign;
                return true;
            }
            sqlite3_bind_int64(insert.handle(), 1, row.rowid);
            int parameter = 2;
            for (std::size_t i = 0; i < fields; ++i) {
                if (int(i) != table.rowidColumn)
                    bindValue(insert.handle(), parameter++, row.values[i], file.encoding());
            }
            const int written = sqlite3_step(insert.handle());
            const std::string error = written == SQLITE_DONE ? std::string() : sqlite3_errmsg(to);
            sqlite3_reset(insert.handle());
            if (written == SQLITE_DONE) {
                ++copy.copied;
                return true;
            }
            if (isWriteFailure(written)) {
                why = error;
                failed = true;
                return false;
            }
            // A rowid met again (on a page named where another was) keeps
            // the row met first.
            sqlite3_bind_int64(present.handle(), 1, row.rowid);
            const bool again = (written & 0xff) == SQLITE_CONSTRAINT && present.step() == SQLITE_ROW;
            present.reset();
            if (again) {
                ++copy.readAgain;
                return true;
            }
            if (copy.refusal.empty())
                copy.refusal = error;
            ++copy.refused;
            return true;
        }, table.columns.size());
        return !failed;
    }

    // What takes a damaged file's place.
    enum class Copy {
        Made, // the client's own tables, with what reads of it
        NothingRead, // the client's own tables, empty: nothing of it reads
        Failed, // nothing: the fresh file cannot be written
    };

    // AUTOINCREMENT's counters past every id the damaged file gave out,
    // where they read: never below those of the copied rows. False when the
    // fresh file refuses the write.
    bool copyCounters(const StorePages& file, std::uint32_t root, Connection& to, std::string& why)
    {
        StoreStatement raise = to.prepare("UPDATE `sqlite_sequence` SET `seq`=max(`seq`,?2) WHERE `name`=?1;");
        StoreStatement add = to.prepare("INSERT INTO `sqlite_sequence`(`name`,`seq`) SELECT ?1,?2 WHERE NOT EXISTS "
                                        "(SELECT 1 FROM `sqlite_sequence` WHERE `name`=?1);");
        if (!raise || !add)
            return true; // the client made no such table
        bool failed = false;
        file.rows(
            root,
            [&](StorePages::Row& row) {
                const auto* name = row.values.size() == 2 ? std::get_if<StorePages::Text>(&row.values[0]) : nullptr;
                const auto* seq = row.values.size() == 2 ? std::get_if<std::int64_t>(&row.values[1]) : nullptr;
                if (!name || !seq || !isClientTable(file.utf8(*name)))
                    return true;
                for (StoreStatement* write : { &raise, &add }) {
                    write->bindText(1, file.utf8(*name));
                    sqlite3_bind_int64(write->handle(), 2, *seq);
                    const int rc = write->step();
                    write->reset();
                    if (rc != SQLITE_DONE && isWriteFailure(rc)) {
                        why = to.error();
                        failed = true;
                        return false;
                    }
                }
                return true;
            },
            2);
        return !failed;
    }

    // What the copy says of each table, and whether people of the book were
    // left behind.
    bool noteTableCopy(const std::string& damaged, const std::string& table, const TableCopy& copy)
    {
        const StorePages::Walk& walk = copy.walk;
        if (walk.pagesPassedOver > 0 || walk.cellsPassedOver > 0)
            platform::log(
                "damaged store file %s: %lld row(s) of %s copied; those of its pages that do not read are not\n",
                damaged.c_str(), copy.copied, table.c_str());
        if (walk.pagesNamedAgain > 0 || copy.readAgain > 0)
            platform::log("damaged store file %s: row(s) of %s read twice, copied once\n", damaged.c_str(), table.c_str());
        if (copy.refused > 0)
            platform::log("damaged store file %s: %lld row(s) of %s passed over, refused by the fresh table (%s)\n",
                damaged.c_str(), copy.refused, table.c_str(), copy.refusal.c_str());
        if (copy.foreign > 0)
            platform::log("damaged store file %s: %lld row(s) read in the pages of %s are another table's (their fields "
                          "are not its columns), left out\n",
                damaged.c_str(), copy.foreign, table.c_str());
        // A page named again, or another table's page, stands in the place
        // of one of the table's, whose rows are not named any more; a rowid
        // read twice leaves one of its rows behind.
        return walk.pagesPassedOver > 0 || walk.cellsPassedOver > 0 || walk.pagesNamedAgain > 0 || copy.refused > 0
            || copy.readAgain > 0 || copy.foreign > 0;
    }

    bool isBook(const std::string& table) { return table == "tb_contact" || table == "tb_contact_group"; }

    // Whether the file's indexes of a table of the book list a row its copy
    // does not have: a row the table's tree no longer names (a page that
    // counts fewer cells than it holds, the top page of another table in
    // the table's place), which no reading of the tree finds. An index that
    // does not read whole, or a table that has none (the client makes every
    // table of the book with a key), leaves that in doubt, and is taken as
    // such a row.
    bool indexesListMore(const StorePages& file, const Listing& listing, const ClientTable& table, sqlite3* to,
        const std::string& damaged)
    {
        const auto indexes = listing.indexes.find(table.name);
        if (indexes == listing.indexes.end() || indexes->second.empty()) {
            platform::log("damaged store file %s: no index of %s is listed: the book is fetched again\n", damaged.c_str(),
                table.name.c_str());
            return true;
        }
        StoreStatement present
            = StoreStatement::on(to, "SELECT 1 FROM " + quotedName(table.name) + " WHERE " + table.rowid + "=?1;");
        if (!present)
            return true;
        for (const std::uint32_t root : indexes->second) {
            long long missing = 0;
            const StorePages::Walk walk = file.keys(root, [&](std::int64_t rowid) {
                sqlite3_bind_int64(present.handle(), 1, rowid);
                missing += present.step() == SQLITE_ROW ? 0 : 1;
                present.reset();
                return true;
            });
            const bool doubt = walk.pagesPassedOver > 0 || walk.cellsPassedOver > 0 || walk.pagesNamedAgain > 0;
            if (missing > 0 || doubt) {
                platform::log("damaged store file %s: %lld row(s) that an index of %s lists are not read%s: the book "
                              "is fetched again\n",
                    damaged.c_str(), missing, table.name.c_str(), doubt ? ", and the index does not read whole" : "");
                return true;
            }
        }
        return false;
    }

    // The fresh file's versions, record of the book and indexes, once its
    // rows are in, and its one transaction committed.
    bool finishCopy(Connection& to, bool bookLost, std::string& why)
    {
        // The client's own versions: the tables are its own, made by its
        // statements. A version read of the file that is not (damaged, as a
        // bit of its value) would have its store drop every row just copied.
        for (const auto& schema : clientSchemas()) {
            if (schema.versionKey.empty())
                continue;
            for (const char* write : { "UPDATE `tb_info` SET `value`=?2 WHERE `key`=?1;",
                     "INSERT OR IGNORE INTO `tb_info`(`key`,`value`) VALUES(?1,?2);" }) {
                StoreStatement version = to.prepare(write);
                if (!version.bindText(1, schema.versionKey) || !version.bindText(2, schema.version) || !version.run()) {
                    why = to.error();
                    return false;
                }
            }
        }
        // A book that left people behind is fetched again: its record no
        // longer says it is kept.
        if (bookLost) {
            const std::string prefix = ContactsFactory::kBookRecordKeyPrefix;
            if (!to.exec("UPDATE `tb_info` SET `value`='" + std::string(ContactsFactory::kBookRecordIncomplete)
                    + "' WHERE substr(`key`,1," + std::to_string(prefix.size()) + ")='" + prefix
                    + "';INSERT OR IGNORE INTO `tb_info`(`key`,`value`) SELECT '" + prefix + "'||`account_uid`,'"
                    + ContactsFactory::kBookRecordIncomplete
                    + "' FROM (SELECT `account_uid` FROM `tb_contact_group` UNION SELECT `account_uid` FROM "
                      "`tb_contact`);")) {
                why = to.error();
                return false;
            }
        }
        // Indexes once the rows are in.
        for (const auto& schema : clientSchemas()) {
            for (const auto& index : schema.indexes) {
                if (!to.exec(index)) {
                    why = to.error();
                    return false;
                }
            }
        }
        if (!to.exec("COMMIT;")) {
            why = to.error();
            return false;
        }
        return true;
    }

    // A new store file at `fresh`: the client's own tables and indexes, made
    // by its own statements, and the rows of the damaged file at `damaged`
    // that still read, read from its pages. Nothing read from the damaged
    // file is run: what it has that the client does not make is left behind,
    // with a line in the log. The versions are the client's own, as a new
    // store writes them. Written in one transaction, so a copy that fails
    // (no room, no folder to write in) leaves nothing worth keeping. Failed,
    // with the reason, only when the fresh file cannot be written.
    Copy copyWhatReads(const std::string& damaged, const std::string& fresh, std::string& why)
    {
        Connection to;
        // The rows come in rowid order, the keys of a table's other index
        // in none: a cache of 32 MB of the fresh file's pages spares writing
        // most of them many times over (it is taken only as it fills).
        if (!to.open(fresh, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) || !to.exec("PRAGMA cache_size=-32768;")
            || !to.exec("BEGIN;")) {
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
        // One read over the whole copy, so that no writer changes the file
        // halfway; a journal a run left hot is played back first.
        Connection lock;
        if (openToRead(lock, damaged, "PRAGMA schema_version;") == SQLITE_OK)
            lock.exec("BEGIN;PRAGMA schema_version;");
        const std::unique_ptr<StorePages> file = StorePages::open(damaged);
        bool anyRow = false;
        bool bookLost = false;
        const Listing listing = file ? listTables(*file, damaged) : Listing {};
        for (const auto& table : clientTables()) {
            const auto root = listing.roots.find(table.name);
            if (root == listing.roots.end()) {
                // Not listed, listed where the list does not read, or at a
                // page past the file's end or at the table list's own.
                if (listing.outOfTheFile.count(table.name))
                    platform::log("damaged store file %s: its table %s begins at no page of its own (past the file's "
                                  "end, or at the table list's)\n",
                        damaged.c_str(), table.name.c_str());
                // An index of it that lists a person stands for people left behind.
                bookLost = bookLost
                    || (isBook(table.name)
                        && (!listing.whole || listing.outOfTheFile.count(table.name)
                            || (listing.indexes.count(table.name)
                                && indexesListMore(*file, listing, table, to.handle, damaged))));
                continue;
            }
            TableCopy copy;
            if (!copyTable(*file, root->second, table, to.handle, copy, why))
                return Copy::Failed;
            anyRow = anyRow || copy.copied > 0;
            const bool lost = noteTableCopy(damaged, table.name, copy);
            bookLost = bookLost
                || (isBook(table.name) && (lost || indexesListMore(*file, listing, table, to.handle, damaged)));
        }
        if (file && listing.counters && !copyCounters(*file, listing.counters, to, why))
            return Copy::Failed;
        lock.close();
        if (!finishCopy(to, bookLost, why))
            return Copy::Failed;
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
        const std::string aside = DamagedStoreFile::asideName(path);
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

DamagedStoreFile::Hold::Hold(std::string path)
    : path_(std::move(path))
{
    std::lock_guard lock(careMutex());
    ++stateOf(path_).open;
}

void DamagedStoreFile::Hold::release()
{
    if (!held_)
        return;
    held_ = false;
    std::lock_guard lock(careMutex());
    FileState& state = stateOf(path_);
    if (state.open > 0)
        --state.open;
    if (state.open == 0 && state.damage)
        replaceNow(path_, state);
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

void DamagedStoreFile::damageFound(const std::string& path, const std::string& why) { noteDamage(path, why); }

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
