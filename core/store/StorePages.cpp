#include "core/store/StorePages.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <cstring>

namespace core {

namespace {

    constexpr std::uint8_t kInteriorTable = 0x05;
    constexpr std::uint8_t kLeafTable = 0x0d;
    constexpr std::uint8_t kInteriorIndex = 0x02;
    constexpr std::uint8_t kLeafIndex = 0x0a;
    constexpr std::size_t kFileHeader = 100;

    std::uint32_t be16(const unsigned char* p) { return std::uint32_t(p[0]) << 8 | p[1]; }
    std::uint32_t be32(const unsigned char* p)
    {
        return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
    }

    // A variable-length integer of the file format at `p`; the bytes it
    // takes, or 0 when it runs past `end`.
    int varint(const unsigned char* p, const unsigned char* end, std::uint64_t& value)
    {
        value = 0;
        for (int i = 0; i < 8; ++i) {
            if (p + i >= end)
                return 0;
            value = value << 7 | (p[i] & 0x7f);
            if ((p[i] & 0x80) == 0)
                return i + 1;
        }
        if (p + 8 >= end)
            return 0;
        value = value << 8 | p[8];
        return 9;
    }

    // The bytes of a field of serial type `type`. The two types the format
    // keeps for itself take none and read as NULL, as the library reads them.
    std::uint64_t fieldSize(std::uint64_t type)
    {
        static constexpr std::uint64_t kSizes[] = { 0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0 };
        return type < 12 ? kSizes[type] : (type - 12) / 2;
    }

    // What is left of a stretch of bytes whose size the file gives: every
    // size read from the file is taken from what remains of the stretch it
    // lies in, and refused when it is more, so that no sum of sizes can pass
    // the stretch's end or wrap.
    class Remaining {
    public:
        explicit Remaining(std::uint64_t bytes)
            : left_(bytes)
        {
        }
        bool take(std::uint64_t size)
        {
            if (size > left_)
                return false;
            left_ -= size;
            return true;
        }
        std::uint64_t left() const { return left_; }

    private:
        std::uint64_t left_;
    };

    // Whether page 1's bytes (`p`, past the file's header) read as a table's
    // page of that kind: its cells' pointers past its own header and within
    // the page, and as an interior page each cell's child a page of the file
    // (of any number, with `anyChild`).
    bool firstPageReadsAs(
        bool interior, const unsigned char* p, std::uint32_t pageSize, std::uint32_t pageCount, bool anyChild = false)
    {
        const unsigned char* page = p - kFileHeader;
        const std::uint32_t header = interior ? 12 : 8;
        const std::uint32_t cells = be16(p + 3);
        const std::uint32_t pointersEnd = kFileHeader + header + 2 * cells;
        if (pointersEnd > pageSize)
            return false;
        for (std::uint32_t i = 0; i < cells; ++i) {
            const std::uint32_t cell = be16(p + header + 2 * i);
            if (cell < pointersEnd || cell >= pageSize)
                return false;
            if (!interior)
                continue;
            if (cell + 4 > pageSize)
                return false;
            const std::uint32_t child = be32(page + cell);
            if (!anyChild && (child < 2 || child > pageCount))
                return false;
        }
        return true;
    }

    // Page 1 is the table list's top by the file format, whatever its type
    // byte says: it is read as the page its bytes show. As an interior page,
    // its cells' children are pages of the file (its right child too, where
    // it has no cell: a right child alone may be damaged, or past the end
    // of a file cut short, and the other children still read); as a leaf,
    // its cells' pointers point past the pointers and within the page. The
    // right child's four bytes are a leaf's first two pointers: a leaf's
    // first pointer is at least 108 (past the headers), so as a page number
    // they are past the end of any file of fewer than 108 * 2^16 pages, and
    // the right child of such a file begins with a number below 108, which
    // points at no cell. So a type byte is kept where the page reads as it
    // says, and a damaged one gives way to the reading that holds; where
    // neither reading holds, or both do, the type byte decides.
    std::uint8_t firstPageType(const unsigned char* p, std::uint32_t pageSize, std::uint32_t pageCount)
    {
        const std::uint32_t right = be32(p + 8);
        const bool interior = firstPageReadsAs(true, p, pageSize, pageCount)
            && (be16(p + 3) > 0 || (right >= 2 && right <= pageCount));
        const bool leaf = firstPageReadsAs(false, p, pageSize, pageCount);
        if ((p[0] == kInteriorTable && interior) || (p[0] == kLeafTable && leaf) || interior == leaf)
            return p[0] == kInteriorTable ? kInteriorTable : kLeafTable;
        return interior ? kInteriorTable : kLeafTable;
    }

