#include "tests/support/EngineDisplay.h"

#include "platform/uikit/WebEngine.h"
#include "tests/support/XvfbDisplay.h"

#include <string>

namespace testsupport {

namespace {

class EngineDisplay : public ::testing::Environment {
public:
    void SetUp() override
    {
        std::string reason;
        if (display_.start(&reason))
            platform::setWebEngineDisplay(display_.name());
        else
            ADD_FAILURE() << reason;
    }

private:
    XvfbDisplay display_;
};

} // namespace

::testing::Environment* addEngineDisplay() { return ::testing::AddGlobalTestEnvironment(new EngineDisplay); }

} // namespace testsupport
