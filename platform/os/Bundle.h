#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Keys of a bundle's information dictionary, as the request code reads them.
inline constexpr const char* kBundleDisplayNameKey = "CFBundleDisplayName";
inline constexpr const char* kBundleNameKey = "CFBundleName";
inline constexpr const char* kBundleShortVersionKey = "CFBundleShortVersionString";
inline constexpr const char* kBundleVersionKey = "CFBundleVersion";
inline constexpr const char* kBundleIdentifierKey = "CFBundleIdentifier";

// The application's facts and its read-only resources. The main bundle holds
// the compiled-in facts; tests install another one to try other names or
// versions (a missing display name, equal versions).
class Bundle final {
public:
    struct Info {
        std::optional<std::string> displayName;
        std::optional<std::string> name;
        std::optional<std::string> shortVersion;
        std::optional<std::string> buildVersion;
        std::optional<std::string> identifier;
    };

    // The compiled-in facts of this program.
    static Info defaultInfo();

    // An empty resource path follows AppPaths::resourcesDirectory() at each call.
    explicit Bundle(Info info, std::string resourcePath = {});

    static std::shared_ptr<const Bundle> main();
    // Replaces the main bundle; nullptr restores the compiled-in one.
    static void setMain(std::shared_ptr<const Bundle> bundle);

    const std::optional<std::string>& displayName() const { return info_.displayName; }
    const std::optional<std::string>& name() const { return info_.name; }
    const std::optional<std::string>& shortVersion() const { return info_.shortVersion; }
    const std::optional<std::string>& buildVersion() const { return info_.buildVersion; }
    const std::optional<std::string>& identifier() const { return info_.identifier; }

    // The facts under their information-dictionary keys; absent facts are left out.
    Dictionary infoDictionary() const;
    // The null value for a key the bundle does not have.
    Value objectForInfoDictionaryKey(std::string_view key) const;

    std::string resourcePath() const;
    // "name.type" inside the resources (or their sub-folder), when it exists.
    // An empty type takes the name as the whole file name. Names that climb out
    // of the resources ("..", absolute paths) find nothing.
    std::optional<std::string> pathForResource(
        std::string_view name, std::string_view type, std::string_view subdirectory = {}) const;

    // The text the application's localisation table (Localizable.cpp) gives
    // for a key, the key itself when the table has no entry for it. Every
    // bundle shares the one table: the client speaks Chinese only.
    std::string localizedString(std::string_view key) const;

private:
    Info info_;
    std::string resourcePath_;
};

// The main bundle's text for a key (see Bundle::localizedString).
std::string localizedString(std::string_view key);

} // namespace platform
