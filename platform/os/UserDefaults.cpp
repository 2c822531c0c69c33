#include "platform/os/UserDefaults.h"

#include "platform/os/AppPaths.h"
#include "platform/os/Bundle.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/PropertyList.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

    // The defaults may hold a remembered password: owner only.
    constexpr unsigned kFilePermissions = 0600;

    struct StandardSlot {
        std::mutex mutex;
        std::shared_ptr<UserDefaults> current;
        bool exitHookInstalled = false;
    };

    StandardSlot& standardSlot()
    {
        // Never destroyed: the exit hook may still use it after other statics are gone.
        static StandardSlot* slot = new StandardSlot;
        return *slot;
    }

} // namespace

UserDefaults::UserDefaults(std::string path)
    : path_(std::move(path))
{
    std::lock_guard lock(mutex_);
    load();
}

UserDefaults::~UserDefaults()
{
    std::lock_guard lock(mutex_);
    if (dirty_)
        writeLocked(nullptr, false);
}

std::string UserDefaults::standardPath()
{
    auto identifier = Bundle::main()->identifier();
    std::string name = identifier && !identifier->empty() ? *identifier : "orb-client";
    return FileUtil::joinPath(AppPaths::preferencesDirectory(), name + ".plist");
}

std::shared_ptr<UserDefaults> UserDefaults::standard()
{
    std::string path = standardPath();
    StandardSlot& slot = standardSlot();
    std::shared_ptr<UserDefaults> previous;
    std::shared_ptr<UserDefaults> current;
    {
        std::lock_guard lock(slot.mutex);
        if (!slot.current || slot.current->path() != path) {
            previous = std::move(slot.current);
            slot.current = std::make_shared<UserDefaults>(path);
        }
        if (!slot.exitHookInstalled) {
            slot.exitHookInstalled = true;
            std::atexit(&UserDefaults::flushStandardAtExit);
        }
        current = slot.current;
    }
    if (previous)
        previous->synchronize();
    return current;
}

void UserDefaults::flushStandardAtExit()
{
    StandardSlot& slot = standardSlot();
    std::shared_ptr<UserDefaults> current;
    {
        std::lock_guard lock(slot.mutex);
        current = slot.current;
    }
    if (!current)
        return;
    std::lock_guard lock(current->mutex_);
    if (current->dirty_)
        current->writeLocked(nullptr, true);
}

void UserDefaults::report(const std::string& text, bool atExit) const
{
    if (!atExit) {
        log("%s", text.c_str());
        return;
    }
    // During exit the log sink may already be gone: write straight to stderr.
    std::string line = text + "\n";
    ssize_t ignored = ::write(2, line.data(), line.size());
    (void)ignored;
}

