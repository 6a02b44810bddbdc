#include "app/event_wait.h"

#include <SDL_syswm.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// SDL's own configuration says whether it can give an X connection at all.
#if SDL_VIDEO_DRIVER_X11

namespace {

// Events that arrive by neither route (SDL's own SIGTERM handler queues a
// quit from whichever thread the signal hits) wait at most this long.
constexpr int longest_sleep_ms = 100;
constexpr Uint32 settle_ms = 10;

// The self-pipe that other threads write a byte into. Created once and kept
// open for the life of the process: a thread still finishing a push during
// shutdown must never write into a closed, perhaps reused descriptor.
std::atomic<int> wake_write_end{-1};
int wake_read_end = -1;
Display* display = nullptr;  // SDL's connection for events
int connection = -1;         // and its descriptor
bool set_up = false;
bool pumped_once = false;

bool set_up_waiting() {
    set_up = true;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display)
        return false;
    int ends[2];
    if (pipe(ends) != 0) return false;
    for (int end : ends) {
        fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
        fcntl(end, F_SETFD, FD_CLOEXEC);
    }
    display = info.info.x11.display;
    connection = ConnectionNumber(display);
    wake_read_end = ends[0];
    wake_write_end.store(ends[1]);
    return true;
}

void drain_wake_pipe() {
    char bytes[64];
    // A short read has emptied the pipe: asking again would only fail.
    while (read(wake_read_end, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes)) {
    }
}

}  // namespace

int wait_for_event(SDL_Event* event) {
    if (!set_up) set_up_waiting();
    if (wake_read_end < 0) return SDL_WaitEvent(event);
    // Every wake-up pumps: SDL's pump may itself read a late event into
    // the X connection's own buffer, where neither a poll of the connection
    // nor the X library's queue shows it, and only the next pump delivers
    // it (a key read that way waited for further input). Between handling
    // one event and sleeping again, though, a pump finds something only
    // when the X library has already queued it (asked without a read):
    // skipping it there saves one pump of three system calls per frame.
    // The first wait pumps, for what the start-up left.
    bool pump = !pumped_once;
    pumped_once = true;
    for (;;) {
        // Pumping reads everything the X library holds, so that a poll of
        // the connection below cannot sleep on events already read.
        if (pump || XEventsQueued(display, QueuedAlready) > 0) SDL_PumpEvents();
        int taken = SDL_PeepEvents(event, 1, SDL_GETEVENT, SDL_ALLEVENTS);
        if (taken < 0) return 0;
        if (taken > 0) return 1;
        pollfd watched[2] = {{connection, POLLIN, 0}, {wake_read_end, POLLIN, 0}};
        if (poll(watched, 2, longest_sleep_ms) < 0 && errno != EINTR) {
            SDL_SetError("poll: %s", std::strerror(errno));
            return 0;
        }
        pump = true;
        if (watched[1].revents & POLLIN) drain_wake_pipe();
        // The X server may send a held key's auto-repeat as a release and a
        // press in two writes, far apart on a loaded machine; SDL drops the
        // release as a repeat only when the press has arrived too. Reading
        // at once took a held Escape for a released one. The pause is what
        // SDL_WaitEvent's own polling gave, and comes only with input.
        if (watched[0].revents) SDL_Delay(settle_ms);
    }
}

void wake_event_wait() {
    int end = wake_write_end.load();
    if (end < 0) return;
    char byte = 0;
    // A full pipe already wakes the waiter: a failed write loses nothing.
    ssize_t written = write(end, &byte, 1);
    (void)written;
}

#else

// No X connection to sleep on (SDL built without X11, as in a web page,
// whose own loop takes the events): SDL's wait, whose polling finds a
// pushed event by itself.
int wait_for_event(SDL_Event* event) { return SDL_WaitEvent(event); }
void wake_event_wait() {}

#endif
