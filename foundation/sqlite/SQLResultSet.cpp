#include "foundation/sqlite/SQLResultSet.h"

#include "foundation/sqlite/SQLBusyWait.h"
#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLDateFormatter.h"
#include "foundation/sqlite/SQLStatement.h"
#include "platform/os/Log.h"

#include <sqlite3.h>

namespace foundation {

namespace {

std::string lowercased(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

} // namespace

std::shared_ptr<SQLResultSet> SQLResultSet::resultSetWithStatement(
    std::shared_ptr<SQLStatement> statement, std::shared_ptr<SQLDatabase> usingParentDatabase)
{
    return std::make_shared<SQLResultSet>(Token {}, std::move(statement), std::move(usingParentDatabase));
}

SQLResultSet::SQLResultSet(Token, std::shared_ptr<SQLStatement> statement, std::shared_ptr<SQLDatabase> parentDB)
    : parentDB_(std::move(parentDB))
    , statement_(std::move(statement))
{
}

SQLResultSet::~SQLResultSet() { close(); }

void SQLResultSet::close()
{
    if (statement_) {
        // Rewound, not finalized: the statement cache may hand it out again.
        statement_->reset();
        statement_->setInUse(false);
        statement_.reset();
    }
    if (parentDB_) {
        auto db = std::move(parentDB_);
        parentDB_ = nullptr;
        db->resultSetDidClose(this);
    }
}

bool SQLResultSet::next()
{
    sqlite3_stmt* statement = statement_ ? statement_->statement() : nullptr;
    if (!statement) {
        platform::log("Error calling sqlite3_step (%d: %s) rs", SQLITE_MISUSE, sqlite3_errstr(SQLITE_MISUSE));
        close();
        return false;
    }
    SQLBusyWait wait(parentDB_ ? parentDB_->busyRetryTimeout() : 0,
        parentDB_ ? parentDB_->maxBusyRetryTimeInterval() : SQLDatabase::kDefaultMaxBusyRetryTimeInterval);
    int rc;
    for (;;) {
        rc = sqlite3_step(statement);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        if (rc == SQLITE_LOCKED) {
            int resetResult = sqlite3_reset(statement);
            if (resetResult != SQLITE_LOCKED)
                platform::log("Unexpected result from sqlite3_reset (%d) rs", resetResult);
        }
        if (!wait.waitToRetry()) {
            if (parentDB_)
                parentDB_->logBusy("-[SQLResultSet next]", 171);
            else {
                platform::log("%s:%d Database busy (%s)", "-[SQLResultSet next]", 171, "(null)");
                platform::log("Database busy");
            }
            close();
            return false;
        }
    }
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE) {
        close();
        return false;
    }
    if (parentDB_)
        parentDB_->reportFailure(rc);
    std::string message = sqlite3_errmsg(sqlite3_db_handle(statement));
    if (rc == SQLITE_ERROR || rc == SQLITE_MISUSE)
        platform::log("Error calling sqlite3_step (%d: %s) rs", rc, message.c_str());
    else
        platform::log("Unknown error calling sqlite3_step (%d: %s) rs", rc, message.c_str());
    close();
    return false;
}

bool SQLResultSet::hasAnotherRow() const { return parentDB_ && parentDB_->lastErrorCode() == SQLITE_ROW; }

int SQLResultSet::columnCount() const
{
    sqlite3_stmt* statement = statement_ ? statement_->statement() : nullptr;
    return statement ? sqlite3_column_count(statement) : 0;
}

namespace {

// The statement to read a column from, or nothing for a closed cursor or a
// column number that the row does not have.
sqlite3_stmt* readable(const SQLResultSet& rs, int columnIdx)
{
    sqlite3_stmt* statement = rs.statement() ? rs.statement()->statement() : nullptr;
    if (!statement || columnIdx < 0 || columnIdx >= sqlite3_column_count(statement))
        return nullptr;
    return statement;
}

sqlite3_stmt* readableNonNull(const SQLResultSet& rs, int columnIdx)
{
    sqlite3_stmt* statement = readable(rs, columnIdx);
    if (!statement || sqlite3_column_type(statement, columnIdx) == SQLITE_NULL)
        return nullptr;
    return statement;
}

} // namespace

const platform::Dictionary& SQLResultSet::columnNameToIndexMap() const
{
    if (!columnNameToIndexMap_) {
        columnNameToIndexMap_.emplace();
        int count = columnCount();
        sqlite3_stmt* statement = count ? statement_->statement() : nullptr;
        // Filled in column order: of two columns with the same name the later wins.
        for (int i = 0; i < count; ++i) {
            const char* name = sqlite3_column_name(statement, i);
            columnNameToIndexMap_->set(lowercased(name ? name : ""), i);
        }
    }
    return *columnNameToIndexMap_;
}

int SQLResultSet::columnIndexForName(std::string_view columnName) const
{
    // Start after the last name found: a loop asks in the same order each row.
    const std::size_t count = resolvedNames_.size();
    for (std::size_t k = 0; k < count; ++k) {
        std::size_t at = (nextResolvedName_ + k) % count;
        if (resolvedNames_[at].first == columnName) {
            nextResolvedName_ = at + 1;
            return resolvedNames_[at].second;
        }
    }
    std::string key = lowercased(columnName);
    if (const platform::Value* found = columnNameToIndexMap().find(key)) {
        int index = found->intValue();
        if (count < 64) {
            resolvedNames_.emplace_back(columnName, index);
            nextResolvedName_ = count + 1;
        }
        return index;
    }
    platform::log("Warning: I could not find the column named '%s'.", key.c_str());
    return -1;
}

std::optional<std::string> SQLResultSet::columnNameForIndex(int columnIdx) const
{
    sqlite3_stmt* statement = readable(*this, columnIdx);
    const char* name = statement ? sqlite3_column_name(statement, columnIdx) : nullptr;
    if (!name)
        return std::nullopt;
    return std::string(name);
}

int SQLResultSet::intForColumnIndex(int columnIdx) const
{
    sqlite3_stmt* statement = readable(*this, columnIdx);
    return statement ? sqlite3_column_int(statement, columnIdx) : 0;
}

long SQLResultSet::longForColumnIndex(int columnIdx) const
{
    sqlite3_stmt* statement = readable(*this, columnIdx);
    return statement ? static_cast<long>(sqlite3_column_int64(statement, columnIdx)) : 0;
}

long long SQLResultSet::longLongIntForColumnIndex(int columnIdx) const
{
    sqlite3_stmt* statement = readable(*this, columnIdx);
    return statement ? sqlite3_column_int64(statement, columnIdx) : 0;
}

unsigned long long SQLResultSet::unsignedLongLongIntForColumnIndex(int columnIdx) const
{
    return static_cast<unsigned long long>(longLongIntForColumnIndex(columnIdx));
}

bool SQLResultSet::boolForColumnIndex(int columnIdx) const { return intForColumnIndex(columnIdx) != 0; }

double SQLResultSet::doubleForColumnIndex(int columnIdx) const
{
    sqlite3_stmt* statement = readable(*this, columnIdx);
    return statement ? sqlite3_column_double(statement, columnIdx) : 0.0;
}

std::optional<std::string> SQLResultSet::stringForColumnIndex(int columnIdx) const
{
    // Each call into SQLite takes the connection's lock, so the column's type
    // is asked only when SQLite gives no text: NULL, or an empty blob.
    sqlite3_stmt* statement = readable(*this, columnIdx);
    if (!statement)
        return std::nullopt;
    const unsigned char* text = sqlite3_column_text(statement, columnIdx);
    if (!text) {
        if (sqlite3_column_type(statement, columnIdx) == SQLITE_NULL)
            return std::nullopt;
        return std::string();
    }
    int length = sqlite3_column_bytes(statement, columnIdx);
    return std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(length));
}