    StorePages::Value fieldValue(std::uint64_t type, const unsigned char* p, std::uint64_t size)
    {
        switch (type) {
        case 0:
        case 10:
        case 11:
            return std::monostate {};
        case 8:
            return std::int64_t(0);
        case 9:
            return std::int64_t(1);
        case 7: {
            std::uint64_t bits = 0;
            for (int i = 0; i < 8; ++i)
                bits = bits << 8 | p[i];
            double real;
            std::memcpy(&real, &bits, sizeof real);
            return real;
        }
        default:
            break;
        }
        if (type <= 6) {
            // Big-endian two's complement, sign-extended from its top byte.
            std::uint64_t bits = (p[0] & 0x80) ? ~std::uint64_t(0) : 0;
            for (std::uint64_t i = 0; i < size; ++i)
                bits = bits << 8 | p[i];
            return static_cast<std::int64_t>(bits);
        }
        std::string bytes(reinterpret_cast<const char*>(p), size);
        if (type % 2 == 0)
            return StorePages::Blob { std::move(bytes) };
        return StorePages::Text { std::move(bytes) };
    }

} // namespace

// One walk over the file: the pages read so far, each at most once.
class StorePages::Reading {
public:
    explicit Reading(const StorePages& file)
        : file_(file)
        , read_(std::size_t(file.pageCount_) + 1, false)
        , chained_(std::size_t(file.pageCount_) + 1, 0)
        , overflowLeft_(file.pageCount_)
        , page_(file.pageSize_)
        , overflow_(file.pageSize_)
    {
    }

    StorePages::Walk walk;

    // Reads `page` into `into` when it is in the file and not read before
    // in this walk.
    bool take(std::uint32_t page, std::vector<unsigned char>& into)
    {
        if (page == 0 || page > file_.pageCount_) {
            ++walk.pagesPassedOver;
            return false;
        }
        if (read_[page]) {
            ++walk.pagesNamedAgain;
            return false;
        }
        read_[page] = true;
        if (!file_.readPage(page, into)) {
            ++walk.pagesPassedOver;
            return false;
        }
        return true;
    }

    std::vector<unsigned char>& page() { return page_; }

    // Starts the overflow chain of another record.
    void newChain() { ++chain_; }

    // Reads the next page of a record's overflow chain into `into`: a page
    // of the file that this chain has not named before. A page may be named
    // by the chains of two records (and by the tree), but the walk reads no
    // more overflow pages than the file has.
    bool takeOverflow(std::uint32_t page, std::vector<unsigned char>& into)
    {
        if (page == 0 || page > file_.pageCount_ || chained_[page] == chain_ || overflowLeft_ == 0) {
            ++walk.pagesPassedOver;
            return false;
        }
        chained_[page] = chain_;
        --overflowLeft_;
        if (!file_.readPage(page, into)) {
            ++walk.pagesPassedOver;
            return false;
        }
        return true;
    }

    // A record's payload, gathered from its cell and its overflow pages only
    // as far as it is asked for.
    class Payload {
    public:
        Payload(Reading& reading, const unsigned char* local, std::uint64_t localSize, std::uint32_t next,
            std::uint64_t total)
            : reading_(reading)
            , bytes_(reinterpret_cast<const char*>(local), localSize)
            , next_(next)
            , total_(total)
        {
        }

