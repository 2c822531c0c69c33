// Opens the sample application in a desktop window:
//   orb-host-demo [--actual-size] [--screenshots DIR]
// Exit status 0 when the window was closed, 2 when no window could open.
#include "platform/host/DesktopHost.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIKitRegistration.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/app/sample/SampleApp.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    platform::host::HostOptions options;
    options.title = "Lessons (sample)";
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--actual-size") {
            options.actualSize = true;
        } else if (arg == "--screenshots" && i + 1 < argc) {
            options.screenshotDirectory = argv[++i];
        } else if (arg == "--silent") {
            options.sound = false;
        } else {
            std::fprintf(stderr, "usage: %s [--actual-size] [--silent] [--screenshots DIR]\n", argv[0]);
            return 64;
        }
    }
    platform::RunLoop::setMainThread();
    // The sample keeps its settings in a home of its own under /tmp, gone at
    // the end, unless ORB_HOME names one.
    std::string temporaryHome;
    if (const char* home = std::getenv("ORB_HOME"); home && *home) {
        platform::AppPaths::setHome(home);
    } else {
        std::string pattern = "/tmp/orb-host-demo-XXXXXX";
        if (mkdtemp(pattern.data())) {
            temporaryHome = pattern;
            platform::AppPaths::setHome(pattern);
        }
    }
    platform::AppPaths::createAll();
    platform::AppPaths::setResourcesDirectory(testsupport::sourcePath("resources"));
    platform::registerUIKitClasses();
    int status = platform::host::runApplication(std::make_shared<sample::SampleAppDelegate>(), options);
    if (!temporaryHome.empty())
        platform::FileUtil::remove(temporaryHome);
    return status;
}
