#pragma once

#include "core/store/DamagedStoreFile.h"

#include "platform/os/Value.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace core {

// The name of the local database file in the Documents folder, shared by
// every store.
inline constexpr const char* kDatabaseFileName = "_cache.db";

// A table of the store file, made as its store makes it when new.
struct StoreTable {
    std::string name;
    std::string create;
};

// What one store makes in the file when it is new: its tables, their
// indexes, and the version it records for them under its key in `tb_info`
// (no key for a store without one), with the versions it kept them at
// before, whose tables it drops and makes anew (the client's stores have
// kept theirs at no other version).
struct StoreSchema {
    std::string versionKey;
    std::string version;
    std::vector<StoreTable> tables;
    std::vector<std::string> indexes;
    std::vector<std::string> earlierVersions {};
};

// One prepared statement of a store's connection, finalized when it goes
// away. A store closes its connection only after its statements are gone.
class StoreStatement final {
public:
    StoreStatement() = default;
    StoreStatement(sqlite3* database, sqlite3_stmt* statement);
    // A statement of any connection; empty when it cannot be prepared.
    static StoreStatement on(sqlite3* handle, const std::string& sql);
    ~StoreStatement();
    StoreStatement(StoreStatement&& other) noexcept;
    StoreStatement& operator=(StoreStatement&& other) noexcept;
    StoreStatement(const StoreStatement&) = delete;
    StoreStatement& operator=(const StoreStatement&) = delete;

    explicit operator bool() const { return statement_ != nullptr; }
    sqlite3_stmt* handle() const { return statement_; }

    // Parameters are numbered from 1. Integers are bound as 32-bit values;
    // texts are copied, and no text binds NULL.
    bool bindInt(int index, int value);
    bool bindText(int index, const std::optional<std::string>& value);
    bool bindNull(int index);
    // SQLite's result of one step (SQLITE_ROW, SQLITE_DONE or an error code).
    int step();
    // One step that must complete the statement, or deliver a row.
    bool run();
    bool next();
    bool reset();
    void finalize();

    int columnInt(int column) const;
    // Nothing for NULL.
    std::optional<std::string> columnText(int column) const;

private:
    sqlite3* database_ = nullptr;
    sqlite3_stmt* statement_ = nullptr;
};

// The base of the stores over the local database file: names the file,
// opens and closes the connection, keeps the key/value table of schema
// versions (`tb_info`) and rewrites the file with "VACUUM" when a store is
// made. Every public operation of a derived store opens the connection at its
// start and closes it at its end. A file found damaged, when it is judged at
// its first store's making or by a statement that fails later, is replaced
// by a fresh one (see DamagedStoreFile).
//
// Failures of SQL statements are logged as "line %i,%i#%s\n": the number of
// the failing step, SQLite's error code and its message.
class BaseFactory {
public:
    // Judges the file by its structure at the first store's making of a run,
    // replaces a damaged one with a fresh store holding what still reads of
    // it, and runs "VACUUM" over a file that is whole.
    BaseFactory();
    virtual ~BaseFactory();
    BaseFactory(const BaseFactory&) = delete;
    BaseFactory& operator=(const BaseFactory&) = delete;

    // Documents/_cache.db of the current application home.
    static std::string dataFilePath();

    // True when a connection is open on return. Also makes sure `tb_info` exists.
    bool open();
    // True when no connection remains; false (keeping the connection) while
    // statements are still unfinalized.
    bool close();
    bool isOpened() const { return database_ != nullptr; }
    bool vacuum();

    // Both expect an open connection. Nothing when the key is missing or the
    // read failed.
    std::optional<std::string> getInfo(const std::string& key);
    void setInfo(const std::string& key, const std::string& value);

    // A busy file is waited for this long before a statement gives up, so a
    // connection on another thread never makes a store fail at once or hang.
    static constexpr int kBusyTimeoutMilliseconds = 5000;
    // Whether a store of this process is waiting for the file now (it tried
    // within the last few milliseconds): a long write on a worker, done in
    // short transactions, lets it in before it goes on.
    static bool isFileWaitedFor();
    // Every connection's busy handler: retries each millisecond, so a store
    // gets the file within a millisecond of its release, until
    // kBusyTimeoutMilliseconds have passed; and says it is waiting (see
    // isFileWaitedFor).
    static int waitForFile(void* unused, int retries);