        const unsigned char* data() const { return reinterpret_cast<const unsigned char*>(bytes_.data()); }

        // The first `want` bytes (at most the whole) gathered; false when an
        // overflow page they are on does not read.
        bool gather(std::uint64_t want)
        {
            want = std::min(want, total_);
            const std::uint32_t usable = reading_.file_.usable_;
            while (bytes_.size() < want) {
                if (!reading_.takeOverflow(next_, reading_.overflow_))
                    return false;
                const unsigned char* page = reading_.overflow_.data();
                next_ = be32(page);
                const std::uint64_t more = std::min<std::uint64_t>(usable - 4, total_ - bytes_.size());
                bytes_.append(reinterpret_cast<const char*>(page + 4), more);
            }
            return true;
        }

    private:
        Reading& reading_;
        std::string bytes_;
        std::uint32_t next_;
        std::uint64_t total_;
    };

    // The record of a table leaf's cell (or, with `index`, an index page's
    // cell past its child's number) at `offset` of the page held, its first
    // `fields` fields (all when 0); false when it does not read.
    bool record(std::uint32_t offset, std::size_t fields, Row& row, bool index = false)
    {
        const std::uint32_t usable = file_.usable_;
        const unsigned char* page = page_.data();
        // A cell is read up to the page's end, its bytes kept for other
        // uses included, as the library reads it; how much of a record a
        // cell holds is reckoned without them.
        const unsigned char* end = page + file_.pageSize_;
        const unsigned char* cell = page + offset;
        std::uint64_t total = 0;
        std::uint64_t rowid = 0;
        int n = varint(cell, end, total);
        if (n == 0)
            return false;
        cell += n;
        if (!index) {
            n = varint(cell, end, rowid);
            if (n == 0)
                return false;
            cell += n;
        }
        // How much of it the cell holds, by the format's rule (an index's
        // cell holds less of its record on its page).
        const std::uint64_t most = index ? (std::uint64_t(usable) - 12) * 64 / 255 - 23 : usable - 35;
        std::uint64_t local = total;
        if (total > most) {
            const std::uint64_t least = (std::uint64_t(usable) - 12) * 32 / 255 - 23;
            const std::uint64_t fit = least + (total - least) % (usable - 4);
            local = fit <= most ? fit : least;
        }
        const bool overflows = local < total;
        std::uint32_t next = 0;
        // The cell's bytes on its page: its local part, then the number of
        // its first overflow page.
        Remaining onPage(std::uint64_t(end - cell));
        if (!onPage.take(local) || (overflows && !onPage.take(4))) {
            // A cell running past its page: what of it is on the page reads
            // (as the library reads it), its overflow pages do not.
            local = std::uint64_t(end - cell);
        } else if (overflows) {
            next = be32(cell + local);
        }
        newChain();
        Payload payload(*this, cell, local, next, total);
        row.rowid = static_cast<std::int64_t>(rowid);
        row.values.clear();
        row.longer = false;

        // A record of no bytes has no fields: each reads as its column's
        // default, as the library reads it.
        if (total == 0)
            return true;
        // The record's header, then its fields' bytes, each taken from what
        // remains of the record.
        Remaining record(total);
        std::uint64_t headerSize = 0;
        if (!payload.gather(9))
            return false;
        const int sizeBytes = varint(payload.data(), payload.data() + std::min<std::uint64_t>(9, total), headerSize);
        if (sizeBytes == 0 || !record.take(headerSize) || !payload.gather(headerSize))
            return false;
        // The fields' types and sizes, as far as the last one asked for. A
        // header that ends before its own size does names no field.
        struct Field {
            std::uint64_t type;
            std::uint64_t size;
        };
        std::vector<Field> found;
        const unsigned char* typesEnd = payload.data() + headerSize;
        const unsigned char* at = payload.data() + std::min<std::uint64_t>(std::uint64_t(sizeBytes), headerSize);
        while (at < typesEnd && (fields == 0 || found.size() < fields)) {
            std::uint64_t type = 0;
            const int used = varint(at, typesEnd, type);
            if (used == 0)
                return false;
            at += used;
            const std::uint64_t size = fieldSize(type);
            if (!record.take(size))
                return false;
            found.push_back({ type, size });
        }
        row.longer = at < typesEnd;
        // Where the last field asked for ends: within the record.
        if (!payload.gather(total - record.left()))
            return false;
        std::uint64_t offsetInBody = headerSize;
        for (const Field& field : found) {
            row.values.push_back(fieldValue(field.type, payload.data() + offsetInBody, field.size));
            offsetInBody += field.size;
        }
        return true;
    }

private:
    const StorePages& file_;
    std::vector<bool> read_;
    std::vector<std::uint32_t> chained_;
    std::uint32_t chain_ = 0;
    std::uint32_t overflowLeft_;
    std::vector<unsigned char> page_;
    std::vector<unsigned char> overflow_;
};

std::unique_ptr<StorePages> StorePages::open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    std::unique_ptr<StorePages> file(new StorePages());
    file->fd_ = fd;
    unsigned char header[kFileHeader];
    struct stat info { };
    if (::pread(fd, header, sizeof header, 0) != ssize_t(sizeof header) || ::fstat(fd, &info) != 0)
        return nullptr;
    auto allowed = [&](std::uint32_t size) {
        return size >= 512 && size <= 65536 && (size & (size - 1)) == 0 && size - header[20] >= 480;
    };
    auto readAt = [&](std::uint32_t size) {
        file->pageSize_ = size;
        file->usable_ = size - header[20];
        // A last page cut short reads as the library reads it: what is
        // there, and zeros after.
        file->pageCount_ = static_cast<std::uint32_t>(
            std::min<std::uint64_t>((std::uint64_t(info.st_size) + size - 1) / size, 0xffffffffu));
    };
    // By the encoding field's two low bits, as the library takes it (none
    // set: UTF-8). A header the library refuses whole (its first bytes are
    // not the format's) says nothing for certain: there, where the table
    // list's types read in another encoding only, in that one.
    auto encodingOf = [](std::uint32_t field) {
        return (field & 3) == 2 ? Encoding::Utf16le : (field & 3) == 3 ? Encoding::Utf16be : Encoding::Utf8;
    };
    const Encoding stated = encodingOf(be32(header + 56));
    std::vector<Encoding> encodings { stated };
    if (std::memcmp(header, "SQLite format 3", 16) != 0) {
        for (const Encoding other : { Encoding::Utf8, Encoding::Utf16le, Encoding::Utf16be }) {
            if (other != stated)
                encodings.push_back(other);
        }
    }
    // The first encoding in which `reads` holds, or the stated one.
    auto readsIn = [&](const std::function<bool()>& reads) {
        for (const Encoding encoding : encodings) {
            file->encoding_ = encoding;
            if (reads())
                return true;
        }
        file->encoding_ = stated;
        return false;
    };
    // The page size the header gives, where page 1 reads at it; otherwise
    // (a bit of the field damaged gives a size the format does not allow)
    // the smallest at which page 1 reads as the table list, as no other
    // does: its cells lie at the end of the page, past any smaller one.
    std::uint32_t given = be16(header + 16);
    if (given == 1)
        given = 65536;
    if (allowed(given)) {
        readAt(given);
        std::vector<unsigned char> first;
        if (file->readPage(1, first) && file->layoutOf(1, first).valid) {
            readsIn([&] { return file->listsATable(file->entries()); });
            return file;
        }
    }
    for (std::uint32_t size = 512; size <= 65536; size *= 2) {
        if (size == given || !allowed(size))
            continue;
        readAt(size);
        if (readsIn([&] { return file->readsAsTheList(); }))
            return file;
    }
    if (!allowed(given))
        return nullptr;
    readAt(given);
    file->encoding_ = stated;
    return file;
}

