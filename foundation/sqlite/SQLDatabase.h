#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_context;
struct sqlite3_value;

namespace foundation {

class SQLDateFormatter;
class SQLResultSet;
class SQLStatement;

// One SQLite connection. A connection is used by one thread at a time; share
// one between threads through SQLDatabaseQueue or SQLDatabasePool.
//
// Waiting on a locked database is always bounded: besides the optional retry
// count (busyRetryTimeout), every wait gives up after maxBusyRetryTimeInterval
// seconds, and the caller gets a failure it can report.
class SQLDatabase final : public std::enable_shared_from_this<SQLDatabase> {
    struct Token { };

public:
    using Arguments = std::initializer_list<platform::Value>;
    using StatementCache = std::unordered_map<std::string, std::shared_ptr<SQLStatement>>;
    // Called by SQLite for a registered SQL function; set the result through
    // the SQLite context.
    using FunctionBlock = std::function<void(sqlite3_context* context, int argc, sqlite3_value** argv)>;
    using SavePointBlock = std::function<void(bool* rollback)>;

    // The time a busy or locked database is waited for when nothing else is set.
    static constexpr double kDefaultMaxBusyRetryTimeInterval = 2.0;

    // An absent path opens a private in-memory database, an empty path a
    // private temporary one.
    static std::shared_ptr<SQLDatabase> databaseWithPath(std::optional<std::string> path = std::nullopt);
    SQLDatabase(Token, std::optional<std::string> path);
    ~SQLDatabase();
    SQLDatabase(const SQLDatabase&) = delete;
    SQLDatabase& operator=(const SQLDatabase&) = delete;

    static std::string sqliteLibVersion();
    static bool isSQLiteThreadSafe();

    const std::optional<std::string>& databasePath() const { return databasePath_; }
    sqlite3* sqliteHandle() const { return db_; }
    std::string description() const;

    // Told of every statement of the connection that fails (SQLite's
    // result) and of the connection's close, once the handle is gone: the
    // owner of a file keeps count of what has it open and of damage met.
    struct Watch {
        std::function<void(int result)> failed;
        std::function<void()> closed;
    };
    void setWatch(Watch watch) { watch_ = std::move(watch); }

    // Opening and closing.
    bool open();
    bool openWithFlags(int flags);
    bool close();
    bool goodConnection();
    // Logs when the connection is not open.
    bool databaseExists() const;

    // Settings.
    bool logsErrors() const { return logsErrors_.load(); }
    void setLogsErrors(bool on) { logsErrors_.store(on); }
    bool crashOnErrors() const { return crashOnErrors_.load(); }
    void setCrashOnErrors(bool on) { crashOnErrors_.store(on); }
    bool traceExecution() const { return traceExecution_.load(); }
    void setTraceExecution(bool on) { traceExecution_.store(on); }
    bool checkedOut() const { return checkedOut_.load(); }
    void setCheckedOut(bool on) { checkedOut_.store(on); }
    // Retries of a busy or locked operation before giving up; 0 leaves only
    // the time bound below.
    int busyRetryTimeout() const { return busyRetryTimeout_.load(); }
    void setBusyRetryTimeout(int retries) { busyRetryTimeout_.store(retries); }
    // Seconds a busy or locked operation may wait in all before it gives up.
    double maxBusyRetryTimeInterval() const { return maxBusyRetryTimeInterval_.load(); }
    void setMaxBusyRetryTimeInterval(double seconds) { maxBusyRetryTimeInterval_.store(seconds); }

    // Cursors and the statement cache.
    bool hasOpenResultSets() const;
    void closeOpenResultSets();
    void resultSetDidClose(SQLResultSet* resultSet);
    void clearCachedStatements();
    std::shared_ptr<SQLStatement> cachedStatementForQuery(const std::string& query) const;
    void setCachedStatement(std::shared_ptr<SQLStatement> statement, const std::string& forQuery);
    bool shouldCacheStatements() const { return cachedStatements_.has_value(); }
    void setShouldCacheStatements(bool value);
    // The cache, or nothing while caching is off.
    const StatementCache* cachedStatements() const { return cachedStatements_ ? &*cachedStatements_ : nullptr; }
    void setCachedStatements(std::optional<StatementCache> cache);

