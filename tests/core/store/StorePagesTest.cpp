// A store file read from its pages: a table of crafted damage to a real
// file's trees, each with the rows that must still read and what the walk
// says it met. Every case is a file of 1,024-byte pages, so that a table of
// a few hundred rows has an interior page over many leaves.
#include "core/store/StorePages.h"
#include "tests/core/util/CoreTestSupport.h"

#include "platform/os/FileUtil.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <functional>
#include <map>
#include <set>
#include <sstream>

using core::StorePages;
using coretest::sqliteTool;
using coretest::toolInt;

namespace {

constexpr int kRows = 400;

std::string textOf(int row) { return "第" + std::to_string(row) + "行 row text"; }
// Every 50th row holds a text longer than its page: it goes on overflow pages.
bool isLong(int row) { return row % 50 == 0; }
std::string longText(int row) { return std::string(3000, char('a' + row % 26)) + std::to_string(row); }

class Pages : public ::testing::Test {
public:
    std::string db() const { return home.path() + "/pages.db"; }

    void make(const std::string& encoding = "UTF-8")
    {
        platform::FileUtil::remove(db());
        std::string sql = "PRAGMA page_size=1024; PRAGMA encoding='" + encoding
            + "'; CREATE TABLE t (id INTEGER PRIMARY KEY, body TEXT, size REAL, raw BLOB, none);"
              "CREATE TABLE other (x TEXT); BEGIN;";
        for (int i = 1; i <= kRows; ++i) {
            sql += "INSERT INTO t VALUES (" + std::to_string(i) + ", '" + (isLong(i) ? longText(i) : textOf(i)) + "', "
                + std::to_string(i) + ".5, x'00ff" + (i % 2 ? "01" : "02") + "', NULL);";
            sql += "INSERT INTO other VALUES ('other " + std::to_string(i) + "');";
        }
        sql += "COMMIT;";
        ASSERT_EQ(sqliteTool(db(), sql), "");
    }