std::optional<platform::Date> SQLResultSet::dateForColumnIndex(int columnIdx) const
{
    sqlite3_stmt* statement = readableNonNull(*this, columnIdx);
    if (!statement)
        return std::nullopt;
    if (parentDB_ && parentDB_->hasDateFormatter()) {
        auto text = stringForColumnIndex(columnIdx);
        return text ? parentDB_->dateFromString(*text) : std::nullopt;
    }
    return platform::Date::fromSeconds(sqlite3_column_double(statement, columnIdx));
}

std::optional<platform::Bytes> SQLResultSet::dataForColumnIndex(int columnIdx) const
{
    auto bytes = dataNoCopyForColumnIndex(columnIdx);
    if (!bytes)
        return std::nullopt;
    return platform::Bytes(bytes->begin(), bytes->end());
}

std::optional<std::span<const std::uint8_t>> SQLResultSet::dataNoCopyForColumnIndex(int columnIdx) const
{
    sqlite3_stmt* statement = readable(*this, columnIdx);
    if (!statement)
        return std::nullopt;
    const void* blob = sqlite3_column_blob(statement, columnIdx);
    if (!blob) {
        if (sqlite3_column_type(statement, columnIdx) == SQLITE_NULL)
            return std::nullopt;
        return std::span<const std::uint8_t>(); // an empty blob, which is not NULL
    }
    int length = sqlite3_column_bytes(statement, columnIdx);
    return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(blob), static_cast<std::size_t>(length));
}