    // Errors.
    std::string lastErrorMessage() const;
    int lastErrorCode() const;
    bool hadError() const;
    platform::Error errorWithMessage(const std::string& message) const;
    platform::Error lastError() const;
    void warnInUse() const;

    // Queries return a cursor before its first row, or nothing on failure.
    std::shared_ptr<SQLResultSet> executeQuery(const std::string& sql, Arguments arguments = {});
    std::shared_ptr<SQLResultSet> executeQuery(const std::string& sql, const platform::Array& withArgumentsInArray);
    std::shared_ptr<SQLResultSet> executeQuery(
        const std::string& sql, const platform::Dictionary& withParameterDictionary);
    // Each conversion in the format becomes a "?" bound to the matching argument.
    std::shared_ptr<SQLResultSet> executeQueryWithFormat(const std::string& format, Arguments arguments = {});

    // Updates run the statement once and answer whether it completed.
    bool executeUpdate(const std::string& sql, Arguments arguments = {});
    bool executeUpdate(const std::string& sql, const platform::Array& withArgumentsInArray);
    bool executeUpdate(const std::string& sql, const platform::Dictionary& withParameterDictionary);
    bool executeUpdateWithFormat(const std::string& format, Arguments arguments = {});
    bool update(const std::string& sql, platform::Error* withErrorAndBindings, Arguments arguments = {});
    // The common path of every update: positional arguments or named ones.
    bool executeUpdate(const std::string& sql, platform::Error* error, std::span<const platform::Value> arguments,
        const platform::Dictionary* orDictionary);

    long long lastInsertRowId();
    int changes();

    // Transactions and savepoints.
    bool beginTransaction();
    bool beginDeferredTransaction();
    bool commit();
    bool rollback();
    bool inTransaction() const { return inTransaction_.load(); }
    bool startSavePointWithName(const std::string& name, platform::Error* error = nullptr);
    bool releaseSavePointWithName(const std::string& name, platform::Error* error = nullptr);
    bool rollbackToSavePointWithName(const std::string& name, platform::Error* error = nullptr);
    // Runs the block inside a fresh savepoint; the block sets *rollback to undo
    // its work. Answers the error of the step that failed, or nothing.
    std::optional<platform::Error> inSavePoint(const SavePointBlock& block);

    // Dates: with a formatter they are stored as its text, otherwise as
    // seconds since 1970 (a double).
    static std::shared_ptr<SQLDateFormatter> storeableDateFormat(const std::string& format);
    bool hasDateFormatter() const { return dateFormat_ != nullptr; }
    void setDateFormat(std::shared_ptr<SQLDateFormatter> format) { dateFormat_ = std::move(format); }
    const std::shared_ptr<SQLDateFormatter>& dateFormat() const { return dateFormat_; }
    std::optional<platform::Date> dateFromString(const std::string& text) const;
    std::optional<std::string> stringFromDate(platform::Date date) const;

    // Encryption keys: this build has no encryption, so these refuse.
    bool setKey(const std::string& key);
    bool rekey(const std::string& key);
    bool setKeyWithData(const platform::Bytes& keyData);
    bool rekeyWithData(const platform::Bytes& keyData);

    // Registers an SQL function taking up to maximumArguments UTF-8 arguments.
    void makeFunctionNamed(const std::string& name, int maximumArguments, FunctionBlock withBlock);

    // Binds one value to a statement parameter (numbered from 1).
    void bindObject(const platform::Value& object, int toColumn, sqlite3_stmt* inStatement);

