#pragma once

#include <atomic>
#include <string>

struct sqlite3_stmt;

namespace foundation {

// Holds one prepared statement. The connection's statement cache and the
// cursors reading from the statement share the holder; whoever drops it last
// finalizes the statement.
class SQLStatement final {
public:
    SQLStatement() = default;
    ~SQLStatement();
    SQLStatement(const SQLStatement&) = delete;
    SQLStatement& operator=(const SQLStatement&) = delete;

    sqlite3_stmt* statement() const { return statement_; }
    void setStatement(sqlite3_stmt* statement) { statement_ = statement; }
    const std::string& query() const { return query_; }
    void setQuery(std::string query) { query_ = std::move(query); }
    long useCount() const { return useCount_.load(); }
    void setUseCount(long count) { useCount_.store(count); }

    // True while a cursor is stepping this statement. A cached statement that
    // is in use must not be reset and rebound for a second query.
    bool inUse() const { return inUse_.load(); }
    void setInUse(bool inUse) { inUse_.store(inUse); }

    // Finalizes the statement, if any, and forgets it.
    void close();
    // Rewinds the statement so that it can be stepped again.
    void reset();

    std::string description() const;

private:
    sqlite3_stmt* statement_ = nullptr;
    std::string query_;
    std::atomic<long> useCount_ { 0 };
    std::atomic<bool> inUse_ { false };
};

} // namespace foundation
