#pragma once

// A render of the screen as the person sees it with the keyboard up: the
// harness's own render leaves the keyboard out, the desktop host's frame
// draws it as a plain panel over the bottom of the screen.
#include "platform/host/FrameRenderer.h"
#include "tests/support/app/AppHarness.h"

#include <string>

namespace testsupport {

// Writes <render directory>/name; returns the path, "" when nothing was written.
inline std::string renderWithKeyboard(const AppHarness& harness, const std::string& name)
{
    // The harness's render makes the folder and lays the window out.
    std::string path = harness.render(name);
    if (path.empty())
        return "";
    platform::host::FrameRenderer renderer(2);
    auto image = renderer.renderScreen();
    return image && image->writePNG(path) ? path : "";
}

} // namespace testsupport
