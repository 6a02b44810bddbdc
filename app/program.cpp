#include "app/program.h"

#include "app/event_wait.h"
#include "app/frame_loop.h"
#include "app/intro.h"
#include "app/monitors.h"
#include "app/player_screen.h"
#include "app/zoom.h"
#include "audio/engine.h"
#include "audio/spectrum.h"
#include "effects/blend_effect.h"
#include "effects/timed_fill_effect.h"
#include "gfx/font.h"
#include "gfx/misc.h"
#include "widgets/image.h"
#include "widgets/skinned_button.h"
#include "widgets/skinned_button2.h"
#include "widgets/skinned_scale.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int canvas_width = 640;
constexpr int canvas_height = 400;
constexpr int quit_fade_frames = 9;
constexpr int quit_fill_end = 1800;
constexpr unsigned spectrum_bands = 39;

// putenv keeps the pointer: the string must live as long as the process.
char centred_window[] = "SDL_VIDEO_CENTERED=center";

void on_key_release(SDLKey key) {
    switch (key) {
    case SDLK_BACKSPACE:
    case SDLK_UP:
    case SDLK_LEFT:
        previous_track();
        break;
    case SDLK_RETURN:
    case SDLK_DOWN:
    case SDLK_RIGHT:
        next_track();
        break;
    case SDLK_SPACE:
        toggle_playback();
        break;
    case SDLK_ESCAPE:
        begin_quit();
        break;
    default:
        break;
    }
}

// The intro gate: hover and press states only change on the player screen.
// x and y are canvas pixels.
void dispatch_pointer(int x, int y, bool pressed) {
    if (in_player_phase()) pointer_dispatch(widget_list, x, y, pressed);
}

// The window is centred on the monitor it opens on; where the monitors are
// not known, SDL centres it on the whole screen, as ever.
void place_window(const MonitorArea* monitor, int width, int height) {
    // putenv keeps the pointer: the string must live as long as the process.
    static char position[64];
    if (!monitor) {
        putenv(centred_window);
        return;
    }
    const WindowOrigin origin = centred_on(*monitor, width, height);
    std::snprintf(position, sizeof position, "SDL_VIDEO_WINDOW_POS=%d,%d", origin.x, origin.y);
    putenv(position);
}

// The window's size at a zoom, framed or not. At a zoom that SDL cannot
// give (too large for the video driver) the window opens at its own size
// with a line that says why, rather than not at all.
SDL_Surface* open_window(bool bordered, int zoom, const MonitorArea* monitor) {
    const Uint32 flags = bordered ? 0 : SDL_NOFRAME;
    if (zoom > 1) {
        place_window(monitor, canvas_width * zoom, canvas_height * zoom);
        if (SDL_Surface* window = SDL_SetVideoMode(canvas_width * zoom, canvas_height * zoom, 32, flags))
            return window;
        print_line("can't open a window " + std::to_string(zoom) + " times the size: " + SDL_GetError() +
                   "; showing it at its own size\n");
    }
    place_window(monitor, canvas_width, canvas_height);
    return SDL_SetVideoMode(canvas_width, canvas_height, 32, flags);
}

}  // namespace

void register_callbacks() {
    set_track_changed_handler(on_track_changed);
    set_playback_stopped_handler(on_playback_stopped);
    position_source.store(position_fraction);
    spectrum_source.store(fetch_spectrum);
    if (play_button) play_button->action.store(toggle_playback);
    if (next_button) next_button->action.store(next_track);
    if (previous_button) previous_button->action.store(previous_track);
    if (position_scale) position_scale->action.store(on_seek);
}

void start_player() {
    audio_init(spectrum_bands);
    // Nothing plays yet, so this is toggle_playback's start. Only the face
    // needs the screen lock: the frame thread takes it for every frame, and
    // opening the device can wait on a sound server for 100 ms and more.
    {
        ScreenLock lock;
        set_play_state(true);
    }
    start_playback();
    // Before any handler is registered: this shows the first track itself.
    TrackInfo info;
    show_track_info(current_track_info(info));
    register_callbacks();
}

bool parse_bordered(int argc, char** argv) {
    bool bordered = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-b") == 0) bordered = true;
    return bordered;
}

SDL_Surface* load_window_icon() {
    SDL_Surface* icon = load_png("res/icon.png");
    // Bytes that are no picture load as 0 x 0, and SDL 1.2's X11 code ends
    // the process with a BadValue error when asked to show that.
    if (icon && (icon->w <= 0 || icon->h <= 0)) {
        SDL_FreeSurface(icon);
        return nullptr;
    }
    return icon;
}

