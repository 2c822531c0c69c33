#pragma once

#include "platform/os/Error.h"

#include <string>

namespace platform {

// The application's home folder, which plays the phone's sandbox:
//   $ORB_HOME, else $XDG_DATA_HOME/orb-client, else ~/.local/share/orb-client
// holding Documents/, Library/Caches/, Library/Preferences/ and tmp/.
//
// The folder getters always answer the path, and create the folder on the
// way. When it cannot be created the failure is logged and stored in *error;
// later reads and writes under the path then fail with their own errors, so a
// caller never ends up writing somewhere else.
class AppPaths final {
public:
    AppPaths() = delete;

    static std::string home();
    static std::string documentsDirectory(Error* error = nullptr);
    static std::string libraryDirectory(Error* error = nullptr);
    static std::string cachesDirectory(Error* error = nullptr);
    static std::string preferencesDirectory(Error* error = nullptr);
    static std::string temporaryDirectory(Error* error = nullptr);
    // Creates every folder above; false with the first failure.
    static bool createAll(Error* error = nullptr);

    // Tests give each case its own home. An empty path goes back to the environment.
    static void setHome(std::string path);
    static void resetHome() { setHome({}); }

    // Read-only resources (layouts, images, the colour list, HTML pages), first found of:
    // $ORB_RESOURCES; resources/ next to the executable; $ORB_SOURCE_DIR/resources.
    // When none exists the executable's resources/ is answered, so lookups fail cleanly.
    static std::string resourcesDirectory();
    static void setResourcesDirectory(std::string path);
    static void resetResourcesDirectory() { setResourcesDirectory({}); }

    // The folder holding the running executable (from /proc/self/exe).
    static std::string executableDirectory();
};

} // namespace platform
