#include "app/monitors.h"

#include <SDL.h>

#if defined(SDL_VIDEO_DRIVER_X11)

#include <SDL_syswm.h>

#include <cstring>

#include <dlfcn.h>

namespace {

// libXinerama's own record (X11/extensions/Xinerama.h), unchanged since
// its first release. The X server answers the Xinerama request from RandR
// when it has no Xinerama of its own, so this one list serves either kind
// of desktop.
struct XineramaScreenInfo {
    int screen_number;
    short x_org, y_org, width, height;
};
using IsActive = Bool (*)(Display*);
using QueryScreens = XineramaScreenInfo* (*)(Display*, int*);

// libXinerama is loaded when asked for, not linked: the shipped disk takes
// the X libraries from the listener's system, and a system without this one
// must still play the disk (at the size the whole screen suggests, as
// before) rather than fail to start. Loaded once and kept for the process.
void* xinerama_library() {
    static void* library = dlopen("libXinerama.so.1", RTLD_NOW | RTLD_LOCAL);
    return library;
}

}  // namespace

DesktopLayout query_desktop_layout() {
    DesktopLayout layout;
    char driver[16] = "";
    if (!SDL_VideoDriverName(driver, sizeof driver) || std::strcmp(driver, "x11") != 0) return layout;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display) return layout;
    void* library = xinerama_library();
    if (!library) return layout;
    auto is_active = reinterpret_cast<IsActive>(dlsym(library, "XineramaIsActive"));
    auto query_screens = reinterpret_cast<QueryScreens>(dlsym(library, "XineramaQueryScreens"));
    if (!is_active || !query_screens) return layout;

    Display* display = info.info.x11.display;
    info.info.x11.lock_func();  // SDL's event thread shares the connection
    int count = 0;
    XineramaScreenInfo* screens = is_active(display) ? query_screens(display, &count) : nullptr;
    for (int i = 0; screens && i < count; ++i)
        layout.monitors.push_back({screens[i].x_org, screens[i].y_org, screens[i].width, screens[i].height});
    if (screens) XFree(screens);
    Window root, child;
    int window_x, window_y;
    unsigned int buttons;
    if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &layout.pointer_x, &layout.pointer_y,
                       &window_x, &window_y, &buttons))
        layout.pointer_x = layout.pointer_y = 0;
    info.info.x11.unlock_func();
    return layout;
}

#else

DesktopLayout query_desktop_layout() {
    return {};
}

#endif