StorePages::~StorePages()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool StorePages::readPage(std::uint32_t page, std::vector<unsigned char>& into) const
{
    into.resize(pageSize_);
    std::size_t done = 0;
    const off_t at = off_t(page - 1) * pageSize_;
    while (done < pageSize_) {
        const ssize_t got = ::pread(fd_, into.data() + done, pageSize_ - done, at + off_t(done));
        if (got < 0)
            return false;
        if (got == 0)
            break;
        done += std::size_t(got);
    }
    std::fill(into.begin() + std::ptrdiff_t(done), into.end(), 0);
    return done > 0;
}

StorePages::Layout StorePages::layoutOf(std::uint32_t page, const std::vector<unsigned char>& bytes, bool index) const
{
    Layout layout;
    const std::uint32_t header = page == 1 ? kFileHeader : 0;
    const unsigned char* p = bytes.data() + header;
    const std::uint8_t interior = index ? kInteriorIndex : kInteriorTable;
    const std::uint8_t leaf = index ? kLeafIndex : kLeafTable;
    // Page 1 is the table list's top, a table page, whatever its type byte says.
    const std::uint8_t type = page == 1 && !index ? firstPageType(p, pageSize_, pageCount_) : p[0];
    if (type != interior && type != leaf)
        return layout;
    layout.interior = type == interior;
    const std::uint32_t headerSize = layout.interior ? 12 : 8;
    layout.cells = be16(p + 3);
    layout.pointers = header + headerSize;
    // The library refuses a page that counts more cells than a page of its
    // size can hold (each takes at least a pointer and four bytes): their
    // pointers would run over the cells.
    if (layout.cells > (pageSize_ - 8) / 6 || layout.pointers + 2 * layout.cells > pageSize_)
        return layout;
    layout.rightChild = layout.interior ? be32(p + 8) : 0;
    layout.valid = true;
    return layout;
}

