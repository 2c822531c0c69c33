#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// An X server of the test's own, for the tests that open real windows and
// drive them from outside (xdotool, ImageMagick's import).
namespace testsupport {

// An X server (Xvfb, 800 × 1200 at 24 bits) on a display number nobody
// holds. DISPLAY points at it while it runs (children started meanwhile
// inherit it) and is put back when it stops.
class XvfbDisplay final {
public:
    XvfbDisplay() = default;
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;
    // False with the reason when Xvfb is missing or does not come up.
    bool start(std::string* reason);
    void stop();
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
    std::string previousDisplay_;
    bool hadDisplay_ = false;
    std::string directory_;
};

// Whether a program is installed, on the PATH the tests start it from.
bool toolInstalled(const std::string& tool);

// Starts the X server for a test that drives a real window from outside;
// empty when it runs and xdotool and import are there, otherwise why the
// test cannot run (for ORB_SKIP_WITHOUT_TOOL).
std::string startWindowTestDisplay(XvfbDisplay& display);

// Runs a tool (xdotool, import) to its end while the main loop keeps
// running, since a window of the test's own must keep answering the X
// server meanwhile. Its exit status, or -1 when it could not start or took
// more than 20 s.
int runWhileLooping(const std::vector<std::string>& args, std::string* output = nullptr);

// A click of the first mouse button at a position of the window, in the
// window's own pixels (rounded), through xdotool; its exit status as
// runWhileLooping gives it.
int clickInWindow(const std::string& windowId, double x, double y);

} // namespace testsupport
