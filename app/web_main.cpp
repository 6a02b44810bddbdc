// The web page's entry points. The page (dist/web/page.js) runs the real
// program through the headless driver: its one main loop stands in for the
// frame thread, the event wait, the quit timer and the notification
// threads, and its Web Audio callback is the sound device. Everything here
// runs on the page's one thread, so nothing waits on anything.
//
// Two ways to run: by the clock (frames follow elapsed time as the frame
// thread's do, the sound is pulled by Web Audio), and in lockstep (each step
// one frame with its own 1/30 s of sound, exactly as capture renders it),
// which the page's test hook uses to compare pictures with the Linux build.
#include "app/frame_loop.h"
#include "app/headless.h"
#include "audio/engine.h"
#include "gfx/font.h"
#include "gfx/misc.h"

#include <emscripten.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int pixel_count = headless_width * headless_height;

std::unique_ptr<HeadlessProgram> program;
bool ended = false;
std::vector<Uint32> page_picture(pixel_count);  // R, G, B, 255 in memory, as a canvas holds it
std::vector<Sint16> page_sound_buffer;

// The shown picture (B, G, R, 0 in memory) as the canvas's image data wants it.
void copy_shown() {
    const SDL_Surface* shown = program->shown();
    const Uint8* row = static_cast<const Uint8*>(shown->pixels);
    Uint32* out = page_picture.data();
    for (int y = 0; y < headless_height; ++y, row += shown->pitch) {
        const Uint32* in = reinterpret_cast<const Uint32*>(row);
        for (int x = 0; x < headless_width; ++x) {
            const Uint32 p = in[x];
            *out++ = 0xFF000000u | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
        }
    }
}

// Lines of the disk's own fonts centred on a black canvas: the prompt
// before the start and the offer after the end.
void show_lines(const char* big, const char* small) {
    canvas.clear();
    const int big_y = headless_height / 2 - font_big_cyan.line_height();
    font_big_cyan.draw_line(canvas, big, static_cast<Sint16>((headless_width - font_big_cyan.text_width(big)) / 2),
                            static_cast<Sint16>(big_y));
    font_small_white.draw_line(canvas, small,
                               static_cast<Sint16>((headless_width - font_small_white.text_width(small)) / 2),
                               static_cast<Sint16>(big_y + font_big_cyan.line_height() + 12));
    copy_shown();
}

}  // namespace

extern "C" {

// Starts the program on the disk in /disk (data and music/, written there
// by the page) without showing a frame or pulling sound yet, and shows the
// start prompt. by_clock 0 is lockstep. 1 when it runs; 0 after a line
// on the console (a key script that does not parse included).
EMSCRIPTEN_KEEPALIVE int page_start(int by_clock, const char* keys) {
    HeadlessOptions options;
    options.disk = "/disk";
    // Keys at chosen times, as capture's --keys: for the check, in lockstep.
    options.keys = keys ? keys : "";
    // By the clock a frame lasts the frame thread's period.
    if (by_clock) options.frame_ms = frame_period_ms;
    program = std::make_unique<HeadlessProgram>();
    std::string error;
    if (!program->start(options, error)) {
        print_line(error + "\n");
        program.reset();
        return 0;
    }
    show_lines("Click to play", "or tap, or press any key");
    return 1;
}

// The page's picture: 640 x 400 RGBA, updated by the calls that say so.
EMSCRIPTEN_KEEPALIVE Uint32* page_pixels() { return page_picture.data(); }

// The main loop's one tick by the clock, elapsed_ms after the first frame
// was due. Returns the frame now in the picture, -1 when no new frame was
// due, -2 once the program has ended (after Escape's fade).
EMSCRIPTEN_KEEPALIVE int page_tick(double elapsed_ms) {
    if (!program || ended) return -2;
    // The decoder's bounded work of this tick: the page has no thread for it.
    program->service_decoder();
    // What the sound raised since the last tick (a track change, the end of
    // the playlist) runs now, outside audio_lock, as its thread would.
    wait_for_notifications();
    if (program->quit_over()) {
        ended = true;
        show_lines("Play again", "click, tap or press any key");
        program.reset();  // the program's own shutdown
        return -2;
    }
    const Uint32 due = static_cast<Uint32>(elapsed_ms / frame_period_ms);
    if (program->frame_shown() && due <= program->frame()) return -1;
    program->advance_to(due);
    copy_shown();
    return static_cast<int>(program->frame());
}

// Lockstep: the next frame with its own sound, as capture renders it.
// keep_picture 0 skips the conversion for frames nobody looks at.
EMSCRIPTEN_KEEPALIVE int page_step(int keep_picture) {
    if (!program) return -2;
    program->advance();
    if (keep_picture) copy_shown();
    return static_cast<int>(program->frame());
}

// frames stereo sample frames, signed 16-bit interleaved, as the device
// would play them now; valid until the next call.
EMSCRIPTEN_KEEPALIVE Sint16* page_sound(int frames) {
    page_sound_buffer.resize(static_cast<std::size_t>(frames) * 2);
    if (program)
        program->pull_sound(page_sound_buffer.data(), frames);
    else
        std::fill(page_sound_buffer.begin(), page_sound_buffer.end(), Sint16(0));
    return page_sound_buffer.data();
}

// A key (SDL's key number) pressed or released; it acts on release.
EMSCRIPTEN_KEEPALIVE void page_key(int key, int pressed) {
    if (!program) return;
    SDL_Event event{};
    event.type = pressed ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.type = event.type;
    event.key.state = pressed ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = static_cast<SDLKey>(key);
    program->send(event);
}

// The pointer at canvas pixel (x, y): kind 0 moved (held: the button is
// down), 1 pressed, 2 released. Outside the canvas, coordinates are negative
// or past its size, and no control is there.
EMSCRIPTEN_KEEPALIVE void page_pointer(int x, int y, int kind, int held) {
    if (!program) return;
    // SDL's coordinates are unsigned 16-bit: anything off the canvas goes
    // where no control is.
    const Uint16 px = x < 0 || x >= headless_width ? 0xFFFF : static_cast<Uint16>(x);
    const Uint16 py = y < 0 || y >= headless_height ? 0xFFFF : static_cast<Uint16>(y);
    SDL_Event event{};
    if (kind == 0) {
        event.type = SDL_MOUSEMOTION;
        event.motion.type = SDL_MOUSEMOTION;
        event.motion.state = held ? SDL_BUTTON_LMASK : 0;
        event.motion.x = px;
        event.motion.y = py;
    } else {
        event.type = kind == 1 ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
        event.button.type = event.type;
        event.button.button = SDL_BUTTON_LEFT;
        event.button.state = kind == 1 ? SDL_PRESSED : SDL_RELEASED;
        event.button.x = px;
        event.button.y = py;
    }
    program->send(event);
}

// For the page's test hook: the playlist index of the open track (-1 when
// none) and whether the sound device runs.
EMSCRIPTEN_KEEPALIVE int page_track() {
    TrackInfo info;
    return program ? current_track_info(info).index : -1;
}
EMSCRIPTEN_KEEPALIVE int page_playing() { return program && is_playing() ? 1 : 0; }

}  // extern "C"