UserDefaults::Stamp UserDefaults::stampOf(const std::string& path)
{
    struct stat st;
    Stamp s;
    if (::stat(path.c_str(), &st) != 0)
        return s;
    s.exists = true;
    s.inode = static_cast<std::uint64_t>(st.st_ino);
    s.size = static_cast<std::int64_t>(st.st_size);
    s.mtimeNanos = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNanos = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

void UserDefaults::load()
{
    Stamp stamp = stampOf(path_);
    if (!stamp.exists) {
        stamp_ = stamp;
        return;
    }
    Error error;
    auto value = PropertyList::readFile(path_, &error);
    if (value && value->isDictionary()) {
        values_ = std::move(*value->asDictionary());
        stamp_ = stamp;
        return;
    }
    std::string reason = value ? "it does not hold a dictionary" : error.localizedDescription();
    report("UserDefaults: could not read " + path_ + ": " + reason, false);
    fileUnreadable_ = true;
    stamp_ = stamp;

    Error backupError;
    auto backup = PropertyList::readFile(backupPath(), &backupError);
    if (backup && backup->isDictionary()) {
        values_ = std::move(*backup->asDictionary());
        // Repair the main file at the next synchronize.
        dirty_ = true;
        report("UserDefaults: restored " + std::to_string(values_.size()) + " values from the last good copy "
                + backupPath(),
            false);
        return;
    }
    report("UserDefaults: no usable last good copy (" + backupError.localizedDescription()
            + "); starting empty and keeping the unreadable file",
        false);
}

bool UserDefaults::writeLocked(Error* error, bool atExit)
{
    Error failure;
    auto text = PropertyList::serialize(Value(values_), &failure);
    if (!text) {
        report("UserDefaults: cannot encode the settings: " + failure.localizedDescription(), atExit);
        setError(error, std::move(failure));
        return false;
    }
    if (fileUnreadable_ && FileUtil::exists(path_)) {
        // Whatever is left in the unreadable file may still matter to someone: keep it.
        std::string aside = path_ + ".corrupt";
        if (::rename(path_.c_str(), aside.c_str()) == 0)
            report("UserDefaults: kept the unreadable file as " + aside, atExit);
    }
    if (!FileUtil::write(path_, *text, FileUtil::WriteMode::Atomic, &failure, kFilePermissions)) {
        report("UserDefaults: cannot save " + path_ + ": " + failure.localizedDescription(), atExit);
        setError(error, std::move(failure));
        return false;
    }
    fileUnreadable_ = false;
    dirty_ = false;
    stamp_ = stampOf(path_);
    Error backupFailure;
    if (!FileUtil::write(backupPath(), *text, FileUtil::WriteMode::Atomic, &backupFailure, kFilePermissions))
        report("UserDefaults: cannot save the last good copy: " + backupFailure.localizedDescription(), atExit);
    return true;
}

bool UserDefaults::synchronize(Error* error)
{
    std::lock_guard lock(mutex_);
    if (dirty_)
        return writeLocked(error, false);

    Stamp now = stampOf(path_);
    if (now == stamp_)
        return true;
    if (!now.exists) {
        // The file alone removed behind our back: put the values back rather
        // than lose them. A whole folder gone means the home was wiped on
        // purpose; recreating it would undo that.
        auto slash = path_.find_last_of('/');
        bool folderGone = slash != std::string::npos && slash > 0 && !FileUtil::isDirectory(path_.substr(0, slash));
        if (values_.empty() || folderGone) {
            stamp_ = now;
            return true;
        }
        return writeLocked(error, false);
    }
    Error readFailure;
    auto value = PropertyList::readFile(path_, &readFailure);
    if (value && value->isDictionary()) {
        values_ = std::move(*value->asDictionary());
        stamp_ = now;
        return true;
    }
    if (value)
        readFailure = Error::withDescription(
            kCocoaErrorDomain, kPropertyListReadCorruptError, "The settings file does not hold a dictionary.");
    report("UserDefaults: could not read " + path_ + ": " + readFailure.localizedDescription()
            + "; keeping the values in memory",
        false);
    fileUnreadable_ = true;
    writeLocked(nullptr, false);
    setError(error, std::move(readFailure));
    return false;
}

Value UserDefaults::objectForKey(std::string_view key) const
{
    std::lock_guard lock(mutex_);
    return values_.get(key);
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const
{
    Value v = objectForKey(key);
    if (v.isString() || v.isNumber())
        return v.stringValue();
    return std::nullopt;
}

long long UserDefaults::integerForKey(std::string_view key) const { return objectForKey(key).longLongValue(); }

bool UserDefaults::boolForKey(std::string_view key) const
{
    Value v = objectForKey(key);
    return (v.isNumber() || v.isString()) && v.boolValue();
}

double UserDefaults::doubleForKey(std::string_view key) const { return objectForKey(key).doubleValue(); }

std::optional<Bytes> UserDefaults::dataForKey(std::string_view key) const
{
    Value v = objectForKey(key);
    if (auto d = v.asData())
        return *d;
    return std::nullopt;
}

std::optional<Array> UserDefaults::arrayForKey(std::string_view key) const
{
    Value v = objectForKey(key);
    if (auto a = v.asArray())
        return *a;
    return std::nullopt;
}

std::optional<Dictionary> UserDefaults::dictionaryForKey(std::string_view key) const
{
    Value v = objectForKey(key);
    if (auto d = v.asDictionary())
        return *d;
    return std::nullopt;
}

Dictionary UserDefaults::dictionaryRepresentation() const
{
    std::lock_guard lock(mutex_);
    return values_;
}

bool UserDefaults::setObject(Value value, std::string_view forKey)
{
    if (value.isNull()) {
        removeObjectForKey(forKey);
        return true;
    }
    Error error;
    if (!PropertyList::serialize(value, &error)) {
        log("UserDefaults: refused to store a %s under \"%.*s\": %s", value.kindName(), static_cast<int>(forKey.size()),
            forKey.data(), error.localizedDescription().c_str());
        return false;
    }
    std::lock_guard lock(mutex_);
    values_.set(std::string(forKey), std::move(value));
    dirty_ = true;
    return true;
}

void UserDefaults::setString(std::string value, std::string_view forKey) { setObject(Value(std::move(value)), forKey); }

void UserDefaults::setInteger(long long value, std::string_view forKey) { setObject(Value(value), forKey); }

void UserDefaults::setBool(bool value, std::string_view forKey) { setObject(Value(value), forKey); }

void UserDefaults::setDouble(double value, std::string_view forKey) { setObject(Value(value), forKey); }

void UserDefaults::setData(Bytes value, std::string_view forKey) { setObject(Value(std::move(value)), forKey); }

void UserDefaults::removeObjectForKey(std::string_view key)
{
    std::lock_guard lock(mutex_);
    if (values_.erase(key))
        dirty_ = true;
}

} // namespace platform
