#include "app/event_wait.h"

#include <SDL_syswm.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

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
    // Handling an event reads nothing from SDL's connection (drawing goes
    // through SDL's other one), so what it may have left is in the X
    // library's queue, asked below, or still unread and wakes the poll.
    // Only the start-up calls before the first wait may have read events
    // further, into a buffer that queue does not show.
    bool x_input = !pumped_once;
    pumped_once = true;
    for (;;) {
        // Pumping reads everything the X library holds, so that a poll of
        // the connection below cannot sleep on events already read. It costs
        // three system calls even when there is nothing, and most wake-ups
        // are only a finished frame: then the X library's queue (asked
        // without a read) is empty and the connection was not readable.
        if (x_input || XEventsQueued(display, QueuedAlready) > 0) SDL_PumpEvents();
        int taken = SDL_PeepEvents(event, 1, SDL_GETEVENT, SDL_ALLEVENTS);
        if (taken < 0) return 0;
        if (taken > 0) return 1;
        pollfd watched[2] = {{connection, POLLIN, 0}, {wake_read_end, POLLIN, 0}};
        int ready = poll(watched, 2, longest_sleep_ms);
        if (ready < 0 && errno != EINTR) {
            SDL_SetError("poll: %s", std::strerror(errno));
            return 0;
        }
        // A timeout, a signal or trouble on the connection: pump anyway.
        x_input = ready <= 0 || watched[0].revents != 0;
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
