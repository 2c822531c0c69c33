#pragma once

#include <string>

struct SDL_Window;

namespace platform::host {

// The X server connection and window behind an SDL window, kept apart so
// that Xlib's macros stay out of every other file. -1 and 0 when the window
// is not on X (another video driver).
int x11ConnectionFd(SDL_Window* window);
unsigned long x11WindowId(SDL_Window* window);
// The name of the X display the window is on (":1"); empty when not on X.
std::string x11DisplayName(SDL_Window* window);

} // namespace platform::host
