#pragma once

#include "platform/uikit/WebEngine.h"

// What the engine module (orb_webengine.so) gives the view layer: one table,
// found by name once the module is open. The module takes everything else it
// needs of the platform layer from the program that opened it.
namespace platform {

struct WebEngineModuleTable {
    // Bumped whenever the table or WebEngineView changes, so that a module of
    // another build is refused rather than called wrongly.
    int version;
    std::unique_ptr<WebEngineView> (*create)(WebEngineClient& client, Size points, double scale, Error* error);
    std::string (*displayInUse)();
    bool (*removeCachedResources)(const std::string& host);
};

inline constexpr int kWebEngineModuleVersion = 5;
inline constexpr const char* kWebEngineModuleEntry = "orbWebEngineModule";

} // namespace platform

extern "C" const platform::WebEngineModuleTable* orbWebEngineModule();