bool StorePages::readsAsTheList() const
{
    // Page 1's cells within it as they stand (a walk takes a pointer within
    // the page by its low bits); its children may be past the end of a file
    // cut short.
    std::vector<unsigned char> bytes;
    if (!readPage(1, bytes))
        return false;
    const unsigned char* first = bytes.data() + kFileHeader;
    if (!firstPageReadsAs(false, first, pageSize_, pageCount_)
        && !firstPageReadsAs(true, first, pageSize_, pageCount_, true))
        return false;
    // Every entry read whole, a table or an index among them. (Its top
    // pages say nothing for certain: in a file cut short, or damaged past
    // page 1, they may be lost at the right size too.)
    Walk walk;
    const std::vector<Entry> list = entries(&walk);
    return walk.cellsPassedOver == 0 && walk.pagesNamedAgain == 0 && listsATable(list);
}

bool StorePages::listsATable(const std::vector<Entry>& list)
{
    return std::any_of(
        list.begin(), list.end(), [](const Entry& entry) { return entry.type == "table" || entry.type == "index"; });
}

bool StorePages::isTablePage(std::uint32_t page) const
{
    std::vector<unsigned char> bytes;
    return page > 0 && page <= pageCount_ && readPage(page, bytes) && layoutOf(page, bytes).valid;
}

StorePages::Walk StorePages::rows(std::uint32_t root, const std::function<bool(Row&)>& row, std::size_t fields) const
{
    return walkTree(root, false, row, fields);
}

StorePages::Walk StorePages::keys(std::uint32_t root, const std::function<bool(std::int64_t)>& key) const
{
    long long notKeys = 0;
    Walk walk = walkTree(
        root, true,
        [&](Row& row) {
            const auto* rowid = row.values.empty() ? nullptr : std::get_if<std::int64_t>(&row.values.back());
            if (!rowid) {
                ++notKeys;
                return true;
            }
            return key(*rowid);
        },
        0);
    walk.rows -= notKeys;
    walk.cellsPassedOver += notKeys;
    return walk;
}