    // The key/value table every store file has, as a new one makes it.
    static StoreSchema schema();
    // The first of a schema's tables that holds a row, read on `handle`; an
    // empty text when none does (or the file has none of them); nothing when
    // a read failed (the handle's error says why).
    static std::optional<std::string> tableHoldingRows(sqlite3* handle, const StoreSchema& schema);

    // The uid of the signed-in account, looked up afresh by each operation of
    // the account-scoped stores; 0 when nobody is signed in.
    static int currentAccountUid();
    // Times are kept as "yyyy-MM-dd HH:mm:ss" in the device's zone, so that
    // the order of the texts is the order of the times.
    static std::string timeText(platform::Date date);
    static std::optional<platform::Date> timeFromText(const std::optional<std::string>& text);

protected:
    // A store that leaves the file as it is (no "VACUUM"): the one a write on
    // another thread makes for its own connection, while the file is in use.
    struct KeepFile { };
    explicit BaseFactory(KeepFile) { }

    sqlite3* database() const { return database_; }
    // Rows changed by the last statement of the open connection.
    int changes() const;

    // Logs "line %i,%i#%s\n" with the connection's last error.
    void printError(int line) const;
    // Runs statements without results; logs and answers false on failure.
    bool exec(const std::string& sql, int line);
    // A prepared statement of the open connection; empty (and logged) on failure.
    StoreStatement prepare(const std::string& sql, int line);

    // The schema check of a derived store, run once from its constructor:
    // when the version stored under the store's key differs from its
    // version (or is missing), the drop statements and then the store's
    // tables' statements run, and the key is written only when all of them
    // succeeded, so a failure is retried next time. Tables are dropped only
    // at a version the store kept them at before, or where they hold no
    // row: a version missing or unknown over rows is damage (the file is
    // replaced by a copy of what reads of it once nothing has it open). A
    // version that cannot be read drops nothing either. In both, only the
    // store's missing tables are made. True when the tables are at the
    // version on return.
    bool checkVersion(const StoreSchema& schema, const std::vector<std::string>& drops);

    // A batch of writes as one transaction, all or nothing: opens, begins,
    // runs the work, and commits only when the work answered true. Any failure
    // (begin, a step of the work, commit) rolls everything back and answers
    // false. Statements the work prepares must be gone when it returns.
    bool writeInTransaction(const std::function<bool()>& work);

    // A read of its own: opens, prepares the select, lets `bind` bind its
    // parameters, hands every row to `row` and closes. False when the file
    // cannot be opened, the statement is not prepared or bound, or a step
    // fails (logged with `line`).
    bool selectRows(const std::string& sql, int line, const std::function<bool(StoreStatement&)>& bind,
        const std::function<void(const StoreStatement&)>& row);
    // The same, gathering the rows into a list through `take`; nothing on failure.
    template <class List, class Take>
    std::optional<List> readList(
        const std::string& sql, int line, const std::function<bool(StoreStatement&)>& bind, Take take)
    {
        List list;
        if (!selectRows(sql, line, bind, [&](const StoreStatement& row) { take(list, row); }))
            return std::nullopt;
        return list;
    }

private:
    // A key's value, and SQLite's result that tells a missing key
    // (SQLITE_DONE) from a read that failed.
    struct InfoRead {
        int result = 0;
        std::optional<std::string> value;
    };
    InfoRead readInfo(const std::string& key);
    // The connection alone, with nothing written into the file (see open).
    bool connect();
    // "VACUUM" over the file: SQLite's result (SQLITE_OK when rewritten).
    int rewriteFile();

    sqlite3* database_ = nullptr;
    // The file the connection is open on.
    std::string path_;
    // The connection's hold on its file, taken before it is opened.
    std::optional<DamagedStoreFile::Hold> hold_;
};

} // namespace core
