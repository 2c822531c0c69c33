#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace core {

// A store file read from its bytes, page by page, as the database file
// format lays its trees out, without the library's cursor: for a file the
// library cannot read as a whole (its table list does not parse, a tree
// names its pages out of order or twice). Each walk reads every page of the
// tree at most once, whatever the pages name, and no more overflow pages
// than the file has (a chain naming a page again ends there), so it costs at
// most twice the file's length; a page that is not what its parent says it
// is (not a table's page, more cells than it can hold, no cells below the
// tree's top) is passed over, as the library refuses it, and its siblings
// are read all the same. Page 1 is the table list's top by the file format,
// read as a leaf or an interior page by what its bytes show whatever its
// type byte says, and read only as the table list: named in another tree
// it is passed over (the library's cursor reads it there), so that the
// list's records are never taken for a table's rows. Every size read from
// the file is checked against what remains of its record or page before it
// is added to another.
class StorePages final {
public:
    struct Text {
        std::string bytes; // in the file's encoding
    };
    struct Blob {
        std::string bytes;
    };
    // A field of a record as it is stored: NULL, an integer, a real, a text
    // or a blob.
    using Value = std::variant<std::monostate, std::int64_t, double, Text, Blob>;

    struct Row {
        std::int64_t rowid = 0;
        std::vector<Value> values; // by position
        // The record names more fields than were asked for.
        bool longer = false;
    };

    // An entry of the file's table list: the first four fields of its
    // record, by position (its text, the fifth, is never read).
    struct Entry {
        std::string type;
        std::string name;
        std::string table;
        std::int64_t rootPage = 0;
    };

    // What a walk of one tree met.
    struct Walk {
        long long rows = 0;
        // Named by a page of the tree, but out of the file, not a table's
        // page, or not laid out as one.
        long long pagesPassedOver = 0;
        // A cell out of its page, or a record that does not read (its
        // overflow pages lost, its fields past its end).
        long long cellsPassedOver = 0;
        // Named again after they were read: not followed again.
        long long pagesNamedAgain = 0;
    };

    enum class Encoding { Utf8, Utf16le, Utf16be };

    // Nothing when the file does not open, or gives no page size: its
    // header's, where page 1 reads at it, or else the one at which page 1
    // reads as the table list.
    static std::unique_ptr<StorePages> open(const std::string& path);
    ~StorePages();
    StorePages(const StorePages&) = delete;
    StorePages& operator=(const StorePages&) = delete;

    Encoding encoding() const { return encoding_; }
    std::uint32_t pageCount() const { return pageCount_; }
    // Whether `page` is in the file and laid out as a table's page.
    bool isTablePage(std::uint32_t page) const;

    // The table list, read from its tree at page 1.
    std::vector<Entry> entries(Walk* walk = nullptr) const;

    // Every row of the tree whose top is `root`, in the tree's order, each
    // handed to `row` (which returns false to stop the walk). Only the first
    // `fields` fields of each record are read when `fields` is not 0, as the
    // library reads a table's columns: what the record says past them is not
    // looked at.
    Walk rows(std::uint32_t root, const std::function<bool(Row&)>& row, std::size_t fields = 0) const;

    // Every key of the index tree whose top is `root`, each handed to `key`
    // as the rowid its record ends with (which returns false to stop the
    // walk), in no set order; read with the same care as a table's tree. A
    // key whose record does not end with an integer is passed over.
    Walk keys(std::uint32_t root, const std::function<bool(std::int64_t)>& key) const;

    // A text of the file as UTF-8 (its non-ASCII characters as '?' when the
    // file is in UTF-16).
    std::string utf8(const Text& text) const;

private:
    StorePages() = default;
    class Reading;
    // How a page lays out its cells.
    struct Layout {
        bool valid = false; // a table's page, its pointers within it
        bool interior = false;
        std::uint32_t cells = 0;
        std::uint32_t pointers = 0; // where the cells' pointers begin
        std::uint32_t rightChild = 0;
    };
    bool readPage(std::uint32_t page, std::vector<unsigned char>& into) const;
    // Whether page 1 reads, at the page size taken, as the table list: its
    // cells within it and read whole, a table or an index among them.
    bool readsAsTheList() const;
    // Whether a table or an index is among the entries, by their types as
    // they read in the encoding taken.
    static bool listsATable(const std::vector<Entry>& list);
    // `index`: laid out as an index's page rather than a table's.
    Layout layoutOf(std::uint32_t page, const std::vector<unsigned char>& bytes, bool index = false) const;
    // A tree's walk: each record handed to `record`, with the rowid of a
    // table's cell.
    Walk walkTree(std::uint32_t root, bool index, const std::function<bool(Row&)>& record, std::size_t fields) const;

    int fd_ = -1;
    std::uint32_t pageSize_ = 0;
    std::uint32_t usable_ = 0;
    std::uint32_t pageCount_ = 0;
    Encoding encoding_ = Encoding::Utf8;
};

} // namespace core
