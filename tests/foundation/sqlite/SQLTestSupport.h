#pragma once

#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLResultSet.h"

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
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "orb-sqlite-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string path(const std::string& name = "test.db") const { return (dir_ / name).string(); }

    std::shared_ptr<SQLDatabase> openDatabase(const std::string& name = "test.db") const
    {
        auto db = SQLDatabase::databaseWithPath(path(name));
        EXPECT_TRUE(db->open());
        return db;
    }

    std::filesystem::path dir_;
};

inline std::string shellQuoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

// Runs the sqlite3 command-line tool on a database file and returns what it
// printed (list mode, '|' between columns, one line per row).
inline std::string sqliteTool(const std::string& dbPath, const std::string& sql, const std::string& options = "")
{
    std::string command = "sqlite3 -batch " + options + " " + shellQuoted(dbPath) + " " + shellQuoted(sql) + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return "<popen failed>";
    std::string out;
    std::array<char, 4096> buffer;
    std::size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        out.append(buffer.data(), n);
    pclose(pipe);
    return out;
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
