// The frame thread and presentation. One frame every 33 ms is rendered into
// the off-screen canvas on the frame thread and presented by the main thread
// when the frame-ready event arrives. The frame counter is the program's
// clock: frames 0 to 1110 are the intro, the player screen begins at 1111.
//
// Lock order, everywhere: screen_lock, then effect_lock or audio_lock.
// No path takes them the other way round.
#pragma once

#include "effects/effect.h"
#include "gfx/graphics.h"
#include "widgets/widget.h"

#include <SDL.h>
#include <dlib/threads.h>

#include <atomic>
#include <list>
#include <memory>
#include <vector>

constexpr Uint32 frame_period_ms = 33;
constexpr Uint32 last_intro_frame = 1110;
constexpr int user_event_frame_ready = 0;
constexpr int user_event_quit = 1;

// The window surface (adopted) and the 640 x 400 canvas (owned).
extern Graphics screen;
extern Graphics canvas;

// Held by the frame thread for a whole render and by the main thread for a
// whole presentation and around input handling. Writer side only: a waiting
// writer goes first, so a frame thread that is catching up cannot starve
// presentation and input.
extern dlib::read_write_mutex screen_lock;
// Guards effect_list.
extern dlib::mutex effect_lock;
// Owned effects in drawing order; producers append, the info-box cross-fade
// inserts at the front.
extern std::list<std::unique_ptr<Effect>> effect_list;
// The player screen's widgets in drawing and dispatch order; owns nothing.
extern std::vector<Widget*> widget_list;

extern std::atomic<Uint32> frame_counter;
// Filled by main once the audio side is up; empty slots are skipped.
extern std::atomic<float (*)()> position_source;
extern std::atomic<void (*)(Uint8**)> spectrum_source;

// Scoped writer lock on screen_lock.
class ScreenLock {
public:
    ScreenLock() { screen_lock.lock(); }
    ~ScreenLock() { screen_lock.unlock(); }
    ScreenLock(const ScreenLock&) = delete;
    ScreenLock& operator=(const ScreenLock&) = delete;
};

// Appends w unless the list already holds it.
void add_widget(Widget* w);

// True from the first frame past the intro on. Latched, so that the 32-bit
// counter wrapping after years of running never sends the screen back into
// the intro.
bool in_player_phase();

// What the frame thread does after a frame that took elapsed_ms: wait for
// delay_ms, or catch up extra_frames missed frames without waiting.
struct FramePace {
    Uint32 delay_ms;
    Uint32 extra_frames;
};
// t0 and t1 are SDL_GetTicks readings; their difference is taken modulo 2^32,
// so the tick counter wrapping after 49.7 days costs nothing.
FramePace frame_pace(Uint32 t0, Uint32 t1);

// One frame into the canvas under the screen lock: the player screen's value
// feeds and tick pass (or a cleared canvas during the intro), then the effects.
void render_frame();
// The position and spectrum feeds before the tick pass.
void poll_player();
// Advances and draws every effect in order; deletes those that have ended.
// The caller holds effect_lock.
void run_effects();
// Catch-up for missed frames: counts them and advances every effect once per
// frame without drawing.
void skip_frames(Uint32 count);
// Main thread, on the frame-ready event: blends the canvas over a black
// window. Only what was drawn on the canvas since the last presentation is
// converted and sent; the first presentation into a window sends it whole.
// At a window_zoom above 1, every pixel is sent as its block.
void present_frame();
// How many times the window enlarges the canvas, 1 to 3: each canvas pixel
// shows as a block of that many pixels squared, and a pointer position in
// the window divided by it is the canvas pixel under the pointer. Read from
// the two sizes, so it always agrees with the window SDL gave; 1 without a
// window.
int window_zoom();
// Asks the main thread to present, unless a frame-ready event is still
// waiting in SDL's queue: a stalled main thread must not find the queue full
// of frame events with its key and quit events pushed out.
void push_frame_ready();

// Starts the frame thread; false if SDL cannot create it.
bool start_frame_thread();
// Asks the frame thread to stop after its current frame and waits for it.
// The caller holds no lock.
void stop_frame_thread();
// The frame thread's body; returns once stop_frame_thread asks it to.
int frame_thread(void*);
