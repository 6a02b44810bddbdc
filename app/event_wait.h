// Waiting for the next event without SDL_WaitEvent's polling: SDL 1.2 looks
// for events every 10 ms whether or not any can have come, a hundred
// wake-ups a second that cost the player more than drawing its frames.
// Here the main thread sleeps until the X connection has something to read
// or another thread has pushed an event and called wake_event_wait.
#pragma once

#include <SDL.h>

// SDL_WaitEvent's contract: 1 with the next event in *event, 0 on failure
// with SDL's error text set. Blocks in the kernel between events where the
// video driver gives access to its connection (X11); elsewhere it is
// SDL_WaitEvent itself.
int wait_for_event(SDL_Event* event);

// Any thread, after pushing an event with SDL_PushEvent: a blocked
// wait_for_event returns to take it.
void wake_event_wait();
