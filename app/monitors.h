// The monitors of the desktop the window will open on, and the pointer's
// place, asked of the X server before the window opens (program's
// init_screen). Only a build with SDL's X11 driver asks; every other build
// (and a run on another video driver, or without the X server's monitor
// list) gets an empty list, and the window goes by SDL's size of the whole
// screen as before.
#pragma once

#include "app/zoom.h"

#include <vector>

struct DesktopLayout {
    std::vector<MonitorArea> monitors;  // the primary first; empty when unknown
    int pointer_x = 0;
    int pointer_y = 0;
};

// Needs SDL's video subsystem up; opens no connection of its own.
DesktopLayout query_desktop_layout();
