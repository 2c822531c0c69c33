#include "core/store/BaseFactory.h"

#include "core/session/MyAccountInfo.h"
#include "core/util/ORBHelper.h"
#include "platform/os/AppPaths.h"
#include "platform/os/Log.h"

#include <sqlite3.h>

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
    };

    constexpr const char* kCreateInfoTable = "CREATE TABLE IF NOT EXISTS `tb_info` ("
                                             "            `key` text(32,0) NOT NULL,"
                                             "            `value` text(32,0) NOT NULL,"
                                             "            PRIMARY KEY(`key`)            );";

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

BaseFactory::BaseFactory() { vacuum(); }

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
    sqlite3_busy_timeout(database_, kBusyTimeoutMilliseconds);
    exec(kCreateInfoTable, kLineCreateInfo);
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

bool BaseFactory::vacuum()
{
    if (!open())
        return false;
    sqlite3_stmt* statement = nullptr;
    bool ok = true;
    if (sqlite3_prepare_v2(database_, "VACUUM", -1, &statement, nullptr) != SQLITE_OK) {
        platform::log("Error: failed to prepare:%s", sqlite3_errmsg(database_));
        ok = false;
    } else if (sqlite3_step(statement) != SQLITE_DONE) {
        // Busy or locked counts as a failure too: the file was not rewritten.
        platform::log("Error: failed to vacuum:%s", sqlite3_errmsg(database_));
        ok = false;
    }
    sqlite3_finalize(statement);
    close();
    return ok;
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
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database_, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
        printError(line);
        sqlite3_finalize(statement);
        return {};
    }
    return StoreStatement(database_, statement);
}

std::optional<std::string> BaseFactory::getInfo(const std::string& key)
{
    StoreStatement statement = prepare("SELECT `value` FROM `tb_info` WHERE `key`=?;", kLineGetInfoPrepare);
    if (!statement || !statement.bindText(1, key))
        return std::nullopt;
    if (statement.step() != SQLITE_ROW)
        return std::nullopt;
    return statement.columnText(0);
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
    if (getInfo(key) == version) {
        close();
        return true;
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

} // namespace core
