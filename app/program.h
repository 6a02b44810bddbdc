// The program's spine: the command line, start-up in its fixed order, the
// main thread's event loop with the keyboard map and pointer translation,
// the quit sequence and an orderly shutdown. main only calls program_main.
#pragma once

#include <SDL.h>

// True when "-b" is one of the arguments after the program name.
bool parse_bordered(int argc, char** argv);

// The window icon from the data file; null when it cannot be read or its
// bytes are no picture. The caller frees it.
SDL_Surface* load_window_icon();
// Caption, icon, the window (framed only when bordered; 640 x 400 times
// zoom, which is 1, 2, 3 or zoom_to_fit), canvas, fonts, player screen and
// intro. False, after one line on stdout, when there is no window.
bool init_screen(bool bordered, int zoom = 1);
// init_screen, then the frame thread. False, after one line on stdout, when
// there is no window or no frame thread.
bool init_video(bool bordered, int zoom = 1);

// Connects the screen and the audio side: the notification handlers, the
// position and spectrum feeds and the four widget actions.
void register_callbacks();
// The audio side's part of start-up, after the screen: the engine with 39
// bands and the music folder, the first start of playback, the first track's
// text, then register_callbacks.
void start_player();

// Handles one event; false when the loop must end (the quit event).
bool dispatch_event(const SDL_Event& event);
// Waits for and dispatches events until the quit event: 0 then, 1 (after one
// line on stdout) when waiting for events fails. wait_event is SDL_WaitEvent
// in the program; tests hand in an event source of their own.
int event_loop(int (*wait_event)(SDL_Event*));

// From a quit request to the end of the event loop.
constexpr Uint32 quit_delay_ms = 333;

// Escape or a window close: fades the canvas and the sound out and ends the
// loop quit_delay_ms later. May run several times; the first quit event ends the loop.
// The caller holds the screen lock.
void begin_quit();
// SDL timer callback: posts the quit event. Retries while SDL's queue is full.
Uint32 post_quit_event(Uint32 interval, void* param);

// Stops the frame thread, the audio device and every notification thread,
// then deletes the remaining effects. Holding no lock.
void shutdown_program();

// The whole program; the process's exit status.
int program_main(int argc, char** argv);