const char* SQLResultSet::UTF8StringForColumnIndex(int columnIdx) const
{
    sqlite3_stmt* statement = readableNonNull(*this, columnIdx);
    return statement ? reinterpret_cast<const char*>(sqlite3_column_text(statement, columnIdx)) : nullptr;
}

bool SQLResultSet::columnIndexIsNull(int columnIdx) const { return readableNonNull(*this, columnIdx) == nullptr; }

platform::Value SQLResultSet::objectForColumnIndex(int columnIdx) const
{
    sqlite3_stmt* statement = readable(*this, columnIdx);
    if (!statement)
        return {};
    switch (sqlite3_column_type(statement, columnIdx)) {
    case SQLITE_INTEGER:
        return static_cast<long long>(sqlite3_column_int64(statement, columnIdx));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement, columnIdx);
    case SQLITE_BLOB: {
        auto bytes = dataForColumnIndex(columnIdx);
        return bytes ? platform::Value(std::move(*bytes)) : platform::Value();
    }
    default: {
        auto text = stringForColumnIndex(columnIdx);
        return text ? platform::Value(std::move(*text)) : platform::Value();
    }
    }
}

std::optional<platform::Dictionary> SQLResultSet::resultDictionary() const
{
    sqlite3_stmt* statement = statement_ ? statement_->statement() : nullptr;
    if (!statement || sqlite3_data_count(statement) <= 0) {
        platform::log("Warning: There seem to be no columns in this set.");
        return std::nullopt;
    }
    platform::Dictionary row;
    int count = columnCount();
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(statement, i);
        row.set(name ? name : "", objectForColumnIndex(i));
    }
    return row;
}

std::optional<platform::Dictionary> SQLResultSet::resultDict() const
{
    sqlite3_stmt* statement = statement_ ? statement_->statement() : nullptr;
    if (!statement || sqlite3_data_count(statement) <= 0) {
        platform::log("Warning: There seem to be no columns in this set.");
        return std::nullopt;
    }
    platform::Dictionary row;
    for (const auto& [name, index] : columnNameToIndexMap())
        row.set(name, objectForColumnIndex(index.intValue()));
    return row;
}

void SQLResultSet::kvcMagic(const std::function<void(const std::string& name, const std::string& text)>& setter) const
{
    int count = columnCount();
    for (int i = 0; i < count; ++i) {
        const char* text = UTF8StringForColumnIndex(i);
        if (!text)
            continue;
        const char* name = sqlite3_column_name(statement_->statement(), i);
        setter(name ? name : "", text);
    }
}

} // namespace foundation
