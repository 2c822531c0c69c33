// The window's libraries keep allocations for the life of the process
// (fontconfig's caches, the D-Bus and Xlib connection state SDL opens):
// not leaks of ours, so a sanitizer build's leak check at exit names them
// instead of failing the run. This replaces the weak default of
// platform/graphics, whose fontconfig entry is kept. Linked as an object into
// every program that opens the window (a static library would drop it, since
// nothing calls it by name).
#include <dlfcn.h>

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n"
           "leak:libdbus-1.so\n"
           "leak:libX11.so\n"
           "leak:libxcb.so\n"
           "leak:libXext.so\n"
           "leak:libXi.so\n"
           "leak:libXcursor.so\n"
           "leak:libXrandr.so\n"
           "leak:libXfixes.so\n"
           "leak:libXinerama.so\n"
           "leak:libXss.so\n"
           "leak:libxkbcommon.so\n"
           "leak:libGL.so\n"
           "leak:libGLX\n"
           "leak:libEGL.so\n"
           "leak:libasound.so\n"
           "leak:libpulse\n"
           "leak:libwayland\n"
           "leak:libdecor\n"
           "leak:libSDL2-2.0.so\n";
}

namespace {

// SDL loads the X libraries itself and unloads them when the video closes;
// kept mapped, what they keep can still be named (and so recognised) when
// the leak check runs at exit.
[[maybe_unused]] void* const kKeptLibraries[] = {
    dlopen("libX11.so.6", RTLD_LAZY | RTLD_NODELETE),
    dlopen("libXext.so.6", RTLD_LAZY | RTLD_NODELETE),
    dlopen("libXi.so.6", RTLD_LAZY | RTLD_NODELETE),
    dlopen("libXcursor.so.1", RTLD_LAZY | RTLD_NODELETE),
    dlopen("libXrandr.so.2", RTLD_LAZY | RTLD_NODELETE),
    dlopen("libXfixes.so.3", RTLD_LAZY | RTLD_NODELETE),
    dlopen("libXinerama.so.1", RTLD_LAZY | RTLD_NODELETE),
    dlopen("libXss.so.1", RTLD_LAZY | RTLD_NODELETE),
    dlopen("libxkbcommon.so.0", RTLD_LAZY | RTLD_NODELETE),
    dlopen("libdbus-1.so.3", RTLD_LAZY | RTLD_NODELETE),
    dlopen("libwayland-client.so.0", RTLD_LAZY | RTLD_NODELETE),
    dlopen("libwayland-cursor.so.0", RTLD_LAZY | RTLD_NODELETE),
    dlopen("libwayland-egl.so.1", RTLD_LAZY | RTLD_NODELETE),
};

} // namespace
