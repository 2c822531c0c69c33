#pragma once

#include <functional>
#include <string>

namespace core {

// The store file's care through a run, for every store over it: the file is
// judged by its structure once a run, at its first store's making, on a
// connection that writes nothing; damage met later, by any statement of a
// store, is noted. A file found damaged either way is set aside whole, as it
// was found, and a fresh store takes its place: the client's own tables,
// made as each store makes them when new, holding every row that still
// reads of the damaged file. This is done where no connection of the process
// has the file open: at once, or as the last one closes, or at the next
// store made. Only a fresh file that cannot be written (no room, a folder
// that takes no writes) keeps the damaged one in place, until a store made
// later can.
class DamagedStoreFile final {
public:
    DamagedStoreFile() = delete;

    // At a store's making over `path`: judges the file when it was not yet
    // judged this run, replaces it when it is damaged and nothing has it
    // open, and otherwise runs `vacuum` (the store's "VACUUM" over a file
    // that is whole).
    static void atStoreMaking(const std::string& path, const std::function<void()>& vacuum);

    // A connection's hold on the file, taken before the connection is
    // opened and given up when it is closed (or when the hold goes, which
    // makes a release that is missed impossible): a file found damaged is
    // never replaced while any is held, and the last one given up replaces
    // it.
    class Hold final {
    public:
        explicit Hold(std::string path);
        ~Hold() { release(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        // Given up early; once only.
        void release();

    private:
        std::string path_;
        bool held_ = true;
    };
    // A statement of a store over the file failed with SQLite's `result`:
    // damage (a file SQLite cannot make sense of) is noted.
    static void statementFailed(const std::string& path, int result);
    // A store found the file holding what the client never wrote (`why`
    // says what): damage, as a failed statement's.
    static void damageFound(const std::string& path, const std::string& why);
    // The "VACUUM" of a store's making failed: any failure but one of the
    // moment (a busy file, no room, no memory) says the file holds what the
    // library cannot rewrite, and is damage too.
    static void rewriteFailed(const std::string& path, int result, const std::string& message);
    // Whether `result` is SQLite's word for damage.
    static bool isDamage(int result);
    // The name a damaged file is set aside under, beside it:
    // "<file>.corrupt-<UTC time>", with a number after it when a file set
    // aside in the same second already has that name.
    static std::string asideName(const std::string& path);

    // The next store made over each file judges it again, as a new run of
    // the client does.
    static void forgetJudgedFiles();
};

} // namespace core
