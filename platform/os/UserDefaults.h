#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Small persistent settings, kept as an XML property list (a dictionary) in
// Library/Preferences/<bundle identifier>.plist.
//
// Changes are held in memory and written by synchronize() and when the object
// goes away (the standard one at process exit). Every write replaces the file
// atomically and then refreshes a last-good copy beside it (".bak"). A file
// that cannot be read is logged and never overwritten by empty data: a new
// object falls back to the last-good copy, a live one keeps its values, and the
// unreadable file is kept aside (".corrupt") before it is replaced.
//
// Values must have a property-list form (no null, no records); storing null
// removes the key. All members may be called from any thread.
class UserDefaults final {
public:
    explicit UserDefaults(std::string path);
    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // The application's settings in the current home. When the home changes
    // (tests), the next call writes out the previous object and opens the new
    // home's file.
    static std::shared_ptr<UserDefaults> standard();
    static std::string standardPath();

    const std::string& path() const { return path_; }
    std::string backupPath() const { return path_ + ".bak"; }

    // The null value when the key is missing.
    Value objectForKey(std::string_view key) const;
    // Texts as they are, numbers as their text; nothing for other kinds.
    std::optional<std::string> stringForKey(std::string_view key) const;
    // Numbers, and texts that start with a number; 0 otherwise.
    long long integerForKey(std::string_view key) const;
    bool boolForKey(std::string_view key) const;
    double doubleForKey(std::string_view key) const;
    std::optional<Bytes> dataForKey(std::string_view key) const;
    std::optional<Array> arrayForKey(std::string_view key) const;
    std::optional<Dictionary> dictionaryForKey(std::string_view key) const;
    Dictionary dictionaryRepresentation() const;

    // False (and logged) for a value without a property-list form; the
    // previous value stays.
    bool setObject(Value value, std::string_view forKey);
    void setString(std::string value, std::string_view forKey);
    void setInteger(long long value, std::string_view forKey);
    void setBool(bool value, std::string_view forKey);
    void setDouble(double value, std::string_view forKey);
    void setData(Bytes value, std::string_view forKey);
    void removeObjectForKey(std::string_view key);

    // Writes pending changes; without any, picks up a file another process
    // wrote. False with the error when the file could not be written or read.
    bool synchronize(Error* error = nullptr);

private:
    struct Stamp {
        bool exists = false;
        std::uint64_t inode = 0;
        std::int64_t size = 0;
        std::int64_t mtimeNanos = 0;
        std::int64_t ctimeNanos = 0;
        bool operator==(const Stamp&) const = default;
    };

    static Stamp stampOf(const std::string& path);
    static void flushStandardAtExit();
    void load();
    bool writeLocked(Error* error, bool atExit);
    void report(const std::string& text, bool atExit) const;

    mutable std::mutex mutex_;
    std::string path_;
    Dictionary values_;
    bool dirty_ = false;
    // The file on disk could not be read: keep it aside before replacing it.
    bool fileUnreadable_ = false;
    Stamp stamp_;
};

} // namespace platform
