// The convenience queries of the connection: single values, schema questions
// and validation.
#include "foundation/sqlite/SQLBusyWait.h"
#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLResultSet.h"
#include "platform/os/Log.h"

#include <sqlite3.h>

namespace foundation {

namespace {

std::string lowercased(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

std::string quotedName(const std::string& name)
{
    std::string out;
    for (char c : name) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

} // namespace

template <class T, class Reader>
T SQLDatabase::valueForQuery(const std::string& sql, Arguments arguments, T zero, Reader read)
{
    auto rs = executeQuery(sql, arguments);
    if (!rs || !rs->next())
        return zero;
    T value = read(*rs);
    rs->close();
    rs->setParentDB(nullptr);
    return value;
}

std::optional<std::string> SQLDatabase::stringForQuery(const std::string& sql, Arguments arguments)
{
    return valueForQuery<std::optional<std::string>>(
        sql, arguments, std::nullopt, [](SQLResultSet& rs) { return rs.stringForColumnIndex(0); });
}

int SQLDatabase::intForQuery(const std::string& sql, Arguments arguments)
{
    return valueForQuery<int>(sql, arguments, 0, [](SQLResultSet& rs) { return rs.intForColumnIndex(0); });
}

long SQLDatabase::longForQuery(const std::string& sql, Arguments arguments)
{
    return valueForQuery<long>(sql, arguments, 0L, [](SQLResultSet& rs) { return rs.longForColumnIndex(0); });
}

bool SQLDatabase::boolForQuery(const std::string& sql, Arguments arguments)
{
    return valueForQuery<bool>(sql, arguments, false, [](SQLResultSet& rs) { return rs.boolForColumnIndex(0); });
}

double SQLDatabase::doubleForQuery(const std::string& sql, Arguments arguments)
{
    return valueForQuery<double>(sql, arguments, 0.0, [](SQLResultSet& rs) { return rs.doubleForColumnIndex(0); });
}

std::optional<platform::Bytes> SQLDatabase::dataForQuery(const std::string& sql, Arguments arguments)
{
    return valueForQuery<std::optional<platform::Bytes>>(
        sql, arguments, std::nullopt, [](SQLResultSet& rs) { return rs.dataForColumnIndex(0); });
}

std::optional<platform::Date> SQLDatabase::dateForQuery(const std::string& sql, Arguments arguments)
{
    return valueForQuery<std::optional<platform::Date>>(
        sql, arguments, std::nullopt, [](SQLResultSet& rs) { return rs.dateForColumnIndex(0); });
}

bool SQLDatabase::tableExists(const std::string& tableName)
{
    auto rs = executeQuery(
        "select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?", { lowercased(tableName) });
    if (!rs)
        return false;
    bool found = rs->next();
    rs->close();
    return found;
}

std::shared_ptr<SQLResultSet> SQLDatabase::getSchema()
{
    return executeQuery("SELECT type, name, tbl_name, rootpage, sql FROM (SELECT * FROM sqlite_master UNION ALL "
                        "SELECT * FROM sqlite_temp_master) WHERE type != 'meta' AND name NOT LIKE 'sqlite_%' ORDER BY "
                        "tbl_name, type DESC, name");
}

std::shared_ptr<SQLResultSet> SQLDatabase::getTableSchema(const std::string& tableName)
{
    return executeQuery(platform::format("PRAGMA table_info('%s')", quotedName(tableName).c_str()));
}

bool SQLDatabase::columnExists(const std::string& columnName, const std::string& inTableWithName)
{
    std::string column = lowercased(columnName);
    auto rs = getTableSchema(lowercased(inTableWithName));
    if (!rs)
        return false;
    bool found = false;
    while (rs->next()) {
        auto name = rs->stringForColumn("name");
        if (name && lowercased(*name) == column) {
            found = true;
            break;
        }
    }
    rs->close();
    return found;
}

bool SQLDatabase::columnExistsInTable(const std::string& tableName, const std::string& columnName)
{
    return columnExists(columnName, tableName);
}

bool SQLDatabase::validateSQL(const std::string& sql, platform::Error* error)
{
    if (!databaseExists()) {
        platform::setError(error,
            platform::Error::withDescription(
                platform::kCocoaErrorDomain, SQLITE_MISUSE, "The SQLDatabase is not open."));
        return false;
    }
    sqlite3_stmt* statement = nullptr;
    bool busyGaveUp = false;
    int rc = prepare(sql, &statement, "-[SQLDatabase(SQLDatabaseAdditions) validateSQL:error:]", 189, busyGaveUp);
    if (busyGaveUp)
        return false;
    bool valid = rc == SQLITE_OK;
    if (!valid)
        platform::setError(
            error, platform::Error::withDescription(platform::kCocoaErrorDomain, lastErrorCode(), lastErrorMessage()));
    sqlite3_finalize(statement);
    return valid;
}

} // namespace foundation
