#pragma once

#include "platform/graphics/Color.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace core {

// The application's theme colours by role ("main", "main_light",
// "main_dark"), read from a property list among the resources so that screens
// never hard-code them. The application loads "colors" once at launch.
class GlobalColor final {
public:
    using Colors = std::map<std::string, platform::Color>;

    // The shared object, made on first use and kept for the process.
    static std::shared_ptr<GlobalColor> instance();
    // Loads the named list into the shared object.
    static void setPlist(const std::string& name);
    // The shared object's colour of that name; nothing before a list is loaded
    // or for an unknown name.
    static std::optional<platform::Color> getColor(const std::string& name);

    // Reads "<name>.plist" from the main bundle's resources: a dictionary of
    // names to dictionaries whose "color" is six hexadecimal digits RRGGBB.
    // Entries of another shape are skipped; the colours loaded before are
    // dropped in every case, even when the list is missing.
    void loadPlist(const std::string& name);
    std::optional<platform::Color> colorNamed(const std::string& name) const;

    const Colors& colors() const { return colors_; }
    void setColors(Colors colors) { colors_ = std::move(colors); }
    const std::string& plist() const { return plist_; }

private:
    Colors colors_;
    std::string plist_;
};

} // namespace core
