#pragma once

#include "core/store/BaseFactory.h"

#include <map>
#include <optional>
#include <string>

namespace core {

// Name/value settings in the `tb_setting` table of the local database file,
// with a process-wide cache of all of them. A write only changes a setting
// that is already stored; it never adds one.
class SettingFactory final : public BaseFactory {
public:
    using Settings = std::map<std::string, std::string>;

    // Rewrites the file and makes sure the table exists, so that reads find an
    // empty table rather than failing.
    SettingFactory();
    static StoreSchema schema();

    // With a new store; on success the cache is loaded again.
    static bool setValueForKey(const std::string& value, const std::string& name);
    // From the cache, loaded on first use.
    static std::optional<std::string> objectForKey(const std::string& name);
    // Forgets the cache (the next read loads it again).
    static void clearCache();

    // True when the update ran, whether or not a row had that name.
    bool setValue(const std::string& value, const std::string& name);
    // Every stored setting with both texts present; nothing when the file or
    // the table cannot be read.
    std::optional<Settings> getListAll();
};

// The navigation list store: it keeps nothing, and both operations answer
// nothing.
class NavFactory final : public BaseFactory {
public:
    NavFactory() = default;
    std::optional<std::string> setClassList(const std::string& list);
    std::optional<std::string> getClassList();
};

} // namespace core
