#include "core/store/BaseFactory.h"

#include "core/store/DamagedStoreFile.h"

#include "core/session/MyAccountInfo.h"
#include "core/util/ORBHelper.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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

} // namespace

// StoreStatement

StoreStatement StoreStatement::on(sqlite3* handle, const std::string& sql)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return {};
    }
    return StoreStatement(handle, statement);
}

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
    DamagedStoreFile::atStoreMaking(dataFilePath(), [this] { rewriteFile(); });
}

StoreSchema BaseFactory::schema() { return { {}, {}, { { "tb_info", kCreateInfoTable } }, {} }; }

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
    const std::string path = dataFilePath();
    // Held before the file is opened: a damaged one is never replaced under
    // an open connection.
    hold_.emplace(path);
    sqlite3* handle = nullptr;
    int rc = sqlite3_open_v2(
        path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        platform::log("line %i,%i#%s\n", kLineCreateInfo, rc, handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc));
        // SQLite hands back a handle that only holds the error.
        sqlite3_close(handle);
        hold_.reset();
        return false;
    }
    database_ = handle;
    path_ = path;
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
    hold_.reset();
    return true;
}

bool BaseFactory::vacuum() { return rewriteFile() == SQLITE_OK; }

int BaseFactory::rewriteFile()
{
    if (!connect())
        return SQLITE_CANTOPEN;
    sqlite3_stmt* statement = nullptr;
    int result = SQLITE_OK;
    std::string message;
    if (sqlite3_prepare_v2(database_, "VACUUM", -1, &statement, nullptr) != SQLITE_OK) {
        result = sqlite3_errcode(database_);
        message = sqlite3_errmsg(database_);
        platform::log("Error: failed to prepare:%s", message.c_str());
    } else if (int rc = sqlite3_step(statement); rc != SQLITE_DONE) {
        // Busy or locked counts as a failure too: the file was not rewritten.
        result = rc;
        message = sqlite3_errmsg(database_);
        platform::log("Error: failed to vacuum:%s", message.c_str());
    }
    sqlite3_finalize(statement);
    // A file that reads (a new one too) is a store from here on; one that
    // does not is replaced as the connection closes.
    if (result == SQLITE_OK)
        exec(kCreateInfoTable, kLineCreateInfo);
    DamagedStoreFile::rewriteFailed(path_, result, message);
    close();
    return result == SQLITE_OK || result == SQLITE_DONE ? SQLITE_OK : result;
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
    DamagedStoreFile::statementFailed(path_, sqlite3_errcode(database_));
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
    StoreStatement statement = StoreStatement::on(database_, sql);
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

bool BaseFactory::checkVersion(const StoreSchema& schema, const std::vector<std::string>& drops)
{
    if (!open())
        return false;
    auto createMissing = [&] {
        for (const auto& table : schema.tables)
            exec(table.create, kLineVersionCreate);
    };
    const InfoRead stored = readInfo(schema.versionKey);
    if (stored.value == schema.version) {
        close();
        return true;
    }
    if (stored.result != SQLITE_ROW && stored.result != SQLITE_DONE) {
        // A version that cannot be read is not a missing one: the tables may
        // hold all the person has, so none is dropped. Those missing are
        // still made, so that the store works over the rest of the file.
        platform::log("the version %s cannot be read (%s): the tables it guards are kept as they are\n",
            schema.versionKey.c_str(), sqlite3_errstr(stored.result));
        createMissing();
        close();
        return false;
    }
    // A version missing, or one the store never kept its tables at, over
    // rows of them was not written by it (a damaged record, or an index of
    // `tb_info` that no longer finds the key), and the rows are all the
    // person has. Nothing is dropped: the file is taken as damaged, and
    // replaced by a copy of what reads of it.
    const auto& earlier = schema.earlierVersions;
    const bool known = stored.value && std::find(earlier.begin(), earlier.end(), *stored.value) != earlier.end();
    // A table that cannot be read to tell is taken to hold rows.
    const auto holding = known ? std::string() : tableHoldingRows(database_, schema);
    if (!holding || !holding->empty()) {
        const std::string why = (holding ? "its table " + *holding + " holds rows" : std::string("its tables do not read"))
            + ", its version " + schema.versionKey + " "
            + (stored.value ? "'" + *stored.value + "'" : std::string("not found"));
        platform::log("the tables of %s are kept as they are (%s)\n", schema.versionKey.c_str(), why.c_str());
        DamagedStoreFile::damageFound(path_, why);
        createMissing();
        close();
        return false;
    }
    bool ok = true;
    // Each statement runs even after a failure, as far as it can, so that
    // every error is logged; the key records only a complete change.
    for (const auto& sql : drops)
        ok = exec(sql, kLineVersionDrop) && ok;
    for (const auto& table : schema.tables)
        ok = exec(table.create, kLineVersionCreate) && ok;
    if (ok)
        setInfo(schema.versionKey, schema.version);
    bool current = ok && getInfo(schema.versionKey) == schema.version;
    close();
    return current;
}

std::optional<std::string> BaseFactory::tableHoldingRows(sqlite3* handle, const StoreSchema& schema)
{
    for (const auto& table : schema.tables) {
        StoreStatement any = StoreStatement::on(handle, "SELECT 1 FROM `" + table.name + "` LIMIT 1;");
        if (!any) {
            // Not in the file; any other failure leaves it in doubt.
            if (std::string(sqlite3_errmsg(handle)).rfind("no such table", 0) == 0)
                continue;
            return std::nullopt;
        }
        const int rc = any.step();
        if (rc == SQLITE_ROW)
            return table.name;
        if (rc != SQLITE_DONE)
            return std::nullopt;
    }
    return std::string();
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
