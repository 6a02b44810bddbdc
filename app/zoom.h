// The window's zoom, from the command line and the screen. The canvas, the
// widgets, the effects and every timing stay at 640 x 400; only
// presentation (frame_loop) and pointer input (program) know that the
// window shows each canvas pixel as a zoom x zoom block.
#pragma once

#include <vector>

// What "-a" asks for: the largest zoom whose window suits the screen.
constexpr int zoom_to_fit = 0;

// The last of "-2", "-3" and "-a" among the arguments after the program
// name: 2, 3 or zoom_to_fit; 1 when none is given. Every other argument is
// ignored, as before, so a launcher that passes more does no harm.
int parse_zoom(int argc, char** argv);

// The largest of 1, 2 and 3 whose window fits within 80 % of a screen of
// the given size in both directions, leaving room for panels and frames;
// 1 for a size SDL did not know (0 or less).
int fitting_zoom(int screen_width, int screen_height);

// One monitor's part of the desktop, in the desktop's pixels from its top
// left corner. SDL 1.2 knows only the whole desktop, which on two monitors
// is both together.
struct MonitorArea {
    int x, y, width, height;
};

// The monitor the window opens on: the one under the pointer, where the
// listener is looking and where desktops open new windows; else the first
// listed, the primary. Null for an empty list.
const MonitorArea* window_monitor(const std::vector<MonitorArea>& monitors, int pointer_x, int pointer_y);

struct WindowOrigin {
    int x, y;
};

// The top left corner that centres a width x height window on monitor (it
// may lie off the monitor when the window is larger).
WindowOrigin centred_on(const MonitorArea& monitor, int width, int height);
