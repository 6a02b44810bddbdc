#include "app/zoom.h"

#include "gfx/enlarge.h"

#include <cstring>

namespace {

constexpr int unzoomed_width = 640;
constexpr int unzoomed_height = 400;

}  // namespace

int parse_zoom(int argc, char** argv) {
    int zoom = 1;
    // The last one wins, as with most programs: a launcher's "-a" can be
    // overridden by appending "-2".
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-2") == 0) zoom = 2;
        if (std::strcmp(argv[i], "-3") == 0) zoom = 3;
        if (std::strcmp(argv[i], "-a") == 0) zoom = zoom_to_fit;
    }
    return zoom;
}

int fitting_zoom(int screen_width, int screen_height) {
    int zoom = 1;
    // In whole numbers: 5 * window <= 4 * screen is window <= 80 % of it.
    for (int n = 2; n <= max_enlargement; ++n)
        if (5L * unzoomed_width * n <= 4L * screen_width && 5L * unzoomed_height * n <= 4L * screen_height)
            zoom = n;
    return zoom;
}

const MonitorArea* window_monitor(const std::vector<MonitorArea>& monitors, int pointer_x, int pointer_y) {
    for (const MonitorArea& m : monitors)
        if (pointer_x >= m.x && pointer_x < m.x + m.width && pointer_y >= m.y && pointer_y < m.y + m.height)
            return &m;
    return monitors.empty() ? nullptr : &monitors.front();
}

WindowOrigin centred_on(const MonitorArea& monitor, int width, int height) {
    return {monitor.x + (monitor.width - width) / 2, monitor.y + (monitor.height - height) / 2};
}