bool init_screen(bool bordered, int zoom) {
    // Without a video subsystem even the icon call crashes inside SDL.
    if (!SDL_WasInit(SDL_INIT_VIDEO)) {
        print_line(std::string("can't set video mode: ") + SDL_GetError() + "\n");
        return false;
    }
    SDL_WM_SetCaption("Vellumbra", nullptr);
    // Caption and icon go before the video mode, or SDL 1.2 shows no icon.
    if (SDL_Surface* icon = load_window_icon()) {
        SDL_WM_SetIcon(icon, nullptr);  // SDL keeps a copy of its own
        SDL_FreeSurface(icon);
    }
    const DesktopLayout desktop = query_desktop_layout();
    const MonitorArea* monitor = window_monitor(desktop.monitors, desktop.pointer_x, desktop.pointer_y);
    if (zoom == zoom_to_fit && monitor) {
        zoom = fitting_zoom(monitor->width, monitor->height);
    } else if (zoom == zoom_to_fit) {
        // Before the mode is set, SDL's video info holds the desktop's size.
        const SDL_VideoInfo* info = SDL_GetVideoInfo();
        zoom = info ? fitting_zoom(info->current_w, info->current_h) : 1;
    }
    SDL_Surface* window = open_window(bordered, zoom, monitor);
    if (!window) {
        print_line(std::string("can't set video mode: ") + SDL_GetError() + "\n");
        return false;
    }
    screen.set_surface(window);
    canvas.create_surface(canvas_width, canvas_height);
    // The new surface's memory is only reserved: writing it once here takes
    // the page faults at start-up instead of in the intro's first frame.
    canvas.clear();
    load_fonts();
    build_player_screen();
    start_intro();
    return true;
}

bool init_video(bool bordered, int zoom) {
    if (!init_screen(bordered, zoom)) return false;
    if (!start_frame_thread()) {
        print_line(std::string("can't start the frame thread: ") + SDL_GetError() + "\n");
        return false;
    }
    return true;
}

void begin_quit() {
    {
        dlib::auto_mutex guard(effect_lock);
        effect_list.push_back(std::make_unique<BlendEffect>(canvas, 0, quit_fade_frames, false));
        effect_list.push_back(
            std::make_unique<TimedFillEffect>(canvas, quit_fade_frames, quit_fill_end, 0, 0, 0));
        if (background) background->set_flag(Widget::redraw_all, true);
    }
    pause_playback();
    // SDL 1.2's timer thread wakes every millisecond for as long as it runs,
    // which would cost more than the whole player: it starts only now.
    if (!SDL_WasInit(SDL_INIT_TIMER)) SDL_InitSubSystem(SDL_INIT_TIMER);
    SDL_AddTimer(quit_delay_ms, post_quit_event, nullptr);
}

Uint32 post_quit_event(Uint32, void*) {
    SDL_Event event;
    event.type = SDL_USEREVENT;
    event.user.code = user_event_quit;
    event.user.data1 = nullptr;
    event.user.data2 = nullptr;
    // A full queue must not swallow the quit: try again a frame later.
    if (SDL_PushEvent(&event) != 0) return frame_period_ms;
    wake_event_wait();
    return 0;
}

bool dispatch_event(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYUP: {
        ScreenLock lock;
        on_key_release(event.key.keysym.sym);
        break;
    }
    // Window pixels to canvas pixels: every control answers over the whole
    // block of window pixels that shows it.
    case SDL_MOUSEMOTION: {
        ScreenLock lock;
        const int zoom = window_zoom();
        dispatch_pointer(event.motion.x / zoom, event.motion.y / zoom,
                         (event.motion.state & SDL_BUTTON_LMASK) != 0);
        break;
    }
    case SDL_MOUSEBUTTONDOWN: {
        ScreenLock lock;
        const int zoom = window_zoom();
        dispatch_pointer(event.button.x / zoom, event.button.y / zoom, true);
        break;
    }
    case SDL_MOUSEBUTTONUP: {
        ScreenLock lock;
        const int zoom = window_zoom();
        dispatch_pointer(event.button.x / zoom, event.button.y / zoom, false);
        click_pass(widget_list, event.button.x / zoom, event.button.y / zoom);
        break;
    }
    case SDL_QUIT: {
        ScreenLock lock;
        begin_quit();
        break;
    }
    case SDL_USEREVENT:
        if (event.user.code == user_event_frame_ready) present_frame();
        if (event.user.code == user_event_quit) return false;
        break;
    default:
        break;
    }
    return true;
}

int event_loop(int (*wait_event)(SDL_Event*)) {
    SDL_Event event;
    for (;;) {
        if (wait_event(&event) == 0) {
            print_line(std::string("SDL_WaitEvent: ") + SDL_GetError() + "\n");
            return 1;
        }
        if (!dispatch_event(event)) return 0;
    }
}

void shutdown_program() {
    stop_frame_thread();
    audio_shutdown();
    dlib::auto_mutex guard(effect_lock);
    effect_list.clear();
}

int program_main(int argc, char** argv) {
    bool bordered = parse_bordered(argc, argv);
    int zoom = parse_zoom(argc, argv);
    SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO);  // the timer waits for the quit
    std::atexit(SDL_Quit);
    if (!init_video(bordered, zoom)) {
        shutdown_program();
        return 1;
    }
    start_player();
    int status = event_loop(wait_for_event);
    shutdown_program();
    return status;
}
