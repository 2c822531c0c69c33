#include "platform/host/X11Connection.h"

#include <SDL.h>
#include <SDL_syswm.h>

namespace platform::host {

namespace {

    bool windowInfo(SDL_Window* window, SDL_SysWMinfo& info)
    {
        if (!window)
            return false;
        SDL_VERSION(&info.version);
        return SDL_GetWindowWMInfo(window, &info) == SDL_TRUE;
    }

} // namespace

int x11ConnectionFd(SDL_Window* window)
{
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    if (windowInfo(window, info) && info.subsystem == SDL_SYSWM_X11 && info.info.x11.display)
        return ConnectionNumber(info.info.x11.display);
#else
    (void)window;
#endif
    return -1;
}

unsigned long x11WindowId(SDL_Window* window)
{
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    if (windowInfo(window, info) && info.subsystem == SDL_SYSWM_X11)
        return static_cast<unsigned long>(info.info.x11.window);
#else
    (void)window;
#endif
    return 0;
}

std::string x11DisplayName(SDL_Window* window)
{
#if defined(SDL_VIDEO_DRIVER_X11)
    SDL_SysWMinfo info;
    if (windowInfo(window, info) && info.subsystem == SDL_SYSWM_X11 && info.info.x11.display) {
        const char* name = DisplayString(info.info.x11.display);
        return name ? name : "";
    }
#else
    (void)window;
#endif
    return "";
}

} // namespace platform::host
