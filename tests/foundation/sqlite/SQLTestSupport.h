#pragma once

#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLResultSet.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace sqltest {

// Each test gets its own folder of database files, removed afterwards.
class SQLiteTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }

    std::string path(const std::string& name = "test.db") const { return dir_.file(name); }

    std::shared_ptr<foundation::SQLDatabase> openDatabase(const std::string& name = "test.db") const
    {
        auto db = foundation::SQLDatabase::databaseWithPath(path(name));
        EXPECT_TRUE(db->open());
        return db;
    }

    testsupport::TempDir dir_ { "orb-sqlite" };
};

using testsupport::shellQuoted;

// Runs the sqlite3 command-line tool on a database file and returns what it
// printed (list mode, '|' between columns, one line per row).
inline std::string sqliteTool(const std::string& dbPath, const std::string& sql, const std::string& options = "")
{
    return testsupport::runCommand(
        "sqlite3 -batch " + options + " " + shellQuoted(dbPath) + " " + shellQuoted(sql) + " 2>&1")
        .output;
}

inline std::string hexOf(const void* data, std::size_t size)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 15];
    }
    return out;
}

inline std::string hexOf(const std::string& text) { return hexOf(text.data(), text.size()); }

// The IEEE 754 bits of a double, most significant byte first, as the sqlite3
// tool's ieee754_to_blob() shows them.
inline std::string ieeeHexOf(double d)
{
    std::uint64_t bits;
    static_assert(sizeof bits == sizeof d);
    std::memcpy(&bits, &d, sizeof bits);
    std::uint8_t bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    return hexOf(bytes, 8);
}

// Counts rows through the sqlite3 tool, so the answer does not depend on the
// wrapper's own reading.
inline int toolCount(const std::string& dbPath, const std::string& table)
{
    return std::atoi(sqliteTool(dbPath, "select count(*) from " + table + ";").c_str());
}

} // namespace sqltest
