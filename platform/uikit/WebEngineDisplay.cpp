#include "platform/uikit/WebEngine.h"

// Apart from the engine, so that a window host can name its display without
// linking the engine's libraries.
namespace platform {

namespace {

    std::string& configuredDisplay()
    {
        static std::string name;
        return name;
    }

} // namespace

void setWebEngineDisplay(const std::string& name) { configuredDisplay() = name; }

const std::string& webEngineDisplaySetting() { return configuredDisplay(); }

} // namespace platform