    int root(const std::string& table) const
    {
        return toolInt(db(), "SELECT rootpage FROM sqlite_master WHERE name='" + table + "';");
    }
    // The table's leaves, in the tree's order.
    std::vector<int> leaves(const std::string& table) const
    {
        std::istringstream out(
            sqliteTool(db(), "SELECT pageno FROM dbstat WHERE name='" + table + "' AND pagetype='leaf' ORDER BY path;"));
        std::vector<int> pages;
        for (int page; out >> page;)
            pages.push_back(page);
        return pages;
    }
    std::string bytes() const
    {
        std::ifstream in(db(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void put(const std::string& bytes) const
    {
        std::ofstream out(db(), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        ASSERT_TRUE(out.good());
    }
    static unsigned at(const std::string& file, std::size_t offset, int length)
    {
        unsigned value = 0;
        for (int i = 0; i < length; ++i)
            value = value << 8 | static_cast<unsigned char>(file.at(offset + std::size_t(i)));
        return value;
    }
    static void set(std::string& file, std::size_t offset, unsigned value, int length)
    {
        for (int i = length - 1; i >= 0; --i, value >>= 8)
            file.at(offset + std::size_t(i)) = char(value & 0xff);
    }
    static std::size_t pageAt(int page) { return std::size_t(page - 1) * 1024; }
    // Where the child number of cell `cell` of an interior page is.
    static std::size_t childAt(const std::string& file, int page, int cell)
    {
        const std::size_t base = pageAt(page);
        return base + at(file, base + 12 + 2 * std::size_t(cell), 2);
    }

    // The rows of `t` the walk reads: each rowid with the body's text ("?"
    // for a row that has none).
    std::multimap<std::int64_t, std::string> walk(StorePages::Walk* met = nullptr, int top = 0) const
    {
        std::multimap<std::int64_t, std::string> read;
        auto file = StorePages::open(db());
        if (!file) {
            ADD_FAILURE() << "does not open";
            return read;
        }
        const auto done = file->rows(static_cast<std::uint32_t>(top ? top : root("t")), [&](StorePages::Row& row) {
            const auto* body = row.values.size() > 1 ? std::get_if<StorePages::Text>(&row.values[1]) : nullptr;
            read.emplace(row.rowid, body ? file->utf8(*body) : "?");
            return true;
        });
        if (met)
            *met = done;
        return read;
    }

    coretest::TempHome home;
    // Rows of another table's leaf that a walk of t reads as its own.
    std::set<std::int64_t> strangers;
};

// The rows of t but those lost, as the whole file holds them, and rows of
// another table read as t's.
std::multimap<std::int64_t, std::string> expectedWithout(
    const std::set<std::int64_t>& lost, const std::set<std::int64_t>& strangers)
{
    std::multimap<std::int64_t, std::string> rows;
    for (int i = 1; i <= kRows; ++i) {
        if (!lost.count(i))
            rows.emplace(i, isLong(i) ? longText(i) : textOf(i));
    }
    for (std::int64_t id : strangers)
        rows.emplace(id, "?");
    return rows;
}

// The rowids read but not expected, expected but not read, or read with
// another text; nothing when the two agree.
std::string differences(
    const std::multimap<std::int64_t, std::string>& read, const std::multimap<std::int64_t, std::string>& expected)
{
    std::string said;
    for (const auto& [id, text] : read) {
        const auto [from, to] = expected.equal_range(id);
        if (from == to)
            said += "read " + std::to_string(id) + "; ";
        else if (std::none_of(from, to, [&](const auto& row) { return row.second == text; }))
            said += "another text for " + std::to_string(id) + "; ";
    }
    for (const auto& [id, text] : expected) {
        if (read.count(id) < expected.count(id) && said.find("lost " + std::to_string(id) + ";") == std::string::npos)
            said += "lost " + std::to_string(id) + "; ";
    }
    return said;
}

TEST_F(Pages, AWholeTableReadsEveryRowWithItsValuesByPosition)
{
    make();
    auto file = StorePages::open(db());
    ASSERT_TRUE(file);
    std::vector<StorePages::Row> rows;
    const auto walk = file->rows(static_cast<std::uint32_t>(root("t")), [&](StorePages::Row& row) {
        rows.push_back(row);
        return true;
    });
    ASSERT_EQ(rows.size(), std::size_t(kRows));
    EXPECT_EQ(walk.rows, kRows);
    EXPECT_EQ(walk.pagesPassedOver + walk.cellsPassedOver + walk.pagesNamedAgain, 0);
    for (int i = 1; i <= kRows; ++i) {
        const auto& row = rows[std::size_t(i - 1)];
        ASSERT_EQ(row.rowid, i) << "in the tree's order";
        ASSERT_EQ(row.values.size(), 5u);
        // The key is the rowid: its field is stored as NULL.
        EXPECT_TRUE(std::holds_alternative<std::monostate>(row.values[0]));
        EXPECT_EQ(std::get<StorePages::Text>(row.values[1]).bytes, isLong(i) ? longText(i) : textOf(i));
        EXPECT_EQ(std::get<double>(row.values[2]), i + 0.5);
        EXPECT_EQ(std::get<StorePages::Blob>(row.values[3]).bytes, std::string("\x00\xff", 2) + (i % 2 ? "\x01" : "\x02"));
        EXPECT_TRUE(std::holds_alternative<std::monostate>(row.values[4]));
    }
    // The table list, by position, without the text.
    const auto entries = file->entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].type, "table");
    EXPECT_EQ(entries[0].name, "t");
    EXPECT_EQ(entries[0].table, "t");
    EXPECT_EQ(entries[0].rootPage, root("t"));
    EXPECT_EQ(entries[1].name, "other");
    EXPECT_TRUE(file->isTablePage(std::uint32_t(root("other"))));
    EXPECT_FALSE(file->isTablePage(file->pageCount() + 1));
}

// An index's keys: the rowid each record ends with, from its interior pages
// as from its leaves, a long key gathered from its overflow pages.
TEST_F(Pages, AnIndexHandsOverTheRowidOfEachOfItsKeys)
{
    make();
    ASSERT_EQ(sqliteTool(db(), "CREATE INDEX t_body ON t(body);"), "");
    ASSERT_GT(toolInt(db(), "SELECT count(*) FROM dbstat WHERE name='t_body' AND pagetype='internal';"), 0);
    auto file = StorePages::open(db());
    ASSERT_TRUE(file);
    std::multiset<std::int64_t> keys;
    auto into = [&](std::int64_t rowid) {
        keys.insert(rowid);
        return true;
    };
    const auto walk = file->keys(static_cast<std::uint32_t>(root("t_body")), into);
    std::multiset<std::int64_t> every;
    for (int i = 1; i <= kRows; ++i)
        every.insert(i);
    EXPECT_EQ(keys, every);
    EXPECT_EQ(walk.rows, kRows);
    EXPECT_EQ(walk.pagesPassedOver + walk.cellsPassedOver + walk.pagesNamedAgain, 0);
    // A table's tree is no index: its pages are passed over.
    keys.clear();
    EXPECT_GT(file->keys(static_cast<std::uint32_t>(root("t")), into).pagesPassedOver, 0);
    EXPECT_TRUE(keys.empty());
}

TEST_F(Pages, DamageLosesTheRowsOfItsOwnPagesOnly)
{
    struct Case {
        const char* name;
        // Damages the file's bytes; answers the rowids that no longer read.
        std::function<std::set<std::int64_t>(Pages&, std::string&)> damage;
        long long passedOver;
        long long cellsPassedOver;
        long long namedAgain;
    };
    // The rowids on a leaf of t, read from the whole file by its own walk.
    auto rowidsOn = [](Pages& test, int leaf) {
        // dbstat gives no rowids: read the leaf's cells.
        std::set<std::int64_t> ids;
        const std::string file = test.bytes();
        const std::size_t base = pageAt(leaf);
        const unsigned cells = at(file, base + 3, 2);
        for (unsigned i = 0; i < cells; ++i) {
            std::size_t cell = base + at(file, base + 8 + 2 * i, 2);
            while (static_cast<unsigned char>(file.at(cell)) & 0x80)
                ++cell; // the payload's size
            ++cell;
            std::int64_t id = 0;
            while (static_cast<unsigned char>(file.at(cell)) & 0x80)
                id = id << 7 | (file.at(cell++) & 0x7f);
            ids.insert(id << 7 | file.at(cell));
        }
        return ids;
    };
    const Case cases[] = {
        // The first child named as the last leaf: every leaf between reads,
        // and the last leaf once; the first leaf's rows are named no more.
        { "a child named forward, to the table's last leaf",
            [&](Pages& test, std::string& file) {
                const auto all = test.leaves("t");
                const auto lost = rowidsOn(test, all.front());
                set(file, childAt(file, test.root("t"), 0), unsigned(all.back()), 4);
                return lost;
            },
            0, 0, 1 },
        { "a child named forward, to a middle leaf",
            [&](Pages& test, std::string& file) {
                const auto all = test.leaves("t");
                const auto lost = rowidsOn(test, all.front());
                set(file, childAt(file, test.root("t"), 0), unsigned(all[all.size() / 2]), 4);
                return lost;
            },
            0, 0, 1 },
        // A leaf of another table: read here too, as the library's cursor
        // reads it (its rows have no body of t's).
        { "a child named as a leaf of another table",
            [&](Pages& test, std::string& file) {
                const auto all = test.leaves("t");
                const auto lost = rowidsOn(test, all.front());
                const int stranger = test.leaves("other")[2];
                test.strangers = rowidsOn(test, stranger);
                set(file, childAt(file, test.root("t"), 0), unsigned(stranger), 4);
                return lost;
            },
            0, 0, 0 },
        // Page 1 holds the table list, and no other tree's rows: a tree
        // naming it reads nothing there.
        { "a child named as page 1, the table list's",
            [&](Pages& test, std::string& file) {
                const auto lost = rowidsOn(test, test.leaves("t").front());
                set(file, childAt(file, test.root("t"), 0), 1, 4);
                return lost;
            },
            1, 0, 0 },
        { "the top page names itself",
            [&](Pages& test, std::string& file) {
                const auto lost = rowidsOn(test, test.leaves("t")[1]);
                set(file, childAt(file, test.root("t"), 1), unsigned(test.root("t")), 4);
                return lost;
            },
            0, 0, 1 },
        { "a child named past the file's end",
            [&](Pages& test, std::string& file) {
                const auto lost = rowidsOn(test, test.leaves("t")[3]);
                set(file, childAt(file, test.root("t"), 3), 999999, 4);
                return lost;
            },
            1, 0, 0 },
        // Two stretches of damage with a page that reads between them.
        { "two leaves zeroed, one between",
            [&](Pages& test, std::string& file) {
                const auto all = test.leaves("t");
                auto lost = rowidsOn(test, all[2]);
                const auto more = rowidsOn(test, all[4]);
                lost.insert(more.begin(), more.end());
                file.replace(pageAt(all[2]), 1024, 1024, '\0');
                file.replace(pageAt(all[4]), 1024, 1024, '\0');
                return lost;
            },
            2, 0, 0 },
        { "a leaf whose cells would run past it",
            [&](Pages& test, std::string& file) {
                const int leaf = test.leaves("t")[5];
                const auto lost = rowidsOn(test, leaf);
                set(file, pageAt(leaf) + 3, 600, 2);
                return lost;
            },
            1, 0, 0 },
        // More cells than a page of 1,024 bytes can hold (169), their
        // pointers within it: refused, as the library refuses it, rather
        // than read from the bytes of its cells.
        { "a leaf counting more cells than it can hold",
            [&](Pages& test, std::string& file) {
                const int leaf = test.leaves("t")[5];
                const auto lost = rowidsOn(test, leaf);
                set(file, pageAt(leaf) + 3, 170, 2);
                return lost;
            },
            1, 0, 0 },
        // A page of no cells below the top: refused, as the library refuses
        // it (an interior one names its right child all the same).
        { "an interior page of no cells below the top",
            [&](Pages& test, std::string& file) {
                const int top = test.root("t");
                const auto all = test.leaves("t");
                // The second leaf's place names a page made interior, of no
                // cells, whose right child is the third leaf.
                const int other = test.leaves("other")[0];
                file.replace(pageAt(other), 12, std::string { char(0x05), 0, 0, 0, 0, char(0x03), char(0xff), 0 }
                    + std::string { char(all[2] >> 24), char(all[2] >> 16), char(all[2] >> 8), char(all[2]) });
                set(file, childAt(file, top, 1), unsigned(other), 4);
                return rowidsOn(test, all[1]);
            },
            1, 0, 0 },
        // One cell's pointer out of its page: that row alone.
        // A pointer is taken within its page by its low bits, as the
        // library takes it: one past the page still names its cell.
        { "a cell pointer past the page",
            [&](Pages& test, std::string& file) {
                const int leaf = test.leaves("t")[6];
                const std::size_t pointer = pageAt(leaf) + 8 + 2;
                set(file, pointer, at(file, pointer, 2) + 1024, 2);
                return std::set<std::int64_t> {};
            },
            0, 0, 0 },
        // One naming the page's header reads no row there: that row alone is lost.
        { "a cell pointer naming the page's header",
            [&](Pages& test, std::string& file) {
                const int leaf = test.leaves("t")[6];
                const std::size_t pointer = pageAt(leaf) + 8 + 2;
                const auto ids = rowidsOn(test, leaf);
                set(file, pointer, 1024 + 6, 2);
                return std::set<std::int64_t> { *std::next(ids.begin()) };
            },
            0, 1, 0 },
        // A cell whose sizes are zeroed is a record of no bytes: a row of
        // rowid 0 with no fields, as the library reads it.
        { "a cell's sizes zeroed",
            [&](Pages& test, std::string& file) {
                const int leaf = test.leaves("t")[4];
                const std::size_t cell = pageAt(leaf) + at(file, pageAt(leaf) + 8, 2);
                const auto ids = rowidsOn(test, leaf);
                set(file, cell, 0, 2);
                test.strangers = { 0 };
                return std::set<std::int64_t> { *ids.begin() };
            },
            0, 0, 0 },
        // A record of 2^64 - 1 bytes whose header names two fields of
        // 2^63 - 7 bytes each: their sum wraps to less than the bytes of the
        // cell, but neither is there. That row alone.
        { "a record's field sizes that wrap",
            [&](Pages& test, std::string& file) {
                const int leaf = test.leaves("t")[2];
                std::size_t cell = pageAt(leaf) + at(file, pageAt(leaf) + 8, 2);
                const auto ids = rowidsOn(test, leaf);
                std::size_t rowid = cell;
                while (static_cast<unsigned char>(file.at(rowid)) & 0x80)
                    ++rowid; // the payload's size
                ++rowid;
                std::size_t header = rowid;
                while (static_cast<unsigned char>(file.at(header)) & 0x80)
                    ++header;
                ++header;
                // The cell's sizes, its rowid and a header of 19 bytes: its
                // size, and two types of nine bytes, all bits set (a text of
                // (2^64 - 13) / 2 bytes). Within the cell's own bytes.
                const std::string damaged = std::string(9, char(0xff)) + file.substr(rowid, header - rowid)
                    + char(19) + std::string(18, char(0xff));
                file.replace(cell, damaged.size(), damaged);
                return std::set<std::int64_t> { *ids.begin() };
            },
            0, 1, 0 },
        // A long row's overflow chain cut: that row alone.
        { "an overflow chain named out of the file",
            [&](Pages& test, std::string& file) {
                for (int leaf : test.leaves("t")) {
                    if (!rowidsOn(test, leaf).count(100))
                        continue;
                    const std::size_t base = pageAt(leaf);
                    for (unsigned i = 0; i < at(file, base + 3, 2); ++i) {
                        const std::size_t cell = base + at(file, base + 8 + 2 * i, 2);
                        // A payload of over 3,000 bytes: two bytes of size, one of rowid.
                        if (at(file, cell + 2, 1) == 100) {
                            // The cell's last four bytes name the first overflow page.
                            std::size_t end = cell + 3;
                            const unsigned total = (at(file, cell, 1) & 0x7f) << 7 | at(file, cell + 1, 1);
                            const unsigned usable = 1024;
                            const unsigned least = (usable - 12) * 32 / 255 - 23;
                            const unsigned fit = least + (total - least) % (usable - 4);
                            end += fit <= usable - 35 ? fit : least;
                            set(file, end, 999999, 4);
                        }
                    }
                }
                return std::set<std::int64_t> { 100 };
            },
            1, 1, 0 },
        // The top page named by four of its own cells: read once.
        { "the top page named by four of its cells",
            [&](Pages& test, std::string& file) {
                const int top = test.root("t");
                const auto all = test.leaves("t");
                for (int cell = 0; cell < 4; ++cell)
                    set(file, childAt(file, top, cell), unsigned(top), 4);
                std::set<std::int64_t> lost;
                for (int cell = 0; cell < 4; ++cell) {
                    const auto ids = rowidsOn(test, all[std::size_t(cell)]);
                    lost.insert(ids.begin(), ids.end());
                }
                return lost;
            },
            0, 0, 4 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        make();
        ASSERT_GE(leaves("t").size(), 8u);
        strangers.clear();
        std::string file = bytes();
        const auto lost = c.damage(*this, file);
        put(file);
        StorePages::Walk met;
        EXPECT_EQ(differences(walk(&met), expectedWithout(lost, strangers)), "");
        EXPECT_EQ(met.pagesPassedOver, c.passedOver);
        EXPECT_EQ(met.cellsPassedOver, c.cellsPassedOver);
        EXPECT_EQ(met.pagesNamedAgain, c.namedAgain);
    }
}

// The table list read by position: a bit flipped in an entry's type, name
// or text leaves the other fields as they were.
TEST_F(Pages, TheTableListReadsEachEntryByPosition)
{
    struct Case {
        const char* what;
        const char* near; // the bytes the flipped one is among
        std::size_t offset; // of the byte flipped in them
        const char* type;
        const char* name;
        const char* table;
    };
    const Case cases[] = {
        // The library refuses the whole list: its text does not parse.
        { "its text's CREATE", "CREATE TABLE t", 2, "table", "t", "t" },
        { "its type", "tablett", 4, "tabld", "t", "t" },
        { "its name", "tablett", 5, "table", "u", "t" },
        { "the table it belongs to", "tablett", 6, "table", "t", "u" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        make();
        std::string file = bytes();
        // The entry of t is on page 1, the first of the list.
        const std::size_t at = file.find(c.near);
        ASSERT_LT(at, std::size_t(1024));
        file[at + c.offset] = char(file[at + c.offset] ^ 1);
        put(file);
        auto pages = StorePages::open(db());
        ASSERT_TRUE(pages);
        const auto entries = pages->entries();
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].type, c.type);
        EXPECT_EQ(entries[0].name, c.name);
        EXPECT_EQ(entries[0].table, c.table);
        EXPECT_EQ(entries[0].rootPage, 2);
        EXPECT_EQ(entries[1].name, "other");
        EXPECT_EQ(walk(nullptr, 2).size(), std::size_t(kRows));
        if (c.offset == 2) {
            EXPECT_NE(sqliteTool(db(), "SELECT count(*) FROM other;"), std::to_string(kRows) + "\n");
        }
    }
}

// A file in UTF-16 gives its texts in its encoding; a header that gives no
// page size reads at the one its table list reads at.
TEST_F(Pages, TheFilesEncodingAndHeaderAreItsOwn)
{
    make("UTF-16le");
    auto file = StorePages::open(db());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->encoding(), StorePages::Encoding::Utf16le);
    EXPECT_EQ(file->entries().at(0).name, "t");
    bool checked = false;
    file->rows(static_cast<std::uint32_t>(root("t")), [&](StorePages::Row& row) {
        const auto& body = std::get<StorePages::Text>(row.values[1]).bytes;
        EXPECT_EQ(body.size(), 2 * std::string(" row text").size() + 2 * 3) << "第1行 is three characters";
        EXPECT_EQ(body.substr(0, 2), std::string("\x2c\x7b", 2)) << "第, little-endian";
        checked = true;
        return false;
    });
    EXPECT_TRUE(checked);
    // The library takes the encoding by the field's two low bits (none
    // set: UTF-8): a field with others set reads as its two low bits say.
    std::string bytes = this->bytes();
    bytes.replace(56, 4, std::string("\x00\xff\xff\xfe", 4));
    put(bytes);
    EXPECT_EQ(StorePages::open(db())->encoding(), StorePages::Encoding::Utf16le);
    bytes.replace(56, 4, std::string("\x00\xff\xff\xff", 4));
    put(bytes);
    EXPECT_EQ(StorePages::open(db())->encoding(), StorePages::Encoding::Utf16be);
    bytes.replace(56, 4, std::string("\x00\x00\x00\x04", 4));
    put(bytes);
    EXPECT_EQ(StorePages::open(db())->encoding(), StorePages::Encoding::Utf8);
    // A header whose page size the format does not allow reads at the size
    // at which page 1 reads as the table list; one whose first bytes are
    // damaged too, in the encoding in which the list's types read.
    make();
    const auto whole = walk();
    const int top = root("t");
    bytes = this->bytes();
    bytes.replace(16, 2, "\x03\x00", 2);
    put(bytes);
    for (const bool magicDamaged : { false, true }) {
        if (magicDamaged) {
            bytes.replace(0, 16, std::string(16, '#'));
            bytes.replace(56, 4, std::string("\x00\x00\x00\x03", 4));
            put(bytes);
        }
        const auto read = StorePages::open(db());
        ASSERT_TRUE(read) << "a page size of 768";
        EXPECT_EQ(read->encoding(), StorePages::Encoding::Utf8);
        EXPECT_EQ(read->entries().at(0).name, "t");
        EXPECT_EQ(walk(nullptr, top), whole);
    }
    // With page 1 unreadable too, no size reads.
    bytes.replace(100, 8, std::string(8, '\xff'));
    put(bytes);
    EXPECT_FALSE(StorePages::open(db()));
    EXPECT_FALSE(StorePages::open(home.path() + "/none.db"));
}

} // namespace
