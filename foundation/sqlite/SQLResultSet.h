#pragma once

#include "platform/os/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace foundation {

class SQLDatabase;
class SQLStatement;

// The cursor of a query: steps the statement row by row and reads the current
// row's columns by index or by name (names compare without regard to case).
// Closing it, or destroying it, rewinds the statement so that the connection's
// statement cache can use it again.
class SQLResultSet final {
    struct Token { };

public:
    static std::shared_ptr<SQLResultSet> resultSetWithStatement(
        std::shared_ptr<SQLStatement> statement, std::shared_ptr<SQLDatabase> usingParentDatabase);
    SQLResultSet(Token, std::shared_ptr<SQLStatement> statement, std::shared_ptr<SQLDatabase> parentDB);
    ~SQLResultSet();
    SQLResultSet(const SQLResultSet&) = delete;
    SQLResultSet& operator=(const SQLResultSet&) = delete;

    void close();
    const std::shared_ptr<SQLDatabase>& parentDB() const { return parentDB_; }
    void setParentDB(std::shared_ptr<SQLDatabase> parentDB) { parentDB_ = std::move(parentDB); }
    const std::string& query() const { return query_; }
    void setQuery(std::string query) { query_ = std::move(query); }
    const std::shared_ptr<SQLStatement>& statement() const { return statement_; }
    void setStatement(std::shared_ptr<SQLStatement> statement) { statement_ = std::move(statement); }

    // True when a row is current; false at the end or on an error, and the
    // cursor is then closed.
    bool next();
    bool hasAnotherRow() const;
    int columnCount() const;

    // -1, after a warning, for a name that no column has.
    int columnIndexForName(std::string_view columnName) const;
    std::optional<std::string> columnNameForIndex(int columnIdx) const;
    // Lower-cased column name to column index, in column order.
    const platform::Dictionary& columnNameToIndexMap() const;

    int intForColumnIndex(int columnIdx) const;
    int intForColumn(std::string_view columnName) const { return intForColumnIndex(columnIndexForName(columnName)); }
    long longForColumnIndex(int columnIdx) const;
    long longForColumn(std::string_view columnName) const { return longForColumnIndex(columnIndexForName(columnName)); }
    long long longLongIntForColumnIndex(int columnIdx) const;
    long long longLongIntForColumn(std::string_view columnName) const
    {
        return longLongIntForColumnIndex(columnIndexForName(columnName));
    }
    unsigned long long unsignedLongLongIntForColumnIndex(int columnIdx) const;
    unsigned long long unsignedLongLongIntForColumn(std::string_view columnName) const
    {
        return unsignedLongLongIntForColumnIndex(columnIndexForName(columnName));
    }
    bool boolForColumnIndex(int columnIdx) const;
    bool boolForColumn(std::string_view columnName) const { return boolForColumnIndex(columnIndexForName(columnName)); }
    double doubleForColumnIndex(int columnIdx) const;
    double doubleForColumn(std::string_view columnName) const
    {
        return doubleForColumnIndex(columnIndexForName(columnName));
    }
    std::optional<std::string> stringForColumnIndex(int columnIdx) const;
    std::optional<std::string> stringForColumn(std::string_view columnName) const
    {
        return stringForColumnIndex(columnIndexForName(columnName));
    }
    std::optional<platform::Date> dateForColumnIndex(int columnIdx) const;
    std::optional<platform::Date> dateForColumn(std::string_view columnName) const
    {
        return dateForColumnIndex(columnIndexForName(columnName));
    }
    std::optional<platform::Bytes> dataForColumnIndex(int columnIdx) const;
    std::optional<platform::Bytes> dataForColumn(std::string_view columnName) const
    {
        return dataForColumnIndex(columnIndexForName(columnName));
    }
    // SQLite's own bytes: valid only until the cursor moves or closes.
    std::optional<std::span<const std::uint8_t>> dataNoCopyForColumnIndex(int columnIdx) const;
    std::optional<std::span<const std::uint8_t>> dataNoCopyForColumn(std::string_view columnName) const
    {
        return dataNoCopyForColumnIndex(columnIndexForName(columnName));
    }
    // SQLite's own zero-terminated text, with the same lifetime rule.
    const char* UTF8StringForColumnIndex(int columnIdx) const;
    const char* UTF8StringForColumnName(std::string_view columnName) const
    {
        return UTF8StringForColumnIndex(columnIndexForName(columnName));
    }
    bool columnIndexIsNull(int columnIdx) const;
    bool columnIsNull(std::string_view columnName) const { return columnIndexIsNull(columnIndexForName(columnName)); }
    // Blob as data, float as double, integer as a 64-bit integer, other kinds
    // as text, and the null value for NULL or an unknown column.
    platform::Value objectForColumnIndex(int columnIdx) const;
    platform::Value objectForColumnName(std::string_view columnName) const
    {
        return objectForColumnIndex(columnIndexForName(columnName));
    }
    platform::Value operator[](int columnIdx) const { return objectForColumnIndex(columnIdx); }
    platform::Value operator[](std::string_view columnName) const { return objectForColumnName(columnName); }

    // The current row keyed by the column names as SQLite gives them.
    std::optional<platform::Dictionary> resultDictionary() const;
    // The current row keyed by lower-cased column names.
    std::optional<platform::Dictionary> resultDict() const;
    // Hands every non-NULL column's text to the setter with the column's name.
    void kvcMagic(const std::function<void(const std::string& name, const std::string& text)>& setter) const;

private:
    std::shared_ptr<SQLDatabase> parentDB_;
    std::shared_ptr<SQLStatement> statement_;
    std::string query_;
    mutable std::optional<platform::Dictionary> columnNameToIndexMap_;
    // Names as callers spelled them, with the index they resolved to: a loop
    // asks for the same few names on every row.
    mutable std::vector<std::pair<std::string, int>> resolvedNames_;
    mutable std::size_t nextResolvedName_ = 0;
};

} // namespace foundation