StorePages::Walk StorePages::walkTree(
    std::uint32_t root, bool index, const std::function<bool(Row&)>& row, std::size_t fields) const
{
    Reading reading(*this);
    // Pages to read, the next on top: a tree's pages in its order.
    std::vector<std::uint32_t> next { root };
    Row found;
    while (!next.empty()) {
        const std::uint32_t page = next.back();
        next.pop_back();
        auto& bytes = reading.page();
        if (!reading.take(page, bytes))
            continue;
        const Layout layout = layoutOf(page, bytes, index);
        // Below the top, a page of no cells is refused too, as the library
        // refuses it: no tree the library writes has one. Page 1 is the table
        // list's top, and read only as that: the library's cursor reads it
        // in another tree that names it, but its records would then be taken
        // for that table's rows (those of five fields fit a table of five
        // columns).
        if (!layout.valid || (page != root && layout.cells == 0) || (page == 1 && root != 1)) {
            ++reading.walk.pagesPassedOver;
            continue;
        }
        // A cell anywhere within the page is read, as the library reads it:
        // a count of cells too high makes its pointers run over the first
        // cells, which still read (and the pointers past them name what the
        // bytes they run over say), and a pointer is taken within the page
        // by its low bits.
        auto cellAt = [&](std::uint32_t i) {
            return be16(bytes.data() + layout.pointers + 2 * i) & (pageSize_ - 1);
        };
        if (layout.interior) {
            std::vector<std::uint32_t> children;
            children.reserve(layout.cells + 1);
            for (std::uint32_t i = 0; i < layout.cells; ++i) {
                const std::uint32_t offset = cellAt(i);
                if (offset + 4 > pageSize_) {
                    ++reading.walk.cellsPassedOver;
                    continue;
                }
                children.push_back(be32(bytes.data() + offset));
                // An index's interior cell holds a key too, after its child's number.
                if (!index)
                    continue;
                if (!reading.record(offset + 4, fields, found, true)) {
                    ++reading.walk.cellsPassedOver;
                    continue;
                }
                ++reading.walk.rows;
                if (!row(found))
                    return reading.walk;
            }
            children.push_back(layout.rightChild);
            next.insert(next.end(), children.rbegin(), children.rend());
            continue;
        }
        for (std::uint32_t i = 0; i < layout.cells; ++i) {
            if (!reading.record(cellAt(i), fields, found, index)) {
                ++reading.walk.cellsPassedOver;
                continue;
            }
            ++reading.walk.rows;
            if (!row(found))
                return reading.walk;
        }
    }
    return reading.walk;
}

std::vector<StorePages::Entry> StorePages::entries(Walk* walk) const
{
    std::vector<Entry> found;
    auto text = [&](const Value& value) {
        const Text* t = std::get_if<Text>(&value);
        return t ? utf8(*t) : std::string();
    };
    const Walk done = rows(
        1,
        [&](Row& row) {
            Entry entry;
            if (row.values.size() > 0)
                entry.type = text(row.values[0]);
            if (row.values.size() > 1)
                entry.name = text(row.values[1]);
            if (row.values.size() > 2)
                entry.table = text(row.values[2]);
            if (row.values.size() > 3) {
                if (const auto* page = std::get_if<std::int64_t>(&row.values[3]))
                    entry.rootPage = *page;
            }
            found.push_back(std::move(entry));
            return true;
        },
        4);
    if (walk)
        *walk = done;
    return found;
}

std::string StorePages::utf8(const Text& text) const
{
    if (encoding_ == Encoding::Utf8)
        return text.bytes;
    std::string ascii;
    for (std::size_t i = 0; i + 1 < text.bytes.size(); i += 2) {
        const unsigned char high = static_cast<unsigned char>(text.bytes[encoding_ == Encoding::Utf16le ? i + 1 : i]);
        const unsigned char low = static_cast<unsigned char>(text.bytes[encoding_ == Encoding::Utf16le ? i : i + 1]);
        ascii += high == 0 && low < 0x80 ? char(low) : '?';
    }
    return ascii;
}

} // namespace core