    // Conveniences: the first column of the first row, or the type's zero.
    std::optional<std::string> stringForQuery(const std::string& sql, Arguments arguments = {});
    int intForQuery(const std::string& sql, Arguments arguments = {});
    long longForQuery(const std::string& sql, Arguments arguments = {});
    bool boolForQuery(const std::string& sql, Arguments arguments = {});
    double doubleForQuery(const std::string& sql, Arguments arguments = {});
    std::optional<platform::Bytes> dataForQuery(const std::string& sql, Arguments arguments = {});
    std::optional<platform::Date> dateForQuery(const std::string& sql, Arguments arguments = {});

    bool tableExists(const std::string& tableName);
    std::shared_ptr<SQLResultSet> getSchema();
    std::shared_ptr<SQLResultSet> getTableSchema(const std::string& tableName);
    bool columnExists(const std::string& columnName, const std::string& inTableWithName);
    // The same question with the table named first.
    bool columnExistsInTable(const std::string& tableName, const std::string& columnName);
    bool validateSQL(const std::string& sql, platform::Error* error = nullptr);

    // Builds the SQL and the argument list of the *WithFormat calls.
    static void extractSQL(
        const std::string& format, std::span<const platform::Value> arguments, std::string& sql, platform::Array& out);

private:
    friend class SQLResultSet;

    void reportFailure(int result) const
    {
        if (watch_.failed)
            watch_.failed(result);
    }
    void reportClosed()
    {
        if (watch_.closed)
            std::exchange(watch_.closed, nullptr)();
    }

    enum class Step { Prepare, Execute };
    std::shared_ptr<SQLResultSet> runQuery(
        const std::string& sql, std::span<const platform::Value> arguments, const platform::Dictionary* dictionary);
    // Prepares with the busy rule; answers SQLite's result and a null
    // statement on failure. busyGaveUp tells the caller the wait ran out.
    int prepare(const std::string& sql, sqlite3_stmt** statement, const char* operation, int line, bool& busyGaveUp);
    // copyValues false lets SQLite refer to the arguments' own bytes; only for
    // a statement that is stepped, reset and unbound before the call returns.
    int bindArguments(sqlite3_stmt* statement, std::span<const platform::Value> arguments,
        const platform::Dictionary* dictionary, bool copyValues);
    void bindValue(const platform::Value& object, int toColumn, sqlite3_stmt* inStatement, bool copyValues);
    std::shared_ptr<SQLStatement> takeCachedStatement(const std::string& sql);
    void rememberStatement(const std::shared_ptr<SQLStatement>& statement);
    void logBusy(const char* operation, int line) const;
    void finishTransaction(bool succeeded);
    template <class T, class Reader> T valueForQuery(const std::string& sql, Arguments arguments, T zero, Reader read);

    sqlite3* db_ = nullptr;
    Watch watch_;
    std::optional<std::string> databasePath_;
    std::atomic<bool> logsErrors_ { false };
    std::atomic<bool> crashOnErrors_ { false };
    std::atomic<bool> traceExecution_ { false };
    std::atomic<bool> checkedOut_ { false };
    std::atomic<bool> isExecutingStatement_ { false };
    std::atomic<bool> inTransaction_ { false };
    std::atomic<int> busyRetryTimeout_ { 0 };
    std::atomic<double> maxBusyRetryTimeInterval_ { kDefaultMaxBusyRetryTimeInterval };
    std::optional<StatementCache> cachedStatements_;
    // Not owning: a cursor keeps its connection alive, not the other way round.
    std::unordered_map<SQLResultSet*, std::weak_ptr<SQLResultSet>> openResultSets_;
    std::vector<std::unique_ptr<FunctionBlock>> openFunctions_;
    std::shared_ptr<SQLDateFormatter> dateFormat_;
    // Every statement holder made here, so that closing the connection can
    // finalize statements that a caller still holds before the handle goes.
    std::vector<std::weak_ptr<SQLStatement>> statements_;
    std::size_t statementsPruneMark_ = 64;
};

} // namespace foundation
