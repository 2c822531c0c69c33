#include "foundation/sqlite/SQLDatabase.h"

#include "foundation/sqlite/SQLBusyWait.h"
#include "foundation/sqlite/SQLDateFormatter.h"
#include "foundation/sqlite/SQLResultSet.h"
#include "foundation/sqlite/SQLStatement.h"
#include "platform/os/Log.h"

#include <sqlite3.h>

namespace foundation {

namespace {

const char* const kQueryOperation = "-[SQLDatabase executeQuery:withArgumentsInArray:orDictionary:orVAList:]";
const char* const kUpdateOperation = "-[SQLDatabase executeUpdate:error:withArgumentsInArray:orDictionary:orVAList:]";
const char* const kErrorDomain = "SQLDatabase";

// Clears the in-use flag however an execution ends.
class InUseScope final {
public:
    explicit InUseScope(std::atomic<bool>& flag)
        : flag_(flag)
    {
        flag_.store(true);
    }
    ~InUseScope() { flag_.store(false); }
    InUseScope(const InUseScope&) = delete;
    InUseScope& operator=(const InUseScope&) = delete;

private:
    std::atomic<bool>& flag_;
};

// A name put between single quotes in SQL text, with any quote inside doubled
// so that the name cannot end the literal early.
std::string quotedName(const std::string& name)
{
    std::string out;
    out.reserve(name.size() + 2);
    for (char c : name) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

void callFunctionBlock(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    auto* block = static_cast<SQLDatabase::FunctionBlock*>(sqlite3_user_data(context));
    try {
        (*block)(context, argc, argv);
    } catch (...) {
        // An exception must not unwind through SQLite's C frames.
        sqlite3_result_error(context, "the SQL function failed", -1);
    }
}

} // namespace

std::shared_ptr<SQLDatabase> SQLDatabase::databaseWithPath(std::optional<std::string> path)
{
    return std::make_shared<SQLDatabase>(Token {}, std::move(path));
}

SQLDatabase::SQLDatabase(Token, std::optional<std::string> path)
    : databasePath_(std::move(path))
{
    if (!sqlite3_threadsafe())
        platform::log("*** Assertion failure in -[SQLDatabase initWithPath:], SQLDatabase:34 (sqlite3_threadsafe())");
}

SQLDatabase::~SQLDatabase()
{
    if (!close() && db_) {
        // The handle is released once its last statement is gone.
        sqlite3_close_v2(db_);
        db_ = nullptr;
        reportClosed();
    }
}

std::string SQLDatabase::sqliteLibVersion() { return sqlite3_libversion(); }

bool SQLDatabase::isSQLiteThreadSafe() { return sqlite3_threadsafe() != 0; }

std::string SQLDatabase::description() const
{
    return platform::format("<SQLDatabase: %p>", static_cast<const void*>(this));
}

bool SQLDatabase::open()
{
    if (db_)
        return true;
    return openWithFlags(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

bool SQLDatabase::openWithFlags(int flags)
{
    // Opening again would orphan the current handle and its statements.
    if (db_ && !close())
        return false;
    std::string path = !databasePath_ ? std::string(":memory:") : *databasePath_;
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        platform::log("error opening!: %d", rc);
        // SQLite hands back a handle even when opening fails; it only holds the error.
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    return true;
}

bool SQLDatabase::close()
{
    auto keepAlive = weak_from_this().lock();
    clearCachedStatements();
    closeOpenResultSets();
    if (!db_)
        return true;

    // Statements a caller still holds must be finalized while the handle lives.
    for (auto& weak : statements_) {
        if (auto statement = weak.lock())
            statement->close();
    }
    statements_.clear();

    SQLBusyWait wait(busyRetryTimeout(), maxBusyRetryTimeInterval());
    bool triedFinalizingStatements = false;
    int rc;
    for (;;) {
        rc = sqlite3_close(db_);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        if (!triedFinalizingStatements) {
            triedFinalizingStatements = true;
            while (sqlite3_stmt* leaked = sqlite3_next_stmt(db_, nullptr)) {
                platform::log("Closing leaked statement");
                sqlite3_finalize(leaked);
            }
        }
        if (!wait.waitToRetry()) {
            platform::log("%s:%d", "-[SQLDatabase close]", 140);
            platform::log("Database busy, unable to close");
            return false;
        }
    }
    if (rc != SQLITE_OK)
        platform::log("error closing!: %d", rc);
    db_ = nullptr;
    inTransaction_.store(false);
    reportClosed();
    return true;
}

bool SQLDatabase::goodConnection()
{
    if (!db_)
        return false;
    auto rs = executeQuery("select name from sqlite_master where type='table'");
    if (!rs)
        return false;
    rs->close();
    return true;
}

bool SQLDatabase::databaseExists() const
{
    if (!db_) {
        platform::log("The SQLDatabase %s is not open.", description().c_str());
        return false;
    }
    return true;
}

void SQLDatabase::closeOpenResultSets()
{
    auto keepAlive = weak_from_this().lock();
    auto open = std::move(openResultSets_);
    openResultSets_.clear();
    for (auto& [raw, weak] : open) {
        if (auto rs = weak.lock()) {
            rs->setParentDB(nullptr);
            rs->close();
        }
    }
}

void SQLDatabase::resultSetDidClose(SQLResultSet* resultSet) { openResultSets_.erase(resultSet); }

bool SQLDatabase::hasOpenResultSets() const
{
    for (const auto& [raw, weak] : openResultSets_) {
        if (!weak.expired())
            return true;
    }
    return false;
}

void SQLDatabase::clearCachedStatements()
{
    if (!cachedStatements_)
        return;
    for (auto& [query, statement] : *cachedStatements_) {
        // A statement a cursor is still stepping is finalized by the cursor's
        // holder when the cursor lets go of it.
        if (!statement->inUse())
            statement->close();
    }
    cachedStatements_->clear();
}

std::shared_ptr<SQLStatement> SQLDatabase::cachedStatementForQuery(const std::string& query) const
{
    if (!cachedStatements_)
        return nullptr;
    auto it = cachedStatements_->find(query);
    return it == cachedStatements_->end() ? nullptr : it->second;
}

void SQLDatabase::setCachedStatement(std::shared_ptr<SQLStatement> statement, const std::string& forQuery)
{
    if (!cachedStatements_ || !statement)
        return;
    statement->setQuery(forQuery);
    (*cachedStatements_)[forQuery] = std::move(statement);
}

void SQLDatabase::setShouldCacheStatements(bool value)
{
    if (value && !cachedStatements_)
        cachedStatements_.emplace();
    else if (!value && cachedStatements_) {
        clearCachedStatements();
        cachedStatements_.reset();
    }
}

void SQLDatabase::setCachedStatements(std::optional<StatementCache> cache)
{
    clearCachedStatements();
    cachedStatements_ = std::move(cache);
}

std::shared_ptr<SQLStatement> SQLDatabase::takeCachedStatement(const std::string& sql)
{
    auto statement = cachedStatementForQuery(sql);
    // A cursor that is still reading the cached statement would lose its place
    // if the statement were rewound and rebound; such a query gets its own.
    if (!statement || statement->inUse() || !statement->statement())
        return nullptr;
    statement->reset();
    return statement;
}

void SQLDatabase::rememberStatement(const std::shared_ptr<SQLStatement>& statement)
{
    statements_.push_back(statement);
    if (statements_.size() >= statementsPruneMark_) {
        std::erase_if(statements_, [](const std::weak_ptr<SQLStatement>& weak) { return weak.expired(); });
        statementsPruneMark_ = std::max<std::size_t>(64, statements_.size() * 2);
    }
}

std::string SQLDatabase::lastErrorMessage() const { return sqlite3_errmsg(db_); }

int SQLDatabase::lastErrorCode() const { return sqlite3_errcode(db_); }

bool SQLDatabase::hadError() const
{
    int code = lastErrorCode();
    return code > SQLITE_OK && code < SQLITE_ROW;
}

platform::Error SQLDatabase::errorWithMessage(const std::string& message) const
{
    return platform::Error::withDescription(kErrorDomain, lastErrorCode(), message);
}

platform::Error SQLDatabase::lastError() const { return errorWithMessage(lastErrorMessage()); }

void SQLDatabase::warnInUse() const { platform::log("The SQLDatabase %s is currently in use.", description().c_str()); }

void SQLDatabase::logBusy(const char* operation, int line) const
{
    platform::log("%s:%d Database busy (%s)", operation, line, databasePath_ ? databasePath_->c_str() : "(null)");
    platform::log("Database busy");
}

int SQLDatabase::prepare(
    const std::string& sql, sqlite3_stmt** statement, const char* operation, int line, bool& busyGaveUp)
{
    busyGaveUp = false;
    SQLBusyWait wait(busyRetryTimeout(), maxBusyRetryTimeInterval());
    for (;;) {
        *statement = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), statement, nullptr);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            sqlite3_finalize(*statement);
            *statement = nullptr;
            if (wait.waitToRetry())
                continue;
            logBusy(operation, line);
            busyGaveUp = true;
            return rc;
        }
        if (rc != SQLITE_OK) {
            sqlite3_finalize(*statement);
            *statement = nullptr;
            reportFailure(rc);
        }
        return rc;
    }
}

void SQLDatabase::bindObject(const platform::Value& object, int toColumn, sqlite3_stmt* inStatement)
{
    bindValue(object, toColumn, inStatement, true);
}

void SQLDatabase::bindValue(const platform::Value& object, int toColumn, sqlite3_stmt* inStatement, bool copyValues)
{
    using Kind = platform::Value::Kind;
    // Texts and blobs are copied by SQLite unless the caller guarantees that
    // the value outlives every use of the binding: a cursor steps its
    // statement long after the caller's arguments are gone. Texts made here
    // (descriptions, formatted dates) are always copied.
    auto bindText = [&](const std::string& text) {
        sqlite3_bind_text64(inStatement, toColumn, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    };
    auto lifetime = copyValues ? SQLITE_TRANSIENT : SQLITE_STATIC;
    switch (object.kind()) {
    case Kind::Null:
        sqlite3_bind_null(inStatement, toColumn);
        break;
    case Kind::Data: {
        const platform::Bytes& bytes = *object.asData();
        if (bytes.empty())
            sqlite3_bind_zeroblob(inStatement, toColumn, 0); // an empty blob, not NULL
        else
            sqlite3_bind_blob64(inStatement, toColumn, bytes.data(), bytes.size(), lifetime);
        break;
    }
    case Kind::Date:
        if (dateFormat_)
            bindText(dateFormat_->stringFromDate(*object.asDate()));
        else
            sqlite3_bind_double(inStatement, toColumn, object.asDate()->seconds);
        break;
    case Kind::Bool:
        sqlite3_bind_int64(inStatement, toColumn, *object.asBool() ? 1 : 0);
        break;
    case Kind::Int:
        sqlite3_bind_int64(inStatement, toColumn, object.longLongValue());
        break;
    case Kind::UInt:
        // Stored as the same 64 bits; the unsigned reader gives the value back.
        sqlite3_bind_int64(inStatement, toColumn, static_cast<sqlite3_int64>(object.unsignedLongLongValue()));
        break;
    case Kind::Double:
        sqlite3_bind_double(inStatement, toColumn, object.doubleValue());
        break;
    case Kind::String: {
        const std::string& text = *object.asString();
        sqlite3_bind_text64(inStatement, toColumn, text.data(), text.size(), lifetime, SQLITE_UTF8);
        break;
    }
    case Kind::Decimal:
    case Kind::Array:
    case Kind::Dictionary:
    case Kind::Object:
        bindText(object.description());
        break;
    }
}

int SQLDatabase::bindArguments(sqlite3_stmt* statement, std::span<const platform::Value> arguments,
    const platform::Dictionary* dictionary, bool copyValues)
{
    int count = sqlite3_bind_parameter_count(statement);
    int bound = 0;
    auto trace = [&](const platform::Value& value) {
        if (!traceExecution())
            return;
        if (value.isData())
            platform::log("data: %ld bytes", static_cast<long>(value.count()));
        else
            platform::log("obj: %s", value.description().c_str());
    };
    if (dictionary) {
        for (const auto& [key, value] : *dictionary) {
            std::string parameter = ":" + key;
            int index = sqlite3_bind_parameter_index(statement, parameter.c_str());
            if (index <= 0) {
                platform::log("Could not find index for %s", key.c_str());
                continue;
            }
            trace(value);
            bindValue(value, index, statement, copyValues);
            ++bound;
        }
        return bound;
    }
    while (bound < count && static_cast<std::size_t>(bound) < arguments.size()) {
        const platform::Value& value = arguments[static_cast<std::size_t>(bound)];
        trace(value);
        bindValue(value, bound + 1, statement, copyValues);
        ++bound;
    }
    return bound;
}

std::shared_ptr<SQLResultSet> SQLDatabase::runQuery(
    const std::string& sql, std::span<const platform::Value> arguments, const platform::Dictionary* dictionary)
{
    if (!databaseExists())
        return nullptr;
    if (isExecutingStatement_.load()) {
        warnInUse();
        return nullptr;
    }
    auto self = shared_from_this();
    InUseScope inUse(isExecutingStatement_);
    if (traceExecution())
        platform::log("%s executeQuery: %s", description().c_str(), sql.c_str());

    std::shared_ptr<SQLStatement> holder = shouldCacheStatements() ? takeCachedStatement(sql) : nullptr;
    sqlite3_stmt* statement = holder ? holder->statement() : nullptr;
    if (!statement) {
        bool busyGaveUp = false;
        int rc = prepare(sql, &statement, kQueryOperation, 607, busyGaveUp);
        if (busyGaveUp)
            return nullptr;
        if (rc != SQLITE_OK) {
            if (logsErrors()) {
                platform::log("DB Error: %d \"%s\"", lastErrorCode(), lastErrorMessage().c_str());
                platform::log("DB Query: %s", sql.c_str());
                platform::log("DB Path: %s", databasePath_ ? databasePath_->c_str() : "(null)");
            }
            return nullptr;
        }
        if (!statement) // nothing but white space or comments
            return nullptr;
    }

    int bound = bindArguments(statement, arguments, dictionary, true);
    if (bound != sqlite3_bind_parameter_count(statement)) {
        platform::log("Error: the bind count is not correct for the # of variables (executeQuery)");
        if (holder)
            holder->reset();
        else
            sqlite3_finalize(statement);
        return nullptr;
    }

    if (!holder) {
        holder = std::make_shared<SQLStatement>();
        holder->setStatement(statement);
        rememberStatement(holder);
        if (shouldCacheStatements() && !cachedStatementForQuery(sql))
            setCachedStatement(holder, sql);
    }
    auto rs = SQLResultSet::resultSetWithStatement(holder, self);
    rs->setQuery(sql);
    openResultSets_[rs.get()] = rs;
    holder->setUseCount(holder->useCount() + 1);
    holder->setInUse(true);
    return rs;
}

std::shared_ptr<SQLResultSet> SQLDatabase::executeQuery(const std::string& sql, Arguments arguments)
{
    return runQuery(sql, std::span<const platform::Value>(arguments.begin(), arguments.size()), nullptr);
}

std::shared_ptr<SQLResultSet> SQLDatabase::executeQuery(
    const std::string& sql, const platform::Array& withArgumentsInArray)
{
    return runQuery(sql, withArgumentsInArray, nullptr);
}

std::shared_ptr<SQLResultSet> SQLDatabase::executeQuery(
    const std::string& sql, const platform::Dictionary& withParameterDictionary)
{
    return runQuery(sql, {}, &withParameterDictionary);
}

std::shared_ptr<SQLResultSet> SQLDatabase::executeQueryWithFormat(const std::string& format, Arguments arguments)
{
    std::string sql;
    platform::Array values;
    extractSQL(format, std::span<const platform::Value>(arguments.begin(), arguments.size()), sql, values);
    return runQuery(sql, values, nullptr);
}

bool SQLDatabase::executeUpdate(const std::string& sql, platform::Error* error,
    std::span<const platform::Value> arguments, const platform::Dictionary* orDictionary)
{
    if (!databaseExists()) {
        platform::setError(error, platform::Error::withDescription(kErrorDomain, SQLITE_MISUSE, "not open"));
        return false;
    }
    if (isExecutingStatement_.load()) {
        warnInUse();
        platform::setError(error, platform::Error::withDescription(kErrorDomain, SQLITE_MISUSE, "in use"));
        return false;
    }
    InUseScope inUse(isExecutingStatement_);
    if (traceExecution())
        platform::log("%s executeUpdate: %s", description().c_str(), sql.c_str());

    std::shared_ptr<SQLStatement> holder = shouldCacheStatements() ? takeCachedStatement(sql) : nullptr;
    sqlite3_stmt* statement = holder ? holder->statement() : nullptr;
    if (!statement) {
        bool busyGaveUp = false;
        int rc = prepare(sql, &statement, kUpdateOperation, 795, busyGaveUp);
        if (busyGaveUp) {
            platform::setError(error, lastError());
            return false;
        }
        if (rc != SQLITE_OK) {
            if (logsErrors()) {
                platform::log("DB Error: %d \"%s\"", lastErrorCode(), lastErrorMessage().c_str());
                platform::log("DB Query: %s", sql.c_str());
                platform::log("DB Path: %s", databasePath_ ? databasePath_->c_str() : "(null)");
            }
            platform::setError(error, lastError());
            return false;
        }
        if (!statement) // nothing but white space or comments: nothing to run
            return true;
    }

    int count = sqlite3_bind_parameter_count(statement);
    // The arguments live until this call returns, and the statement is stepped,
    // rewound and unbound before then, so SQLite need not copy them.
    int bound = bindArguments(statement, arguments, orDictionary, false);
    if (bound != count) {
        std::string message = platform::format(
            "Error: the bind count (%d) is not correct for the # of variables in the query (%d) (%s) (executeUpdate)",
            bound, count, sql.c_str());
        platform::log("%s", message.c_str());
        if (holder) {
            holder->reset();
            sqlite3_clear_bindings(statement);
        } else {
            sqlite3_finalize(statement);
        }
        platform::setError(error, platform::Error::withDescription(kErrorDomain, SQLITE_RANGE, message));
        return false;
    }

    int rc;
    SQLBusyWait wait(busyRetryTimeout(), maxBusyRetryTimeInterval());
    for (;;) {
        rc = sqlite3_step(statement);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        if (rc == SQLITE_LOCKED) {
            int resetResult = sqlite3_reset(statement);
            if (resetResult != SQLITE_LOCKED)
                platform::log("Unexpected result from sqlite3_reset (%d) eu", resetResult);
        }
        if (!wait.waitToRetry()) {
            logBusy(kUpdateOperation, 918);
            break;
        }
    }

    if (rc != SQLITE_DONE) {
        reportFailure(rc);
        std::string message = lastErrorMessage();
        if (rc == SQLITE_ERROR)
            platform::log("Error calling sqlite3_step (%d: %s) SQLITE_ERROR", rc, message.c_str());
        else if (rc == SQLITE_MISUSE)
            platform::log("Error calling sqlite3_step (%d: %s) SQLITE_MISUSE", rc, message.c_str());
        else
            platform::log("Unknown error calling sqlite3_step (%d: %s) eu", rc, message.c_str());
        platform::log("DB Query: %s", sql.c_str());
        platform::setError(error, platform::Error::withDescription(kErrorDomain, rc, message));
    }

    if (!holder && shouldCacheStatements() && !cachedStatementForQuery(sql)) {
        holder = std::make_shared<SQLStatement>();
        holder->setStatement(statement);
        rememberStatement(holder);
        setCachedStatement(holder, sql);
    }
    int closeResult;
    if (holder) {
        holder->setUseCount(holder->useCount() + 1);
        closeResult = sqlite3_reset(statement);
        // The kept statement must not point at the caller's values any more.
        sqlite3_clear_bindings(statement);
    } else {
        closeResult = sqlite3_finalize(statement);
    }
    if (closeResult != SQLITE_OK) {
        platform::log(
            "Unknown error finalizing or resetting statement (%d: %s)", closeResult, lastErrorMessage().c_str());
        platform::log("DB Query: %s", sql.c_str());
    }
    return rc == SQLITE_DONE || rc == SQLITE_OK;
}

bool SQLDatabase::executeUpdate(const std::string& sql, Arguments arguments)
{
    return executeUpdate(sql, nullptr, std::span<const platform::Value>(arguments.begin(), arguments.size()), nullptr);
}

bool SQLDatabase::executeUpdate(const std::string& sql, const platform::Array& withArgumentsInArray)
{
    return executeUpdate(sql, nullptr, withArgumentsInArray, nullptr);
}

bool SQLDatabase::executeUpdate(const std::string& sql, const platform::Dictionary& withParameterDictionary)
{
    return executeUpdate(sql, nullptr, {}, &withParameterDictionary);
}

bool SQLDatabase::executeUpdateWithFormat(const std::string& format, Arguments arguments)
{
    std::string sql;
    platform::Array values;
    extractSQL(format, std::span<const platform::Value>(arguments.begin(), arguments.size()), sql, values);
    return executeUpdate(sql, nullptr, values, nullptr);
}

bool SQLDatabase::update(const std::string& sql, platform::Error* withErrorAndBindings, Arguments arguments)
{
    return executeUpdate(
        sql, withErrorAndBindings, std::span<const platform::Value>(arguments.begin(), arguments.size()), nullptr);
}

long long SQLDatabase::lastInsertRowId()
{
    if (isExecutingStatement_.load()) {
        warnInUse();
        return 0;
    }
    if (!db_)
        return 0;
    InUseScope inUse(isExecutingStatement_);
    return sqlite3_last_insert_rowid(db_);
}

int SQLDatabase::changes()
{
    if (isExecutingStatement_.load()) {
        warnInUse();
        return 0;
    }
    if (!db_)
        return 0;
    InUseScope inUse(isExecutingStatement_);
    return sqlite3_changes(db_);
}

void SQLDatabase::finishTransaction(bool succeeded)
{
    // SQLite rolls a transaction back by itself after some failures (a full
    // disk, an I/O error); the flag then follows what the connection says.
    if (succeeded || (db_ && sqlite3_get_autocommit(db_)))
        inTransaction_.store(false);
}

bool SQLDatabase::beginTransaction()
{
    bool ok = executeUpdate("begin exclusive transaction");
    if (ok)
        inTransaction_.store(true);
    return ok;
}

bool SQLDatabase::beginDeferredTransaction()
{
    bool ok = executeUpdate("begin deferred transaction");
    if (ok)
        inTransaction_.store(true);
    return ok;
}

bool SQLDatabase::commit()
{
    bool ok = executeUpdate("commit transaction");
    finishTransaction(ok);
    return ok;
}

bool SQLDatabase::rollback()
{
    bool ok = executeUpdate("rollback transaction");
    finishTransaction(ok);
    return ok;
}

bool SQLDatabase::startSavePointWithName(const std::string& name, platform::Error* error)
{
    return executeUpdate(platform::format("savepoint '%s';", quotedName(name).c_str()), error, {}, nullptr);
}

bool SQLDatabase::releaseSavePointWithName(const std::string& name, platform::Error* error)
{
    return executeUpdate(platform::format("release savepoint '%s';", quotedName(name).c_str()), error, {}, nullptr);
}

bool SQLDatabase::rollbackToSavePointWithName(const std::string& name, platform::Error* error)
{
    return executeUpdate(
        platform::format("rollback transaction to savepoint '%s';", quotedName(name).c_str()), error, {}, nullptr);
}

std::optional<platform::Error> SQLDatabase::inSavePoint(const SavePointBlock& block)
{
    static std::atomic<long> savePointCounter { 0 };
    std::string name = platform::format("dbSavePoint%ld", savePointCounter.fetch_add(1));
    platform::Error error;
    if (!startSavePointWithName(name, &error))
        return error;
    bool shouldRollback = false;
    if (block)
        block(&shouldRollback);
    // Rolling back to a savepoint keeps it open, and with it the transaction it
    // began when none was running; it is released afterwards in both cases so
    // that the connection does not keep the database locked.
    if (shouldRollback && !rollbackToSavePointWithName(name, &error))
        return error;
    if (!releaseSavePointWithName(name, &error))
        return error;
    return std::nullopt;
}

std::shared_ptr<SQLDateFormatter> SQLDatabase::storeableDateFormat(const std::string& format)
{
    return std::make_shared<SQLDateFormatter>(format, 0, "en_US");
}

std::optional<platform::Date> SQLDatabase::dateFromString(const std::string& text) const
{
    if (!dateFormat_)
        return std::nullopt;
    return dateFormat_->dateFromString(text);
}

std::optional<std::string> SQLDatabase::stringFromDate(platform::Date date) const
{
    if (!dateFormat_)
        return std::nullopt;
    return dateFormat_->stringFromDate(date);
}

bool SQLDatabase::setKey(const std::string& key) { return setKeyWithData(platform::Bytes(key.begin(), key.end())); }

bool SQLDatabase::rekey(const std::string& key) { return rekeyWithData(platform::Bytes(key.begin(), key.end())); }

bool SQLDatabase::setKeyWithData(const platform::Bytes&) { return false; }

bool SQLDatabase::rekeyWithData(const platform::Bytes&) { return false; }

void SQLDatabase::makeFunctionNamed(const std::string& name, int maximumArguments, FunctionBlock withBlock)
{
    if (!databaseExists())
        return;
    auto block = std::make_unique<FunctionBlock>(std::move(withBlock));
    sqlite3_create_function(
        db_, name.c_str(), maximumArguments, SQLITE_UTF8, block.get(), &callFunctionBlock, nullptr, nullptr);
    openFunctions_.push_back(std::move(block));
}

void SQLDatabase::extractSQL(
    const std::string& format, std::span<const platform::Value> arguments, std::string& sql, platform::Array& out)
{
    std::size_t next = 0;
    auto argument = [&]() -> const platform::Value& {
        return next < arguments.size() ? arguments[next++] : platform::Value::null();
    };
    auto placeholder = [&](platform::Value value) {
        sql += '?';
        out.push_back(std::move(value));
    };
    const std::size_t n = format.size();
    for (std::size_t i = 0; i < n; ++i) {
        char c = format[i];
        if (c != '%') {
            sql += c;
            continue;
        }
        if (++i >= n)
            break;
        char letter = format[i];
        switch (letter) {
        case '@': {
            const platform::Value& v = argument();
            if (v.isNull())
                sql += "NULL";
            else
                placeholder(v);
            break;
        }
        case 'c':
            placeholder(std::string(1, static_cast<char>(argument().intValue())));
            break;
        case 's': {
            const platform::Value& v = argument();
            placeholder(
                v.isNull() ? platform::Value() : platform::Value(v.isString() ? *v.asString() : v.description()));
            break;
        }
        case 'd':
        case 'D':
        case 'i':
            placeholder(argument().intValue());
            break;
        case 'u':
        case 'U':
            placeholder(static_cast<unsigned>(argument().unsignedLongLongValue()));
            break;
        case 'f':
            placeholder(argument().doubleValue());
            break;
        case 'g':
            placeholder(static_cast<double>(argument().floatValue()));
            break;
        case 'h':
        case 'q':
        case 'l': {
            // Length prefixes: h (short), q and ll (long long), l (long).
            bool doubledL = false;
            if (letter == 'l' && i + 1 < n && format[i + 1] == 'l') {
                doubledL = true;
                ++i;
            }
            char conversion = i + 1 < n ? format[i + 1] : '\0';
            if (conversion != 'i' && conversion != 'u' && !(letter == 'l' && conversion == 'd')) {
                // An unknown conversion: the prefix is written and the letter
                // after it is copied as text.
                sql += letter;
                if (doubledL)
                    sql += 'l';
                break;
            }
            ++i;
            const platform::Value& v = argument();
            bool isUnsigned = conversion == 'u';
            if (letter == 'h')
                placeholder(isUnsigned
                        ? platform::Value(static_cast<unsigned>(static_cast<unsigned short>(v.intValue())))
                        : platform::Value(static_cast<int>(static_cast<short>(v.intValue()))));
            else if (letter == 'l' && !doubledL)
                placeholder(isUnsigned ? platform::Value(static_cast<unsigned long>(v.unsignedLongLongValue()))
                                       : platform::Value(static_cast<long>(v.longLongValue())));
            else
                placeholder(
                    isUnsigned ? platform::Value(v.unsignedLongLongValue()) : platform::Value(v.longLongValue()));
            break;
        }
        default:
            sql += letter;
            break;
        }
    }
}

} // namespace foundation
